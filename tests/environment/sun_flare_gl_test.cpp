// The sun glare and the flare drawn into the test window with white images: where the sun must
// stand for anything to show, the depth at its pixel, the tint, the clouds' dimming and the
// fading towards the border worked out by hand, the element on the centre, the mirror views'
// three elements and the turn of an element by its spin.
#include "environment/sun_flare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "environment/environment_params.h"
#include "environment/lens_flare.h"
#include "environment/sky_model.h"
#include "environment_gl_base.h"
#include "foundation/frame_clock.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_names.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

using test::ReadPixel;

class SunFlareTest : public test::EnvironmentGlBase {
 protected:
  void SetUp() override {
    EnvironmentGlBase::SetUp();
    std::copy(SunDirection, SunDirection + 3, savedSun);
    std::copy(SunLightColour, SunLightColour + 3, savedColour);
    for (FloatTexture2D& image : LensFlareImages) {
      FloatTexture2DRealloc(image, 1, 2, 2);
      std::fill_n(static_cast<float*>(image.pixels.data), 16, 1.0f);
    }
    SunLightColour[0] = SunLightColour[1] = SunLightColour[2] = 1.0f;
    // A clip matrix that puts the point (x, y, z) at (x, y, 0, z): the sun at -d shows at
    // (d.x / d.z, d.y / d.z) while d.z < 0.
    std::fill_n(camera.clipMatrix, 16, 0.0f);
    camera.clipMatrix[0] = camera.clipMatrix[5] = camera.clipMatrix[11] = 1.0f;
    camera.position[0] = camera.position[1] = camera.position[2] = 0.0f;
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glDisable(GL_DEPTH_TEST);
    Clear();
  }
  void TearDown() override {
    std::copy(savedSun, savedSun + 3, SunDirection);
    std::copy(savedColour, savedColour + 3, SunLightColour);
    LensFlareElements.count = 0;
    glDisable(GL_FOG);
    glDisable(GL_SCISSOR_TEST);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    GlTest::TearDown();
  }
  static void Clear() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }
  // The sun at screen point (sx, sy).
  static void SunAt(float sx, float sy) {
    SunDirection[0] = -sx, SunDirection[1] = -sy, SunDirection[2] = -1;
  }
  static void Elements(std::initializer_list<LensFlareElement> elements) {
    LensFlareElements.count = 0;
    for (const LensFlareElement& e : elements)
      LensFlareElements.elements[LensFlareElements.count++] = e;
  }
  static bool AnyLit() {
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        if (ReadPixel(x, y).r > 0) return true;
    return false;
  }
  Camera camera;
  float savedSun[3], savedColour[3];
};

// An element of size 0.25 on the centre (8 pixels each way) with fade 1: its attenuation there
// is 1 wherever the sun is.
constexpr LensFlareElement kCentre = {0, 1.0f, 0.25f, 1, 1, 1, 1, 1.0f, 0};

TEST_F(SunFlareTest, SunMustStandInsideTheScreenInFront) {
  Elements({kCentre});
  const struct {
    float d[3];
    bool drawn;
  } cases[] = {
      {{-0.5f, -0.3f, -1}, true}, {{-0.999f, 0.999f, -1}, true}, {{-1, 0, -1}, false},
      {{0, 1, -1}, false},        {{-1.5f, 0, -1}, false},       {{0, 1.2f, -1}, false},
      {{-0.5f, -0.3f, 1}, false},  // behind
      {{0, 0, 0}, false},
  };
  for (const auto& c : cases) {
    Clear();
    std::copy(c.d, c.d + 3, SunDirection);
    GlareAngle = -1.0f;
    const double before = NowSeconds();
    DrawSunFlare(camera, 0.0f);
    SCOPED_TRACE(testing::Message() << c.d[0] << ", " << c.d[1] << ", " << c.d[2]);
    EXPECT_EQ(AnyLit(), c.drawn);
    if (!c.drawn) {
      EXPECT_EQ(GlareAngle, -1.0f);
      continue;
    }
    EXPECT_GE(GlareAngle, static_cast<float>(before) - 1e-3f * static_cast<float>(before));
    EXPECT_EQ(ReadPixel(32, 32).r, 255);  // on the centre, attenuation 1
    EXPECT_EQ(ReadPixel(39, 24).r, 255);
    EXPECT_EQ(ReadPixel(40, 32).r, 0);
    EXPECT_EQ(ReadPixel(32, 23).r, 0);
  }
}

