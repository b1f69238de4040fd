#include "platform/window.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/display_loss.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "support/gl_test_fixture.h"
#include "support/stand_in_zenity.h"

namespace veskor {
namespace {

// SDL's offscreen driver: events pushed into SDL come back through the translator.
class WindowMessages : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ASSERT_NE(test::GlTestContext().window, nullptr) << GlLastError();  // starts SDL's video
  }
  void SetUp() override {
    WindowMessage m;
    while (PeekWindowMessage(&m)) {
    }  // whatever SDL had to say at start
    ResetWindowMessages();
  }
  static void Key(SDL_Keycode sym, bool down, int repeat = 0) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.sym = sym;
    e.key.repeat = static_cast<Uint8>(repeat);
    SDL_PushEvent(&e);
  }
  static void Text(const char* text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::strcpy(e.text.text, text);
    SDL_PushEvent(&e);
  }
  static void Button(Uint8 button, bool down, int x, int y) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
  }
  static void Window(Uint8 event, int data1 = 0, int data2 = 0) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = event;
    e.window.data1 = data1;
    e.window.data2 = data2;
    SDL_PushEvent(&e);
  }
  static std::vector<WindowMessage> Drain() {
    std::vector<WindowMessage> all;
    WindowMessage m;
    while (PeekWindowMessage(&m)) all.push_back(m);
    return all;
  }
  static void Expect(const std::vector<WindowMessage>& expected) {
    const std::vector<WindowMessage> got = Drain();
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].message, expected[i].message) << "message " << i;
      EXPECT_EQ(got[i].wParam, expected[i].wParam) << "message " << i;
      EXPECT_EQ(got[i].lParam, expected[i].lParam) << "message " << i;
    }
  }
};

TEST_F(WindowMessages, KeysBecomeVirtualKeysAndRepeatsFurtherKeyDowns) {
  Key(SDLK_a, true);
  Key(SDLK_a, true, 1);
  Key(SDLK_a, false);
  Key(SDLK_9, true);
  Key(SDLK_F1, true);
  Key(SDLK_F12, true);
  Key(SDLK_PAGEUP, true);
  Key(SDLK_DOWN, true);
  Key(SDLK_INSERT, true);
  Key(SDLK_DELETE, true);
  Key(SDLK_SPACE, true);
  Key(SDLK_RSHIFT, true);
  Key(SDLK_RALT, true);
  Key(SDLK_CAPSLOCK, true);
  Expect({{kWmKeyDown, 'A', 0},
          {kWmKeyDown, 'A', 0},
          {kWmKeyUp, 'A', 0},
          {kWmKeyDown, '9', 0},
          {kWmKeyDown, 0x70, 0},
          {kWmKeyDown, 0x7B, 0},
          {kWmKeyDown, 0x21, 0},
          {kWmKeyDown, 0x28, 0},
          {kWmKeyDown, 0x2D, 0},
          {kWmKeyDown, 0x2E, 0},
          {kWmKeyDown, 0x20, 0},
          {kWmKeyDown, 0x10, 0},
          {kWmKeyDown, 0x12, 0},
          {kWmKeyDown, kVkOther, 0}});
}

TEST_F(WindowMessages, EditingKeysTypeTheirCodeExceptWithControlAndLettersTypeWithIt) {
  for (SDL_Keycode k : {SDLK_BACKSPACE, SDLK_TAB, SDLK_RETURN, SDLK_ESCAPE}) Key(k, true);
  Key(SDLK_LCTRL, true);
  Key(SDLK_BACKSPACE, true, 1);
  Key(SDLK_z, true);  // Control types no text: the key's letter stands for it
  Key(SDLK_9, true);
  Key(SDLK_LCTRL, false);
  Key(SDLK_a, true);  // typed through text input, not by the key
  Key(SDLK_RETURN, true, 1);
  Expect({{kWmKeyDown, 8, 0},
          {kWmChar, 8, 0},
          {kWmKeyDown, 9, 0},
          {kWmChar, 9, 0},
          {kWmKeyDown, 13, 0},
          {kWmChar, 13, 0},
          {kWmKeyDown, 27, 0},
          {kWmChar, 27, 0},
          {kWmKeyDown, 0x11, 0},
          {kWmKeyDown, 8, 0},
          {kWmKeyDown, 'Z', 0},
          {kWmChar, 'z', 0},
          {kWmKeyDown, '9', 0},
          {kWmKeyUp, 0x11, 0},
          {kWmKeyDown, 'A', 0},
          {kWmKeyDown, 13, 0},
          {kWmChar, 13, 0}});
}

