#include "mapengine/noise_fills.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "mapengine/noise_tables.h"
#include "mapengine/kernel_table.h"
#include "support/kernel_tables.h"

namespace veskor {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::uint32_t Count(const VertexGrid& g) {
  return ((1u << g.log2Width) + 1) * ((1u << g.log2Height) + 1);
}

// A generator of its own with its tables built, and grids that are given back at the end.
class NoiseFillTest : public ::testing::Test {
 protected:
  NoiseFillTest() {
    NoiseGeneratorInit(generator_);
    BuildNoiseTable1D(generator_.noise1D);
  }
  ~NoiseFillTest() override {
    for (auto& g : grids_) VertexGridRelease(*g);
    NoiseGeneratorRelease(generator_);
  }

  VertexGrid& Grid() {
    grids_.push_back(std::make_unique<VertexGrid>());
    VertexGridInit(*grids_.back());
    return *grids_.back();
  }
  // A grid of log2 sizes (w, h) whose value v is f(v).
  VertexGrid& Grid(std::uint16_t w, std::uint16_t h, const std::function<float(std::uint32_t)>& f) {
    VertexGrid& g = Grid();
    VertexGridAlloc(g, w, h);
    for (std::uint32_t v = 0; v < Count(g); ++v) g.data[v] = f(v);
    return g;
  }
  VertexGrid& RandomGrid(std::uint16_t w, std::uint16_t h, std::uint32_t seed, float range) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-range, range);
    return Grid(w, h, [&](std::uint32_t) { return d(rng); });
  }

  test::ScopedKernelTable kernels_;
  NoiseGenerator generator_{};
  std::vector<std::unique_ptr<VertexGrid>> grids_;  // stable addresses
};

TEST(NoiseOctaves, AmplitudesFallByTheInverseRatioAndSumToOne) {
  NoiseOctaves o;
  ASSERT_TRUE(NoiseOctaveTables(3, 1.5f, 2.0f, o));
  EXPECT_EQ(o.count, 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FLOAT_EQ(o.amplitude[i], (4 >> i) / 7.0f);
    EXPECT_EQ(o.frequency[i], 1.5f * (1 << i));
  }
  ASSERT_TRUE(NoiseOctaveTables(1, 2.0f, 3.0f, o));
  EXPECT_EQ(o.amplitude[0], 1.0f);
  for (std::uint32_t n : {2u, 7u, 32u})
    for (float ratio : {2.0f, 0.5f, 1.9f, -3.0f, -1.0f}) {
      if (ratio == -1.0f && n % 2 == 0) continue;
      ASSERT_TRUE(NoiseOctaveTables(n, 1.0f, ratio, o)) << n << " " << ratio;
      double sum = 0;
      for (std::uint32_t i = 0; i < n; ++i) sum += o.amplitude[i];
      EXPECT_NEAR(sum, 1.0, 1e-5) << n << " " << ratio;
    }
}

