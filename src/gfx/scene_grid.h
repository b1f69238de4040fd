// SceneGrid: the one spatial index of the scene, a loose grid of axis-aligned cells in three
// levels (coarse, middle, fine) over the world box. Every generated item is registered once
// per render session into one cell of each level, chosen by the centre of its box; an occupied
// cell keeps the union of its items' boxes, so it may reach beyond the cell. The fine level
// lists the items of each cell. The renderer walks the levels front to back (scene_grid_walk.h)
// and descends only into cells whose boxes it can see.
//
// The program sizes the grid once at start (SpatialGridInit), the geometry generation
// registers the items of each render session, the render preparation widens cells whose items
// grew, and the session reset empties what the last session registered.
#pragma once

#include <bit>
#include <cstdint>

#include "foundation/block_pool.h"
#include "foundation/mem_block.h"
#include "foundation/vm_array.h"
#include "gfx/view_plane.h"

namespace veskor {

// What a registered item shows the grid: its box (note the per-axis order, unlike the cell
// boxes) and the cells it was registered in. The scene instance record of the geometry code
// is one.
struct SceneGridItem {
  float box[6];                // x min, x max, y min, y max, z min, z max
  std::uint32_t cellIndex[3];  // linear index in the coarse, middle and fine level
};

// One entry of the node list: the node pool's links, then the item. The nodes of one fine cell
// form a contiguous run of the list from the cell's first node, followed through next links.
struct ItemNode {
  BlockPoolNode links;
  SceneGridItem* item;
};
inline ItemNode* ItemNodeNext(const ItemNode* node) {
  return reinterpret_cast<ItemNode*>(node->links.next);
}

// A cell of the coarse and middle levels.
struct GridCell {
  std::uint32_t firstWord;  // not used by the grid
  std::uint32_t empty;      // nonzero while no item is registered in the cell
  float box[6];             // x0, y0, z0, x1, y1, z1
};

// A cell of the fine level.
struct ItemCell {
  ItemNode* first;
  std::uint32_t itemCount;
  std::uint32_t empty;
  float box[6];
};

// 2^x by 2^y by 2^z cells stored x fastest, then y, then z: cell (i, j, k) is number
// i + (j << x) + (k << (x + y)).
template <class Cell>
struct SceneGridLevel {
  MemBlock block;
  Cell* cells;  // null while the level has none
  std::uint16_t log2Size[3];
  float origin[3];     // lower corner
  float farCorner[3];  // upper corner
  float cellSize[3];
  float inverseCellSize[3];
};

using GridLevel = SceneGridLevel<GridCell>;
using ItemLevel = SceneGridLevel<ItemCell>;

// The coarse, middle and fine cells of one registered item.
struct GridRegistration {
  std::uint32_t coarse;
  std::uint32_t middle;
  std::uint32_t fine;
};

// The registration array and the node pool hold as many entries as the 0x18000 bytes the grid
// reserves for its 12-byte registrations give (the reserve is a 2^17-byte block). Registering
// more items within one render session is refused.
inline constexpr std::uint32_t kSceneGridReserveBytes = 0x18000;
inline constexpr std::uint32_t kSceneGridEntryCapacity =
    std::bit_ceil(kSceneGridReserveBytes) / sizeof(GridRegistration);

struct SceneGrid {
  GridLevel coarse;
  GridLevel middle;
  ItemLevel fine;
  std::uint16_t coarseLog2Size[3];  // the walks take the coarse extent from these copies
  std::uint16_t levelShift;  // k: each level has 2^k times the cells per axis of the one above
  // Of ItemNode; its list of the nodes in use is the node list (first, last, count).
  BlockPool nodePool;
  VmArray registrations;       // of GridRegistration, this render session's
  float worldBox[6];           // min x, y, z, max x, y, z
  std::uint32_t visitCounter;  // fine cells visited by the last debug walk of the view
  float visitScale;            // 1 / the visit counter of the previous frame
};

// The program's grid, constructed before the program starts and released at exit.
extern SceneGrid gSceneGrid;

// Construction: levels without cells, log2 sizes 0, corners (-1, -1, -1) and (1, 1, 1), an
// empty node list and registration array. Release gives every block back.
void SceneGridInit(SceneGrid& grid);
void SceneGridRelease(SceneGrid& grid);

// Sizes the three levels over the box: per axis b = the rounded-up log2 of extent / cell size
// (0 cells when the extent is not greater than the cell; 0.0005 cells of tolerance), the fine
// level b, the middle b - h, the coarse b - 2h, with h about half the smallest b. Every cell is
// empty and has its own extent as its box. Sets RenderViewPlane and builds the face direction
// tables. A grid of more cells than one block can hold is fatal.
void SpatialGridInit(SceneGrid& grid, ViewPlane* viewPlane, float cellSizeXY, float cellSizeZ,
                     float x0, float y0, float z0, float x1, float y1, float z1);

// Level storage. Resizing to the current sizes keeps the cells; SceneGridResize3 leaves the
// cells as they are, SceneGridResize and SceneGridResize2 then mark every cell empty.
void SceneGridResize3(GridLevel& level, std::uint32_t x, std::uint32_t y, std::uint32_t z);
void SceneGridResize(GridLevel& level, std::uint32_t x, std::uint32_t y, std::uint32_t z);
void SceneGridResize2(ItemLevel& level, std::uint32_t x, std::uint32_t y, std::uint32_t z);
// Stores the corners, cell sizes and their inverses, and writes every cell's own box.
void SceneGridSetBounds(GridLevel& level, float x0, float y0, float z0, float x1, float y1,
                        float z1);
void SceneGridSetBounds2(ItemLevel& level, float x0, float y0, float z0, float x1, float y1,
                         float z1);
// VmArrayReserve: a block for that many bytes, elements at its base, count 0.
void SceneGridReserve(VmArray& array, std::uint32_t bytes);

inline std::uint32_t SceneGridCellIndex(const std::uint16_t* log2Size, std::uint32_t i,
                                        std::uint32_t j, std::uint32_t k) {
  return i + (j << log2Size[0]) + (k << (log2Size[0] + log2Size[1]));
}
inline GridCell* SceneGridCell32(GridLevel& level, std::uint32_t i, std::uint32_t j,
                                 std::uint32_t k) {
  return level.cells + SceneGridCellIndex(level.log2Size, i, j, k);
}
inline ItemCell* SceneGridFineCellAt(ItemLevel& level, std::uint32_t i, std::uint32_t j,
                                     std::uint32_t k) {
  return level.cells + SceneGridCellIndex(level.log2Size, i, j, k);
}

// Registers an item with its box (min corner, max corner) in the cells of its centre, a centre
// outside the world box counting as the nearest cell inside; stores the three cell indices in
// the item. Returns 0, registering nothing, when the grid is not sized or this render
// session's registrations are full (kSceneGridEntryCapacity): the caller reports that as an
// error of the session. Else 1.
std::uint32_t SceneGridRegister(SceneGrid& grid, SceneGridItem* item, float x0, float y0, float z0,
                                float x1, float y1, float z1);
// Widens the item's three cells by its current box.
void SceneGridExtendCells(SceneGrid& grid, const SceneGridItem* item);
// Before each render session: the cells the last session registered become empty, the
// registrations and the node list are emptied, the visit counter becomes 1.
void SceneGridSessionReset(SceneGrid& grid);

}  // namespace veskor
