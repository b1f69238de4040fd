#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/error_boxes.h"
#include "app/program_entry.h"
#include "app/registry.h"
#include "app/settings.h"
#include "platform/display_loss.h"
#include "platform/process.h"
#include "shell_test_support.h"
#include "support/message_capture.h"
#include "support/scoped_env.h"
#include "support/stand_in_zenity.h"

namespace veskor {
namespace {

using test::gWindowHalf;

class StartupTest : public testing::Test {
 protected:
  // Each run starts as a run does: no Warning of an unsaved store shown yet.
  void SetUp() override {
    gWindowHalf = {};
    SettingsWarningShown = 0;
  }
  // The program's start-up and loop in a child process, on the store as written; the script
  // closes the window.
  int Run(const std::vector<WindowMessage>& script = {{kWmClose, 0, 0}}) {
    const ShellPorts ports = test::ScriptedPorts(script);
    return test::RunInChild([&] { NormalExit(WinMain("", ports)); });
  }
  test::TempDir dir_{"veskor_start"};
  test::Kept<std::uint32_t> warned_{SettingsWarningShown};
};

struct Edit {
  std::string name;
  std::optional<std::string> value;  // none: the value is removed
};

// A refused setting's box names neither the store nor the value: stderr does, and what the
// value may be (`may`; "" when it has none that reads). A line that breaks the store's rules
// (`line`, put first in the Settings key) is not there. A value is shown quoted as in the store,
// its control bytes written out (`shown`).
TEST_F(StartupTest, EachUnreadableOrRefusedSettingEndsTheStartWithItsMessage) {
  const std::string d = dir_.path();
  const std::string directories = "Error : Init. Main Plane [stop] Registry -> Directories !";
  const std::string settings = "Error : Init. Main Plane [stop] Registry -> Settings !";
  const std::string unknown = "Error : Init. [stop] Unknown ";
  const std::string resolution = "Error :  [stop] Unknown Full Screen Resolution !";
  const char *size = "a whole number from 1 to 2147483647",
             *dir = "a directory of at most 511 characters, its '/' included",
             *resourceDir = "a directory of at most 507 characters, its '/' included",
             *number = "a whole number from -2147483648 to 2147483647", *bits = "16, 24 or 32",
             *flag = "TRUE or FALSE",
             *sizes =
                 "one of 640x480, 800x600, 1024x768, 1152x864, 1280x1024, 1400x1050, "
                 "1600x1200, 2048x1536";
  const struct {
    std::vector<Edit> edits;
    std::string record;
    const char* may = nullptr;  // none: stderr is not looked at here
    std::string line = {};
    std::string shown = {};
  } cases[] = {
      {{{"VeskorDir", {}}}, directories},
      {{{"WorkingDir", {}}}, directories},
      // One past the longest directory, its '/' added (the longest are taken: SettingsTest).
      {{{"WorkingDir", d + std::string(511 - d.size(), 'w')}}, directories, dir},
      {{{"VeskorDir", d + std::string(511 - d.size(), 'v')}}, directories, dir},
      {{{"BinaryDir", d + std::string(511 - d.size(), 'b')}}, directories, dir},
      {{{"SystemDir", d + std::string(511 - d.size(), 's')}}, directories, dir},
      {{{"ResourceDir", d + std::string(507 - d.size(), 'r')}}, directories, resourceDir},
      {{{"ResourceDir", d + std::string(507 - d.size(), 'r') + "/"}}, directories, resourceDir},
      {{{"FirstLaunch", {}}}, settings, ""},
      {{{"IDL", {}}}, settings, ""},
      {{{"XSize", {}}}, settings, ""},
      {{{"XSize", {}}}, settings, "", "\"XSize\"=\"1024"},  // unclosed
      {{{"XSize", {}}}, settings, "", std::string("\"XSize\"=\"10") + '\0' + "24\""},
      {{{"YPos", std::string(511, '0') + "7"}}, settings, ""},  // does not fit the buffer
      // A number that is not wholly one counts as missing, and is not saved back.
      {{{"XSize", "abc"}}, settings, size},
      {{{"XSize", "0"}}, settings, size},
      {{{"XSize", "-5"}}, settings, size},
      {{{"XSize", std::string(20, '9')}}, settings, size},
      {{{"XSize", "\x1b[2J\"\\\x7f"}}, settings, size, "", "\\x1B[2J\\\"\\\\\\x7F"},
      {{{"YSize", "768px"}}, settings, size},
      {{{"XPos", "2147483648"}}, settings, number},
      {{{"YPos", "1.5"}}, settings, number},
      {{{"IDL", " -"}}, settings, number},
      {{{"PPS", {}}}, settings, ""},
      {{{"ColorBits", "8"}}, unknown + "Nb. Bits Per Color !", bits},
      {{{"ColorBits", " 32"}, {"DepthBits", {}}}, unknown + "Nb. Bits Per Color !", bits},
      {{{"DepthBits", "8"}}, unknown + "Nb. Bits Per Depth !", bits},
      {{{"StencilBits", "16"}}, unknown + "Nb. Bits Per Stencil !", "8"},
      {{{"FullScreenMode", "true"}}, unknown + "Full Screen Mode !", flag},
      {{{"FullScreenSize", "1024 x 768"}}, resolution, sizes},
      {{{"FullScreenSize", "320x200"}}, resolution, sizes},
      {{{"FullScreenSize", "99999x99999"}}, resolution, sizes},
      {{{"MultiSampleMode", "YES"}}, unknown + "Multisample Mode !", flag},
      {{{"MultiSampleSize", "3"}}, unknown + "Multisample Mode !", "2 or 4"},
      {{{"FPS", "1"}}, unknown + "Frame Per Second Mode !", flag},
      {{{"PPS", "false"}}, unknown + "Frame Per Second Mode !", flag},
  };
  for (const auto& c : cases) {
    test::TestStore store(dir_);
    store.WriteResources();
    for (const Edit& e : c.edits) {
      if (e.value) {
        store.Set(e.name, *e.value);
      } else {
        store.Remove(e.name);
      }
    }
    std::string written = store.Write();
    if (!c.line.empty()) {
      const std::string header = "[" + std::string(kRegSettingsKey) + "]\n";
      written.insert(written.find(header) + header.size(), c.line + "\n");
      dir_.Write("registry", written);
    }
    test::MessageCapture capture;
    testing::internal::CaptureStderr();
    SCOPED_TRACE(c.edits.front().name);
    EXPECT_EQ(Run(), 1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(capture.Text(), c.record + "\n");
    if (c.may != nullptr) {
      const Edit& e = c.edits.front();
      const char* key = e.name == "IDL" || e.name == "FirstLaunch" ? kRegRootKey
                        : e.name.ends_with("Dir")                  ? kRegPathsKey
                                                                   : kRegSettingsKey;
      const std::string in = "\" of [" + std::string(key) + "]";
      EXPECT_EQ(said,
                "veskor: the settings store " + store.path() +
                    (*c.may == '\0'
                         ? " has no readable value \"" + e.name + in + ", or too long a one\n"
                         : " has \"" + e.name + "\"=\"" + (c.shown.empty() ? *e.value : c.shown) +
                               in + ", which is not " + c.may + "\n"));
    }
    EXPECT_EQ(store.Text(), written);
  }
}

TEST_F(StartupTest, WithoutAStoreStderrNamesItAndHowToWriteOne) {
  // An empty directory counts as missing: as "/" it would put the session log at the root.
  // A whole store padded by a comment to `size` bytes: one past the 1 MiB limit reads as empty,
  // and is said to be too large. A directory or an empty file where the store should be is
  // named as such: no value is what it lacks. So is one that another process holds for a write
  // longer than a read waits, and one that is not a regular file, which cannot give back what was
  // written to it: a pipe filled with a whole store included, and a FIFO never opened.
  const std::size_t kLimit = 1 << 20;
  enum Store { kNone, kWritten, kDirectory, kEmpty, kHeld, kFifo, kPipe, kSocket, kDevice };
  const char* const kinds[] = {"a FIFO", "a pipe", "a socket", "a device"};
  const struct {
    Store file;
    Edit edit;
    std::size_t size = 0;
    const char* text = nullptr;  // the store's whole text, when given
  } cases[] = {
      {kNone, {"BinaryDir", {}}},
      {kWritten, {"BinaryDir", {}}},
      {kWritten, {"VeskorDir", ""}},
      {kWritten, {"BinaryDir", ""}},
      {kWritten, {"SystemDir", ""}},
      {kWritten, {"ResourceDir", ""}},
      {kWritten, {"WorkingDir", ""}},
      {kWritten, {"BinaryDir", {}}, kLimit},
      {kWritten, {"VeskorDir", "/x/"}, kLimit + 1},
      {kDirectory, {"VeskorDir", {}}},
      {kEmpty, {"VeskorDir", {}}},
      {kWritten, {"VeskorDir", {}}, 0, "\n"},  // a line end and no more: not empty
      {kHeld, {"IDL", "0"}},
      {kPipe, {"IDL", "0"}},
      {kSocket, {"IDL", "0"}},
      {kDevice, {"IDL", "0"}},
      {kFifo, {"IDL", "0"}},
  };
  for (const auto& c : cases) {
    test::TestStore store(dir_);
    std::filesystem::remove(store.path());
    store.WriteResources();
    if (c.edit.value) {
      store.Set(c.edit.name, *c.edit.value);
    } else {
      store.Remove(c.edit.name);
    }
    std::string written =
        c.file == kWritten || c.file == kHeld || c.file >= kPipe ? store.Write() : "";
    if (c.text != nullptr) written = c.text;
    if (c.size != 0) written += ";" + std::string(c.size - written.size() - 2, 'x') + "\n";
    if (c.size != 0 || c.text != nullptr || c.file == kEmpty)
      test::WriteFileBytes(store.path(),
                           {reinterpret_cast<const std::uint8_t*>(written.data()), written.size()});
    if (c.file == kDirectory) std::filesystem::create_directories(store.path());
    std::string path = c.file == kDevice ? "/dev/null" : store.path();
    int held = -1, ends[2] = {-1, -1};
    struct flock lock {};
    lock.l_type = F_WRLCK;
    if (c.file == kHeld) {
      held = open(path.c_str(), O_RDWR);
      ASSERT_EQ(fcntl(held, F_SETLK, &lock), 0);
    }
    if (c.file == kFifo) {
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    }
    if (c.file == kPipe || c.file == kSocket) {  // kPipe as `3< <(cat registry)` gives it
      ASSERT_EQ(c.file == kPipe ? pipe(ends) : socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
      ASSERT_EQ(write(ends[1], written.data(), written.size()), ssize_t(written.size()));
      close(ends[1]);
      path = "/dev/fd/" + std::to_string(ends[0]);
    }
    const test::ScopedEnv named("VESKOR_REGISTRY", path.c_str());
    test::MessageCapture capture;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Run(), 1);
    const std::string said = testing::internal::GetCapturedStderr();
    for (const int fd : {held, ends[0]})
      if (fd >= 0) close(fd);
    EXPECT_EQ(capture.Text(), "Error : Init. Main Plane [stop] Registry -> Directories !\n");
    SCOPED_TRACE(said);
    const std::string lack =
        c.file == kNone   ? ": No such file or directory\n"  // after "cannot read"
        : c.file == kHeld ? ": another process (pid " + std::to_string(getpid()) +
                                ") has held the file for more than 3 seconds\n"
        : c.file >= kFifo ? std::string(" is ") + kinds[c.file - kFifo] + ", not a regular file\n"
        : c.file == kDirectory ? " is a directory\n"
        : c.file == kEmpty     ? " is empty\n"
        : c.size > kLimit      ? " is too large to read: 1048577 bytes, over its limit of 1048576\n"
                               : " has no value \"" + c.edit.name + "\" of [" + kRegPathsKey +
                                "], an empty one or too long a one\n";
    EXPECT_EQ(said.substr(0, said.find('\n') + 1),
              std::string(c.file == kNone || c.file == kHeld ? "veskor: cannot read the"
                                                             : "veskor: the") +
                  " settings store " + path + lack);
    EXPECT_NE(said.find("scripts/run"), std::string::npos);
    EXPECT_NE(said.find("write_settings_store"), std::string::npos);
    if (c.file == kWritten || c.file == kEmpty || c.file == kHeld) {
      EXPECT_EQ(store.Text(), written);  // nothing saved
    }
  }
}

TEST_F(StartupTest, TheStoreIsNeverSavedPastTheSizeItCanBeReadAt) {
  // A whole store padded by a comment to `size` bytes, FirstLaunch TRUE: the save at the end of
  // the run ("FALSE") makes it one byte longer. Up to the 1 MiB limit it is saved; past it the
  // file keeps its text and a Warning says why, and the next run starts from it all the same.
  const std::size_t kLimit = 1 << 20;
  const struct {
    std::size_t size;
    bool saved;
  } cases[] = {{kLimit - 1, true}, {kLimit, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    test::TestStore store(dir_);
    store.WriteResources();
    std::string written = store.Write();
    written += ";" + std::string(c.size - written.size() - 2, 'x') + "\n";
    test::WriteFileBytes(store.path(),
                         {reinterpret_cast<const std::uint8_t*>(written.data()), written.size()});
    const std::string warning =
        c.saved ? ""
                : "Warning : Shutdown [exclamation] Settings not saved !\n\nCannot write " +
                      store.path() +
                      " :\nthe store would be too large to read: 1048577 bytes, over its limit "
                      "of 1048576\n";
    for (const int run : {1, 2}) {
      SCOPED_TRACE(run);
      test::MessageCapture capture;
      EXPECT_EQ(Run(), 0);
      EXPECT_EQ(capture.Text(), warning);
      const std::string text = store.Text();
      EXPECT_EQ(text.size(), c.saved ? kLimit : c.size);
      EXPECT_EQ(text.find("\"FirstLaunch\"=\"FALSE\"") != std::string::npos, c.saved);
    }
  }
}

// A main plane whose window half never registered the exit routine (the window stood in here)
// is shut down, its settings saved, by its destructor, after the statics of other files may
// have gone: the store's failure texts, a long one left by an earlier failed save, outlive
// them, whatever order the statics go in.
TEST_F(StartupTest, TheSaveAtTheEndFollowsAFailedSaveWhateverOrderTheStaticsGoIn) {
  test::TestStore store(dir_);
  store.WriteResources();
  const std::string written = store.Write();
  const std::string root = "[" + std::string(kRegRootKey) + "]\n";
  ASSERT_NE(written.find(root), std::string::npos);
  test::MessageCapture capture;
  EXPECT_EQ(test::RunInChild([&] {
              const int code = WinMain("", test::ScriptedPorts({{kWmClose, 0, 0}}));
              SettingsWriteString(SettingsRoot::kCurrentUser, "Software\\No such key", "x", "y");
              // Without its root key the store refuses the end's save too, with a reason of its
              // own written over the first.
              std::string text = written;
              dir_.Write("registry", text.replace(text.find(root), root.size(), "[Gone]\n"));
              NormalExit(code);
            }),
            0);
  EXPECT_EQ(capture.Text(), "Warning : Shutdown [exclamation] Settings not saved !\n\nCannot write " +
                                store.path() + " :\nit has no key [" + kRegRootKey + "]\n");
}

// A FIFO in the place of the texts or the music is refused at once, said as what it is (a start
// that waited on it would end by the alarm).
TEST_F(StartupTest, FilesAndExtensionsAreCheckedInStepOrder) {
  test::TestStore store(dir_);
  store.Write();
  const std::string text = "Error [stop] " + store.TextResourcePath();
  const std::string music = "Error [stop] cannot find intro music";
  const std::string extensions =
      "Error [stop] Veskor needs OpenGL drivers with (minimum) support for these extensions "
      ":\n\n  GL_ARB_texture_cube_map\n  ";
  const std::string musicPath = dir_.Path("resources/Snd/introveskor.ogg");
  const std::string fifo = ": it is a FIFO, not a regular file";
  const struct {
    bool text, music;
    std::uint32_t extensions, windowResult;
    std::string record;
    std::string fifo = "";  // a FIFO made in the place of this file
  } cases[] = {
      {false, true, 0xC0F, 1, text},
      {true, false, 0xC0F, 1, music},
      {false, false, 0xC0F, 1, text},
      {false, false, 0xC07, 1, extensions},
      {false, false, 0xC0F, 0, "Error [stop] can't init P !"},
      {false, true, 0xC0F, 1, text + fifo, store.TextResourcePath()},
      {true, false, 0xC0F, 1, "Error [stop] cannot open intro music " + musicPath + fifo,
       musicPath},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir_.Path("resources"));
    store.WriteResources(c.text, c.music);
    if (!c.fifo.empty()) {
      ASSERT_EQ(mkfifo(c.fifo.c_str(), 0600), 0);
    }
    gWindowHalf.extensions = c.extensions;
    gWindowHalf.result = c.windowResult;
    test::MessageCapture capture;
    EXPECT_EQ(test::RunInChild([] {
                alarm(20);
                NormalExit(WinMain("", test::ScriptedPorts({{kWmClose, 0, 0}})));
              }),
              1)
        << c.record;
    EXPECT_EQ(capture.Text(), c.record + "\n");
  }
}

TEST_F(StartupTest, UntestedBoardsAreWarnedOfOnTheFirstLaunchOnly) {
  const std::string warning =
      "Warning, Errors or visual failures can occur ! [exclamation] veskor was not tested on "
      "your 3D board:\n\n     - Acme Graphics, Pixel Mill 3\n\nveskor was successfully tested "
      "on:\n\n     - NVIDIA GeForce family boards\n     - ATI Radeon 7500 and 8500\n\nWould you "
      "like to continue ?\n";
  // An answer that is neither yes nor no ("n") is none: the run ends with the status of an
  // unshown question, the first launch not over.
  const struct {
    const char* firstLaunch;
    std::uint32_t board;
    const char* answer;
    bool warned;
    int status = 0;
    const char* saved = "FALSE";
  } cases[] = {
      {"TRUE", 0x0F, "no", true},   {"TRUE", 0x01, "no", true},  {"TRUE", 0x33, "no", true},
      {"TRUE", 0x0F, "yes", true},  {"TRUE", 0x32, "no", false}, {"TRUE", 0x24, "no", false},
      {"FALSE", 0x0F, "no", false}, {"bogus", 0x0F, "no", true},  // the flag keeps its 1
      {"TRUE", 0x0F, "NO", true},   {"TRUE", 0x0F, "n", true, 6, "TRUE"},
  };
  for (const auto& c : cases) {
    test::TestStore store(dir_);
    store.WriteResources();
    store.Set("FirstLaunch", c.firstLaunch);
    store.Write();
    gWindowHalf.boardClass = c.board;
    test::MessageCapture capture;
    test::MessageCapture::Answer(c.answer);
    SCOPED_TRACE(std::string(c.firstLaunch) + " " + std::to_string(c.board) + " " + c.answer);
    // A declined warning ends before the loop: the script's move would be recorded and saved.
    EXPECT_EQ(Run({{kWmMove, 0, MakeLParam(70, 80)}, {kWmClose, 0, 0}}), c.status);
    EXPECT_EQ(capture.Text(), c.warned ? warning : "");
    char v[kRegValueBytes];
    ASSERT_EQ(RegReadValue(kHkeyCurrentUser, kRegRootKey, "FirstLaunch", v), 1u);
    EXPECT_STREQ(v, c.saved);  // saved on the way out either way
    ASSERT_EQ(RegReadValue(kHkeyCurrentUser, kRegSettingsKey, "XPos", v), 1u);
    EXPECT_STREQ(v, c.warned && (c.answer[0] | 0x20) == 'n' ? "50" : "70");
  }
}

// Shown (a zenity), the question of a first launch that is closed without an answer, by a quit
// signal while it is open, ends the run as a close before the loop would (0, or 5 when a
// capture was asked for) and leaves FirstLaunch TRUE, so that the next launch asks again; an
// answer, Yes or No (Escape, or the window closed by its manager, included), ends the first
// launch. A question that could not be shown (zenity ends 1, as when it cannot open its
// display; zenity ended by a signal before any answer; no zenity, and SDL's box has no display
// either; no display named, and the zenity of SDL's box ends without a button) is no answer:
// FirstLaunch stays TRUE, its text and the reason go to stderr, and the run ends with a status
// of its own, also before a capture's.
TEST_F(StartupTest, AFirstLaunchQuestionLeftUnansweredIsAskedAgain) {
  test::StandInZenity zenity("wait");
  test::ScopedEnv display("DISPLAY", ":7"), wayland("WAYLAND_DISPLAY", nullptr);
  const struct {
    // -1: SIGTERM while the question is open; -2: zenity ends 1; -3: no zenity; -4: Escape;
    // -5: the window closed by its manager; -6: SIGSEGV sent to zenity while it is open; -7: no
    // display named, and SDL's zenity ends 1
    int answer;
    bool capture;
    int status;
    const char* firstLaunch;
    const char* xPos;
  } cases[] = {{-1, false, 0, "TRUE", "50"}, {-1, true, 5, "TRUE", "50"},
               {-2, false, 6, "TRUE", "50"}, {-3, true, 6, "TRUE", "50"},
               {-4, false, 0, "FALSE", "50"}, {-5, true, 5, "FALSE", "50"},
               {-6, false, 6, "TRUE", "50"}, {-6, true, 6, "TRUE", "50"},
               {-7, false, 6, "TRUE", "50"}, {0, false, 0, "FALSE", "70"},
               {1, false, 0, "FALSE", "50"}};
  const char* const does[] = {"wait", "wait", "=1", "wait", "esc", "closed", "wait", "=1"};
  const char* const why[] = {
      nullptr,
      nullptr,
      "zenity ended with status 1, which is none of its answers\n",
      "zenity could not be started, and SDL's box failed: ",
      nullptr,
      nullptr,
      "zenity was ended by signal 11 (Segmentation fault)\n",
      "no display is named (DISPLAY, WAYLAND_DISPLAY), and SDL's box gave no answer\n"};
  const std::string caption = "Warning, Errors or visual failures can occur !";
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.answer) + (c.capture ? ", capture" : ""));
    test::TestStore store(dir_);
    store.WriteResources();
    store.Write();
    gWindowHalf.boardClass = 0x0F;
    zenity.Forget();
    zenity.Does(does[c.answer < 0 ? -c.answer : 0]);
    test::ScopedEnv capture("VESKOR_CAPTURE", c.capture ? dir_.Path("shot.png").c_str() : nullptr);
    test::ScopedEnv path("PATH", c.answer == -3 ? dir_.path().c_str() : std::getenv("PATH"));
    test::ScopedEnv noServer("DISPLAY", c.answer == -3   ? ":4242"
                                        : c.answer == -7 ? nullptr
                                                         : ":7");
    const ShellPorts ports =
        test::ScriptedPorts({{kWmMove, 0, MakeLParam(70, 80)}, {kWmClose, 0, 0}});
    testing::internal::CaptureStderr();
    EXPECT_EQ(test::RunInChild([&] {
                WatchQuitSignals();
                std::thread([&] {
                  if (c.answer < -1 && c.answer != -6) return;
                  const pid_t box = zenity.WaitForStart();
                  if (box == 0) return;
                  if (c.answer == -6) {
                    kill(box, SIGSEGV);
                  } else if (c.answer < 0) {
                    kill(getpid(), SIGTERM);
                  } else {
                    zenity.Answer(c.answer);
                  }
                }).detach();
                NormalExit(WinMain("", ports));
              }),
              c.status);
    const std::string said = testing::internal::GetCapturedStderr();
    const char* reason = c.answer < 0 ? why[-c.answer] : nullptr;
    EXPECT_EQ(said.find(caption + " [exclamation] veskor was not tested on your 3D board:\n") !=
                  std::string::npos,
              c.answer == -1 || reason != nullptr)
        << said;
    EXPECT_EQ(said.find("veskor: cannot show the box \"" + caption + "\": " +
                        (reason != nullptr ? reason : "")) != std::string::npos,
              reason != nullptr)
        << said;
    if (c.answer == -7) {  // with no display named, no box is started: ours nor SDL's
      EXPECT_EQ(zenity.Args(), "");
    } else if (c.answer != -3) {
      EXPECT_EQ(zenity.Args().rfind("--question\n--title=" + caption, 0), 0u);
    }
    char v[kRegValueBytes];
    ASSERT_EQ(RegReadValue(kHkeyCurrentUser, kRegRootKey, "FirstLaunch", v), 1u);
    EXPECT_STREQ(v, c.firstLaunch);
    ASSERT_EQ(RegReadValue(kHkeyCurrentUser, kRegSettingsKey, "XPos", v), 1u);
    EXPECT_STREQ(v, c.xPos);
  }
}

