// The high clouds: octave weights, the noise fills against the lattice reference, the coverage
// texture's alpha and tiling for each class, and the cloud cube's colour and alpha.
#include "environment/cloud_high.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "environment/environment_params.h"
#include "environment/environment_reference.h"
#include "foundation/heap_areas.h"
#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

struct Octaves {
  std::uint32_t n, px0, py0, dx, dy;
};

// The weighted octaves of the reference at (x, y); the turbulence sums magnitudes.
double NoiseRef(const Octaves& o, bool turbulence, double x, double y) {
  const double r = std::ldexp(1.0, -static_cast<int>(o.dx));
  double w = (1 - r) / (1 - std::pow(r, o.n)), sum = 0;
  for (std::uint32_t k = 0; k < o.n; ++k, w *= r) {
    const double v = w * test::LatticeNoiseRef(o.px0 + k * o.dx, o.py0 + k * o.dy, x, y);
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

const float kSun[3] = {0.48f, -0.6f, -0.64f};
const float kWind[2] = {0.003f, -0.002f};

struct Clouds {
  std::unique_ptr<EnvironmentState> state = std::make_unique<EnvironmentState>();
  void Run(std::uint32_t log2, std::int32_t cloudClass, std::int32_t aspect, float coverage) {
    GenerateCloudHigh(*state, log2, 5, 6500.0f, kWind, cloudClass, aspect, coverage, kSun);
  }
  const float* Texel(std::uint32_t i, std::uint32_t j) const {
    const TexturePixels& p = state->highCloudTexture.pixels;
    return static_cast<const float*>(p.data) + ((j << p.log2Width) + i) * 4;
  }
};

TEST(CloudHigh, OctaveWeightsAddUpToOneAndFallByTheirRatio) {
  const std::uint32_t cases[][2] = {{3, 1}, {3, 2}, {3, 3}, {1, 1}, {5, 2}, {4, 0}};
  for (const auto& c : cases) {
    float w[kMaxCloudOctaves];
    CloudOctaveWeights(c[0], c[1], w);
    double sum = w[0];
    for (std::uint32_t k = 1; k < c[0]; ++k) {
      sum += w[k];
      EXPECT_FLOAT_EQ(w[k], w[k - 1] * std::ldexp(1.0f, -int(c[1])));
    }
    EXPECT_NEAR(sum, 1.0, 1e-6) << c[0] << " octaves, step " << c[1];
  }
}

TEST(CloudHigh, NoiseFillsAreTheWeightedOctavesOfTheLattice) {
  VertexGrid X{}, Y{}, out{};
  VertexGridAlloc(X, 4, 3);
  VertexGridAlloc(Y, 4, 3);
  for (std::uint32_t s = 0; s < 17 * 9; ++s) {
    X.data[s] = 0.37f * (s % 17) - 2.0f;  // negative and beyond 1 as well
    Y.data[s] = 0.21f * (s / 17) + 0.05f * (s % 17);
  }
  for (const Octaves& o : {Octaves{3, 1, 3, 2, 1}, Octaves{3, 3, 3, 3, 2}, Octaves{2, 0, 4, 1, 1}})
    for (bool turbulence : {false, true}) {
      (turbulence ? CloudNoiseTurbulence : CloudNoiseFractal)(o.n, o.px0, o.py0, o.dx, o.dy, X, Y,
                                                              out);
      ASSERT_EQ(out.log2Width + 10 * out.log2Height, 34);
      for (std::uint32_t s = 0; s < 17 * 9; ++s)
        ASSERT_NEAR(out.data[s], NoiseRef(o, turbulence, X.data[s], Y.data[s]), 3e-6) << s;
    }
  for (VertexGrid* g : {&X, &Y, &out}) VertexGridRelease(*g);
}

TEST(CloudHigh, DefaultCirrusAlphaIsTheNoisePlusOnePointOneAndTiles) {
  Clouds c;
  TextureState& state = c.state->highCloudTexture.state;
  state.maxLodFlag = 1, state.wrap = 3;                     // options of an earlier world
  c.state->highOffset[0] = c.state->highOffset[1] = 12.0f;  // drifted
  c.Run(10, kCloudCirrus, kAspectVeryLong, 0.2f);
  // Corners, edges (whose texels average across the seam) and a few inside.
  const std::uint32_t at[] = {0, 1, 511, 777, 1022, 1023};
  for (std::uint32_t j : at)
    for (std::uint32_t i : at) {
      const float* t = c.Texel(i, j);
      EXPECT_EQ(t[0] + t[1] + t[2], 3.0f);
      EXPECT_NEAR(t[3], TexelNoiseRef({3, 1, 3, 3, 2}, false, 10, i, j) + 1.1, 3e-6)
          << i << "," << j;
    }
  const EnvironmentState& s = *c.state;
  EXPECT_EQ(s.highWind[0], kWind[0]);
  EXPECT_EQ(s.highWind[1], kWind[1]);
  EXPECT_EQ(s.highAltitude, 6500.0f);
  EXPECT_EQ(s.highOffset[0], 0.0f);
  EXPECT_EQ(s.highOffset[1], 0.0f);
  EXPECT_EQ(s.highScale[0], 3.3333337e-05f);
  EXPECT_EQ(s.highScale[1], 3.3333337e-05f);
  EXPECT_EQ(s.lowTileExtent[0], 8192.0f);
  EXPECT_EQ(s.highCloudTexture.pixels.channels + s.highCloudTexture.pixels.log2Height, 14);
  EXPECT_EQ(state.formatCode, 4u);
  EXPECT_EQ(state.dirty + state.valid + state.hasSlot, 3u);
  EXPECT_EQ(state.wrap + state.filter + state.stamp + state.minLodFlag + state.maxLodFlag, 0u);
}

TEST(CloudHigh, AlphaFollowsNoiseAndCoverageInEveryClass) {
  // Class, aspect and the octaves of that pair; n 0 for the pairs without noise.
  const struct {
    std::int32_t cloudClass, aspect;
    Octaves o;
  } cases[] = {
      {kCloudCumulus, kAspectIso, {3, 3, 3, 1, 1}},
      {kCloudCumulus, kAspectLong, {3, 2, 3, 1, 1}},
      {kCloudCumulus, kAspectVeryLong, {3, 1, 3, 2, 1}},
      {kCloudCirrus, kAspectIso, {3, 3, 3, 2, 2}},
      {kCloudCirrus, kAspectLong, {3, 2, 3, 3, 2}},
      {kCloudStratus, kAspectIso, {}},
      {kCloudCirrus, 0, {}},
      {3, kAspectLong, {}},
  };
  Clouds c;
  for (const auto& k : cases) {
    SCOPED_TRACE(::testing::Message() << "class " << k.cloudClass << " aspect " << k.aspect);
    float alpha[2][32 * 32];
    for (int coverage = 0; coverage <= 1; ++coverage) {
      c.Run(5, kCloudCirrus, kAspectIso, 0.9f);  // a class without noise must overwrite this
      c.Run(5, k.cloudClass, k.aspect, static_cast<float>(coverage));
      for (std::uint32_t t = 0; t < 32 * 32; ++t) {
        const float* texel = c.Texel(t % 32, t / 32);
        ASSERT_EQ(texel[0] + texel[1] + texel[2], 3.0f);
        const bool cumulus = k.cloudClass == kCloudCumulus;
        const double noise = k.o.n == 0 ? 0 : TexelNoiseRef(k.o, cumulus, 5, t % 32, t / 32);
        const double a = k.o.n == 0 ? 0 : cumulus ? -1.1 : 1.0;
        const double b = k.o.n == 0 ? 1 - coverage
                         : cumulus  ? 2 - 2 * coverage
                                    : 1.5 - 2 * coverage;
        ASSERT_NEAR(texel[3], a * noise + b, 5e-6) << t;
        alpha[coverage][t] = texel[3];
      }
    }
    // A full coverage lowers every alpha by 2 (unclamped), or by 1 for a uniform sheet.
    for (std::uint32_t t = 0; t < 32 * 32; ++t)
      ASSERT_NEAR(alpha[0][t] - alpha[1][t], k.o.n != 0 ? 2.0f : 1.0f, 5e-6);
  }
}

TEST(CloudHigh, CloudCubeShadesTheUpperHalfAndClearsTheRest) {
  const float light[3] = {0.9f, 0.8f, 0.7f};
  std::copy(light, light + 3, CloudHighParams.colorLight);
  Clouds c;
  c.Run(4, kCloudCirrus, kAspectIso, 0.5f);
  const TextureCube& cube = c.state->cloudCube;
  ASSERT_EQ(cube.faces[0].log2Width + cube.state.channels, 9u);
  for (std::uint32_t face = 0; face < 6; ++face)
    for (std::uint32_t t = 0; t < 32 * 32; ++t) {
      double v[3];
      test::FaceDirectionRef(5, face, t % 32, t / 32, v);
      double want[4] = {0, 0, 0, 1};  // no cloud below the horizon
      double spread = 0;
      if (v[2] > 0) {
        const double d = v[0] * kSun[0] + v[1] * kSun[1] + v[2] * kSun[2];
        const double f = 0.3 * d * d + 1.2, q = 1.01 - v[2] / std::hypot(v[0], v[1], v[2]);
        want[0] = light[0] * f, want[1] = light[1] * f * 0.9, want[2] = light[2] * f * 0.8;
        want[3] = std::pow(std::fmin(std::fmax(q, 0.0), 1.0), 16);
        // The alpha comes from a direction the kernels normalised, whose height is off by up
        // to kUnitLengthError of it: q by as much (and by the float roundings of 1.01 and of
        // the difference, 2^-24 each), the 16th power by its change at either end.
        const double dq = kUnitLengthError * v[2] / std::hypot(v[0], v[1], v[2]) + 0x1p-23;
        for (const double end : {q - dq, q + dq})
          spread = std::fmax(spread, std::fabs(std::pow(std::fmin(std::fmax(end, 0.0), 1.0), 16) -
                                               want[3]));
      }
      const float* texel = static_cast<const float*>(cube.faces[face].data) + t * 4;
      for (int k = 0; k < 4; ++k)
        ASSERT_NEAR(texel[k], want[k], k < 3 ? 2e-6 : 1e-7 + spread)
            << "face " << face << " texel " << t << " channel " << k;
    }
}

TEST(CloudHigh, WorkGridsAreGivenBack) {
  Clouds c;
  c.Run(6, kCloudCumulus, kAspectLong, 0.3f);
  const std::uint32_t inUse = HeapAreasBytesInUse();
  c.Run(6, kCloudCirrus, kAspectLong, 0.3f);
  c.Run(6, kCloudStratus, kAspectLong, 0.3f);
  EXPECT_EQ(HeapAreasBytesInUse(), inUse);
}

}  // namespace
}  // namespace veskor
