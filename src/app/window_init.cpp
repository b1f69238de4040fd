#include "app/window_init.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <cstring>
#include <string>

#include "app/animation_tracks.h"
#include "app/camera_bookmarks.h"
#include "app/display_modes.h"
#include "app/error_boxes.h"
#include "sound/sound_output.h"
#include "app/settings.h"
#include "app/window_icon.h"
#include "app/window_proc.h"
#include "foundation/search_dirs.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "gfx/texture_names.h"
#include "platform/display_loss.h"
#include "platform/gl.h"
#include "platform/offscreen.h"
#include "platform/process.h"
#include "platform/settings_store.h"
#include "platform/wgl_tokens.h"
#include "platform/window.h"
#include "platform/window_display.h"

namespace veskor {

PixelFormatBits ChosenPixelFormat{};

namespace {

constexpr unsigned kMaxFormats = 32;

// The bit counts of each attempt: the settings', then minimums relaxed step by step.
struct BitCounts {
  int colour, alpha, depth, stencil;
};
constexpr BitCounts kRelaxedCounts[] = {{1, 1, 1, 1}, {1, 0, 1, 1}, {1, 1, 1, 0}, {1, 0, 1, 0}};

// The attribute list in its fixed order, ended by a 0 pair; returns its length in ints.
int BuildAttributeList(const BitCounts& counts, int* list) {
  int n = 0;
  auto add = [&](int attribute, int value) {
    list[n++] = attribute;
    list[n++] = value;
  };
  add(kWglSupportOpenGl, 1);
  add(kWglAcceleration, kWglFullAcceleration);
  if (HasExtension(kExtMultisample) != 0) {
    add(kWglSampleBuffers, MultiSampleMode != 0 ? 1 : 0);
    if (MultiSampleMode != 0) add(kWglSamples, static_cast<int>(MultiSampleSize));
  }
  add(kWglDrawToWindow, 1);
  add(kWglPixelType, kWglTypeRgba);
  add(kWglDoubleBuffer, 1);
  add(kWglStereo, 0);
  add(kWglDrawToBitmap, 0);
  add(kWglAuxBuffers, 0);
  add(kWglColorBits, counts.colour);
  add(kWglAlphaBits, counts.alpha);
  add(kWglDepthBits, counts.depth);
  add(kWglStencilBits, counts.stencil);
  add(0, 0);
  return n;
}

void WarnOfShortFormat(int wantedColour, const int* bits) {
  const int colour = bits[0], alpha = bits[1], stencil = bits[2], depth = bits[3];
  if (colour >= wantedColour && alpha != 0 && stencil != 0) return;
  char text[512];
  int n = std::snprintf(text, sizeof text,
                        "Colors [%i bits], Alpha [%i bits], Depth [%i bits], Stencil [%i bits]\n",
                        colour, alpha, depth, stencil);
  auto append = [&](const char* piece) {
    n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), "%s", piece);
  };
  if (colour < wantedColour) {
    char piece[80];
    std::snprintf(piece, sizeof piece, "\n You should use this software in %i bits color mode ! ",
                  wantedColour);
    append(piece);
  }
  if (alpha == 0) append("\n Your current config. does not support alpha channel ! ");
  if (stencil == 0) append("\n Your current config. does not support stencil buffer ! ");
  append("\n\nVisual artefacts may occur ! ");
  ReportWarning(kPlaceMainPlane, text);
}

[[noreturn]] void FailAfterRelease(MainPlane& plane, const char* place, const char* message) {
  ShutdownWindow(plane, 0);
  ReportError(place, message);
}

void CopyText(char (&out)[kPlaneTextBytes], const char* text) {
  std::snprintf(out, sizeof out, "%s", text != nullptr ? text : "");
}

