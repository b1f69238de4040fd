#include "geometry/draw_items.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "geometry/direction_from_angles.h"
#include "geometry/scene_build_error.h"
#include "geometry/subdivision_settings.h"
#include "gfx/item_batching.h"

namespace veskor {
namespace {

class DrawItems : public ::testing::Test {
 protected:
  void SetUp() override {
    SceneBuildErrorReset();
    RenderListReset();
  }
  void TearDown() override {
    TransformNode identity;
    TransformNodeInit(identity);
    SetTransformGlobals(identity);
  }
  std::vector<std::uint32_t> Kinds() const {
    std::vector<std::uint32_t> kinds;
    for (std::uint32_t i = 0; i < gDrawItems.count; ++i) kinds.push_back(gDrawItems.items[i].kind);
    return kinds;
  }
  SceneNode a_{}, b_{}, c_{}, r_[2]{};
  SceneInstance record_{};
};

TEST_F(DrawItems, OperandsCountTheirUsesAndALeafCountsOnce) {
  r_[0].useCount = 5, r_[0].refCount = 3, r_[0].triangleTotal = 9, r_[0].registered = 1;
  RegisterDrawItemAdd(a_, b_, r_[0]);
  RegisterDrawItemSub(r_[0], a_, r_[1]);
  RegisterDrawItemLeaf(r_[1], record_);
  RegisterDrawItemLeaf(r_[1], record_);
  RegisterDrawItemLeaf(c_, record_);
  EXPECT_EQ(Kinds(), (std::vector<std::uint32_t>{kDrawItemAdd, kDrawItemSub, kDrawItemLeaf,
                                                 kDrawItemLeaf, kDrawItemLeaf}));
  EXPECT_EQ(a_.useCount, 2u);
  EXPECT_EQ(b_.useCount, 1u);
  EXPECT_EQ(r_[0].useCount, 1u);  // reset by its operation, then the right operand of the next
  EXPECT_EQ(r_[0].kind, kSceneNodeComposed);
  EXPECT_EQ(r_[0].refCount + r_[0].triangleTotal + r_[0].registered, 0u);
  EXPECT_EQ(r_[1].useCount, 1u);
  EXPECT_EQ(r_[1].registered, 1u);
  const DrawItem& sub = gDrawItems.items[1];
  EXPECT_EQ(sub.first, &r_[0]);
  EXPECT_EQ(sub.second, &a_);
  EXPECT_EQ(sub.result, &r_[1]);
  EXPECT_EQ(sub.instance, nullptr);
  EXPECT_EQ(gDrawItems.items[4].first, &c_);
  EXPECT_EQ(gDrawItems.items[4].instance, &record_);
  RenderListReset();
  EXPECT_EQ(gDrawItems.count, 0u);
}

TEST_F(DrawItems, ALeafStartsItsRecordAndCopiesTheTransformGlobal) {
  TransformNode node;
  TransformNodeInit(node);
  TransformNodeSetTranslation(node, 1, 2, 3);
  SetTransformGlobals(node);
  for (const SubdivisionSettings* s :
       {&gTerrainGeometryLod, &gTerrainTextureLod, &gObjectGeometryLod, &gObjectTextureLod})
    EXPECT_EQ(s->transform.translation[2], 3.0f);
  record_.batchItemCount = 4, record_.neighbours[2] = 6, record_.drawMode = 0;
  record_.visible = 0, record_.connected = 1;
  RegisterDrawItemLeaf(a_, record_);
  EXPECT_EQ(record_.batchItemCount, 0u);
  EXPECT_EQ(record_.vertexFormat, 25u);
  EXPECT_EQ(record_.flags, 1u);
  EXPECT_FLOAT_EQ(record_.coneAngle, 3.1415927f);
  EXPECT_EQ(record_.neighbours[2], -1);
  EXPECT_EQ(record_.connected, 0);
  EXPECT_EQ(record_.visible, 1u);
  EXPECT_EQ(record_.drawMode, 3u);
  const TransformNode& copy = gDrawItems.items[0].transform;
  EXPECT_EQ(copy.identity, 0);
  EXPECT_EQ(copy.translation[1], 2.0f);
}

TEST_F(DrawItems, AFullTableOrAnEarlierFailureRegistersNothing) {
  for (std::uint32_t i = 0; i + 1 < kDrawItemMax; ++i) RegisterDrawItemLeaf(a_, record_);
  RegisterDrawItemAdd(a_, b_, r_[0]);  // the last one that fits
  EXPECT_FALSE(SceneBuildFailed());
  EXPECT_EQ(gDrawItems.count, kDrawItemMax);
  RegisterDrawItemSub(a_, b_, r_[1]);
  EXPECT_TRUE(SceneBuildFailed());
  EXPECT_STREQ(gSceneBuildError.message, kTooManyDrawItemsMessage);
  EXPECT_EQ(a_.useCount, 2u);  // the leaf's once and the Add's; the refused Sub's not
  EXPECT_EQ(gDrawItems.count, kDrawItemMax);

  RenderListReset();
  RegisterDrawItemLeaf(c_, record_);  // the build has failed
  EXPECT_EQ(gDrawItems.count, 0u);
  EXPECT_EQ(c_.useCount, 0u);
}

TEST_F(DrawItems, SceneInstancesCountFromOneUpToTheTable) {
  const auto world = std::make_unique<World>();
  EXPECT_EQ(AddSceneInstance(*world), &world->sceneInstances[1]);
  world->sceneInstanceCount = kWorldSceneInstanceMax - 2;
  EXPECT_EQ(AddSceneInstance(*world), &world->sceneInstances[kWorldSceneInstanceMax - 1]);
  EXPECT_FALSE(SceneBuildFailed());
  EXPECT_EQ(AddSceneInstance(*world), nullptr);
  EXPECT_STREQ(gSceneBuildError.message, kTooManySceneInstancesMessage);
  EXPECT_EQ(world->sceneInstanceCount, kWorldSceneInstanceMax - 1);
}

// The unit cube turned 45 degrees about x and moved along x: its corners reach -+sqrt(1/2) in
// y and 0 to sqrt(2) in z; without a matrix the box comes back as it is.
TEST(TransformBox, TheBoxOfTheEightTurnedCornersOrTheBoxItself) {
  TransformNode node;
  TransformNodeInit(node);
  TransformNodeSetRotation(node, 1, 0, 0, 45);
  TransformNodeSetTranslation(node, 10, 0, 0);
  const float h = 0.70710678f;
  const struct {
    const float* matrix;
    float out[6];
  } cases[] = {{TransformNodeMatrix(node), {10, -h, 0, 11, h, 2 * h}},
               {nullptr, {0, 0, 0, 1, 1, 1}}};
  for (const auto& c : cases) {
    float out[6];
    TransformBox(c.matrix, 0, 0, 0, 1, 1, 1, out);
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(out[k], c.out[k], 1e-5f) << k;
  }
}

TEST(DirectionFromAngles, AzimuthTurnsFromXTowardYAndElevationRaisesIt) {
  const float h = 0.70710678f;
  const struct {
    float a, b, d[3];
  } cases[] = {{0, 0, {1, 0, 0}},
               {1.5707963f, 0, {0, 1, 0}},
               {0, 1.5707963f, {0, 0, 1}},
               {3.1415927f, -0.7853982f, {-h, 0, -h}},
               {0.7853982f, 0.7853982f, {0.5f, 0.5f, h}}};
  for (const auto& c : cases) {
    float d[3];
    DirectionFromAngles(c.a, c.b, d);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(d[k], c.d[k], 1e-6f) << c.a << " " << c.b;
  }
}

}  // namespace
}  // namespace veskor
