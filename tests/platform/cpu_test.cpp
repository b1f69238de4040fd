#include "platform/cpu.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cstdlib>

namespace veskor {
namespace {

TEST(Cpu, X86_64HasSseAndThePlainSwitchOverridesIt) {
  EXPECT_TRUE(CpuHasSse());
  const char* saved = std::getenv("VESKOR_PLAIN_KERNELS");
  const std::string keep = saved ? saved : "";
  for (const char* value : {"1", "0"}) {
    setenv("VESKOR_PLAIN_KERNELS", value, 1);
    EXPECT_EQ(CpuPlainKernelsForced(), value[0] == '1');
    EXPECT_EQ(CpuUseSseKernels(), value[0] == '0');
  }
  if (saved) setenv("VESKOR_PLAIN_KERNELS", keep.c_str(), 1); else unsetenv("VESKOR_PLAIN_KERNELS");
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
