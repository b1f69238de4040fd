#include "gfx/texture_upload.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <algorithm>
#include <vector>

#include "gfx/texture_format.h"
#include "gfx_gl_test.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::DrawTexturedQuad;
using test::GfxGlTest;
using test::LevelBytes;
using test::LevelParameter;
using test::ReadPixel;

constexpr std::uint32_t kUnsigned = kFormatUnsignedBytes;
constexpr std::uint32_t kSigned = kFormatSignedBytes;

class Upload : public GfxGlTest {
 protected:
  void SetUp() override {
    GfxGlTest::SetUp();
    glGenTextures(1, &name_);
    glBindTexture(GL_TEXTURE_2D, name_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  }
  void TearDown() override {
    glDeleteTextures(1, &name_);
    GfxGlTest::TearDown();
  }
  void Set(std::uint32_t mode, std::uint32_t format, std::uint32_t w, std::uint32_t h,
           const void* texels, std::uint32_t mip) {
    SetTexture2D(mode, format, w, h, texels, colour0_, colour1_, colour2_, mip);
  }
  GLuint name_ = 0;
  float colour0_[4] = {0.1f, 0.2f, 0.3f, 0.4f};
  float colour1_[4] = {0.5f, 0.6f, 0.7f, 0.8f};
  float colour2_[3] = {0.9f, 1.0f, 1.0f};
};

// A 2 x 2 image drawn with nearest sampling: texel (x, y) covers window quarter (x, y).
TEST_F(Upload, PlainLayoutsDrawTheirTexels) {
  struct Case {
    const char* what;
    std::uint32_t format;
    GLint internalFormat;
    std::vector<std::uint8_t> texel;  // texel (1, 0); the others are zero
    test::Rgba drawn;
  };
  const Case cases[] = {
      {"luminance", kUnsigned | kLayoutLuminance, GL_LUMINANCE8, {200}, {200, 200, 200, 255}},
      {"intensity", kUnsigned | kLayoutIntensity, GL_INTENSITY8, {100}, {100, 100, 100, 100}},
      {"alpha", kUnsigned | kLayoutAlpha, GL_ALPHA8, {60}, {255, 255, 255, 60}},
      {"rgb", kUnsigned | kLayoutRgb, 3, {10, 120, 250}, {10, 120, 250, 255}},
      {"rgba", kUnsigned | kLayoutRgba, 4, {10, 120, 250, 30}, {10, 120, 250, 30}},
      {"rgb, both storage bits", kUnsigned | kSigned | kLayoutRgb, 3, {1, 2, 3}, {1, 2, 3, 255}},
      {"signed rgb", kSigned | kLayoutRgb, GL_RGB8_SNORM, {127, 0, 0x81}, {255, 0, 0, 255}},
      {"signed rgba", kSigned | kLayoutRgba, GL_RGBA8_SNORM, {0, 127, 0, 127}, {0, 255, 0, 255}},
  };
  for (const Case& c : cases) {
    const std::size_t n = c.texel.size();
    std::vector<std::uint8_t> texels(4 * n, 0);
    std::memcpy(&texels[n], c.texel.data(), n);
    Set(kModePlain, c.format, 1, 1, texels.data(), 0);
    EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), c.internalFormat)
        << c.what;
    glClear(GL_COLOR_BUFFER_BIT);
    DrawTexturedQuad();
    const test::Rgba p = ReadPixel(48, 16);
    EXPECT_NEAR(p.r, c.drawn.r, 1) << c.what;
    EXPECT_NEAR(p.g, c.drawn.g, 1) << c.what;
    EXPECT_NEAR(p.b, c.drawn.b, 1) << c.what;
    EXPECT_NEAR(p.a, c.drawn.a, 1) << c.what;
    EXPECT_EQ(ReadPixel(16, 48).r, c.format == (kUnsigned | kLayoutAlpha) ? 255 : 0) << c.what;
  }
}

