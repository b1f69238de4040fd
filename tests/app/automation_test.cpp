// The unattended runs' variables, the frame count to the quit choice, and the records.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "app/automation.h"
#include "app/main_plane.h"
#include "app/program_entry.h"
#include "app/settings.h"
#include "foundation/frame_clock.h"
#include "gfx/texture_names.h"
#include "gfx/view_plane.h"
#include "support/kept_global.h"
#include "support/message_capture.h"

namespace veskor {
namespace {

class AutomationTest : public testing::Test {
 protected:
  void TearDown() override {
    unsetenv("VESKOR_AUTOQUIT");
    unsetenv("VESKOR_CAPTURE");
    AutomationInit();
    QuitRequest = WorldReady = 0;
  }
  // The automatic quit takes the main menu's quit choice, which writes the settings and warns
  // once a run when it cannot.
  test::Kept<std::uint32_t> warned_{SettingsWarningShown};
  test::Kept<std::uint32_t> names_{TextureNamePool.initialised};
};

// A value refused is said on stderr, as every line of the program's, behind "veskor: ".
TEST_F(AutomationTest, TheVariablesAreReadOnceAtStart) {
  const std::string twenty(20, '9');
  const struct {
    const char* quit;
    std::int32_t frames;
  } cases[] = {{nullptr, -1},
               {"", -1},
               {"1", 1},
               {"30", 30},
               {"0", -1},
               {"-2", -1},
               {"-1", -1},
               {"x", -1},
               {"abc", -1},
               {"12abc", -1},
               {"1x", -1},
               {"99999999999", -1},
               {twenty.c_str(), -1},
               {"1000000000", 1000000000},
               {"1000000001", -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.quit != nullptr ? c.quit : "unset");
    c.quit != nullptr ? setenv("VESKOR_AUTOQUIT", c.quit, 1) : unsetenv("VESKOR_AUTOQUIT");
    testing::internal::CaptureStderr();
    AutomationInit();
    EXPECT_EQ(Automation.quitFrames, c.frames);
    const bool refused = c.frames < 0 && c.quit != nullptr && c.quit[0] != '\0';
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              refused ? "veskor: VESKOR_AUTOQUIT=" + std::string(c.quit) +
                            " is not a number of frames: ignored\n"
                      : "");
  }
  unsetenv("VESKOR_AUTOQUIT");
  const struct {
    std::string capture;
    const char* path;
    const char* said;
  } captures[] = {
      {"shot.png", "shot.png", ""},
      {std::string(kCapturePathBytes - 1, 'a'), nullptr, ""},  // the longest that fits
      {std::string(kCapturePathBytes, 'a'), "",
       "veskor: VESKOR_CAPTURE is too long a path: ignored\n"},
  };
  for (const auto& c : captures) {
    SCOPED_TRACE(c.capture.size());
    setenv("VESKOR_CAPTURE", c.capture.c_str(), 1);
    testing::internal::CaptureStderr();
    AutomationInit();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.said);
    EXPECT_EQ(Automation.capturePath, std::string(c.path != nullptr ? c.path : c.capture));
  }
}

TEST_F(AutomationTest, TheQuitComesInTheNthFrameAfterTheArming) {
  setenv("VESKOR_AUTOQUIT", "3", 1);
  for (const bool inFrame : {false, true}) {
    SCOPED_TRACE(inFrame ? "sessions within a frame" : "welcome closed after a frame");
    AutomationInit();
    QuitRequest = 0;
    AutomationFrameDone(gMainPlane);  // frames before the arming do not count
    inFrame ? AutomationArmInFrame() : AutomationArm();
    AutomationArm();  // a later arming changes nothing
    if (inFrame) AutomationFrameDone(gMainPlane);  // the frame the sessions ran in
    std::string quits;
    for (int i = 0; i < 4; ++i) {
      AutomationFrameDone(gMainPlane);
      quits += std::to_string(QuitRequest);
      QuitRequest = 0;
    }
    EXPECT_EQ(quits, "0010");
  }
  // Without the variable nothing quits.
  unsetenv("VESKOR_AUTOQUIT");
  AutomationInit();
  AutomationArm();
  for (int i = 0; i < 5; ++i) AutomationFrameDone(gMainPlane);
  EXPECT_EQ(QuitRequest, 0u);
}

