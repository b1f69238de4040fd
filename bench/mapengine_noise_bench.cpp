// Noise: the scalar and four-point 3-D evaluators per point, the 3-D fills per vertex and
// octave on 257 x 257 grids (plain and SSE members), beside a straightforward scalar
// implementation of improved gradient noise (the published 2002 description) as the reference
// point, and the build of the 3-D noise volume.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "mapengine/noise_fills.h"
#include "mapengine/noise_generator.h"
#include "mapengine/noise_tables.h"
#include "support/kernel_tables.h"

namespace veskor {
namespace {

// --- Reference: improved gradient noise, scalar, written from its published description ----
// A doubled 256-entry permutation, the quintic fade, and twelve edge gradients picked by the
// low four bits of the hash. Our permutation stands in for the published one. The published
// gradient selection branches on the hash, which a random permutation makes unpredictable;
// the second form reads the same sixteen gradients from a table, without branches.
enum class Gradients { kBranches, kTable };

template <Gradients kind>
struct ImprovedNoise {
  std::uint8_t p[512];
  ImprovedNoise() {
    for (int i = 0; i < 512; ++i) p[i] = gNoisePermutation[i & 255];
  }
  static float Fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }
  static float Lerp(float t, float a, float b) { return a + t * (b - a); }
  static float Grad(int hash, float x, float y, float z) {
    if constexpr (kind == Gradients::kTable) {
      static constexpr float g[16][3] = {
          {1, 1, 0},  {-1, 1, 0}, {1, -1, 0}, {-1, -1, 0}, {1, 0, 1},  {-1, 0, 1},
          {1, 0, -1}, {-1, 0, -1}, {0, 1, 1}, {0, -1, 1},  {0, 1, -1}, {0, -1, -1},
          {1, 1, 0},  {0, -1, 1}, {-1, 1, 0}, {0, -1, -1}};
      const float* v = g[hash & 15];
      return v[0] * x + v[1] * y + v[2] * z;
    }
    const int h = hash & 15;
    const float u = h < 8 ? x : y;
    const float v = h < 4 ? y : (h == 12 || h == 14 ? x : z);
    return ((h & 1) == 0 ? u : -u) + ((h & 2) == 0 ? v : -v);
  }
  float operator()(float x, float y, float z) const {
    const float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    const int X = static_cast<int>(fx) & 255, Y = static_cast<int>(fy) & 255,
              Z = static_cast<int>(fz) & 255;
    x -= fx;
    y -= fy;
    z -= fz;
    const float u = Fade(x), v = Fade(y), w = Fade(z);
    const int A = p[X] + Y, AA = p[A] + Z, AB = p[A + 1] + Z;
    const int B = p[X + 1] + Y, BA = p[B] + Z, BB = p[B + 1] + Z;
    return Lerp(w,
                Lerp(v, Lerp(u, Grad(p[AA], x, y, z), Grad(p[BA], x - 1, y, z)),
                     Lerp(u, Grad(p[AB], x, y - 1, z), Grad(p[BB], x - 1, y - 1, z))),
                Lerp(v, Lerp(u, Grad(p[AA + 1], x, y, z - 1), Grad(p[BA + 1], x - 1, y, z - 1)),
                     Lerp(u, Grad(p[AB + 1], x, y - 1, z - 1),
                          Grad(p[BB + 1], x - 1, y - 1, z - 1))));
  }
};

// Time per item, shown as ns per point (or per vertex and octave).
void PerItem(benchmark::State& state, double itemsPerIteration) {
  state.counters["per_item"] = benchmark::Counter(
      itemsPerIteration, benchmark::Counter::kIsIterationInvariantRate |
                             benchmark::Counter::kInvert);
}

// Points spread over a few periods on both sides of 0, in the evaluators' input units.
struct Points {
  static constexpr std::size_t kCount = 4096;
  alignas(16) float x[kCount], y[kCount], z[kCount];
  Points() {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> d(-3.0f, 3.0f);
    for (std::size_t n = 0; n < kCount; ++n) x[n] = d(rng), y[n] = d(rng), z[n] = d(rng);
  }
};
const Points& ThePoints() {
  static const Points points;
  return points;
}

void BM_NoiseValue3D(benchmark::State& state) {
  const Points& p = ThePoints();
  for (auto _ : state) {
    float sum = 0;
    for (std::size_t n = 0; n < Points::kCount; ++n) sum += NoiseValue3D(p.x[n], p.y[n], p.z[n]);
    benchmark::DoNotOptimize(sum);
  }
  PerItem(state, Points::kCount);
}
BENCHMARK(BM_NoiseValue3D);

void BM_NoiseValue3DQuad(benchmark::State& state) {
  const Points& p = ThePoints();
  alignas(16) float out[4];
  for (auto _ : state) {
    float sum = 0;
    for (std::size_t n = 0; n < Points::kCount; n += 4) {
      NoiseValue3DQuad(p.x + n, p.y + n, p.z + n, out);
      sum += out[0];
    }
    benchmark::DoNotOptimize(sum);
  }
  PerItem(state, Points::kCount);
}
BENCHMARK(BM_NoiseValue3DQuad);

template <Gradients kind>
void BM_ReferenceImprovedNoise(benchmark::State& state) {
  const Points& p = ThePoints();
  const ImprovedNoise<kind> noise;
  for (auto _ : state) {
    float sum = 0;
    // Lattice units as our evaluators use them (64 per input unit).
    for (std::size_t n = 0; n < Points::kCount; ++n)
      sum += noise(64 * p.x[n], 64 * p.y[n], 64 * p.z[n]);
    benchmark::DoNotOptimize(sum);
  }
  PerItem(state, Points::kCount);
}
BENCHMARK(BM_ReferenceImprovedNoise<Gradients::kBranches>)
    ->Name("BM_ReferenceImprovedNoise/published");
BENCHMARK(BM_ReferenceImprovedNoise<Gradients::kTable>)
    ->Name("BM_ReferenceImprovedNoise/table_gradients");

// --- 3-D fills on 257 x 257 grids ------------------------------------------------------------
// The points of a terrain-like grid: x and y along the grid, z a smooth height, in input units.
struct FillGrids {
  VertexGrid x{}, y{}, z{}, destination{};
  FillGrids() {
    for (VertexGrid* g : {&x, &y, &z, &destination}) VertexGridInit(*g);
    for (VertexGrid* g : {&x, &y, &z}) VertexGridAlloc(*g, 8, 8);
    for (std::uint32_t j = 0; j <= 256; ++j)
      for (std::uint32_t i = 0; i <= 256; ++i) {
        const std::uint32_t v = 257 * j + i;
        x.data[v] = 0.37f * static_cast<float>(i);
        y.data[v] = 0.41f * static_cast<float>(j);
        z.data[v] = 3.0f * std::sin(0.05f * static_cast<float>(i)) *
                    std::cos(0.03f * static_cast<float>(j));
      }
  }
  ~FillGrids() {
    for (VertexGrid* g : {&x, &y, &z, &destination}) VertexGridRelease(*g);
  }
};
constexpr double kGridVertices = 257.0 * 257.0;

template <void (*Fractal)(const NoiseGenerator3D&, const NoiseOctaves&, const VertexGrid&,
                          const VertexGrid&, const VertexGrid&, VertexGrid&)>
void BM_NoiseFractal3D(benchmark::State& state) {
  FillGrids grids;
  NoiseOctaves octaves;
  const auto n = static_cast<std::uint32_t>(state.range(0));
  NoiseOctaveTables(n, 1.0f, 2.0f, octaves);
  for (auto _ : state) {
    Fractal(gNoiseGenerator.noise3D, octaves, grids.x, grids.y, grids.z, grids.destination);
    benchmark::DoNotOptimize(grids.destination.data[0]);
  }
  PerItem(state, kGridVertices * n);
}
BENCHMARK(BM_NoiseFractal3D<plain::NoiseFractal3D>)
    ->Name("BM_NoiseFractal3D/plain")
    ->Arg(1)
    ->Arg(6);
BENCHMARK(BM_NoiseFractal3D<sse::NoiseFractal3D>)
    ->Name("BM_NoiseFractal3D/sse")
    ->Arg(1)
    ->Arg(6);

// The same fractal sum over the reference noise, octave by octave per vertex.
template <Gradients kind>
void BM_ReferenceFractal3D(benchmark::State& state) {
  FillGrids grids;
  NoiseOctaves octaves;
  const auto n = static_cast<std::uint32_t>(state.range(0));
  NoiseOctaveTables(n, 1.0f, 2.0f, octaves);
  const ImprovedNoise<kind> noise;
  const NoiseGenerator3D& g = gNoiseGenerator.noise3D;
  VertexGridAlloc(grids.destination, 8, 8);
  for (auto _ : state) {
    const float* x = grids.x.data;
    const float* y = grids.y.data;
    const float* z = grids.z.data;
    float* d = grids.destination.data;
    for (std::uint32_t v = 0; v < 257 * 257; ++v) {
      float sum = 0;
      for (std::uint32_t i = 0; i < n; ++i) {
        const float f = octaves.frequency[i] * 64;
        sum += octaves.amplitude[i] *
               noise(f * g.scaleX * x[v], f * g.scaleY * y[v], f * g.scaleZ * z[v]);
      }
      d[v] = sum;
    }
    benchmark::DoNotOptimize(grids.destination.data[0]);
  }
  PerItem(state, kGridVertices * n);
}
BENCHMARK(BM_ReferenceFractal3D<Gradients::kBranches>)
    ->Name("BM_ReferenceFractal3D/published")
    ->Arg(1)
    ->Arg(6);
BENCHMARK(BM_ReferenceFractal3D<Gradients::kTable>)
    ->Name("BM_ReferenceFractal3D/table_gradients")
    ->Arg(1)
    ->Arg(6);

template <void (*Fill)(const NoiseGenerator3D&, const VertexGrid&, const VertexGrid&,
                       const VertexGrid&, VertexGrid&)>
void BM_NoiseFill3D(benchmark::State& state) {
  FillGrids grids;
  for (auto _ : state) {
    Fill(gNoiseGenerator.noise3D, grids.x, grids.y, grids.z, grids.destination);
    benchmark::DoNotOptimize(grids.destination.data[0]);
  }
  PerItem(state, kGridVertices);
}
BENCHMARK(BM_NoiseFill3D<plain::NoiseFill3D>)->Name("BM_NoiseFill3D/plain");
BENCHMARK(BM_NoiseFill3D<sse::NoiseFill3D>)->Name("BM_NoiseFill3D/sse");

// --- The 3-D noise volume: 262144 noise values and the summed volume, built once per run -----
void BM_BuildNoiseVolume3D(benchmark::State& state) {
  test::ScopedKernelTable kernels;  // the summed-volume kernel, as the program fills it
  for (auto _ : state) {
    NoiseGenerator generator{};
    NoiseGeneratorInit(generator);
    BuildNoiseVolume3D(generator.noise3D);
    benchmark::DoNotOptimize(generator.noise3D.volume.sums[274624]);
    NoiseGeneratorRelease(generator);
  }
}
BENCHMARK(BM_BuildNoiseVolume3D)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace veskor
