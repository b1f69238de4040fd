// The puffs from frame to frame: the wrap of the drift into the layer's box at both bounds and
// from both sides, the slab tests' parallel limit, and the ray query through round puffs whose
// cloud the test measures as the chord of the ray through the sphere.
#include "environment/puff_ray_query.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "puff_layer.h"

namespace veskor {
namespace {

class PuffLayerTest : public ::testing::Test {
 protected:
  void TearDown() override { EnvironmentResetCloudLow(*state, 0.0f, kNoWind); }
  CloudLowLayer& layer() { return state->cloudLow; }
  std::unique_ptr<EnvironmentState> state = std::make_unique<EnvironmentState>();
  static constexpr float kNoWind[2] = {0, 0};
};

TEST_F(PuffLayerTest, DriftWrapsIntoTheBoxAtBothBounds) {
  const float origin[3] = {0, 0, 50};
  test::AddConstantPuff(layer(), origin, 10, 5, 1);
  test::SetLayerBox(layer(), -100, 100, -300, 100);  // z: 45 .. 55
  const struct {
    float x, wantX;
  } cases[] = {
      {99.99f, 99.99f},     {100.0f, -100.0f},  {100.01f, -99.99f},      // the upper bound
      {-100.0f, -100.0f},   {-99.99f, -99.99f}, {-100.001f, -100.001f},  // within 1e-5 widths
      {-100.003f, 99.997f}, {300.0f, -100.0f},  {-300.0f, -100.0f},     {-501.0f, 99.0f},
  };
  for (const auto& c : cases) {
    SetCloudLowParams(layer(), c.x, -260.0f, 6.0f);
    UpdatePuffBounds(layer());
    const CloudPuff& p = layer().puffs[0];
    EXPECT_NEAR(p.centre[0], c.wantX, 2e-4f) << c.x;
    EXPECT_NEAR(p.centre[1], -260.0f, 1e-4f);  // inside: unchanged
    EXPECT_NEAR(p.centre[2], 46.0f, 1e-4f);    // 56 wraps to 46
    const float want[6] = {c.wantX - 10, c.wantX + 10, -270, -250, 41, 51};
    for (int a = 0; a < 6; ++a) {
      EXPECT_NEAR(p.bounds[a], want[a], 2e-4f) << c.x << " bound " << a;
      EXPECT_EQ(layer().clusters[0].bounds[a], p.bounds[a]);
    }
    EXPECT_NEAR(layer().clusters[0].centre[0], c.wantX, 2e-4f);
  }
  // Positions come from the base each time: the same drift gives the same place.
  SetCloudLowParams(layer(), 0, 0, 0);
  UpdatePuffBounds(layer());
  EXPECT_EQ(layer().puffs[0].centre[0], 0.0f);
  EXPECT_EQ(layer().puffs[0].base[0], 0.0f);
}

TEST_F(PuffLayerTest, ClusterBoundsJoinTheirPuffs) {
  const float a[3] = {0, 0, 0}, b[3] = {30, -20, 4};
  test::AddConstantPuff(layer(), a, 10, 5, 1);
  CloudCluster& cluster = layer().clusters[0];
  cluster.puffs[1] = &test::AddConstantPuff(layer(), b, 6, 3, 1);
  cluster.puffCount = 2;
  layer().clusterCount = 1;
  test::SetLayerBox(layer(), -1000, 1000, -1000, 1000);
  UpdatePuffBounds(layer());
  const float want[6] = {-10, 36, -26, 10, -5, 7};
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(cluster.bounds[k], want[k], 1e-3f) << k;
  EXPECT_NEAR(cluster.centre[0], 13.0f, 1e-3f);
  EXPECT_NEAR(cluster.centre[2], 1.0f, 1e-3f);
}

TEST(RaySlab, ParallelRaysPassOnlyWithinTheSlab) {
  const float o[3] = {5, 0, 0};
  const struct {
    float dx, lo, hi;
    std::uint32_t hit;
    float tLo, tHi;
  } cases[] = {
      {0.0005f, 0, 10, 1, -1e35f, 1e35f}, {-0.0005f, 6, 10, 0, -1e35f, 1e35f},
      {0.0f, 5, 5, 1, -1e35f, 1e35f},     {0.00051f, 6, 10, 1, 1960.7843f, 9803.922f},
      {-0.5f, 6, 10, 1, -10, -2},
  };
  for (const auto& c : cases) {
    const float d[3] = {c.dx, c.dx, c.dx};
    float tLo, tHi;
    for (auto slab : {RaySlabX, RaySlabY, RaySlabZ}) {
      const float origin[3] = {slab == RaySlabX ? o[0] : 0, slab == RaySlabY ? o[0] : 0,
                               slab == RaySlabZ ? o[0] : 0};
      EXPECT_EQ(slab(origin, d, c.lo, c.hi, &tLo, &tHi), c.hit) << c.dx;
      EXPECT_NEAR(tLo, c.tLo, std::fabs(c.tLo) * 1e-5f) << c.dx;
      EXPECT_NEAR(tHi, c.tHi, std::fabs(c.tHi) * 1e-5f) << c.dx;
    }
  }
  EXPECT_EQ(IntervalOverlap(0, 1, 1, 2), 1u);
  EXPECT_EQ(IntervalOverlap(0, 4, 1, 2), 1u);
  EXPECT_EQ(IntervalOverlap(1, 2, 0, 4), 1u);
  EXPECT_EQ(IntervalOverlap(0, 0.999f, 1, 2), 0u);
  EXPECT_EQ(IntervalOverlap(2.001f, 3, 1, 2), 0u);
}

// Spheres of radius 100 (one scale everywhere) on the ray from the origin along u, at distance
// `at` and `offset` to the side: the cloud is the chord, to within the walk's step at each end.
TEST_F(PuffLayerTest, RayQueryMeasuresTheChordWithinTheStep) {
  const float ux[3] = {0, 1, 0}, uy[3] = {0.6f, 0.8f, 0}, uz[3] = {0.48f, 0.6f, 0.64f};
  const struct {
    const float* u;
    float at, offset;
    double chord;
  } cases[] = {
      {ux, 500, 0, 200},   {ux, 500, 60, 160}, {uy, 900, 99, 28.21}, {uz, 700, 30, 190.79},
      {uz, 700, 101, 0},   {ux, -500, 0, 0},   {ux, 50, 0, 150},     {ux, 10200, 0, 0},
      {uz, 10000, 0, 100}, {uy, 9899, 0, 200}, {ux, 10099, 0, 1},
  };
  Camera camera;
  camera.position[0] = 100, camera.position[1] = -200, camera.position[2] = 50;
  for (const auto& c : cases) {
    EnvironmentResetCloudLow(*state, 0.0f, kNoWind);
    // A side vector perpendicular to u.
    const float side[3] = {c.u[1], -c.u[0], 0};
    const float n = std::hypot(side[0], side[1]);
    float centre[3];
    for (int a = 0; a < 3; ++a)
      centre[a] = camera.position[a] + c.at * c.u[a] + c.offset * side[a] / n;
    test::AddConstantPuff(layer(), centre, 100, 100, 1, 4, 0.4f);
    const float light[3] = {-c.u[0], -c.u[1], -c.u[2]};
    const float cloud = RayQueryPuffs(layer(), camera, light) / (0.25f * 0.4f);
    EXPECT_LE(cloud, c.chord + 1e-3) << c.at << " " << c.offset;
    EXPECT_GE(cloud, c.chord - 2.0) << c.at << " " << c.offset;
  }
}

// Two puffs of one cluster give the span from the first entry to the last exit; clusters add
// up, each by its opacity factor.
TEST_F(PuffLayerTest, RayQuerySpansAClusterAndAddsClusters) {
  const float a[3] = {0, 300, 0}, b[3] = {0, 420, 0}, c[3] = {0, 1000, 0};
  test::AddConstantPuff(layer(), a, 100, 100, 1, 4, 0.5f);
  CloudCluster& first = layer().clusters[0];
  first.puffs[1] = &test::AddConstantPuff(layer(), b, 50, 50, 1, 4, 0.5f);
  first.puffCount = 2;
  layer().clusterCount = 1;
  ClusterBounds(first);
  test::AddConstantPuff(layer(), c, 100, 100, 0.5f, 4, 0.2f);
  Camera camera;
  camera.position[0] = camera.position[1] = camera.position[2] = 0;
  const float light[3] = {0, -1, 0};
  const double want = 0.25 * ((470 - 200) * 0.5 + 100 * 0.2);
  const float got = RayQueryPuffs(layer(), camera, light);
  EXPECT_LE(got, want + 1e-3);
  EXPECT_GE(got, want - 0.25 * (2 * 0.5 + 2 * 0.2));
  // A walk that finds no inside point (a shape of scale 0) adds nothing.
  for (TexturePixels& face : layer().puffs[2].cubes->shapeCube.faces)
    for (std::uint32_t i = 0; i < 256; ++i) static_cast<float*>(face.data)[2 * i] = 0;
  EXPECT_NEAR(RayQueryPuffs(layer(), camera, light), 0.25 * (470 - 200) * 0.5, 0.25);
}

}  // namespace
}  // namespace veskor
