// The value-by-value executors: the element-wise operators ('+', '-', '*', '/', min, max),
// abs, the range operators (repeat, clamp) and the step operators.
#include <cmath>

#include "mapengine/fx_executor_support.h"
#include "mapengine/fx_executors.h"
#include "mapengine/kernel_table.h"

namespace veskor {

using namespace fx;

namespace {

using GridGrid = void (*KernelTable::*)(u8, u8, const float*, const float*, float*);
using GridScalar = void (*KernelTable::*)(u8, u8, const float*, float, float*);
using MapMap = void (*KernelTable::*)(u8, u8, u8, const float*, const float*, float*);
using MapScalar = void (*KernelTable::*)(u8, u8, u8, const float*, float, float*);

// How an operator takes a float first and a raster or grid second.
enum class FloatFirst {
  kSwap,         // commutative: the grid-scalar or raster-scalar kernel with the float
  kScalarMinus,  // float - grid through GridScalarMinus; float - raster fails
  kFail,         // float / grid and float / raster fail
};

struct ElementwiseOperator {
  const char* name;
  GridGrid gridGrid;
  GridScalar gridScalar;
  MapMap mapMap;
  MapScalar mapScalar;
  FloatFirst floatFirst;
  float (*floats)(float, float);
};

std::uint32_t Elementwise(const ElementwiseOperator& op) {
  SetFxExecutorError(op.name);
  FxFrame& result = Result();
  FxFrame& a = Arg(1);
  FxFrame& b = Arg(2);
  MapList& list = Temporaries();
  const std::uint32_t n = a.count < b.count ? a.count : b.count;
  FxMakeLive(result, static_cast<std::uint16_t>(n));
  for (std::uint32_t i = 0; i < n; ++i) {
    const Map* am = FxMapAt(a, i);
    const Map* bm = FxMapAt(b, i);
    const VertexGrid* ag = FxGridAt(a, i);
    const VertexGrid* bg = FxGridAt(b, i);
    const bool aFloat = am == nullptr && ag == nullptr;
    const bool bFloat = bm == nullptr && bg == nullptr;
    if (ag != nullptr && bg != nullptr) {
      if (!SameSize(ag, bg)) return 0;
      FxTakeLike(list, result, i, a, i);
      (gKernelTable.*op.gridGrid)(LogW(ag), LogH(ag), ag->data, bg->data, result.grids[i]->data);
    } else if (am != nullptr && bm != nullptr) {
      if (!SameSize(am, bm)) return 0;
      FxTakeLike(list, result, i, a, i);
      (gKernelTable.*op.mapMap)(1, LogW(am), LogH(am), am->data, bm->data,
                                result.maps[i]->data);
    } else if (ag != nullptr && bFloat) {
      FxTakeLike(list, result, i, a, i);
      (gKernelTable.*op.gridScalar)(LogW(ag), LogH(ag), ag->data, b.floats[i],
                                    result.grids[i]->data);
    } else if (am != nullptr && bFloat) {
      FxTakeLike(list, result, i, a, i);
      (gKernelTable.*op.mapScalar)(1, LogW(am), LogH(am), am->data, b.floats[i],
                                   result.maps[i]->data);
    } else if (aFloat && bg != nullptr) {
      if (op.floatFirst == FloatFirst::kFail) return 0;
      FxTakeLike(list, result, i, b, i);
      if (op.floatFirst == FloatFirst::kScalarMinus)
        gKernelTable.GridScalarMinus(LogW(bg), LogH(bg), a.floats[i], bg->data,
                                     result.grids[i]->data);
      else
        (gKernelTable.*op.gridScalar)(LogW(bg), LogH(bg), bg->data, a.floats[i],
                                      result.grids[i]->data);
    } else if (aFloat && bm != nullptr) {
      if (op.floatFirst != FloatFirst::kSwap) return 0;
      FxTakeLike(list, result, i, b, i);
      (gKernelTable.*op.mapScalar)(1, LogW(bm), LogH(bm), bm->data, a.floats[i],
                                   result.maps[i]->data);
    } else if (aFloat && bFloat) {
      FxTakeLike(list, result, i, a, i);
      result.floats[i] = op.floats(a.floats[i], b.floats[i]);
    } else {
      return 0;  // a raster with a grid
    }
  }
  ReleaseFxFrame(list, a);
  ReleaseFxFrame(list, b);
  return 1;
}

constexpr ElementwiseOperator kAdd{"+",
                                   &KernelTable::GridAdd,
                                   &KernelTable::GridAddScalar,
                                   &KernelTable::MapAdd,
                                   &KernelTable::MapAddScalar,
                                   FloatFirst::kSwap,
                                   [](float x, float y) { return x + y; }};
constexpr ElementwiseOperator kSub{"-",
                                   &KernelTable::GridSub,
                                   &KernelTable::GridSubScalar,
                                   &KernelTable::MapSub,
                                   &KernelTable::MapSubScalar,
                                   FloatFirst::kScalarMinus,
                                   [](float x, float y) { return x - y; }};
constexpr ElementwiseOperator kMul{"*",
                                   &KernelTable::GridMul,
                                   &KernelTable::GridMulScalar,
                                   &KernelTable::MapMul,
                                   &KernelTable::MapMulScalar,
                                   FloatFirst::kSwap,
                                   [](float x, float y) { return x * y; }};
constexpr ElementwiseOperator kDiv{"/",
                                   &KernelTable::GridDiv,
                                   &KernelTable::GridDivScalar,
                                   &KernelTable::MapDiv,
                                   &KernelTable::MapDivScalar,
                                   FloatFirst::kFail,
                                   [](float x, float y) { return x / y; }};
// The comparisons are ordered, as in the kernels: ties and NaNs give the second operand.
constexpr ElementwiseOperator kMin{"min",
                                   &KernelTable::GridMin,
                                   &KernelTable::GridMinScalar,
                                   &KernelTable::MapMin,
                                   &KernelTable::MapMinScalar,
                                   FloatFirst::kSwap,
                                   [](float x, float y) { return x < y ? x : y; }};
constexpr ElementwiseOperator kMax{"max",
                                   &KernelTable::GridMax,
                                   &KernelTable::GridMaxScalar,
                                   &KernelTable::MapMax,
                                   &KernelTable::MapMaxScalar,
                                   FloatFirst::kSwap,
                                   [](float x, float y) { return x > y ? x : y; }};

// A float component through a grid kernel: the kernels walk whole grids, the smallest of
// which (log2 sizes 0, 0) holds four values. Floats so get exactly the grid values' results.
template <class Kernel>
float ThroughGridKernel(float x, Kernel kernel) {
  float values[4] = {x, x, x, x};
  kernel(values);
  return values[0];
}

// repeat and clamp: (range, value). n = the value's count; one (lo, hi) pair per component
// when the range holds exactly two floats per component, else floats 0 and 1 for all.
template <bool kRepeat>
std::uint32_t RangeOperator(const char* name) {
  SetFxExecutorError(name);
  FxFrame& result = Result();
  FxFrame& range = Arg(1);
  FxFrame& value = Arg(2);
  MapList& list = Temporaries();
  const std::uint32_t n = value.count;
  // A range of fewer than two components would hand stale floats on as bounds.
  if (range.count < 2) return 0;
  const bool pairEach = n != 0 && range.count / n == 2;
  FxMakeLive(result, static_cast<std::uint16_t>(n));
  for (std::uint32_t i = 0; i < n; ++i) {
    const float lo = range.floats[pairEach ? 2 * i : 0];
    const float hi = range.floats[pairEach ? 2 * i + 1 : 1];
    if (FxMapAt(value, i) != nullptr) return 0;
    FxTakeLike(list, result, i, value, i);
    if (const VertexGrid* g = FxGridAt(value, i)) {
      float* d = result.grids[i]->data;
      if (kRepeat) {
        gKernelTable.GridRepeat(LogW(g), LogH(g), g->data, lo, hi, d);
      } else {
        gKernelTable.GridCopy(LogW(g), LogH(g), g->data, d);
        gKernelTable.GridClampRange(LogW(g), LogH(g), d, lo, hi);
      }
    } else if (kRepeat) {
      result.floats[i] = ThroughGridKernel(value.floats[i], [&](float* v) {
        gKernelTable.GridRepeat(0, 0, v, lo, hi, v);
      });
    } else {
      result.floats[i] = ThroughGridKernel(value.floats[i], [&](float* v) {
        gKernelTable.GridClampRange(0, 0, v, lo, hi);
      });
    }
  }
  ReleaseFxFrame(list, value);
  return 1;
}

enum class StepKind { kHard, kLinear, kSmooth };

// step, stepLinear, stepSmooth: (edges, value); every value component must be a grid.
std::uint32_t StepOperator(StepKind kind, const char* name) {
  SetFxExecutorError(name);
  FxFrame& result = Result();
  FxFrame& edges = Arg(1);
  FxFrame& value = Arg(2);
  MapList& list = Temporaries();
  const std::uint32_t edgeCount = kind == StepKind::kHard ? 1 : 2;
  if (edges.count < edgeCount) return 0;
  const float e0 = edges.floats[0];
  const float e1 = edges.floats[1];
  const std::uint32_t n = value.count;
  FxMakeLive(result, static_cast<std::uint16_t>(n));
  for (std::uint32_t i = 0; i < n; ++i) {
    const VertexGrid* g = FxGridAt(value, i);
    if (g == nullptr) return 0;
    FxTakeLike(list, result, i, value, i);
    float* d = result.grids[i]->data;
    switch (kind) {
      case StepKind::kHard:
        gKernelTable.GridStep(LogW(g), LogH(g), g->data, e0, d);
        break;
      case StepKind::kLinear:
        gKernelTable.GridStepLinear(LogW(g), LogH(g), g->data, e0, e1, d);
        break;
      case StepKind::kSmooth:
        gKernelTable.GridStepSmooth(LogW(g), LogH(g), g->data, e0, e1, d);
        break;
    }
  }
  ReleaseFxFrame(list, value);
  return 1;
}

}  // namespace

std::uint32_t FxAdd() { return Elementwise(kAdd); }
std::uint32_t FxSub() { return Elementwise(kSub); }
std::uint32_t FxMul() { return Elementwise(kMul); }
std::uint32_t FxDiv() { return Elementwise(kDiv); }
std::uint32_t FxMin() { return Elementwise(kMin); }
std::uint32_t FxMax() { return Elementwise(kMax); }

std::uint32_t FxAbs() {
  SetFxExecutorError("abs");
  FxFrame& result = Result();
  FxFrame& value = Arg(1);
  MapList& list = Temporaries();
  const std::uint32_t n = value.count;
  FxMakeLive(result, static_cast<std::uint16_t>(n));
  for (std::uint32_t i = 0; i < n; ++i) {
    if (FxMapAt(value, i) != nullptr) return 0;
    FxTakeLike(list, result, i, value, i);
    if (const VertexGrid* g = FxGridAt(value, i))
      gKernelTable.GridAbs(LogW(g), LogH(g), g->data, result.grids[i]->data);
    else
      result.floats[i] = std::fabs(value.floats[i]);
  }
  ReleaseFxFrame(list, value);
  return 1;
}

std::uint32_t FxRepeat() { return RangeOperator<true>("repeat"); }
std::uint32_t FxClamp() { return RangeOperator<false>("clamp"); }

std::uint32_t FxStep() { return StepOperator(StepKind::kHard, "step"); }
std::uint32_t FxStepLinear() { return StepOperator(StepKind::kLinear, "stepLinear"); }
std::uint32_t FxStepSmooth() { return StepOperator(StepKind::kSmooth, "stepSmooth"); }

}  // namespace veskor
