// The MainPlane: the root of the interface's plane tree and the owner of the window, its
// rendering context and the display settings. One global object, built before the entry
// point; the main loop calls its operations every frame: its Draw is the whole 3-D frame
// (camera control, camera motion, the scene, the one-shot screen builders, the compile and
// render sessions), its key and mouse operations steer the camera. Its size and board fields
// are those the graphics core reads (ViewPlane).
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "gfx/view_plane.h"
#include "gui/gui_plane.h"
#include "language/world.h"
#include "platform/gl_context.h"

namespace veskor {

inline constexpr int kPlaneTextBytes = 256;

class MainPlane : public GuiPlane, public ViewPlane {
 public:
  MainPlane();
  ~MainPlane() override;
  void Init() override;  // MainPlaneActivate
  void Draw() override;  // MainPlaneFrame
  void OnKey(const std::uint32_t* keyTable) override;
  void OnMouseDrag(std::uint32_t buttons, std::uint32_t flags, float x, float y, float pressX,
                   float pressY, std::uint32_t inside) override;
  void OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                     std::uint32_t extra) override;
  void OnStateChange(std::uint32_t, std::uint32_t) override {}

  GlContext* context = nullptr;
  GlWindow* window = nullptr;  // also the swap handle of ViewPlane::deviceContext
  std::uint32_t fpsFlag = 0;   // show the frames-per-second readout
  std::uint32_t ppsFlag = 0;   // show the polygons-per-second readout
  char title[kPlaneTextBytes] = {};
  char iconFile[kPlaneTextBytes] = {};
  char directory[kPlaneTextBytes] = {};
  std::uint32_t fullScreenSizeIndex = 1;  // 1..8 of FullScreenSizeTable
  // A display mode was changed or restored: the world is prepared again before it is drawn.
  std::uint32_t modeChanged = 0;
  std::uint8_t colourBits = 32;  // as requested: 16, 24 or 32
  std::uint8_t alphaBits = 0;    // the depth bits are the graphics core's DepthBits
  std::uint8_t stencilBits = 8;
  std::uint32_t windowFramed = 1;
  char vendor[kPlaneTextBytes] = {};
  char renderer[kPlaneTextBytes] = {};
  char version[kPlaneTextBytes] = {};
  std::uint32_t extensionMask = 0;
  // 1 once the settings were read at start: only then are they saved at exit.
  std::uint32_t settingsRead = 0;
  // 1 once MainPlaneShutdown ran: it runs once, at exit or at destruction.
  std::uint32_t shutDown = 0;
};

// The program's main plane.
extern MainPlane gMainPlane;

// The window half of MainPlaneInit, as the entry point is given it: title, icon file name and
// the popup flag; 1 on success (a failure ends the program inside it).
using MainPlaneWindowInit = std::uint32_t (*)(MainPlane& plane, const char* title,
                                              const char* iconFile, std::uint32_t popup);

// Reads the directories and settings (MainPlaneReadSettings), then runs the window half.
std::uint32_t MainPlaneInit(MainPlane& plane, const char* title, const char* iconFile,
                            std::uint32_t popup, MainPlaneWindowInit windowHalf);

// ---- Frame and camera state ------------------------------------------------------------------

