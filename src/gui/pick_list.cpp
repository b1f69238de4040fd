#include "gui/pick_list.h"

#include <algorithm>

#include "gui/widget_drawing.h"
#include "platform/gl.h"

namespace veskor {

GuiPickList* PickListSender = nullptr;
GuiPickList* ChoiceDoneSender = nullptr;

namespace {

bool IsLine(const GuiTextList& list, std::int32_t line) {
  return line >= 0 && static_cast<std::uint32_t>(line) < list.lineCount;
}

// Hides the list when it is shown.
void CloseList(GuiPickList& list) { HidePlane(list); }

}  // namespace

void SetupPickList(GuiPickList& list, GuiPlane* root, const WidgetEdge& left, const WidgetEdge& top,
                   const char* const* lines, std::uint32_t count, const TextListColours& colours,
                   const float (&highlightColor)[4], std::int32_t (*onRelease)(std::int32_t),
                   void (*onLeave)(), Texture2D* highlightTexture) {
  SetTextLines(list, root, left, top, lines, count, colours);
  std::copy(highlightColor, highlightColor + 4, list.highlightColor);
  list.onRelease = onRelease;
  list.onLeave = onLeave;
  list.highlightTexture = highlightTexture;
  list.hoveredLine = -1;
}

std::int32_t PickListLineAt(const GuiPickList& list, float lx, float ly) {
  if (!(lx > 0.0f && lx < 1.0f)) return -1;
  for (std::uint32_t k = 1; k <= list.lineCount; ++k) {
    if (ly < list.lineBounds[k - 1]) continue;
    if (ly <= list.lineBounds[k])
      return list.selectable[k - 1] != 0 ? static_cast<std::int32_t>(k - 1) : -1;
  }
  return -1;
}

void GuiPickList::OnMouseButton(std::uint32_t buttons, std::uint32_t, float, float, std::uint32_t) {
  if (buttons != 0 || onRelease == nullptr) return;
  PickListSender = this;
  onRelease(hoveredLine);
}

void GuiPickList::OnMouseOver(std::uint32_t, std::uint32_t, float, float, float localX,
                              float localY) {
  hoveredLine = PickListLineAt(*this, localX, localY);
}

void GuiPickList::OnMouseLeave(std::uint32_t, std::uint32_t, float, float, float, float) {
  hoveredLine = -1;
  ChoiceDoneSender = this;
  if (onLeave != nullptr) onLeave();
}

std::uint32_t GuiPickList::ToLocal(float x, float y, float* localX, float* localY) {
  return RotatedPlaneBounds(*this, x, y, localX, localY);
}

void DrawPickList(GuiPickList& l) {
  const WidgetRect r = WidgetSnappedRect(l);
  DrawTextListBackground(l, r);
  const std::int32_t k = l.hoveredLine;
  if (IsLine(l, k)) {
    const float h = r.bottom - r.top;
    const WidgetRect band{r.left + kPickListHighlightInset, r.top + h * l.lineBounds[k],
                          r.right - kPickListHighlightInset, r.top + h * l.lineBounds[k + 1]};
    // Binding sets the colour to white: the highlight colour comes after it.
    if (l.highlightTexture != nullptr && BindWidgetTexture(*l.highlightTexture)) {
      SetWidgetTextureBlend(WidgetBlend::kModulate);
      glColor4fv(l.highlightColor);
      DrawWidgetQuad(band, 0.0f, 0.0f, 1.0f, 1.0f);
    } else {
      glColor4fv(l.highlightColor);
      DrawPlainQuad(band);
    }
  }
  DrawTextListLayers(l, r);
  EndWidgetDraw();
}

void GuiPickList::Draw() { DrawPickList(*this); }

void PlaceDropList(GuiDropList& drop, std::int32_t line) {
  GuiPickList& list = drop.list;
  const WidgetRect r = WidgetSnappedRect(list);
  const float down = (r.bottom - r.top) * (IsLine(list, line) ? list.lineBounds[line] : 0.0f);
  WidgetEdge size[2];  // the kept widths and heights, measure by measure
  for (std::uint32_t axis = 0; axis < 2; ++axis) {
    const std::uint32_t from = axis, to = axis + 2;
    size[axis] = {list.edgeOffset[to] - list.edgeOffset[from],
                  list.edgeFraction[to] - list.edgeFraction[from],
                  list.edgePixels[to] - list.edgePixels[from],
                  list.edgeDesign[to] - list.edgeDesign[from]};
  }
  const WidgetEdge left = GetLeftEdge(drop);
  WidgetEdge top = GetTopEdge(drop);
  top.offset -= down;
  auto plus = [](const WidgetEdge& e, const WidgetEdge& d) {
    return WidgetEdge{e.offset + d.offset, e.fraction + d.fraction, e.pixels + d.pixels,
                      e.design + d.design};
  };
  SetLeftEdge(list, left);
  SetTopEdge(list, top);
  SetRightEdge(list, plus(left, size[0]));
  SetBottomEdge(list, plus(top, size[1]));
}

void DrawDropList(GuiDropList& d) {
  GuiPickList& list = d.list;
  if (d.attachPending != 0 && d.parent != nullptr) {
    AddChildPlane(*d.parent, list);
    d.attachPending = 0;
    PlaceDropList(d, ChosenIndex);
  }
  if (ChoiceChanged != 0 && PickListSender == &list) {
    ChoiceChanged = 0;
    CloseList(list);
    if (ChosenIndex != -1) {  // a release on no line keeps the old choice
      d.selected = ChosenIndex;
      PlaceDropList(d, ChosenIndex);
      if (d.onChoice != nullptr) d.onChoice(ChosenIndex);
    }
  }
  if (ChoiceDoneFlag != 0 && ChoiceDoneSender == &list) {
    ChoiceDoneFlag = 0;
    CloseList(list);
  }

  const WidgetRect r = WidgetSnappedRect(d);
  BeginWidgetDraw();
  SetWidgetBlending(true);
  glDisable(GL_TEXTURE_2D);
  glColor4fv(d.boxColor);
  DrawPlainQuad(r);
  if (IsLine(list, d.selected) && list.selectable[d.selected] != 0 &&
      BindWidgetTexture(list.lineTexture)) {
    const TextLineBox b = TextListLineBox(list, static_cast<std::uint32_t>(d.selected));
    const float x = (r.left + r.right - b.width) * 0.5f;
    const float y = (r.top + r.bottom - b.height) * 0.5f;
    SetWidgetTextureBlend(WidgetBlend::kInkOfCoverage);
    glColor3fv(list.highlightColor);
    DrawWidgetQuad({x, y, x + b.width, y + b.height}, b.s0, b.t0, b.s1, b.t1);
  }
  EndWidgetDraw();
}

void GuiDropList::Draw() { DrawDropList(*this); }

void GuiDropList::OnMouseButton(std::uint32_t buttons, std::uint32_t, float, float, std::uint32_t) {
  if (buttons == kButtonLeft && list.hidden != 0) ShowPlane(list);
}

}  // namespace veskor
