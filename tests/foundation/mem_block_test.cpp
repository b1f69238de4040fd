#include "foundation/mem_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "foundation/heap_areas.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::ScopedHeapAreas;

TEST(MemBlock, ReserveChoosesClassAreaPagesAndAlignment) {
  ScopedHeapAreas scoped;
  // Carved one after the other: small blocks start on min(size, 16) bytes (a 16-byte block
  // after a 4-byte one skips 8 bytes), Large-area blocks follow each other.
  const struct {
    std::uint32_t n, k, committed, required;
    bool small;
    std::uint32_t offset;  // from the area's base
  } cases[] = {
      {1, 0, 1, 1, true, 0},        {3, 2, 1, 1, true, 4},          {16, 4, 1, 1, true, 16},
      {8, 3, 1, 1, true, 32},       {64, 6, 1, 1, true, 48},        {2048, 11, 1, 1, true, 112},
      {2049, 12, 0, 1, false, 0},   {4097, 13, 0, 2, false, 4096},  {20000, 15, 0, 5, false, 12288},
      {40u << 20, 26, 0, 10240, false, 45056},
  };
  for (const auto& c : cases) {
    MemBlock b{};
    MemBlockReserve(b, c.n);
    EXPECT_TRUE(b.sizeClass == c.k && b.committedPages == c.committed) << c.n;
    EXPECT_TRUE(b.requiredPages == c.required && b.usedBytes == 0) << c.n;
    const HeapArea& area = c.small ? scoped.heap().small : scoped.heap().large;
    EXPECT_EQ(b.base, area.base + c.offset) << c.n;
  }
  MemBlock empty{};
  MemBlockReserve(empty, 0);
  EXPECT_EQ(empty.base, nullptr);
}

TEST(MemBlock, ReserveAgainKeepsSameClassAndReleaseParksTheBlock) {
  ScopedHeapAreas scoped;
  MemBlock b{};
  MemBlockRelease(b);  // an empty block parks nothing
  EXPECT_EQ(scoped.heap().sizeClassLists[0].head, nullptr);
  MemBlockReserve(b, 5000);
  MemBlockAppend(b, 300);
  std::uint8_t* first = b.base;
  MemBlockReserve(b, 8000);  // same class 13
  EXPECT_TRUE(b.base == first && b.usedBytes == 300);
  MemBlockReserve(b, 100000);  // class 17: the old block goes to the tail of list 13
  EXPECT_TRUE(b.base != first && b.usedBytes == 0 && b.sizeClass == 17);
  const FreeBlockNode* parked = scoped.heap().sizeClassLists[13].tail;
  ASSERT_NE(parked, nullptr);
  EXPECT_TRUE(parked->base == first && parked->committedPages == 1);

  MemBlockAppend(b, 3 * kPageBytes);
  std::uint8_t* base = b.base;
  MemBlockRelease(b);
  const MemBlock zero{};
  EXPECT_EQ(std::memcmp(&b, &zero, sizeof b), 0);
  EXPECT_EQ(scoped.heap().sizeClassLists[17].head->base, base);
  EXPECT_EQ(scoped.heap().cachedPages, 1 + 3);
}

