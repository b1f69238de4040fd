#include "gfx/scene_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "gfx/face_directions.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using Box = std::vector<float>;
using Items = std::vector<const SceneGridItem*>;

// A grid of the test's own, 0..8 on every axis in cells of 1 unless sized otherwise: fine
// 8 x 8 x 8, middle 4 x 4 x 4, coarse 2 x 2 x 2.
struct OwnGrid : SceneGrid {
  OwnGrid() {
    SceneGridInit(*this);
    SpatialGridInit(*this, nullptr, 1, 1, 0, 0, 0, 8, 8, 8);
  }
  ~OwnGrid() { SceneGridRelease(*this); }
  OwnGrid(const OwnGrid&) = delete;
  OwnGrid& operator=(const OwnGrid&) = delete;
};

std::uint32_t Fine(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x + 8 * y + 64 * z; }

std::uint32_t Register(SceneGrid& grid, SceneGridItem& item, Box b) {
  const float box[6] = {b[0], b[3], b[1], b[4], b[2], b[5]};
  std::copy(box, box + 6, item.box);
  return SceneGridRegister(grid, &item, b[0], b[1], b[2], b[3], b[4], b[5]);
}

Box BoxOf(const float* box) { return Box(box, box + 6); }

Items CellRun(const ItemCell& cell) {
  Items items;
  const ItemNode* node = cell.first;
  for (std::uint32_t i = 0; i < cell.itemCount; ++i, node = ItemNodeNext(node))
    items.push_back(node->item);
  return items;
}

TEST(SceneGrid, LevelsFromTheBoxAndTheCellSize) {
  const struct {
    float extent[3];  // in cells
    std::vector<std::uint16_t> fine;
    std::uint16_t shift;
  } cases[] = {
      {{32, 32, 4}, {5, 5, 2}, 1},        {{16, 16, 16}, {4, 4, 4}, 1},
      {{8, 8, 8}, {3, 3, 3}, 1},          {{4, 4, 4}, {2, 2, 2}, 0},
      {{4, 4, 8}, {2, 2, 3}, 1},          {{1, 1, 1}, {0, 0, 0}, 0},
      {{0.5f, 1, 1}, {0, 0, 0}, 0},       {{32.0004f, 1, 1}, {5, 0, 0}, 0},
      {{32.001f, 1.5f, 1}, {6, 1, 0}, 0},
  };
  ViewPlane plane{};
  for (const auto& c : cases) {
    OwnGrid grid;
    SpatialGridInit(grid, &plane, 1024, 256, -512 * c.extent[0], 0, -128 * c.extent[2],
                    512 * c.extent[0], 1024 * c.extent[1], 128 * c.extent[2]);
    EXPECT_EQ(RenderViewPlane, &plane);
    EXPECT_EQ(grid.levelShift, c.shift) << c.extent[0];
    std::vector<std::uint16_t> middle = c.fine, coarse = c.fine;
    for (int a = 0; a < 3; ++a) middle[a] -= c.shift, coarse[a] -= 2 * c.shift;
    using Sizes = std::vector<std::uint16_t>;
    EXPECT_EQ(Sizes(grid.fine.log2Size, grid.fine.log2Size + 3), c.fine) << c.extent[0];
    EXPECT_EQ(Sizes(grid.middle.log2Size, grid.middle.log2Size + 3), middle) << c.extent[0];
    EXPECT_EQ(Sizes(grid.coarse.log2Size, grid.coarse.log2Size + 3), coarse) << c.extent[0];
    EXPECT_EQ(Sizes(grid.coarseLog2Size, grid.coarseLog2Size + 3), coarse) << c.extent[0];
  }
  RenderViewPlane = nullptr;
}

