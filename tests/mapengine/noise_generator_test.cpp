#include "mapengine/noise_generator.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace veskor {
namespace {

constexpr float kCell = 1.0f / 64.0f;

std::uint32_t P(std::int64_t n) { return gNoisePermutation[static_cast<std::uint64_t>(n) & 255]; }

// The noise straight from the permutation and the gradient tables, in double precision,
// without the lattice records: catches a lattice laid out or indexed differently.
double Fade(double f) { return (3 - 2 * f) * f * f; }
double Lerp(double a, double b, double t) { return a + t * (b - a); }

double Reference1D(double x) {
  const double s = 64 * x, n = std::floor(s), f = s - n;
  const auto i = static_cast<std::int64_t>(n);
  const double g0 = gNoiseGradients2DX[P(i & 63)], g1 = gNoiseGradients2DX[P((i + 1) & 63)];
  return Lerp(g0 * f, g1 * (f - 1), Fade(f));
}

double Reference2D(double x, double y) {
  const double s = 64 * x, t = 64 * y;
  const auto i = static_cast<std::int64_t>(std::floor(s));
  const auto j = static_cast<std::int64_t>(std::floor(t));
  const double fx = s - static_cast<double>(i), fy = t - static_cast<double>(j);
  const auto q = [&](int a, int b) {
    const std::uint32_t h = P(P((j + b) & 63) + ((i + a) & 63));
    return gNoiseGradients2DX[h] * (fx - a) + gNoiseGradients2DY[h] * (fy - b);
  };
  return Lerp(Lerp(q(0, 0), q(1, 0), Fade(fx)), Lerp(q(0, 1), q(1, 1), Fade(fx)), Fade(fy));
}

double Reference3D(double x, double y, double z) {
  const double s = 64 * x, t = 64 * y, u = 64 * z;
  const auto i = static_cast<std::int64_t>(std::floor(s));
  const auto j = static_cast<std::int64_t>(std::floor(t));
  const auto k = static_cast<std::int64_t>(std::floor(u));
  const double fx = s - static_cast<double>(i), fy = t - static_cast<double>(j);
  const double fz = u - static_cast<double>(k);
  const auto slice = [&](std::int64_t kk, double oz) {
    const std::int64_t dx = P(kk) >> 1, dy = P(2 * kk) >> 1;
    const auto q = [&](int a, int b) {
      const std::uint32_t h = P(P((j + dy + b) & 63) + ((i + dx + a) & 63));
      return gNoiseGradients3DX[h] * (fx - a) + gNoiseGradients3DY[h] * (fy - b) +
             gNoiseGradients3DZ[h] * oz;
    };
    return Lerp(Lerp(q(0, 0), q(1, 0), Fade(fx)), Lerp(q(0, 1), q(1, 1), Fade(fx)), Fade(fy));
  };
  return Lerp(slice(k, fz), slice(k + 1, fz - 1), Fade(fz));
}

float Quad1(float x, float y, float z) {
  alignas(16) float px[4] = {x, x, x, x}, py[4] = {y, y, y, y}, pz[4] = {z, z, z, z};
  alignas(16) float out[4];
  NoiseValue3DQuad(px, py, pz, out);
  return out[0];
}

// Random points over several periods on both sides of 0.
std::vector<float> RandomCoordinates(std::uint32_t seed, std::size_t n, float range) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(-range, range);
  std::vector<float> v(n);
  for (float& x : v) x = d(rng);
  return v;
}

TEST(NoiseGenerator, LatticesAreBuiltAtStartInTheSharedLayout) {
  std::vector<int> seen(256, 0);
  for (int n = 0; n < 256; ++n) {
    ++seen[gNoisePermutation[n]];
    EXPECT_NEAR(std::hypot(gNoiseGradients2DX[n], gNoiseGradients2DY[n]), 1.0, 1.5e-6);
    EXPECT_NEAR(std::hypot(gNoiseGradients3DX[n], gNoiseGradients3DY[n], gNoiseGradients3DZ[n]),
                1.0, 1.5e-6);
    EXPECT_EQ(gNoiseSliceShifts[n], P(n) >> 1 | (P(2 * n) >> 1) << 8 | (P(n + 1) >> 1) << 16 |
                                        (P(2 * n + 2) >> 1) << 24);
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 256);
  EXPECT_EQ(gNoisePermutation[255], 52);  // samples of the fixed tables
  EXPECT_EQ(gNoiseGradients2DY[3], -0.615701f);
  EXPECT_EQ(gNoiseGradients3DX[2], -0.312485f);

  // Other subsystems read the lattices directly: 65 values a row, the last repeating the first.
  const VertexLine& l1 = gNoiseLattice1D;
  EXPECT_EQ(l1.log2Size, kNoiseLatticeLog2);
  for (std::uint32_t i = 0; i <= 64; ++i) EXPECT_EQ(l1.data[i], gNoiseGradients2DX[P(i & 63)]);
  const std::pair<const VertexGrid*, const float*> planes[] = {
      {&gNoiseLattice2DX, gNoiseGradients2DX}, {&gNoiseLattice2DY, gNoiseGradients2DY},
      {&gNoiseLattice3DX, gNoiseGradients3DX}, {&gNoiseLattice3DY, gNoiseGradients3DY},
      {&gNoiseLattice3DZ, gNoiseGradients3DZ}};
  for (const auto& [g, component] : planes) {
    ASSERT_TRUE(g->data != nullptr && g->log2Width == 6 && g->log2Height == 6);
    for (std::uint32_t j = 0; j <= 64; ++j)
      for (std::uint32_t i = 0; i <= 64; ++i)
        ASSERT_EQ(g->data[65 * j + i], component[P(P(j & 63) + (i & 63))]) << i << "," << j;
  }
}

