// Environment parameters: the defaults reached through the bindings, the render-session steps
// and the block setters.
#include "environment/environment_params.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

namespace veskor {
namespace {

constexpr float kRsqrtTolerance = 1e-3f;  // the SSE inverse square-root estimate
const float kUnitDefaultSun[3] = {0.57735027f, 0.57735027f, -0.57735027f};

void ExpectVector(const float* v, std::vector<float> want, float tolerance, const char* what) {
  for (std::size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(v[k], want[k], tolerance) << what;
}

bool IsIdentity(const TransformRecord& r) {
  const TransformRecord identity;
  return std::memcmp(&r, &identity, sizeof r) == 0;
}

TEST(EnvironmentParameters, DefaultsAreStoredAndBoundSlotBySlot) {
  // Every value away from its default first, the bindings cleared.
  SunDirection[2] = 0.9f;
  SunIlluColorCorrection.angle = 30.0f;
  SkyParams.horizon[1] = 3.0f;
  SkyParams.domeColorCorrection.dirty = 1;
  FogParams.zintensity = 0.1f;
  WaterParams.aspect = 3;
  CloudHighParams.present = 0;
  CloudLowParams.colorDark[2] = 7.0f;
  LightShaftParams.length = 1.0f;
  LightShaftsEnabled = 1;
  EnvironmentBindings bindings{};
  EnvironmentDefaults(bindings);

  // The defaults of the parameter table, slot by slot (integers as floats).
  const std::vector<std::vector<float>> defaults = {
      {0.5f, 0.5f, -0.5f}, {}, {0.2f}, {0, 0}, {0, 0}, {}, {},
      {2.5f}, {1.0f}, {1.0f}, {0.0f}, {200.0f}, {0.8f},
      {2.1f}, {1.0f}, {1.0f}, {0.05f, 0.05f, 0.5f},
      {1}, {1}, {0.1f, 0.1f}, {1.0f},
      {1}, {2}, {3}, {7000.0f}, {0.0002f, 0.0001f}, {0.2f}, {0.5f}, {1.0f, 0.9f, 0.85f},
      {1}, {1}, {1}, {1200.0f}, {0.0002f, 0.0001f}, {0.2f}, {0.5f}, {0.5f}, {1.0f, 0.9f, 0.88f},
      {0.5f, 0.45f, 0.58f},
      {0.05f}, {0.2f}, {2500.0f}};
  ASSERT_EQ(defaults.size(), kEnvironmentSlotCount);
  std::set<void*> distinct;
  for (std::uint32_t slot = 0; slot < kEnvironmentSlotCount; ++slot) {
    const EnvironmentSlotInfo& info = kEnvironmentSlots[slot];
    void* p = bindings.slots[slot];
    SCOPED_TRACE(::testing::Message() << "slot " << slot << " " << info.block << " "
                                      << (info.key ? info.key : "(presence)"));
    ASSERT_NE(p, nullptr);
    distinct.insert(p);
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
      if (info.check != EnvironmentCheck::kNone) {
        EXPECT_GE(v, info.lo);
      }
      if (info.check == EnvironmentCheck::kRange) {
        EXPECT_LE(v, info.hi);
      }
    }
  }
  EXPECT_EQ(distinct.size(), kEnvironmentSlotCount);
  EXPECT_EQ(bindings.slots[kSlotSunDirection], SunDirection);
  EXPECT_EQ(bindings.slots[kSlotLightShaftLength], &LightShaftParams.length);
  EXPECT_EQ(LightShaftsEnabled, 0);
}

TEST(EnvironmentParameters, RenderSessionStepsDeriveSunTurbidityAndFogLimit) {
  const struct {
    float in[3];
    std::vector<float> out;
  } suns[] = {
      {{0, 0, -2}, {0, 0, -1}},
      {{3, 4, 0}, {0.6f, 0.8f, 0}},
      {{0.5f, 0.5f, -0.5f}, {0.57735027f, 0.57735027f, -0.57735027f}},
      // Too short to normalise, or not finite: the default direction rather than NaN.
      {{0, 0, 0}, {0.57735027f, 0.57735027f, -0.57735027f}},
      {{1e-20f, 0, 0}, {0.57735027f, 0.57735027f, -0.57735027f}},
      {{INFINITY, 0, 0}, {0.57735027f, 0.57735027f, -0.57735027f}},
      {{1e-18f, 0, 0}, {1, 0, 0}},  // just long enough
  };
  for (const auto& s : suns) {
    std::memcpy(SunDirection, s.in, sizeof s.in);
    NormalizeSunDirection();
    ExpectVector(SunDirection, s.out, kRsqrtTolerance, "sun");
  }

  const float turbidities[][2] = {{0.0f, 0.5f}, {0.2f, 2.8f}, {1.0f, 12.0f}};
  for (const auto& t : turbidities) {
    SkyParams.turbidity = t[0];
    UpdateSkyTurbidity();
    EXPECT_NEAR(SkyModelTurbidity, t[1], 1e-6f);
  }

  // zstart, zdistance, zintensity, limit. A zintensity below the floor counts as the floor.
  const float fogs[][4] = {
      {0.0f, 200.0f, 0.8f, -250.0f},
      {10.0f, 5.0f, 1.0f, 5.0f},
      {10.0f, 200.0f, 2 * kFogMinZIntensity, 10.0f - 200.0f / (2 * kFogMinZIntensity)},
      {10.0f, 200.0f, kFogMinZIntensity, 10.0f - 200.0f / kFogMinZIntensity},
      {10.0f, 200.0f, 0.0f, 10.0f - 200.0f / kFogMinZIntensity},
      {10.0f, 0.0f, 0.0f, 10.0f},
  };
  for (const auto& f : fogs) {
    FogParams.zstart = f[0];
    FogParams.zdistance = f[1];
    FogParams.zintensity = f[2];
    FogRecompute();
    EXPECT_FLOAT_EQ(FogFloorHeight, f[3]) << f[2];
  }
  HazeRecompute();
  WaterRecompute();
  CloudHighRecompute();
  CloudLowRecompute();
  EXPECT_FLOAT_EQ(FogFloorHeight, 10.0f);
}

TEST(EnvironmentParameters, SettersWriteTheirBlock) {
  TransformRecord tilted;
  tilted.angle = 45.0f;
  tilted.dirty = 1;
  SetSun(0, 3, -4, tilted);
  ExpectVector(SunDirection, {0, 0.6f, -0.8f}, kRsqrtTolerance, "SetSun");
  EXPECT_EQ(SunIlluColorCorrection.angle, 45.0f);
  SetSun(0, 0, 0, TransformRecord{});
  ExpectVector(SunDirection, {kUnitDefaultSun[0], kUnitDefaultSun[1], kUnitDefaultSun[2]},
               kRsqrtTolerance, "SetSun zero");
  EXPECT_TRUE(IsIdentity(SunIlluColorCorrection));

  SetSky(1.0f, tilted);
  EXPECT_EQ(SkyParams.turbidity, 1.0f);
  EXPECT_FLOAT_EQ(SkyModelTurbidity, 12.0f);
  EXPECT_EQ(SkyParams.domeColorCorrection.angle, 45.0f);

  SetFog(1, 0.5f, 2, 4, 8, 0.5f);
  EXPECT_EQ(FogParams.exp, 1.0f);
  EXPECT_EQ(FogParams.distance, 2.0f);
  EXPECT_FLOAT_EQ(FogFloorHeight, -12.0f);
  SetHaze(3, 0.25f, 5, 0.1f, 0.2f, 0.3f);
  EXPECT_EQ(HazeParams.intensity, 0.25f);
  ExpectVector(HazeParams.color, {0.1f, 0.2f, 0.3f}, 0, "haze");
  SetWater(2, 3, 0.7f, 0.4f, 0.6f);
  EXPECT_EQ(WaterParams.waterClass, 2);
  EXPECT_EQ(WaterParams.aspect, 3);
  EXPECT_EQ(WaterParams.fresnel, 0.7f);
  ExpectVector(WaterParams.velocity, {0.4f, 0.6f}, 0, "water");

  const float light[3] = {0.1f, 0.2f, 0.3f};
  const float dark[3] = {0.4f, 0.5f, 0.6f};
  SetCloudHigh(1, 2, 100, 1, 2, 0.3f, 0.4f, light);
  EXPECT_EQ(CloudHighParams.cloudClass, 1);
  EXPECT_EQ(CloudHighParams.altitude, 100.0f);
  EXPECT_EQ(CloudHighParams.opacity, 0.4f);
  ExpectVector(CloudHighParams.colorLight, {0.1f, 0.2f, 0.3f}, 0, "high light");
  SetCloudHigh(1, 2, 100, 1, 2, 0.3f, 0.4f, nullptr);
  ExpectVector(CloudHighParams.colorLight, {1.0f, 0.9f, 0.75f}, 0, "high default");
  CloudHighParams.colorLight[2] = 0;
  ResetCloudHighColor();
  ExpectVector(CloudHighParams.colorLight, {1.0f, 0.9f, 0.75f}, 0, "high reset");

  SetCloudLow(4, 3, 500, 3, 4, 0.6f, 0.7f, 0.8f, light, dark);
  EXPECT_EQ(CloudLowParams.aspect, 3);
  EXPECT_EQ(CloudLowParams.granularity, 0.8f);
  ExpectVector(CloudLowParams.velocity, {3, 4}, 0, "low wind");
  ExpectVector(CloudLowParams.colorDark, {0.4f, 0.5f, 0.6f}, 0, "low dark");
  SetCloudLow(4, 3, 500, 3, 4, 0.6f, 0.7f, 0.8f, nullptr, nullptr);
  ExpectVector(CloudLowParams.colorLight, {1.0f, 0.9f, 0.75f}, 0, "low light default");
  ExpectVector(CloudLowParams.colorDark, {0.5f, 0.45f, 0.58f}, 0, "low dark default");
  CloudLowParams.colorLight[0] = CloudLowParams.colorDark[0] = 0;
  ResetCloudLowColors();
  EXPECT_EQ(CloudLowParams.colorLight[0], 1.0f);
  EXPECT_EQ(CloudLowParams.colorDark[0], 0.5f);
}

}  // namespace
}  // namespace veskor
