#include "mapengine/field_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "mapengine/kernel_support.h"

namespace veskor {
namespace {

using test::Tables;

std::size_t Vertices(int a, int b) { return ((1u << a) + 1) * ((1u << b) + 1); }
std::size_t Cells(int a, int b) { return ((1u << a) + 2) * ((1u << b) + 2); }

// Three component arrays of one size.
struct Field {
  std::vector<float> c[3];
  explicit Field(std::size_t n, float fill = 0.0f) {
    for (auto& component : c) component.assign(n, fill);
  }
  float* x() { return c[0].data(); }
  float* y() { return c[1].data(); }
  float* z() { return c[2].data(); }
  std::size_t size() const { return c[0].size(); }
};

TEST(FieldKernelsProducts, CrossDotAndNormaliseValueByValue) {
  const KernelTable& k = Tables().plain;
  struct Case {
    float u[3], v[3], cross[3], dot, unit[3];
  } cases[] = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 0, {1, 0, 0}},
               {{3, 4, 0}, {4, -5, 6}, {24, -18, -31}, -8, {0.6f, 0.8f, 0}},
               {{0, 0, 0}, {1, 2, 3}, {0, 0, 0}, 0, {0, 0, 0}},  // a zero vector stays
               {{0, 0, -2}, {1, 1, 1}, {2, -2, 0}, -2, {0, 0, -1}},
               {{1e-30f, 0, 0}, {0, 0, 1}, {0, -1e-30f, 0}, 0, {1, 0, 0}}};
  const int a = 2, b = 0;  // 5 x 2 values: every case twice
  Field u(Vertices(a, b)), v(u.size()), crossConst(u.size()), unit(u.size());
  std::vector<float> dot(u.size()), dotConst(u.size());
  for (std::size_t i = 0; i < u.size(); ++i)
    for (int e = 0; e < 3; ++e) u.c[e][i] = cases[i % 5].u[e], v.c[e][i] = cases[i % 5].v[e];
  k.FieldDot(a, b, u.x(), u.y(), u.z(), v.x(), v.y(), v.z(), dot.data());
  k.FieldDotConst(a, b, u.x(), u.y(), u.z(), 0.5f, -1.0f, 2.0f, dotConst.data());
  k.FieldCrossConst(a, b, u.x(), u.y(), u.z(), 0, 1, 0, crossConst.x(), crossConst.y(),
                    crossConst.z());
  k.FieldNormalize3(a, b, u.x(), u.y(), u.z(), unit.x(), unit.y(), unit.z());
  // Written over its own second source: each value is read before it is written.
  k.FieldCross(a, b, u.x(), u.y(), u.z(), v.x(), v.y(), v.z(), v.x(), v.y(), v.z());
  for (std::size_t i = 0; i < u.size(); ++i) {
    const Case& c = cases[i % 5];
    EXPECT_EQ(dot[i], c.dot) << i;
    EXPECT_EQ(dotConst[i], 0.5f * c.u[0] - c.u[1] + 2 * c.u[2]) << i;
    const float expectConst[3] = {-c.u[2], 0, c.u[0]};  // u x (0, 1, 0)
    for (int e = 0; e < 3; ++e) {
      EXPECT_EQ(v.c[e][i], c.cross[e]) << i << " " << e;
      EXPECT_EQ(crossConst.c[e][i], expectConst[e]) << i << " " << e;
      EXPECT_FLOAT_EQ(unit.c[e][i], c.unit[e]) << i << " " << e;
    }
  }
}

using FieldKernels = test::BothPaths;

TEST_P(FieldKernels, TransformsApplyTheMatrixToEveryValueOfTheLayout) {
  // Columns (0 2 0), (-1 0 0), (0 0 1), translation (5 0 -1); elements 3, 7, 11, 15 unread.
  const float m[16] = {0, 2, 0, 9, -1, 0, 0, 9, 0, 0, 1, 9, 5, 0, -1, 9};
  for (bool cells : {false, true}) {
    const std::size_t n = cells ? Cells(2, 1) : Vertices(2, 1);
    Field f(n), out(n + 1, 77.0f);
    for (std::size_t i = 0; i < n; ++i) f.c[0][i] = i, f.c[1][i] = 0.5f * i, f.c[2][i] = -1.0f * i;
    (cells ? k().GridTransformVectors : k().GridTransform)(2, 1, m, f.x(), f.y(), f.z(),
                                                           out.x(), out.y(), out.z());
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_EQ(out.c[0][i], 5 - 0.5f * i) << i;
      EXPECT_EQ(out.c[1][i], 2.0f * i) << i;
      EXPECT_EQ(out.c[2][i], -1.0f * i - 1) << i;
    }
    EXPECT_EQ(out.c[0][n], 77.0f);  // nothing past the layout's count
  }
}

