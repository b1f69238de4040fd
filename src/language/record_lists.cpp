#include "language/record_lists.h"

namespace veskor {
namespace {

std::uint64_t ReservedBytes(const MemBlock& block) {
  return block.base == nullptr ? 0 : std::uint64_t{1} << block.sizeClass;
}

}  // namespace

void RecordListsReserve(RecordLists& lists, std::uint32_t headerCapacity,
                        std::uint32_t recordBytes) {
  MemBlockReserve(lists.records, recordBytes);
  const auto headerBytes = headerCapacity * static_cast<std::uint32_t>(sizeof(RecordListHeader));
  MemBlockReserve(lists.headerBlock, headerBytes);
  lists.headers = reinterpret_cast<RecordListHeader*>(lists.headerBlock.base);
  lists.headerCapacity = headerCapacity;
  RecordListsReset(lists);
}

bool RecordListsFit(const RecordLists& lists, std::uint32_t n, std::uint32_t entryBytes) {
  return lists.headerCount < lists.headerCapacity &&
         lists.records.usedBytes + std::uint64_t{n} * entryBytes <= ReservedBytes(lists.records);
}

void* RecordListsAppend(RecordLists& lists, std::uint32_t n, std::uint32_t entryBytes) {
  if (!RecordListsFit(lists, n, entryBytes)) return nullptr;
  const std::uint64_t bytes = std::uint64_t{n} * entryBytes;
  if (lists.headerBlock.usedBytes < (lists.headerCount + 1) * sizeof(RecordListHeader)) {
    MemBlockAppend(lists.headerBlock, sizeof(RecordListHeader));  // commits the header's page
  }
  void* first = MemBlockAppend(lists.records, static_cast<std::uint32_t>(bytes));
  lists.headers[lists.headerCount++] = {first, n};
  return first;
}

void RecordListsReset(RecordLists& lists) {
  lists.records.usedBytes = 0;
  lists.headerCount = 0;
}

void RecordListsRelease(RecordLists& lists) {
  if (lists.records.base != nullptr) MemBlockRelease(lists.records);
  if (lists.headerBlock.base != nullptr) MemBlockRelease(lists.headerBlock);
  lists = RecordLists{};
}

void* VmArrayTryAppend(VmArray& array, std::uint32_t n, std::uint32_t elementSize) {
  if (std::uint64_t{array.count} + n > VmArrayCapacity(array, elementSize)) return nullptr;
  // Elements sit at the count, which a reset puts back to 0 while the block keeps its bytes.
  const std::uint64_t end = (std::uint64_t{array.count} + n) * elementSize;
  if (array.block.usedBytes < end) {
    MemBlockAppend(array.block, static_cast<std::uint32_t>(end - array.block.usedBytes));
  }
  void* first =
      static_cast<std::uint8_t*>(array.elements) + std::uint64_t{array.count} * elementSize;
  array.count += n;
  return first;
}

std::uint32_t VmArrayCapacity(const VmArray& array, std::uint32_t elementSize) {
  return static_cast<std::uint32_t>(ReservedBytes(array.block) / elementSize);
}

}  // namespace veskor
