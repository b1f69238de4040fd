// Windows with an OpenGL rendering context: the hidden probe window in which the capability
// loader runs at start, and the program's visible window. Contexts may share display lists
// and textures with another context. SDL stays behind this interface.
#pragma once

namespace veskor {

// What the program asks of the window's pixel format.
struct GlPixelFormat {
  int colourBits = 32;  // 16 gives 5-6-5; 24 or 32 give 8 bits a channel
  int alphaBits = 8;
  int depthBits = 24;
  int stencilBits = 8;
  int samples = 0;  // multisample samples; 0 for none
};

struct GlWindowDesc {
  const char* title = "";
  int x = 0;
  int y = 0;
  int width = 64;
  int height = 64;
  bool visible = false;
  bool fullScreen = false;
  bool borderless = false;  // no frame and caption
  GlPixelFormat format;
};

struct GlWindow;   // a window whose surface OpenGL can draw into
struct GlContext;  // a compatibility-profile rendering context

// Starts the video system, once for the whole run (later calls return true); false when it
// cannot start (GlLastError says why). Window creation starts it too.
bool GlVideoStart();

// Creates the window; null when the video system, the window or its pixel format cannot be
// had (GlLastError says why).
GlWindow* GlWindowCreate(const GlWindowDesc& desc);
void GlWindowDestroy(GlWindow* window);
// The drawable size in pixels.
void GlWindowSize(const GlWindow* window, int* width, int* height);
// The caption of the window's frame (UTF-8); a null window does nothing or reads "".
void GlWindowSetTitle(GlWindow* window, const char* title);
const char* GlWindowTitle(const GlWindow* window);

// Creates a context for the window and makes it current there. With `shareLists`, the new
// context shares display lists and textures with it. Null on failure.
GlContext* GlContextCreate(GlWindow* window, GlContext* shareLists);
// Deletes the context; when it was current, no context is current afterwards.
void GlContextDestroy(GlContext* context);

// Makes the context current on the window (any window with the context's pixel format).
bool GlMakeCurrent(GlWindow* window, GlContext* context);
void GlReleaseCurrent();
GlContext* GlCurrentContext();
void GlSwapBuffers(GlWindow* window);

// The hidden window and context the capability loader runs in. Open makes the context
// current; false when either cannot be created.
struct GlProbe {
  GlWindow* window = nullptr;
  GlContext* context = nullptr;
};
bool GlProbeOpen(GlProbe& probe);
void GlProbeClose(GlProbe& probe);

// Whether a window with at least that pixel format can be had, and what it would have
// (checked with a hidden window and context; the current context stays current).
bool GlPixelFormatAvailable(const GlPixelFormat& wanted, GlPixelFormat* obtained);

// The reason of the last failure of this module.
const char* GlLastError();

}  // namespace veskor
