// The sun-view bake's arithmetic without GL: the shadow filter against a plain reference of its
// steps, the depth of cloud above a point worked out by hand (with and without shear), the sun
// near the horizon on both sides of its bound, and the light cubes of a round puff under a
// horizon sun, lit by orientation alone. (Drawing and read-back: sun_view_bake_gl_test.cpp.)
#include "environment/sun_view_bake.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "environment/cube_sampling.h"
#include "environment/environment_reference.h"
#include "puff_layer.h"

namespace veskor {
namespace {

using Raster = std::vector<double>;

// The filter's steps on wrapped rasters of side n, written out.
template <typename F>
Raster EachTexel(const Raster& r, int n, F f) {
  Raster out(r.size());
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      auto at = [&](int dx, int dy) { return r[((y + dy + n) % n) * n + (x + dx + n) % n]; };
      out[y * n + x] = f(at);
    }
  return out;
}
Raster Halve(const Raster& r, int n) {
  Raster out(n * n / 4);
  for (int y = 0; y < n / 2; ++y)
    for (int x = 0; x < n / 2; ++x)
      out[y * n / 2 + x] = (r[2 * y * n + 2 * x] + r[2 * y * n + 2 * x + 1] +
                            r[(2 * y + 1) * n + 2 * x] + r[(2 * y + 1) * n + 2 * x + 1]) /
                           4;
  return out;
}

class SunViewBakeTest : public ::testing::Test {
 protected:
  // One puff at z 1000 with half height 200 (bottom 800, top 1200) over an extent of 8192.
  void SetUp() override {
    const float centre[3] = {0, 0, 1000};
    test::AddConstantPuff(layer(), centre, 200, 200, 0.6f);
    test::SetLayerBox(layer(), -4096, 4096, -4096, 4096);
  }
  void TearDown() override {
    TexturePixelsRelease(layer().depthAtlas);
    TexturePixelsRelease(layer().shadowRaster);
    EnvironmentResetCloudLow(*state, 0.0f, kNoWind);
  }
  CloudLowLayer& layer() { return state->cloudLow; }
  float* Atlas() { return static_cast<float*>(layer().depthAtlas.data); }
  float* Mask() { return static_cast<float*>(layer().shadowRaster.data); }
  std::unique_ptr<EnvironmentState> state = std::make_unique<EnvironmentState>();
  static constexpr float kNoWind[2] = {0, 0};
};

TEST_F(SunViewBakeTest, ShadowFilterFollowsItsSteps) {
  const float sun[3] = {0, 0, -1};
  RenderSunDepthAtlas(layer(), sun);
  Raster atlas(1024 * 1024, 0.9);
  for (int y = 500; y < 700; ++y)
    for (int x = 300; x < 400; ++x) atlas[y * 1024 + x] = 0.2;
  atlas[100 * 1024 + 800] = 0.3;
  atlas[0] = 0.76;     // just within the edge level of its wrapped neighbours
  atlas[1500] = 0.74;  // just beyond
  for (int i = 0; i < 1024 * 1024; ++i) Atlas()[i] = static_cast<float>(atlas[i]);
  ShadowFilter(layer());

  Raster mask = Halve(EachTexel(atlas, 1024,
                                [](auto at) {
                                  for (int dy = -1; dy <= 1; ++dy)
                                    for (int dx = -1; dx <= 1; ++dx)
                                      if (at(dx, dy) - at(0, 0) > 0.15 + 1e-9) return 0.0;
                                  return 1.0;
                                }),
                      1024);
  for (int pass = 0; pass < 4; ++pass)
    mask = EachTexel(mask, 512, [](auto at) {
      double sum = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) sum += dx != 0 || dy != 0 ? at(dx, dy) : 0.0;
      return at(0, 0) * (0.5 + 0.0625 * sum);
    });
  Raster lit(atlas.size());
  for (std::size_t i = 0; i < atlas.size(); ++i) lit[i] = 0.15 + 0.85 * atlas[i];
  lit = Halve(lit, 1024);
  for (int pass = 0; pass < 6; ++pass)
    lit = EachTexel(lit, 512, [](auto at) {
      return 0.10736987 * (2 * at(0, 0) + at(-1, 0) + at(1, 0) + at(0, -1) + at(0, 1) +
                           0.8284 * (at(-1, -1) + at(1, -1) + at(-1, 1) + at(1, 1)));
    });
  const auto* shadow = static_cast<const float*>(layer().shadowTexture.pixels.data);
  for (int i = 0; i < 512 * 512; ++i) {
    ASSERT_NEAR(Mask()[i], mask[i], 1e-5) << "mask " << i % 512 << ", " << i / 512;
    ASSERT_NEAR(shadow[i], lit[i], 1e-5) << "shadow " << i % 512 << ", " << i / 512;
  }
  EXPECT_EQ(mask[300 * 512 + 100], 1.0);  // far from every edge
  EXPECT_LT(mask[250 * 512 + 150], 0.5);  // on the square's rim
}

// Columns 0..511 of the atlas hold 0.25, the rest 0.75: a height of 1200 - 500 D. The point's
// texture column is x - a (z - 1200) + 4096 over 8192, a = Sx / Sz.
TEST_F(SunViewBakeTest, SunDepthAtReadsTheAtlasAlongTheSun) {
  const float r = 1.0f / std::sqrt(2.0f);
  const struct {
    float sun[3];
    float mask;
    float x, z, want;
  } cases[] = {
      {{r, 0, -r}, 1.0f, 0, 200, 875},    {{r, 0, -r}, 1.0f, 100, 1200, 0},
      {{r, 0, -r}, 1.0f, 100, 700, 375},  {{r, 0, -r}, 1.0f, 300, 900, 50},  // between columns
      {{r, 0, -r}, 0.5f, 0, 200, 437.5f}, {{0, 0, -1}, 1.0f, 0, 200, 750},
      {{1, 0, 0}, 1.0f, 0, 200, 0},       {{0.6f, 0.8f, -0.0099f}, 1.0f, 0, 200, 0},
  };
  for (const auto& c : cases) {
    RenderSunDepthAtlas(layer(), c.sun);
    for (int y = 0; y < 1024; ++y)
      for (int x = 0; x < 1024; ++x) Atlas()[y * 1024 + x] = x < 512 ? 0.25f : 0.75f;
    for (int i = 0; i < 512 * 512; ++i) Mask()[i] = c.mask;
    EXPECT_NEAR(SunDepthAt(layer(), c.x, 1234.0f, c.z), c.want, 0.05f)
        << c.sun[0] << " " << c.sun[2] << " at " << c.x << ", " << c.z;
  }
}

TEST_F(SunViewBakeTest, SunNearTheHorizonShearsNothing) {
  const struct {
    float z;
    bool horizon;
  } cases[] = {{-0.0102f, false}, {-0.0099f, true}, {0.0f, true}, {0.3f, true}};
  for (const auto& c : cases) {
    const float sun[3] = {0.6f, 0.8f, c.z};
    RenderSunDepthAtlas(layer(), sun);
    const SunTileCamera& camera = layer().sunCamera;
    EXPECT_EQ(camera.horizonSun, c.horizon ? 1u : 0u) << c.z;
    const float a = c.horizon ? 0.0f : 0.6f / c.z;  // Sx / Sz, the same normalised or not
    EXPECT_NEAR(camera.textureMatrix[8], -a / 8192, 1e-6f) << c.z;
    EXPECT_NEAR(camera.shearMatrix[12], a * 1200, 0.05f) << c.z;
    EXPECT_NEAR(camera.shift[0], c.horizon ? 0.0f : 500 * 0.6f / -c.z, 0.05f) << c.z;  // R = 500
  }
}

// A horizon sun lights the cubes by orientation alone: w = 0.7 (1 - (0.3 n + 0.5 v + 0.2 e) . S)
// with n the surface normal over the texel, v the direction from the cluster's centre to the
// texel's surface point and e the texel's direction on the ellipsoid. A round puff and a flat
// one beside it in one cluster keep the three apart.
TEST_F(SunViewBakeTest, HorizonSunLightsTheCubesByOrientation) {
  const float flatCentre[3] = {250, 40, 1050};
  CloudCluster& cluster = layer().clusters[0];
  cluster.puffs[1] = &test::AddConstantPuff(layer(), flatCentre, 150, 80, 0.7f);
  cluster.puffCount = 2;
  layer().clusterCount = 1;
  ClusterBounds(cluster);
  const float sun[3] = {1, 0, 0}, light[3] = {1.0f, 0.5f, 2.0f}, dark[3] = {0.2f, 0.3f, 0.4f};
  BakePuffViews(layer(), sun, light, dark);
  EXPECT_EQ(layer().depthAtlas.data, nullptr);
  EXPECT_EQ(layer().shadowRaster.data, nullptr);
  for (const CloudPuff* puff : {cluster.puffs[0], cluster.puffs[1]}) {
    const PuffCubePair& pair = *puff->cubes;
    const double r = pair.radius, h = pair.halfHeight;
    const double s = static_cast<const float*>(pair.shapeCube.faces[0].data)[0];
    for (std::uint32_t face = 0; face < 6; ++face) {
      const auto* texel = static_cast<const float*>(pair.lightCube.faces[face].data);
      for (std::uint32_t t = 0; t < 256; ++t) {
        double d[3];
        test::FaceDirectionRef(4, face, t % 16, t / 16, d);
        float n[3];
        CubeSurfaceNormal(pair, face, t, n);
        const double q[3] = {puff->centre[0] + d[0] * s * r, puff->centre[1] + d[1] * s * r,
                             puff->centre[2] + d[2] * s * h};
        const double v[3] = {q[0] - cluster.centre[0], q[1] - cluster.centre[1],
                             q[2] - cluster.centre[2]};
        const double ex = d[0] / std::hypot(d[0], d[1], d[2] * h / r);
        const double w =
            0.7 * (1 - (0.3 * n[0] + 0.5 * v[0] / std::hypot(v[0], v[1], v[2]) + 0.2 * ex));
        for (int c = 0; c < 3; ++c)
          ASSERT_NEAR(texel[3 * t + c], w * light[c] + (1 - w) * dark[c], 2e-3)
              << "puff " << puff - layer().puffs << " face " << face << " texel " << t
              << " channel " << c;
      }
    }
  }
  for (int k = 0; k < 16; ++k)
    EXPECT_EQ(layer().shadowMatrix[k], layer().sunCamera.textureMatrix[k]);
}

}  // namespace
}  // namespace veskor
