// Uploads of every mode, read back as drawn pixels or as the texels GL holds.
#include "gfx/texture_upload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/texture_combine.h"
#include "gfx/texture_format.h"
#include "gfx/texture_object.h"
#include "gfx_gl_test.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using namespace test;

constexpr std::uint32_t kUnsigned = kFormatUnsignedBytes;
constexpr std::uint32_t kSigned = kFormatSignedBytes;
constexpr std::uint32_t kAllCombiners =
    kExtTextureEnvCombine4 | kExtTextureEnvCombine3 | kExtRegisterCombiners2;

class Upload : public GfxGlTest {
 protected:
  void SetUp() override {
    GfxGlTest::SetUp();
    Fresh();
  }
  // Binds a new texture, so that no level of an earlier upload is left.
  void Fresh() {
    glDeleteTextures(1, &name_);
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
  static GLint Level(GLint level, GLenum name) {
    return LevelParameter(GL_TEXTURE_2D, level, name);
  }
  GLuint name_ = 0;
  float colour0_[4] = {0.1f, 0.2f, 0.3f, 0.4f};
  float colour1_[4] = {0.5f, 0.6f, 0.7f, 0.8f};
  float colour2_[3] = {0.9f, 1.0f, 1.0f};
};

// The bytes of texel values in the format's storage: floats, 16-bit shorts (HILO with both
// storage bits) or bytes.
std::vector<std::uint8_t> Stored(std::uint32_t format, const std::vector<float>& values) {
  std::vector<std::uint8_t> bytes;
  for (float v : values) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
    const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
    if ((format & 24) == 0)
      bytes.insert(bytes.end(), p, p + 4);
    else if (format == (kUnsigned | kSigned | kLayoutHilo))
      bytes.insert(bytes.end(), {static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(s >> 8)});
    else
      bytes.push_back(static_cast<std::uint8_t>(static_cast<int>(v)));
  }
  return bytes;
}

// A 2 x 2 image with the mip flag, drawn with nearest sampling: texel (x, y) covers window
// quarter (x, y); only texel (1, 0) is not zero.
TEST_F(Upload, PlainLayoutsDrawTheirTexels) {
  struct Case {
    const char* what;
    std::uint32_t format;
    GLint internalFormat;
    std::vector<float> texel;
    Rgba drawn;
    GLint level1Width;  // 0: one level whatever the mip flag
  };
  const Case cases[] = {
      {"luminance", kUnsigned | kLayoutLuminance, GL_LUMINANCE8, {200}, {200, 200, 200, 255}, 1},
      {"intensity", kUnsigned | kLayoutIntensity, GL_INTENSITY8, {100}, {100, 100, 100, 100}, 1},
      {"alpha", kUnsigned | kLayoutAlpha, GL_ALPHA8, {60}, {255, 255, 255, 60}, 1},
      {"rgb", kUnsigned | kLayoutRgb, 3, {10, 120, 250}, {10, 120, 250, 255}, 1},
      {"rgba", kUnsigned | kLayoutRgba, 4, {10, 120, 250, 30}, {10, 120, 250, 30}, 1},
      {"both storage bits", kUnsigned | kSigned | kLayoutRgb, 3, {1, 2, 3}, {1, 2, 3, 255}, 1},
      {"signed rgb", kSigned | kLayoutRgb, GL_RGB8_SNORM, {127, 0, -127}, {255, 0, 0, 255}, 1},
      {"signed rgba", kSigned | kLayoutRgba, GL_RGBA8_SNORM, {0, 127, 0, 127}, {0, 255, 0, 255},
       1},
      {"float rgb", kLayoutRgb, 3, {0.25f, 0.5f, 1.0f}, {64, 128, 255, 255}, 1},
      {"float luminance", kLayoutLuminance, GL_LUMINANCE8, {0.5f}, {128, 128, 128, 255}, 1},
      {"hilo", kUnsigned | kLayoutHilo, GL_RG16, {255, 128}, {255, 128, 0, 255}, 0},
      {"hilo shorts", kUnsigned | kSigned | kLayoutHilo, GL_RG16, {32767, 0}, {255, 0, 0, 255},
       0},
      {"dsdt", kSigned | kLayoutDsdt, GL_RG8_SNORM, {127, -128}, {255, 0, 0, 255}, 1},
  };
  for (const Case& c : cases) {
    std::vector<float> values(4 * c.texel.size(), 0.0f);
    std::copy(c.texel.begin(), c.texel.end(), values.begin() + c.texel.size());
    Fresh();
    Set(kModePlain, c.format, 1, 1, Stored(c.format, values).data(), 1);
    EXPECT_EQ(Level(0, GL_TEXTURE_INTERNAL_FORMAT), c.internalFormat) << c.what;
    EXPECT_EQ(Level(1, GL_TEXTURE_WIDTH), c.level1Width) << c.what;
    glClear(GL_COLOR_BUFFER_BIT);
    DrawTexturedQuad();
    ExpectPixel(ReadPixel(48, 16), c.drawn, 1, c.what);
    EXPECT_EQ(ReadPixel(16, 48).r, c.format == (kUnsigned | kLayoutAlpha) ? 255 : 0) << c.what;
  }
}

