// SSE members of the math entries: single precision, scalar SSE instructions.
#include <xmmintrin.h>

#include <limits>

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
float KernelInvSqrt(float x) { return _mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(x))); }

namespace {

// z^2 + y^2 + x^2, summed in that order.
__m128 SquaredLength(float x, float y, float z) {
  const __m128 vx = _mm_set_ss(x), vy = _mm_set_ss(y), vz = _mm_set_ss(z);
  return _mm_add_ss(_mm_add_ss(_mm_mul_ss(vz, vz), _mm_mul_ss(vy, vy)), _mm_mul_ss(vx, vx));
}

// A vector whose squared length is zero (or too small for the estimate, which is then
// infinite) stays as it is instead of turning into NaN.
void ScaleByInvLength(float* v) {
  const __m128 s = SquaredLength(v[0], v[1], v[2]);
  if (_mm_cvtss_f32(s) < std::numeric_limits<float>::min()) return;
  const float k = _mm_cvtss_f32(_mm_rsqrt_ss(s));
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

void KernelNormalize3(float* v) { ScaleByInvLength(v); }

void KernelMat4Vec4(float* destination, const float* m, const float* source) {
  const __m128 fourth = _mm_mul_ps(_mm_loadu_ps(m + 12), _mm_set1_ps(source[3]));
  _mm_storeu_ps(destination, Columns(m, source[0], source[1], source[2], fourth));
}

void KernelTransformPoint(float* destination, const float* m, const float* point) {
  Store3(destination, Columns(m, point[0], point[1], point[2], _mm_loadu_ps(m + 12)));
}

void KernelTransformNormal(float* destination, const float* m, const float* direction) {
  Store3(destination, Columns(m, direction[0], direction[1], direction[2], _mm_setzero_ps()));
  ScaleByInvLength(destination);
}

}  // namespace veskor::sse
