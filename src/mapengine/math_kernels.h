// Members of the math entries (0-9) of the kernel table. Callers use the table.
#pragma once

#include "mapengine/kernel_table.h"

namespace veskor::plain {
float KernelMin(float a, float b);
float KernelMax(float a, float b);
float KernelClamp01(float x);
float KernelSqrt(float x);
float KernelInvSqrt(float x);
float KernelLength3(const float* v);
void KernelNormalize3(float* v);
void KernelMat4Vec4(float* destination, const float* m, const float* source);
void KernelTransformPoint(float* destination, const float* m, const float* point);
void KernelTransformNormal(float* destination, const float* m, const float* direction);
}  // namespace veskor::plain

namespace veskor::sse {
float KernelMin(float a, float b);
float KernelMax(float a, float b);
float KernelClamp01(float x);
float KernelSqrt(float x);
float KernelInvSqrt(float x);  // hardware estimate, relative error <= 1.5 * 2^-12
float KernelLength3(const float* v);
void KernelNormalize3(float* v);  // always scales, by the reciprocal square-root estimate
void KernelMat4Vec4(float* destination, const float* m, const float* source);
void KernelTransformPoint(float* destination, const float* m, const float* point);
void KernelTransformNormal(float* destination, const float* m, const float* direction);
}  // namespace veskor::sse

namespace veskor {

// Fills the math entries with the plain or the SSE members. Constant-evaluable, so the program's
// table holds the plain members from static initialisation on.
constexpr void SetMathKernels(KernelTable& table, bool sse) {
  table.KernelMin = sse ? sse::KernelMin : plain::KernelMin;
  table.KernelMax = sse ? sse::KernelMax : plain::KernelMax;
  table.KernelClamp01 = sse ? sse::KernelClamp01 : plain::KernelClamp01;
  table.KernelSqrt = sse ? sse::KernelSqrt : plain::KernelSqrt;
  table.KernelInvSqrt = sse ? sse::KernelInvSqrt : plain::KernelInvSqrt;
  table.KernelLength3 = sse ? sse::KernelLength3 : plain::KernelLength3;
  table.KernelNormalize3 = sse ? sse::KernelNormalize3 : plain::KernelNormalize3;
  table.KernelMat4Vec4 = sse ? sse::KernelMat4Vec4 : plain::KernelMat4Vec4;
  table.KernelTransformPoint = sse ? sse::KernelTransformPoint : plain::KernelTransformPoint;
  table.KernelTransformNormal = sse ? sse::KernelTransformNormal : plain::KernelTransformNormal;
}

}  // namespace veskor
