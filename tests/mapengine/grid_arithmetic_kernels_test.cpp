#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "mapengine/grid_arithmetic_kernels.h"
#include "mapengine/kernel_support.h"

namespace veskor {
namespace {

using test::KernelBuffer;
using test::SameValue;
using test::Tables;
using test::Ulp;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Grid sizes: every value count is odd, so the SSE members always have a remainder.
constexpr std::pair<std::uint8_t, std::uint8_t> kSizes[] = {{0, 0}, {1, 0}, {0, 3}, {2, 3},
                                                            {4, 4}, {5, 2}, {6, 6}};

// Calls one kernel of a table on (A, B, C) into D; the scalar is 1.75 or -3.5.
using Call = std::function<void(const KernelTable&, std::uint8_t, std::uint8_t, const float*,
                                const float*, const float*, float*)>;
// The allowed plain-SSE difference for the value of sources (a, b, c).
using Tolerance = std::function<double(float, float, float)>;

double Exact(float, float, float) { return 0.0; }

struct Kernel {
  const char* name;
  Call call;
  Tolerance tolerance;
};

std::vector<Kernel> ParityKernels() {
  // A product and a sum round once each in single precision but once in all on the plain
  // path: the difference stays within a few units of the largest intermediate.
  auto mulAdd = [](float a, float b, float c) {
    return 3 * Ulp(std::max(std::fabs(double{a} * b), std::fabs(double{c})));
  };
  auto scaleAdd = [](float a, float, float c) {
    return 3 * Ulp(std::max(std::fabs(1.75 * a), std::fabs(double{c})));
  };
  auto divScalar = [](float a, float, float) { return 2 * Ulp(a / -3.5); };
  return {
      {"GridMul", [](auto& k, auto a, auto b, auto A, auto B, auto, auto D) { k.GridMul(a, b, A, B, D); }, Exact},
      {"GridMulScalar", [](auto& k, auto a, auto b, auto A, auto, auto, auto D) { k.GridMulScalar(a, b, A, 1.75f, D); }, Exact},
      {"GridDiv", [](auto& k, auto a, auto b, auto A, auto B, auto, auto D) { k.GridDiv(a, b, A, B, D); }, Exact},
      {"GridDivScalar", [](auto& k, auto a, auto b, auto A, auto, auto, auto D) { k.GridDivScalar(a, b, A, -3.5f, D); }, divScalar},
      {"GridAdd", [](auto& k, auto a, auto b, auto A, auto B, auto, auto D) { k.GridAdd(a, b, A, B, D); }, Exact},
      {"GridAddScalar", [](auto& k, auto a, auto b, auto A, auto, auto, auto D) { k.GridAddScalar(a, b, A, 1.75f, D); }, Exact},
      {"GridSub", [](auto& k, auto a, auto b, auto A, auto B, auto, auto D) { k.GridSub(a, b, A, B, D); }, Exact},
      {"GridSubScalar", [](auto& k, auto a, auto b, auto A, auto, auto, auto D) { k.GridSubScalar(a, b, A, 1.75f, D); }, Exact},
      {"GridScalarMinus", [](auto& k, auto a, auto b, auto A, auto, auto, auto D) { k.GridScalarMinus(a, b, 1.75f, A, D); }, Exact},
      {"GridMulAdd", [](auto& k, auto a, auto b, auto A, auto B, auto C, auto D) { k.GridMulAdd(a, b, A, B, C, D); }, mulAdd},
      {"GridScaleAdd", [](auto& k, auto a, auto b, auto A, auto, auto C, auto D) { k.GridScaleAdd(a, b, A, 1.75f, C, D); }, scaleAdd},
      {"GridCompare", [](auto& k, auto a, auto b, auto A, auto B, auto, auto D) { k.GridCompare(a, b, A, B, D); }, Exact},
      {"GridCompare2", [](auto& k, auto a, auto b, auto A, auto B, auto, auto D) { k.GridCompare2(a, b, A, B, D); }, Exact},
  };
}

// Plain against SSE on random grids of every size, aligned and unaligned, into a separate
// destination and in place over the first source.
TEST(GridArithmeticParity, SseMembersMatchThePlainOnes) {
  std::mt19937 rng(11);
  for (const Kernel& kernel : ParityKernels()) {
    for (auto [a, b] : kSizes) {
      const std::size_t n = GridValueCount(a, b);
      for (bool aligned : {true, false}) {
        for (bool inPlace : {false, true}) {
          KernelBuffer A(n, aligned), B(n, aligned), C(n, aligned);
          test::FillRandom(A, rng);
          test::FillRandom(B, rng);
          test::FillRandom(C, rng);
          if (n > 3) B[3] = kNaN;
          KernelBuffer plainOut(n + 1, aligned), sseOut(n + 1, aligned);
          KernelBuffer plainA = A, sseA = A;
          float* plainD = inPlace ? plainA.data() : plainOut.data();
          float* sseD = inPlace ? sseA.data() : sseOut.data();
          plainOut[n] = sseOut[n] = 42.0f;
          kernel.call(Tables().plain, a, b, plainA.data(), B.data(), C.data(), plainD);
          kernel.call(Tables().sse, a, b, sseA.data(), B.data(), C.data(), sseD);
          for (std::size_t i = 0; i < n; ++i) {
            ASSERT_TRUE(SameValue(plainD[i], sseD[i], kernel.tolerance(A[i], B[i], C[i])))
                << kernel.name << " a=" << int{a} << " b=" << int{b} << " aligned=" << aligned
                << " inPlace=" << inPlace << " i=" << i << ": " << plainD[i] << " vs " << sseD[i];
          }
          EXPECT_EQ(sseOut[n], 42.0f) << kernel.name << " wrote past the grid";
          EXPECT_EQ(plainOut[n], 42.0f) << kernel.name << " wrote past the grid";
        }
      }
    }
  }
}

class GridArithmetic : public ::testing::TestWithParam<bool> {
 protected:
  const KernelTable& k() const { return GetParam() ? Tables().sse : Tables().plain; }
  // Runs a one-source kernel on `values` laid out in a 2^a x 2^b grid (padded with zeros).
  template <class F>
  std::vector<float> Run(std::vector<float> values, F f) {
    const std::size_t n = GridValueCount(2, 2);  // 25 values: three blocks and a remainder
    values.resize(n, 0.0f);
    std::vector<float> out(n + 1, -7.0f);
    f(values.data(), out.data());
    EXPECT_EQ(out[n], -7.0f);
    out.resize(values.size());
    return out;
  }
};

TEST_P(GridArithmetic, ASizeZeroGridHasFourValues) {
  const float A[5] = {1, 2, 3, 4, 5}, B[5] = {10, 20, 30, 40, 50};
  float D[5] = {0, 0, 0, 0, -1};
  k().GridAdd(0, 0, A, B, D);
  EXPECT_EQ(D[0], 11.0f);
  EXPECT_EQ(D[3], 44.0f);
  EXPECT_EQ(D[4], -1.0f);
  k().GridMulAdd(0, 0, A, B, A, D);
  EXPECT_EQ(D[3], 164.0f);
  EXPECT_EQ(D[4], -1.0f);
}

TEST_P(GridArithmetic, ArithmeticValues) {
  const std::vector<float> v = {1, -2, 0.5f, 8, 3};
  auto D = Run(v, [&](const float* A, float* out) { k().GridDivScalar(2, 2, A, 4.0f, out); });
  for (std::size_t i = 0; i < v.size(); ++i) EXPECT_EQ(D[i], v[i] / 4.0f);
  D = Run(v, [&](const float* A, float* out) { k().GridScalarMinus(2, 2, 10.0f, A, out); });
  EXPECT_EQ(D[1], 12.0f);
  D = Run(v, [&](const float* A, float* out) { k().GridScaleAdd(2, 2, A, 2.0f, A, out); });
  EXPECT_EQ(D[3], 24.0f);
  D = Run(v, [&](const float* A, float* out) { k().GridAbs(2, 2, A, out); });
  EXPECT_EQ(D[1], 2.0f);
  D = Run(v, [&](const float* A, float* out) { k().GridOneMinus(2, 2, A, out); });
  EXPECT_EQ(D[3], -7.0f);
}

TEST_P(GridArithmetic, ComparisonsAreOrderedAndTiesGoToTheLaterOperand) {
  const std::size_t n = GridValueCount(2, 2);
  std::vector<float> A(n, 0.0f), B(n, -0.0f), C(n, 5.0f), D(n);
  A[0] = kNaN;  // a NaN operand fails both tests: B wins, compares give 0
  B[1] = kNaN;
  A[2] = 2; B[2] = 1; C[2] = 1;
  A[3] = 1; B[3] = 2; C[3] = 0;
  k().GridMin(2, 2, A.data(), B.data(), D.data());
  EXPECT_TRUE(std::signbit(D[0]));  // B's -0 (A is NaN)
  EXPECT_TRUE(std::isnan(D[1]));
  EXPECT_TRUE(std::signbit(D[10]));  // +0 vs -0: a tie, B
  k().GridMax(2, 2, A.data(), B.data(), D.data());
  EXPECT_TRUE(std::signbit(D[10]));
  k().GridMin3(2, 2, A.data(), B.data(), C.data(), D.data());
  EXPECT_EQ(D[3], 0.0f);
  EXPECT_EQ(D[2], 1.0f);
  C[2] = -0.0f; A[2] = 2; B[2] = 0.0f;  // winner +0 ties with C's -0: C
  k().GridMin3(2, 2, A.data(), B.data(), C.data(), D.data());
  EXPECT_TRUE(std::signbit(D[2]));
  k().GridMinScalar(2, 2, A.data(), 0.5f, D.data());
  EXPECT_EQ(D[0], 0.5f);
  k().GridMaxScalar(2, 2, A.data(), 0.5f, D.data());
  EXPECT_EQ(D[0], 0.5f);
  EXPECT_EQ(D[3], 1.0f);
  // Equal grids compare to zeros everywhere, the last values too.
  k().GridCompare(2, 2, C.data(), C.data(), D.data());
  for (float d : D) EXPECT_EQ(d, 0.0f);
  k().GridCompare2(2, 2, C.data(), C.data(), D.data());
  for (float d : D) EXPECT_EQ(d, 0.0f);
  k().GridCompare(2, 2, A.data(), C.data(), D.data());
  EXPECT_EQ(D[0], 0.0f);   // NaN
  EXPECT_EQ(D[24], 1.0f);  // 0 < 5, in the remainder
}

TEST_P(GridArithmetic, Steps) {
  const float above1 = std::nextafter(1.0f, 2.0f);
  auto D = Run({1.0f, above1, 0.5f, 1e-36f},
               [&](const float* A, float* out) { k().GridStep(2, 2, A, 1.0f, out); });
  EXPECT_EQ(D[0], 0.0f);
  EXPECT_EQ(D[1], 1.0f);
  EXPECT_EQ(D[2], 0.0f);
  D = Run({1e-36f}, [&](const float* A, float* out) { k().GridStep(2, 2, A, 0.0f, out); });
  EXPECT_NEAR(D[0], 0.1f, 1e-6);  // within 1e-35 of the edge: the fraction
  D = Run({2.0f, 6.0f, 7.0f, 1.0f, 4.0f},
          [&](const float* A, float* out) { k().GridStepLinear(2, 2, A, 2.0f, 6.0f, out); });
  EXPECT_EQ(D[0], 0.0f);
  EXPECT_NEAR(D[1], 1.0f, 1e-6);
  EXPECT_EQ(D[2], 1.0f);
  EXPECT_EQ(D[3], 0.0f);
  EXPECT_EQ(D[4], 0.5f);
  D = Run({2.0f, 6.0f, 7.0f, 1.0f, 4.0f},
          [&](const float* A, float* out) { k().GridStepSmooth(2, 2, A, 2.0f, 6.0f, out); });
  EXPECT_EQ(D[4], 0.5f);
  EXPECT_EQ(D[3], 0.0f);
  // lo = hi: a hard step (the product at the edge is NaN, clamped to 0).
  for (bool smooth : {false, true}) {
    D = Run({3.0f, 3.5f, 2.0f}, [&](const float* A, float* out) {
      if (smooth) k().GridStepSmooth(2, 2, A, 3.0f, 3.0f, out);
      else k().GridStepLinear(2, 2, A, 3.0f, 3.0f, out);
    });
    EXPECT_EQ(D[0], 0.0f);
    EXPECT_EQ(D[1], 1.0f);
    EXPECT_EQ(D[2], 0.0f);
  }
}

TEST_P(GridArithmetic, RepeatFracAndClamps) {
  auto D = Run({2.25f, -0.25f, -2.000001f, 0.5f},
               [&](const float* A, float* out) { k().GridRepeat(2, 2, A, 0.0f, 1.0f, out); });
  EXPECT_EQ(D[0], 0.25f);
  EXPECT_EQ(D[1], 0.75f);
  EXPECT_LT(D[2], 0.0f);  // within the tolerance below -2: just below 0, not just below 1
  EXPECT_GT(D[2], -1e-5f);
  EXPECT_EQ(D[3], 0.5f);
  D = Run({12.5f, -3.0f}, [&](const float* A, float* out) { k().GridRepeat(2, 2, A, 10.0f, 12.0f, out); });
  EXPECT_EQ(D[0], 10.5f);
  EXPECT_EQ(D[1], 11.0f);
  D = Run({-1.5f, 3.75f, -4.0f}, [&](const float* A, float* out) { k().GridFrac(2, 2, A, out); });
  EXPECT_EQ(D[0], 0.5f);
  EXPECT_EQ(D[1], 0.75f);
  EXPECT_EQ(D[2], 0.0f);
  std::vector<float> g = {kNaN, -1.0f, 2.0f, 0.5f};
  g.resize(GridValueCount(2, 2), 0.0f);
  std::vector<float> h = g;
  k().GridClamp01(2, 2, g.data());
  EXPECT_EQ(g[0], 0.0f);
  EXPECT_EQ(g[1], 0.0f);
  EXPECT_EQ(g[2], 1.0f);
  EXPECT_EQ(g[3], 0.5f);
  k().GridClampRange(2, 2, h.data(), -0.5f, 0.25f);
  EXPECT_EQ(h[0], 0.0f);
  EXPECT_EQ(h[1], -0.5f);
  EXPECT_EQ(h[2], 0.25f);
  EXPECT_EQ(h[3], 0.25f);
}

TEST_P(GridArithmetic, ThresholdsWriteOnlyTheCellInterior) {
  const std::uint8_t a = 2, b = 1;
  const std::size_t w = 6, h = 4;
  std::vector<float> A(w * h), D(w * h, 9.0f);
  for (std::size_t i = 0; i < A.size(); ++i) A[i] = static_cast<float>(i % 5);
  A[w + 1] = kNaN;
  k().GridThreshold(2.0f, a, b, A.data(), D.data());
  for (std::size_t j = 0; j < h; ++j)
    for (std::size_t i = 0; i < w; ++i) {
      const bool interior = j >= 1 && j <= 2 && i >= 1 && i <= 4;
      const float expected = !interior ? 9.0f : (A[j * w + i] > 2.0f ? 1.0f : 0.0f);
      EXPECT_EQ(D[j * w + i], expected) << i << "," << j;
    }
  EXPECT_EQ(D[w + 1], 0.0f);  // NaN
  k().GridThreshold2(2.0f, a, b, A.data(), D.data());
  EXPECT_EQ(D[w + 1], 0.0f);
  EXPECT_EQ(D[w + 2], 0.0f);  // 3 < 2 fails
  for (std::size_t i = 1; i <= 4; ++i)
    EXPECT_EQ(D[2 * w + i], A[2 * w + i] < 2.0f ? 1.0f : 0.0f);
  EXPECT_EQ(D[0], 9.0f);
}

TEST_P(GridArithmetic, DotAndLerp) {
  const float p[2] = {3, 4}, q[2] = {0.5f, -2};
  float out = 0;
  EXPECT_EQ(k().KernelDot2(p, q, &out), &out);
  EXPECT_EQ(out, -6.5f);
  const float A[4] = {0, 10, 20, 30}, B[4] = {10, 20, 40, 50};
  float D[4] = {-1, -1, -1, -1};
  k().KernelLerp(1, 0.25f, A, B, D);  // 2^1 + 1 values
  EXPECT_EQ(D[0], 2.5f);
  EXPECT_EQ(D[2], 25.0f);
  EXPECT_EQ(D[3], -1.0f);
}

INSTANTIATE_TEST_SUITE_P(PlainAndSse, GridArithmetic, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Sse" : "Plain"; });

}  // namespace
}  // namespace veskor
