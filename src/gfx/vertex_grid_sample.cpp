#include "gfx/vertex_grid_sample.h"

#include <cmath>

namespace veskor {

namespace {

constexpr float kLow = 1e-5f;
constexpr float kHigh = 0.99999f;

// [0, 1], NaN as 0.
float Unit(float q) { return q > 0.0f ? (q < 1.0f ? q : 1.0f) : 0.0f; }

// The cell of q = cells * u (u in [0, 1]) and the fraction within it; the last cell takes
// q = cells with fraction 1, so the cell's far value is never read past the row.
std::uint32_t Cell(float q, std::uint32_t cells, float& fraction) {
  std::uint32_t i = static_cast<std::uint32_t>(q);
  if (i >= cells) i = cells - 1;
  fraction = q - static_cast<float>(i);
  return i;
}

}  // namespace

float VertexGridSample(const VertexGrid& grid, float x, float z) {
  const std::uint32_t w = 1u << grid.log2Width, h = 1u << grid.log2Height;
  const std::uint32_t row = w + 1;
  const float* d = grid.data;
  const float u = Unit(x * grid.scaleX + grid.offsetX);
  const float v = Unit(z * grid.scaleZ + grid.offsetZ);
  float value;
  float a, b;
  if (u > kHigh && v > kHigh) {
    value = d[h * row + w];
  } else if (v < kLow || v > kHigh) {
    const float* r = d + (v < kLow ? 0 : h * row);
    const std::uint32_t i = Cell(static_cast<float>(w) * u, w, a);
    value = (1 - a) * r[i] + a * r[i + 1];
  } else if (u < kLow || u > kHigh) {
    const float* c = d + (u < kLow ? 0 : w);
    const std::uint32_t j = Cell(static_cast<float>(h) * v, h, b);
    value = (1 - b) * c[j * row] + b * c[(j + 1) * row];
  } else {
    const std::uint32_t i = Cell(static_cast<float>(w) * u, w, a);
    const std::uint32_t j = Cell(static_cast<float>(h) * v, h, b);
    const float* p = d + j * row + i;
    value =
        (1 - a) * (1 - b) * p[0] + a * (1 - b) * p[1] + (1 - a) * b * p[row] + a * b * p[row + 1];
  }
  return value * grid.scaleValue + grid.offsetValue;
}

std::uint32_t VertexGridValueCount(const VertexGrid& grid) {
  return ((1u << grid.log2Width) + 1) * ((1u << grid.log2Height) + 1);
}

}  // namespace veskor
