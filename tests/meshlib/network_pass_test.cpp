#include <gtest/gtest.h>

#include <cmath>

#include "mapengine/kernel_table.h"
#include "meshlib/mesh_network.h"
#include "meshlib/network_open_face.h"
#include "meshlib/network_transform.h"
#include "network_test_support.h"

namespace veskor {
namespace {

using test::AddFace;
using test::CheckNetwork;

NetworkTransform Transform(const float (&axis)[3], float angle, const float (&pivot)[3],
                           const float (&scale)[3], const float (&displacement)[3]) {
  NetworkTransform t{1,
                     1,
                     {},
                     {},
                     {pivot[0], pivot[1], pivot[2]},
                     {scale[0], scale[1], scale[2]},
                     {axis[0], axis[1], axis[2]},
                     angle,
                     {displacement[0], displacement[1], displacement[2]}};
  return t;
}

// A unit square at (x, 0, z) facing +z (or -z), texture coordinates following x and y.
void AddSquare(MeshNetwork& n, float x, float z, bool up) {
  if (up)
    AddFace(n, {{x, 0, z, 0, 0}, {x, 1, z, 0, 1}, {x + 1, 1, z, 1, 1}, {x + 1, 0, z, 1, 0}});
  else
    AddFace(n, {{x, 0, z, 0, 0}, {x + 1, 0, z, 1, 0}, {x + 1, 1, z, 1, 1}, {x, 1, z, 0, 1}});
}

TEST(NetworkTransform, AngleMatrixRotatesScalesAboutThePivotThenDisplaces) {
  const struct {
    float axis[3], angle, pivot[3], scale[3], displacement[3], point[3], expected[3];
    bool exact;
  } cases[] = {
      {{0, 0, 1}, 90, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, true},
      {{0, 0, 1}, 180, {1, 0, 0}, {1, 1, 1}, {0, 0, 0}, {2, 0, 0}, {0, 0, 0}, true},
      {{0, 0, 1}, 270, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}, {1, 0, 0}, {0, -1, 0}, true},
      {{0, 0, 1}, -90.0004f, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}, {1, 0, 0}, {0, -1, 0}, true},
      {{0, 0, 1}, -90.001f, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}, {1, 0, 0}, {-1.745e-5f, -1, 0}, false},
      {{1, 0, 0}, 0, {1, 1, 1}, {2, 3, 4}, {0, 0, 5}, {2, 2, 2}, {3, 4, 10}, true},
      {{1, 0, 0}, 90, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}, {0, 1, 0}, {0, 0, 1}, true},
  };
  for (const auto& c : cases) {
    NetworkTransform t = Transform(c.axis, c.angle, c.pivot, c.scale, c.displacement);
    AngleTransformMatrix(t);
    float out[3];
    gKernelTable.KernelTransformPoint(out, t.forward, c.point);
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(out[k], c.expected[k], c.exact ? 0.0 : 1e-6) << c.angle << " " << k;
    }
    if (!c.exact) {
      EXPECT_NE(out[0], 0.0f);  // the general cosine is not exactly zero
    }
    EXPECT_TRUE(t.flag == 0 && t.dirty == 0);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(t.pivot[k], c.pivot[k] + c.displacement[k]);
  }
  // The inverse undoes the forward map (for a unit axis).
  NetworkTransform t = Transform({0.6f, 0, 0.8f}, 37, {1, 2, 3}, {2, 0.5f, 4}, {-1, 4, 2});
  AngleTransformMatrix(t);
  const float p[3] = {0.3f, -2, 5};
  float q[3], back[3];
  gKernelTable.KernelTransformPoint(q, t.forward, p);
  gKernelTable.KernelTransformPoint(back, t.inverse, q);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], p[k], 2e-5) << k;
}

