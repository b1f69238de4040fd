#include "gui/text_view.h"

#include <algorithm>
#include <cmath>

#include "foundation/frame_clock.h"
#include "gui/gui_globals.h"
#include "gui/widget_drawing.h"
#include "platform/gl.h"

namespace veskor {

namespace {

// Applies the offset to [lo, hi] when the visible span is smaller than the content; the
// offset is clamped to the content first (never before its start).
void Scroll(float content, float& offset, float& lo, float& hi) {
  const float span = hi - lo;
  if (!(span < content)) return;
  offset = std::max(std::min(offset, content - span), -lo);
  lo += offset;
  hi += offset;
}

}  // namespace

TextViewWindow TextViewLayout(GuiTextView& v) {
  TextViewWindow w{};
  // The view ignores inset and polar offset.
  const float inset = v.inset, radius = v.polarRadius;
  v.inset = v.polarRadius = 0.0f;
  w.view = WidgetSnappedRect(v);
  v.inset = inset;
  v.polarRadius = radius;
  const float textWidth = static_cast<float>(1u << v.textTexture.pixels.log2Width);
  const float textHeight = static_cast<float>(1u << v.textTexture.pixels.log2Height);
  const WidgetRect text{w.view.left, w.view.top,
                        SnapToPixelX(w.view.left + textWidth * PixelSize.x),
                        SnapToPixelY(w.view.top + textHeight * PixelSize.y)};
  w.visible = {std::max(w.view.left, text.left), std::max(w.view.top, text.top),
               std::min(w.view.right, text.right), std::min(w.view.bottom, text.bottom)};
  const float tw = text.right - text.left, th = text.bottom - text.top;
  w.s0 = (w.visible.left - text.left) / tw;
  w.t0 = (w.visible.top - text.top) / th;
  w.s1 = (w.visible.right - text.left) / tw;
  w.t1 = (w.visible.bottom - text.top) / th;
  Scroll(v.contentWidth, v.scrollX, w.s0, w.s1);
  Scroll(v.contentHeight, v.scrollY, w.t0, w.t1);
  return w;
}

void DrawTextView(GuiTextView& v, double now) {
  const TextViewWindow w = TextViewLayout(v);
  BeginWidgetDraw();
  SetWidgetBlending(v.backgroundColor[3] < 1.0f);
  glDisable(GL_TEXTURE_2D);
  glColor4fv(v.backgroundColor);
  DrawPlainQuad(w.view);
  // Text drawn since the last upload goes into the texels first: the bind uploads them and
  // clears the texture's dirty mark, which a later upload would otherwise find clear.
  if (v.textTexture.state.dirty != 0) FlushTextBitmap(v.textBitmap);
  if (BindWidgetTexture(v.textTexture)) {
    SetWidgetBlending(true);
    SetWidgetTextureBlend(WidgetBlend::kInkOfCoverageModulated);
    const bool dim = v.blink != 0 && now - std::floor(now) < 0.5;
    glColor4f(v.textColor[0], v.textColor[1], v.textColor[2], dim ? kBlinkDimAlpha : 1.0f);
    DrawWidgetQuad(w.visible, w.s0, w.t0, w.s1, w.t1);
  }
  DrawWidgetPopup(v);
  EndWidgetDraw();
}

void GuiTextView::BeginDraw() { ResetTextFont(textBitmap); }
void GuiTextView::Draw() { DrawTextView(*this, NowSeconds()); }
void GuiTextView::EndDraw() { UploadBitmapTexture(textBitmap); }

// The content follows the pointer: the GUI-unit delta counts twice in texture fractions.
void GuiTextView::OnMouseDrag(std::uint32_t, std::uint32_t, float x, float y, float, float,
                              std::uint32_t) {
  scrollX += 2.0f * (lastPointerX - x);
  scrollY += 2.0f * (lastPointerY - y);
  lastPointerX = x;
  lastPointerY = y;
}

void GuiTextView::OnMouseButton(std::uint32_t, std::uint32_t, float x, float y, std::uint32_t) {
  lastPointerX = x;
  lastPointerY = y;
}

}  // namespace veskor
