#include "environment/sky_model.h"

#include <cmath>

#include "environment/colour_conversion.h"
#include "environment/environment_params.h"
#include "gfx/face_directions.h"
#include "mapengine/kernel_table.h"

namespace veskor {

SkyModel gSkyModel;

float SunLightColour[3];
float SkyAmbientColour[3];
float SunLightScale = 0.8f;
float SkyAmbientScale = 0.2f;

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kTwoOverPi = 0.63661975f;
constexpr float kLog2E = 1.44269504f;
constexpr float kMinSkyZ = 0.001f;

// Rows T^2, T, 1; columns theta^3, theta^2, theta, 1.
constexpr float kZenithX[12] = {0.00166f,  -0.00375f, 0.00209f,  0.0f,
                                -0.02903f, 0.06377f,  -0.03202f, 0.00394f,
                                0.11693f,  -0.21196f, 0.06052f,  0.25886f};
constexpr float kZenithY[12] = {0.00275f,  -0.0061f, 0.00317f,  0.0f,
                                -0.04214f, 0.0897f,  -0.04153f, 0.00516f,
                                0.15346f,  -0.26756f, 0.0667f,  0.26688f};

// e^x as a power of 2.
float Exp(float x) { return std::exp2(x * kLog2E); }

// acos of a cosine that rounding may have pushed just outside [-1, 1] (the face directions and
// the sun direction come from the SSE inverse square-root estimate).
float SafeAcos(float c) { return std::acos(c < -1.0f ? -1.0f : (c > 1.0f ? 1.0f : c)); }

// sunTheta scaled to 0 at the zenith and 1 at the horizon.
float SunHeight(const SkyModel& sky) { return sky.sunTheta * kTwoOverPi; }

// The Perez form F(theta, gamma) of a chromaticity row, with cosTheta = cos(theta).
float PerezForm(const float* p, float cosTheta, float gamma, float cosGamma) {
  return (1.0f + p[0] * Exp(p[1] / cosTheta)) *
         (1.0f + p[2] * Exp(p[3] * gamma) + p[4] * cosGamma * cosGamma);
}

float PerezRatio(const SkyModel& sky, const float* p, float cosTheta, float gamma,
                 float cosGamma) {
  const float zenith = (1.0f + p[0] * Exp(p[1])) *
                       (1.0f + p[2] * Exp(p[3] * sky.sunTheta) +
                        p[4] * sky.sunCosTheta * sky.sunCosTheta);
  return PerezForm(p, cosTheta, gamma, cosGamma) / zenith;
}

// C exp(-16 a^2 / w^2); nothing when the width w is 0.
float Gaussian(float height, float a, float width) {
  const float w2 = width * width;
  if (w2 == 0.0f) return 0.0f;
  return height * Exp(-16.0f * a * a / w2);
}

// Stores the colour of texel (i, j) of `face`, or mixes the mirrored texel from a colour.
float* Texel(SkyModel& sky, std::uint32_t face, std::uint32_t i, std::uint32_t j) {
  const TexturePixels& p = sky.cube.faces[face];
  return static_cast<float*>(p.data) + ((j << p.log2Width) + i) * 3;
}

// w col + (1 - w) max(col), channel by channel.
void FadeToGrey(const float* col, float w, float* out) {
  const float grey = Max3(col[0], col[1], col[2]);
  for (int k = 0; k < 3; ++k) out[k] = w * col[k] + (1.0f - w) * grey;
}

void EvaluateTexel(SkyModel& sky, std::uint32_t face, std::uint32_t i, std::uint32_t j,
                   std::uint32_t mi, std::uint32_t mj, const float* domeMatrix) {
  float d[3];
  CubeTexelDirection(sky, face, i, j, d);
  float* col = Texel(sky, face, i, j);
  PerezEvaluate(sky, d, domeMatrix, col);
  const float w = (1.0f - d[2]) * (1.0f - d[2]);
  FadeToGrey(col, w, Texel(sky, face, mi, mj));
}

}  // namespace

float Max3(float a, float b, float c) {
  const float m = a > b ? a : b;
  return m > c ? m : c;
}

