#include "geometry/skin_sampling.h"

#include <cmath>

#include "foundation/session_log.h"
#include "geometry/cross_section.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

// A parameter at or above this ends the walk along a section.
constexpr float kSectionEnd = 0.9995f;

struct WalkPoint {
  std::uint32_t index;
  float param;  // where the point lies along the row, 0 to 1
  float copy;   // its pathParamCopy
  float value;
};

// One walk over points first to last of a section: closed walks continue after the last point
// with point 0 at parameter 1.0; open walks stop at the last point.
struct SectionWalk {
  const SweepPath& s;
  std::uint32_t first, last;
  bool closed;
  bool uniform;

  WalkPoint At(std::uint32_t i) const {
    float param = HalfToFloat(s.packedT[i]);
    if (uniform) param = last > first ? float(i - first) / float(last - first) : 0.0f;
    return {i, param, HalfToFloat(s.packedTCopy[i]), s.edgeValue[i]};
  }
  WalkPoint After(const WalkPoint& p) const {
    if (p.index < last) return At(p.index + 1);
    if (closed) return {0, 1.0f, 1.0f, s.edgeValue[0]};
    return At(last);
  }
  bool CanStep(const WalkPoint& next) const {
    return next.param < kSectionEnd && (closed || next.index < last);
  }
};

bool Differs(float value, float reference) {
  return !(std::fabs(value - reference) < kSectionTolerance);
}

void EmptyRow(std::uint32_t n, const SweepPath& s, float* const* rows) {
  for (std::uint32_t k = 0; k < n; ++k) {
    rows[kSampleX][k] = rows[kSampleY][k] = 0.0f;
    rows[kSampleHeight][k] = s.height;
    rows[kSampleParam][k] = 0.0f;
    rows[kSampleSection][k] = ProfileVCapped(s);
    rows[kSampleValue][k] = rows[kSampleMark][k] = 0.0f;
  }
}

void SampleRow(std::uint32_t n, const SweepPath& s, float* const* rows, bool closed) {
  if (n == 0) return;
  const std::uint32_t count = s.count;
  if (closed ? count == 0 : count < 3) {
    EmptyRow(n, s, rows);
    return;
  }
  const SectionWalk walk{s, closed ? 0u : 1u, closed ? count - 1 : count - 2, closed,
                         s.totalLength < kSectionTolerance};
  const float reference = ReferenceValue(s);
  WalkPoint prev = walk.At(walk.first);
  prev.param = 0.0f;
  WalkPoint before = walk.At(closed ? walk.last : 0);
  WalkPoint next = walk.After(prev);

  float markPrev = 0, markNext = 0, value = 0;
  const auto segment = [&] {
    const bool p = Differs(prev.value, reference), b = Differs(before.value, reference),
               q = Differs(next.value, reference);
    markPrev = (p || b) ? 1.0f : 0.0f;
    markNext = (p || q) ? 1.0f : 0.0f;
    value = p ? prev.value : b ? before.value : q ? next.value : prev.value;
  };
  segment();

  const float sectionWord = ProfileVCapped(s);
  for (std::uint32_t k = 0; k < n; ++k) {
    const float at = n > 1 ? float(k) / float(n - 1) : 0.0f;
    while (at > next.param - kSectionTolerance && walk.CanStep(next)) {
      before = prev;
      prev = next;
      next = walk.After(prev);
      segment();
    }
    // A segment from a point to itself (a one-point range) or between equal parameters has
    // no length to divide: the sample takes its first point.
    // An open walk that stops at its last point below the end of the parameter holds there.
    const float span = next.param - prev.param;
    float f = (prev.index != next.index && span > 0.0f) ? (at - prev.param) / span : 0.0f;
    if (f > 1.0f) f = 1.0f;
    const float g = 1.0f - f;
    rows[kSampleX][k] = g * s.x[prev.index] + f * s.x[next.index];
    rows[kSampleY][k] = g * s.y[prev.index] + f * s.y[next.index];
    rows[kSampleHeight][k] = s.height;
    rows[kSampleParam][k] = g * prev.copy + f * next.copy;
    rows[kSampleSection][k] = sectionWord;
    rows[kSampleValue][k] = value;
    rows[kSampleMark][k] = g * markPrev + f * markNext;
  }
}

void LogRefused(const char* what) {
  SessionLog& log = LogStream();
  LogWriteText(log, "Skin grids : ");
  LogWriteText(log, what);
  LogWriteText(log, ", the grids are left as they are\n");
}

