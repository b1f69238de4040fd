#include "environment/noise_lattice_lookup.h"

#include "mapengine/noise_generator.h"

namespace veskor {

float NoiseLatticeLookup(std::uint32_t px, std::uint32_t py, float x, float y) {
  const float X = static_cast<float>(1u << px) * x;
  const float Y = static_cast<float>(1u << py) * y;
  const std::int32_t ix = NoiseFloorTol(X);
  const std::int32_t iy = NoiseFloorTol(Y);
  const float fx = X - static_cast<float>(ix);
  const float fy = Y - static_cast<float>(iy);
  const float sx = (3.0f - 2.0f * fx) * fx * fx;
  const float sy = (3.0f - 2.0f * fy) * fy * fy;

  const std::uint32_t mx = (1u << px) - 1, my = (1u << py) - 1;
  const auto ux = static_cast<std::uint32_t>(ix), uy = static_cast<std::uint32_t>(iy);
  const std::uint32_t x0 = ux & mx, x1 = (ux + 1) & mx;
  const std::uint32_t y0 = uy & my, y1 = (uy + 1) & my;
  const std::uint8_t* P = gNoisePermutation;
  const std::uint32_t p0 = P[y0 & 255], p1 = P[y1 & 255];
  const std::uint32_t h00 = P[(x0 + p0) & 255], h10 = P[(x1 + p0) & 255];
  const std::uint32_t h01 = P[(x0 + p1) & 255], h11 = P[(x1 + p1) & 255];

  const float* gx = gNoiseGradients2DX;
  const float* gy = gNoiseGradients2DY;
  const float c00 = gx[h00] * fx + gy[h00] * fy;
  const float c10 = gx[h10] * (fx - 1.0f) + gy[h10] * fy;
  const float c01 = gx[h01] * fx + gy[h01] * (fy - 1.0f);
  const float c11 = gx[h11] * (fx - 1.0f) + gy[h11] * (fy - 1.0f);
  const float l0 = c00 + (c10 - c00) * sx;
  const float l1 = c01 + (c11 - c01) * sx;
  return l0 + (l1 - l0) * sy;
}

}  // namespace veskor
