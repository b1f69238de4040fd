// The MainPlane: the root of the interface's plane tree and the owner of the window, its
// rendering context and the display settings. One global object, built before the entry
// point; the main loop calls its operations every frame. Its size and board fields are those
// the graphics core reads (ViewPlane).
#pragma once

#include <cstdint>

#include "gfx/view_plane.h"
#include "gui/gui_plane.h"
#include "platform/gl_context.h"

namespace veskor {

inline constexpr int kPlaneTextBytes = 256;

class MainPlane : public GuiPlane, public ViewPlane {
 public:
  MainPlane();
  ~MainPlane() override;
  // The whole 3-D frame (MainPlaneFrame).
  void Draw() override;

  GlWindow* window = nullptr;
  GlContext* context = nullptr;
  std::uint32_t fpsFlag = 0;  // show the frames-per-second readout
  std::uint32_t ppsFlag = 0;  // show the polygons-per-second readout
  char title[kPlaneTextBytes] = {};
  char iconFile[kPlaneTextBytes] = {};
  char directory[kPlaneTextBytes] = {};
  std::uint32_t fullScreenSizeIndex = 1;  // 1..8 of FullScreenSizeTable
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

}  // namespace veskor
