// Portals: the water mirrors of the scene. The scene build adds one per water plane of a height
// field (AddPortal): its rectangle and altitude, its surface values, a reflection texture that
// lives on the graphics side only, and the water box of the geometry batch buffer that the
// items crossing the water are clipped against. The renderer draws the mirrored views into the
// reflection textures every frame and fills the read-back textures and insets once per world.
//
// The renderer is built on the geometry folder and both use the table, so it lives here.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "gfx/texture_object.h"

namespace veskor {

inline constexpr std::uint32_t kPortalMax = 16;
inline constexpr std::uint32_t kPortalPolygonMax = 16;
inline constexpr std::uint32_t kPortalTextureLog2Size = 10;
inline constexpr const char* kTooManyPortalsMessage = "Too Many Water Planes !";

struct Portal {
  float corner0[3];           // x0, y0, altitude
  float corner1[3];           // x1, y1, altitude
  std::int32_t pixelRect[4];  // where the clipped water lies in the mirrored view
  float viewScale;
  float bumpScale;
  Camera* viewCamera;  // borrowed
  Camera mirrored;
  Texture2D reflection;  // 4 channels, 1024 x 1024, no pixels on this side
  float colour[4];       // the plane's colour, alpha 0
  float opacityB2;       // twice the plane's second opacity
  float opacityA2;       // twice the first
  std::uint32_t visible;
  FloatTexture2D readBack[2];
  float uInset, vInset;
  float polygon[kPortalPolygonMax][3];
  std::uint32_t polygonCount;
};

// The render session zeroes the count; the textures are released at exit, read-back textures
// first.
extern Portal gPortals[kPortalMax];
extern std::uint32_t gPortalCount;

// Fills the next portal: the rectangle (x0, y0, altitude, x1, y1: rect[0..4]) as its two
// corners at the altitude, bumpScale = value, colour (c1, c2, c3, 0), opacities 2 b and 2 a;
// its reflection texture sized to 4 channels and 1024 x 1024 texels, named, uploaded once so
// that it has storage, and its pixels given back. Appends the water box (x0, y0, x1, y1,
// altitude) to the geometry batch buffer with BatchAddWaterBox. A full portal table or
// water-box list sets the scene build's error and adds nothing; so does an earlier failure.
void AddPortal(const float* rect, float value, float a, float b, float c1, float c2, float c3);

}  // namespace veskor
