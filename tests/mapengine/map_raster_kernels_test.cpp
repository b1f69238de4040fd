#include "mapengine/map_raster_kernels.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "mapengine/clamp_float.h"
#include "mapengine/kernel_support.h"

namespace veskor {
namespace {

using test::Tables;
using test::TestBuffer;
using V = std::vector<float>;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kCanary = 12345.0f;

using MapRasterKernels = test::BothPaths;

TEST_P(MapRasterKernels, ArithmeticEdgeCases) {
  const float one[1] = {1.0f};
  float out[1];
  k().MapDivScalar(1, 0, 0, one, 4.0f, out);
  EXPECT_EQ(out[0], 0.25f);
  // Minimum and maximum give the second source on ties (told apart by the sign of zero) and
  // whenever either value is a NaN.
  const float a[4] = {-0.0f, kNaN, 1.0f, 2.0f}, b[4] = {0.0f, 1.0f, kNaN, 3.0f};
  for (bool max : {false, true}) {
    float d[4];
    (max ? k().MapMax : k().MapMin)(1, 2, 0, a, b, d);
    EXPECT_FALSE(std::signbit(d[0]));
    EXPECT_EQ(d[1], 1.0f);
    EXPECT_TRUE(std::isnan(d[2]));
    EXPECT_EQ(d[3], max ? 3.0f : 2.0f);
    (max ? k().MapMaxScalar : k().MapMinScalar)(1, 2, 0, a, 1.5f, d);
    EXPECT_EQ(d[1], 1.5f);
    EXPECT_EQ(d[max ? 3 : 2], max ? 2.0f : 1.0f);
  }
  // lo + (hi - lo) a, with hi - lo rounded to float first.
  const float t[3] = {0.0f, 1.0f, 0.5f};
  V r(3);
  k().MapScalarMinusTimes(3, 0, 0, 0.15f, 1.0f, t, r.data());
  EXPECT_EQ(r, (V{0.15f, 1.0f, static_cast<float>(double{1.0f - 0.15f} * 0.5 + 0.15f)}));
}

TEST_P(MapRasterKernels, Clamp01ClampsEveryChannelOfEveryTexel) {
  const float specials[] = {kNaN, -0.5f, 1.5f, 0.3f, -kInf, kInf, 1.0f, -0.0f, 0.999f};
  for (std::uint8_t w = 0; w < 4; ++w)
    for (std::size_t offset : {0u, 1u}) {
      const std::size_t n = RasterValues(3, w, 1);
      TestBuffer<float> data(n + 1, offset);
      for (std::size_t i = 0; i < n; ++i) data[i] = specials[i % 9];
      data[n] = kCanary;
      k().MapClamp01(3, w, 1, data.data());
      for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(data[i], Saturate(specials[i % 9])) << i;
      EXPECT_EQ(data[n], kCanary);
    }
}

// Averages by the plain formula on integer values (exact in every order of addition).
V ReferenceDownsample(int ch, int w, int h, bool halveW, bool halveH, const float* in) {
  const std::size_t ow = std::size_t{1} << (w - halveW), oh = std::size_t{1} << (h - halveH);
  const std::size_t row = std::size_t(ch) << w;
  V out;
  for (std::size_t y = 0; y < oh; ++y)
    for (std::size_t x = 0; x < ow; ++x)
      for (int c = 0; c < ch; ++c) {
        double sum = 0;
        for (std::size_t dy = 0; dy <= halveH; ++dy)
          for (std::size_t dx = 0; dx <= halveW; ++dx)
            sum += in[((halveH ? 2 * y : y) + dy) * row + ((halveW ? 2 * x : x) + dx) * ch + c];
        out.push_back(static_cast<float>(sum / ((1 + halveW) * (1 + halveH))));
      }
  return out;
}

TEST_P(MapRasterKernels, DownsampleAveragesPairsAndQuads) {
  std::mt19937 rng(2);
  for (std::uint8_t ch = 1; ch <= 5; ++ch)
    for (std::uint8_t w = 1; w <= 4; ++w)
      for (std::uint8_t h = 1; h <= 3; ++h)
        for (std::uint32_t mode = 0; mode < 4; ++mode) {
          // Bit 0 asks for the width, bit 1 for the height; neither still halves the height.
          SCOPED_TRACE(::testing::Message() << "ch " << int{ch} << " w " << int{w} << " h "
                                            << int{h} << " mode " << mode);
          TestBuffer<float> in(RasterValues(ch, w, h), 1);
          for (float& v : in) v = static_cast<float>(rng() % 1000);
          const V expected =
              ReferenceDownsample(ch, w, h, mode & 1, (mode >> 1) | (mode == 0), in.data());
          TestBuffer<float> out(expected.size() + 1, 3);
          out[expected.size()] = kCanary;
          k().MapDownsample(ch, w, h, mode & 1, mode >> 1, in.data(), out.data());
          EXPECT_EQ(V(out.begin(), out.end() - 1), expected);
          EXPECT_EQ(out[expected.size()], kCanary);
        }
}

TEST_P(MapRasterKernels, DownsampleNeverHalvesAnAxisOfOneTexel) {
  const float in[4] = {1, 3, 5, 7};  // 1 x 4
  V out(4);
  k().MapDownsample(1, 0, 2, 1, 1, in, out.data());  // only the height can halve
  EXPECT_EQ(out, (V{2, 6, 0, 0}));
  k().MapDownsample(1, 0, 2, 1, 0, in, out.data());  // only the width was asked for: a copy
  EXPECT_EQ(out, (V{1, 3, 5, 7}));
  k().MapDownsample(1, 0, 0, 0, 0, in + 3, out.data());
  EXPECT_EQ(out[0], 7.0f);
}

VESKOR_BOTH_PATHS(MapRasterKernels);

TEST(MapRasterKernels, SseArithmeticRoundsDownAndLeavesTheCallersRoundingAlone) {
  // 1 + 3/4 of a unit: to nearest gives the next float up, rounding down gives 1.
  const float tiny = 0.75f * std::ldexp(1.0f, -23);
  (void)Tables();  // built first: filling them raises flags of their own
  for (std::uint8_t w : {0, 3, 4}) {  // the one-by-one tail and whole steps of eight
    const std::size_t n = RasterValues(1, w, 0);
    V a(n, 1.0f), b(n, tiny), d(n);
    const unsigned before = _mm_getcsr();
    Tables().sse.MapAdd(1, w, 0, a.data(), b.data(), d.data());
    EXPECT_EQ(_mm_getcsr(), before);
    EXPECT_EQ(d, V(n, 1.0f)) << int{w};
    Tables().plain.MapAdd(1, w, 0, a.data(), b.data(), d.data());
    EXPECT_EQ(d, V(n, std::nextafter(1.0f, 2.0f))) << int{w};
  }
}

// --- The members both paths share ---------------------------------------------------------------

const KernelTable& K() { return Tables().plain; }

TEST(MapRasterKernels, ByteDownsamplingShiftsOrTruncatesTowardZero) {
  const std::uint8_t u[4] = {255, 0, 255, 254};  // 2 x 2
  std::uint8_t uo[2];
  K().MapBytesDownsample(1, 1, 1, 0, 0, u, uo);  // rows: (255 + 255) >> 1, (0 + 254) >> 1
  EXPECT_TRUE(uo[0] == 255 && uo[1] == 127);
  K().MapBytesDownsample(1, 1, 1, 1, 0, u, uo);  // columns
  EXPECT_TRUE(uo[0] == 127 && uo[1] == 254);
  K().MapBytesDownsample(1, 1, 1, 1, 1, u, uo);
  EXPECT_EQ(uo[0], (255 + 255 + 254) >> 2);
  const std::int8_t s[4] = {-3, 0, -1, -2}, quad[4] = {-1, -1, -1, 0};
  std::int8_t so[2];
  K().MapBytesDownsample2(1, 1, 1, 1, 0, s, so);
  EXPECT_TRUE(so[0] == -1 && so[1] == -1);
  K().MapBytesDownsample2(1, 1, 1, 1, 1, s, so);
  EXPECT_EQ(so[0], -1);  // -6 / 4
  K().MapBytesDownsample2(1, 1, 1, 1, 1, quad, so);
  EXPECT_EQ(so[0], 0);  // -3 / 4 truncates to 0
}

TEST(MapRasterKernels, PrefixSumKeepsItsRunningSumWide) {
  const float one[1] = {5.0f};
  V two = {-1, -1, kCanary};
  K().MapPrefixSum(0, one, two.data());
  EXPECT_EQ(two, (V{0, 5, kCanary}));
  // A float running sum would lose every +1 after 2^24; a wide one loses them only per store
  // (2^24 + 1 and + 3 round to even).
  const float big = 16777216.0f;
  V sums = {big, 1, 1, 1, kCanary};
  K().MapPrefixSum(2, sums.data(), sums.data());  // in place
  EXPECT_EQ(sums, (V{0, big, big, big + 2, big + 4}));
}

TEST(MapRasterKernels, ToBorderedAveragesAroundEachVertex) {
  const float texel[1] = {7};
  V corners(4);
  K().MapToBordered(0, 0, texel, 1, corners.data());
  EXPECT_EQ(corners, V(4, 7.0f));
  // Texels 1 2 / 3 4: interior vertices take a quarter of four texels, edge vertices a quarter
  // of two, corners the corner texel.
  const float t[4] = {1, 2, 3, 4};
  TestBuffer<float> g(9);
  K().MapToBordered(1, 1, t, 1, g.data());
  EXPECT_EQ(V(g.begin(), g.end()), (V{1, 0.75f, 2, 1, 2.5f, 1.5f, 3, 1.75f, 4}));
  // A constant raster: interior c, edges c / 2, corners c.
  TestBuffer<float> grid(5 * 3);
  const V flat(4 * 2, 2.0f);
  K().MapToBordered(2, 1, flat.data(), 1, grid.data());
  EXPECT_EQ(V(grid.begin(), grid.end()), (V{2, 1, 1, 1, 2, 1, 2, 2, 2, 1, 2, 1, 1, 1, 2}));
}

TEST(MapRasterKernels, NeighbourTestWrapsAndAllowsRisesUpToTheLevel) {
  V flat(16, 0.4f), out(16, -1), peak(16, 0.0f);
  K().MapNeighbourTest(1, 2, 2, flat.data(), 0.0f, out.data());
  EXPECT_EQ(out, V(16, 1.0f));
  peak[0] = 1.0f;
  K().MapNeighbourTest(1, 2, 2, peak.data(), 0.5f, out.data());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const bool besidePeak =
          (x == 0 || x == 1 || x == 3) && (y == 0 || y == 1 || y == 3) && !(x == 0 && y == 0);
      EXPECT_EQ(out[y * 4 + x], besidePeak ? 0.0f : 1.0f) << x << "," << y;
    }
  K().MapNeighbourTest(1, 2, 2, peak.data(), 1.0f, out.data());
  EXPECT_EQ(out, V(16, 1.0f));
}

TEST(MapRasterKernels, CentreWeightScalesByTheWrappedNeighbourhood) {
  V in(16, 1.0f), out(16);
  in[0] = 2.0f;
  K().MapCentreWeight(2, 2, in.data(), out.data());
  EXPECT_EQ(out[0], 2.0f);             // 2 (0.5 + 8 / 16)
  EXPECT_EQ(out[3 * 4 + 3], 1.0625f);  // diagonal across both wraps: 0.5 + 9 / 16
  EXPECT_EQ(out[2 * 4 + 2], 1.0f);
}

constexpr double kK = kPropagateScale, kD = kPropagateDiagonal, kC = kPropagateCorner;

TEST(MapRasterKernels, SmoothingWrapsOnMapsAndStopsAtTheEdgesOfInterleavedRasters) {
  V impulse(16, 0.0f), out(16);
  impulse[0] = 1.0f;
  K().MapPropagate3(2, 2, impulse.data(), out.data());
  // The weights around texel 0, wrapped: centre 2k, sides k, diagonals k d; they sum to 1.
  V expected(16, 0.0f);
  expected[0] = static_cast<float>(2 * kK);
  for (int i : {1, 3, 4, 12}) expected[i] = static_cast<float>(kK);
  for (int i : {5, 7, 13, 15}) expected[i] = static_cast<float>(kK * kD);
  double total = 0;
  for (int i = 0; i < 16; ++i) {
    EXPECT_FLOAT_EQ(out[i], expected[i]) << i;
    total += out[i];
  }
  EXPECT_NEAR(total, 1.0, 1e-6);

  // Two channels; an impulse in channel 1 of the corner texel spreads only inside the raster.
  V two(32, 0.0f), smooth(32, -1.0f);
  two[1] = 1.0f;
  K().MapPropagate2(2, 2, 2, two.data(), smooth.data());
  expected.assign(32, 0.0f);
  expected[1] = static_cast<float>(2 * kK);
  expected[3] = expected[9] = static_cast<float>(kK);  // texels (1, 0) and (0, 1)
  expected[11] = static_cast<float>(kK * kD);
  for (int i = 0; i < 32; ++i) EXPECT_FLOAT_EQ(smooth[i], expected[i]) << i;
  // A constant raster keeps its value inside and loses the missing neighbours at the border.
  const V flat(16, 1.0f);
  K().MapPropagate2(1, 2, 2, flat.data(), out.data());
  EXPECT_NEAR(out[5], kK * (2 + 4 + 4 * kD), 1e-6);
  EXPECT_NEAR(out[0], kK * (2 + 2 + kD), 1e-6);
  EXPECT_NEAR(out[1], kK * (2 + 3 + 2 * kD), 1e-6);
}

TEST(MapRasterKernels, PropagateAddsTheOtherSideOfACommonBorder) {
  // Faces A and B, 4 x 4 texels of 2 channels. A's right column (top to bottom) meets B's left
  // column walked bottom to top. One line per channel.
  V a(32), b(32), da(32, 1.0f), db(32, 1.0f);
  for (int i = 0; i < 32; ++i) a[i] = static_cast<float>(i), b[i] = static_cast<float>(100 + i);
  const std::uint32_t startA = 3 * 2, startB = 12 * 2;  // texel (3, 0) of A, (0, 3) of B
  K().MapPropagate(2, 2, startA, startB, 8, -8, a.data(), b.data(), da.data(), db.data());
  const auto term = [](const V& s, auto idx, int k) {
    if (k == 0) return kC * s[idx(0)] + kD * s[idx(1)];
    if (k == 3) return kC * s[idx(3)] + kD * s[idx(2)];
    return s[idx(k)] + kD * (double{s[idx(k - 1)]} + s[idx(k + 1)]);
  };
  for (int c = 0; c < 2; ++c) {
    const auto ai = [&](int k) { return startA + c + 8 * k; };
    const auto bi = [&](int k) { return startB + c - 8 * k; };
    for (int k = 0; k < 4; ++k) {
      EXPECT_FLOAT_EQ(da[ai(k)], static_cast<float>(1 + kK * term(b, bi, k))) << c << k;
      EXPECT_FLOAT_EQ(db[bi(k)], static_cast<float>(1 + kK * term(a, ai, k))) << c << k;
    }
  }
  EXPECT_EQ(std::count(da.begin(), da.end(), 1.0f) + std::count(db.begin(), db.end(), 1.0f), 48);
  // A line of one element reads nothing beside it.
  TestBuffer<float> sa(1), sb(1), ta(1), tb(1);
  sa[0] = 1.0f;
  sb[0] = 2.0f;
  K().MapPropagate(1, 0, 0, 0, 1, 1, sa.data(), sb.data(), ta.data(), tb.data());
  EXPECT_FLOAT_EQ(ta[0], static_cast<float>(kK * kC * 2));
  EXPECT_FLOAT_EQ(tb[0], static_cast<float>(kK * kC * 1));
}

TEST(MapRasterKernels, CopiesAndFillsTouchExactlyTheirValues) {
  V f(3 * 4 + 1, -1.0f);
  f.back() = kCanary;
  K().MapFill(3, 1, 1, f.data(), 0.5f);
  V filled(12, 0.5f);
  filled.push_back(kCanary);
  EXPECT_EQ(f, filled);
  const float vector[3] = {1, 2, 3};
  K().MapFillVector(3, 1, 1, f.data(), vector);
  EXPECT_EQ(f, (V{1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, kCanary}));
  V floatCopy(f.size(), 0.0f);
  K().MapCopy(3, 1, 1, f.data(), floatCopy.data());
  EXPECT_EQ(floatCopy, (V{1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 0}));

  using Bytes = std::vector<std::uint8_t>;
  Bytes bytes(4 * 4 + 1, 0xEE);
  const std::uint8_t rgba[4] = {1, 2, 3, 4};
  K().MapFillBytesVector(4, 1, 1, bytes.data(), rgba);
  EXPECT_EQ(bytes, (Bytes{1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 0xEE}));
  Bytes expected = bytes;  // the copies stop before the last byte
  expected.back() = 0;
  for (int member = 0; member < 2; ++member) {
    Bytes copy(bytes.size(), 0);
    (member ? K().MapCopyBytes2 : K().MapCopyBytes)(member ? 2 : 4, member ? 2 : 1, 1,
                                                    bytes.data(), copy.data());
    EXPECT_EQ(copy, expected) << member;
  }
  Bytes grid(5 * 3 + 1, 7), gridCopy(grid.size(), 0);
  K().GridCopyBytes(2, 1, grid.data(), gridCopy.data());
  grid.back() = 0;  // past the 5 x 3 values: not copied
  EXPECT_EQ(gridCopy, grid);
}

TEST(MapRasterKernels, ChannelWritesFillOneChannelOfAnInterleavedRaster) {
  const float map[8] = {1, 2, 3, 4, 5, 6, 7, 8};  // 4 x 2
  V rgb(24, -1.0f), rgba(32, -1.0f), bordered(6 * 4, -9.0f);  // the border holds -9
  K().MapWriteChannel(3, 1, 2, 1, map, rgb.data());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) bordered[(y + 1) * 6 + x + 1] = map[y * 4 + x];
  K().MapWriteChannelFromBordered(4, 3, 2, 1, bordered.data(), rgba.data());
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(rgb[3 * i + 1], map[i]);
    EXPECT_TRUE(rgb[3 * i] == -1.0f && rgb[3 * i + 2] == -1.0f) << i;
    EXPECT_EQ(rgba[4 * i + 3], map[i]);
    EXPECT_EQ(rgba[4 * i + 2], -1.0f);
  }
}

}  // namespace
}  // namespace veskor
