// PNG files written with libpng for the reader's tests and the fuzzer's seed corpus: one of
// every colour type and depth the reader expands, and ways to damage them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veskor::test {

struct PngImageSpec {
  int colourType = 0;  // PNG_COLOR_TYPE_*
  int bitDepth = 8;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool interlaced = false;
  std::vector<std::uint8_t> palette;      // r, g, b per entry
  std::vector<std::uint8_t> paletteAlpha; // tRNS of a palette image; empty: no tRNS
  bool colourKey = false;                 // tRNS of a grey or RGB image
  std::uint16_t keyGrey = 0;
  std::uint16_t keyRed = 0, keyGreen = 0, keyBlue = 0;
  double gamma = 0.0;                     // gAMA; 0: no chunk
  std::vector<std::uint8_t> data;         // the rows as stored: packed, 16-bit big-endian
};

std::vector<std::uint8_t> EncodePng(const PngImageSpec& spec);

struct NamedPng {
  std::string name;
  std::vector<std::uint8_t> bytes;
};
// The undamaged images of the tests, named "<kind>.png".
std::vector<NamedPng> PngTestImages();

// Damage: the CRC of the first chunk of `type` made wrong; the IHDR's width and height
// replaced (with a correct CRC).
void CorruptChunkCrc(std::vector<std::uint8_t>& png, const char* type);
void SetHeaderSize(std::vector<std::uint8_t>& png, std::uint32_t width, std::uint32_t height);

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace veskor::test
