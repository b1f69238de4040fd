// Plain members of the B-spline entries, built from the 4x4 weight blocks of the plain weight
// table, and the family's registration. Weight blocks are floats; each sum of sixteen
// products is kept in double (as the x87 unit kept it in extended precision) and rounded once.
#include <algorithm>
#include <cstddef>

#include "mapengine/bspline_kernels.h"
#include "mapengine/bspline_weights.h"

namespace veskor {

namespace {

// Which window line, if any, stands for the line beyond the net: the first one (left, top)
// or the last one (right, bottom). Its weight is added to its neighbour's.
enum class Merge { kNone, kFirst, kLast };

// Folds four weights along one direction into `out`; returns the number of lines read.
int Fold(const double in[4], Merge merge, double out[4]) {
  switch (merge) {
    case Merge::kFirst:
      out[0] = in[0] + in[1];
      out[1] = in[2];
      out[2] = in[3];
      return 3;
    case Merge::kLast:
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2] + in[3];
      return 3;
    case Merge::kNone:
      break;
  }
  std::copy(in, in + 4, out);
  return 4;
}

float ClampedEval(const float* w, const float* p, std::uint32_t stride, Merge rows,
                  Merge columns) {
  double byColumns[4][4];
  int cols = 4;
  for (int r = 0; r < 4; ++r) {
    const double line[4] = {w[4 * r], w[4 * r + 1], w[4 * r + 2], w[4 * r + 3]};
    cols = Fold(line, columns, byColumns[r]);
  }
  double folded[4][4];
  int lines = 4;
  for (int c = 0; c < cols; ++c) {
    const double column[4] = {byColumns[0][c], byColumns[1][c], byColumns[2][c],
                              byColumns[3][c]};
    double out[4];
    lines = Fold(column, rows, out);
    for (int r = 0; r < lines; ++r) folded[r][c] = out[r];
  }
  double sum = 0.0;
  for (int r = 0; r < lines; ++r)
    for (int c = 0; c < cols; ++c) sum += folded[r][c] * p[r * std::size_t{stride} + c];
  return static_cast<float>(sum);
}

// The largest level of the weight table: 2^8 + 1 positions per cell at most.
constexpr std::size_t kMaxRowWeights = 257;

// Shapes of a refinement: source net of 2^a x 2^b cells, 2^p x 2^q positions per cell.
struct Refinement {
  std::size_t cellsX, cellsY;
  std::uint32_t p, q;
  std::uint32_t netStride;
  std::size_t outX, outY;  // 2^(a+p) and 2^(b+q): the last position index of each axis

  Refinement(std::uint8_t a, std::uint8_t b, std::uint8_t p_, std::uint8_t q_)
      : cellsX(std::size_t{1} << a),
        cellsY(std::size_t{1} << b),
        p(p_),
        q(q_),
        netStride(static_cast<std::uint32_t>(cellsX + 3)),
        outX(cellsX << p_),
        outY(cellsY << q_) {}

  // The cell and the sub-position of output position o along an axis; the end position of
  // a cell belongs to the next cell, except on the last cell.
  static void Locate(std::size_t o, std::uint32_t level, std::size_t cells, std::size_t& cell,
                     std::uint32_t& sub) {
    cell = std::min(o >> level, cells - 1);
    sub = static_cast<std::uint32_t>(o - (cell << level));
  }
};

// Writes the surface at every position (ox, oy), 0..outX by 0..outY, to
// out[oy * stride + ox].
void EvaluateInterior(const Refinement& g, const float* net, float* out, std::size_t stride) {
  alignas(16) float weights[kMaxRowWeights][16];
  const std::uint32_t subX = 1u << g.p;
  for (std::size_t oy = 0; oy <= g.outY; ++oy) {
    std::size_t cy;
    std::uint32_t j;
    Refinement::Locate(oy, g.q, g.cellsY, cy, j);
    for (std::uint32_t i = 0; i <= subX; ++i) BSplineTensorWeights(i, g.p, j, g.q, weights[i]);
    const float* window = net + cy * g.netStride;
    float* row = out + oy * stride;
    for (std::size_t ox = 0; ox <= g.outX; ++ox) {
      std::size_t cx;
      std::uint32_t i;
      Refinement::Locate(ox, g.p, g.cellsX, cx, i);
      BSplinePatchEval(weights[i], window + cx, g.netStride, row + ox);
    }
  }
}

}  // namespace

void BSplineTensorWeights(std::uint32_t i, std::uint32_t n, std::uint32_t j, std::uint32_t m,
                          float* out) {
  const float* x;
  const float* y;
  BSplineWeightEntry(i, n, &x);
  BSplineWeightEntry(j, m, &y);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out[4 * r + c] = x[c] * y[r];
}

void BSplinePatchEval(const float* w, const float* p, std::uint32_t stride, float* out) {
  double sum = 0.0;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) sum += double{w[4 * r + c]} * p[r * std::size_t{stride} + c];
  *out = static_cast<float>(sum);
}

