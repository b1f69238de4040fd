// Processor features for the kernel dispatch, and the SSE rounding guard of SSE kernels.
#pragma once

#include <cstdint>

namespace veskor {

// True when the processor has SSE (always on x86-64).
bool CpuHasSse();

// True when VESKOR_PLAIN_KERNELS=1 asks for the plain kernel members (tests, comparisons).
bool CpuPlainKernelsForced();

// True when the SSE members are to be used: SSE present and plain not forced.
bool CpuUseSseKernels();

// The reciprocal square-root estimate of the SSE members: the processor's own (0), or, when
// VESKOR_RSQRT_ESTIMATE is "low" (-1) or "high" (+1), the exact value at that end of the bound
// the instruction set promises. Tests run with both ends; the program keeps the processor's.
int CpuInvSqrtEstimateEnd();

// Sets the SSE rounding mode to round toward negative infinity for its lifetime and restores
// the caller's MXCSR after. SSE kernel members that rely on round-down conversions hold one;
// a process-wide change would leak into the OpenGL driver's and the sound mixer's threads.
class ScopedRoundDown {
 public:
  ScopedRoundDown();
  ~ScopedRoundDown();
  ScopedRoundDown(const ScopedRoundDown&) = delete;
  ScopedRoundDown& operator=(const ScopedRoundDown&) = delete;

 private:
  std::uint32_t saved_;
};

}  // namespace veskor
