#include "mapengine/colour_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

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
using Order = std::array<std::uint32_t, 3>;

constexpr Order kOrders[] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};

TEST(ColourKernels, BothPathsFillEveryEntryAndShareTheOneMemberEntries) {
  const auto plain = Entries(Tables().plain), sse = Entries(Tables().sse);
  for (std::uint32_t e = 10; e <= 27; ++e) {
    EXPECT_NE(plain[e], 0u) << e;
    EXPECT_NE(sse[e], 0u) << e;
    const bool shared = e <= 15 || e == 18 || e == 20;
    EXPECT_EQ(plain[e] == sse[e], shared) << e;
  }
}

class ColourKernels : public ::testing::TestWithParam<bool> {
 protected:
  const KernelTable& k() const { return GetParam() ? Tables().sse : Tables().plain; }
};

TEST_P(ColourKernels, MinimumCoversEveryPointUpToTheLast) {
  // The smallest point is the last one, after any number of whole steps of four.
  for (std::uint32_t n : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 13u}) {
    TestBuffer<float> floats(3 * n);
    TestBuffer<std::uint8_t> bytes(3 * n);
    for (std::uint32_t i = 0; i < 3 * n; ++i) {
      floats[i] = 5.0f + static_cast<float>(i % 7);
      bytes[i] = static_cast<std::uint8_t>(200 - i % 7);
    }
    for (std::uint32_t j = 0; j < 3; ++j) {
      floats[3 * n - 3 + j] = -1.0f - static_cast<float>(j);
      bytes[3 * n - 3 + j] = static_cast<std::uint8_t>(10 * (j + 1));
    }
    float out[3] = {1, 1, 1}, fromBytes[3] = {1, 1, 1};
    k().PointArrayMinMax2(n, floats.data(), out);
    k().PointArrayMinMax(n, bytes.data(), fromBytes);
    for (std::uint32_t j = 0; j < 3; ++j) {
      EXPECT_EQ(out[j], -1.0f - static_cast<float>(j)) << n;
      const float unit = static_cast<float>(10 * (j + 1)) * kByteToUnit;
      EXPECT_NEAR(fromBytes[j], unit, Ulp(unit)) << n;
    }
  }
  float untouched[3] = {7, 8, 9};
  k().PointArrayMinMax2(0, nullptr, untouched);
  k().PointArrayMinMax(0, nullptr, untouched);
  EXPECT_EQ(untouched[0], 7.0f);
  EXPECT_EQ(untouched[2], 9.0f);
}

TEST_P(ColourKernels, KeySplitsGiveTheAmountOfTheKeyAndTheRemainder) {
  // Bytes: key (0.5, 1, 0.25) on channel 1; the remainders wrap modulo 256.
  const std::uint8_t bytes[6] = {100, 200, 40, 0, 0, 0};
  const float key[3] = {0.5f, 1.0f, 0.25f};
  const std::uint32_t q = 1;
  std::uint8_t out[8];
  k().MapKeyColourSplit3(2, bytes, key, &q, out);
  const std::uint8_t expected[8] = {0, 0, 246, 200, 0, 0, 0, 0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], expected[i]) << i;
  // With an origin: trunc(0.1 * 255) = 25 comes off every channel first (10 - 25 wraps).
  const std::uint8_t darker[3] = {10, 225, 65};
  const float origin[3] = {0.1f, 0.1f, 0.1f};
  k().MapKeyColourSplit(1, darker, origin, key, &q, out);
  EXPECT_EQ(out[0], 241 - 100);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 40 - 50 + 256);
  EXPECT_EQ(out[3], 200);

  // Floats: p - origin = out + amount x key.
  const float p[3] = {0.9f, 0.6f, 0.3f};
  const float fOrigin[3] = {0.1f, 0.2f, 0.05f};
  float f[4];
  k().MapKeyColourSplit2(1, p, fOrigin, key, &q, f);
  EXPECT_NEAR(f[3], 0.4f, 1e-6);
  EXPECT_NEAR(f[1], 0.0f, 1e-7);
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(f[j] + f[3] * key[j], p[j] - fOrigin[j], 1e-6) << j;
  k().MapKeyColourSplit4(1, p, key, &q, f);
  EXPECT_NEAR(f[3], 0.6f, 1e-6);
  EXPECT_NEAR(f[0], 0.9f - 0.3f, 1e-6);
}

