// The sun glare and the lens flare: when the sun stands on screen and nothing drawn hides its
// pixel, the elements of LensFlareElements (lens_flare.h) are drawn additively as textured
// quads in normalised device coordinates along the line from the sun through the screen
// centre, tinted by the sunlight's colour and dimmed by the low clouds in front of the sun.
// The scene drawing calls it last in the main view and after each water mirror's view.
#pragma once

#include <cstdint>

#include "gfx/camera.h"

namespace veskor {

// The time (NowSeconds) at the end of the last flare that got past every test; 0 at start.
// An element turns by its spin times this angle.
extern float GlareAngle;

// Draws every element for the camera (its position, its clip matrix, the current viewport);
// `occlusion` is the low clouds' factor before the sun (RayQueryPuffs, 0 for a clear sky).
// Nothing is drawn, and the glare angle stays, while the sun stands behind the camera, on or
// beyond the screen's border, or behind anything drawn at its pixel (a depth of 0.99999 or
// less).
void DrawSunFlare(const Camera& camera, float occlusion);
// The same with the first `count` elements (the mirror views draw the glare, 3).
void DrawPortalSunFlare(const Camera& camera, std::uint32_t count, float occlusion);

}  // namespace veskor
