#include "mapengine/colour_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "mapengine/kernel_support.h"

namespace veskor {
namespace {

using test::TestBuffer;
using test::Ulp;
using Order = std::array<std::uint32_t, 3>;
using Bytes = std::vector<std::uint8_t>;
using Floats = std::vector<float>;

using ColourKernels = test::BothPaths;

TEST_P(ColourKernels, MinimumCoversEveryPointUpToTheLast) {
  // The smallest point is the last one, after any number of whole steps of four.
  for (std::uint32_t n : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 13u}) {
    TestBuffer<float> floats(3 * n);
    TestBuffer<std::uint8_t> bytes(3 * n);
    for (std::uint32_t i = 0; i < 3 * n; ++i) {
      const bool last = i >= 3 * n - 3;
      floats[i] = last ? -1.0f - (i % 3) : 5.0f + static_cast<float>(i % 7);
      bytes[i] = static_cast<std::uint8_t>(last ? 10 * (i % 3 + 1) : 200 - i % 7);
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
  Floats untouched = {7, 8, 9};
  k().PointArrayMinMax2(0, nullptr, untouched.data());
  k().PointArrayMinMax(0, nullptr, untouched.data());
  EXPECT_EQ(untouched, (Floats{7, 8, 9}));
}

TEST_P(ColourKernels, KeySplitsGiveTheAmountOfTheKeyAndTheRemainder) {
  // Bytes: key (0.5, 1, 0.25) on channel 1; the remainders wrap modulo 256.
  const std::uint8_t bytes[6] = {100, 200, 40, 0, 0, 0};
  const float key[3] = {0.5f, 1.0f, 0.25f};
  const std::uint32_t q = 1;
  Bytes out(8);
  k().MapKeyColourSplit3(2, bytes, key, &q, out.data());
  EXPECT_EQ(out, (Bytes{0, 0, 246, 200, 0, 0, 0, 0}));
  // With an origin: trunc(0.1 * 255) = 25 comes off every channel first (10 - 25 wraps).
  const std::uint8_t darker[3] = {10, 225, 65};
  const float origin[3] = {0.1f, 0.1f, 0.1f};
  k().MapKeyColourSplit(1, darker, origin, key, &q, out.data());
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{241 - 100, 0, 40 - 50 + 256, 200}));

  // Floats: p - origin = out + amount x key.
  const float p[3] = {0.9f, 0.6f, 0.3f}, fOrigin[3] = {0.1f, 0.2f, 0.05f};
  float f[4];
  k().MapKeyColourSplit2(1, p, fOrigin, key, &q, f);
  EXPECT_NEAR(f[3], 0.4f, 1e-6);
  EXPECT_NEAR(f[1], 0.0f, 1e-7);
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(f[j] + f[3] * key[j], p[j] - fOrigin[j], 1e-6) << j;
  k().MapKeyColourSplit4(1, p, key, &q, f);
  EXPECT_NEAR(f[3], 0.6f, 1e-6);
  EXPECT_NEAR(f[0], 0.9f - 0.3f, 1e-6);

  // A key without the split channel (|key_q| <= 1e-5) gives no amount.
  const float flat[3] = {0.5f, 1e-6f, 0.25f};
  k().MapKeyColourSplit3(1, bytes, flat, &q, out.data());
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{100, 200, 40, 0}));
  k().MapKeyColourSplit2(1, p, origin, flat, &q, f);
  EXPECT_EQ(f[3], 0.0f);
  for (int j = 0; j < 3; ++j) EXPECT_FLOAT_EQ(f[j], p[j] - origin[j]);
}

TEST_P(ColourKernels, MaxChannelSplitTakesEveryChannelFromTheLargest) {
  const std::uint8_t bytes[6] = {10, 200, 30, 7, 7, 7};
  Bytes out(8);
  k().MapMaxChannelSplit(2, bytes, out.data());
  EXPECT_EQ(out, (Bytes{190, 0, 170, 200, 0, 0, 0, 7}));
  const float floats[3] = {0.25f, -0.5f, 0.75f};
  Floats f(4);
  k().MapMaxChannelSplit2(1, floats, f.data());
  EXPECT_EQ(f, (Floats{0.5f, 1.25f, 0, 0.75f}));
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
  const struct {
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
  for (const auto& c : cases) {
    float pixels[6], key[3];
    for (int j = 0; j < 3; ++j) pixels[j] = c.spread[j] / 2, pixels[3 + j] = -c.spread[j] / 2;
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
  const std::uint8_t bytePixels[6] = {0, 0, 0, 200, 100, 50};
  float key[3];
  Order order;
  k().MapPrincipalAxes(2, bytePixels, base, key, order.data());
  EXPECT_EQ(order, (Order{0, 1, 2}));
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(key[j], bytePixels[3 + j] * kByteToUnit, 1e-6) << j;
}

TEST_P(ColourKernels, PixelsAtTheBaseOrNoPixelsGiveAZeroKeyAndTheChannelOrder) {
  const float grey[9] = {0.3f, 0.5f, 0.7f, 0.3f, 0.5f, 0.7f, 0.3f, 0.5f, 0.7f};
  const std::uint8_t black[9] = {};
  const float zero[3] = {0, 0, 0};
  const float* noFloats[6] = {};
  const std::uint8_t* noBytes[6] = {};
  const auto check = [&](auto analyse) {
    Floats key = {NAN, NAN, NAN};
    Order order = {2, 1, 0};
    analyse(key.data(), order.data());
    EXPECT_EQ(order, (Order{0, 1, 2}));
    EXPECT_EQ(key, Floats(3, 0.0f));
  };
  check([&](float* key, auto o) { k().MapPrincipalAxes2(3, grey, grey, key, o); });
  check([&](float* key, auto o) { k().MapPrincipalAxes(3, black, zero, key, o); });
  // No pixels: no NaN from the empty means.
  check([&](float* key, auto o) { k().MapPrincipalAxes(0, nullptr, grey, key, o); });
  check([&](float* key, auto o) { k().MapPrincipalAxes2(0, nullptr, grey, key, o); });
  check([&](float* key, auto o) { k().MapPrincipalAxes3(0, noBytes, grey, key, o); });
  check([&](float* key, auto o) { k().MapPrincipalAxes4(0, noFloats, grey, key, o); });
}

TEST_P(ColourKernels, SixFacesAreAnalysedAsOneSet) {
  std::mt19937 rng(11);
  constexpr std::uint32_t n = 37;
  TestBuffer<float> all(6 * 3 * n);
  TestBuffer<std::uint8_t> allBytes(6 * 3 * n);
  for (float& f : all) f = std::uniform_real_distribution<float>(0, 1)(rng);
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
  for (bool bytes : {false, true}) {
    if (bytes) {
      k().MapPrincipalAxes3(n, byteFaces, base, key, order.data());
      k().MapPrincipalAxes(6 * n, allBytes.data(), base, keyOne, orderOne.data());
    } else {
      k().MapPrincipalAxes4(n, faces, base, key, order.data());
      k().MapPrincipalAxes2(6 * n, all.data(), base, keyOne, orderOne.data());
    }
    EXPECT_EQ(order, orderOne);
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(key[j], keyOne[j], 1e-5) << j << bytes;
  }
}

VESKOR_BOTH_PATHS(ColourKernels);

}  // namespace
}  // namespace veskor
