#include <gtest/gtest.h>

#include "meshlib/mesh_network.h"
#include "network_test_support.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::AddFace;
using test::BuildGrid;
using test::CheckNetwork;

float Flat(float, float) { return 0.0f; }

TEST(NetworkBuild, CornersWeldWithinTheDistanceOnEveryAxis) {
  const struct {
    float dx, dy, dz;
    bool welds;
  } cases[] = {
      {0.004f, 0.004f, 0.004f, true}, {-0.004f, -0.004f, -0.004f, true},
      {0.0049f, 0, 0, true},          {0.005f, 0, 0, false},
      {0, 0.005f, 0, false},          {0, 0, 0.005f, false},
      {0, -0.005f, 0, false},
  };
  for (const auto& c : cases) {
    MeshNetwork n;
    n.AllocateNetwork(2, 1, 1);
    NetworkVertex* a = n.FindOrAddNetworkVertex(0, 0, 0);
    NetworkVertex* b = n.FindOrAddNetworkVertex(c.dx, c.dy, c.dz);
    EXPECT_TRUE((a == b) == c.welds && n.vertexCount == (c.welds ? 1u : 2u))
        << c.dx << c.dy << c.dz;
    EXPECT_EQ(a->useCount, c.welds ? 1 : 0);
  }
}

TEST(NetworkBuild, ASecondFaceAlongAnEdgeBecomesItsTwinEndForEnd) {
  MeshNetwork n;
  n.AllocateNetwork(8, 10, 4);
  AddFace(n, {{0, 0, 0, 0, 0}, {0, 1, 0, 0, 1}, {1, 1, 0, 1, 1}, {1, 0, 0, 1, 0}});
  EXPECT_TRUE(n.edgeCount == 4 && n.cornerCount == 4 && n.triangleCount == 2);
  NetworkEdge& shared = n.edges[2];  // (1, 1) -> (1, 0) of the first face
  // The second face runs the shared side (1, 0) -> (1, 1) and overrides its sharpness.
  n.BeginNetworkFace(0);
  n.AddNetworkFaceCorner(1, 0, 0, 11, 0, 3.0f, 1);
  n.AddNetworkFaceCorner(1, 1, 0, 11, 1, 0, 0);
  n.AddNetworkFaceCorner(2, 1, 0, 12, 1, 0, 0);
  n.AddNetworkFaceCorner(2, 0, 0, 12, 0, 0, 0);
  n.CloseNetworkFace();
  EXPECT_TRUE(n.vertexCount == 6 && n.edgeCount == 7 && n.cornerCount == 8 && n.triangleCount == 4);
  EXPECT_TRUE(shared.face1 == &n.faces[0] && shared.face2 == &n.faces[1] &&
              n.faces[1].edges[0] == &shared);
  EXPECT_TRUE(shared.u1A == 1 && shared.v1A == 1 && shared.u1B == 1 && shared.v1B == 0);
  EXPECT_TRUE(shared.u2A == 11 && shared.v2A == 1 && shared.u2B == 11 && shared.v2B == 0);
  EXPECT_EQ(shared.sharpness, 3.0f);
  EXPECT_EQ(CheckNetwork(n), "");

  // Found with the same orientation, then with the other; only the second form takes the
  // sharpness. A pair without an edge makes one.
  NetworkVertex *a = shared.vertexA, *b = shared.vertexB;
  n.FindOrAddNetworkEdge(a, b, 5, 6, 7, 8, &n.faces[1], 9);
  EXPECT_TRUE(shared.u2A == 5 && shared.v2A == 6 && shared.u2B == 7 && shared.v2B == 8 &&
              shared.sharpness == 3);
  n.FindOrAddNetworkEdgeSharp(b, a, 5, 6, 7, 8, &n.faces[1], 9);
  EXPECT_TRUE(shared.u2A == 7 && shared.v2A == 8 && shared.u2B == 5 && shared.v2B == 6 &&
              shared.sharpness == 9);
  NetworkEdge* e =
      n.FindOrAddNetworkEdge(&n.vertices[0], &n.vertices[5], 1, 2, 3, 4, &n.faces[0], 0.5f);
  EXPECT_TRUE(n.edgeCount == 8 && e->vertexA == &n.vertices[0] && e->face1 == &n.faces[0] &&
              e->face2 == nullptr);
  EXPECT_TRUE(e->u1A == 1 && e->v1A == 2 && e->u1B == 3 && e->v1B == 4 && e->sharpness == 0.5f);
}

TEST(NetworkBuild, OpenFaceKeepsEightCornersAndClosesOnlyFromThree) {
  MeshNetwork n;
  n.AllocateNetwork(12, 8, 2);
  AddFace(n, {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}});
  EXPECT_TRUE(n.faceCount == 0 && n.edgeCount == 0 && n.cornerCount == 0);
  n.BeginNetworkFace(0);
  for (int i = 0; i < 9; ++i) n.AddNetworkFaceCorner(float(i), float(i * i), 0, 0, 0, 0, 0);
  n.CloseNetworkFace();
  EXPECT_TRUE(n.faceCount == 1 && n.faces[0].cornerCount == 8 && n.edgeCount == 8);
  EXPECT_TRUE(n.vertexCount == 9 && n.triangleCount == 6);  // the two of the short face stay
}