TEST_F(Upload, FloatTexelsUploadAsFloats) {
  const float rgb[4 * 3] = {0, 0, 0, 0.25f, 0.5f, 1.0f, 0, 0, 0, 0, 0, 0};
  Set(kModePlain, kLayoutRgb, 1, 1, rgb, 0);
  DrawTexturedQuad();
  const test::Rgba p = ReadPixel(48, 16);
  EXPECT_NEAR(p.r, 64, 1);
  EXPECT_NEAR(p.g, 128, 1);
  EXPECT_EQ(p.b, 255);

  const float luminance[1] = {0.5f};
  Set(kModePlain, kLayoutLuminance, 0, 0, luminance, 1);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_LUMINANCE8);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 0);  // 1 x 1: level 0 only
}

TEST_F(Upload, TwoChannelLayoutsUseTwoChannelFormats) {
  const std::uint8_t hilo[4 * 2] = {0, 0, 255, 128, 0, 0, 0, 0};
  Set(kModePlain, kUnsigned | kLayoutHilo, 1, 1, hilo, 1);  // one level whatever the mip flag
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RG16);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 0);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  DrawTexturedQuad();
  EXPECT_EQ(ReadPixel(48, 16).r, 255);
  EXPECT_NEAR(ReadPixel(48, 16).g, 128, 1);

  const std::int8_t dsdt[4 * 2] = {0, 0, 127, -128, 0, 0, 0, 0};
  Set(kModePlain, kSigned | kLayoutDsdt, 1, 1, dsdt, 1);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RG8_SNORM);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 1);

  const std::int16_t shorts[4 * 2] = {0, 0, 32767, 0, 0, 0, 0, 0};
  Set(kModePlain, kUnsigned | kSigned | kLayoutHilo, 1, 1, shorts, 0);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RG16);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

TEST_F(Upload, MipChainHalvesEachDirectionDownToOneTexel) {
  std::vector<std::uint8_t> texels(256 * 4 * 4, 200);
  Set(kModePlain, kUnsigned | kLayoutRgba, 8, 2, texels.data(), 1);
  const GLint widths[] = {256, 128, 64, 32, 16, 8, 4, 2, 1};
  const GLint heights[] = {4, 2, 1, 1, 1, 1, 1, 1, 1};
  for (GLint level = 0; level < 9; ++level) {
    EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH), widths[level]) << level;
    EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT), heights[level]) << level;
  }
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 9, GL_TEXTURE_WIDTH), 0);

  std::vector<std::uint8_t> tall(1 * 8 * 3, 50);
  Set(kModePlain, kUnsigned | kLayoutRgb, 0, 3, tall.data(), 1);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 3, GL_TEXTURE_HEIGHT), 1);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 3, GL_TEXTURE_WIDTH), 1);
  EXPECT_EQ(LevelBytes(3, GL_RGB, 3)[0], 50);
}

TEST_F(Upload, MipLevelsAverageTheLevelAbove) {
  // 4 x 4 RGB bytes: level 1 holds the mean of each 2 x 2 block (sum >> 2), level 2 of all.
  std::uint8_t texels[4 * 4 * 3];
  for (int i = 0; i < 4 * 4 * 3; ++i) texels[i] = static_cast<std::uint8_t>(i * 5);
  Set(kModePlain, kUnsigned | kLayoutRgb, 2, 2, texels, 1);
  const std::vector<std::uint8_t> level1 = LevelBytes(1, GL_RGB, 3);
  ASSERT_EQ(level1.size(), 12u);
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i)
      for (int k = 0; k < 3; ++k) {
        auto at = [&](int x, int y) { return unsigned{texels[(y * 4 + x) * 3 + k]}; };
        const unsigned mean = (at(2 * i, 2 * j) + at(2 * i + 1, 2 * j) + at(2 * i, 2 * j + 1) +
                               at(2 * i + 1, 2 * j + 1)) >> 2;
        EXPECT_EQ(level1[(j * 2 + i) * 3 + k], mean);
      }
  const std::vector<std::uint8_t> level2 = LevelBytes(2, GL_RGB, 3);
  EXPECT_EQ(level2[0], (level1[0] + level1[3] + level1[6] + level1[9]) >> 2);

  // Float and signed texels halve with their own arithmetic.
  const float floats[2] = {0.25f, 0.75f};
  Set(kModePlain, kLayoutLuminance, 1, 0, floats, 1);
  EXPECT_EQ(LevelBytes(1, GL_LUMINANCE, 1)[0], 128);
  const std::int8_t signedBytes[2 * 4] = {-3, 0, 0, 0, 0, 0, 0, 0};
  Set(kModePlain, kSigned | kLayoutRgba, 1, 0, signedBytes, 1);
  std::int8_t level1Signed[4] = {};
  glGetTexImage(GL_TEXTURE_2D, 1, GL_RGBA, GL_BYTE, level1Signed);
  EXPECT_EQ(level1Signed[0], -1);  // (-3 + 0) / 2, toward zero
}