TEST_F(NoiseFillTest, OctaveParametersThatWouldOverrunOrDivideByZeroAreRefused) {
  const struct {
    std::uint32_t n;
    float ratio;
  } refused[] = {{0, 2.0f},  {33, 2.0f},       {1000, 2.0f},    {4, 0.0f},
                 {4, 1.0f},  {4, INFINITY},    {4, -INFINITY},  {4, kNaN},
                 {2, -1.0f}, {32, -1.0f},      {0xFFFFFFFFu, 2.0f}};
  for (const auto& c : refused) {
    NoiseOctaves o;
    o.count = 77;
    EXPECT_FALSE(NoiseOctaveTables(c.n, 1.0f, c.ratio, o)) << c.n << " " << c.ratio;
    EXPECT_EQ(o.count, 77u);
  }
  // The sums refuse them too, and leave the destination alone.
  VertexGrid& x = RandomGrid(2, 2, 1, 1.0f);
  VertexGrid& untouched = Grid();  // no block: a write would need one
  VertexGrid& kept = Grid(2, 2, [](std::uint32_t) { return 42.0f; });
  for (VertexGrid* d : {&untouched, &kept}) {
    EXPECT_FALSE(NoiseFractal1D(generator_.noise1D, 0, 1, 2, x, *d));
    EXPECT_FALSE(NoiseTurbulence1D(generator_.noise1D, 33, 1, 2, x, *d));
    EXPECT_FALSE(NoiseFractal2D(generator_.noise2D, 3, 1, 1, x, x, *d));
    EXPECT_FALSE(NoiseTurbulence2D(generator_.noise2D, 3, 1, 0, x, x, *d));
    EXPECT_FALSE(NoiseFractal3D(generator_.noise3D, 3, 1, kNaN, x, x, x, *d));
    EXPECT_FALSE(NoiseTurbulence3D(generator_.noise3D, 3, 1, INFINITY, x, x, x, *d));
  }
  EXPECT_EQ(untouched.data, nullptr);
  EXPECT_EQ(std::vector<float>(kept.data, kept.data + Count(kept)), std::vector<float>(25, 42.0f));
}

TEST_F(NoiseFillTest, PlainFillsSampleTheNoiseAtEachPointThroughTheTransform) {
  VertexGrid& x = RandomGrid(3, 2, 2, 2.0f);
  VertexGrid& y = RandomGrid(3, 2, 3, 2.0f);
  VertexGrid& z = RandomGrid(3, 2, 4, 2.0f);
  NoiseGenerator2D& g2 = generator_.noise2D;
  NoiseGenerator3D& g3 = generator_.noise3D;
  g2.scaleValue = g3.scaleValue = 2.0f;
  g2.offsetValue = g3.offsetValue = 0.25f;
  g2.offsetY = g3.offsetZ = 0.125f;

  VertexGrid& d2 = Grid();
  NoiseFill2D(g2, x, y, d2);
  VertexGrid& d3 = Grid();
  plain::NoiseFill3D(g3, x, y, z, d3);
  ASSERT_EQ(d2.log2Width, 3u);
  ASSERT_EQ(d3.log2Height, 2u);
  for (std::uint32_t v = 0; v < Count(x); ++v) {
    const float n2 = NoiseValue2D(x.data[v] * g2.scaleX, y.data[v] * g2.scaleY + 0.125f);
    EXPECT_EQ(d2.data[v], n2 * 2.0f + 0.25f) << v;
    const float n3 = NoiseValue3D(x.data[v] * g3.scaleX, y.data[v] * g3.scaleY,
                                  z.data[v] * g3.scaleZ + 0.125f);
    EXPECT_EQ(d3.data[v], n3 * 2.0f + 0.25f) << v;
  }
}

