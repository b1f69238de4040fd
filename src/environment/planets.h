// Planets and moons: flat disc images lit as spheres by the sun. Once a world the moons stage of
// the render preparation bakes each planet's lighting into its colour texture and builds a
// shading texture that says how much of the sky shows through it; every full view draws each
// planet as one screen-aligned quad in three passes, before the terrain and without depth
// writes, leaving in the frame buffer's alpha how much of the sky dome drawn later covers it.
// Planets close together in the sky form a group that shares one screen position and frame.
//
// The planet record and the planet group are declared here, with their drawing, because the
// scene build (geometry) that loads the planets and files them into groups, and the scene
// rendering that keeps their tables, are built on this folder and may not be included from it.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "gfx/texture_object.h"

namespace veskor {

inline constexpr std::uint32_t kPlanetGroupCapacity = 8;

// One planet (the scene build's scene texture).
struct SceneTexture {
  // Red, green and blue from the colour image, alpha from the mask image (255 = see-through).
  Texture2D colour;
  // Four channels: black, with the alpha that the planet leaves in the frame buffer.
  FloatTexture2D shading;
  float brightness;  // 2 saturation + 1
  float intensity;
  float ringSize;   // the width of the terminator in units of the light's cosine
  float fadeNight;  // fadeMinMax
  float fadeDay;
  float angleH;  // degrees in the group's frame, written by BuildPlanetTextures
  float angleV;
  float direction[3];  // unit length, from the viewer towards the planet
  float angularSize;   // degrees: the apparent diameter
};

struct PlanetGroup {
  SceneTexture* planets[kPlanetGroupCapacity];
  std::uint32_t count;
  float direction[3];  // the normalised sum of the members' directions (render preparation)
};

// The frame of a group direction d: u = (d.y, -d.x, 0) / |(d.x, d.y)|, horizontal; the copy of
// d; v = u x d. A direction whose horizontal length is at most 1e-5 takes u = (1, 0, 0).
void PlanetGroupFrame(const float* d, float* u, float* dCopy, float* v);

// How lit a disc point is across the terminator, for L the cosine of its light: 1 above
// ringSize, 0 below -ringSize, linear between. A ring size of 0 gives a hard terminator: 1
// for L > 0, 0 for L < 0, 0.5 at L = 0.
float TerminatorFactor(float L, float ringSize);

// Bakes the planet for the sun direction S (the direction the light travels) in the group's
// frame (u, d, v): its angles in the frame; every texel (i, j) of the W x H colour image
// inside the disc (x, y) = (-1 + (2i + 1) / W, -1 + (2j + 1) / H) lit as a sphere whose x runs
// along the view's right and y along its up: each colour byte e becomes 255 x (e/255 + a/255
// intensity) x brightness x (N . -S + 1) / 2 within [0, 1], truncated, a the texel's alpha;
// the shading texture (4 channels, the colour's size) gets alpha (fadeNight + M (fadeDay -
// fadeNight)) (1 - a/255), M the terminator factor, and transparent black outside the disc.
// Both textures are set to linear filtering, clamped, and uploaded; the shading texture's
// pixels are then released, the colour texture keeps its own.
void BuildPlanetTextures(SceneTexture& planet, const float* S, const float* u, const float* d,
                         const float* v);

// Draws every member of the group for the camera (its position, clip matrix, roll, focal angle
// and the current viewport) when the group's direction lies in front of the camera, around the
// screen point of that direction, in a frame of screen units per degree widened towards the
// screen's edges.
void DrawPlanets(const PlanetGroup& group, const Camera& camera);

// Draws the planet as a quad of its angular size around G + angleH U + angleV V (normalised
// device coordinates; U and V are the screen vectors of one degree right and up), unless all
// four corners lie outside the closed square [-1, 1]^2. Pass 1 replaces the colour where the
// mask is opaque, pass 2 multiplies the frame buffer's alpha by the mask's, pass 3 adds the
// shading alpha. Fog, depth writes and both matrices are as before afterwards; blending and
// 2-D texturing are off.
void DrawPlanet(SceneTexture& planet, const float* G, const float* U, const float* V);

}  // namespace veskor
