#include "mapengine/rotation_cache.h"

#include <cmath>

namespace veskor {

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

// The exact pairs of the quarter angles; other angles are computed in double precision.
void CosSin(float degrees, float& cs, float& sn) {
  const double a = degrees;
  if (std::fabs(a) < 1e-5) {
    cs = 1.0f, sn = 0.0f;
  } else if (std::fabs(a - 90.0) < 1e-5) {
    cs = 0.0f, sn = 1.0f;
  } else if (std::fabs(a - 180.0) < 1e-5) {
    cs = -1.0f, sn = 0.0f;
  } else if (std::fabs(a - 270.0) < 1e-5) {
    cs = 0.0f, sn = -1.0f;
  } else if (std::fabs(a + 90.0) <= 5e-4) {
    cs = 0.0f, sn = -1.0f;
  } else {
    const double radians = a * static_cast<double>(kDegreesToRadians);
    cs = static_cast<float>(std::cos(radians));
    sn = static_cast<float>(std::sin(radians));
  }
}

}  // namespace

const float* RotationCacheGet(RotationCache& cache) {
  if (cache.dirty != 0) RotationCacheRebuild(cache);
  return cache.matrix;
}

void RotationCacheRebuild(RotationCache& cache) {
  cache.dirty = 0;
  cache.changed = 0;
  float cs, sn;
  CosSin(cache.angle, cs, sn);
  const float x = cache.axis[0], y = cache.axis[1], z = cache.axis[2];
  const float k = 1.0f - cs;
  const float r[3][3] = {
      {cs + x * x * k, x * y * k - z * sn, x * z * k + y * sn},
      {x * y * k + z * sn, cs + y * y * k, y * z * k - x * sn},
      {x * z * k - y * sn, y * z * k + x * sn, cs + z * z * k},
  };
  float* m = cache.matrix;
  for (int col = 0; col < 3; ++col) {
    for (int row = 0; row < 3; ++row) m[4 * col + row] = cache.scale[row] * r[row][col];
    m[4 * col + 3] = 0.0f;
  }
  m[12] = cache.translation[0];
  m[13] = cache.translation[1];
  m[14] = cache.translation[2];
  m[15] = 1.0f;
}

}  // namespace veskor
