#include "language/height_field_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "compile_driver.h"
#include "fx_test_support.h"
#include "language/height_field.h"
#include "mapengine/noise_generator.h"
#include "support/png_test_images.h"

namespace veskor {
namespace {

using test::CompileText;
using test::WorldDir;

std::string Repeat(const std::string& text, std::uint32_t n) {
  std::string all;
  for (std::uint32_t i = 0; i < n; ++i) all += text;
  return all;
}

void WritePng(const WorldDir& dir, const char* name, const std::vector<std::uint8_t>& png) {
  static_cast<const test::TempDir&>(dir).Write(name, png);
}

float Clamp01(double v) { return static_cast<float>(std::clamp(v, 0.0, 1.0)); }

// Every height of field f against reference(i, j), i the column (x), j the row (y).
void ExpectHeights(std::uint32_t f, const std::function<double(int, int)>& reference) {
  const VertexGrid& grid = gWorld.heightFields[f].grid;
  const int side = (1 << grid.log2Width) + 1;
  for (int j = 0; j < side; ++j)
    for (int i = 0; i < side; ++i)
      ASSERT_NEAR(*VertexGridCell(grid, i, j), Clamp01(reference(i, j)), 2e-6)
          << "node " << i << ", " << j;
}

TEST(HeightFieldBlock, BoxSetsTheLevelAndTheRecordAndWaterPlanesComeFromIt) {
  WorldDir dir;
  const struct {
    const char* box;
    std::uint32_t level;
  } boxes[] = {{"[0 0 0] [999.9 999.9 999.9]", 5},
               {"[0 -500 0] [1 500 1]", 6},
               {"[0 0 -1] [1 1 2998]", 6},
               {"[-1500 0 0] [1500 1 1]", 7}};
  for (const auto& b : boxes) {
    ASSERT_EQ(CompileText(dir, std::string("HeightField h { BBox { ") + b.box + " } }").status, "");
    ASSERT_EQ(gWorld.heightFieldCount, 1u);
    const HeightFieldRecord& r = gWorld.heightFields[0];
    EXPECT_EQ(r.grid.log2Width, b.level) << b.box;
    EXPECT_EQ(r.grid.log2Height, b.level) << b.box;
    ExpectHeights(0, [](int, int) { return 0.0; });  // no layer
  }

  ASSERT_EQ(test::RunCompileSession(VESKOR_LANGUAGE_DATA "hf_forms.wld").status, "");
  ASSERT_EQ(gWorld.heightFieldCount, 2u);
  const HeightFieldRecord& r = gWorld.heightFields[0];
  EXPECT_EQ(std::vector<float>(r.box, r.box + 6), (std::vector<float>{-100, 0, -50, 100, 80, 50}));
  EXPECT_EQ(r.cellSizeX, 200.0f / 32);
  EXPECT_EQ(r.cellSizeY, 100.0f / 32);
  EXPECT_EQ(r.heightSpan, -80.0f);
  EXPECT_EQ(r.grid.scaleValue, 1.0f);
  EXPECT_EQ(r.grid.halfStepX, 0.5f / 32);
  // Only the last WaterPlane of the block is kept, its rectangle 150 beyond the box.
  ASSERT_EQ(gWorld.waterPlaneCount, 1u);
  ASSERT_EQ(r.waterPlaneCount, 1u);
  EXPECT_EQ(r.waterPlanes[0], 0u);
  const WaterPlane& w = gWorld.waterPlanes[0];
  EXPECT_EQ((std::vector<float>{w.x0, w.y0, w.altitude, w.x1, w.y1, w.bumpScale, w.colour[0],
                                w.colour[1], w.colour[2], w.opacity[0], w.opacity[1]}),
            (std::vector<float>{-250, -200, 40, 250, 200, 0.5f, 0.1f, 0.2f, 0.3f, 0.25f, 0.75f}));
  EXPECT_EQ(gWorld.heightFields[1].waterPlaneCount, 0u);
  std::uint32_t position;
  ASSERT_TRUE(NameTableFind(gWorld.heightFieldNames, "flat", position));
  EXPECT_EQ(gWorld.heightFieldNames.entries[position].value, 1u);

  // The altitude is held in the box's height range; keys left out are 0.
  const struct {
    const char* water;
    float altitude;
  } waters[] = {{"altitude(80.5)", 80},
                {"altitude(79.5)", 79.5f},
                {"altitude(10.5)", 10.5f},
                {"altitude(9.5)", 10},
                {"", 10}};
  for (const auto& c : waters) {
    ASSERT_EQ(CompileText(dir, std::string("HeightField h { BBox { [0 0 10] [1 1 80] } "
                                           "WaterPlane { ") +
                                   c.water + " } }")
                  .status,
              "");
    const WaterPlane& p = gWorld.waterPlanes[0];
    EXPECT_EQ(p.altitude, c.altitude) << c.water;
    EXPECT_EQ((std::vector<float>{p.bumpScale, p.colour[0], p.colour[1], p.colour[2], p.opacity[0],
                                  p.opacity[1]}),
              std::vector<float>(6, 0.0f));
  }
}

// The uniform cubic B-spline weight b of parameter t.
double BSpline(int b, double t) {
  switch (b) {
    case 0: return (1 - t) * (1 - t) * (1 - t) / 6;
    case 1: return (3 * t * t * t - 6 * t * t + 4) / 6;
    case 2: return (-3 * t * t * t + 3 * t * t + 3 * t + 1) / 6;
    default: return t * t * t / 6;
  }
}

// An image of w x h values resampled to a raster of level `level` by the B-spline through its
// values, the edge values repeated outward.
std::function<double(int, int)> Resampled(std::vector<std::vector<double>> image, int level) {
  return [image, level](int x, int y) {
    const int h = static_cast<int>(image.size()), w = static_cast<int>(image[0].size());
    const int p = level - static_cast<int>(std::log2(w - 1));
    const int q = level - static_cast<int>(std::log2(h - 1));
    const int cx = std::min(x >> p, w - 2), cy = std::min(y >> q, h - 2);
    const double tx = double(x - (cx << p)) / (1 << p), ty = double(y - (cy << q)) / (1 << q);
    double sum = 0;
    for (int a = 0; a < 4; ++a)
      for (int b = 0; b < 4; ++b)
        sum += BSpline(a, ty) * BSpline(b, tx) *
               image[std::clamp(cy + a - 1, 0, h - 1)][std::clamp(cx + b - 1, 0, w - 1)];
    return sum;
  };
}

TEST(HeightFieldBlock, ImageLayersAddTheirResampledFirstChannel) {
  WorldDir dir;
  // Red 0, 255, 51 in the top row, 102, 204, 153 below it; green and blue another picture.
  const std::uint8_t red[2][3] = {{0, 255, 51}, {102, 204, 153}};
  WritePng(dir, "img.png",
           test::EncodePng(3, 2, 3, [&](std::uint32_t x, std::uint32_t y, std::uint32_t c) {
             return c == 0 ? red[y][x] : std::uint8_t(77);
           }));
  std::vector<std::vector<double>> image(2, std::vector<double>(3));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) image[y][x] = red[y][x] / 255.0;
  const auto cut = [&](double c) {
    auto values = image;
    for (auto& row : values)
      for (double& v : row) v = c < 1 ? std::clamp(v - c, 0.0, 1.0) / (1 - c) : v >= 1 ? 1 : 0;
    return values;
  };
  const auto scaled = [](std::function<double(int, int)> f, double s) {
    return [f, s](int x, int y) { return s * f(x, y); };
  };
  const struct {
    const char* layers;
    std::function<double(int, int)> heights;
  } cases[] = {
      {"Layer { name(\"img.png\") }", Resampled(image, 5)},
      {"Layer { scale(0.5) name(\"IMG.PNG\") }", scaled(Resampled(image, 5), 0.5)},
      {"Layer { name(\"img.png\") scale(2) } Layer { scale(-1) name(\"img.png\") }",
       Resampled(image, 5)},
      {"Layer { name(\"img.png\") cut(0.3) }", Resampled(cut(0.3), 5)},
      // A cut of 1 keeps the values 1 only.
      {"Layer { name(\"img.png\") cut(1) scale(0.75) }", scaled(Resampled(cut(1), 5), 0.75)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.layers);
    ASSERT_EQ(
        CompileText(dir, std::string("HeightField h { BBox { [0 0 0] [1 1 1] } ") + c.layers + " }")
            .status,
        "");
    ExpectHeights(0, c.heights);
  }