TEST(SceneGrid, EveryCellStartsEmptyWithItsOwnExtent) {
  OwnGrid grid;
  SpatialGridInit(grid, nullptr, 1024, 1024, -16384, -16384, -2048, 16384, 16384, 2048);
  EXPECT_EQ(BoxOf(grid.worldBox), (Box{-16384, -16384, -2048, 16384, 16384, 2048}));
  std::uint32_t empty = 0;
  for (std::uint32_t i = 0; i < 8 * 8 * 1; ++i) empty += grid.coarse.cells[i].empty;
  for (std::uint32_t i = 0; i < 16 * 16 * 2; ++i) empty += grid.middle.cells[i].empty;
  for (std::uint32_t i = 0; i < 32 * 32 * 4; ++i) empty += grid.fine.cells[i].empty;
  EXPECT_EQ(empty, 64u + 512 + 4096);
  EXPECT_EQ(BoxOf(SceneGridCell32(grid.coarse, 1, 7, 0)->box),
            (Box{-12288, 12288, -2048, -8192, 16384, 2048}));
  EXPECT_EQ(BoxOf(SceneGridCell32(grid.middle, 0, 1, 1)->box),
            (Box{-16384, -14336, 0, -14336, -12288, 2048}));
  EXPECT_EQ(BoxOf(SceneGridFineCellAt(grid.fine, 31, 31, 3)->box),
            (Box{15360, 15360, 1024, 16384, 16384, 2048}));
  EXPECT_EQ(grid.coarse.inverseCellSize[0], 1.0f / 4096);

  // Resizing to the same sizes keeps the cells; all but SceneGridResize3 empty them again.
  GridCell* cells = grid.middle.cells;
  cells[5].empty = grid.fine.cells[9].empty = grid.coarse.cells[3].empty = 0;
  SceneGridResize(grid.middle, 4, 4, 1);
  SceneGridResize2(grid.fine, 5, 5, 2);
  SceneGridResize3(grid.coarse, 3, 3, 0);
  EXPECT_EQ(grid.middle.cells, cells);
  EXPECT_EQ(cells[5].empty + grid.fine.cells[9].empty + grid.coarse.cells[3].empty, 2u);
  SceneGridResize(grid.middle, 2, 1, 1);  // other sizes: a block for 16 cells
  EXPECT_EQ(grid.middle.block.usedBytes, 16 * sizeof(GridCell));
}

TEST(SceneGrid, FaceDirectionTablesHoldUnitDirectionsThroughTheFace) {
  BuildFaceDirectionTables();
  const auto* texel0 = static_cast<const float*>(FaceDirectionTexels[0].data);
  EXPECT_NEAR(texel0[2], 1, 1e-3);
  EXPECT_EQ(texel0[0], 0);
  const float third = 1 / std::sqrt(3.0f);
  const float* corners0 = FaceDirectionCorners[0].data;  // 2 x 2 points
  for (int i : {0, 1}) EXPECT_NEAR(corners0[i], -third, 1e-3);
  EXPECT_NEAR(corners0[11], third, 1e-3);  // corner (1, 1)
  const TexturePixels& level3 = FaceDirectionTexels[3];
  EXPECT_EQ(level3.log2Width + level3.channels, 6);
  EXPECT_EQ(level3.halfTexelHeight, 0.0625f);
  EXPECT_EQ(FaceDirectionCorners[9].block.usedBytes, 513u * 513 * 12);
  const auto* t = static_cast<const float*>(level3.data);
  for (std::uint32_t j = 0; j < 8; ++j) {
    for (std::uint32_t i = 0; i < 8; ++i) {
      const float* d = t + (j * 8 + i) * 3;
      EXPECT_NEAR(d[0] * d[0] + d[1] * d[1] + d[2] * d[2], 1, 2e-3) << i << " " << j;
      EXPECT_NEAR(d[0] / d[2], -1 + (i + 0.5f) / 4, 1e-5) << i << " " << j;
      EXPECT_NEAR(d[1] / d[2], -1 + (j + 0.5f) / 4, 1e-5) << i << " " << j;
    }
  }
  const float* corner = FaceDirectionCorners[3].data + (8 * 9 + 2) * 3;  // corner (2, 8)
  EXPECT_NEAR(corner[0] / corner[2], -0.5f, 1e-5);
  EXPECT_NEAR(corner[1] / corner[2], 1.0f, 1e-5);
  const float first = t[4];
  BuildFaceDirectionTables();  // built already: nothing changes
  EXPECT_EQ(FaceDirectionTexels[3].data, t);
  EXPECT_EQ(t[4], first);
}

