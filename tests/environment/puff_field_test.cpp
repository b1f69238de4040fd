// The low-cloud puff field against references written from its definition: the 3-D noise of a
// point in double precision over the lattice corners, the edge rule of the cube textures, the
// ramp formula, and the clusters of the stage replayed with an own copy of the program's
// random sequence.
#include "environment/puff_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "environment/cloud_low.h"
#include "environment/environment_params.h"
#include "environment/environment_reference.h"
#include "environment/noise_at.h"
#include "environment/puff_ray_query.h"
#include "gfx/texture_cube_blur.h"
#include "mapengine/noise_generator.h"
#include "platform/random.h"

namespace veskor {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The noise at lattice coordinates (x, y, z): the cell of each, the plane of slice z shifted by
// (P[z] / 2, P[2z] / 2), the corner gradients dotted with the offsets, blended by (3 - 2f) f^2.
double NoiseRef(double x, double y, double z) {
  const double c[3] = {std::floor(x), std::floor(y), std::floor(z)};
  const double f[3] = {x - c[0], y - c[1], z - c[2]};
  double s[3];
  for (int a = 0; a < 3; ++a) s[a] = (3 - 2 * f[a]) * f[a] * f[a];
  const auto i = static_cast<std::int64_t>(c[0]), j = static_cast<std::int64_t>(c[1]);
  const auto k = static_cast<std::int64_t>(c[2]);
  double slice[2];
  for (int dz = 0; dz < 2; ++dz) {
    const std::int64_t kk = k + dz;
    float gx[4], gy[4], gz[4];
    NoiseCorners3D(static_cast<std::int32_t>(i + gNoisePermutation[kk & 255] / 2),
                   static_cast<std::int32_t>(j + gNoisePermutation[(2 * kk) & 255] / 2), gx, gy,
                   gz);
    double q[4];
    for (int n = 0; n < 4; ++n)
      q[n] = gx[n] * (f[0] - (n & 1)) + gy[n] * (f[1] - (n >> 1)) + gz[n] * (f[2] - dz);
    const double l0 = q[0] + s[0] * (q[1] - q[0]), l1 = q[2] + s[0] * (q[3] - q[2]);
    slice[dz] = l0 + s[1] * (l1 - l0);
  }
  return slice[0] + s[2] * (slice[1] - slice[0]);
}

double NoiseAtRef(const float* p) {
  const NoiseGenerator3D& g = gNoiseGenerator.noise3D;
  const double q[3] = {(double{p[0]} * g.scaleX + g.offsetX) * 64,
                       (double{p[1]} * g.scaleY + g.offsetY) * 64,
                       (double{p[2]} * g.scaleZ + g.offsetZ) * 64};
  return NoiseRef(q[0], q[1], q[2]) * g.scaleValue + g.offsetValue;
}

TEST(NoiseAt, PlainAndSseFollowTheLatticeFormula) {
  // Lattice coordinates with the default transform; some lie within 1e-5 below a negative
  // integer, where the plain floor keeps the integer and the SSE floor steps down.
  const float points[][3] = {{0.5f, 0.25f, 0.125f},     {3.7f, -2.2f, 9.9f},
                             {-3.000005f, 1.5f, 2.25f}, {-0.999996f, -7.000001f, -12.000002f},
                             {63.9f, 64.1f, 255.7f},    {-100.3f, 50.6f, -200.9f},
                             {-5.0f, -6.0f, -7.0f}};
  NoiseGenerator3D& g = gNoiseGenerator.noise3D;
  const NoiseGenerator3D saved = g;
  for (bool transformed : {false, true}) {
    if (transformed) {
      g.scaleX = 1.0f / 32, g.scaleY = 1.0f / 16, g.offsetX = 0.3f, g.offsetY = -0.2f;
      g.offsetZ = 0.1f, g.scaleValue = 2.0f, g.offsetValue = 0.5f;
    }
    for (const float* p : points) {
      const double expected = NoiseAtRef(p);
      SCOPED_TRACE(testing::Message() << p[0] << " " << p[1] << " " << p[2] << " " << transformed);
      EXPECT_NEAR(NoiseAtPlain(p), expected, 1e-5);
      EXPECT_NEAR(NoiseAtSse(p), expected, 1e-5);
      EXPECT_NEAR(NoiseAtPlain(p), NoiseAtSse(p), 1e-5);
    }
  }
  g = saved;
}

// Texel (x, y) of step k of an edge walk over a face of N texels: start and step per walk.
void WalkTexel(int walk, int n, int k, int& x, int& y) {
  const int m = n - 1;
  const int start[8][2] = {{0, 0}, {0, 0}, {0, m}, {m, 0}, {m, 0}, {0, m}, {m, m}, {m, m}};
  const int step[8][2] = {{1, 0}, {0, 1}, {1, 0}, {0, 1}, {-1, 0}, {0, -1}, {-1, 0}, {0, -1}};
  x = start[walk][0] + k * step[walk][0];
  y = start[walk][1] + k * step[walk][1];
}

float* Texel(TextureCube& cube, int face, int x, int y) {
  const TexturePixels& p = cube.faces[face];
  return static_cast<float*>(p.data) + ((y << p.log2Width) + x) * p.channels;
}

// Every pair of the edge walks holds the same values, except at the steps that reach a corner
// of the cube, which the later edges average again.
void ExpectEdgesJoined(TextureCube& cube) {
  const int n = 1 << cube.faces[0].log2Width, channels = cube.faces[0].channels;
  for (const CubeEdge& e : CubeEdgeTable)
    for (int k = 1; k < n - 1; ++k) {
      int xa, ya, xb, yb;
      WalkTexel(e.walkA, n, k, xa, ya);
      WalkTexel(e.walkB, n, k, xb, yb);
      for (int c = 0; c < channels; ++c)
        ASSERT_EQ(Texel(cube, e.faceA, xa, ya)[c], Texel(cube, e.faceB, xb, yb)[c])
            << "faces " << int{e.faceA} << " " << int{e.faceB} << " step " << k;
    }
}

TEST(CubeEdgeAverage, AveragesStepByStepInTableOrder) {
  TextureCube cube;
  TextureCubeResize(cube, 2, 2);
  const int n = 4;
  std::vector<double> ref[6];
  for (int f = 0; f < 6; ++f)
    for (int t = 0; t < n * n * 2; ++t) {
      const float v = static_cast<float>(std::sin(1.7 * t + 11.3 * f));
      static_cast<float*>(cube.faces[f].data)[t] = v;
      ref[f].push_back(v);
    }
  // The rule on the copy: for each step, each edge in order, each channel: b = (a + b) / 2,
  // then a = b.
  for (int k = 0; k < n; ++k)
    for (const CubeEdge& e : CubeEdgeTable) {
      int xa, ya, xb, yb;
      WalkTexel(e.walkA, n, k, xa, ya);
      WalkTexel(e.walkB, n, k, xb, yb);
      for (int c = 0; c < 2; ++c) {
        double& a = ref[e.faceA][(ya * n + xa) * 2 + c];
        double& b = ref[e.faceB][(yb * n + xb) * 2 + c];
        b = (a + b) / 2;
        a = b;
      }
    }
  CubeEdgeAverage(cube);
  for (int f = 0; f < 6; ++f)
    for (int t = 0; t < n * n * 2; ++t)
      ASSERT_NEAR(static_cast<float*>(cube.faces[f].data)[t], ref[f][t], 1e-6)
          << "face " << f << " value " << t;
  ExpectEdgesJoined(cube);
}

TEST(FillShapeCube, TexelsSampleTheNoiseOnThePuffsEllipsoid) {
  PuffCubePair pair;
  InitPuffCubes(pair, 500.0f, 200.0f, 4);
  EXPECT_EQ(pair.invRadius, 1.0f / 500);
  EXPECT_EQ(pair.invHalfHeight, 1.0f / 200);
  EXPECT_EQ(pair.lightCube.faces[5].channels, 3);
  EXPECT_EQ(pair.lightCube.faces[5].log2Width, 4);
  const float position[3] = {1000.0f, -2000.0f, 1500.0f};
  const float granularity = 0.5f;
  FillShapeCube(pair, position, granularity);
  const double k = (granularity + 1.0) * 0.00256;
  for (std::uint32_t f = 0; f < 6; ++f)
    for (std::uint32_t y = 0; y < 16; ++y)
      for (std::uint32_t x = 0; x < 16; ++x) {
        const float* texel = Texel(pair.shapeCube, f, x, y);
        ASSERT_EQ(texel[1], 1.0f);
        if (x == 0 || y == 0 || x == 15 || y == 15) continue;  // averaged with a neighbour face
        double d[3];
        test::FaceDirectionRef(4, f, x, y, d);
        const double p[3] = {position[0] + d[0] * 500, position[1] + d[1] * 500,
                             position[2] + d[2] * 200};
        float p1[3], p2[3];
        for (int a = 0; a < 3; ++a) p1[a] = static_cast<float>(k * p[a]);
        for (int a = 0; a < 3; ++a) p2[a] = static_cast<float>(2 * k * p[a]);
        ASSERT_NEAR(texel[0], 0.6 + 0.22 * (NoiseAtRef(p1) + NoiseAtRef(p2)), 2e-5)
            << "face " << f << " texel " << x << " " << y;
      }
  ExpectEdgesJoined(pair.shapeCube);
  EnvironmentResetCloudLow(gEnvironmentState, 0.0f, gEnvironmentState.lowWind);  // the ramp
}

// The program's random sequence, from seed 1.
struct RefRandom {
  std::uint32_t state = 1;
  std::uint32_t Next() {
    state = state * 214013u + 2531011u;
    return (state >> 16) & 32767u;
  }
  double U() { return Next() / 32767.0; }
};

struct RefPuff {
  double c[3], radius, halfHeight;
};
struct RefCluster {
  std::uint32_t count;
  double centre[3], r, a;
  std::vector<RefPuff> puffs;
};

// The first `clusters` clusters of the stage over a layer (x0, y0) .. (x1, y1), before the
// layer wraps them.
std::vector<RefCluster> ReferenceClusters(int clusters, double coverage, double opacity, bool strat,
                                          double altitude, const double* layer) {
  RefRandom rnd;
  const int n = std::clamp(static_cast<int>(coverage * 8), 1, 7);
  const int m = std::clamp(static_cast<int>(coverage * 16), 1, 8);
  const double x0 = layer[0], y0 = layer[1], x1 = layer[2], y1 = layer[3];
  const double h = opacity * (strat ? 20 : 800), Z = 2 * h * (0.75 * opacity + 0.25);
  std::vector<RefCluster> out;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n && static_cast<int>(out.size()) < clusters; ++i) {
      RefCluster cl;
      cl.count = m + 4 * rnd.Next() / 32767;
      cl.r = 1000 + 400 * rnd.U();
      cl.centre[0] = x0 + (i + 0.5) * (x1 - x0) / n + (2 * rnd.U() - 1) * (x1 - x0) / n * 0.2;
      cl.centre[1] = y0 + (j + 0.5) * (y1 - y0) / n + (2 * rnd.U() - 1) * (y1 - y0) / n * 0.2;
      cl.centre[2] = altitude + (2 * rnd.U() - 1) * Z * 0.25;
      cl.a = 0.9 * std::atan(Z / cl.r);
      const double rho = 0.3 * rnd.U(), phi = -cl.a + 2 * cl.a * rnd.U(), th = 2 * kPi * rnd.U();
      RefPuff root;
      root.c[0] = cl.centre[0] + rho * std::cos(th) * std::cos(phi) * cl.r;
      root.c[1] = cl.centre[1] + rho * std::sin(th) * std::cos(phi) * cl.r;
      root.c[2] = cl.centre[2] + rho * std::sin(phi) * Z;
      root.radius = 0.75 * cl.r * (0.7 + 0.1 * rnd.U());
      root.halfHeight = (350 * opacity + 25) * (0.7 + 0.1 * rnd.U());
      cl.puffs.push_back(root);
      for (std::uint32_t k = 1; k < cl.count; ++k) {
        const std::uint32_t parent = k == 1 ? 0 : rnd.Next() * (k - 1) / 32767;
        const RefPuff p = cl.puffs[parent];
        const double rr = 0.8 + 0.19999999 * rnd.U(), ph = -cl.a + 2 * cl.a * rnd.U();
        const double t = 2 * kPi * rnd.U();
        RefPuff c;
        c.c[0] = p.c[0] + rr * std::cos(t) * std::cos(ph) * p.radius;
        c.c[1] = p.c[1] + rr * std::sin(t) * std::cos(ph) * p.radius;
        c.c[2] = p.c[2] + rr * std::sin(ph) * p.halfHeight;
        c.radius = p.radius * (0.85 + 0.15 * rnd.U());
        c.halfHeight = std::min(c.radius, p.halfHeight * (0.85 + 0.15 * rnd.U()));
        cl.puffs.push_back(c);
      }
      out.push_back(cl);
    }
  return out;
}

