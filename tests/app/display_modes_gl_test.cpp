// The display: the geometry fitted to the desktop, the viewport values, and which switch changes
// or restores the display mode, with the display and the window stood in.
#include "app/display_modes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "app/settings.h"
#include "app/window_proc.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"
#include "support/kept_global.h"
#include "support/message_capture.h"

namespace veskor {
namespace {

std::string gLog;
bool gChangeWorks = true;

bool Change(GlWindow*, int w, int h) {
  gLog += "change " + std::to_string(w) + "x" + std::to_string(h) + "; ";
  return gChangeWorks;
}
bool Restore(GlWindow*) {
  gLog += "restore; ";
  return true;
}
void Place(GlWindow*, int x, int y, int w, int h, bool framed) {
  gLog += "place " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(w) + "x" +
          std::to_string(h) + (framed ? " framed; " : " bare; ");
}

class DisplayModesTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    gDisplayPorts = {Change, Restore, Place};
    gLog.clear();
    gChangeWorks = true;
    SetDesktopSize(1280, 1024);
    FullScreenMode = 0;
    FirstLaunch = 0;
    WindowedWidth = 800;
    WindowedHeight = 600;
    WindowedX = WindowedY = 40;
    WorldReady = 1;
    plane_.modeChanged = 0;
    plane_.fullScreenSizeIndex = 3;
    plane_.fullScreenWidth = 1024;
    plane_.fullScreenHeight = 768;
  }
  void TearDown() override {
    gDisplayPorts = DefaultDisplayPorts();
    FullScreenMode = 0;  // the plane's release restores nothing
    test::GlTest::TearDown();
  }
  // What the switches and the fitting set, put back for the tests after these.
  test::Kept<std::uint32_t> desktopWidth_{DesktopWidth}, desktopHeight_{DesktopHeight},
      desktopIndex_{DesktopSizeIndex}, skipSize_{SkipNextSize}, skipMove_{SkipNextMove},
      windowedWidth_{WindowedWidth}, windowedHeight_{WindowedHeight}, first_{FirstLaunch},
      worldReady_{WorldReady}, layoutDirty_{LayoutDirty}, mouseButtons_{MouseButtons},
      mouseEvent_{MouseEvent}, mouseModifiers_{MouseModifiers};
  test::Kept<float> inverseWidth_{InverseDesktopWidth}, inverseHeight_{InverseDesktopHeight};
  test::Kept<GuiPair> designScale_{DesignScale};
  test::Kept<GuiPlane*> capture_{MouseCapture};
  test::Kept<std::int32_t> windowedX_{WindowedX}, windowedY_{WindowedY};
  MainPlane plane_;
};

