#include "geometry/slice_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geometry/cross_section.h"
#include "geometry/scene_build_error.h"
#include "geometry/scene_objects.h"
#include "geometry/section_cut.h"
#include "geometry_test_support.h"

namespace veskor {
namespace {

using test::CurvePoint;
using test::FillList;

// (height, sectionSharpness) per point; x = Edge number, y = height.
using Edge = std::vector<std::pair<float, float>>;

void ModelOf(EdgeCurveList& list, const std::vector<Edge>& edges) {
  std::vector<std::vector<CurvePoint>> curves;
  for (std::size_t e = 0; e < edges.size(); ++e) {
    std::vector<CurvePoint> points;
    for (const auto& [h, s] : edges[e]) points.push_back({float(e), h, h, 0, s});
    curves.push_back(points);
  }
  FillList(list, kEdgeCurveListModel, curves);
}

std::vector<std::uint32_t> EdgeTriples(const SliceTable& t, std::uint32_t e) {
  const std::uint32_t* list = SliceTableEdgeTriples(t, e);
  std::vector<std::uint32_t> keys;
  for (std::uint32_t j = 0; j < t.edgeTriples[e].count; ++j) {
    keys.push_back(SliceTableTriples(t)[list[j]]);
  }
  return keys;
}

class SliceTables : public ::testing::Test {
 protected:
  void SetUp() override { SceneBuildErrorReset(); }
  void TearDown() override {
    SliceTableRelease(table_);
    EdgeCurveListFree(model_);
    SweepPathRelease(cut_);
    SceneBuildErrorReset();
  }
  void Fill(const std::vector<Edge>& edges) {
    ModelOf(model_, edges);
    ASSERT_EQ(SliceTableFill(table_, model_), 1u);
  }
  const SliceRecord& Slice(std::uint32_t i) { return SliceTableSlices(table_)[i]; }
  SliceTable table_{};
  EdgeCurveList model_{};
  SweepPath cut_{};
};

// Points within 0.0005 share a slice, both exact; the triples name the slice that took each
// point, also where its height differs from the slice's (an exact lookup misses it); the first
// and last points repeat their own slice.
TEST_F(SliceTables, PointsMergeIntoSlicesThatTheirTriplesName) {
  Fill({{{0, 0}, {0.5f, 2}, {1, 4}}, {{0, 1}, {0.5003f, 3}, {1, 5}}});
  ASSERT_EQ(SliceTableSliceCount(table_), 3u);
  const float heights[3] = {0, 0.5f, 1};
  for (std::uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(Slice(i).height, heights[i]);
    EXPECT_EQ(Slice(i).edgeMask, 3u);
    EXPECT_EQ(Slice(i).sharpness[0], 2.0f * i);
    EXPECT_EQ(Slice(i).sharpness[1], 2.0f * i + 1);
  }
  const std::vector<std::uint32_t> keys = {SliceTriple(0, 0, 1), SliceTriple(0, 1, 2),
                                           SliceTriple(1, 2, 2)};
  EXPECT_EQ(EdgeTriples(table_, 0), keys);
  EXPECT_EQ(EdgeTriples(table_, 1), keys);
  EXPECT_EQ(table_.triples.count, 3u);
  EXPECT_EQ(SliceTableFindHeight(table_, 0.5f), 1u);
  EXPECT_EQ(SliceTableFindHeight(table_, 0.5003f), 3u);
  EXPECT_EQ(SliceTableAddTriple(table_, 0, 1, 2), 1u);  // present: same index, nothing added
  EXPECT_EQ(SliceTableAddTriple(table_, 2, 1, 0), 3u);
  EXPECT_EQ(table_.triples.count, 4u);
}

// Between its points an Edge's sharpness is interpolated; above its last point it keeps the
// last one; only Edges with a point on a slice have its bit.
TEST_F(SliceTables, EdgesWithoutAPointOnASliceAreInterpolated) {
  Fill({{{0, 0}, {0.2f, 1}, {1, 2}}, {{0, 0}, {0.3f, 3}, {1, 6}}, {{0, 7}, {0.25f, 9}}});
  ASSERT_EQ(SliceTableSliceCount(table_), 5u);  // 0, 0.2, 0.25, 0.3, 1
  EXPECT_EQ(Slice(1).edgeMask, 1u);
  EXPECT_FLOAT_EQ(Slice(1).sharpness[1], 3 * (0.2f / 0.3f));
  EXPECT_FLOAT_EQ(Slice(1).sharpness[2], 7 + 2 * (0.2f / 0.25f));
  EXPECT_EQ(Slice(3).edgeMask, 2u);
  EXPECT_FLOAT_EQ(Slice(3).sharpness[0], 1 + (0.1f / 0.8f));
  for (std::uint32_t i = 3; i < 5; ++i) EXPECT_EQ(Slice(i).sharpness[2], 9.0f);
  EXPECT_EQ(Slice(4).edgeMask, 3u);
  EXPECT_EQ(EdgeTriples(table_, 2),
            (std::vector<std::uint32_t>{SliceTriple(0, 0, 2), SliceTriple(0, 2, 2)}));
  EXPECT_FLOAT_EQ(EdgeSectionSharpnessAt(model_.curves[1], 1, 0.25f), 3.75f);
}

// 256 distinct heights fit the 8-bit slice indices; one more, or a 17th Edge, sets the build
// error instead of wrapping.
TEST_F(SliceTables, PastTheirLimitsTheBuildFails) {
  for (const std::uint32_t n : {256u, 257u}) {
    SceneBuildErrorReset();
    Edge edge;
    for (std::uint32_t i = 0; i < n; ++i) edge.push_back({0.01f * static_cast<float>(i), 0});
    ModelOf(model_, {edge});
    EXPECT_EQ(SliceTableFill(table_, model_), n == 256 ? 1u : 0u);
    EXPECT_EQ(SceneBuildFailed(), n == 257);
  }
  EXPECT_EQ(std::string(gSceneBuildError.message), kTooManySlicesMessage);
  SceneBuildErrorReset();
  ModelOf(model_, std::vector<Edge>(17, Edge{{0, 0}, {1, 0}}));
  EXPECT_EQ(SliceTableFill(table_, model_), 0u);
  EXPECT_EQ(std::string(gSceneBuildError.message), kTooManyObjectEdgesMessage);
}

// A cut at input points touches, per Edge, that point's triple; between them the nearest
// point's, a parameter halfway rounding up. One bank path per touched slice with its
// sharpness, one hit per touched triple with its weight path and the fraction of its last Edge.
TEST_F(SliceTables, ACutTouchesTheTriplesOfItsNearestInputPoints) {
  Fill({{{0, 1}, {1, 2}, {2, 3}}, {{0, 4}, {1, 5}, {2, 6}}, {{0, 7}, {1, 8}, {2, 9}}});
  const std::uint32_t at[3] = {1, 1, 1};
  const float none[3] = {0, 0, 0};
  SectionCut(model_, at, none, cut_, table_, 5.0f);
  SubdivisionBanks& banks = gSubdivisionBanks;
  ASSERT_EQ(cut_.count, 3u);
  EXPECT_EQ(banks.hitCount, 1u);
  EXPECT_EQ(banks.hitSlices[0], SliceTriple(0, 1, 2));
  EXPECT_EQ(banks.hitFractions[0], 0.5f);
  ASSERT_EQ(banks.count, 3u);
  for (std::uint32_t e = 0; e < 3; ++e) {
    EXPECT_EQ(cut_.x[e], float(e));
    EXPECT_EQ(HalfToFloat(cut_.packedU[e]), 3.0f * e + 2);
    EXPECT_EQ(HalfToFloat(cut_.packedT[e]), HalfToFloat(FloatToHalf(e / 3.0f)));
    EXPECT_EQ(cut_.packedW[e], kPackedMagnitudeMax);  // 128 saturates
    EXPECT_EQ(cut_.edgeValue[e], 5.0f);
    EXPECT_EQ(banks.weightPaths[0].x[e], 1.0f);
    for (std::uint32_t k = 0; k < 3; ++k) {
      const SweepPath& bank = BankPaths(banks)[k];
      EXPECT_EQ(HalfToFloat(bank.packedU[e]), 3.0f * e + 1 + k);
      EXPECT_EQ(bank.y[e], 1.0f);
      EXPECT_EQ(HalfToFloat(bank.packedW[e]), 28.0f);
      EXPECT_EQ(bank.edgeValue[e], 5.0f);
    }
  }

  // Edge 0 a quarter past point 0 (nearest point 0, f = 0.75), Edge 1 halfway (point 1, f = 0),
  // Edge 2 below the tolerance (point 0 itself, f = 0.5).
  const std::uint32_t from[3] = {0, 0, 0};
  const float fractions[3] = {0.25f, 0.5f, 0.0004f};
  SectionCut(model_, from, fractions, cut_, table_, 5.0f);
  ASSERT_EQ(banks.hitCount, 2u);
  EXPECT_EQ(banks.hitSlices[0], SliceTriple(0, 0, 1));
  EXPECT_EQ(banks.hitSlices[1], SliceTriple(0, 1, 2));
  EXPECT_EQ(banks.hitFractions[0], 0.5f);  // Edge 2's, the last of the triple
  EXPECT_EQ(banks.hitFractions[1], 0.0f);
  const float weights[2][3] = {{1, 0, 1}, {0, 1, 0}};
  for (std::uint32_t e = 0; e < 3; ++e) {
    EXPECT_EQ(banks.weightPaths[0].x[e], weights[0][e]);
    EXPECT_EQ(banks.weightPaths[1].x[e], weights[1][e]);
  }
  EXPECT_EQ(cut_.y[0], 0.25f);
  EXPECT_EQ(cut_.y[2], 0.0f);
  EXPECT_EQ(HalfToFloat(cut_.packedU[1]), 4.5f);
  EXPECT_EQ(banks.count, 3u);

  // Slices are numbered in the order touched: Edge 0 at its last point touches slices 1 and 2
  // first, the others at their first point then slice 0.
  const std::uint32_t top[3] = {2, 0, 0};
  SectionCut(model_, top, none, cut_, table_, 5.0f);
  ASSERT_EQ(banks.hitCount, 2u);
  EXPECT_EQ(banks.hitSlices[0], SliceTriple(0, 1, 1));
  EXPECT_EQ(banks.hitSlices[1], SliceTriple(2, 2, 0));
  const std::uint32_t global[3] = {1, 2, 0};
  for (std::uint32_t k = 0; k < 3; ++k) {
    for (std::uint32_t e = 0; e < 3; ++e) {
      EXPECT_EQ(HalfToFloat(BankPaths(banks)[k].packedU[e]), 3.0f * e + 1 + global[k]);
    }
  }
}

// A cut point past its Edge's input points, a list of another Edge count than the table's, or
// of more than 16 Edges, sets the build error.
TEST_F(SliceTables, ACutOutsideItsTableFails) {
  Fill({{{0, 0}, {1, 0}}, {{0, 0}, {1, 0}}});
  EdgeCurveList longer{};
  ModelOf(longer, {{{0, 0}, {1, 0}, {2, 0}}, {{0, 0}, {1, 0}}});
  const std::uint32_t at[2] = {2, 0};
  const float none[2] = {0, 0};
  SectionCut(longer, at, none, cut_, table_, 0);
  EXPECT_EQ(std::string(gSceneBuildError.message), kCutOutsideSliceTableMessage);
  for (const std::uint32_t edges : {1u, 17u}) {
    SceneBuildErrorReset();
    ModelOf(longer, std::vector<Edge>(edges, Edge{{0, 0}, {1, 0}}));
    const std::uint32_t segments[17] = {};
    const float fractions[17] = {};
    SectionCut(longer, segments, fractions, cut_, table_, 0);
    EXPECT_EQ(std::string(gSceneBuildError.message),
              edges == 1 ? kCutOutsideSliceTableMessage : kTooManyObjectEdgesMessage);
    EXPECT_EQ(cut_.count, 0u);
  }
  EdgeCurveListFree(longer);
}

}  // namespace
}  // namespace veskor
