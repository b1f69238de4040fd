#include "foundation/png_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/png_test_images.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

using Bytes = std::vector<std::uint8_t>;

class PngReader : public testing::Test {
 protected:
  void SetUp() override {
    for (test::NamedPng& image : test::PngTestImages()) images_[image.name] = image.bytes;
  }

  // Loads the file into `pixels` (empty on failure, when it also checks that no output was
  // touched) and returns the result. The owning form must give the same on the same file.
  std::uint32_t LoadPath(const char* path, Bytes& pixels) {
    std::uint8_t* data = reinterpret_cast<std::uint8_t*>(this);
    w_ = h_ = channels_ = rowBytes_ = 77;
    const std::uint32_t result = LoadPngFile(path, data, w_, h_, channels_, rowBytes_);
    pixels.clear();
    if (result == 1) {
      pixels.assign(data, data + std::size_t{h_} * rowBytes_);
      std::free(data);
    } else {
      EXPECT_EQ(data, reinterpret_cast<std::uint8_t*>(this));
      EXPECT_EQ(w_ + h_ + channels_ + rowBytes_, 4u * 77);
    }
    PngPixels owned;
    std::uint32_t w = 77, h = 77, channels = 77, rowBytes = 77;
    EXPECT_EQ(LoadPngFile(path, owned, w, h, channels, rowBytes), result);
    EXPECT_EQ(owned == nullptr, result == 0);
    if (owned != nullptr) {
      EXPECT_EQ(Bytes(owned.get(), owned.get() + pixels.size()), pixels);
    }
    EXPECT_EQ(w + h + channels + rowBytes, w_ + h_ + channels_ + rowBytes_);
    return result;
  }
  std::uint32_t Load(const Bytes& bytes, Bytes& pixels) {
    return LoadPath(dir_.Write("image.png", bytes).c_str(), pixels);
  }
  std::uint32_t Load(const Bytes& bytes) {
    Bytes pixels;
    return Load(bytes, pixels);
  }

  test::TempDir dir_{"veskor_png"};
  std::map<std::string, Bytes> images_;
  std::uint32_t w_ = 0, h_ = 0, channels_ = 0, rowBytes_ = 0;
};

