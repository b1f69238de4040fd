#include "mapengine/rotation_cache.h"

#include <gtest/gtest.h>

#include <cmath>

namespace veskor {
namespace {

void ExpectMatrix(const float* m, const float (&expected)[16]) {
  for (int n = 0; n < 16; ++n) EXPECT_EQ(m[n], expected[n]) << "element " << n;
}

constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

TEST(RotationCache, AFreshCacheReturnsTheIdentityWithoutRebuilding) {
  RotationCache cache;
  EXPECT_EQ(cache.changed, 1u);
  EXPECT_EQ(cache.dirty, 0u);
  ExpectMatrix(RotationCacheGet(cache), kIdentity);
  EXPECT_EQ(cache.changed, 1u);  // not rebuilt
  EXPECT_EQ(RotationCacheGet(cache), cache.matrix);
}

TEST(RotationCache, QuarterAnglesGiveExactEntries) {
  const struct {
    float angle;
    float cs, sn;
  } cases[] = {{90, 0, 1},           {90.000005f, 0, 1}, {180, -1, 0}, {270, 0, -1},
               {0.000001f, 1, 0},    {-90, 0, -1},       {-90.0004f, 0, -1}};
  for (const auto& c : cases) {
    RotationCache cache;
    cache.angle = c.angle;
    cache.dirty = 1;
    const float* m = RotationCacheGet(cache);
    // About z: column 0 = (cos, sin, 0), column 1 = (-sin, cos, 0).
    const float expected[16] = {c.cs, c.sn, 0, 0, -c.sn, c.cs, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ExpectMatrix(m, expected);
    EXPECT_EQ(cache.dirty, 0u);
    EXPECT_EQ(cache.changed, 0u);
  }
}

TEST(RotationCache, OtherAnglesAreComputed) {
  // 360 is not among the exact angles: its sine comes out as a tiny value, not 0.
  for (float angle : {-90.001f, 360.0f, 30.0f, 89.99f}) {
    RotationCache cache;
    cache.angle = angle;
    cache.dirty = 1;
    const float* m = RotationCacheGet(cache);
    const double r = angle * double{0.017453292f};
    EXPECT_EQ(m[0], static_cast<float>(std::cos(r))) << angle;
    EXPECT_EQ(m[1], static_cast<float>(std::sin(r))) << angle;
    EXPECT_NE(m[1], 0.0f);
  }
}

TEST(RotationCache, MatrixScalesTheRotationThenTranslates) {
  RotationCache cache;
  cache.axis[0] = 1;  // about x
  cache.axis[1] = 0;
  cache.axis[2] = 0;
  cache.angle = 90;
  cache.scale[0] = 2;
  cache.scale[1] = 3;
  cache.scale[2] = 4;
  cache.translation[0] = 5;
  cache.translation[1] = 6;
  cache.translation[2] = 7;
  cache.dirty = 1;
  // R about x by 90: y -> z, z -> -y. Row r of R scaled by scale[r].
  const float expected[16] = {2, 0, 0, 0, 0, 0, 4, 0, 0, -3, 0, 0, 5, 6, 7, 1};
  ExpectMatrix(RotationCacheGet(cache), expected);

  // A general axis: R is orthonormal for a unit axis.
  RotationCache general;
  const float inv = 1.0f / std::sqrt(3.0f);
  general.axis[0] = general.axis[1] = general.axis[2] = inv;
  general.angle = 47;
  general.dirty = 1;
  const float* m = RotationCacheGet(general);
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) {
      double dot = 0;
      for (int r = 0; r < 3; ++r) dot += double{m[4 * a + r]} * m[4 * b + r];
      EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, 1e-6);
    }
  // The axis itself stays put.
  for (int r = 0; r < 3; ++r)
    EXPECT_NEAR(m[r] * inv + m[4 + r] * inv + m[8 + r] * inv, inv, 1e-6);
}

TEST(RotationCache, ChangesWithoutTheDirtyFlagAreNotSeen) {
  RotationCache cache;
  cache.angle = 90;
  cache.translation[0] = 3;
  ExpectMatrix(RotationCacheGet(cache), kIdentity);
  cache.dirty = 1;
  EXPECT_EQ(RotationCacheGet(cache)[12], 3.0f);
}

}  // namespace
}  // namespace veskor
