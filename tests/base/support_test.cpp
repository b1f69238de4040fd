// The shared test support keeps its promises: temporary directories under $TMPDIR that go
// with their object, and message capture that puts stderr recording back.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/message_box.h"
#include "support/message_capture.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;

TEST(TempDir, MadeUnderTmpdirAndRemovedWithItsFiles) {
  const test::TempDir outer("veskor_support");
  const char* saved = getenv("TMPDIR");
  const std::string keep = saved != nullptr ? saved : "";
  setenv("TMPDIR", outer.path().c_str(), 1);
  std::string path;
  {
    const test::TempDir dir("veskor_support");
    path = dir.path();
    ASSERT_EQ(path.back(), '/');
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(fs::path(path).parent_path().parent_path(), fs::path(outer.path()).parent_path());
    EXPECT_EQ(test::ReadFileText(dir.Write("a.txt", "text")), "text");
    EXPECT_EQ(dir.Path("a.txt"), path + "a.txt");
  }
  saved != nullptr ? setenv("TMPDIR", keep.c_str(), 1) : unsetenv("TMPDIR");
  EXPECT_FALSE(fs::exists(path));
}

TEST(MessageCapture, RecordsBoxesAndPutsStderrBack) {
  {
    test::MessageCapture capture;
    test::MessageCapture::Answer("no");
    EXPECT_EQ(ShowMessageBox("Caption", "text", MessageIcon::kQuestion, MessageButtons::kYesNo),
              MessageAnswer::kNo);
    EXPECT_EQ(capture.Text(), "Caption [question] text\n");
  }
  EXPECT_EQ(std::string(getenv("VESKOR_MESSAGES")), "-");
  EXPECT_EQ(std::string(getenv("VESKOR_ANSWER")), "yes");
}

}  // namespace
}  // namespace veskor
