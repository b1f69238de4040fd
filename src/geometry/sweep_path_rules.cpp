#include "geometry/sweep_path_rules.h"

#include <algorithm>

#include "geometry/corner_rounding.h"
#include "gfx/packed_value.h"
#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

// One section point with its packed values decoded.
struct Point {
  float x, y, crease, param, levels, value;
  std::uint8_t skip, hidden;
};

struct Position {
  float x, y;
};

Point Read(const SweepPath& s, std::uint32_t i) {
  return {s.x[i],
          s.y[i],
          HalfToFloat(s.packedU[i]),
          HalfToFloat(s.packedT[i]),
          HalfToFloat(s.packedW[i]),
          s.edgeValue[i],
          s.pointFlag[i],
          s.edgeKind[i]};
}

void Append(SweepPath& o, const Point& p) {
  const std::uint32_t j = o.count++;
  o.x[j] = p.x;
  o.y[j] = p.y;
  o.packedU[j] = FloatToHalf(p.crease);
  o.packedT[j] = o.packedTCopy[j] = FloatToHalf(p.param);
  o.packedW[j] = FloatToHalf(p.levels);
  o.edgeValue[j] = p.value;
  o.pointFlag[j] = p.skip;
  o.edgeKind[j] = p.hidden;
}

// w(d) = 0.5 x 2^-d of an unsigned skip depth.
float Weight(std::uint8_t d) { return SplitWeight(static_cast<std::int8_t>(std::min(+d, 125))); }

std::uint8_t OneMore(std::uint8_t d) { return static_cast<std::uint8_t>(d + 1); }

// (1 - f) P + f Q.
Position Mix(const Point& p, const Point& q, float f) {
  const float g = 1.0f - f;
  return {g * p.x + f * q.x, g * p.y + f * q.y};
}

// near(P, Q, d): the point at w(d) of the segment from P toward Q.
Position Near(const Point& p, const Point& q, std::uint8_t d) { return Mix(p, q, Weight(d)); }

// P carried into the next pass: crease and levels one less.
Point Carried(const Point& p, std::uint8_t skip) {
  return {p.x, p.y, p.crease - 1.0f, p.param, p.levels - 1.0f, p.value, skip, p.hidden};
}

// The new point at fraction f from P toward Q, with the value and hidden byte of `owner` (the
// first point of the segment).
Point NewPoint(const Point& p, const Point& q, float f, const Point& owner) {
  const float g = 1.0f - f;
  return {g * p.x + f * q.x,
          g * p.y + f * q.y,
          g * p.crease + f * q.crease - 1.0f,
          g * p.param + f * q.param,
          g * p.levels + f * q.levels - 1.0f,
          owner.value,
          0,
          owner.hidden};
}

// V(P; A, B): P's smooth position between its new neighbours A and B; P itself when its crease
// is 1 or more or it has no levels left.
Position Vertex(const Point& p, Position a, Position b) {
  const KernelTable& k = gKernelTable;
  const float t = 1.0f + (k.KernelClamp01(p.crease) - 1.0f) * k.KernelClamp01(p.levels);
  const float keep = kRoundCornerKeep + kRoundCornerPull * t;
  const float pull = kRoundCornerNeighbour * (1.0f - t);
  return {keep * p.x + pull * (a.x + b.x), keep * p.y + pull * (a.y + b.y)};
}

Position At(const Point& p) { return {p.x, p.y}; }

Point Placed(Point p, Position v) {
  p.x = v.x;
  p.y = v.y;
  return p;
}

// Output point j moves halfway to v.
void Blend(SweepPath& o, std::uint32_t j, Position v) {
  o.x[j] = 0.5f * (o.x[j] + v.x);
  o.y[j] = 0.5f * (o.y[j] + v.y);
}

bool Splits(const Point& p, const Point& q) {
  return (p.levels > 0 || q.levels > 0) && (p.crease <= 1 || q.crease <= 1);
}

bool Flat(const Point& p, const Point& a, const Point& b) {
  const float dx = p.x - 0.5f * (a.x + b.x);
  const float dy = p.y - 0.5f * (a.y + b.y);
  return dx * dx + dy * dy < kFlatSectionDeviation2;
}

// Splits the segment from P to Q (neither of them an end to drop) into the output: the new
// points, P's output point (the last one written) finished from this side, Q's output point
// appended seen from this side. `pa` and `pb` are the new points expected beside P on the
// segment before it and beside Q on the segment after it. With `firstOfRing` P's output point
// is written whole at index 0 instead of blended.
void SplitSegment(const Point& p, const Point& q, Position pa, Position pb, SweepPath& o,
                  bool firstOfRing) {
  Point n1, n2;
  if (p.skip == 0) {
    n1 = n2 = NewPoint(p, q, 0.5f, p);
  } else {
    // Left whole for d passes: split at w(d) from each end, the spacing of the finer segments
    // beside it.
    const float t = Weight(p.skip);
    n1 = NewPoint(p, q, t, p);
    n2 = NewPoint(q, p, t, p);
  }
  const Position vp = Vertex(p, pa, At(n1));
  if (firstOfRing) {
    Append(o, Placed(Carried(p, 0), vp));
  } else {
    Blend(o, o.count - 1, vp);
    o.pointFlag[o.count - 1] = 0;
  }
  Append(o, n1);
  if (p.skip != 0) Append(o, n2);
  Append(o, Placed(Carried(q, 0), Vertex(q, At(n2), pb)));
}

