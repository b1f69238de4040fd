// Cross-section subdivision: every ring cut from an object is refined before it goes into the
// object's PathSet. Each point gets a level from its deviation from its neighbours' midpoint
// and its distance to the level-of-detail boxes (SweepPathLevel of curve_refinement.h), and the
// ring is refined pass by pass with the point rules (sweep_path_rules.h) until the highest
// whole level, at most the cap, is reached. A closed ring of a model object is refined as its
// bank paths (section_cut.h), one per slice the cut touched, which are then blended into one
// ring; an open ring of a curve set is refined alone. The sweep-path construction runs them.
// Also the ring query of the skins (RingInterpolate).
#pragma once

#include <cstdint>

#include "geometry/section_cut.h"
#include "geometry/subdivision_settings.h"
#include "gfx/sweep_path.h"

namespace veskor {

// Passes the sweep-path construction allows.
inline constexpr std::uint32_t kSweepPathLevelCap = 8;
// A level this little above a whole number counts as that number.
inline constexpr float kWholeLevelTolerance = 1e-5f;

// floor(level) + 1 when level >= 0 and its fractional part is above kWholeLevelTolerance, else
// floor(level).
std::int32_t SweepPathWholeLevel(float level);

// A closed ring: every point's level (the ring's point transformed by the settings' node unless
// it is the identity) is written packed into the source and into every bank path; n = the
// largest whole level, at most `cap`. n = 0 (or no bank path) copies the source; otherwise n
// passes of every bank path, then SweepPathBlend. The destination takes the source's height,
// profileV and profileVCapped.
void SubdivideSweepPaths(SweepPath& source, std::uint32_t cap, SubdivisionSettings& settings,
                         SweepPath& destination);
// An open ring: levels one higher, taken at the inner points (the ends take their neighbours'),
// then n passes alternating between a scratch ring and the destination so that the last lands
// in the destination. A ring of fewer than 3 points is copied. The destination takes the
// source's height, profileV, profileVCapped and sectionKind.
void SubdivideSweepPaths2(SweepPath& source, std::uint32_t cap, SubdivisionSettings& settings,
                          SweepPath& destination);
// One pass over a closed ring into the destination (sized for 2 x count + extra points); a ring
// of fewer than 2 points is copied.
void SweepPathRefinePass(SweepPath& source, SweepPath& destination);
// One ring from the current bank of `banks`: one point for every distinct path parameter over
// all bank paths (parameters within 0.0005 above the current one count as it), each the sum
// over the hits of the weight path at (sourceCount x parameter) times the hit's three slice
// paths there, weighted (1 - w)^2 / 2, (1 + 2w - 2w^2) / 2 and w^2 / 2 for its height weight
// w. The point value is bank path p's point p, p being the first hit's slice of the point
// before. Sized for the bank paths' points together (two bank paths may hold the same
// parameter one packed step apart), then measured as a closed ring.
void SweepPathBlend(const SubdivisionBanks& banks, std::uint32_t sourceCount,
                    SweepPath& destination);

// The point at t of the segment from point i to point i + 1 (point 0 after the last) and point
// i's value.
void RingInterpolate(const SweepPath& path, std::uint32_t i, float t, float* x, float* y,
                     float* value);

inline std::int32_t MaxInt(std::int32_t a, std::int32_t b) { return a > b ? a : b; }

}  // namespace veskor
