// The portal clipper against a clipper written here from the clipping rules, the polygon's
// 16-point limit, the wave noise (octave weights, seams, the inline octave against the lattice
// lookup, texels from the normal formula), the offset matrix and the wave coordinates.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "environment/noise_lattice_lookup.h"
#include "mapengine/kernel_table.h"
#include "mapengine/vertex_grid.h"
#include "render/water_mirror.h"
#include "render/water_surface.h"
#include "support/kernel_tables.h"

namespace veskor {
namespace {

using Poly = std::vector<std::array<float, 3>>;

// Each edge, the closing one last: the start point when inside, then the crossing when the
// edge is not parallel and crosses within [0, 1]; a point equal to the one before is dropped.
Poly ReferenceClip(const Poly& in, const float* pl) {
  Poly out;
  auto push = [&](const std::array<float, 3>& p) {
    if (out.empty() || out.back() != p) out.push_back(p);
  };
  if (in.size() < 2) return out;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const auto& a = in[i];
    const auto& b = in[(i + 1) % in.size()];
    const double s = double{pl[0]} * a[0] + double{pl[1]} * a[1] + double{pl[2]} * a[2] + pl[3];
    const double den = double{pl[0]} * (b[0] - a[0]) + double{pl[1]} * (b[1] - a[1]) +
                       double{pl[2]} * (b[2] - a[2]);
    if (s >= 0) push(a);
    if (std::fabs(den) < 0.0005) continue;
    const double t = -s / den;
    if (t >= 0 && t <= 1) {
      std::array<float, 3> p{};
      for (int k = 0; k < 3; ++k) p[k] = static_cast<float>(a[k] + t * (b[k] - a[k]));
      push(p);
    }
  }
  return out;
}

Poly Clip(const Poly& in, const float* plane) {
  static Portal portal;
  std::vector<PortalPoint> points(in.size());
  for (std::size_t i = 0; i < in.size(); ++i)
    for (int k = 0; k < 3; ++k) points[i][k] = in[i][k];
  portal.polygonCount = 0;
  PortalClipPlane(portal, plane, points.data(), static_cast<std::uint32_t>(in.size()));
  Poly out;
  for (std::uint32_t i = 0; i < portal.polygonCount; ++i)
    out.push_back({portal.polygon[i][0], portal.polygon[i][1], portal.polygon[i][2]});
  return out;
}

TEST(WaterMirror, ClipperFollowsTheClippingRules) {
  const Poly square = {{0, 0, 0}, {0, 4, 0}, {4, 4, 0}, {4, 0, 0}};
  const Poly tilted = {{0, 0, 0}, {0, 4, 0.0004f}, {4, 4, 0.0004f}, {4, 0, 0}};
  struct Case {
    const char* name;
    Poly in;
    float plane[4];
    std::size_t count;
  } cases[] = {
      {"all inside", square, {1, 0, 0, 1}, 4},
      {"all outside", square, {1, 0, 0, -5}, 0},
      {"half", square, {1, 0, 0, -2}, 4},
      {"corner cut", square, {-1, -1, 0, 2}, 3},
      {"through two vertices", square, {1, -1, 0, 0}, 4},
      {"edge on the plane", square, {1, 0, 0, 0}, 5},
      {"parallel within the limit", tilted, {0, 0, 1, -0.0002f}, 2},
      {"one point", {{1, 1, 1}}, {1, 0, 0, 0}, 0},
      {"two points", {{-1, 0, 0}, {1, 0, 0}}, {1, 0, 0, 0}, 3},
  };
  for (const Case& c : cases) {
    const Poly got = Clip(c.in, c.plane);
    const Poly want = ReferenceClip(c.in, c.plane);
    EXPECT_EQ(got.size(), c.count) << c.name;
    ASSERT_EQ(got.size(), want.size()) << c.name;
    for (std::size_t i = 0; i < got.size(); ++i)
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[i][k], want[i][k], 1e-5) << c.name << i;
  }
  // Just past the parallel limit the tilted edges are cut.
  const Poly steeper = {{0, 0, 0}, {0, 4, 0.0006f}, {4, 4, 0.0006f}, {4, 0, 0}};
  const float mid[4] = {0, 0, 1, -0.0003f};
  EXPECT_EQ(Clip(steeper, mid).size(), 4u);
}

