#include "app/text_resources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "foundation/search_dirs.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

class TextResourcesTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* lang : {"en", "es", "du"})
      std::filesystem::create_directories(dir_.Path(std::string("Txt/") + lang));
    ASSERT_TRUE(SetSearchDirs("/p/", "/b/", "/s/", dir_.path().c_str(), "/w/"));
  }
  // Loads `text` as the file of language `index` and returns the stored entries.
  std::vector<std::string> Load(const std::string& text, std::int32_t index = 0,
                                const char* lang = "en") {
    dir_.Write(std::string("Txt/") + lang + "/txtres.txt", text);
    LanguageIndex = index;
    LoadTextResources();
    std::vector<std::string> entries;
    for (std::uint32_t i = 0; i < TextResourceCount; ++i) entries.push_back(TextResources[i].text);
    return entries;
  }
  test::TempDir dir_{"veskor_texts"};
};

using Lines = std::vector<std::string>;

TEST_F(TextResourcesTest, EveryNonEmptyLineIsOneEntry) {
  const struct {
    std::string text;
    Lines entries;
  } cases[] = {
      {"one\n\nthree\n", {"one", "three"}},  // an empty line does not count
      {"one\ntwo", {"one", "two"}},          // the last line needs no line feed
      {"one\r\ntwo\r\n\r\n", {"one", "two"}},
      {"a\rb\r\r\n", {"a\rb\r"}},  // only a CR before a LF goes
      {"   \nx\n", {"   ", "x"}},
      {"\xff y\xff\nz", {"\xff y\xff", "z"}},
      {"\n\n", {}},
      {"", {}},
      {std::string(63, 'a') + "\n" + std::string(64, 'b') + "\nc",
       {std::string(63, 'a'), std::string(63, 'b'), "c"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Load(c.text), c.entries) << c.text;
  EXPECT_STREQ(LanguageDir, "en/");
}

TEST_F(TextResourcesTest, TheTableKeepsTheFirst128LinesAndNothingOfALongerFile) {
  std::string text;
  for (int i = 0; i < 129; ++i) text += "line " + std::to_string(i) + "\n";
  const Lines all = Load(text);
  ASSERT_EQ(all.size(), 128u);
  EXPECT_EQ(all.back(), "line 127");
  EXPECT_EQ(Load("first\nsecond\n"), (Lines{"first", "second"}));
  for (std::uint32_t i = 2; i < kTextResourceCapacity; ++i)
    EXPECT_EQ(TextResources[i].text[0], '\0') << i;
}

TEST_F(TextResourcesTest, TheLanguageIndexChoosesTheDirectory) {
  EXPECT_EQ(Load("hola\n", 1, "es"), Lines{"hola"});
  EXPECT_STREQ(LanguageDir, "es/");
  EXPECT_EQ(Load("hallo\n", 3, "du"), Lines{"hallo"});
  for (std::int32_t outside : {7, -1, 4}) {
    EXPECT_EQ(Load("hello\n", outside, "en"), Lines{"hello"}) << outside;
    EXPECT_EQ(LanguageIndex, 0);
    EXPECT_STREQ(LanguageDir, "en/");
  }
}

TEST_F(TextResourcesTest, AMissingFileEndsTheProgramNamingItsPath) {
  LanguageIndex = 2;
  EXPECT_EXIT(LoadTextResources(), testing::ExitedWithCode(1),
              "Error \\[stop\\] /.*/veskor_texts_[^/]*/Txt/fr/txtres.txt\n");
}

}  // namespace
}  // namespace veskor
