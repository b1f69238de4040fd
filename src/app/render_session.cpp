#include "app/render_session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "app/error_boxes.h"
#include "app/help_page.h"
#include "app/info_panel.h"
#include "app/language_screen.h"
#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/program_entry.h"
#include "app/session_status.h"
#include "app/settings.h"
#include "app/view_snapshots.h"
#include "app/welcome_screen.h"
#include "environment/environment_params.h"
#include "environment/lens_flare.h"
#include "foundation/frame_clock.h"
#include "geometry/scene_build.h"
#include "geometry/scene_build_error.h"
#include "gfx/texture_format.h"
#include "gfx/texture_memory.h"
#include "gfx/viewport_rect.h"
#include "gui/text_bitmap.h"
#include "gui/text_markup.h"
#include "gui/widget_textures.h"
#include "language/parse_store.h"
#include "language/world.h"
#include "mapengine/fx_frame.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "render/render_prepare.h"
#include "render/render_session.h"
#include "sound/sound_banks.h"

namespace veskor {

float RenderSessionTime = 0.0f;
float EnvironmentStageTime = 0.0f;
float ShaderStageTime = 0.0f;

namespace {

void BindOnce(Texture2D* texture) {
  if (texture != nullptr && texture->pixels.data != nullptr) Texture2DBind(*texture, 0, 0);
}

void RenewButton(GuiImageButton& button) {
  RestoreButtonTextures(button);
  if (button.ownsImages == 0) return;
  BindOnce(button.hoverImage);
  BindOnce(button.normalImage);
}

void RenewTextView(GuiTextView& view) {
  Texture2DRenewNameAs(view.textTexture, kLayoutAlpha);
  BindOnce(&view.textTexture);
  view.blink = 0;
}

void RenewProgressBar(GuiProgressBar& bar) {
  Texture2DRenewName(bar.pattern);
  BindOnce(&bar.pattern);
}

// Hides the panel and gives its text image back: erased, copied into the texture, released.
void ClosePanel(GuiTextView& view) {
  HidePlane(view);
  ClearTextBitmap(view.textBitmap, 1);
}

void SetWorldTitle() {
  if (gWorld.infoCount == 0) return;
  // The world's title, cut to what the plane's title holds.
  char* title = gMainPlane.title;
  const std::size_t prefix = std::strlen(kWorldTitlePrefix);
  const std::size_t length =
      strnlen(gWorld.infos[0].title,
              std::min<std::size_t>(kWorldStringBytes, kPlaneTextBytes - prefix - 1));
  std::memcpy(title, kWorldTitlePrefix, prefix);
  std::memcpy(title + prefix, gWorld.infos[0].title, length);
  title[prefix + length] = '\0';
  GlWindowSetTitle(gMainPlane.window, title);
}

struct Detail {
  float portal;
  float cloudLow;
};

// The world's keys rule the level of detail when it has them and the setting lets them.
Detail SetLevelOfDetail() {
  const float* e = kWorldExtent;
  if (gWorld.lodBlock != 0 && IsLangCtrlLOD != 0) {
    float terrainGeo, terrainTex, objectGeo, objectTex, portal, cloudLow;
    WorldInterpolateKeys(gWorld, Overall, &terrainGeo, &terrainTex, &objectGeo, &objectTex, &portal,
                         &cloudLow);
    WorldSetExtent(gWorld, e[0], e[1], e[2], e[3], e[4], e[5], objectGeo, objectTex, terrainGeo,
                   terrainTex);
    return {portal, cloudLow};
  }
  WorldSetExtent(gWorld, e[0], e[1], e[2], e[3], e[4], e[5], ObjectGeo, ObjectTex, TerrainGeo,
                 TerrainTex);
  return {Portal, CloudLow};
}

// The world's lists hold, in order, the boxes of object geometry and object texture (the
// scene build adds them) and of terrain geometry and terrain texture (the extent adds them).
void StartRenderer(const Detail& detail) {
  ViewCamera = &gWorld.currentCamera;
  LodBoxList* lists = gWorld.lod.lists;
  RenderSessionInit(&lists[2], kLodDistanceFactor, &lists[3], kLodDistanceFactor, &lists[0],
                    kLodDistanceFactor, &lists[1], kLodDistanceFactor, &gParseStore, ViewCamera,
                    detail.portal, detail.cloudLow, ProgressOverlay, kGeometryLevels[0],
                    kGeometryLevels[1], kTextureLevels[0], kTextureLevels[1]);
}

// A failure shown in the status place (mode 1, blinking), as written: the build's and the
// fx's messages name the world's objects and files. The panel and the log stay.
// Stopped (the message is null): the session panels go and the log is cleared.
std::uint32_t Fail(const char* message) {
  if (message != nullptr) {
    char status[kSceneBuildMessageBytes + 2] = "";
    AppendMarkupLiteral(status, sizeof status, message);
    ShowStatusLine(status, 1);
  } else {
    ClosePanel(StatusPanel);
    StatusPanel.blink = 0;
    UploadBitmapTexture(StatusText.textBitmap);
    ClearTextBitmap(StatusText.textBitmap, 1);
  }
  WorldReady = 0;
  ClosePanel(ProgressPanel);
  return 0;
}

// One box for every item the build left out, naming the first one's object.
void WarnSkippedItems() {
  const SceneBuildSkips& skips = gSceneBuildSkips;
  if (skips.count == 0) return;
  char text[kSceneBuildNameBytes + 64];
  std::snprintf(text, sizeof text, kSkippedItemMessage, skips.name, skips.vertices);
  ReportWarning(kPlaceRender, text);
}

void SetSceneDrawingState() {
  RestoreViewport(gMainPlane);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  SetSceneDepthAndCulling();
}

}  // namespace

void RenewInterfaceTextures() {
  for (GuiImagePanel* panel :
       {&MenuBar, &MenuBarBorder, &FocalPanel, &ViewListBorder, &ProgressPanelBorder,
        &StatusPanelBorder, &SetupPanelBorder, &LanguagePanelBorder, &LodCoverPanel, &HelpPanel,
        &HelpBorder, static_cast<GuiImagePanel*>(&WelcomePanel), &WelcomeImage1, &WelcomeImage2,
        &WelcomeImage3, &WelcomeImage40, &WelcomeImage41, &WelcomeImage5})
    RestorePanelTextures(*panel);
  for (GuiImageButton* button : {&WorldButton, &ViewButton, &SetupButton, &ProductButton,
                                 &InfoCloseButton, &StatusCloseButton, &SetupCloseButton})
    RenewButton(*button);
  if (OnlineHelpPending == 0) RenewButton(OnlineHelpButton);
  for (GuiTextView* view : {&ProgressPanel, &StatusPanel, &StatusText, &SetupPanel, &LanguagePanel})
    RenewTextView(*view);
  for (GuiTextList* list :
       {static_cast<GuiTextList*>(&MainMenuList), static_cast<GuiTextList*>(&ProductMenuList),
        static_cast<GuiTextList*>(&LanguagePickList),
        static_cast<GuiTextList*>(&ResolutionPickList),
        static_cast<GuiTextList*>(&StartLanguagePickList), &InfoPanel,
        static_cast<GuiTextList*>(&HintLine)})
    RestoreTextListTextures(*list);
  RestoreTextImage(LargeDigits);
  RestoreTextImage(SmallDigits);
  for (GuiSlider* slider : {&OverallSlider, &TerrainGeoSlider, &ObjectGeoSlider, &TerrainTexSlider,
                            &ObjectTexSlider, &PortalSlider, &CloudLowSlider, &MultiSampleSlider})
    RestoreSliderTextures(*slider);
  for (GuiCheckBox* box : {&ExamineCheck, &SaveViewCheck, &LodControlCheck, &MultiSampleCheck,
                           &FullScreenCheck, &FpsCheck, &PpsCheck})
    RestoreCheckBoxTextures(*box);
  RenewProgressBar(StageProgressBar);
  RenewProgressBar(TotalProgressBar);
}

std::uint32_t RenderSession() {
  // Later compile requests ask with the open-file dialog.
  WorldPath[0] = '\0';
  WorldPathTooLong = 0;
  RenewInterfaceTextures();

  ShowPlane(ProgressPanel);
  ShowStatusLine("> begin 'render' session", 0);
  UploadSessionLog();
  BeginStageReports();

  RestoreViewport(gMainPlane);
  DrawSessionScreen();
  SetViewportRect(gMainPlane, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f,
                  -static_cast<float>(kMenuBarRows));
  gSessionPorts.swapBuffers(gMainPlane);

  SetWorldTitle();
  StartRenderer(SetLevelOfDetail());
  RecomputeEnvironment();
  LoadLensFlare(kLensFlareImageNames[0], kLensFlareImageNames[1], kLensFlareImageNames[2],
                LensFlareTable, LensFlareCount);
  LoadLightRays(kLightRayImageName);

  // A build that fails has its message; one stopped by the progress report has none.
  if (SceneBuild(gWorld) == 0) return Fail(SceneBuildFailed() ? gSceneBuildError.message : nullptr);
  WarnSkippedItems();
  if (RenderPrepare(ViewCamera) == 0) return Fail(FxFailed != 0 ? FxErrorText : nullptr);
  EndStageReports();
  EnvironmentStageTime = static_cast<float>(EnvironmentPrepareTime);
  ShaderStageTime = static_cast<float>(ShadingPrepareTime);

  SetSceneDrawingState();
  CaptureViewSnapshots(gWorld);
  UpdateViewListAspect(ViewList);
  RestorePanelTextures(FocalPanel);
  SetVertexMemory(ViewPlaneWidth(gMainPlane), ViewPlaneHeight(gMainPlane));

  ShowStatusLine("> end 'render' session", 0);
  ClosePanel(ProgressPanel);
  ClosePanel(StatusPanel);
  StatusPanel.blink = 0;
  UploadBitmapTexture(StatusText.textBitmap);
  WorldReady = 1;

  RenderSessionTime = static_cast<float>(NowSeconds()) - SessionStartTime;
  ShowInfoPanel();
  gMainPlane.modeChanged = 0;
  StartSoundBanks(gWorld);
  ViewFocalAngle = ViewCamera->focalAngle;
  return 1;
}

}  // namespace veskor
