// GuiTextChoice: a text list that never shows as a list. It draws its current line as a small
// boxed tag beside an anchor point (the widget's left and top edges) and hides itself right
// after drawing, so the owner shows it, with the line and anchor it wants, in every frame the
// tag is to be seen (the application's hint that follows the pointer).
#pragma once

#include <cstdint>

#include "gui/text_list.h"

namespace veskor {

class GuiTextChoice : public GuiTextList {
 public:
  GuiTextChoice() = default;

  void Draw() override;

  std::int32_t currentLine = 1;
  // Per line: non-zero ends the tag at the anchor, zero starts it there.
  std::uint32_t alignLeftOfAnchor[kTextListLineCapacity] = {};
};

// SetTextLines with every edge 0 and the text colour for both layers; the current line 1 and
// the first `count` alignment entries (none for a null table).
void SetupTextChoice(GuiTextChoice& choice, GuiPlane* root, const char* const* lines,
                     const std::uint32_t* alignLeft, std::uint32_t count,
                     const float (&background)[4], const float (&text)[3]);

// The tag: its bottom on the anchor, as large as the line in the texture. A current line that
// is not a line draws nothing and leaves the plane shown; otherwise the plane hides itself.
void DrawTextChoice(GuiTextChoice& choice);

}  // namespace veskor