TEST(SceneGrid, ItemsGoIntoTheCellsOfTheirCentre) {
  OwnGrid grid;
  const struct {
    Box box;
    std::uint32_t fine[3];
  } cases[] = {
      {{0.2f, 0.2f, 0.2f, 0.4f, 0.4f, 0.4f}, {0, 0, 0}},
      {{7, 1, 1, 9, 2, 2}, {7, 1, 1}},        // centre on the far face: the last cell
      {{1.5f, 3, 5, 2.5f, 4, 6}, {2, 3, 5}},  // on a cell boundary: the upper cell
      {{-9, 3, 3, -1, 4, 4}, {0, 3, 3}},      // centres outside the world box: clamped
      {{99, -3, 20, 101, -1, 30}, {7, 0, 7}},
      {{NAN, 1, 1, 1, 2, 2}, {0, 1, 1}},
  };
  for (const auto& c : cases) {
    SceneGridItem item{};
    ASSERT_EQ(Register(grid, item, c.box), 1u);
    const std::uint32_t* f = c.fine;
    const std::vector<std::uint32_t> cells = {f[0] / 4 + 2 * (f[1] / 4) + 4 * (f[2] / 4),
                                              f[0] / 2 + 4 * (f[1] / 2) + 16 * (f[2] / 2),
                                              Fine(f[0], f[1], f[2])};
    EXPECT_EQ(std::vector<std::uint32_t>(item.cellIndex, item.cellIndex + 3), cells) << c.box[0];
    const auto& entry =
        VmArrayData<GridRegistration>(grid.registrations)[grid.registrations.count - 1];
    EXPECT_EQ((std::vector<std::uint32_t>{entry.coarse, entry.middle, entry.fine}), cells);
    EXPECT_EQ(grid.fine.cells[cells[2]].empty, 0u);
  }
  // An item much larger than its cell goes into the cell of its centre only, whose box grows
  // to the item's at every level.
  SceneGridItem large{};
  const Box box = {0.5f, 4.5f, 4.5f, 7.5f, 4.6f, 4.6f};
  Register(grid, large, box);
  EXPECT_EQ(large.cellIndex[2], Fine(4, 4, 4));
  EXPECT_EQ(BoxOf(grid.fine.cells[Fine(4, 4, 4)].box), box);
  EXPECT_EQ(BoxOf(grid.middle.cells[large.cellIndex[1]].box), box);
  EXPECT_EQ(BoxOf(grid.coarse.cells[large.cellIndex[0]].box), box);
}

TEST(SceneGrid, ACellRunsItsFirstItemThenTheOthersNewestFirst) {
  OwnGrid grid;
  SceneGridItem a{}, b{}, c{}, other{};
  Register(grid, a, {2.1f, 2.1f, 2.1f, 2.3f, 2.3f, 2.3f});
  Register(grid, other, {6.1f, 6.1f, 6.1f, 6.2f, 6.2f, 6.2f});
  Register(grid, b, {2.5f, 1.5f, 2.5f, 2.9f, 3.5f, 2.6f});
  const ItemCell& cell = grid.fine.cells[Fine(2, 2, 2)];
  EXPECT_EQ(CellRun(cell), (Items{&a, &b}));
  Register(grid, c, {2.4f, 2.4f, 2.0f, 2.5f, 2.5f, 2.9f});
  EXPECT_EQ(CellRun(cell), (Items{&a, &c, &b}));
  const Box all = {2.1f, 1.5f, 2.0f, 2.9f, 3.5f, 2.9f};
  EXPECT_EQ(BoxOf(cell.box), all);
  EXPECT_EQ(BoxOf(grid.middle.cells[c.cellIndex[1]].box), all);
  EXPECT_EQ(BoxOf(grid.coarse.cells[c.cellIndex[0]].box), all);
  // The whole list: the newest cell's run first, linked both ways.
  Items list;
  const BlockPoolNode* previous = nullptr;
  for (const BlockPoolNode* n = grid.nodePool.first; n != nullptr; previous = n, n = n->next) {
    EXPECT_EQ(n->previous, previous);
    list.push_back(reinterpret_cast<const ItemNode*>(n)->item);
  }
  EXPECT_EQ(list, (Items{&other, &a, &c, &b}));
  EXPECT_EQ(grid.nodePool.last, previous);
  EXPECT_EQ(grid.nodePool.count, 4u);

  c.box[1] = 3.75f;  // x max: a box that grows later widens the item's three cells
  c.box[4] = 1.25f;  // z min
  SceneGridExtendCells(grid, &c);
  const Box extended = {2.1f, 1.5f, 1.25f, 3.75f, 3.5f, 2.9f};
  EXPECT_EQ(BoxOf(cell.box), extended);
  EXPECT_EQ(BoxOf(grid.middle.cells[c.cellIndex[1]].box), extended);
  EXPECT_EQ(BoxOf(grid.coarse.cells[c.cellIndex[0]].box), extended);
}

