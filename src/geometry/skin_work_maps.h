// The skin maps of an item's SkinWork: loading the skin grids into them as bordered maps for
// the fx shading, matching the seams of neighbouring items' maps, and releasing them. The
// render preparation calls these between the skin generation and the shading.
#pragma once

#include <cstdint>

#include "geometry/skin_slot.h"
#include "geometry/skin_work.h"

namespace veskor {

// Floats a skin map of log2 sizes (w, h) holds: its texels with a one-wide border (the net
// layout of the grid kernels), (2^w + 3)(2^h + 3).
std::uint32_t SkinMapValues(std::uint32_t w, std::uint32_t h);

// Sizes the map to (w, h): a map without a block, or with a block of other sizes (given back),
// gets a new block of SkinMapValues floats; a map of these sizes keeps its block and texels.
void SkinMapAlloc(Map& map, std::uint32_t w, std::uint32_t h);
// SkinMapAlloc on each of the six maps of a set.
void SkinMapSetAlloc(Map* maps, std::uint32_t w, std::uint32_t h);

// When grid 0 of `grids` holds data: sizes the six maps like the grids and repacks grids 0, 1,
// 2, 6, 7 and 8 into maps 0 to 5 as bordered maps, wrapped across (wrapX) and along (wrapY)
// where the flags are non-zero, else with the edge repeated.
void GridsToSkinMaps(Map* maps, const SkinGridSet& grids, std::uint32_t wrapX, std::uint32_t wrapY);

// Copies the slot's level reductions into the work's offsets and loads the slot's three grid
// sets into the work's three map sets: the first with the flags a and b (a = 1 for a closed
// item, whose grids wrap across), the others with 0 and 0. A grid set whose grid 0 is empty
// leaves its map set as it is.
void SkinWorkLoad(SkinWork& work, const SkinSlot& slot, std::uint32_t a, std::uint32_t b);

// One item's tile within its skin maps: the maps cut into 2^tilesWide x 2^tilesHigh tiles, the
// tile at (column, row).
struct SkinTile {
  std::uint8_t tilesWide, tilesHigh;
  std::uint16_t column, row;
};

// Matches the seam between A's and B's first map sets, map by map: code 0 with B to the left
// of A, 1 with B above A (the row before), 2 with B above and to the left, 3 with B above and
// to the right (the region border sides). Both maps change along the seam. Other codes, maps
// without data and tiles outside their maps change nothing (the last two with a log line).
void SkinsConnect(SkinWork& a, std::uint32_t code, SkinWork& b, const SkinTile& tileA,
                  const SkinTile& tileB);

// Gives the blocks of all 18 maps back and clears their data; sizes and offsets stay.
void ReleaseSkinMapSet(SkinWork& work);

}  // namespace veskor
