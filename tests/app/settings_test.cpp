#include "app/settings.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/main_plane.h"
#include "app/registry.h"
#include "app/text_resources.h"
#include "app/window_proc.h"
#include "foundation/search_dirs.h"
#include "shell_test_support.h"
#include "support/message_capture.h"

namespace veskor {
namespace {

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    plane_.alphaBits = 5;  // to see which settings leave it
    FirstLaunch = 7;
    ObjectGeo = ObjectTex = TerrainGeo = TerrainTex = Portal = CloudLow = Overall = -1.0f;
    IsLangCtrlLOD = 7;
  }
  void TearDown() override { plane_.settingsRead = 0; }  // saves nothing on its way out
  std::string Stored(const char* key, const char* name) {
    char v[kRegValueBytes] = "(unreadable)";
    RegReadValue(kHkeyCurrentUser, key, name, v);
    return v;
  }
  test::KeptSettings kept_;
  test::TempDir dir_{"veskor_settings"};
  test::TestStore store_{dir_};
  MainPlane plane_;
};

TEST_F(SettingsTest, AcceptedTextsSetTheirSettings) {
  const std::string d = dir_.path();
  // The longest directories, their '/' included (one more is refused: StartupTest).
  const std::string work510 = d + std::string(510 - d.size(), 'w');
  const std::string work511 = d + std::string(510 - d.size(), 'w') + "/";
  const std::string res506 = d + std::string(506 - d.size(), 'r');
  const std::string res507 = d + std::string(506 - d.size(), 'r') + "/";
  struct Case {
    const char* name;
    std::string value;
    std::function<void(const MainPlane&)> check;
  };
  const Case cases[] = {
      {"ColorBits", "32", [](auto& p) { EXPECT_EQ(p.colourBits + 100 * p.alphaBits, 832); }},
      {"ColorBits", "16", [](auto& p) { EXPECT_EQ(p.colourBits + 100 * p.alphaBits, 516); }},
      {"ColorBits", "24", [](auto& p) { EXPECT_EQ(p.colourBits + 100 * p.alphaBits, 24); }},
      {"DepthBits", "16", [](auto&) { EXPECT_EQ(DepthBits, 16u); }},
      {"DepthBits", "32", [](auto&) { EXPECT_EQ(DepthBits, 32u); }},
      {"FullScreenMode", "TRUE", [](auto&) { EXPECT_EQ(FullScreenMode, 1u); }},
      {"FullScreenMode", "FALSE", [](auto&) { EXPECT_EQ(FullScreenMode, 0u); }},
      {"FullScreenSize", "640x480",
       [](auto& p) { EXPECT_EQ(p.fullScreenSizeIndex * 10000 + p.fullScreenWidth, 10640u); }},
      {"FullScreenSize", "1600x1200",
       [](auto& p) { EXPECT_EQ(p.fullScreenSizeIndex * 10000 + p.fullScreenHeight, 71200u); }},
      {"FullScreenSize", "2048x1536",
       [](auto& p) { EXPECT_EQ(p.fullScreenSizeIndex * 10000 + p.fullScreenWidth, 82048u); }},
      {"MultiSampleMode", "TRUE", [](auto&) { EXPECT_EQ(MultiSampleMode, 1u); }},
      {"MultiSampleSize", "4", [](auto&) { EXPECT_EQ(MultiSampleSize, 4u); }},
      {"MultiSampleQuality", "NICEST", [](auto&) { EXPECT_EQ(MultiSampleQuality, 1u); }},
      {"MultiSampleQuality", "nicest", [](auto&) { EXPECT_EQ(MultiSampleQuality, 0u); }},
      {"MultiSampleQuality", "", [](auto&) { EXPECT_EQ(MultiSampleQuality, 0u); }},
      {"FirstLaunch", "FALSE", [](auto&) { EXPECT_EQ(FirstLaunch, 0u); }},
      {"FirstLaunch", "true", [](auto&) { EXPECT_EQ(FirstLaunch, 7u); }},  // left as it was
      {"FirstLaunch", "TRUE", [](auto&) { EXPECT_EQ(FirstLaunch, 1u); }},
      {"IDL", " -3", [](auto&) { EXPECT_EQ(LanguageIndex, -3); }},
      {"IDL", "7", [](auto&) { EXPECT_EQ(LanguageIndex, 7); }},  // no range check here
      {"XSize", " 1280\t", [](auto&) { EXPECT_EQ(WindowedWidth, 1280u); }},
      {"XSize", "1", [](auto&) { EXPECT_EQ(WindowedWidth, 1u); }},
      {"YSize", std::string(510, '0') + "7", [](auto&) { EXPECT_EQ(WindowedHeight, 7u); }},
      {"XPos", "-20", [](auto&) { EXPECT_EQ(WindowedX, -20); }},
      {"YPos", "2147483647", [](auto&) { EXPECT_EQ(WindowedY, INT32_MAX); }},
      {"YPos", "-2147483648", [](auto&) { EXPECT_EQ(WindowedY, INT32_MIN); }},
      {"FPS", "TRUE", [](auto& p) { EXPECT_EQ(p.fpsFlag * 10 + p.ppsFlag, 10u); }},
      {"PPS", "TRUE", [](auto& p) { EXPECT_EQ(p.fpsFlag * 10 + p.ppsFlag, 1u); }},
      {"VeskorDir", d + "product",
       [&](auto&) { EXPECT_EQ(std::string(ProductDir), d + "product/"); }},
      {"WorkingDir", work510, [&](auto&) { EXPECT_EQ(std::string(WorkingDir), work510 + "/"); }},
      {"WorkingDir", work511, [&](auto&) { EXPECT_EQ(std::string(WorkingDir), work511); }},
      {"ResourceDir", res506, [&](auto&) { EXPECT_EQ(std::string(SndDir), res506 + "/Snd/"); }},
      {"ResourceDir", res507, [&](auto&) { EXPECT_EQ(std::string(ImgDir), res507 + "Img/"); }},
      {"ResourceDir", d + "res/",
       [&](auto&) { EXPECT_EQ(std::string(ImgDir) + SndDir, d + "res/Img/" + d + "res/Snd/"); }},
  };
  for (const Case& c : cases) {
    test::TestStore store(dir_);
    store.Set(c.name, c.value);
    store.Write();
    SetUp();
    MainPlaneReadSettings(plane_);
    SCOPED_TRACE(std::string(c.name) + " = \"" + c.value.substr(0, 40) + "\"");
    c.check(plane_);
    EXPECT_EQ(plane_.settingsRead, 1u);
  }
  // The directory kinds of BuildDirPath, with one world directory added.
  ExtraSearchDirsClear();
  ExtraSearchDirsAdd("/world/");
  const struct {
    std::uint32_t kind;
    std::string dir;
  } kinds[] = {{5, ImgDir}, {8, "/world/"}, {9, ProductDir}, {0xFFFFFFFF, ProductDir}};
  for (const auto& k : kinds) {
    char path[kSearchDirBytes];
    ASSERT_TRUE(BuildDirPath(k.kind, "inter_close_0.png", path));
    EXPECT_EQ(std::string(path), k.dir + "inter_close_0.png") << k.kind;
  }
  ExtraSearchDirsClear();
}

