#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

#include "meshlib/mesh_network.h"
#include "network_test_support.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::AddFace;
using test::BuildCube;
using test::BuildGrid;
using test::CheckNetwork;
using test::Near;

float Cosine(float degrees) { return static_cast<float>(std::cos(degrees * 0.017453292)); }

// Twice the signed area of a face in the z = 0 plane (negative: wound clockwise).
float SignedArea(const NetworkFace& f) {
  float a = 0;
  for (int i = 0; i < f.cornerCount; ++i) {
    const NetworkVertex &p = *f.vertices[i], &q = *f.vertices[(i + 1) % f.cornerCount];
    a += p.x * q.y - q.x * p.y;
  }
  return a;
}

TEST(NetworkSubdivision, ZeroLevelsCopyEveryRecordIntoTheDestination) {
  MeshNetwork s, derived, d;
  BuildCube(s);
  s.CountCreasesAndSeams();
  s.SubdivideNetwork(derived);  // leaves links from s into `derived`
  s.level = 3, s.triangleCount = 99, s.groups[0].extra = 7, s.groups[0].firstTriangle = 5;
  s.SubdivideNetworkLevels(0, 10, d);
  EXPECT_TRUE(d.vertexCapacity == 8 && d.edgeCapacity == 12 && d.faceCapacity == 6 && d.GroupRoom() == 6);
  EXPECT_TRUE(d.vertexCount == 8 && d.edgeCount == 12 && d.faceCount == 6 && d.groupCount == 1);
  EXPECT_TRUE(d.triangleCount == 12 && d.cornerCount == 24 && d.level == 3);
  EXPECT_TRUE(d.seamEdgeCount == s.seamEdgeCount && d.creaseVertexCount == s.creaseVertexCount);
  EXPECT_TRUE(d.groups[0].extra == 7 && d.groups[0].firstTriangle == 0);
  EXPECT_EQ(CheckNetwork(d), "");
  for (std::uint32_t i = 0; i < 12; ++i) {
    EXPECT_EQ(d.edges[i].vertexB - d.vertices, s.edges[i].vertexB - s.vertices);
    EXPECT_EQ(d.edges[i].face1 - d.faces, s.edges[i].face1 - s.faces);
    EXPECT_TRUE(d.edges[i].child1 == nullptr && d.edges[i].midpoint == nullptr);
  }
  for (std::uint32_t i = 0; i < 8; ++i)
    EXPECT_TRUE(d.vertices[i].link == nullptr && d.vertices[i].x == s.vertices[i].x);
  EXPECT_FATAL(s.SubdivideNetworkLevels(0, 10, s), kSameNetwork);
  EXPECT_FATAL(s.SubdivideNetwork(s), kSameNetwork);
}

TEST(NetworkSubdivision, UniformStepsOnACubeSplitEveryFaceIntoQuads) {
  MeshNetwork s, d1, d2;
  BuildCube(s);
  s.CountCreasesAndSeams();
  s.SubdivideNetwork(d1);
  d1.SubdivideNetwork(d2);
  const struct {
    const MeshNetwork& n;
    std::uint32_t vertices, edges, faces;
  } cases[] = {{d1, 26, 48, 24}, {d2, 98, 192, 96}};
  std::uint8_t level = 1;
  for (const auto& c : cases) {
    EXPECT_TRUE(c.n.vertexCount == c.vertices && c.n.edgeCount == c.edges && c.n.faceCount == c.faces);
    EXPECT_TRUE(c.n.triangleCount == 2 * c.faces && c.n.cornerCount == 4 * c.faces && c.n.level == level);
    EXPECT_EQ(CheckNetwork(c.n), "");
    for (std::uint32_t f = 0; f < c.faces; ++f)
      EXPECT_TRUE(c.n.faces[f].cornerCount == 4 && c.n.faces[f].faceLevel == level);
    ++level;
  }
  // Face point, first-level edge point and smooth vertex point, by hand.
  EXPECT_TRUE(Near(*s.faces[0].facePoint, 0.5f, 0.5f, 0));
  EXPECT_TRUE(Near(*s.edges[0].midpoint, 0.5f, 0.14644662f, 0.14644662f));  // (0,0,0)-(1,0,0)
  EXPECT_TRUE(Near(*s.vertices[0].link, 2.0f / 9, 2.0f / 9, 2.0f / 9));
  // Normals are unit and point out of the cube.
  const NetworkVertex& corner = *s.vertices[0].link;
  for (float n : {corner.nx, corner.ny, corner.nz}) EXPECT_NEAR(n, -1 / std::sqrt(3.0f), 1e-6);
  EXPECT_EQ(s.faces[0].children[0], &d1.faces[0]);
}

