// GuiImagePanel: one picture of the interface as a textured rectangle over the scene. The
// picture is a colour PNG, optionally with a mask PNG of the same size whose first channel
// gives its transparency (black opaque, white transparent). The panel takes the picture's own
// size in pixels unless its edges are given; it may also show a texture another panel owns.
// Its colour multiplies the picture, so screens fade panels through the colour's alpha; a
// press with the left button alone calls its callback. GuiClipPanel derives from it.
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"
#include "gui/gui_widget.h"

namespace veskor {

class GuiImagePanel : public GuiWidget {
 public:
  GuiImagePanel() = default;
  ~GuiImagePanel() override;

  void Draw() override;
  void OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                     std::uint32_t extra) override;

  Texture2D* texture = nullptr;  // null: the panel is a flat quad in its colour
  float uScale = 1.0f;           // picture width / texture width
  float vScale = 1.0f;           // picture height / texture height
  std::uint32_t ownsTexture = 0;
  std::uint32_t mipmapped = 0;  // the loaders filter trilinear with a mip chain, else nearest
  void (*onPress)() = nullptr;
  float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};

// The loaders. Each finds its files by bare name along the search directories, releases a
// texture the panel owned, loads the picture into a texture of its own (four channels with a
// mask, else three), clears the press callback, makes the panel a back child that stays
// enabled (style 24) and its colour opaque white. Without right and bottom edges the panel is
// the picture's size in pixels from its top-left corner.
void LoadPanelImageWithMask(GuiImagePanel& panel, GuiPlane* root, const WidgetEdge& left,
                            const WidgetEdge& top, const char* colourFile, const char* maskFile);
void LoadPanelImage(GuiImagePanel& panel, GuiPlane* root, const WidgetEdge& left,
                    const WidgetEdge& top, const char* file);
void LoadPanelImageAlt(GuiImagePanel& panel, GuiPlane* root, const WidgetEdge& left,
                       const WidgetEdge& top, const WidgetEdge& right, const WidgetEdge& bottom,
                       const char* file);
void LoadPanelImageWithMaskAlt(GuiImagePanel& panel, GuiPlane* root, const WidgetEdge& left,
                               const WidgetEdge& top, const WidgetEdge& right,
                               const WidgetEdge& bottom, const char* colourFile,
                               const char* maskFile);

// Shows a texture the panel does not own (a texture it owned is released first, unless it is
// the texture given).
void ConfigurePanel(GuiImagePanel& panel, GuiPlane* root, const WidgetEdge& left,
                    const WidgetEdge& top, const WidgetEdge& right, const WidgetEdge& bottom,
                    Texture2D* texture, float uScale, float vScale);

// Frees an owned texture; in every case the panel is left without a picture, opaque white.
void ReleasePanelTextures(GuiImagePanel& panel);

// After the texture names were renewed: a fresh name for the texture, which is bound once so
// that it uploads again.
void RestorePanelTextures(GuiImagePanel& panel);

void DrawImagePanel(GuiImagePanel& panel);

}  // namespace veskor