// Positions x = i, z = j, y = h(i, j) over (2^a + extra) x (2^b + extra) points, shifted by
// `shift` (cell centres lie half a step before their cell-layout index).
template <typename Height>
Field Positions(int a, int b, int extra, float shift, Height h) {
  const std::size_t w = (1u << a) + extra;
  Field f(w * ((1u << b) + extra));
  for (std::size_t k = 0; k < f.size(); ++k) {
    const float i = k % w - shift, j = k / w - shift;
    f.c[0][k] = i, f.c[2][k] = j, f.c[1][k] = h(i, j);
  }
  return f;
}

TEST_P(FieldKernels, PlanesGiveTheirNormalEverywhere) {
  // y = s i + t j has the normal (s, -1, t) / |(s, -1, t)| in the kernels' orientation.
  const float planes[][2] = {{0, 0}, {0.5f, 0}, {-1, 2}};
  const int sizes[][2] = {{0, 0}, {0, 3}, {3, 0}, {2, 3}};
  const double diagonalTolerance = GetParam() ? kUnitLengthError : 1e-7;  // the root estimate
  for (const auto& plane : planes) {
    const auto h = [&](float i, float j) { return plane[0] * i + plane[1] * j; };
    const double len = std::sqrt(1.0 + plane[0] * plane[0] + plane[1] * plane[1]);
    const double expect[3] = {plane[0] / len, -1 / len, plane[1] / len};
    for (const auto& size : sizes) {
      const int a = size[0], b = size[1];
      Field vertices = Positions(a, b, 1, 0.0f, h), cells = Positions(a, b, 2, 0.5f, h);
      Field byHeights(vertices.size()), byDiagonals(vertices.size());
      k().GridHeightNormals(a, b, vertices.x(), vertices.y(), vertices.z(), byHeights.x(),
                            byHeights.y(), byHeights.z());
      k().GridDiagonalNormals(a, b, cells.x(), cells.y(), cells.z(), byDiagonals.x(),
                              byDiagonals.y(), byDiagonals.z());
      for (std::size_t i = 0; i < vertices.size(); ++i)
        for (int e = 0; e < 3; ++e) {
          ASSERT_NEAR(byHeights.c[e][i], expect[e], 1e-7) << a << b << " at " << i;
          ASSERT_NEAR(byDiagonals.c[e][i], expect[e], diagonalTolerance) << a << b << " " << i;
        }
    }
  }
}

TEST_P(FieldKernels, DegenerateCellsGiveTheZeroNormal) {
  // Every point at one place, or all of them on one line: no NaN, no infinity.
  const int a = 3, b = 2;
  const auto flat = [](float, float) { return 0.0f; };
  for (bool collapsed : {true, false}) {
    Field vertices = Positions(a, b, 1, 0, flat), cells = Positions(a, b, 2, 0.5f, flat);
    for (Field* f : {&vertices, &cells})
      for (std::size_t i = 0; i < f->size(); ++i)
        f->c[0][i] = collapsed ? 2.5f : 3 * f->c[0][i], f->c[2][i] = collapsed ? 2.5f : 0;
    Field n1(vertices.size(), 9.0f), n2(vertices.size(), 9.0f);
    k().GridHeightNormals(a, b, vertices.x(), vertices.y(), vertices.z(), n1.x(), n1.y(),
                          n1.z());
    k().GridDiagonalNormals(a, b, cells.x(), cells.y(), cells.z(), n2.x(), n2.y(), n2.z());
    for (const Field* n : {&n1, &n2})
      for (int e = 0; e < 3; ++e)
        for (float value : n->c[e]) ASSERT_EQ(value, 0.0f) << collapsed;
  }
}

TEST_P(FieldKernels, LightTermsClampTheDifferenceAndScaleTheThirdComponent) {
  const std::size_t n = Vertices(1, 1);
  std::vector<float> fa(n), fb(n, 0.5f), fc(n, 1.0f), d1(n), d2(n);
  for (std::size_t i = 0; i < n; ++i) fa[i] = i - 4.0f;
  // s3 = 0: D1 = max(-(s0 A + s1 B + s2 C), 0) = max(-A / 4, 0); D2 = (C + 1) / 16.
  k().FieldLightTerms(1, 1, fa.data(), fb.data(), fc.data(), 0.25f, 2, -1, 0, d1.data(),
                      d2.data());
  for (std::size_t i = 0; i < n; ++i) {
    EXPECT_EQ(d1[i], std::max(-0.25f * fa[i], 0.0f)) << i;
    EXPECT_EQ(d2[i], 0.125f);
  }
  // s3 = 1 halves the difference; a difference that is not a number stays one.
  fa[0] = fa[n - 1] = std::numeric_limits<float>::quiet_NaN();
  k().FieldLightTerms(1, 1, fa.data(), fb.data(), fc.data(), 1, 0, 0, 1, d1.data(), d2.data());
  for (std::size_t i = 1; i + 1 < n; ++i) EXPECT_EQ(d1[i], std::max(0.5f * (1 - fa[i]), 0.0f));
  EXPECT_TRUE(std::isnan(d1[0]) && std::isnan(d1[n - 1]));
}

VESKOR_BOTH_PATHS(FieldKernels);

}  // namespace
}  // namespace veskor
