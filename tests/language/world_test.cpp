#include "language/world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "language/fx_registry.h"

namespace veskor {
namespace {

// One Edge of a built-in model: bottom (x, y), top (x, y), fourth and fifth components.
struct Edge {
  float x0, y0, x1, y1, fourth, fifth;
};

std::vector<Edge> ExpectedEdges(float c, bool apex, float fourth, float fifth) {
  const float corners[4][2] = {{-c, -c}, {c, -c}, {c, c}, {-c, c}};
  std::vector<Edge> edges;
  for (const auto& p : corners) {
    edges.push_back({p[0], p[1], apex ? 0 : p[0], apex ? 0 : p[1], fourth, fifth});
  }
  return edges;
}

void ExpectModel(const World& w, std::uint32_t index, const std::vector<Edge>& edges) {
  const EdgeCurveList& list = w.models[index];
  ASSERT_EQ(list.count, 4u);
  EXPECT_EQ(list.kind, kEdgeCurveListModel);
  for (std::uint32_t e = 0; e < 4; ++e) {
    const EdgeCurve& c = list.curves[e];
    ASSERT_EQ(c.count, 2u);
    const Edge& x = edges[e];
    for (std::uint32_t p = 0; p < 2; ++p) {
      SCOPED_TRACE("model " + std::to_string(index) + " edge " + std::to_string(e));
      EXPECT_EQ(c.x[p], p == 0 ? x.x0 : x.x1);
      EXPECT_EQ(c.y[p], p == 0 ? x.y0 : x.y1);
      EXPECT_EQ(c.height[p], p == 0 ? -1.0f : 1.0f);
      EXPECT_EQ(c.edgeSharpness[p], x.fourth);
      EXPECT_EQ(c.sectionSharpness[p], x.fifth);
      EXPECT_EQ(c.param[p], static_cast<float>(p));
      EXPECT_EQ(c.levels[p], 28.0f);
      EXPECT_EQ(c.flag[p], 0);
    }
  }
}

TEST(BuiltinModels, EverySessionStartsWithTheFiveModelsOnly) {
  World& w = gWorld;
  RegisterBuiltinFunctions();
  ASSERT_EQ(w.modelCount, 5u);
  ExpectModel(w, 0, ExpectedEdges(1.1165f, false, 0, 0));  // Sphere
  ExpectModel(w, 1, ExpectedEdges(1, false, 31, 31));      // Cube
  ExpectModel(w, 2, ExpectedEdges(1, false, 31, 0));       // Cylinder
  ExpectModel(w, 3, ExpectedEdges(1, true, 31, 31));       // Pyramid
  ExpectModel(w, 4, ExpectedEdges(1, true, 31, 0));        // Cone
  // Sphere, Cube, Cylinder, Cone, Pyramid.
  EXPECT_EQ(std::vector<std::uint32_t>(w.builtinModels, w.builtinModels + 5),
            (std::vector<std::uint32_t>{0, 1, 2, 4, 3}));
  EXPECT_FLOAT_EQ(w.models[3].curves[0].length, 2 * std::sqrt(6.0f));  // to the apex and back
  EXPECT_EQ(std::vector<float>(w.models[0].box, w.models[0].box + 6),
            (std::vector<float>{-1.1165f, 1.1165f, -1.1165f, 1.1165f, -1, 1}));

  // A world model named like a built-in one comes after it; lookups find the built-in one.
  EdgeCurveList* own = WorldAddModel(w, 3, "Cube");
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own, &w.models[5]);
  EXPECT_EQ(own->count, 3u);
  EXPECT_EQ(own->curves[2].count, 0u);
  std::uint32_t position = 0;
  EXPECT_TRUE(NameTableFind(w.modelNames, "Cube", position));
  EXPECT_EQ(position, 1u);
  EXPECT_EQ(w.modelNames.entries[5].value, 5u);

