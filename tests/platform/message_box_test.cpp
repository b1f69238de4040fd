#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace veskor {
namespace {

class MessageBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = testing::TempDir() + "veskor_messages_" + std::to_string(getpid()) + ".txt";
    std::remove(path_.c_str());
    setenv("VESKOR_MESSAGES", path_.c_str(), 1);
  }
  void TearDown() override {
    setenv("VESKOR_MESSAGES", "-", 1);
    setenv("VESKOR_ANSWER", "yes", 1);
    std::remove(path_.c_str());
  }
  std::string Log() {
    std::ifstream in(path_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string path_;
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
    c.answer ? setenv("VESKOR_ANSWER", c.answer, 1) : unsetenv("VESKOR_ANSWER");
    EXPECT_EQ(ShowMessageBox("Confirmation : ", "Full screen ?", MessageIcon::kQuestion,
                             MessageButtons::kYesNo),
              c.expected)
        << "answer '" << (c.answer ? c.answer : "(unset)") << "'";
  }
  EXPECT_NE(Log().find("Confirmation :  [question] Full screen ?\n"), std::string::npos);
}

}  // namespace
}  // namespace veskor
