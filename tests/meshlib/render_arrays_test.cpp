#include "meshlib/render_arrays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "meshlib/render_mesh.h"
#include "meshlib/triangle_maps.h"
#include "network_test_support.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::AddFace;
using test::BuildCube;
using test::BuildGrid;
using test::BuildPillow;
using test::BuildStrip;
using test::CheckCornerEntries;
using test::Prepare;

struct Counting : RenderObserver {
  int vertices = 0, shortTriangles = 0, longTriangles = 0;
  void OnRenderVertex() override { ++vertices; }
  void OnShortTriangle() override { ++shortTriangles; }
  void OnLongTriangle() override { ++longTriangles; }
};

std::vector<std::uint32_t> Indices(const void* data, std::uint32_t count, std::uint32_t width) {
  std::vector<std::uint32_t> out(count);
  for (std::uint32_t i = 0; i < count; ++i)
    out[i] = width == kIndex16 ? static_cast<const std::uint16_t*>(data)[i]
                               : static_cast<const std::uint32_t*>(data)[i];
  return out;
}

TEST(RenderArrays, QuadsSplitAtTheirThirdCornerAndLargerFacesGiveNoTriangle) {
  for (std::uint32_t width : {kIndex16, kIndex32}) {
    MeshNetwork n;
    n.AllocateNetwork(9, 9, 2, 1);
    n.AddNetworkGroup();
    AddFace(n, {{0, 0, 0, 0, 0}, {0, 1, 0, 0, 1}, {1, 1, 0, 1, 1}, {1, 0, 0, 1, 0}});
    AddFace(n,
            {{5, 0, 0, 0, 0}, {5, 1, 0, 0, 0}, {6, 2, 0, 0, 0}, {7, 1, 0, 0, 0}, {7, 0, 0, 0, 0}});
    Prepare(n);
    std::uint32_t staged = 0, chosen = width;
    CountRenderVertices(n, staged, chosen);
    EXPECT_EQ(staged, 9u);
    EXPECT_EQ(chosen, width);
    RenderVertex out[9];
    std::uint32_t indices[6] = {}, vertexCount = 0, triangleCount = 0;
    Counting observer;
    NetworkToRenderArrays(n, &observer, out, 9, vertexCount, indices, 2, triangleCount, width);
    // The pentagon's staging vertices are used by no triangle and stay behind.
    EXPECT_EQ(triangleCount, 2u);
    EXPECT_EQ(vertexCount, 4u);
    EXPECT_EQ(Indices(indices, 6, width), (std::vector<std::uint32_t>{0, 1, 2, 2, 3, 0}));
    const float corners[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    for (int k = 0; k < 4; ++k)
      EXPECT_TRUE(out[k].x == corners[k][0] && out[k].y == corners[k][1] &&
                  out[k].u == corners[k][0] && out[k].v == corners[k][1]);
    EXPECT_EQ(observer.vertices, 4);
    EXPECT_EQ(width == kIndex16 ? observer.shortTriangles : observer.longTriangles, 2);
    EXPECT_EQ(observer.shortTriangles + observer.longTriangles, 2);
    EXPECT_TRUE(n.groups[0].firstTriangle == 0 && n.groups[0].endTriangle == 2);
  }
}

TEST(RenderArrays, TrianglesRunGroupByGroupInSwapOrder) {
  for (std::uint32_t width : {kIndex16, kIndex32}) {
    MeshNetwork n;
    n.AllocateNetwork(15, 15, 5, 2);
    n.AddNetworkGroup();
    n.AddNetworkGroup();
    for (int f = 0; f < 5; ++f) {
      const float x = 10.0f * float(f);
      AddFace(n, {{x, 0, 0, 0, 0}, {x, 1, 0, 0, 0}, {x + 1, 0, 0, 0, 0}}, std::uint16_t(f % 2));
    }
    Prepare(n);
    std::uint32_t staged = 0, chosen = width;
    CountRenderVertices(n, staged, chosen);
    RenderVertex out[15];
    std::uint32_t indices[15], vertexCount = 0, triangleCount = 0;
    NetworkToRenderArrays(n, nullptr, out, 15, vertexCount, indices, 5, triangleCount, width);
    const auto index = Indices(indices, 15, width);
    const int faceOrder[5] = {0, 2, 4, 3, 1};
    for (int t = 0; t < 5; ++t) EXPECT_EQ(out[index[3 * t]].x, 10.0f * float(faceOrder[t]));
    EXPECT_TRUE(n.groups[0].firstTriangle == 0 && n.groups[0].endTriangle == 3);
    EXPECT_TRUE(n.groups[1].firstTriangle == 3 && n.groups[1].endTriangle == 5);
    for (std::uint32_t i = 0; i < 15; ++i) EXPECT_EQ(index[i], i);  // first use order
  }
  // Other width codes leave the triangles and ranges alone.
  MeshNetwork n;
  n.AllocateNetwork(1, 1, 1, 1);
  n.AddNetworkGroup()->endTriangle = 7;
  std::uint16_t groups[2] = {1, 0};
  std::uint32_t indices[6] = {1, 2, 3, 4, 5, 6};
  SortTrianglesByGroup(n, groups, indices, 2, kIndexAuto);
  EXPECT_TRUE(groups[0] == 1 && indices[0] == 1 && n.groups[0].endTriangle == 7);
}

TEST(RenderArrays, IndexWidthFollowsTheRenderVertexCount) {
  MeshNetwork n;
  const struct {
    bool tail;
    std::uint32_t code, vertices, width;
  } cases[] = {
      {false, kIndexAuto, 65536, kIndex16},
      {true, kIndexAuto, 65537, kIndex32},
      {false, kIndex32, 65536, kIndex32},
      {false, 7, 65536, kIndex16},
  };
  for (const auto& c : cases) {
    BuildStrip(n, 32767, 1u << 20, c.tail);
    std::uint32_t count = 0, width = c.code;
    CountRenderVertices(n, count, width);
    EXPECT_EQ(count, c.vertices);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(CheckCornerEntries(n, RenderStaging, count), "");
  }
  BuildStrip(n, 32767, 1u << 20, true);
  std::uint32_t count = 0, width = kIndex16;
  EXPECT_FATAL(CountRenderVertices(n, count, width), kIndexNotShort);
  width = kIndexAuto;
  CountRenderVertices(n, count, width);
  std::uint32_t vertices = 0, triangles = 0;
  EXPECT_FATAL(
      NetworkToRenderArrays(n, nullptr, nullptr, 0, vertices, nullptr, 0, triangles, kIndex16),
      kIndexNotShort);
}

TEST(RenderArrays, EveryCornerGetsItsOwnVertexAgainAndAgain) {
  MeshNetwork n, subdivided;
  auto seams = [](MeshNetwork& g) {  // the right half's texture coordinates shifted
    auto right = [](const NetworkFace* f) {
      return f != nullptr && std::min({f->vertices[0]->x, f->vertices[1]->x, f->vertices[2]->x,
                                       f->vertices[3]->x}) >= 2;
    };
    for (std::uint32_t i = 0; i < g.edgeCount; ++i) {
      NetworkEdge& e = g.edges[i];
      if (right(e.face1)) e.u1A += 5, e.u1B += 5;
      if (right(e.face2)) e.u2A += 5, e.u2B += 5;
    }
  };
  const struct {
    const char* name;
    std::function<void(MeshNetwork&)> build;
    std::uint32_t entries;
  } cases[] = {
      {"smooth cube", [](MeshNetwork& g) { BuildCube(g), Prepare(g); }, 8},
      {"sharp cube", [](MeshNetwork& g) { BuildCube(g, 1), Prepare(g); }, 24},
      {"pillow", [](MeshNetwork& g) { BuildPillow(g, 8, 8); }, 130},
      {"grid with a seam",
       [&](MeshNetwork& g) {
         BuildGrid(g, 4, 2, [](float x, float y) { return x * y * 0.1f; });
         seams(g);
         Prepare(g);
       },
       18},
      {"subdivided sharp cube",
       [&](MeshNetwork& g) {
         BuildCube(subdivided, 1), Prepare(subdivided);
         subdivided.SubdivideNetworkLevels(2, 10, g);
       },
       0},
      // Two triangles touching at one vertex: two fans there, one entry each.
      {"bow tie",
       [](MeshNetwork& g) {
         g.AllocateNetwork(5, 6, 2, 1);
         g.AddNetworkGroup();
         AddFace(g, {{0, 0, 0, 0, 0}, {-1, 1, 0, 0, 0}, {-1, -1, 0, 0, 0}});
         AddFace(g, {{0, 0, 0, 0, 0}, {1, -1, 0, 0, 0}, {1, 1, 0, 0, 0}});
         Prepare(g);
       },
       6},
  };
  for (const auto& c : cases) {
    c.build(n);
    for (int pass = 0; pass < 2; ++pass) {  // a second conversion starts afresh
      std::uint32_t count = 0, width = kIndexAuto;
      CountRenderVertices(n, count, width);
      if (c.entries != 0) {
        EXPECT_EQ(count, c.entries) << c.name;
      }
      EXPECT_EQ(CheckCornerEntries(n, RenderStaging, count), "") << c.name;
      std::vector<NormalEntry> normals(count);
      std::uint32_t normalCount = 0;
      CheckNetworkVertices(n, normals.data(), count, normalCount);
      EXPECT_EQ(normalCount, count) << c.name;
      for (std::uint32_t i = 0; i < count; ++i)
        EXPECT_TRUE(normals[i].nx == RenderStaging[i].nx && normals[i].nz == RenderStaging[i].nz);
    }
  }
}

TEST(RenderArrays, FullOutputsAreFatal) {
  MeshNetwork n;
  BuildCube(n, 1);
  Prepare(n);
  std::uint32_t staged = 0, width = kIndexAuto;
  CountRenderVertices(n, staged, width);
  RenderVertex out[24];
  std::uint16_t indices[36];
  auto convert = [&](std::uint32_t vertexRoom, std::uint32_t triangleRoom) {
    std::uint32_t vertices = 0, triangles = 0;
    NetworkToRenderArrays(n, nullptr, out, vertexRoom, vertices, indices, triangleRoom, triangles,
                          kIndex16);
    return vertices + 100 * triangles;
  };
  EXPECT_EQ(convert(24, 12), 24u + 1200);
  EXPECT_FATAL(convert(23, 12), kTooMuchVertexes);
  EXPECT_FATAL(convert(24, 11), kTooMuchTriangles);
  n.faces[5].cornerRenderIndex[2] = kNoRenderIndex;  // a corner the fans never reached
  EXPECT_FATAL(convert(24, 12), kAbnormalConnection);
  NormalEntry normals[24];
  std::uint32_t counter = 1;
  EXPECT_FATAL(CheckNetworkVertices(n, normals, 24, counter), kTooMuchNormal);

  // The direct form: the caller's staging array and width, the observer hearing of both the
  // vertices made and those copied out.
  RenderVertex staging[24];
  std::uint32_t stagedHere = 0, vertices = 0, triangles = 0;
  width = kIndexAuto;
  Counting observer;
  NetworkToRenderArraysDirect(n, &observer, staging, 24, stagedHere, out, 24, vertices, indices, 12,
                              triangles, width);
  EXPECT_TRUE(stagedHere == 24 && vertices == 24 && triangles == 12 && width == kIndex16);
  EXPECT_EQ(observer.vertices, 48);
  stagedHere = 1;
  EXPECT_FATAL(NetworkToRenderArraysDirect(n, nullptr, staging, 24, stagedHere, out, 24, vertices,
                                           indices, 12, triangles, width),
               kTooMuchVertexes);
}

// Maps of 4 x 4 texels with a guard row behind each plane; NaN marks a texel not written.
struct Maps4 {
  std::vector<float> data[6];
  TriangleMaps maps{};
  Maps4() {
    for (int k = 0; k < 6; ++k) {
      data[k].assign(16 + 4, NAN);
      maps.planes[k] = data[k].data();
    }
    maps.log2Width = maps.log2Height = 2;
  }
  bool Written(int i, int j) const { return !std::isnan(data[0][std::size_t(4 * j + i)]); }
  float At(int k, int i, int j) const { return data[k][std::size_t(4 * j + i)]; }
  bool GuardUntouched() const {
    for (const auto& plane : data)
      for (int i = 16; i < 20; ++i)
        if (!std::isnan(plane[std::size_t(i)])) return false;
    return true;
  }
};

// Position (u, v, 2u + 3v) at texture coordinates (u, v): every texel written must lie on it.
RenderVertex OnPlane(float u, float v, float nx, float ny, float nz) {
  return {u, v, 2 * u + 3 * v, nx, ny, nz, u, v};
}

const int kOrders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};

