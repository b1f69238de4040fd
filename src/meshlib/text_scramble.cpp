#include "meshlib/text_scramble.h"

#include <cstdio>

namespace veskor {

std::uint32_t ScrambleTextFile(const char* inputPath, std::uint32_t shift, const char* outputPath) {
  std::FILE* in = std::fopen(inputPath, "rb");
  if (in == nullptr) return 0;
  std::FILE* out = std::fopen(outputPath, "wb");
  if (out == nullptr) {
    std::fclose(in);
    return 0;
  }
  for (int x = std::fgetc(in); x != EOF;) {
    const int next = std::fgetc(in);
    if (x == '\r' && next == '\n') {  // text reading: line ends become single line feeds
      x = next;
      continue;
    }
    std::int64_t y = std::int64_t{x} - shift;
    if (y < 0) y += 128;
    std::fputc(static_cast<unsigned char>(y), out);
    x = next;
  }
  const bool written = std::ferror(out) == 0;
  std::fclose(in);
  return std::fclose(out) == 0 && written ? 1 : 0;
}

std::uint32_t UnscrambleTextFile(const char* path, std::uint32_t shift, char* buffer,
                                 std::uint32_t capacity) {
  std::FILE* in = std::fopen(path, "rb");
  if (in == nullptr) return 0;
  std::uint32_t used = 0;
  bool fits = capacity > 0;
  for (int x; fits && (x = std::fgetc(in)) != EOF;) {
    if (used + 1 >= capacity) {
      fits = false;
      break;
    }
    std::int64_t y = std::int64_t{x} + shift;
    if (y > 127) y -= 128;
    buffer[used++] = static_cast<char>(static_cast<unsigned char>(y));
  }
  std::fclose(in);
  if (!fits) {
    if (capacity > 0) buffer[0] = '\0';
    return 0;
  }
  buffer[used] = '\0';
  return 1;
}

}  // namespace veskor
