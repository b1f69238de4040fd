// References of the sky and cloud tests, written out from their definitions: the world
// direction of a face direction table entry (texel or corner), and the periodic lattice noise
// of the high clouds in double precision over the noise generator's permutation and 2-D
// gradients.
#pragma once

#include <cmath>
#include <cstdint>

#include "gfx/face_directions.h"
#include "mapengine/noise_generator.h"

namespace veskor::test {

// The world direction of a direction e through the face z = 1 moved onto a cube face: faces
// 0 to 5 are -X, +X, -Y, +Y, -Z, +Z with z up.
inline void FaceMapRef(std::uint32_t face, const float* e, double* out) {
  const double e0 = e[0], e1 = e[1], e2 = e[2];
  const double dirs[6][3] = {{-e2, -e1, e0}, {e2, -e1, -e0},  {e0, -e2, -e1},
                             {e0, e2, e1},   {-e0, -e1, -e2}, {e0, -e1, e2}};
  for (int k = 0; k < 3; ++k) out[k] = dirs[face][k];
}

// The world direction of entry (i, j) of the texel table of log2 size `level` on a cube face.
inline void FaceDirectionRef(std::uint32_t level, std::uint32_t face, std::uint32_t i,
                             std::uint32_t j, double* out) {
  FaceMapRef(face,
             static_cast<const float*>(FaceDirectionTexels[level].data) + ((j << level) + i) * 3,
             out);
}

// The same for corner (i, j) of the corner table: (2^level + 1) corners a row.
inline void FaceCornerRef(std::uint32_t level, std::uint32_t face, std::uint32_t i, std::uint32_t j,
                          double* out) {
  FaceMapRef(face, FaceDirectionCorners[level].data + (j * ((1u << level) + 1) + i) * 3, out);
}

inline double LatticeNoiseRef(std::uint32_t px, std::uint32_t py, double x, double y) {
  auto cell = [](double v, std::int64_t& i, double& f) {
    i = static_cast<std::int64_t>(std::trunc(v));
    if (v < 0 && static_cast<double>(i) - v > 1e-5) --i;
    f = v - static_cast<double>(i);
  };
  std::int64_t ix, iy;
  double fx, fy;
  cell(std::ldexp(x, static_cast<int>(px)), ix, fx);
  cell(std::ldexp(y, static_cast<int>(py)), iy, fy);
  const double sx = (3 - 2 * fx) * fx * fx, sy = (3 - 2 * fy) * fy * fy;
  const std::int64_t mx = (std::int64_t{1} << px) - 1, my = (std::int64_t{1} << py) - 1;
  const std::int64_t x0 = ix & mx, x1 = (ix + 1) & mx, y0 = iy & my, y1 = (iy + 1) & my;
  auto P = [](std::int64_t n) { return std::int64_t{gNoisePermutation[n & 255]}; };
  auto corner = [&](std::int64_t cx, std::int64_t cy, double dx, double dy) {
    const std::int64_t h = P(cx + P(cy));
    return gNoiseGradients2DX[h] * dx + gNoiseGradients2DY[h] * dy;
  };
  const double c00 = corner(x0, y0, fx, fy), c10 = corner(x1, y0, fx - 1, fy);
  const double c01 = corner(x0, y1, fx, fy - 1), c11 = corner(x1, y1, fx - 1, fy - 1);
  const double l0 = c00 + (c10 - c00) * sx, l1 = c01 + (c11 - c01) * sx;
  return l0 + (l1 - l0) * sy;
}

}  // namespace veskor::test
