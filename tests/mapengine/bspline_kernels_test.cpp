#include "mapengine/bspline_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "mapengine/kernel_support.h"

namespace veskor {
namespace {

using test::Tables;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::size_t Side(int log2, int extra) { return (std::size_t{1} << log2) + extra; }

// A row-major array of (2^a + extra) x (2^b + extra) values: extra 1 is the vertex layout,
// 3 the net layout.
struct Array2 {
  std::size_t width, height;
  std::vector<float> v;
  Array2(int a, int b, int extra, float fill = kNaN)
      : width(Side(a, extra)), height(Side(b, extra)), v(width * height, fill) {}
  float& at(std::size_t x, std::size_t y) { return v[y * width + x]; }
  float* data() { return v.data(); }
  bool AllFinite() const {
    return std::all_of(v.begin(), v.end(), [](float f) { return std::isfinite(f); });
  }
};

Array2 NetOf(int a, int b, const std::function<float(float, float)>& f) {
  Array2 net(a, b, 3);
  for (std::size_t y = 0; y < net.height; ++y)
    for (std::size_t x = 0; x < net.width; ++x) net.at(x, y) = f(x, y);
  return net;
}

Array2 RandomNet(int a, int b, std::mt19937& rng) {
  std::uniform_real_distribution<float> d(-100, 100);
  return NetOf(a, b, [&](float, float) { return d(rng); });
}

struct Levels {
  int a, b, p, q;
};

TEST(BSplinePatches, ClampedWindowsEqualTheFullWindowWithTheEdgeLineRepeated) {
  (void)Tables();  // builds the weight table
  using Eval = void (*)(const float*, const float*, std::uint32_t, float*);
  // Line maps from the 4-line window to the lines read: the first line repeated, the last
  // line repeated, or none.
  const auto first = [](int r) { return std::max(r - 1, 0); };
  const auto last = [](int r) { return std::min(r, 2); };
  const auto none = [](int r) { return r; };
  struct Variant {
    Eval eval;
    std::function<int(int)> row, column;
  } variants[] = {{BSplinePatchEvalLeft, none, first},
                  {BSplinePatchEvalRight, none, last},
                  {BSplinePatchEvalTop, first, none},
                  {BSplinePatchEvalBottom, last, none},
                  {BSplinePatchEvalTopLeft, first, first},
                  {BSplinePatchEvalTopRight, first, last},
                  {BSplinePatchEvalBottomLeft, last, first},
                  {BSplinePatchEvalBottomRight, last, last}};
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> d(-10, 10);
  float block[5 * 5];
  for (float& f : block) f = d(rng);
  for (std::uint32_t n = 0; n < 4; ++n) {
    for (std::uint32_t i = 0; i <= (1u << n); ++i) {
      float w[16];
      BSplineTensorWeights(i, n, (1u << n) - i, n, w);
      for (const Variant& v : variants) {
        float window[16];
        for (int r = 0; r < 4; ++r)
          for (int c = 0; c < 4; ++c) window[4 * r + c] = block[5 * v.row(r) + v.column(c)];
        float full, clamped;
        BSplinePatchEval(w, window, 4, &full);
        v.eval(w, block, 5, &clamped);
        EXPECT_NEAR(clamped, full, 1e-5) << n << " " << i;
      }
    }
  }
}

using BSplineKernels = test::BothPaths;

const Levels kShapes[] = {{0, 0, 0, 0}, {1, 0, 1, 2}, {2, 1, 3, 1}, {0, 2, 2, 0},
                          {7, 1, 1, 2}, {6, 0, 0, 1}, {0, 0, 8, 3}};

TEST_P(BSplineKernels, APlaneNetIsReproducedInTheInterior) {
  // Planes over the net positions; sub-position (ox, oy) of the output lies at net position
  // (1 + ox / 2^p, 1 + oy / 2^q). A constant is reproduced on the clamped border too.
  const double slopes[][2] = {{0, 0}, {0.75, -1.5}};
  for (const auto& slope : slopes) {
    const auto plane = [&](double x, double y) { return slope[0] * x + slope[1] * y + 2.0; };
    const bool constant = slope[0] == 0 && slope[1] == 0;
    for (const Levels& l : kShapes) {
      Array2 net = NetOf(l.a, l.b, plane);
      Array2 grid(l.a + l.p, l.b + l.q, 1), fine(l.a + l.p, l.b + l.q, 3),
          alt(l.a + l.p, l.b + l.q, 3);
      k().GridBSplineEval(l.a, l.b, l.p, l.q, net.data(), grid.data());
      k().MapBSplineUpsample(l.a, l.b, l.p, l.q, net.data(), fine.data());
      k().MapBSplineUpsampleAlt(l.a, l.b, l.p, l.q, net.data(), alt.data());
      const double tolerance = 1e-6 * (net.width + net.height + 4);
      const double sx = std::ldexp(1.0, -l.p), sy = std::ldexp(1.0, -l.q);
      // The linear border continues the plane, corners included; the clamped one departs
      // from a sloped plane slightly but is written everywhere.
      ASSERT_TRUE(fine.AllFinite());
      for (std::size_t y = 0; y < alt.height; ++y)
        for (std::size_t x = 0; x < alt.width; ++x) {
          const double expect = plane(1 + (x - 1.0) * sx, 1 + (y - 1.0) * sy);
          ASSERT_NEAR(alt.at(x, y), expect, tolerance) << x << " " << y;
          const bool border = x == 0 || y == 0 || x + 1 == alt.width || y + 1 == alt.height;
          if (border && !constant) continue;
          ASSERT_NEAR(fine.at(x, y), constant ? 2.0 : expect, tolerance) << x << " " << y;
          if (!border) {
            ASSERT_NEAR(grid.at(x - 1, y - 1), expect, tolerance) << x << " " << y;
          }
        }
    }
  }
}

TEST_P(BSplineKernels, UpsamplingByOneLevelDoublesTheCells) {
  std::mt19937 rng(5);
  // Fine vertex (2i, 2j) is the surface at coarse vertex (i, j).
  for (const Levels& l : {Levels{2, 1, 1, 1}, Levels{0, 3, 1, 1}}) {
    Array2 net = RandomNet(l.a, l.b, rng);
    Array2 coarse(l.a, l.b, 1), fine(l.a + 1, l.b + 1, 3);
    k().GridBSplineEval(l.a, l.b, 0, 0, net.data(), coarse.data());
    k().MapBSplineUpsample(l.a, l.b, 1, 1, net.data(), fine.data());
    for (std::size_t j = 0; j < coarse.height; ++j)
      for (std::size_t i = 0; i < coarse.width; ++i)
        ASSERT_NEAR(fine.at(2 * i + 1, 2 * j + 1), coarse.at(i, j), 2e-5) << i << " " << j;
  }
}

VESKOR_BOTH_PATHS(BSplineKernels);

}  // namespace
}  // namespace veskor
