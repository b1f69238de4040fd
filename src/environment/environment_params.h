// The environment parameters of a world (sun, sky, fog, haze, water, high and low clouds, light
// shafts): one global value per key of the `Environment` block, their defaults, the table of
// pointers the block parser writes through, and the steps the render session runs on them
// before the scene is built. The sky, the clouds, the planets, the flares and the fog and water
// passes read the values directly.
//
// The fog limit is FogFloorHeight of the graphics core (gfx/fog_floor.h): the view-volume
// test reads it there, and this folder writes it.
#pragma once

#include <cstdint>

#include "gfx/fog_floor.h"
#include "mapengine/rotation_cache.h"

namespace veskor {

// The value of the three colour-correction keys: flag word, dirty flag, the matrix, scale,
// rotation axis and angle in degrees, translation. Its matrix is read through
// RotationCacheGet; a default-constructed record is the identity.
using TransformRecord = RotationCache;

// Codes of the word-valued keys.
enum : std::int32_t { kWaterLake = 1, kWaterSea = 2 };
enum : std::int32_t { kAspectIso = 1, kAspectLong = 2, kAspectVeryLong = 3 };
enum : std::int32_t { kCloudCumulus = 1, kCloudCirrus = 2, kCloudStratus = 4 };

struct SkyParameters {
  float turbidity;
  float horizon[2];  // width and height of the horizon band of the luminance
  float sunSpot[2];  // width and height of the sun spot of the luminance
  TransformRecord domeColorCorrection;
  TransformRecord illuColorCorrection;
};

struct FogParameters {
  float exp, intensity, distance;
  float zstart, zdistance, zintensity;
};

struct HazeParameters {
  float exp, intensity, distance;
  float color[3];
};

struct WaterParameters {
  std::int32_t waterClass;  // stored, read by nothing
  std::int32_t aspect;      // stored, read by nothing
  float velocity[2];
  float fresnel;
};

struct CloudHighParameters {
  std::int32_t present;  // 1: the render preparation generates the high clouds
  std::int32_t cloudClass;
  std::int32_t aspect;
  float altitude;
  float velocity[2];
  float coverage;
  float opacity;  // parsed and kept; the high clouds do not use it
  float colorLight[3];
};

struct CloudLowParameters {
  std::int32_t present;  // 1: the render preparation generates the low clouds
  std::int32_t cloudClass;
  std::int32_t aspect;
  float altitude;
  float velocity[2];
  float coverage;
  float opacity;
  float granularity;
  float colorLight[3];
  float colorDark[3];
};

struct LightShaftParameters {
  float intensity;
  float horizonCoverage;
  float length;
};

// Direction of the sunlight, from the sun towards the scene (the sun stands at -SunDirection).
extern float SunDirection[3];
extern TransformRecord SunIlluColorCorrection;
extern SkyParameters SkyParams;
extern FogParameters FogParams;
extern HazeParameters HazeParams;
extern WaterParameters WaterParams;
extern CloudHighParameters CloudHighParams;
extern CloudLowParameters CloudLowParams;
extern LightShaftParameters LightShaftParams;

// Derived values. SkyModelTurbidity is 0.1 until the first render session.
extern float SkyModelTurbidity;
extern std::int32_t LightShaftsEnabled;  // set by the light-ray loader, cleared by the defaults

// The binding slots, in the order of the bindings table.
enum EnvironmentSlot : std::uint32_t {
  kSlotSunDirection, kSlotSunIlluColorCorrection,
  kSlotSkyTurbidity, kSlotSkyHorizon, kSlotSkySunSpot, kSlotSkyDomeColorCorrection,
  kSlotSkyIlluColorCorrection,
  kSlotFogExp, kSlotFogIntensity, kSlotFogDistance, kSlotFogZStart, kSlotFogZDistance,
  kSlotFogZIntensity,
  kSlotHazeExp, kSlotHazeIntensity, kSlotHazeDistance, kSlotHazeColor,
  kSlotWaterClass, kSlotWaterAspect, kSlotWaterVelocity, kSlotWaterFresnel,
  kSlotCloudHighPresent, kSlotCloudHighClass, kSlotCloudHighAspect, kSlotCloudHighAltitude,
  kSlotCloudHighVelocity, kSlotCloudHighCoverage, kSlotCloudHighOpacity,
  kSlotCloudHighColorLight,
  kSlotCloudLowPresent, kSlotCloudLowClass, kSlotCloudLowAspect, kSlotCloudLowAltitude,
  kSlotCloudLowVelocity, kSlotCloudLowCoverage, kSlotCloudLowOpacity, kSlotCloudLowGranularity,
  kSlotCloudLowColorLight, kSlotCloudLowColorDark,
  kSlotLightShaftIntensity, kSlotLightShaftHorizonCoverage, kSlotLightShaftLength,
  kEnvironmentSlotCount
};
static_assert(kEnvironmentSlotCount == 42);

// What a slot's value is and how the block parser checks it before writing.
enum class EnvironmentValue : std::uint8_t {
  kFloats,      // `count` floats
  kTransform,   // a TransformRecord ("Transform required")
  kWaterClass,  // "lake" 1, "sea" 2
  kAspect,      // "iso" 1, "long" 2, "very long" 3
  kCloudClass,  // "cirr" 2, else "cumul" 1, else "strat" 4
  kPresence,    // no key: 0 at the start of an Environment block, 1 when the sub-block appears
};
enum class EnvironmentCheck : std::uint8_t {
  kNone,
  kRange,    // each value in [lo, hi]: "value must be in [%.1f,%.1f]"
  kMinimum,  // each value >= lo: "value must be >= %.1f"
};

struct EnvironmentSlotInfo {
  const char* block;
  const char* key;  // null for the presence flags
  EnvironmentValue value;
  std::uint8_t count;
  EnvironmentCheck check;
  float lo, hi;
};

inline constexpr EnvironmentSlotInfo kEnvironmentSlots[kEnvironmentSlotCount] = {
    {"Sun", "direction", EnvironmentValue::kFloats, 3, EnvironmentCheck::kRange, -1, 1},
    {"Sun", "IlluColorCorrection", EnvironmentValue::kTransform, 1, EnvironmentCheck::kNone, 0, 0},
    {"Sky", "turbidity", EnvironmentValue::kFloats, 1, EnvironmentCheck::kRange, 0, 1},
    {"Sky", "horizon", EnvironmentValue::kFloats, 2, EnvironmentCheck::kRange, -4, 4},
    {"Sky", "sunSpot", EnvironmentValue::kFloats, 2, EnvironmentCheck::kRange, -4, 4},
    {"Sky", "DomeColorCorrection", EnvironmentValue::kTransform, 1, EnvironmentCheck::kNone, 0, 0},
    {"Sky", "IlluColorCorrection", EnvironmentValue::kTransform, 1, EnvironmentCheck::kNone, 0, 0},
    {"Fog", "exp", EnvironmentValue::kFloats, 1, EnvironmentCheck::kMinimum, 0, 0},
    {"Fog", "intensity", EnvironmentValue::kFloats, 1, EnvironmentCheck::kRange, 0, 1},
    {"Fog", "distance", EnvironmentValue::kFloats, 1, EnvironmentCheck::kMinimum, 0, 0},
    {"Fog", "zstart", EnvironmentValue::kFloats, 1, EnvironmentCheck::kNone, 0, 0},
    {"Fog", "zdistance", EnvironmentValue::kFloats, 1, EnvironmentCheck::kNone, 0, 0},
    {"Fog", "zintensity", EnvironmentValue::kFloats, 1, EnvironmentCheck::kRange, 0, 1},
    {"Haze", "exp", EnvironmentValue::kFloats, 1, EnvironmentCheck::kMinimum, 0, 0},
    {"Haze", "intensity", EnvironmentValue::kFloats, 1, EnvironmentCheck::kRange, 0, 1},
    {"Haze", "distance", EnvironmentValue::kFloats, 1, EnvironmentCheck::kMinimum, 0, 0},
    {"Haze", "color", EnvironmentValue::kFloats, 3, EnvironmentCheck::kMinimum, 0, 0},
    {"Water", "class", EnvironmentValue::kWaterClass, 1, EnvironmentCheck::kNone, 0, 0},
    {"Water", "aspect", EnvironmentValue::kAspect, 1, EnvironmentCheck::kNone, 0, 0},
    {"Water", "velocity", EnvironmentValue::kFloats, 2, EnvironmentCheck::kNone, 0, 0},
    {"Water", "fresnel", EnvironmentValue::kFloats, 1, EnvironmentCheck::kRange, 0, 1},
    {"CloudHigh", nullptr, EnvironmentValue::kPresence, 1, EnvironmentCheck::kNone, 0, 0},
    {"CloudHigh", "class", EnvironmentValue::kCloudClass, 1, EnvironmentCheck::kNone, 0, 0},
    {"CloudHigh", "aspect", EnvironmentValue::kAspect, 1, EnvironmentCheck::kNone, 0, 0},
    {"CloudHigh", "altitude", EnvironmentValue::kFloats, 1, EnvironmentCheck::kNone, 0, 0},
    {"CloudHigh", "velocity", EnvironmentValue::kFloats, 2, EnvironmentCheck::kNone, 0, 0},
    {"CloudHigh", "coverage", EnvironmentValue::kFloats, 1, EnvironmentCheck::kRange, 0, 1},
    {"CloudHigh", "opacity", EnvironmentValue::kFloats, 1, EnvironmentCheck::kRange, 0, 1},
    {"CloudHigh", "colorLight", EnvironmentValue::kFloats, 3, EnvironmentCheck::kMinimum, 0, 0},
    {"CloudLow", nullptr, EnvironmentValue::kPresence, 1, EnvironmentCheck::kNone, 0, 0},
    {"CloudLow", "class", EnvironmentValue::kCloudClass, 1, EnvironmentCheck::kNone, 0, 0},
    {"CloudLow", "aspect", EnvironmentValue::kAspect, 1, EnvironmentCheck::kNone, 0, 0},
    {"CloudLow", "altitude", EnvironmentValue::kFloats, 1, EnvironmentCheck::kNone, 0, 0},
    {"CloudLow", "velocity", EnvironmentValue::kFloats, 2, EnvironmentCheck::kNone, 0, 0},
    {"CloudLow", "coverage", EnvironmentValue::kFloats, 1, EnvironmentCheck::kRange, 0, 1},
    {"CloudLow", "opacity", EnvironmentValue::kFloats, 1, EnvironmentCheck::kRange, 0, 1},
    {"CloudLow", "granularity", EnvironmentValue::kFloats, 1, EnvironmentCheck::kRange, 0, 1},
    {"CloudLow", "colorLight", EnvironmentValue::kFloats, 3, EnvironmentCheck::kMinimum, 0, 0},
    {"CloudLow", "colorDark", EnvironmentValue::kFloats, 3, EnvironmentCheck::kMinimum, 0, 0},
    {"LightShaft", "intensity", EnvironmentValue::kFloats, 1, EnvironmentCheck::kRange, 0, 1},
    {"LightShaft", "horizonCoverage", EnvironmentValue::kFloats, 1, EnvironmentCheck::kRange, 0,
     1},
    {"LightShaft", "length", EnvironmentValue::kFloats, 1, EnvironmentCheck::kMinimum, 0, 0},
};

// One pointer per slot, at the first float or integer of the parameter (a TransformRecord
// for the three colour corrections). The World of the scene language holds the table; the
// block parser writes a value only through a slot whose pointer is set.
struct EnvironmentBindings {
  void* slots[kEnvironmentSlotCount];
};

// Before every parse: stores every default (both presence flags 1, the colour corrections
// identity), clears LightShaftsEnabled and fills `bindings` completely. The listing of the fx
// table that precedes it in a compile session is the caller's: the fx registry belongs to the
// scene language, which this folder may not include.
void EnvironmentDefaults(EnvironmentBindings& bindings);

// The render-session steps, in this order, before the lens-flare and light-ray images load.
// NormalizeSunDirection: SunDirection to unit length; a direction too short to normalise (or
// not finite) becomes the default direction, so that no sun angle is undefined.
void NormalizeSunDirection();
// SkyModelTurbidity = 0.5 (1 - t) + 12 t for the Sky turbidity t.
void UpdateSkyTurbidity();
// FogFloorHeight = zstart - zdistance / zintensity. A zintensity below kFogMinZIntensity counts
// as that value: zintensity 0 means no height fog, which puts the limit far below any scene
// instead of at an infinite or undefined height.
void FogRecompute();
void HazeRecompute();
void WaterRecompute();
void CloudHighRecompute();
void CloudLowRecompute();
// All of the above, in that order.
void RecomputeEnvironment();

inline constexpr float kFogMinZIntensity = 1e-6f;

// Setters for code that sets a block without parsing. SetSun normalises as
// NormalizeSunDirection does; SetSky also derives SkyModelTurbidity; SetFog runs FogRecompute.
// A null colour takes the setter's own colour: (1.0, 0.9, 0.75) for light, (0.5, 0.45, 0.58)
// for dark.
void SetSun(float x, float y, float z, const TransformRecord& illuColorCorrection);
void SetSky(float turbidity, const TransformRecord& domeColorCorrection);
void SetFog(float exp, float intensity, float distance, float zstart, float zdistance,
            float zintensity);
void SetHaze(float exp, float intensity, float distance, float r, float g, float b);
void SetWater(std::int32_t waterClass, std::int32_t aspect, float fresnel, float velocityX,
              float velocityY);
void SetCloudHigh(std::int32_t cloudClass, std::int32_t aspect, float altitude, float velocityX,
                  float velocityY, float coverage, float opacity, const float* colorLight);
void ResetCloudHighColor();
void SetCloudLow(std::int32_t cloudClass, std::int32_t aspect, float altitude, float velocityX,
                 float velocityY, float coverage, float opacity, float granularity,
                 const float* colorLight, const float* colorDark);
void ResetCloudLowColors();

}  // namespace veskor
