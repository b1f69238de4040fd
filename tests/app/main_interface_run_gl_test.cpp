// The program with its real window on the product tree, a world stood in by a plain scene and
// the welcome sequence by its delay alone: its menu bar shows over the world once the delay
// ends, and pointer messages open the main menu, the setup panel and the view list.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/program_entry.h"
#include "app/welcome_screen.h"
#include "app/window_init.h"
#include "app/window_proc.h"
#include "language/world.h"
#include "platform/gl.h"
#include "platform/process.h"
#include "shell_test_support.h"
#include "support/message_capture.h"

namespace veskor {
namespace {

std::string gLog, gLast;

std::string Pixel(int x, int y) {
  std::uint8_t p[4];
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, 767 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]);
}

// Before each swap of a drawn frame: what is shown, logged when it changes; the first frame
// with the menu bar also logs a pixel in the bar and one of the scene. Until the window's
// activation comes no frame is drawn, and what the planes would show is not logged.
void RecordingSwap(MainPlane& plane) {
  if (DrawEnabled == 0) return GlSwapBuffers(plane.window);
  char now[96];
  std::snprintf(now, sizeof now, "bar %u menu %u setup %u view %u", MenuBar.hidden == 0,
                MainMenuList.hidden == 0, SetupPanel.hidden == 0, ViewList.hidden == 0);
  if (gLast != now) {
    gLog += now;
    if (gLast.empty() || gLast.compare(0, 5, "bar 0") == 0)
      gLog += " | " + Pixel(80, 50) + " | " + Pixel(500, 400);
    gLog += "\n";
    gLast = now;
  }
  GlSwapBuffers(plane.window);
}

WindowMessage Mouse(std::uint32_t message, int x, int y, std::uint32_t buttons = 0) {
  return {message, buttons, MakeLParam(x, y)};
}

TEST(MainInterfaceRun, ThePointerOpensTheMainMenuTheSetupPanelAndTheViewList) {
  test::TempDir dir("veskor_run");
  test::TestStore store(dir);
  store.Set("FirstLaunch", "FALSE");
  store.Set("ResourceDir", std::string(VESKOR_PRODUCT_DIR) + "resources/");
  store.Write();
  const std::string report = dir.Path("report");
  const int code = test::RunInChild([&] {
    gFrameServices.compileSession = [](const char*) { return 1u; };
    gFrameServices.renderSession = [] { WorldReady = 1; };
    gFrameServices.sceneDraw = [](Camera&, std::uint32_t, std::uint32_t* polygons) {
      glClearColor(30 / 255.0f, 160 / 255.0f, 60 / 255.0f, 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
      *polygons = 0;
    };
    // The sequence's end without the sequence: the main widgets when the delay ends.
    gFrameServices.welcomeScreen = [] {
      WelcomeScreenPending = 0;
      WelcomeCountdown = 1;
      WelcomePanel.ownerCallback = ShowMainWidgets;
    };
    CompileRequest = 1;
    ShellPorts ports = test::WindowPorts({
        // On WorldButton, once a frame has shown the menu bar: the welcome delay counts drawn
        // frames, which start when the window's activation comes, however late.
        {Mouse(kWmMouseMove, 24, 30), 1,
         [] { return WelcomeScreenPending == 0 && WelcomeCountdown == 0 && MenuBar.hidden == 0; }},
        {Mouse(kWmLButtonDown, 24, 30, kMkLButton), 2},
        {Mouse(kWmLButtonUp, 24, 30), 2},
        {Mouse(kWmMouseMove, 240, 30), 3},  // off the menu, which closes, onto SetupButton
        {Mouse(kWmLButtonDown, 240, 30, kMkLButton), 2},
        {Mouse(kWmLButtonUp, 240, 30), 2},
        {Mouse(kWmMouseMove, 134, 30), 3},  // on ViewButton
        {Mouse(kWmMouseMove, 600, 60), 3},  // off it: the list closes five ticks later
        {{kWmClose, 0, 0}, 10},
    });
    ports.swapBuffers = RecordingSwap;
    const int result = WinMain("", ports);
    std::FILE* f = std::fopen(report.c_str(), "w");
    std::fputs(gLog.c_str(), f);
    std::fclose(f);
    QuickExit(result);
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(test::ReadFileText(report),
            "bar 0 menu 0 setup 0 view 0 | 0 0 0 | 0 0 0\n"  // compiled at the end of frame 1
            "bar 1 menu 0 setup 0 view 0 | 113 118 143 | 30 160 60\n"
            "bar 1 menu 1 setup 0 view 0\n"
            "bar 1 menu 0 setup 0 view 0\n"
            "bar 1 menu 0 setup 1 view 0\n"
            "bar 1 menu 0 setup 1 view 1\n"
            "bar 1 menu 0 setup 1 view 0\n");
}

// Closing the window is a normal exit too: the saved views reach their file, and without any
// an old file stays as it was. A data directory and a store that cannot be written are each
// told of in a box, naming the file and the reason, and the exit goes on.
TEST(MainInterfaceRun, ClosingTheWindowWritesTheBookmarksOrSaysWhyNot) {
  for (const bool writable : {true, false}) {
    for (const int bookmarks : {0, 3}) {
      if (!writable && bookmarks == 0) continue;
      SCOPED_TRACE(std::to_string(bookmarks) + (writable ? "" : " unwritable"));
      test::TempDir dir("veskor_run");
      if (writable) {
        std::filesystem::create_directories(dir.Path("binary"));
        dir.Write("binary/bookmark.wld", "old");
      } else {
        dir.Write("binary", "a file where the data directory should be");
      }
      test::TestStore store(dir);
      store.Set("FirstLaunch", "FALSE");
      store.Set("ResourceDir", std::string(VESKOR_PRODUCT_DIR) + "resources/");
      // More than the child may write to a file when it cannot (the limit holds for root too).
      const std::string written = store.Write() + "; " + std::string(4000, '-') + "\n";
      dir.Write("registry", written);
      test::MessageCapture capture;
      const int code = test::RunInChild([&] {
        if (!writable) {
          signal(SIGXFSZ, SIG_IGN);
          const rlimit limit{2048, 2048};
          setrlimit(RLIMIT_FSIZE, &limit);
        }
        gWorld.snapshotCount = static_cast<std::uint16_t>(bookmarks);
        const int result = WinMain("", test::WindowPorts({{{kWmClose, 0, 0}, 3}}));
        // What a normal exit runs first, without the leak check of sanitizer builds after it
        // (which would count what the system's libraries keep for the process).
        MainPlaneShutdown(gMainPlane);
        QuickExit(result);
      });
      EXPECT_EQ(code, 0);
      if (!writable) {
        EXPECT_EQ(capture.Text(),
                  "Warning : Shutdown [exclamation] Bookmarks not saved !\n\nCannot write " +
                      dir.Path("binary/bookmark.wld") +
                      " :\nNot a directory\n"
                      "Warning : Shutdown [exclamation] Settings not saved !\n\nCannot write " +
                      store.path() + " :\nFile too large\n");
        EXPECT_EQ(store.Text(), written);
        continue;
      }
      EXPECT_EQ(capture.Text(), "");
      const std::string text = test::ReadFileText(dir.Path("binary/bookmark.wld"));
      if (bookmarks == 0) {
        EXPECT_EQ(text, "old");
      } else {
        EXPECT_EQ(text.substr(0, 23), "Camera CameraBookMark0\n");
        EXPECT_NE(text.find("Camera CameraBookMark2\n"), std::string::npos);
      }
    }
  }
}

}  // namespace
}  // namespace veskor
