#include "environment/environment_params.h"

#include <cmath>
#include <limits>

#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

constexpr float kDefaultSunDirection[3] = {0.5f, 0.5f, -0.5f};
constexpr SkyParameters kDefaultSky{0.2f, {0, 0}, {0, 0}, {}, {}};
constexpr FogParameters kDefaultFog{2.5f, 1.0f, 1.0f, 0.0f, 200.0f, 0.8f};
constexpr HazeParameters kDefaultHaze{2.1f, 1.0f, 1.0f, {0.05f, 0.05f, 0.5f}};
constexpr WaterParameters kDefaultWater{kWaterLake, kAspectIso, {0.1f, 0.1f}, 1.0f};
constexpr CloudHighParameters kDefaultCloudHigh{
    1, kCloudCirrus, kAspectVeryLong, 7000.0f, {0.0002f, 0.0001f}, 0.2f, 0.5f,
    {1.0f, 0.9f, 0.85f}};
constexpr CloudLowParameters kDefaultCloudLow{
    1,    kCloudCumulus, kAspectIso, 1200.0f, {0.0002f, 0.0001f}, 0.2f, 0.5f, 0.5f,
    {1.0f, 0.9f, 0.88f}, {0.5f, 0.45f, 0.58f}};
constexpr LightShaftParameters kDefaultLightShaft{0.05f, 0.2f, 2500.0f};

// The colours the setters give when none is passed (not the parse defaults).
constexpr float kSetterLightColour[3] = {1.0f, 0.9f, 0.75f};
constexpr float kSetterDarkColour[3] = {0.5f, 0.45f, 0.58f};

void Copy3(float* to, const float* from) {
  to[0] = from[0];
  to[1] = from[1];
  to[2] = from[2];
}

// A direction whose squared length is a normal, finite float can be normalised by either
// kernel member; any other is replaced by the default direction.
bool Normalisable(const float* v) {
  const float n = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
  return n >= std::numeric_limits<float>::min() && std::isfinite(n);
}

void SetDefaultSunDirection() {
  Copy3(SunDirection, kDefaultSunDirection);
  gKernelTable.KernelNormalize3(SunDirection);
}

float TurbidityFromSky(float t) { return 0.5f * (1.0f - t) + 12.0f * t; }

// The seven fields both cloud layers begin with, bound to seven slots in a row from `slots`
// (presence, class, aspect, altitude, velocity, coverage, opacity) and set alike.
static_assert(kSlotCloudHighOpacity == kSlotCloudHighPresent + 6 &&
              kSlotCloudLowOpacity == kSlotCloudLowPresent + 6);
template <class Layer>
void BindCloudLayer(void** slots, Layer& c) {
  void* const fields[] = {&c.present, &c.cloudClass, &c.aspect, &c.altitude,
                          c.velocity, &c.coverage,   &c.opacity};
  for (void* field : fields) *slots++ = field;
}

template <class Layer>
void SetCloudLayer(Layer& c, std::int32_t cloudClass, std::int32_t aspect, float altitude,
                   float velocityX, float velocityY, float coverage, float opacity) {
  c.cloudClass = cloudClass;
  c.aspect = aspect;
  c.altitude = altitude;
  c.velocity[0] = velocityX;
  c.velocity[1] = velocityY;
  c.coverage = coverage;
  c.opacity = opacity;
}

}  // namespace

float SunDirection[3] = {0.5f, 0.5f, -0.5f};
TransformRecord SunIlluColorCorrection;
SkyParameters SkyParams = kDefaultSky;
FogParameters FogParams = kDefaultFog;
HazeParameters HazeParams = kDefaultHaze;
WaterParameters WaterParams = kDefaultWater;
CloudHighParameters CloudHighParams = kDefaultCloudHigh;
CloudLowParameters CloudLowParams = kDefaultCloudLow;
LightShaftParameters LightShaftParams = kDefaultLightShaft;

float SkyModelTurbidity = 0.1f;
std::int32_t LightShaftsEnabled = 0;

