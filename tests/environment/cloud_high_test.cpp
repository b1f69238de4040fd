// The high clouds: octave weights, the noise fills against the lattice reference, the coverage
// texture's alpha and tiling for each class, and the cloud cube's colour and alpha.
#include "environment/cloud_high.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "environment/environment_params.h"
#include "environment/lattice_reference.h"
#include "foundation/heap_areas.h"
#include "gfx/face_directions.h"

namespace veskor {
namespace {

using test::LatticeNoiseRef;

struct Octaves {
  std::uint32_t n, px0, py0, dx, dy;
};

// The weighted octaves of the reference at (x, y); the turbulence sums magnitudes.
double NoiseRef(const Octaves& o, bool turbulence, double x, double y) {
  const double r = std::ldexp(1.0, -static_cast<int>(o.dx));
  double w = (1 - r) / (1 - std::pow(r, o.n)), sum = 0;
  for (std::uint32_t k = 0; k < o.n; ++k, w *= r) {
    const double v = w * LatticeNoiseRef(o.px0 + k * o.dx, o.py0 + k * o.dy, x, y);
    sum += turbulence ? std::fabs(v) : v;
  }
  return sum;
}

// A texel's noise: the mean of its four corner samples, the last row and column wrapping to 0.
double TexelNoiseRef(const Octaves& o, bool turbulence, std::uint32_t log2, std::uint32_t i,
                     std::uint32_t j) {
  const std::uint32_t W = 1u << log2;
  const double x0 = double(i) / W, x1 = double((i + 1) % W) / W;
  const double y0 = double(j) / W, y1 = double((j + 1) % W) / W;
  return 0.25 * (NoiseRef(o, turbulence, x0, y0) + NoiseRef(o, turbulence, x1, y0) +
                 NoiseRef(o, turbulence, x0, y1) + NoiseRef(o, turbulence, x1, y1));
}

const float* Texel(const EnvironmentState& s, std::uint32_t i, std::uint32_t j) {
  const TexturePixels& p = s.highCloudTexture.pixels;
  return static_cast<const float*>(p.data) + ((j << p.log2Width) + i) * 4;
}

const float kSun[3] = {0.48f, -0.6f, -0.64f};
const float kWind[2] = {0.003f, -0.002f};

struct Generated {
  std::unique_ptr<EnvironmentState> state = std::make_unique<EnvironmentState>();
  void Run(std::uint32_t log2, std::int32_t cloudClass, std::int32_t aspect, float coverage) {
    GenerateCloudHigh(*state, log2, 5, 6500.0f, kWind, cloudClass, aspect, coverage, kSun);
  }
};

TEST(CloudHigh, OctaveWeightsAddUpToOneAndFallByTheirRatio) {
  const std::uint32_t cases[][2] = {{3, 1}, {3, 2}, {3, 3}, {1, 1}, {5, 2}, {4, 0}};
  for (const auto& c : cases) {
    float w[kMaxCloudOctaves];
    CloudOctaveWeights(c[0], c[1], w);
    double sum = 0;
    for (std::uint32_t k = 0; k < c[0]; ++k) {
      sum += w[k];
      if (k > 0) {
        EXPECT_FLOAT_EQ(w[k], w[k - 1] * std::ldexp(1.0f, -int(c[1])));
      }
    }
    EXPECT_NEAR(sum, 1.0, 1e-6) << c[0] << " octaves, step " << c[1];
  }
}

TEST(CloudHigh, NoiseFillsAreTheWeightedOctavesOfTheLattice) {
  VertexGrid X, Y, out;
  for (VertexGrid* g : {&X, &Y, &out}) VertexGridInit(*g);
  VertexGridAlloc(X, 4, 3);
  VertexGridAlloc(Y, 4, 3);
  for (std::uint32_t j = 0; j <= 8; ++j)
    for (std::uint32_t i = 0; i <= 16; ++i) {
      X.data[j * 17 + i] = 0.37f * i - 2.0f;  // negative and beyond 1 as well
      Y.data[j * 17 + i] = 0.21f * j + 0.05f * i;
    }
  const Octaves octaves[] = {{3, 1, 3, 2, 1}, {3, 3, 3, 3, 2}, {2, 0, 4, 1, 1}};
  for (const Octaves& o : octaves)
    for (bool turbulence : {false, true}) {
      (turbulence ? CloudNoiseTurbulence : CloudNoiseFractal)(o.n, o.px0, o.py0, o.dx, o.dy, X,
                                                             Y, out);
      ASSERT_EQ(out.log2Width, 4);
      ASSERT_EQ(out.log2Height, 3);
      for (std::uint32_t s = 0; s < 17 * 9; ++s)
        ASSERT_NEAR(out.data[s], NoiseRef(o, turbulence, X.data[s], Y.data[s]), 3e-6)
            << "sample " << s << (turbulence ? " turbulence" : " fractal");
    }
  for (VertexGrid* g : {&X, &Y, &out}) VertexGridRelease(*g);
}

TEST(CloudHigh, DefaultCirrusAlphaIsTheNoisePlusOnePointOneAndTiles) {
  Generated g;
  g.state->highCloudTexture.state.maxLodFlag = 1;  // options of an earlier world
  g.state->highCloudTexture.state.wrap = 3;
  g.state->highOffset[0] = g.state->highOffset[1] = 12.0f;  // drifted
  g.Run(10, kCloudCirrus, kAspectVeryLong, 0.2f);
  const EnvironmentState& s = *g.state;
  const Octaves cirrusVeryLong{3, 1, 3, 3, 2};
  // Corners, edges (whose texels average across the seam) and a few inside.
  const std::uint32_t at[] = {0, 1, 511, 777, 1022, 1023};
  for (std::uint32_t j : at)
    for (std::uint32_t i : at) {
      const float* t = Texel(s, i, j);
      EXPECT_EQ(t[0], 1.0f);
      EXPECT_EQ(t[1], 1.0f);
      EXPECT_EQ(t[2], 1.0f);
      EXPECT_NEAR(t[3], TexelNoiseRef(cirrusVeryLong, false, 10, i, j) + 1.1, 3e-6)
          << i << "," << j;
    }
  EXPECT_EQ(s.highWind[0], kWind[0]);
  EXPECT_EQ(s.highWind[1], kWind[1]);
  EXPECT_EQ(s.highAltitude, 6500.0f);
  EXPECT_EQ(s.highOffset[0], 0.0f);
  EXPECT_EQ(s.highOffset[1], 0.0f);
  EXPECT_EQ(s.highScale[0], 3.3333337e-05f);
  EXPECT_EQ(s.highScale[1], 3.3333337e-05f);
  EXPECT_EQ(s.lowTileExtent[0], 8192.0f);
  const TextureState& state = s.highCloudTexture.state;
  EXPECT_EQ(s.highCloudTexture.pixels.channels, 4);
  EXPECT_EQ(s.highCloudTexture.pixels.log2Height, 10);
  EXPECT_EQ(state.formatCode, 4u);
  EXPECT_EQ(state.dirty + state.valid + state.hasSlot, 3u);
  EXPECT_EQ(state.wrap + state.filter + state.stamp + state.minLodFlag + state.maxLodFlag, 0u);
}

TEST(CloudHigh, AlphaFollowsNoiseAndCoverageInEveryClass) {
  // Class, aspect, the octaves of that pair (n 0: none), the alpha factors at coverage k.
  const struct {
    std::int32_t cloudClass, aspect;
    Octaves o;
  } cases[] = {
      {kCloudCumulus, kAspectIso, {3, 3, 3, 1, 1}},     {kCloudCumulus, kAspectLong, {3, 2, 3, 1, 1}},
      {kCloudCumulus, kAspectVeryLong, {3, 1, 3, 2, 1}}, {kCloudCirrus, kAspectIso, {3, 3, 3, 2, 2}},
      {kCloudCirrus, kAspectLong, {3, 2, 3, 3, 2}},      {kCloudStratus, kAspectIso, {0, 0, 0, 0, 0}},
      {kCloudCirrus, 0, {0, 0, 0, 0, 0}},                {3, kAspectLong, {0, 0, 0, 0, 0}},
  };
  constexpr std::uint32_t kLog2 = 5;
  Generated g;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "class " << c.cloudClass << " aspect " << c.aspect);
    std::vector<float> alphas[2];
    for (int coverage = 0; coverage <= 1; ++coverage) {
      const float k = static_cast<float>(coverage);
      // A cirrus texture first, so that a class without noise must overwrite every texel.
      g.Run(kLog2, kCloudCirrus, kAspectIso, 0.9f);
      g.Run(kLog2, c.cloudClass, c.aspect, k);
      for (std::uint32_t j = 0; j < 32; ++j)
        for (std::uint32_t i = 0; i < 32; ++i) {
          const float* t = Texel(*g.state, i, j);
          ASSERT_EQ(t[0] + t[1] + t[2], 3.0f);
          double want = 1.0 - k;  // a uniform sheet
          if (c.o.n != 0) {
            const bool cumulus = c.cloudClass == kCloudCumulus;
            const double noise = TexelNoiseRef(c.o, cumulus, kLog2, i, j);
            want = cumulus ? -1.1 * noise + 2 - 2 * k : noise + 1.5 - 2 * k;
          }
          ASSERT_NEAR(t[3], want, 5e-6) << i << "," << j;
          alphas[coverage].push_back(t[3]);
        }
    }
    // One more unit of coverage lowers every alpha by 2 (unclamped), or by 1 for a sheet.
    const float drop = c.o.n != 0 ? 2.0f : 1.0f;
    for (std::size_t t = 0; t < alphas[0].size(); ++t)
      ASSERT_NEAR(alphas[0][t] - alphas[1][t], drop, 5e-6);
  }
}

