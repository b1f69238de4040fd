#include "mapengine/noise_tables.h"

#include "foundation/mem_block.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

constexpr std::uint32_t kCells = kNoiseLatticeCells;  // one period
constexpr std::uint32_t kRow = kNoiseLatticeRow;
constexpr float kStep = 1.0f / static_cast<float>(kCells);  // one cell in input units

}  // namespace

void BuildNoiseTable1D(NoiseGenerator1D& g) {
  VertexLine& table = g.table;
  VertexLineAlloc(table, kNoiseLatticeLog2);
  float* t = table.data;
  // Cell centres k + 0.5; every step is a multiple of 1/128, so the sum stays exact.
  float u = kStep * 0.5f;
  for (std::uint32_t k = 0; k < kCells; ++k, u += kStep) t[k] = NoiseValue1D(u);
  t[kCells] = t[0];
  if (table.sums == nullptr) {
    table.sums = static_cast<float*>(MemBlockAppend(table.block, 4u * kRow));
    gKernelTable.MapPrefixSum(kNoiseLatticeLog2, t, table.sums);
  }
  table.scaleX = kStep;
  table.offsetX = 0.0f;
  g.scaleX = kStep;
  g.scaleValue = 1.0f;
  g.offsetX = g.offsetValue = 0.0f;
}

void BuildNoiseTable2D(NoiseGenerator2D& g) {
  VertexGrid& table = g.table;
  VertexGridAlloc(table, kNoiseLatticeLog2, kNoiseLatticeLog2);
  float* values = table.data;
  float v = kStep * 0.5f;
  for (std::uint32_t j = 0; j < kCells; ++j, v += kStep) {
    float* row = values + kRow * j;
    float u = kStep * 0.5f;
    for (std::uint32_t i = 0; i < kCells; ++i, u += kStep) row[i] = NoiseValue2D(u, v);
    row[kCells] = row[0];
  }
  float* last = values + kRow * kCells;
  for (std::uint32_t i = 0; i < kRow; ++i) last[i] = values[i];
  VertexGridSummedArea(table);
  table.offsetX = table.offsetZ = 0.0f;
  table.scaleX = table.scaleZ = kStep;
  g.scaleX = g.scaleY = kStep;
  g.scaleValue = 1.0f;
  g.offsetX = g.offsetY = g.offsetValue = 0.0f;
}

void VertexGridSummedArea(VertexGrid& grid) {
  if (grid.companion[0] != nullptr) return;
  VertexGridTakeCompanion(grid, 0);
  gKernelTable.GridSummedArea(static_cast<std::uint8_t>(grid.log2Width),
                              static_cast<std::uint8_t>(grid.log2Height), grid.data,
                              grid.companion[0]);
}

void BuildNoiseVolume3D(NoiseGenerator3D& g) {
  VertexVolume& volume = g.volume;
  VertexVolumeAlloc(volume, kNoiseLatticeLog2, kNoiseLatticeLog2, kNoiseLatticeLog2);
  float* values = volume.data;
  constexpr std::uint32_t kPlane = kRow * kRow;
  float w = kStep * 0.5f;
  for (std::uint32_t z = 0; z < kCells; ++z, w += kStep) {
    float* plane = values + kPlane * z;
    float v = kStep * 0.5f;
    for (std::uint32_t y = 0; y < kCells; ++y, v += kStep) {
      float* row = plane + kRow * y;
      float u = kStep * 0.5f;
      for (std::uint32_t x = 0; x < kCells; ++x, u += kStep) row[x] = NoiseValue3D(u, v, w);
      row[kCells] = row[0];
    }
    float* lastRow = plane + kRow * kCells;
    for (std::uint32_t x = 0; x < kRow; ++x) lastRow[x] = plane[x];
  }
  float* lastPlane = values + kPlane * kCells;
  for (std::uint32_t i = 0; i < kPlane; ++i) lastPlane[i] = values[i];
  if (volume.sums == nullptr) {
    volume.sums = static_cast<float*>(MemBlockAppend(volume.block, 4u * GridVolumeSize(volume)));
    gKernelTable.VolumeSummedTable(kNoiseLatticeLog2, kNoiseLatticeLog2, kNoiseLatticeLog2,
                                   values, volume.sums);
  }
  volume.offsetX = volume.offsetY = volume.offsetZ = 0.0f;
  volume.scaleX = volume.scaleY = volume.scaleZ = kStep;
  g.scaleX = g.scaleY = g.scaleZ = kStep;
  g.scaleValue = 1.0f;
  g.offsetX = g.offsetY = g.offsetZ = g.offsetValue = 0.0f;
}

}  // namespace veskor