// The layer over the scene grid's box.
constexpr double kGridLayer[4] = {-16384 * 1.2, -16384 * 1.2, 16384 * 1.2, 16384 * 1.2};

class CloudLowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloudLowDetail = 0.0f;  // the smallest cubes: the stage runs quickly
  }
  void TearDown() override {
    EnvironmentResetCloudLow(*state, 0.0f, wind);
    CloudLowDetail = 1.0f;
  }
  void Generate(float coverage, float opacity, std::uint32_t cloudClass, float altitude = 1500) {
    RandomSeed(1);
    GenerateCloudLow(*state, area, altitude, wind, cloudClass, kAspectIso, coverage, opacity, 0.3f,
                     SunDirection);
  }
  std::unique_ptr<EnvironmentState> state = std::make_unique<EnvironmentState>();
  const float wind[2] = {3.0f, -4.0f};
  float area[4] = {-16384, -16384, 16384, 16384};
};

TEST_F(CloudLowTest, FirstClustersReplayTheRandomSequence) {
  for (const bool strat : {false, true}) {
    Generate(0.5f, 0.6f, strat ? kCloudStratus : kCloudCumulus);
    const std::vector<RefCluster> ref = ReferenceClusters(3, 0.5, 0.6, strat, 1500, kGridLayer);
    const CloudLowLayer& layer = state->cloudLow;
    ASSERT_EQ(layer.clusterCount, 16u);  // 4 x 4
    for (std::size_t c = 0; c < ref.size(); ++c) {
      const CloudCluster& cluster = layer.clusters[c];
      ASSERT_EQ(cluster.puffCount, ref[c].count) << "cluster " << c;
      EXPECT_NEAR(cluster.opacityFactor, 0.012 * 0.6 + 0.008, 1e-7);
      for (std::uint32_t i = 0; i < cluster.puffCount; ++i) {
        const CloudPuff& puff = *cluster.puffs[i];
        const RefPuff& r = ref[c].puffs[i];
        SCOPED_TRACE(testing::Message() << "cluster " << c << " puff " << i << " strat " << strat);
        for (int a = 0; a < 3; ++a) EXPECT_NEAR(puff.centre[a], r.c[a], 0.02);
        EXPECT_NEAR(puff.radius, r.radius, 1e-3);
        EXPECT_NEAR(puff.halfHeight, r.halfHeight, 1e-3);
        EXPECT_EQ(puff.opacityFactor, cluster.opacityFactor);
        EXPECT_EQ(puff.sunViewScale, 0.1f);
      }
    }
  }
  // The puffs lie in the layer's arrays in order, each with its own pair.
  const CloudLowLayer& layer = state->cloudLow;
  EXPECT_EQ(layer.clusters[1].puffs[0], &layer.puffs[layer.clusters[0].puffCount]);
  for (std::uint32_t i = 0; i < layer.puffCount; ++i)
    ASSERT_EQ(layer.puffs[i].cubes, &layer.puffCubes[i]);
  EXPECT_EQ(layer.puffCubeCount, layer.puffCount);
}

