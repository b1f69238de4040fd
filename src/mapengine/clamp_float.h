// Branch-free clamps of one float, called directly by several subsystems (not through the
// kernel table). A NaN gives 0.
#pragma once

#include <bit>
#include <cstdint>

namespace veskor {

// lo when x < lo, hi when x > hi, else x; a NaN gives 0. Requires lo <= hi. Three comparison
// masks keep the bit patterns of x, lo and hi; a NaN passes none of them and sums to +0.
inline float ClampFloat(float x, float lo, float hi) {
  const std::uint32_t inRange = -static_cast<std::uint32_t>((x >= lo) & (x <= hi));
  const std::uint32_t below = -static_cast<std::uint32_t>(x < lo);
  const std::uint32_t above = -static_cast<std::uint32_t>(x > hi);
  return std::bit_cast<float>((std::bit_cast<std::uint32_t>(x) & inRange) +
                              (std::bit_cast<std::uint32_t>(lo) & below) +
                              (std::bit_cast<std::uint32_t>(hi) & above));
}

// 0 when x < 0, 1 when x > 1, else x; a NaN gives 0. Same results as KernelClamp01.
inline float Saturate(float x) { return ClampFloat(x, 0.0f, 1.0f); }

}  // namespace veskor
