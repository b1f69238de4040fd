#include "geometry/path_set.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "section_test_support.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::FillRing;
using test::FillSet;
using test::Ring;
using test::Square;

class PathSets : public ::testing::Test {
 protected:
  void TearDown() override { PathSetFree(set_); }
  PathSet set_{};
};

TEST(CrossSection, ParametersWrapPastTheLastPoint) {
  SweepPath s{};
  FillRing(s, {Square(0, 0, 2, 2)});  // parameters 0, .25, .5, .75
  EXPECT_EQ(SweepPathParamOfIndex(s, 4), 1.0f);
  EXPECT_EQ(SweepPathParamOfIndex(s, 9), 2.25f);
  EXPECT_EQ(SweepPathLerpX(s, 3, 0.5f), 0.0f);  // (0, 2) toward point 0 (0, 0)
  EXPECT_EQ(SweepPathLerpY(s, 3, 0.5f), 1.0f);
  const struct {
    float t;
    std::uint32_t from, index;
    float fraction;
  } walks[] = {{0.25f, 0, 0, 1.0f},
               {0.2505f, 0, 1, 0.002f},
               {0.9f, 0, 3, 0.6f},
               {0.1f, 2, 2, -1.6f}};  // the walk never goes back
  for (const auto& w : walks) {
    std::uint32_t index;
    float fraction;
    SkinRowStep(s, w.from, 3, w.t, &index, &fraction);
    EXPECT_EQ(index, w.index) << w.t;
    EXPECT_NEAR(fraction, w.fraction, 1e-5f) << w.t;
  }
  FillRing(s, {Square(0, 0, 2, 2), 0, kSectionPlain, {0, 0.5f, 0.5f, 0.5f}});
  std::uint32_t index;
  float fraction;
  SkinRowStep(s, 1, 3, 0.5f, &index, &fraction);
  EXPECT_EQ(fraction, 0.0f);  // equal parameters
  SweepPathRelease(s);
}

TEST(CrossSection, MetricsCountTheClosingSegmentOfClosedSectionsOnly) {
  SweepPath s{};
  FillRing(s, {Square(0, 0, 2, 2), 0, kSectionPlain, {}, {0, 1, 0, 0}});
  EXPECT_EQ(s.totalLength, 8.0f);
  EXPECT_EQ(s.secondLength, 6.0f);  // segment 1 is hidden
  EXPECT_EQ(s.arcPosition[3], 6.0f);
  FillRing(s, {{{-5, 7}, {0, 0}, {3, 0}, {3, 4}, {9, 9}}}, 1);  // open: ends are handles
  EXPECT_EQ(s.totalLength, 7.0f);
  EXPECT_EQ(s.arcPosition[1], 0.0f);
  EXPECT_EQ(s.arcPosition[4], 7.0f);
  EXPECT_EQ(s.bounds[0], 0.0f);
  EXPECT_EQ(s.bounds[3], 4.0f);
  SweepPathRelease(s);
}

TEST_F(PathSets, ResizeKeepsTheBlockAndKindUntilItMustGrow) {
  FillSet(set_, kPathSetOpen, {{Square(0, 0, 1, 1)}, {Square(0, 0, 1, 1)}});
  const std::uint8_t* base = set_.block.base;
  PathSetResize(set_, 2, kPathSetClosed);
  EXPECT_EQ(set_.block.base, base);
  EXPECT_EQ(set_.kind, kPathSetOpen);
  EXPECT_EQ(set_.count, 0u);
  SweepPath* s = PathSetAppendEmpty(set_, 2);
  EXPECT_EQ(s[1].block.base, nullptr);  // emptied sections own no block
  PathSetResize(set_, 3, kPathSetClosed);
  EXPECT_EQ(set_.capacity, 3u);
  EXPECT_EQ(set_.kind, kPathSetClosed);
  PathSetAppendEmpty(set_, 3);
  PathSetClear(set_);
  EXPECT_EQ(set_.capacity, 3u);
  EXPECT_EQ(set_.count, 0u);
  PathSetFree(set_);
  EXPECT_EQ(set_.capacity + set_.kind + set_.count, 0u);
}

TEST_F(PathSets, AppendingPastTheRoomIsFatal) {
  PathSetResize(set_, 1, kPathSetClosed);
  const std::uint32_t size = sizeof(SweepPath), k = set_.block.sizeClass;
  const std::uint32_t room = (1u << k) / size;
  PathSetAppendEmpty(set_, room);
  char text[128];
  std::snprintf(text, sizeof text,
                "Virtual Memory Error : Required Memory > Reserved Memory (%u+%u>(1<<%u))",
                room * size, size, k);
  EXPECT_FATAL(PathSetAppendEmpty(set_, 1), text);
}