TEST_F(NoiseFillTest, OneOctaveSumsAreThePlainFillAtTheBaseFrequency) {
  const float f0 = 3.0f;
  VertexGrid& x = RandomGrid(2, 3, 5, 4.0f);
  VertexGrid& y = RandomGrid(2, 3, 6, 4.0f);
  VertexGrid& z = RandomGrid(2, 3, 7, 4.0f);
  // 1-D footprints narrower than half a table cell: point values.
  VertexGrid& line = Grid(2, 3, [](std::uint32_t v) { return 0.01f * static_cast<float>(v); });
  const auto scaled = [&](const VertexGrid& s) -> VertexGrid& {
    return Grid(2, 3, [&](std::uint32_t v) { return f0 * s.data[v]; });
  };
  VertexGrid &xs = scaled(x), &ys = scaled(y), &zs = scaled(z), &lines = scaled(line);

  VertexGrid &plain2 = Grid(), &frac2 = Grid(), &turb2 = Grid();
  NoiseFill2D(generator_.noise2D, xs, ys, plain2);
  ASSERT_TRUE(NoiseFractal2D(generator_.noise2D, 1, f0, 2.0f, x, y, frac2));
  ASSERT_TRUE(NoiseTurbulence2D(generator_.noise2D, 1, f0, 2.0f, x, y, turb2));
  VertexGrid &plain3 = Grid(), &frac3 = Grid(), &fracSse = Grid(), &turb3 = Grid();
  plain::NoiseFill3D(generator_.noise3D, xs, ys, zs, plain3);
  NoiseOctaves one;
  ASSERT_TRUE(NoiseOctaveTables(1, f0, 2.0f, one));
  plain::NoiseFractal3D(generator_.noise3D, one, x, y, z, frac3);
  sse::NoiseFractal3D(generator_.noise3D, one, x, y, z, fracSse);
  ASSERT_TRUE(NoiseTurbulence3D(generator_.noise3D, 1, f0, 2.0f, x, y, z, turb3));
  VertexGrid &plain1 = Grid(), &frac1 = Grid(), &turb1 = Grid();
  NoiseFill1D(generator_.noise1D, lines, plain1);
  ASSERT_TRUE(NoiseFractal1D(generator_.noise1D, 1, f0, 2.0f, line, frac1));
  ASSERT_TRUE(NoiseTurbulence1D(generator_.noise1D, 1, f0, 2.0f, line, turb1));

  for (std::uint32_t v = 0; v < Count(x); ++v) {
    // The 3-D sum scales the frequency before the coordinate, and the 1-D cell centres of
    // scaled points are scaled centres up to rounding: last-bit differences in the point.
    EXPECT_EQ(frac2.data[v], plain2.data[v]) << v;
    EXPECT_EQ(turb2.data[v], std::fabs(frac2.data[v])) << v;
    EXPECT_NEAR(frac3.data[v], plain3.data[v], 1e-5) << v;
    EXPECT_NEAR(fracSse.data[v], plain3.data[v], 1e-5) << v;
    EXPECT_EQ(turb3.data[v], std::fabs(frac3.data[v])) << v;
    EXPECT_NEAR(frac1.data[v], plain1.data[v], 1e-5) << v;
    EXPECT_EQ(turb1.data[v], std::fabs(frac1.data[v])) << v;
  }
}

TEST_F(NoiseFillTest, SseAndPlainThreeDimensionalFillsAgree) {
  // Vertex counts 4 (no whole block), 9, 45 and 1089: the SSE member's last (count mod 8)
  // vertices come from the plain evaluation and match it exactly.
  const struct {
    std::uint16_t w, h;
  } sizes[] = {{0, 0}, {1, 1}, {3, 2}, {5, 5}};
  for (const auto& s : sizes) {
    VertexGrid& x = RandomGrid(s.w, s.h, 11, 6.0f);
    VertexGrid& y = RandomGrid(s.w, s.h, 12, 6.0f);
    VertexGrid& z = RandomGrid(s.w, s.h, 13, 6.0f);
    NoiseOctaves o;
    ASSERT_TRUE(NoiseOctaveTables(6, 1.3f, 2.03f, o));
    VertexGrid &p = Grid(), &q = Grid(), &pf = Grid(), &qf = Grid();
    plain::NoiseFill3D(generator_.noise3D, x, y, z, p);
    sse::NoiseFill3D(generator_.noise3D, x, y, z, q);
    plain::NoiseFractal3D(generator_.noise3D, o, x, y, z, pf);
    sse::NoiseFractal3D(generator_.noise3D, o, x, y, z, qf);
    const std::uint32_t n = Count(x), blocked = n & ~7u;
    for (std::uint32_t v = 0; v < n; ++v) {
      if (v < blocked) {
        ASSERT_NEAR(q.data[v], p.data[v], 2e-6) << v;
        ASSERT_NEAR(qf.data[v], pf.data[v], 4e-6) << v;
      } else {
        ASSERT_EQ(q.data[v], p.data[v]) << v;
        ASSERT_EQ(qf.data[v], pf.data[v]) << v;
      }
    }
  }
}

