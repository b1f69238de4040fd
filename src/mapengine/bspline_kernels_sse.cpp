// SSE members of the B-spline entries. Each output row is the four net rows of its cell row
// combined with the vertical weights (one value per net column, kept for a chunk of cells in
// a small buffer on the stack), then the horizontal weights applied four output columns at a
// time. Every sum of four products is taken in the order ((w0 v0 + w1 v1) + w2 v2) + w3 v3,
// in the vector lanes and in the one-value remainders alike.
#include <xmmintrin.h>

#include <algorithm>
#include <cstddef>

#include "mapengine/bspline_kernels.h"
#include "mapengine/bspline_weights.h"

namespace veskor::sse {

namespace {

// Cells whose vertical combinations are buffered at once (the buffer holds 3 more values and
// room for the four-wide reads of the last ones).
constexpr std::size_t kChunkCells = 64;
constexpr std::size_t kChunkBuffer = kChunkCells + 8;

__m128 Weights(std::uint32_t i, std::uint32_t n) {
  return _mm_load_ps(BSplineWeightTableSse[BSplineWeightIndex(i, n)]);
}

template <int kLane>
__m128 Broadcast(__m128 v) {
  return _mm_shuffle_ps(v, v, _MM_SHUFFLE(kLane, kLane, kLane, kLane));
}

// ((w0 v0 + w1 v1) + w2 v2) + w3 v3 over the lanes of v and w, as one value.
float Dot4(__m128 v, __m128 w) {
  const __m128 products = _mm_mul_ps(v, w);
  __m128 sum = _mm_add_ss(products, Broadcast<1>(products));
  sum = _mm_add_ss(sum, Broadcast<2>(products));
  return _mm_cvtss_f32(_mm_add_ss(sum, Broadcast<3>(products)));
}

// The horizontal weights of one refinement level p, arranged for four output columns at a
// time: for p >= 2, groups[g][c] holds weight c of sub-positions 4g .. 4g+3; for p = 1,
// groups[0][c] holds weight c of sub-positions 0, 1, 0, 1 (two cells); for p = 0, weight c
// of sub-position 0 in every lane (four cells).
struct RowWeights {
  std::uint32_t p;
  std::uint32_t groupCount;
  __m128 groups[64][4];
  __m128 end;     // sub-position 2^p: the last position of the last cell
  __m128 before;  // sub-position 2^p - 1: the border position before the first cell
  __m128 after;   // sub-position 1: the border position after the last cell
};

void BuildRowWeights(std::uint32_t p, RowWeights& x) {
  x.p = p;
  const std::uint32_t sub = 1u << p;
  alignas(16) float w[4][4];
  if (p >= 2) {
    x.groupCount = sub / 4;
    for (std::uint32_t g = 0; g < x.groupCount; ++g) {
      for (std::uint32_t l = 0; l < 4; ++l) _mm_store_ps(w[l], Weights(4 * g + l, p));
      for (int c = 0; c < 4; ++c) x.groups[g][c] = _mm_setr_ps(w[0][c], w[1][c], w[2][c], w[3][c]);
    }
  } else {
    x.groupCount = 1;
    _mm_store_ps(w[0], Weights(0, p));
    _mm_store_ps(w[1], Weights(p == 1 ? 1 : 0, p));
    for (int c = 0; c < 4; ++c) x.groups[0][c] = _mm_setr_ps(w[0][c], w[1][c], w[0][c], w[1][c]);
  }
  x.end = Weights(sub, p);
  x.before = Weights(sub - 1, p);
  x.after = Weights(1, p);
}

// r[t] = ((y0 s0[t] + y1 s1[t]) + y2 s2[t]) + y3 s3[t] for t = 0 .. count - 1.
void CombineRows(const float* const s[4], __m128 y, std::size_t count, float* r) {
  const __m128 y0 = Broadcast<0>(y), y1 = Broadcast<1>(y), y2 = Broadcast<2>(y),
               y3 = Broadcast<3>(y);
  std::size_t t = 0;
  for (; t + 4 <= count; t += 4) {
    const __m128 v = _mm_add_ps(
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(y0, _mm_loadu_ps(s[0] + t)),
                              _mm_mul_ps(y1, _mm_loadu_ps(s[1] + t))),
                   _mm_mul_ps(y2, _mm_loadu_ps(s[2] + t))),
        _mm_mul_ps(y3, _mm_loadu_ps(s[3] + t)));
    _mm_storeu_ps(r + t, v);
  }
  for (; t < count; ++t) {
    const __m128 v = _mm_add_ss(
        _mm_add_ss(_mm_add_ss(_mm_mul_ss(y0, _mm_load_ss(s[0] + t)),
                              _mm_mul_ss(y1, _mm_load_ss(s[1] + t))),
                   _mm_mul_ss(y2, _mm_load_ss(s[2] + t))),
        _mm_mul_ss(y3, _mm_load_ss(s[3] + t)));
    _mm_store_ss(r + t, v);
  }
}

// ((g0 v0 + g1 v1) + g2 v2) + g3 v3, lane by lane.
__m128 Combine(const __m128 g[4], __m128 v0, __m128 v1, __m128 v2, __m128 v3) {
  return _mm_add_ps(
      _mm_add_ps(_mm_add_ps(_mm_mul_ps(g[0], v0), _mm_mul_ps(g[1], v1)), _mm_mul_ps(g[2], v2)),
      _mm_mul_ps(g[3], v3));
}