// The probe: a hidden window with a plain context, current, for the capability loaders and
// the pixel-format choice.
void OpenProbe(MainPlane& plane) {
  GlWindowDesc desc;
  desc.title = plane.title;
  desc.width = 1;
  desc.height = 1;
  plane.window = GlWindowCreate(desc);
  if (plane.window == nullptr) FailAfterRelease(plane, kPlaceInit, "Window Creation Failed !");
  plane.context = GlContextCreate(plane.window, nullptr);
  if (plane.context == nullptr)
    FailAfterRelease(plane, kPlaceInit, "GL Rendering Context Creation Failed !");
  if (!GlMakeCurrent(plane.window, plane.context))
    FailAfterRelease(plane, kPlaceInit, "GL Rendering Context Activation Failed !");
}

// The real window, hidden until it is placed: full screen bare at 0, 0 with the full-screen
// size; windowed at the stored position and size, framed unless the popup flag asked for a
// bare window.
void CreateMainWindow(MainPlane& plane, int format, std::uint32_t popup) {
  GlWindowDesc desc;
  desc.title = plane.title;
  if (FullScreenMode != 0) {
    desc.width = static_cast<int>(plane.fullScreenWidth);
    desc.height = static_cast<int>(plane.fullScreenHeight);
    desc.borderless = true;
  } else {
    desc.x = WindowedX;
    desc.y = WindowedY;
    desc.width = static_cast<int>(WindowedWidth);
    desc.height = static_cast<int>(WindowedHeight);
    desc.borderless = popup != 0;
  }
  plane.windowFramed = FullScreenMode == 0 && popup == 0 ? 1 : 0;
  if (!OffscreenPixelFormat(format, &desc.format))
    FailAfterRelease(plane, kPlaceMainPlane, "Pixel Format Activation Failed !");
  plane.window = GlWindowCreate(desc);
  if (plane.window == nullptr) FailAfterRelease(plane, kPlaceInit, "Window Creation Failed !");
  WindowMultisampled = desc.format.samples > 0 ? 1 : 0;
  WindowIcon icon;
  if (ReadWindowIcon(plane.iconFile, &icon) != 0)
    WindowSetIcon(plane.window, icon.rgba, kWindowIconSide, kWindowIconSide);
}

// Full screen at another size than the desktop's changes the display mode; when the display
// cannot run it, Yes goes on windowed.
void EnterDisplayMode(MainPlane& plane) {
  if (FullScreenMode == 0 || plane.fullScreenSizeIndex == DesktopSizeIndex) {
    plane.modeChanged = 0;
    return;
  }
  plane.modeChanged = 1;
  if (gDisplayPorts.changeMode(plane.window, static_cast<int>(plane.fullScreenWidth),
                               static_cast<int>(plane.fullScreenHeight)))
    return;
  AskForWindowedMode();
  SetWindowFrame(plane, 1);
}

void ShutdownAtExit() { MainPlaneShutdown(gMainPlane); }

// The display has gone: what a window close would save, with the placement already held and
// no box (none can be shown); a failure is told on stderr.
void SaveForLostDisplay() {
  std::string reason;
  if (!WriteCameraBookmarksFile(&reason))
    std::fprintf(stderr, "veskor: bookmarks not saved: cannot write %s: %s\n",
                 CameraBookmarksPath().c_str(), reason.c_str());
  if (gMainPlane.settingsRead != 0 && SaveSettings(gMainPlane) == 0)
    std::fprintf(stderr, "veskor: settings not saved: cannot write %s: %s\n",
                 SettingsStorePath().c_str(), SettingsWriteFailure().c_str());
}

}  // namespace

