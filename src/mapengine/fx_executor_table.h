// The table of the fx executors in the order of the fx registry's rows, with the type and
// access codes of their results and parameters. The registry copies it row by row when the
// built-in functions are registered; the fx parser matches calls against these codes.
#pragma once

#include <cstdint>

#include "mapengine/fx_frame.h"

namespace veskor {

// Type codes of the fx language.
inline constexpr std::uint16_t kFxTypeAny = 0;
inline constexpr std::uint16_t kFxTypeValue = 1;
inline constexpr std::uint16_t kFxTypeString = 2;
// Access bits.
inline constexpr std::uint16_t kFxAccessRead = 1;
inline constexpr std::uint16_t kFxAccessWrite = 2;

struct FxDescriptor {
  std::uint16_t type;
  std::uint16_t access;
};

inline constexpr std::uint32_t kFxMaxParameters = 4;

struct FxExecutorEntry {
  // The operation's name in the fx language; row 25 (displace) has none there and is reached
  // only through an assignment to the output `displace`.
  const char* name;
  FxExecutor executor;
  FxDescriptor result;
  std::uint32_t parameterCount;
  FxDescriptor parameters[kFxMaxParameters];
  std::uint32_t writesFirstArgument;  // 1 for '=' and displace
};

inline constexpr std::uint32_t kFxExecutorCount = 26;

// Rows 0-25: '=', select, group2, group3, group4, access, load, '+', '-', '*', '/', dot,
// cross, abs, min, max, repeat, clamp, step, stepLinear, stepSmooth, noise, noiseFrac,
// noiseTurb, transform, displace.
extern const FxExecutorEntry kFxExecutorTable[kFxExecutorCount];

}  // namespace veskor