void CubeFaceDirection(std::uint32_t face, const float* t, float* out) {
  const float e0 = t[0], e1 = t[1], e2 = t[2];
  switch (face) {
    case 0: out[0] = -e2, out[1] = -e1, out[2] = e0; break;
    case 1: out[0] = e2, out[1] = -e1, out[2] = -e0; break;
    case 2: out[0] = e0, out[1] = -e2, out[2] = -e1; break;
    case 3: out[0] = e0, out[1] = e2, out[2] = e1; break;
    case 4: out[0] = -e0, out[1] = -e1, out[2] = -e2; break;
    default: out[0] = e0, out[1] = -e1, out[2] = e2; break;
  }
}

void CubeTexelDirection(const SkyModel& sky, std::uint32_t face, std::uint32_t i,
                        std::uint32_t j, float* out) {
  const std::uint32_t level = sky.cube.faces[face].log2Width;
  const auto* t = static_cast<const float*>(FaceDirectionTexels[level].data);
  CubeFaceDirection(face, t + ((j << level) + i) * 3, out);
}

void PerezCoefficientsY(const SkyModel& sky, float /*T*/, float* out) {
  const float s = SunHeight(sky);
  const float s3 = s * s * s;
  out[0] = 2.1f * (1.0f - s3) + 0.9f;
  out[1] = 0.15f + SkyParams.sunSpot[0];
  out[2] = 0.2f + SkyParams.sunSpot[1];
  out[3] = 0.2f + SkyParams.horizon[0];
  out[4] = 0.2f * (1.0f - s3 * s3) + 0.1f + SkyParams.horizon[1];
}

void PerezCoefficientsX(float T, float* out) {
  out[0] = -0.0193f * T - 0.2592f;
  out[1] = -0.0665f * T + 0.0008f;
  out[2] = -0.0004f * T + 0.2125f;
  out[3] = -0.0641f * T - 0.8989f;
  out[4] = -0.0033f * T + 0.0452f;
}

void PerezCoefficientsYc(float T, float* out) {
  out[0] = -0.0167f * T - 0.2608f;
  out[1] = -0.0950f * T + 0.0092f;
  out[2] = -0.0079f * T + 0.2102f;
  out[3] = -0.0441f * T - 1.6537f;
  out[4] = -0.0109f * T + 0.0529f;
}

float ZenithPolynomial(const float* tPowers, const float* M, const float* thetaPowers) {
  float sum = 0.0f;
  for (int r = 0; r < 3; ++r) {
    const float* row = M + 4 * r;
    sum += tPowers[r] * (row[0] * thetaPowers[0] + row[1] * thetaPowers[1] +
                         row[2] * thetaPowers[2] + row[3] * thetaPowers[3]);
  }
  return sum;
}

void SkyDistribution(const SkyModel& sky, const float* direction, float& Y, float& rx,
                     float& ry) {
  const float theta = SafeAcos(direction[2]);
  const float phi = std::fabs(theta) < 1e-5f ? 0.0f : std::atan2(direction[1], direction[0]);
  const float cosGamma = std::cos(sky.sunPhi - phi) * std::sin(sky.sunTheta) * std::sin(theta) +
                         sky.sunCosTheta * std::cos(theta);
  const float gamma = SafeAcos(cosGamma);

  const float* p = sky.perezY;
  const float horizon = 1.0f - std::fabs(2.0f * theta / kPi);
  Y = p[0] + Gaussian(p[2], gamma, p[1]) + Gaussian(p[4], horizon, p[3]);

  rx = PerezRatio(sky, sky.perezX, direction[2], gamma, cosGamma);
  ry = PerezRatio(sky, sky.perezYc, direction[2], gamma, cosGamma);
}

void PerezEvaluate(SkyModel& sky, float* direction, const float* matrix, float* rgb) {
  if (direction[2] < 0.0f) {
    rgb[0] = rgb[1] = rgb[2] = 0.0f;
  } else {
    if (direction[2] < kMinSkyZ) direction[2] = kMinSkyZ;
    float Y, rx, ry;
    SkyDistribution(sky, direction, Y, rx, ry);
    YxyToRgb(Y, rx * sky.zenithX, ry * sky.zenithY, matrix, rgb[0], rgb[1], rgb[2]);
  }
  for (int k = 0; k < 3; ++k) sky.colourSum[k] += rgb[k];
  ++sky.colourCount;
}

