// The main interface built on the product tree's pictures and texts: the tree and its order,
// the layout at 1024 x 768, the settings it binds, the drawing over a scene, and the callbacks
// as tables of calls and the state they leave.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "app/main_interface.h"
#include "app/main_interface_callbacks.h"
#include "app/main_plane.h"
#include "app/program_entry.h"
#include "app/registry.h"
#include "app/settings.h"
#include "app/text_resources.h"
#include "foundation/search_dirs.h"
#include "gfx/gl_capabilities.h"
#include "gfx/png_texture.h"
#include "gfx/texture_names.h"
#include "gui/gui_globals.h"
#include "gui/interface_frame.h"
#include "gui/screen_planes.h"
#include "platform/offscreen.h"
#include "shell_test_support.h"
#include "support/gl_test_fixture.h"
#include "support/kept_global.h"
#include "support/message_capture.h"

namespace veskor {
namespace {

const std::string kProduct = VESKOR_PRODUCT_DIR;
constexpr int kWidth = 1024, kHeight = 768;

// clang-format off
#define N(p) {&p, #p}
const std::pair<const GuiPlane*, const char*> kNames[] = {
    N(MenuBar), N(WorldButton), N(ViewButton), N(SetupButton), N(ProductButton), N(MenuBarBorder),
    N(ExamineCheck), N(SaveViewCheck), N(MainMenuList), N(ProgressPanel), N(StatusPanel),
    N(SetupPanel), N(ProductMenuList), N(InfoPanel), N(ViewList), N(FocalPanel), N(FpsLabel),
    N(FocalLabel), N(PpsLabel), N(HintLine), N(ProgressPanelBorder), N(StageProgressBar),
    N(TotalProgressBar), N(StatusPanelBorder), N(StatusText), N(StatusCloseButton),
    N(SetupPanelBorder), N(LanguageDropList), N(OverallSlider), N(LodControlCheck),
    N(TerrainGeoSlider), N(ObjectGeoSlider), N(TerrainTexSlider), N(ObjectTexSlider),
    N(PortalSlider), N(CloudLowSlider), N(ResolutionDropList), N(MultiSampleSlider),
    N(MultiSampleCheck), N(FullScreenCheck), N(FpsCheck), N(PpsCheck), N(SetupCloseButton),
    N(LodCoverPanel), N(InfoCloseButton), N(ViewListBorder)};
#undef N
// clang-format on

std::string NameOf(const GuiPlane* plane) {
  for (const auto& [p, name] : kNames)
    if (p == plane) return name;
  return "?";
}

std::string Children(const GuiPlane& parent) {
  std::string names;
  ForEachInDrawingOrder(parent, [&](GuiPlane& c) { names += NameOf(&c) + " "; });
  return names;
}

// Planes drawn: shown themselves and all their ancestors.
int VisiblePlanes(const GuiPlane& plane) {
  int count = 0;
  ForEachInDrawingOrder(plane, [&](GuiPlane& c) { count += c.hidden ? 0 : 1 + VisiblePlanes(c); });
  return count;
}

// The laid-out rectangle in window pixels: left, top, right, bottom.
using Pixels = std::array<long, 4>;
Pixels PixelRect(GuiWidget& w) {
  const WidgetRect r = WidgetSnappedRect(w);
  return {std::lround(r.left * kWidth), std::lround(r.top * kHeight), std::lround(r.right * kWidth),
          std::lround(r.bottom * kHeight)};
}

std::string Format(const char* format, auto... values) {
  char text[1024];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

class MainInterfaceTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    LoadWglExtensions();
    LoadGlExtensions();
    if (TextureNameTableCount == 0) InitTextureNames();
    PixelSize = {1.0f / kWidth, 1.0f / kHeight};
    ViewAspect = {0.75f, 1.0f / 0.75f};
    MousePoint = {300.0f / kWidth, 200.0f / kHeight};
    std::filesystem::create_directories(dir_.Path("binary"));
    ASSERT_TRUE(SetSearchDirs(kProduct.c_str(), dir_.Path("binary/").c_str(), "",
                              (kProduct + "resources/").c_str(), dir_.Path("work/").c_str()));
    store_.Write();
    WorldReady = ExamineMode = SaveViewRequest = CompileRequest = QuitRequest = 0;
    SelectedView = -1;
    ExamineIndex = kNoExamine;
    gWorld.cameraCount = gWorld.examineCount = gWorld.snapshotCount = 0;
    static bool built = false;
    if (!built) Build();
    built = true;
  }
  // A build afresh, from a bare main plane, with LanguageIndex 5 and a stale language
  // directory, the frame-rate readout on and the polygon rate off.
  void Build() {
    for (GuiPlane* p : std::initializer_list<GuiPlane*>{&gMainPlane, &ProgressPanel, &StatusPanel,
                                                        &SetupPanel, &InfoPanel, &ViewList}) {
      VmArrayRelease(p->backChildren);
      MemBlockRelease(p->children.pool);
      p->children = ChildList{};
    }
    LanguageIndex = 0;
    LoadTextResources();
    LanguageIndex = 5;
    std::memcpy(LanguageDir, "fr/", 4);
    TerrainGeo = ObjectGeo = Overall = 0.5f, TerrainTex = 0.125f, ObjectTex = 0.25f;
    Portal = 0.75f, CloudLow = 0.0f, IsLangCtrlLOD = 0;
    gMainPlane.fpsFlag = 1, gMainPlane.ppsFlag = 0, gMainPlane.fullScreenSizeIndex = 3;
    MultiSampleSize = 4, MultiSampleQuality = 0, MainInterfacePending = 1;
    EXPECT_EQ(BuildMainInterface() + MainInterfacePending, 1u);
  }

