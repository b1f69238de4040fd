#include "language/name_table.h"

#include <cstring>

namespace veskor {
namespace {

void PlaceEntryArray(NameTable& table, std::uint32_t capacity) {
  table.entries = static_cast<NameEntry*>(
      MemBlockAppend(table.block, capacity * static_cast<std::uint32_t>(sizeof(NameEntry))));
  table.capacity = capacity;
  table.byteCount = capacity * static_cast<std::uint32_t>(sizeof(NameEntry));
  table.count = 0;
}

}  // namespace

void NameTableInit(NameTable& table, std::uint32_t capacity, std::uint32_t reserve) {
  MemBlockReserve(table.block, reserve);
  PlaceEntryArray(table, capacity);
}

void NameTableClear(NameTable& table) {
  if (table.block.base == nullptr) return;
  table.block.usedBytes = 0;
  PlaceEntryArray(table, table.capacity);
}

bool NameTableInsert(NameTable& table, const char* name, const std::uint32_t* value) {
  if (table.block.base == nullptr || table.count >= table.capacity) return false;
  const std::uint64_t bytes = std::strlen(name) + 1;
  if (table.block.usedBytes + bytes > (std::uint64_t{1} << table.block.sizeClass)) return false;
  auto* copy = static_cast<char*>(MemBlockAppend(table.block, static_cast<std::uint32_t>(bytes)));
  std::memcpy(copy, name, bytes);
  table.entries[table.count] = {copy, *value};
  table.byteCount += static_cast<std::uint32_t>(bytes);
  ++table.count;
  return true;
}

bool NameTableFind(const NameTable& table, const char* name, std::uint32_t& position) {
  for (std::uint32_t i = 0; i < table.count; ++i) {
    if (std::strcmp(table.entries[i].name, name) == 0) {
      position = i;
      return true;
    }
  }
  position = table.count;
  return false;
}

void NameTableRelease(NameTable& table) {
  if (table.block.base != nullptr) MemBlockRelease(table.block);
  table = NameTable{};
}

}  // namespace veskor
