#include "geometry/height_maps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "geometry/scene_build_error.h"
#include "geometry_test_support.h"
#include "language/height_field.h"

namespace veskor {
namespace {

using Values = std::vector<float>;

// 5 x 5 heights over x, y in [0, 4] and heights [0, 10]: grid point (i, j) lies at (i, j).
constexpr float kA[6] = {0, 0, 0, 4, 10, 4};

class HeightMaps : public ::testing::Test {
 protected:
  void SetUp() override {
    WorldClearModels(gWorld);
    SceneHeightMapsReset();
    SceneBuildErrorReset();
  }
  void TearDown() override {
    VertexGridRelease(a_.grid);
    VertexGridRelease(b_.grid);
    WorldClearModels(gWorld);
  }
  static void Fill(HeightFieldRecord& map, const float* box, std::uint32_t level,
                   const std::function<float(std::uint32_t, std::uint32_t)>& value) {
    HeightFieldSetup(map, level, box[0], box[1], box[2], box[3], box[4], box[5]);
    const std::uint32_t side = (1u << level) + 1;
    for (std::uint32_t j = 0; j < side; ++j)
      for (std::uint32_t i = 0; i < side; ++i) map.grid.data[j * side + i] = value(i, j);
  }
  // Row j of A.
  Values Row(std::uint32_t row) const {
    return Values(a_.grid.data + 5 * row, a_.grid.data + 5 * row + 5);
  }
  test::ScopedKernels kernels_{false};
  HeightFieldRecord a_{}, b_{};
};

// B's height rises with x from 0 at its left side to 10 at its right; A is flat.
TEST_F(HeightMaps, GridOpCombinesOverTheOverlapAsWorkedOutByHand) {
  struct Case {
    const char* name;
    float b[6];
    HeightGridMember member;
    float a;        // A's flat value
    Values row;     // every row of A afterwards
  };
  const Case cases[] = {
      // Overlap x 2..4: A columns 2, 3, 4 meet B at u 0, 0.25, 0.5 (heights 0, 2.5, 5).
      {"overlap min", {2, 0, 0, 6, 10, 4}, kHeightGridMin, 0.5f, {0.5f, 0.5f, 0, 0.25f, 0.5f}},
      {"overlap max", {2, 0, 0, 6, 10, 4}, kHeightGridMax, 0.1f, {0.1f, 0.1f, 0.1f, 0.25f, 0.5f}},
      // Touching at x 4: the shared column takes B's left side.
      {"touching", {4, 0, 0, 8, 10, 4}, kHeightGridMin, 0.5f, {0.5f, 0.5f, 0.5f, 0.5f, 0}},
      {"disjoint", {4.001f, 0, 0, 8, 10, 4}, kHeightGridMin, 0.5f, {0.5f, 0.5f, 0.5f, 0.5f, 0.5f}},
      // B lifted by 2: heights 2 to 12 over A's whole width.
      {"offset heights", {0, 2, 0, 4, 12, 4}, kHeightGridMin, 0.5f, {0.2f, 0.45f, 0.5f, 0.5f, 0.5f}},
  };
  for (const Case& c : cases) {
    Fill(a_, kA, 2, [&](std::uint32_t, std::uint32_t) { return c.a; });
    Fill(b_, c.b, 2, [](std::uint32_t i, std::uint32_t) { return i / 4.0f; });
    HeightGridOp(a_, b_, c.member);
    for (std::uint32_t j = 0; j < 5; ++j) {
      const Values row = Row(j);
      for (std::uint32_t i = 0; i < 5; ++i) EXPECT_NEAR(row[i], c.row[i], 1e-6f) << c.name << i;
    }
  }
}

TEST_F(HeightMaps, EqualHeightsLeaveTheDestinationUnchangedInBothMembers) {
  for (HeightGridMember member : {kHeightGridMin, kHeightGridMax}) {
    Fill(a_, kA, 2, [](std::uint32_t i, std::uint32_t j) { return 0.1f * i + 0.03f * j; });
    Fill(b_, kA, 2, [](std::uint32_t i, std::uint32_t j) { return 0.1f * i + 0.03f * j; });
    const Values before(a_.grid.data, a_.grid.data + 25);
    HeightGridOp(a_, b_, member);
    EXPECT_EQ(Values(a_.grid.data, a_.grid.data + 25), before);
  }
}

// A flat destination, B without width or depth, boxes that are not numbers: A stays, no NaN.
TEST_F(HeightMaps, DegenerateBoxesLeaveTheDestinationUnchanged) {
  const float nan = std::nanf("");
  struct Case {
    float a[6], b[6];
  };
  const Case cases[] = {
      {{0, 5, 0, 4, 5, 4}, {0, 0, 0, 4, 10, 4}},    // A without height range
      {{0, 0, 0, 4, 10, 4}, {2, 0, 0, 2, 10, 4}},   // B without width
      {{0, 0, 0, 4, 10, 4}, {0, 0, 3, 4, 10, 3}},   // B without depth
      {{0, 0, 0, 0, 10, 4}, {0, 0, 0, 4, 10, 4}},   // A without width
      {{0, 0, 0, 4, 10, 4}, {0, nan, 0, 4, 10, 4}}, // B's heights not a number
  };
  for (const Case& c : cases) {
    Fill(a_, c.a, 2, [](std::uint32_t, std::uint32_t) { return 0.5f; });
    Fill(b_, c.b, 2, [](std::uint32_t, std::uint32_t) { return 0.0f; });
    HeightGridOp(a_, b_, kHeightGridMin);
    for (std::uint32_t k = 0; k < 25; ++k) ASSERT_EQ(a_.grid.data[k], 0.5f) << k;
  }
}

// B (unit square, heights 0..10 rising with x) scaled by 2 along x and moved 2 along x: its
// box is x 2..4, y 0..1. A's columns 2, 3, 4 of rows 0 and 1 meet heights 0, 5, 10.
TEST_F(HeightMaps, TransformedOperandIsPlacedByTheMatrixAndKeepsItsBox) {
  Fill(a_, kA, 2, [](std::uint32_t, std::uint32_t) { return 0.5f; });
  const float unit[6] = {0, 0, 0, 1, 10, 1};
  Fill(b_, unit, 2, [](std::uint32_t i, std::uint32_t) { return i / 4.0f; });
  b_.grid.scaleX = 1.0f;
  float m[16] = {2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 2, 0, 0, 1};
  const HeightFieldRecord saved = b_;
  HeightGridOpTransformed(a_, b_, m, kHeightGridMin);
  for (std::uint32_t j = 0; j < 5; ++j) {
    const Values expected = j <= 1 ? Values{0.5f, 0.5f, 0, 0.5f, 0.5f} : Values(5, 0.5f);
    EXPECT_EQ(Row(j), expected) << j;
  }
  for (int k = 0; k < 6; ++k) EXPECT_EQ(b_.box[k], saved.box[k]);
  EXPECT_EQ(b_.cellSizeX, saved.cellSizeX);
  EXPECT_EQ(b_.heightSpan, saved.heightSpan);
  // A zero scale leaves B without width: A stays, B too.
  m[0] = 0;
  const Values before(a_.grid.data, a_.grid.data + 25);
  HeightGridOpTransformed(a_, b_, m, kHeightGridMax);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(b_.box[k], saved.box[k]);
  EXPECT_EQ(Values(a_.grid.data, a_.grid.data + 25), before);
}

// A mirroring scale keeps each axis of the box ordered and the steps positive.
TEST_F(HeightMaps, TransformBoxKeepsEachAxisOrdered) {
  Fill(a_, kA, 2, [](std::uint32_t, std::uint32_t) { return 0.5f; });
  const float m[16] = {-1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 1, 3, 5, 1};
  HeightMapTransformBox(a_, m);
  const float expected[6] = {-3, 3, 5, 1, 23, 9};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(a_.box[k], expected[k]) << k;
  EXPECT_EQ(a_.cellSizeX, 1.0f);
  EXPECT_EQ(a_.heightSpan, -20.0f);
  EXPECT_EQ(a_.cellSizeY, 1.0f);
  // Mirrored about x = 0.5, A reaches from x -3 to 1: over B's columns 0 and 1 only.
  Fill(a_, kA, 2, [](std::uint32_t, std::uint32_t) { return 0.5f; });
  Fill(b_, kA, 2, [](std::uint32_t, std::uint32_t) { return 0.0f; });
  const float mirror[16] = {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1};
  HeightGridOpTransformed(b_, a_, mirror, kHeightGridMax);
  EXPECT_EQ(Values(b_.grid.data, b_.grid.data + 5), (Values{0.5f, 0.5f, 0, 0, 0}));
}

TEST_F(HeightMaps, CloneCopiesTheMapWithoutWaterAndReusesAClonesStorage) {
  gWorld.heightFieldCount = 2;
  Fill(gWorld.heightFields[1], kA, 2, [](std::uint32_t i, std::uint32_t j) { return i + 10.0f * j; });
  gWorld.heightFields[1].waterPlaneCount = 1;
  const std::uint32_t first = HeightMapClone(gWorld, 1);
  ASSERT_EQ(first, 2u);
  const HeightFieldRecord& c = *HeightMapAt(gWorld, first);
  EXPECT_EQ(c.waterPlaneCount, 0u);
  EXPECT_EQ(c.box[4], 10.0f);
  EXPECT_EQ(c.grid.data[23], 43.0f);
  const float* storage = c.grid.data;
  EXPECT_EQ(HeightMapClone(gWorld, 1), 3u);
  EXPECT_EQ(HeightMapAt(gWorld, 4), nullptr);
  SceneHeightMapsReset();  // the next build: the first record's block serves again
  EXPECT_EQ(HeightMapClone(gWorld, 1), 2u);
  EXPECT_EQ(HeightMapAt(gWorld, 2)->grid.data, storage);
  EXPECT_FALSE(SceneBuildFailed());
  // Past the maps there is nothing to clone; a World map without a grid cannot be cloned.
  EXPECT_EQ(HeightMapClone(gWorld, 3), kNoHeightMap);
  EXPECT_STREQ(gSceneBuildError.message, kBadHeightMapMessage);
  SceneBuildErrorReset();
  EXPECT_EQ(HeightMapClone(gWorld, 0), kNoHeightMap);
  EXPECT_TRUE(SceneBuildFailed());
  VertexGridRelease(gWorld.heightFields[1].grid);
}

// Water planes follow the map through a composition transform of offset (x 4, y 5, height 6),
// stored in the height field's order (4, 6, 5); the World's plane stays as it was.
TEST_F(HeightMaps, PrepareCopiesWaterPlanesThroughTheTransform) {
  World& w = gWorld;
  w.heightFieldCount = 1;
  Fill(w.heightFields[0], kA, 2, [](std::uint32_t, std::uint32_t) { return 0.0f; });
  w.waterPlaneCount = 1;
  w.waterPlanes[0] = {-1, -2, 3, 5, 6, 0.5f, {0.1f, 0.2f, 0.3f}, {0.4f, 0.6f}};
  w.heightFields[0].waterPlanes[0] = 0;
  w.heightFields[0].waterPlaneCount = 1;
  w.compositionTransformCount = 1;
  TransformNode& t = w.compositionTransforms[0];
  TransformNodeInitUnit(t);
  t.translation[0] = 4, t.translation[1] = 6, t.translation[2] = 5;
  t.identity = 0, t.dirty = 1;
  const std::uint32_t c = HeightMapClone(w, 0);
  HeightMapPrepare(w, c, 0, 0);
  HeightMapPrepare(w, c, 0, kNoTransform);
  ASSERT_FALSE(SceneBuildFailed()) << gSceneBuildError.message;
  const HeightFieldRecord& m = *HeightMapAt(w, c);
  ASSERT_EQ(m.waterPlaneCount, 2u);
  const WaterPlane& moved = *WaterPlaneAt(w, m.waterPlanes[0]);
  EXPECT_EQ(m.waterPlanes[0], 1u);
  const float corners[5] = {moved.x0, moved.y0, moved.altitude, moved.x1, moved.y1};
  const float expected[5] = {3, 3, 9, 9, 11};
  for (int k = 0; k < 5; ++k) EXPECT_FLOAT_EQ(corners[k], expected[k]) << k;
  EXPECT_EQ(moved.opacity[1], 0.6f);
  EXPECT_EQ(WaterPlaneAt(w, m.waterPlanes[1])->x0, -1.0f);
  EXPECT_EQ(w.waterPlanes[0].x0, -1.0f);
  EXPECT_EQ(WaterPlaneAt(w, 3), nullptr);
  // A transform past the table.
  HeightMapPrepare(w, c, 0, 1);
  EXPECT_STREQ(gSceneBuildError.message, kBadTransformMessage);
}

// The same map as destination and source doubles its list from a copy of it; 32 planes a map.
TEST_F(HeightMaps, PrepareIntoItselfAndTheLimitOfWaterPlanes) {
  World& w = gWorld;
  w.heightFieldCount = 1;
  Fill(w.heightFields[0], kA, 2, [](std::uint32_t, std::uint32_t) { return 0.0f; });
  w.waterPlaneCount = 1;
  w.heightFields[0].waterPlanes[0] = 0;
  w.heightFields[0].waterPlaneCount = 1;
  const std::uint32_t c = HeightMapClone(w, 0);
  HeightFieldRecord& m = *HeightMapAt(w, c);
  HeightMapPrepare(w, c, 0, kNoTransform);
  for (std::uint32_t expected : {2u, 4u, 8u, 16u, 32u}) {
    HeightMapPrepare(w, c, c, kNoTransform);
    ASSERT_FALSE(SceneBuildFailed()) << expected;
    EXPECT_EQ(m.waterPlaneCount, expected);
  }
  EXPECT_EQ(m.waterPlanes[31], 32u);  // planes 1 .. 32 of the build after the World's one
  HeightMapPrepare(w, c, 0, kNoTransform);  // 33
  EXPECT_STREQ(gSceneBuildError.message, kTooManyMapWaterPlanesMessage);
  EXPECT_EQ(m.waterPlaneCount, 32u);
  SceneBuildErrorReset();
  m.waterPlaneCount = 31;
  HeightMapPrepare(w, c, 0, kNoTransform);  // 32
  EXPECT_FALSE(SceneBuildFailed());
  w.heightFields[0].waterPlanes[0] = 1000;  // a plane nobody has
  HeightMapPrepare(w, 0, 0, kNoTransform);
  EXPECT_STREQ(gSceneBuildError.message, kBadWaterPlaneMessage);
  VertexGridRelease(w.heightFields[0].grid);
}

}  // namespace
}  // namespace veskor
