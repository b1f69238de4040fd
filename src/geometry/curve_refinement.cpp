#include "geometry/curve_refinement.h"

#include <algorithm>
#include <cmath>

#include "geometry/corner_rounding.h"
#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

constexpr double kLog2OfE = 1.4426950216293335;
// The end's own weight in the pole blend at full sharpness is 0.5857864 + this: exactly 1.
constexpr float kPoleKeep = 0.41421357f;

// Scratch records kept from the first refinement to the exit; their curves hand their blocks
// back after each use, so between calls only the records stay.
struct RefinementScratch {
  EdgeCurveList list{};  // the other list of the closed levels
  EdgeCurve open{};      // the other curve of an open curve's levels
  EdgeCurve poles{};     // an Edge with its poles, during the first level
  ~RefinementScratch() {
    EdgeCurveListRelease(list);
    EdgeCurveRelease(open);
    EdgeCurveRelease(poles);
  }
};

RefinementScratch& Scratch() {
  static RefinementScratch scratch;
  return scratch;
}

// Empties the list for the source's curves and appends n cleared ones.
void PrepareList(EdgeCurveList& list, const EdgeCurveList& source, std::uint32_t kind) {
  EdgeCurveListResize(list, std::max(source.capacity, source.count), kind);
  if (source.count > 0) EdgeCurveListAppend(list, source.count);
}

void AddPoint(float* sum, const EdgeCurve& c, std::uint32_t i, float weight) {
  sum[0] += weight * c.x[i];
  sum[1] += weight * c.y[i];
  sum[2] += weight * c.height[i];
  sum[3] += weight * c.edgeSharpness[i];
  sum[4] += weight * c.sectionSharpness[i];
}

CurvePole Mean(const float* sum, std::uint32_t n) {
  if (n == 0) return {};
  const float k = 1.0f / static_cast<float>(n);
  return {sum[0] * k, sum[1] * k, sum[2] * k, sum[3] * k, sum[4] * k};
}

void AppendPole(EdgeCurve& c, const CurvePole& p, float levels, std::uint8_t flag) {
  AppendCurvePoint(c, p.x, p.y, p.height, p.edgeSharpness, p.sectionSharpness, levels, flag);
}

// The levels of the two pole points of every refined Edge: the means of the Edges' levels next
// to them.
void SetPoleLevels(EdgeCurveList& list) {
  float a = 0, b = 0;
  std::uint32_t n = 0;
  for (std::uint32_t c = 0; c < list.count; ++c) {
    const EdgeCurve& q = list.curves[c];
    if (q.count < 3) continue;
    a += q.levels[1];
    b += q.levels[q.count - 2];
    ++n;
  }
  if (n == 0) return;
  a /= static_cast<float>(n);
  b /= static_cast<float>(n);
  for (std::uint32_t c = 0; c < list.count; ++c) {
    EdgeCurve& q = list.curves[c];
    if (q.count < 3) continue;
    q.levels[0] = a;
    q.levels[q.count - 1] = b;
  }
}

// One end of an Edge pulled toward its pole.
void BlendEnd(EdgeCurve& q, std::uint32_t end, const CurvePole& pole) {
  const KernelTable& k = gKernelTable;
  const float s =
      (k.KernelClamp01(pole.edgeSharpness) - 1.0f) * k.KernelClamp01(q.levels[end]) + 1.0f;
  const float toPole = (1.0f - s) * kRoundCornerPull;
  const float toPoint = s * kRoundCornerPull + kPoleKeep;
  q.x[end] = toPoint * q.x[end] + toPole * pole.x;
  q.y[end] = toPoint * q.y[end] + toPole * pole.y;
  q.height[end] = toPoint * q.height[end] + toPole * pole.height;
}

// The first level of a list of Edges into `out`.
void FirstLevel(EdgeCurveList& source, SubdivisionSettings& settings, const CurvePole& bottom,
                const CurvePole& top, EdgeCurveList& out) {
  for (std::uint32_t c = 0; c < source.count; ++c) {
    RefineClosedCurveFirstLevel(source.curves[c], out.curves[c], settings, bottom, top);
  }
  SetPoleLevels(out);
}

