// VertexLine: the one-dimensional companion of VertexGrid, 2^n + 1 float values along x with an
// optional array of running sums. Holds the 1-D noise lattice and the 1-D noise table.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

namespace veskor {

struct VertexLine {
  MemBlock block;          // values first, then the running sums when there are any
  float* data;             // 2^n + 1 values; null while empty
  float* sums;             // 2^n + 1 running sums, or null
  std::uint16_t log2Size;  // n
  float halfStep;          // 0.5 / 2^n
  float scaleX, scaleValue;    // 1.0 after init
  float offsetX, offsetValue;  // 0.0 after init
};

// Zeroes the descriptor, the data pointer and the size; scales 1.0, offsets 0.0. The sums
// pointer and the half step are left as they are (the records are static and start at zero).
void VertexLineInit(VertexLine& line);

// Gives the line 2^n + 1 values in a block with room for as many running sums. A line that
// already holds values of log2 size n keeps them, with its sums, scales and offsets; otherwise
// its old block is parked, the values are taken from a fresh one, the sums pointer cleared and
// half step, scales and offsets set as after init.
void VertexLineAlloc(VertexLine& line, std::uint16_t n);

// Parks the block (while the memory manager is active) and zeroes its descriptor; in every
// case clears both pointers.
void VertexLineRelease(VertexLine& line);

}  // namespace veskor
