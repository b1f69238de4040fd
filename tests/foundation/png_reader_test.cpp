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

using test::NamedPng;
using test::PngTestImages;

struct Decoded {
  std::uint32_t result = 0;
  std::uint32_t width = 0, height = 0, channels = 0, rowBytes = 0;
  std::vector<std::uint8_t> pixels;
};

class PngReader : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/veskor_png_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    for (NamedPng& image : PngTestImages()) images_.push_back(std::move(image));
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  const std::vector<std::uint8_t>& Image(const std::string& name) {
    for (const NamedPng& image : images_) {
      if (image.name == name) return image.bytes;
    }
    ADD_FAILURE() << "no test image " << name;
    return images_.front().bytes;
  }

  std::string Write(const std::vector<std::uint8_t>& bytes) {
    const std::string path = dir_ + "/image.png";
    EXPECT_TRUE(test::WriteFileBytes(path, bytes));
    return path;
  }

  // Loads the file; on failure also checks that no output was touched.
  Decoded LoadPath(const char* path) {
    Decoded d;
    std::uint8_t* pixels = reinterpret_cast<std::uint8_t*>(this);
    std::uint32_t w = 77, h = 77, c = 77, r = 77;
    d.result = LoadPngFile(path, pixels, w, h, c, r);
    if (d.result == 1) {
      d.width = w;
      d.height = h;
      d.channels = c;
      d.rowBytes = r;
      d.pixels.assign(pixels, pixels + std::size_t{h} * r);
      std::free(pixels);
    } else {
      EXPECT_EQ(pixels, reinterpret_cast<std::uint8_t*>(this));
      EXPECT_EQ(w + h + c + r, 4u * 77);
    }
    return d;
  }
  Decoded Load(const std::vector<std::uint8_t>& bytes) { return LoadPath(Write(bytes).c_str()); }

  std::string dir_;
  std::vector<NamedPng> images_;
};

