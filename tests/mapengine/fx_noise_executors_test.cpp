#include <gtest/gtest.h>

#include <cmath>
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

using Field = test::Field;

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
  VertexGrid& Copy(std::uint32_t c) { return *OwnGrid(3, 2, kCoordinates[c]); }
  VertexGrid& Destination() { return *OwnGrid(3, 2, kCoordinates[0]); }
};

TEST_F(NoiseExecutors, PointCountChoosesTheDimension) {
  NoiseGenerator& g = gNoiseGenerator;
  for (std::uint32_t n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    FxFrame p = Points(n);
    FxFrame r = Result();
    ASSERT_EQ(Run(FxNoise, r, {&p}), 1u);
    EXPECT_STREQ(FxErrorText, "Execution error : 'noise'");
    ASSERT_EQ(r.count, 1u);
    ASSERT_NE(r.grids[0], nullptr);
    EXPECT_EQ(p.count, 0u);  // released

    VertexGrid& d = Destination();
    if (n == 1) NoiseFill1D(g.noise1D, Copy(0), d);
    if (n == 2) NoiseFill2D(g.noise2D, Copy(0), Copy(1), d);
    if (n == 3) NoiseFill3D(g.noise3D, Copy(0), Copy(1), Copy(2), d);
    EXPECT_EQ(Values(r.grids[0]), Values(&d));
  }
}

TEST_F(NoiseExecutors, FractalAndTurbulenceSumsTakeTheirParameters) {
  NoiseGenerator& g = gNoiseGenerator;
  for (bool turbulence : {false, true}) {
    for (std::uint32_t n = 1; n <= 3; ++n) {
      SCOPED_TRACE(std::to_string(n) + (turbulence ? " turbulence" : " fractal"));
      FxFrame q = Floats({4.9f, 1.5f, 2.0f});  // 4 octaves
      FxFrame p = Points(n);
      FxFrame r = Result();
      ASSERT_EQ(Run(turbulence ? FxNoiseTurb : FxNoiseFrac, r, {&q, &p}), 1u);
      EXPECT_EQ(p.count, 0u);
      EXPECT_EQ(q.refCount, 1u);  // the parameters are not released

      VertexGrid& d = Destination();
      bool ok = false;
      if (n == 1)
        ok = turbulence ? NoiseTurbulence1D(g.noise1D, 4, 1.5f, 2.0f, Copy(0), d)
                        : NoiseFractal1D(g.noise1D, 4, 1.5f, 2.0f, Copy(0), d);
      if (n == 2)
        ok = turbulence ? NoiseTurbulence2D(g.noise2D, 4, 1.5f, 2.0f, Copy(0), Copy(1), d)
                        : NoiseFractal2D(g.noise2D, 4, 1.5f, 2.0f, Copy(0), Copy(1), d);
      if (n == 3)
        ok = turbulence
                 ? NoiseTurbulence3D(g.noise3D, 4, 1.5f, 2.0f, Copy(0), Copy(1), Copy(2), d)
                 : NoiseFractal3D(g.noise3D, 4, 1.5f, 2.0f, Copy(0), Copy(1), Copy(2), d);
      ASSERT_TRUE(ok);
      EXPECT_EQ(Values(r.grids[0]), Values(&d));
    }
  }
}

TEST_F(NoiseExecutors, PointFailures) {
  struct Case {
    const char* what;
    std::function<void(FxFrame&)> build;
  };
  const Case cases[] = {
      {"no point", [&](FxFrame&) {}},
      {"four coordinates", [&](FxFrame& p) {
         for (int c = 0; c < 4; ++c) Add(p, Grid(1, 1, 0.5f));
       }},
      {"a float second coordinate", [&](FxFrame& p) { Add(p, Grid(1, 1, 0.5f)), Add(p, 0.5f); }},
      {"a float first coordinate", [&](FxFrame& p) { Add(p, 0.5f); }},
      {"a raster", [&](FxFrame& p) { Add(p, Raster(1, 1, kCoordinates[0])); }},
      {"grids of two sizes", [&](FxFrame& p) {
         Add(p, Grid(1, 1, 0.5f)), Add(p, Grid(1, 1, 0.5f)), Add(p, Grid(2, 1, 0.5f));
       }},
  };
  for (const Case& c : cases) {
    for (FxExecutor e : {FxNoise, FxNoiseFrac, FxNoiseTurb}) {
      const std::string name = e == FxNoise ? "noise" : e == FxNoiseFrac ? "noiseFrac" : "noiseTurb";
      SCOPED_TRACE(name + ": " + c.what);
      FxFrame q = Floats({2, 1, 2});
      FxFrame p = Value();
      c.build(p);
      const std::uint16_t n = p.count;
      FxFrame r = Result();
      EXPECT_EQ(e == FxNoise ? Run(e, r, {&p}) : Run(e, r, {&q, &p}), 0u);
      EXPECT_EQ(FxErrorText, "Execution error : '" + name + "'");
      EXPECT_EQ(p.count, n);
      EXPECT_EQ(p.refCount, 1u);
    }
  }
}

TEST_F(NoiseExecutors, OctaveParametersOutsideTheTablesFail) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    std::vector<float> q;
  };
  const Case cases[] = {{{0.9f, 1, 2}}, {{33, 1, 2}},  {{-1, 1, 2}},  {{nan, 1, 2}},
                        {{4, 1, 0}},    {{4, 1, 1}},   {{4, 1, inf}}, {{4, 1, nan}},
                        {{4, 1}},       {{4}},         {{}}};
  for (const Case& c : cases) {
    for (FxExecutor e : {FxNoiseFrac, FxNoiseTurb}) {
      FxFrame q = Value();
      for (float v : c.q) Add(q, v);
      FxFrame p = Points(2);
      FxFrame r = Result();
      EXPECT_EQ(Run(e, r, {&q, &p}), 0u) << c.q.size();
      EXPECT_EQ(p.count, 2u);
      EXPECT_EQ(p.refCount, 1u);
    }
  }
  // 32 octaves are the most the tables hold.
  FxFrame q = Floats({32.5f, 1, 2});
  FxFrame p = Points(2);
  FxFrame r = Result();
  EXPECT_EQ(Run(FxNoiseFrac, r, {&q, &p}), 1u);
}

TEST_F(NoiseExecutors, OneDimensionalNoiseNeedsItsTable) {
  VertexLine saved = gNoiseGenerator.noise1D.table;
  gNoiseGenerator.noise1D.table.data = nullptr;
  FxFrame p = Points(1);
  FxFrame r = Result();
  EXPECT_EQ(Run(FxNoise, r, {&p}), 0u);
  gNoiseGenerator.noise1D.table = saved;
  EXPECT_EQ(p.refCount, 1u);
}

}  // namespace
}  // namespace veskor
