// StaticPool: fixed-size elements carved one after the other from one MemBlock, handed out
// one at a time and given back only all together when the pool is released.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

namespace veskor {

struct StaticPool {
  MemBlock block;
  std::uint32_t elementSize;  // at least 4 bytes
  void* freeList;             // a free element's first word links to the next free one
};

// Fatal "Virtual Memory Error : Static Size < 4 bytes" for smaller elements. The owner
// reserves the block (MemBlockReserve) before the first take.
void StaticPoolInit(StaticPool& pool, std::uint32_t elementSize);
void* StaticPoolTake(StaticPool& pool);
void StaticPoolRelease(StaticPool& pool);

}  // namespace veskor