TEST(NetworkPass, ASquareToItsRaisedCopyBecomesFourSidesAndACap) {
  MeshNetwork n;
  n.AllocateNetwork(16, 16, 8);
  AddSquare(n, 0, 0, true);
  NetworkTransform t = Transform({0, 0, 1}, 0, {0, 0, 0}, {1, 1, 1}, {0, 0, 2});
  EXPECT_EQ(n.NetworkPass(0, 0, 2.0f, 0, 0, 3.0f, t, 1.0f), 0u);
  EXPECT_TRUE(n.faceCount == 5 && n.vertexCount == 8 && n.edgeCount == 12 && n.cornerCount == 20);
  EXPECT_EQ(CheckNetwork(n), "");
  EXPECT_EQ(gNetworkOpenFace.openGroup, 2);
  for (std::uint32_t f = 0; f < 4; ++f) {
    const NetworkFace& side = n.faces[f];
    EXPECT_EQ(side.group, 1);
    const float s = 0.25f * float(f);
    const float expected[4][2] = {{s, 0}, {s + 0.25f, 0}, {s + 0.25f, 1}, {s, 1}};
    for (std::uint32_t k = 0; k < 4; ++k) {
      float u, v;
      FaceCornerTexCoords(side, k, u, v);
      EXPECT_TRUE(u == expected[k][0] && v == expected[k][1]) << f << k;
      EXPECT_EQ(side.vertices[k]->z, k < 2 ? 0.0f : 2.0f);
    }
  }
  const NetworkFace& cap = n.faces[4];
  EXPECT_EQ(cap.group, 2);
  for (std::uint32_t k = 0; k < 4; ++k) {  // the cap keeps the square's coordinates
    float u, v;
    FaceCornerTexCoords(cap, k, u, v);
    EXPECT_TRUE(u == cap.vertices[k]->x && v == cap.vertices[k]->y && cap.vertices[k]->z == 2);
  }
  for (std::uint32_t i = 0; i < n.edgeCount; ++i) {
    const float za = n.edges[i].vertexA->z, zb = n.edges[i].vertexB->z;
    EXPECT_EQ(n.edges[i].sharpness, za != zb ? 1.0f : (za == 0 ? 2.0f : 3.0f)) << i;
  }
  // Outlines of different corner counts, or faces that are not there, build nothing.
  AddFace(n, {{5, 0, 0, 0, 0}, {5, 1, 0, 0, 0}, {6, 0, 0, 0, 0}});
  EXPECT_EQ(n.NetworkPass(5, 0, 0, 0, 0, 0, t, 0), kNoFace);
  EXPECT_EQ(n.NetworkPass(0, 0, 0, 9, 0, 0, t, 0), kNoFace);
  EXPECT_EQ(n.faceCount, 6u);
}

TEST(NetworkPass, RangeFormStartsFromTheFaceThatLooksAtTheTarget) {
  // Squares 0 at x = 0 and 1 at x = 3 face up; face 2 lies far below face 1 and is raised
  // above it. Facing away from face 1, it replaces face 1; facing the same way, face 1 stays.
  for (bool sameWay : {false, true}) {
    MeshNetwork n;
    n.AllocateNetwork(24, 32, 12);
    AddSquare(n, 0, 0, true);
    AddSquare(n, 3, 0, true);
    AddSquare(n, 3, -10, sameWay);
    NetworkTransform t = Transform({0, 0, 1}, 0, {0, 0, 0}, {1, 1, 1}, {0, 0, 12});
    const std::uint32_t first = n.NetworkPass(NetworkFaceRange{0, 2}, 0, 2, 0, 0, t, 0);
    EXPECT_EQ(first, sameWay ? 3u : 2u);
    EXPECT_EQ(n.faceCount, sameWay ? 8u : 7u);
    EXPECT_EQ(CheckNetwork(n), "") << sameWay;
    EXPECT_EQ(n.faces[first + 4].vertices[0]->z, 2.0f);  // the cap
    EXPECT_EQ(n.faces[0].nz, 1.0f);
    // Face 1 closed into a box, or gone with its outline taken over by the tube.
    std::uint32_t borders = 0;
    for (std::uint32_t i = 0; i < n.edgeCount; ++i) borders += n.edges[i].face2 == nullptr;
    EXPECT_EQ(borders, sameWay ? 8u : 12u);
  }
}

}  // namespace
}  // namespace veskor
