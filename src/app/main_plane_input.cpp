// The root plane's keys and mouse: camera turns, tilts and height, the view choice, zoom and
// the display toggles; free flight and the flight speed while dragging.
#include <algorithm>
#include <cstdio>

#include "app/camera_control.h"
#include "app/help_page.h"
#include "app/main_interface_callbacks.h"
#include "app/main_plane.h"
#include "app/window_init.h"
#include "app/welcome_screen.h"
#include "app/window_proc.h"
#include "foundation/frame_clock.h"
#include "gui/gui_plane.h"
#include "platform/message_box.h"

namespace veskor {

namespace {

// Special key codes of KeyCodeMap.
enum : std::uint32_t {
  kCodePageUp = 0,
  kCodePageDown = 1,
  kCodeEnd = 2,
  kCodeHome = 3,
  kCodeLeft = 4,
  kCodeUp = 5,
  kCodeRight = 6,
  kCodeDown = 7,
  kCodeEscape = 27,
  kCodeControl = 29,
};

constexpr float kHeightStep = 8.0f;     // Home and End
constexpr float kZoomStep = 2.0f;       // degrees of focal angle a "w" or "x" message
constexpr float kSpeedMax = 300.0f;     // units per second
constexpr float kSpeedMin = -150.0f;
constexpr float kSpeedUpRate = 300.0f;  // per second while the up arrow is held
constexpr float kSlowDownRate = 150.0f;
constexpr float kSpeedRest = 0.5f;
constexpr float kFlightBaseSpeed = 200.0f;

bool Held(const std::uint32_t* keyTable, std::uint32_t code) {
  return keyTable[KeyCodeMap[code & 0xFF] & 0xFF] != 0;
}

bool HeldLetter(const std::uint32_t* keyTable, char lower) {
  return Held(keyTable, static_cast<std::uint8_t>(lower)) ||
         Held(keyTable, static_cast<std::uint8_t>(lower - 'a' + 'A'));
}

void Zoom(Camera& camera, float step) {
  ViewFocalAngle = std::clamp(ViewFocalAngle + step, kFocalAngleMin, kFocalAngleMax);
  camera.focalAngle = ViewFocalAngle;
  camera.fovy = ViewFocalAngle;
}

void ShowBufferBox() {
  char text[160];
  std::snprintf(text, sizeof text, "Colors [%i bits]\nAlpha [%i bits]\nDepth [%i bits]\nStencil [%i bits]",
                ChosenPixelFormat.colour, ChosenPixelFormat.alpha, ChosenPixelFormat.depth,
                ChosenPixelFormat.stencil);
  ShowMessageBox("Error", text, MessageIcon::kExclamation, MessageButtons::kOk);
}

}  // namespace

void MainPlaneOnKey(const std::uint32_t* keyTable) {
  if (Held(keyTable, kCodeEscape)) {
    if (WelcomeRunning != 0) SkipWelcomeSequence();
    if (HelpShown != 0) CloseHelpPage();
  }
  if (WorldReady == 0) return;
  Camera& camera = *ViewCamera;
  if (Held(keyTable, kCodeLeft)) TurnCamera(camera, -kTurnStep);
  if (Held(keyTable, kCodeRight)) TurnCamera(camera, kTurnStep);
  if (Held(keyTable, kCodePageUp)) TiltCamera(camera, -kTurnStep);
  if (Held(keyTable, kCodePageDown)) TiltCamera(camera, kTurnStep);
  const float* p = camera.position;
  if (Held(keyTable, kCodeHome)) CameraSetPosition(camera, p[0], p[1], p[2] + kHeightStep);
  if (Held(keyTable, kCodeEnd)) CameraSetPosition(camera, p[0], p[1], p[2] - kHeightStep);
  if (Held(keyTable, ' ')) ToggleExamine();

  bool digit = false;
  for (std::uint32_t n = 0; n < 10 && !digit; ++n) {
    if (!Held(keyTable, '0' + n)) continue;
    digit = true;
    const std::uint32_t views = gWorld.cameraCount + gWorld.snapshotCount + gWorld.examineCount;
    if (n < views) {
      SelectedView = static_cast<std::int32_t>(n);
      SelectedViewTransition = kTransitionStart;
    }
    ExamineMode = SelectedView >= gWorld.cameraCount &&
                          SelectedView < gWorld.cameraCount + gWorld.examineCount
                      ? 1
                      : 0;
  }
  if (!digit) {
    if (HeldLetter(keyTable, 'w')) {
      Zoom(camera, -kZoomStep);
    } else if (HeldLetter(keyTable, 'x')) {
      Zoom(camera, kZoomStep);
    } else if (Held(keyTable, kCodeControl)) {
      if (Held(keyTable, 'b')) {
        ShowBufferBox();
      } else if (Held(keyTable, 'l')) {
        DisplayMode = (DisplayMode + 1) % 3;
      } else if (Held(keyTable, 'c')) {
        CloudsShown = CloudsShown == 0 ? 1 : 0;
      } else if (Held(keyTable, 'f')) {
        SunFlareShown = SunFlareShown == 0 ? 1 : 0;
      }
    }
  }
  SetExamineBox(ExamineMode);
  if (digit && ExamineMode != 0) {
    ExamineIndex = static_cast<std::uint16_t>(SelectedView - gWorld.cameraCount);
    DragOffsetX = DragOffsetY = 0.0f;
  }
}

void MainPlaneOnMouseDrag(std::uint32_t buttons, float x, float y) {
  const float step = (FlightSpeed + kFlightBaseSpeed) * LastFrameTime();
  if (WorldReady == 0) return;
  if (ExamineMode != 0) {
    DragOffsetX = x - PressX;
    DragOffsetY = y - PressY;
    return;
  }
  Camera& camera = *ViewCamera;
  const std::uint32_t sides = buttons & (kButtonLeft | kButtonRight);
  const float* p = camera.position;
  const float* d = camera.direction;
  if (sides == kButtonLeft) {
    CameraSetPosition(camera, p[0] + step * d[0], p[1] + step * d[1], p[2] + step * d[2]);
  } else if (sides == kButtonRight) {
    CameraSetPosition(camera, p[0] - step * d[0], p[1] - step * d[1], p[2] - step * d[2]);
  }
  if (sides != 0) {
    DragOffsetX = x - PressX;
    DragOffsetY = y - PressY;
    MouseLook = 1;
  }
  // The speed may pass its limit by one step.
  if (Held(KeyDownTable, kCodeUp)) {
    if (FlightSpeed < kSpeedMax) FlightSpeed += kSpeedUpRate * LastFrameTime();
  } else if (Held(KeyDownTable, kCodeDown)) {
    if (FlightSpeed > kSpeedMin) FlightSpeed -= kSlowDownRate * LastFrameTime();
  } else if (FlightSpeed > kSpeedRest) {
    FlightSpeed -= kSlowDownRate * LastFrameTime();
  } else if (FlightSpeed < -kSpeedRest) {
    FlightSpeed += kSlowDownRate * LastFrameTime();
  } else {
    FlightSpeed = 0.0f;
  }
}

void MainPlaneOnMouseButton(std::uint32_t buttons, float x, float y) {
  if (WorldReady == 0) return;
  PressX = x;
  PressY = y;
  if ((buttons & kButtonLeft) == 0) MouseLook = 0;
}

}  // namespace veskor
