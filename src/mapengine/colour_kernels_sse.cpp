// SSE members of the point-set reductions. Points come four at a time (12 values a step, one
// step prefetched ahead, aligned loads when the array starts on a 32-byte boundary), the rest
// one by one. Arithmetic is single precision rounded toward negative infinity, so sums differ
// from the plain members' by the order of summation and the rounding direction.
#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstdint>
#include <cstring>

#include "mapengine/colour_kernels.h"
#include "platform/cpu.h"

namespace veskor::sse {

namespace {

constexpr std::uint32_t kPointsPerStep = 4;

bool StartsOn32Bytes(const void* p) { return (reinterpret_cast<std::uintptr_t>(p) & 31) == 0; }

void Prefetch(const void* p) { _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0); }

// Four points as three vectors: (x0 y0 z0 x1) (y1 z1 x2 y2) (z2 x3 y3 z3).
struct Step {
  __m128 v0, v1, v2;
};

template <bool kAligned>
Step LoadStep(const float* p) {
  Prefetch(p + 12 * 4);
  if constexpr (kAligned) return {_mm_load_ps(p), _mm_load_ps(p + 4), _mm_load_ps(p + 8)};
  return {_mm_loadu_ps(p), _mm_loadu_ps(p + 4), _mm_loadu_ps(p + 8)};
}

// Twelve bytes widened to floats and scaled by 1/255; reads exactly 12 bytes.
template <bool kAligned>
Step LoadStep(const std::uint8_t* p) {
  Prefetch(p + 12 * 4);
  std::int32_t tail;
  std::memcpy(&tail, p + 8, 4);
  const __m128i bytes = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                           _mm_cvtsi32_si128(tail));
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = _mm_unpacklo_epi8(bytes, zero);
  const __m128i hi = _mm_unpackhi_epi8(bytes, zero);
  const __m128 k = _mm_set1_ps(kByteToUnit);
  return {_mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero)), k),
          _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero)), k),
          _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero)), k)};
}

float Unit(float p) { return p; }
float Unit(std::uint8_t p) { return static_cast<float>(p) * kByteToUnit; }

// A 3-vector repeated along the lanes of one step: (c0 c1 c2 c0) (c1 c2 c0 c1) (c2 c0 c1 c2).
Step Pattern(const float* c) {
  return {_mm_setr_ps(c[0], c[1], c[2], c[0]), _mm_setr_ps(c[1], c[2], c[0], c[1]),
          _mm_setr_ps(c[2], c[0], c[1], c[2])};
}

// The lanes of a step stored back as four points; t[3i + j] is component j of point i.
void StoreStep(const Step& s, float* t) {
  _mm_storeu_ps(t, s.v0);
  _mm_storeu_ps(t + 4, s.v1);
  _mm_storeu_ps(t + 8, s.v2);
}

// Runs `body` over the whole steps with aligned or unaligned loads; returns the points done.
template <typename Pixel, typename Body>
std::uint32_t ForSteps(std::uint32_t n, const Pixel* points, Body body) {
  const std::uint32_t steps = n / kPointsPerStep;
  if (StartsOn32Bytes(points)) {
    for (std::uint32_t i = 0; i < steps; ++i) body(LoadStep<true>(points + 12 * i));
  } else {
    for (std::uint32_t i = 0; i < steps; ++i) body(LoadStep<false>(points + 12 * i));
  }
  return steps * kPointsPerStep;
}

