// VertexGrid: a float grid of (2^w+1) x (2^h+1) values (the vertex layout) with the scales and
// offsets that place it in the world. Its block is reserved for the values and for the
// cell-centre companion ((2^w+2) x (2^h+2) values, the cell layout) together, so the companion
// can follow the values in the same block when the grid kernels build it. Taken from
// VertexGridPool by the fx executors, or embedded in noise tables and height fields.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

namespace veskor {

struct VertexGrid {
  MemBlock block;             // reserved for values and companion; used bytes cover the values
  float* data;                // (2^h + 1) rows of (2^w + 1) values; null while empty
  float* companion[2];        // the cell-centre companion, null until its builder sets them
  std::uint16_t log2Width;    // w
  std::uint16_t log2Height;   // h
  float halfStepX;            // 0.5 / 2^w
  float halfStepZ;            // 0.5 / 2^h
  std::uint32_t companionValid;  // 0 until the companion holds a current copy
  float scaleX, scaleZ, scaleValue;     // 1.0 after every (re)allocation
  float offsetX, offsetZ, offsetValue;  // 0.0 likewise
  std::uint32_t flags;        // cleared by every allocation and release; set by users
};

// Accessors the geometry and skin code use in their inner loops.
inline float* VertexGridData(const VertexGrid& grid) { return grid.data; }
inline float* VertexGridCompanion(const VertexGrid& grid) { return grid.companion[0]; }
inline float* VertexGridCompanion2(const VertexGrid& grid) { return grid.companion[1]; }
inline std::uint16_t VertexGridLog2Width(const VertexGrid& grid) { return grid.log2Width; }
inline std::uint16_t VertexGridLog2Height(const VertexGrid& grid) { return grid.log2Height; }
inline std::uint32_t VertexGridSideX(const VertexGrid& grid) {
  return (std::uint32_t{1} << grid.log2Width) + 1;
}
inline std::uint32_t VertexGridSideY(const VertexGrid& grid) {
  return (std::uint32_t{1} << grid.log2Height) + 1;
}
// Index of sample (x, y): rows are 2^w + 1 values long.
inline std::uint32_t VertexGridIndex(const VertexGrid& grid, std::uint32_t x, std::uint32_t y) {
  return (y << grid.log2Width) + x + y;
}
inline float* VertexGridCell(const VertexGrid& grid, std::uint32_t x, std::uint32_t y) {
  return grid.data + VertexGridIndex(grid, x, y);
}

// Bytes of the values of a grid of log2 sizes w, h, and of the values and companion together;
// fatal when they do not fit a block.
std::uint32_t VertexGridValueBytes(std::uint32_t w, std::uint32_t h);
std::uint32_t VertexGridReserveBytes(std::uint32_t w, std::uint32_t h);

// Zeroes block, data, companion pointers, sizes, valid flag and flag word; scales 1.0, offsets
// 0.0. The half-cell steps are left as they are.
void VertexGridInit(VertexGrid& grid);

// Sizes the grid to (2^w+1) x (2^h+1) values. The flag word is cleared first; a grid that
// already holds data of these sizes keeps its values, scales, offsets and companion; otherwise
// its old block is parked, a block for values and companion reserved, the values' bytes taken,
// and half-cell steps, companion, scales and offsets reset.
void VertexGridAlloc(VertexGrid& grid, std::uint16_t w, std::uint16_t h);

// Parks the block (while the memory manager is active) and zeroes its descriptor; in every
// case clears data, companion pointers, valid flag and flag word.
void VertexGridRelease(VertexGrid& grid);

// The storage of the grid's cell-layout companion ((2^w+2) x (2^h+2) values) in companion
// pointer k (0 or 1): the storage it holds, else the other pointer's, which moves to it, else
// room after the values in the grid's block (reserved for both). Its values are the caller's.
float* VertexGridTakeCompanion(VertexGrid& grid, std::uint32_t k);

// Sets sizes, half-cell steps, scales, offsets and companion of a grid that has just taken the
// bytes of its values. Shared by VertexGridAlloc and the pool.
void VertexGridResetShape(VertexGrid& grid, std::uint16_t w, std::uint16_t h);

}  // namespace veskor
