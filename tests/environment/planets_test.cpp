// The planets' group frame and terminator without drawing: the frame of a group direction,
// vertical ones and those just off vertical included, and the light across the terminator,
// the hard one of a zero ring size included.
#include "environment/planets.h"

#include <gtest/gtest.h>

#include <cmath>

namespace veskor {
namespace {

TEST(PlanetGroupFrame, UIsHorizontalAndVCompletesTheFrame) {
  const struct {
    float d[3];
    float u[3];  // expected
  } cases[] = {
      {{0.6f, 0.8f, 0}, {0.8f, -0.6f, 0}},
      {{-0.48f, 0.36f, 0.8f}, {0.6f, 0.8f, 0}},
      {{0, 0, 1}, {1, 0, 0}},
      {{0, 0, -1}, {1, 0, 0}},
      {{0.9e-5f, 0, 1}, {1, 0, 0}},   // horizontal length within 1e-5: vertical
      {{1.1e-5f, 0, 1}, {0, -1, 0}},  // just beyond: (d.y, -d.x) / 1.1e-5
      {{0, -1.1e-5f, -1}, {-1, 0, 0}},
  };
  for (const auto& c : cases) {
    float u[3], d[3], v[3];
    PlanetGroupFrame(c.d, u, d, v);
    for (int a = 0; a < 3; ++a) {
      EXPECT_NEAR(u[a], c.u[a], 1e-6) << c.d[0] << " " << c.d[1] << " " << c.d[2];
      EXPECT_EQ(d[a], c.d[a]);
    }
    // v = u x d
    EXPECT_NEAR(v[0], c.u[1] * c.d[2] - c.u[2] * c.d[1], 1e-6);
    EXPECT_NEAR(v[1], c.u[2] * c.d[0] - c.u[0] * c.d[2], 1e-6);
    EXPECT_NEAR(v[2], c.u[0] * c.d[1] - c.u[1] * c.d[0], 1e-6);
  }
}

TEST(PlanetTerminator, LinearAcrossTheRingAndHardWithoutOne) {
  const struct {
    float L, ringSize, M;
  } cases[] = {
      {0.5f, 0.2f, 1}, {0.2001f, 0.2f, 1},   {0.2f, 0.2f, 1},  {0.1f, 0.2f, 0.75f},
      {0, 0.2f, 0.5f}, {-0.1f, 0.2f, 0.25f}, {-0.2f, 0.2f, 0}, {-0.2001f, 0.2f, 0},
      {1e-30f, 0, 1},  {0, 0, 0.5f},         {-1e-30f, 0, 0},  {-1, 0, 0},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(TerminatorFactor(c.L, c.ringSize), c.M, 1e-6) << c.L << " " << c.ringSize;
}

}  // namespace
}  // namespace veskor
