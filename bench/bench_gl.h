// The GL context of the benchmarks that draw, made once for the whole run.
#pragma once

#include <cstdint>

namespace veskor {

// On the first call: llvmpipe pinned to two threads unless LP_NUM_THREADS is set, SDL's
// off-screen driver when there is no display, one window with its context current, the kernel
// table and the face direction tables; with a context, the extension entry points and word and
// the texture names. True when there is a context; `extensionWord`, when given, receives the
// word LoadGlExtensions returned (0 without a context).
bool BenchGlReady(std::uint32_t* extensionWord = nullptr);

}  // namespace veskor
