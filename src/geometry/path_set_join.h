// The "-" composition: at every slice both PathSets hold, the first object's section is
// replaced by the outline of the first section minus the second: the first section where it
// lies outside the second, the second section (reversed) where it lies inside the first. The
// path parameter of the spliced pieces is remapped so that it runs on from the first section's
// own, from 0 at the outline's point 0 to below 1. The second set is not changed; the item
// geometry releases it afterwards.
#pragma once

#include <cstdint>

#include "geometry/path_set.h"
#include "geometry/path_set_overlap.h"
#include "gfx/sweep_path.h"

namespace veskor {

// A place on a section: segment (starting point) and fraction along it.
struct SectionPosition {
  std::uint32_t seg;
  float t;
};

// One point interpolated on a section.
struct SectionPoint {
  float x, y;
  float component5;
  float pathParam;
  float pointValue;  // the value of the segment's starting point
};

// Replaces a's sections by the outlines of a minus b, then measures a again (whenever the boxes
// overlap). Returns the number of section pairs that could not be cut (one crossing, a section
// wholly inside the other, crossings in an order no single outline follows, an outline longer
// than its room); each call with any writes a line to the session log. One outline holds no
// hole: a section of b wholly inside a's is left as it is, like one of a inside b's.
std::uint32_t PathSetJoin(PathSet& a, const PathSet& b);

// Builds the outline of A minus the reversed section R into `target` from the filtered and
// compacted crossings (ordered along A); 0 when built, 1 when the crossings allow no single
// outline (the target then holds no point of this pair).
std::uint32_t SpliceSections(const SweepPath& a, const SweepPath& r, const CrossingList& list,
                             SweepPath& target);
// FilterCrossings along the first section.
void FilterCrossingsFull(const CrossingList& in, CrossingList& out);
// Drops entries so the signs alternate around the list (a run of equal signs keeps its first).
void CompactPolylineBySign(CrossingList& list);

// Arc length at a place; the closing segment ends at the total length.
float SweepPathArcAt(const SweepPath& s, std::uint32_t i, float t);
// Path parameter at a place; the closing segment ends at 1.0.
float SweepPathParamAt(const SweepPath& s, std::uint32_t i, float t);
// As SweepPathParamAt; a segment of index count or more is index - count, one turn (1.0) later.
float SweepPathParamAtUnrolled(const SweepPath& s, std::uint32_t i, float t);
SectionPoint SweepPathPointAt(const SweepPath& s, std::uint32_t i, float t);
// The place at arc fraction f from P to Q (Q taken one turn later when it does not come after
// P). A segment of zero length gives fraction 0.
SectionPosition SweepPathPointAtArcFraction(const SweepPath& s, SectionPosition p,
                                            SectionPosition q, float f);
// Whether the stretch of S from point i to point j lies hidden: 0 when i > j; for i = j the
// hidden bit of segment i; else 1 when segments i to j - 1 are all hidden.
std::uint32_t SweepPathRunHidden(const SweepPath& s, std::uint32_t i, std::uint32_t j);

// A remapping of a reversed section's parameters: a piece running from parameter p1 to p2 of
// R takes q1 to q2 of A; `flag` hides its points.
struct JoinMapping {
  float p1, p2, q1, q2;
  std::uint32_t flag;
};

// Appends the interpolated point of S at a place (its own values) and returns the new count;
// the target's count stays when it is full.
std::uint32_t JoinAppendPoint(SweepPath& target, const SweepPath& s, SectionPosition at);
// The same for a point of R with its parameter remapped and hidden when R's byte is set or the
// mapping's flag is.
std::uint32_t JoinAppendMappedPoint(SweepPath& target, const SweepPath& r, SectionPosition at,
                                    const JoinMapping& map);
// The point at `from` (a segment of S's count meaning point 0), the whole points up to `to`
// (past the last point to point 0 when `to` does not come after `from`), and the point at `to`
// unless it lies at its segment's start or where the run started.
void JoinAppendRun(SweepPath& target, const SweepPath& s, SectionPosition from, SectionPosition to);
void JoinAppendMappedRun(SweepPath& target, const SweepPath& r, SectionPosition from,
                         SectionPosition to, const JoinMapping& map);

}  // namespace veskor
