// SSE members of the Map raster entries: the element-wise arithmetic and the clamp take eight
// values a step (two 4-lane operations, the next step prefetched), with aligned loads and
// stores when every array starts on a 32-byte boundary, then the last values one by one.
// Arithmetic rounds toward negative infinity, so results may lie one unit in the last place
// below the plain members'.
#include <xmmintrin.h>

#include <cstddef>
#include <cstdint>

#include "mapengine/map_raster_kernels.h"
#include "platform/cpu.h"

namespace veskor::sse {

namespace {

constexpr std::size_t kValuesPerStep = 8;

bool StartsOn32Bytes(const void* p) { return (reinterpret_cast<std::uintptr_t>(p) & 31) == 0; }

void Prefetch(const float* p) {
  _mm_prefetch(reinterpret_cast<const char*>(p + kValuesPerStep), _MM_HINT_T0);
}

template <bool kAligned>
__m128 Load(const float* p) {
  if constexpr (kAligned) return _mm_load_ps(p);
  return _mm_loadu_ps(p);
}

template <bool kAligned>
void Store(float* p, __m128 v) {
  if constexpr (kAligned)
    _mm_store_ps(p, v);
  else
    _mm_storeu_ps(p, v);
}

// d = op(a, b) over n values; `vector` and `scalar` compute the same operation.
template <bool kAligned, typename Vector, typename Scalar>
void BinarySteps(std::size_t n, const float* a, const float* b, float* d, Vector vector,
                 Scalar scalar) {
  std::size_t i = 0;
  for (const std::size_t end = n - n % kValuesPerStep; i < end; i += kValuesPerStep) {
    Prefetch(a + i);
    Prefetch(b + i);
    const __m128 r0 = vector(Load<kAligned>(a + i), Load<kAligned>(b + i));
    const __m128 r1 = vector(Load<kAligned>(a + i + 4), Load<kAligned>(b + i + 4));
    Store<kAligned>(d + i, r0);
    Store<kAligned>(d + i + 4, r1);
  }
  for (; i < n; ++i) d[i] = scalar(a[i], b[i]);
}

template <typename Vector, typename Scalar>
void Binary(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* d, Vector vector, Scalar scalar) {
  ScopedRoundDown roundDown;
  const std::size_t n = RasterValues(ch, w, h);
  if (StartsOn32Bytes(a) && StartsOn32Bytes(b) && StartsOn32Bytes(d))
    BinarySteps<true>(n, a, b, d, vector, scalar);
  else
    BinarySteps<false>(n, a, b, d, vector, scalar);
}

template <bool kAligned, typename Vector, typename Scalar>
void ScalarSteps(std::size_t n, const float* a, float s, float* d, Vector vector, Scalar scalar) {
  const __m128 vs = _mm_set1_ps(s);
  std::size_t i = 0;
  for (const std::size_t end = n - n % kValuesPerStep; i < end; i += kValuesPerStep) {
    Prefetch(a + i);
    const __m128 r0 = vector(Load<kAligned>(a + i), vs);
    const __m128 r1 = vector(Load<kAligned>(a + i + 4), vs);
    Store<kAligned>(d + i, r0);
    Store<kAligned>(d + i + 4, r1);
  }
  for (; i < n; ++i) d[i] = scalar(a[i], s);
}

template <typename Vector, typename Scalar>
void WithScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s, float* d,
                Vector vector, Scalar scalar) {
  ScopedRoundDown roundDown;
  const std::size_t n = RasterValues(ch, w, h);
  if (StartsOn32Bytes(a) && StartsOn32Bytes(d))
    ScalarSteps<true>(n, a, s, d, vector, scalar);
  else
    ScalarSteps<false>(n, a, s, d, vector, scalar);
}

// max(x, 0) then min(., 1): maxps gives its second operand for a NaN, so a NaN becomes 0.
__m128 Clamp01(__m128 x) { return _mm_min_ps(_mm_max_ps(x, _mm_setzero_ps()), _mm_set1_ps(1.0f)); }

template <bool kAligned>
void Clamp01Steps(std::size_t n, float* data) {
  std::size_t i = 0;
  for (const std::size_t end = n - n % kValuesPerStep; i < end; i += kValuesPerStep) {
    Prefetch(data + i);
    Store<kAligned>(data + i, Clamp01(Load<kAligned>(data + i)));
    Store<kAligned>(data + i + 4, Clamp01(Load<kAligned>(data + i + 4)));
  }
  for (; i < n; ++i) data[i] = _mm_cvtss_f32(Clamp01(_mm_set_ss(data[i])));
}

// Three floats into the low lanes, and back, touching no fourth value.
__m128 Load3(const float* p) {
  return _mm_movelh_ps(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(p)),
                       _mm_load_ss(p + 2));
}
void Store3(float* p, __m128 v) {
  _mm_storel_pi(reinterpret_cast<__m64*>(p), v);
  _mm_store_ss(p + 2, _mm_movehl_ps(v, v));
}
__m128 LoadTexel(const float* p, std::size_t ch) {
  switch (ch) {
    case 1: return _mm_load_ss(p);
    case 2: return _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(p));
    case 3: return Load3(p);
    default: return _mm_loadu_ps(p);
  }
}
void StoreTexel(float* p, std::size_t ch, __m128 v) {
  switch (ch) {
    case 1: _mm_store_ss(p, v); break;
    case 2: _mm_storel_pi(reinterpret_cast<__m64*>(p), v); break;
    case 3: Store3(p, v); break;
    default: _mm_storeu_ps(p, v); break;
  }
}