// The sun at (0.5, 0.3) reads its depth at pixel (trunc(1.5 x 0.5 x 63), trunc(1.3 x 0.5 x 63))
// = (47, 40); 0.99999 is 16777047 / 16777215 of the 24-bit buffer.
TEST_F(SunFlareTest, AnythingDrawnAtTheSunsPixelHidesTheWholeFlare) {
  Elements({kCentre});
  SunAt(0.5f, 0.3f);
  const struct {
    int x, y;
    double depth;
    bool drawn;
  } cases[] = {
      {47, 40, 16777047.25 / 16777215, false},
      {47, 40, 16777048.25 / 16777215, true},
      {47, 40, 0.5, false},
      {46, 40, 0.5, true},
      {47, 41, 0.5, true},
      {48, 39, 0.0, true},
  };
  for (const auto& c : cases) {
    Clear();
    glEnable(GL_SCISSOR_TEST);
    glScissor(c.x, c.y, 1, 1);
    glClearDepth(c.depth);
    glClear(GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    glDisable(GL_SCISSOR_TEST);
    DrawSunFlare(camera, 0.0f);
    EXPECT_EQ(ReadPixel(32, 32).r, c.drawn ? 255 : 0) << c.x << ", " << c.y << " at " << c.depth;
  }
}

// Colour: the element's colour times the sunlight's; alpha: the element's times 1 - occlusion,
// blended additively by that alpha; both times the attenuation
// 1 - |(E.x, k E.y)| fade 0.707106, k = height / width, E the element's place.
TEST_F(SunFlareTest, TintDimmingAndFadeFollowTheElement) {
  SunLightColour[0] = 1.0f, SunLightColour[1] = 0.5f, SunLightColour[2] = 0.25f;
  SunAt(0.6f, 0.0f);
  const struct {
    float occlusion;
    int r, g, b;
  } dimming[] = {{0.0f, 255, 128, 64}, {0.5f, 128, 64, 32}, {1.0f, 0, 0, 0}, {1.5f, 0, 0, 0}};
  Elements({kCentre});
  for (const auto& c : dimming) {
    Clear();
    DrawSunFlare(camera, c.occlusion);
    const test::Rgba p = ReadPixel(32, 32);
    EXPECT_NEAR(p.r, c.r, 1) << c.occlusion;
    EXPECT_NEAR(p.g, c.g, 1) << c.occlusion;
    EXPECT_NEAR(p.b, c.b, 1) << c.occlusion;
  }
  // On the sun (axis place 0), fade 1, in a viewport of 64 x 32 (k = 0.5).
  SunLightColour[1] = SunLightColour[2] = 1.0f;
  Elements({{0, 0.0f, 0.25f, 1, 1, 1, 1, 1.0f, 0}});
  glViewport(0, 0, 64, 32);
  const struct {
    float sx, sy;
    int x, y;
  } places[] = {{0.6f, 0.0f, 51, 16}, {0.0f, 0.8f, 32, 28}, {-0.6f, -0.4f, 12, 9}};
  for (const auto& c : places) {
    Clear();
    SunAt(c.sx, c.sy);
    DrawSunFlare(camera, 0.0f);
    const double a = 1 - std::hypot(c.sx, 0.5 * c.sy) * 0.707106;
    EXPECT_NEAR(ReadPixel(c.x, c.y).r, 255 * a * a, 1.5) << c.sx << ", " << c.sy;
    EXPECT_EQ(ReadPixel(c.x + 5, c.y).r, 0);  // 0.25 x 0.5 of 64: 4 pixels each way
  }
}

TEST_F(SunFlareTest, MirrorViewsDrawTheFirstThreeElements) {
  // Places 0, 0.5, 1 and 1.5 of the axis from the sun at (0.8, 0): x = 0.8, 0.4, 0, -0.4.
  Elements({{0, 0.0f, 0.08f, 1, 1, 1, 1, 0, 0},
            {1, 0.5f, 0.08f, 1, 1, 1, 1, 0, 0},
            {2, 1.0f, 0.08f, 1, 1, 1, 1, 0, 0},
            {2, 1.5f, 0.08f, 1, 1, 1, 1, 0, 0}});
  SunAt(0.8f, 0.0f);
  const int columns[4] = {57, 44, 32, 19};
  for (const bool mirror : {true, false}) {
    Clear();
    if (mirror)
      DrawPortalSunFlare(camera, 3, 0.0f);
    else
      DrawSunFlare(camera, 0.0f);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(ReadPixel(columns[i], 32).r, mirror && i == 3 ? 0 : 255) << mirror << " " << i;
  }
}

// Turned by spin x glare angle: a quarter turn's half makes the square a diamond.
TEST_F(SunFlareTest, ElementsTurnBySpinTimesTheGlareAngle) {
  Elements({{0, 1.0f, 0.25f, 1, 1, 1, 1, 0, 1.0f}});
  SunAt(0.3f, 0.2f);
  const struct {
    float angle;
    bool corner, tip;
  } cases[] = {{0.0f, true, false}, {0.78539816f, false, true}, {-0.78539816f, false, true}};
  for (const auto& c : cases) {
    Clear();
    GlareAngle = c.angle;
    const double before = NowSeconds();
    DrawSunFlare(camera, 0.0f);
    const double after = NowSeconds();
    EXPECT_EQ(ReadPixel(38, 38).r > 0, c.corner) << c.angle;  // (0.2, 0.2) from the centre
    EXPECT_EQ(ReadPixel(41, 32).r > 0, c.tip) << c.angle;     // (0.3, 0.02)
    EXPECT_GE(GlareAngle, static_cast<float>(before) * (1 - 1e-6f));
    EXPECT_LE(GlareAngle, static_cast<float>(after) * (1 + 1e-6f));
  }
}

}  // namespace
}  // namespace veskor
