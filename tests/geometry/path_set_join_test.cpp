#include "geometry/path_set_join.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "foundation/session_log.h"
#include "section_test_support.h"

namespace veskor {
namespace {

using test::FillRing;
using test::FillSet;
using test::HiddenBits;
using test::Prism;
using test::Square;
using test::Xy;

class Join : public ::testing::Test {
 protected:
  void SetUp() override { SessionLogSetStream(&log_); }
  void TearDown() override {
    SessionLogClose();
    PathSetFree(a_);
    PathSetFree(b_);
  }
  std::ostringstream log_;
  PathSet a_{}, b_{};
};

// The 4 x 4 square minus the square [3, 5] x [1, 3]: from A's corner outside B, from the middle
// of A's right side inside B, and minus [-1, 1] x [1, 3] whose crossings lie on A's closing
// segment. Parameters rise from 0 below 1; no point is hidden.
TEST_F(Join, ASquareMinusASmallerSquareFollowsBothOutlines) {
  const struct {
    std::vector<Xy> a;
    std::vector<Xy> b;
    std::vector<Xy> outline;
    std::vector<float> params;
  } cases[] = {{Square(0, 0, 4, 4),
                Square(3, 1, 5, 3),
                {{0, 0}, {4, 0}, {4, 1}, {3, 1}, {3, 3}, {4, 3}, {4, 4}, {0, 4}},
                {0, .25f, .3125f, .34375f, .40625f, .4375f, .5f, .75f}},
               {{{4, 2}, {4, 4}, {0, 4}, {0, 0}, {4, 0}},
                Square(3, 1, 5, 3),
                {{3, 2}, {3, 3}, {4, 3}, {4, 4}, {0, 4}, {0, 0}, {4, 0}, {4, 1}, {3, 1}},
                {0, .0498f, .0996f, .2f, .4f, .6f, .7998f, .8994f, .9492f}},
               {Square(0, 0, 4, 4),
                Square(-1, 1, 1, 3),
                {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 3}, {1, 3}, {1, 1}, {0, 1}},
                {0, .25f, .5f, .75f, .8125f, .84375f, .90625f, .9375f}}};
  for (const auto& c : cases) {
    FillSet(a_, kPathSetClosed, Prism(c.a, 2), 4);
    FillSet(b_, kPathSetClosed, Prism(c.b, 2), 4);
    ProfileVCapped(a_.paths[1]) = 0.5f;
    SectionKind(a_.paths[0]) = kSectionLeftOut;  // takes B's kind
    SectionKind(b_.paths[1]) = kSectionCappedTop;
    EXPECT_EQ(PathSetJoin(a_, b_), 0u);
    EXPECT_EQ(SectionKind(a_.paths[0]), kSectionPlain);
    EXPECT_EQ(SectionKind(a_.paths[1]), kSectionPlain);
    const SweepPath& s = a_.paths[1];
    ASSERT_EQ(s.count, c.outline.size());
    for (std::uint32_t k = 0; k < s.count; ++k) {
      EXPECT_NEAR(s.x[k], c.outline[k].x, 1e-5f) << k;
      EXPECT_NEAR(s.y[k], c.outline[k].y, 1e-5f) << k;
      EXPECT_NEAR(HalfToFloat(s.packedT[k]), c.params[k], 1e-3f) << k;
      EXPECT_EQ(s.packedTCopy[k], s.packedT[k]);
      EXPECT_EQ(HalfToFloat(s.packedW[k]), kSectionLevelsNew);
    }
    EXPECT_EQ(HiddenBits(s), std::vector<std::uint8_t>(s.count, 0));
    EXPECT_EQ(s.height, 1.0f);
    EXPECT_EQ(ProfileVCapped(s), 0.5f);
    EXPECT_EQ(s.totalLength, 18.0f);  // the perimeter less 2 of A's side plus 4 of B's
    EXPECT_EQ(b_.paths[1].count, c.b.size());
  }
  EXPECT_EQ(log_.str(), "");
}

// A inside B and B inside A cannot be cut (one outline holds no hole), nor can a bar through A
// (what is left is two pieces); sections that lie apart in overlapping sets, or only touch,
// need no cut.
TEST_F(Join, PairsThatCannotBeCutStayAndAreCounted) {
  const struct {
    std::vector<Xy> a, b;
    std::uint32_t uncut;
  } cases[] = {{Square(1, 1, 2, 2), Square(0, 0, 3, 3), 2},
               {Square(0, 0, 3, 3), Square(1, 1, 2, 2), 2},
               {Square(0, 0, 6, 2), Square(2, -1, 4, 3), 2},
               {{{0, 0}, {3, 0}, {0, 3}}, {{3, 3}, {1.6f, 3}, {3, 1.6f}}, 0},
               {Square(0, 0, 4, 4), {{4, 2}, {6, 1}, {6, 3}}, 0}};
  for (const auto& c : cases) {
    FillSet(a_, kPathSetClosed, Prism(c.a, 2));
    FillSet(b_, kPathSetClosed, Prism(c.b, 2));
    EXPECT_EQ(PathSetJoin(a_, b_), c.uncut);
    EXPECT_EQ(a_.paths[0].count, c.a.size());
    EXPECT_EQ(a_.paths[1].count, c.a.size());
  }
  EXPECT_EQ(log_.str(),
            "Cut composition : 2 section pair(s) left uncut\n"
            "Cut composition : 2 section pair(s) left uncut\n"
            "Cut composition : 2 section pair(s) left uncut\n");
}

// Four crossings met along R in the order 0 2 1 3 (two descents) allow no outline; in the order
// 1 2 3 0 (a rotation, one descent) they do.
TEST_F(Join, CrossingsOutOfOrderAlongTheSecondSectionAreRefused) {
  SweepPath a{}, r{}, target{};
  FillRing(a, {Square(0, 0, 4, 4)});
  FillRing(r, {Square(1, 1, 3, 3)});
  for (const auto& [order, result] : {std::pair{std::vector<std::uint32_t>{0, 2, 1, 3}, 1u},
                                      std::pair{std::vector<std::uint32_t>{1, 2, 3, 0}, 0u}}) {
    CrossingList list;
    list.Reserve(4);
    for (std::uint32_t k = 0; k < 4; ++k) {
      list.Append({0, 0, {0.5f, 0.5f}, k % 2 == 0 ? -1.0f : 1.0f, {k, order[k]}});
    }
    EXPECT_EQ(SpliceSections(a, r, list, target), result);
    EXPECT_EQ(target.count == 0, result == 1);
  }
  SweepPathRelease(a);
  SweepPathRelease(r);
  SweepPathRelease(target);
}

// Signs kept so they alternate around the list: a run keeps its first entry, and a last entry
// of the first entry's sign goes.
TEST(JoinCrossings, CompactionAlternatesTheSigns) {
  const struct {
    std::vector<float> signs, kept;
  } cases[] = {{{-1, -1, 1, -1}, {-1, 1}}, {{-1, 1, 1, -1, 1}, {-1, 1, -1, 1}}, {{1, -1}, {1, -1}}};
  for (const auto& c : cases) {
    CrossingList list;
    list.Reserve(8);
    for (const float sign : c.signs) list.Append({0, 0, {0, 0}, sign, {0, 0}});
    CompactPolylineBySign(list);
    std::vector<float> kept;
    for (std::uint32_t k = 0; k < list.size(); ++k) kept.push_back(list[k].sign);
    EXPECT_EQ(kept, c.kept);
  }
}

TEST(JoinPositions, RunsPlacesAndArcFractions) {
  SweepPath s{};
  FillRing(s, {Square(0, 0, 2, 2), 0, kSectionPlain, {}, {1, 1, 0, 1}});
  const struct {
    std::uint32_t i, j, hidden;
  } runs[] = {{2, 1, 0}, {0, 0, 1}, {2, 2, 0}, {0, 2, 1}, {1, 3, 0}, {3, 4, 1}};
  for (const auto& r : runs) EXPECT_EQ(SweepPathRunHidden(s, r.i, r.j), r.hidden) << r.i << r.j;
  EXPECT_EQ(SweepPathArcAt(s, 3, 0.5f), 7.0f);
  EXPECT_EQ(SweepPathParamAt(s, 3, 0.5f), 0.875f);
  EXPECT_EQ(SweepPathParamAtUnrolled(s, 5, 0.5f), 1.375f);
  const SectionPosition p = SweepPathPointAtArcFraction(s, {3, 0.5f}, {1, 0.5f}, 0.25f);
  EXPECT_EQ(p.seg, 3u);  // from arc 7 to arc 3 one turn later: arc 8 ends segment 3
  EXPECT_EQ(p.t, 1.0f);
  FillRing(s, {{{1, 1}, {1, 1}, {1, 1}}});  // no length at all
  const SectionPosition z = SweepPathPointAtArcFraction(s, {0, 0}, {2, 0}, 0.5f);
  EXPECT_FALSE(std::isnan(z.t));
  SweepPathRelease(s);
}

}  // namespace
}  // namespace veskor
