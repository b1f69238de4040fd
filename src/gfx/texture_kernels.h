// The raster kernels that the texture uploads and texture objects call: copies, halving for
// the mip chains, and clamping. They are entries of the map engine's kernel table; this table
// names the entries the graphics core needs, with the kernel table's argument order (sizes and
// channel counts first as 8-bit values, sources, destination last).
//
// LOCAL STAND-IN: until the map engine's KernelTable is wired in, TextureKernelTable is filled
// with the plain members of texture_kernels_local.cpp. Wiring it means filling these entries
// from the KernelTable entries of the same names (or calling those entries directly).
#pragma once

#include <cstdint>

namespace veskor {

struct TextureKernelTable {
  // Copy ch x 2^(w+h) bytes / floats.
  void (*MapCopyBytes)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const void* source,
                       void* destination);
  void (*MapCopyBytes2)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const void* source,
                        void* destination);
  void (*MapCopy)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const void* source,
                  void* destination);
  // Halve a raster of ch interleaved channels: both directions when both flags are set, only
  // the width when only halveWidth is set, else the height.
  void (*MapDownsample)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint8_t halveWidth,
                        std::uint8_t halveHeight, const float* source, float* destination);
  void (*MapBytesDownsample)(std::uint8_t ch, std::uint8_t w, std::uint8_t h,
                             std::uint8_t halveWidth, std::uint8_t halveHeight,
                             const std::uint8_t* source, std::uint8_t* destination);
  void (*MapBytesDownsample2)(std::uint8_t ch, std::uint8_t w, std::uint8_t h,
                              std::uint8_t halveWidth, std::uint8_t halveHeight,
                              const std::int8_t* source, std::int8_t* destination);
  // In place: below 0 to 0, above 1 to 1, NaN to 0.
  void (*MapClamp01)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* data);
};

extern TextureKernelTable TextureKernels;

}  // namespace veskor
