#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "mapengine/fx_executors.h"
#include "mapengine/fx_test_support.h"
#include "mapengine/noise_fills.h"
#include "mapengine/noise_generator.h"
#include "mapengine/noise_tables.h"

namespace veskor {
namespace {

using test::Field;

const Field kCoordinates[3] = {
    [](std::uint32_t i, std::uint32_t j) { return 0.037f * i + 0.011f * j; },
    [](std::uint32_t i, std::uint32_t j) { return 0.023f * j - 0.005f * i; },
    [](std::uint32_t i, std::uint32_t j) { return 0.3f + 0.017f * (i + j); }};

// Point grids of (3, 2) and, beside them, own copies for the fills called directly.
class NoiseExecutors : public test::FxTest {
 protected:
  void SetUp() override {
    if (gNoiseGenerator.noise1D.table.data == nullptr) BuildNoiseTable1D(gNoiseGenerator.noise1D);
  }
  FxFrame Points(std::uint32_t n) {
    FxFrame p = Value();
    for (std::uint32_t c = 0; c < n; ++c) Add(p, Grid(3, 2, kCoordinates[c]));
    return p;
  }
  // The fill of dimension n called directly on copies of the points.
  VertexGrid* Direct(std::uint32_t n, std::uint32_t kind, std::uint32_t octaves, float f0,
                     float ratio) {
    NoiseGenerator& g = gNoiseGenerator;
    VertexGrid *x = OwnGrid(3, 2, kCoordinates[0]), *y = OwnGrid(3, 2, kCoordinates[1]);
    VertexGrid *z = OwnGrid(3, 2, kCoordinates[2]), *d = OwnGrid(3, 2, kCoordinates[0]);
    const std::function<bool()> fills[3][3] = {
        {[&] { return NoiseFill1D(g.noise1D, *x, *d), true; },
         [&] { return NoiseFractal1D(g.noise1D, octaves, f0, ratio, *x, *d); },
         [&] { return NoiseTurbulence1D(g.noise1D, octaves, f0, ratio, *x, *d); }},
        {[&] { return NoiseFill2D(g.noise2D, *x, *y, *d), true; },
         [&] { return NoiseFractal2D(g.noise2D, octaves, f0, ratio, *x, *y, *d); },
         [&] { return NoiseTurbulence2D(g.noise2D, octaves, f0, ratio, *x, *y, *d); }},
        {[&] { return NoiseFill3D(g.noise3D, *x, *y, *z, *d), true; },
         [&] { return NoiseFractal3D(g.noise3D, octaves, f0, ratio, *x, *y, *z, *d); },
         [&] { return NoiseTurbulence3D(g.noise3D, octaves, f0, ratio, *x, *y, *z, *d); }}};
    EXPECT_TRUE(fills[n - 1][kind]());
    return d;
  }
};

constexpr FxExecutor kNoise[3] = {FxNoise, FxNoiseFrac, FxNoiseTurb};
const char* const kNames[3] = {"noise", "noiseFrac", "noiseTurb"};

TEST_F(NoiseExecutors, PointCountChoosesTheDimension) {
  for (std::uint32_t kind = 0; kind < 3; ++kind) {
    for (std::uint32_t n = 1; n <= 3; ++n) {
      SCOPED_TRACE(std::string(kNames[kind]) + " " + std::to_string(n));
      FxFrame q = Floats({4.9f, 1.5f, 2.0f});  // 4 octaves
      FxFrame p = Points(n);
      FxFrame r = Result();
      ASSERT_EQ(kind == 0 ? Run(FxNoise, r, {&p}) : Run(kNoise[kind], r, {&q, &p}), 1u);
      EXPECT_EQ(FxErrorText, std::string("Execution error : '") + kNames[kind] + "'");
      ASSERT_EQ(r.count, 1u);
      ASSERT_NE(r.grids[0], nullptr);
      EXPECT_EQ(p.count, 0u);     // the points are released,
      EXPECT_EQ(q.refCount, 1u);  // the parameters are not
      EXPECT_EQ(Values(r.grids[0]), Values(Direct(n, kind, 4, 1.5f, 2.0f)));
    }
  }
}

TEST_F(NoiseExecutors, FailuresLeaveTheArguments) {
  const std::pair<const char*, std::function<void(FxFrame&)>> points[] = {
      {"no point", [&](FxFrame&) {}},
      {"four coordinates", [&](FxFrame& p) {
         for (int c = 0; c < 4; ++c) Add(p, Grid(1, 1, 0.5f));
       }},
      {"a float second coordinate", [&](FxFrame& p) { Add(p, Grid(1, 1, 0.5f)), Add(p, 0.5f); }},
      {"a raster", [&](FxFrame& p) { Add(p, Raster(1, 1, kCoordinates[0])); }},
      {"grids of two sizes", [&](FxFrame& p) {
         Add(p, Grid(1, 1, 0.5f)), Add(p, Grid(1, 1, 0.5f)), Add(p, Grid(2, 1, 0.5f));
       }},
  };
  for (const auto& [what, build] : points) {
    ExpectFailure(FxNoise, "noise", 1, [&](FxFrame* a) { build(a[0]); }, what);
    for (std::uint32_t kind : {1, 2})
      ExpectFailure(kNoise[kind], kNames[kind], 2, [&](FxFrame* a) {
        Add(a[0], 2), Add(a[0], 1), Add(a[0], 2);
        build(a[1]);
      }, what);
  }
  // Octave counts and frequency ratios the octave tables cannot take.
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> octaves[] = {{0.9f, 1, 2}, {33, 1, 2}, {-1, 1, 2}, {nan, 1, 2},
                                        {4, 1, 0},    {4, 1, 1},  {4, 1, inf}, {4, 1, nan},
                                        {4, 1},       {}};
  for (const std::vector<float>& q : octaves)
    for (std::uint32_t kind : {1, 2})
      ExpectFailure(kNoise[kind], kNames[kind], 2, [&](FxFrame* a) {
        for (float v : q) Add(a[0], v);
        a[0].floats[q.size()] = 2.0f;  // past the count: no ratio
        a[1] = Points(2);
      }, "octaves");
  // 32 octaves are the most the tables hold.
  FxFrame q = Floats({32.5f, 1, 2}), p = Points(2), r = Result();
  EXPECT_EQ(Run(FxNoiseFrac, r, {&q, &p}), 1u);
}

TEST_F(NoiseExecutors, OneDimensionalNoiseNeedsItsTable) {
  const VertexLine saved = gNoiseGenerator.noise1D.table;
  gNoiseGenerator.noise1D.table.data = nullptr;
  FxFrame p = Points(1), r = Result();
  EXPECT_EQ(Run(FxNoise, r, {&p}), 0u);
  gNoiseGenerator.noise1D.table = saved;
  EXPECT_EQ(p.refCount, 1u);
}

}  // namespace
}  // namespace veskor
