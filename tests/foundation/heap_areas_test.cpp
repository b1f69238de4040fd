#include "foundation/heap_areas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/mem_block.h"
#include "platform/process.h"
#include "platform/virtual_memory.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::ScopedHeapAreas;

// Built by static construction like the program's own global tables: the manager must already
// be there, and its exit release must come after this object's destructor. Only the exit the
// test below asks for reports it.
struct GlobalTableOwner {
  MemBlock block{};
  bool report = false;
  GlobalTableOwner() {
    MemBlockReserve(block, 100000);
    *static_cast<int*>(MemBlockAppend(block, 4)) = 7;
  }
  ~GlobalTableOwner() {
    if (report) std::fprintf(stderr, "owner released while active=%u\n", TheHeapAreas().active);
    MemBlockRelease(block);
  }
};
GlobalTableOwner gOwner;

TEST(HeapAreas, ManagerIsBuiltBeforeAndReleasedAfterOtherGlobals) {
  ASSERT_NE(gOwner.block.base, nullptr);
  EXPECT_EQ(*reinterpret_cast<int*>(gOwner.block.base), 7);
  EXPECT_EXIT((gOwner.report = true, NormalExit(0)), testing::ExitedWithCode(0),
              "owner released while active=1");
}

TEST(HeapAreas, SizeClassIsCeilLog2) {
  const struct { std::uint32_t n, k; } cases[] = {
      {1, 0},        {2, 1},        {3, 2},        {4, 2},         {5, 3},
      {2048, 11},    {2049, 12},    {4096, 12},    {4097, 13},     {16777216, 24},
      {16777217, 25}, {0x80000000u, 31}, {0x80000001u, 32}, {0xFFFFFFFFu, 32}};
  for (const auto& c : cases) EXPECT_EQ(SizeClassOf(c.n), c.k) << "n = " << c.n;
}

TEST(HeapAreas, LargeAreaFallsBackToSmallerReservations) {
  const struct { std::size_t limitMb; std::uint32_t units; } cases[] = {
      {1024, 16384}, {1000, 14336}, {896, 14336}, {700, 10240}, {512, 8192}};
  for (const auto& c : cases) {
    VirtualMemoryLimitReservations(c.limitMb << 20);
    ScopedHeapAreas scoped;
    VirtualMemoryLimitReservations(0);
    EXPECT_EQ(scoped.heap().large.reservedUnits, c.units) << c.limitMb << " MB";
    EXPECT_EQ(scoped.heap().small.reservedUnits, kSmallAreaUnits);
  }
}

// Releases the region of an area (of a fresh manager) behind the manager's back.
void ReleaseArea(HeapAreas& heap, HeapArea HeapAreas::*area) {
  VirtualRelease((heap.*area).base, std::size_t{(heap.*area).reservedUnits} * kAreaUnitBytes);
}

TEST(HeapAreasDeath, EveryFailureOfTheAreasIsFatal) {
  static HeapAreas heap{};
  const struct {
    void (*run)();
    const char* text;
    const char* filled = "";  // printed once the area is exactly full, before the failing carve
  } cases[] = {
      {[] { VirtualMemoryLimitReservations(1 << 20), HeapAreasInit(heap); },
       "Virtual Memory Error : Not Enough Memory for Hole Area"},
      {[] { VirtualMemoryLimitReservations(64 << 20), HeapAreasInit(heap); },
       "Virtual Memory Error : Not Enough Memory for Small Area"},
      {[] { VirtualMemoryLimitReservations(500 << 20), HeapAreasInit(heap); },
       "Virtual Memory Error : Not Enough Memory for Large Area"},
      {[] {
         VirtualMemoryLimitReservations(896u << 20);
         ScopedHeapAreas scoped;
         HeapAreasLargeAlloc(std::uint64_t{896} << 20);
         std::fprintf(stderr, "filled\n");
         HeapAreasLargeAlloc(kPageBytes);
       },
       "Virtual Memory Error : Large Area is Full", "filled"},
      {[] {
         ScopedHeapAreas scoped;
         for (std::uint32_t i = 0; i < 4u * 1024 * 1024 / 12; ++i)  // 4 MB of 12-byte nodes
           HeapAreasPushFree(scoped.heap().small.base, 3, 0);
         std::fprintf(stderr, "filled\n");
         HeapAreasPushFree(scoped.heap().small.base, 3, 0);
       },
       "Virtual Memory Error : Not Enough Memory for Hole Area", "filled"},
      {[] {
         ScopedHeapAreas scoped;
         for (std::uint32_t i = 0; i < 65536; ++i) HeapAreasSmallAlloc(2048);  // 128 MB
         std::fprintf(stderr, "filled\n");
         HeapAreasSmallAlloc(16);
       },
       "Virtual Memory Error : Not Enough Memory for Small Area", "filled"},
      {[] { HeapAreasInit(heap), ReleaseArea(heap, &HeapAreas::hole), HeapAreasRelease(heap); },
       "Virtual Memory Error : Heap Block Liberation Failed"},
      {[] { HeapAreasInit(heap), ReleaseArea(heap, &HeapAreas::small), HeapAreasRelease(heap); },
       "Virtual Memory Error : Small Block Liberation Failed"},
      {[] { HeapAreasInit(heap), ReleaseArea(heap, &HeapAreas::large), HeapAreasRelease(heap); },
       "Virtual Memory Error : Large Block Liberation Failed"},
  };
  for (const auto& c : cases)
    EXPECT_EXIT(c.run(), testing::ExitedWithCode(1),
                std::string(c.filled) + test::FatalRecordRegex(c.text));
}

