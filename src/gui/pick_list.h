// GuiPickList: a text list whose lines are chosen with the mouse. The line under the pointer
// is highlighted (titles never are) and a release reports that line, or -1, through a
// callback. GuiDropList: a box showing the chosen line of a pick list it holds; a left press
// opens the list beside the box, placed so that the chosen line lies on it, and the list
// closes again when it reports a choice or the pointer leaves it.
//
// The lists talk to their drop list through the choice globals of gui_widget.h (ChosenIndex,
// ChoiceChanged, ChoiceDoneFlag, raised by ChoiceSelected and ChoiceDone) and the senders
// below; the language screen of the application reads them too.
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"
#include "gui/text_list.h"

namespace veskor {

// The highlight quad stops this far (GUI units) short of the list's left and right sides.
inline constexpr float kPickListHighlightInset = 0.005f;

class GuiPickList : public GuiTextList {
 public:
  GuiPickList() = default;

  void Draw() override;
  void OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                     std::uint32_t extra) override;
  void OnMouseOver(std::uint32_t buttons, std::uint32_t flags, float x, float y, float localX,
                   float localY) override;
  void OnMouseLeave(std::uint32_t buttons, std::uint32_t flags, float x, float y, float localX,
                    float localY) override;
  // Inside whenever the point lies between the list's left and right sides: the vertical
  // position is the lines' business.
  std::uint32_t ToLocal(float x, float y, float* localX, float* localY) override;

  Texture2D* highlightTexture = nullptr;  // laid under the hovered line; not owned
  float highlightColor[4] = {};
  std::int32_t (*onRelease)(std::int32_t line) = nullptr;  // the result is not used
  void (*onLeave)() = nullptr;
  std::int32_t hoveredLine = -1;
};

// The list whose release callback ran last, and the list whose leave callback ran last (so
// that a drop list takes only its own list's "done").
extern GuiPickList* PickListSender;
extern GuiPickList* ChoiceDoneSender;

// SetTextLines, then the highlight colour, the callbacks and the highlight texture; nothing is
// highlighted.
void SetupPickList(GuiPickList& list, GuiPlane* root, const WidgetEdge& left, const WidgetEdge& top,
                   const char* const* lines, std::uint32_t count, const TextListColours& colours,
                   const float (&highlightColor)[4], std::int32_t (*onRelease)(std::int32_t),
                   void (*onLeave)(), Texture2D* highlightTexture);

// The line at local height `ly` (the first line whose closed bounds hold it: a point on a
// boundary belongs to the upper line) when 0 < lx < 1 and it is selectable, else -1.
std::int32_t PickListLineAt(const GuiPickList& list, float lx, float ly);

void DrawPickList(GuiPickList& list);

// The owner sets `list` up (ChoiceSelected and ChoiceDone as its callbacks) and hides it,
// configures the box, sets boxColor, onChoice, selected and ChosenIndex, and attaches the drop
// list; the first draw attaches `list` beside the box, to the same parent.
class GuiDropList : public GuiWidget {
 public:
  GuiDropList() = default;

  void Draw() override;
  void OnMouseDrag(std::uint32_t, std::uint32_t, float, float, float, float,
                   std::uint32_t) override {}
  void OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                     std::uint32_t extra) override;

  GuiPickList list;
  std::int32_t selected = 0;  // the line shown in the box; -1 none
  std::uint32_t attachPending = 1;
  float boxColor[4] = {};
  void (*onChoice)(std::int32_t line) = nullptr;
};

// Moves `list` so that its line `line` lies on the box: its left side on the box's left, the
// top of that line on the box's top, its size kept. A line outside the list puts the list's
// top on the box's. The edges take effect at the next layout pass.
void PlaceDropList(GuiDropList& drop, std::int32_t line);

void DrawDropList(GuiDropList& drop);

}  // namespace veskor
