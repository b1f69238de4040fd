#include "mapengine/noise_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include "support/kernel_tables.h"

namespace veskor {
namespace {

constexpr float kCell = 1.0f / 64.0f;

// A generator of its own; its tables are built by the tests and given back at the end.
class NoiseTableTest : public ::testing::Test {
 protected:
  NoiseTableTest() { NoiseGeneratorInit(generator_); }
  ~NoiseTableTest() override { NoiseGeneratorRelease(generator_); }
  test::ScopedKernelTable kernels_;
  NoiseGenerator generator_{};
};

TEST_F(NoiseTableTest, OneDimensionalTableSamplesCellCentresWithRunningSums) {
  NoiseGenerator1D& g = generator_.noise1D;
  g.scaleX = 0.5f;
  g.offsetValue = 2.0f;
  BuildNoiseTable1D(g);
  const VertexLine& t = g.table;
  ASSERT_TRUE(t.data != nullptr && t.sums == t.data + 65);  // data then sums in one block
  EXPECT_TRUE(t.block.usedBytes == 520 && t.log2Size == 6 && t.halfStep == 0.0078125f);
  double sum = 0;
  for (int k = 0; k < 64; ++k) {
    EXPECT_EQ(t.data[k], NoiseValue1D((k + 0.5f) / 64)) << k;
    EXPECT_NEAR(t.sums[k], sum, 1e-6) << k;
    sum += t.data[k];
  }
  EXPECT_TRUE(t.data[64] == t.data[0] && t.sums[0] == 0.0f);
  EXPECT_NEAR(t.sums[64], sum, 1e-6);
  // The build puts the sampling transform back to its defaults.
  EXPECT_TRUE(g.scaleX == kCell && g.offsetValue == 0.0f && t.scaleX == kCell);
}

TEST_F(NoiseTableTest, TwoDimensionalTableTilesAndCarriesItsSummedArea) {
  BuildNoiseTable2D(generator_.noise2D);
  const VertexGrid& t = generator_.noise2D.table;
  ASSERT_TRUE(t.data != nullptr && t.companion[0] == t.data + 65 * 65 && !t.companion[1]);
  EXPECT_EQ(t.block.usedBytes, 4u * (65 * 65 + 66 * 66));
  const auto v = [&](int i, int j) { return t.data[65 * j + i]; };
  const auto area = [&](int i, int j) { return t.companion[0][65 * j + i]; };
  for (int j = 0; j < 64; ++j)
    for (int i = 0; i < 64; ++i)
      ASSERT_EQ(v(i, j), NoiseValue2D((i + 0.5f) / 64, (j + 0.5f) / 64)) << i << "," << j;
  for (int n = 0; n <= 64; ++n)
    EXPECT_TRUE(v(64, n) == v(0, n) && v(n, 64) == v(n, 0) && area(n, 0) == 0 && area(0, n) == 0)
        << n;
  // Entry (x, y) of the summed area is the sum of the values before it in both directions.
  std::mt19937 rng(4);
  for (int n = 0; n < 100; ++n) {
    const int x = n ? rng() % 65 : 64, y = n ? rng() % 65 : 64;
    double direct = 0;
    for (int j = 0; j < y; ++j)
      for (int i = 0; i < x; ++i) direct += v(i, j);
    ASSERT_NEAR(area(x, y), direct, 2e-4) << x << " " << y;
  }
  EXPECT_TRUE(generator_.noise2D.scaleY == kCell && t.scaleZ == kCell);
}

TEST_F(NoiseTableTest, ThreeDimensionalVolumeTilesAndCarriesItsSummedVolume) {
  NoiseGenerator3D& g = generator_.noise3D;
  g.scaleZ = 3.0f;
  g.offsetX = 1.0f;
  BuildNoiseVolume3D(g);
  const VertexVolume& t = g.volume;
  ASSERT_TRUE(t.data != nullptr && t.sums == t.data + 274625);
  EXPECT_EQ(GridVolumeIndex(t, 2, 3, 4), 2u + 3 * 65 + 4 * 4225);
  EXPECT_EQ(t.block.usedBytes, 2197000u);
  const auto v = [&](int x, int y, int z) { return t.data[GridVolumeIndex(t, x, y, z)]; };
  const auto sum = [&](int x, int y, int z) { return t.sums[GridVolumeIndex(t, x, y, z)]; };
  std::mt19937 rng(5);
  for (int n = 0; n < 2000; ++n) {
    const int x = rng() % 64, y = rng() % 64, z = rng() % 64, a = rng() % 65, b = rng() % 65;
    ASSERT_EQ(v(x, y, z), NoiseValue3D((x + 0.5f) / 64, (y + 0.5f) / 64, (z + 0.5f) / 64));
    ASSERT_TRUE(v(64, a, b) == v(0, a, b) && v(a, 64, b) == v(a, 0, b));
    ASSERT_EQ(v(a, b, 64), v(a, b, 0));
    ASSERT_TRUE(sum(0, a, b) == 0 && sum(a, 0, b) == 0 && sum(a, b, 0) == 0);
  }
  // Entry (x, y, z) of the summed volume is the sum of the values before it.
  for (int n = 0; n < 40; ++n) {
    const int x = n ? rng() % 65 : 64, y = n ? rng() % 65 : 64, z = n ? rng() % 65 : 64;
    double direct = 0;
    for (int k = 0; k < z; ++k)
      for (int j = 0; j < y; ++j)
        for (int i = 0; i < x; ++i) direct += v(i, j, k);
    ASSERT_NEAR(sum(x, y, z), direct, 5e-3) << x << " " << y << " " << z;
  }
  EXPECT_TRUE(g.scaleZ == kCell && g.offsetX == 0.0f && t.scaleY == kCell);
}

TEST_F(NoiseTableTest, ASecondBuildRefillsInPlace) {
  const auto build = [&] {
    BuildNoiseTable1D(generator_.noise1D);
    BuildNoiseTable2D(generator_.noise2D);
    BuildNoiseVolume3D(generator_.noise3D);
    const auto& [t1, t2, t3] = std::tie(generator_.noise1D.table, generator_.noise2D.table,
                                        generator_.noise3D.volume);
    return std::vector<const void*>{t1.data, t1.sums, t2.data, t2.companion[0], t3.data,
                                    t3.sums, reinterpret_cast<void*>(t3.block.usedBytes)};
  };
  const auto first = build();
  const std::vector<float> values = {generator_.noise1D.table.data[17],
                                     generator_.noise2D.table.data[1000],
                                     generator_.noise2D.table.companion[0][4000],
                                     generator_.noise3D.volume.data[123456]};
  EXPECT_EQ(build(), first);
  EXPECT_EQ(values, (std::vector<float>{generator_.noise1D.table.data[17],
                                        generator_.noise2D.table.data[1000],
                                        generator_.noise2D.table.companion[0][4000],
                                        generator_.noise3D.volume.data[123456]}));
}

TEST_F(NoiseTableTest, SummedAreaIsGivenOnceAndTakesSpareCompanionStorage) {
  VertexGrid g;
  VertexGridInit(g);
  VertexGridAlloc(g, 2, 1);
  for (int n = 0; n < 15; ++n) g.data[n] = 1.0f;
  float* spare = g.data + 15;
  g.companion[1] = spare;
  VertexGridSummedArea(g);
  EXPECT_EQ(g.companion[0], spare);
  EXPECT_EQ(g.companion[1], nullptr);
  // A grid of ones: entry (i, j) is i * j.
  for (int j = 0; j <= 2; ++j)
    for (int i = 0; i <= 4; ++i) EXPECT_EQ(spare[5 * j + i], static_cast<float>(i * j));
  g.data[0] = 100.0f;
  VertexGridSummedArea(g);  // already there: nothing happens
  EXPECT_EQ(spare[6], 1.0f);
  VertexGridRelease(g);
}

}  // namespace
}  // namespace veskor
