// Height maps of the scene build: the World's height fields and the build's own copies of them,
// with the operations that carry out the `min` and `max` compositions of height fields: clone
// the first operand, carry both operands' water planes over, place the clone with the first
// operand's transform and combine the second operand into it point by point.
//
// The World's tables stay as parsed. What the build appends (clones and the water-plane copies
// that go with them) lives in this folder's own table, whose room grows with them: indices
// below the World's counts name the World's records, indices from the counts on the build's.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "language/world.h"

namespace veskor {

inline constexpr std::uint32_t kNoHeightMap = 0xFFFFFFFF;
inline constexpr const char* kBadHeightMapMessage = "Bad Height Field Reference !";
inline constexpr const char* kBadWaterPlaneMessage = "Bad Water Plane Reference !";
inline constexpr const char* kBadTransformMessage = "Bad Transform Reference !";
inline constexpr const char* kTooManyMapWaterPlanesMessage =
    "Too Many Water Planes In One Height Field !";

// The build's height maps and water planes after the World's. Records keep their grid blocks
// from one build to the next, so a clone into a record whose grid has the source's size reuses
// its storage.
struct SceneHeightMaps {
  std::vector<std::unique_ptr<HeightFieldRecord>> records;
  std::uint32_t count = 0;
  std::vector<WaterPlane> waterPlanes;
  ~SceneHeightMaps();
};
extern SceneHeightMaps gSceneHeightMaps;

// Forgets the build's maps and water planes (their grid storage stays for reuse).
void SceneHeightMapsReset();

// Height map `index` of the World or of the build; null when there is none.
HeightFieldRecord* HeightMapAt(World& world, std::uint32_t index);
// Water plane `index` of the World or of the build; null when there is none.
const WaterPlane* WaterPlaneAt(const World& world, std::uint32_t index);

// A new map of the build holding a copy of map `source`: box, cell sizes, height span and the
// values (grid scales 1, offsets 0), no water planes. Its index; kNoHeightMap, with the scene
// build's error set, for a bad source or one without a grid.
std::uint32_t HeightMapClone(World& world, std::uint32_t source);

// Appends copies of map b's water planes to map a's list, each moved by composition transform
// t (kNoTransform: none) the way the map's box is: the transform is in the height field's axis
// order (x, height, y), so a plane's corners (x, y, altitude) go through it as (x, altitude, y).
// A bad index or more than kHeightFieldWaterMax planes in a sets the build's error and appends
// nothing. a may be b: the planes are read from a copy of b's list.
void HeightMapPrepare(World& world, std::uint32_t a, std::uint32_t b, std::uint16_t t);

// Moves the map's box corners through the matrix (KernelTransformPoint), each axis kept
// ordered (a mirroring scale would put a minimum above its maximum), and recomputes the cell
// sizes and the height span from the box.
void HeightMapTransformBox(HeightFieldRecord& map, const float* matrix);

// The two members of the grid operations: the first lowers A to B where B is lower (`min`),
// the second raises it where B is higher (`max`).
enum HeightGridMember : std::uint32_t { kHeightGridMin = 0, kHeightGridMax = 1 };

// Over the overlap of the two boxes (touching boxes share one column or row), each grid point
// of A takes B's height where it is below (minimum) or above (maximum) A's. B is read through
// its grid scales and offsets, bilinearly (VertexGridSample). A single column or row of A
// samples B at the start of the overlap; A without extent in x or y or without a height range,
// or B without extent in x or y, is left unchanged.
void HeightGridOp(HeightFieldRecord& a, const HeightFieldRecord& b, HeightGridMember member);
// The same with B's box placed by the matrix; B itself is not changed.
void HeightGridOpTransformed(HeightFieldRecord& a, const HeightFieldRecord& b, const float* matrix,
                             HeightGridMember member);

}  // namespace veskor
