// The drift of both cloud layers with the wind: once per view drawn with moving time, the
// frame time becomes the offsets that the sky passes, the terrain passes and the puff update
// add. The offsets are time x velocity, never accumulated, so a change of frame rate or a
// skipped frame never moves the clouds apart.
#pragma once

#include "environment/environment_state.h"

namespace veskor {

// highOffset = t highWind, lowOffset = t lowWind, puffDrift = (lowOffset, 0); t in seconds.
void UpdateCloudDrift(EnvironmentState& state, float t);

}  // namespace veskor