void RefineOpenCurves(EdgeCurveList& source, std::uint32_t levels, SubdivisionSettings& settings,
                      EdgeCurveList& destination) {
  EdgeCurve& scratch = Scratch().open;
  PrepareList(destination, source, kEdgeCurveListCurveSet);
  for (std::uint32_t c = 0; c < source.count; ++c) {
    EdgeCurve& q = source.curves[c];
    EdgeCurve& out = destination.curves[c];
    const std::uint32_t m = q.count;
    // A curve of fewer than three points (a curve set of one row) has no corner to round.
    if (m >= 3) {
      for (std::uint32_t i = 1; i + 1 < m; ++i) {
        const float size = 0.5f * CurveMidpointDeviation(q, i);
        q.levels[i] = 1.0f + CurveLodLevel(settings, size, q.x[i], q.y[i], q.height[i]);
      }
      q.levels[0] = q.levels[1];
      q.levels[m - 1] = q.levels[m - 2];
    }
    if (m < 3 || levels == 0) {
      EdgeCurveCopy(out, q);
      continue;
    }
    // Alternate so that the last level writes the destination.
    EdgeCurve* from = &q;
    EdgeCurve* to = levels % 2 != 0 ? &out : &scratch;
    for (std::uint32_t r = 0; r < levels; ++r) {
      RefineOpenCurveLevel(*from, *to);
      from = to;
      to = to == &out ? &scratch : &out;
    }
    EdgeCurveRelease(scratch);
  }
  ModelCurveMetrics(destination);
}

void RefineModelEdges(EdgeCurveList& source, std::uint32_t levels, SubdivisionSettings& settings,
                      EdgeCurveList& destination) {
  EdgeCurveList& scratch = Scratch().list;
  const std::uint32_t n = source.count;
  PrepareList(destination, source, kEdgeCurveListModel);
  PrepareList(scratch, source, kEdgeCurveListModel);
  CurvePole bottom, top;
  EdgePoleAverages(source, bottom, top);
  if (levels == 0) {
    for (std::uint32_t c = 0; c < n; ++c) {
      AttachPoles(source, c, bottom, top, destination.curves[c]);
    }
    ModelCurveMetrics(destination);
    return;
  }
  // The first level writes the destination when the number of levels is odd; every later
  // level swaps, so the last one ends in the destination.
  EdgeCurveList* from = levels % 2 != 0 ? &destination : &scratch;
  FirstLevel(source, settings, bottom, top, *from);
  for (std::uint32_t r = levels - 1; r >= 1; --r) {
    EdgeCurveList* to = r % 2 != 0 ? &destination : &scratch;
    for (std::uint32_t c = 0; c < n; ++c) RefineClosedCurveLevel(from->curves[c], to->curves[c]);
    RefinedPoleAverages(*to, bottom, top);
    BlendPoles(*to, bottom, top);
    EdgeCurveListClear(*from);
    EdgeCurveListAppend(*from, n);
    from = to;
  }
  ModelCurveMetrics(destination);
}

// One level of a curve: its corners rounded between the curve's own start and end rules (a
// curve of fewer than three points is copied).
void RefineCurveLevel(EdgeCurve& s, EdgeCurve& o, void (*start)(const EdgeCurve&, EdgeCurve&),
                      void (*end)(const EdgeCurve&, EdgeCurve&)) {
  const std::uint32_t m = s.count;
  if (m < 3) {
    EdgeCurveCopy(o, s);
    return;
  }
  EdgeCurveResize(o, s.extra + 2 * m);
  start(s, o);
  for (std::uint32_t k = 0; k + 3 < m; ++k) RoundCornerKernel(s, k, o);
  end(s, o);
  EdgeCurveMetrics(o);
}

}  // namespace

