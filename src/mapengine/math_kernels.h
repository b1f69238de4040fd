// Members of the math entries (0-9) of the kernel table. Callers use the table.
#pragma once

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
