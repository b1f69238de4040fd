#include "foundation/vm_array.h"

#include <cstdio>

#include "foundation/fatal_error.h"

namespace veskor {

void VmArrayInit(VmArray& array) { array = VmArray{}; }

void VmArrayReserve(VmArray& array, std::uint32_t bytes) {
  MemBlockReserve(array.block, bytes);
  array.elements = array.block.base;
  array.count = 0;
}

void VmArrayPush(VmArray& array, const std::uint32_t& value) {
  // MemBlockAppend commits the page and reports an overflow with the numbered message. The
  // value goes at the count, which after a same-class reserve lies before the appended bytes.
  MemBlockAppend(array.block, sizeof value);
  static_cast<std::uint32_t*>(array.elements)[array.count] = value;
  ++array.count;
}

void* VmArrayAppend(VmArray& array, std::uint32_t n, std::uint32_t elementSize) {
  const std::uint64_t bytes = std::uint64_t{n} * elementSize;
  if (bytes > UINT32_MAX) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "Virtual Memory Error : Required Memory > Reserved Memory (%u+%llu>(1<<%u))",
                  array.block.usedBytes, static_cast<unsigned long long>(bytes),
                  array.block.sizeClass);
    FatalError(text);
  }
  void* p = MemBlockAppend(array.block, static_cast<std::uint32_t>(bytes));
  array.count += n;
  return p;
}

void VmArrayPop(VmArray& array, std::uint32_t n, std::uint32_t elementSize) {
  if (n > array.count) n = array.count;
  const std::uint64_t bytes = std::uint64_t{n} * elementSize;
  array.block.usedBytes =
      bytes < array.block.usedBytes ? array.block.usedBytes - static_cast<std::uint32_t>(bytes) : 0;
  array.count -= n;
}

void VmArrayClear(VmArray& array) {
  array.block.usedBytes = 0;
  array.count = 0;
}

void VmArrayRelease(VmArray& array) {
  MemBlockRelease(array.block);
  array.elements = nullptr;
  array.count = 0;
}

void VmArrayReleaseWithWord(VmArray& array, std::uint32_t& ownerWord) {
  VmArrayRelease(array);
  ownerWord = 0;
}

void VmArrayAllocElements(BucketTable& table, std::uint32_t n, std::uint32_t dataBytes) {
  if (table.buckets.count != 0) return;
  table.buckets.count = n;
  MemBlockReserve(table.buckets.block, n * static_cast<std::uint32_t>(sizeof(BucketRecord)));
  auto* records = static_cast<BucketRecord*>(
      MemBlockAppend(table.buckets.block, n * static_cast<std::uint32_t>(sizeof(BucketRecord))));
  table.buckets.elements = records;
  for (std::uint32_t i = 0; i < n; ++i) records[i] = BucketRecord{&table, nullptr, nullptr, 0};
  MemBlockReserve(table.entries.block, dataBytes);
}

}  // namespace veskor