TEST_F(Upload, MipChainHalvesEachDirectionDownToOneTexel) {
  const std::uint32_t sizes[][2] = {{8, 2}, {0, 3}, {0, 0}};  // 256 x 4: 9 levels
  for (const auto& [w, h] : sizes) {
    const std::vector<std::uint8_t> texels(std::size_t{4} << (w + h), 200);
    Fresh();
    Set(kModePlain, kUnsigned | kLayoutRgba, w, h, texels.data(), 1);
    const std::uint32_t levels = std::max(w, h) + 1;
    for (std::uint32_t level = 0; level < levels; ++level) {
      EXPECT_EQ(Level(level, GL_TEXTURE_WIDTH), 1 << (w > level ? w - level : 0)) << level;
      EXPECT_EQ(Level(level, GL_TEXTURE_HEIGHT), 1 << (h > level ? h - level : 0)) << level;
    }
    EXPECT_EQ(Level(levels, GL_TEXTURE_WIDTH), 0);
    EXPECT_EQ(LevelBytes(levels - 1, GL_RGBA, 4)[3], 200);
  }
}

TEST_F(Upload, MipLevelsAverageTheLevelAbove) {
  // 4 x 4 RGB bytes: level 1 holds the mean of each 2 x 2 block (sum >> 2), level 2 of all.
  std::uint8_t texels[4 * 4 * 3];
  for (int i = 0; i < 4 * 4 * 3; ++i) texels[i] = static_cast<std::uint8_t>(i * 5);
  Set(kModePlain, kUnsigned | kLayoutRgb, 2, 2, texels, 1);
  const std::vector<std::uint8_t> level1 = LevelBytes(1, GL_RGB, 3);
  EXPECT_EQ(level1[9 + 2], (texels[3 * 10 + 2] + texels[3 * 11 + 2] + texels[3 * 14 + 2] +
                            texels[3 * 15 + 2]) >> 2);  // texel (1, 1), blue
  EXPECT_EQ(LevelBytes(2, GL_RGB, 3)[0], (level1[0] + level1[3] + level1[6] + level1[9]) >> 2);

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
  // Four solid 4 x 4 blocks: DXT1 keeps solid colours within rounding, the plain 8-bit
  // formats of a software rasterizer keep them exactly.
  const Rgba colours[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255},
                           {255, 255, 255, 255}};
  std::uint8_t texels[8 * 8 * 3];
  for (int i = 0; i < 64; ++i)
    std::memcpy(&texels[3 * i], &colours[(i / 32) * 2 + (i % 8) / 4], 3);
  const struct {
    GLint rgb, rgba;
    int tolerance;
  } boards[] = {{GL_COMPRESSED_RGB_S3TC_DXT1_EXT, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 8},
                {GL_RGB8, GL_RGBA8, 0}};
  for (const auto& board : boards) {
    CompressedRgbFormat = static_cast<std::uint32_t>(board.rgb);
    CompressedRgbaFormat = static_cast<std::uint32_t>(board.rgba);
    Set(kModeCompressed, kUnsigned | kLayoutRgb, 3, 3, texels, 1);
    for (GLint level = 0; level <= 3; ++level)
      EXPECT_EQ(Level(level, GL_TEXTURE_INTERNAL_FORMAT), board.rgb);
    EXPECT_EQ(Level(0, GL_TEXTURE_COMPRESSED_ARB), board.tolerance != 0 ? GL_TRUE : GL_FALSE);
    DrawTexturedQuad();
    for (int i = 0; i < 4; ++i)
      ExpectPixel(ReadPixel(16 + 32 * (i % 2), 16 + 32 * (i / 2)), colours[i], board.tolerance,
                  "block " + std::to_string(i));

    const std::vector<float> rgba(4 * 4 * 4, 0.5f);
    Set(kModeCompressed, kLayoutRgba, 2, 2, rgba.data(), 0);
    EXPECT_EQ(Level(0, GL_TEXTURE_INTERNAL_FORMAT), board.rgba);
  }
  CompressedRgbFormat = GL_RGB;  // a driver without S3TC gets plain RGB
  Set(kModeCompressed, kUnsigned | kLayoutRgb, 3, 3, texels, 0);
  EXPECT_EQ(Level(0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
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

// Each split mode on each board this driver can stand in for, uploaded from byte and float
// texture objects: the converter the combiner bits select; texels that recombine to the image
// at level 0 and to its mean at the 1 x 1 level, since the chain halves the image and converts
// each level; and the image drawn back through the texture environment, mode 3 in two passes
// (the second in unit 1). Only the register combiners 2 board is not drawn: its recipes do not
// add back the base colour its upload splits from.
TEST_F(GfxGlTest, SplitModesStoreAndDrawTheImage) {
  const struct {
    std::uint32_t mode, combiners;
    TextureSplitKind kind;
  } boards[] = {
      {kModeSplit, 0, TextureSplitKind::kMaxChannel},
      {kModeSplit, kExtTextureEnvCombine4, TextureSplitKind::kKeyColour},
      {kModeSplit, kExtTextureEnvCombine3, TextureSplitKind::kKeyColour},
      {kModeSplitOnBasis, kExtTextureEnvCombine4, TextureSplitKind::kKeyColourFromBase},
      {kModeSplitOnBasis, kExtTextureEnvCombine3, TextureSplitKind::kKeyColourFromBase},
      {kModeSplitOnBasis, kExtRegisterCombiners2, TextureSplitKind::kKeyColourFromBase},
      {kModeSplitOnBasis, 0, TextureSplitKind::kKeyColour},
  };
  // A 4 x 4 RGB image of spread colours that lie mostly along one axis.
  std::uint8_t bytes[16 * 3];
  float floats[16 * 3];
  for (int i = 0; i < 16; ++i) {
    bytes[3 * i] = static_cast<std::uint8_t>(40 + 12 * i);
    bytes[3 * i + 1] = static_cast<std::uint8_t>(30 + 9 * i + (i % 3) * 7);
    bytes[3 * i + 2] = static_cast<std::uint8_t>(60 + (i * 37) % 50);
  }
  for (int i = 0; i < 16 * 3; ++i) floats[i] = bytes[i] / 255.0f;
  CompressedRgbaFormat = GL_RGBA;  // uncompressed, to read the converted texels back exactly
  const std::uint32_t mask = ExtensionMask & ~kAllCombiners;
  for (const auto& board : boards) {
    ExtensionMask = mask | board.combiners;
    ASSERT_EQ(TextureSplitKindFor(board.mode), board.kind) << board.combiners;
    for (const bool floatTexels : {false, true}) {
      const std::string what = "mode " + std::to_string(board.mode) + ", combiners " +
                               std::to_string(board.combiners) + (floatTexels ? ", floats" : "");
      Texture2D b;
      FloatTexture2D f;
      TextureObject2D& t = floatTexels ? static_cast<TextureObject2D&>(f) : b;
      Texture2DResize(b, 3, 2, 2);
      FloatTexture2DRealloc(f, 3, 2, 2);
      std::memcpy(TextureData(b), bytes, sizeof bytes);
      std::memcpy(TextureData(f), floats, sizeof floats);
      std::fill(t.state.colour0, t.state.colour0 + 4, 0.5f);
      std::fill(t.state.colour1, t.state.colour1 + 4, 0.5f);
      Texture2DSetFilter(t, kFilterTrilinear);
      const auto bind = [&](std::int32_t pass) {
        floatTexels ? FloatTexture2DBind(f, board.mode, pass) : Texture2DBind(b, board.mode, pass);
      };
      bind(0);
      EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 2, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA) << what;
      EXPECT_EQ(LevelParameter(GL_TEXTURE_2D, 3, GL_TEXTURE_WIDTH), 0) << what;
      EXPECT_EQ(t.state.accountedBytes, 16u + 4 + 1) << "one byte a texel, with mips";
      const float* colour0 = t.state.colour0;
      const float* colour1 = t.state.colour1;
      EXPECT_EQ(colour0[3] + colour1[3], 0.0f) << what;
      const std::vector<std::uint8_t> level0 = LevelBytes(0, GL_RGBA, 4);
      const std::vector<std::uint8_t> level2 = LevelBytes(2, GL_RGBA, 4);
      for (int k = 0; k < 3; ++k) {
        // The base colour is the per-channel minimum for the full key split, else black.
        std::uint8_t least = 255;
        float mean = 0;
        for (int i = 0; i < 16; ++i) {
          least = std::min(least, bytes[3 * i + k]);
          mean += bytes[3 * i + k] / 16.0f;
          EXPECT_NEAR(Recombined(board.kind, &level0[4 * i], k, colour0, colour1),
                      bytes[3 * i + k], 2.5f) << what << " texel " << i << " channel " << k;
        }
        const bool fromBase = board.kind == TextureSplitKind::kKeyColourFromBase;
        EXPECT_NEAR(colour0[k], fromBase ? least / 255.0f : 0.0f, 1e-6) << what;
        if (board.kind == TextureSplitKind::kMaxChannel) {
          EXPECT_EQ(colour1[k], 0.0f) << what;
        }
        EXPECT_NEAR(Recombined(board.kind, level2.data(), k, colour0, colour1), mean, 3.0f)
            << what << " channel " << k;
      }
      if (board.combiners == kExtRegisterCombiners2) continue;
      glClear(GL_COLOR_BUFFER_BIT);
      if (board.mode == kModeSplitOnBasis) {
        glActiveTexture(GL_TEXTURE1);
        bind(1);
        glActiveTexture(GL_TEXTURE0);
      }
      DrawTexturedQuad(board.mode == kModeSplitOnBasis ? 2 : 1);
      for (int i = 0; i < 16; ++i) {
        Rgba p = ReadPixel(8 + 16 * (i % 4), 8 + 16 * (i / 4));
        p.a = 255;
        ExpectPixel(p, {bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2], 255}, 10,
                    what + " drawn texel " + std::to_string(i));
      }
    }
  }
  SetTextureCombine(kModePlain, 0, nullptr, nullptr);
}

