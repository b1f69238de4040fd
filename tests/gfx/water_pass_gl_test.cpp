// The water pass: image sizes and margins for portals of several sizes and windows, the
// viewport and frame it sets and puts back, and the two textures read back from a known scene.
#include "gfx/water_pass.h"

#include <gtest/gtest.h>

#include <vector>

#include "gfx/texture_names.h"
#include "gfx_gl_test.h"

namespace veskor {
namespace {

using namespace test;
TEST_F(GfxGlTest, WaterPassSizesAndMargins) {
  struct Case {
    float sx, sy, texel;
    std::uint32_t window[2];
    std::uint32_t lw, lh;
    float margin;
    Ints pixels;  // the viewport during the pass
  } cases[] = {
      {256, 256, 4, {800, 600}, 6, 6, 0, {25, 19, 64, 64}},
      {300, 200, 4, {800, 600}, 7, 6, 0.125f, {25, 19, 128, 64}},
      {4096, 2048, 4, {800, 600}, 9, 8, 0, {25, 19, 512, 256}},  // 1024 x 512 halved
      // Narrower than one texel: one row, and as many columns as its width needs.
      {2, 1, 4, {800, 600}, 1, 0, 0, {25, 19, 2, 1}},
      {100, 3, 4, {800, 600}, 6, 0, (1 - 100.0f / 192) / 2, {25, 19, 64, 1}},
      // Too long for the window with one row already: only the width drops, and the image
      // covers the middle 512 units.
      {4096, 1, 4, {800, 600}, 9, 0, (1 - 4096.0f / 512) / 2, {25, 19, 512, 1}},
      // An image as wide as the window does not fit beside its offset of 1/32; one filling
      // the whole window does, at its corner.
      {4096, 1024, 4, {1024, 768}, 9, 7, 0, {32, 24, 512, 128}},
      {4096, 2048, 4, {1024, 512}, 10, 9, 0, {0, 0, 1024, 512}},
  };
  ViewPlane plane{nullptr, 0, 0, 0};
  const float box0[3] = {-40, 10, 7};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sx);
    plane.fullScreenWidth = c.window[0];
    plane.fullScreenHeight = c.window[1];
    glViewport(0, 0, static_cast<GLsizei>(c.window[0]), static_cast<GLsizei>(c.window[1]));
    OrthoPass pass;
    OrthoCameraAttach(pass, &plane);
    const float box[6] = {box0[0], box0[1], box0[2], box0[0] + c.sx, box0[1] + c.sy, box0[2]};
    float marginX = -1, marginY = -1;
    BeginWaterPass(pass, box, c.texel, &marginX, &marginY);
    EXPECT_EQ(pass.waterLog2Width, c.lw);
    EXPECT_EQ(pass.waterLog2Height, c.lh);
    EXPECT_NEAR(marginX, c.margin, 1e-6f);
    EXPECT_EQ(marginY, 0);
    EXPECT_EQ(Viewport(), c.pixels);
    EXPECT_FLOAT_EQ(pass.aspect, static_cast<float>(1 << c.lw) / static_cast<float>(1 << c.lh));
    EXPECT_FLOAT_EQ(pass.position[2], 157);
    EndWaterPass(pass);
    EXPECT_EQ(Viewport(),
              (Ints{0, 0, static_cast<GLint>(c.window[0]), static_cast<GLint>(c.window[1])}));
    EXPECT_EQ(pass.wholeWindow, 1u);
    EXPECT_EQ(pass.windowX1, 1);
    EXPECT_FLOAT_EQ(pass.aspect, static_cast<float>(c.window[0]) / c.window[1]);
  }
}

// Over the portal (0, 0) - (64, 32) at height 10, texels of 2 x 2: a bottom that deepens
// along x from 1 below the water for x < 32, a plateau 0.5 above it beyond; nothing for
// y > 24.
void DrawScene() {
  glEnable(GL_DEPTH_TEST);
  glBegin(GL_QUADS);
  glColor3f(1, 0, 0);
  glVertex3f(0, 0, 9);
  glVertex3f(32, 0, -7);
  glVertex3f(32, 24, -7);
  glVertex3f(0, 24, 9);
  glColor3f(0, 1, 0);
  glVertex3f(32, 0, 10.5f);
  glVertex3f(64, 0, 10.5f);
  glVertex3f(64, 24, 10.5f);
  glVertex3f(32, 24, 10.5f);
  glEnd();
  glDisable(GL_DEPTH_TEST);
  glColor3f(1, 1, 1);
}

std::vector<float> Texels(FloatTexture2D& texture, int width = 32, int height = 16) {
  std::vector<float> texels(static_cast<std::size_t>(width * height * 4));
  glBindTexture(GL_TEXTURE_2D, TextureNameTable[texture.state.slot]);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, texels.data());
  return texels;
}

