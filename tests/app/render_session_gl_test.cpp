// The render session on small worlds written here, each compiled by the compile session first:
// what a success leaves (panels, title, log, the detail chosen, the focal angle) and the ways
// it fails: a stop by Escape or by closing the window, a scene build that fails and an fx
// program that fails.
#include "app/render_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "app/compile_session.h"
#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/program_entry.h"
#include "app/session_status.h"
#include "app/settings.h"
#include "app/window_proc.h"
#include "foundation/frame_clock.h"
#include "foundation/search_dirs.h"
#include "foundation/session_log.h"
#include "geometry/item_tables.h"
#include "geometry/scene_build_error.h"
#include "geometry/subdivision_settings.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/gl_capabilities.h"
#include "gfx/scene_grid.h"
#include "gfx/texture_names.h"
#include "language/world.h"
#include "platform/gl_context.h"
#include "render/render_prepare.h"
#include "render/render_session.h"
#include "session_panels.h"
#include "shell_test_support.h"
#include "support/gl_test_fixture.h"
#include "support/message_capture.h"
#include "support/sound_files.h"

namespace veskor {
namespace {

const std::vector<std::string> kCompiled = {"> begin 'parse' session", "",
                                            "> end 'parse' session",   "> begin 'compile' session",
                                            "> end 'compile' session", "> begin 'render' session"};

// What a world needs to be drawn: a camera looking at the origin.
const std::string kCamera =
    "Camera c { position([0 -50 20]) lookAt([0 0 0]) depth(2000) focalAngle(50) }\n";
const std::string kInfo = "Info { title(\"Hills\") author(\"Ann\") date(\"2003\") }\n";
const std::string kLod =
    "LOD { min(0) minTerrain([0.2 0.3]) minObject([0.4 0.5]) minCloudLow(0.6) minPortal(0.7)\n"
    "      max(1) maxTerrain([0.2 0.3]) maxObject([0.4 0.5]) maxCloudLow(0.6) maxPortal(0.7) }\n";

// A low round slab 4000 across: 16 Edges from height 0 to 10 on a circle of radius 2000. At
// the store's detail its cross-sections are refined into one mesh of more than 65536 vertices.
std::string WideModel() {
  std::string text = "Model wide {";
  for (int k = 0; k < 16; ++k) {
    const double a = k * std::numbers::pi / 8;
    const std::string xy = std::to_string(std::lround(2000 * std::cos(a))) + " " +
                           std::to_string(std::lround(2000 * std::sin(a)));
    text += " Edge { [" + xy + " 0 0 0] [" + xy + " 10 0 0] }";
  }
  return text + " }\n";
}

// The recorded boxes that tell of skipped items, one a line.
std::vector<std::string> SkipWarnings(const std::string& records) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; at < records.size(); at = end + 1) {
    end = records.find('\n', at);
    if (end == std::string::npos) end = records.size();
    const std::string line = records.substr(at, end - at);
    if (line.find("Skipped") != std::string::npos) lines.push_back(line);
  }
  return lines;
}

bool gQuitWaiting = false;

class RenderSessionTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    LoadWglExtensions();
    MainPlaneExtensionWord = LoadGlExtensions();
    if (TextureNameTableCount == 0) InitTextureNames();
    store_.Write();
    std::filesystem::create_directories(dir_.Path("binary"));
    ASSERT_TRUE(SetSearchDirs(dir_.Path("product").c_str(), dir_.Path("binary").c_str(), "", "",
                              dir_.Path("work").c_str()));
    test::ConfigureSessionPanels();
    gSessionPorts = DefaultShellPorts();
    gSessionPorts.peekMessage = [](WindowMessage* message) {
      if (!gQuitWaiting) return false;
      gQuitWaiting = false;
      *message = WindowMessage{kWmQuit, 0, 0};
      return true;
    };
    FullScreenMode = 0;
    WindowedWidth = test::kGlTestWindowSize;
    WindowedHeight = test::kGlTestWindowSize + kMenuBarRows;
    if (gSceneGrid.fine.cells == nullptr)
      SpatialGridInit(gSceneGrid, &gMainPlane, 1024, 1024, -16384, -16384, -2048, 16384, 16384,
                      2048);
    RenderViewPlane = &gMainPlane;
    std::snprintf(gMainPlane.title, sizeof gMainPlane.title, "%s", "  v.e.s.k.o.r");
    WorldReady = 0;
    QuitRequest = 0;
    KeyCodeMap[27] = 27;
    KeyDownTable[27] = 0;
    IsLangCtrlLOD = 0;
    ViewFocalAngle = -1;
    cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
  }
  void TearDown() override {
    std::filesystem::current_path(cwd_);
    SessionLogClose();
    KeyDownTable[27] = 0;
    RenderViewPlane = nullptr;
    test::GlTest::TearDown();
  }

  // Compiles `text` as the command line's world and runs the render session on it.
  std::uint32_t Run(const std::string& text) {
    dir_.Write("w.wld", text);
    std::snprintf(WorldPath, sizeof WorldPath, "%s", dir_.Path("w.wld").c_str());
    CompileRequest = 1;
    if (CompileSession(WorldPath) != 1) return 2;
    RenewTextureNames();
    return RenderSession();
  }

  static std::vector<std::string> Log(const std::vector<std::string>& tail) {
    std::vector<std::string> lines = kCompiled;
    lines[1] = "      parse file <\\%w.wld>";
    lines.insert(lines.end(), tail.begin(), tail.end());
    return lines;
  }

  test::TempDir dir_{"veskor_render"};
  test::TestStore store_{dir_};
  std::filesystem::path cwd_;
};

