// Makes the data that the sample worlds of examples/ name: height-field layers, surface
// images, a moon with its mask, and the sounds of their banks.
//
//   make_world_data <resource dir>
//
// Images go to <resource dir>/Img/, sounds to <resource dir>/Snd/, where the program finds
// them along its search directories. Layers are grey images of 2^n + 1 pixels a side (the
// nodes of a height raster); the surface images RGB of 2^n pixels a side; the moon is drawn
// inside its picture with a mask of the same size, white where the disc is. Sounds are
// 22050 Hz mono, the long ones shaped to loop. Everything comes from fixed hash noise and a
// fixed generator, and the Vorbis streams have fixed serials, so every run writes the same
// bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "canvas.h"
#include "ogg_vorbis.h"

namespace veskor::tools {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 22050;

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
double SmoothStep(double e0, double e1, double x) {
  const double t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// ---- Noise ------------------------------------------------------------------------------

// A lattice value in [0, 1) from integer coordinates and a seed.
double Hash(std::int64_t x, std::int64_t y, std::uint32_t seed) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u +
                    static_cast<std::uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return h / 4294967296.0;
}

// Smooth value noise in [0, 1) that repeats every `period` lattice cells on both axes.
double ValueNoise(double x, double y, std::int64_t period, std::uint32_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const double tx = x - fx, ty = y - fy;
  const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
  auto at = [&](std::int64_t i, std::int64_t j) {
    return Hash(((i % period) + period) % period, ((j % period) + period) % period, seed);
  };
  const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
  const double a = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * sx;
  const double b = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * sx;
  return a + (b - a) * sy;
}

// Octaves of value noise over the unit square (u, v in [0, 1]), `cells` lattice cells at the
// first octave, each octave twice as fine and half as strong; in [0, 1], tiling.
double Fbm(double u, double v, int cells, int octaves, std::uint32_t seed) {
  double sum = 0, weight = 0, amplitude = 1;
  for (int k = 0; k < octaves; ++k) {
    const std::int64_t n = std::int64_t{cells} << k;
    sum += amplitude * ValueNoise(u * n, v * n, n, seed + 101u * k);
    weight += amplitude;
    amplitude *= 0.5;
  }
  return sum / weight;
}

// Ridges: octaves of folded noise, sharp crests where the noise crosses its middle.
double Ridged(double u, double v, int cells, int octaves, std::uint32_t seed) {
  double sum = 0, weight = 0, amplitude = 1;
  for (int k = 0; k < octaves; ++k) {
    const std::int64_t n = std::int64_t{cells} << k;
    const double r = 1 - std::fabs(2 * ValueNoise(u * n, v * n, n, seed + 131u * k) - 1);
    sum += amplitude * r * r;
    weight += amplitude;
    amplitude *= 0.5;
  }
  return sum / weight;
}

// ---- Images -----------------------------------------------------------------------------

using Level = std::function<double(double u, double v)>;
using Colour = std::function<Rgb(double u, double v)>;

std::uint8_t Byte(double v) { return static_cast<std::uint8_t>(std::lround(Clamp01(v) * 255)); }

// A height layer of `side` nodes a side; u and v run over [-1, 1] from the first node to the
// last.
void WriteLayer(const std::string& path, std::uint32_t side, const Level& level) {
  std::vector<std::uint8_t> bytes(std::size_t{side} * side);
  for (std::uint32_t j = 0; j < side; ++j)
    for (std::uint32_t i = 0; i < side; ++i)
      bytes[std::size_t{j} * side + i] =
          Byte(level(2.0 * i / (side - 1) - 1, 2.0 * j / (side - 1) - 1));
  WritePng(path, side, side, 1, bytes);
}

// An RGB picture of `side` pixels a side; u and v in [0, 1) at the pixel centres.
void WriteColour(const std::string& path, std::uint32_t side, const Colour& colour) {
  std::vector<std::uint8_t> bytes(std::size_t{side} * side * 3);
  for (std::uint32_t j = 0; j < side; ++j)
    for (std::uint32_t i = 0; i < side; ++i) {
      const Rgb c = colour((i + 0.5) / side, (j + 0.5) / side);
      std::uint8_t* p = &bytes[(std::size_t{j} * side + i) * 3];
      p[0] = Byte(c.r), p[1] = Byte(c.g), p[2] = Byte(c.b);
    }
  WritePng(path, side, side, 3, bytes);
}

Rgb Scale(Rgb c, double s) {
  return {static_cast<float>(c.r * s), static_cast<float>(c.g * s), static_cast<float>(c.b * s)};
}

// The lagoon's island: a main hill off the centre and a lower one to the north-west, falling
// to the lagoon floor well inside the edges.
double LagoonIsle(double u, double v) {
  const double wobble = 0.08 * (Fbm(u * 0.5 + 0.5, v * 0.5 + 0.5, 4, 3, 11) - 0.5);
  const double r = std::hypot(u - 0.05, v + 0.08) + wobble;
  const double main = 0.95 * std::exp(-std::pow(r / 0.42, 2));
  const double second = 0.4 * std::exp(-(std::pow(u + 0.36, 2) + std::pow(v - 0.32, 2)) / 0.035);
  return Clamp01(main + second);
}

// The highlands: ridges all over, a basin for the tarn south-east of the centre, and the
// country raised towards the edges.
double Highlands(double u, double v) {
  const double ridges = Ridged(u * 0.5 + 0.5, v * 0.5 + 0.5, 3, 5, 23);
  const double basin = std::exp(-(std::pow(u - 0.2, 2) + std::pow(v + 0.15, 2)) / 0.06);
  const double rim = 0.25 * SmoothStep(0.4, 1.3, std::hypot(u, v));
  return Clamp01(0.12 + 0.78 * ridges * (1 - 0.85 * basin) + rim - 0.1 * basin);
}

// The ruins' plain: a level plateau in the middle for the buildings (0.25 of the height
// range), a shallow dry moat around it, hills towards the edges.
double RuinsPlain(double u, double v) {
  const double r = std::hypot(u, v);
  const double hills =
      0.55 * SmoothStep(0.45, 1.2, r) * (0.4 + Fbm(u * 0.5 + 0.5, v * 0.5 + 0.5, 3, 4, 37));
  const double moat = 0.12 * std::exp(-std::pow((r - 0.5) / 0.07, 2));
  return Clamp01(0.25 + hills - moat);
}

Rgb LagoonSand(double u, double v) {
  const double grain = Fbm(u, v, 16, 3, 41);
  const double patches = SmoothStep(0.52, 0.62, Fbm(u, v, 4, 4, 43));
  const Rgb sand = Scale(Rgb8(222, 204, 160), 0.9 + 0.2 * grain);
  const Rgb green = Scale(Rgb8(84, 124, 58), 0.8 + 0.4 * Fbm(u, v, 32, 2, 47));
  return Mix(sand, green, static_cast<float>(patches));
}

Rgb HighlandsHeather(double u, double v) {
  const double a = Fbm(u, v, 4, 5, 53), b = Fbm(u, v, 8, 4, 59);
  const double speckle = Fbm(u, v, 32, 2, 61);
  const Rgb grass = Rgb8(96, 116, 54), heather = Rgb8(112, 78, 92), rock = Rgb8(128, 126, 120);
  Rgb c = Mix(grass, heather, static_cast<float>(SmoothStep(0.42, 0.6, a)));
  c = Mix(c, rock, static_cast<float>(SmoothStep(0.6, 0.72, b)));
  return Scale(c, 0.85 + 0.3 * speckle);
}

// Sandstone courses: blocks 16 x 8 pixels of a 64-pixel picture, every other course shifted
// by half a block, with darker joints and a tone per block.
Rgb RuinsStone(double u, double v) {
  const double x = u * 64, y = v * 64;
  const auto course = static_cast<std::int64_t>(y / 8);
  const double shifted = x + (course % 2 ? 8 : 0);
  const auto block = static_cast<std::int64_t>(shifted / 16);
  const double jx = std::fmod(shifted, 16.0), jy = std::fmod(y, 8.0);
  const double joint = std::min({jx, 16 - jx, jy, 8 - jy});
  const double tone =
      0.85 + 0.25 * Hash(block % 4, course, 67) + 0.12 * (Fbm(u, v, 16, 3, 71) - 0.5);
  const Rgb stone = Scale(Rgb8(200, 170, 124), tone);
  return Mix(Scale(stone, 0.55), stone, static_cast<float>(SmoothStep(0.4, 1.2, joint)));
}

Rgb RuinsGround(double u, double v) {
  const double patches = SmoothStep(0.45, 0.6, Fbm(u, v, 4, 4, 73));
  const Rgb grass = Scale(Rgb8(150, 138, 78), 0.85 + 0.3 * Fbm(u, v, 32, 2, 79));
  const Rgb dust = Scale(Rgb8(190, 168, 128), 0.9 + 0.2 * Fbm(u, v, 16, 2, 83));
  return Mix(grass, dust, static_cast<float>(patches));
}

// The moon: a grey disc with dark seas and a few craters, on black; its mask white on the
// disc. The disc's edge is anti-aliased over one pixel in both.
void WriteMoon(const std::string& colourPath, const std::string& maskPath) {
  constexpr std::uint32_t kSide = 128;
  constexpr double kRadius = 60;
  struct Crater {
    double x, y, r;
  };
  constexpr Crater kCraters[] = {{40, 46, 9}, {82, 30, 6}, {70, 88, 12},
                                 {30, 84, 5}, {96, 70, 7}, {58, 60, 4}};
  std::vector<std::uint8_t> colour(kSide * kSide * 3), mask(kSide * kSide);
  for (std::uint32_t j = 0; j < kSide; ++j)
    for (std::uint32_t i = 0; i < kSide; ++i) {
      const double x = i + 0.5, y = j + 0.5;
      const double inside = Clamp01(kRadius + 0.5 - std::hypot(x - 64, y - 64));
      double level = 0.78 + 0.1 * (Fbm(x / kSide, y / kSide, 16, 2, 89) - 0.5);
      level -= 0.22 * SmoothStep(0.5, 0.62, Fbm(x / kSide, y / kSide, 3, 4, 97));
      for (const Crater& c : kCraters) {
        const double d = std::hypot(x - c.x, y - c.y) / c.r;
        if (d < 1) level -= 0.12 * (1 - d * d);                 // the bowl
        level += 0.1 * std::exp(-std::pow((d - 1) / 0.15, 2));  // its bright rim
      }
      const std::uint8_t grey = Byte(level * inside);
      std::uint8_t* p = &colour[(std::size_t{j} * kSide + i) * 3];
      p[0] = grey, p[1] = grey, p[2] = Byte(level * inside * 1.03);
      mask[std::size_t{j} * kSide + i] = Byte(inside);
    }
  WritePng(colourPath, kSide, kSide, 3, colour);
  WritePng(maskPath, kSide, kSide, 1, mask);
}

// ---- Sounds -----------------------------------------------------------------------------

// The tools' 15-bit noise, as the intro music's.
struct Noise {
  std::uint32_t seed;
  double Next() {
    seed = seed * 214013u + 2531011u;
    return ((seed >> 16) & 0x7FFF) / 16383.5 - 1.0;
  }
};

std::vector<float> Samples(double seconds) {
  return std::vector<float>(static_cast<std::size_t>(seconds * kRate), 0.0f);
}

// Scales the peak to `peak` and fades both ends over `fade` seconds.
void Finish(std::vector<float>& s, double peak, double fade) {
  float top = 1e-9f;
  for (float v : s) top = std::max(top, std::fabs(v));
  const auto fadeFrames = static_cast<std::size_t>(fade * kRate);
  for (std::size_t i = 0; i < s.size(); ++i) {
    double g = peak / top;
    if (fadeFrames > 0) {
      g *= std::min(1.0, static_cast<double>(i) / fadeFrames);
      g *= std::min(1.0, static_cast<double>(s.size() - 1 - i) / fadeFrames);
    }
    s[i] = static_cast<float>(s[i] * g);
  }
}

// Surf on a beach: low-passed noise that swells twice in eight seconds, with a hiss at each
// crest; it starts and ends between swells, so it loops.
std::vector<float> Waves() {
  std::vector<float> s = Samples(8);
  Noise noise{7};
  double low = 0, lower = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double swell = std::pow(std::sin(kPi * t / 4), 2);
    const double n = noise.Next();
    low += (0.04 + 0.12 * swell) * (n - low);
    lower += 0.01 * (n - lower);
    s[i] = static_cast<float>((0.25 + 0.75 * swell) * low + 0.6 * lower +
                              0.08 * std::pow(swell, 6) * n);
  }
  Finish(s, 0.6, 0.05);
  return s;
}