TEST_F(SettingsTest, SavedSettingsReadBackInTheirForms) {
  store_.Set("MultiSampleQuality", "nicest");
  store_.Set("ColorBits", "32");
  store_.Set("IDL", "2");
  store_.Write();
  MainPlaneReadSettings(plane_);
  WindowedWidth = 800;
  WindowedHeight = 600;
  WindowedX = -10;
  LanguageIndex = -2;
  FullScreenMode = 1;
  MultiSampleMode = 1;
  MultiSampleSize = 4;
  DepthBits = 16;
  plane_.fpsFlag = 1;
  plane_.fullScreenWidth = 1024;
  plane_.fullScreenHeight = 768;
  EXPECT_EQ(SaveSettings(plane_), 1u);
  std::string saved;
  for (const char* name : {"XSize", "YSize", "XPos", "YPos", "FullScreenMode", "FullScreenSize",
                           "MultiSampleMode", "MultiSampleQuality", "MultiSampleSize", "ColorBits",
                           "DepthBits", "StencilBits", "FPS", "PPS"})
    saved += Stored(kRegSettingsKey, name) + " ";
  EXPECT_EQ(saved, "800 600 -10 50 TRUE 1024x768 TRUE FASTEST 4 32 16 8 TRUE FALSE ");
  EXPECT_EQ(Stored(kRegRootKey, "FirstLaunch") + " " + Stored(kRegRootKey, "IDL"), "FALSE -2");

  // Writing stops at the first key that is missing; what follows keeps its stored text.
  test::TestStore noSettings(dir_);
  std::erase_if(noSettings.values, [](auto& v) { return v.key == kRegSettingsKey; });
  noSettings.Write();
  EXPECT_EQ(SaveSettings(plane_), 0u);
  EXPECT_EQ(Stored(kRegRootKey, "FirstLaunch") + " " + Stored(kRegRootKey, "IDL"), "FALSE -2");
  test::TestStore noRoot(dir_);
  std::erase_if(noRoot.values, [](auto& v) { return v.key == kRegRootKey; });
  const std::string before = noRoot.Write();
  EXPECT_EQ(SaveSettings(plane_), 0u);
  EXPECT_EQ(noRoot.Text(), before);
}

