// GuiTextView: a widget that shows the text of its TextBitmap over a coloured background, one
// texel per window pixel from its top-left corner. When the text is larger than the view, the
// view shows a window of it that scrolls by dragging or by setting the scroll offsets, clamped
// when drawn. The text may blink. The application draws into `textBitmap` (bound to
// `textTexture`) and sets the colours, the content extent and the offsets directly; the five
// views of the interface include the status line and the log.
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"
#include "gui/gui_widget.h"
#include "gui/text_bitmap.h"

namespace veskor {

inline constexpr float kBlinkDimAlpha = 0.2f;  // the text's alpha in the first half second

class GuiTextView : public GuiWidget {
 public:
  GuiTextView() = default;

  void BeginDraw() override;  // a fresh font for each frame's texts
  void Draw() override;
  void EndDraw() override;  // what changed in the bitmap goes into the texture
  void OnMouseDrag(std::uint32_t buttons, std::uint32_t flags, float x, float y, float pressX,
                   float pressY, std::uint32_t inside) override;
  void OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                     std::uint32_t extra) override;

  float backgroundColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  Texture2D textTexture;  // one channel, the text's coverage
  // The extent of the text drawn and the scroll offsets, as fractions of the text texture.
  float contentWidth = 0.0f;
  float contentHeight = 0.0f;
  float scrollX = 0.0f;
  float scrollY = 0.0f;
  float textColor[3] = {1.0f, 1.0f, 1.0f};
  TextBitmap textBitmap;      // declared after its texture, so released before it
  float lastPointerX = 0.0f;  // GUI units, at the last button event and while dragging
  float lastPointerY = 0.0f;
  std::uint32_t blink = 0;
};

// What a view shows: the visible part of the text in window space and its texture
// coordinates, the scroll offsets applied (and clamped, and stored back) where the text is
// larger than the view.
struct TextViewWindow {
  WidgetRect view;     // the background, without inset and polar offset
  WidgetRect visible;  // the text quad
  float s0, t0, s1, t1;
};
TextViewWindow TextViewLayout(GuiTextView& view);

// Draws the view with the blink phase of the time `now` (seconds); Draw uses NowSeconds.
void DrawTextView(GuiTextView& view, double now);

}  // namespace veskor
