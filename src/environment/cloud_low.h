// The low-cloud stage of the render preparation: rebuilds the whole low-cloud layer of the
// EnvironmentState from the CloudLow parameters, a grid of puff clusters over the scene. The
// render preparation runs it only when the board has texture shaders and the world has low
// clouds; otherwise the layer stays as the render session left it, empty.
#pragma once

#include <cstdint>

#include "environment/environment_state.h"

namespace veskor {

// The low-cloud detail factor of the render session, copied into the layer by each low-cloud
// stage: the session set-up stores the level-of-detail value here; 1.0 before any session.
extern float CloudLowDetail;

// Empties the layer (EnvironmentResetCloudLow), takes the detail factor, lays an n x n grid of
// clusters (n = coverage x 8 within 1..7, each of coverage x 16 within 1..8 puffs and up to 4
// more) over the layer's extent, spread vertically around `altitude` by the opacity (40 times
// thinner for the stratus class bit), and stores the layer's extent, bottom and top. The extent
// is `area` (x0, y0, x1, y1: the ground plan of the scene) widened by 1.2 about its middle, and
// at least 2800 wide on each axis; the puffs are wrapped into it as the drift wraps them. Then
// bakes the layer's view from the sun along `sunDirection` with the CloudLow colours
// (sun_view_bake.h), finds every puff's light-shaft sources (shaft_segments.h) and uploads the
// puff cubes (puff_cube_upload.h). Velocity is 2 floats; the aspect is not used.
void GenerateCloudLow(EnvironmentState& state, const float* area, float altitude,
                      const float* velocity, std::uint32_t cloudClass, std::uint32_t aspect,
                      float coverage, float opacity, float granularity,
                      const float* sunDirection);

}  // namespace veskor
