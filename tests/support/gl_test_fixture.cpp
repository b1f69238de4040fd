#include "support/gl_test_fixture.h"

#include <cstdlib>

#include "platform/gl.h"
#include "platform/process.h"

// The leak checker's dynamic TLS ranges, which can be no memory at all with Mesa's libraries,
// are left unrecorded by the GL layer itself (platform/gl_context.cpp), for the tests as for the
// program.

namespace veskor::test {

GlProbe& GlTestContext() {
  static GlProbe probe;
  static bool tried = false;
  if (!tried) {
    tried = true;
    const char* display = std::getenv("DISPLAY");
    if ((display == nullptr || display[0] == '\0') && std::getenv("SDL_VIDEODRIVER") == nullptr)
      setenv("SDL_VIDEODRIVER", "offscreen", 1);
    GlWindowDesc desc;
    desc.title = "veskor GL test";
    desc.width = kGlTestWindowSize;
    desc.height = kGlTestWindowSize;
    probe.window = GlWindowCreate(desc);
    if (probe.window != nullptr) probe.context = GlContextCreate(probe.window, nullptr);
    // The tests play the program's ends (a close, the quit) in this process, which goes on:
    // nothing times them here. A test of the end itself runs in a process of its own.
    SetRunEndWatch(nullptr);
  }
  return probe;
}

// Every test of a binary shares the context: the state that one sets (enables, blending, the
// texture units' bindings and environments, the client arrays, the matrices) is put back at its
// end, so that the tests after it draw as they would alone.
void GlTest::SetUp() {
  GlProbe& probe = GlTestContext();
  ASSERT_NE(probe.context, nullptr) << "no GL context: " << GlLastError();
  ASSERT_TRUE(GlMakeCurrent(probe.window, probe.context)) << GlLastError();
  glViewport(0, 0, kGlTestWindowSize, kGlTestWindowSize);
  while (glGetError() != GL_NO_ERROR) {
  }
  if (pushed_) return;  // a test that sets up afresh for each of its cases
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
  pushed_ = true;
}

void GlTest::TearDown() {
  if (GlCurrentContext() != nullptr) {
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
  }
  if (!pushed_) return;
  pushed_ = false;
  GlProbe& probe = GlTestContext();
  if (!GlMakeCurrent(probe.window, probe.context)) return;
  const struct {
    GLenum mode, depth;
  } stacks[] = {{GL_TEXTURE, GL_TEXTURE_STACK_DEPTH},
                {GL_PROJECTION, GL_PROJECTION_STACK_DEPTH},
                {GL_MODELVIEW, GL_MODELVIEW_STACK_DEPTH}};
  for (const auto& stack : stacks) {
    glMatrixMode(stack.mode);
    GLint depth = 1;
    for (glGetIntegerv(stack.depth, &depth); depth > 1; --depth) glPopMatrix();
    glLoadIdentity();
  }
  glPopClientAttrib();
  glPopAttrib();  // the matrix mode too
  while (glGetError() != GL_NO_ERROR) {
  }
}

Rgba ReadPixel(int x, int y) {
  Rgba p{};
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &p);
  return p;
}

}  // namespace veskor::test