  test::TempDir dir_{"veskor_interface"};
  test::TestStore store_{dir_};
  test::Kept<std::uint32_t> warned_{SettingsWarningShown};  // the quit's failed save warns
};

TEST_F(MainInterfaceTest, TheBuildLinksEveryWidgetInItsPlaceAndShowsNothing) {
  Build();
  EXPECT_EQ(Children(gMainPlane),
            "MenuBar WorldButton ViewButton SetupButton ProductButton MenuBarBorder ExamineCheck "
            "SaveViewCheck MainMenuList ProgressPanel StatusPanel SetupPanel ProductMenuList "
            "InfoPanel ViewList FocalPanel FpsLabel FocalLabel PpsLabel HintLine ");
  EXPECT_EQ(
      Children(ProgressPanel) + Children(StatusPanel) + Children(InfoPanel) + Children(ViewList),
      "ProgressPanelBorder StageProgressBar TotalProgressBar StatusPanelBorder StatusText "
      "StatusCloseButton InfoCloseButton ViewListBorder ");
  EXPECT_EQ(Children(SetupPanel),
            "SetupPanelBorder LanguageDropList OverallSlider LodControlCheck TerrainGeoSlider "
            "ObjectGeoSlider TerrainTexSlider ObjectTexSlider PortalSlider CloudLowSlider "
            "ResolutionDropList MultiSampleSlider MultiSampleCheck FullScreenCheck FpsCheck "
            "PpsCheck SetupCloseButton LodCoverPanel ");
  std::string screens;
  for (std::uint32_t i = 0; i < ScreenPlaneList.count; ++i)
    screens += NameOf(ScreenPlaneList.planes[i]) + " ";
  EXPECT_EQ(screens,
            "MenuBar WorldButton ViewButton SetupButton ProductButton MenuBarBorder FocalPanel "
            "ProgressPanel StatusPanel SetupPanel ExamineCheck SaveViewCheck InfoPanel ");
  EXPECT_EQ(VisiblePlanes(gMainPlane), 0);
  for (const auto& [plane, name] : kNames) EXPECT_EQ(plane->style, kInterfaceStyle) << name;

  EXPECT_EQ(PixelRect(MenuBar), (Pixels{0, 0, 1024, 113}));
  EXPECT_EQ(PixelRect(ProgressPanel), (Pixels{20, 388, 764, 538}));
  EXPECT_EQ(PixelRect(StatusPanel), (Pixels{20, 548, 764, 748}));
  EXPECT_EQ(PixelRect(SetupPanel), (Pixels{20, 130, 764, 622}));
  EXPECT_EQ(PixelRect(ViewList), (Pixels{0, 112, 1024, 224}));
  // 190 pixels into the setup panel, as wide as its list.
  EXPECT_EQ(PixelRect(LanguageDropList),
            (Pixels{210, 180, 210 + long{LanguagePickList.textWidth}, 200}));

  // LanguageIndex 5 counts as English: the button shows the English picture.
  EXPECT_EQ(LanguageIndex * 10 + std::strcmp(LanguageDir, "en/"), 0);
  for (const std::string lang : {"en/", "fr/"}) {
    Texture2D file;
    std::uint32_t exact;
    float u, v;
    const std::string img = kProduct + "resources/Img/" + lang + "inter_world_";
    ASSERT_EQ(LoadPngTextureWithAlpha((img + "0.png").c_str(), (img + "mask_0.png").c_str(), file,
                                      exact, u, v, nullptr),
              1u);
    const TexturePixels& shown = WorldButton.hoverImage->pixels;
    EXPECT_EQ(
        std::memcmp(file.pixels.data, shown.data, 4u << (shown.log2Width + shown.log2Height)) == 0,
        lang == "en/")
        << lang;
  }
  for (GuiProgressBar* bar : {&StageProgressBar, &TotalProgressBar})
    EXPECT_EQ(Format("%u %u %u", bar->pattern.pixels.channels, bar->pattern.state.filter,
                     bar->pattern.state.wrap),
              "3 0 3");
  EXPECT_EQ(Format("%g %d %d %s", MultiSampleLevel, ResolutionDropList.selected,
                   ExamineCheck.popupArgument, HintLine.lines[3]),
            Format("4 2 8 %s", TextResources[69].text));
  // The information panel takes its labels at the build.
  EXPECT_EQ(InfoPanel.lineCount, 24u);
  EXPECT_EQ(std::string(LanguagePickList.lines[1]) + LanguagePickList.lines[2] +
                ResolutionPickList.lines[7],
            "Espa\361olFran\347ais2048 x 1536");
}

TEST_F(MainInterfaceTest, TheSettingsReadAtTheBuildBindTheSetupPanel) {
  const auto values = [](test::TestStore& s, const char* flag) {
    for (auto n : {"ObjectGeo", "ObjectTex", "TerrainGeo", "TerrainTex", "Portal", "CloudLow"})
      s.Set(n, "0.875");
    s.Set("Overall", "0.875");
    s.Set("IsLangCtrlLOD", flag);
  };
  const struct {
    std::function<void(test::TestStore&)> edit;
    const char* lod;
  } cases[] = {
      {[&](auto& s) { values(s, "TRUE"); }, "0.875 0.875 0.875 0.875 0.875 0.875 0.875 1 1 1"},
      {[&](auto& s) { values(s, "FALSE"); }, "0.875 0.875 0.875 0.875 0.875 0.875 0.875 0 0 0"},
      {[&](auto& s) { values(s, "TRUE"), s.Remove("Portal"); },
       "0.875 0.875 0.875 0.875 0.75 0 0.5 0 0 0"},
      {[](auto& s) { std::erase_if(s.values, [](auto& v) { return v.key == kRegRenderLodKey; }); },
       "0.5 0.125 0.5 0.25 0.75 0 0.5 0 0 0"},
  };
  for (const auto& c : cases) {
    c.edit(store_);
    store_.Write();
    Build();
    // The values, then the flag, the cover shown and the check box.
    EXPECT_EQ(Format("%g %g %g %g %g %g %g %u %u %u", TerrainGeo, TerrainTex, ObjectGeo, ObjectTex,
                     Portal, CloudLow, Overall, IsLangCtrlLOD, LodCoverPanel.hidden == 0,
                     LodControlCheck.checked),
              c.lod);
  }
  // The slider of the multisample level takes 2, 3 and 4 alone, wherever the thumb goes.
  std::set<float> levels;
  const WidgetRect r = WidgetSnappedRect(MultiSampleSlider);
  for (float x = r.left - 0.02f; x < r.right + 0.02f; x += 0.25f / kWidth) {
    MousePoint.x = x;
    MultiSampleSlider.dragging = 1;
    MultiSampleSlider.grabOffset = 0.0f;
    MultiSampleSlider.OnMouseDrag(kButtonLeft, 0, x, 0, 0, 0, 1);
    levels.insert(MultiSampleLevel);
  }
  EXPECT_EQ(levels, (std::set<float>{2.0f, 3.0f, 4.0f}));
}

TEST_F(MainInterfaceTest, TheMenuBarIsDrawnOverTheScene) {
  OffscreenBuffer* buffer = OffscreenCreate(kWidth, kHeight);
  ASSERT_NE(buffer, nullptr);
  OffscreenMakeCurrent(buffer);
  ShowMainWidgets();
  auto draw = [] {
    glClearColor(30 / 255.0f, 160 / 255.0f, 60 / 255.0f, 1.0f);  // the scene
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    LayoutDirty = 1;
    LayOutInterface(gMainPlane);
    DrawInterface(gMainPlane);
  };
  auto pixel = [&](int x, int y) {
    std::uint8_t p[4];
    OffscreenReadColor(buffer, x, kHeight - 1 - y, 1, 1, p);
    return Format("%u %u %u", p[0], p[1], p[2]);
  };
  // WorldButton's picture, from (-8, -10): texel (63, 40) is clear; an opaque one is found.
  const TexturePixels& p = WorldButton.normalImage->pixels;
  auto texel = [&](int i) { return static_cast<const std::uint8_t*>(p.data) + i * 4; };
  ASSERT_EQ(texel(40 * 64 + 63)[3], 0);
  int opaque = 20 * 64;
  while (opaque < 64 * 64 && texel(opaque)[3] != 255) ++opaque;
  ASSERT_LT(opaque, 64 * 64);
  draw();
  const std::string bar = "113 118 143", scene = "30 160 60";
  EXPECT_EQ(pixel(80, 50) + "|" + pixel(55, 30) + "|" + pixel(500, 400),
            bar + "|" + bar + "|" + scene);
  EXPECT_EQ(pixel(opaque % 64 - 8, opaque / 64 - 10),
            Format("%u %u %u", texel(opaque)[0], texel(opaque)[1], texel(opaque)[2]));
  HidePlane(MenuBar);
  draw();
  EXPECT_EQ(pixel(55, 30), scene);  // the scene through the clear texel
  OffscreenRestoreWindow();
  OffscreenDestroy(buffer);
  glViewport(0, 0, test::kGlTestWindowSize, test::kGlTestWindowSize);

  // The setup panel's surface: ink where its texts are, none between the sections' frames.
  const TexturePixels& s = SetupPanel.textTexture.pixels;
  auto most = [&](int x0, int y0, int x1, int y1) {
    int m = 0;
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x)
        m = std::max<int>(m, static_cast<const std::uint8_t*>(s.data)[(y << s.log2Width) + x]);
    return m;
  };
  for (const auto& [x, y] : {std::pair{20, 20}, {20, 100}, {20, 343}, {690, 373}, {400, 248}})
    EXPECT_GT(most(x, y, x + 24, y + 14), 200) << x << "," << y;
  // The frames' lines in their level 0.1, the top one of the language and the bottom one of
  // the level of detail away from any text.
  EXPECT_NEAR(most(300, 30, 500, 32) + most(300, 327, 500, 329), 51, 3);
  EXPECT_EQ(most(0, 83, 1023, 97) + most(0, 331, 1023, 340) + most(734, 0, 1023, 511) +
                most(0, 456, 1023, 511),
            0);
}