TEST_F(PngReader, ExpandsEveryColourTypeToEightBitRgbOrRgba) {
  struct Case {
    const char* name;
    std::uint32_t width, height, channels;
  };
  const Case cases[] = {
      {"palette.png", 4, 2, 3},  {"palette_trns.png", 4, 2, 4}, {"grey.png", 5, 3, 3},
      {"grey_alpha.png", 2, 2, 4}, {"rgba16.png", 2, 1, 4},     {"grey1.png", 10, 2, 3},
      {"rgb.png", 7, 5, 3},      {"rgb_interlaced.png", 7, 5, 3}, {"rgb_trns.png", 7, 5, 4},
      {"grey_gamma.png", 5, 3, 3}, {"grey_trns.png", 5, 3, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Load(Image(c.name));
    ASSERT_EQ(d.result, 1u);
    EXPECT_EQ(d.width, c.width);
    EXPECT_EQ(d.height, c.height);
    EXPECT_EQ(d.channels, c.channels);
    EXPECT_EQ(d.rowBytes, c.width * c.channels);
  }
}

TEST_F(PngReader, PaletteEntriesBecomeColoursAndTransparencyAlpha) {
  const Decoded plain = Load(Image("palette.png"));
  ASSERT_EQ(plain.result, 1u);
  const std::vector<std::uint8_t> rgb = {255, 0, 0,   0, 255, 0,  0, 0, 255,  10, 20, 30,
                                         10, 20, 30,  0, 0, 255,  0, 255, 0,  255, 0, 0};
  EXPECT_EQ(plain.pixels, rgb);

  const Decoded alpha = Load(Image("palette_trns.png"));
  ASSERT_EQ(alpha.result, 1u);
  // tRNS covers entries 0 and 1; the others are opaque.
  const std::vector<std::uint8_t> rgba = {
      255, 0, 0, 0,      0, 255, 0, 128,  0, 0, 255, 255,  10, 20, 30, 255,
      10, 20, 30, 255,   0, 0, 255, 255,  0, 255, 0, 128,  255, 0, 0, 0};
  EXPECT_EQ(alpha.pixels, rgba);
}

TEST_F(PngReader, GreyBecomesRgbAndColourKeysBecomeAlpha) {
  const Decoded grey = Load(Image("grey.png"));
  ASSERT_EQ(grey.result, 1u);
  const Decoded keyed = Load(Image("grey_trns.png"));
  ASSERT_EQ(keyed.result, 1u);
  for (std::uint32_t i = 0; i < 15; ++i) {
    const std::uint8_t v = static_cast<std::uint8_t>(i * 37);
    EXPECT_EQ(grey.pixels[3 * i], v);
    EXPECT_EQ(grey.pixels[3 * i + 1], v);
    EXPECT_EQ(grey.pixels[3 * i + 2], v);
    EXPECT_EQ(keyed.pixels[4 * i], v);
    EXPECT_EQ(keyed.pixels[4 * i + 3], v == 37 ? 0 : 255) << i;
  }

  const Decoded greyAlpha = Load(Image("grey_alpha.png"));
  ASSERT_EQ(greyAlpha.result, 1u);
  const std::vector<std::uint8_t> expected = {0,   0,   0,   255, 50,  50,  50,  0,
                                              100, 100, 100, 128, 255, 255, 255, 7};
  EXPECT_EQ(greyAlpha.pixels, expected);

  const Decoded rgbKey = Load(Image("rgb_trns.png"));
  ASSERT_EQ(rgbKey.result, 1u);
  EXPECT_EQ(rgbKey.pixels[3], 0);  // the key colour (0, 11, 22)
  for (std::uint32_t i = 1; i < 35; ++i) EXPECT_EQ(rgbKey.pixels[4 * i + 3], 255) << i;
}

TEST_F(PngReader, SixteenBitSamplesKeepTheirHighByte) {
  const Decoded d = Load(Image("rgba16.png"));
  ASSERT_EQ(d.result, 1u);
  const std::vector<std::uint8_t> expected = {0x12, 0xAB, 0xFF, 0x00, 0x00, 0x80, 0x7F, 0xFE};
  EXPECT_EQ(d.pixels, expected);
}

TEST_F(PngReader, OneBitGreyGivesZeroAnd255) {
  const Decoded d = Load(Image("grey1.png"));
  ASSERT_EQ(d.result, 1u);
  const char* rows[] = {"1011000001", "0100111110"};
  for (std::uint32_t y = 0; y < 2; ++y) {
    for (std::uint32_t x = 0; x < 10; ++x) {
      const std::uint8_t v = rows[y][x] == '1' ? 255 : 0;
      for (std::uint32_t c = 0; c < 3; ++c) {
        EXPECT_EQ(d.pixels[y * d.rowBytes + 3 * x + c], v) << x << "," << y;
      }
    }
  }
}

TEST_F(PngReader, InterlacedFileGivesTheSamePixels) {
  const Decoded plain = Load(Image("rgb.png"));
  const Decoded interlaced = Load(Image("rgb_interlaced.png"));
  ASSERT_EQ(plain.result, 1u);
  ASSERT_EQ(interlaced.result, 1u);
  EXPECT_EQ(interlaced.pixels, plain.pixels);
  EXPECT_EQ(plain.pixels[3 * 8 + 1], static_cast<std::uint8_t>((3 * 8 + 1) * 11));
}

TEST_F(PngReader, OnlyAFileGammaIsCorrected) {
  const Decoded plain = Load(Image("grey.png"));
  const Decoded linear = Load(Image("grey_gamma.png"));  // gAMA 1.0, screen 2.2
  ASSERT_EQ(plain.result, 1u);
  ASSERT_EQ(linear.result, 1u);
  // Pixel 3 is grey 111: shown on a 2.2 screen it brightens to 255 * (111/255)^(1/2.2).
  EXPECT_EQ(plain.pixels[9], 111);
  EXPECT_NEAR(linear.pixels[9], 175, 1);
  EXPECT_EQ(linear.pixels[0], 0);
}

TEST_F(PngReader, RefusesWhatIsNoPngFile) {
  EXPECT_EQ(LoadPath(nullptr).result, 0u);
  EXPECT_EQ(LoadPath((dir_ + "/missing.png").c_str()).result, 0u);
  EXPECT_EQ(LoadPath(dir_.c_str()).result, 0u);  // a directory opens on Linux
  EXPECT_EQ(Load({}).result, 0u);
  std::vector<std::uint8_t> png = Image("rgb.png");
  png[1] = 'Q';
  EXPECT_EQ(Load(png).result, 0u);
  EXPECT_EQ(Load({0x89, 'P', 'N', 'G'}).result, 0u);
}

TEST_F(PngReader, EveryTruncationIsRefused) {
  const std::vector<std::uint8_t> whole = Image("rgb_interlaced.png");
  for (std::size_t n = 8; n < whole.size(); ++n) {
    const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + n);
    ASSERT_EQ(Load(cut).result, 0u) << "cut at " << n << " of " << whole.size();
  }
}

TEST_F(PngReader, DamagedChecksumsAreRefused) {
  for (const char* chunk : {"IHDR", "IDAT", "PLTE"}) {
    SCOPED_TRACE(chunk);
    std::vector<std::uint8_t> png = Image("palette.png");
    test::CorruptChunkCrc(png, chunk);
    EXPECT_EQ(Load(png).result, 0u);
  }
}

TEST_F(PngReader, AbsurdDeclaredSizesAreRefusedBeforeDecoding) {
  struct Case {
    const char* image;
    std::uint32_t width, height;
  };
  const Case cases[] = {
      {"rgb.png", 0x7FFFFFFF, 0x7FFFFFFF},  // the largest size the format allows
      {"rgb.png", kPngMaxSide + 1, 1},      // a side over the limit
      {"rgb.png", 1, kPngMaxSide + 1},
      {"palette_trns.png", 16385, 16385},   // sides allowed, decoded bytes over the limit
      {"rgb.png", 40000, 40000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    std::vector<std::uint8_t> png = Image(c.image);
    test::SetHeaderSize(png, c.width, c.height);
    EXPECT_EQ(Load(png).result, 0u);
  }
  // A size within the limits but with too little data is a truncated file.
  std::vector<std::uint8_t> png = Image("rgb.png");
  test::SetHeaderSize(png, 2000, 2000);
  EXPECT_EQ(Load(png).result, 0u);
}

}  // namespace
}  // namespace veskor
