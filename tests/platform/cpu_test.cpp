#include "platform/cpu.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cstdlib>

#include "support/scoped_env.h"

namespace veskor {
namespace {

TEST(Cpu, X86_64HasSseAndTheKernelSwitchesOverrideIt) {
  EXPECT_TRUE(CpuHasSse());
  const test::ScopedEnv plain("VESKOR_PLAIN_KERNELS", nullptr);
  for (const char* value : {"1", "0"}) {
    plain.Set(value);
    EXPECT_EQ(CpuPlainKernelsForced(), value[0] == '1');
    EXPECT_EQ(CpuUseSseKernels(), value[0] == '0');
  }
  // Only the two names pick an end of the root estimate's bound; anything else, or nothing,
  // keeps the processor's estimate.
  const test::ScopedEnv estimate("VESKOR_RSQRT_ESTIMATE", nullptr);
  EXPECT_EQ(CpuInvSqrtEstimateEnd(), 0);
  const struct {
    const char* value;
    int end;
  } ends[] = {{"low", -1}, {"high", 1}, {"", 0}, {"LOW", 0}, {"lowest", 0}, {"hig", 0}};
  for (const auto& e : ends) {
    estimate.Set(e.value);
    EXPECT_EQ(CpuInvSqrtEstimateEnd(), e.end) << e.value;
  }
}

TEST(Cpu, RoundDownGuardRoundsTowardMinusInfinityAndRestores) {
  const unsigned before = _mm_getcsr();
  volatile float half = -0.5f, up = 2.7f;
  EXPECT_EQ(_mm_cvtss_si32(_mm_set_ss(half)), 0);  // nearest even
  {
    ScopedRoundDown guard;
    EXPECT_EQ(_MM_GET_ROUNDING_MODE(), _MM_ROUND_DOWN);
    EXPECT_TRUE(_mm_cvtss_si32(_mm_set_ss(half)) == -1 && _mm_cvtss_si32(_mm_set_ss(up)) == 2);
    {
      ScopedRoundDown nested;
      EXPECT_EQ(_MM_GET_ROUNDING_MODE(), _MM_ROUND_DOWN);
    }
    EXPECT_EQ(_MM_GET_ROUNDING_MODE(), _MM_ROUND_DOWN);
  }
  EXPECT_EQ(_mm_getcsr() & ~0x3Fu, before & ~0x3Fu);  // control bits; the flags are sticky
  EXPECT_EQ(_mm_cvtss_si32(_mm_set_ss(up)), 3);
}

}  // namespace
}  // namespace veskor
