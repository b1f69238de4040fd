#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/section_test_support.h"
#include "geometry/skin_sampling.h"
#include "geometry/skin_work.h"
#include "geometry/skin_work_maps.h"
#include "geometry/subdivision_settings.h"
#include "render/skin_stages.h"

namespace veskor::test {
namespace {

constexpr std::uint32_t kStored[6][2] = {{0, kSampleX},     {1, kSampleY},
                                         {2, kSampleHeight}, {6, kSampleParam},
                                         {7, kSampleSection}, {8, kSampleMark}};

struct Samples {
  std::vector<float> a[kSampleArrays];
  Samples(const SweepPath& s, std::uint32_t n, bool alt) {
    float* p[kSampleArrays];
    for (std::uint32_t c = 0; c < kSampleArrays; ++c) a[c].assign(n, 0), p[c] = a[c].data();
    if (alt)
      SkinPathSamplesAlt(n, s, p);
    else
      SkinPathSamples(n, s, p);
  }
};

// Each test sets the two texture ranges it needs and gives them back.
class SkinsGenerate : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_[0] = gObjectTextureLod.range, saved_[1] = gTerrainTextureLod.range;
    PathSetInit(p_);
  }
  void TearDown() override {
    gObjectTextureLod.range = saved_[0], gTerrainTextureLod.range = saved_[1];
    PathSetFree(p_);
    ReleaseSkinGrids(slot_);
    ReleaseSkinMapSet(gSkinWork.records[0]);
  }
  // No boxes: every item gets `level` in both directions.
  static void FlatLevels(std::uint32_t level) {
    gObjectTextureLod.range = LodRange{nullptr, 1, level, level, 1};
    gTerrainTextureLod.range = gObjectTextureLod.range;
  }
  static void FillNaN(SkinGridSet& set) {
    const std::uint32_t n = VertexGridSideX(set.grids[0]) * VertexGridSideY(set.grids[0]);
    for (const auto& c : kStored)
      for (std::uint32_t k = 0; k < n; ++k) set.grids[c[0]].data[k] = NAN;
  }
  LodRange saved_[2];
  PathSet p_{};
  SkinSlot& slot_ = gSkinSlots[0];
};

std::vector<Xy> Wavy(float r, float phase) {
  std::vector<Xy> v = Circle(0, 0, r, 6);
  for (std::uint32_t k = 0; k < v.size(); ++k) v[k].x += phase * float(k);
  return v;
}

// Rows of the body against a blend worked here: the upper cross-section of row v is the first
// after the start whose profile position (the mesh's second texture coordinate, not the one
// that counts the caps in) lies above v by more than the tolerance (else the last), the lower
// one the cross-section before it, the start counting as 0; equal positions take the upper one.
TEST_F(SkinsGenerate, BodyRowsBlendTheTwoCrossSectionsAroundThem) {
  struct Case {
    std::vector<float> heights;
  } cases[] = {{{0.4f}}, {{0, 1}}, {{0, 0.25f, 0.7f, 1}}, {{0, 0.5f, 1, 1}}, {{0, 0.3f, 0.3f, 1}}};
  FlatLevels(6);  // grid 3 x 3 levels: 9 x 9 samples
  for (const Case& c : cases) {
    std::vector<Ring> rings;
    for (std::uint32_t k = 0; k < c.heights.size(); ++k)
      rings.push_back({Wavy(1.0f + float(k), 0.1f * float(k)), float(k)});
    FillSet(p_, kPathSetClosed, rings);
    for (std::uint32_t k = 0; k < c.heights.size(); ++k) {
      ProfileV(p_.paths[k]) = c.heights[k];
      ProfileVCapped(p_.paths[k]) = 0.2f + 0.6f * c.heights[k];  // caps below and above
      p_.paths[k].edgeValue[0] = 5;  // departs from the reference: marks
    }
    FillItemSkinGrids(p_, slot_);
    const SkinGridSet& set = slot_.gridSets[0];
    ASSERT_EQ(VertexGridSideX(set.grids[0]), 9u);
    ASSERT_EQ(VertexGridSideY(set.grids[0]), 9u);
    std::vector<Samples> sampled;
    for (std::uint32_t k = 0; k < p_.count; ++k) sampled.emplace_back(p_.paths[k], 9, false);
    const std::uint32_t last = p_.count - 1;
    for (std::uint32_t j = 0; j < 9; ++j) {
      const float v = float(j) / 8.0f;
      std::uint32_t up = 1;
      while (up < last && !(v <= c.heights[up] - 0.0005f)) ++up;
      if (last == 0) up = 0;
      const std::uint32_t lo = up == 0 ? 0 : up - 1;
      const float h0 = lo == 0 ? 0.0f : c.heights[lo], h1 = last == 0 ? 1.0f : c.heights[up];
      const float t = h1 != h0 ? (v - h0) / (h1 - h0) : 1.0f;
      for (const auto& ch : kStored)
        for (std::uint32_t i = 0; i < 9; ++i) {
          const float got = *VertexGridCell(set.grids[ch[0]], i, j);
          ASSERT_TRUE(std::isfinite(got)) << c.heights.size() << " " << j;
          EXPECT_NEAR(got, (1 - t) * sampled[lo].a[ch[1]][i] + t * sampled[up].a[ch[1]][i],
                      1e-5f)
              << c.heights.size() << " row " << j << " grid " << ch[0] << " sample " << i;
        }
    }
    PathSetFree(p_);
  }
}