// The exit status follows the last session: a failed world then a good one ends with the loop's.
TEST_F(AutomationTest, HeadlessRunsRecordLinesAndTimings) {
  setenv("VESKOR_AUTOQUIT", "1000", 1);
  AutomationInit();
  std::string codes = std::to_string(AutomationExitCode(5));
  // The lines as the status place and the log show them, the markup's escapes gone wherever
  // they stand, the literal after "\%" whole.
  const struct {
    const char* line;
    std::int32_t mode;
    std::string recorded;
  } lines[] = {
      {"> begin 'parse' session", 0, "Log [none] > begin 'parse' session"},
      {"\\%Syntax error file (a\\n.wld) line (2) : '}' expected", 1,
       "Status [none] Syntax error file (a\\n.wld) line (2) : '}' expected"},
      {"      parse file <\\%lagoon.wld>", 0, "Log [none]       parse file <lagoon.wld>"},
      {"      cannot open \\%x.wld: Permission denied", 0,
       "Log [none]       cannot open x.wld: Permission denied"},
      {"\\b\\3compile", 1, "Status [none] compile"},
      {"a\\x\\%b\\%c\\", 0, "Log [none] axb\\%c\\"},
      {nullptr, 1, "Status [none] "},
  };
  {
    test::MessageCapture capture;
    std::string recorded;
    for (const auto& l : lines) {
      RecordStatusLine(l.line, l.mode);
      recorded += l.recorded + "\n";
    }
    RecordStageTime("Environment / Moons", 0.25);
    AutomationSessionsEnded(-1.0);  // a failed compile: no render session
    codes += std::to_string(AutomationExitCode(0));
    WorldReady = 1;
    AutomationFrameDone(gMainPlane);
    AutomationSessionsEnded(NowSeconds());
    codes += std::to_string(AutomationExitCode(0));
    AutomationFrameDone(gMainPlane);
    AutomationFrameDone(gMainPlane);  // the first frame only
    const std::string text = capture.Text();
    const std::string head = recorded +
                             "Timing [none] stage 'Environment / Moons' 0.250 s\n"
                             "Timing [none] render session 0.0";
    EXPECT_EQ(text.substr(0, head.size()), head);
    const std::size_t first = text.find(" s\nTiming [none] first frame ");
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(text.rfind("Timing"), first + 3);  // the last record
    EXPECT_EQ(text.back(), '\n');
  }
  EXPECT_EQ(codes, "520");
  unsetenv("VESKOR_AUTOQUIT");  // a failure without the variable: the loop's own status
  AutomationInit();
  AutomationSessionsEnded(-1.0);
  EXPECT_EQ(AutomationExitCode(0), 0);
  unsetenv("VESKOR_MESSAGES");  // outside headless runs nothing is recorded, nothing fails
  RecordStatusLine("text", 0);
  RecordStageTime(nullptr, 1.0);
  setenv("VESKOR_MESSAGES", "-", 1);
}

// A capture asked for and not written, whatever the reason, is told by its own status, over a
// failed session's.
TEST_F(AutomationTest, AMissingCaptureEndsTheRunWithItsOwnStatus) {
  const std::string tooLong(kCapturePathBytes, 'a');
  const std::uint32_t width = WindowedWidth, fullScreen = FullScreenMode;
  WindowedWidth = FullScreenMode = 0;  // no window: a capture has no image to write
  // VESKOR_AUTOQUIT, VESKOR_CAPTURE, the last session failed, the capture's frame reached
  const struct {
    const char* quit;
    const char* capture;
    bool failed, reached;
    int status;
    bool headless = true;  // else the failure is said on stderr
  } cases[] = {{"1", nullptr, false, true, 7},
               {"1", "", false, true, 7},
               {"1", nullptr, true, true, 2},
               {nullptr, nullptr, true, false, 7},
               {"1", "shot.png", false, true, 5},   // no image to write
               {"1", "shot.png", true, true, 5},    // and the session failed
               {"1", "shot.png", false, false, 5},  // the run ended before the capture
               {"1", "shot.png", true, false, 5},
               {nullptr, "shot.png", false, true, 5},   // no quit, no capture
               {"1", tooLong.c_str(), false, true, 5},  // the path refused
               {"1", "shot.png", false, true, 5, false},
               {"1", "shot.png", false, false, 5, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.quit != nullptr ? c.quit : "-") + " " +
                 std::string(c.capture != nullptr ? c.capture : "-").substr(0, 10) + " " +
                 std::to_string(c.failed) + std::to_string(c.reached));
    c.quit != nullptr ? setenv("VESKOR_AUTOQUIT", c.quit, 1) : unsetenv("VESKOR_AUTOQUIT");
    c.capture != nullptr ? setenv("VESKOR_CAPTURE", c.capture, 1) : unsetenv("VESKOR_CAPTURE");
    test::MessageCapture capture;
    if (!c.headless) unsetenv("VESKOR_MESSAGES");
    testing::internal::CaptureStderr();
    AutomationInit();
    QuitRequest = 0;
    WorldReady = c.failed ? 0 : 1;
    AutomationSessionsEnded(c.failed ? -1.0 : NowSeconds());
    if (c.reached) {
      AutomationFrameDone(gMainPlane);  // the frame the sessions ran in
      AutomationFrameDone(gMainPlane);
    }
    EXPECT_EQ(QuitRequest, c.quit != nullptr && c.reached ? 1u : 0u);
    const bool tried = c.quit != nullptr && c.reached && Automation.capturePath[0] != '\0';
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(capture.Text().find("Capture [none] cannot write shot.png: no image to write\n") !=
                  std::string::npos,
              tried && c.headless);
    EXPECT_EQ(said == "veskor: Capture: cannot write shot.png: no image to write\n",
              tried && !c.headless)
        << said;
    EXPECT_EQ(AutomationExitCode(7), c.status);
  }
  WindowedWidth = width;
  FullScreenMode = fullScreen;
}

}  // namespace
}  // namespace veskor
