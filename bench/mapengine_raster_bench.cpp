// Map raster kernels on 1024 x 1024 rasters and the colour and point-set reductions over as
// many pixels, the plain and the SSE member of each entry side by side (entries with one member
// on both paths run once).
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <random>

#include "mapengine/kernel_table.h"
#include "support/kernel_tables.h"

namespace veskor {
namespace {

constexpr std::uint8_t kLog2 = 10;  // 1024 x 1024
constexpr std::size_t kTexels = std::size_t{1} << (2 * kLog2);

const KernelTable& Table(bool sse) { return test::Tables(sse); }

// A page-aligned array of random values, as pool rasters start on page boundaries.
template <typename T>
class Buffer {
 public:
  explicit Buffer(std::size_t n, std::uint32_t seed = 1)
      : data_(static_cast<T*>(::operator new (n * sizeof(T), std::align_val_t{4096}))) {
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < n; ++i) {
      if constexpr (sizeof(T) == 1)
        data_[i] = static_cast<T>(rng() & 0xFF);
      else
        data_[i] = std::uniform_real_distribution<T>(0.05f, 1.0f)(rng);
    }
  }
  ~Buffer() { ::operator delete (data_, std::align_val_t{4096}); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  T* get() { return data_; }

 private:
  T* data_;
};

void CountBytes(benchmark::State& state, std::size_t bytesPerIteration) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytesPerIteration));
}

using BinaryEntry = void (*KernelTable::*)(std::uint8_t, std::uint8_t, std::uint8_t, const float*,
                                           const float*, float*);
using ScalarEntry = void (*KernelTable::*)(std::uint8_t, std::uint8_t, std::uint8_t, const float*,
                                           float, float*);

