// SSE members of the layout kernels: four values at a time in single precision with the plain
// members' formulas, the values left over at the end of each row one by one. None of them
// depends on the rounding direction.
#include <xmmintrin.h>

#include "mapengine/grid_layout_kernels.h"

namespace veskor::sse {

namespace {

using u8 = std::uint8_t;
using u32 = std::uint32_t;

// 0.25 ((s00 + s01) + s10 + s11), summed left to right as the plain member sums.
inline __m128 Average4(__m128 s00, __m128 s01, __m128 s10, __m128 s11) {
  return _mm_mul_ps(_mm_add_ps(_mm_add_ps(_mm_add_ps(s00, s01), s10), s11), _mm_set1_ps(0.25f));
}
inline float Average4(float s00, float s01, float s10, float s11) {
  return (((s00 + s01) + s10) + s11) * 0.25f;
}

inline __m128 Extrapolate(__m128 n0, __m128 n1, __m128 f0, __m128 f1) {
  return _mm_sub_ps(_mm_mul_ps(_mm_set1_ps(0.75f), _mm_add_ps(n0, n1)),
                    _mm_mul_ps(_mm_set1_ps(0.25f), _mm_add_ps(f0, f1)));
}
inline float Extrapolate(float n0, float n1, float f0, float f1) {
  return 0.75f * (n0 + n1) - 0.25f * (f0 + f1);
}

inline __m128 Half(__m128 x, __m128 y) { return _mm_mul_ps(_mm_add_ps(x, y), _mm_set1_ps(0.5f)); }
inline float Half(float x, float y) { return (x + y) * 0.5f; }

// out[i] = Average4 of the 2x2 values at rows s0, s1, columns i and i+1, for i < count.
void AverageRow(const float* s0, const float* s1, u32 count, float* out) {
  u32 i = 0;
  for (; i + 4 <= count; i += 4)
    _mm_storeu_ps(out + i, Average4(_mm_loadu_ps(s0 + i), _mm_loadu_ps(s0 + i + 1),
                                    _mm_loadu_ps(s1 + i), _mm_loadu_ps(s1 + i + 1)));
  for (; i < count; ++i) out[i] = Average4(s0[i], s0[i + 1], s1[i], s1[i + 1]);
}

// out[i] = Extrapolate(near row, far row) at columns i and i+1, for i < count.
void ExtrapolateRow(const float* near, const float* far, u32 count, float* out) {
  u32 i = 0;
  for (; i + 4 <= count; i += 4)
    _mm_storeu_ps(out + i, Extrapolate(_mm_loadu_ps(near + i), _mm_loadu_ps(near + i + 1),
                                       _mm_loadu_ps(far + i), _mm_loadu_ps(far + i + 1)));
  for (; i < count; ++i) out[i] = Extrapolate(near[i], near[i + 1], far[i], far[i + 1]);
}

}  // namespace

void GridCellCentres(u8 a, u8 b, const float* source, float* cells) {
  const u32 W = 1u << a, H = 1u << b, sw = W + 1, cw = W + 2;
  auto S = [&](u32 j, u32 i) { return source[j * sw + i]; };
  for (u32 j = 0; j < H; ++j) AverageRow(source + j * sw, source + (j + 1) * sw, W, cells + (j + 1) * cw + 1);
  ExtrapolateRow(source, source + sw, W, cells + 1);
  ExtrapolateRow(source + H * sw, source + (H - 1) * sw, W, cells + (H + 1) * cw + 1);
  for (u32 j = 0; j < H; ++j) {
    cells[(j + 1) * cw] = Extrapolate(S(j, 0), S(j + 1, 0), S(j, 1), S(j + 1, 1));
    cells[(j + 1) * cw + W + 1] = Extrapolate(S(j, W), S(j + 1, W), S(j, W - 1), S(j + 1, W - 1));
  }
  auto corner = [](float near, float far) { return 1.5f * near - 0.5f * far; };
  cells[0] = corner(S(0, 0), S(1, 1));
  cells[W + 1] = corner(S(0, W), S(1, W - 1));
  cells[(H + 1) * cw] = corner(S(H, 0), S(H - 1, 1));
  cells[(H + 1) * cw + W + 1] = corner(S(H, W), S(H - 1, W - 1));
}

void GridNetToCells(u8 a, u8 b, const float* net, float* cells) {
  const u32 W = 1u << a, H = 1u << b, nw = W + 3, cw = W + 2;
  for (u32 j = 0; j <= H + 1; ++j) AverageRow(net + j * nw, net + (j + 1) * nw, cw, cells + j * cw);
}

void GridAverage2x2(u8 a, u8 b, const float* source, u8 ch, float* destination) {
  const u32 W = 1u << a, H = 1u << b, sw = W + 1;
  const u32 copies = ch > 1 ? ch : 1;
  for (u32 j = 0; j < H; ++j) {
    const float* s0 = source + j * sw;
    const float* s1 = s0 + sw;
    float* d = destination + j * W * copies;
    u32 i = 0;
    for (; i + 4 <= W; i += 4) {
      const __m128 v = Average4(_mm_loadu_ps(s0 + i), _mm_loadu_ps(s0 + i + 1),
                                _mm_loadu_ps(s1 + i), _mm_loadu_ps(s1 + i + 1));
      if (copies == 1) {
        _mm_storeu_ps(d + i, v);
      } else if (copies == 4) {
        float* q = d + i * 4;
        _mm_storeu_ps(q, _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 0, 0, 0)));
        _mm_storeu_ps(q + 4, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)));
        _mm_storeu_ps(q + 8, _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2)));
        _mm_storeu_ps(q + 12, _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3)));
      } else {
        alignas(16) float lanes[4];
        _mm_store_ps(lanes, v);
        for (u32 l = 0; l < 4; ++l)
          for (u32 c = 0; c < copies; ++c) d[(i + l) * copies + c] = lanes[l];
      }
    }
    for (; i < W; ++i) {
      const float v = Average4(s0[i], s0[i + 1], s1[i], s1[i + 1]);
      for (u32 c = 0; c < copies; ++c) d[i * copies + c] = v;
    }
  }
}

