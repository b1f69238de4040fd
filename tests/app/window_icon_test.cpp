#include "app/window_icon.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "support/png_test_images.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

struct Entry {
  std::uint8_t width, height;
  Bytes image;
};

// An icon file: the directory, its entries, the images one after another.
Bytes Icon(const std::vector<Entry>& entries) {
  Bytes b;
  Put(b, 0, 2);
  Put(b, 1, 2);
  Put(b, static_cast<std::uint32_t>(entries.size()), 2);
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(entries.size());
  for (const Entry& e : entries) {
    b.insert(b.end(), {e.width, e.height, 0, 0});
    Put(b, 1, 2);
    Put(b, 32, 2);
    Put(b, static_cast<std::uint32_t>(e.image.size()), 4);
    Put(b, offset, 4);
    offset += static_cast<std::uint32_t>(e.image.size());
  }
  for (const Entry& e : entries) b.insert(b.end(), e.image.begin(), e.image.end());
  return b;
}

// A 16 x 16 bitmap of `bits` a pixel: pixel(x, y) gives the stored value (BGRA packed, or a
// palette index), y from the top; `mask` marks transparent pixels.
Bytes Bitmap(int bits, const std::function<std::uint32_t(int, int)>& pixel,
             const std::function<bool(int, int)>& mask, std::uint32_t colours = 0,
             std::uint32_t height = 32) {
  Bytes b;
  Put(b, 40, 4);
  Put(b, 16, 4);
  Put(b, height, 4);
  Put(b, 1, 2);
  Put(b, static_cast<std::uint32_t>(bits), 2);
  Put(b, 0, 4);
  Put(b, 0, 4);
  Put(b, 0, 4);
  Put(b, 0, 4);
  Put(b, colours, 4);
  Put(b, 0, 4);
  const std::uint32_t used = bits <= 8 ? (colours != 0 ? colours : 1u << bits) : 0;
  for (std::uint32_t i = 0; i < used; ++i) Put(b, 0x00102030 + i * 0x010101, 4);  // B G R
  const int rowBytes = (16 * bits + 31) / 32 * 4;
  for (int y = 15; y >= 0; --y) {
    Bytes row(static_cast<std::size_t>(rowBytes), 0);
    for (int x = 0; x < 16; ++x) {
      const std::uint32_t v = pixel(x, y);
      if (bits >= 24) {
        for (int c = 0; c < bits / 8; ++c) row[x * bits / 8 + c] = static_cast<std::uint8_t>(v >> (8 * c));
      } else {
        row[x * bits / 8] |= static_cast<std::uint8_t>(v << (8 - bits - x * bits % 8));
      }
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  for (int y = 15; y >= 0; --y) {
    std::uint32_t bitsRow = 0;
    for (int x = 0; x < 16; ++x)
      if (mask(x, y)) bitsRow |= 0x8000u >> x;
    b.insert(b.end(), {static_cast<std::uint8_t>(bitsRow >> 8),
                       static_cast<std::uint8_t>(bitsRow & 0xFF), 0, 0});
  }
  return b;
}

std::string Pixel(const WindowIcon& icon, int x, int y) {
  const std::uint8_t* p = icon.rgba + (y * 16 + x) * 4;
  return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) + "," +
         std::to_string(p[3]);
}

const auto kNoMask = [](int, int) { return false; };
const auto kCornerMask = [](int x, int y) { return x == 0 && y == 0; };

TEST(WindowIcon, ReadsTheSixteenPixelImageOfEachKind) {
  // BGRA 0xAARRGGBB values: red from x, green from y.
  const auto bgra = [](int x, int y) {
    return static_cast<std::uint32_t>((x == 1 ? 0u : 200u) << 24 | x * 16 << 16 | y * 16 << 8 | 7);
  };
  const Bytes png = test::EncodePng(16, 16, 4, [](std::uint32_t x, std::uint32_t y,
                                                   std::uint32_t c) {
    return static_cast<std::uint8_t>(c == 0 ? x * 16 : c == 1 ? y * 16 : c == 2 ? 9 : 255 - x);
  });
  const struct {
    Bytes file;
    std::string at10, at0f, at00;  // pixels (1, 0), (0, 15), (0, 0)
  } cases[] = {
      {Icon({{16, 16, Bitmap(32, bgra, kCornerMask)}}), "16,0,7,0", "0,240,7,200", "0,0,7,200"},
      {Icon({{16, 16, Bitmap(32, [](int, int) { return 0x000000FFu; }, kCornerMask)}}),
       "0,0,255,255", "0,0,255,255", "0,0,255,0"},  // no alpha at all: the mask rules
      {Icon({{16, 16, Bitmap(24, bgra, kCornerMask)}}), "16,0,7,255", "0,240,7,255", "0,0,7,0"},
      {Icon({{16, 16, Bitmap(8, [](int x, int) { return x < 8 ? 0u : 2u; }, kCornerMask, 3)}}),
       "16,32,48,255", "16,32,48,255", "16,32,48,0"},
      {Icon({{16, 16, Bitmap(4, [](int x, int) { return static_cast<std::uint32_t>(x); }, kNoMask)}}),
       "17,33,49,255", "16,32,48,255", "16,32,48,255"},
      {Icon({{16, 16, Bitmap(1, [](int x, int y) { return (x + y) % 2u; }, kNoMask)}}),
       "17,33,49,255", "17,33,49,255", "16,32,48,255"},
      {Icon({{16, 16, png}}), "16,0,9,254", "0,240,9,255", "0,0,9,255"},
      {Icon({{32, 32, Bitmap(32, [](int, int) { return 0u; }, kNoMask)},
             {16, 16, Bitmap(24, bgra, kNoMask)}}),
       "16,0,7,255", "0,240,7,255", "0,0,7,255"},  // the 16 x 16 entry, not the first
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    WindowIcon icon{};
    ASSERT_EQ(ParseWindowIcon(cases[i].file.data(), cases[i].file.size(), &icon), 1u) << i;
    EXPECT_EQ(Pixel(icon, 1, 0) + " " + Pixel(icon, 0, 15) + " " + Pixel(icon, 0, 0),
              cases[i].at10 + " " + cases[i].at0f + " " + cases[i].at00)
        << i;
  }
}

TEST(WindowIcon, CountsSizesAndOffsetsAreCheckedAgainstTheFile) {
  const Bytes good = Icon({{16, 16, Bitmap(8, [](int, int) { return 1u; }, kNoMask, 2)}});
  auto with = [&](std::size_t at, std::uint32_t value, int bytes) {
    Bytes b = good;
    for (int i = 0; i < bytes; ++i) b.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (8 * i));
    return b;
  };
  const std::uint32_t imageBytes = static_cast<std::uint32_t>(good.size() - 22);
  const Bytes png32 = Icon({{16, 16, test::EncodePng(32, 32, 3, [](auto, auto, auto) {
                               return std::uint8_t{1};
                             })}});
  const struct {
    Bytes file;
    std::uint32_t read;
    const char* what;
  } cases[] = {
      {good, 1, "as written"},
      {Bytes(good.begin(), good.begin() + 5), 0, "no directory"},
      {with(2, 2, 2), 0, "a cursor file"},
      {with(4, 24, 2), 1, "24 entries: the directory fills the file"},
      {with(4, 25, 2), 0, "25 entries: past the end"},
      {with(4, 0, 2), 0, "no entry"},
      {with(6, 32, 1), 0, "no 16 x 16 entry"},
      {with(14, imageBytes + 1, 4), 0, "image past the end"},
      {with(18, 23, 4), 0, "image moved past the end"},
      {with(18, 0xFFFFFFFF, 4), 0, "offset past the end"},
      {with(14, imageBytes - 1, 4), 0, "mask cut by one byte"},
      {[&] { Bytes b = good; Put(b, 0, 4); return b; }(), 1, "bytes after the image"},
      {with(22, 1000, 4), 0, "header past the image"},
      {with(22 + 8, 16, 4), 0, "height without the mask"},
      {with(22 + 14, 16, 2), 0, "16 bits a pixel"},
      {with(22 + 16, 1, 4), 0, "compressed"},
      {with(22 + 32, 1, 4), 0, "pixels index past the palette"},
      {with(22 + 32, 257, 4), 0, "palette larger than 8 bits"},
      {png32, 0, "PNG of 32 x 32"},
  };
  for (const auto& c : cases) {
    WindowIcon icon{};
    EXPECT_EQ(ParseWindowIcon(c.file.data(), c.file.size(), &icon), c.read) << c.what;
  }
  test::TempDir dir("veskor_icon");
  WindowIcon icon{};
  EXPECT_EQ(ReadWindowIcon(dir.Write("a.ico", good).c_str(), &icon), 1u);
  EXPECT_EQ(ReadWindowIcon(dir.Path("none.ico").c_str(), &icon), 0u);
  ASSERT_EQ(mkfifo(dir.Path("fifo.ico").c_str(), 0600), 0);
  EXPECT_EQ(ReadWindowIcon(dir.Path("fifo.ico").c_str(), &icon), 0u);  // never waited on
}

}  // namespace
}  // namespace veskor
