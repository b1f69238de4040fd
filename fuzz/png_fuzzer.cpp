// Feeds arbitrary bytes to LoadPngFile through a file of its own. Any crash, sanitizer report
// or leak is a fault of the reader.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "foundation/png_reader.h"
#include "support/temp_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const veskor::test::TempDir dir("veskor_png_fuzz");
  const std::string path = dir.Write("input.png", std::span(data, size));

  veskor::PngPixels pixels;
  std::uint32_t width = 0, height = 0, channels = 0, rowBytes = 0;
  if (veskor::LoadPngFile(path.c_str(), pixels, width, height, channels, rowBytes) == 1) {
    if ((channels != 3 && channels != 4) || rowBytes != width * channels) std::abort();
    // Touch the first and last bytes: the block must be as large as reported.
    volatile std::uint8_t sink = pixels[0];
    sink = pixels[std::size_t{height} * rowBytes - 1];
    (void)sink;
  }
  return 0;
}
