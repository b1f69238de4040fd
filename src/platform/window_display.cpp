#include "platform/window_display.h"

#include "platform/gl_window_internal.h"

namespace veskor {

namespace {

bool DisplayRuns(SDL_Window* window, int width, int height) {
  SDL_DisplayMode mode;
  const int display = window != nullptr ? SDL_GetWindowDisplayIndex(window) : 0;
  return display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.w == width &&
         mode.h == height;
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
}

void WindowShowAndFocus(GlWindow* window) {
  SDL_ShowWindow(window->sdl);
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
