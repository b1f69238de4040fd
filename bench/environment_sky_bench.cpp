// The sky passes on llvmpipe, per frame, in an off-screen buffer of 1024 x 768 and of
// 1920 x 1080: the dome and the high cloud layer apart, with the compatibility layer on (the
// four-unit cloud pass, code 5) and off (codes 3 and 4). The sky cube and the cloud textures
// are those of the default environment. LP_NUM_THREADS is pinned to 2 unless set.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench_gl.h"
#include "environment/cloud_high.h"
#include "environment/environment_params.h"
#include "environment/environment_state.h"
#include "environment/sky_model.h"
#include "environment/sky_passes.h"
#include "gfx/camera.h"
#include "gfx/gl_capabilities.h"
#include "platform/gl.h"
#include "platform/gl_compat/gl_compat.h"
#include "platform/gl_context.h"
#include "platform/offscreen.h"

namespace veskor {
namespace {

// The context and the environment textures, made once for the whole run.
bool SkyContext() {
  static int ready = -1;
  if (ready >= 0) return ready == 1;
  ready = BenchGlReady() ? 1 : 0;
  if (ready == 0) return false;
  EnvironmentBindings bindings{};
  EnvironmentDefaults(bindings);
  NormalizeSunDirection();
  UpdateSkyTurbidity();
  TextureCubeResize(gSkyModel.cube, 3, 7);
  BuildSkyMap(
      gSkyModel, SunDirection, SkyModelTurbidity, RotationCacheGet(SkyParams.domeColorCorrection),
      RotationCacheGet(SkyParams.illuColorCorrection), RotationCacheGet(SunIlluColorCorrection));
  const CloudHighParameters& c = CloudHighParams;
  GenerateCloudHigh(gEnvironmentState, 10, 7, c.altitude, c.velocity, c.cloudClass, c.aspect,
                    c.coverage, SunDirection);
  Texture2DSetFilter(gEnvironmentState.highCloudTexture, kFilterTrilinear);
  Texture2DSetWrap(gEnvironmentState.highCloudTexture, kWrapRepeatS | kWrapRepeatT);
  TextureCubeSetFilter(gEnvironmentState.cloudCube, kFilterTrilinear);
  gEnvironmentState.highOffset[0] = 120.0f;
  gEnvironmentState.highOffset[1] = 80.0f;
  return true;
}

// Arguments: width, height, compatibility layer on, 0 the dome or 1 the cloud layer passes.
void BM_SkyPasses(benchmark::State& state) {
  if (!SkyContext()) {
    state.SkipWithError(GlLastError());
    return;
  }
  const bool layer = state.range(2) != 0, clouds = state.range(3) != 0;
  GlCompatSetEnabled(layer);
  LoadWglExtensions();
  LoadGlExtensions();
  BuildSkyPassList(kSkyFlagDome | kSkyFlag2 | kSkyFlagCloudLayer);
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  OffscreenBuffer* buffer = OffscreenCreate(width, height);
  if (buffer == nullptr) {
    state.SkipWithError("no off-screen buffer");
    return;
  }
  OffscreenMakeCurrent(buffer);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  Camera camera;
  CameraInit(camera, nullptr);
  CameraSetPosition(camera, 0, 0, 50);
  CameraSetDirection(camera, 0, 1, 0.3f);
  CameraApply(camera);
  for (auto _ : state) {
    for (std::uint32_t i = 0; i < gSkyPassList.count; ++i)
      if ((gSkyPassList.entries[i].code == kSkyPassDome) != clouds) DrawSkyLayer(camera, i);
    glFinish();
  }
  CameraRestore(camera);
  glDisable(GL_DEPTH_TEST);
  OffscreenRestoreWindow();
  OffscreenDestroy(buffer);
  state.SetLabel(layer ? "layer on" : "layer off");
}
BENCHMARK(BM_SkyPasses)
    ->ArgNames({"w", "h", "layer", "clouds"})
    ->Args({1024, 768, 1, 0})
    ->Args({1024, 768, 1, 1})
    ->Args({1024, 768, 0, 0})
    ->Args({1024, 768, 0, 1})
    ->Args({1920, 1080, 1, 0})
    ->Args({1920, 1080, 1, 1})
    ->Args({1920, 1080, 0, 0})
    ->Args({1920, 1080, 0, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskor
