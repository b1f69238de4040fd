// The information panel's 24 lines before and after a world, with the counters set here, and
// their hand-over to InfoPanel; the version text and the extension list.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/info_panel.h"
#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/render_session.h"
#include "app/text_resources.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_memory.h"
#include "language/world.h"
#include "platform/cpu.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

class InfoPanelTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    Labels("L");
    std::snprintf(gMainPlane.version, kPlaneTextBytes, "4.5 Mesa");
    std::snprintf(gMainPlane.vendor, kPlaneTextBytes, "Acme");
    std::snprintf(gMainPlane.renderer, kPlaneTextBytes, "Pixel Mill");
    gMainPlane.extensionMask = kExtTextureCubeMap | kExtPbuffer;
    TextureUnitCount = 8;
    WorldReady = 0;
  }
  void TearDown() override {
    WorldReady = 0;
    test::GlTest::TearDown();
  }
  static void Labels(const char* prefix) {
    for (int i = 0; i < 24; ++i)
      std::snprintf(TextResources[23 + i].text, kTextResourceBytes, "%s%d", prefix, i);
  }
  static std::vector<std::string> Lines() {
    return std::vector<std::string>(InfoLines, InfoLines + InfoLineCount);
  }
};

// The kernels in use: the SSE ones unless VESKOR_PLAIN_KERNELS=1 forces the plain ones.
const std::string kSseLine = std::string("L8\\3\\g") + (CpuUseSseKernels() ? "yes" : "no");

TEST_F(InfoPanelTest, BeforeAWorldTheLabelsStandAloneButTheMachinesLines) {
  ShowInfoPanel();
  const std::vector<std::string> want = {
      "L0", "L1", "L2", "L3", "L4", "L5", "L6", "L7", kSseLine, "L9",
      "L10\\5\\g0.0 s", "L11\\5\\g0.0 s", "L12\\5\\g0.0 s", "L13\\5\\g0.0 s", "L14",
      "L15\\3\\g\\%4.5 Mesa", "L16\\3\\g\\%Acme", "L17\\3\\g\\%Pixel Mill",
      "L18\\3\\g\\icube map, pbuffer", "L19\\3\\g8", "L20", "L21", "L22", "L23"};
  EXPECT_EQ(Lines(), want);
  // The list's full set-up: 40 and 150 pixels from the root's corner, its colours.
  EXPECT_EQ(InfoPanel.lineCount, 24u);
  EXPECT_STREQ(InfoPanel.lines[23], "L23");
  EXPECT_EQ(InfoPanel.edgePixels[kEdgeLeft], 40.0f);
  EXPECT_EQ(InfoPanel.edgePixels[kEdgeTop], 150.0f);
  EXPECT_FLOAT_EQ(InfoPanel.backgroundColor[2], 110 / 255.0f);
  EXPECT_FLOAT_EQ(InfoPanel.backgroundColor[3], 0.8f);
  EXPECT_FLOAT_EQ(InfoPanel.titleColor[1], 0.6f);
  // Another language refills the labels.
  Labels("M");
  ShowInfoPanel();
  EXPECT_EQ(Lines()[0] + " " + InfoPanel.lines[10], "M0 M10\\5\\g0.0 s");
}

