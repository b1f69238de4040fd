// The session panels' writers: the log's lines and their extent, the header's status texts,
// and the progress reports of the render preparation with the one window message each takes.
#include "app/session_status.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "app/main_plane.h"
#include "app/main_interface.h"
#include "app/program_entry.h"
#include "app/window_proc.h"
#include "gui/text_bitmap.h"
#include "platform/gl.h"
#include "session_panels.h"
#include "support/gl_test_fixture.h"
#include "support/message_capture.h"

namespace veskor {
namespace {

std::deque<WindowMessage> gMessages;

bool ScriptedPeek(WindowMessage* message) {
  if (gMessages.empty()) return false;
  *message = gMessages.front();
  gMessages.pop_front();
  return true;
}

class SessionStatusTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    test::ConfigureSessionPanels();
    FullScreenMode = 0;
    WindowedWidth = WindowedHeight = test::kGlTestWindowSize;
    LogPenLine = kLogFirstLine;
    LastStageLabel[0] = '\0';
    QuitRequest = 0;
    StatusPanel.blink = 0;
    gSessionPorts.peekMessage = ScriptedPeek;
    gMessages.clear();
  }
  void TearDown() override {
    gSessionPorts = DefaultShellPorts();
    QuitRequest = 0;
    MultiSampleMode = 0;
    glDisable(GL_MULTISAMPLE_ARB);
    std::memset(KeyDownTable, 0, sizeof KeyDownTable);
    test::GlTest::TearDown();
  }
};

TEST_F(SessionStatusTest, LogLinesPastTheImageGrowItsExtentAndHeaderTextsOverlay) {
  std::vector<std::string> lines;
  for (int i = 0; i < 40; ++i) {
    lines.push_back("      parse file <\\%part" + std::to_string(i) + ".wld>");
    ShowStatusLine(lines.back().c_str(), 0);
  }
  EXPECT_EQ(LogPenLine, 10u + 40 * 16);
  EXPECT_FLOAT_EQ(StatusText.contentHeight, (650.0f + 8) / 256);
  EXPECT_EQ(StatusText.contentWidth, 0.0f);
  EXPECT_EQ(StatusText.scrollX, 0.0f);
  EXPECT_EQ(StatusText.scrollY, 100.0f);
  EXPECT_EQ(test::Differing(test::ViewImage(StatusText), test::ExpectedLog(lines)), 0u);
  EXPECT_EQ(StatusPanel.blink, 0u);

  // The status place is not erased first: a second text is drawn over the first. Headless
  // runs record the lines too, as shown: the markup's literal mark is none of it.
  test::MessageCapture capture;
  ShowStatusLine(lines[0].c_str(), 0);
  ShowStatusLine("compilation aborted", 1);
  ShowStatusLine("can not open file", 2);
  EXPECT_EQ(capture.Text(), "Log [none]       parse file <part0.wld>"
                            "\nStatus [none] compilation aborted\n"
                            "Status [none] can not open file\n");
  EXPECT_EQ(test::Differing(test::ViewImage(StatusPanel),
                            test::DrawnImage(10, 6,
                                             {{"arial", 0, 1.0f, 100, 12, "compilation aborted"},
                                              {"arial", 0, 1.0f, 100, 12, "can not open file"}})),
            0u);
  EXPECT_EQ(StatusPanel.blink, 1u);
}