TEST_P(ColourKernels, AKeyWithoutTheSplitChannelGivesNoAmount) {
  const float key[3] = {0.5f, 1e-6f, 0.25f};
  const std::uint32_t q = 1;
  const std::uint8_t bytes[3] = {100, 200, 40};
  std::uint8_t out[4];
  k().MapKeyColourSplit3(1, bytes, key, &q, out);
  EXPECT_EQ(out[0], 100);
  EXPECT_EQ(out[1], 200);
  EXPECT_EQ(out[2], 40);
  EXPECT_EQ(out[3], 0);
  const float p[3] = {0.9f, 0.6f, 0.3f};
  const float origin[3] = {0.1f, 0.1f, 0.1f};
  float f[4];
  k().MapKeyColourSplit2(1, p, origin, key, &q, f);
  EXPECT_EQ(f[3], 0.0f);
  for (int j = 0; j < 3; ++j) EXPECT_FLOAT_EQ(f[j], p[j] - origin[j]);
}

TEST_P(ColourKernels, MaxChannelSplitTakesEveryChannelFromTheLargest) {
  const std::uint8_t bytes[6] = {10, 200, 30, 7, 7, 7};
  std::uint8_t out[8];
  k().MapMaxChannelSplit(2, bytes, out);
  const std::uint8_t expected[8] = {190, 0, 170, 200, 0, 0, 0, 7};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], expected[i]) << i;
  const float floats[3] = {0.25f, -0.5f, 0.75f};
  float f[4];
  k().MapMaxChannelSplit2(1, floats, f);
  EXPECT_EQ(f[0], 0.5f);
  EXPECT_EQ(f[1], 1.25f);
  EXPECT_EQ(f[2], 0.0f);
  EXPECT_EQ(f[3], 0.75f);
}

// A float raw spread r with r x 0.7f == 1.0f, so that the third weighted spread ties with 1.
float SpreadWeighingOneAtSevenTenths() {
  float r = 1.0f / 0.7f;
  while (r * 0.7f < 1.0f) r = std::nextafter(r, 2.0f);
  while (r * 0.7f > 1.0f) r = std::nextafter(r, 0.0f);
  return r;
}

TEST_P(ColourKernels, PrincipalAxesOrderTheChannelsByWeightedSpread) {
  // Two pixels at +-spread/2 around base 0: the mean offset is 0 and the spreads are exact.
  // Weighted spreads are spread_0 x 0.8, spread_1, spread_2 x 0.7.
  const float tie2 = SpreadWeighingOneAtSevenTenths();
  struct Case {
    float spread[3];
    Order order;
  } cases[] = {
      {{3.75f, 2.0f, 1.4f}, {0, 1, 2}},  // weighted 3, 2, 0.98
      {{3.75f, 1.0f, 2.8f}, {0, 2, 1}},  // 3, 1, 1.96
      {{2.5f, 1.0f, 4.2f}, {2, 0, 1}},   // 2, 1, 2.94
      {{2.5f, 3.0f, 1.4f}, {1, 0, 2}},   // 2, 3, 0.98
      {{1.25f, 2.0f, 4.2f}, {2, 1, 0}},  // 1, 2, 2.94
      {{1.25f, 3.0f, 2.8f}, {1, 2, 0}},  // 1, 3, 1.96
      {{1.25f, 1.0f, tie2}, {0, 1, 2}},  // all equal
      {{1.25f, 1.0f, 0.5f}, {0, 1, 2}},  // 0 and 1 tie
      {{0.5f, 1.0f, tie2}, {2, 1, 0}},   // 1 and 2 tie above 0: channel 2 goes first
  };
  const float base[3] = {0, 0, 0};
  for (const Case& c : cases) {
    ASSERT_EQ(c.spread[0] * 0.8f == 1.0f, c.spread[0] == 1.25f);
    float pixels[6];
    for (int j = 0; j < 3; ++j) {
      pixels[j] = c.spread[j] / 2;
      pixels[3 + j] = -c.spread[j] / 2;
    }
    float key[3];
    Order order;
    k().MapPrincipalAxes2(2, pixels, base, key, order.data());
    EXPECT_EQ(order, c.order) << c.spread[0] << " " << c.spread[1] << " " << c.spread[2];
    // The key runs through the pixel on the positive side, its ratios to the first channel
    // capped at 1.
    for (int j = 0; j < 3; ++j) {
      const float expected = std::min(pixels[j], pixels[order[0]]);
      EXPECT_NEAR(key[j], expected, 4 * Ulp(expected)) << j;
    }
  }
}

