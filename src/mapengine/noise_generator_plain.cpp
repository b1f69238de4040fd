// The scalar noise evaluators. The four-point SSE evaluator (noise_quad_sse.h) does the same
// operations in the same order, so the two differ only by their floor and their rounding.
#include "mapengine/noise_generator.h"

namespace veskor {

namespace {

constexpr float kCells = static_cast<float>(kNoiseLatticeCells);

// S(f) = (3 - 2f) f^2.
inline float Fade(float f) { return (3.0f - 2.0f * f) * (f * f); }

inline float Lerp(float a, float b, float t) { return a + t * (b - a); }

// One slice of the 3-D noise: the four corners of cell (i, j) of the gradient plane, dotted
// with their offsets, interpolated along x then y.
inline float Slice3D(std::uint32_t i, std::uint32_t j, float fx, float fy, float fz, float sx,
                     float sy) {
  float gx[4], gy[4], gz[4];
  NoiseCorners3D(static_cast<std::int32_t>(i), static_cast<std::int32_t>(j), gx, gy, gz);
  const float fx1 = fx - 1.0f, fy1 = fy - 1.0f;
  const float q00 = gx[0] * fx + gy[0] * fy + gz[0] * fz;
  const float q10 = gx[1] * fx1 + gy[1] * fy + gz[1] * fz;
  const float q01 = gx[2] * fx + gy[2] * fy1 + gz[2] * fz;
  const float q11 = gx[3] * fx1 + gy[3] * fy1 + gz[3] * fz;
  return Lerp(Lerp(q00, q10, sx), Lerp(q01, q11, sx), sy);
}

}  // namespace

std::int32_t NoiseFloorTol(float s) {
  // Out of range (or not a number) the conversion would be undefined: take what the
  // processor's truncating conversion gives.
  if (!(s > -2147483648.0f && s < 2147483648.0f)) return INT32_MIN;
  std::int32_t n = static_cast<std::int32_t>(s);
  if (s < 0.0f && static_cast<float>(n) - s > 1e-5f) n -= 1;
  return n;
}

float NoiseValue1D(float x) {
  const float s = x * kCells;
  const std::int32_t n = NoiseFloorTol(s);
  const float f = s - static_cast<float>(n);
  const std::uint32_t c = static_cast<std::uint32_t>(n) & kNoiseLatticeMask;
  const float* l = gNoiseLattice1D.data;
  const float a = l[c] * f;
  const float b = l[c + 1] * (f - 1.0f);
  return Lerp(a, b, Fade(f));
}

float NoiseValue2D(float x, float y) {
  const float s = x * kCells, t = y * kCells;
  const std::int32_t i = NoiseFloorTol(s), j = NoiseFloorTol(t);
  const float fx = s - static_cast<float>(i), fy = t - static_cast<float>(j);
  float gx[4], gy[4];
  NoiseCorners2D(i, j, gx, gy);
  const float fx1 = fx - 1.0f, fy1 = fy - 1.0f;
  const float q00 = gx[0] * fx + gy[0] * fy;
  const float q10 = gx[1] * fx1 + gy[1] * fy;
  const float q01 = gx[2] * fx + gy[2] * fy1;
  const float q11 = gx[3] * fx1 + gy[3] * fy1;
  const float sx = Fade(fx);
  return Lerp(Lerp(q00, q10, sx), Lerp(q01, q11, sx), Fade(fy));
}

float NoiseValue3D(float x, float y, float z) {
  const float s = x * kCells, t = y * kCells, u = z * kCells;
  const std::int32_t i = NoiseFloorTol(s), j = NoiseFloorTol(t), k = NoiseFloorTol(u);
  const float fx = s - static_cast<float>(i);
  const float fy = t - static_cast<float>(j);
  const float fz = u - static_cast<float>(k);
  const std::uint32_t ui = static_cast<std::uint32_t>(i), uj = static_cast<std::uint32_t>(j);
  const std::uint32_t uk = static_cast<std::uint32_t>(k);
  // Slice k is the plane shifted by (P[k] >> 1, P[2k] >> 1), slice k + 1 by its own shift.
  const std::uint32_t i0 = ui + (gNoisePermutation[uk & 255u] >> 1);
  const std::uint32_t j0 = uj + (gNoisePermutation[(2u * uk) & 255u] >> 1);
  const std::uint32_t i1 = ui + (gNoisePermutation[(uk + 1u) & 255u] >> 1);
  const std::uint32_t j1 = uj + (gNoisePermutation[(2u * uk + 2u) & 255u] >> 1);
  const float sx = Fade(fx), sy = Fade(fy);
  const float w0 = Slice3D(i0, j0, fx, fy, fz, sx, sy);
  const float w1 = Slice3D(i1, j1, fx, fy, fz - 1.0f, sx, sy);
  return Lerp(w0, w1, Fade(fz));
}

}  // namespace veskor
