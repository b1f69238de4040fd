#include <gtest/gtest.h>

#include <vector>

#include "gfx/batch_test_support.h"
#include "gfx/transform_node.h"
#include "gfx/water_clip.h"

namespace veskor::test {
namespace {

std::vector<std::uint32_t> Words(const BatchRange& r) {
  return {r.firstFloat, r.floatCount, r.firstIndex, r.indexCount, r.waterBox};
}

TEST_F(BatchGlTest, ItemRangesFollowTheCapSplits) {
  TestMesh puff, capped, open;  // something before the items, as the cloud puffs are
  puff.AddSheet(1, 1, Constant(0, 0, 0));
  SetVertexFormat(buffer, 4);
  BatchAppendVertices(buffer, puff.View(), 0, 4);
  BatchAppendTriangles(buffer, puff.View(), 0, 2);
  capped.AddSheet(1, 1, Constant(0, 0, 0));  // cap A: 4 vertices, 2 triangles
  capped.EndCap();
  capped.AddSheet(2, 1, Constant(0, 0, 0));  // cap B: 6, 4
  capped.EndCap();
  capped.AddSheet(1, 2, Constant(0, 0, 0));  // body: 6, 4
  open.AddSheet(1, 2, Constant(0, 0, 0));
  const ItemDrawRecord a = Batch(capped, 4), b = Batch(open, 2);
  const std::uint32_t none = kNoWaterBox;
  EXPECT_EQ(Words(a.capA), (std::vector<std::uint32_t>{20, 20, 6, 6, 0}));
  EXPECT_EQ(Words(a.capB), (std::vector<std::uint32_t>{40, 30, 12, 12, 0}));
  EXPECT_EQ(Words(a.mainRanges[0]), (std::vector<std::uint32_t>{20, 80, 24, 12, none}));
  EXPECT_EQ(Words(b.capA), (std::vector<std::uint32_t>{100, 0, 36, 0, 0}));
  EXPECT_EQ(Words(b.capB), (std::vector<std::uint32_t>{100, 0, 36, 0, 0}));
  EXPECT_EQ(Words(b.mainRanges[0]), (std::vector<std::uint32_t>{100, 48, 36, 12, none}));
  EXPECT_EQ(a.rangeCount * 100 + a.format * 10 + b.format, 142u);
  EXPECT_EQ(buffer.floatCount * 100 + buffer.indexCount, 148 * 100 + 48u);  // no room reserved
}

TEST_F(BatchGlTest, ItemsBeyond65536VerticesAreSkippedLeavingTheBoxToTheCaller) {
  TestMesh mesh;
  for (int k = 0; k < 65536; ++k) mesh.AddVertex({0, 0, 0}, 0, 0);
  ItemDrawRecord record = Batch(mesh, 4);
  EXPECT_EQ(record.mainRanges[0].floatCount, 65536 * 5u);
  mesh.AddVertex({0, 0, 0}, 0, 0);
  record.capA.firstFloat = 77;
  testing::internal::CaptureStderr();
  EXPECT_EQ(BatchAppendItem(buffer, mesh.View(), 4, record, nullptr), 0u);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // the render session warns once
  EXPECT_EQ(record.capA.firstFloat, 77u);
  EXPECT_EQ(buffer.vertexCount, 65536u);
}

// A 2 x 1 sheet (6 vertices of 5 floats, 4 triangles) fits the buffer's last room exactly, and
// is refused whole one float or index short; in a water box it needs 4 x 2 + 400 of each more.
TEST_F(BatchGlTest, ItemsPastTheBuffersRoomAreRefusedWhole) {
  TestMesh mesh;
  mesh.AddSheet(2, 1, [](float s, float t) { return Point{2 * s, t, 0}; });
  const std::uint32_t floats = kBatchStagingVertexBytes / 4, indices = kBatchStagingIndexBytes / 2;
  const std::uint32_t no = kBatchItemNoRoom;
  const struct {
    std::uint32_t floatCount, indexCount;
    std::int32_t boxes;
    std::uint32_t result;
  } cases[] = {
      {floats - 30, indices - 12, 0, 1}, {floats - 29, 0, 0, no},
      {0, indices - 11, 0, no},          {floats - 5 * 414, indices - 3 * 412, 1, 1},
      {floats - 5 * 414 + 1, 0, 1, no},  {0, indices - 3 * 412 + 1, 1, no},
  };
  buffer.waterBoxes[0] = {-9, -9, 9, 9, 0};
  for (const auto& c : cases) {
    buffer.floatCount = c.floatCount, buffer.indexCount = c.indexCount;
    buffer.waterBoxCount = c.boxes;
    ItemDrawRecord record{};
    EXPECT_EQ(BatchAppendItem(buffer, mesh.View(), 4, record, nullptr), c.result) << c.floatCount;
    const bool full = c.result == 1;
    EXPECT_EQ(buffer.floatCount, full ? floats : c.floatCount);
    EXPECT_EQ(buffer.indexCount, full ? indices : c.indexCount);
    EXPECT_EQ(record.mainRanges[0].floatCount, full ? 30u : 0u);
  }
}

TEST_F(BatchGlTest, ItemsNearWaterReserveRoomForTheClipPass) {
  // A 2 x 1 sheet at x 0..2, y 0..1 with the heights z0 and z1 on its rows; the water boxes.
  struct Case {
    float z0, z1;
    WaterBox boxes[2];
    std::int32_t boxCount;
    float shiftX;  // the item's transform
    std::uint32_t box, room;
  } cases[] = {
      {0, 0, {{102, -5, 200, 5, 0}}, 1, 0, kNoWaterBox, 0},  // max x + 100 = x0
      {0, 0, {{101.9f, -5, 200, 5, 0}}, 1, 0, 0, 4 * 2 + 400},
      {0, 0, {{101.9f, -5, 200, 5, 0}}, 1, -0.2f, kNoWaterBox, 0},
      {1, 700, {{-9, -9, 9, 9, 0}}, 1, 0, 0, 400},  // all 1.0 or more above
      {0.99f, 700, {{-9, -9, 9, 9, 0}}, 1, 0, 0, 4 * 2 + 400},
      {-3, 0.5f, {{-9, -9, 9, 9, -803}, {-9, -9, 9, 9, 0}}, 2, 0, 1, 4 * 2 + 400},
      {-3, 0.5f, {{-9, -9, 9, 9, -802.9f}, {-9, -9, 9, 9, 0}}, 2, 0, 0, 400},  // the first
  };
  ItemDrawRecord record{};  // kept from item to item, as the item table keeps it
  for (const Case& c : cases) {
    GeometryBatchReset(buffer);
    buffer.waterBoxes[0] = c.boxes[0], buffer.waterBoxes[1] = c.boxes[1];
    buffer.waterBoxCount = c.boxCount;
    TestMesh mesh;
    mesh.AddSheet(2, 1, [&](float s, float t) { return Point{2 * s, t, t < 0.5f ? c.z0 : c.z1}; });
    TransformNode node;
    TransformNodeInit(node);
    TransformNodeSetTranslation(node, c.shiftX, 0, 0);
    BatchAppendItem(buffer, mesh.View(), 4, record, TransformNodeMatrix(node));
    EXPECT_EQ(record.mainRanges[0].waterBox, c.box) << c.z0 << " " << c.shiftX;
    EXPECT_EQ(record.clipRoomVertices + record.clipRoomTriangles, 2 * c.room) << c.z0;
    EXPECT_EQ(buffer.vertexCount * 5, buffer.floatCount);
    EXPECT_EQ(buffer.floatCount * 10 + buffer.indexCount / 3, 50 * (6 + c.room) + 4 + c.room);
    EXPECT_EQ(record.mainRanges[0].floatCount, 30u);
  }
}

TEST_F(BatchGlTest, ClipPassSortsAndCutsAtTheWaterLevel) {
  // One triangle with the heights z near water at level 0, batched in format 4.
  const std::uint32_t asReserved = 0xFFFFFFFF;
  struct Case {
    float z[3];
    bool tied;                     // room reserved at batching
    std::uint32_t split;           // 0: a cap range
    std::uint32_t roomVertices;    // the room left for cutting
    std::uint32_t firstNewVertex;  // pretend the item already holds this many vertices
    std::uint32_t above, below, straddling, added;
  } cases[] = {
      {{0.005f, 0.01f, -0.01f}, true, 1, asReserved, 3, 1, 0, 0, 0},  // all in the band: above
      {{0.005f, -0.5f, -0.5f}, true, 1, asReserved, 3, 0, 1, 0, 0},
      {{-1, 1, 1}, true, 1, asReserved, 3, 2, 1, 0, 2},
      {{-1, 1, 0}, true, 1, asReserved, 3, 1, 1, 0, 1},
      {{1, -1, -1}, true, 1, 1, 3, 0, 0, 1, 0},              // two cuts, room for one
      {{0, -1, 1}, true, 1, 1, 3, 1, 1, 0, 1},               // one cut fits
      {{0, -1, 1}, true, 1, asReserved, 65536, 0, 0, 1, 0},  // vertex 65536 is out of reach
      {{0, -1, 1}, true, 1, asReserved, 65535, 1, 1, 0, 1},
      {{-1, 1, 1}, false, 1, asReserved, 3, 0, 0, 1, 0},
      {{-1, 1, 1}, true, 0, asReserved, 3, 0, 0, 1, 0},
  };
  for (const auto& c : cases) {
    GeometryBatchReset(buffer);
    if (c.tied) BatchAddWaterBox(buffer, -10, -10, 10, 10, 0);
    TestMesh mesh;
    for (int v = 0; v < 3; ++v) mesh.AddVertex({float(v == 1), float(v == 2), c.z[v]}, 0, 0);
    mesh.AddTriangle(0, 1, 2);
    ItemDrawRecord record = Batch(mesh, 4);
    if (!c.tied) BatchAddWaterBox(buffer, -10, -10, 10, 10, 0);
    if (c.roomVertices != asReserved) record.clipRoomVertices = c.roomVertices;
    BatchRange& range = record.mainRanges[0];
    range.floatCount = 5 * c.firstNewVertex;
    BatchClipPass(buffer, record, range, -1, -1, -2, 2, 2, 2, nullptr, nullptr, c.split);
    EXPECT_EQ(
        (std::vector<std::uint32_t>{range.waterBox, range.above, range.below, range.straddling,
                                    range.floatCount / 5, range.indexCount / 3}),
        (std::vector<std::uint32_t>{0, c.above, c.below, c.straddling, c.firstNewVertex + c.added,
                                    1 + c.added}))
        << c.z[0] << " " << c.z[1] << " " << c.z[2] << " room " << c.roomVertices;
    for (std::uint32_t k = 0; k < 3 * (c.above + c.below); ++k) {  // each group on its side
      const float z = buffer.vertices[5 * buffer.indices[range.firstIndex + k] + 2];
      EXPECT_TRUE(k < 3 * c.above ? z >= -kWaterBand : z <= kWaterBand) << k;
    }
  }
}

TEST_F(BatchGlTest, TrianglesEndInTheirGroupsAndCutsMakeVerticesOnTheEdges) {
  BatchAddWaterBox(buffer, -10, -10, 10, 10, 0);
  TestMesh mesh;
  const float z[3][3] = {{1, 1, 1}, {-1, 1, 1}, {-1, -1, -1}};  // above, crossing, below
  for (int j = 0; j < 3; ++j) {
    for (int c = 0; c < 3; ++c) mesh.AddVertex({float(c), float(j), z[j][c]}, float(c), 1);
    mesh.AddTriangle(3 * j, 3 * j + 1, 3 * j + 2);
  }
  ItemDrawRecord record = Batch(mesh, 4);
  BatchClipPass(buffer, record, record.mainRanges[0], -1, -1, -2, 3, 3, 2, nullptr, nullptr, 0);
  EXPECT_EQ(std::vector<std::uint16_t>(buffer.indices, buffer.indices + 9),
            (std::vector<std::uint16_t>{0, 1, 2, 6, 7, 8, 3, 4, 5}));
  // Cutting the crossing one: edge (3, 4) gives vertex 9, edge (5, 3) vertex 10; of the three
  // triangles the two above come first.
  BatchClipPassA(buffer, record, -1, -1, -2, 3, 3, 2, nullptr, nullptr);
  EXPECT_EQ(std::vector<std::uint16_t>(buffer.indices + 3, buffer.indices + 15),
            (std::vector<std::uint16_t>{9, 4, 5, 9, 5, 10, 6, 7, 8, 3, 9, 10}));
  EXPECT_EQ(std::vector<float>(Vertex(record, 9, 5), Vertex(record, 11, 5)),
            (std::vector<float>{0.5f, 1, 0, 0.5f, 1, 1, 1, 0, 1, 1}));
  EXPECT_EQ(record.clipRoomVertices, 2u * 1 + 400 - 2);
  BatchClipPassA(buffer, record, -1, -1, -2, 3, 3, 2, nullptr, nullptr);  // nothing to cut now
  EXPECT_EQ(record.mainRanges[0].indexCount, 15u);
}

}  // namespace
}  // namespace veskor::test
