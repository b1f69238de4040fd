// DirectionFromAngles: the unit direction of an azimuth (about the vertical axis, from +x
// towards +y) and an elevation (above the horizontal), both in radians. Used by the camera
// orbit and the view snapshots of the application shell.
#pragma once

#include <cmath>

namespace veskor {

inline void DirectionFromAngles(float azimuth, float elevation, float* direction) {
  const float horizontal = std::cos(elevation);
  direction[0] = std::cos(azimuth) * horizontal;
  direction[1] = std::sin(azimuth) * horizontal;
  direction[2] = std::sin(elevation);
}

}  // namespace veskor
