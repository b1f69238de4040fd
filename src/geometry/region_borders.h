// Region borders: which terrain tiles touch. The terrain pass records every pair of
// neighbouring cells of its region grid that lie in different tiles; the renderer's skins stage
// walks the list as its skin connections and matches the seams of the two tiles' skins.
//
// The renderer is built on the geometry folder and both use the list, so it lives here.
#pragma once

#include <cstdint>

#include "geometry/curve_sets.h"
#include "geometry/scratch_array.h"

namespace veskor {

// Where the neighbour lies.
enum : std::uint32_t {
  kBorderLeft = 0,
  kBorderUp = 1,  // the row before
  kBorderUpLeft = 2,
  kBorderUpRight = 3,
};

// A cell and its neighbour in another region: the regions (item indices), the regions' log2
// sizes above the finest tile size and the cells' columns and rows within their regions.
struct RegionBorder {
  std::uint32_t side;
  std::uint32_t region;
  std::uint32_t neighbourRegion;
  std::uint8_t levelX, levelY;
  std::uint8_t neighbourLevelX, neighbourLevelY;
  std::uint16_t x, y;
  std::uint16_t neighbourX, neighbourY;
};
// The renderer's name for the record.
using SkinConnection = RegionBorder;

// The borders of the current render session, which empties the list (gRegionBorders.Clear());
// it grows as the terrain passes need.
extern ScratchArray<RegionBorder> gRegionBorders;

// For each cell of the rectangle [x0, x1) x [y0, y1), rows outer, columns inner, appends a
// border for each neighbour in another region, in the order left (x > 0), up (y > 0), up-left
// (x > 0 and y > 0), up-right (x < x1 - 1 and y > 0), with `offset` added to both regions.
void FindRegionBorders(const RegionGrid& grid, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1,
                       std::uint32_t y1, std::uint32_t offset);

}  // namespace veskor
