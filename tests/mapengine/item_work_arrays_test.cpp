#include "mapengine/item_work_arrays.h"

#include <gtest/gtest.h>

#include <cstring>

#include "foundation/heap_areas.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

TEST(ItemWorkArrays, ReleaseParksEveryBlockAndClearsThePointers) {
  test::ScopedHeapAreas heap;
  ItemWorkArrays arrays;
  std::memset(&arrays, 0xAB, sizeof arrays);
  ItemWorkArraysInit(arrays);
  MemBlock* blocks[] = {&arrays.array1.block, &arrays.array2.block, &arrays.array3.block,
                        &arrays.array4.block, &arrays.array5.block};
  EXPECT_TRUE(arrays.array1.count == 0 && arrays.array5.pointers[1] == nullptr);
  EXPECT_TRUE(arrays.array3.pointers[0] == nullptr && arrays.array3.block.sizeClass == 0);
  std::uint8_t* bases[5];
  for (int n = 0; n < 5; ++n) {
    ASSERT_EQ(blocks[n]->base, nullptr);
    MemBlockReserve(*blocks[n], 1u << (13 + n));
    bases[n] = blocks[n]->base;
    MemBlockAppend(*blocks[n], 100);
  }
  arrays.array1.pointers[0] = bases[0];
  arrays.array3.pointers[1] = bases[2] + 8;
  arrays.array5.count = 12;
  ItemWorkArraysRelease(arrays);
  for (int n = 0; n < 5; ++n) {
    EXPECT_EQ(blocks[n]->base, nullptr);
    // Parked on the list of its size class, to be taken again by the next reserve.
    const SizeClassList& list = heap.heap().sizeClassLists[13 + n];
    ASSERT_NE(list.head, nullptr);
    EXPECT_EQ(list.head->base, bases[n]);
  }
  EXPECT_TRUE(arrays.array1.pointers[0] == nullptr && arrays.array3.pointers[1] == nullptr);
  EXPECT_EQ(arrays.array5.count, 12u);  // counts are the owner's

  // After the manager's own release at exit the blocks are left alone.
  MemBlockReserve(arrays.array2.block, 4096);
  arrays.array2.pointers[0] = arrays.array2.block.base;
  HeapAreasRelease(heap.heap());
  ItemWorkArraysRelease(arrays);
  EXPECT_EQ(arrays.array2.pointers[0], nullptr);
  EXPECT_NE(arrays.array2.block.base, nullptr);
}

}  // namespace
}  // namespace veskor
