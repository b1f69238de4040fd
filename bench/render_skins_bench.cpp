// The three skin stages of the render preparation on a built world: a height field of 33 x 33
// samples cut by the scene build into 64 patches with a Surface, and 100 capped model
// instances (cylinders) with it; "Shaders / Skins Generate", "Shaders / Skins Connect" and
// "Shaders / Render" each timed over the whole world (ms per run, seconds per item). The world
// is built again, untimed, before every run. Run with VESKOR_GL_COMPAT=0 for the board
// without the layer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "compile_driver.h"
#include "environment/environment_params.h"
#include "geometry/build_progress.h"
#include "geometry/geometry_test_support.h"
#include "geometry/item_images.h"
#include "geometry/item_tables.h"
#include "geometry/path_set.h"
#include "geometry/portal.h"
#include "geometry/region_borders.h"
#include "geometry/scene_build.h"
#include "geometry/scene_build_error.h"
#include "geometry/scene_objects.h"
#include "geometry/skin_work_maps.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_names.h"
#include "gfx/scene_grid.h"
#include "mapengine/kernel_table.h"
#include "render/render_prepare.h"
#include "render/render_session.h"
#include "render/renderer_globals.h"
#include "render/skin_stages.h"
#include "support/gl_test_fixture.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

std::uint32_t gExtensionWord = 0;

std::string BenchWorld() {
  std::string objects = "Object {";
  for (int k = 0; k < 100; ++k)
    objects += " Cylinder ( [" + std::to_string(6 * (k % 10) + 2) + " " +
               std::to_string(6 * (k / 10) + 2) + " 30] )";
  return "Surface s() { =(diffuse, normal) =(specular, 0.2) =(shininess, 8) }\n"
         "HeightField ground { BBox { [0 0 0] [64 64 20] } Layer { fractal(3 [0.05 2 0.8]) } }\n"
         "Object { ground s() }\n" +
         objects + " s() }\n";
}

bool Ready(benchmark::State& state) {
  static const bool filled = (InitKernelTable(), true);
  (void)filled;
  static test::TempDir dir("veskor_skins_bench");
  static const int parsed = test::RunCompileSession(dir.Write("world.wld", BenchWorld())).result;
  GlProbe& probe = test::GlTestContext();
  if (probe.context == nullptr || !GlMakeCurrent(probe.window, probe.context) || parsed != 1) {
    state.SkipWithError("no GL context or the world does not parse");
    return false;
  }
  static const bool loaded = (LoadWglExtensions(), MainPlaneExtensionWord = LoadGlExtensions(),
                              TextureNameTableCount == 0 ? InitTextureNames() : void(), true);
  (void)loaded;
  return true;
}

// Everything of the last run released, the world built again, the stages before `stage` run.
bool Rebuild(std::uint32_t stage) {
  for (std::uint32_t i = 0; i < gItemCount; ++i) {
    PathSetFree(gItemPathSets.sets[i]);
    ReleaseSkinMapSet(gSkinWork.records[i]);
    ReleaseSkinGrids(gSkinSlots[i]);
  }
  WorldSetExtent(gWorld, -800, -800, -400, 800, 800, 400, 0.5f, 0.25f, 0.5f, 0.5f);
  test::FillSessionRanges(gWorld);
  GeometryBatchBufferStartSession(gGeometryBatchBuffer, &gExtensionWord);
  if (gSceneGrid.fine.cells == nullptr)
    SpatialGridInit(gSceneGrid, nullptr, 1024, 1024, -16384, -16384, -2048, 16384, 16384, 2048);
  SceneGridSessionReset(gSceneGrid);
  SceneBuildErrorReset();
  ItemTablesReset();
  ItemImagesReset();
  SceneBoxReset();
  gBuildProgress = BuildProgress{};
  gRegionBorders.Clear();
  gPortalCount = 0;
  gWorld.sceneInstanceCount = 0;
  if (SceneBuild(gWorld) == 0) return false;
  SunDirection[0] = 0.6f, SunDirection[1] = 0, SunDirection[2] = -0.8f;
  if (stage > 0)
    for (std::uint32_t i = 0; i < gItemCount; ++i) GenerateItemSkin(i);
  if (stage > 1)
    for (std::uint32_t k = 0; k < gRegionBorders.size(); ++k) ConnectItemSkins(gRegionBorders[k]);
  return true;
}

void Count(benchmark::State& state, double items) {
  state.counters["items"] = items / static_cast<double>(state.iterations());
  state.counters["s_per_item"] =
      benchmark::Counter(items, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SkinsGenerate(benchmark::State& state) {
  if (!Ready(state)) return;
  double items = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!Rebuild(0)) state.SkipWithError(gSceneBuildError.message);
    state.ResumeTiming();
    for (std::uint32_t i = 0; i < gItemCount; ++i) GenerateItemSkin(i);
    items += gItemCount;
  }
  Count(state, items);
}
BENCHMARK(BM_SkinsGenerate)->Name("Shaders / Skins Generate")->Unit(benchmark::kMillisecond);

void BM_SkinsConnect(benchmark::State& state) {
  if (!Ready(state)) return;
  double items = 0;
  FxExecContext shared;
  for (auto _ : state) {
    state.PauseTiming();
    if (!Rebuild(1)) state.SkipWithError(gSceneBuildError.message);
    state.ResumeTiming();
    for (std::uint32_t k = 0; k < gRegionBorders.size(); ++k) ConnectItemSkins(gRegionBorders[k]);
    if (RunSharedFxCalls(shared, gParseStore) == 0) state.SkipWithError(FxErrorText);
    items += gItemCount;
  }
  Count(state, items);
}
BENCHMARK(BM_SkinsConnect)->Name("Shaders / Skins Connect")->Unit(benchmark::kMillisecond);

void BM_Render(benchmark::State& state) {
  if (!Ready(state)) return;
  double items = 0;
  FxExecContext item;
  Pbuffer pbuffer{};
  PatchBorderList borders{};
  for (auto _ : state) {
    state.PauseTiming();
    if (!Rebuild(2)) state.SkipWithError(gSceneBuildError.message);
    PatchBorderListReserve(borders, kItemMax, 1u << 20);
    SortItemsAlongSun(SunDirection, ItemSunOrder);
    RenderItemContext context{&item,    &gParseStore, &borders, &pbuffer,
                              RenderPrepareBuildStatics().shadowCamera, nullptr, 0};
    state.ResumeTiming();
    for (std::uint32_t k = 0; k < gItemCount; ++k)
      if (RenderItem(ItemSunOrder[k], context) == 0) state.SkipWithError(FxErrorText);
    items += gItemCount;
    state.PauseTiming();
    PatchBorderListRelease(borders);
    state.ResumeTiming();
  }
  Count(state, items);
}
BENCHMARK(BM_Render)->Name("Shaders / Render")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskor
