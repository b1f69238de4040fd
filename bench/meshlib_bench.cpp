// Mesh network subdivision: one, two and three adaptive levels of a 1000-quad network, in
// faces made per second; flat angle 0 (every face split) beside 10 degrees (flat parts kept).
#include <benchmark/benchmark.h>

#include <cmath>

#include "meshlib/mesh_network.h"

namespace veskor {
namespace {

// A 40 x 25 grid of quads over a wavy surface (little of it flat), borders smooth.
void BuildWavyGrid(MeshNetwork& n) {
  constexpr int w = 40, h = 25;
  n.AllocateNetwork((w + 1) * (h + 1), 2 * w * h + w + h, w * h, 1);
  n.AddNetworkGroup();
  auto height = [](float x, float y) { return 0.5f * std::sin(0.7f * x) * std::cos(0.5f * y); };
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      n.BeginNetworkFace(0);
      const int ring[4][2] = {{i, j}, {i, j + 1}, {i + 1, j + 1}, {i + 1, j}};
      for (const auto& p : ring) {
        const float x = float(p[0]), y = float(p[1]);
        n.AddNetworkFaceCorner(x, y, height(x, y), x / w, y / h, 0, 0);
      }
      n.CloseNetworkFace();
    }
  }
  n.ComputeNetworkNormals();
  n.CountCreasesAndSeams();
}

void BM_SubdivideNetworkLevels(benchmark::State& state) {
  MeshNetwork source, destination;
  BuildWavyGrid(source);
  const auto levels = static_cast<std::uint32_t>(state.range(0));
  const auto angle = static_cast<float>(state.range(1));
  for (auto _ : state) {
    source.SubdivideNetworkLevels(levels, angle, destination);
    benchmark::DoNotOptimize(destination.vertices);
  }
  state.SetItemsProcessed(state.iterations() * destination.faceCount);
  state.counters["faces"] = destination.faceCount;
}
BENCHMARK(BM_SubdivideNetworkLevels)
    ->ArgNames({"levels", "angle"})
    ->ArgsProduct({{1, 2, 3}, {0, 10}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskor
