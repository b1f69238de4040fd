// Meshes, grids and a buffer of the batch tests: items built as sheets of (s, t) nodes the way
// the scene build hands them over, grids filled from functions of (s, t), and a buffer in a
// started render session over the GL fixture.
#pragma once

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "gfx/geometry_batch_buffer.h"
#include "gfx/gfx_gl_test.h"
#include "gfx/surface_passes.h"

namespace veskor::test {

using Point = std::array<float, 3>;
using SurfaceFn = std::function<Point(float s, float t)>;

struct TestMesh {
  std::vector<float> positions, normals, texCoords;
  std::vector<std::uint32_t> indices;
  std::uint32_t capVertexA = 0, capVertexB = 0, capTriangleA = 0, capTriangleB = 0;
  bool withNormals = true;

  std::uint32_t VertexCount() const { return static_cast<std::uint32_t>(positions.size() / 3); }
  void AddVertex(const Point& p, float s, float t) {
    positions.insert(positions.end(), p.begin(), p.end());
    normals.insert(normals.end(), {0, 0, 1});
    texCoords.insert(texCoords.end(), {s, t, 0, 1});
  }
  void AddTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    indices.insert(indices.end(), {a, b, c});
  }
  // (ns + 1) x (nt + 1) nodes over the unit square, row by row in t, two triangles a cell.
  void AddSheet(int ns, int nt, const SurfaceFn& at) {
    const std::uint32_t first = VertexCount();
    for (int j = 0; j <= nt; ++j) {
      for (int i = 0; i <= ns; ++i) {
        const float s = float(i) / float(ns), t = float(j) / float(nt);
        AddVertex(at(s, t), s, t);
      }
    }
    const auto v = [&](int i, int j) { return first + std::uint32_t(j * (ns + 1) + i); };
    for (int j = 0; j < nt; ++j) {
      for (int i = 0; i < ns; ++i) {
        AddTriangle(v(i, j), v(i + 1, j), v(i + 1, j + 1));
        AddTriangle(v(i, j), v(i + 1, j + 1), v(i, j + 1));
      }
    }
  }
  // Everything so far is cap A (first call), or cap B (second call).
  void EndCap() {
    capVertexB = VertexCount();
    capTriangleB = static_cast<std::uint32_t>(indices.size() / 3);
    if (++caps == 1) capVertexA = capVertexB, capTriangleA = capTriangleB;
  }
  int caps = 0;
  MeshBuilder View() const {
    MeshBuilder m{VertexCount(),
                  positions.data(),
                  withNormals ? normals.data() : nullptr,
                  texCoords.data(),
                  static_cast<std::uint32_t>(indices.size() / 3),
                  indices.data(),
                  capVertexA,
                  capVertexB,
                  capTriangleA,
                  capTriangleB,
                  {},
                  {}};
    for (int a = 0; a < 3; ++a) {
      m.boxMin[a] = m.boxMax[a] = positions.empty() ? 0.0f : positions[a];
      for (std::size_t k = a; k < positions.size(); k += 3) {
        m.boxMin[a] = std::min(m.boxMin[a], positions[k]);
        m.boxMax[a] = std::max(m.boxMax[a], positions[k]);
      }
    }
    return m;
  }
};

// A grid of 2^w x 2^h cells whose nodes hold `at` (s, t), one component of a SurfaceFn.
struct TestGrid {
  std::vector<float> values;
  VertexGrid grid;
  TestGrid(std::uint16_t w, std::uint16_t h, const std::function<float(float, float)>& at)
      : values(((1u << w) + 1) * ((1u << h) + 1)) {
    VertexGridInit(grid);
    grid.log2Width = w, grid.log2Height = h, grid.data = values.data();
    for (std::uint32_t j = 0; j <= (1u << h); ++j)
      for (std::uint32_t i = 0; i <= (1u << w); ++i)
        values[j * ((1u << w) + 1) + i] = at(float(i) / (1u << w), float(j) / (1u << h));
  }
};

struct TestSurface {
  TestGrid x, y, z;
  TestSurface(std::uint16_t w, std::uint16_t h, const SurfaceFn& at)
      : x(w, h, [&](float s, float t) { return at(s, t)[0]; }),
        y(w, h, [&](float s, float t) { return at(s, t)[1]; }),
        z(w, h, [&](float s, float t) { return at(s, t)[2]; }) {}
  SurfaceGrids View() const { return {&x.grid, &y.grid, &z.grid}; }
};

// A buffer of its own in a started session; the vertex array range is not in use.
class BatchGlTest : public GfxGlTest {
 protected:
  void SetUp() override {
    GfxGlTest::SetUp();
    GeometryBatchBufferInit(buffer);
    GeometryBatchBufferStartSession(buffer, &extensionWord);
  }
  void TearDown() override {
    GeometryBatchBufferRelease(buffer);
    GfxGlTest::TearDown();
  }
  const float* Vertex(std::uint32_t firstFloat, std::uint32_t v, std::uint32_t f) const {
    return buffer.vertices + firstFloat + v * f;
  }
  std::uint32_t extensionWord = 0;
  GeometryBatchBuffer buffer;
};

}  // namespace veskor::test
