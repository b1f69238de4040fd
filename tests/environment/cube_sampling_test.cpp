// Reading the puff cubes on the CPU: the bilinear face sample against values worked out by
// hand, the lookup of every texel-centre direction back to its texel, and the surface normal
// of a round puff against its radial direction.
#include "environment/cube_sampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "environment/environment_reference.h"
#include "gfx/face_directions.h"
#include "mapengine/kernel_table.h"
#include "puff_layer.h"

namespace veskor {
namespace {

// A face of 4 x 2 texels of two channels: (x + 10 y, 100 - x).
struct TestFace {
  TexturePixels face{};
  TestFace() {
    TexturePixelsResizeFloat(face, 2, 2, 1);
    auto* t = static_cast<float*>(face.data);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x)
        t[(y * 4 + x) * 2] = x + 10.0f * y, t[(y * 4 + x) * 2 + 1] = 100.0f - x;
  }
  ~TestFace() { TexturePixelsRelease(face); }
};

// Expected: the texel coordinates (x, y) the sample lands on, blended linearly.
TEST(SampleFaceBilinear, CentresBetweenAndClampedEdges) {
  const TestFace f;
  const struct {
    float u, v, x, y;
  } cases[] = {
      {0.125f, 0.25f, 0, 0},   {0.375f, 0.25f, 1, 0},    {0.875f, 0.75f, 3, 1},  // centres
      {0.25f, 0.25f, 0.5f, 0}, {0.5f, 0.5f, 1.5f, 0.5f}, {0.4375f, 0.625f, 1.25f, 0.75f},
      {0.0f, 0.0f, 0, 0},      {0.1f, 0.25f, 0, 0},      {-3.0f, 2.0f, 0, 1},  // clamped
      {1.0f, 1.0f, 3, 1},      {0.99f, 0.5f, 3, 0.5f},   {NAN, NAN, 0, 0},
  };
  for (const auto& c : cases) {
    float out[2];
    SampleFaceBilinear(f.face, c.u, c.v, out);
    EXPECT_NEAR(out[0], c.x + 10 * c.y, 1e-5f) << c.u << ", " << c.v;
    EXPECT_NEAR(out[1], 100 - c.x, 1e-5f) << c.u << ", " << c.v;
  }
}

// Every texel-centre direction of every face at every cube level finds its texel, at its
// centre; ties between axes go to x, then y.
TEST(CubeLookup, EveryTexelCentreFindsItsTexel) {
  for (std::uint32_t level = 0; level <= 6; ++level) {
    const std::uint32_t n = 1u << level;
    for (std::uint32_t face = 0; face < 6; ++face)
      for (std::uint32_t j = 0; j < n; ++j)
        for (std::uint32_t i = 0; i < n; ++i) {
          double d[3];
          test::FaceDirectionRef(level, face, i, j, d);
          const float q[3] = {static_cast<float>(3 * d[0]), static_cast<float>(3 * d[1]),
                              static_cast<float>(3 * d[2])};
          float u, v;
          ASSERT_EQ(CubeLookup(q, &u, &v), face) << level << " " << i << " " << j;
          ASSERT_NEAR(u * n, i + 0.5f, 1e-3f) << level << " face " << face;
          ASSERT_NEAR(v * n, j + 0.5f, 1e-3f) << level << " face " << face;
        }
  }
  const struct {
    float q[3];
    std::uint32_t face;
  } ties[] = {
      {{1, 1, 1}, 1}, {{-1, 1, -1}, 0}, {{0, -1, 1}, 2}, {{0.5f, 1, 1}, 3}, {{0, 0, -1}, 4}};
  for (const auto& t : ties) {
    float u, v;
    EXPECT_EQ(CubeLookup(t.q, &u, &v), t.face);
  }
}

// On a sphere (radius = half height, one scale) the normal over a texel is the direction of
// its centre, outwards on every face; on any shape the normals from a face's corner points
// are the same.
TEST(CubeSurfaceNormal, RoundPuffNormalsPointOutAlongTheTexel) {
  auto state = std::make_unique<EnvironmentState>();
  const float centre[3] = {0, 0, 0};
  PuffCubePair& pair = *test::AddConstantPuff(state->cloudLow, centre, 50.0f, 50.0f, 0.8f, 3).cubes;
  float points[81 * 3];
  for (const bool round : {true, false}) {
    for (std::uint32_t face = 0; face < 6; ++face) {
      CubeCornerPoints(pair, face, points);
      for (std::uint32_t t = 0; t < 64; ++t) {
        double d[3];
        test::FaceDirectionRef(3, face, t % 8, t / 8, d);
        float n[3], m[3];
        CubeSurfaceNormal(pair, face, t, n);
        CornerPointsNormal(points, 3, t, m);
        for (int a = 0; a < 3; ++a) ASSERT_EQ(n[a], m[a]) << face << " " << t;
        if (!round) continue;
        // The reference: the same quad normal in double from the corners' table directions
        // (unit within kUnitLengthError, as the kernels made them), all at the one radius. The
        // kernel's is that direction, its length off by kUnitLengthError at most, its direction
        // by the float corners' rounding (2^-24 of the 50 radius over texel diagonals of 10 or
        // more). It lies within 0.032 rad of the texel centre's direction: 0.028 for the
        // texel's shape, and up to 10 E for corners off by E in length over 0.2 rad edges.
        double c[4][3], e[3], f[3], ref[3];
        for (std::uint32_t k = 0; k < 4; ++k)
          test::FaceCornerRef(3, face, t % 8 + k % 2, t / 8 + k / 2, c[k]);
        for (int a = 0; a < 3; ++a) e[a] = c[2][a] - c[1][a], f[a] = c[3][a] - c[0][a];
        const double r[3] = {e[1] * f[2] - e[2] * f[1], e[2] * f[0] - e[0] * f[2],
                             e[0] * f[1] - e[1] * f[0]};
        const double length = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
        const double dLength = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        for (int a = 0; a < 3; ++a) ref[a] = r[a] / length, d[a] /= dLength;
        EXPECT_GT(ref[0] * d[0] + ref[1] * d[1] + ref[2] * d[2], 0.9995) << face << " " << t;
        for (int a = 0; a < 3; ++a)
          EXPECT_NEAR(n[a], ref[a], kUnitLengthError * std::fabs(ref[a]) + 4e-6) << face << t;
      }
    }
    for (TexturePixels& face : pair.shapeCube.faces)
      for (std::uint32_t t = 0; t < 64; ++t)
        static_cast<float*>(face.data)[2 * t] = 0.5f + 0.01f * static_cast<float>(t % 7);
  }
  EnvironmentResetCloudLow(*state, 0.0f, centre);
}

}  // namespace
}  // namespace veskor
