// The program's window on the display: its placement with or without a frame, showing and
// focusing it, its icon, the pointer, and the display modes behind full screen. A display-mode
// change is made for a window (SDL's exclusive full screen), and is checked: the display must
// then run the size asked for (Xvfb keeps its one mode while SDL reports success).
#pragma once

#include <cstdint>

#include "platform/gl_context.h"

namespace veskor {

// The size of the desktop's display mode on the screen that the run is on (the one that DISPLAY
// names); false when the video system or the display has none.
bool DisplayDesktopSize(int* width, int* height);

// Switches the display to width x height for the window, full screen, and shows the window.
// True when the display then runs that size; otherwise the window leaves full screen again and
// the result is false.
bool WindowChangeDisplayMode(GlWindow* window, int width, int height);
// Gives the display its desktop mode back (the window leaves exclusive full screen, if it held
// it); true when the display runs the desktop size afterwards. Null: no window holds a mode.
bool WindowRestoreDisplayMode(GlWindow* window);

// Puts the window's client area at x, y with that size, with a frame and caption or bare, and
// shows it. Under a window manager that frames it, the frame stands around the client area
// there, once the manager has placed it.
void WindowPlace(GlWindow* window, int x, int y, int width, int height, bool framed);
// Shows the window, raises it and gives it the keyboard; its client area stays where the
// window was created (or placed), a window manager's frame around it.
void WindowShowAndFocus(GlWindow* window);
// Where the window stands now, as the position that the run reads back for it (its move
// messages): its client area's top left as the X server has it, or, where its placement was
// left with the window where a window manager put it, the position asked. A move that the
// manager makes after the placement has stopped waiting for it may tell the run nothing; this
// reads it. False, *x and *y unchanged, when it cannot be told (the window not on X11).
bool WindowReadBackPlace(GlWindow* window, int* x, int* y);
// The window's icon from RGBA pixels, rows from the top.
void WindowSetIcon(GlWindow* window, const std::uint8_t* rgba, int width, int height);
// Called as a shown window's frame is first looked at, before its manager's answer is waited
// for: tests have a window manager act only then. Returns the call it replaces.
using PlacementLookCall = void (*)();
PlacementLookCall SetPlacementLookCall(PlacementLookCall call);
// Shows or hides the mouse pointer over the program's windows.
void ShowPointer(bool shown);

}  // namespace veskor
