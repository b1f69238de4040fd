// Plain members of the math entries. Intermediate results are kept in double (as the x87
// unit kept them in extended precision) and rounded to float once, on return or store.
#include <cmath>

#include "mapengine/clamp_float.h"
#include "mapengine/math_kernels.h"

namespace veskor {

namespace plain {

float KernelMin(float a, float b) { return a < b ? a : b; }
float KernelMax(float a, float b) { return a > b ? a : b; }
float KernelClamp01(float x) { return Saturate(x); }
float KernelSqrt(float x) { return static_cast<float>(std::sqrt(double{x})); }
float KernelInvSqrt(float x) { return static_cast<float>(1.0 / std::sqrt(double{x})); }

float KernelLength3(const float* v) {
  const double x = v[0], y = v[1], z = v[2];
  return static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

namespace {

// Scales v to unit length unless its squared length is already within 1e-5 of 1. A zero
// vector has no direction and stays as it is (scaling it would give NaN).
void NormalizeInPlace(float* v) {
  const double x = v[0], y = v[1], z = v[2];
  const double s = x * x + y * y + z * z;
  if (std::fabs(1.0 - s) <= double{1e-5f} || s == 0.0) return;
  const double k = 1.0 / std::sqrt(s);
  v[0] = static_cast<float>(x * k);
  v[1] = static_cast<float>(y * k);
  v[2] = static_cast<float>(z * k);
}

}  // namespace

void KernelNormalize3(float* v) { NormalizeInPlace(v); }

void KernelMat4Vec4(float* destination, const float* m, const float* source) {
  const double x = source[0], y = source[1], z = source[2], w = source[3];
  double r[4];
  for (int i = 0; i < 4; ++i) r[i] = m[i] * x + m[4 + i] * y + m[8 + i] * z + m[12 + i] * w;
  for (int i = 0; i < 4; ++i) destination[i] = static_cast<float>(r[i]);
}

void KernelTransformPoint(float* destination, const float* m, const float* point) {
  const double x = point[0], y = point[1], z = point[2];
  double r[3];
  for (int i = 0; i < 3; ++i) r[i] = m[i] * x + m[4 + i] * y + m[8 + i] * z + m[12 + i];
  for (int i = 0; i < 3; ++i) destination[i] = static_cast<float>(r[i]);
}

void KernelTransformNormal(float* destination, const float* m, const float* direction) {
  const double x = direction[0], y = direction[1], z = direction[2];
  double r[3];
  for (int i = 0; i < 3; ++i) r[i] = m[i] * x + m[4 + i] * y + m[8 + i] * z;
  for (int i = 0; i < 3; ++i) destination[i] = static_cast<float>(r[i]);
  NormalizeInPlace(destination);
}

}  // namespace plain

}  // namespace veskor