// Levels from one box of value 1 at the unit cube, scale 32: near (inside, distance 0) the
// level is the size's level of 32 x size; far (33 from the box) of 32 x size / (d + 1) with d
// the distance less half the size. Worked by hand: near 128 -> 7, 64 -> 6, caps 8 -> 3 and 4
// -> 2; far 128 / 32 -> 2, 64 / 33 -> 1.
TEST_F(SkinsGenerate, LevelsOfPatchesAndObjectsNearAndFar) {
  LodBoxList list{};
  list.records[0] = LodBoxRecord{0, 1, 0, 1, 0, 1, 1};
  list.count = 1;
  gObjectTextureLod.range = LodRange{&list, 32, 0, 12, 1};
  gTerrainTextureLod.range = gObjectTextureLod.range;
  struct Case {
    std::uint32_t kind;
    float x;  // the item's box centre
    SkinLevels want;
  } cases[] = {
      {kPathSetClosed, 0.5f, {4, 3, 2, 2, 1, 0}},
      {kPathSetClosed, 34.0f, {0, 0, 1, 0, 0, 0}},
      {kPathSetOpen, 0.5f, {3, 2, 4, 4, 0, 0}},
      {kPathSetOpen, 34.0f, {3, 2, 0, 0, 0, 0}},
  };
  slot_.levelW = 3, slot_.levelH = 2;
  for (const Case& c : cases) {
    PathSet p{};
    p.kind = c.kind;
    p.minX = c.x - 0.5f, p.maxX = c.x + 0.5f;
    p.minY = p.minZ = 0, p.maxY = p.maxZ = 1;
    p.maxRingLength = 4, p.profileLength = 2, p.bottomCapLength = 1, p.topCapLength = 0.5f;
    const SkinLevels l = ItemSkinLevels(p, slot_);
    EXPECT_EQ(l.gridW, c.want.gridW) << c.kind << " " << c.x;
    EXPECT_EQ(l.gridH, c.want.gridH) << c.kind << " " << c.x;
    EXPECT_EQ(l.extraW, c.want.extraW) << c.kind << " " << c.x;
    EXPECT_EQ(l.extraH, c.want.extraH) << c.kind << " " << c.x;
    if (c.kind == kPathSetClosed) {
      EXPECT_EQ(l.bottomCap, c.want.bottomCap) << c.x;
      EXPECT_EQ(l.topCap, c.want.topCap) << c.x;
    }
  }
}

