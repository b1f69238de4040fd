#include "platform/gl_context.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "platform/display_loss.h"
#include "platform/gl.h"
#include "platform/gl_procs.h"
#include "platform/gl_window_internal.h"  // the window record, for a window without OpenGL
#include "platform/message_box.h"
#include "platform/window.h"
#include "support/gl_test_fixture.h"
#include "support/stand_in_zenity.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

using test::GlTest;
using test::GlTestContext;

TEST_F(GlTest, ContextIsCompatibilityProfile) {
  GLint mask = 0;
  glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
  EXPECT_NE(mask & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT, 0);
  EXPECT_EQ(GlCurrentContext(), GlTestContext().context);
  // Fixed-function drawing works.
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glColor3f(0, 1, 0);
  glRectf(-1, -1, 1, 1);
  const test::Rgba p = test::ReadPixel(10, 10);
  EXPECT_TRUE(p.r == 0 && p.g == 255);
}

TEST_F(GlTest, SharedContextSeesTexturesOfTheFirst) {
  GlProbe& main = GlTestContext();
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);  // a name becomes a texture at its first bind

  GlContext* shared = GlContextCreate(main.window, main.context);
  ASSERT_NE(shared, nullptr) << GlLastError();
  EXPECT_EQ(GlCurrentContext(), shared);
  EXPECT_TRUE(glIsTexture(name));

  GlContext* alone = GlContextCreate(main.window, nullptr);
  ASSERT_NE(alone, nullptr) << GlLastError();
  EXPECT_FALSE(glIsTexture(name));

  GlContextDestroy(alone);
  GlContextDestroy(shared);
  EXPECT_EQ(GlCurrentContext(), nullptr);
  ASSERT_TRUE(GlMakeCurrent(main.window, main.context));
  glDeleteTextures(1, &name);
}

TEST_F(GlTest, ProbeWindowLoadsEntryPointsThatLaterContextsUse) {
  GlProbe probe;
  ASSERT_TRUE(GlProbeOpen(probe)) << GlLastError();
  EXPECT_EQ(GlCurrentContext(), probe.context);
  EXPECT_TRUE(GlExtensionInList(GlExtensionsString(), "GL_ARB_multitexture"));
  auto activeTexture =
      reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(GlGetProcAddress("glActiveTextureARB"));
  ASSERT_NE(activeTexture, nullptr);
  int w = 0, h = 0;
  GlWindowSize(probe.window, &w, &h);
  EXPECT_TRUE(w > 0 && h > 0);
  GlProbeClose(probe);
  EXPECT_EQ(probe.window, nullptr);

  GlProbe& main = GlTestContext();
  ASSERT_TRUE(GlMakeCurrent(main.window, main.context));
  activeTexture(GL_TEXTURE1_ARB);
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
  EXPECT_EQ(active, GL_TEXTURE1_ARB);
  activeTexture(GL_TEXTURE0_ARB);
  GlSwapBuffers(main.window);
}

