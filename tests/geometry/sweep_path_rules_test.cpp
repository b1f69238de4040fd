#include "geometry/sweep_path_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "geometry/sweep_path_subdivision.h"
#include "section_test_support.h"

namespace veskor {
namespace {

using test::FillSection;
using test::RulePoint;

constexpr float kKeep = 0.41421356f, kPull = 0.5857864f, kNeighbour = 0.2928932f;

struct Xy {
  float x, y;
};

std::vector<RulePoint> Square(float crease, float levels) {
  return {{-1, -1, crease, levels},
          {1, -1, crease, levels},
          {1, 1, crease, levels},
          {-1, 1, crease, levels}};
}

// One pass of the open rules.
void OpenPass(SweepPath& s, SweepPath& o) {
  SweepPathResize(o, s.firstWord + 2 * s.count);
  SweepPathOpenFirstRule(s, o);
  for (std::uint32_t i = 0; i + 3 < s.count; ++i) SweepPathInteriorRule(s, i, o);
  SweepPathOpenLastRule(s, o);
}

class SweepPathRules : public ::testing::Test {
 protected:
  void TearDown() override {
    SweepPathRelease(s_);
    SweepPathRelease(o_);
    SweepPathRelease(o2_);
  }
  void ExpectPoint(const SweepPath& s, std::uint32_t i, Xy p, float tolerance = 0) {
    EXPECT_NEAR(s.x[i], p.x, tolerance + 1e-6f) << i;
    EXPECT_NEAR(s.y[i], p.y, tolerance + 1e-6f) << i;
  }
  SweepPath s_{}, o_{}, o2_{};
};

// Crease 0 everywhere: every side gets its midpoint and every corner moves to keep x corner +
// pull x (its two midpoints), s = 1 - level (clamped) deciding the weights.
TEST_F(SweepPathRules, ASmoothSquareGetsMidpointsAndRoundedCorners) {
  for (const float level : {1.0f, 0.5f, 3.0f}) {
    FillSection(s_, Square(0, level));
    SweepPathRefinePass(s_, o_);
    ASSERT_EQ(o_.count, 8u);
    const float t = 1.0f - std::min(level, 1.0f);
    const float keep = kKeep + kPull * t, pull = kNeighbour * (1.0f - t);
    const Xy mids[4] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
    for (std::uint32_t k = 0; k < 4; ++k) {
      const Xy c = {s_.x[k], s_.y[k]};
      const Xy a = mids[(k + 3) % 4], b = mids[k];
      ExpectPoint(o_, 2 * k, {keep * c.x + pull * (a.x + b.x), keep * c.y + pull * (a.y + b.y)});
      ExpectPoint(o_, 2 * k + 1, b);
    }
    for (std::uint32_t j = 0; j < 8; ++j) {
      EXPECT_EQ(HalfToFloat(o_.packedT[j]), 0.125f * static_cast<float>(j));  // 0.875 closes
      EXPECT_EQ(o_.packedTCopy[j], o_.packedT[j]);
      EXPECT_EQ(HalfToFloat(o_.packedU[j]), -1.0f);
      EXPECT_EQ(HalfToFloat(o_.packedW[j]), level - 1.0f);
      EXPECT_EQ(o_.pointFlag[j], 0u);
      EXPECT_EQ(o_.edgeValue[j], static_cast<float>(j / 2));  // a new point takes P's value
    }
    EXPECT_EQ(o_.firstWord, 0u);
  }
  // A second pass of the level-1 square: every level is 0, nothing splits, and the carried
  // levels go negative, kept with the sign bit.
  FillSection(s_, Square(0, 1));
  SweepPathRefinePass(s_, o_);
  SweepPathRefinePass(o_, o2_);
  ASSERT_EQ(o2_.count, 8u);
  EXPECT_EQ(o2_.firstWord, 8u);
  for (std::uint32_t j = 0; j < 8; ++j) EXPECT_EQ(o2_.packedW[j], 0x8400) << j;
}

// Crease 31 at both ends keeps every side whole: corners copied, creases 30, skip depth 1.
TEST_F(SweepPathRules, CreasedSidesStayWhole) {
  FillSection(s_, Square(31, 5));
  SweepPathRefinePass(s_, o_);
  ASSERT_EQ(o_.count, 4u);
  EXPECT_EQ(o_.firstWord, 4u);
  for (std::uint32_t k = 0; k < 4; ++k) {
    ExpectPoint(o_, k, {s_.x[k], s_.y[k]});
    EXPECT_EQ(HalfToFloat(o_.packedU[k]), 30.0f);
    EXPECT_EQ(HalfToFloat(o_.packedW[k]), 4.0f);
    EXPECT_EQ(o_.pointFlag[k], 1u);
  }
  // A crease of exactly 1 everywhere, or just above 1 at one end only, still splits.
  FillSection(s_, Square(1, 1));
  SweepPathRefinePass(s_, o_);
  EXPECT_EQ(o_.count, 8u);
  std::vector<RulePoint> one = Square(31, 1);
  one[1].crease = 1.0009765625f;  // 1 + 1/1024
  one[2].crease = 1;
  FillSection(s_, one);
  SweepPathRefinePass(s_, o_);
  EXPECT_EQ(o_.count, 6u);  // the two sides at corner 2
}

// A side left whole for d passes is split at w(d) = 0.5 x 2^-d of its length from each end;
// the closing side takes point 0's parameter as 1.0.
TEST_F(SweepPathRules, SidesLeftWholeSplitGraded) {
  const struct {
    std::uint32_t corner;
    std::uint8_t skip;
    Xy a, b;
    float pa, pb;
  } cases[] = {{1, 1, {1, -0.5f}, {1, 0.5f}, 0.3125f, 0.4375f},
               {1, 2, {1, -0.75f}, {1, 0.75f}, 0.28125f, 0.46875f},
               {3, 1, {-1, 0.5f}, {-1, -0.5f}, 0.8125f, 0.9375f}};
  for (const auto& c : cases) {
    std::vector<RulePoint> points = Square(0, 2);
    points[c.corner].skip = c.skip;
    FillSection(s_, points);
    SweepPathRefinePass(s_, o_);
    ASSERT_EQ(o_.count, 9u) << c.corner;
    const std::uint32_t a = 2 * c.corner + 1;
    ExpectPoint(o_, a, c.a);
    ExpectPoint(o_, a + 1, c.b);
    EXPECT_EQ(HalfToFloat(o_.packedT[a]), c.pa);
    EXPECT_EQ(HalfToFloat(o_.packedT[a + 1]), c.pb);
    EXPECT_EQ(o_.edgeValue[a + 1], static_cast<float>(c.corner));
  }
  // The same through two passes: corners 1 and 2 creased 1.5 keep their side whole once, then
  // split it at 1/4 and 3/4 of the side between their new positions.
  std::vector<RulePoint> points = Square(0, 3);
  points[1].crease = points[2].crease = 1.5f;
  FillSection(s_, points);
  SweepPathRefinePass(s_, o_);
  ASSERT_EQ(o_.count, 7u);
  EXPECT_EQ(o_.firstWord, 1u);
  EXPECT_EQ(o_.pointFlag[2], 1u);
  SweepPathRefinePass(o_, o2_);
  const Xy p = {o_.x[2], o_.y[2]}, q = {o_.x[3], o_.y[3]};
  std::uint32_t found = 0;
  for (std::uint32_t j = 0; j < o2_.count; ++j) {
    const float t = HalfToFloat(o2_.packedT[j]);
    if (t != 0.3125f && t != 0.4375f) continue;
    const float f = t == 0.3125f ? 0.25f : 0.75f;
    ExpectPoint(o2_, j, {(1 - f) * p.x + f * q.x, (1 - f) * p.y + f * q.y});
    ++found;
  }
  EXPECT_EQ(found, 2u);
}

// Point 0 and the last point both within 0.1 of their neighbours' midpoints: the closing side
// stays whole whatever the levels; the other sides split (the one ending at the flat last point
// because its other end has levels).
TEST_F(SweepPathRules, AFlatClosingSideStaysWhole) {
  for (const float level : {1.0f, 5.0f}) {
    FillSection(s_, {{0, 0, 0, level},
                     {1, 0, 0, level},
                     {1, 2, 0, level},
                     {-2, 2, 0, level},
                     {-2, 0, 0, level},
                     {-1, 0, 0, level}});
    SweepPathRefinePass(s_, o_);
    EXPECT_EQ(o_.packedT[o_.count - 1], s_.packedT[5]) << level;  // no point after point 5's
    EXPECT_EQ(o_.pointFlag[o_.count - 1], 1u);
    EXPECT_EQ(o_.firstWord, 1u);
    EXPECT_EQ(o_.count, 11u);
    EXPECT_EQ(s_.packedW[5], 0u);  // the interior rule clamped the flat point in the source
    EXPECT_EQ(HalfToFloat(s_.packedW[4]), level);
  }
}

// Point 0 is finished from both of its sides: here its first side stays whole (both ends flat,
// 0.07 from their neighbours' midpoints), so it moves half of the way its split closing side
// asks.
TEST_F(SweepPathRules, PointZeroTakesHalfFromEachSide) {
  FillSection(s_, {{0, 0.07f}, {1, 0}, {2, 0}, {2, 2}, {-1, 2}, {-1, 0}});
  SweepPathRefinePass(s_, o_);
  EXPECT_EQ(o_.pointFlag[0], 1u);
  const float v = kKeep * 0.07f + kNeighbour * (0.035f + 0.035f);  // beside it (+-0.5, 0.035)
  ExpectPoint(o_, 0, {0, 0.5f * (0.07f + v)});
  const std::uint32_t last = o_.count - 1;
  ExpectPoint(o_, last, {-0.5f, 0.035f});
  EXPECT_EQ(HalfToFloat(o_.packedT[last]),
            HalfToFloat(FloatToHalf((HalfToFloat(s_.packedT[5]) + 1) / 2)));
}

// Values are encoded truncated toward zero: the midpoint crease of 0 and 1/1024, less 1, is
// -2047/2048 and is kept as -1023/1024.
TEST_F(SweepPathRules, PackedValuesTruncate) {
  std::vector<RulePoint> points = Square(0, 1);
  points[1].crease = 1.0f / 1024;
  FillSection(s_, points);
  SweepPathRefinePass(s_, o_);
  EXPECT_EQ(o_.packedU[1], 0x8000 | 1023);
  EXPECT_EQ(HalfToFloat(o_.packedU[2]), -1023.0f / 1024);
}

// Open rows drop a free end whose side splits; whole sides carry both ends.
TEST_F(SweepPathRules, OpenRowsDropSplitEnds) {
  FillSection(s_, {{0, 0}, {1, 1}, {2, 0}});
  OpenPass(s_, o_);
  ASSERT_EQ(o_.count, 3u);
  ExpectPoint(o_, 0, {0.5f, 0.5f});
  ExpectPoint(o_, 1, {kKeep + kNeighbour * 2, kKeep + kNeighbour * 1});
  ExpectPoint(o_, 2, {1.5f, 0.5f});
  EXPECT_EQ(o_.firstWord, 0u);

  // The first side left whole once before: its one new point at 1/4 from P1.
  // The second one too: P1's expected neighbour on it lies at 1/4 as well.
  std::vector<RulePoint> graded = {{0, 0}, {1, 1}, {2, 0}, {3, 1}};
  graded[0].skip = graded[1].skip = 1;
  FillSection(s_, graded);
  OpenPass(s_, o_);
  ExpectPoint(o_, 0, {0.75f, 0.75f});
  ExpectPoint(o_, 1, {kKeep + kNeighbour * 2, kKeep + kNeighbour * 1.5f});
  EXPECT_EQ(o_.edgeValue[0], 0.0f);
  EXPECT_EQ(o_.count, 6u);

  FillSection(s_, {{0, 0, 31}, {1, 1, 31}, {2, 0, 31}});
  OpenPass(s_, o_);
  ASSERT_EQ(o_.count, 3u);
  EXPECT_EQ(o_.firstWord, 2u);
  for (std::uint32_t k = 0; k < 3; ++k) ExpectPoint(o_, k, {s_.x[k], s_.y[k]});
  EXPECT_EQ(o_.pointFlag[0], 1u);
  EXPECT_EQ(o_.pointFlag[1], 1u);
}

// Over random sections, closed and open: the output fits s.extra + 2 x s.count points, its
// extra counts exactly the points with a skip depth, its parameters rise within [0, 1) around
// a closed ring, and no value is NaN.
TEST_F(SweepPathRules, PassBookkeepingHoldsOverRandomSections) {
  std::mt19937 random(29);
  std::uniform_real_distribution<float> unit(0, 1);
  for (int round = 0; round < 400; ++round) {
    const bool open = round % 2 == 1;
    const std::uint32_t m = (open ? 3 : 2) + random() % 12;
    std::vector<RulePoint> points;
    for (std::uint32_t k = 0; k < m; ++k) {
      const float a = 6.2831853f * (static_cast<float>(k) + 0.6f * unit(random)) / float(m);
      const float r = 1 + 2 * unit(random);
      points.push_back({r * std::cos(a), r * std::sin(a), 3 * unit(random) - 1,
                        4 * unit(random) - 1, static_cast<std::uint8_t>(random() % 4)});
    }
    FillSection(s_, points);
    const std::uint32_t room = s_.firstWord + 2 * m;
    if (open) {
      OpenPass(s_, o_);
    } else {
      SweepPathRefinePass(s_, o_);
    }
    SCOPED_TRACE(round);
    ASSERT_LE(o_.count, room);
    ASSERT_GE(o_.count, open ? 2u : m);
    std::uint32_t skipped = 0;
    for (std::uint32_t j = 0; j < o_.count; ++j) {
      skipped += o_.pointFlag[j] != 0 ? 1 : 0;
      ASSERT_TRUE(std::isfinite(o_.x[j]) && std::isfinite(o_.y[j]));
      if (!open && j > 0) {
        ASSERT_GT(o_.packedT[j], o_.packedT[j - 1]);
      }
    }
    EXPECT_EQ(o_.firstWord, skipped);
    if (!open) {
      EXPECT_LT(HalfToFloat(o_.packedT[o_.count - 1]), 1.0f);
    }
  }
}

}  // namespace
}  // namespace veskor
