#include "app/window_proc.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <vector>

#include "app/main_plane.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"
#include "support/kept_global.h"

namespace veskor {
namespace {

class WindowProcTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    std::memset(KeyDownTable, 0, sizeof KeyDownTable);
    std::memset(KeyCodeMap, 0, sizeof KeyCodeMap);
    LastKey = KeyEvent = ShiftDown = ControlDown = AltDown = 0;
    MouseEvent = MouseButtons = HeldButtons = MouseModifiers = 0;
    SkipNextMove = SkipNextSize = DrawEnabled = LayoutDirty = FullScreenMode = 0;
    PixelSize = {1.0f / 1000, 1.0f / 500};
    DesignScale = {1.0f, 1.0f};
    ViewAspect = {1.0f, 1.0f};
    DesktopWidth = 1600;
    DesktopHeight = 1200;
    ResetWindowMessages();
  }
  void TearDown() override {
    FullScreenMode = 1;
    test::GlTest::TearDown();
  }
  // The key and mouse state the messages leave (a key still down, a capture), put back.
  test::Kept<std::uint32_t[kKeyTableSize]> keysDown_{KeyDownTable}, keyCodes_{KeyCodeMap};
  test::Kept<std::uint32_t> lastKey_{LastKey}, keyEvent_{KeyEvent}, shift_{ShiftDown},
      control_{ControlDown}, alt_{AltDown}, mouseEvent_{MouseEvent}, buttons_{MouseButtons},
      held_{HeldButtons}, modifiers_{MouseModifiers}, skipMove_{SkipNextMove},
      skipSize_{SkipNextSize}, draw_{DrawEnabled}, layout_{LayoutDirty},
      desktopWidth_{DesktopWidth}, desktopHeight_{DesktopHeight};
  test::Kept<GuiPair> pixelSize_{PixelSize}, designScale_{DesignScale};
  test::Kept<AspectPair> aspect_{ViewAspect};
  test::Kept<GuiPlane*> capture_{MouseCapture};
  struct Step {
    WindowMessage message;
    std::function<void()> check;
  };
  static void Run(const std::vector<Step>& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
      EXPECT_EQ(MainWindowProc(steps[i].message), 0) << "step " << i;
      SCOPED_TRACE("step " + std::to_string(i));
      steps[i].check();
    }
  }
  static std::vector<GLint> Viewport() {
    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    return {v[0], v[1], v[2], v[3]};
  }
};

TEST_F(WindowProcTest, KeysRecordTheirTablesAndTheCodesTheyProduce) {
  Run({
      {{kWmKeyDown, kVkHome, 0}, [] { EXPECT_EQ(KeyCodeMap[3] + KeyEvent * 1000, 0x24u + 1000); }},
      {{kWmKeyDown, kVkF1, 0}, [] { EXPECT_EQ(KeyCodeMap[3], 0x70u); }},  // F1 shares Home's
      {{kWmKeyDown, kVkPageUp, 0}, [] { EXPECT_EQ(KeyCodeMap[0], 0x21u); }},
      {{kWmKeyDown, kVkDown, 0}, [] { EXPECT_EQ(KeyCodeMap[7], 0x28u); }},
      {{kWmKeyDown, kVkInsert, 0}, [] { EXPECT_EQ(KeyCodeMap[10], 0x2Du); }},
      {{kWmKeyDown, kVkDelete, 0}, [] { EXPECT_EQ(KeyCodeMap[11], 0x2Eu); }},
      {{kWmKeyDown, kVkF1 + 11, 0}, [] { EXPECT_EQ(KeyCodeMap[14], 0x7Bu); }},
      {{kWmKeyDown, kVkEscape, 0}, [] { EXPECT_EQ(KeyCodeMap[27], 27u); }},
      {{kWmKeyDown, 'A', 0},
       [] { EXPECT_EQ(KeyDownTable['A'] + KeyCodeMap[31] + KeyCodeMap[32], 1u); }},
      {{kWmChar, 'a', 0}, [] { EXPECT_EQ(KeyCodeMap['a'], 'A'); }},
      {{kWmChar, 0xF1, 0}, [] { EXPECT_EQ(KeyCodeMap[0xF1], 'A'); }},
      {{kWmKeyUp, 'A', 0}, [] { EXPECT_EQ(KeyDownTable[KeyCodeMap['a']], 0u); }},
      {{kWmKeyDown, kVkShift, 0}, [] { EXPECT_EQ(ShiftDown + KeyCodeMap[28], 1u + 0x10); }},
      {{kWmKeyDown, kVkControl, 0}, [] { EXPECT_EQ(ControlDown + KeyCodeMap[29], 1u + 0x11); }},
      {{kWmKeyDown, kVkAlt, 0}, [] { EXPECT_EQ(AltDown + KeyCodeMap[30], 1u + 0x12); }},
      // The release of AltGr (Control with Alt) clears both.
      {{kWmKeyUp, kVkControl, 0},
       [] { EXPECT_EQ(AltDown + ControlDown + KeyDownTable[0x11] + KeyDownTable[0x12], 0u); }},
      {{kWmKeyUp, kVkShift, 0}, [] { EXPECT_EQ(ShiftDown + KeyDownTable[0x10], 0u); }},
  });
  EXPECT_EQ(LastKey, kVkAlt);
}

