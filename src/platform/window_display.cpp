#include "platform/window_display.h"

#include <SDL_syswm.h>

#include "platform/gl_window_internal.h"

namespace veskor {

namespace {

bool DisplayRuns(SDL_Window* window, int width, int height) {
  SDL_DisplayMode mode;
  const int display = window != nullptr ? SDL_GetWindowDisplayIndex(window) : 0;
  return display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.w == width &&
         mode.h == height;
}

// The window's X11 side; false when it runs on another.
bool X11Of(SDL_Window* window, SDL_SysWMinfo* info) {
  SDL_VERSION(&info->version);
  return SDL_GetWindowWMInfo(window, info) == SDL_TRUE && info->subsystem == SDL_SYSWM_X11;
}

// Whether a window manager has put the window into a frame of its own (reparented it).
bool InManagersFrame(SDL_Window* window) {
  SDL_SysWMinfo info{};
  if (!X11Of(window, &info)) return false;
  ::Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (XQueryTree(info.info.x11.display, info.info.x11.window, &root, &parent, &children,
                 &count) == 0)
    return false;
  if (children != nullptr) XFree(children);
  return parent != root;
}

// Where the client area's top left stands on the screen, as the X server has it now (SDL's
// position follows it only as the manager's messages come); false when it cannot be told.
bool ClientOnScreen(SDL_Window* window, int* x, int* y) {
  SDL_SysWMinfo info{};
  if (!X11Of(window, &info)) return false;
  Display* display = info.info.x11.display;
  ::Window child = 0;
  return XTranslateCoordinates(display, info.info.x11.window, DefaultRootWindow(display), 0, 0, x,
                               y, &child) != 0;
}

// Once the shown window is framed, its client area goes back to x, y. A window manager that
// decorates takes a position asked for before it knew the frame as the frame's, so the client
// area lands a frame's edge and title bar lower and to the right (and would move by that much
// at every run that saves it): asked again with the frame's extents known, SDL puts the frame
// so that the client area is at x, y. Without a frame the window is already there, and nothing
// is waited for; with one, the frame's extents are waited for at most kFrameWaitMs.
// A manager that tells none in that time (twm tells none at all) is measured instead: where the
// client area stands on the screen against where it was asked to is what a move asked that
// much higher and further left takes back. twm takes a move's position as inside its frame's
// border but a new window's as outside it, so that move may land a border short: where it
// lands tells how the manager takes a move, and one more by that puts the client area at x, y.
// Each move is waited for at most kFrameWaitMs; one that the manager does not make ends them.
// A position put right is told as a move of its own: the one of the frame's first placement
// may still wait in the queue, and SDL tells none for a position it set itself.
constexpr Uint32 kFrameWaitMs = 500;
void HoldClientAt(SDL_Window* window, int x, int y) {
  if ((SDL_GetWindowFlags(window) & (SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN)) != 0 ||
      !InManagersFrame(window))
    return;
  const Uint32 start = SDL_GetTicks();
  int top = 0, left = 0, bottom = 0, right = 0;
  bool extentsTold = false;
  for (;;) {
    SDL_PumpEvents();  // the frame's extents and position reach SDL through its events
    SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right);
    extentsTold = top != 0 || left != 0 || bottom != 0 || right != 0;
    if (extentsTold || SDL_GetTicks() - start >= kFrameWaitMs) break;
    SDL_Delay(5);
  }
  int atX = 0, atY = 0;
  if (extentsTold) {
    SDL_GetWindowPosition(window, &atX, &atY);
    if (atX == x && atY == y) return;
    SDL_SetWindowPosition(window, x, y);
    SDL_GetWindowPosition(window, &atX, &atY);
  } else {
    if (!ClientOnScreen(window, &atX, &atY) || (atX == x && atY == y)) return;
    int askedX = x, askedY = y;
    for (int move = 0; move < 2 && (atX != x || atY != y); ++move) {
      const int fromX = atX, fromY = atY;
      askedX = x - (atX - askedX);
      askedY = y - (atY - askedY);
      SDL_SetWindowPosition(window, askedX, askedY);
      const Uint32 asked = SDL_GetTicks();
      while (ClientOnScreen(window, &atX, &atY) && atX == fromX && atY == fromY &&
             SDL_GetTicks() - asked < kFrameWaitMs)
        SDL_Delay(5);
      if (atX == fromX && atY == fromY) break;  // the manager keeps it there
    }
  }
  SDL_Event moved{};
  moved.type = SDL_WINDOWEVENT;
  moved.window.event = SDL_WINDOWEVENT_MOVED;
  moved.window.windowID = SDL_GetWindowID(window);
  moved.window.data1 = atX;
  moved.window.data2 = atY;
  SDL_PushEvent(&moved);
}

}  // namespace

bool DisplayDesktopSize(int* width, int* height) {
  SDL_DisplayMode mode;
  if (!GlVideoStart() || SDL_GetDesktopDisplayMode(0, &mode) != 0) {
    GlSetLastError("desktop mode");
    return false;
  }
  *width = mode.w;
  *height = mode.h;
  return true;
}

bool WindowChangeDisplayMode(GlWindow* window, int width, int height) {
  SDL_DisplayMode mode{};
  mode.w = width;
  mode.h = height;
  if (SDL_SetWindowDisplayMode(window->sdl, &mode) == 0 &&
      SDL_SetWindowFullscreen(window->sdl, SDL_WINDOW_FULLSCREEN) == 0) {
    SDL_ShowWindow(window->sdl);  // a hidden window changes no mode
    if (DisplayRuns(window->sdl, width, height)) return true;
  }
  SDL_SetWindowFullscreen(window->sdl, 0);
  return false;
}

bool WindowRestoreDisplayMode(GlWindow* window) {
  if (window != nullptr && (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_FULLSCREEN) != 0 &&
      SDL_SetWindowFullscreen(window->sdl, 0) != 0)
    return false;
  SDL_DisplayMode desktop;
  const int display = window != nullptr ? SDL_GetWindowDisplayIndex(window->sdl) : 0;
  return display >= 0 && SDL_GetDesktopDisplayMode(display, &desktop) == 0 &&
         DisplayRuns(window != nullptr ? window->sdl : nullptr, desktop.w, desktop.h);
}

void WindowPlace(GlWindow* window, int x, int y, int width, int height, bool framed) {
  if (!framed) SDL_HideWindow(window->sdl);  // a window losing its frame is hidden first
  SDL_SetWindowBordered(window->sdl, framed ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowSize(window->sdl, width, height);
  SDL_SetWindowPosition(window->sdl, x, y);
  SDL_ShowWindow(window->sdl);
  HoldClientAt(window->sdl, x, y);
}

void WindowShowAndFocus(GlWindow* window) {
  int x = 0, y = 0;
  SDL_GetWindowPosition(window->sdl, &x, &y);  // where it was put, before a frame moves it
  SDL_ShowWindow(window->sdl);
  HoldClientAt(window->sdl, x, y);
  SDL_RaiseWindow(window->sdl);
  SDL_SetWindowInputFocus(window->sdl);
}

void WindowSetIcon(GlWindow* window, const std::uint8_t* rgba, int width, int height) {
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<std::uint8_t*>(rgba), width, height, 32, width * 4, SDL_PIXELFORMAT_RGBA32);
  if (icon == nullptr) return;
  SDL_SetWindowIcon(window->sdl, icon);
  SDL_FreeSurface(icon);
}

void ShowPointer(bool shown) { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

}  // namespace veskor
