// The performance counter: a 64-bit monotonic count and its frequency. Read by the frame clock.
#pragma once

#include <cstdint>

namespace veskor {

// Monotonic counter in nanoseconds.
std::uint64_t ClockCounter();

// Counts per second of ClockCounter; never 0.
std::uint64_t ClockFrequency();

}  // namespace veskor
