#include "environment/cube_sampling.h"

#include <cmath>

#include "environment/sky_model.h"
#include "gfx/face_directions.h"
#include "mapengine/clamp_float.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

// The cell of x (texel units): truncated, one lower for a negative value whose truncation lies
// more than 1e-5 above it; the fraction beyond the cell.
std::int32_t Cell(float x, float* fraction) {
  auto cell = static_cast<std::int32_t>(x);
  if (x < 0.0f && static_cast<float>(cell) - x > 0.00001f) --cell;
  *fraction = x - static_cast<float>(cell);
  return cell;
}

}  // namespace

std::uint32_t CubeLookup(const float* q, float* u, float* v) {
  const float ax = std::fabs(q[0]), ay = std::fabs(q[1]), az = std::fabs(q[2]);
  std::uint32_t face;
  float s, t, m;
  if (ax >= ay && ax >= az) {
    face = q[0] >= 0.0f ? 1 : 0;
    s = q[0] >= 0.0f ? -q[2] : q[2];
    t = -q[1];
    m = ax;
  } else if (ay >= az) {
    face = q[1] >= 0.0f ? 3 : 2;
    s = q[0];
    t = q[1] >= 0.0f ? q[2] : -q[2];
    m = ay;
  } else {
    face = q[2] >= 0.0f ? 5 : 4;
    s = q[2] >= 0.0f ? q[0] : -q[0];
    t = -q[1];
    m = az;
  }
  *u = (s / m + 1.0f) * 0.5f;
  *v = (t / m + 1.0f) * 0.5f;
  return face;
}

void SampleFaceBilinear(const TexturePixels& face, float u, float v, float* out) {
  const std::int32_t width = 1 << face.log2Width, height = 1 << face.log2Height;
  const float x = (ClampFloat(u, 0.0f, 1.0f) - face.halfTexelWidth) * static_cast<float>(width);
  const float y = (ClampFloat(v, 0.0f, 1.0f) - face.halfTexelHeight) * static_cast<float>(height);
  float fx, fy;
  const std::int32_t x0 = Cell(x, &fx), y0 = Cell(y, &fy);
  const std::int32_t xa = x0 > 0 ? x0 : 0, xb = x0 + 1 < width ? x0 + 1 : width - 1;
  const std::int32_t ya = y0 > 0 ? y0 : 0, yb = y0 + 1 < height ? y0 + 1 : height - 1;
  const std::uint32_t channels = face.channels;
  const auto* texels = static_cast<const float*>(face.data);
  auto at = [&](std::int32_t tx, std::int32_t ty, std::uint32_t c) {
    return texels[(static_cast<std::size_t>(tx) +
                   (static_cast<std::size_t>(ty) << face.log2Width)) *
                      channels +
                  c];
  };
  for (std::uint32_t c = 0; c < channels; ++c)
    out[c] = ((1.0f - fx) * at(xa, yb, c) + fx * at(xb, yb, c)) * fy +
             ((1.0f - fx) * at(xa, ya, c) + fx * at(xb, ya, c)) * (1.0f - fy);
}

void CubeSample(const TextureCube& cube, const float* direction, float* out) {
  float u, v;
  const std::uint32_t face = CubeLookup(direction, &u, &v);
  SampleFaceBilinear(cube.faces[face], u, v, out);
}

void CubeTexelCorners(const TextureCube& cube, std::uint32_t face, std::uint32_t texel, float* c00,
                      float* c10, float* c01, float* c11) {
  const std::uint32_t level = cube.faces[face].log2Width;
  const std::uint32_t n = 1u << level;
  const std::uint32_t i = texel & (n - 1), j = texel >> level;
  const float* corners = FaceDirectionCorners[level].data;
  auto corner = [&](std::uint32_t ci, std::uint32_t cj, float* out) {
    CubeFaceDirection(face, corners + (cj * (n + 1) + ci) * 3, out);
  };
  corner(i, j, c00);
  corner(i + 1, j, c10);
  corner(i, j + 1, c01);
  corner(i + 1, j + 1, c11);
}

void CubeSurfacePoint(const PuffCubePair& pair, const float* direction, float* out) {
  float sample[4];
  CubeSample(pair.shapeCube, direction, sample);
  const float scale[3] = {pair.radius, pair.radius, pair.halfHeight};
  for (int a = 0; a < 3; ++a) out[a] = direction[a] * sample[0] * scale[a];
}

namespace {

// (p01 - p10) x (p11 - p00), normalised.
void QuadNormal(const float* p00, const float* p10, const float* p01, const float* p11,
                float* out) {
  float e[3], f[3];
  for (int a = 0; a < 3; ++a) {
    e[a] = p01[a] - p10[a];
    f[a] = p11[a] - p00[a];
  }
  out[0] = e[1] * f[2] - e[2] * f[1];
  out[1] = e[2] * f[0] - e[0] * f[2];
  out[2] = e[0] * f[1] - e[1] * f[0];
  gKernelTable.KernelNormalize3(out);
}

}  // namespace

void CubeSurfaceNormal(const PuffCubePair& pair, std::uint32_t face, std::uint32_t texel,
                       float* out) {
  float c[4][3];
  CubeTexelCorners(pair.shapeCube, face, texel, c[0], c[1], c[2], c[3]);
  float p[4][3];
  for (int k = 0; k < 4; ++k) CubeSurfacePoint(pair, c[k], p[k]);
  QuadNormal(p[0], p[1], p[2], p[3], out);
}

void CubeCornerPoints(const PuffCubePair& pair, std::uint32_t face, float* points) {
  const std::uint32_t level = pair.shapeCube.faces[face].log2Width;
  const std::uint32_t corners = ((1u << level) + 1) * ((1u << level) + 1);
  const float* table = FaceDirectionCorners[level].data;
  for (std::uint32_t k = 0; k < corners; ++k) {
    float v[3];
    CubeFaceDirection(face, table + 3 * k, v);
    CubeSurfacePoint(pair, v, points + 3 * k);
  }
}

void CornerPointsNormal(const float* points, std::uint32_t level, std::uint32_t texel, float* out) {
  const std::uint32_t n = 1u << level, row = n + 1;
  const std::uint32_t i = texel & (n - 1), j = texel >> level;
  const float* p00 = points + 3 * (j * row + i);
  QuadNormal(p00, p00 + 3, p00 + 3 * row, p00 + 3 * row + 3, out);
}

}  // namespace veskor
