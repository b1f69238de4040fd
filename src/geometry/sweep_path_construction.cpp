#include "geometry/sweep_path_construction.h"

#include <cmath>
#include <cstring>

#include "geometry/cross_section.h"
#include "geometry/scene_build_error.h"
#include "geometry/scratch_array.h"
#include "geometry/section_cut.h"
#include "geometry/slice_heights.h"
#include "geometry/subdivision_settings.h"
#include "geometry/sweep_path_subdivision.h"

namespace veskor {
namespace {

// Shared heights within this of an Edge's point meet it.
constexpr float kHeightTolerance = 1e-5f;

struct RawSection {
  SweepPath path{};
  ~RawSection() { SweepPathRelease(path); }
};
SweepPath& Raw() {
  static RawSection raw;
  return raw.path;
}

// The rows of a curve set's walk, E entries a row: every Edge's cursor and fraction, and the
// row's two seam flags. They grow with the set (a refined terrain tile has many rows).
struct OwnHeightRows {
  ScratchArray<std::uint32_t> cursors;
  ScratchArray<float> fractions;
  ScratchArray<std::uint8_t> seams;  // bit 0: Edge 1 has a point here; bit 1: Edge E - 2
};

float Normalised(float h, float b, float t) { return t != b ? (h - b) / (t - b) : 0.0f; }

// An empty set of the list's kind with its box.
void StartSet(const EdgeCurveList& list, PathSet& out, std::uint32_t rings, std::uint32_t first) {
  PathSetResize(out, rings, list.kind);
  out.kind = list.kind == kEdgeCurveListCurveSet ? kPathSetOpen : kPathSetClosed;
  out.firstIndex = first;
  out.minX = list.box[0];
  out.maxX = list.box[1];
  out.minY = list.box[2];
  out.maxY = list.box[3];
  out.minZ = list.box[4];
  out.maxZ = list.box[5];
}

void OwnHeights(const EdgeCurveList& list, PathSet& out) {
  const std::uint32_t edges = list.count;
  std::uint32_t points = 0;
  bool cuttable = edges >= 4;  // the parameters divide by E - 3
  for (std::uint32_t e = 0; e < edges; ++e) {
    cuttable = cuttable && list.curves[e].count >= 2;
    points += list.curves[e].count;
  }
  if (!cuttable) return StartSet(list, out, 0, 0);

  static OwnHeightRows rows;
  rows.cursors.Reserve(points * edges);
  rows.fractions.Reserve(points * edges);
  rows.seams.Reserve(points);
  for (std::uint32_t e = 0; e < edges; ++e) {
    rows.cursors.Append(1);
    rows.fractions.Append(0);
  }
  rows.seams.Append(3);
  const EdgeCurve& zero = list.curves[0];
  const float bottom = zero.height[1], top = zero.height[zero.count - 2];
  for (;;) {
    const std::uint32_t row = rows.cursors.size() - edges;
    // The next height: the lowest next point of an Edge that has one. That Edge always moves
    // on, so every row takes at least one point and the walk ends even where the tolerance is
    // below the heights' precision (far from the origin h + kSectionTolerance is h) or heights
    // are infinite (inf - inf is NaN); the tests below compare differences, which keep the
    // tolerance at any height.
    bool any = false;
    float h = 0;
    std::uint32_t lowest = 0;
    for (std::uint32_t e = 0; e < edges; ++e) {
      const EdgeCurve& q = list.curves[e];
      const std::uint32_t c = rows.cursors[row + e];
      if (c + 1 >= q.count) continue;
      if (!any || q.height[c + 1] < h) h = q.height[c + 1], lowest = e;
      any = true;
    }
    if (!any) break;
    std::uint8_t seams = 0;
    for (std::uint32_t e = 0; e < edges; ++e) {
      const EdgeCurve& q = list.curves[e];
      std::uint32_t c = rows.cursors[row + e];
      float f = 0;
      if (c + 1 < q.count) {
        if (e == lowest || q.height[c + 1] - h < kSectionTolerance) {
          ++c;
          if (e == 1) seams |= 1;
          if (e == edges - 2) seams |= 2;
        } else {
          const float span = q.height[c + 1] - q.height[c];
          f = span != 0 ? (h - q.height[c]) / span : 0.0f;
        }
      }
      rows.cursors.Append(c);
      rows.fractions.Append(f);
    }
    rows.seams.Append(seams);
    if (!(top - h >= kSectionTolerance)) break;  // the cut that passes the top is the last
  }

  const std::uint32_t count = rows.seams.size();
  StartSet(list, out, count, 0);
  SweepPath* paths = PathSetAppendEmpty(out, count);
  SweepPath& raw = Raw();
  auto at = [](const float* v, std::uint32_t c, float f) {
    return f >= kSectionTolerance ? (1.0f - f) * v[c] + f * v[c + 1] : v[c];
  };
  for (std::uint32_t r = 0; r < count; ++r) {
    const std::uint32_t* cursor = &rows.cursors[r * edges];
    const float* fraction = &rows.fractions[r * edges];
    const bool snap = r == 0 || r + 1 == count;
    SweepPathResize(raw, edges);
    for (std::uint32_t e = 0; e < edges; ++e) {
      const EdgeCurve& q = list.curves[e];
      const std::uint32_t c = cursor[e];
      const float f = fraction[e];
      float x = at(q.x, c, f), y = at(q.y, c, f);
      if (snap) x = SnapToStep(x, kSweepSnapStep), y = SnapToStep(y, kSweepSnapStep);
      const float param =
          static_cast<float>(static_cast<std::int32_t>(e) - 1) / static_cast<float>(edges - 3);
      SweepPathAppend(raw, x, y, at(q.sectionSharpness, c, f), param, kSectionLevelsNew, 0, 0);
    }
    const float h = at(zero.height, cursor[0], fraction[0]);
    raw.height = snap ? SnapToStep(h, kSweepSnapStep) : h;
    ProfileV(raw) = ProfileVCapped(raw) = Normalised(h, bottom, top);
    const std::uint8_t seams = rows.seams[r];
    std::uint32_t kind = kSectionPlain;
    if ((seams & 1) != 0) kind |= kSectionLeftSeam;
    if ((seams & 2) != 0) kind |= kSectionRightSeam;
    SectionKind(raw) = kind;
    SubdivideSweepPaths2(raw, kSweepPathLevelCap, gObjectGeometryLod, paths[r]);
  }
}

void SharedHeights(const EdgeCurveList& list, const float* heights, const std::uint32_t* tags,
                   std::uint32_t heightCount, SliceTable& table, PathSet& out, float index) {
  const std::uint32_t edges = list.count;
  bool cuttable = edges > 0 && edges <= kSliceTableEdgeMax;
  for (std::uint32_t e = 0; cuttable && e < edges; ++e) cuttable = list.curves[e].count > 0;
  if (!cuttable) return StartSet(list, out, 0, 0);
  const EdgeCurve& zero = list.curves[0];
  const float bottom = zero.height[0], top = zero.height[zero.count - 1];
  std::uint32_t lo = 0;
  while (lo < heightCount && heights[lo] < bottom - kHeightTolerance) ++lo;
  std::uint32_t end = heightCount;  // one past the last height at or below the top
  while (end > 0 && heights[end - 1] > top + kHeightTolerance) --end;
  // Heights that do not rise from the bottom to the top give no ring.
  if (end <= lo) return StartSet(list, out, 0, 0);
  const std::uint32_t count = end - lo;
  StartSet(list, out, count, lo);
  SweepPath* paths = PathSetAppendEmpty(out, count);

  // Each Edge starts on its last point at the bottom height and stops on its first point at
  // the top height.
  std::uint32_t cursor[kSliceTableEdgeMax], last[kSliceTableEdgeMax];
  float fraction[kSliceTableEdgeMax] = {};
  for (std::uint32_t e = 0; e < edges; ++e) {
    const EdgeCurve& q = list.curves[e];
    std::uint32_t c = 0, stop = q.count;
    while (c + 1 < q.count && std::fabs(q.height[c + 1] - bottom) <= kHeightTolerance) ++c;
    while (stop >= 2 && std::fabs(q.height[stop - 2] - top) <= kHeightTolerance) --stop;
    cursor[e] = c;
    last[e] = stop - 1;
  }
  SweepPath& raw = Raw();
  for (std::uint32_t j = lo; j < end; ++j) {
    const float h = heights[j];
    bool point = false;
    if (j > lo) {
      for (std::uint32_t e = 0; e < edges; ++e) {
        const float* z = list.curves[e].height;
        std::uint32_t& c = cursor[e];
        while (c < last[e] && h - kHeightTolerance > z[c + 1]) ++c;
        if (c < last[e] && z[c + 1] <= h + kHeightTolerance) {
          ++c;
          fraction[e] = 0;
          point = true;
        } else if (c >= last[e]) {
          fraction[e] = 0;
        } else {
          const float span = z[c + 1] - z[c];
          fraction[e] = span != 0 ? (h - z[c]) / span : 0.0f;
        }
      }
    }
    SectionCut(list, cursor, fraction, raw, table, index);
    if (SceneBuildFailed()) return;
    raw.height = h;
    ProfileV(raw) = ProfileVCapped(raw) = Normalised(h, bottom, top);
    SweepPath& ring = paths[j - lo];
    SubdivideSweepPaths(raw, kSweepPathLevelCap, gObjectGeometryLod, ring);
    SectionKind(ring) = j == lo                               ? kSectionCappedBottom
                        : !point && tags[j] == kSliceTagPoint ? kSectionLeftOut
                                                              : kSectionPlain;
    SetReferenceValue(ring, index);
  }
  SectionKind(paths[count - 1]) = kSectionCappedTop;
}

}  // namespace

float SnapToStep(float value, float step) {
  const float q = value / step;
  const float n = std::trunc(q);
  return q - n > 0.5f ? (n + 1) * step : n * step;
}

void BuildSweepPaths(const EdgeCurveList& list, const float* heights, const std::uint32_t* tags,
                     std::uint32_t heightCount, SliceTable* table, PathSet& out, float index) {
  if (SceneBuildFailed()) return;
  if (list.kind == kEdgeCurveListCurveSet) return OwnHeights(list, out);
  if (table == nullptr) return StartSet(list, out, 0, 0);
  SharedHeights(list, heights, tags, heightCount, *table, out, index);
}

}  // namespace veskor
