#include "foundation/mem_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "foundation/heap_areas.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::ScopedHeapAreas;

bool InArea(const HeapArea& area, const void* p) {
  auto* b = static_cast<const std::uint8_t*>(p);
  return b >= area.base && b < area.base + std::uint64_t{area.reservedUnits} * kAreaUnitBytes;
}

TEST(MemBlock, ReserveChoosesClassAreaAndPages) {
  ScopedHeapAreas scoped;
  const struct { std::uint32_t n, k, committed, required; bool small; } cases[] = {
      {1, 0, 1, 1, true},          {2048, 11, 1, 1, true},      {2049, 12, 0, 1, false},
      {4096, 12, 0, 1, false},     {4097, 13, 0, 2, false},     {20000, 15, 0, 5, false},
      {40u << 20, 26, 0, 10240, false},
  };
  for (const auto& c : cases) {
    MemBlock b{};
    MemBlockReserve(b, c.n);
    EXPECT_EQ(b.sizeClass, c.k) << c.n;
    EXPECT_EQ(b.committedPages, c.committed) << c.n;
    EXPECT_EQ(b.requiredPages, c.required) << c.n;
    EXPECT_EQ(b.usedBytes, 0u) << c.n;
    EXPECT_EQ(InArea(c.small ? scoped.heap().small : scoped.heap().large, b.base), true) << c.n;
    if (!c.small) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.base) % kPageBytes, 0u);
    }
  }
  MemBlock empty{};
  MemBlockReserve(empty, 0);
  EXPECT_EQ(empty.base, nullptr);
}

TEST(MemBlock, SmallBlocksAreAlignedForVectorCode) {
  ScopedHeapAreas scoped;
  for (std::uint32_t n : {1u, 3u, 8u, 5u, 64u, 2u, 2048u, 16u}) {
    MemBlock b{};
    MemBlockReserve(b, n);
    const std::uint32_t size = 1u << b.sizeClass;
    const std::uint32_t align = size < 16 ? size : 16;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.base) % align, 0u) << n;
  }
}

TEST(MemBlock, ReserveAgainKeepsSameClassAndParksOtherClass) {
  ScopedHeapAreas scoped;
  MemBlock b{};
  MemBlockReserve(b, 5000);
  MemBlockAppend(b, 300);
  std::uint8_t* first = b.base;
  MemBlockReserve(b, 8000);  // same class 13
  EXPECT_EQ(b.base, first);
  EXPECT_EQ(b.usedBytes, 300u);
  MemBlockReserve(b, 100000);  // class 17: the old block goes to the tail of list 13
  EXPECT_NE(b.base, first);
  EXPECT_EQ(b.usedBytes, 0u);
  EXPECT_EQ(b.sizeClass, 17u);
  ASSERT_NE(scoped.heap().sizeClassLists[13].tail, nullptr);
  EXPECT_EQ(scoped.heap().sizeClassLists[13].tail->base, first);
  EXPECT_EQ(scoped.heap().sizeClassLists[13].tail->committedPages, 1u);
}

TEST(MemBlock, ParkedBlocksAreReusedOldestFirst) {
  ScopedHeapAreas scoped;
  MemBlock a{}, b{};
  MemBlockReserve(a, 40000);
  MemBlockReserve(b, 50000);
  std::uint8_t* baseA = a.base;
  std::uint8_t* baseB = b.base;
  MemBlockRelease(a);
  MemBlockRelease(b);
  EXPECT_EQ(a.base, nullptr);
  MemBlock c{}, d{};
  MemBlockReserve(c, 65536);
  MemBlockReserve(d, 33000);
  EXPECT_EQ(c.base, baseA);
  EXPECT_EQ(d.base, baseB);
  EXPECT_EQ(scoped.heap().sizeClassLists[16].head, nullptr);
  EXPECT_EQ(scoped.heap().sizeClassLists[16].tail, nullptr);
}

TEST(MemBlock, BlocksOverSixteenMegabytesAreParkedAndReused) {
  ScopedHeapAreas scoped;
  MemBlock b{};
  MemBlockReserve(b, 40u << 20);  // class 26
  MemBlockAppend(b, 1u << 20);
  std::uint8_t* base = b.base;
  MemBlockRelease(b);
  EXPECT_EQ(scoped.heap().cachedPages, 256);
  MemBlock again{};
  MemBlockReserve(again, 50u << 20);
  EXPECT_EQ(again.base, base);
  EXPECT_EQ(again.committedPages, 256u);  // fewer than required: kept, appends commit the rest
}

TEST(MemBlock, ReusedBlockKeepsAtMostTheRequiredPages) {
  ScopedHeapAreas scoped;
  HeapAreas& heap = scoped.heap();
  MemBlock b{};
  MemBlockReserve(b, 65536);  // class 16
  MemBlockAppend(b, 10 * kPageBytes);
  MemBlockRelease(b);
  EXPECT_EQ(heap.cachedPages, 10);
  const std::int32_t committed = heap.committedPages;
  MemBlockReserve(b, 33000);  // class 16 again, 9 pages required: one page goes back
  EXPECT_EQ(b.committedPages, 9u);
  EXPECT_EQ(b.requiredPages, 9u);
  EXPECT_EQ(heap.committedPages, committed - 1);
  EXPECT_EQ(heap.cachedPages, 0);
  MemBlockRelease(b);
  MemBlockReserve(b, 60000);  // 15 pages required: the 9 committed ones stay
  EXPECT_EQ(b.committedPages, 9u);
}