TEST(WaterMirror, PolygonKeepsSixteenPointsAndDropsRepeats) {
  // A star of 12 points whose every edge crosses the plane: 24 crossings and inside points.
  Poly star;
  for (int i = 0; i < 12; ++i) {
    const double a = i * 2 * M_PI / 12;
    const double r = i % 2 == 0 ? 3.0 : 1.0;
    star.push_back({static_cast<float>(r * std::cos(a)), static_cast<float>(r * std::sin(a)), 0});
  }
  const float plane[4] = {1, 0, 0, -0.5f};
  const Poly ref = ReferenceClip(star, plane);
  const Poly got = Clip(star, plane);
  EXPECT_EQ(got.size(), std::min<std::size_t>(ref.size(), kPortalPolygonMax));
  // Exactly 16 fit; the 17th is never written.
  Poly many;
  for (int i = 0; i < 17; ++i) many.push_back({static_cast<float>(i), 0, static_cast<float>(i % 2)});
  const float all[4] = {0, 0, 0, 1};
  const Poly kept = Clip(many, all);
  ASSERT_EQ(kept.size(), 16u);
  EXPECT_EQ(kept.back()[0], 15.0f);
  // A crossing exactly at a vertex is appended once.
  const Poly square = {{0, 0, 0}, {0, 4, 0}, {4, 4, 0}, {4, 0, 0}};
  const float diagonal[4] = {1, -1, 0, 0};
  const Poly cut = Clip(square, diagonal);
  for (std::size_t i = 1; i < cut.size(); ++i) EXPECT_NE(cut[i], cut[i - 1]);
}

TEST(WaterMirror, StartQuadAndEmittedPoints) {
  Portal p;
  p.corner0[0] = 1, p.corner0[1] = 2, p.corner0[2] = 7;
  p.corner1[0] = 5, p.corner1[1] = 9, p.corner1[2] = 7;
  PortalPoint pts[kPortalPolygonMax];
  std::uint32_t n = 0;
  PortalStartQuad(p, pts, n);
  ASSERT_EQ(n, 4u);
  const float want[4][3] = {{1, 2, 7}, {1, 9, 7}, {5, 9, 7}, {5, 2, 7}};
  for (int i = 0; i < 4; ++i)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(pts[i][k], want[i][k]);
  p.polygonCount = 0;
  PortalEmitPoint(p, pts, n, 3, 0.25f);  // the closing edge, back to point 0
  PortalEmitPoint(p, pts, n, 0, 0.5f);
  ASSERT_EQ(p.polygonCount, 2u);
  EXPECT_FLOAT_EQ(p.polygon[0][0], 4.0f);
  EXPECT_FLOAT_EQ(p.polygon[0][1], 2.0f);
  EXPECT_FLOAT_EQ(p.polygon[1][1], 5.5f);
  std::uint32_t m = 0;
  PortalCopyPolygon(p, pts, m);
  EXPECT_EQ(m, 2u);
  EXPECT_EQ(pts[1][1], 5.5f);
}

class WaterNoiseTest : public ::testing::Test {
 protected:
  test::ScopedKernelTable table_;
};

TEST_F(WaterNoiseTest, InlineOctaveEqualsLatticeLookup) {
  const float places[][2] = {{0, 0},       {0.5f, 0.25f}, {0.999f, 0.001f}, {1, 1},
                             {-0.3f, 0.7f}, {-0.000005f, 0.2f}, {0.123f, 0.877f}};
  for (std::uint32_t l : {0u, 1u, 4u, 6u}) {
    for (const auto& p : places)
      EXPECT_EQ(WaterNoise(l, l + 1, p[0], p[1]), NoiseLatticeLookup(l, l + 1, p[0], p[1]))
          << l << " " << p[0] << " " << p[1];
  }
}

