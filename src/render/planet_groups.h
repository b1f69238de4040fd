// The planet groups of the loaded world: the scene build files its planets into them (up to
// eight planets in all), the moons stage of the render preparation bakes each group in its
// frame, and every full view draws them in table order. The render session empties both
// counts before each scene build.
#pragma once

#include <cstdint>

#include "environment/planets.h"

namespace veskor {

inline constexpr std::uint32_t kPlanetGroupMax = 8;

extern PlanetGroup gPlanetGroups[kPlanetGroupMax];
extern std::uint32_t gPlanetGroupCount;
// The planets filed into the groups, all groups together.
extern std::uint32_t gPlanetCount;

}  // namespace veskor
