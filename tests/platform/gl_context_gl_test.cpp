#include "platform/gl_context.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "platform/child_process.h"
#include "platform/display_loss.h"
#include "platform/gl.h"
#include "platform/gl_procs.h"
#include "platform/gl_window_internal.h"  // the window record, for a window without OpenGL
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/save_signals.h"
#include "platform/window.h"
#include "support/gl_test_fixture.h"
#include "support/stand_in_zenity.h"
#include "support/temp_dir.h"

// Xlib's names (None, Bool) come after gtest's own.
#include <SDL_syswm.h>
#include <X11/XKBlib.h>
#include <X11/Xlibint.h>  // a request of no known minor opcode

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
void Record(const char* line) {
  if (std::FILE* f = std::fopen(gHookRecord.c_str(), "a")) {
    std::fprintf(f, "%s\n", line);
    std::fclose(f);
  }
}
void RecordHook() { Record("hook"); }
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
// from the box's own wait, or from another thread that finds the loss first; the box's text,
// maybe unread, is left on stderr before the loss's line (not that of a box answered before).
TEST(GlVideo, ALostDisplayEndsTheRunWhileABoxIsOpen) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
  const HeldDisplay held;
  for (const bool waitChecked : {true, false}) {
    SCOPED_TRACE(waitChecked ? "found by the box's wait" : "found by another thread");
    EXPECT_EXIT(
        {
          std::thread([] {  // a box that stayed open ends with another status
            std::this_thread::sleep_for(std::chrono::seconds(20));
            _exit(95);
          }).detach();
          const test::StandInZenity zenity("0");
          if (!GlVideoStart()) _exit(97);
          if (!waitChecked) SetChildWaitCheck(nullptr);
          if (ShowMessageBox("Answered", "before", MessageIcon::kQuestion,
                             MessageButtons::kYesNo) != MessageAnswer::kYes)
            _exit(94);
          zenity.Forget();
          zenity.Does("wait");
          std::thread([&zenity, waitChecked] {
            if (zenity.WaitForStart() == 0) return;
            CutSockets();
            if (!waitChecked) EndIfDisplayLost(5000);
          }).detach();
          ShowMessageBox("Question", "text", MessageIcon::kQuestion, MessageButtons::kYesNo);
          _exit(96);
        },
        ::testing::ExitedWithCode(3),
        "^Question \\[question\\] text\nveskor: the display was lost; the program ends\n$");
  }
}

// A request that the X server refuses on the run's own connection is said on stderr, once for
// each error and request, naming both as the X server's and Xlib's tables do, and the run goes
// on: the keyboard asked for a window that is not viewable (twice), then for one that does not
// exist, a window of none mapped (no window of the run's gone), and an extension's requests:
// two of XKB's, each refused with the same error (the indicator named by an atom that is none,
// read then set), each said, and one of no minor opcode known of the extension at the first
// major opcode that extensions take.
TEST(GlVideo, ARequestTheServerRefusesIsSaidOnceAndTheRunGoesOn) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
  const HeldDisplay held;
  const std::string said = std::string(std::getenv("TMPDIR")) + "/refused_requests";
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(20);
    const int fd = open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || dup2(fd, 2) != 2) _exit(91);
    GlWindow* window = GlWindowCreate(GlWindowDesc{});  // hidden
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || SDL_GetWindowWMInfo(window->sdl, &info) != SDL_TRUE) _exit(92);
    Display* display = info.info.x11.display;
    XSetInputFocus(display, info.info.x11.window, RevertToNone, CurrentTime);
    XSetInputFocus(display, info.info.x11.window, RevertToNone, CurrentTime);
    XSetInputFocus(display, XAllocID(display), RevertToNone, CurrentTime);  // none made
    XMapWindow(display, None);  // a window of none: not the run's window gone
    XkbGetNamedIndicator(display, 0x1fffffff, nullptr, nullptr, nullptr, nullptr);
    XkbSetNamedIndicator(display, 0x1fffffff, True, True, False, nullptr);
    LockDisplay(display);
    static_cast<xReq*>(_XGetRequest(display, 128, sz_xReq))->data = 250;
    UnlockDisplay(display);
    XSync(display, False);
    std::fputs("went on\n", stderr);
    GlWindowDestroy(window);
    _exit(0);
  }
  ASSERT_GT(pid, 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string refused = "veskor: the X server refused a request: ";
  std::string first;  // the extension at major opcode 128
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  int count = 0;
  char** names = XListExtensions(display, &count);
  for (int i = 0; i < count; ++i) {
    int major = 0, event = 0, error = 0;
    if (XQueryExtension(display, names[i], &major, &event, &error) && major == 128) first = names[i];
  }
  XFreeExtensionList(names);
  XCloseDisplay(display);
  ASSERT_NE(first, "");
  EXPECT_EQ(
      test::ReadFileText(said),
      refused + "BadMatch (invalid parameter attributes) in X_SetInputFocus; the run goes on\n" +
          refused + "BadWindow (invalid Window parameter) in X_SetInputFocus; the run goes on\n" +
          refused + "BadWindow (invalid Window parameter) in X_MapWindow; the run goes on\n" +
          refused + "BadAtom (invalid Atom parameter) in XkbGetNamedIndicator; the run goes on\n" +
          refused + "BadAtom (invalid Atom parameter) in XkbSetNamedIndicator; the run goes on\n" +
          refused + "BadRequest (invalid request code or no such operation) in " + first +
          " request 250; the run goes on\n" + "went on\n");
  std::remove(said.c_str());
}

