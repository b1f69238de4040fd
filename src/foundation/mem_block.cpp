#include "foundation/mem_block.h"

#include <cstdio>

#include "foundation/fatal_error.h"
#include "foundation/heap_areas.h"

namespace veskor {

namespace {

std::uint64_t BlockBytes(const MemBlock& block) { return std::uint64_t{1} << block.sizeClass; }

// Commits the pages the block needs to hold `end` bytes from its base.
void GrowTo(MemBlock& block, std::uint64_t end) {
  const std::uint64_t committedBytes = std::uint64_t{block.committedPages} * kPageBytes;
  if (end <= committedBytes) return;
  const std::uint64_t p = (end - committedBytes + kPageBytes - 1) / kPageBytes;
  HeapAreasCommit(block.base + committedBytes, p * kPageBytes);
  block.committedPages += static_cast<std::uint32_t>(p);
}

}  // namespace

void MemBlockInit(MemBlock& block) { block = MemBlock{}; }

void MemBlockReserve(MemBlock& block, std::uint32_t n) {
  if (n == 0) return;
  const std::uint32_t k = SizeClassOf(n);
  if (block.base != nullptr) {
    if (block.sizeClass == k) return;
    MemBlockRelease(block);
    block = MemBlock{};  // also when the manager is no longer active: the old block is dropped
  }
  block.requiredPages = static_cast<std::uint32_t>((std::uint64_t{n} + kPageBytes - 1) / kPageBytes);
  block.sizeClass = k;
  block.base = HeapAreasAllocBlock(k, &block.committedPages);
  if (block.committedPages > block.requiredPages) {
    const std::uint32_t extra = block.committedPages - block.requiredPages;
    HeapAreasDecommit(block.base + std::uint64_t{block.requiredPages} * kPageBytes,
                      std::uint64_t{extra} * kPageBytes);
    block.committedPages = block.requiredPages;
  }
  block.usedBytes = 0;
}

void* MemBlockAppend(MemBlock& block, std::uint32_t n) {
  const std::uint64_t end = std::uint64_t{block.usedBytes} + n;
  if (end > BlockBytes(block)) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "Virtual Memory Error : Required Memory > Reserved Memory (%u+%u>(1<<%u))",
                  block.usedBytes, n, block.sizeClass);
    FatalError(text);
  }
  GrowTo(block, end);
  void* p = block.base + block.usedBytes;
  block.usedBytes = static_cast<std::uint32_t>(end);
  return p;
}

void* MemBlockAppendFit(MemBlock& block, std::uint32_t n) {
  const std::uint64_t end = std::uint64_t{block.usedBytes} + n;
  if (end > BlockBytes(block)) FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  GrowTo(block, end);
  // A Small-area block shares its page with its neighbours: it keeps the page whatever its end.
  if (block.sizeClass >= kSmallClassLimit) {
    const std::uint64_t committedBytes = std::uint64_t{block.committedPages} * kPageBytes;
    const std::uint64_t e = (committedBytes - end) / kPageBytes;
    if (e > 0) {
      HeapAreasDecommit(block.base + committedBytes - e * kPageBytes, e * kPageBytes);
      block.committedPages -= static_cast<std::uint32_t>(e);
    }
  }
  void* p = block.base + block.usedBytes;
  block.usedBytes = static_cast<std::uint32_t>(end);
  return p;
}

void MemBlockRelease(MemBlock& block) {
  if (!HeapActive()) return;
  HeapAreasPushFree(block.base, block.sizeClass, block.committedPages);
  block = MemBlock{};
}

}  // namespace veskor
