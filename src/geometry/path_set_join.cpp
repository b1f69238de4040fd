#include "geometry/path_set_join.h"

#include <cmath>

#include "foundation/session_log.h"
#include "geometry/cross_section.h"

namespace veskor {

namespace {

CrossingList gJoinCrossings;
CrossingList gJoinFiltered;

// The outline of the pair being joined; its block goes back after every joined pair.
struct JoinSectionHolder {
  SweepPath section{};
  ~JoinSectionHolder() { SweepPathRelease(section); }
};
JoinSectionHolder gJoinSection;

bool gTargetFull = false;  // a point did not fit the outline's room

void Put(SweepPath& s, float x, float y, std::uint16_t component5, std::uint16_t param, float value,
         std::uint8_t hidden) {
  if (s.count >= s.capacity) {
    gTargetFull = true;
    return;
  }
  const std::uint32_t i = s.count++;
  s.x[i] = x;
  s.y[i] = y;
  s.packedU[i] = component5;
  s.packedT[i] = s.packedTCopy[i] = param;
  s.packedW[i] = FloatToHalf(kSectionLevelsNew);
  s.arcPosition[i] = 0;
  s.edgeValue[i] = value;
  s.pointFlag[i] = 0;
  s.edgeKind[i] = hidden;
}

// How the points of one piece take their parameter and hidden byte: their own (no mapping), or
// remapped from R's parameters p1..p2 (p2 one turn later for a piece that wraps) onto q1..q2.
struct PieceMap {
  bool mapped = false;
  float p1 = 0, k = 0, q1 = 0;
  std::uint32_t flag = 0;
};

PieceMap MakeMap(const JoinMapping& m, float p1, bool wraps) {
  PieceMap map;
  map.mapped = true;
  map.p1 = p1;
  map.q1 = m.q1;
  const float divisor = m.p2 + (wraps ? 1.0f : 0.0f) - p1;
  map.k = std::fabs(divisor) < kSectionTolerance ? 0.0f : (m.q2 - m.q1) / divisor;
  map.flag = m.flag;
  return map;
}

std::uint8_t MappedHidden(const PieceMap& map, std::uint8_t own) {
  return map.mapped ? ((own != 0 || map.flag != 0) ? 1 : 0) : own;
}

// Point i of S, `turns` turns later in parameter.
void PutWhole(SweepPath& target, const SweepPath& s, std::uint32_t i, const PieceMap& map,
              float turns) {
  const std::uint16_t param =
      map.mapped ? FloatToHalf((HalfToFloat(s.packedT[i]) + turns - map.p1) * map.k + map.q1)
                 : s.packedT[i];
  Put(target, s.x[i], s.y[i], s.packedU[i], param, s.edgeValue[i],
      MappedHidden(map, s.edgeKind[i]));
}

void PutAt(SweepPath& target, const SweepPath& s, SectionPosition at, const PieceMap& map,
           float turns) {
  if (s.count == 0) return;
  const std::uint32_t i = at.seg % s.count;
  const SectionPoint p = SweepPathPointAt(s, i, at.t);
  const float param = map.mapped ? (p.pathParam + turns - map.p1) * map.k + map.q1 : p.pathParam;
  Put(target, p.x, p.y, FloatToHalf(p.component5), FloatToHalf(param), p.pointValue,
      MappedHidden(map, s.edgeKind[i]));
}

bool Forward(std::uint32_t s1, float t1, std::uint32_t s2, float t2) {
  return s1 < s2 || (s1 == s2 && t2 + kSectionTolerance > t1);
}

void Run(SweepPath& target, const SweepPath& s, SectionPosition from, SectionPosition to,
         const JoinMapping* mapping) {
  const std::uint32_t n = s.count;
  if (n == 0) return;
  float p1 = mapping != nullptr ? mapping->p1 : 0;
  if (from.seg >= n) from.seg = 0, p1 -= 1;  // point 0 one turn on: its parameter a turn back
  to.seg %= n;
  const bool forward = Forward(from.seg, from.t, to.seg, to.t);
  const PieceMap map = mapping != nullptr ? MakeMap(*mapping, p1, !forward) : PieceMap{};
  PutAt(target, s, from, map, 0);
  if (forward) {
    for (std::uint32_t i = from.seg + 1; i <= to.seg; ++i) PutWhole(target, s, i, map, 0);
  } else {
    for (std::uint32_t i = from.seg + 1; i < n; ++i) PutWhole(target, s, i, map, 0);
    for (std::uint32_t i = 0; i <= to.seg; ++i) PutWhole(target, s, i, map, 1);
  }
  // The end point is left out at a segment start (the whole point stands there) and where it is
  // the start point again. (Fractions are compared on one segment only.)
  const bool atStart =
      forward && from.seg == to.seg && std::fabs(from.t - to.t) <= kSectionTolerance;
  if (to.t > kSectionTolerance && !atStart) PutAt(target, s, to, map, forward ? 0.0f : 1.0f);
}

// Whole points i1..i2 of S (wrapping past the last point when i2 < i1 by the rule of the
// caller), the wrapped ones a turn later.
void WholePoints(SweepPath& target, const SweepPath& s, std::uint32_t i1, std::uint32_t i2,
                 bool forward, const PieceMap& map) {
  if (forward) {
    for (std::uint32_t i = i1; i <= i2 && i < s.count; ++i) PutWhole(target, s, i, map, 0);
  } else {
    for (std::uint32_t i = i1; i < s.count; ++i) PutWhole(target, s, i, map, 0);
    for (std::uint32_t i = 0; i <= i2 && i < s.count; ++i) PutWhole(target, s, i, map, 1);
  }
}

void SetLastValue(SweepPath& s, float value) {
  if (s.count > 0) s.edgeValue[s.count - 1] = value;
}

bool StrictlySameSign(float a, float b) { return (a < 0 && b < 0) || (a > 0 && b > 0); }

}  // namespace

float SweepPathArcAt(const SweepPath& s, std::uint32_t i, float t) {
  if (s.count == 0) return 0;
  i %= s.count;
  const float end = i + 1 < s.count ? s.arcPosition[i + 1] : s.totalLength;
  return s.arcPosition[i] + (end - s.arcPosition[i]) * t;
}

float SweepPathParamAt(const SweepPath& s, std::uint32_t i, float t) {
  if (s.count == 0) return 0;
  i %= s.count;
  const float p = HalfToFloat(s.packedT[i]);
  const float end = i + 1 < s.count ? HalfToFloat(s.packedT[i + 1]) : 1.0f;
  return p + (end - p) * t;
}

float SweepPathParamAtUnrolled(const SweepPath& s, std::uint32_t i, float t) {
  if (s.count == 0) return 0;
  return SweepPathParamAt(s, i % s.count, t) + static_cast<float>(i / s.count);
}

SectionPoint SweepPathPointAt(const SweepPath& s, std::uint32_t i, float t) {
  const std::uint32_t j = i + 1 < s.count ? i + 1 : 0;
  const float c0 = HalfToFloat(s.packedU[i]), c1 = HalfToFloat(s.packedU[j]);
  return {SweepPathLerpX(s, i, t), SweepPathLerpY(s, i, t), c0 + (c1 - c0) * t,
          SweepPathParamAt(s, i, t), s.edgeValue[i]};
}

SectionPosition SweepPathPointAtArcFraction(const SweepPath& s, SectionPosition p,
                                            SectionPosition q, float f) {
  const std::uint32_t n = s.count;
  if (n == 0) return {0, 0};
  const float total = s.totalLength;
  const float arcP = SweepPathArcAt(s, p.seg, p.t);
  float arcQ = SweepPathArcAt(s, q.seg, q.t);
  if (q.seg < p.seg || (q.seg == p.seg && q.t <= p.t)) arcQ += total;
  const float target = (1 - f) * arcP + f * arcQ;
  const auto unrolled = [&](std::uint32_t k) {
    return k < n ? s.arcPosition[k] : s.arcPosition[k - n] + total;
  };
  for (std::uint32_t k = p.seg % n + 1; k <= p.seg % n + n; ++k) {
    const float here = unrolled(k);
    if (here < target) continue;
    const float before = unrolled(k - 1);
    return {(k - 1) % n, here != before ? (target - before) / (here - before) : 0.0f};
  }
  return q;
}

std::uint32_t SweepPathRunHidden(const SweepPath& s, std::uint32_t i, std::uint32_t j) {
  if (i > j || s.count == 0) return 0;
  // One segment holds the whole stretch: its own bit says (a run with no segment is not hidden
  // by default, which would hide the cut walls of a coarse section).
  if (i == j) return s.edgeKind[i % s.count] != 0 ? 1 : 0;
  for (std::uint32_t k = i; k < j && k < s.count; ++k) {
    if (s.edgeKind[k] == 0) return 0;
  }
  return 1;
}

std::uint32_t JoinAppendPoint(SweepPath& target, const SweepPath& s, SectionPosition at) {
  PutAt(target, s, at, PieceMap{}, 0);
  return target.count;
}

std::uint32_t JoinAppendMappedPoint(SweepPath& target, const SweepPath& r, SectionPosition at,
                                    const JoinMapping& map) {
  PutAt(target, r, at, MakeMap(map, map.p1, false), 0);
  return target.count;
}

void JoinAppendRun(SweepPath& target, const SweepPath& s, SectionPosition from,
                   SectionPosition to) {
  Run(target, s, from, to, nullptr);
}

void JoinAppendMappedRun(SweepPath& target, const SweepPath& r, SectionPosition from,
                         SectionPosition to, const JoinMapping& map) {
  Run(target, r, from, to, &map);
}

void FilterCrossingsFull(const CrossingList& in, CrossingList& out) {
  FilterCrossings(in, kCrossingA, out);
}

void CompactPolylineBySign(CrossingList& list) {
  const std::uint32_t n = list.size();
  if (n < 2) return;
  const std::uint32_t start = StrictlySameSign(list[n - 1].sign, list[0].sign) ? 1 : 0;
  std::uint32_t w = 0;
  list[w++] = list[start];
  for (std::uint32_t k = start + 1; k < n; ++k) {
    if (list[k].sign * list[w - 1].sign > 0) continue;
    list[w++] = list[k];
  }
  if (w >= 2 && list[w - 1].sign * list[0].sign > 0) --w;
  list.Truncate(w);
}

std::uint32_t SpliceSections(const SweepPath& a, const SweepPath& r, const CrossingList& list,
                             SweepPath& target) {
  const std::uint32_t n = list.size();
  SweepPathResize(target, a.count + r.count + n);
  if (n < 2) return 1;
  std::uint32_t descents = 0;
  for (std::uint32_t k = 0; k < n; ++k) {
    const Crossing &e = list[k], &g = list[(k + 1) % n];
    const bool down = g.seg[kCrossingB] < e.seg[kCrossingB] ||
                      (g.seg[kCrossingB] == e.seg[kCrossingB] && g.t[kCrossingB] < e.t[kCrossingB]);
    descents += down ? 1 : 0;
  }
  if (descents > 1) return 1;

  gTargetFull = false;
  const auto qA = [&](const Crossing& e) {
    return SweepPathParamAt(a, e.seg[kCrossingA], e.t[kCrossingA]);
  };
  const auto pR = [&](const Crossing& e) {
    return SweepPathParamAt(r, e.seg[kCrossingB], e.t[kCrossingB]);
  };
  const auto onA = [](const Crossing& e) {
    return SectionPosition{e.seg[kCrossingA], e.t[kCrossingA]};
  };
  const auto onR = [](const Crossing& e) {
    return SectionPosition{e.seg[kCrossingB], e.t[kCrossingB]};
  };
  const auto sameSegment = [](const Crossing& e, const Crossing& g, std::uint32_t side) {
    return e.seg[side] == g.seg[side] && e.t[side] <= g.t[side];
  };
  const auto piece = [&](const Crossing& e, const Crossing& g) {
    return JoinMapping{pR(e), pR(g), qA(e), qA(g),
                       SweepPathRunHidden(a, e.seg[kCrossingA], g.seg[kCrossingA])};
  };
  const Crossing& e0 = list[0];
  const Crossing& last = list[n - 1];

  if (e0.sign >= 0) {  // A's point 0 lies inside B: start from the point of R that stands for it
    const float before =
        a.totalLength - SweepPathArcAt(a, last.seg[kCrossingA], last.t[kCrossingA]);
    const float divisor = before + SweepPathArcAt(a, e0.seg[kCrossingA], e0.t[kCrossingA]);
    const float f = divisor != 0 ? before / divisor : 0.0f;
    const SectionPosition p0 = SweepPathPointAtArcFraction(r, onR(last), onR(e0), f);
    const float pP0 = SweepPathParamAt(r, p0.seg, p0.t);
    JoinAppendMappedRun(target, r, p0, onR(e0),
                        {pP0, pR(e0), 0, qA(e0), SweepPathRunHidden(a, 0, e0.seg[kCrossingA])});
    const auto aPiece = [&](const Crossing& e, const Crossing& g) {
      if (sameSegment(e, g, kCrossingA)) {
        JoinAppendPoint(target, a, onA(g));
      } else {
        SetLastValue(target, a.edgeValue[e.seg[kCrossingA]]);
        JoinAppendRun(target, a, {e.seg[kCrossingA] + 1, 0}, onA(g));
      }
    };
    for (std::uint32_t k = 1; k + 1 < n; k += 2) {
      aPiece(list[k - 1], list[k]);
      const Crossing &e = list[k], &g = list[k + 1];
      if (sameSegment(e, g, kCrossingB)) {
        JoinAppendMappedPoint(target, r, onR(g), piece(e, g));
      } else {
        SetLastValue(target, r.edgeValue[e.seg[kCrossingB]]);
        JoinAppendMappedRun(target, r, {e.seg[kCrossingB] + 1, 0}, onR(g), piece(e, g));
      }
    }
    aPiece(list[n - 2], last);
    const JoinMapping closing{pR(last), pP0, qA(last), 1.0f,
                              SweepPathRunHidden(a, last.seg[kCrossingA], a.count)};
    const std::uint32_t after = last.seg[kCrossingB] + 1;
    if (p0.seg == last.seg[kCrossingB]) {
      // P0 lies on the segment of the last crossing: the outline closes there.
    } else if (p0.seg == after) {
      if (p0.t > kSectionTolerance) JoinAppendMappedPoint(target, r, {p0.seg, 0}, closing);
    } else {
      SetLastValue(target, r.edgeValue[last.seg[kCrossingB]]);
      JoinAppendMappedRun(target, r, {after, 0}, {p0.seg, 0}, closing);
      // P0 at its segment's start is that point: it already opens the outline.
      if (p0.t <= kSectionTolerance && target.count > 1) --target.count;
    }
  } else {  // A's point 0 lies outside B
    WholePoints(target, a, 0, e0.seg[kCrossingA], true, PieceMap{});
    const auto inlineRun = [&](const SweepPath& s, std::uint32_t side, const Crossing& e,
                               const Crossing& g, const PieceMap& map) {
      const bool forward = g.seg[side] > e.seg[side] ||
                           (g.seg[side] == e.seg[side] && e.t[side] < kSectionTolerance);
      WholePoints(target, s, e.seg[side] + 1, g.seg[side], forward, map);
    };
    const auto rMap = [&](const Crossing& e, const Crossing& g) {
      const JoinMapping m = piece(e, g);
      const bool forward =
          g.seg[kCrossingB] > e.seg[kCrossingB] ||
          (g.seg[kCrossingB] == e.seg[kCrossingB] && e.t[kCrossingB] < kSectionTolerance);
      return MakeMap(m, m.p1, !forward);
    };
    for (std::uint32_t k = 1; k + 1 < n; k += 2) {
      const Crossing &e = list[k - 1], &g = list[k];
      JoinAppendMappedPoint(target, r, onR(e), piece(e, g));
      if (!sameSegment(e, g, kCrossingB)) inlineRun(r, kCrossingB, e, g, rMap(e, g));
      const Crossing& h = list[k + 1];
      JoinAppendPoint(target, a, onA(g));
      if (!sameSegment(g, h, kCrossingA)) inlineRun(a, kCrossingA, g, h, PieceMap{});
    }
    const Crossing& e = list[n - 2];
    if (sameSegment(e, last, kCrossingB)) {
      JoinAppendMappedPoint(target, r, onR(e), piece(e, last));
    } else {
      JoinAppendMappedRun(target, r, onR(e), {last.seg[kCrossingB], 0}, piece(e, last));
    }
    if (last.seg[kCrossingA] + 1 < a.count) {
      JoinAppendRun(target, a, onA(last), {a.count - 1, 0});
    } else if (last.t[kCrossingA] <= 1 - kSectionTolerance) {
      // The last crossing lies on A's closing segment: the outline still passes through it.
      JoinAppendPoint(target, a, onA(last));
    }
  }
  if (gTargetFull) {
    target.count = 0;
    return 1;
  }
  return 0;
}

std::uint32_t PathSetJoin(PathSet& a, const PathSet& b) {
  if (PathSetBoxesOverlap(a, b) == 0) return 0;
  std::uint32_t first, end, uncut = 0;
  PathSetSharedSlices(a, b, &first, &end);
  SweepPath& joined = gJoinSection.section;
  for (std::uint32_t slice = first; slice < end; ++slice) {
    SweepPath& sa = a.paths[slice - a.firstIndex];
    const SweepPath& sb = b.paths[slice - b.firstIndex];
    SweepPath reversed;
    SweepPathInit(reversed);
    SweepPathReverseCopy(reversed, sb);
    SectionCrossings(sa, reversed, gJoinCrossings);
    for (std::uint32_t k = 0; k < gJoinCrossings.size(); ++k) {
      gJoinCrossings[k].sign = -gJoinCrossings[k].sign;
    }
    // Nothing to cut where the sections only touch or lie apart; one section wholly inside
    // the other, a single crossing or crossings no outline follows cannot be cut.
    std::uint32_t crossings = 0;
    if (gJoinCrossings.size() > 0) {
      FilterCrossingsFull(gJoinCrossings, gJoinFiltered);
      CompactPolylineBySign(gJoinFiltered);
      crossings = gJoinFiltered.size();
    }
    if (crossings >= 2 && SpliceSections(sa, reversed, gJoinFiltered, joined) == 0) {
      joined.height = sa.height;
      ProfileV(joined) = ProfileV(sa);
      ProfileVCapped(joined) = ProfileVCapped(sa);
      SetProfileArc(joined, ProfileArc(sa));
      SectionKind(joined) = (SectionKind(sa) & kSectionKindMask) == kSectionLeftOut
                                ? SectionKind(sb)
                                : SectionKind(sa);
      SweepPathMetrics(joined, 0);
      SweepPathAssign(sa, joined);
      SweepPathRelease(joined);
    } else if (crossings >= 1) {
      ++uncut;
    } else if (sa.count > 0 && sb.count > 0 &&
               (PointInPolygon(sb, sa.x[0], sa.y[0]) != 0 ||
                PointInPolygon(sa, sb.x[0], sb.y[0]) != 0)) {
      ++uncut;
    }
    SweepPathRelease(reversed);
  }
  PathSetMeasure(a);
  if (uncut > 0) {
    SessionLog& log = LogStream();
    LogWriteText(log, "Cut composition : ");
    LogWriteUnsigned(log, uncut);
    LogWriteText(log, " section pair(s) left uncut\n");
  }
  return uncut;
}

}  // namespace veskor
