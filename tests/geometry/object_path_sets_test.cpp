#include "geometry/object_path_sets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "geometry/cross_section.h"
#include "geometry/path_set_mesh.h"
#include "geometry/scene_build_error.h"
#include "geometry/slice_heights.h"
#include "geometry/slice_table.h"
#include "geometry/sweep_path_construction.h"
#include "geometry_test_support.h"

namespace veskor {
namespace {

using test::CurvePoint;
using test::FillList;

// Edges of (x, y, height) points, every point of sharpness `sharpness` across the cut.
std::vector<CurvePoint> Column(float x, float y, const std::vector<float>& heights,
                               float sharpness = 0) {
  std::vector<CurvePoint> points;
  for (const float h : heights) points.push_back({x, y, h, 0, sharpness});
  return points;
}

class ObjectPathSets : public ::testing::Test {
 protected:
  void SetUp() override {
    SceneBuildErrorReset();
    RenderListReset();
    ObjectPathSetsReset();
    TransformNodeInitUnit(identity_);
    gObjectGeometryLod.range = LodRange{&boxes_, 8, 0, 6, 0.002f};
  }
  void TearDown() override {
    gObjectGeometryLod.range = savedRange_;
    EdgeCurveListFree(list_);
    SliceTableRelease(table_);
    PathSetFree(set_);
    for (std::uint32_t k = 0; k < 8; ++k) PathSetFree(gObjectPathSets.sets[k]);
    ObjectPathSetsReset();
    SceneBuildErrorReset();
  }
  // The model's shared heights with their tags, cut through a table of its own Edges.
  void CutShared(const std::vector<float>& heights, const std::vector<std::uint32_t>& tags) {
    ASSERT_EQ(SliceTableFill(table_, list_), 1u);
    BuildSweepPaths(list_, heights.data(), tags.data(), static_cast<std::uint32_t>(heights.size()),
                    &table_, set_, 3.0f);
  }
  // A curve set of these Edges cut at its own heights.
  void CutOwn(const std::vector<std::vector<CurvePoint>>& edges) {
    FillList(list_, kEdgeCurveListCurveSet, edges);
    BuildSweepPaths(list_, nullptr, nullptr, 0, nullptr, set_, 0);
  }
  std::vector<std::uint32_t> Kinds() {
    std::vector<std::uint32_t> kinds;
    for (std::uint32_t k = 0; k < set_.count; ++k) kinds.push_back(SectionKind(set_.paths[k]));
    return kinds;
  }
  LodBoxList boxes_{};
  LodRange savedRange_ = gObjectGeometryLod.range;
  TransformNode identity_;
  EdgeCurveList list_{};
  SliceTable table_{};
  PathSet set_{};
};

TEST_F(ObjectPathSets, SnapToStepRoundsHalvesDownAndNegativesTowardZero) {
  const struct {
    float value, step, snapped;
  } cases[] = {{0.1f, 0.06f, 0.12f},          {-0.1f, 0.06f, -0.06f},
               {0.04f, 0.06f, 0.06f},         {0.09375f, 0.0625f, 0.0625f},
               {0.0938f, 0.0625f, 0.125f},    {-0.09375f, 0.0625f, -0.0625f},
               {-0.0938f, 0.0625f, -0.0625f}, {0, 0.06f, 0}};
  for (const auto& c : cases) EXPECT_FLOAT_EQ(SnapToStep(c.value, c.step), c.snapped) << c.value;
}

// A model from 1 to 2 at the shared heights: the margins fall outside, the first ring is kind
// 1 and the last kind 4; between them kind 2 where an Edge has a point or the height is a
// margin (tag 1), kind 3 where only another object's point is (tag 0).
TEST_F(ObjectPathSets, SharedHeightsGiveCappedAndLeftOutRings) {
  FillList(list_, kEdgeCurveListModel,
           {Column(-1, -1, {1, 1.5f, 2}),
            Column(1, -1, {1, 2}),
            {{1, 1, 1}, {2, 1, 1.500005f}, {1, 1, 2}},
            Column(-1, 1, {1, 2})});
  CutShared({0.99936f, 1, 1.25f, 1.5f, 1.75f, 2, 2.00064f}, {1, 0, 0, 0, 1, 0, 1});
  EXPECT_EQ(set_.firstIndex, 1u);
  EXPECT_EQ(set_.kind, kPathSetClosed);
  EXPECT_EQ(Kinds(), (std::vector<std::uint32_t>{1, 3, 2, 2, 4}));
  EXPECT_TRUE(set_.minX == -1 && set_.maxX == 2 && set_.minZ == 1 && set_.maxZ == 2);
  const float heights[5] = {1, 1.25f, 1.5f, 1.75f, 2};
  for (std::uint32_t k = 0; k < 5; ++k) {
    const SweepPath& ring = set_.paths[k];
    EXPECT_EQ(ring.height, heights[k]);
    EXPECT_EQ(ProfileV(ring), heights[k] - 1);  // normalised from 1 to 2
    EXPECT_EQ(ProfileVCapped(ring), heights[k] - 1);
    EXPECT_EQ(ReferenceValue(ring), 3.0f);
    ASSERT_EQ(ring.count, 4u);  // no box: no refinement
    EXPECT_EQ(ring.edgeValue[0], 3.0f);
  }
  // Edge 2's point 1e-5 above 1.5 is taken as it is, not interpolated toward it.
  EXPECT_EQ(set_.paths[2].x[2], 2.0f);

  // A single height, and heights that never reach the object.
  CutShared({1.5f}, {0});
  EXPECT_EQ(Kinds(), (std::vector<std::uint32_t>{4}));
  for (const std::vector<float>& outside : {std::vector<float>{3, 4}, {-3, -2}, {}}) {
    CutShared(outside, std::vector<std::uint32_t>(outside.size(), 0));
    EXPECT_EQ(set_.count, 0u);
  }
}

// A curve set cut at its own heights: open rows from each Edge's point 1 to Edge 0's last but
// one point, the inner Edges spanning the parameters 0 to 1, the seam marks of Edges 1 and
// E - 2, the first and last rows snapped to 0.06. Sharp points keep the rows as cut.
TEST_F(ObjectPathSets, ACurveSetIsCutAtItsOwnHeights) {
  CutOwn({Column(0.1f, 0, {-1, 0, 0.5f, 1, 2}, 31), Column(1, 0.1f, {-1, 0, 0.25f, 0.5f, 1, 2}, 31),
          Column(2, 0, {-1, 0, 0.5f}, 31), Column(3, 0, {-1, 0, 0.5f, 0.75f, 1, 2}, 31),
          Column(4, 0, {-1, 0, 0.5f, 1, 2}, 31)});
  EXPECT_EQ(set_.kind, kPathSetOpen);
  EXPECT_EQ(set_.firstIndex, 0u);
  const std::uint32_t seams = kSectionLeftSeam | kSectionRightSeam;
  EXPECT_EQ(Kinds(), (std::vector<std::uint32_t>{2 | seams, 2 | kSectionLeftSeam, 2 | seams,
                                                 2 | kSectionRightSeam, 2 | seams}));
  const float heights[5] = {0, 0.25f, 0.5f, 0.75f, SnapToStep(1, kSweepSnapStep)};
  const float params[5] = {-0.5f, 0, 0.5f, 1, 1.5f};
  for (std::uint32_t r = 0; r < set_.count; ++r) {
    const SweepPath& row = set_.paths[r];
    ASSERT_EQ(row.count, 5u);
    EXPECT_EQ(row.height, heights[r]);
    EXPECT_EQ(ProfileV(row), r == 4 ? 1.0f : heights[r]);  // from the height before snapping
    const bool snapped = r == 0 || r == 4;
    EXPECT_EQ(row.x[0], snapped ? 0.12f : 0.1f) << r;
    EXPECT_EQ(row.y[1], snapped ? 0.12f : 0.1f) << r;
    for (std::uint32_t e = 0; e < 5; ++e) EXPECT_EQ(HalfToFloat(row.packedT[e]), params[e]);
  }
  // Edge 2 stopped at its last point (0.5) and stays there in the rows above.
  EXPECT_EQ(set_.paths[3].x[2], 2.0f);

  // A row exactly at the bound (Edge 0's last but one height less 0.0005) is not the last.
  for (const float h : {0.9995f, 0.99951f}) {
    CutOwn({Column(0, 0, {-1, 0, 1, 2}), Column(1, 0, {-1, 0, h, 1, 2}),
            Column(2, 0, {-1, 0, 1, 2}), Column(3, 0, {-1, 0, 1, 2})});
    EXPECT_EQ(set_.count, h == 0.9995f ? 3u : 2u) << h;
  }

  // Far from the origin h + 0.0005 is h: Edges at the same height still move on together.
  const std::vector<float> far = {-1, 1e6f, 1e6f + 1, 1e6f + 2, 1e6f + 3};
  CutOwn({Column(0, 0, far), Column(1, 0, far), Column(2, 0, far), Column(3, 0, far)});
  EXPECT_EQ(set_.count, 3u);
  // An infinite height less itself is NaN, no tolerance: the Edge that gives the next height
  // moves on all the same: row 0, then cuts at -inf, 1 and 2.
  const float inf = INFINITY;
  CutOwn({Column(0, 0, {-1, -inf, -inf, 1, 2, 3}), Column(1, 0, {-1, -inf, 1, 2, 3}),
          Column(2, 0, {-1, -inf, 1, 2, 3}), Column(3, 0, {-1, -inf, 1, 2, 3})});
  EXPECT_EQ(set_.count, 4u);

  // Fewer than 4 Edges give no row; Edge 0's first and last inner heights coinciding give
  // normalised heights of 0.
  CutOwn({Column(0, 0, {-1, 0, 1}), Column(1, 0, {-1, 0, 1}), Column(2, 0, {-1, 0, 1})});
  EXPECT_EQ(set_.count, 0u);
  CutOwn({Column(0, 0, {-1, 0, 1}), Column(1, 0, {-1, 0, 0.5f, 1}), Column(2, 0, {-1, 0, 1}),
          Column(3, 0, {-1, 0, 1})});
  ASSERT_EQ(set_.count, 2u);
  for (std::uint32_t r = 0; r < 2; ++r) EXPECT_EQ(ProfileV(set_.paths[r]), 0.0f);
}

// A tall curve set has more rows than a first table holds.
TEST_F(ObjectPathSets, OwnHeightRowsGrowWithTheSet) {
  std::vector<float> many = {-1};
  for (int i = 0; i <= 1500; ++i) many.push_back(static_cast<float>(i) / 1500);
  many.push_back(2);
  CutOwn({Column(0, 0, {-1, 0, 1, 2}, 31), Column(1, 0, many, 31), Column(2, 0, {-1, 0, 1, 2}, 31),
          Column(3, 0, {-1, 0, 1, 2}, 31)});
  ASSERT_EQ(set_.count, 1501u);
  for (std::uint32_t r = 1; r + 1 < set_.count; ++r) {
    ASSERT_GT(set_.paths[r].height, set_.paths[r - 1].height);
  }
}

// A node is built once into one object set and one entry; a second use keeps it until the
// last release; a curve set takes no slice table; past the tables the build fails.
TEST_F(ObjectPathSets, NodesAreBuiltOnceAndFreedAtTheirLastUse) {
  World& world = gWorld;
  WorldClearModels(world);
  RegisterBuiltinModels(world);
  SceneNode cube{}, sheet{}, unused{};
  RegisterSceneObject(world.models[world.builtinModels[kBuiltinCube]], identity_, cube);
  FillList(list_, kEdgeCurveListCurveSet,
           {Column(0, 0, {-1, 0, 1, 2}), Column(1, 0, {-1, 0, 1, 2}), Column(2, 0, {-1, 0, 1, 2}),
            Column(3, 0, {-1, 0, 1, 2})});
  RegisterSceneObject(list_, identity_, sheet);
  RegisterSceneObject(list_, identity_, unused);
  cube.useCount = 2;
  sheet.useCount = 1;
  BuildSliceTable(nullptr);
  BuildSliceTable(&unused);  // no use
  BuildSliceTable(&cube);
  EXPECT_TRUE(cube.firstRef == 0 && cube.refCount == 1);
  EXPECT_EQ(gSliceTableCount, 1u);
  EXPECT_EQ(gRefinedEdgeLists.lists[cube.objectIndex].count, 0u);  // freed
  EXPECT_EQ(gSliceTables.tables[0].slices.count, 0u);              // released
  const PathSet& cubeSet = gObjectPathSets.sets[gPathSetRefs[0]];
  EXPECT_GT(cubeSet.count, 1u);
  BuildSliceTable(&cube);  // built already
  BuildSliceTable(&sheet);
  EXPECT_TRUE(sheet.firstRef == 1 && sheet.refCount == 1 && gPathSetRefs[1] == 1);
  EXPECT_EQ(gObjectPathSets.sets[1].kind, kPathSetOpen);
  EXPECT_EQ(gSliceTableCount, 1u);
  EXPECT_EQ(gObjectPathSetCount, 2u);
  EXPECT_EQ(PathSetRefCount(), 2u);

  ReleaseObjectPathSets(&cube);
  EXPECT_EQ(cube.useCount, 1u);
  EXPECT_GT(cubeSet.count, 1u);
  ReleaseObjectPathSets(&cube);
  EXPECT_TRUE(cube.refCount == 0 && cube.firstRef == 0 && cube.useCount == 0);
  EXPECT_TRUE(cubeSet.count == 0 && cubeSet.capacity == 0);
  ReleaseObjectPathSets(&cube);  // nothing left to drop
  ReleaseObjectPathSets(nullptr);
  EXPECT_EQ(gObjectPathSets.sets[1].count, 2u);

  unused.useCount = 1;
  gObjectPathSetCount = kPathSetTableSize;
  BuildSliceTable(&unused);
  EXPECT_EQ(std::string(gSceneBuildError.message), kTooManyObjectPathSetsMessage);
  EXPECT_EQ(unused.refCount, 0u);
  SceneBuildErrorReset();
  gObjectPathSetCount = 2;
  gSliceTableCount = kSliceTableMax;
  SceneNode sphere{};
  RegisterSceneObject(world.models[world.builtinModels[kBuiltinSphere]], identity_, sphere);
  sphere.useCount = 1;
  BuildSliceTable(&sphere);
  EXPECT_EQ(std::string(gSceneBuildError.message), kTooManySliceTablesMessage);
  BuildSliceTable(&unused);  // after a failure nothing is built
  EXPECT_EQ(unused.refCount, 0u);
}

// The built-in models and a model of the World's own, composed in one pass near a box of
// detail, and a curve set: every object set has its rings from kind 1 to kind 4 (kind 3 where
// only other objects have points), rising heights, smooth rings refined by the level of detail;
// each set measures and meshes without NaN and with every index inside its vertices.
TEST_F(ObjectPathSets, ModelsAndCurveSetsBecomeMeshes) {
  World& world = gWorld;
  WorldClearModels(world);
  RegisterBuiltinModels(world);
  EdgeCurveList* vase = WorldAddModel(world, 6, "Vase");
  ASSERT_NE(vase, nullptr);
  for (std::uint32_t e = 0; e < 6; ++e) {
    const float a = 1.0471976f * static_cast<float>(e);
    std::vector<CurvePoint> points;
    for (std::uint32_t i = 0; i < 5; ++i) {
      const float r = 1 + 0.3f * static_cast<float>(i % 2);
      points.push_back({r * std::cos(a), r * std::sin(a), 0.4f * static_cast<float>(i) - 0.8f, 0,
                        i == 2 ? 31.0f : 0.0f});
    }
    test::FillCurve(vase->curves[e], points);
  }
  ModelCurveMetrics(*vase);
  test::FillSessionRanges(world);
  LodBoxListAdd(world.lod.lists[0], -20, -20, -20, 20, 20, 20, 1);
  gObjectGeometryLod.range.list = &world.lod.lists[0];

  SceneNode nodes[7];
  for (std::uint32_t m = 0; m < 6; ++m) {
    TransformNode place = identity_;
    place.translation[0] = 4.0f * static_cast<float>(m);
    place.translation[2] = 0.1f * static_cast<float>(m);
    place.identity = 0;
    place.dirty = 1;
    RegisterSceneObject(world.models[m], place, nodes[m]);
  }
  FillList(list_, kEdgeCurveListCurveSet,
           {Column(0, 0, {-1, 0, 1, 2}), Column(1, 0.3f, {-1, 0, 0.5f, 1, 2}),
            Column(2, -0.2f, {-1, 0, 1, 2}), Column(3, 0.1f, {-1, 0, 0.7f, 1, 2}),
            Column(4, 0, {-1, 0, 1, 2})});
  RegisterSceneObject(list_, identity_, nodes[6]);
  std::set<std::uint32_t> kinds;
  ItemMeshBuilder builder;
  MeshBuilderInit(builder);
  for (std::uint32_t m = 0; m < 7; ++m) {
    nodes[m].useCount = 1;
    BuildSliceTable(&nodes[m]);
    ASSERT_FALSE(SceneBuildFailed()) << gSceneBuildError.message;
    PathSet& s = gObjectPathSets.sets[gPathSetRefs[nodes[m].firstRef]];
    SCOPED_TRACE(m);
    ASSERT_GE(s.count, 2u);
    const bool open = m == 6;
    EXPECT_EQ(s.kind, open ? kPathSetOpen : kPathSetClosed);
    if (!open) {
      EXPECT_EQ(SectionKind(s.paths[0]), kSectionCappedBottom);
      EXPECT_EQ(SectionKind(s.paths[s.count - 1]), kSectionCappedTop);
    }
    std::uint32_t most = 0;
    for (std::uint32_t k = 0; k < s.count; ++k) {
      const SweepPath& ring = s.paths[k];
      kinds.insert(SectionKind(ring));
      most = std::max(most, ring.count);
      if (k > 0) {
        EXPECT_GT(ring.height, s.paths[k - 1].height);
      }
      for (std::uint32_t j = 0; j < ring.count; ++j) {
        ASSERT_TRUE(std::isfinite(ring.x[j]) && std::isfinite(ring.y[j]));
      }
    }
    // Refined near the box: smooth rings until their points turn flat; the Cube's and the
    // Pyramid's sharp corners keep their rings square.
    if (m == 1 || m == 3) {
      EXPECT_EQ(most, 4u);
    } else {
      EXPECT_GE(most, open ? 6u : 16u);
    }
    PathSetMeasure(s);
    PathSetNormalise(s);
    PathSetBuildMesh(s, gObjectGeometryLod.range, builder);
    ASSERT_GT(builder.triangleCount, 0u);
    for (std::uint32_t i = 0; i < 3 * builder.triangleCount; ++i) {
      ASSERT_LT(builder.indices[i], builder.vertexCount);
    }
    for (std::uint32_t v = 0; v < 3 * builder.vertexCount; ++v) {
      ASSERT_TRUE(std::isfinite(builder.positions[v]));
    }
  }
  MeshBuilderRelease(builder);
  for (const std::uint32_t kind : {1u, 2u, 3u, 4u}) EXPECT_EQ(kinds.count(kind), 1u) << kind;
  EXPECT_EQ(kinds.count(2 | kSectionLeftSeam | kSectionRightSeam), 1u);
  for (std::uint32_t m = 0; m < 7; ++m) ReleaseObjectPathSets(&nodes[m]);
}

// Models whose Edges start anywhere and do not rise get what the steps give: a set whose
// rings are finite, or the build error of a table past its limits; never a crash.
TEST_F(ObjectPathSets, DisorderedModelsStayInsideTheirArrays) {
  std::mt19937 random(29);
  std::uniform_real_distribution<float> unit(-1, 1);
  for (int round = 0; round < 60; ++round) {
    RenderListReset();
    ObjectPathSetsReset();
    SceneBuildErrorReset();
    std::vector<std::vector<CurvePoint>> edges(1 + random() % 16);
    for (auto& edge : edges) {
      // Heights rising on the whole but not point by point; now and then an Edge without points.
      const std::uint32_t first = random() % 8 == 0 ? 6 : random() % 4;
      for (std::uint32_t i = first; i < 6; ++i) {
        edge.push_back({2 * unit(random), 2 * unit(random),
                        0.3f * static_cast<float>(i) + 0.4f * unit(random), 0, 2 * unit(random)});
      }
    }
    FillList(list_, round % 3 == 0 ? kEdgeCurveListCurveSet : kEdgeCurveListModel, edges);
    SceneNode node{};
    RegisterSceneObject(list_, identity_, node);
    node.useCount = 1;
    BuildSliceTable(&node);
    if (SceneBuildFailed() || node.refCount == 0) continue;
    const PathSet& s = gObjectPathSets.sets[0];
    for (std::uint32_t k = 0; k < s.count; ++k) {
      for (std::uint32_t j = 0; j < s.paths[k].count; ++j) {
        ASSERT_TRUE(std::isfinite(s.paths[k].x[j]) && std::isfinite(s.paths[k].y[j])) << round;
      }
    }
    ReleaseObjectPathSets(&node);
  }
}

}  // namespace
}  // namespace veskor
