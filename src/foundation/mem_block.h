// MemBlock: one power-of-two block of address space owned by its holder. The block never
// moves; its pages are committed as the holder's data grows. Every array and pool of the
// program holds its memory through one.
#pragma once

#include <cstdint>

namespace veskor {

struct MemBlock {
  std::uint8_t* base;            // null while the descriptor holds no block
  std::uint32_t usedBytes;       // handed out by the appends
  std::uint32_t sizeClass;       // the block spans 2^sizeClass bytes
  std::uint32_t committedPages;  // from the base; a Small-area block counts 1
  std::uint32_t requiredPages;   // ceil(n / 4096) for the reserve that gave the block
};

void MemBlockInit(MemBlock& block);

// Gives the descriptor a block of class ceil(log2 n). A block already of that class stays as it
// is, used bytes included; a block of another class is parked first. n = 0 changes nothing.
void MemBlockReserve(MemBlock& block, std::uint32_t n);

// Hands out n more bytes, committing pages as needed; returns base + used bytes before the
// call. Passing the block's 2^k bytes is fatal.
void* MemBlockAppend(MemBlock& block, std::uint32_t n);

// As MemBlockAppend, then leaves exactly the pages the new end needs committed.
void* MemBlockAppendFit(MemBlock& block, std::uint32_t n);

// Parks the block on the list of its class and zeroes the descriptor. After the manager's
// exit release it does nothing at all.
void MemBlockRelease(MemBlock& block);

}  // namespace veskor
