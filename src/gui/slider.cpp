#include "gui/slider.h"

#include <cmath>
#include <initializer_list>

#include "gfx/png_texture.h"
#include "gui/gui_globals.h"
#include "gui/interface_images.h"
#include "gui/widget_drawing.h"
#include "gui/widget_textures.h"
#include "platform/gl.h"

namespace veskor {

namespace {

constexpr std::uint32_t kSliderStyle = kPlaneBack | kPlaneAlwaysEnabled;

void ReleaseSliderImages(GuiSlider& s) {
  ReleaseWidgetTextures({&s.thumbTexture, &s.trackTexture}, s.ownsTextures);
}

void BindVariable(GuiSlider& s, GuiPlane* root, const WidgetEdge& left, const WidgetEdge& top,
                  const WidgetEdge& right, const WidgetEdge& bottom, const SliderBinding& b) {
  s.value = b.value;
  s.minValue = b.minValue;
  s.maxValue = b.maxValue;
  const float range = b.maxValue - b.minValue;
  s.step = range != 0.0f ? b.step / range : 0.0f;
  s.onChange = b.onChange;
  s.dragging = 0;
  ConfigureWidget(s, kSliderStyle, left, top, right, bottom);
  s.root = root;
}

float Clamp01(float f) {
  if (!(f >= 0.0f)) return 0.0f;
  return f < 1.0f ? f : 1.0f;
}

// The thumb on the track: its centre and half sizes in GUI units.
struct Thumb {
  float cx, cy, hw, hh;
};

Thumb ThumbOf(GuiSlider& s, const WidgetRect& r) {
  const float f = s.value != nullptr ? SliderFraction(s, *s.value) : 0.0f;
  return {r.left + (r.right - r.left) * f, r.top + (r.bottom - r.top) * 0.5f,
          kSliderThumbHalfWidth * PixelSize.x, kSliderThumbHalfHeight * PixelSize.y};
}

// The thumb's texel under (u, v) grabs when its alpha is low: the thumb is drawn opaque there.
bool ThumbOpaqueAt(const GuiSlider& s, float u, float v) {
  const Texture2D* t = s.thumbTexture;
  if (t == nullptr || t->pixels.data == nullptr || t->pixels.channels < 4) return false;
  const std::uint8_t alpha = TexelAddress(*t, WidgetTexelIndex(u, t->pixels.log2Width),
                                          WidgetTexelIndex(v, t->pixels.log2Height))[3];
  return alpha < kSliderOpaqueBelow;
}

}  // namespace

GuiSlider::~GuiSlider() { ReleaseSliderImages(*this); }

void SetSliderImages(GuiSlider& slider, GuiPlane* root, const WidgetEdge& left,
                     const WidgetEdge& top, const WidgetEdge& right, const WidgetEdge& bottom,
                     const char* thumbColour, const char* thumbMask, const char* track,
                     const SliderBinding& binding) {
  ReleaseSliderImages(slider);
  slider.thumbTexture = LoadWidgetImage(thumbColour, thumbMask, 4);
  slider.trackTexture = LoadWidgetImage(track, nullptr, 3);
  slider.ownsTextures = 1;
  BindVariable(slider, root, left, top, right, bottom, binding);
}

void ShareSliderImages(GuiSlider& slider, GuiPlane* root, const WidgetEdge& left,
                       const WidgetEdge& top, const WidgetEdge& right, const WidgetEdge& bottom,
                       const GuiSlider& other, const SliderBinding& binding) {
  if (&other != &slider) {
    ReleaseSliderImages(slider);
    slider.thumbTexture = other.thumbTexture;
    slider.trackTexture = other.trackTexture;
  }
  BindVariable(slider, root, left, top, right, bottom, binding);
}

void RestoreSliderTextures(GuiSlider& slider) {
  if (slider.ownsTextures != 0) RestoreWidgetTextures({slider.thumbTexture, slider.trackTexture});
}

float SliderFraction(const GuiSlider& s, float value) {
  // Below the range, an empty range and a value that is not a number give 0.
  return Clamp01((value - s.minValue) / (s.maxValue - s.minValue));
}

float SliderSnap(float fraction, float step) {
  fraction = Clamp01(fraction);
  if (step <= kSliderNoSnapping) return fraction;
  const float q = fraction / step;
  const float whole = std::trunc(q);
  // The last position of a step that does not divide the range lies past the end.
  return Clamp01((q - whole > 0.5f ? whole + 1.0f : whole) * step);
}

void DrawSlider(GuiSlider& s) {
  const WidgetRect r = WidgetSnappedRect(s);
  BeginWidgetDraw();
  SetWidgetBlending(false);
  DrawWidgetImage(s.trackTexture, r);
  if (s.value != nullptr && s.thumbTexture != nullptr && BindWidgetTexture(*s.thumbTexture)) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA);  // opaque where the alpha is 0
    SetWidgetTextureBlend(WidgetBlend::kTexture);
    glColor3f(1.0f, 1.0f, 1.0f);
    const Thumb t = ThumbOf(s, r);
    DrawWidgetQuad({t.cx - t.hw, t.cy - t.hh, t.cx + t.hw, t.cy + t.hh}, 0.0f, 0.0f, 1.0f, 1.0f);
  }
  EndWidgetDraw();
}

void GuiSlider::Draw() { DrawSlider(*this); }

void GuiSlider::OnMouseButton(std::uint32_t buttons, std::uint32_t, float, float, std::uint32_t) {
  if ((buttons & kButtonLeft) == 0 || value == nullptr) {
    dragging = 0;
    return;
  }
  const Thumb t = ThumbOf(*this, WidgetSnappedRect(*this));
  float mx, my;
  GetHalfPair(&mx, &my);
  if (mx < t.cx - t.hw || mx > t.cx + t.hw || my < t.cy - t.hh || my > t.cy + t.hh) return;
  if (!ThumbOpaqueAt(*this, (mx - (t.cx - t.hw)) / (2.0f * t.hw),
                     (my - (t.cy - t.hh)) / (2.0f * t.hh)))
    return;
  dragging = 1;
  grabOffset = t.cx - mx;
}

void GuiSlider::OnMouseDrag(std::uint32_t buttons, std::uint32_t, float, float, float, float,
                            std::uint32_t) {
  if ((buttons & kButtonLeft) == 0 || dragging == 0 || value == nullptr) {
    dragging = 0;
    return;
  }
  const WidgetRect r = WidgetSnappedRect(*this);
  float mx, my;
  GetHalfPair(&mx, &my);
  const float f = SliderSnap((mx + grabOffset - r.left) / (r.right - r.left), step);
  const float old = *value;
  *value = minValue + (maxValue - minValue) * f;
  if (std::fabs(old - *value) > kSliderChangeThreshold && onChange != nullptr) onChange(*value);
}

std::uint32_t GuiSlider::ToLocal(float x, float y, float* localX, float* localY) {
  const WidgetRect r = WidgetSnappedRect(*this);
  *localX = (x - r.left) / (r.right - r.left);
  *localY = (y - r.top) / (r.bottom - r.top);
  const float hw = kSliderThumbHalfWidth * PixelSize.x;
  if (x < r.left - hw || x > r.right + hw || y < r.top || y > r.bottom) return 0;
  return ThumbOpaqueAt(*this, 0.5f, *localY) ? 1 : 0;
}

}  // namespace veskor