TEST_F(NoiseFillTest, FractalSumAddsTheOctavesAtRisingFrequencies) {
  VertexGrid& x = RandomGrid(2, 2, 15, 2.0f);
  VertexGrid& y = RandomGrid(2, 2, 16, 2.0f);
  VertexGrid& z = RandomGrid(2, 2, 17, 2.0f);
  VertexGrid &d2 = Grid(), &d3 = Grid(), &t1 = Grid(), &t2 = Grid(), &t3 = Grid();
  // y stretched twice as much as x: each axis keeps its own scale.
  generator_.noise2D.scaleY = generator_.noise3D.scaleY = 1.0f / 32;
  ASSERT_TRUE(NoiseFractal2D(generator_.noise2D, 3, 0.5f, 2.0f, x, y, d2));
  ASSERT_TRUE(NoiseFractal3D(generator_.noise3D, 3, 0.5f, 2.0f, x, y, z, d3));
  ASSERT_TRUE(NoiseTurbulence1D(generator_.noise1D, 3, 0.5f, 2.0f, x, t1));
  ASSERT_TRUE(NoiseTurbulence2D(generator_.noise2D, 3, 0.5f, 2.0f, x, y, t2));
  ASSERT_TRUE(NoiseTurbulence3D(generator_.noise3D, 3, 0.5f, 2.0f, x, y, z, t3));
  const float amp[3] = {4.0f / 7, 2.0f / 7, 1.0f / 7}, freq[3] = {0.5f, 1.0f, 2.0f};
  for (std::uint32_t v = 0; v < Count(x); ++v) {
    double s2 = 0, s3 = 0;
    for (int i = 0; i < 3; ++i) {
      s2 += amp[i] * NoiseValue2D(freq[i] * x.data[v] / 64, freq[i] * y.data[v] / 32);
      s3 += amp[i] * NoiseValue3D(freq[i] * x.data[v] / 64, freq[i] * y.data[v] / 32,
                                  freq[i] * z.data[v] / 64);
    }
    EXPECT_NEAR(d2.data[v], s2, 1e-5) << v;
    EXPECT_NEAR(d3.data[v], s3, 1e-5) << v;
    // Turbulence sums the octaves' magnitudes: never negative, never below the fractal sum's.
    EXPECT_GE(t1.data[v], 0.0f);
    EXPECT_GE(t2.data[v], std::fabs(d2.data[v]) - 1e-6f) << v;
    EXPECT_GE(t3.data[v], std::fabs(d3.data[v]) - 1e-6f) << v;
  }
}

TEST_F(NoiseFillTest, OneDimensionalFillAveragesOverTheSpanOfTheFourCellsAroundAVertex) {
  // On x = c + p i + q j the cell centres lie half a step away on both axes: vertex (i, j)
  // spans x +- (|p| + |q|) / 2, its ends at the two corners the signs of p and q pick (each
  // corner is an end once below). The values are exact in floats.
  NoiseGenerator1D& g = generator_.noise1D;
  g.scaleValue = 3.0f;
  g.offsetValue = -0.5f;
  const struct {
    float c, p, q;
  } fields[] = {{7.25f, 0, 0}, {-12.625f, 0, 0}, {100, 5, -3}, {-40, 2, 6}, {3, 0.25f, -0.125f}};
  for (const auto& f : fields) {
    const auto at = [&](std::uint32_t v) { return f.c + f.p * (v % 5) + f.q * (v / 5); };
    VertexGrid& x = Grid(2, 1, at);
    VertexGrid& d = Grid();
    NoiseFill1D(g, x, d);
    const float half = (std::fabs(f.p) + std::fabs(f.q)) / 2;
    for (std::uint32_t v = 0; v < Count(x); ++v)
      EXPECT_EQ(d.data[v], NoiseSpan1D(g, x.data[v] - half, x.data[v] + half)) << f.p << " " << v;
  }
}

