// PuffList: the list of the visible low-cloud puff slices, sorted farthest first by the puff
// drawing. A doubly linked list whose nodes are taken from one reserved block (by bumping its
// used size, or from the nodes released since the last reset), so that a frame allocates
// nothing.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

namespace veskor {

struct PuffListNode {
  std::uint16_t puffIndex;  // into the layer's puffs
  std::uint16_t slice;      // within the puff's mesh level
  float depth;              // of the slice along the view direction
  float sortKey;            // distance of the slice from the camera along the line of sight
  PuffListNode* next;
  PuffListNode* previous;
};

struct PuffList {
  MemBlock nodeBlock;
  std::uint32_t nodeSize;  // bytes a node
  PuffListNode* freeList;
  PuffListNode* head;
  PuffListNode* tail;
  std::uint32_t count;
};

// The node reserve of the layer's list. Its first layout held 20-byte nodes in 245,760 bytes;
// the nodes now hold 64-bit pointers, so the reserve keeps the count of nodes.
inline constexpr std::uint32_t kPuffListNodes = 245760 / 20;  // 12,288

// An empty list that owns no block.
void PuffListInit(PuffList& list);
// Reserves the node block for `nodes` nodes; the list is empty afterwards.
void PuffListReserve(PuffList& list, std::uint32_t nodes);
// Empties the list: the block's used size, the free list, head, tail and count all 0; the
// block keeps its memory.
void PuffListReset(PuffList& list);
// Gives the node block back; the list is empty and owns no block.
void PuffListRelease(PuffList& list);

// The node operations. A node comes from the free list when it is not empty, else from the
// node block, whose reserve is never passed: growing beyond it is fatal ("Virtual Memory Error
// : Required Memory > Reserved Memory (used+node size>(1<<log2 reserve))").
// Appends (puffIndex, slice, depth, sortKey) at the tail and returns the node.
PuffListNode* PuffListAppend(PuffList& list, std::uint16_t puffIndex, std::uint16_t slice,
                             float depth, float sortKey);
// Inserts the node before `position` (a new head when `position` is the head); a null
// `position` appends, which in an empty list makes the only node.
PuffListNode* PuffListInsertBefore(PuffList& list, PuffListNode* position, std::uint16_t puffIndex,
                                   std::uint16_t slice, float depth, float sortKey);

}  // namespace veskor
