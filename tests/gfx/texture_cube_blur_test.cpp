#include "gfx/texture_cube_blur.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

namespace veskor {
namespace {

using Field = std::function<float(int face, std::uint32_t x, std::uint32_t y, std::uint32_t c)>;

void Fill(TextureCube& cube, std::uint32_t channels, std::uint32_t log2Size, const Field& f) {
  TextureCubeResize(cube, channels, log2Size);
  const std::uint32_t n = std::uint32_t{1} << log2Size;
  for (int face = 0; face < 6; ++face) {
    float* t = static_cast<float*>(cube.faces[face].data);
    for (std::uint32_t y = 0; y < n; ++y)
      for (std::uint32_t x = 0; x < n; ++x)
        for (std::uint32_t c = 0; c < channels; ++c)
          t[((y * n) + x) * channels + c] = f(face, x, y, c);
  }
}

float Noise(int face, std::uint32_t x, std::uint32_t y, std::uint32_t c) {
  std::uint32_t h = (face * 7919u) ^ (x * 104729u) ^ (y * 1299709u) ^ (c * 15485863u);
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return static_cast<float>(h % 1000) / 1000.0f;
}

// The direction of the centre of texel (x, y) of a face, as GL's cube maps look texels up.
void Direction(int face, std::uint32_t x, std::uint32_t y, std::uint32_t n, double d[3]) {
  const double s = 2.0 * (x + 0.5) / n - 1.0;
  const double t = 2.0 * (y + 0.5) / n - 1.0;
  const double faces[6][3] = {{-1, -t, s}, {1, -t, -s}, {s, -1, -t},
                              {s, 1, t},   {-s, -t, -1}, {s, -t, 1}};
  const double length = std::hypot(faces[face][0], faces[face][1], faces[face][2]);
  for (int i = 0; i < 3; ++i) d[i] = faces[face][i] / length;
}

float Texel(const TextureCube& cube, int face, std::uint32_t texel, std::uint32_t c) {
  return static_cast<const float*>(cube.faces[face].data)[texel * cube.faces[face].channels + c];
}

TEST(CubeBlur, EdgeTableJoinsNeighbouringTexelsOfGlCubeMaps) {
  // Texel k of both walks of an edge lie less than one texel apart across it.
  const std::uint32_t log2Size = 4, n = 16;
  const double texelAngle = std::acos(-1.0) / 2 / n;
  for (const CubeEdge& e : CubeEdgeTable)
    for (std::uint32_t k = 0; k < n; ++k) {
      const std::uint32_t a = CubeWalkTexel(e.walkA, log2Size, k);
      const std::uint32_t b = CubeWalkTexel(e.walkB, log2Size, k);
      double da[3], db[3];
      Direction(e.faceA, a % n, a / n, n, da);
      Direction(e.faceB, b % n, b / n, n, db);
      const double angle = std::acos(da[0] * db[0] + da[1] * db[1] + da[2] * db[2]);
      EXPECT_LT(angle, texelAngle) << int{e.faceA} << "/" << int{e.faceB} << " k " << k;
    }
}

TEST(CubeBlur, HalvingAveragesEveryFace) {
  TextureCube cube;
  Fill(cube, 3, 3, Noise);
  TextureCubeHalve(cube);
  for (int face = 0; face < 6; ++face) {
    const TexturePixels& p = cube.faces[face];
    EXPECT_TRUE(p.log2Width == 2 && p.log2Height == 2 && p.channels == 3);
    EXPECT_EQ(p.block.usedBytes, 16u * 3 * sizeof(float));
    EXPECT_FLOAT_EQ(p.halfTexelWidth, 0.125f);
    for (std::uint32_t c = 0; c < 3; ++c) {
      const float mean = (Noise(face, 2, 4, c) + Noise(face, 3, 4, c) + Noise(face, 2, 5, c) +
                          Noise(face, 3, 5, c)) * 0.25f;
      EXPECT_FLOAT_EQ(Texel(cube, face, 2 * 4 + 1, c), mean) << face;
    }
  }
}

TEST(CubeBlur, JoinedEdgesAndCornersReadTheSameFromEveryFace) {
  for (const std::uint32_t log2Size : {0u, 1u, 3u}) {
    TextureCube cube;
    Fill(cube, 2, log2Size, Noise);
    TextureCubeJoinEdges(cube);
    const std::uint32_t n = std::uint32_t{1} << log2Size;
    for (const CubeEdge& e : CubeEdgeTable)
      for (std::uint32_t k = 0; k < n; ++k)
        for (std::uint32_t c = 0; c < 2; ++c)
          ASSERT_EQ(Texel(cube, e.faceA, CubeWalkTexel(e.walkA, log2Size, k), c),
                    Texel(cube, e.faceB, CubeWalkTexel(e.walkB, log2Size, k), c))
              << "size " << n << " edge " << int{e.faceA} << "/" << int{e.faceB} << " k " << k;
  }
}

TEST(CubeBlur, SmoothingKeepsAConstantCubeConstantAcrossEdgesAndCorners) {
  // The weights a border texel loses to the face's end are added back from the faces
  // across its edges, so every texel keeps its value, per channel.
  const float values[3] = {0.2f, 0.5f, 0.9f};
  TextureCube cube;
  Fill(cube, 3, 3,
       [&](int, std::uint32_t, std::uint32_t, std::uint32_t c) { return values[c]; });
  TextureCubeSmoothPass(cube);
  TextureCubeSmoothPass(cube);
  for (int face = 0; face < 6; ++face)
    for (std::uint32_t i = 0; i < 64; ++i)
      for (std::uint32_t c = 0; c < 3; ++c)
        ASSERT_NEAR(Texel(cube, face, i, c), values[c], 2e-5f) << face << " " << i;
}

TEST(CubeBlur, SmoothingFiltersEdgeTexelsWithTheirNeighboursAcross) {
  // A field that varies smoothly over the sphere barely changes at the edges; an edge
  // filtered with texels from the wrong place would.
  const std::uint32_t n = 16;
  TextureCube cube;
  Fill(cube, 1, 4, [&](int face, std::uint32_t x, std::uint32_t y, std::uint32_t) {
    double d[3];
    Direction(face, x, y, n, d);
    return static_cast<float>(d[0] + 2 * d[1] + 3 * d[2]);
  });
  TextureCube before;
  Fill(before, 1, 4, [&](int f, std::uint32_t x, std::uint32_t y, std::uint32_t) {
    return Texel(cube, f, y * n + x, 0);
  });
  TextureCubeSmoothPass(cube);
  // Neighbouring texels differ by up to about 0.3; smoothing moves any texel by up to 0.03.
  for (int f = 0; f < 6; ++f)
    for (std::uint32_t i = 0; i < n * n; ++i)
      ASSERT_NEAR(Texel(cube, f, i, 0), Texel(before, f, i, 0), 0.04f) << f << " " << i;
}

// What a blur level does, step by step.
void BlurByHand(TextureCube& cube, int halvings, int passes) {
  for (int i = 0; i < halvings; ++i) {
    TextureCubeHalve(cube);
    TextureCubeJoinEdges(cube);
  }
  for (int i = 0; i < passes; ++i) TextureCubeSmoothPass(cube);
}

TEST(CubeBlur, LevelChoosesHalvingsAndSmoothingPasses) {
  const struct {
    std::uint32_t log2Size;
    float level;
    int halvings;  // -1: the cube is left alone
    int passes;
  } cases[] = {
      {7, 2.5f, 1, 8},  {7, 2.6f, 1, 6},  // r 2, n 5; r 3, n 4
      {5, 4.0f, 0, 2},  {5, 0.0f, 1, 8},  // n 1; n 5
      {5, -0.7f, 1, 8}, {4, -1.0f, 1, 8},  // toward zero: r 0; n 5
      {5, 4.6f, -1, 0}, {5, 5.0f, -1, 0}, {5, 1e30f, -1, 0}, {5, std::nanf(""), -1, 0},
  };
  for (const auto& c : cases) {
    TextureCube blurred;
    TextureCube expected;
    Fill(blurred, 2, c.log2Size, Noise);
    Fill(expected, 2, c.log2Size, Noise);
    blurred.state.dirty = 0;
    TextureCubeBlurToLevel(blurred, c.level);
    if (c.halvings < 0) {
      EXPECT_EQ(blurred.state.dirty, 0u) << c.level;
    } else {
      BlurByHand(expected, c.halvings, c.passes);
    }
    ASSERT_EQ(blurred.faces[0].log2Width, expected.faces[0].log2Width) << c.level;
    const std::size_t bytes = expected.faces[0].block.usedBytes;
    for (int f = 0; f < 6; ++f)
      EXPECT_EQ(std::memcmp(blurred.faces[f].data, expected.faces[f].data, bytes), 0)
          << "level " << c.level << " face " << f;
  }

  TextureCube large;
  Fill(large, 1, 3, Noise);
  TextureCubeBlurToLevel(large, -1e30f);  // blurs down to one texel, in bounded work
  EXPECT_EQ(large.faces[0].log2Width, 0);
}

TEST(CubeBlur, CubesWithoutPixelsOrOfOneTexelAreLeftAlone) {
  TextureCube empty;
  TextureCubeBlurToLevel(empty, 0.0f);
  TextureCubeHalve(empty);
  TextureCubeJoinEdges(empty);
  TextureCubeSmoothPass(empty);
  EXPECT_EQ(empty.faces[0].data, nullptr);
  TextureCube single;
  Fill(single, 1, 0, Noise);
  single.state.dirty = 0;
  TextureCubeHalve(single);
  TextureCubeSmoothPass(single);
  EXPECT_EQ(single.faces[0].log2Width + single.state.dirty, 0u);
}

}  // namespace
}  // namespace veskor
