#include "geometry/sweep_path_subdivision.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/cross_section.h"
#include "geometry/sweep_path_rules.h"
#include "section_test_support.h"

namespace veskor {
namespace {

using test::FillSection;
using test::RulePoint;

std::vector<RulePoint> Square(float r = 1) { return {{-r, -r}, {r, -r}, {r, r}, {-r, r}}; }

class Subdivision : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.range = LodRange{&boxes_, 8.0f, 0, 6, 0.002f};
    TransformNodeInit(settings_.transform);
  }
  void TearDown() override {
    for (SweepPath* s : {&source_, &out_, &a_, &b_}) SweepPathRelease(*s);
    gSubdivisionBanks.count = gSubdivisionBanks.hitCount = 0;
  }
  // Every level at the range's maximum.
  void NearBox(std::uint32_t maxLevel) {
    boxes_ = LodBoxList{{{-1e5f, 1e5f, -1e5f, 1e5f, -1e5f, 1e5f, 1e6f}}, 1};
    settings_.range.maxLevel = maxLevel;
  }
  // The banks hold `paths` (in the current bank), hits with the given slices (bytes), height
  // weights and per-Edge weights.
  struct Hit {
    std::uint32_t slices;
    float fraction;
    std::vector<float> weights;
  };
  void Banks(const std::vector<const SweepPath*>& paths, const std::vector<Hit>& hits) {
    SubdivisionBanks& banks = gSubdivisionBanks;
    banks.count = static_cast<std::uint32_t>(paths.size());
    for (std::uint32_t k = 0; k < banks.count; ++k) SweepPathAssign(BankPaths(banks)[k], *paths[k]);
    banks.hitCount = static_cast<std::uint32_t>(hits.size());
    for (std::uint32_t h = 0; h < banks.hitCount; ++h) {
      banks.hitSlices[h] = hits[h].slices;
      banks.hitFractions[h] = hits[h].fraction;
      std::vector<RulePoint> w;
      for (const float x : hits[h].weights) w.push_back({x, 0});
      FillSection(banks.weightPaths[h], w);
    }
  }
  LodBoxList boxes_{};
  SubdivisionSettings settings_{};
  SweepPath source_{}, out_{}, a_{}, b_{};
};

TEST_F(Subdivision, WholeLevelsAllowATolerance) {
  const struct {
    float level;
    std::int32_t whole;
  } cases[] = {{2.0f, 2},  {2.000005f, 2}, {2.00002f, 3}, {0.0f, 0},
               {1e-6f, 0}, {0.3f, 1},      {-0.5f, -1},   {11.0f, 11}};
  for (const auto& c : cases) EXPECT_EQ(SweepPathWholeLevel(c.level), c.whole) << c.level;
}

// Far from every box (or with no box) a square is stored as it is; near one it takes as many
// passes as its highest level asks, at most the cap (a square large enough that no point
// turns flat before).
TEST_F(Subdivision, PassesFollowTheLevelsUpToTheCap) {
  FillSection(source_, Square());
  source_.height = 3;
  ProfileV(source_) = 0.25f;
  Banks({&source_}, {{0, 0, {1, 1, 1, 1}}});
  SubdivideSweepPaths(source_, kSweepPathLevelCap, settings_, out_);
  ASSERT_EQ(out_.count, 4u);
  for (std::uint32_t k = 0; k < 4; ++k) EXPECT_EQ(out_.x[k], source_.x[k]);
  EXPECT_EQ(out_.totalLength, 8.0f);

  const struct {
    std::uint32_t maxLevel, cap, passes;
  } cases[] = {{1, 8, 1}, {3, 8, 3}, {8, 8, 8}, {11, 8, 8}, {11, 2, 2}};
  for (const auto& c : cases) {
    NearBox(c.maxLevel);
    FillSection(source_, Square(1e4f));
    Banks({&source_}, {{0, 0, {1, 1, 1, 1}}});
    SubdivideSweepPaths(source_, c.cap, settings_, out_);
    EXPECT_EQ(out_.count, 4u << c.passes) << c.maxLevel << " " << c.cap;
    EXPECT_EQ(HalfToFloat(source_.packedW[0]), static_cast<float>(c.maxLevel));
  }
  source_.height = 5;  // the source's height words come along
  ProfileV(source_) = 0.5f;
  ProfileVCapped(source_) = 0.75f;
  Banks({&source_}, {{0, 0, {1, 1, 1, 1}}});
  SubdivideSweepPaths(source_, 1, settings_, out_);
  EXPECT_TRUE(out_.height == 5 && ProfileV(out_) == 0.5f && ProfileVCapped(out_) == 0.75f);
}