TEST_F(Upload, CompressedUploadsUseTheCompressedFormats) {
  // Four solid 4 x 4 blocks: DXT1 keeps solid colours within rounding.
  std::uint8_t texels[8 * 8 * 3];
  const std::uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      std::memcpy(&texels[(y * 8 + x) * 3], colours[(y / 4) * 2 + x / 4], 3);
  Set(kModeCompressed, kUnsigned | kLayoutRgb, 3, 3, texels, 1);
  for (GLint level = 0; level <= 3; ++level)
    EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, level, GL_TEXTURE_INTERNAL_FORMAT),
              GL_COMPRESSED_RGB_S3TC_DXT1_EXT);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_ARB), GL_TRUE);
  DrawTexturedQuad();
  const int centres[4][2] = {{16, 16}, {48, 16}, {16, 48}, {48, 48}};
  for (int i = 0; i < 4; ++i) {
    const test::Rgba p = ReadPixel(centres[i][0], centres[i][1]);
    EXPECT_NEAR(p.r, colours[i][0], 8) << i;
    EXPECT_NEAR(p.g, colours[i][1], 8) << i;
    EXPECT_NEAR(p.b, colours[i][2], 8) << i;
  }

  std::vector<float> rgba(4 * 4 * 4, 0.5f);
  Set(kModeCompressed, kLayoutRgba, 2, 2, rgba.data(), 0);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT),
            GL_COMPRESSED_RGBA_S3TC_DXT5_EXT);

  // Without S3TC the driver gets plain RGB and RGBA.
  CompressedRgbFormat = GL_RGB;
  Set(kModeCompressed, kUnsigned | kLayoutRgb, 3, 3, texels, 0);
  EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
}

TEST_F(Upload, CubeFacesGoToTheirTargetsInOrder) {
  GLuint cube = 0;
  glGenTextures(1, &cube);
  glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, cube);
  std::uint8_t faces[6][4 * 3];
  const void* pointers[6];
  for (int f = 0; f < 6; ++f) {
    std::memset(faces[f], 40 * f, sizeof faces[f]);
    pointers[f] = faces[f];
  }
  SetTextureCube(kModePlain, kUnsigned | kLayoutRgb, 1, 1, pointers, colour0_, colour1_,
                 colour2_, 1);
  const GLenum targets[6] = {GL_TEXTURE_CUBE_MAP_NEGATIVE_X, GL_TEXTURE_CUBE_MAP_POSITIVE_X,
                             GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, GL_TEXTURE_CUBE_MAP_POSITIVE_Y,
                             GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, GL_TEXTURE_CUBE_MAP_POSITIVE_Z};
  for (int f = 0; f < 6; ++f) {
    std::uint8_t level1[3] = {};
    glGetTexImage(targets[f], 1, GL_RGB, GL_UNSIGNED_BYTE, level1);
    EXPECT_EQ(level1[0], 40 * f) << f;
  }
  glDeleteTextures(1, &cube);
}

// The split modes on the boards this driver can stand in for: which converter the upload
// takes, and the combiner bits that select it.
struct SplitBoard {
  const char* what;
  std::uint32_t mode;
  std::uint32_t combiners;
  TextureSplitKind kind;
};
constexpr std::uint32_t kAllCombiners =
    kExtTextureEnvCombine4 | kExtTextureEnvCombine3 | kExtRegisterCombiners2;
