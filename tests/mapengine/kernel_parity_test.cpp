// Every entry with an SSE member of its own, run on the plain and the SSE table side by side
// over random arrays of many sizes (remainders of every length), aligned, unaligned and in
// place where the entry allows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

#include "mapengine/colour_kernels.h"
#include "mapengine/grid_arithmetic_kernels.h"
#include "mapengine/kernel_support.h"
#include "mapengine/map_raster_kernels.h"

namespace veskor {
namespace {

using test::Arrays;
using test::ParityCase;
using test::ParityValue;
using test::Shape;
using test::Ulp;
using Sizes = std::vector<std::size_t>;
using Call = std::function<void(const KernelTable&, const Shape&, float* const*)>;
using Tolerance = std::function<double(const ParityValue&)>;

std::size_t Side(int log2, int extra) { return (std::size_t{1} << log2) + extra; }
std::size_t Vertices(int a, int b) { return Side(a, 1) * Side(b, 1); }
std::size_t Cells(int a, int b) { return Side(a, 2) * Side(b, 2); }
std::size_t Net(int a, int b) { return Side(a, 3) * Side(b, 3); }
Tolerance Units(double n) {  // n units in the last place of the plain value
  return [n](const ParityValue& v) { return n * Ulp(v.plain); };
}
Tolerance Absolute(double d) {
  return [d](const ParityValue&) { return d; };
}
// Products summed in single precision: eight units of the sum of the terms' magnitudes.
double SumTolerance(double magnitude) { return std::ldexp(magnitude, -21) + 1e-30; }

// Grid sizes whose value counts are all odd: the SSE members always have a remainder.
const std::vector<Shape> kGrids = {{0, 0}, {1, 0}, {0, 2}, {2, 1}, {0, 3},
                                   {2, 3}, {3, 3}, {4, 4}, {5, 2}, {6, 6}};
const std::vector<Shape> kFields = {{0, 0}, {1, 0}, {2, 3}, {5, 4}};
// (ch, w, h) rasters.
const std::vector<Shape> kRasters = {{1, 0, 0}, {1, 1, 1}, {3, 0, 1}, {3, 1, 1}, {1, 2, 3},
                                     {3, 2, 2}, {2, 4, 3}, {3, 3, 4}, {1, 5, 5}};

// Value by value over (a, b) grids: sources A, B (a NaN in it) and C into D, also in place.
// A product and a sum round once each in single precision, once in all on the plain path: a
// few units of the largest intermediate.
Tolerance ProductAndSum(bool byScalar) {
  return [byScalar](const ParityValue& v) {
    const double a = v.in[0][v.i], product = byScalar ? 1.75 * a : a * v.in[1][v.i];
    return 3 * Ulp(std::fmax(std::fabs(product), std::fabs(double{v.in[2][v.i]})));
  };
}
#define GRID(entry, tolerance, ...)                                                            \
  ParityCase {                                                                                 \
    #entry, kGrids, 3, [](const Shape& s) { return Sizes(4, Vertices(s[0], s[1])); },         \
        [](const KernelTable& k, const Shape& s, float* const* p) {                            \
          k.entry(s[0], s[1], __VA_ARGS__);                                                    \
        },                                                                                     \
        tolerance, {0}, 100.0f, [](const Shape&, Arrays& in, std::mt19937&) {                  \
          if (in[1].size() > 3) in[1][3] = std::numeric_limits<float>::quiet_NaN();            \
        }                                                                                      \
  }
// A source of one layout into a destination of another. Four values times 0.25, or 0.75 (n0 +
// n1) - 0.25 (f0 + f1), round at each step in single precision and once in double: a few units
// of the largest input.
ParityCase Layout(const char* name, std::function<Sizes(int, int)> sizes, Call call) {
  return {name, kGrids, 1, [sizes](const Shape& s) { return sizes(s[0], s[1]); }, call,
          [](const ParityValue& v) { return 2 * Ulp(2 * v.largest); }};
}
// (ch, w, h) rasters a and b into d, each rounded once on either path.
#define RASTER(entry, second, ...)                                                             \
  ParityCase {                                                                                 \
    #entry, kRasters, 2, [](const Shape& s) { return Sizes(3, RasterValues(s[0], s[1], s[2])); }, \
        [](const KernelTable& k, const Shape& s, float* const* p) {                            \
          k.entry(s[0], s[1], s[2], p[0], second, p[2]);                                       \
        },                                                                                     \
        Units(2), __VA_ARGS__                                                                  \
  }
// The math block: one call per group of four random inputs, with a random matrix.
#define MATH(entry, outputs, tolerance, ...)                                                   \
  ParityCase {                                                                                 \
    #entry, {{1}, {7}, {2000}}, 2,                                                             \
        [](const Shape& s) { return Sizes{16, 4u * s[0], outputs##u * s[0]}; },                \
        [](const KernelTable& k, const Shape& s, float* const* p) {                            \
          for (int n = 0; n < s[0]; ++n) {                                                     \
            const float *m = p[0], *v = p[1] + 4 * n;                                          \
            float* d = p[2] + outputs * n;                                                     \
            (void)m;                                                                           \
            __VA_ARGS__;                                                                       \
          }                                                                                    \
        },                                                                                     \
        tolerance                                                                              \
  }

// Colour points: in[0] 3n floats, in[1] 3n bytes (as floats), in[2] the base, each offset from
// the base by at least 0.02 in every channel, so that a rounding difference can neither cross
// the 1e-5 test nor blow up a ratio. The accumulators start at `init` on both paths.
const std::vector<Shape> kCounts = {{0},  {1},  {3},  {4},  {5},  {7},
                                    {8},  {9},  {63}, {64}, {65}, {1001}};
const float kMean[3] = {0.01f, -0.02f, 0.03f};
std::vector<std::uint8_t> Bytes(const float* p, int n) { return {p, p + 3 * n}; }
ParityCase Colour(const char* name, std::vector<Shape> counts, int points, int outputs, Call call,
                  Tolerance tolerance) {
  return {name, counts, 3,
          [=](const Shape& s) {
            const std::size_t n = 3u * points * s[0];
            return Sizes{n, n, 3, std::size_t(outputs)};
          },
          call, tolerance, {}, 1.0f,
          [](const Shape&, Arrays& in, std::mt19937& rng) {
            std::uniform_real_distribution<float> unit(0.0f, 1.0f);
            for (float& b : in[2]) b = std::floor((unit(rng) * 0.6f + 0.2f) * 1024) / 1024;
            for (std::size_t i = 0; i < in[0].size(); ++i) {
              const float b = in[2][i % 3];
              do in[0][i] = unit(rng);
              while (std::fabs(in[0][i] - b) < 0.02f);
              do in[1][i] = static_cast<float>(rng() % 256);
              while (std::fabs(in[1][i] * kByteToUnit - b) < 0.02f);
            }
          }};
}
// Each addition of either member may be off by a unit of the sum of |terms| (and |mean|).
Tolerance SumsOfOffsets(double meanWeight) {
  return [meanWeight](const ParityValue& v) {
    double m = 0.5;
    for (std::size_t i = v.i; i < v.in[0].size(); i += 3)
      m += std::fabs(v.in[0][i]) + v.in[2][v.i] + meanWeight * std::fabs(kMean[v.i]);
    return (v.shape[0] + 8) * Ulp(m);
  };
}
// The key within a relative 1e-4 (the bytes' 1/255 rounds down on the SSE path), the channel
// order (outputs 3-5) exactly.
Tolerance AxesTolerance() {
  return [](const ParityValue& v) { return v.i < 3 ? 1e-4 * std::fabs(v.plain) + 1e-6 : 0.0; };
}
using AxesCall = void (*)(const KernelTable&, int, const float*, const float*, const float*,
                          float*, std::uint32_t*);
ParityCase PrincipalAxes(const char* name, AxesCall axes) {
  // Two points at least: the spreads of one are all rounding noise, ordered as it falls.
  return Colour(name, {{2}, {5}, {64}, {301}, {4096}}, 6, 6,
                [axes](const KernelTable& k, const Shape& s, float* const* p) {
                  std::uint32_t order[3];
                  axes(k, s[0], p[0], p[1], p[2], p[3], order);
                  std::copy(order, order + 3, p[3] + 3);
                },
                AxesTolerance());
}

std::vector<Shape> DownsampleShapes() {
  std::vector<Shape> shapes;
  for (int ch = 1; ch <= 5; ++ch)
    for (int w = 1; w <= 5; ++w)
      for (int h : {1, 4})
        for (int halving = 0; halving < 4; ++halving) shapes.push_back({ch, w, h, halving});
  return shapes;
}

std::vector<ParityCase> Cases() {
  std::vector<ParityCase> cases = {
      GRID(GridMul, {}, p[0], p[1], p[3]),
      GRID(GridMulScalar, {}, p[0], 1.75f, p[3]),
      GRID(GridDiv, {}, p[0], p[1], p[3]),
      GRID(GridDivScalar, [](const ParityValue& v) { return 2 * Ulp(v.in[0][v.i] / -3.5); },
           p[0], -3.5f, p[3]),
      GRID(GridAdd, {}, p[0], p[1], p[3]),
      GRID(GridAddScalar, {}, p[0], 1.75f, p[3]),
      GRID(GridSub, {}, p[0], p[1], p[3]),
      GRID(GridSubScalar, {}, p[0], 1.75f, p[3]),
      GRID(GridScalarMinus, {}, 1.75f, p[0], p[3]),
      GRID(GridMulAdd, ProductAndSum(false), p[0], p[1], p[2], p[3]),
      GRID(GridScaleAdd, ProductAndSum(true), p[0], 1.75f, p[2], p[3]),
      GRID(GridCompare, {}, p[0], p[1], p[3]),
      GRID(GridCompare2, {}, p[0], p[1], p[3]),
      Layout("GridCellCentres", [](int a, int b) { return Sizes{Vertices(a, b), Cells(a, b)}; },
             [](auto& k, auto& s, auto p) { k.GridCellCentres(s[0], s[1], p[0], p[1]); }),
      Layout("GridNetToCells", [](int a, int b) { return Sizes{Net(a, b), Cells(a, b)}; },
             [](auto& k, auto& s, auto p) { k.GridNetToCells(s[0], s[1], p[0], p[1]); }),
      Layout("GridSubdivide2x",
             [](int a, int b) { return Sizes{Vertices(a, b), Vertices(a + 1, b + 1)}; },
             [](auto& k, auto& s, auto p) { k.GridSubdivide2x(s[0], s[1], p[0], p[1]); }),
      RASTER(MapMul, p[1], {0, 1}),
      RASTER(MapDiv, p[1], {0, 1}),
      RASTER(MapAdd, p[1], {0, 1}),
      RASTER(MapSub, p[1], {0, 1}),
      RASTER(MapMulScalar, -3.7f, {0}),
      RASTER(MapDivScalar, -3.7f, {0}),
      RASTER(MapAddScalar, -3.7f, {0}),
      RASTER(MapSubScalar, -3.7f, {0}),
      {"MapClamp01", kRasters, 1,
       [](const Shape& s) { return Sizes(2, RasterValues(s[0], s[1], s[2])); },
       [](const KernelTable& k, const Shape& s, float* const* p) {
         std::copy(p[0], p[0] + RasterValues(s[0], s[1], s[2]), p[1]);
         k.MapClamp01(s[0], s[1], s[2], p[1]);
       },
       {}, {}, 2.0f},
      // Three additions rounded down in sums up to 4, then a quarter. Shape (ch, w, h,
      // halving): bit 0 asks for the width, bit 1 for the height; neither halves the height.
      {"MapDownsample", DownsampleShapes(), 1,
       [](const Shape& s) {
         const int dw = s[3] & 1, dh = (s[3] >> 1) | (s[3] == 0);
         return Sizes{RasterValues(s[0], s[1], s[2]), RasterValues(s[0], s[1] - dw, s[2] - dh)};
       },
       [](const KernelTable& k, const Shape& s, float* const* p) {
         k.MapDownsample(s[0], s[1], s[2], s[3] & 1, s[3] >> 1, p[0], p[1]);
       },
       Absolute(4 * Ulp(1.0)), {}, 1.0f},
      // Normals of jittered, hilly cell centres.
      {"GridDiagonalNormals", kFields, 3,
       [](const Shape& s) {
         const std::size_t c = Cells(s[0], s[1]), v = Vertices(s[0], s[1]);
         return Sizes{c, c, c, v, v, v};
       },
       [](const KernelTable& k, const Shape& s, float* const* p) {
         k.GridDiagonalNormals(s[0], s[1], p[0], p[1], p[2], p[3], p[4], p[5]);
       },
       Absolute(5e-4), {}, 1.0f,
       [](const Shape& s, Arrays& in, std::mt19937&) {
         const std::size_t w = Side(s[0], 2);
         for (std::size_t i = 0; i < in[0].size(); ++i) {
           in[0][i] = i % w + 0.3f * in[0][i];
           in[1][i] *= 2;
           in[2][i] = i / w + 0.3f * in[2][i];
         }
       }},
      // Light terms for s3 > -1, where both members agree: terms within 2 + 1 + 1 + 1, over
      // s3 + 1; the second term exactly.
      {"FieldLightTerms", kFields, 3,
       [](const Shape& s) { return Sizes(5, Vertices(s[0], s[1])); },
       [](const KernelTable& k, const Shape& s, float* const* p) {
         k.FieldLightTerms(s[0], s[1], p[0], p[1], p[2], 0.3f, -0.8f, 0.55f, 0.6f, p[3], p[4]);
       },
       [](const ParityValue& v) { return v.o == 0 ? SumTolerance(5 / 1.6) : 0.0; }, {}, 1.0f},
      MATH(KernelMin, 1, {}, *d = k.KernelMin(v[0], v[1])),
      MATH(KernelMax, 1, {}, *d = k.KernelMax(v[0], v[1])),
      MATH(KernelClamp01, 1, {}, *d = k.KernelClamp01(v[0] / 50)),
      MATH(KernelSqrt, 1, {}, *d = k.KernelSqrt(std::fabs(v[0]))),
      MATH(KernelInvSqrt, 1,
           [](const ParityValue& v) { return kInvSqrtEstimateBound * v.plain + Ulp(v.plain); },
           *d = k.KernelInvSqrt(std::fabs(v[0]))),
      MATH(KernelLength3, 1, Units(2), *d = k.KernelLength3(v)),
      MATH(KernelNormalize3, 3, Absolute(kUnitLengthError), std::copy(v, v + 3, d),
           k.KernelNormalize3(d)),
      // Sums of four products round at each step in single precision.
      MATH(KernelMat4Vec4, 4, Absolute(4 * Ulp(4e4)), k.KernelMat4Vec4(d, m, v)),
      MATH(KernelTransformPoint, 3, Absolute(4 * Ulp(4e4)), k.KernelTransformPoint(d, m, v)),
      MATH(KernelTransformNormal, 3, Absolute(kUnitLengthError), k.KernelTransformNormal(d, m, v)),
      Colour("PointArrayMinMax2", kCounts, 1, 3,
             [](auto& k, auto& s, auto p) {
               std::fill(p[3], p[3] + 3, 2), k.PointArrayMinMax2(s[0], p[0], p[3]);
             },
             {}),
      Colour("PointArrayMinMax", kCounts, 1, 3,
             [](auto& k, auto& s, auto p) {
               std::fill(p[3], p[3] + 3, 2);
               k.PointArrayMinMax(s[0], Bytes(p[1], s[0]).data(), p[3]);
             },
             Units(1)),
      Colour("PointArrayMinMax4", kCounts, 1, 3,
             [](auto& k, auto& s, auto p) {
               std::fill(p[3], p[3] + 3, 0.5f), k.PointArrayMinMax4(s[0], p[0], p[2], p[3]);
             },
             SumsOfOffsets(0)),
      Colour("PointArrayMinMax6", kCounts, 1, 3,
             [](auto& k, auto& s, auto p) {
               std::fill(p[3], p[3] + 3, 0.5f), k.PointArrayMinMax6(s[0], p[0], p[2], kMean, p[3]);
             },
             SumsOfOffsets(1)),
  };
  for (int ch : {1, 3, 4})
    cases.push_back(Layout("GridAverage2x2",
                           [ch](int a, int b) {
                             return Sizes{Vertices(a, b), std::size_t(ch) << (a + b)};
                           },
                           [ch](auto& k, auto& s, auto p) {
                             k.GridAverage2x2(s[0], s[1], p[0], ch, p[1]);
                           }));
  // Matrix (input 0) times the fields x, y, z.
  for (auto [name, entry, count] :
       {std::tuple{"GridTransform", &KernelTable::GridTransform, &Vertices},
        std::tuple{"GridTransformVectors", &KernelTable::GridTransformVectors, &Cells}})
    cases.push_back({name, kFields, 4,
                     [count](const Shape& s) {
                       const std::size_t n = count(s[0], s[1]);
                       return Sizes{16, n, n, n, n, n, n};
                     },
                     [entry](const KernelTable& k, const Shape& s, float* const* p) {
                       (k.*entry)(s[0], s[1], p[0], p[1], p[2], p[3], p[4], p[5], p[6]);
                     },
                     [](const ParityValue& v) {
                       double sum = std::fabs(v.in[0][12 + v.o]);
                       for (int c = 0; c < 3; ++c)
                         sum += std::fabs(v.in[0][4 * c + v.o] * v.in[1 + c][v.i]);
                       return SumTolerance(sum);
                     }});
  // Counted tables of W x H values at coordinates just around [0, 1], a NaN among them. The
  // SSE member rounds the position u (W - 1) to float: up to half a unit of it times the
  // steepest step, plus a few units of the values.
  ParityCase lookup{"GridSampleBilinear7", {}, 3,
                    [](const Shape& s) {
                      const std::size_t n = Vertices(s[2], s[3]);
                      return Sizes{std::size_t(s[0]) * s[1], n, n, n};
                    },
                    [](const KernelTable& k, const Shape& s, float* const* p) {
                      k.GridSampleBilinear7(s[0], s[1], p[0], s[2], s[3], p[1], p[2], p[3]);
                    },
                    [](const ParityValue& v) {
                      return (Ulp(v.shape[0] - 1.0) + Ulp(v.shape[1] - 1.0)) * 100 + 8 * Ulp(100);
                    },
                    {}, 100.0f,
                    [](const Shape&, Arrays& in, std::mt19937& rng) {
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

  // Nets of values within +-100: single-precision sums and the SSE weight table stay within a
  // few units of 100. Shapes (a, b, p, q).
  std::vector<Shape> splines = {{0, 0, 0, 0}, {1, 0, 1, 2}, {2, 1, 3, 1}, {0, 2, 2, 0},
                                {7, 1, 1, 2}, {6, 0, 0, 1}, {0, 0, 8, 3}, {1, 0, 8, 8}};
  for (int a : {0, 1, 2, 3, 7})
    for (int level : {0, 1, 2, 3}) splines.push_back({a, 1, level, 3 - level});
  for (int extra : {1, 3})
    cases.push_back({extra == 1 ? "GridBSplineEval" : "MapBSplineUpsample", splines, 1,
                     [extra](const Shape& s) {
                       const std::size_t out = Side(s[0] + s[2], extra) * Side(s[1] + s[3], extra);
                       return Sizes{Net(s[0], s[1]), out};
                     },
                     [extra](const KernelTable& k, const Shape& s, float* const* p) {
                       const auto entry = extra == 1 ? k.GridBSplineEval : k.MapBSplineUpsample;
                       entry(s[0], s[1], s[2], s[3], p[0], p[1]);
                     },
                     Absolute(8 * Ulp(100.0))});

  // Axis ratios over every channel order (six orders of three ratios); the bytes' 1/255
  // rounds differently (down): up to a unit of 1 in an offset of 0.02.
  for (bool bytes : {false, true})
    cases.push_back(Colour(bytes ? "PointArrayMinMax7" : "PointArrayMinMax8", kCounts, 1, 18,
                           [bytes](const KernelTable& k, const Shape& s, float* const* p) {
                             const std::uint32_t orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                                                 {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
                             for (int o = 0; o < 6; ++o) {
                               float* r = p[3] + 3 * o;
                               r[0] = 0, r[1] = r[2] = 1;
                               if (bytes)
                                 k.PointArrayMinMax7(s[0], Bytes(p[1], s[0]).data(), p[2],
                                                     orders[o], r);
                               else
                                 k.PointArrayMinMax8(s[0], p[0], p[2], orders[o], r);
                             }
                           },
                           bytes ? Tolerance([](const ParityValue& v) {
                             return 1e-4 * std::fabs(v.plain) + 1e-7;
                           })
                                 : Units(4)));
  // The analysis over one set, or six faces taken as one set.
  using K = const KernelTable&;
  using F = const float*;
  cases.push_back(PrincipalAxes("MapPrincipalAxes2", [](K k, int n, F f, F, F base, float* key,
                                                        std::uint32_t* o) {
    k.MapPrincipalAxes2(n, f, base, key, o);
  }));
  cases.push_back(PrincipalAxes("MapPrincipalAxes", [](K k, int n, F, F b, F base, float* key,
                                                       std::uint32_t* o) {
    k.MapPrincipalAxes(n, Bytes(b, n).data(), base, key, o);
  }));
  cases.push_back(PrincipalAxes("MapPrincipalAxes4", [](K k, int n, F f, F, F base, float* key,
                                                        std::uint32_t* o) {
    const float* faces[6];
    for (int i = 0; i < 6; ++i) faces[i] = f + 3 * n * i;
    k.MapPrincipalAxes4(n, faces, base, key, o);
  }));
  cases.push_back(PrincipalAxes("MapPrincipalAxes3", [](K k, int n, F, F b, F base, float* key,
                                                        std::uint32_t* o) {
    const std::vector<std::uint8_t> all = Bytes(b, 6 * n);
    const std::uint8_t* faces[6];
    for (int i = 0; i < 6; ++i) faces[i] = all.data() + 3 * n * i;
    k.MapPrincipalAxes3(n, faces, base, key, o);
  }));
  return cases;
}

TEST(KernelParity, EveryOwnSseMemberAgreesWithThePlainOne) {
  std::mt19937 rng(11);
  for (const ParityCase& c : Cases()) test::ExpectParity(c, rng);
}

}  // namespace
}  // namespace veskor
