// SunTileCamera: the orthographic camera through which the low-cloud layer is seen from the
// sun, tile by tile, when its shadow and the light of its puffs are baked. The layer holds one;
// the bake fills it.
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"

namespace veskor {

struct CloudLowLayer;

struct SunTileCamera {
  float eye[3];        // of the current tile
  float direction[3];  // normalised sun direction
  float aspect;        // width / height of the tile view
  float far;
  float viewSize;      // height of the orthographic view in world units
  float viewport[4];   // fractions x0, x1, y0, y1 of the window
  std::uint32_t wholeWindow;  // 1 when both fraction spans exceed 0.999
  std::int32_t pixelRect[4];  // x, y, width, height
  std::int32_t savedViewport[4];
  std::int32_t glViewportSize[2];
  float planes[6][6];  // the tile's view box: a point and an outward normal each
  std::uint32_t tileActive;
  TexturePixels* atlas;
  TexturePixels* mask;
  CloudLowLayer* layer;
  float shearMatrix[16];
  float textureMatrix[16];  // world points to shadow-texture coordinates
  float origin[3];
  float invViewWidth, invViewHeight;
  float negDepthRange;
  float box[6];
  float shift[2];
  std::uint32_t tilesX, tilesY;
  std::uint32_t tileWidth, tileHeight;
  float tileFraction[2];
  float tileWorld[2];
  float firstTileCentre[2];
  float eyeHeight;
  float tileViewSize;
};

// The construction values: eye (0, -4, 0), direction (0, 1, 0), aspect 1, far 1000, view size
// 1, the whole window; everything else 0.
inline SunTileCamera SunTileCameraDefaults() {
  SunTileCamera c{};
  c.eye[1] = -4.0f;
  c.direction[1] = 1.0f;
  c.aspect = 1.0f;
  c.far = 1000.0f;
  c.viewSize = 1.0f;
  c.viewport[1] = 1.0f;
  c.viewport[3] = 1.0f;
  c.wholeWindow = 1;
  return c;
}

}  // namespace veskor