void BM_Binary(benchmark::State& state, BinaryEntry entry, bool sse) {
  Buffer<float> a(kTexels, 1), b(kTexels, 2), d(kTexels, 3);
  const auto kernel = Table(sse).*entry;
  for (auto _ : state) {
    kernel(1, kLog2, kLog2, a.get(), b.get(), d.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, 3 * kTexels * sizeof(float));
}
BENCHMARK_CAPTURE(BM_Binary, MapAdd_plain, &KernelTable::MapAdd, false);
BENCHMARK_CAPTURE(BM_Binary, MapAdd_sse, &KernelTable::MapAdd, true);
BENCHMARK_CAPTURE(BM_Binary, MapMul_plain, &KernelTable::MapMul, false);
BENCHMARK_CAPTURE(BM_Binary, MapMul_sse, &KernelTable::MapMul, true);
BENCHMARK_CAPTURE(BM_Binary, MapDiv_plain, &KernelTable::MapDiv, false);
BENCHMARK_CAPTURE(BM_Binary, MapDiv_sse, &KernelTable::MapDiv, true);
BENCHMARK_CAPTURE(BM_Binary, MapMin_shared, &KernelTable::MapMin, false);

void BM_Scalar(benchmark::State& state, ScalarEntry entry, bool sse) {
  Buffer<float> a(kTexels, 1), d(kTexels, 3);
  const auto kernel = Table(sse).*entry;
  for (auto _ : state) {
    kernel(1, kLog2, kLog2, a.get(), 1.7f, d.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, 2 * kTexels * sizeof(float));
}
BENCHMARK_CAPTURE(BM_Scalar, MapMulScalar_plain, &KernelTable::MapMulScalar, false);
BENCHMARK_CAPTURE(BM_Scalar, MapMulScalar_sse, &KernelTable::MapMulScalar, true);
BENCHMARK_CAPTURE(BM_Scalar, MapDivScalar_plain, &KernelTable::MapDivScalar, false);
BENCHMARK_CAPTURE(BM_Scalar, MapDivScalar_sse, &KernelTable::MapDivScalar, true);
BENCHMARK_CAPTURE(BM_Scalar, MapMaxScalar_shared, &KernelTable::MapMaxScalar, false);

void BM_MapAddInPlace(benchmark::State& state, bool sse) {
  Buffer<float> a(kTexels, 1), b(kTexels, 2);
  const auto kernel = Table(sse).MapAdd;
  for (auto _ : state) {
    kernel(1, kLog2, kLog2, a.get(), b.get(), a.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, 3 * kTexels * sizeof(float));
}
BENCHMARK_CAPTURE(BM_MapAddInPlace, plain, false);
BENCHMARK_CAPTURE(BM_MapAddInPlace, sse, true);

void BM_MapClamp01(benchmark::State& state, bool sse) {
  const auto channels = static_cast<std::uint8_t>(state.range(0));
  Buffer<float> data(kTexels * channels);
  const auto kernel = Table(sse).MapClamp01;
  for (auto _ : state) {
    kernel(channels, kLog2, kLog2, data.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, 2 * kTexels * channels * sizeof(float));
}
BENCHMARK_CAPTURE(BM_MapClamp01, plain, false)->Arg(1)->Arg(3);
BENCHMARK_CAPTURE(BM_MapClamp01, sse, true)->Arg(1)->Arg(3);

// Arguments: channels, halve width, halve height.
void BM_MapDownsample(benchmark::State& state, bool sse) {
  const auto channels = static_cast<std::uint8_t>(state.range(0));
  Buffer<float> in(kTexels * channels), out(kTexels * channels);
  const auto kernel = Table(sse).MapDownsample;
  const auto halveWidth = static_cast<std::uint32_t>(state.range(1));
  const auto halveHeight = static_cast<std::uint32_t>(state.range(2));
  for (auto _ : state) {
    kernel(channels, kLog2, kLog2, halveWidth, halveHeight, in.get(), out.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, kTexels * channels * sizeof(float));
}
BENCHMARK_CAPTURE(BM_MapDownsample, plain, false)
    ->Args({1, 1, 1})
    ->Args({3, 1, 1})
    ->Args({4, 1, 1})
    ->Args({1, 0, 0})
    ->Args({4, 1, 0});
BENCHMARK_CAPTURE(BM_MapDownsample, sse, true)
    ->Args({1, 1, 1})
    ->Args({3, 1, 1})
    ->Args({4, 1, 1})
    ->Args({1, 0, 0})
    ->Args({4, 1, 0});

void BM_MapBytesDownsample(benchmark::State& state) {
  Buffer<std::uint8_t> in(kTexels * 4), out(kTexels * 4);
  for (auto _ : state) {
    Table(false).MapBytesDownsample(4, kLog2, kLog2, 1, 1, in.get(), out.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, kTexels * 4);
}
BENCHMARK(BM_MapBytesDownsample);

void BM_MapCopy(benchmark::State& state) {
  Buffer<float> in(kTexels), out(kTexels);
  for (auto _ : state) {
    Table(false).MapCopy(1, kLog2, kLog2, in.get(), out.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, 2 * kTexels * sizeof(float));
}
BENCHMARK(BM_MapCopy);

void BM_MapFillVector(benchmark::State& state) {
  Buffer<float> out(kTexels * 3);
  const float rgb[3] = {0.1f, 0.2f, 0.3f};
  for (auto _ : state) {
    Table(false).MapFillVector(3, kLog2, kLog2, out.get(), rgb);
    benchmark::ClobberMemory();
  }
  CountBytes(state, 3 * kTexels * sizeof(float));
}
BENCHMARK(BM_MapFillVector);

void BM_MapPrefixSum(benchmark::State& state) {
  Buffer<float> in(kTexels), out(kTexels + 1);
  for (auto _ : state) {
    Table(false).MapPrefixSum(2 * kLog2, in.get(), out.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, 2 * kTexels * sizeof(float));
}
BENCHMARK(BM_MapPrefixSum);

// The one-member neighbourhood filters and the vertex-grid conversion.
void BM_MapPropagate3(benchmark::State& state) {
  Buffer<float> in(kTexels), out(kTexels);
  for (auto _ : state) {
    Table(false).MapPropagate3(kLog2, kLog2, in.get(), out.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, kTexels * sizeof(float));
}
BENCHMARK(BM_MapPropagate3);

void BM_MapPropagate2(benchmark::State& state) {
  Buffer<float> in(kTexels * 3), out(kTexels * 3);
  for (auto _ : state) {
    Table(false).MapPropagate2(3, kLog2, kLog2, in.get(), out.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, 3 * kTexels * sizeof(float));
}
BENCHMARK(BM_MapPropagate2);

void BM_MapCentreWeight(benchmark::State& state) {
  Buffer<float> in(kTexels), out(kTexels);
  for (auto _ : state) {
    Table(false).MapCentreWeight(kLog2, kLog2, in.get(), out.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, kTexels * sizeof(float));
}
BENCHMARK(BM_MapCentreWeight);

void BM_MapNeighbourTest(benchmark::State& state) {
  Buffer<float> in(kTexels), out(kTexels);
  for (auto _ : state) {
    Table(false).MapNeighbourTest(1, kLog2, kLog2, in.get(), 0.15f, out.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, kTexels * sizeof(float));
}
BENCHMARK(BM_MapNeighbourTest);

void BM_MapToBordered(benchmark::State& state) {
  Buffer<float> in(kTexels), out((1025) * (1025));
  for (auto _ : state) {
    Table(false).MapToBordered(kLog2, kLog2, in.get(), 1, out.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, kTexels * sizeof(float));
}
BENCHMARK(BM_MapToBordered);

// --- Colour and point-set reductions over 1024 x 1024 RGB pixels -----------------------------

void BM_PointMinimum(benchmark::State& state, bool sse) {
  Buffer<float> points(3 * kTexels);
  Buffer<std::uint8_t> bytes(3 * kTexels);
  const bool ofBytes = state.range(0) != 0;
  for (auto _ : state) {
    float out[3] = {1, 1, 1};
    if (ofBytes)
      Table(sse).PointArrayMinMax(kTexels, bytes.get(), out);
    else
      Table(sse).PointArrayMinMax2(kTexels, points.get(), out);
    benchmark::DoNotOptimize(out);
  }
  CountBytes(state, 3 * kTexels * (ofBytes ? 1 : sizeof(float)));
}
BENCHMARK_CAPTURE(BM_PointMinimum, plain, false)->ArgName("bytes")->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(BM_PointMinimum, sse, true)->ArgName("bytes")->Arg(0)->Arg(1);

void BM_PointOffsetSum(benchmark::State& state, bool sse) {
  Buffer<float> points(3 * kTexels);
  const float base[3] = {0.1f, 0.2f, 0.3f};
  for (auto _ : state) {
    float out[3] = {0, 0, 0};
    Table(sse).PointArrayMinMax4(kTexels, points.get(), base, out);
    benchmark::DoNotOptimize(out);
  }
  CountBytes(state, 3 * kTexels * sizeof(float));
}
BENCHMARK_CAPTURE(BM_PointOffsetSum, plain, false);
BENCHMARK_CAPTURE(BM_PointOffsetSum, sse, true);

void BM_PointDeviationSum(benchmark::State& state, bool sse) {
  Buffer<float> points(3 * kTexels);
  const float base[3] = {0.1f, 0.2f, 0.3f}, mean[3] = {0.4f, 0.3f, 0.2f};
  for (auto _ : state) {
    float out[3] = {0, 0, 0};
    Table(sse).PointArrayMinMax6(kTexels, points.get(), base, mean, out);
    benchmark::DoNotOptimize(out);
  }
  CountBytes(state, 3 * kTexels * sizeof(float));
}
BENCHMARK_CAPTURE(BM_PointDeviationSum, plain, false);
BENCHMARK_CAPTURE(BM_PointDeviationSum, sse, true);

void BM_AxisRatios(benchmark::State& state, bool sse) {
  Buffer<float> points(3 * kTexels);
  Buffer<std::uint8_t> bytes(3 * kTexels);
  const bool ofBytes = state.range(0) != 0;
  const float base[3] = {0.1f, 0.2f, 0.3f};
  const std::uint32_t order[3] = {1, 2, 0};
  for (auto _ : state) {
    float ratios[3] = {0, 1, 1};
    if (ofBytes)
      Table(sse).PointArrayMinMax7(kTexels, bytes.get(), base, order, ratios);
    else
      Table(sse).PointArrayMinMax8(kTexels, points.get(), base, order, ratios);
    benchmark::DoNotOptimize(ratios);
  }
  CountBytes(state, 3 * kTexels * (ofBytes ? 1 : sizeof(float)));
}
BENCHMARK_CAPTURE(BM_AxisRatios, plain, false)->ArgName("bytes")->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(BM_AxisRatios, sse, true)->ArgName("bytes")->Arg(0)->Arg(1);

void BM_MapPrincipalAxes(benchmark::State& state, bool sse) {
  Buffer<float> points(3 * kTexels);
  Buffer<std::uint8_t> bytes(3 * kTexels);
  const bool ofBytes = state.range(0) != 0;
  const float base[3] = {0.05f, 0.05f, 0.05f};
  for (auto _ : state) {
    float key[3];
    std::uint32_t order[3];
    if (ofBytes)
      Table(sse).MapPrincipalAxes(kTexels, bytes.get(), base, key, order);
    else
      Table(sse).MapPrincipalAxes2(kTexels, points.get(), base, key, order);
    benchmark::DoNotOptimize(key);
  }
  CountBytes(state, 3 * kTexels * (ofBytes ? 1 : sizeof(float)));
}
BENCHMARK_CAPTURE(BM_MapPrincipalAxes, plain, false)->ArgName("bytes")->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(BM_MapPrincipalAxes, sse, true)->ArgName("bytes")->Arg(0)->Arg(1);

void BM_MapKeyColourSplit(benchmark::State& state) {
  Buffer<float> points(3 * kTexels), out(4 * kTexels);
  Buffer<std::uint8_t> bytes(3 * kTexels), byteOut(4 * kTexels);
  const bool ofBytes = state.range(0) != 0;
  const float origin[3] = {0.05f, 0.05f, 0.05f}, key[3] = {0.8f, 0.6f, 0.3f};
  const std::uint32_t channel = 0;
  for (auto _ : state) {
    if (ofBytes)
      Table(false).MapKeyColourSplit(kTexels, bytes.get(), origin, key, &channel, byteOut.get());
    else
      Table(false).MapKeyColourSplit2(kTexels, points.get(), origin, key, &channel, out.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, 3 * kTexels * (ofBytes ? 1 : sizeof(float)));
}
BENCHMARK(BM_MapKeyColourSplit)->ArgName("bytes")->Arg(0)->Arg(1);

}  // namespace
}  // namespace veskor
