// The one-by-one part of the 3-D fills, shared by their plain and SSE members (the SSE
// members hand it the vertices left over after their blocks of 8).
#pragma once

#include <cstdint>

#include "mapengine/noise_fills.h"

namespace veskor::plain {

// The number of vertices of a grid, (2^w+1)(2^h+1).
std::uint32_t NoiseVertexCount(const VertexGrid& grid);

// Vertices [first, count) of the plain 3-D fill and fractal sum.
void NoiseFill3DRange(const NoiseGenerator3D& generator, const float* x, const float* y,
                      const float* z, float* destination, std::uint32_t first,
                      std::uint32_t count);
void NoiseFractal3DRange(const NoiseGenerator3D& generator, const NoiseOctaves& octaves,
                         const float* x, const float* y, const float* z, float* destination,
                         std::uint32_t first, std::uint32_t count);

}  // namespace veskor::plain
