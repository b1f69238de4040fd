// The reciprocal square-root estimate of the SSE members (KernelInvSqrt, KernelNormalize3,
// KernelTransformNormal, GridDiagonalNormals). The instruction set promises only a relative
// error within 1.5 x 2^-12 (kInvSqrtEstimateBound), and each processor model gives values of its
// own inside that bound.
// Besides the processor's estimate, each of these members comes at either end of the bound,
// which FillKernelTable puts in their entries when VESKOR_RSQRT_ESTIMATE asks: tests run so show
// that no result hangs on one processor's last bits.
#pragma once

#include <xmmintrin.h>

#include <cstdint>

#include "mapengine/kernel_table.h"

namespace veskor {

enum class InvSqrtEstimate : std::uint8_t { kProcessor, kLowEnd, kHighEnd };

// 1 / sqrt(s) times (1 - kInvSqrtEstimateBound) (high false) or (1 + kInvSqrtEstimateBound)
// (high true), as the float nearest to that value that is still within the bound. Outside the
// normal positive floats it gives what the processor's estimate gives: infinity of the sign of
// s for a zero or subnormal s, 0 for infinity and a NaN for a negative s or a NaN.
float InvSqrtAtBoundEnd(float s, bool high);

// The estimate of four lanes.
template <InvSqrtEstimate kEstimate>
inline __m128 EstimateInvSqrt(__m128 s) {
  if constexpr (kEstimate == InvSqrtEstimate::kProcessor) {
    return _mm_rsqrt_ps(s);
  } else {
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, s);
    for (float& lane : lanes)
      lane = InvSqrtAtBoundEnd(lane, kEstimate == InvSqrtEstimate::kHighEnd);
    return _mm_load_ps(lanes);
  }
}

namespace sse {

// The SSE members that use the estimate, with the estimate given; sse::KernelInvSqrt and the
// others are the kProcessor instances.
template <InvSqrtEstimate kEstimate>
float KernelInvSqrtWith(float x);
template <InvSqrtEstimate kEstimate>
void KernelNormalize3With(float* v);
template <InvSqrtEstimate kEstimate>
void KernelTransformNormalWith(float* destination, const float* m, const float* direction);
template <InvSqrtEstimate kEstimate>
void GridDiagonalNormalsWith(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                             const float* z, float* nx, float* ny, float* nz);

}  // namespace sse
}  // namespace veskor
