// Map engine: B-spline evaluation and upsampling of a control net, normals and the other
// vector-field kernels on grids of 2^9 cells a side; plain and SSE members side by side.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <random>
#include <vector>

#include "mapengine/kernel_table.h"
#include "support/kernel_tables.h"

namespace veskor {
namespace {

const KernelTable& Members(bool sse) { return test::Tables(sse); }

std::vector<float> Random(std::size_t n, float scale, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(-scale, scale);
  std::vector<float> v(n);
  for (float& f : v) f = d(rng);
  return v;
}

std::size_t Side(int log2, int extra) { return (std::size_t{1} << log2) + extra; }

// The source net: 2^6 x 2^6 cells; p = q = range(0) fine steps per cell.
constexpr int kNetLog2 = 6;

void BM_GridBSplineEval(benchmark::State& state, bool sse) {
  const auto p = static_cast<std::uint8_t>(state.range(0));
  const KernelTable& k = Members(sse);
  const std::vector<float> net = Random(Side(kNetLog2, 3) * Side(kNetLog2, 3), 10, 1);
  std::vector<float> out(Side(kNetLog2 + p, 1) * Side(kNetLog2 + p, 1));
  for (auto _ : state) {
    k.GridBSplineEval(kNetLog2, kNetLog2, p, p, net.data(), out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(out.size()));
}
BENCHMARK_CAPTURE(BM_GridBSplineEval, Plain, false)->DenseRange(1, 3);
BENCHMARK_CAPTURE(BM_GridBSplineEval, Sse, true)->DenseRange(1, 3);

void BM_MapBSplineUpsample(benchmark::State& state, bool sse) {
  const auto p = static_cast<std::uint8_t>(state.range(0));
  const KernelTable& k = Members(sse);
  const std::vector<float> net = Random(Side(kNetLog2, 3) * Side(kNetLog2, 3), 10, 2);
  std::vector<float> out(Side(kNetLog2 + p, 3) * Side(kNetLog2 + p, 3));
  for (auto _ : state) {
    k.MapBSplineUpsample(kNetLog2, kNetLog2, p, p, net.data(), out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(out.size()));
}
BENCHMARK_CAPTURE(BM_MapBSplineUpsample, Plain, false)->DenseRange(1, 3);
BENCHMARK_CAPTURE(BM_MapBSplineUpsample, Sse, true)->DenseRange(1, 3);

// One member on both paths: measured once.
void BM_MapBSplineUpsampleAlt(benchmark::State& state) {
  const auto p = static_cast<std::uint8_t>(state.range(0));
  const KernelTable& k = Members(false);
  const std::vector<float> net = Random(Side(kNetLog2, 3) * Side(kNetLog2, 3), 10, 3);
  std::vector<float> out(Side(kNetLog2 + p, 3) * Side(kNetLog2 + p, 3));
  for (auto _ : state) {
    k.MapBSplineUpsampleAlt(kNetLog2, kNetLog2, p, p, net.data(), out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(out.size()));
}
BENCHMARK(BM_MapBSplineUpsampleAlt)->DenseRange(1, 3);

// Grids of 2^9 x 2^9 cells: 513 x 513 vertices, 514 x 514 cell centres.
constexpr int kGridLog2 = 9;

// A hilly grid of positions with `extra` = 1 (vertex layout) or 2 (cell layout).
struct PositionGrid {
  std::vector<float> x, y, z;
  explicit PositionGrid(int extra) {
    const std::size_t w = Side(kGridLog2, extra);
    y = Random(w * w, 5, 4);
    x.resize(w * w);
    z.resize(w * w);
    for (std::size_t k = 0; k < w * w; ++k) x[k] = k % w, z[k] = k / w;
  }
};

struct Normals {
  std::vector<float> x, y, z;
  Normals() : x(Side(kGridLog2, 1) * Side(kGridLog2, 1)), y(x.size()), z(x.size()) {}
};

// One member on both paths: measured once.
void BM_GridHeightNormals(benchmark::State& state) {
  const KernelTable& k = Members(false);
  const PositionGrid p(1);
  Normals n;
  for (auto _ : state) {
    k.GridHeightNormals(kGridLog2, kGridLog2, p.x.data(), p.y.data(), p.z.data(), n.x.data(),
                        n.y.data(), n.z.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n.x.size()));
}
BENCHMARK(BM_GridHeightNormals);

void BM_GridDiagonalNormals(benchmark::State& state, bool sse) {
  const KernelTable& k = Members(sse);
  const PositionGrid p(2);
  Normals n;
  for (auto _ : state) {
    k.GridDiagonalNormals(kGridLog2, kGridLog2, p.x.data(), p.y.data(), p.z.data(), n.x.data(),
                          n.y.data(), n.z.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n.x.size()));
}
BENCHMARK_CAPTURE(BM_GridDiagonalNormals, Plain, false);
BENCHMARK_CAPTURE(BM_GridDiagonalNormals, Sse, true);

void BM_GridTransform(benchmark::State& state, bool sse) {
  const KernelTable& k = Members(sse);
  const PositionGrid p(1);
  const std::vector<float> m = Random(16, 2, 5);
  Normals out;
  for (auto _ : state) {
    k.GridTransform(kGridLog2, kGridLog2, m.data(), p.x.data(), p.y.data(), p.z.data(),
                    out.x.data(), out.y.data(), out.z.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(out.x.size()));
}
BENCHMARK_CAPTURE(BM_GridTransform, Plain, false);
BENCHMARK_CAPTURE(BM_GridTransform, Sse, true);

void BM_FieldLightTerms(benchmark::State& state, bool sse) {
  const KernelTable& k = Members(sse);
  const std::size_t n = Side(kGridLog2, 1) * Side(kGridLog2, 1);
  const std::vector<float> fa = Random(n, 1, 6), fb = Random(n, 1, 7), fc = Random(n, 1, 8);
  std::vector<float> d1(n), d2(n);
  for (auto _ : state) {
    k.FieldLightTerms(kGridLog2, kGridLog2, fa.data(), fb.data(), fc.data(), 0.3f, -0.5f,
                      0.8f, 0.25f, d1.data(), d2.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}
BENCHMARK_CAPTURE(BM_FieldLightTerms, Plain, false);
BENCHMARK_CAPTURE(BM_FieldLightTerms, Sse, true);

}  // namespace
}  // namespace veskor