TEST_F(MainInterfaceTest, TheMainMenusChoicesCompileOrQuitThenSaveTheDetail) {
  gWorld.snapshotCount = 1;
  Overall = 0.25f;
  const std::string bookmarks = dir_.Path("binary/bookmark.wld");
  const std::uint32_t initialised = TextureNamePool.initialised;
  const struct {
    std::int32_t index;
    bool blocked;  // the bookmarks' file cannot be written
    const char* state;
  } cases[] = {
      {-1, false, "menu 1 muted 1 compile 0 quit 0 names 1 saved 0.500 lists 11 bookmarks 0"},
      {0, false, "menu 0 muted 0 compile 1 quit 0 names 1 saved 0.250 lists 00 bookmarks 0"},
      {1, false, "menu 0 muted 0 compile 0 quit 1 names 0 saved 0.250 lists 00 bookmarks 1"},
      {1, true, "menu 0 muted 0 compile 0 quit 1 names 0 saved 0.250 lists 00 bookmarks 0"},
      {5, false, "menu 0 muted 0 compile 0 quit 0 names 1 saved 0.250 lists 00 bookmarks 0"},
  };
  for (const auto& c : cases) {
    store_.Write();
    std::filesystem::remove(bookmarks);
    if (c.blocked) std::filesystem::create_directory(bookmarks);
    CompileRequest = QuitRequest = 0;
    TextureNamePool.initialised = 1;
    OpenMainMenu();
    ShowPlane(ResolutionDropList);
    ShowPlane(InfoPanel);
    OnMainMenuChoice(c.index);
    char saved[kRegValueBytes] = "";
    RegReadValue(kHkeyCurrentUser, kRegRenderLodKey, "Overall", saved);
    EXPECT_EQ(
        Format("menu %u muted %u compile %u quit %u names %u saved %s lists %u%u bookmarks %d",
               MainMenuList.hidden == 0, WorldButton.muted, CompileRequest, QuitRequest,
               TextureNamePool.initialised, saved, ResolutionDropList.hidden == 0,
               InfoPanel.hidden == 0, std::filesystem::is_regular_file(bookmarks)),
        c.state);
    CloseMainMenu();
  }
  // A store that cannot take the detail: the quit tells of it, and only once a run.
  std::erase_if(store_.values, [](auto& v) { return v.key == kRegRenderLodKey; });
  store_.Write();
  test::MessageCapture capture;
  OnMainMenuChoice(1);
  OnMainMenuChoice(0);
  EXPECT_EQ(capture.Text(), "Warning : Shutdown [exclamation] Settings not saved !\n\nCannot "
                            "write " + store_.path() + " :\nit has no key [" + kRegRenderLodKey +
                            "]\n");
  TextureNamePool.initialised = initialised;
  HidePlane(InfoPanel);
}

