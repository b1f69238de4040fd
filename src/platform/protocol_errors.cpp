// What the X server's refusal of a request does to the run: a line on stderr, and the run goes
// on. Xlib's own handler of such an error ends the process with exit(1), and SDL's hands on to
// the one it found after restoring the display's mode from inside the handler; a refusal met in
// the normal course of things (a window manager slow to map a window's frame, so that giving
// the window the keyboard is refused) then ended a run, whose exit handlers went on to wait on
// the display from inside that handler.
#include <X11/Xlib.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/gl_window_internal.h"

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

// Says the refusal, the first of its kind, and goes on: no request is sent and nothing is torn
// down from here (the connection's lock may be held by the call that met the error).
int OnProtocolError(Display* display, XErrorEvent* error) {
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

void WatchProtocolErrors(Display* display) {
  if (display != nullptr && !gExtensionsRead.load()) {
    ReadExtensionNames(display);
    gExtensionsRead.store(true);
  }
  XSetErrorHandler(OnProtocolError);
}

}  // namespace veskor
