// The PNG reader every image of the program passes through: decodes one file into 8-bit RGB
// or RGBA rows for the texture, interface and fx image loaders.
#pragma once

#include <cstdint>
#include <cstdio>

#include "foundation/c_heap.h"

namespace veskor {

// Larger images are refused rather than decoded: a side of more than kPngMaxSide pixels, or
// more than kPngMaxBytes of decoded pixels.
inline constexpr std::uint32_t kPngMaxSide = 65537;  // 2^16 + 1: the largest grid image
inline constexpr std::uint64_t kPngMaxBytes = std::uint64_t{1} << 30;

// Reads the PNG file at `path` into a new pixel block: rows from the top of the image down,
// each `rowBytes` = width x channels long; pixels left to right, one byte per channel, red,
// green, blue and then alpha when there are 4 channels. Palette, grey and low bit depths are
// expanded to RGB, 16-bit samples stripped to 8, a tRNS chunk becomes an alpha channel, and a
// file with a gAMA chunk is corrected for a screen gamma of 2.2.
//
// Returns 1 with the outputs written; the block is on the C heap and the caller releases it
// with std::free. Returns 0, allocating nothing and writing no output, for a null path, a
// file that does not open or is not a regular file (a FIFO is never waited on), a file without
// the PNG signature, damaged or truncated data, and images over the limits above.
std::uint32_t LoadPngFile(const char* path, std::uint8_t*& pixels, std::uint32_t& width,
                          std::uint32_t& height, std::uint32_t& channels,
                          std::uint32_t& rowBytes);

// The same for C++ callers: on success `pixels` owns the block (the outputs as above); on
// failure nothing is written.
using PngPixels = CHeapPtr<std::uint8_t[]>;
std::uint32_t LoadPngFile(const char* path, PngPixels& pixels, std::uint32_t& width,
                          std::uint32_t& height, std::uint32_t& channels,
                          std::uint32_t& rowBytes);

// The same from an open stream at its current position (an image embedded in another file);
// the stream stays open.
std::uint32_t LoadPngStream(std::FILE* file, PngPixels& pixels, std::uint32_t& width,
                            std::uint32_t& height, std::uint32_t& channels,
                            std::uint32_t& rowBytes);

}  // namespace veskor