// The camera that is drawn: the world's current camera.
extern Camera* ViewCamera;
// Set by a successful render session: the 3-D part of the frame runs only while set.
extern std::uint32_t WorldReady;
// Set by the interface to compile WorldPath (or a chosen file) in the next frame.
extern std::uint32_t CompileRequest;
// The view choice: examine orbit on, the examine point orbited (0xFFFF none), and the view
// flown to: an index into the world's cameras, then its examine points, then its view
// snapshots (-1 none), with its transition value. The last two are the world's own fields,
// which the camera motion reads.
inline constexpr std::uint16_t kNoExamine = 0xFFFF;
inline constexpr float kTransitionStart = 50.0f;
extern std::uint32_t ExamineMode;
extern std::uint16_t ExamineIndex;
inline std::int32_t& SelectedView = gWorld.transitionTarget;
inline float& SelectedViewTransition = gWorld.transitionStep;
// Mouse steering: on while a left or right drag turns the camera; pointer minus press point;
// the press point; the flight speed (units per second, -150..300); the steps of this frame
// and the roll (degrees).
extern std::uint32_t MouseLook;
extern float DragOffsetX, DragOffsetY;
extern float PressX, PressY;
extern float FlightSpeed;
extern float YawStep, PitchStep, ViewRoll;
inline constexpr float kTurnStep = 2.5f;  // degrees a key message turns or tilts
// The camera's vertical field of view (degrees), kept within [1, 179] by the zoom keys.
extern float ViewFocalAngle;
inline constexpr float kFocalAngleMin = 1.0f;
inline constexpr float kFocalAngleMax = 179.0f;
// The scene display: 0 full, 1 and 2 reduced (scene modes 3 and 1); the cloud puffs and the
// sun flare, toggled by keys; read by the scene draw.
extern std::uint32_t DisplayMode;
extern std::uint32_t CloudsShown;
extern std::uint32_t SunFlareShown;
// 0, or the frame count 1..8 after the save-view box was ticked.
extern std::uint32_t SaveViewRequest;
inline constexpr std::uint32_t kSaveViewFrames = 8;
// 0, or the frame count 1..16 started by the welcome screen.
extern std::uint32_t WelcomeCountdown;
inline constexpr std::uint32_t kWelcomeDelayFrames = 16;
// The one-shot builders still to run in the next frame.
extern std::uint32_t LanguageScreenPending;
extern std::uint32_t MainInterfacePending;
extern std::uint32_t WelcomeScreenPending;
// Readouts: polygons of the last scene, millions of polygons and frames per second (PpsValue
// is 0 in frames that draw no scene), frames since activation, start of the render session.
extern std::uint32_t DrawnPolygons;
extern float PpsValue;
extern float FpsValue;
extern std::uint32_t FrameCounter;
extern float SessionStartTime;


// What the frame calls of the sessions, the screens, the sound and the scene renderer. Tests
// and benchmarks put doubles in; the defaults are the program's.
struct FrameServices {
  void (*updateEmitterAttenuation)(const Camera& camera, World& world);
  void (*cameraStep)(World& world);
  void (*sceneDraw)(Camera& camera, std::uint32_t mode, std::uint32_t* polygons);
  void (*addViewSnapshot)(World& world, Camera& camera);
  void (*viewListAutoClose)();
  void (*languageScreen)();
  void (*buildMainInterface)();
  void (*welcomeScreen)();
  std::uint32_t (*compileSession)(const char* path);
  void (*renderSession)();
};
FrameServices DefaultFrameServices();
extern FrameServices gFrameServices;

// The Init operation: style 9, enables the plane and its live children when it was not,
// clear colour 0, colour writes and depth test on, FrameCounter 0.
void MainPlaneActivate(MainPlane& plane);
// The Draw operation: the whole 3-D frame, in its fixed order.
void MainPlaneFrame(MainPlane& plane);
// The state the scene is drawn in: depth test on (less or equal, writing), front faces culled,
// counter-clockwise fronts.
void SetSceneDepthAndCulling();
// The key operation: Escape, then (only while WorldReady) turns, tilts, height, Space,
// digits, zoom and the Control combinations. `keyTable` is KeyDownTable.
void MainPlaneOnKey(const std::uint32_t* keyTable);
// A drag on the main plane: free flight along the view or the examine orbit's offsets, and
// the flight speed from the up and down arrows.
void MainPlaneOnMouseDrag(std::uint32_t buttons, float x, float y);
// A press on the main plane, or the release of its capture.
void MainPlaneOnMouseButton(std::uint32_t buttons, float x, float y);

}  // namespace veskor