// A gull: three falling cries with a few harmonics.
std::vector<float> Gull() {
  std::vector<float> s = Samples(2.2);
  for (int cry = 0; cry < 3; ++cry) {
    const double start = 0.15 + cry * 0.6, length = cry == 2 ? 0.55 : 0.38;
    double phase = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(length * kRate); ++i) {
      const double t = i / static_cast<double>(kRate);
      const double f = 1500 - 600 * t / length + 40 * std::sin(2 * kPi * 28 * t);
      phase += f / kRate;
      const double envelope = std::sin(kPi * t / length);
      const double v = std::sin(2 * kPi * phase) + 0.5 * std::sin(4 * kPi * phase) +
                       0.25 * std::sin(6 * kPi * phase);
      s[static_cast<std::size_t>(start * kRate) + i] += static_cast<float>(envelope * envelope * v);
    }
  }
  Finish(s, 0.5, 0);
  return s;
}

// Wind over open country: noise through a resonant band whose centre wanders between 300 and
// 900 Hz, one cycle in ten seconds, so it loops.
std::vector<float> Wind() {
  std::vector<float> s = Samples(10);
  Noise noise{13};
  double low = 0, band = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double centre = 600 + 300 * std::sin(2 * kPi * t / 10) + 80 * std::sin(2 * kPi * t / 2.5);
    const double f = 2 * std::sin(kPi * centre / kRate), q = 0.12;
    const double high = noise.Next() - low - q * band;
    band += f * high;
    low += f * band;
    const double gust = 0.55 + 0.45 * std::pow(std::sin(kPi * t / 5), 2);
    s[i] = static_cast<float>(gust * band);
  }
  Finish(s, 0.55, 0.05);
  return s;
}

