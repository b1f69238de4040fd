// Point sampling of a VertexGrid through its scales and offsets: the surface passes read
// position and normal grids at a vertex's texture coordinates, the scene build reads height
// grids. Points on or beyond the border of the unit square read the border row or column.
#pragma once

#include <cstdint>

#include "mapengine/vertex_grid.h"

namespace veskor {

// The grid's value at (x, z): u = x * scale x + offset x and v = z * scale z + offset z, taken
// into [0, 1] (a NaN coordinate counts as 0, so nothing is read outside the grid), then
// interpolated (bilinearly inside, linearly along the border rows and columns) and mapped by
// the value scale and offset.
float VertexGridSample(const VertexGrid& grid, float x, float z);

// (2^w + 1) x (2^h + 1).
std::uint32_t VertexGridValueCount(const VertexGrid& grid);

}  // namespace veskor
