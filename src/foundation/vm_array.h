// VmArray: the growable array every dynamic table of the program is built on. Its capacity is
// fixed by its reserve (a whole power-of-two block); appends commit pages in place, so elements
// never move until the array is released or reserved again with a size of another class.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "foundation/static_pool.h"

namespace veskor {

struct VmArray {
  MemBlock block;
  void* elements;  // the block's base; null while the array holds nothing
  std::uint32_t count;
};

void VmArrayInit(VmArray& array);

// Gives the array a block for `bytes` bytes; elements = base, count = 0. A block of the same
// class is kept with its used bytes, so later appends come after the bytes already used.
void VmArrayReserve(VmArray& array, std::uint32_t bytes);

// Appends one 32-bit element.
void VmArrayPush(VmArray& array, const std::uint32_t& value);

// Appends n elements of `elementSize` bytes and returns where they go (elements + old count
// times elementSize); the count grows by n.
void* VmArrayAppend(VmArray& array, std::uint32_t n, std::uint32_t elementSize);

// Removes the last n elements of `elementSize` bytes (every element when n is larger than the
// count): the count and the block's used bytes go down together, so the next append takes
// their place. The pages stay committed.
void VmArrayPop(VmArray& array, std::uint32_t n, std::uint32_t elementSize);
// Removes every element, keeping the block: the count and the used bytes are 0.
void VmArrayClear(VmArray& array);

template <class T>
T* VmArrayData(const VmArray& array) {
  return static_cast<T*>(array.elements);
}

// Parks the block and clears the element pointer and the count (after the manager's exit
// release the words are cleared and the block is left alone).
void VmArrayRelease(VmArray& array);
// The same, also clearing the word the owner keeps after the count.
void VmArrayReleaseWithWord(VmArray& array, std::uint32_t& ownerWord);

// A table of buckets whose entries come from a StaticPool: the entry pool, the bucket
// records, and one word of the owner's. Sized once by VmArrayAllocElements.
struct BucketRecord {
  void* owner;  // the BucketTable holding the record
  void* head;   // first entry
  void* tail;   // last entry
  std::uint32_t count;
};

struct BucketTable {
  StaticPool entries;
  VmArray buckets;  // of BucketRecord
  std::uint32_t ownerWord;
};

// Once per table (nothing happens while the bucket count is not 0): n empty bucket records
// owned by the table, and the entry pool's block reserved for `dataBytes`.
void VmArrayAllocElements(BucketTable& table, std::uint32_t n, std::uint32_t dataBytes);

}  // namespace veskor
