// The interface texts of the four languages, read as the program reads them with the
// directories of a store written by the store writer: enough entries, none cut, in code page
// 1252, and each one fits where the interface draws it, measured as the toolkit measures it.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "app/main_plane.h"
#include "app/settings.h"
#include "app/text_resources.h"
#include "gfx/texture_object.h"
#include "gui/text_bitmap.h"
#include "resources/resource_test_support.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

constexpr std::size_t kEntriesShown = 79;  // entries 0 to 78

// The start-up reads a store from the store writer without a message; the settings it read
// stay in this process.
void ReadWrittenStore() {
  static test::TempDir dir("veskor_texts");
  static bool read = false;
  if (read) return;
  read = true;
  testing::internal::CaptureStderr();  // the writer's own line (a death test's child runs it too)
  const int written = test::RunProgram(test::StoreWriterArgs(dir.path()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "write_settings_store: wrote " + dir.Path("registry") + "\n");
  ASSERT_EQ(written, 0);
  setenv("VESKOR_REGISTRY", dir.Path("registry").c_str(), 1);
  static MainPlane plane;
  EXPECT_EXIT(
      {
        MainPlaneReadSettings(plane);
        std::exit(0);
      },
      testing::ExitedWithCode(0), "^$");
  MainPlaneReadSettings(plane);
}

// The entries of a language as the program loads them.
std::vector<std::string> ReadEntries(const std::string& lang) {
  ReadWrittenStore();
  LanguageIndex = 0;
  while (LanguageIndex < kLanguageCount && kLanguageDirs[LanguageIndex] != lang + "/")
    ++LanguageIndex;
  LoadTextResources();
  std::vector<std::string> entries;
  for (std::uint32_t i = 0; i < TextResourceCount; ++i) entries.emplace_back(TextResources[i].text);
  return entries;
}

// Printable characters of code page 1252: its five unassigned bytes and the controls are out.
bool DefinedInCp1252(unsigned char c) {
  return c >= 0x20 && c != 0x7F && c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D;
}

TEST(TextResources, EachLanguageHasItsEntriesInCodePage1252) {
  for (const char* lang : test::kLanguageDirs) {
    SCOPED_TRACE(lang);
    const auto text = test::ReadBytes(test::kProductDir + "resources/Txt/" + lang + "/txtres.txt");
    EXPECT_EQ(text, test::ReadBytes(test::kSourceDir + "resources/Txt/" + lang + "/txtres.txt"));
    const std::vector<std::string> entries = ReadEntries(lang);
    EXPECT_GE(entries.size(), kEntriesShown);
    EXPECT_LT(entries.size(), kTextResourceCapacity);  // room left: no line was dropped
    for (std::size_t i = 0; i < entries.size(); ++i) {
      // Whole lines: an entry cut at its 63 characters would not end a line of the file.
      EXPECT_TRUE(text->find(entries[i] + "\n") != std::string::npos ||
                  text->find(entries[i] + "\r\n") != std::string::npos)
          << i;
      for (unsigned char c : entries[i]) EXPECT_TRUE(DefinedInCp1252(c)) << i << ": " << int{c};
    }
    // The information panel's headings are title lines ("\t"), its labels are not.
    for (std::size_t i = 23; i <= 46 && i < entries.size(); ++i)
      EXPECT_EQ(entries[i].rfind("\\t", 0) == 0, i == 23 || i == 30 || i == 32 || i == 37) << i;
  }
}

// Measures texts as the interface draws them: "arial", 10 points, regular, through the markup.
class TextMeasure {
 public:
  TextMeasure() {
    Texture2DResizeWH(texture_, 1, 10, 9);  // the setup panel's surface
    CreateTextBitmap(bitmap_, &texture_);
    SetTextFont(bitmap_, "arial");
    SetTextSize(bitmap_, 10);
    SetTextStyle(bitmap_, 0);
  }
  // The x at which the text ends when drawn from x.
  std::uint32_t End(std::uint32_t x, const std::string& text) {
    std::uint32_t width = 0, height = 0;
    DrawMarkupText(bitmap_, x, 0, text.c_str(), &width, &height);
    return x + width;
  }

 private:
  Texture2D texture_;
  TextBitmap bitmap_;
};

struct Fit {
  std::size_t entry;
  std::uint32_t x;
  std::uint32_t before;  // the text must end before this x
};

// The setup panel: each text where it is drawn, and the x of the widget or text to its right
// (the section frames end at 730).
const Fit kSetupTexts[] = {
    {77, 20, 730},  {78, 20, 190},                   // the language list at 190
    {5, 20, 730},   {6, 20, 310},                    // the check box at 310
    {7, 400, 530},                                   // the overall slider at 530
    {59, 520, 600}, {60, 600, 685}, {61, 685, 730},  // its scale marks
    {59, 140, 220}, {60, 220, 305}, {61, 305, 400},  // the marks over the left sliders
    {8, 20, 150},   {9, 20, 150},   {10, 20, 150},  {11, 20, 150},  // sliders at 150
    {12, 400, 530}, {13, 400, 530},                                 // sliders at 530
    {14, 20, 730},  {62, 190, 560},                                 // the multisample marks
    {15, 20, 145},  {16, 20, 145},                                  // check boxes at 145
    {17, 400, 515}, {76, 400, 515},                                 // check boxes at 515
    {63, 560, 620}, {64, 620, 690}, {65, 690, 730},
};
// Lists and tags open at the pointer: the main menu beside the world button, the product menu
// to the left of the product button, at least 640 pixels from the other side of a 764-pixel
// interface; a hint starts at the pointer, over widgets up to x 424 (340 pixels from that edge).
constexpr std::uint32_t kMenuListWidthMax = 640;
constexpr std::uint32_t kHintWidthMax = 340;
// The information panel's labels start at 20 and are followed by a value at column 3 (x 192)
// or, for the times and the memory, at column 5 (x 320).
constexpr std::uint32_t kColumn3 = 192, kColumn5 = 320;
constexpr std::uint32_t kGap = 4;

TEST(TextResources, EachTextFitsItsPlace) {
  TextMeasure measure;
  for (const char* lang : test::kLanguageDirs) {
    SCOPED_TRACE(lang);
    const std::vector<std::string> e = ReadEntries(lang);
    ASSERT_GE(e.size(), kEntriesShown);
    for (const Fit& f : kSetupTexts)
      EXPECT_LE(measure.End(f.x, e[f.entry]) + kGap, f.before) << f.entry << " " << e[f.entry];
    // A list is its widest line plus 30 pixels; a tag its line plus 11. Title lines ("\t",
    // the menu's separators) are not measured.
    for (std::size_t i : {1, 2, 22, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56})
      if (e[i].rfind("\\t", 0) != 0) {
        EXPECT_LE(measure.End(20, e[i]) - 20 + 30, kMenuListWidthMax) << i << " " << e[i];
      }
    for (std::size_t i = 66; i <= 75; ++i)
      EXPECT_LE(measure.End(20, e[i]) - 20 + 11, kHintWidthMax) << i << " " << e[i];
    for (std::size_t line = 0; line < 24; ++line) {
      if (line == 0 || line == 7 || line == 9 || line == 14) continue;  // headings
      const bool timeOrMemory = (line >= 10 && line <= 13) || line >= 22;
      EXPECT_LE(measure.End(20, e[23 + line]) + kGap, timeOrMemory ? kColumn5 : kColumn3)
          << 23 + line << " " << e[23 + line];
    }
  }
}

}  // namespace
}  // namespace veskor