TEST_F(CloudLowTest, CoverageOpacityAndClassShapeTheLayer) {
  struct Case {
    float coverage, opacity;
    std::uint32_t cloudClass;
    std::uint32_t clusters, minPuffs, maxPuffs;
  };
  const Case cases[] = {
      {0.0f, 0.5f, kCloudCumulus, 1, 1, 5},     {0.124f, 0.5f, kCloudCumulus, 1, 1, 5},
      {0.125f, 0.5f, kCloudCirrus, 1, 2, 6},    {0.874f, 0.5f, kCloudCumulus, 36, 8, 12},
      {0.875f, 0.5f, kCloudCumulus, 49, 8, 12}, {1.0f, 0.0f, kCloudStratus, 49, 8, 12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "coverage " << c.coverage << " opacity " << c.opacity);
    Generate(c.coverage, c.opacity, c.cloudClass);
    const CloudLowLayer& layer = state->cloudLow;
    ASSERT_EQ(layer.clusterCount, c.clusters);
    EXPECT_EQ(state->lowAltitude, 1500.0f);
    EXPECT_EQ(state->lowWind[1], -4.0f);
    const float extent[4] = {-16384 * 1.2f, 16384 * 1.2f, -16384 * 1.2f, 16384 * 1.2f};
    for (int a = 0; a < 4; ++a) EXPECT_EQ(layer.extent[a], extent[a]);
    float bottom = 1e9f, top = -1e9f;
    std::uint32_t puffs = 0;
    for (std::uint32_t k = 0; k < layer.clusterCount; ++k) {
      const CloudCluster& cluster = layer.clusters[k];
      EXPECT_GE(cluster.puffCount, c.minPuffs);
      EXPECT_LE(cluster.puffCount, c.maxPuffs);
      puffs += cluster.puffCount;
      bottom = std::min(bottom, cluster.bounds[4]);
      top = std::max(top, cluster.bounds[5]);
      for (int a = 0; a < 3; ++a)
        EXPECT_EQ(cluster.centre[a], 0.5f * (cluster.bounds[2 * a] + cluster.bounds[2 * a + 1]));
      for (std::uint32_t i = 0; i < cluster.puffCount; ++i) {
        const CloudPuff& p = *cluster.puffs[i];
        ASSERT_LE(p.halfHeight, p.radius);
        if (c.opacity == 0.0f) {
          ASSERT_EQ(p.centre[2], 1500.0f);  // no elevation at all
        }
        const float box[6] = {p.centre[0] - p.radius,     p.centre[0] + p.radius,
                              p.centre[1] - p.radius,     p.centre[1] + p.radius,
                              p.centre[2] - p.halfHeight, p.centre[2] + p.halfHeight};
        for (int a = 0; a < 6; ++a) ASSERT_EQ(p.bounds[a], box[a]);
        for (int a = 0; a < 3; ++a) {
          ASSERT_LE(cluster.bounds[2 * a], box[2 * a]);
          ASSERT_GE(cluster.bounds[2 * a + 1], box[2 * a + 1]);
        }
      }
    }
    EXPECT_EQ(layer.puffCount, puffs);
    EXPECT_EQ(layer.bottom, bottom);
    EXPECT_EQ(layer.top, top);
  }
}

