// The light-shaft sources of the low clouds, found by the low-cloud stage after the sun-view
// bake: the bright rim of every puff as seen from the sun (surface texels whose normal is
// almost perpendicular to the sun and whose baked light is bright), thinned out and turned into
// short segments across the sun, from which the light shafts are drawn.
#pragma once

#include <cstdint>

#include "environment/environment_state.h"

namespace veskor {

// Both scratch lists hold this many points; a puff of cube level 6 has 24,576 surface texels,
// so the candidates of a large bright puff can outnumber it.
inline constexpr std::uint32_t kShaftListCapacity = 2048;
// A kept point lies further than this from every point kept before it.
inline constexpr float kShaftSpacing = 150.0f;
// A texel is on the rim when its normal n has |n . S| below this.
inline constexpr float kShaftRimCosine = 0.1f;

// The scratch lists, shared by all puffs and refilled by each. The candidate count is
// ShaftCandidateCount (environment_state.h), which the layer reset zeroes.
struct ShaftCandidateList {
  float positions[kShaftListCapacity][3];
  float normals[kShaftListCapacity][3];
  float weights[kShaftListCapacity];
};
struct ShaftKeptList {
  float positions[kShaftListCapacity][3];
  float weights[kShaftListCapacity];
  float normals[kShaftListCapacity][3];
  float starts[kShaftListCapacity][3];
  float ends[kShaftListCapacity][3];
  std::uint32_t count;
};
extern ShaftCandidateList ShaftCandidates;
extern ShaftKeptList ShaftKept;

// For every texel of the puff's shape cube, face by face: n the surface normal over the texel
// (CornerPointsNormal). A texel with |n . S| < 0.1 and light red + green + blue > 1 is a
// candidate at the texel's surface point, weight (red + green + blue - 1) / 3. The first 2048
// are collected, in face and texel order; the rest are refused. Each candidate further than 150
// from every point kept before it is kept, with two random draws: its length l = 40 + 60 u, and
// a second draw that is not used; its segment runs from p - w l to p + w l, w = n x S. With any
// kept, the puff's shaftSegments hold exactly those segments (its block kept when their count is
// unchanged); with none, the array stays as it is. S is `sunDirection` (3 floats).
void BuildShaftSegments(CloudPuff& puff, const float* sunDirection);

}  // namespace veskor
