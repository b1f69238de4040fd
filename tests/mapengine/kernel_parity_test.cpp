// Every entry with an SSE member of its own, run on the plain and the SSE table side by side
// over random arrays of many sizes (remainders of every length), aligned, unaligned and in
// place where the entry allows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "mapengine/colour_kernels.h"
#include "mapengine/grid_arithmetic_kernels.h"
#include "mapengine/kernel_support.h"
#include "mapengine/map_raster_kernels.h"

namespace veskor {
namespace {

using test::ParityCase;
using test::ParityValue;
using test::Shape;
using test::Tables;
using test::Ulp;
using Sizes = std::vector<std::size_t>;
using u8 = std::uint8_t;

std::size_t Side(int log2, int extra) { return (std::size_t{1} << log2) + extra; }
std::size_t Vertices(int a, int b) { return Side(a, 1) * Side(b, 1); }
std::size_t Cells(int a, int b) { return Side(a, 2) * Side(b, 2); }
std::size_t Net(int a, int b) { return Side(a, 3) * Side(b, 3); }

// Grid sizes whose value counts are all odd: the SSE members always have a remainder.
const std::vector<Shape> kGrids = {{0, 0}, {1, 0}, {0, 2}, {2, 1}, {0, 3},
                                   {2, 3}, {3, 3}, {4, 4}, {5, 2}, {6, 6}};

// Value by value over (a, b) grids: three sources, NaN in the second, one destination.
ParityCase Arithmetic(const char* name, const std::function<void(const KernelTable&, u8, u8,
                                                                  float* const*)>& call,
                      std::function<double(const ParityValue&)> tolerance = {}) {
  return {name, kGrids, 3,
          [](const Shape& s) { return Sizes(4, Vertices(s[0], s[1])); },
          [call](const KernelTable& k, const Shape& s, float* const* p) { call(k, s[0], s[1], p); },
          tolerance, {0}, 100.0f,
          [](const Shape&, test::Arrays& in, std::mt19937&) {
            if (in[1].size() > 3) in[1][3] = std::numeric_limits<float>::quiet_NaN();
          }};
}

// A vertex-, net- or cell-layout source into a destination of another layout.
ParityCase Layout(const char* name, std::size_t (*in)(int, int),
                  std::function<std::size_t(int, int)> out,
                  std::function<void(const KernelTable&, u8, u8, const float*, float*)> call) {
  return {name, kGrids, 1,
          [in, out](const Shape& s) { return Sizes{in(s[0], s[1]), out(s[0], s[1])}; },
          [call](const KernelTable& k, const Shape& s, float* const* p) {
            call(k, s[0], s[1], p[0], p[1]);
          },
          // Four values times 0.25, or 0.75 (n0 + n1) - 0.25 (f0 + f1), round at each step in
          // single precision and once in double: a few units of the largest input.
          [](const ParityValue& v) { return 2 * Ulp(2 * v.largest); }};
}

// (ch, w, h) rasters: a binary or scalar operation, each rounded once on either path.
const std::vector<Shape> kRasters = {{1, 0, 0}, {1, 1, 1}, {3, 0, 1}, {3, 1, 1}, {1, 2, 3},
                                     {3, 2, 2}, {2, 4, 3}, {3, 3, 4}, {1, 5, 5}};
using MapBinary = void (*KernelTable::*)(u8, u8, u8, const float*, const float*, float*);
using MapScalar = void (*KernelTable::*)(u8, u8, u8, const float*, float, float*);
ParityCase Raster(const char* name, MapBinary binary, MapScalar scalar = nullptr) {
  return {name, kRasters, 2,
          [](const Shape& s) { return Sizes(3, RasterValues(s[0], s[1], s[2])); },
          [=](const KernelTable& k, const Shape& s, float* const* p) {
            if (binary) (k.*binary)(s[0], s[1], s[2], p[0], p[1], p[2]);
            else (k.*scalar)(s[0], s[1], s[2], p[0], -3.7f, p[2]);
          },
          [](const ParityValue& v) { return 2 * Ulp(v.plain); },
          binary ? std::vector<int>{0, 1} : std::vector<int>{0}};
}

// Products summed in single precision: eight units of the sum of the terms' magnitudes.
double SumTolerance(double magnitude) { return std::ldexp(magnitude, -21) + 1e-30; }

// Matrix (input 0) times the fields x, y, z (inputs 1-3) into three outputs.
ParityCase Transform(const char* name, std::size_t (*count)(int, int),
                     decltype(&KernelTable::GridTransform) entry) {
  return {name, {{0, 0}, {1, 0}, {2, 3}, {5, 4}}, 4,
          [count](const Shape& s) {
            const std::size_t n = count(s[0], s[1]);
            return Sizes{16, n, n, n, n, n, n};
          },
          [entry](const KernelTable& k, const Shape& s, float* const* p) {
            (k.*entry)(s[0], s[1], p[0], p[1], p[2], p[3], p[4], p[5], p[6]);
          },
          [](const ParityValue& v) {
            double sum = std::fabs(v.in[0][12 + v.o]);
            for (int c = 0; c < 3; ++c) sum += std::fabs(v.in[0][4 * c + v.o] * v.in[1 + c][v.i]);
            return SumTolerance(sum);
          }};
}

// The math block, one call per group of four random inputs (and a random matrix).
ParityCase Math(const char* name, int outputs,
                std::function<void(const KernelTable&, const float* m, const float* v, float*)>
                    call,
                std::function<double(const ParityValue&)> tolerance = {}) {
  return {name, {{1}, {7}, {2000}}, 2,
          [outputs](const Shape& s) { return Sizes{16, 4u * s[0], std::size_t(outputs) * s[0]}; },
          [call, outputs](const KernelTable& k, const Shape& s, float* const* p) {
            for (int n = 0; n < s[0]; ++n) call(k, p[0], p[1] + 4 * n, p[2] + outputs * n);
          },
          tolerance};
}

std::vector<ParityCase> Cases() {
  std::vector<ParityCase> cases = {
      Arithmetic("GridMul", [](auto& k, u8 a, u8 b, auto p) { k.GridMul(a, b, p[0], p[1], p[3]); }),
      Arithmetic("GridMulScalar",
                 [](auto& k, u8 a, u8 b, auto p) { k.GridMulScalar(a, b, p[0], 1.75f, p[3]); }),
      Arithmetic("GridDiv", [](auto& k, u8 a, u8 b, auto p) { k.GridDiv(a, b, p[0], p[1], p[3]); }),
      Arithmetic("GridDivScalar",
                 [](auto& k, u8 a, u8 b, auto p) { k.GridDivScalar(a, b, p[0], -3.5f, p[3]); },
                 [](const ParityValue& v) { return 2 * Ulp(v.in[0][v.i] / -3.5); }),
      Arithmetic("GridAdd", [](auto& k, u8 a, u8 b, auto p) { k.GridAdd(a, b, p[0], p[1], p[3]); }),
      Arithmetic("GridAddScalar",
                 [](auto& k, u8 a, u8 b, auto p) { k.GridAddScalar(a, b, p[0], 1.75f, p[3]); }),
      Arithmetic("GridSub", [](auto& k, u8 a, u8 b, auto p) { k.GridSub(a, b, p[0], p[1], p[3]); }),
      Arithmetic("GridSubScalar",
                 [](auto& k, u8 a, u8 b, auto p) { k.GridSubScalar(a, b, p[0], 1.75f, p[3]); }),
      Arithmetic("GridScalarMinus",
                 [](auto& k, u8 a, u8 b, auto p) { k.GridScalarMinus(a, b, 1.75f, p[0], p[3]); }),
      // A product and a sum round once each in single precision, once in all on the plain
      // path: a few units of the largest intermediate.
      Arithmetic("GridMulAdd",
                 [](auto& k, u8 a, u8 b, auto p) { k.GridMulAdd(a, b, p[0], p[1], p[2], p[3]); },
                 [](const ParityValue& v) {
                   const double ab = double{v.in[0][v.i]} * v.in[1][v.i];
                   return 3 * Ulp(std::max(std::fabs(ab), std::fabs(double{v.in[2][v.i]})));
                 }),
      Arithmetic("GridScaleAdd",
                 [](auto& k, u8 a, u8 b, auto p) { k.GridScaleAdd(a, b, p[0], 1.75f, p[2], p[3]); },
                 [](const ParityValue& v) {
                   return 3 * Ulp(std::max(std::fabs(1.75 * v.in[0][v.i]),
                                           std::fabs(double{v.in[2][v.i]})));
                 }),
      Arithmetic("GridCompare",
                 [](auto& k, u8 a, u8 b, auto p) { k.GridCompare(a, b, p[0], p[1], p[3]); }),
      Arithmetic("GridCompare2",
                 [](auto& k, u8 a, u8 b, auto p) { k.GridCompare2(a, b, p[0], p[1], p[3]); }),

      Layout("GridCellCentres", Vertices, Cells,
             [](auto& k, u8 a, u8 b, auto S, auto D) { k.GridCellCentres(a, b, S, D); }),
      Layout("GridNetToCells", Net, Cells,
             [](auto& k, u8 a, u8 b, auto S, auto D) { k.GridNetToCells(a, b, S, D); }),
      Layout("GridSubdivide2x", Vertices, [](int a, int b) { return Vertices(a + 1, b + 1); },
             [](auto& k, u8 a, u8 b, auto S, auto D) { k.GridSubdivide2x(a, b, S, D); }),
  };
  for (u8 ch : {1, 3, 4})
    cases.push_back(Layout("GridAverage2x2", Vertices,
                           [ch](int a, int b) { return std::size_t{ch} << (a + b); },
                           [ch](auto& k, u8 a, u8 b, auto S, auto D) {
                             k.GridAverage2x2(a, b, S, ch, D);
                           }));

  // Counted tables of W x H values at coordinates just around [0, 1], a NaN among them.
  ParityCase lookup{"GridSampleBilinear7", {}, 3,
                    [](const Shape& s) {
                      const std::size_t n = Vertices(s[2], s[3]);
                      return Sizes{std::size_t(s[0]) * s[1], n, n, n};
                    },
                    [](const KernelTable& k, const Shape& s, float* const* p) {
                      k.GridSampleBilinear7(s[0], s[1], p[0], s[2], s[3], p[1], p[2], p[3]);
                    },
                    // The SSE member rounds the position u (W - 1) to float: up to half a unit
                    // of it times the steepest step, plus a few units of the values.
                    [](const ParityValue& v) {
                      const double position = 0.5 * (Ulp(v.shape[0] - 1.0) + Ulp(v.shape[1] - 1.0));
                      return position * 2 * 100.0 + 8 * Ulp(100.0);
                    },
                    {}, 100.0f,
                    [](const Shape&, test::Arrays& in, std::mt19937& rng) {
                      std::uniform_real_distribution<float> coordinate(-0.2f, 1.2f);
                      for (int c = 1; c <= 2; ++c)
                        for (float& x : in[c]) x = coordinate(rng);
                      if (in[1].size() > 5) {
                        in[1][0] = 1.0f;
                        in[2][1] = std::numeric_limits<float>::quiet_NaN();
                      }
                    }};
  for (auto [w, h] : {std::pair{1, 1}, {1, 7}, {5, 1}, {2, 2}, {33, 17}, {1025, 300}})
    for (const Shape& g : kGrids) lookup.shapes.push_back({w, h, g[0], g[1]});
  cases.push_back(lookup);

  const struct {
    const char* name;
    MapBinary binary;
    MapScalar scalar;
  } rasters[] = {{"MapMul", &KernelTable::MapMul, nullptr},
                 {"MapDiv", &KernelTable::MapDiv, nullptr},
                 {"MapAdd", &KernelTable::MapAdd, nullptr},
                 {"MapSub", &KernelTable::MapSub, nullptr},
                 {"MapMulScalar", nullptr, &KernelTable::MapMulScalar},
                 {"MapDivScalar", nullptr, &KernelTable::MapDivScalar},
                 {"MapAddScalar", nullptr, &KernelTable::MapAddScalar},
                 {"MapSubScalar", nullptr, &KernelTable::MapSubScalar}};
  for (const auto& r : rasters) cases.push_back(Raster(r.name, r.binary, r.scalar));
  cases.push_back({"MapClamp01", kRasters, 1,
                   [](const Shape& s) { return Sizes(2, RasterValues(s[0], s[1], s[2])); },
                   [](const KernelTable& k, const Shape& s, float* const* p) {
                     std::copy(p[0], p[0] + RasterValues(s[0], s[1], s[2]), p[1]);
                     k.MapClamp01(s[0], s[1], s[2], p[1]);
                   },
                   {}, {}, 2.0f});
  // Shapes (ch, w, h, halving): bit 0 asks for the width, bit 1 for the height; the height
  // halves when neither is asked for.
  ParityCase downsample{"MapDownsample", {}, 1,
                        [](const Shape& s) {
                          const int dw = s[3] & 1, dh = (s[3] >> 1) | (s[3] == 0);
                          return Sizes{RasterValues(s[0], s[1], s[2]),
                                       RasterValues(s[0], s[1] - dw, s[2] - dh)};
                        },
                        [](const KernelTable& k, const Shape& s, float* const* p) {
                          k.MapDownsample(s[0], s[1], s[2], s[3] & 1, s[3] >> 1, p[0], p[1]);
                        },
                        // Three additions rounded down in sums up to 4, then a quarter.
                        [](const ParityValue&) { return 4 * Ulp(1.0); },
                        {}, 1.0f};
  for (int ch = 1; ch <= 5; ++ch)
    for (int w = 1; w <= 5; ++w)
      for (int h : {1, 4})
        for (int halving = 0; halving < 4; ++halving) downsample.shapes.push_back({ch, w, h, halving});
  cases.push_back(downsample);

  cases.push_back(Transform("GridTransform", Vertices, &KernelTable::GridTransform));
  cases.push_back(Transform("GridTransformVectors", Cells, &KernelTable::GridTransformVectors));
  // Normals of jittered, hilly cell centres.
  cases.push_back({"GridDiagonalNormals", {{0, 0}, {1, 0}, {2, 3}, {5, 4}}, 3,
                   [](const Shape& s) {
                     const std::size_t c = Cells(s[0], s[1]), v = Vertices(s[0], s[1]);
                     return Sizes{c, c, c, v, v, v};
                   },
                   [](const KernelTable& k, const Shape& s, float* const* p) {
                     k.GridDiagonalNormals(s[0], s[1], p[0], p[1], p[2], p[3], p[4], p[5]);
                   },
                   [](const ParityValue&) { return 5e-4; }, {}, 1.0f,
                   [](const Shape& s, test::Arrays& in, std::mt19937&) {
                     const std::size_t w = Side(s[0], 2);
                     for (std::size_t i = 0; i < in[0].size(); ++i) {
                       in[0][i] = i % w + 0.3f * in[0][i];
                       in[1][i] *= 2;
                       in[2][i] = i / w + 0.3f * in[2][i];
                     }
                   }});
  // Light terms for s3 > -1, where both members agree: terms within 2 + 1 + 1 + 1, over s3 + 1.
  cases.push_back({"FieldLightTerms", {{0, 0}, {1, 0}, {2, 3}, {5, 4}}, 3,
                   [](const Shape& s) { return Sizes(5, Vertices(s[0], s[1])); },
                   [](const KernelTable& k, const Shape& s, float* const* p) {
                     k.FieldLightTerms(s[0], s[1], p[0], p[1], p[2], 0.3f, -0.8f, 0.55f, 0.6f,
                                       p[3], p[4]);
                   },
                   [](const ParityValue& v) { return v.o == 0 ? SumTolerance(5 / 1.6) : 0.0; },
                   {}, 1.0f});

  // Nets of values within +-100: single-precision sums and the SSE weight table stay within a
  // few units of 100. Shapes (a, b, p, q).
  std::vector<Shape> splines = {{0, 0, 0, 0}, {1, 0, 1, 2}, {2, 1, 3, 1}, {0, 2, 2, 0},
                                {7, 1, 1, 2}, {6, 0, 0, 1}, {0, 0, 8, 3}, {1, 0, 8, 8}};
  for (int a : {0, 1, 2, 3, 7})
    for (int level : {0, 1, 2, 3}) splines.push_back({a, 1, level, 3 - level});
  for (int extra : {1, 3})
    cases.push_back({extra == 1 ? "GridBSplineEval" : "MapBSplineUpsample", splines, 1,
                     [extra](const Shape& s) {
                       return Sizes{Net(s[0], s[1]),
                                    Side(s[0] + s[2], extra) * Side(s[1] + s[3], extra)};
                     },
                     [extra](const KernelTable& k, const Shape& s, float* const* p) {
                       (extra == 1 ? k.GridBSplineEval : k.MapBSplineUpsample)(s[0], s[1], s[2],
                                                                               s[3], p[0], p[1]);
                     },
                     [](const ParityValue&) { return 8 * Ulp(100.0); }});

  // The math block: sums of four products round at each step in single precision.
  const auto products = [](const ParityValue&) { return 4 * Ulp(4 * 100.0 * 100.0); };
  const auto estimate = [](const ParityValue&) { return 4e-4; };  // the SSE root estimate
  cases.insert(cases.end(), {
      Math("KernelMin", 1, [](auto& k, auto, auto v, auto d) { *d = k.KernelMin(v[0], v[1]); }),
      Math("KernelMax", 1, [](auto& k, auto, auto v, auto d) { *d = k.KernelMax(v[0], v[1]); }),
      Math("KernelClamp01", 1, [](auto& k, auto, auto v, auto d) { *d = k.KernelClamp01(v[0] / 50); }),
      Math("KernelSqrt", 1, [](auto& k, auto, auto v, auto d) { *d = k.KernelSqrt(std::fabs(v[0])); }),
      Math("KernelInvSqrt", 1,
           [](auto& k, auto, auto v, auto d) { *d = k.KernelInvSqrt(std::fabs(v[0])); },
           [](const ParityValue& v) { return 1.5 * std::ldexp(v.plain, -12) + Ulp(v.plain); }),
      Math("KernelLength3", 1, [](auto& k, auto, auto v, auto d) { *d = k.KernelLength3(v); },
           [](const ParityValue& v) { return 2 * Ulp(v.plain); }),
      Math("KernelNormalize3", 3,
           [](auto& k, auto, auto v, auto d) { std::copy(v, v + 3, d), k.KernelNormalize3(d); },
           estimate),
      Math("KernelMat4Vec4", 4, [](auto& k, auto m, auto v, auto d) { k.KernelMat4Vec4(d, m, v); },
           products),
      Math("KernelTransformPoint", 3,
           [](auto& k, auto m, auto v, auto d) { k.KernelTransformPoint(d, m, v); }, products),
      Math("KernelTransformNormal", 3,
           [](auto& k, auto m, auto v, auto d) { k.KernelTransformNormal(d, m, v); }, estimate),
  });
  return cases;
}

TEST(KernelParity, EveryOwnSseMemberAgreesWithThePlainOne) {
  std::mt19937 rng(11);
  for (const ParityCase& c : Cases()) test::ExpectParity(c, rng);
}

// --- Colour reductions: accumulators and channel orders, bytes and floats ---------------------

using Order = std::array<std::uint32_t, 3>;
constexpr Order kOrders[] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};

// Points whose offsets from the base are at least `margin` away from 0 in every channel, so
// that a rounding difference can neither cross the 1e-5 test nor blow up a ratio.
struct PointSet {
  test::TestBuffer<float> floats;
  test::TestBuffer<std::uint8_t> bytes;
  float base[3];
  PointSet(std::uint32_t n, std::size_t offset, std::mt19937& rng, float margin)
      : floats(3 * n, offset), bytes(3 * n, offset) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (float& b : base) b = std::ldexp(std::floor(std::ldexp(unit(rng) * 0.6f + 0.2f, 10)), -10);
    for (std::uint32_t i = 0; i < 3 * n; ++i) {
      const float b = base[i % 3];
      do floats[i] = unit(rng);
      while (std::fabs(floats[i] - b) < margin);
      do bytes[i] = static_cast<std::uint8_t>(rng() % 256);
      while (std::fabs(bytes[i] * kByteToUnit - b) < margin);
    }
  }
};