// Caps on rings with a length: every stored sample written, the corners on the outline at
// q = 0, 0.25, 0.5, 0.75, the centre at the centroid; the bottom outline runs the other way.
// A 2 x 2 cap keeps its four corners on the outline.
TEST_F(SkinsGenerate, CapsFillEverySampleWithCornersOnTheOutlineAndTheCentreInside) {
  for (const std::uint32_t level : {4u, 2u}) {  // caps 2 levels below: 5 x 5, then 2 x 2
    FlatLevels(level);
    const std::uint32_t n = (1u << (level - 2)) + 1;
    std::vector<Ring> rings = {{Square(0, 0, 2, 2), 1.0f, kSectionCappedBottom},
                               {Square(0, 0, 2, 2), 2.0f},
                               {Square(1, 1, 3, 3), 3.0f, kSectionCappedTop}};
    FillSet(p_, kPathSetClosed, rings);
    for (std::uint32_t k = 0; k < 3; ++k) ProfileVCapped(p_.paths[k]) = 0.5f * float(k);
    for (SkinGridSet* set : {&slot_.gridSets[1], &slot_.gridSets[2]}) {
      SizeSkinGrids(*set, level - 2, level - 2);
      FillNaN(*set);
    }
    FillItemSkinGrids(p_, slot_);
    for (std::uint32_t s = 1; s <= 2; ++s) {
      const SkinGridSet& set = slot_.gridSets[s];
      ASSERT_EQ(VertexGridSideX(set.grids[0]), n);
      for (const auto& c : kStored)
        for (std::uint32_t k = 0; k < n * n; ++k)
          ASSERT_TRUE(std::isfinite(set.grids[c[0]].data[k])) << s << " " << c[0] << " " << k;
      // Square(x0, y0, x1, y1) runs (x0, y0), (x1, y0), (x1, y1), (x0, y1); the bottom outline
      // is reversed from point 0: (x0, y0), (x0, y1), (x1, y1), (x1, y0).
      const float o = s == 1 ? 0.0f : 1.0f, e = o + 2;
      const float corner[4][2] = {{o, o}, {s == 1 ? o : e, s == 1 ? e : o}, {e, e},
                                  {s == 1 ? e : o, s == 1 ? o : e}};
      const std::uint32_t at[4][2] = {{0, 0}, {n - 1, 0}, {n - 1, n - 1}, {0, n - 1}};
      for (std::uint32_t k = 0; k < 4; ++k) {
        const std::uint32_t x = at[k][0], y = at[k][1];
        EXPECT_FLOAT_EQ(*VertexGridCell(set.grids[0], x, y), corner[k][0]) << s << k << n;
        EXPECT_FLOAT_EQ(*VertexGridCell(set.grids[1], x, y), corner[k][1]) << s << k << n;
        EXPECT_FLOAT_EQ(*VertexGridCell(set.grids[6], x, y), 0.25f * float(k)) << s << k << n;
        EXPECT_FLOAT_EQ(*VertexGridCell(set.grids[2], x, y), s == 1 ? 1.0f : 3.0f);
      }
      if (n == 2) continue;
      const std::uint32_t m = n / 2;
      EXPECT_FLOAT_EQ(*VertexGridCell(set.grids[0], m, m), o + 1) << s;
      EXPECT_FLOAT_EQ(*VertexGridCell(set.grids[1], m, m), o + 1) << s;
      EXPECT_EQ(*VertexGridCell(set.grids[6], m, m), 0.0f);
      EXPECT_EQ(*VertexGridCell(set.grids[7], m, m), 0.0f);
      // Halfway along the first side of the outer ring, a quarter of the way round.
      EXPECT_FLOAT_EQ(*VertexGridCell(set.grids[6], m, 0), 0.125f) << s;
      // The ring halfway in: half the way to the outline.
      EXPECT_FLOAT_EQ(*VertexGridCell(set.grids[0], m / 2, m / 2), o + 0.5f) << s;
    }
    PathSetFree(p_);
  }
}

// Kind bits other than the cap's, with a length: no cap, the body starts at the first ring. A
// point ring at either end: a cap from the point to the ring next to it, the body from the
// ring after the bottom point to the ring before the top point.
TEST_F(SkinsGenerate, CapsOnlyOnCappedRingsOrPointsAndTheBodyStartsAfterABottomPoint) {
  FlatLevels(4);
  const std::vector<Xy> point = {{1, 1}, {1, 1}, {1, 1}};
  struct Case {
    std::vector<Ring> rings;
    bool bottom, top;
    std::uint32_t firstBodyRing, lastBodyRing;
  } cases[] = {
      {{{Square(0, 0, 2, 2), 1, kSectionPlain}, {Square(0, 0, 3, 3), 2, kSectionCappedTop}},
       false, true, 0, 1},
      {{{Square(0, 0, 2, 2), 1, kSectionCappedBottom}, {Square(0, 0, 3, 3), 2, kSectionPlain}},
       true, false, 0, 1},
      {{{point, 0, kSectionPlain}, {Square(0, 0, 2, 2), 1}, {point, 2, kSectionPlain}},
       true, true, 1, 1},
      {{{point, 0, kSectionPlain}, {Square(0, 0, 2, 2), 1}}, true, false, 1, 1},
      {{{Square(0, 0, 2, 2), 0, kSectionCappedBottom}, {Square(0, 0, 3, 3), 1},
        {point, 2, kSectionPlain}},
       true, true, 0, 1},
  };
  for (const Case& c : cases) {
    FillSet(p_, kPathSetClosed, c.rings);
    // As measured: 0 to 1 from the body's first ring to its last, a point below at 0 and one
    // above at 1 (the position counting the caps in evenly spread).
    const float span = float(c.lastBodyRing - c.firstBodyRing);
    for (std::uint32_t k = 0; k < p_.count; ++k) {
      const float v = (float(k) - float(c.firstBodyRing)) / std::max(span, 1.0f);
      ProfileV(p_.paths[k]) = k > c.lastBodyRing ? 1.0f : std::clamp(v, 0.0f, 1.0f);
      ProfileVCapped(p_.paths[k]) = float(k) / float(p_.count - 1);
    }
    FillItemSkinGrids(p_, slot_);
    EXPECT_EQ(slot_.gridSets[1].grids[0].data != nullptr, c.bottom);
    EXPECT_EQ(slot_.gridSets[2].grids[0].data != nullptr, c.top);
    const VertexGrid& x = slot_.gridSets[0].grids[0];
    Samples first(p_.paths[c.firstBodyRing], 3, false), last(p_.paths[c.lastBodyRing], 3, false);
    for (std::uint32_t i = 0; i < 3; ++i) {
      EXPECT_FLOAT_EQ(*VertexGridCell(x, i, 0), first.a[kSampleX][i]);
      EXPECT_FLOAT_EQ(*VertexGridCell(x, i, VertexGridSideY(x) - 1), last.a[kSampleX][i]);
    }
    if (c.firstBodyRing == 1) {  // the point caps: centre at the point, border on the square
      for (std::uint32_t s = 1; s <= (c.top ? 2u : 1u); ++s) {
        const SkinGridSet& set = slot_.gridSets[s];
        EXPECT_FLOAT_EQ(*VertexGridCell(set.grids[0], 2, 2), 1.0f);
        EXPECT_FLOAT_EQ(*VertexGridCell(set.grids[2], 2, 2), s == 1 ? 0.0f : 2.0f);
        EXPECT_FLOAT_EQ(*VertexGridCell(set.grids[2], 0, 0), 1.0f);
        EXPECT_FLOAT_EQ(*VertexGridCell(set.grids[2], 1, 1), s == 1 ? 0.5f : 1.5f);
      }
    }
    ReleaseSkinGrids(slot_);
    PathSetFree(p_);
  }
}

