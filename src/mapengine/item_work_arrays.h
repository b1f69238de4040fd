// ItemWorkArrays: the five block-backed arrays in which the item geometry generation assembles
// each item's mesh. Its owner keeps one record for the whole run, so the arrays keep their
// blocks from one item to the next; what they hold, and the 65536-entry limit checked against
// the first array's count, belong to the owner.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

namespace veskor {

// One array: its block and two pointers into it that the owner sets, with a count.
struct ItemWorkArray {
  MemBlock block;
  void* pointers[2];
  std::uint32_t count;
};

// The third array has no count.
struct ItemWorkArrayUncounted {
  MemBlock block;
  void* pointers[2];
};

struct ItemWorkArrays {
  ItemWorkArray array1;
  ItemWorkArray array2;
  ItemWorkArrayUncounted array3;
  ItemWorkArray array4;
  ItemWorkArray array5;
};

// Zeroes every field: empty descriptors, null pointers, zero counts.
void ItemWorkArraysInit(ItemWorkArrays& arrays);

// For arrays 5, 4, 3, 2 and 1 in that order: clears the two pointers and, while the memory
// manager is active, parks the block and zeroes its descriptor. The counts are left as they
// are. The owner registers it as the exit handler of its record.
void ItemWorkArraysRelease(ItemWorkArrays& arrays);

}  // namespace veskor