TEST_F(CloudLowTest, CubeLevelsFollowTheDetailWithinFourToSix) {
  for (const float detail : {0.0f, 0.2f, 0.4f, 1.0f, 1000.0f}) {
    CloudLowDetail = detail;
    Generate(0.0f, 0.5f, kCloudCumulus);
    const CloudLowLayer& layer = state->cloudLow;
    EXPECT_EQ(layer.detail, detail);
    EXPECT_EQ(layer.detailSixteenth, detail / 16);
    for (std::uint32_t i = 0; i < layer.puffCount; ++i) {
      const float v = 2 * layer.puffs[i].radius * detail / 16;
      int e = v >= 1 ? static_cast<int>(std::floor(std::log2(v))) : 0;
      if (0.85f * v > std::ldexp(1.0f, e)) ++e;
      const PuffCubePair& pair = layer.puffCubes[i];
      SCOPED_TRACE(testing::Message() << "detail " << detail << " puff " << i);
      EXPECT_EQ(pair.shapeCube.faces[3].log2Width, std::clamp(e, 4, 6));
      EXPECT_EQ(pair.lightCube.faces[3].log2Width, pair.shapeCube.faces[3].log2Width);
      EXPECT_EQ(pair.radius, layer.puffs[i].radius);
    }
  }
}

