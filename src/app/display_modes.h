// The display: the desktop's mode at start, the window geometry fitted to it, the viewport
// values of a client size, and the switches between windowed and full screen and between
// full-screen sizes that the setup panel's callbacks run. A display-mode change that fails asks
// whether to go on windowed; any answer but Yes ends the program.
#pragma once

#include <cstdint>

#include "app/main_plane.h"
#include "platform/message_box.h"

namespace veskor {

// The FullScreenSizeTable index of the desktop's size, 0 when it is none of the eight.
extern std::uint32_t DesktopSizeIndex;

// What the switches do to the display and the window. Tests put doubles in.
struct DisplayPorts {
  // Changes the display to the size for the window; false when it then runs another.
  bool (*changeMode)(GlWindow* window, int width, int height);
  // Gives the display its desktop mode back; false when it then runs another.
  bool (*restoreMode)(GlWindow* window);
  // Client area at x, y with that size, framed or bare, shown.
  void (*placeWindow)(GlWindow* window, int x, int y, int width, int height, bool framed);
};
DisplayPorts DefaultDisplayPorts();
extern DisplayPorts gDisplayPorts;

// DesktopWidth, DesktopHeight, their inverses and DesktopSizeIndex.
void SetDesktopSize(std::uint32_t width, std::uint32_t height);
// The table index of a size, 0 for none of the eight.
std::uint32_t FullScreenSizeIndexOf(std::uint32_t width, std::uint32_t height);

// The windowed size held within the desktop (and at least one pixel). On a first launch the
// full-screen size becomes the desktop's and the window is centred in the full-screen area,
// its position held on the desktop; otherwise a window whose right or bottom edge would pass
// the desktop is centred on that axis.
void FitWindowGeometry(MainPlane& plane);

// PixelSize, DesignScale (windowed only), ViewAspect with its inverse, the viewport and
// LayoutDirty for a client of width x height; a zero side counts as 1. In full screen the
// aspect is the desktop's, whatever size the display runs.
void ResizeViewport(std::uint32_t width, std::uint32_t height);

// Full-screen size index 1..8: recorded, and applied to the display in full screen. 0 for an
// index outside 1..8 (it stays recorded), else 1.
std::uint32_t SwitchFullScreen(MainPlane& plane, std::uint32_t index);
// The resolution list's choice 0..7 (index choice + 1); clears WorldReady once a display mode
// changed. Returns the mode-changed flag. The callback works on gMainPlane.
std::uint32_t SelectFullScreenSize(MainPlane& plane, std::int32_t choice);
std::uint32_t SelectFullScreenSize(std::int32_t choice);
// Flips between windowed and full screen; 0 when a failed change was answered with Yes (the
// program stays windowed), else 1. The full-screen check box has one callback for each
// transition; both are this.
std::uint32_t ToggleWindowMode(MainPlane& plane);
std::uint32_t ToggleWindowMode();
std::uint32_t ToggleWindowModeBack();
// Gives the window the full-screen place (bare, at 0, 0, full-screen size) or the windowed
// one (framed or bare per `framed`, at the windowed position and size). Returns 1.
std::uint32_t SetWindowFrame(MainPlane& plane, std::uint32_t framed);
// Puts the display in the mode the settings ask for and sets DesignScale; 0 when a failed
// change was answered with Yes, else 1.
std::uint32_t ApplyDisplayMode(MainPlane& plane);

// A Yes/No question with the exclamation icon, captioned "Confirmation : " and `place`.
MessageAnswer ConfirmBox(const char* place, const char* text);
// The question after a failed display change: Yes clears FullScreenMode; any other answer
// ends the program with "Program Aborted !" at "Shutdown".
void AskForWindowedMode();

}  // namespace veskor
