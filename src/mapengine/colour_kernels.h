// Members of the colour entries (10-27) of the kernel table: colour splits against a key colour
// or the largest channel, reductions over arrays of 3-component points and the principal-axes
// analysis that texture upload builds its split colours with. Callers use the table.
#pragma once

#include <cstdint>

#include "mapengine/kernel_members.h"

namespace veskor {

// Byte components enter float arithmetic multiplied by this (the float nearest 1/255).
inline constexpr float kByteToUnit = 0.003921569f;

// The low 8 bits of v truncated toward zero. Values the processor cannot convert to a 32-bit
// integer (NaN, |v| >= 2^31) give 0, the low byte of the integer the conversion then yields.
inline std::uint8_t TruncToByte(double v) {
  if (!(v > -2147483648.0 && v < 2147483648.0)) return 0;
  return static_cast<std::uint8_t>(static_cast<std::int32_t>(v) & 0xFF);
}

}  // namespace veskor

// Members, declared from the list of entries (mapengine/kernel_members.h): the plain splits and
// reductions, with one behaviour on both paths where there is no SSE member; SSE reductions in
// single precision rounding toward negative infinity; the principal-axes analysis over the
// plain or the SSE reductions.
