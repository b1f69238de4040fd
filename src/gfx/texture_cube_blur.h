// Cube blur: lowers a TextureCube of float texels to a coarser, smoother version of itself for
// a blurred environment, halving its faces, keeping the edges two faces share identical, and
// smoothing across those edges. The render preparation and the low-cloud stage call it.
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"

namespace veskor {

// Walks along the border of a face of N = 2^s texels: start texel and step.
//   0 (0, 0) +x    1 (0, 0) +y    2 (0, N-1) +x    3 (N-1, 0) +y
//   4 (N-1, 0) -x  5 (0, N-1) -y  6 (N-1, N-1) -x  7 (N-1, N-1) -y
inline constexpr int kCubeEdgeWalks = 8;

// One edge of the cube: texel k of the walk on face A and texel k of the walk on face B are
// the same point of the cube. Faces are numbered as the texture objects number them.
struct CubeEdge {
  std::uint8_t faceA;
  std::uint8_t faceB;
  std::uint8_t walkA;
  std::uint8_t walkB;
};

inline constexpr int kCubeEdgeCount = 12;
inline constexpr CubeEdge CubeEdgeTable[kCubeEdgeCount] = {
    {0, 5, 3, 1}, {5, 1, 3, 1}, {1, 4, 3, 1}, {4, 0, 3, 1}, {3, 5, 2, 0}, {5, 2, 2, 0},
    {2, 4, 2, 6}, {3, 4, 4, 0}, {0, 3, 4, 5}, {3, 1, 7, 0}, {1, 2, 6, 7}, {2, 0, 1, 6},
};

// Texel index (x, y -> y * N + x) of step k of a walk over a face of log2 size s.
std::uint32_t CubeWalkTexel(std::uint32_t walk, std::uint32_t log2Size, std::uint32_t k);

// Lowers the cube to a blur level: r = the level rounded (a fraction above 0.5 rounds up),
// n = s - r; nothing when n <= 0; else max(n / 2 - 1, 0) halvings, each followed by joining
// the edges, then 2 x (n - halvings) smoothing passes.
void TextureCubeBlurToLevel(TextureCube& cube, float level);

// Halves every face once (both directions) and marks the cube dirty. Nothing at size 1 x 1.
void TextureCubeHalve(TextureCube& cube);

// Sets both texels of every shared edge to their mean, then the three texels of every corner
// of the cube to theirs, so that every edge reads the same from both faces.
void TextureCubeJoinEdges(TextureCube& cube);

// One smoothing pass over the six faces, filtering the texels along each shared edge with
// their neighbours across it; marks the cube dirty. Nothing at size 1 x 1.
void TextureCubeSmoothPass(TextureCube& cube);

}  // namespace veskor
