// Plain members of the bilinear lookups: per vertex of the coordinate grids, the table value at
// (u, v) clamped to [0, 0.999], weights and sum kept in double and rounded once.
#include "mapengine/grid_arithmetic_kernels.h"
#include "mapengine/grid_layout_kernels.h"

namespace veskor::plain {

namespace {

using u8 = std::uint8_t;
using u32 = std::uint32_t;

// Where the lookup reads: the scale from [0, 1) to table positions, the row stride, and the
// steps to the right and lower neighbours. A table one value wide (or high) has no neighbour
// there: the step is 0, so the lookup reads its one column (row) twice instead of past it.
struct TableShape {
  float sx, sy;
  u32 stride;
  u32 right, down;
};

TableShape Shape(u32 width, u32 height, float sx, float sy) {
  return {sx, sy, width, width > 1 ? 1u : 0u, height > 1 ? width : 0u};
}

float Limit(float u) {
  if (!(u >= 0.0f)) return 0.0f;  // below 0, or NaN
  return u > 0.999f ? 0.999f : u;
}

template <int N>
void Sample(const TableShape& shape, const float* const (&tables)[N], u8 a, u8 b, const float* U,
            const float* V, float* const (&out)[N]) {
  const u32 n = GridValueCount(a, b);
  for (u32 k = 0; k < n; ++k) {
    const double x = double{Limit(U[k])} * shape.sx;
    const double y = double{Limit(V[k])} * shape.sy;
    const u32 ix = static_cast<u32>(x), iy = static_cast<u32>(y);
    const double fx = x - ix, fy = y - iy;
    const double w00 = (1.0 - fx) * (1.0 - fy), w10 = fx * (1.0 - fy);
    const double w01 = (1.0 - fx) * fy, w11 = fx * fy;
    const u32 p = iy * shape.stride + ix;
    for (int t = 0; t < N; ++t) {
      const float* T = tables[t];
      out[t][k] = static_cast<float>(w00 * T[p] + w10 * T[p + shape.right] +
                                     w01 * T[p + shape.down] + w11 * T[p + shape.down + shape.right]);
    }
  }
}

// Vertex-layout tables of log2 sizes (w, h): scale 2^w, 2^h.
TableShape VertexTable(u8 w, u8 h) {
  return Shape((1u << w) + 1, (1u << h) + 1, static_cast<float>(1u << w),
               static_cast<float>(1u << h));
}

// Map tables of 2^w x 2^h texels: scale 2^w - 1, 2^h - 1.
TableShape MapTable(u8 w, u8 h) {
  return Shape(1u << w, 1u << h, static_cast<float>((1u << w) - 1),
               static_cast<float>((1u << h) - 1));
}

}  // namespace

void GridSampleBilinear(u8 w, u8 h, const float* t1, u8 a, u8 b, const float* u, const float* v,
                        float* d1) {
  Sample<1>(VertexTable(w, h), {t1}, a, b, u, v, {d1});
}

void GridSampleBilinear2(u8 w, u8 h, const float* t1, const float* t2, u8 a, u8 b, const float* u,
                         const float* v, float* d1, float* d2) {
  Sample<2>(VertexTable(w, h), {t1, t2}, a, b, u, v, {d1, d2});
}

void GridSampleBilinear3(u8 w, u8 h, const float* t1, const float* t2, const float* t3, u8 a,
                         u8 b, const float* u, const float* v, float* d1, float* d2, float* d3) {
  Sample<3>(VertexTable(w, h), {t1, t2, t3}, a, b, u, v, {d1, d2, d3});
}

void GridSampleBilinear4(u8 w, u8 h, const float* t1, u8 a, u8 b, const float* u, const float* v,
                         float* d1) {
  Sample<1>(MapTable(w, h), {t1}, a, b, u, v, {d1});
}

void GridSampleBilinear5(u8 w, u8 h, const float* t1, const float* t2, u8 a, u8 b, const float* u,
                         const float* v, float* d1, float* d2) {
  Sample<2>(MapTable(w, h), {t1, t2}, a, b, u, v, {d1, d2});
}

void GridSampleBilinear6(u8 w, u8 h, const float* t1, const float* t2, const float* t3, u8 a,
                         u8 b, const float* u, const float* v, float* d1, float* d2, float* d3) {
  Sample<3>(MapTable(w, h), {t1, t2, t3}, a, b, u, v, {d1, d2, d3});
}

void GridSampleBilinear7(u32 width, u32 height, const float* t1, u8 a, u8 b, const float* u,
                         const float* v, float* d1) {
  Sample<1>(Shape(width, height, static_cast<float>(width - 1), static_cast<float>(height - 1)),
            {t1}, a, b, u, v, {d1});
}

}  // namespace veskor::plain
