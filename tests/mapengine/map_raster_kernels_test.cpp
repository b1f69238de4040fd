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
#include "mapengine/kernel_table.h"
#include "mapengine/test_buffer.h"

namespace veskor {
namespace {

using test::Entries;
using test::FillUniform;
using test::Tables;
using test::TestBuffer;
using test::Ulp;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kCanary = 12345.0f;

TEST(MapRasterKernels, BothPathsFillEveryEntryAndShareTheOneMemberEntries) {
  const auto plain = Entries(Tables().plain), sse = Entries(Tables().sse);
  for (std::uint32_t e : {28u, 31u, 32u, 33u, 34u, 35u, 36u, 37u, 38u, 39u, 40u, 41u,
                          42u, 47u, 48u, 49u, 50u, 51u, 52u, 61u, 62u, 63u, 64u}) {
    EXPECT_NE(plain[e], 0u) << e;
    EXPECT_EQ(plain[e], sse[e]) << e;
  }
  for (std::uint32_t e : {43u, 44u, 53u, 54u, 55u, 56u, 57u, 58u, 59u, 60u}) {
    EXPECT_NE(plain[e], 0u) << e;
    EXPECT_NE(sse[e], 0u) << e;
    EXPECT_NE(plain[e], sse[e]) << e;
  }
}

class MapRasterKernels : public ::testing::TestWithParam<bool> {
 protected:
  const KernelTable& k() const { return GetParam() ? Tables().sse : Tables().plain; }
};

TEST_P(MapRasterKernels, ArithmeticEdgeCases) {
  const float one[1] = {1.0f};
  float out[1];
  k().MapDivScalar(1, 0, 0, one, 4.0f, out);
  EXPECT_EQ(out[0], 0.25f);
  // Minimum and maximum give the second source on ties (told apart by the sign of zero) and
  // whenever either value is a NaN.
  const float a[4] = {-0.0f, kNaN, 1.0f, 2.0f};
  const float b[4] = {0.0f, 1.0f, kNaN, 3.0f};
  float d[4];
  k().MapMin(1, 2, 0, a, b, d);
  EXPECT_FALSE(std::signbit(d[0]));
  EXPECT_EQ(d[1], 1.0f);
  EXPECT_TRUE(std::isnan(d[2]));
  EXPECT_EQ(d[3], 2.0f);
  k().MapMax(1, 2, 0, a, b, d);
  EXPECT_FALSE(std::signbit(d[0]));
  EXPECT_EQ(d[1], 1.0f);
  EXPECT_TRUE(std::isnan(d[2]));
  EXPECT_EQ(d[3], 3.0f);
  k().MapMinScalar(1, 2, 0, a, 1.5f, d);
  EXPECT_EQ(d[1], 1.5f);
  EXPECT_EQ(d[2], 1.0f);
  k().MapMaxScalar(1, 2, 0, a, 1.5f, d);
  EXPECT_EQ(d[1], 1.5f);
  EXPECT_EQ(d[3], 2.0f);
  // lo + (hi - lo) a, with hi - lo rounded to float first.
  const float t[3] = {0.0f, 1.0f, 0.5f};
  float r[3];
  k().MapScalarMinusTimes(3, 0, 0, 0.15f, 1.0f, t, r);
  EXPECT_EQ(r[0], 0.15f);
  EXPECT_EQ(r[1], 1.0f);
  EXPECT_EQ(r[2], static_cast<float>(double{1.0f - 0.15f} * 0.5 + 0.15f));
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
std::vector<float> ReferenceDownsample(std::uint8_t ch, std::uint8_t w, std::uint8_t h, bool halveW,
                                       bool halveH, const float* in) {
  const std::size_t ow = std::size_t{1} << (w - halveW), oh = std::size_t{1} << (h - halveH);
  const std::size_t row = std::size_t{ch} << w;
  std::vector<float> out;
  for (std::size_t y = 0; y < oh; ++y)
    for (std::size_t x = 0; x < ow; ++x)
      for (std::size_t c = 0; c < ch; ++c) {
        double sum = 0;
        for (std::size_t dy = 0; dy <= std::size_t{halveH}; ++dy)
          for (std::size_t dx = 0; dx <= std::size_t{halveW}; ++dx)
            sum += in[((halveH ? 2 * y : y) + dy) * row + ((halveW ? 2 * x : x) + dx) * ch + c];
        out.push_back(static_cast<float>(sum / ((1 + halveW) * (1 + halveH))));
      }
  return out;
}

TEST_P(MapRasterKernels, DownsampleAveragesPairsAndQuads) {
  std::mt19937 rng(2);
  struct Mode {
    std::uint32_t halveWidth, halveHeight;
    bool width, height;
  } modes[] = {{0, 0, false, true}, {0, 1, false, true}, {1, 0, true, false}, {1, 1, true, true}};
  for (std::uint8_t ch = 1; ch <= 5; ++ch)
    for (std::uint8_t w = 1; w <= 4; ++w)
      for (std::uint8_t h = 1; h <= 3; ++h)
        for (const Mode& m : modes) {
          SCOPED_TRACE(::testing::Message()
                       << "ch " << int{ch} << " w " << int{w} << " h " << int{h} << " modes "
                       << m.halveWidth << m.halveHeight);
          TestBuffer<float> in(RasterValues(ch, w, h), 1);
          for (float& v : in) v = static_cast<float>(rng() % 1000);
          const auto expected = ReferenceDownsample(ch, w, h, m.width, m.height, in.data());
          TestBuffer<float> out(expected.size() + 1, 3);
          out[expected.size()] = kCanary;
          k().MapDownsample(ch, w, h, m.halveWidth, m.halveHeight, in.data(), out.data());
          for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(out[i], expected[i]) << i;
          EXPECT_EQ(out[expected.size()], kCanary);
        }
}

TEST_P(MapRasterKernels, DownsampleNeverHalvesAnAxisOfOneTexel) {
  const float in[4] = {1, 3, 5, 7};  // 1 x 4
  float out[4] = {};
  k().MapDownsample(1, 0, 2, 1, 1, in, out);  // only the height can halve
  EXPECT_EQ(out[0], 2.0f);
  EXPECT_EQ(out[1], 6.0f);
  k().MapDownsample(1, 0, 2, 1, 0, in, out);  // only the width was asked for: a copy
  EXPECT_EQ(out[3], 7.0f);
  const float texel[1] = {9};
  k().MapDownsample(1, 0, 0, 0, 0, texel, out);
  EXPECT_EQ(out[0], 9.0f);
}

INSTANTIATE_TEST_SUITE_P(PlainAndSse, MapRasterKernels, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Sse" : "Plain"; });

// --- The members both paths share --------------------------------------------------------------

const KernelTable& K() { return Tables().plain; }

TEST(MapRasterKernels, ByteDownsamplingShiftsOrTruncatesTowardZero) {
  const std::uint8_t u[4] = {255, 0, 255, 254};  // 2 x 2
  std::uint8_t uo[2];
  K().MapBytesDownsample(1, 1, 1, 0, 0, u, uo);  // rows: (255 + 255) >> 1, (0 + 254) >> 1
  EXPECT_EQ(uo[0], 255);
  EXPECT_EQ(uo[1], 127);
  K().MapBytesDownsample(1, 1, 1, 1, 0, u, uo);  // columns
  EXPECT_EQ(uo[0], 127);
  EXPECT_EQ(uo[1], 254);
  K().MapBytesDownsample(1, 1, 1, 1, 1, u, uo);
  EXPECT_EQ(uo[0], (255 + 255 + 254) >> 2);
  const std::int8_t s[4] = {-3, 0, -1, -2};
  std::int8_t so[2];
  K().MapBytesDownsample2(1, 1, 1, 1, 0, s, so);
  EXPECT_EQ(so[0], -1);
  EXPECT_EQ(so[1], -1);
  K().MapBytesDownsample2(1, 1, 1, 1, 1, s, so);
  EXPECT_EQ(so[0], -1);  // -6 / 4
  const std::int8_t quad[4] = {-1, -1, -1, 0};
  K().MapBytesDownsample2(1, 1, 1, 1, 1, quad, so);
  EXPECT_EQ(so[0], 0);  // -3 / 4 truncates to 0
}

TEST(MapRasterKernels, PrefixSumKeepsItsRunningSumWide) {
  const float one[1] = {5.0f};
  float two[3] = {-1, -1, kCanary};
  K().MapPrefixSum(0, one, two);
  EXPECT_EQ(two[0], 0.0f);
  EXPECT_EQ(two[1], 5.0f);
  EXPECT_EQ(two[2], kCanary);
  // A float running sum would lose every +1 after 2^24; a wide one loses them only per store.
  const float big = 16777216.0f;
  float sums[5] = {big, 1, 1, 1, kCanary};
  K().MapPrefixSum(2, sums, sums);  // in place
  EXPECT_EQ(sums[0], 0.0f);
  EXPECT_EQ(sums[1], big);
  EXPECT_EQ(sums[2], big);  // 2^24 + 1 rounds to even
  EXPECT_EQ(sums[3], big + 2);
  EXPECT_EQ(sums[4], big + 4);  // 2^24 + 3 rounds to even
}

TEST(MapRasterKernels, ToBorderedAveragesAroundEachVertex) {
  const float texel[1] = {7};
  float corners[4];
  K().MapToBordered(0, 0, texel, 1, corners);
  for (float c : corners) EXPECT_EQ(c, 7.0f);
  // Texels 1 2 / 3 4: interior vertices take a quarter of four texels, edge vertices a quarter
  // of two, corners the corner texel.
  const float t[4] = {1, 2, 3, 4};
  TestBuffer<float> g(9);
  K().MapToBordered(1, 1, t, 1, g.data());
  const float expected[9] = {1, 0.75f, 2, 1, 2.5f, 1.5f, 3, 1.75f, 4};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(g[i], expected[i]) << i;
  // A constant raster: interior c, edges c / 2, corners c.
  TestBuffer<float> flat(4 * 2), grid(5 * 3);
  for (float& v : flat) v = 2.0f;
  K().MapToBordered(2, 1, flat.data(), 1, grid.data());
  const float row0[5] = {2, 1, 1, 1, 2}, row1[5] = {1, 2, 2, 2, 1};
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(grid[x], row0[x]) << x;
    EXPECT_EQ(grid[5 + x], row1[x]) << x;
    EXPECT_EQ(grid[10 + x], row0[x]) << x;
  }
}

TEST(MapRasterKernels, NeighbourTestWrapsAndAllowsRisesUpToTheLevel) {
  std::vector<float> flat(16, 0.4f), out(16, -1);
  K().MapNeighbourTest(1, 2, 2, flat.data(), 0.0f, out.data());
  for (float v : out) EXPECT_EQ(v, 1.0f);
  std::vector<float> peak(16, 0.0f);
  peak[0] = 1.0f;
  K().MapNeighbourTest(1, 2, 2, peak.data(), 0.5f, out.data());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const bool besidePeak =
          (x == 0 || x == 1 || x == 3) && (y == 0 || y == 1 || y == 3) && !(x == 0 && y == 0);
      EXPECT_EQ(out[y * 4 + x], besidePeak ? 0.0f : 1.0f) << x << "," << y;
    }
  K().MapNeighbourTest(1, 2, 2, peak.data(), 1.0f, out.data());
  for (float v : out) EXPECT_EQ(v, 1.0f);
}

TEST(MapRasterKernels, CentreWeightScalesByTheWrappedNeighbourhood) {
  std::vector<float> in(16, 1.0f), out(16);
  in[0] = 2.0f;
  K().MapCentreWeight(2, 2, in.data(), out.data());
  EXPECT_EQ(out[0], 2.0f);             // 2 (0.5 + 8 / 16)
  EXPECT_EQ(out[3 * 4 + 3], 1.0625f);  // diagonal across both wraps: 0.5 + 9 / 16
  EXPECT_EQ(out[2 * 4 + 2], 1.0f);
}

constexpr double kK = kPropagateScale, kD = kPropagateDiagonal, kC = kPropagateCorner;

TEST(MapRasterKernels, SmoothingWrapsOnMapsAndStopsAtTheEdgesOfInterleavedRasters) {
  std::vector<float> impulse(16, 0.0f), out(16);
  impulse[0] = 1.0f;
  K().MapPropagate3(2, 2, impulse.data(), out.data());
  EXPECT_FLOAT_EQ(out[0], static_cast<float>(2 * kK));
  for (int i : {1, 3, 4, 12}) EXPECT_FLOAT_EQ(out[i], static_cast<float>(kK)) << i;
  for (int i : {5, 7, 13, 15}) EXPECT_FLOAT_EQ(out[i], static_cast<float>(kK * kD)) << i;
  for (int i : {2, 6, 8, 9, 10, 11, 14}) EXPECT_EQ(out[i], 0.0f) << i;
  double total = 0;
  for (float v : out) total += v;
  EXPECT_NEAR(total, 1.0, 1e-6);  // the weights sum to 1

  // Two channels; an impulse in channel 1 of the corner texel spreads only inside the raster.
  std::vector<float> two(32, 0.0f), smooth(32, -1.0f);
  two[1] = 1.0f;
  K().MapPropagate2(2, 2, 2, two.data(), smooth.data());
  auto at = [&](int x, int y, int c) { return smooth[(y * 4 + x) * 2 + c]; };
  EXPECT_FLOAT_EQ(at(0, 0, 1), static_cast<float>(2 * kK));
  EXPECT_FLOAT_EQ(at(1, 0, 1), static_cast<float>(kK));
  EXPECT_FLOAT_EQ(at(0, 1, 1), static_cast<float>(kK));
  EXPECT_FLOAT_EQ(at(1, 1, 1), static_cast<float>(kK * kD));
  EXPECT_EQ(at(3, 0, 1), 0.0f);
  EXPECT_EQ(at(3, 3, 1), 0.0f);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(smooth[2 * i], 0.0f);
  // A constant raster keeps its value inside and loses the missing neighbours at the border.
  std::vector<float> flat(16, 1.0f);
  K().MapPropagate2(1, 2, 2, flat.data(), out.data());
  EXPECT_NEAR(out[5], kK * (2 + 4 + 4 * kD), 1e-6);
  EXPECT_NEAR(out[0], kK * (2 + 2 + kD), 1e-6);
  EXPECT_NEAR(out[1], kK * (2 + 3 + 2 * kD), 1e-6);
}

TEST(MapRasterKernels, PropagateAddsTheOtherSideOfACommonBorder) {
  // Faces A and B, 4 x 4 texels of 2 channels. A's right column (top to bottom) meets B's left
  // column walked bottom to top. One line per channel.
  std::vector<float> a(32), b(32), da(32, 1.0f), db(32, 1.0f);
  for (int i = 0; i < 32; ++i) {
    a[i] = static_cast<float>(i);
    b[i] = static_cast<float>(100 + i);
  }
  const std::uint32_t startA = 3 * 2, startB = 12 * 2;  // texel (3, 0) of A, (0, 3) of B
  K().MapPropagate(2, 2, startA, startB, 8, -8, a.data(), b.data(), da.data(), db.data());
  for (int c = 0; c < 2; ++c) {
    auto ai = [&](int k) { return startA + c + 8 * k; };
    auto bi = [&](int k) { return startB + c - 8 * k; };
    auto term = [](const std::vector<float>& s, auto idx, int k) {
      if (k == 0) return kC * s[idx(0)] + kD * s[idx(1)];
      if (k == 3) return kC * s[idx(3)] + kD * s[idx(2)];
      return s[idx(k)] + kD * (double{s[idx(k - 1)]} + s[idx(k + 1)]);
    };
    for (int k = 0; k < 4; ++k) {
      EXPECT_FLOAT_EQ(da[ai(k)], static_cast<float>(1 + kK * term(b, bi, k))) << c << k;
      EXPECT_FLOAT_EQ(db[bi(k)], static_cast<float>(1 + kK * term(a, ai, k))) << c << k;
    }
  }
  int touched = 0;
  for (int i = 0; i < 32; ++i) touched += (da[i] != 1.0f) + (db[i] != 1.0f);
  EXPECT_EQ(touched, 16);
  // A line of one element reads nothing beside it.
  TestBuffer<float> sa(1), sb(1), ta(1), tb(1);
  sa[0] = 1.0f;
  sb[0] = 2.0f;
  K().MapPropagate(1, 0, 0, 0, 1, 1, sa.data(), sb.data(), ta.data(), tb.data());
  EXPECT_FLOAT_EQ(ta[0], static_cast<float>(kK * kC * 2));
  EXPECT_FLOAT_EQ(tb[0], static_cast<float>(kK * kC * 1));
}

TEST(MapRasterKernels, CopiesAndFillsTouchExactlyTheirValues) {
  std::vector<float> f(3 * 4 + 1, -1.0f);
  f.back() = kCanary;
  K().MapFill(3, 1, 1, f.data(), 0.5f);
  for (std::size_t i = 0; i + 1 < f.size(); ++i) EXPECT_EQ(f[i], 0.5f);
  const float vector[3] = {1, 2, 3};
  K().MapFillVector(3, 1, 1, f.data(), vector);
  for (std::size_t i = 0; i + 1 < f.size(); ++i) EXPECT_EQ(f[i], vector[i % 3]);
  EXPECT_EQ(f.back(), kCanary);

  std::vector<std::uint8_t> bytes(4 * 4 + 1, 0xEE);
  const std::uint8_t rgba[4] = {1, 2, 3, 4};
  K().MapFillBytesVector(4, 1, 1, bytes.data(), rgba);
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i) EXPECT_EQ(bytes[i], rgba[i % 4]);
  EXPECT_EQ(bytes.back(), 0xEE);

