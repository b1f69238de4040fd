#include "gui/text_choice.h"

#include <algorithm>
#include <iterator>

#include "gui/widget_drawing.h"
#include "platform/gl.h"

namespace veskor {

void SetupTextChoice(GuiTextChoice& choice, GuiPlane* root, const char* const* lines,
                     const std::uint32_t* alignLeft, std::uint32_t count,
                     const float (&background)[4], const float (&text)[3]) {
  TextListColours colours{};
  std::copy(background, background + 4, colours.background);
  std::copy(text, text + 3, colours.line);
  std::copy(text, text + 3, colours.title);
  SetTextLines(choice, root, {}, {}, lines, count, colours);
  choice.currentLine = 1;
  std::fill(std::begin(choice.alignLeftOfAnchor), std::end(choice.alignLeftOfAnchor), 0u);
  if (alignLeft != nullptr)
    std::copy(alignLeft, alignLeft + std::min(count, kTextListLineCapacity),
              choice.alignLeftOfAnchor);
}

void DrawTextChoice(GuiTextChoice& c) {
  const std::int32_t k = c.currentLine;
  if (k < 0 || static_cast<std::uint32_t>(k) >= c.lineCount) return;
  const WidgetRect anchor = WidgetSnappedRect(c);
  const TextLineBox b = TextListLineBox(c, static_cast<std::uint32_t>(k));
  const float left = c.alignLeftOfAnchor[k] != 0 ? anchor.left - b.width : anchor.left;
  const WidgetRect r{left, anchor.top - b.height, left + b.width, anchor.top};

  BeginWidgetDraw();
  SetWidgetBlending(true);
  glDisable(GL_TEXTURE_2D);
  glColor4fv(c.backgroundColor);
  DrawPlainQuad(r);
  glColor3fv(c.lineColor);
  glBegin(GL_LINE_LOOP);
  glVertex2f(r.left, r.top);
  glVertex2f(r.right, r.top);
  glVertex2f(r.right, r.bottom);
  glVertex2f(r.left, r.bottom);
  glEnd();
  if (BindWidgetTexture(c.lineTexture)) {
    SetWidgetTextureBlend(WidgetBlend::kInkOfCoverage);
    glColor3fv(c.lineColor);
    DrawWidgetQuad(r, b.s0, b.t0, b.s1, b.t1);
  }
  EndWidgetDraw();
  HidePlane(c);
}

void GuiTextChoice::Draw() { DrawTextChoice(*this); }

}  // namespace veskor
