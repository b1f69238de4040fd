#include <gtest/gtest.h>

#include <vector>

#include "language/fx_registry.h"
#include "language/world.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

std::vector<GLint> Integers(GLenum which, int n) {
  std::vector<GLint> v(n);
  glGetIntegerv(which, v.data());
  return v;
}

using WorldGlTest = test::GlTest;

TEST_F(WorldGlTest, ExtentMakesTheFirstWorldCameraCurrent) {
  World& w = gWorld;
  RegisterBuiltinFunctions();
  glViewport(0, 0, 64, 64);
  const auto depths = [] {
    return std::vector<GLint>{Integers(GL_PROJECTION_STACK_DEPTH, 1)[0],
                              Integers(GL_MODELVIEW_STACK_DEPTH, 1)[0]};
  };
  const std::vector<GLint> before = depths();
  w.cameraCount = 1;
  Camera& first = w.cameras[0];
  CameraInit(first, nullptr);
  CameraSetViewport(first, 0.25f, 0, 0.75f, 0.5f);  // part of the window: a viewport to restore
  CameraSetPosition(first, 1, 2, 3);
  first.depth = 500;
  w.transitionTarget = 1;
  w.transitionStep = 50;
  WorldSetExtent(w, -800, -800, -400, 800, 800, 400, 1, 1, 1, 1);
  const Camera& c = w.currentCamera;
  EXPECT_EQ(std::vector<float>(c.position, c.position + 3), (std::vector<float>{1, 2, 3}));
  EXPECT_EQ(std::vector<GLint>(c.pixelRect, c.pixelRect + 4), (std::vector<GLint>{16, 0, 32, 32}));
  // Applied: the view volume reaches depth 500 along +y from the position.
  EXPECT_NEAR(c.farCentre[1], 502.0f, 1e-3f);
  // Restored: the matrices it pushed are popped and the window's viewport is back.
  EXPECT_EQ(depths(), before);
  EXPECT_EQ(Integers(GL_VIEWPORT, 4), (std::vector<GLint>{0, 0, 64, 64}));
  EXPECT_EQ(w.transitionTarget, -1);
  EXPECT_EQ(w.transitionStep, 0.0f);
  RegisterBuiltinFunctions();
}

}  // namespace
}  // namespace veskor
