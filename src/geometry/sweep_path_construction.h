// Sweep-path construction: cuts one registered object's refined Edges at successive heights
// into the rings of its PathSet, each refined to its level of detail. A model object is cut at
// the pass's shared slice heights (so that composed objects meet at the same heights) through
// its SliceTable, into closed rings; a curve set at its own point heights into open rows with
// the seam marks of its two inner end Edges. The object path sets (object_path_sets.h) run it
// once per object.
#pragma once

#include <cstdint>

#include "geometry/path_set.h"
#include "geometry/slice_table.h"
#include "language/edge_curve.h"

namespace veskor {

// Heights and positions of a curve set's first and last rows snap to this grid.
inline constexpr float kSweepSnapStep = 0.06f;

// n = value / step truncated toward zero; (n + 1) x step when value / step - n is above 0.5,
// else n x step: exactly one half does not round up, and a negative value moves toward zero.
float SnapToStep(float value, float step);

// Cuts `list` into `out`, which gets the list's box, its kind (kPathSetOpen for a curve set)
// and one ring per height, refined with the object geometry settings.
//
// Shared heights (a model object, `table` its SliceTable): the heights from Edge 0's first to
// its last (1e-5 either side; firstIndex the first one's index), each cut by SectionCut with
// point value `index` (the set's index in the object table) and refined by
// SubdivideSweepPaths; sectionKind 1 for the first ring, 4 for the last, 3 for a ring at a
// height where no Edge of the object has a point and the height's tag is 0, else 2;
// referenceValue `index`. Heights that do not reach from the first to the last give no ring.
//
// Own heights (a curve set; `heights`, `tags` and `table` unused): rows from every Edge's point
// 1 on, one at each next point height of any Edge, until Edge 0's last but one point; Edge 0
// takes parameter -1 / (E - 3) and Edge e >= 1 (e - 1) / (E - 3), so the inner Edges 1 to
// E - 2 span 0 to 1; the first and last rows snap to kSweepSnapStep; refined by
// SubdivideSweepPaths2; sectionKind 2 with kSectionLeftSeam when Edge 1 has a point at the
// row, kSectionRightSeam when Edge E - 2 has one (both for the first row). Fewer than 4 Edges,
// or an Edge of fewer than 2 points, give no ring.
//
// Every ring's profileV and profileVCapped hold its height normalised over Edge 0's (0 when
// Edge 0 is flat). Does nothing once the scene build has failed.
void BuildSweepPaths(const EdgeCurveList& list, const float* heights, const std::uint32_t* tags,
                     std::uint32_t heightCount, SliceTable* table, PathSet& out, float index);

}  // namespace veskor
