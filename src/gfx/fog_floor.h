// FogFloorHeight: the height below which the fog hides everything, Fog zstart - zdistance /
// zintensity of the environment settings (defaults 0, 200 and 0.8 give -250). The view-volume
// test drops every box whose top lies at or below it.
//
// The environment code computes it before each render session, and the water-mirror view
// replaces it while it draws. It is declared here, in the graphics core, because the
// environment is built on this folder and may not be included from it; the environment code
// owns the value and writes it, this folder only reads it.
#pragma once

namespace veskor {

inline constexpr float kFogFloorHeightDefault = 0.0f - 200.0f / 0.8f;

inline float FogFloorHeight = kFogFloorHeightDefault;

}  // namespace veskor
