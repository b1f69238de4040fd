#include "mapengine/kernel_table.h"

#include <gtest/gtest.h>

#include <xmmintrin.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "mapengine/bspline_weights.h"
#include "mapengine/clamp_float.h"
#include "mapengine/inv_sqrt_estimate.h"
#include "mapengine/kernel_support.h"
#include "mapengine/math_kernels.h"
#include "platform/cpu.h"
#include "support/scoped_env.h"

namespace veskor {
namespace {

using test::Entries;
using test::Tables;
using test::Ulp;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(KernelTable, TheMathBlockHoldsThePlainMembersBeforeTheTableIsFilled) {
  // Nothing in this binary calls InitKernelTable before this point unless a test did; either
  // way the math entries are never null.
  EXPECT_NE(gKernelTable.KernelMin, nullptr);
  EXPECT_EQ(gKernelTable.KernelClamp01(1.5f), 1.0f);
  EXPECT_EQ(Tables().plain.KernelMin, &plain::KernelMin);
  EXPECT_EQ(Tables().plain.KernelTransformNormal, &plain::KernelTransformNormal);
}

TEST(KernelTable, BothPathsFillEveryEntryAndOnlyTheOwnSseMembersDiffer) {
  // Reserved entries stay empty; the others with an SSE member of their own (each checked
  // against the plain one by the parity tests) differ; the rest are shared.
  const auto plain = Entries(Tables().plain), sse = Entries(Tables().sse);
  for (std::uint32_t e = 0; e < kKernelTableEntries; ++e) {
    const KernelMembers members = kKernelEntryMembers[e];
    EXPECT_EQ(plain[e] == 0, members == KernelMembers::kReserved) << "entry " << e;
    EXPECT_EQ(sse[e] == 0, members == KernelMembers::kReserved) << "entry " << e;
    EXPECT_EQ(plain[e] != sse[e], members == KernelMembers::kSse) << "entry " << e;
  }
}

TEST(KernelTable, InitFillsTheProgramTableWithTheMembersHasSseChooses) {
  EXPECT_EQ(HasSse(), CpuUseSseKernels() ? 1u : 0u);
  const KernelTable before = gKernelTable;
  InitKernelTable();
  EXPECT_EQ(Entries(gKernelTable), Entries(HasSse() ? Tables().sse : Tables().plain));
  gKernelTable = before;
}

// VESKOR_RSQRT_ESTIMATE puts, on the SSE path only, either end of the estimate's bound in the
// four entries that use it: 1 / sqrt(4) = 1/2 becomes 1/2 (1 -+ 3 x 2^-13) = 8189 or 8195 / 2^14,
// which floats hold exactly.
TEST(KernelTable, TheEstimateSwitchPutsAnEndOfTheBoundInTheEstimatingEntries) {
  test::Tables();  // filled, once for the binary, as the run's own switch says: not as set here
  const test::ScopedEnv estimate("VESKOR_RSQRT_ESTIMATE", nullptr);
  KernelTable processor{};
  FillKernelTable(processor, true);
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  // A plane z = 2 x through cell centres one apart (a 4 x 4 grid: 6 x 6 centres, 5 x 5
  // normals, four lanes and one a row): every normal is the cross of the diagonals (1, 1, 2)
  // and (-1, 1, -2), (-4, 0, 2), 20 long squared, over its length: (-2, 0, 1) / sqrt(5) times
  // the end's factor, within two float roundings.
  std::vector<float> x(36), y(36), z(36), nx(25), ny(25), nz(25);
  for (int j = 0; j < 6; ++j)
    for (int i = 0; i < 6; ++i)
      x[j * 6 + i] = float(i), y[j * 6 + i] = float(j), z[j * 6 + i] = 2.0f * i;
  const struct {
    const char* value;
    float half;  // the estimate of 1 / sqrt(4)
    double factor;
  } cases[] = {{"low", 8189.0f / 16384, 1 - 1.5 / 4096}, {"high", 8195.0f / 16384, 1 + 1.5 / 4096},
               {"other", 0, 0}};
  for (const auto& c : cases) {
    estimate.Set(c.value);
    KernelTable sse{}, plain{};
    testing::internal::CaptureStderr();
    FillKernelTable(plain, false);  // the plain kernels never read it: a mistyped one says nothing
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.value;
    FillKernelTable(sse, true);
    EXPECT_EQ(Entries(plain), Entries(Tables().plain)) << c.value;
    if (c.half == 0) {  // not a name of an end: the processor's own estimate
      EXPECT_EQ(Entries(sse), Entries(processor));
      const float half = _mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(4.0f)));
      const float fifth = _mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(20.0f)));
      EXPECT_EQ(sse.KernelInvSqrt(4.0f), half);
      float v[3] = {0, 0, 2};
      sse.KernelNormalize3(v);
      EXPECT_EQ(v[2], 2 * half);
      sse.GridDiagonalNormals(2, 2, x.data(), y.data(), z.data(), nx.data(), ny.data(), nz.data());
      for (int k = 0; k < 25; ++k) EXPECT_EQ(nz[k], 2 * fifth) << k;
      continue;
    }
    EXPECT_EQ(sse.KernelInvSqrt(4.0f), c.half) << c.value;
    float v[3] = {0, 0, 2}, t[3];
    const float w[3] = {0, 2, 0};
    sse.KernelNormalize3(v);
    sse.KernelTransformNormal(t, identity, w);
    EXPECT_EQ(v[2], 2 * c.half) << c.value;
    EXPECT_EQ(t[1], 2 * c.half) << c.value;
    sse.GridDiagonalNormals(2, 2, x.data(), y.data(), z.data(), nx.data(), ny.data(), nz.data());
    for (int k = 0; k < 25; ++k) {
      EXPECT_NEAR(nx[k], -2 / std::sqrt(5.0) * c.factor, 2e-7) << c.value << k;
      EXPECT_EQ(ny[k], 0.0f);
      EXPECT_NEAR(nz[k], 1 / std::sqrt(5.0) * c.factor, 2e-7) << c.value << k;
    }
    // The other SSE entries stay the processor's members.
    const auto entries = Entries(sse), own = Entries(processor);
    int differ = 0;
    for (std::uint32_t e = 0; e < kKernelTableEntries; ++e) differ += entries[e] != own[e];
    EXPECT_EQ(differ, 4) << c.value;
  }
}

