// What the modules of the GL windows share inside the platform layer: the window record over
// SDL's, and the last-error text of GlLastError. Not for use outside src/platform.
#pragma once

#include <SDL.h>

namespace veskor {

struct GlWindow {
  SDL_Window* sdl;
  unsigned long xwindow = 0;  // its X window (0: none, another driver), watched while it lives
};

// Records `what` with SDL's reason for GlLastError; a failure met once the display has gone
// ends the run as its loss (EndIfDisplayLost).
void GlSetLastError(const char* what);

// The position that the run reads back (as a move message) for the window `windowId` whose
// client area stands at *x, *y: the same but where the window's placement was left where a
// window manager put it, the position asked read back (window_display.cpp).
void ReadBackPosition(Uint32 windowId, int* x, int* y);

// Before SDL's video starts. Every X connection's I/O failure ends the run through
// EndForLostDisplay. Unless SDL_VIDEODRIVER chose another driver than x11, a connection of the
// run's own to the X display is opened first and kept: when none can be opened the process
// ends with kNoDisplayExitStatus and its line, before anything was written; else SDL is held
// to its x11 driver, and a fault once that connection has ended ends the run as the display's
// loss.
void WatchDisplayConnection();

// A request that the X server refuses (BadMatch, BadWindow, ...), on any of the process's X
// connections, is said on stderr, once for each error and request: "veskor: the X server
// refused a request: BadMatch (invalid parameter attributes) in X_SetInputFocus; the run goes
// on". The run goes on (Xlib's own handler would end it; SDL's, which its video puts in place
// as it starts, hands on to the one it found). Called as SDL's video starts and once it has
// started; with SDL's display, whose server's extensions are then named once, and whose
// DestroyNotify events are then watched for the run's windows (WatchOwnWindow).
void WatchProtocolErrors(struct _XDisplay* display = nullptr);

// The X windows of the run's GlWindows, each its GL drawable too, from their making to their
// destruction by the run. Another client may destroy one (a frame destroyed takes the window in
// it): its DestroyNotify as Xlib reads it from SDL's display (WatchProtocolErrors with it), or a
// request refused as naming no such window or drawable (BadWindow, BadDrawable) that names one,
// ends the run at once through EndForLostWindow, before anything more is drawn into it. One
// unmapped stays.
void WatchOwnWindow(unsigned long xwindow);
void ForgetOwnWindow(unsigned long xwindow);

// EndForLostDisplay when the connection of WatchDisplayConnection has ended, or ends within
// `waitMs` milliseconds.
void EndIfDisplayLost(int waitMs = 0);

}  // namespace veskor
