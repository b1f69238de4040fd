#include "gui/gui_widget.h"

#include <algorithm>
#include <cmath>

#include "foundation/frame_clock.h"
#include "gui/gui_globals.h"

namespace veskor {

std::int32_t ChosenIndex = 0;
std::uint32_t ChoiceChanged = 0;
std::uint32_t ChoiceDoneFlag = 0;

namespace {

struct ParentFrame {
  float x, y;           // the parent's origin
  float width, height;  // its absolute size in GUI units
};

// The window stands in for a missing parent.
ParentFrame FrameOf(const GuiWidget& widget) {
  GuiPlane* parent = widget.parent;
  if (parent == nullptr) return {0.0f, 0.0f, 1.0f, 1.0f};
  ParentFrame f{};
  parent->GetOrigin(&f.x, &f.y);
  f.width = WidgetScaleX(*parent, parent->sizeX);
  f.height = WidgetScaleY(*parent, parent->sizeY);
  return f;
}

// The four corners of the rectangle around (cx, cy) through the rotation matrix, the y terms
// scaled by the view aspect before it and by its inverse after it.
void CornersOf(const GuiWidget& w, float cx, float cy, float hw, float hh, PlaneCorners& c) {
  static constexpr float kSignX[4] = {-1.0f, 1.0f, 1.0f, -1.0f};
  static constexpr float kSignY[4] = {-1.0f, -1.0f, 1.0f, 1.0f};
  const float* m = w.rotation;
  for (int i = 0; i < 4; ++i) {
    const float vx = kSignX[i] * hw;
    const float vy = kSignY[i] * hh * ViewAspect.factor;
    c[i] = {cx + (m[0] * vx + m[1] * vy), cy + (m[2] * vx + m[3] * vy) * ViewAspect.inverse};
  }
}

void CornersReset(GuiWidget& w, PlaneCorners& c) {
  float cx, cy, hw, hh;
  WidgetCentreExtent(w, &cx, &cy, &hw, &hh);
  w.rotation[0] = 1.0f, w.rotation[1] = 0.0f, w.rotation[2] = 0.0f, w.rotation[3] = 1.0f;
  CornersOf(w, cx, cy, hw, hh, c);
}

WidgetRect BoundsOf(const PlaneCorners& c) {
  WidgetRect r{c[0].x, c[0].y, c[0].x, c[0].y};
  for (int i = 1; i < 4; ++i) {
    r.left = std::min(r.left, c[i].x);
    r.right = std::max(r.right, c[i].x);
    r.top = std::min(r.top, c[i].y);
    r.bottom = std::max(r.bottom, c[i].y);
  }
  return r;
}

// Local coordinates in the bounds; 0 for an empty rectangle, which is never hit.
bool LocalIn(const WidgetRect& r, float x, float y, float* lx, float* ly) {
  if (!(r.right > r.left) || !(r.bottom > r.top)) {
    *lx = 0.0f;
    *ly = 0.0f;
    return false;
  }
  *lx = (x - r.left) / (r.right - r.left);
  *ly = (y - r.top) / (r.bottom - r.top);
  return true;
}

// A size factor relative to the parent: the extent over the parent's absolute size (the
// product of the factors up to the root), so that the products stay absolute at any depth.
float RelativeTo(float extent, float parentSize) {
  return parentSize != 0.0f ? extent / parentSize : 0.0f;
}

}  // namespace

GuiWidget::GuiWidget() = default;

WidgetRect WidgetSnappedRect(GuiWidget& w) {
  const ParentFrame f = FrameOf(w);
  const float dx = w.polarRadius * std::cos(w.polarAngle);
  const float dy = w.polarRadius * std::sin(w.polarAngle);
  auto x = [&](int e, float inset) {
    return SnapToPixelX(f.x + w.edgeOffset[e] + w.edgeFraction[e] * f.width +
                        PixelSize.x * (w.edgePixels[e] + inset + dx) +
                        DesignScale.x * w.edgeDesign[e]);
  };
  auto y = [&](int e, float inset) {
    return SnapToPixelY(f.y + w.edgeOffset[e] + w.edgeFraction[e] * f.height +
                        PixelSize.y * (w.edgePixels[e] + inset + dy) +
                        DesignScale.y * w.edgeDesign[e]);
  };
  WidgetRect r{};
  r.left = x(kEdgeLeft, -w.inset);
  r.top = y(kEdgeTop, -w.inset);
  r.right = x(kEdgeRight, w.inset);
  r.bottom = y(kEdgeBottom, w.inset);
  return r;
}

void WidgetCentreExtent(GuiWidget& w, float* cx, float* cy, float* halfWidth, float* halfHeight) {
  const WidgetRect r = WidgetSnappedRect(w);
  *cx = (r.left + r.right) * 0.5f;
  *cy = (r.top + r.bottom) * 0.5f;
  *halfWidth = (r.right - r.left) * 0.5f;
  *halfHeight = (r.bottom - r.top) * 0.5f;
}

float WidgetScaleX(const GuiPlane& plane, float v) {
  for (const GuiPlane* p = plane.parent; p != nullptr; p = p->parent) v *= p->sizeX;
  return v;
}

float WidgetScaleY(const GuiPlane& plane, float v) {
  for (const GuiPlane* p = plane.parent; p != nullptr; p = p->parent) v *= p->sizeY;
  return v;
}

void GuiWidget::ComputeSize() {
  const WidgetRect r = WidgetSnappedRect(*this);
  sizeX = r.right - r.left;
  sizeY = r.bottom - r.top;
}

// After a layout pass the size factors are relative to the parent's.
void GuiWidget::UpdateLayout() {
  PlaneCorners c;
  CornersReset(*this, c);
  const WidgetRect b = BoundsOf(c);
  sizeX =
      RelativeTo(b.right - b.left, parent != nullptr ? WidgetScaleX(*parent, parent->sizeX) : 1.0f);
  sizeY =
      RelativeTo(b.bottom - b.top, parent != nullptr ? WidgetScaleY(*parent, parent->sizeY) : 1.0f);
}

// The unsnapped top-left without inset and polar offset: children are placed from it.
void GuiWidget::GetOrigin(float* x, float* y) {
  const ParentFrame f = FrameOf(*this);
  *x = f.x + edgeOffset[kEdgeLeft] + edgeFraction[kEdgeLeft] * f.width +
       PixelSize.x * edgePixels[kEdgeLeft] + DesignScale.x * edgeDesign[kEdgeLeft];
  *y = f.y + edgeOffset[kEdgeTop] + edgeFraction[kEdgeTop] * f.height +
       PixelSize.y * edgePixels[kEdgeTop] + DesignScale.y * edgeDesign[kEdgeTop];
}

std::uint32_t GuiWidget::ToLocal(float x, float y, float* localX, float* localY) {
  PlaneCorners c;
  CornersReset(*this, c);
  if (parent != nullptr) parent->ClipChild(style, c);  // the answer is not consulted
  const WidgetRect r = BoundsOf(c);
  if (!LocalIn(r, x, y, localX, localY)) return 0;
  return (r.left <= x && x <= r.right && r.top <= y && y <= r.bottom) ? 1 : 0;
}

std::uint32_t RotatedPlaneBounds(GuiWidget& widget, float x, float y, float* localX,
                                 float* localY) {
  PlaneCorners c;
  CornersReset(widget, c);
  const WidgetRect r = BoundsOf(c);
  if (!LocalIn(r, x, y, localX, localY)) return 0;
  return (r.left <= x && x <= r.right) ? 1 : 0;
}

std::uint32_t GuiWidget::ClipChild(std::uint32_t childStyle, PlaneCorners& p) {
  if (childStyle & kPlaneOutsideParent) return 1;
  if (parent != nullptr && parent->ClipChild(childStyle, p) == 0) return 0;
  PlaneCorners own;
  float cx, cy, hw, hh;
  WidgetCentreExtent(*this, &cx, &cy, &hw, &hh);
  CornersOf(*this, cx, cy, hw, hh, own);
  const WidgetRect r = BoundsOf(own);
  const WidgetRect child = BoundsOf(p);
  if (child.right < r.left || child.left > r.right || child.bottom < r.top || child.top > r.bottom)
    return 0;
  if (p[0].x < r.left && p[3].x < r.left) p[0].x = p[3].x = r.left;
  if (p[1].x > r.right && p[2].x > r.right) p[1].x = p[2].x = r.right;
  if (p[0].y < r.top && p[1].y < r.top) p[0].y = p[1].y = r.top;
  if (p[2].y > r.bottom && p[3].y > r.bottom) p[2].y = p[3].y = r.bottom;
  return 1;
}

void GuiWidget::OnMouseDrag(std::uint32_t buttons, std::uint32_t, float x, float y, float pressX,
                            float pressY, std::uint32_t inside) {
  if ((style & kPlaneMovable) == 0) return;
  if ((style & kPlaneOutsideParent) == 0 && inside == 0) return;
  if ((buttons & kButtonLeft) == 0) return;
  const float w = edgeOffset[kEdgeRight] - edgeOffset[kEdgeLeft];
  const float h = edgeOffset[kEdgeBottom] - edgeOffset[kEdgeTop];
  edgeOffset[kEdgeLeft] = x - pressX;
  edgeOffset[kEdgeTop] = y - pressY;
  edgeOffset[kEdgeRight] = edgeOffset[kEdgeLeft] + w;
  edgeOffset[kEdgeBottom] = edgeOffset[kEdgeTop] + h;
}

void GuiWidget::OnMouseButton(std::uint32_t, std::uint32_t, float, float, std::uint32_t) {
  popupVisible = 0;
}

void GuiWidget::OnMouseOver(std::uint32_t, std::uint32_t, float, float, float, float) {
  WidgetHoverTimerAt(*this, NowSeconds());
}

void GuiWidget::OnMouseLeave(std::uint32_t, std::uint32_t, float, float, float, float) {
  WidgetHoverReset(*this);
}

void WidgetHoverTimerAt(GuiWidget& w, double now) {
  const float px = MousePoint.x / PixelSize.x;
  const float py = MousePoint.y / PixelSize.y;
  const bool still = std::fabs(px - w.lastPointerX) < kHoverStillPixels &&
                     std::fabs(py - w.lastPointerY) < kHoverStillPixels;
  w.over = 1;
  if (!still) {
    w.hoverState = kHoverIdle;
    w.popupVisible = 0;
  } else if (w.hoverState == kHoverIdle && w.popupShownOnce == 0) {
    w.hoverState = kHoverResting;
    w.restStart = now;
  } else if (w.hoverState == kHoverResting && now >= w.restStart + kPopupDelay) {
    w.hoverState = kHoverPopup;
    w.popupVisible = 1;
    w.popupShownOnce = 1;
  } else if (w.hoverState == kHoverPopup && now >= w.restStart + kPopupEnd) {
    w.hoverState = kHoverExpired;
    w.popupVisible = 0;
  }
  w.lastPointerX = px;
  w.lastPointerY = py;
}

void WidgetHoverReset(GuiWidget& w) {
  w.hoverState = kHoverIdle;
  w.over = 0;
  w.popupShownOnce = 0;
  w.popupVisible = 0;
}

std::uint32_t ConfigureWidget(GuiWidget& w, std::uint32_t style, const WidgetEdge& left,
                              const WidgetEdge& top, const WidgetEdge& right,
                              const WidgetEdge& bottom) {
  SetLeftEdge(w, left);
  SetTopEdge(w, top);
  SetRightEdge(w, right);
  SetBottomEdge(w, bottom);
  w.scalePair[0] = w.scalePair[1] = 2.0f;
  w.inset = 0.0f;
  w.polarAngle = 0.0f;
  w.polarRadius = 0.0f;
  w.hoverState = kHoverIdle;
  w.over = 0;
  if (w.configured == 0) {
    w.style = style;
    ReservePlaneContainers(w);
    w.enabled = w.pressed = 0;
    w.root = w.parent = nullptr;
    w.depth = w.hidden = w.hover = 0;
    w.sizeX = w.sizeY = 1.0f;
    w.configured = 1;
  }
  return 1;
}

void SetWidgetEdge(GuiWidget& w, std::uint32_t edge, const WidgetEdge& e) {
  w.edgeOffset[edge] = e.offset;
  w.edgeFraction[edge] = e.fraction;
  w.edgePixels[edge] = e.pixels;
  w.edgeDesign[edge] = e.design;
}

WidgetEdge GetWidgetEdge(const GuiWidget& w, std::uint32_t edge) {
  return {w.edgeOffset[edge], w.edgeFraction[edge], w.edgePixels[edge], w.edgeDesign[edge]};
}

std::uint32_t WidgetTexelIndex(float local, std::uint32_t log2Size) {
  const float clamped = local >= 0.0f ? std::min(local, 1.0f) : 0.0f;  // NaN gives 0
  const std::uint32_t last = (std::uint32_t{1} << std::min(log2Size, 31u)) - 1;
  const float v = clamped * static_cast<float>(last);
  const float t = std::floor(v);
  const auto index = static_cast<std::uint32_t>(v - t > 0.5f ? t + 1.0f : t);
  return std::min(index, last);
}

std::int32_t ChoiceSelected(std::int32_t index) {
  ChosenIndex = index;
  ChoiceChanged = 1;
  return index;
}

void ChoiceDone() { ChoiceDoneFlag = 1; }

}  // namespace veskor
