#include "environment/puff_list.h"

namespace veskor {

void PuffListInit(PuffList& list) {
  list = PuffList{};
  list.nodeSize = sizeof(PuffListNode);
}

void PuffListReserve(PuffList& list, std::uint32_t nodes) {
  MemBlockReserve(list.nodeBlock, nodes * list.nodeSize);
  PuffListReset(list);
}

void PuffListReset(PuffList& list) {
  list.nodeBlock.usedBytes = 0;
  list.freeList = nullptr;
  list.head = nullptr;
  list.tail = nullptr;
  list.count = 0;
}

void PuffListRelease(PuffList& list) {
  MemBlockRelease(list.nodeBlock);
  list.nodeBlock = MemBlock{};
  PuffListReset(list);
}

}  // namespace veskor
