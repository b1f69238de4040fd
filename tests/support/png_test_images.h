// PNG files written with libpng for the reader's tests, the tests of the PNG textures and of
// the fx image load, and the PNG fuzzer's seed corpus: one of every colour type and depth the
// reader expands, and ways to damage them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace veskor::test {

// What EncodePng writes: the header fields, the rows and the optional chunks.
struct PngImageDesc {
  int colourType = 0;  // PNG_COLOR_TYPE_*
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> data{};          // the rows as stored: packed, 16-bit big-endian
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<std::uint8_t> palette{};       // r, g, b per entry
  std::vector<std::uint8_t> paletteAlpha{};  // tRNS of a palette image; empty: no tRNS
  std::vector<std::uint16_t> colourKey{};    // tRNS of a grey (1 value) or RGB (3) image
  double gamma = 0.0;                        // gAMA; 0: no chunk
};

std::vector<std::uint8_t> EncodePng(const PngImageDesc& spec);

// Sample c of pixel (x, y), the file's top row being y = 0.
using PngSample = std::function<std::uint8_t(std::uint32_t x, std::uint32_t y, std::uint32_t c)>;
// An 8-bit image of 1 (grey), 2 (grey and alpha), 3 (RGB) or 4 (RGBA) samples a pixel.
std::vector<std::uint8_t> EncodePng(std::uint32_t width, std::uint32_t height,
                                    std::uint32_t samples, const PngSample& sample);

struct NamedPng {
  std::string name;
  std::vector<std::uint8_t> bytes;
};
// The undamaged images of the reader's tests, named "<kind>.png".
std::vector<NamedPng> PngTestImages();

// Damage: the CRC of the first chunk of `type` made wrong; the IHDR's width and height
// replaced (with a correct CRC).
void CorruptChunkCrc(std::vector<std::uint8_t>& png, const char* type);
void SetHeaderSize(std::vector<std::uint8_t>& png, std::uint32_t width, std::uint32_t height);

}  // namespace veskor::test