void GridSubdivide2x(u8 a, u8 b, const float* source, float* destination) {
  const u32 W = 1u << a, H = 1u << b, sw = W + 1, dw = 2 * W + 1;
  for (u32 j = 0; j <= H; ++j) {
    const float* s0 = source + j * sw;
    float* even = destination + 2 * j * dw;
    u32 i = 0;
    // Four source cells give eight destination values: vertices interleaved with midpoints.
    for (; i + 4 <= W; i += 4) {
      const __m128 v = _mm_loadu_ps(s0 + i), h = Half(v, _mm_loadu_ps(s0 + i + 1));
      _mm_storeu_ps(even + 2 * i, _mm_unpacklo_ps(v, h));
      _mm_storeu_ps(even + 2 * i + 4, _mm_unpackhi_ps(v, h));
    }
    for (; i < W; ++i) {
      even[2 * i] = s0[i];
      even[2 * i + 1] = Half(s0[i], s0[i + 1]);
    }
    even[2 * W] = s0[W];
    if (j == H) break;
    const float* s1 = s0 + sw;
    float* odd = even + dw;
    i = 0;
    for (; i + 4 <= W; i += 4) {
      const __m128 a0 = _mm_loadu_ps(s0 + i), a1 = _mm_loadu_ps(s0 + i + 1);
      const __m128 b0 = _mm_loadu_ps(s1 + i), b1 = _mm_loadu_ps(s1 + i + 1);
      const __m128 v = Half(a0, b0), c = Average4(a0, a1, b0, b1);
      _mm_storeu_ps(odd + 2 * i, _mm_unpacklo_ps(v, c));
      _mm_storeu_ps(odd + 2 * i + 4, _mm_unpackhi_ps(v, c));
    }
    for (; i < W; ++i) {
      odd[2 * i] = Half(s0[i], s1[i]);
      odd[2 * i + 1] = Average4(s0[i], s0[i + 1], s1[i], s1[i + 1]);
    }
    odd[2 * W] = Half(s0[W], s1[W]);
  }
}

}  // namespace veskor::sse
