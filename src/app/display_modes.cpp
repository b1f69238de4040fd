#include "app/display_modes.h"

#include <algorithm>
#include <cstdio>

#include "app/error_boxes.h"
#include "app/settings.h"
#include "app/window_proc.h"
#include "platform/gl.h"
#include "platform/window_display.h"

namespace veskor {

std::uint32_t DesktopSizeIndex = 0;

DisplayPorts DefaultDisplayPorts() {
  return {WindowChangeDisplayMode, WindowRestoreDisplayMode, WindowPlace};
}
DisplayPorts gDisplayPorts = DefaultDisplayPorts();

namespace {

float Ratio(std::uint32_t a, std::uint32_t b) {
  return static_cast<float>(a) / static_cast<float>(b);
}

bool FullScreenAtDesktopSize(const MainPlane& plane) {
  return plane.fullScreenWidth == DesktopWidth && plane.fullScreenHeight == DesktopHeight;
}

int Int(std::uint32_t v) { return static_cast<int>(v); }

// The display in the mode full screen asks for: the full-screen size, or the desktop's when
// that is the full-screen size. A change that succeeds raises the mode-changed flag.
bool PutDisplayInFullScreenMode(MainPlane& plane) {
  if (FullScreenAtDesktopSize(plane)) return gDisplayPorts.restoreMode(plane.window);
  if (!gDisplayPorts.changeMode(plane.window, Int(plane.fullScreenWidth),
                                Int(plane.fullScreenHeight)))
    return false;
  plane.modeChanged = 1;
  return true;
}

// A position on the desktop for a window of `size` on an axis of `desktop` pixels.
std::int32_t HoldOnDesktop(std::int64_t position, std::uint32_t size, std::uint32_t desktop) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(position, 0, desktop - size));
}

// A stored position for a window of `size` on an axis of `desktop` pixels: kept while the
// window is wholly on the desktop, else centred on it (at 0 when it is as large).
std::int32_t CentredIfOff(std::int32_t position, std::uint32_t size, std::uint32_t desktop) {
  if (position >= 0 && std::int64_t{position} + size <= desktop) return position;
  return static_cast<std::int32_t>(std::max<std::int64_t>(std::int64_t{desktop} - size, 0) / 2);
}

}  // namespace

std::uint32_t FullScreenSizeIndexOf(std::uint32_t width, std::uint32_t height) {
  for (std::uint32_t i = 1; i <= kFullScreenSizeCount; ++i)
    if (FullScreenSizeTable[i].width == width && FullScreenSizeTable[i].height == height) return i;
  return 0;
}

void SetDesktopSize(std::uint32_t width, std::uint32_t height) {
  DesktopWidth = width;
  DesktopHeight = height;
  DesktopSizeIndex = FullScreenSizeIndexOf(width, height);
  InverseDesktopWidth = 1.0f / static_cast<float>(width);
  InverseDesktopHeight = 1.0f / static_cast<float>(height);
}

void FitWindowGeometry(MainPlane& plane) {
  WindowedWidth = std::clamp<std::uint32_t>(WindowedWidth, 1, std::max(DesktopWidth, 1u));
  WindowedHeight = std::clamp<std::uint32_t>(WindowedHeight, 1, std::max(DesktopHeight, 1u));
  if (FirstLaunch != 0) {
    plane.fullScreenSizeIndex = DesktopSizeIndex;
    if (DesktopSizeIndex != 0) {
      plane.fullScreenWidth = FullScreenSizeTable[DesktopSizeIndex].width;
      plane.fullScreenHeight = FullScreenSizeTable[DesktopSizeIndex].height;
    }
    // Centred in the full-screen area, which may be smaller than the window when the desktop
    // is none of the eight sizes: signed halves, held on the desktop.
    const std::int64_t dx = std::int64_t{plane.fullScreenWidth} - WindowedWidth;
    const std::int64_t dy = std::int64_t{plane.fullScreenHeight} - WindowedHeight;
    WindowedX = HoldOnDesktop(dx / 2, WindowedWidth, DesktopWidth);
    WindowedY = HoldOnDesktop(dy / 2, WindowedHeight, DesktopHeight);
    return;
  }
  WindowedX = CentredIfOff(WindowedX, WindowedWidth, DesktopWidth);
  WindowedY = CentredIfOff(WindowedY, WindowedHeight, DesktopHeight);
}

void ResizeViewport(std::uint32_t width, std::uint32_t height) {
  const std::uint32_t w = std::max(width, 1u), h = std::max(height, 1u);
  PixelSize = {1.0f / static_cast<float>(w), 1.0f / static_cast<float>(h)};
  if (FullScreenMode == 0) {
    DesignScale = {Ratio(DesktopWidth, WindowedWidth), Ratio(DesktopHeight, WindowedHeight)};
    ViewAspect = {Ratio(WindowedHeight, WindowedWidth), Ratio(WindowedWidth, WindowedHeight)};
  } else {
    ViewAspect = {Ratio(DesktopHeight, DesktopWidth), Ratio(DesktopWidth, DesktopHeight)};
  }
  glViewport(0, 0, static_cast<GLsizei>(w), static_cast<GLsizei>(h));
  LayoutDirty = 1;
}

MessageAnswer ConfirmBox(const char* place, const char* text) {
  char caption[kCaptionBytes];
  std::snprintf(caption, sizeof caption, "Confirmation : %s", place);
  return ShowMessageBox(caption, text, MessageIcon::kExclamation, MessageButtons::kYesNo);
}

void AskForWindowedMode() {
  if (ConfirmBox("", "Full Screen Mode not supported !\n Use Windowed Mode ?") !=
      MessageAnswer::kYes)
    ReportError(kPlaceShutdown, "Program Aborted !");
  FullScreenMode = 0;
}

std::uint32_t SwitchFullScreen(MainPlane& plane, std::uint32_t index) {
  if (index == plane.fullScreenSizeIndex) return 1;
  plane.fullScreenSizeIndex = index;
  if (index < 1 || index > kFullScreenSizeCount) return 0;
  plane.fullScreenWidth = FullScreenSizeTable[index].width;
  plane.fullScreenHeight = FullScreenSizeTable[index].height;
  if (FullScreenMode == 0) return 1;  // recorded for the next switch and the settings
  const bool changed = index != DesktopSizeIndex
                           ? gDisplayPorts.changeMode(plane.window, Int(plane.fullScreenWidth),
                                                      Int(plane.fullScreenHeight))
                           : gDisplayPorts.restoreMode(plane.window);
  if (!changed) AskForWindowedMode();
  plane.modeChanged = 1;
  SkipNextSize = 1;
  SkipNextMove = 1;
  if (FullScreenMode != 0) {
    gDisplayPorts.placeWindow(plane.window, 0, 0, Int(plane.fullScreenWidth),
                              Int(plane.fullScreenHeight), false);
    ResizeViewport(plane.fullScreenWidth, plane.fullScreenHeight);
  } else {
    // Taken windowed after the failed change: the window goes back to its windowed place,
    // not to the full-screen rectangle that the display could not run.
    SetWindowFrame(plane, 1);
    ResizeViewport(WindowedWidth, WindowedHeight);
  }
  return 1;
}

std::uint32_t SelectFullScreenSize(MainPlane& plane, std::int32_t choice) {
  SwitchFullScreen(plane, static_cast<std::uint32_t>(choice + 1));
  if (plane.modeChanged != 0) WorldReady = 0;
  return plane.modeChanged;
}

std::uint32_t SelectFullScreenSize(std::int32_t choice) {
  return SelectFullScreenSize(gMainPlane, choice);
}

std::uint32_t ToggleWindowMode(MainPlane& plane) {
  SkipNextSize = 1;
  SkipNextMove = 1;
  FullScreenMode = FullScreenMode == 0 ? 1 : 0;
  if (FullScreenMode != 0) {
    if (!PutDisplayInFullScreenMode(plane)) {
      AskForWindowedMode();
      return 0;
    }
    DesignScale = {1.0f, 1.0f};
    SetWindowFrame(plane, 0);
    ResizeViewport(plane.fullScreenWidth, plane.fullScreenHeight);
  } else {
    if (!FullScreenAtDesktopSize(plane)) {
      if (!gDisplayPorts.restoreMode(plane.window)) {
        AskForWindowedMode();
        return 0;
      }
      plane.modeChanged = 1;
    }
    SetWindowFrame(plane, 1);
    ApplyDisplayMode(plane);
    ResizeViewport(WindowedWidth, WindowedHeight);
    MouseEvent = 0;
    MouseButtons = 0;
    HeldButtons = 0;
    MouseModifiers = 0;
    MouseCapture = nullptr;
  }
  if (plane.modeChanged != 0) WorldReady = 0;
  return 1;
}

std::uint32_t ToggleWindowMode() { return ToggleWindowMode(gMainPlane); }

std::uint32_t ToggleWindowModeBack() { return ToggleWindowMode(gMainPlane); }

std::uint32_t SetWindowFrame(MainPlane& plane, std::uint32_t framed) {
  plane.windowFramed = framed;
  if (FullScreenMode != 0) {
    gDisplayPorts.placeWindow(plane.window, 0, 0, Int(plane.fullScreenWidth),
                              Int(plane.fullScreenHeight), false);
  } else {
    gDisplayPorts.placeWindow(plane.window, WindowedX, WindowedY, Int(WindowedWidth),
                              Int(WindowedHeight), framed != 0);
  }
  return 1;
}

std::uint32_t ApplyDisplayMode(MainPlane& plane) {
  if (FullScreenMode != 0) {
    if (!PutDisplayInFullScreenMode(plane)) {
      AskForWindowedMode();
      return 0;
    }
    DesignScale = {1.0f, 1.0f};
  } else {
    DesignScale = {Ratio(DesktopWidth, WindowedWidth), Ratio(DesktopHeight, WindowedHeight)};
  }
  return 1;
}

}  // namespace veskor