int ChooseWindowPixelFormat(MainPlane& plane) {
  const int wantedColour = plane.colourBits - plane.alphaBits;
  BitCounts counts{wantedColour, plane.alphaBits, static_cast<int>(DepthBits), plane.stencilBits};
  int attributes[40];
  const float floatAttributes[2] = {0.0f, 0.0f};
  int formats[kMaxFormats];
  unsigned found = 0;
  void* dc = plane.window;
  for (std::size_t attempt = 0;; ++attempt) {
    BuildAttributeList(counts, attributes);
    if (wglChoosePixelFormatARB(dc, attributes, floatAttributes, kMaxFormats, formats, &found) ==
        0)
      FailAfterRelease(plane, kPlaceMainPlane, "Pixel Format Selection Failed !");
    if (found != 0) break;
    if (attempt == std::size(kRelaxedCounts))
      ReportError(kPlaceMainPlane, "No Required Buffer Format Available !");
    counts = kRelaxedCounts[attempt];
  }
  const int query[4] = {kWglColorBits, kWglAlphaBits, kWglStencilBits, kWglDepthBits};
  int bits[4] = {};
  if (wglGetPixelFormatAttribivARB(dc, formats[0], 0, 4, query, bits) == 0)
    FailAfterRelease(plane, kPlaceMainPlane, "Pixel Format Selection Failed !");
  WarnOfShortFormat(wantedColour, bits);
  ChosenPixelFormat = {static_cast<std::uint8_t>(bits[0]), static_cast<std::uint8_t>(bits[1]),
                       static_cast<std::uint8_t>(bits[3]), static_cast<std::uint8_t>(bits[2])};
  return formats[0];
}

std::uint32_t MainPlaneInitWindow(MainPlane& plane, const char* title, const char* iconFile,
                                  std::uint32_t popup) {
  CopyText(plane.title, title);
  CopyText(plane.iconFile, iconFile);

  ReserveAnimationPool();
  ReservePlaneContainers(plane);
  plane.parent = nullptr;
  plane.root = &plane;
  plane.sizeX = plane.sizeY = 1.0f;
  plane.hidden = plane.hover = plane.enabled = plane.pressed = 0;

  // The window system: SDL's video, started once for the whole run.
  if (!GlVideoStart()) {
    std::fprintf(stderr, "%s\n", GlLastError());
    ReportError(kPlaceInit, "Registration of Window Class Failed !");
  }
  OpenProbe(plane);
  LoadWglExtensions();
  ExtraSearchDirsClear();
  plane.modeChanged = 0;
  plane.extensionMask = LoadGlExtensions();
  if (wglChoosePixelFormatARB == nullptr || wglGetPixelFormatAttribivARB == nullptr)
    ReportError(kPlaceMainPlane, "OpenGL wgl ext. init. Failed !");
  if (HasExtension(kExtMultisampleFilterHint) == 0) MultiSampleQuality = 0;
  const int format = ChooseWindowPixelFormat(plane);
  ShutdownWindow(plane, 0);  // the probe

  if (!GlVideoStart()) {
    std::fprintf(stderr, "%s\n", GlLastError());
    ReportError(kPlaceMainPlane, "Registration of Window Class Failed !");
  }
  int desktopWidth = 0, desktopHeight = 0;
  if (!DisplayDesktopSize(&desktopWidth, &desktopHeight)) {
    std::fprintf(stderr, "%s\n", GlLastError());
    ReportError(kPlaceInit, "Window Creation Failed !");
  }
  SetDesktopSize(static_cast<std::uint32_t>(desktopWidth),
                 static_cast<std::uint32_t>(desktopHeight));
  if (FullScreenMode != 0) DesignScale = {1.0f, 1.0f};
  if (popup != 0) {
    WindowedX = static_cast<std::int32_t>((DesktopWidth - std::min(WindowedWidth, DesktopWidth)) / 2);
    WindowedY =
        static_cast<std::int32_t>((DesktopHeight - std::min(WindowedHeight, DesktopHeight)) / 2);
  }
  FitWindowGeometry(plane);
  // The window first: the display mode is changed for it (and SDL keeps a changed mode only
  // while a full-screen window holds it).
  CreateMainWindow(plane, format, popup);
  EnterDisplayMode(plane);

  plane.context = GlContextCreate(plane.window, nullptr);
  if (plane.context == nullptr)
    FailAfterRelease(plane, kPlaceMainPlane, "GL Rendering Context Creation Failed !");
  if (!GlMakeCurrent(plane.window, plane.context))
    FailAfterRelease(plane, kPlaceMainPlane, "GL Rendering Context Activation Failed !");
  plane.deviceContext = plane.window;
  WindowShowAndFocus(plane.window);

  CopyText(plane.vendor, GlVendorString);
  CopyText(plane.renderer, GlRendererString);
  CopyText(plane.version, GlVersionString);
  plane.boardClass = BoardClass;
  if (FullScreenMode != 0) {
    ResizeViewport(plane.fullScreenWidth, plane.fullScreenHeight);
  } else {
    ResizeViewport(WindowedWidth, WindowedHeight);
  }
  InitGlState(plane);
  InitDirectSound();
  ExtraSearchDirsClear();
  WindowMessagesStart();
  // At a normal exit the settings are saved and the window goes before any static object
  // (the settings store's among them) is destroyed and before the memory manager and the
  // platform's services close: a handler registered now runs before all of them. A lost
  // display ends the run without it (closing the window would wait on the dead connection),
  // saving the same; a display that stops answering while the window closes ends it within the
  // run end's time (display_loss.h), saved already, and so does an exit() that a library calls,
  // with its status.
  static bool registered = false;
  if (!registered) {
    registered = true;
    AtExitWatched(ShutdownAtExit);
    SetDisplayLostHook(SaveForLostDisplay);
  }
  return 1;
}

