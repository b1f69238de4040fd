#include "support/gl_test_fixture.h"

#include <cstdlib>

#include "platform/gl.h"

// The leak checker of sanitizer builds: SDL's video start opens a bus connection whose
// buffer libdbus keeps for the whole process, and Mesa keeps a buffer of every multisampled
// window it has drawn for.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\nleak:swrast_dri.so\n";
}

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
  }
  return probe;
}

void GlTest::SetUp() {
  GlProbe& probe = GlTestContext();
  ASSERT_NE(probe.context, nullptr) << "no GL context: " << GlLastError();
  ASSERT_TRUE(GlMakeCurrent(probe.window, probe.context)) << GlLastError();
  glViewport(0, 0, kGlTestWindowSize, kGlTestWindowSize);
  while (glGetError() != GL_NO_ERROR) {
  }
}

void GlTest::TearDown() {
  if (GlCurrentContext() != nullptr) {
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
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