  std::vector<std::uint8_t> copy(bytes.size(), 0);
  K().MapCopyBytes(4, 1, 1, bytes.data(), copy.data());
  EXPECT_EQ(copy[15], 4);
  EXPECT_EQ(copy[16], 0);
  std::fill(copy.begin(), copy.end(), 0);
  K().MapCopyBytes2(2, 2, 1, bytes.data(), copy.data());
  EXPECT_EQ(copy[15], 4);
  EXPECT_EQ(copy[16], 0);
  std::vector<std::uint8_t> grid(5 * 3 + 1, 7), gridCopy(grid.size(), 0);
  K().GridCopyBytes(2, 1, grid.data(), gridCopy.data());
  EXPECT_EQ(gridCopy[14], 7);
  EXPECT_EQ(gridCopy[15], 0);
  std::vector<float> floatCopy(f.size(), 0.0f);
  K().MapCopy(3, 1, 1, f.data(), floatCopy.data());
  EXPECT_EQ(floatCopy[11], 3.0f);
  EXPECT_EQ(floatCopy[12], 0.0f);
}

TEST(MapRasterKernels, ChannelWritesFillOneChannelOfAnInterleavedRaster) {
  const float map[8] = {1, 2, 3, 4, 5, 6, 7, 8};  // 4 x 2
  std::vector<float> rgb(24, -1.0f);
  K().MapWriteChannel(3, 1, 2, 1, map, rgb.data());
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(rgb[3 * i + 1], map[i]);
    EXPECT_EQ(rgb[3 * i], -1.0f);
    EXPECT_EQ(rgb[3 * i + 2], -1.0f);
  }
  // The same from a bordered 6 x 4 array whose border holds -9.
  std::vector<float> bordered(6 * 4, -9.0f);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) bordered[(y + 1) * 6 + x + 1] = map[y * 4 + x];
  std::vector<float> rgba(32, -1.0f);
  K().MapWriteChannelFromBordered(4, 3, 2, 1, bordered.data(), rgba.data());
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(rgba[4 * i + 3], map[i]);
    EXPECT_EQ(rgba[4 * i + 2], -1.0f);
  }
}