void ClampFlat(SweepPath& s, std::uint32_t i, std::uint32_t a, std::uint32_t b) {
  if (Flat(Read(s, i), Read(s, a), Read(s, b))) {
    s.packedW[i] = FloatToHalf(gKernelTable.KernelMin(HalfToFloat(s.packedW[i]), 0.0f));
  }
}

}  // namespace

void SweepPathFirstRule(const SweepPath& s, SweepPath& o) {
  const std::uint32_t m = s.count;
  const Point p = Read(s, 0), q = Read(s, 1);
  const Point before = Read(s, m - 1), after = Read(s, m > 2 ? 2 : 0);
  o.count = 0;
  if ((Flat(p, before, q) && Flat(q, p, after)) || !Splits(p, q)) {
    Append(o, Carried(p, OneMore(p.skip)));
    Append(o, Carried(q, 0));
    ++o.firstWord;
    return;
  }
  SplitSegment(p, q, Near(p, before, before.skip), Near(q, after, q.skip), o, true);
}

void SweepPathInteriorRule(SweepPath& s, std::uint32_t i, SweepPath& o) {
  const std::uint32_t m = s.count;
  const std::uint32_t ip = i + 1;
  const std::uint32_t iq = i + 2 < m ? i + 2 : 0;
  const std::uint32_t ik = iq + 1 < m ? iq + 1 : 0;
  ClampFlat(s, ip, i, iq);
  ClampFlat(s, iq, ip, ik);
  const Point p = Read(s, ip), q = Read(s, iq);
  if (!Splits(p, q)) {
    o.pointFlag[o.count - 1] = OneMore(p.skip);
    Append(o, Carried(q, 0));
    ++o.firstWord;
    return;
  }
  const Point before = Read(s, i), after = Read(s, ik);
  SplitSegment(p, q, Near(p, before, before.skip), Near(q, after, q.skip), o, false);
}

void SweepPathLastRule(const SweepPath& s, SweepPath& o) {
  const std::uint32_t m = s.count, n = o.count;
  const Point p = Read(s, m - 1), q = Read(s, 0);
  const Point before = Read(s, m - 2), after = Read(s, 1);
  if ((Flat(p, before, q) && Flat(q, p, after)) || !Splits(p, q)) {
    o.pointFlag[n - 1] = OneMore(p.skip);
    ++o.firstWord;
    return;
  }
  const Position l = Near(p, before, before.skip);
  const Position r = Near(q, after, q.skip);
  // The closing segment ends at parameter 1.0, not at point 0's 0.
  Point end = q;
  end.param = 1.0f;
  const float f = p.skip == 0 ? 0.5f : Weight(p.skip);
  const Point a = NewPoint(p, end, f, p);
  Append(o, a);
  Blend(o, n - 1, Vertex(p, l, At(a)));
  o.pointFlag[n - 1] = 0;
  if (p.skip == 0) {
    Blend(o, 0, Vertex(q, r, At(a)));
    return;
  }
  const Point b = NewPoint(end, p, f, p);
  Append(o, b);
  Blend(o, 0, Vertex(q, r, At(b)));
}

void SweepPathOpenFirstRule(const SweepPath& s, SweepPath& o) {
  const Point p0 = Read(s, 0), p1 = Read(s, 1), p2 = Read(s, 2);
  o.count = 0;
  if (!Splits(p0, p1)) {
    Append(o, Carried(p0, OneMore(p0.skip)));
    Append(o, Carried(p1, 0));
    ++o.firstWord;
    return;
  }
  // The free end is dropped: one new point beside P1.
  const Point e = p0.skip == 0 ? NewPoint(p0, p1, 0.5f, p0) : NewPoint(p1, p0, Weight(p0.skip), p0);
  Append(o, e);
  Append(o, Placed(Carried(p1, 0), Vertex(p1, At(e), Near(p1, p2, p1.skip))));
}

void SweepPathOpenLastRule(const SweepPath& s, SweepPath& o) {
  const std::uint32_t m = s.count, n = o.count;
  const Point before = Read(s, m - 3), p = Read(s, m - 2), q = Read(s, m - 1);
  if (!Splits(p, q)) {
    o.pointFlag[n - 1] = OneMore(p.skip);
    Append(o, Carried(q, 0));
    ++o.firstWord;
    return;
  }
  const Point e = NewPoint(p, q, p.skip == 0 ? 0.5f : Weight(p.skip), p);
  Append(o, e);
  Blend(o, n - 1, Vertex(p, Near(p, before, before.skip), At(e)));
  o.pointFlag[n - 1] = 0;
}

}  // namespace veskor
