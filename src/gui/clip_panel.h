// GuiClipPanel: an image panel that confines the drawing of its whole subtree to its own
// rectangle with the scissor test and outlines itself with a thin black frame, so that its
// children can slide in and out of it (the welcome pages). A press with the left button calls
// its own callback.
#pragma once

#include <cstdint>

#include "gui/image_panel.h"

namespace veskor {

// A scissor box in window pixels, GL's y pointing up.
struct ScissorBox {
  std::int32_t x, y, width, height;
};

class GuiClipPanel : public GuiImagePanel {
 public:
  GuiClipPanel() = default;

  void BeginDraw() override;  // ClipPanelBegin
  void EndDraw() override;    // ClipPanelEnd
  void OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                     std::uint32_t extra) override;

  void (*ownerCallback)() = nullptr;  // kept for the application, never called here
  void (*onLeftPress)() = nullptr;    // any press with the left button among those held

  // The scissor state found by ClipPanelBegin, given back by ClipPanelEnd.
  std::uint32_t outerScissor = 0;
  ScissorBox outerBox{};
};

// The panel's rectangle in window pixels: x = trunc(L W), y = trunc((1 - B) H) + 1,
// width = trunc((R - L) W), height = trunc((B - T) H) + 1, for a window of W x H pixels.
ScissorBox ClipPanelBox(GuiClipPanel& panel);

// Scissor test on with the panel's box, cut to the box of an enclosing clip panel.
void ClipPanelBegin(GuiClipPanel& panel);
// The enclosing scissor state back (off outside every clip panel), then the frame: black
// lines along the four sides with the alpha of the panel's colour.
void ClipPanelEnd(GuiClipPanel& panel);

}  // namespace veskor