TEST_F(GfxGlTest, WaterReadbackBuildsColourAndSlope) {
  ViewPlane plane{nullptr, kGlTestWindowSize, kGlTestWindowSize, 0};
  OrthoPass pass;
  OrthoCameraAttach(pass, &plane);
  const float box[6] = {0, 0, 10, 64, 32, 10};
  float marginX, marginY;
  BeginWaterPass(pass, box, 2, &marginX, &marginY);
  ASSERT_EQ(Viewport(), (Ints{2, 2, 32, 16}));
  DrawScene();
  FloatTexture2D colour, slope;
  const float lo = 0.2f, hi = 1.0f;
  WaterReadback(pass, lo, hi, colour, slope);
  EndWaterPass(pass);

  for (FloatTexture2D* t : {&colour, &slope}) {
    EXPECT_EQ(TextureData(*t), nullptr);  // only the GL copy is left
    EXPECT_EQ(TextureLog2Width(*t), 5u);
    EXPECT_EQ(TextureLog2Height(*t), 4u);
    glBindTexture(GL_TEXTURE_2D, TextureNameTable[t->state.slot]);
    EXPECT_EQ(TextureParameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER),
              t == &colour ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    EXPECT_NE(TextureParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_REPEAT);
  }
  const std::vector<float> c = Texels(colour), s = Texels(slope);
  // The window depth of a surface d below the eye at 160, between the planes at 1 and 400.
  const auto depthValue = [&](float z) {
    const float depth = (160 - z - 1) / 399;
    return lo + (hi - lo) * std::clamp((depth - 0.375f) * 1.6f, 0.0f, 1.0f);
  };
  struct Region {
    int x0, x1, y0, y1;
    float colour[4], slope[2];
    float slopeA;  // at x = 0 for the ramp
    float ramp;    // its fall per unit of x
  } regions[] = {{2, 13, 1, 10, {1, 0, 0, 0}, {0, 0.5f}, 9, 0.5f},
                 {18, 29, 1, 10, {0, 1, 0, 1}, {0.5f, 0.5f}, 10.5f, 0},
                 {2, 29, 13, 14, {0, 0, 0, 0}, {0.5f, 0.5f}, -1e9f, 0}};
  for (const Region& r : regions) {
    for (int y = r.y0; y <= r.y1; ++y) {
      for (int x = r.x0; x <= r.x1; ++x) {
        SCOPED_TRACE(testing::Message() << x << ", " << y);
        const float* ct = &c[4 * (y * 32 + x)];
        const float* st = &s[4 * (y * 32 + x)];
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(ct[k], r.colour[k], 1e-6f);
        EXPECT_NEAR(st[0], r.slope[0], 3e-3f);
        EXPECT_NEAR(st[1], r.slope[1], 3e-3f);
        EXPECT_EQ(st[2], 0);
        EXPECT_NEAR(st[3], depthValue(r.slopeA - r.ramp * (2 * x + 1)), 3e-3f);
      }
    }
  }
  // The depths' border wraps: below the bottom row lies the top row, where nothing was drawn,
  // so the bottom row's slope points down the image.
  EXPECT_NEAR(s[4 * 5 + 1], 1, 3e-3f);
}

// A 1024 x 1024 image fills a window of 1025 x 1025 (more than 0.999 of it): the viewport stays
// the window's, and the read-back still takes only the image, row after row.
TEST_F(GfxGlTest, WaterReadbackTakesOnlyTheImage) {
  ViewPlane plane{nullptr, 1025, 1025, 0};
  glViewport(0, 0, 1025, 1025);
  OrthoPass pass;
  OrthoCameraAttach(pass, &plane);
  const float box[6] = {0, 0, 0, 1024, 1024, 0};
  float marginX, marginY;
  BeginWaterPass(pass, box, 1, &marginX, &marginY);
  EXPECT_EQ(Viewport(), (Ints{0, 0, 1025, 1025}));
  glColor3f(0, 1, 0);
  glRectf(32, 0, 64, 64);  // green right of x = 32 in the test window's corner
  glColor3f(1, 1, 1);
  FloatTexture2D colour, slope;
  WaterReadback(pass, 0, 1, colour, slope);
  EndWaterPass(pass);
  const std::vector<float> c = Texels(colour, 1024, 1024);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH), 1024);
  for (int y : {0, 30, 60}) {
    EXPECT_EQ(c[4 * (y * 1024 + 20) + 1], 0) << y;
    EXPECT_EQ(c[4 * (y * 1024 + 40) + 1], 1) << y;
  }
}

}  // namespace
}  // namespace veskor