TEST(NetworkSubdivision, SharpnessDropsByOnePerStepAndCreasesAndCornersHoldTheirVertices) {
  MeshNetwork s, d1, d2;
  BuildCube(s);
  s.edges[0].sharpness = 2.5f;
  s.edges[1].sharpness = 0.4f;
  s.CountCreasesAndSeams();
  s.SubdivideNetwork(d1);
  d1.SubdivideNetwork(d2);
  const NetworkEdge &e = s.edges[0], &f = s.edges[1];
  EXPECT_TRUE(e.child1->sharpness == 1.5f && e.child2->sharpness == 1.5f);
  EXPECT_TRUE(e.child1->child1->sharpness == 0.5f && e.child2->child2->sharpness == 0.5f);
  EXPECT_TRUE(f.child1->sharpness == 0 && f.child2->sharpness == 0);

  // The top face's four edges sharp: its corners move along the crease. All edges sharp: the
  // corners stay.
  MeshNetwork top, all, t1, a1;
  BuildCube(top);
  for (int k = 0; k < 4; ++k) top.faces[1].edges[k]->sharpness = 2.0f;
  top.CountCreasesAndSeams();
  top.SubdivideNetwork(t1);
  const NetworkVertex& v = top.vertices[4];  // (0, 0, 1): sharp edges to (0, 1, 1), (1, 0, 1)
  ASSERT_TRUE(v.x == 0 && v.y == 0 && v.z == 1 && v.sharpEdgeCount == 2);
  EXPECT_TRUE(Near(*v.link, 0.14644662f, 0.14644662f, 1.0f));
  EXPECT_EQ(t1.creaseVertexCount, 4u + 4u);  // the halves stay sharp: a ring of 8
  BuildCube(all, 1.0f);
  all.CountCreasesAndSeams();
  all.SubdivideNetwork(a1);
  for (std::uint32_t i = 0; i < 8; ++i)
    EXPECT_TRUE(Near(*all.vertices[i].link, all.vertices[i].x, all.vertices[i].y, all.vertices[i].z, 0));
}

TEST(NetworkSubdivision, FlatFacesAreCutOnlyAlongTheirSplitEdges) {
  // A lone flat face with fixed corners: its smooth borders are split, its sharp ones (which
  // stay sharp to the last level) are kept. The pieces tile the face with its orientation.
  const struct {
    int corners;
    unsigned splitMask;
    std::uint32_t triangles, quads, innerEdges;
  } cases[] = {
      {3, 0, 1, 0, 0},  {3, 1, 2, 0, 1},  {3, 2, 2, 0, 1},  {3, 3, 1, 1, 1},  {3, 6, 1, 1, 1},
      {3, 5, 1, 1, 1},  {3, 7, 4, 0, 3},  {4, 0, 0, 1, 0},  {4, 1, 3, 0, 2},  {4, 4, 3, 0, 2},
      {4, 5, 0, 2, 1},  {4, 10, 0, 2, 1}, {4, 3, 4, 0, 3},  {4, 12, 4, 0, 3}, {4, 9, 4, 0, 3},
      {4, 7, 3, 1, 3},  {4, 13, 3, 1, 3}, {4, 15, 0, 4, 4},
  };
  const float tri[3][2] = {{0, 0}, {0, 2}, {3, 1}};
  const float quad[4][2] = {{0, 0}, {0, 2}, {3, 3}, {2, 0}};
  for (const auto& c : cases) {
    MeshNetwork s, d;
    s.AllocateNetwork(4, 4, 1, 1);
    s.AddNetworkGroup();
    s.BeginNetworkFace(0);
    for (int k = 0; k < c.corners; ++k) {
      const float* p = c.corners == 3 ? tri[k] : quad[k];
      s.AddNetworkFaceCorner(p[0], p[1], 0, p[0], p[1], (c.splitMask >> k) & 1 ? 0.0f : 1.0f, 0);
    }
    s.CloseNetworkFace();
    NetworkFace& face = s.faces[0];
    face.flags = FaceFlat, face.faceLevel = 7;
    s.cornerCount = 4;  // the budget of a face made by subdivision, the only kind marked flat
    for (std::uint32_t i = 0; i < s.vertexCount; ++i) s.vertices[i].fixed = 1;
    s.ComputeNetworkNormals();
    s.CountCreasesAndSeams();
    s.SubdivideNetwork(1, Cosine(10), d);

    const std::uint32_t pieces = c.triangles + c.quads;
    EXPECT_TRUE(d.faceCount == pieces && face.childCount == pieces) << c.corners << c.splitMask;
    EXPECT_TRUE(d.triangleCount == c.triangles + 2 * c.quads && d.cornerCount == 4 * pieces);
    EXPECT_EQ(d.edgeCount, c.corners + std::popcount(c.splitMask) + c.innerEdges);
    EXPECT_EQ(CheckNetwork(d), "") << c.corners << c.splitMask;
    float area = 0;
    for (std::uint32_t i = 0; i < pieces; ++i) {
      const NetworkFace& piece = *face.children[i];
      EXPECT_LT(SignedArea(piece), 0);
      EXPECT_TRUE(piece.flags == FaceFlat && piece.faceLevel == (c.splitMask ? 1 : 7));
      area += SignedArea(piece);
    }
    EXPECT_FLOAT_EQ(area, SignedArea(face)) << c.corners << c.splitMask;
  }
}

