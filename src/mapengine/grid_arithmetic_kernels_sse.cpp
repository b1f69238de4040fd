// SSE members of the grid arithmetic entries: eight values per step (two four-wide operations),
// prefetching the next 32 bytes of each source, then the remaining values one by one in single
// precision. None of them depends on the rounding direction, so none changes MXCSR.
#include <xmmintrin.h>

#include <cstdint>

#include "mapengine/grid_arithmetic_kernels.h"
#include "mapengine/sse_support.h"

namespace veskor::sse {

namespace {

using u8 = std::uint8_t;

// D = op(A) over n values.
template <bool Aligned, class Vec, class One>
void UnaryLoop(std::uint32_t n, const float* ga, float* d, Vec vec, One one) {
  const std::uint32_t blocks = n / 8;
  for (std::uint32_t k = 0; k < blocks; ++k, ga += 8, d += 8) {
    Prefetch(ga + 8);
    const __m128 a0 = Load<Aligned>(ga), a1 = Load<Aligned>(ga + 4);
    Store<Aligned>(d, vec(a0));
    Store<Aligned>(d + 4, vec(a1));
  }
  for (std::uint32_t i = 0; i < n % 8; ++i) d[i] = one(ga[i]);
}

template <bool Aligned, class Vec, class One>
void BinaryLoop(std::uint32_t n, const float* ga, const float* gb, float* d, Vec vec, One one) {
  const std::uint32_t blocks = n / 8;
  for (std::uint32_t k = 0; k < blocks; ++k, ga += 8, gb += 8, d += 8) {
    Prefetch(ga + 8);
    Prefetch(gb + 8);
    const __m128 a0 = Load<Aligned>(ga), a1 = Load<Aligned>(ga + 4);
    const __m128 b0 = Load<Aligned>(gb), b1 = Load<Aligned>(gb + 4);
    Store<Aligned>(d, vec(a0, b0));
    Store<Aligned>(d + 4, vec(a1, b1));
  }
  for (std::uint32_t i = 0; i < n % 8; ++i) d[i] = one(ga[i], gb[i]);
}

template <bool Aligned, class Vec, class One>
void TernaryLoop(std::uint32_t n, const float* ga, const float* gb, const float* gc, float* d,
                 Vec vec, One one) {
  const std::uint32_t blocks = n / 8;
  for (std::uint32_t k = 0; k < blocks; ++k, ga += 8, gb += 8, gc += 8, d += 8) {
    Prefetch(ga + 8);
    Prefetch(gb + 8);
    Prefetch(gc + 8);
    const __m128 a0 = Load<Aligned>(ga), a1 = Load<Aligned>(ga + 4);
    const __m128 b0 = Load<Aligned>(gb), b1 = Load<Aligned>(gb + 4);
    const __m128 c0 = Load<Aligned>(gc), c1 = Load<Aligned>(gc + 4);
    Store<Aligned>(d, vec(a0, b0, c0));
    Store<Aligned>(d + 4, vec(a1, b1, c1));
  }
  for (std::uint32_t i = 0; i < n % 8; ++i) d[i] = one(ga[i], gb[i], gc[i]);
}

template <class Vec, class One>
void Unary(u8 a, u8 b, const float* ga, float* d, Vec vec, One one) {
  const std::uint32_t n = GridValueCount(a, b);
  if (AllAligned32({ga, d})) UnaryLoop<true>(n, ga, d, vec, one);
  else UnaryLoop<false>(n, ga, d, vec, one);
}

template <class Vec, class One>
void Binary(u8 a, u8 b, const float* ga, const float* gb, float* d, Vec vec, One one) {
  const std::uint32_t n = GridValueCount(a, b);
  if (AllAligned32({ga, gb, d})) BinaryLoop<true>(n, ga, gb, d, vec, one);
  else BinaryLoop<false>(n, ga, gb, d, vec, one);
}

template <class Vec, class One>
void Ternary(u8 a, u8 b, const float* ga, const float* gb, const float* gc, float* d, Vec vec,
             One one) {
  const std::uint32_t n = GridValueCount(a, b);
  if (AllAligned32({ga, gb, gc, d})) TernaryLoop<true>(n, ga, gb, gc, d, vec, one);
  else TernaryLoop<false>(n, ga, gb, gc, d, vec, one);
}

}  // namespace

void GridMul(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  Binary(a, b, ga, gb, d, [](__m128 x, __m128 y) { return _mm_mul_ps(x, y); },
         [](float x, float y) { return x * y; });
}

void GridMulScalar(u8 a, u8 b, const float* ga, float s, float* d) {
  const __m128 vs = _mm_set1_ps(s);
  Unary(a, b, ga, d, [vs](__m128 x) { return _mm_mul_ps(vs, x); }, [s](float x) { return s * x; });
}

void GridDiv(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  Binary(a, b, ga, gb, d, [](__m128 x, __m128 y) { return _mm_div_ps(x, y); },
         [](float x, float y) { return x / y; });
}

void GridDivScalar(u8 a, u8 b, const float* ga, float s, float* d) {
  const __m128 vs = _mm_set1_ps(s);
  const float r = 1.0f / s;
  Unary(a, b, ga, d, [vs](__m128 x) { return _mm_div_ps(x, vs); }, [r](float x) { return x * r; });
}

void GridAdd(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  Binary(a, b, ga, gb, d, [](__m128 x, __m128 y) { return _mm_add_ps(x, y); },
         [](float x, float y) { return x + y; });
}

void GridAddScalar(u8 a, u8 b, const float* ga, float s, float* d) {
  const __m128 vs = _mm_set1_ps(s);
  Unary(a, b, ga, d, [vs](__m128 x) { return _mm_add_ps(x, vs); }, [s](float x) { return x + s; });
}

void GridSub(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  Binary(a, b, ga, gb, d, [](__m128 x, __m128 y) { return _mm_sub_ps(x, y); },
         [](float x, float y) { return x - y; });
}

void GridSubScalar(u8 a, u8 b, const float* ga, float s, float* d) {
  const __m128 vs = _mm_set1_ps(s);
  Unary(a, b, ga, d, [vs](__m128 x) { return _mm_sub_ps(x, vs); }, [s](float x) { return x - s; });
}

void GridScalarMinus(u8 a, u8 b, float s, const float* ga, float* d) {
  const __m128 vs = _mm_set1_ps(s);
  Unary(a, b, ga, d, [vs](__m128 x) { return _mm_sub_ps(vs, x); }, [s](float x) { return s - x; });
}

void GridMulAdd(u8 a, u8 b, const float* ga, const float* gb, const float* gc, float* d) {
  Ternary(a, b, ga, gb, gc, d,
          [](__m128 x, __m128 y, __m128 z) { return _mm_add_ps(_mm_mul_ps(x, y), z); },
          [](float x, float y, float z) { return x * y + z; });
}

void GridScaleAdd(u8 a, u8 b, const float* ga, float s, const float* gc, float* d) {
  const __m128 vs = _mm_set1_ps(s);
  Binary(a, b, ga, gc, d, [vs](__m128 x, __m128 z) { return _mm_add_ps(_mm_mul_ps(vs, x), z); },
         [s](float x, float z) { return s * x + z; });
}

// The all-ones mask of an ordered comparison, masked with 1.0; a NaN compares false.
void GridCompare(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  const __m128 one = _mm_set1_ps(1.0f);
  Binary(a, b, ga, gb, d, [one](__m128 x, __m128 y) { return _mm_and_ps(_mm_cmplt_ps(x, y), one); },
         [](float x, float y) { return x < y ? 1.0f : 0.0f; });
}

void GridCompare2(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  const __m128 one = _mm_set1_ps(1.0f);
  Binary(a, b, ga, gb, d, [one](__m128 x, __m128 y) { return _mm_and_ps(_mm_cmpgt_ps(x, y), one); },
         [](float x, float y) { return x > y ? 1.0f : 0.0f; });
}

}  // namespace veskor::sse
