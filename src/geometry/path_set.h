// PathSet: the cross-sections of one object or one generated item, lowest first, with the set's
// box and its profile measures (ring lengths, the length of the profile and of the two caps,
// each ring's position along the profile). The sweep builder fills the object sets, the item
// geometry copies them into the item sets and measures them before building the mesh; the
// compositions, the skins and the render preparation read them. Two tables of 8192 sets, by
// object and by item (the item table shares its index with the skin tables).
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "gfx/sweep_path.h"

namespace veskor {

enum : std::uint32_t { kPathSetClosed = 0, kPathSetOpen = 1 };

// A ring whose total length is below this is one point: an apex that closes the set.
inline constexpr float kApexRingLength = 0.0005f;
// Added to every step along the profile.
inline constexpr float kProfileStepExtra = 0.0001f;

struct PathSet {
  MemBlock block;    // holds the SweepPath records
  SweepPath* paths;  // the block's base
  std::uint32_t count;
  std::uint32_t kind;  // kPathSetClosed: rings; kPathSetOpen: open polylines (terrain)
  std::uint32_t capacity;
  std::uint32_t firstIndex;  // slice index of cross-section 0
  float minX, minY, minZ;    // z is the height
  float maxX, maxY, maxZ;
  float maxRingLength;    // the largest total length of a profile ring
  float firstRingLength;  // closed sets; 0 for open sets
  float lastRingLength;   // closed sets; 0 for open sets
  float profileLength;    // from the first to the last profile ring
  float bottomCapLength;  // along the profile; 0 for open sets
  float topCapLength;     // along the profile; 0 for open sets
  std::uint32_t firstProfileRing;
  std::uint32_t profileRingEnd;  // one past the last profile ring
};

// An empty set: no block, no cross-section, kind 0, first index 0.
void PathSetInit(PathSet& set);
// Releases every cross-section's block and the set's block.
void PathSetRelease(PathSet& set);
// Room for n cross-sections, every one emptied and the set emptied. A set with room for fewer
// takes a new block and the new kind; otherwise the block and the kind stay.
void PathSetResize(PathSet& set, std::uint32_t n, std::uint32_t kind);
// Releases every cross-section's block and the set's block; count, capacity and kind become 0.
void PathSetFree(PathSet& set);
// Releases every cross-section's block and empties the set; the block and capacity stay.
void PathSetClear(PathSet& set);
// Appends n empty cross-sections and returns the first. Appending past the room the set was
// given is fatal ("Virtual Memory Error : Required Memory > Reserved Memory (...)").
SweepPath* PathSetAppendEmpty(PathSet& set, std::uint32_t n);

inline float* PathSetMinX(PathSet& set) { return &set.minX; }
inline float* PathSetMinY(PathSet& set) { return &set.minY; }
inline float* PathSetMinZ(PathSet& set) { return &set.minZ; }
inline float* PathSetMaxX(PathSet& set) { return &set.maxX; }
inline float* PathSetMaxY(PathSet& set) { return &set.maxY; }
inline float* PathSetMaxZ(PathSet& set) { return &set.maxZ; }

// The box from the rings' bounds and heights, then PathSetProfile. A set without
// cross-sections is left as it is.
void PathSetMeasure(PathSet& set);
// The profile measures. Closed sets: the caps (an apex ring measured against the ring next to
// it, a capped ring from its centroid), each profile ring's profileV as the largest distance
// from the ring below plus kProfileStepExtra, summed, with profileArc the sum and profileV the
// sum over the profile length. Open sets: only the ring lengths and the profile length. Zero
// divisors give 0; a one-ring set has no apex cap.
void PathSetProfile(PathSet& set);
// profileVCapped of every ring (0 at ring 0, 1 at the last, the profile rings of closed sets
// placed along caps and profile; open sets keep the values their builder gave the others) and
// pathParamCopy = pathParam at every point. A set without cross-sections is left as it is.
void PathSetNormalise(PathSet& set);

// The two tables. Their blocks go back to the memory manager at exit.
inline constexpr std::uint32_t kPathSetTableSize = 8192;
struct PathSetTable {
  PathSet sets[kPathSetTableSize];
  ~PathSetTable();
};
extern PathSetTable gObjectPathSets;
extern PathSetTable gItemPathSets;

}  // namespace veskor