TEST(CloudHigh, CloudCubeShadesTheUpperHalfAndClearsTheRest) {
  CloudHighParams.colorLight[0] = 0.9f;
  CloudHighParams.colorLight[1] = 0.8f;
  CloudHighParams.colorLight[2] = 0.7f;
  Generated g;
  g.Run(4, kCloudCirrus, kAspectIso, 0.5f);
  const TextureCube& cube = g.state->cloudCube;
  constexpr std::uint32_t kFace = 5, N = 1u << kFace;
  ASSERT_EQ(cube.faces[0].log2Width, kFace);
  ASSERT_EQ(cube.state.channels, 4u);
  const auto* table = static_cast<const float*>(FaceDirectionTexels[kFace].data);
  for (std::uint32_t face = 0; face < 6; ++face)
    for (std::uint32_t j = 0; j < N; ++j)
      for (std::uint32_t i = 0; i < N; ++i) {
        const float* e = table + (j * N + i) * 3;
        const double dirs[6][3] = {{-e[2], -e[1], e[0]}, {e[2], -e[1], -e[0]},
                                   {e[0], -e[2], -e[1]}, {e[0], e[2], e[1]},
                                   {-e[0], -e[1], -e[2]}, {e[0], -e[1], e[2]}};
        const double* v = dirs[face];
        const float* t = static_cast<const float*>(cube.faces[face].data) + (j * N + i) * 4;
        double want[4] = {0, 0, 0, 1};  // no cloud below the horizon
        if (v[2] > 0) {
          const double d = v[0] * kSun[0] + v[1] * kSun[1] + v[2] * kSun[2];
          const double f = 0.3 * d * d + 1.2;
          const double nz = v[2] / std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
          want[0] = 0.9 * f, want[1] = 0.8 * f * 0.9, want[2] = 0.7 * f * 0.8;
          want[3] = std::pow(std::fmin(std::fmax(1.01 - nz, 0.0), 1.0), 16);
        }
        // The alpha comes from a normalised direction, which the SSE estimate may round.
        for (int k = 0; k < 4; ++k)
          ASSERT_NEAR(t[k], want[k], k < 3 ? 2e-6 : 1e-7 + 1e-2 * want[k])
              << "face " << face << " texel " << i << "," << j << " channel " << k;
      }
}

TEST(CloudHigh, WorkGridsAreGivenBack) {
  Generated g;
  g.Run(6, kCloudCumulus, kAspectLong, 0.3f);
  const std::uint32_t inUse = HeapAreasBytesInUse();
  g.Run(6, kCloudCirrus, kAspectLong, 0.3f);
  g.Run(6, kCloudStratus, kAspectLong, 0.3f);
  EXPECT_EQ(HeapAreasBytesInUse(), inUse);
}

}  // namespace
}  // namespace veskor
