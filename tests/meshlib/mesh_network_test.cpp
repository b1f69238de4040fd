#include "meshlib/mesh_network.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "meshlib/network_open_face.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

std::ptrdiff_t Offset(const MeshNetwork& n, const void* p) {
  return static_cast<const std::uint8_t*>(p) - n.block.base;
}

TEST(MeshNetwork, AllocationLaysTheArraysEndToEndWithEmptyCounts) {
  test::ScopedHeapAreas scoped;
  MeshNetwork n;
  n.ReleaseNetwork();  // harmless on an empty network
  const MeshNetwork zero;
  EXPECT_EQ(std::memcmp(&n, &zero, sizeof n), 0);

  // The three-argument form: as many group records as faces, even past the 8-bit word.
  n.AllocateNetwork(10, 20, 300);
  const std::ptrdiff_t edges = 10 * sizeof(NetworkVertex), faces = edges + 20 * sizeof(NetworkEdge);
  EXPECT_TRUE(Offset(n, n.vertices) == 0 && Offset(n, n.edges) == edges &&
              Offset(n, n.faces) == faces);
  EXPECT_EQ(Offset(n, n.groups), faces + 300 * std::ptrdiff_t{sizeof(NetworkFace)});
  EXPECT_TRUE(n.GroupRoom() == 300 && n.groupCapacity == 300 % 256);

  n.AddNetworkVertex(1, 2, 3);
  n.AddNetworkGroup();
  n.level = 4;
  n.triangleCount = n.cornerCount = n.seamEdgeCount = n.creaseVertexCount = 7;
  std::uint8_t* first = n.block.base;
  n.AllocateNetwork(1, 1, 1, 9);  // releases the old arrays first
  EXPECT_NE(n.block.base, first);
  EXPECT_EQ(n.GroupRoom(), 9u);
  EXPECT_TRUE(n.level == 0 && n.vertexCount == 0 && n.groupCount == 0 && n.triangleCount == 0 &&
              n.cornerCount == 0 && n.seamEdgeCount == 0 && n.creaseVertexCount == 0);
  n.ReleaseNetwork();
  EXPECT_EQ(std::memcmp(&n, &zero, sizeof n), 0);
}

TEST(MeshNetwork, NoRoomAndFullArraysAreFatal) {
  EXPECT_FATAL(MeshNetwork().AllocateNetwork(0, 0, 0, 0), kNetworkAllocError);
  EXPECT_FATAL(MeshNetwork().AllocateNetwork(0xFFFFFFFFu, 0xFFFFFFFFu, 1), kNetworkAllocError);

  // Each array takes exactly its capacity; one record more ends the process.
  const struct {
    std::function<void(MeshNetwork&)> add;
    const char* message;
  } cases[] = {
      {[](MeshNetwork& n) { n.AddNetworkVertex(0, 0, 0); }, kTooManyVertices},
      {[](MeshNetwork& n) { n.AddNetworkEdge(); }, kTooManyEdges},
      {[](MeshNetwork& n) { n.AddNetworkFace(); }, kTooManyFaces},
      {[](MeshNetwork& n) {
         n.BeginNetworkFace(0);
         n.CloseNetworkFace();
         n.AddNetworkFace();
       },
       kTooManyFaces},
      {[](MeshNetwork& n) { n.AddNetworkGroup(); }, kTooManyGroups},
  };
  for (const auto& c : cases) {
    MeshNetwork n;
    n.AllocateNetwork(2, 2, 2, 2);
    c.add(n);
    c.add(n);
    EXPECT_FATAL(c.add(n), c.message);
  }
  // The open face is the record behind the last face: none when the faces are full.
  MeshNetwork n;
  n.AllocateNetwork(1, 1, 1);
  n.AddNetworkFace();
  EXPECT_FATAL(n.BeginNetworkFace(0), kTooManyFaces);
}

TEST(MeshNetwork, RenderCountsAddSeamsTwiceTheCreaseVerticesAndFaces) {
  MeshNetwork n;
  n.faceCount = 6, n.creaseVertexCount = 2, n.seamEdgeCount = 3, n.triangleCount = 12;
  std::uint32_t bound = 0, triangles = 0;
  n.GetRenderCounts(bound, triangles);
  EXPECT_TRUE(bound == 13 && triangles == 12);
}

TEST(MeshNetwork, RecordCopiesLeaveTheWordsOthersOwn) {
  NetworkFace from{}, to{};
  from.cornerCount = 3, from.childCount = 1, from.group = 5, from.faceLevel = 2;
  from.cornerRenderIndex[0] = 9;
  from.vertices[3] = reinterpret_cast<NetworkVertex*>(&from);  // beyond the corners
  from.children[1] = &from;                                    // beyond the children
  CopyNetworkFace(to, from);
  EXPECT_TRUE(to.cornerCount == 3 && to.childCount == 1 && to.group == 5 && to.faceLevel == 2);
  EXPECT_TRUE(to.cornerRenderIndex[0] == 0 && to.vertices[3] == nullptr &&
              to.children[1] == nullptr);

  NetworkGroup g{1, 2, 3, 4, 0.1f, 0.2f, 0.3f, 0.4f, 1,  2,  3, 4,
                 5, 6, 7, 8, 9,    10,   11,   12,   13, 14, 15};
  NetworkGroup copy{};
  CopyNetworkGroup(copy, g);
  EXPECT_TRUE(copy.firstTriangle == 0 && copy.vertexBase == 0 && copy.reserved == 0 &&
              copy.uOffset == 0);
  EXPECT_TRUE(copy.uMin == 0.1f && copy.maxZ == 6 && copy.borderU1 == 10 && copy.extra == 11);
}

}  // namespace
}  // namespace veskor