TEST_F(MainInterfaceTest, MenusAndHintsOpenBesideThePointerWithTheirSizeKept) {
  // The buttons pressed here stay hovered, drawn so, for the tests after this one.
  const test::Kept<std::uint32_t> world{WorldButton.hovered}, close{SetupCloseButton.hovered};
  // The widget after `open`, against its former size placed at (x, y) (its right side at x).
  auto moved = [](GuiWidget& w, const std::function<void()>& open, long x, long y, bool right) {
    const Pixels b = PixelRect(w);
    open();
    const long width = b[2] - b[0], height = b[3] - b[1];
    return PixelRect(w) ==
           (right ? Pixels{x - width, y, x, y + height} : Pixels{x, y, x + width, y + height});
  };
  EXPECT_TRUE(moved(MainMenuList, OpenMainMenu, 284, 184, false));
  EXPECT_EQ(WorldButton.muted + (MainMenuList.hidden == 0), 2u);
  MousePoint = {0.5f, 0.5f};
  EXPECT_TRUE(moved(
      MainMenuList, [] { WorldButton.OnMouseButton(kButtonLeft, 0, 0, 0, 0); }, 284, 184,
      false));  // suspended: the menu stays
  CloseMainMenu();
  EXPECT_EQ(WorldButton.muted + MainMenuList.hidden, 1u);

  MousePoint = {300.0f / kWidth, 200.0f / kHeight};
  EXPECT_TRUE(moved(ProductMenuList, OpenProductMenu, 316, 184, true));
  EXPECT_EQ(ProductButton.muted + (ProductMenuList.hidden == 0), 2u);
  CloseProductMenu();
  EXPECT_EQ(ProductButton.muted + ProductMenuList.hidden, 1u);
  // A line released is the product menu's link: the first shows the information panel.
  ShowPlane(ProductMenuList);
  ProductMenuList.onRelease(0);
  EXPECT_EQ(ProductMenuList.hidden * 10 + InfoPanel.hidden, 10u);
  HidePlane(InfoPanel);

  OpenSetupPanel();
  EXPECT_EQ(SetupPanel.hidden + ResolutionDropList.hidden, 0u);
  SetupCloseButton.OnMouseButton(0, 0, 0, 0, 0);  // its release saves the detail and closes
  EXPECT_EQ(SetupPanel.hidden, 1u);

  EXPECT_TRUE(moved(
      HintLine, [] { ShowHint(2); }, 300, 200, false));
  EXPECT_EQ(HintLine.currentLine * 10 + HintLine.hidden, 20);
  HidePlane(HintLine);
  ShowHint(-1);
  EXPECT_EQ(HintLine.currentLine * 10 + HintLine.hidden, 21);
}

