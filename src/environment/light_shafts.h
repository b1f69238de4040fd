// The light shafts: additive textured quads hanging from the sunlit rims of the low-cloud puffs
// (their shaft segments) along the light direction, strongest when the viewer looks towards
// the sun through the clouds. The scene draw calls them in the full view after the sky passes
// and before the puffs, when the light shafts are on, the board has texture shaders and the
// clouds are shown.
#pragma once

#include <cstdint>

#include "environment/environment_state.h"
#include "gfx/camera.h"

namespace veskor {

// peak x e^(factor x^2); the first value is not read.
struct ShaftFalloff {
  float unused;
  float peak;
  float factor;
};
inline constexpr ShaftFalloff kShaftFalloff{4.0f, 1.0f, -1.0f};  // e^(-x^2)

float ShaftFalloffValue(const ShaftFalloff& falloff, float x);

// Segments whose normal leans this much or more towards the camera's up vector are not drawn.
inline constexpr float kShaftMaxUpLean = 0.2f;

// Every puff nearer than the far distance: g = e^(-((1 - u . L) horizonCoverage 8)^2), u the
// unit vector from the puff's centre to the camera, faded linearly to 0 between 0.9 and 1.0 of
// the far distance, then DrawShaftQuads. The light-ray image on unit 0 (units 1 to 3 without
// 2-D texturing) modulated by the vertex colour, alpha the vertex alpha; no depth writes. Leaves
// unit 0 active with the image bound and 2-D texturing off, and face culling on. L and
// `colour` are 3 floats.
void DrawLightShafts(const CloudLowLayer& layer, const Camera& camera, const float* L,
                     const float* colour);

// The puff's segments, moved with the puff's drift (centre - base): a quad from each segment
// reaching (g + 1) / 2 x LightShaft length along L, additively blended, alpha (0.2 - a) x 5 x
// weight x LightShaft intensity x g at the segment and 0 at its far end, where a = |normal .
// camera up| (a segment with a >= 0.2 is left out). Face culling is off while it draws and
// on afterwards.
void DrawShaftQuads(const CloudPuff& puff, const Camera& camera, const float* L,
                    const float* colour, float g);

}  // namespace veskor