void InitGlState(MainPlane& plane) {
  glShadeModel(GL_SMOOTH);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearStencil(0);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glFrontFace(GL_CW);
  InitTextureNames();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(-1.0f, 1.0f, 0.0f);
  glScalef(2.0f, -2.0f, 1.0f);
  plane.Init();
  ForEachInDrawingOrder(plane, [](GuiPlane& child) { InitPlaneTree(child); });
}

void InitPlaneTree(GuiPlane& plane) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  plane.Init();
  ForEachInDrawingOrder(plane, [](GuiPlane& child) { InitPlaneTree(child); });
}

void ShutdownWindow(MainPlane& plane, std::uint32_t save) {
  // Saved before anything waits on the display: one that stops answering while the window is
  // torn down (the run's end then ends within its time) costs no data. Nothing is left for the
  // lost display's hook to save.
  bool saveFailed = false;
  if (save != 0) {
    SetDisplayLostHook(nullptr);
    saveFailed = plane.settingsRead != 0 && SaveSettings(plane) == 0;
    // The window's place read from the window as it stands: a move that its manager made late
    // may have told the run nothing. Read after the save (the read waits on the display), and
    // saved again where it differs.
    int x = WindowedX, y = WindowedY;
    if (!saveFailed && plane.settingsRead != 0 && FullScreenMode == 0 && plane.window != nullptr &&
        WindowReadBackPlace(plane.window, &x, &y) && (x != WindowedX || y != WindowedY)) {
      WindowedX = x;
      WindowedY = y;
      saveFailed = SaveSettings(plane) == 0;
    }
  }
  if (FullScreenMode != 0) {
    gDisplayPorts.restoreMode(plane.window);
    ShowPointer(true);
  }
  if (plane.context != nullptr) {
    GlContextDestroy(plane.context);
    plane.context = nullptr;
  }
  if (plane.window != nullptr) {
    GlWindowDestroy(plane.window);
    plane.window = nullptr;
    plane.deviceContext = nullptr;
  }
  // The window has gone: nothing more waits on the display, so the run's end no longer needs
  // its time, and a box may take the user's. A failure is told in a box of its own, then the
  // exit goes on.
  if (save != 0) RunEndTornDown();
  if (saveFailed) WarnSettingsNotSaved(kPlaceShutdown);
  ReleaseSoundDevice();
}

void MainPlaneShutdown(MainPlane& plane) {
  if (plane.shutDown != 0) return;
  plane.shutDown = 1;
  ShutdownWindow(plane, 1);
  ExtraSearchDirsClear();
}

}  // namespace veskor
