// Writes the window icon, "wld Final.ico": one 16 x 16 picture of 32 bits a pixel (blue, green,
// red, alpha), a hill under a sun.
//
//   make_window_icon <icon file>
//
// The icon file: a 6-byte directory (0, type 1, one entry), a 16-byte entry (16 x 16, no
// palette, 1 plane, 32 bits, the image's length and offset 22), then the image as a bitmap:
// a 40-byte header whose height counts the colour rows and the mask rows (32), the colour rows
// bottom up, then the 1-bit transparency mask, rows bottom up padded to 4 bytes (set where the
// pixel is transparent, for readers that ignore the alpha).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "canvas.h"

namespace veskor::tools {
namespace {

constexpr std::uint32_t kSide = 16;
constexpr std::uint32_t kColourBytes = kSide * kSide * 4;
constexpr std::uint32_t kMaskBytes = kSide * 4;  // 2 bytes of bits a row, padded to 4
constexpr std::uint32_t kImageBytes = 40 + kColourBytes + kMaskBytes;
constexpr std::uint32_t kImageOffset = 6 + 16;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

Canvas Picture() {
  Canvas c(kSide, kSide, Rgb8(40, 60, 120));
  c.Paint(RoundRect(0.5f, 0.5f, 15.5f, 15.5f, 3), [](float, float y) {
    return Mix(Rgb8(40, 64, 140), Rgb8(236, 168, 112), std::clamp(y / 12, 0.f, 1.f));
  });
  c.Paint(Disc(10.5f, 5.5f, 2.6f), Rgb8(255, 236, 180));
  c.Paint(Intersect(Polygon({0, 16, 0, 11, 5, 5.5f, 9, 10, 11.5f, 8, 16, 12, 16, 16}),
                    RoundRect(0.5f, 0.5f, 15.5f, 15.5f, 3)),
          Rgb8(46, 58, 84));
  return c;
}

std::uint8_t Byte(float v) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

}  // namespace
}  // namespace veskor::tools

int main(int argc, char** argv) {
  using namespace veskor::tools;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_window_icon <icon file>\n");
    return 2;
  }
  const Canvas c = Picture();
  std::vector<std::uint8_t> out;
  Put16(out, 0);  // directory
  Put16(out, 1);
  Put16(out, 1);
  out.push_back(kSide);  // entry
  out.push_back(kSide);
  out.push_back(0);
  out.push_back(0);
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, kImageBytes);
  Put32(out, kImageOffset);
  Put32(out, 40);  // bitmap header
  Put32(out, kSide);
  Put32(out, kSide * 2);
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, 0);
  Put32(out, kColourBytes + kMaskBytes);
  for (int i = 0; i < 4; ++i) Put32(out, 0);
  for (std::uint32_t row = kSide; row-- > 0;)
    for (std::uint32_t x = 0; x < kSide; ++x) {
      const Rgb p = c.Colour(x, row);
      out.insert(out.end(), {Byte(p.b), Byte(p.g), Byte(p.r), Byte(c.Opacity(x, row))});
    }
  for (std::uint32_t row = kSide; row-- > 0;) {
    std::uint32_t bits = 0;
    for (std::uint32_t x = 0; x < kSide; ++x)
      if (Byte(c.Opacity(x, row)) == 0) bits |= 0x8000u >> x;
    out.insert(out.end(), {static_cast<std::uint8_t>(bits >> 8),
                           static_cast<std::uint8_t>(bits & 0xFF), 0, 0});
  }
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr || std::fwrite(out.data(), 1, out.size(), file) != out.size() ||
      std::fclose(file) != 0)
    ToolFail(std::string("cannot write ") + argv[1]);
  return 0;
}
