// The capture of the back buffer as a PNG file, and the automatic quit that writes it.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "app/automation.h"
#include "app/main_plane.h"
#include "app/program_entry.h"
#include "foundation/png_reader.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"
#include "support/message_capture.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

using AutomationGlTest = test::GlTest;

// Red over the top half of the 64 x 64 window, green under it.
void DrawHalves() {
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, 64, 32);
  glClearColor(0, 1, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
}

std::string Pixel(const PngPixels& png, std::uint32_t rowBytes, int x, int y) {
  const std::uint8_t* p = png.get() + y * rowBytes + x * 3;
  return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
}

TEST_F(AutomationGlTest, TheLastFrameIsWrittenTopRowFirstAndTheQuitTaken) {
  test::TempDir dir("veskor_capture");
  FullScreenMode = 0;
  WindowedWidth = WindowedHeight = test::kGlTestWindowSize;
  setenv("VESKOR_AUTOQUIT", "1", 1);
  setenv("VESKOR_CAPTURE", dir.Path("shot.png").c_str(), 1);
  AutomationInit();
  QuitRequest = 0;
  DrawHalves();
  AutomationArm();
  AutomationFrameDone(gMainPlane);
  EXPECT_EQ(QuitRequest, 1u);
  EXPECT_EQ(AutomationExitCode(0), 0);  // the image written: the loop's status
  PngPixels png;
  std::uint32_t w = 0, h = 0, channels = 0, rowBytes = 0;
  ASSERT_EQ(LoadPngFile(dir.Path("shot.png").c_str(), png, w, h, channels, rowBytes), 1u);
  EXPECT_EQ(w * 1000 + h * 10 + channels, 64u * 1000 + 640 + 3);
  EXPECT_EQ(Pixel(png, rowBytes, 0, 0) + " " + Pixel(png, rowBytes, 63, 31) + " " +
                Pixel(png, rowBytes, 0, 32) + " " + Pixel(png, rowBytes, 63, 63),
            "255,0,0 255,0,0 0,255,0 0,255,0");
  // A capture that cannot be written is recorded; the quit is taken all the same.
  test::MessageCapture capture;
  setenv("VESKOR_CAPTURE", dir.Path("no/shot.png").c_str(), 1);
  AutomationInit();
  QuitRequest = 0;
  AutomationArm();
  AutomationFrameDone(gMainPlane);
  EXPECT_EQ(QuitRequest, 1u);
  EXPECT_EQ(AutomationExitCode(0), kCaptureMissingExitStatus);
  EXPECT_EQ(capture.Text(), "Capture [none] cannot write " + dir.Path("no/shot.png") +
                                ": cannot make a file in " + dir.Path("no") +
                                ": No such file or directory\n");
  unsetenv("VESKOR_AUTOQUIT");
  unsetenv("VESKOR_CAPTURE");
  AutomationInit();
  QuitRequest = 0;
}

}  // namespace
}  // namespace veskor
