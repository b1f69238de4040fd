#include "geometry/path_set_overlap.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "geometry/cross_section.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

ScratchArray<std::uint32_t> gCandidates;  // segments of B that may cross A
CrossingList gCrossings;
CrossingList gFiltered;

bool Passes(float v, float den) {
  if (den > kCrossingEpsilon) return v >= -kCrossingEpsilon && v - den <= kCrossingEpsilon;
  if (den < -kCrossingEpsilon) return v <= kCrossingEpsilon && v - den >= -kCrossingEpsilon;
  return false;
}

// Whether the box of segment i of S meets the bounds of O (inclusive).
bool SegmentMeets(const SweepPath& s, std::uint32_t i, const SweepPath& o) {
  const KernelTable& kt = gKernelTable;
  const std::uint32_t j = i + 1 < s.count ? i + 1 : 0;
  return kt.KernelMin(s.x[i], s.x[j]) <= SectionMaxX(o) &&
         kt.KernelMax(s.x[i], s.x[j]) >= SectionMinX(o) &&
         kt.KernelMin(s.y[i], s.y[j]) <= SectionMaxY(o) &&
         kt.KernelMax(s.y[i], s.y[j]) >= SectionMinY(o);
}

bool OppositeSigns(float a, float b) { return (a < 0 && b > 0) || (a > 0 && b < 0); }

void HideRange(SweepPath& s, std::int64_t lo, std::int64_t hi) {
  hi = std::min<std::int64_t>(hi, std::int64_t{s.count} - 1);
  for (std::int64_t i = std::max<std::int64_t>(lo, 0); i <= hi; ++i) {
    SweepPathSetHidden(s, static_cast<std::uint32_t>(i), 1);
  }
}

void HideAll(SweepPath& s) { HideRange(s, 0, std::int64_t{s.count} - 1); }

}  // namespace

std::uint32_t PathSetBoxesOverlap(const PathSet& a, const PathSet& b) {
  return a.maxX > b.minX && b.maxX > a.minX && a.maxY > b.minY && b.maxY > a.minY &&
                 a.maxZ > b.minZ && b.maxZ > a.minZ
             ? 1
             : 0;
}

void PathSetSharedSlices(const PathSet& a, const PathSet& b, std::uint32_t* first,
                         std::uint32_t* end) {
  const std::uint64_t lo = std::max(a.firstIndex, b.firstIndex);
  const std::uint64_t hi =
      std::min(std::uint64_t{a.firstIndex} + a.count, std::uint64_t{b.firstIndex} + b.count);
  *first = static_cast<std::uint32_t>(lo);
  *end = static_cast<std::uint32_t>(hi > lo ? hi : lo);
}

void SectionCrossings(const SweepPath& a, const SweepPath& b, CrossingList& list) {
  list.Clear();
  if (a.count == 0 || b.count == 0) return;
  if (!(SectionMinX(b) <= SectionMaxX(a) && SectionMinX(a) <= SectionMaxX(b) &&
        SectionMinY(b) <= SectionMaxY(a) && SectionMinY(a) <= SectionMaxY(b)))
    return;
  gCandidates.Reserve(b.count);
  for (std::uint32_t j = 0; j < b.count; ++j) {
    if (SegmentMeets(b, j, a)) gCandidates.Append(j);
  }
  for (std::uint32_t i = 0; i < a.count; ++i) {
    if (!SegmentMeets(a, i, b)) continue;
    const std::uint32_t start = list.size();
    const std::uint32_t i1 = i + 1 < a.count ? i + 1 : 0;
    const float dx = a.x[i1] - a.x[i], dy = a.y[i1] - a.y[i];
    for (std::uint32_t c = 0; c < gCandidates.size(); ++c) {
      const std::uint32_t j = gCandidates[c];
      const std::uint32_t j1 = j + 1 < b.count ? j + 1 : 0;
      const float ex = b.x[j] - b.x[j1], ey = b.y[j] - b.y[j1];
      const float fx = a.x[i] - b.x[j], fy = a.y[i] - b.y[j];
      const float den = ex * dy - ey * dx;
      const float nt = fx * ey - fy * ex;
      const float nu = fy * dx - fx * dy;
      if (!Passes(nt, den) || !Passes(nu, den)) continue;
      const float inv = 1.0f / den;
      const float t = nt * inv;
      list.Append({a.x[i] + dx * t, a.y[i] + dy * t, {t, nu * inv}, den, {i, j}});
    }
    // Along the segment: for each place, the first entry with the smallest fraction.
    for (std::uint32_t p = start; p < list.size(); ++p) {
      std::uint32_t best = p;
      for (std::uint32_t q = p + 1; q < list.size(); ++q) {
        if (list[q].t[kCrossingA] < list[best].t[kCrossingA]) best = q;
      }
      std::swap(list[p], list[best]);
    }
  }
}

