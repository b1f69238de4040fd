// The PNG texture loaders without a GL context: placement, texels, masks, failures, the
// height-to-normal converter. Drawing the loaded textures is tested in png_texture_gl_test.cpp.
#include "gfx/png_texture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "png_texture_files.h"

namespace veskor {
namespace {

std::uint8_t Pattern(std::uint32_t x, std::uint32_t y, std::uint32_t c) {
  return static_cast<std::uint8_t>(x * 40 + y * 7 + c * 60 + 3);
}

test::PngSample Constant(std::uint8_t value) {
  return [value](std::uint32_t, std::uint32_t, std::uint32_t) { return value; };
}

// The textures a loader fills and its outputs.
struct Loaded {
  Texture2D bytes[4];
  FloatTexture2D floats[4];
  std::uint32_t exact = 77;
  float u = -1.0f;
  float v = -1.0f;
};

class PngTexture : public ::testing::Test {
 protected:
  test::PngTextureFiles files_;
  Loaded out_;
};

TEST_F(PngTexture, PlacesTheFirstSamplesInTheCornerOfAPowerOfTwoTexture) {
  const struct {
    std::uint32_t width, height, channels, log2Width, log2Height, exact;
    float u, v;
    std::uint32_t format;
  } cases[] = {
      {256, 256, 3, 8, 8, 1, 1.0f, 1.0f, 11},
      {300, 200, 1, 9, 8, 0, 0.5859375f, 0.78125f, 8},
      {1, 1, 4, 0, 0, 1, 1.0f, 1.0f, 12},
      {3, 5, 2, 2, 3, 0, 0.75f, 0.625f, 13},
  };
  for (const auto& c : cases) {
    const std::string path = files_.Write("image.png", c.width, c.height, 4, Pattern);
    // A texture of the same size that held another image: texels outside the new one keep it.
    Texture2D t;
    Texture2DResize(t, c.channels, c.log2Width, c.log2Height);
    std::memset(TextureData(t), 0x5A, c.channels << (c.log2Width + c.log2Height));
    Texture2DSetWrap(t, 3);
    Texture2DSetFilter(t, 1);
    ASSERT_EQ(LoadPngTexture(path.c_str(), t, c.channels, out_.exact, out_.u, out_.v, nullptr),
              1u);
    EXPECT_EQ(out_.exact, c.exact) << c.width;
    EXPECT_EQ(out_.u, c.u) << c.width;
    EXPECT_EQ(out_.v, c.v) << c.width;
    ASSERT_EQ(TextureLog2Width(t), c.log2Width);
    ASSERT_EQ(TextureLog2Height(t), c.log2Height);
    EXPECT_EQ(t.state.formatCode, c.format);
    EXPECT_EQ(t.state.hasSlot & t.state.dirty & t.state.valid & t.state.needsCounting, 1u);
    EXPECT_EQ(t.state.wrap | t.state.filter, 0u);
    // The file's top row is texel row 0.
    for (std::uint32_t y = 0; y < 1u << c.log2Height; ++y)
      for (std::uint32_t x = 0; x < 1u << c.log2Width; ++x)
        for (std::uint32_t k = 0; k < c.channels; ++k)
          ASSERT_EQ(TexelAddress(t, x, y)[k],
                    x < c.width && y < c.height ? Pattern(x, y, k) : 0x5A)
              << c.width << " " << x << "," << y << " " << k;
  }
}

using Loader = std::uint32_t (*)(const char* path, Loaded& out);
const std::pair<const char*, Loader> kLoaders[] = {
    {"texture",
     [](const char* p, Loaded& o) {
       return LoadPngTexture(p, o.bytes[0], 3, o.exact, o.u, o.v, nullptr);
     }},
    {"with alpha",
     [](const char* p, Loaded& o) {
       return LoadPngTextureWithAlpha(p, p, o.bytes[0], o.exact, o.u, o.v, nullptr);
     }},
    {"split",
     [](const char* p, Loaded& o) {
       return LoadPngTextureSplit(p, o.bytes[0], o.bytes[1], o.bytes[2], o.exact, o.u, o.v,
                                  nullptr);
     }},
    {"float",
     [](const char* p, Loaded& o) {
       return LoadPngFloatTexture(p, o.floats[0], 3, o.exact, o.u, o.v, nullptr);
     }},
    {"float split",
     [](const char* p, Loaded& o) {
       return LoadPngFloatTextureSplit(p, o.floats[0], o.floats[1], o.floats[2], o.exact, o.u,
                                       o.v, nullptr);
     }},
    {"float split 4",
     [](const char* p, Loaded& o) {
       return LoadPngFloatTextureSplit4(p, o.floats[0], o.floats[1], o.floats[2], o.floats[3],
                                        o.exact, o.u, o.v, nullptr);
     }},
};

TEST_F(PngTexture, UnreadableFilesLeaveTexturesAndOutputsUntouched) {
  std::vector<std::uint8_t> damaged = test::EncodePng(4, 4, 3, Pattern);
  test::CorruptChunkCrc(damaged, "IDAT");
  const std::string path = files_.WriteBytes("damaged.png", damaged);
  const std::string before = files_.Write("before.png", 2, 2, 4, Constant(9));
  for (const auto& [what, load] : kLoaders) {
    Loaded o;
    ASSERT_EQ(load(before.c_str(), o), 1u);
    o.bytes[0].state.dirty = o.floats[0].state.dirty = 0;
    void* data = TextureData(o.bytes[0]);
    void* floatData = TextureData(o.floats[0]);
    o.exact = 77;
    o.u = o.v = -1.0f;
    EXPECT_EQ(load(path.c_str(), o), 0u) << what;
    EXPECT_EQ(load(files_.Path("missing.png").c_str(), o), 0u) << what;
    EXPECT_EQ(o.exact, 77u);
    EXPECT_EQ(o.u + o.v, -2.0f);
    EXPECT_EQ(TextureData(o.bytes[0]), data);
    EXPECT_EQ(TextureData(o.floats[0]), floatData);
    EXPECT_EQ(o.bytes[0].state.dirty | o.floats[0].state.dirty, 0u) << what;
    EXPECT_EQ(TextureLog2Width(o.bytes[0]) + TextureLog2Width(o.floats[0]), 1u);
    if (data != nullptr) {
      EXPECT_EQ(*TexelAddress(o.bytes[0], 1, 1), 9);
    } else {
      EXPECT_FLOAT_EQ(*TexelAddress(o.floats[0], 1, 1), 9 / 255.0f);
    }
  }
}

TEST_F(PngTexture, RefusesChannelsTheFileLacksAndAlphaFilesOfAnotherSize) {
  const std::string rgb = files_.Write("rgb.png", 3, 2, 3, Pattern);
  const std::string grey = files_.Write("grey.png", 2, 3, 1, Pattern);  // read as RGB
  Texture2D& t = out_.bytes[0];
  FloatTexture2D& f = out_.floats[0];
  for (std::uint32_t n : {0u, 4u, 5u}) {
    EXPECT_EQ(LoadPngTexture(rgb.c_str(), t, n, out_.exact, out_.u, out_.v, nullptr), 0u) << n;
    EXPECT_EQ(LoadPngFloatTexture(grey.c_str(), f, n, out_.exact, out_.u, out_.v, nullptr), 0u)
        << n;
  }
  for (const std::string& alpha : {grey, files_.Path("none.png")})
    EXPECT_EQ(LoadPngTextureWithAlpha(rgb.c_str(), alpha.c_str(), t, out_.exact, out_.u, out_.v,
                                      nullptr),
              0u);
  EXPECT_EQ(TextureData(t), nullptr);
  EXPECT_EQ(TextureData(f), nullptr);
  EXPECT_EQ(t.state.hasSlot | f.state.hasSlot, 0u);
  EXPECT_EQ(out_.exact, 77u);
}

// A mask merges the file's bits into the old texel: (file & m) | (old & ~m).
TEST_F(PngTexture, MasksMergeTheFilesBitsIntoTheOldTexels) {
  const std::string old = files_.Write("old.png", 2, 2, 4, Constant(0x12));
  const std::string file = files_.Write("file.png", 2, 2, 4, Constant(0xAB));
  const struct {
    std::uint8_t mask, expected;
  } cases[] = {{0x0F, 0x1B}, {0xFF, 0xAB}, {0x00, 0x12}};
  for (const auto& c : cases) {
    Loaded o;
    Texture2D* split = o.bytes + 1;
    LoadPngTexture(old.c_str(), o.bytes[0], 4, o.exact, o.u, o.v, nullptr);
    LoadPngFloatTexture(old.c_str(), o.floats[0], 2, o.exact, o.u, o.v, nullptr);
    LoadPngTextureSplit(old.c_str(), split[0], split[1], split[2], o.exact, o.u, o.v, nullptr);
    ASSERT_EQ(LoadPngTexture(file.c_str(), o.bytes[0], 4, o.exact, o.u, o.v, &c.mask), 1u);
    ASSERT_EQ(LoadPngFloatTexture(file.c_str(), o.floats[0], 2, o.exact, o.u, o.v, &c.mask), 1u);
    const std::uint8_t masks[3] = {0xFF, c.mask, 0x00};
    ASSERT_EQ(LoadPngTextureSplit(file.c_str(), split[0], split[1], split[2], o.exact, o.u, o.v,
                                  masks),
              1u);
    EXPECT_EQ(TexelAddress(o.bytes[0], 1, 1)[3], c.expected);
    EXPECT_FLOAT_EQ(TexelAddress(o.floats[0], 1, 0)[1], c.expected / 255.0f);
    EXPECT_EQ(TexelAddress(split[0], 0, 1)[0], 0xAB);
    EXPECT_EQ(TexelAddress(split[1], 0, 1)[0], c.expected);
    EXPECT_EQ(TexelAddress(split[2], 0, 1)[0], 0x12);
  }
}

TEST_F(PngTexture, MasksWorkPerChannelForAlphaAndInverseAlpha) {
  const std::string colour = files_.Write("colour.png", 2, 2, 3, Pattern);
  const std::string alpha = files_.Write("alpha.png", 2, 2, 1, Constant(0x54));  // 255 - 0xAB
  const std::string old = files_.Write("old.png", 2, 2, 1, Constant(0x12));
  Texture2D& t = out_.bytes[0];
  float& u = out_.u;
  float& v = out_.v;
  ASSERT_EQ(LoadPngTextureWithAlpha(old.c_str(), old.c_str(), t, out_.exact, u, v, nullptr), 1u);
  const std::uint8_t masks[4] = {0x00, 0x0F, 0xFF, 0x0F};
  ASSERT_EQ(LoadPngTextureWithAlpha(colour.c_str(), alpha.c_str(), t, out_.exact, u, v, masks),
            1u);
  const std::uint8_t* texel = TexelAddress(t, 1, 0);
  EXPECT_EQ(texel[0], 0x12);
  EXPECT_EQ(texel[1], (Pattern(1, 0, 1) & 0x0F) | 0x10);
  EXPECT_EQ(texel[2], Pattern(1, 0, 2));
  EXPECT_EQ(texel[3], 0xEB);  // old alpha 255 - 0x12 = 0xED, file alpha 0xAB

  // The inverse alpha of a file without alpha is 1; under a mask its masked bits are set.
  FloatTexture2D* f = out_.floats;
  ASSERT_EQ(LoadPngFloatTextureSplit4(colour.c_str(), f[0], f[1], f[2], f[3], out_.exact, u, v,
                                      nullptr),
            1u);
  for (std::uint32_t i = 0; i < 4; ++i) {
    for (std::uint32_t c = 0; c < 3; ++c)
      EXPECT_FLOAT_EQ(*TexelAddress(f[c], i % 2, i / 2), Pattern(i % 2, i / 2, c) / 255.0f);
    EXPECT_EQ(*TexelAddress(f[3], i % 2, i / 2), 1.0f);
  }
  *TexelAddress(f[3], 0, 0) = 0x12 / 255.0f;
  const std::uint8_t splitMasks[4] = {0, 0, 0, 0x0F};
  ASSERT_EQ(LoadPngFloatTextureSplit4(old.c_str(), f[0], f[1], f[2], f[3], out_.exact, u, v,
                                      splitMasks),
            1u);
  EXPECT_FLOAT_EQ(*TexelAddress(f[3], 0, 0), 0x1F / 255.0f);
  EXPECT_FLOAT_EQ(*TexelAddress(f[0], 0, 0), Pattern(0, 0, 0) / 255.0f);
}

TEST_F(PngTexture, FloatMaskReadsOldTexelsClampedToTheUnitRange) {
  const std::string old = files_.Write("old.png", 2, 2, 1, Constant(0));
  const std::string file = files_.Write("file.png", 2, 2, 1, Constant(0xAB));
  FloatTexture2D& f = out_.floats[0];
  ASSERT_EQ(LoadPngFloatTexture(old.c_str(), f, 1, out_.exact, out_.u, out_.v, nullptr), 1u);
  float* texels = static_cast<float*>(TextureData(f));
  texels[0] = -0.5f;
  texels[1] = 2.0f;
  texels[2] = std::numeric_limits<float>::quiet_NaN();
  texels[3] = 0.5f;  // byte 127
  const std::uint8_t mask = 0x0F;
  ASSERT_EQ(LoadPngFloatTexture(file.c_str(), f, 1, out_.exact, out_.u, out_.v, &mask), 1u);
  const std::uint8_t expected[4] = {0x0B, 0xFB, 0x0B, 0x7B};
  for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(texels[i], expected[i] / 255.0f) << i;
}

TEST_F(PngTexture, ReleaseCopyLeavesAnEmptyReusableTexture) {
  const std::string path = files_.Write("rgb.png", 2, 2, 3, Pattern);
  Texture2D& t = out_.bytes[0];
  ASSERT_EQ(LoadPngTexture(path.c_str(), t, 3, out_.exact, out_.u, out_.v, nullptr), 1u);
  Texture2DReleaseCopy(t);
  EXPECT_EQ(TextureData(t), nullptr);
  EXPECT_EQ(t.state.hasSlot, 0u);
  ASSERT_EQ(LoadPngTexture(path.c_str(), t, 3, out_.exact, out_.u, out_.v, nullptr), 1u);
  EXPECT_EQ(TexelAddress(t, 1, 1)[0], Pattern(1, 1, 0));
}

TEST(HeightToNormalSplit, GivesTheSlopesOfChannelZero) {
  // Heights of a 4 x 4 source, and the five slope textures expected at texel (x, y).
  const float s = std::sqrt(1.0f - 0.04f);
  const struct {
    const char* what;
    std::function<float(std::uint32_t x, std::uint32_t y)> height;
    std::uint32_t x, y;
    float expected[5];  // +x, +y, z, -x, -y
  } cases[] = {
      {"flat", [](auto, auto) { return 0.3f; }, 2, 1, {0, 0, 1, 0, 0}},
      {"rising x", [](auto x, auto) { return 0.1f * x; }, 1, 2, {0.2f, 0, s, 0, 0}},
      {"rising x, first column", [](auto x, auto) { return 0.1f * x; }, 0, 2,
       {0.1f, 0, std::sqrt(1.0f - 0.01f), 0, 0}},
      {"falling y", [](auto, auto y) { return 1.0f - 0.1f * y; }, 2, 2, {0, 0, s, 0, 0.2f}},
      {"falling y, last row", [](auto, auto y) { return 1.0f - 0.1f * y; }, 2, 3,
       {0, 0, std::sqrt(1.0f - 0.01f), 0, 0.1f}},
      {"steep in both", [](auto x, auto y) { return 3.0f * (x + y); }, 1, 1, {1, 1, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    FloatTexture2D source;
    FloatTexture2D out[5];
    FloatTexture2DRealloc(source, 2, 2, 2);  // channel 1 is not read
    for (auto& t : out) FloatTexture2DRealloc(t, 1, 2, 2), t.state.dirty = 0;
    for (std::uint32_t i = 0; i < 16; ++i) {
      TexelAddress(source, i % 4, i / 4)[0] = c.height(i % 4, i / 4);
      TexelAddress(source, i % 4, i / 4)[1] = 100.0f;
    }
    ASSERT_EQ(HeightToNormalSplit(source, out[0], out[1], out[2], out[3], out[4]), 1u);
    for (int i = 0; i < 5; ++i) {
      EXPECT_NEAR(*TexelAddress(out[i], c.x, c.y), c.expected[i], 1e-6f) << c.what << " " << i;
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
