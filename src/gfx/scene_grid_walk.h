// Front-to-back walks over the levels of the SceneGrid. A walk visits the cells of one level
// (the whole coarse level, or the cells of a finer level inside one cell of the level above)
// with the axis along which the view direction is largest outermost, each axis in the
// direction the view looks. The renderer walks coarse, then middle, then fine cells, testing
// each occupied cell's box and descending only into visible ones:
//
//   SceneGridSetWalkOrder on three walks with the view direction;
//   for (SceneGridBeginWalk(coarse, grid); !SceneGridWalkFinished(coarse);
//        SceneGridWalkStep(coarse)) {
//     ... SceneGridBeginWalk2(middle, coarse) ... and so on down to SceneGridCellExt.
//   }
#pragma once

#include <cstdint>

#include "gfx/scene_grid.h"

namespace veskor {

// The walk's state. Coordinates are unsigned: a step of -1 is all bits set, and the stop of
// a downward walk is one below 0, both wrapping around.
struct SceneGridWalk {
  std::uint32_t current[3];     // cell coordinate at walk position outer, middle, inner
  std::uint32_t step[3];        // per walk position
  std::uint32_t first[3];       // per walk position
  std::uint32_t stop[3];        // one past the last, in the step's direction
  std::uint32_t axisAt[3];      // axis (0 x, 1 y, 2 z) at each walk position
  std::uint32_t positionOf[3];  // walk position of axis x, y, z
  std::uint32_t negative[3];    // 1 when the direction's x, y, z has its sign bit set
  std::uint32_t shift;          // the grid's level shift
};

// Orders the axes by the size of the direction's components, largest outermost, ties
// decided exactly so: when |dx| >= |dy|, (x, y, z) if |dy| >= |dz|, else (x, z, y) if
// |dx| >= |dz|, else (z, x, y); otherwise (y, x, z) if |dx| >= |dz|, else (z, y, x) if
// |dz| >= |dy|, else (y, z, x). Each axis is walked against its component's sign bit: a
// component of -0.0 walks downward.
void SceneGridSetWalkOrder(SceneGridWalk& walk, float dx, float dy, float dz);
// Starts a walk over the whole coarse level; the order must have been set.
SceneGridWalk& SceneGridBeginWalk(SceneGridWalk& walk, const SceneGrid& grid);
// Starts a walk over the 2^k x 2^k x 2^k cells of the next finer level inside the parent
// walk's current cell.
SceneGridWalk& SceneGridBeginWalk2(SceneGridWalk& child, const SceneGridWalk& parent);
// Advances to the next cell; a finished walk stays finished.
void SceneGridWalkStep(SceneGridWalk& walk);
inline bool SceneGridWalkFinished(const SceneGridWalk& walk) {
  return walk.current[0] == walk.stop[0];
}

// The walk's current cell (x, y, z) of a coarse or middle level, of the fine level.
GridCell* SceneGridCell(GridLevel& level, const SceneGridWalk& walk);
ItemCell* SceneGridCell2(ItemLevel& level, const SceneGridWalk& walk);
inline ItemCell* SceneGridCellExt(SceneGrid& grid, const SceneGridWalk& walk) {
  return SceneGridCell2(grid.fine, walk);
}
// Copies the box (x0, y0, z0, x1, y1, z1) of the walk's coarse, middle or fine cell.
void SceneGridReadCell(SceneGrid& grid, const SceneGridWalk& walk, float* box);
void SceneGridReadCell2(SceneGrid& grid, const SceneGridWalk& walk, float* box);
void SceneGridReadCell3(SceneGrid& grid, const SceneGridWalk& walk, float* box);

}  // namespace veskor
