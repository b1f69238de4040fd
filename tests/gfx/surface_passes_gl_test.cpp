#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "gfx/batch_test_support.h"
#include "gfx/item_batching.h"
#include "gfx/surface_passes.h"
#include "gfx/transform_node.h"
#include "gfx/water_clip.h"
#include "mapengine/kernel_table.h"

namespace veskor::test {
namespace {

using SurfacePassTest = BatchGlTest;

SurfaceFn Constant(float x, float y, float z) {
  return [=](float, float) { return Point{x, y, z}; };
}

TEST(SurfaceBorder, CodesAndPerimeterParameters) {
  struct Case {
    float s, t;
    std::uint32_t code;
    float param;
  } cases[] = {
      {0.5f, 0.5f, 0, 0.875f},
      {0.99985f, 0.5f, 1, 0.625f},
      {0.9998f, 0.5f, 0, 0.75005f},
      {0.0004f, 0.5f, 1, 0.125f},
      {0.5f, 0.0005f, 0, 0.875f},
      {0.4f, 1, 2, 0.35f},
      {0.4f, 0, 2, 0.9f},
      {0, 0.4f, 1, 0.1f},
      {1, 0, 3, 0.75f},
      {0.0005f, 0.5f, 0, 0.999875f},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UvBorderCode(c.s, c.t), c.code) << c.s << " " << c.t;
    EXPECT_FLOAT_EQ(BorderPerimeterParam(c.s, c.t), c.param) << c.s << " " << c.t;
    EXPECT_EQ(BorderPerimeterParamSwapped(c.t, c.s), BorderPerimeterParam(c.s, c.t));
  }
}

TEST_F(SurfacePassTest, OnlyBorderVerticesWidenTheBox) {
  const TestSurface q(0, 0, Constant(100, -100, 50));
  const float s[] = {0.5f, 0.99985f, 0.9998f, 0.0004f, 0.5f};
  const float t[] = {0.5f, 0.5f, 0.5f, 0.5f, 0.0005f};
  const bool widens[] = {false, true, false, true, false};
  for (int k = 0; k < 5; ++k) {
    TestMesh mesh;
    mesh.AddVertex({0, 0, 0}, s[k], t[k]);
    ItemDrawRecord record{};
    BatchAppendItem(buffer, mesh.View(), 4, record, nullptr);
    float box[6] = {0, 0, 0, 1, 1, 1};
    BatchPositionPass(buffer, record, q.View(), q.View(), q.View(), nullptr, box);
    EXPECT_EQ(std::vector<float>(Vertex(record.mainRanges[0].firstFloat, 0, 5),
                                 Vertex(record.mainRanges[0].firstFloat, 0, 5) + 3),
              (std::vector<float>{100, -100, 50}));
    const std::vector<float> want = widens[k] ? std::vector<float>{0, -100, 0, 100, 1, 50}
                                              : std::vector<float>{0, 0, 0, 1, 1, 1};
    EXPECT_EQ(std::vector<float>(box, box + 6), want) << s[k] << " " << t[k];
  }
  // Format 1 is none of the passes' business.
  TestMesh mesh;
  mesh.AddVertex({1, 2, 3}, 0, 0);
  ItemDrawRecord record{};
  BatchAppendItem(buffer, mesh.View(), 1, record, nullptr);
  float box[6] = {0, 0, 0, 1, 1, 1};
  BatchPositionPass(buffer, record, q.View(), q.View(), q.View(), nullptr, box);
  BatchNormalPass(buffer, record, q.View(), q.View(), q.View(), nullptr, 0.2f, box);
  EXPECT_EQ(std::vector<float>(buffer.vertices + buffer.floatCount - 6,
                               buffer.vertices + buffer.floatCount),
            (std::vector<float>{1, 2, 3, 0, 0, 1}));
  EXPECT_EQ(box[3], 1.0f);
}

// An item whose cap A has an interior vertex and, twice, the border vertex (0, 0.2), and whose
// body has the vertices (0, 0.5) and (1, 0.5); placed at x = 5 s and height y.
struct CappedPair {
  TestMesh mesh;
  ItemDrawRecord record{};
  explicit CappedPair(GeometryBatchBuffer& buffer) {
    for (float t : {0.5f, 0.2f, 0.2f}) mesh.AddVertex({}, t == 0.5f ? 0.5f : 0.0f, t);
    mesh.EndCap();
    mesh.EndCap();
    mesh.AddVertex({}, 0, 0.5f);
    mesh.AddVertex({}, 1, 0.5f);
    BatchAppendItem(buffer, mesh.View(), 4, record, nullptr);
  }
  std::vector<float> Place(GeometryBatchBuffer& buffer, float y) {
    const TestSurface grids(0, 0, [=](float s, float) { return Point{5 * s, y, 0}; });
    float box[6] = {};
    BatchPositionPass(buffer, record, grids.View(), grids.View(), grids.View(), nullptr, box);
    const float* v = buffer.vertices + record.mainRanges[0].firstFloat;
    return {v[15], v[16], v[20], v[21]};  // x, y of the two body vertices
  }
};

TEST_F(SurfacePassTest, CappedItemsWeldWithinThemselvesOnly) {
  // Without body triangles cap B's rim meets cap A's directly.
  TestMesh caps;
  caps.AddVertex({}, 0, 0.2f);
  caps.EndCap();
  caps.AddVertex({}, 0.2f, 0);
  caps.EndCap();
  ItemDrawRecord record{};
  BatchAppendItem(buffer, caps.View(), 4, record, nullptr);
  const TestSurface a(0, 0, Constant(1, 2, 3)), b(0, 0, Constant(1.5f, 2, 3));
  float box[6] = {};
  BatchPositionPass(buffer, record, a.View(), a.View(), b.View(), nullptr, box);
  EXPECT_EQ(Vertex(record.mainRanges[0].firstFloat, 1, 5)[0], 1.0f);
  WeldTableReset(buffer.weldTable);

  CappedPair one(buffer), two(buffer);
  EXPECT_EQ(one.Place(buffer, 0), (std::vector<float>{0, 0, 0, 0}));  // s = 1 meets s = 0
  // Cap A registers both its rim vertices, the body its first vertex only.
  EXPECT_EQ(buffer.weldTable.table.entries.block.usedBytes, 3 * sizeof(WeldEntry));
  EXPECT_EQ(two.Place(buffer, 5), (std::vector<float>{0, 5, 0, 5}));  // not onto item one
  // The first match met is item two's: item one keeps its own sample this time.
  EXPECT_EQ(one.Place(buffer, 2), (std::vector<float>{0, 2, 0, 2}));
}

TEST_F(SurfacePassTest, OpenPatchesTakeTheEdgeOfTheFirstPatch) {
  TestMesh first, second, pair;
  const SurfaceFn a = [](float s, float t) { return Point{100 * s, 100 * t, 0}; };
  const SurfaceFn b = [](float s, float t) { return Point{100 + 100 * s, 100 * t, 0.5f}; };
  first.AddSheet(2, 2, a);
  second.AddSheet(2, 2, b);
  pair.AddVertex({}, 0, 0.3f);
  pair.AddVertex({}, 1, 0.3005f);
  ItemDrawRecord ra{}, rb{}, rp{};
  BatchAppendItem(buffer, first.View(), 4, ra, nullptr);
  BatchAppendItem(buffer, second.View(), 4, rb, nullptr);
  BatchAppendItem(buffer, pair.View(), 4, rp, nullptr);
  const TestSurface ga(1, 1, a), gb(1, 1, b), gp(0, 0, Constant(500, 500, 500));
  float box[6] = {};
  BatchPositionPass(buffer, ra, ga.View(), ga.View(), ga.View(), nullptr, box);
  BatchPositionPass(buffer, rb, gb.View(), gb.View(), gb.View(), nullptr, box);
  for (int row = 0; row < 3; ++row) {
    const float* edge = Vertex(ra.mainRanges[0].firstFloat, 3 * row + 2, 5);
    const float* joined = Vertex(rb.mainRanges[0].firstFloat, 3 * row, 5);
    EXPECT_EQ(std::vector<float>(joined, joined + 3), std::vector<float>(edge, edge + 3));
    EXPECT_EQ(Vertex(rb.mainRanges[0].firstFloat, 3 * row + 1, 5)[2], 0.5f);
  }
  const std::uint32_t used = buffer.weldTable.table.entries.block.usedBytes;
  BatchPositionPass(buffer, rp, gp.View(), gp.View(), gp.View(), nullptr, box);
  EXPECT_EQ(buffer.weldTable.table.entries.block.usedBytes - used, sizeof(WeldEntry));
}

TEST_F(SurfacePassTest, NormalsTiltAwayFromTheBoxCentreNearItsFaces) {
  TransformNode quarter;
  TransformNodeInit(quarter);
  TransformNodeSetRotation(quarter, 0, 0, 1, 90);
  struct Case {
    Point position, grid;
    float box[6];
    const float* toLocal;
    Point want;
  } cases[] = {
      {{1, 0, 0}, {0, 0, 1}, {-1, -1, -1, 1, 1, 1}, nullptr, {0.2f, 0, 1}},
      {{0.5f, 0, 0}, {0, 0, 1}, {-1, -1, -1, 1, 1, 1}, nullptr, {0.1f, 0, 1}},
      {{0, -1, 0.5f}, {0, 0, 1}, {-1, -1, -1, 1, 1, 1}, nullptr, {0, -0.1788854f, 1.0894427f}},
      {{0, 0, 0}, {0, 0, 1}, {-1, -1, -1, 1, 1, 1}, nullptr, {0, 0, 1}},
      {{0, 0, 0.5f}, {0, 3, 0}, {-1, -1, 0, 1, 1, 0}, nullptr, {0, 1, 0}},  // a flat box
      {{0, 0, 0}, {0, 0, 0}, {-1, -1, -1, 1, 1, 1}, nullptr, {0, 0, 0}},
      {{0, 0, 0}, {1, 0, 0}, {-1, -1, -1, 1, 1, 1}, TransformNodeMatrix(quarter), {0, 1, 0}},
  };
  for (const Case& c : cases) {
    TestMesh mesh;
    mesh.AddVertex(c.position, 0.5f, 0.5f);
    ItemDrawRecord record{};
    BatchAppendItem(buffer, mesh.View(), 2, record, nullptr);
    const TestSurface g(0, 0, Constant(c.grid[0], c.grid[1], c.grid[2]));
    BatchNormalPass(buffer, record, g.View(), g.View(), g.View(), c.toLocal, 0.2f, c.box);
    const float* n = Vertex(record.mainRanges[0].firstFloat, 0, 8) + 3;
    const float length = std::hypot(c.want[0], c.want[1], c.want[2]);
    for (int a = 0; a < 3; ++a)
      EXPECT_NEAR(n[a], length > 0 ? c.want[a] / length : 0.0f, 1e-3f) << c.position[0];
  }
  // Format 4 has no normals: its texture coordinates stay.
  TestMesh mesh;
  mesh.AddVertex({1, 0, 0}, 0.25f, 0.75f);
  ItemDrawRecord record{};
  BatchAppendItem(buffer, mesh.View(), 4, record, nullptr);
  const TestSurface g(0, 0, Constant(0, 0, 1));
  const float box[6] = {-1, -1, -1, 1, 1, 1};
  BatchNormalPass(buffer, record, g.View(), g.View(), g.View(), nullptr, 0.2f, box);
  EXPECT_EQ(Vertex(record.mainRanges[0].firstFloat, 0, 5)[3], 0.25f);
}

}  // namespace
}  // namespace veskor::test