// Every colour type and depth arrives as 8-bit RGB or RGBA: palettes, grey and low depths
// expanded, 16-bit samples cut to their high byte, transparency chunks made alpha.
TEST_F(PngReader, ExpandsEveryColourTypeToEightBitRgbOrRgba) {
  const auto grey = [](std::size_t i) { return std::uint8_t(i / 3 * 37); };  // RGB of a ramp
  const auto rgb = [](std::size_t i) { return std::uint8_t(i * 11); };
  const auto oneBit = [](std::size_t i) {  // rows 1011000001 and 0100111110
    return std::uint8_t(std::string("10110000010100111110")[i / 3] == '1' ? 255 : 0);
  };
  const auto rgbKeyed = [](std::size_t i) {  // the key colour is the first pixel
    return std::uint8_t(i % 4 < 3 ? (i / 4 * 3 + i % 4) * 11 : i < 4 ? 0 : 255);
  };
  const auto greyKeyed = [](std::size_t i) {  // the key is grey 37, the second pixel
    return std::uint8_t(i % 4 < 3 ? i / 4 * 37 : i / 4 == 1 ? 0 : 255);
  };
  const auto bytes = [](Bytes b) { return [b](std::size_t i) { return b[i]; }; };
  const struct {
    const char* name;
    std::uint32_t width, height, channels;
    std::function<std::uint8_t(std::size_t)> pixel;  // byte i of the decoded rows
  } cases[] = {
      {"palette.png", 4, 2, 3, bytes({255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30,
                                      10, 20, 30, 0, 0, 255, 0, 255, 0, 255, 0, 0})},
      {"palette_trns.png", 4, 2, 4,  // tRNS covers entries 0 and 1
       bytes({255, 0, 0, 0,   0, 255, 0, 128, 0, 0, 255, 255, 10, 20, 30, 255,
              10, 20, 30, 255, 0, 0, 255, 255, 0, 255, 0, 128, 255, 0, 0, 0})},
      {"grey_alpha.png", 2, 2, 4,
       bytes({0, 0, 0, 255, 50, 50, 50, 0, 100, 100, 100, 128, 255, 255, 255, 7})},
      {"rgba16.png", 2, 1, 4, bytes({0x12, 0xAB, 0xFF, 0x00, 0x00, 0x80, 0x7F, 0xFE})},
      {"grey1.png", 10, 2, 3, oneBit},
      {"grey.png", 5, 3, 3, grey},
      {"grey_trns.png", 5, 3, 4, greyKeyed},
      {"rgb.png", 7, 5, 3, rgb},
      {"rgb_interlaced.png", 7, 5, 3, rgb},
      {"rgb_trns.png", 7, 5, 4, rgbKeyed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes pixels;
    ASSERT_EQ(Load(images_[c.name], pixels), 1u);
    EXPECT_TRUE(w_ == c.width && h_ == c.height && channels_ == c.channels);
    ASSERT_EQ(rowBytes_, c.width * c.channels);
    for (std::size_t i = 0; i < pixels.size(); ++i) ASSERT_EQ(pixels[i], c.pixel(i)) << i;
  }
}

TEST_F(PngReader, OnlyAFileGammaIsCorrected) {
  // Pixel 3 is grey 111: shown on a 2.2 screen a gAMA of 1.0 brightens it to
  // 255 * (111/255)^(1/2.2); grey.png, without gAMA, keeps it (see above).
  Bytes linear;
  ASSERT_EQ(Load(images_["grey_gamma.png"], linear), 1u);
  EXPECT_NEAR(linear[9], 175, 1);
  EXPECT_EQ(linear[0], 0);
}

TEST_F(PngReader, RefusesWhatIsNoPngFile) {
  Bytes pixels;
  EXPECT_EQ(LoadPath(nullptr, pixels), 0u);
  EXPECT_EQ(LoadPath(dir_.Path("missing.png").c_str(), pixels), 0u);
  EXPECT_EQ(LoadPath(dir_.path().c_str(), pixels), 0u);  // a directory opens on Linux
  ASSERT_EQ(mkfifo(dir_.Path("fifo.png").c_str(), 0600), 0);
  EXPECT_EQ(LoadPath(dir_.Path("fifo.png").c_str(), pixels), 0u);  // refused, never waited on
  EXPECT_EQ(Load(Bytes{}), 0u);
  Bytes png = images_["rgb.png"];
  png[1] = 'Q';
  EXPECT_EQ(Load(png), 0u);
  EXPECT_EQ(Load(Bytes{0x89, 'P', 'N', 'G'}), 0u);
}

TEST_F(PngReader, EveryTruncationAndDamagedChecksumIsRefused) {
  const Bytes& whole = images_["rgb_interlaced.png"];
  for (std::size_t n = 8; n < whole.size(); ++n)
    ASSERT_EQ(Load(Bytes(whole.begin(), whole.begin() + n)), 0u) << "cut at " << n;
  for (const char* chunk : {"IHDR", "IDAT", "PLTE"}) {
    Bytes png = images_["palette.png"];
    test::CorruptChunkCrc(png, chunk);
    EXPECT_EQ(Load(png), 0u) << chunk;
  }
}

// A complete 1-bit grey image of black pixels (keyed transparent with `keyed`), written by
// hand so that it stays small however large it is: its rows are zero bytes, so its zlib
// stream is one literal 0 and then copies of 258 bytes at distance 1.
Bytes BlackPng(std::uint32_t width, std::uint32_t height, bool keyed) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const auto word = [](Bytes& b, std::uint32_t v) {
    for (int k = 24; k >= 0; k -= 8) b.push_back(static_cast<std::uint8_t>(v >> k));
  };
  const auto chunk = [&](const char* type, const Bytes& data) {
    word(png, static_cast<std::uint32_t>(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    word(png, static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
  };
  Bytes header;
  word(header, width), word(header, height);
  header.insert(header.end(), {1, 0, 0, 0, 0});  // depth 1, grey, not interlaced
  chunk("IHDR", header);
  if (keyed) chunk("tRNS", {0, 0});
  Bytes z = {0x78, 0x01};
  std::uint32_t bits = 0, used = 0;
  const auto code = [&](std::uint32_t c, int n) {  // Huffman codes go most significant bit first
    while (n-- > 0) {
      bits |= ((c >> n) & 1) << used;
      if (++used == 8) z.push_back(static_cast<std::uint8_t>(bits)), bits = used = 0;
    }
  };
  const std::uint64_t raw = std::uint64_t{height} * (1 + (width + 7) / 8);  // filter byte, row
  code(0b110, 3);  // the last block, fixed codes (3 header bits, written least significant first)
  code(0x30, 8);   // literal 0
  std::uint64_t left = raw - 1;
  for (; left >= 258; left -= 258) code(0xC5, 8), code(0, 5);  // length 258, distance 1
  for (; left > 0; --left) code(0x30, 8);
  code(0, 7);  // end of block
  if (used != 0) z.push_back(static_cast<std::uint8_t>(bits));
  word(z, static_cast<std::uint32_t>(raw % 65521) << 16 | 1);  // Adler-32 of zero bytes
  chunk("IDAT", z);
  chunk("IEND", {});
  return png;
}

TEST_F(PngReader, SidesOverTwoToTheSixteenPlusOneAndMoreThanAGigabyteAreRefused) {
  // Complete images, expanded to 3 bytes a pixel: only their size refuses them.
  const struct {
    std::uint32_t width, height, result;
  } cases[] = {
      {65537, 1, 1}, {65538, 1, 0}, {1, 65537, 1}, {1, 65538, 0},
      {65536, 5462, 0},  // 3 x 65536 x 5462 bytes: one row more than 1 GB holds
  };
  for (const auto& c : cases) {
    Bytes pixels;
    ASSERT_EQ(Load(BlackPng(c.width, c.height, false), pixels), c.result)
        << c.width << " x " << c.height;
    EXPECT_EQ(pixels, Bytes(c.result * c.width * c.height * 3, 0));
  }
  // Exactly 1 GB of RGBA (keyed grey) is read.
  PngPixels pixels;
  std::uint32_t w = 0, h = 0, channels = 0, rowBytes = 0;
  const std::string path = dir_.Write("gb.png", BlackPng(16384, 16384, true));
  ASSERT_EQ(LoadPngFile(path.c_str(), pixels, w, h, channels, rowBytes), 1u);
  EXPECT_TRUE(w == 16384 && h == 16384 && channels == 4 && rowBytes == 65536);
  EXPECT_EQ(pixels[(std::size_t{1} << 30) - 1], 0);

  // Sizes larger than the format allows, or within the limits without the data.
  for (const auto& [width, height] : {std::pair{0x7FFFFFFFu, 0x7FFFFFFFu}, {2000u, 2000u}}) {
    Bytes png = images_["rgb.png"];
    test::SetHeaderSize(png, width, height);
    EXPECT_EQ(Load(png), 0u) << width << " x " << height;
  }
}

}  // namespace
}  // namespace veskor
