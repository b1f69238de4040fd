// Members of the Map raster entries (28, 31-44, 47-64) of the kernel table: copies, fills and
// channel writes, downsampling, the neighbourhood filters and smoothing, the prefix sum, the
// conversion into a vertex grid and the element-wise arithmetic. Callers use the table.
#pragma once

#include <cstddef>
#include <cstdint>

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

// Plain members, and the members both paths share.
namespace veskor::plain {
void MapPrefixSum(std::uint8_t n, const float* source, float* destination);
void MapFillBytesVector(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint8_t* destination,
                        const std::uint8_t* vector);
void MapCopyBytes(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const std::uint8_t* source,
                  std::uint8_t* destination);
void MapCopyBytes2(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const std::uint8_t* source,
                   std::uint8_t* destination);
void MapBytesDownsample(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint32_t halveWidth,
                        std::uint32_t halveHeight, const std::uint8_t* source,
                        std::uint8_t* destination);
void MapBytesDownsample2(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint32_t halveWidth,
                         std::uint32_t halveHeight, const std::int8_t* source,
                         std::int8_t* destination);
void GridCopyBytes(std::uint8_t a, std::uint8_t b, const std::uint8_t* source,
                   std::uint8_t* destination);
void MapCopy(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* source,
             float* destination);
void MapWriteChannel(std::uint8_t ch, std::uint8_t k, std::uint8_t w, std::uint8_t h,
                     const float* source, float* destination);
void MapWriteChannelFromBordered(std::uint8_t ch, std::uint8_t k, std::uint8_t w, std::uint8_t h,
                                 const float* source, float* destination);
void MapFill(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* destination, float value);
void MapFillVector(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* destination,
                   const float* vector);
void MapToBordered(std::uint8_t w, std::uint8_t h, const float* source, std::uint8_t sourceStep,
                   float* destination);
void MapClamp01(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* data);
void MapDownsample(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint32_t halveWidth,
                   std::uint32_t halveHeight, const float* source, float* destination);
void MapNeighbourTest(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* source,
                      float level, float* destination);
void MapScalarMinusTimes(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float lo, float hi,
                         const float* a, float* destination);
void MapCentreWeight(std::uint8_t w, std::uint8_t h, const float* source, float* destination);
void MapPropagate(std::uint32_t count, std::uint8_t length, std::uint32_t startA,
                  std::uint32_t startB, std::int32_t stepA, std::int32_t stepB,
                  const float* sourceA, const float* sourceB, float* destinationA,
                  float* destinationB);
void MapPropagate2(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* source,
                   float* destination);
void MapPropagate3(std::uint8_t w, std::uint8_t h, const float* source, float* destination);
void MapMul(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination);
void MapMulScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination);
void MapDiv(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination);
void MapDivScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination);
void MapAdd(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination);
void MapAddScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination);
void MapSub(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination);
void MapSubScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination);
void MapMin(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination);
void MapMax(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination);
void MapMinScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination);
void MapMaxScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination);
}  // namespace veskor::plain

// SSE members: eight values a step, rounding toward negative infinity.
namespace veskor::sse {
void MapClamp01(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* data);
void MapDownsample(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint32_t halveWidth,
                   std::uint32_t halveHeight, const float* source, float* destination);
void MapMul(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination);
void MapMulScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination);
void MapDiv(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination);
void MapDivScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination);  // a / s, not a times the reciprocal
void MapAdd(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination);
void MapAddScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination);
void MapSub(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination);
void MapSubScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination);
}  // namespace veskor::sse