// SDL's key events as the window system sends them (Control types no text), through the
// window's messages and this procedure, then the root plane's key handling as the loop calls
// it: Control shortcuts work from their first press.
TEST_F(WindowProcTest, ControlShortcutsWorkFromTheirFirstPress) {
  for (WindowMessage m; PeekWindowMessage(&m);) {
  }  // what SDL had to say before
  ResetWindowMessages();
  WorldReady = 1;
  DisplayMode = 0;
  SunFlareShown = 1;
  auto press = [](std::initializer_list<SDL_Keycode> keys) {
    auto send = [](SDL_Keycode key, bool down) {
      SDL_Event e{};
      e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
      e.key.keysym.sym = key;
      SDL_PushEvent(&e);
      for (WindowMessage m; PeekWindowMessage(&m);) MainWindowProc(m);
    };
    for (SDL_Keycode key : keys) send(key, true);
    if (KeyEvent != 0) MainPlaneOnKey(KeyDownTable);
    KeyEvent = 0;
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) send(*key, false);
  };
  press({SDLK_LCTRL, SDLK_l});  // no "l" typed before
  press({SDLK_RCTRL, SDLK_f});
  EXPECT_EQ(DisplayMode * 10 + SunFlareShown, 10u);
  press({SDLK_l});  // a letter alone
  EXPECT_EQ(DisplayMode * 10 + SunFlareShown, 10u);
  WorldReady = 0;
}

TEST_F(WindowProcTest, ButtonsMovesAndPositionsFollowTheTable) {
  auto pointer = [](float x, float y) {
    return [=] {
      EXPECT_FLOAT_EQ(MouseX, x);
      EXPECT_FLOAT_EQ(MouseY, y);
    };
  };
  Run({
      {{kWmKeyDown, kVkControl, 0}, [] {}},
      {{kWmKeyDown, kVkShift, 0}, [] {}},
      {{kWmLButtonDown, kMkLButton, MakeLParam(100, 50)},
       [] { EXPECT_EQ(MouseEvent * 100 + MouseButtons * 10 + MouseModifiers, 113u); }},
      {{kWmLButtonUp, kMkControl | kMkShift, MakeLParam(-5, 250)},
       [] { EXPECT_EQ(MouseButtons * 10 + MouseModifiers, 0u); }},
      {{kWmRButtonUp, kMkControl, 0}, [] { EXPECT_EQ(MouseModifiers, 1u); }},
      {{kWmMButtonUp, kMkShift, 0}, [] { EXPECT_EQ(MouseModifiers, 2u); }},
      {{kWmRButtonDown, 0, MakeLParam(-5, 250)}, pointer(-0.005f, 0.5f)},  // left of the window
      {{kWmMButtonDown, 0, MakeLParam(10, 10)}, [] { EXPECT_EQ(MouseButtons, 6u); }},
      // Without held buttons a move leaves the modifiers; the key table takes its flags.
      {{kWmMouseMove, kMkLButton | kMkControl, MakeLParam(500, 0)},
       [] { EXPECT_EQ(MouseModifiers, 3u); }},
  });
  // Bit 64 takes the held buttons and modifiers from the move; then, buttons being held, the
  // modifiers follow the key table (Control up), which then takes the move's flags.
  HeldButtons = 0;
  MouseButtons = kMouseResync;
  MouseModifiers = 0;
  KeyDownTable[kVkControl] = 0;
  Run({
      {{kWmMouseMove, kMkLButton | kMkRButton | kMkControl, MakeLParam(500, 0)},
       [] {
         EXPECT_EQ(MouseButtons * 100 + HeldButtons * 10 + MouseModifiers, 550u);
         EXPECT_EQ(KeyDownTable[kVkControl] * 10 + KeyDownTable[kVkShift], 10u);
       }},
      {{kWmMouseMove, kMkShift, MakeLParam(0, 0)},
       [] {
         EXPECT_EQ(MouseModifiers, 1u);
         EXPECT_EQ(KeyDownTable[kVkControl] * 10 + KeyDownTable[kVkShift], 1u);
       }},
      {{kWmNull, 0, 0}, pointer(-1.0f, -1.0f)},
      {{kWmMouseLeave, 0, 0}, pointer(-1.0f, -1.0f)},
      {{0x0203 /* a double click */, 0, MakeLParam(250, 100)}, pointer(0.25f, 0.2f)},
      {{kWmNcHitTest, 0, MakeLParam(800, 600)},
       [] {
         float x, y;
         GetCapturedMousePosition(&x, &y);
         EXPECT_EQ(x + y, 1.0f);  // no capture: not recorded
       }},
  });
}

