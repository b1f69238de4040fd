// The water mirrors and surfaces in a buffer of 800 x 600 on llvmpipe (LP_NUM_THREADS pinned to
// 2 unless set): one mirror view (begin, an empty scene, copy) at portal detail 0.25, 0.5 and
// 1, DrawWaterSurface per portal (texture-shader path with the layer on, plain path with
// VESKOR_GL_COMPAT=0), and building the wave texture (513 x 513 samples of 3 octaves).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "gfx/gl_capabilities.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/offscreen.h"
#include "render/water_mirror.h"
#include "render/water_surface.h"

#include "bench_gl.h"

namespace veskor {
namespace {

Portal gBenchPortal;

bool GlReady() {
  static int ready = -1;
  if (ready >= 0) return ready == 1;
  ready = BenchGlReady() ? 1 : 0;
  if (ready == 0) return false;
  Portal& p = gBenchPortal;
  p.corner0[0] = -10, p.corner0[1] = -10, p.corner0[2] = 0;
  p.corner1[0] = 10, p.corner1[1] = 10, p.corner1[2] = 0;
  p.bumpScale = 0.5f;
  p.colour[0] = 0.5f, p.colour[1] = 0.6f, p.colour[2] = 0.7f;
  Texture2DResize(p.reflection, 4, kPortalTextureLog2Size, kPortalTextureLog2Size);
  Texture2DBind(p.reflection, kModeKeepEnvironment, 0);
  for (FloatTexture2D* t : {&p.readBack[0], &p.readBack[1]}) FloatTexture2DRealloc(*t, 4, 2, 2);
  return true;
}

struct Target {
  OffscreenBuffer* buffer = OffscreenCreate(800, 600);
  Camera view;
  Target() {
    OffscreenMakeCurrent(buffer);
    glViewport(0, 0, 800, 600);
    glEnable(GL_DEPTH_TEST);
    CameraInit(view, nullptr);
    CameraSetPosition(view, 0, -40, 15);
    CameraSetDirection(view, 0, 1, -0.3f);
    CameraApply(view);
  }
  ~Target() {
    CameraRestore(view);
    OffscreenRestoreWindow();
    OffscreenDestroy(buffer);
  }
};

void BM_MirrorView(benchmark::State& state) {
  if (!GlReady()) return state.SkipWithError("no GL context");
  Target target;
  PortalDetail = static_cast<float>(state.range(0)) / 100;
  for (auto _ : state) {
    PortalBeginView(gBenchPortal, &target.view);
    PortalOverlay(gBenchPortal);
    PortalCopyTexture(gBenchPortal);
    glFinish();
  }
}
BENCHMARK(BM_MirrorView)->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DrawWaterSurface(benchmark::State& state) {
  if (!GlReady()) return state.SkipWithError("no GL context");
  Target target;
  PortalDetail = 0.5f;
  PortalBeginView(gBenchPortal, &target.view);
  PortalCopyTexture(gBenchPortal);
  DrawWaterSurface(gBenchPortal);  // builds the wave texture on the offset path
  for (auto _ : state) {
    DrawWaterSurface(gBenchPortal);
    glFinish();
  }
  state.SetLabel(HasExtension(kExtTextureShader) != 0 ? "offset path" : "plain path");
}
BENCHMARK(BM_DrawWaterSurface)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BuildWaveTexture(benchmark::State& state) {
  if (!GlReady()) return state.SkipWithError("no GL context");
  for (auto _ : state) WaterPassTextureBuild();
}
BENCHMARK(BM_BuildWaveTexture)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskor
