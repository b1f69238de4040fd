#include "geometry/sweep_path_subdivision.h"

#include <algorithm>
#include <cmath>

#include "geometry/cross_section.h"
#include "geometry/curve_refinement.h"
#include "geometry/sweep_path_rules.h"
#include "gfx/packed_value.h"
#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

// The level of point i from its deviation from the midpoint of points a and b.
float PointLevel(const SweepPath& s, std::uint32_t i, std::uint32_t a, std::uint32_t b,
                 SubdivisionSettings& settings) {
  const float dx = s.x[i] - 0.5f * (s.x[a] + s.x[b]);
  const float dy = s.y[i] - 0.5f * (s.y[a] + s.y[b]);
  const float d = gKernelTable.KernelSqrt(dx * dx + dy * dy);
  return CurveLodLevel(settings, d, s.x[i], s.y[i], s.height);
}

void CopyRing(SweepPath& destination, const SweepPath& source, std::uint32_t open) {
  SweepPathAssign(destination, source);
  SweepPathMetrics(destination, open);
}

void OpenPass(SweepPath& s, SweepPath& o) {
  const std::uint32_t m = s.count;
  SweepPathResize(o, s.firstWord + 2 * m);
  SweepPathOpenFirstRule(s, o);
  for (std::uint32_t i = 0; i + 3 < m; ++i) SweepPathInteriorRule(s, i, o);
  SweepPathOpenLastRule(s, o);
  SweepPathMetrics(o, 1);
}

struct OpenScratch {
  SweepPath path{};
  ~OpenScratch() { SweepPathRelease(path); }
};

// A bank path sampled at its cursor: linear toward the next point (point 0 after the last).
void Sample(const SweepPath& s, std::uint32_t cursor, float fraction, float* x, float* y) {
  if (s.count == 0) {
    *x = *y = 0;
    return;
  }
  *x = SweepPathLerpX(s, cursor, fraction);
  *y = SweepPathLerpY(s, cursor, fraction);
}

}  // namespace

std::int32_t SweepPathWholeLevel(float level) {
  if (!(std::fabs(level) < 1e9f)) return level > 0 ? 1 << 30 : 0;
  const float whole = std::floor(level);
  const auto n = static_cast<std::int32_t>(whole);
  return level >= 0 && level - whole > kWholeLevelTolerance ? n + 1 : n;
}

void SubdivideSweepPaths(SweepPath& source, std::uint32_t cap, SubdivisionSettings& settings,
                         SweepPath& destination) {
  SubdivisionBanks& banks = gSubdivisionBanks;
  const std::uint32_t m = source.count;
  std::int32_t top = 0;
  for (std::uint32_t i = 0; i < m; ++i) {
    const float level =
        PointLevel(source, i, i > 0 ? i - 1 : m - 1, i + 1 < m ? i + 1 : 0, settings);
    const std::uint16_t packed = FloatToHalf(level);
    source.packedW[i] = packed;
    for (std::uint32_t k = 0; k < banks.count; ++k) {
      SweepPath& bank = BankPaths(banks)[k];
      if (i < bank.count) bank.packedW[i] = packed;
    }
    top = MaxInt(top, SweepPathWholeLevel(level));
  }
  const std::uint32_t passes = std::min(cap, static_cast<std::uint32_t>(top));
  if (passes == 0 || banks.count == 0 || banks.hitCount == 0) {
    CopyRing(destination, source, 0);
  } else {
    for (std::uint32_t pass = 0; pass < passes; ++pass) {
      for (std::uint32_t k = 0; k < banks.count; ++k) {
        SweepPathRefinePass(banks.paths[banks.current][k], banks.paths[banks.other][k]);
      }
      std::swap(banks.current, banks.other);
    }
    SweepPathBlend(banks, m, destination);
  }
  destination.height = source.height;
  destination.p = source.p;
  destination.q = source.q;
}

void SubdivideSweepPaths2(SweepPath& source, std::uint32_t cap, SubdivisionSettings& settings,
                          SweepPath& destination) {
  const std::uint32_t m = source.count;
  // The rules read three points of an open ring.
  if (m < 3) return CopyRing(destination, source, 1);
  std::int32_t top = 0;
  for (std::uint32_t i = 1; i + 1 < m; ++i) {
    const float level = PointLevel(source, i, i - 1, i + 1, settings) + 1.0f;
    source.packedW[i] = FloatToHalf(level);
    top = MaxInt(top, SweepPathWholeLevel(level));
  }
  source.packedW[0] = source.packedW[1];
  source.packedW[m - 1] = source.packedW[m - 2];
  const std::uint32_t passes = std::min(cap, static_cast<std::uint32_t>(top));
  if (passes == 0) return CopyRing(destination, source, 1);

  static OpenScratch scratch;
  SweepPath* from = &source;
  SweepPath* to = passes % 2 != 0 ? &destination : &scratch.path;
  for (std::uint32_t pass = 0; pass < passes; ++pass) {
    OpenPass(*from, *to);
    from = to;
    to = to == &destination ? &scratch.path : &destination;
  }
  destination.height = source.height;
  destination.p = source.p;
  destination.q = source.q;
  SectionKind(destination) = SectionKind(source);
}