TEST(MemBlock, ParkedBlocksAreReusedOldestFirstWithAtMostTheRequiredPages) {
  ScopedHeapAreas scoped;
  HeapAreas& heap = scoped.heap();
  MemBlock a{}, b{}, c{}, d{};
  MemBlockReserve(a, 40000);
  MemBlockReserve(b, 50000);
  std::uint8_t *baseA = a.base, *baseB = b.base;
  MemBlockAppend(a, 10 * kPageBytes);
  MemBlockRelease(a);
  MemBlockRelease(b);
  EXPECT_EQ(heap.cachedPages, 10);
  const std::int32_t committed = heap.committedPages;
  const std::uint32_t holeUsed = heap.hole.usedBytes;  // the two parked blocks' nodes
  MemBlockReserve(c, 33000);  // class 16, 9 pages required: one of a's pages goes back
  MemBlockReserve(d, 65536);
  EXPECT_TRUE(c.base == baseA && d.base == baseB);
  EXPECT_TRUE(c.committedPages == 9 && c.requiredPages == 9);
  EXPECT_TRUE(heap.committedPages == committed - 1 && heap.cachedPages == 0);
  EXPECT_TRUE(!heap.sizeClassLists[16].head && !heap.sizeClassLists[16].tail);
  MemBlockRelease(c);  // parks c on a node its take gave back: the Hole area stays as it was
  EXPECT_EQ(heap.hole.usedBytes, holeUsed);
  MemBlockReserve(c, 60000);  // 15 pages required: the 9 committed ones stay
  EXPECT_EQ(c.committedPages, 9u);

  // Blocks over 16 MB are parked and reused too, with fewer pages than required: appends
  // commit the rest.
  MemBlockReserve(a, 40u << 20);  // class 26
  MemBlockAppend(a, 1u << 20);
  baseA = a.base;
  MemBlockRelease(a);
  EXPECT_EQ(heap.cachedPages, 256);
  MemBlockReserve(b, 50u << 20);
  EXPECT_TRUE(b.base == baseA && b.committedPages == 256);
  MemBlockAppend(b, 10);
  auto* q = static_cast<std::uint8_t*>(MemBlockAppend(b, 300 * kPageBytes));
  EXPECT_TRUE(q == b.base + 10 && b.committedPages == 301 && b.usedBytes == 10 + 300 * kPageBytes);
  std::memset(q, 0x11, 300 * kPageBytes);  // all of it writable
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
  EXPECT_EQ(MemBlockAppendFit(b, 5000), b.base);
  EXPECT_TRUE(b.committedPages == 2 && heap.committedPages == committed - 3);
  // An end exactly on the committed limit changes nothing.
  MemBlockAppendFit(b, 2 * kPageBytes - 5000);
  EXPECT_EQ(b.committedPages, 2u);
  // Reserve then fit: exactly n bytes, ceil(n / 4096) pages.
  MemBlock c{};
  MemBlockReserve(c, 12289);
  MemBlockAppendFit(c, 12289);
  EXPECT_TRUE(c.usedBytes == 12289 && c.committedPages == 4);

  // A block of one page, the smallest that owns its page, gives it back at a fit to zero; a
  // small block keeps the page it shares with its neighbours.
  MemBlock page{};
  MemBlockReserve(page, 4096);
  MemBlockAppend(page, 4096);
  MemBlockRelease(page);
  MemBlockReserve(page, 4096);
  EXPECT_EQ(page.committedPages, 1u);
  MemBlockAppendFit(page, 0);
  EXPECT_EQ(page.committedPages, 0u);
  MemBlock neighbour{}, s{};
  MemBlockReserve(neighbour, 64);
  MemBlockReserve(s, 64);
  auto* n = static_cast<std::uint8_t*>(MemBlockAppend(neighbour, 64));
  std::memset(n, 0x42, 64);
  const std::int32_t before = heap.committedPages;
  EXPECT_EQ(MemBlockAppendFit(s, 0), s.base);
  EXPECT_TRUE(s.committedPages == 1 && heap.committedPages == before);
  EXPECT_TRUE(n[0] == 0x42 && n[63] == 0x42);
}

TEST(MemBlockDeath, AppendPastTheBlockIsFatal) {
  static MemBlock b{};
  const struct {
    void (*run)();
    const char* text;
  } cases[] = {
      {[] { MemBlockReserve(b, 4096), MemBlockAppend(b, 4000), MemBlockAppend(b, 100); },
       "Virtual Memory Error : Required Memory > Reserved Memory (4000+100>(1<<12))"},
      {[] { MemBlockReserve(b, 4096), MemBlockAppendFit(b, 4097); },
       "Virtual Memory Error : Required Memory > Reserved Memory"},
      // Even a count near 2^32 is compared without wrapping.
      {[] { MemBlockReserve(b, 4096), MemBlockAppend(b, 16), MemBlockAppend(b, 0xFFFFFFF8u); },
       "Virtual Memory Error : Required Memory > Reserved Memory (16+4294967288>(1<<12))"},
  };
  for (const auto& c : cases) EXPECT_FATAL(c.run(), c.text);
}

}  // namespace
}  // namespace veskor
