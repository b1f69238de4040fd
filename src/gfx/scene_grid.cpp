#include "gfx/scene_grid.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "foundation/fatal_error.h"
#include "gfx/face_directions.h"
#include "mapengine/kernel_table.h"
#include "foundation/static_order.h"

namespace veskor {

VESKOR_STATIC_STEP(kStaticStepSceneGrid) SceneGrid gSceneGrid;

namespace {

// The largest level a block holds: 2^30 bytes, the size of the largest block the memory
// manager carves.
constexpr std::uint64_t kLevelBytesLimit = std::uint64_t{1} << 30;
constexpr float kBitTolerance = 0.0005f;

template <class Cell>
void InitLevel(SceneGridLevel<Cell>& level) {
  level.block = MemBlock{};
  level.cells = nullptr;
  for (int a = 0; a < 3; ++a) {
    level.log2Size[a] = 0;
    level.origin[a] = -1;
    level.farCorner[a] = 1;
    level.cellSize[a] = level.inverseCellSize[a] = 0;
  }
}

template <class Cell>
std::uint32_t CellCount(const SceneGridLevel<Cell>& level) {
  return std::uint32_t{1} << (level.log2Size[0] + level.log2Size[1] + level.log2Size[2]);
}

template <class Cell>
void ResizeLevel(SceneGridLevel<Cell>& level, std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  const std::uint64_t bits = std::uint64_t{x} + y + z;
  if (bits > 30 || (std::uint64_t{sizeof(Cell)} << bits) > kLevelBytesLimit) {
    FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  }
  if (level.cells != nullptr) {
    if (level.log2Size[0] == x && level.log2Size[1] == y && level.log2Size[2] == z) return;
    MemBlockRelease(level.block);
    level.block = MemBlock{};
  }
  level.log2Size[0] = static_cast<std::uint16_t>(x);
  level.log2Size[1] = static_cast<std::uint16_t>(y);
  level.log2Size[2] = static_cast<std::uint16_t>(z);
  const auto bytes = static_cast<std::uint32_t>(std::uint64_t{sizeof(Cell)} << bits);
  MemBlockReserve(level.block, bytes);
  level.cells = static_cast<Cell*>(MemBlockAppendFit(level.block, bytes));
}

template <class Cell>
void MarkEmpty(SceneGridLevel<Cell>& level) {
  const std::uint32_t n = CellCount(level);
  for (std::uint32_t i = 0; i < n; ++i) level.cells[i].empty = 1;
}

template <class Cell>
void SetBounds(SceneGridLevel<Cell>& level, const float* lower, const float* upper) {
  for (int a = 0; a < 3; ++a) {
    level.origin[a] = lower[a];
    level.farCorner[a] = upper[a];
    level.cellSize[a] = (upper[a] - lower[a]) / static_cast<float>(1u << level.log2Size[a]);
    level.inverseCellSize[a] = 1.0f / level.cellSize[a];
  }
  const std::uint32_t n[3] = {1u << level.log2Size[0], 1u << level.log2Size[1],
                              1u << level.log2Size[2]};
  Cell* cell = level.cells;
  for (std::uint32_t k = 0; k < n[2]; ++k) {
    for (std::uint32_t j = 0; j < n[1]; ++j) {
      for (std::uint32_t i = 0; i < n[0]; ++i, ++cell) {
        const std::uint32_t at[3] = {i, j, k};
        for (int a = 0; a < 3; ++a) {
          cell->box[a] = lower[a] + static_cast<float>(at[a]) * level.cellSize[a];
          cell->box[a + 3] = cell->box[a] + level.cellSize[a];
        }
      }
    }
  }
}

// Rounded-up log2 of extent / cell size, with a tolerance of kBitTolerance cells.
std::uint32_t AxisBits(float extent, float cellSize) {
  if (!(extent > cellSize)) return 0;
  const float r = extent / cellSize;
  const std::int32_t biased =
      static_cast<std::int32_t>((std::bit_cast<std::uint32_t>(r) >> 23) & 0xFF);
  const std::int32_t e = biased > 127 ? biased - 127 : 0;
  return static_cast<std::uint32_t>(e) + (r > std::ldexp(1.0f, e) + kBitTolerance ? 1u : 0u);
}

// Cell coordinate of v along one axis of the fine level, clamped into the level.
std::uint32_t FineCoordinate(const ItemLevel& fine, int axis, float v) {
  const float cells = (v - fine.origin[axis]) * fine.inverseCellSize[axis];
  const std::uint32_t last = (1u << fine.log2Size[axis]) - 1;
  if (!(cells >= 0)) return 0;  // also a NaN centre
  if (cells >= static_cast<float>(last)) return last;
  return static_cast<std::uint32_t>(cells);
}

// Unions a min-max box into a cell box.
void Widen(float* cellBox, const float* box) {
  const KernelTable& k = gKernelTable;
  for (int a = 0; a < 3; ++a) {
    cellBox[a] = k.KernelMin(box[a], cellBox[a]);
    cellBox[a + 3] = k.KernelMax(box[a + 3], cellBox[a + 3]);
  }
}

void Occupy(float* cellBox, std::uint32_t& empty, const float* box) {
  if (empty != 0) {
    empty = 0;
    for (int a = 0; a < 6; ++a) cellBox[a] = box[a];
  } else {
    Widen(cellBox, box);
  }
}

// A node of the item linked after `after`, or at the head of the list when it is null.
ItemNode* TakeNode(SceneGrid& grid, SceneGridItem* item, ItemNode* after) {
  auto* node = reinterpret_cast<ItemNode*>(BlockPoolTake(grid.nodePool));
  BlockPoolMoveAfter(grid.nodePool, &node->links, after != nullptr ? &after->links : nullptr);
  node->item = item;
  return node;
}

// Constructs the program's grid before the program starts (after the memory manager, which
// runs first) and gives its blocks back at normal exit.
struct SceneGridStartup {
  SceneGridStartup() { SceneGridInit(gSceneGrid); }
  ~SceneGridStartup() { SceneGridRelease(gSceneGrid); }
};
VESKOR_STATIC_STEP(kStaticStepSceneGrid) SceneGridStartup gSceneGridStartup;

}  // namespace

void SceneGridInit(SceneGrid& grid) {
  InitLevel(grid.coarse);
  InitLevel(grid.middle);
  InitLevel(grid.fine);
  grid.coarseLog2Size[0] = grid.coarseLog2Size[1] = grid.coarseLog2Size[2] = 0;
  grid.levelShift = 0;
  BlockPoolInitFor<ItemNode>(grid.nodePool);
  VmArrayInit(grid.registrations);
  for (int a = 0; a < 6; ++a) grid.worldBox[a] = 0;
  grid.visitCounter = 0;
  grid.visitScale = 0;
}

void SceneGridRelease(SceneGrid& grid) {
  VmArrayRelease(grid.registrations);
  BlockPoolRelease(grid.nodePool);
  MemBlockRelease(grid.fine.block);
  MemBlockRelease(grid.middle.block);
  MemBlockRelease(grid.coarse.block);
  grid.fine.cells = nullptr;
  grid.middle.cells = nullptr;
  grid.coarse.cells = nullptr;
}

void SceneGridResize3(GridLevel& level, std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  ResizeLevel(level, x, y, z);
}

void SceneGridResize(GridLevel& level, std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  ResizeLevel(level, x, y, z);
  MarkEmpty(level);
}

void SceneGridResize2(ItemLevel& level, std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  ResizeLevel(level, x, y, z);
  MarkEmpty(level);
}

void SceneGridSetBounds(GridLevel& level, float x0, float y0, float z0, float x1, float y1,
                        float z1) {
  const float lower[3] = {x0, y0, z0};
  const float upper[3] = {x1, y1, z1};
  SetBounds(level, lower, upper);
}

void SceneGridSetBounds2(ItemLevel& level, float x0, float y0, float z0, float x1, float y1,
                         float z1) {
  const float lower[3] = {x0, y0, z0};
  const float upper[3] = {x1, y1, z1};
  SetBounds(level, lower, upper);
}

void SceneGridReserve(VmArray& array, std::uint32_t bytes) { VmArrayReserve(array, bytes); }

void SpatialGridInit(SceneGrid& grid, ViewPlane* viewPlane, float cellSizeXY, float cellSizeZ,
                     float x0, float y0, float z0, float x1, float y1, float z1) {
  const std::uint32_t b[3] = {AxisBits(x1 - x0, cellSizeXY), AxisBits(y1 - y0, cellSizeXY),
                              AxisBits(z1 - z0, cellSizeZ)};
  const std::uint32_t m = std::min({b[0], b[1], b[2]});
  const std::uint32_t M = std::max({b[0], b[1], b[2]});
  std::uint32_t h = m / 2;
  if (m == M && h != 0 && m % 2 == 0) --h;

  for (int a = 0; a < 3; ++a) grid.coarseLog2Size[a] = static_cast<std::uint16_t>(b[a] - 2 * h);
  grid.levelShift = static_cast<std::uint16_t>(h);
  RenderViewPlane = viewPlane;

  SceneGridResize3(grid.coarse, b[0] - 2 * h, b[1] - 2 * h, b[2] - 2 * h);
  MarkEmpty(grid.coarse);
  SceneGridResize(grid.middle, b[0] - h, b[1] - h, b[2] - h);
  SceneGridResize2(grid.fine, b[0], b[1], b[2]);

  MemBlockReserve(grid.nodePool.block, kSceneGridEntryCapacity * sizeof(ItemNode));
  SceneGridReserve(grid.registrations, kSceneGridReserveBytes);

  const float box[6] = {x0, y0, z0, x1, y1, z1};
  for (int a = 0; a < 6; ++a) grid.worldBox[a] = box[a];
  SceneGridSetBounds(grid.coarse, x0, y0, z0, x1, y1, z1);
  SceneGridSetBounds(grid.middle, x0, y0, z0, x1, y1, z1);
  SceneGridSetBounds2(grid.fine, x0, y0, z0, x1, y1, z1);
  BuildFaceDirectionTables();
}

std::uint32_t SceneGridRegister(SceneGrid& grid, SceneGridItem* item, float x0, float y0, float z0,
                                float x1, float y1, float z1) {
  // Every registration of a session takes one node, so one count bounds both.
  if (grid.fine.cells == nullptr || grid.registrations.count >= kSceneGridEntryCapacity) return 0;
  const float box[6] = {x0, y0, z0, x1, y1, z1};
  std::uint32_t at[3];
  for (int a = 0; a < 3; ++a) at[a] = FineCoordinate(grid.fine, a, (box[a] + box[a + 3]) * 0.5f);
  const std::uint32_t k = grid.levelShift;
  const GridRegistration entry = {
      SceneGridCellIndex(grid.coarse.log2Size, at[0] >> 2 * k, at[1] >> 2 * k, at[2] >> 2 * k),
      SceneGridCellIndex(grid.middle.log2Size, at[0] >> k, at[1] >> k, at[2] >> k),
      SceneGridCellIndex(grid.fine.log2Size, at[0], at[1], at[2])};
  *static_cast<GridRegistration*>(VmArrayAppend(grid.registrations, 1, sizeof entry)) = entry;
  item->cellIndex[0] = entry.coarse;
  item->cellIndex[1] = entry.middle;
  item->cellIndex[2] = entry.fine;

  ItemCell& fine = grid.fine.cells[entry.fine];
  // A new cell's run starts at the head of the list; a later item follows the cell's first.
  if (fine.empty != 0) {
    fine.first = TakeNode(grid, item, nullptr);
    fine.itemCount = 1;
    fine.empty = 0;
    for (int a = 0; a < 6; ++a) fine.box[a] = box[a];
  } else {
    TakeNode(grid, item, fine.first);
    ++fine.itemCount;
    Widen(fine.box, box);
  }
  GridCell& middle = grid.middle.cells[entry.middle];
  Occupy(middle.box, middle.empty, box);
  GridCell& coarse = grid.coarse.cells[entry.coarse];
  Occupy(coarse.box, coarse.empty, box);
  return 1;
}

void SceneGridExtendCells(SceneGrid& grid, const SceneGridItem* item) {
  const float* b = item->box;
  const float box[6] = {b[0], b[2], b[4], b[1], b[3], b[5]};
  Widen(grid.coarse.cells[item->cellIndex[0]].box, box);
  Widen(grid.middle.cells[item->cellIndex[1]].box, box);
  Widen(grid.fine.cells[item->cellIndex[2]].box, box);
}

void SceneGridSessionReset(SceneGrid& grid) {
  const auto* entries = VmArrayData<GridRegistration>(grid.registrations);
  for (std::uint32_t i = 0; i < grid.registrations.count; ++i) {
    grid.coarse.cells[entries[i].coarse].empty = 1;
    grid.middle.cells[entries[i].middle].empty = 1;
    grid.fine.cells[entries[i].fine].empty = 1;
  }
  grid.registrations.count = 0;
  grid.registrations.block.usedBytes = 0;
  grid.visitCounter = 1;
  // No cell refers to a node any more: they go back to the pool for the next session.
  while (grid.nodePool.first != nullptr) BlockPoolGiveBack(grid.nodePool, grid.nodePool.first);
}

}  // namespace veskor
