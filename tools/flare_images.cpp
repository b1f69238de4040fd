// Draws the grey images of the sun effects as PNG files in <image dir>:
//   lens0.png  the soft glare around the sun
//   lens1.png  a halo of spokes, which shows the element's turning
//   lens2.png  a soft ring, the elements of the flare chain
//   CRay.png   the streak of a light shaft: s runs across the shaft, t (the file's rows from
//              the top) along the light; it fades along t and towards both s edges
//
//   make_flare_images <image dir>
//
// Every side is a power of two, so the textures hold just the picture, and every picture is
// black at its border, so the quads that carry them show no edge. The program loads them as
// one-channel images and draws them additively.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "canvas.h"

namespace veskor::tools {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Level 0..1 at (x, y) in [-1, 1]^2 (a round picture) or [0, 1]^2 (the streak).
using Level = std::function<double(double x, double y)>;

// 1 at the centre down to 0 at radius 1, smoothly.
double Rim(double r) { return r >= 1.0 ? 0.0 : (1.0 - r * r) * (1.0 - r * r); }
// 1 up to radius 0.85, then smoothly down to 0 at radius 1.
double Edge(double r) {
  const double u = std::clamp((r - 0.85) / 0.15, 0.0, 1.0);
  return 1.0 - u * u * (3.0 - 2.0 * u);
}

void WriteGrey(const std::string& path, std::uint32_t width, std::uint32_t height, bool centred,
               const Level& level) {
  std::vector<std::uint8_t> bytes(std::size_t{width} * height);
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x) {
      double u = (x + 0.5) / width, v = (y + 0.5) / height;
      if (centred) u = 2.0 * u - 1.0, v = 2.0 * v - 1.0;
      const double value = std::clamp(level(u, v), 0.0, 1.0);
      bytes[std::size_t{y} * width + x] = static_cast<std::uint8_t>(std::lround(value * 255.0));
    }
  WritePng(path, width, height, 1, bytes);
}

double Glare(double x, double y) {
  const double r = std::hypot(x, y);
  return (0.75 * std::exp(-r * r / 0.05) + 0.35 * std::exp(-r / 0.25)) * Rim(r) * 1.2;
}

double Halo(double x, double y) {
  const double r = std::hypot(x, y), phi = std::atan2(y, x);
  const double ring = std::exp(-std::pow((r - 0.72) / 0.09, 2.0));
  const double spokes = std::pow(0.5 + 0.5 * std::cos(12.0 * phi), 6.0);
  // A brighter sector breaks the halo's symmetry, so a turn shows at any angle.
  const double sector = 0.55 + 0.45 * std::cos(phi - 0.6);
  return (ring * sector + 0.5 * spokes * std::exp(-r / 0.6)) * Edge(r);
}

double SoftRing(double x, double y) {
  const double r = std::hypot(x, y);
  return (std::exp(-std::pow((r - 0.74) / 0.1, 2.0)) + 0.18 * (1.0 - r)) * Edge(r);
}

double Streak(double s, double t) {
  const double across = std::pow(std::sin(kPi * s), 2.0);
  const double fibres = 0.7 + 0.3 * std::cos(2.0 * kPi * 3.0 * s) * std::cos(2.0 * kPi * 5.0 * s);
  const double along = std::pow(1.0 - t, 1.6);
  return across * fibres * along;
}

}  // namespace
}  // namespace veskor::tools

int main(int argc, char** argv) {
  using namespace veskor::tools;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_flare_images <image dir>\n");
    return 2;
  }
  std::string dir = argv[1];
  if (dir.back() != '/') dir += '/';
  MakeDirectories(dir);
  WriteGrey(dir + "lens0.png", 128, 128, true, Glare);
  WriteGrey(dir + "lens1.png", 128, 128, true, Halo);
  WriteGrey(dir + "lens2.png", 64, 64, true, SoftRing);
  WriteGrey(dir + "CRay.png", 64, 256, false, Streak);
  return 0;
}
