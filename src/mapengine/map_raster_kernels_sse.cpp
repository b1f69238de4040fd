// SSE members of the Map raster entries: the element-wise arithmetic and the clamp take eight
// values a step (two 4-lane operations, the next step prefetched), with aligned loads and
// stores when every array starts on a 32-byte boundary, then the last values one by one.
// Downsampling averages whole texels of 1 to 4 channels as vectors. Arithmetic rounds toward
// negative infinity, so results may lie a unit in the last place below the plain members'.
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

// One output row averaging neighbouring columns, of one source row (kRows false: pairs, scaled
// by a half) or of the sum of two (kRows true: four texels, scaled by a quarter), for 1 to 4
// channels. The two rows are added first, then the two columns.
template <bool kRows>
void ColumnPairsRow(std::size_t ch, std::size_t outWidth, const float* r0, const float* r1,
                    float* out) {
  const __m128 scale = _mm_set1_ps(kRows ? 0.25f : 0.5f);
  auto load = [=](std::size_t at) {
    const __m128 v = _mm_loadu_ps(r0 + at);
    if constexpr (kRows) return _mm_add_ps(v, _mm_loadu_ps(r1 + at));
    return v;
  };
  auto loadTexel = [=](std::size_t at) {
    const __m128 v = LoadTexel(r0 + at, ch);
    if constexpr (kRows) return _mm_add_ps(v, LoadTexel(r1 + at, ch));
    return v;
  };
  std::size_t i = 0;
  if (ch == 1) {
    // Eight source columns give four outputs.
    for (; i + 4 <= outWidth; i += 4) {
      const __m128 lo = load(2 * i), hi = load(2 * i + 4);
      const __m128 even = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
      const __m128 odd = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
      _mm_storeu_ps(out + i, _mm_mul_ps(_mm_add_ps(even, odd), scale));
    }
  } else if (ch == 2) {
    // Four source texels (eight values) give two outputs.
    for (; i + 2 <= outWidth; i += 2) {
      const __m128 a = load(4 * i), b = load(4 * i + 4);
      const __m128 left = _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 1, 0));
      const __m128 right = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 2, 3, 2));
      _mm_storeu_ps(out + 2 * i, _mm_mul_ps(_mm_add_ps(left, right), scale));
    }
  }
  for (; i < outWidth; ++i) {
    const __m128 sum = _mm_add_ps(loadTexel(2 * i * ch), loadTexel((2 * i + 1) * ch));
    StoreTexel(out + i * ch, ch, _mm_mul_ps(sum, scale));
  }
}

// One output row averaging two source rows value by value.
void RowPairsRow(std::size_t values, const float* r0, const float* r1, float* out) {
  const __m128 half = _mm_set1_ps(0.5f);
  std::size_t i = 0;
  for (; i + 4 <= values; i += 4)
    _mm_storeu_ps(out + i,
                  _mm_mul_ps(_mm_add_ps(_mm_loadu_ps(r0 + i), _mm_loadu_ps(r1 + i)), half));
  for (; i < values; ++i) out[i] = (r0[i] + r1[i]) * 0.5f;
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
  for (std::size_t j = 0; j < outHeight; ++j) {
    const float* r0 = source + (axes.height ? 2 * j : j) * row;
    const float* r1 = r0 + row;
    float* out = destination + j * outRow;
    if (!axes.width) {
      if (axes.height)
        RowPairsRow(row, r0, r1, out);
      else
        for (std::size_t i = 0; i < row; ++i) out[i] = r0[i];
    } else if (ch >= 1 && ch <= 4) {
      if (axes.height)
        ColumnPairsRow<true>(ch, outWidth, r0, r1, out);
      else
        ColumnPairsRow<false>(ch, outWidth, r0, nullptr, out);
    } else {
      // Other channel counts value by value, in the same order of additions.
      for (std::size_t i = 0; i < outWidth; ++i)
        for (std::size_t k = 0, x0 = 2 * i * ch, x1 = x0 + ch; k < ch; ++k)
          out[i * ch + k] = axes.height
                                ? ((r0[x0 + k] + r1[x0 + k]) + (r0[x1 + k] + r1[x1 + k])) * 0.25f
                                : (r0[x0 + k] + r0[x1 + k]) * 0.5f;
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
