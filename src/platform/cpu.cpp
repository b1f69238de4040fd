#include "platform/cpu.h"

#include <cpuid.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <xmmintrin.h>

namespace veskor {

bool CpuHasSse() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (edx & bit_SSE) != 0;
}

bool CpuPlainKernelsForced() {
  const char* v = std::getenv("VESKOR_PLAIN_KERNELS");
  return v != nullptr && std::strcmp(v, "1") == 0;
}

bool CpuUseSseKernels() { return CpuHasSse() && !CpuPlainKernelsForced(); }

int CpuInvSqrtEstimateEnd() {
  const char* v = std::getenv("VESKOR_RSQRT_ESTIMATE");
  if (v == nullptr) return 0;
  if (std::strcmp(v, "low") == 0) return -1;
  if (std::strcmp(v, "high") == 0) return 1;
  // A mistyped name would let a run meant to check an end pass on the processor's own estimate:
  // it is said, once for each value met.
  static std::mutex said;
  static std::optional<std::string> saidFor;
  const std::lock_guard<std::mutex> lock(said);
  if (saidFor != std::string(v)) {
    std::fprintf(stderr,
                 "veskor: VESKOR_RSQRT_ESTIMATE=%s is not low or high: the processor's estimate "
                 "is used\n",
                 v);
    saidFor = v;
  }
  return 0;
}

ScopedRoundDown::ScopedRoundDown() : saved_(_mm_getcsr()) {
  _mm_setcsr((saved_ & ~_MM_ROUND_MASK) | _MM_ROUND_DOWN);
}

ScopedRoundDown::~ScopedRoundDown() { _mm_setcsr(saved_); }

}  // namespace veskor
