// The uniform bicubic B-spline surface of a control net (a grid in the net layout: its vertex
// values with a one-wide border), evaluated at 2^p x 2^q points per cell: the members of the
// kernel table's entries 70 (GridBSplineEval), 131 (MapBSplineUpsampleAlt) and 132
// (MapBSplineUpsample), and the weight-block helpers the plain members are built from.
// Callers use the table.
#pragma once

#include <cstdint>

#include "mapengine/kernel_members.h"

namespace veskor {

// out[4r + c] = X[c] * Y[r], with X the weights at t = i / 2^n and Y those at t = j / 2^m.
void BSplineTensorWeights(std::uint32_t i, std::uint32_t n, std::uint32_t j, std::uint32_t m,
                          float* out);

// *out = sum over r, c of w[4r + c] * p[r * stride + c]; p is the window's first position.
void BSplinePatchEval(const float* w, const float* p, std::uint32_t stride, float* out);

// The same for windows that reach one line beyond the net: that line is taken equal to its
// neighbour inside, so the two lines' weights are added and the window read is one line
// narrower in that direction. p is the window's first position inside the net.
void BSplinePatchEvalLeft(const float* w, const float* p, std::uint32_t stride, float* out);
void BSplinePatchEvalRight(const float* w, const float* p, std::uint32_t stride, float* out);
void BSplinePatchEvalTop(const float* w, const float* p, std::uint32_t stride, float* out);
void BSplinePatchEvalBottom(const float* w, const float* p, std::uint32_t stride, float* out);
void BSplinePatchEvalTopLeft(const float* w, const float* p, std::uint32_t stride,
                             float* out);
void BSplinePatchEvalTopRight(const float* w, const float* p, std::uint32_t stride,
                              float* out);
void BSplinePatchEvalBottomLeft(const float* w, const float* p, std::uint32_t stride,
                                float* out);
void BSplinePatchEvalBottomRight(const float* w, const float* p, std::uint32_t stride,
                                 float* out);

}  // namespace veskor

// Members, declared from the list of entries (mapengine/kernel_members.h). S is a net of
// 2^a x 2^b cells ((2^a + 3) x (2^b + 3) values); p, q in 0..8; S and D are distinct.
// GridBSplineEval: D in the vertex layout of log2 sizes (a + p, b + q).
// MapBSplineUpsample: D a net of log2 sizes (a + p, b + q); the border continues the surface one
// fine step beyond the edge of the net, the net being extended by repeating its border line.
// MapBSplineUpsampleAlt (one member for both paths): as MapBSplineUpsample with the border
// extrapolated linearly from the two lines inside it, the four corners included (they continue
// the extrapolated border columns).
// The SSE members compute the same sums in single precision, evaluated separably: the four net
// rows of a cell row are combined with the vertical weights, then four output columns at a time
// with the horizontal weights (from the SSE copy of the weight table). Clamped windows repeat
// the net's edge line instead of adding weights. Equal to the plain members up to rounding.