float CurveLodBoxLevel(const LodRange& range, std::uint32_t i, float size, float distance) {
  const KernelTable& k = gKernelTable;
  const float value = range.list->records[i].value;
  const float f = value * range.scale * size / (distance * range.distanceFactor + 1.0f);
  const auto level = static_cast<float>(std::log(static_cast<double>(f)) * kLog2OfE);
  return k.KernelMin(k.KernelMax(level, static_cast<float>(range.minLevel)),
                     static_cast<float>(range.maxLevel));
}

float SweepPathLevel(const LodRange& range, float size, float x, float y, float height) {
  const LodBoxList* list = range.list;
  const std::uint32_t count =
      list == nullptr ? 0 : std::min(list->count, kLodBoxListCapacity);
  // Without a box nothing asks for detail (rather than reading whatever box 0 holds).
  if (count == 0) return static_cast<float>(range.minLevel);
  const float r = 0.5f * size;
  float best = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    float d = PointBoxDistance(list->records[i], x, y, height) - r;
    if (!(d > 0)) d = 0;
    const float level = CurveLodBoxLevel(range, i, size, d);
    if (i == 0 || level >= best) best = level;
  }
  return best;
}

float CurveLodLevel(SubdivisionSettings& settings, float size, float x, float y, float height) {
  float p[3] = {x, y, height};
  if (TransformNodeFlag(settings.transform) == 0) {
    const float q[3] = {x, y, height};
    gKernelTable.KernelTransformPoint(p, TransformNodeMatrix(settings.transform), q);
  }
  return SweepPathLevel(settings.range, size, p[0], p[1], p[2]);
}

void RefineOpenCurveLevel(EdgeCurve& s, EdgeCurve& o) {
  RefineCurveLevel(s, o, RoundCornerOpenStart, RoundCornerOpenEnd);
}

void RefineClosedCurveLevel(EdgeCurve& s, EdgeCurve& o) {
  RefineCurveLevel(s, o, RoundCornerClosedStart, RoundCornerClosedEnd);
}

void RefineClosedCurveFirstLevel(const EdgeCurve& q, EdgeCurve& o, SubdivisionSettings& settings,
                                 const CurvePole& bottom, const CurvePole& top) {
  const std::uint32_t m = q.count;
  if (m == 0) {
    EdgeCurveResize(o, 0);
    return;
  }
  // W: the bottom pole, the Edge's points, the top pole.
  EdgeCurve& w = Scratch().poles;
  EdgeCurveResize(w, m + 2);
  AppendPole(w, bottom, q.levels[0], q.flag[0]);
  for (std::uint32_t i = 0; i < m; ++i) {
    AppendCurvePoint(w, q.x[i], q.y[i], q.height[i], q.edgeSharpness[i], q.sectionSharpness[i],
                     q.levels[i], q.flag[i]);
    w.param[i + 1] = static_cast<float>(i);
  }
  AppendPole(w, top, q.levels[m - 1], q.flag[m - 1]);
  w.param[m + 1] = static_cast<float>(m - 1);
  // The segments that join the Edge to its poles carry the pole mark.
  w.skipDepth[0] = -1;
  w.skipDepth[m] = -1;
  w.extra = q.extra;

  // Every point's level of detail at the Edge's second point (its only point when it has one).
  const std::uint32_t at = m > 1 ? 1 : 0;
  float p[3] = {q.x[at], q.y[at], q.height[at]};
  if (TransformNodeFlag(settings.transform) == 0) {
    const float point[3] = {p[0], p[1], p[2]};
    gKernelTable.KernelTransformPoint(p, TransformNodeMatrix(settings.transform), point);
  }
  for (std::uint32_t i = 1; i <= m; ++i) {
    w.levels[i] = SweepPathLevel(settings.range, CurveMidpointDeviation(w, i), p[0], p[1], p[2]);
  }
  w.levels[m + 1] = w.levels[m];
  w.levels[0] = w.levels[1];

  EdgeCurveResize(o, w.extra + 2 * w.count);
  RoundCornerPoleStart(w, o);
  for (std::uint32_t k = 0; k + 3 < w.count; ++k) RoundCornerKernel(w, k, o);
  RoundCornerPoleEnd(w, o);
  EdgeCurveRelease(w);
  EdgeCurveMetrics(o);
}

