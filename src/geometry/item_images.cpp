#include "geometry/item_images.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "foundation/data_file_search.h"
#include "foundation/search_dirs.h"
#include "foundation/static_order.h"
#include "geometry/scene_build_error.h"
#include "gfx/png_texture.h"
#include "mapengine/kernel_table.h"

namespace veskor {

VESKOR_STATIC_STEP(kStaticStepItemImages) SceneTextureTable gSceneTextures{};
PlanetGroupTable gPlanetGroups{};

namespace {

// The path of `name` in the first search directory that holds it; false, with the build's
// error naming the file and the directories searched when none does, or the file and why it
// did not open.
bool FindImage(const char* name, char (&path)[kSearchDirBytes]) {
  DataFileFailure failure;
  const std::uint32_t index = FindDataFile(name, &failure);
  if (index != 0 && BuildDirPath(index, name, path)) return true;
  SceneBuildFail(DataFileFailureText(name, failure).c_str());
  return false;
}

// The largest angle between `direction` and a member of the group.
float LargestAngle(const PlanetGroup& group, const float* direction) {
  float largest = 0.0f;
  for (std::uint32_t k = 0; k < group.count; ++k) {
    const float* d = group.planets[k]->direction;
    const float dot = direction[0] * d[0] + direction[1] * d[1] + direction[2] * d[2];
    largest = std::max(largest, std::acos(std::clamp(dot, -1.0f, 1.0f)));
  }
  return largest;
}

}  // namespace

void ItemImagesReset() {
  gSceneTextures.count = 0;
  gPlanetGroups.count = 0;
}

void SceneTextureInit(SceneTexture& texture) {
  Texture2DInit(texture.colour);
  FloatTexture2DInit(texture.shading);
}

void SceneTextureRelease(SceneTexture& texture) {
  FloatTexture2DRelease(texture.shading);
  Texture2DRelease(texture.colour);
}

void LoadItemImage(const char* colourName, const char* maskName, float saturation,
                   float intensity, float ringSize, float fadeMinimum, float fadeMaximum,
                   float directionX, float directionY, float directionZ, float angularSize) {
  if (SceneBuildFailed()) return;
  if (gSceneTextures.count >= kSceneTextureMax) return SceneBuildFail(kTooManyPlanetsMessage);
  // Scaled by its largest component first, so that no square overflows, then to length 1.
  float direction[3] = {directionX, directionY, directionZ};
  const float largest =
      std::max({std::fabs(directionX), std::fabs(directionY), std::fabs(directionZ)});
  if (!(largest > 0.0f) || !std::isfinite(largest)) return SceneBuildFail(kPlanetDirectionMessage);
  for (float& c : direction) c /= largest;
  gKernelTable.KernelNormalize3(direction);

  char colourPath[kSearchDirBytes], maskPath[kSearchDirBytes];
  if (!FindImage(colourName, colourPath) || !FindImage(maskName, maskPath)) return;
  SceneTexture& planet = gSceneTextures.textures[gSceneTextures.count];
  std::uint32_t exact = 0;
  float uScale = 0, vScale = 0;
  if (LoadPngTextureWithAlpha(colourPath, maskPath, planet.colour, exact, uScale, vScale,
                              nullptr) == 0) {
    const std::string text = std::string("Cannot make a texture of \"") + colourPath +
                             "\" with the mask \"" + maskPath + "\"";
    return SceneBuildFail(text.c_str());
  }
  planet.brightness = 2.0f * saturation + 1.0f;
  planet.intensity = intensity;
  planet.ringSize = ringSize;
  planet.fadeNight = fadeMinimum;
  planet.fadeDay = fadeMaximum;
  std::copy(direction, direction + 3, planet.direction);
  planet.angularSize = angularSize;

  PlanetGroup* group = nullptr;
  for (std::uint32_t g = 0; g < gPlanetGroups.count && group == nullptr; ++g)
    if (LargestAngle(gPlanetGroups.groups[g], direction) <= kPlanetGroupAngle)
      group = &gPlanetGroups.groups[g];
  if (group == nullptr) {
    if (gPlanetGroups.count >= kPlanetGroupMax) return SceneBuildFail(kTooManyPlanetsMessage);
    group = &gPlanetGroups.groups[gPlanetGroups.count++];
    *group = PlanetGroup{};
  }
  if (group->count >= kPlanetGroupCapacity) return SceneBuildFail(kPlanetGroupFullMessage);
  group->planets[group->count++] = &planet;
  ++gSceneTextures.count;
}

}  // namespace veskor
