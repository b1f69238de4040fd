// The program's start-up with its real window and rendering context under the X server, each
// run in a child process on a store written here: the pixel format, the geometry, full screen,
// the texture names, a key combination, and what is saved at the end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "app/automation.h"
#include "app/camera_bookmarks.h"
#include "app/main_plane.h"
#include "app/program_entry.h"
#include "app/window_init.h"
#include "app/window_proc.h"
#include "foundation/search_dirs.h"
#include "gfx/texture_names.h"
#include "language/world.h"
#include "platform/display_loss.h"
#include "platform/process.h"
#include "platform/save_signals.h"
#include "shell_test_support.h"
#include "support/message_capture.h"
#include "support/own_file_system.h"
#include "support/own_x_server.h"
#include "support/stand_in_zenity.h"

namespace veskor {
namespace {

using test::ScriptStep;

// What the child saw once the loop ended.
void WriteReport(const std::string& path, int loopResult) {
  int w = 0, h = 0;
  if (gMainPlane.window != nullptr) GlWindowSize(gMainPlane.window, &w, &h);
  const std::set<std::uint32_t> names(TextureNameTable, TextureNameTable + TextureNameTableCount);
  char text[256];
  std::snprintf(text, sizeof text,
                "format %u %u %u %u full %u index %u at %d %d size %d %d names %zu drawn %d "
                "loop %d",
                ChosenPixelFormat.colour, ChosenPixelFormat.alpha, ChosenPixelFormat.depth,
                ChosenPixelFormat.stencil, FullScreenMode, gMainPlane.fullScreenSizeIndex,
                WindowedX, WindowedY, w, h, names.size(),
                DrawEnabled != 0 && test::SwapCount() > 0 ? 1 : 0, loopResult);
  std::FILE* f = std::fopen(path.c_str(), "w");
  std::fputs(text, f);
  std::fclose(f);
}

constexpr WindowMessage kClose{kWmClose, 0, 0};

// A move that the run was never told of, as a window manager's late move: the place it holds
// is not where the window stands.
bool LoseTheWindowsPlace() {
  WindowedX = WindowedY = 7;
  return true;
}

TEST(WindowStart, TheWindowOpensOnTheStoredSettings) {
  const std::string ok = "names 10000 drawn 1 loop 0";
  const std::string aborted =
      "Confirmation :  [exclamation] Full Screen Mode not supported !\n Use Windowed Mode ?\n"
      "Error : Shutdown [stop] Program Aborted !\n";
  const struct {
    std::vector<std::pair<std::string, std::string>> edits;
    const char* answer;
    bool worldReady;
    std::vector<ScriptStep> steps;
    int exitCode;
    std::string messages;  // "" none; else the start of the record
    std::string report;    // "" none
  } cases[] = {
      {{}, "yes", false, {{kClose, 3}}, 0, "",
       "format 24 8 24 8 full 0 index 3 at 50 50 size 1024 768 " + ok},
      // The place saved at the exit is the window's own, read as it stands then (checked in
      // the store below), not the one held.
      {{}, "yes", false, {{kClose, 3, LoseTheWindowsPlace}}, 0, "",
       "format 24 8 24 8 full 0 index 3 at 7 7 size 1024 768 " + ok},
      {{{"ColorBits", "24"}}, "yes", false, {{kClose, 3}}, 0,
       "Warning : Init. Main Plane [exclamation] Colors [24 bits], Alpha [0 bits], Depth [24 "
       "bits], Stencil [8 bits]\n\n Your current config. does not support alpha channel ! "
       "\n\nVisual artefacts may occur ! \n",
       "format 24 0 24 8 full 0 index 3 at 50 50 size 1024 768 " + ok},
      {{{"FirstLaunch", "TRUE"}}, "yes", false, {{kClose, 3}}, 0,
       "Warning, Errors or visual failures can occur ! [exclamation] veskor was not tested",
       "format 24 8 24 8 full 0 index 5 at 128 128 size 1024 768 " + ok},
      {{{"FullScreenMode", "TRUE"}, {"XSize", "800"}, {"YSize", "600"}}, "yes", false,
       {{kClose, 3}}, 0,
       "Confirmation :  [exclamation] Full Screen Mode not supported !\n Use Windowed Mode ?\n",
       "format 24 8 24 8 full 0 index 3 at 50 50 size 800 600 " + ok},
      {{{"FullScreenMode", "TRUE"}}, "no", false, {{kClose, 3}}, 1, aborted, ""},
      {{{"FullScreenMode", "TRUE"}, {"FullScreenSize", "1280x1024"}}, "yes", false,
       {{kClose, 3}}, 0, "", "format 24 8 24 8 full 1 index 5 at 50 50 size 1280 1024 " + ok},
      // Control+b, once "b" was typed, shows the format in use.
      {{}, "yes", true,
       {{{kWmKeyDown, 'B', 0}, 2}, {{kWmChar, 'b', 0}, 0}, {{kWmKeyUp, 'B', 0}, 0},
        {{kWmKeyDown, kVkControl, 0}, 0}, {{kWmKeyDown, 'B', 0}, 0}, {kClose, 2}},
       0, "Error [exclamation] Colors [24 bits]\nAlpha [8 bits]\nDepth [24 bits]\nStencil [8 bits]\n",
       "format 24 8 24 8 full 0 index 3 at 50 50 size 1024 768 " + ok},
  };
  for (const auto& c : cases) {
    test::TempDir dir("veskor_window");
    test::TestStore store(dir);
    store.WriteResources();
    store.Set("FirstLaunch", "FALSE");
    store.Set("MultiSampleQuality", "NICEST");  // kept only with the filter hint: never on Mesa
    for (const auto& [name, value] : c.edits) store.Set(name, value);
    const std::string written = store.Write();
    test::MessageCapture capture;
    test::MessageCapture::Answer(c.answer);
    const std::string report = dir.Path("report");
    const int code = test::RunInChild([&] {
      WorldReady = c.worldReady ? 1 : 0;
      // Handlers registered before the start (as the platform's services would be) run after
      // the window has gone and the settings were saved.
      std::atexit([] {
        if (gMainPlane.shutDown == 0 || gMainPlane.window != nullptr) _exit(3);
      });
      const int result = WinMain("", test::WindowPorts(c.steps));
      WriteReport(report, result);
      NormalExit(result);
    });
    SCOPED_TRACE(c.edits.empty() ? "default" : c.edits.front().first + " " + c.answer);
    EXPECT_EQ(code, c.exitCode);
    EXPECT_EQ(capture.Text().substr(0, c.messages.size()), c.messages);
    if (c.messages.empty()) {
      EXPECT_EQ(capture.Text(), "");
    }
    EXPECT_EQ(test::ReadFileText(report), c.report);
    // A normal exit saves the settings; a fatal error saves nothing.
    if (c.exitCode == 0) {
      EXPECT_NE(store.Text().find("\"MultiSampleQuality\"=\"FASTEST\""), std::string::npos);
      EXPECT_NE(store.Text().find("\"FirstLaunch\"=\"FALSE\""), std::string::npos);
      EXPECT_EQ(store.Text().find("\"XPos\"=\"7\""), std::string::npos) << store.Text();
    } else {
      EXPECT_EQ(store.Text(), written);
    }
  }
}

// A view saved, which the bookmarks then hold as `kSavedView`.
void SaveAView() {
  Camera& c = gWorld.snapshots[0];
  c = Camera{};
  c.position[0] = 1, c.position[1] = 2, c.position[2] = 3;
  c.direction[1] = 1;
  c.depth = 100;
  c.focalAngle = 60;
  gWorld.snapshotCount = 1;
}
const std::string kSavedView =
    "Camera CameraBookMark0\n{\n  position ( [1.00 2.00 3.00] )\n"
    "  direction ( [0.00 1.00 0.00] )\n  depth ( 100.00 )\n  rollAngle ( 0.00 )\n"
    "  focalAngle ( 60.00 )\n}\n\n";

// The display lost while the program runs (the platform's handler of the dead connection calls
// EndForLostDisplay): the bookmarks and the settings are saved as at a window close, from the
// values held, with no box; then the process ends with no exit handler (an exit handler that
// ran would change the status to 4).
TEST(WindowStart, ALostDisplaySavesWhatNeedsNoWindowThenEnds) {
  const std::string lost = "veskor: the display was lost; the program ends\n";
  for (const bool bookmarksWritable : {true, false}) {
    test::TempDir dir("veskor_window");
    test::TestStore store(dir);
    store.WriteResources();
    store.Set("FirstLaunch", "FALSE");
    store.Write();
    ASSERT_EQ(mkdir(dir.Path("binary").c_str(), 0755), 0);
    test::MessageCapture capture;
    const std::string errors = dir.Path("errors"), missing = dir.Path("missing/");
    const int code = test::RunInChild([&] {
      std::atexit([] { _exit(4); });
      if (WinMain("", test::WindowPorts({{kClose, 3}})) != 0) _exit(90);
      SaveAView();
      WindowedX = 77;
      WindowedY = 66;
      if (!bookmarksWritable) std::snprintf(BinaryDir, sizeof BinaryDir, "%s", missing.c_str());
      const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || dup2(fd, 2) != 2) _exit(91);
      EndForLostDisplay();
    });
    SCOPED_TRACE(bookmarksWritable ? "bookmarks written" : "bookmarks unwritable");
    EXPECT_EQ(code, 3);
    EXPECT_EQ(capture.Text(), "");
    EXPECT_EQ(test::ReadFileText(errors),
              bookmarksWritable
                  ? lost
                  : lost + "veskor: bookmarks not saved: cannot write " + missing +
                        "bookmark.wld: cannot make a file in " +
                        missing.substr(0, missing.size() - 1) + ": No such file or directory\n");
    EXPECT_EQ(test::ReadFileText(dir.Path("binary/bookmark.wld")), bookmarksWritable ? kSavedView : "");
    EXPECT_NE(store.Text().find("\"XPos\"=\"77\"\n\"YPos\"=\"66\""), std::string::npos)
        << store.Text();
  }
}

// The child's steps of a window closing on a display that stops answering: a view saved (so that
// the close writes the bookmarks, SaveAView), and the moment the run's end begins, in the file
// named (at the close, or as the signal is raised).
std::string gBegan;
void NoteTheMoment(const std::string& file) {
  std::FILE* f = std::fopen(file.c_str(), "w");
  std::fprintf(f, "%lld", static_cast<long long>(
                              std::chrono::steady_clock::now().time_since_epoch().count()));
  std::fclose(f);
}
void NoteTheEndsBeginning() { NoteTheMoment(gBegan); }
bool SaveAViewThenClose() {
  SaveAView();
  NoteTheEndsBeginning();
  return true;
}
bool SaveAViewThenRaiseSigterm() {  // never ready: the signal is taken as the close
  static bool raised = false;
  if (!raised) {
    raised = true;
    SaveAView();
    NoteTheEndsBeginning();
    raise(SIGTERM);
  }
  return false;
}
std::string gHookRan;
void RecordTheHook() {
  std::FILE* f = std::fopen(gHookRan.c_str(), "a");
  std::fputs("hook\n", f);
  std::fclose(f);
}

// In a forked child: the program on `display`, its stderr to `errors`, whose window closes at
// its first frame's `step` (a close, or SIGTERM), which notes the moment; once WinMain has
// returned, the lost display's hook records that it ran, `hold` makes the run's end wait (the X
// server frozen, a disk stopped; false: it could not, status 92), and the run ends as the
// program ends it. A run that went on past 30 s ends with status 95.
[[noreturn]] void CloseThenHold(const std::string& display, const std::string& shot,
                                const std::string& errors, bool (*step)(),
                                const std::function<bool()>& hold) {
  std::thread([] {  // a run that went on ends with another status
    std::this_thread::sleep_for(std::chrono::seconds(30));
    _exit(95);
  }).detach();
  setenv("DISPLAY", display.c_str(), 1);
  setenv("VESKOR_CAPTURE", shot.c_str(), 1);
  const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || dup2(fd, 2) != 2) _exit(91);
  const int result = WinMain("", test::WindowPorts({{{kWmClose, 0, 0}, 3, step}}));
  SetDisplayLostHook(RecordTheHook);
  if (!hold()) _exit(92);
  NormalExit(result);
}

