#include "app/main_plane.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "app/automation.h"
#include "app/camera_control.h"
#include "app/compile_session.h"
#include "app/main_interface.h"
#include "app/language_screen.h"
#include "app/main_interface_callbacks.h"
#include "app/view_snapshots.h"
#include "sound/sound_banks.h"
#include "app/program_entry.h"
#include "app/render_session.h"
#include "app/settings.h"
#include "app/window_init.h"
#include "app/welcome_screen.h"
#include "app/window_proc.h"
#include "foundation/frame_clock.h"
#include "foundation/search_dirs.h"
#include "gfx/texture_names.h"
#include "gfx/viewport_rect.h"
#include "platform/gl.h"
#include "render/camera_motion.h"
#include "render/scene_draw.h"

namespace veskor {

MainPlane gMainPlane;

Camera* ViewCamera = &gWorld.currentCamera;
std::uint32_t WorldReady = 0;
std::uint32_t CompileRequest = 0;
std::uint32_t ExamineMode = 0;
std::uint16_t ExamineIndex = kNoExamine;
std::uint32_t MouseLook = 0;
float DragOffsetX = 0.0f, DragOffsetY = 0.0f;
float PressX = 0.0f, PressY = 0.0f;
float FlightSpeed = 0.0f;
float YawStep = 0.0f, PitchStep = 0.0f, ViewRoll = 0.0f;
float ViewFocalAngle = 45.0f;
std::uint32_t DisplayMode = 0;
std::uint32_t CloudsShown = 1;
std::uint32_t SunFlareShown = 1;
std::uint32_t SaveViewRequest = 0;
std::uint32_t WelcomeCountdown = 0;
std::uint32_t LanguageScreenPending = 1;
std::uint32_t MainInterfacePending = 1;
std::uint32_t WelcomeScreenPending = 1;
std::uint32_t DrawnPolygons = 0;
float PpsValue = 0.0f;
float FpsValue = 0.0f;
std::uint32_t FrameCounter = 0;
float SessionStartTime = 0.0f;

FrameServices DefaultFrameServices() {
  return {UpdateEmitterAttenuation,
          CameraStepWrapper,
          [](Camera& camera, std::uint32_t mode, std::uint32_t* polygons) {
            ShowCloudPuffs = CloudsShown;
            ShowSunFlare = SunFlareShown;
            SceneDraw(&camera, mode, polygons);
          },
          AddViewSnapshot,
          ViewListAutoClose,
          [] { LanguageScreen(); },
          [] { BuildMainInterface(); },
          WelcomeScreen,
          CompileSession,
          [] { RenderSession(); }};
}
FrameServices gFrameServices = DefaultFrameServices();

MainPlane::MainPlane() : ViewPlane{nullptr, 640, 480, 0} {
  root = this;
  std::memset(KeyDownTable, 0, sizeof KeyDownTable);
  std::memset(KeyCodeMap, 0, sizeof KeyCodeMap);
  LastKey = 0;
  for (char* dir : {ProductDir, BinaryDir, WorkingDir, ResourceDir, ImgDir, SndDir, SystemDir})
    dir[0] = '\0';
  ExtraSearchDirsClear();
}

MainPlane::~MainPlane() { MainPlaneShutdown(*this); }

void MainPlane::Init() { MainPlaneActivate(*this); }

void MainPlane::Draw() { MainPlaneFrame(*this); }

void MainPlane::OnKey(const std::uint32_t* keyTable) { MainPlaneOnKey(keyTable); }

void MainPlane::OnMouseDrag(std::uint32_t buttons, std::uint32_t, float x, float y, float, float,
                            std::uint32_t) {
  MainPlaneOnMouseDrag(buttons, x, y);
}

void MainPlane::OnMouseButton(std::uint32_t buttons, std::uint32_t, float x, float y,
                              std::uint32_t) {
  MainPlaneOnMouseButton(buttons, x, y);
}

std::uint32_t MainPlaneInit(MainPlane& plane, const char* title, const char* iconFile,
                            std::uint32_t popup, MainPlaneWindowInit windowHalf) {
  MainPlaneReadSettings(plane);
  return windowHalf(plane, title, iconFile, popup);
}

void MainPlaneActivate(MainPlane& plane) {
  plane.style = kPlaneMovable | kPlaneBack;
  if (plane.enabled == 0) {
    plane.enabled = 1;
    plane.OnStateChange(1, plane.hidden);
    // The live children: the back group, the top of the modal stack, the front group.
    ForEachArray(plane.backChildren, false, [](GuiPlane& p) { SetEnabled(p, 1); });
    if (plane.children.tail != nullptr) SetEnabled(*plane.children.tail->plane, 1);
    ForEachArray(plane.frontChildren, false, [](GuiPlane& p) { SetEnabled(p, 1); });
  }
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glEnable(GL_DEPTH_TEST);
  FrameCounter = 0;
}

namespace {

void SteerCamera(Camera& camera) {
  if (ExamineMode != 0 && SelectedView == -1) {
    float unusedRoll;
    MouseLookSteps(DragOffsetX, DragOffsetY, &YawStep, &PitchStep, &unusedRoll);
    ViewRoll = 0.0f;
    if (ExamineIndex < gWorld.examineCount)
      OrbitStep(camera, gWorld.examines[ExamineIndex].position, YawStep, PitchStep);
    RollCamera(camera, ViewRoll);
  } else if (ExamineMode != 0) {
    // Flying to a chosen view: the camera motion steers.
  } else if (MouseLook != 0) {
    MouseLookSteps(DragOffsetX, DragOffsetY, &YawStep, &PitchStep, &ViewRoll);
    TurnCamera(camera, YawStep);
    TiltCamera(camera, PitchStep);
    RollCamera(camera, ViewRoll);
  } else {
    ViewRoll = RollReturn(ViewRoll);
    RollCamera(camera, ViewRoll);
  }
}

std::uint32_t SceneMode() {
  if (DisplayMode == 1) return 3;
  if (DisplayMode == 2) return 1;
  return 0;
}

void DrawWorld(std::int32_t width, std::int32_t height) {
  Camera& camera = *ViewCamera;
  glCullFace(GL_FRONT);
  glFrontFace(GL_CCW);
  SteerCamera(camera);
  gFrameServices.updateEmitterAttenuation(camera, gWorld);
  gFrameServices.cameraStep(gWorld);
  ViewFocalAngle = camera.focalAngle;
  ViewRoll = camera.roll * 57.29578f;
  if (SaveViewRequest == 1) gFrameServices.addViewSnapshot(gWorld, camera);
  // The menu bar covers the top rows; a window lower than it shows no scene.
  glViewport(0, 0, width, std::max(height - kMenuBarRows, 0));
  CameraApply(camera);
  gFrameServices.sceneDraw(camera, SceneMode(), &DrawnPolygons);
  PpsValue = static_cast<float>(DrawnPolygons) * 0.000001f;
  gFrameServices.viewListAutoClose();
  ++FrameCounter;
  CameraRestore(camera);
}

}  // namespace

void SetSceneDepthAndCulling() {
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_TRUE);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  glFrontFace(GL_CCW);
}