void FilterCrossings(const CrossingList& in, std::uint32_t side, CrossingList& out) {
  const std::uint32_t n = in.size();
  out.Reserve(n);
  if (n < 2) {
    for (std::uint32_t k = 0; k < n; ++k) out.Append(in[k]);
    return;
  }
  const auto touch = [&](const Crossing& p, const Crossing& q) {
    if (!OppositeSigns(p.sign, q.sign)) return false;
    const float tp = p.t[side], tq = q.t[side];
    return (tp > 1 - kSectionTolerance && tq < kSectionTolerance) ||
           (p.seg[side] == q.seg[side] && std::fabs(tp - tq) < kSectionTolerance);
  };
  std::uint32_t lo = 0, hi = n;
  if (touch(in[n - 1], in[0])) lo = 1, hi = n - 1;
  for (std::uint32_t k = lo; k < hi;) {
    if (k + 1 < hi && touch(in[k], in[k + 1])) {
      k += 2;
    } else {
      out.Append(in[k++]);
    }
  }
  const std::uint32_t m = out.size();
  if (m < 2) return;
  const auto duplicate = [](const Crossing& p, const Crossing& q) {
    return (p.sign < 0 && q.sign < 0) ||
           (p.sign > 0 && q.sign > 0 && std::fabs(p.x - q.x) < kSectionTolerance &&
            std::fabs(p.y - q.y) < kSectionTolerance);
  };
  std::uint32_t w = 0;
  for (std::uint32_t k = duplicate(out[m - 1], out[0]) ? 1 : 0; k < m;) {
    const bool drop = k + 1 < m && duplicate(out[k], out[k + 1]);
    out[w++] = out[k];
    k += drop ? 2 : 1;
  }
  out.Truncate(w);
}

void SortCrossingsByOther(CrossingList& list, std::uint32_t side) {
  for (std::uint32_t p = 0; p < list.size(); ++p) {
    std::uint32_t best = p;
    for (std::uint32_t q = p + 1; q < list.size(); ++q) {
      const Crossing &c = list[q], &b = list[best];
      if (c.seg[side] < b.seg[side] || (c.seg[side] == b.seg[side] && c.t[side] < b.t[side])) {
        best = q;
      }
    }
    std::swap(list[p], list[best]);
    list[p].sign = -list[p].sign;
  }
}

void MarkHiddenRuns(SweepPath& s, const CrossingList& filtered, std::uint32_t side) {
  const std::uint32_t n = filtered.size();
  if (n == 0) return;
  const auto seg = [&](std::uint32_t k) { return std::int64_t{filtered[k].seg[side]}; };
  const std::int64_t end = std::int64_t{s.count} - 1;
  if (filtered[0].sign >= 0) {  // S starts inside the other section
    HideRange(s, 0, seg(0) - 1);
    for (std::uint32_t k = 1; k + 1 < n; k += 2) HideRange(s, seg(k) + 1, seg(k + 1) - 1);
    HideRange(s, seg(n - 1) + 1, end);
  } else {
    // An odd count (degenerate input) leaves the last run open: it ends at the section end.
    for (std::uint32_t k = 0; k < n; k += 2) {
      HideRange(s, seg(k) + 1, k + 1 < n ? seg(k + 1) - 1 : end);
    }
  }
}

std::uint32_t PointInPolygon(const SweepPath& s, float px, float py) {
  if (s.count == 0) return 0;
  if (px < SectionMinX(s) || px > SectionMaxX(s) || py < SectionMinY(s) || py > SectionMaxY(s))
    return 0;
  std::uint32_t crossings = 0;
  for (std::uint32_t i = 0; i < s.count; ++i) {
    const std::uint32_t j = i + 1 < s.count ? i + 1 : 0;
    const float dx = s.x[j] - s.x[i];
    const float dy = s.y[j] - s.y[i];
    const float ry = py - s.y[i];
    const float left = dy * px, right = dy * s.x[i] + ry * dx;
    if (s.y[j] < py && py <= s.y[i]) {
      if (left >= right) ++crossings;
    } else if (s.y[i] < py && py <= s.y[j]) {
      if (left <= right) ++crossings;
    }
  }
  return crossings % 2;
}

void PathSetOverlap(PathSet& a, PathSet& b) {
  if (PathSetBoxesOverlap(a, b) == 0) return;
  std::uint32_t first, end;
  PathSetSharedSlices(a, b, &first, &end);
  for (std::uint32_t slice = first; slice < end; ++slice) {
    SweepPath& sa = a.paths[slice - a.firstIndex];
    SweepPath& sb = b.paths[slice - b.firstIndex];
    SectionCrossings(sa, sb, gCrossings);
    if (gCrossings.size() == 0) {
      if (sa.count == 0 || sb.count == 0) continue;
      if (PointInPolygon(sa, sb.x[0], sb.y[0]) != 0) {
        HideAll(sb);
      } else if (PointInPolygon(sb, sa.x[0], sa.y[0]) != 0) {
        HideAll(sa);
      }
      continue;
    }
    FilterCrossings(gCrossings, kCrossingA, gFiltered);
    MarkHiddenRuns(sa, gFiltered, kCrossingA);
    SortCrossingsByOther(gCrossings, kCrossingB);
    FilterCrossings(gCrossings, kCrossingB, gFiltered);
    MarkHiddenRuns(sb, gFiltered, kCrossingB);
  }
}

}  // namespace veskor
