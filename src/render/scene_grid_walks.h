// The two walks that find a view's visible scene objects in the SceneGrid, front to back along
// the view (the walk order of gfx/scene_grid_walk.h) and level by level, and draw them with
// DrawSceneObject: the ray walk of the on-screen perspective views, and the draw walk of the
// orthographic views of the render preparation (the sun's depth view, the water pass). Also
// the face and box tests of the orthographic views and the wire box of the cell display.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "gfx/ortho_pass.h"
#include "gfx/scene_grid.h"
#include "language/world.h"

namespace veskor {

// Flag bits of the walks beyond the object mode and the 0x10 / 0x20 of DrawSceneObject.
inline constexpr std::uint32_t kWalkOwnMode = 0x4;       // ray walk: each object's own mode
inline constexpr std::uint32_t kWalkCellDisplay = 0x8;   // outline the visible fine cells
inline constexpr std::uint32_t kWalkBelowWater = 0x80;   // draw walk: objects below the water
inline constexpr std::uint32_t kWalkDepthOffset = 0x100; // draw walk: offset marked objects
// The object mark of kWalkDepthOffset: the item flag of the objects lit from the sun's depth
// view, which are drawn into it with a depth offset so that they do not shadow themselves.
inline constexpr std::uint32_t kObjectSunLit = 0x1;

// The altitude of the water the water stage is preparing; read by the draw walk (0x80).
extern float WaterAltitude;

// What the walks call to draw an object: DrawSceneObject, unless tests or benchmarks put a
// counting stand-in here.
using SceneObjectDraw = std::uint32_t (*)(SceneObject& object, std::uint32_t flags);
extern SceneObjectDraw WalkDrawObject;

// Perspective views: every cell not empty, above the fog's cut-off height and with a face the
// camera's planes do not reject, at every level; then each object of a visible fine cell that
// passes the camera's box test, drawn in the object mode of the flags (or, with kWalkOwnMode,
// its own), flags 0x10 and 0x20 passed on. Stores the sum of the triangle counts in
// `primitiveCount` when it is not null. Returns the number of visible fine cells.
std::uint32_t SceneGridRayWalk(SceneGrid& grid, const Camera& view, std::uint32_t flags,
                               std::uint32_t* primitiveCount);

// Orthographic views: the cells tested face by face against the view's six planes, no fog
// cut; an object of a cell with more than one must pass BoxFrustumTest. Draws in the object
// mode flags & 7 only; see kWalkBelowWater and kWalkDepthOffset. Returns the number of
// visible fine cells.
std::uint32_t SceneGridDrawWalk(SceneGrid& grid, const OrthoPass& view, std::uint32_t flags);

// The six planes of an orthographic view, in the order the tests try them: the four sides,
// near and far. Plane k has an outward normal and a point on it.
inline constexpr std::uint32_t kOrthoPlaneCount = 6;
const float* OrthoPlaneNormal(const OrthoPass& view, std::uint32_t plane);
const float* OrthoPlanePoint(const OrthoPass& view, std::uint32_t plane);

// 1 when at least one of the four corners lies inside plane `plane` of the view:
// (corner - point) . normal <= 0, a result that is not a number counting as outside.
std::uint32_t FacePlaneTest(const OrthoPass& view, std::uint32_t plane,
                            const float (&corners)[4][3]);
// 1 when no plane of the view has all four corners of the face outside: the face x = x over
// y0..y1, z0..z1, and its y and z twins.
std::uint32_t FaceCullTestX(const OrthoPass& view, float x, float y0, float z0, float y1,
                            float z1);
std::uint32_t FaceCullTestY(const OrthoPass& view, float y, float x0, float z0, float x1,
                            float z1);
std::uint32_t FaceCullTestZ(const OrthoPass& view, float z, float x0, float y0, float x1,
                            float y1);
// 1 at the first face of the box (x0, x1, y0, y1, z0, z1) that passes its face test, else 0.
std::uint32_t BoxFrustumTest(const OrthoPass& view, float x0, float y0, float z0, float x1,
                             float y1, float z1);

// The box's 12 edges as one GL_LINES primitive of 24 vertices.
void WireBox(float x0, float y0, float z0, float x1, float y1, float z1);

}  // namespace veskor
