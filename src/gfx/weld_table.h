// The seam weld table: a hash table of the border vertices of batched items with tolerant
// matching, kept in the geometry batch buffer. The surface position pass registers border
// vertices in it and gives every later vertex that matches an entry that entry's position, so
// the pieces of a seam meet exactly.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "foundation/vm_array.h"

namespace veskor {

struct ItemDrawRecord;

// A border vertex: its position, two parameters along the border and the item that
// registered it (null for items that weld across items).
struct WeldKey {
  float x, y, z;
  float ks, kt;
  const ItemDrawRecord* owner;
};

struct WeldEntry {
  WeldKey key;
  WeldEntry* next;     // the next entry of the same bucket
  std::uint32_t zero;  // always 0
};

inline constexpr std::uint32_t kWeldBucketCount = 1024;  // the hash's mask is fixed to it
// The entries one preparation holds in the first entry block. Beyond them the table takes
// further blocks, each twice the size of the one before, so a large world never runs out
// while entries keep their addresses: a preparation adds at most one entry per batched vertex.
inline constexpr std::uint32_t kWeldEntryCapacity = 65536;
inline constexpr std::uint32_t kWeldOverflowBlocks = 4;

// `table` comes first: its buckets name it as their owner, and the entry takes reach the
// whole WeldTable through that address.
struct WeldTable {
  BucketTable table;  // the entry pool (first block), 1024 buckets, and a word of the table's
  MemBlock overflow[kWeldOverflowBlocks];
  std::uint32_t overflowInUse;  // overflow blocks in use; entries come from the last of them
};

// The position tolerance of a match; 32.0 while the position pass runs.
extern float WeldTolerance;

// Empty: an entry pool of WeldEntry elements, no blocks.
void WeldTableInit(WeldTable& table);
// Once (later calls do nothing): 1024 buckets and the first entry block.
void WeldTableSize(WeldTable& table);
std::uint32_t WeldKeyHash(const WeldKey& key);
// 1 when the keys do not match: parameters more than 0.001 apart or positions more than
// WeldTolerance apart on an axis; the owner is not compared.
std::uint32_t WeldKeyDiffers(const WeldKey& a, const WeldKey& b);
// The first matching entry of the key's bucket, then of the bucket before, then of the one
// after (wrapping); 1 and the entry, else 0 and null. A key with an owner passes over the
// entries of other owners; one without an owner matches any entry.
std::uint32_t WeldTableFind(WeldTable& table, const WeldKey& key, std::uint32_t* bucket,
                            WeldEntry** entry);
void WeldTableInsert(WeldTable& table, const WeldKey& key, std::uint32_t* bucket,
                     WeldEntry** entry);
void WeldBucketPushFront(BucketRecord& bucket, const WeldKey& key);
// Drops every entry at once; the next insert reuses the start of the first entry block.
void WeldTableReset(WeldTable& table);
void WeldTableRelease(WeldTable& table);

}  // namespace veskor
