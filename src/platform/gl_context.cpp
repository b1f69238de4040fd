#include "platform/gl_context.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <sched.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/display_loss.h"
#include "platform/gl_compat/gl_compat.h"
#include "platform/gl_window_internal.h"
#include "platform/process.h"

namespace veskor {

struct GlContext {
  SDL_GLContext sdl;
  SDL_Window* window;  // the window it was created for, to make it current when sharing
};

namespace {

GlContext* gCurrent = nullptr;  // contexts are made current only through this module

// Mesa's llvmpipe draws with LP_NUM_THREADS threads, by default one a processor when there are
// more than one (at most 32). When fewer can be started (the user's limit of processes), it
// draws with those, but its frames still wait for the others and never end: it is told, before
// it is loaded, the number that can be started now (none: it draws in the calling thread).
void FitDriverThreadsToTheLimit() {
  constexpr long kMaxDriverThreads = 32;
  long wanted = 0;
  cpu_set_t usable;
  if (sched_getaffinity(0, sizeof usable, &usable) == 0) wanted = CPU_COUNT(&usable);
  if (wanted == 0) wanted = sysconf(_SC_NPROCESSORS_ONLN);
  if (wanted < 2) wanted = 0;
  if (const char* asked = std::getenv("LP_NUM_THREADS"); asked != nullptr) {
    char* end = nullptr;
    const long n = std::strtol(asked, &end, 0);  // as Mesa reads it
    if (end != asked) wanted = n < 0 ? kMaxDriverThreads : n;
  }
  wanted = std::min(wanted, kMaxDriverThreads);
  int refusal = 0;
  const unsigned room = ThreadsThatCanStart(static_cast<unsigned>(wanted), &refusal);
  if (room == static_cast<unsigned>(wanted)) return;
  const std::string what = std::to_string(wanted - room) + " of the " + std::to_string(wanted) +
                           " drawing threads of the software renderer";
  SayNotStarted(what.c_str(), refusal);
  setenv("LP_NUM_THREADS", std::to_string(room).c_str(), 1);
}

// SDL lists each screen of an X server as a display of its own (by its XRandR outputs), each with
// its top left at 0, 0, and makes a window at a position on the first display that holds it: the
// first screen's, whatever screen the run is on. A run on another screen (DISPLAY's `:0.1`) has
// SDL list that screen alone, XRandR's outputs left unread (as on a server without XRandR, where
// the display modes do not change). An SDL_VIDEO_X11_XRANDR in the environment rules over it.
void KeepToTheRunsScreen() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver != nullptr && *driver != '\0' && SDL_strcasecmp(driver, "x11") != 0) return;
  char* host = nullptr;
  int display = 0, screen = 0;
  if (xcb_parse_display(nullptr, &host, &display, &screen) == 0) return;
  std::free(host);
  if (screen != 0) SDL_SetHint(SDL_HINT_VIDEO_X11_XRANDR, "0");
}

// The video subsystem stays up once started: entry points loaded while the probe window lived
// must stay valid for every later context.
bool VideoReady() {
  static bool ready = false;
  if (!ready) {
    WatchDisplayConnection();  // before SDL opens its own connections
    WatchProtocolErrors();
    WatchQuitSignals();
    FitDriverThreadsToTheLimit();
    KeepToTheRunsScreen();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      // Refused just after the run's own connection was taken: the server may be going, and
      // its going may reach that connection a moment later.
      EndIfDisplayLost(1000);
      GlSetLastError("SDL video");
      return false;
    }
    WatchProtocolErrors();  // in place of SDL's, which ends the process through Xlib's
    ready = true;
  }
  return true;
}

void SetPixelFormat(const GlPixelFormat& f) {
  SDL_GL_ResetAttributes();  // no version, no profile mask: a compatibility context
  const int channel = f.colourBits <= 16 ? 5 : 8;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, f.colourBits <= 16 ? 6 : 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, f.alphaBits);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, f.depthBits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, f.stencilBits);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, f.samples > 0 ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, f.samples > 0 ? f.samples : 0);
}

}  // namespace

namespace {
char gLastError[256];
}  // namespace

void GlSetLastError(const char* what) {
  // Once the display has gone, SDL and GLX calls fail (or return nothing): that is its loss.
  EndIfDisplayLost();
  std::snprintf(gLastError, sizeof gLastError, "%s: %s", what, SDL_GetError());
}

bool GlVideoStart() { return VideoReady(); }

GlWindow* GlWindowCreate(const GlWindowDesc& desc) {
  if (!VideoReady()) return nullptr;
  SetPixelFormat(desc.format);
  Uint32 flags = SDL_WINDOW_OPENGL;
  flags |= desc.visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
  if (desc.fullScreen) flags |= SDL_WINDOW_FULLSCREEN;
  if (desc.borderless) flags |= SDL_WINDOW_BORDERLESS;
  SDL_Window* sdl = SDL_CreateWindow(desc.title ? desc.title : "", desc.x, desc.y, desc.width,
                                     desc.height, flags);
  if (sdl == nullptr) {
    GlSetLastError("window");
    return nullptr;
  }
  static bool extensionsNamed = false;  // from SDL's display, once a window gives it
  unsigned long xwindow = 0;            // watched until the run destroys it
  SDL_SysWMinfo info{};
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(sdl, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11) {
    if (!extensionsNamed) WatchProtocolErrors(info.info.x11.display);
    extensionsNamed = true;
    xwindow = info.info.x11.window;
    WatchOwnWindow(xwindow);
  }
  return new GlWindow{sdl, xwindow};
}

