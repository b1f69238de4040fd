// The high clouds: one thin layer far above the terrain, generated once per world into the
// EnvironmentState. The coverage texture holds, in its alpha, the part of the sky that stays
// visible through the layer (it tiles in both directions); the cloud cube holds, per view
// direction, the colour of the clouds lit by the sun and an alpha that rises towards the
// horizon. The sky passes combine the two; the drift moves the pattern with the wind.
#pragma once

#include <cstdint>

#include "environment/environment_state.h"
#include "gfx/texture_object.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

// Fills the coverage texture (4 channels, log2 size `log2Texture` square) and the cloud cube
// (4 channels, faces of 2^log2Face, log2Face at most 9) for a CloudHigh class and aspect (codes
// of environment_params.h), coverage, wind and altitude; the cloud colour is CloudHigh
// colorLight. Cumulus and cirrus get their noise; stratus, and any class or aspect the noise
// table lacks, a uniform sheet of alpha 1 - coverage. Both textures are renewed for upload
// and keep their CPU copies.
void GenerateCloudHigh(EnvironmentState& state, std::uint32_t log2Texture,
                       std::uint32_t log2Face, float altitude, const float* velocity,
                       std::int32_t cloudClass, std::int32_t aspect, float coverage,
                       const float* sunDirection);

// `n` octaves of NoiseLatticeLookup at the grid coordinates (X[i], Y[i]) into `out`, sized to
// the X grid; octave k has the log2 periods (px0 + k dx, py0 + k dy) and the weight w0 r^k,
// r = 2^-dx, the weights adding up to 1. The turbulence sums the magnitudes of the weighted
// octaves.
void CloudNoiseFractal(std::uint32_t n, std::uint32_t px0, std::uint32_t py0, std::uint32_t dx,
                       std::uint32_t dy, const VertexGrid& X, const VertexGrid& Y,
                       VertexGrid& out);
void CloudNoiseTurbulence(std::uint32_t n, std::uint32_t px0, std::uint32_t py0,
                          std::uint32_t dx, std::uint32_t dy, const VertexGrid& X,
                          const VertexGrid& Y, VertexGrid& out);

// The octave weights of both noises, at most kMaxCloudOctaves.
inline constexpr std::uint32_t kMaxCloudOctaves = 32;
void CloudOctaveWeights(std::uint32_t n, std::uint32_t dx, float* weights);

// One face of the cloud cube: the texels whose direction points above the horizon get the
// cloud colour and the horizon alpha for the sun direction; the others (all of face 4) get
// (0, 0, 0, 1), no cloud.
void ShadeCloudFace(TextureCube& cube, std::uint32_t face, const float* sunDirection);

}  // namespace veskor
