#include "platform/clock.h"

#include <ctime>

namespace veskor {

std::uint64_t ClockCounter() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull +
         static_cast<std::uint64_t>(ts.tv_nsec);
}

std::uint64_t ClockFrequency() { return 1000000000ull; }

}  // namespace veskor