void GlWindowDestroy(GlWindow* window) {
  if (window == nullptr) return;
  ForgetOwnWindow(window->xwindow);
  SDL_DestroyWindow(window->sdl);
  delete window;
}

void GlWindowSize(const GlWindow* window, int* width, int* height) {
  SDL_GL_GetDrawableSize(window->sdl, width, height);
}

void GlWindowSetTitle(GlWindow* window, const char* title) {
  if (window != nullptr) SDL_SetWindowTitle(window->sdl, title != nullptr ? title : "");
}

const char* GlWindowTitle(const GlWindow* window) {
  return window != nullptr ? SDL_GetWindowTitle(window->sdl) : "";
}

GlContext* GlContextCreate(GlWindow* window, GlContext* shareLists) {
  if (shareLists != nullptr) {
    // SDL shares with the context current at creation.
    if (SDL_GL_MakeCurrent(shareLists->window, shareLists->sdl) != 0) {
      GlSetLastError("share context");
      return nullptr;
    }
    gCurrent = shareLists;
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
  }
  SDL_GLContext sdl = SDL_GL_CreateContext(window->sdl);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
  if (sdl == nullptr) {
    GlSetLastError("context");
    return nullptr;
  }
  gCurrent = new GlContext{sdl, window->sdl};  // SDL makes a new context current
  if (shareLists != nullptr) GlCompatShareObjects(gCurrent, shareLists);
  return gCurrent;
}

void GlContextDestroy(GlContext* context) {
  if (context == nullptr) return;
  if (gCurrent == context) GlReleaseCurrent();
  GlCompatForgetContext(context);
  SDL_GL_DeleteContext(context->sdl);
  delete context;
}

bool GlMakeCurrent(GlWindow* window, GlContext* context) {
  if (SDL_GL_MakeCurrent(window->sdl, context->sdl) != 0) {
    GlSetLastError("make current");
    return false;
  }
  gCurrent = context;
  return true;
}

void GlReleaseCurrent() {
  SDL_GL_MakeCurrent(nullptr, nullptr);
  gCurrent = nullptr;
}

GlContext* GlCurrentContext() { return gCurrent; }

void GlSwapBuffers(GlWindow* window) { SDL_GL_SwapWindow(window->sdl); }

bool GlProbeOpen(GlProbe& probe) {
  GlWindowDesc desc;
  desc.title = "probe";
  probe.window = GlWindowCreate(desc);
  if (probe.window == nullptr) return false;
  probe.context = GlContextCreate(probe.window, nullptr);
  if (probe.context == nullptr) {
    GlWindowDestroy(probe.window);
    probe.window = nullptr;
    return false;
  }
  return true;
}

void GlProbeClose(GlProbe& probe) {
  GlContextDestroy(probe.context);
  GlWindowDestroy(probe.window);
  probe = GlProbe{};
}

bool GlPixelFormatAvailable(const GlPixelFormat& wanted, GlPixelFormat* obtained) {
  if (!VideoReady()) return false;
  SetPixelFormat(wanted);
  SDL_Window* window = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (window == nullptr) {
    GlSetLastError("pixel format");
    return false;
  }
  SDL_GLContext context = SDL_GL_CreateContext(window);  // current if made
  if (context != nullptr) {
    int r = 0, g = 0, b = 0, a = 0, buffers = 0;
    SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &r);
    SDL_GL_GetAttribute(SDL_GL_GREEN_SIZE, &g);
    SDL_GL_GetAttribute(SDL_GL_BLUE_SIZE, &b);
    SDL_GL_GetAttribute(SDL_GL_ALPHA_SIZE, &a);
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &obtained->depthBits);
    SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &obtained->stencilBits);
    SDL_GL_GetAttribute(SDL_GL_MULTISAMPLEBUFFERS, &buffers);
    SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &obtained->samples);
    obtained->colourBits = r + g + b + a;
    obtained->alphaBits = a;
    if (buffers == 0) obtained->samples = 0;
  } else {
    GlSetLastError("pixel format");
  }
  // The current context goes back before the probe goes away.
  if (gCurrent != nullptr)
    SDL_GL_MakeCurrent(gCurrent->window, gCurrent->sdl);
  else
    SDL_GL_MakeCurrent(nullptr, nullptr);
  if (context != nullptr) SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  return context != nullptr;
}

const char* GlLastError() { return gLastError; }

}  // namespace veskor

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VESKOR_ADDRESS_CHECKED  // clang's test; g++ defines __SANITIZE_ADDRESS__
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(VESKOR_ADDRESS_CHECKED)
// Sanitizer builds. The address checker's runtime records the dynamic TLS block that
// __tls_get_addr hands each thread, and takes a block that starts 16 bytes into a page for an old
// C library's layout: it reads the 16 bytes before the block (here its allocator's own header)
// as the block's start and size. The video start loads libraries with dynamic TLS (Mesa's LLVM
// among them); when one of their blocks lands there, which the memory layout of a run decides,
// the leak check at the exit scans a range that is no memory at all and its tracer dies ("Tracer
// caught signal 11"). Dynamic TLS is left unrecorded: this C library allocates its blocks from
// the dynamic linker, whose allocations the leak check holds reachable and scans. A run's
// ASAN_OPTIONS can still name the flag.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
#endif