TEST_F(WindowMessages, TextArrivesInCodePage1252AndDropsWhatItLacks) {
  Text("a\xc3\xb1\xc3\xa7");         // a, n tilde, c cedilla
  Text("\xe2\x82\xac\xc5\xb8\xc3");  // euro sign, Y diaeresis, a cut sequence
  Text("\xf0\x9f\x98\x80z\x80");     // an emoji, z, a stray continuation byte
  Expect({{kWmChar, 'a', 0},
          {kWmChar, 0xF1, 0},
          {kWmChar, 0xE7, 0},
          {kWmChar, 0x80, 0},
          {kWmChar, 0x9F, 0},
          {kWmChar, 'z', 0}});
  const struct {
    std::uint32_t codePoint;
    int byte;
  } table[] = {{0x1F, 0x1F},   {0x7F, 0x7F}, {0x80, -1},     {0x9F, -1},     {0xA0, 0xA0},
               {0xFF, 0xFF},   {0x100, -1},  {0x20AC, 0x80}, {0x201A, 0x82}, {0x0178, 0x9F},
               {0x2122, 0x99}, {0x81, -1},   {0xFFFD, -1},   {0x10FFFF, -1}};
  for (const auto& c : table) EXPECT_EQ(CodePage1252(c.codePoint), c.byte) << c.codePoint;
}

TEST_F(WindowMessages, ButtonsAndMotionCarryHeldButtonsAndModifiers) {
  Key(SDLK_LSHIFT, true);
  Button(SDL_BUTTON_LEFT, true, 10, 20);
  Button(SDL_BUTTON_RIGHT, true, 10, 20);
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.state = SDL_BUTTON_LMASK | SDL_BUTTON_RMASK;
  e.motion.x = -5;
  e.motion.y = 40000;  // clamped to a word
  SDL_PushEvent(&e);
  Key(SDLK_LSHIFT, false);
  Key(SDLK_RCTRL, true);
  Button(SDL_BUTTON_LEFT, false, 11, 21);
  Button(SDL_BUTTON_MIDDLE, true, 0, 0);
  Button(SDL_BUTTON_X1, true, 0, 0);  // no message
  Expect({{kWmKeyDown, 0x10, 0},
          {kWmLButtonDown, kMkLButton | kMkShift, MakeLParam(10, 20)},
          {kWmRButtonDown, kMkLButton | kMkRButton | kMkShift, MakeLParam(10, 20)},
          {kWmNcHitTest, 0, MakeLParam(-5, 32767)},
          {kWmMouseMove, kMkLButton | kMkRButton | kMkShift, MakeLParam(-5, 32767)},
          {kWmKeyUp, 0x10, 0},
          {kWmKeyDown, 0x11, 0},
          {kWmLButtonUp, kMkRButton | kMkControl, MakeLParam(11, 21)},
          {kWmMButtonDown, kMkRButton | kMkMButton | kMkControl, 0}});
  const std::intptr_t packed = MakeLParam(-5, 300);
  EXPECT_EQ(SignedLowWord(packed), -5);
  EXPECT_EQ(LowWord(packed), 0xFFFBu);
  EXPECT_EQ(SignedHighWord(packed), 300);
}

TEST_F(WindowMessages, WindowEventsBecomeActivationMoveSizeAndClose) {
  Window(SDL_WINDOWEVENT_SHOWN);
  Window(SDL_WINDOWEVENT_EXPOSED);
  Window(SDL_WINDOWEVENT_MINIMIZED);
  Window(SDL_WINDOWEVENT_RESTORED);
  Window(SDL_WINDOWEVENT_FOCUS_GAINED);
  Window(SDL_WINDOWEVENT_MOVED, -8, 30);
  Window(SDL_WINDOWEVENT_RESIZED, 640, 480);
  Window(SDL_WINDOWEVENT_SIZE_CHANGED, 640, 480);
  Window(SDL_WINDOWEVENT_LEAVE);
  Window(SDL_WINDOWEVENT_FOCUS_LOST);
  Window(SDL_WINDOWEVENT_CLOSE);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  Expect({{kWmActivate, 1, 0},
          {kWmActivate, 1, 0},
          {kWmActivate, 1 | kActivateMinimised, 0},
          {kWmActivate, 1, 0},
          {kWmActivate, 1, 0},
          {kWmMove, 0, MakeLParam(-8, 30)},
          {kWmSize, 0, MakeLParam(640, 480)},
          {kWmMouseLeave, 0, 0},
          {kWmNull, 0, 0},
          {kWmClose, 0, 0},
          {kWmClose, 0, 0}});
}

