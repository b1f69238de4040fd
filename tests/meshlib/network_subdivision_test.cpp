#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "meshlib/mesh_network.h"
#include "network_test_support.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::AddFace;
using test::BuildCube;
using test::BuildGrid;
using test::CheckNetwork;
using test::CountBorderEdges;
using test::Near;
using test::Prepare;

float Cosine(float degrees) { return static_cast<float>(std::cos(degrees * 0.017453292)); }
float Flat(float, float) { return 0.0f; }

// Twice the signed area of a face in the z = 0 plane (negative: wound clockwise).
float SignedArea(const NetworkFace& f) {
  float a = 0;
  for (int i = 0; i < f.cornerCount; ++i) {
    const NetworkVertex &p = *f.vertices[i], &q = *f.vertices[(i + 1) % f.cornerCount];
    a += p.x * q.y - q.x * p.y;
  }
  return a;
}

void ExpectTexCoords(const NetworkFace& f, std::uint32_t corner, float u, float v) {
  float fu, fv;
  FaceCornerTexCoords(f, corner, fu, fv);
  EXPECT_TRUE(std::fabs(fu - u) < 1e-6f && std::fabs(fv - v) < 1e-6f) << fu << " " << fv;
}

TEST(NetworkSubdivision, ZeroLevelsCopyEveryRecordIntoTheDestination) {
  MeshNetwork s, derived, d;
  BuildCube(s);
  s.CountCreasesAndSeams();
  s.SubdivideNetwork(derived);  // leaves links from s into `derived`
  s.level = 3, s.triangleCount = 99, s.groups[0].extra = 7, s.groups[0].firstTriangle = 5;
  s.SubdivideNetworkLevels(0, 10, d);
  EXPECT_TRUE(d.vertexCapacity == 8 && d.edgeCapacity == 12 && d.faceCapacity == 6 &&
              d.GroupRoom() == 6);
  EXPECT_TRUE(d.vertexCount == 8 && d.edgeCount == 12 && d.faceCount == 6 && d.groupCount == 1);
  EXPECT_TRUE(d.triangleCount == 12 && d.cornerCount == 24 && d.level == 3);
  EXPECT_TRUE(d.groups[0].extra == 7 && d.groups[0].firstTriangle == 0);
  EXPECT_EQ(CheckNetwork(d), "");
  for (std::uint32_t i = 0; i < 12; ++i) {
    EXPECT_EQ(d.edges[i].vertexB - d.vertices, s.edges[i].vertexB - s.vertices);
    EXPECT_TRUE(d.edges[i].child1 == nullptr && d.edges[i].midpoint == nullptr);
  }
  EXPECT_EQ(d.vertices[0].link, nullptr);
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
  for (const auto& c : cases) {
    EXPECT_TRUE(c.n.vertexCount == c.vertices && c.n.edgeCount == c.edges &&
                c.n.faceCount == c.faces);
    EXPECT_TRUE(c.n.triangleCount == 2 * c.faces && c.n.cornerCount == 4 * c.faces);
    EXPECT_EQ(CheckNetwork(c.n), "");
    EXPECT_EQ(c.n.faces[c.faces - 1].faceLevel, c.n.level);
  }
  EXPECT_EQ(d2.level, 2);
  // Face point, first-level edge point and smooth vertex point, by hand.
  EXPECT_TRUE(Near(*s.faces[0].facePoint, 0.5f, 0.5f, 0));
  EXPECT_TRUE(Near(*s.edges[0].midpoint, 0.5f, 0.14644662f, 0.14644662f));  // (0,0,0)-(1,0,0)
  EXPECT_TRUE(Near(*s.vertices[0].link, 2.0f / 9, 2.0f / 9, 2.0f / 9));
  // From the second level on, an edge point averages the ends and the face points.
  for (std::uint32_t i = 0; i < d1.edgeCount; ++i) {
    const NetworkEdge& e = d1.edges[i];
    const NetworkVertex *a = e.vertexA, *b = e.vertexB, *f = e.face1->facePoint,
                        *g = e.face2->facePoint;
    EXPECT_TRUE(Near(*e.midpoint, (a->x + b->x + f->x + g->x) / 4, (a->y + b->y + f->y + g->y) / 4,
                     (a->z + b->z + f->z + g->z) / 4))
        << i;
  }
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

  // The top face's edges sharp: its corners move along the crease. All sharp: corners stay.
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
  for (std::uint32_t i = 0; i < 8; ++i) {
    const NetworkVertex& w = all.vertices[i];
    EXPECT_TRUE(Near(*w.link, w.x, w.y, w.z, 0));
  }
}

