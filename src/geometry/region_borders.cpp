#include "geometry/region_borders.h"

namespace veskor {

ScratchArray<RegionBorder> gRegionBorders;

void FindRegionBorders(const RegionGrid& grid, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1,
                       std::uint32_t y1, std::uint32_t offset) {
  const auto at = [&](std::uint32_t x, std::uint32_t y) -> const RegionCell& {
    return grid.cells[(y << grid.log2Width) + x];
  };
  for (std::uint32_t y = y0; y < y1; ++y) {
    for (std::uint32_t x = x0; x < x1; ++x) {
      const RegionCell& c = at(x, y);
      const auto add = [&](std::uint32_t side, std::uint32_t nx, std::uint32_t ny) {
        const RegionCell& n = at(nx, ny);
        if (n.region == c.region) return;
        gRegionBorders.Append(
            {side, c.region + offset, n.region + offset, static_cast<std::uint8_t>(c.levelX),
             static_cast<std::uint8_t>(c.levelY), static_cast<std::uint8_t>(n.levelX),
             static_cast<std::uint8_t>(n.levelY), static_cast<std::uint16_t>(c.x),
             static_cast<std::uint16_t>(c.y), static_cast<std::uint16_t>(n.x),
             static_cast<std::uint16_t>(n.y)});
      };
      if (x > 0) add(kBorderLeft, x - 1, y);
      if (y > 0) add(kBorderUp, x, y - 1);
      if (x > 0 && y > 0) add(kBorderUpLeft, x - 1, y - 1);
      if (x + 1 < x1 && y > 0) add(kBorderUpRight, x + 1, y - 1);
    }
  }
}

}  // namespace veskor
