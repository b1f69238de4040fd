#include "foundation/block_pool.h"

#include <cassert>

namespace veskor {

void BlockPoolInit(BlockPool& pool, std::uint32_t elementSize) {
  assert(elementSize >= sizeof(BlockPoolNode));
  pool = BlockPool{};
  pool.elementSize = elementSize;
}

BlockPoolNode* BlockPoolTake(BlockPool& pool) {
  BlockPoolNode* element = pool.freeList;
  if (element != nullptr) {
    pool.freeList = element->next;
  } else {
    element = static_cast<BlockPoolNode*>(MemBlockAppend(pool.block, pool.elementSize));
  }
  element->next = nullptr;
  element->previous = pool.last;
  if (pool.last == nullptr) {
    pool.first = element;
  } else {
    pool.last->next = element;
  }
  pool.last = element;
  ++pool.count;
  return element;
}

namespace {

void Unlink(BlockPool& pool, BlockPoolNode* element) {
  if (element->previous != nullptr) {
    element->previous->next = element->next;
  } else {
    pool.first = element->next;
  }
  if (element->next != nullptr) {
    element->next->previous = element->previous;
  } else {
    pool.last = element->previous;
  }
}

}  // namespace

void BlockPoolMoveAfter(BlockPool& pool, BlockPoolNode* element, BlockPoolNode* after) {
  Unlink(pool, element);
  element->previous = after;
  element->next = after != nullptr ? after->next : pool.first;
  if (element->next != nullptr) {
    element->next->previous = element;
  } else {
    pool.last = element;
  }
  if (after != nullptr) {
    after->next = element;
  } else {
    pool.first = element;
  }
}

void BlockPoolGiveBack(BlockPool& pool, BlockPoolNode* element) {
  Unlink(pool, element);
  element->next = pool.freeList;
  pool.freeList = element;
  --pool.count;
}

void BlockPoolRelease(BlockPool& pool) {
  MemBlockRelease(pool.block);
  // The carved elements went with the block: the free list and last must not point into it.
  pool.freeList = nullptr;
  pool.first = nullptr;
  pool.last = nullptr;
  pool.count = 0;
}

}  // namespace veskor
