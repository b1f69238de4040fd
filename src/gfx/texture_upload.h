// Texture upload: turns a block of texels into one OpenGL texture image with its mip chain,
// built on the CPU by repeated halving. The texture objects call it from their bind
// operations; other code calls SetTexture2D for textures it binds itself.
#pragma once

#include <cstdint>

namespace veskor {

// How an upload mode and format code reach glTexImage2D.
struct TextureUploadFormat {
  std::int32_t internalFormat;
  std::uint32_t externalFormat;
  std::uint32_t type;        // GL_FLOAT, GL_UNSIGNED_BYTE, GL_BYTE or GL_SHORT; 0 uploads nothing
  std::uint32_t components;  // values per texel
  std::uint32_t mipChain;    // 0 for the layouts that upload one level whatever the mip flag
};

// The formats of an upload. Mode 1 takes only RGB and RGBA layouts; modes 2 and 3 only RGB,
// uploaded as four channels of their converter; any other layout is fatal. Modes above 3 upload
// as mode 0.
TextureUploadFormat TextureUploadFormatFor(std::uint32_t mode, std::uint32_t format);

// The converters of the split modes, which turn three-channel texels into four: the alpha
// channel takes an amount of a colour axis (or the largest channel), RGB the remainder that
// the texture environment adds back (see texture_combine.h).
enum class TextureSplitKind : std::uint32_t {
  kNone,                // modes 0 and 1: the texels as they are
  kKeyColourFromBase,   // mode 3 with a combiner extension: key colour split of texel - base
  kKeyColour,           // mode 3 without one, mode 2 with one: key colour split of the texel
  kMaxChannel,          // mode 2 without one: largest channel in alpha, its distances in RGB
};

// The converter of `mode` on this board. A combiner extension is present when the board has
// GL_NV_texture_env_combine4, GL_ATIX_texture_env_combine3 or GL_NV_register_combiners2.
TextureSplitKind TextureSplitKindFor(std::uint32_t mode);

// A converter with its colours: the base colour (colour 0), the key colour (colour 1) and the
// channel the key colour is measured along (the first word of the channel order).
struct TextureSplit {
  TextureSplitKind kind;
  const float* base;
  const float* key;
  const std::uint32_t* channel;
};

// Colour 2 of the split modes holds the channel order of the key colour, largest spread first:
// three 32-bit indices kept in the words of the three floats.
void TextureColourOrder(const float* colour2, std::uint32_t order[3]);

// Receives each level of an upload: level number, log2 sizes and texels.
using TextureLevelSink = void (*)(void* context, std::uint32_t level, std::uint32_t log2Width,
                                  std::uint32_t log2Height, const void* texels);

// Hands level 0 and, with the mip flag, every lower level to the sink. Each level halves the
// one before in each direction whose log2 size is still above 0, down to 1 x 1. With a split
// converter the three-channel texels are halved and every level is converted before the sink
// sees it. The work buffers come from the general heap and are freed before returning.
void BuildTextureLevels(const TextureUploadFormat& format, const TextureSplit* split,
                        std::uint32_t log2Width, std::uint32_t log2Height, const void* texels,
                        std::uint32_t mip, TextureLevelSink sink, void* context);

// The colour preparation of SetTextureByFormat and SetTextureCube over `count` images (one, or
// the six faces of a cube) of 2^(log2Width + log2Height) texels each: mode 3 with a combiner
// extension sets colour 0 to the per-channel minimum of the texels, then colours 1 and 2 to
// their principal axes from it; mode 3 without one and mode 2 with one set colour 0 to black
// and the axes from it; every other mode sets colours 0 and 1 to black. A layout that a split
// mode does not take is fatal before any texel is read.
void PrepareTextureColours(std::uint32_t mode, std::uint32_t format, std::uint32_t log2Width,
                           std::uint32_t log2Height, const void* const* images, int count,
                           float* colour0, float* colour1, float* colour2);

// Uploads level 0 and, with the mip flag, the mip chain to the texture bound to `target`
// (GL_TEXTURE_2D or a cube face).
void MvSetTexture(std::uint32_t target, std::uint32_t mode, std::uint32_t format,
                  std::uint32_t log2Width, std::uint32_t log2Height, const void* texels,
                  float* colour0, float* colour1, float* colour2, std::uint32_t mip);

// Prepares the colours of the mode (colours 0 and 1 are four floats, colour 2 three), uploads,
// then clears the fourth components of colours 0 and 1 for use as environment constants.
// Null colours stand for colours the caller does not keep.
void SetTextureByFormat(std::uint32_t target, std::uint32_t mode, std::uint32_t format,
                        std::uint32_t log2Width, std::uint32_t log2Height, const void* texels,
                        float* colour0, float* colour1, float* colour2, std::uint32_t mip);

void SetTexture2D(std::uint32_t mode, std::uint32_t format, std::uint32_t log2Width,
                  std::uint32_t log2Height, const void* texels, float* colour0, float* colour1,
                  float* colour2, std::uint32_t mip);

// The six faces in the order negative X, positive X, negative Y, positive Y, negative Z,
// positive Z, uploaded with the same colours.
void SetTextureCube(std::uint32_t mode, std::uint32_t format, std::uint32_t log2Width,
                    std::uint32_t log2Height, const void* const faces[6], float* colour0,
                    float* colour1, float* colour2, std::uint32_t mip);

}  // namespace veskor
