// The `Environment` block: `Environment` `{` sub-block ... `}` with the sub-blocks `Sun`, `Sky`,
// `Fog`, `Haze`, `Water`, `CloudHigh`, `CloudLow` and `LightShaft`, each `{` key ( value ) ...
// `}`. It stores nothing of its own: every key writes through the World's environment
// bindings, which the environment defaults fill before each parse, with the slots, component
// counts and checks of kEnvironmentSlots (environment/environment_params.h). The directive
// loop hands the block to ParseEnvironment (scene_blocks.h).
#pragma once

namespace veskor {

inline constexpr const char* kEnvironmentSyntaxError = "Environment syntax error";
inline constexpr const char* kWaterClassExpected = "'lake' or 'sea' expected";
inline constexpr const char* kAspectExpected = "'iso' or 'long' or 'very long' expected";
inline constexpr const char* kCloudClassExpected =
    "'cirr[us/o]' or/and 'strat[us/o]' or/and 'cumul[us/o]' expected";

}  // namespace veskor