TEST(NetworkBuild, CreasesCountSharpEdgesAboveTheLimitAndSeamsCountBordersAndBreaks) {
  MeshNetwork n;
  BuildGrid(n, 2, 1, Flat);
  // Edges: left, top and shared side of the first quad, its bottom, then the second's three.
  n.edges[0].sharpness = 1.0f;   // left
  n.edges[1].sharpness = 1.0f;   // top: with the left one, (0, 1) is a crease vertex
  n.edges[3].sharpness = 0.99f;  // bottom: not sharp
  n.CountCreasesAndSeams();
  const int expected[6] = {1, 2, 1, 0, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(n.vertices[i].sharpEdgeCount, expected[i]) << i;
  EXPECT_TRUE(n.creaseVertexCount == 1 && n.seamEdgeCount == 6);

  for (std::uint32_t i = 0; i < n.vertexCount; ++i) ResetVertexAttributes(n.vertices[i]);
  n.edges[2].v2B += 0.5f;  // the shared side's coordinates now differ
  n.CountCreasesAndSeams();
  EXPECT_TRUE(n.creaseVertexCount == 1 && n.seamEdgeCount == 7);
}

TEST(NetworkBuild, TextureRangesMapOntoTheUnitSquareSkippingMissingSides) {
  MeshNetwork n;
  BuildGrid(n, 2, 1, Flat);
  NetworkGroup& g = n.groups[0];
  g.uMin = -1, g.uMax = 1, g.vMin = g.vMax = 0.5f;  // no v extent: the scale stays 1
  n.NormalizeGroupTexCoords();
  EXPECT_TRUE(g.uOffset == 1 && g.uScale == 0.5f && g.vOffset == -0.5f && g.vScale == 1);
  EXPECT_TRUE(g.uMin == 0 && g.vMin == 0 && g.uMax == 1 && g.vMax == 1);
  const NetworkEdge& shared = n.edges[2];  // (1, 1) -> (1, 0), u = 0.5 on both sides
  EXPECT_TRUE(shared.u1A == 0.75f && shared.v1A == 0.5f && shared.u2A == 0.75f &&
              shared.v2B == -0.5f);
  const NetworkEdge& left = n.edges[0];  // a border: its second side stays as it was
  EXPECT_TRUE(left.u1A == 0.5f && left.v1B == 0.5f && left.u2A == 0 && left.v2B == 0);

  n.faces[1].group = 1;  // a group not in use
  EXPECT_FATAL(n.NormalizeGroupTexCoords(), kFaceGroupOutOfRange);
  EXPECT_FATAL(n.ComputeGroupBounds(), kFaceGroupOutOfRange);
}

TEST(NetworkBuild, GroupBoundsWidenByCornersAndSumSeamsAlongTheBorders) {
  MeshNetwork n;
  BuildGrid(n, 2, 1, Flat);
  NetworkGroup& g = n.groups[0];
  g.minX = g.minY = 100, g.maxX = g.maxY = -100, g.minZ = -1, g.maxZ = 2;
  n.edges[5].u1A = n.edges[5].u1B = 0.99979f;  // the right side just below the border
  n.ComputeGroupBounds();
  EXPECT_TRUE(g.borderU0 == 1 && g.borderU1 == 0 && g.borderV0 == 2 && g.borderV1 == 2);
  n.edges[5].u1A = n.edges[5].u1B = 0.99981f;  // just above it
  n.ComputeGroupBounds();
  n.ComputeGroupBounds();  // the sums restart, the bounds only widen
  EXPECT_TRUE(g.borderU0 == 1 && g.borderU1 == 1 && g.borderV0 == 2 && g.borderV1 == 2);
  EXPECT_TRUE(g.minX == 0 && g.minY == 0 && g.minZ == -1 && g.maxX == 2 && g.maxY == 1 &&
              g.maxZ == 2);
}

TEST(NetworkBuild, RemovingAFaceDropsOnlyTheEdgesAndVerticesNoOtherFaceHolds) {
  for (std::uint32_t removed : {0u, 1u}) {
    MeshNetwork n;
    BuildGrid(n, 2, 1, Flat);
    const float keptX = removed == 0 ? 1.0f : 0.0f;  // the other face spans keptX .. keptX + 1
    n.RemoveNetworkFace(removed);
    EXPECT_TRUE(n.faceCount == 1 && n.edgeCount == 4 && n.vertexCount == 4) << removed;
    EXPECT_TRUE(n.cornerCount == 4 && n.triangleCount == 2);
    EXPECT_EQ(CheckNetwork(n), "");
    for (std::uint32_t i = 0; i < 4; ++i) {
      EXPECT_TRUE(n.vertices[i].x == keptX || n.vertices[i].x == keptX + 1) << removed << i;
      EXPECT_EQ(n.edges[i].face2, nullptr);
    }
    // The shared side keeps the remaining face's own coordinates on its first side.
    const NetworkEdge& shared = *n.faces[0].edges[removed == 0 ? 0 : 2];
    EXPECT_TRUE(shared.u1A == 0.5f && shared.u1B == 0.5f);
    n.RemoveNetworkFace(0);
    EXPECT_TRUE(n.faceCount == 0 && n.edgeCount == 0 && n.vertexCount == 0 && n.cornerCount == 0);
  }
}

}  // namespace
}  // namespace veskor
