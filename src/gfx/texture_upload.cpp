#include "gfx/texture_upload.h"

#include <algorithm>
#include <cstdlib>

#include "foundation/fatal_error.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_format.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"

namespace veskor {

namespace {

enum class Storage { kFloat, kUnsignedBytes, kSignedBytes, kShorts };

// Bits 3 and 4 of the format code. Both bits mean unsigned bytes, except for HILO texels,
// which are then 16-bit.
Storage StorageOf(std::uint32_t format) {
  const bool unsignedBit = (format & kFormatUnsignedBytes) != 0;
  const bool signedBit = (format & kFormatSignedBytes) != 0;
  if (unsignedBit && signedBit)
    return FormatLayout(format) == kLayoutHilo ? Storage::kShorts : Storage::kUnsignedBytes;
  if (unsignedBit) return Storage::kUnsignedBytes;
  if (signedBit) return Storage::kSignedBytes;
  return Storage::kFloat;
}

GLenum TypeOf(Storage storage) {
  switch (storage) {
    case Storage::kFloat: return GL_FLOAT;
    case Storage::kUnsignedBytes: return GL_UNSIGNED_BYTE;
    case Storage::kSignedBytes: return GL_BYTE;
    case Storage::kShorts: return GL_SHORT;
  }
  return 0;
}

std::size_t ElementBytes(GLenum type) {
  switch (type) {
    case GL_FLOAT: return 4;
    case GL_SHORT: return 2;
    default: return 1;
  }
}

struct LevelUpload {
  GLenum target;
  const TextureUploadFormat* format;
};

void UploadLevel(void* context, std::uint32_t level, std::uint32_t log2Width,
                 std::uint32_t log2Height, const void* texels) {
  const auto* upload = static_cast<const LevelUpload*>(context);
  glTexImage2D(upload->target, static_cast<GLint>(level), upload->format->internalFormat,
               GLsizei{1} << log2Width, GLsizei{1} << log2Height, 0,
               upload->format->externalFormat, upload->format->type, texels);
}

void* WorkBuffer(std::size_t bytes) {
  void* p = std::malloc(bytes);
  if (p == nullptr) FatalError("Texture Upload : Out Of Memory !");
  return p;
}

void HalveLevel(GLenum type, std::uint8_t ch, std::uint8_t w, std::uint8_t h, const void* source,
                void* destination) {
  const std::uint8_t halveWidth = w > 0 ? 1 : 0;
  const std::uint8_t halveHeight = h > 0 ? 1 : 0;
  switch (type) {
    case GL_FLOAT:
      gKernelTable.MapDownsample(ch, w, h, halveWidth, halveHeight,
                                   static_cast<const float*>(source),
                                   static_cast<float*>(destination));
      break;
    case GL_BYTE:
      gKernelTable.MapBytesDownsample2(ch, w, h, halveWidth, halveHeight,
                                         static_cast<const std::int8_t*>(source),
                                         static_cast<std::int8_t*>(destination));
      break;
    default:
      gKernelTable.MapBytesDownsample(ch, w, h, halveWidth, halveHeight,
                                        static_cast<const std::uint8_t*>(source),
                                        static_cast<std::uint8_t*>(destination));
      break;
  }
}

void PrepareColours(std::uint32_t mode, float* colour0, float* colour1) {
  // The colour bases of the split modes come with their converters; every other mode clears
  // colours 0 and 1.
  (void)mode;
  for (float* c : {colour0, colour1})
    if (c != nullptr) c[0] = c[1] = c[2] = 0.0f;
}

void ClearFourthComponents(float* colour0, float* colour1) {
  if (colour0 != nullptr) colour0[3] = 0.0f;
  if (colour1 != nullptr) colour1[3] = 0.0f;
}

}  // namespace

TextureUploadFormat TextureUploadFormatFor(std::uint32_t mode, std::uint32_t format) {
  const std::uint32_t layout = FormatLayout(format);
  const Storage storage = StorageOf(format);
  if (mode == kModeSplit || mode == kModeSplitOnBasis) {
    if (layout != kLayoutRgb) FatalError(kSplitLayoutMessage);
    const GLenum type = storage == Storage::kFloat ? GL_FLOAT : GL_UNSIGNED_BYTE;
    return {static_cast<GLint>(CompressedRgbaFormat), GL_RGBA, type, 4, 1};
  }
  if (mode == kModeCompressed) {
    if (layout == kLayoutRgb)
      return {static_cast<GLint>(CompressedRgbFormat), GL_RGB, TypeOf(storage), 3, 1};
    if (layout == kLayoutRgba)
      return {static_cast<GLint>(CompressedRgbaFormat), GL_RGBA, TypeOf(storage), 4, 1};
    FatalError(kCompressedLayoutMessage);
  }
  // Plain uploads. Mesa has none of the texture-shader formats: signed RGB and RGBA go to the
  // SNORM formats, HILO to two 16-bit channels, DSDT to two signed 8-bit channels. Intensity
  // texels are passed as luminance, the only external format GL takes for them.
  const GLenum type = TypeOf(storage);
  switch (layout) {
    case kLayoutLuminance: return {GL_LUMINANCE8, GL_LUMINANCE, type, 1, 1};
    case kLayoutIntensity: return {GL_INTENSITY8, GL_LUMINANCE, type, 1, 1};
    case kLayoutAlpha: return {GL_ALPHA8, GL_ALPHA, type, 1, 1};
    case kLayoutRgb:
      return {storage == Storage::kSignedBytes ? GL_RGB8_SNORM : 3, GL_RGB, type, 3, 1};
    case kLayoutRgba:
      return {storage == Storage::kSignedBytes ? GL_RGBA8_SNORM : 4, GL_RGBA, type, 4, 1};
    case kLayoutHilo:
      // One level only; signed bytes upload nothing.
      return {GL_RG16, GL_RG, storage == Storage::kSignedBytes ? 0u : type, 2, 0};
    case kLayoutDsdt:
      // Signed bytes only.
      return {GL_RG8_SNORM, GL_RG, storage == Storage::kSignedBytes ? type : 0u, 2, 1};
    default:
      return {0, 0, 0, 0, 0};  // layout 7 has no format
  }
}

void BuildTextureLevels(const TextureUploadFormat& format, std::uint32_t log2Width,
                        std::uint32_t log2Height, const void* texels, std::uint32_t mip,
                        TextureLevelSink sink, void* context) {
  if (format.type == 0) return;
  std::uint8_t w = static_cast<std::uint8_t>(log2Width);
  std::uint8_t h = static_cast<std::uint8_t>(log2Height);
  sink(context, 0, w, h, texels);
  const std::uint32_t levels = std::max(w, h);
  if (mip == 0 || format.mipChain == 0 || levels == 0) return;

  // The first halving reads the texels themselves; later ones swap between two buffers,
  // each the size of level 1.
  const std::size_t levelOneBytes =
      (std::size_t{format.components} << (w + h)) / 2 * ElementBytes(format.type);
  void* buffers[2] = {WorkBuffer(levelOneBytes), WorkBuffer(levelOneBytes)};
  const std::uint8_t ch = static_cast<std::uint8_t>(format.components);
  const void* source = texels;
  for (std::uint32_t level = 1; level <= levels; ++level) {
    void* destination = buffers[level & 1];
    HalveLevel(format.type, ch, w, h, source, destination);
    if (w > 0) --w;
    if (h > 0) --h;
    sink(context, level, w, h, destination);
    source = destination;
  }
  std::free(buffers[0]);
  std::free(buffers[1]);
}

void MvSetTexture(std::uint32_t target, std::uint32_t mode, std::uint32_t format,
                  std::uint32_t log2Width, std::uint32_t log2Height, const void* texels,
                  float* colour0, float* colour1, float* colour2, std::uint32_t mip) {
  (void)colour0;
  (void)colour1;
  (void)colour2;
  const TextureUploadFormat upload = TextureUploadFormatFor(mode, format);
  // The colour-split uploads (modes 2 and 3) arrive with their converters.
  if (mode == kModeSplit || mode == kModeSplitOnBasis) return;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // rows of small levels are not 4-byte aligned
  LevelUpload context{target, &upload};
  BuildTextureLevels(upload, log2Width & 0xFF, log2Height & 0xFF, texels, mip, UploadLevel,
                     &context);
}

void SetTextureByFormat(std::uint32_t target, std::uint32_t mode, std::uint32_t format,
                        std::uint32_t log2Width, std::uint32_t log2Height, const void* texels,
                        float* colour0, float* colour1, float* colour2, std::uint32_t mip) {
  PrepareColours(mode, colour0, colour1);
  MvSetTexture(target, mode, format, log2Width, log2Height, texels, colour0, colour1, colour2,
               mip);
  ClearFourthComponents(colour0, colour1);
}

void SetTexture2D(std::uint32_t mode, std::uint32_t format, std::uint32_t log2Width,
                  std::uint32_t log2Height, const void* texels, float* colour0, float* colour1,
                  float* colour2, std::uint32_t mip) {
  SetTextureByFormat(GL_TEXTURE_2D, mode, format, log2Width, log2Height, texels, colour0, colour1,
                     colour2, mip);
}

void SetTextureCube(std::uint32_t mode, std::uint32_t format, std::uint32_t log2Width,
                    std::uint32_t log2Height, const void* const faces[6], float* colour0,
                    float* colour1, float* colour2, std::uint32_t mip) {
  static const GLenum kFaceTargets[6] = {
      GL_TEXTURE_CUBE_MAP_NEGATIVE_X_ARB, GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB,
      GL_TEXTURE_CUBE_MAP_NEGATIVE_Y_ARB, GL_TEXTURE_CUBE_MAP_POSITIVE_Y_ARB,
      GL_TEXTURE_CUBE_MAP_NEGATIVE_Z_ARB, GL_TEXTURE_CUBE_MAP_POSITIVE_Z_ARB,
  };
  PrepareColours(mode, colour0, colour1);
  for (int face = 0; face < 6; ++face)
    MvSetTexture(kFaceTargets[face], mode, format, log2Width, log2Height, faces[face], colour0,
                 colour1, colour2, mip);
  ClearFourthComponents(colour0, colour1);
}

}  // namespace veskor
