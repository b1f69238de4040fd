// EnvironmentState: the cloud data of the loaded world. The high-cloud layer (a tiling coverage
// texture and a cube of cloud colour and horizon fade), the low-cloud layer (up to 512 puffs in
// up to 64 clusters, a pair of cube textures a puff, the cloud shadow seen from the sun and the
// rasters it is computed in) and the drift that moves both layers. Refilled by the cloud stages
// of every render preparation, read by the sky passes, the puff drawing, the light shafts and
// the terrain passes every frame.
#pragma once

#include <cstdint>

#include "environment/puff_list.h"
#include "environment/sun_tile_camera.h"
#include "foundation/vm_array.h"
#include "gfx/texture_object.h"

namespace veskor {

inline constexpr std::uint32_t kMaxCloudPuffs = 512;
inline constexpr std::uint32_t kMaxCloudClusters = 64;
inline constexpr std::uint32_t kMaxClusterPuffs = 16;

// A light-shaft source on a puff's rim: ten floats.
struct ShaftSegment {
  float start[3];
  float end[3];
  float weight;
  float normal[3];
};

struct PuffCubePair {
  TextureCube shapeCube;  // 2 channels: radial scale of the surface, 1.0
  TextureCube lightCube;  // 3 channels: light colour of the surface
  float radius, halfHeight;
  float invRadius, invHalfHeight;
};

struct CloudPuff {
  VmArray shaftSegments;  // of ShaftSegment
  PuffCubePair* cubes;
  float bounds[6];  // x0, x1, y0, y1, z0, z1
  float centre[3];  // base + drift after each frame's update
  float base[3];    // as generated
  float radius;
  float halfHeight;
  float invRadius, invHalfHeight;
  float opacityFactor;
  float sunViewScale;
  // View state, recomputed for every view by the puff drawing.
  float viewAxis[3];
  float viewAngle;  // degrees
  float viewOpacity;
  float viewDepth, viewDistance;
  std::uint8_t meshLod;
};

struct CloudCluster {
  CloudPuff* puffs[kMaxClusterPuffs];  // the first is the root puff
  std::uint32_t puffCount;
  float bounds[6];
  float centre[3];
  float opacityFactor;
  float detailSixteenth;
};

struct CloudLowLayer {
  FloatTexture2D shadowTexture;  // 1 channel, 2^9 x 2^9: light let through, seen from the sun
  PuffCubePair puffCubes[kMaxCloudPuffs];
  std::uint32_t puffCubeCount;
  CloudPuff puffs[kMaxCloudPuffs];
  std::uint32_t puffCount;
  CloudCluster clusters[kMaxCloudClusters];
  std::uint32_t clusterCount;
  PuffList visibleList;
  float detail;  // the render session's low-cloud detail factor
  float detailSixteenth;
  TexturePixels depthAtlas;    // 1 channel, 2^10 x 2^10
  TexturePixels shadowRaster;  // 1 channel, 2^9 x 2^9
  float extent[4];             // x0, x1, y0, y1
  float bottom, top;
  SunTileCamera sunCamera;
  float shadowMatrix[16];
  float puffDrift[3];
};

struct EnvironmentState {
  FloatTexture2D highCloudTexture;  // 4 channels, 2^10 x 2^10
  TextureCube cloudCube;            // 4 channels, 2^7 a face
  float highWind[2];
  float highAltitude;
  float highExtent[2];
  CloudLowLayer cloudLow;
  std::uint32_t puffStatA, puffStatB;  // element counters of the puff drawing
  float lowWind[2];
  float lowAltitude;
  float lowTileExtent[2];
  float highOffset[2];
  float lowOffset[2];
  float highScale[2];
  float lowScale[2];

  // Empty textures and records, zero counts, the visible list's node block reserved.
  EnvironmentState();
  // Releases what lies below the counts, the ramp texture, the list and rasters, then the
  // textures.
  ~EnvironmentState();
  EnvironmentState(const EnvironmentState&) = delete;
  EnvironmentState& operator=(const EnvironmentState&) = delete;
};

// The program's state, constructed before the program starts and destroyed at normal exit.
// Large: other instances belong on the heap.
extern EnvironmentState gEnvironmentState;

// The puffs' shading ramp: 4 channels, 2^8 x 2^6, built on first use by the puff field.
extern FloatTexture2D PuffRampTexture;
extern std::uint32_t PuffRampBuilt;

// The candidate count of the light-shaft source builder (shaft_segments.h), zeroed with the
// layer.
extern std::uint32_t ShaftCandidateCount;

// Empties the low-cloud layer before the low clouds are generated, and at the start of every
// render session: stores the wind and altitude, zeroes the low offset, empties the visible
// list, releases the cubes and shaft segments of the records in use, sets every count to 0 and
// frees the ramp texture. Records at and above the counts are left as they are.
void EnvironmentResetCloudLow(EnvironmentState& state, float altitude, const float* velocity);

}  // namespace veskor
