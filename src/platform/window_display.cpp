#include "platform/window_display.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>

#include <algorithm>

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

// The top-level window holding `client`: the outermost frame that a window manager put it in
// (reparented it into), else the client itself; 0 when it cannot be told.
::Window TopLevelOf(Display* display, ::Window client) {
  for (::Window at = client;;) {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, at, &root, &parent, &children, &count) == 0) return 0;
    if (children != nullptr) XFree(children);
    if (parent == root || parent == 0) return at;
    at = parent;
  }
}

// Where the client area's top left stands on the screen, as the X server has it now (SDL's
// position follows it only as the manager's messages come); false when it cannot be told.
bool ClientOnScreen(Display* display, ::Window client, int* x, int* y) {
  ::Window child = 0;
  return XTranslateCoordinates(display, client, DefaultRootWindow(display), 0, 0, x, y, &child) !=
         0;
}

bool Viewable(Display* display, ::Window window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display, window, &attributes) != 0 &&
         attributes.map_state == IsViewable;
}

// The property `name` of `window` holds `count` 32-bit items of `type` that include `value`
// (any, for value 0); an atom never made is held by nobody.
bool PropertyHolds(Display* display, ::Window window, const char* name, Atom type, long count,
                   unsigned long value) {
  const Atom property = XInternAtom(display, name, True);
  Atom held = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  if (property == 0 || XGetWindowProperty(display, window, property, 0, count, False, type, &held,
                                          &format, &items, &after, &data) != Success)
    return false;
  bool holds = held == type && format == 32 && items > 0;
  if (holds && value != 0) {
    holds = false;
    for (unsigned long i = 0; i < items; ++i)
      holds = holds || reinterpret_cast<unsigned long*>(data)[i] == value;
  }
  if (data != nullptr) XFree(data);
  return holds;
}

// What the window manager answers, looked at on SDL's connection to the X server.
struct ManagerWatch {
  Display* display;
  ::Window client, frame;  // frame: the top-level window holding the client
  int frameX, frameY;      // where the frame stood when first looked at
  Uint32 due;              // SDL's ticks past which nothing more is waited for

  // How many ConfigureNotify events SDL's queue holds that the manager sent to the client after
  // the request `since` (its serial), telling where the client stands (as ICCCM asks a manager
  // to at each move it is asked, and the managers that reparent do as they frame a window).
  // Nothing is taken from the queue: SDL reads it after.
  int Told(unsigned long since) const {
    struct Look {
      ::Window client;
      unsigned long since;
      int told;
    } look{client, since, 0};
    XEvent unused;
    XCheckIfEvent(
        display, &unused,
        [](Display*, XEvent* event, XPointer at) -> Bool {
          auto* l = reinterpret_cast<Look*>(at);
          const XConfigureEvent& c = event->xconfigure;
          if (event->type == ConfigureNotify && c.send_event && c.window == l->client &&
              c.serial >= l->since)
            ++l->told;
          return False;
        },
        reinterpret_cast<XPointer>(&look));
    return look.told;
  }
  bool FrameMoved() const {
    ::Window root = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    return XGetGeometry(display, frame, &root, &x, &y, &width, &height, &border, &depth) != 0 &&
           (x != frameX || y != frameY);
  }
  bool TimeLeft() const { return static_cast<Sint32>(due - SDL_GetTicks()) > 0; }

  // Waits for the manager's answer to a move asked by the request `since`, meant to put the
  // client area at x, y from where it stood, `from`: until it stands there, or until the
  // manager, having answered (told, or moved the window), has done nothing more for kSettleMs. An
  // answer owed to an earlier request (the window's showing or its frame, a move before, or one
  // that the manager sends a while after it acted, as fluxbox does) may come first: what follows
  // within that time counts too.
  static constexpr Uint32 kSettleMs = 500;
  void AwaitMove(unsigned long since, int fromX, int fromY, int x, int y) const {
    struct Seen {
      int told, clientX, clientY;
      bool operator==(const Seen&) const = default;
    };
    const auto Look = [&](Seen* seen) {
      seen->told = Told(since);
      return ClientOnScreen(display, client, &seen->clientX, &seen->clientY);
    };
    Seen last{};
    if (!Look(&last)) return;
    for (Uint32 changed = SDL_GetTicks(); (last.clientX != x || last.clientY != y) && TimeLeft();) {
      SDL_Delay(5);
      Seen now{};
      if (!Look(&now)) return;
      if (!(now == last)) changed = SDL_GetTicks();
      last = now;
      const bool answered = last.told > 0 || last.clientX != fromX || last.clientY != fromY;
      if (answered && SDL_GetTicks() - changed >= kSettleMs) return;
    }
  }
};