TEST_F(MainInterfaceTest, TheViewListAndTheViewChoice) {
  OpenViewList();
  EXPECT_EQ(ChooseView(0) * 10 + ViewList.hidden, 1u);  // no world: closed, nothing chosen
  WorldReady = 1;
  std::string shown;
  auto ticks = [&](int n) {
    while (n-- > 0) ViewListAutoClose(), shown += ViewList.hidden ? '0' : '1';
  };
  OpenViewList(), ticks(2), ReleaseViewList(), ticks(4);
  OpenViewList(), ticks(2), ReleaseViewList(), ticks(7);  // back within four ticks, then away
  EXPECT_EQ(shown,
            "111111"
            "11"
            "11111"
            "00");

  // Two cameras, two examine points, a snapshot; -1 and 5 keep the selection.
  gWorld.cameraCount = gWorld.examineCount = 2;
  gWorld.snapshotCount = 1;
  std::string views;
  for (std::int32_t index : {1, 3, -1, 5, 4, 2}) {
    ShowPlane(ViewList);
    SelectedViewTransition = 0;
    const std::uint32_t examine = ChooseView(index);
    views += Format("%u %d %u %u %u %g %u|", examine, SelectedView, ExamineMode, ExamineIndex,
                    ExamineCheck.checked, SelectedViewTransition, ViewList.hidden);
  }
  EXPECT_EQ(views,
            "0 1 0 65535 0 50 1|1 3 1 1 1 50 1|1 3 1 1 1 0 1|1 3 1 1 1 0 1|"
            "0 4 0 1 0 50 1|1 2 1 0 1 50 1|");

  // Examine the point nearest the world camera: none, one, and a tie of the second and third.
  CameraSetPosition(*ViewCamera, 0, 0, 0);
  gWorld.cameraCount = 3;
  std::string toggles;
  for (const std::vector<std::array<float, 3>>& points :
       {std::vector<std::array<float, 3>>{}, {{5, 5, 0}}, {{9, 0, 0}, {0, -4, 0}, {4, 0, 0}}}) {
    gWorld.examineCount = 0;
    for (const auto& q : points)
      std::copy(q.begin(), q.end(), gWorld.examines[gWorld.examineCount++].position);
    ExamineMode = 0;
    SelectedView = -1;
    std::uint32_t result = ToggleExamine();
    toggles += Format("%u %u %u %d ", result, ExamineMode, ExamineIndex, SelectedView);
    result = ToggleExamine();
    toggles += Format("%u %u %d|", result, ExamineMode, SelectedView);
  }
  EXPECT_EQ(toggles, "1 0 65535 -1 1 0 -1|1 1 0 3 1 0 -1|1 1 1 4 1 0 -1|");
}

