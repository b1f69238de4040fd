// The item mesh builder: collects the triangles of one item while its PathSet is turned into a
// mesh (path_set_mesh.h), one global builder reused item after item, whose mesh the item
// geometry hands to BatchAppendItem.
//
// It is the batch buffer's MeshBuilder record (gfx/mesh_builder.h) with the work arrays behind
// its pointers and the build state beside them. The record's words under the builder's
// own names: capVertexA topCapFirstVertex, capVertexB sideFirstVertex, capTriangleA
// topCapFirstTriangle, capTriangleB sideFirstTriangle, boxMin and boxMax the bounds; texCoords
// are the attribute tuples; there are no normals. The sections lie in the order bottom cap
// (from vertex and triangle 0), top cap, side, so the batch's cap A is the bottom cap, its
// cap B the top cap and its body the side. Nothing is welded: every vertex added is a vertex of
// its own.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "gfx/lod_boxes.h"
#include "gfx/mesh_builder.h"
#include "gfx/sweep_path.h"
#include "mapengine/item_work_arrays.h"

namespace veskor {

// The five work arrays: 1 the positions, x, y, z (z the height) per vertex, counting the
// vertices; 2 the attributes, u, v, 0, 1 per vertex, counting the tuples; 3 three vertex
// indices per triangle; 4 two words per triangle, filled at the end of a build (the lowest
// vertex index used by the triangle and every later one, the highest used by it and every
// earlier one), counting the triangles; 5 emptied by every build, which nothing here fills,
// with its count. In each, pointers[0] is the first element and pointers[1] the end of the
// elements appended.
struct ItemMeshBuilder : MeshBuilder {
  ItemWorkArrays arrays;
  std::uint32_t ringFirstVertex;  // first vertex of the ring the next strip starts from
};

// Appends `bytes` to one work array and returns where they go. Passing the room of the last
// reset is fatal (the memory manager's "Virtual Memory Error : Required Memory > Reserved
// Memory").
template <class Array>
void* MeshWorkAppend(Array& array, std::uint32_t bytes) {
  void* at = MemBlockAppend(array.block, bytes);
  array.pointers[1] = static_cast<std::uint8_t*>(at) + bytes;
  return at;
}
template <class T, class Array>
T* MeshWorkData(const Array& array) {
  return static_cast<T*>(array.pointers[0]);
}

// Bounds of a builder that holds no vertex.
inline constexpr float kMeshBoundsEmpty = 1e35f;

// Every array header and count zeroed (ItemWorkArraysInit).
void MeshBuilderInit(ItemMeshBuilder& builder);
// Gives the five arrays' blocks back and clears their pointers (ItemWorkArraysRelease) and the
// counts.
void MeshBuilderRelease(ItemMeshBuilder& builder);
// Empties the builder with address room for that many vertices and triangles: counts and marks
// 0, the bounds inverted (kMeshBoundsEmpty), the auxiliary array emptied.
void MeshBuilderReset(ItemMeshBuilder& builder, std::uint64_t vertexRoom,
                      std::uint64_t triangleRoom);

// Each appends one element and returns its index. Appending past the room of the last reset is
// fatal (the memory manager's "Virtual Memory Error : Required Memory > Reserved Memory").
std::uint32_t MeshAddVertex(ItemMeshBuilder& builder, float x, float y, float z);
std::uint32_t MeshAddAttrib(ItemMeshBuilder& builder, float a, float b, float c, float d);
std::uint32_t MeshAddTriangle(ItemMeshBuilder& builder, std::uint32_t i0, std::uint32_t i1,
                              std::uint32_t i2);
// The triangle of a side strip: appended exactly as MeshAddTriangle. The item's level-of-detail
// range comes along but selects nothing: the mesh keeps every triangle.
std::uint32_t MeshAddStripTriangle(ItemMeshBuilder& builder, const LodRange& range,
                                   std::uint32_t i0, std::uint32_t i1, std::uint32_t i2);

// The three ring operations. Each adds the ring's points 0 to n - 1 at its height and a closing
// vertex at point 0 again (n + 1 vertices). A cap fans from its centre (x, y, z) over the ring,
// its vertices placed on the unit square (centre (0.5, 0.5), point 0 and the closing vertex at
// (0, 0)), leaving out the triangles between two hidden points unless `force`; the bottom cap
// winds the other way round from the top cap. The plain ring starts the side without
// triangles, its attributes (parameter, profileV). A ring without points adds nothing.
void MeshAddCapBottom(ItemMeshBuilder& builder, float x, float y, float z, const SweepPath& path,
                      std::uint32_t force);
void MeshAddRing(ItemMeshBuilder& builder, const SweepPath& path);
void MeshAddCapTop(ItemMeshBuilder& builder, const SweepPath& path, float x, float y, float z,
                   std::uint32_t force);
// The vertices of MeshAddRing without its mark: the next ring of a side strip.
void MeshAddRingVertices(ItemMeshBuilder& builder, const SweepPath& path);

}  // namespace veskor
