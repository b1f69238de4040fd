#include "foundation/png_reader.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "png_test_images.h"

namespace veskor {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Decoded {
  std::uint32_t result = 0, width = 0, height = 0, channels = 0, rowBytes = 0;
  Bytes pixels;
};

class PngReader : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/veskor_png_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    images_ = test::PngTestImages();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  const Bytes& Image(const std::string& name) {
    for (const test::NamedPng& image : images_)
      if (image.name == name) return image.bytes;
    ADD_FAILURE() << "no test image " << name;
    return images_.front().bytes;
  }

  // Loads the file; on failure also checks that no output was touched.
  Decoded LoadPath(const char* path) {
    Decoded d;
    std::uint8_t* pixels = reinterpret_cast<std::uint8_t*>(this);
    std::uint32_t w = 77, h = 77, c = 77, r = 77;
    d.result = LoadPngFile(path, pixels, w, h, c, r);
    if (d.result == 1) {
      d = {1, w, h, c, r, Bytes(pixels, pixels + std::size_t{h} * r)};
      std::free(pixels);
    } else {
      EXPECT_EQ(pixels, reinterpret_cast<std::uint8_t*>(this));
      EXPECT_EQ(w + h + c + r, 4u * 77);
    }
    return d;
  }
  Decoded Load(const Bytes& bytes) {
    const std::string path = dir_ + "/image.png";
    EXPECT_TRUE(test::WriteFileBytes(path, bytes));
    return LoadPath(path.c_str());
  }
  Decoded Load(const std::string& name) { return Load(Image(name)); }

  std::string dir_;
  std::vector<test::NamedPng> images_;
};