// Hooks of a lost display: one that leaves a line in a file, and three that go on after it:
// one never returns (as one waiting on the dead connection would not), one meets the loss
// again, one while another thread meets it.
std::string gHookRecord;
void RecordHook() {
  if (std::FILE* f = std::fopen(gHookRecord.c_str(), "a")) {
    std::fputs("hook\n", f);
    std::fclose(f);
  }
}
void RecordThenNeverReturn() {
  RecordHook();
  for (;;) pause();
}
void RecordThenLoseTheDisplayAgain() {
  RecordHook();
  signal(SIGALRM, SIG_DFL);  // the time limit would end by the signal: status 3 is the call's own
  EndForLostDisplay();
}
void RecordWhileAnotherThreadLosesTheDisplay() {
  RecordHook();
  std::thread(EndForLostDisplay).detach();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

// Cuts the process's connection to the X server: every socket it holds reads as ended, as
// /dev/null does (`hungUp`: as a socket whose other end was closed does, which a write to
// fails too).
// An X server such as Xvfb starts afresh when its last client leaves, and refuses the
// connections that come meanwhile: a test whose children connect one after another holds a
// connection of its own for its whole length, so that each child finds the server there.
class HeldDisplay {
 public:
  HeldDisplay() : connection_(xcb_connect(nullptr, nullptr)) {}
  ~HeldDisplay() { xcb_disconnect(connection_); }
  HeldDisplay(const HeldDisplay&) = delete;
  HeldDisplay& operator=(const HeldDisplay&) = delete;

 private:
  xcb_connection_t* connection_;
};

void CutSockets(bool hungUp = false) {
  int with = -1;
  if (int ends[2]; hungUp && socketpair(AF_UNIX, SOCK_STREAM, 0, ends) == 0) {
    close(ends[1]);
    with = ends[0];
  } else {
    with = open("/dev/null", O_RDWR);
  }
  for (int fd = 3; fd < 1024; ++fd) {
    struct stat s {};
    if (fd != with && fstat(fd, &s) == 0 && S_ISSOCK(s.st_mode)) dup2(with, fd);
  }
}

TEST(GlVideo, ALostDisplayEndsTheProcessAfterTheHookOnce) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
  const HeldDisplay held;
  // The same files in the death tests' children, which run this test again (and must not
  // remove what an earlier child wrote); the scratch TMPDIR is this process's own.
  const std::string base = std::string(std::getenv("TMPDIR")) + "/lost_display_hook_";
  const struct {
    const char* name;
    void (*hook)();
  } cases[] = {{"saves", RecordHook},
               {"never returns", RecordThenNeverReturn},
               {"meets the loss again", RecordThenLoseTheDisplayAgain},
               {"meets it on another thread too", RecordWhileAnotherThreadLosesTheDisplay}};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    gHookRecord = base + std::to_string(i);
    EXPECT_EXIT(
        {
          std::thread guard([] {  // a run that went on ends with another status
            std::this_thread::sleep_for(std::chrono::seconds(20));
            _exit(95);
          });
          guard.detach();
          if (!GlVideoStart()) _exit(97);
          SetDisplayLostHook(cases[i].hook);
          CutSockets();
          GlWindowCreate(GlWindowDesc{});
          _exit(96);
        },
        ::testing::ExitedWithCode(3), "veskor: the display was lost; the program ends\n");
  }
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(test::ReadFileText(base + std::to_string(i)), "hook\n") << cases[i].name;
    std::remove((base + std::to_string(i)).c_str());
  }
}

// A box open as the display goes (its zenity waiting on) ends the run as the display's loss,
// from the box's own wait.
TEST(GlVideo, ALostDisplayEndsTheRunWhileABoxIsOpen) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
  const HeldDisplay held;
  EXPECT_EXIT(
      {
        std::thread([] {  // a box that stayed open ends with another status
          std::this_thread::sleep_for(std::chrono::seconds(20));
          _exit(95);
        }).detach();
        const test::StandInZenity zenity("wait");
        if (!GlVideoStart()) _exit(97);
        std::thread([&zenity] {
          if (zenity.WaitForStart() != 0) CutSockets();
        }).detach();
        ShowMessageBox("Question", "text", MessageIcon::kQuestion, MessageButtons::kYesNo);
        _exit(96);
      },
      ::testing::ExitedWithCode(3), "^veskor: the display was lost; the program ends\n$");
}

