// Members of the Map raster entries (28, 31-44, 47-64) of the kernel table: copies, fills and
// channel writes, downsampling, the neighbourhood filters and smoothing, the prefix sum, the
// conversion into a vertex grid and the element-wise arithmetic. Callers use the table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mapengine/kernel_members.h"

namespace veskor {

// ch x 2^(w+h): the values of an interleaved raster.
inline std::size_t RasterValues(std::uint8_t ch, std::uint8_t w, std::uint8_t h) {
  return std::size_t{ch} << (w + h);
}

// Which axes a downsampling call halves: the width when asked, the height when asked or when
// the width is not. An axis of one texel (log2 size 0) is never halved, so no call reads past
// its source; when neither axis is left the raster is copied unchanged.
struct DownsampleAxes {
  bool width;
  bool height;
};
inline DownsampleAxes DownsampleAxesFor(std::uint8_t w, std::uint8_t h, std::uint32_t halveWidth,
                                        std::uint32_t halveHeight) {
  return {halveWidth != 0 && w > 0, (halveWidth == 0 || halveHeight != 0) && h > 0};
}

// Weights of the smoothing kernel: 0.10736987 (2 centre + 4 edge + 0.8284 x 4 diagonal
// neighbours); across a common border the end texels weigh their edge neighbour by 1.4142.
inline constexpr float kPropagateScale = 0.10736987f;
inline constexpr float kPropagateDiagonal = 0.8284f;
inline constexpr float kPropagateCorner = 1.4142f;

}  // namespace veskor

// Members, declared from the list of entries (mapengine/kernel_members.h): plain members, shared
// by both paths where there is no SSE member; SSE members take eight values a step, rounding
// toward negative infinity (the SSE MapDivScalar divides by s, it does not multiply by the
// reciprocal).
