// The scalar noise evaluators. The four-point SSE evaluator (noise_quad_sse.h) does the same
// operations in the same order, so the two differ only by their floor and their rounding.
#include "mapengine/noise_generator.h"

namespace veskor {

namespace {

constexpr float kCells = static_cast<float>(kNoiseLatticeCells);

// S(f) = (3 - 2f) f^2.
inline float Fade(float f) { return (3.0f - 2.0f * f) * (f * f); }

inline float Lerp(float a, float b, float t) { return a + t * (b - a); }

inline std::uint32_t CornerBase(std::uint32_t i, std::uint32_t j) {
  return (i & kNoiseLatticeMask) + kNoiseLatticeRow * (j & kNoiseLatticeMask);
}

// One slice of the 3-D noise: the four corners of cell c of the gradient plane, dotted with
// their offsets, interpolated along x then y.
inline float Slice3D(std::uint32_t c, float fx, float fy, float fz, float sx, float sy) {
  const float* gx = gNoiseLattice3DX.data + c;
  const float* gy = gNoiseLattice3DY.data + c;
  const float* gz = gNoiseLattice3DZ.data + c;
  constexpr std::uint32_t r = kNoiseLatticeRow;
  const float fx1 = fx - 1.0f, fy1 = fy - 1.0f;
  const float q00 = gx[0] * fx + gy[0] * fy + gz[0] * fz;
  const float q10 = gx[1] * fx1 + gy[1] * fy + gz[1] * fz;
  const float q01 = gx[r] * fx + gy[r] * fy1 + gz[r] * fz;
  const float q11 = gx[r + 1] * fx1 + gy[r + 1] * fy1 + gz[r + 1] * fz;
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
  const std::uint32_t c =
      CornerBase(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j));
  const float* gx = gNoiseLattice2DX.data + c;
  const float* gy = gNoiseLattice2DY.data + c;
  constexpr std::uint32_t r = kNoiseLatticeRow;
  const float fx1 = fx - 1.0f, fy1 = fy - 1.0f;
  const float q00 = gx[0] * fx + gy[0] * fy;
  const float q10 = gx[1] * fx1 + gy[1] * fy;
  const float q01 = gx[r] * fx + gy[r] * fy1;
  const float q11 = gx[r + 1] * fx1 + gy[r + 1] * fy1;
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
  const std::uint32_t c0 = CornerBase(ui + (gNoisePermutation[uk & 255u] >> 1),
                                      uj + (gNoisePermutation[(2u * uk) & 255u] >> 1));
  const std::uint32_t c1 = CornerBase(ui + (gNoisePermutation[(uk + 1u) & 255u] >> 1),
                                      uj + (gNoisePermutation[(2u * uk + 2u) & 255u] >> 1));
  const float sx = Fade(fx), sy = Fade(fy);
  const float w0 = Slice3D(c0, fx, fy, fz, sx, sy);
  const float w1 = Slice3D(c1, fx, fy, fz - 1.0f, sx, sy);
  return Lerp(w0, w1, Fade(fz));
}

void NoiseCorners2D(std::int32_t i, std::int32_t j, float* gx, float* gy) {
  const std::uint32_t c = CornerBase(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j));
  const std::uint32_t at[4] = {c, c + 1, c + kNoiseLatticeRow, c + kNoiseLatticeRow + 1};
  for (int n = 0; n < 4; ++n) {
    gx[n] = gNoiseLattice2DX.data[at[n]];
    gy[n] = gNoiseLattice2DY.data[at[n]];
  }
}

void NoiseCorners3D(std::int32_t i, std::int32_t j, float* gx, float* gy, float* gz) {
  const std::uint32_t c = CornerBase(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j));
  const std::uint32_t at[4] = {c, c + 1, c + kNoiseLatticeRow, c + kNoiseLatticeRow + 1};
  for (int n = 0; n < 4; ++n) {
    gx[n] = gNoiseLattice3DX.data[at[n]];
    gy[n] = gNoiseLattice3DY.data[at[n]];
    gz[n] = gNoiseLattice3DZ.data[at[n]];
  }
}

}  // namespace veskor