// A SIGTERM or SIGINT is the message pump's to take, as a window close; one that no pump takes
// within its time (the loop held) ends the run after the hook, as the signal ends a process,
// also when the hook runs over its own time: never before those times. Of two signals, the one
// that waited its time ends the run. A signal that the run was started ignoring stays ignored.
TEST(GlVideo, AQuitSignalThatTheLoopDoesNotTakeInTimeEndsTheRunAfterTheHook) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
  const HeldDisplay held;
  gHookRecord = std::string(std::getenv("TMPDIR")) + "/quit_signal_hook";
  const struct {
    int signal;
    int takenAfterMs;  // -1: never taken
    bool ignored;
    int then = 0;  // another signal, 1 s after the first
    void (*hook)() = RecordHook;
  } cases[] = {{SIGTERM, -1, false},         {SIGINT, -1, false},
               {SIGTERM, 1000, false},       {SIGTERM, -1, true},
               {SIGTERM, -1, false, SIGINT}, {SIGINT, -1, false, 0, RecordThenNeverReturn}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.signal) + " taken after " + std::to_string(c.takenAfterMs) +
                 (c.ignored ? ", ignored" : "") + ", then " + std::to_string(c.then) +
                 (c.hook == RecordHook ? "" : ", a hook over its time"));
    const bool ends = c.takenAfterMs < 0 && !c.ignored;
    const auto ended = [ends, signal = c.signal](int status) {
      return ends ? WIFSIGNALED(status) && WTERMSIG(status) == signal
                  : WIFEXITED(status) && WEXITSTATUS(status) == 96;
    };
    const std::string line = std::string("^veskor: ") + (c.signal == SIGINT ? "SIGINT" : "SIGTERM") +
                             " was not answered within 3 s; the program ends\n$";
    const unsigned endsAfter = kQuitSignalSeconds + (c.hook == RecordHook ? 0 : kDisplayLostHookSeconds);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EXIT(
        {
          if (c.ignored) signal(c.signal, SIG_IGN);
          if (!GlVideoStart()) _exit(97);
          SetDisplayLostHook(c.hook);
          raise(c.signal);
          if (c.then != 0) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            raise(c.then);
          }
          if (c.takenAfterMs >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(c.takenAfterMs));
            WindowMessage message{};
            while (PeekWindowMessage(&message) && message.message != kWmClose) {
            }
            if (message.message != kWmClose) _exit(98);
          }
          std::this_thread::sleep_for(std::chrono::seconds(endsAfter + 2));
          _exit(96);
        },
        ended, ends ? line : "^$");
    if (ends) {
      EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(endsAfter));
    }
    EXPECT_EQ(test::ReadFileText(gHookRecord), ends ? "hook\n" : "");
    std::remove(gHookRecord.c_str());
  }
}

// The start goes on only once the watch has run: a thread still starting while the start forks
// (SDL's D-Bus helper) may have left a lock of the sanitizers' runtime held in the fork's copy.
// On one processor, where a new thread waits for its turn, the watch has run (its time on the
// processor, from the kernel's record, is above zero) when the call returns.
TEST(GlVideo, TheQuitSignalWatchHasRunWhenItsInstallingReturns) {
  EXPECT_EXIT(
      {
        const auto tasks = [] {
          std::set<std::string> ids;
          for (const auto& e : std::filesystem::directory_iterator("/proc/self/task"))
            ids.insert(e.path().filename().string());
          return ids;
        };
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(sched_getcpu(), &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0) _exit(97);
        const std::set<std::string> before = tasks();
        WatchQuitSignals();
        int ran = 0;
        for (const std::string& id : tasks()) {
          long long ns = -1;
          std::ifstream("/proc/self/task/" + id + "/schedstat") >> ns;
          if (!before.count(id)) ran += ns > 0 ? 1 : 100;
        }
        _exit(ran);
      },
      ::testing::ExitedWithCode(1), "");
}