// A whistled call rising in two phrases.
std::vector<float> Curlew() {
  std::vector<float> s = Samples(2.6);
  double phase = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double phrase = std::fmod(t, 1.2), on = t < 2.4 && phrase < 0.9 ? 1 : 0;
    const double f = 1800 + 900 * SmoothStep(0.1, 0.7, phrase);
    phase += f / kRate;
    const double envelope = on * std::sin(kPi * std::min(phrase / 0.9, 1.0));
    s[i] = static_cast<float>(envelope *
                              (std::sin(2 * kPi * phase) + 0.1 * std::sin(4 * kPi * phase)));
  }
  Finish(s, 0.45, 0);
  return s;
}

// A lark's song: quick notes of random pitch between 2.8 and 4.2 kHz.
std::vector<float> Lark() {
  std::vector<float> s = Samples(3);
  Noise noise{17};
  constexpr double kNote = 0.065;
  double phase = 0, f = 3500;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double inNote = std::fmod(t, kNote);
    if (inNote < 1.0 / kRate) f = 3500 + 700 * noise.Next();
    phase += (f + 300 * std::sin(2 * kPi * 40 * t)) / kRate;
    const double envelope = std::sin(kPi * inNote / kNote);
    s[i] = static_cast<float>(envelope * std::sin(2 * kPi * phase));
  }
  Finish(s, 0.35, 0.02);
  return s;
}

