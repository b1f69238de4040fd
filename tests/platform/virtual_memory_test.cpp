#include "platform/virtual_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace veskor {
namespace {

TEST(VirtualMemory, CommittedPagesHoldDataAndReadZeroAfterDecommit) {
  const std::size_t bytes = 64 * kPageSize;
  auto* p = static_cast<std::uint8_t*>(VirtualReserve(bytes));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % kPageSize, 0u);
  ASSERT_TRUE(VirtualCommit(p + 4 * kPageSize, 2 * kPageSize));
  for (std::size_t i = 0; i < 2 * kPageSize; ++i) ASSERT_EQ(p[4 * kPageSize + i], 0);
  std::memset(p + 4 * kPageSize, 0xAB, 2 * kPageSize);
  ASSERT_TRUE(VirtualDecommit(p + 4 * kPageSize, 2 * kPageSize));
  ASSERT_TRUE(VirtualCommit(p + 4 * kPageSize, 2 * kPageSize));
  EXPECT_EQ(p[4 * kPageSize], 0);
  EXPECT_EQ(p[6 * kPageSize - 1], 0);
  EXPECT_TRUE(VirtualRelease(p, bytes));
}

TEST(VirtualMemory, FailuresAreReportedNotFatal) {
  EXPECT_EQ(VirtualReserve(0), nullptr);
  VirtualMemoryLimitReservations(1 << 20);
  EXPECT_EQ(VirtualReserve((1 << 20) + kPageSize), nullptr);
  void* small = VirtualReserve(1 << 20);
  EXPECT_NE(small, nullptr);
  VirtualMemoryLimitReservations(0);
  ASSERT_TRUE(VirtualRelease(small, 1 << 20));
  // The range is gone: committing or decommitting it fails instead of faulting.
  EXPECT_FALSE(VirtualCommit(small, kPageSize));
  EXPECT_FALSE(VirtualDecommit(small, kPageSize));
}

}  // namespace
}  // namespace veskor