// The window closes (by SIGTERM, or as the window system closes it) and its X server stops
// answering once the loop has ended, so that tearing the window down waits for ever: the
// bookmarks, written at the close, and the settings, saved by the end itself (not by the lost
// display's hook) before anything waits on the display, are on disk; the run ends within its
// end's time with its line, by the signal taken, or with the status it was ending with (5: a
// capture asked for and not written).
TEST(WindowStart, AWindowClosingOnADisplayThatStopsAnsweringEndsInTimeHavingSaved) {
  for (const bool bySignal : {true, false}) {
    SCOPED_TRACE(bySignal ? "SIGTERM" : "a close");
    const test::OwnXServer server;
    ASSERT_NE(server.display(), "") << "no X server of the test's own";
    test::TempDir dir("veskor_window");
    test::TestStore store(dir);
    store.WriteResources();
    store.Set("FirstLaunch", "FALSE");
    store.Set("MultiSampleQuality", "NICEST");  // FASTEST once saved: Mesa has no filter hint
    store.Write();
    ASSERT_EQ(mkdir(dir.Path("binary").c_str(), 0755), 0);
    test::MessageCapture capture;
    const std::string errors = dir.Path("errors");
    gBegan = dir.Path("began");
    gHookRan = dir.Path("hook");
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      CloseThenHold(server.display(), dir.Path("shot.png"), errors,
                    bySignal ? SaveAViewThenRaiseSigterm : SaveAViewThenClose, [&] {
                      server.Freeze();
                      return true;
                    });
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    const auto ended = std::chrono::steady_clock::now().time_since_epoch();
    if (bySignal) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 5) << status;
    }
    EXPECT_EQ(test::ReadFileText(errors), std::string(kRunEndOverrunMessage) + "\n");
    const std::string began = test::ReadFileText(gBegan);
    ASSERT_NE(began, "");
    EXPECT_GE(ended - std::chrono::steady_clock::duration(std::stoll(began)),
              std::chrono::seconds(kRunEndSeconds));
    EXPECT_EQ(capture.Text(), "");
    EXPECT_EQ(test::ReadFileText(gHookRan), "");
    EXPECT_EQ(test::ReadFileText(dir.Path("binary/bookmark.wld")), kSavedView);
    EXPECT_NE(store.Text().find("\"MultiSampleQuality\"=\"FASTEST\""), std::string::npos)
        << store.Text();
  }
}

