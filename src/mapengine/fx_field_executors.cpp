// The executors on 3-component fields: dot, cross and transform.
#include <initializer_list>

#include "mapengine/fx_executor_support.h"
#include "mapengine/fx_executors.h"
#include "mapengine/kernel_table.h"

namespace veskor {

using namespace fx;

namespace {

enum class Shape { kGrids, kFloats, kOther };

// Components 0 to 2: three grids of one size, three floats, or anything else.
Shape ShapeOf(const FxFrame& frame) {
  if (GridsOfOneSize(frame, 3)) return Shape::kGrids;
  if (AllFloats(frame, 3)) return Shape::kFloats;
  return Shape::kOther;
}

// The accepted pairs of dot and cross: the smaller count 3, three grids or three floats on
// each side, and grids of one size when both sides have grids.
bool FieldOperands(const FxFrame& a, const FxFrame& b, Shape& sa, Shape& sb) {
  const std::uint32_t n = a.count < b.count ? a.count : b.count;
  if (n != 3) return false;
  sa = ShapeOf(a);
  sb = ShapeOf(b);
  if (sa == Shape::kOther || sb == Shape::kOther) return false;
  if (sa == Shape::kGrids && sb == Shape::kGrids && !SameSize(a.grids[0], b.grids[0]))
    return false;
  return true;
}

}  // namespace

std::uint32_t FxDot() {
  SetFxExecutorError("dot");
  FxFrame& result = Result();
  FxFrame& a = Arg(1);
  FxFrame& b = Arg(2);
  MapList& list = Temporaries();
  Shape sa, sb;
  if (!FieldOperands(a, b, sa, sb)) return 0;
  FxMakeLive(result, 1);
  if (sa == Shape::kFloats && sb == Shape::kFloats) {
    FxTakeLike(list, result, 0, a, 0);
    result.floats[0] = static_cast<float>(double{a.floats[0]} * b.floats[0] +
                                          double{a.floats[1]} * b.floats[1] +
                                          double{a.floats[2]} * b.floats[2]);
  } else {
    const FxFrame& g = sa == Shape::kGrids ? a : b;  // the grids, and the model of the result
    const FxFrame& c = sa == Shape::kGrids ? b : a;
    const VertexGrid* x = g.grids[0];
    FxTakeLike(list, result, 0, g, 0);
    float* d = result.grids[0]->data;
    if (sb == Shape::kGrids && sa == Shape::kGrids)
      gKernelTable.FieldDot(LogW(x), LogH(x), x->data, g.grids[1]->data, g.grids[2]->data,
                            c.grids[0]->data, c.grids[1]->data, c.grids[2]->data, d);
    else
      gKernelTable.FieldDotConst(LogW(x), LogH(x), x->data, g.grids[1]->data,
                                 g.grids[2]->data, c.floats[0], c.floats[1], c.floats[2], d);
  }
  ReleaseFxFrame(list, a);
  ReleaseFxFrame(list, b);
  return 1;
}

std::uint32_t FxCross() {
  SetFxExecutorError("cross");
  FxFrame& result = Result();
  FxFrame& a = Arg(1);
  FxFrame& b = Arg(2);
  MapList& list = Temporaries();
  Shape sa, sb;
  if (!FieldOperands(a, b, sa, sb)) return 0;
  FxMakeLive(result, 3);
  if (sa == Shape::kFloats && sb == Shape::kFloats) {
    const float* p = a.floats;
    const float* q = b.floats;
    for (std::uint32_t i = 0; i < 3; ++i) FxTakeLike(list, result, i, a, i);
    result.floats[0] = static_cast<float>(double{p[1]} * q[2] - double{p[2]} * q[1]);
    result.floats[1] = static_cast<float>(double{p[2]} * q[0] - double{p[0]} * q[2]);
    result.floats[2] = static_cast<float>(double{p[0]} * q[1] - double{p[1]} * q[0]);
  } else {
    const FxFrame& g = sa == Shape::kGrids ? a : b;
    const FxFrame& c = sa == Shape::kGrids ? b : a;
    for (std::uint32_t i = 0; i < 3; ++i) FxTakeLike(list, result, i, g, 0);
    const VertexGrid* x = g.grids[0];
    const u8 w = LogW(x), h = LogH(x);
    float* dx = result.grids[0]->data;
    float* dy = result.grids[1]->data;
    float* dz = result.grids[2]->data;
    if (sa == Shape::kGrids && sb == Shape::kGrids) {
      gKernelTable.FieldCross(w, h, x->data, g.grids[1]->data, g.grids[2]->data,
                              c.grids[0]->data, c.grids[1]->data, c.grids[2]->data, dx, dy, dz);
    } else {
      gKernelTable.FieldCrossConst(w, h, x->data, g.grids[1]->data, g.grids[2]->data,
                                   c.floats[0], c.floats[1], c.floats[2], dx, dy, dz);
      // floats x grids = -(grids x floats)
      if (sa == Shape::kFloats)
        for (float* d : {dx, dy, dz}) gKernelTable.GridScalarMinus(w, h, 0.0f, d, d);
    }
  }
  ReleaseFxFrame(list, a);
  ReleaseFxFrame(list, b);
  return 1;
}

std::uint32_t FxTransform() {
  SetFxExecutorError("transform");
  FxFrame& result = Result();
  FxFrame& value = Arg(1);
  FxFrame& matrix = Arg(2);
  MapList& list = Temporaries();
  if (value.count != 3 || !GridsOfOneSize(value, 3)) return 0;
  if (matrix.count != 16 || !AllFloats(matrix, 16)) return 0;
  FxMakeLive(result, 3);
  for (std::uint32_t i = 0; i < 3; ++i) FxTakeLike(list, result, i, value, i);
  const VertexGrid* x = value.grids[0];
  gKernelTable.GridTransform(LogW(x), LogH(x), matrix.floats, x->data, value.grids[1]->data,
                             value.grids[2]->data, result.grids[0]->data, result.grids[1]->data,
                             result.grids[2]->data);
  ReleaseFxFrame(list, value);
  return 1;
}

}  // namespace veskor
