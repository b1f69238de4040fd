#include <gtest/gtest.h>
#include <signal.h>
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
  void SetUp() override { gWindowHalf = {}; }
  // The program's start-up and loop in a child process, on the store as written; the script
  // closes the window.
  int Run(const std::vector<WindowMessage>& script = {{kWmClose, 0, 0}}) {
    const ShellPorts ports = test::ScriptedPorts(script);
    return test::RunInChild([&] { NormalExit(WinMain("", ports)); });
  }
  test::TempDir dir_{"veskor_start"};
};

struct Edit {
  std::string name;
  std::optional<std::string> value;  // none: the value is removed
};

TEST_F(StartupTest, EachUnreadableOrRefusedSettingEndsTheStartWithItsMessage) {
  const std::string d = dir_.path();
  const std::string directories = "Error : Init. Main Plane [stop] Registry -> Directories !";
  const std::string settings = "Error : Init. Main Plane [stop] Registry -> Settings !";
  const struct {
    std::vector<Edit> edits;
    std::string record;
  } cases[] = {
      {{{"VeskorDir", {}}}, directories},
      {{{"WorkingDir", {}}}, directories},
      {{{"WorkingDir", d + std::string(511 - d.size(), 'w')}}, directories},
      {{{"ResourceDir", d + std::string(507 - d.size(), 'r')}}, directories},  // no room for Img/
      {{{"FirstLaunch", {}}}, settings},
      {{{"IDL", {}}}, settings},
      {{{"XSize", {}}}, settings},
      {{{"YPos", std::string(511, '0') + "7"}}, settings},  // does not fit the buffer
      // A number that is not wholly one counts as missing, and is not saved back.
      {{{"XSize", "abc"}}, settings},
      {{{"XSize", "0"}}, settings},
      {{{"YSize", "768px"}}, settings},
      {{{"XPos", "2147483648"}}, settings},
      {{{"YPos", "1.5"}}, settings},
      {{{"IDL", " -"}}, settings},
      {{{"PPS", {}}}, settings},
      {{{"ColorBits", "8"}}, "Error : Init. [stop] Unknown Nb. Bits Per Color !"},
      {{{"ColorBits", " 32"}, {"DepthBits", {}}},
       "Error : Init. [stop] Unknown Nb. Bits Per Color !"},
      {{{"DepthBits", "8"}}, "Error : Init. [stop] Unknown Nb. Bits Per Depth !"},
      {{{"StencilBits", "16"}}, "Error : Init. [stop] Unknown Nb. Bits Per Stencil !"},
      {{{"FullScreenMode", "true"}}, "Error : Init. [stop] Unknown Full Screen Mode !"},
      {{{"FullScreenSize", "1024 x 768"}}, "Error :  [stop] Unknown Full Screen Resolution !"},
      {{{"FullScreenSize", "320x200"}}, "Error :  [stop] Unknown Full Screen Resolution !"},
      {{{"MultiSampleMode", "YES"}}, "Error : Init. [stop] Unknown Multisample Mode !"},
      {{{"MultiSampleSize", "3"}}, "Error : Init. [stop] Unknown Multisample Mode !"},
      {{{"FPS", "1"}}, "Error : Init. [stop] Unknown Frame Per Second Mode !"},
      {{{"PPS", "false"}}, "Error : Init. [stop] Unknown Frame Per Second Mode !"},
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
    const std::string written = store.Write();
    test::MessageCapture capture;
    SCOPED_TRACE(c.edits.front().name);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(capture.Text(), c.record + "\n");
    EXPECT_EQ(store.Text(), written);
  }
}

TEST_F(StartupTest, WithoutAStoreStderrNamesItAndHowToWriteOne) {
  // An empty directory counts as missing: as "/" it would put the session log at the root.
  // A whole store padded by a comment to `size` bytes: one past the 1 MiB limit reads as empty,
  // and is said to be too large.
  const std::size_t kLimit = 1 << 20;
  const struct {
    bool file;
    Edit edit;
    std::size_t size = 0;
  } cases[] = {
      {false, {"BinaryDir", {}}},
      {true, {"BinaryDir", {}}},
      {true, {"VeskorDir", ""}},
      {true, {"BinaryDir", ""}},
      {true, {"SystemDir", ""}},
      {true, {"ResourceDir", ""}},
      {true, {"WorkingDir", ""}},
      {true, {"BinaryDir", {}}, kLimit},
      {true, {"VeskorDir", "/x/"}, kLimit + 1},
  };
  for (const auto& c : cases) {
    test::TestStore store(dir_);
    store.WriteResources();
    if (c.edit.value) {
      store.Set(c.edit.name, *c.edit.value);
    } else {
      store.Remove(c.edit.name);
    }
    std::string written = c.file ? store.Write() : "";
    if (c.size != 0) {
      written += ";" + std::string(c.size - written.size() - 2, 'x') + "\n";
      test::WriteFileBytes(store.path(),
                           {reinterpret_cast<const std::uint8_t*>(written.data()), written.size()});
    }
    test::MessageCapture capture;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Run(), 1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(capture.Text(), "Error : Init. Main Plane [stop] Registry -> Directories !\n");
    SCOPED_TRACE(said);
    const std::string lack = c.size > kLimit
                                 ? " is too large to read: 1048577 bytes, over its "
                                   "limit of 1048576\n"
                                 : " has no value \"" + c.edit.name + "\" of [" + kRegPathsKey +
                                       "], an empty one or too long a one\n";
    EXPECT_NE(said.find(store.path() + (c.file ? lack : ": No such file")), std::string::npos);
    EXPECT_NE(said.find("scripts/run"), std::string::npos);
    EXPECT_NE(said.find("write_settings_store"), std::string::npos);
    if (c.file) {
      EXPECT_EQ(store.Text(), written);  // nothing saved
    }
  }
}

