// The loaders of the flare and light-ray images: the search order along the directories, the
// upload that keeps only the GL copy, the element table's limits, the light shafts' threshold
// and stored values, and a missing or broken image reported with the session going on without
// the effect.
#include "environment/lens_flare.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "environment/environment_params.h"
#include "environment_gl_base.h"
#include "foundation/search_dirs.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"
#include "support/message_capture.h"
#include "support/png_test_images.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;

class LensFlareLoadTest : public test::EnvironmentGlBase {
 protected:
  void SetUp() override {
    EnvironmentGlBase::SetUp();
    for (const char* d : {"prod", "bin", "sys", "res/Img", "res/Snd", "work", "extraA", "extraB"})
      fs::create_directories(root.Path(d));
    ASSERT_TRUE(SetSearchDirs(root.Path("prod").c_str(), root.Path("bin").c_str(),
                              root.Path("sys").c_str(), root.Path("res").c_str(),
                              root.Path("work").c_str()));
    ExtraSearchDirsClear();
    for (const char* name : {"lens0.png", "lens1.png", "lens2.png", "CRay.png"})
      Grey("res/Img/", name, 40);
    EnvironmentBindings bindings{};
    EnvironmentDefaults(bindings);
  }
  void TearDown() override {
    ExtraSearchDirsClear();
    EnvironmentBindings bindings{};
    EnvironmentDefaults(bindings);
    GlTest::TearDown();
  }
  // A 4 x 2 grey image of one value.
  void Grey(const std::string& dir, const char* name, std::uint8_t value) {
    root.Write(dir + name, test::EncodePng(4, 2, 1, [=](auto, auto, auto) { return value; }));
  }
  // The first texel of the texture's GL copy, in 1/255.
  static int GlValue(FloatTexture2D& texture) {
    FloatTexture2DBind(texture, kModeKeepEnvironment, 0);
    std::vector<float> texels(4 * 2);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return static_cast<int>(texels[0] * 255 + 0.5f);
  }
  void LoadTable(std::uint32_t count = kLensFlareTableCount) {
    LoadLensFlare("lens0.png", "lens1.png", "lens2.png", kLensFlareTable, count);
  }
  test::TempDir root{"veskor_flare"};
};

TEST_F(LensFlareLoadTest, ImagesComeFromTheFirstDirectoryInSearchOrder) {
  Grey("work/", "lens0.png", 100);
  Grey("extraA/", "lens0.png", 150);
  Grey("extraB/", "lens0.png", 170);
  Grey("res/", "lens1.png", 80);
  const struct {
    std::vector<const char*> extra;
    int want0;
  } cases[] = {
      {{}, 100}, {{"extraA/"}, 150}, {{"extraA/", "extraB/"}, 170}, {{"extraB/", "extraA/"}, 150}};
  for (const auto& c : cases) {
    ExtraSearchDirsClear();
    for (const char* d : c.extra) ASSERT_TRUE(ExtraSearchDirsAdd(root.Path(d).c_str()));
    LoadTable();
    EXPECT_EQ(GlValue(LensFlareImages[0]), c.want0);
    EXPECT_EQ(GlValue(LensFlareImages[1]), 80);  // the resource directory before its images
    EXPECT_EQ(GlValue(LensFlareImages[2]), 40);
  }
  for (FloatTexture2D& image : LensFlareImages) {
    EXPECT_EQ(image.pixels.data, nullptr);  // only the GL copy stays
    EXPECT_EQ(image.state.wrap, 0u);
    EXPECT_EQ(image.state.filter, kFilterBilinear);
    EXPECT_EQ(image.state.dirty, 0u);
  }
}

// The program's table as installed: every field of every element against the table as the
// flare was designed (image, position, size, red, green, blue, alpha, centre fade, spin).
TEST_F(LensFlareLoadTest, InstallsTheProgramsSixteenElements) {
  const LensFlareElement want[16] = {
      {0, 0.0f, 0.2f, 0.8f, 0.8f, 0.5f, 0.8f, 0.1f, 0.0f},
      {1, 0.0f, 0.5f, 0.8f, 0.8f, 0.7f, 0.7f, 0.4f, -0.05f},
      {1, 0.0f, 0.7f, 0.8f, 0.8f, 0.7f, 0.6f, 0.5f, 0.25f},
      {2, 0.78f, 0.2f, 0.9f, 0.9f, 0.9f, 0.06f, 0.1f, 0.0f},
      {2, 1.38f, 0.1f, 0.9f, 0.9f, 0.9f, 0.08f, 0.1f, 0.0f},
      {2, 1.48f, 0.11f, 0.9f, 0.9f, 0.9f, 0.06f, 0.1f, 0.0f},
      {2, 2.2f, 0.3f, 0.9f, 0.9f, 0.9f, 0.05f, 0.1f, 0.0f},
      {2, 2.25f, 0.3f, 0.9f, 0.9f, 0.9f, 0.06f, 0.1f, 0.0f},
      {2, 0.95f, 0.05f, 0.9f, 0.9f, 0.9f, 0.12f, 0.1f, 0.0f},
      {2, 1.05f, 0.05f, 0.9f, 0.9f, 0.9f, 0.12f, 0.1f, 0.0f},
      {2, 1.15f, 0.03f, 0.9f, 0.9f, 0.9f, 0.1f, 0.1f, 0.0f},
      {2, 1.25f, 0.04f, 0.9f, 0.9f, 0.9f, 0.12f, 0.1f, 0.0f},
      {2, 0.25f, 0.05f, 0.9f, 0.9f, 0.9f, 0.07f, 0.1f, 0.0f},
      {2, 0.35f, 0.04f, 0.9f, 0.9f, 0.9f, 0.1f, 0.1f, 0.0f},
      {2, 0.4f, 0.02f, 0.9f, 0.9f, 0.9f, 0.12f, 0.1f, 0.0f},
      {2, 1.55f, 0.05f, 0.9f, 0.9f, 0.9f, 0.1f, 0.1f, 0.0f},
  };
  ASSERT_EQ(kLensFlareTableCount, 16u);
  LoadTable();
  EXPECT_EQ(LensFlareElements.imageCount, 3u);
  ASSERT_EQ(LensFlareElements.count, 16u);
  for (int i = 0; i < 16; ++i) {
    const LensFlareElement& e = LensFlareElements.elements[i];
    const LensFlareElement& w = want[i];
    EXPECT_EQ(e.image, w.image) << i;
    const float got[8] = {e.position, e.size, e.red, e.green, e.blue, e.alpha, e.fade, e.spin};
    const float expected[8] = {w.position, w.size, w.red, w.green, w.blue, w.alpha, w.fade, w.spin};
    for (int f = 0; f < 8; ++f) EXPECT_EQ(got[f], expected[f]) << "element " << i << " field " << f;
  }
}

TEST_F(LensFlareLoadTest, ElementTableKeepsAtMostSixteenValidElements) {
  std::vector<LensFlareElement> table(kLensFlareTable, kLensFlareTable + 16);
  table.insert(table.end(), kLensFlareTable, kLensFlareTable + 4);
  table[3].image = 3;  // no such image: left out
  const struct {
    std::uint32_t count, want;
  } cases[] = {{0, 0}, {1, 1}, {4, 3}, {17, 16}, {20, 16}};
  for (const auto& c : cases) {
    LoadLensFlare("lens0.png", "lens1.png", "lens2.png", table.data(), c.count);
    EXPECT_EQ(LensFlareElements.count, c.want) << c.count;
    EXPECT_EQ(LensFlareElements.imageCount, 3u);
    if (c.want > 3) {
      EXPECT_EQ(LensFlareElements.elements[3].position, table[4].position);
    }
  }
}

