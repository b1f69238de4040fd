// Lists of lists: many short lists of fixed-size entries kept in one record block, appended one
// whole list at a time, with a header array naming each list's first entry and entry count.
// The fx registry keeps its overloads in one; the parse store its argument, dependency and
// compiled lists. Also the checked append of the parse store's growable arrays.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "foundation/vm_array.h"

namespace veskor {

struct RecordListHeader {
  void* first;  // the list's first entry in the record block
  std::uint32_t count;
};

struct RecordLists {
  MemBlock records;      // the entries of every list, one list after the other
  MemBlock headerBlock;  // headerCapacity headers
  RecordListHeader* headers;
  std::uint32_t headerCount;
  std::uint32_t headerCapacity;
};

// Reserves room for `headerCapacity` lists and `recordBytes` bytes of entries; both empty.
void RecordListsReserve(RecordLists& lists, std::uint32_t headerCapacity,
                        std::uint32_t recordBytes);
// Opens a list of n entries of `entryBytes` bytes after the last one and returns its first
// entry (for n = 0, where it would begin). Null, changing nothing, when the header array or the
// record block has no room for it.
void* RecordListsAppend(RecordLists& lists, std::uint32_t n, std::uint32_t entryBytes);
// Whether a list of n entries of `entryBytes` bytes would be appended.
bool RecordListsFit(const RecordLists& lists, std::uint32_t n, std::uint32_t entryBytes);
// Empties every list; the blocks stay reserved.
void RecordListsReset(RecordLists& lists);
// Parks both blocks; the lists are empty and unreserved.
void RecordListsRelease(RecordLists& lists);

template <class T>
T* RecordListsAppend(RecordLists& lists, std::uint32_t n) {
  return static_cast<T*>(RecordListsAppend(lists, n, static_cast<std::uint32_t>(sizeof(T))));
}
template <class T>
T* RecordListEntries(const RecordLists& lists, std::uint32_t list) {
  return static_cast<T*>(lists.headers[list].first);
}

// Appends n elements of T to an array whose capacity is the whole of its reserved block, and
// returns the first; null, changing nothing, when they do not fit. World input can fill these
// arrays, so a full one is the parse's error to report, not a fatal one.
void* VmArrayTryAppend(VmArray& array, std::uint32_t n, std::uint32_t elementSize);
template <class T>
T* VmArrayTryAppend(VmArray& array, std::uint32_t n = 1) {
  return static_cast<T*>(VmArrayTryAppend(array, n, static_cast<std::uint32_t>(sizeof(T))));
}
// Elements of `elementSize` bytes the array's block holds.
std::uint32_t VmArrayCapacity(const VmArray& array, std::uint32_t elementSize);

}  // namespace veskor
