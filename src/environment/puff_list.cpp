#include "environment/puff_list.h"

namespace veskor {

namespace {

PuffListNode* TakeNode(PuffList& list, std::uint16_t puffIndex, std::uint16_t slice, float depth,
                       float sortKey) {
  PuffListNode* node = list.freeList;
  if (node != nullptr)
    list.freeList = node->next;
  else
    node = static_cast<PuffListNode*>(MemBlockAppend(list.nodeBlock, list.nodeSize));
  *node = PuffListNode{puffIndex, slice, depth, sortKey, nullptr, nullptr};
  ++list.count;
  return node;
}

}  // namespace

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

PuffListNode* PuffListAppend(PuffList& list, std::uint16_t puffIndex, std::uint16_t slice,
                             float depth, float sortKey) {
  PuffListNode* node = TakeNode(list, puffIndex, slice, depth, sortKey);
  node->previous = list.tail;
  if (list.tail != nullptr)
    list.tail->next = node;
  else
    list.head = node;
  list.tail = node;
  return node;
}

PuffListNode* PuffListInsertBefore(PuffList& list, PuffListNode* position, std::uint16_t puffIndex,
                                   std::uint16_t slice, float depth, float sortKey) {
  if (position == nullptr) return PuffListAppend(list, puffIndex, slice, depth, sortKey);
  PuffListNode* node = TakeNode(list, puffIndex, slice, depth, sortKey);
  node->next = position;
  node->previous = position->previous;
  if (position->previous != nullptr)
    position->previous->next = node;
  else
    list.head = node;
  position->previous = node;
  return node;
}

}  // namespace veskor