TEST_F(MainInterfaceTest, CheckBoxesSwitchTheirFlagsAndLabels) {
  ShowMainWidgets();
  std::string state = Format("%u %u|", FpsLabel.hidden, PpsLabel.hidden);
  for (auto callback : {ShowPps, HideFps, ShowFps, HidePps}) {
    const std::uint32_t result = callback();
    state += Format("%u %u %u %u %u|", result, gMainPlane.fpsFlag, FpsLabel.hidden,
                    gMainPlane.ppsFlag, PpsLabel.hidden);
  }
  state += std::to_string(RequestSaveView() + SaveViewRequest);
  SaveViewRequest = 4;
  RequestSaveView();  // a request already counting runs out
  EXPECT_EQ(state + std::to_string(SaveViewRequest),
            "0 1|1 1 0 1 0|1 0 1 1 0|1 1 0 1 0|1 1 0 0 1|24");

  // Multisampling: mode, size, quality before; the call; after.
  const struct {
    std::uint32_t mode, size, quality;
    std::function<void()> call;
    const char* after;
  } cases[] = {
      {0, 2, 0, [] { MultiSampleLevel = 4.0004f, ToggleMultiSample(); }, "1 4 0"},
      {1, 2, 0, [] { MultiSampleLevel = 3.001f, ToggleMultiSample(); }, "1 2 0"},
      {1, 2, 0, [] { MultiSampleLevel = 5.0f, ToggleMultiSample(); }, "1 2 0"},
      {1, 4, 0, [] { MultiSampleLevel = 3.0f, ToggleMultiSample(); }, "0 2 1"},
      {1, 2, 0, [] { OnMultiSampleLevel(3.0004f); }, "1 2 1"},
      {1, 2, 0, [] { OnMultiSampleLevel(2.999f); }, "1 2 0"},
      {1, 2, 0, [] { OnMultiSampleLevel(4.0f); }, "1 4 0"},
      {0, 2, 1, [] { OnMultiSampleLevel(3.0f); }, "0 2 1"},
      {0, 2, 0, [] { OnMultiSampleLevel(4.0f); }, "0 2 0"},
      {0, 4, 1, [] { OnMultiSampleLevel(2.0f); }, "0 2 0"},
  };
  for (const auto& c : cases) {
    MultiSampleMode = c.mode, MultiSampleSize = c.size, MultiSampleQuality = c.quality;
    c.call();
    EXPECT_EQ(Format("%u %u %u", MultiSampleMode, MultiSampleSize, MultiSampleQuality), c.after);
  }
  MultiSampleMode = 0;
}

