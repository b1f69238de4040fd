// The sun-view bake of the low-cloud layer, run by the low-cloud stage once the puff field
// stands: the layer seen from the sun, tile by tile through the SunTileCamera, into the depth
// atlas; from it the cloud shadow over the terrain (shadowTexture through shadowMatrix) and a
// mask of the cloud edges; then the light colour of every puff's surface (lightCube), between
// CloudLow colorDark and colorLight by its orientation towards the sun and the cloud above it.
//
// It draws into whatever is current: the preparation's off-screen buffer (1024 x 800), else the
// window's back buffer, with as few tiles as the viewport allows (one read-back each). Without
// a current GL context (tests of the puff field) nothing is drawn and the atlas stays clear.
#pragma once

#include <cstdint>

#include "environment/environment_state.h"

namespace veskor {

// The depth atlas is 2^10 x 2^10 floats, the edge mask and the shadow texture 2^9 x 2^9.
inline constexpr std::uint32_t kDepthAtlasLog2 = 10;
inline constexpr std::uint32_t kShadowLog2 = 9;
// How far the view box reaches below the lowest cloud.
inline constexpr float kSunViewDepthMargin = 100.0f;
// The puff surfaces are drawn inflated by this factor.
inline constexpr float kSunViewInflation = 1.25f;

// The seams of the sun-view mesh: (face a, face b, walk on a, walk on b), walks as in
// CubeEdgeTable (gfx/texture_cube_blur.h), each edge walked the same way on both faces.
struct PuffSeam {
  std::uint8_t faceA, faceB, walkA, walkB;
};
inline constexpr PuffSeam PuffSeamTable[12] = {
    {0, 5, 7, 5}, {5, 1, 7, 5}, {1, 4, 7, 5}, {4, 0, 7, 5}, {3, 5, 2, 0}, {5, 2, 2, 0},
    {2, 4, 2, 6}, {3, 4, 4, 0}, {0, 3, 4, 5}, {3, 1, 7, 0}, {1, 2, 2, 3}, {2, 0, 1, 6},
};

// The whole bake: RenderSunDepthAtlas, ShadowFilter, shadowMatrix, LightPuffCubes, and the
// atlas and the edge mask released. Pointers to 3 floats each.
void BakePuffViews(CloudLowLayer& layer, const float* sunDirection, const float* colorLight,
                   const float* colorDark);

// Its first half: sizes the atlas, the edge mask and shadowTexture, plans the tiles within the
// current GL viewport and the shear along the sun, clears the atlas to 1.0 (nothing in front)
// and draws every tile and reads its depth back into its place.
void RenderSunDepthAtlas(CloudLowLayer& layer, const float* sunDirection);

// The puff in the current tile where its box may show there, and the copies of it one extent
// over where it reaches across an edge of the layer, seen along the sun.
void DrawPuffSunView(const CloudLowLayer& layer, const CloudPuff& puff);
// The puff's inflated surface moved by (dx, dy, dz): the face grids one level coarser than its
// cubes, the seams of PuffSeamTable and the four corner triangles around face 5.
void DrawPuffSunMesh(const CloudPuff& puff, float dx, float dy, float dz);

// shadowRaster: where no neighbour of the atlas lies more than 0.15 deeper (1, else 0), halved
// and softened four times; shadowTexture: 0.15 + 0.85 depth, halved and smoothed six times.
void ShadowFilter(CloudLowLayer& layer);

// Depth of cloud above the point along the sun (the atlas's depth there as a height, less z,
// not below 0), times the edge mask there. 0 while the atlas holds nothing and for a sun on or
// below the horizon.
float SunDepthAt(const CloudLowLayer& layer, float x, float y, float z);

// Every puff's light cube: w = 0.7 (1 - (0.3 a1 + 0.5 a3 + 0.2 a2)) k1 of colorLight, 1 - w of
// colorDark (w not clamped), a1 the surface normal, a2 the texel's direction on the ellipsoid
// and a3 the direction from the cluster's centre, each dotted with the sun direction, and
// k1 = 1 - SunDepthAt x 0.0025 within [0.75, 1].
void LightPuffCubes(CloudLowLayer& layer, const float* colorLight, const float* colorDark);

}  // namespace veskor
