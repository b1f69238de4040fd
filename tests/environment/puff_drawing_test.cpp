// The visible puff list without drawing: its node operations and reserve, the order of random
// sets of puffs against a plain sort written here, the slices left out near the eye, the fog
// limit and the view planes, the view state of a puff, and the mirror views' fade.
#include "environment/puff_drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "environment/fog_curve.h"
#include "gfx/fog_floor.h"
#include "puff_layer.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

// The camera at (0, -4, 0) looking along +y, 80 degrees, far plane at y = 996.
Camera ForwardView() {
  static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  Camera camera;
  camera.direction[1] = 1;
  CameraFrustumFromMatrices(camera, identity, identity);
  return camera;
}

class PuffListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved = FogFloorHeight;
    FogFloorHeight = kFogFloorHeightDefault;  // -250
    // The slices of the drawn level, as the puff meshes place them.
    gPuffMeshSet.sliceCount[kPuffDrawLevel] = 6;
    for (int j = 0; j < 6; ++j)
      gPuffMeshSet.slicePos[kPuffDrawLevel][j] = -1.0f + (2 * j + 1) / 6.0f;
  }
  void TearDown() override {
    EnvironmentResetCloudLow(*state, 0.0f, kNoWind);
    FogFloorHeight = saved;
  }
  CloudLowLayer& layer() { return state->cloudLow; }
  CloudPuff& Add(float x, float y, float z, float radius, float halfHeight) {
    const float centre[3] = {x, y, z};
    return test::AddConstantPuff(layer(), centre, radius, halfHeight, 1.0f, 4, 0.5f);
  }
  std::vector<std::vector<int>> Nodes() {
    std::vector<std::vector<int>> nodes;
    for (const PuffListNode* n = layer().visibleList.head; n != nullptr; n = n->next)
      nodes.push_back({n->puffIndex, n->slice});
    return nodes;
  }
  std::unique_ptr<EnvironmentState> state = std::make_unique<EnvironmentState>();
  float saved = 0;
  static constexpr float kNoWind[2] = {0, 0};
};

TEST_F(PuffListTest, NodesAppendInsertAndStopAtTheReserve) {
  PuffList list;
  PuffListInit(list);
  PuffListReserve(list, 4);
  PuffListNode* b = PuffListInsertBefore(list, nullptr, 2, 0, 0, 20);  // the only node
  PuffListNode* c = PuffListAppend(list, 3, 0, 0, 10);
  PuffListNode* a = PuffListInsertBefore(list, b, 1, 0, 0, 30);  // a new head
  PuffListInsertBefore(list, c, 4, 5, 6, 15);
  std::vector<int> forward, backward;
  for (const PuffListNode* n = list.head; n != nullptr; n = n->next)
    forward.push_back(n->puffIndex);
  for (const PuffListNode* n = list.tail; n != nullptr; n = n->previous)
    backward.push_back(n->puffIndex);
  EXPECT_EQ(forward, (std::vector<int>{1, 2, 4, 3}));
  EXPECT_EQ(backward, (std::vector<int>{3, 4, 2, 1}));
  EXPECT_EQ(list.count, 4u);
  EXPECT_EQ(list.head, a);
  EXPECT_EQ(b->next->slice * 100 + b->next->depth, 506);
  // A released node is taken before the block grows.
  const std::uint32_t used = list.nodeBlock.usedBytes;
  list.freeList = a;
  a->next = nullptr;
  EXPECT_EQ(PuffListAppend(list, 9, 0, 0, 0), a);
  EXPECT_EQ(list.nodeBlock.usedBytes, used);
  EXPECT_EQ(list.freeList, nullptr);
  // The block holds exactly as many nodes as its power-of-two reserve.
  PuffListReset(list);
  const std::uint32_t fit = (1u << list.nodeBlock.sizeClass) / list.nodeSize;
  for (std::uint32_t i = 0; i < fit; ++i) PuffListAppend(list, 0, 0, 0, 0);
  char message[128];
  std::snprintf(message, sizeof message,
                "Virtual Memory Error : Required Memory > Reserved Memory (%u+%u>(1<<%u))",
                fit * list.nodeSize, list.nodeSize, list.nodeBlock.sizeClass);
  EXPECT_FATAL(PuffListAppend(list, 0, 0, 0, 0), message);
  PuffListRelease(list);
}

