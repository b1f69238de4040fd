#include "mapengine/map.h"

#include "foundation/fatal_error.h"

namespace veskor {

void MapInit(Map& map) { map = Map{}; }

std::uint32_t MapBytes(std::uint32_t w, std::uint32_t h) {
  // A shift of 32 or more would wrap and size a block smaller than the raster.
  if (w + h > 29) FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  return 4u << (w + h);
}

}  // namespace veskor
