// The planets of the scene: at the end of the scene build every `Planet` record of the World
// becomes the next scene texture (its values, and its colour image with the mask image as
// alpha) and joins a group of planets that lie close together in the sky. The render
// preparation's moons stage and the sky drawing read both tables; the render set-up empties
// them before every scene build.
#pragma once

#include <cstdint>

#include "environment/planets.h"

namespace veskor {

inline constexpr std::uint32_t kSceneTextureMax = 8;
inline constexpr std::uint32_t kPlanetGroupMax = kSceneTextureMax;
// Planets within this angle (radians, 22.5 degrees) of every member of a group join it.
inline constexpr float kPlanetGroupAngle = 0.3926991f;

inline constexpr const char* kTooManyPlanetsMessage = "Too Many Planets !";
inline constexpr const char* kPlanetGroupFullMessage = "Too Many Planets In One Group !";
inline constexpr const char* kPlanetDirectionMessage = "Planet Direction Of Zero Length !";

struct SceneTextureTable {
  SceneTexture textures[kSceneTextureMax];
  std::uint32_t count;
};
extern SceneTextureTable gSceneTextures;

struct PlanetGroupTable {
  PlanetGroup groups[kPlanetGroupMax];
  std::uint32_t count;
};
extern PlanetGroupTable gPlanetGroups;

// Both counts 0 (the render set-up, before every scene build).
void ItemImagesReset();

// A planet's textures as their constructors leave them (no pixels, no texture name), and their
// release as their destructors do it: the shading texture, then the colour texture.
void SceneTextureInit(SceneTexture& texture);
void SceneTextureRelease(SceneTexture& texture);

// Loads one planet into the next scene texture: brightness 2 x saturation + 1, intensity, ring
// size, the fade values, the direction scaled to length 1 and the angular size; the colour and
// mask images, each found along the search directories (FindDataFile), as one texture with
// alpha; then the planet joins the first group whose every member lies within
// kPlanetGroupAngle of it, or starts a group. A full table, a direction of length 0 (or not
// finite), an image found in no search directory or images that do not make a texture set the
// scene build's error (naming the file and, when it was not found, the directories searched)
// and load nothing; so does an earlier failure.
void LoadItemImage(const char* colourName, const char* maskName, float saturation,
                   float intensity, float ringSize, float fadeMinimum, float fadeMaximum,
                   float directionX, float directionY, float directionZ, float angularSize);

}  // namespace veskor
