#include "support/png_test_images.h"

#include <png.h>
#include <zlib.h>

#include <cstring>
#include <stdexcept>

namespace veskor::test {
namespace {

// Offset of the first chunk of `type` and its data length, or throws.
std::size_t FindChunk(const std::vector<std::uint8_t>& png, const char* type, std::uint32_t& n) {
  for (std::size_t at = 8; at + 12 <= png.size(); at += 12 + n) {
    n = (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
    if (std::memcmp(&png[at + 4], type, 4) == 0) return at;
  }
  throw std::runtime_error(std::string("no chunk ") + type);
}

void PutWord(std::uint8_t* p, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
}

// n samples of value i * step.
std::vector<std::uint8_t> Ramp(std::uint32_t n, std::uint32_t step) {
  std::vector<std::uint8_t> v(n);
  for (std::uint32_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i * step);
  return v;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const PngImageDesc& s) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng could not write the test image");
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
        bytes->insert(bytes->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, s.width, s.height, s.bitDepth, s.colourType,
               s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  static_assert(sizeof(png_color) == 3);
  if (!s.palette.empty())
    png_set_PLTE(png, info, reinterpret_cast<const png_color*>(s.palette.data()),
                 static_cast<int>(s.palette.size() / 3));
  if (!s.paletteAlpha.empty() || !s.colourKey.empty()) {
    std::vector<std::uint16_t> k = s.colourKey;
    k.resize(3);
    png_color_16 key{0, k[0], k[1], k[2], k[0]};
    png_set_tRNS(png, info, s.paletteAlpha.data(), static_cast<int>(s.paletteAlpha.size()), &key);
  }
  if (s.gamma > 0.0) png_set_gAMA(png, info, s.gamma);
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);
  const std::size_t rowBytes = png_get_rowbytes(png, info);
  std::vector<std::uint8_t> data = s.data;
  data.resize(rowBytes * s.height);
  for (int pass = 0; pass < passes; ++pass)
    for (std::uint32_t y = 0; y < s.height; ++y) png_write_row(png, &data[y * rowBytes]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<std::uint8_t> EncodePng(std::uint32_t width, std::uint32_t height,
                                    std::uint32_t samples, const PngSample& sample) {
  const int types[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                       PNG_COLOR_TYPE_RGB_ALPHA};
  std::vector<std::uint8_t> data;
  for (std::uint32_t i = 0; i < width * height * samples; ++i)
    data.push_back(sample(i / samples % width, i / samples / width, i % samples));
  return EncodePng({types[samples - 1], width, height, std::move(data)});
}

std::vector<NamedPng> PngTestImages() {
  std::vector<NamedPng> images;
  const auto add = [&](const char* name, const PngImageDesc& spec) {
    images.push_back({name, EncodePng(spec)});
  };
  PngImageDesc palette{PNG_COLOR_TYPE_PALETTE, 4, 2, {0, 1, 2, 3, 3, 2, 1, 0}};
  palette.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30};
  add("palette.png", palette);
  palette.paletteAlpha = {0, 128};  // entries 2 and 3 stay opaque
  add("palette_trns.png", palette);
  add("grey_alpha.png", {PNG_COLOR_TYPE_GRAY_ALPHA, 2, 2, {0, 255, 50, 0, 100, 128, 255, 7}});
  add("rgba16.png", {PNG_COLOR_TYPE_RGB_ALPHA, 2, 1,
                     {0x12, 0x34, 0xAB, 0xCD, 0xFF, 0xFF, 0x00, 0x80, 0x00, 0x01, 0x80, 0x00, 0x7F,
                      0xFF, 0xFE, 0xFF},
                     16});
  // Two bytes a row, the last six bits padding.
  add("grey1.png",
      {PNG_COLOR_TYPE_GRAY, 10, 2, {0b10110000, 0b01000000, 0b01001111, 0b10000000}, 1});
  PngImageDesc rgb{PNG_COLOR_TYPE_RGB, 7, 5, Ramp(7 * 5 * 3, 11)};
  add("rgb.png", rgb);
  rgb.interlaced = true;
  add("rgb_interlaced.png", rgb);
  rgb.interlaced = false;
  rgb.colourKey = {0, 11, 22};  // the first pixel
  add("rgb_trns.png", rgb);
  PngImageDesc grey{PNG_COLOR_TYPE_GRAY, 5, 3, Ramp(15, 37)};
  add("grey.png", grey);
  grey.gamma = 1.0;
  add("grey_gamma.png", grey);
  grey.gamma = 0.0;
  grey.colourKey = {37};
  add("grey_trns.png", grey);
  return images;
}

void CorruptChunkCrc(std::vector<std::uint8_t>& png, const char* type) {
  std::uint32_t length;
  const std::size_t at = FindChunk(png, type, length);
  png[at + 8 + length] ^= 0x5A;
}

void SetHeaderSize(std::vector<std::uint8_t>& png, std::uint32_t width, std::uint32_t height) {
  std::uint32_t length;
  const std::size_t at = FindChunk(png, "IHDR", length);
  PutWord(&png[at + 8], width);
  PutWord(&png[at + 12], height);
  PutWord(&png[at + 8 + 13], static_cast<std::uint32_t>(crc32(0, &png[at + 4], 4 + 13)));
}

}  // namespace veskor::test
