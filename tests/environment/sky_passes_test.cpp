// The sky pass list on boards of every kind, the projective coordinates of the cloud layer and
// the cloud drift, without drawing.
#include "environment/sky_passes.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "environment/cloud_drift.h"
#include "environment/environment_state.h"
#include "gfx/gl_capabilities.h"

namespace veskor {
namespace {

std::vector<std::uint32_t> Codes() {
  std::vector<std::uint32_t> codes;
  for (std::uint32_t i = 0; i < gSkyPassList.count; ++i)
    codes.push_back(gSkyPassList.entries[i].code);
  return codes;
}

TEST(SkyPassList, FlagsAndBoardGiveThePasses) {
  struct Case {
    std::uint32_t units, mask, flags;
    std::vector<std::uint32_t> codes;
  };
  const Case cases[] = {
      {4, kExtRegisterCombiners2, 1 | 2 | 8, {1, 6, 5}},
      {8, kExtRegisterCombiners2, 1 | 2 | 8, {1, 6, 3, 4}},
      {3, kExtRegisterCombiners2, 1 | 2 | 8, {1, 6, 3, 4}},
      {4, kExtRegisterCombiners, 1 | 2 | 8, {1, 6, 3, 4}},
      {4, kExtRegisterCombiners2, 1 | 2 | 4 | 8, {1, 2, 6, 5}},
      {2, 0, 0xFF, {1, 2, 6, 3, 4}},  // the longest list
      {4, kExtRegisterCombiners2, 1 | 2, {1, 6}},
      {4, kExtRegisterCombiners2, 0, {}},
  };
  const std::uint32_t units = TextureUnitCount, mask = ExtensionMask;
  for (const Case& c : cases) {
    TextureUnitCount = c.units;
    ExtensionMask = c.mask;
    gSkyPassList.count = 3;  // rebuilt from empty
    BuildSkyPassList(c.flags);
    EXPECT_EQ(Codes(), c.codes) << "units " << c.units << " flags " << c.flags;
  }
  TextureUnitCount = units;
  ExtensionMask = mask;
}

TEST(CloudLayerTexCoord, ProjectsThePlanePointAlongTheRay) {
  Camera camera;
  camera.position[0] = 100.0f, camera.position[1] = -50.0f, camera.position[2] = 200.0f;
  const float offset[2] = {30.0f, -20.0f}, scale[2] = {0.5f, 0.25f};
  const float up[3] = {0.6f, 0.0f, 0.8f};
  float out[4];
  // 800 above the eye: t = 1000, the point (700, -50); q = 1.
  ASSERT_TRUE(CloudLayerTexCoord(camera, 1000.0f, offset, scale, up, out));
  EXPECT_FLOAT_EQ(out[0], (700.0f - 30.0f) * 0.5f);
  EXPECT_FLOAT_EQ(out[1], (-50.0f + 20.0f) * 0.25f);
  EXPECT_EQ(out[2], 0.0f);
  EXPECT_FLOAT_EQ(out[3], 1.0f);
  ASSERT_TRUE(CloudLayerTexCoord(camera, 200.1f, offset, scale, up, out));  // just below
  EXPECT_NEAR(out[3], 1000.0f / 0.125f, 2.0f);
  // The eye at or above the plane, a ray along it or down: no point in front of the eye.
  const float level[3] = {1.0f, 0.0f, 0.0f}, down[3] = {0.6f, 0.0f, -0.8f};
  for (const auto& [altitude, ray] : {std::pair{200.0f, up}, std::pair{150.0f, up},
                                      std::pair{1000.0f, level}, std::pair{1000.0f, down}}) {
    out[0] = out[3] = 7.0f;
    EXPECT_FALSE(CloudLayerTexCoord(camera, altitude, offset, scale, ray, out)) << altitude;
    EXPECT_EQ(out[0] + out[3], 0.0f);
  }
}

TEST(CloudDrift, OffsetsAreTimeTimesWind) {
  auto state = std::make_unique<EnvironmentState>();
  state->highWind[0] = 2.0f, state->highWind[1] = -3.0f;
  state->lowWind[0] = 0.5f, state->lowWind[1] = 4.0f;
  state->cloudLow.puffDrift[2] = 9.0f;
  for (const float t : {0.0f, 10.0f, 10.0f, 2.5f}) {
    UpdateCloudDrift(*state, t);
    EXPECT_EQ(state->highOffset[0], 2.0f * t);
    EXPECT_EQ(state->highOffset[1], -3.0f * t);
    EXPECT_EQ(state->lowOffset[0], 0.5f * t);
    EXPECT_EQ(state->lowOffset[1], 4.0f * t);
    EXPECT_EQ(state->cloudLow.puffDrift[0], 0.5f * t);
    EXPECT_EQ(state->cloudLow.puffDrift[1], 4.0f * t);
    EXPECT_EQ(state->cloudLow.puffDrift[2], 0.0f);
  }
  state->highWind[0] = state->highWind[1] = 0.0f;
  UpdateCloudDrift(*state, 1e6f);
  EXPECT_EQ(state->highOffset[0] + state->highOffset[1], 0.0f);  // no wind: still
}

}  // namespace
}  // namespace veskor
