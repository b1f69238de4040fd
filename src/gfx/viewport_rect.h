// Viewport rectangles: the render preparation and the sessions place the OpenGL viewport on a
// part of the main window given as fractions plus pixel offsets, and put the whole-window
// viewport back; with the plane accessors the render code uses.
#pragma once

#include <cstdint>

#include "gfx/view_plane.h"

namespace veskor {

// v rounded to a pixel: truncated toward zero, plus 1 when the remaining fraction is greater
// than 0.5 (a fraction of exactly 0.5 rounds down).
inline std::int32_t RoundPixel(float v) {
  const auto whole = static_cast<std::int32_t>(v);
  return v - static_cast<float>(whole) > 0.5f ? whole + 1 : whole;
}

// The client size W x H: the plane's full-screen size in full screen, else WindowedWidth x WindowedHeight.
std::uint32_t ViewPlaneWidth(const ViewPlane& plane);
std::uint32_t ViewPlaneHeight(const ViewPlane& plane);

// Viewport from the pixel (R((W-1) fx0 + ox0), R((H-1) fy0 + oy0)) to the pixel
// (R((W-1) fx1 + ox1), R((H-1) fy1 + oy1)), both included: fractions 0 and 1 with no offsets
// address the first and the last column or row.
void SetViewportRect(const ViewPlane& plane, float fx0, float ox0, float fy0, float oy0, float fx1,
                     float ox1, float fy1, float oy1);
// glViewport(0, 0, W, H).
void RestoreViewport(const ViewPlane& plane);

inline void** PlaneDeviceContextRef(ViewPlane& plane) { return &plane.deviceContext; }
inline std::uint32_t MultisampleEnabled() { return WindowMultisampled; }
inline std::uint32_t MainPlaneBoardClass(const ViewPlane& plane) { return plane.boardClass; }

}  // namespace veskor
