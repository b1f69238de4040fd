// The low clouds' bake, sources, upload and queries, the puff meshes and the sun flare: the
// sun-view bake of the whole stage's layer (coverage 0.2 and 1.0, detail 1) into an off-screen
// buffer of 1024 x 800 split into the tiles with their read-back, the shadow filter and the
// light cubes; one puff's light-shaft sources and its cube upload by cube level; the eight puff
// mesh levels; the per-frame puff update plus the sun's ray query at 512 puffs, through a thick
// cluster and missing every one; the flare of 16 elements per frame on llvmpipe, with its depth
// read. LP_NUM_THREADS is pinned to 2 unless set.
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
#include "environment/puff_cube_upload.h"
#include "environment/puff_field.h"
#include "environment/puff_meshes.h"
#include "environment/puff_ray_query.h"
#include "environment/shaft_segments.h"
#include "environment/sky_model.h"
#include "environment/sun_flare.h"
#include "environment/sun_view_bake.h"
#include "gfx/camera.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/gl_capabilities.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/offscreen.h"
#include "platform/random.h"

namespace veskor {
namespace {

constexpr float kSun[3] = {0.57735027f, 0.57735027f, -0.57735027f};
constexpr float kWind[2] = {2.0f, 1.0f};

// The stage's layer over a scene of 32768 x 32768, cumulus at opacity 0.5, from seed 1.
std::unique_ptr<EnvironmentState> Layer(float coverage) {
  const float area[4] = {-16384, -16384, 16384, 16384};
  CloudLowDetail = 1.0f;
  auto environment = std::make_unique<EnvironmentState>();
  RandomSeed(1);
  GenerateCloudLow(*environment, area, 1500.0f, kWind, 1, 1, coverage, 0.5f, 0.3f, kSun);
  // With a GL context the stage uploads the light cubes and frees their faces: the bake's
  // parts need them back.
  CloudLowLayer& layer = environment->cloudLow;
  for (std::uint32_t i = 0; i < layer.puffCubeCount; ++i)
    if (layer.puffCubes[i].lightCube.faces[0].data == nullptr)
      TextureCubeResize(layer.puffCubes[i].lightCube, 3,
                        layer.puffCubes[i].shapeCube.faces[0].log2Width);
  return environment;
}

// A layer of one puff of radius 600 and half height 400 with a noise-shaped cube of the level
// and a light cube brighter than 1 everywhere (the CloudLow light colour): every texel of its
// rim is a light-shaft candidate.
std::unique_ptr<EnvironmentState> OnePuff(std::uint32_t level) {
  auto environment = std::make_unique<EnvironmentState>();
  CloudLowLayer& layer = environment->cloudLow;
  CloudCluster& cluster = layer.clusters[layer.clusterCount++];
  CloudPuff& puff = layer.puffs[layer.puffCount++];
  puff.cubes = &layer.puffCubes[layer.puffCubeCount++];
  cluster.puffs[0] = &puff;
  cluster.puffCount = 1;
  const float position[3] = {-3000.0f, 12000.0f, 1500.0f};
  std::copy(position, position + 3, puff.centre);
  std::copy(position, position + 3, puff.base);
  puff.radius = 600.0f, puff.halfHeight = 400.0f;
  puff.invRadius = 1.0f / puff.radius, puff.invHalfHeight = 1.0f / puff.halfHeight;
  InitPuffCubes(*puff.cubes, puff.radius, puff.halfHeight, level);
  FillShapeCube(*puff.cubes, position, 0.3f);
  ClusterBounds(cluster);
  return environment;
}

void PaintLight(TextureCube& cube, std::uint32_t level) {
  TextureCubeResize(cube, 3, level);
  const float light[3] = {1.0f, 0.9f, 0.75f};
  for (TexturePixels& face : cube.faces)
    for (std::uint32_t t = 0; t < (3u << (2 * level)); ++t)
      static_cast<float*>(face.data)[t] = light[t % 3];
}

// One puff's light-shaft sources. Argument: the cube level.
void BM_BuildShaftSegments(benchmark::State& state) {
  BenchGlReady();
  const auto level = static_cast<std::uint32_t>(state.range(0));
  auto environment = OnePuff(level);
  CloudPuff& puff = environment->cloudLow.puffs[0];
  PaintLight(puff.cubes->lightCube, level);
  for (auto _ : state) BuildShaftSegments(puff, kSun);
  state.counters["candidates"] = ShaftCandidateCount;
  state.counters["segments"] = ShaftKept.count;
  EnvironmentResetCloudLow(*environment, 0.0f, kWind);
}
BENCHMARK(BM_BuildShaftSegments)->ArgName("level")->DenseRange(4, 6)->Unit(benchmark::kMicrosecond);

// One puff's cubes made ready and uploaded on llvmpipe: the shape cube, then the light cube
// joined, smoothed four times, uploaded and freed. Its faces are painted again (untimed) before
// every run. Argument: the cube level.
void BM_SetupPuffPasses(benchmark::State& state) {
  if (!BenchGlReady()) {
    state.SkipWithError(GlLastError());
    return;
  }
  const auto level = static_cast<std::uint32_t>(state.range(0));
  auto environment = OnePuff(level);
  PuffCubePair& pair = *environment->cloudLow.puffs[0].cubes;
  for (auto _ : state) {
    state.PauseTiming();
    PaintLight(pair.lightCube, level);
    pair.shapeCube.state.dirty = 1;
    state.ResumeTiming();
    SetupPuffPasses(environment->cloudLow);
    glFinish();
  }
  EnvironmentResetCloudLow(*environment, 0.0f, kWind);
}
BENCHMARK(BM_SetupPuffPasses)
    ->ArgName("level")
    ->DenseRange(4, 6)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// The eight levels of puff meshes into the batch buffer, as every render session start builds
// them.
void BM_BuildPuffMeshes(benchmark::State& state) {
  BenchGlReady();
  GeometryBatchBuffer buffer;
  GeometryBatchBufferInit(buffer);
  const std::uint32_t word = 0;
  GeometryBatchBufferStartSession(buffer, &word);
  PuffMeshSet set{};
  for (auto _ : state) {
    GeometryBatchReset(buffer);
    BuildPuffMeshes(set, buffer);
  }
  state.counters["vertices"] = buffer.vertexCount;
  state.counters["triangles"] = buffer.triangleCount;
  GeometryBatchBufferRelease(buffer);
}
BENCHMARK(BM_BuildPuffMeshes)->Unit(benchmark::kMicrosecond);

// Arguments: coverage in percent; part 0 the tiles with their read-back, 1 the shadow filter,
// 2 the light cubes.
void BM_BakePuffViews(benchmark::State& state) {
  if (!BenchGlReady()) {
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
  BenchGlReady();
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
  if (!BenchGlReady()) {
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
