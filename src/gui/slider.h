// GuiSlider: edits one float variable of the application between a minimum and a maximum by
// dragging a thumb along a horizontal track. The track is a colour picture stretched over the
// widget; the thumb a colour picture with a mask, 16 x 32 pixels on screen, centred on the
// track at the value's place, opaque where its texture's alpha is low (the mask white). The
// value may snap to steps; a callback hears every change of more than kSliderChangeThreshold.
// One slider loads the pictures, others may show them without owning them.
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"
#include "gui/gui_widget.h"

namespace veskor {

inline constexpr float kSliderThumbHalfWidth = 8.0f;  // pixels
inline constexpr float kSliderThumbHalfHeight = 16.0f;
inline constexpr float kSliderChangeThreshold = 0.0005f;
inline constexpr float kSliderNoSnapping = 1e-5f;      // a step at or below it does not snap
inline constexpr std::uint8_t kSliderOpaqueBelow = 4;  // thumb texel alpha that grabs

class GuiSlider : public GuiWidget {
 public:
  GuiSlider() = default;
  ~GuiSlider() override;

  void Draw() override;
  void OnMouseDrag(std::uint32_t buttons, std::uint32_t flags, float x, float y, float pressX,
                   float pressY, std::uint32_t inside) override;
  void OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                     std::uint32_t extra) override;
  void OnMouseOver(std::uint32_t, std::uint32_t, float, float, float, float) override {}
  void OnMouseLeave(std::uint32_t, std::uint32_t, float, float, float, float) override {}
  std::uint32_t ToLocal(float x, float y, float* localX, float* localY) override;

  Texture2D* thumbTexture = nullptr;  // four channels, alpha from the mask
  Texture2D* trackTexture = nullptr;  // three channels
  std::uint32_t ownsTextures = 0;
  float* value = nullptr;  // null: the bare track, deaf to the mouse
  float minValue = 0.0f;
  float maxValue = 0.0f;
  float step = 0.0f;        // a fraction of the range
  float grabOffset = 0.0f;  // the thumb centre's x minus the pointer's at the press
  void (*onChange)(float value) = nullptr;
  std::uint32_t dragging = 0;
};

// What the sliders bind: the variable, its range, the step in the variable's units (0: no
// snapping) and the change callback.
struct SliderBinding {
  float* value;
  float minValue, maxValue;
  float step;
  void (*onChange)(float);
};

// Loads the thumb (colour and mask) and the track by bare file names, binds the variable and
// configures the slider with style 24 from its four edges.
void SetSliderImages(GuiSlider& slider, GuiPlane* root, const WidgetEdge& left,
                     const WidgetEdge& top, const WidgetEdge& right, const WidgetEdge& bottom,
                     const char* thumbColour, const char* thumbMask, const char* track,
                     const SliderBinding& binding);

// A slider that shows the pictures of `other` without owning them, bound and configured as
// SetSliderImages does.
void ShareSliderImages(GuiSlider& slider, GuiPlane* root, const WidgetEdge& left,
                       const WidgetEdge& top, const WidgetEdge& right, const WidgetEdge& bottom,
                       const GuiSlider& other, const SliderBinding& binding);

// After the texture names were renewed: the owning slider's two textures take fresh names
// and upload again.
void RestoreSliderTextures(GuiSlider& slider);

// The thumb's place along the track for a value: (value - minimum) / range in [0, 1] (0 for an
// empty range or a value that is not a number).
float SliderFraction(const GuiSlider& slider, float value);
// A fraction of the track snapped to the step (halves down), kept within [0, 1].
float SliderSnap(float fraction, float step);

void DrawSlider(GuiSlider& slider);

}  // namespace veskor
