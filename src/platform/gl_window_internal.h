// What the modules of the GL windows share inside the platform layer: the window record over
// SDL's, and the last-error text of GlLastError. Not for use outside src/platform.
#pragma once

#include <SDL.h>

namespace veskor {

struct GlWindow {
  SDL_Window* sdl;
};

// Records `what` with SDL's reason for GlLastError.
void GlSetLastError(const char* what);

// Once SDL's video has started: routes a lost X connection to EndForLostDisplay.
void WatchDisplayConnection();

}  // namespace veskor