// v moved by whole widths w into [lo, lo + w).
double WrapInto(double v, double lo, double w) {
  while (v >= lo + w) v -= w;
  while (v < lo) v += w;
  return v;
}

// A scene of 3000 x 2500 around (800, -300): the layer spans it widened by 1.2 about its
// middle, x -1000 .. 2600 and y -1800 .. 1200. Every puff is laid where the replayed sequence
// puts it, moved by whole widths into the layer; the sun view covers the layer; a drift moves
// the puffs over the same layer. A scene narrower than 2800 / 1.2 gets a layer 2800 wide
// around it: a point scene at (500, -200), x -900 .. 1900 and y -1600 .. 1200.
TEST_F(CloudLowTest, LayerSpansTheScenesGroundPlanAndTheDriftWrapsOverIt) {
  const struct {
    double scene[4], x0, y0, w, h;
  } cases[] = {{{-700, -1550, 2300, 950}, -1000, -1800, 3600, 3000},
               {{500, -200, 500, -200}, -900, -1600, 2800, 2800}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.w);
    for (int a = 0; a < 4; ++a) area[a] = static_cast<float>(c.scene[a]);
    Generate(0.35f, 0.7f, kCloudCumulus, 1400);
    const CloudLowLayer& layer = state->cloudLow;
    EXPECT_FLOAT_EQ(layer.extent[0], c.x0);
    EXPECT_FLOAT_EQ(layer.extent[1], c.x0 + c.w);
    EXPECT_FLOAT_EQ(layer.extent[2], c.y0);
    EXPECT_FLOAT_EQ(layer.extent[3], c.y0 + c.h);
    EXPECT_FLOAT_EQ(layer.shadowMatrix[0], static_cast<float>(1 / c.w));
    ASSERT_EQ(layer.clusterCount, 4u);  // 2 x 2
    const double layerBox[4] = {c.x0, c.y0, c.x0 + c.w, c.y0 + c.h};
    const std::vector<RefCluster> ref = ReferenceClusters(4, 0.35, 0.7, false, 1400, layerBox);
    std::vector<const RefPuff*> puffs;
    for (const RefCluster& cluster : ref)
      for (const RefPuff& p : cluster.puffs) puffs.push_back(&p);
    ASSERT_EQ(layer.puffCount, puffs.size());
    int moved = 0;
    for (std::size_t i = 0; i < puffs.size(); ++i) {
      const CloudPuff& p = layer.puffs[i];
      const double* r = puffs[i]->c;
      const double x = WrapInto(r[0], c.x0, c.w), y = WrapInto(r[1], c.y0, c.h);
      moved += x != r[0] || y != r[1];
      SCOPED_TRACE(testing::Message() << "puff " << i);
      ASSERT_NEAR(p.base[0], x, 0.05);
      ASSERT_NEAR(p.base[1], y, 0.05);
      ASSERT_NEAR(p.base[2], r[2], 0.05);
      EXPECT_EQ(p.centre[0], p.base[0]);
      EXPECT_EQ(p.bounds[0], p.centre[0] - p.radius);
    }
    EXPECT_GT(moved, 0);  // clusters wider than their cells reach past the layer

    // The drift from the puffs' places, over the layer's widths.
    CloudLowLayer& drifting = state->cloudLow;
    SetCloudLowParams(drifting, 1000, -2500, 0);
    UpdatePuffBounds(drifting);
    for (std::size_t i = 0; i < puffs.size(); ++i) {
      ASSERT_NEAR(drifting.puffs[i].centre[0], WrapInto(puffs[i]->c[0] + 1000, c.x0, c.w), 0.05);
      ASSERT_NEAR(drifting.puffs[i].centre[1], WrapInto(puffs[i]->c[1] - 2500, c.y0, c.h), 0.05);
    }
  }
}

