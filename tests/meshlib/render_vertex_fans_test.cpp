#include "meshlib/render_vertex_fans.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "network_test_support.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::AddFace;
using test::BuildCube;
using test::Prepare;

// A 2 x 2 grid of unit quads around the inner vertex (1, 1, z(1, 1)); `u` gives each face's
// texture u at x = 1 (the left faces first), `sharpX` the sharpness of the two inner edges
// on x = 1, `fold` the height of x = 1 above the sides.
MeshNetwork* BuildCross(MeshNetwork& n, const float (&u)[4], float sharpX, float fold) {
  n.AllocateNetwork(9, 12, 4, 1);
  n.AddNetworkGroup();
  const int cells[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
  for (int c = 0; c < 4; ++c) {
    const int i = cells[c][0], j = cells[c][1];
    const int ring[4][2] = {{i, j}, {i, j + 1}, {i + 1, j + 1}, {i + 1, j}};
    n.BeginNetworkFace(0);
    for (int k = 0; k < 4; ++k) {
      const int x = ring[k][0], y = ring[k][1], nx = ring[(k + 1) % 4][0];
      const bool inner = x == 1 && nx == 1 && (y == 1 || ring[(k + 1) % 4][1] == 1);
      n.AddNetworkFaceCorner(float(x), float(y), x == 1 ? fold : 0.0f, x == 1 ? u[c] : float(x),
                             float(y), inner ? sharpX : 0.0f, 0);
    }
    n.CloseNetworkFace();
  }
  Prepare(n);
  return &n;
}

NetworkVertex& VertexAt(MeshNetwork& n, float x, float y) {
  for (std::uint32_t i = 0; i < n.vertexCount; ++i)
    if (n.vertices[i].x == x && n.vertices[i].y == y) return n.vertices[i];
  ADD_FAILURE() << "no vertex at " << x << ", " << y;
  return n.vertices[0];
}

// Every edge that ends at the vertex, so that each fan is walked from each of its edges.
std::vector<NetworkEdge*> EdgesAt(MeshNetwork& n, const NetworkVertex& v) {
  std::vector<NetworkEdge*> edges;
  for (std::uint32_t i = 0; i < n.edgeCount; ++i)
    if (n.edges[i].vertexA == &v || n.edges[i].vertexB == &v) edges.push_back(&n.edges[i]);
  return edges;
}

struct Counting : RenderObserver {
  int vertices = 0;
  void OnRenderVertex() override { ++vertices; }
};

// The render entries of one vertex walked from every one of its edges: every corner must get
// an entry that is its own vertex; `entries` of them, or up to `spare` more for some starts.
void ExpectFan(MeshNetwork& n, NetworkVertex& v, std::uint32_t entries, std::uint8_t emitted,
               const char* what, std::uint32_t spare = 0) {
  for (NetworkEdge* start : EdgesAt(n, v)) {
    RenderVertex out[8];
    std::uint32_t counter = 2;  // entries go from the counter on
    Counting notify;
    for (std::uint32_t f = 0; f < n.faceCount; ++f)
      for (auto& k : n.faces[f].cornerRenderIndex) k = 0;
    v.emitted = 0;
    EmitRenderVertices(&notify, out, 8, counter, v, *start);
    EXPECT_TRUE(counter >= 2 + entries && counter <= 2 + entries + spare) << what << counter;
    EXPECT_EQ(notify.vertices, int(counter - 2)) << what;
    EXPECT_EQ(v.emitted, emitted) << what;
    for (std::uint32_t f = 0; f < n.faceCount; ++f) {
      const NetworkFace& face = n.faces[f];
      for (std::uint32_t i = 0; i < face.cornerCount; ++i) {
        if (face.vertices[i] != &v) continue;
        const std::uint32_t k = face.cornerRenderIndex[i];
        ASSERT_TRUE(k >= 2 && k < counter) << what;
        float u, tv;
        FaceCornerTexCoords(face, i, u, tv);
        EXPECT_TRUE(out[k].u == u && out[k].v == tv && out[k].x == v.x && out[k].z == v.z)
            << what << ": face " << f;
      }
    }
  }
}

float Length(const RenderVertex& e) { return std::sqrt(e.nx * e.nx + e.ny * e.ny + e.nz * e.nz); }

TEST(RenderVertexFans, EntriesPerVertexKind) {
  MeshNetwork n;
  const float seamless[4] = {1, 1, 1, 1}, seam[4] = {1, 1, 1.5f, 1.5f},
              halfSeam[4] = {1, 2, 1, 1};  // only one side of x = 1 breaks (at y > 1)
  BuildCross(n, seamless, 0, 0);
  ExpectFan(n, VertexAt(n, 1, 1), 1, 1, "smooth inner vertex");
  ExpectFan(n, VertexAt(n, 1, 0), 1, 1, "smooth border vertex");
  ExpectFan(n, VertexAt(n, 0, 0), 1, 1, "grid corner");
  BuildCross(n, seam, 0, 0);
  ExpectFan(n, VertexAt(n, 1, 1), 2, 2, "seam through the vertex");
  ExpectFan(n, VertexAt(n, 1, 0), 2, 2, "seam ending on the border");
  BuildCross(n, halfSeam, 0, 0);
  // A walk that starts between the two seams gives the faces after the second one an entry of
  // their own, with the same values as face 0's.
  ExpectFan(n, VertexAt(n, 1, 1), 2, 2, "seam on one side", 1);
  BuildCross(n, seamless, 1, 0.5f);
  ExpectFan(n, VertexAt(n, 1, 1), 2, 2, "crease");
  BuildCross(n, seam, 1, 0.5f);
  ExpectFan(n, VertexAt(n, 1, 1), 2, 2, "crease along the seam");
  BuildCross(n, halfSeam, 1, 0.5f);
  ExpectFan(n, VertexAt(n, 1, 1), 3, 2, "crease with a seam on one side");
  // A seam across the crease: four entries whichever edge the walk starts from (also when
  // the walk ends on a seam that does not break the run it continues).
  const float across[4] = {1, 2, 1, 2};
  BuildCross(n, across, 1, 0.5f);
  ExpectFan(n, VertexAt(n, 1, 1), 4, 2, "crease crossed by a seam");
  BuildCube(n, 1.0f);
  Prepare(n);
  ExpectFan(n, n.vertices[0], 3, 2, "cube corner");
  BuildCube(n);
  Prepare(n);
  ExpectFan(n, n.vertices[0], 1, 1, "smooth cube corner");
}

TEST(RenderVertexFans, NormalsAreTheVertexNormalOrEachSidesAverage) {
  MeshNetwork n;
  const float seam[4] = {1, 1, 1.5f, 1.5f};
  BuildCross(n, seam, 0, 0.5f);
  NetworkVertex& v = VertexAt(n, 1, 1);
  NormalEntry normals[2];
  std::uint32_t counter = 0;
  EmitVertexNormals(normals, 2, counter, v, *EdgesAt(n, v)[0]);
  ASSERT_EQ(counter, 2u);
  for (const NormalEntry& e : normals) EXPECT_TRUE(e.nx == v.nx && e.ny == v.ny && e.nz == v.nz);

  // A roof folded along x = 1: each side's faces have normal (-+0.447, 0, 0.894).
  const float seamless[4] = {1, 1, 1, 1};
  BuildCross(n, seamless, 1, 0.5f);
  RenderVertex out[2];
  counter = 0;
  EmitRenderVertices(nullptr, out, 2, counter, VertexAt(n, 1, 1),
                     *EdgesAt(n, VertexAt(n, 1, 1))[0]);
  const float s = 1 / std::sqrt(1.25f);
  for (const RenderVertex& e : out) {
    EXPECT_NEAR(Length(e), 1, 1e-6f);
    EXPECT_NEAR(std::fabs(e.nx), 0.5f * s, 1e-6f);
    EXPECT_NEAR(e.nz, s, 1e-6f);
  }
  EXPECT_NE(out[0].nx, out[1].nx);

  // Cube corner: each entry is its own face's normal.
  BuildCube(n, 1.0f);
  Prepare(n);
  RenderVertex corner[3];
  counter = 0;
  EmitRenderVertices(nullptr, corner, 3, counter, n.vertices[0], n.edges[0]);
  float sum[3] = {0, 0, 0};
  for (const RenderVertex& e : corner)
    sum[0] += std::fabs(e.nx), sum[1] += std::fabs(e.ny), sum[2] += std::fabs(e.nz);
  EXPECT_TRUE(sum[0] == 1 && sum[1] == 1 && sum[2] == 1);
}

TEST(RenderVertexFans, FullArraysBrokenFansAndLargeFansAreFatal) {
  MeshNetwork n;
  const float seamless[4] = {1, 1, 1, 1}, seam[4] = {1, 1, 1.5f, 1.5f};
  BuildCross(n, seamless, 0, 0);
  RenderVertex out[4];
  NormalEntry normals[4];
  std::uint32_t counter = 3;
  // On a smooth vertex the test comes before the first entry, even for one entry.
  EXPECT_FATAL(EmitRenderVertices(nullptr, out, 3, counter, VertexAt(n, 1, 1), n.edges[1]),
               kTooMuchVertexes);
  EXPECT_FATAL(EmitVertexNormals(normals, 3, counter, VertexAt(n, 1, 1), n.edges[1]),
               kTooMuchNormal);
  counter = 2;
  EmitRenderVertices(nullptr, out, 3, counter, VertexAt(n, 1, 1), n.edges[1]);
  EXPECT_EQ(counter, 3u);
  // The second entry of a seam, and a crease's, are checked too.
  BuildCross(n, seam, 0, 0);
  counter = 2;
  EXPECT_FATAL(EmitRenderVertices(nullptr, out, 3, counter, VertexAt(n, 1, 1), n.edges[1]),
               kTooMuchVertexes);
  BuildCross(n, seamless, 1, 0.5f);
  counter = 2;
  EXPECT_FATAL(EmitVertexNormals(normals, 3, counter, VertexAt(n, 1, 1), n.edges[1]),
               kTooMuchNormal);
  // A start edge that does not hold the vertex, a face without a further edge at it.
  counter = 0;
  EXPECT_FATAL(EmitRenderVertices(nullptr, out, 4, counter, VertexAt(n, 0, 0), n.edges[2]),
               kAbnormalConnection);
  n.faces[1].edges[3] = n.faces[1].edges[0];  // the upper left face loses its edge to (0, 1)
  EXPECT_FATAL(EmitRenderVertices(nullptr, out, 4, counter, VertexAt(n, 1, 1), n.edges[2]),
               kAbnormalConnection);

  // A disc of k triangles around its centre: 80 fit the work state, 81 do not.
  for (std::uint32_t k : {80u, 81u}) {
    MeshNetwork disc;
    disc.AllocateNetwork(k + 1, 2 * k, k, 1);
    disc.AddNetworkGroup();
    for (std::uint32_t i = 0; i < k; ++i) {
      const float a = 6.2831853f * float(i) / float(k), b = 6.2831853f * float(i + 1) / float(k);
      AddFace(disc, {{0, 0, 0, 0, 0},
                     {std::sin(b), std::cos(b), 0, 0, 0},
                     {std::sin(a), std::cos(a), 0, 0, 0}});
    }
    Prepare(disc);
    ASSERT_EQ(disc.vertexCount, k + 1);
    counter = 0;
    for (std::uint32_t f = 0; f < k; ++f) disc.faces[f].cornerRenderIndex[0] = 9;
    auto emit = [&] {
      EmitRenderVertices(nullptr, out, 4, counter, disc.vertices[0], disc.edges[0]);
    };
    if (k == kFanCapacity) {
      emit();
      EXPECT_EQ(counter, 1u);
      for (std::uint32_t f = 0; f < k; ++f) EXPECT_EQ(disc.faces[f].cornerRenderIndex[0], 0u);
    } else {
      EXPECT_FATAL(emit(), kTooManyFanFaces);
    }
  }
}

}  // namespace
}  // namespace veskor
