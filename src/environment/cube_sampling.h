// Reading the puff cube textures on the CPU: the face and face coordinates of a direction, the
// bilinear sample of one face, the sample of a cube in a direction, the corner directions of a
// cube texel, and the surface point and normal of a puff. The sun-view bake, the light-shaft
// sources and the sun's ray query read the shape cubes through these.
//
// A direction q is looked up on the face of its major axis (ties go to x before y before z):
//   +x face 1: s = -q.z, t = -q.y    -x face 0: s =  q.z, t = -q.y
//   +y face 3: s =  q.x, t =  q.z    -y face 2: s =  q.x, t = -q.z
//   +z face 5: s =  q.x, t = -q.y    -z face 4: s = -q.x, t = -q.y
// divided by the major component's magnitude m, then (u, v) = ((s / m + 1) / 2, (t / m + 1) / 2).
// This is the inverse of the face mapping the cubes are filled with (sky_model.h,
// CubeFaceDirection), so the direction of a texel centre finds that texel.
#pragma once

#include <cstdint>

#include "environment/environment_state.h"
#include "gfx/texture_object.h"

namespace veskor {

// The face of q and its coordinates (u, v), not clamped. A zero direction gives face 1 and
// coordinates that are not numbers (SampleFaceBilinear reads those as 0).
std::uint32_t CubeLookup(const float* q, float* u, float* v);

// Bilinear sample of every channel of a face of float texels at (u, v), each clamped to
// [0, 1], less half a texel, the texel indices clamped to the face: the texels of the border
// hold their value out to the face's edge.
void SampleFaceBilinear(const TexturePixels& face, float u, float v, float* out);

// Every channel of the cube in the direction (CubeLookup, then SampleFaceBilinear).
void CubeSample(const TextureCube& cube, const float* direction, float* out);

// The world directions of the four corners of texel `texel` (y 2^L + x) of face `face`: c10
// is the next corner along the row, c01 the next along the column.
void CubeTexelCorners(const TextureCube& cube, std::uint32_t face, std::uint32_t texel, float* c00,
                      float* c10, float* c01, float* c11);

// The point of the puff surface (around the origin) in `direction`: direction s (r, r, h), s
// the shape cube's channel 0 sampled there, r and h the pair's radius and half height.
void CubeSurfacePoint(const PuffCubePair& pair, const float* direction, float* out);

// The unit outward normal of the puff surface over the texel: with p = v s(v) (r, r, h) at
// each corner direction v (s the shape cube's channel 0 there), (p01 - p10) x (p11 - p00).
void CubeSurfaceNormal(const PuffCubePair& pair, std::uint32_t face, std::uint32_t texel,
                       float* out);

// The same for every texel of a face at once: the surface points over the face's
// (2^L + 1)^2 corners, row by row (3 floats each), taken once, and the normal of texel (x, y)
// from the four around it. The results equal CubeSurfaceNormal's.
void CubeCornerPoints(const PuffCubePair& pair, std::uint32_t face, float* points);
void CornerPointsNormal(const float* points, std::uint32_t level, std::uint32_t texel, float* out);

}  // namespace veskor
