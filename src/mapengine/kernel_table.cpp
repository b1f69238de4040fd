#include "mapengine/kernel_table.h"

#include "mapengine/bspline_weights.h"
#include "mapengine/inv_sqrt_estimate.h"
#include "mapengine/kernel_members.h"
#include "platform/cpu.h"

namespace veskor {

namespace {

// Stores an entry's member: the SSE one on the SSE path where it has its own, else the plain.
#define VESKOR_KERNEL_SET_SSE(name) table.name = sse ? sse::name : plain::name;
#define VESKOR_KERNEL_SET_PLAIN(name) table.name = plain::name;
#define VESKOR_KERNEL_SET_RESERVED(name)
#define VESKOR_KERNEL_SET(index, name, members, result, parameters) \
  VESKOR_KERNEL_SET_##members(name)

// The math block works from static initialisation on, before InitKernelTable has run.
constexpr KernelTable MathBlockOnly() {
  KernelTable table{};
  constexpr bool sse = false;
  VESKOR_KERNELS_MATH(VESKOR_KERNEL_SET)
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

// The members that use the reciprocal square-root estimate, at one end of its bound.
template <InvSqrtEstimate kEstimate>
void UseInvSqrtEstimate(KernelTable& table) {
  table.KernelInvSqrt = sse::KernelInvSqrtWith<kEstimate>;
  table.KernelNormalize3 = sse::KernelNormalize3With<kEstimate>;
  table.KernelTransformNormal = sse::KernelTransformNormalWith<kEstimate>;
  table.GridDiagonalNormals = sse::GridDiagonalNormalsWith<kEstimate>;
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

  VESKOR_KERNEL_ENTRIES(VESKOR_KERNEL_SET)
  if (!sse) return;
  if (const int end = CpuInvSqrtEstimateEnd(); end < 0)
    UseInvSqrtEstimate<InvSqrtEstimate::kLowEnd>(table);
  else if (end > 0)
    UseInvSqrtEstimate<InvSqrtEstimate::kHighEnd>(table);
}

#undef VESKOR_KERNEL_SET
#undef VESKOR_KERNEL_SET_SSE
#undef VESKOR_KERNEL_SET_PLAIN
#undef VESKOR_KERNEL_SET_RESERVED

}  // namespace veskor