void BuildSkyMap(SkyModel& sky, const float* sunDirection, float T, const float* domeMatrix,
                 const float* skyMatrix, const float* sunMatrix) {
  // 1. The sun's angles, from the direction towards it.
  const float d[3] = {-sunDirection[0], -sunDirection[1], -sunDirection[2]};
  sky.sunTheta = SafeAcos(d[2]);
  sky.sunPhi = std::fabs(sky.sunTheta) < 1e-5f ? 0.0f : std::atan2(d[1], d[0]);
  sky.sunCosTheta = d[2];
  const float s = SunHeight(sky);

  // 2, 3. Rows and zenith chromaticity.
  PerezCoefficientsY(sky, T, sky.perezY);
  PerezCoefficientsX(T, sky.perezX);
  PerezCoefficientsYc(T, sky.perezYc);
  const float tPowers[3] = {T * T, T, 1.0f};
  const float th = sky.sunTheta;
  const float thetaPowers[4] = {th * th * th, th * th, th, 1.0f};
  sky.zenithX = ZenithPolynomial(tPowers, kZenithX, thetaPowers);
  sky.zenithY = ZenithPolynomial(tPowers, kZenithY, thetaPowers);

  // 4, 5. The sunlight: the sky colour towards the sun.
  float towardsSun[3] = {d[0], d[1], d[2]};
  float sun[3];
  PerezEvaluate(sky, towardsSun, domeMatrix, sun);
  gKernelTable.KernelTransformPoint(SunLightColour, sunMatrix, sun);
  SunLightScale = 1.0f;
  sky.colourSum[0] = sky.colourSum[1] = sky.colourSum[2] = 0.0f;
  sky.colourCount = 0;

  // 6. The upper half of the four side faces and all of face 5 are evaluated, the lower half
  // mirrored; face 4 mirrors face 5.
  const std::uint32_t N = 1u << sky.cube.faces[0].log2Width;
  const std::uint32_t h = N / 2;
  for (std::uint32_t j = 0; j < N; ++j)
    for (std::uint32_t i = 0; i < h; ++i) EvaluateTexel(sky, 1, i, j, N - 1 - i, j, domeMatrix);
  for (std::uint32_t j = 0; j < N; ++j)
    for (std::uint32_t i = h; i < N; ++i) EvaluateTexel(sky, 0, i, j, N - 1 - i, j, domeMatrix);
  for (std::uint32_t j = 0; j < h; ++j)
    for (std::uint32_t i = 0; i < N; ++i) EvaluateTexel(sky, 2, i, j, i, N - 1 - j, domeMatrix);
  for (std::uint32_t j = h; j < N; ++j)
    for (std::uint32_t i = 0; i < N; ++i) EvaluateTexel(sky, 3, i, j, i, N - 1 - j, domeMatrix);
  for (std::uint32_t j = 0; j < N; ++j)
    for (std::uint32_t i = 0; i < N; ++i) {
      float dir[3];
      CubeTexelDirection(sky, 5, i, j, dir);
      PerezEvaluate(sky, dir, domeMatrix, Texel(sky, 5, i, j));
    }
  const std::uint32_t level = sky.cube.faces[4].log2Width;
  const auto* t = static_cast<const float*>(FaceDirectionTexels[level].data);
  for (std::uint32_t j = 0; j < N; ++j)
    for (std::uint32_t i = 0; i < N; ++i) {
      const float e2 = t[((j << level) + i) * 3 + 2];
      FadeToGrey(Texel(sky, 5, N - 1 - i, j), (1.0f - e2) * (1.0f - e2), Texel(sky, 4, i, j));
    }

  // 7. The ambient colour: the mean of the evaluated colours.
  const float n = static_cast<float>(sky.colourCount);
  const float mean[3] = {sky.colourSum[0] / n, sky.colourSum[1] / n, sky.colourSum[2] / n};
  gKernelTable.KernelTransformPoint(SkyAmbientColour, skyMatrix, mean);

  // 8. A sun below the horizon (s > 1) gives no ambient light rather than a negative one.
  const float s2 = s * s;
  SkyAmbientScale = (1.0f - s2 * s2 * s) * 0.4f;
  if (SkyAmbientScale < 0.0f) SkyAmbientScale = 0.0f;

  // 9, 10. The sunlight loses what the sky adds as ambient light; then both are clamped.
  for (int k = 0; k < 3; ++k) {
    const float v = SunLightColour[k] - SkyAmbientColour[k] / SunLightScale * SkyAmbientScale;
    SunLightColour[k] = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    const float a = SkyAmbientColour[k];
    SkyAmbientColour[k] = a < 0.0f ? 0.0f : (a > 1.0f ? 1.0f : a);
  }
  sky.cube.state.dirty = 1;
}

}  // namespace veskor