TEST(MemBlock, AppendCommitsPagesAsDataGrows) {
  ScopedHeapAreas scoped;
  MemBlock b{};
  MemBlockReserve(b, 1u << 20);
  auto* p = static_cast<std::uint8_t*>(MemBlockAppend(b, 10));
  EXPECT_EQ(p, b.base);
  EXPECT_EQ(b.committedPages, 1u);
  auto* q = static_cast<std::uint8_t*>(MemBlockAppend(b, 3 * kPageBytes));
  EXPECT_EQ(q, b.base + 10);
  EXPECT_EQ(b.committedPages, 4u);
  std::memset(q, 0x11, 3 * kPageBytes);  // all of it writable
  EXPECT_EQ(b.usedBytes, 10 + 3 * kPageBytes);
}

TEST(MemBlock, FittedAppendLeavesExactlyThePagesOfTheNewEnd) {
  ScopedHeapAreas scoped;
  HeapAreas& heap = scoped.heap();
  // A parked block with 5 committed pages, reserved for 20000 bytes (5 pages), keeps them.
  MemBlock b{};
  MemBlockReserve(b, 20000);
  MemBlockAppend(b, 5 * kPageBytes);
  MemBlockRelease(b);
  MemBlockReserve(b, 20000);
  EXPECT_EQ(b.committedPages, 5u);
  const std::int32_t committed = heap.committedPages;
  void* p = MemBlockAppendFit(b, 5000);
  EXPECT_EQ(p, b.base);
  EXPECT_EQ(b.committedPages, 2u);
  EXPECT_EQ(heap.committedPages, committed - 3);
  // An end exactly on the committed limit changes nothing.
  MemBlockAppendFit(b, 2 * kPageBytes - 5000);
  EXPECT_EQ(b.committedPages, 2u);
  // Reserve then fit: exactly n bytes, ceil(n / 4096) pages.
  MemBlock c{};
  MemBlockReserve(c, 12289);
  MemBlockAppendFit(c, 12289);
  EXPECT_EQ(c.usedBytes, 12289u);
  EXPECT_EQ(c.committedPages, 4u);
}

TEST(MemBlock, FittedAppendToZeroKeepsTheSharedSmallPage) {
  ScopedHeapAreas scoped;
  MemBlock neighbour{}, b{};
  MemBlockReserve(neighbour, 64);
  MemBlockReserve(b, 64);
  auto* n = static_cast<std::uint8_t*>(MemBlockAppend(neighbour, 64));
  std::memset(n, 0x42, 64);
  const std::int32_t committed = scoped.heap().committedPages;
  EXPECT_EQ(MemBlockAppendFit(b, 0), b.base);
  EXPECT_EQ(b.committedPages, 1u);
  EXPECT_EQ(scoped.heap().committedPages, committed);
  EXPECT_EQ(n[0], 0x42);
  EXPECT_EQ(n[63], 0x42);
}

TEST(MemBlock, ReleaseParksWithPagesAndZeroesTheDescriptor) {
  ScopedHeapAreas scoped;
  MemBlock empty{};
  MemBlockRelease(empty);
  EXPECT_EQ(scoped.heap().cachedPages, 0);
  for (const auto& list : scoped.heap().sizeClassLists) EXPECT_EQ(list.head, nullptr);

  MemBlock b{};
  MemBlockReserve(b, 100000);
  MemBlockAppend(b, 3 * kPageBytes);
  std::uint8_t* base = b.base;
  MemBlockRelease(b);
  const MemBlock zero{};
  EXPECT_EQ(std::memcmp(&b, &zero, sizeof b), 0);
  EXPECT_EQ(scoped.heap().sizeClassLists[17].head->base, base);
  EXPECT_EQ(scoped.heap().cachedPages, 3);
}

TEST(MemBlockDeath, AppendPastTheBlockIsFatal) {
  EXPECT_FATAL(
      {
        MemBlock b{};
        MemBlockReserve(b, 4096);
        MemBlockAppend(b, 4000);
        MemBlockAppend(b, 100);
      },
      "Virtual Memory Error : Required Memory > Reserved Memory (4000+100>(1<<12))");
  EXPECT_FATAL(
      {
        MemBlock b{};
        MemBlockReserve(b, 4096);
        MemBlockAppendFit(b, 4097);
      },
      "Virtual Memory Error : Required Memory > Reserved Memory");
  // Even a count near 2^32 is compared without wrapping.
  EXPECT_FATAL(
      {
        MemBlock b{};
        MemBlockReserve(b, 4096);
        MemBlockAppend(b, 16);
        MemBlockAppend(b, 0xFFFFFFF8u);
      },
      "Virtual Memory Error : Required Memory > Reserved Memory (16+4294967288>(1<<12))");
}

}  // namespace
}  // namespace veskor
