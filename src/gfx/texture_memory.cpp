#include "gfx/texture_memory.h"

#include "foundation/fatal_error.h"
#include "gfx/texture_format.h"

namespace veskor {

TextureMemoryCounters TextureMemory{};

namespace {

// Level-0 bytes of a 2-D image, or fatal for a layout the mode does not take.
std::uint32_t LevelZeroBytes(std::uint32_t mode, std::uint32_t format, std::uint32_t texels) {
  const std::uint32_t layout = FormatLayout(format);
  switch (mode) {
    case kModeCompressed:
      if (layout == kLayoutRgb) return texels / 2;
      if (layout == kLayoutRgba) return texels;
      FatalError(kCompressedLayoutMessage);
    case kModeSplit:
    case kModeSplitOnBasis:
      if (layout == kLayoutRgb) return texels;
      FatalError(kSplitLayoutMessage);
    default:
      // One byte a texel for the one-channel layouts, four for the others.
      return layout <= kLayoutAlpha ? texels : 4 * texels;
  }
}

std::uint32_t WithMipChain(std::uint32_t bytes, std::uint32_t mip) {
  std::uint32_t total = bytes;
  if (mip != 0) {
    for (std::uint32_t quarter = bytes / 4; quarter > 0; quarter /= 4) total += quarter;
  }
  return total;
}

std::uint32_t Texels(std::uint32_t log2Width, std::uint32_t log2Height) {
  return std::uint32_t{1} << ((log2Width & 0xFF) + (log2Height & 0xFF));
}

}  // namespace

std::uint32_t TextureMemoryAdd2D(std::uint32_t mode, std::uint32_t format, std::uint32_t log2Width,
                                 std::uint32_t log2Height, std::uint32_t mip) {
  const std::uint32_t texels = Texels(log2Width, log2Height);
  const std::uint32_t bytes = WithMipChain(LevelZeroBytes(mode, format, texels), mip);
  TextureMemory.texels += texels;
  TextureMemory.bytes += bytes;
  return bytes;
}

std::uint32_t TextureMemoryAddCube(std::uint32_t mode, std::uint32_t format,
                                   std::uint32_t log2Width, std::uint32_t log2Height,
                                   std::uint32_t mip) {
  const std::uint32_t texels = Texels(log2Width, log2Height);
  const std::uint32_t bytes = 6 * WithMipChain(LevelZeroBytes(mode, format, texels), mip);
  TextureMemory.texels += 6 * texels;
  TextureMemory.bytes += bytes;
  return bytes;
}

void TextureMemoryRemove2D(std::uint32_t mode, std::uint32_t format, std::uint32_t log2Width,
                           std::uint32_t log2Height, std::uint32_t mip) {
  const std::uint32_t texels = Texels(log2Width, log2Height);
  TextureMemorySub(texels, WithMipChain(LevelZeroBytes(mode, format, texels), mip));
}

void TextureMemoryRemoveCube(std::uint32_t mode, std::uint32_t format, std::uint32_t log2Width,
                             std::uint32_t log2Height, std::uint32_t mip) {
  const std::uint32_t texels = Texels(log2Width, log2Height);
  TextureMemorySub(6 * texels, 6 * WithMipChain(LevelZeroBytes(mode, format, texels), mip));
}

void TextureMemorySub(std::uint32_t texels, std::uint32_t bytes) {
  TextureMemory.texels -= texels;
  TextureMemory.bytes -= bytes;
}

void TextureMemoryReset() {
  TextureMemory.texels = 0;
  TextureMemory.bytes = 0;
}

void SetVarMemorySize(std::uint32_t bytes) { TextureMemory.varBytes = bytes; }

void SetVertexMemory(std::uint32_t a, std::uint32_t b) { TextureMemory.vertexBytes = a * b * 12; }

}  // namespace veskor