TEST_F(MainInterfaceTest, AProgressPictureOutsideTheSearchDirectoriesEndsTheProgram) {
  // The texts and the pictures before the progress bars, without the bars' patterns.
  const std::string res = dir_.Path("res/"), none = dir_.Path("none/");
  std::filesystem::create_directories(res + "Img");
  std::filesystem::create_directory_symlink(kProduct + "resources/Txt", res + "Txt");
  std::filesystem::create_directory_symlink(kProduct + "resources/Img/en", res + "Img/en");
  std::filesystem::create_symlink(kProduct + "resources/Img/inter_border_0.png",
                                  res + "Img/inter_border_0.png");
  ASSERT_TRUE(SetSearchDirs(none.c_str(), none.c_str(), none.c_str(), res.c_str(), none.c_str()));
  // The directories are the child's own.
  EXPECT_EXIT(Build(), testing::ExitedWithCode(1),
              "Error \\[stop\\] Cannot find file \"inter_progress_0\\.png\" in the search "
              "directories: [^,]*/none/, [^,]*/res/, [^,]*/res/Img/, [^,]*/res/Snd/, [^,]*/none/, "
              "[^,]*/none/\n");
}

// A text longer than a line buffer is cut, the buffer after it untouched.
TEST(SharedLineTable, TextsAreCutToTheirBuffers) {
  const std::string longText(300, 'x');
  SetSharedLine(kSharedLineCount, "past the table");
  SetSharedLine(2, "next");
  SetSharedLine(1, longText.c_str());
  SetSharedLine(0, nullptr);
  EXPECT_EQ(SharedLineTable[1] + std::string("|") + SharedLineTable[2] + "|" + SharedLineTable[0],
            longText.substr(0, kSharedLineBytes - 1) + "|next|");
}

}  // namespace
}  // namespace veskor
