// The render preparation's parts and the scene draw: the order of 8192 items along the sun;
// each environment stage's work (moons: one 64 x 64 planet; fog; sky: a 128-texel cube; the
// high clouds at 1024 texels and 128-texel faces; the low clouds, on boards with texture
// shaders); the copy of 32 MiB of vertices into the final storage; and a full-view frame of
// the sky passes at 800 x 600 on llvmpipe (LP_NUM_THREADS pinned to 2 unless set), the
// mirror views measured apart. Run with VESKOR_GL_COMPAT=0 for the board without the layer.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "environment/cloud_high.h"
#include "environment/cloud_low.h"
#include "environment/environment_params.h"
#include "environment/environment_state.h"
#include "environment/planets.h"
#include "environment/sky_model.h"
#include "environment/sky_passes.h"
#include "geometry/item_tables.h"
#include "geometry/portal.h"
#include "gfx/gl_capabilities.h"
#include "gfx/scene_grid.h"
#include "gfx/texture_names.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/offscreen.h"
#include "render/fog_texture.h"
#include "render/render_prepare.h"
#include "render/render_session.h"
#include "render/scene_draw.h"

#include "bench_gl.h"

namespace veskor {
namespace {

ViewPlane gPlane{nullptr, 800, 600, 0};

bool GlReady() {
  static int ready = -1;
  if (ready >= 0) return ready == 1;
  ready = BenchGlReady(&MainPlaneExtensionWord) ? 1 : 0;
  if (ready == 0) return false;
  SpatialGridInit(gSceneGrid, &gPlane, 1024, 1024, -16384, -16384, -2048, 16384, 16384, 2048);
  FullScreenMode = 0;
  WindowedWidth = 800;
  WindowedHeight = 600 + kMenuBarRows;
  EnvironmentBindings bindings;
  EnvironmentDefaults(bindings);
  NormalizeSunDirection();
  UpdateSkyTurbidity();
  FogRecompute();
  return true;
}

void BM_SortItemsAlongSun(benchmark::State& state) {
  constexpr std::uint32_t n = kItemMax, perItem = 16;
  std::vector<float> vertices(std::size_t{n} * perItem * 5);
  std::uint32_t seed = 1;
  for (float& v : vertices) v = float((seed = seed * 214013 + 2531011) >> 16 & 0xFFF);
  float* saved = gGeometryBatchBuffer.vertices;
  gGeometryBatchBuffer.vertices = vertices.data();
  for (std::uint32_t k = 0; k < n; ++k) {
    gItemBatchIndex[k] = k;
    gItemTargets[k] = nullptr;
    ItemDrawRecord& r = gBatchItemRecords[k];
    r = ItemDrawRecord{};
    r.format = 4;
    r.rangeCount = 1;
    r.mainRanges[0].firstFloat = k * perItem * 5;
    r.mainRanges[0].floatCount = perItem * 5;
  }
  gItemCount = n;
  const float sun[3] = {0.3f, 0.4f, -0.866f};
  for (auto _ : state) {
    SortItemsAlongSun(sun, ItemSunOrder);
    benchmark::DoNotOptimize(ItemSunOrder[0]);
  }
  gItemCount = 0;
  gGeometryBatchBuffer.vertices = saved;
}
BENCHMARK(BM_SortItemsAlongSun)->Unit(benchmark::kMillisecond);

void BM_StageMoons(benchmark::State& state) {
  if (!GlReady()) return state.SkipWithError("no GL");
  SceneTexture planet;
  const float u[3] = {1, 0, 0}, d[3] = {0, 1, 0}, v[3] = {0, 0, 1};
  for (auto _ : state) {
    Texture2DResize(planet.colour, 4, 6, 6);
    BuildPlanetTextures(planet, SunDirection, u, d, v);
  }
}
BENCHMARK(BM_StageMoons)->Unit(benchmark::kMillisecond);

void BM_StageFog(benchmark::State& state) {
  if (!GlReady()) return state.SkipWithError("no GL");
  for (auto _ : state) FogTextureFill();
}
BENCHMARK(BM_StageFog)->Unit(benchmark::kMillisecond);

void BM_StageSky(benchmark::State& state) {
  if (!GlReady()) return state.SkipWithError("no GL");
  for (auto _ : state) {
    TextureCubeResize(gSkyModel.cube, 3, 7);
    BuildSkyMap(gSkyModel, SunDirection, SkyModelTurbidity,
                RotationCacheGet(SkyParams.domeColorCorrection),
                RotationCacheGet(SkyParams.illuColorCorrection),
                RotationCacheGet(SunIlluColorCorrection));
  }
}
BENCHMARK(BM_StageSky)->Unit(benchmark::kMillisecond);

void BM_StageCloudsHigh(benchmark::State& state) {
  if (!GlReady()) return state.SkipWithError("no GL");
  const CloudHighParameters& p = CloudHighParams;
  for (auto _ : state)
    GenerateCloudHigh(gEnvironmentState, 10, 7, p.altitude, p.velocity, p.cloudClass, p.aspect,
                      p.coverage, SunDirection);
}
BENCHMARK(BM_StageCloudsHigh)->Unit(benchmark::kMillisecond);

void BM_StageCloudsLow(benchmark::State& state) {
  if (!GlReady()) return state.SkipWithError("no GL");
  if (HasExtension(kExtTextureShader) == 0) return state.SkipWithError("no texture shaders");
  const CloudLowParameters& p = CloudLowParams;
  const float area[4] = {-800, -800, 800, 800};
  for (auto _ : state)
    GenerateCloudLow(gEnvironmentState, area, p.altitude, p.velocity, std::uint32_t(p.cloudClass),
                     std::uint32_t(p.aspect), p.coverage, p.opacity, p.granularity, SunDirection);
}
BENCHMARK(BM_StageCloudsLow)->Unit(benchmark::kMillisecond);

void BM_FinalStorage32MiB(benchmark::State& state) {
  if (!GlReady()) return state.SkipWithError("no GL");
  for (auto _ : state) {
    state.PauseTiming();
    GeometryBatchBufferStartSession(gGeometryBatchBuffer, &MainPlaneExtensionWord);
    gGeometryBatchBuffer.floatCount = kBatchStagingVertexBytes / 4;
    for (std::uint32_t i = 0; i < kBatchStagingVertexBytes / 4; i += 1024)
      gGeometryBatchBuffer.vertices[i] = float(i);
    state.ResumeTiming();
    GeometryBatchBufferFinalize(gGeometryBatchBuffer);
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t{kBatchStagingVertexBytes});
}
BENCHMARK(BM_FinalStorage32MiB)->Unit(benchmark::kMillisecond);

// A prepared world of sky only (the object walks are not in yet), with one water mirror in
// view when `mirrors` is set.
void BM_SceneDrawFrame(benchmark::State& state) {
  if (!GlReady()) return state.SkipWithError("no GL");
  OffscreenBuffer* target = OffscreenCreate(800, 600);
  if (target == nullptr) return state.SkipWithError("no off-screen buffer");
  OffscreenMakeCurrent(target);
  glViewport(0, 0, 800, 600);
  RenderSessionInit(nullptr, 0.002f, nullptr, 0.002f, nullptr, 0.002f, nullptr, 0.002f, nullptr,
                    nullptr, 1, 1, nullptr, 0, 6, 0, 10);
  CloudLowParams.present = 0;
  RenderPrepare(nullptr);
  glViewport(0, 0, 800, 600);
  gPortalCount = state.range(0) != 0 ? 1 : 0;
  gPortals[0].visible = 1;
  Camera camera;
  CameraSetPosition(camera, 0, 0, 30);
  CameraSetDirection(camera, 0, 1, 0.2f);
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    CameraApply(camera);
    SceneDraw(&camera, 0, nullptr);
    CameraRestore(camera);
    glFinish();
  }
  gPortalCount = 0;
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  OffscreenRestoreWindow();
  OffscreenDestroy(target);
}
BENCHMARK(BM_SceneDrawFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace veskor