// Runs `call` on both tables with `init` in the three accumulators; compares within
// tolerance(channel, plain value).
template <typename Call, typename Tolerance>
void ExpectSameSums(const char* name, std::array<float, 3> init, Call call, Tolerance tolerance) {
  std::array<float, 3> p = init, s = init;
  call(Tables().plain, p.data());
  call(Tables().sse, s.data());
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(p[j], s[j], tolerance(j, p[j])) << name << " " << j;
}

TEST(KernelParity, ColourReductionsAgreeUpToSummationOrderAndRounding) {
  std::mt19937 rng(5);
  for (std::uint32_t n : {0u, 1u, 3u, 4u, 5u, 7u, 8u, 9u, 63u, 64u, 65u, 1001u})
    for (std::size_t offset : {0u, 1u, 4u}) {
      SCOPED_TRACE(::testing::Message() << "n " << n << " offset " << offset);
      PointSet set(n, offset, rng, 0.02f);
      const float* f = set.floats.data();
      const std::uint8_t* b = set.bytes.data();
      const float* base = set.base;
      const float mean[3] = {0.01f, -0.02f, 0.03f};
      // Each addition of either member may be off by a unit of the sum of |terms|.
      double magnitude[3];
      for (int j = 0; j < 3; ++j) {
        magnitude[j] = 0.5;
        for (std::uint32_t i = 0; i < n; ++i) magnitude[j] += std::fabs(f[3 * i + j]) + base[j];
      }
      const auto sums = [&](int j, float) { return (n + 8) * Ulp(magnitude[j]); };
      const auto deviations = [&](int j, float) {
        return (n + 8) * Ulp(magnitude[j] + n * std::fabs(mean[j]));
      };
      ExpectSameSums("PointArrayMinMax2", {2, 2, 2},
                     [&](auto& k, float* o) { k.PointArrayMinMax2(n, f, o); },
                     [](int, float) { return 0.0; });
      ExpectSameSums("PointArrayMinMax", {2, 2, 2},
                     [&](auto& k, float* o) { k.PointArrayMinMax(n, b, o); },
                     [](int, float v) { return Ulp(v); });
      ExpectSameSums("PointArrayMinMax4", {0.5f, 0.5f, 0.5f},
                     [&](auto& k, float* o) { k.PointArrayMinMax4(n, f, base, o); }, sums);
      ExpectSameSums("PointArrayMinMax6", {0.5f, 0.5f, 0.5f},
                     [&](auto& k, float* o) { k.PointArrayMinMax6(n, f, base, mean, o); },
                     deviations);
      for (const Order& order : kOrders) {
        float p[3] = {0, 1, 1}, s[3] = {0, 1, 1}, pb[3] = {0, 1, 1}, sb[3] = {0, 1, 1};
        Tables().plain.PointArrayMinMax8(n, f, base, order.data(), p);
        Tables().sse.PointArrayMinMax8(n, f, base, order.data(), s);
        Tables().plain.PointArrayMinMax7(n, b, base, order.data(), pb);
        Tables().sse.PointArrayMinMax7(n, b, base, order.data(), sb);
        for (int j = 0; j < 3; ++j) {
          EXPECT_NEAR(p[j], s[j], 4 * Ulp(p[j])) << "PointArrayMinMax8 " << j;
          // The bytes' 1/255 rounds differently (down): a unit of 1 in an offset of 0.02.
          EXPECT_NEAR(pb[j], sb[j], 1e-4 * std::fabs(pb[j]) + 1e-7) << "PointArrayMinMax7 " << j;
        }
      }
    }
}

