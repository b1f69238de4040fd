// Level-of-detail boxes: lists of world boxes that carry a detail value (LodBoxList), the
// settings of one category of items (LodRange), point-to-box distances, the detail level of an
// item, and the box queries the scene build makes against the world's extent and focus boxes.
// Used by the scene build, the geometry generators, the off-screen passes and the render
// set-up.
//
// Boxes come in two layouts. Arguments, the extent box and the focus boxes are in min-max
// layout (x0, y0, z0, x1, y1, z1); a LodBoxRecord keeps its box per axis (x0, x1, y0, y1, z0,
// z1). Two boxes overlap only strictly: boxes that only touch do not.
#pragma once

#include <cstdint>

namespace veskor {

struct LodBoxRecord {
  float x0, x1, y0, y1, z0, z1;
  float value;  // the detail value: a larger value asks for a finer level
};

inline constexpr std::uint32_t kLodBoxListCapacity = 16;

struct LodBoxList {
  LodBoxRecord records[kLodBoxListCapacity];
  std::uint32_t count;  // records in use, from the start
};

// The level-of-detail settings of one category of items; the render session owns them.
struct LodRange {
  const LodBoxList* list;
  float scale;
  std::uint32_t minLevel;
  std::uint32_t maxLevel;
  float distanceFactor;
};

// Values of a LodBoxList record that differ by less than this merge with an overlapping box.
inline constexpr float kLodMergeTolerance = 0.05f;

// Distances from a point to a box (the square root of the summed squared per-axis excess; 0
// inside or on the box): to a record, to record i of a list, to a box in min-max layout.
float PointBoxDistance(const LodBoxRecord& box, float x, float y, float z);
float LodBoxDistance(const LodBoxList& list, std::uint32_t i, float x, float y, float z);
float ItemBoxDistance(float x, float y, float z, float x0, float y0, float z0, float x1, float y1,
                      float z1);
// The largest distance from the point to a box of the list; 0 for an empty list.
float LodBoxListDistance(const LodBoxList& list, float x, float y, float z);

// 1 when the two boxes (min-max layout, six floats each) overlap strictly.
std::uint32_t BoxBoxOverlap(const float* a, const float* b);
// Writes a min-max box and its value into a record.
void BoxQuerySet(LodBoxRecord& record, float x0, float y0, float z0, float x1, float y1, float z1,
                 float value);
// Position (from 1) of the first record the box overlaps strictly; 0 when none.
std::uint32_t BoxInList(const LodBoxList& list, float x0, float y0, float z0, float x1, float y1,
                        float z1);

// Adds a box to a list. The first record the box overlaps grows to the union when its value is
// within kLodMergeTolerance of the new value (its value stays); otherwise the box is appended.
// A full list takes no further record: the first overlapping record, else the nearest one,
// grows to the union instead and keeps the larger of the two values, so no box gets less
// detail than it asked for.
void LodBoxListAdd(LodBoxList& list, float x0, float y0, float z0, float x1, float y1, float z1,
                   float value);

// The binary exponent e of f (0 when negative), plus 1 when 0.85 f > 2^e: values more than
// about 17.6 percent above a power of two round up to the next level.
std::uint32_t LodLevelFromSize(float f);
// Level of record i of the range's list for an item of that size at that distance from the
// box, clamped to the range's levels.
std::uint32_t LodBoxLevel(const LodRange& range, std::uint32_t i, float size, float distance);
// The finest level any box of the range's list asks of an item of that size whose centre is
// at the point; the range's minimum level when its list is empty.
std::uint32_t LodLevelForItem(const LodRange& range, float size, float x, float y, float z);

// The level-of-detail boxes of the loaded world. The world model holds one and hands it to the
// queries below (it lives here because the world model is built on this folder).
inline constexpr std::uint32_t kWorldFocusBoxCapacity = 32;

struct WorldLodBoxes {
  float extent[6];                              // the extent box, min-max layout
  float detail[4];                              // the detail values a, b, c, d of the extent record
  LodBoxList lists[4];                          // LOD box lists 1 to 4
  float focusBoxes[kWorldFocusBoxCapacity][6];  // min-max layout
  std::uint16_t focusCount;
};

// 1 when the box overlaps the extent box or one of the focus boxes strictly.
std::uint32_t BoxInWorld(const WorldLodBoxes& world, float x0, float y0, float z0, float x1,
                         float y1, float z1);
// Adds an object box to lists 1 and 2 with the detail values a and b, scaled by how far its
// centre lies from list 3 (in extent lengths, plus 1) when it is outside the world. A
// degenerate extent (no side longer than 0) leaves the values unscaled.
void BoxLodDistance(WorldLodBoxes& world, float x0, float y0, float z0, float x1, float y1,
                    float z1);

}  // namespace veskor
