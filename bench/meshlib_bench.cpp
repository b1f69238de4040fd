// Mesh network subdivision: one, two and three adaptive levels of a 1000-quad network, in
// faces made per second; flat angle 0 (every face split) beside 10 degrees (flat parts kept).
// Render meshes built from it after 1 to 3 levels, in triangles per second, and the
// texture-space rasterisation of its triangles into 256 x 256 maps, in triangles per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "meshlib/mesh_network.h"
#include "meshlib/render_arrays.h"
#include "meshlib/render_mesh.h"
#include "meshlib/triangle_maps.h"

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

void BM_BuildRenderMesh(benchmark::State& state) {
  MeshNetwork source, network;
  BuildWavyGrid(source);
  source.SubdivideNetworkLevels(static_cast<std::uint32_t>(state.range(0)), 0, network);
  RenderMesh mesh;  // no extensions loaded: plain arrays, no GL call
  for (auto _ : state) {
    mesh.BuildRenderMesh(network);
    benchmark::DoNotOptimize(mesh.vertices.elements);
  }
  state.SetItemsProcessed(state.iterations() * mesh.triangleCount);
  state.counters["vertices"] = mesh.vertices.count / 8;
}
BENCHMARK(BM_BuildRenderMesh)->ArgName("levels")->DenseRange(1, 3)->Unit(benchmark::kMillisecond);

void BM_RasterizeGroupMaps(benchmark::State& state) {
  MeshNetwork source, network;
  BuildWavyGrid(source);
  source.SubdivideNetworkLevels(2, 0, network);
  RenderMesh mesh;
  mesh.BuildRenderMesh(network);
  constexpr std::uint32_t kLog2 = 8;
  std::vector<float> planes(6u << (2 * kLog2));
  TriangleMaps maps{};
  for (int k = 0; k < 6; ++k) maps.planes[k] = planes.data() + (std::size_t(k) << (2 * kLog2));
  maps.log2Width = maps.log2Height = kLog2;
  for (auto _ : state) {
    ForEachGroupTriangle(network, 0, static_cast<const RenderVertex*>(mesh.vertices.elements),
                         mesh.indices.elements, mesh.shortIndices ? kIndex16 : kIndex32, maps);
    benchmark::DoNotOptimize(planes.data());
  }
  state.SetItemsProcessed(state.iterations() * mesh.triangleCount);
}
BENCHMARK(BM_RasterizeGroupMaps)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskor
