#include "environment/cloud_high.h"

#include <algorithm>
#include <cmath>

#include "environment/environment_params.h"
#include "environment/sky_model.h"
#include "gfx/face_directions.h"
#include "mapengine/kernel_table.h"
#include "environment/noise_lattice_lookup.h"

namespace veskor {

namespace {

// The noise of each class and aspect: octaves, first log2 periods, period steps per octave.
struct CloudNoise {
  std::int32_t cloudClass, aspect;
  std::uint32_t n, px0, py0, dx, dy;
};
constexpr CloudNoise kCloudNoises[] = {
    {kCloudCumulus, kAspectIso, 3, 3, 3, 1, 1},     {kCloudCumulus, kAspectLong, 3, 2, 3, 1, 1},
    {kCloudCumulus, kAspectVeryLong, 3, 1, 3, 2, 1}, {kCloudCirrus, kAspectIso, 3, 3, 3, 2, 2},
    {kCloudCirrus, kAspectLong, 3, 2, 3, 3, 2},      {kCloudCirrus, kAspectVeryLong, 3, 1, 3, 3, 2},
};

const CloudNoise* FindCloudNoise(std::int32_t cloudClass, std::int32_t aspect) {
  for (const CloudNoise& c : kCloudNoises)
    if (c.cloudClass == cloudClass && c.aspect == aspect) return &c;
  return nullptr;
}

// Texture repeats per world unit of the high-cloud layer: about 1 / 30000, stored as the float
// one step above the nearest one, as the drift and the sky passes have always had it.
constexpr float kHighCloudScale = 3.3333337e-05f;
constexpr float kLowTileExtent = 8192.0f;
constexpr float kNoCloud[4] = {0.0f, 0.0f, 0.0f, 1.0f};

template <bool kTurbulence>
void FillOctaves(std::uint32_t n, std::uint32_t px0, std::uint32_t py0, std::uint32_t dx,
                 std::uint32_t dy, const VertexGrid& X, const VertexGrid& Y, VertexGrid& out) {
  VertexGridAlloc(out, X.log2Width, X.log2Height);
  n = std::min(n, kMaxCloudOctaves);
  float weights[kMaxCloudOctaves];
  CloudOctaveWeights(n, dx, weights);
  const std::uint32_t count = ((1u << X.log2Width) + 1) * ((1u << X.log2Height) + 1);
  for (std::uint32_t i = 0; i < count; ++i) {
    float sum = 0.0f;
    for (std::uint32_t k = 0; k < n; ++k) {
      const float v = weights[k] * NoiseLatticeLookup(px0 + k * dx, py0 + k * dy, X.data[i],
                                                      Y.data[i]);
      sum += kTurbulence ? std::fabs(v) : v;
    }
    out.data[i] = sum;
  }
}

// Sizes a work grid and fills it with value i / 2^w along x (`alongX`) or j / 2^h along y,
// adding one step at a time from 0.
void FillCoordinateGrid(VertexGrid& grid, std::uint16_t w, std::uint16_t h, bool alongX) {
  VertexGridAlloc(grid, w, h);
  const std::uint32_t columns = (1u << w) + 1, rows = (1u << h) + 1;
  const float step = 1.0f / static_cast<float>(alongX ? 1u << w : 1u << h);
  float* v = grid.data;
  float y = 0.0f;
  for (std::uint32_t j = 0; j < rows; ++j, y += step) {
    float x = 0.0f;
    for (std::uint32_t i = 0; i < columns; ++i, x += step) *v++ = alongX ? x : y;
  }
}

// Whether texel (x, y) of a face of size N lies in the part of the face above the horizon.
bool AboveHorizon(std::uint32_t face, std::uint32_t x, std::uint32_t y, std::uint32_t N) {
  switch (face) {
    case 0: return x >= N / 2;
    case 1: return x < N / 2;
    case 2: return y < N / 2;
    case 3: return y >= N / 2;
    case 4: return false;
    default: return true;
  }
}

}  // namespace

void CloudOctaveWeights(std::uint32_t n, std::uint32_t dx, float* weights) {
  if (n == 0) return;
  const float r = 1.0f / static_cast<float>(std::uint64_t{1} << std::min(dx, 63u));
  float rn = 1.0f;
  for (std::uint32_t k = 0; k < n; ++k) rn *= r;
  // With dx = 0 every octave weighs the same (the limit of the series).
  weights[0] = rn == 1.0f ? 1.0f / static_cast<float>(n) : (1.0f - r) / (1.0f - rn);
  for (std::uint32_t k = 1; k < n; ++k) weights[k] = r == 1.0f ? weights[0] : r * weights[k - 1];
}

void CloudNoiseFractal(std::uint32_t n, std::uint32_t px0, std::uint32_t py0, std::uint32_t dx,
                       std::uint32_t dy, const VertexGrid& X, const VertexGrid& Y,
                       VertexGrid& out) {
  FillOctaves<false>(n, px0, py0, dx, dy, X, Y, out);
}

void CloudNoiseTurbulence(std::uint32_t n, std::uint32_t px0, std::uint32_t py0,
                          std::uint32_t dx, std::uint32_t dy, const VertexGrid& X,
                          const VertexGrid& Y, VertexGrid& out) {
  FillOctaves<true>(n, px0, py0, dx, dy, X, Y, out);
}

void ShadeCloudFace(TextureCube& cube, std::uint32_t face, const float* sunDirection) {
  const TexturePixels& p = cube.faces[face];
  const std::uint32_t level = p.log2Width;
  const std::uint32_t N = 1u << level;
  const auto* table = static_cast<const float*>(FaceDirectionTexels[level].data);
  auto* texels = static_cast<float*>(p.data);
  const float* L = CloudHighParams.colorLight;
  for (std::uint32_t y = 0; y < N; ++y)
    for (std::uint32_t x = 0; x < N; ++x) {
      float* out = texels + ((y << level) + x) * 4;
      if (!AboveHorizon(face, x, y, N)) {
        std::copy(kNoCloud, kNoCloud + 4, out);
        continue;
      }
      float v[3];
      CubeFaceDirection(face, table + ((y << level) + x) * 3, v);
      const float d = v[0] * sunDirection[0] + v[1] * sunDirection[1] + v[2] * sunDirection[2];
      float n[3] = {v[0], v[1], v[2]};
      gKernelTable.KernelNormalize3(n);
      const float f = 0.3f * d * d + 1.2f;
      out[0] = L[0] * f;
      out[1] = L[1] * f * 0.9f;
      out[2] = L[2] * f * 0.8f;
      float q = std::clamp(1.01f - n[2], 0.0f, 1.0f);
      q *= q;
      q *= q;
      q *= q;
      q *= q;
      out[3] = q;
    }
}

void GenerateCloudHigh(EnvironmentState& state, std::uint32_t log2Texture,
                       std::uint32_t log2Face, float altitude, const float* velocity,
                       std::int32_t cloudClass, std::int32_t aspect, float coverage,
                       const float* sunDirection) {
  // 1, 2. Wind and altitude; the texture renewed for upload, with new options.
  state.highWind[0] = velocity[0];
  state.highWind[1] = velocity[1];
  state.highAltitude = altitude;
  state.highOffset[0] = state.highOffset[1] = 0.0f;
  state.lowTileExtent[0] = state.lowTileExtent[1] = kLowTileExtent;
  FloatTexture2D& texture = state.highCloudTexture;
  FloatTexture2DRealloc(texture, 4, log2Texture, log2Texture);
  texture.state.minLodFlag = texture.state.maxLodFlag = 0;

  // 3, 4. The noise over the unit square, one sample more than texels each way.
  const auto w = static_cast<std::uint16_t>(log2Texture);
  VertexGrid X, Y, noise;
  VertexGridInit(X);
  VertexGridInit(Y);
  VertexGridInit(noise);
  FillCoordinateGrid(X, w, w, true);
  FillCoordinateGrid(Y, w, w, false);
  float a = 0.0f, b = 1.0f - coverage;  // a uniform sheet for a class without noise
  const CloudNoise* c = FindCloudNoise(cloudClass, aspect);
  if (c == nullptr) {
    VertexGridAlloc(noise, w, w);
    std::fill(noise.data, noise.data + ((1u << w) + 1) * ((1u << w) + 1), 0.0f);
  } else if (c->cloudClass == kCloudCirrus) {
    CloudNoiseFractal(c->n, c->px0, c->py0, c->dx, c->dy, X, Y, noise);
    // The window [2k - 1.5, 2k - 0.5] of the noise maps onto [0, 1].
    a = 1.0f / ((2.0f * coverage - 0.5f) - (2.0f * coverage - 1.5f));
    b = 1.5f - 2.0f * coverage;
  } else {
    CloudNoiseTurbulence(c->n, c->px0, c->py0, c->dx, c->dy, X, Y, noise);
    a = -1.1f;
    b = 1.0f - 2.0f * (coverage - 0.5f);
  }

  // 5, 6. Reduced to texels; white, with the alpha stored unclamped.
  auto* texels = static_cast<float*>(texture.pixels.data);
  gKernelTable.GridAverage2x2(static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w),
                              noise.data, 4, texels);
  const std::uint32_t count = 1u << (2 * w);
  for (std::uint32_t i = 0; i < count; ++i) {
    float* t = texels + 4 * i;
    const float value = t[3];
    t[0] = t[1] = t[2] = 1.0f;
    t[3] = a * value + b;
  }

  // 7, 8. The cloud cube; the texture repeats once per layer extent.
  TextureCubeResize(state.cloudCube, 4, log2Face);
  for (std::uint32_t face : {1u, 0u, 2u, 3u, 5u, 4u})
    ShadeCloudFace(state.cloudCube, face, sunDirection);
  state.highScale[0] = state.highScale[1] = kHighCloudScale;

  // 9.
  VertexGridRelease(noise);
  VertexGridRelease(Y);
  VertexGridRelease(X);
}

}  // namespace veskor