void BSplinePatchEvalLeft(const float* w, const float* p, std::uint32_t stride, float* out) {
  *out = ClampedEval(w, p, stride, Merge::kNone, Merge::kFirst);
}
void BSplinePatchEvalRight(const float* w, const float* p, std::uint32_t stride, float* out) {
  *out = ClampedEval(w, p, stride, Merge::kNone, Merge::kLast);
}
void BSplinePatchEvalTop(const float* w, const float* p, std::uint32_t stride, float* out) {
  *out = ClampedEval(w, p, stride, Merge::kFirst, Merge::kNone);
}
void BSplinePatchEvalBottom(const float* w, const float* p, std::uint32_t stride, float* out) {
  *out = ClampedEval(w, p, stride, Merge::kLast, Merge::kNone);
}
void BSplinePatchEvalTopLeft(const float* w, const float* p, std::uint32_t stride,
                             float* out) {
  *out = ClampedEval(w, p, stride, Merge::kFirst, Merge::kFirst);
}
void BSplinePatchEvalTopRight(const float* w, const float* p, std::uint32_t stride,
                              float* out) {
  *out = ClampedEval(w, p, stride, Merge::kFirst, Merge::kLast);
}
void BSplinePatchEvalBottomLeft(const float* w, const float* p, std::uint32_t stride,
                                float* out) {
  *out = ClampedEval(w, p, stride, Merge::kLast, Merge::kFirst);
}
void BSplinePatchEvalBottomRight(const float* w, const float* p, std::uint32_t stride,
                                 float* out) {
  *out = ClampedEval(w, p, stride, Merge::kLast, Merge::kLast);
}

namespace plain {

void GridBSplineEval(std::uint8_t a, std::uint8_t b, std::uint8_t p, std::uint8_t q,
                     const float* net, float* destination) {
  const Refinement g(a, b, p, q);
  EvaluateInterior(g, net, destination, g.outX + 1);
}

void MapBSplineUpsample(std::uint8_t a, std::uint8_t b, std::uint8_t p, std::uint8_t q,
                        const float* net, float* destinationNet) {
  const Refinement g(a, b, p, q);
  const std::size_t stride = g.outX + 3, lastColumn = g.outX + 2, lastRow = g.outY + 2;
  EvaluateInterior(g, net, destinationNet + stride + 1, stride);

  // The border: one fine step beyond the net's edge, i.e. sub-position 2^p - 1 of the cell
  // before the first and sub-position 1 of the cell after the last, with the net's border
  // line standing in for the line beyond it.
  const std::uint32_t beforeX = (1u << p) - 1, beforeY = (1u << q) - 1;
  const float* lastNetRow = net + g.cellsY * g.netStride;
  float w[16];
  for (std::size_t oy = 0; oy <= g.outY; ++oy) {
    std::size_t cy;
    std::uint32_t j;
    Refinement::Locate(oy, q, g.cellsY, cy, j);
    float* row = destinationNet + (oy + 1) * stride;
    BSplineTensorWeights(beforeX, p, j, q, w);
    BSplinePatchEvalLeft(w, net + cy * g.netStride, g.netStride, row);
    BSplineTensorWeights(1, p, j, q, w);
    BSplinePatchEvalRight(w, net + cy * g.netStride + g.cellsX, g.netStride, row + lastColumn);
  }
  for (std::size_t ox = 0; ox <= g.outX; ++ox) {
    std::size_t cx;
    std::uint32_t i;
    Refinement::Locate(ox, p, g.cellsX, cx, i);
    BSplineTensorWeights(i, p, beforeY, q, w);
    BSplinePatchEvalTop(w, net + cx, g.netStride, destinationNet + 1 + ox);
    BSplineTensorWeights(i, p, 1, q, w);
    BSplinePatchEvalBottom(w, lastNetRow + cx, g.netStride,
                           destinationNet + lastRow * stride + 1 + ox);
  }
  BSplineTensorWeights(beforeX, p, beforeY, q, w);
  BSplinePatchEvalTopLeft(w, net, g.netStride, destinationNet);
  BSplineTensorWeights(1, p, beforeY, q, w);
  BSplinePatchEvalTopRight(w, net + g.cellsX, g.netStride, destinationNet + lastColumn);
  BSplineTensorWeights(beforeX, p, 1, q, w);
  BSplinePatchEvalBottomLeft(w, lastNetRow, g.netStride, destinationNet + lastRow * stride);
  BSplineTensorWeights(1, p, 1, q, w);
  BSplinePatchEvalBottomRight(w, lastNetRow + g.cellsX, g.netStride,
                              destinationNet + lastRow * stride + lastColumn);
}

void MapBSplineUpsampleAlt(std::uint8_t a, std::uint8_t b, std::uint8_t p, std::uint8_t q,
                           const float* net, float* destinationNet) {
  const Refinement g(a, b, p, q);
  const std::size_t stride = g.outX + 3, lastColumn = g.outX + 2, lastRow = g.outY + 2;
  float* d = destinationNet;
  EvaluateInterior(g, net, d + stride + 1, stride);
  auto extrapolate = [](float inner, float next) {
    return static_cast<float>(2.0 * inner - double{next});
  };
  for (std::size_t r = 1; r < lastRow; ++r) {
    float* row = d + r * stride;
    row[0] = extrapolate(row[1], row[2]);
    row[lastColumn] = extrapolate(row[lastColumn - 1], row[lastColumn - 2]);
  }
  // The border rows over every column: the corners continue the border columns just written,
  // so no position keeps what the destination held before.
  float* top = d;
  float* bottom = d + lastRow * stride;
  const float* belowTop = top + stride;
  const float* aboveBottom = bottom - stride;
  for (std::size_t c = 0; c <= lastColumn; ++c) {
    top[c] = extrapolate(belowTop[c], belowTop[stride + c]);
    bottom[c] = extrapolate(aboveBottom[c], (aboveBottom - stride)[c]);
  }
}

}  // namespace plain

}  // namespace veskor