// A damaged value is said on stderr as a refused setting is; a missing one is not.
TEST_F(SettingsTest, RenderLodReadingStopsAtTheFirstDamagedValueAndSaysIt) {
  const std::string refused = "veskor: the settings store " + store_.path() + " has \"";
  const std::string of = "\" of [" + std::string(kRegRenderLodKey) + "], which is not ";
  store_.Set("ObjectGeo", " 0.25 ");
  store_.Set("ObjectTex", "0");  // both ends of [0, 1] are taken
  store_.Set("TerrainGeo", "1");
  store_.Remove("Portal");
  store_.Write();
  testing::internal::CaptureStderr();
  ReadRenderLod();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(ObjectGeo, 0.25f);
  EXPECT_EQ(ObjectTex, 0.0f);
  EXPECT_EQ(TerrainGeo, 1.0f);
  EXPECT_EQ(TerrainTex, 0.125f);
  EXPECT_EQ(Portal + CloudLow + Overall, -3.0f);
  EXPECT_EQ(IsLangCtrlLOD, 7u);
  for (const auto& [edge, saved] :
       {std::pair{"0.000", "0.000"}, {"1.000", "1.000"}, {"1e-1", "0.100"}, {"-0", "0.000"}}) {
    test::TestStore store(dir_);
    store.Set("TerrainTex", edge);
    store.Write();
    testing::internal::CaptureStderr();
    ReadRenderLod();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << edge;
    EXPECT_EQ(TerrainTex, std::strtof(edge, nullptr)) << edge;
    EXPECT_EQ(Overall, 0.5f) << edge;  // read on after it
    SaveRenderLod();
    EXPECT_EQ(Stored(kRegRenderLodKey, "TerrainTex"), saved) << edge;
  }

  // A value that is not wholly a number, or lies outside the sliders' [0, 1], is damaged: the
  // reading stops there, so it and the following keep their values (at start, the defaults),
  // and those are what is saved back in their place.
  for (const char* damaged :
       {"abc", "0.25xyz", "", "nan", "inf", "1e999", "0,5", "-0.001", "1.001", "1e30", "-1e30"}) {
    test::TestStore store(dir_);
    store.Set("ObjectTex", "0.875");
    store.Set("TerrainTex", damaged);
    store.Set("Overall", "0.375");
    store.Write();
    SetUp();
    TerrainTex = kDefaultTerrainTex;
    Overall = kDefaultOverall;
    testing::internal::CaptureStderr();
    ReadRenderLod();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              refused + "TerrainTex\"=\"" + damaged + of + "a number from 0 to 1\n");
    EXPECT_EQ(ObjectTex, 0.875f) << damaged;
    EXPECT_EQ(TerrainTex, kDefaultTerrainTex) << damaged;
    EXPECT_EQ(Overall, kDefaultOverall) << damaged;
    EXPECT_EQ(IsLangCtrlLOD, 7u) << damaged;
    SaveRenderLod();
    EXPECT_EQ(Stored(kRegRenderLodKey, "TerrainTex"), "0.125") << damaged;
    EXPECT_EQ(Stored(kRegRenderLodKey, "Overall"), "0.500") << damaged;
  }

  for (const auto& [text, flag] :
       {std::pair{"TRUE", 1u}, {"maybe", 1u}, {"false", 1u}, {"FALSE", 0u}, {"", 0u}}) {
    test::TestStore store(dir_);
    store.Set("IsLangCtrlLOD", text);
    store.Write();
    testing::internal::CaptureStderr();
    ReadRenderLod();
    const bool flagText = text == std::string("TRUE") || text == std::string("FALSE");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              flagText ? "" : refused + "IsLangCtrlLOD\"=\"" + text + of + "TRUE or FALSE\n");
    EXPECT_EQ(IsLangCtrlLOD, flag) << text;
  }
  EXPECT_EQ(Portal + CloudLow + Overall, 0.75f + 0.0f + 0.5f);
}

