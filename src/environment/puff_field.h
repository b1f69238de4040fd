// The low-cloud puff field: the clusters of puffs of the low-cloud layer, each puff an
// ellipsoid whose surface is shaped by 3-D noise kept in a small cube texture per puff, and the
// ramp texture that shades the puff slices. The low-cloud stage (cloud_low.h) lays the
// clusters out; every random draw comes from the program's generator in a fixed order, so a
// world gets the same clouds in every run.
#pragma once

#include <cstdint>

#include "environment/environment_state.h"
#include "gfx/texture_object.h"

namespace veskor {

// Cube levels of the puffs: faces of 2^4 to 2^6 texels.
inline constexpr std::uint32_t kPuffCubeMinLevel = 4;
inline constexpr std::uint32_t kPuffCubeMaxLevel = 6;

// Appends a cluster of `count` puffs around `centre` (x, y, z), spread over `size` (x and y
// spread, z spread), the root puff's radius and half height drawn from `radii`. The layer
// holds 512 puffs and 64 clusters, a cluster 16 puffs: a cluster gets at most the puffs that
// are left, and none is made once no puff (or no cluster) is left.
void BuildPuffField(CloudLowLayer& layer, std::uint32_t count, const float* centre,
                    const float* size, const float* radii, float opacityFactor, float granularity);

// Places member `index` of the cluster around member `parent`, at an elevation between `low`
// and `high` (radians), its radius and half height `sizeFactor` to `sizeFactor` + 0.15 of the
// parent's (the half height never above the radius), and fills its shape cube.
void AddChildPuff(CloudCluster& cluster, std::uint32_t index, std::uint32_t parent, float low,
                  float high, float granularity, float sizeFactor);

// Stores the radii and their reciprocals, sizes the shape cube (2 channels) and the light cube
// (3 channels) to faces of 2^level texels, and builds the ramp texture when it is not built.
void InitPuffCubes(PuffCubePair& pair, float radius, float halfHeight, std::uint32_t level);

// Channel 0 of each shape-cube texel: 0.6 + 0.22 (n(k p) + n(2k p)), n the noise of NoiseAt,
// k = 0.00256 (granularity + 1), p the point of the pair's ellipsoid around `position` in the
// texel's direction; channel 1: 1.0. Then the edges are averaged.
void FillShapeCube(PuffCubePair& pair, const float* position, float granularity);

// Averages the texels two faces share along the 12 edges of the cube (CubeEdgeTable): step k
// of every edge in table order before step k + 1, each pair taking its mean in turn. A texel at
// a corner of the cube lies on three edges and is averaged again by the later ones, so the
// pairs of the end steps may differ afterwards; every other pair is equal.
void CubeEdgeAverage(TextureCube& cube);

// The members' bounds (centre +- radius, radius, half height), their union as the cluster's
// bounds and its middle as the cluster's centre.
void ClusterBounds(CloudCluster& cluster);

// Ramp of the puff slices: 4 channels, 2^8 x 2^6 texels. Row y, column x: white, alpha 0 up to
// s = e, rising as 1 - cos over (e, 0.5), 1 from s = 0.5; s = (x + 0.5) / 256, e = 0.5 - y / 128.
// With a current GL context it is uploaded at once and its CPU pixels are released; without
// one (tests) they stay for the first bind. Sets PuffRampBuilt.
void BuildPuffRamp();

// The level of a puff's cubes for its radius: LodLevelFromSize of 2 radius detailSixteenth,
// clamped to the puff cube levels.
std::uint32_t PuffCubeLevel(float radius, float detailSixteenth);

}  // namespace veskor