// One bank path under one hit of weight 1 (height weight 0: half the point's own slice, half
// the one before, both this path) gives the refined path itself; so do hits whose weights sum
// to 1 at every Edge, with any height weights.
TEST_F(Subdivision, ABlendOfOnePathIsThatPathRefined) {
  NearBox(3);
  FillSection(source_, {{-1, -1}, {1, -1, 0.3f}, {1.5f, 1}, {-1, 1, 2}});
  Banks({&source_}, {{0, 0, {1, 1, 1, 1}}});
  SubdivideSweepPaths(source_, 8, settings_, out_);
  SweepPathAssign(a_, source_);
  for (int pass = 0; pass < 3; ++pass) {
    SweepPathRefinePass(a_, b_);
    SweepPathAssign(a_, b_);
  }
  ASSERT_EQ(out_.count, a_.count);
  for (std::uint32_t j = 0; j < a_.count; ++j) {
    EXPECT_EQ(out_.x[j], a_.x[j]) << j;
    EXPECT_EQ(out_.y[j], a_.y[j]) << j;
    EXPECT_EQ(out_.packedT[j], a_.packedT[j]) << j;
    EXPECT_EQ(out_.edgeValue[j], 0.0f);  // bank path 0's point 0
  }
  EXPECT_FLOAT_EQ(out_.totalLength, a_.totalLength);

  FillSection(source_, {{-1, -1}, {1, -1, 0.3f}, {1.5f, 1}, {-1, 1, 2}});
  Banks({&source_, &source_},
        {{0x000100, 0.3f, {1, 0.25f, 0, 0.5f}}, {0x010101, 0.8f, {0, 0.75f, 1, 0.5f}}});
  SubdivideSweepPaths(source_, 8, settings_, out_);
  ASSERT_EQ(out_.count, a_.count);
  for (std::uint32_t j = 0; j < a_.count; ++j) {
    EXPECT_NEAR(out_.x[j], a_.x[j], 2e-6f) << j;
    EXPECT_NEAR(out_.y[j], a_.y[j], 2e-6f) << j;
  }
}

// Two bank paths with a parameter one packed step apart: one point for each distinct
// parameter, so more points than either path has, each path sampled between its points.
TEST_F(Subdivision, TheBlendTakesEveryDistinctParameter) {
  FillSection(a_, {{0, 0, 0, 0, 0, 0}, {2, 0, 0, 0, 0, 0.5f}});
  FillSection(b_, {{0, 2, 0, 0, 0, 0}, {2, 2, 0, 0, 0, 0.5f + 1.0f / 1024}});
  Banks({&a_, &b_}, {{0x000000, 0.0f, {1, 1}}, {0x010101, 0.0f, {1, 1}}});
  SweepPathBlend(gSubdivisionBanks, 2, out_);
  ASSERT_EQ(out_.count, 3u);
  EXPECT_LE(out_.count, out_.capacity);
  const float u[3] = {0, 0.5f, 0.5f + 1.0f / 1024};
  for (std::uint32_t j = 0; j < 3; ++j) {
    EXPECT_EQ(HalfToFloat(out_.packedT[j]), u[j]);
    EXPECT_EQ(out_.packedTCopy[j], out_.packedT[j]);
  }
  // Point 1: a at its point 1 (2, 0); b short of its point 1 by one step, back toward 0.
  EXPECT_FLOAT_EQ(out_.x[1], 2 + 2 * (0.5f / (0.5f + 1.0f / 1024)));
  EXPECT_EQ(out_.y[1], 2.0f);
  // Point 2: a on its closing side, b on its point 1.
  EXPECT_FLOAT_EQ(out_.x[2], 2 - 2 * (1.0f / 1024) / 0.5f + 2);

  // One hit over three slices (a, b, a) with height weight 0.3, its weight 1 at Edge 0 and 0 at
  // Edge 1: (1 + 2w - 2w^2) / 2 of b at point 0; nothing at point 1.
  FillSection(b_, {{0, 2, 0, 0, 0, 0}, {2, 2, 0, 0, 0, 0.5f}});
  Banks({&a_, &b_}, {{SliceTriple(0, 1, 0), 0.3f, {1, 0}}});
  SweepPathBlend(gSubdivisionBanks, 2, out_);
  ASSERT_EQ(out_.count, 2u);
  EXPECT_FLOAT_EQ(out_.y[0], 2 * (1 + 0.6f - 0.18f) / 2);
  EXPECT_EQ(out_.y[1], 0.0f);
  EXPECT_EQ(out_.x[1], 0.0f);
}

