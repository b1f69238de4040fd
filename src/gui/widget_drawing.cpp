#include "gui/widget_drawing.h"

#include <algorithm>

#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "gfx/texture_format.h"
#include "platform/gl.h"

namespace veskor {

namespace {

constexpr std::uint32_t kLastWidgetUnit = 3;

void ActiveUnit(std::uint32_t unit) {
  if (TextureUnitCount > 1 && glActiveTextureARB != nullptr) glActiveTextureARB(GL_TEXTURE0 + unit);
}

// One combine function of unit 0 (`rgb` or alpha): REPLACE by `source`, or, for source 0,
// MODULATE of the texture and the primary colour.
void Combine(bool rgb, GLenum source) {
  const GLenum sources = rgb ? GL_SOURCE0_RGB : GL_SOURCE0_ALPHA;  // source 1 follows
  const GLenum operands = rgb ? GL_OPERAND0_RGB : GL_OPERAND0_ALPHA;
  const GLint operand = rgb ? GL_SRC_COLOR : GL_SRC_ALPHA;
  glTexEnvi(GL_TEXTURE_ENV, rgb ? GL_COMBINE_RGB : GL_COMBINE_ALPHA,
            source == 0 ? GL_MODULATE : GL_REPLACE);
  glTexEnvi(GL_TEXTURE_ENV, sources, source == 0 ? GL_TEXTURE : static_cast<GLint>(source));
  glTexEnvi(GL_TEXTURE_ENV, sources + 1, GL_PRIMARY_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, operands, operand);
  glTexEnvi(GL_TEXTURE_ENV, operands + 1, operand);
}

}  // namespace

void BeginWidgetDraw() {
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glDisable(GL_CULL_FACE);
  const std::uint32_t units = std::min(TextureUnitCount, kLastWidgetUnit + 1);
  for (std::uint32_t unit = 1; unit < units; ++unit) {
    ActiveUnit(unit);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_CUBE_MAP);
  }
  ActiveUnit(0);
  glDisable(GL_TEXTURE_CUBE_MAP);
}

void EndWidgetDraw() {
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
}

void SetWidgetBlending(bool on) {
  if (on) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  } else {
    glDisable(GL_BLEND);
  }
}

void DrawWidgetQuad(const WidgetRect& r, float s0, float t0, float s1, float t1) {
  glBegin(GL_QUADS);
  glTexCoord2f(s0, t0);
  glVertex2f(r.left, r.top);
  glTexCoord2f(s1, t0);
  glVertex2f(r.right, r.top);
  glTexCoord2f(s1, t1);
  glVertex2f(r.right, r.bottom);
  glTexCoord2f(s0, t1);
  glVertex2f(r.left, r.bottom);
  glEnd();
}

void DrawPlainQuad(const WidgetRect& r) {
  glBegin(GL_QUADS);
  glVertex2f(r.left, r.top);
  glVertex2f(r.right, r.top);
  glVertex2f(r.right, r.bottom);
  glVertex2f(r.left, r.bottom);
  glEnd();
}

bool BindWidgetTexture(Texture2D& texture) {
  const TextureState& s = texture.state;
  if (texture.pixels.data == nullptr || s.hasSlot == 0 || s.valid == 0) {
    glDisable(GL_TEXTURE_2D);
    return false;
  }
  glEnable(GL_TEXTURE_2D);
  Texture2DBind(texture, kModePlain, 0);
  return true;
}

void SetWidgetTextureBlend(WidgetBlend blend) {
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
  glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 1.0f);
  glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, 1.0f);
  switch (blend) {
    case WidgetBlend::kTexture:
      Combine(true, GL_TEXTURE);
      Combine(false, GL_TEXTURE);
      break;
    case WidgetBlend::kModulate:
      Combine(true, 0);
      Combine(false, 0);
      break;
    case WidgetBlend::kInkOfCoverage:
      Combine(true, GL_PRIMARY_COLOR);
      Combine(false, GL_TEXTURE);
      break;
    case WidgetBlend::kInkOfCoverageModulated:
      Combine(true, GL_PRIMARY_COLOR);
      Combine(false, 0);
      break;
  }
}

void DrawWidgetImage(Texture2D* texture, const WidgetRect& r) {
  if (texture == nullptr || !BindWidgetTexture(*texture)) return;
  SetWidgetTextureBlend(WidgetBlend::kTexture);
  glColor3f(1.0f, 1.0f, 1.0f);
  DrawWidgetQuad(r, 0.0f, 0.0f, 1.0f, 1.0f);
}

void DrawWidgetPopup(GuiWidget& widget) {
  if (widget.popupVisible != 0 && widget.popupCallback != nullptr)
    widget.popupCallback(widget.popupArgument);
}

}  // namespace veskor