TEST(NetworkSubdivision, FlatQuadsStayWholeWithinTheAngleAndFixTheirInnerPoints) {
  // Two rectangles folded by 10 degrees along their shared side, borders sharp.
  for (float angle : {10.5f, 9.5f}) {
    MeshNetwork s, d;
    const float c = std::cos(10 * 0.017453292f), z = std::sin(10 * 0.017453292f);
    BuildGrid(s, 2, 1, [&](float x, float) { return x > 1 ? z : 0.0f; }, 1.0f);
    s.vertices[4].x = s.vertices[5].x = 1 + c;
    s.ComputeNetworkNormals();
    s.CountCreasesAndSeams();
    s.SubdivideNetwork(1, Cosine(angle), d);
    const bool flat = angle > 10;
    EXPECT_EQ(d.faceCount, flat ? 2u : 8u) << angle;
    EXPECT_EQ(s.faces[0].childCount, flat ? 1u : 4u);
    EXPECT_EQ(s.faces[1].facePoint->fixed, flat ? 1 : 0);
    EXPECT_EQ(d.faces[0].faceLevel, flat ? 0 : 1);
  }
  // A flat 3 x 3 grid: every quad is carried over; its face points, the four inner vertices
  // and the edge points between them keep their places in the next step.
  MeshNetwork s, d;
  BuildGrid(s, 3, 3, [](float, float) { return 0.0f; }, 1.0f);
  s.ComputeNetworkNormals();
  s.CountCreasesAndSeams();
  s.SubdivideNetwork(1, Cosine(1), d);
  EXPECT_TRUE(d.faceCount == 9 && d.edgeCount == 24 && d.triangleCount == 18);
  std::uint32_t fixed = 0;
  for (std::uint32_t i = 0; i < d.vertexCount; ++i) fixed += d.vertices[i].fixed;
  EXPECT_EQ(fixed, 9u + 4u + 4u);
  EXPECT_EQ(CheckNetwork(d), "");
}

TEST(NetworkSubdivision, OpenNetworksFollowTheBoundaryRuleThroughEveryStep) {
  MeshNetwork s;
  BuildGrid(s, 3, 3, [](float x, float y) { return 0.3f * std::sin(x) * std::cos(y); });
  s.ComputeNetworkNormals();
  s.CountCreasesAndSeams();
  for (std::uint32_t levels : {0u, 1u, 2u, 3u}) {
    MeshNetwork d;
    if (levels == 0) s.SubdivideNetwork(d);  // the uniform step
    else s.SubdivideNetworkLevels(levels, 1.0f, d);
    const std::uint32_t expectedLevels = levels ? levels : 1;
    EXPECT_EQ(d.level, expectedLevels);
    EXPECT_EQ(CheckNetwork(d), "") << levels;
    std::uint32_t borders = 0;
    for (std::uint32_t i = 0; i < d.edgeCount; ++i) borders += d.edges[i].face2 == nullptr;
    EXPECT_EQ(borders, 12u << expectedLevels);
    for (std::uint32_t i = 0; i < d.vertexCount; ++i) {
      const NetworkVertex& v = d.vertices[i];
      EXPECT_TRUE(v.x >= 0 && v.x <= 3 && v.y >= 0 && v.y <= 3 && std::isfinite(v.z)) << i;
    }
    if (levels > 1) continue;  // the links of s lead into a network released since
    // A smooth border edge's point is its midpoint; a vertex inside a straight border stays
    // on it, moving as on a crease.
    const NetworkEdge& left = s.edges[0];  // (0, 0) -> (0, 1)
    EXPECT_TRUE(Near(*left.midpoint, 0, 0.5f, (left.vertexA->z + left.vertexB->z) / 2));
    const NetworkVertex& side = s.vertices[1];  // (0, 1), between (0, 0) and (0, 2)
    ASSERT_TRUE(side.x == 0 && side.y == 1);
    EXPECT_TRUE(side.link->x == 0 && std::fabs(side.link->y - 1) < 1e-6f);
  }
}

TEST(NetworkSubdivision, LevelsChainTheAdaptiveStep) {
  for (std::uint32_t levels : {2u, 3u}) {
    MeshNetwork s, d, x[3];
    BuildCube(s);
    s.edges[0].sharpness = 1.5f;
    s.ComputeNetworkNormals();
    s.CountCreasesAndSeams();
    s.SubdivideNetworkLevels(levels, 20, d);
    MeshNetwork* from = &s;
    for (std::uint32_t i = 0; i < levels; ++i) {
      from->SubdivideNetwork(levels, Cosine(20), x[i]);
      from = &x[i];
    }
    const MeshNetwork& chained = x[levels - 1];
    EXPECT_TRUE(d.level == levels && d.vertexCount == chained.vertexCount && d.faceCount == chained.faceCount);
    EXPECT_EQ(CheckNetwork(d), "");
    for (std::uint32_t i = 0; i < d.vertexCount; ++i)
      EXPECT_TRUE(Near(d.vertices[i], chained.vertices[i].x, chained.vertices[i].y, chained.vertices[i].z, 0));
  }
}

}  // namespace
}  // namespace veskor