TEST_F(SettingsTest, RenderLodIsSavedWithThreeDecimals) {
  store_.Write();
  ObjectGeo = 0.5f;
  ObjectTex = 0.0005f;
  TerrainGeo = 0.25f;
  TerrainTex = 1.0f;
  Portal = 0.1234f;
  CloudLow = 0.0f;
  Overall = 0.9996f;
  IsLangCtrlLOD = 1;
  SaveRenderLod();
  const auto saved = [this] {
    std::string text;
    for (const char* name : {"ObjectGeo", "ObjectTex", "TerrainGeo", "TerrainTex", "Portal",
                             "CloudLow", "Overall", "IsLangCtrlLOD"})
      text += Stored(kRegRenderLodKey, name) + " ";
    return text;
  };
  EXPECT_EQ(saved(), "0.500 0.001 0.250 1.000 0.123 0.000 1.000 TRUE ");
  // A factor outside [0, 1] is never written: its default goes in its place.
  ObjectGeo = -0.001f;
  ObjectTex = 1.001f;
  TerrainGeo = 1e30f;
  TerrainTex = -1e30f;
  Portal = std::nanf("");
  CloudLow = 0.0f;
  Overall = 1.0f;
  SaveRenderLod();
  EXPECT_EQ(saved(), "0.500 0.250 0.500 0.125 0.750 0.000 1.000 TRUE ");
  EXPECT_EQ(ObjectGeo, -0.001f);  // written, not changed
  // Each factor alone just outside one end of [0, 1], the others at that end: it is written as
  // its own default, they as they are.
  const struct {
    float* factor;
    const char* fallback;
  } factors[] = {{&ObjectGeo, "0.500"},  {&ObjectTex, "0.250"}, {&TerrainGeo, "0.500"},
                 {&TerrainTex, "0.125"}, {&Portal, "0.750"},    {&CloudLow, "0.000"},
                 {&Overall, "0.500"}};
  for (const auto& [end, outside] : {std::pair{0.0f, std::nextafter(0.0f, -1.0f)},
                                     std::pair{1.0f, std::nextafter(1.0f, 2.0f)}}) {
    for (const auto& f : factors) {
      for (const auto& other : factors) *other.factor = end;
      *f.factor = outside;
      SaveRenderLod();
      std::string expected;
      for (const auto& other : factors)
        expected += std::string(&other == &f ? f.fallback : end == 0.0f ? "0.000" : "1.000") + " ";
      EXPECT_EQ(saved(), expected + "TRUE ") << outside;
    }
  }

  // A store without the key: the loss is told once a run, naming the store.
  store_.Remove("IsLangCtrlLOD");
  std::erase_if(store_.values, [](auto& v) { return v.key == kRegRenderLodKey; });
  const std::string before = store_.Write();
  test::MessageCapture capture;
  SettingsWarningShown = 0;  // as a run starts
  SaveRenderLod();
  SaveRenderLod();
  EXPECT_EQ(capture.Text(), "Warning : Settings [exclamation] Settings not saved !\n\nCannot "
                            "write " + store_.path() + " :\nit has no key [" + kRegRenderLodKey +
                            "]\n");
  EXPECT_EQ(store_.Text(), before);
}

// Under a locale that writes a decimal comma the store still reads and gets decimal points.
TEST_F(SettingsTest, NumbersIgnoreTheLocale) {
  test::TempDir locales{"veskor_locale"};
  const std::string command =
      "localedef -i de_DE -f UTF-8 " + locales.Path("de_DE.UTF-8") + " >/dev/null 2>&1";
  setenv("LOCPATH", locales.path().c_str(), 1);
  if (std::system(command.c_str()) != 0 || setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
    unsetenv("LOCPATH");
    GTEST_SKIP() << "no locale with a decimal comma can be made here";
  }
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  EXPECT_STREQ(probe, "0,5");
  store_.Set("Portal", "0.875");
  store_.Write();
  ReadRenderLod();
  ObjectGeo = 0.5f;
  SaveRenderLod();
  setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
  EXPECT_EQ(Portal, 0.875f);
  EXPECT_EQ(Stored(kRegRenderLodKey, "ObjectGeo"), "0.500");
}

}  // namespace
}  // namespace veskor
