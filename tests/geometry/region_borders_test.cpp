#include "geometry/region_borders.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace veskor {
namespace {

using Border = std::array<std::uint32_t, 11>;

std::vector<Border> Borders() {
  std::vector<Border> out;
  for (std::uint32_t k = 0; k < gRegionBorders.size(); ++k) {
    const RegionBorder& b = gRegionBorders[k];
    out.push_back({b.side, b.region, b.neighbourRegion, b.levelX, b.levelY, b.neighbourLevelX,
                   b.neighbourLevelY, b.x, b.y, b.neighbourX, b.neighbourY});
  }
  return out;
}

// Regions 0 0 1 1 / 2 2 1 1 (row 0 first): 0 and 2 are 2 x 1 cells, 1 is 2 x 2.
TEST(RegionBorders, EachNeighbourInAnotherRegionInTheOrderLeftUpUpLeftUpRight) {
  RegionCell cells[8] = {{0, 1, 0, 0, 0}, {0, 1, 0, 1, 0}, {1, 1, 1, 0, 0}, {1, 1, 1, 1, 0},
                         {2, 1, 0, 0, 0}, {2, 1, 0, 1, 0}, {1, 1, 1, 0, 1}, {1, 1, 1, 1, 1}};
  const RegionGrid grid{cells, 2, 1};
  gRegionBorders.Clear();
  FindRegionBorders(grid, 0, 0, 4, 2, 100);
  const std::vector<Border> all = {
      {kBorderLeft, 101, 100, 1, 1, 1, 0, 0, 0, 1, 0},     // (2, 0)
      {kBorderUp, 102, 100, 1, 0, 1, 0, 0, 0, 0, 0},       // (0, 1)
      {kBorderUpRight, 102, 100, 1, 0, 1, 0, 0, 0, 1, 0},  //
      {kBorderUp, 102, 100, 1, 0, 1, 0, 1, 0, 1, 0},       // (1, 1)
      {kBorderUpLeft, 102, 100, 1, 0, 1, 0, 1, 0, 0, 0},   //
      {kBorderUpRight, 102, 101, 1, 0, 1, 1, 1, 0, 0, 0},  //
      {kBorderLeft, 101, 102, 1, 1, 1, 0, 0, 1, 1, 0},     // (2, 1)
      {kBorderUpLeft, 101, 100, 1, 1, 1, 0, 0, 1, 1, 0}};  // (3, 1) has none
  EXPECT_EQ(Borders(), all);

  // Part of the grid: the neighbours left of and above it still count, the up-right one only
  // inside it. The list grows from where it was.
  FindRegionBorders(grid, 1, 1, 3, 2, 0);
  const std::vector<Border> now = Borders();
  std::vector<std::uint32_t> sides;
  for (std::size_t k = 8; k < now.size(); ++k) sides.push_back(now[k][0]);
  EXPECT_EQ(sides, (std::vector<std::uint32_t>{kBorderUp, kBorderUpLeft, kBorderUpRight,
                                               kBorderLeft, kBorderUpLeft}));
}

// One cell of its own region among others: one border per differing neighbour, and every
// neighbour below or right of it records one back.
TEST(RegionBorders, ALoneCellBordersEachNeighbour) {
  RegionCell cells[16]{};
  cells[5].region = 7;                 // column 1, row 1
  const RegionGrid grid{cells, 2, 2};  // only the 3 x 3 corner is walked
  gRegionBorders.Clear();
  FindRegionBorders(grid, 0, 0, 3, 3, 0);
  const std::vector<Border> touching = Borders();
  ASSERT_EQ(touching.size(), 8u);
  std::uint32_t from = 0;
  for (const Border& b : touching) from += b[1] == 7;
  EXPECT_EQ(from, 4u);  // left, up, up-left, up-right
}

}  // namespace
}  // namespace veskor