TEST(HeapAreasDeath, FailedCommitsAndDecommitsAreFatal) {
  void* gone = VirtualReserve(1 << 20);
  ASSERT_TRUE(VirtualRelease(gone, 1 << 20));
  EXPECT_FATAL(HeapAreasCommit(gone, kPageBytes), "Virtual Memory Error : Block Commitment Failed");
  EXPECT_FATAL(HeapAreasDecommit(gone, kPageBytes),
               "Virtual Memory Error : Block DeCommitment Failed");
  // A parked block whose pages cannot be given back makes the trim fatal too. The region is
  // released after the fresh manager reserves its areas, which could otherwise land on it.
  EXPECT_FATAL(
      {
        ScopedHeapAreas scoped;
        void* lost = VirtualReserve(1 << 20);
        VirtualRelease(lost, 1 << 20);
        HeapAreasPushFree(static_cast<std::uint8_t*>(lost), 14, 4);
        HeapAreasTrimCache();
      },
      "Virtual Memory Error : Block DeCommitment Failed");
}

TEST(HeapAreas, ExitReleaseRunsOnceAndLeavesLaterReleasesAlone) {
  ScopedHeapAreas scoped;
  MemBlock block{};
  MemBlockReserve(block, 10000);
  MemBlockAppend(block, 10000);
  const MemBlock before = block;
  HeapAreasRelease();
  EXPECT_EQ(scoped.heap().active, 0u);
  HeapAreasRelease();  // a second call does nothing
  MemBlockRelease(block);
  EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0);
  EXPECT_EQ(scoped.heap().sizeClassLists[14].head, nullptr);
}

TEST(HeapAreas, TrimGivesBackParkedPagesOfSixteenKilobytesAndUp) {
  ScopedHeapAreas scoped;
  HeapAreas& heap = scoped.heap();
  // Parked blocks of classes 13 (8 KB), 14 (16 KB), 24 (16 MB) and 26 (64 MB), pages committed.
  const std::uint32_t sizes[] = {8192, 16384, 16u << 20, 64u << 20};
  std::uint8_t* bases[4];
  for (int i = 0; i < 4; ++i) {
    MemBlock b{};
    MemBlockReserve(b, sizes[i]);
    static_cast<std::uint8_t*>(MemBlockAppend(b, (2 + i) * kPageBytes))[0] = 0x5A;
    bases[i] = b.base;
    MemBlockRelease(b);
  }
  EXPECT_EQ(heap.cachedPages, 2 + 3 + 4 + 5);

  // Reach the threshold of 64 MB committed with a block in use; the commit that reaches it
  // does not trim yet.
  MemBlock big{};
  MemBlockReserve(big, 128u << 20);
  MemBlockAppend(big, std::uint32_t(heap.trimThreshold - heap.committedPages) * kPageBytes);
  EXPECT_TRUE(heap.committedPages == 16384 && heap.cachedPages == 14);

  MemBlockAppend(big, 1);  // next commit trims first
  EXPECT_TRUE(heap.cachedPages == 2 && heap.committedPages == 16384 - 12 + 1);
  EXPECT_EQ(heap.sizeClassLists[13].head->committedPages, 2u);
  for (std::uint32_t k : {14u, 24u, 26u})
    EXPECT_EQ(heap.sizeClassLists[k].head->committedPages, 0u) << k;

  // A trimmed block comes back with fresh pages; the class-13 block kept its data.
  MemBlock again{};
  MemBlockReserve(again, 16384);
  EXPECT_EQ(again.base, bases[1]);
  EXPECT_EQ(static_cast<std::uint8_t*>(MemBlockAppend(again, 1))[0], 0);
  MemBlock kept{};
  MemBlockReserve(kept, 8192);
  EXPECT_TRUE(kept.base == bases[0] && kept.committedPages == 2 && kept.base[0] == 0x5A);
  EXPECT_EQ(HeapAreasCommittedBytes(heap), std::uint32_t(heap.committedPages) * kPageBytes);
  EXPECT_EQ(HeapAreasBytesInUse(heap),
            std::uint32_t(heap.committedPages - heap.cachedPages) * kPageBytes);
  // More cached than committed pages reads as none in use, not a wrapped count.
  heap.cachedPages = heap.committedPages + 2;
  EXPECT_EQ(HeapAreasBytesInUse(heap), 0u);
}

}  // namespace
}  // namespace veskor
