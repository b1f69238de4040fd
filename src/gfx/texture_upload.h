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

// The formats of a plain (0) or compressed (1) upload. Mode 1 takes only RGB and RGBA layouts;
// modes 2 and 3 only RGB; any other layout is fatal. Modes above 3 upload as mode 0.
TextureUploadFormat TextureUploadFormatFor(std::uint32_t mode, std::uint32_t format);

// Receives each level of an upload: level number, log2 sizes and texels.
using TextureLevelSink = void (*)(void* context, std::uint32_t level, std::uint32_t log2Width,
                                  std::uint32_t log2Height, const void* texels);

// Hands level 0 (the texels themselves) and, with the mip flag, every lower level to the sink.
// Each level halves the one before in each direction whose log2 size is still above 0, down
// to 1 x 1. The two work buffers come from the general heap and are freed before returning.
void BuildTextureLevels(const TextureUploadFormat& format, std::uint32_t log2Width,
                        std::uint32_t log2Height, const void* texels, std::uint32_t mip,
                        TextureLevelSink sink, void* context);

// Uploads level 0 and, with the mip flag, the mip chain to the texture bound to `target`
// (GL_TEXTURE_2D or a cube face).
void MvSetTexture(std::uint32_t target, std::uint32_t mode, std::uint32_t format,
                  std::uint32_t log2Width, std::uint32_t log2Height, const void* texels,
                  float* colour0, float* colour1, float* colour2, std::uint32_t mip);

// Prepares the colours of the mode (colours 0 and 1 are four floats, colour 2 three), uploads,
// then clears the fourth components of colours 0 and 1 for use as environment constants.
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
