#include "geometry/corner_rounding.h"

#include <algorithm>
#include <bit>

#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

struct Position {
  float x, y, height;
};

Position At(const EdgeCurve& c, std::uint32_t i) { return {c.x[i], c.y[i], c.height[i]}; }

// (1 - f) P + f Q.
Position Mix(Position p, Position q, float f) {
  const float g = 1.0f - f;
  return {g * p.x + f * q.x, g * p.y + f * q.y, g * p.height + f * q.height};
}

// near(P, Q, d): the point at w(d) of the segment from P toward Q.
Position Near(const EdgeCurve& s, std::uint32_t p, std::uint32_t q, std::int8_t d) {
  return Mix(At(s, p), At(s, q), SplitWeight(d));
}

// V(P; A, B): the smooth position of source point p between its new neighbours a and b; p
// itself when it is sharp (edge sharpness 1 or more) or has no levels left.
Position VertexPosition(const EdgeCurve& s, std::uint32_t p, Position a, Position b) {
  const KernelTable& k = gKernelTable;
  const float t =
      1.0f + (k.KernelClamp01(s.edgeSharpness[p]) - 1.0f) * k.KernelClamp01(s.levels[p]);
  const float keep = kRoundCornerKeep + kRoundCornerPull * t;
  const float pull = kRoundCornerNeighbour * (1.0f - t);
  return {keep * s.x[p] + pull * (a.x + b.x), keep * s.y[p] + pull * (a.y + b.y),
          keep * s.height[p] + pull * (a.height + b.height)};
}

void SetPosition(EdgeCurve& o, std::uint32_t j, Position v) {
  o.x[j] = v.x;
  o.y[j] = v.y;
  o.height[j] = v.height;
}

// Output point j moves halfway to v.
void Blend(EdgeCurve& o, std::uint32_t j, Position v) {
  SetPosition(o, j, {0.5f * (o.x[j] + v.x), 0.5f * (o.y[j] + v.y), 0.5f * (o.height[j] + v.height)});
}

bool Splits(const EdgeCurve& s, std::uint32_t p, std::uint32_t q) {
  return (s.levels[p] > 0 || s.levels[q] > 0) &&
         (s.edgeSharpness[p] <= 1 || s.edgeSharpness[q] <= 1);
}

// Skip depth + 1 in 8-bit arithmetic: the pole mark -1 becomes 0.
std::int8_t OneMore(std::int8_t d) {
  return static_cast<std::int8_t>(static_cast<std::uint8_t>(d) + 1);
}

// Writes s[i] carried (crease and levels one less) as o[j].
void Carry(const EdgeCurve& s, std::uint32_t i, EdgeCurve& o, std::uint32_t j, std::int8_t skip) {
  o.x[j] = s.x[i];
  o.y[j] = s.y[i];
  o.height[j] = s.height[i];
  o.edgeSharpness[j] = s.edgeSharpness[i] - 1.0f;
  o.sectionSharpness[j] = s.sectionSharpness[i];
  o.param[j] = s.param[i];
  o.levels[j] = s.levels[i] - 1.0f;
  o.skipDepth[j] = skip;
  o.flag[j] = s.flag[i];
}

void AppendCarried(const EdgeCurve& s, std::uint32_t i, EdgeCurve& o, std::int8_t skip) {
  Carry(s, i, o, o.count, skip);
  ++o.count;
}

// Appends the new point at fraction f from s[p] toward s[q], with the flag of s[flagOf].
void AppendNew(const EdgeCurve& s, std::uint32_t p, std::uint32_t q, float f,
               std::uint32_t flagOf, EdgeCurve& o) {
  const std::uint32_t j = o.count;
  const float g = 1.0f - f;
  o.x[j] = g * s.x[p] + f * s.x[q];
  o.y[j] = g * s.y[p] + f * s.y[q];
  o.height[j] = g * s.height[p] + f * s.height[q];
  o.sectionSharpness[j] = g * s.sectionSharpness[p] + f * s.sectionSharpness[q];
  o.param[j] = g * s.param[p] + f * s.param[q];
  o.edgeSharpness[j] = g * s.edgeSharpness[p] + f * s.edgeSharpness[q] - 1.0f;
  o.levels[j] = g * s.levels[p] + f * s.levels[q] - 1.0f;
  o.skipDepth[j] = 0;
  o.flag[j] = s.flag[flagOf];
  o.count = j + 1;
}

// A point i that lies within the flatness distance of the midpoint of a and b keeps no levels.
void ClampFlat(EdgeCurve& s, std::uint32_t i, std::uint32_t a, std::uint32_t b) {
  const float dx = s.x[i] - 0.5f * (s.x[a] + s.x[b]);
  const float dy = s.y[i] - 0.5f * (s.y[a] + s.y[b]);
  const float dh = s.height[i] - 0.5f * (s.height[a] + s.height[b]);
  if (dx * dx + dy * dy + dh * dh < kFlatPointDeviation2) {
    s.levels[i] = gKernelTable.KernelMin(s.levels[i], 0.0f);
  }
}

// The segment p-q left whole: the last point out skips one more level and q follows it.
void KeepWhole(const EdgeCurve& s, std::uint32_t p, std::uint32_t q, EdgeCurve& o) {
  o.skipDepth[o.count - 1] = OneMore(s.skipDepth[p]);
  AppendCarried(s, q, o, 0);
  ++o.extra;
}

