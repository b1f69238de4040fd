#include "render/planet_groups.h"

namespace veskor {

PlanetGroup gPlanetGroups[kPlanetGroupMax]{};
std::uint32_t gPlanetGroupCount = 0;
std::uint32_t gPlanetCount = 0;

}  // namespace veskor