// The position that the run reads back for its window (its move messages, ReadBackPosition)
// against where the window's client area stands: none, but under a manager that is left with
// the window where it put it (HoldClientAt), where the position asked is read back, the client
// area standing off it by the frame's edge and title bar. Every move that the manager tells
// after (weston's X window manager tells one at a request of the window's own, such as its
// raise) is read back so: the frame stays where it was asked to be, at every run.
struct ReadBackOffset {
  Uint32 windowId;
  int x, y;
};
ReadBackOffset gReadBack{0, 0, 0};

// Tells the window's client area at x, y as a move of its own, read back as the offset says.
void PushMoved(SDL_Window* window, int x, int y) {
  SDL_Event moved{};
  moved.type = SDL_WINDOWEVENT;
  moved.window.event = SDL_WINDOWEVENT_MOVED;
  moved.window.windowID = SDL_GetWindowID(window);
  moved.window.data1 = x;
  moved.window.data2 = y;
  SDL_PushEvent(&moved);
}

// Once the shown window is framed, its client area goes back to x, y. A window manager that
// decorates takes a position asked for before it knew the frame as the frame's, so the client
// area lands a frame's edge and title bar lower and to the right (and would move by that much
// at every run that saves it). So the manager's answer to the showing is waited for, at most
// kManagerAnswerMs for all that follows: the frame shown (the window viewable), where it put
// the window told (a synthetic ConfigureNotify) or else the frame moved since it was first
// seen, and the frame's extents when the manager lists them among those it supports. Then,
// where the client area stands (as the X server has it) against x, y tells what to do:
// - with the extents known, a move asked again: SDL puts the frame so that the client area is
//   at x, y. The answers may have come before the manager drew the frame that the window asked
//   for (WindowPlace's), so the move is asked once more if the extents have changed since;
// - without them (twm tells none), a move asked that much higher and further left. twm takes a
//   move's position as inside its frame's border but a new window's as outside it, so that
//   move may land a border short: where it lands tells how the manager takes a move, and one
//   more by that puts the client area at x, y. One that the manager does not make ends them. A
//   manager that moves the window elsewhere at each is left with it where it put it;
// - a manager that does not make the first move, or that told neither where the window stands
//   nor its frame's extents but moved its frame (weston's X window manager, which places the
//   frame's visible edge where the window asked and moves it no more at its asking), is left
//   with the window where it put it, and x, y is read back: asked again, the manager puts the
//   window there again.
// Each move waits for the manager's answer to it (ManagerWatch::AwaitMove). Without a frame the
// window is already there, and nothing is waited for. Where the window
// stands is told as a move of its own: the one of the frame's first placement may still wait in
// the queue, and SDL tells none for a position it set itself.
// The answers counted are those to the requests from `since` on (a serial, NextSerial): the
// window's showing, or the frame and the move that WindowPlace asked; one left in the queue
// from before would tell of a frame that has changed since.
constexpr Uint32 kManagerAnswerMs = 5000;
PlacementLookCall gLookCall = nullptr;
void HoldClientAt(SDL_Window* window, int x, int y, unsigned long since) {
  gReadBack = {SDL_GetWindowID(window), 0, 0};
  SDL_SysWMinfo info{};
  if ((SDL_GetWindowFlags(window) & (SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN)) != 0 ||
      !X11Of(window, &info))
    return;
  ManagerWatch watch{
      info.info.x11.display, info.info.x11.window, 0, 0, 0, SDL_GetTicks() + kManagerAnswerMs};
  Display* display = watch.display;
  watch.frame = TopLevelOf(display, watch.client);
  ::Window root = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  if (watch.frame == 0 || watch.frame == watch.client ||
      XGetGeometry(display, watch.frame, &root, &watch.frameX, &watch.frameY, &width, &height,
                   &border, &depth) == 0)
    return;
  if (gLookCall != nullptr) gLookCall();
  const Atom extentsAtom = XInternAtom(display, "_NET_FRAME_EXTENTS", True);
  const bool extentsListed =
      extentsAtom != 0 && PropertyHolds(display, DefaultRootWindow(display), "_NET_SUPPORTED",
                                        XA_ATOM, 1024, extentsAtom);
  bool told = false, moved = false, extentsTold = false;
  for (;;) {
    told = told || watch.Told(since) > 0;
    moved = moved || watch.FrameMoved();
    extentsTold = extentsListed &&
                  PropertyHolds(display, watch.client, "_NET_FRAME_EXTENTS", XA_CARDINAL, 4, 0);
    if (((told || moved) && Viewable(display, watch.client) && extentsTold == extentsListed) ||
        !watch.TimeLeft())
      break;
    SDL_Delay(5);
  }
  SDL_PumpEvents();  // the frame's extents and position reach SDL through its events
  int atX = 0, atY = 0;
  if (!ClientOnScreen(display, watch.client, &atX, &atY)) return;
  if (moved && !told && !extentsTold) {
    gReadBack = {SDL_GetWindowID(window), x - atX, y - atY};
    PushMoved(window, atX, atY);
    return;
  }
  if (extentsTold) {
    // Asked again only where the frame's extents have changed since the last move was asked:
    // with the same, the manager would put the window where it is again.
    int used[4] = {-1, -1, -1, -1};
    for (int move = 0; move < 2 && (atX != x || atY != y); ++move) {
      int edges[4] = {0, 0, 0, 0};
      SDL_PumpEvents();
      SDL_GetWindowBordersSize(window, &edges[0], &edges[1], &edges[2], &edges[3]);
      if (std::equal(edges, edges + 4, used)) break;
      std::copy(edges, edges + 4, used);
      const int fromX = atX, fromY = atY;
      const unsigned long asked = XNextRequest(display);
      SDL_SetWindowPosition(window, x, y);
      watch.AwaitMove(asked, fromX, fromY, x, y);
      ClientOnScreen(display, watch.client, &atX, &atY);
    }
  } else {
    int askedX = x, askedY = y;
    for (int move = 0; move < 2 && (atX != x || atY != y); ++move) {
      const int fromX = atX, fromY = atY;
      askedX = x - (atX - askedX);
      askedY = y - (atY - askedY);
      const unsigned long asked = XNextRequest(display);
      SDL_SetWindowPosition(window, askedX, askedY);
      watch.AwaitMove(asked, fromX, fromY, x, y);
      ClientOnScreen(display, watch.client, &atX, &atY);
      if (atX == fromX && atY == fromY) {  // the manager keeps it there
        if (move == 0) {
          // as it put it at first: asked again, it puts it there again
          gReadBack = {SDL_GetWindowID(window), x - atX, y - atY};
          PushMoved(window, atX, atY);
          return;
        }
        break;
      }
    }
  }
  PushMoved(window, atX, atY);
}

}  // namespace

