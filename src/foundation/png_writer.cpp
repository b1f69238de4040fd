#include "foundation/png_writer.h"

#include <png.h>

#include <atomic>
#include <csetjmp>
#include <string>

#include "platform/file_replace.h"

namespace veskor {
namespace {

std::atomic<int> gCompressionLevel{-1};

[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data),
                                                         length);
}
void FlushNothing(png_structp) {}

// Kept outside the frame that calls setjmp, as in the reader.
struct PngEncode {
  png_structp png = nullptr;
  png_infop info = nullptr;
};

bool EncodePng(std::string* bytes, PngEncode* e, const std::uint8_t* pixels, std::uint32_t width,
               std::uint32_t height, std::uint32_t channels) {
  e->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (e->png == nullptr) return false;
  e->info = png_create_info_struct(e->png);
  if (e->info == nullptr) return false;
  if (setjmp(png_jmpbuf(e->png))) return false;
  png_set_write_fn(e->png, bytes, AppendBytes, FlushNothing);
  png_set_compression_level(e->png, gCompressionLevel.load());
  png_set_IHDR(e->png, e->info, width, height, 8,
               channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(e->png, e->info);
  for (std::uint32_t y = 0; y < height; ++y)
    png_write_row(e->png, pixels + std::size_t{y} * width * channels);
  png_write_end(e->png, nullptr);
  return true;
}

}  // namespace

int SetPngCompressionLevel(int level) { return gCompressionLevel.exchange(level); }

std::uint32_t SavePngFile(const char* path, const std::uint8_t* pixels, std::uint32_t width,
                          std::uint32_t height, std::uint32_t channels, std::string* reason) {
  std::string unused;
  if (reason == nullptr) reason = &unused;
  if (path == nullptr || pixels == nullptr || width == 0 || height == 0 ||
      (channels != 3 && channels != 4)) {
    *reason = "no image to write";
    return 0;
  }
  std::string bytes;
  PngEncode e;
  const bool encoded = EncodePng(&bytes, &e, pixels, width, height, channels);
  png_destroy_write_struct(&e.png, &e.info);
  if (!encoded) {
    *reason = "the image cannot be encoded as PNG";
    return 0;
  }
  return ReplaceFileWhole(path, bytes, reason, ThroughDescriptor::kWhereItStands,
                          NotRegularFile::kWrittenInPlace)
             ? 1
             : 0;
}

}  // namespace veskor
