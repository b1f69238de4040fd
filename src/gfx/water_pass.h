// The water pass of render preparation: for each water portal one view straight down onto
// its rectangle, drawn into the window's back buffer by the draw walk, read back as floats and
// turned into two textures: its colours with an alpha that marks where the scene rises above
// the water, and the downhill direction of the bottom with a depth-dependent value. Both exist
// only on the GL side afterwards (their texels are dropped after upload).
#pragma once

#include <cstdint>

#include "gfx/ortho_pass.h"
#include "gfx/texture_object.h"

namespace veskor {

// Window depth of the water plane's neighbourhood: with the eye 150 above the water, near
// plane 1 and far plane 400, a surface less than 0.625 below the water is nearer than this.
inline constexpr float kWaterDepthThreshold = 0.375f;

// Frames the portal's box (x0, y0, z0, x1, y1, z1; the water at z0) from 150 above, sizes
// the image, places it 1/32 of the window in from the lower left corner, pushes both
// matrices, sets the viewport and clears colour, depth and stencil. The margins are the parts
// of the image beyond the portal on each side, in texture coordinates (the vertical one 0;
// the horizontal one negative when a portal too long for the window at one row is covered
// only in its middle).
// The pass must be attached to the window (OrthoCameraAttach) first.
void BeginWaterPass(OrthoPass& pass, const float* box, float texelSize, float* marginX,
                    float* marginY);
// Reads the image's colours and depths and builds both textures (4 channels at the pass's
// exponents): colour with alpha 1 where the depth is below the threshold; slope
// ((1 - gx) / 2, (1 - gy) / 2, 0, lo + (hi - lo) clamp01((depth - 0.375) x 1.6)), with
// (gx, gy) the unit direction in which the depth grows. Uploads them, colour mipmapped, both
// clamped, and drops their texels.
void WaterReadback(OrthoPass& pass, float lo, float hi, FloatTexture2D& colour,
                   FloatTexture2D& slope);
// Pops both matrices, puts the viewport back and the pass on the whole window; glFinish.
void EndWaterPass(OrthoPass& pass);

}  // namespace veskor
