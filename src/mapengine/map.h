// Map: the single-channel float raster of the map engine, 2^w by 2^h texels row after row.
// Taken from MapPool by the fx executors, or embedded in other records (skin work maps).
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

namespace veskor {

struct Map {
  MemBlock block;            // holds the texels
  float* data;               // the block's base; null while the record holds nothing
  std::uint16_t log2Width;   // w
  std::uint16_t log2Height;  // h
};

// Zeroes the record: no block, no data, both sizes 0.
void MapInit(Map& map);

// Bytes of a raster of 2^w x 2^h floats; fatal when that does not fit a block.
std::uint32_t MapBytes(std::uint32_t w, std::uint32_t h);

}  // namespace veskor