TEST_F(StartupTest, TheBoardTextTakesDriverStringsOfFullLength) {
  MainPlane plane;
  std::memset(plane.vendor, 'v', 255);
  std::memset(plane.renderer, 'r', 255);
  plane.boardClass = 0x0F;
  FirstLaunch = 1;
  test::MessageCapture capture;
  FirstLaunchWarning(plane);
  EXPECT_NE(capture.Text().find("     - " + std::string(255, 'v') + ", " + std::string(255, 'r') +
                                "\n\nveskor was successfully"),
            std::string::npos);
}

TEST(ErrorBoxes, CaptionsStayInTheirBufferAndErrorsEndWithCodeOne) {
  const std::string place(300, 'p');
  EXPECT_EXIT(ReportError(place.c_str(), "Release of Window Failed !"), testing::ExitedWithCode(1),
              "^Error : " + std::string(kCaptionBytes - 9, 'p') +
                  " \\[stop\\] Release of Window Failed !\n$");
  test::MessageCapture capture;
  EXPECT_EQ(ReportWarning(kPlaceMainPlane, "Colors"), MessageAnswer::kOk);
  EXPECT_EQ(capture.Text(), "Warning : Init. Main Plane [exclamation] Colors\n");
}

TEST(WorldPath, TheCommandLineIsKeptWholeOrNotAtAll) {
  const std::string fits(511, 'p');
  SetWorldPath(fits.c_str());
  EXPECT_EQ(std::string(WorldPath) + std::to_string(WorldPathTooLong), fits + "0");
  // Too long, it is marked with its length.
  SetWorldPath((fits + "q").c_str());
  EXPECT_EQ(std::string(WorldPath) + std::to_string(WorldPathTooLong), "512");
  SetWorldPath(std::string(4000, 'p').c_str());
  EXPECT_EQ(std::string(WorldPath) + std::to_string(WorldPathTooLong), "4000");
  SetWorldPath("\"C:\\worlds\\a b.wld\"");
  EXPECT_EQ(std::string(WorldPath) + std::to_string(WorldPathTooLong), "\"C:\\worlds\\a b.wld\"0");
  SetWorldPath("");
  EXPECT_EQ(std::string(WorldPath) + std::to_string(WorldPathTooLong), "0");
}

}  // namespace
}  // namespace veskor
