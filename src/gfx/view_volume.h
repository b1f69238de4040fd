// View-volume tests: can an axis-aligned box, or one axis-aligned face of a box or grid cell, be
// seen by a Camera? They read only the planes CameraFrustumPlanes stored at the camera's last
// application, and run for every grid cell, box and cloud puff of every frame: no square
// roots, and they stop at the first rejecting plane and the first accepted face.
//
// A point X is inside a side plane with normal n when n . (X - position) <= 0, inside the far
// plane when farNormal . (X - farCentre) <= 0; a NaN counts as outside. A plane rejects a
// rectangle only when all four corners are outside it. The box test can therefore accept a box
// that lies outside the view volume near one of its edges.
#pragma once

#include <cstdint>

#include "gfx/camera.h"

namespace veskor {

// The five planes, in the order the tests try them.
enum FrustumPlane : std::uint32_t {
  kFrustumLeft,
  kFrustumRight,
  kFrustumBottom,
  kFrustumTop,
  kFrustumFar,
};

// The axis a rectangle is perpendicular to. It spans the two other axes in the order x, y, z.
enum FaceAxis : std::uint32_t { kFaceX, kFaceY, kFaceZ };

// 0 when the plane rejects the rectangle at coordinate f on the face axis spanning a0..a1 and
// b0..b1 on the other two, else 1.
std::uint32_t PlaneRectTest(const Camera& camera, FaceAxis axis, FrustumPlane plane, float f,
                            float a0, float b0, float a1, float b1);

// 1 when no plane rejects the rectangle x = x (y0..y1, z0..z1), y = y (x0..x1, z0..z1) or
// z = z (x0..x1, y0..y1).
std::uint32_t CellFrustumTest(const Camera& camera, float x, float y0, float z0, float y1,
                              float z1);
std::uint32_t CellFrustumTest2(const Camera& camera, float y, float x0, float z0, float x1,
                               float z1);
std::uint32_t CellFrustumTest3(const Camera& camera, float z, float x0, float y0, float x1,
                               float y1);

// 1 when the box (min corner, max corner) may be visible: its top is above FogFloorHeight and
// one of its faces (x0, x1, y0, y1, z0, z1 in that order) is rejected by no plane.
std::uint32_t ViewVolumeTestBox(const Camera& camera, float x0, float y0, float z0, float x1,
                                float y1, float z1);
inline std::uint32_t ViewVolumeTestBox2(const Camera& camera, float x0, float y0, float z0,
                                        float x1, float y1, float z1) {
  return ViewVolumeTestBox(camera, x0, y0, z0, x1, y1, z1);
}

}  // namespace veskor
