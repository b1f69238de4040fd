// Feeds arbitrary bytes to LoadPngFile through a file of its own. Any crash, sanitizer report
// or leak is a fault of the reader.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/png_reader.h"

namespace {

std::string gPath;

void RemoveInputFile() { std::remove(gPath.c_str()); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/veskor_png_fuzz_XXXXXX";
  const int fd = mkstemp(pattern);
  if (fd < 0) std::abort();
  close(fd);
  gPath = pattern;
  std::atexit(RemoveInputFile);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(gPath.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);

  std::uint8_t* pixels = nullptr;
  std::uint32_t width = 0, height = 0, channels = 0, rowBytes = 0;
  if (veskor::LoadPngFile(gPath.c_str(), pixels, width, height, channels, rowBytes) == 1) {
    if ((channels != 3 && channels != 4) || rowBytes != width * channels) std::abort();
    // Touch the first and last bytes: the block must be as large as reported.
    volatile std::uint8_t sink = pixels[0];
    sink = pixels[std::size_t{height} * rowBytes - 1];
    (void)sink;
    std::free(pixels);
  }
  return 0;
}
