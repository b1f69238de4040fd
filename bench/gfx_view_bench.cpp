// The per-frame view work of the graphics core: box tests against a camera's view volume, and
// a front-to-back walk of the scene grid that tests every occupied cell and visits the items
// of the visible fine cells, as the scene draw does. The grid has the start-up size; items are
// boxes of 20 to 60 units spread over the world, 4096 or 8192 of them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "gfx/camera.h"
#include "gfx/scene_grid.h"
#include "gfx/scene_grid_walk.h"
#include "gfx/view_volume.h"
#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Camera ViewOverTheWorld() {
  InitKernelTable();
  Camera camera;
  CameraSetPosition(camera, -2000, -3000, 300);
  CameraSetDirection(camera, 0.6f, 0.8f, -0.1f);
  camera.depth = 12000;
  camera.aspect = 4.0f / 3;
  CameraFrustumFromMatrices(camera, kIdentity, kIdentity);
  return camera;
}

// A reproducible spread of boxes: x and y over the world, z near the ground.
std::vector<SceneGridItem> Items(std::uint32_t n) {
  std::vector<SceneGridItem> items(n);
  std::uint32_t seed = 12345;
  auto next = [&seed](float lo, float hi) {
    seed = seed * 214013 + 2531011;
    return lo + (hi - lo) * static_cast<float>((seed >> 16) & 0x7FFF) / 32767.0f;
  };
  for (SceneGridItem& item : items) {
    const float x = next(-16000, 16000), y = next(-16000, 16000), z = next(-200, 400);
    const float s = next(20, 60);
    const float box[6] = {x, x + s, y, y + s, z, z + s};
    std::copy(box, box + 6, item.box);
  }
  return items;
}

void ViewVolumeBoxes(benchmark::State& state) {
  const Camera camera = ViewOverTheWorld();
  const std::vector<SceneGridItem> items = Items(static_cast<std::uint32_t>(state.range(0)));
  for (auto _ : state) {
    std::uint32_t visible = 0;
    for (const SceneGridItem& item : items) {
      const float* b = item.box;
      visible += ViewVolumeTestBox(camera, b[0], b[2], b[4], b[1], b[3], b[5]);
    }
    benchmark::DoNotOptimize(visible);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ViewVolumeBoxes)->Arg(4096)->Arg(8192);

void SceneGridViewWalk(benchmark::State& state) {
  const Camera camera = ViewOverTheWorld();
  std::vector<SceneGridItem> items = Items(static_cast<std::uint32_t>(state.range(0)));
  SceneGrid grid;
  SceneGridInit(grid);
  SpatialGridInit(grid, nullptr, 1024, 1024, -16384, -16384, -2048, 16384, 16384, 2048);
  for (SceneGridItem& item : items) {
    const float* b = item.box;
    SceneGridRegister(grid, &item, b[0], b[2], b[4], b[1], b[3], b[5]);
  }
  for (auto _ : state) {
    SceneGridWalk walks[3];
    for (SceneGridWalk& w : walks) {
      SceneGridSetWalkOrder(w, camera.direction[0], camera.direction[1], camera.direction[2]);
    }
    std::uint32_t drawn = 0;
    float box[6];
    auto visible = [&](const float* b) {
      return ViewVolumeTestBox(camera, b[0], b[1], b[2], b[3], b[4], b[5]) != 0;
    };
    for (SceneGridBeginWalk(walks[0], grid); !SceneGridWalkFinished(walks[0]);
         SceneGridWalkStep(walks[0])) {
      if (SceneGridCell(grid.coarse, walks[0])->empty != 0) continue;
      SceneGridReadCell(grid, walks[0], box);
      if (!visible(box)) continue;
      for (SceneGridBeginWalk2(walks[1], walks[0]); !SceneGridWalkFinished(walks[1]);
           SceneGridWalkStep(walks[1])) {
        if (SceneGridCell(grid.middle, walks[1])->empty != 0) continue;
        SceneGridReadCell2(grid, walks[1], box);
        if (!visible(box)) continue;
        for (SceneGridBeginWalk2(walks[2], walks[1]); !SceneGridWalkFinished(walks[2]);
             SceneGridWalkStep(walks[2])) {
          const ItemCell* cell = SceneGridCellExt(grid, walks[2]);
          if (cell->empty != 0 || !visible(cell->box)) continue;
          const ItemNode* node = cell->first;
          for (std::uint32_t i = 0; i < cell->itemCount; ++i, node = ItemNodeNext(node)) {
            const float* b = node->item->box;
            drawn += ViewVolumeTestBox(camera, b[0], b[2], b[4], b[1], b[3], b[5]);
          }
        }
      }
    }
    benchmark::DoNotOptimize(drawn);
  }
  SceneGridRelease(grid);
}
BENCHMARK(SceneGridViewWalk)->Arg(4096)->Arg(8192);

}  // namespace
}  // namespace veskor
