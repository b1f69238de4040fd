// The shared test support keeps its promises: a scratch folder of each test process's own for
// its home, settings and temporaries; temporary directories under $TMPDIR that go with their
// object; and message capture that puts stderr recording back.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>
#include <string>

#include "platform/message_box.h"
#include "platform/settings_store.h"
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

TEST(TestMain, EveryTestProcessWorksInAScratchFolderOfItsOwn) {
  const char* scratch = getenv("VESKOR_TEST_SCRATCH");
  ASSERT_NE(scratch, nullptr);
  EXPECT_TRUE(fs::is_directory(scratch));
  EXPECT_EQ(fs::path(scratch).filename().string().substr(0, 12), "veskor-test_");
  const std::string s = scratch;
  for (const auto& [variable, path] :
       {std::pair{"HOME", s + "/home"}, std::pair{"XDG_CONFIG_HOME", s + "/config"},
        std::pair{"XDG_DATA_HOME", s + "/data"}, std::pair{"TMPDIR", s + "/tmp"},
        std::pair{"VESKOR_REGISTRY", s + "/config/veskor/registry"}})
    EXPECT_EQ(std::string(getenv(variable)), path) << variable;
  EXPECT_EQ(SettingsStorePath(), s + "/config/veskor/registry");
  // A death test's child keeps the parent's folder, so what it leaves goes with the parent's.
  EXPECT_EXIT(
      {
        std::fprintf(stderr, "%s", getenv("VESKOR_TEST_SCRATCH"));
        std::_Exit(0);
      },
      testing::ExitedWithCode(0), "^" + s + "$");
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
