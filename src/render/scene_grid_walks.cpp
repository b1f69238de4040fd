#include "render/scene_grid_walks.h"

#include <cstddef>
#include <cstdlib>
#include <type_traits>

#include "gfx/fog_floor.h"
#include "gfx/gl_capabilities.h"
#include "gfx/scene_grid_walk.h"
#include "gfx/view_volume.h"
#include "platform/gl.h"
#include "render/object_draw.h"

namespace veskor {

float WaterAltitude = 0;
SceneObjectDraw WalkDrawObject = DrawSceneObject;

namespace {

constexpr std::uint32_t kPassedFlags = 0x30;  // time frozen, mirrored

// The grid lists the scene objects by the grid record inside them.
static_assert(std::is_standard_layout_v<SceneObject>);
SceneObject& ObjectOf(SceneGridItem* item) {
  return *reinterpret_cast<SceneObject*>(reinterpret_cast<char*>(item) -
                                         offsetof(SceneObject, grid));
}

bool Walkable(const SceneGrid& grid) {
  return grid.coarse.cells != nullptr && grid.middle.cells != nullptr &&
         grid.fine.cells != nullptr;
}

void SetOrder(SceneGridWalk (&walks)[3], const float* direction) {
  for (SceneGridWalk& w : walks) SceneGridSetWalkOrder(w, direction[0], direction[1], direction[2]);
}

// The six faces of a cell box (x0, y0, z0, x1, y1, z1) in the order x0, x1, y0, y1, z0, z1.
bool CameraSeesCell(const Camera& v, const float* b) {
  return CellFrustumTest(v, b[0], b[1], b[2], b[4], b[5]) != 0 ||
         CellFrustumTest(v, b[3], b[1], b[2], b[4], b[5]) != 0 ||
         CellFrustumTest2(v, b[1], b[0], b[2], b[3], b[5]) != 0 ||
         CellFrustumTest2(v, b[4], b[0], b[2], b[3], b[5]) != 0 ||
         CellFrustumTest3(v, b[2], b[0], b[1], b[3], b[4]) != 0 ||
         CellFrustumTest3(v, b[5], b[0], b[1], b[3], b[4]) != 0;
}

bool RayCellVisible(const Camera& v, std::uint32_t empty, const float* box) {
  return empty == 0 && box[5] > FogFloorHeight && CameraSeesCell(v, box);
}

bool DrawCellVisible(const OrthoPass& v, std::uint32_t empty, const float* b) {
  return empty == 0 && BoxFrustumTest(v, b[0], b[1], b[2], b[3], b[4], b[5]) != 0;
}

void CellDisplayColour(float t) { glColor3f(t, t, 1 - t); }

void WireCell(const float* b) { WireBox(b[0], b[1], b[2], b[3], b[4], b[5]); }

std::uint32_t RayObjectMode(std::uint32_t flags, const SceneObject& object) {
  const std::uint32_t mode = (flags & kWalkOwnMode) != 0 ? object.drawMode : flags;
  return (mode & kObjectModeMask) | (flags & kPassedFlags);
}

void RayFineCell(const Camera& view, ItemCell& cell, std::uint32_t flags, std::uint32_t& sum) {
  ItemNode* node = cell.first;
  for (std::uint32_t k = 0; k < cell.itemCount && node != nullptr; ++k, node = ItemNodeNext(node)) {
    const float* b = node->item->box;
    if (ViewVolumeTestBox2(view, b[0], b[2], b[4], b[1], b[3], b[5]) == 0) continue;
    SceneObject& object = ObjectOf(node->item);
    sum += WalkDrawObject(object, RayObjectMode(flags, object));
  }
}

void DrawWalkObject(const OrthoPass& view, SceneObject& object, std::uint32_t flags) {
  const std::uint32_t mode = flags & kObjectModeMask;
  if ((flags & kWalkBelowWater) != 0) {
    if (object.grid.box[4] < WaterAltitude + 1) WalkDrawObject(object, mode);
  } else if ((flags & kWalkDepthOffset) != 0 && (object.flags & kObjectSunLit) != 0) {
    const bool offset = BoardClassLow(kBoardRadeon) == 0;
    if (offset) {
      glEnable(GL_POLYGON_OFFSET_FILL);
      glPolygonOffset(0, view.polygonOffset);
    }
    WalkDrawObject(object, mode);
    if (offset) glDisable(GL_POLYGON_OFFSET_FILL);
  } else {
    WalkDrawObject(object, mode);
  }
}

// Flag 8 of the draw walk: the fine cell's box in a colour that tells its coarse cell's place
// along the walk, and the cell's own grid box in white.
void DrawWalkCellDisplay(const SceneGrid& grid, const SceneGridWalk& coarse,
                         const SceneGridWalk& fine, const float* box) {
  glDisable(GL_TEXTURE_2D);
  float colour[3];
  float gridBox[6];
  for (std::uint32_t a = 0; a < 3; ++a) {
    const std::uint32_t p = coarse.positionOf[a];
    const auto distance = static_cast<std::int32_t>(coarse.current[p] - coarse.first[p]);
    colour[a] = static_cast<float>(std::abs(distance)) /
                static_cast<float>(1u << grid.coarseLog2Size[a]);
    const float size = grid.fine.cellSize[a];
    gridBox[a] = grid.fine.origin[a] + static_cast<float>(fine.current[fine.positionOf[a]]) * size;
    gridBox[a + 3] = gridBox[a] + size;
  }
  glColor3f(colour[0], colour[1], colour[2]);
  WireCell(box);
  glColor3f(1, 1, 1);
  WireCell(gridBox);
}

void DrawFineCell(const OrthoPass& view, ItemCell& cell, std::uint32_t flags) {
  ItemNode* node = cell.first;
  for (std::uint32_t k = 0; k < cell.itemCount && node != nullptr; ++k, node = ItemNodeNext(node)) {
    const float* b = node->item->box;
    if (cell.itemCount > 1 && BoxFrustumTest(view, b[0], b[2], b[4], b[1], b[3], b[5]) == 0)
      continue;
    DrawWalkObject(view, ObjectOf(node->item), flags);
  }
}

// The fine cells the walks of the three levels reach front to back along `direction`, going
// down only through the cells that visible(empty flag, box) passes: visit(walks, fine cell).
template <class Visible, class Visit>
void WalkVisibleCells(SceneGrid& grid, const float* direction, Visible visible, Visit visit) {
  SceneGridWalk w[3];
  SetOrder(w, direction);
  for (SceneGridBeginWalk(w[0], grid); !SceneGridWalkFinished(w[0]); SceneGridWalkStep(w[0])) {
    const GridCell& coarse = *SceneGridCell(grid.coarse, w[0]);
    if (!visible(coarse.empty, coarse.box)) continue;
    for (SceneGridBeginWalk2(w[1], w[0]); !SceneGridWalkFinished(w[1]); SceneGridWalkStep(w[1])) {
      const GridCell& middle = *SceneGridCell(grid.middle, w[1]);
      if (!visible(middle.empty, middle.box)) continue;
      for (SceneGridBeginWalk2(w[2], w[1]); !SceneGridWalkFinished(w[2]); SceneGridWalkStep(w[2])) {
        ItemCell& fine = *SceneGridCellExt(grid, w[2]);
        if (visible(fine.empty, fine.box)) visit(w, fine);
      }
    }
  }
}

}  // namespace

std::uint32_t SceneGridRayWalk(SceneGrid& grid, const Camera& view, std::uint32_t flags,
                               std::uint32_t* primitiveCount) {
  std::uint32_t cells = 0, sum = 0;
  // No cell outlined in the last walk would make the ramp 1 / 0.
  grid.visitScale = grid.visitCounter == 0 ? 1.0f : 1.0f / static_cast<float>(grid.visitCounter);
  grid.visitCounter = 0;
  if (Walkable(grid)) {
    WalkVisibleCells(
        grid, view.direction,
        [&](std::uint32_t empty, const float* box) { return RayCellVisible(view, empty, box); },
        [&](const SceneGridWalk(&)[3], ItemCell& fine) {
          if ((flags & kWalkCellDisplay) != 0) {
            CellDisplayColour(static_cast<float>(grid.visitCounter) * grid.visitScale);
            WireCell(fine.box);
            ++grid.visitCounter;
          }
          RayFineCell(view, fine, flags, sum);
          ++cells;
        });
  }
  if (primitiveCount != nullptr) *primitiveCount = sum;
  return cells;
}

std::uint32_t SceneGridDrawWalk(SceneGrid& grid, const OrthoPass& view, std::uint32_t flags) {
  if (!Walkable(grid)) return 0;
  std::uint32_t cells = 0;
  WalkVisibleCells(
      grid, view.direction,
      [&](std::uint32_t empty, const float* box) { return DrawCellVisible(view, empty, box); },
      [&](const SceneGridWalk(&w)[3], ItemCell& fine) {
        if ((flags & kWalkCellDisplay) != 0) DrawWalkCellDisplay(grid, w[0], w[2], fine.box);
        DrawFineCell(view, fine, flags);
        ++cells;
      });
  return cells;
}

const float* OrthoPlaneNormal(const OrthoPass& view, std::uint32_t plane) {
  if (plane < 4) return view.sideNormals[plane];
  return plane == 4 ? view.nearNormal : view.farNormal;
}

const float* OrthoPlanePoint(const OrthoPass& view, std::uint32_t plane) {
  if (plane < 4) return view.sideMidPoints[plane];
  return plane == 4 ? view.nearPoint : view.farPoint;
}

std::uint32_t FacePlaneTest(const OrthoPass& view, std::uint32_t plane,
                            const float (&corners)[4][3]) {
  const float* n = OrthoPlaneNormal(view, plane);
  const float* p = OrthoPlanePoint(view, plane);
  for (const auto& c : corners) {
    const float s = (c[0] - p[0]) * n[0] + (c[1] - p[1]) * n[1] + (c[2] - p[2]) * n[2];
    if (s <= 0) return 1;  // false for a NaN: outside
  }
  return 0;
}

namespace {

std::uint32_t FaceTest(const OrthoPass& view, const float (&corners)[4][3]) {
  for (std::uint32_t plane = 0; plane < kOrthoPlaneCount; ++plane)
    if (FacePlaneTest(view, plane, corners) == 0) return 0;
  return 1;
}

}  // namespace

std::uint32_t FaceCullTestX(const OrthoPass& view, float x, float y0, float z0, float y1,
                            float z1) {
  const float corners[4][3] = {{x, y0, z0}, {x, y1, z0}, {x, y1, z1}, {x, y0, z1}};
  return FaceTest(view, corners);
}

std::uint32_t FaceCullTestY(const OrthoPass& view, float y, float x0, float z0, float x1,
                            float z1) {
  const float corners[4][3] = {{x0, y, z0}, {x1, y, z0}, {x1, y, z1}, {x0, y, z1}};
  return FaceTest(view, corners);
}

std::uint32_t FaceCullTestZ(const OrthoPass& view, float z, float x0, float y0, float x1,
                            float y1) {
  const float corners[4][3] = {{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z}};
  return FaceTest(view, corners);
}

std::uint32_t BoxFrustumTest(const OrthoPass& view, float x0, float y0, float z0, float x1,
                             float y1, float z1) {
  return (FaceCullTestX(view, x0, y0, z0, y1, z1) != 0 ||
          FaceCullTestX(view, x1, y0, z0, y1, z1) != 0 ||
          FaceCullTestY(view, y0, x0, z0, x1, z1) != 0 ||
          FaceCullTestY(view, y1, x0, z0, x1, z1) != 0 ||
          FaceCullTestZ(view, z0, x0, y0, x1, y1) != 0 ||
          FaceCullTestZ(view, z1, x0, y0, x1, y1) != 0)
             ? 1
             : 0;
}

void WireBox(float x0, float y0, float z0, float x1, float y1, float z1) {
  glBegin(GL_LINES);
  // The three edges from the low corner, the three from the high one, then the other six.
  glVertex3f(x0, y0, z0), glVertex3f(x1, y0, z0);
  glVertex3f(x0, y0, z0), glVertex3f(x0, y1, z0);
  glVertex3f(x0, y0, z0), glVertex3f(x0, y0, z1);
  glVertex3f(x1, y1, z1), glVertex3f(x0, y1, z1);
  glVertex3f(x1, y1, z1), glVertex3f(x1, y0, z1);
  glVertex3f(x1, y1, z1), glVertex3f(x1, y1, z0);
  glVertex3f(x1, y0, z0), glVertex3f(x1, y1, z0);
  glVertex3f(x1, y0, z0), glVertex3f(x1, y0, z1);
  glVertex3f(x0, y1, z0), glVertex3f(x1, y1, z0);
  glVertex3f(x0, y1, z0), glVertex3f(x0, y1, z1);
  glVertex3f(x0, y0, z1), glVertex3f(x1, y0, z1);
  glVertex3f(x0, y0, z1), glVertex3f(x0, y1, z1);
  glEnd();
}

}  // namespace veskor
