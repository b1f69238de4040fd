// The camera steering of the root plane: the mouse-look steps from a drag, the angles of a
// direction, the examine orbit around a point, the free-flight turn and tilt and the return of
// the roll after a drag. Angles in degrees unless named radians.
#pragma once

#include "gfx/camera.h"

namespace veskor {

// Turn, tilt and roll rates per second of the mouse look, per unit of drag offset.
inline constexpr float kMouseYawRate = 250.0f;
inline constexpr float kMousePitchRate = -125.0f;
inline constexpr float kMouseRollRate = 2500.0f;
// The orbit's elevation stays this far (radians) from straight up or down: pi/2 - 0.05.
inline constexpr float kOrbitElevationMax = 1.5207964f;
// Below this distance from its target (or horizontal length of a direction) the orbit leaves
// the camera where it is and a direction's azimuth is 0.
inline constexpr float kOrbitMinLength = 1e-4f;
// The roll returns to level by this many degrees a frame.
inline constexpr float kRollReturnStep = 5.0f;

// yaw = 250 AverageFrameTime dx, pitch = -125 AverageFrameTime dy, roll = 2500
// AverageFrameTime dx (degrees).
void MouseLookSteps(float dx, float dy, float* yaw, float* pitch, float* roll);
// Of a unit direction: azimuth = acos(x / |(x, y)|), negated when y < 0 (0 for a vertical
// direction), elevation = asin(z); radians.
void DirectionAngles(const float* direction, float* azimuth, float* elevation);

// One frame of the examine orbit around `target`: the camera keeps its distance, its azimuth
// moves by `yaw` (wrapped into [0, 2 pi)), its elevation by `pitch` (held within the limit),
// and it looks at the target. A camera on the target stays where it is.
void OrbitStep(Camera& camera, const float* target, float yaw, float pitch);
// Turns the view direction about the vertical axis by `degrees` (positive turns right).
void TurnCamera(Camera& camera, float degrees);
// Tilts the view direction towards the camera's up vector by `degrees` (negative looks down).
void TiltCamera(Camera& camera, float degrees);
// Sets the camera's roll to `degrees` and applies it.
void RollCamera(Camera& camera, float degrees);
// `roll` moved 5 degrees towards 0 (to 0 when nearer).
float RollReturn(float roll);

}  // namespace veskor