const SplitBoard kSplitBoards[] = {
    {"mode 2, no combiner", kModeSplit, 0, TextureSplitKind::kMaxChannel},
    {"mode 2, combine4", kModeSplit, kExtTextureEnvCombine4, TextureSplitKind::kKeyColour},
    {"mode 2, combine3", kModeSplit, kExtTextureEnvCombine3, TextureSplitKind::kKeyColour},
    {"mode 3, combine4", kModeSplitOnBasis, kExtTextureEnvCombine4,
     TextureSplitKind::kKeyColourFromBase},
    {"mode 3, combine3", kModeSplitOnBasis, kExtTextureEnvCombine3,
     TextureSplitKind::kKeyColourFromBase},
    {"mode 3, register combiners 2", kModeSplitOnBasis, kExtRegisterCombiners2,
     TextureSplitKind::kKeyColourFromBase},
    {"mode 3, no combiner", kModeSplitOnBasis, 0, TextureSplitKind::kKeyColour},
};

// A 4 x 4 RGB image of spread colours that lie mostly along one axis.
std::vector<std::uint8_t> SpreadImage() {
  std::vector<std::uint8_t> texels(4 * 4 * 3);
  for (int i = 0; i < 16; ++i) {
    texels[3 * i] = static_cast<std::uint8_t>(40 + 12 * i);
    texels[3 * i + 1] = static_cast<std::uint8_t>(30 + 9 * i + (i % 3) * 7);
    texels[3 * i + 2] = static_cast<std::uint8_t>(60 + (i * 37) % 50);
  }
  return texels;
}

// The colour a converted texel stands for, in bytes: alpha minus RGB for the max-channel
// split, else RGB + alpha x key colour, plus the base colour for the full key split.
float Recombined(TextureSplitKind kind, const std::uint8_t* texel, int k, const float* colour0,
                 const float* colour1) {
  if (kind == TextureSplitKind::kMaxChannel) return float(texel[3]) - float(texel[k]);
  float value = float(texel[k]) + float(texel[3]) * colour1[k];
  if (kind == TextureSplitKind::kKeyColourFromBase) value += colour0[k] * 255.0f;
  return value;
}

TEST_F(Upload, SplitModesStoreTexelsThatRecombineToTheImage) {
  const std::vector<std::uint8_t> bytes = SpreadImage();
  std::vector<float> floats(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) floats[i] = bytes[i] / 255.0f;
  CompressedRgbaFormat = GL_RGBA;  // uncompressed, to read the converted texels back exactly
  const std::uint32_t mask = ExtensionMask & ~kAllCombiners;
  for (const SplitBoard& board : kSplitBoards) {
    ExtensionMask = mask | board.combiners;
    EXPECT_EQ(TextureSplitKindFor(board.mode), board.kind) << board.what;
    for (const bool floatTexels : {false, true}) {
      std::fill(colour0_, colour0_ + 4, 0.5f);
      std::fill(colour1_, colour1_ + 4, 0.5f);
      if (floatTexels)
        Set(board.mode, kLayoutRgb, 2, 2, floats.data(), 1);
      else
        Set(board.mode, kUnsigned | kLayoutRgb, 2, 2, bytes.data(), 1);
      const std::string what = std::string(board.what) + (floatTexels ? ", floats" : ", bytes");
      for (GLint level = 0; level <= 2; ++level)
        EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, level, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA)
            << what;
      EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 3, GL_TEXTURE_WIDTH), 0) << what;
      EXPECT_EQ(colour0_[3], 0.0f) << what;
      EXPECT_EQ(colour1_[3], 0.0f) << what;
      for (int k = 0; k < 3; ++k) {
        // The base colour is the per-channel minimum for the full key split, else black.
        std::uint8_t least = 255;
        for (int i = 0; i < 16; ++i) least = std::min(least, bytes[3 * i + k]);
        const bool fromBase = board.kind == TextureSplitKind::kKeyColourFromBase;
        EXPECT_NEAR(colour0_[k], fromBase ? least / 255.0f : 0.0f, 1e-6) << what;
        if (board.kind == TextureSplitKind::kMaxChannel) {
          EXPECT_EQ(colour1_[k], 0.0f) << what;
        }
      }

      // Level 0 gives back every texel; level 2 (1 x 1) the mean of the image, since the
      // chain halves the image and converts each level.
      const std::vector<std::uint8_t> level0 = LevelBytes(0, GL_RGBA, 4);
      for (int i = 0; i < 16; ++i)
        for (int k = 0; k < 3; ++k)
          EXPECT_NEAR(Recombined(board.kind, &level0[4 * i], k, colour0_, colour1_),
                      bytes[3 * i + k], 2.5f)
              << what << " texel " << i << " channel " << k;
      const std::vector<std::uint8_t> level2 = LevelBytes(2, GL_RGBA, 4);
      for (int k = 0; k < 3; ++k) {
        float mean = 0;
        for (int i = 0; i < 16; ++i) mean += bytes[3 * i + k] / 16.0f;
        EXPECT_NEAR(Recombined(board.kind, level2.data(), k, colour0_, colour1_), mean, 3.0f)
            << what << " channel " << k;
      }
    }
  }
}

