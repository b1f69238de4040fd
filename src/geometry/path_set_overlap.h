// The "+" composition of two objects' cross-sections: at every slice both PathSets hold, the
// segments of each section that lie inside the other section are marked hidden (a section wholly
// inside the other is hidden whole); the points stay. The crossing search, the crossing filter
// and the point-in-section test serve the "-" join too (path_set_join.h).
//
// Sections run with their interior on the left. A crossing's sign is dA.x dB.y - dA.y dB.x of
// the two segment directions: negative where section A enters B, positive or zero where it
// leaves.
#pragma once

#include <cstdint>

#include "geometry/path_set.h"
#include "geometry/scratch_array.h"
#include "gfx/sweep_path.h"

namespace veskor {

// Intersection tests: |den| at or below this means parallel segments; the fractions may pass
// their ends by as much.
inline constexpr float kCrossingEpsilon = 1e-5f;

// Index into a crossing's per-section words: the first section (A) and the second (B).
enum : std::uint32_t { kCrossingA = 0, kCrossingB = 1 };

struct Crossing {
  float x, y;            // the crossing point
  float t[2];            // fraction along the segment of A and of B
  float sign;            // see above
  std::uint32_t seg[2];  // the segment (starting point) of A and of B
};
using CrossingList = ScratchArray<Crossing>;

// 1 when the two sets' boxes overlap strictly on all three axes.
std::uint32_t PathSetBoxesOverlap(const PathSet& a, const PathSet& b);
// The slice indices both sets hold: [*first, *end), empty when they share none.
void PathSetSharedSlices(const PathSet& a, const PathSet& b, std::uint32_t* first,
                         std::uint32_t* end);

// Hides, at every shared slice, the segments of each section inside the other. Nothing happens
// unless the boxes overlap.
void PathSetOverlap(PathSet& a, PathSet& b);

// Every crossing of A's segments with B's (the closing segments included), ordered along A by
// segment and fraction. Only segments whose boxes meet the other section's bounds are tested.
void SectionCrossings(const SweepPath& a, const SweepPath& b, CrossingList& list);
// The list along one section (`side`), without touching pairs (opposite signs at one place: a
// vertex touched from one side) and then without duplicates (two entries in a row, or the
// same leaving crossing found twice at a vertex). `in` is left as it is.
void FilterCrossings(const CrossingList& in, std::uint32_t side, CrossingList& out);
// Orders the list along section `side` by segment and fraction and negates every sign, so the
// signs tell that section's crossings of the other.
void SortCrossingsByOther(CrossingList& list, std::uint32_t side);
// Hides the segments of S between its crossings that lie inside the other section (the
// crossings' own segments stay visible): from the start to the first crossing when S starts
// inside, then every run from an entering crossing to the next leaving one; an entering last
// crossing hides on to the section end.
void MarkHiddenRuns(SweepPath& s, const CrossingList& filtered, std::uint32_t side);
// 1 when (px, py) lies inside S (even-odd, edges closed at their upper end), else 0.
std::uint32_t PointInPolygon(const SweepPath& s, float px, float py);

}  // namespace veskor