// Cicadas: a 4.2 kHz tone in sharp pulses 45 times a second, swelling and falling every
// three seconds; six seconds, so it loops.
std::vector<float> Cicadas() {
  std::vector<float> s = Samples(6);
  Noise noise{19};
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double pulse = std::pow(0.5 + 0.5 * std::cos(2 * kPi * 45 * t), 8);
    const double swell = 0.45 + 0.55 * std::pow(std::sin(kPi * t / 3), 2);
    s[i] = static_cast<float>(swell * pulse * (std::sin(2 * kPi * 4200 * t) + 0.3 * noise.Next()));
  }
  Finish(s, 0.3, 0.02);
  return s;
}

// A temple bell struck once: inharmonic partials of 220 Hz, the higher ones dying sooner.
std::vector<float> Bell() {
  std::vector<float> s = Samples(5);
  constexpr double kPartials[][3] = {// ratio, level, decay seconds
                                     {0.5, 0.5, 3.5}, {1.0, 1.0, 2.5},  {1.19, 0.6, 1.8},
                                     {1.5, 0.4, 1.4}, {2.0, 0.35, 1.0}, {2.74, 0.25, 0.6}};
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    double v = 0;
    for (const auto& p : kPartials)
      v += p[1] * std::exp(-t / p[2]) * std::sin(2 * kPi * 220 * p[0] * t);
    s[i] = static_cast<float>(v * std::min(1.0, t / 0.003));
  }
  Finish(s, 0.5, 0);
  return s;
}

}  // namespace
}  // namespace veskor::tools

