// The fog fill against the formulas evaluated here in double precision: the defaults, settings
// that reach each branch (no intensity, distances below 1, block values 0 and 1e-6), and every
// texel finite.
#include "render/fog_texture.h"

#include <gtest/gtest.h>

#include <cmath>

#include "environment/environment_params.h"
#include "environment/fog_curve.h"

namespace veskor {
namespace {

// 1 - i (exp(-a^2) - exp(-e^2)) / (1 - exp(-e^2)), a = e min(u / d - 1, 0); for e = 0 the
// quotient's limit 1 - m^2.
double Reference(double e, double i, double d, double u) {
  const double m = std::min(u / d - 1.0, 0.0);
  if (e == 0.0) return 1.0 - i * (1.0 - m * m);
  return 1.0 - i * (std::exp(-e * e * m * m) - std::exp(-e * e)) / (1.0 - std::exp(-e * e));
}

class FogFill : public ::testing::Test {
 protected:
  void TearDown() override {
    SetFog(2.5f, 1.0f, 1.0f, 0.0f, 200.0f, 0.8f);
    SetHaze(2.1f, 1.0f, 1.0f, 0.05f, 0.05f, 0.5f);
  }
  static const float* Texel(int i, int j) {
    return static_cast<const float*>(TextureData(FogTexture)) + 4 * (256 * j + i);
  }
  // Curve and texels against the reference, and all finite.
  static void Check(double tolerance) {
    const FogParameters f = FogParams;
    const HazeParameters h = HazeParams;
    ASSERT_EQ(FogCurveLength, 256u);
    ASSERT_EQ(TextureLog2Width(FogTexture), 8u);
    ASSERT_EQ(TextureLog2Height(FogTexture), 8u);
    int bad = 0;
    for (int i = 0; i < 256; ++i) {
      const double u = (i + 0.5) / 256;
      const double fog = Reference(f.exp, f.intensity, f.distance, u);
      const double haze = Reference(h.exp, h.intensity, h.distance, u);
      EXPECT_NEAR(FogCurve[i], fog, tolerance) << i;
      for (int j = 0; j < 256; j += 17) {
        const float* t = Texel(i, j);
        for (int k = 0; k < 3; ++k)
          EXPECT_NEAR(t[k], (haze + (1 - haze) * h.color[k]) * haze, tolerance) << i << " " << j;
        EXPECT_NEAR(t[3], (j + 0.5) / 256 * fog, tolerance) << i << " " << j;
      }
      for (int j = 0; j < 256; ++j)
        for (int k = 0; k < 4; ++k) bad += std::isfinite(Texel(i, j)[k]) ? 0 : 1;
    }
    EXPECT_EQ(bad, 0);
  }
};

TEST_F(FogFill, DefaultsGiveTheListedColumns) {
  SetFog(2.5f, 1.0f, 1.0f, 0.0f, 200.0f, 0.8f);
  SetHaze(2.1f, 1.0f, 1.0f, 0.05f, 0.05f, 0.5f);
  FogTextureFill();
  Check(1e-6);
  const struct {
    int column;
    double fog, r, b;
  } listed[] = {{0, 1.0, 1.0, 1.0},         {64, 0.972, 0.862, 0.892}, {128, 0.789, 0.464, 0.563},
                {192, 0.320, 0.067, 0.149}, {255, 0.0, 0.0, 0.0}};
  for (const auto& c : listed) {
    EXPECT_NEAR(FogCurve[c.column], c.fog, 1e-3) << c.column;
    EXPECT_NEAR(Texel(c.column, 100)[0], c.r, 1e-3) << c.column;
    EXPECT_NEAR(Texel(c.column, 100)[2], c.b, 1e-3) << c.column;
  }
  EXPECT_LT(Texel(128, 0)[3], 0.01f);  // row 0 almost transparent
}

TEST_F(FogFill, EachBranchStaysOnTheFormula) {
  const struct {
    float fogExp, fogIntensity, fogDistance, hazeExp, hazeIntensity, hazeDistance;
  } cases[] = {
      {2.5f, 0.0f, 1.0f, 2.1f, 0.0f, 1.0f},    // no intensity: fog 1, alpha = v
      {2.5f, 1.0f, 0.5f, 2.1f, 0.7f, 0.25f},   // distances below 1: flat beyond them
      {0.0f, 1.0f, 1.0f, 0.0f, 0.5f, 0.75f},   // block value 0: the limit
      {1e-6f, 1.0f, 1.0f, 1e-6f, 1.0f, 0.5f},  // a tiny block value: close to the limit
      {40.0f, 0.8f, 1.0f, 30.0f, 1.0f, 1.0f},  // a steep curve: exp(-e^2) underflows
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fogExp);
    SetFog(c.fogExp, c.fogIntensity, c.fogDistance, 0.0f, 200.0f, 0.8f);
    SetHaze(c.hazeExp, c.hazeIntensity, c.hazeDistance, 0.3f, 0.6f, 0.9f);
    FogTextureFill();
    Check(c.fogExp == 1e-6f ? 1e-3 : 1e-6);
    if (c.fogIntensity == 0.0f) {
      EXPECT_FLOAT_EQ(Texel(77, 200)[3], 200.5f / 256);
    }
    // From the distance on the fog stays at 1 - intensity: column 128 is the first past 0.5.
    if (c.fogDistance == 0.5f) {
      EXPECT_FLOAT_EQ(FogCurve[128], 0.0f);
      EXPECT_GT(FogCurve[127], 0.0f);
    }
    if (c.fogExp == 1e-6f) {  // the limit 1 - (1 - m^2) = m^2 at u = 0.5: 0.25
      EXPECT_NEAR(FogCurve[127], std::pow(127.5 / 256 - 1, 2), 1e-4);
    }
  }
}

}  // namespace
}  // namespace veskor