TEST_P(ColourKernels, PrincipalAxesOfBytePixels) {
  const std::uint8_t pixels[6] = {0, 0, 0, 200, 100, 50};
  const float base[3] = {0, 0, 0};
  float key[3];
  Order order;
  k().MapPrincipalAxes(2, pixels, base, key, order.data());
  EXPECT_EQ(order, (Order{0, 1, 2}));
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(key[j], pixels[3 + j] * kByteToUnit, 1e-6) << j;
}

TEST_P(ColourKernels, PixelsAllAtTheBaseGiveNoSpreadAndAZeroKey) {
  const float grey[9] = {0.3f, 0.5f, 0.7f, 0.3f, 0.5f, 0.7f, 0.3f, 0.5f, 0.7f};
  const std::uint8_t black[9] = {};
  const float zero[3] = {0, 0, 0};
  float key[3] = {9, 9, 9};
  Order order{9, 9, 9};
  k().MapPrincipalAxes2(3, grey, grey, key, order.data());
  EXPECT_EQ(order, (Order{0, 1, 2}));
  EXPECT_EQ(key[0], 0.0f);
  EXPECT_EQ(key[1], 0.0f);
  EXPECT_EQ(key[2], 0.0f);
  k().MapPrincipalAxes(3, black, zero, key, order.data());
  EXPECT_EQ(order, (Order{0, 1, 2}));
  EXPECT_EQ(key[0], 0.0f);
  EXPECT_EQ(key[2], 0.0f);
}

TEST_P(ColourKernels, AnEmptyPixelSetGivesAZeroKeyAndTheChannelOrder) {
  const float base[3] = {0.2f, 0.2f, 0.2f};
  const float* noFloats[6] = {};
  const std::uint8_t* noBytes[6] = {};
  auto check = [](const float* key, const Order& order) {
    EXPECT_EQ(order, (Order{0, 1, 2}));
    for (int j = 0; j < 3; ++j) EXPECT_EQ(key[j], 0.0f);
  };
  float key[3] = {NAN, NAN, NAN};
  Order order{2, 1, 0};
  k().MapPrincipalAxes(0, nullptr, base, key, order.data());
  check(key, order);
  order = {2, 1, 0};
  k().MapPrincipalAxes2(0, nullptr, base, key, order.data());
  check(key, order);
  order = {2, 1, 0};
  k().MapPrincipalAxes3(0, noBytes, base, key, order.data());
  check(key, order);
  order = {2, 1, 0};
  k().MapPrincipalAxes4(0, noFloats, base, key, order.data());
  check(key, order);
}