TEST_F(DisplayModesTest, TheWindowIsFittedToTheDesktop) {
  const struct {
    bool first;
    std::uint32_t desktop[2], registry[2];
    std::int32_t window[4];  // x, y, width, height
    std::string fitted;                                // index w h, window x y w h
  } cases[] = {
      {true, {1600, 1200}, {1024, 768}, {40, 40, 1024, 768}, "7 1600 1200 288 216 1024 768"},
      {true, {1280, 1024}, {640, 480}, {0, 0, 2000, 900}, "5 1280 1024 0 62 1280 900"},
      // None of the eight: the full-screen size stays; a larger window stays on the desktop.
      {true, {1920, 1080}, {1024, 768}, {70, 70, 1280, 1200}, "0 1024 768 0 0 1280 1080"},
      {true, {1920, 1080}, {1024, 768}, {70, 70, 800, 600}, "0 1024 768 112 84 800 600"},
      {true, {1920, 1080}, {2048, 1536}, {0, 0, 1000, 700}, "0 2048 1536 524 380 1000 700"},
      // A stored position: kept while the window is wholly on the desktop, else centred on
      // that axis, (1280 - 800) / 2 and (1024 - 600) / 2 here, off either edge.
      {false, {1280, 1024}, {1024, 768}, {480, 424, 800, 600}, "3 1024 768 480 424 800 600"},
      {false, {1280, 1024}, {1024, 768}, {481, 425, 800, 600}, "3 1024 768 240 212 800 600"},
      {false, {1280, 1024}, {1024, 768}, {0, 0, 800, 600}, "3 1024 768 0 0 800 600"},
      {false, {1280, 1024}, {1024, 768}, {-1, -1, 800, 600}, "3 1024 768 240 212 800 600"},
      {false, {1280, 1024}, {1024, 768}, {0, 425, 800, 600}, "3 1024 768 0 212 800 600"},
      {false, {1280, 1024}, {1024, 768}, {-1, 424, 800, 600}, "3 1024 768 240 424 800 600"},
      {false, {1280, 1024}, {1024, 768}, {-2000, -2000, 1024, 768}, "3 1024 768 128 128 1024 768"},
      {false, {1280, 1024}, {1024, 768}, {5000, 5000, 1024, 768}, "3 1024 768 128 128 1024 768"},
      {false, {1280, 1024}, {1024, 768}, {INT32_MIN, INT32_MAX, 800, 600},
       "3 1024 768 240 212 800 600"},
      // A size out of the desktop's range is brought into it first (0 is 1); a window as large
      // as the desktop then stands at 0 on that axis, from either side.
      {false, {1280, 1024}, {1024, 768}, {-20, 0, 0, 5000}, "3 1024 768 639 0 1 1024"},
      {false, {1280, 1024}, {1024, 768}, {1, -1, 2000, 5000}, "3 1024 768 0 0 1280 1024"},
  };
  for (const auto& c : cases) {
    SetDesktopSize(c.desktop[0], c.desktop[1]);
    FirstLaunch = c.first ? 1 : 0;
    plane_.fullScreenSizeIndex = 3;
    plane_.fullScreenWidth = c.registry[0];
    plane_.fullScreenHeight = c.registry[1];
    WindowedX = c.window[0];
    WindowedY = c.window[1];
    WindowedWidth = static_cast<std::uint32_t>(c.window[2]);
    WindowedHeight = static_cast<std::uint32_t>(c.window[3]);
    FitWindowGeometry(plane_);
    const std::string fitted =
        std::to_string(plane_.fullScreenSizeIndex) + " " + std::to_string(plane_.fullScreenWidth) +
        " " + std::to_string(plane_.fullScreenHeight) + " " + std::to_string(WindowedX) + " " +
        std::to_string(WindowedY) + " " + std::to_string(WindowedWidth) + " " +
        std::to_string(WindowedHeight);
    EXPECT_EQ(fitted, c.fitted);
  }
}

TEST_F(DisplayModesTest, ResizeViewportSetsTheLayoutValues) {
  const struct {
    std::uint32_t fullScreen, width, height;
    float pixel[2], scale[2], aspect;
    GLint viewport[2];
  } cases[] = {
      {0, 640, 400, {1 / 640.0f, 1 / 400.0f}, {1.6f, 1024 / 600.0f}, 0.75f, {640, 400}},
      {0, 0, 0, {1, 1}, {1.6f, 1024 / 600.0f}, 0.75f, {1, 1}},
      {1, 1024, 768, {1 / 1024.0f, 1 / 768.0f}, {9, 9}, 0.8f, {1024, 768}},  // the desktop's
  };
  for (const auto& c : cases) {
    FullScreenMode = c.fullScreen;
    DesignScale = {9, 9};
    LayoutDirty = 0;
    ResizeViewport(c.width, c.height);
    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[2] * 10000 + v[3], c.viewport[0] * 10000 + c.viewport[1]);
    EXPECT_FLOAT_EQ(PixelSize.x, c.pixel[0]);
    EXPECT_FLOAT_EQ(PixelSize.y, c.pixel[1]);
    EXPECT_FLOAT_EQ(DesignScale.x, c.scale[0]);
    EXPECT_FLOAT_EQ(DesignScale.y, c.scale[1]);
    EXPECT_FLOAT_EQ(ViewAspect.factor, c.aspect);
    EXPECT_FLOAT_EQ(ViewAspect.inverse, 1 / c.aspect);
    EXPECT_EQ(LayoutDirty, 1u);
  }
}

