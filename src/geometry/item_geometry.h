// Item geometry: GenerateGeometry carries out the draw items of one generation pass in order.
// An operation combines the cross-sections of its two operands into its result node ("+" hides
// what lies inside the other operand, "-" cuts the second out of the first); a leaf turns every
// path set its node names into an item: a transformed item PathSet, a mesh appended to the
// geometry batch buffer with its batch item record, a box and a normal cone in the leaf's scene
// instance record. Finished leaves are entered into the scene grid and widen the scene box.
//
#pragma once

#include <cstdint>

#include "geometry/draw_items.h"
#include "geometry/item_tables.h"
#include "gfx/mesh_builder.h"

namespace veskor {

inline constexpr const char* kSceneGridFullMessage = "Too Many Items In The Scene Grid !";
inline constexpr const char* kGeometryBufferFullMessage =
    "Geometry Buffer Overflow : Too Many Triangles !";

// Carries out one draw item: an operation of kind 1 or 2 or a leaf (kind 3); other kinds and
// items missing a node do nothing, and so does everything once the scene build has failed.
// A leaf's items beyond kItemMax, and an item the geometry batch buffer has no room left for,
// set the build's error. A mesh of more than 65536 vertices is not batched, is reported in the
// session log and is counted in the build's skips (SceneBuildSkipItem); its batch item record is
// left empty.
void GenerateItemGeometry(DrawItem& item);

// Carries out the draw items of the pass, entering each leaf's record into the scene grid with
// its box and widening the scene box, and reporting "Geometry / Generate" after items 0, 16,
// 32, ... as gBuildProgress advances by its step per item. 1 when every item was built (or
// there were none); 0 when the callback asked to stop, or when the build has failed (its error
// says why). The object path sets, slice tables and path-set references start empty.
std::uint32_t GenerateGeometry();

// The mean of the unit normals (c - a) x (b - a) of the triangles, their corners through the
// matrix (none: as they are), and the angle (radians) of the largest dot product of a normal
// with it, at least 0. Zero-area triangles take no part; no normal, or normals that cancel to
// within the error of their lengths (kUnitLengthError each), give the mean (0, 0, 0) and the
// angle pi / 2.
void ItemNormalCone(const MeshBuilder& mesh, const float* matrix, float* mean, float* angle);

}  // namespace veskor