// --- Plain and SSE members side by side ----------------------------------------------------------

struct Shape {
  std::uint8_t ch, w, h;
};
constexpr Shape kShapes[] = {{1, 0, 0}, {1, 1, 1}, {3, 0, 1}, {3, 1, 1}, {1, 2, 3},
                             {3, 2, 2}, {2, 4, 3}, {3, 3, 4}, {1, 5, 5}};

// Where the arrays start, in floats after a 32-byte boundary, and which of them the destination
// is: its own array, or a (or b) computed in place.
struct Layout {
  std::size_t a, b, d;
  int inPlace;  // 0 no, 1 destination = a, 2 destination = b
};
constexpr Layout kLayouts[] = {{0, 0, 0, 0}, {1, 0, 0, 0}, {0, 3, 5, 0}, {4, 4, 4, 0},
                               {0, 0, 0, 1}, {1, 1, 1, 2}, {0, 0, 0, 2}};

using BinaryEntry = void (*KernelTable::*)(std::uint8_t, std::uint8_t, std::uint8_t, const float*,
                                           const float*, float*);
using ScalarEntry = void (*KernelTable::*)(std::uint8_t, std::uint8_t, std::uint8_t, const float*,
                                           float, float*);

// Runs one member on fresh copies of the sources; the destination ends with a canary.
template <typename Run>
std::vector<float> RunOn(const Shape& s, const Layout& l, const std::vector<float>& av,
                         const std::vector<float>& bv, Run run) {
  const std::size_t n = RasterValues(s.ch, s.w, s.h);
  TestBuffer<float> a(n, l.a), b(n, l.b), d(n + 1, l.d);
  std::copy(av.begin(), av.end(), a.begin());
  std::copy(bv.begin(), bv.end(), b.begin());
  d[n] = kCanary;
  float* destination = l.inPlace == 1 ? a.data() : l.inPlace == 2 ? b.data() : d.data();
  run(a.data(), b.data(), destination);
  EXPECT_EQ(d[n], kCanary);
  return std::vector<float>(destination, destination + n);
}

