// Members of the VertexGrid arithmetic entries of the kernel table (and of the two small shared
// entries KernelDot2 and KernelLerp). Callers use the table. Every entry except KernelDot2,
// KernelLerp and the thresholds walks the (2^a+1)(2^b+1) values of a vertex-layout grid in
// index order; a destination may be one of the sources.
#pragma once

#include <cstdint>

namespace veskor {

// Values of a vertex-layout grid: 2^(a+b) + 2^a + 2^b + 1, in 32-bit arithmetic.
inline std::uint32_t GridValueCount(std::uint8_t a, std::uint8_t b) {
  return (1u << (a + b)) + (1u << a) + (1u << b) + 1u;
}

}  // namespace veskor

// Plain members: each value computed in double and rounded once on store. Entries that have
// no SSE member of their own use these on both paths.
namespace veskor::plain {
void GridMul(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb, float* d);
void GridMulScalar(std::uint8_t a, std::uint8_t b, const float* ga, float s, float* d);
void GridDiv(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb, float* d);
void GridDivScalar(std::uint8_t a, std::uint8_t b, const float* ga, float s, float* d);
void GridAdd(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb, float* d);
void GridAddScalar(std::uint8_t a, std::uint8_t b, const float* ga, float s, float* d);
void GridSub(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb, float* d);
void GridSubScalar(std::uint8_t a, std::uint8_t b, const float* ga, float s, float* d);
void GridScalarMinus(std::uint8_t a, std::uint8_t b, float s, const float* ga, float* d);
void GridMulAdd(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb,
                const float* gc, float* d);
void GridScaleAdd(std::uint8_t a, std::uint8_t b, const float* ga, float s, const float* gc,
                  float* d);
void GridCompare(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb, float* d);
void GridCompare2(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb, float* d);
}  // namespace veskor::plain

// SSE members: blocks of eight values (aligned loads and stores when every pointer is on a
// 32-byte boundary), the remainder one by one in single precision.
namespace veskor::sse {
void GridMul(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb, float* d);
void GridMulScalar(std::uint8_t a, std::uint8_t b, const float* ga, float s, float* d);
void GridDiv(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb, float* d);
// A / s in the blocks, A * (1/s) for the remainder.
void GridDivScalar(std::uint8_t a, std::uint8_t b, const float* ga, float s, float* d);
void GridAdd(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb, float* d);
void GridAddScalar(std::uint8_t a, std::uint8_t b, const float* ga, float s, float* d);
void GridSub(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb, float* d);
void GridSubScalar(std::uint8_t a, std::uint8_t b, const float* ga, float s, float* d);
void GridScalarMinus(std::uint8_t a, std::uint8_t b, float s, const float* ga, float* d);
void GridMulAdd(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb,
                const float* gc, float* d);
void GridScaleAdd(std::uint8_t a, std::uint8_t b, const float* ga, float s, const float* gc,
                  float* d);
void GridCompare(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb, float* d);
void GridCompare2(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb, float* d);
}  // namespace veskor::sse
