// The fog and haze lookup of the renderer: FogTexture, whose columns stand for the distance
// from the eye (as a fraction of the far distance) and whose rows for the height above the fog
// base, and FogCurve (environment/fog_curve.h), the fog transmission per column. The fog stage
// of the render preparation fills both from the environment values; the object and water
// passes map positions to the texture's coordinates with SetPlanarTexGen.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "gfx/texture_object.h"

namespace veskor {

inline constexpr std::uint32_t kFogTextureLog2Size = 8;  // 256 x 256 texels, four floats each
// The t plane's scale is 1 / (zstart - base + zdistance); the denominator is held at least
// this far from 0, with its sign, so that the plane stays finite.
inline constexpr double kFogHeightSpanMin = 1e-4;

extern FloatTexture2D FogTexture;

// The transmission of an exponential fog of block value `e`, intensity `intensity` and
// distance `distance` at the distance coordinate u: 1 at u = 0, 1 - intensity from u =
// distance on, with a bell-shaped fall between. A block value of 0 gives the limit of the
// curve as the value goes to 0 (a parabola) instead of 0 / 0.
double FogTransmission(double e, double intensity, double distance, double u);

// Resizes FogTexture to 4 channels of 256 x 256 and fills it and FogCurve (with its length)
// from FogParams and HazeParams: colour (haze + (1 - haze) haze colour) x haze, alpha the height
// coordinate times the fog.
void FogTextureFill();

// Object-linear S and T generation on the active texture unit: s = depth along the camera's
// view direction as a fraction of its far distance, t = height above the fog base
// (FogFloorHeight) over (zstart - base + zdistance). With `matrix` (world to object, column-
// major) the planes are given in the object's frame. `exp`, `intensity` and `zintensity` are
// accepted and do not change the planes.
void SetPlanarTexGen(const Camera& camera, float exp, float intensity, float zstart,
                     float zdistance, float zintensity, const float* matrix);

}  // namespace veskor