// The file system that a write below goes to stopped, once, and the moment noted; then a view
// saved and SIGTERM raised, or a view saved and a close, or VESKOR_AUTOQUIT's count started.
bool StopTheDisk() {
  static bool stopped = false;
  if (!stopped) {
    stopped = true;
    if (!test::StopFatFileSystemServer()) _exit(92);
    NoteTheEndsBeginning();
  }
  return true;
}
bool StopTheDiskSaveAViewThenRaiseSigterm() {
  static bool stopped = false;
  if (!stopped) {
    stopped = true;
    if (!test::StopFatFileSystemServer()) _exit(92);
  }
  return SaveAViewThenRaiseSigterm();
}
bool StopTheDiskSaveAViewThenClose() { return StopTheDisk() && SaveAViewThenClose(); }
bool StopTheDiskThenQuitByItself() {
  StopTheDisk();
  AutomationArm();
  return false;
}
bool AskForACompile() {
  CompileRequest = 1;
  return false;
}

// The moment that a write of `file` is first named (SaveUnderWayNow), in the file `named`; then
// `then`, when given.
void NoteWhenNamed(const std::string& file, const std::string& named, void (*then)()) {
  std::thread([file, named, then] {
    char under[kSaveNameMax + 1];
    while (SaveUnderWayNow(under, sizeof under) == nullptr || file != under)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    NoteTheMoment(named);
    if (then != nullptr) then();
  }).detach();
}
void NoteThenSendSigterm() {
  NoteTheEndsBeginning();
  kill(getpid(), SIGTERM);
}

