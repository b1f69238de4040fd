#include "gui/clip_panel.h"

#include <algorithm>
#include <cmath>

#include "gui/gui_globals.h"
#include "gui/widget_drawing.h"
#include "platform/gl.h"

namespace veskor {

namespace {

// Edges are whole pixels, so their products with the window size are whole numbers but for
// float rounding, which must not take a pixel off.
std::int32_t WholePixels(float v) {
  return static_cast<std::int32_t>(std::trunc(static_cast<double>(v) + 1e-3));
}

}  // namespace

ScissorBox ClipPanelBox(GuiClipPanel& panel) {
  const WidgetRect r = WidgetSnappedRect(panel);
  const float w = 1.0f / PixelSize.x, h = 1.0f / PixelSize.y;
  return {WholePixels(r.left * w), WholePixels((1.0f - r.bottom) * h) + 1,
          WholePixels((r.right - r.left) * w), WholePixels((r.bottom - r.top) * h) + 1};
}

void ClipPanelBegin(GuiClipPanel& panel) {
  ScissorBox box = ClipPanelBox(panel);
  panel.outerScissor = glIsEnabled(GL_SCISSOR_TEST) ? 1 : 0;
  glGetIntegerv(GL_SCISSOR_BOX, &panel.outerBox.x);
  if (panel.outerScissor != 0) {  // nested: never beyond the enclosing box
    const ScissorBox& o = panel.outerBox;
    const std::int32_t x0 = std::max(box.x, o.x), y0 = std::max(box.y, o.y);
    const std::int32_t x1 = std::min(box.x + box.width, o.x + o.width);
    const std::int32_t y1 = std::min(box.y + box.height, o.y + o.height);
    box = {x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
  }
  glEnable(GL_SCISSOR_TEST);
  glScissor(box.x, box.y, std::max(box.width, 0), std::max(box.height, 0));
}

void ClipPanelEnd(GuiClipPanel& panel) {
  const ScissorBox& o = panel.outerBox;
  glScissor(o.x, o.y, o.width, o.height);
  if (panel.outerScissor == 0) glDisable(GL_SCISSOR_TEST);
  const WidgetRect r = WidgetSnappedRect(panel);
  BeginWidgetDraw();
  glDisable(GL_TEXTURE_2D);
  SetWidgetBlending(panel.color[3] < 1.0f);
  glColor4f(0.0f, 0.0f, 0.0f, panel.color[3]);
  glBegin(GL_LINES);
  const float xs[4] = {r.left, r.right, r.right, r.left};
  const float ys[4] = {r.top, r.top, r.bottom, r.bottom};
  for (int side = 0; side < 4; ++side) {  // top, right, bottom, left
    glVertex2f(xs[side], ys[side]);
    glVertex2f(xs[(side + 1) % 4], ys[(side + 1) % 4]);
  }
  glEnd();
  EndWidgetDraw();
}

void GuiClipPanel::BeginDraw() { ClipPanelBegin(*this); }
void GuiClipPanel::EndDraw() { ClipPanelEnd(*this); }

void GuiClipPanel::OnMouseButton(std::uint32_t buttons, std::uint32_t, float, float,
                                 std::uint32_t) {
  if ((buttons & kButtonLeft) != 0 && onLeftPress != nullptr) onLeftPress();
}

}  // namespace veskor