template <typename Pixel>
void MinOver(std::uint32_t n, const Pixel* points, float* out) {
  ScopedRoundDown roundDown;
  Step acc = Pattern(out);
  const std::uint32_t done = ForSteps(n, points, [&acc](const Step& s) {
    acc.v0 = _mm_min_ps(acc.v0, s.v0);
    acc.v1 = _mm_min_ps(acc.v1, s.v1);
    acc.v2 = _mm_min_ps(acc.v2, s.v2);
  });
  float t[12];
  StoreStep(acc, t);
  for (int j = 0; j < 3; ++j)
    for (int i = 1; i < 4; ++i)
      if (!(t[j] < t[3 * i + j])) t[j] = t[3 * i + j];
  for (std::uint32_t i = done; i < n; ++i)
    for (int j = 0; j < 3; ++j) {
      const float v = Unit(points[3 * i + j]);
      if (!(t[j] < v)) t[j] = v;
    }
  for (int j = 0; j < 3; ++j) out[j] = t[j];
}

// Adds the four lanes of each component and the remaining points to out.
template <typename Pixel, typename Term>
void FinishSum(const Step& acc, std::uint32_t done, std::uint32_t n, const Pixel* points, Term term,
               float* out) {
  float t[12];
  StoreStep(acc, t);
  float sum[3];
  for (int j = 0; j < 3; ++j) sum[j] = (t[j] + t[3 + j]) + (t[6 + j] + t[9 + j]);
  for (std::uint32_t i = done; i < n; ++i)
    for (int j = 0; j < 3; ++j) sum[j] += term(Unit(points[3 * i + j]), j);
  for (int j = 0; j < 3; ++j) out[j] += sum[j];
}

