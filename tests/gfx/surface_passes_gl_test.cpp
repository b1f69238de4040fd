#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gfx/batch_test_support.h"
#include "gfx/surface_passes.h"
#include "gfx/transform_node.h"

namespace veskor::test {
namespace {

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
      {0.0005f, 0.5f, 0, 0.999875f},
      {0.5f, 0.0005f, 0, 0.875f},
      {0.4f, 1, 2, 0.35f},
      {0, 0.4f, 1, 0.1f},
      {1, 0, 3, 0.75f},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UvBorderCode(c.s, c.t), c.code) << c.s << " " << c.t;
    EXPECT_FLOAT_EQ(BorderPerimeterParam(c.s, c.t), c.param) << c.s << " " << c.t;
    EXPECT_EQ(BorderPerimeterParamSwapped(c.t, c.s), BorderPerimeterParam(c.s, c.t));
  }
}

TEST_F(BatchGlTest, OnlyBorderVerticesWidenTheBoxAndFormatOneIsLeftAlone) {
  const TestSurface q(0, 0, Constant(100, -100, 50));
  struct Case {
    float s, t;
    std::uint32_t format;
    std::vector<float> position, box;
  } cases[] = {
      {0.5f, 0.5f, 4, {100, -100, 50}, {0, 0, 0, 1, 1, 1}},
      {0.99985f, 0.5f, 4, {100, -100, 50}, {0, -100, 0, 100, 1, 50}},
      {0.5f, 0.0005f, 4, {100, -100, 50}, {0, 0, 0, 1, 1, 1}},
      {0, 0, 1, {1, 2, 3}, {0, 0, 0, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    TestMesh mesh;
    mesh.AddVertex({1, 2, 3}, c.s, c.t);
    const ItemDrawRecord record = Batch(mesh, c.format);
    float box[6] = {0, 0, 0, 1, 1, 1};
    BatchPositionPass(buffer, record, q.View(), q.View(), q.View(), nullptr, box);
    BatchNormalPass(buffer, record, q.View(), q.View(), q.View(), nullptr, 0.2f, box);
    const float* v = Vertex(record, 0, c.format == 1 ? 6 : 5);
    EXPECT_EQ(std::vector<float>(v, v + 3), c.position);
    EXPECT_EQ(std::vector<float>(box, box + 6), c.box) << c.s << " " << c.t;
    EXPECT_EQ(v[3], c.format == 1 ? 0.0f : c.s);  // neither a normal nor texture coordinates
  }
}

// An item whose cap A has an interior vertex and, twice, the border vertex (0, 0.2), and whose
// body has the vertices (0, 0.5) and (1, 0.5); placed at x = 5 s and height y.
struct CappedItem {
  TestMesh mesh;
  ItemDrawRecord record;
  explicit CappedItem(GeometryBatchBuffer& buffer) {
    for (float t : {0.5f, 0.2f, 0.2f}) mesh.AddVertex({}, t == 0.5f ? 0.5f : 0.0f, t);
    mesh.EndCap();
    mesh.EndCap();
    mesh.AddVertex({}, 0, 0.5f);
    mesh.AddVertex({}, 1, 0.5f);
    record = ItemDrawRecord{};
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

TEST_F(BatchGlTest, CappedItemsWeldWithinThemselvesOnly) {
  // Without body triangles cap B's rim meets cap A's directly.
  TestMesh caps;
  caps.AddVertex({}, 0, 0.2f);
  caps.EndCap();
  caps.AddVertex({}, 0.2f, 0);
  caps.EndCap();
  const ItemDrawRecord record = Batch(caps, 4);
  const TestSurface a(0, 0, Constant(1, 2, 3)), b(0, 0, Constant(1.5f, 2, 3));
  float box[6] = {};
  BatchPositionPass(buffer, record, a.View(), a.View(), b.View(), nullptr, box);
  EXPECT_EQ(Vertex(record, 1, 5)[0], 1.0f);
  WeldTableReset(buffer.weldTable);

  // Three instances of one item share their keys' parameters; the body's key (s, 0.5) hashes
  // to bucket 32 + (x + y) / 10.
  CappedItem one(buffer), two(buffer), three(buffer);
  EXPECT_EQ(one.Place(buffer, 0), (std::vector<float>{0, 0, 0, 0}));  // s = 1 meets s = 0
  // Cap A registers both its rim vertices, the body its first vertex only.
  EXPECT_EQ(buffer.weldTable.table.entries.block.usedBytes, 3 * sizeof(WeldEntry));
  EXPECT_EQ(two.Place(buffer, 5), (std::vector<float>{0, 5, 0, 5}));  // not onto item one
  // (0, -5) goes to bucket 31; (5, -5) searches bucket 32 first, where items two and one
  // registered (0, 5) and (0, 0), and must pass over both to its own (0, -5).
  EXPECT_EQ(three.Place(buffer, -5), (std::vector<float>{0, -5, 0, -5}));
  // Placed again, item one welds onto its own first entries, behind item two's in bucket 32.
  EXPECT_EQ(one.Place(buffer, 2), (std::vector<float>{0, 0, 0, 0}));
}

TEST_F(BatchGlTest, OpenPatchesTakeTheEdgeOfTheFirstPatch) {
  const SurfaceFn a = [](float s, float t) { return Point{100 * s, 100 * t, 0}; };
  const SurfaceFn b = [](float s, float t) { return Point{100 + 100 * s, 100 * t, 0.5f}; };
  TestMesh first, second, pair;
  first.AddSheet(2, 2, a);
  second.AddSheet(2, 2, b);
  pair.AddVertex({}, 0, 0.3f);
  pair.AddVertex({}, 1, 0.3005f);
  const ItemDrawRecord ra = Batch(first, 4), rb = Batch(second, 4), rp = Batch(pair, 4);
  const TestSurface ga(1, 1, a), gb(1, 1, b), gp(0, 0, Constant(500, 500, 500));
  float box[6] = {};
  BatchPositionPass(buffer, ra, ga.View(), ga.View(), ga.View(), nullptr, box);
  BatchPositionPass(buffer, rb, gb.View(), gb.View(), gb.View(), nullptr, box);
  for (std::uint32_t row = 0; row < 3; ++row) {
    EXPECT_EQ(std::vector<float>(Vertex(rb, 3 * row, 5), Vertex(rb, 3 * row, 5) + 3),
              std::vector<float>(Vertex(ra, 3 * row + 2, 5), Vertex(ra, 3 * row + 2, 5) + 3));
    EXPECT_EQ(Vertex(rb, 3 * row + 1, 5)[2], 0.5f);
  }
  // (0, 0.3) and (1, 0.3005) are one border point: the second vertex adds no entry.
  const std::uint32_t used = buffer.weldTable.table.entries.block.usedBytes;
  BatchPositionPass(buffer, rp, gp.View(), gp.View(), gp.View(), nullptr, box);
  EXPECT_EQ(buffer.weldTable.table.entries.block.usedBytes - used, sizeof(WeldEntry));
}

TEST_F(BatchGlTest, NormalsTiltAwayFromTheBoxCentreNearItsFaces) {
  TransformNode quarter;
  TransformNodeInit(quarter);
  TransformNodeSetRotation(quarter, 0, 0, 1, 90);
  const float cube[6] = {-1, -1, -1, 1, 1, 1}, flat[6] = {-1, -1, 0, 1, 1, 0};
  struct Case {
    Point position, grid;
    const float* box;
    const float* toLocal;
    Point want;  // before normalising
  } cases[] = {
      {{1, 0, 0}, {0, 0, 1}, cube, nullptr, {0.2f, 0, 1}},  // on a face: 0.2 x the direction
      {{0.5f, 0, 0}, {0, 0, 1}, cube, nullptr, {0.1f, 0, 1}},
      {{0, -1, 0.5f}, {0, 0, 1}, cube, nullptr, {0, -0.1788854f, 1.0894427f}},
      {{0, 0, 0}, {0, 0, 1}, cube, nullptr, {0, 0, 1}},  // the centre has no direction
      {{0, 0, 0.5f}, {0, 3, 0}, flat, nullptr, {0, 1, 0}},
      {{0, 0, 0}, {0, 0, 0}, cube, nullptr, {0, 0, 0}},
      {{0, 0, 0}, {1, 0, 0}, cube, TransformNodeMatrix(quarter), {0, 1, 0}},
  };
  for (const Case& c : cases) {
    TestMesh mesh;
    mesh.AddVertex(c.position, 0.5f, 0.5f);
    const ItemDrawRecord record = Batch(mesh, 2);
    const TestSurface g(0, 0, Constant(c.grid[0], c.grid[1], c.grid[2]));
    BatchNormalPass(buffer, record, g.View(), g.View(), g.View(), c.toLocal, 0.2f, c.box);
    const float length = std::hypot(c.want[0], c.want[1], c.want[2]);
    for (int a = 0; a < 3; ++a)
      EXPECT_NEAR(Vertex(record, 0, 8)[3 + a], length > 0 ? c.want[a] / length : 0.0f, 1e-3f)
          << c.position[0] << " " << c.position[1] << " " << c.position[2];
  }
}

}  // namespace
}  // namespace veskor::test
