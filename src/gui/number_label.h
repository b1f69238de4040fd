// Numbers that change every frame (the frame rate, the focal angle), drawn without rendering
// text each time: a GdiTextImage renders the twelve characters a number needs ("0" to "9",
// "-" and ".") once into a one-channel texture, each centred in a cell of equal width, and a
// GuiTextLabel shows a float variable of the application as one textured quad per character.
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"
#include "gui/gui_widget.h"
#include "gui/text_bitmap.h"

namespace veskor {

// Glyph indices: 0 to 9 the digits, then these two.
inline constexpr std::uint8_t kGlyphMinus = 10;
inline constexpr std::uint8_t kGlyphPoint = 11;
inline constexpr std::uint32_t kGlyphCount = 12;
// The longest glyph sequence of a label: a sign, ten digits, the point and the decimals that
// fit; further decimals are not shown.
inline constexpr std::uint32_t kNumberGlyphCapacity = 32;

struct GdiTextImage {
  float cellU = 0.0f;      // a cell's width / the texture's
  float cellV = 0.0f;      // the glyph height / the texture's
  float cellWidth = 0.0f;  // pixels
  float cellHeight = 0.0f;
  Texture2D texture;              // coverage as alpha, one channel
  TextBitmap bitmap;              // holds a surface only while the glyphs are rendered
  std::uint32_t size = 0;         // points
  std::uint32_t cellPadding = 0;  // pixels added to each cell's width (half of it to the height)
};

// Renders the twelve glyphs, each the markup prefix followed by its character (so "\b\i" gives
// bold italic), in the face at `points`. A glyph bitmap that cannot be made ends the program
// with a message.
void RenderTextImage(GdiTextImage& image, const char* face, std::uint32_t points,
                     const char* markupPrefix, std::uint32_t padding);

// Gives the text bitmap `texture` in place of its own: a surface of the texture's size, all
// black, the texture's pixels zeroed. 1, or 0 when the surface cannot be made.
std::uint32_t AttachTextBitmapTexture(TextBitmap& bitmap, Texture2D& texture);

// After the texture names were renewed: a fresh name for the glyph texture, which is bound
// once so that it uploads again.
void RestoreTextImage(GdiTextImage& image);

class GuiTextLabel : public GuiWidget {
 public:
  GuiTextLabel() = default;

  void Draw() override;

  GdiTextImage* glyphs = nullptr;
  const float* value = nullptr;  // read at every draw
  std::uint32_t charCount = 0;   // the label is as many cells wide
  std::uint32_t decimals = 0;    // 0: no point
  float color[4] = {};
  std::uint32_t alignRight = 0;  // the text in the rightmost cells
};

struct TextLabelFormat {
  std::uint32_t charCount;
  std::uint32_t decimals;
  float color[4];
  std::uint32_t alignRight;
};

// Stores the image, variable and format and places the label by its top-left corner, as large
// as `charCount` cells of the image: a back child that stays enabled (style 24).
void SetupTextLabel(GuiTextLabel& label, GuiPlane* root, GdiTextImage& image,
                    const WidgetEdge& left, const WidgetEdge& top, const TextLabelFormat& format,
                    const float* value);

// The glyphs showing `value` with `decimals` digits after the point, truncated: a minus for
// a negative value, the integer part (the value held within the unsigned 32-bit range, a
// value that is not a number as 0), then the point and the decimals. Returns their count.
std::uint32_t NumberGlyphs(float value, std::uint32_t decimals,
                           std::uint8_t (&glyphs)[kNumberGlyphCapacity]);

void DrawNumberLabel(GuiTextLabel& label);

}  // namespace veskor
