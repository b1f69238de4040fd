// SunTileCamera: the orthographic camera through which the low-cloud layer is seen from the
// sun, tile by tile, when its shadow and the light of its puffs are baked (sun_view_bake.h).
// The layer holds one; the bake fills it. The view looks straight down from the layer's top
// through a shear that moves every height along the sun's rays, so the depth it reads back is
// the depth of cloud below the top along the sun.
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
  float viewSize;             // height of the orthographic view in world units
  float viewport[4];          // fractions x0, x1, y0, y1 of the window
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
  // 1 while the sun stands on or below the horizon (or too near it to shear the view): the
  // bake draws no puff, shears nothing and lights the cubes by orientation alone.
  std::uint32_t horizonSun;
};

// The sun counts as above the horizon while the z of its unit direction is below this.
inline constexpr float kHorizonSunBound = -0.01f;

// Stores the direction and normalises it (KernelNormalize3).
void SunCameraSetDirection(SunTileCamera& camera, float x, float y, float z);

// The GL state of one tile (column tile mod tilesX, row tile / tilesX): its eye, viewport
// fractions and pixel rectangle within the current GL viewport, its view box, both matrices
// pushed (the orthographic volume from 1 to far below the eye, looking down, sheared), the
// viewport when the tile does not fill it, and every buffer cleared. TileViewEnd pops both
// matrices (the modelview stays current) and puts the viewport back.
void TileViewBegin(SunTileCamera& camera, std::uint32_t tile);
void TileViewEnd(SunTileCamera& camera);

// The tile's view box: four side planes through the edges of the tile's rectangle (viewSize
// high, viewSize aspect wide) around eye + direction, each containing the direction; the top
// plane through eye + direction and the bottom plane `far` below the eye, where the depth range
// of the view ends, both horizontal; normals outwards.
void TileViewPlanes(SunTileCamera& camera);

// Whether a box (x0, x1, y0, y1, z0, z1) may show in the tile: a face of the box is rejected
// when its four corners lie strictly outside one plane of the view box; true when some face
// is not rejected.
bool PuffInTile(const SunTileCamera& camera, const float* bounds);

// Reads the depth of the current tile, tileWidth x tileHeight from the pixel rectangle's corner,
// into its place in the atlas (rows of 1024), clipped to the atlas.
void ReadTileDepth(SunTileCamera& camera, std::uint32_t tile);

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
