#include "gui/gui_globals.h"

#include <cmath>

namespace veskor {

GuiPair PixelSize{1.0f, 1.0f};
GuiPair DesignScale{1.0f, 1.0f};
AspectPair ViewAspect{1.0f, 1.0f};
GuiPair MousePoint{0.5f, 0.5f};
std::uint32_t LayoutDirty = 1;

void GetHalfPair(float* x, float* y) {
  *x = MousePoint.x;
  *y = MousePoint.y;
}

float SnapToPixel(float coordinate, float pixelSize) {
  const float v = coordinate / pixelSize;
  const float t = std::trunc(v);
  return v - t > 0.5f ? (t + 1.0f) * pixelSize : t * pixelSize;
}

}  // namespace veskor
