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
#include <vector>

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
#include "support/fatal_test.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

const std::string kProduct = VESKOR_PRODUCT_DIR;
constexpr int kWidth = 1024, kHeight = 768;

#define PLANE(p) \
  { &p, #p }
const std::vector<std::pair<const GuiPlane*, const char*>> kNames = {PLANE(MenuBar),
                                                                     PLANE(WorldButton),
                                                                     PLANE(ViewButton),
                                                                     PLANE(SetupButton),
                                                                     PLANE(ProductButton),
                                                                     PLANE(MenuBarBorder),
                                                                     PLANE(ExamineCheck),
                                                                     PLANE(SaveViewCheck),
                                                                     PLANE(MainMenuList),
                                                                     PLANE(ProgressPanel),
                                                                     PLANE(StatusPanel),
                                                                     PLANE(SetupPanel),
                                                                     PLANE(ProductMenuList),
                                                                     PLANE(InfoPanel),
                                                                     PLANE(ViewList),
                                                                     PLANE(FocalPanel),
                                                                     PLANE(FpsLabel),
                                                                     PLANE(FocalLabel),
                                                                     PLANE(PpsLabel),
                                                                     PLANE(HintLine),
                                                                     PLANE(ProgressPanelBorder),
                                                                     PLANE(StageProgressBar),
                                                                     PLANE(TotalProgressBar),
                                                                     PLANE(StatusPanelBorder),
                                                                     PLANE(StatusText),
                                                                     PLANE(StatusCloseButton),
                                                                     PLANE(SetupPanelBorder),
                                                                     PLANE(LanguageDropList),
                                                                     PLANE(OverallSlider),
                                                                     PLANE(LodControlCheck),
                                                                     PLANE(TerrainGeoSlider),
                                                                     PLANE(ObjectGeoSlider),
                                                                     PLANE(TerrainTexSlider),
                                                                     PLANE(ObjectTexSlider),
                                                                     PLANE(PortalSlider),
                                                                     PLANE(CloudLowSlider),
                                                                     PLANE(ResolutionDropList),
                                                                     PLANE(MultiSampleSlider),
                                                                     PLANE(MultiSampleCheck),
                                                                     PLANE(FullScreenCheck),
                                                                     PLANE(FpsCheck),
                                                                     PLANE(PpsCheck),
                                                                     PLANE(SetupCloseButton),
                                                                     PLANE(LodCoverPanel),
                                                                     PLANE(InfoCloseButton),
                                                                     PLANE(ViewListBorder)};
#undef PLANE

std::string NameOf(const GuiPlane* plane) {
  for (const auto& [p, name] : kNames)
    if (p == plane) return name;
  return "?";
}

std::string Children(const GuiPlane& parent) {
  std::string names;
  ForEachInDrawingOrder(
      parent, [&](GuiPlane& child) { names += (names.empty() ? "" : " ") + NameOf(&child); });
  return names;
}

// Planes of the tree drawn: shown themselves and every ancestor.
int VisiblePlanes(const GuiPlane& plane) {
  int count = 0;
  ForEachInDrawingOrder(plane, [&](GuiPlane& c) {
    if (c.hidden == 0) count += 1 + VisiblePlanes(c);
  });
  return count;
}

// The laid-out rectangle in window pixels: left, top, right, bottom.
using Pixels = std::array<long, 4>;
Pixels PixelRect(GuiWidget& w) {
  const WidgetRect r = WidgetSnappedRect(w);
  return {std::lround(r.left * kWidth), std::lround(r.top * kHeight), std::lround(r.right * kWidth),
          std::lround(r.bottom * kHeight)};
}

// Drops the tree's links, so that a build starts from a bare main plane again.
void ForgetInterfaceTree() {
  for (GuiPlane* p : std::initializer_list<GuiPlane*>{&gMainPlane, &ProgressPanel, &StatusPanel,
                                                      &SetupPanel, &InfoPanel, &ViewList}) {
    VmArrayRelease(p->backChildren);
    VmArrayRelease(p->frontChildren);
    MemBlockRelease(p->children.pool);
    p->children = ChildList{};
  }
}

class MainInterfaceTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    LoadWglExtensions();
    LoadGlExtensions();
    if (TextureNameTableCount == 0) InitTextureNames();
    PixelSize = {1.0f / kWidth, 1.0f / kHeight};
    DesignScale = {1.0f, 1.0f};
    ViewAspect = {0.75f, 1.0f / 0.75f};
    MousePoint = {0.5f, 0.5f};
    std::filesystem::create_directories(dir_.Path("binary"));
    ASSERT_TRUE(SetSearchDirs(kProduct.c_str(), dir_.Path("binary/").c_str(),
                              (kProduct + "system/").c_str(), (kProduct + "resources/").c_str(),
                              dir_.Path("work/").c_str()));
    store_.Write();
    WorldReady = ExamineMode = SaveViewRequest = CompileRequest = QuitRequest = 0;
    SelectedView = -1;
    ExamineIndex = kNoExamine;
    gWorld.cameraCount = gWorld.examineCount = gWorld.snapshotCount = 0;
    static bool built = false;
    if (!built) Build();
    built = true;
  }
  // A build afresh on the store, with LanguageIndex 5 and a stale language directory, the
  // frame-rate readout on and the polygon rate off.
  void Build() {
    LanguageIndex = 0;
    LoadTextResources();
    LanguageIndex = 5;
    std::memcpy(LanguageDir, "fr/", 4);
    TerrainGeo = ObjectGeo = Overall = 0.5f;
    TerrainTex = 0.125f;
    ObjectTex = 0.25f;
    Portal = 0.75f;
    CloudLow = 0.0f;
    IsLangCtrlLOD = 0;
    gMainPlane.fpsFlag = 1;
    gMainPlane.ppsFlag = 0;
    gMainPlane.fullScreenSizeIndex = 3;
    MultiSampleSize = 4;
    MultiSampleQuality = 0;
    ForgetInterfaceTree();
    MainInterfacePending = 1;
    EXPECT_EQ(BuildMainInterface(), 1u);
    EXPECT_EQ(MainInterfacePending, 0u);
  }
  std::string Lod() const {
    char text[128];
    std::snprintf(text, sizeof text, "%g %g %g %g %g %g %g %u cover %u box %u", TerrainGeo,
                  TerrainTex, ObjectGeo, ObjectTex, Portal, CloudLow, Overall, IsLangCtrlLOD,
                  LodCoverPanel.hidden == 0, LodControlCheck.checked);
    return text;
  }

  test::TempDir dir_{"veskor_interface"};
  test::TestStore store_{dir_};
};

