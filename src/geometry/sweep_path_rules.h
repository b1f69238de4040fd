// The point rules of one refinement pass of a cross-section: the corner-rounding scheme of
// corner_rounding.h in (x, y) on a SweepPath, its crease (component5), levels (levelsLeft) and
// path parameter packed. A pass of a closed section is the first rule, the interior rule for
// each inner segment in order and the last rule, which closes the ring; a pass of an open
// section (the rows of a curve set) is the open first rule, the interior rule and the open last
// rule, which drop a free end point when its segment splits. The subdivision
// (sweep_path_subdivision.h) runs them.
//
// Per point: a segment splits when one end has levels left and one end has a crease of at most
// 1; each point moves toward the new points beside it by weights from its crease and the
// fractional part of its levels; crease and levels go down by one a pass; a segment left whole
// adds 1 to the output's `extra` and to the skip depth (refineFlags) of its first point, and
// its later split places its new points at 0.5 x 2^-d of its length from each end. New points
// take the point value and hidden byte of their segment's first point. Every value packed is
// encoded after single-precision arithmetic on the decoded values; pathParamCopy is written
// equal to pathParam.
//
// Preconditions: the output was sized for s.extra + 2 x s.count points and emptied (open
// sections: at least 3 source points; closed: at least 2). The rules append without checks.
#pragma once

#include <cstdint>

#include "gfx/sweep_path.h"

namespace veskor {

// Squared distance from the midpoint of its neighbours below which a section point is flat.
inline constexpr float kFlatSectionDeviation2 = 0.01f;

// The segment from s[0] to s[1] of a closed section; the output starts empty and ends with 2,
// 3 or 4 points: the output point of s[0] (seen from this segment only), the new points, the
// output point of s[1]. A segment whose two ends are both flat stays whole.
void SweepPathFirstRule(const SweepPath& s, SweepPath& o);
// The segment from s[i + 1] to s[i + 2] (wrapping to point 0 past the end), for i = 0 to
// count - 3 of a closed pass and 0 to count - 4 of an open one: clamps the levels of a flat
// s[i + 1] or s[i + 2] to at most 0 in the source (later rules see it), finishes the output
// point of s[i + 1] and appends the new points and the output point of s[i + 2].
void SweepPathInteriorRule(SweepPath& s, std::uint32_t i, SweepPath& o);
// The closing segment from s[m - 1] back to s[0], whose far end counts as parameter 1.0;
// finishes the output points of s[m - 1] and s[0]. A segment whose two ends are both flat
// stays whole.
void SweepPathLastRule(const SweepPath& s, SweepPath& o);
// The first and last segments of an open section.
void SweepPathOpenFirstRule(const SweepPath& s, SweepPath& o);
void SweepPathOpenLastRule(const SweepPath& s, SweepPath& o);

}  // namespace veskor
