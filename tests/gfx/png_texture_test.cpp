// The PNG texture loaders without a GL context: placement, texels, masks, failures, the
// height-to-normal converter. Drawing the loaded textures is tested in png_texture_gl_test.cpp.
#include "gfx/png_texture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "gfx/texture_names.h"
#include "png_texture_files.h"

namespace veskor {
namespace {

std::uint8_t Pattern(std::uint32_t x, std::uint32_t y, std::uint32_t c) {
  return static_cast<std::uint8_t>(x * 40 + y * 7 + c * 60 + 3);
}

test::PngSample Constant(std::uint8_t value) {
  return [value](std::uint32_t, std::uint32_t, std::uint32_t) { return value; };
}

class PngTexture : public ::testing::Test {
 protected:
  test::PngTextureFiles files_;
  std::uint32_t exact_ = 77;
  float u_ = -1.0f;
  float v_ = -1.0f;
};

TEST_F(PngTexture, PlacesTheFirstSamplesInTheCornerOfAPowerOfTwoTexture) {
  struct Case {
    std::uint32_t width, height, channels, log2Width, log2Height, exact;
    float u, v;
    std::uint32_t format;
  };
  const Case cases[] = {
      {256, 256, 3, 8, 8, 1, 1.0f, 1.0f, 11},
      {300, 200, 1, 9, 8, 0, 0.5859375f, 0.78125f, 8},
      {1, 1, 4, 0, 0, 1, 1.0f, 1.0f, 12},
      {3, 5, 2, 2, 3, 0, 0.75f, 0.625f, 13},
  };
  for (const Case& c : cases) {
    const std::string path = files_.Write("image.png", c.width, c.height, 4, Pattern);
    Texture2D t;
    Texture2DSetWrap(t, 3);
    Texture2DSetFilter(t, 1);
    ASSERT_EQ(LoadPngTexture(path.c_str(), t, c.channels, exact_, u_, v_, nullptr), 1u);
    EXPECT_EQ(exact_, c.exact) << c.width;
    EXPECT_EQ(u_, c.u) << c.width;
    EXPECT_EQ(v_, c.v) << c.width;
    EXPECT_EQ(TextureLog2Width(t), c.log2Width);
    EXPECT_EQ(TextureLog2Height(t), c.log2Height);
    EXPECT_EQ(t.state.formatCode, c.format);
    EXPECT_EQ(t.state.hasSlot, 1u);
    EXPECT_EQ(t.state.dirty & t.state.valid & t.state.needsCounting, 1u);
    EXPECT_EQ(t.state.wrap | t.state.filter, 0u);
    // The file's top row is texel row 0.
    for (std::uint32_t y = 0; y < c.height; ++y)
      for (std::uint32_t x = 0; x < c.width; ++x)
        for (std::uint32_t k = 0; k < c.channels; ++k)
          ASSERT_EQ(TexelAddress(t, x, y)[k], Pattern(x, y, k)) << c.width << " " << x << y << k;
  }
}

TEST_F(PngTexture, TexelsOutsideTheImageKeepTheirContents) {
  Texture2D t;
  Texture2DResize(t, 3, 3, 2);
  std::memset(TextureData(t), 0x5A, 3 * 8 * 4);
  const std::string path = files_.Write("rgb.png", 5, 3, 3, Pattern);
  ASSERT_EQ(LoadPngTexture(path.c_str(), t, 3, exact_, u_, v_, nullptr), 1u);
  for (std::uint32_t y = 0; y < 4; ++y)
    for (std::uint32_t x = 0; x < 8; ++x)
      EXPECT_EQ(TexelAddress(t, x, y)[1], x < 5 && y < 3 ? Pattern(x, y, 1) : 0x5A) << x << y;
}

// Every loader, on the file at `path`, into textures that held a 2 x 2 image.
struct LoaderCase {
  const char* what;
  std::function<std::uint32_t(const char*, Texture2D (&)[4], FloatTexture2D (&)[4],
                              std::uint32_t&, float&, float&)>
      load;
};

const LoaderCase kLoaders[] = {
    {"texture",
     [](const char* p, Texture2D (&b)[4], FloatTexture2D (&)[4], std::uint32_t& e, float& u,
        float& v) { return LoadPngTexture(p, b[0], 3, e, u, v, nullptr); }},
    {"with alpha",
     [](const char* p, Texture2D (&b)[4], FloatTexture2D (&)[4], std::uint32_t& e, float& u,
        float& v) { return LoadPngTextureWithAlpha(p, p, b[0], e, u, v, nullptr); }},
    {"split",
     [](const char* p, Texture2D (&b)[4], FloatTexture2D (&)[4], std::uint32_t& e, float& u,
        float& v) { return LoadPngTextureSplit(p, b[0], b[1], b[2], e, u, v, nullptr); }},
    {"float",
     [](const char* p, Texture2D (&)[4], FloatTexture2D (&f)[4], std::uint32_t& e, float& u,
        float& v) { return LoadPngFloatTexture(p, f[0], 3, e, u, v, nullptr); }},
    {"float split",
     [](const char* p, Texture2D (&)[4], FloatTexture2D (&f)[4], std::uint32_t& e, float& u,
        float& v) { return LoadPngFloatTextureSplit(p, f[0], f[1], f[2], e, u, v, nullptr); }},
    {"float split 4",
     [](const char* p, Texture2D (&)[4], FloatTexture2D (&f)[4], std::uint32_t& e, float& u,
        float& v) {
       return LoadPngFloatTextureSplit4(p, f[0], f[1], f[2], f[3], e, u, v, nullptr);
     }},
};

TEST_F(PngTexture, UnreadableFilesLeaveTexturesAndOutputsUntouched) {
  const std::vector<std::uint8_t> good = test::PngTextureFiles::Encode(4, 4, 3, Pattern);
  std::vector<std::uint8_t> damaged = good;
  test::CorruptChunkCrc(damaged, "IDAT");
  const std::vector<std::uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
  const std::string text = files_.WriteBytes("text.png", {'n', 'o', 't', ' ', 'p', 'n', 'g'});
  const std::string paths[] = {files_.Path("missing.png"), text,
                               files_.WriteBytes("damaged.png", damaged),
                               files_.WriteBytes("truncated.png", truncated)};
  const std::string before = files_.Write("before.png", 2, 2, 4, Constant(9));
  for (const LoaderCase& loader : kLoaders) {
    for (const std::string& path : paths) {
      Texture2D bytes[4];
      FloatTexture2D floats[4];
      ASSERT_EQ(loader.load(before.c_str(), bytes, floats, exact_, u_, v_), 1u);
      for (auto& t : bytes) t.state.dirty = 0;
      for (auto& t : floats) t.state.dirty = 0;
      void* data = TextureData(bytes[0]);
      void* floatData = TextureData(floats[0]);
      exact_ = 77;
      u_ = v_ = -1.0f;
      EXPECT_EQ(loader.load(path.c_str(), bytes, floats, exact_, u_, v_), 0u)
          << loader.what << " " << path;
      EXPECT_EQ(exact_, 77u);
      EXPECT_EQ(u_, -1.0f);
      EXPECT_EQ(TextureData(bytes[0]), data);
      EXPECT_EQ(TextureData(floats[0]), floatData);
      EXPECT_EQ(bytes[0].state.dirty | floats[0].state.dirty, 0u) << loader.what;
      EXPECT_EQ(TextureLog2Width(bytes[0]) + TextureLog2Width(floats[0]), 1u);
      if (data != nullptr) {
        EXPECT_EQ(*TexelAddress(bytes[0], 1, 1), 9);
      } else {
        EXPECT_FLOAT_EQ(*TexelAddress(floats[0], 1, 1), 9 / 255.0f);
      }
    }
  }
}

TEST_F(PngTexture, RefusesChannelsTheFileLacksAndAlphaFilesOfAnotherSize) {
  const std::string rgb = files_.Write("rgb.png", 3, 2, 3, Pattern);
  const std::string grey = files_.Write("grey.png", 2, 3, 1, Pattern);  // read as RGB
  Texture2D t;
  FloatTexture2D f;
  for (std::uint32_t n : {0u, 4u, 5u}) {
    EXPECT_EQ(LoadPngTexture(rgb.c_str(), t, n, exact_, u_, v_, nullptr), 0u) << n;
    EXPECT_EQ(LoadPngFloatTexture(grey.c_str(), f, n, exact_, u_, v_, nullptr), 0u) << n;
  }
  EXPECT_EQ(LoadPngTextureWithAlpha(rgb.c_str(), grey.c_str(), t, exact_, u_, v_, nullptr), 0u);
  EXPECT_EQ(LoadPngTextureWithAlpha(rgb.c_str(), files_.Path("none.png").c_str(), t, exact_, u_,
                                    v_, nullptr),
            0u);
  EXPECT_EQ(TextureData(t), nullptr);
  EXPECT_EQ(TextureData(f), nullptr);
  EXPECT_EQ(t.state.hasSlot | f.state.hasSlot, 0u);
  EXPECT_EQ(exact_, 77u);
}

TEST_F(PngTexture, InverseAlphaOfAFileWithoutAlphaIsOne) {
  const std::string rgb = files_.Write("rgb.png", 3, 3, 3, Pattern);
  FloatTexture2D f[4];
  ASSERT_EQ(LoadPngFloatTextureSplit4(rgb.c_str(), f[0], f[1], f[2], f[3], exact_, u_, v_,
                                      nullptr),
            1u);
  for (const FloatTexture2D& t : f) {
    EXPECT_EQ(t.state.formatCode, 0u);
    EXPECT_EQ(t.state.channels, 1u);
  }
  for (std::uint32_t y = 0; y < 3; ++y)
    for (std::uint32_t x = 0; x < 3; ++x) {
      EXPECT_FLOAT_EQ(TexelAddress(f[2], x, y)[0], Pattern(x, y, 2) / 255.0f);
      EXPECT_EQ(TexelAddress(f[3], x, y)[0], 1.0f);
    }
}

// A mask merges the file's bits into the old texel: (file & m) | (old & ~m).
TEST_F(PngTexture, MasksMergeTheFilesBitsIntoTheOldTexels) {
  const std::string old = files_.Write("old.png", 2, 2, 4, Constant(0x12));
  const std::string file = files_.Write("file.png", 2, 2, 4, Constant(0xAB));
  struct Case {
    std::uint8_t mask, expected;
  };
  const Case cases[] = {{0x0F, 0x1B}, {0xFF, 0xAB}, {0x00, 0x12}};
  for (const Case& c : cases) {
    Texture2D t;
    FloatTexture2D f;
    Texture2D split[3];
    LoadPngTexture(old.c_str(), t, 4, exact_, u_, v_, nullptr);
    LoadPngFloatTexture(old.c_str(), f, 2, exact_, u_, v_, nullptr);
    LoadPngTextureSplit(old.c_str(), split[0], split[1], split[2], exact_, u_, v_, nullptr);
    ASSERT_EQ(LoadPngTexture(file.c_str(), t, 4, exact_, u_, v_, &c.mask), 1u);
    ASSERT_EQ(LoadPngFloatTexture(file.c_str(), f, 2, exact_, u_, v_, &c.mask), 1u);
    const std::uint8_t masks[3] = {0xFF, c.mask, 0x00};
    ASSERT_EQ(LoadPngTextureSplit(file.c_str(), split[0], split[1], split[2], exact_, u_, v_,
                                  masks),
              1u);
    EXPECT_EQ(TexelAddress(t, 1, 1)[3], c.expected);
    EXPECT_FLOAT_EQ(TexelAddress(f, 1, 0)[1], c.expected / 255.0f);
    EXPECT_EQ(TexelAddress(split[0], 0, 1)[0], 0xAB);
    EXPECT_EQ(TexelAddress(split[1], 0, 1)[0], c.expected);
    EXPECT_EQ(TexelAddress(split[2], 0, 1)[0], 0x12);
  }
}

TEST_F(PngTexture, MasksWorkPerChannelForAlphaAndInverseAlpha) {
  const std::string colour = files_.Write("colour.png", 2, 2, 3, Constant(0xAB));
  const std::string alpha = files_.Write("alpha.png", 2, 2, 1, Constant(0x54));  // 255 - 0xAB
  const std::string old = files_.Write("old.png", 2, 2, 1, Constant(0x12));
  Texture2D t;
  ASSERT_EQ(LoadPngTextureWithAlpha(old.c_str(), old.c_str(), t, exact_, u_, v_, nullptr), 1u);
  const std::uint8_t masks[4] = {0x00, 0x0F, 0xFF, 0x0F};
  ASSERT_EQ(LoadPngTextureWithAlpha(colour.c_str(), alpha.c_str(), t, exact_, u_, v_, masks),
            1u);
  const std::uint8_t* texel = TexelAddress(t, 1, 0);
  EXPECT_EQ(texel[0], 0x12);
  EXPECT_EQ(texel[1], 0x1B);
  EXPECT_EQ(texel[2], 0xAB);
  EXPECT_EQ(texel[3], 0xEB);  // old alpha 255 - 0x12 = 0xED, file alpha 0xAB

  // A file without alpha sets the masked bits of the inverse-alpha texture.
  FloatTexture2D f[4];
  ASSERT_EQ(LoadPngFloatTextureSplit4(old.c_str(), f[0], f[1], f[2], f[3], exact_, u_, v_,
                                      nullptr),
            1u);
  *TexelAddress(f[3], 0, 0) = 0x12 / 255.0f;
  const std::uint8_t splitMasks[4] = {0, 0, 0, 0x0F};
  ASSERT_EQ(LoadPngFloatTextureSplit4(colour.c_str(), f[0], f[1], f[2], f[3], exact_, u_, v_,
                                      splitMasks),
            1u);
  EXPECT_FLOAT_EQ(*TexelAddress(f[3], 0, 0), 0x1F / 255.0f);
  EXPECT_FLOAT_EQ(*TexelAddress(f[0], 0, 0), 0x12 / 255.0f);
}

TEST_F(PngTexture, FloatMaskReadsOldTexelsClampedToTheUnitRange) {
  const std::string old = files_.Write("old.png", 2, 2, 1, Constant(0));
  const std::string file = files_.Write("file.png", 2, 2, 1, Constant(0xAB));
  FloatTexture2D f;
  ASSERT_EQ(LoadPngFloatTexture(old.c_str(), f, 1, exact_, u_, v_, nullptr), 1u);
  float* texels = static_cast<float*>(TextureData(f));
  texels[0] = -0.5f;
  texels[1] = 2.0f;
  texels[2] = std::numeric_limits<float>::quiet_NaN();
  texels[3] = 0.5f;  // byte 127
  const std::uint8_t mask = 0x0F;
  ASSERT_EQ(LoadPngFloatTexture(file.c_str(), f, 1, exact_, u_, v_, &mask), 1u);
  const std::uint8_t expected[4] = {0x0B, 0xFB, 0x0B, 0x7B};
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(texels[i], expected[i] / 255.0f) << i;
}

TEST_F(PngTexture, ReleaseCopyLeavesAnEmptyReusableTexture) {
  const std::string path = files_.Write("rgb.png", 2, 2, 3, Pattern);
  Texture2D t;
  ASSERT_EQ(LoadPngTexture(path.c_str(), t, 3, exact_, u_, v_, nullptr), 1u);
  Texture2DReleaseCopy(t);
  EXPECT_EQ(TextureData(t), nullptr);
  EXPECT_EQ(t.state.hasSlot, 0u);
  ASSERT_EQ(LoadPngTexture(path.c_str(), t, 3, exact_, u_, v_, nullptr), 1u);
  EXPECT_EQ(TexelAddress(t, 1, 1)[0], Pattern(1, 1, 0));
}

// Heights of a 4 x 4 source, and the five slope textures expected at texel (x, y).
struct NormalCase {
  const char* what;
  std::function<float(std::uint32_t x, std::uint32_t y)> height;
  std::uint32_t x, y;
  float plusX, plusY, z, minusX, minusY;
};

TEST(HeightToNormalSplit, GivesTheSlopesOfChannelZero) {
  const float s = std::sqrt(1.0f - 0.04f);
  const NormalCase cases[] = {
      {"flat", [](auto, auto) { return 0.3f; }, 2, 1, 0, 0, 1, 0, 0},
      {"rising x", [](auto x, auto) { return 0.1f * x; }, 1, 2, 0.2f, 0, s, 0, 0},
      {"rising x, first column", [](auto x, auto) { return 0.1f * x; }, 0, 2, 0.1f, 0,
       std::sqrt(1.0f - 0.01f), 0, 0},
      {"falling y", [](auto, auto y) { return 1.0f - 0.1f * y; }, 2, 2, 0, 0, s, 0, 0.2f},
      {"steep in both", [](auto x, auto y) { return 3.0f * (x + y); }, 1, 1, 1, 1, 0, 0, 0},
  };
  for (const NormalCase& c : cases) {
    FloatTexture2D source;
    FloatTexture2D out[5];
    FloatTexture2DRealloc(source, 2, 2, 2);  // channel 1 is not read
    for (auto& t : out) FloatTexture2DRealloc(t, 1, 2, 2);
    for (std::uint32_t y = 0; y < 4; ++y)
      for (std::uint32_t x = 0; x < 4; ++x) {
        TexelAddress(source, x, y)[0] = c.height(x, y);
        TexelAddress(source, x, y)[1] = 100.0f;
      }
    for (auto& t : out) t.state.dirty = 0;
    ASSERT_EQ(HeightToNormalSplit(source, out[0], out[1], out[2], out[3], out[4]), 1u);
    const float expected[5] = {c.plusX, c.plusY, c.z, c.minusX, c.minusY};
    for (int i = 0; i < 5; ++i) {
      EXPECT_NEAR(*TexelAddress(out[i], c.x, c.y), expected[i], 1e-6f) << c.what << " " << i;
      EXPECT_EQ(out[i].state.dirty, 1u);
    }
  }
}

TEST(HeightToNormalSplit, DestinationsOfAnotherShapeAreNotWritten) {
  FloatTexture2D source;
  FloatTexture2D out[5];
  FloatTexture2DRealloc(source, 1, 2, 2);
  for (auto& t : out) FloatTexture2DRealloc(t, 1, 2, 2);
  FloatTexture2D wrongSize, twoChannels, empty;
  FloatTexture2DRealloc(wrongSize, 1, 2, 3);
  FloatTexture2DRealloc(twoChannels, 2, 2, 2);
  for (FloatTexture2D* bad : {&wrongSize, &twoChannels, &empty}) {
    bad->state.dirty = 0;
    EXPECT_EQ(HeightToNormalSplit(source, out[0], out[1], *bad, out[3], out[4]), 0u);
    EXPECT_EQ(bad->state.dirty, 0u);
  }
  EXPECT_EQ(HeightToNormalSplit(empty, out[0], out[1], out[2], out[3], out[4]), 0u);
}

}  // namespace
}  // namespace veskor