TEST_F(MainInterfaceTest, TheBuildLinksEveryWidgetInItsPlaceAndShowsNothing) {
  Build();
  EXPECT_EQ(Children(gMainPlane),
            "MenuBar WorldButton ViewButton SetupButton ProductButton MenuBarBorder ExamineCheck "
            "SaveViewCheck MainMenuList ProgressPanel StatusPanel SetupPanel ProductMenuList "
            "InfoPanel ViewList FocalPanel FpsLabel FocalLabel PpsLabel HintLine");
  EXPECT_EQ(Children(ProgressPanel), "ProgressPanelBorder StageProgressBar TotalProgressBar");
  EXPECT_EQ(Children(StatusPanel), "StatusPanelBorder StatusText StatusCloseButton");
  EXPECT_EQ(Children(SetupPanel),
            "SetupPanelBorder LanguageDropList OverallSlider LodControlCheck TerrainGeoSlider "
            "ObjectGeoSlider TerrainTexSlider ObjectTexSlider PortalSlider CloudLowSlider "
            "ResolutionDropList MultiSampleSlider MultiSampleCheck FullScreenCheck FpsCheck "
            "PpsCheck SetupCloseButton LodCoverPanel");
  EXPECT_EQ(Children(InfoPanel), "InfoCloseButton");
  EXPECT_EQ(Children(ViewList), "ViewListBorder");
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
  // In the setup panel at (20, 130): 190 pixels in, as wide as its list.
  EXPECT_EQ(PixelRect(LanguageDropList),
            (Pixels{210, 180, 210 + static_cast<long>(LanguagePickList.textWidth), 200}));

  // LanguageIndex 5 counts as English.
  EXPECT_EQ(LanguageIndex, 0);
  EXPECT_STREQ(LanguageDir, "en/");
  for (const char* lang : {"en/", "fr/"}) {
    Texture2D file;
    std::uint32_t exact;
    float u, v;
    const std::string img = kProduct + "resources/Img/" + lang;
    ASSERT_EQ(LoadPngTextureWithAlpha((img + "inter_world_0.png").c_str(),
                                      (img + "inter_world_mask_0.png").c_str(), file, exact, u, v,
                                      nullptr),
              1u);
    const TexturePixels& shown = WorldButton.hoverImage->pixels;
    EXPECT_EQ(std::memcmp(file.pixels.data, shown.data,
                          std::size_t{4} << (shown.log2Width + shown.log2Height)) == 0,
              lang[0] == 'e')
        << lang;
  }
  for (GuiProgressBar* bar : {&StageProgressBar, &TotalProgressBar}) {
    EXPECT_EQ(bar->pattern.pixels.channels, 3u);
    EXPECT_EQ(bar->pattern.state.filter, 0u);
    EXPECT_EQ(bar->pattern.state.wrap, 3u);
  }
  EXPECT_EQ(MultiSampleLevel, 4.0f);
  EXPECT_EQ(ResolutionDropList.selected, 2);
  EXPECT_EQ(ExamineCheck.popupArgument, 8);
  EXPECT_EQ(std::string(HintLine.lines[3]), TextResources[69].text);
}