TEST_F(Upload, CubeSplitColoursCoverAllSixFaces) {
  GLuint cube = 0;
  glGenTextures(1, &cube);
  glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, cube);
  std::vector<float> faces[6];
  const void* pointers[6];
  for (int f = 0; f < 6; ++f) {
    faces[f] = {0.3f, 0.5f, 0.5f, 0.4f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.6f, 0.5f, 0.5f};
    pointers[f] = faces[f].data();
  }
  faces[5][4] = 0.25f;  // the smallest green, on the last face only
  faces[2][0] = 0.2f;   // the smallest red
  const std::uint32_t mask = ExtensionMask & ~kAllCombiners;
  ExtensionMask = mask | kExtTextureEnvCombine3;
  SetTextureCube(kModeSplitOnBasis, kLayoutRgb, 1, 1, pointers, colour0_, colour1_, colour2_,
                 0);
  EXPECT_EQ(std::vector<float>(colour0_, colour0_ + 3), (std::vector<float>{0.2f, 0.25f, 0.5f}));
  std::uint32_t order[3];
  TextureColourOrder(colour2_, order);
  EXPECT_EQ(order[0], 0u);  // red spreads most
  EXPECT_GT(colour1_[0], 0.0f);
  for (GLenum target = GL_TEXTURE_CUBE_MAP_POSITIVE_X; target <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z;
       ++target)
    EXPECT_EQ(LevelParameter(target, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA8);  // on llvmpipe

  ExtensionMask = mask;  // mode 2 without combiners: no colours
  SetTextureCube(kModeSplit, kLayoutRgb, 1, 1, pointers, colour0_, colour1_, colour2_, 0);
  EXPECT_EQ(std::vector<float>(colour0_, colour0_ + 4), std::vector<float>(4, 0.0f));
  EXPECT_EQ(std::vector<float>(colour1_, colour1_ + 4), std::vector<float>(4, 0.0f));
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