// The threads of the process, by their ids.
std::set<std::string> Tasks() {
  std::set<std::string> ids;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/task"))
    ids.insert(e.path().filename().string());
  return ids;
}

// The quit-signal watch's thread, started here: its id, or -1.
pid_t StartTheQuitSignalWatch() {
  const std::set<std::string> before = Tasks();
  WatchQuitSignals();
  for (const std::string& id : Tasks())
    if (!before.count(id)) return static_cast<pid_t>(std::stol(id));
  return -1;
}

// Whether the thread `id` of this process sleeps within 2 s (the watch: in its wait for a
// signal, where one handled on its thread interrupts the wait).
bool Sleeps(pid_t id) {
  for (int i = 0; i < 2000; ++i) {
    const std::string stat =
        test::ReadFileText("/proc/self/task/" + std::to_string(id) + "/stat");
    const std::size_t end = stat.rfind(')');
    if (end != std::string::npos && stat.compare(end + 1, 3, " S ") == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// The watch held in a handler of SIGUSR1 sent to its thread, until ReleaseTheWatch: what it
// has not looked at yet stays so.
int gHold[2] = {-1, -1}, gHeld[2] = {-1, -1};
void HoldHere(int) {
  char c = 0;
  static_cast<void>(write(gHeld[1], &c, 1));
  static_cast<void>(read(gHold[0], &c, 1));
}
bool HoldTheWatch(pid_t watch) {
  if (pipe(gHold) != 0 || pipe(gHeld) != 0) return false;
  signal(SIGUSR1, HoldHere);
  char c = 0;
  return syscall(SYS_tgkill, getpid(), watch, SIGUSR1) == 0 && read(gHeld[0], &c, 1) == 1;
}
void ReleaseTheWatch() {
  char c = 0;
  static_cast<void>(write(gHold[1], &c, 1));
}

// Pumps the window's messages until the quit signal comes as a close; false after 2 s without.
bool TakeTheClose() {
  for (int i = 0; i < 2000; ++i) {
    WindowMessage message{};
    while (PeekWindowMessage(&message))
      if (message.message == kWmClose) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

std::string NotAnswered(int signal) {
  return std::string("^veskor: ") + (signal == SIGINT ? "SIGINT" : "SIGTERM") +
         " was not answered within 3 s; the program ends\n$";
}
const std::string kEndOverrun = std::string("^") + kRunEndOverrunMessage + "\n$";
const std::string kHeldAfterTheTake =
    "^veskor: SIGTERM was answered, but the run did not end within 5 s; the program ends\n$";

// A SIGTERM or SIGINT is the message pump's to take, as a window close; one that no pump takes
// within its time (the loop held) ends the run after the hook, as the signal ends a process,
// also when the hook runs over its own time: never before those times. Of two signals, the one
// that waited its time ends the run, also when both came before the watch looked; one taken
// does not count for one of the other kind that came after it. One taken starts the run's end,
// which a run that does not go on to its exit then runs over (the loop held, not the window's
// teardown). A normal exit answers a signal that came before it (a box that it closed): the exit
// then has the end's time, past the signal's. A signal that lands on the watch's own thread is as
// any other. A signal that the run was started ignoring stays ignored.
TEST(GlVideo, AQuitSignalThatTheLoopDoesNotTakeInTimeEndsTheRunAfterTheHook) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
  const HeldDisplay held;
  gHookRecord = std::string(std::getenv("TMPDIR")) + "/quit_signal_hook";
  enum class Raised { kRaised, kOnTheWatchsThread, kBothWhileTheWatchIsHeld };
  const struct {
    const char* name;
    int signal;
    int takenAfterMs;  // -1: never taken
    bool ignored;
    int then;  // another signal, never taken: 1 s after the first, or as soon as it was taken
    void (*hook)();
    Raised raised;
    int endsBy;          // the signal that ends the run; 0: it goes on
    std::string line;    // on stderr; "": none of the program's (an exit's leak report may come)
    unsigned endsAfter;  // seconds after the first signal, at least
    int exitsAfterMs = -1;  // NormalExit(96) then, its exit handlers taking past the signal's time
  } cases[] = {
      {"SIGTERM not taken", SIGTERM, -1, false, 0, RecordHook, Raised::kRaised, SIGTERM,
       NotAnswered(SIGTERM), kQuitSignalSeconds},
      {"SIGINT not taken", SIGINT, -1, false, 0, RecordHook, Raised::kRaised, SIGINT,
       NotAnswered(SIGINT), kQuitSignalSeconds},
      {"SIGTERM taken after 1 s, the run going on", SIGTERM, 1000, false, 0, RecordHook,
       Raised::kRaised, SIGTERM, kHeldAfterTheTake, 1 + kRunEndSeconds},
      {"SIGTERM ignored", SIGTERM, -1, true, 0, RecordHook, Raised::kRaised, 0, "^$",
       kQuitSignalSeconds},
      {"SIGTERM, then SIGINT, neither taken", SIGTERM, -1, false, SIGINT, RecordHook,
       Raised::kRaised, SIGTERM, NotAnswered(SIGTERM), kQuitSignalSeconds},
      {"SIGINT not taken, the hook over its time", SIGINT, -1, false, 0, RecordThenNeverReturn,
       Raised::kRaised, SIGINT, NotAnswered(SIGINT), kQuitSignalSeconds + kDisplayLostHookSeconds},
      {"SIGTERM taken, then SIGINT not taken", SIGTERM, 0, false, SIGINT, RecordHook,
       Raised::kRaised, SIGINT, NotAnswered(SIGINT), kQuitSignalSeconds},
      {"SIGTERM then SIGINT before the watch looked, neither taken", SIGTERM, -1, false, SIGINT,
       RecordHook, Raised::kBothWhileTheWatchIsHeld, SIGTERM, NotAnswered(SIGTERM),
       kQuitSignalSeconds},
      {"SIGTERM on the watch's thread, taken", SIGTERM, 0, false, 0, RecordHook,
       Raised::kOnTheWatchsThread, SIGTERM, kHeldAfterTheTake, kRunEndSeconds},
      {"SIGTERM not taken, answered by an exit that takes long", SIGTERM, -1, false, 0, RecordHook,
       Raised::kRaised, 0, "", kQuitSignalSeconds, 1000 * kQuitSignalSeconds - 1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto ended = [endsBy = c.endsBy](int status) {
      return endsBy != 0 ? WIFSIGNALED(status) && WTERMSIG(status) == endsBy
                         : WIFEXITED(status) && WEXITSTATUS(status) == 96;
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EXIT(
        {
          // As the case says, whatever the test was started with (a script's `&` starts a
          // command ignoring SIGINT).
          signal(c.signal, c.ignored ? SIG_IGN : SIG_DFL);
          if (c.then != 0) signal(c.then, SIG_DFL);
          const pid_t watch = StartTheQuitSignalWatch();
          if (watch < 0 || !GlVideoStart()) _exit(97);
          SetDisplayLostHook(c.hook);
          if (c.raised == Raised::kBothWhileTheWatchIsHeld) {
            if (!HoldTheWatch(watch)) _exit(98);
            raise(c.signal);
            raise(c.then);
            ReleaseTheWatch();
          } else if (c.raised == Raised::kOnTheWatchsThread) {
            if (!Sleeps(watch)) _exit(98);
            syscall(SYS_tgkill, getpid(), watch, c.signal);
          } else {
            raise(c.signal);
          }
          if (c.then != 0 && c.raised != Raised::kBothWhileTheWatchIsHeld && c.takenAfterMs < 0) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            raise(c.then);
          }
          if (c.takenAfterMs >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(c.takenAfterMs));
            if (!TakeTheClose()) _exit(98);
            if (c.then != 0) raise(c.then);
          }
          if (c.exitsAfterMs >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(c.exitsAfterMs));
            // Its handlers run past the signal's time by half a second, well within the
            // exit's own (the rest of the exit, an address checker's leak search say, may take
            // seconds on a loaded machine).
            std::atexit([] { std::this_thread::sleep_for(std::chrono::milliseconds(1500)); });
            NormalExit(96);
          }
          // A run that goes on shows it past its times; one that the watch ends waits for it,
          // however late a loaded machine lets it run, and ends by itself only if it hangs.
          std::this_thread::sleep_for(std::chrono::seconds(c.endsAfter + (c.endsBy != 0 ? 60 : 2)));
          _exit(96);
        },
        ended,
        c.line.empty() ? ::testing::Matcher<const std::string&>(
                             ::testing::Not(::testing::HasSubstr("veskor: ")))
                       : ::testing::ContainsRegex(c.line));
    if (c.endsBy != 0) {
      EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(c.endsAfter));
    }
    EXPECT_EQ(test::ReadFileText(gHookRecord), c.endsBy != 0 ? "hook\n" : "");
    std::remove(gHookRecord.c_str());
  }
}

// What a run's exit handlers do at its end: record the save and clear the hook (nothing left
// for it), then wait for ever as closing a window on a display that stopped answering does;
// wait so before saving; or save, tear down, then take longer than the end's time over what
// waits on no display.
void SaveThenWaitOnTheDisplay() {
  Record("saved");
  SetDisplayLostHook(nullptr);
  for (;;) pause();
}
void WaitOnTheDisplayBeforeSaving() {
  for (;;) pause();
}
void SaveTearDownThenTakeLong() {
  Record("saved");
  SetDisplayLostHook(nullptr);
  RunEndTornDown();
  std::this_thread::sleep_for(std::chrono::seconds(kRunEndSeconds + 2));
}
void SaveTearDownTakeASignalThenTakeLong() {  // a signal taken once torn down begins no end
  Record("saved");
  SetDisplayLostHook(nullptr);
  RunEndTornDown();
  raise(SIGTERM);
  if (!TakeTheClose()) _exit(98);
  std::this_thread::sleep_for(std::chrono::seconds(kRunEndSeconds + 2));
}

// A save that does not answer (its file on a file system whose server stopped), named as a run
// names it: of the settings' store at the exit, which has cleared the hook (nothing left for it);
// of the bookmarks at a window's close, before the exit, the hook still set; of a store whose
// name is the longest kept whole. Or such a save that has ended, then a wait on the display (at
// the exit), or on nothing that the run's end knows (before it).
const std::string kHeldStore = "/home/someone/.config/veskor/registry";
const std::string kHeldBookmarks = "/home/someone/veskor/bookmark.wld";
const std::string kLongestName = "/" + std::string(kSaveNameMax - 1, 'n');
void HoldASave(const std::string& file, const char* what) {
  const SaveUnderWay underWay(file, what);
  for (;;) pause();
}
void HoldTheStoresSave() {
  SetDisplayLostHook(nullptr);
  HoldASave(kHeldStore, "the settings");
}
void HoldTheSaveOfTheLongestName() {
  SetDisplayLostHook(nullptr);
  HoldASave(kLongestName, "the settings");
}
void HoldTheBookmarksSave() { HoldASave(kHeldBookmarks, "the bookmarks"); }
void SaveThenWaitOnTheDisplayAfterTheSavesEnd() {
  { const SaveUnderWay underWay(kHeldStore, "the settings"); }
  SaveThenWaitOnTheDisplay();
}
void EndTheBookmarksSaveThenWait() {
  { const SaveUnderWay underWay(kHeldBookmarks, "the bookmarks"); }
  for (;;) pause();
}
std::string SaveNotAnswered(const std::string& file, const char* what) {
  return "^veskor: the write of " + std::string(what) + " to " + file +
         " did not answer within 5 s; the program ends, and the write may still land if its "
         "file system answers later\n$";
}

// An end decided before the exit (a close, an Error box), then held by the display, or by its
// record; or a box that waits on a person past the end's time, 2 s in, then held.
void DecideThenWait() {
  NormalExitDecided(5);
  for (;;) pause();
}
const std::string kHeldRecords = "/home/someone/records";
void DecideAtOnceThenHoldTheRecord() {
  QuickExitDecided(1);
  HoldASave(kHeldRecords, "a record");
}
void DecideWaitOnAPersonThenWait() {
  NormalExitDecided(5);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  {
    const PersonWait person;
    std::this_thread::sleep_for(std::chrono::seconds(kRunEndSeconds + 1));
  }
  for (;;) pause();
}
void DecideThenBeginAWriteAsTheTimeRunsOut() {  // a log's line, not what held the run
  NormalExitDecided(5);
  std::this_thread::sleep_for(std::chrono::milliseconds(kRunEndSeconds * 1000 - 500));
  HoldASave(kHeldRecords, "a record");
}
void DecideWhileAPersonWaitsThenWait() {  // the end's time begins as the box closes
  {
    const PersonWait person;
    NormalExitDecided(5);
    std::this_thread::sleep_for(std::chrono::seconds(kRunEndSeconds + 1));
  }
  for (;;) pause();
}
void DecideWaitOnAPersonThenBeginAWriteAsWhatWasLeftRunsOut() {  // 3 s left as the box closes
  NormalExitDecided(5);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  {
    const PersonWait person;
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds((kRunEndSeconds - 2) * 1000 - 100));
  HoldASave(kHeldRecords, "a record");
}
const std::string kHeldBeforeTheExit =
    std::string("^") + kRunEndHeldMessage + "\n$";

// Stderr made a pipe of one page that nobody reads, with `room` bytes of it left free.
void StderrNobodyReads(std::size_t room) {
  int ends[2];
  if (pipe(ends) != 0 || fcntl(ends[1], F_SETPIPE_SZ, 4096) != 4096) _exit(90);
  const std::string filled(4096 - room, '-');
  if (write(ends[1], filled.data(), filled.size()) != static_cast<ssize_t>(filled.size()) ||
      dup2(ends[1], STDERR_FILENO) != STDERR_FILENO)
    _exit(90);
}
// Held before saving, stderr full: the hook saves all the same, its line never taken.
void WaitBeforeSavingStderrFull() {
  StderrNobodyReads(0);
  WaitOnTheDisplayBeforeSaving();
}
// The store's save held, stderr full: the end's line is never taken.
void HoldTheStoresSaveStderrFull() {
  StderrNobodyReads(0);
  HoldTheStoresSave();
}
// A write begun as the end's time ran out and a hook that never returns, stderr with room for
// the end's line only: the line of the hook's time, which names the write, is never taken.
void DecideThenBeginAWriteTheHookHeldStderrNearlyFull() {
  SetDisplayLostHook(RecordThenNeverReturn);
  StderrNobodyReads(std::strlen(kRunEndHeldMessage) + 1);
  DecideThenBeginAWriteAsTheTimeRunsOut();
}

// The run's end, begun by a quit signal taken, by the run's decision to end or by its exit
// (NormalExit, or an exit() that a library calls before a handler of AtExitWatched), is given its
// time to save and tear down: a teardown that waits on the display past it ends the run, by the
// signal taken or with the exit's status, after the hook when the end had not saved yet and
// saves (not an Error box's). Once torn down, the exit takes the time it takes, a quit signal
// taken then included. A box that waits on a person stops that time while it is open. A save
// under way when the time runs out is named in place of the display's line or the signal's,
// whatever the length of its file's name; one that has ended leaves them as they were. A box
// closed gives the end only what was left of its time. Stderr that takes none of the end's
// lines (a pipe that nobody reads) holds neither the end nor the keeping of the hook's time.
TEST(GlVideo, ARunsEndThatTheDisplayHoldsEndsInItsTime) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
  const HeldDisplay held;
  gHookRecord = std::string(std::getenv("TMPDIR")) + "/run_end_hook";
  const struct {
    const char* name;
    bool signalTaken;
    void (*atExit)();
    int endsBy;         // the signal; 0: exits with 5, NormalExit's code
    std::string line;   // "": none of the program's (a sanitizer's report of its exit may come)
    unsigned endsAfter;  // seconds after the end began, at least
    const char* record;  // what the exit handler and the hook wrote
    bool beforeTheExit = false;  // `atExit` called after the signal's take, not at the exit
    int status = 5;              // the status it ends with, by no signal
    bool libraryExit = false;    // exit(5) in place of NormalExit(5), the handler watched
  } cases[] = {
      {"SIGTERM taken, saved", true, SaveThenWaitOnTheDisplay, SIGTERM, kEndOverrun,
       kRunEndSeconds, "saved\n"},
      {"a close, saved", false, SaveThenWaitOnTheDisplay, 0, kEndOverrun, kRunEndSeconds,
       "saved\n"},
      {"a close, not saved yet", false, WaitOnTheDisplayBeforeSaving, 0, kEndOverrun,
       kRunEndSeconds, "hook\n"},
      {"SIGTERM taken, torn down, then long", true, SaveTearDownThenTakeLong, 0, "",
       kRunEndSeconds + 2, "saved\n"},
      {"a close, torn down, then SIGTERM taken, then long", false,
       SaveTearDownTakeASignalThenTakeLong, 0, "", kRunEndSeconds + 2, "saved\n"},
      {"a close, the store's save held", false, HoldTheStoresSave, 0,
       SaveNotAnswered(kHeldStore, "the settings"), kRunEndSeconds, ""},
      {"SIGTERM taken, the save of the longest name held", true, HoldTheSaveOfTheLongestName,
       SIGTERM, SaveNotAnswered(kLongestName, "the settings"), kRunEndSeconds, ""},
      {"a close, a save ended, then the display held", false,
       SaveThenWaitOnTheDisplayAfterTheSavesEnd, 0, kEndOverrun, kRunEndSeconds, "saved\n"},
      {"SIGTERM taken, the bookmarks' save held before the exit", true, HoldTheBookmarksSave,
       SIGTERM, SaveNotAnswered(kHeldBookmarks, "the bookmarks"), kRunEndSeconds, "hook\n", true},
      {"SIGTERM taken, a save ended, then held before the exit", true, EndTheBookmarksSaveThenWait,
       SIGTERM, kHeldAfterTheTake, kRunEndSeconds, "hook\n", true},
      {"a library's exit(), held before saving", false, WaitOnTheDisplayBeforeSaving, 0,
       kEndOverrun, kRunEndSeconds, "hook\n", false, 5, true},
      {"a close decided, held before the exit", false, DecideThenWait, 0, kHeldBeforeTheExit,
       kRunEndSeconds, "hook\n", true},
      {"an Error box decided, its record held", false, DecideAtOnceThenHoldTheRecord, 0,
       SaveNotAnswered(kHeldRecords, "a record"), kRunEndSeconds, "", true, 1},
      {"a close decided, a write begun half a second before its time ran out", false,
       DecideThenBeginAWriteAsTheTimeRunsOut, 0, kHeldBeforeTheExit, kRunEndSeconds, "hook\n",
       true},
      {"a close decided while a box is open, then held", false, DecideWhileAPersonWaitsThenWait,
       0, kHeldBeforeTheExit, kRunEndSeconds + 1 + kRunEndSeconds, "hook\n", true},
      {"a close decided, a box open past the end's time, then held", false,
       DecideWaitOnAPersonThenWait, 0, kHeldBeforeTheExit, 2 + kRunEndSeconds + 1 + 3, "hook\n",
       true},
      {"a close decided, a box open 2 s in, then a write begun a tenth of a second before what "
       "was left ran out",
       false, DecideWaitOnAPersonThenBeginAWriteAsWhatWasLeftRunsOut, 0, kHeldBeforeTheExit,
       kRunEndSeconds + 1, "hook\n", true},
      {"SIGTERM taken, the store's save held, stderr a full pipe", true,
       HoldTheStoresSaveStderrFull, SIGTERM, "", kRunEndSeconds, ""},
      {"SIGTERM taken, held before saving, stderr a full pipe", true, WaitBeforeSavingStderrFull,
       SIGTERM, "", kRunEndSeconds, "hook\n"},
      {"a close decided, the hook held in a write, stderr full once the end's line is said",
       false, DecideThenBeginAWriteTheHookHeldStderrNearlyFull, 0, "",
       kRunEndSeconds + kDisplayLostHookSeconds, "hook\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto ended = [endsBy = c.endsBy, code = c.status](int status) {
      return endsBy != 0 ? WIFSIGNALED(status) && WTERMSIG(status) == endsBy
                         : WIFEXITED(status) && WEXITSTATUS(status) == code;
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EXIT(
        {
          std::thread([] {  // a run that went on ends with another status
            std::this_thread::sleep_for(std::chrono::seconds(20));
            _exit(95);
          }).detach();
          if (!GlVideoStart()) _exit(97);
          SetDisplayLostHook(RecordHook);
          if (c.libraryExit) {
            if (!AtExitWatched(c.atExit)) _exit(98);
            std::exit(5);
          }
          if (!c.beforeTheExit) std::atexit(c.atExit);
          if (c.signalTaken) {
            raise(SIGTERM);
            if (!TakeTheClose()) _exit(98);
          }
          if (c.beforeTheExit) c.atExit();
          NormalExit(5);
        },
        ended,
        c.line.empty() ? ::testing::Matcher<const std::string&>(
                             ::testing::Not(::testing::HasSubstr("veskor: ")))
                       : ::testing::ContainsRegex(c.line));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(c.endsAfter));
    EXPECT_EQ(test::ReadFileText(gHookRecord), c.record);
    std::remove(gHookRecord.c_str());
  }
}

// A display on a host, whose server refuses the run and is slow to take the program's probe
// that follows (its queue of connections full for a while, as a remote host's answer takes
// time): the probe waits for its answer, and the run says the server refused it; one that
// never takes the probe is given up after the probe's 5 s. The run was started with its
// standard input closed, so the probe's socket is descriptor 0.
TEST(GlVideo, AHostsServerSlowToAnswerTheProbeIsSaidToRefuse) {
  const struct {
    int fullForMs;  // -1: until the run has ended
    const char* reason;
  } cases[] = {{300, "the X server refused the connection"}, {-1, "Connection timed out"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 0), 0);  // one connection waits; the next one's SYN is dropped
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    const int port = ntohs(address.sin_port);
    ASSERT_GE(port, 6000);
    int ended[2];
    ASSERT_EQ(pipe(ended), 0);
    // The server: refuses the run's connection and, meanwhile, fills its queue.
    const auto take = [](int fd) {  // a connection, or -1 after 10 s without
      pollfd ready{fd, POLLIN, 0};
      return poll(&ready, 1, 10000) == 1 ? accept(fd, nullptr, nullptr) : -1;
    };
    std::thread server([&] {
      const int run = take(listener);
      const int filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      connect(filler, reinterpret_cast<sockaddr*>(&address), size);
      close(run);
      if (c.fullForMs < 0) {
        pollfd end{ended[0], POLLIN, 0};
        poll(&end, 1, 20000);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(c.fullForMs));
        const int waited = take(listener);
        close(take(listener));  // the probe
        close(waited);
      }
      close(filler);
    });
    const std::string display = "127.0.0.1:" + std::to_string(port - 6000);
    const test::TempDir dir("veskor_probe");
    const std::string said = dir.Path("stderr");
    std::fflush(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();  // not a death test: the server is this process's
    if (pid == 0) {
      const int fd = open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || dup2(fd, 2) != 2) _exit(91);
      close(0);
      setenv("DISPLAY", display.c_str(), 1);
      unsetenv("SDL_VIDEODRIVER");
      WatchDisplayConnection();
      _exit(96);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(write(ended[1], "e", 1), 1);
    server.join();
    for (const int fd : {listener, ended[0], ended[1]}) close(fd);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kNoDisplayExitStatus) << status;
    EXPECT_EQ(test::ReadFileText(said),
              "veskor: cannot open the display " + display + ": " + c.reason + "\n");
    if (c.fullForMs < 0) {  // its 5 s, and the run's end within seconds of them
      EXPECT_GE(took, std::chrono::seconds(5));
      EXPECT_LT(took, std::chrono::seconds(10));
    }
  }
}

// The start goes on only once the watch has run: a thread still starting while the start forks
// (SDL's D-Bus helper) may have left a lock of the sanitizers' runtime held in the fork's copy.
// On one processor, where a new thread waits for its turn, the watch has run (its time on the
// processor, from the kernel's record, is above zero) when the call returns.
TEST(GlVideo, TheQuitSignalWatchHasRunWhenItsInstallingReturns) {
  EXPECT_EXIT(
      {
        const auto tasks = Tasks;
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
