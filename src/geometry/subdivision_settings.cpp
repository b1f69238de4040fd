#include "geometry/subdivision_settings.h"
#include "foundation/static_order.h"

namespace veskor {
namespace {

SubdivisionSettings MakeSettings() {
  SubdivisionSettings settings{};
  TransformNodeInit(settings.transform);
  return settings;
}

}  // namespace

VESKOR_STATIC_STEP(kStaticStepLodTransforms) SubdivisionSettings gTerrainGeometryLod = MakeSettings();
VESKOR_STATIC_STEP(kStaticStepLodTransforms) SubdivisionSettings gTerrainTextureLod = MakeSettings();
VESKOR_STATIC_STEP(kStaticStepLodTransforms) SubdivisionSettings gObjectGeometryLod = MakeSettings();
VESKOR_STATIC_STEP(kStaticStepLodTransforms) SubdivisionSettings gObjectTextureLod = MakeSettings();

}  // namespace veskor
