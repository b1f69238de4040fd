// GuiTextList: a block of up to 32 interface text lines (with their backslash markup) drawn
// once into two one-channel textures, ordinary lines in one and titles with their rules in the
// other, then shown every frame as two quads in their own colours over a background. A line
// that starts with a backslash and "t" is a title: at the left margin, without those two
// characters, followed by a horizontal rule. The list is as large as its text, one texel a
// pixel, and keeps the bounds of every line and the box of every ordinary one for the lists
// built on it (pick lists, text choices). The information panel is one.
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"
#include "gui/gui_widget.h"
#include "gui/text_bitmap.h"

namespace veskor {

// More lines, and longer ones, are cut.
inline constexpr std::uint32_t kTextListLineCapacity = 32;
inline constexpr std::uint32_t kTextListLineChars = 255;

// The layout in pixels: the font, the margins and the spacing of the lines.
inline constexpr const char* kTextListFace = "arial";
inline constexpr std::uint32_t kTextListPoints = 10;
inline constexpr std::uint32_t kTextListTop = 10;         // the first line's pen y
inline constexpr std::uint32_t kTextListLineX = 20;       // ordinary lines' pen x and margin
inline constexpr std::uint32_t kTextListTitleX = 10;      // titles' pen x
inline constexpr std::uint32_t kTextListLineGap = 6;      // below an ordinary line
inline constexpr std::uint32_t kTextListFirstTitle = 22;  // the advance of a title on line 0
inline constexpr std::uint32_t kTextListTitle = 30;       // of any later title

struct TextListColours {
  float background[4];  // RGBA
  float line[3];
  float title[3];
};

class GuiTextList : public GuiWidget {
 public:
  GuiTextList() = default;

  void Draw() override;
  void OnMouseDrag(std::uint32_t, std::uint32_t, float, float, float, float,
                   std::uint32_t) override {}  // never moved
  void OnMouseButton(std::uint32_t, std::uint32_t, float, float, std::uint32_t) override {}

  Texture2D lineTexture;   // the ordinary lines
  Texture2D titleTexture;  // the titles and their rules; the same size
  float backgroundColor[4] = {};
  float lineColor[3] = {};
  float titleColor[3] = {};
  char lines[kTextListLineCapacity][kTextListLineChars + 1] = {};  // titles without "\t"
  std::uint32_t lineCount = 0;
  std::uint32_t textWidth = 0;  // the text block in pixels
  std::uint32_t textHeight = 0;
  // The top of each line as a fraction of textHeight; entry k + 1 is the bottom of line k.
  float lineBounds[kTextListLineCapacity + 1] = {};
  // The box of each ordinary line in texture coordinates (titles keep none).
  float lineBoxLeft[kTextListLineCapacity] = {};
  float lineBoxRight[kTextListLineCapacity] = {};
  float lineBoxTop[kTextListLineCapacity] = {};
  float lineBoxBottom[kTextListLineCapacity] = {};
  float usedS = 0.0f;                                    // textWidth / texture width
  float usedT = 0.0f;                                    // textHeight / texture height
  std::uint32_t selectable[kTextListLineCapacity] = {};  // 1 for an ordinary line
  TextBitmap textBitmap;  // declared after the textures, so released before them
};

// Stores the colours, lays the lines out and draws them, and places the list by its top-left
// corner as a front child that stays enabled (style 20), as large as its text in pixels.
void SetTextLines(GuiTextList& list, GuiPlane* root, const WidgetEdge& left, const WidgetEdge& top,
                  const char* const* lines, std::uint32_t count, const TextListColours& colours);

// New texts for a list already set up (the interface language changed): its colours, style
// and top-left corner stay, its size follows the new text.
void SetTextLinesTable(GuiTextList& list, const char* const* lines, std::uint32_t count);

// After the texture names were renewed: fresh names for both textures, bound once so that
// they upload again.
void RestoreTextListTextures(GuiTextList& list);

// The box of an ordinary line in the line texture, and its size on screen (one texel a
// pixel), for the lists that show a single line (drop lists, text choices).
struct TextLineBox {
  float s0, t0, s1, t1;
  float width, height;  // GUI units
};
TextLineBox TextListLineBox(const GuiTextList& list, std::uint32_t line);

void DrawTextList(GuiTextList& list);
// Its two halves, for the lists that draw between them (the pick list's highlight): the widget
// GL state with blending and the background quad; the two text layers in their colours.
void DrawTextListBackground(GuiTextList& list, const WidgetRect& rect);
void DrawTextListLayers(GuiTextList& list, const WidgetRect& rect);

}  // namespace veskor
