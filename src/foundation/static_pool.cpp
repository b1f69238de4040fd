#include "foundation/static_pool.h"

#include <cstring>

#include "foundation/fatal_error.h"

namespace veskor {

void StaticPoolInit(StaticPool& pool, std::uint32_t elementSize) {
  MemBlockInit(pool.block);
  pool.elementSize = elementSize;
  pool.freeList = nullptr;
  if (elementSize < 4) FatalError("Virtual Memory Error : Static Size < 4 bytes");
}

void* StaticPoolTake(StaticPool& pool) {
  if (void* element = pool.freeList) {
    std::memcpy(&pool.freeList, element, sizeof pool.freeList);
    return element;
  }
  return MemBlockAppend(pool.block, pool.elementSize);
}

void StaticPoolRelease(StaticPool& pool) { MemBlockRelease(pool.block); }

}  // namespace veskor
