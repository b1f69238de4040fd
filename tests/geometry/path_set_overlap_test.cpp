#include "geometry/path_set_overlap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "section_test_support.h"

namespace veskor {
namespace {

using test::Circle;
using test::FillRing;
using test::FillSet;
using test::HiddenBits;
using test::Prism;
using test::Square;
using test::Xy;

// A w x h rectangle from (x0, y0), counter-clockwise, a point at every unit.
std::vector<Xy> SteppedRect(float x0, float y0, int w, int h) {
  std::vector<Xy> p;
  for (int k = 0; k < w; ++k) p.push_back({x0 + float(k), y0});
  for (int k = 0; k < h; ++k) p.push_back({x0 + float(w), y0 + float(k)});
  for (int k = w; k > 0; --k) p.push_back({x0 + float(k), y0 + float(h)});
  for (int k = h; k > 0; --k) p.push_back({x0, y0 + float(k)});
  return p;
}

// Segments hidden by reference: those whose midpoint lies strictly inside the other rectangle.
std::vector<std::uint8_t> InsideMidpoints(const std::vector<Xy>& p, float x0, float y0, float x1,
                                          float y1) {
  std::vector<std::uint8_t> bits;
  for (std::size_t k = 0; k < p.size(); ++k) {
    const Xy& q = p[(k + 1) % p.size()];
    const float mx = (p[k].x + q.x) / 2, my = (p[k].y + q.y) / 2;
    bits.push_back(mx > x0 && mx < x1 && my > y0 && my < y1 ? 1 : 0);
  }
  return bits;
}

class Overlap : public ::testing::Test {
 protected:
  void TearDown() override {
    PathSetFree(a_);
    PathSetFree(b_);
  }
  PathSet a_{}, b_{};
};

// A = the 4 x 4 square from the origin, B rectangles placed against it, two slices each.
TEST_F(Overlap, SegmentsInsideTheOtherSectionAreHidden) {
  const struct {
    float x0, y0;
    int w, h;
    std::uint32_t firstIndex;
    const char* what;
  } cases[] = {{2.5f, 2.5f, 4, 4, 0, "corner"},
               {3.5f, 1.5f, 2, 1, 0, "side"},
               {1.5f, 1.5f, 1, 1, 0, "B inside A"},
               {-1.5f, -1.5f, 7, 7, 0, "A inside B"},
               {4, 0, 2, 4, 0, "boxes touch"},
               {2.5f, 2.5f, 4, 4, 2, "no shared slice"},
               {5, 0, 1, 1, 0, "apart"}};
  const std::vector<Xy> outlineA = SteppedRect(0, 0, 4, 4);
  for (const auto& c : cases) {
    const std::vector<Xy> outlineB = SteppedRect(c.x0, c.y0, c.w, c.h);
    FillSet(a_, kPathSetClosed, Prism(outlineA, 2));
    FillSet(b_, kPathSetClosed, Prism(outlineB, 2), c.firstIndex);
    PathSetOverlap(a_, b_);
    const bool compared = c.firstIndex == 0;
    const auto none = std::vector<std::uint8_t>(outlineB.size(), 0);
    for (std::uint32_t s = 0; s < 2; ++s) {
      EXPECT_EQ(HiddenBits(a_.paths[s]),
                compared ? InsideMidpoints(outlineA, c.x0, c.y0, c.x0 + c.w, c.y0 + c.h)
                         : std::vector<std::uint8_t>(16, 0))
          << c.what;
      EXPECT_EQ(HiddenBits(b_.paths[s]), compared ? InsideMidpoints(outlineB, 0, 0, 4, 4) : none)
          << c.what;
    }
  }
}

// Circles of 64 points, radius 1, one unit apart: each hides the segments that lie inside the
// other circle (points within 0.01 of the other circle are not judged).
TEST_F(Overlap, OverlappingCirclesHideEachOthersLens) {
  FillSet(a_, kPathSetClosed, Prism(Circle(0, 0, 1, 64), 2));
  FillSet(b_, kPathSetClosed, Prism(Circle(1, 0, 1, 64), 2));
  PathSetOverlap(a_, b_);
  std::uint32_t hidden = 0;
  for (const auto& [s, cx] : {std::pair{&a_.paths[1], 1.0f}, std::pair{&b_.paths[1], 0.0f}}) {
    for (std::uint32_t k = 0; k < 64; ++k) {
      const std::uint32_t j = (k + 1) % 64;
      const float dk = std::hypot(s->x[k] - cx, s->y[k]), dj = std::hypot(s->x[j] - cx, s->y[j]);
      if (dk < 0.99f && dj < 0.99f) {
        EXPECT_EQ(s->edgeKind[k], 1) << k;
      } else if (dk > 1.01f || dj > 1.01f) {
        EXPECT_EQ(s->edgeKind[k], 0) << k;
      }
      hidden += s->edgeKind[k];
    }
  }
  EXPECT_EQ(hidden, 2u * 20u);  // 120 degrees of each circle, less the two crossing segments
}

// B touches A's top edge with one vertex from outside: two crossings of opposite sign at one
// place, dropped. B's edge through A's corner (2, 0) into A: the same crossing twice, kept once.
TEST_F(Overlap, TouchingPairsAreDroppedAndCrossingsThroughAVertexKeptOnce) {
  SweepPath a{}, b{};
  CrossingList list, filtered;
  FillRing(a, {Square(0, 0, 2, 2)});
  FillRing(b, {{{1, 2}, {2, 3}, {0, 3}}});
  SectionCrossings(a, b, list);
  EXPECT_EQ(list.size(), 2u);
  FilterCrossings(list, kCrossingA, filtered);
  EXPECT_EQ(filtered.size(), 0u);
  SortCrossingsByOther(list, kCrossingB);
  FilterCrossings(list, kCrossingB, filtered);
  EXPECT_EQ(filtered.size(), 0u);  // the last and the first entry touch across B's vertex
  FillRing(b, {{{1, 1}, {3, -1}, {3, 1}}});
  SectionCrossings(a, b, list);
  EXPECT_EQ(list.size(), 3u);
  FilterCrossings(list, kCrossingA, filtered);
  ASSERT_EQ(filtered.size(), 2u);
  EXPECT_LT(filtered[0].sign, 0);
  EXPECT_EQ(filtered[1].seg[kCrossingA], 1u);
  SweepPathRelease(a);
  SweepPathRelease(b);
}

// More crossings and candidate segments than fixed work lists of 128 and 8192 would hold: a
// zigzag crossing a long rectangle's top 200 times; a circle of 10000 points over a square.
TEST(Crossings, ListsGrowWithTheSectionPair) {
  SweepPath a{}, b{};
  CrossingList list, filtered;
  std::vector<Xy> zigzag;
  for (int k = 0; k < 200; ++k) zigzag.push_back({0.5f + float(k), k % 2 == 0 ? 1.0f : 3.0f});
  zigzag.push_back({199.5f, 5});
  zigzag.push_back({0.5f, 5});
  FillRing(a, {Square(0, 0, 200, 2)});
  FillRing(b, {zigzag});
  SectionCrossings(a, b, list);
  ASSERT_EQ(list.size(), 200u);
  for (std::uint32_t k = 0; k < 200; ++k) {  // along A's top edge, from x = 200 toward 0
    EXPECT_NEAR(list[k].x, k < 199 ? 199.0f - float(k) : 0.5f, 1e-4f) << k;
  }
  FilterCrossings(list, kCrossingA, filtered);
  EXPECT_EQ(filtered.size(), 200u);
  FillRing(a, {Square(0, 0, 2, 2)});
  FillRing(b, {Circle(0.01f, 0.01f, 1, 10000)});
  SectionCrossings(a, b, list);
  EXPECT_EQ(list.size(), 2u);
  SweepPathRelease(a);
  SweepPathRelease(b);
}

TEST(PointInSection, EdgesAreClosedAtTheirUpperEndAndHorizontalOnesNeverCount) {
  SweepPath s{};
  FillRing(s, {Square(0, 0, 2, 2)});
  const struct {
    float x, y;
    std::uint32_t inside;
  } cases[] = {{1, 1, 1}, {1, 0, 0}, {1, 2, 1}, {2, 1, 1}, {0, 1, 0}, {3, 1, 0}, {1, 2.001f, 0}};
  for (const auto& c : cases) EXPECT_EQ(PointInPolygon(s, c.x, c.y), c.inside) << c.x << "," << c.y;
  SweepPathRelease(s);
}

TEST(HiddenRuns, RunsLieBetweenEnteringAndLeavingCrossings) {
  SweepPath s{};
  FillRing(s, {test::Circle(0, 0, 1, 8)});
  const struct {
    std::vector<std::pair<std::uint32_t, float>> crossings;  // segment, sign
    std::vector<std::uint8_t> hidden;
  } cases[] = {{{{1, -1}, {4, 1}}, {0, 0, 1, 1, 0, 0, 0, 0}},
               {{{2, 1}, {4, -1}}, {1, 1, 0, 0, 0, 1, 1, 1}},            // starts inside
               {{{1, -1}, {3, 1}, {5, -1}}, {0, 0, 1, 0, 0, 0, 1, 1}}};  // an odd count
  for (const auto& c : cases) {
    CrossingList list;
    list.Reserve(4);
    for (const auto& [seg, sign] : c.crossings) list.Append({0, 0, {0.5f, 0.5f}, sign, {seg, seg}});
    for (std::uint32_t k = 0; k < 8; ++k) SweepPathSetHidden(s, k, 0);
    MarkHiddenRuns(s, list, kCrossingA);
    EXPECT_EQ(HiddenBits(s), c.hidden);
  }
  SweepPathRelease(s);
}

}  // namespace
}  // namespace veskor