// One output row of the four-texel average for 1 to 4 channels: the two source rows are added
// first, then neighbouring columns, then scaled by a quarter.
void QuarterRow(std::size_t ch, std::size_t outWidth, const float* r0, const float* r1,
                float* out) {
  const __m128 quarter = _mm_set1_ps(0.25f);
  std::size_t i = 0;
  if (ch == 1) {
    // Eight source columns give four outputs.
    for (; i + 4 <= outWidth; i += 4) {
      const float* p0 = r0 + 2 * i;
      const float* p1 = r1 + 2 * i;
      const __m128 lo = _mm_add_ps(_mm_loadu_ps(p0), _mm_loadu_ps(p1));
      const __m128 hi = _mm_add_ps(_mm_loadu_ps(p0 + 4), _mm_loadu_ps(p1 + 4));
      const __m128 even = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
      const __m128 odd = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
      _mm_storeu_ps(out + i, _mm_mul_ps(_mm_add_ps(even, odd), quarter));
    }
  } else if (ch == 2) {
    // Four source texels (eight values) give two outputs.
    for (; i + 2 <= outWidth; i += 2) {
      const float* p0 = r0 + 4 * i;
      const float* p1 = r1 + 4 * i;
      const __m128 a = _mm_add_ps(_mm_loadu_ps(p0), _mm_loadu_ps(p1));
      const __m128 b = _mm_add_ps(_mm_loadu_ps(p0 + 4), _mm_loadu_ps(p1 + 4));
      const __m128 left = _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 1, 0));
      const __m128 right = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 2, 3, 2));
      _mm_storeu_ps(out + 2 * i, _mm_mul_ps(_mm_add_ps(left, right), quarter));
    }
  }
  for (; i < outWidth; ++i) {
    const float* p0 = r0 + 2 * i * ch;
    const float* p1 = r1 + 2 * i * ch;
    const __m128 left = _mm_add_ps(LoadTexel(p0, ch), LoadTexel(p1, ch));
    const __m128 right = _mm_add_ps(LoadTexel(p0 + ch, ch), LoadTexel(p1 + ch, ch));
    StoreTexel(out + i * ch, ch, _mm_mul_ps(_mm_add_ps(left, right), quarter));
  }
}

}  // namespace

