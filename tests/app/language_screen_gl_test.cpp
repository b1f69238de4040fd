// The language screen and a change of language on the product tree's pictures and texts: the
// screen's layout, the choice that reloads nothing, the pictures and texts of the new
// language in place, two changes in a row, and a picture that cannot be found.
#include "app/language_screen.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/info_panel.h"
#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/settings.h"
#include "app/text_resources.h"
#include "foundation/search_dirs.h"
#include "gfx/gl_capabilities.h"
#include "gfx/png_texture.h"
#include "gfx/texture_names.h"
#include "gui/gui_globals.h"
#include "shell_test_support.h"
#include "support/fatal_test.h"
#include "support/gl_test_fixture.h"
#include "support/kept_global.h"

namespace veskor {
namespace {

const std::string kProduct = VESKOR_PRODUCT_DIR;
constexpr int kWidth = 1024, kHeight = 768;

using Pixels = std::array<long, 4>;
Pixels PixelRect(GuiWidget& w) {
  const WidgetRect r = WidgetSnappedRect(w);
  return {std::lround(r.left * kWidth), std::lround(r.top * kHeight), std::lround(r.right * kWidth),
          std::lround(r.bottom * kHeight)};
}

// `text` as a regular expression that matches it alone.
std::string RegexQuoted(const std::string& text) {
  std::string quoted;
  for (char c : text) {
    if (std::strchr(".[]()*+?{}|^$\\", c) != nullptr) quoted += '\\';
    quoted += c;
  }
  return quoted;
}

// The non-empty lines of a language's file, read here line by line.
std::vector<std::string> Texts(const char* lang) {
  std::ifstream in(kProduct + "resources/Txt/" + lang + "/txtres.txt", std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

// A texture holds exactly the picture of a colour file and its mask.
bool HoldsFile(const Texture2D* shown, const std::string& lang, const char* colour,
               const char* mask) {
  Texture2D file;
  std::uint32_t exact;
  float u, v;
  const std::string img = kProduct + "resources/Img/" + lang + "/";
  if (LoadPngTextureWithAlpha((img + colour).c_str(), (img + mask).c_str(), file, exact, u, v,
                              nullptr) != 1)
    return false;
  const TexturePixels& p = shown->pixels;
  if (p.log2Width != file.pixels.log2Width || p.log2Height != file.pixels.log2Height) return false;
  // Past the picture the loaders clear the padding; compare the picture's own rows.
  const std::size_t row = 4u << p.log2Width;
  const auto h = static_cast<std::size_t>(std::lround(v * static_cast<float>(1u << p.log2Height)));
  const auto w = static_cast<std::size_t>(std::lround(u * static_cast<float>(1u << p.log2Width)));
  for (std::size_t y = 0; y < h; ++y)
    if (std::memcmp(static_cast<const char*>(file.pixels.data) + y * row,
                    static_cast<const char*>(p.data) + y * row, 4 * w) != 0)
      return false;
  return true;
}

int Attached(const GuiPlane& parent, const GuiPlane& child) {
  int n = 0;
  ForEachInDrawingOrder(parent, [&](GuiPlane& c) { n += &c == &child; });
  return n;
}

std::vector<std::uint8_t> SetupSurface() {
  const TexturePixels& p = SetupPanel.textTexture.pixels;
  const auto* d = static_cast<const std::uint8_t*>(p.data);
  return {d, d + (std::size_t{1} << (p.log2Width + p.log2Height))};
}

class LanguageScreenTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    LoadWglExtensions();
    LoadGlExtensions();
    if (TextureNameTableCount == 0) InitTextureNames();
    PixelSize = {1.0f / kWidth, 1.0f / kHeight};
    ViewAspect = {0.75f, 1.0f / 0.75f};
    std::filesystem::create_directories(dir_.Path("binary"));
    ASSERT_TRUE(SetSearchDirs(kProduct.c_str(), dir_.Path("binary/").c_str(), "",
                              (kProduct + "resources/").c_str(), dir_.Path("work/").c_str()));
    store_.Write();
    WorldReady = 0;
    static bool built = false;
    if (!built) {
      LanguageIndex = 0;
      LoadTextResources();
      gMainPlane.fpsFlag = 1, gMainPlane.ppsFlag = 0;
      LanguageScreenPending = MainInterfacePending = 1;
      EXPECT_EQ(LanguageScreen(), 1u);
      BuildMainInterface();
      built = true;
    }
  }
  test::TempDir dir_{"veskor_language"};
  test::TestStore store_{dir_};
};

TEST_F(LanguageScreenTest, TheScreenIsAHiddenPanelAtTheCentreWithTheFourLanguages) {
  EXPECT_EQ(LanguageScreenPending, 0u);
  EXPECT_EQ(LanguagePanel.hidden + StartLanguageDropList.hidden, 2u);
  EXPECT_EQ(StartLanguagePickList.hidden, 1u);
  EXPECT_EQ(PixelRect(LanguagePanel), (Pixels{362, 354, 662, 414}));
  EXPECT_EQ(PixelRect(StartLanguageDropList),
            (Pixels{552, 374, 552 + long{StartLanguagePickList.textWidth}, 394}));
  EXPECT_EQ(PixelRect(LanguagePanelBorder), (Pixels{362, 351, 662, 354}));
  EXPECT_EQ(Attached(LanguagePanel, LanguagePanelBorder), 1);
  EXPECT_EQ(Attached(gMainPlane, LanguagePanel) + Attached(gMainPlane, StartLanguageDropList), 2);
  EXPECT_EQ(LanguagePanel.style, kInterfaceStyle);
  EXPECT_EQ(LanguagePanel.backgroundColor[3], 0.5f);
  EXPECT_NEAR(LanguagePanel.backgroundColor[0], 113 / 255.0f, 1e-6f);
  EXPECT_EQ(StartLanguagePickList.lineCount, 4u);
  EXPECT_EQ(std::string(StartLanguagePickList.lines[0]) + "|" + StartLanguagePickList.lines[1] +
                "|" + StartLanguagePickList.lines[2] + "|" + StartLanguagePickList.lines[3],
            "English|Espa\xF1ol|Fran\xE7"
            "ais|Deutsch");
  EXPECT_EQ(StartLanguageDropList.onChoice, &SelectLanguage);
  EXPECT_EQ(StartLanguageDropList.selected, 0);
  // The prompt on a one-channel surface of 256 x 64: text in its rows, nothing below them.
  const TexturePixels& p = LanguagePanel.textTexture.pixels;
  EXPECT_EQ(p.log2Width * 100 + p.log2Height * 10 + p.channels, 861u);
  const auto* texels = static_cast<const std::uint8_t*>(p.data);
  int inText = 0, below = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 256; ++x) (y < 40 ? inText : below) += texels[y * 256 + x] != 0;
  EXPECT_GT(inText, 50);
  EXPECT_EQ(below, 0);
}

TEST_F(LanguageScreenTest, ChoosingTheLanguageInUseShowsTheInterfaceAndReloadsNothing) {
  for (const std::int32_t index : {0, 7, -1}) {  // 7 and -1 count as English
    SCOPED_TRACE(index);
    FirstLaunch = 1;
    ShowPlane(LanguagePanel);
    ShowPlane(StartLanguageDropList);
    for (GuiPlane* p : {static_cast<GuiPlane*>(&MenuBar), static_cast<GuiPlane*>(&FocalPanel),
                        static_cast<GuiPlane*>(&FocalLabel)})
      HidePlane(*p);
    std::strcpy(TextResources[1].text, "marker");
    SelectLanguage(index);
    EXPECT_EQ(LanguageIndex, 0);
    EXPECT_EQ(FirstLaunch, 0u);
    EXPECT_EQ(MenuBar.hidden + FocalPanel.hidden + FocalLabel.hidden + SaveViewCheck.hidden, 0u);
    EXPECT_EQ(LanguagePanel.hidden + StartLanguageDropList.hidden, 2u);
    EXPECT_STREQ(TextResources[1].text, "marker");
  }
  LoadTextResources();
}

TEST_F(LanguageScreenTest, AChangeOfLanguageRefreshesEveryTextAndPictureInPlace) {
  const test::Kept<std::uint32_t> productHidden{ProductMenuList.hidden};
  const test::Kept<std::int32_t> hint{HintLine.currentLine};
  const Pixels world = PixelRect(WorldButton), examine = PixelRect(ExamineCheck);
  const std::vector<std::uint8_t> englishSetup = SetupSurface();
  ProductMenuList.hidden = 1;
  HintLine.currentLine = 5;
  Texture2D* const closeHover = StatusCloseButton.hoverImage;
  const float focalU = FocalPanel.uScale, focalV = FocalPanel.vScale;
  FocalPanel.uScale = FocalPanel.vScale = 2;  // the panel takes the scales of its new picture
  SelectLanguage(2);
  EXPECT_EQ(FocalPanel.uScale, focalU);
  EXPECT_EQ(FocalPanel.vScale, focalV);
  EXPECT_EQ(LanguageIndex, 2);
  EXPECT_STREQ(LanguageDir, "fr/");
  EXPECT_EQ(ChosenIndex, 2);
  const struct {
    const char* what;
    const Texture2D* texture;
    const char *colour, *mask;
  } pictures[] = {
      {"world hover", WorldButton.hoverImage, "inter_world_0.png", "inter_world_mask_0.png"},
      {"world", WorldButton.normalImage, "inter_world_1.png", "inter_world_mask_1.png"},
      {"view", ViewButton.normalImage, "inter_view_1.png", "inter_view_mask_1.png"},
      {"setup", SetupButton.hoverImage, "inter_setup_0.png", "inter_setup_mask_0.png"},
      {"product", ProductButton.normalImage, "inter_veskor_1.png", "inter_veskor_mask_1.png"},
      {"examine", ExamineCheck.normalTexture, "inter_examine_0.png", "inter_examine_mask.png"},
      {"examine mark", ExamineCheck.markTexture, "inter_examine_1.png",
       "inter_examine_mask.png"},
      {"save view", SaveViewCheck.hoverTexture, "inter_saveview_0.png",
       "inter_saveview_mask.png"},
      {"focal", FocalPanel.texture, "inter_yfocal_0.png", "inter_yfocal_mask.png"},
      {"close", StatusCloseButton.hoverImage, "inter_close_1.png", "inter_close_mask.png"},
      {"setup close", SetupCloseButton.normalImage, "inter_close_0.png", "inter_close_mask.png"},
  };
  for (const auto& p : pictures) {
    EXPECT_TRUE(HoldsFile(p.texture, "fr", p.colour, p.mask)) << p.what;
    EXPECT_FALSE(HoldsFile(p.texture, "en", p.colour, p.mask)) << p.what;
    EXPECT_EQ(p.texture->state.wrap * 10 + p.texture->state.filter, 2u) << p.what;
  }
  EXPECT_EQ(StatusCloseButton.hoverImage, closeHover);  // the same objects, shared
  EXPECT_EQ(SetupCloseButton.hoverImage, closeHover);
  EXPECT_EQ(PixelRect(WorldButton), world);
  EXPECT_EQ(PixelRect(ExamineCheck), examine);

  const std::vector<std::string> fr = Texts("fr");
  ASSERT_GE(fr.size(), 79u);
  EXPECT_EQ(MainMenuList.lineCount * 100 + ProductMenuList.lineCount, 211u);
  EXPECT_EQ(std::string(MainMenuList.lines[0]) + "|" + MainMenuList.lines[1], fr[1] + "|" + fr[2]);
  EXPECT_EQ(ProductMenuList.lines[0], fr[22]);
  EXPECT_EQ(ProductMenuList.lines[10], fr[56]);
  EXPECT_EQ(HintLine.lines[0], fr[66]);
  EXPECT_EQ(HintLine.lines[9], fr[75]);
  EXPECT_EQ(HintLine.alignLeftOfAnchor[3] * 10 + HintLine.alignLeftOfAnchor[2], 10u);
  EXPECT_EQ(HintLine.currentLine, 5);
  // A title: shown without its markup "\t".
  EXPECT_EQ(std::string(InfoPanel.lines[0]).substr(0, fr[23].size() - 2), fr[23].substr(2));
  EXPECT_EQ(ProductMenuList.hidden, 1u);  // shown or hidden as it was
  EXPECT_NE(SetupSurface(), englishSetup);
  SelectLanguage(0);  // the interface in English again, for the tests after this one
}

TEST_F(LanguageScreenTest, AfterTwoChangesEachListHoldsTheNewestTextsOnce) {
  SelectLanguage(3);
  SelectLanguage(0);
  const std::vector<std::string> en = Texts("en");
  EXPECT_EQ(Attached(gMainPlane, HintLine) + Attached(gMainPlane, MainMenuList) +
                Attached(gMainPlane, ProductMenuList) + Attached(gMainPlane, InfoPanel),
            4);
  EXPECT_EQ(HintLine.lineCount * 10000 + MainMenuList.lineCount * 100 + ProductMenuList.lineCount,
            100211u);
  EXPECT_EQ(std::string(MainMenuList.lines[1]) + "|" + ProductMenuList.lines[1] + "|" +
                HintLine.lines[4],
            en[2] + "|" + en[47] + "|" + en[70]);
  EXPECT_TRUE(HoldsFile(WorldButton.hoverImage, "en", "inter_world_0.png",
                        "inter_world_mask_0.png"));
  EXPECT_TRUE(HoldsFile(FocalPanel.texture, "en", "inter_yfocal_0.png", "inter_yfocal_mask.png"));
}

TEST_F(LanguageScreenTest, APictureFoundNowhereEndsTheProgramNamingItAndTheDirectories) {
  // Resources with the texts but no French pictures.
  test::TempDir resources{"veskor_no_french"};
  std::filesystem::create_directory_symlink(kProduct + "resources/Txt", resources.Path("Txt"));
  std::filesystem::create_directories(resources.Path("Img/fr"));
  ASSERT_TRUE(SetSearchDirs(kProduct.c_str(), dir_.Path("binary/").c_str(), "",
                            resources.path().c_str(), dir_.Path("work/").c_str()));
  // The death test's process makes temporary directories of its own, under the same temporary
  // directory as ours: their names vary.
  const std::filesystem::path ours = std::filesystem::path(dir_.path()).parent_path();
  const std::string tmp = RegexQuoted(ours.parent_path().string()) + "/";
  EXPECT_EXIT(SelectLanguage(2), testing::ExitedWithCode(1),
              "Error \\[stop\\] Cannot find file \"fr/inter_world_0\\.png\" in the search "
              "directories: " + tmp + "veskor_language_[^/]+/work/, " + tmp +
                  "veskor_no_french_[^/]+/, " + tmp + "veskor_no_french_[^/]+/Img/, " + tmp +
                  "veskor_no_french_[^/]+/Snd/, " + tmp + "veskor_language_[^/]+/binary/, " +
                  RegexQuoted(kProduct) + "\n");
}

}  // namespace
}  // namespace veskor
