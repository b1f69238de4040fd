// The terrain pass: a height field becomes items. It is cut into 4 x 4 blocks, each block into
// curve-set tiles down to the finest tile size (curve_sets.h); every tile is registered as a
// scene object with the terrain's refinement settings and becomes one item through its own
// draw-item leaf and scene instance record. The region grid tells which tile covers each cell
// of the finest size; the borders between tiles go to the region borders (region_borders.h)
// and every tile's skin slot gets the finest size as its skin levels.
#pragma once

#include <cstdint>

#include "geometry/curve_sets.h"
#include "gfx/transform_node.h"
#include "language/world.h"

namespace veskor {

inline constexpr const char* kHeightFieldTooSmallMessage = "Height Field Too Small !";

// The pass over `map` with the finest tile sizes 2^l1 x 2^l2 cells (at most the block's), the
// item transform `node` (also handed to the refinement settings through the transform
// globals), the World whose scene instance records the tiles take, and the fx definition of
// the items (0xFFFF: none), which also gives their vertex format. `counter` + 1 per tile.
// Reports "Geometry / Generate" over the overall range 0.025 to 0.15. 1 when done; 0 when the
// progress callback asked to stop (what was made stays) or the scene build has failed (a grid
// of less than 4 x 4 cells or without heights fails it).
std::uint32_t GenerateGeometryPass(const HeightFieldRecord& map, std::uint32_t l1, std::uint32_t l2,
                                   const TransformNode& node, World& world, std::uint32_t& counter,
                                   std::uint16_t fxIndex);

// The region grid of the last pass (kept while the next pass's has the same size).
const RegionGrid& TerrainRegionGrid();

}  // namespace veskor
