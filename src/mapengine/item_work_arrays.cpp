#include "mapengine/item_work_arrays.h"

#include "foundation/heap_areas.h"

namespace veskor {

namespace {

void ReleaseArray(MemBlock& block, void** pointers) {
  pointers[0] = pointers[1] = nullptr;
  if (HeapActive()) MemBlockRelease(block);
}

}  // namespace

void ItemWorkArraysInit(ItemWorkArrays& arrays) { arrays = ItemWorkArrays{}; }

void ItemWorkArraysRelease(ItemWorkArrays& arrays) {
  ReleaseArray(arrays.array5.block, arrays.array5.pointers);
  ReleaseArray(arrays.array4.block, arrays.array4.pointers);
  ReleaseArray(arrays.array3.block, arrays.array3.pointers);
  ReleaseArray(arrays.array2.block, arrays.array2.pointers);
  ReleaseArray(arrays.array1.block, arrays.array1.pointers);
}

}  // namespace veskor
