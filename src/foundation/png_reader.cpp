#include "foundation/png_reader.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include "platform/file_open.h"

namespace veskor {
namespace {

constexpr double kScreenGamma = 2.2;
constexpr std::size_t kSignatureBytes = 8;

// Everything a decode holds, kept outside the frame that calls setjmp: libpng reports a
// damaged file by a longjmp back there, and the caller then releases whatever was taken.
struct PngDecode {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::uint8_t* pixels = nullptr;
  png_bytep* rows = nullptr;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  std::uint32_t channels = 0;
  std::uint32_t rowBytes = 0;
};

void ReleaseDecode(PngDecode& d) {
  std::free(d.rows);
  d.rows = nullptr;
  std::free(d.pixels);
  d.pixels = nullptr;
  if (d.png != nullptr) png_destroy_read_struct(&d.png, &d.info, nullptr);
  d.png = nullptr;
  d.info = nullptr;
}

// libpng's own error handler prints and aborts the process; ours only unwinds to the decode.
[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

// Decodes the open file (its signature already read) into `d`. Returns false on any failure;
// the caller releases `d` either way. No object with a destructor lives in this frame, and
// nothing here is kept in locals across the setjmp.
bool DecodePng(std::FILE* file, PngDecode* d) {
  d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (d->png == nullptr) return false;
  d->info = png_create_info_struct(d->png);
  if (d->info == nullptr) return false;
  if (setjmp(png_jmpbuf(d->png))) return false;

  png_set_user_limits(d->png, kPngMaxSide, kPngMaxSide);
  png_init_io(d->png, file);
  png_set_sig_bytes(d->png, kSignatureBytes);
  png_read_info(d->png, d->info);

  const int bitDepth = png_get_bit_depth(d->png, d->info);
  const int colourType = png_get_color_type(d->png, d->info);
  if (bitDepth == 16) png_set_strip_16(d->png);
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_expand(d->png);
  if (bitDepth < 8) png_set_expand(d->png);
  if (png_get_valid(d->png, d->info, PNG_INFO_tRNS)) png_set_expand(d->png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_gray_to_rgb(d->png);
  }
  double fileGamma = 0.0;
  if (png_get_gAMA(d->png, d->info, &fileGamma)) png_set_gamma(d->png, kScreenGamma, fileGamma);
  png_set_interlace_handling(d->png);
  png_read_update_info(d->png, d->info);

  d->width = png_get_image_width(d->png, d->info);
  d->height = png_get_image_height(d->png, d->info);
  const std::uint32_t channels = png_get_channels(d->png, d->info) & 0xFF;
  const std::uint64_t rowBytes = png_get_rowbytes(d->png, d->info);
  // The transformations above leave 8-bit RGB or RGBA; check it rather than trust it, since
  // the block's size is computed from these numbers.
  if (channels != 3 && channels != 4) return false;
  if (rowBytes != std::uint64_t{d->width} * channels) return false;
  const std::uint64_t totalBytes = rowBytes * d->height;
  if (d->width == 0 || d->height == 0 || totalBytes > kPngMaxBytes) return false;
  d->channels = channels;
  d->rowBytes = static_cast<std::uint32_t>(rowBytes);

  d->pixels = static_cast<std::uint8_t*>(std::malloc(totalBytes));
  d->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * d->height));
  if (d->pixels == nullptr || d->rows == nullptr) return false;
  for (png_uint_32 y = 0; y < d->height; ++y) d->rows[y] = d->pixels + std::uint64_t{y} * rowBytes;
  png_read_image(d->png, d->rows);
  png_read_end(d->png, nullptr);
  return true;
}

}  // namespace

std::uint32_t LoadPngFile(const char* path, std::uint8_t*& pixels, std::uint32_t& width,
                          std::uint32_t& height, std::uint32_t& channels,
                          std::uint32_t& rowBytes) {
  if (path == nullptr) return 0;
  std::FILE* file = OpenRegularStreamForReading(path);
  if (file == nullptr) return 0;
  PngPixels block;
  const std::uint32_t read = LoadPngStream(file, block, width, height, channels, rowBytes);
  std::fclose(file);
  if (read != 0) pixels = block.release();
  return read;
}

std::uint32_t LoadPngStream(std::FILE* file, PngPixels& pixels, std::uint32_t& width,
                            std::uint32_t& height, std::uint32_t& channels,
                            std::uint32_t& rowBytes) {
  png_byte signature[kSignatureBytes];
  if (std::fread(signature, 1, kSignatureBytes, file) != kSignatureBytes ||
      png_sig_cmp(signature, 0, kSignatureBytes) != 0)
    return 0;
  PngDecode decode;
  if (!DecodePng(file, &decode)) {
    ReleaseDecode(decode);
    return 0;
  }
  pixels.reset(decode.pixels);
  width = decode.width;
  height = decode.height;
  channels = decode.channels;
  rowBytes = decode.rowBytes;
  decode.pixels = nullptr;  // now the caller's
  ReleaseDecode(decode);
  return 1;
}

std::uint32_t LoadPngFile(const char* path, PngPixels& pixels, std::uint32_t& width,
                          std::uint32_t& height, std::uint32_t& channels,
                          std::uint32_t& rowBytes) {
  std::uint8_t* block = nullptr;
  if (LoadPngFile(path, block, width, height, channels, rowBytes) == 0) return 0;
  pixels.reset(block);
  return 1;
}

}  // namespace veskor
