#include "gfx/viewport_rect.h"

#include "platform/gl.h"

namespace veskor {

std::uint32_t ViewPlaneWidth(const ViewPlane& plane) {
  return FullScreenMode != 0 ? plane.fullScreenWidth : WindowedWidth;
}

std::uint32_t ViewPlaneHeight(const ViewPlane& plane) {
  return FullScreenMode != 0 ? plane.fullScreenHeight : WindowedHeight;
}

void SetViewportRect(const ViewPlane& plane, float fx0, float ox0, float fy0, float oy0, float fx1,
                     float ox1, float fy1, float oy1) {
  const float w = static_cast<float>(ViewPlaneWidth(plane)) - 1.0f;
  const float h = static_cast<float>(ViewPlaneHeight(plane)) - 1.0f;
  const std::int32_t x0 = RoundPixel(w * fx0 + ox0);
  const std::int32_t y0 = RoundPixel(h * fy0 + oy0);
  const std::int32_t x1 = RoundPixel(w * fx1 + ox1);
  const std::int32_t y1 = RoundPixel(h * fy1 + oy1);
  glViewport(x0, y0, x1 - x0 + 1, y1 - y0 + 1);
}

void RestoreViewport(const ViewPlane& plane) {
  glViewport(0, 0, static_cast<GLsizei>(ViewPlaneWidth(plane)),
             static_cast<GLsizei>(ViewPlaneHeight(plane)));
}

}  // namespace veskor
