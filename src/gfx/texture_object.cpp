#include "gfx/texture_object.h"

#include <cstdint>

#include "foundation/fatal_error.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_combine.h"
#include "gfx/texture_format.h"
#include "gfx/texture_memory.h"
#include "gfx/texture_names.h"
#include "gfx/texture_upload.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"

namespace veskor {

namespace {

std::uint32_t ByteFormatCode(std::uint32_t channels) {
  switch (channels) {
    case 2: return kFormatUnsignedBytes | kLayoutHilo;
    case 3: return kFormatUnsignedBytes | kLayoutRgb;
    case 4: return kFormatUnsignedBytes | kLayoutRgba;
    default: return kFormatUnsignedBytes | kLayoutLuminance;
  }
}

std::uint32_t FloatFormatCode(std::uint32_t channels) {
  switch (channels) {
    case 2: return kLayoutHilo;
    case 3: return kLayoutRgb;
    case 4: return kLayoutRgba;
    default: return kLayoutLuminance;
  }
}

std::uint32_t Texels(const TexturePixels& p) {
  return std::uint32_t{1} << (p.log2Width + p.log2Height);
}

void ReleasePixels(TexturePixels& p) {
  MemBlockRelease(p.block);
  p = TexturePixels{};
}

// Gives the record a block of exactly `bytes` committed bytes, keeping the one it has when it
// is of that size already.
void SizePixelBlock(TexturePixels& p, std::uint64_t bytes) {
  if (bytes > (std::uint64_t{1} << 31))
    FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  if (p.data != nullptr && p.block.usedBytes == bytes) return;
  MemBlockRelease(p.block);
  p.block = MemBlock{};
  p.data = nullptr;
  if (bytes == 0) return;
  const auto n = static_cast<std::uint32_t>(bytes);
  MemBlockReserve(p.block, n);
  p.data = MemBlockAppend(p.block, n);
}

void ResizePixels(TexturePixels& p, std::uint32_t channels, std::uint32_t log2Width,
                  std::uint32_t log2Height, std::uint32_t elementBytes) {
  const std::uint32_t w = log2Width & 0xFFFF;
  const std::uint32_t h = log2Height & 0xFFFF;
  if (w + h > 31) FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  SizePixelBlock(p, (std::uint64_t{channels} * elementBytes) << (w + h));
  p.log2Width = static_cast<std::uint16_t>(w);
  p.log2Height = static_cast<std::uint16_t>(h);
  p.channels = static_cast<std::uint16_t>(channels);
  p.halfTexelWidth = 0.5f / static_cast<float>(std::uint64_t{1} << w);
  p.halfTexelHeight = 0.5f / static_cast<float>(std::uint64_t{1} << h);
}

// Subtracts the size the last counted upload added, unless the counters were cleared with a
// renewal of the names since. Runs before the pixels change size, while `texels` still
// describes the upload that was counted.
void ReleaseCounted(TextureState& s, std::uint32_t texels) {
  if (s.stamp != ContextStamp) s.counted = 0;
  if (s.counted != 0) {
    TextureMemorySub(texels, s.accountedBytes);
    s.counted = 0;
  }
}

void AllocName(TextureState& s) {
  if (s.hasSlot != 0) return;
  s.slot = TakeTextureSlot();
  s.slotStamp = ContextStamp;
  s.hasSlot = 1;
  s.dirty = 1;
}

void ReturnSlot(TextureState& s) {
  if (s.hasSlot != 0) GiveBackTextureSlot(s.slot, s.slotStamp);
}

// The state reset of the resize operations, after the pixels.
void ResetForNewImage(TextureState& s, std::uint32_t channels, std::uint32_t formatCode) {
  s.channels = channels;
  if (s.slotStamp != ContextStamp) s.hasSlot = 0;  // stale: the pool no longer knows it
  if (s.hasSlot == 0) s.slot = 0;
  s.needsCounting = 1;
  s.dirty = 1;
  s.valid = 1;
  s.stamp = 0;
  s.wrap = 0;
  s.filter = 0;
  AllocName(s);
  s.formatCode = formatCode;
}

void InitState(TextureState& s, std::uint32_t formatCode) {
  const std::uint32_t channels = s.channels;
  s = TextureState{};
  s.channels = channels;
  s.dirty = 1;
  s.valid = 1;
  s.formatCode = formatCode;
}

// Free: pixels, counted size and slot; the object stays usable.
void FreeState(TextureState& s) {
  ReturnSlot(s);
  s.slot = 0;
  s.hasSlot = 0;
  s.stamp = 0;
  s.wrap = 0;
  s.filter = 0;
  s.dirty = 1;
  s.valid = 1;
}

std::uint32_t WantsMipChain(const TextureState& s) { return s.filter & 1; }

void ApplyParameters(GLenum target, const TextureState& s) {
  switch (s.filter & 3) {
    case kFilterBilinear:
      glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      break;
    case kFilterNearest:
      glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
      break;
    default:
      glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
      glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      break;
  }
  const auto clamp = static_cast<GLint>(TextureClampMode);
  glTexParameteri(target, GL_TEXTURE_WRAP_S, (s.wrap & kWrapRepeatS) ? GL_REPEAT : clamp);
  glTexParameteri(target, GL_TEXTURE_WRAP_T, (s.wrap & kWrapRepeatT) ? GL_REPEAT : clamp);
  if (s.minLodFlag != 0) glTexParameterf(target, GL_TEXTURE_MIN_LOD, s.minLod);
  if (s.maxLodFlag != 0) glTexParameterf(target, GL_TEXTURE_MAX_LOD, s.maxLod);
}

// The steps every bind shares around the upload itself. `upload` returns the bytes the
// counters take for it.
template <class Upload>
void Bind(TextureState& s, GLenum target, bool holdsPixels, std::uint32_t mode,
          std::int32_t pass, Upload upload) {
  if (s.hasSlot == 0 || s.valid == 0) return;
  if (s.slotStamp != ContextStamp) {  // taken before the names were renewed
    s.hasSlot = 0;
    AllocName(s);
  }
  glBindTexture(target, TextureNameTable[s.slot]);
  if (holdsPixels && (s.stamp != ContextStamp || s.dirty != 0)) {
    // The counters were cleared with the names: an upload counted before is counted again.
    if (s.counted != 0 && s.stamp != ContextStamp) {
      s.counted = 0;
      s.needsCounting = 1;
    }
    if (mode != kModeKeepEnvironment) s.mode = mode;
    const std::uint32_t bytes = upload(s.mode, WantsMipChain(s));
    if (s.needsCounting != 0) {
      s.accountedBytes = bytes;
      s.counted = 1;
      s.needsCounting = 0;
    }
    ApplyParameters(target, s);
    s.dirty = 0;
    s.stamp = ContextStamp;
  }
  if (mode != kModeKeepEnvironment) SetTextureCombine(s.mode, pass, s.colour0, s.colour1);
}

void Bind2D(TextureObject2D& t, std::uint32_t mode, std::int32_t pass, bool floatTexels) {
  TexturePixels& p = t.pixels;
  TextureState& s = t.state;
  Bind(s, GL_TEXTURE_2D, p.data != nullptr, mode, pass,
       [&](std::uint32_t uploadMode, std::uint32_t mip) -> std::uint32_t {
         if (floatTexels)
           gKernelTable.MapClamp01(static_cast<std::uint8_t>(p.channels),
                                     static_cast<std::uint8_t>(p.log2Width),
                                     static_cast<std::uint8_t>(p.log2Height),
                                     static_cast<float*>(p.data));
         SetTexture2D(uploadMode, s.formatCode, p.log2Width, p.log2Height, p.data, s.colour0,
                      s.colour1, s.colour2, mip);
         if (s.needsCounting == 0) return 0;
         return TextureMemoryAdd2D(uploadMode, s.formatCode, p.log2Width, p.log2Height, mip);
       });
}

// A wrap or filter word of a texture: a new value marks the GL copy out of date.
void SetStateWord(TextureState& state, std::uint32_t TextureState::*word, std::uint32_t value) {
  if (state.*word == value) return;
  state.*word = value;
  state.dirty = 1;
}

}  // namespace

Texture2D::Texture2D() { Texture2DInit(*this); }
Texture2D::~Texture2D() { Texture2DRelease(*this); }
FloatTexture2D::FloatTexture2D() { FloatTexture2DInit(*this); }
FloatTexture2D::~FloatTexture2D() { Texture2DRelease(*this); }

TextureCube::TextureCube() { InitState(state, FloatFormatCode(state.channels)); }

TextureCube::~TextureCube() {
  ReleaseCounted(state, 6 * Texels(faces[0]));
  ReturnSlot(state);
  for (TexturePixels& face : faces) ReleasePixels(face);
}

void Texture2DInit(Texture2D& texture) {
  texture.pixels = TexturePixels{};
  InitState(texture.state, ByteFormatCode(texture.state.channels));
}

void FloatTexture2DInit(FloatTexture2D& texture) {
  texture.pixels = TexturePixels{};
  InitState(texture.state, FloatFormatCode(texture.state.channels));
}

void FloatTexture2DInitBlock(FloatTexture2D& texture) {
  TexturePixels& p = texture.pixels;
  p.block = MemBlock{};
  p.data = nullptr;
  p.log2Width = 0;
  p.log2Height = 0;
}

void Texture2DResize(Texture2D& texture, std::uint32_t channels, std::uint32_t log2Width,
                     std::uint32_t log2Height) {
  ReleaseCounted(texture.state, Texels(texture.pixels));
  ResizePixels(texture.pixels, channels, log2Width, log2Height, 1);
  ResetForNewImage(texture.state, channels, ByteFormatCode(channels));
}

void FloatTexture2DRealloc(FloatTexture2D& texture, std::uint32_t channels,
                           std::uint32_t log2Width, std::uint32_t log2Height) {
  ReleaseCounted(texture.state, Texels(texture.pixels));
  ResizePixels(texture.pixels, channels, log2Width, log2Height, sizeof(float));
  ResetForNewImage(texture.state, channels, FloatFormatCode(channels));
}

void TextureCubeResize(TextureCube& cube, std::uint32_t channels, std::uint32_t log2Size) {
  ReleaseCounted(cube.state, 6 * Texels(cube.faces[0]));
  for (TexturePixels& face : cube.faces)
    ResizePixels(face, channels, log2Size, log2Size, sizeof(float));
  ResetForNewImage(cube.state, channels, FloatFormatCode(channels));
  cube.state.minLodFlag = 0;
  cube.state.maxLodFlag = 0;
}

void Texture2DResizeWH(Texture2D& texture, std::uint32_t channels, std::uint32_t log2Width,
                       std::uint32_t log2Height) {
  ResizePixels(texture.pixels, channels, log2Width, log2Height, 1);
}

void FloatTexture2DResize(FloatTexture2D& texture, std::uint32_t channels,
                          std::uint32_t log2Width, std::uint32_t log2Height) {
  ResizePixels(texture.pixels, channels, log2Width, log2Height, sizeof(float));
}

void Texture2DResizeWH2(Texture2D& texture, std::uint32_t log2Width, std::uint32_t log2Height) {
  TexturePixels& p = texture.pixels;
  const std::uint32_t w = log2Width & 0xFFFF;
  const std::uint32_t h = log2Height & 0xFFFF;
  if (w + h > 29) FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  // The block is kept only when it holds exactly four bytes a texel of the new size, so a
  // smaller block of the same log2 sizes is never written past.
  SizePixelBlock(p, std::uint64_t{4} << (w + h));
  p.log2Width = static_cast<std::uint16_t>(w);
  p.log2Height = static_cast<std::uint16_t>(h);
}

void TexturePixelsResizeFloat(TexturePixels& pixels, std::uint32_t channels,
                              std::uint32_t log2Width, std::uint32_t log2Height) {
  ResizePixels(pixels, channels, log2Width, log2Height, sizeof(float));
}

void TexturePixelsRelease(TexturePixels& pixels) { ReleasePixels(pixels); }

void TextureCubeRecount(TextureCube& cube) {
  ReleaseCounted(cube.state, 6 * Texels(cube.faces[0]));
  cube.state.needsCounting = 1;
}

void Texture2DAllocName(TextureObject2D& texture) { AllocName(texture.state); }
void TextureCubeAllocName(TextureCube& cube) { AllocName(cube.state); }

void Texture2DBind(Texture2D& texture, std::uint32_t mode, std::int32_t pass) {
  Bind2D(texture, mode, pass, false);
}

void FloatTexture2DBind(FloatTexture2D& texture, std::uint32_t mode, std::int32_t pass) {
  Bind2D(texture, mode, pass, true);
}

void TextureCubeBind(TextureCube& cube, std::uint32_t mode, std::int32_t pass) {
  bool holdsPixels = true;
  const void* faces[6];
  for (int i = 0; i < 6; ++i) {
    faces[i] = cube.faces[i].data;
    holdsPixels = holdsPixels && faces[i] != nullptr;
  }
  TextureState& s = cube.state;
  const TexturePixels& p = cube.faces[0];
  Bind(s, GL_TEXTURE_CUBE_MAP_ARB, holdsPixels, mode, pass,
       [&](std::uint32_t uploadMode, std::uint32_t mip) -> std::uint32_t {
         SetTextureCube(uploadMode, s.formatCode, p.log2Width, p.log2Height, faces, s.colour0,
                        s.colour1, s.colour2, mip);
         if (s.needsCounting == 0) return 0;
         return TextureMemoryAddCube(uploadMode, s.formatCode, p.log2Width, p.log2Height, mip);
       });
}

void Texture2DSetWrap(TextureObject2D& texture, std::uint32_t wrap) {
  SetStateWord(texture.state, &TextureState::wrap, wrap);
}

void Texture2DSetFilter(TextureObject2D& texture, std::uint32_t filter) {
  SetStateWord(texture.state, &TextureState::filter, filter);
}

void TextureCubeSetWrap(TextureCube& cube, std::uint32_t wrap) {
  SetStateWord(cube.state, &TextureState::wrap, wrap);
}

void TextureCubeSetFilter(TextureCube& cube, std::uint32_t filter) {
  SetStateWord(cube.state, &TextureState::filter, filter);
}

void TextureCubeSetLod(TextureCube& cube, float maxLod) {
  if (HasExtension(kExtTextureLod) == 0) return;
  cube.state.maxLod = maxLod;
  cube.state.maxLodFlag = 1;
  cube.state.dirty = 1;
}

void Texture2DSetFormatCode(Texture2D& texture) {
  texture.state.formatCode = ByteFormatCode(texture.state.channels);
}

void FloatTexture2DSetFormatCode(FloatTexture2D& texture) {
  texture.state.formatCode = FloatFormatCode(texture.state.channels);
}

void TextureCubeSetFormatCode(TextureCube& cube) {
  cube.state.formatCode = FloatFormatCode(cube.state.channels);
}

void TextureFree(TextureObject2D& texture) {
  ReleaseCounted(texture.state, Texels(texture.pixels));
  ReleasePixels(texture.pixels);
  FreeState(texture.state);
}

void TextureCubeRelease(TextureCube& cube) {
  ReleaseCounted(cube.state, 6 * Texels(cube.faces[0]));
  for (TexturePixels& face : cube.faces) ReleasePixels(face);
  FreeState(cube.state);
  cube.state.minLodFlag = 0;
  cube.state.maxLodFlag = 0;
}

void TextureCubeFreeFaces(TextureCube& cube) {
  for (TexturePixels& face : cube.faces) {
    MemBlockRelease(face.block);
    face.block = MemBlock{};
    face.data = nullptr;
  }
}

void Texture2DRelease(TextureObject2D& texture) {
  ReleaseCounted(texture.state, Texels(texture.pixels));
  ReturnSlot(texture.state);
  texture.state.hasSlot = 0;
  MemBlockRelease(texture.pixels.block);
}

}  // namespace veskor
