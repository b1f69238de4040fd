#include "mapengine/bspline_weights.h"

namespace veskor {

alignas(16) float BSplineWeightTable[kBSplineWeightEntries][4];

float* BSplineWeights(float t, float* out) {
  constexpr double k = 0.16666667f;
  const double x = t, u = 1.0 - x;
  const double x2 = x * x, x3 = x2 * x;
  out[0] = static_cast<float>(u * u * u * k);
  out[1] = static_cast<float>((3.0 * x3 - 6.0 * x2 + 4.0) * k);
  out[2] = static_cast<float>((3.0 * (x2 + x) - 3.0 * x3 + 1.0) * k);
  out[3] = static_cast<float>(x3 * k);
  return out;
}

void PrecomputeBSplineWeights() {
  for (std::uint32_t n = 0; n < kBSplineLevels; ++n) {
    const float s = 1.0f / static_cast<float>(1u << n);
    for (std::uint32_t i = 0; i <= (1u << n); ++i)
      BSplineWeights(static_cast<float>(double{static_cast<float>(i)} * s),
                     BSplineWeightTable[BSplineWeightIndex(i, n)]);
  }
}

void BSplineWeightEntry(std::uint32_t i, std::uint32_t n, const float** out) {
  *out = BSplineWeightTable[BSplineWeightIndex(i, n)];
}

}  // namespace veskor
