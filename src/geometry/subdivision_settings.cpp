#include "geometry/subdivision_settings.h"

namespace veskor {
namespace {

SubdivisionSettings MakeSettings() {
  SubdivisionSettings settings{};
  TransformNodeInit(settings.transform);
  return settings;
}

}  // namespace

SubdivisionSettings gTerrainGeometryLod = MakeSettings();
SubdivisionSettings gTerrainTextureLod = MakeSettings();
SubdivisionSettings gObjectGeometryLod = MakeSettings();
SubdivisionSettings gObjectTextureLod = MakeSettings();

}  // namespace veskor
