// PNG textures: the loaders that turn a PNG file into a Texture2D (bytes) or FloatTexture2D
// (floats), whole, with its alpha from a second file, or split into one-channel textures; the
// height-to-normal converter and the texel address rule. Used by the renderer's images, the
// planets and the interface widgets.
//
// GL textures here have power-of-two sides: the image lands in the lower-numbered corner of a
// texture whose sides are the next powers of two, the file's top row as texel row 0, and the
// loaders report the fraction of the texture it covers. Texels outside the image keep what the
// texture held.
//
// Every loader returns 1 on success and 0 on failure: a missing or damaged file, a channel
// count above the file's (or outside 1..4), images of different sizes (the alpha variant), or
// a texture that would be larger than kPngTextureMaxBytes. On failure no texture and no output
// is touched. The file's pixels are released before every return.
//
// Masks: a written byte becomes (file byte AND m) OR (old texel byte AND NOT m), so m = 255
// writes the file value and m = 0 keeps the texture. A null mask writes the file values. Float
// textures take the old byte as the integer part of (old texel x 255), the texel clamped to
// [0, 1] first, and store bytes times 1/255.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gfx/texture_object.h"

namespace veskor {

// The largest pixel block a loader makes: the largest block the memory manager can give.
inline constexpr std::uint64_t kPngTextureMaxBytes = std::uint64_t{1} << 30;

// Where the image lies in its texture: exact is 1 when the image fills it (both sides powers
// of two), else 0; u scale = width / texture width, v scale = height / texture height.

// `channels` (1..4) samples of each pixel; `mask` is one byte for every channel.
std::uint32_t LoadPngTexture(const char* path, Texture2D& texture, std::uint32_t channels,
                             std::uint32_t& exact, float& uScale, float& vScale,
                             const std::uint8_t* mask);

// Four channels: red, green and blue of the colour file, alpha 255 minus the first sample of
// the same pixel of the alpha file (black in the alpha file is opaque). Both files must have
// the same size. `mask` is four bytes, one per channel.
std::uint32_t LoadPngTextureWithAlpha(const char* path, const char* alphaPath,
                                      Texture2D& texture, std::uint32_t& exact, float& uScale,
                                      float& vScale, const std::uint8_t* mask);

// Red, green and blue into three one-channel textures; `mask` is three bytes, one a texture.
std::uint32_t LoadPngTextureSplit(const char* path, Texture2D& red, Texture2D& green,
                                  Texture2D& blue, std::uint32_t& exact, float& uScale,
                                  float& vScale, const std::uint8_t* mask);

// `channels` (1..4) samples / 255; `mask` is one byte applied to every channel.
std::uint32_t LoadPngFloatTexture(const char* path, FloatTexture2D& texture,
                                  std::uint32_t channels, std::uint32_t& exact, float& uScale,
                                  float& vScale, const std::uint8_t* mask);

// Red, green and blue / 255 into three one-channel textures; `mask` is three bytes.
std::uint32_t LoadPngFloatTextureSplit(const char* path, FloatTexture2D& red,
                                       FloatTexture2D& green, FloatTexture2D& blue,
                                       std::uint32_t& exact, float& uScale, float& vScale,
                                       const std::uint8_t* mask);

// As LoadPngFloatTextureSplit, and a fourth texture of 1 - alpha / 255 (1 for a file without
// alpha; with a mask, the masked bits set). `mask` is four bytes.
std::uint32_t LoadPngFloatTextureSplit4(const char* path, FloatTexture2D& red,
                                        FloatTexture2D& green, FloatTexture2D& blue,
                                        FloatTexture2D& inverseAlpha, std::uint32_t& exact,
                                        float& uScale, float& vScale, const std::uint8_t* mask);

// Slopes of channel 0 of `source` (Sobel-like, times 0.25, clamped to [-1, 1], neighbours
// clamped at the borders) into five one-channel textures of the source's size: the positive
// and negative parts of the x and y slopes, and z = sqrt(1 - gx^2 - gy^2) (0 where the slopes
// together exceed 1). The written textures are marked dirty. Returns 0 and writes nothing when
// the source holds no texels or a destination is not one channel of the source's size.
std::uint32_t HeightToNormalSplit(const FloatTexture2D& source, FloatTexture2D& plusX,
                                  FloatTexture2D& plusY, FloatTexture2D& z,
                                  FloatTexture2D& minusX, FloatTexture2D& minusY);

// Address of texel (x, y): texels + ((y << log2 width) + x) x channels, in bytes or floats.
// The caller keeps x and y inside the texture.
inline std::uint8_t* TexelAddress(const Texture2D& texture, std::uint32_t x, std::uint32_t y) {
  return static_cast<std::uint8_t*>(texture.pixels.data) +
         ((std::size_t{y} << texture.pixels.log2Width) + x) * texture.pixels.channels;
}
inline float* TexelAddress(const FloatTexture2D& texture, std::uint32_t x, std::uint32_t y) {
  return static_cast<float*>(texture.pixels.data) +
         ((std::size_t{y} << texture.pixels.log2Width) + x) * texture.pixels.channels;
}

// Texture2DRelease for the owners that load into the texture again afterwards (the World and
// the interface screens): also forgets the released pixels, so no pointer into them is left.
void Texture2DReleaseCopy(Texture2D& texture);

}  // namespace veskor
