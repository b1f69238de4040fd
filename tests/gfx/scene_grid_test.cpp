#include "gfx/scene_grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gfx/face_directions.h"

namespace veskor {
namespace {

// A grid of the test's own, released at the end of the test.
struct OwnGrid {
  SceneGrid grid;
  OwnGrid() { SceneGridInit(grid); }
  ~OwnGrid() { SceneGridRelease(grid); }
  OwnGrid(const OwnGrid&) = delete;
  OwnGrid& operator=(const OwnGrid&) = delete;
};

// 0..8 on every axis, cells of 1: fine 8 x 8 x 8, middle 4 x 4 x 4, coarse 2 x 2 x 2.
void SizeEight(SceneGrid& grid) { SpatialGridInit(grid, nullptr, 1, 1, 0, 0, 0, 8, 8, 8); }

std::uint32_t Fine(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x + 8 * y + 64 * z; }
std::uint32_t Middle(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  return x + 4 * y + 16 * z;
}
std::uint32_t Coarse(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  return x + 2 * y + 4 * z;
}

std::uint32_t Register(SceneGrid& grid, SceneGridItem& item, float x0, float y0, float z0,
                       float x1, float y1, float z1) {
  const float box[6] = {x0, x1, y0, y1, z0, z1};
  std::copy(box, box + 6, item.box);
  return SceneGridRegister(grid, &item, x0, y0, z0, x1, y1, z1);
}

void ExpectBox(const float* box, std::vector<float> want, const char* what) {
  EXPECT_EQ(std::vector<float>(box, box + 6), want) << what;
}

std::vector<const SceneGridItem*> CellRun(const ItemCell& cell) {
  std::vector<const SceneGridItem*> items;
  const ItemNode* node = cell.first;
  for (std::uint32_t i = 0; i < cell.itemCount; ++i, node = node->next) items.push_back(node->item);
  return items;
}

TEST(SceneGrid, LevelsFromTheBoxAndTheCellSize) {
  const struct {
    float extent[3];  // in cells
    std::uint16_t fine[3];
    std::uint16_t shift;
  } cases[] = {
      {{32, 32, 4}, {5, 5, 2}, 1},   {{16, 16, 16}, {4, 4, 4}, 1}, {{8, 8, 8}, {3, 3, 3}, 1},
      {{4, 4, 4}, {2, 2, 2}, 0},     {{4, 4, 8}, {2, 2, 3}, 1},    {{1, 1, 1}, {0, 0, 0}, 0},
      {{0.5f, 1, 1}, {0, 0, 0}, 0},  {{32.0004f, 1, 1}, {5, 0, 0}, 0},
      {{32.001f, 1.5f, 1}, {6, 1, 0}, 0},
  };
  ViewPlane plane{};
  for (const auto& c : cases) {
    OwnGrid own;
    SceneGrid& grid = own.grid;
    SpatialGridInit(grid, &plane, 1024, 256, -512 * c.extent[0], 0, -128 * c.extent[2],
                    512 * c.extent[0], 1024 * c.extent[1], 128 * c.extent[2]);
    EXPECT_EQ(RenderViewPlane, &plane);
    EXPECT_EQ(grid.levelShift, c.shift) << c.extent[0];
    for (int a = 0; a < 3; ++a) {
      const std::uint16_t k = c.shift;
      EXPECT_EQ(grid.fine.log2Size[a], c.fine[a]) << c.extent[0] << " axis " << a;
      EXPECT_EQ(grid.middle.log2Size[a], c.fine[a] - k) << c.extent[0] << " axis " << a;
      EXPECT_EQ(grid.coarse.log2Size[a], c.fine[a] - 2 * k) << c.extent[0] << " axis " << a;
      EXPECT_EQ(grid.coarseLog2Size[a], c.fine[a] - 2 * k) << c.extent[0] << " axis " << a;
    }
  }
  RenderViewPlane = nullptr;
}

TEST(SceneGrid, EveryCellStartsEmptyWithItsOwnExtent) {
  OwnGrid own;
  SceneGrid& grid = own.grid;
  SpatialGridInit(grid, nullptr, 1024, 1024, -16384, -16384, -2048, 16384, 16384, 2048);
  ExpectBox(grid.worldBox, {-16384, -16384, -2048, 16384, 16384, 2048}, "world box");
  std::uint32_t empty = 0;
  for (std::uint32_t i = 0; i < 8 * 8 * 1; ++i) empty += grid.coarse.cells[i].empty;
  for (std::uint32_t i = 0; i < 16 * 16 * 2; ++i) empty += grid.middle.cells[i].empty;
  for (std::uint32_t i = 0; i < 32 * 32 * 4; ++i) empty += grid.fine.cells[i].empty;
  EXPECT_EQ(empty, 64u + 512 + 4096);
  ExpectBox(SceneGridCell32(grid.coarse, 1, 7, 0)->box, {-12288, 12288, -2048, -8192, 16384, 2048},
            "coarse (1, 7, 0)");
  ExpectBox(SceneGridCell32(grid.middle, 0, 1, 1)->box, {-16384, -14336, 0, -14336, -12288, 2048},
            "middle (0, 1, 1)");
  ExpectBox(SceneGridFineCellAt(grid.fine, 31, 31, 3)->box, {15360, 15360, 1024, 16384, 16384, 2048},
            "last fine cell");
  EXPECT_EQ(grid.fine.cellSize[2], 1024);
  EXPECT_EQ(grid.coarse.inverseCellSize[0], 1.0f / 4096);

  // Resizing to the same sizes keeps the cells and empties them again.
  GridCell* cells = grid.middle.cells;
  cells[5].empty = 0;
  SceneGridResize(grid.middle, 4, 4, 1);
  EXPECT_EQ(grid.middle.cells, cells);
  EXPECT_EQ(cells[5].empty, 1u);
  ItemCell* fine = grid.fine.cells;
  fine[9].empty = 0;
  SceneGridResize2(grid.fine, 5, 5, 2);
  EXPECT_EQ(grid.fine.cells, fine);
  EXPECT_EQ(fine[9].empty, 1u);
  grid.coarse.cells[3].empty = 0;
  SceneGridResize3(grid.coarse, 3, 3, 0);
  EXPECT_EQ(grid.coarse.cells[3].empty, 0u);
  SceneGridResize(grid.middle, 2, 1, 1);  // other sizes: a block for 16 cells
  EXPECT_EQ(grid.middle.block.usedBytes, 16 * sizeof(GridCell));
}

TEST(SceneGrid, FaceDirectionTablesHoldUnitDirectionsThroughTheFace) {
  BuildFaceDirectionTables();
  const auto* texel0 = static_cast<const float*>(FaceDirectionTexels[0].data);
  EXPECT_NEAR(texel0[2], 1, 1e-3);
  EXPECT_EQ(texel0[0], 0);
  const float third = 1 / std::sqrt(3.0f);
  EXPECT_NEAR(FaceDirectionCorners[0].data[0], -third, 1e-3);
  EXPECT_NEAR(FaceDirectionCorners[0].data[1], -third, 1e-3);
  EXPECT_NEAR(FaceDirectionCorners[0].data[11], third, 1e-3);  // corner (1, 1)

  const TexturePixels& level3 = FaceDirectionTexels[3];
  EXPECT_EQ(level3.log2Width, 3);
  EXPECT_EQ(level3.channels, 3);
  EXPECT_EQ(level3.halfTexelHeight, 0.0625f);
  EXPECT_EQ(FaceDirectionCorners[9].log2Height, 9);
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
  const float* corner = FaceDirectionCorners[3].data + (9 * 8 + 2) * 3;  // corner (2, 8)
  EXPECT_NEAR(corner[0] / corner[2], -0.5f, 1e-5);
  EXPECT_NEAR(corner[1] / corner[2], 1.0f, 1e-5);

  const float first = t[4];
  BuildFaceDirectionTables();  // built already: nothing changes
  EXPECT_EQ(FaceDirectionTexels[3].data, t);
  EXPECT_EQ(t[4], first);
}

TEST(SceneGrid, ItemsGoIntoTheCellsOfTheirCentre) {
  OwnGrid own;
  SceneGrid& grid = own.grid;
  SizeEight(grid);
  const struct {
    float box[6];
    std::uint32_t fine[3];
  } cases[] = {
      {{0.2f, 0.2f, 0.2f, 0.4f, 0.4f, 0.4f}, {0, 0, 0}},
      {{7, 1, 1, 9, 2, 2}, {7, 1, 1}},          // centre on the far face: the last cell
      {{1.5f, 3, 5, 2.5f, 4, 6}, {2, 3, 5}},    // on a cell boundary: the upper cell
      {{-9, 3, 3, -1, 4, 4}, {0, 3, 3}},        // centres outside the world box: clamped
      {{99, -3, 20, 101, -1, 30}, {7, 0, 7}},
      {{NAN, 1, 1, 1, 2, 2}, {0, 1, 1}},
  };
  for (const auto& c : cases) {
    SceneGridItem item{};
    const float* b = c.box;
    ASSERT_EQ(Register(grid, item, b[0], b[1], b[2], b[3], b[4], b[5]), 1u);
    const std::uint32_t* f = c.fine;
    EXPECT_EQ(item.cellIndex[2], Fine(f[0], f[1], f[2])) << b[0];
    EXPECT_EQ(item.cellIndex[1], Middle(f[0] / 2, f[1] / 2, f[2] / 2)) << b[0];
    EXPECT_EQ(item.cellIndex[0], Coarse(f[0] / 4, f[1] / 4, f[2] / 4)) << b[0];
    const auto* entry = VmArrayData<GridRegistration>(grid.registrations) +
                        grid.registrations.count - 1;
    EXPECT_EQ(entry->fine, item.cellIndex[2]);
    EXPECT_EQ(entry->coarse, item.cellIndex[0]);
    EXPECT_EQ(grid.fine.cells[item.cellIndex[2]].empty, 0u);
  }
  EXPECT_EQ(grid.registrations.count, 6u);

  // An item much larger than its cell: only the cell of its centre, whose box grows to the
  // item's at every level.
  SceneGridItem large{};
  Register(grid, large, 0.5f, 4.5f, 4.5f, 7.5f, 4.6f, 4.6f);
  EXPECT_EQ(large.cellIndex[2], Fine(4, 4, 4));
  ExpectBox(grid.fine.cells[Fine(4, 4, 4)].box, {0.5f, 4.5f, 4.5f, 7.5f, 4.6f, 4.6f}, "fine");
  ExpectBox(grid.middle.cells[Middle(2, 2, 2)].box, {0.5f, 4.5f, 4.5f, 7.5f, 4.6f, 4.6f}, "middle");
  ExpectBox(grid.coarse.cells[Coarse(1, 1, 1)].box, {0.5f, 4.5f, 4.5f, 7.5f, 4.6f, 4.6f}, "coarse");
}

TEST(SceneGrid, ACellRunsItsFirstItemThenTheOthersNewestFirst) {
  OwnGrid own;
  SceneGrid& grid = own.grid;
  SizeEight(grid);
  SceneGridItem a{}, b{}, c{}, other{};
  Register(grid, a, 2.1f, 2.1f, 2.1f, 2.3f, 2.3f, 2.3f);
  Register(grid, other, 6.1f, 6.1f, 6.1f, 6.2f, 6.2f, 6.2f);
  Register(grid, b, 2.5f, 1.5f, 2.5f, 2.9f, 3.5f, 2.6f);
  const ItemCell& cell = grid.fine.cells[Fine(2, 2, 2)];
  EXPECT_EQ(CellRun(cell), (std::vector<const SceneGridItem*>{&a, &b}));
  Register(grid, c, 2.4f, 2.4f, 2.0f, 2.5f, 2.5f, 2.9f);
  EXPECT_EQ(CellRun(cell), (std::vector<const SceneGridItem*>{&a, &c, &b}));
  ExpectBox(cell.box, {2.1f, 1.5f, 2.0f, 2.9f, 3.5f, 2.9f}, "union");
  ExpectBox(grid.middle.cells[Middle(1, 1, 1)].box, {2.1f, 1.5f, 2.0f, 2.9f, 3.5f, 2.9f}, "middle");
  ExpectBox(grid.coarse.cells[0].box, {2.1f, 1.5f, 2.0f, 2.9f, 3.5f, 2.9f}, "coarse");

  // The whole list: the newest cell's run first, linked both ways.
  std::vector<const SceneGridItem*> list;
  const ItemNode* previous = nullptr;
  for (const ItemNode* node = grid.listHead; node != nullptr; node = node->next) {
    EXPECT_EQ(node->previous, previous);
    list.push_back(node->item);
    previous = node;
  }
  EXPECT_EQ(list, (std::vector<const SceneGridItem*>{&other, &a, &c, &b}));
  EXPECT_EQ(grid.listTail, previous);
  EXPECT_EQ(grid.nodeCount, 4u);

  // A box that grows later widens the item's three cells.
  c.box[1] = 3.75f;  // x max
  c.box[4] = 1.25f;  // z min
  SceneGridExtendCells(grid, &c);
  ExpectBox(cell.box, {2.1f, 1.5f, 1.25f, 3.75f, 3.5f, 2.9f}, "extended fine");
  ExpectBox(grid.middle.cells[Middle(1, 1, 1)].box, {2.1f, 1.5f, 1.25f, 3.75f, 3.5f, 2.9f},
            "extended middle");
  ExpectBox(grid.coarse.cells[0].box, {2.1f, 1.5f, 1.25f, 3.75f, 3.5f, 2.9f}, "extended coarse");
}

TEST(SceneGrid, SessionResetEmptiesWhatTheLastSessionRegistered) {
  OwnGrid own;
  SceneGrid& grid = own.grid;
  SizeEight(grid);
  SceneGridItem items[3]{};
  for (int session = 0; session < 3; ++session) {
    Register(grid, items[0], 0.1f, 0.1f, 0.1f, 0.2f, 0.2f, 0.2f);
    const float top = session == 0 ? 0.9f : 0.4f;
    Register(grid, items[1], 0.3f, 0.3f, 0.3f, top, top, top);
    Register(grid, items[2], 5.1f, 0.1f, 0.1f, 5.2f, 0.2f, 0.2f);
    // The first item after a reset replaces the box the cell had before.
    ExpectBox(grid.fine.cells[0].box, {0.1f, 0.1f, 0.1f, top, top, top}, "fresh union");
    ExpectBox(grid.coarse.cells[0].box, {0.1f, 0.1f, 0.1f, top, top, top}, "fresh coarse");
    EXPECT_EQ(grid.nodeCount, 3u) << session;
    EXPECT_EQ(grid.registrations.count, 3u) << session;
    grid.visitCounter = 40;
    SceneGridSessionReset(grid);
    EXPECT_EQ(grid.visitCounter, 1u);
    EXPECT_EQ(grid.registrations.count, 0u);
    EXPECT_EQ(grid.listHead, nullptr);
    EXPECT_EQ(grid.nodeCount, 0u);
    for (std::uint32_t i : {items[0].cellIndex[2], items[2].cellIndex[2]}) {
      EXPECT_EQ(grid.fine.cells[i].empty, 1u);
    }
    for (std::uint32_t i : {items[0].cellIndex[1], items[2].cellIndex[1]}) {
      EXPECT_EQ(grid.middle.cells[i].empty, 1u);
    }
    for (std::uint32_t i : {items[0].cellIndex[0], items[2].cellIndex[0]}) {
      EXPECT_EQ(grid.coarse.cells[i].empty, 1u);
    }
  }
}

TEST(SceneGrid, RegistrationsPastTheCapacityAreRefusedForTheSession) {
  OwnGrid own;
  SceneGrid& grid = own.grid;
  SceneGridItem item{};
  EXPECT_EQ(Register(grid, item, 0, 0, 0, 1, 1, 1), 0u);  // not sized yet
  SizeEight(grid);
  EXPECT_EQ(kSceneGridEntryCapacity, 10922u);
  std::vector<SceneGridItem> items(kSceneGridEntryCapacity + 1);
  for (std::uint32_t i = 0; i < kSceneGridEntryCapacity; ++i) {
    ASSERT_EQ(Register(grid, items[i], 1, 1, 1, 2, 2, 2), 1u) << i;
  }
  SceneGridItem& last = items.back();
  last.cellIndex[2] = 77;
  EXPECT_EQ(Register(grid, last, 5, 5, 5, 6, 6, 6), 0u);
  EXPECT_EQ(last.cellIndex[2], 77u);
  EXPECT_EQ(grid.registrations.count, kSceneGridEntryCapacity);
  EXPECT_EQ(grid.fine.cells[Fine(5, 5, 5)].empty, 1u);
  SceneGridSessionReset(grid);
  EXPECT_EQ(Register(grid, last, 5, 5, 5, 6, 6, 6), 1u);
}

}  // namespace
}  // namespace veskor