// Bottom rings of length 0.0004 and 0.0005 under a 2 x 2 square one higher and a capped top.
TEST_F(PathSets, AnApexBelowTheToleranceCapsTheSetAgainstTheNextRing) {
  for (const float length : {0.0004f, 0.0005f}) {
    FillSet(set_, kPathSetClosed,
            {{{{0, 0}, {length / 2, 0}}, 0},
             {Square(-1, -1, 1, 1), 1},
             {Square(-1, -1, 1, 1), 3, kSectionCappedTop}});
    const bool apex = length < kApexRingLength;
    EXPECT_NEAR(set_.bottomCapLength, apex ? std::sqrt(3.0f) : 0.0f, 1e-6f) << length;
    EXPECT_EQ(set_.firstProfileRing, apex ? 1u : 0u) << length;
    EXPECT_NEAR(set_.topCapLength, std::sqrt(2.0f), 1e-6f);
    EXPECT_EQ(set_.profileRingEnd, 3u);
    EXPECT_EQ(set_.minZ, 0.0f);
    EXPECT_EQ(set_.maxX, 1.0f);
  }
}

// Coincident squares 2 apart: a profile step of 2.0001; capped at both ends by their radius.
TEST_F(PathSets, ProfileStepsAreTheFarthestMatchedDistanceAndNormaliseAlongTheCaps) {
  FillSet(set_, kPathSetClosed,
          {{Square(4, 4, 6, 6), 0, kSectionCappedBottom},
           {Square(4, 4, 6, 6), 2},
           {Square(4, 4, 6, 6), 4, kSectionCappedTop}});
  EXPECT_NEAR(set_.profileLength, 4.0002f, 1e-5f);
  EXPECT_NEAR(ProfileArc(set_.paths[1]), 2.0001f, 1e-6f);
  EXPECT_NEAR(ProfileV(set_.paths[1]), 0.5f, 1e-6f);
  EXPECT_EQ(set_.maxRingLength, 8.0f);
  PathSetNormalise(set_);
  const float cap = std::sqrt(2.0f), sum = 2 * cap + 4.0002f;
  EXPECT_NEAR(ProfileVCapped(set_.paths[0]), cap / sum, 1e-6f);
  EXPECT_NEAR(ProfileVCapped(set_.paths[1]), (cap + 2.0001f) / sum, 1e-6f);
  EXPECT_NEAR(ProfileVCapped(set_.paths[2]), (cap + 4.0002f) / sum, 1e-6f);  // a profile ring
  set_.paths[1].packedT[2] = 7;
  PathSetNormalise(set_);
  EXPECT_EQ(set_.paths[1].packedTCopy[2], 7);
}

// One ring, one apex ring, equal parameters in an open walk, no ring: no NaN anywhere.
TEST_F(PathSets, DegenerateSetsMeasureToNumbers) {
  const std::vector<Ring> sets[] = {
      {{Square(0, 0, 1, 1)}},
      {{{{0, 0}}}},
      {{{{0, 0}, {1, 0}, {2, 0}}, 0, kSectionPlain, {0, 0.5f, 0.5f}},
       {{{0, 0}, {1, 0}, {2, 0}}, 1, kSectionPlain, {0, 0.5f, 0.5f}}}};
  for (const std::uint32_t kind : {kPathSetClosed, kPathSetOpen}) {
    for (const auto& rings : sets) {
      FillSet(set_, kind, rings);
      PathSetNormalise(set_);
      EXPECT_EQ(set_.bottomCapLength + set_.topCapLength, 0.0f);
      for (const float v : {set_.profileLength, ProfileV(set_.paths[0]),
                            ProfileVCapped(set_.paths[0]), ProfileArc(set_.paths[0])}) {
        EXPECT_FALSE(std::isnan(v)) << kind << " " << rings.size();
      }
    }
  }
  PathSetResize(set_, 1, kPathSetClosed);
  set_.minX = 7;
  PathSetMeasure(set_);
  PathSetNormalise(set_);
  EXPECT_EQ(set_.minX, 7.0f);
}

// Open polylines (end handles at x -1 and 2) at heights 0, 1 and 3: the profile sums the
// matched distances; the middle ring keeps the normalised height its builder gave it.
TEST_F(PathSets, OpenSetsMeasureTheProfileAndKeepTheirHeights) {
  const std::vector<test::Xy> line = {{-1, 0}, {0, 0}, {1, 0}, {2, 0}};
  FillSet(set_, kPathSetOpen, {{line, 0}, {line, 1}, {line, 3}});
  ProfileVCapped(set_.paths[1]) = 1.0f / 3;
  set_.paths[1].thirdWord = 0x7FC00000;  // a profileArc nothing computed
  PathSetNormalise(set_);
  EXPECT_NEAR(set_.profileLength, 3.0002f, 1e-5f);
  EXPECT_EQ(set_.firstRingLength + set_.lastRingLength, 0.0f);
  EXPECT_EQ(set_.maxRingLength, 1.0f);
  EXPECT_EQ(ProfileVCapped(set_.paths[0]), 0.0f);
  EXPECT_EQ(ProfileVCapped(set_.paths[1]), 1.0f / 3);
  EXPECT_EQ(ProfileVCapped(set_.paths[2]), 1.0f);
}

}  // namespace
}  // namespace veskor
