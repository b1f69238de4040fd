// NameTable: the symbol table of the world language, an insertion-ordered list of (name,
// value) pairs in one memory block: the entry array at its start, the names after it. The
// World's model, composition, height-field, camera and examine names and the fx dictionaries
// are name tables. Lookups are linear and case-sensitive; the first match wins.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

namespace veskor {

struct NameEntry {
  const char* name;  // the copy in the table's block
  std::uint32_t value;
};

struct NameTable {
  MemBlock block;
  NameEntry* entries;  // the block's entry array
  std::uint32_t count;
  std::uint32_t byteCount;  // the entry array, then every name with its terminator
  std::uint32_t capacity;   // entry slots
};

// The reserve of a table of `slots` entries whose store was sized at `bytes` for 8-byte
// entries: our entries hold a 64-bit pointer, so the store grows by the difference and the
// names keep their room.
constexpr std::uint32_t NameStoreBytes(std::uint32_t slots, std::uint32_t bytes) {
  return bytes + slots * static_cast<std::uint32_t>(sizeof(NameEntry) - 8);
}

// What a parser reports when NameTableInsert refuses a name.
inline constexpr const char* kNameTableFullMessage = "Too many names";

// Reserves the block for `reserve` bytes the first time (again when the class differs), then
// places an empty array of `capacity` entries after what the block holds.
void NameTableInit(NameTable& table, std::uint32_t capacity, std::uint32_t reserve);
// Empties the table; the block stays reserved.
void NameTableClear(NameTable& table);
// Appends (a copy of `name`, *value). No duplicate check. Returns false, changing nothing,
// when every entry slot is taken or the name does not fit the block's reserve.
bool NameTableInsert(NameTable& table, const char* name, const std::uint32_t* value);
// The position of the first entry named `name` in `position`, and true; else the count and
// false.
bool NameTableFind(const NameTable& table, const char* name, std::uint32_t& position);
// Hands the block back; the table is empty and unreserved.
void NameTableRelease(NameTable& table);

}  // namespace veskor