TEST_F(SessionStatusTest, ReportsNameNewStagesDrawTheBarsAndStopOnEscapeOrClose) {
  ResetTextImage(StatusPanel);
  DrawSessionHeader("\\bcompile");
  ResetTextImage(ProgressPanel);
  SetTextSize(ProgressPanel.textBitmap, 10);  // as the compile session leaves it
  ShowPlane(ProgressPanel);
  MultiSampleMode = 1;
  auto stage = [](const char* label) {
    return test::DrawnImage(8, 7, {{"times new roman", kTextItalic, 1.0f, 20, 80, label}});
  };
  const WindowMessage none{0, 0, 0};
  const WindowMessage escapeDown{kWmKeyDown, kVkEscape, 0}, escapeUp{kWmKeyUp, kVkEscape, 0};
  const WindowMessage quit{kWmQuit, 0, 0};
  struct Report {
    WindowMessage message;
    const char* label;
    float stage, total;
    std::int32_t result;
    const char* last;   // LastStageLabel afterwards
    const char* shown;  // the stage name in the panel's image ("" for none)
    bool eraseFirst;    // the stage name is erased by hand before the report
    int executes;       // times "execute" was written over the header word
    GLboolean multisample;
  };
  const Report reports[] = {
      {none, "Environment / Moons", 0.25f, 0.1f, 1, "Environment / Moons", "Environment / Moons",
       false, 0, GL_TRUE},
      {none, "Environment / Moons", 0.5f, 0.2f, 1, "Environment / Moons", "", true, 0, GL_TRUE},
      {none, "Shader / Items", 0, 0.6f, 1, "Shader / Items", "Shader / Items", false, 1, GL_TRUE},
      {escapeDown, "Shader / Water", 0.5f, 0.7f, 0, "Shader / Items", "Shader / Items", false, 1,
       GL_FALSE},
      {escapeUp, "Shader / Water", 0.75f, 0.8f, 1, "Shader / Water", "Shader / Water", false, 2,
       GL_TRUE},
      {quit, "Environment / Sky", 1, 1, 0, "Shader / Water", "Shader / Water", false, 2, GL_TRUE},
  };
  float bars[2] = {0, 0};
  for (const Report& r : reports) {
    if (r.eraseFirst) {
      EraseTextRect(ProgressPanel.textBitmap, 0, 0, 255, 127);
      FlushTextBitmap(ProgressPanel.textBitmap);
    }
    if (r.message.message != 0) gMessages.push_back(r.message);
    EXPECT_EQ(ProgressOverlay(r.label, r.stage, r.total), r.result) << r.label;
    EXPECT_TRUE(gMessages.empty());
    EXPECT_STREQ(LastStageLabel, r.last);
    if (r.result == 1) {
      bars[0] = r.stage;
      bars[1] = r.total;
    }
    EXPECT_EQ(StageProgressBar.fraction, bars[0]) << r.label;
    EXPECT_EQ(TotalProgressBar.fraction, bars[1]) << r.label;
    const auto shown = *r.shown != '\0' ? stage(r.shown) : test::DrawnImage(8, 7, {});
    EXPECT_EQ(test::Differing(test::ViewImage(ProgressPanel), shown), 0u) << r.label;
    std::vector<std::string> words = {"\\bcompile"};
    words.insert(words.end(), r.executes, "\\bexecute");
    EXPECT_EQ(test::Differing(test::ViewImage(StatusPanel), test::ExpectedHeader(words)), 0u)
        << r.label;
    // A stop by Escape leaves multisampling off until the next frame.
    EXPECT_EQ(glIsEnabled(GL_MULTISAMPLE_ARB), r.multisample) << r.label;
    if (r.result == 1) {
      GLint buffer = 0;
      glGetIntegerv(GL_DRAW_BUFFER, &buffer);
      GLboolean depthWrites = GL_FALSE;
      glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
      EXPECT_EQ(buffer, GL_BACK);
      EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), GL_TRUE);
      EXPECT_EQ(depthWrites, GL_TRUE);
    }
  }
  EXPECT_EQ(QuitRequest, 1u);  // the close: the main loop ends after this pass
}

TEST_F(SessionStatusTest, AWindowClosedDuringThePreparationEndsTheLoopWithZero) {
  // A frame that prepares a world; the close comes while it reports.
  struct PreparingRoot : MainPlane {
    void Draw() override { result = ProgressOverlay("Environment / Fog", 0.5f, 0.5f); }
    std::int32_t result = 1;
  } root;
  gMessages.push_back({kWmQuit, 5, 0});
  DrawEnabled = 1;
  static int idle;
  idle = 0;
  const ShellPorts ports{nullptr,
                         [](WindowMessage* m) {
                           *m = {kWmQuit, 99, 0};  // a loop that does not end by itself
                           return ++idle > 50;
                         },
                         [](MainPlane&) {}};
  EXPECT_EQ(RunMainLoop(root, ports), 0);
  EXPECT_EQ(root.result, 0);
  EXPECT_EQ(idle, 1);
  DrawEnabled = 0;
}

}  // namespace
}  // namespace veskor
