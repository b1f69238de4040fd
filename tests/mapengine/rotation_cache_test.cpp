#include "mapengine/rotation_cache.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace veskor {
namespace {

using M = std::vector<float>;
const M kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

M Get(RotationCache& cache) {
  const float* m = RotationCacheGet(cache);
  return M(m, m + 16);
}
// The cache with `angle` about z, marked dirty.
RotationCache About(float angle) {
  RotationCache cache;
  cache.angle = angle;
  cache.dirty = 1;
  return cache;
}

TEST(RotationCache, AFreshCacheReturnsTheIdentityWithoutRebuilding) {
  RotationCache cache;
  EXPECT_EQ(Get(cache), kIdentity);
  EXPECT_EQ(cache.changed, 1u);  // not rebuilt
  EXPECT_EQ(RotationCacheGet(cache), cache.matrix);
}

TEST(RotationCache, QuarterAnglesGiveExactEntriesAndOthersAreComputed) {
  const struct {
    float angle, cs, sn;
  } exact[] = {{90, 0, 1},        {90.000005f, 0, 1}, {180, -1, 0},     {270, 0, -1},
               {0.000001f, 1, 0}, {-90, 0, -1},       {-90.0004f, 0, -1}};
  for (const auto& c : exact) {
    RotationCache cache = About(c.angle);
    // About z: column 0 = (cos, sin, 0), column 1 = (-sin, cos, 0).
    EXPECT_EQ(Get(cache), (M{c.cs, c.sn, 0, 0, -c.sn, c.cs, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    EXPECT_TRUE(cache.dirty == 0 && cache.changed == 0);
  }
  // 360 is not among the exact angles: its sine comes out as a tiny value, not 0.
  for (float angle : {-90.001f, 360.0f, 30.0f, 89.99f}) {
    RotationCache cache = About(angle);
    const M m = Get(cache);
    const double r = angle * double{0.017453292f};
    EXPECT_EQ(m[0], static_cast<float>(std::cos(r))) << angle;
    EXPECT_EQ(m[1], static_cast<float>(std::sin(r))) << angle;
    EXPECT_NE(m[1], 0.0f);
  }
}

TEST(RotationCache, MatrixScalesTheRotationThenTranslates) {
  RotationCache cache = About(90);
  const float axis[3] = {1, 0, 0}, scale[3] = {2, 3, 4}, translation[3] = {5, 6, 7};
  std::copy(axis, axis + 3, cache.axis);
  std::copy(scale, scale + 3, cache.scale);
  std::copy(translation, translation + 3, cache.translation);
  // R about x by 90: y -> z, z -> -y. Row r of R scaled by scale[r].
  EXPECT_EQ(Get(cache), (M{2, 0, 0, 0, 0, 0, 4, 0, 0, -3, 0, 0, 5, 6, 7, 1}));

  // A general axis: R is orthonormal for a unit axis, and the axis itself stays put.
  RotationCache general = About(47);
  const float inv = 1.0f / std::sqrt(3.0f);
  general.axis[0] = general.axis[1] = general.axis[2] = inv;
  const M m = Get(general);
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 3; ++b) {
      double dot = 0;
      for (int r = 0; r < 3; ++r) dot += double{m[4 * a + r]} * m[4 * b + r];
      EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, 1e-6);
    }
    EXPECT_NEAR(m[a] * inv + m[4 + a] * inv + m[8 + a] * inv, inv, 1e-6);
  }
}

TEST(RotationCache, ChangesWithoutTheDirtyFlagAreNotSeen) {
  RotationCache cache;
  cache.angle = 90;
  cache.translation[0] = 3;
  EXPECT_EQ(Get(cache), kIdentity);
  cache.dirty = 1;
  EXPECT_EQ(Get(cache)[12], 3.0f);
}

}  // namespace
}  // namespace veskor