  RegisterBuiltinFunctions();
  EXPECT_EQ(w.modelCount, 5u);
  EXPECT_EQ(w.modelNames.count, 5u);
  EXPECT_EQ(w.models[5].block.base, nullptr);
  ExpectModel(w, 1, ExpectedEdges(1, false, 31, 31));
}

TEST(BuiltinModels, AddingAModelStopsAtTheTable) {
  World& w = gWorld;
  RegisterBuiltinFunctions();
  for (std::uint32_t i = 5; i < kWorldModelMax; ++i) {
    ASSERT_NE(WorldAddModel(w, 1, ("m" + std::to_string(i)).c_str()), nullptr);
  }
  EXPECT_EQ(WorldAddModel(w, 1, "last"), nullptr);
  EXPECT_EQ(w.modelCount, kWorldModelMax);
  EXPECT_EQ(w.modelNames.count, kWorldModelMax);
  RegisterBuiltinFunctions();
}

TEST(World, ClearEmptiesTheTablesAndRenewsTheViews) {
  World& w = gWorld;
  RegisterBuiltinFunctions();
  w.objectTransformCount = 2;
  TransformNodeSetTranslation(w.objectTransforms[1], 1, 2, 3);
  w.compositionTransformCount = 1;
  TransformNodeSetTranslation(w.compositionTransforms[0], 1, 2, 3);
  w.cameraCount = 1;
  w.cameras[0].depth = 5;
  w.cameras[31].position[0] = 7;  // past the count: renewed too
  w.snapshots[3].focalAngle = 20;
  w.heightFieldCount = 1;
  VertexGridAlloc(w.heightFields[0].grid, 2, 2);
  w.heightFields[0].waterPlaneCount = 3;
  w.lodBlock = 1;
  w.lodMaximum.portal = 0.5f;
  w.lodMinimum.position = 3;
  w.versionCount = 2;
  w.soundBankCount = 2;
  w.soundBanks[1].sampleCount = 1;
  FocusBoxAdd(w, 0, 0, 0, 1, 1, 1);
  w.lod.lists[3].count = 3;
  w.infoCount = w.planetCount = w.examineCount = w.objectCount = w.objectCallCount = 4;

  WorldClearModels(w);
  EXPECT_EQ(w.modelCount + w.objectTransformCount + w.compositionTransformCount + w.cameraCount +
                w.heightFieldCount + w.versionCount + w.soundBankCount + w.lod.focusCount +
                w.lod.lists[3].count + w.infoCount + w.planetCount + w.examineCount +
                w.objectCount + w.objectCallCount + w.lodBlock,
            0u);
  EXPECT_EQ(w.soundBanks[1].sampleCount, 1u);  // the banks are only counted out
  EXPECT_EQ(w.objectTransforms[1].identity, 1);
  EXPECT_EQ(w.objectTransforms[1].axis[2], 1.0f);
  EXPECT_EQ(w.compositionTransforms[0].axis[0], 1.0f);
  EXPECT_EQ(w.compositionTransforms[0].translation[1], 0.0f);
  EXPECT_EQ(w.cameras[0].depth, 1000.0f);
  EXPECT_EQ(w.cameras[31].position[0], 0.0f);
  EXPECT_EQ(w.snapshots[3].focalAngle, 80.0f);
  EXPECT_EQ(w.heightFields[0].grid.data, nullptr);
  EXPECT_EQ(w.heightFields[0].waterPlaneCount, 0u);
  EXPECT_EQ(w.lodMaximum.portal, 1.0f);
  EXPECT_EQ(w.lodMinimum.position, 0.0f);
  RegisterBuiltinFunctions();
}

TEST(World, InterpolatedKeysAreClampedToTheUnitRange) {
  World& w = gWorld;
  RegisterBuiltinFunctions();
  w.lodMinimum = {2, {0.2f, 0.4f}, {0.0f, 1.0f}, 0.5f, 0.1f};
  w.lodMaximum = {4, {0.6f, 0.4f}, {1.0f, 0.0f}, 1.5f, -0.3f};
  struct Case {
    float t;
    std::vector<float> out;  // terrain, second, object, fourth, portal, low clouds
  };
  const Case cases[] = {
      {3, {0.4f, 0.4f, 0.5f, 0.5f, 0.0f, 1.0f}},       {2, {0.2f, 0.4f, 0.0f, 1.0f, 0.1f, 0.5f}},
      {2.5f, {0.3f, 0.4f, 0.25f, 0.75f, 0.0f, 0.75f}}, {5, {0.8f, 0.4f, 1.0f, 0.0f, 0.0f, 1.0f}},
      {0, {0.0f, 0.4f, 0.0f, 1.0f, 0.5f, 0.0f}},
  };
  for (const Case& c : cases) {
    std::vector<float> out(6);
    WorldInterpolateKeys(w, c.t, &out[0], &out[1], &out[2], &out[3], &out[4], &out[5]);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(out[i], c.out[i], 1e-6f) << c.t << " " << i;
  }
  w.lodMaximum.position = 2;  // equal key positions: the minimum set
  std::vector<float> out(6);
  WorldInterpolateKeys(w, 7, &out[0], &out[1], &out[2], &out[3], &out[4], &out[5]);
  EXPECT_EQ(out, (std::vector<float>{0.2f, 0.4f, 0.0f, 1.0f, 0.1f, 0.5f}));
  RegisterBuiltinFunctions();
}

TEST(World, ExtentAndFocusBoxesFillListsThreeAndFour) {
  World& w = gWorld;
  RegisterBuiltinFunctions();
  for (std::uint32_t i = 0; i < kWorldFocusBoxLimit; ++i) {
    const float f = static_cast<float>(i);
    ASSERT_TRUE(FocusBoxAdd(w, f, 10 + f, 20 + f, 1 + f, 11 + f, 21 + f));
  }
  EXPECT_FALSE(FocusBoxAdd(w, 0, 0, 0, 1, 1, 1));  // one more would not fit the lists
  EXPECT_EQ(w.lod.focusCount, 15u);
  Camera before = w.currentCamera;
  before.position[2] = 3;
  w.currentCamera = before;
  w.transitionTarget = 4;
  WorldSetExtent(w, -800, -800, -400, 800, 800, 400, 0.1f, 0.2f, 0.3f, 0.4f);
  EXPECT_EQ(std::vector<float>(w.lod.extent, w.lod.extent + 6),
            (std::vector<float>{-800, -800, -400, 800, 800, 400}));
  EXPECT_EQ(std::vector<float>(w.lod.detail, w.lod.detail + 4),
            (std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f}));
  EXPECT_EQ(w.lod.lists[0].count + w.lod.lists[1].count, 0u);
  for (int list = 2; list < 4; ++list) {
    const LodBoxList& l = w.lod.lists[list];
    ASSERT_EQ(l.count, 16u);
    const LodBoxRecord& e = l.records[0];
    EXPECT_EQ(std::vector<float>({e.x0, e.x1, e.y0, e.y1, e.z0, e.z1, e.value}),
              std::vector<float>({-800, 800, -800, 800, -400, 400, list == 2 ? 0.3f : 0.4f}));
    const LodBoxRecord& last = l.records[15];  // the fifteenth focus box, axis by axis
    EXPECT_EQ(
        std::vector<float>({last.x0, last.x1, last.y0, last.y1, last.z0, last.z1, last.value}),
        std::vector<float>({14, 15, 24, 25, 34, 35, e.value}));
  }
  // A second session on the same world finds the lists full and leaves them so.
  WorldSetExtent(w, -800, -800, -400, 800, 800, 400, 0.1f, 0.2f, 0.3f, 0.4f);
  EXPECT_EQ(w.lod.lists[2].count + w.lod.lists[3].count, 32u);
  // No camera in the world: the current camera stays, nothing is selected.
  EXPECT_EQ(w.currentCamera.position[2], 3.0f);
  EXPECT_EQ(w.transitionTarget, -1);
  EXPECT_EQ(w.transitionStep, 0.0f);
  RegisterBuiltinFunctions();
}

}  // namespace
}  // namespace veskor
