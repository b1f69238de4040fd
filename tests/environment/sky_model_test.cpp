// The sky model and its colour conversion against an evaluation of the same formulas written
// here in double precision, against published daylight chromaticities, and for its symmetries.
#include "environment/sky_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "environment/colour_conversion.h"
#include "environment/environment_params.h"
#include "environment/environment_reference.h"
#include "gfx/face_directions.h"
#include "mapengine/kernel_table.h"
#include "mapengine/rotation_cache.h"
#include "support/kept_global.h"

namespace veskor {
namespace {

using test::FaceDirectionRef;

constexpr double kPi = std::numbers::pi;
constexpr std::uint32_t kLevel = 7;  // the sky stage's face size, 128
constexpr std::uint32_t kN = 1u << kLevel;

// --- The reference ----------------------------------------------------------------------------

struct Sky {
  double perezY[5], perezX[5], perezYc[5];
  double zenithX, zenithY, theta, phi, cosTheta;
  double sum[3];
  int count;
};

double Clamp(double v, double lo, double hi) { return std::min(std::max(v, lo), hi); }

// The colour matrix multiplied out, the desaturation, the luminance and the matrix as a point.
void YxyToRgbRef(double Y, double x, double y, const float* m, double* rgb) {
  const double z = 1 - x - y;
  double c[3] = {2.142244 * x - 0.931380 * y - 0.288063 * z,
                 -1.204193 * x + 2.203002 * y - 0.060519 * z,
                 0.061949 * x - 0.271623 * y + 1.348582 * z};
  const double lowest = std::min({c[0], c[1], c[2]});
  if (lowest < 0)
    for (double& v : c) v = Clamp(1 + (v - 1) / (1 - lowest), 0, 1);
  for (double& v : c) v *= Y;
  for (int i = 0; i < 3; ++i) rgb[i] = m[i] * c[0] + m[4 + i] * c[1] + m[8 + i] * c[2] + m[12 + i];
}

double Gauss(double height, double a, double width) {
  return width == 0 ? 0 : height * std::exp(-16 * a * a / (width * width));
}

double PerezF(const double* p, double cosTheta, double gamma) {
  return (1 + p[0] * std::exp(p[1] / cosTheta)) *
         (1 + p[2] * std::exp(p[3] * gamma) + p[4] * std::cos(gamma) * std::cos(gamma));
}

// Luminance and the two ratios of a direction with z >= 0.001.
void Distribution(const Sky& s, const double* d, double& Y, double& rx, double& ry) {
  const double theta = std::acos(Clamp(d[2], -1, 1));
  const double phi = theta < 1e-5 ? 0 : std::atan2(d[1], d[0]);
  const double cg =
      std::cos(s.phi - phi) * std::sin(s.theta) * std::sin(theta) + s.cosTheta * std::cos(theta);
  const double gamma = std::acos(Clamp(cg, -1, 1));
  Y = s.perezY[0] + Gauss(s.perezY[2], gamma, s.perezY[1]) +
      Gauss(s.perezY[4], 1 - std::fabs(2 * theta / kPi), s.perezY[3]);
  auto ratio = [&](const double* p) {
    const double zenith = (1 + p[0] * std::exp(p[1])) *
                          (1 + p[2] * std::exp(p[3] * s.theta) + p[4] * s.cosTheta * s.cosTheta);
    return PerezF(p, d[2], gamma) / zenith;
  };
  rx = ratio(s.perezX);
  ry = ratio(s.perezYc);
}

// The colour of a direction, added to the sums; d[2] raised to 0.001 as the sky model does.
void Colour(Sky& s, double* d, const float* m, double* rgb) {
  if (d[2] < 0) {
    rgb[0] = rgb[1] = rgb[2] = 0;
  } else {
    d[2] = std::max(d[2], 0.001);
    double Y, rx, ry;
    Distribution(s, d, Y, rx, ry);
    YxyToRgbRef(Y, rx * s.zenithX, ry * s.zenithY, m, rgb);
  }
  for (int k = 0; k < 3; ++k) s.sum[k] += rgb[k];
  ++s.count;
}

Sky MakeSky(const float* sun, double T) {
  Sky s{};
  const double d[3] = {-double{sun[0]}, -double{sun[1]}, -double{sun[2]}};
  s.theta = std::acos(Clamp(d[2], -1, 1));
  s.phi = s.theta < 1e-5 ? 0 : std::atan2(d[1], d[0]);
  s.cosTheta = d[2];
  const double h = s.theta * 2 / kPi;
  const float* spot = SkyParams.sunSpot;
  const float* band = SkyParams.horizon;
  // The widths add float parameters to float constants, so that a width of exactly 0 stays 0.
  const double perezY[5] = {2.1 * (1 - std::pow(h, 3)) + 0.9, 0.15f + double{spot[0]},
                            0.2 + spot[1], 0.2f + double{band[0]},
                            0.2 * (1 - std::pow(h, 6)) + 0.1 + band[1]};
  const double perezX[5] = {-0.0193 * T - 0.2592, -0.0665 * T + 0.0008, -0.0004 * T + 0.2125,
                            -0.0641 * T - 0.8989, -0.0033 * T + 0.0452};
  const double perezYc[5] = {-0.0167 * T - 0.2608, -0.0950 * T + 0.0092, -0.0079 * T + 0.2102,
                             -0.0441 * T - 1.6537, -0.0109 * T + 0.0529};
  std::copy(perezY, perezY + 5, s.perezY);
  std::copy(perezX, perezX + 5, s.perezX);
  std::copy(perezYc, perezYc + 5, s.perezYc);
  const double zx[3][4] = {{0.00166, -0.00375, 0.00209, 0},
                           {-0.02903, 0.06377, -0.03202, 0.00394},
                           {0.11693, -0.21196, 0.06052, 0.25886}};
  const double zy[3][4] = {{0.00275, -0.0061, 0.00317, 0},
                           {-0.04214, 0.0897, -0.04153, 0.00516},
                           {0.15346, -0.26756, 0.0667, 0.26688}};
  const double t[3] = {T * T, T, 1};
  const double th[4] = {std::pow(s.theta, 3), s.theta * s.theta, s.theta, 1};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) {
      s.zenithX += t[r] * zx[r][c] * th[c];
      s.zenithY += t[r] * zy[r][c] * th[c];
    }
  return s;
}

// --- Tests ------------------------------------------------------------------------------------

constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

const float* Texel(const SkyModel& sky, std::uint32_t face, std::uint32_t i, std::uint32_t j) {
  return static_cast<const float*>(sky.cube.faces[face].data) + (j * kN + i) * 3;
}

void ExpectColour(const float* got, const double* want, double tolerance, const char* what) {
  for (int k = 0; k < 3; ++k)
    ASSERT_NEAR(got[k], want[k], tolerance * (1 + std::fabs(want[k]))) << what << " channel " << k;
}

// w col + (1 - w) max(col).
void FadeRef(const double* col, double w, double* out) {
  const double grey = std::max({col[0], col[1], col[2]});
  for (int k = 0; k < 3; ++k) out[k] = w * col[k] + (1 - w) * grey;
}

// The light outputs that a build sets, put back when the sky goes.
struct KeptSkyLight {
  test::Kept<float> sunScale{SunLightScale}, ambientScale{SkyAmbientScale};
  test::Kept<float[3]> sun{SunLightColour}, ambient{SkyAmbientColour};
};

// The sky cube sized as the sky stage sizes it.
struct SizedSky : SkyModel {
  SizedSky() : SkyModel{} { TextureCubeResize(cube, 3, kLevel); }
  KeptSkyLight kept;
};

TEST(SkyModel, LightOutputsBeforeTheFirstBuild) {
  EXPECT_EQ(SunLightScale, 0.8f);
  EXPECT_EQ(SkyAmbientScale, 0.2f);
}

TEST(ColourConversion, MatrixDesaturationLuminanceAndCorrection) {
  float r, g, b;
  ConvertColourTriple(1.0f / 3, 1.0f / 3, 1.0f / 3, r, g, b);
  const double white[3] = {0.307601, 0.312763, 0.379636};
  const float got[3] = {r, g, b};
  ExpectColour(got, white, 1e-6, "white");
  // (Y, x, y): white, colours with one negative component (red, then blue), with two, black.
  const float cases[][3] = {{2.0f, 1.0f / 3, 1.0f / 3},
                            {1.0f, 0.15f, 0.6f},
                            {0.5f, 0.3f, 0.6f},
                            {1.0f, 0.7f, 0.05f},
                            {0.0f, 0.6f, 0.1f}};
  const float swap[16] = {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 2, 0, 0.5f, 0, 0, 1};  // r <-> g
  for (const auto& c : cases)
    for (const float* m : {static_cast<const float*>(nullptr), kIdentity, swap}) {
      double want[3];
      YxyToRgbRef(c[0], c[1], c[2], m != nullptr ? m : kIdentity, want);
      float rgb[3];
      YxyToRgb(c[0], c[1], c[2], m, rgb[0], rgb[1], rgb[2]);
      ExpectColour(rgb, want, 2e-6, "colour");
    }
  YxyToRgb(1.0f, 0.15f, 0.6f, nullptr, r, g, b);
  EXPECT_EQ(r, 0.0f);  // the most negative component lands exactly on 0
}

TEST(SkyModel, CubeAndLightsMatchTheReference) {
  const struct {
    float sun[3];
    float T, horizon[2], sunSpot[2];
  } cases[] = {
      {{0.5f, 0.5f, -0.5f}, 2.8f, {0, 0}, {0, 0}},                   // the defaults
      {{0, 0, -1}, 12.0f, {0.3f, 0.5f}, {0.1f, -0.05f}},             // sun at the zenith
      {{-0.9f, 0.3f, -0.12f}, 0.5f, {-0.2f, 0.1f}, {-0.15f, 0.2f}},  // zero widths, low sun
      {{0.3f, -0.6f, 0.4f}, 5.0f, {0.5f, -0.1f}, {0.4f, 1.0f}},      // sun below the horizon
  };
  RotationCache dome, skyR, sunR;  // a tinted, turned dome; a scaled ambient; a red-green swap
  dome.scale[0] = 0.9f, dome.angle = 10, dome.axis[0] = 1, dome.translation[1] = 0.02f;
  skyR.scale[0] = skyR.scale[1] = skyR.scale[2] = 1.3f, skyR.translation[2] = -0.05f;
  sunR.angle = 90;
  dome.dirty = skyR.dirty = sunR.dirty = 1;
  const float* domeM = RotationCacheGet(dome);
  const float* skyM = RotationCacheGet(skyR);
  const float* sunM = RotationCacheGet(sunR);
  SizedSky sky;
  for (auto c : cases) {
    const double n = std::sqrt(double{c.sun[0]} * c.sun[0] + double{c.sun[1]} * c.sun[1] +
                               double{c.sun[2]} * c.sun[2]);
    for (float& v : c.sun) v = static_cast<float>(v / n);
    std::copy(c.horizon, c.horizon + 2, SkyParams.horizon);
    std::copy(c.sunSpot, c.sunSpot + 2, SkyParams.sunSpot);
    SCOPED_TRACE(::testing::Message() << "sun " << c.sun[0] << "," << c.sun[1] << "," << c.sun[2]);
    BuildSkyMap(sky, c.sun, c.T, domeM, skyM, sunM);

    Sky ref = MakeSky(c.sun, c.T);
    double towardsSun[3] = {-double{c.sun[0]}, -double{c.sun[1]}, -double{c.sun[2]}}, sun[3];
    Colour(ref, towardsSun, domeM, sun);
    ref.sum[0] = ref.sum[1] = ref.sum[2] = 0, ref.count = 0;
    // The evaluated texels and the mirrored ones of the same face; face 4 from face 5.
    for (std::uint32_t face : {0u, 1u, 2u, 3u, 5u, 4u})
      for (std::uint32_t j = 0; j < kN; ++j)
        for (std::uint32_t i = 0; i < kN; ++i) {
          double d[3], col[3], mirrored[3];
          FaceDirectionRef(kLevel, face, i, j, d);
          if (face == 4) {
            const float* top = Texel(sky, 5, kN - 1 - i, j);
            const double above[3] = {top[0], top[1], top[2]};
            FadeRef(above, (1 + d[2]) * (1 + d[2]), mirrored);
            ExpectColour(Texel(sky, 4, i, j), mirrored, 1e-6, "face 4");
            continue;
          }
          if (d[2] <= 0) continue;  // a mirrored texel
          Colour(ref, d, domeM, col);
          ExpectColour(Texel(sky, face, i, j), col, 3e-5, "evaluated");
          if (face == 5) continue;
          FadeRef(col, (1 - d[2]) * (1 - d[2]), mirrored);
          ExpectColour(Texel(sky, face, face < 2 ? kN - 1 - i : i, face < 2 ? j : kN - 1 - j),
                       mirrored, 3e-5, "mirrored");
        }

    EXPECT_EQ(ref.count, 49152);
    EXPECT_EQ(sky.colourCount, 49152u);
    const double ambientScale = std::max(0.0, 0.4 * (1 - std::pow(ref.theta * 2 / kPi, 5)));
    EXPECT_NEAR(SkyAmbientScale, ambientScale, 1e-6);
    EXPECT_EQ(SunLightScale, 1.0f);
    double ambient[3], light[3];
    const double mean[3] = {ref.sum[0] / ref.count, ref.sum[1] / ref.count, ref.sum[2] / ref.count};
    for (int k = 0; k < 3; ++k) {
      ambient[k] = skyM[k] * mean[0] + skyM[4 + k] * mean[1] + skyM[8 + k] * mean[2] + skyM[12 + k];
      light[k] = sunM[k] * sun[0] + sunM[4 + k] * sun[1] + sunM[8 + k] * sun[2] + sunM[12 + k];
      EXPECT_NEAR(SunLightColour[k], Clamp(light[k] - ambient[k] * ambientScale, 0, 1), 1e-4);
      EXPECT_NEAR(SkyAmbientColour[k], Clamp(ambient[k], 0, 1), 1e-4);
    }
  }
}

TEST(SkyModel, PublishedChromaticityAtTurbidityThree) {
  const float sun[3] = {-std::cos(static_cast<float>(kPi / 6)), 0, -0.5f};  // 30 degrees up
  const KeptSkyLight kept;
  SkyModel sky{};
  TextureCubeResize(sky.cube, 3, 1);
  BuildSkyMap(sky, sun, 3.0f, kIdentity, kIdentity, kIdentity);
  EXPECT_NEAR(sky.zenithX, 0.2449, 1e-4);
  EXPECT_NEAR(sky.zenithY, 0.2526, 1e-4);
  // 45 degrees from the zenith, 90 degrees in azimuth from the sun; then the zenith itself.
  const float c45 = std::cos(static_cast<float>(kPi / 4));
  const float view[3] = {0, c45, c45}, up[3] = {0, 0, 1};
  float Y, rx, ry;
  SkyDistribution(sky, view, Y, rx, ry);
  EXPECT_NEAR(rx * sky.zenithX, 0.24814, 1e-4);
  EXPECT_NEAR(ry * sky.zenithY, 0.25853, 1e-4);
  SkyDistribution(sky, up, Y, rx, ry);
  EXPECT_NEAR(rx, 1.0f, 1e-6f);
  EXPECT_NEAR(ry, 1.0f, 1e-6f);
}

TEST(SkyModel, MirrorSymmetricAboutTheSunsVerticalPlane) {
  const float sun[3] = {-0.6f, 0, -0.8f};  // in the x-z plane
  SkyParams.sunSpot[0] = SkyParams.sunSpot[1] = 0.1f;
  SizedSky sky;
  BuildSkyMap(sky, sun, 2.8f, kIdentity, kIdentity, kIdentity);
  // Rows j and N-1-j mirror y on faces 0, 1, 4 and 5; faces 2 (-Y) and 3 (+Y) mirror each other.
  for (std::uint32_t j = 0; j < kN; ++j)
    for (std::uint32_t i = 0; i < kN; ++i)
      for (std::uint32_t face : {0u, 1u, 2u, 4u, 5u}) {
        const float* a = Texel(sky, face, i, j);
        const float* b = Texel(sky, face == 2 ? 3 : face, i, kN - 1 - j);
        for (int k = 0; k < 3; ++k) ASSERT_FLOAT_EQ(a[k], b[k]) << face << " " << i << "," << j;
      }
}

TEST(SkyModel, PlainAndSseTablesGiveFiniteSkiesThatAgree) {
  const KernelTable saved = gKernelTable;
  // The last sun is a little longer than 1, as the SSE estimate may leave a direction.
  const float suns[][3] = {
      {0, 0, -1}, {0.5f, 0.5f, -0.5f}, {0.001f, 0, -1}, {1, 0, 0}, {0, 0, -1.0002f}};
  SkyParams.sunSpot[0] = -0.15f;  // a sun spot of zero width
  SizedSky sky[2];
  float lights[2][6];
  for (const auto& direction : suns) {
    SCOPED_TRACE(::testing::Message() << "sun " << direction[0] << "," << direction[2]);
    for (int path = 0; path < 2; ++path) {
      FillKernelTable(gKernelTable, path == 1);
      TexturePixelsRelease(FaceDirectionTexels[kLevel]);
      BuildFaceDirectionTables();
      float sun[3] = {direction[0], direction[1], direction[2]};
      if (&direction != &suns[4]) gKernelTable.KernelNormalize3(sun);
      BuildSkyMap(sky[path], sun, 2.8f, kIdentity, kIdentity, kIdentity);
      std::copy(SunLightColour, SunLightColour + 3, lights[path]);
      std::copy(SkyAmbientColour, SkyAmbientColour + 3, lights[path] + 3);
    }
    for (std::uint32_t face = 0; face < 6; ++face)
      for (std::uint32_t t = 0; t < 3 * kN * kN; ++t) {
        const float p = static_cast<const float*>(sky[0].cube.faces[face].data)[t];
        const float s = static_cast<const float*>(sky[1].cube.faces[face].data)[t];
        ASSERT_TRUE(std::isfinite(p) && std::isfinite(s)) << "face " << face << " value " << t;
        // The directions differ by kUnitLengthError at most; the horizon band is steep.
        ASSERT_NEAR(p, s, 1e-2f * (1 + std::fabs(p))) << "face " << face << " value " << t;
      }
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(lights[0][k], lights[1][k], 1e-2f) << k;
  }
  gKernelTable = saved;
  TexturePixelsRelease(FaceDirectionTexels[kLevel]);
  BuildFaceDirectionTables();
}

}  // namespace
}  // namespace veskor
