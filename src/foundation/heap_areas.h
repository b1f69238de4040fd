// The memory manager: three reserved address areas (Hole, Small, Large), power-of-two blocks
// carved from them, and per-size-class lists of parked blocks for reuse. MemBlock, VmArray and
// the pools are built on these operations; a few other subsystems grow, shrink and park blocks
// with them directly.
//
// There is one manager for the program (TheHeapAreas()). Every operation takes the manager as
// its last argument, defaulting to that one, so tests can run a fresh manager of their own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veskor {

inline constexpr std::uint32_t kPageBytes = 4096;
inline constexpr std::uint32_t kAreaUnitBytes = 65536;
inline constexpr std::uint32_t kSmallAreaUnits = 2048;   // 128 MB: classes 0..11
inline constexpr std::uint32_t kLargeAreaUnits = 16384;  // 1 GB: classes 12 and up
inline constexpr std::uint32_t kSmallClassLimit = 12;    // below: Small area; from it: Large
inline constexpr std::int32_t kTrimThresholdPages = 16384;  // 64 MB committed
inline constexpr std::uint32_t kTrimLowestClass = 14;       // parked blocks of 16 KB and more
// The Hole area holds as many list nodes as 4 MB of the original 12-byte nodes did; our nodes
// hold 64-bit pointers, so the area is sized by this count, not by bytes.
inline constexpr std::uint32_t kHoleNodeCapacity = 64u * kAreaUnitBytes / 12u;
// One parked-block list for every class a 32-bit request can ask for (0..32). Only classes up
// to 30 fit in the Large area, but no class can index past the table.
inline constexpr std::uint32_t kSizeClassCount = 33;

// A node of the parked-block lists; lives in the Hole area and is never given back to it.
struct FreeBlockNode {
  FreeBlockNode* next;
  std::uint8_t* base;            // the parked block
  std::uint32_t committedPages;  // pages committed from the base at parking; 0 after a trim
};

struct SizeClassList {
  FreeBlockNode* head;
  FreeBlockNode* tail;
};

struct HeapArea {
  std::uint8_t* base;
  std::uint32_t usedBytes;       // carve point, from the base
  std::uint32_t reservedUnits;   // in kAreaUnitBytes
  std::uint32_t committedPages;  // from the base (Small and Hole areas only)
};

struct HeapAreas {
  std::int32_t committedPages;  // committed in all three areas and not decommitted
  std::int32_t cachedPages;     // committed pages that belong to parked blocks
  std::int32_t trimThreshold;
  HeapArea small;
  HeapArea large;
  HeapArea hole;
  FreeBlockNode* freeNodes;  // spare nodes, linked through next
  SizeClassList sizeClassLists[kSizeClassCount];
  // 1 from construction until HeapAreasRelease; afterwards releases leave blocks alone.
  std::uint32_t active;
};

// The program's manager. It is constructed before every other global object (and its exit
// handler registered first, so it runs last): see heap_areas.cpp.
extern HeapAreas* gHeapAreas;
inline HeapAreas& TheHeapAreas() { return *gHeapAreas; }
inline bool HeapActive(const HeapAreas& heap = TheHeapAreas()) { return heap.active != 0; }

// Size class of a request of n >= 1 bytes: ceil(log2 n).
std::uint32_t SizeClassOf(std::uint32_t n);

// Reserves the three areas (fatal when one cannot be had) and empties every list.
void HeapAreasInit(HeapAreas& heap);
// Decommits the three areas; from then on releases do nothing. A second call does nothing.
void HeapAreasRelease(HeapAreas& heap = TheHeapAreas());

// Takes the oldest parked block of class k, or carves a new one. `committedPages` receives
// the pages committed from its base (1 for a Small-area block, 0 for a fresh Large one).
std::uint8_t* HeapAreasAllocBlock(std::uint32_t k, std::uint32_t* committedPages,
                                  HeapAreas& heap = TheHeapAreas());
// Carves `size` bytes (a power of two, at most 2048) from the Small area, aligned to
// min(size, 16), committing the area's pages as the carve point advances.
std::uint8_t* HeapAreasSmallAlloc(std::uint32_t size, HeapAreas& heap = TheHeapAreas());
// Carves `size` bytes (a multiple of the page) from the Large area; commits nothing.
std::uint8_t* HeapAreasLargeAlloc(std::uint64_t size, HeapAreas& heap = TheHeapAreas());
// Commits / decommits whole pages; the commit trims the parked blocks first when due.
void HeapAreasCommit(void* address, std::size_t bytes, HeapAreas& heap = TheHeapAreas());
void HeapAreasDecommit(void* address, std::size_t bytes, HeapAreas& heap = TheHeapAreas());
// Gives back the pages of the parked blocks of class kTrimLowestClass and up.
void HeapAreasTrimCache(HeapAreas& heap = TheHeapAreas());
FreeBlockNode* HeapAreasNodeAlloc(HeapAreas& heap = TheHeapAreas());
// Parks a block at the tail of the list of class k; a null base does nothing.
void HeapAreasPushFree(std::uint8_t* base, std::uint32_t k, std::uint32_t committedPages,
                       HeapAreas& heap = TheHeapAreas());

std::uint32_t HeapAreasCommittedBytes(const HeapAreas& heap = TheHeapAreas());
std::uint32_t HeapAreasBytesInUse(const HeapAreas& heap = TheHeapAreas());

}  // namespace veskor
