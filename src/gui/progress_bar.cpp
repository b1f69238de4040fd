#include "gui/progress_bar.h"

#include "gui/widget_drawing.h"
#include "platform/gl.h"

namespace veskor {

void DrawProgressBar(GuiProgressBar& bar) {
  const WidgetRect r = WidgetSnappedRect(bar);
  if (bar.fraction > 1.0f) bar.fraction = 1.0f;
  if (!(bar.fraction >= 0.0f)) bar.fraction = 0.0f;
  const float f = bar.fraction;
  const float x = r.left + (r.right - r.left) * f;
  BeginWidgetDraw();
  if (BindWidgetTexture(bar.pattern)) {
    SetWidgetBlending(bar.pattern.pixels.channels == 4);
    SetWidgetTextureBlend(WidgetBlend::kTexture);
    glColor3fv(bar.color);
    DrawWidgetQuad({r.left, r.top, x, r.bottom}, 0.0f, 0.0f, kProgressRepetitions * f, 1.0f);
  }
  glDisable(GL_TEXTURE_2D);
  SetWidgetBlending(false);
  glColor3fv(bar.color);
  DrawPlainQuad({x, r.top, r.right, r.bottom});
  EndWidgetDraw();
}

void GuiProgressBar::Draw() { DrawProgressBar(*this); }

}  // namespace veskor