  // Images finer than the raster add nothing; others than 2^i + 1 pixels a side are refused.
  const auto grey = [](std::uint32_t, std::uint32_t, std::uint32_t) { return std::uint8_t(255); };
  WritePng(dir, "fine.png", test::EncodePng(257, 3, 1, grey));
  WritePng(dir, "fits.png", test::EncodePng(65, 65, 1, grey));
  WritePng(dir, "even.png", test::EncodePng(4, 5, 1, grey));
  WritePng(dir, "dot.png", test::EncodePng(1, 1, 1, grey));
  const std::string box = "HeightField h { BBox { [0 0 0] [1000 1 1] } Layer { name(\"";
  ASSERT_EQ(CompileText(dir, box + "fine.png\") } }").status, "");
  ExpectHeights(0, [](int, int) { return 0.0; });
  ASSERT_EQ(CompileText(dir, box + "fits.png\") } }").status, "");
  ExpectHeights(0, [](int, int) { return 1.0; });
  for (const char* name : {"even.png", "dot.png"}) {
    EXPECT_EQ(CompileText(dir, box + name + "\") } }").status,
              "Syntax error file (fx.wld) line (1) : Cannot load file");
  }
}

// The generator's noise at (x, y, 0) through its own sampling transform: the one input of the
// expected heights below, which follow the layer rule written out by hand for each case.
double Noise(float x, float y) {
  const NoiseGenerator3D& g = gNoiseGenerator.noise3D;
  return NoiseValue3D(x * g.scaleX + g.offsetX, y * g.scaleY + g.offsetY, g.offsetZ) *
             g.scaleValue +
         g.offsetValue;
}

double W(double weight) { return std::clamp(weight, -1.0, 1.0); }

TEST(HeightFieldBlock, NoiseLayersStartFromTheHeightOrFromFullWeightOnAnUntouchedField) {
  WorldDir dir;
  const auto constant = [&](const char* name, std::uint8_t value) {
    WritePng(dir, name, test::EncodePng(3, 3, 1, [=](auto, auto, auto) { return value; }));
  };
  constant("grey.png", 128);
  constant("black.png", 0);
  WritePng(dir, "fine.png", test::EncodePng(65, 3, 1, [](auto, auto, auto) { return 255; }));
  const double grey = 128 / 255.0;
  // Nodes 2 apart from (-40, 10). Two octaves of base frequency 0.013, factor 2.1 and
  // exponent 0.7 start from weight w, sampling at p and 2.1 p.
  const auto X = [](int i) { return -40.0f + 2.0f * i; };
  const auto Y = [](int j) { return 10.0f + 2.0f * j; };
  const auto octaves = [&](int i, int j, double w) {
    const float px = X(i) * 0.013f, py = Y(j) * 0.013f;
    const double v0 = Noise(px, py) * 1.6 * w;
    return v0 + Noise(px * 2.1f, py * 2.1f) * 1.6 * std::pow(2.1, -0.7) * W(v0);
  };
  const std::string two = "(2 [0.013 2.1 0.7])";
  const auto alone = [&](int i, int j) { return 0.4 * octaves(i, j, 1); };
  // With b = 1 every octave samples the same c = 1.6 noise at weight 1: v_k = c w_k, so n
  // octaves from weight w add w (c + c^2 + .. + c^n) while |c| stays below 1.
  const auto c = [&](int i, int j) { return 1.6 * Noise(X(i) * 0.011f, Y(j) * 0.011f); };
  const auto series = [&](int i, int j, int n, double w) {
    const double k = c(i, j);
    return w * k * (1 - std::pow(k, n)) / (1 - k);
  };
  const struct {
    std::string layers;
    std::function<double(int, int)> heights;
  } cases[] = {
      // Alone: from full weight, sum from 0.
      {"Layer { fractal" + two + " scale(0.4) }", alone},
      {"Layer { turbulence(2.9 [0.013 2.1 0.7]) scale(-0.4) }",
       [&](int i, int j) { return -0.4 * std::fabs(octaves(i, j, 1)); }},
      // A layer that adds nothing, or an image finer than the raster, leaves the field untouched.
      {"Layer { scale(3) } Layer { fractal" + two + " scale(0.4) }", alone},
      {"Layer { name(\"fine.png\") } Layer { fractal" + two + " scale(0.4) }", alone},
      // Over an image: sum and weight start from its height, the weight clamped to 1.
      {"Layer { name(\"grey.png\") } Layer { fractal" + two + " scale(0.2) }",
       [&](int i, int j) { return grey + 0.2 * (grey + octaves(i, j, grey)); }},
      {"Layer { name(\"grey.png\") scale(2) } Layer { turbulence" + two + " scale(-0.5) }",
       [&](int i, int j) { return 2 * grey - 0.5 * std::fabs(2 * grey + octaves(i, j, 1)); }},
      // Over a black image every octave is 0: the field stays flat.
      {"Layer { name(\"black.png\") } Layer { fractal(3 [0.05 2 1]) }",
       [](int, int) { return 0.0; }},
      // Octaves of frequency 0 add nothing; a, b, e left out are 0. A noise layer over a
      // noise layer starts from the height that one left.
      {"Layer { fractal(4 [0.05 0 2]) } Layer { fractal(1 [0.05]) scale(0.5) }",
       [&](int i, int j) {
         const double n = 1.6 * Noise(X(i) * 0.05f, Y(j) * 0.05f);
         return n + 0.5 * (n + n * W(n));
       }},
      {"Layer { fractal(32 [0.011 1 0.5]) scale(-1) }",
       [&](int i, int j) { return -series(i, j, 32, 1); }},
      {"Layer { name(\"grey.png\") } Layer { fractal(32 [0.011 1 0.5]) scale(0.5) }",
       [&](int i, int j) { return grey + 0.5 * (grey + series(i, j, 32, grey)); }},
  };
  for (std::uint32_t j = 0; j <= 32; ++j)
    for (std::uint32_t i = 0; i <= 32; ++i) ASSERT_LT(std::fabs(c(i, j)), 1.0) << i << ", " << j;
  for (const auto& k : cases) {
    SCOPED_TRACE(k.layers);
    ASSERT_EQ(CompileText(dir, "HeightField h { BBox { [-40 10 0] [24 74 1] } " + k.layers + " }")
                  .status,
              "");
    ExpectHeights(0, k.heights);
  }
  // Nothing of a layer carries over to the next block: scale 1, fractal unless told.
  ASSERT_EQ(CompileText(dir,
                        "HeightField h { BBox { [-40 10 0] [24 74 1] } "
                        "Layer { turbulence(2 [0.02 2 1]) scale(0.1) cut(0.5) } }\n"
                        "HeightField g { BBox { [-40 10 0] [24 74 1] } "
                        "Layer { fractal(1 [0.02]) } }")
                .status,
            "");
  ExpectHeights(1, [&](int i, int j) { return 1.6 * Noise(X(i) * 0.02f, Y(j) * 0.02f); });
}

TEST(HeightFieldBlock, CapacitiesAreReachedAndRefused) {
  WorldDir dir;
  const std::string box = "BBox { [0 0 0] [1 1 1] }";
  const std::string layer = "Layer { scale(1) }\n";
  const std::string water = "WaterPlane { altitude(1) }";
  const struct {
    std::string text;
    std::string status;
  } cases[] = {
      {"HeightField h { " + box + "\n" + Repeat(layer, 64) + "}", ""},
      {"HeightField h { " + box + "\n" + Repeat(layer, 65) + "}",
       "line (66) : Too many layers in HeightField"},
      {Repeat("HeightField h { " + box + " }\n", 64), ""},
      {Repeat("HeightField h { " + box + " }\n", 65), "line (66) : Too many height fields"},
      {Repeat("HeightField h { " + box + water + water + " }\n", 16), ""},
      {Repeat("HeightField h { " + box + water + " }\n", 17), "line (17) : Too many water planes"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompileText(dir, c.text).status,
              c.status.empty() ? "" : "Syntax error file (fx.wld) " + c.status);
  }
  EXPECT_EQ(AddWaterPlane(gWorld, 0, 0, 0, 0, 0, 0, 0), -1);  // the World holds 16
  // A block attaches one plane; compositions may gather up to 32 on a field.
  HeightFieldRecord& field = gWorld.heightFields[gWorld.heightFieldCount - 1];
  field.waterPlaneCount = 0;
  for (std::uint32_t k = 0; k < kHeightFieldWaterMax; ++k) EXPECT_TRUE(AttachWaterPlane(gWorld, 0));
  EXPECT_FALSE(AttachWaterPlane(gWorld, 0));
  EXPECT_EQ(field.waterPlaneCount, kHeightFieldWaterMax);
}

}  // namespace
}  // namespace veskor