void MainPlaneFrame(MainPlane& plane) {
  SetSceneDepthAndCulling();

  if (WelcomeCountdown == kWelcomeDelayFrames) {
    if (WelcomePanel.ownerCallback != nullptr) WelcomePanel.ownerCallback();
    ShowPlane(WelcomePanel);
    WelcomeCountdown = 0;
  } else if (WelcomeCountdown != 0) {
    ++WelcomeCountdown;
  }

  const auto width = static_cast<std::int32_t>(ViewPlaneWidth(plane));
  const auto height = static_cast<std::int32_t>(ViewPlaneHeight(plane));
  PpsValue = 0.0f;  // unless a scene is drawn
  if (WorldReady != 0) DrawWorld(width, height);

  if (SaveViewRequest == kSaveViewFrames) {
    SaveViewRequest = 0;
    ClearSaveViewBox();
  } else if (SaveViewRequest != 0) {
    ++SaveViewRequest;
  }
  glViewport(0, 0, width, height);

  if (LanguageScreenPending != 0) gFrameServices.languageScreen();
  if (MainInterfacePending != 0) gFrameServices.buildMainInterface();
  if (WelcomeScreenPending != 0) gFrameServices.welcomeScreen();

  if (CompileRequest != 0) {
    double renderStart = -1.0;
    if (gFrameServices.compileSession(WorldPath) != 0) {
      // Every texture takes a new name and uploads again at its next use.
      CompileRequest = 0;
      RenewTextureNames();
      renderStart = NowSeconds();
      SessionStartTime = static_cast<float>(renderStart);
      gFrameServices.renderSession();
    }
    AutomationSessionsEnded(renderStart);
  }

  const float frameTime = SmoothedFrameTime();
  FpsValue = frameTime > 0.0f ? 1.0f / frameTime : 0.0f;
  PpsValue *= FpsValue;
}

}  // namespace veskor
