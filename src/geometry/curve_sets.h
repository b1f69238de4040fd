// Curve sets: the terrain cut into open curves so that the model machinery (refinement,
// cross-sections, meshes) can build it. A curve set is an EdgeCurveList of kind 1 with one
// curve per grid column of a height field, running along its rows, plus one column and row of
// neighbours at the borders. The terrain pass (terrain_pass.h) cuts a height field into tiles
// with them and records in a region grid which tile covers each cell of the finest tile size.
//
// A height field keeps its box in the order (x, height, y): its grid columns run along world x
// and its rows along world y. The points of a curve set are (x, negated height, world y), the
// world y being the height coordinate of the curve (the axis it is cut along); the terrain's
// item transform turns them upright.
#pragma once

#include <cstdint>

#include "language/edge_curve.h"
#include "language/world.h"

namespace veskor {

// One cell of a region grid: the region (tile id plus the grid's offset) that covers it, the
// region's log2 size above the finest tile size in columns and in rows, and the cell's column
// and row within the region.
struct RegionCell {
  std::uint32_t region;
  std::uint32_t levelX, levelY;
  std::uint32_t x, y;
};

// A row-major grid of 2^log2Width x 2^log2Height cells (the caller's storage).
struct RegionGrid {
  RegionCell* cells;
  std::uint32_t log2Width, log2Height;
};

// Tiles of one call of CurveSetTile: the lists array holds this many.
inline constexpr std::uint32_t kTerrainTileMax = 8192;
inline constexpr const char* kTooManyTerrainTilesMessage = "Too Many Terrain Tiles !";

// The point of grid column i, row j: (i x step + min x, value x height scale - min height,
// j x step + min y), the value read at i and j clamped into the grid, so columns and rows
// outside it repeat the border values at positions beyond the box. With the height scale of a
// height field (min - max height) the second coordinate is the negated height.
void HeightGridPoint(const HeightFieldRecord& map, std::int32_t i, std::int32_t j, float* point);

// The centre of a tile whose corner is column i, row j: half of (max - min) / 2^lx beyond the
// corner's x, half of (max - min) / 2^lz beyond its world y, and the middle of the box's
// heights.
void HeightGridTileCentre(const HeightFieldRecord& map, std::int32_t i, std::int32_t j,
                          std::uint32_t lx, std::uint32_t lz, float* point);

// The curve set of columns i0 - 1 to i1 (i1 - i0 + 2 curves), each of rows j0 - 1 to j1: the
// list's kind becomes 1, its curves are rebuilt; every point has sharpness 0, levels 28 and
// flag 0. The list's block is kept when it holds that many curves.
void CurveSetBuild(const HeightFieldRecord& map, EdgeCurveList& list, std::int32_t i0,
                   std::int32_t j0, std::int32_t i1, std::int32_t j1);

// Cuts the square of 2^lx x 2^lz cells at column x0, row z0 into a quadtree of tiles down to
// the finest log2 sizes flx and flz (a tile stops splitting as soon as either size is the
// finest), quadrants in the order (x0, z0), right, above, above-right. Each tile becomes
// lists[counter] (columns x0 - 1 to x0 + 2^lx + 1, rows likewise: one neighbour beyond each
// side) and writes the grid cells it covers with region base + counter; counter + 1. A tile
// beyond kTerrainTileMax sets the scene build's error and is not made; cells outside the grid
// are not written.
void CurveSetTile(const HeightFieldRecord& map, EdgeCurveList* lists, std::uint32_t& counter,
                  RegionGrid& grid, std::uint32_t base, std::uint32_t x0, std::uint32_t z0,
                  std::uint32_t lx, std::uint32_t lz, std::uint32_t flx, std::uint32_t flz);

// Writes the 2^(lx - flx) x 2^(lz - flz) cells of a tile at (x0, z0) with their place in it.
void RegionGridFillTile(RegionGrid& grid, std::uint32_t region, std::uint32_t x0, std::uint32_t z0,
                        std::uint32_t lx, std::uint32_t lz, std::uint32_t flx, std::uint32_t flz);

}  // namespace veskor
