// The low clouds' bake and queries, and the sun flare: the sun-view bake of the whole stage's
// layer (coverage 0.2 and 1.0, detail 1) into an off-screen buffer of 1024 x 800 split into
// the tiles with their read-back, the shadow filter and the light cubes; the per-frame puff
// update plus the sun's ray query at 512 puffs, through a thick cluster and missing every one;
// the flare of 16 elements per frame on llvmpipe, with its depth read. LP_NUM_THREADS is
// pinned to 2 unless set.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "environment/cloud_low.h"
#include "environment/environment_params.h"
#include "environment/environment_state.h"
#include "environment/lens_flare.h"
#include "environment/puff_ray_query.h"
#include "environment/sky_model.h"
#include "environment/sun_flare.h"
#include "environment/sun_view_bake.h"
#include "gfx/camera.h"
#include "gfx/face_directions.h"
#include "gfx/gl_capabilities.h"
#include "gfx/scene_grid.h"
#include "gfx/texture_names.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/offscreen.h"
#include "platform/random.h"

namespace veskor {
namespace {

constexpr float kSun[3] = {0.57735027f, 0.57735027f, -0.57735027f};
constexpr float kWind[2] = {2.0f, 1.0f};

bool GlReady() {
  static int ready = -1;
  if (ready >= 0) return ready == 1;
  setenv("LP_NUM_THREADS", "2", 0);
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == '\0') setenv("SDL_VIDEODRIVER", "offscreen", 0);
  GlWindow* window = GlWindowCreate(GlWindowDesc{});
  ready = window != nullptr && GlContextCreate(window, nullptr) != nullptr ? 1 : 0;
  InitKernelTable();
  BuildFaceDirectionTables();
  if (ready == 0) return false;
  LoadWglExtensions();
  LoadGlExtensions();
  InitTextureNames();
  return true;
}

// The stage's layer over the program's scene grid, cumulus at opacity 0.5, from seed 1.
std::unique_ptr<EnvironmentState> Layer(float coverage) {
  const float box[6] = {-16384, -16384, -2048, 16384, 16384, 2048};
  std::copy(box, box + 6, gSceneGrid.worldBox);
  CloudLowDetail = 1.0f;
  auto environment = std::make_unique<EnvironmentState>();
  RandomSeed(1);
  GenerateCloudLow(*environment, 1500.0f, kWind, 1, 1, coverage, 0.5f, 0.3f, kSun);
  return environment;
}

// Arguments: coverage in percent; part 0 the tiles with their read-back, 1 the shadow filter,
// 2 the light cubes.
void BM_BakePuffViews(benchmark::State& state) {
  if (!GlReady()) {
    state.SkipWithError(GlLastError());
    return;
  }
  OffscreenBuffer* buffer = OffscreenCreate(1024, 800);
  if (buffer == nullptr) {
    state.SkipWithError("no off-screen buffer");
    return;
  }
  OffscreenMakeCurrent(buffer);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  auto environment = Layer(static_cast<float>(state.range(0)) / 100.0f);
  CloudLowLayer& layer = environment->cloudLow;
  RenderSunDepthAtlas(layer, kSun);
  const float light[3] = {1.0f, 0.9f, 0.75f}, dark[3] = {0.5f, 0.45f, 0.58f};
  for (auto _ : state) {
    switch (state.range(1)) {
      case 0: RenderSunDepthAtlas(layer, kSun); break;
      case 1: ShadowFilter(layer); break;
      default: LightPuffCubes(layer, light, dark); break;
    }
  }
  state.counters["puffs"] = layer.puffCount;
  state.SetLabel(state.range(1) == 0 ? "tiles" : state.range(1) == 1 ? "filter" : "light cubes");
  EnvironmentResetCloudLow(*environment, 0.0f, kWind);
  TexturePixelsRelease(layer.depthAtlas);
  TexturePixelsRelease(layer.shadowRaster);
  glDisable(GL_DEPTH_TEST);
  OffscreenRestoreWindow();
  OffscreenDestroy(buffer);
}
BENCHMARK(BM_BakePuffViews)
    ->ArgNames({"coverage", "part"})
    ->ArgsProduct({{20, 100}, {0, 1, 2}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Argument: 1 a ray up through the middle of the first cluster, 0 a ray that misses them all.
void BM_UpdatePuffBoundsAndRayQuery(benchmark::State& state) {
  GlReady();
  auto environment = Layer(1.0f);
  CloudLowLayer& layer = environment->cloudLow;
  const CloudCluster& cluster = layer.clusters[0];
  Camera camera;
  const float up[3] = {0.2f, 0.1f, 1.0f};
  const float n = std::sqrt(1.05f);
  const float light[3] = {-up[0] / n, -up[1] / n, -up[2] / n};
  for (int a = 0; a < 3; ++a)
    camera.position[a] = state.range(0) != 0 ? cluster.centre[a] + 3000.0f * light[a] : 1e5f;
  float occlusion = 0;
  for (auto _ : state) {
    SetCloudLowParams(layer, 120.0f, 80.0f, 0.0f);
    UpdatePuffBounds(layer);
    occlusion = RayQueryPuffs(layer, camera, light);
    benchmark::DoNotOptimize(occlusion);
  }
  state.counters["puffs"] = layer.puffCount;
  state.counters["occlusion"] = occlusion;
  EnvironmentResetCloudLow(*environment, 0.0f, kWind);
}
BENCHMARK(BM_UpdatePuffBoundsAndRayQuery)
    ->ArgName("through")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMicrosecond);

// The 16 elements of the program's flare with 128 x 128 images, the sun on screen, into a
// buffer of 1024 x 768.
void BM_SunFlare(benchmark::State& state) {
  if (!GlReady()) {
    state.SkipWithError(GlLastError());
    return;
  }
  OffscreenBuffer* buffer = OffscreenCreate(1024, 768);
  if (buffer == nullptr) {
    state.SkipWithError("no off-screen buffer");
    return;
  }
  OffscreenMakeCurrent(buffer);
  for (FloatTexture2D& image : LensFlareImages) {
    FloatTexture2DRealloc(image, 1, 7, 7);
    float* t = static_cast<float*>(image.pixels.data);
    for (int i = 0; i < 128 * 128; ++i) t[i] = static_cast<float>(i % 128) / 128.0f;
  }
  std::copy(kLensFlareTable, kLensFlareTable + 16, LensFlareElements.elements);
  LensFlareElements.count = 16;
  SunLightColour[0] = SunLightColour[1] = SunLightColour[2] = 1.0f;
  SunDirection[0] = -0.2f, SunDirection[1] = -1.0f, SunDirection[2] = -0.3f;
  Camera camera;
  CameraInit(camera, nullptr);
  CameraSetPosition(camera, 0, 0, 50);
  CameraSetDirection(camera, 0, 1, 0.3f);
  CameraApply(camera);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  for (auto _ : state) {
    DrawSunFlare(camera, 0.2f);
    glFinish();
  }
  CameraRestore(camera);
  glDisable(GL_FOG);
  LensFlareElements.count = 0;
  OffscreenRestoreWindow();
  OffscreenDestroy(buffer);
}
BENCHMARK(BM_SunFlare)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskor
