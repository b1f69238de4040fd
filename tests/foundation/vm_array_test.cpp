#include "foundation/vm_array.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/heap_areas.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::ScopedHeapAreas;

TEST(VmArray, PushAndAppendFollowTheBytesUsedInTheBlock) {
  ScopedHeapAreas scoped;
  VmArray a;
  VmArrayInit(a);
  VmArrayReserve(a, 0);  // an empty array stays empty
  EXPECT_TRUE(a.elements == nullptr && a.block.base == nullptr && a.count == 0);
  VmArrayReserve(a, 100);
  for (std::uint32_t v : {10u, 20u, 30u}) VmArrayPush(a, v);
  EXPECT_TRUE(a.count == 3 && a.block.usedBytes == 12 && a.block.sizeClass == 7);
  const auto* data = VmArrayData<std::uint32_t>(a);
  EXPECT_EQ(std::vector<std::uint32_t>(data, data + 3), (std::vector<std::uint32_t>{10, 20, 30}));

  // A reserve of the same class keeps the pointer and the bytes used; the count restarts.
  VmArrayReserve(a, 100000);
  EXPECT_EQ(VmArrayAppend(a, 100, sizeof(std::uint64_t)), a.elements);
  EXPECT_EQ(a.count, 100u);
  void* elements = a.elements;
  VmArrayReserve(a, 70000);
  EXPECT_TRUE(a.elements == elements && a.block.usedBytes == 800 && a.count == 0);
  EXPECT_EQ(VmArrayAppend(a, 1, 8), static_cast<std::uint8_t*>(elements) + 800);
  EXPECT_EQ(a.count, 1u);
  VmArrayReserve(a, 1000);  // another class: a new, empty block
  EXPECT_TRUE(a.elements != elements && a.block.usedBytes == 0);
}

TEST(VmArray, PopAndClearGiveTheirPlaceToTheNextAppend) {
  ScopedHeapAreas scoped;
  VmArray a;
  VmArrayInit(a);
  VmArrayReserve(a, 100);
  for (std::uint32_t v : {10u, 20u, 30u, 40u}) VmArrayPush(a, v);
  VmArrayPop(a, 1, 4);
  EXPECT_EQ(a.count, 3u);
  EXPECT_EQ(a.block.usedBytes, 12u);
  VmArrayPush(a, 50);
  const auto* data = VmArrayData<std::uint32_t>(a);
  EXPECT_EQ(std::vector<std::uint32_t>(data, data + 4),
            (std::vector<std::uint32_t>{10, 20, 30, 50}));
  VmArrayPop(a, 3, 4);  // all but one
  EXPECT_EQ(a.count, 1u);
  EXPECT_EQ(a.block.usedBytes, 4u);
  VmArrayPop(a, 2, 4);  // one more than there is
  EXPECT_EQ(a.count, 0u);
  EXPECT_EQ(a.block.usedBytes, 0u);
  void* elements = a.elements;
  VmArrayAppend(a, 3, 8);
  VmArrayClear(a);
  EXPECT_EQ(a.count, 0u);
  EXPECT_EQ(a.block.usedBytes, 0u);
  EXPECT_EQ(a.elements, elements);  // the block stays
  EXPECT_EQ(VmArrayAppend(a, 1, 8), elements);
}

TEST(VmArray, ReleaseClearsTheArraysWordsAndParksTheBlock) {
  ScopedHeapAreas scoped;
  VmArray a;
  VmArrayInit(a);
  VmArrayReserve(a, 1u << 16);
  VmArrayAppend(a, 5000, 4);
  std::uint8_t* base = a.block.base;
  std::uint32_t ownerWord = 77;
  VmArrayReleaseWithWord(a, ownerWord);
  EXPECT_TRUE(a.elements == nullptr && a.count == 0 && a.block.base == nullptr && !ownerWord);
  EXPECT_EQ(scoped.heap().sizeClassLists[16].head->base, base);

  // After the manager's exit release the words are still cleared, the block left alone.
  VmArrayReserve(a, 1u << 16);
  const MemBlock held = a.block;
  HeapAreasRelease();
  VmArrayRelease(a);
  EXPECT_TRUE(a.elements == nullptr && a.count == 0 && a.block.base == held.base);
}

TEST(VmArray, AllocElementsBuildsTheBucketTableOnce) {
  ScopedHeapAreas scoped;
  BucketTable table{};
  StaticPoolInit(table.entries, 32);
  VmArrayAllocElements(table, 1024, 2097152);
  ASSERT_EQ(table.buckets.count, 1024u);
  const auto* records = VmArrayData<BucketRecord>(table.buckets);
  for (std::uint32_t i = 0; i < 1024; ++i)
    ASSERT_TRUE(records[i].owner == &table && !records[i].head && !records[i].tail &&
                records[i].count == 0) << i;
  EXPECT_EQ(table.entries.block.sizeClass, 21u);
  // A second call changes nothing, even with other numbers.
  const MemBlock recordsBlock = table.buckets.block;
  VmArrayAllocElements(table, 16, 64);
  EXPECT_TRUE(table.buckets.count == 1024 && table.buckets.block.base == recordsBlock.base);
  EXPECT_EQ(table.entries.block.sizeClass, 21u);
}

TEST(VmArrayDeath, PushPastCapacityIsFatal) {
  EXPECT_FATAL(
      {
        VmArray a;
        VmArrayInit(a);
        VmArrayReserve(a, 128);
        for (std::uint32_t i = 0; i < 33; ++i) VmArrayPush(a, i);
      },
      "Virtual Memory Error : Required Memory > Reserved Memory (128+4>(1<<7))");
}

}  // namespace
}  // namespace veskor
