#include "mapengine/grid_arithmetic_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "mapengine/kernel_support.h"

namespace veskor {
namespace {

using V = std::vector<float>;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class GridArithmetic : public test::BothPaths {
 protected:
  // Runs a one-source kernel on `values` padded with zeros to a 5 x 5 grid (three blocks of
  // eight and a remainder); returns as many results as values were given.
  template <class F>
  V Run(V values, F f) {
    const std::size_t given = values.size(), n = GridValueCount(2, 2);
    values.resize(n, 0.0f);
    V out(n + 1, -7.0f);
    f(values.data(), out.data());
    EXPECT_EQ(out[n], -7.0f);
    out.resize(given);
    return out;
  }
};

TEST_P(GridArithmetic, ASizeZeroGridHasFourValues) {
  const float A[5] = {1, 2, 3, 4, 5}, B[5] = {10, 20, 30, 40, 50};
  V D = {0, 0, 0, 0, -1};
  k().GridAdd(0, 0, A, B, D.data());
  EXPECT_EQ(D, (V{11, 22, 33, 44, -1}));
  k().GridMulAdd(0, 0, A, B, A, D.data());
  EXPECT_EQ(D, (V{11, 42, 93, 164, -1}));
}

TEST_P(GridArithmetic, ArithmeticValues) {
  const V v = {1, -2, 0.5f, 8, 3};
  EXPECT_EQ(Run(v, [&](auto A, auto D) { k().GridDivScalar(2, 2, A, 4.0f, D); }),
            (V{0.25f, -0.5f, 0.125f, 2, 0.75f}));
  EXPECT_EQ(Run(v, [&](auto A, auto D) { k().GridScalarMinus(2, 2, 10.0f, A, D); }),
            (V{9, 12, 9.5f, 2, 7}));
  EXPECT_EQ(Run(v, [&](auto A, auto D) { k().GridScaleAdd(2, 2, A, 2.0f, A, D); }),
            (V{3, -6, 1.5f, 24, 9}));
  EXPECT_EQ(Run(v, [&](auto A, auto D) { k().GridAbs(2, 2, A, D); }), (V{1, 2, 0.5f, 8, 3}));
  EXPECT_EQ(Run(v, [&](auto A, auto D) { k().GridOneMinus(2, 2, A, D); }),
            (V{0, 3, 0.5f, -7, -2}));
}

TEST_P(GridArithmetic, ComparisonsAreOrderedAndTiesGoToTheLaterOperand) {
  const std::size_t n = GridValueCount(2, 2);
  V A(n, 0.0f), B(n, -0.0f), C(n, 5.0f), D(n);
  A[0] = kNaN;  // a NaN operand fails both tests: B wins, compares give 0
  B[1] = kNaN;
  A[2] = 2, B[2] = 1, C[2] = 1;
  A[3] = 1, B[3] = 2, C[3] = 0;
  k().GridMin(2, 2, A.data(), B.data(), D.data());
  EXPECT_TRUE(std::signbit(D[0]) && std::isnan(D[1]) && std::signbit(D[10]));  // +0, -0: B
  k().GridMax(2, 2, A.data(), B.data(), D.data());
  EXPECT_TRUE(std::signbit(D[10]));
  k().GridMin3(2, 2, A.data(), B.data(), C.data(), D.data());
  EXPECT_EQ(D[3], 0.0f);
  EXPECT_EQ(D[2], 1.0f);
  C[2] = -0.0f, A[2] = 2, B[2] = 0.0f;  // winner +0 ties with C's -0: C
  k().GridMin3(2, 2, A.data(), B.data(), C.data(), D.data());
  EXPECT_TRUE(std::signbit(D[2]));
  k().GridMinScalar(2, 2, A.data(), 0.5f, D.data());
  EXPECT_EQ(D[0], 0.5f);
  k().GridMaxScalar(2, 2, A.data(), 0.5f, D.data());
  EXPECT_EQ(D[0], 0.5f);
  EXPECT_EQ(D[3], 1.0f);
  // Equal grids compare to zeros everywhere, the last values too.
  for (auto compare : {k().GridCompare, k().GridCompare2}) {
    compare(2, 2, C.data(), C.data(), D.data());
    EXPECT_EQ(D, V(n, 0.0f));
  }
  k().GridCompare(2, 2, A.data(), C.data(), D.data());
  EXPECT_EQ(D[0], 0.0f);   // NaN
  EXPECT_EQ(D[24], 1.0f);  // 0 < 5, in the remainder
}

TEST_P(GridArithmetic, Steps) {
  const float above1 = std::nextafter(1.0f, 2.0f);
  EXPECT_EQ(Run({1.0f, above1, 0.5f, 1e-36f}, [&](auto A, auto D) { k().GridStep(2, 2, A, 1, D); }),
            (V{0, 1, 0, 0}));
  // Within 1e-35 of the edge: the fraction.
  EXPECT_NEAR(Run({1e-36f}, [&](auto A, auto D) { k().GridStep(2, 2, A, 0, D); })[0], 0.1f, 1e-6);
  const V x = {2, 6, 7, 1, 4};
  const V linear = Run(x, [&](auto A, auto D) { k().GridStepLinear(2, 2, A, 2, 6, D); });
  EXPECT_NEAR(linear[1], 1.0f, 1e-6);
  EXPECT_EQ(linear, (V{0, linear[1], 1, 0, 0.5f}));
  const V smooth = Run(x, [&](auto A, auto D) { k().GridStepSmooth(2, 2, A, 2, 6, D); });
  EXPECT_EQ(smooth[3], 0.0f);
  EXPECT_EQ(smooth[4], 0.5f);
  // lo = hi: a hard step (the product at the edge is NaN, clamped to 0).
  EXPECT_EQ(Run({3, 3.5f, 2}, [&](auto A, auto D) { k().GridStepLinear(2, 2, A, 3, 3, D); }),
            (V{0, 1, 0}));
  EXPECT_EQ(Run({3, 3.5f, 2}, [&](auto A, auto D) { k().GridStepSmooth(2, 2, A, 3, 3, D); }),
            (V{0, 1, 0}));
}

TEST_P(GridArithmetic, RepeatFracAndClamps) {
  V r = Run({2.25f, -0.25f, -2.000001f, 0.5f},
            [&](auto A, auto D) { k().GridRepeat(2, 2, A, 0.0f, 1.0f, D); });
  EXPECT_EQ(r[0], 0.25f);
  EXPECT_EQ(r[1], 0.75f);
  EXPECT_LT(r[2], 0.0f);
  EXPECT_GT(r[2], -1e-5f);  // within the tolerance below -2: just below 0
  EXPECT_EQ(r[3], 0.5f);
  EXPECT_EQ(Run({12.5f, -3}, [&](auto A, auto D) { k().GridRepeat(2, 2, A, 10, 12, D); }),
            (V{10.5f, 11}));
  EXPECT_EQ(Run({-1.5f, 3.75f, -4}, [&](auto A, auto D) { k().GridFrac(2, 2, A, D); }),
            (V{0.5f, 0.75f, 0}));
  V g = {kNaN, -1.0f, 2.0f, 0.5f};
  g.resize(GridValueCount(2, 2), 0.0f);
  V h = g;
  k().GridClamp01(2, 2, g.data());
  k().GridClampRange(2, 2, h.data(), -0.5f, 0.25f);
  EXPECT_EQ(V(g.begin(), g.begin() + 4), (V{0, 0, 1, 0.5f}));
  EXPECT_EQ(V(h.begin(), h.begin() + 4), (V{0, -0.5f, 0.25f, 0.25f}));
}

TEST_P(GridArithmetic, ThresholdsWriteOnlyTheCellInterior) {
  const std::size_t w = 6, h = 4;  // the cells of a (2, 1) grid
  V A(w * h), D(w * h, 9.0f);
  for (std::size_t i = 0; i < A.size(); ++i) A[i] = static_cast<float>(i % 5);
  A[w + 1] = kNaN;
  for (bool below : {false, true}) {
    (below ? k().GridThreshold2 : k().GridThreshold)(2.0f, 2, 1, A.data(), D.data());
    for (std::size_t j = 0; j < h; ++j)
      for (std::size_t i = 0; i < w; ++i) {
        const float a = A[j * w + i];
        const bool interior = j >= 1 && j <= 2 && i >= 1 && i <= 4;
        EXPECT_EQ(D[j * w + i], !interior ? 9.0f : (below ? a < 2 : a > 2) ? 1.0f : 0.0f)
            << i << "," << j << " below " << below;  // NaN: 0 either way
      }
  }
}

TEST_P(GridArithmetic, DotAndLerp) {
  const float p[2] = {3, 4}, q[2] = {0.5f, -2};
  float out = 0;
  EXPECT_EQ(k().KernelDot2(p, q, &out), &out);
  EXPECT_EQ(out, -6.5f);
  const float A[4] = {0, 10, 20, 30}, B[4] = {10, 20, 40, 50};
  V D(4, -1);
  k().KernelLerp(1, 0.25f, A, B, D.data());  // 2^1 + 1 values
  EXPECT_EQ(D, (V{2.5f, 12.5f, 25, -1}));
}

VESKOR_BOTH_PATHS(GridArithmetic);

}  // namespace
}  // namespace veskor