TEST_F(WindowProcTest, WindowMessagesKeepGeometryActivationAndQuit) {
  auto size = [](std::uint32_t w, std::uint32_t h, float dx, float aspect, GLint vw, GLint vh) {
    return [=] {
      EXPECT_EQ(WindowedWidth * 10000 + WindowedHeight, w * 10000 + h);
      EXPECT_FLOAT_EQ(DesignScale.x, dx);
      EXPECT_FLOAT_EQ(ViewAspect.factor, aspect);
      EXPECT_EQ(Viewport(), (std::vector<GLint>{0, 0, vw, vh}));
      EXPECT_EQ(LayoutDirty, 1u);
      LayoutDirty = 0;
    };
  };
  Run({
      {{kWmSize, 0, MakeLParam(800, 600)}, size(800, 600, 2.0f, 0.75f, 800, 600)},
      {{kWmSize, 0, MakeLParam(0, 300)},
       [&] {
         size(800, 600, 2.0f, 0.75f, 1, 300)();
         EXPECT_FLOAT_EQ(PixelSize.x + PixelSize.y, 1.0f + 1.0f / 300);
       }},
      {{kWmSize, 0, MakeLParam(0, 0)}, size(800, 600, 2.0f, 0.75f, 1, 1)},
      {{kWmSize, 0, MakeLParam(400, 1200)}, size(400, 1200, 4.0f, 3.0f, 400, 1200)},
      {{kWmMove, 0, MakeLParam(-8, 30)}, [] { EXPECT_EQ(WindowedX * 100 + WindowedY, -770); }},
      {{kWmActivate, 1, 0}, [] { EXPECT_EQ(DrawEnabled, 1u); }},
      {{kWmActivate, 1 | kActivateMinimised, 0}, [] { EXPECT_EQ(DrawEnabled, 0u); }},
      {{kWmActivate, 0, 0}, [] { EXPECT_EQ(DrawEnabled, 1u); }},  // merely inactive: drawn
      {{kWmSysCommand, kScScreenSave, 0}, [] {}},
  });
  // Moves and sizes the display code caused itself are skipped once; full screen keeps none.
  SkipNextSize = SkipNextMove = 1;
  Run({
      {{kWmSize, 0, MakeLParam(640, 480)}, [] { EXPECT_EQ(SkipNextSize + LayoutDirty, 0u); }},
      {{kWmMove, 0, MakeLParam(1, 2)}, [] { EXPECT_EQ(SkipNextMove, 0u); }},
      {{kWmSize, 0, MakeLParam(640, 480)}, size(640, 480, 2.5f, 0.75f, 640, 480)},
  });
  EXPECT_EQ(WindowedX, -8);
  FullScreenMode = 1;
  SkipNextSize = 1;
  Run({
      {{kWmSize, 0, MakeLParam(320, 200)}, [] { EXPECT_EQ(WindowedWidth + SkipNextSize, 640u); }},
      {{kWmMove, 0, MakeLParam(3, 4)}, [] { EXPECT_EQ(WindowedX, -8); }},
      {{kWmClose, 0, 0},
       [] {
         WindowMessage quit{};
         ASSERT_TRUE(PeekWindowMessage(&quit));
         EXPECT_EQ(quit.message * 10 + quit.wParam, kWmQuit * 10);
       }},
  });
}

}  // namespace
}  // namespace veskor
