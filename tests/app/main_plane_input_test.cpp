#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/help_page.h"
#include "app/welcome_screen.h"
#include "app/window_init.h"
#include "app/window_proc.h"
#include "foundation/frame_clock.h"
#include "support/message_capture.h"

namespace veskor {
namespace {

// A key held: the virtual key down and the code it last produced.
struct Key {
  std::uint32_t vk, code;
};
constexpr Key kLeft{kVkLeft, 4}, kRight{kVkRight, 6}, kPageUp{kVkPageUp, 0},
    kPageDown{kVkPageDown, 1}, kHome{kVkHome, 3}, kEnd{kVkEnd, 2}, kUp{kVkUp, 5},
    kDown{kVkDown, 7}, kEscape{kVkEscape, 27}, kControl{kVkControl, 29}, kSpace{kVkSpace, ' '};
constexpr Key Char(char c) { return {static_cast<std::uint32_t>(c >= 'a' ? c - 32 : c),
                                     static_cast<std::uint32_t>(c)}; }

class MainPlaneInputTest : public testing::Test {
 protected:
  void SetUp() override {
    std::memset(KeyDownTable, 0, sizeof KeyDownTable);
    std::memset(KeyCodeMap, 0, sizeof KeyCodeMap);
    WorldReady = 1;
    ExamineMode = MouseLook = DisplayMode = 0;
    ExamineIndex = kNoExamine;
    SelectedView = -1;
    SelectedViewTransition = 0;
    CloudsShown = SunFlareShown = 1;
    ViewFocalAngle = 45;
    FlightSpeed = DragOffsetX = DragOffsetY = PressX = PressY = 0;
    gWorld.cameraCount = gWorld.examineCount = gWorld.snapshotCount = 0;
    *ViewCamera = Camera{};
    CameraSetPosition(*ViewCamera, 0, 0, 0);
    CameraSetDirection(*ViewCamera, 0, 1, 0);
    FrameClockStartAt(0);
    FrameClockTickAt(125'000'000);  // 0.125 s: step 200 x 0.125 = 25 at rest
  }
  void Hold(const std::vector<Key>& keys) {
    for (const Key& k : keys) {
      KeyCodeMap[k.code] = k.vk;
      KeyDownTable[k.vk] = 1;
    }
  }
  void AddExamine(float x, float y, float z) {
    ExamineRecord& e = gWorld.examines[gWorld.examineCount++];
    e.position[0] = x;
    e.position[1] = y;
    e.position[2] = z;
  }
  // What the keys and drags change, rounded.
  static std::string State() {
    const Camera& c = *ViewCamera;
    char s[256];
    std::snprintf(s, sizeof s, "d %.4f %.4f %.4f p %g %g %g view %d %g exm %u %u fov %g %g %g", c.direction[0],
                  c.direction[1], c.direction[2], c.position[0], c.position[1], c.position[2],
                  SelectedView, SelectedViewTransition, ExamineMode, ExamineIndex,
                  ViewFocalAngle, c.focalAngle, c.fovy);
    return s;
  }
};

TEST_F(MainPlaneInputTest, KeysTurnTiltLiftZoomAndChooseViews) {
  const std::string rest = " p 0 0 0 view -1 0 exm 0 65535 fov 45 80 80";
  const struct {
    std::vector<Key> keys;
    std::function<void()> before;
    std::string state;
  } cases[] = {
      {{kLeft}, [] {}, "d -0.0436 0.9990 0.0000" + rest},
      {{kRight}, [] {}, "d 0.0436 0.9990 0.0000" + rest},
      {{kPageUp}, [] {}, "d 0.0000 0.9990 -0.0436" + rest},
      {{kPageDown}, [] {}, "d 0.0000 0.9990 0.0436" + rest},
      {{kHome}, [] {}, "d 0.0000 1.0000 0.0000 p 0 0 8 view -1 0 exm 0 65535 fov 45 80 80"},
      {{kEnd}, [] {}, "d 0.0000 1.0000 0.0000 p 0 0 -8 view -1 0 exm 0 65535 fov 45 80 80"},
      {{kLeft}, [] { WorldReady = 0; }, "d 0.0000 1.0000 0.0000" + rest},
      // Space: no examine point, the nearest of two, the first of two as near, back out.
      {{kSpace}, [] {}, "d 0.0000 1.0000 0.0000" + rest},
      {{kSpace}, [this] { gWorld.cameraCount = 2; AddExamine(9, 0, 0); AddExamine(0, 3, 4); },
       "d 0.0000 1.0000 0.0000 p 0 0 0 view 3 50 exm 1 1 fov 45 80 80"},
      {{kSpace}, [this] { AddExamine(0, 5, 0); AddExamine(0, -5, 0); },
       "d 0.0000 1.0000 0.0000 p 0 0 0 view 0 50 exm 1 0 fov 45 80 80"},
      {{kSpace}, [] { ExamineMode = 1; SelectedView = 2; ExamineIndex = 0; },
       "d 0.0000 1.0000 0.0000 p 0 0 0 view -1 0 exm 0 0 fov 45 80 80"},
      // Digits over 2 cameras, 2 examine points, 1 snapshot: the first held counts.
      {{Char('3'), Char('1')}, [this] { gWorld.cameraCount = 2; AddExamine(1, 1, 1);
                                        AddExamine(2, 2, 2); gWorld.snapshotCount = 1; },
       "d 0.0000 1.0000 0.0000 p 0 0 0 view 1 50 exm 0 65535 fov 45 80 80"},
      {{Char('3')}, [this] { gWorld.cameraCount = 2; AddExamine(1, 1, 1); AddExamine(2, 2, 2);
                             DragOffsetX = 1; },
       "d 0.0000 1.0000 0.0000 p 0 0 0 view 3 50 exm 1 1 fov 45 80 80"},
      {{Char('4'), Char('w')}, [this] { gWorld.cameraCount = 2; AddExamine(1, 1, 1);
                                        AddExamine(2, 2, 2); gWorld.snapshotCount = 1;
                                        SelectedView = 2; },
       "d 0.0000 1.0000 0.0000 p 0 0 0 view 4 50 exm 0 65535 fov 45 80 80"},
      {{Char('7')}, [this] { gWorld.cameraCount = 2; AddExamine(1, 1, 1); SelectedView = 2; },
       "d 0.0000 1.0000 0.0000 p 0 0 0 view 2 0 exm 1 0 fov 45 80 80"},  // beyond: kept
      // Zoom within [1, 179].
      {{Char('w')}, [] {}, "d 0.0000 1.0000 0.0000 p 0 0 0 view -1 0 exm 0 65535 fov 43 43 43"},
      {{Char('W')}, [] { ViewFocalAngle = 2.5f; },
       "d 0.0000 1.0000 0.0000 p 0 0 0 view -1 0 exm 0 65535 fov 1 1 1"},
      {{Char('x')}, [] { ViewFocalAngle = 176; },
       "d 0.0000 1.0000 0.0000 p 0 0 0 view -1 0 exm 0 65535 fov 178 178 178"},
      {{Char('X')}, [] { ViewFocalAngle = 178; },
       "d 0.0000 1.0000 0.0000 p 0 0 0 view -1 0 exm 0 65535 fov 179 179 179"},
  };
  for (const auto& c : cases) {
    SetUp();
    c.before();
    Hold(c.keys);
    MainPlaneOnKey(KeyDownTable);
    EXPECT_EQ(State(), c.state) << c.keys.front().vk;
    EXPECT_EQ(ExamineCheck.checked, ExamineMode);
  }
}

TEST_F(MainPlaneInputTest, ControlCombinationsToggleOnceTheirLetterWasTyped) {
  test::MessageCapture capture;
  ChosenPixelFormat = {24, 8, 24, 8};
  Hold({kControl});
  KeyDownTable['L'] = 1;  // "l" never typed: its code names no key yet
  MainPlaneOnKey(KeyDownTable);
  EXPECT_EQ(DisplayMode, 0u);
  for (char letter : {'l', 'l', 'l', 'c', 'f', 'b'}) {
    std::memset(KeyDownTable, 0, sizeof KeyDownTable);
    Hold({kControl, Char(letter)});
    MainPlaneOnKey(KeyDownTable);
  }
  EXPECT_EQ(DisplayMode * 100 + CloudsShown * 10 + SunFlareShown, 0u);  // 3 steps of l: 0 again
  Hold({Char('l')});
  WorldReady = 0;  // keys but Escape do nothing before a world is ready
  MainPlaneOnKey(KeyDownTable);
  EXPECT_EQ(DisplayMode, 0u);
  EXPECT_EQ(capture.Text(),
            "Error [exclamation] Colors [24 bits]\nAlpha [8 bits]\nDepth [24 bits]\nStencil [8 "
            "bits]\n");
  WelcomeRunning = HelpShown = 1;
  Hold({kEscape});
  MainPlaneOnKey(KeyDownTable);
  // Both screens fade out, each to its end.
  EXPECT_EQ(WelcomeFadeHandles[kWelcomeFadeCount - 1].active + HelpHandles[kHelpBorderOut].active,
            2);
  StopWelcomeAnimations();
  for (AnimationHandle& h : HelpHandles) AnimationStop(&h);
  HelpShown = 0;
}

TEST_F(MainPlaneInputTest, DragsFlyAlongTheViewAndKeyArrowsSetTheSpeed) {
  const struct {
    std::uint32_t buttons;
    std::function<void()> before;
    std::string state;
    std::uint32_t look;
  } cases[] = {
      {kButtonLeft, [] {}, "p 0 25 0 off 0.25 -0.5", 1},
      {kButtonRight, [] {}, "p 0 -25 0 off 0.25 -0.5", 1},
      {kButtonLeft | kButtonRight, [] {}, "p 0 0 0 off 0.25 -0.5", 1},
      {kButtonLeft | kButtonMiddle, [] { FlightSpeed = 100; }, "p 0 37.5 0 off 0.25 -0.5", 1},
      {kButtonMiddle, [] {}, "p 0 0 0 off 0 0", 0},
      {kButtonLeft, [] { ExamineMode = 1; }, "p 0 0 0 off 0.25 -0.5", 0},
      {kButtonLeft, [] { WorldReady = 0; }, "p 0 0 0 off 0 0", 0},
  };
  for (const auto& c : cases) {
    SetUp();
    PressX = 0.25f;
    PressY = 0.75f;
    c.before();
    MainPlaneOnMouseDrag(c.buttons, 0.5f, 0.25f);
    const float* p = ViewCamera->position;
    char s[96];
    std::snprintf(s, sizeof s, "p %g %g %g off %g %g", p[0], p[1], p[2], DragOffsetX, DragOffsetY);
    EXPECT_EQ(s, c.state) << c.buttons;
    EXPECT_EQ(MouseLook, c.look) << c.buttons;
  }
  // The speed: +37.5 or -18.75 a drag at 0.125 s, passing a limit by one step at most, and
  // back towards rest without the arrows.
  const struct {
    std::vector<Key> keys;
    float from, to;
  } speeds[] = {
      {{kUp}, 0, 37.5f},       {{kUp}, 299, 336.5f},   {{kUp}, 300, 300},
      {{kUp, kDown}, 300, 300}, {{kDown}, 0, -18.75f}, {{kDown}, -149, -167.75f},
      {{kDown}, -150, -150},   {{}, 20, 1.25f},        {{}, 0.5f, 0},
      {{}, -0.5f, 0},          {{}, -0.6f, 18.15f},
  };
  for (const auto& s : speeds) {
    SetUp();
    FlightSpeed = s.from;
    Hold(s.keys);
    MainPlaneOnMouseDrag(kButtonMiddle, 0, 0);
    EXPECT_FLOAT_EQ(FlightSpeed, s.to) << s.from;
  }
}

TEST_F(MainPlaneInputTest, PressesRecordThePressPointAndALeftlessPressEndsTheLook) {
  MouseLook = 1;
  MainPlaneOnMouseButton(kButtonLeft | kButtonRight, 0.25f, 0.5f);
  EXPECT_EQ(PressX * 10 + PressY + MouseLook * 100, 103.0f);
  MainPlaneOnMouseButton(kButtonRight, 0.5f, 0.75f);
  EXPECT_EQ(PressX * 10 + PressY + MouseLook * 100, 5.75f);
  WorldReady = 0;
  MouseLook = 1;
  MainPlaneOnMouseButton(0, 0, 0);
  EXPECT_EQ(PressX * 10 + PressY + MouseLook * 100, 105.75f);
}

}  // namespace
}  // namespace veskor
