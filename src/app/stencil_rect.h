// The interface's pending stencil rectangle: rectangles added while the interface is drawn are
// joined into one, which the flush after each top-level plane writes as stencil value 0 without
// touching the colours.
#pragma once

#include <cstdint>

namespace veskor {

struct StencilRect {
  float x0, y0, x1, y1;  // interface units
  std::uint32_t pending;
};
extern StencilRect PendingStencilRect;

// Stores the rectangle, or widens the pending one to the union of both.
void StencilRectAdd(float x0, float y0, float x1, float y1);
// When a rectangle is pending: draws it into the stencil buffer only (values 0), then clears it.
void StencilRectFlush();

}  // namespace veskor