void ReadBackPosition(Uint32 windowId, int* x, int* y) {
  if (windowId != gReadBack.windowId) return;
  *x += gReadBack.x;
  *y += gReadBack.y;
}

namespace {

// The serial of the next request on the window's X connection; 0 when it is on none.
unsigned long NextSerial(SDL_Window* window) {
  SDL_SysWMinfo info{};
  return X11Of(window, &info) ? XNextRequest(info.info.x11.display) : 0;
}

// Whether the window is viewable (its manager's frame, if any, mapped too), waiting for it at
// most kManagerAnswerMs; true for a window that is not on X11.
bool AwaitViewable(SDL_Window* window) {
  SDL_SysWMinfo info{};
  if (!X11Of(window, &info)) return true;
  const Uint32 start = SDL_GetTicks();
  while (!Viewable(info.info.x11.display, info.info.x11.window)) {
    if (SDL_GetTicks() - start >= kManagerAnswerMs) return false;
    SDL_Delay(5);
  }
  return true;
}

}  // namespace

PlacementLookCall SetPlacementLookCall(PlacementLookCall call) {
  const PlacementLookCall was = gLookCall;
  gLookCall = call;
  return was;
}

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
  const unsigned long since = NextSerial(window->sdl);
  if (!framed) SDL_HideWindow(window->sdl);  // a window losing its frame is hidden first
  SDL_SetWindowBordered(window->sdl, framed ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowSize(window->sdl, width, height);
  SDL_SetWindowPosition(window->sdl, x, y);
  SDL_ShowWindow(window->sdl);
  HoldClientAt(window->sdl, x, y, since);
}

void WindowShowAndFocus(GlWindow* window) {
  int x = 0, y = 0;
  SDL_GetWindowPosition(window->sdl, &x, &y);  // where it was put, before a frame moves it
  const unsigned long since = NextSerial(window->sdl);
  SDL_ShowWindow(window->sdl);
  HoldClientAt(window->sdl, x, y, since);
  SDL_RaiseWindow(window->sdl);  // which also asks the manager to make it the active window
  // The X server refuses the keyboard to a window that is not viewable: one whose manager has
  // not shown its frame yet (fluxbox, on a loaded machine) waits for it, within its time.
  if (AwaitViewable(window->sdl)) SDL_SetWindowInputFocus(window->sdl);
}

bool WindowReadBackPlace(GlWindow* window, int* x, int* y) {
  SDL_SysWMinfo info{};
  int atX = 0, atY = 0;
  if (window == nullptr || !X11Of(window->sdl, &info) ||
      !ClientOnScreen(info.info.x11.display, info.info.x11.window, &atX, &atY))
    return false;
  ReadBackPosition(SDL_GetWindowID(window->sdl), &atX, &atY);
  *x = atX;
  *y = atY;
  return true;
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