TEST_F(PngReader, ExpandsEveryColourTypeToEightBitRgbOrRgba) {
  const struct {
    const char* name;
    std::uint32_t width, height, channels;
  } cases[] = {
      {"palette.png", 4, 2, 3}, {"palette_trns.png", 4, 2, 4},   {"grey.png", 5, 3, 3},
      {"grey_alpha.png", 2, 2, 4}, {"rgba16.png", 2, 1, 4},      {"grey1.png", 10, 2, 3},
      {"rgb.png", 7, 5, 3},     {"rgb_interlaced.png", 7, 5, 3}, {"rgb_trns.png", 7, 5, 4},
      {"grey_gamma.png", 5, 3, 3}, {"grey_trns.png", 5, 3, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Load(c.name);
    ASSERT_EQ(d.result, 1u);
    EXPECT_TRUE(d.width == c.width && d.height == c.height && d.channels == c.channels);
    EXPECT_EQ(d.rowBytes, c.width * c.channels);
  }
}

TEST_F(PngReader, PalettesGreyAlphaAndSixteenBitSamplesExpand) {
  // tRNS covers palette entries 0 and 1; the others are opaque. 16-bit samples keep their
  // high byte.
  const std::pair<const char*, Bytes> cases[] = {
      {"palette.png", {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30,
                       10, 20, 30, 0, 0, 255, 0, 255, 0, 255, 0, 0}},
      {"palette_trns.png", {255, 0, 0, 0,     0, 255, 0, 128, 0, 0, 255, 255, 10, 20, 30, 255,
                            10, 20, 30, 255,  0, 0, 255, 255, 0, 255, 0, 128, 255, 0, 0, 0}},
      {"grey_alpha.png", {0, 0, 0, 255, 50, 50, 50, 0, 100, 100, 100, 128, 255, 255, 255, 7}},
      {"rgba16.png", {0x12, 0xAB, 0xFF, 0x00, 0x00, 0x80, 0x7F, 0xFE}},
  };
  for (const auto& [name, pixels] : cases) EXPECT_EQ(Load(name).pixels, pixels) << name;
}

TEST_F(PngReader, GreyBecomesRgbAndColourKeysBecomeAlpha) {
  const Decoded grey = Load("grey.png"), keyed = Load("grey_trns.png");
  for (std::uint32_t i = 0; i < 15; ++i) {
    const std::uint8_t v = static_cast<std::uint8_t>(i * 37);
    EXPECT_EQ(Bytes(grey.pixels.begin() + 3 * i, grey.pixels.begin() + 3 * i + 3), Bytes(3, v));
    EXPECT_EQ(keyed.pixels[4 * i], v);
    EXPECT_EQ(keyed.pixels[4 * i + 3], v == 37 ? 0 : 255) << i;
  }
  const Decoded rgbKey = Load("rgb_trns.png");
  for (std::uint32_t i = 0; i < 35; ++i)  // the key colour (0, 11, 22) is the first pixel
    EXPECT_EQ(rgbKey.pixels[4 * i + 3], i == 0 ? 0 : 255) << i;
}

TEST_F(PngReader, OneBitGreyGivesZeroAnd255) {
  const Decoded d = Load("grey1.png");
  const char* rows[] = {"1011000001", "0100111110"};
  for (std::uint32_t y = 0; y < 2; ++y)
    for (std::uint32_t x = 0; x < 10; ++x)
      for (std::uint32_t c = 0; c < 3; ++c)
        EXPECT_EQ(d.pixels[y * d.rowBytes + 3 * x + c], rows[y][x] == '1' ? 255 : 0) << x << y;
}

TEST_F(PngReader, InterlacedFileGivesTheSamePixelsAndOnlyAFileGammaIsCorrected) {
  const Decoded plain = Load("rgb.png");
  EXPECT_EQ(Load("rgb_interlaced.png").pixels, plain.pixels);
  EXPECT_EQ(plain.pixels[3 * 8 + 1], static_cast<std::uint8_t>((3 * 8 + 1) * 11));
  // Pixel 3 is grey 111: shown on a 2.2 screen a gAMA of 1.0 brightens it to
  // 255 * (111/255)^(1/2.2).
  const Decoded grey = Load("grey.png"), linear = Load("grey_gamma.png");
  EXPECT_EQ(grey.pixels[9], 111);
  EXPECT_NEAR(linear.pixels[9], 175, 1);
  EXPECT_EQ(linear.pixels[0], 0);
}

TEST_F(PngReader, RefusesWhatIsNoPngFile) {
  EXPECT_EQ(LoadPath(nullptr).result, 0u);
  EXPECT_EQ(LoadPath((dir_ + "/missing.png").c_str()).result, 0u);
  EXPECT_EQ(LoadPath(dir_.c_str()).result, 0u);  // a directory opens on Linux
  EXPECT_EQ(Load(Bytes{}).result, 0u);
  Bytes png = Image("rgb.png");
  png[1] = 'Q';
  EXPECT_EQ(Load(png).result, 0u);
  EXPECT_EQ(Load(Bytes{0x89, 'P', 'N', 'G'}).result, 0u);
}

TEST_F(PngReader, EveryTruncationAndDamagedChecksumIsRefused) {
  const Bytes whole = Image("rgb_interlaced.png");
  for (std::size_t n = 8; n < whole.size(); ++n)
    ASSERT_EQ(Load(Bytes(whole.begin(), whole.begin() + n)).result, 0u) << "cut at " << n;
  for (const char* chunk : {"IHDR", "IDAT", "PLTE"}) {
    Bytes png = Image("palette.png");
    test::CorruptChunkCrc(png, chunk);
    EXPECT_EQ(Load(png).result, 0u) << chunk;
  }
}

TEST_F(PngReader, AbsurdDeclaredSizesAreRefusedBeforeDecoding) {
  const struct {
    const char* image;
    std::uint32_t width, height;
  } cases[] = {
      {"rgb.png", 0x7FFFFFFF, 0x7FFFFFFF},  // the largest size the format allows
      {"rgb.png", kPngMaxSide + 1, 1},      // a side over the limit
      {"rgb.png", 1, kPngMaxSide + 1},
      {"palette_trns.png", 16385, 16385},   // sides allowed, decoded bytes over the limit
      {"rgb.png", 40000, 40000},
      {"rgb.png", 2000, 2000},              // within the limits, too little data
  };
  for (const auto& c : cases) {
    Bytes png = Image(c.image);
    test::SetHeaderSize(png, c.width, c.height);
    EXPECT_EQ(Load(png).result, 0u) << c.width << " x " << c.height;
  }
}

}  // namespace
}  // namespace veskor
