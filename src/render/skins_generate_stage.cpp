// "Shaders / Skins Generate": the skin grids of every item, sampled from its cross-sections.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "geometry/cross_section.h"
#include "geometry/skin_sampling.h"
#include "geometry/skin_work_maps.h"
#include "geometry/subdivision_settings.h"
#include "geometry/sweep_path_subdivision.h"
#include "mapengine/kernel_table.h"
#include "render/shader_stages.h"
#include "render/skin_stages.h"

namespace veskor {

std::uint32_t ItemKind[kItemMax] = {};

namespace {

// The grid of each sample channel that the skin keeps (channel 5, the point value, is not kept).
constexpr std::pair<std::uint32_t, std::uint32_t> kStoredChannels[] = {
    {0, kSampleX},     {1, kSampleY},       {2, kSampleHeight},
    {6, kSampleParam}, {7, kSampleSection}, {8, kSampleMark}};

// The samples of one cross-section: seven arrays of one row.
struct SampleSet {
  std::vector<float> arrays[kSampleArrays];
  float* rows[kSampleArrays] = {};
  void Grow(std::uint32_t n) {
    for (std::uint32_t c = 0; c < kSampleArrays; ++c) {
      if (arrays[c].size() < n) arrays[c].resize(n);
      rows[c] = arrays[c].data();
    }
  }
};

// The two sets (the cross-sections below and above the row being built), reused by every item
// and grown to the widest row a world asks for.
SampleSet gSampleSets[2];
std::uint32_t gSampleWidth = 0;

void GrowSampleSets(std::uint32_t n) {
  if (n <= gSampleWidth) return;
  for (SampleSet& set : gSampleSets) set.Grow(n);
  gSampleWidth = n;
}

// The outline of the bottom caps: a reversed copy of the cap's cross-section, one for the run.
struct CapOutline {
  SweepPath path;
  CapOutline() { SweepPathInit(path); }
  ~CapOutline() { SweepPathRelease(path); }
};
SweepPath& BottomCapOutline() {
  static CapOutline outline;
  return outline.path;
}

std::uint32_t Level(const LodRange& range, float size, const float* centre) {
  // A range without boxes (no session yet) asks for its minimum level.
  if (range.list == nullptr) return range.minLevel;
  return LodLevelForItem(range, size, centre[0], centre[1], centre[2]);
}

std::uint32_t LessOrZero(std::uint32_t a, std::uint32_t b) { return a > b ? a - b : 0; }

bool IsPoint(const SweepPath& s) { return s.totalLength < kPointSectionLength; }
bool HasLength(const SweepPath& s) { return s.totalLength > kPointSectionLength; }

void ZeroGrids(SkinGridSet& set) {
  const VertexGrid& g0 = set.grids[0];
  const std::uint32_t values = VertexGridSideX(g0) * VertexGridSideY(g0);
  for (const auto& [g, c] : kStoredChannels) std::fill_n(set.grids[g].data, values, 0.0f);
}

// Grid set rows over the cross-sections `start` to `end` - 1: row j blends the two
// cross-sections whose profile positions bracket j / (rows - 1). The rows are laid out by the
// position that the mesh gives the side's vertices as their second texture coordinate
// (profileV: 0 at the body's first ring, 1 at its last, the caps left out), so that every ring
// of the mesh finds its own cross-section in the grid. The first cross-section of a patch is
// sampled over its inner points.
void FillRows(const PathSet& p, std::uint32_t start, std::uint32_t end, bool patch,
              SkinGridSet& set) {
  const VertexGrid& g0 = set.grids[0];
  const std::uint32_t nu = VertexGridSideX(g0), nv = VertexGridSideY(g0);
  if (start >= end) {
    ZeroGrids(set);
    return;
  }
  GrowSampleSets(nu);
  const auto sample = [&](std::uint32_t k, SampleSet& into) {
    if (patch && k == 0)
      SkinPathSamplesAlt(nu, p.paths[k], into.rows);
    else
      SkinPathSamples(nu, p.paths[k], into.rows);
  };
  SampleSet* lower = &gSampleSets[0];
  SampleSet* upper = &gSampleSets[1];
  sample(start, *lower);
  float h0 = 0.0f, h1 = 1.0f;
  std::uint32_t next = start + 1;
  if (next < end) {
    sample(next, *upper);
    h1 = ProfileV(p.paths[next]);
    ++next;
  } else {
    sample(start, *upper);
  }
  const float dv = 1.0f / static_cast<float>(nv - 1);
  const auto a = static_cast<std::uint8_t>(g0.log2Width);
  for (std::uint32_t j = 0; j < nv; ++j) {
    const float v = static_cast<float>(j) * dv;
    while (v > h1 - kRowHeightTolerance && next < end) {
      h0 = h1;
      std::swap(lower, upper);
      sample(next, *upper);
      h1 = ProfileV(p.paths[next]);
      ++next;
    }
    // Two cross-sections at one height leave no span to divide: the row takes the upper one.
    const float t = h1 != h0 ? (v - h0) / (h1 - h0) : 1.0f;
    for (const auto& [g, c] : kStoredChannels)
      gKernelTable.KernelLerp(a, t, lower->rows[c], upper->rows[c],
                              VertexGridCell(set.grids[g], 0, j));
  }
}

// What a cap is made from: its outline, its centre and the parameter values of both.
struct CapSource {
  const SweepPath* outline;
  float centre[3];
  float centreParam;   // the height parameter of the cap's own cross-section
  float outlineParam;  // that of the outline's cross-section
  float pointWeight;   // 1 when the cap closes on a point cross-section, else 0
};

void WriteCapSample(SkinGridSet& set, std::uint32_t x, std::uint32_t y, const CapSource& cap,
                    std::uint32_t* from) {
  const std::uint32_t n = VertexGridSideX(set.grids[0]);
  const float last = static_cast<float>(n - 1);
  float q = 0, w = 0;
  SkinSampleWeights(static_cast<float>(x) / last, static_cast<float>(y) / last, &q, &w);
  const SweepPath& o = *cap.outline;
  float ox = cap.centre[0], oy = cap.centre[1], value = 0;
  if (o.count != 0) {
    std::uint32_t index = 0;
    float fraction = 0;
    SkinRowStep(o, *from, o.count - 1, q, &index, &fraction);
    *from = index;
    RingInterpolate(o, index, fraction, &ox, &oy, &value);
  }
  const float outer[4] = {ox, oy, o.height, cap.outlineParam};
  const float inner[4] = {cap.centre[0], cap.centre[1], cap.centre[2], cap.centreParam};
  const std::uint32_t blended[4] = {0, 1, 2, 7};
  for (std::uint32_t k = 0; k < 4; ++k)
    *VertexGridCell(set.grids[blended[k]], x, y) = (1 - w) * inner[k] + w * outer[k];
  *VertexGridCell(set.grids[6], x, y) = q;
  *VertexGridCell(set.grids[8], x, y) =
      (1 - cap.pointWeight) * cap.centreParam + cap.pointWeight * value;
}

// The cap grid ring by ring from the border in, each ring walked once round as four sides of
// equal length, then the centre.
void FillCap(SkinGridSet& set, const CapSource& cap) {
  const std::uint32_t n = VertexGridSideX(set.grids[0]);
  for (std::uint32_t r = 0; r < (n >> 1); ++r) {
    const std::uint32_t side = n - 1 - 2 * r, far = n - 1 - r;
    std::uint32_t from = 0;
    for (std::uint32_t k = 0; k < side; ++k) WriteCapSample(set, r + k, r, cap, &from);
    for (std::uint32_t k = 0; k < side; ++k) WriteCapSample(set, far, r + k, cap, &from);
    for (std::uint32_t k = 0; k < side; ++k) WriteCapSample(set, far - k, far, cap, &from);
    for (std::uint32_t k = 0; k < side; ++k) WriteCapSample(set, r, far - k, cap, &from);
  }
  // An even side (a cap of 2 x 2 samples) has no centre sample: its rings cover it.
  if ((n & 1) == 0) return;
  const std::uint32_t c = n >> 1;
  for (std::uint32_t g = 0; g < 3; ++g) *VertexGridCell(set.grids[g], c, c) = cap.centre[g];
  *VertexGridCell(set.grids[6], c, c) = 0;
  *VertexGridCell(set.grids[7], c, c) = 0;
  const float first = cap.outline->count != 0 ? cap.outline->edgeValue[0] : 0.0f;
  *VertexGridCell(set.grids[8], c, c) =
      (1 - cap.pointWeight) * cap.centreParam + cap.pointWeight * first;
}

// A cap on cross-section `own`, its outline `outline` (reversed for a bottom cap).
void BuildCap(const PathSet& p, std::uint32_t own, std::uint32_t outlineIndex, bool bottom,
              std::uint32_t level, SkinGridSet& set) {
  const SweepPath& section = p.paths[own];
  const SweepPath& ring = p.paths[outlineIndex];
  CapSource cap{};
  if (bottom) {
    SweepPathReverseCopy(BottomCapOutline(), ring);
    cap.outline = &BottomCapOutline();
  } else {
    cap.outline = &ring;
  }
  if (IsPoint(section)) {
    cap.centre[0] = section.count != 0 ? section.x[0] : 0.0f;
    cap.centre[1] = section.count != 0 ? section.y[0] : 0.0f;
    cap.centre[2] = section.height;
    cap.pointWeight = 1;
  } else {
    SweepPathCentroid(*cap.outline, &cap.centre[0], &cap.centre[1], &cap.centre[2]);
  }
  cap.centreParam = ProfileVCapped(section);
  cap.outlineParam = ProfileVCapped(ring);
  SizeSkinGrids(set, level, level);
  FillCap(set, cap);
}

void Centre(const PathSet& p, float* centre) {
  centre[0] = 0.5f * (p.minX + p.maxX);
  centre[1] = 0.5f * (p.minY + p.maxY);
  centre[2] = 0.5f * (p.minZ + p.maxZ);
}

}  // namespace

std::uint32_t SkinSampleBufferWidth() { return gSampleWidth; }

SkinLevels ItemSkinLevels(const PathSet& p, const SkinSlot& slot) {
  float centre[3];
  Centre(p, centre);
  SkinLevels l{};
  if (p.kind != 0) {
    const LodRange& range = gTerrainTextureLod.range;
    l.gridW = slot.levelW;
    l.gridH = slot.levelH;
    l.extraW = LessOrZero(Level(range, p.maxRingLength, centre), slot.levelW);
    l.extraH = LessOrZero(Level(range, p.profileLength, centre), slot.levelH);
    return l;
  }
  const LodRange& range = gObjectTextureLod.range;
  const std::uint32_t lu = Level(range, p.maxRingLength, centre);
  const std::uint32_t lv = Level(range, p.profileLength, centre);
  l.gridW = LessOrZero(lu, 3);
  l.gridH = LessOrZero(lv, 3);
  l.extraW = LessOrZero(lu, l.gridW + 1);
  l.extraH = LessOrZero(lv, l.gridH + 1);
  l.bottomCap = LessOrZero(Level(range, 0.25f * p.bottomCapLength, centre), 2);
  l.topCap = LessOrZero(Level(range, 0.25f * p.topCapLength, centre), 2);
  return l;
}

void FillItemSkinGrids(const PathSet& p, SkinSlot& slot) {
  const SkinLevels l = ItemSkinLevels(p, slot);
  slot.lodReduceW = static_cast<std::uint8_t>(l.extraW);
  slot.lodReduceH = static_cast<std::uint8_t>(l.extraH);
  SizeSkinGrids(slot.gridSets[0], l.gridW, l.gridH);
  if (p.kind != 0) {
    FillRows(p, 0, p.count, true, slot.gridSets[0]);
    return;
  }
  std::uint32_t start = 0, end = p.count;
  if (p.count >= 1) {
    const SweepPath& first = p.paths[0];
    const bool capped = (SectionKind(first) & kSectionKindMask) == kSectionCappedBottom;
    // A point cap needs the cross-section after the point for its outline.
    if (IsPoint(first) && p.count >= 2) {
      BuildCap(p, 0, 1, true, l.bottomCap, slot.gridSets[1]);
      start = 1;
    } else if (capped && HasLength(first)) {
      BuildCap(p, 0, 0, true, l.bottomCap, slot.gridSets[1]);
    }
    const std::uint32_t n = p.count - 1;
    const SweepPath& last = p.paths[n];
    const bool cappedTop = (SectionKind(last) & kSectionKindMask) == kSectionCappedTop;
    // A point cap closes on the cross-section before the point, where the body ends.
    if (IsPoint(last) && n >= 1) {
      BuildCap(p, n, n - 1, false, l.topCap, slot.gridSets[2]);
      end = n;
    } else if (cappedTop && HasLength(last)) {
      BuildCap(p, n, n, false, l.topCap, slot.gridSets[2]);
    }
  }
  FillRows(p, start, end, false, slot.gridSets[0]);
}

void GenerateItemSkin(std::uint32_t i) {
  PathSet& p = gItemPathSets.sets[i];
  SkinSlot& slot = gSkinSlots[i];
  ItemKind[i] = p.kind;
  FillItemSkinGrids(p, slot);
  PathSetFree(p);
  // The path set is freed (its kind with it): the kind comes from the table.
  SkinWorkLoad(gSkinWork.records[i], slot, ItemKind[i] == 0 ? 1 : 0, 0);
  ReleaseSkinGrids(slot);
}

}  // namespace veskor

namespace veskor {

std::uint32_t SkinsGenerateStage() {
  if (!PrepareReport(kStageSkinsGenerate, 0.0f, 0.25f)) return 0;
  const std::uint32_t n = std::min(gItemCount, kItemMax);
  for (std::uint32_t k = 0; k < n; ++k) {
    GenerateItemSkin(k);
    SkinCounter = k + 1;
    const float f = StageFraction(k + 1, n);
    if (k % kStageReportEvery == 0 && !PrepareReport(kStageSkinsGenerate, f, 0.25f + 0.05f * f))
      return 0;
  }
  // Every unit done (f = 1): the stage's share of the whole ends at 0.3.
  return PrepareReport(kStageSkinsGenerate, StageFraction(n, n), 0.3f) ? 1 : 0;
}

}  // namespace veskor