TEST_F(PuffListTest, RandomPuffsListFarthestFirstAndLaterPuffsFirstOnTies) {
  std::mt19937 random(37);
  const auto uniform = [&](float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(random);
  };
  const Camera camera = ForwardView();
  for (int round = 0; round < 20; ++round) {
    EnvironmentResetCloudLow(*state, 0.0f, kNoWind);
    const int count = 1 + static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) {
      const int kind = static_cast<int>(random() % 8);
      if (kind == 0 && i > 0) {  // a copy of the puff before: every key ties
        const CloudPuff& p = layer().puffs[i - 1];
        Add(p.centre[0], p.centre[1], p.centre[2], p.radius, p.halfHeight);
      } else if (kind == 1) {  // behind the eye: not visible
        Add(uniform(-20, 20), uniform(-400, -100), uniform(-20, 20), uniform(1, 30),
            uniform(1, 20));
      } else {  // ahead, its centre within the view and above the fog; near ones lose slices
        const float ahead = uniform(0.5f, 700), half = 0.5f * (ahead + 4) * std::tan(0.69f);
        const float z = uniform(-std::min(half, 200.0f), half);
        Add(uniform(-half, half), ahead, z, uniform(1, 30), uniform(1, 20));
      }
    }
    struct Ref {
      double key, depth;
      int puff, slice;
    };
    std::vector<Ref> want;
    for (int i = 0; i < count; ++i) {
      const CloudPuff& p = layer().puffs[i];
      if (p.centre[1] < -4) continue;
      const double v[3] = {0.0 - p.centre[0], -4.0 - p.centre[1], 0.0 - p.centre[2]};
      const double distance = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
      const double extent =
          std::hypot(p.radius * std::hypot(v[0], v[1]) / distance, p.halfHeight * v[2] / distance);
      for (int j = 0; j < 6; ++j) {
        const double pos = -1.0 + (2 * j + 1) / 6.0;
        const double depth = -v[1] - pos * p.radius;
        if (depth >= 1.0) want.push_back({distance - pos * extent, depth, i, j});
      }
    }
    std::stable_sort(want.begin(), want.end(), [](const Ref& a, const Ref& b) {
      return a.key > b.key || (a.key == b.key && a.puff > b.puff);
    });
    ASSERT_EQ(BuildVisiblePuffList(layer(), camera), want.size()) << "round " << round;
    const PuffListNode* n = layer().visibleList.head;
    for (const Ref& r : want) {
      ASSERT_EQ(n->puffIndex * 10 + n->slice, r.puff * 10 + r.slice) << "round " << round;
      EXPECT_NEAR(n->sortKey, r.key, 1e-4 * r.key);
      EXPECT_NEAR(n->depth, r.depth, 1e-3);
      n = n->next;
    }
    EXPECT_EQ(n, nullptr);
    EXPECT_EQ(layer().visibleList.tail == nullptr, want.empty());
  }
}

TEST_F(PuffListTest, SlicesNearTheEyeTheFogLimitAndTheViewLeavePuffsOut) {
  Camera camera = ForwardView();
  // Slices at pos = k / 8 (exact) of puffs of radius 8 lie at depth - 8 pos: depth + 7, + 4,
  // + 1, - 1, ... Puff 0 keeps slice 3 at exactly 1.0, puff 1 loses it at 1 - 2^-10; their
  // keys interleave.
  const float exact[6] = {-0.875f, -0.5f, -0.125f, 0.125f, 0.5f, 0.875f};
  std::copy(exact, exact + 6, gPuffMeshSet.slicePos[kPuffDrawLevel]);
  Add(0, 2 - 4, 0, 8, 3);
  Add(0, 2 - 0x1p-10f - 4, 0, 8, 3);
  EXPECT_EQ(BuildVisiblePuffList(layer(), camera), 7u);
  EXPECT_EQ(Nodes(), (std::vector<std::vector<int>>{
                         {0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2}, {0, 3}}));

  // The top of the puff at the fog limit: left out; a float above it: listed.
  EnvironmentResetCloudLow(*state, 0.0f, kNoWind);
  CloudPuff& puff = Add(0, 50, 0, 10, 5);
  puff.bounds[5] = FogFloorHeight;
  EXPECT_EQ(BuildVisiblePuffList(layer(), camera), 0u);
  puff.bounds[5] = std::nextafter(FogFloorHeight, 0.0f);
  EXPECT_EQ(BuildVisiblePuffList(layer(), camera), 6u);
  // Wholly left of the view: left out; one face reaching into it: listed.
  // (The left plane: x = -0.839 x the distance ahead, 44 to 64 along the box.)
  puff.bounds[0] = -100, puff.bounds[1] = -54;
  EXPECT_EQ(BuildVisiblePuffList(layer(), camera), 0u);
  puff.bounds[1] = -53;
  EXPECT_EQ(BuildVisiblePuffList(layer(), camera), 6u);
  // No puffs: an empty list.
  layer().puffCount = 0;
  EXPECT_EQ(BuildVisiblePuffList(layer(), camera), 0u);
  EXPECT_EQ(layer().visibleList.head, nullptr);
}

