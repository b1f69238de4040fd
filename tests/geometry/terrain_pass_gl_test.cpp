// The terrain pass end to end: height fields cut into blocks and tiles, each tile an item in
// the batch buffer and the scene grid, the region grid and its borders, the tiles' skin levels,
// and the water plane's portal.
#include "geometry/terrain_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>
#include <vector>

#include "generation_test_support.h"
#include "geometry/path_set.h"
#include "geometry/skin_slot.h"
#include "language/fx_keywords.h"
#include "language/height_field.h"
#include "language/parse_store.h"

namespace veskor::test {
namespace {

std::vector<float> gFractions;
std::uint32_t gCalls = 0, gStopAt = 0;
std::int32_t Record(const char*, float stage, float) {
  gFractions.push_back(stage);
  return ++gCalls == gStopAt ? 0 : 1;
}

// The id the pass gives the tile of cell (x, y) of a field of 2^8 samples at levels 2 and 2:
// blocks of 16 x 16 cells row by row, their quarters in the order (0, 0), right, above,
// above-right, and within a quarter the same order at every halving (bits interleaved).
std::uint32_t TileOf(std::uint32_t x, std::uint32_t y) {
  const std::uint32_t block = (y / 16) * 4 + x / 16;
  const std::uint32_t quarter = ((y % 16) / 8) * 2 + (x % 16) / 8;
  std::uint32_t m = 0;
  for (std::uint32_t bit = 0; bit < 3; ++bit)
    m |= (((x % 8) >> bit) & 1) << (2 * bit) | (((y % 8) >> bit) & 1) << (2 * bit + 1);
  return block * 256 + quarter * 64 + m;
}

class TerrainPass : public GenerationGlTest {
 protected:
  void SetUp() override {
    GenerationGlTest::SetUp();
    VertexGridInit(map_.grid);
    gFractions.clear();
    gCalls = gStopAt = 0;
    gBuildProgress.callback = Record;
  }
  void TearDown() override {
    VertexGridRelease(map_.grid);
    for (std::uint32_t i = 0; i < gItemCount; ++i) PathSetFree(gItemPathSets.sets[i]);
    TransformNode identity;
    TransformNodeInit(identity);
    SetTransformGlobals(identity);
    GenerationGlTest::TearDown();
  }
  // A field of 2^level samples a side over x and y -256..256, heights 0 to 100 of gentle hills.
  void Field(std::uint32_t level) {
    HeightFieldSetup(map_, level, -256, 0, -256, 256, 100, 256);
    const std::uint32_t side = (1u << level) + 1;
    for (std::uint32_t k = 0; k < side * side; ++k) {
      const float s = float(k % side) / float(side - 1), t = float(k / side) / float(side - 1);
      map_.grid.data[k] = 0.5f + 0.4f * std::sin(6 * s) * std::cos(5 * t);
    }
  }
  // The item transform the scene build gives a height field: a quarter turn about x, so the
  // negated heights of the curve sets stand up as z, then the translation.
  TransformNode Upright(float tx, float ty, float tz) const {
    TransformNode node;
    TransformNodeInit(node);
    node.identity = 0;
    node.dirty = 1;
    node.axis[0] = 1, node.axis[1] = 0, node.axis[2] = 0;
    node.angle = -90;
    node.translation[0] = tx, node.translation[1] = ty, node.translation[2] = tz;
    return node;
  }
  HeightFieldRecord map_{};
  std::uint32_t counter_ = 0;
};

TEST_F(TerrainPass, AFieldOf2To8IsCutInto16BlocksOfQuartersOverA64By64Grid) {
  Field(8);
  ASSERT_EQ(GenerateGeometryPass(map_, 2, 2, Upright(0, 0, 0), gWorld, counter_, 0xFFFF), 1u);
  ASSERT_FALSE(SceneBuildFailed()) << gSceneBuildError.message;
  EXPECT_EQ(counter_, 4096u);
  EXPECT_EQ(gItemCount, 4096u);
  EXPECT_EQ(gWorld.sceneInstanceCount, 4096u);
  const RegionGrid& grid = TerrainRegionGrid();
  ASSERT_EQ(grid.log2Width, 6u);
  ASSERT_EQ(grid.log2Height, 6u);
  std::uint32_t wrong = 0;
  for (std::uint32_t y = 0; y < 64; ++y)
    for (std::uint32_t x = 0; x < 64; ++x) wrong += grid.cells[y * 64 + x].region != TileOf(x, y);
  EXPECT_EQ(wrong, 0u);
  // One report before the blocks, then items 0, 16, ..., 240 of each block's 256; each item
  // adds 1 / 4095.
  EXPECT_EQ(gFractions.size(), 1u + 16 * 16);
  EXPECT_NEAR(gFractions.back(), (15 * 256 + 240 + 1) / 4095.0f, 1e-5f);
  EXPECT_EQ(gBuildProgress.step, 0.0f);
  EXPECT_EQ(gBuildProgress.start, gBuildProgress.end);
}

TEST_F(TerrainPass, AFieldWithAWaterPlaneBecomesItemsBordersAndAPortal) {
  Field(7);
  const float rect[5] = {-300, -300, 45, -200, 300};  // along the left side
  AddPortal(rect, 0.5f, 0.2f, 0.4f, 0.1f, 0.2f, 0.3f);
  gItemCount = 3;  // items of an earlier pass
  gBatchItemCount = 3;
  ASSERT_EQ(GenerateGeometryPass(map_, 2, 2, Upright(10, 20, 30), gWorld, counter_, 0xFFFF), 1u);
  ASSERT_FALSE(SceneBuildFailed()) << gSceneBuildError.message;
  ASSERT_EQ(gItemCount, 3 + 1024u);

  // Each item in the batch after the one before (and its clip room), in the grid, in the scene
  // box, standing between the field's heights and beside the water where it reaches it.
  std::uint32_t nearWater = 0;
  const GeometryBatchBuffer& b = gGeometryBatchBuffer;
  std::uint32_t nextFloat = 0;
  float box[6] = {1e9f, -1e9f, 1e9f, -1e9f, 1e9f, -1e9f};
  for (std::uint32_t i = 3; i < gItemCount; ++i) {
    const ItemDrawRecord& d = gBatchItemRecords[gItemBatchIndex[i]];
    const SceneInstance& r = *gItemTargets[i];
    ASSERT_EQ(r.batchItemCount, 1u);
    EXPECT_EQ(d.mainRanges[0].firstFloat, nextFloat);
    EXPECT_GT(d.mainRanges[0].indexCount, 0u);
    nextFloat += d.mainRanges[0].floatCount + 5 * d.clipRoomVertices;
    nearWater += d.mainRanges[0].waterBox == 0;
    EXPECT_EQ(d.clipRoomVertices > 0, d.mainRanges[0].waterBox == 0);
    EXPECT_GE(r.grid.box[4], 30 - 1e-3f);
    EXPECT_LE(r.grid.box[5], 130 + 1e-3f);
    EXPECT_GE(r.grid.box[0], -256 + 10 - 5);
    EXPECT_LE(r.grid.box[1], 256 + 10 + 5);
    EXPECT_EQ(r.vertexFormat, 25u);
    EXPECT_EQ(gSkinSlots[i].levelW + 10 * gSkinSlots[i].levelH, 22);
    for (int k = 0; k < 6; ++k)
      box[k] = (k & 1) ? std::max(box[k], r.grid.box[k]) : std::min(box[k], r.grid.box[k]);
  }
  EXPECT_EQ(nextFloat, b.floatCount);
  EXPECT_GT(nearWater, 0u);
  EXPECT_LT(nearWater, 1024u);
  EXPECT_EQ(gSceneGrid.registrations.count, 1024u);
  for (int a = 0; a < 3; ++a) {
    EXPECT_EQ(gSceneBox.min[a], box[2 * a]);
    EXPECT_EQ(gSceneBox.max[a], box[2 * a + 1]);
  }

  // Tiles of one cell over a 32 x 32 grid: left and up neighbours (31 x 32 each), up-left and
  // up-right (31 x 31 each), numbered after the earlier items.
  ASSERT_EQ(gRegionBorders.size(), 2u * 31 * 32 + 2u * 31 * 31);
  std::uint32_t lowest = ~0u, highest = 0;
  for (std::uint32_t k = 0; k < gRegionBorders.size(); ++k) {
    lowest = std::min(lowest, gRegionBorders[k].neighbourRegion);
    highest = std::max(highest, gRegionBorders[k].region);
  }
  EXPECT_EQ(lowest, 3u);
  EXPECT_EQ(highest, 3 + 1023u);

  EXPECT_EQ(gPortalCount, 1u);
  EXPECT_EQ(TextureLog2Width(gPortals[0].reflection), 10u);
  EXPECT_EQ(b.waterBoxCount, 1);
}

// Finest tiles of 2^2 x 2^1 samples: a tile stops splitting once its columns are the finest,
// so each tile is one cell wide and two high (levels 0 and 1, rows 0 and 1 within it). The
// items take both levels, the fx index and the format of a definition that assigns emissive.
TEST_F(TerrainPass, UnequalLevelsGiveTilesOfTwoCellsWithTheirPlacesLevelsAndFx) {
  Field(6);
  ParseStore& store = gParseStore;
  ParseStoreReset(store);
  const std::uint32_t slots = std::size(kFxOutputNames);
  ParseStoreSetParam(store, slots);
  // Definition 0 assigns nothing, definition 1 only emissive.
  auto* records = static_cast<FxRecord*>(VmArrayAppend(store.fxRecords, 2, sizeof(FxRecord)));
  records[0] = records[1] = FxRecord{};
  records[1].firstOutputRecord = slots;
  auto* outputs = static_cast<FxOutputRecord*>(
      VmArrayAppend(store.outputRecords, 2 * slots, sizeof(FxOutputRecord)));
  for (std::uint32_t k = 0; k < 2 * slots; ++k) {
    outputs[k] = FxOutputRecord{};
    outputs[k].written = k >= slots && std::string_view(kFxOutputNames[k - slots]) == "emissive";
  }
  const std::uint32_t done =
      GenerateGeometryPass(map_, 2, 1, Upright(0, 0, 0), gWorld, counter_, 1);
  ParseStoreReset(store);
  ASSERT_EQ(done, 1u);
  ASSERT_EQ(gItemCount, 256u);  // 16 blocks of 4 quarters of 4 tiles
  for (std::uint32_t i = 0; i < gItemCount; ++i) {
    EXPECT_EQ(gSkinSlots[i].levelW * 10 + gSkinSlots[i].levelH, 21) << i;
    EXPECT_EQ(gItemTargets[i]->fxIndex, 1u) << i;
    EXPECT_EQ(gItemTargets[i]->vertexFormat, 27u) << i;
  }
  // Cells of 4 x 2 samples: 16 columns, 32 rows. Blocks of 4 x 8 cells row by row, quarters of
  // 2 x 4 in the order (0, 0), right, above, above-right, tiles of 1 x 2 likewise.
  const RegionGrid& grid = TerrainRegionGrid();
  ASSERT_EQ(grid.log2Width * 10 + grid.log2Height, 45u);
  std::uint32_t wrong = 0;
  for (std::uint32_t y = 0; y < 32; ++y)
    for (std::uint32_t x = 0; x < 16; ++x) {
      const std::uint32_t id = ((y / 8) * 4 + x / 4) * 16 + (((y % 8) / 4) * 2 + (x % 4) / 2) * 4 +
                               ((y % 4) / 2) * 2 + x % 2;
      const RegionCell& c = grid.cells[y * 16 + x];
      wrong += c.region != id || c.levelX != 0 || c.levelY != 1 || c.x != 0 || c.y != y % 2;
    }
  EXPECT_EQ(wrong, 0u);
  // Left 15 x 32, up only across tiles 16 x 15, up-left and up-right 15 x 31 each.
  EXPECT_EQ(gRegionBorders.size(), 480u + 240 + 2 * 465);
}

TEST_F(TerrainPass, AStopKeepsTheBlocksMadeSoFar) {
  Field(6);
  gStopAt = 3;  // the report after item 0 of the second block
  EXPECT_EQ(GenerateGeometryPass(map_, 2, 2, Upright(0, 0, 0), gWorld, counter_, 0xFFFF), 0u);
  EXPECT_EQ(gCalls, 3u);
  EXPECT_EQ(counter_, 2 * 16u);  // 2^(6-2-2) tiles a side per block
  EXPECT_EQ(gItemCount, 16u + 1);
  EXPECT_TRUE(gRegionBorders.size() == 0);
  EXPECT_FALSE(SceneBuildFailed());
}

// Finest sizes above a block's: each block is one tile, so the grid still has 4 x 4 cells and
// the step between its 16 tiles is 1 / 15; together the tiles cover the whole field, each its
// own cell of 128 x 128 units.
TEST_F(TerrainPass, LevelsAboveTheBlockSizeMakeOneTileABlock) {
  Field(2);
  ASSERT_EQ(GenerateGeometryPass(map_, 5, 5, Upright(0, 0, 0), gWorld, counter_, 0xFFFF), 1u);
  EXPECT_EQ(counter_, 16u);
  float lo[2] = {1e9f, 1e9f}, hi[2] = {-1e9f, -1e9f};
  for (std::uint32_t i = 0; i < gItemCount; ++i) {
    const float* box = gItemTargets[i]->grid.box;  // x0, x1, y0, y1, z0, z1
    for (int a = 0; a < 2; ++a) {
      EXPECT_NEAR(box[2 * a + 1] - box[2 * a], 128.0f, 0.1f) << i << " axis " << a;
      lo[a] = std::min(lo[a], box[2 * a]), hi[a] = std::max(hi[a], box[2 * a + 1]);
    }
  }
  for (int a = 0; a < 2; ++a) {
    EXPECT_NEAR(lo[a], -256.0f, 0.1f) << a;
    EXPECT_NEAR(hi[a], 256.0f, 0.1f) << a;
  }
  EXPECT_EQ(TerrainRegionGrid().log2Width, 2u);
  ASSERT_EQ(gFractions.size(), 17u);
  EXPECT_NEAR(gFractions[16], 16 / 15.0f, 1e-5f);
  EXPECT_EQ(gSkinSlots[0].levelW, 0);
  const RegionCell* cells = TerrainRegionGrid().cells;  // kept while the size stays
  ASSERT_EQ(GenerateGeometryPass(map_, 5, 5, Upright(0, 0, 0), gWorld, counter_, 0xFFFF), 1u);
  EXPECT_EQ(TerrainRegionGrid().cells, cells);
}

TEST_F(TerrainPass, AFieldWithoutHeightsOrTooSmallFailsTheBuild) {
  EXPECT_EQ(GenerateGeometryPass(map_, 2, 2, Upright(0, 0, 0), gWorld, counter_, 0xFFFF), 0u);
  EXPECT_STREQ(gSceneBuildError.message, kHeightFieldTooSmallMessage);
  SceneBuildErrorReset();
  Field(1);
  EXPECT_EQ(GenerateGeometryPass(map_, 0, 0, Upright(0, 0, 0), gWorld, counter_, 0xFFFF), 0u);
  EXPECT_TRUE(SceneBuildFailed());
  EXPECT_EQ(counter_, 0u);
}

}  // namespace
}  // namespace veskor::test