void MapClamp01(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* data) {
  const std::size_t n = RasterValues(ch, w, h);
  if (StartsOn32Bytes(data))
    Clamp01Steps<true>(n, data);
  else
    Clamp01Steps<false>(n, data);
}

void MapDownsample(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint32_t halveWidth,
                   std::uint32_t halveHeight, const float* source, float* destination) {
  ScopedRoundDown roundDown;
  const DownsampleAxes axes = DownsampleAxesFor(w, h, halveWidth, halveHeight);
  const std::size_t row = std::size_t{ch} << w;
  const std::size_t outWidth = std::size_t{1} << (w - axes.width);
  const std::size_t outHeight = std::size_t{1} << (h - axes.height);
  const std::size_t outRow = outWidth * ch;
  if (axes.width && axes.height && ch >= 1 && ch <= 4) {
    for (std::size_t j = 0; j < outHeight; ++j) {
      const float* r0 = source + 2 * j * row;
      QuarterRow(ch, outWidth, r0, r0 + row, destination + j * outRow);
    }
    return;
  }
  // The other shapes and channel counts value by value, in the same order of additions.
  for (std::size_t j = 0; j < outHeight; ++j) {
    const float* r0 = source + (axes.height ? 2 * j : j) * row;
    const float* r1 = r0 + row;
    float* out = destination + j * outRow;
    for (std::size_t i = 0; i < outWidth; ++i) {
      const std::size_t x0 = (axes.width ? 2 * i : i) * ch, x1 = x0 + ch;
      for (std::size_t k = 0; k < ch; ++k) {
        if (axes.width && axes.height)
          out[i * ch + k] = ((r0[x0 + k] + r1[x0 + k]) + (r0[x1 + k] + r1[x1 + k])) * 0.25f;
        else if (axes.width)
          out[i * ch + k] = (r0[x0 + k] + r0[x1 + k]) * 0.5f;
        else if (axes.height)
          out[i * ch + k] = (r0[x0 + k] + r1[x0 + k]) * 0.5f;
        else
          out[i * ch + k] = r0[x0 + k];
      }
    }
  }
}

void MapMul(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination) {
  Binary(
      ch, w, h, a, b, destination, [](__m128 x, __m128 y) { return _mm_mul_ps(x, y); },
      [](float x, float y) { return x * y; });
}
void MapMulScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination) {
  WithScalar(
      ch, w, h, a, s, destination, [](__m128 x, __m128 k) { return _mm_mul_ps(k, x); },
      [](float x, float k) { return k * x; });
}
void MapDiv(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination) {
  Binary(
      ch, w, h, a, b, destination, [](__m128 x, __m128 y) { return _mm_div_ps(x, y); },
      [](float x, float y) { return x / y; });
}
void MapDivScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination) {
  WithScalar(
      ch, w, h, a, s, destination, [](__m128 x, __m128 y) { return _mm_div_ps(x, y); },
      [](float x, float k) { return x / k; });
}
void MapAdd(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination) {
  Binary(
      ch, w, h, a, b, destination, [](__m128 x, __m128 y) { return _mm_add_ps(x, y); },
      [](float x, float y) { return x + y; });
}
void MapAddScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination) {
  WithScalar(
      ch, w, h, a, s, destination, [](__m128 x, __m128 y) { return _mm_add_ps(x, y); },
      [](float x, float k) { return x + k; });
}
void MapSub(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination) {
  Binary(
      ch, w, h, a, b, destination, [](__m128 x, __m128 y) { return _mm_sub_ps(x, y); },
      [](float x, float y) { return x - y; });
}
void MapSubScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination) {
  WithScalar(
      ch, w, h, a, s, destination, [](__m128 x, __m128 y) { return _mm_sub_ps(x, y); },
      [](float x, float k) { return x - k; });
}

}  // namespace veskor::sse
