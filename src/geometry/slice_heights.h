// SliceHeights: the sorted heights at which the objects of one generation pass are cut into
// cross-sections, shared by all of them so that composed objects meet at the same heights.
// Object registration merges every refined list's heights into it; the cross-section cut
// reads the source half.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "language/edge_curve.h"

namespace veskor {

// Heights closer than this are one entry.
inline constexpr float kSliceHeightTolerance = 1e-5f;
// Margins below an object's lowest and above its highest point.
inline constexpr float kSliceHeightMargin = 0.00064f;
// Entries a half holds before it first grows.
inline constexpr std::uint32_t kSliceHeightsInitial = 8192;

enum : std::uint32_t {
  kSliceTagPoint = 0,   // some Edge has a point at the height
  kSliceTagMargin = 1,  // an object's lower or upper margin
};

// One half: `capacity` heights then `capacity` tags in one block. A half grows (doubling) as a
// pass needs: a detailed object at full detail has more distinct heights than a first block
// holds.
struct SliceHeightsHalf {
  MemBlock block;
  float* heights;
  std::uint32_t* tags;
  std::uint32_t count;
  std::uint32_t capacity;
};

struct SliceHeights {
  SliceHeightsHalf halves[2];
  std::uint32_t source;       // the half that holds the current sorted list
  std::uint32_t destination;  // the half of the merge in progress
  ~SliceHeights();
};

// Between two AddSliceHeights the source half is ascending and neighbouring entries differ by
// more than kSliceHeightTolerance.
extern SliceHeights gSliceHeights;

inline const SliceHeightsHalf& SliceHeightsSource() {
  return gSliceHeights.halves[gSliceHeights.source];
}

// Both halves empty (their blocks kept), source 0, destination 1.
void SliceHeightsReset();

// Merges a refined list's heights: the margins below its lowest first point and above its
// highest last point (tag 1), then the point heights of each Edge (tag 0; heights of one Edge
// must ascend along it). A list without points adds nothing.
void AddSliceHeights(const EdgeCurveList& refined);

// Copies the source entries below h from the cursor on into the destination, then appends h
// unless an entry other than the source's last lies within the tolerance of it (a height
// close to the last entry takes its place, as the merge of the rest then drops the old one).
void InsertSliceHeight(float h, std::uint32_t& cursor, std::uint32_t tag);

}  // namespace veskor
