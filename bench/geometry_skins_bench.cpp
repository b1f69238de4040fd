// Skin generation and its seams, plain and SSE kernel members side by side: one 1024-point
// cross-section sampled into rows of 257 samples (samples per second); six 64 x 64 skin maps
// refined into 256 x 256 grids; and a terrain of 8 x 8 tiles of 32 x 32 cells loaded into its
// skin maps, joined to its left and upper neighbours and refined back into its grids (tiles
// per second).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "geometry/geometry_test_support.h"
#include "geometry/section_test_support.h"
#include "geometry/skin_sampling.h"
#include "geometry/skin_work_maps.h"

namespace veskor {
namespace {

void SampleRing1024(benchmark::State& state) {
  SweepPath s;
  SweepPathInit(s);
  test::FillRing(s, {test::Circle(0, 0, 5, 1024), 1.0f});
  std::vector<float> arrays[kSampleArrays];
  float* rows[kSampleArrays];
  for (std::uint32_t c = 0; c < kSampleArrays; ++c) {
    arrays[c].resize(257);
    rows[c] = arrays[c].data();
  }
  for (auto _ : state) {
    SkinPathSamples(257, s, rows);
    benchmark::DoNotOptimize(rows[0][128]);
  }
  state.SetItemsProcessed(state.iterations() * 257);
  SweepPathRelease(s);
}
BENCHMARK(SampleRing1024);

void RefineMaps64To256(benchmark::State& state) {
  const test::ScopedKernels kernels(state.range(0) != 0);
  SkinWork work{};
  SkinMapSetAlloc(work.maps[0], 6, 6);
  for (Map& m : work.maps[0])
    for (std::uint32_t k = 0; k < SkinMapValues(6, 6); ++k) m.data[k] = std::sin(0.01f * k);
  SkinGridSet set;
  for (VertexGrid& g : set.grids) VertexGridInit(g);
  SizeSkinGrids(set, 8, 8);
  for (auto _ : state) {
    for (VertexGrid& g : set.grids) g.companionValid = 0;
    MapsToSkinGrids(set, work.maps[0]);
    benchmark::DoNotOptimize(set.grids[8].data[1000]);
  }
  state.SetItemsProcessed(state.iterations() * 6);
  for (VertexGrid& g : set.grids) VertexGridRelease(g);
  SkinWorkRelease(work);
}
BENCHMARK(RefineMaps64To256)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void TerrainLoadConnectFilter64(benchmark::State& state) {
  const test::ScopedKernels kernels(state.range(0) != 0);
  constexpr std::uint32_t kSide = 8, kTiles = kSide * kSide, kLevel = 5;
  for (std::uint32_t i = 0; i < kTiles; ++i) {
    SizeSkinGrids(gSkinSlots[i].gridSets[0], kLevel, kLevel);
    for (VertexGrid& g : gSkinSlots[i].gridSets[0].grids)
      for (std::uint32_t k = 0; k < 33 * 33; ++k) g.data[k] = float(i + k % 33);
  }
  const SkinTile whole{0, 0, 0, 0};
  for (auto _ : state) {
    for (std::uint32_t i = 0; i < kTiles; ++i)
      SkinWorkLoad(gSkinWork.records[i], gSkinSlots[i], 0, 0);
    for (std::uint32_t i = 0; i < kTiles; ++i) {
      if (i % kSide != 0)
        SkinsConnect(gSkinWork.records[i], 0, gSkinWork.records[i - 1], whole, whole);
      if (i >= kSide)
        SkinsConnect(gSkinWork.records[i], 1, gSkinWork.records[i - kSide], whole, whole);
    }
    for (std::uint32_t i = 0; i < kTiles; ++i)
      FilterSkinTextures(gSkinSlots[i], gSkinWork.records[i]);
  }
  state.SetItemsProcessed(state.iterations() * kTiles);
  for (std::uint32_t i = 0; i < kTiles; ++i) {
    ReleaseSkinMapSet(gSkinWork.records[i]);
    ReleaseSkinGrids(gSkinSlots[i]);
  }
}
BENCHMARK(TerrainLoadConnectFilter64)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskor
