#include "mapengine/vertex_grid.h"

#include "foundation/fatal_error.h"
#include "foundation/heap_areas.h"

namespace veskor {

namespace {

std::uint64_t ValueCount(std::uint32_t w, std::uint32_t h, std::uint32_t extra) {
  return ((std::uint64_t{1} << w) + extra) * ((std::uint64_t{1} << h) + extra);
}

std::uint32_t CheckedBytes(std::uint64_t values) {
  // Sizes whose bytes would wrap a 32-bit count would size a block smaller than the grid.
  if (values > (std::uint64_t{1} << 29))
    FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  return static_cast<std::uint32_t>(values * 4);
}

}  // namespace

std::uint32_t VertexGridValueBytes(std::uint32_t w, std::uint32_t h) {
  if (w > 30 || h > 30) CheckedBytes(~std::uint64_t{0});
  return CheckedBytes(ValueCount(w, h, 1));
}

std::uint32_t VertexGridReserveBytes(std::uint32_t w, std::uint32_t h) {
  if (w > 30 || h > 30) CheckedBytes(~std::uint64_t{0});
  return CheckedBytes(ValueCount(w, h, 1) + ValueCount(w, h, 2));
}

void VertexGridInit(VertexGrid& grid) {
  MemBlockInit(grid.block);
  grid.data = nullptr;
  grid.companion[0] = grid.companion[1] = nullptr;
  grid.log2Width = grid.log2Height = 0;
  grid.companionValid = 0;
  grid.scaleX = grid.scaleZ = grid.scaleValue = 1.0f;
  grid.offsetX = grid.offsetZ = grid.offsetValue = 0.0f;
  grid.flags = 0;
}

void VertexGridResetShape(VertexGrid& grid, std::uint16_t w, std::uint16_t h) {
  grid.log2Width = w;
  grid.log2Height = h;
  grid.halfStepX = 0.5f / static_cast<float>(std::uint64_t{1} << w);
  grid.halfStepZ = 0.5f / static_cast<float>(std::uint64_t{1} << h);
  grid.companion[0] = grid.companion[1] = nullptr;
  grid.companionValid = 0;
  grid.scaleX = grid.scaleZ = grid.scaleValue = 1.0f;
  grid.offsetX = grid.offsetZ = grid.offsetValue = 0.0f;
}

void VertexGridAlloc(VertexGrid& grid, std::uint16_t w, std::uint16_t h) {
  grid.flags = 0;
  if (grid.data != nullptr) {
    if (grid.log2Width == w && grid.log2Height == h) return;
    MemBlockRelease(grid.block);
  }
  const std::uint32_t reserve = VertexGridReserveBytes(w, h);
  const std::uint32_t values = VertexGridValueBytes(w, h);
  MemBlockReserve(grid.block, reserve);
  // After a release at exit the descriptor may still hold its block: the values then follow
  // the bytes already used.
  grid.data = static_cast<float*>(MemBlockAppendFit(grid.block, values));
  VertexGridResetShape(grid, w, h);
}

void VertexGridRelease(VertexGrid& grid) {
  if (HeapActive()) MemBlockRelease(grid.block);
  grid.data = nullptr;
  grid.companion[0] = grid.companion[1] = nullptr;
  grid.companionValid = 0;
  grid.flags = 0;
}

float* VertexGridTakeCompanion(VertexGrid& grid, std::uint32_t k) {
  float*& taken = grid.companion[k];
  float*& other = grid.companion[1 - k];
  if (taken != nullptr) return taken;
  if (other != nullptr) {
    taken = other;
    other = nullptr;
  } else {
    const std::uint32_t bytes = CheckedBytes(ValueCount(grid.log2Width, grid.log2Height, 2));
    taken = static_cast<float*>(MemBlockAppendFit(grid.block, bytes));
  }
  return taken;
}

}  // namespace veskor
