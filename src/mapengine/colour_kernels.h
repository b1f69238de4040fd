// Members of the colour entries (10-27) of the kernel table: colour splits against a key colour
// or the largest channel, reductions over arrays of 3-component points and the principal-axes
// analysis that texture upload builds its split colours with. Callers use the table.
#pragma once

#include <cstdint>

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

// Members with one behaviour on both paths, and the plain reductions.
namespace veskor::plain {
void MapKeyColourSplit(std::uint32_t n, const std::uint8_t* source, const float* origin,
                       const float* key, const std::uint32_t* channel, std::uint8_t* destination);
void MapKeyColourSplit2(std::uint32_t n, const float* source, const float* origin, const float* key,
                        const std::uint32_t* channel, float* destination);
void MapKeyColourSplit3(std::uint32_t n, const std::uint8_t* source, const float* key,
                        const std::uint32_t* channel, std::uint8_t* destination);
void MapKeyColourSplit4(std::uint32_t n, const float* source, const float* key,
                        const std::uint32_t* channel, float* destination);
void MapMaxChannelSplit(std::uint32_t n, const std::uint8_t* source, std::uint8_t* destination);
void MapMaxChannelSplit2(std::uint32_t n, const float* source, float* destination);

void PointArrayMinMax(std::uint32_t n, const std::uint8_t* points, float* out);
void PointArrayMinMax2(std::uint32_t n, const float* points, float* out);
void PointArrayMinMax3(std::uint32_t n, const std::uint8_t* points, const float* base, float* out);
void PointArrayMinMax4(std::uint32_t n, const float* points, const float* base, float* out);
void PointArrayMinMax5(std::uint32_t n, const std::uint8_t* points, const float* base,
                       const float* mean, float* out);
void PointArrayMinMax6(std::uint32_t n, const float* points, const float* base, const float* mean,
                       float* out);
void PointArrayMinMax7(std::uint32_t n, const std::uint8_t* points, const float* base,
                       const std::uint32_t* order, float* ratios);
void PointArrayMinMax8(std::uint32_t n, const float* points, const float* base,
                       const std::uint32_t* order, float* ratios);

// The principal-axes analysis over the plain reductions.
void MapPrincipalAxes(std::uint32_t n, const std::uint8_t* source, const float* base, float* key,
                      std::uint32_t* order);
void MapPrincipalAxes2(std::uint32_t n, const float* source, const float* base, float* key,
                       std::uint32_t* order);
void MapPrincipalAxes3(std::uint32_t n, const std::uint8_t* const* sources, const float* base,
                       float* key, std::uint32_t* order);
void MapPrincipalAxes4(std::uint32_t n, const float* const* sources, const float* base, float* key,
                       std::uint32_t* order);
}  // namespace veskor::plain

// SSE reductions (single precision, rounding toward negative infinity), and the same analysis
// over them.
namespace veskor::sse {
void PointArrayMinMax(std::uint32_t n, const std::uint8_t* points, float* out);
void PointArrayMinMax2(std::uint32_t n, const float* points, float* out);
void PointArrayMinMax4(std::uint32_t n, const float* points, const float* base, float* out);
void PointArrayMinMax6(std::uint32_t n, const float* points, const float* base, const float* mean,
                       float* out);
void PointArrayMinMax7(std::uint32_t n, const std::uint8_t* points, const float* base,
                       const std::uint32_t* order, float* ratios);
void PointArrayMinMax8(std::uint32_t n, const float* points, const float* base,
                       const std::uint32_t* order, float* ratios);

void MapPrincipalAxes(std::uint32_t n, const std::uint8_t* source, const float* base, float* key,
                      std::uint32_t* order);
void MapPrincipalAxes2(std::uint32_t n, const float* source, const float* base, float* key,
                       std::uint32_t* order);
void MapPrincipalAxes3(std::uint32_t n, const std::uint8_t* const* sources, const float* base,
                       float* key, std::uint32_t* order);
void MapPrincipalAxes4(std::uint32_t n, const float* const* sources, const float* base, float* key,
                       std::uint32_t* order);
}  // namespace veskor::sse