void SweepPathRefinePass(SweepPath& source, SweepPath& destination) {
  const std::uint32_t n = source.count;
  // The rules read two points of a closed ring.
  if (n < 2) return CopyRing(destination, source, 0);
  SweepPathResize(destination, 2 * n + source.firstWord);
  SweepPathFirstRule(source, destination);
  for (std::uint32_t i = 0; i + 2 < n; ++i) SweepPathInteriorRule(source, i, destination);
  SweepPathLastRule(source, destination);
  SweepPathMetrics(destination, 0);
}

void SweepPathBlend(const SubdivisionBanks& banks, std::uint32_t sourceCount,
                    SweepPath& destination) {
  const SweepPath* paths = banks.paths[banks.current];
  const std::uint32_t count = std::min(banks.count, kBankPathMax);
  std::uint32_t room = 0;
  for (std::uint32_t k = 0; k < count; ++k) room += paths[k].count;
  SweepPathResize(destination, std::max(room, 1u));
  std::uint32_t cursor[kBankPathMax] = {};
  float fraction[kBankPathMax] = {};

  // Point value: point p of bank path p, p the first hit's slice of the point before.
  const std::uint32_t p = banks.hitCount > 0 ? SliceTripleByte(banks.hitSlices[0], 0) : count;
  const float value = p < count && p < paths[p].count ? paths[p].edgeValue[p] : 0.0f;
  const std::uint32_t hits = std::min(banks.hitCount, kSliceTableEdgeMax);

  float u = 0;
  for (;;) {
    float x = 0, y = 0;
    for (std::uint32_t h = 0; h < hits; ++h) {
      const SweepPath& weights = banks.weightPaths[h];
      if (weights.count == 0) continue;
      const float at = static_cast<float>(sourceCount) * u;
      const float whole = std::floor(at);
      const float weight =
          SweepPathLerpX(weights, static_cast<std::uint32_t>(whole) % weights.count, at - whole);
      const float w = banks.hitFractions[h];
      const float b0 = 0.5f * (1.0f - w) * (1.0f - w);
      const float b2 = 0.5f * w * w;
      const float b[3] = {b0, 1.0f - b0 - b2, b2};
      float hx = 0, hy = 0;
      for (std::uint32_t k = 0; k < 3; ++k) {
        const std::uint32_t slice = SliceTripleByte(banks.hitSlices[h], k);
        if (slice >= count) continue;
        float sx, sy;
        Sample(paths[slice], cursor[slice], fraction[slice], &sx, &sy);
        hx += b[k] * sx;
        hy += b[k] * sy;
      }
      x += weight * hx;
      y += weight * hy;
    }
    SweepPathAppend(destination, x, y, 0, u, 0, value, 0);

    // The next parameter: the lowest next point over the bank paths.
    bool any = false;
    float next = 1.0f;
    for (std::uint32_t k = 0; k < count; ++k) {
      if (cursor[k] + 1 >= paths[k].count) continue;
      any = true;
      next = std::min(next, SweepPathParamOfIndex(paths[k], cursor[k] + 1));
    }
    if (!any) break;
    for (std::uint32_t k = 0; k < count; ++k) {
      const SweepPath& s = paths[k];
      if (s.count == 0) continue;
      const bool more = cursor[k] + 1 < s.count;
      const float here = SweepPathParamOfIndex(s, cursor[k]);
      const float there = more ? SweepPathParamOfIndex(s, cursor[k] + 1) : 1.0f;
      if (more && there <= next + kSectionTolerance) {
        ++cursor[k];
        fraction[k] = 0;
      } else {
        fraction[k] = there != here ? (next - here) / (there - here) : 0.0f;
      }
    }
    u = next;
  }
  SweepPathMetrics(destination, 0);
}

void RingInterpolate(const SweepPath& path, std::uint32_t i, float t, float* x, float* y,
                     float* value) {
  const std::uint32_t j = i + 1 < path.count ? i + 1 : 0;
  *x = path.x[i] + (path.x[j] - path.x[i]) * t;
  *y = path.y[i] + (path.y[j] - path.y[i]) * t;
  *value = path.edgeValue[i];
}

}  // namespace veskor
