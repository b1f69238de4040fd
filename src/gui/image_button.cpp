#include "gui/image_button.h"

#include <initializer_list>

#include "gfx/png_texture.h"
#include "gui/interface_images.h"
#include "gui/widget_drawing.h"
#include "gui/widget_textures.h"

namespace veskor {

namespace {

constexpr std::uint32_t kButtonStyle = kPlaneBack | kPlaneAlwaysEnabled;

void ReleaseButtonImages(GuiImageButton& b) {
  ReleaseWidgetTextures({&b.hoverImage, &b.normalImage}, b.ownsImages);
}

// The rectangle is the hover texture's (padded) size, from the top-left corner.
void PlaceOnImage(GuiImageButton& b, GuiPlane* root, const WidgetEdge& left, const WidgetEdge& top,
                  const ButtonCallbacks& callbacks) {
  b.onHover = callbacks.hover;
  b.onLeave = callbacks.leave;
  b.onPress = callbacks.press;
  b.onRelease = callbacks.release;
  WidgetEdge right = left, bottom = top;
  if (b.hoverImage != nullptr) {
    right.pixels += static_cast<float>(1u << b.hoverImage->pixels.log2Width);
    bottom.pixels += static_cast<float>(1u << b.hoverImage->pixels.log2Height);
  }
  ConfigureWidget(b, kButtonStyle, left, top, right, bottom);
  b.root = root;
}

}  // namespace

GuiImageButton::~GuiImageButton() { ReleaseButtonImages(*this); }

void SetButtonImages(GuiImageButton& button, GuiPlane* root, const WidgetEdge& left,
                     const WidgetEdge& top, const char* hoverColour, const char* hoverMask,
                     const char* normalColour, const char* normalMask,
                     const ButtonCallbacks& callbacks) {
  ReleaseButtonImages(button);
  button.hoverImage = LoadWidgetImage(hoverColour, hoverMask, 4);
  button.normalImage = LoadWidgetImage(normalColour, normalMask, 4);
  button.ownsImages = 1;
  PlaceOnImage(button, root, left, top, callbacks);
}

void PlaceButton(GuiImageButton& button, GuiPlane* root, const WidgetEdge& left,
                 const WidgetEdge& top, GuiImageButton& other, const ButtonCallbacks& callbacks) {
  if (&other != &button) {
    ReleaseButtonImages(button);
    button.hoverImage = other.hoverImage;
    button.normalImage = other.normalImage;
  }
  PlaceOnImage(button, root, left, top, callbacks);
}

void RestoreButtonTextures(GuiImageButton& button) {
  if (button.ownsImages == 0) return;
  for (Texture2D* image : {button.hoverImage, button.normalImage})
    if (image != nullptr) Texture2DRenewName(*image);
}

void DrawImageButton(GuiImageButton& b) {
  Texture2D* image = b.hovered != 0 && b.muted == 0 ? b.hoverImage : b.normalImage;
  if (image == nullptr) return;
  const WidgetRect r = WidgetSnappedRect(b);
  BeginWidgetDraw();
  SetWidgetBlending(true);
  DrawWidgetImage(image, r);
  DrawWidgetPopup(b);
  EndWidgetDraw();
}

void GuiImageButton::Draw() { DrawImageButton(*this); }

void GuiImageButton::OnMouseDrag(std::uint32_t, std::uint32_t, float, float, float, float,
                                 std::uint32_t) {
  hovered = 1;  // never moved
}

void GuiImageButton::OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                                   std::uint32_t extra) {
  GuiWidget::OnMouseButton(buttons, flags, x, y, extra);
  if (muted == 0) {
    if (buttons == kButtonLeft && onPress != nullptr) onPress();
    if (buttons == 0 && onRelease != nullptr) onRelease();
  }
  hovered = 1;
}

void GuiImageButton::OnMouseOver(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                                 float localX, float localY) {
  GuiWidget::OnMouseOver(buttons, flags, x, y, localX, localY);
  if (muted == 0 && onHover != nullptr) onHover();
  hovered = 1;
}

void GuiImageButton::OnMouseLeave(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                                  float localX, float localY) {
  GuiWidget::OnMouseLeave(buttons, flags, x, y, localX, localY);
  if (muted == 0 && onLeave != nullptr) onLeave();
  hovered = 0;
}

std::uint32_t GuiImageButton::ToLocal(float x, float y, float* localX, float* localY) {
  return ImageHitTest(*this, normalImage, x, y, localX, localY);
}

// The texel is the one under the point in the whole image, so that a widget its parent clips
// still tests the alpha it shows there.
std::uint32_t ImageHitTest(GuiWidget& widget, const Texture2D* image, float x, float y,
                           float* localX, float* localY) {
  if (widget.GuiWidget::ToLocal(x, y, localX, localY) == 0) return 0;
  if (image == nullptr || image->pixels.data == nullptr) return 0;
  if (image->pixels.channels < 4) return 1;  // no alpha: opaque
  const WidgetRect r = WidgetSnappedRect(widget);
  const std::uint32_t column =
      WidgetTexelIndex((x - r.left) / (r.right - r.left), image->pixels.log2Width);
  const std::uint32_t row =
      WidgetTexelIndex((y - r.top) / (r.bottom - r.top), image->pixels.log2Height);
  return TexelAddress(*image, column, row)[3] > kButtonAlphaThreshold ? 1 : 0;
}

}  // namespace veskor
