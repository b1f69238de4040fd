// The kernel families, each filling its own entries of a KernelTable. FillKernelTable calls
// every family once; a family lives in its own files (plain and SSE members side by side) and
// registers the plain members, or the SSE members where it has them when `sse` is true.
#pragma once

#include "mapengine/kernel_table.h"

namespace veskor {

// Entries 0-9: scalar and 3-vector math.
void RegisterMathKernels(KernelTable& table, bool sse);
// Entries 10-27: colour splits, point-set reductions and principal axes.
void RegisterColourKernels(KernelTable& table, bool sse);
// Entries 28, 31-44 and 47-64: Map raster copies, fills, resampling, filters and arithmetic.
void RegisterMapRasterKernels(KernelTable& table, bool sse);
// Entries 29, 30, 74-87, 94-107, 119 and 120: VertexGrid arithmetic.
void RegisterGridArithmeticKernels(KernelTable& table, bool sse);
// Entries 71-73, 88-93 and 121: vector fields and normals.
void RegisterFieldKernels(KernelTable& table, bool sse);
// Entries 65-69, 109-118, 122-130 and 133: grid layouts, sampling and seams.
void RegisterGridLayoutKernels(KernelTable& table, bool sse);
// Entries 70, 131 and 132: B-spline evaluation and refinement.
void RegisterBSplineKernels(KernelTable& table, bool sse);

}  // namespace veskor
