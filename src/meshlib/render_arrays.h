// Conversion of a MeshNetwork to the arrays a graphics card draws: render vertices made per
// network vertex by the fans (render_vertex_fans.h) into one shared staging array, triangles
// cut from the faces and sorted so that each group's triangles form one run, and the staging
// vertices copied out in the order the triangles first use them. The render mesh
// (render_mesh.h) is the caller.
//
// Every output (staging, vertices, triangles, the triangle group list) is bounded before it
// is written: a full one ends the process with its "Poltan Error" message.
#pragma once

#include <cstdint>

#include "meshlib/mesh_network.h"
#include "meshlib/render_vertex_fans.h"

namespace veskor {

// Index width codes.
enum : std::uint32_t {
  kIndexAuto = 0,  // 16-bit when at most kMaxShortIndexVertices render vertices, else 32-bit
  kIndex16 = 1,
  kIndex32 = 2,
};
inline constexpr std::uint32_t kMaxShortIndexVertices = 65536;

// The shared work arrays: the conversion allocates nothing.
inline constexpr std::uint32_t kRenderStagingCapacity = 600000;
inline constexpr std::uint32_t kTriangleGroupCapacity = 2 * kRenderStagingCapacity;
extern RenderVertex RenderStaging[kRenderStagingCapacity];
extern std::uint32_t RenderStagingCount;
extern std::int32_t RenderRemap[kRenderStagingCapacity];  // output index; -1 not yet copied
extern std::uint16_t TriangleGroups[kTriangleGroupCapacity];

inline constexpr const char* kIndexNotShort = "Poltan Error : triangle index can not be 16 bits";
inline constexpr const char* kTooMuchTriangles = "Poltan Error : too much triangles";

// Empties RenderStaging and fills it with the render vertices of every vertex of the network
// (each face corner then holds its entry). `width` comes back as kIndex16 or kIndex32: the
// automatic code and kIndex32 choose as their names say; any other code asks for 16-bit
// indices, and more than kMaxShortIndexVertices vertices then end the process (kIndexNotShort).
// The corners' entries are cleared first, so a network can be converted again.
void CountRenderVertices(MeshNetwork& network, std::uint32_t& vertexCount, std::uint32_t& width);

// The same walk, writing vertex normals to the caller's array from `counter` on.
void CheckNetworkVertices(MeshNetwork& network, NormalEntry* normals, std::uint32_t capacity,
                          std::uint32_t& counter);

// Triangulates the converted network (a triangle per triangle, two per quad, none for larger
// faces), sorts the triangles by group (setting each group's triangle range) and copies the
// staging vertices the triangles use to `vertices`; the counts start at the values passed
// and end one past the last vertex and triangle written. `width` is kIndex16 or kIndex32.
void NetworkToRenderArrays(MeshNetwork& network, RenderObserver* observer, RenderVertex* vertices,
                           std::uint32_t vertexCapacity, std::uint32_t& vertexCount, void* indices,
                           std::uint32_t triangleCapacity, std::uint32_t& triangleCount,
                           std::uint32_t width);

// As above, making the render vertices itself into the caller's staging array (at most
// kRenderStagingCapacity of them) and choosing the width as CountRenderVertices does.
void NetworkToRenderArraysDirect(MeshNetwork& network, RenderObserver* observer,
                                 RenderVertex* staging, std::uint32_t stagingCapacity,
                                 std::uint32_t& stagingCount, RenderVertex* vertices,
                                 std::uint32_t vertexCapacity, std::uint32_t& vertexCount,
                                 void* indices, std::uint32_t triangleCapacity,
                                 std::uint32_t& triangleCount, std::uint32_t& width);

// Moves the triangles group by group to the front, in group order (by swaps: the order within
// a group is that of the swaps), and sets each group's firstTriangle and endTriangle. Width
// codes other than kIndex16 and kIndex32 leave everything as it is.
void SortTrianglesByGroup(MeshNetwork& network, std::uint16_t* groups, void* indices,
                          std::uint32_t triangleCount, std::uint32_t width);

}  // namespace veskor
