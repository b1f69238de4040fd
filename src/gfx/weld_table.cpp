#include "gfx/weld_table.h"

#include <cmath>
#include <initializer_list>

#include "foundation/static_pool.h"

namespace veskor {

float WeldTolerance = 32.0f;

namespace {

constexpr std::uint32_t kEntryBytes = sizeof(WeldEntry);

BucketRecord* Buckets(WeldTable& table) { return VmArrayData<BucketRecord>(table.table.buckets); }

bool HasRoom(const MemBlock& block) {
  return block.base != nullptr &&
         std::uint64_t{block.usedBytes} + kEntryBytes <= (std::uint64_t{1} << block.sizeClass);
}

// The next entry: from the first block while it has room, then from the overflow blocks.
WeldEntry* TakeEntry(WeldTable& table) {
  StaticPool& pool = table.table.entries;
  if (pool.freeList != nullptr || HasRoom(pool.block))
    return static_cast<WeldEntry*>(StaticPoolTake(pool));
  if (table.overflowInUse == 0 || !HasRoom(table.overflow[table.overflowInUse - 1])) {
    // A full last block falls through to MemBlockAppend, which reports the overflow.
    if (table.overflowInUse < kWeldOverflowBlocks) {
      MemBlock& next = table.overflow[table.overflowInUse++];
      MemBlockReserve(next, kEntryBytes * (kWeldEntryCapacity << table.overflowInUse));
      next.usedBytes = 0;
    }
  }
  return static_cast<WeldEntry*>(
      MemBlockAppend(table.overflow[table.overflowInUse - 1], kEntryBytes));
}

bool Apart(float a, float b, double bound) { return std::fabs(double{a} - b) > bound; }

}  // namespace

void WeldTableInit(WeldTable& table) {
  table = WeldTable{};
  StaticPoolInit(table.table.entries, kEntryBytes);
}

void WeldTableSize(WeldTable& table) {
  VmArrayAllocElements(table.table, kWeldBucketCount, kWeldEntryCapacity * kEntryBytes);
}

std::uint32_t WeldKeyHash(const WeldKey& key) {
  const long double h = std::fabs((static_cast<long double>(key.z) + key.y + key.x) * 0.1L +
                                  (static_cast<long double>(key.kt) + key.ks) * 64);
  // Truncated to a 32-bit integer; a value out of its range (or NaN) gives the integer
  // indefinite 0x80000000, bucket 0.
  if (!(h < 2147483648.0L)) return 0;
  return static_cast<std::uint32_t>(h) & (kWeldBucketCount - 1);
}

std::uint32_t WeldKeyDiffers(const WeldKey& a, const WeldKey& b) {
  const double tolerance = WeldTolerance;
  if (Apart(a.ks, b.ks, 0.001f) || Apart(a.kt, b.kt, 0.001f)) return 1;
  if (Apart(a.x, b.x, tolerance) || Apart(a.y, b.y, tolerance) || Apart(a.z, b.z, tolerance))
    return 1;
  return 0;
}

std::uint32_t WeldTableFind(WeldTable& table, const WeldKey& key, std::uint32_t* bucket,
                            WeldEntry** entry) {
  const std::uint32_t h = WeldKeyHash(key);
  const std::uint32_t mask = kWeldBucketCount - 1;
  for (const std::uint32_t b : {h, (h + mask) & mask, (h + 1) & mask}) {
    for (auto* e = static_cast<WeldEntry*>(Buckets(table)[b].head); e != nullptr; e = e->next) {
      // An item's keys are in its own space, so every instance of a model has the same ones:
      // an owned key sees only its owner's entries. Keys without an owner see every entry.
      if (key.owner != nullptr && e->key.owner != key.owner) continue;
      if (WeldKeyDiffers(e->key, key) == 0) {
        *bucket = b;
        *entry = e;
        return 1;
      }
    }
  }
  *entry = nullptr;
  return 0;
}

void WeldTableInsert(WeldTable& table, const WeldKey& key, std::uint32_t* bucket,
                     WeldEntry** entry) {
  const std::uint32_t h = WeldKeyHash(key);
  BucketRecord& record = Buckets(table)[h];
  WeldBucketPushFront(record, key);
  *bucket = h;
  *entry = static_cast<WeldEntry*>(record.head);
}

void WeldBucketPushFront(BucketRecord& bucket, const WeldKey& key) {
  WeldEntry* e = TakeEntry(*static_cast<WeldTable*>(bucket.owner));
  e->key = key;
  e->next = static_cast<WeldEntry*>(bucket.head);
  e->zero = 0;
  ++bucket.count;
  bucket.head = e;
  if (bucket.tail == nullptr) bucket.tail = e;
}

void WeldTableReset(WeldTable& table) {
  table.table.entries.block.usedBytes = 0;
  table.table.entries.freeList = nullptr;
  for (MemBlock& block : table.overflow) block.usedBytes = 0;
  table.overflowInUse = 0;
  BucketRecord* buckets = Buckets(table);
  for (std::uint32_t b = 0; b < table.table.buckets.count; ++b)
    buckets[b].head = buckets[b].tail = nullptr, buckets[b].count = 0;
}

void WeldTableRelease(WeldTable& table) {
  VmArrayRelease(table.table.buckets);
  MemBlockRelease(table.table.entries.block);
  for (MemBlock& block : table.overflow) MemBlockRelease(block);
  table.overflowInUse = 0;
}

}  // namespace veskor
