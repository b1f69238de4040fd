#include "gfx/texture_memory.h"

#include <gtest/gtest.h>

#include "gfx/texture_format.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

constexpr std::uint32_t kByteRgb = kFormatUnsignedBytes | kLayoutRgb;
constexpr std::uint32_t kByteRgba = kFormatUnsignedBytes | kLayoutRgba;

TEST(TextureMemory, AddsTexelsAndLevelBytesByModeAndLayout) {
  const struct {
    std::uint32_t mode, format, log2Width, log2Height, mip, bytes;
    bool cube = false;
  } cases[] = {
      {kModeCompressed, kByteRgb, 6, 6, 1, 2048 + 512 + 128 + 32 + 8 + 2},
      {kModeCompressed, kByteRgb, 6, 6, 0, 2048},
      {kModeCompressed, kByteRgba, 2, 2, 0, 16},
      {kModePlain, kByteRgba, 8, 2, 0, 4096},
      {kModePlain, kLayoutRgb, 1, 1, 1, 16 + 4 + 1},
      {kModePlain, kFormatUnsignedBytes | kLayoutAlpha, 4, 4, 0, 256},
      {kModePlain, kFormatUnsignedBytes | kLayoutLuminance, 4, 4, 0, 256},
      {kModePlain, kFormatUnsignedBytes | kLayoutHilo, 4, 4, 0, 1024},
      {kModeSplit, kByteRgb, 4, 4, 0, 256},
      {kModeSplitOnBasis, kLayoutRgb, 0, 0, 1, 1},
      {kModePlain, kLayoutRgb, 4, 4, 0, 6 * 1024, true},
  };
  for (const auto& c : cases) {
    TextureMemoryReset();
    const auto add = c.cube ? TextureMemoryAddCube : TextureMemoryAdd2D;
    EXPECT_EQ(add(c.mode, c.format, c.log2Width, c.log2Height, c.mip), c.bytes)
        << c.mode << " " << c.format;
    EXPECT_EQ(TextureMemory.texels, (c.cube ? 6u : 1u) << (c.log2Width + c.log2Height));
    EXPECT_EQ(TextureMemory.bytes, c.bytes);
    (c.cube ? TextureMemoryRemoveCube : TextureMemoryRemove2D)(c.mode, c.format, c.log2Width,
                                                               c.log2Height, c.mip);
    EXPECT_EQ(TextureMemory.texels + TextureMemory.bytes, 0u);
  }
}

TEST(TextureMemoryDeathTest, RefusesLayoutsTheModeDoesNotTake) {
  EXPECT_FATAL(TextureMemoryAdd2D(kModeCompressed, kFormatUnsignedBytes | kLayoutAlpha, 2, 2, 0),
               "MvSetTexture : Format != MV_TEXTURE_RGB | MV_TEXTURE_RGBA");
  EXPECT_FATAL(TextureMemoryAddCube(kModeSplit, kByteRgba, 2, 2, 0),
               "MvSetTexture [1] : Format != MV_TEXTURE_RGB");
}

}  // namespace
}  // namespace veskor
