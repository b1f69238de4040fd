#include "geometry/corner_rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <vector>

#include "geometry/curve_refinement.h"
#include "geometry_test_support.h"

namespace veskor {
namespace {

using test::CurvePoint;
using test::FillCurve;

const float kRoot = static_cast<float>(1 / std::sqrt(2.0));  // 1/sqrt 2 to single precision

std::vector<std::vector<float>> Positions(const EdgeCurve& c) {
  std::vector<std::vector<float>> points;
  for (std::uint32_t i = 0; i < c.count; ++i) points.push_back({c.x[i], c.y[i], c.height[i]});
  return points;
}

// Runs each case on the plain and on the SSE members of the kernel table.
class CornerRounding : public test::BothPaths {
 protected:
  void SetUp() override { kernels_.emplace(GetParam()); }
  void TearDown() override {
    EdgeCurveRelease(s);
    EdgeCurveRelease(o);
  }
  EdgeCurve s{}, o{};

 private:
  std::optional<test::ScopedKernels> kernels_;
};
VESKOR_BOTH_PATHS(CornerRounding);

TEST(SplitWeight, HalvesWithEverySkippedLevelAndThePoleMarkGivesOne) {
  const std::vector<float> w = {SplitWeight(-1), SplitWeight(0), SplitWeight(1), SplitWeight(2),
                                SplitWeight(7)};
  EXPECT_EQ(w, (std::vector<float>{1.0f, 0.5f, 0.25f, 0.125f, 1.0f / 256}));
}

// A square corner (1, 1) between the side midpoints (1, 0) and (0, 1), as an open curve from
// (1, -1) to (-1, 1): the smooth corner lies at distance 1 from the centre like the midpoints,
// a sharp one or one without levels stays, a half-smooth one moves half as far.
TEST_P(CornerRounding, SquareCornerRoundsOntoTheCircleAsFarAsItsCreaseAndLevelsAllow) {
  const struct {
    float sharpness, levels, corner;
  } cases[] = {
      {0, 1, kRoot},           {0, 3, kRoot},           {31, 1, 1},
      {1, 1, 1},               {0, 0, 1},               {0, 0.5f, 0.5f * (1 + kRoot)},
      {0.5f, 1, 0.5f * (1 + kRoot)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sharpness << " " << c.levels);
    FillCurve(s, {{1, -1, 0, 0, 0, 1}, {1, 1, 0, c.sharpness, 0, c.levels}, {-1, 1, 0, 0, 0, 1}});
    RefineOpenCurveLevel(s, o);
    ASSERT_EQ(o.count, 3u);  // the free ends are dropped, a midpoint added on each side
    EXPECT_EQ(Positions(o)[0], (std::vector<float>{1, 0, 0}));
    EXPECT_EQ(Positions(o)[2], (std::vector<float>{0, 1, 0}));
    EXPECT_NEAR(o.x[1], c.corner, 1e-7f);
    EXPECT_NEAR(o.y[1], c.corner, 1e-7f);
    EXPECT_EQ(o.extra, 0u);
  }
  // New points interpolate param and lose a level and a crease level; the corner keeps its
  // param and loses one of each too.
  EXPECT_EQ(std::vector<float>(o.param, o.param + 3), (std::vector<float>{0.5f, 1, 1.5f}));
  EXPECT_EQ(std::vector<float>(o.levels, o.levels + 3), (std::vector<float>{0, 0, 0}));
  EXPECT_EQ(std::vector<float>(o.edgeSharpness, o.edgeSharpness + 3),
            (std::vector<float>{-0.75f, -0.5f, -0.75f}));
}

// A segment left whole for one level (skip depth 1) is split at a quarter of its length from
// each end by the middle kernel, and once, a quarter from the inner point, by the start and
// end kernels. Sharpness 1 keeps the corners in place so the new points show.
TEST_P(CornerRounding, SplitsOfASkippedSegmentFollowTheFinerSpacingBesideIt) {
  FillCurve(s, {{0, 0, 0, 1, 0, 5}, {8, 0, 0, 1, 0, 5, 1}, {8, 8, 0, 1, 0, 5}, {0, 8, 0, 1, 0, 5}});
  s.extra = 1;
  RefineOpenCurveLevel(s, o);
  EXPECT_EQ(Positions(o), (std::vector<std::vector<float>>{
                              {4, 0, 0}, {8, 0, 0}, {8, 2, 0}, {8, 6, 0}, {8, 8, 0}, {4, 8, 0}}));
  EXPECT_EQ(std::vector<std::int8_t>(o.skipDepth, o.skipDepth + 5),
            (std::vector<std::int8_t>{0, 0, 0, 0, 0}));

  FillCurve(s, {{0, 0, 0, 1, 0, 5, 1}, {8, 0, 0, 1, 0, 5}, {8, 8, 0, 1, 0, 5, 1}});
  s.extra = 2;
  RefineClosedCurveLevel(s, o);  // the closed ends keep their first and last point
  EXPECT_EQ(Positions(o), (std::vector<std::vector<float>>{
                              {0, 0, 0}, {6, 0, 0}, {8, 0, 0}, {8, 4, 0}, {8, 8, 0}}));

  // A smooth corner between a skipped and an unskipped side: its new neighbours are (1, 0.5)
  // and (0, 1), so it moves to (1/sqrt 2, (sqrt 2 - 1) + 1.5 (1 - 1/sqrt 2)).
  FillCurve(s, {{1, -1, 0, 0, 0, 1, 1}, {1, 1, 0, 0, 0, 1}, {-1, 1, 0, 0, 0, 1}});
  s.extra = 1;
  RefineClosedCurveLevel(s, o);
  ASSERT_EQ(o.count, 5u);
  EXPECT_EQ(Positions(o)[1], (std::vector<float>{1, 0.5f, 0}));
  EXPECT_NEAR(o.x[2], kRoot, 1e-7f);
  EXPECT_NEAR(o.y[2], 0.85355339f, 1e-7f);
}

// The middle and end kernels blend their corner halfway into the output point that the kernel
// before them wrote; a whole middle segment carries its skip depth one further instead.
TEST_P(CornerRounding, KernelsBlendIntoThePointBeforeThemOrCarryTheSkipDepth) {
  FillCurve(s, {{1, -1, 0, 0, 0, 1}, {1, 1, 0, 0, 0, 1}, {-1, 1, 0, 0, 0, 1}, {-1, -1, 0, 0, 0, 1}});
  const struct {
    int kernel;  // 0 middle, 1 closed end, 2 open end
    std::uint32_t count;
  } cases[] = {{0, 3}, {1, 3}, {2, 2}};
  for (const auto& c : cases) {
    EdgeCurveResize(o, 12);
    AppendCurvePoint(o, 0, 0, 4, 0, 0, 0, 0);  // stands for the corner's earlier output point
    o.skipDepth[0] = 5;
    if (c.kernel == 0) RoundCornerKernel(s, 0, o);
    if (c.kernel > 0) s.count = 3;
    if (c.kernel == 1) RoundCornerClosedEnd(s, o);
    if (c.kernel == 2) RoundCornerOpenEnd(s, o);
    s.count = 4;
    ASSERT_EQ(o.count, c.count) << c.kernel;
    EXPECT_NEAR(o.x[0], 0.5f * kRoot, 1e-7f);
    EXPECT_NEAR(o.y[0], 0.5f * kRoot, 1e-7f);
    EXPECT_EQ(o.height[0], 2.0f);
    EXPECT_EQ(o.skipDepth[0], 0);
    EXPECT_EQ(Positions(o)[1], (std::vector<float>{0, 1, 0}));
  }
  for (const std::int8_t skip : {-1, 0, 2}) {
    FillCurve(s, {{0, 0, 0}, {1, 0, 0, 2, 0, 1, skip}, {1, 1, 0, 2}, {0, 1, 0}});
    EdgeCurveResize(o, 12);
    AppendCurvePoint(o, 1, 0, 0, 0, 0, 0, 0);
    RoundCornerKernel(s, 0, o);
    EXPECT_EQ(o.count, 2u);
    EXPECT_EQ(o.extra, 1u);
    EXPECT_EQ(o.skipDepth[0], skip + 1);
    EXPECT_EQ(Positions(o)[1], (std::vector<float>{1, 1, 0}));
  }
}

// A segment splits while one end has levels left and one end has a crease of at most 1. The
// closed start kernel gives three points for a split first segment and two for a whole one,
// which then carries the skip depth one further (the pole mark -1 becomes 0).
TEST_P(CornerRounding, SegmentsSplitWhileAnEndHasLevelsAndAnEndIsNotSharp) {
  const struct {
    float sharp0, sharp1, levels0, levels1;
    std::int8_t skip0;
    bool splits;
  } cases[] = {
      {1, 1, 1, 1, 0, true},          {1.001f, 1.001f, 1, 1, 0, false},
      {1.001f, 1, 1, 1, 0, true},     {0, 0, 0, 0, 0, false},
      {0, 0, 0, 0.001f, 0, true},     {0, 0, -1, 0, 0, false},
      {2, 2, 1, 1, 3, false},         {2, 2, 1, 1, -1, false},
  };
  for (const auto& c : cases) {
    FillCurve(s, {{0, 0, 0, c.sharp0, 0, c.levels0, c.skip0}, {1, 1, 0, c.sharp1, 0, c.levels1},
                  {2, 0, 0}});
    EdgeCurveResize(o, 6);
    RoundCornerClosedStart(s, o);
    EXPECT_EQ(o.count, c.splits ? 3u : 2u) << c.sharp0 << " " << c.levels1;
    EXPECT_EQ(o.extra, c.splits ? 0u : 1u);
    EXPECT_EQ(o.skipDepth[0], c.splits ? 0 : c.skip0 + 1);
  }
}

// The middle kernel clamps the levels of a point that lies within 0.05 of its neighbours'
// midpoint to at most 0, in the source, before its split test.
TEST_P(CornerRounding, FlatPointsKeepNoLevels) {
  for (const float offset : {0.0f, 0.0499f, 0.0501f}) {
    FillCurve(s, {{0, 0, 0}, {1, offset, 0, 0, 0, 2}, {2, 0, 0}, {3, 1, 0}});
    RefineOpenCurveLevel(s, o);
    EXPECT_EQ(s.levels[1], offset < 0.05f ? 0.0f : 2.0f) << offset;
    EXPECT_EQ(s.levels[2], 28.0f);
  }
}

// The first level of a two-point Edge: its segments to the poles carry the pole mark, so each
// end point is smoothed against the pole itself and the pole segments get no new point.
TEST_P(CornerRounding, PoleMarkedSegmentsSmoothTheEndsAgainstThePoles) {
  FillCurve(s, {{0, 0, -1, 0, 0, 6, -1}, {1, 0, -0.5f, 0, 0, 6}, {1, 0, 0.5f, 0, 0, 6, -1},
                {0, 0, 1, 0, 0, 6}});
  EdgeCurveResize(o, 8);
  RoundCornerPoleStart(s, o);
  RoundCornerKernel(s, 0, o);
  RoundCornerPoleEnd(s, o);
  // (sqrt 2 - 1) (1, 0, -0.5) + (1 - 1/sqrt 2) ((0, 0, -1) + (1, 0, 0)) = (1/sqrt 2, 0, -0.5)
  ASSERT_EQ(o.count, 5u);
  const std::vector<float> expected[] = {
      {0, 0, -1}, {kRoot, 0, -0.5f}, {1, 0, 0}, {kRoot, 0, 0.5f}, {0, 0, 1}};
  for (std::uint32_t i = 0; i < 5; ++i) {
    EXPECT_NEAR(o.x[i], expected[i][0], 1e-7f) << i;
    EXPECT_NEAR(o.height[i], expected[i][2], 1e-7f) << i;
  }
  EXPECT_EQ(o.extra, 0u);
  // The start kernel writes the first two points whatever the output held.
  RoundCornerPoleStart(s, o);
  EXPECT_EQ(o.count, 2u);
}

// Whatever the creases, levels and skipped segments, no level writes more than
// extra + 2 x count points, the size its output is given; and no more segments carry a skip
// depth than the level counted in extra.
TEST_P(CornerRounding, NoLevelOutgrowsItsSizing) {
  std::mt19937 random(27);
  std::uniform_real_distribution<float> coordinate(-4, 4), sharpness(0, 2.5f), levels(-1, 4);
  EdgeCurve t{};
  for (int round = 0; round < 200; ++round) {
    const bool open = round % 2 == 0;
    std::vector<CurvePoint> points(3 + random() % 12);
    for (CurvePoint& p : points) {
      p = {coordinate(random), coordinate(random), coordinate(random), sharpness(random), 0,
           levels(random)};
    }
    FillCurve(s, points);
    EdgeCurve* from = &s;
    EdgeCurve* to = &o;
    for (int level = 0; level < 6; ++level) {
      const std::uint32_t bound = from->extra + 2 * from->count;
      open ? RefineOpenCurveLevel(*from, *to) : RefineClosedCurveLevel(*from, *to);
      ASSERT_LE(to->count, bound);
      std::uint32_t skipped = 0;
      for (std::uint32_t i = 0; i + 1 < to->count; ++i) skipped += to->skipDepth[i] > 0;
      ASSERT_LE(skipped, to->extra);
      from = to;
      to = to == &o ? &t : &o;
    }
  }
  EdgeCurveRelease(t);
}

}  // namespace
}  // namespace veskor
