// One cross-section (a SweepPath of gfx/sweep_path.h) as the geometry passes read it: the
// section words under the names these passes give them, point visibility, the path parameter
// with its wrap past the last point, ring interpolation, the measuring of arc positions,
// lengths and bounds, the centroid and the walk along the parameter. Used by the path sets,
// the mesh build, the compositions and the skins.
//
// The record's words, as the geometry names them: packedU the crease (`component5`), packedT
// and packedTCopy the path parameter and its copy, packedW the levels left, arcPosition the arc
// length, edgeValue the point value, pointFlag the skip depth (`refineFlags`), edgeKind the
// hidden byte, firstWord `extra`, secondWord `sectionKind`, p and q `profileV` and
// `profileVCapped`, thirdWord `profileArc` (a float's bits), fourthWord `referenceValue`.
#pragma once

#include <bit>
#include <cstdint>

#include "gfx/packed_value.h"
#include "gfx/sweep_path.h"

namespace veskor {

// Low three bits of sectionKind.
enum : std::uint32_t {
  kSectionCappedBottom = 1,
  kSectionPlain = 2,
  kSectionLeftOut = 3,  // dropped when an object set is copied into an item set
  kSectionCappedTop = 4,
  kSectionKindMask = 7,
  kSectionLeftSeam = 8,    // open sets: a ring of the left seam
  kSectionRightSeam = 16,  // open sets: a ring of the right seam
};

// Bit 0 of a point's hidden byte: the segment that starts at the point lies inside another
// item's section.
inline constexpr std::uint8_t kSegmentHidden = 1;

// Positions and parameters closer than this are one; a parameter above 1 - this ends a section.
inline constexpr float kSectionTolerance = 0.0005f;
// Levels left written with every new point.
inline constexpr float kSectionLevelsNew = 28.0f;

inline std::uint32_t& SectionKind(SweepPath& s) { return s.secondWord; }
inline std::uint32_t SectionKind(const SweepPath& s) { return s.secondWord; }
inline float& ProfileV(SweepPath& s) { return s.p; }
inline float ProfileV(const SweepPath& s) { return s.p; }
inline float& ProfileVCapped(SweepPath& s) { return s.q; }
inline float ProfileVCapped(const SweepPath& s) { return s.q; }
inline float ProfileArc(const SweepPath& s) { return std::bit_cast<float>(s.thirdWord); }
inline void SetProfileArc(SweepPath& s, float arc) {
  s.thirdWord = std::bit_cast<std::uint32_t>(arc);
}
inline float ReferenceValue(const SweepPath& s) { return std::bit_cast<float>(s.fourthWord); }
inline void SetReferenceValue(SweepPath& s, float value) {
  s.fourthWord = std::bit_cast<std::uint32_t>(value);
}
inline float SectionMinX(const SweepPath& s) { return s.bounds[0]; }
inline float SectionMaxX(const SweepPath& s) { return s.bounds[1]; }
inline float SectionMinY(const SweepPath& s) { return s.bounds[2]; }
inline float SectionMaxY(const SweepPath& s) { return s.bounds[3]; }

inline bool SweepPathPointVisible(const SweepPath& s, std::uint32_t i) {
  return (s.edgeKind[i] & kSegmentHidden) == 0;
}
// Sets bit 0 of point i's hidden byte to `bit` (0 or 1); the other bits stay.
inline void SweepPathSetHidden(SweepPath& s, std::uint32_t i, std::uint32_t bit) {
  s.edgeKind[i] = static_cast<std::uint8_t>((s.edgeKind[i] & ~kSegmentHidden) | (bit & 1));
}

// The decoded path parameter of point i; an index past the last point stands for the point one
// turn later (i - count, plus 1 for each turn). 0 for an empty section.
float SweepPathParamOfIndex(const SweepPath& s, std::uint32_t i);
// (1 - t) x[i] + t x[i + 1], point 0 in place of i + 1 when i is the last point; likewise y.
float SweepPathLerpX(const SweepPath& s, std::uint32_t i, float t);
float SweepPathLerpY(const SweepPath& s, std::uint32_t i, float t);

// Arc positions from point 0, the total and unflagged lengths (segments whose hidden bit is
// clear) and the bounds. Closed (open = 0): the closing segment counts toward both lengths.
// Open: the first and last points are end handles: arcs 0 at points 0 and 1, the last point's
// arc that of the point before it, the bounds from points 1 to count - 2. Sections of one point
// (two when open) have length 0; an empty section is left as it is.
void SweepPathMetrics(SweepPath& s, std::uint32_t open);

// The mean of the points (0, 0 for an empty section) and the section's height.
void SweepPathCentroid(const SweepPath& s, float* x, float* y, float* height);

// Walks i up from `from` while i < `to` and t lies above the parameter of point i + 1 (with the
// wrap of SweepPathParamOfIndex); stores the index reached and the fraction (t - p_i) /
// (p_(i+1) - p_i), 0 where the two parameters are equal.
void SkinRowStep(const SweepPath& s, std::uint32_t from, std::uint32_t to, float t,
                 std::uint32_t* index, float* fraction);

}  // namespace veskor
