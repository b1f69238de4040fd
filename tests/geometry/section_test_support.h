// Cross-sections and path sets built by hand for the path-set, mesh and composition tests and
// benchmarks: rings of given points (parameters evenly spread unless given), squares and circles
// running counter-clockwise, and sets of such rings, each ring measured.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/cross_section.h"
#include "geometry/path_set.h"

namespace veskor::test {

struct Xy {
  float x, y;
};

struct Ring {
  std::vector<Xy> points;
  float height = 0;
  std::uint32_t kind = kSectionPlain;
  std::vector<float> params = {};  // empty: k / n
  std::vector<std::uint8_t> hidden = {};
};

inline void FillRing(SweepPath& s, const Ring& r, std::uint32_t open = 0) {
  const auto n = static_cast<std::uint32_t>(r.points.size());
  SweepPathResize(s, n);
  for (std::uint32_t k = 0; k < n; ++k) {
    const float t = r.params.empty() ? float(k) / float(n) : r.params[k];
    SweepPathAppend(s, r.points[k].x, r.points[k].y, 0, t, kSectionLevelsNew, float(k),
                    r.hidden.empty() ? 0 : r.hidden[k]);
  }
  s.height = r.height;
  SectionKind(s) = r.kind;
  SweepPathMetrics(s, open);
}

// A point as the refinement rules read it: crease, levels and skip depth; the parameter k / n
// unless given.
struct RulePoint {
  float x, y, crease = 0, levels = 1;
  std::uint8_t skip = 0;
  float param = -1;
};

// A section of these points (point value k, not hidden), `extra` counting the skip depths set.
inline void FillSection(SweepPath& s, const std::vector<RulePoint>& points) {
  const auto n = static_cast<std::uint32_t>(points.size());
  SweepPathResize(s, n);
  for (std::uint32_t k = 0; k < n; ++k) {
    const RulePoint& p = points[k];
    SweepPathAppend(s, p.x, p.y, p.crease, p.param < 0 ? float(k) / float(n) : p.param, p.levels,
                    float(k), 0);
    s.pointFlag[k] = p.skip;
    s.firstWord += p.skip != 0 ? 1 : 0;
  }
}

inline void FillSet(PathSet& set, std::uint32_t kind, const std::vector<Ring>& rings,
                    std::uint32_t firstIndex = 0) {
  const auto n = static_cast<std::uint32_t>(rings.size());
  PathSetResize(set, n, kind);
  set.kind = kind;
  set.firstIndex = firstIndex;
  SweepPath* s = PathSetAppendEmpty(set, n);
  for (std::uint32_t i = 0; i < n; ++i) FillRing(s[i], rings[i], kind);
  PathSetMeasure(set);
}

inline std::vector<Xy> Square(float x0, float y0, float x1, float y1) {
  return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

inline std::vector<Xy> Circle(float cx, float cy, float radius, std::uint32_t n) {
  std::vector<Xy> points;
  for (std::uint32_t k = 0; k < n; ++k) {
    const double a = 6.283185307179586 * k / n;
    points.push_back({cx + radius * float(std::cos(a)), cy + radius * float(std::sin(a))});
  }
  return points;
}

// `slices` rings of the same outline at heights 0, 1, ...
inline std::vector<Ring> Prism(const std::vector<Xy>& outline, std::uint32_t slices) {
  std::vector<Ring> rings;
  for (std::uint32_t k = 0; k < slices; ++k) rings.push_back({outline, float(k)});
  return rings;
}

inline std::vector<std::uint8_t> HiddenBits(const SweepPath& s) {
  std::vector<std::uint8_t> bits;
  for (std::uint32_t k = 0; k < s.count; ++k) bits.push_back(s.edgeKind[k] & kSegmentHidden);
  return bits;
}

}  // namespace veskor::test