TEST(MapRasterKernelsParity, ArithmeticAgreesWithinOneRoundingStep) {
  struct Binary {
    const char* name;
    BinaryEntry entry;
  } binaries[] = {{"MapMul", &KernelTable::MapMul},
                  {"MapDiv", &KernelTable::MapDiv},
                  {"MapAdd", &KernelTable::MapAdd},
                  {"MapSub", &KernelTable::MapSub}};
  struct Scalar {
    const char* name;
    ScalarEntry entry;
  } scalars[] = {{"MapMulScalar", &KernelTable::MapMulScalar},
                 {"MapDivScalar", &KernelTable::MapDivScalar},
                 {"MapAddScalar", &KernelTable::MapAddScalar},
                 {"MapSubScalar", &KernelTable::MapSubScalar}};
  const KernelTable& p = Tables().plain;
  const KernelTable& q = Tables().sse;
  std::mt19937 rng(17);
  for (const Shape& s : kShapes)
    for (const Layout& l : kLayouts) {
      const std::size_t n = RasterValues(s.ch, s.w, s.h);
      std::vector<float> av(n), bv(n);
      FillUniform(av, rng, -100.0f, 100.0f);
      for (float& v : bv)
        v = (rng() & 1 ? 1.0f : -1.0f) * std::uniform_real_distribution<float>(0.5f, 50.0f)(rng);
      const float scalar = -3.7f;
      auto compare = [&](const char* name, const std::vector<float>& pv,
                         const std::vector<float>& sv) {
        for (std::size_t i = 0; i < n; ++i)
          ASSERT_NEAR(pv[i], sv[i], 2 * Ulp(pv[i]))
              << name << " ch " << int{s.ch} << " w " << int{s.w} << " h " << int{s.h} << " layout "
              << l.a << l.b << l.d << l.inPlace << " at " << i;
      };
      for (const Binary& op : binaries) {
        auto run = [&](const KernelTable& t) {
          return RunOn(s, l, av, bv, [&](const float* a, const float* b, float* d) {
            (t.*op.entry)(s.ch, s.w, s.h, a, b, d);
          });
        };
        compare(op.name, run(p), run(q));
      }
      if (l.inPlace == 2) continue;
      for (const Scalar& op : scalars) {
        auto run = [&](const KernelTable& t) {
          return RunOn(s, l, av, bv, [&](const float* a, const float*, float* d) {
            (t.*op.entry)(s.ch, s.w, s.h, a, scalar, d);
          });
        };
        compare(op.name, run(p), run(q));
      }
      auto clamp = [&](const KernelTable& t) {
        std::vector<float> values(av);
        for (float& v : values) v /= 50.0f;
        return RunOn(s, l, values, bv, [&](const float*, const float*, float* d) {
          std::copy(values.begin(), values.end(), d);
          t.MapClamp01(s.ch, s.w, s.h, d);
        });
      };
      EXPECT_EQ(clamp(p), clamp(q));
    }
}

