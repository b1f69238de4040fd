#include "platform/gl_context.h"

#include <gtest/gtest.h>

#include "platform/gl.h"
#include "platform/gl_procs.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

using test::GlTest;
using test::GlTestContext;

TEST_F(GlTest, ContextIsCompatibilityProfile) {
  GLint mask = 0;
  glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
  EXPECT_NE(mask & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT, 0);
  EXPECT_EQ(GlCurrentContext(), GlTestContext().context);
  // Fixed-function drawing works.
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glColor3f(0, 1, 0);
  glRectf(-1, -1, 1, 1);
  const test::Rgba p = test::ReadPixel(10, 10);
  EXPECT_TRUE(p.r == 0 && p.g == 255);
}

TEST_F(GlTest, SharedContextSeesTexturesOfTheFirst) {
  GlProbe& main = GlTestContext();
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);  // a name becomes a texture at its first bind

  GlContext* shared = GlContextCreate(main.window, main.context);
  ASSERT_NE(shared, nullptr) << GlLastError();
  EXPECT_EQ(GlCurrentContext(), shared);
  EXPECT_TRUE(glIsTexture(name));

  GlContext* alone = GlContextCreate(main.window, nullptr);
  ASSERT_NE(alone, nullptr) << GlLastError();
  EXPECT_FALSE(glIsTexture(name));

  GlContextDestroy(alone);
  GlContextDestroy(shared);
  EXPECT_EQ(GlCurrentContext(), nullptr);
  ASSERT_TRUE(GlMakeCurrent(main.window, main.context));
  glDeleteTextures(1, &name);
}

TEST_F(GlTest, ProbeWindowLoadsEntryPointsThatLaterContextsUse) {
  GlProbe probe;
  ASSERT_TRUE(GlProbeOpen(probe)) << GlLastError();
  EXPECT_EQ(GlCurrentContext(), probe.context);
  EXPECT_TRUE(GlExtensionInList(GlExtensionsString(), "GL_ARB_multitexture"));
  auto activeTexture =
      reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(GlGetProcAddress("glActiveTextureARB"));
  ASSERT_NE(activeTexture, nullptr);
  int w = 0, h = 0;
  GlWindowSize(probe.window, &w, &h);
  EXPECT_TRUE(w > 0 && h > 0);
  GlProbeClose(probe);
  EXPECT_EQ(probe.window, nullptr);

  GlProbe& main = GlTestContext();
  ASSERT_TRUE(GlMakeCurrent(main.window, main.context));
  activeTexture(GL_TEXTURE1_ARB);
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
  EXPECT_EQ(active, GL_TEXTURE1_ARB);
  activeTexture(GL_TEXTURE0_ARB);
  GlSwapBuffers(main.window);
}

}  // namespace
}  // namespace veskor
