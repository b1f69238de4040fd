// The sky and cloud stages of a render preparation: the sky cube of 6 x 128 x 128 texels
// with the plain and the SSE kernel members side by side (the face direction tables built by
// the same members), the high clouds split into the noise fill of 1025 x 1025 samples, the
// 2 x 2 reduction to the 1024 x 1024 texture and the shading of the 128-texel cloud cube, and
// one lattice-noise lookup; the low clouds: the 3-D noise of a point (plain and SSE), the
// shape cube of one puff by level, and the puff field of the whole stage.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "environment/cloud_high.h"
#include "environment/cloud_low.h"
#include "environment/environment_state.h"
#include "environment/noise_at.h"
#include "environment/noise_lattice_lookup.h"
#include "environment/puff_field.h"
#include "environment/sky_model.h"
#include "gfx/face_directions.h"
#include "mapengine/kernel_table.h"
#include "platform/random.h"

namespace veskor {
namespace {

constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
constexpr float kSun[3] = {0.57735027f, 0.57735027f, -0.57735027f};

// Fills the program's kernel table with one kind of members and builds the direction tables
// with them.
void UseKernels(bool sse) {
  FillKernelTable(gKernelTable, sse);
  for (TexturePixels& level : FaceDirectionTexels) TexturePixelsRelease(level);
  BuildFaceDirectionTables();
}

// Argument: SSE members.
void BM_BuildSkyMap(benchmark::State& state) {
  UseKernels(state.range(0) != 0);
  SkyModel sky{};
  TextureCubeResize(sky.cube, 3, 7);
  for (auto _ : state) {
    BuildSkyMap(sky, kSun, 2.8f, kIdentity, kIdentity, kIdentity);
    benchmark::DoNotOptimize(sky.cube.faces[4].data);
  }
}
BENCHMARK(BM_BuildSkyMap)->ArgName("sse")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The X and Y coordinate grids and the noise grid of a 2^10 texture.
struct CloudGrids {
  VertexGrid X{}, Y{}, noise{};
  CloudGrids() {
    for (VertexGrid* g : {&X, &Y, &noise}) VertexGridInit(*g);
    VertexGridAlloc(X, 10, 10);
    VertexGridAlloc(Y, 10, 10);
    for (std::uint32_t j = 0; j <= 1024; ++j)
      for (std::uint32_t i = 0; i <= 1024; ++i) {
        X.data[j * 1025 + i] = static_cast<float>(i) / 1024;
        Y.data[j * 1025 + i] = static_cast<float>(j) / 1024;
      }
  }
  ~CloudGrids() {
    for (VertexGrid* g : {&X, &Y, &noise}) VertexGridRelease(*g);
  }
};

// Argument: 1 turbulence (cumulus, iso), 0 fractal (cirrus, very long).
void BM_CloudHighNoiseFill(benchmark::State& state) {
  UseKernels(true);
  CloudGrids g;
  const bool turbulence = state.range(0) != 0;
  for (auto _ : state) {
    if (turbulence)
      CloudNoiseTurbulence(3, 3, 3, 1, 1, g.X, g.Y, g.noise);
    else
      CloudNoiseFractal(3, 1, 3, 3, 2, g.X, g.Y, g.noise);
    benchmark::DoNotOptimize(g.noise.data);
  }
}
BENCHMARK(BM_CloudHighNoiseFill)->ArgName("turbulence")->Arg(0)->Arg(1)
    ->Unit(benchmark::kMillisecond);

// Argument: SSE members.
void BM_CloudHighReduction(benchmark::State& state) {
  UseKernels(state.range(0) != 0);
  CloudGrids g;
  CloudNoiseFractal(3, 1, 3, 3, 2, g.X, g.Y, g.noise);
  FloatTexture2D texture;
  FloatTexture2DResize(texture, 4, 10, 10);
  for (auto _ : state) {
    gKernelTable.GridAverage2x2(10, 10, g.noise.data, 4, static_cast<float*>(texture.pixels.data));
    benchmark::DoNotOptimize(texture.pixels.data);
  }
}
BENCHMARK(BM_CloudHighReduction)->ArgName("sse")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The six faces of the cloud cube. Argument: SSE members.
void BM_CloudHighFaceShading(benchmark::State& state) {
  UseKernels(state.range(0) != 0);
  TextureCube cube;
  TextureCubeResize(cube, 4, 7);
  for (auto _ : state) {
    for (std::uint32_t face : {1u, 0u, 2u, 3u, 5u, 4u}) ShadeCloudFace(cube, face, kSun);
    benchmark::DoNotOptimize(cube.faces[5].data);
  }
}
BENCHMARK(BM_CloudHighFaceShading)->ArgName("sse")->Arg(0)->Arg(1)
    ->Unit(benchmark::kMillisecond);

// The whole stage, defaults (cirrus, very long).
void BM_GenerateCloudHigh(benchmark::State& state) {
  UseKernels(true);
  auto environment = std::make_unique<EnvironmentState>();
  const float wind[2] = {0.0002f, 0.0001f};
  for (auto _ : state) {
    GenerateCloudHigh(*environment, 10, 7, 7000.0f, wind, 2, 3, 0.2f, kSun);
    benchmark::DoNotOptimize(environment->highCloudTexture.pixels.data);
  }
}
BENCHMARK(BM_GenerateCloudHigh)->Unit(benchmark::kMillisecond);

void BM_NoiseLatticeLookup(benchmark::State& state) {
  float x = 0.123f, y = 0.789f, sum = 0;
  for (auto _ : state) {
    sum += NoiseLatticeLookup(5, 6, x, y);
    x += 0.00390625f;
    y += 0.001953125f;
  }
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_NoiseLatticeLookup)->Unit(benchmark::kNanosecond);

// Argument: SSE member.
void BM_NoiseAt(benchmark::State& state) {
  const bool sse = state.range(0) != 0;
  float p[3] = {12.3f, -45.6f, 78.9f}, sum = 0;
  for (auto _ : state) {
    sum += sse ? NoiseAtSse(p) : NoiseAtPlain(p);
    p[0] += 0.0371f;
    p[1] += 0.0173f;
    p[2] -= 0.0291f;
  }
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_NoiseAt)->ArgName("sse")->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond);

// One puff's shape cube (2 x 6 x 4^level noise evaluations). Argument: the cube level.
void BM_FillShapeCube(benchmark::State& state) {
  UseKernels(true);
  PuffCubePair pair;
  InitPuffCubes(pair, 600.0f, 250.0f, static_cast<std::uint32_t>(state.range(0)));
  const float position[3] = {-3000.0f, 12000.0f, 1500.0f};
  for (auto _ : state) {
    FillShapeCube(pair, position, 0.3f);
    benchmark::DoNotOptimize(pair.shapeCube.faces[0].data);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FillShapeCube)->ArgName("level")->DenseRange(4, 6)->Unit(benchmark::kMicrosecond);

// The puff field of the low-cloud stage over a scene of 32768 x 32768, cumulus at
// opacity 0.5, from seed 1. Arguments: coverage in percent, the detail factor (0, the setting's
// default, gives the smallest cubes; 1 the largest). Counter: the bytes of the puff cube faces
// the stage leaves (shape and light cubes, none released before the bake).
void BM_GenerateCloudLowField(benchmark::State& state) {
  UseKernels(true);
  const float area[4] = {-16384, -16384, 16384, 16384};
  CloudLowDetail = static_cast<float>(state.range(1));
  auto environment = std::make_unique<EnvironmentState>();
  const float wind[2] = {2.0f, 1.0f};
  const float coverage = static_cast<float>(state.range(0)) / 100.0f;
  for (auto _ : state) {
    RandomSeed(1);
    GenerateCloudLow(*environment, area, 1500.0f, wind, 1, 1, coverage, 0.5f, 0.3f, kSun);
  }
  const CloudLowLayer& layer = environment->cloudLow;
  double bytes = 0;
  for (std::uint32_t i = 0; i < layer.puffCubeCount; ++i)
    for (int f = 0; f < 6; ++f)
      bytes += layer.puffCubes[i].shapeCube.faces[f].block.usedBytes +
               layer.puffCubes[i].lightCube.faces[f].block.usedBytes;
  state.counters["puffs"] = layer.puffCount;
  state.counters["cubeFaceMiB"] = bytes / (1 << 20);
  EnvironmentResetCloudLow(*environment, 0.0f, wind);
  CloudLowDetail = 1.0f;
}
BENCHMARK(BM_GenerateCloudLowField)->ArgNames({"coverage", "detail"})
    ->ArgsProduct({{20, 100}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskor
