#include "geometry/scene_objects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "geometry/curve_refinement.h"
#include "geometry/scene_build_error.h"
#include "geometry/slice_heights.h"
#include "geometry_test_support.h"

namespace veskor {
namespace {

using test::CurvePoint;
using test::FillList;

std::vector<float> Heights() {
  const SliceHeightsHalf& h = SliceHeightsSource();
  return {h.heights, h.heights + h.count};
}
std::vector<std::uint32_t> Tags() {
  const SliceHeightsHalf& h = SliceHeightsSource();
  return {h.tags, h.tags + h.count};
}

// A model list whose Edges have these point heights (x, y of no concern here).
void HeightList(EdgeCurveList& list, const std::vector<std::vector<float>>& edges) {
  std::vector<std::vector<CurvePoint>> curves;
  for (const auto& heights : edges) {
    std::vector<CurvePoint> points;
    for (const float h : heights) points.push_back({1, 0, h});
    curves.push_back(points);
  }
  FillList(list, kEdgeCurveListModel, curves);
}

void ExpectAscending() {
  const std::vector<float> h = Heights();
  for (std::size_t i = 1; i < h.size(); ++i) ASSERT_GT(h[i] - h[i - 1], kSliceHeightTolerance);
}

class SceneObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    RenderListReset();
    SceneBuildErrorReset();
    TransformNodeInitUnit(identity_);
  }
  void TearDown() override {
    EdgeCurveListFree(a_);
    EdgeCurveListFree(b_);
    gObjectGeometryLod.range = savedRange_;  // a test may point it at boxes of its own
  }
  EdgeCurveList a_{}, b_{};
  LodRange savedRange_ = gObjectGeometryLod.range;
  TransformNode identity_;
  SceneNode node_{};
};

TEST_F(SceneObjects, AnObjectAddsItsMarginsAndPointHeights) {
  HeightList(a_, {{0, 1, 2}, {0, 0.5f, 2}});
  AddSliceHeights(a_);
  EXPECT_EQ(Heights(), (std::vector<float>{-0.00064f, 0, 0.5f, 1, 2, 2.00064f}));
  EXPECT_EQ(Tags(), (std::vector<std::uint32_t>{1, 0, 0, 0, 0, 1}));
  AddSliceHeights(a_);  // the same heights again change nothing
  EXPECT_EQ(Heights().size(), 6u);
  RenderListReset();
  EXPECT_TRUE(Heights().empty());
}

// Heights closer than 1e-5 are one entry, from both sides; within one Edge the points after
// a height that lie that close are skipped.
TEST_F(SceneObjects, HeightsWithinTheToleranceMerge) {
  const struct {
    float h;
    std::size_t entries;
  } cases[] = {{1.000005f, 6}, {1.0000095f, 6}, {1.000011f, 7}, {0.9999905f, 6}, {0.999989f, 7}};
  for (const auto& c : cases) {
    RenderListReset();
    HeightList(a_, {{0, 1, 2}});
    HeightList(b_, {{0, c.h, 2}});
    AddSliceHeights(a_);
    AddSliceHeights(b_);
    EXPECT_EQ(Heights().size(), c.entries - 1) << c.h;  // the margins of b are a's
    EXPECT_EQ(Heights()[2], c.h < 1 && c.entries == 7 ? c.h : 1.0f);
    ExpectAscending();
  }
  RenderListReset();
  HeightList(a_, {{0.5f, 0.500004f, 0.6f}, {0.7f, 0.700009f, 0.70002f}});
  AddSliceHeights(a_);
  EXPECT_EQ(Heights(), (std::vector<float>{0.5f - 0.00064f, 0.5f, 0.6f, 0.7f, 0.70002f,
                                           0.70002f + 0.00064f}));
}

// A height within the tolerance of the list's last entry is appended (the last entry is never
// a duplicate), and the merge of the rest then drops the old entry: the new one takes its place.
TEST_F(SceneObjects, AHeightNearTheLastEntryTakesItsPlace) {
  HeightList(a_, {{0, 2}});
  HeightList(b_, {{0, 2.000005f}});
  AddSliceHeights(a_);
  AddSliceHeights(b_);
  const std::vector<float> h = Heights();
  ASSERT_EQ(h.size(), 4u);
  EXPECT_EQ(h[3], 2.000005f + 0.00064f);
  std::uint32_t cursor = 0;
  InsertSliceHeight(0, cursor, 0);  // a duplicate inside the list: nothing appended
  EXPECT_EQ(gSliceHeights.halves[gSliceHeights.destination].count, 1u);
  EXPECT_EQ(cursor, 1u);
}

// One Edge with 10000 distinct heights: the halves grow past their first 8192 entries.
TEST_F(SceneObjects, SliceHeightsGrowWithThePass) {
  std::vector<float> heights;
  for (int i = 0; i < 10000; ++i) heights.push_back(0.001f * static_cast<float>(i));
  HeightList(a_, {heights});
  AddSliceHeights(a_);
  EXPECT_EQ(Heights().size(), 10002u);
  ExpectAscending();
  HeightList(b_, {{2.0005f, 20}});
  AddSliceHeights(b_);
  EXPECT_EQ(Heights().size(), 10002u + 4);  // 1.99986, 2.0005, 20, 20.00064
  ExpectAscending();
  const std::vector<std::uint32_t> tags = Tags();
  EXPECT_EQ(std::count(tags.begin(), tags.end(), kSliceTagMargin), 4);
  EXPECT_TRUE(tags.front() == kSliceTagMargin && tags.back() == kSliceTagMargin);
}

// Registration copies the Edges, moves them with the node's matrix 1 unless the node is the
// identity, refines them into the object's entry and fills the scene node.
TEST_F(SceneObjects, RegistrationMovesRefinesAndRecordsTheObject) {
  LodBoxList boxes{{{-100, 100, -100, 100, -100, 100, 1000}}, 1};  // the maximum level
  gObjectGeometryLod.range = LodRange{&boxes, 8, 0, 6, 0.002f};
  FillList(a_, kEdgeCurveListModel, {{{1, 0, -1}, {2, 0, 0}, {1, 0, 1}}, {{-1, 0, -1}, {-1, 0, 1}}});
  RegisterSceneObject(a_, identity_, node_);
  RefineEdgeCurves(a_, kSceneObjectLevels, gObjectGeometryLod, b_);
  const EdgeCurveList& first = gRefinedEdgeLists.lists[0];
  ASSERT_EQ(first.curves[0].count, b_.curves[0].count);
  EXPECT_EQ(std::memcmp(first.curves[0].x, b_.curves[0].x, 4 * b_.curves[0].count), 0);
  EXPECT_EQ(gSceneObjects.lists[0], &a_);
  EXPECT_EQ(a_.curves[0].x[1], 2.0f);  // the model itself is untouched

  // Turned a right angle and raised by 10: the same refinement, moved.
  TransformNode moved = identity_;
  moved.angle = 90;
  moved.translation[2] = 10;
  moved.identity = 0;
  moved.dirty = 1;
  RegisterSceneObject(a_, moved, node_);
  const EdgeCurveList& second = gRefinedEdgeLists.lists[1];
  EXPECT_TRUE(moved.dirty == 0 && moved.matrix[0] == 0 && moved.matrix[1] == 1);
  const float expected[6] = {-first.box[3], -first.box[2], first.box[0],
                             first.box[1],  first.box[4] + 10, first.box[5] + 10};
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(second.box[k], expected[k], 1e-5f) << k;
  EXPECT_TRUE(node_.kind == kSceneNodeObject && node_.objectIndex == 1 && node_.useCount == 0);
  EXPECT_EQ(std::memcmp(&node_.transform, &moved, sizeof moved), 0);
  EXPECT_EQ(gSceneObjects.count, 2u);
  // Both objects share the slice heights: two pairs of margins.
  std::uint32_t margins = 0;
  for (const std::uint32_t tag : Tags()) margins += tag;
  EXPECT_EQ(margins, 4u);

  // A curve set of one row is copied as moved (scaled, then offset) and cut at its own heights.
  const std::size_t before = Heights().size();
  FillList(b_, kEdgeCurveListCurveSet, {{{1, 1, 1}, {2, 0, 3}}});
  TransformNode scaled = identity_;
  scaled.axis[0] = 2, scaled.axis[1] = 3, scaled.axis[2] = 4;
  scaled.translation[0] = 1;
  scaled.identity = 0;
  scaled.dirty = 1;
  RegisterSceneObject(b_, scaled, node_);
  const EdgeCurve& row = gRefinedEdgeLists.lists[2].curves[0];
  EXPECT_EQ(gRefinedEdgeLists.lists[2].kind, kEdgeCurveListCurveSet);
  EXPECT_TRUE(row.x[0] == 3 && row.y[0] == 3 && row.height[0] == 4);
  EXPECT_TRUE(row.x[1] == 5 && row.y[1] == 0 && row.height[1] == 12);
  EXPECT_EQ(Heights().size(), before);
}

// The table's last object and a model of 16 Edges register; one more object, or a 17th Edge,
// sets the build error instead, and once set every later registration does nothing.
TEST_F(SceneObjects, PastTheTablesTheBuildFails) {
  std::vector<std::vector<CurvePoint>> edges(16, std::vector<CurvePoint>{{1, 0, 0}, {1, 0, 1}});
  FillList(a_, kEdgeCurveListModel, edges);
  RegisterSceneObject(a_, identity_, node_);
  EXPECT_FALSE(SceneBuildFailed());
  edges.push_back(edges[0]);
  FillList(b_, kEdgeCurveListModel, edges);
  RegisterSceneObject(b_, gTerrainGeometryLod, identity_, node_);
  EXPECT_TRUE(SceneBuildFailed());
  EXPECT_EQ(std::string(gSceneBuildError.message), kTooManyObjectEdgesMessage);
  EXPECT_EQ(gSceneObjects.count, 1u);

  SceneBuildErrorReset();
  gSceneObjects.count = kSceneObjectMax - 1;
  RegisterSceneObject(a_, identity_, node_);
  EXPECT_FALSE(SceneBuildFailed());
  EXPECT_EQ(node_.objectIndex, kSceneObjectMax - 1);
  RegisterSceneObject(a_, identity_, node_);
  EXPECT_EQ(std::string(gSceneBuildError.message), kTooManySceneObjectsMessage);
  EXPECT_EQ(gSceneObjects.count, kSceneObjectMax);
  RenderListReset();
  RegisterSceneObject(b_, identity_, node_);  // the first message stays
  RegisterSceneObject(a_, identity_, node_);  // and nothing registers any more
  EXPECT_EQ(std::string(gSceneBuildError.message), kTooManySceneObjectsMessage);
  EXPECT_EQ(gSceneObjects.count, 0u);
  EdgeCurveListFree(gRefinedEdgeLists.lists[kSceneObjectMax - 1]);
}

// The five built-in models and a model built through the World, registered as the operands of
// one composition under scaled instance transforms: every refined list is closed at its two
// poles, and all share one ascending SliceHeights that holds every refined point height.
TEST_F(SceneObjects, ModelsComeOutClosedAtTheirPolesOnSharedSliceHeights) {
  World& world = gWorld;
  WorldClearModels(world);
  RegisterBuiltinModels(world);
  EdgeCurveList* hand = WorldAddModel(world, 3, "Bowl");
  ASSERT_NE(hand, nullptr);
  for (std::uint32_t e = 0; e < 3; ++e) {
    const float a = 2.0943951f * static_cast<float>(e);
    test::FillCurve(hand->curves[e], {{std::cos(a), std::sin(a), 0, 0, 0},
                                      {2 * std::cos(a), 2 * std::sin(a), 1, 0, 0},
                                      {2 * std::cos(a), 2 * std::sin(a), 2, 0, 0}});
  }
  ModelCurveMetrics(*hand);
  test::FillSessionRanges(world);
  LodBoxListAdd(world.lod.lists[0], -20, -20, -20, 20, 20, 20, 1);

  SceneNode nodes[6];
  for (std::uint32_t m = 0; m < 6; ++m) {
    TransformNode place = identity_;
    place.axis[2] = 1.5f;  // taller, turned and moved apart
    place.angle = 30.0f * static_cast<float>(m);
    place.translation[0] = 5.0f * static_cast<float>(m);
    place.translation[2] = 0.3f * static_cast<float>(m);
    place.identity = 0;
    place.dirty = 1;
    RegisterSceneObject(world.models[m], place, nodes[m]);
    const EdgeCurveList& r = gRefinedEdgeLists.lists[m];
    SCOPED_TRACE(m);
    ASSERT_EQ(r.count, world.models[m].count);
    EXPECT_EQ(r.kind, kEdgeCurveListModel);
    const EdgeCurve& c0 = r.curves[0];
    for (std::uint32_t e = 1; e < r.count; ++e) {
      const EdgeCurve& c = r.curves[e];
      EXPECT_TRUE(c.x[0] == c0.x[0] && c.y[0] == c0.y[0] && c.height[0] == c0.height[0]);
      const std::uint32_t l = c.count - 1, l0 = c0.count - 1;
      EXPECT_TRUE(c.x[l] == c0.x[l0] && c.y[l] == c0.y[l0] && c.height[l] == c0.height[l0]);
    }
    EXPECT_NEAR(c0.x[0], 5.0f * static_cast<float>(m), 1e-4f);  // on the axis
    EXPECT_GE(c0.height[0], 0.3f * static_cast<float>(m) - 1.5f - 1e-5f);
  }
  EXPECT_EQ(gSceneObjects.count, 6u);
  ExpectAscending();
  const std::vector<float> h = Heights();
  for (std::uint32_t m = 0; m < 6; ++m) {
    const EdgeCurveList& r = gRefinedEdgeLists.lists[m];
    for (std::uint32_t e = 0; e < r.count; ++e) {
      for (std::uint32_t i = 0; i < r.curves[e].count; ++i) {
        const float z = r.curves[e].height[i];
        const bool found = std::any_of(h.begin(), h.end(), [z](float s) {
          return std::fabs(s - z) <= kSliceHeightTolerance;
        });
        ASSERT_TRUE(found) << m << " " << e << " " << i;
      }
    }
  }
}

// Detail falls with the distance to the level-of-detail boxes: the same Sphere far from the
// world's box is refined into fewer points than next to it.
TEST_F(SceneObjects, DetailFollowsTheDistanceToTheBoxes) {
  World& world = gWorld;
  WorldClearModels(world);
  RegisterBuiltinModels(world);
  test::FillSessionRanges(world);
  LodBoxListAdd(world.lod.lists[0], -2, -2, -2, 2, 2, 2, 1);
  std::uint32_t points[2] = {};
  for (std::uint32_t k = 0; k < 2; ++k) {
    TransformNode place = identity_;
    place.translation[0] = k == 0 ? 0.0f : 6000.0f;
    place.identity = 0;
    place.dirty = 1;
    RegisterSceneObject(world.models[world.builtinModels[kBuiltinSphere]], place, node_);
    for (std::uint32_t e = 0; e < 4; ++e) points[k] += gRefinedEdgeLists.lists[k].curves[e].count;
  }
  EXPECT_GT(points[0], points[1]);
}

}  // namespace
}  // namespace veskor
