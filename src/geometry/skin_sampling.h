// Skin grid sampling: the operations with which the render preparation builds an item's skin
// grids from its cross-sections (sizing the grids, sampling one section into a row, the square
// ring mapping of the cap grids) and later brings the shaded skin maps back into the grids.
#pragma once

#include <cstdint>

#include "geometry/skin_slot.h"
#include "gfx/sweep_path.h"

namespace veskor {

// The seven arrays of one row of samples, filled in step.
enum : std::uint32_t {
  kSampleX = 0,
  kSampleY = 1,
  kSampleHeight = 2,
  kSampleParam = 3,    // interpolated from the points' parameter copies
  kSampleSection = 4,  // the section's profileVCapped, the same in every sample
  kSampleValue = 5,    // the value of the segment the sample lies on
  kSampleMark = 6,     // 1 next to points whose value departs from the reference value
  kSampleArrays = 7,
};

// Sizes the nine grids of the set to (2^w + 1) x (2^h + 1) samples; a grid of that size keeps
// its block and values.
void SizeSkinGrids(SkinGridSet& set, std::uint32_t w, std::uint32_t h);

// n samples of `section` at evenly spaced path parameters s = k / (n - 1) (a single sample at
// s = 0) into rows[kSampleX] ... rows[kSampleMark], n values each. A section shorter than
// 0.0005 is sampled by point index. A section without points gives samples at (0, 0) with
// parameter, value and mark 0.
void SkinPathSamples(std::uint32_t n, const SweepPath& section, float* const* rows);
// The same over points 1 to count - 2 (the first and last points are the end handles of an
// open section); the walk never wraps nor passes point count - 2. Fewer than three points
// give the samples of an empty section.
void SkinPathSamplesAlt(std::uint32_t n, const SweepPath& section, float* const* rows);

// The square ring position of (a, b) in the unit square: *u the parameter once round the
// square counter-clockwise from the corner (0, 0), in [0, 1); *s twice the distance from the
// centre in the maximum norm. The centre gives (0, 0).
void SkinSampleWeights(float a, float b, float* u, float* s);

// Refines the six maps of `maps` (a map set of a SkinWork) into the grids of `set`: maps 0, 1
// and 2 through the B-spline upsampling into grids 0, 1, 2 and their cell-centre companions,
// maps 3, 4 and 5 through the row filters into grids 6, 7 and 8. Nothing happens when map 0
// holds no data; a set whose grids are not sized, or are coarser than the maps or more than
// eight levels finer, is refused with a log line and left as it is.
void MapsToSkinGrids(SkinGridSet& set, const Map* maps);
// MapsToSkinGrids for grid set k with map set k of the work, k = 0, 1, 2.
void FilterSkinTextures(SkinSlot& slot, const SkinWork& work);

}  // namespace veskor
