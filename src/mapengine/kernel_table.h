// The kernel table: every numeric kernel of the program (scalar and vector math, colour and
// point-set reductions, Map raster and VertexGrid kernels) is called through one entry of it.
// It is filled once at start with the plain floating-point or the SSE member of each entry.
//
// Conventions of all entries: log2 sizes and channel counts are unsigned 8-bit, scalars 32-bit
// floats, arrays pointers to floats (or bytes where the signature says so), the destination
// last; kernels return nothing unless the signature says so, allocate nothing and check
// nothing. Matrices are 16 floats in column-major order, the translation in elements 12-14.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "mapengine/kernel_entries.h"

namespace veskor {

// One pointer per entry, in table order (entries 0-133), with the types kernel_entries.h gives.
// The math block (0-9) holds the plain members from static initialisation on; the rest is null
// until the table is filled. Entries 45, 46 and 108 are reserved: nothing fills or calls them.
#define VESKOR_KERNEL_FIELD_SSE(name, result, parameters) result(*name) parameters;
#define VESKOR_KERNEL_FIELD_PLAIN(name, result, parameters) result(*name) parameters;
#define VESKOR_KERNEL_FIELD_RESERVED(name, result, parameters) void* name;
#define VESKOR_KERNEL_FIELD(index, name, members, result, parameters) \
  VESKOR_KERNEL_FIELD_##members(name, result, parameters)
struct KernelTable {
  VESKOR_KERNEL_ENTRIES(VESKOR_KERNEL_FIELD)
};
#undef VESKOR_KERNEL_FIELD
#undef VESKOR_KERNEL_FIELD_SSE
#undef VESKOR_KERNEL_FIELD_PLAIN
#undef VESKOR_KERNEL_FIELD_RESERVED

inline constexpr std::uint32_t kKernelTableEntries = 134;
static_assert(sizeof(KernelTable) == kKernelTableEntries * sizeof(void*),
              "one pointer per entry, no padding");
static_assert(std::size(kKernelEntryMembers) == kKernelTableEntries);
#define VESKOR_KERNEL_SLOT(index, name, members, result, parameters) \
  static_assert(offsetof(KernelTable, name) == (index) * sizeof(void*), "entry out of its slot");
VESKOR_KERNEL_ENTRIES(VESKOR_KERNEL_SLOT)
#undef VESKOR_KERNEL_SLOT

// The relative error of KernelInvSqrt on the SSE path: the processor's reciprocal square-root
// estimate promises no better, and processor models differ within it.
inline constexpr double kInvSqrtEstimateBound = 1.5 / 4096.0;
// The relative error of the length of a vector that KernelNormalize3, KernelTransformNormal or
// GridDiagonalNormals scales to unit length: the estimate's bound, plus the float roundings of
// the squared length (three, halved by the root) and of the product. The plain members, which
// leave a vector within 1e-5 of unit squared length alone, stay within it too.
inline constexpr double kUnitLengthError = kInvSqrtEstimateBound + 3.0 / (1 << 24);

// The program's table. Callers in every subsystem call kernels through it, never directly.
extern KernelTable gKernelTable;

// 1 when the SSE members are to be used (the processor has SSE and VESKOR_PLAIN_KERNELS=1 does
// not force the plain members), else 0. Tested at the first call, cached after. The noise
// fills and a few other routines choose code paths of their own with it.
std::uint32_t HasSse();

// Fills gKernelTable with the members HasSse chooses. Called once, first thing at start.
void InitKernelTable();

// Fills `table` with the SSE members (sse) or the plain ones, entry by entry of the list in
// kernel_entries.h; also builds the B-spline weight tables (and their SSE copy and the SSE
// constants on the SSE path). The SSE members that use the reciprocal square-root estimate take
// the end of its bound that VESKOR_RSQRT_ESTIMATE names, if any (mapengine/inv_sqrt_estimate.h).
// InitKernelTable uses it; tests fill tables of both kinds side by side.
void FillKernelTable(KernelTable& table, bool sse);

// Constant vectors of the SSE members, 16-byte aligned; stored on the SSE path.
struct alignas(16) SseConstants {
  float zero[4];
  float quarter[4];
  float half[4];
  float one[4];
  float two[4];
  float three[4];
  std::uint32_t absMask[4];  // 0x7FFFFFFF
};
extern SseConstants gSseConstants;

}  // namespace veskor