TEST_F(RenderSessionTest, ASuccessReadiesTheWorldAndClosesThePanels) {
  dir_.Write("s.wav", [] {
    const auto wav = test::EncodeWav({.data = test::ConstantPcm16(2000, 1, 10000)});
    return std::string(wav.begin(), wav.end());
  }());
  test::MessageCapture capture;
  SessionStartTime = static_cast<float>(NowSeconds());
  ASSERT_EQ(Run(kInfo + kCamera + "Sound { program(\"seq\") Sample { name(\"s.wav\") } }\n"), 1u);
  EXPECT_EQ(gWorld.soundBanks[0].playing, 1u);  // started at the end
  EXPECT_EQ(WorldReady, 1u);
  EXPECT_STREQ(gMainPlane.title, "  v.e.s.k.o.r  -  Hills");
  EXPECT_EQ(ProgressPanel.hidden + StatusPanel.hidden, 2u);
  EXPECT_EQ(StatusPanel.blink, 0u);
  EXPECT_EQ(test::Differing(test::ViewImage(StatusText),
                            test::ExpectedLog(Log({"> end 'render' session"}))),
            0u);
  EXPECT_EQ(ViewFocalAngle, 50.0f);  // the world camera's
  EXPECT_EQ(ViewCamera, &gWorld.currentCamera);
  EXPECT_STREQ(WorldPath, "");  // later requests ask with the dialog
  EXPECT_GT(RenderSessionTime, 0.0f);
  EXPECT_EQ(LastStageLabel, std::string("Shaders / Environment"));
  // Each stage's time once, the first and the last included.
  const std::string records = capture.Text();
  for (const char* stage : {"Scene / Outline View", "Environment / Fog", "Shaders / Environment"}) {
    const std::string line = std::string("stage '") + stage + "' ";
    EXPECT_NE(records.find(line), std::string::npos) << stage;
    EXPECT_EQ(records.find(line), records.rfind(line)) << stage;
  }

  // A world without Info keeps the title; a second session starts its labels afresh.
  ASSERT_EQ(Run(kCamera), 1u);
  EXPECT_STREQ(gMainPlane.title, "  v.e.s.k.o.r  -  Hills");
}

TEST_F(RenderSessionTest, TheWorldsKeysRuleTheDetailOnlyWhenAllowed) {
  // The compile session reads them from the store.
  for (const auto& [name, value] : {std::pair{"ObjectGeo", "0.11"},
                                    {"ObjectTex", "0.12"},
                                    {"TerrainGeo", "0.13"},
                                    {"TerrainTex", "0.14"},
                                    {"Portal", "0.15"},
                                    {"CloudLow", "0.16"},
                                    {"Overall", "0.5"}})
    store_.Set(name, value);
  struct Case {
    bool lodBlock;
    std::uint32_t allowed;
    float detail[4];  // object geometry, object texture, terrain geometry, terrain texture
  };
  const Case cases[] = {
      {false, 0, {0.11f, 0.12f, 0.13f, 0.14f}},
      {false, 1, {0.11f, 0.12f, 0.13f, 0.14f}},
      {true, 0, {0.11f, 0.12f, 0.13f, 0.14f}},
      {true, 1, {0.4f, 0.5f, 0.2f, 0.3f}},
  };
  for (const Case& c : cases) {
    store_.Set("IsLangCtrlLOD", c.allowed != 0 ? "TRUE" : "FALSE");
    store_.Write();
    ASSERT_EQ(Run(kCamera + (c.lodBlock ? kLod : "")), 1u);
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(gWorld.lod.detail[i], c.detail[i]) << i;
    // The terrain ranges read the lists the extent filled with the terrain values.
    EXPECT_FLOAT_EQ(gWorld.lod.lists[2].records[0].value, c.detail[2]);
    EXPECT_FLOAT_EQ(gWorld.lod.lists[3].records[0].value, c.detail[3]);
    EXPECT_EQ(gTerrainGeometryLod.range.list, &gWorld.lod.lists[2]);
    EXPECT_EQ(gTerrainTextureLod.range.list, &gWorld.lod.lists[3]);
    EXPECT_EQ(gObjectGeometryLod.range.list, &gWorld.lod.lists[0]);
    EXPECT_EQ(gObjectTextureLod.range.list, &gWorld.lod.lists[1]);
  }
}