TEST_P(ColourKernels, SixFacesAreAnalysedAsOneSet) {
  std::mt19937 rng(11);
  constexpr std::uint32_t n = 37;
  TestBuffer<float> all(6 * 3 * n);
  FillUniform(all.span(), rng, 0.0f, 1.0f);
  TestBuffer<std::uint8_t> allBytes(6 * 3 * n);
  for (std::uint8_t& b : allBytes) b = static_cast<std::uint8_t>(rng() % 256);
  const float* faces[6];
  const std::uint8_t* byteFaces[6];
  for (int f = 0; f < 6; ++f) {
    faces[f] = all.data() + f * 3 * n;
    byteFaces[f] = allBytes.data() + f * 3 * n;
  }
  const float base[3] = {0.1f, 0.05f, 0.0f};
  float key[3], keyOne[3];
  Order order, orderOne;
  k().MapPrincipalAxes4(n, faces, base, key, order.data());
  k().MapPrincipalAxes2(6 * n, all.data(), base, keyOne, orderOne.data());
  EXPECT_EQ(order, orderOne);
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(key[j], keyOne[j], 1e-5) << j;
  k().MapPrincipalAxes3(n, byteFaces, base, key, order.data());
  k().MapPrincipalAxes(6 * n, allBytes.data(), base, keyOne, orderOne.data());
  EXPECT_EQ(order, orderOne);
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(key[j], keyOne[j], 1e-5) << j;
}

INSTANTIATE_TEST_SUITE_P(PlainAndSse, ColourKernels, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Sse" : "Plain"; });

// --- Plain and SSE members side by side ------------------------------------------------------

constexpr std::uint32_t kCounts[] = {0, 1, 3, 4, 5, 7, 8, 9, 63, 64, 65, 1001};
constexpr std::size_t kOffsets[] = {0, 1, 4};  // floats after a 32-byte boundary

// Points whose offsets from the base are at least `margin` away from 0 in every channel, so
// that a rounding difference can neither cross the 1e-5 test nor blow up a ratio.
struct PointSet {
  TestBuffer<float> floats;
  TestBuffer<std::uint8_t> bytes;
  float base[3];
  PointSet(std::uint32_t n, std::size_t offset, std::mt19937& rng, float margin)
      : floats(3 * n, offset), bytes(3 * n) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (float& b : base) b = std::ldexp(std::floor(std::ldexp(unit(rng) * 0.6f + 0.2f, 10)), -10);
    for (std::uint32_t i = 0; i < 3 * n; ++i) {
      const float b = base[i % 3];
      do floats[i] = unit(rng);
      while (std::fabs(floats[i] - b) < margin);
      do bytes[i] = static_cast<std::uint8_t>(rng() % 256);
      while (std::fabs(bytes[i] * kByteToUnit - b) < margin);
    }
  }
};

// The sum of |terms| bounds each partial sum; every addition of either member may be off by
// one unit of it.
double SumTolerance(std::uint32_t n, double sumOfMagnitudes) {
  return (n + 8) * Ulp(sumOfMagnitudes + 1e-30);
}

TEST(ColourKernelsParity, ReductionsAgreeUpToSummationOrderAndRounding) {
  const KernelTable& p = Tables().plain;
  const KernelTable& s = Tables().sse;
  std::mt19937 rng(5);
  for (std::uint32_t n : kCounts)
    for (std::size_t offset : kOffsets) {
      PointSet set(n, offset, rng, 0.0f);
      SCOPED_TRACE(::testing::Message() << "n " << n << " offset " << offset);
      float pm[3] = {2, 2, 2}, sm[3] = {2, 2, 2};
      p.PointArrayMinMax2(n, set.floats.data(), pm);
      s.PointArrayMinMax2(n, set.floats.data(), sm);
      for (int j = 0; j < 3; ++j) EXPECT_EQ(pm[j], sm[j]);
      float pb[3] = {2, 2, 2}, sb[3] = {2, 2, 2};
      p.PointArrayMinMax(n, set.bytes.data(), pb);
      s.PointArrayMinMax(n, set.bytes.data(), sb);
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(pb[j], sb[j], Ulp(pb[j]));

      const float mean[3] = {0.01f, -0.02f, 0.03f};
      double magnitude[3] = {}, deviation[3] = {};
      for (std::uint32_t i = 0; i < 3 * n; ++i) {
        magnitude[i % 3] += std::fabs(set.floats[i]) + std::fabs(set.base[i % 3]);
        deviation[i % 3] +=
            std::fabs(set.floats[i]) + std::fabs(set.base[i % 3]) + std::fabs(mean[i % 3]);
      }
      float ps[3] = {0.5f, 0.5f, 0.5f}, ss[3] = {0.5f, 0.5f, 0.5f};
      p.PointArrayMinMax4(n, set.floats.data(), set.base, ps);
      s.PointArrayMinMax4(n, set.floats.data(), set.base, ss);
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(ps[j], ss[j], SumTolerance(n, magnitude[j] + 0.5));
      float pd[3] = {0.5f, 0.5f, 0.5f}, sd[3] = {0.5f, 0.5f, 0.5f};
      p.PointArrayMinMax6(n, set.floats.data(), set.base, mean, pd);
      s.PointArrayMinMax6(n, set.floats.data(), set.base, mean, sd);
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(pd[j], sd[j], SumTolerance(n, deviation[j] + 0.5));
    }
}

