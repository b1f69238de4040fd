// The images of the sun effects and the table of the lens flare: the three flare images and the
// flare elements the sun glare draws (sun_flare.h), the light-ray image of the light shafts,
// their loaders (run by every render session, after the environment's recompute steps), and
// the table of 16 elements the application shell installs at start and passes to every load.
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"

namespace veskor {

// One flare element, nine words: which image, where on the axis from the sun (0) through the
// screen centre (1), its size, its colour and alpha (times the sunlight's colour and the
// glare's strength), how it fades away from the centre, and how fast it turns (radians a
// second).
struct LensFlareElement {
  std::uint32_t image;  // 0 .. 2
  float position;
  float size;
  float red, green, blue;
  float alpha;
  float fade;
  float spin;
};

inline constexpr std::uint32_t kLensFlareCapacity = 16;
inline constexpr std::uint32_t kLensFlareImageCount = 3;

struct LensFlareTable {
  LensFlareElement elements[kLensFlareCapacity];
  std::uint32_t count;       // elements in use
  std::uint32_t imageCount;  // 3 once loaded
};

extern FloatTexture2D LensFlareImages[kLensFlareImageCount];
extern LensFlareTable LensFlareElements;
extern FloatTexture2D LightRayTexture;

// The program's flare: the glare (image 0), two turning halos (image 1) and a chain of rings
// (image 2).
inline constexpr std::uint32_t kLensFlareTableCount = 16;
inline constexpr LensFlareElement kLensFlareTable[kLensFlareTableCount] = {
    {0, 0.0f, 0.2f, 0.8f, 0.8f, 0.5f, 0.8f, 0.1f, 0.0f},
    {1, 0.0f, 0.5f, 0.8f, 0.8f, 0.7f, 0.7f, 0.4f, -0.05f},
    {1, 0.0f, 0.7f, 0.8f, 0.8f, 0.7f, 0.6f, 0.5f, 0.25f},
    {2, 0.78f, 0.2f, 0.9f, 0.9f, 0.9f, 0.06f, 0.1f, 0.0f},
    {2, 1.38f, 0.1f, 0.9f, 0.9f, 0.9f, 0.08f, 0.1f, 0.0f},
    {2, 1.48f, 0.11f, 0.9f, 0.9f, 0.9f, 0.06f, 0.1f, 0.0f},
    {2, 2.2f, 0.3f, 0.9f, 0.9f, 0.9f, 0.05f, 0.1f, 0.0f},
    {2, 2.25f, 0.3f, 0.9f, 0.9f, 0.9f, 0.06f, 0.1f, 0.0f},
    {2, 0.95f, 0.05f, 0.9f, 0.9f, 0.9f, 0.12f, 0.1f, 0.0f},
    {2, 1.05f, 0.05f, 0.9f, 0.9f, 0.9f, 0.12f, 0.1f, 0.0f},
    {2, 1.15f, 0.03f, 0.9f, 0.9f, 0.9f, 0.1f, 0.1f, 0.0f},
    {2, 1.25f, 0.04f, 0.9f, 0.9f, 0.9f, 0.12f, 0.1f, 0.0f},
    {2, 0.25f, 0.05f, 0.9f, 0.9f, 0.9f, 0.07f, 0.1f, 0.0f},
    {2, 0.35f, 0.04f, 0.9f, 0.9f, 0.9f, 0.1f, 0.1f, 0.0f},
    {2, 0.4f, 0.02f, 0.9f, 0.9f, 0.9f, 0.12f, 0.1f, 0.0f},
    {2, 1.55f, 0.05f, 0.9f, 0.9f, 0.9f, 0.1f, 0.1f, 0.0f},
};

// The file names the render session passes.
inline constexpr const char* kLensFlareImageNames[kLensFlareImageCount] = {"lens0.png", "lens1.png",
                                                                           "lens2.png"};
inline constexpr const char* kLightRayImageName = "CRay.png";

// Reads the three images (one channel, found along the search directories) and then uploads
// each (clamped, linear) and keeps only its GL copy; installs the first `count` elements of
// `elements` (at most 16; an element naming an image above 2 is left out) and an image count
// of 3. An image that cannot be found or read is reported in a warning box, with the file and
// the directories searched, and the session goes on without flare elements.
void LoadLensFlare(const char* name0, const char* name1, const char* name2,
                   const LensFlareElement* elements, std::uint32_t count);

// LoadLightRaysWith the LightShaft parameters of the environment.
void LoadLightRays(const char* name);
// Nothing when `intensity` is 0.01 or less (the light shafts stay off). Otherwise stores
// intensity x 0.1, 1 - horizonCoverage and length into the LightShaft parameters, switches
// the light shafts on and loads the image into LightRayTexture as the flare images load. An
// image that cannot be found or read is reported as for the flare, and the light shafts are
// off for the session.
void LoadLightRaysWith(const char* name, float intensity, float horizonCoverage, float length);

}  // namespace veskor
