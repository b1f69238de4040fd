// The low-cloud puffs drawn every frame as view-aligned slices: each visible puff gives the six
// slices of its puff mesh level, every slice one node of the layer's visible list sorted by
// distance, and the list is drawn farthest first with alpha blending, each slice shaded by a
// texture-shader chain over the puff's shape and light cubes and the puff ramp. The scene draw
// calls these only on boards with texture shaders (on Mesa: with the compatibility layer on).
#pragma once

#include <cstdint>

#include "environment/environment_state.h"
#include "environment/puff_meshes.h"
#include "gfx/camera.h"

namespace veskor {

// The puff mesh level every puff is drawn with: 6 slices.
inline constexpr std::uint8_t kPuffDrawLevel = 5;
// Slices nearer than this along the view direction are left out.
inline constexpr float kPuffNearestSlice = 1.0f;
// The draw mode of the line view (flags & 7): the slices as lines, without shading.
inline constexpr std::uint32_t kPuffLineView = 1;

// 0 when the puff is not to be drawn: its top at or below FogFloorHeight, or no face of its
// bounds passes the camera's view planes (faces x0, x1, y0, y1, z0, z1 in that order). Else
// stores the view state (depth and distance of the centre, the rotation turning +z towards
// the camera, viewOpacity = opacityFactor x extent, meshLod 5) and returns 1 with depth,
// distance and extent, the half-length of the puff's ellipsoid along the line of sight. A
// camera at the puff's centre looks at it from above.
std::uint32_t PuffVisibility(CloudPuff& puff, const Camera& camera, float* depth, float* distance,
                             float* extent);

// Empties the layer's visible list and fills it with a node per slice of every visible puff
// (slices nearer than 1.0 left out), ordered by falling sort key; among equal keys the node of
// the later puff comes first. Returns the node count.
std::uint32_t BuildVisiblePuffList(CloudLowLayer& layer, const Camera& camera);

// The fade of a slice in a mirror view: 1 - FogCurve at the slice's distance, the curve
// spanning a quarter of the far distance. Slices beyond it, and keys below 0, take the
// curve's last and first entry; with no curve the fade is 1.
float MirrorPuffFade(float sortKey, float far);

// The frame's puffs: zeroes the draw counters, builds the visible list, selects vertex format 5
// and draws every node farthest first; returns the count of slices drawn. Mode 1 of the flags
// (flags & 7) draws the slices as lines, without blending or texture shaders; every other
// mode blends them shaded, faded by 1 - sortKey / far. The index and float counts of every
// drawn slice add to puffStatA and puffStatB. The texture-coordinate arrays of the four units
// are off afterwards, with client unit 0 selected.
std::uint32_t DrawCloudPuffs(EnvironmentState& state, const Camera& camera, std::uint32_t flags);
// The puffs of a mirror view: the same list, always blended, faded by MirrorPuffFade.
// `factor` and the flags do not change the result.
std::uint32_t DrawCloudPuffsSecondary(EnvironmentState& state, const Camera& camera, float factor,
                                      std::uint32_t flags);

// One slice of the puff's level: the four texture units set up for the far half (slices
// below half the count) or the near half, the slice drawn with the puff's transform and alpha
// 0.2 x fade x viewOpacity, the units restored.
void DrawPuffSlice(CloudPuff& puff, std::uint32_t slice, float fade);
// Sets up the four texture units for a slice of the near half at `pos` (texture shaders on):
// unit 0 the shape cube turned by the rotation (angle in degrees about `axis`), unit 1 a dot
// product with it, unit 2 a second one looking up the puff ramp, unit 3 the light cube turned
// the same way, its colour with the ramp's alpha times the primary alpha. Every unit's
// texture matrix is pushed first.
void PuffStageSetup(PuffCubePair& pair, const float* axis, float angle, float pos,
                    float sunViewScale);
// Texture shaders off; units 0 to 3 in order: the unit's target disabled, its texture matrix
// popped. The modelview matrix is selected and unit 3 stays active.
void PuffStageRestore();
// Draws slice `slice` of `level` from the program's batch buffer: modelview pushed, translated
// by `translation`, scaled by (sxy, sxy, sz) and turned by the rotation; colour (1, 1, 1,
// 0.2 alpha); texture coordinates of units 0 and 3 from the vertex normal, of units 1 and 2
// from three floats at byte 20 of each vertex; modelview popped.
void DrawPuffMesh(const PuffMeshSet& set, std::uint32_t level, std::uint32_t slice,
                  const float* translation, float alpha, float sxy, float sz, const float* axis,
                  float angle);

}  // namespace veskor
