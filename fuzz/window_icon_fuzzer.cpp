// Feeds arbitrary bytes to the window icon reader as an icon file. Any crash, sanitizer report
// or leak is a fault of the reader; so is an icon read from bytes too few to hold its image.
#include <cstdint>
#include <cstdlib>

#include "app/window_icon.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veskor::WindowIcon icon;
  // The directory, one entry and the smallest image (a PNG file of 16 x 16) at the least.
  constexpr std::size_t kSmallestIcon = 6 + 16 + 8 + 25 + 12;
  if (veskor::ParseWindowIcon(data, size, &icon) == 1 && size < kSmallestIcon) std::abort();
  return 0;
}