void EnvironmentDefaults(EnvironmentBindings& bindings) {
  Copy3(SunDirection, kDefaultSunDirection);
  SunIlluColorCorrection = TransformRecord{};
  SkyParams = kDefaultSky;
  FogParams = kDefaultFog;
  HazeParams = kDefaultHaze;
  WaterParams = kDefaultWater;
  CloudHighParams = kDefaultCloudHigh;
  CloudLowParams = kDefaultCloudLow;
  LightShaftParams = kDefaultLightShaft;
  LightShaftsEnabled = 0;

  void** s = bindings.slots;
  s[kSlotSunDirection] = SunDirection;
  s[kSlotSunIlluColorCorrection] = &SunIlluColorCorrection;
  s[kSlotSkyTurbidity] = &SkyParams.turbidity;
  s[kSlotSkyHorizon] = SkyParams.horizon;
  s[kSlotSkySunSpot] = SkyParams.sunSpot;
  s[kSlotSkyDomeColorCorrection] = &SkyParams.domeColorCorrection;
  s[kSlotSkyIlluColorCorrection] = &SkyParams.illuColorCorrection;
  s[kSlotFogExp] = &FogParams.exp;
  s[kSlotFogIntensity] = &FogParams.intensity;
  s[kSlotFogDistance] = &FogParams.distance;
  s[kSlotFogZStart] = &FogParams.zstart;
  s[kSlotFogZDistance] = &FogParams.zdistance;
  s[kSlotFogZIntensity] = &FogParams.zintensity;
  s[kSlotHazeExp] = &HazeParams.exp;
  s[kSlotHazeIntensity] = &HazeParams.intensity;
  s[kSlotHazeDistance] = &HazeParams.distance;
  s[kSlotHazeColor] = HazeParams.color;
  s[kSlotWaterClass] = &WaterParams.waterClass;
  s[kSlotWaterAspect] = &WaterParams.aspect;
  s[kSlotWaterVelocity] = WaterParams.velocity;
  s[kSlotWaterFresnel] = &WaterParams.fresnel;
  BindCloudLayer(s + kSlotCloudHighPresent, CloudHighParams);
  s[kSlotCloudHighColorLight] = CloudHighParams.colorLight;
  BindCloudLayer(s + kSlotCloudLowPresent, CloudLowParams);
  s[kSlotCloudLowGranularity] = &CloudLowParams.granularity;
  s[kSlotCloudLowColorLight] = CloudLowParams.colorLight;
  s[kSlotCloudLowColorDark] = CloudLowParams.colorDark;
  s[kSlotLightShaftIntensity] = &LightShaftParams.intensity;
  s[kSlotLightShaftHorizonCoverage] = &LightShaftParams.horizonCoverage;
  s[kSlotLightShaftLength] = &LightShaftParams.length;
}

void NormalizeSunDirection() {
  if (Normalisable(SunDirection))
    gKernelTable.KernelNormalize3(SunDirection);
  else
    SetDefaultSunDirection();
}

void UpdateSkyTurbidity() { SkyModelTurbidity = TurbidityFromSky(SkyParams.turbidity); }

void FogRecompute() {
  const float zintensity = FogParams.zintensity < kFogMinZIntensity ? kFogMinZIntensity
                                                                    : FogParams.zintensity;
  FogFloorHeight = FogParams.zstart - FogParams.zdistance / zintensity;
}

void HazeRecompute() {}
void WaterRecompute() {}
void CloudHighRecompute() {}
void CloudLowRecompute() {}

void RecomputeEnvironment() {
  NormalizeSunDirection();
  UpdateSkyTurbidity();
  FogRecompute();
  HazeRecompute();
  WaterRecompute();
  CloudHighRecompute();
  CloudLowRecompute();
}

void SetSun(float x, float y, float z, const TransformRecord& illuColorCorrection) {
  const float v[3] = {x, y, z};
  if (Normalisable(v)) {
    const float k = gKernelTable.KernelInvSqrt(x * x + y * y + z * z);
    SunDirection[0] = x * k;
    SunDirection[1] = y * k;
    SunDirection[2] = z * k;
  } else {
    SetDefaultSunDirection();
  }
  SunIlluColorCorrection = illuColorCorrection;
}

void SetSky(float turbidity, const TransformRecord& domeColorCorrection) {
  SkyParams.turbidity = turbidity;
  SkyModelTurbidity = TurbidityFromSky(turbidity);
  SkyParams.domeColorCorrection = domeColorCorrection;
}

void SetFog(float exp, float intensity, float distance, float zstart, float zdistance,
            float zintensity) {
  FogParams = FogParameters{exp, intensity, distance, zstart, zdistance, zintensity};
  FogRecompute();
}

void SetHaze(float exp, float intensity, float distance, float r, float g, float b) {
  HazeParams = HazeParameters{exp, intensity, distance, {r, g, b}};
}

void SetWater(std::int32_t waterClass, std::int32_t aspect, float fresnel, float velocityX,
              float velocityY) {
  WaterParams = WaterParameters{waterClass, aspect, {velocityX, velocityY}, fresnel};
}

void SetCloudHigh(std::int32_t cloudClass, std::int32_t aspect, float altitude, float velocityX,
                  float velocityY, float coverage, float opacity, const float* colorLight) {
  CloudHighParameters& c = CloudHighParams;
  SetCloudLayer(c, cloudClass, aspect, altitude, velocityX, velocityY, coverage, opacity);
  Copy3(c.colorLight, colorLight != nullptr ? colorLight : kSetterLightColour);
}

void ResetCloudHighColor() { Copy3(CloudHighParams.colorLight, kSetterLightColour); }

void SetCloudLow(std::int32_t cloudClass, std::int32_t aspect, float altitude, float velocityX,
                 float velocityY, float coverage, float opacity, float granularity,
                 const float* colorLight, const float* colorDark) {
  CloudLowParameters& c = CloudLowParams;
  SetCloudLayer(c, cloudClass, aspect, altitude, velocityX, velocityY, coverage, opacity);
  c.granularity = granularity;
  Copy3(c.colorLight, colorLight != nullptr ? colorLight : kSetterLightColour);
  Copy3(c.colorDark, colorDark != nullptr ? colorDark : kSetterDarkColour);
}

void ResetCloudLowColors() {
  Copy3(CloudLowParams.colorLight, kSetterLightColour);
  Copy3(CloudLowParams.colorDark, kSetterDarkColour);
}

}  // namespace veskor
