// The environment capture: renders the scene around one item into the six faces of its
// environment cube, seen from the centre of the item's box. The faces are drawn into the
// current frame buffer (the window's back buffer during the render preparation) in a square
// whose lower left corner is at pixel (4, 4), one after the other, and read back as floats
// clamped into [0, 1]. The environment stage of the render preparation calls, per item:
// CameraInit, CaptureEnvironment, then for faces 0 to 5 BeginEnvironmentFace, SceneDraw,
// ReadEnvironmentFace, EndEnvironmentFace; then the mip chain, the upload and
// EndEnvironmentCapture.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "gfx/lod_boxes.h"
#include "gfx/texture_object.h"

namespace veskor {

// The lower left pixel of the face square; also the margin the window keeps around it.
inline constexpr std::int32_t kCaptureOrigin = 4;
// Faces are at most 2^9 = 512 texels a side.
inline constexpr std::uint32_t kCaptureMaxLog2 = 9;
inline constexpr float kCaptureFar = 4096.0f;
inline constexpr float kCaptureFocalAngle = 90.0f;
// The window size taken while the plane-size switch is off.
inline constexpr std::int32_t kDefaultPlaneWidth = 600;
inline constexpr std::int32_t kDefaultPlaneHeight = 400;

// On (1, the start value): pixel rectangles and the face size follow the camera's window;
// off: the window is taken as 600 x 400 whatever its real size.
extern std::uint32_t PlaneSizeSwitch;
// log2 of the face size of the last CaptureEnvironment.
extern std::uint32_t EnvironmentCaptureLog2;

// The face table: view direction and up vector of each face (faces as the cube numbers them:
// -x, +x, -y, +y, -z, +z).
struct CaptureFaceAxes {
  float direction[3];
  float up[3];
};
inline constexpr CaptureFaceAxes kCaptureFaces[6] = {
    {{-1, 0, 0}, {0, 0, 1}}, {{1, 0, 0}, {0, 0, -1}},  {{0, -1, 0}, {1, 0, 0}},
    {{0, 1, 0}, {1, 0, 0}},  {{0, 0, -1}, {-1, 0, 0}}, {{0, 0, 1}, {1, 0, 0}},
};

// log2 of the face size for a detail level in a window of width x height pixels: level - 2
// (at least 0), lowered until the face fits with 4 pixels to spare on both axes and has at
// most 512 texels a side. It never goes below 0, so a window narrower or lower than 5 pixels
// gets 1 x 1 texel faces.
std::uint32_t EnvironmentFaceLog2(std::uint32_t level, std::int32_t width, std::int32_t height);

// Sets the camera's viewport rectangle from inclusive pixel corners: pixel rectangle, aspect,
// whole-window flag and the viewport fractions of the window (see PlaneSizeSwitch).
void CameraSetPixelRect(Camera& camera, std::int32_t x0, std::int32_t y0, std::int32_t x1,
                        std::int32_t y1);

// Prepares the camera and the cube for the box (x0, y0, z0)-(x1, y1, z1): capture state, the
// camera at the box centre, far 4096, 90 degrees; the face size from the finest level the
// range's boxes ask of an item of the box's size there (its minimum level when the range has
// no boxes); the cube's faces resized to 3 channels of that size, what its last upload
// counted in the texture memory subtracted, a slot taken; the camera's pixel rectangle the
// face square.
void CaptureEnvironment(Camera& camera, const LodRange& range, TextureCube& cube, float x0,
                        float y0, float z0, float x1, float y1, float z1);
// Points the camera at a face, applies it and clears colour, depth and stencil.
void BeginEnvironmentFace(Camera& camera, std::uint32_t face);
// Pushes the projection and modelview matrices of the face's view and sets its viewport.
void ApplyFaceCamera(Camera& camera, std::uint32_t face);
// Finishes the drawing, pops both matrices (the modelview stays current) and puts back the
// viewport the face replaced.
void EndEnvironmentFace(Camera& camera);
// Reads the face square into the cube's face (rows bottom first) and clamps it into [0, 1].
// A face above 5, or a cube whose face does not have the square's size, is left alone.
void ReadEnvironmentFace(Camera& camera, TextureCube& cube, std::uint32_t face);
// Ends the capture state.
void EndEnvironmentCapture(Camera& camera);

}  // namespace veskor
