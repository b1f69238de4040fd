// Draws "contour.png", the stripes of the height-contour display of the main view.
//
//   make_contour_image <image dir>
//
// The renderer wraps the image over the objects with t = height / 100 along its rows (the
// file's top row is t = 0) and s = 0 always, so one picture's height stands for 100 units of
// height and all its columns are alike. Over a pale ground it draws a thin contour line every
// 12.5 units and a stronger one at every multiple of 100, on the seam, so the stripes repeat
// without a break. RGB, 8 x 256 pixels (powers of two, so the texture holds just the picture).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "canvas.h"

namespace {

constexpr std::uint32_t kWidth = 8, kHeight = 256;
constexpr double kMinorRows = kHeight / 8.0;  // a line every 12.5 units

// Coverage of a line `width` rows wide centred `distance` rows away, anti-aliased.
double LineCover(double distance, double width) {
  return std::clamp(width / 2 + 0.5 - distance, 0.0, 1.0);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace veskor::tools;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_contour_image <image dir>\n");
    return 2;
  }
  const std::string dir = argv[1];
  MakeDirectories(dir);
  const Rgb ground = Rgb8(236, 230, 212), minor = Rgb8(150, 128, 100), major = Rgb8(90, 60, 40);
  std::vector<std::uint8_t> bytes(std::size_t{kWidth} * kHeight * 3);
  for (std::uint32_t y = 0; y < kHeight; ++y) {
    const double centre = y + 0.5;
    // Distance to the nearest line, the seam (row 0 = row kHeight) included.
    const double toMinor = std::fabs(centre - kMinorRows * std::round(centre / kMinorRows));
    const double toMajor = std::min(centre, kHeight - centre);
    Rgb c = Mix(ground, minor, static_cast<float>(LineCover(toMinor, 1.5)));
    c = Mix(c, major, static_cast<float>(LineCover(toMajor, 3.0)));
    for (std::uint32_t x = 0; x < kWidth; ++x) {
      std::uint8_t* p = &bytes[(std::size_t{y} * kWidth + x) * 3];
      p[0] = static_cast<std::uint8_t>(std::lround(c.r * 255));
      p[1] = static_cast<std::uint8_t>(std::lround(c.g * 255));
      p[2] = static_cast<std::uint8_t>(std::lround(c.b * 255));
    }
  }
  WritePng(dir + "/contour.png", kWidth, kHeight, 3, bytes);
  return 0;
}
