#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>

namespace veskor {
namespace {

TEST(Clock, CounterIsMonotonicAtTheStatedFrequency) {
  ASSERT_EQ(ClockFrequency(), 1000000000u);
  const std::uint64_t a = ClockCounter();
  timespec pause{0, 2000000};  // 2 ms
  nanosleep(&pause, nullptr);
  const std::uint64_t b = ClockCounter();
  EXPECT_GE(b - a, 2000000u);
  EXPECT_LT(b - a, 2000000000u);
}

}  // namespace
}  // namespace veskor