TEST_F(Upload, CubeSplitColoursCoverAllSixFaces) {
  GLuint cube = 0;
  glGenTextures(1, &cube);
  glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, cube);
  std::vector<float> faces[6];
  const void* pointers[6];
  for (int f = 0; f < 6; ++f) {
    faces[f].assign(4 * 3, 0.5f);
    for (int i = 0; i < 4; ++i) faces[f][3 * i] = 0.3f + 0.1f * i;
    pointers[f] = faces[f].data();
  }
  faces[5][4] = 0.25f;  // the smallest green, on the last face only
  faces[2][0] = 0.2f;   // the smallest red
  const std::uint32_t mask = ExtensionMask & ~kAllCombiners;
  ExtensionMask = mask | kExtTextureEnvCombine3;
  SetTextureCube(kModeSplitOnBasis, kLayoutRgb, 1, 1, pointers, colour0_, colour1_, colour2_,
                 0);
  EXPECT_FLOAT_EQ(colour0_[0], 0.2f);
  EXPECT_FLOAT_EQ(colour0_[1], 0.25f);
  EXPECT_FLOAT_EQ(colour0_[2], 0.5f);
  std::uint32_t order[3];
  TextureColourOrder(colour2_, order);
  EXPECT_EQ(order[0], 0u);  // red spreads most
  EXPECT_GT(colour1_[0], 0.0f);
  const GLenum targets[6] = {GL_TEXTURE_CUBE_MAP_NEGATIVE_X, GL_TEXTURE_CUBE_MAP_POSITIVE_X,
                             GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, GL_TEXTURE_CUBE_MAP_POSITIVE_Y,
                             GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, GL_TEXTURE_CUBE_MAP_POSITIVE_Z};
  for (GLenum target : targets)
    EXPECT_EQ(LevelParameter(target, 0, GL_TEXTURE_INTERNAL_FORMAT),
              GL_COMPRESSED_RGBA_S3TC_DXT5_EXT);

  ExtensionMask = mask;  // mode 2 without combiners: no colours
  SetTextureCube(kModeSplit, kLayoutRgb, 1, 1, pointers, colour0_, colour1_, colour2_, 0);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(colour0_[k], 0.0f);
    EXPECT_EQ(colour1_[k], 0.0f);
  }
  glDeleteTextures(1, &cube);
}

TEST_F(Upload, LayoutsOutsideTheModeAreFatal) {
  // Buffers of exactly the image's size: the split colour analysis, which reads three values
  // a texel, must refuse the layout before reading past them.
  const std::uint8_t texels[16] = {};
  const float luminance[4] = {};
  EXPECT_FATAL(Set(kModeCompressed, kUnsigned | kLayoutLuminance, 1, 1, texels, 0),
               "MvSetTexture : Format != MV_TEXTURE_RGB | MV_TEXTURE_RGBA");
  EXPECT_FATAL(Set(kModeSplit, kUnsigned | kLayoutRgba, 1, 1, texels, 0),
               "MvSetTexture [1] : Format != MV_TEXTURE_RGB");
  ExtensionMask |= kExtTextureEnvCombine4;
  EXPECT_FATAL(Set(kModeSplitOnBasis, kLayoutLuminance, 1, 1, luminance, 0),
               "MvSetTexture [1] : Format != MV_TEXTURE_RGB");
  EXPECT_FATAL(Set(kModeSplit, kUnsigned | kLayoutLuminance, 1, 1, texels, 0),
               "MvSetTexture [1] : Format != MV_TEXTURE_RGB");
}

}  // namespace
}  // namespace veskor