// A start that SDL refuses just after the run's own connection was made, as the display goes
// (the server stopping a moment later): the display's loss, not a failed start. With the
// display there, the start fails.
TEST(GlVideo, AStartRefusedAsTheDisplayGoesIsItsLoss) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
  const HeldDisplay held;
  for (const bool goes : {true, false}) {
    SCOPED_TRACE(goes ? "the display goes" : "the display stays");
    EXPECT_EXIT(
        {
          setenv("SDL_VIDEODRIVER", "x11", 1);  // the display is watched; SDL is refused:
          SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "none", SDL_HINT_OVERRIDE);
          const auto sockets = [] {
            int n = 0;
            for (int fd = 3; fd < 1024; ++fd) {
              struct stat s {};
              n += fstat(fd, &s) == 0 && S_ISSOCK(s.st_mode) ? 1 : 0;
            }
            return n;
          };
          if (goes) {
            std::thread([sockets, before = sockets()] {  // cut 100 ms after the connection
              while (sockets() == before) std::this_thread::sleep_for(std::chrono::milliseconds(1));
              std::this_thread::sleep_for(std::chrono::milliseconds(100));
              CutSockets(true);
            }).detach();
          }
          _exit(GlVideoStart() ? 95 : 96);
        },
        ::testing::ExitedWithCode(goes ? 3 : 96),
        goes ? "^veskor: the display was lost; the program ends\n$" : "");
  }
}

// Faults that the window system's libraries meet on a dead connection before an I/O failure
// reaches Xlib's handler: a reply read that never came, a request written to the closed
// socket, a broken request queue. Once the display has gone each ends the process as its
// loss; with the display there each ends it as before, by its signal (or, for the read, by
// the sanitizers' report in their builds). The x11 driver chosen by name is watched the same.
void ReadNothing() {
  void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (page == MAP_FAILED) _exit(98);
  static_cast<void>(*static_cast<volatile int*>(page));
}
void WriteToAClosedSocket() {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) _exit(98);
  close(ends[1]);
  static_cast<void>(write(ends[0], "x", 1));
}
void BreakTheQueue() { std::abort(); }

TEST(GlVideo, AFaultOnceTheDisplayHasGoneIsItsLoss) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
  const HeldDisplay held;
  const struct {
    const char* name;
    void (*fault)();
    int signal;
    const char* driver;  // SDL_VIDEODRIVER, null unset
  } cases[] = {{"read", ReadNothing, SIGSEGV, nullptr},
               {"write", WriteToAClosedSocket, SIGPIPE, nullptr},
               {"abort", BreakTheQueue, SIGABRT, nullptr},
               {"read, x11 chosen", ReadNothing, SIGSEGV, "x11"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT(
        {
          if (c.driver != nullptr) setenv("SDL_VIDEODRIVER", c.driver, 1);
          if (!GlVideoStart()) _exit(97);
          CutSockets(true);
          c.fault();
          _exit(96);
        },
        ::testing::ExitedWithCode(3), "^veskor: the display was lost; the program ends\n$");
    const int signal = c.signal;
    EXPECT_EXIT(
        {
          if (c.driver != nullptr) setenv("SDL_VIDEODRIVER", c.driver, 1);
          if (!GlVideoStart()) _exit(97);
          c.fault();
          _exit(96);
        },
        [signal](int status) {
          return WIFSIGNALED(status)
                     ? WTERMSIG(status) == signal
                     : signal == SIGSEGV && WIFEXITED(status) && WEXITSTATUS(status) == 1;
        },
        "");
  }
  // A call that fails without a word to the server (a context asked for a window that SDL made
  // without OpenGL) fails the same once the display has gone: it is the loss too.
  for (const bool gone : {false, true}) {
    SCOPED_TRACE(gone ? "display gone" : "display there");
    EXPECT_EXIT(
        {
          if (!GlVideoStart()) _exit(97);
          GlWindow plain{SDL_CreateWindow("", 0, 0, 8, 8, SDL_WINDOW_HIDDEN)};
          if (plain.sdl == nullptr) _exit(98);
          if (gone) CutSockets(true);
          _exit(GlContextCreate(&plain, nullptr) != nullptr ? 95 : 96);
        },
        ::testing::ExitedWithCode(gone ? 3 : 96),
        gone ? "^veskor: the display was lost; the program ends\n$" : "^$");
  }
}

}  // namespace
}  // namespace veskor
