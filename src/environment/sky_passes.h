// The sky passes: drawn after the terrain, the objects and the water of every full view, each
// a single quad over the view. The dome looks the sky cube up through the view's corner rays
// and shows only where the frame's destination alpha says nothing stands in front of the sky;
// the high cloud layer lays the coverage texture on the plane of its altitude, with
// perspective-correct coordinates, over the part of the view above the horizon. The render
// preparation fills the list; the scene draw draws its entries in order.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "platform/gl.h"

namespace veskor {

enum : std::uint32_t {
  kSkyPassDome = 1,            // the sky dome
  kSkyPassFlag4 = 2,           // draws nothing
  kSkyPassCloudLayer = 3,      // the high cloud layer, general path
  kSkyPassCloudCompanion = 4,  // draws nothing
  kSkyPassCloudFourUnits = 5,  // the high cloud layer, path of boards with four units
  kSkyPassFlag2 = 6,           // draws nothing
};

// The dome's blend leaves a pixel whose destination alpha is 1 as it was. In a full view every
// pass before the dome that writes a depth in front of the far plane leaves alpha 1 there,
// unless it marks its pixels with kSkyThroughStencilBit (raising SkyThroughMarked) or clears
// SkyDrawnOpaque. While SkyDrawnOpaque is 1 the dome shades only the pixels at the far plane
// and the marked ones in front of it, clearing their marks; at 0 it shades every pixel and
// clears every mark. The scene draw sets SkyDrawnOpaque for the views whose objects are all
// drawn textured and clears it after their sky passes; the dome lowers SkyThroughMarked. With
// fewer than 8 stencil bits the marked pass shades every pixel in front of the far plane.
inline constexpr std::uint32_t kSkyThroughStencilBit = 0x80;
extern std::uint32_t SkyDrawnOpaque;
extern std::uint32_t SkyThroughMarked;

// Flags of BuildSkyPassList; the render preparation always sets 1 and 2, and 8 for a world
// with high clouds.
enum : std::uint32_t { kSkyFlagDome = 1, kSkyFlag2 = 2, kSkyFlag4 = 4, kSkyFlagCloudLayer = 8 };

struct SkyPassEntry {
  std::uint32_t code;
  std::uint32_t argument;  // not read by the drawing
};

// The longest list the flags give is 1, 2, 6, 3, 4 (every flag, a board without the
// four-unit path); the list is sized for it.
inline constexpr std::uint32_t kSkyPassCapacity = 5;

struct SkyPassList {
  SkyPassEntry entries[kSkyPassCapacity];
  std::uint32_t count;  // 0 before the first render preparation: no sky is drawn
};

extern SkyPassList gSkyPassList;

// kSkyFlagCloudLayer when the world has a high cloud layer (a CloudHigh block, so the
// preparation generates its textures), else 0: the render preparation adds it to its flags.
std::uint32_t HighCloudSkyFlag();

// Rebuilds the list from empty: flag 1 gives code 1, flag 4 code 2, flag 2 code 6; flag 8
// gives code 5 on a board with exactly 4 texture units and GL_NV_register_combiners2, else
// codes 3 and 4.
void BuildSkyPassList(std::uint32_t flags);

// Draws entry `index` of the list with the camera's view fields (CameraFrustumPlanes must have
// filled them). Every pass leaves the depth test and depth writes on (as the scene draw keeps
// them), blending off and the texture targets it enabled off; the dome also leaves the depth
// function, the stencil test off and the stencil write mask all ones. Codes 2, 4 and 6 touch
// nothing. Beyond the count nothing is drawn.
void DrawSkyLayer(const Camera& camera, std::uint32_t index);

// The cloud-layer quad at `altitude`, the cube rays on texture unit `unit` and the plane
// coordinates on unit + 1, turned by the drift direction when the drift `offset` is longer
// than 0.0005. Draws nothing when the camera has no sky quad, or when the eye is at or above
// the layer (no corner ray meets the plane in front of the eye).
void DrawCloudLayerQuad(const Camera& camera, float altitude, const float* offset,
                        const float* scale, GLenum unit);

// The projective coordinate (s q, u q, 0, q) of the point where `ray` from the eye meets the
// plane z = altitude, at distance t along it: q = 1000 / t, (s, u) = (point - offset) x scale.
// False (and zeros) when t is not positive and finite: the plane is not in front of the eye.
bool CloudLayerTexCoord(const Camera& camera, float altitude, const float* offset,
                        const float* scale, const float* ray, float* out);

}  // namespace veskor
