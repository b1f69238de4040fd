#include "gfx/texture_cube_blur.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "gfx/texture_names.h"
#include "support/fatal_test.h"

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

TEST(CubeBlur, HalvingAveragesEveryFaceAndItsBlocksGoBack) {
  // The slot pool reserves its block at its first take: in the program's heap, not this test's.
  GiveBackTextureSlot(TakeTextureSlot(), ContextStamp);
  test::ScopedHeapAreas scoped;
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
  // The halving's work block and the smoothing's copies go back to the memory manager: once
  // the first halving and pass have carved them, doing it all again carves nothing new.
  TextureCubeSmoothPass(cube);
  const std::uint32_t carved = scoped.heap().small.usedBytes;
  Fill(cube, 3, 3, Noise);
  TextureCubeHalve(cube);
  TextureCubeSmoothPass(cube);
  TextureCubeSmoothPass(cube);
  EXPECT_EQ(scoped.heap().small.usedBytes, carved);
}

TEST(CubeBlur, JoinedEdgesTakeTheMeanOfTheirTwoTexelsAndCornersOfTheirThree) {
  for (const std::uint32_t log2Size : {0u, 1u, 3u}) {
    const std::uint32_t n = std::uint32_t{1} << log2Size, texels = n * n;
    TextureCube cube;
    Fill(cube, 2, log2Size, Noise);
    // By hand: texels on no edge keep their value, the rest of an edge takes the mean of both
    // faces' texels, and the three texels at a corner of the cube (found by the signs of
    // their directions) their mean; a face of one texel is all corners, of all six faces.
    const auto at = [&](int f, std::uint32_t i, std::uint32_t c) {
      return Noise(f, i % n, i / n, c);
    };
    const auto atCorner = [&](std::uint32_t i) {
      return (i % n == 0 || i % n == n - 1) && (i / n == 0 || i / n == n - 1);
    };
    const auto corner = [&](int f, std::uint32_t i) {
      double d[3];
      Direction(f, i % n, i / n, n, d);
      return n == 1 ? 0 : (d[0] > 0) * 4 + (d[1] > 0) * 2 + (d[2] > 0);
    };
    std::vector<float> want(6 * texels * 2);
    double cornerSums[8][2] = {};
    for (int f = 0; f < 6; ++f)
      for (std::uint32_t i = 0; i < texels; ++i)
        for (std::uint32_t c = 0; c < 2; ++c) {
          want[(f * texels + i) * 2 + c] = at(f, i, c);
          if (atCorner(i)) cornerSums[corner(f, i)][c] += at(f, i, c);
        }
    for (const CubeEdge& e : CubeEdgeTable)
      for (std::uint32_t k = 1; k + 1 < n; ++k) {
        const std::uint32_t a = CubeWalkTexel(e.walkA, log2Size, k);
        const std::uint32_t b = CubeWalkTexel(e.walkB, log2Size, k);
        for (std::uint32_t c = 0; c < 2; ++c)
          want[(e.faceA * texels + a) * 2 + c] = want[(e.faceB * texels + b) * 2 + c] =
              (at(e.faceA, a, c) + at(e.faceB, b, c)) * 0.5f;
      }
    TextureCubeJoinEdges(cube);
    for (int f = 0; f < 6; ++f)
      for (std::uint32_t i = 0; i < texels; ++i)
        for (std::uint32_t c = 0; c < 2; ++c) {
          SCOPED_TRACE("size " + std::to_string(n) + " face " + std::to_string(f) + " texel " +
                       std::to_string(i));
          if (atCorner(i))
            ASSERT_NEAR(Texel(cube, f, i, c), cornerSums[corner(f, i)][c] / (n == 1 ? 6 : 3), 1e-6);
          else
            ASSERT_EQ(Texel(cube, f, i, c), want[(f * texels + i) * 2 + c]);
        }
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

TEST(CubeBlur, LevelChoosesHalvingsAndSmoothingPasses) {
  // Level l of faces of 2^7 texels: r = l rounded (a half down), n = 7 - r; nothing for
  // n <= 0, else max(n / 2 - 1, 0) halvings then 2 (n - halvings) smoothing passes.
  const struct {
    float level;
    int halvings, passes;
  } cases[] = {
      {6.0f, 0, 2},   {6.5f, 0, 2}, {4.0f, 0, 6}, {2.6f, 1, 6},  {2.5f, 1, 8},
      {-0.7f, 2, 10}, {6.6f, 0, 0}, {7.0f, 0, 0}, {1e30f, 0, 0}, {std::nanf(""), 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    // Zero, but for a block of ones 2^halvings texels a side in the middle of face 0's top
    // row, the edge it shares with face 3: the halvings leave one texel of it, which each
    // join shares half and half with face 3.
    const std::uint32_t side = 1u << c.halvings;
    TextureCube cube;
    Fill(cube, 1, 7, [&](int f, std::uint32_t x, std::uint32_t y, std::uint32_t) {
      return f == 0 && x >= 64 && x < 64 + side && y < side ? 1.0f : 0.0f;
    });
    cube.state.dirty = 0;
    TextureCubeBlurToLevel(cube, c.level);
    ASSERT_EQ(cube.faces[0].log2Width, 7 - c.halvings);
    EXPECT_EQ(cube.state.dirty, c.passes > 0 ? 1u : 0u);
    // Each pass spreads one texel further and keeps the sum: a texel alone covers (2p + 1)^2
    // texels after p passes, a joined pair (p + 1)(2p + 1) on each face, in equal shares.
    double sums[6] = {};
    int covered = 0;
    for (int f = 0; f < 6; ++f)
      for (std::uint32_t i = 0; i < (1u << 2 * (7 - c.halvings)); ++i) {
        sums[f] += Texel(cube, f, i, 0);
        covered += Texel(cube, f, i, 0) != 0.0f;
      }
    const int p = c.passes;
    EXPECT_EQ(covered, c.halvings == 0 ? (2 * p + 1) * (2 * p + 1) : 2 * (p + 1) * (2 * p + 1));
    EXPECT_NEAR(sums[0] + sums[1] + sums[2] + sums[3] + sums[4] + sums[5], 1.0, 1e-5);
    if (c.halvings > 0) {
      EXPECT_NEAR(sums[0], sums[3], 1e-6);
    }
  }

  TextureCube large;
  Fill(large, 1, 7, Noise);
  TextureCubeBlurToLevel(large, -1e30f);  // as -64: down to one texel, in bounded work
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
