#include "platform/random.h"

namespace veskor {

namespace {
std::uint32_t gSeed = 1;
}

void RandomSeed(std::uint32_t seed) { gSeed = seed; }

int RandomNext() {
  gSeed = gSeed * 214013u + 2531011u;
  return static_cast<int>((gSeed >> 16) & 0x7FFFu);
}

}  // namespace veskor
