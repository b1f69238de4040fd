#include "gfx/scene_grid_walk.h"

#include <cmath>

namespace veskor {

namespace {

void Begin(SceneGridWalk& walk, const std::uint32_t* lower, const std::uint32_t* upper) {
  for (int p = 0; p < 3; ++p) {
    const std::uint32_t a = walk.axisAt[p];
    if (walk.negative[a] == 0) {
      walk.first[p] = lower[a];
      walk.stop[p] = upper[a];
    } else {
      walk.first[p] = upper[a] - 1;
      walk.stop[p] = lower[a] - 1;
    }
    walk.current[p] = walk.first[p];
  }
}

std::uint32_t CellIndex(const std::uint16_t* log2Size, const SceneGridWalk& walk) {
  return SceneGridCellIndex(log2Size, walk.current[walk.positionOf[0]],
                            walk.current[walk.positionOf[1]], walk.current[walk.positionOf[2]]);
}

void CopyBox(const float* from, float* box) {
  for (int a = 0; a < 6; ++a) box[a] = from[a];
}

}  // namespace

void SceneGridSetWalkOrder(SceneGridWalk& walk, float dx, float dy, float dz) {
  const float ax = std::fabs(dx);
  const float ay = std::fabs(dy);
  const float az = std::fabs(dz);
  enum : std::uint32_t { X, Y, Z };
  std::uint32_t order[3];
  auto set = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    order[0] = a, order[1] = b, order[2] = c;
  };
  if (ax >= ay) {
    if (ay >= az) {
      set(X, Y, Z);
    } else if (ax >= az) {
      set(X, Z, Y);
    } else {
      set(Z, X, Y);
    }
  } else if (ax >= az) {
    set(Y, X, Z);
  } else if (az >= ay) {
    set(Z, Y, X);
  } else {
    set(Y, Z, X);
  }
  const float d[3] = {dx, dy, dz};
  for (std::uint32_t p = 0; p < 3; ++p) {
    walk.axisAt[p] = order[p];
    walk.positionOf[order[p]] = p;
  }
  for (std::uint32_t a = 0; a < 3; ++a) walk.negative[a] = std::signbit(d[a]) ? 1 : 0;
  for (std::uint32_t p = 0; p < 3; ++p) walk.step[p] = 1 - 2 * walk.negative[walk.axisAt[p]];
}

SceneGridWalk& SceneGridBeginWalk(SceneGridWalk& walk, const SceneGrid& grid) {
  walk.shift = grid.levelShift;
  const std::uint32_t lower[3] = {0, 0, 0};
  const std::uint32_t upper[3] = {1u << grid.coarseLog2Size[0], 1u << grid.coarseLog2Size[1],
                                  1u << grid.coarseLog2Size[2]};
  Begin(walk, lower, upper);
  return walk;
}

SceneGridWalk& SceneGridBeginWalk2(SceneGridWalk& child, const SceneGridWalk& parent) {
  child.shift = parent.shift;
  std::uint32_t lower[3];
  std::uint32_t upper[3];
  for (int a = 0; a < 3; ++a) {
    const std::uint32_t at = parent.current[parent.positionOf[a]];
    lower[a] = at << parent.shift;
    upper[a] = (at + 1) << parent.shift;
  }
  Begin(child, lower, upper);
  return child;
}

void SceneGridWalkStep(SceneGridWalk& walk) {
  if (walk.current[0] == walk.stop[0]) return;
  walk.current[2] += walk.step[2];
  if (walk.current[2] != walk.stop[2]) return;
  walk.current[2] = walk.first[2];
  walk.current[1] += walk.step[1];
  if (walk.current[1] != walk.stop[1]) return;
  walk.current[1] = walk.first[1];
  walk.current[0] += walk.step[0];
}

GridCell* SceneGridCell(GridLevel& level, const SceneGridWalk& walk) {
  return level.cells + CellIndex(level.log2Size, walk);
}

ItemCell* SceneGridCell2(ItemLevel& level, const SceneGridWalk& walk) {
  return level.cells + CellIndex(level.log2Size, walk);
}

void SceneGridReadCell(SceneGrid& grid, const SceneGridWalk& walk, float* box) {
  CopyBox(SceneGridCell(grid.coarse, walk)->box, box);
}

void SceneGridReadCell2(SceneGrid& grid, const SceneGridWalk& walk, float* box) {
  CopyBox(SceneGridCell(grid.middle, walk)->box, box);
}

void SceneGridReadCell3(SceneGrid& grid, const SceneGridWalk& walk, float* box) {
  CopyBox(SceneGridCell2(grid.fine, walk)->box, box);
}

}  // namespace veskor
