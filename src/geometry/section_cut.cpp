#include "geometry/section_cut.h"

#include <cmath>

#include "geometry/cross_section.h"
#include "geometry/scene_build_error.h"
#include "geometry/scene_objects.h"

namespace veskor {
namespace {

// What the cut records between SectionCut's start and SectionCutSlices: per Edge its cut
// point, and the triples and slices touched, each in the order touched (the lists are short,
// so a search replaces per-triple and per-slice marks).
struct CutRecord {
  float x[kSliceTableEdgeMax];
  float y[kSliceTableEdgeMax];
  float fraction[kSliceTableEdgeMax];
  float value[kSliceTableEdgeMax];
  float position[kSliceTableEdgeMax];
  std::uint32_t triples[kSliceTableEdgeMax];  // indices into the table's triples
  std::uint32_t masks[kSliceTableEdgeMax];    // the Edges of each touched triple
  std::uint32_t tripleCount;
  std::uint32_t slices[kBankPathMax];  // slice indices, by local number
  std::uint32_t sliceCount;
};
CutRecord gCut{};

// An Edge touches three slices at most: the Edge cap keeps the banks from overflowing.
static_assert(3 * kSliceTableEdgeMax <= kBankPathMax);

std::uint32_t Find(const std::uint32_t* list, std::uint32_t count, std::uint32_t value) {
  std::uint32_t i = 0;
  while (i < count && list[i] != value) ++i;
  return i;
}

}  // namespace

SubdivisionBanks gSubdivisionBanks{{}, 0, 0, 1, 0, {}, {}, {}};

SubdivisionBanks::~SubdivisionBanks() {
  for (auto& bank : paths) {
    for (SweepPath& path : bank) SweepPathRelease(path);
  }
  for (SweepPath& path : weightPaths) SweepPathRelease(path);
}

void SectionCut(const EdgeCurveList& list, const std::uint32_t* segments, const float* fractions,
                SweepPath& out, SliceTable& table, float value) {
  const std::uint32_t n = list.count;
  SweepPathResize(out, n);
  gCut.tripleCount = gCut.sliceCount = 0;
  table.cursor = 0;
  if (n > kSliceTableEdgeMax) return SceneBuildFail(kTooManyObjectEdgesMessage);
  if (n != table.edgeCount) return SceneBuildFail(kCutOutsideSliceTableMessage);
  for (std::uint32_t e = 0; e < n; ++e) {
    const EdgeCurve& q = list.curves[e];
    if (q.count == 0) {
      SceneBuildFail(kCutOutsideSliceTableMessage);
      return;
    }
    const std::uint32_t s = segments[e] < q.count ? segments[e] : q.count - 1;
    const float t = fractions[e];
    float x = q.x[s], y = q.y[s], sharpness = q.sectionSharpness[s], param = q.param[s];
    if (!(std::fabs(t) < kSectionTolerance) && s + 1 < q.count) {
      const float g = 1.0f - t;
      x = g * q.x[s] + t * q.x[s + 1];
      y = g * q.y[s] + t * q.y[s + 1];
      sharpness = g * q.sectionSharpness[s] + t * q.sectionSharpness[s + 1];
      param = g * q.param[s] + t * q.param[s + 1];
    }
    const float position = static_cast<float>(e) / static_cast<float>(n);
    SectionCutRecord(table, param, x, y, position, value);
    if (SceneBuildFailed()) return;
    SweepPathAppend(out, x, y, sharpness, position, 128.0f, value, 0);
  }
  SectionCutSlices(table, gSubdivisionBanks);
}

void SectionCutRecord(SliceTable& table, float param, float x, float y, float position,
                      float value) {
  const std::uint32_t e = table.cursor;
  if (e >= kSliceTableEdgeMax) return SceneBuildFail(kTooManyObjectEdgesMessage);
  const float r = param + 0.5f;
  const std::uint32_t points = table.edgeTriples[e].count;
  if (points == 0 || !(r < static_cast<float>(points))) {
    return SceneBuildFail(kCutOutsideSliceTableMessage);
  }
  const std::uint32_t k = r > 0 ? static_cast<std::uint32_t>(r) : 0;
  const std::uint32_t tr = SliceTableEdgeTriples(table, e)[k];
  const std::uint32_t triple = SliceTableTriples(table)[tr];
  gCut.x[e] = x;
  gCut.y[e] = y;
  gCut.fraction[e] = r - static_cast<float>(k);
  gCut.value[e] = value;
  gCut.position[e] = position;
  std::uint32_t t = Find(gCut.triples, gCut.tripleCount, tr);
  if (t == gCut.tripleCount) {
    gCut.triples[t] = tr;
    gCut.masks[t] = 0;
    ++gCut.tripleCount;
  }
  gCut.masks[t] |= 1u << e;
  for (std::uint32_t b = 0; b < 3; ++b) {
    const std::uint32_t slice = SliceTripleByte(triple, b);
    if (Find(gCut.slices, gCut.sliceCount, slice) == gCut.sliceCount) {
      gCut.slices[gCut.sliceCount++] = slice;
    }
  }
  table.cursor = e + 1;
}

void SectionCutSlices(const SliceTable& table, SubdivisionBanks& banks) {
  const std::uint32_t n = table.cursor;
  const SliceRecord* slices = SliceTableSlices(table);
  SweepPath* bank = BankPaths(banks);
  for (std::uint32_t k = 0; k < gCut.sliceCount; ++k) {
    SweepPath& path = bank[k];
    const SliceRecord& slice = slices[gCut.slices[k]];
    SweepPathResize(path, n);
    for (std::uint32_t e = 0; e < n; ++e) {
      SweepPathAppend(path, gCut.x[e], gCut.y[e], slice.sharpness[e], gCut.position[e],
                      kSectionLevelsNew, gCut.value[e], 0);
    }
  }
  banks.count = gCut.sliceCount;
  const std::uint32_t* triples = SliceTableTriples(table);
  for (std::uint32_t k = 0; k < gCut.tripleCount; ++k) {
    SweepPath& weights = banks.weightPaths[k];
    SweepPathResize(weights, n);
    for (std::uint32_t e = 0; e < n; ++e) {
      const bool in = (gCut.masks[k] >> e & 1) != 0;
      if (in) banks.hitFractions[k] = gCut.fraction[e];
      SweepPathAppend(weights, in ? 1.0f : 0.0f, 0, 0, 0, kSectionLevelsNew, 0, 0);
    }
    const std::uint32_t triple = triples[gCut.triples[k]];
    std::uint32_t local[3];
    for (std::uint32_t b = 0; b < 3; ++b) {
      local[b] = Find(gCut.slices, gCut.sliceCount, SliceTripleByte(triple, b));
    }
    banks.hitSlices[k] = SliceTriple(local[0], local[1], local[2]);
  }
  banks.hitCount = gCut.tripleCount;
  gCut.tripleCount = gCut.sliceCount = 0;
}

}  // namespace veskor
