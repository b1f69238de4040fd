// The light shafts drawn with a white ray image in an orthographic view whose world units are
// pixels: a segment across the window at y = 8 hangs its quad up along the light, whose red
// channel (the sunlight white) is the alpha falling from the segment to 0 at the far end. The
// length and strength for the viewer looking with the light and against it, the fade near the
// far distance, the lean of the segment's normal, the drift of the puff, and the state left.
#include "environment/light_shafts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "environment/environment_params.h"
#include "environment/lens_flare.h"
#include "environment_gl_base.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_names.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

constexpr float kLight[3] = {0, 1, 0};
constexpr float kWhite[3] = {1, 1, 1};
constexpr float kFar = 1000;
constexpr float kLength = 40;
constexpr float kSegmentY = 8;

class LightShaftTest : public test::EnvironmentGlBase {
 protected:
  void SetUp() override {
    EnvironmentGlBase::SetUp();
    saved = LightShaftParams;
    FloatTexture2DRealloc(LightRayTexture, 1, 2, 2);
    std::fill_n(static_cast<float*>(LightRayTexture.pixels.data), 16, 1.0f);
    CloudLowLayer& layer = state->cloudLow;
    layer.puffCount = 1;
    CloudPuff& puff = layer.puffs[0];
    for (int a = 0; a < 3; ++a) puff.base[a] = puff.centre[a] = 0;
    camera.depth = kFar;
    camera.up[0] = camera.up[1] = 0, camera.up[2] = 1;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 64, 0, 64, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 0);
  }
  void TearDown() override {
    LightShaftParams = saved;
    VmArrayRelease(state->cloudLow.puffs[0].shaftSegments);
    state->cloudLow.puffCount = 0;
    glDisable(GL_CULL_FACE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    GlTest::TearDown();
  }
  // One segment from x = 16 to 48 at y = 8 for each normal.
  void Segments(std::initializer_list<const float*> normals) {
    VmArray& array = state->cloudLow.puffs[0].shaftSegments;
    VmArrayRelease(array);
    VmArrayReserve(array, 40 * sizeof(float));
    std::uint32_t i = 0;
    auto* out = static_cast<ShaftSegment*>(VmArrayAppend(array, 10 * normals.size(), 4));
    for (const float* n : normals) {
      out[i++] = ShaftSegment{{16, kSegmentY, 0}, {48, kSegmentY, 0}, 1, {n[0], n[1], n[2]}};
    }
  }
  // The camera `distance` from the puff, along the light (c = 1) or against it (c = -1).
  void Draw(float c, float distance) {
    for (int a = 0; a < 3; ++a)
      camera.position[a] = state->cloudLow.puffs[0].centre[a] + c * distance * kLight[a];
    glClear(GL_COLOR_BUFFER_BIT);
    DrawLightShafts(state->cloudLow, camera, kLight, kWhite);
  }
  // The red channel along column x: a0 at the segment falling to 0 after `length`.
  static void ExpectShaft(int x, float y0, float length, float a0, const char* what) {
    for (const float t : {0.1f, 0.5f, 0.9f}) {
      const int row = static_cast<int>(y0 + t * length);
      const double want = a0 * (1 - (row + 0.5 - y0) / length);
      EXPECT_NEAR(test::ReadPixel(x, row).r, 255 * want, 3.0) << what << " at " << t;
    }
    EXPECT_EQ(test::ReadPixel(x, static_cast<int>(y0 + length) + 1).r, 0) << what << " beyond";
    EXPECT_EQ(test::ReadPixel(x, static_cast<int>(y0) - 1).r, 0) << what << " below";
  }
  std::unique_ptr<EnvironmentState> state = std::make_unique<EnvironmentState>();
  Camera camera;
  LightShaftParameters saved{};
};

