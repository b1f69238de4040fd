// Map engine kernels, plain and SSE members side by side, on grids of 2^5, 2^7, 2^9 and 2^10
// cells a side, with a memcpy of one grid's bytes as the bandwidth baseline.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "foundation/c_heap.h"
#include "mapengine/grid_arithmetic_kernels.h"
#include "mapengine/kernel_table.h"
#include "support/kernel_tables.h"

namespace veskor {
namespace {

const KernelTable& Table(bool sse) { return test::Tables(sse); }

// Page-aligned arrays of random values in [0, 1), as pool grids are.
class Arrays {
 public:
  Arrays(int count, std::size_t floats) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    const std::size_t bytes = (floats * sizeof(float) + 4095) / 4096 * 4096;
    for (int i = 0; i < count; ++i) {
      auto* p = static_cast<float*>(std::aligned_alloc(4096, bytes));
      for (std::size_t k = 0; k < floats; ++k) p[k] = value(rng);
      arrays_.emplace_back(p);
    }
  }
  float* operator[](int i) const { return arrays_[i].get(); }

 private:
  std::vector<CHeapPtr<float>> arrays_;
};

// A 1025 x 1025 table for the lookups.
const float* LookupTable() {
  static const Arrays table(1, 1025 * 1025);
  return table[0];
}

std::size_t VertexValues(int s) { return GridValueCount(s, s); }

void Sizes(benchmark::internal::Benchmark* b) {
  for (int s : {5, 7, 9, 10}) b->Arg(s);
}

// The baseline: copy one grid of (2^s+1)^2 floats.
void BM_Memcpy(benchmark::State& state) {
  const int s = static_cast<int>(state.range(0));
  const std::size_t n = VertexValues(s);
  Arrays a(2, n);
  for (auto _ : state) {
    std::memcpy(a[1], a[0], n * sizeof(float));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_Memcpy)->Apply(Sizes);

// One benchmark per kernel and member: `call` runs the kernel on arrays x[0..3] of grids of
// size s (x[3] is the destination, large enough for a grid of size s + 1).
#define GRID_BENCH(Name, call)                                                  \
  void BM_##Name(benchmark::State& state, bool sse) {                          \
    const KernelTable& k = Table(sse);                                         \
    const auto s = static_cast<std::uint8_t>(state.range(0));                  \
    const std::size_t n = VertexValues(s);                                     \
    Arrays x(4, VertexValues(s + 1));                                          \
    for (auto _ : state) {                                                     \
      call;                                                                    \
      benchmark::ClobberMemory();                                              \
    }                                                                          \
    state.SetItemsProcessed(state.iterations() * n);                           \
  }                                                                            \
  BENCHMARK_CAPTURE(BM_##Name, plain, false)->Apply(Sizes);                    \
  BENCHMARK_CAPTURE(BM_##Name, sse, true)->Apply(Sizes)

// Grid arithmetic.
GRID_BENCH(GridMul, k.GridMul(s, s, x[0], x[1], x[3]));
GRID_BENCH(GridMulScalar, k.GridMulScalar(s, s, x[0], 1.5f, x[3]));
GRID_BENCH(GridDiv, k.GridDiv(s, s, x[0], x[1], x[3]));
GRID_BENCH(GridDivScalar, k.GridDivScalar(s, s, x[0], 3.0f, x[3]));
GRID_BENCH(GridAdd, k.GridAdd(s, s, x[0], x[1], x[3]));
GRID_BENCH(GridAddScalar, k.GridAddScalar(s, s, x[0], 1.5f, x[3]));
GRID_BENCH(GridSub, k.GridSub(s, s, x[0], x[1], x[3]));
GRID_BENCH(GridSubScalar, k.GridSubScalar(s, s, x[0], 1.5f, x[3]));
GRID_BENCH(GridScalarMinus, k.GridScalarMinus(s, s, 1.5f, x[0], x[3]));
GRID_BENCH(GridMulAdd, k.GridMulAdd(s, s, x[0], x[1], x[2], x[3]));
GRID_BENCH(GridScaleAdd, k.GridScaleAdd(s, s, x[0], 1.5f, x[2], x[3]));
GRID_BENCH(GridCompare, k.GridCompare(s, s, x[0], x[1], x[3]));
GRID_BENCH(GridCompare2, k.GridCompare2(s, s, x[0], x[1], x[3]));
GRID_BENCH(GridStepSmooth, k.GridStepSmooth(s, s, x[0], 0.25f, 0.75f, x[3]));  // one member
GRID_BENCH(GridMin3, k.GridMin3(s, s, x[0], x[1], x[2], x[3]));                // one member

// Layouts and sampling (sources are sized for a grid one size up, so nets and cells fit).
GRID_BENCH(GridCellCentres, k.GridCellCentres(s, s, x[0], x[3]));
GRID_BENCH(GridNetToCells, k.GridNetToCells(s, s, x[0], x[3]));
GRID_BENCH(GridAverage2x2, k.GridAverage2x2(s, s, x[0], 1, x[3]));
GRID_BENCH(GridSubdivide2x, k.GridSubdivide2x(s, s, x[0], x[3]));
GRID_BENCH(GridToNet, k.GridToNet(s, s, 0, 0, x[0], x[3]));  // one member
// Lookups in a 1024 x 1024 (1025 x 1025) table at the coordinates x[0], x[1] (values in [0, 1)).
GRID_BENCH(GridSampleBilinear7, k.GridSampleBilinear7(1024, 1024, LookupTable(), s, s, x[0], x[1], x[3]));
GRID_BENCH(GridSampleBilinear, k.GridSampleBilinear(10, 10, LookupTable(), s, s, x[0], x[1], x[3]));  // one member

// Math: 1024 vectors per iteration.
void BM_MathKernels(benchmark::State& state, bool sse) {
  const KernelTable& k = Table(sse);
  std::vector<float> v(1024 * 4, 0.5f), out(1024 * 4);
  float m[16];
  for (int i = 0; i < 16; ++i) m[i] = 0.1f * i;
  for (auto _ : state) {
    for (int i = 0; i < 1024; ++i) {
      k.KernelTransformNormal(&out[4 * i], m, &v[4 * i]);
      k.KernelMat4Vec4(&out[4 * i], m, &v[4 * i]);
      benchmark::DoNotOptimize(k.KernelInvSqrt(v[i] + 1.0f));
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK_CAPTURE(BM_MathKernels, plain, false);
BENCHMARK_CAPTURE(BM_MathKernels, sse, true);

}  // namespace
}  // namespace veskor
