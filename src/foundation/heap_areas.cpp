#include "foundation/heap_areas.h"

#include <bit>
#include <cstdlib>
#include <new>

#include "foundation/fatal_error.h"
#include "platform/virtual_memory.h"

namespace veskor {

namespace {

constexpr std::uint32_t kHoleNodeBytes = sizeof(FreeBlockNode);
constexpr std::uint64_t kHoleCapacityBytes = std::uint64_t{kHoleNodeCapacity} * kHoleNodeBytes;
constexpr std::uint32_t kHoleAreaUnits =
    static_cast<std::uint32_t>((kHoleCapacityBytes + kAreaUnitBytes - 1) / kAreaUnitBytes);

std::uint64_t AreaBytes(const HeapArea& area) {
  return std::uint64_t{area.reservedUnits} * kAreaUnitBytes;
}

std::uint64_t PagesFor(std::uint64_t bytes) { return (bytes + kPageBytes - 1) / kPageBytes; }

// Carves from an area whose pages stay committed up to its carve point (Small and Hole).
std::uint8_t* CarveCommitted(HeapAreas& heap, HeapArea& area, std::uint32_t size,
                             std::uint32_t align, std::uint64_t limitBytes, const char* fullText) {
  const std::uint64_t start = (std::uint64_t{area.usedBytes} + align - 1) & ~std::uint64_t{align - 1};
  const std::uint64_t end = start + size;
  if (end > limitBytes) FatalError(fullText);
  const std::uint64_t committedBytes = std::uint64_t{area.committedPages} * kPageBytes;
  if (end > committedBytes) {
    const std::uint64_t p = PagesFor(end - committedBytes);
    if ((area.committedPages + p) * kPageBytes > AreaBytes(area)) FatalError(fullText);
    HeapAreasCommit(area.base + committedBytes, p * kPageBytes, heap);
    area.committedPages += static_cast<std::uint32_t>(p);
  }
  area.usedBytes = static_cast<std::uint32_t>(end);
  return area.base + start;
}

// The program's manager lives in static storage and is constructed by the start-up object
// below, which runs before every other static constructor of the program (init_priority
// 101 is the earliest a program may use). HeapAreasRelease is registered with atexit right
// after, so it runs after the destructors of every object constructed later; objects built
// before it (none of ours) would find the manager inactive and leave their blocks alone.
alignas(HeapAreas) unsigned char gHeapStorage[sizeof(HeapAreas)];

void ReleaseProgramHeap() { HeapAreasRelease(*gHeapAreas); }

struct HeapAreasStartup {
  HeapAreasStartup() {
    gHeapAreas = new (gHeapStorage) HeapAreas{};
    HeapAreasInit(*gHeapAreas);
    std::atexit(ReleaseProgramHeap);
  }
};

__attribute__((init_priority(101))) HeapAreasStartup gHeapAreasStartup;

}  // namespace

HeapAreas* gHeapAreas = nullptr;

std::uint32_t SizeClassOf(std::uint32_t n) {
  return n <= 1 ? 0u : static_cast<std::uint32_t>(std::bit_width(n - 1));
}

void HeapAreasInit(HeapAreas& heap) {
  heap = HeapAreas{};
  heap.trimThreshold = kTrimThresholdPages;
  heap.small.reservedUnits = kSmallAreaUnits;
  heap.large.reservedUnits = kLargeAreaUnits;
  heap.hole.reservedUnits = kHoleAreaUnits;

  heap.hole.base = static_cast<std::uint8_t*>(VirtualReserve(AreaBytes(heap.hole)));
  if (heap.hole.base == nullptr)
    FatalError("Virtual Memory Error : Not Enough Memory for Hole Area");

  heap.small.base = static_cast<std::uint8_t*>(VirtualReserve(AreaBytes(heap.small)));
  if (heap.small.base == nullptr)
    FatalError("Virtual Memory Error : Not Enough Memory for Small Area");

  // 1024, 896, 768, 640, then 512 MB.
  for (std::uint32_t eighths = 8; eighths >= 4 && heap.large.base == nullptr; --eighths) {
    heap.large.reservedUnits = kLargeAreaUnits / 8 * eighths;
    heap.large.base = static_cast<std::uint8_t*>(VirtualReserve(AreaBytes(heap.large)));
  }
  if (heap.large.base == nullptr)
    FatalError("Virtual Memory Error : Not Enough Memory for Large Area");

  heap.active = 1;
}

void HeapAreasRelease(HeapAreas& heap) {
  if (heap.active == 0) return;
  if (!VirtualDecommit(heap.hole.base, AreaBytes(heap.hole)))
    FatalError("Virtual Memory Error : Heap Block Liberation Failed");
  if (!VirtualDecommit(heap.small.base, AreaBytes(heap.small)))
    FatalError("Virtual Memory Error : Small Block Liberation Failed");
  if (!VirtualDecommit(heap.large.base, AreaBytes(heap.large)))
    FatalError("Virtual Memory Error : Large Block Liberation Failed");
  heap.active = 0;
}

void HeapAreasCommit(void* address, std::size_t bytes, HeapAreas& heap) {
  if (heap.committedPages >= heap.trimThreshold && heap.cachedPages > 0) HeapAreasTrimCache(heap);
  if (!VirtualCommit(address, bytes))
    FatalError("Virtual Memory Error : Block Commitment Failed");
  heap.committedPages += static_cast<std::int32_t>(bytes / kPageBytes);
}

void HeapAreasDecommit(void* address, std::size_t bytes, HeapAreas& heap) {
  if (!VirtualDecommit(address, bytes))
    FatalError("Virtual Memory Error : Block DeCommitment Failed");
  heap.committedPages -= static_cast<std::int32_t>(bytes / kPageBytes);
}

void HeapAreasTrimCache(HeapAreas& heap) {
  for (std::uint32_t k = kSizeClassCount; k-- > kTrimLowestClass;) {
    for (FreeBlockNode* node = heap.sizeClassLists[k].head; node != nullptr; node = node->next) {
      const std::uint32_t p = node->committedPages;
      if (p == 0) continue;
      if (!VirtualDecommit(node->base, std::size_t{p} * kPageBytes))
        FatalError("Virtual Memory Error : Block DeCommitment Failed");
      heap.committedPages -= static_cast<std::int32_t>(p);
      heap.cachedPages -= static_cast<std::int32_t>(p);
      node->committedPages = 0;
    }
  }
}

std::uint8_t* HeapAreasSmallAlloc(std::uint32_t size, HeapAreas& heap) {
  // Vectorised code faults on misaligned data: every carve starts on min(size, 16) bytes.
  const std::uint32_t align = size < 16 ? std::bit_ceil(size == 0 ? 1u : size) : 16u;
  return CarveCommitted(heap, heap.small, size, align, AreaBytes(heap.small),
                        "Virtual Memory Error : Not Enough Memory for Small Area");
}

std::uint8_t* HeapAreasLargeAlloc(std::uint64_t size, HeapAreas& heap) {
  if (std::uint64_t{heap.large.usedBytes} + size > AreaBytes(heap.large))
    FatalError("Virtual Memory Error : Large Area is Full");
  std::uint8_t* p = heap.large.base + heap.large.usedBytes;
  heap.large.usedBytes += static_cast<std::uint32_t>(size);
  return p;
}

FreeBlockNode* HeapAreasNodeAlloc(HeapAreas& heap) {
  if (FreeBlockNode* node = heap.freeNodes) {
    heap.freeNodes = node->next;
    return node;
  }
  return reinterpret_cast<FreeBlockNode*>(
      CarveCommitted(heap, heap.hole, kHoleNodeBytes, alignof(FreeBlockNode), kHoleCapacityBytes,
                     "Virtual Memory Error : Not Enough Memory for Hole Area"));
}

void HeapAreasPushFree(std::uint8_t* base, std::uint32_t k, std::uint32_t committedPages,
                       HeapAreas& heap) {
  if (base == nullptr) return;
  FreeBlockNode* node = HeapAreasNodeAlloc(heap);
  node->next = nullptr;
  node->base = base;
  node->committedPages = committedPages;
  SizeClassList& list = heap.sizeClassLists[k];
  if (list.tail == nullptr) {
    list.head = node;
  } else {
    list.tail->next = node;
  }
  list.tail = node;
  heap.cachedPages += static_cast<std::int32_t>(committedPages);
}

std::uint8_t* HeapAreasAllocBlock(std::uint32_t k, std::uint32_t* committedPages, HeapAreas& heap) {
  SizeClassList& list = heap.sizeClassLists[k];
  if (FreeBlockNode* node = list.head) {
    list.head = node->next;
    if (list.head == nullptr) list.tail = nullptr;
    std::uint8_t* base = node->base;
    *committedPages = node->committedPages;
    heap.cachedPages -= static_cast<std::int32_t>(node->committedPages);
    node->next = heap.freeNodes;
    heap.freeNodes = node;
    return base;
  }
  if (k < kSmallClassLimit) {
    *committedPages = 1;
    return HeapAreasSmallAlloc(1u << k, heap);
  }
  *committedPages = 0;
  return HeapAreasLargeAlloc(std::uint64_t{1} << k, heap);
}

std::uint32_t HeapAreasCommittedBytes(const HeapAreas& heap) {
  return static_cast<std::uint32_t>(heap.committedPages) * kPageBytes;
}

std::uint32_t HeapAreasBytesInUse(const HeapAreas& heap) {
  if (heap.cachedPages > heap.committedPages) return 0;
  return static_cast<std::uint32_t>(heap.committedPages - heap.cachedPages) * kPageBytes;
}

}  // namespace veskor
