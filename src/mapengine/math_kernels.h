// Members of the math entries (0-9) of the kernel table, declared from the list of entries
// (mapengine/kernel_members.h). The SSE KernelInvSqrt is the hardware estimate (relative error
// <= 1.5 * 2^-12); the SSE KernelNormalize3 always scales, by the reciprocal square-root
// estimate. Callers use the table.
#pragma once

#include "mapengine/kernel_members.h"
