// The SSE copy of the weight table, computed four lanes at a time in single precision with
// the rounding the SSE members use (toward negative infinity). This file is built with
// -frounding-math so that the compiler does not fold the arithmetic at the default rounding.
#include <xmmintrin.h>

#include "mapengine/bspline_weights.h"
#include "platform/cpu.h"

namespace veskor {

alignas(16) float BSplineWeightTableSse[kBSplineWeightEntries][4];

void BSplineWeightsSse(float t, float* out) {
  ScopedRoundDown roundDown;
  const __m128 sixth = _mm_set1_ps(1.0f / 6.0f);
  const __m128 one = _mm_set1_ps(1.0f);
  const __m128 vt = _mm_set1_ps(t);
  const __m128 t2 = _mm_mul_ps(vt, vt);
  const __m128 t3 = _mm_mul_ps(t2, vt);
  const __m128 u = _mm_sub_ps(one, vt);
  const __m128 u3 = _mm_mul_ps(_mm_mul_ps(u, u), u);
  const __m128 three = _mm_set1_ps(3.0f);
  const __m128 threeT3 = _mm_mul_ps(three, t3);
  // (3t^3 - 6t^2 + 4) and (-3t^3 + 3t^2 + 3t + 1)
  const __m128 w1 = _mm_add_ps(_mm_sub_ps(threeT3, _mm_mul_ps(_mm_set1_ps(6.0f), t2)),
                               _mm_set1_ps(4.0f));
  const __m128 w2 = _mm_add_ps(
      _mm_add_ps(_mm_add_ps(_mm_sub_ps(_mm_setzero_ps(), threeT3), _mm_mul_ps(three, t2)),
                 _mm_mul_ps(three, vt)),
      one);
  // Lanes: u^3, w1, w2, t^3 (all four lanes of each input hold the same value).
  const __m128 lo = _mm_unpacklo_ps(u3, w1);   // u3 w1 u3 w1
  const __m128 hi = _mm_unpacklo_ps(w2, t3);   // w2 t3 w2 t3
  const __m128 lanes = _mm_movelh_ps(lo, hi);  // u3 w1 w2 t3
  _mm_store_ps(out, _mm_mul_ps(lanes, sixth));
}

void PrecomputeBSplineWeightsSse() {
  for (std::uint32_t n = 0; n < kBSplineLevels; ++n) {
    const float s = 1.0f / static_cast<float>(1u << n);
    for (std::uint32_t i = 0; i <= (1u << n); ++i)
      BSplineWeightsSse(static_cast<float>(i) * s, BSplineWeightTableSse[BSplineWeightIndex(i, n)]);
  }
}

}  // namespace veskor
