#include "geometry/skin_sampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "geometry/section_test_support.h"
#include "geometry/skin_work_maps.h"
#include "support/kernel_tables.h"

namespace veskor::test {
namespace {

// n samples of a section into seven vectors.
struct Row {
  std::vector<float> a[kSampleArrays];
  explicit Row(std::uint32_t n) {
    for (auto& v : a) v.assign(n, -99.0f);
  }
  float* p[kSampleArrays];
  float* const* rows() {
    for (std::uint32_t c = 0; c < kSampleArrays; ++c) p[c] = a[c].data();
    return p;
  }
};

struct Section {
  SweepPath s;
  Section(const Ring& ring, std::uint32_t open, std::vector<float> values, float reference) {
    SweepPathInit(s);
    FillRing(s, ring, open);
    for (std::uint32_t k = 0; k < values.size(); ++k) s.edgeValue[k] = values[k];
    SetReferenceValue(s, reference);
    ProfileVCapped(s) = 0.375f;
  }
  ~Section() { SweepPathRelease(s); }
};

// The unit square anticlockwise, a quarter of the parameter per side; point 2's value departs
// from the reference: marks rise towards it and the values near it take it.
TEST(SkinSampling, ARingIsSampledAlongItsParameterWithMarksAroundADepartingValue) {
  Section sq({Square(0, 0, 1, 1), 7.0f}, 0, {0, 0, 2, 0}, 0.0f);
  Row row(9);
  SkinPathSamples(9, sq.s, row.rows());
  const float want[9][5] = {
      // x, y, parameter, value, mark
      {0, 0, 0, 0, 0},    {0.5f, 0, 0.125f, 0, 0}, {1, 0, 0.25f, 2, 0}, {1, 0.5f, 0.375f, 2, 0.5f},
      {1, 1, 0.5f, 2, 1}, {0.5f, 1, 0.625f, 2, 1}, {0, 1, 0.75f, 2, 1}, {0, 0.5f, 0.875f, 2, 0.5f},
      {0, 0, 1, 2, 0}};
  for (std::uint32_t k = 0; k < 9; ++k) {
    EXPECT_FLOAT_EQ(row.a[kSampleX][k], want[k][0]) << k;
    EXPECT_FLOAT_EQ(row.a[kSampleY][k], want[k][1]) << k;
    EXPECT_FLOAT_EQ(row.a[kSampleParam][k], want[k][2]) << k;
    EXPECT_FLOAT_EQ(row.a[kSampleValue][k], want[k][3]) << k;
    EXPECT_FLOAT_EQ(row.a[kSampleMark][k], want[k][4]) << k;
    EXPECT_EQ(row.a[kSampleHeight][k], 7.0f);
    EXPECT_EQ(row.a[kSampleSection][k], 0.375f);
  }
  // A value 0.0005 from the reference departs; just inside it does not.
  for (const float v : {0.0005f, 0.00049f}) {
    Section s({Square(0, 0, 1, 1)}, 0, {0, 0, 0, v}, 0.0f);
    Row r(2);
    SkinPathSamples(2, s.s, r.rows());
    EXPECT_EQ(r.a[kSampleMark][0], v >= 0.0005f ? 1.0f : 0.0f) << v;
  }
}

// All points in one place: the parameters go by point index (0, 0.5, 1), not by the points'
// own (0, 0.25, 0.5), which only the parameter channel interpolates.
TEST(SkinSampling, ASectionOfZeroLengthIsSampledByPointIndex) {
  Section s({{{2, 3}, {2, 3}, {2, 3}}, 1.0f, kSectionPlain, {0, 0.25f, 0.5f}}, 0, {0, 5, 0}, 0.0f);
  ASSERT_LT(s.s.totalLength, 0.0005f);
  Row row(5);
  SkinPathSamples(5, s.s, row.rows());
  const float param[5] = {0, 0.125f, 0.25f, 0.375f, 0.5f}, mark[5] = {0, 0.5f, 1, 1, 1};
  for (std::uint32_t k = 0; k < 5; ++k) {
    EXPECT_EQ(row.a[kSampleX][k], 2.0f);
    EXPECT_EQ(row.a[kSampleY][k], 3.0f);
    EXPECT_FLOAT_EQ(row.a[kSampleParam][k], param[k]) << k;
    EXPECT_FLOAT_EQ(row.a[kSampleMark][k], mark[k]) << k;
    EXPECT_EQ(row.a[kSampleValue][k], 5.0f) << k;
  }
}

// An open section: its end handles (points 0 and 4) are never sampled.
TEST(SkinSampling, TheAlternativeWalkStaysBetweenTheEndHandles) {
  const std::vector<Xy> line = {{-1, 0}, {0, 0}, {1, 0}, {2, 0}, {3, 0}};
  struct Case {
    std::vector<float> params;
    float x[5];
  } cases[] = {
      {{0, 0, 0.5f, 1, 1}, {0, 0.5f, 1, 1.5f, 2}},
      // The last inner point below the end of the parameter: the walk stops there.
      {{0, 0, 0.5f, 0.75f, 0.75f}, {0, 0.5f, 1, 2, 2}},
  };
  for (const Case& c : cases) {
    Section s({line, 0, kSectionPlain, c.params}, 1, {}, 0.0f);
    Row row(5);
    SkinPathSamplesAlt(5, s.s, row.rows());
    for (std::uint32_t k = 0; k < 5; ++k) EXPECT_FLOAT_EQ(row.a[kSampleX][k], c.x[k]) << k;
  }
  // Uniform: point i lies at (i - 1) / (count - 3).
  Section flat(
      {{{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}}, 0, kSectionPlain, {0, 0, 0.125f, 0.25f, 0.25f}}, 1,
      {}, 0.0f);
  Row row(3);
  SkinPathSamplesAlt(3, flat.s, row.rows());
  EXPECT_EQ(row.a[kSampleParam][1], 0.125f);
  EXPECT_EQ(row.a[kSampleParam][2], 0.25f);
}

// Rows of one sample, sections of one point, open sections of three points and segments
// between equal parameters have nothing to divide by: every sample is a number.
TEST(SkinSampling, DegenerateRowsAndSectionsGiveNumbers) {
  struct Case {
    const char* what;
    Ring ring;
    std::uint32_t open, n;
    float x;
  } cases[] = {
      {"one sample", {Square(0, 0, 1, 1)}, 0, 1, 0.0f},
      {"one point", {{{4, 0}}}, 0, 3, 4.0f},
      {"three open points", {{{-1, 0}, {5, 0}, {9, 0}}}, 1, 3, 5.0f},
      {"equal parameters",
       {{{-1, 0}, {6, 0}, {7, 0}, {9, 0}}, 0, kSectionPlain, {0, 0, 0, 1}},
       1,
       3,
       6.0f},
      {"no point", {{}}, 0, 2, 0.0f},
      {"two open points", {{{1, 0}, {2, 0}}}, 1, 2, 0.0f},
  };
  for (const Case& c : cases) {
    Section s(c.ring, c.open, {}, 0.0f);
    Row row(c.n + 1);
    if (c.open)
      SkinPathSamplesAlt(c.n, s.s, row.rows());
    else
      SkinPathSamples(c.n, s.s, row.rows());
    for (std::uint32_t k = 0; k < c.n; ++k) {
      EXPECT_EQ(row.a[kSampleX][k], c.x) << c.what << " " << k;
      for (const auto& a : row.a) EXPECT_TRUE(std::isfinite(a[k])) << c.what << " " << k;
    }
    EXPECT_EQ(row.a[kSampleX][c.n], -99.0f) << c.what;  // n samples, no more
  }
}

TEST(SkinSampling, TheSquareMapsOntoRingsCounterClockwiseFromTheFirstCorner) {
  const struct {
    float a, b, u, s;
  } cases[] = {
      {0.5f, 0.5f, 0, 0},
      {0.500009f, 0.5f, 0, 0},
      {0.50002f, 0.5f, 0.375f, 4e-5f},
      {0, 0, 0, 1},
      {1, 0, 0.25f, 1},
      {1, 1, 0.5f, 1},
      {0, 1, 0.75f, 1},
      {0.5f, 0, 0.125f, 1},
      {1, 0.5f, 0.375f, 1},
      {0.5f, 1, 0.625f, 1},
      {0, 0.5f, 0.875f, 1},
      {0.75f, 0.5f, 0.375f, 0.5f},
      {0.5f, 0.25f, 0.125f, 0.5f},
      {0.25f, 0.25f, 0, 0.5f},
      {0.25f, 0.75f, 0.75f, 0.5f},
  };
  for (const auto& c : cases) {
    float u = -1, s = -1;
    SkinSampleWeights(c.a, c.b, &u, &s);
    EXPECT_NEAR(u, c.u, 2e-3f) << c.a << " " << c.b;
    EXPECT_NEAR(s, c.s, 1e-6f) << c.a << " " << c.b;
  }
}

class SkinMaps : public ::testing::Test {
 protected:
  ScopedKernelTable kernels_;
  std::unique_ptr<SkinSlot> slot_ = std::make_unique<SkinSlot>();
  SkinWork work_{};
  void TearDown() override { SkinWorkRelease(work_); }
};

// A map set holding the plane 1 + 2x + 3y over its net positions (border included) is refined
// into grids on which the plane continues at the finer positions, its companion at the cell
// centres.
TEST_F(SkinMaps, PlanesAreRefinedIntoTheGridsAndTheirCompanions) {
  const auto plane = [](float x, float y) { return 1 + 2 * x + 3 * y; };
  Map* maps = work_.maps[0];
  SkinMapSetAlloc(maps, 1, 1);
  for (Map* m = maps; m != maps + kSkinWorkMapsPerSet; ++m) {
    for (int j = 0; j < 5; ++j)
      for (int i = 0; i < 5; ++i) m->data[j * 5 + i] = plane(float(i - 1), float(j - 1));
  }
  SkinGridSet& set = slot_->gridSets[0];
  SizeSkinGrids(set, 2, 3);  // one level finer across, two along
  MapsToSkinGrids(set, maps);
  for (const std::uint32_t g : {0u, 1u, 2u, 6u, 7u, 8u}) {
    for (std::uint32_t y = 0; y <= 8; ++y)
      for (std::uint32_t x = 0; x <= 4; ++x)
        ASSERT_NEAR(*VertexGridCell(set.grids[g], x, y), plane(x / 2.0f, y / 4.0f), 1e-4f)
            << g << " " << x << " " << y;
  }
  const VertexGrid& g0 = set.grids[0];
  ASSERT_NE(g0.companion[1], nullptr);
  EXPECT_EQ(g0.companionValid, 1u);
  for (std::uint32_t y = 1; y <= 8; ++y)
    for (std::uint32_t x = 1; x <= 4; ++x)
      ASSERT_NEAR(g0.companion[1][y * 6 + x], plane((x - 0.5f) / 2, (y - 0.5f) / 4), 1e-4f);
  EXPECT_EQ(set.grids[6].companion[1], nullptr);  // the row filters build no companion
}

TEST_F(SkinMaps, MapsAreNotRefinedIntoMissingCoarserOrFarFinerGrids) {
  Map* maps = work_.maps[0];
  SkinMapSetAlloc(maps, 2, 2);
  for (Map* m = maps; m != maps + kSkinWorkMapsPerSet; ++m)
    for (std::uint32_t k = 0; k < SkinMapValues(2, 2); ++k) m->data[k] = 4.0f;
  SkinGridSet& set = slot_->gridSets[0];
  const struct {
    std::uint32_t w, h;
    bool filled;
  } cases[] = {{1, 2, false}, {2, 1, false}, {2, 2, true}, {10, 2, true}, {11, 2, false}};
  for (const auto& c : cases) {
    ReleaseSkinGrids(*slot_);
    SizeSkinGrids(set, c.w, c.h);
    set.grids[8].data[0] = 0.0f;
    MapsToSkinGrids(set, maps);
    EXPECT_EQ(std::abs(set.grids[8].data[0] - 4.0f) < 1e-4f, c.filled) << c.w << " " << c.h;
    EXPECT_EQ(set.grids[0].companionValid, c.filled ? 1u : 0u) << c.w << " " << c.h;
  }
  ReleaseSkinGrids(*slot_);
  SizeSkinGrids(set, 2, 2);
  VertexGridRelease(set.grids[7]);  // an unsized grid refuses the whole set
  set.grids[8].data[0] = 0.0f;
  MapsToSkinGrids(set, maps);
  EXPECT_EQ(set.grids[8].data[0], 0.0f);
}

// An empty first map leaves the set alone; the others go their own way by their own map 0.
TEST_F(SkinMaps, FilteringSkipsSetsWhoseFirstMapIsEmpty) {
  SkinMapSetAlloc(work_.maps[1], 0, 0);
  for (Map& m : work_.maps[1])
    for (std::uint32_t k = 0; k < 16; ++k) m.data[k] = 2.0f;
  for (SkinGridSet& set : slot_->gridSets) SizeSkinGrids(set, 1, 1);
  slot_->gridSets[0].grids[0].data[0] = 9.0f;
  SkinMapSetAlloc(work_.maps[0], 1, 1);
  MemBlockRelease(work_.maps[0][0].block);
  work_.maps[0][0].data = nullptr;
  FilterSkinTextures(*slot_, work_);
  EXPECT_EQ(slot_->gridSets[0].grids[0].data[0], 9.0f);
  EXPECT_EQ(slot_->gridSets[0].grids[0].companionValid, 0u);
  EXPECT_FLOAT_EQ(slot_->gridSets[1].grids[7].data[8], 2.0f);
  EXPECT_EQ(slot_->gridSets[1].grids[0].companionValid, 1u);
}

}  // namespace
}  // namespace veskor::test
