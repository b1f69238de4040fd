// Water mirrors: each Portal of the portal table (geometry/portal.h) sees the world mirrored in
// its water plane. Every frame the scene draw asks each one whether its rectangle can be seen
// (PortalBeginView, which also sets up the mirrored camera), draws the scene from the mirrored
// camera when it can, lays the overlay over the mirrored water (PortalOverlay) and copies the
// result into the reflection texture (PortalCopyTexture), which the water surface pass blends
// over the water of the main view.
#pragma once

#include <cstdint>

#include "geometry/portal.h"
#include "gfx/camera.h"
#include "gfx/texture_object.h"

namespace veskor {

// The scale of the mirrored views against the window; the render session stores it from the
// portal level-of-detail setting.
extern float PortalDetail;

// A point is inside a plane (a, b, c, d) when a x + b y + c z + d >= 0. Edges within this of
// parallel to the plane are not cut.
inline constexpr float kPortalParallelLimit = 0.0005f;
// Pixels of guard band per unit of bumpScale on boards with texture shaders.
inline constexpr float kPortalGuardPerBump = 40.0f;
inline constexpr float kPortalFarMin = 1.0f;
inline constexpr float kPortalFarMax = 12000.0f;

using PortalPoint = float[3];

// Clips the closed polygon of n points against the plane and appends the result to the
// portal's polygon (the caller has emptied it). Nothing is appended for n < 2. A point equal
// to the one appended before it is dropped, and nothing is appended beyond the polygon's 16
// points.
void PortalClipPlane(Portal& portal, const float* plane, const PortalPoint* points,
                     std::uint32_t n);
// The clipper's two inputs: the water rectangle (x0, y0), (x0, y1), (x1, y1), (x1, y0) at the
// altitude, or a copy of the current polygon. `points` holds 16 points.
void PortalStartQuad(const Portal& portal, PortalPoint* points, std::uint32_t& n);
void PortalCopyPolygon(const Portal& portal, PortalPoint* points, std::uint32_t& n);
// Appends points[i] (1 - t) + points[i + 1] t, the point after the last being points[0].
void PortalEmitPoint(Portal& portal, const PortalPoint* points, std::uint32_t n, std::uint32_t i,
                     float t);

// Stores the view, clips the water rectangle to its view volume and sets up the mirrored
// camera (PortalCamera). Returns and stores the visible flag. Whatever it returns, the caller
// ends the mirror with PortalCopyTexture.
std::uint32_t PortalBeginView(Portal& portal, Camera* view);
// Builds the mirrored camera from the view, overrides the fog values for the mirrored view
// (kept in the mirrored camera), pushes and sets both GL matrices and the mirrored viewport,
// narrows the mirrored camera's bounds to the water's screen area and writes the pixel
// rectangle and view scale. Returns 0, with everything pushed and changed, when the mirrored
// viewport does not fit the reflection texture or fewer than 3 clipped points are left.
std::uint32_t PortalCamera(Camera& mirrored, const Camera& view, const Texture2D& reflection,
                           Portal& portal, float bumpScale, const PortalPoint* polygon,
                           std::uint32_t count, std::int32_t* pixelRect, float& viewScale);
// The camera's projection-window bounds.
void CameraSetBounds(Camera& camera, float xmin, float ymin, float xmax, float ymax);
// When visible: copies the mirrored view (with its guard band, clamped to the viewport and to
// the texture) into the reflection texture at the same texel positions and clears the
// buffers. Always: pops both matrices, restores the viewport and the fog values, and puts the
// mirrored camera back on the whole window.
void PortalCopyTexture(Portal& portal);
// On boards with texture shaders and at least 3 texture units: the tinted overlay over the
// water inside the mirrored view. Leaves the GL state as it found it.
void PortalOverlay(Portal& portal);

// The members the water stage of the render preparation fills.
struct PortalAccessors {
  static FloatTexture2D* FirstReadBack(Portal& p) { return &p.readBack[0]; }
  static FloatTexture2D* SecondReadBack(Portal& p) { return &p.readBack[1]; }
  static float* OpacityB2(Portal& p) { return &p.opacityB2; }
  static float* OpacityA2(Portal& p) { return &p.opacityA2; }
  static float* UInset(Portal& p) { return &p.uInset; }
  static float* VInset(Portal& p) { return &p.vInset; }
  static Portal* Self(Portal& p) { return &p; }
};

}  // namespace veskor
