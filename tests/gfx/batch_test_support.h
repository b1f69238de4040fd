// Meshes, grids and a buffer of the batch tests: items built from vertices at (s, t) the way
// the scene build hands them over, grids filled from functions of (s, t), and a buffer in a
// started render session over the GL fixture.
#pragma once

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "gfx/geometry_batch_buffer.h"
#include "gfx/gfx_gl_test.h"
#include "gfx/item_batching.h"
#include "gfx/surface_passes.h"

namespace veskor::test {

using Point = std::array<float, 3>;
using SurfaceFn = std::function<Point(float s, float t)>;

struct TestMesh {
  std::vector<float> positions, normals, texCoords;
  std::vector<std::uint32_t> indices;
  std::uint32_t caps = 0, capVertex[2] = {}, capTriangle[2] = {};
  bool withNormals = true;

  std::uint32_t VertexCount() const { return std::uint32_t(positions.size() / 3); }
  void AddVertex(const Point& p, float s, float t) {
    positions.insert(positions.end(), p.begin(), p.end());
    normals.insert(normals.end(), {0, 0, 1});
    texCoords.insert(texCoords.end(), {s, t, 0, 1});
  }
  void AddTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    indices.insert(indices.end(), {a, b, c});
  }
  // (ns + 1) x (nt + 1) vertices over the unit square, row by row in t, two triangles a cell.
  void AddSheet(int ns, int nt, const SurfaceFn& at) {
    const std::uint32_t first = VertexCount();
    for (int k = 0; k < (ns + 1) * (nt + 1); ++k) {
      const float s = float(k % (ns + 1)) / float(ns), t = float(k / (ns + 1)) / float(nt);
      AddVertex(at(s, t), s, t);
    }
    const auto v = [&](int i, int j) { return first + std::uint32_t(j * (ns + 1) + i); };
    for (int j = 0; j < nt; ++j) {
      for (int i = 0; i < ns; ++i) {
        AddTriangle(v(i, j), v(i + 1, j), v(i + 1, j + 1));
        AddTriangle(v(i, j), v(i + 1, j + 1), v(i, j + 1));
      }
    }
  }
  // Everything so far is cap A (first call), then cap B (second call).
  void EndCap() {
    for (std::uint32_t c = caps++; c < 2; ++c)
      capVertex[c] = VertexCount(), capTriangle[c] = std::uint32_t(indices.size() / 3);
  }
  MeshBuilder View() const {
    MeshBuilder m{VertexCount(), positions.data(), withNormals ? normals.data() : nullptr,
                  texCoords.data(), std::uint32_t(indices.size() / 3), indices.data(),
                  capVertex[0], capVertex[1], capTriangle[0], capTriangle[1], {}, {}};
    for (std::size_t k = 0; k < positions.size(); ++k) {
      float& lo = m.boxMin[k % 3];
      float& hi = m.boxMax[k % 3];
      lo = k < 3 ? positions[k] : std::min(lo, positions[k]);
      hi = k < 3 ? positions[k] : std::max(hi, positions[k]);
    }
    return m;
  }
};

// Three grids of 2^w x 2^h cells whose nodes hold the components of `at` (s, t).
struct TestSurface {
  std::vector<float> values[3];
  VertexGrid grids[3];
  TestSurface(std::uint16_t w, std::uint16_t h, const SurfaceFn& at) {
    const std::uint32_t nw = 1u << w, nh = 1u << h;
    for (int c = 0; c < 3; ++c) {
      values[c].resize((nw + 1) * (nh + 1));
      VertexGridInit(grids[c]);
      grids[c].log2Width = w, grids[c].log2Height = h, grids[c].data = values[c].data();
    }
    for (std::uint32_t k = 0; k < values[0].size(); ++k) {
      const Point p = at(float(k % (nw + 1)) / nw, float(k / (nw + 1)) / nh);
      for (int c = 0; c < 3; ++c) values[c][k] = p[c];
    }
  }
  TestSurface(const TestSurface&) = delete;
  SurfaceGrids View() const { return {&grids[0], &grids[1], &grids[2]}; }
};

inline SurfaceFn Constant(float x, float y, float z) {
  return [=](float, float) { return Point{x, y, z}; };
}

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
  // Batches a mesh without a transform and returns its record.
  ItemDrawRecord Batch(const TestMesh& mesh, std::uint32_t format) {
    ItemDrawRecord record{};
    BatchAppendItem(buffer, mesh.View(), format, record, nullptr);
    return record;
  }
  // Vertex v of an item, f floats a vertex.
  float* Vertex(const ItemDrawRecord& r, std::uint32_t v, std::uint32_t f) {
    return buffer.vertices + r.mainRanges[0].firstFloat + v * f;
  }
  std::uint32_t extensionWord = 0;
  GeometryBatchBuffer buffer;
};

}  // namespace veskor::test
