// The fixture of the generation GL tests: the shared context, a render session started as the
// render session set-up starts it (batch buffer staging, empty tables and counters, the scene
// grid sized as at program start and emptied, the scene box and progress reset).
#pragma once

#include "geometry/build_progress.h"
#include "geometry/draw_items.h"
#include "geometry/item_geometry.h"
#include "geometry/portal.h"
#include "geometry/region_borders.h"
#include "geometry/scene_build_error.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/gfx_gl_test.h"
#include "gfx/scene_grid.h"
#include "language/world.h"

namespace veskor::test {

class GenerationGlTest : public GfxGlTest {
 protected:
  void SetUp() override {
    GfxGlTest::SetUp();
    GeometryBatchBufferStartSession(gGeometryBatchBuffer, &extensionWord_);
    if (gSceneGrid.fine.cells == nullptr)
      SpatialGridInit(gSceneGrid, nullptr, 1024, 1024, -16384, -16384, -2048, 16384, 16384, 2048);
    SceneGridSessionReset(gSceneGrid);
    SceneBuildErrorReset();
    RenderListReset();
    ItemTablesReset();
    SceneBoxReset();
    gBuildProgress = BuildProgress{};
    gRegionBorders.Clear();
    gPortalCount = 0;
    gWorld.sceneInstanceCount = 0;
  }
  void TearDown() override {
    GeometryBatchBufferClear(gGeometryBatchBuffer);
    GfxGlTest::TearDown();
  }
  std::uint32_t extensionWord_ = 0;
};

}  // namespace veskor::test
