#include "gui/image_panel.h"

#include "gui/interface_images.h"
#include "gui/widget_drawing.h"
#include "gui/widget_textures.h"
#include "platform/gl.h"

namespace veskor {

namespace {

constexpr std::uint32_t kPanelStyle = kPlaneBack | kPlaneAlwaysEnabled;

void SetOpaqueWhite(GuiImagePanel& p) {
  for (float& c : p.color) c = 1.0f;
}

// The loaders' common steps; null right and bottom edges take the picture's size.
void LoadPanel(GuiImagePanel& p, GuiPlane* root, const WidgetEdge& left, const WidgetEdge& top,
               const WidgetEdge* right, const WidgetEdge* bottom, const char* colourFile,
               const char* maskFile) {
  p.root = root;  // until ConfigureWidget's first call clears it; attaching sets it
  p.onPress = nullptr;
  ReleasePanelTextures(p);
  Texture2D* texture = NewInterfaceTexture();
  p.texture = texture;
  p.ownsTexture = 1;
  const InterfaceImageFit fit =
      LoadInterfaceImage(*texture, colourFile, maskFile, 3, "Cannot find file");
  p.uScale = fit.uScale;
  p.vScale = fit.vScale;
  Texture2DSetFilter(*texture, p.mipmapped != 0 ? kFilterTrilinear : kFilterNearest);
  Texture2DSetWrap(*texture, 0);
  Texture2DBind(*texture, 0, 0);
  WidgetEdge pictureRight = left, pictureBottom = top;
  pictureRight.pixels += static_cast<float>(fit.width);
  pictureBottom.pixels += static_cast<float>(fit.height);
  ConfigureWidget(p, kPanelStyle, left, top, right != nullptr ? *right : pictureRight,
                  bottom != nullptr ? *bottom : pictureBottom);
  SetOpaqueWhite(p);
}

}  // namespace

GuiImagePanel::~GuiImagePanel() { ReleasePanelTextures(*this); }

void LoadPanelImageWithMask(GuiImagePanel& panel, GuiPlane* root, const WidgetEdge& left,
                            const WidgetEdge& top, const char* colourFile, const char* maskFile) {
  LoadPanel(panel, root, left, top, nullptr, nullptr, colourFile, maskFile);
}

void LoadPanelImage(GuiImagePanel& panel, GuiPlane* root, const WidgetEdge& left,
                    const WidgetEdge& top, const char* file) {
  LoadPanel(panel, root, left, top, nullptr, nullptr, file, nullptr);
}

void LoadPanelImageAlt(GuiImagePanel& panel, GuiPlane* root, const WidgetEdge& left,
                       const WidgetEdge& top, const WidgetEdge& right, const WidgetEdge& bottom,
                       const char* file) {
  LoadPanel(panel, root, left, top, &right, &bottom, file, nullptr);
}

void LoadPanelImageWithMaskAlt(GuiImagePanel& panel, GuiPlane* root, const WidgetEdge& left,
                               const WidgetEdge& top, const WidgetEdge& right,
                               const WidgetEdge& bottom, const char* colourFile,
                               const char* maskFile) {
  LoadPanel(panel, root, left, top, &right, &bottom, colourFile, maskFile);
}

void ConfigurePanel(GuiImagePanel& panel, GuiPlane* root, const WidgetEdge& left,
                    const WidgetEdge& top, const WidgetEdge& right, const WidgetEdge& bottom,
                    Texture2D* texture, float uScale, float vScale) {
  // The panel's own texture stays its own; any other it owned goes.
  const std::uint32_t keeps = panel.ownsTexture != 0 && panel.texture == texture ? 1 : 0;
  if (keeps == 0) ReleasePanelTextures(panel);
  panel.root = root;
  panel.texture = texture;
  panel.uScale = uScale;
  panel.vScale = vScale;
  panel.onPress = nullptr;
  panel.ownsTexture = keeps;
  ConfigureWidget(panel, kPanelStyle, left, top, right, bottom);
  SetOpaqueWhite(panel);
}

void ReleasePanelTextures(GuiImagePanel& panel) {
  ReleaseWidgetTextures({&panel.texture}, panel.ownsTexture);
  SetOpaqueWhite(panel);
}

void RestorePanelTextures(GuiImagePanel& panel) { RestoreWidgetTextures({panel.texture}); }

void DrawImagePanel(GuiImagePanel& p) {
  const WidgetRect r = WidgetSnappedRect(p);
  BeginWidgetDraw();
  const bool translucent = p.color[3] < 1.0f;
  if (p.texture != nullptr && BindWidgetTexture(*p.texture)) {
    SetWidgetBlending(p.texture->pixels.channels == 4 || translucent);
    SetWidgetTextureBlend(WidgetBlend::kModulate);
    glColor4fv(p.color);
    DrawWidgetQuad(r, 0.0f, 0.0f, p.uScale, p.vScale);
  } else {
    SetWidgetBlending(translucent);
    glColor4fv(p.color);
    DrawPlainQuad(r);
  }
  DrawWidgetPopup(p);
  EndWidgetDraw();
}

void GuiImagePanel::Draw() { DrawImagePanel(*this); }

void GuiImagePanel::OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                                  std::uint32_t extra) {
  GuiWidget::OnMouseButton(buttons, flags, x, y, extra);
  if (buttons == kButtonLeft && onPress != nullptr) onPress();
}

}  // namespace veskor
