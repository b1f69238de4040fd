// Environment parameters: the defaults reached through the bindings, the render-session steps
// and the block setters.
#include "environment/environment_params.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "mapengine/kernel_table.h"
#include "support/kernel_tables.h"

namespace veskor {
namespace {

// A unit vector from the kernels: each component (at most 1) within its length's error.
constexpr double kEstimate = kUnitLengthError;
const std::vector<float> kDefaultSun = {0.57735027f, 0.57735027f, -0.57735027f};

void ExpectVector(const float* v, const std::vector<float>& want, float tolerance) {
  for (std::size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(v[k], want[k], tolerance) << k;
}

bool IsIdentity(const TransformRecord& r) {
  const TransformRecord identity;
  return std::memcmp(&r, &identity, sizeof r) == 0;
}

TEST(EnvironmentParameters, DefaultsAreStoredAndBoundSlotBySlot) {
  SunDirection[2] = 0.9f;  // values of an earlier world
  SkyParams.domeColorCorrection.dirty = 1;
  FogParams.zintensity = 0.1f;
  CloudHighParams.present = 0;
  LightShaftsEnabled = 1;
  EnvironmentBindings bindings{};
  EnvironmentDefaults(bindings);
  // Slot by slot, integers as floats; the colour corrections are identity records.
  const std::vector<std::vector<float>> defaults = {{0.5f, 0.5f, -0.5f},
                                                    {},
                                                    {0.2f},
                                                    {0, 0},
                                                    {0, 0},
                                                    {},
                                                    {},
                                                    {2.5f},
                                                    {1.0f},
                                                    {1.0f},
                                                    {0.0f},
                                                    {200.0f},
                                                    {0.8f},
                                                    {2.1f},
                                                    {1.0f},
                                                    {1.0f},
                                                    {0.05f, 0.05f, 0.5f},
                                                    {1},
                                                    {1},
                                                    {0.1f, 0.1f},
                                                    {1.0f},
                                                    {1},
                                                    {2},
                                                    {3},
                                                    {7000.0f},
                                                    {0.0002f, 0.0001f},
                                                    {0.2f},
                                                    {0.5f},
                                                    {1.0f, 0.9f, 0.85f},
                                                    {1},
                                                    {1},
                                                    {1},
                                                    {1200.0f},
                                                    {0.0002f, 0.0001f},
                                                    {0.2f},
                                                    {0.5f},
                                                    {0.5f},
                                                    {1.0f, 0.9f, 0.88f},
                                                    {0.5f, 0.45f, 0.58f},
                                                    {0.05f},
                                                    {0.2f},
                                                    {2500.0f}};
  ASSERT_EQ(defaults.size(), kEnvironmentSlotCount);
  std::set<void*> distinct;
  for (std::uint32_t slot = 0; slot < kEnvironmentSlotCount; ++slot) {
    const EnvironmentSlotInfo& info = kEnvironmentSlots[slot];
    void* p = bindings.slots[slot];
    SCOPED_TRACE(::testing::Message() << "slot " << slot << " " << info.block << " "
                                      << (info.key ? info.key : "(presence)"));
    ASSERT_TRUE(distinct.insert(p).second && p != nullptr);
    if (info.value == EnvironmentValue::kTransform) {
      EXPECT_TRUE(IsIdentity(*static_cast<TransformRecord*>(p)));
      continue;
    }
    ASSERT_EQ(info.count, defaults[slot].size());
    for (std::uint32_t k = 0; k < info.count; ++k) {
      const float v = info.value == EnvironmentValue::kFloats
                          ? static_cast<float*>(p)[k]
                          : static_cast<float>(static_cast<std::int32_t*>(p)[k]);
      EXPECT_EQ(v, defaults[slot][k]);
      // Every default passes the check the parser applies to its slot.
      EXPECT_TRUE(info.check == EnvironmentCheck::kNone || v >= info.lo);
      EXPECT_TRUE(info.check != EnvironmentCheck::kRange || v <= info.hi);
    }
  }
  EXPECT_EQ(bindings.slots[kSlotSunDirection], SunDirection);
  EXPECT_EQ(bindings.slots[kSlotLightShaftLength], &LightShaftParams.length);
  EXPECT_EQ(LightShaftsEnabled, 0);
}

TEST(EnvironmentParameters, RenderSessionStepsDeriveSunTurbidityAndFogLimit) {
  const struct {
    float in[3];
    std::vector<float> out;
  } suns[] = {{{0, 0, -2}, {0, 0, -1}},
              {{3, 4, 0}, {0.6f, 0.8f, 0}},
              {{0.5f, 0.5f, -0.5f}, kDefaultSun},
              {{1e-18f, 0, 0}, {1, 0, 0}},  // just long enough to normalise
              // Too short, zero or not finite: the default direction rather than NaN.
              {{1e-20f, 0, 0}, kDefaultSun},
              {{0, 0, 0}, kDefaultSun},
              {{INFINITY, 0, 0}, kDefaultSun}};
  for (const auto& s : suns) {
    std::memcpy(SunDirection, s.in, sizeof s.in);
    NormalizeSunDirection();
    ExpectVector(SunDirection, s.out, kEstimate);
  }
  // Each kernel member against the direction normalised in double: the plain one to the
  // float's rounding, the SSE one within the length error of its root estimate and roundings
  // (kUnitLengthError), by one factor for all three components. (0, 0.6, -0.8004) is 1.00064
  // long squared: both scale it.
  const KernelTable saved = gKernelTable;
  const float directions[][3] = {{0, 0, -2},     {3, 4, 0},           {0.5f, 0.5f, -0.5f},
                                 {1e-18f, 0, 0}, {0, 0.6f, -0.8004f}, {0.1f, -0.7f, -0.3f}};
  for (const bool sse : {false, true}) {
    gKernelTable = test::Tables(sse);
    for (const auto& d : directions) {
      std::memcpy(SunDirection, d, sizeof d);
      NormalizeSunDirection();
      const double length =
          std::sqrt(double{d[0]} * d[0] + double{d[1]} * d[1] + double{d[2]} * d[2]);
      double factor = 0;
      for (int k = 0; k < 3; ++k) {
        const double exact = d[k] / length;
        const double bound = (sse ? kUnitLengthError : 1e-7) * std::fabs(exact) + 1e-9;
        EXPECT_NEAR(SunDirection[k], exact, bound)
            << sse << " " << d[0] << "," << d[1] << "," << d[2] << " " << k;
        if (exact == 0) continue;
        if (factor == 0) factor = SunDirection[k] / exact;
        EXPECT_NEAR(SunDirection[k] / exact, factor, 3e-7) << sse << " " << k;
      }
    }
  }
  gKernelTable = saved;
  for (const auto& t : {std::pair{0.0f, 0.5f}, {0.2f, 2.8f}, {1.0f, 12.0f}}) {
    SkyParams.turbidity = t.first;
    UpdateSkyTurbidity();
    EXPECT_NEAR(SkyModelTurbidity, t.second, 1e-6f);
  }
  // zstart, zdistance, zintensity, limit. A zintensity below the floor counts as the floor.
  const float fogs[][4] = {
      {0.0f, 200.0f, 0.8f, -250.0f},
      {10.0f, 200.0f, 2 * kFogMinZIntensity, 10.0f - 200.0f / (2 * kFogMinZIntensity)},
      {10.0f, 200.0f, kFogMinZIntensity, 10.0f - 200.0f / kFogMinZIntensity},
      {10.0f, 200.0f, 0.0f, 10.0f - 200.0f / kFogMinZIntensity},
      {10.0f, 0.0f, 0.0f, 10.0f}};
  for (const auto& f : fogs) {
    FogParams.zstart = f[0], FogParams.zdistance = f[1], FogParams.zintensity = f[2];
    FogRecompute();
    EXPECT_FLOAT_EQ(FogFloorHeight, f[3]) << f[2];
  }
}

TEST(EnvironmentParameters, SettersWriteTheirBlock) {
  TransformRecord tilted;
  tilted.angle = 45.0f;
  SetSun(0, 3, -4, tilted);
  ExpectVector(SunDirection, {0, 0.6f, -0.8f}, kEstimate);
  EXPECT_EQ(SunIlluColorCorrection.angle, 45.0f);
  SetSun(0, 0, 0, TransformRecord{});
  ExpectVector(SunDirection, kDefaultSun, kEstimate);
  EXPECT_TRUE(IsIdentity(SunIlluColorCorrection));
  SetSky(1.0f, tilted);
  EXPECT_FLOAT_EQ(SkyModelTurbidity, 12.0f);
  EXPECT_EQ(SkyParams.domeColorCorrection.angle, 45.0f);
  SetFog(1, 0.5f, 2, 4, 8, 0.5f);
  EXPECT_FLOAT_EQ(FogFloorHeight, -12.0f);
  // The setters' own colours when none is given.
  SetCloudHigh(1, 2, 100, 1, 2, 0.3f, 0.4f, nullptr);
  ExpectVector(CloudHighParams.colorLight, {1.0f, 0.9f, 0.75f}, 0);
  SetCloudLow(4, 3, 500, 3, 4, 0.6f, 0.7f, 0.8f, nullptr, nullptr);
  // Each value lands in its own field.
  const CloudHighParameters& h = CloudHighParams;
  const CloudLowParameters& l = CloudLowParams;
  EXPECT_EQ((std::vector<float>{float(h.cloudClass), float(h.aspect), h.altitude, h.velocity[0],
                                h.velocity[1], h.coverage, h.opacity}),
            (std::vector<float>{1, 2, 100, 1, 2, 0.3f, 0.4f}));
  EXPECT_EQ((std::vector<float>{float(l.cloudClass), float(l.aspect), l.altitude, l.velocity[0],
                                l.velocity[1], l.coverage, l.opacity, l.granularity}),
            (std::vector<float>{4, 3, 500, 3, 4, 0.6f, 0.7f, 0.8f}));
  ExpectVector(CloudLowParams.colorLight, {1.0f, 0.9f, 0.75f}, 0);
  ExpectVector(CloudLowParams.colorDark, {0.5f, 0.45f, 0.58f}, 0);
  CloudHighParams.colorLight[2] = CloudLowParams.colorLight[2] = CloudLowParams.colorDark[2] = 0;
  ResetCloudHighColor();
  ResetCloudLowColors();
  EXPECT_EQ(CloudHighParams.colorLight[2] + CloudLowParams.colorLight[2], 1.5f);
  EXPECT_EQ(CloudLowParams.colorDark[2], 0.58f);
}

}  // namespace
}  // namespace veskor
