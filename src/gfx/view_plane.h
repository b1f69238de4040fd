// ViewPlane: what the graphics core reads of the application's main window (its size in full
// screen, its device context, its board class), and the window settings it reads (full-screen
// flag, windowed sizes, multisampling). The application's main plane is one ViewPlane and
// fills these settings at start; they are declared here because the graphics core, which the
// application is built on, reads them and may not include the application.
#pragma once

#include <cstdint>

namespace veskor {

struct ViewPlane {
  void* deviceContext;  // the handle through which the render preparation swaps the buffers
  std::uint32_t fullScreenWidth;
  std::uint32_t fullScreenHeight;
  std::uint32_t boardClass;  // the plane's copy of BoardClass, taken at start
};

// The plane whose size the render code takes for its viewports; set by SpatialGridInit.
inline ViewPlane* RenderViewPlane = nullptr;

// Nonzero while the program runs full screen.
inline std::uint32_t FullScreenMode = 1;
// The window's client size in windowed mode: read from the settings (XSize, YSize) at start,
// kept up to date by the window procedure on every resize while not full screen, and saved
// back at exit.
inline std::uint32_t WindowedWidth = 600;
inline std::uint32_t WindowedHeight = 400;
// Nonzero when multisampling is on (the MultiSampleMode setting); the one flag for every folder.
inline std::uint32_t MultiSampleMode = 0;
// 1 when the window was created with a multisampled pixel format.
inline std::uint32_t WindowMultisampled = 0;
// 1 when the MultiSampleQuality setting is "NICEST" (at start only with the multisample filter
// hint extension; the setup slider may set it later): CameraApply then asks for the nicest
// multisample filter where the driver lists the extension.
inline std::uint32_t MultiSampleQuality = 0;
// Rows at the top of the window that the menu bar covers: the scene and the loading frames
// are drawn below them.
inline constexpr std::int32_t kMenuBarRows = 112;
// Bits of the window's depth buffer (the DepthBits setting: 16, 24 or 32).
inline std::uint32_t DepthBits = 24;

}  // namespace veskor