TEST_F(InfoPanelTest, AWorldFillsEveryLineAndKeepsThePanelsPlace) {
  ShowInfoPanel();  // the set-up, as the main interface's build makes it
  InfoPanel.edgePixels[kEdgeLeft] = 300;  // moved since
  InfoRecord& info = gWorld.infos[0];
  std::snprintf(info.title, sizeof info.title, "Isle");
  std::snprintf(info.fileName, sizeof info.fileName, "isle.wld");
  std::snprintf(info.author, sizeof info.author, "Ann");
  std::snprintf(info.date, sizeof info.date, "2003");
  std::snprintf(info.comment, sizeof info.comment, "sea");
  const std::uint32_t version[] = {1, 2, 12};
  std::memcpy(gWorld.versionNumbers, version, sizeof version);
  gWorld.versionCount = 3;
  RenderSessionTime = 10.0f;
  EnvironmentStageTime = 2.5f;
  ShaderStageTime = 1.25f;
  GeometryCount = 77;
  TextureMemory = {3u << 20, 2u << 20, 1u << 20, 1u << 19};
  WorldReady = 1;
  ShowInfoPanel();
  const std::vector<std::string> want = {
      "L0", "L1\\3\\g\\b\\i\\%Isle", "L2\\3\\g\\%isle.wld", "L3\\3\\g\\%Ann",
      "L4\\3\\g\\%2003", "L5\\3\\g\\%sea", "L6\\3\\g\\b1\\<\\g . 2 . 12", "L7", kSseLine, "L9",
      "L10\\5\\g6.250 s", "L11\\5\\g2.500 s", "L12\\5\\g1.250 s", "L13\\5\\g10.000 s", "L14",
      "L15\\3\\g\\%4.5 Mesa", "L16\\3\\g\\%Acme", "L17\\3\\g\\%Pixel Mill",
      "L18\\3\\g\\icube map, pbuffer", "L19\\3\\g8", "L20\\3\\g77\\51.00 Mb",
      "L21\\3\\g3.00 MTexels\\52.00 Mb", "L22\\5\\g0.50 Mb", "L23\\b\\5\\g3.50 Mb"};
  EXPECT_EQ(Lines(), want);
  EXPECT_STREQ(InfoPanel.lines[21], want[21].c_str());
  EXPECT_EQ(InfoPanel.edgePixels[kEdgeLeft], 300.0f);
  // A title of 511 characters is cut to the line's 255.
  std::memset(info.title, 'x', 511);
  info.title[511] = '\0';
  ShowInfoPanel();
  EXPECT_EQ(std::strlen(InfoLines[1]), 255u);
  EXPECT_EQ(std::string(InfoLines[1], 13), "L1\\3\\g\\b\\i\\%x");
  EXPECT_STREQ(InfoLines[2], "L2\\3\\g\\%isle.wld");

  // Backslashes in the world's strings and the driver's names are text: each line stays one
  // line high, as high as the author's.
  std::snprintf(info.comment, sizeof info.comment, "C:\\new\\bay");
  std::snprintf(gMainPlane.renderer, kPlaneTextBytes, "soft\\npipe");
  ShowInfoPanel();
  EXPECT_STREQ(InfoLines[5], "L5\\3\\g\\%C:\\new\\bay");
  EXPECT_STREQ(InfoLines[17], "L17\\3\\g\\%soft\\npipe");
  const auto height = [](std::uint32_t line) {
    return (InfoPanel.lineBounds[line + 1] - InfoPanel.lineBounds[line]) *
           static_cast<float>(InfoPanel.textHeight);
  };
  EXPECT_NEAR(height(5), height(3), 0.01f);
  EXPECT_NEAR(height(17), height(3), 0.01f);
  gWorld.versionCount = 0;
  TextureMemory = {};
}

TEST(InfoPanelText, VersionNumbersInDecimal) {
  const struct {
    std::vector<std::uint32_t> numbers;
    const char* want;
  } cases[] = {
      {{}, ""}, {{1}, "1\\<\\g"}, {{2, 0, 9}, "2\\<\\g . 0 . 9"}, {{12, 10}, "12\\<\\g . 10"},
  };
  for (const auto& c : cases) {
    char text[64];
    FormatVersionText(text, sizeof text, c.numbers.data(),
                      static_cast<std::uint32_t>(c.numbers.size()));
    EXPECT_STREQ(text, c.want);
  }
  char cut[6];
  const std::uint32_t many[] = {123, 456};
  FormatVersionText(cut, sizeof cut, many, 2);
  EXPECT_STREQ(cut, "123\\<");
}

TEST(InfoPanelText, ExtensionsFourToAVisualLine) {
  const struct {
    std::uint32_t mask;
    const char* want;
  } cases[] = {
      {0, ""},
      {kExtTextureCubeMap | kExtTextureCompressionS3tc | kExtRegisterCombiners |
           kExtSecondaryColor | kExtTextureShader,
       "cube map, s3tc, register combiners, 2nd color\\n\\3texture shader"},
      {kExtVertexArrayRange | kExtCompiledVertexArray, "vertex array range"},
      {kExtCompiledVertexArray | kExtMultisample | kExtMultitexture,
       "compiled vertex array, FSAA"},
      {0xFFFFFFFF,
       "cube map, s3tc, register combiners, 2nd color\\n\\3texture shader, vertex array range, "
       "pbuffer, FSAA"},
  };
  for (const auto& c : cases) {
    char text[256] = "";
    AppendExtensionList(text, sizeof text, c.mask);
    EXPECT_STREQ(text, c.want);
  }
}

}  // namespace
}  // namespace veskor