// Boxes of which one face alone meets the view (x1, x0, y0, z0, z1): the others lie beyond a
// side plane, behind the eye on one side or beyond the far plane. Each face is tried.
TEST_F(PuffListTest, AnyOneFaceInViewShowsThePuff) {
  const Camera camera = ForwardView();
  const float big = 1e5f;
  const float boxes[5][6] = {{-big, 5, -big, big, -big, big},
                             {-5, big, -big, big, -big, big},
                             {-big, big, 10, big, -big, big},
                             {-big, big, -big, big, -5, big},
                             {-big, big, -big, big, -big, 5}};
  CloudPuff& puff = Add(0, 50, 0, 10, 5);
  for (const auto& box : boxes) {
    std::copy(box, box + 6, puff.bounds);
    float depth, distance, extent;
    EXPECT_EQ(PuffVisibility(puff, camera, &depth, &distance, &extent), 1u) << box[0] << box[4];
  }
}

TEST_F(PuffListTest, VisibilityStoresTheViewOfThePuff) {
  Camera camera = ForwardView();
  CloudPuff& puff = Add(30, 36, 40, 20, 10);
  float depth, distance, extent;
  ASSERT_EQ(PuffVisibility(puff, camera, &depth, &distance, &extent), 1u);
  // v = (-30, -40, -40): distance 64.03, u = v / 64.03.
  const double d = std::sqrt(900.0 + 1600 + 1600), u[3] = {-30 / d, -40 / d, -40 / d};
  const double e = std::hypot(20 * std::hypot(u[0], u[1]), 10 * u[2]);
  EXPECT_FLOAT_EQ(depth, 40.0f);
  EXPECT_FLOAT_EQ(distance, static_cast<float>(d));
  EXPECT_NEAR(extent, e, 1e-4);
  EXPECT_NEAR(puff.viewAxis[0], -u[1], 1e-6);
  EXPECT_NEAR(puff.viewAxis[1], u[0], 1e-6);
  EXPECT_EQ(puff.viewAxis[2], 0.0f);
  EXPECT_NEAR(puff.viewAngle, std::acos(u[2]) * 180 / M_PI, 1e-3);
  EXPECT_NEAR(puff.viewOpacity, 0.5 * e, 1e-4);
  EXPECT_EQ(puff.viewDepth, depth);
  EXPECT_EQ(puff.viewDistance, distance);
  EXPECT_EQ(puff.meshLod, 5);
  // A camera at the centre looks from above.
  camera.position[0] = 30, camera.position[1] = 36, camera.position[2] = 40;
  ASSERT_EQ(PuffVisibility(puff, camera, &depth, &distance, &extent), 1u);
  EXPECT_EQ(distance, 0.0f);
  EXPECT_EQ(extent, 10.0f);
  EXPECT_EQ(puff.viewAngle, 0.0f);
}

TEST(PuffMirrorFade, TheFogCurveIndexStaysInTheCurve) {
  const std::uint32_t savedLength = FogCurveLength;
  for (std::uint32_t i = 0; i < kFogCurveCapacity; ++i) FogCurve[i] = 0.5f + i / 1024.0f;
  const auto fade = [](std::uint32_t i) { return 1.0f - (0.5f + i / 1024.0f); };
  FogCurveLength = kFogCurveCapacity;
  const float far = 1000.0f, quarter = far / 4;  // the curve spans 250: index = key x 255 / 250
  const struct {
    float key;
    std::uint32_t index;
  } cases[] = {
      {0, 0},         {-1, 0},
      {-1e30f, 0},    {NAN, 0},
      {100, 102},     {quarter * 254.99f / 255, 254},
      {quarter, 255}, {quarter + 0.01f, 255},
      {1e30f, 255},
  };
  for (const auto& c : cases) EXPECT_EQ(MirrorPuffFade(c.key, far), fade(c.index)) << c.key;
  FogCurveLength = 0;  // before the first fog stage
  EXPECT_EQ(MirrorPuffFade(100, far), 1.0f);
  FogCurveLength = savedLength;
}

}  // namespace
}  // namespace veskor