// Each end is the float farthest from 1 / sqrt(s) within the bound: one step further out
// leaves it, from the smallest normal float to the largest. Outside the positive normal floats
// it gives what the processor gives.
TEST(KernelTable, AnEndOfTheBoundIsTheFarthestFloatWithinIt) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
  std::uniform_int_distribution<int> exponent(-126, 127);
  for (int n = 0; n < 20002; ++n) {
    const float s = n < 2 ? (n == 0 ? FLT_MIN : FLT_MAX)
                          : std::ldexp(mantissa(random), exponent(random));
    if (!std::isnormal(s)) continue;
    const double exact = 1 / std::sqrt(double{s});
    for (const bool high : {false, true}) {
      const float end = InvSqrtAtBoundEnd(s, high);
      const float beyond = std::nextafter(end, high ? INFINITY : 0.0f);
      ASSERT_LE(std::fabs(end - exact), kInvSqrtEstimateBound * exact) << s << " " << high;
      ASSERT_GT(std::fabs(beyond - exact), kInvSqrtEstimateBound * exact) << s << " " << high;
      ASSERT_EQ(end > exact, high) << s;
    }
  }
  const float specials[] = {0.0f, -0.0f, FLT_MIN / 2, -FLT_MIN / 2, INFINITY, -1.0f, -INFINITY,
                            kNaN};
  for (const float s : specials) {
    const float processor = _mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(s)));
    for (const bool high : {false, true}) {
      const float end = InvSqrtAtBoundEnd(s, high);
      EXPECT_EQ(std::isnan(end), std::isnan(processor)) << s;
      if (!std::isnan(end)) {
        EXPECT_EQ(end, processor) << s;
      }
    }
  }
}

using MathKernels = test::BothPaths;

TEST_P(MathKernels, MinAndMaxGiveTheSecondArgumentOnTiesAndNaN) {
  struct Case {
    float a, b, min, max;
  } cases[] = {{1, 2, 1, 2}, {2, 1, 1, 2}, {-0.0f, 0.0f, 0.0f, 0.0f}, {0.0f, -0.0f, -0.0f, -0.0f}};
  for (const Case& c : cases) {
    EXPECT_EQ(std::signbit(k().KernelMin(c.a, c.b)), std::signbit(c.min));
    EXPECT_EQ(k().KernelMin(c.a, c.b), c.min);
    EXPECT_EQ(std::signbit(k().KernelMax(c.a, c.b)), std::signbit(c.max));
    EXPECT_EQ(k().KernelMax(c.a, c.b), c.max);
  }
  EXPECT_EQ(k().KernelMin(kNaN, 3.0f), 3.0f);
  EXPECT_TRUE(std::isnan(k().KernelMin(3.0f, kNaN)));
  EXPECT_EQ(k().KernelMax(kNaN, 3.0f), 3.0f);
  EXPECT_TRUE(std::isnan(k().KernelMax(3.0f, kNaN)));
}

TEST_P(MathKernels, Clamp01MatchesSaturate) {
  for (float x : {kNaN, -0.5f, 1.5f, 0.0f, 1.0f, 0.3f, -1e30f, 1e30f,
                  std::numeric_limits<float>::infinity()})
    EXPECT_EQ(k().KernelClamp01(x), Saturate(x)) << x;
}