int main(int argc, char** argv) {
  using namespace veskor::tools;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_world_data <resource dir>\n");
    return 2;
  }
  const std::string img = std::string(argv[1]) + "/Img/", snd = std::string(argv[1]) + "/Snd/";
  MakeDirectories(img);
  MakeDirectories(snd);

  WriteLayer(img + "lagoon_isle.png", 33, LagoonIsle);
  WriteLayer(img + "highlands_ridges.png", 65, Highlands);
  WriteLayer(img + "ruins_plain.png", 65, RuinsPlain);
  WriteColour(img + "lagoon_sand.png", 128, LagoonSand);
  WriteColour(img + "highlands_heather.png", 128, HighlandsHeather);
  WriteColour(img + "ruins_stone.png", 64, RuinsStone);
  WriteColour(img + "ruins_ground.png", 128, RuinsGround);
  WriteMoon(img + "highlands_moon.png", img + "highlands_moon_mask.png");

  constexpr float kQuality = 0.3f;
  WriteOggVorbis(snd + "lagoon_waves.ogg", {Waves()}, kRate, kQuality, 0x56534B01, "waves");
  WriteOggVorbis(snd + "highlands_wind.ogg", {Wind()}, kRate, kQuality, 0x56534B02, "wind");
  WriteOggVorbis(snd + "ruins_bell.ogg", {Bell()}, kRate, kQuality, 0x56534B03, "bell");
  WriteWav16(snd + "lagoon_gull.wav", Gull(), kRate);
  WriteWav16(snd + "highlands_curlew.wav", Curlew(), kRate);
  WriteWav16(snd + "highlands_lark.wav", Lark(), kRate);
  WriteWav16(snd + "ruins_cicadas.wav", Cicadas(), kRate);
  return 0;
}
