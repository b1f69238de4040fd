#include "environment/cloud_drift.h"

namespace veskor {

void UpdateCloudDrift(EnvironmentState& state, float t) {
  for (int a = 0; a < 2; ++a) {
    state.highOffset[a] = t * state.highWind[a];
    state.lowOffset[a] = t * state.lowWind[a];
    state.cloudLow.puffDrift[a] = t * state.lowWind[a];
  }
  state.cloudLow.puffDrift[2] = 0.0f;
}

}  // namespace veskor
