// The per-frame drawing of the low clouds and the planets: the sorted list of the slices of 512
// puffs (3072 nodes), the whole puff draw and the light shafts of the low-cloud stage's layer
// at coverage 1 on llvmpipe through the compatibility layer's texture shaders, the planet bake of
// a 512 x 512 image with its uploads, and 8 planets drawn, each frame into a buffer of
// 1024 x 768. LP_NUM_THREADS is pinned to 2 unless set.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "bench_gl.h"
#include "environment/cloud_low.h"
#include "environment/environment_params.h"
#include "environment/environment_state.h"
#include "environment/lens_flare.h"
#include "environment/light_shafts.h"
#include "environment/planets.h"
#include "environment/puff_drawing.h"
#include "environment/puff_ray_query.h"
#include "environment/sky_model.h"
#include "gfx/camera.h"
#include "gfx/geometry_batch_draw.h"
#include "gfx/gl_capabilities.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/offscreen.h"
#include "platform/random.h"

namespace veskor {
namespace {

constexpr float kSun[3] = {0.57735027f, 0.57735027f, -0.57735027f};
constexpr float kWind[2] = {2.0f, 1.0f};

std::uint32_t gExtensionWord = 0;

bool GlReady() { return BenchGlReady(&gExtensionWord); }

// The low-cloud stage's layer at coverage 1 over a scene of 32768 x 32768, cumulus at opacity
// 0.5, from seed 1 (474 puffs), their cubes uploaded, the puff meshes in the batch buffer.
std::unique_ptr<EnvironmentState> FullLayer() {
  const float area[4] = {-16384, -16384, 16384, 16384};
  CloudLowDetail = 1.0f;
  auto environment = std::make_unique<EnvironmentState>();
  RandomSeed(1);
  GenerateCloudLow(*environment, area, 1500.0f, kWind, 1, 1, 1.0f, 0.5f, 0.3f, kSun);
  GeometryBatchBufferStartSession(gGeometryBatchBuffer, &gExtensionWord);
  BuildPuffMeshes(gPuffMeshSet, gGeometryBatchBuffer);
  GeometryBatchBufferFinalize(gGeometryBatchBuffer);
  return environment;
}

// Looking down from high above: every puff in view.
Camera Overhead() {
  static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  Camera camera;
  CameraSetPosition(camera, 0, 1, 60000);
  CameraSetDirection(camera, 0, 0.001f, -1);
  camera.depth = 100000;
  CameraFrustumFromMatrices(camera, identity, identity);
  return camera;
}

// Standing under the layer's edge, looking across it towards the sun.
Camera Ground() {
  Camera camera;
  CameraInit(camera, nullptr);
  CameraSetPosition(camera, -18000, -18000, 200);
  CameraSetDirection(camera, 1, 1, 0.15f);
  camera.depth = 60000;
  return camera;
}

// 512 puffs on a grid of 32 x 16 over the scene, radius 600 to 1000 at 1200 to 1800 high (no
// cubes: the list does not read them).
std::unique_ptr<EnvironmentState> GridLayer() {
  auto environment = std::make_unique<EnvironmentState>();
  CloudLowLayer& layer = environment->cloudLow;
  RandomSeed(1);
  const auto draw = [] { return static_cast<float>(RandomNext()) / 32767.0f; };
  for (std::uint32_t i = 0; i < kMaxCloudPuffs; ++i) {
    CloudPuff& puff = layer.puffs[layer.puffCount++];
    const float centre[3] = {-16000.0f + 1000.0f * static_cast<float>(i % 32) + 300.0f * draw(),
                             -8000.0f + 1000.0f * static_cast<float>(i / 32) + 300.0f * draw(),
                             1200.0f + 600.0f * draw()};
    std::copy(centre, centre + 3, puff.centre);
    puff.radius = 600.0f + 400.0f * draw();
    puff.halfHeight = 300.0f;
    puff.opacityFactor = 0.014f;
    for (int a = 0; a < 3; ++a) {
      const float half = a < 2 ? puff.radius : puff.halfHeight;
      puff.bounds[2 * a] = centre[a] - half, puff.bounds[2 * a + 1] = centre[a] + half;
    }
  }
  return environment;
}

void BM_BuildVisiblePuffList(benchmark::State& state) {
  GlReady();
  GeometryBatchBufferStartSession(gGeometryBatchBuffer, &gExtensionWord);
  BuildPuffMeshes(gPuffMeshSet, gGeometryBatchBuffer);
  auto environment = GridLayer();
  CloudLowLayer& layer = environment->cloudLow;
  const Camera camera = Overhead();
  std::uint32_t nodes = 0;
  for (auto _ : state) benchmark::DoNotOptimize(nodes = BuildVisiblePuffList(layer, camera));
  state.counters["puffs"] = layer.puffCount;
  state.counters["nodes"] = nodes;
  layer.puffCount = 0;
}
BENCHMARK(BM_BuildVisiblePuffList)->Unit(benchmark::kMicrosecond);

// Runs `frame` into a buffer of 1024 x 768 with the ground camera applied.
template <typename Frame>
void DrawFrames(benchmark::State& state, const Camera& ground, Frame frame) {
  OffscreenBuffer* buffer = OffscreenCreate(1024, 768);
  if (buffer == nullptr) {
    state.SkipWithError("no off-screen buffer");
    return;
  }
  OffscreenMakeCurrent(buffer);
  Camera camera = ground;
  CameraSetFullViewport(camera);
  CameraApply(camera);
  glClearColor(0.3f, 0.5f, 0.8f, 1.0f);
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    frame(camera);
    glFinish();
  }
  CameraRestore(camera);
  OffscreenRestoreWindow();
  OffscreenDestroy(buffer);
}

void BM_DrawCloudPuffs(benchmark::State& state) {
  if (!GlReady() || HasExtension(kExtTextureShader) == 0) {
    state.SkipWithError("no texture shaders");
    return;
  }
  auto environment = FullLayer();
  std::uint32_t slices = 0;
  EnableVertexArrays(gGeometryBatchBuffer);
  DrawFrames(state, Ground(), [&](const Camera& camera) {
    UpdatePuffBounds(environment->cloudLow);
    slices = DrawCloudPuffs(*environment, camera, 0);
  });
  DisableVertexArrays(gGeometryBatchBuffer);
  state.counters["slices"] = slices;
  EnvironmentResetCloudLow(*environment, 0.0f, kWind);
}
BENCHMARK(BM_DrawCloudPuffs)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_DrawLightShafts(benchmark::State& state) {
  if (!GlReady()) {
    state.SkipWithError(GlLastError());
    return;
  }
  auto environment = FullLayer();
  FloatTexture2DRealloc(LightRayTexture, 1, 7, 7);
  auto* ray = static_cast<float*>(LightRayTexture.pixels.data);
  for (int i = 0; i < 128 * 128; ++i) ray[i] = static_cast<float>(i % 128) / 128.0f;
  LightShaftParams = {0.005f, 0.8f, 2500.0f};
  std::uint32_t segments = 0;
  for (std::uint32_t i = 0; i < environment->cloudLow.puffCount; ++i)
    segments += environment->cloudLow.puffs[i].shaftSegments.count / 10;
  const float light[3] = {-kSun[0], -kSun[1], -kSun[2]};
  const float colour[3] = {1.0f, 0.9f, 0.75f};
  DrawFrames(state, Ground(), [&](const Camera& camera) {
    UpdatePuffBounds(environment->cloudLow);
    DrawLightShafts(environment->cloudLow, camera, light, colour);
  });
  state.counters["segments"] = segments;
  EnvironmentResetCloudLow(*environment, 0.0f, kWind);
}
BENCHMARK(BM_DrawLightShafts)->UseRealTime()->Unit(benchmark::kMillisecond);

// A planet of 2^level x 2^level texels of a colour ramp with a round mask.
void PaintPlanet(SceneTexture& planet, std::uint32_t level) {
  Texture2DResize(planet.colour, 4, level, level);
  auto* t = static_cast<std::uint8_t*>(TextureData(planet.colour));
  const std::uint32_t n = 1u << level;
  for (std::uint32_t j = 0; j < n; ++j)
    for (std::uint32_t i = 0; i < n; ++i, t += 4) {
      t[0] = static_cast<std::uint8_t>(i * 255 / n), t[1] = static_cast<std::uint8_t>(j * 255 / n);
      t[2] = 128,
      t[3] = (i - n / 2) * (i - n / 2) + (j - n / 2) * (j - n / 2) < n * n / 4 ? 0 : 255;
    }
  planet.brightness = 1.4f, planet.intensity = 0.1f, planet.ringSize = 0.2f;
  planet.fadeNight = 0.3f, planet.fadeDay = 1.0f;
  planet.angularSize = 4.0f;
}

void BM_BuildPlanetTextures(benchmark::State& state) {
  if (!GlReady()) {
    state.SkipWithError(GlLastError());
    return;
  }
  SceneTexture planet;
  PaintPlanet(planet, 9);
  const float direction[3] = {0.48f, 0.6f, 0.64f};
  std::copy(direction, direction + 3, planet.direction);
  float u[3], d[3], v[3];
  PlanetGroupFrame(direction, u, d, v);
  for (auto _ : state) {
    BuildPlanetTextures(planet, kSun, u, d, v);
    glFinish();
  }
}
BENCHMARK(BM_BuildPlanetTextures)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_DrawPlanets(benchmark::State& state) {
  if (!GlReady()) {
    state.SkipWithError(GlLastError());
    return;
  }
  const Camera ground = Ground();
  SceneTexture planets[kPlanetGroupCapacity];
  PlanetGroup group{};
  for (std::uint32_t k = 0; k < kPlanetGroupCapacity; ++k) {
    SceneTexture& p = planets[k];
    PaintPlanet(p, 8);
    const float spread = 0.04f * static_cast<float>(k) - 0.14f;
    float dir[3] = {ground.direction[0] + spread, ground.direction[1] - spread,
                    ground.direction[2] + 0.1f};
    gKernelTable.KernelNormalize3(dir);
    std::copy(dir, dir + 3, p.direction);
    group.planets[group.count++] = &p;
    for (int a = 0; a < 3; ++a) group.direction[a] += dir[a];
  }
  gKernelTable.KernelNormalize3(group.direction);
  float u[3], d[3], v[3];
  PlanetGroupFrame(group.direction, u, d, v);
  for (SceneTexture& p : planets) BuildPlanetTextures(p, kSun, u, d, v);
  DrawFrames(state, ground, [&](const Camera& camera) { DrawPlanets(group, camera); });
  state.counters["planets"] = group.count;
}
BENCHMARK(BM_DrawPlanets)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskor
