// The sky model and its colour conversion against an evaluation of the same formulas written
// here in double precision, against published daylight chromaticities, and for its symmetries.
#include "environment/sky_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "environment/colour_conversion.h"
#include "environment/environment_params.h"
#include "gfx/face_directions.h"
#include "mapengine/kernel_table.h"
#include "mapengine/rotation_cache.h"

namespace veskor {
namespace {

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
  const double cg = std::cos(s.phi - phi) * std::sin(s.theta) * std::sin(theta) +
                    s.cosTheta * std::cos(theta);
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

// The world direction of table entry (i, j) on a face, as the face convention gives it.
void FaceDirection(std::uint32_t face, std::uint32_t i, std::uint32_t j, double* out) {
  const float* e = static_cast<const float*>(FaceDirectionTexels[kLevel].data) + (j * kN + i) * 3;
  const double e0 = e[0], e1 = e[1], e2 = e[2];
  const double dirs[6][3] = {{-e2, -e1, e0}, {e2, -e1, -e0}, {e0, -e2, -e1},
                             {e0, e2, e1},   {-e0, -e1, -e2}, {e0, -e1, e2}};
  std::copy(dirs[face], dirs[face] + 3, out);
}

// --- Helpers ----------------------------------------------------------------------------------

struct SkyCase {
  float sun[3];  // normalised by the test
  float T;
  float horizon[2], sunSpot[2];
};

void Normalise(float* v) {
  const double n = std::sqrt(double{v[0]} * v[0] + double{v[1]} * v[1] + double{v[2]} * v[2]);
  for (int k = 0; k < 3; ++k) v[k] = static_cast<float>(v[k] / n);
}

const float* Texel(const SkyModel& sky, std::uint32_t face, std::uint32_t i, std::uint32_t j) {
  return static_cast<const float*>(sky.cube.faces[face].data) + (j * kN + i) * 3;
}

void ExpectColour(const float* got, const double* want, double tolerance, const char* what) {
  for (int k = 0; k < 3; ++k)
    ASSERT_NEAR(got[k], want[k], tolerance * (1 + std::fabs(want[k]))) << what << " channel " << k;
}

struct Matrices {
  RotationCache dome, sky, sun;
  Matrices() {
    dome.scale[0] = 0.9f, dome.scale[2] = 1.1f, dome.angle = 10, dome.axis[0] = 1;
    dome.translation[1] = 0.02f;
    sky.scale[0] = sky.scale[1] = sky.scale[2] = 1.3f, sky.translation[2] = -0.05f;
    sun.angle = 90;  // red and green swap places
    dome.dirty = sky.dirty = sun.dirty = 1;
  }
};

// The sky cube sized as the sky stage sizes it.
struct SizedSky {
  SkyModel sky{};
  SizedSky() { TextureCubeResize(sky.cube, 3, kLevel); }
};

// --- Tests ------------------------------------------------------------------------------------

TEST(SkyModel, LightOutputsBeforeTheFirstBuild) {
  EXPECT_EQ(SunLightScale, 0.8f);
  EXPECT_EQ(SkyAmbientScale, 0.2f);
}

TEST(ColourConversion, MatrixDesaturationLuminanceAndCorrection) {
  float r, g, b;
  ConvertColourTriple(1.0f / 3, 1.0f / 3, 1.0f / 3, r, g, b);
  EXPECT_NEAR(r, 0.307601, 1e-6);
  EXPECT_NEAR(g, 0.312763, 1e-6);
  EXPECT_NEAR(b, 0.379636, 1e-6);
  // (Y, x, y): white, two colours with one negative component (red, then blue), one with two,
  // and black.
  const float cases[][3] = {{2.0f, 1.0f / 3, 1.0f / 3}, {1.0f, 0.15f, 0.6f},
                            {0.5f, 0.3f, 0.6f},        {1.0f, 0.7f, 0.05f}, {0.0f, 0.6f, 0.1f}};
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float shift[16] = {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 2, 0, 0.5f, 0, 0, 1};  // r <-> g
  for (const auto& c : cases) {
    double want[3], shifted[3];
    YxyToRgbRef(c[0], c[1], c[2], identity, want);
    YxyToRgbRef(c[0], c[1], c[2], shift, shifted);
    float got[3], plain[3], moved[3];
    YxyToRgb(c[0], c[1], c[2], nullptr, got[0], got[1], got[2]);
    YxyToRgb(c[0], c[1], c[2], identity, plain[0], plain[1], plain[2]);
    YxyToRgb(c[0], c[1], c[2], shift, moved[0], moved[1], moved[2]);
    ExpectColour(got, want, 2e-6, "no matrix");
    ExpectColour(plain, want, 2e-6, "identity");
    ExpectColour(moved, shifted, 2e-6, "matrix");
  }
  // A desaturated colour has its most negative component at exactly 0 and none above 1.
  YxyToRgb(1.0f, 0.15f, 0.6f, nullptr, r, g, b);
  EXPECT_EQ(r, 0.0f);
  EXPECT_GT(g, b);
  EXPECT_LE(g, 1.0f);
}

TEST(SkyModel, CubeAndLightsMatchTheReference) {
  const SkyCase cases[] = {
      {{0.5f, 0.5f, -0.5f}, 2.8f, {0, 0}, {0, 0}},             // the defaults
      {{0, 0, -1}, 12.0f, {0.3f, 0.5f}, {0.1f, -0.05f}},       // sun at the zenith
      {{-0.9f, 0.3f, -0.12f}, 0.5f, {-0.2f, 0.1f}, {-0.15f, 0.2f}},  // zero widths, low sun
      {{0.3f, -0.6f, 0.4f}, 5.0f, {0.5f, -0.1f}, {0.4f, 1.0f}},  // sun below the horizon
  };
  Matrices m;
  const float* dome = RotationCacheGet(m.dome);
  const float* skyM = RotationCacheGet(m.sky);
  const float* sunM = RotationCacheGet(m.sun);
  SizedSky sized;
  SkyModel& sky = sized.sky;
  for (SkyCase c : cases) {
    Normalise(c.sun);
    std::copy(c.horizon, c.horizon + 2, SkyParams.horizon);
    std::copy(c.sunSpot, c.sunSpot + 2, SkyParams.sunSpot);
    SCOPED_TRACE(::testing::Message() << "sun " << c.sun[0] << "," << c.sun[1] << "," << c.sun[2]);
    BuildSkyMap(sky, c.sun, c.T, dome, skyM, sunM);

    Sky ref = MakeSky(c.sun, c.T);
    double towardsSun[3] = {-double{c.sun[0]}, -double{c.sun[1]}, -double{c.sun[2]}};
    double sun[3];
    Colour(ref, towardsSun, dome, sun);
    ref.sum[0] = ref.sum[1] = ref.sum[2] = 0, ref.count = 0;

    // Evaluated texels and their mirrors, face by face.
    double col[3];
    for (std::uint32_t face : {0u, 1u, 2u, 3u, 5u})
      for (std::uint32_t j = 0; j < kN; ++j)
        for (std::uint32_t i = 0; i < kN; ++i) {
          double d[3];
          FaceDirection(face, i, j, d);
          if (d[2] <= 0) continue;  // the mirrored half
          Colour(ref, d, dome, col);
          ExpectColour(Texel(sky, face, i, j), col, 3e-5, "evaluated");
          if (face == 5) continue;
          const std::uint32_t mi = face < 2 ? kN - 1 - i : i, mj = face < 2 ? j : kN - 1 - j;
          const double w = (1 - d[2]) * (1 - d[2]), grey = std::max({col[0], col[1], col[2]});
          const double mirrored[3] = {w * col[0] + (1 - w) * grey, w * col[1] + (1 - w) * grey,
                                      w * col[2] + (1 - w) * grey};
          ExpectColour(Texel(sky, face, mi, mj), mirrored, 3e-5, "mirrored");
        }
    for (std::uint32_t j = 0; j < kN; ++j)
      for (std::uint32_t i = 0; i < kN; ++i) {
        const float* top = Texel(sky, 5, kN - 1 - i, j);
        double d[3];
        FaceDirection(4, i, j, d);
        const double w = (1 + d[2]) * (1 + d[2]), grey = std::max({top[0], top[1], top[2]});
        const double want[3] = {w * top[0] + (1 - w) * grey, w * top[1] + (1 - w) * grey,
                                w * top[2] + (1 - w) * grey};
        ExpectColour(Texel(sky, 4, i, j), want, 1e-6, "face 4");
      }

    EXPECT_EQ(ref.count, 49152);
    EXPECT_EQ(sky.colourCount, 49152u);
    double ambient[3];
    const double mean[3] = {ref.sum[0] / ref.count, ref.sum[1] / ref.count, ref.sum[2] / ref.count};
    for (int k = 0; k < 3; ++k)
      ambient[k] = skyM[k] * mean[0] + skyM[4 + k] * mean[1] + skyM[8 + k] * mean[2] + skyM[12 + k];
    const double s = ref.theta * 2 / kPi;
    const double ambientScale = std::max(0.0, 0.4 * (1 - std::pow(s, 5)));
    EXPECT_NEAR(SkyAmbientScale, ambientScale, 1e-6);
    EXPECT_EQ(SunLightScale, 1.0f);
    for (int k = 0; k < 3; ++k) {
      const double light = sunM[k] * sun[0] + sunM[4 + k] * sun[1] + sunM[8 + k] * sun[2] + sunM[12 + k];
      EXPECT_NEAR(SunLightColour[k], Clamp(light - ambient[k] * ambientScale, 0, 1), 1e-4) << k;
      EXPECT_NEAR(SkyAmbientColour[k], Clamp(ambient[k], 0, 1), 1e-4) << k;
    }
  }
}

TEST(SkyModel, PublishedChromaticityAtTurbidityThree) {
  // Sun 30 degrees above the horizon, towards +x.
  const float sun[3] = {-std::cos(static_cast<float>(kPi / 6)), 0, -0.5f};
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  SkyModel sky{};
  TextureCubeResize(sky.cube, 3, 1);
  BuildSkyMap(sky, sun, 3.0f, identity, identity, identity);
  EXPECT_NEAR(sky.zenithX, 0.2449, 1e-4);
  EXPECT_NEAR(sky.zenithY, 0.2526, 1e-4);
  // 45 degrees from the zenith, 90 degrees in azimuth from the sun.
  const float view[3] = {0, std::sin(static_cast<float>(kPi / 4)), std::cos(static_cast<float>(kPi / 4))};
  float Y, rx, ry;
  SkyDistribution(sky, view, Y, rx, ry);
  EXPECT_NEAR(rx * sky.zenithX, 0.24814, 1e-4);
  EXPECT_NEAR(ry * sky.zenithY, 0.25853, 1e-4);
  // At the zenith both ratios are 1.
  const float up[3] = {0, 0, 1};
  SkyDistribution(sky, up, Y, rx, ry);
  EXPECT_NEAR(rx, 1.0f, 1e-6f);
  EXPECT_NEAR(ry, 1.0f, 1e-6f);
}

TEST(SkyModel, MirrorSymmetricAboutTheSunsVerticalPlane) {
  float sun[3] = {-0.6f, 0, -0.8f};  // the sun stands in the x-z plane
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  SkyParams.sunSpot[0] = SkyParams.sunSpot[1] = 0.1f;
  SizedSky sized;
  BuildSkyMap(sized.sky, sun, 2.8f, identity, identity, identity);
  // Face 5 (+Z) maps row j to -y: rows j and N-1-j mirror y. On faces 0 and 1 (-X, +X) row j
  // is -e1 = -y too; faces 2 and 3 (-Y, +Y) mirror each other column by column.
  for (std::uint32_t j = 0; j < kN; ++j)
    for (std::uint32_t i = 0; i < kN; ++i) {
      for (std::uint32_t face : {0u, 1u, 4u, 5u}) {
        const float* a = Texel(sized.sky, face, i, j);
        const float* b = Texel(sized.sky, face, i, kN - 1 - j);
        for (int k = 0; k < 3; ++k) ASSERT_FLOAT_EQ(a[k], b[k]) << face << " " << i << "," << j;
      }
      const float* a = Texel(sized.sky, 2, i, j);
      const float* b = Texel(sized.sky, 3, i, kN - 1 - j);
      for (int k = 0; k < 3; ++k) ASSERT_FLOAT_EQ(a[k], b[k]) << i << "," << j;
    }
}

TEST(SkyModel, DirectionsJustBeyondUnitLengthGiveFiniteColours) {
  // The SSE estimate can leave a sun or a face direction a little longer than 1.
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  SizedSky sized;
  for (const float z : {-1.0002f, 1.0002f}) {
    const float sun[3] = {0, 0, z};
    BuildSkyMap(sized.sky, sun, 2.8f, identity, identity, identity);
    for (std::uint32_t face = 0; face < 6; ++face)
      for (std::uint32_t t = 0; t < 3 * kN * kN; ++t)
        ASSERT_TRUE(std::isfinite(static_cast<const float*>(sized.sky.cube.faces[face].data)[t]));
    for (int k = 0; k < 3; ++k)
      EXPECT_TRUE(std::isfinite(SunLightColour[k]) && std::isfinite(SkyAmbientColour[k])) << z;
    const float up[3] = {0, 0, 1.0002f};
    float Y, rx, ry;
    SkyDistribution(sized.sky, up, Y, rx, ry);
    EXPECT_TRUE(std::isfinite(Y) && std::isfinite(rx) && std::isfinite(ry)) << z;
  }
}

TEST(SkyModel, PlainAndSseTablesGiveFiniteSkiesThatAgree) {
  const KernelTable saved = gKernelTable;
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float suns[][3] = {{0, 0, -1}, {0.5f, 0.5f, -0.5f}, {0.001f, 0, -1}, {1, 0, 0}};
  SkyParams.sunSpot[0] = -0.15f;  // a sun spot of zero width
  SizedSky sized[2];
  float lights[2][6];
  for (const auto& direction : suns) {
    for (int path = 0; path < 2; ++path) {
      FillKernelTable(gKernelTable, path == 1);
      TexturePixelsRelease(FaceDirectionTexels[kLevel]);
      BuildFaceDirectionTables();
      float sun[3] = {direction[0], direction[1], direction[2]};
      gKernelTable.KernelNormalize3(sun);
      BuildSkyMap(sized[path].sky, sun, 2.8f, identity, identity, identity);
      std::copy(SunLightColour, SunLightColour + 3, lights[path]);
      std::copy(SkyAmbientColour, SkyAmbientColour + 3, lights[path] + 3);
    }
    SCOPED_TRACE(::testing::Message() << "sun " << direction[0] << "," << direction[2]);
    for (std::uint32_t face = 0; face < 6; ++face)
      for (std::uint32_t t = 0; t < 3 * kN * kN; ++t) {
        const float p = static_cast<const float*>(sized[0].sky.cube.faces[face].data)[t];
        const float s = static_cast<const float*>(sized[1].sky.cube.faces[face].data)[t];
        ASSERT_TRUE(std::isfinite(p) && std::isfinite(s)) << "face " << face << " value " << t;
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
