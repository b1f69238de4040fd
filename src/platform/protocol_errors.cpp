// What the X server's refusal of a request does to the run: a line on stderr, and the run goes
// on. Xlib's own handler of such an error ends the process with exit(1), and SDL's hands on to
// the one it found after restoring the display's mode from inside the handler; a refusal met in
// the normal course of things (a window manager slow to map a window's frame, so that giving
// the window the keyboard is refused) then ended a run, whose exit handlers went on to wait on
// the display from inside that handler. A window of the run's that another client destroys
// (its DestroyNotify, or a refusal that names it) ends the run instead, as a lost display does.
#include <X11/Xlib.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/display_loss.h"
#include "platform/gl_window_internal.h"

// After the standard headers: it defines min and max as macros.
#include <X11/Xlibint.h>  // XESetWireToEvent

namespace veskor {

namespace {

// The kinds of refusal said so far (an error, a request and its minor code), each once; past
// kKindsSaid kinds nothing more is said.
constexpr std::size_t kKindsSaid = 32;
std::atomic<std::uint32_t> gSaid[kKindsSaid];

// Whether the kind `key` (never 0) is said now: false when it was said before, or when the
// table is full. Safe on several threads at once.
bool FirstOfItsKind(std::uint32_t key) {
  for (std::atomic<std::uint32_t>& slot : gSaid) {
    std::uint32_t held = slot.load();
    if (held == 0 && slot.compare_exchange_strong(held, key)) return true;
    if (held == key) return false;
  }
  return false;
}

// The extensions of the server, by their major opcodes (128 and up), read once from SDL's
// display: an extension's request is named as Xlib's error database names it, "<name>.<minor>".
// Read outside the handler, which must send no request.
// (Plain arrays: a refusal met by an exit handler finds them whole.)
char gExtensions[128][64];
std::atomic<bool> gExtensionsRead{false};

void ReadExtensionNames(Display* display) {
  int count = 0;
  char** names = XListExtensions(display, &count);
  for (int i = 0; i < count; ++i) {
    int major = 0, firstEvent = 0, firstError = 0;
    if (XQueryExtension(display, names[i], &major, &firstEvent, &firstError) != 0 && major >= 128 &&
        major < 256)
      std::snprintf(gExtensions[major - 128], sizeof gExtensions[0], "%s", names[i]);
  }
  if (names != nullptr) XFreeExtensionList(names);
}

// The request's name: "X_SetInputFocus", "XkbLatchLockState"; else its numbers.
std::string RequestName(Display* display, const XErrorEvent& error) {
  const unsigned major = error.request_code, minor = error.minor_code;
  std::string key = std::to_string(major), fallback = "request " + key;
  if (major >= 128) {
    const std::string extension = gExtensionsRead.load() ? gExtensions[major - 128] : "";
    if (extension.empty()) return fallback + "." + std::to_string(minor);
    key = extension + "." + std::to_string(minor);
    fallback = extension + " request " + std::to_string(minor);
  }
  char name[128];
  XGetErrorDatabaseText(display, "XRequest", key.c_str(), fallback.c_str(), name, sizeof name);
  return name;
}

// The watched X windows (WatchOwnWindow); 0 in a free slot. Past kOwnWindows at once, the
// others are not watched.
constexpr std::size_t kOwnWindows = 8;
std::atomic<unsigned long> gOwnWindows[kOwnWindows];

bool OwnWindow(unsigned long xwindow) {
  if (xwindow == 0) return false;
  for (const std::atomic<unsigned long>& slot : gOwnWindows)
    if (slot.load() == xwindow) return true;
  return false;
}

// Xlib's making of a DestroyNotify from what the server sent, and ours around it: that of a
// watched window ends the run as Xlib reads it, whatever call read it (SDL waiting in XIfEvent
// for the window's MapNotify, which will never come, or a reply awaited).
Bool (*gDestroyFromWire)(Display*, XEvent*, xEvent*) = nullptr;
Bool OnDestroyFromWire(Display* display, XEvent* event, xEvent* wire) {
  const Bool made = gDestroyFromWire(display, event, wire);
  if (event->type == DestroyNotify && OwnWindow(event->xdestroywindow.window)) EndForLostWindow();
  return made;
}

// Says the refusal, the first of its kind, and goes on: no request is sent and nothing is torn
// down from here (the connection's lock may be held by the call that met the error). One that
// finds a window of the run's gone ends the run (its hook sends no request either): the call
// that met it, and those after it, would draw into what is no longer there.
int OnProtocolError(Display* display, XErrorEvent* error) {
  if ((error->error_code == BadWindow || error->error_code == BadDrawable) &&
      OwnWindow(error->resourceid))
    EndForLostWindow();
  const std::uint32_t key = (std::uint32_t{error->error_code} << 16 |
                             std::uint32_t{error->request_code} << 8 | error->minor_code) +
                            1;
  if (!FirstOfItsKind(key)) return 0;
  char text[160] = "";
  XGetErrorText(display, error->error_code, text, sizeof text);
  const bool numberOnly = std::strspn(text, "0123456789") == std::strlen(text);
  std::fprintf(stderr, "veskor: the X server refused a request: %s%s in %s; the run goes on\n",
               numberOnly ? "error " : "", text, RequestName(display, *error).c_str());
  return 0;
}

}  // namespace

void WatchOwnWindow(unsigned long xwindow) {
  if (xwindow == 0) return;
  for (std::atomic<unsigned long>& slot : gOwnWindows) {
    unsigned long none = 0;
    if (slot.compare_exchange_strong(none, xwindow)) return;
  }
}

void ForgetOwnWindow(unsigned long xwindow) {
  for (std::atomic<unsigned long>& slot : gOwnWindows) {
    unsigned long held = xwindow;
    if (xwindow != 0 && slot.compare_exchange_strong(held, 0UL)) return;
  }
}

void WatchProtocolErrors(Display* display) {
  if (display != nullptr && !gExtensionsRead.load()) {
    ReadExtensionNames(display);
    gExtensionsRead.store(true);
  }
  if (display != nullptr && gDestroyFromWire == nullptr)
    gDestroyFromWire = XESetWireToEvent(display, DestroyNotify, OnDestroyFromWire);
  XSetErrorHandler(OnProtocolError);
}

}  // namespace veskor