TEST_F(RenderSessionTest, EscapeOrACloseStopsThePreparationAndTheNextCompileWorks) {
  for (const bool close : {false, true}) {
    KeyDownTable[27] = close ? 0 : 1;
    gQuitWaiting = close;
    WorldReady = 1;
    EXPECT_EQ(Run(kInfo + kCamera), 0u);
    EXPECT_EQ(WorldReady, 0u);
    EXPECT_EQ(QuitRequest, close ? 1u : 0u);
    EXPECT_EQ(ProgressPanel.hidden + StatusPanel.hidden, 2u);
    EXPECT_EQ(StatusPanel.blink, 0u);
    EXPECT_STREQ(LastStageLabel, "");  // stopped at the first report, before any drawing
    KeyDownTable[27] = 0;
    QuitRequest = 0;
    EXPECT_EQ(Run(kInfo + kCamera), 1u);
    EXPECT_EQ(WorldReady, 1u);
  }
}

TEST_F(RenderSessionTest, TheInterfaceTexturesTakeFreshNamesAndUploadOnce) {
  GuiTextView* views[] = {&ProgressPanel, &StatusPanel, &StatusText};
  for (GuiTextView* v : views) {
    v->blink = 1;
    Texture2DBind(v->textTexture, 0, 0);  // uploaded under the old names
  }
  RenewTextureNames();
  // Slots taken after the renewal (here by the fresh uploads of other textures) must not be
  // shared with the interface's.
  std::set<std::uint32_t> taken;
  for (int i = 0; i < 3; ++i) taken.insert(TakeTextureSlot());
  RenewInterfaceTextures();
  for (GuiTextView* v : views) {
    const TextureState& s = v->textTexture.state;
    EXPECT_EQ(s.slotStamp, ContextStamp);
    EXPECT_EQ(s.stamp, ContextStamp);  // bound once: uploaded
    EXPECT_EQ(s.dirty, 0u);
    EXPECT_EQ(v->blink, 0u);
    EXPECT_TRUE(taken.insert(s.slot).second) << s.slot;
  }
}

TEST_F(RenderSessionTest, ItemsTooLargeToBatchAreShownInOneBoxASession) {
  // Two copies of the slab in each world, the composition's and the model's own: the box names
  // the first one's object. Both copies have the same mesh.
  test::MessageCapture capture;
  std::size_t session = 0;
  for (const std::string first : {"ring", "wide"}) {
    const std::string second = first == "ring" ? "wide" : "ring";
    ASSERT_EQ(Run(kCamera + WideModel() + "Composition ring { wide }\nObject { " + first + " " +
                  second + " }\n"),
              1u);  // drawn without them
    EXPECT_EQ(gWorld.sceneInstanceCount, 2u);
    const std::vector<std::string> shown = SkipWarnings(capture.Text());
    ASSERT_EQ(shown.size(), ++session);  // again for the next world
    const std::string head =
        "Warning : Render [exclamation] Geometry Item Of '" + first + "' Skipped : ";
    const std::string& box = shown.back();
    ASSERT_EQ(box.substr(0, head.size()), head);
    const unsigned long vertices = std::stoul(box.substr(head.size()));
    EXPECT_GT(vertices, 65536u);
    EXPECT_EQ(2 * vertices, gGeneratedVertexTotal);
    EXPECT_EQ(box.substr(head.size()), std::to_string(vertices) + " Vertices > 65536 !");
  }
  ASSERT_EQ(Run(kCamera), 1u);  // a world whose items all fit
  EXPECT_EQ(SkipWarnings(capture.Text()).size(), 2u);
}

// The fx programs run in the shader stages, which are not in the preparation yet: only the
// build's failure can be brought about by a world.
TEST_F(RenderSessionTest, AFailingBuildShowsItsMessageBlinkingAndPreparesNothing) {
  WorldReady = 1;
  gGeometryBatchBuffer.finalised = 1;
  // The file's name holds a "\n": the status shows it as written.
  EXPECT_EQ(Run(kCamera + "Planet { color(\"maps\\none.png\") mask(\"maps\\none.png\")" +
                " direction([0 1 0]) }\n"),
            0u);
  EXPECT_EQ(WorldReady, 0u);
  EXPECT_EQ(gGeometryBatchBuffer.finalised, 0u);  // the preparation would have moved it
  EXPECT_EQ(ProgressPanel.hidden, 1u);
  EXPECT_EQ(StatusPanel.hidden, 0u);
  EXPECT_EQ(StatusPanel.blink, 1u);
  const std::string shown = gSceneBuildError.message;
  EXPECT_EQ(shown.substr(0, 32), "Cannot find file \"maps\\none.png\"");
  EXPECT_EQ(
      test::Differing(test::ViewImage(StatusPanel), test::ExpectedHeader({"\\bcompile"}, shown)),
      0u);
}

}  // namespace
}  // namespace veskor