TEST_F(MainInterfaceTest, TheSettingsReadAtTheBuildBindTheSetupPanel) {
  const auto values = [](test::TestStore& s) {
    for (const char* name :
         {"ObjectGeo", "ObjectTex", "TerrainGeo", "TerrainTex", "Portal", "CloudLow", "Overall"})
      s.Set(name, "0.875");
    s.Set("IsLangCtrlLOD", "TRUE");
  };
  const struct {
    std::function<void(test::TestStore&)> edit;
    const char* lod;
  } cases[] = {
      {values, "0.875 0.875 0.875 0.875 0.875 0.875 0.875 1 cover 1 box 1"},
      {[&](test::TestStore& s) {
         values(s);
         s.Set("IsLangCtrlLOD", "FALSE");
       },
       "0.875 0.875 0.875 0.875 0.875 0.875 0.875 0 cover 0 box 0"},
      {[&](test::TestStore& s) {
         values(s);
         s.Remove("Portal");
       },
       "0.875 0.875 0.875 0.875 0.75 0 0.5 0 cover 0 box 0"},
      {[](test::TestStore& s) {
         std::erase_if(s.values, [](auto& v) { return v.key == kRegRenderLodKey; });
       },
       "0.5 0.125 0.5 0.25 0.75 0 0.5 0 cover 0 box 0"},
  };
  for (const auto& c : cases) {
    test::TestStore store(dir_);
    c.edit(store);
    store.Write();
    Build();
    EXPECT_EQ(Lod(), c.lod);
  }
  // The slider of the multisample level takes 2, 3 and 4 alone, wherever the thumb goes.
  std::set<float> levels;
  const WidgetRect r = WidgetSnappedRect(MultiSampleSlider);
  for (float x = r.left - 0.02f; x < r.right + 0.02f; x += 0.25f / kWidth) {
    MousePoint = {x, (r.top + r.bottom) * 0.5f};
    MultiSampleSlider.dragging = 1;
    MultiSampleSlider.grabOffset = 0.0f;
    MultiSampleSlider.OnMouseDrag(kButtonLeft, 0, MousePoint.x, MousePoint.y, 0, 0, 1);
    levels.insert(MultiSampleLevel);
  }
  EXPECT_EQ(levels, (std::set<float>{2.0f, 3.0f, 4.0f}));
}

