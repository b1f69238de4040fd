// PatchBorderList: the edges that terrain patches leave for their neighbours while the render
// preparation shades them one after the other. A patch whose neighbour comes later stores its
// edge (CopyPatchBorder...); the neighbour, when its turn comes, overwrites its own edge from
// the stored one (StitchPatch...), so both meet exactly, or the finer one follows the coarser
// one's edge linearly. Each operation works on the six channel grids 0 to 5 of a patch's first
// skin grid set. The render preparation owns one list per preparation (its scratch block).
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

// The sides of an entry, in the order of its references.
enum : std::uint32_t {
  kPatchRowN = 0,  // last row
  kPatchRow0 = 1,  // first row
  kPatchCol0 = 2,  // first column
  kPatchColN = 3,  // last column
  kPatchSides = 4,
};
inline constexpr std::uint32_t kPatchChannels = 6;

// One item's stored sides: where each starts in the pool (in floats), the log2 sizes of the
// grids they came from, and which sides were stored (bit per side).
struct PatchBorderEntry {
  std::uint32_t side[kPatchSides];
  std::uint16_t log2Width;
  std::uint16_t log2Height;
  std::uint32_t stored;
};

struct PatchBorderList {
  MemBlock block;  // the entries, then the pool
  PatchBorderEntry* entries;
  std::uint32_t entryCount;
  float* pool;
  std::uint32_t used;      // floats of the pool handed out
  std::uint32_t capacity;  // floats the pool holds
};

// Floats the four sides of a patch of log2 sizes (w, h) take in the pool.
std::uint32_t PatchBorderFloats(std::uint32_t w, std::uint32_t h);

// An empty list without a block.
void PatchBorderListInit(PatchBorderList& list);
// Room for `entries` zeroed entries (nothing stored) and a pool of `poolFloats` floats, empty.
void PatchBorderListReserve(PatchBorderList& list, std::uint32_t entries, std::uint32_t poolFloats);
// Gives the block back; the list is empty.
void PatchBorderListRelease(PatchBorderList& list);

// Store one edge of the six grids (`grids[0]` gives the log2 sizes) in entry i, the patch's own
// index. A store that would pass the pool, an entry outside the list, or grids without data or
// of differing sizes are refused with a log line and store nothing. Each returns 1 when stored.
std::uint32_t CopyPatchBorderCol0(PatchBorderList& list, std::uint32_t i, VertexGrid* const* grids);
std::uint32_t CopyPatchBorderColN(PatchBorderList& list, std::uint32_t i, VertexGrid* const* grids);
std::uint32_t CopyPatchBorderRow0(PatchBorderList& list, std::uint32_t i, VertexGrid* const* grids);
std::uint32_t CopyPatchBorderRowN(PatchBorderList& list, std::uint32_t i, VertexGrid* const* grids);

// Overwrite one edge of the six grids from the opposite side that neighbour i stored: the first
// column from its last column, the last column from its first, the first row from its last
// row, the last row from its first. A side the neighbour did not store (a neighbour that was
// never shaded) leaves the edge as it is. Each returns 1 when the edge was written.
std::uint32_t StitchPatchCol0(const PatchBorderList& list, std::uint32_t i,
                              VertexGrid* const* grids);
std::uint32_t StitchPatchColN(const PatchBorderList& list, std::uint32_t i,
                              VertexGrid* const* grids);
std::uint32_t StitchPatchRow0(const PatchBorderList& list, std::uint32_t i,
                              VertexGrid* const* grids);
std::uint32_t StitchPatchRowN(const PatchBorderList& list, std::uint32_t i,
                              VertexGrid* const* grids);

}  // namespace veskor