TEST_F(WindowMessages, SizesAreTheWindowsDrawableSize) {
  SDL_Window* window = SDL_CreateWindow("", 0, 0, 96, 48, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  Drain();
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
  e.window.windowID = SDL_GetWindowID(window);
  e.window.data1 = 1;  // the window's own size counts
  e.window.data2 = 1;
  SDL_PushEvent(&e);
  Expect({{kWmSize, 0, MakeLParam(96, 48)}});
  SDL_DestroyWindow(window);
  Drain();
}

TEST_F(WindowMessages, PostedMessagesComeFirstAndTheQuitCarriesItsCode) {
  Key(SDLK_b, true);
  PostWindowMessage({kWmChar, 'x', 0});
  PostQuitMessage(3);
  Expect({{kWmChar, 'x', 0}, {kWmQuit, 3, 0}, {kWmKeyDown, 'B', 0}});
  EXPECT_FALSE(WindowHasMouseCapture());
  EXPECT_EQ(DefaultWindowProc({kWmNull, 0, 0}), 0);
}

// The open-file dialog's answer, as a box's: none for a cancel.
MessageAnswer ShowTheDialog() {
  char path[256];
  const OpenFileRequest request{"Open", "World | *.wld", "/"};
  return RunOpenFileDialog(request, path, sizeof path) == 0 ? MessageAnswer::kNone
                                                            : MessageAnswer::kYes;
}

// A quit signal that comes while a box or the open-file dialog is open closes it at once, its
// zenity killed and reaped, and it answers none; the signal stays for the pump, which takes it
// as a window close. The dialog's signal lands on another thread, as a process's signal may,
// so its wait is not interrupted. Another signal that interrupts the box's wait is no answer:
// the box waits for its own.
TEST(QuitSignal, ClosesAnOpenBoxAndStaysForThePump) {
  const struct {
    int signal;
    MessageAnswer answer;
    bool dialog = false;
  } cases[] = {{SIGTERM, MessageAnswer::kNone},
               {SIGINT, MessageAnswer::kNone},
               {SIGUSR1, MessageAnswer::kYes},
               {SIGTERM, MessageAnswer::kNone, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.signal) + (c.dialog ? ", the dialog" : ""));
    EXPECT_EXIT(
        {
          std::thread([] {  // a box left open
            std::this_thread::sleep_for(std::chrono::seconds(10));
            _exit(40);
          }).detach();
          test::StandInZenity zenity("wait");
          setenv("DISPLAY", ":7", 1);
          WatchQuitSignals();
          struct sigaction other {};  // no SA_RESTART: the box's wait is interrupted
          other.sa_handler = [](int) {};
          sigaction(SIGUSR1, &other, nullptr);
          const pthread_t shower = pthread_self();
          pid_t box = 0;
          std::chrono::steady_clock::time_point sent;
          std::thread raiser([&] {
            box = zenity.WaitForStart();
            sent = std::chrono::steady_clock::now();
            pthread_kill(c.dialog ? pthread_self() : shower, c.signal);
            if (c.signal == SIGUSR1) {
              std::this_thread::sleep_for(std::chrono::milliseconds(200));
              zenity.Answer(0);
            }
          });
          const MessageAnswer answer =
              c.dialog ? ShowTheDialog()
                       : ShowMessageBox("Question", "text", MessageIcon::kQuestion,
                                        MessageButtons::kYesNo);
          const auto closed = std::chrono::steady_clock::now();
          raiser.join();
          // At once: the box's wait asks every 50 ms; a second is far above any scheduling.
          if (c.signal != SIGUSR1 && closed - sent > std::chrono::seconds(1)) _exit(50);
          WindowMessage message{};
          const bool taken = PeekWindowMessage(&message) && message.message == kWmClose;
          if (box == 0 || !test::ProcessGone(box)) _exit(10);
          if (answer != c.answer) _exit(20 + static_cast<int>(answer));
          _exit(taken == (c.signal != SIGUSR1) ? 0 : 30);
        },
        testing::ExitedWithCode(0),
        c.signal == SIGUSR1 || c.dialog ? "^$"
                                        : "^Question \\[question\\] text\n$");  // its text kept
  }
}

}  // namespace
}  // namespace veskor