template <typename Pixel>
void SumOffsets(std::uint32_t n, const Pixel* points, const float* base, float* out) {
  ScopedRoundDown roundDown;
  const Step b = Pattern(base);
  Step acc{_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
  const std::uint32_t done = ForSteps(n, points, [&](const Step& s) {
    acc.v0 = _mm_add_ps(acc.v0, _mm_sub_ps(s.v0, b.v0));
    acc.v1 = _mm_add_ps(acc.v1, _mm_sub_ps(s.v1, b.v1));
    acc.v2 = _mm_add_ps(acc.v2, _mm_sub_ps(s.v2, b.v2));
  });
  FinishSum(
      acc, done, n, points, [base](float p, int j) { return p - base[j]; }, out);
}

template <typename Pixel>
void SumDeviations(std::uint32_t n, const Pixel* points, const float* base, const float* mean,
                   float* out) {
  ScopedRoundDown roundDown;
  const Step b = Pattern(base), m = Pattern(mean);
  const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  auto deviation = [&](__m128 v, __m128 bv, __m128 mv) {
    return _mm_and_ps(_mm_sub_ps(_mm_sub_ps(v, bv), mv), absMask);
  };
  Step acc{_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
  const std::uint32_t done = ForSteps(n, points, [&](const Step& s) {
    acc.v0 = _mm_add_ps(acc.v0, deviation(s.v0, b.v0, m.v0));
    acc.v1 = _mm_add_ps(acc.v1, deviation(s.v1, b.v1, m.v1));
    acc.v2 = _mm_add_ps(acc.v2, deviation(s.v2, b.v2, m.v2));
  });
  auto term = [base, mean](float p, int j) {
    const float d = (p - base[j]) - mean[j];
    return d < 0.0f ? -d : d;
  };
  FinishSum(acc, done, n, points, term, out);
}

// ratios_0 = max(ratios_0, e_0); where e_0 > 1e-5 also ratios_k = min(ratios_k, e_k / e_0),
// four points at a time in separate lanes, folded at the end.
template <typename Pixel>
void AxisRatios(std::uint32_t n, const Pixel* points, const float* base, const std::uint32_t* order,
                float* ratios) {
  ScopedRoundDown roundDown;
  const std::uint32_t o0 = order[0], o1 = order[1], o2 = order[2];
  const __m128 b0 = _mm_set1_ps(base[o0]), b1 = _mm_set1_ps(base[o1]), b2 = _mm_set1_ps(base[o2]);
  const __m128 threshold = _mm_set1_ps(1e-5f);
  __m128 r0 = _mm_set1_ps(ratios[0]), r1 = _mm_set1_ps(ratios[1]), r2 = _mm_set1_ps(ratios[2]);
  const std::uint32_t done = ForSteps(n, points, [&](const Step& s) {
    // Components of the four points: x = (x0 x1 x2 x3) and so on.
    const __m128 t = _mm_shuffle_ps(s.v1, s.v2, _MM_SHUFFLE(2, 1, 3, 2));    // x2 y2 x3 y3
    const __m128 u = _mm_shuffle_ps(s.v0, s.v1, _MM_SHUFFLE(1, 0, 2, 1));    // y0 z0 y1 z1
    const __m128 c[3] = {_mm_shuffle_ps(s.v0, t, _MM_SHUFFLE(2, 0, 3, 0)),   // x
                         _mm_shuffle_ps(u, t, _MM_SHUFFLE(3, 1, 2, 0)),      // y
                         _mm_shuffle_ps(u, s.v2, _MM_SHUFFLE(3, 0, 3, 1))};  // z
    const __m128 e0 = _mm_sub_ps(c[o0], b0);
    const __m128 e1 = _mm_sub_ps(c[o1], b1);
    const __m128 e2 = _mm_sub_ps(c[o2], b2);
    r0 = _mm_max_ps(r0, e0);
    const __m128 use = _mm_cmpgt_ps(e0, threshold);
    const __m128 m1 = _mm_min_ps(r1, _mm_div_ps(e1, e0));
    const __m128 m2 = _mm_min_ps(r2, _mm_div_ps(e2, e0));
    r1 = _mm_or_ps(_mm_and_ps(use, m1), _mm_andnot_ps(use, r1));
    r2 = _mm_or_ps(_mm_and_ps(use, m2), _mm_andnot_ps(use, r2));
  });
  float l0[4], l1[4], l2[4];
  _mm_storeu_ps(l0, r0);
  _mm_storeu_ps(l1, r1);
  _mm_storeu_ps(l2, r2);
  float q0 = l0[0], q1 = l1[0], q2 = l2[0];
  for (int i = 1; i < 4; ++i) {
    if (!(q0 > l0[i])) q0 = l0[i];
    if (!(q1 < l1[i])) q1 = l1[i];
    if (!(q2 < l2[i])) q2 = l2[i];
  }
  for (std::uint32_t i = done; i < n; ++i) {
    const Pixel* p = points + 3 * i;
    const float e0 = Unit(p[o0]) - base[o0];
    const float e1 = Unit(p[o1]) - base[o1];
    const float e2 = Unit(p[o2]) - base[o2];
    if (!(q0 > e0)) q0 = e0;
    if (e0 > 1e-5f) {
      const float k1 = e1 / e0, k2 = e2 / e0;
      if (!(q1 < k1)) q1 = k1;
      if (!(q2 < k2)) q2 = k2;
    }
  }
  ratios[0] = q0;
  ratios[1] = q1;
  ratios[2] = q2;
}

}  // namespace

void PointArrayMinMax(std::uint32_t n, const std::uint8_t* points, float* out) {
  MinOver(n, points, out);
}
void PointArrayMinMax2(std::uint32_t n, const float* points, float* out) {
  MinOver(n, points, out);
}
void PointArrayMinMax4(std::uint32_t n, const float* points, const float* base, float* out) {
  SumOffsets(n, points, base, out);
}
void PointArrayMinMax6(std::uint32_t n, const float* points, const float* base, const float* mean,
                       float* out) {
  SumDeviations(n, points, base, mean, out);
}
void PointArrayMinMax7(std::uint32_t n, const std::uint8_t* points, const float* base,
                       const std::uint32_t* order, float* ratios) {
  AxisRatios(n, points, base, order, ratios);
}
void PointArrayMinMax8(std::uint32_t n, const float* points, const float* base,
                       const std::uint32_t* order, float* ratios) {
  AxisRatios(n, points, base, order, ratios);
}

}  // namespace veskor::sse