TEST(NetworkSubdivision, FlatFacesAreCutOnlyAlongTheirSplitEdges) {
  // A lone flat face with fixed corners: its smooth borders are split, its sharp ones (which
  // stay sharp to the last level) kept. The pieces tile the face with its orientation; kept
  // sides and new inner edges are flat, halves of smooth sides are not.
  const struct {
    int corners;
    unsigned splitMask;
    std::uint32_t triangles, quads, innerEdges;
  } cases[] = {
      {3, 0, 1, 0, 0}, {3, 1, 2, 0, 1},  {3, 2, 2, 0, 1},  {3, 3, 1, 1, 1},  {3, 6, 1, 1, 1},
      {3, 5, 1, 1, 1}, {3, 7, 4, 0, 3},  {4, 0, 0, 1, 0},  {4, 1, 3, 0, 2},  {4, 4, 3, 0, 2},
      {4, 5, 0, 2, 1}, {4, 10, 0, 2, 1}, {4, 3, 4, 0, 3},  {4, 12, 4, 0, 3}, {4, 9, 4, 0, 3},
      {4, 7, 3, 1, 3}, {4, 13, 3, 1, 3}, {4, 15, 0, 4, 4},
  };
  const float shape[2][4][2] = {{{0, 0}, {0, 2}, {3, 1}}, {{0, 0}, {0, 2}, {3, 3}, {2, 0}}};
  for (const auto& c : cases) {
    MeshNetwork s, d;
    s.AllocateNetwork(4, 4, 1, 1);
    s.AddNetworkGroup();
    s.BeginNetworkFace(0);
    for (int k = 0; k < c.corners; ++k) {
      const float* p = shape[c.corners - 3][k];
      s.AddNetworkFaceCorner(p[0], p[1], 0, p[0], p[1], (c.splitMask >> k) & 1 ? 0.0f : 1.0f, 0);
    }
    s.CloseNetworkFace();
    NetworkFace& face = s.faces[0];
    face.flags = FaceFlat, face.faceLevel = 7;
    s.cornerCount = 4;  // the budget of a face made by subdivision, the only kind marked flat
    for (std::uint32_t i = 0; i < s.vertexCount; ++i) s.vertices[i].fixed = 1;
    Prepare(s);
    s.SubdivideNetwork(1, Cosine(10), d);

    const std::uint32_t pieces = c.triangles + c.quads, splits = std::popcount(c.splitMask);
    EXPECT_TRUE(d.faceCount == pieces && face.childCount == pieces) << c.corners << c.splitMask;
    EXPECT_TRUE(d.triangleCount == c.triangles + 2 * c.quads && d.cornerCount == 4 * pieces);
    EXPECT_EQ(d.edgeCount, c.corners + splits + c.innerEdges);
    std::uint32_t flatEdges = 0;
    for (std::uint32_t i = 0; i < d.edgeCount; ++i) flatEdges += d.edges[i].flags == EdgeFlat;
    EXPECT_EQ(flatEdges, c.corners - splits + c.innerEdges);
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

TEST(NetworkSubdivision, QuadsWithinTheAngleStayWholeAndFixTheirInnerPoints) {
  // Two rectangles folded along their shared side, borders sharp to the last level; the
  // corner (2, 1) moved by (dx, dy) makes the second quad's sides run apart. A crease on the
  // shared side that relaxes before the last level rules both out.
  const struct {
    float fold, angle, sharpness, dx, dy;
    std::uint32_t levels, faces, firstChildren;
  } cases[] = {{10, 10.5f, 0, 0, 0, 1, 2, 1}, {10, 9.5f, 0, 0, 0, 1, 8, 4},
               {0, 0, 0, 0, 0, 1, 2, 1},      {0, 1, 1.5f, 0, 0, 3, 8, 4},
               {0, 1, 2.5f, 0, 0, 3, 2, 1},   {0, 1, 0, 0.5f, 0, 1, 7, 3},
               {0, 1, 0, 0, 0.5f, 1, 7, 3}};
  for (const auto& k : cases) {
    MeshNetwork s, d;
    const float c = std::cos(k.fold * 0.017453292f), z = std::sin(k.fold * 0.017453292f);
    BuildGrid(
        s, 2, 1, [&](float x, float) { return x > 1 ? z : 0.0f; }, 5.0f);
    s.vertices[4].x = 1 + c + k.dx, s.vertices[4].y += k.dy;  // (2, 1)
    s.vertices[5].x = 1 + c;                                  // (2, 0)
    s.edges[2].sharpness = k.sharpness;
    Prepare(s);
    s.SubdivideNetwork(k.levels, Cosine(k.angle), d);
    EXPECT_TRUE(d.faceCount == k.faces && s.faces[0].childCount == k.firstChildren)
        << k.fold << " " << k.angle << " " << k.sharpness << " " << k.dx << " " << k.dy;
    EXPECT_EQ(s.faces[0].facePoint->fixed, k.firstChildren == 4 ? 0 : 1);
    EXPECT_EQ(d.faces[0].faceLevel, k.faces == 2 ? 0 : 1);
    EXPECT_EQ(CheckNetwork(d), "");
  }
  // A flat quad beside a triangle in its plane: the triangle is split around its centre and
  // splits the shared side, whose halves stay flat; the quad is cut into three triangles.
  MeshNetwork s, d;
  s.AllocateNetwork(5, 7, 2, 1);
  s.AddNetworkGroup();
  AddFace(s, {{0, 0, 0, 0, 0, 5}, {0, 1, 0, 0, 1, 5}, {1, 1, 0, 1, 1}, {1, 0, 0, 1, 0, 5}});
  AddFace(s, {{1, 0, 0, 1, 0}, {1, 1, 0, 1, 1, 5}, {2, 0.5f, 0, 2, 0.5f, 5}});
  Prepare(s);
  s.SubdivideNetwork(1, Cosine(1), d);
  EXPECT_TRUE(s.faces[0].childCount == 3 && s.faces[1].childCount == 3);
  EXPECT_TRUE(s.edges[2].child1->flags == EdgeFlat && s.edges[2].child2->flags == EdgeFlat);
  ExpectTexCoords(*s.faces[1].children[0], 0, 4.0f / 3, 0.5f);
  EXPECT_EQ(CheckNetwork(d), "");

  // A flat 3 x 3 grid, even at angle 0: every quad is carried over with its edges; its face
  // points, the four inner vertices and the edge points between them keep their places.
  MeshNetwork g, e;
  BuildGrid(g, 3, 3, Flat, 1.0f);
  Prepare(g);
  g.SubdivideNetwork(1, Cosine(0), e);
  EXPECT_TRUE(e.faceCount == 9 && e.edgeCount == 24 && e.triangleCount == 18 &&
              e.seamEdgeCount == 12);
  std::uint32_t fixed = 0;
  for (std::uint32_t i = 0; i < e.vertexCount; ++i) fixed += e.vertices[i].fixed;
  EXPECT_EQ(fixed, 9u + 4u + 4u);
  for (std::uint32_t i = 0; i < e.edgeCount; ++i) EXPECT_EQ(e.edges[i].flags, EdgeFlat) << i;
}

TEST(NetworkSubdivision, OpenNetworksFollowTheBoundaryRuleThroughEveryStep) {
  MeshNetwork s;
  BuildGrid(s, 3, 3, [](float x, float y) { return 0.3f * std::sin(x) * std::cos(y); });
  Prepare(s);
  for (std::uint32_t levels : {0u, 1u, 2u, 3u}) {  // 0: the uniform step
    MeshNetwork d;
    levels == 0 ? s.SubdivideNetwork(d) : s.SubdivideNetworkLevels(levels, 1.0f, d);
    const std::uint32_t level = std::max(levels, 1u), borders = CountBorderEdges(d);
    EXPECT_TRUE(d.level == level && borders == 12u << level) << levels;
    EXPECT_EQ(d.seamEdgeCount, borders);  // both sides of every inner edge agree
    EXPECT_EQ(CheckNetwork(d), "") << levels;
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
    EXPECT_TRUE(side.link->x == 0 && std::fabs(side.link->y - 1) < 1e-6f);
    // The quads of the first face: face point, edge point k, corner k + 1, edge point k + 1.
    const float t = 1.0f / 3, h = t / 2;
    const float mid[4][2] = {{0, h}, {h, t}, {t, h}, {h, 0}},
                corner[4][2] = {{0, 0}, {0, t}, {t, t}, {t, 0}};
    for (std::uint32_t k = 0; k < 4; ++k) {
      const NetworkFace& quad = *s.faces[0].children[k];
      ExpectTexCoords(quad, 0, h, h);
      ExpectTexCoords(quad, 1, mid[k][0], mid[k][1]);
      ExpectTexCoords(quad, 2, corner[(k + 1) % 4][0], corner[(k + 1) % 4][1]);
      ExpectTexCoords(quad, 3, mid[(k + 1) % 4][0], mid[(k + 1) % 4][1]);
    }
  }
}

TEST(NetworkSubdivision, LevelsChainTheAdaptiveStep) {
  for (std::uint32_t levels : {2u, 3u}) {
    MeshNetwork s, d, x[3];
    BuildCube(s);
    s.edges[0].sharpness = 1.5f;
    Prepare(s);
    s.SubdivideNetworkLevels(levels, 20, d);
    MeshNetwork* from = &s;
    for (std::uint32_t i = 0; i < levels; from = &x[i++])
      from->SubdivideNetwork(levels, Cosine(20), x[i]);
    EXPECT_TRUE(d.level == levels && d.vertexCount == from->vertexCount &&
                d.faceCount == from->faceCount);
    for (std::uint32_t i = 0; i < d.vertexCount; ++i)
      EXPECT_TRUE(
          Near(d.vertices[i], from->vertices[i].x, from->vertices[i].y, from->vertices[i].z, 0));
  }
}

}  // namespace
}  // namespace veskor
