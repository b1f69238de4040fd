// Texture-space rasterisation of render triangles into six float maps (position x, y, z and
// unit normal x, y, z), one group of a converted network at a time. Rows and columns are
// clipped to the maps, whatever the triangles' texture coordinates.
#pragma once

#include <cstdint>

#include "meshlib/mesh_network.h"
#include "meshlib/render_vertex_fans.h"

namespace veskor {

// The six planes of 2^log2Width x 2^log2Height texels each; texel (column i, row j) is
// element j x 2^log2Width + i.
struct TriangleMaps {
  float* planes[6];  // position x, y, z, normal x, y, z
  std::uint32_t log2Width;
  std::uint32_t log2Height;
};
// Maps past this many texels a side are refused (nothing is written).
inline constexpr std::uint32_t kMaxMapLog2 = 15;

// Places the triangle on the maps by its texture coordinates (column u x width, row v x
// height) and writes interpolated position and unit normal into every texel it covers,
// row by row from the smallest v to the largest.
void RasterizeTriangleMaps(const RenderVertex& a, const RenderVertex& b, const RenderVertex& c,
                           const TriangleMaps& maps);

// Rasterises every triangle of the group (its firstTriangle to endTriangle), each index taken
// plus the group's vertexBase; `width` kIndex16 reads 16-bit indices, anything else 32-bit. A
// group index at or beyond the group count does nothing.
void ForEachGroupTriangle(const MeshNetwork& network, std::uint8_t group,
                          const RenderVertex* vertices, const void* indices, std::uint32_t width,
                          const TriangleMaps& maps);

}  // namespace veskor
