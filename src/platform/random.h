// The program's random generator: a linear congruential sequence with values 0..32767.
// Several computations rely on that range, so the C library's rand() is not used.
#pragma once

#include <cstdint>

namespace veskor {

inline constexpr int kRandomMax = 0x7FFF;

void RandomSeed(std::uint32_t seed);  // the program seeds with 1 at start
int RandomNext();                     // next value, 0..kRandomMax

}  // namespace veskor
