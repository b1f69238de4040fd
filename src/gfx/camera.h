// Camera: the perspective view of the program. An eye position, a unit view direction, a roll
// about it, a vertical focal angle, a far distance and the part of the current OpenGL viewport
// it draws into. CameraApply turns it into the GL projection and modelview matrices and then
// stores, in the record itself, the view volume that the culling, the sky and the renderer
// read directly: side and far planes, corner rays, the far rectangle, the sky quadrilateral
// above the horizon, a box around the view volume and the clip matrix.
//
// World coordinates have z up. Angles of view are in degrees, the roll in radians. A camera is
// a plain record, copied whole wherever a view is stored or restored.
#pragma once

#include <cstdint>

#include "gfx/view_plane.h"

namespace veskor {

// Modes: look-at (direction and roll as stored), or 0..5 for the six faces of a cube, whose
// direction and right axis CameraApply takes from the face table.
inline constexpr std::int32_t kCameraLookAt = -1;

struct Camera {
  std::int32_t mode = kCameraLookAt;
  std::uint32_t faceVariant = 0;  // nonzero: the other direction of faces 4 and 5
  float position[3] = {0, -4, 0};
  float direction[3] = {0, 1, 0};  // unit length
  float right[3] = {};             // horizontal (z = 0), unit length
  float up[3] = {};                // right x direction
  float rolledRight[3] = {};       // cos(roll) right - sin(roll) up
  float rolledUp[3] = {};          // cos(roll) up + sin(roll) right: the look-at up vector
  float roll = 0;
  float aspect = 1;  // width / height of the drawn rectangle in pixels
  float depth = 1000;
  float focalAngle = 80;  // vertical field of view of the image within the guard band
  float fovy = 80;        // vertical field of view given to the projection
  std::int32_t guardPixels = 0;
  float guardOffset[2] = {};  // guardPixels / viewport height, twice
  float guardSpan[2] = {};    // 1 - 2 guardPixels / viewport height, twice
  float windowX0 = 0, windowX1 = 1, windowY0 = 0, windowY1 = 1;  // fractions of the viewport
  std::uint32_t wholeWindow = 1;          // 1: draws into the whole viewport and never changes it
  float imageBounds[4] = {-1, 1, -1, 1};  // x0, x1, y0, y1 of the image the volume covers
  std::int32_t pixelRect[4] = {};         // x, y, width, height
  std::int32_t savedViewport[4] = {};
  ViewPlane* owner = nullptr;                      // stored and returned, never dereferenced here
  std::int32_t cachedWidth = 0, cachedHeight = 0;  // viewport size of the last aspect
  // Outward normals of the side planes, which pass through the position: a point X is inside
  // a plane when n . (X - position) <= 0.
  float planeLeft[3] = {}, planeRight[3] = {}, planeTop[3] = {}, planeBottom[3] = {};
  float farNormal[3] = {};  // the direction
  float farCentre[3] = {};  // position + depth direction
  // The view rectangle at unit distance, left-bottom, left-top, right-bottom, right-top; the
  // unit rays to it; the same rays at depth - 14.
  float corners[4][3] = {};
  float cornerRays[4][3] = {};
  float farCorners[4][3] = {};
  // The part of the view above the horizon at depth - 30: horizon-left, top-left,
  // horizon-right, top-right; valid while skyVisible is 1.
  float skyPoints[4][3] = {};
  float skyRays[4][3] = {};
  std::uint32_t skyVisible = 0;
  std::uint32_t captureFace = 0;   // 1 for the environment-capture faces
  float viewBox[6] = {};           // min x, max x, min y, max y, min z, max z
  float clipMatrix[16] = {};       // projection x modelview, column-major
  float savedFog[6] = {};  // the water-mirror view keeps the six fog values here
  std::uint32_t thumbLog2Width = 0, thumbLog2Height = 0;  // bookmark thumbnail size

