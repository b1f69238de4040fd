#include "platform/cpu.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cstdlib>
#include <string>

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
  // keeps the processor's estimate, and a value that is not a name is said once.
  const test::ScopedEnv estimate("VESKOR_RSQRT_ESTIMATE", nullptr);
  const struct {
    const char* value;
    int end;
  } ends[] = {{nullptr, 0}, {"low", -1}, {"high", 1}, {"", 0},    {"LOW", 0},
              {"lowest", 0}, {"hig", 0},  {"low", -1}, {"hig", 0}, {"hig", 0}};
  std::string last = "(unset)";
  for (const auto& e : ends) {
    estimate.Set(e.value);
    testing::internal::CaptureStderr();
    EXPECT_EQ(CpuInvSqrtEstimateEnd(), e.end) << e.value;
    EXPECT_EQ(CpuInvSqrtEstimateEnd(), e.end) << e.value;
    const std::string said = testing::internal::GetCapturedStderr();
    const bool named = e.value == nullptr || e.end != 0;
    EXPECT_EQ(said, named || last == e.value
                        ? ""
                        : "veskor: VESKOR_RSQRT_ESTIMATE=" + std::string(e.value) +
                              " is not low or high: the processor's estimate is used\n");
    if (!named) last = e.value;
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