TEST_P(MathKernels, RootsLengthAndNormalisation) {
  EXPECT_EQ(k().KernelSqrt(2.0f), std::sqrt(2.0f));
  for (float x : {0.25f, 2.0f, 1e-3f, 12345.0f}) {
    const double exact = 1.0 / std::sqrt(double{x});
    const double tolerance = GetParam() ? kInvSqrtEstimateBound * exact : Ulp(exact);
    EXPECT_NEAR(k().KernelInvSqrt(x), exact, tolerance) << x;
  }
  const float v[3] = {2, 3, 6};
  EXPECT_EQ(k().KernelLength3(v), 7.0f);

  // Plain: left alone within 1e-5 of unit length; SSE: scaled by the estimate even then.
  float unit[3] = {0.6f, 0.8f, 0.0f};
  k().KernelNormalize3(unit);
  EXPECT_NEAR(unit[0], 0.6f, GetParam() ? 0.6 * kUnitLengthError : 0.0);
  EXPECT_NEAR(unit[1], 0.8f, GetParam() ? 0.8 * kUnitLengthError : 0.0);
  float longer[3] = {3, 4, 0};
  k().KernelNormalize3(longer);
  EXPECT_NEAR(longer[0], 0.6f, GetParam() ? 0.6 * kUnitLengthError : 0.0);
  EXPECT_NEAR(longer[1], 0.8f, GetParam() ? 0.8 * kUnitLengthError : 0.0);
  EXPECT_EQ(longer[2], 0.0f);

  // A zero vector, through either normalising entry, stays zero rather than NaN.
  float zero[3] = {0, 0, 0};
  k().KernelNormalize3(zero);
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  float transformed[3] = {9, 9, 9};
  k().KernelTransformNormal(transformed, identity, zero);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(zero[i], 0.0f);
    EXPECT_EQ(transformed[i], 0.0f);
  }
}

TEST_P(MathKernels, MatrixProductsUseColumnMajorMatrices) {
  // Rows (1 2 3 10), (4 5 6 20), (7 8 9 30), (0 0 0 1): element (r, c) at 4c + r.
  const float m[16] = {1, 4, 7, 0, 2, 5, 8, 0, 3, 6, 9, 0, 10, 20, 30, 1};
  const float src[4] = {1, 1, 2, 1};
  std::vector<float> out(4), p(3, -1);
  k().KernelMat4Vec4(out.data(), m, src);
  EXPECT_EQ(out, (std::vector<float>{19, 41, 63, 1}));
  k().KernelTransformPoint(p.data(), m, src);
  EXPECT_EQ(p, (std::vector<float>{19, 41, 63}));
  const float rot[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 5, 5, 5, 1};
  const float dir[3] = {2, 0, 0};
  float n[3];
  k().KernelTransformNormal(n, rot, dir);
  EXPECT_NEAR(n[0], 0.0f, 1e-6);
  EXPECT_NEAR(n[1], 1.0f, GetParam() ? kUnitLengthError : 0.0);
  EXPECT_NEAR(n[2], 0.0f, 1e-6);
}

VESKOR_BOTH_PATHS(MathKernels);

TEST(BSplineWeights, LevelsHoldTheBasisAtEvenSteps) {
  (void)Tables();
  EXPECT_EQ(BSplineWeightIndex(0, 0), 0u);
  EXPECT_EQ(BSplineWeightIndex(0, 1), 2u);
  EXPECT_EQ(BSplineWeightIndex(0, 8), 263u);
  EXPECT_EQ(BSplineWeightIndex(256, 8), kBSplineWeightEntries - 1);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(BSplineWeightTableSse) % 16, 0u);
  const float sixth = 1.0f / 6.0f;
  for (const auto* table : {BSplineWeightTable, BSplineWeightTableSse}) {
    for (std::uint32_t n = 0; n < kBSplineLevels; ++n) {
      const float* first = table[BSplineWeightIndex(0, n)];
      const float* last = table[BSplineWeightIndex(1u << n, n)];
      const float expectFirst[4] = {sixth, 4 * sixth, sixth, 0};
      const float expectLast[4] = {0, sixth, 4 * sixth, sixth};
      for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(first[c], expectFirst[c], 2 * Ulp(expectFirst[c])) << n;
        EXPECT_NEAR(last[c], expectLast[c], 2 * Ulp(expectLast[c])) << n;
      }
    }
    for (std::uint32_t e = 0; e < kBSplineWeightEntries; ++e) {
      const float* w = table[e];
      EXPECT_NEAR(double{w[0]} + w[1] + w[2] + w[3], 1.0, 4 * Ulp(1.0)) << e;
    }
  }
  // The SSE copy rounds down and in single precision: it differs from the plain one in the
  // last bits only.
  for (std::uint32_t e = 0; e < kBSplineWeightEntries; ++e)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(BSplineWeightTableSse[e][c], BSplineWeightTable[e][c], 4 * Ulp(1.0)) << e;
  const float* mid;
  BSplineWeightEntry(1, 1, &mid);
  EXPECT_EQ(mid, BSplineWeightTable[3]);
  EXPECT_NEAR(mid[0], 1.0f / 48, 1e-7);  // t = 0.5: (1/48, 23/48, 23/48, 1/48)
  EXPECT_NEAR(mid[1], 23.0f / 48, 1e-7);
}

}  // namespace
}  // namespace veskor
