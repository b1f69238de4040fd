// VertexVolume: the three-dimensional companion of VertexGrid, (2^a+1)(2^b+1)(2^c+1) float
// values with an optional summed-volume array. Holds the 3-D noise table.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

namespace veskor {

struct VertexVolume {
  MemBlock block;  // values first, then the sums when there are any
  float* data;     // value (x, y, z) at GridVolumeIndex; null while empty
  float* sums;     // as many sums as values, or null
  std::uint16_t log2X, log2Y, log2Z;  // a, b, c
  float halfStepX, halfStepY, halfStepZ;  // 0.5 / 2^a, 0.5 / 2^b, 0.5 / 2^c
  float scaleX, scaleY, scaleZ, scaleValue;      // 1.0 after init
  float offsetX, offsetY, offsetZ, offsetValue;  // 0.0 after init
};

// Zeroes the descriptor, both pointers and the three sizes; scales 1.0, offsets 0.0. The half
// steps are left as they are.
void VertexVolumeInit(VertexVolume& volume);

// (2^a+1)(2^b+1)(2^c+1), summed as the eight powers 2^(a+b+c) + ... + 1.
std::uint32_t GridVolumeSize(const VertexVolume& volume);

// x + y (2^a+1) + z (2^a+1)(2^b+1).
std::uint32_t GridVolumeIndex(const VertexVolume& volume, std::int32_t x, std::uint32_t y,
                              std::uint32_t z);

// Gives the volume (2^a+1)(2^b+1)(2^c+1) values in a block with room for as many sums. A
// volume that already holds values of these sizes keeps them, with its sums, scales and
// offsets; otherwise its old block is parked, the values are taken from a fresh one, the sums
// pointer cleared and half steps, scales and offsets set as after init.
void VertexVolumeAlloc(VertexVolume& volume, std::uint16_t a, std::uint16_t b, std::uint16_t c);

}  // namespace veskor