TEST_F(NoiseFillTest, OneDimensionalFillOverManyPeriodsGivesThePeriodAverage) {
  const VertexLine& t = generator_.noise1D.table;
  const float periodAverage = t.sums[64] / 64;
  // Neighbouring vertices 10 periods (640 input units) apart: every footprint spans ~10.
  VertexGrid& x = Grid(3, 3, [](std::uint32_t v) { return 640.0f * static_cast<float>(v % 9); });
  VertexGrid& d = Grid();
  NoiseFill1D(generator_.noise1D, x, d);
  for (std::uint32_t v = 0; v < Count(x); ++v)
    EXPECT_NEAR(d.data[v], periodAverage, 0.05f) << v;
}

TEST_F(NoiseFillTest, IntervalAverageReadsTheRunningSums) {
  const NoiseGenerator1D& g = generator_.noise1D;
  const float* t = g.table.data;
  // [0, 0.25] covers cells 0..16.
  double sum = 0;
  for (int k = 0; k <= 16; ++k) sum += t[k];
  EXPECT_NEAR(NoiseIntervalAverage(g, 0.0f, 0.25f), sum / 17, 1e-6);
  // [-1, 1] covers two whole periods and cell 0 once more.
  double period = 0;
  for (int k = 0; k < 64; ++k) period += t[k];
  EXPECT_NEAR(NoiseIntervalAverage(g, -1.0f, 1.0f), (2 * period + t[0]) / 129, 1e-6);
  // A span narrower than half a cell is the point value at its middle; half a cell is averaged.
  EXPECT_EQ(NoiseSpan1D(g, 10.0f, 10.2f), NoiseValue1D(10.1f / 64));
  EXPECT_EQ(NoiseSpan1D(g, 10.0f, 10.5f), NoiseIntervalAverage(g, 10.0f / 64, 10.5f / 64));
  // Spans of more periods than 32 bits count still average to about the period average, and
  // keep the sums' index inside the table (the sanitizer build checks); footprints that take
  // in a NaN or infinite coordinate give that or NaN.
  const float wild[] = {1e12f, -1e12f, 3e9f, 0.0f, -3e9f, kNaN, INFINITY};
  for (const int finite : {5, 7}) {
    VertexGrid& x = Grid(2, 1, [&](std::uint32_t v) { return wild[v % finite]; });
    VertexGrid& d = Grid();
    ASSERT_TRUE(NoiseFractal1D(generator_.noise1D, 8, 1.0f, 2.0f, x, d));
    for (std::uint32_t v = 0; v < Count(x); ++v)
      EXPECT_TRUE(finite == 7 ? std::isnan(d.data[v]) || std::fabs(d.data[v] - period / 64) < 0.05
                              : std::fabs(d.data[v] - period / 64) < 0.05) << v;
  }
}

TEST_F(NoiseFillTest, OneDimensionalFillsGiveTheSourceItsCellCentres) {
  VertexGrid& x = Grid(2, 2, [](std::uint32_t v) { return 0.37f * static_cast<float>(v); });
  VertexGrid& d = Grid();
  NoiseFill1D(generator_.noise1D, x, d);
  ASSERT_TRUE(x.companion[0] == nullptr && x.companion[1] == x.data + Count(x));
  EXPECT_EQ(x.companionValid, 1u);
  std::vector<float> expected(36);
  gKernelTable.GridCellCentres(2, 2, x.data, expected.data());
  for (int n = 0; n < 36; ++n) EXPECT_NEAR(x.companion[1][n], expected[n], 1e-5) << n;

  // Storage in the first companion pointer moves to the second and is recomputed there.
  VertexGrid& y = Grid(2, 2, [](std::uint32_t v) { return static_cast<float>(v); });
  float* storage = y.data + Count(y);
  y.companion[0] = storage;
  std::fill(storage, storage + 36, -99.0f);
  NoiseFill1D(generator_.noise1D, y, d);
  EXPECT_TRUE(y.companion[0] == nullptr && y.companion[1] == storage);
  EXPECT_NE(storage[7], -99.0f);
}

}  // namespace
}  // namespace veskor