// The names in the folder `dir`, each followed by a space, in order.
std::string Entries(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.insert(e.path().filename().string());
  std::string text;
  for (const std::string& name : names) text += name + " ";
  return text;
}

// A write at the run's end that does not answer, its file on a FUSE vfat whose server has
// stopped (SIGSTOP): the run ends within its end's time all the same, by the signal taken or
// with the status it was ending with, naming the write and what it holds in place of the
// display's line or the signal's, wherever the end began: the store's save at the exit (after a
// SIGTERM or as the window system closes the window), or at VESKOR_AUTOQUIT's quit, its capture
// written (0); the bookmarks at the close that a SIGTERM makes, or that the window system makes,
// no capture asked for (0); the capture at VESKOR_AUTOQUIT's quit (5); a record of the messages
// file there, the capture failed (5), or the record of an Error box, before the window or after
// it, or of a fatal error (1, and nothing saved). The lost display's hook, still
// set, saves elsewhere meanwhile, or meets the same file system and ends at its own time,
// without naming the same write again. A SIGTERM that comes while the session log's write holds
// the run (its folder stopped before the start) ends it after its own time, naming that write.
// The file keeps its old text, or is not made, and no temporary is left. The display answers
// throughout, but in one case: lost, as the bookmarks' disk stops, it ends the run within the
// hook's time, naming the write that holds the hook.
TEST(WindowStart, ASaveThatDoesNotAnswerAtTheEndIsNamedAndTheRunEndsInTime) {
  enum Held { kStore, kBookmarks, kCapture, kSessionLog, kMessages };
  enum Ending {
    kSigterm,
    kAClose,
    kLost,
    kAutoquit,
    kSigtermWhileHeld,
    kErrorBox,
    kStartError,
    kFatalError
  };
  const struct {
    const char* name;
    Held held;
    Ending ending;
    int status;  // -1: ended by SIGTERM
    const char* what;
    bool storeSaved = false;  // by the hook, the store on another disk
  } cases[] = {
      {"the store, SIGTERM", kStore, kSigterm, -1, "the settings"},
      {"the store, a close", kStore, kAClose, 5, "the settings"},
      {"the store, VESKOR_AUTOQUIT", kStore, kAutoquit, 0, "the settings"},
      {"the bookmarks, SIGTERM", kBookmarks, kSigterm, -1, "the bookmarks"},
      {"the bookmarks, a close, no capture asked for", kBookmarks, kAClose, 0, "the bookmarks"},
      {"the bookmarks, the display lost", kBookmarks, kLost, 3, "the bookmarks"},
      {"the capture, VESKOR_AUTOQUIT", kCapture, kAutoquit, 5, "the capture", true},
      {"the messages file, VESKOR_AUTOQUIT", kMessages, kAutoquit, 5, "a record", true},
      {"the messages file, an Error box", kMessages, kErrorBox, 1, "a record"},
      {"the messages file, an Error box before the window", kMessages, kStartError, 1,
       "a record"},
      {"the messages file, a fatal error", kMessages, kFatalError, 1, "a record"},
      {"the session log, SIGTERM", kSessionLog, kSigtermWhileHeld, -1, "the session log", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const test::OwnXServer server;
    ASSERT_NE(server.display(), "") << "no X server of the test's own";
    test::TempDir dir("veskor_window");
    test::TestStore store(dir);
    // No interface texts: a fatal error; no intro music: an Error box.
    store.WriteResources(c.ending != kFatalError, c.ending != kErrorBox);
    store.Set("FirstLaunch", "FALSE");
    store.Set("MultiSampleQuality", "NICEST");  // FASTEST once saved: Mesa has no filter hint
    if (c.ending == kStartError) store.Set("FPS", "MAYBE");  // refused: an Error box
    const std::string disk = dir.Path("disk/fat/");  // where the FUSE vfat is mounted
    if (c.held == kBookmarks || c.held == kSessionLog) store.Set("BinaryDir", disk + "binary/");
    const std::string written = store.Write(), oldView = "old view\n";
    ASSERT_EQ(mkdir(dir.Path("binary").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.Path("disk").c_str(), 0755), 0);
    const char* const heldFiles[] = {"registry", "binary/bookmark.wld", "shot.png",
                                     "binary/session.log", "messages"};
    const std::string held = heldFiles[c.held];
    const std::string old = c.held == kStore ? written : c.held == kBookmarks ? oldView : "";
    const std::string shot = c.held == kCapture    ? disk + held
                             : c.held == kMessages  ? dir.Path("missing/shot.png")
                             : c.ending == kAClose && c.held == kBookmarks ? ""
                                                    : dir.Path("shot.png");
    const std::string errors = dir.Path("errors"), after = dir.Path("after");
    const std::string named = dir.Path("named");
    gBegan = dir.Path("began");
    gHookRan = dir.Path("hook");
    const auto text = [](const std::string& t) {
      return std::span(reinterpret_cast<const std::uint8_t*>(t.data()), t.size());
    };
    // On the file system's own child: the file's old text, then the run in a child of its own;
    // once it has ended and the server goes on, the run's status, when it ended, the file's
    // text and the folder's names, in files outside the file system.
    const int checked = test::RunOnFatFileSystem(dir.Path("disk"), [&] {
      if ((c.held == kBookmarks || c.held == kSessionLog) && mkdir("binary", 0755) != 0)
        return 100;
      if (!old.empty() && !test::WriteFileBytes(held, text(old))) return 101;
      std::fflush(nullptr);
      const pid_t pid = fork();
      if (pid == 0) {
        if (chdir(dir.path().c_str()) != 0) _exit(93);  // a run's own folder is elsewhere
        NoteWhenNamed(disk + held, named,
                      c.ending == kSigtermWhileHeld ? NoteThenSendSigterm : nullptr);
        if (c.held == kStore) setenv("VESKOR_REGISTRY", (disk + held).c_str(), 1);
        setenv("VESKOR_MESSAGES", c.held == kMessages ? (disk + held).c_str() : "/dev/null", 1);
        if (c.ending == kAutoquit) setenv("VESKOR_AUTOQUIT", "1", 1);
        if (c.ending == kSigtermWhileHeld || c.ending >= kErrorBox) {
          if (!test::StopFatFileSystemServer()) _exit(92);
          if (c.ending != kSigtermWhileHeld) NoteTheEndsBeginning();
        }
        WatchQuitSignals();  // as the program's main does
        bool (*const steps[])() = {
            c.held == kBookmarks ? StopTheDiskSaveAViewThenRaiseSigterm
                                 : SaveAViewThenRaiseSigterm,
            c.held == kBookmarks ? StopTheDiskSaveAViewThenClose : SaveAViewThenClose,
            SaveAViewThenClose, StopTheDiskThenQuitByItself, AskForACompile, SaveAViewThenClose,
            SaveAViewThenClose, SaveAViewThenClose};
        std::function<bool()> hold = test::StopFatFileSystemServer;
        if (c.held != kStore) hold = [] { return true; };
        if (c.ending == kLost) {
          hold = [] {
            if (!test::StopFatFileSystemServer()) return false;
            NoteTheEndsBeginning();
            SetDisplayLostHook([] {  // as the program's own: the bookmarks first
              std::string reason;
              WriteCameraBookmarksFile(&reason);
            });
            EndForLostDisplay();
          };
        }
        CloseThenHold(server.display(), shot, errors, steps[c.ending], hold);
      }
      int status = 0;
      const bool waited = pid > 0 && waitpid(pid, &status, 0) == pid;
      const auto ended = std::chrono::steady_clock::now().time_since_epoch().count();
      test::ContinueFatFileSystemServer();
      if (!waited) return 102;
      const std::string folder = held.find('/') != std::string::npos ? "binary" : ".";
      const std::string outcome = std::to_string(status) + " " + std::to_string(ended) + "\n" +
                                  test::ReadFileText(held) + Entries(folder);
      return test::WriteFileBytes(after, text(outcome)) ? 0 : 103;
    });
    if (checked == test::kNoFileSystemOfItsOwn)
      GTEST_SKIP() << "no FUSE vfat of the test's own: not root, or no /dev/fuse, fusefat or "
                      "mkfs.vfat";
    ASSERT_EQ(checked, 0) << "the first step that failed";
    const std::string outcome = test::ReadFileText(after);
    int status = 0;
    long long ended = 0;
    ASSERT_EQ(std::sscanf(outcome.c_str(), "%d %lld", &status, &ended), 2) << outcome;
    if (c.status < 0) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << status;
    }
    const std::string write = "the write of " + std::string(c.what) + " to " + disk + held;
    const std::string mayLand =
        "; the program ends, and the write may still land if its file system answers later\n";
    const std::string line = c.ending == kSigtermWhileHeld
                                 ? "veskor: SIGTERM was not answered within 3 s: " + write +
                                       " did not answer" + mayLand
                                 : "veskor: " + write + " did not answer within 5 s" + mayLand;
    // Before the window, the store's refusal is said first.
    const std::string said = test::ReadFileText(errors);
    EXPECT_EQ(said, c.ending == kLost         ? std::string(kDisplayLostMessage) + "\n" + line
                    : c.ending == kStartError ? said.substr(0, said.find('\n') + 1) + line
                                              : line);
    if (c.ending == kStartError) {
      EXPECT_EQ(said.rfind("veskor: the settings store ", 0), 0u) << said;
    }
    // No sooner than the end's time (the signal's), from before the end began; said no later
    // than that and the hook's time, which may meet the same disk, from once the write began:
    // the line's own time, not the process's reaping after it, which a loaded machine delays.
    const unsigned least = c.ending == kSigtermWhileHeld ? kQuitSignalSeconds : kRunEndSeconds;
    const std::string began = test::ReadFileText(gBegan), writeBegan = test::ReadFileText(named);
    EXPECT_NE(began, "");
    EXPECT_NE(writeBegan, "") << "the write was never named";
    struct stat lineWritten {};
    ASSERT_EQ(stat(errors.c_str(), &lineWritten), 0);
    const auto saidAgo = std::chrono::system_clock::now().time_since_epoch() -
                         (std::chrono::seconds(lineWritten.st_mtim.tv_sec) +
                          std::chrono::nanoseconds(lineWritten.st_mtim.tv_nsec));
    const auto saidAt = std::chrono::steady_clock::now().time_since_epoch() -
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(saidAgo);
    if (!began.empty() && !writeBegan.empty()) {
      EXPECT_GE(std::chrono::steady_clock::duration(ended - std::stoll(began)),
                std::chrono::seconds(least));
      EXPECT_LE(saidAt - std::chrono::steady_clock::duration(std::stoll(writeBegan)),
                std::chrono::seconds(least + kDisplayLostHookSeconds + 5));
    }
    // The file as it was (or not there), and beside it nothing new. (Written at the close
    // already where the display is lost after it.)
    const std::string kept = outcome.substr(outcome.find('\n') + 1);
    const std::string name = held.substr(held.rfind('/') + 1);
    EXPECT_EQ(kept, c.ending == kLost ? kSavedView + name + " "
                    : old.empty()     ? std::string()
                                      : old + name + " ");
    if (c.held == kStore && c.ending != kAutoquit) {
      EXPECT_EQ(test::ReadFileText(gHookRan), "");
      EXPECT_EQ(test::ReadFileText(dir.Path("binary/bookmark.wld")), kSavedView);
    }
    if (c.held != kStore) {
      EXPECT_EQ(store.Text().find("\"MultiSampleQuality\"=\"FASTEST\"") != std::string::npos,
                c.storeSaved)
          << store.Text();
    }
  }
}