TEST(ColourKernelsParity, AxisRatiosAgreeForEveryChannelOrder) {
  const KernelTable& p = Tables().plain;
  const KernelTable& s = Tables().sse;
  std::mt19937 rng(9);
  for (std::uint32_t n : kCounts)
    for (std::size_t offset : kOffsets)
      for (const Order& order : kOrders) {
        PointSet set(n, offset, rng, 0.02f);
        SCOPED_TRACE(::testing::Message() << "n " << n << " offset " << offset << " order "
                                          << order[0] << order[1] << order[2]);
        float pr[3] = {0, 1, 1}, sr[3] = {0, 1, 1};
        p.PointArrayMinMax8(n, set.floats.data(), set.base, order.data(), pr);
        s.PointArrayMinMax8(n, set.floats.data(), set.base, order.data(), sr);
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(pr[j], sr[j], 4 * Ulp(pr[j]));
        float pb[3] = {0, 1, 1}, sb[3] = {0, 1, 1};
        p.PointArrayMinMax7(n, set.bytes.data(), set.base, order.data(), pb);
        s.PointArrayMinMax7(n, set.bytes.data(), set.base, order.data(), sb);
        // The bytes' 1/255 rounds differently (down): up to a unit of 1 in an offset of 0.02.
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(pb[j], sb[j], 1e-4 * std::fabs(pb[j]) + 1e-7);
      }
}

TEST(ColourKernelsParity, PrincipalAxesAgree) {
  const KernelTable& p = Tables().plain;
  const KernelTable& s = Tables().sse;
  std::mt19937 rng(3);
  for (std::uint32_t n : {1u, 5u, 64u, 301u, 4096u})
    for (std::size_t offset : kOffsets) {
      PointSet set(6 * n, offset, rng, 0.02f);
      SCOPED_TRACE(::testing::Message() << "n " << n << " offset " << offset);
      const float* faces[6];
      const std::uint8_t* byteFaces[6];
      for (std::uint32_t f = 0; f < 6; ++f) {
        faces[f] = set.floats.data() + 3 * n * f;
        byteFaces[f] = set.bytes.data() + 3 * n * f;
      }
      auto same = [](const float* a, const Order& oa, const float* b, const Order& ob) {
        EXPECT_EQ(oa, ob);
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(a[j], b[j], 1e-4 * std::fabs(a[j]) + 1e-6) << j;
      };
      float pk[3], sk[3];
      Order po, so;
      p.MapPrincipalAxes2(n, set.floats.data(), set.base, pk, po.data());
      s.MapPrincipalAxes2(n, set.floats.data(), set.base, sk, so.data());
      same(pk, po, sk, so);
      p.MapPrincipalAxes(n, set.bytes.data(), set.base, pk, po.data());
      s.MapPrincipalAxes(n, set.bytes.data(), set.base, sk, so.data());
      same(pk, po, sk, so);
      p.MapPrincipalAxes4(n, faces, set.base, pk, po.data());
      s.MapPrincipalAxes4(n, faces, set.base, sk, so.data());
      same(pk, po, sk, so);
      p.MapPrincipalAxes3(n, byteFaces, set.base, pk, po.data());
      s.MapPrincipalAxes3(n, byteFaces, set.base, sk, so.data());
      same(pk, po, sk, so);
    }
}

}  // namespace
}  // namespace veskor
