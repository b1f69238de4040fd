// GuiCheckBox: a two-state toggle drawn from three pictures, each a colour PNG with a mask: a
// normal picture, a hover picture shown while the pointer is over the box or it is held, and
// a mark laid over either while the box is checked. A left press asks the application first:
// the check or uncheck callback must answer non-zero for the value to flip. The value may be
// mirrored into a variable of the application. The box answers the mouse only where the
// normal picture is opaque, as buttons do (ImageHitTest).
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"
#include "gui/gui_widget.h"

namespace veskor {

class GuiCheckBox : public GuiWidget {
 public:
  GuiCheckBox() = default;
  ~GuiCheckBox() override;

  void Draw() override;
  void OnMouseDrag(std::uint32_t, std::uint32_t, float, float, float, float,
                   std::uint32_t) override {
    highlighted = 1;  // never moved
  }
  void OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                     std::uint32_t extra) override;
  void OnMouseOver(std::uint32_t buttons, std::uint32_t flags, float x, float y, float localX,
                   float localY) override;
  void OnMouseLeave(std::uint32_t buttons, std::uint32_t flags, float x, float y, float localX,
                    float localY) override;
  std::uint32_t ToLocal(float x, float y, float* localX, float* localY) override;

  Texture2D* hoverTexture = nullptr;  // its size is the box's
  Texture2D* normalTexture = nullptr;
  Texture2D* markTexture = nullptr;
  std::uint32_t ownsTextures = 0;
  std::uint32_t (*onCheck)() = nullptr;  // non-zero allows the change
  std::uint32_t (*onUncheck)() = nullptr;
  std::uint32_t* boundValue = nullptr;  // receives the value at every change
  std::uint32_t highlighted = 0;
  std::uint32_t checked = 0;
};

struct CheckBoxImages {
  const char *normalColour, *normalMask;
  const char *hoverColour, *hoverMask;
  const char *markColour, *markMask;
};

// Loads the three pictures (hover, normal, mark) by bare file names, sets the value without
// writing any variable (boundValue is cleared: the owner binds it after) and places the box by
// its top-left corner, as large as the hover texture in pixels: a back child that stays
// enabled (style 24). Pictures it owned before are released.
void SetCheckBoxImages(GuiCheckBox& box, GuiPlane* root, const WidgetEdge& left,
                       const WidgetEdge& top, const CheckBoxImages& images,
                       std::uint32_t initialValue, std::uint32_t (*onCheck)(),
                       std::uint32_t (*onUncheck)());

// Sets the value and the bound variable; no callback runs.
void SetCheckValue(GuiCheckBox& box, std::uint32_t value);

// After the texture names were renewed: the owning box's textures take fresh names and upload
// again.
void RestoreCheckBoxTextures(GuiCheckBox& box);

void DrawCheckBox(GuiCheckBox& box);

}  // namespace veskor