TEST(NoiseGenerator, GeneratorsStartWithEmptyTablesAndUnitTransformsAndShareTheLattices) {
  const float* plane = gNoiseLattice3DX.data;
  NoiseGenerator g{};
  NoiseGeneratorInit(g);
  EXPECT_EQ(gNoiseLattice3DX.data, plane);  // nothing rebuilt
  EXPECT_TRUE(g.noise1D.table.data == nullptr && g.noise2D.table.data == nullptr &&
              g.noise3D.volume.data == nullptr);
  const float* scales = &g.noise3D.scaleX;  // one 4-vector each
  const float* offsets = &g.noise3D.offsetX;
  EXPECT_EQ(std::vector<float>(scales, scales + 4), (std::vector<float>{kCell, kCell, kCell, 1}));
  EXPECT_EQ(std::vector<float>(offsets, offsets + 4), std::vector<float>(4, 0.0f));
  EXPECT_TRUE(g.noise1D.scaleX == kCell && g.noise2D.scaleX == kCell && g.noise2D.scaleY == kCell);
  EXPECT_TRUE(g.noise1D.table.scaleX == kCell && g.noise3D.volume.scaleZ == kCell);
  NoiseGeneratorRelease(g);
}

TEST(NoiseGenerator, FloorTolKeepsNegativesWithinToleranceOfAnInteger) {
  const struct {
    float s;
    std::int32_t n;
  } cases[] = {{0.0f, 0},        {2.5f, 2},          {-2.5f, -3},        {-2.0f, -2},
               {-2.000001f, -2}, {-2.0001f, -3},     {-0.000001f, 0},    {63.999f, 63},
               {1e9f, 1000000000}, {-1e9f, -1000000000}};
  for (const auto& c : cases) EXPECT_EQ(NoiseFloorTol(c.s), c.n) << c.s;
  // Beyond the 32-bit range the conversion gives 0x80000000, not undefined behaviour.
  for (float s : {3e9f, -3e9f, INFINITY, -INFINITY, std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_EQ(NoiseFloorTol(s), INT32_MIN) << s;
    // Meaningless values, but no read outside the lattice (the sanitizer build checks).
    (void)NoiseValue1D(s);
    (void)NoiseValue2D(s, -s);
    (void)NoiseValue3D(s, 0.5f, -s);
    (void)Quad1(s, -s, s);
  }
}

TEST(NoiseGenerator, ValuesAreZeroAtEveryLatticePoint) {
  for (int a = -130; a <= 130; a += 7) {
    for (int b = -70; b <= 70; b += 13) {
      const float x = static_cast<float>(a) * kCell, y = static_cast<float>(b) * kCell;
      EXPECT_TRUE(NoiseValue1D(x) == 0 && NoiseValue2D(x, y) == 0) << a << "," << b;
      for (int c : {-300, -1, 0, 5, 255, 256, 700}) {
        const float z = static_cast<float>(c) * kCell;
        EXPECT_TRUE(NoiseValue3D(x, y, z) == 0 && Quad1(x, y, z) == 0) << a << "," << b << "," << c;
      }
    }
  }
}

TEST(NoiseGenerator, ValuesMatchTheDefinitionFromThePermutationAndGradients) {
  const auto xs = RandomCoordinates(1, 3000, 3.0f);
  for (std::size_t n = 0; n + 2 < xs.size(); n += 3) {
    const float x = xs[n], y = xs[n + 1], z = xs[n + 2];
    ASSERT_NEAR(NoiseValue1D(x), Reference1D(x), 2e-6) << x;
    ASSERT_NEAR(NoiseValue2D(x, y), Reference2D(x, y), 2e-6) << x << "," << y;
    ASSERT_NEAR(NoiseValue3D(x, y, z), Reference3D(x, y, z), 3e-6) << x << "," << y << "," << z;
  }
}

TEST(NoiseGenerator, ValuesRepeatEveryPeriodAndStayInRange) {
  // Multiples of 1/1024 below 8 stay exact when a period is added.
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> d(-4096, 4096);
  double max1 = 0, max2 = 0, max3 = 0;
  for (int n = 0; n < 4000; ++n) {
    const float x = d(rng) / 1024.0f, y = d(rng) / 1024.0f, z = d(rng) / 1024.0f;
    const float v1 = NoiseValue1D(x), v2 = NoiseValue2D(x, y), v3 = NoiseValue3D(x, y, z);
    ASSERT_TRUE(NoiseValue1D(x + 1.0f) == v1 && NoiseValue2D(x + 1.0f, y) == v2 &&
                NoiseValue2D(x, y - 1.0f) == v2)
        << x << "," << y;
    ASSERT_TRUE(NoiseValue3D(x - 1.0f, y, z) == v3 && NoiseValue3D(x, y + 1.0f, z) == v3 &&
                NoiseValue3D(x, y, z + 4.0f) == v3)
        << x << "," << y << "," << z;
    max1 = std::max(max1, std::fabs(double{v1}));
    max2 = std::max(max2, std::fabs(double{v2}));
    max3 = std::max(max3, std::fabs(double{v3}));
  }
  EXPECT_LE(max1, 0.5);
  EXPECT_LE(max2, std::sqrt(2.0) / 2);
  EXPECT_LE(max3, std::sqrt(3.0) / 2);
  EXPECT_GT(max3, 0.3);  // not flat
}

TEST(NoiseGenerator, QuadAgreesWithTheScalarEvaluator) {
  const auto c = RandomCoordinates(3, 4 * 3000, 5.0f);
  for (std::size_t n = 0; n + 12 <= c.size(); n += 12) {
    alignas(16) float x[4], y[4], z[4], out[4];
    for (int l = 0; l < 4; ++l) {
      x[l] = c[n + l];
      y[l] = c[n + 4 + l];
      z[l] = c[n + 8 + l];
    }
    NoiseValue3DQuad(x, y, z, out);
    for (int l = 0; l < 4; ++l)
      ASSERT_NEAR(out[l], NoiseValue3D(x[l], y[l], z[l]), 2e-6) << x[l] << " " << y[l];
  }
  // Just below a negative lattice line the scalar floor keeps cell -2 (fraction -1e-6), the
  // quad's plain floor takes cell -3 (fraction 0.999999): the values still agree.
  const float s = -2.000001f * kCell;
  EXPECT_EQ(NoiseFloorTol(s * 64.0f), -2);
  for (float other : {0.3f, -0.71f}) {
    EXPECT_NEAR(Quad1(s, other, 0.1f), NoiseValue3D(s, other, 0.1f), 1e-6);
    EXPECT_NEAR(Quad1(other, s, s), NoiseValue3D(other, s, s), 1e-6);
  }
  // The quad rounds down under its own guard: the caller's rounding mode is left alone.
  const unsigned before = _mm_getcsr();
  EXPECT_EQ(before & _MM_ROUND_MASK, static_cast<unsigned>(_MM_ROUND_NEAREST));
  Quad1(0.1f, 0.2f, 0.3f);
  EXPECT_EQ(_mm_getcsr(), before);
}

TEST(NoiseGenerator, CornersReadTheFourGradientsOfACell) {
  for (const auto& [i, j] : {std::pair{5, 9}, {63, 63}, {64, 0}, {-1, -1}, {-65, 130}}) {
    float gx[4], gy[4], hx[4], hy[4], hz[4];
    NoiseCorners2D(i, j, gx, gy);
    NoiseCorners3D(i, j, hx, hy, hz);
    const std::uint32_t c =
        (static_cast<std::uint32_t>(i) & 63) + 65 * (static_cast<std::uint32_t>(j) & 63);
    const std::uint32_t at[4] = {c, c + 1, c + 65, c + 66};
    for (int n = 0; n < 4; ++n)
      EXPECT_TRUE(gx[n] == gNoiseLattice2DX.data[at[n]] && gy[n] == gNoiseLattice2DY.data[at[n]] &&
                  hx[n] == gNoiseLattice3DX.data[at[n]] && hy[n] == gNoiseLattice3DY.data[at[n]] &&
                  hz[n] == gNoiseLattice3DZ.data[at[n]])
          << i << "," << j << " corner " << n;
  }
}

}  // namespace
}  // namespace veskor