TEST(MapRasterKernelsParity, SseArithmeticRoundsDownAndLeavesTheCallersRoundingAlone) {
  // 1 + 3/4 of a unit: to nearest gives the next float up, rounding down gives 1.
  const float tiny = 0.75f * std::ldexp(1.0f, -23);
  (void)Tables();  // built first: filling them raises flags of their own
  for (std::uint8_t w : {0, 3, 4}) {  // the one-by-one tail and whole steps of eight
    const std::size_t n = RasterValues(1, w, 0);
    std::vector<float> a(n, 1.0f), b(n, tiny), d(n);
    const unsigned before = _mm_getcsr();
    Tables().sse.MapAdd(1, w, 0, a.data(), b.data(), d.data());
    EXPECT_EQ(_mm_getcsr(), before);
    for (float v : d) EXPECT_EQ(v, 1.0f) << int{w};
    Tables().plain.MapAdd(1, w, 0, a.data(), b.data(), d.data());
    for (float v : d) EXPECT_EQ(v, std::nextafter(1.0f, 2.0f)) << int{w};
  }
}

TEST(MapRasterKernelsParity, DownsamplingAgreesUpToRounding) {
  const KernelTable& p = Tables().plain;
  const KernelTable& q = Tables().sse;
  std::mt19937 rng(23);
  for (std::uint8_t ch = 1; ch <= 5; ++ch)
    for (std::uint8_t w = 1; w <= 5; ++w)
      for (std::uint8_t h : {1, 4})
        for (std::uint32_t hw : {0u, 1u})
          for (std::uint32_t hh : {0u, 1u}) {
            const std::size_t n = RasterValues(ch, w, h);
            TestBuffer<float> in(n, w % 2);
            FillUniform(in.span(), rng, 0.0f, 1.0f);
            std::vector<float> po(n), so(n);
            p.MapDownsample(ch, w, h, hw, hh, in.data(), po.data());
            q.MapDownsample(ch, w, h, hw, hh, in.data(), so.data());
            // Three additions rounded down in sums up to 4, then scaled by a quarter.
            for (std::size_t i = 0; i < n; ++i)
              ASSERT_NEAR(po[i], so[i], 4 * Ulp(1.0))
                  << "ch " << int{ch} << " w " << int{w} << " h " << int{h} << " " << hw << hh
                  << " at " << i;
          }
}

}  // namespace
}  // namespace veskor