// A save that fails at the end is told in its Warning box: the store's once the window has gone,
// the bookmarks' at a close, the end's time begun. The box takes the user's time, however long,
// and the run's end does not cut it short; the run then ends as it would have.
TEST(WindowStart, TheWarningOfASaveThatFailedAtTheEndTakesTheUsersTime) {
  for (const bool bookmarks : {false, true}) {
    SCOPED_TRACE(bookmarks ? "the bookmarks at a close" : "the store at the exit");
    const test::OwnXServer server;
    ASSERT_NE(server.display(), "") << "no X server of the test's own";
    test::TempDir dir("veskor_window");
    test::TestStore store(dir);
    store.WriteResources();
    store.Set("FirstLaunch", "FALSE");
    store.Set("MultiSampleQuality", "NICEST");  // FASTEST once saved: one byte more
    if (bookmarks) store.Set("BinaryDir", dir.Path("missing/"));
    std::string written = store.Write();
    if (!bookmarks) {
      written += ";" + std::string((1 << 20) - written.size() - 2, 'x') + "\n";  // at its limit
      test::WriteFileBytes(store.path(), {reinterpret_cast<const std::uint8_t*>(written.data()),
                                          written.size()});
    }
    const test::StandInZenity zenity("wait");
    const std::string errors = dir.Path("errors");
    gBegan = dir.Path("began");
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("DISPLAY", server.display().c_str(), 1);
      const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || dup2(fd, 2) != 2) _exit(91);
      NormalExit(WinMain("", test::WindowPorts({{{kWmClose, 0, 0}, 3,
                                                 bookmarks ? SaveAViewThenClose : nullptr}})));
    }
    ASSERT_GT(pid, 0);
    // The box comes once the run has started, closed and saved, however long a loaded machine
    // takes: waited for while the run goes on (a run that hangs is killed after 200 s).
    int status = 0;
    pid_t box = 0, ended = 0;
    for (int i = 0; i < 10 && box == 0 && ended == 0; ++i) {
      box = zenity.WaitForStart();
      if (box == 0) ended = waitpid(pid, &status, WNOHANG);
    }
    if (box == 0) {
      if (ended == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
      }
      FAIL() << "no box; the run " << (ended != 0 ? "ended with " : "killed, ") << status << "\n"
             << test::ReadFileText(errors);
    }
    EXPECT_NE(zenity.Args().find(bookmarks ? "Bookmarks not saved !" : "Settings not saved !"),
              std::string::npos)
        << zenity.Args();
    std::this_thread::sleep_for(std::chrono::seconds(kRunEndSeconds + 1));
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the run ended while its box was open";
    zenity.Answer(0);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // No line of the program's (a sanitizer's report of the exit may come).
    EXPECT_EQ(test::ReadFileText(errors).find("veskor: "), std::string::npos)
        << test::ReadFileText(errors);
    EXPECT_EQ(store.Text() == written, !bookmarks);
  }
}

TEST(WindowStart, AVideoSystemThatCannotStartEndsTheStart) {
  test::TempDir dir("veskor_window");
  test::TestStore store(dir);
  store.WriteResources();
  store.Write();
  test::MessageCapture capture;
  const int code = test::RunInChild([] {
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    NormalExit(WinMain("", test::WindowPorts({})));
  });
  EXPECT_EQ(code, 1);
  EXPECT_EQ(capture.Text(), "Error : Init. [stop] Registration of Window Class Failed !\n");
}

}  // namespace
}  // namespace veskor
