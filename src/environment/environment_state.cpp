#include "environment/environment_state.h"

namespace veskor {

// The ramp is defined before the state so that it is destroyed after it: the state's
// destructor frees it.
FloatTexture2D PuffRampTexture;
std::uint32_t PuffRampBuilt = 0;
std::uint32_t ShaftCandidateCount = 0;
EnvironmentState gEnvironmentState;

namespace {

void FreePuffRamp() {
  if (PuffRampBuilt == 0) return;
  TextureFree(PuffRampTexture);
  PuffRampBuilt = 0;
}

// The cubes of the pairs in use and the shaft segments of the puffs in use; every count 0.
void ReleaseUsedRecords(CloudLowLayer& layer, bool clearPuffs) {
  for (std::uint32_t i = 0; i < layer.puffCubeCount; ++i) {
    TextureCubeRelease(layer.puffCubes[i].shapeCube);
    TextureCubeRelease(layer.puffCubes[i].lightCube);
  }
  for (std::uint32_t i = 0; i < layer.puffCount; ++i) {
    CloudPuff& puff = layer.puffs[i];
    VmArrayRelease(puff.shaftSegments);
    if (clearPuffs) {
      puff.cubes = nullptr;
      puff.radius = 0.0f;
      puff.halfHeight = 0.0f;
    }
  }
  for (std::uint32_t i = 0; i < layer.clusterCount; ++i) layer.clusters[i].puffCount = 0;
  layer.puffCubeCount = 0;
  layer.puffCount = 0;
  layer.clusterCount = 0;
}

}  // namespace

EnvironmentState::EnvironmentState()
    : highWind{}, highAltitude(0), highExtent{30000.0f, 30000.0f}, puffStatA(0), puffStatB(0),
      lowWind{}, lowAltitude(0), lowTileExtent{}, highOffset{}, lowOffset{}, highScale{},
      lowScale{1.0f / 8192.0f, 1.0f / 8192.0f} {
  CloudLowLayer& layer = cloudLow;
  for (CloudPuff& puff : layer.puffs) {
    puff = CloudPuff{};
    VmArrayInit(puff.shaftSegments);
  }
  for (CloudCluster& cluster : layer.clusters) cluster = CloudCluster{};
  for (PuffCubePair& pair : layer.puffCubes) {
    pair.radius = pair.halfHeight = pair.invRadius = pair.invHalfHeight = 0.0f;
  }
  layer.puffCubeCount = layer.puffCount = layer.clusterCount = 0;
  PuffListInit(layer.visibleList);
  layer.detail = 1.0f;
  layer.detailSixteenth = 1.0f / 16.0f;
  layer.depthAtlas = TexturePixels{};
  layer.shadowRaster = TexturePixels{};
  for (float& v : layer.extent) v = 0.0f;
  layer.bottom = layer.top = 0.0f;
  layer.sunCamera = SunTileCameraDefaults();
  for (float& v : layer.shadowMatrix) v = 0.0f;
  for (float& v : layer.puffDrift) v = 0.0f;
  PuffListReserve(layer.visibleList, kPuffListNodes);
}

EnvironmentState::~EnvironmentState() {
  CloudLowLayer& layer = cloudLow;
  PuffListReset(layer.visibleList);
  ReleaseUsedRecords(layer, false);
  FreePuffRamp();
  PuffListRelease(layer.visibleList);
  TexturePixelsRelease(layer.shadowRaster);
  TexturePixelsRelease(layer.depthAtlas);
  // The record arrays, shadowTexture, cloudCube and highCloudTexture are released by their own
  // destructors, in that order.
}

void EnvironmentResetCloudLow(EnvironmentState& state, float altitude, const float* velocity) {
  state.lowOffset[0] = state.lowOffset[1] = 0.0f;
  state.lowWind[0] = velocity[0];
  state.lowWind[1] = velocity[1];
  state.lowAltitude = altitude;
  CloudLowLayer& layer = state.cloudLow;
  PuffListReset(layer.visibleList);
  ReleaseUsedRecords(layer, true);
  ShaftCandidateCount = 0;
  FreePuffRamp();
}

}  // namespace veskor