TEST_F(WaterNoiseTest, OctavesWeightedAndSeamless) {
  VertexGrid U{}, V{}, C{};
  VertexGridInit(U), VertexGridInit(V), VertexGridInit(C);
  VertexGridAlloc(U, 4, 4), VertexGridAlloc(V, 4, 4);
  const std::uint32_t side = 17;
  for (std::uint32_t r = 0; r < side; ++r)
    for (std::uint32_t c = 0; c < side; ++c) {
      U.data[r * side + c] = static_cast<float>(c) / 16 + 0.013f * static_cast<float>(r % 3);
      V.data[r * side + c] = static_cast<float>(r) / 16;
    }
  FractalNoiseGrid(3, 4, 4, 1, 1, U, V, C);
  ASSERT_NE(C.data, nullptr);
  EXPECT_EQ(C.log2Width, 4);
  // Weights 4/7, 2/7, 1/7 (they add up to 1) on 16, 32 and 64 cells.
  EXPECT_DOUBLE_EQ(4.0 / 7 + 2.0 / 7 + 1.0 / 7, 1.0);
  for (std::uint32_t i = 0; i < side * side; i += 7) {
    const float u = U.data[i], v = V.data[i];
    const double want = 4.0 / 7 * NoiseLatticeLookup(4, 4, u, v) +
                        2.0 / 7 * NoiseLatticeLookup(5, 5, u, v) +
                        1.0 / 7 * NoiseLatticeLookup(6, 6, u, v);
    EXPECT_NEAR(C.data[i], want, 1e-6) << i;
  }
  // A single octave is the noise itself; sx = 2 gives weights 3/4, 3/16 (r = 1/4, n = 2: / (15/16)).
  FractalNoiseGrid(2, 3, 3, 2, 2, U, V, C);
  for (std::uint32_t i = 0; i < side * side; i += 11) {
    const float u = U.data[i], v = V.data[i];
    const double want = 0.8 * NoiseLatticeLookup(3, 3, u, v) + 0.2 * NoiseLatticeLookup(5, 5, u, v);
    EXPECT_NEAR(C.data[i], want, 1e-6) << i;
  }
  // The last row and column equal the first.
  for (std::uint32_t r = 0; r < side; ++r)
    for (std::uint32_t c = 0; c < side; ++c)
      U.data[r * side + c] = static_cast<float>(c) / 16, V.data[r * side + c] = static_cast<float>(r) / 16;
  FractalNoiseGrid(3, 2, 2, 1, 1, U, V, C);
  for (std::uint32_t k = 0; k < side; ++k) {
    EXPECT_FLOAT_EQ(C.data[k * side + 16], C.data[k * side]) << k;
    EXPECT_FLOAT_EQ(C.data[16 * side + k], C.data[k]) << k;
  }
  VertexGridRelease(U), VertexGridRelease(V), VertexGridRelease(C);
}

TEST_F(WaterNoiseTest, TexelsAreTheScaledNormalOfTheCell) {
  VertexGrid C{};
  VertexGridInit(C);
  VertexGridAlloc(C, 2, 2);
  for (std::uint32_t i = 0; i < 25; ++i) C.data[i] = 0.01f * static_cast<float>((i * 7) % 11);
  C.data[1] = 0.5f, C.data[5] = -0.2f;  // a steep first cell
  std::int8_t texels[2 * 16];
  WaterPassTexels(C, texels);
  for (std::uint32_t r = 0; r < 4; ++r)
    for (std::uint32_t c = 0; c < 4; ++c) {
      const double c00 = C.data[r * 5 + c], c01 = C.data[r * 5 + c + 1];
      const double c10 = C.data[(r + 1) * 5 + c], c11 = C.data[(r + 1) * 5 + c + 1];
      const double d1 = c11 - c00, d2 = c01 - c10;
      const double n[3] = {-0.0125 * (d1 + d2), 0.0125 * (d2 - d1), 0.0003125};
      const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
      const double x = 127 * n[0] / len, y = 127 * n[1] / len;
      EXPECT_NEAR(texels[2 * (r * 4 + c)], x, 1.0) << r << c;
      EXPECT_NEAR(texels[2 * (r * 4 + c) + 1], y, 1.0) << r << c;
      EXPECT_LE(std::abs(texels[2 * (r * 4 + c)]), std::abs(static_cast<int>(x)) + 1);
    }
  VertexGridRelease(C);
}

