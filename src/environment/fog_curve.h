// FogCurve: the fog by distance from the eye, one value per column of the fog texture (column
// i stands for i + 0.5 of 256 steps of the fog distance). The fog stage of the render
// preparation fills it and sets its length; the puff drawing of the mirror views reads it. It
// is declared here, in the environment, because the scene rendering that fills it is built on
// this folder and may not be included from it.
#pragma once

#include <cstdint>

namespace veskor {

inline constexpr std::uint32_t kFogCurveCapacity = 256;

inline float FogCurve[kFogCurveCapacity] = {};
// The entries filled, 0 before the first fog stage.
inline std::uint32_t FogCurveLength = 0;

}  // namespace veskor
