#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <string>

#include "support/message_capture.h"

namespace veskor {
namespace {

class MessageBoxTest : public testing::Test {
 protected:
  std::string Log() const { return capture_.Text(); }
  test::MessageCapture capture_;
};

TEST_F(MessageBoxTest, HeadlessBoxesAppendCaptionIconAndText) {
  EXPECT_EQ(ShowMessageBox("Error", "Window Creation Failed !", MessageIcon::kStop,
                           MessageButtons::kOk),
            MessageAnswer::kOk);
  ShowMessageBox("Warning : Init. Sounds", "no sound", MessageIcon::kExclamation,
                 MessageButtons::kOk);
  EXPECT_EQ(Log(),
            "Error [stop] Window Creation Failed !\n"
            "Warning : Init. Sounds [exclamation] no sound\n");
}

TEST_F(MessageBoxTest, QuestionsAreAnsweredFromTheScriptedAnswer) {
  // Scripted yes, no, empty and unset answers.
  const struct { const char* answer; MessageAnswer expected; } cases[] = {
      {"yes", MessageAnswer::kYes}, {"no", MessageAnswer::kNo}, {"", MessageAnswer::kYes},
      {nullptr, MessageAnswer::kYes}};
  for (const auto& c : cases) {
    test::MessageCapture::Answer(c.answer);
    EXPECT_EQ(ShowMessageBox("Confirmation : ", "Full screen ?", MessageIcon::kQuestion,
                             MessageButtons::kYesNo),
              c.expected)
        << "answer '" << (c.answer ? c.answer : "(unset)") << "'";
  }
  EXPECT_NE(Log().find("Confirmation :  [question] Full screen ?\n"), std::string::npos);
}

}  // namespace
}  // namespace veskor