TEST(TriangleMaps, TexelsCoveredRowByRowWithPositionsOnTheTriangle) {
  // Right triangle (0, 0), (1, 0), (0, 1), its corners in every order: row j reaches column
  // 4 - j; row 4 (v = 1) and column 4 lie outside the maps.
  const RenderVertex corners[3] = {OnPlane(0, 0, 1, 0, 0), OnPlane(1, 0, 0, 1, 0),
                                   OnPlane(0, 1, 0, 0, 1)};
  for (const auto& o : kOrders) {
    Maps4 m;
    RasterizeTriangleMaps(corners[o[0]], corners[o[1]], corners[o[2]], m.maps);
    EXPECT_TRUE(m.GuardUntouched());
    int written = 0;
    for (int j = 0; j < 4; ++j) {
      for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m.Written(i, j), i + j <= 4) << i << "," << j;
        if (!m.Written(i, j)) continue;
        ++written;
        EXPECT_FLOAT_EQ(m.At(0, i, j), 0.25f * float(i));
        EXPECT_FLOAT_EQ(m.At(1, i, j), 0.25f * float(j));
        EXPECT_FLOAT_EQ(m.At(2, i, j), 2 * m.At(0, i, j) + 3 * m.At(1, i, j));
        const float n[3] = {m.At(3, i, j), m.At(4, i, j), m.At(5, i, j)};
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1, 1e-5f);
      }
    }
    EXPECT_EQ(written, 13);
    EXPECT_EQ(m.At(3, 0, 0), 1);  // the corner at (0, 0): its own normal, as it is
  }

  // Coordinates off the maps on every side (corners in every order): only texels inside are
  // written, each on the triangle's plane within its own row, and no write wraps into the
  // next row.
  const struct {
    RenderVertex a, b, c;
    int texels;
  } cases[] = {
      {OnPlane(-0.5f, -0.5f, 0, 0, 1), OnPlane(2, -0.5f, 0, 0, 1), OnPlane(-0.5f, 2, 0, 0, 1), 16},
      {OnPlane(0, 0.25f, 0, 0, 1), OnPlane(3, 0.25f, 0, 0, 1), OnPlane(0, 0.5f, 0, 0, 1), 5},
      {OnPlane(5, 5, 0, 0, 1), OnPlane(6, 5, 0, 0, 1), OnPlane(5, 6, 0, 0, 1), 0},
      {OnPlane(0.3f, -2, 0, 0, 1), OnPlane(0.6f, -2, 0, 0, 1), OnPlane(0.3f, -1, 0, 0, 1), 0},
      {OnPlane(0.1f, 0.3f, 0, 0, 1), OnPlane(0.9f, 0.3f, 0, 0, 1), OnPlane(0.5f, 0.4f, 0, 0, 1), 4},
      {OnPlane(1e30f, 0, 0, 0, 1), OnPlane(0, 0.5f, 0, 0, 1), OnPlane(0, 1, 0, 0, 1), 8},
      {OnPlane(0, 0, 0, 0, 1), OnPlane(0, NAN, 0, 0, 1), OnPlane(0, 1, 0, 0, 1), 0},
  };
  for (const auto& c : cases) {
    for (const auto& o : kOrders) {
      const RenderVertex* v[3] = {&c.a, &c.b, &c.c};
      Maps4 clip;
      RasterizeTriangleMaps(*v[o[0]], *v[o[1]], *v[o[2]], clip.maps);
      EXPECT_TRUE(clip.GuardUntouched());
      int count = 0;
      for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) {
          if (!clip.Written(i, j)) continue;
          ++count;
          const float y = clip.At(1, i, j), z = clip.At(2, i, j);
          EXPECT_TRUE(y >= 0.25f * float(j) && y < 0.25f * float(j + 1)) << i << "," << j;
          EXPECT_NEAR(z, 2 * clip.At(0, i, j) + 3 * y, 1e-5f * (1 + std::fabs(z)));
        }
      }
      EXPECT_EQ(count, c.texels);
    }
  }
}

TEST(TriangleMaps, AGroupsTrianglesFillItsTextureRange) {
  // Four quads over u = 0 to 1, the right two of group 1: each group's indices count from
  // its own first vertex.
  MeshNetwork n;
  BuildStrip(n, 4, 2, false);
  RenderMesh mesh;
  mesh.BuildRenderMesh(n);
  ASSERT_NE(n.groups[1].vertexBase, 0u);
  for (std::uint8_t group : {0, 1, 2}) {
    Maps4 m;
    ForEachGroupTriangle(n, group, static_cast<const RenderVertex*>(mesh.vertices.elements),
                         mesh.indices.elements, kIndex16, m.maps);
    for (int j = 0; j < 4; ++j) {
      for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m.Written(i, j), group == 0 ? i <= 2 : group == 1 && i >= 2) << i << "," << j;
        if (m.Written(i, j)) {
          EXPECT_FLOAT_EQ(m.At(0, i, j), float(i));  // x = 4 u
        }
      }
    }
    EXPECT_TRUE(m.GuardUntouched());
  }
}

}  // namespace
}  // namespace veskor
