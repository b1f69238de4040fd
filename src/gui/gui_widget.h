// GuiWidget: the base of every widget class. A rectangle of four edges, each the sum of an
// offset, a fraction of the parent, screen pixels and design pixels, snapped to whole pixels;
// hit tests and clipping against the ancestors; dragging; the hover timer that shows a help
// pop-up after the pointer rested 0.75 s and drops it 2.75 s after the rest began.
#pragma once

#include <cstdint>

#include "gui/gui_plane.h"

namespace veskor {

// One edge: GUI units, multiples of the parent's width (or height), screen pixels, design
// pixels.
struct WidgetEdge {
  float offset, fraction, pixels, design;
};

enum : std::uint32_t { kEdgeLeft = 0, kEdgeTop = 1, kEdgeRight = 2, kEdgeBottom = 3 };

// The hover timer's states.
enum : std::uint32_t { kHoverIdle = 0, kHoverResting = 1, kHoverPopup = 2, kHoverExpired = 3 };
inline constexpr double kPopupDelay = 0.75;       // seconds of rest before the pop-up
inline constexpr double kPopupEnd = 2.75;         // seconds after the rest began
inline constexpr float kHoverStillPixels = 8.0f;  // a move of this many pixels restarts

struct WidgetRect {
  float left, top, right, bottom;
};

class GuiWidget : public GuiPlane {
 public:
  GuiWidget();

  void UpdateLayout() override;  // WidgetPlacement
  void OnMouseDrag(std::uint32_t buttons, std::uint32_t flags, float x, float y, float pressX,
                   float pressY, std::uint32_t inside) override;
  void OnMouseButton(std::uint32_t buttons, std::uint32_t flags, float x, float y,
                     std::uint32_t extra) override;
  void OnMouseOver(std::uint32_t buttons, std::uint32_t flags, float x, float y, float localX,
                   float localY) override;
  void OnMouseLeave(std::uint32_t buttons, std::uint32_t flags, float x, float y, float localX,
                    float localY) override;
  void GetOrigin(float* x, float* y) override;
  void ComputeSize() override;
  std::uint32_t ClipChild(std::uint32_t childStyle, PlaneCorners& corners) override;
  std::uint32_t ToLocal(float x, float y, float* localX, float* localY) override;

  float scalePair[2] = {0.0f, 0.0f};  // 2.0, 2.0 once configured; no reader here
  // Per measure, the four edges in the order left, top, right, bottom.
  float edgePixels[4] = {};
  float edgeFraction[4] = {};
  float edgeOffset[4] = {0.0f, 0.0f, 1.0f, 1.0f};
  float edgeDesign[4] = {};
  // 2 x 2 matrix (row by row) applied to the corners in hit tests and clipping; the layout
  // and the hit test reset it, so only a rotated widget class uses it.
  float rotation[4] = {1.0f, 0.0f, 0.0f, 1.0f};
  float inset = 0.0f;  // pixels by which the rectangle shrinks on every side
  float polarAngle = 0.0f;
  float polarRadius = 0.0f;  // pixels; the rectangle moves by radius x (cos, sin) angle
  std::uint32_t hoverState = kHoverIdle;
  std::uint32_t over = 0;
  std::uint32_t popupShownOnce = 0;
  std::uint32_t popupVisible = 0;
  void (*popupCallback)(std::int32_t) = nullptr;
  std::int32_t popupArgument = -1;
  double restStart = 0.0;     // seconds of the counter
  float lastPointerX = 0.0f;  // window pixels
  float lastPointerY = 0.0f;
  std::uint32_t configured = 0;
};

// Stores the 16 edge values and resets scale pair, inset, polar offset and hover; on the
// first call also the style, the child containers' capacity and the tree fields. Returns 1.
std::uint32_t ConfigureWidget(GuiWidget& widget, std::uint32_t style, const WidgetEdge& left,
                              const WidgetEdge& top, const WidgetEdge& right,
                              const WidgetEdge& bottom);
void SetWidgetEdge(GuiWidget& widget, std::uint32_t edge, const WidgetEdge& value);
WidgetEdge GetWidgetEdge(const GuiWidget& widget, std::uint32_t edge);
inline void SetLeftEdge(GuiWidget& w, const WidgetEdge& e) { SetWidgetEdge(w, kEdgeLeft, e); }
inline void SetTopEdge(GuiWidget& w, const WidgetEdge& e) { SetWidgetEdge(w, kEdgeTop, e); }
inline void SetRightEdge(GuiWidget& w, const WidgetEdge& e) { SetWidgetEdge(w, kEdgeRight, e); }
inline void SetBottomEdge(GuiWidget& w, const WidgetEdge& e) { SetWidgetEdge(w, kEdgeBottom, e); }
inline WidgetEdge GetLeftEdge(const GuiWidget& w) { return GetWidgetEdge(w, kEdgeLeft); }
inline WidgetEdge GetTopEdge(const GuiWidget& w) { return GetWidgetEdge(w, kEdgeTop); }

// The snapped rectangle (edges computed left, top, right, bottom), and as centre and half
// extents. A widget without a parent is placed in the whole window.
WidgetRect WidgetSnappedRect(GuiWidget& widget);
void WidgetCentreExtent(GuiWidget& widget, float* cx, float* cy, float* halfWidth,
                        float* halfHeight);

// v times the x (or y) size factors of every proper ancestor of the plane.
float WidgetScaleX(const GuiPlane& plane, float v);
float WidgetScaleY(const GuiPlane& plane, float v);

// The rotated pick list's ToLocal: no clipping by the ancestors; 1 when left <= x <= right.
std::uint32_t RotatedPlaneBounds(GuiWidget& widget, float x, float y, float* localX, float* localY);

// The hover timer at the time `now` (seconds), with the pointer at MousePoint; OnMouseOver
// runs it with NowSeconds.
void WidgetHoverTimerAt(GuiWidget& widget, double now);
void WidgetHoverReset(GuiWidget& widget);

// The texel under a local coordinate for texel hit tests: the coordinate clamped to [0, 1],
// times (size - 1), rounded to nearest with halves down, kept within 0..size - 1. So a point
// on a widget's right or bottom edge maps to the last column or row.
std::uint32_t WidgetTexelIndex(float local, std::uint32_t log2Size);

// The choice lists' callbacks: ChoiceSelected stores the line index in ChosenIndex, raises
// ChoiceChanged and returns the index; ChoiceDone raises ChoiceDoneFlag.
extern std::int32_t ChosenIndex;
extern std::uint32_t ChoiceChanged;
extern std::uint32_t ChoiceDoneFlag;
std::int32_t ChoiceSelected(std::int32_t index);
void ChoiceDone();

}  // namespace veskor
