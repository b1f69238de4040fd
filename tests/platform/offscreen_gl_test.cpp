// Off-screen buffers over framebuffer objects: drawing into one, reading its colour and depth
// back, copying it into a texture; sizes refused; the WGL pixel-format and pbuffer stand-ins.
#include "platform/offscreen.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

using test::GlTest;
using test::ReadPixel;

constexpr int kWidth = 32;
constexpr int kHeight = 16;

// How many renderbuffer and framebuffer names are alive among the first few hundred.
int LiveObjects() {
  auto isRenderbuffer =
      reinterpret_cast<PFNGLISRENDERBUFFERPROC>(GlGetProcAddress("glIsRenderbuffer"));
  auto isFramebuffer =
      reinterpret_cast<PFNGLISFRAMEBUFFERPROC>(GlGetProcAddress("glIsFramebuffer"));
  int live = 0;
  for (GLuint name = 1; name < 300; ++name)
    live += (isRenderbuffer(name) ? 1 : 0) + (isFramebuffer(name) ? 1 : 0);
  return live;
}

TEST_F(GlTest, OffscreenBufferRoundTrip) {
  glClearColor(0, 0, 1, 1);  // the window: blue
  glClear(GL_COLOR_BUFFER_BIT);
  const int live = LiveObjects();
  OffscreenStatus status = OffscreenStatus::kIncomplete;
  OffscreenBuffer* buffer = OffscreenCreate(kWidth, kHeight, &status);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(LiveObjects(), live + 3);  // a framebuffer with two renderbuffers
  EXPECT_EQ(status, OffscreenStatus::kReady);
  EXPECT_EQ(OffscreenWidth(buffer), kWidth);
  EXPECT_EQ(OffscreenHeight(buffer), kHeight);

  OffscreenMakeCurrent(buffer);
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], kWidth);
  EXPECT_EQ(viewport[3], kHeight);
  glClearColor(1, 0, 0, 1);  // the buffer: red, depth 1
  glClearDepth(1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glColor3f(0, 1, 0);
  glBegin(GL_QUADS);  // the left half green at depth 0.5 (window depth 0.75)
  glVertex3f(-1, -1, 0.5f);
  glVertex3f(0, -1, 0.5f);
  glVertex3f(0, 1, 0.5f);
  glVertex3f(-1, 1, 0.5f);
  glEnd();
  glDisable(GL_DEPTH_TEST);
  OffscreenRestoreWindow();
  glViewport(0, 0, test::kGlTestWindowSize, test::kGlTestWindowSize);

  std::vector<std::uint8_t> colour(4 * kWidth * kHeight);
  std::vector<float> depth(kWidth * kHeight);
  OffscreenReadColor(buffer, 0, 0, kWidth, kHeight, colour.data());
  OffscreenReadDepth(buffer, 0, 0, kWidth, kHeight, depth.data());
  const int row = kHeight / 2 * kWidth;
  for (const int x : {0, kWidth / 2 - 1, kWidth / 2, kWidth - 1}) {
    const bool left = x < kWidth / 2;
    EXPECT_EQ(colour[4 * (row + x)], left ? 0 : 255) << x;
    EXPECT_EQ(colour[4 * (row + x) + 1], left ? 255 : 0) << x;
    EXPECT_NEAR(depth[row + x], left ? 0.75f : 1.0f, 1e-5f) << x;
  }
  EXPECT_EQ(ReadPixel(8, 8).b, 255);  // the window was not drawn into

  // Copied into a texture and drawn over the window.
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  OffscreenCopyToTexture(buffer, GL_TEXTURE_2D, 0, 0, 0, 0, 0, kWidth, kHeight);
  glEnable(GL_TEXTURE_2D);
  glColor3f(1, 1, 1);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0), glVertex2f(-1, -1);
  glTexCoord2f(1, 0), glVertex2f(1, -1);
  glTexCoord2f(1, 1), glVertex2f(1, 1);
  glTexCoord2f(0, 1), glVertex2f(-1, 1);
  glEnd();
  glDisable(GL_TEXTURE_2D);
  glDeleteTextures(1, &texture);
  EXPECT_EQ(ReadPixel(8, 32).g, 255);
  EXPECT_EQ(ReadPixel(56, 32).r, 255);
  OffscreenDestroy(buffer);
  EXPECT_EQ(LiveObjects(), live);
}

TEST_F(GlTest, OffscreenSizesOutsideTheDriversRangeAreRefused) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
  const struct {
    int w, h;
    bool made;
  } cases[] = {{0, 8, false}, {8, 0, false}, {largest + 1, 1, false}, {1, largest + 1, false},
               {1, 1, true}};
  for (const auto& c : cases) {
    OffscreenStatus status = OffscreenStatus::kReady;
    OffscreenBuffer* buffer = OffscreenCreate(c.w, c.h, &status);
    EXPECT_EQ(buffer != nullptr, c.made) << c.w << " x " << c.h;
    EXPECT_EQ(status, c.made ? OffscreenStatus::kReady : OffscreenStatus::kBadSize);
    OffscreenDestroy(buffer);
  }
}

