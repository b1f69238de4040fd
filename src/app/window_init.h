// The window half of the main plane's start-up: the hidden probe window in which the GL
// capabilities are loaded and the pixel format chosen, the desktop, the real window with its
// icon and rendering context, the GL state with the texture names, the sound device; and the
// release of all that at exit, with the settings saved.
#pragma once

#include <cstdint>

#include "app/main_plane.h"

namespace veskor {

// The colour (without alpha), alpha, depth and stencil bits of the pixel format in use.
struct PixelFormatBits {
  std::uint8_t colour, alpha, depth, stencil;
};
extern PixelFormatBits ChosenPixelFormat;

// The second half of MainPlaneInit, after the settings were read: returns 1; every failure
// ends the program inside it with its message (after releasing what exists).
std::uint32_t MainPlaneInitWindow(MainPlane& plane, const char* title, const char* iconFile,
                                  std::uint32_t popup);

// With the probe context current: asks wglChoosePixelFormatARB for the settings' format, then
// for relaxed bit counts, at most five times; warns when the format found is short of colour,
// alpha or stencil; sets ChosenPixelFormat and returns the format. No format ends the program
// with "No Required Buffer Format Available !"; a failing call, after a full release, with
// "Pixel Format Selection Failed !".
int ChooseWindowPixelFormat(MainPlane& plane);

// The GL state of the program: shading, clear values, depth test, culling, the 10000 texture
// names, matrices mapping interface units onto the window; then Init on the plane tree.
void InitGlState(MainPlane& plane);
// Clears the buffers, calls the plane's Init, then recurses into its back, list and front
// children.
void InitPlaneTree(GuiPlane& plane);

// Releases what exists, in order: the display mode (full screen), the context, the window, the
// sound device; saves the settings first when `save` is set and they were read (then clears the
// lost display's hook: nothing is left for it). With `save`, once the window has gone the run's
// end is torn down (RunEndTornDown), then a failed save is warned of.
void ShutdownWindow(MainPlane& plane, std::uint32_t save);
// ShutdownWindow with saving, then the extra search directories emptied. Runs once: at a normal exit (registered by the start-up to run
// before the static destructors and the close of the memory manager), or when a main plane that
// never started is destroyed.
void MainPlaneShutdown(MainPlane& plane);

}  // namespace veskor