// The grid of each map of a set: maps 0 to 2 to grids 0 to 2, maps 3 to 5 to grids 6 to 8.
constexpr std::uint32_t kGridOfMap[kSkinWorkMapsPerSet] = {0, 1, 2, 6, 7, 8};
// The B-spline weight tables reach eight levels of refinement.
constexpr std::int32_t kMaxRefineLevels = 8;

}  // namespace

void SizeSkinGrids(SkinGridSet& set, std::uint32_t w, std::uint32_t h) {
  for (VertexGrid& grid : set.grids)
    VertexGridAlloc(grid, static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h));
}

void SkinPathSamples(std::uint32_t n, const SweepPath& section, float* const* rows) {
  SampleRow(n, section, rows, true);
}

void SkinPathSamplesAlt(std::uint32_t n, const SweepPath& section, float* const* rows) {
  SampleRow(n, section, rows, false);
}

void SkinSampleWeights(float a, float b, float* u, float* s) {
  if (std::fabs(a - 0.5f) < 1e-5f && std::fabs(b - 0.5f) < 1e-5f) {
    *u = 0.0f;
    *s = 0.0f;
  } else if (a >= b && b < 1.0f - a) {  // bottom
    *s = 2.0f * (0.5f - b);
    *u = 0.25f * (a - b) / *s;
  } else if (a >= b) {  // right
    *s = 2.0f * (a - 0.5f);
    *u = 0.25f * ((b - (1.0f - a)) / *s + 1.0f);
  } else if (1.0f - a <= b) {  // top
    *s = 2.0f * (b - 0.5f);
    *u = 0.5f + 0.25f * (b - a) / *s;
  } else {  // left
    *s = 2.0f * (0.5f - a);
    *u = 0.75f + 0.25f * ((1.0f - b) - a) / *s;
  }
}

void MapsToSkinGrids(SkinGridSet& set, const Map* maps) {
  if (maps[0].data == nullptr) return;
  const VertexGrid& first = set.grids[0];
  const std::uint32_t w = first.log2Width, h = first.log2Height;
  for (std::uint32_t j = 0; j < kSkinWorkMapsPerSet; ++j) {
    const VertexGrid& grid = set.grids[kGridOfMap[j]];
    const Map& map = maps[j];
    if (grid.data == nullptr || grid.log2Width != w || grid.log2Height != h ||
        map.data == nullptr) {
      LogRefused("maps or grids missing");
      return;
    }
    const std::int32_t dw = std::int32_t(w) - map.log2Width, dh = std::int32_t(h) - map.log2Height;
    if (dw < 0 || dh < 0 || dw > kMaxRefineLevels || dh > kMaxRefineLevels) {
      LogRefused("maps coarser than the grids by more than eight levels, or finer");
      return;
    }
  }
  const auto u8 = [](std::uint32_t v) { return static_cast<std::uint8_t>(v); };
  MemBlock work{};
  const std::uint64_t netValues = ((std::uint64_t{1} << w) + 3) * ((std::uint64_t{1} << h) + 3);
  MemBlockReserve(work, static_cast<std::uint32_t>(netValues * 4));
  float* const net =
      static_cast<float*>(MemBlockAppend(work, static_cast<std::uint32_t>(netValues * 4)));
  for (std::uint32_t j = 0; j < kSkinWorkMapsPerSet; ++j) {
    VertexGrid& grid = set.grids[kGridOfMap[j]];
    const Map& map = maps[j];
    const std::uint8_t dw = u8(w - map.log2Width), dh = u8(h - map.log2Height);
    if (j < 3) {
      gKernelTable.MapBSplineUpsample(u8(map.log2Width), u8(map.log2Height), dw, dh, map.data, net);
      gKernelTable.GridFromBordered(u8(w), u8(h), net, grid.data);
      gKernelTable.GridNetToCells(u8(w), u8(h), net, VertexGridTakeCompanion(grid, 1));
      grid.companionValid = 1;
    } else {
      gKernelTable.GridBSplineEval(u8(map.log2Width), u8(map.log2Height), dw, dh, map.data,
                                   grid.data);
    }
  }
  MemBlockRelease(work);
}

void FilterSkinTextures(SkinSlot& slot, const SkinWork& work) {
  for (std::uint32_t k = 0; k < kSkinSetCount; ++k) MapsToSkinGrids(slot.gridSets[k], work.maps[k]);
}

}  // namespace veskor