TEST_F(MainInterfaceTest, TheMenuBarIsDrawnOverTheScene) {
  OffscreenBuffer* buffer = OffscreenCreate(kWidth, kHeight);
  ASSERT_NE(buffer, nullptr);
  OffscreenMakeCurrent(buffer);
  ShowMainWidgets();
  const std::uint8_t scene[3] = {30, 160, 60};
  auto draw = [&] {
    glClearColor(scene[0] / 255.0f, scene[1] / 255.0f, scene[2] / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    LayoutDirty = 1;
    LayOutInterface(gMainPlane);
    DrawInterface(gMainPlane);
  };
  auto pixel = [&](int x, int y) {
    std::uint8_t rgba[4];
    OffscreenReadColor(buffer, x, kHeight - 1 - y, 1, 1, rgba);
    return std::to_string(rgba[0]) + " " + std::to_string(rgba[1]) + " " + std::to_string(rgba[2]);
  };
  // WorldButton's picture from (-8, -10): texel (63, 40) is clear; an opaque one is found.
  const TexturePixels& p = WorldButton.normalImage->pixels;
  const auto* texels = static_cast<const std::uint8_t*>(p.data);
  auto texel = [&](int x, int y) { return texels + ((y << p.log2Width) + x) * 4; };
  ASSERT_EQ(texel(63, 40)[3], 0);
  int opaque = 20 * 64;
  while (opaque < 64 * 64 && texel(opaque % 64, opaque / 64)[3] != 255) ++opaque;
  ASSERT_LT(opaque, 64 * 64);
  draw();
  const std::string bar = "113 118 143", ground = "30 160 60";
  EXPECT_EQ(pixel(80, 50), bar);       // between two buttons
  EXPECT_EQ(pixel(55, 30), bar);       // under a clear texel of a button
  EXPECT_EQ(pixel(500, 400), ground);  // below the bar
  const std::uint8_t* ink = texel(opaque % 64, opaque / 64);
  EXPECT_EQ(pixel(opaque % 64 - 8, opaque / 64 - 10),
            std::to_string(ink[0]) + " " + std::to_string(ink[1]) + " " + std::to_string(ink[2]));
  HidePlane(MenuBar);
  draw();
  EXPECT_EQ(pixel(55, 30), ground);
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
      {-1, false, "menu 1 muted 1 compile 0 quit 0 saved 0.500 lists 1 bookmarks 0"},
      {0, false, "menu 0 muted 0 compile 1 quit 0 saved 0.250 lists 0 bookmarks 0"},
      {1, false, "menu 0 muted 0 compile 0 quit 1 saved 0.250 lists 0 bookmarks 1"},
      {1, true, "menu 0 muted 0 compile 0 quit 1 saved 0.250 lists 0 bookmarks 0"},
      {5, false, "menu 0 muted 0 compile 0 quit 0 saved 0.250 lists 0 bookmarks 0"},
  };
  for (const auto& c : cases) {
    store_.Write();
    std::remove(bookmarks.c_str());
    std::filesystem::remove(bookmarks + ".tmp");
    if (c.blocked) std::filesystem::create_directory(bookmarks + ".tmp");
    CompileRequest = QuitRequest = 0;
    TextureNamePool.initialised = 1;
    OpenMainMenu();
    ShowPlane(ResolutionDropList);
    ShowPlane(InfoPanel);
    OnMainMenuChoice(c.index);
    char saved[kRegValueBytes] = "";
    RegReadValue(kHkeyCurrentUser, kRegRenderLodKey, "Overall", saved);
    char state[160];
    std::snprintf(state, sizeof state,
                  "menu %u muted %u compile %u quit %u saved %s lists %u bookmarks %d",
                  MainMenuList.hidden == 0, WorldButton.muted, CompileRequest, QuitRequest, saved,
                  ResolutionDropList.hidden == 0 && InfoPanel.hidden == 0,
                  test::ReadFileText(bookmarks).empty() ? 0 : 1);
    EXPECT_EQ(state, std::string(c.state)) << c.index;
    EXPECT_EQ(TextureNamePool.initialised, c.index == 1 ? 0u : 1u);
    CloseMainMenu();
  }
  TextureNamePool.initialised = initialised;
  HidePlane(InfoPanel);
}

