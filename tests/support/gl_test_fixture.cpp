#include "support/gl_test_fixture.h"

#include <cstdlib>

#include "platform/gl.h"

// The leak checker of sanitizer builds: SDL's video start opens a bus connection whose
// buffer libdbus keeps for the whole process, and Mesa keeps a buffer of every multisampled
// window it has drawn for.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\nleak:swrast_dri.so\n";
}

// The leak checker of sanitizer builds reads the dynamic TLS ranges that it recorded through
// __tls_get_addr; with Mesa's libraries one such range can be no memory at all (seen: 96 GiB
// from 0xd5d), and the check then fails ("Tracer caught signal 11") in whichever GL test the
// layout of memory leads there. Dynamic TLS is left unrecorded.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }

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