TEST(KernelParity, PrincipalAxesAgree) {
  std::mt19937 rng(3);
  for (std::uint32_t n : {1u, 5u, 64u, 301u, 4096u})
    for (std::size_t offset : {0u, 1u, 4u}) {
      SCOPED_TRACE(::testing::Message() << "n " << n << " offset " << offset);
      PointSet set(6 * n, offset, rng, 0.02f);
      const float* faces[6];
      const std::uint8_t* byteFaces[6];
      for (std::uint32_t f = 0; f < 6; ++f) {
        faces[f] = set.floats.data() + 3 * n * f;
        byteFaces[f] = set.bytes.data() + 3 * n * f;
      }
      const auto same = [&](auto call) {
        float pk[3], sk[3];
        Order po, so;
        call(Tables().plain, pk, po.data());
        call(Tables().sse, sk, so.data());
        EXPECT_EQ(po, so);
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(pk[j], sk[j], 1e-4 * std::fabs(pk[j]) + 1e-6) << j;
      };
      const float* base = set.base;
      same([&](auto& k, float* key, auto* o) { k.MapPrincipalAxes2(n, set.floats.data(), base, key, o); });
      same([&](auto& k, float* key, auto* o) { k.MapPrincipalAxes(n, set.bytes.data(), base, key, o); });
      same([&](auto& k, float* key, auto* o) { k.MapPrincipalAxes4(n, faces, base, key, o); });
      same([&](auto& k, float* key, auto* o) { k.MapPrincipalAxes3(n, byteFaces, base, key, o); });
    }
}

}  // namespace
}  // namespace veskor