TEST_F(MainInterfaceTest, MenusAndHintsOpenBesideThePointerWithTheirSizeKept) {
  MousePoint = {300.0f / kWidth, 200.0f / kHeight};
  auto moved = [](GuiWidget& w, const std::function<void()>& open, long x, long y, bool right) {
    const Pixels before = PixelRect(w);
    open();
    const long width = before[2] - before[0], height = before[3] - before[1];
    return PixelRect(w) ==
           (right ? Pixels{x - width, y, x, y + height} : Pixels{x, y, x + width, y + height});
  };
  EXPECT_TRUE(moved(MainMenuList, OpenMainMenu, 284, 184, false));
  EXPECT_EQ(WorldButton.muted + (MainMenuList.hidden == 0), 2u);
  const Pixels open = PixelRect(MainMenuList);
  MousePoint = {0.5f, 0.5f};
  WorldButton.OnMouseButton(kButtonLeft, 0, 0, 0, 0);  // suspended: the menu stays
  EXPECT_EQ(PixelRect(MainMenuList), open);
  CloseMainMenu();
  EXPECT_EQ(WorldButton.muted + MainMenuList.hidden, 1u);

  MousePoint = {300.0f / kWidth, 200.0f / kHeight};
  EXPECT_TRUE(moved(ProductMenuList, OpenProductMenu, 316, 184, true));
  EXPECT_EQ(ProductButton.muted + (ProductMenuList.hidden == 0), 2u);
  CloseProductMenu();
  EXPECT_EQ(ProductButton.muted + ProductMenuList.hidden, 1u);

  OpenSetupPanel();
  EXPECT_EQ(SetupPanel.hidden + ResolutionDropList.hidden, 0u);
  SetupCloseButton.OnMouseButton(0, 0, 0, 0, 0);  // the release saves the detail and closes
  EXPECT_EQ(SetupPanel.hidden, 1u);

  EXPECT_TRUE(moved(
      HintLine, [] { ShowHint(2); }, 300, 200, false));
  EXPECT_EQ(HintLine.currentLine * 10 + HintLine.hidden, 20);
  HidePlane(HintLine);
  ShowHint(-1);
  EXPECT_EQ(HintLine.currentLine * 10 + HintLine.hidden, 21);
}

TEST_F(MainInterfaceTest, TheViewListOpensOnlyWithAWorldAndClosesOnTheFifthTick) {
  OpenViewList();
  EXPECT_EQ(ViewList.hidden, 1u);
  EXPECT_EQ(ChooseView(0), 0u);
  WorldReady = 1;
  std::string shown;
  auto ticks = [&](int n) {
    for (int i = 0; i < n; ++i) {
      ViewListAutoClose();
      shown += ViewList.hidden == 0 ? '1' : '0';
    }
  };
  OpenViewList();
  ticks(2);
  ReleaseViewList();
  ticks(4);
  OpenViewList();  // back within four ticks
  ticks(2);
  ReleaseViewList();
  ticks(7);
  EXPECT_EQ(shown,
            "11"
            "1111"
            "11"
            "11111"
            "00");
}

TEST_F(MainInterfaceTest, ChooseViewSelectsCamerasExaminePointsAndSnapshots) {
  WorldReady = 1;
  gWorld.cameraCount = 2;
  gWorld.examineCount = 2;
  gWorld.snapshotCount = 1;
  const struct {
    std::int32_t index;
    std::uint32_t result;
    const char* state;
  } steps[] = {
      {1, 0, "view 1 examine 0 point 65535 box 0"}, {3, 1, "view 3 examine 1 point 1 box 1"},
      {-1, 1, "view 3 examine 1 point 1 box 1"},    {5, 1, "view 3 examine 1 point 1 box 1"},
      {4, 0, "view 4 examine 0 point 1 box 0"},     {2, 1, "view 2 examine 1 point 0 box 1"},
  };
  for (const auto& s : steps) {
    ShowPlane(ViewList);
    SelectedViewTransition = 0;
    EXPECT_EQ(ChooseView(s.index), s.result) << s.index;
    char state[96];
    std::snprintf(state, sizeof state, "view %d examine %u point %u box %u", SelectedView,
                  ExamineMode, ExamineIndex, ExamineCheck.checked);
    EXPECT_EQ(state, std::string(s.state)) << s.index;
    EXPECT_EQ(ViewList.hidden, 1u);
    EXPECT_EQ(SelectedViewTransition, s.index >= 0 && s.index < 5 ? kTransitionStart : 0.0f);
  }
}