TEST(WaterSurface, FormatTableAndOffsetMatrix) {
  EXPECT_EQ(WaterPassFormatCode(2), 22u);
  EXPECT_EQ(WaterPassFormatCode(3), 19u);
  EXPECT_EQ(WaterPassFormatCode(4), 20u);
  EXPECT_EQ(WaterPassFormatCode(1), 16u);
  EXPECT_EQ(WaterPassFormatCode(0), 16u);
  EXPECT_EQ(WaterPassTexture.state.formatCode, 16u);
  struct Case {
    float d[3];
    float b;
    float m[4];
  } cases[] = {
      {{1, 0, 0}, 2, {0, 0.0625f, 0.03125f, 0}},
      {{-1, 0, 0}, 1, {0, 0.03125f, 0.015625f, 0}},
      {{0, 1, 0}, 1, {0.015625f, 0, 0, 0.03125f}},
      {{0.6f, -0.8f, 0}, 1, {0.0125f, 0.01875f, 0.009375f, 0.025f}},
      {{0, 0, -1}, 1, {0, 0.03125f, 0.015625f, 0}},               // straight down
      {{0.9e-6f, 0, -1}, 1, {0, 0.03125f, 0.015625f, 0}},         // below the threshold
      {{0, 1.1e-6f, -1}, 1, {0.015625f, 0, 0, 0.03125f}},         // just above it
  };
  for (const Case& c : cases) {
    float m[4];
    WaterOffsetMatrix(c.d, c.b, m);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(m[i], c.m[i], 1e-6) << c.d[0] << " " << c.d[1] << i;
  }
}

TEST(WaterSurface, WaveCoordinateOfThePlanePoint) {
  Camera k;
  k.position[0] = 10, k.position[1] = 20, k.position[2] = 30;
  // Window corners one unit ahead, looking down along -z: (xmin, ymin), (xmin, ymax),
  // (xmax, ymin), (xmax, ymax).
  const float corners[4][3] = {{9, 19, 29}, {9, 21, 29}, {11, 19, 29}, {11, 21, 29}};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 3; ++j) k.corners[i][j] = corners[i][j];
  const float phase[2] = {3, -2};
  const float scale[2] = {0.04f, 0.04f};
  struct Case {
    float a, b, z, hx, hy, t;
  } cases[] = {
      {0.5f, 0.5f, 0, 10, 20, 30}, {0, 0, 0, -20, -10, 30}, {1, 1, 20, 20, 30, 10}};
  for (const Case& c : cases) {
    const float w[2] = {c.a, c.b};
    float out[4];
    WaterPlaneTexCoord(k, c.z, w, phase, scale, out);
    EXPECT_NEAR(out[3], 1 / c.t, 1e-6);
    EXPECT_NEAR(out[0] / out[3], (c.hx - 3) * 0.04, 1e-4);
    EXPECT_NEAR(out[1] / out[3], (c.hy + 2) * 0.04, 1e-4);
    EXPECT_EQ(out[2], 0.0f);
  }
  // 25 units of phase move the wave coordinate by exactly one texture period.
  const float w[2] = {0.3f, 0.6f};
  const float shifted[2] = {phase[0] + 25, phase[1] - 25};
  float a[4], b[4];
  WaterPlaneTexCoord(k, 0, w, phase, scale, a);
  WaterPlaneTexCoord(k, 0, w, shifted, scale, b);
  EXPECT_NEAR(a[0] / a[3] - b[0] / b[3], 1.0, 1e-4);
  EXPECT_NEAR(b[1] / b[3] - a[1] / a[3], 1.0, 1e-4);
}

}  // namespace
}  // namespace veskor