  // Position (0, -4, 0) looking along +y, 80 degrees, depth 1000, the whole viewport; the
  // frame steps fill the axes.
  Camera();
};

// The near plane of every perspective projection.
inline constexpr float kCameraNearPlane = 1.0f;

// Stores the owner and takes the whole current GL viewport: fractions 0..1, aspect and pixel
// rectangle from the viewport, image bounds -1..1, look-at mode.
void CameraInit(Camera& camera, ViewPlane* owner);
// As CameraInit without touching the owner and the mode.
void CameraSetFullViewport(Camera& camera);
// Part of the current GL viewport, as fractions: aspect, whole-window flag and pixel rectangle.
void CameraSetViewport(Camera& camera, float x0, float y0, float x1, float y1);

// True when position, direction, focal angle, roll and depth each differ by less than 0.0005.
bool CameraEquals(const Camera& a, const Camera& b);
inline ViewPlane* CameraTag(const Camera& camera) { return camera.owner; }

void CameraSetPosition(Camera& camera, float x, float y, float z);
// Look-at mode along the direction, then the frame steps. A zero (or not finite) direction
// keeps the camera's direction.
void CameraSetDirection(Camera& camera, float dx, float dy, float dz);
// Looks at the target point (the mode stays), then the frame steps. A target at the position
// keeps the camera's direction; a target however near or far gives its direction.
void CameraSetLookAt(Camera& camera, float tx, float ty, float tz);

// The frame steps, run in this order after the direction or the roll changed (after the roll
// alone CameraApplyRoll suffices). A direction of zero length becomes the default (0, 1, 0).
void CameraNormalizeDirection(Camera& camera);
void CameraComputeRight(Camera& camera);
void CameraComputeUp(Camera& camera);
void CameraApplyRoll(Camera& camera);
void CameraFrameSteps(Camera& camera);

// The direction of `v` into `d`, ready to be normalised (NormalizeViewDirection,
// KernelNormalize3): as it is when its squared length in float is a normal float, else divided
// by its largest component first (so that neither a component beyond about 1.8e19 nor one
// below about 1.1e-19 is lost in a square). `v` is given in double so that the difference of
// two floats neither overflows nor rounds differently. False, `d` untouched, when `v` is zero
// or not finite.
bool DirectionFromVector(const double* v, float* d);

// The frame steps on plain vectors, shared with the ortho camera. The horizontal right axis
// of a view direction d is (d.y, -d.x, 0) / |(d.x, d.y)|, and for a view straight up or down
// (1, 0, 0) or (-1, 0, 0) by the sign of d.y.
void NormalizeViewDirection(float* d);
void RightAxisFromDirection(const float* d, float* right);
void UpAxis(const float* right, const float* d, float* up);
void RollAxes(const float* right, const float* up, float roll, float* rolledRight, float* rolledUp);
// The four steps in their order, on a view with direction, right, up, roll, rolledRight and
// rolledUp fields: the frame steps of the Camera and of the OrthoCamera alike.
template <typename View>
void ViewFrameSteps(View& view) {
  NormalizeViewDirection(view.direction);
  RightAxisFromDirection(view.direction, view.right);
  UpAxis(view.right, view.direction, view.up);
  RollAxes(view.right, view.up, view.roll, view.rolledRight, view.rolledUp);
}

// fovy, guardOffset and guardSpan from focalAngle, guardPixels and cachedHeight. The band is
// held below half the height, so the field of view stays below 180 degrees.
void CameraGuardBand(Camera& camera);

// Pushes and sets both GL matrices (gluPerspective, gluLookAt), the viewport when the camera
// draws into part of it, and the depth range; then CameraFrustumPlanes.
void CameraApply(Camera& camera);
// Pops both matrices, puts back the viewport CameraApply replaced; the modelview stays current.
void CameraRestore(Camera& camera);

// Every derived field from the current GL matrices and the camera's fields.
void CameraFrustumPlanes(Camera& camera);
// The same from given projection and modelview matrices (column-major).
void CameraFrustumFromMatrices(Camera& camera, const float* projection, const float* modelview);

}  // namespace veskor
