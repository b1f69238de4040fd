// The window values the interface layout reads: pixel size, design scale, view aspect, the
// pointer position, the layout-dirty and multisample flags, and pixel snapping.
//
// The application shell owns their meaning and writes them (at start, on every resize and
// from the window procedure), but they live here so that the toolkit does not depend on the
// shell: the shell includes gui, never the other way round.
#pragma once

#include <cstdint>

#include "gfx/view_plane.h"  // MultiSampleMode

namespace veskor {

struct GuiPair {
  float x, y;
};

// One window pixel in GUI units: 1 / client width, 1 / client height (1.0 for a size of 0,
// and before the first resize).
extern GuiPair PixelSize;
// Factors of design-pixel measures (desktop size / client size; 1.0 before the first resize).
extern GuiPair DesignScale;
// The view's height / width and its inverse (1.0 and 1.0 before the first resize).
struct AspectPair {
  float factor, inverse;
};
extern AspectPair ViewAspect;
// The pointer in GUI units (client pixels times PixelSize); 0.5, 0.5 before the first message.
extern GuiPair MousePoint;
// 1 when the next frame must lay the plane tree out again; 1 at start.
extern std::uint32_t LayoutDirty;

// MousePoint into two out-parameters.
void GetHalfPair(float* x, float* y);

// A coordinate snapped to whole pixels: truncated toward zero, rounded up only when the
// fraction exceeds one half (so 10.5 pixels give 10, 10.51 give 11, -10.7 give -10).
float SnapToPixel(float coordinate, float pixelSize);
inline float SnapToPixelX(float x) { return SnapToPixel(x, PixelSize.x); }
inline float SnapToPixelY(float y) { return SnapToPixel(y, PixelSize.y); }

}  // namespace veskor
