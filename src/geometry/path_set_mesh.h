// The mesh of one item from its PathSet: caps and side strips for sets of closed rings, a sheet
// closed by two seams for sets of open polylines (terrain tiles). Consecutive rings are joined
// by a zipper that walks both by their path parameter, so rings of different point counts join
// without new points; the triangles of every two strips are then reordered so both advance
// around the rings together. The item geometry calls it once per item after measuring and
// normalising the set, and hands the builder to BatchAppendItem.
#pragma once

#include <cstdint>

#include "geometry/item_mesh_builder.h"
#include "geometry/path_set.h"
#include "gfx/lod_boxes.h"

namespace veskor {

// Rebuilds the builder's mesh from the set (a set without cross-sections leaves an empty mesh):
// room reserved from the ring point counts, the sections bottom cap, top cap, side, then the
// triangle ranges. The range goes to the strip triangles and changes nothing.
void PathSetBuildMesh(const PathSet& set, const LodRange& range, ItemMeshBuilder& builder);

// Adds ring B's vertices and the triangles between ring A (whose vertices start at the
// builder's ringFirstVertex) and B, leaving out those whose three points are hidden; each
// triangle's advancing parameter goes to the current strip table, and the tables swap at the
// end. Rings without points get no triangle.
void MeshAddStrip(ItemMeshBuilder& builder, const LodRange& range, const SweepPath& a,
                  const SweepPath& b);
// Reorders the triangles [a0, b1) of two consecutive strips ([a0, a1) recorded in the current
// strip table, [b0, b1) in the other, b0 = a1) so that both advance together by parameter.
// Ranges that do not match the tables' counts are left as they are.
void MeshInterleaveStrips(ItemMeshBuilder& builder, std::uint32_t a0, std::uint32_t a1,
                          std::uint32_t b0, std::uint32_t b1);

}  // namespace veskor
