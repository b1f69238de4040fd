#include "mapengine/field_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "mapengine/kernel_support.h"

namespace veskor {
namespace {

using test::Tables;

std::size_t Vertices(int a, int b) { return ((1u << a) + 1) * ((1u << b) + 1); }
std::size_t Cells(int a, int b) { return ((1u << a) + 2) * ((1u << b) + 2); }

// Three component arrays of one size.
struct Field {
  std::vector<float> x, y, z;
  explicit Field(std::size_t n, float fill = 0.0f) : x(n, fill), y(n, fill), z(n, fill) {}
};

class FieldKernels : public ::testing::TestWithParam<bool> {
 protected:
  const KernelTable& k() const { return GetParam() ? Tables().sse : Tables().plain; }
  // Tolerance of the normals: exact division on the plain path, the estimate on the SSE one.
  double normalTolerance() const { return GetParam() ? 4e-4 : 1e-7; }
};

TEST(FieldKernelsTable, BothPathsFillTheFamilysEntries) {
  const KernelTable& p = Tables().plain;
  const KernelTable& s = Tables().sse;
  // One member on both paths.
  EXPECT_NE(p.GridHeightNormals, nullptr);
  EXPECT_EQ(p.GridHeightNormals, s.GridHeightNormals);
  EXPECT_EQ(p.FieldDot, s.FieldDot);
  EXPECT_EQ(p.FieldDotConst, s.FieldDotConst);
  EXPECT_EQ(p.FieldCross, s.FieldCross);
  EXPECT_EQ(p.FieldCrossConst, s.FieldCrossConst);
  EXPECT_EQ(p.FieldNormalize3, s.FieldNormalize3);
  EXPECT_NE(p.FieldDot, nullptr);
  EXPECT_NE(p.FieldCross, nullptr);
  EXPECT_NE(p.FieldDotConst, nullptr);
  EXPECT_NE(p.FieldCrossConst, nullptr);
  EXPECT_NE(p.FieldNormalize3, nullptr);
  // Own SSE members.
  EXPECT_NE(p.GridDiagonalNormals, s.GridDiagonalNormals);
  EXPECT_NE(p.FieldLightTerms, s.FieldLightTerms);
  EXPECT_NE(p.GridTransform, s.GridTransform);
  EXPECT_NE(p.GridTransformVectors, s.GridTransformVectors);
  for (const KernelTable* t : {&p, &s}) {
    EXPECT_NE(t->GridDiagonalNormals, nullptr);
    EXPECT_NE(t->FieldLightTerms, nullptr);
    EXPECT_NE(t->GridTransform, nullptr);
    EXPECT_NE(t->GridTransformVectors, nullptr);
  }
}

TEST(FieldKernelsProducts, CrossAndDotOfConstantFields) {
  const KernelTable& k = Tables().plain;
  const std::size_t n = Vertices(1, 2);
  Field ex(n), ey(n);
  for (std::size_t i = 0; i < n; ++i) ex.x[i] = ey.y[i] = 1.0f;
  Field out(n, -1.0f);
  k.FieldCross(1, 2, ex.x.data(), ex.y.data(), ex.z.data(), ey.x.data(), ey.y.data(),
               ey.z.data(), out.x.data(), out.y.data(), out.z.data());
  Field constOut(n, -1.0f);
  k.FieldCrossConst(1, 2, ex.x.data(), ex.y.data(), ex.z.data(), 0, 1, 0, constOut.x.data(),
                    constOut.y.data(), constOut.z.data());
  for (std::size_t i = 0; i < n; ++i) {
    EXPECT_EQ(out.x[i], 0.0f);
    EXPECT_EQ(out.y[i], 0.0f);
    EXPECT_EQ(out.z[i], 1.0f);
    EXPECT_EQ(constOut.x[i], 0.0f);
    EXPECT_EQ(constOut.y[i], 0.0f);
    EXPECT_EQ(constOut.z[i], 1.0f);
  }

  // Dots of (1, 2, 3) with (4, -5, 6) and with the constant (0.5, 0, 2); then a cross written
  // over its own first source.
  Field u(n), v(n);
  for (std::size_t i = 0; i < n; ++i) {
    u.x[i] = 1, u.y[i] = 2, u.z[i] = 3;
    v.x[i] = 4, v.y[i] = -5, v.z[i] = 6;
  }
  std::vector<float> dot(n), dotConst(n);
  k.FieldDot(1, 2, u.x.data(), u.y.data(), u.z.data(), v.x.data(), v.y.data(), v.z.data(),
             dot.data());
  k.FieldDotConst(1, 2, u.x.data(), u.y.data(), u.z.data(), 0.5f, 0.0f, 2.0f, dotConst.data());
  k.FieldCross(1, 2, u.x.data(), u.y.data(), u.z.data(), v.x.data(), v.y.data(), v.z.data(),
               u.x.data(), u.y.data(), u.z.data());
  for (std::size_t i = 0; i < n; ++i) {
    EXPECT_EQ(dot[i], 12.0f);
    EXPECT_EQ(dotConst[i], 6.5f);
    EXPECT_EQ(u.x[i], 27.0f);  // (2*6 - 3*-5, 3*4 - 1*6, 1*-5 - 2*4)
    EXPECT_EQ(u.y[i], 6.0f);
    EXPECT_EQ(u.z[i], -13.0f);
  }
}

TEST(FieldKernelsProducts, NormalisationScalesToUnitLengthAndLeavesZeroVectorsAlone) {
  const KernelTable& k = Tables().plain;
  struct Case {
    float x, y, z, ex, ey, ez;
  } cases[] = {{3, 4, 0, 0.6f, 0.8f, 0},
               {0, 0, -2, 0, 0, -1},
               {0, 0, 0, 0, 0, 0},
               {1e-30f, 0, 0, 1, 0, 0},
               {0.6f, 0.8f, 0, 0.6f, 0.8f, 0}};
  const std::size_t n = std::size(cases);  // a = 2, b = 0 has 5 * 2 values: two rounds
  Field f(Vertices(2, 0));
  for (std::size_t i = 0; i < f.x.size(); ++i) {
    f.x[i] = cases[i % n].x, f.y[i] = cases[i % n].y, f.z[i] = cases[i % n].z;
  }
  k.FieldNormalize3(2, 0, f.x.data(), f.y.data(), f.z.data(), f.x.data(), f.y.data(),
                    f.z.data());
  for (std::size_t i = 0; i < f.x.size(); ++i) {
    EXPECT_FLOAT_EQ(f.x[i], cases[i % n].ex) << i;
    EXPECT_FLOAT_EQ(f.y[i], cases[i % n].ey) << i;
    EXPECT_FLOAT_EQ(f.z[i], cases[i % n].ez) << i;
  }
}

TEST_P(FieldKernels, TransformsApplyTheMatrixAndItsTranslation) {
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float moved[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
  // Rows (0 -1 0 | 5), (2 0 0 | 0), (0 0 1 | -1).
  const float turned[16] = {0, 2, 0, 9, -1, 0, 0, 9, 0, 0, 1, 9, 5, 0, -1, 9};
  for (bool cells : {false, true}) {
    const std::size_t n = cells ? Cells(2, 1) : Vertices(2, 1);
    Field f(n);
    for (std::size_t i = 0; i < n; ++i) f.x[i] = i, f.y[i] = 0.5f * i, f.z[i] = -1.0f * i;
    auto transform = cells ? k().GridTransformVectors : k().GridTransform;
    struct Case {
      const float* m;
      float ex[4], ey[4], ez[4];  // x, y, z coefficients of i and the constant
    } cases[] = {{identity, {1, 0}, {0.5f, 0}, {-1, 0}},
                 {moved, {1, 1}, {0.5f, 2}, {-1, 3}},
                 {turned, {-0.5f, 5}, {2, 0}, {-1, -1}}};
    for (const Case& c : cases) {
      Field out(n + 1, 77.0f);
      transform(2, 1, c.m, f.x.data(), f.y.data(), f.z.data(), out.x.data(), out.y.data(),
                out.z.data());
      for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(out.x[i], c.ex[0] * i + c.ex[1]) << i;
        EXPECT_EQ(out.y[i], c.ey[0] * i + c.ey[1]) << i;
        EXPECT_EQ(out.z[i], c.ez[0] * i + c.ez[1]) << i;
      }
      EXPECT_EQ(out.x[n], 77.0f);  // nothing past the layout's count
    }
  }
}

// Positions of a vertex grid: x = i, z = j, y = h(i, j).
template <typename Height>
Field VertexPositions(int a, int b, Height h) {
  const std::size_t w = 1u << a;
  Field f(Vertices(a, b));
  for (std::size_t k = 0; k < f.x.size(); ++k) {
    const float i = k % (w + 1), j = k / (w + 1);
    f.x[k] = i, f.z[k] = j, f.y[k] = h(i, j);
  }
  return f;
}

// The cell centres of that grid in the cell layout: x = i - 0.5, z = j - 0.5.
template <typename Height>
Field CellPositions(int a, int b, Height h) {
  const std::size_t w = 1u << a;
  Field f(Cells(a, b));
  for (std::size_t k = 0; k < f.x.size(); ++k) {
    const float i = k % (w + 2) - 0.5f, j = k / (w + 2) - 0.5f;
    f.x[k] = i, f.z[k] = j, f.y[k] = h(i, j);
  }
  return f;
}

TEST_P(FieldKernels, PlanesGiveTheirNormalEverywhere) {
  // y = s i + t j has the normal (s, -1, t) / |(s, -1, t)| in the kernels' orientation.
  struct Plane {
    float s, t;
  } planes[] = {{0, 0}, {0.5f, 0}, {-1, 2}};
  const int sizes[][2] = {{0, 0}, {0, 3}, {3, 0}, {2, 3}};
  for (const Plane& plane : planes) {
    const auto h = [&](float i, float j) { return plane.s * i + plane.t * j; };
    const double len = std::sqrt(1.0 + plane.s * plane.s + plane.t * plane.t);
    const double ex = plane.s / len, ey = -1 / len, ez = plane.t / len;
    for (const auto& size : sizes) {
      const int a = size[0], b = size[1];
      const Field vertices = VertexPositions(a, b, h);
      const Field cells = CellPositions(a, b, h);
      Field byHeights(vertices.x.size()), byDiagonals(vertices.x.size());
      k().GridHeightNormals(a, b, vertices.x.data(), vertices.y.data(), vertices.z.data(),
                            byHeights.x.data(), byHeights.y.data(), byHeights.z.data());
      k().GridDiagonalNormals(a, b, cells.x.data(), cells.y.data(), cells.z.data(),
                              byDiagonals.x.data(), byDiagonals.y.data(), byDiagonals.z.data());
      for (std::size_t i = 0; i < vertices.x.size(); ++i) {
        EXPECT_NEAR(byHeights.x[i], ex, 1e-7) << a << b << i;
        EXPECT_NEAR(byHeights.y[i], ey, 1e-7) << a << b << i;
        EXPECT_NEAR(byHeights.z[i], ez, 1e-7) << a << b << i;
        EXPECT_NEAR(byDiagonals.x[i], ex, normalTolerance()) << a << b << i;
        EXPECT_NEAR(byDiagonals.y[i], ey, normalTolerance()) << a << b << i;
        EXPECT_NEAR(byDiagonals.z[i], ez, normalTolerance()) << a << b << i;
      }
    }
  }
}

TEST_P(FieldKernels, HeightNormalsUseOneSidedDifferencesOnTheEdges) {
  // One cell wide (a = 0) and a fold along the columns: y = |j - 2| on rows 0..4. Rows 0 and
  // 4 see one slope only, row 2 (the crease) the central difference, which is flat.
  const int a = 0, b = 2;
  const Field p = VertexPositions(a, b, [](float, float j) { return std::fabs(j - 2); });
  Field n(p.x.size());
  k().GridHeightNormals(a, b, p.x.data(), p.y.data(), p.z.data(), n.x.data(), n.y.data(),
                        n.z.data());
  const double r = std::sqrt(0.5);
  const double expectZ[] = {-r, -r, 0, r, r};
  const double expectY[] = {-r, -r, -1, -r, -r};
  for (std::size_t k = 0; k < p.x.size(); ++k) {
    EXPECT_NEAR(n.x[k], 0.0, 1e-7) << k;
    EXPECT_NEAR(n.y[k], expectY[k / 2], 1e-7) << k;
    EXPECT_NEAR(n.z[k], expectZ[k / 2], 1e-7) << k;
  }
}

TEST_P(FieldKernels, DegenerateCellsGiveTheZeroNormal) {
  // Every vertex at one point, and a grid collapsed onto a line: no NaN, no infinity.
  const int a = 3, b = 2;
  const auto line = [](Field f) {
    for (std::size_t k = 0; k < f.x.size(); ++k) f.y[k] = f.z[k] = 0, f.x[k] *= 3;
    return f;
  };
  const auto flat = [](float, float) { return 0.0f; };
  for (bool collapsed : {true, false}) {
    Field vertices = collapsed ? Field(Vertices(a, b), 2.5f) : line(VertexPositions(a, b, flat));
    Field cells = collapsed ? Field(Cells(a, b), 2.5f) : line(CellPositions(a, b, flat));
    Field n1(vertices.x.size(), 9.0f), n2(vertices.x.size(), 9.0f);
    k().GridHeightNormals(a, b, vertices.x.data(), vertices.y.data(), vertices.z.data(),
                          n1.x.data(), n1.y.data(), n1.z.data());
    k().GridDiagonalNormals(a, b, cells.x.data(), cells.y.data(), cells.z.data(), n2.x.data(),
                            n2.y.data(), n2.z.data());
    for (const Field* n : {&n1, &n2})
      for (std::size_t i = 0; i < n->x.size(); ++i) {
        EXPECT_EQ(n->x[i], 0.0f) << i;
        EXPECT_EQ(n->y[i], 0.0f) << i;
        EXPECT_EQ(n->z[i], 0.0f) << i;
      }
  }
}

TEST_P(FieldKernels, LightTermsClampTheDifferenceAndScaleTheThirdComponent) {
  // s3 = 0: D1 = max(-(s0 A + s1 B + s2 C), 0); D2 = (C + 1) / 16.
  const std::size_t n = Vertices(1, 1);
  std::vector<float> fa(n), fb(n), fc(n), d1(n), d2(n);
  for (std::size_t i = 0; i < n; ++i) fa[i] = i - 4.0f, fb[i] = 0.5f, fc[i] = 1.0f;
  k().FieldLightTerms(1, 1, fa.data(), fb.data(), fc.data(), 0.25f, 2.0f, -1.0f, 0.0f,
                      d1.data(), d2.data());
  for (std::size_t i = 0; i < n; ++i) {
    EXPECT_EQ(d1[i], std::max(-(0.25f * fa[i]), 0.0f)) << i;
    EXPECT_EQ(d2[i], 0.125f);
  }
  // s3 = 1 halves the difference: (1 - (A + 0 + 0)) / 2.
  k().FieldLightTerms(1, 1, fa.data(), fb.data(), fc.data(), 1, 0, 0, 1, d1.data(), d2.data());
  for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(d1[i], std::max(0.5f * (1 - fa[i]), 0.0f));
  // A difference that is not a number is not clamped to 0.
  fa[0] = fa[n - 1] = std::numeric_limits<float>::quiet_NaN();
  k().FieldLightTerms(1, 1, fa.data(), fb.data(), fc.data(), 1, 0, 0, 1, d1.data(), d2.data());
  EXPECT_TRUE(std::isnan(d1[0]));
  EXPECT_TRUE(std::isnan(d1[n - 1]));
}

INSTANTIATE_TEST_SUITE_P(PlainAndSse, FieldKernels, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Sse" : "Plain"; });

// A units-in-the-last-place bound for sums of a few single-precision products.
double SumTolerance(double magnitude) { return 8 * std::ldexp(magnitude, -24) + 1e-30; }

TEST(FieldKernelsParity, SseMembersAgreeWithThePlainOnesOnRandomFields) {
  const KernelTable& p = Tables().plain;
  const KernelTable& s = Tables().sse;
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> unit(-1, 1);
  const int sizes[][2] = {{0, 0}, {1, 0}, {2, 3}, {5, 4}};
  for (const auto& size : sizes) {
    const int a = size[0], b = size[1];
    for (bool cells : {false, true}) {  // transforms over both layouts
      const std::size_t n = cells ? Cells(a, b) : Vertices(a, b);
      Field f(n);
      for (std::size_t i = 0; i < n; ++i) f.x[i] = 50 * unit(rng), f.y[i] = unit(rng), f.z[i] = 9 * unit(rng);
      float m[16];
      for (float& v : m) v = 4 * unit(rng);
      Field po(n), so(n);
      (cells ? p.GridTransformVectors : p.GridTransform)(a, b, m, f.x.data(), f.y.data(),
                                                         f.z.data(), po.x.data(), po.y.data(),
                                                         po.z.data());
      (cells ? s.GridTransformVectors : s.GridTransform)(a, b, m, f.x.data(), f.y.data(),
                                                         f.z.data(), so.x.data(), so.y.data(),
                                                         so.z.data());
      for (std::size_t i = 0; i < n; ++i) {
        const double mag = 4 * (std::fabs(f.x[i]) + std::fabs(f.y[i]) + std::fabs(f.z[i]) + 1);
        ASSERT_NEAR(po.x[i], so.x[i], SumTolerance(mag)) << a << b << i;
        ASSERT_NEAR(po.y[i], so.y[i], SumTolerance(mag)) << a << b << i;
        ASSERT_NEAR(po.z[i], so.z[i], SumTolerance(mag)) << a << b << i;
      }
    }

    // Diagonal normals of a jittered, hilly grid of cell centres.
    Field q(Cells(a, b));
    const std::size_t w = (1u << a) + 2;
    for (std::size_t i = 0; i < q.x.size(); ++i) {
      q.x[i] = i % w + 0.3f * unit(rng), q.z[i] = i / w + 0.3f * unit(rng), q.y[i] = 2 * unit(rng);
    }
    const std::size_t n = Vertices(a, b);
    Field pn(n), sn(n);
    p.GridDiagonalNormals(a, b, q.x.data(), q.y.data(), q.z.data(), pn.x.data(), pn.y.data(),
                          pn.z.data());
    s.GridDiagonalNormals(a, b, q.x.data(), q.y.data(), q.z.data(), sn.x.data(), sn.y.data(),
                          sn.z.data());
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_NEAR(pn.x[i], sn.x[i], 5e-4) << a << b << i;
      ASSERT_NEAR(pn.y[i], sn.y[i], 5e-4) << a << b << i;
      ASSERT_NEAR(pn.z[i], sn.z[i], 5e-4) << a << b << i;
    }

    // Light terms for s3 > -1, where both members agree.
    std::vector<float> fa(n), fb(n), fc(n), pd1(n), pd2(n), sd1(n), sd2(n);
    for (std::size_t i = 0; i < n; ++i) fa[i] = unit(rng), fb[i] = unit(rng), fc[i] = unit(rng);
    for (int round = 0; round < 8; ++round) {
      const float s0 = unit(rng), s1 = unit(rng), s2 = unit(rng), s3 = 0.9f * unit(rng) + 1.0f;
      p.FieldLightTerms(a, b, fa.data(), fb.data(), fc.data(), s0, s1, s2, s3, pd1.data(),
                        pd2.data());
      s.FieldLightTerms(a, b, fa.data(), fb.data(), fc.data(), s0, s1, s2, s3, sd1.data(),
                        sd2.data());
      const double r = 1.0 / (s3 + 1.0);
      for (std::size_t i = 0; i < n; ++i) {
        const double mag = r * (std::fabs(s3) + std::fabs(s0 * fa[i]) + std::fabs(s1 * fb[i]) +
                                std::fabs(s2 * fc[i]));
        ASSERT_NEAR(pd1[i], sd1[i], SumTolerance(mag)) << a << b << i;
        ASSERT_EQ(pd2[i], sd2[i]) << i;
      }
    }
  }
}

}  // namespace
}  // namespace veskor
