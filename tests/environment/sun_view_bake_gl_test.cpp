// The sun-view bake drawn by the GL into off-screen buffers of the preparation's size and of a
// small window's: the tile plans, and one round puff read back into the depth atlas where the
// test's own projection along the sun puts it (the silhouette of a sphere seen obliquely is an
// ellipse), overhead, sheared and wrapped over the layer's corner; the horizon sun, the empty
// layer and the light cubes of a baked puff.
#include "environment/sun_view_bake.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "environment/environment_reference.h"
#include "environment_gl_base.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_names.h"
#include "platform/gl.h"
#include "platform/offscreen.h"
#include "puff_layer.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

constexpr float kExtent = 4096;  // the layer spans -4096 .. 4096 in x and y
constexpr float kTexel = 8;      // world units per atlas texel
constexpr float kRadius = 600;   // of the round puff: bottom 1400, top 2600 at height 2000
constexpr float kScale = 0.6f;   // its shape; drawn inflated by 1.25 to 450

class SunViewBakeGlTest : public test::EnvironmentGlBase {
 protected:
  void TearDown() override {
    TexturePixelsRelease(layer().depthAtlas);
    TexturePixelsRelease(layer().shadowRaster);
    EnvironmentResetCloudLow(*state, 0.0f, kNoWind);
    if (buffer != nullptr) {
      OffscreenRestoreWindow();
      OffscreenDestroy(buffer);
    }
    glViewport(0, 0, test::kGlTestWindowSize, test::kGlTestWindowSize);
    GlTest::TearDown();
  }
  // A buffer current with the state the low-cloud stage sets.
  void UseBuffer(int width, int height) {
    if (buffer != nullptr) OffscreenDestroy(buffer);
    buffer = OffscreenCreate(width, height);
    ASSERT_NE(buffer, nullptr);
    OffscreenMakeCurrent(buffer);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glClearDepth(1.0);
  }
  void OnePuff(float x, float y) {
    EnvironmentResetCloudLow(*state, 0.0f, kNoWind);
    const float centre[3] = {x, y, 2000};
    test::AddConstantPuff(layer(), centre, kRadius, kRadius, kScale);
    test::SetLayerBox(layer(), -kExtent, kExtent, -kExtent, kExtent);
  }
  CloudLowLayer& layer() { return state->cloudLow; }
  const float* Atlas() { return static_cast<const float*>(layer().depthAtlas.data); }
  std::unique_ptr<EnvironmentState> state = std::make_unique<EnvironmentState>();
  OffscreenBuffer* buffer = nullptr;
  static constexpr float kNoWind[2] = {0, 0};
};

struct Puff {
  float x, y, z, radius;
};

TEST_F(SunViewBakeGlTest, PuffLandsWhereTheSunProjectsItInEveryTilePlan) {
  const struct {
    int width, height;
    std::uint32_t tilesX, tilesY, tileWidth, tileHeight;
    std::int32_t pixelRect[4];
  } plans[] = {{1024, 800, 1, 2, 1024, 512, {0, 144, 1024, 512}},
               {640, 480, 2, 3, 512, 341, {64, 69, 512, 341}}};
  const float n = std::sqrt(1.13f), m = std::sqrt(0.86f * 0.86f + 0.51f * 0.51f);
  const struct {
    float sun[3];
    std::vector<Puff> puffs;
  } cases[] = {
      {{0, 0, -1}, {{500, -300, 2000, kRadius}}},  // overhead: no shear, no copies
      {{0.3f / n, 0.2f / n, -1 / n}, {{500, -300, 2000, kRadius}}},     // sheared
      {{0.3f / n, 0.2f / n, -1 / n}, {{-3900, -3950, 2000, kRadius}}},  // over the corner
      {{0, 0, -1}, {{3900, 3950, 2000, kRadius}}},  // overhead over the far corner
      // A low sun and a high layer: the puff below lies deeper along the sun than the depth
      // of the view straight down.
      {{0.86f / m, 0, -0.51f / m}, {{500, -300, 2000, kRadius}, {2000, 2500, 4000, 100}}},
  };
  for (const auto& plan : plans)
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << plan.width << " x " << plan.height << " sun " << c.sun[0]
                                      << " puff " << c.puffs[0].x << ", " << c.puffs[0].y);
      UseBuffer(plan.width, plan.height);
      EnvironmentResetCloudLow(*state, 0.0f, kNoWind);
      for (const Puff& p : c.puffs) {
        const float centre[3] = {p.x, p.y, p.z};
        test::AddConstantPuff(layer(), centre, p.radius, p.radius, kScale);
      }
      test::SetLayerBox(layer(), -kExtent, kExtent, -kExtent, kExtent);
      // Old contents of the atlas block must not show through where no tile reads.
      TexturePixelsResizeFloat(layer().depthAtlas, 1, 10, 10);
      std::fill_n(static_cast<float*>(layer().depthAtlas.data), 1024 * 1024, 0.0f);
      RenderSunDepthAtlas(layer(), c.sun);
      const SunTileCamera& camera = layer().sunCamera;
      EXPECT_EQ(camera.tilesX, plan.tilesX);
      EXPECT_EQ(camera.tilesY, plan.tilesY);
      EXPECT_EQ(camera.tileWidth, plan.tileWidth);
      EXPECT_EQ(camera.tileHeight, plan.tileHeight);
      for (int k = 0; k < 4; ++k) EXPECT_EQ(camera.pixelRect[k], plan.pixelRect[k]) << k;
      EXPECT_EQ(camera.wholeWindow, 0u);

      // Projection along the sun: (x, y) - g (z - top), g = (Sx, Sy) / Sz; a sphere of radius
      // rho shows as the ellipse |d|^2 - (d . g)^2 / (1 + |g|^2) = rho^2 around its centre's.
      const double top = layer().top, far = top - (layer().bottom - 100);
      const double gx = c.sun[0] / c.sun[2], gy = c.sun[1] / c.sun[2];
      int inside = 0;
      for (int j = 0; j < 1024; ++j)
        for (int i = 0; i < 1024; ++i) {
          const float depth = Atlas()[j * 1024 + i];
          if (j >= static_cast<int>(plan.tilesY * plan.tileHeight)) {
            ASSERT_EQ(depth, 1.0f) << "row " << j << " is no tile's: clear";
            continue;
          }
          double nearest = 1e9;
          for (const Puff& p : c.puffs) {
            auto wrap = [](double d) { return d - 2 * kExtent * std::round(d / (2 * kExtent)); };
            const double rho = 1.25 * kScale * p.radius;
            const double dx = wrap(-kExtent + (i + 0.5) * kTexel - (p.x - gx * (p.z - top)));
            const double dy = wrap(-kExtent + (j + 0.5) * kTexel - (p.y - gy * (p.z - top)));
            const double dg = dx * gx + dy * gy;
            const double q = std::sqrt(dx * dx + dy * dy - dg * dg / (1 + gx * gx + gy * gy));
            nearest = std::min(nearest, (q - 1.5 * kTexel) / rho);
            if (q / rho < 0.92) {
              ++inside;
              ASSERT_LT(depth, 0.9f) << i << ", " << j;
            }
            // At the centre the sun meets the sphere at centre - rho S.
            if (std::hypot(dx, dy) < kTexel) {
              const double z = p.z - rho * c.sun[2];
              EXPECT_NEAR(depth, (top - z - 1) / (far - 1), 9 / far) << i << ", " << j;
            }
          }
          if (nearest > 1.0) {
            ASSERT_EQ(depth, 1.0f) << i << ", " << j;
          }
        }
      EXPECT_GT(inside, 7000);  // pi 0.92^2 (450 / 8)^2 texels at least
    }
}

TEST_F(SunViewBakeGlTest, HorizonSunAndEmptyLayerLeaveNothingInFront) {
  UseBuffer(1024, 800);
  OnePuff(0, 0);
  const float horizon[3] = {1, 0, 0};
  RenderSunDepthAtlas(layer(), horizon);
  for (int i = 0; i < 1024 * 1024; ++i) ASSERT_EQ(Atlas()[i], 1.0f) << i;
  // No puff at all: the shadow is 1.0 everywhere (0.15 + 0.85, smoothed).
  EnvironmentResetCloudLow(*state, 0.0f, kNoWind);
  const float overhead[3] = {0, 0, -1}, white[3] = {1, 1, 1};
  BakePuffViews(layer(), overhead, white, white);
  const auto* shadow = static_cast<const float*>(layer().shadowTexture.pixels.data);
  for (int i = 0; i < 512 * 512; ++i) ASSERT_NEAR(shadow[i], 1.0f, 1e-4f) << i;
  EXPECT_EQ(layer().depthAtlas.data, nullptr);
}

// Overhead sun: the texels facing it go beyond colorLight (w above 1, even under the depth of
// the puff's own inflated top), those facing away come out as colorDark.
TEST_F(SunViewBakeGlTest, LightCubesFaceTheSun) {
  UseBuffer(640, 480);
  OnePuff(500, -300);
  const float overhead[3] = {0, 0, -1}, light[3] = {1, 1, 1}, dark[3] = {0, 0, 0};
  BakePuffViews(layer(), overhead, light, dark);
  const PuffCubePair& pair = layer().puffCubes[0];
  int facing = 0, away = 0;
  for (std::uint32_t face = 0; face < 6; ++face)
    for (std::uint32_t t = 0; t < 256; ++t) {
      double d[3];
      test::FaceDirectionRef(4, face, t % 16, t / 16, d);
      const float* texel = static_cast<const float*>(pair.lightCube.faces[face].data) + 3 * t;
      if (d[2] > 0.95) {
        ++facing;
        EXPECT_GT(texel[0], 1.02f) << face << " " << t;
      } else if (d[2] < -0.95) {
        ++away;
        EXPECT_NEAR(texel[0], 0.0f, 0.03f) << face << " " << t;
      }
    }
  EXPECT_GT(facing, 16);
  EXPECT_GT(away, 16);
}

}  // namespace
}  // namespace veskor
