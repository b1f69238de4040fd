// The 16-bit packed number in which a SweepPath keeps its per-point creases, path parameters
// and levels: bit 15 the sign, bits 0 to 14 the magnitude times 1024, truncated toward zero
// (sign and magnitude, 10 fraction bits). The geometry code reads and writes packed values only
// through these two functions, so that every writer and reader agrees on the encoding.
#pragma once

#include <bit>
#include <cstdint>

namespace veskor {

inline constexpr std::uint16_t kPackedSignBit = 0x8000;
inline constexpr std::uint16_t kPackedMagnitudeMax = 0x7FFF;  // 32 - 1/1024

// Magnitudes below 1/1024 pack to 0 with the value's sign bit. The format holds magnitudes
// below 32: larger ones (and infinities) saturate to the largest magnitude rather than carry
// into the sign bit; a NaN packs to 0.
inline std::uint16_t FloatToHalf(float value) {
  const auto sign =
      static_cast<std::uint16_t>((std::bit_cast<std::uint32_t>(value) >> 16) & kPackedSignBit);
  const float scaled = (value < 0 ? -value : value) * 1024.0f;  // exact: a power of two
  if (!(scaled < 32768.0f)) {
    return scaled == scaled ? static_cast<std::uint16_t>(sign | kPackedMagnitudeMax) : 0;
  }
  return static_cast<std::uint16_t>(sign | static_cast<std::uint16_t>(scaled));
}

inline float HalfToFloat(std::uint16_t packed) {
  const float magnitude = static_cast<float>(packed & kPackedMagnitudeMax) * (1.0f / 1024.0f);
  return (packed & kPackedSignBit) != 0 ? -magnitude : magnitude;
}

}  // namespace veskor
