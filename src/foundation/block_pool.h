// BlockPool: fixed-size elements on one MemBlock, with a free list for reuse and a doubly
// linked list of the elements in use. Elements never move.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

namespace veskor {

// Every element type of a BlockPool starts with these links. While an element is free, its
// next field is the free-list link and its other fields keep what they held.
struct BlockPoolNode {
  BlockPoolNode* next;
  BlockPoolNode* previous;
};

struct BlockPool {
  MemBlock block;
  std::uint32_t elementSize;
  BlockPoolNode* freeList;
  BlockPoolNode* first;
  BlockPoolNode* last;
  std::uint32_t count;  // elements in use
};

// Empties the pool for elements of `elementSize` bytes (at least sizeof(BlockPoolNode)). The
// owner reserves the block (MemBlockReserve) before the first take.
void BlockPoolInit(BlockPool& pool, std::uint32_t elementSize);

template <class Element>
void BlockPoolInitFor(BlockPool& pool) {
  static_assert(sizeof(Element) >= sizeof(BlockPoolNode));
  BlockPoolInit(pool, sizeof(Element));
}

// Reuses a free element or carves a new one, and links it last. Its other fields are the
// caller's to set.
BlockPoolNode* BlockPoolTake(BlockPool& pool);
void BlockPoolGiveBack(BlockPool& pool, BlockPoolNode* element);
// Moves an element in use to just after `after` (another element in use), or to the front of
// the list when `after` is null.
void BlockPoolMoveAfter(BlockPool& pool, BlockPoolNode* element, BlockPoolNode* after);
// Releases the block and leaves the pool empty.
void BlockPoolRelease(BlockPool& pool);

}  // namespace veskor
