#include "png_test_images.h"

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace veskor::test {
namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void FlushNothing(png_structp) {}

std::size_t RowBytes(const PngImageSpec& s) {
  int samples = 1;
  switch (s.colourType) {
    case PNG_COLOR_TYPE_RGB: samples = 3; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: samples = 4; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: samples = 2; break;
    default: break;
  }
  return (std::size_t{s.width} * samples * s.bitDepth + 7) / 8;
}

// Offset of the first chunk of `type`, or throws.
std::size_t FindChunk(const std::vector<std::uint8_t>& png, const char* type) {
  std::size_t at = 8;
  while (at + 12 <= png.size()) {
    const std::uint32_t length =
        (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
    if (std::memcmp(&png[at + 4], type, 4) == 0) return at;
    at += 12 + length;
  }
  throw std::runtime_error(std::string("no chunk ") + type);
}

void PutWord(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

PngImageSpec Grey8(std::uint32_t w, std::uint32_t h) {
  PngImageSpec s;
  s.colourType = PNG_COLOR_TYPE_GRAY;
  s.width = w;
  s.height = h;
  for (std::uint32_t i = 0; i < w * h; ++i) s.data.push_back(static_cast<std::uint8_t>(i * 37));
  return s;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const PngImageSpec& s) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng could not write the test image");
  }
  png_set_write_fn(png, &out, AppendBytes, FlushNothing);
  png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colourType,
               s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (std::size_t i = 0; i + 2 < s.palette.size(); i += 3) {
    palette.push_back({s.palette[i], s.palette[i + 1], s.palette[i + 2]});
  }
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!s.paletteAlpha.empty()) {
    png_set_tRNS(png, info, s.paletteAlpha.data(), static_cast<int>(s.paletteAlpha.size()),
                 nullptr);
  }
  if (s.colourKey) {
    png_color_16 key{};
    key.gray = s.keyGrey;
    key.red = s.keyRed;
    key.green = s.keyGreen;
    key.blue = s.keyBlue;
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  if (s.gamma > 0.0) png_set_gAMA(png, info, s.gamma);
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);
  const std::size_t rowBytes = RowBytes(s);
  std::vector<std::uint8_t> data = s.data;
  data.resize(rowBytes * s.height);
  for (int pass = 0; pass < passes; ++pass) {
    for (std::uint32_t y = 0; y < s.height; ++y) png_write_row(png, &data[y * rowBytes]);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<NamedPng> PngTestImages() {
  std::vector<NamedPng> images;
  auto add = [&](const char* name, const PngImageSpec& spec) {
    images.push_back({name, EncodePng(spec)});
  };

  PngImageSpec palette;
  palette.colourType = PNG_COLOR_TYPE_PALETTE;
  palette.width = 4;
  palette.height = 2;
  palette.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30};
  palette.data = {0, 1, 2, 3, 3, 2, 1, 0};
  add("palette.png", palette);
  palette.paletteAlpha = {0, 128};  // entries 2 and 3 stay opaque
  add("palette_trns.png", palette);

  add("grey.png", Grey8(5, 3));

  PngImageSpec greyAlpha;
  greyAlpha.colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
  greyAlpha.width = 2;
  greyAlpha.height = 2;
  greyAlpha.data = {0, 255, 50, 0, 100, 128, 255, 7};
  add("grey_alpha.png", greyAlpha);

  PngImageSpec rgba16;
  rgba16.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
  rgba16.bitDepth = 16;
  rgba16.width = 2;
  rgba16.height = 1;
  rgba16.data = {0x12, 0x34, 0xAB, 0xCD, 0xFF, 0xFF, 0x00, 0x80,
                 0x00, 0x01, 0x80, 0x00, 0x7F, 0xFF, 0xFE, 0xFF};
  add("rgba16.png", rgba16);

  PngImageSpec grey1;
  grey1.colourType = PNG_COLOR_TYPE_GRAY;
  grey1.bitDepth = 1;
  grey1.width = 10;  // two bytes a row, the last six bits padding
  grey1.height = 2;
  grey1.data = {0b10110000, 0b01000000, 0b01001111, 0b10000000};
  add("grey1.png", grey1);

  PngImageSpec rgb;
  rgb.colourType = PNG_COLOR_TYPE_RGB;
  rgb.width = 7;
  rgb.height = 5;
  for (std::uint32_t i = 0; i < 7 * 5 * 3; ++i) {
    rgb.data.push_back(static_cast<std::uint8_t>(i * 11));
  }
  add("rgb.png", rgb);
  rgb.interlaced = true;
  add("rgb_interlaced.png", rgb);
  rgb.interlaced = false;
  rgb.colourKey = true;
  rgb.keyRed = 0;  // the first pixel is (0, 11, 22)
  rgb.keyGreen = 11;
  rgb.keyBlue = 22;
  add("rgb_trns.png", rgb);

  PngImageSpec greyGamma = Grey8(5, 3);
  greyGamma.gamma = 1.0;
  add("grey_gamma.png", greyGamma);
  PngImageSpec greyKey = Grey8(5, 3);
  greyKey.colourKey = true;
  greyKey.keyGrey = 37;
  add("grey_trns.png", greyKey);
  return images;
}

void CorruptChunkCrc(std::vector<std::uint8_t>& png, const char* type) {
  const std::size_t at = FindChunk(png, type);
  const std::uint32_t length =
      (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
  png[at + 8 + length] ^= 0x5A;
}

void SetHeaderSize(std::vector<std::uint8_t>& png, std::uint32_t width, std::uint32_t height) {
  const std::size_t at = FindChunk(png, "IHDR");
  PutWord(&png[at + 8], width);
  PutWord(&png[at + 12], height);
  const std::uint32_t crc =
      static_cast<std::uint32_t>(crc32(0, &png[at + 4], 4 + 13));
  PutWord(&png[at + 8 + 13], crc);
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace veskor::test
