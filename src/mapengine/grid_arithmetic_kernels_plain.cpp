// Plain members of the grid arithmetic entries, and the members shared by both paths.
// Intermediate results are kept in double (as the x87 unit kept them in extended precision)
// and rounded to float once, when stored.
#include <bit>
#include <cmath>
#include <cstdint>

#include "mapengine/clamp_float.h"
#include "mapengine/grid_arithmetic_kernels.h"

namespace veskor {

namespace {

using u8 = std::uint8_t;

// 0 below 0 or for a NaN, 1 above 1, else x; without branches (the steps meet values on both
// sides of their edges in no predictable order).
double Clamp01(double x) {
  const std::uint64_t inRange = -static_cast<std::uint64_t>((x >= 0.0) & (x <= 1.0));
  const std::uint64_t above = -static_cast<std::uint64_t>(x > 1.0);
  return std::bit_cast<double>((std::bit_cast<std::uint64_t>(x) & inRange) |
                               (std::bit_cast<std::uint64_t>(1.0) & above));
}

// The floor of x, except that a negative x within 1e-5 below an integer keeps that integer.
double FloorTol(double x) {
  double n = std::trunc(x);
  if (x < 0.0 && n - x > double{1e-5f}) n -= 1.0;
  return n;
}

template <class Op>
void EachValue(u8 a, u8 b, float* d, Op op) {
  const std::uint32_t n = GridValueCount(a, b);
  for (std::uint32_t i = 0; i < n; ++i) d[i] = static_cast<float>(op(i));
}

}  // namespace

namespace plain {

// --- Entries with one member for both paths ---------------------------------------------------

float* KernelDot2(const float* p, const float* q, float* out) {
  *out = static_cast<float>(double{p[0]} * q[0] + double{p[1]} * q[1]);
  return out;
}

void KernelLerp(u8 n, float t, const float* ga, const float* gb, float* d) {
  const std::uint32_t count = (1u << n) + 1u;
  const double s = 1.0 - t;
  for (std::uint32_t i = 0; i < count; ++i) d[i] = static_cast<float>(s * ga[i] + double{t} * gb[i]);
}

void GridStep(u8 a, u8 b, const float* ga, float e, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return Clamp01((double{ga[i]} - e) * double{1e35f}); });
}

namespace {
// r = 1 / (hi - lo) rounded to float; infinite for lo = hi, which makes the step hard.
float StepFactor(float lo, float hi) {
  return static_cast<float>(1.0 / (double{hi} - double{lo}));
}
}  // namespace

void GridStepLinear(u8 a, u8 b, const float* ga, float lo, float hi, float* d) {
  const double r = StepFactor(lo, hi);
  EachValue(a, b, d, [&](std::uint32_t i) { return Clamp01((double{ga[i]} - lo) * r); });
}

void GridStepSmooth(u8 a, u8 b, const float* ga, float lo, float hi, float* d) {
  const double r = StepFactor(lo, hi);
  EachValue(a, b, d, [&](std::uint32_t i) {
    const double t = Clamp01((double{ga[i]} - lo) * r);
    return (3.0 - 2.0 * t) * t * t;
  });
}

void GridAbs(u8 a, u8 b, const float* ga, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return std::fabs(ga[i]); });
}

void GridOneMinus(u8 a, u8 b, const float* ga, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return 1.0 - ga[i]; });
}

// Ordered comparisons: a NaN operand fails both tests, so the later operand wins.
void GridMin(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return ga[i] < gb[i] ? ga[i] : gb[i]; });
}

void GridMin3(u8 a, u8 b, const float* ga, const float* gb, const float* gc, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) {
    const float m = ga[i] < gb[i] ? ga[i] : gb[i];
    return m < gc[i] ? m : gc[i];
  });
}

void GridMax(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return ga[i] > gb[i] ? ga[i] : gb[i]; });
}

void GridMax3(u8 a, u8 b, const float* ga, const float* gb, const float* gc, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) {
    const float m = ga[i] > gb[i] ? ga[i] : gb[i];
    return m > gc[i] ? m : gc[i];
  });
}

void GridMinScalar(u8 a, u8 b, const float* ga, float s, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return ga[i] < s ? ga[i] : s; });
}

void GridMaxScalar(u8 a, u8 b, const float* ga, float s, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return ga[i] > s ? ga[i] : s; });
}

void GridClampRange(u8 a, u8 b, float* g, float lo, float hi) {
  EachValue(a, b, g, [&](std::uint32_t i) { return ClampFloat(g[i], lo, hi); });
}

void GridRepeat(u8 a, u8 b, const float* ga, float lo, float hi, float* d) {
  const float r = static_cast<float>(double{hi} - double{lo});
  const float q = static_cast<float>(1.0 / double{r});
  EachValue(a, b, d, [&](std::uint32_t i) {
    const double t = (double{ga[i]} - lo) * q;
    return (t - FloorTol(t)) * r + lo;
  });
}

void GridClamp01(u8 a, u8 b, float* g) {
  EachValue(a, b, g, [&](std::uint32_t i) { return Saturate(g[i]); });
}

void GridFrac(u8 a, u8 b, const float* ga, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return double{ga[i]} - FloorTol(ga[i]); });
}

namespace {
// Thresholds on the 2^a x 2^b interior of cell-layout arrays; the border stays as it is.
template <class Test>
void CellInterior(u8 a, u8 b, const float* ga, float* d, Test test) {
  const std::uint32_t stride = (1u << a) + 2u;
  for (std::uint32_t j = 1; j <= (1u << b); ++j)
    for (std::uint32_t i = 1; i <= (1u << a); ++i)
      d[j * stride + i] = test(ga[j * stride + i]) ? 1.0f : 0.0f;
}
}  // namespace

void GridThreshold(float s, u8 a, u8 b, const float* ga, float* d) {
  CellInterior(a, b, ga, d, [&](float v) { return v > s; });
}

void GridThreshold2(float s, u8 a, u8 b, const float* ga, float* d) {
  CellInterior(a, b, ga, d, [&](float v) { return v < s; });
}

// --- Entries with an SSE member of their own ---------------------------------------------------

void GridMul(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return ga[i] * gb[i]; });
}

void GridMulScalar(u8 a, u8 b, const float* ga, float s, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return s * ga[i]; });
}

void GridDiv(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return ga[i] / gb[i]; });
}

void GridDivScalar(u8 a, u8 b, const float* ga, float s, float* d) {
  const float r = 1.0f / s;
  EachValue(a, b, d, [&](std::uint32_t i) { return ga[i] * r; });
}

void GridAdd(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return ga[i] + gb[i]; });
}

void GridAddScalar(u8 a, u8 b, const float* ga, float s, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return ga[i] + s; });
}

void GridSub(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return ga[i] - gb[i]; });
}

void GridSubScalar(u8 a, u8 b, const float* ga, float s, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return ga[i] - s; });
}

void GridScalarMinus(u8 a, u8 b, float s, const float* ga, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return s - ga[i]; });
}

void GridMulAdd(u8 a, u8 b, const float* ga, const float* gb, const float* gc, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return double{ga[i]} * gb[i] + gc[i]; });
}

void GridScaleAdd(u8 a, u8 b, const float* ga, float s, const float* gc, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return double{s} * ga[i] + gc[i]; });
}

void GridCompare(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return ga[i] < gb[i] ? 1.0 : 0.0; });
}

void GridCompare2(u8 a, u8 b, const float* ga, const float* gb, float* d) {
  EachValue(a, b, d, [&](std::uint32_t i) { return ga[i] > gb[i] ? 1.0 : 0.0; });
}

}  // namespace plain

}  // namespace veskor