// A patch row of 2^16 + 1 samples (past the old 65536-float buffers): the buffers grow and the
// row ends at the last inner point.
TEST_F(SkinsGenerate, APatchRowOfTwoToTheSixteenPlusOneSamplesFitsTheBuffers) {
  FlatLevels(0);
  slot_.levelW = 16, slot_.levelH = 1;
  // End handles beyond the parameter range, as the terrain rows have them.
  const Ring row{{{-1, 0}, {0, 0}, {4, 0}, {8, 0}, {9, 0}}, 0, kSectionPlain,
                 {-0.5f, 0, 0.5f, 1, 1.5f}};
  Ring upper = row;
  upper.height = 1;
  FillSet(p_, kPathSetOpen, {row, upper});
  for (std::uint32_t k = 0; k < 2; ++k)
    ProfileV(p_.paths[k]) = ProfileVCapped(p_.paths[k]) = float(k);
  FillItemSkinGrids(p_, slot_);
  EXPECT_GE(SkinSampleBufferWidth(), 65537u);
  const VertexGrid& g0 = slot_.gridSets[0].grids[0];
  ASSERT_EQ(VertexGridSideX(g0), 65537u);
  EXPECT_FLOAT_EQ(*VertexGridCell(g0, 0, 2), 0.0f);
  EXPECT_FLOAT_EQ(*VertexGridCell(g0, 65536, 2), 8.0f);
  EXPECT_FLOAT_EQ(*VertexGridCell(slot_.gridSets[0].grids[2], 65536, 1), 0.5f);
}

// The whole item: kind kept, path set freed, grids in the work maps at the grid sizes with the
// level reductions as offsets, grids released (sizes kept).
TEST_F(SkinsGenerate, AnItemEndsWithItsSkinInTheWorkMapsAndItsPathSetFreed) {
  FlatLevels(5);  // an object: grid 2 x 2 levels, extra 2
  FillSet(gItemPathSets.sets[0], kPathSetClosed,
          {{Square(0, 0, 1, 1), 0, kSectionCappedBottom}, {Square(0, 0, 1, 1), 1}});
  ItemKind[0] = 7;
  GenerateItemSkin(0);
  EXPECT_EQ(ItemKind[0], kPathSetClosed);
  EXPECT_EQ(gItemPathSets.sets[0].count, 0u);
  const SkinWork& w = gSkinWork.records[0];
  EXPECT_EQ(w.levelOffsetW, 2u);
  EXPECT_EQ(w.levelOffsetH, 2u);
  EXPECT_EQ(w.maps[0][0].log2Width, 2u);
  EXPECT_NE(w.maps[0][0].data, nullptr);
  EXPECT_EQ(w.maps[1][0].log2Width, 3u);  // the bottom cap
  EXPECT_EQ(w.maps[2][0].data, nullptr);
  for (const SkinGridSet& set : slot_.gridSets) EXPECT_EQ(set.grids[0].data, nullptr);
  EXPECT_EQ(slot_.gridSets[0].grids[0].log2Width, 2u);
}

}  // namespace
}  // namespace veskor::test
