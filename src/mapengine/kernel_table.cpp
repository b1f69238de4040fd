#include "mapengine/kernel_table.h"

#include "mapengine/bspline_weights.h"
#include "mapengine/kernel_families.h"
#include "mapengine/math_kernels.h"
#include "platform/cpu.h"

namespace veskor {

namespace {

// The math block works from static initialisation on, before InitKernelTable has run.
constexpr KernelTable MathBlockOnly() {
  KernelTable table{};
  SetMathKernels(table, false);
  return table;
}

}  // namespace

constinit KernelTable gKernelTable = MathBlockOnly();

SseConstants gSseConstants;

namespace {

// 2 until the first test, then 1 (SSE members) or 0 (plain members).
std::uint32_t gSseFlag = 2;

void StoreSseConstants() {
  for (int i = 0; i < 4; ++i) {
    gSseConstants.zero[i] = 0.0f;
    gSseConstants.one[i] = 1.0f;
    gSseConstants.two[i] = 2.0f;
    gSseConstants.three[i] = 3.0f;
    gSseConstants.half[i] = 0.5f;
    gSseConstants.quarter[i] = 0.25f;
    gSseConstants.absMask[i] = 0x7FFFFFFFu;
  }
}

}  // namespace

std::uint32_t HasSse() {
  if (gSseFlag == 2) gSseFlag = CpuUseSseKernels() ? 1u : 0u;
  return gSseFlag;
}

void InitKernelTable() { FillKernelTable(gKernelTable, HasSse() != 0); }

void FillKernelTable(KernelTable& table, bool sse) {
  if (sse) StoreSseConstants();
  PrecomputeBSplineWeights();
  if (sse) PrecomputeBSplineWeightsSse();

  // One call per family, each under its own comment line; a family not built yet keeps its
  // call commented out and leaves its entries null.
  // Scalar and 3-vector math:
  RegisterMathKernels(table, sse);
  // Colour splits and point-set reductions:
  RegisterColourKernels(table, sse);
  // Map raster kernels:
  RegisterMapRasterKernels(table, sse);
  // VertexGrid arithmetic:
  RegisterGridArithmeticKernels(table, sse);
  // Vector fields and normals:
  RegisterFieldKernels(table, sse);
  // Grid layouts, sampling and seams:
  RegisterGridLayoutKernels(table, sse);
  // B-spline evaluation and refinement:
  RegisterBSplineKernels(table, sse);
}

}  // namespace veskor
