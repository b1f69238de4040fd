// Helpers for the noise tests and benchmarks: a straightforward reference of the cell-centre
// kernel, and a scope that fills the program's kernel table and puts it back afterwards.
#pragma once

#include <cstdint>

#include "mapengine/kernel_table.h"

namespace veskor::test {

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

// Fills gKernelTable as the program does (the noise tables and 1-D fills call the layout and
// raster entries through it); puts the table back as it was at the end of the scope.
class ScopedNoiseKernels {
 public:
  ScopedNoiseKernels() : saved_(gKernelTable) { InitKernelTable(); }
  ~ScopedNoiseKernels() { gKernelTable = saved_; }
  ScopedNoiseKernels(const ScopedNoiseKernels&) = delete;
  ScopedNoiseKernels& operator=(const ScopedNoiseKernels&) = delete;

 private:
  KernelTable saved_;
};

}  // namespace veskor::test
