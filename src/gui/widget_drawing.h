// The GL state every widget class draws in, and the quads and texture environments they share.
// A widget's Draw opens with BeginWidgetDraw (no depth test, depth writes or face culling,
// units 1 to 3 untextured, unit 0 active) and closes with EndWidgetDraw, which leaves depth
// test, depth writes and face culling on, blending and 2-D texturing off.
#pragma once

#include "gfx/texture_object.h"
#include "gui/gui_widget.h"

namespace veskor {

void BeginWidgetDraw();
void EndWidgetDraw();

// Blending with (source alpha, one minus source alpha), or none.
void SetWidgetBlending(bool on);

// The rectangle as one quad, corners top-left, top-right, bottom-right, bottom-left, with the
// texture coordinates (s0, t0) .. (s1, t1) on unit 0.
void DrawWidgetQuad(const WidgetRect& r, float s0, float t0, float s1, float t1);
void DrawPlainQuad(const WidgetRect& r);

// Binds the texture on unit 0 (uploading it when needed) with 2-D texturing on; false, with
// texturing off, for a texture that has no pixels or cannot be bound, so that nothing is drawn
// with whatever texture was bound before.
bool BindWidgetTexture(Texture2D& texture);

// Texture environments of unit 0 (combine mode).
enum class WidgetBlend {
  kTexture,                 // colour and alpha of the texture
  kModulate,                // colour and alpha of the texture times the primary's
  kInkOfCoverage,           // colour of the primary, alpha of the texture
  kInkOfCoverageModulated,  // colour of the primary, alpha of the texture times the primary's
};
void SetWidgetTextureBlend(WidgetBlend blend);

// The whole texture over the rectangle as it is (kTexture, white); nothing without a texture
// or for one BindWidgetTexture refuses.
void DrawWidgetImage(Texture2D* texture, const WidgetRect& r);

// Calls the pop-up callback with its argument while the pop-up is visible.
void DrawWidgetPopup(GuiWidget& widget);

}  // namespace veskor