TEST_F(LightShaftTest, LengthAndStrengthFollowTheViewAndTheFarDistance) {
  const float across[3] = {1, 0, 0};  // perpendicular to the camera's up: a = 0
  Segments({across});
  const double against = std::exp(-std::pow(2 * 0.2 * 8, 2));  // g at c = -1: 3.6e-5
  const struct {
    const char* what;
    float c, distance, intensity, lengthParameter, length, a0;
  } cases[] = {
      {"with the light", 1, 500, 1, kLength, kLength, 1},
      {"strength below 1, shorter", 1, 500, 0.3f, 30, 30, 0.3f},
      {"against the light: half as long", -1, 500, 1 / static_cast<float>(against), kLength,
       kLength * static_cast<float>(1 + against) / 2, 1},
      {"fading at 0.95 far: g = 0.5", 1, 0.95f * kFar, 1, kLength, 0.75f * kLength, 0.5f},
      {"just inside the far distance", 1, 0.999f * kFar, 100, kLength, 0.505f * kLength, 1},
  };
  LightShaftParams.horizonCoverage = 0.2f;
  for (const auto& c : cases) {
    LightShaftParams.intensity = c.intensity;
    LightShaftParams.length = c.lengthParameter;
    Draw(c.c, c.distance);
    ExpectShaft(32, kSegmentY, c.length, c.a0, c.what);
  }
  // At the far distance and beyond: nothing.
  LightShaftParams.intensity = 100;
  for (const float distance : {kFar, 1.5f * kFar}) {
    Draw(1, distance);
    EXPECT_EQ(test::ReadPixel(32, 10).r, 0) << distance;
  }
  EXPECT_FLOAT_EQ(ShaftFalloffValue(kShaftFalloff, 0.5f), std::exp(-0.25f));
  EXPECT_FLOAT_EQ(ShaftFalloffValue({0, 2, -3}, 0.5f), 2 * std::exp(-0.75f));
}

TEST_F(LightShaftTest, NormalsLeaningUpFadeAndStopAtTheLimit) {
  LightShaftParams.horizonCoverage = 0.2f;
  LightShaftParams.length = kLength;
  LightShaftParams.intensity = 1;
  const struct {
    float lean;  // |normal . up|
    float a0;
  } cases[] = {{0.1f, 0.5f}, {-0.19f, 0.05f}, {0.2f, 0}, {-0.2f, 0}, {0.5f, 0}};
  for (const auto& c : cases) {
    const float n[3] = {std::sqrt(1 - c.lean * c.lean), 0, c.lean};
    Segments({n});
    Draw(1, 500);
    if (c.a0 > 0) {
      ExpectShaft(32, kSegmentY, kLength, c.a0, "leaning");
    } else {
      EXPECT_EQ(test::ReadPixel(32, 10).r, 0) << c.lean;
    }
  }
  // Two segments, one of them left out; the puff drifted by (4, 10) from where its segments
  // were made: the quads follow it.
  const float across[3] = {1, 0, 0}, up[3] = {0, 0, 1};
  Segments({up, across});
  CloudPuff& puff = state->cloudLow.puffs[0];
  puff.base[0] = 1, puff.base[1] = 2;
  puff.centre[0] = 5, puff.centre[1] = 12;
  Draw(1, 500);
  ExpectShaft(51, kSegmentY + 10, kLength, 1, "drifted");
  EXPECT_EQ(test::ReadPixel(18, kSegmentY + 11).r, 0);  // left of the moved segment

  // Fifteen floats: one whole segment; the half one is not read (its rest would draw at x 57).
  Segments({across, across});
  ShaftSegment& second = VmArrayData<ShaftSegment>(puff.shaftSegments)[1];
  second.start[0] = 52, second.end[0] = 62;
  VmArrayPop(puff.shaftSegments, 5, sizeof(float));
  Draw(1, 500);
  ExpectShaft(51, kSegmentY + 10, kLength, 1, "whole segments");
  EXPECT_EQ(test::ReadPixel(58, kSegmentY + 20).r, 0);
}

TEST_F(LightShaftTest, ThePassLeavesUnitZeroBoundWithoutTexturingAndCullingOn) {
  const float across[3] = {1, 0, 0};
  Segments({across});
  glActiveTexture(GL_TEXTURE2);
  glEnable(GL_TEXTURE_2D);
  Draw(1, 500);
  GLint active = 0, bound = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(active, GL_TEXTURE0);
  EXPECT_EQ(static_cast<std::uint32_t>(bound), TextureNameTable[LightRayTexture.state.slot]);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLboolean depthWrites = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
  EXPECT_TRUE(depthWrites);
  glActiveTexture(GL_TEXTURE2);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));  // units 1 to 3 draw nothing
  glActiveTexture(GL_TEXTURE0);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

}  // namespace
}  // namespace veskor
