// SSE members of the math entries: single precision, scalar SSE instructions.
#include <xmmintrin.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "mapengine/inv_sqrt_estimate.h"
#include "mapengine/math_kernels.h"

namespace veskor::sse {

float KernelMin(float a, float b) { return _mm_cvtss_f32(_mm_min_ss(_mm_set_ss(a), _mm_set_ss(b))); }
float KernelMax(float a, float b) { return _mm_cvtss_f32(_mm_max_ss(_mm_set_ss(a), _mm_set_ss(b))); }

float KernelClamp01(float x) {
  // maxss gives its second operand for a NaN, so a NaN becomes 0.
  const __m128 v = _mm_max_ss(_mm_set_ss(x), _mm_setzero_ps());
  return _mm_cvtss_f32(_mm_min_ss(v, _mm_set_ss(1.0f)));
}

float KernelSqrt(float x) { return _mm_cvtss_f32(_mm_sqrt_ss(_mm_set_ss(x))); }
template <InvSqrtEstimate kEstimate>
float KernelInvSqrtWith(float x) {
  if constexpr (kEstimate == InvSqrtEstimate::kProcessor)
    return _mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(x)));
  else
    return InvSqrtAtBoundEnd(x, kEstimate == InvSqrtEstimate::kHighEnd);
}

float KernelInvSqrt(float x) { return KernelInvSqrtWith<InvSqrtEstimate::kProcessor>(x); }

namespace {

// z^2 + y^2 + x^2, summed in that order.
__m128 SquaredLength(float x, float y, float z) {
  const __m128 vx = _mm_set_ss(x), vy = _mm_set_ss(y), vz = _mm_set_ss(z);
  return _mm_add_ss(_mm_add_ss(_mm_mul_ss(vz, vz), _mm_mul_ss(vy, vy)), _mm_mul_ss(vx, vx));
}

// A vector whose squared length is zero (or too small for the estimate, which is then
// infinite) stays as it is instead of turning into NaN.
template <InvSqrtEstimate kEstimate>
void ScaleByInvLength(float* v) {
  const __m128 s = SquaredLength(v[0], v[1], v[2]);
  if (_mm_cvtss_f32(s) < std::numeric_limits<float>::min()) return;
  const float k = KernelInvSqrtWith<kEstimate>(_mm_cvtss_f32(s));
  const __m128 vk = _mm_set_ss(k);
  for (int i = 0; i < 3; ++i) v[i] = _mm_cvtss_f32(_mm_mul_ss(_mm_set_ss(v[i]), vk));
}

// (c0 x + c1 y) + (c2 z + c3 w) for the four rows at once.
__m128 Columns(const float* m, float x, float y, float z, __m128 fourth) {
  const __m128 a = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(m), _mm_set1_ps(x)),
                              _mm_mul_ps(_mm_loadu_ps(m + 4), _mm_set1_ps(y)));
  const __m128 b = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(m + 8), _mm_set1_ps(z)), fourth);
  return _mm_add_ps(a, b);
}

void Store3(float* destination, __m128 v) {
  alignas(16) float r[4];
  _mm_store_ps(r, v);
  destination[0] = r[0];
  destination[1] = r[1];
  destination[2] = r[2];
}

}  // namespace

float KernelLength3(const float* v) {
  return _mm_cvtss_f32(_mm_sqrt_ss(SquaredLength(v[0], v[1], v[2])));
}

template <InvSqrtEstimate kEstimate>
void KernelNormalize3With(float* v) {
  ScaleByInvLength<kEstimate>(v);
}

void KernelNormalize3(float* v) { KernelNormalize3With<InvSqrtEstimate::kProcessor>(v); }

void KernelMat4Vec4(float* destination, const float* m, const float* source) {
  const __m128 fourth = _mm_mul_ps(_mm_loadu_ps(m + 12), _mm_set1_ps(source[3]));
  _mm_storeu_ps(destination, Columns(m, source[0], source[1], source[2], fourth));
}

void KernelTransformPoint(float* destination, const float* m, const float* point) {
  Store3(destination, Columns(m, point[0], point[1], point[2], _mm_loadu_ps(m + 12)));
}

template <InvSqrtEstimate kEstimate>
void KernelTransformNormalWith(float* destination, const float* m, const float* direction) {
  Store3(destination, Columns(m, direction[0], direction[1], direction[2], _mm_setzero_ps()));
  ScaleByInvLength<kEstimate>(destination);
}

void KernelTransformNormal(float* destination, const float* m, const float* direction) {
  KernelTransformNormalWith<InvSqrtEstimate::kProcessor>(destination, m, direction);
}

template float KernelInvSqrtWith<InvSqrtEstimate::kLowEnd>(float);
template float KernelInvSqrtWith<InvSqrtEstimate::kHighEnd>(float);
template void KernelNormalize3With<InvSqrtEstimate::kLowEnd>(float*);
template void KernelNormalize3With<InvSqrtEstimate::kHighEnd>(float*);
template void KernelTransformNormalWith<InvSqrtEstimate::kLowEnd>(float*, const float*,
                                                                  const float*);
template void KernelTransformNormalWith<InvSqrtEstimate::kHighEnd>(float*, const float*,
                                                                   const float*);

}  // namespace veskor::sse

namespace veskor {

float InvSqrtAtBoundEnd(float s, bool high) {
  if (std::isnan(s)) return s;
  if (std::fabs(s) < FLT_MIN) return std::copysign(std::numeric_limits<float>::infinity(), s);
  if (s < 0.0f) return std::numeric_limits<float>::quiet_NaN();
  if (std::isinf(s)) return 0.0f;
  const double exact = 1.0 / std::sqrt(double{s});
  const double bound = kInvSqrtEstimateBound * exact;
  float end = static_cast<float>(high ? exact + bound : exact - bound);
  if (std::fabs(double{end} - exact) > bound)
    end = std::nextafter(end, static_cast<float>(exact));
  return end;
}

}  // namespace veskor