TEST(SceneGrid, SessionResetEmptiesWhatTheLastSessionRegistered) {
  OwnGrid grid;
  SceneGridItem items[3]{};
  for (int session = 0; session < 3; ++session) {
    const float top = session == 0 ? 0.9f : 0.4f;
    Register(grid, items[0], {0.1f, 0.1f, 0.1f, 0.2f, 0.2f, 0.2f});
    Register(grid, items[1], {0.3f, 0.3f, 0.3f, top, top, top});
    Register(grid, items[2], {5.1f, 0.1f, 0.1f, 5.2f, 0.2f, 0.2f});
    // The first item after a reset replaces the box the cell had before.
    EXPECT_EQ(BoxOf(grid.fine.cells[0].box), (Box{0.1f, 0.1f, 0.1f, top, top, top}));
    EXPECT_EQ(BoxOf(grid.coarse.cells[0].box), (Box{0.1f, 0.1f, 0.1f, top, top, top}));
    EXPECT_EQ(grid.nodePool.count + grid.registrations.count, 6u) << session;
    grid.visitCounter = 40;
    SceneGridSessionReset(grid);
    EXPECT_EQ(grid.visitCounter, 1u);
    EXPECT_EQ(grid.registrations.count + grid.nodePool.count, 0u);
    EXPECT_EQ(grid.nodePool.first, nullptr);
    for (const SceneGridItem& item : items) {
      EXPECT_EQ(grid.coarse.cells[item.cellIndex[0]].empty +
                    grid.middle.cells[item.cellIndex[1]].empty +
                    grid.fine.cells[item.cellIndex[2]].empty,
                3u);
    }
  }
}

TEST(SceneGrid, RegistrationsPastTheCapacityAreRefusedForTheSession) {
  SceneGrid unsized;
  SceneGridInit(unsized);
  SceneGridItem item{};
  EXPECT_EQ(Register(unsized, item, {0, 0, 0, 1, 1, 1}), 0u);
  OwnGrid grid;
  EXPECT_EQ(kSceneGridEntryCapacity, 10922u);
  std::vector<SceneGridItem> items(kSceneGridEntryCapacity);
  for (SceneGridItem& i : items) ASSERT_EQ(Register(grid, i, {1, 1, 1, 2, 2, 2}), 1u);
  item.cellIndex[2] = 77;
  EXPECT_EQ(Register(grid, item, {5, 5, 5, 6, 6, 6}), 0u);
  EXPECT_EQ(item.cellIndex[2], 77u);
  EXPECT_EQ(grid.registrations.count, kSceneGridEntryCapacity);
  EXPECT_EQ(grid.fine.cells[Fine(5, 5, 5)].empty, 1u);
  SceneGridSessionReset(grid);
  EXPECT_EQ(Register(grid, item, {5, 5, 5, 6, 6, 6}), 1u);
  // The next session takes the nodes given back: a full session again fits the node pool.
  for (std::uint32_t k = 1; k < kSceneGridEntryCapacity; ++k)
    ASSERT_EQ(Register(grid, items[k], {1, 1, 1, 2, 2, 2}), 1u);
  EXPECT_EQ(grid.nodePool.count, kSceneGridEntryCapacity);
}

TEST(SceneGridDeath, ALevelLargerThanTheLargestBlockIsFatal) {
  GridLevel level{};
  EXPECT_FATAL(SceneGridResize(level, 10, 10, 6),  // 32 bytes x 2^26 cells: 2 GB
               "Virtual Memory Error : Required Memory > Reserved Memory");
}

}  // namespace
}  // namespace veskor
