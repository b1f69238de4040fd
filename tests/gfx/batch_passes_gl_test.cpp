#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gfx/batch_test_support.h"
#include "gfx/item_batching.h"
#include "gfx/transform_node.h"
#include "gfx/water_clip.h"

namespace veskor::test {
namespace {

using BatchPassTest = BatchGlTest;

const float kNoBox[6] = {1e9f, 1e9f, 1e9f, -1e9f, -1e9f, -1e9f};

std::vector<std::uint32_t> Words(const BatchRange& r) {
  return {r.firstFloat, r.floatCount, r.firstIndex, r.indexCount};
}

TEST_F(BatchPassTest, ItemRangesFollowTheCapSplits) {
  TestMesh puff;  // something before the item, as the cloud puffs are
  puff.AddSheet(1, 1, [](float, float) { return Point{0, 0, 0}; });
  SetVertexFormat(buffer, 4);
  BatchAppendVertices(buffer, puff.View(), 0, 4);
  BatchAppendTriangles(buffer, puff.View(), 0, 2);
  TestMesh capped, open;
  capped.AddSheet(1, 1, [](float, float) { return Point{}; });  // cap A: 4 vertices, 2 triangles
  capped.EndCap();
  capped.AddSheet(2, 1, [](float, float) { return Point{}; });  // cap B: 6, 4
  capped.EndCap();
  capped.AddSheet(1, 2, [](float, float) { return Point{}; });  // body: 6, 4
  open.AddSheet(1, 2, [](float, float) { return Point{}; });
  ItemDrawRecord a{}, b{};
  a.rangeCount = b.rangeCount = 3;
  EXPECT_EQ(BatchAppendItem(buffer, capped.View(), 4, a, nullptr), 1u);
  EXPECT_EQ(BatchAppendItem(buffer, open.View(), 2, b, nullptr), 1u);
  EXPECT_EQ(Words(a.capA), (std::vector<std::uint32_t>{20, 20, 6, 6}));
  EXPECT_EQ(Words(a.capB), (std::vector<std::uint32_t>{40, 30, 12, 12}));
  EXPECT_EQ(Words(a.mainRanges[0]), (std::vector<std::uint32_t>{20, 80, 24, 12}));
  EXPECT_EQ(Words(b.capA), (std::vector<std::uint32_t>{100, 0, 36, 0}));
  EXPECT_EQ(Words(b.capB), (std::vector<std::uint32_t>{100, 0, 36, 0}));
  EXPECT_EQ(Words(b.mainRanges[0]), (std::vector<std::uint32_t>{100, 48, 36, 12}));
  EXPECT_EQ(a.rangeCount + b.rangeCount, 2u);
  EXPECT_EQ(a.format * 10 + b.format, 42u);
  EXPECT_EQ(a.mainRanges[0].waterBox & b.mainRanges[0].waterBox, kNoWaterBox);
  EXPECT_EQ(buffer.floatCount, 148u);  // no water: nothing reserved
  EXPECT_EQ(buffer.indexCount, 48u);
}

TEST_F(BatchPassTest, ItemsBeyond65536VerticesAreReportedAndSkipped) {
  TestMesh mesh;
  for (int k = 0; k < 65536; ++k) mesh.AddVertex({0, 0, 0}, 0, 0);
  ItemDrawRecord record{};
  EXPECT_EQ(BatchAppendItem(buffer, mesh.View(), 4, record, nullptr), 1u);
  EXPECT_EQ(record.mainRanges[0].floatCount, 65536 * 5u);
  mesh.AddVertex({0, 0, 0}, 0, 0);
  record.capA.firstFloat = 77;
  testing::internal::CaptureStderr();
  EXPECT_EQ(BatchAppendItem(buffer, mesh.View(), 4, record, nullptr), 0u);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Warning [exclamation] Geometry Item Skipped : 65537 Vertices > 65536 !\n");
  EXPECT_EQ(record.capA.firstFloat, 77u);
  EXPECT_EQ(buffer.vertexCount, 65536u);
}

TEST_F(BatchPassTest, ItemsNearWaterReserveRoomForTheClipPass) {
  // A 2 x 1 sheet at x 0..2, y 0..1, its heights per vertex row; water boxes per case.
  struct Case {
    float z0, z1;  // heights of the rows t = 0 and t = 1
    WaterBox boxes[2];
    int boxCount;
    float shiftX;  // the item's transform
    std::uint32_t box, room;
  } cases[] = {
      {0, 0, {{102, -5, 200, 5, 0}}, 1, 0, kNoWaterBox, 0},  // max x + 100 = x0
      {0, 0, {{101.9f, -5, 200, 5, 0}}, 1, 0, 0, 4 * 2 + 400},
      {0, 0, {{101.9f, -5, 200, 5, 0}}, 1, -0.2f, kNoWaterBox, 0},
      {1, 700, {{-9, -9, 9, 9, 0}}, 1, 0, 0, 400},  // all 1.0 or more above
      {0.99f, 700, {{-9, -9, 9, 9, 0}}, 1, 0, 0, 4 * 2 + 400},
      {-3, 0.5f, {{-9, -9, 9, 9, 808}, {-9, -9, 9, 9, 0}}, 2, 0, 1, 4 * 2 + 400},
      {-3, 0.5f, {{-9, -9, 9, 9, 799}, {-9, -9, 9, 9, 0}}, 2, 0, 0, 400},  // the first match
  };
  ItemDrawRecord record{};  // kept from item to item, as the item table keeps it
  for (const Case& c : cases) {
    GeometryBatchReset(buffer);
    for (int k = 0; k < c.boxCount; ++k) buffer.waterBoxes[k] = c.boxes[k];
    buffer.waterBoxCount = c.boxCount;
    TestMesh mesh;
    mesh.AddSheet(2, 1, [&](float s, float t) { return Point{2 * s, t, t < 0.5f ? c.z0 : c.z1}; });
    TransformNode node;
    TransformNodeInit(node);
    TransformNodeSetTranslation(node, c.shiftX, 0, 0);
    BatchAppendItem(buffer, mesh.View(), 4, record, TransformNodeMatrix(node));
    EXPECT_EQ(record.mainRanges[0].waterBox, c.box) << c.z0 << " " << c.shiftX;
    EXPECT_EQ(record.clipRoomVertices, c.room) << c.z0 << " " << c.shiftX;
    EXPECT_EQ(record.clipRoomTriangles, c.room);
    EXPECT_EQ(buffer.vertexCount, 6 + c.room);
    EXPECT_EQ(buffer.floatCount, 5 * (6 + c.room));
    EXPECT_EQ(buffer.indexCount, 3 * (4 + c.room));
    EXPECT_EQ(record.mainRanges[0].floatCount, 30u);
  }
}

// One triangle with the heights `z`, batched in format 4 near water at level 0.
struct ClipCase {
  float z[3];
  bool tied;  // room reserved at batching
  std::uint32_t split;
  std::uint32_t roomVertices;    // the room left for cutting (0xFFFFFFFF: as reserved)
  std::uint32_t firstNewVertex;  // pretend the item already holds this many vertices
  std::uint32_t above, below, straddling, added;
};

TEST_F(BatchPassTest, ClipPassSortsAndCutsAtTheWaterLevel) {
  const std::uint32_t asReserved = 0xFFFFFFFF;
  const ClipCase cases[] = {
      {{0.005f, 0.01f, -0.01f}, true, 1, asReserved, 3, 1, 0, 0, 0},  // all in the band: above
      {{0.005f, -0.5f, -0.5f}, true, 1, asReserved, 3, 0, 1, 0, 0},
      {{-1, 1, 1}, true, 1, asReserved, 3, 2, 1, 0, 2},
      {{-1, 1, 0}, true, 1, asReserved, 3, 1, 1, 0, 1},
      {{1, -1, -1}, true, 1, 1, 3, 0, 0, 1, 0},              // two cuts, room for one
      {{0, -1, 1}, true, 1, 1, 3, 1, 1, 0, 1},               // one cut fits
      {{0, -1, 1}, true, 1, asReserved, 65536, 0, 0, 1, 0},  // vertex 65536 is out of reach
      {{0, -1, 1}, true, 1, asReserved, 65535, 1, 1, 0, 1},
      {{-1, 1, 1}, false, 1, asReserved, 3, 0, 0, 1, 0},  // not tied at batching
      {{-1, 1, 1}, true, 0, asReserved, 3, 0, 0, 1, 0},   // a cap range
  };
  for (const ClipCase& c : cases) {
    GeometryBatchReset(buffer);
    if (c.tied) BatchAddWaterBox(buffer, -10, -10, 10, 10, 0);
    TestMesh mesh;
    for (int v = 0; v < 3; ++v) mesh.AddVertex({float(v == 1), float(v == 2), c.z[v]}, float(v), 0);
    mesh.AddTriangle(0, 1, 2);
    ItemDrawRecord record{};
    BatchAppendItem(buffer, mesh.View(), 4, record, nullptr);
    if (!c.tied) BatchAddWaterBox(buffer, -10, -10, 10, 10, 0);
    if (c.roomVertices != asReserved) record.clipRoomVertices = c.roomVertices;
    BatchRange& range = record.mainRanges[0];
    range.floatCount = 5 * c.firstNewVertex;
    BatchClipPass(buffer, record, range, -1, -1, -2, 2, 2, 2, nullptr, nullptr, c.split);
    const std::vector<std::uint32_t> got = {range.above, range.below, range.straddling,
                                            range.floatCount / 5 - c.firstNewVertex,
                                            range.indexCount / 3};
    EXPECT_EQ(got,
              (std::vector<std::uint32_t>{c.above, c.below, c.straddling, c.added, 1 + c.added}))
        << c.z[0] << " " << c.z[1] << " " << c.z[2] << " room " << c.roomVertices;
    EXPECT_EQ(range.waterBox, 0u);
    // The groups in order, each triangle on its side of the band.
    for (std::uint32_t j = 0; j < c.above + c.below; ++j) {
      for (int k = 0; k < 3; ++k) {
        const std::uint16_t v = buffer.indices[range.firstIndex + 3 * j + k];
        const float z = buffer.vertices[5 * std::size_t{v} + 2];
        if (j < c.above)
          EXPECT_GE(z, -kWaterBand) << j;
        else
          EXPECT_LE(z, kWaterBand) << j;
      }
    }
  }
}

TEST_F(BatchPassTest, SortingMovesUncutTrianglesBehindTheBelowGroup) {
  BatchAddWaterBox(buffer, -10, -10, 10, 10, 0);
  TestMesh mesh;
  const float z[3][3] = {{1, 1, 1}, {-1, 1, 1}, {-1, -1, -1}};  // above, crossing, below
  for (int j = 0; j < 3; ++j) {
    for (int c = 0; c < 3; ++c) mesh.AddVertex({float(c), float(j), z[j][c]}, 0, 0);
    mesh.AddTriangle(3 * j, 3 * j + 1, 3 * j + 2);
  }
  ItemDrawRecord record{};
  BatchAppendItem(buffer, mesh.View(), 4, record, nullptr);
  BatchClipPass(buffer, record, record.mainRanges[0], -1, -1, -2, 3, 3, 2, nullptr, nullptr, 0);
  EXPECT_EQ(std::vector<std::uint16_t>(buffer.indices, buffer.indices + 9),
            (std::vector<std::uint16_t>{0, 1, 2, 6, 7, 8, 3, 4, 5}));
}

TEST_F(BatchPassTest, ACutTriangleTakesTheNewVerticesOnItsEdges) {
  BatchAddWaterBox(buffer, -10, -10, 10, 10, 0);
  TestMesh mesh;
  mesh.AddVertex({0, 0, -1}, 0, 0);
  mesh.AddVertex({2, 0, 1}, 1, 0);
  mesh.AddVertex({0, 2, 1}, 0, 1);
  mesh.AddTriangle(0, 1, 2);
  ItemDrawRecord record{};
  BatchAppendItem(buffer, mesh.View(), 4, record, nullptr);
  BatchClipPassA(buffer, record, -1, -1, -2, 3, 3, 2, nullptr, nullptr);
  // Edge (0, 1) gives vertex 3, edge (2, 0) vertex 4; two triangles above, then one below.
  EXPECT_EQ(std::vector<std::uint16_t>(buffer.indices, buffer.indices + 9),
            (std::vector<std::uint16_t>{3, 2, 4, 3, 1, 2, 0, 3, 4}));
  EXPECT_EQ(std::vector<float>(buffer.vertices + 15, buffer.vertices + 25),
            (std::vector<float>{1, 0, 0, 0.5f, 0, 0, 1, 0, 0, 0.5f}));
  EXPECT_EQ(record.clipRoomVertices, 2u * 1 + 400 - 2);
  const float* toWorld = nullptr;
  BatchClipPassA(buffer, record, -1, -1, -2, 3, 3, 2, toWorld, nullptr);  // nothing to cut now
  EXPECT_EQ(record.mainRanges[0].indexCount, 9u);
}

}  // namespace
}  // namespace veskor::test
