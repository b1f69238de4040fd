// Helpers for the noise tests and benchmarks: straightforward references of the grid-layout and
// raster kernels that the noise tables and the 1-D fills call through the kernel table, and a
// scope that fills the program's table (with these references for entries no family fills
// yet) and puts it back afterwards.
#pragma once

#include <cstdint>

#include "mapengine/kernel_table.h"

namespace veskor::test {

// R[0] = 0, R[i] = R[i-1] + S[i-1] for i = 1..2^n, the running sum kept in long double.
inline void ReferencePrefixSum(std::uint8_t n, const float* s, float* r) {
  long double sum = 0;
  r[0] = 0.0f;
  for (std::uint32_t i = 1; i <= (1u << n); ++i) {
    sum += s[i - 1];
    r[i] = static_cast<float>(sum);
  }
}

// D[j][i] = the sum of S[j'][i'] over j' < j, i' < i, in the vertex layout.
inline void ReferenceSummedArea(std::uint8_t a, std::uint8_t b, const float* s, float* d) {
  const std::uint32_t row = (1u << a) + 1, rows = (1u << b) + 1;
  for (std::uint32_t i = 0; i < row; ++i) d[i] = 0.0f;
  for (std::uint32_t j = 1; j < rows; ++j) {
    d[row * j] = 0.0f;
    float running = 0.0f;
    for (std::uint32_t i = 1; i < row; ++i) {
      running += s[row * (j - 1) + i - 1];
      d[row * j + i] = running + d[row * (j - 1) + i];
    }
  }
}

// The same in three dimensions, by inclusion and exclusion of the seven earlier neighbours.
inline void ReferenceVolumeSummedTable(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                       const float* s, float* d) {
  const std::uint32_t nx = (1u << a) + 1, ny = (1u << b) + 1, nz = (1u << c) + 1;
  const auto at = [nx, ny](std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return x + nx * (y + ny * z);
  };
  for (std::uint32_t z = 0; z < nz; ++z)
    for (std::uint32_t y = 0; y < ny; ++y)
      for (std::uint32_t x = 0; x < nx; ++x) {
        if (x == 0 || y == 0 || z == 0) {
          d[at(x, y, z)] = 0.0f;
          continue;
        }
        d[at(x, y, z)] = d[at(x - 1, y, z)] + s[at(x - 1, y - 1, z - 1)] + d[at(x, y - 1, z)] -
                         d[at(x - 1, y - 1, z)] + d[at(x, y, z - 1)] - d[at(x - 1, y, z - 1)] -
                         d[at(x, y - 1, z - 1)] + d[at(x - 1, y - 1, z - 1)];
      }
}

// Cell centres of a vertex-layout grid with the border extrapolated half a cell outward.
inline void ReferenceCellCentres(std::uint8_t a, std::uint8_t b, const float* s, float* d) {
  const std::uint32_t w = 1u << a, h = 1u << b, sr = w + 1, dr = w + 2;
  const auto S = [s, sr](std::uint32_t j, std::uint32_t i) { return s[sr * j + i]; };
  for (std::uint32_t j = 0; j < h; ++j)
    for (std::uint32_t i = 0; i < w; ++i)
      d[dr * (j + 1) + i + 1] = 0.25f * (S(j, i) + S(j, i + 1) + S(j + 1, i) + S(j + 1, i + 1));
  for (std::uint32_t i = 0; i < w; ++i) {
    d[i + 1] = 0.75f * (S(0, i) + S(0, i + 1)) - 0.25f * (S(1, i) + S(1, i + 1));
    d[dr * (h + 1) + i + 1] =
        0.75f * (S(h, i) + S(h, i + 1)) - 0.25f * (S(h - 1, i) + S(h - 1, i + 1));
  }
  for (std::uint32_t j = 0; j < h; ++j) {
    d[dr * (j + 1)] = 0.75f * (S(j, 0) + S(j + 1, 0)) - 0.25f * (S(j, 1) + S(j + 1, 1));
    d[dr * (j + 1) + w + 1] =
        0.75f * (S(j, w) + S(j + 1, w)) - 0.25f * (S(j, w - 1) + S(j + 1, w - 1));
  }
  d[0] = 1.5f * S(0, 0) - 0.5f * S(1, 1);
  d[w + 1] = 1.5f * S(0, w) - 0.5f * S(1, w - 1);
  d[dr * (h + 1)] = 1.5f * S(h, 0) - 0.5f * S(h - 1, 1);
  d[dr * (h + 1) + w + 1] = 1.5f * S(h, w) - 0.5f * S(h - 1, w - 1);
}

// Fills gKernelTable as the program does, then the entries the noise code needs that no family
// filled with the references above; puts the table back as it was at the end of the scope.
class ScopedNoiseKernels {
 public:
  ScopedNoiseKernels() : saved_(gKernelTable) {
    InitKernelTable();
    if (gKernelTable.MapPrefixSum == nullptr) gKernelTable.MapPrefixSum = ReferencePrefixSum;
    if (gKernelTable.GridSummedArea == nullptr)
      gKernelTable.GridSummedArea = ReferenceSummedArea;
    if (gKernelTable.VolumeSummedTable == nullptr)
      gKernelTable.VolumeSummedTable = ReferenceVolumeSummedTable;
    if (gKernelTable.GridCellCentres == nullptr)
      gKernelTable.GridCellCentres = ReferenceCellCentres;
  }
  ~ScopedNoiseKernels() { gKernelTable = saved_; }
  ScopedNoiseKernels(const ScopedNoiseKernels&) = delete;
  ScopedNoiseKernels& operator=(const ScopedNoiseKernels&) = delete;

 private:
  KernelTable saved_;
};

}  // namespace veskor::test