void EdgePoleAverages(const EdgeCurveList& list, CurvePole& bottom, CurvePole& top) {
  float low[5] = {}, high[5] = {};
  std::uint32_t n = 0;
  for (std::uint32_t c = 0; c < list.count; ++c) {
    const EdgeCurve& q = list.curves[c];
    if (q.count == 0) continue;
    AddPoint(low, q, 0, 1.0f);
    AddPoint(high, q, q.count - 1, 1.0f);
    ++n;
  }
  bottom = Mean(low, n);
  top = Mean(high, n);
}

void RefinedPoleAverages(const EdgeCurveList& list, CurvePole& bottom, CurvePole& top) {
  // t = 2^-k, k the end segment's skip depth; the pole mark (the byte 0xFF) stands for the end
  // point itself, t = 0.
  auto weight = [](std::int8_t d) {
    const auto k = static_cast<std::uint8_t>(d);
    return k == 0xFF ? 0.0f : std::ldexp(1.0f, -static_cast<int>(k));
  };
  float low[5] = {}, high[5] = {};
  std::uint32_t n = 0;
  for (std::uint32_t c = 0; c < list.count; ++c) {
    const EdgeCurve& q = list.curves[c];
    const std::uint32_t m = q.count;
    if (m < 2) continue;
    const float t0 = weight(q.skipDepth[0]);
    AddPoint(low, q, 0, 1.0f - t0);
    AddPoint(low, q, 1, t0);
    const float t1 = weight(q.skipDepth[m - 2]);
    AddPoint(high, q, m - 2, t1);
    AddPoint(high, q, m - 1, 1.0f - t1);
    ++n;
  }
  bottom = Mean(low, n);
  top = Mean(high, n);
}

void BlendPoles(EdgeCurveList& list, const CurvePole& bottom, const CurvePole& top) {
  const KernelTable& k = gKernelTable;
  for (std::uint32_t c = 0; c < list.count; ++c) {
    EdgeCurve& q = list.curves[c];
    if (q.count < 2) continue;
    const std::uint32_t e = q.count - 1;
    BlendEnd(q, 0, bottom);
    q.height[1] = k.KernelMax(q.height[1], bottom.height);
    BlendEnd(q, e, top);
    q.height[e - 1] = k.KernelMin(q.height[e - 1], top.height);
  }
}

void AttachPoles(const EdgeCurveList& list, std::uint32_t index, const CurvePole& bottom,
                 const CurvePole& top, EdgeCurve& output) {
  const EdgeCurve& q = list.curves[index];
  const std::uint32_t m = q.count;
  EdgeCurveResize(output, m == 0 ? 0 : m + 2);
  if (m == 0) return;
  AppendPole(output, bottom, q.levels[0], q.flag[0]);
  for (std::uint32_t i = 0; i < m; ++i) {
    AppendCurvePoint(output, q.x[i], q.y[i], q.height[i], q.edgeSharpness[i],
                     q.sectionSharpness[i], q.levels[i], q.flag[i]);
    output.param[i + 1] = q.param[i];
  }
  AppendPole(output, top, q.levels[m - 1], q.flag[m - 1]);
  output.param[0] = q.param[0];
  output.param[m + 1] = q.param[m - 1];
  EdgeCurveMetrics(output);
}

void RefineEdgeCurves(EdgeCurveList& source, std::uint32_t levels, SubdivisionSettings& settings,
                      EdgeCurveList& destination) {
  if (source.kind != kEdgeCurveListModel) {
    RefineOpenCurves(source, levels, settings, destination);
  } else {
    RefineModelEdges(source, levels, settings, destination);
  }
}

}  // namespace veskor
