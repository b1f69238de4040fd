// The uniform cubic B-spline weight tables: the four basis values at t = i / 2^n for the
// levels n = 0 to 8, built once by FillKernelTable. The plain table serves the plain members of
// the B-spline kernels, the SSE copy (same content up to rounding, one 16-byte vector per
// entry) their SSE members.
#pragma once

#include <cstdint>

namespace veskor {

inline constexpr std::uint32_t kBSplineLevels = 9;          // n = 0 .. 8
inline constexpr std::uint32_t kBSplineWeightEntries = 520;  // sum of 2^n + 1

// Level n holds 2^n + 1 entries and starts at entry 2^n - 1 + n.
constexpr std::uint32_t BSplineWeightIndex(std::uint32_t i, std::uint32_t n) {
  return (1u << n) - 1u + n + i;
}

alignas(16) extern float BSplineWeightTable[kBSplineWeightEntries][4];
alignas(16) extern float BSplineWeightTableSse[kBSplineWeightEntries][4];

// out = ((1-t)^3 k, (3t^3 - 6t^2 + 4) k, (3(t^2 + t) - 3t^3 + 1) k, t^3 k), k = 0.16666667f,
// each computed in double and rounded once; returns out.
float* BSplineWeights(float t, float* out);
// Fills BSplineWeightTable level by level.
void PrecomputeBSplineWeights();
// *out = the address of entry (i, n) of the plain table.
void BSplineWeightEntry(std::uint32_t i, std::uint32_t n, const float** out);

// The same four weights in single precision, rounded down, each product taken with the float
// constant 1/6; out is 16-byte aligned.
void BSplineWeightsSse(float t, float* out);
// Fills BSplineWeightTableSse level by level.
void PrecomputeBSplineWeightsSse();

}  // namespace veskor