TEST_F(StartupTest, FilesAndExtensionsAreCheckedInStepOrder) {
  test::TestStore store(dir_);
  store.Write();
  const std::string text = "Error [stop] " + store.TextResourcePath();
  const std::string music = "Error [stop] cannot find intro music";
  const std::string extensions =
      "Error [stop] Veskor needs OpenGL drivers with (minimum) support for these extensions "
      ":\n\n  GL_ARB_texture_cube_map\n  ";
  const struct {
    bool text, music;
    std::uint32_t extensions, windowResult;
    std::string record;
  } cases[] = {
      {false, true, 0xC0F, 1, text},
      {true, false, 0xC0F, 1, music},
      {false, false, 0xC0F, 1, text},
      {false, false, 0xC07, 1, extensions},
      {false, false, 0xC0F, 0, "Error [stop] can't init P !"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(dir_.Path("resources"));
    store.WriteResources(c.text, c.music);
    gWindowHalf.extensions = c.extensions;
    gWindowHalf.result = c.windowResult;
    test::MessageCapture capture;
    EXPECT_EQ(Run(), 1) << c.record;
    EXPECT_EQ(capture.Text(), c.record + "\n");
  }
}

TEST_F(StartupTest, UntestedBoardsAreWarnedOfOnTheFirstLaunchOnly) {
  const std::string warning =
      "Warning, Errors or visual failures can occur ! [exclamation] veskor was not tested on "
      "your 3D board:\n\n     - Acme Graphics, Pixel Mill 3\n\nveskor was successfully tested "
      "on:\n\n     - NVIDIA GeForce family boards\n     - ATI Radeon 7500 and 8500\n\nWould you "
      "like to continue ?\n";
  const struct {
    const char* firstLaunch;
    std::uint32_t board;
    const char* answer;
    bool warned;
  } cases[] = {
      {"TRUE", 0x0F, "no", true},   {"TRUE", 0x01, "no", true},  {"TRUE", 0x33, "no", true},
      {"TRUE", 0x0F, "yes", true},  {"TRUE", 0x32, "no", false}, {"TRUE", 0x24, "no", false},
      {"FALSE", 0x0F, "no", false}, {"bogus", 0x0F, "no", true},  // the flag keeps its 1
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
    EXPECT_EQ(Run({{kWmMove, 0, MakeLParam(70, 80)}, {kWmClose, 0, 0}}), 0);
    EXPECT_EQ(capture.Text(), c.warned ? warning : "");
    char v[kRegValueBytes];
    ASSERT_EQ(RegReadValue(kHkeyCurrentUser, kRegRootKey, "FirstLaunch", v), 1u);
    EXPECT_STREQ(v, "FALSE");  // saved on the way out either way
    ASSERT_EQ(RegReadValue(kHkeyCurrentUser, kRegSettingsKey, "XPos", v), 1u);
    EXPECT_STREQ(v, c.warned && c.answer[0] == 'n' ? "50" : "70");
  }
}

// Shown (a zenity), the question of a first launch that is closed without an answer, by a quit
// signal while it is open, ends the run as a close before the loop would (0, or 5 when a
// capture was asked for) and leaves FirstLaunch TRUE, so that the next launch asks again; an
// answer, Yes or No, ends the first launch.
TEST_F(StartupTest, AFirstLaunchQuestionLeftUnansweredIsAskedAgain) {
  test::StandInZenity zenity("wait");
  test::ScopedEnv display("DISPLAY", ":7");
  const struct {
    int answer;  // -1: SIGTERM while the question is open
    bool capture;
    int status;
    const char* firstLaunch;
    const char* xPos;
  } cases[] = {{-1, false, 0, "TRUE", "50"},
               {-1, true, 5, "TRUE", "50"},
               {0, false, 0, "FALSE", "70"},
               {1, false, 0, "FALSE", "50"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.answer) + (c.capture ? ", capture" : ""));
    test::TestStore store(dir_);
    store.WriteResources();
    store.Write();
    gWindowHalf.boardClass = 0x0F;
    zenity.Forget();
    test::ScopedEnv capture("VESKOR_CAPTURE", c.capture ? dir_.Path("shot.png").c_str() : nullptr);
    const ShellPorts ports =
        test::ScriptedPorts({{kWmMove, 0, MakeLParam(70, 80)}, {kWmClose, 0, 0}});
    EXPECT_EQ(test::RunInChild([&] {
                WatchQuitSignals();
                std::thread([&] {
                  if (zenity.WaitForStart() == 0) return;
                  if (c.answer < 0) {
                    kill(getpid(), SIGTERM);
                  } else {
                    zenity.Answer(c.answer);
                  }
                }).detach();
                NormalExit(WinMain("", ports));
              }),
              c.status);
    EXPECT_EQ(zenity.Args().rfind("--question\n--title=Warning, Errors or visual failures", 0), 0u);
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
  SetWorldPath((fits + "q").c_str());
  EXPECT_EQ(std::string(WorldPath) + std::to_string(WorldPathTooLong), "1");
  SetWorldPath("\"C:\\worlds\\a b.wld\"");
  EXPECT_EQ(std::string(WorldPath) + std::to_string(WorldPathTooLong), "\"C:\\worlds\\a b.wld\"0");
  SetWorldPath("");
  EXPECT_EQ(std::string(WorldPath) + std::to_string(WorldPathTooLong), "0");
}

}  // namespace
}  // namespace veskor
