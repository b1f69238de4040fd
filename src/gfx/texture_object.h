// Texture objects: Texture2D (byte texels), FloatTexture2D (float texels, clamped to [0, 1] at
// upload) and TextureCube (six square faces of float texels). Each owns its pixels in a
// MemBlock and uploads them to OpenGL only when it is bound and something changed: its pixels,
// wrap or filter (dirty), or the texture names since its last upload (ContextStamp).
//
// A texture holds a slot of TextureNameTable rather than a GL name. The slot remembers the
// ContextStamp it was taken under: after a renewal of the names the slot is stale, is never
// given back to the pool, and is replaced by a fresh one at the next resize or bind, so no two
// textures share a GL name.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

namespace veskor {

// The pixels of a 2-D texture or of one cube face: 2^log2Width x 2^log2Height texels of
// `channels` interleaved values, rows of 2^log2Width texels.
struct TexturePixels {
  MemBlock block;
  void* data;  // null while no pixels are held
  std::uint16_t log2Width;
  std::uint16_t log2Height;
  std::uint16_t channels;
  float halfTexelWidth;   // 0.5 / width
  float halfTexelHeight;  // 0.5 / height
};

// Wrap bits: a clear bit clamps with TextureClampMode.
enum : std::uint32_t { kWrapRepeatS = 1, kWrapRepeatT = 2 };
// Filter modes (low two bits): bilinear, trilinear with a mip chain, nearest.
enum : std::uint32_t { kFilterBilinear = 0, kFilterTrilinear = 1, kFilterNearest = 2 };

struct TextureState {
  std::uint32_t slot;       // index into TextureNameTable
  std::uint32_t hasSlot;
  std::uint32_t slotStamp;  // ContextStamp when the slot was taken
  std::uint32_t dirty;      // the GL copy is out of date
  std::uint32_t counted;    // texels and accountedBytes are in the texture-memory counters
  std::uint32_t needsCounting;  // the next upload adds its size to the counters
  std::uint32_t valid;          // a texture that is not valid is never bound
  std::uint32_t stamp;          // ContextStamp at the last upload
  std::uint32_t channels;
  std::uint32_t formatCode;     // see texture_format.h
  float colour0[4];             // colour basis of the split modes and combine constants
  float colour1[4];
  float colour2[3];
  std::uint32_t wrap;
  std::uint32_t filter;
  std::uint32_t mode;           // upload and combine mode of the last upload
  std::uint32_t accountedBytes;
  std::uint32_t minLodFlag;
  std::uint32_t maxLodFlag;
  float minLod;
  float maxLod;
};

// The layout Texture2D and FloatTexture2D share; operations on either take it.
struct TextureObject2D {
  TexturePixels pixels{};
  TextureState state{};
};

struct Texture2D : TextureObject2D {
  Texture2D();
  ~Texture2D();
  Texture2D(const Texture2D&) = delete;
  Texture2D& operator=(const Texture2D&) = delete;
};

struct FloatTexture2D : TextureObject2D {
  FloatTexture2D();
  ~FloatTexture2D();
  FloatTexture2D(const FloatTexture2D&) = delete;
  FloatTexture2D& operator=(const FloatTexture2D&) = delete;
};

// Faces 0 to 5: negative X, positive X, negative Y, positive Y, negative Z, positive Z.
struct TextureCube {
  TexturePixels faces[6]{};
  TextureState state{};
  TextureCube();
  ~TextureCube();
  TextureCube(const TextureCube&) = delete;
  TextureCube& operator=(const TextureCube&) = delete;
};

// Construction: no pixels, no slot, dirty and valid, format code from the channel count
// already in the object.
void Texture2DInit(Texture2D& texture);
void FloatTexture2DInit(FloatTexture2D& texture);
// Forgets the pixel block without releasing it (the pixel record's block, data and sizes).
void FloatTexture2DInitBlock(FloatTexture2D& texture);

// Resize to (channels, log2 width, log2 height) and reset the GL state for a new image: the
// counted size is subtracted, dirty, valid and needs-counting are set, stamp, wrap and filter
// become 0, a stale slot is dropped and a slot taken, the format code follows the channels.
// Pixels of the same byte size keep their block.
void Texture2DResize(Texture2D& texture, std::uint32_t channels, std::uint32_t log2Width,
                     std::uint32_t log2Height);
void FloatTexture2DRealloc(FloatTexture2D& texture, std::uint32_t channels,
                           std::uint32_t log2Width, std::uint32_t log2Height);
void TextureCubeResize(TextureCube& cube, std::uint32_t channels, std::uint32_t log2Size);

// Resize only the pixel record (byte or float texels) and its half-texel sizes.
void Texture2DResizeWH(Texture2D& texture, std::uint32_t channels, std::uint32_t log2Width,
                       std::uint32_t log2Height);
void FloatTexture2DResize(FloatTexture2D& texture, std::uint32_t channels,
                          std::uint32_t log2Width, std::uint32_t log2Height);
// Resize only the pixel block, to four bytes a texel; channels and half-texel sizes stay.
void Texture2DResizeWH2(Texture2D& texture, std::uint32_t log2Width, std::uint32_t log2Height);

// Resize one pixel record of float texels (a cube face, a work record) and its half-texel
// sizes; the block stays when its byte size is unchanged. Release gives the block back.
void TexturePixelsResizeFloat(TexturePixels& pixels, std::uint32_t channels,
                              std::uint32_t log2Width, std::uint32_t log2Height);
void TexturePixelsRelease(TexturePixels& pixels);

// Before the faces of a cube change size in place: subtracts what its last counted upload
// added, so that its next upload counts the new size.
void TextureCubeRecount(TextureCube& cube);

// Take a slot when the texture has none (marks it dirty).
void Texture2DAllocName(TextureObject2D& texture);
inline void FloatTexture2DAllocName(FloatTexture2D& texture) { Texture2DAllocName(texture); }
void TextureCubeAllocName(TextureCube& cube);

// Bind to the active unit, uploading first when the texture is dirty or was last uploaded
// under an older ContextStamp, then set the texture environment for its mode (combine pass
// `pass`). Mode kModeKeepEnvironment uploads with the stored mode and leaves the environment
// alone. A texture without slot or not valid is not bound at all.
void Texture2DBind(Texture2D& texture, std::uint32_t mode, std::int32_t pass);
void FloatTexture2DBind(FloatTexture2D& texture, std::uint32_t mode, std::int32_t pass);
void TextureCubeBind(TextureCube& cube, std::uint32_t mode, std::int32_t pass);

// Setters that mark the texture dirty only when the value changes.
void Texture2DSetWrap(TextureObject2D& texture, std::uint32_t wrap);
void Texture2DSetFilter(TextureObject2D& texture, std::uint32_t filter);
void TextureCubeSetWrap(TextureCube& cube, std::uint32_t wrap);
void TextureCubeSetFilter(TextureCube& cube, std::uint32_t filter);
// Only with the texture-LOD extension: the maximum LOD, applied at the next upload.
void TextureCubeSetLod(TextureCube& cube, float maxLod);

void Texture2DSetFormatCode(Texture2D& texture);
void FloatTexture2DSetFormatCode(FloatTexture2D& texture);
// For the cube owners, after they set the channel count: 1 to 4 channels give the float
// layouts luminance, HILO, RGB, RGBA; any other count luminance.
void TextureCubeSetFormatCode(TextureCube& cube);

inline std::uint32_t TextureLog2Width(const TextureObject2D& t) { return t.pixels.log2Width; }
inline std::uint32_t TextureLog2Height(const TextureObject2D& t) { return t.pixels.log2Height; }
inline void* TextureData(const TextureObject2D& t) { return t.pixels.data; }

// Free the pixels and the slot; the object stays usable (dirty and valid, LOD kept).
void TextureFree(TextureObject2D& texture);
// The same for a cube, which also clears its LOD flags.
void TextureCubeRelease(TextureCube& cube);
// Release only the six face blocks.
void TextureCubeFreeFaces(TextureCube& cube);

// Destructors: subtract the counted size, give the slot back, release the pixels.
void Texture2DRelease(TextureObject2D& texture);
inline void FloatTexture2DRelease(FloatTexture2D& texture) { Texture2DRelease(texture); }

}  // namespace veskor