using ChooseFormat = int (*)(void*, const int*, const float*, unsigned, int*, unsigned*);
using FormatAttributes = int (*)(void*, int, int, unsigned, const int*, int*);

TEST_F(GlTest, PbufferEntryPointsStandOnFramebufferObjects) {
  auto choose = reinterpret_cast<ChooseFormat>(GlGetProcAddress("wglChoosePixelFormatARB"));
  auto create = reinterpret_cast<void* (*)(void*, int, int, int, const int*)>(
      GlGetProcAddress("wglCreatePbufferARB"));
  auto getDc = reinterpret_cast<void* (*)(void*)>(GlGetProcAddress("wglGetPbufferDCARB"));
  auto releaseDc =
      reinterpret_cast<int (*)(void*, void*)>(GlGetProcAddress("wglReleasePbufferDCARB"));
  auto destroy = reinterpret_cast<int (*)(void*)>(GlGetProcAddress("wglDestroyPbufferARB"));
  auto query =
      reinterpret_cast<int (*)(void*, int, int*)>(GlGetProcAddress("wglQueryPbufferARB"));
  // The render preparation's request: accelerated, to pbuffer, no samples, RGBA8, 24/8.
  const int pbuffer[] = {0x2003, 0x2027, 0x202D, 1, 0x2041, 0, 0x2013, 0x202B, 0x2011, 0,
                         0x2015, 8, 0x2017, 8, 0x2019, 8, 0x201B, 8, 0x2022, 24, 0x2023, 8,
                         0x2010, 1, 0};
  int format = 0;
  unsigned count = 9;
  EXPECT_EQ(choose(nullptr, pbuffer, nullptr, 32, &format, &count), 1);
  ASSERT_EQ(count, 1u);
  void* pb = create(nullptr, format, 1024, 800, nullptr);
  ASSERT_NE(pb, nullptr);
  for (const auto& [attribute, want] : {std::pair{0x2034, 1024}, {0x2035, 800}, {0x2036, 0}}) {
    int value = -1;
    EXPECT_EQ(query(pb, attribute, &value), 1);
    EXPECT_EQ(value, want);  // width, height, lost
  }
  void* dc = getDc(pb);
  EXPECT_EQ(dc, pb);
  EXPECT_EQ(releaseDc(pb, dc), 1);
  EXPECT_EQ(destroy(pb), 1);
  // Pbuffers have no samples and no depth beyond 24 bits.
  const int sampled[] = {0x202D, 1, 0x2041, 1, 0x2042, 4, 0};
  const int deep[] = {0x202D, 1, 0x2022, 32, 0};
  for (const int* attributes : {sampled, deep}) {
    EXPECT_EQ(choose(nullptr, attributes, nullptr, 32, &format, &count), 1);
    EXPECT_EQ(count, 0u);
  }
}

TEST_F(GlTest, WindowPixelFormatsAreAnsweredThroughTheContextAttributes) {
  auto choose = reinterpret_cast<ChooseFormat>(GlGetProcAddress("wglChoosePixelFormatARB"));
  auto attributes =
      reinterpret_cast<FormatAttributes>(GlGetProcAddress("wglGetPixelFormatAttribivARB"));
  // The main window's request with 4 samples, then with 8 (this driver has no 8x visuals).
  for (const int samples : {4, 8}) {
    const int window[] = {0x2010, 1, 0x2003, 0x2027, 0x2041, 1, 0x2042, samples, 0x2001, 1,
                          0x2013, 0x202B, 0x2011, 1, 0x2012, 0, 0x2002, 0, 0x2024, 0,
                          0x2014, 24, 0x201B, 8, 0x2022, 24, 0x2023, 8, 0};
    int format = 0;
    unsigned count = 0;
    EXPECT_EQ(choose(nullptr, window, nullptr, 32, &format, &count), 1);
    EXPECT_EQ(GlCurrentContext(), test::GlTestContext().context);
    if (samples == 8) {
      EXPECT_EQ(count, 0u);
      continue;
    }
    ASSERT_EQ(count, 1u);
    const int asked[] = {0x2014, 0x201B, 0x2023, 0x2022, 0x2042};
    int got[5] = {};
    EXPECT_EQ(attributes(nullptr, format, 0, 5, asked, got), 1);
    EXPECT_GE(got[0], 24);
    EXPECT_EQ(got[1], 8);
    EXPECT_EQ(got[2], 8);
    EXPECT_GE(got[3], 24);
    EXPECT_EQ(got[4], 4);
    GlPixelFormat pixelFormat;
    ASSERT_TRUE(OffscreenPixelFormat(format, &pixelFormat));
    EXPECT_EQ(pixelFormat.samples, 4);
    EXPECT_FALSE(OffscreenPixelFormat(1, &pixelFormat));  // the pbuffer format
    EXPECT_EQ(attributes(nullptr, format + 1, 0, 5, asked, got), 0);
  }
  // The current context still draws.
  glClearColor(0, 1, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(ReadPixel(1, 1).g, 255);
}

}  // namespace
}  // namespace veskor
