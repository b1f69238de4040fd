#include "gfx/texture_upload.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "foundation/c_heap.h"
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

CHeapPtr<void> WorkBuffer(std::size_t bytes) {
  void* p = std::malloc(bytes);
  if (p == nullptr) FatalError("Texture Upload : Out Of Memory !");
  return CHeapPtr<void>(p);
}

void HalveLevel(GLenum type, std::uint8_t ch, std::uint8_t w, std::uint8_t h, const void* source,
                void* destination) {
  const std::uint32_t halveWidth = w > 0 ? 1 : 0;
  const std::uint32_t halveHeight = h > 0 ? 1 : 0;
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

// Converts n three-channel texels (bytes or floats) into four-channel ones.
void SplitTexels(const TextureSplit& split, GLenum type, std::uint32_t n, const void* source,
                 void* destination) {
  const bool floats = type == GL_FLOAT;
  const auto* bytesIn = static_cast<const std::uint8_t*>(source);
  const auto* floatsIn = static_cast<const float*>(source);
  auto* bytesOut = static_cast<std::uint8_t*>(destination);
  auto* floatsOut = static_cast<float*>(destination);
  switch (split.kind) {
    case TextureSplitKind::kKeyColourFromBase:
      if (floats)
        gKernelTable.MapKeyColourSplit2(n, floatsIn, split.base, split.key, split.channel,
                                        floatsOut);
      else
        gKernelTable.MapKeyColourSplit(n, bytesIn, split.base, split.key, split.channel,
                                       bytesOut);
      break;
    case TextureSplitKind::kKeyColour:
      if (floats)
        gKernelTable.MapKeyColourSplit4(n, floatsIn, split.key, split.channel, floatsOut);
      else
        gKernelTable.MapKeyColourSplit3(n, bytesIn, split.key, split.channel, bytesOut);
      break;
    case TextureSplitKind::kMaxChannel:
      if (floats)
        gKernelTable.MapMaxChannelSplit2(n, floatsIn, floatsOut);
      else
        gKernelTable.MapMaxChannelSplit(n, bytesIn, bytesOut);
      break;
    case TextureSplitKind::kNone:
      break;
  }
}

void SetRgb(float* colour, float value) { colour[0] = colour[1] = colour[2] = value; }

void ClearFourthComponents(float* colour0, float* colour1) {
  colour0[3] = 0.0f;
  colour1[3] = 0.0f;
}

// The colours of an upload; null pointers are replaced by local ones.
struct Colours {
  Colours(float* c0, float* c1, float* c2)
      : colour0(c0 != nullptr ? c0 : own0),
        colour1(c1 != nullptr ? c1 : own1),
        colour2(c2 != nullptr ? c2 : own2) {}
  Colours(const Colours&) = delete;
  Colours& operator=(const Colours&) = delete;
  float own0[4] = {};
  float own1[4] = {};
  float own2[3] = {};
  float* colour0;
  float* colour1;
  float* colour2;
};

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

TextureSplitKind TextureSplitKindFor(std::uint32_t mode) {
  const bool combiner =
      HasExtension(kExtTextureEnvCombine4 | kExtTextureEnvCombine3 | kExtRegisterCombiners2) != 0;
  if (mode == kModeSplitOnBasis)
    return combiner ? TextureSplitKind::kKeyColourFromBase : TextureSplitKind::kKeyColour;
  if (mode == kModeSplit)
    return combiner ? TextureSplitKind::kKeyColour : TextureSplitKind::kMaxChannel;
  return TextureSplitKind::kNone;
}

void TextureColourOrder(const float* colour2, std::uint32_t order[3]) {
  std::memcpy(order, colour2, 3 * sizeof(std::uint32_t));
}

void BuildTextureLevels(const TextureUploadFormat& format, const TextureSplit* split,
                        std::uint32_t log2Width, std::uint32_t log2Height, const void* texels,
                        std::uint32_t mip, TextureLevelSink sink, void* context) {
  if (format.type == 0) return;
  if (split != nullptr && split->kind == TextureSplitKind::kNone) split = nullptr;
  std::uint8_t w = static_cast<std::uint8_t>(log2Width);
  std::uint8_t h = static_cast<std::uint8_t>(log2Height);
  const std::size_t elementBytes = ElementBytes(format.type);
  // The chain halves the texels as they are: three channels for the split converters.
  const std::uint8_t ch = static_cast<std::uint8_t>(split != nullptr ? 3 : format.components);

  // Converted texels of every level go through one buffer of the size of level 0.
  CHeapPtr<void> converted;
  auto deliver = [&](std::uint32_t level, const void* levelTexels) {
    if (split == nullptr) {
      sink(context, level, w, h, levelTexels);
      return;
    }
    SplitTexels(*split, format.type, std::uint32_t{1} << (w + h), levelTexels, converted.get());
    sink(context, level, w, h, converted.get());
  };
  if (split != nullptr) converted = WorkBuffer((std::size_t{4} << (w + h)) * elementBytes);
  deliver(0, texels);

  const std::uint32_t levels = std::max(w, h);
  if (mip != 0 && format.mipChain != 0 && levels != 0) {
    // The first halving reads the texels themselves; later ones swap between two buffers,
    // each the size of level 1.
    const std::size_t levelOneBytes = (std::size_t{ch} << (w + h)) / 2 * elementBytes;
    const CHeapPtr<void> buffers[2] = {WorkBuffer(levelOneBytes), WorkBuffer(levelOneBytes)};
    const void* source = texels;
    for (std::uint32_t level = 1; level <= levels; ++level) {
      void* destination = buffers[level & 1].get();
      HalveLevel(format.type, ch, w, h, source, destination);
      if (w > 0) --w;
      if (h > 0) --h;
      deliver(level, destination);
      source = destination;
    }
  }
}

void PrepareTextureColours(std::uint32_t mode, std::uint32_t format, std::uint32_t log2Width,
                           std::uint32_t log2Height, const void* const* images, int count,
                           float* colour0, float* colour1, float* colour2) {
  const TextureSplitKind kind = TextureSplitKindFor(mode);
  if (kind == TextureSplitKind::kNone || kind == TextureSplitKind::kMaxChannel) {
    SetRgb(colour0, 0.0f);
    SetRgb(colour1, 0.0f);
    return;
  }
  // The analysis reads three values a texel: refuse other layouts before reading any.
  if (FormatLayout(format) != kLayoutRgb) FatalError(kSplitLayoutMessage);
  const bool floats = StorageOf(format) == Storage::kFloat;
  const std::uint32_t n = std::uint32_t{1} << ((log2Width & 0xFF) + (log2Height & 0xFF));
  const std::uint8_t* bytes[6];
  const float* floatImages[6];
  for (int i = 0; i < count; ++i) {
    bytes[i] = static_cast<const std::uint8_t*>(images[i]);
    floatImages[i] = static_cast<const float*>(images[i]);
  }

  if (kind == TextureSplitKind::kKeyColourFromBase) {
    SetRgb(colour0, 1.0f);
    for (int i = 0; i < count; ++i) {
      if (floats)
        gKernelTable.PointArrayMinMax2(n, floatImages[i], colour0);
      else
        gKernelTable.PointArrayMinMax(n, bytes[i], colour0);
    }
  } else {
    SetRgb(colour0, 0.0f);
  }
  std::uint32_t order[3] = {};
  if (count == 6) {
    if (floats)
      gKernelTable.MapPrincipalAxes4(n, floatImages, colour0, colour1, order);
    else
      gKernelTable.MapPrincipalAxes3(n, bytes, colour0, colour1, order);
  } else {
    if (floats)
      gKernelTable.MapPrincipalAxes2(n, floatImages[0], colour0, colour1, order);
    else
      gKernelTable.MapPrincipalAxes(n, bytes[0], colour0, colour1, order);
  }
  std::memcpy(colour2, order, sizeof order);
}

void MvSetTexture(std::uint32_t target, std::uint32_t mode, std::uint32_t format,
                  std::uint32_t log2Width, std::uint32_t log2Height, const void* texels,
                  float* colour0, float* colour1, float* colour2, std::uint32_t mip) {
  const TextureUploadFormat upload = TextureUploadFormatFor(mode, format);
  const Colours colours(colour0, colour1, colour2);
  std::uint32_t order[3];
  TextureColourOrder(colours.colour2, order);
  const TextureSplit split{TextureSplitKindFor(mode), colours.colour0, colours.colour1, order};
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // rows of small levels are not 4-byte aligned
  LevelUpload context{target, &upload};
  BuildTextureLevels(upload, &split, log2Width & 0xFF, log2Height & 0xFF, texels, mip,
                     UploadLevel, &context);
}

void SetTextureByFormat(std::uint32_t target, std::uint32_t mode, std::uint32_t format,
                        std::uint32_t log2Width, std::uint32_t log2Height, const void* texels,
                        float* colour0, float* colour1, float* colour2, std::uint32_t mip) {
  Colours c(colour0, colour1, colour2);
  PrepareTextureColours(mode, format, log2Width, log2Height, &texels, 1, c.colour0, c.colour1,
                        c.colour2);
  MvSetTexture(target, mode, format, log2Width, log2Height, texels, c.colour0, c.colour1,
               c.colour2, mip);
  ClearFourthComponents(c.colour0, c.colour1);
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
  Colours c(colour0, colour1, colour2);
  PrepareTextureColours(mode, format, log2Width, log2Height, faces, 6, c.colour0, c.colour1,
                        c.colour2);
  for (int face = 0; face < 6; ++face)
    MvSetTexture(kFaceTargets[face], mode, format, log2Width, log2Height, faces[face],
                 c.colour0, c.colour1, c.colour2, mip);
  ClearFourthComponents(c.colour0, c.colour1);
}

}  // namespace veskor