TEST_F(MainInterfaceTest, ToggleExamineOrbitsTheNearestExaminePoint) {
  CameraSetPosition(*ViewCamera, 0, 0, 0);
  gWorld.cameraCount = 3;
  auto add = [](float x, float y) {
    ExamineRecord& e = gWorld.examines[gWorld.examineCount++];
    e.position[0] = x, e.position[1] = y, e.position[2] = 0;
  };
  const struct {
    std::function<void()> points;
    const char* state;
  } cases[] = {
      {[] {}, "mode 0 point 65535 view -1"},
      {[&] { add(5, 5); }, "mode 1 point 0 view 3"},
      {[&] { add(9, 0), add(0, -4), add(4, 0); }, "mode 1 point 1 view 4"},
  };
  for (const auto& c : cases) {
    gWorld.examineCount = 0;
    c.points();
    ExamineMode = 0;
    SelectedView = -1;
    EXPECT_EQ(ToggleExamine(), 1u);
    char state[64];
    std::snprintf(state, sizeof state, "mode %u point %u view %d", ExamineMode, ExamineIndex,
                  SelectedView);
    EXPECT_EQ(state, std::string(c.state));
    ToggleExamine();
    EXPECT_EQ(ExamineMode * 10 + (SelectedView == -1), 1u);
  }
}

TEST_F(MainInterfaceTest, CheckBoxesSwitchTheirFlagsAndLabels) {
  ShowMainWidgets();
  EXPECT_EQ((FpsLabel.hidden == 0) * 10 + (PpsLabel.hidden == 0), 10);
  const struct {
    std::uint32_t (*callback)();
    const char* state;
  } steps[] = {{ShowPps, "fps 1 1 pps 1 1"},
               {HideFps, "fps 0 0 pps 1 1"},
               {ShowFps, "fps 1 1 pps 1 1"},
               {HidePps, "fps 1 1 pps 0 0"},
               {RequestSaveView, "fps 1 1 pps 0 0"}};
  for (const auto& s : steps) {
    EXPECT_EQ(s.callback(), 1u);
    char state[64];
    std::snprintf(state, sizeof state, "fps %u %u pps %u %u", gMainPlane.fpsFlag,
                  FpsLabel.hidden == 0, gMainPlane.ppsFlag, PpsLabel.hidden == 0);
    EXPECT_EQ(state, std::string(s.state));
  }
  EXPECT_EQ(SaveViewRequest, 1u);
  SaveViewRequest = 4;
  RequestSaveView();  // a request already counting runs out
  EXPECT_EQ(SaveViewRequest, 4u);

  // Multisampling: level -> mode, size, quality.
  const struct {
    std::uint32_t mode, size, quality;
    std::function<void()> call;
    const char* state;
  } ms[] = {
      {0, 2, 0, [] { MultiSampleLevel = 4.0004f, ToggleMultiSample(); }, "1 4 0"},
      {1, 2, 0, [] { MultiSampleLevel = 3.001f, ToggleMultiSample(); }, "1 2 0"},
      {1, 2, 0, [] { MultiSampleLevel = 5.0f, ToggleMultiSample(); }, "1 2 0"},
      {1, 4, 0, [] { MultiSampleLevel = 3.0f, ToggleMultiSample(); }, "0 2 1"},
      {1, 2, 0, [] { OnMultiSampleLevel(3.0004f); }, "1 2 1"},
      {1, 2, 0, [] { OnMultiSampleLevel(4.0f); }, "1 4 0"},
      {1, 2, 0, [] { OnMultiSampleLevel(2.999f); }, "1 2 0"},
      {0, 2, 1, [] { OnMultiSampleLevel(3.0f); }, "0 2 1"},
      {0, 2, 0, [] { OnMultiSampleLevel(4.0f); }, "0 2 0"},
      {0, 4, 1, [] { OnMultiSampleLevel(2.0f); }, "0 2 0"},
  };
  for (const auto& m : ms) {
    MultiSampleMode = m.mode, MultiSampleSize = m.size, MultiSampleQuality = m.quality;
    m.call();
    char state[32];
    std::snprintf(state, sizeof state, "%u %u %u", MultiSampleMode, MultiSampleSize,
                  MultiSampleQuality);
    EXPECT_EQ(state, std::string(m.state));
  }
  MultiSampleMode = 0;
}

TEST_F(MainInterfaceTest, AProgressPictureOutsideTheSearchDirectoriesEndsTheProgram) {
  // The texts, and the pictures before the progress bars, without the bars' patterns.
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
  EXPECT_EQ(std::string(SharedLineTable[1]), longText.substr(0, kSharedLineBytes - 1));
  EXPECT_EQ(std::string(SharedLineTable[2]) + "|" + SharedLineTable[0], "next|");
}

}  // namespace
}  // namespace veskor