TEST_F(DisplayModesTest, OnlyFullScreenAtAnotherSizeChangesTheMode) {
  const struct {
    std::uint32_t fullScreen;
    bool changeWorks;
    std::function<std::uint32_t(MainPlane&)> op;
    std::string log;
    std::string after;  // result, FullScreenMode, modeChanged, WorldReady, size index
  } cases[] = {
      {0, true, [](MainPlane& p) { return SwitchFullScreen(p, 5); }, "", "1 0 0 1 5"},
      {1, true, [](MainPlane& p) { return SwitchFullScreen(p, 3); }, "", "1 1 0 1 3"},
      {1, true, [](MainPlane& p) { return SwitchFullScreen(p, 9); }, "", "0 1 0 1 9"},
      {1, true, [](MainPlane& p) { return SwitchFullScreen(p, 2); },
       "change 800x600; place 0,0 800x600 bare; ", "1 1 1 1 2"},
      {1, true, [](MainPlane& p) { return SwitchFullScreen(p, 5); },
       "restore; place 0,0 1280x1024 bare; ", "1 1 1 1 5"},
      {1, false, [](MainPlane& p) { return SwitchFullScreen(p, 2); },
       "change 800x600; place 40,40 800x600 framed; ", "1 0 1 1 2"},
      {0, true, [](MainPlane& p) { return SelectFullScreenSize(p, 1); }, "", "0 0 0 1 2"},
      {1, true, [](MainPlane& p) { return SelectFullScreenSize(p, 1); },
       "change 800x600; place 0,0 800x600 bare; ", "1 1 1 0 2"},
      {1, true, [](MainPlane& p) { return SelectFullScreenSize(p, 2); }, "", "0 1 0 1 3"},
      {1, true, [](MainPlane& p) { p.modeChanged = 1; return SelectFullScreenSize(p, 2); }, "",
       "1 1 1 0 3"},
      {0, true, [](MainPlane& p) { return ToggleWindowMode(p); },
       "change 1024x768; place 0,0 1024x768 bare; ", "1 1 1 0 3"},
      {0, false, [](MainPlane& p) { return ToggleWindowMode(p); }, "change 1024x768; ",
       "0 0 0 1 3"},
      {1, true, [](MainPlane& p) { return ToggleWindowMode(p); },
       "restore; place 40,40 800x600 framed; ", "1 0 1 0 3"},
      {0, true, [](MainPlane& p) { p.fullScreenWidth = 1280; p.fullScreenHeight = 1024;
                                   return ToggleWindowMode(p); },
       "restore; place 0,0 1280x1024 bare; ", "1 1 0 1 3"},
      {1, true, [](MainPlane& p) { p.fullScreenWidth = 1280; p.fullScreenHeight = 1024;
                                   return ToggleWindowMode(p); },
       "place 40,40 800x600 framed; ", "1 0 0 1 3"},
      {1, true, [](MainPlane& p) { return ApplyDisplayMode(p); }, "change 1024x768; ",
       "1 1 1 1 3"},
      {1, false, [](MainPlane& p) { return ApplyDisplayMode(p); }, "change 1024x768; ",
       "0 0 0 1 3"},
      {0, true, [](MainPlane& p) { return ApplyDisplayMode(p); }, "", "1 0 0 1 3"},
  };
  const std::string question =
      "Confirmation :  [exclamation] Full Screen Mode not supported !\n Use Windowed Mode ?\n";
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SetUp();
    FullScreenMode = cases[i].fullScreen;
    gChangeWorks = cases[i].changeWorks;
    MouseButtons = MouseEvent = 1;
    test::MessageCapture capture;
    const std::uint32_t result = cases[i].op(plane_);
    EXPECT_EQ(gLog, cases[i].log) << i;
    EXPECT_EQ(std::to_string(result) + " " + std::to_string(FullScreenMode) + " " +
                  std::to_string(plane_.modeChanged) + " " + std::to_string(WorldReady) + " " +
                  std::to_string(plane_.fullScreenSizeIndex),
              cases[i].after)
        << i;
    EXPECT_EQ(capture.Text(), cases[i].changeWorks ? "" : question) << i;
  }
}

TEST_F(DisplayModesTest, LeavingFullScreenClearsTheMouseAndDesignScaleFollowsTheMode) {
  FullScreenMode = 1;
  MouseButtons = MouseEvent = HeldButtons = MouseModifiers = 1;
  GuiPlane captured;
  MouseCapture = &captured;
  ToggleWindowMode(plane_);
  EXPECT_EQ(MouseButtons + MouseEvent + HeldButtons + MouseModifiers, 0u);
  EXPECT_EQ(MouseCapture, nullptr);
  EXPECT_FLOAT_EQ(DesignScale.x, 1.6f);
  ToggleWindowMode(plane_);
  EXPECT_FLOAT_EQ(DesignScale.x, 1.0f);
  EXPECT_EQ(SkipNextMove + SkipNextSize, 2u);
}

TEST_F(DisplayModesTest, AnsweringNoToTheQuestionEndsTheProgram) {
  FullScreenMode = 1;
  gChangeWorks = false;
  test::MessageCapture::Answer("no");
  EXPECT_EXIT(SwitchFullScreen(plane_, 2), testing::ExitedWithCode(1),
              "Error : Shutdown \\[stop\\] Program Aborted !\n$");
  test::MessageCapture::Answer("yes");
}

}  // namespace
}  // namespace veskor
