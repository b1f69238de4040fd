#include "gfx/viewport_rect.h"

#include <gtest/gtest.h>

#include <vector>

#include "gfx_gl_test.h"

namespace veskor {
namespace {

using namespace test;

TEST_F(GfxGlTest, ViewportRectanglesIncludeBothCornerPixels) {
  const ViewPlane plane{nullptr, 640, 480, 0};
  const struct {
    float rect[8];  // fx0, ox0, fy0, oy0, fx1, ox1, fy1, oy1
    std::vector<GLint> viewport;
  } cases[] = {
      {{0, 0, 0, 0, 1, 0, 1, 0}, {0, 0, 640, 480}},
      {{0, 0, 0, 0, 0.5f, 0, 1, 0}, {0, 0, 320, 480}},  // x1 = R(319.5) = 319
      {{0, 0, 0, 0, 1, -1, 1, 0}, {0, 0, 639, 480}},
      {{0.25f, 2, 0.5f, -3, 0.75f, 0, 1, 0}, {162, 236, 318, 244}},  // R(161.75), R(236.5)
  };
  FullScreenMode = 1;
  for (const auto& c : cases) {
    const float* r = c.rect;
    SetViewportRect(plane, r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]);
    EXPECT_EQ(Viewport(), c.viewport) << r[0] << " " << r[4] << " " << r[5];
  }
  RestoreViewport(plane);
  EXPECT_EQ(Viewport(), (std::vector<GLint>{0, 0, 640, 480}));

  FullScreenMode = 0;  // in a window the settings' size counts, not the full-screen size
  WindowedWidth = 600, WindowedHeight = 400;
  RestoreViewport(plane);
  EXPECT_EQ(Viewport(), (std::vector<GLint>{0, 0, 600, 400}));
  SetViewportRect(plane, 0, 0, 0, 0, 1, 0, 0.5f, 0);
  EXPECT_EQ(Viewport(), (std::vector<GLint>{0, 0, 600, 200}));  // y1 = R(199.5) = 199
  FullScreenMode = 1;
  glViewport(0, 0, kGlTestWindowSize, kGlTestWindowSize);
}

}  // namespace
}  // namespace veskor