// The stage ends with the bake along the given sun: the shadow's matrix over the layer (whose
// extent is square), the light cubes between the CloudLow colours, the rasters given back.
TEST_F(CloudLowTest, StageEndsWithTheSunViewBake) {
  const float sun[3] = {0.0f, 0.6f, -0.8f};
  RandomSeed(1);
  GenerateCloudLow(*state, area, 1500, wind, kCloudCumulus, kAspectIso, 0.0f, 0.5f, 0.3f, sun);
  const CloudLowLayer& layer = state->cloudLow;
  const float width = 2 * 16384 * 1.2f;
  EXPECT_FLOAT_EQ(layer.shadowMatrix[0], 1 / width);
  EXPECT_FLOAT_EQ(layer.shadowMatrix[9], 0.75f / width);  // -(Sy / Sz) / height
  EXPECT_EQ(layer.depthAtlas.data, nullptr);
  const float* texel = static_cast<const float*>(layer.puffCubes[0].lightCube.faces[5].data);
  const float* dark = CloudLowParams.colorDark;
  const float* light = CloudLowParams.colorLight;
  // Some mix of the two colours with w = (texel - dark) / (light - dark) the same per channel.
  const float w = (texel[0] - dark[0]) / (light[0] - dark[0]);
  EXPECT_GT(w, 0.0f);
  for (int c = 1; c < 3; ++c) EXPECT_NEAR(texel[c], w * light[c] + (1 - w) * dark[c], 1e-5f);
}

