#include "geometry/cross_section.h"

#include <cmath>

namespace veskor {

float SweepPathParamOfIndex(const SweepPath& s, std::uint32_t i) {
  if (s.count == 0) return 0;
  return HalfToFloat(s.packedT[i % s.count]) + static_cast<float>(i / s.count);
}

float SweepPathLerpX(const SweepPath& s, std::uint32_t i, float t) {
  const std::uint32_t j = i + 1 < s.count ? i + 1 : 0;
  return (1 - t) * s.x[i] + t * s.x[j];
}

float SweepPathLerpY(const SweepPath& s, std::uint32_t i, float t) {
  const std::uint32_t j = i + 1 < s.count ? i + 1 : 0;
  return (1 - t) * s.y[i] + t * s.y[j];
}

void SweepPathMetrics(SweepPath& s, std::uint32_t open) {
  const std::uint32_t n = s.count;
  if (n == 0 || (open != 0 && n < 2)) return;
  const std::uint32_t first = open != 0 ? 1 : 0;
  const std::uint32_t last = open != 0 ? n - 2 : n - 1;  // last point measured
  float arc = 0, unflagged = 0;
  float* box = s.bounds;
  box[0] = box[1] = s.x[first];
  box[2] = box[3] = s.y[first];
  for (std::uint32_t i = 0; i <= first; ++i) s.arcPosition[i] = 0;
  for (std::uint32_t i = first + 1; i <= last && i < n; ++i) {
    const float seg = std::sqrt((s.x[i] - s.x[i - 1]) * (s.x[i] - s.x[i - 1]) +
                                (s.y[i] - s.y[i - 1]) * (s.y[i] - s.y[i - 1]));
    arc += seg;
    s.arcPosition[i] = arc;
    if ((s.edgeKind[i - 1] & kSegmentHidden) == 0) unflagged += seg;
    box[0] = s.x[i] < box[0] ? s.x[i] : box[0];
    box[1] = s.x[i] > box[1] ? s.x[i] : box[1];
    box[2] = s.y[i] < box[2] ? s.y[i] : box[2];
    box[3] = s.y[i] > box[3] ? s.y[i] : box[3];
  }
  if (open != 0) {
    s.arcPosition[n - 1] = s.arcPosition[n - 2];
  } else if (n >= 2) {
    const float seg = std::sqrt((s.x[0] - s.x[n - 1]) * (s.x[0] - s.x[n - 1]) +
                                (s.y[0] - s.y[n - 1]) * (s.y[0] - s.y[n - 1]));
    arc += seg;
    if ((s.edgeKind[n - 1] & kSegmentHidden) == 0) unflagged += seg;
  }
  s.totalLength = arc;
  s.secondLength = unflagged;
}

void SweepPathCentroid(const SweepPath& s, float* x, float* y, float* height) {
  float sx = 0, sy = 0;
  for (std::uint32_t i = 0; i < s.count; ++i) sx += s.x[i], sy += s.y[i];
  const float scale = s.count != 0 ? 1.0f / static_cast<float>(s.count) : 0.0f;
  *x = sx * scale;
  *y = sy * scale;
  *height = s.height;
}

void SkinRowStep(const SweepPath& s, std::uint32_t from, std::uint32_t to, float t,
                 std::uint32_t* index, float* fraction) {
  std::uint32_t i = from;
  float next = SweepPathParamOfIndex(s, i + 1);
  while (i < to && t > next) {
    ++i;
    next = SweepPathParamOfIndex(s, i + 1);
  }
  const float here = SweepPathParamOfIndex(s, i);
  *index = i;
  *fraction = next != here ? (t - here) / (next - here) : 0.0f;
}

}  // namespace veskor
