#include "geometry/curve_refinement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "geometry/corner_rounding.h"
#include "geometry_test_support.h"

namespace veskor {
namespace {

using test::CurvePoint;
using test::FillCurve;
using test::FillList;

const float kRoot = static_cast<float>(1 / std::sqrt(2.0));

// One box of value 1 around the unit cube; scale 8, distance factor 0.002, levels 0 to 6.
struct Detail {
  LodBoxList boxes{{{0, 1, 0, 1, 0, 1, 1}}, 1};
  SubdivisionSettings settings{};
  Detail() {
    settings.range = LodRange{&boxes, 8.0f, 0, 6, 0.002f};
    TransformNodeInit(settings.transform);
  }
};

std::vector<float> Point(const EdgeCurve& c, std::uint32_t i) {
  return {c.x[i], c.y[i], c.height[i]};
}

// log2(8 x size / (d x 0.002 + 1)), d the distance less half the size, within 0 and 6; the
// largest over the boxes.
TEST(CurveLod, LevelsFallWithTheDistanceToTheBoxes) {
  Detail detail;
  const LodRange& range = detail.settings.range;
  const struct {
    float size, x, level;
  } cases[] = {
      {1, 0.5f, 3},     // inside: 8
      {1, 1.4f, 3},     // 0.4 away, less than half the size: touching
      {1, 501.5f, 2},   // 500 beyond half the size: 8 / 2
      {1, 1501.5f, 1},  // 8 / 4
      {2, 0.5f, 4},     {16, 0.5f, 6},  // 128, lowered to the maximum
      {0.01f, 0.5f, 0}, {0, 0.5f, 0},   // below 1, raised to the minimum
  };
  for (const auto& c : cases) {
    EXPECT_FLOAT_EQ(SweepPathLevel(range, c.size, c.x, 0.5f, 0.5f), c.level) << c.x;
  }
  // A second box of value 4 far away: each point takes the finer of the two.
  detail.boxes.records[1] = {3000, 3001, 0, 1, 0, 1, 4};
  detail.boxes.count = 2;
  EXPECT_FLOAT_EQ(SweepPathLevel(range, 1, 0.5f, 0.5f, 0.5f), 3);  // not 32 / 7
  EXPECT_FLOAT_EQ(SweepPathLevel(range, 1, 3000.5f, 0.5f, 0.5f), 5);
  EXPECT_FLOAT_EQ(CurveLodBoxLevel(range, 1, 1, 500), 4);  // 32 / 2
}

TEST(CurveLod, WithoutBoxesThePointTakesTheMinimumLevel) {
  Detail detail;
  detail.boxes.count = 0;
  detail.boxes.records[0].value = 1000;  // stale, never read
  detail.settings.range.minLevel = 2;
  EXPECT_EQ(SweepPathLevel(detail.settings.range, 1, 0.5f, 0.5f, 0.5f), 2.0f);
  EXPECT_EQ(CurveLodLevel(detail.settings, 1, 0.5f, 0.5f, 0.5f), 2.0f);
  detail.settings.range.list = nullptr;
  EXPECT_EQ(SweepPathLevel(detail.settings.range, 1, 0.5f, 0.5f, 0.5f), 2.0f);
}

// The settings' node brings the point into the boxes' space; an identity node leaves it.
TEST(CurveLod, TheSettingsNodePlacesThePoint) {
  Detail detail;
  EXPECT_LT(CurveLodLevel(detail.settings, 1, -999.5f, 0.5f, 0.5f), 2);
  TransformNodeSetTranslation(detail.settings.transform, 1000, 0, 0);
  EXPECT_FLOAT_EQ(CurveLodLevel(detail.settings, 1, -999.5f, 0.5f, 0.5f), 3);
}

TEST(CurvePoles, EdgeMeansSkipEdgesWithoutPoints) {
  EdgeCurveList list{};
  FillList(list, kEdgeCurveListModel,
           {{{0, 0, 0, 1}, {0, 0, 5, 4}}, {}, {{3, 0, 0, 2}, {3, 3, 7}}, {{0, 6, 0, 3}, {0, 0, 3}}});
  CurvePole bottom, top;
  EdgePoleAverages(list, bottom, top);
  EXPECT_TRUE(bottom.x == 1 && bottom.y == 2 && bottom.height == 0 && bottom.edgeSharpness == 2);
  EXPECT_TRUE(top.x == 1 && top.y == 1 && top.height == 5 && top.edgeSharpness == 4.0f / 3);
  EdgeCurveListClear(list);
  EdgePoleAverages(list, bottom, top);  // no Edge: no pole, nothing divided by 0
  EXPECT_TRUE(bottom.x == 0 && top.height == 0);
  EdgeCurveListFree(list);
}

// After a level the pole lies at 2^-k of each end segment from the end, k its skip depth; the
// pole mark stands for the end point itself.
TEST(CurvePoles, RefinedPolesFollowTheEndSegmentsSkipDepth) {
  EdgeCurveList list{};
  for (const auto& [skip, t] : std::vector<std::pair<std::int8_t, float>>{
           {0, 1}, {1, 0.5f}, {3, 0.125f}, {-1, 0}}) {
    FillList(list, kEdgeCurveListModel,
             {{{0, 0, 0, 0, 0, 28, skip}, {4, 0, 0}, {8, 0, 0, 0, 0, 28, skip}, {8, 0, 8}}});
    CurvePole bottom, top;
    RefinedPoleAverages(list, bottom, top);
    EXPECT_EQ(bottom.x, 4 * t) << int{skip};
    EXPECT_EQ(top.height, 8 * (1 - t)) << int{skip};
  }
  EdgeCurveListFree(list);
}

// A smooth pole pulls an end with a level or more left 2 - sqrt 2 of the way toward itself; a
// sharp pole, or an end without levels, keeps it; between them it moves in proportion.
TEST(CurvePoles, BlendPullsEndsTowardSmoothPoles) {
  const struct {
    float poleSharpness, levels, pull, topLevels, topPull;
  } cases[] = {{0, 1, 0.5857864f, 1, 0.5857864f}, {0, 5, 0.5857864f, 0, 0},
               {1, 1, 0, 1, 0},                    {3, 1, 0, 1, 0},
               {0, 0, 0, 2, 0.5857864f},           {0, -2, 0, -2, 0},
               {0, 0.5f, 0.2928932f, 0.5f, 0.2928932f}, {0.5f, 1, 0.2928932f, 1, 0.2928932f}};
  EdgeCurveList list{};
  for (const auto& c : cases) {
    FillList(list, kEdgeCurveListModel,
             {{{1, 0, 0, 0, 0, c.levels}, {1, 0, -2}, {1, 0, 5}, {1, 0, 2, 0, 0, c.topLevels}}});
    BlendPoles(list, {0, 0, -1, c.poleSharpness, 0}, {0, 0, 4, c.poleSharpness, 0});
    const EdgeCurve& q = list.curves[0];
    EXPECT_NEAR(q.x[0], 1 - c.pull, 1e-6f) << c.poleSharpness << " " << c.levels;
    EXPECT_NEAR(q.height[0], -c.pull, 1e-6f);
    EXPECT_NEAR(q.height[3], 2 + 2 * c.topPull, 1e-6f);
    if (c.pull == 0) {
      EXPECT_EQ(Point(q, 0), (std::vector<float>{1, 0, 0}));
    }
    // The second point stays above the bottom pole, the last but one below the top pole.
    EXPECT_EQ(q.height[1], -1);
    EXPECT_EQ(q.height[2], 4);
  }
  // Ends that lie at their poles stay there.
  FillList(list, kEdgeCurveListModel, {{{1, 2, 3}, {1, 2, 5}}});
  BlendPoles(list, {1, 2, 3, 0, 0}, {1, 2, 5, 0, 0});
  const EdgeCurve& q = list.curves[0];
  EXPECT_TRUE(q.x[0] == 1 && q.y[1] == 2 && q.height[0] == 3 && q.height[1] == 5);
  EdgeCurveListFree(list);
}

// An Edge of one point: bottom pole, the point smoothed against the two poles, top pole.
TEST(CurveRefinement, AnEdgeOfOnePointRoundsBetweenThePoles) {
  Detail detail;
  detail.boxes.records[0].value = 1000;  // every point at the maximum level
  EdgeCurve q{}, o{};
  FillCurve(q, {{1, 0, 0}});
  RefineClosedCurveFirstLevel(q, o, detail.settings, {0, 0, -1, 0, 0}, {0, 0, 1, 0, 0});
  ASSERT_EQ(o.count, 3u);
  EXPECT_EQ(Point(o, 0), (std::vector<float>{0, 0, -1}));
  EXPECT_NEAR(o.x[1], kRoot, 1e-7f);
  EXPECT_NEAR(o.height[1], -(1 - kRoot), 1e-7f);
  EXPECT_EQ(Point(o, 2), (std::vector<float>{0, 0, 1}));
  // Without levels nothing splits or moves.
  detail.boxes.count = 0;
  RefineClosedCurveFirstLevel(q, o, detail.settings, {0, 0, -1, 0, 0}, {0, 0, 1, 0, 0});
  EXPECT_EQ(Point(o, 1), (std::vector<float>{1, 0, 0}));
  EXPECT_EQ(o.extra, 1u);
  EdgeCurveRelease(q);
  EdgeCurveRelease(o);
}

// At the first level every point of an Edge takes its level of detail at the Edge's second
// point, with its own flatness: only the middle point lies in the box here.
TEST(CurveRefinement, TheFirstLevelMeasuresDetailAtTheSecondPoint) {
  Detail detail;
  detail.boxes.records[0] = {1.9f, 2.1f, -0.1f, 0.1f, -0.1f, 0.1f, 1};
  detail.settings.range.distanceFactor = 1;
  EdgeCurve q{}, o{};
  FillCurve(q, {{1, 0, -1}, {2, 0, 0}, {1, 0, 1}});
  RefineClosedCurveFirstLevel(q, o, detail.settings, {0, 0, -1, 0, 0}, {0, 0, 1, 0, 0});
  // Carried points: deviation 0.5 gives log2(8 x 0.5) = 2, the middle point's 1 gives 3; each
  // one less after the level.
  ASSERT_EQ(o.count, 7u);
  EXPECT_EQ(std::vector<float>({o.levels[1], o.levels[3], o.levels[5]}),
            (std::vector<float>{1, 2, 1}));
  EdgeCurveRelease(q);
  EdgeCurveRelease(o);
}

// The Cube's Edges (crease 31) never split: every level keeps the poles and the corners in
// place and takes one from their crease, so the crease tells how many levels ran; the Sphere's
// smooth poles lose one as well. Odd and even counts both end in the destination.
TEST(CurveRefinement, LevelsEndInTheDestinationAndTheCubeKeepsItsCorners) {
  World& world = gWorld;
  WorldClearModels(world);
  RegisterBuiltinModels(world);
  EdgeCurveList& cube = world.models[world.builtinModels[kBuiltinCube]];
  EdgeCurveList& sphere = world.models[world.builtinModels[kBuiltinSphere]];
  Detail detail;
  detail.boxes.records[0] = {-10, 10, -10, 10, -10, 10, 1};
  EdgeCurveList out{};
  std::uint32_t previous = 0;
  for (const std::uint32_t levels : {1u, 2u, 3u, 7u, 8u}) {
    SCOPED_TRACE(levels);
    RefineEdgeCurves(cube, levels, detail.settings, out);
    ASSERT_EQ(out.count, 4u);
    EXPECT_EQ(out.kind, kEdgeCurveListModel);
    for (std::uint32_t e = 0; e < 4; ++e) {
      const EdgeCurve& c = out.curves[e];
      const EdgeCurve& m = cube.curves[e];
      ASSERT_EQ(c.count, 4u);
      EXPECT_EQ(Point(c, 0), (std::vector<float>{0, 0, -1}));
      EXPECT_EQ(Point(c, 1), Point(m, 0));
      EXPECT_EQ(Point(c, 2), Point(m, 1));
      EXPECT_EQ(Point(c, 3), (std::vector<float>{0, 0, 1}));
      EXPECT_EQ(c.edgeSharpness[1], 31.0f - static_cast<float>(levels));
    }
    EXPECT_EQ(std::vector<float>(out.box, out.box + 6), (std::vector<float>{-1, 1, -1, 1, -1, 1}));

    RefineEdgeCurves(sphere, levels, detail.settings, out);
    EXPECT_EQ(out.curves[0].edgeSharpness[0], -static_cast<float>(levels));
    // Grows while levels are left; rounds inward, within the corners.
    EXPECT_TRUE(levels > 3 ? out.curves[0].count >= previous : out.curves[0].count > previous);
    previous = out.curves[0].count;
    EXPECT_TRUE(out.box[1] > 0.5f && out.box[1] <= 1.1165f);
  }
  EdgeCurveListFree(out);
}

// Without levels each Edge gets its poles attached; a list without curves gives an empty one.
TEST(CurveRefinement, ZeroLevelsAttachThePolesAndNoCurvesGiveNone) {
  EdgeCurveList source{}, out{};
  Detail detail;
  FillList(source, kEdgeCurveListModel, {{{1, 0, -1}, {1, 0, 1}}, {{-1, 0, -1}, {-1, 0, 3}}});
  RefineEdgeCurves(source, 0, detail.settings, out);
  ASSERT_EQ(out.curves[1].count, 4u);
  EXPECT_EQ(Point(out.curves[1], 0), (std::vector<float>{0, 0, -1}));
  EXPECT_EQ(Point(out.curves[1], 2), (std::vector<float>{-1, 0, 3}));
  EXPECT_EQ(Point(out.curves[1], 3), (std::vector<float>{0, 0, 2}));
  EXPECT_EQ(std::vector<float>(out.curves[1].param, out.curves[1].param + 4),
            (std::vector<float>{0, 0, 1, 1}));
  EXPECT_FLOAT_EQ(out.curves[1].length, 1 + 4 + std::sqrt(2.0f) + 3);

  EdgeCurveListClear(source);
  for (const std::uint32_t kind : {kEdgeCurveListModel, kEdgeCurveListCurveSet}) {
    source.kind = kind;
    RefineEdgeCurves(source, 8, detail.settings, out);
    EXPECT_EQ(out.count, 0u);
    EXPECT_EQ(out.kind, kind);
    EXPECT_EQ(out.box[1], 0.0f);
  }
  EdgeCurveListFree(source);
  EdgeCurveListFree(out);
}

// Open curves: interior levels are 1 + the level of detail at half the flatness (the ends copy
// their neighbours'), written into the source; curves of fewer than three points are copied.
// A smooth four-point curve, all split, grows to 2^L + 3 points after L levels.
TEST(CurveRefinement, OpenCurvesTakeOneLevelMoreAndShortOnesStayAsTheyAre) {
  Detail detail;
  detail.boxes.records[0] = {-1000, 1000, -1000, 1000, -1000, 1000, 1};
  EdgeCurveList source{}, out{};
  FillList(source, kEdgeCurveListCurveSet,
           {{{1, 0, -1}, {2, 0, 0}, {1, 0, 1}}, {{5, 5, 5}, {6, 6, 6}}, {{7, 7, 7}}});
  RefineEdgeCurves(source, 0, detail.settings, out);
  // Deviation 1, size 0.5: log2(8 x 0.5) = 2, plus 1.
  EXPECT_EQ(std::vector<float>(out.curves[0].levels, out.curves[0].levels + 3),
            (std::vector<float>{3, 3, 3}));
  RefineEdgeCurves(source, 5, detail.settings, out);
  EXPECT_EQ(out.kind, kEdgeCurveListCurveSet);
  EXPECT_EQ(out.curves[1].count, 2u);
  EXPECT_EQ(Point(out.curves[1], 1), (std::vector<float>{6, 6, 6}));
  EXPECT_EQ(out.curves[1].levels[0], 28.0f);
  EXPECT_EQ(Point(out.curves[2], 0), (std::vector<float>{7, 7, 7}));

  detail.boxes.records[0].value = 1000;
  for (const std::uint32_t levels : {1u, 2u, 3u}) {
    FillList(source, kEdgeCurveListCurveSet,
             {{{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {0, 100, 0}}});
    RefineEdgeCurves(source, levels, detail.settings, out);
    EXPECT_EQ(out.curves[0].count, (1u << levels) + 3) << levels;
  }
  EdgeCurveListFree(source);
  EdgeCurveListFree(out);
}

// The SSE members (single-precision transform and square root) give the plain members' split
// decisions and positions within 1e-5.
TEST(CurveRefinement, SseMembersAgreeWithThePlainOnes) {
  World& world = gWorld;
  WorldClearModels(world);
  RegisterBuiltinModels(world);
  Detail detail;
  detail.boxes.records[0] = {-2, 2, -2, 2, -2, 2, 4};
  TransformNodeSetRotation(detail.settings.transform, 0, 0, 1, 30);
  EdgeCurveList result[2] = {};
  for (const bool sse : {false, true}) {
    test::ScopedKernels kernels(sse);
    RefineEdgeCurves(world.models[world.builtinModels[kBuiltinSphere]], 8, detail.settings,
                     result[sse]);
  }
  for (std::uint32_t e = 0; e < 4; ++e) {
    const EdgeCurve &a = result[0].curves[e], &b = result[1].curves[e];
    ASSERT_EQ(a.count, b.count);
    EXPECT_GT(a.count, 20u);
    for (std::uint32_t i = 0; i < a.count; ++i) {
      EXPECT_NEAR(a.x[i], b.x[i], 1e-5f);
      EXPECT_NEAR(a.height[i], b.height[i], 1e-5f);
    }
  }
  EdgeCurveListFree(result[0]);
  EdgeCurveListFree(result[1]);
}

}  // namespace
}  // namespace veskor