TEST_F(CloudLowTest, FieldStopsHandingOutPuffsAtTheCapacity) {
  CloudLowLayer& layer = state->cloudLow;
  const float centre[3] = {0, 0, 1000}, size[3] = {1000, 1000, 100}, radii[2] = {600, 100};
  RandomSeed(7);
  for (int i = 0; i < 42; ++i) BuildPuffField(layer, 12, centre, size, radii, 0.01f, 0.3f);
  EXPECT_EQ(layer.puffCount, 504u);
  BuildPuffField(layer, 12, centre, size, radii, 0.01f, 0.3f);  // 8 are left
  EXPECT_EQ(layer.clusterCount, 43u);
  EXPECT_EQ(layer.clusters[42].puffCount, 8u);
  EXPECT_EQ(layer.puffCount, 512u);
  EXPECT_EQ(layer.puffCubeCount, 512u);
  const int next = RandomNext();
  RandomSeed(7);
  for (int i = 0; i < 42 * (5 + 5 * 11 + 10) + 5 + 5 * 7 + 6; ++i) RandomNext();
  EXPECT_EQ(RandomNext(), next);  // the draws of the 43 clusters, no more
  RandomSeed(9);
  BuildPuffField(layer, 1, centre, size, radii, 0.01f, 0.3f);  // none left: no cluster, no draw
  EXPECT_EQ(layer.clusterCount, 43u);
  const int after = RandomNext();
  RandomSeed(9);
  EXPECT_EQ(RandomNext(), after);

  // A root taller than wide: its children are held to their radius.
  EnvironmentResetCloudLow(*state, 0.0f, wind);
  const float tall[2] = {100, 400};
  BuildPuffField(layer, 12, centre, size, tall, 0.01f, 0.3f);
  EXPECT_GT(layer.puffs[0].halfHeight, layer.puffs[0].radius);
  EXPECT_EQ(layer.puffs[1].halfHeight, layer.puffs[1].radius);  // the root's child
  for (std::uint32_t i = 2; i < 12; ++i)
    EXPECT_LE(layer.puffs[i].halfHeight, layer.puffs[i].radius);

  // A cluster holds 16 puffs, the layer 64 clusters.
  EnvironmentResetCloudLow(*state, 0.0f, wind);
  BuildPuffField(layer, 17, centre, size, radii, 0.01f, 0.3f);
  EXPECT_EQ(layer.clusters[0].puffCount, 16u);
  for (int i = 1; i < 65; ++i) BuildPuffField(layer, 1, centre, size, radii, 0.01f, 0.3f);
  EXPECT_EQ(layer.clusterCount, 64u);
  EXPECT_EQ(layer.puffCount, 16u + 63u);
}

}  // namespace
}  // namespace veskor