// The interior outputs of `cells` cells from their combined net columns r (cell t reads
// r[t .. t+3]): out[t * 2^p + i] for i < 2^p.
void ApplyRowWeights(const RowWeights& x, const float* r, std::size_t cells, float* out) {
  const std::size_t sub = std::size_t{1} << x.p;
  std::size_t t = 0;
  if (x.p >= 2) {
    for (; t < cells; ++t) {
      const __m128 v0 = _mm_load1_ps(r + t), v1 = _mm_load1_ps(r + t + 1),
                   v2 = _mm_load1_ps(r + t + 2), v3 = _mm_load1_ps(r + t + 3);
      float* o = out + t * sub;
      for (std::uint32_t g = 0; g < x.groupCount; ++g)
        _mm_storeu_ps(o + 4 * g, Combine(x.groups[g], v0, v1, v2, v3));
    }
  } else if (x.p == 1) {
    // Lanes: cell t twice, cell t + 1 twice.
    const auto pairs = [r](std::size_t at) {
      const __m128 v = _mm_loadu_ps(r + at);
      return _mm_unpacklo_ps(v, v);
    };
    for (; t + 2 <= cells; t += 2)
      _mm_storeu_ps(out + 2 * t,
                    Combine(x.groups[0], pairs(t), pairs(t + 1), pairs(t + 2), pairs(t + 3)));
  } else {
    for (; t + 4 <= cells; t += 4)
      _mm_storeu_ps(out + t,
                    Combine(x.groups[0], _mm_loadu_ps(r + t), _mm_loadu_ps(r + t + 1),
                            _mm_loadu_ps(r + t + 2), _mm_loadu_ps(r + t + 3)));
  }
  // Cells left over by the pairs and quads of the small levels, one position at a time.
  for (; t < cells; ++t)
    for (std::uint32_t i = 0; i < sub; ++i)
      out[t * sub + i] = Dot4(_mm_loadu_ps(r + t), Weights(i, x.p));
}

// One output row: the net rows s[0..3] (already offset to the cell row) combined with the
// vertical weights y, then the horizontal weights: out[0 .. 2^(a+p)], and with `border` also
// out[-1] and out[2^(a+p) + 1] from the clamped windows.
void RefineRow(std::size_t cells, const float* const s[4], __m128 y, const RowWeights& x,
               bool border, float* out) {
  alignas(16) float r[kChunkBuffer];
  const std::size_t sub = std::size_t{1} << x.p;
  for (std::size_t c0 = 0; c0 < cells; c0 += kChunkCells) {
    const std::size_t count = std::min(kChunkCells, cells - c0);
    const float* const chunk[4] = {s[0] + c0, s[1] + c0, s[2] + c0, s[3] + c0};
    CombineRows(chunk, y, count + 3, r);
    // The pairs of the level-1 path read up to two values past the last, into unused lanes.
    std::fill(r + count + 3, r + count + 8, 0.0f);
    ApplyRowWeights(x, r, count, out + c0 * sub);
    if (border && c0 == 0) out[-1] = Dot4(_mm_setr_ps(r[0], r[0], r[1], r[2]), x.before);
    if (c0 + count == cells) {
      out[cells * sub] = Dot4(_mm_loadu_ps(r + count - 1), x.end);
      if (border)
        out[cells * sub + 1] =
            Dot4(_mm_setr_ps(r[count], r[count + 1], r[count + 2], r[count + 2]), x.after);
    }
  }
}

// The output rows 0 .. 2^(b+q) of the surface, row oy written at out + oy * stride.
void RefineRows(std::uint8_t a, std::uint8_t b, std::uint32_t q, const float* net,
                const RowWeights& x, bool border, float* out, std::size_t stride) {
  const std::size_t cellsX = std::size_t{1} << a, cellsY = std::size_t{1} << b;
  const std::size_t netStride = cellsX + 3;
  for (std::size_t oy = 0; oy <= (cellsY << q); ++oy) {
    // The end position of a cell row belongs to the next one, except on the last.
    const std::size_t cy = std::min(oy >> q, cellsY - 1);
    const auto j = static_cast<std::uint32_t>(oy - (cy << q));
    const float* window = net + cy * netStride;
    const float* const s[4] = {window, window + netStride, window + 2 * netStride,
                               window + 3 * netStride};
    RefineRow(cellsX, s, Weights(j, q), x, border, out + oy * stride);
  }
}

}  // namespace

void GridBSplineEval(std::uint8_t a, std::uint8_t b, std::uint8_t p, std::uint8_t q,
                     const float* net, float* destination) {
  RowWeights x;
  BuildRowWeights(p, x);
  RefineRows(a, b, q, net, x, false, destination, (std::size_t{1} << (a + p)) + 1);
}

void MapBSplineUpsample(std::uint8_t a, std::uint8_t b, std::uint8_t p, std::uint8_t q,
                        const float* net, float* destinationNet) {
  RowWeights x;
  BuildRowWeights(p, x);
  const std::size_t cellsX = std::size_t{1} << a, cellsY = std::size_t{1} << b;
  const std::size_t netStride = cellsX + 3;
  const std::size_t stride = (cellsX << p) + 3, lastRow = (cellsY << q) + 2;
  RefineRows(a, b, q, net, x, true, destinationNet + stride + 1, stride);
  // The border rows: the net's border row stands in for the row beyond it.
  const float* first = net;
  const float* last = net + cellsY * netStride;
  const float* const top[4] = {first, first, first + netStride, first + 2 * netStride};
  RefineRow(cellsX, top, Weights((1u << q) - 1, q), x, true, destinationNet + 1);
  const float* const bottom[4] = {last, last + netStride, last + 2 * netStride,
                                  last + 2 * netStride};
  RefineRow(cellsX, bottom, Weights(1, q), x, true, destinationNet + lastRow * stride + 1);
}

}  // namespace veskor::sse
