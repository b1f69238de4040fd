#include "gfx/view_volume.h"

#include "gfx/fog_floor.h"

namespace veskor {

namespace {

struct PlaneOf {
  const float* normal;
  const float* origin;
};

PlaneOf Plane(const Camera& c, FrustumPlane plane) {
  switch (plane) {
    case kFrustumLeft:
      return {c.planeLeft, c.position};
    case kFrustumRight:
      return {c.planeRight, c.position};
    case kFrustumBottom:
      return {c.planeBottom, c.position};
    case kFrustumTop:
      return {c.planeTop, c.position};
    case kFrustumFar:
      break;
  }
  return {c.farNormal, c.farCentre};
}

// The axes a face spans, in the order x, y, z.
constexpr std::uint32_t kSpanA[3] = {1, 0, 0};
constexpr std::uint32_t kSpanB[3] = {2, 2, 1};

bool Inside(const PlaneOf& p, const float* point) {
  const float v = (point[0] - p.origin[0]) * p.normal[0] + (point[1] - p.origin[1]) * p.normal[1] +
                  (point[2] - p.origin[2]) * p.normal[2];
  return v <= 0;  // false for NaN
}

std::uint32_t RectTest(const Camera& camera, FaceAxis axis, float f, float a0, float b0, float a1,
                       float b1) {
  for (std::uint32_t plane = kFrustumLeft; plane <= kFrustumFar; ++plane) {
    if (PlaneRectTest(camera, axis, static_cast<FrustumPlane>(plane), f, a0, b0, a1, b1) == 0) {
      return 0;
    }
  }
  return 1;
}

}  // namespace

std::uint32_t PlaneRectTest(const Camera& camera, FaceAxis axis, FrustumPlane plane, float f,
                            float a0, float b0, float a1, float b1) {
  const PlaneOf p = Plane(camera, plane);
  const float corners[4][2] = {{a0, b0}, {a0, b1}, {a1, b0}, {a1, b1}};
  float point[3];
  point[axis] = f;
  for (const auto& corner : corners) {
    point[kSpanA[axis]] = corner[0];
    point[kSpanB[axis]] = corner[1];
    if (Inside(p, point)) return 1;
  }
  return 0;
}

std::uint32_t CellFrustumTest(const Camera& camera, float x, float y0, float z0, float y1,
                              float z1) {
  return RectTest(camera, kFaceX, x, y0, z0, y1, z1);
}

std::uint32_t CellFrustumTest2(const Camera& camera, float y, float x0, float z0, float x1,
                               float z1) {
  return RectTest(camera, kFaceY, y, x0, z0, x1, z1);
}

std::uint32_t CellFrustumTest3(const Camera& camera, float z, float x0, float y0, float x1,
                               float y1) {
  return RectTest(camera, kFaceZ, z, x0, y0, x1, y1);
}

std::uint32_t ViewVolumeTestBox(const Camera& camera, float x0, float y0, float z0, float x1,
                                float y1, float z1) {
  if (z1 <= FogFloorHeight) return 0;
  const bool visible = CellFrustumTest(camera, x0, y0, z0, y1, z1) != 0 ||
                       CellFrustumTest(camera, x1, y0, z0, y1, z1) != 0 ||
                       CellFrustumTest2(camera, y0, x0, z0, x1, z1) != 0 ||
                       CellFrustumTest2(camera, y1, x0, z0, x1, z1) != 0 ||
                       CellFrustumTest3(camera, z0, x0, y0, x1, y1) != 0 ||
                       CellFrustumTest3(camera, z1, x0, y0, x1, y1) != 0;
  return visible ? 1 : 0;
}

}  // namespace veskor
