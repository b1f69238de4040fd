// The periodic lattice noise against its double-precision reference, its zeros and periods.
#include "environment/noise_lattice_lookup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "environment/environment_reference.h"

namespace veskor {
namespace {

using test::LatticeNoiseRef;

TEST(NoiseLatticeLookup, MatchesTheReference) {
  std::mt19937 rng(33);
  std::uniform_real_distribution<float> coordinate(-3.0f, 3.0f);
  for (int n = 0; n < 20000; ++n) {
    const std::uint32_t px = n % 9, py = (n / 9) % 9;
    const float x = coordinate(rng), y = coordinate(rng);
    ASSERT_NEAR(NoiseLatticeLookup(px, py, x, y), LatticeNoiseRef(px, py, x, y), 2e-6)
        << px << " " << py << " " << x << " " << y;
  }
}

TEST(NoiseLatticeLookup, ZeroOnTheLatticeAndPeriodicInBothDirections) {
  for (std::uint32_t p = 0; p <= 7; ++p) {
    const float cell = std::ldexp(1.0f, -static_cast<int>(p));
    for (int k = -5; k <= 5; ++k) {
      EXPECT_EQ(NoiseLatticeLookup(p, 3, k * cell, 0.25f * k), 0.0f) << p << " " << k;
      EXPECT_EQ(NoiseLatticeLookup(2, p, 0.5f, k * cell), 0.0f) << p << " " << k;
    }
    for (float v : {0.10205078125f, 0.33349609375f, 0.71142578125f}) {  // exact with 1 added
      const float base = NoiseLatticeLookup(p, p + 1, v, 1 - v);
      EXPECT_NE(base, 0.0f);
      EXPECT_EQ(NoiseLatticeLookup(p, p + 1, v + 1, 1 - v), base) << p << " " << v;
      EXPECT_EQ(NoiseLatticeLookup(p, p + 1, v, 2 - v), base) << p << " " << v;
      EXPECT_EQ(NoiseLatticeLookup(p, p + 1, v - 1, -v), base) << p << " " << v;
    }
  }
}

TEST(NoiseLatticeLookup, NegativeCoordinatesNearAnIntegerKeepItsCell) {
  // Lattice coordinates around -2 (px = 3: x = X / 8): within 1e-5 below -2 the cell stays at
  // -2 with a tiny negative fraction, further below it is the cell -3; just above -2 it is -2.
  // Either way the noise runs on continuously to its zero at the lattice point (-2, 1).
  const double X[] = {-2.0 - 5e-6, -2.0 - 9e-6, -2.0 - 2e-5, -2.0 + 5e-6, -2.0 + 2e-5, -2.0};
  for (double v : X) {
    const float x = static_cast<float>(v / 8);
    const float got = NoiseLatticeLookup(3, 2, x, 0.25f);
    EXPECT_NEAR(got, LatticeNoiseRef(3, 2, x, 0.25f), 2e-6) << v;
    EXPECT_NEAR(NoiseLatticeLookup(2, 3, 0.3f, x), LatticeNoiseRef(2, 3, 0.3f, x), 2e-6) << v;
    EXPECT_NEAR(got, 0.0f, 1e-4) << v;  // continuous across the lattice line
  }
}

}  // namespace
}  // namespace veskor
