// Members of the VertexGrid arithmetic entries of the kernel table (and of the two small shared
// entries KernelDot2 and KernelLerp). Callers use the table. Every entry except KernelDot2,
// KernelLerp and the thresholds walks the (2^a+1)(2^b+1) values of a vertex-layout grid in
// index order; a destination may be one of the sources.
#pragma once

#include <cstdint>

#include "mapengine/kernel_members.h"

namespace veskor {

// Values of a vertex-layout grid: 2^(a+b) + 2^a + 2^b + 1, in 32-bit arithmetic.
inline std::uint32_t GridValueCount(std::uint8_t a, std::uint8_t b) {
  return (1u << (a + b)) + (1u << a) + (1u << b) + 1u;
}

}  // namespace veskor

// Members, declared from the list of entries (mapengine/kernel_members.h). Plain members compute
// each value in double and round once on store; entries with no SSE member of their own use
// them on both paths. SSE members take blocks of eight values (aligned loads and stores when
// every pointer is on a 32-byte boundary), the remainder one by one in single precision; the
// SSE GridDivScalar divides by s in the blocks and multiplies by 1/s for the remainder.
