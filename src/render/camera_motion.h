// Camera transitions: once per frame, before the camera is applied and the scene drawn, the
// main plane's frame moves the world's current camera towards the target the shell selected
// (one of the world's cameras, examine points or stored views), a fixed distance per frame,
// blending direction, roll, far distance and focal angle, until it arrives.
#pragma once

#include "language/world.h"

namespace veskor {

// A step below this takes the target at once every frame, and the target stays selected.
inline constexpr float kTransitionInstantStep = 0.0005f;
// A transition ends in the frame whose step covers this share of the remaining way or more.
inline constexpr float kTransitionArrival = 0.9998f;
// The far distance of a blended camera stays within these bounds.
inline constexpr float kTransitionFarMin = 1.0f;
inline constexpr float kTransitionFarMax = 12000.0f;
// Below this horizontal length a direction has no yaw, below this distance from an examine
// point's centre a camera has no bearing around it; the previous angles are kept then.
inline constexpr float kTransitionAngleEpsilon = 1e-6f;

// The frame's entry: CameraMotionUpdate.
void CameraStepWrapper(World& world);

// Advances the pending transition, if any. The target index runs over the cameras, then the
// examine points, then the stored views; any other index, and an idle world (-1), do nothing.
void CameraMotionUpdate(World& world);

}  // namespace veskor