// Open rows: levels one higher than a closed ring's (so one pass with no box at all), the ends
// taking their neighbours'; odd and even pass counts end in the destination. Rows of fewer than
// 3 points, and closed rings of fewer than 2, are copied.
TEST_F(Subdivision, OpenRowsAndShortRings) {
  boxes_.count = 0;
  FillSection(source_, {{0, 0, 0, 5}, {1, 1}, {2, 0}, {3, 1, 0, 5}});
  SectionKind(source_) = kSectionPlain | kSectionLeftSeam;
  SubdivideSweepPaths2(source_, 8, settings_, out_);
  EXPECT_EQ(HalfToFloat(source_.packedW[0]), 1.0f);
  EXPECT_EQ(HalfToFloat(source_.packedW[3]), 1.0f);
  EXPECT_EQ(out_.count, 5u);
  EXPECT_EQ(SectionKind(out_), kSectionPlain | kSectionLeftSeam);

  for (const std::uint32_t passes : {2u, 3u}) {
    NearBox(passes - 1);
    FillSection(source_, {{0, 0}, {1, 1}, {2, 0}, {3, 1}});
    SubdivideSweepPaths2(source_, 8, settings_, out_);
    // The same passes by hand.
    FillSection(source_, {{0, 0}, {1, 1}, {2, 0}, {3, 1}});
    SubdivideSweepPaths2(source_, 0, settings_, a_);  // sets the levels, copies
    for (std::uint32_t p = 0; p < passes; ++p) {
      SweepPathResize(b_, a_.firstWord + 2 * a_.count);
      SweepPathOpenFirstRule(a_, b_);
      for (std::uint32_t i = 0; i + 3 < a_.count; ++i) SweepPathInteriorRule(a_, i, b_);
      SweepPathOpenLastRule(a_, b_);
      SweepPathAssign(a_, b_);
    }
    ASSERT_EQ(out_.count, a_.count) << passes;
    for (std::uint32_t j = 0; j < a_.count; ++j) EXPECT_EQ(out_.x[j], a_.x[j]);
  }

  NearBox(6);
  FillSection(source_, {{0, 0}, {1, 1}});
  SubdivideSweepPaths2(source_, 8, settings_, out_);
  EXPECT_EQ(out_.count, 2u);
  FillSection(source_, {{4, 4}});
  SweepPathRefinePass(source_, out_);
  ASSERT_EQ(out_.count, 1u);
  EXPECT_EQ(out_.x[0], 4.0f);
}

TEST_F(Subdivision, RingQueries) {
  FillSection(source_, {{0, 0}, {2, 0}, {2, 4}});
  float x, y, value;
  RingInterpolate(source_, 2, 0.5f, &x, &y, &value);
  EXPECT_TRUE(x == 1 && y == 2 && value == 2);
  RingInterpolate(source_, 0, 0.25f, &x, &y, &value);
  EXPECT_TRUE(x == 0.5f && y == 0 && value == 0);
  SweepPathResize(source_, 0);
  source_.height = 7;
  float h;
  SweepPathCentroid(source_, &x, &y, &h);
  EXPECT_TRUE(x == 0 && y == 0 && h == 7);
  EXPECT_EQ(MaxInt(-3, 2), 2);
  EXPECT_EQ(MaxInt(-3, -7), -3);
}

}  // namespace
}  // namespace veskor