// The first segment of a closed Edge or an open curve; an open curve drops its first point
// when the segment splits.
void RoundStart(const EdgeCurve& s, EdgeCurve& o, bool keepFirst) {
  if (!Splits(s, 0, 1)) {
    AppendCarried(s, 0, o, OneMore(s.skipDepth[0]));
    AppendCarried(s, 1, o, 0);
    ++o.extra;
    return;
  }
  const Position r1 = Near(s, 1, 2, s.skipDepth[1]);
  if (keepFirst) AppendCarried(s, 0, o, 0);
  // One new point next to P1: the midpoint for skip depth 0 (w(0) = 0.5), else at w(d) of the
  // segment from P1.
  AppendNew(s, 1, 0, SplitWeight(s.skipDepth[0]), 0, o);
  const Position e = At(o, o.count - 1);
  AppendCarried(s, 1, o, 0);
  SetPosition(o, o.count - 1, VertexPosition(s, 1, e, r1));
}

// The last segment; an open curve drops its last point when the segment splits.
void RoundEnd(const EdgeCurve& s, EdgeCurve& o, bool keepLast) {
  const std::uint32_t m = s.count;
  const std::uint32_t p = m - 2, q = m - 1;
  const std::uint32_t n = o.count;
  if (!Splits(s, p, q)) return KeepWhole(s, p, q, o);
  const Position l = Near(s, p, m - 3, s.skipDepth[m - 3]);
  AppendNew(s, p, q, SplitWeight(s.skipDepth[p]), p, o);
  Blend(o, n - 1, VertexPosition(s, p, l, At(o, n)));
  o.skipDepth[n - 1] = 0;
  if (keepLast) AppendCarried(s, q, o, 0);
}

}  // namespace

float SplitWeight(std::int8_t d) {
  // Depths above 125 would leave the normal range; no refinement runs that many levels.
  const std::int32_t depth = std::min<std::int32_t>(d, 125);
  return std::bit_cast<float>(std::bit_cast<std::int32_t>(0.5f) - depth * (1 << 23));
}

float CurveMidpointDeviation(const EdgeCurve& c, std::uint32_t i) {
  const float dx = c.x[i] - 0.5f * (c.x[i - 1] + c.x[i + 1]);
  const float dy = c.y[i] - 0.5f * (c.y[i - 1] + c.y[i + 1]);
  const float dh = c.height[i] - 0.5f * (c.height[i - 1] + c.height[i + 1]);
  return gKernelTable.KernelSqrt(dx * dx + dy * dy + dh * dh);
}

void RoundCornerKernel(EdgeCurve& s, std::uint32_t k, EdgeCurve& o) {
  const std::uint32_t p0 = k, p1 = k + 1, p2 = k + 2, p3 = k + 3;
  ClampFlat(s, p1, p0, p2);
  ClampFlat(s, p2, p1, p3);
  const std::uint32_t n = o.count;
  if (!Splits(s, p1, p2)) return KeepWhole(s, p1, p2, o);
  // The expected new neighbours of P1 on its left and of P2 on its right.
  const Position l1 = Near(s, p1, p0, s.skipDepth[p0]);
  const Position r2 = Near(s, p2, p3, s.skipDepth[p2]);
  const std::int8_t d = s.skipDepth[p1];
  if (d == 0) {
    AppendNew(s, p1, p2, 0.5f, p1, o);
    const Position e = At(o, n);
    Blend(o, n - 1, VertexPosition(s, p1, l1, e));
    o.skipDepth[n - 1] = 0;
    AppendCarried(s, p2, o, 0);
    SetPosition(o, n + 1, VertexPosition(s, p2, e, r2));
    return;
  }
  // Left whole for d levels: split at w(d) from each end, the spacing of the finer segments
  // beside it.
  const float f = SplitWeight(d);
  AppendNew(s, p1, p2, f, p1, o);
  Blend(o, n - 1, VertexPosition(s, p1, l1, At(o, n)));
  o.skipDepth[n - 1] = 0;
  AppendNew(s, p2, p1, f, p1, o);
  const Position b = At(o, n + 1);
  AppendCarried(s, p2, o, 0);
  SetPosition(o, n + 2, VertexPosition(s, p2, b, r2));
}

void RoundCornerClosedStart(const EdgeCurve& s, EdgeCurve& o) { RoundStart(s, o, true); }
void RoundCornerOpenStart(const EdgeCurve& s, EdgeCurve& o) { RoundStart(s, o, false); }
void RoundCornerClosedEnd(const EdgeCurve& s, EdgeCurve& o) { RoundEnd(s, o, true); }
void RoundCornerOpenEnd(const EdgeCurve& s, EdgeCurve& o) { RoundEnd(s, o, false); }

void RoundCornerPoleStart(const EdgeCurve& s, EdgeCurve& o) {
  if (!Splits(s, 0, 1)) {
    Carry(s, 0, o, 0, OneMore(s.skipDepth[0]));
    Carry(s, 1, o, 1, 0);
    ++o.extra;
  } else {
    Carry(s, 0, o, 0, 0);
    // The pole itself is P1's left neighbour; on the right, b weights P1 (the other way round
    // from near()), so a pole-marked segment gives P1 itself.
    const Position r = Mix(At(s, 2), At(s, 1), SplitWeight(s.skipDepth[1]));
    Carry(s, 1, o, 1, 0);
    SetPosition(o, 1, VertexPosition(s, 1, At(s, 0), r));
  }
  o.count = 2;
}

void RoundCornerPoleEnd(const EdgeCurve& s, EdgeCurve& o) {
  o.skipDepth[o.count - 1] = 0;
  AppendCarried(s, s.count - 1, o, 0);
}

}  // namespace veskor
