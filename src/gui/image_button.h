// GuiImageButton: the interface's push button. It is drawn as its normal image, or its hover
// image while the pointer is over it, each a colour PNG with a separate mask PNG; it is as
// large as its image in window pixels and answers the mouse only where the normal image is
// opaque. Hover, leave, press and release reach the application through four callbacks; a
// muted button draws its normal image and calls none of them. A button can show the images
// of another one.
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"
#include "gui/gui_widget.h"

namespace veskor {

// A texel whose alpha is at most this is not part of the button.
inline constexpr std::uint8_t kButtonAlphaThreshold = 4;

class GuiImageButton : public GuiWidget {
 public:
  GuiImageButton() = default;
  ~GuiImageButton() override;

  void Draw() override;
  void OnMouseDrag(std::uint32_t buttons, std::uint32_t flags, float x, float y, float pressX,
                   float pressY, std::uint32_t inside) override;
  void OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                     std::uint32_t extra) override;
  void OnMouseOver(std::uint32_t buttons, std::uint32_t flags, float x, float y, float localX,
                   float localY) override;
  void OnMouseLeave(std::uint32_t buttons, std::uint32_t flags, float x, float y, float localX,
                    float localY) override;
  std::uint32_t ToLocal(float x, float y, float* localX, float* localY) override;

  Texture2D* hoverImage = nullptr;
  Texture2D* normalImage = nullptr;  // its alpha decides hits
  std::uint32_t ownsImages = 0;      // the button made both textures and releases them
  void (*onHover)() = nullptr;       // every frame the pointer is over the button
  void (*onLeave)() = nullptr;
  void (*onPress)() = nullptr;    // a press with the left button alone
  void (*onRelease)() = nullptr;  // all buttons up again
  std::uint32_t hovered = 0;
  std::uint32_t muted = 0;  // set by the application: normal image, no callbacks
};

struct ButtonCallbacks {
  void (*hover)() = nullptr;
  void (*leave)() = nullptr;
  void (*press)() = nullptr;
  void (*release)() = nullptr;
};

// Loads the hover and normal images (colour and mask files by bare name) and places the button
// by its top-left corner, its size that of the hover texture in pixels: a back child that stays
// enabled (style 24). Images the button owned before are released first.
void SetButtonImages(GuiImageButton& button, GuiPlane* root, const WidgetEdge& left,
                     const WidgetEdge& top, const char* hoverColour, const char* hoverMask,
                     const char* normalColour, const char* normalMask,
                     const ButtonCallbacks& callbacks);

// A button that shows the images of `other`, placed and sized as SetButtonImages does.
void PlaceButton(GuiImageButton& button, GuiPlane* root, const WidgetEdge& left,
                 const WidgetEdge& top, GuiImageButton& other, const ButtonCallbacks& callbacks);

// After the texture names were renewed: a button that owns its images renews both names, so
// that they upload again at the next bind. A sharing button does nothing.
void RestoreButtonTextures(GuiImageButton& button);

void DrawImageButton(GuiImageButton& button);

// The hit test of widgets shaped by a picture (buttons, check boxes): inside the widget's
// clipped rectangle and over a texel of `image` whose alpha exceeds kButtonAlphaThreshold (an
// image without alpha is opaque; no image is never hit).
std::uint32_t ImageHitTest(GuiWidget& widget, const Texture2D* image, float x, float y,
                           float* localX, float* localY);

}  // namespace veskor
