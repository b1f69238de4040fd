#include "gui/check_box.h"

#include <initializer_list>

#include "gui/image_button.h"
#include "gui/interface_images.h"
#include "gui/widget_drawing.h"
#include "gui/widget_textures.h"

namespace veskor {

namespace {

constexpr std::uint32_t kCheckBoxStyle = kPlaneBack | kPlaneAlwaysEnabled;

void ReleaseCheckBoxImages(GuiCheckBox& b) {
  ReleaseWidgetTextures({&b.hoverTexture, &b.normalTexture, &b.markTexture}, b.ownsTextures);
}

}  // namespace

GuiCheckBox::~GuiCheckBox() { ReleaseCheckBoxImages(*this); }

void SetCheckBoxImages(GuiCheckBox& box, GuiPlane* root, const WidgetEdge& left,
                       const WidgetEdge& top, const CheckBoxImages& images,
                       std::uint32_t initialValue, std::uint32_t (*onCheck)(),
                       std::uint32_t (*onUncheck)()) {
  ReleaseCheckBoxImages(box);
  box.boundValue = nullptr;
  box.onCheck = onCheck;
  box.onUncheck = onUncheck;
  box.hoverTexture = LoadWidgetImage(images.hoverColour, images.hoverMask, 4);
  box.normalTexture = LoadWidgetImage(images.normalColour, images.normalMask, 4);
  box.markTexture = LoadWidgetImage(images.markColour, images.markMask, 4);
  box.ownsTextures = 1;
  box.checked = initialValue;
  WidgetEdge right = left, bottom = top;
  right.pixels += static_cast<float>(1u << box.hoverTexture->pixels.log2Width);
  bottom.pixels += static_cast<float>(1u << box.hoverTexture->pixels.log2Height);
  ConfigureWidget(box, kCheckBoxStyle, left, top, right, bottom);
  box.root = root;
}

void SetCheckValue(GuiCheckBox& box, std::uint32_t value) {
  box.checked = value;
  if (box.boundValue != nullptr) *box.boundValue = value;
}

void RestoreCheckBoxTextures(GuiCheckBox& box) {
  if (box.ownsTextures != 0)
    RestoreWidgetTextures({box.hoverTexture, box.normalTexture, box.markTexture});
}

void DrawCheckBox(GuiCheckBox& b) {
  const WidgetRect r = WidgetSnappedRect(b);
  BeginWidgetDraw();
  SetWidgetBlending(true);
  DrawWidgetImage(b.highlighted != 0 ? b.hoverTexture : b.normalTexture, r);
  if (b.checked != 0) DrawWidgetImage(b.markTexture, r);
  DrawWidgetPopup(b);
  EndWidgetDraw();
}

void GuiCheckBox::Draw() { DrawCheckBox(*this); }

void GuiCheckBox::OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                                std::uint32_t extra) {
  GuiWidget::OnMouseButton(buttons, flags, x, y, extra);
  if (buttons == kButtonLeft) {
    std::uint32_t answer = extra;  // the frame loop always passes 0: no change
    if (onCheck != nullptr && checked == 0)
      answer = onCheck();
    else if (onUncheck != nullptr && checked != 0)
      answer = onUncheck();
    if (answer != 0) {
      checked = checked == 0 ? 1 : 0;
      if (boundValue != nullptr) *boundValue = checked;
    }
  }
  highlighted = 1;
}

void GuiCheckBox::OnMouseOver(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                              float localX, float localY) {
  GuiWidget::OnMouseOver(buttons, flags, x, y, localX, localY);
  highlighted = 1;
}

void GuiCheckBox::OnMouseLeave(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                               float localX, float localY) {
  GuiWidget::OnMouseLeave(buttons, flags, x, y, localX, localY);
  highlighted = 0;
}

std::uint32_t GuiCheckBox::ToLocal(float x, float y, float* localX, float* localY) {
  return ImageHitTest(*this, normalTexture, x, y, localX, localY);
}

}  // namespace veskor
