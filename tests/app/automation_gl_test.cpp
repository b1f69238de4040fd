// The capture of the back buffer as a PNG file, and the automatic quit that writes it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "app/automation.h"
#include "app/main_plane.h"
#include "app/program_entry.h"
#include "foundation/png_reader.h"
#include "platform/file_replace.h"
#include "platform/given_descriptors.h"
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
  // Through a descriptor that the run was given (VESKOR_CAPTURE=/dev/fd/N), as the shell's
  // redirection opened it: `N>>` keeps what the file held and adds the image after it, `N<>` read
  // past "head\n" writes from there and cuts where the image ends, `N>` holds the image alone.
  const std::string image = test::ReadFileText(dir.Path("shot.png")), head = "head\n";
  const std::string before = head + std::string(4096, 'o');
  const struct {
    int flags;
    off_t at;
    std::string after;
  } redirections[] = {{O_WRONLY | O_APPEND, 0, before + image},
                      {O_RDWR, 5, head + image},
                      {O_WRONLY | O_TRUNC, 0, image}};
  for (const auto& r : redirections) {
    dir.Write("out.png", before);
    const int fd = open(dir.Path("out.png").c_str(), r.flags);
    ASSERT_EQ(lseek(fd, r.at, SEEK_SET), r.at);
    NoteGivenDescriptors();
    setenv("VESKOR_CAPTURE", ("/dev/fd/" + std::to_string(fd)).c_str(), 1);
    AutomationInit();
    QuitRequest = 0;
    DrawHalves();
    AutomationArm();
    AutomationFrameDone(gMainPlane);
    close(fd);
    EXPECT_EQ(AutomationExitCode(0), 0) << r.flags;
    EXPECT_TRUE(test::ReadFileText(dir.Path("out.png")) == r.after) << r.flags;
  }
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