TEST_F(LensFlareLoadTest, MissingOrBrokenImageTurnsTheFlareOff) {
  // The world directories newest first, then the fixed ones in their order.
  ASSERT_TRUE(ExtraSearchDirsAdd(root.Path("extraA/").c_str()));
  ASSERT_TRUE(ExtraSearchDirsAdd(root.Path("extraB/").c_str()));
  const std::string dirs = root.Path("extraB/") + ", " + root.Path("extraA/") + ", " +
                           root.Path("work/") + ", " + root.Path("res/") + ", " +
                           root.Path("res/Img/") + ", " + root.Path("res/Snd/") + ", " +
                           root.Path("bin/") + ", " + root.Path("prod/");
  LoadTable();
  ASSERT_EQ(LensFlareElements.count, 16u);
  {
    test::MessageCapture capture;
    fs::remove(root.Path("res/Img/lens2.png"));
    LoadTable();
    EXPECT_EQ(capture.Text(),
              "Warning [exclamation] Cannot Find Image \"lens2.png\" In The Search "
              "Directories : " +
                  dirs + ". Lens Flares Off !\n");
    EXPECT_EQ(LensFlareElements.count, 0u);
    EXPECT_EQ(LensFlareElements.imageCount, 0u);
  }
  {
    test::MessageCapture capture;
    Grey("res/Img/", "lens2.png", 40);
    root.Write("work/lens1.png", std::string("\x89PNG\r\n\x1a\n broken"));
    LoadTable();
    EXPECT_EQ(capture.Text(), "Warning [exclamation] Cannot Read Image \"" +
                                  root.Path("work/lens1.png") + "\". Lens Flares Off !\n");
    EXPECT_EQ(LensFlareElements.count, 0u);
  }
  fs::remove(root.Path("work/lens1.png"));
  LoadTable();
  EXPECT_EQ(LensFlareElements.count, 16u);
}

TEST_F(LensFlareLoadTest, LightShaftsNeedIntensityAboveOneHundredth) {
  test::MessageCapture capture;
  Grey("res/Img/", "CRay.png", 200);
  // The default intensity 0.05, horizon coverage 0.2.
  LoadLightRays("CRay.png");
  EXPECT_EQ(LightShaftsEnabled, 1);
  EXPECT_FLOAT_EQ(LightShaftParams.intensity, 0.005f);
  EXPECT_FLOAT_EQ(LightShaftParams.horizonCoverage, 0.8f);
  EXPECT_EQ(GlValue(LightRayTexture), 200);
  EXPECT_EQ(LightRayTexture.pixels.data, nullptr);

  const struct {
    float intensity;
    bool on;
  } cases[] = {{0.01f, false}, {0.0f, false}, {0.02f, true}};
  fs::remove(root.Path("res/Img/CRay.png"));
  for (const auto& c : cases) {
    LightShaftsEnabled = 0;
    LightShaftParams = {0.5f, 0.5f, 7.0f};
    const std::string before = capture.Text();
    LoadLightRaysWith("CRay.png", c.intensity, 0.3f, 250.0f);
    // Above the threshold the values are stored; the missing image is reported and the light
    // shafts are off; at or below it nothing is touched and nothing is read.
    EXPECT_EQ(LightShaftsEnabled, 0) << c.intensity;
    EXPECT_FLOAT_EQ(LightShaftParams.intensity, c.on ? 0.002f : 0.5f);
    EXPECT_FLOAT_EQ(LightShaftParams.horizonCoverage, c.on ? 0.7f : 0.5f);
    EXPECT_FLOAT_EQ(LightShaftParams.length, c.on ? 250.0f : 7.0f);
    EXPECT_EQ(capture.Text().size() > before.size(), c.on) << c.intensity;
  }
  EXPECT_NE(capture.Text().find("Cannot Find Image \"CRay.png\""), std::string::npos);
  EXPECT_NE(capture.Text().find("Light Shafts Off !"), std::string::npos);
}

}  // namespace
}  // namespace veskor
