// The corner-rounding kernels: one refinement level of one EdgeCurve. A level reads a source
// curve and appends to an output curve; every source segment is either split (new points on
// it, the corners at its ends moved toward a smooth curve) or left whole and marked so that its
// later split is graded to the finer segments around it. The edge-curve refinement runs a
// level as one start kernel, RoundCornerKernel once per inner segment in order, one end kernel.
//
// Per-point values decide both: `levels` (levels still allowed; a segment splits only while
// one end has some left), `edgeSharpness` (a crease counted in levels; a segment whose two ends
// are above 1 never splits) and `skipDepth` (levels the segment was left whole).
//
// Preconditions of every level: the output was sized for s.extra + 2 x s.count points and
// emptied; the source has at least three points. The kernels append without checks. Every
// point that a kernel leaves for the next kernel to mark gets skip depth 0 in the meantime.
#pragma once

#include <cstdint>

#include "language/edge_curve.h"

namespace veskor {

// Weights of the smooth vertex position (single-precision values as the rounding rule writes
// them: sqrt 2 - 1, 2 - sqrt 2 and 1 - 1/sqrt 2).
inline constexpr float kRoundCornerKeep = 0.41421356f;
inline constexpr float kRoundCornerPull = 0.5857864f;
inline constexpr float kRoundCornerNeighbour = 0.2928932f;

// Squared distance from the midpoint of its neighbours below which a point counts as flat.
inline constexpr float kFlatPointDeviation2 = 0.0025f;

// w(d) = 0.5 x 2^-d, formed by taking d from the exponent of 0.5: 0.5, 0.25, 0.125, ...; the
// pole mark d = -1 gives 1.0.
float SplitWeight(std::int8_t d);

// The distance of point i from the midpoint of points i - 1 and i + 1 (1 <= i <= count - 2).
float CurveMidpointDeviation(const EdgeCurve& curve, std::uint32_t i);

// The segment from s[k+1] to s[k+2], for k = 0 to s.count - 4 in order. Clamps the levels of a
// flat s[k+1] or s[k+2] to at most 0 in the source, which the later kernels then see.
void RoundCornerKernel(EdgeCurve& s, std::uint32_t k, EdgeCurve& o);

// Later levels of a closed Edge: the first and last points (its poles) are kept.
void RoundCornerClosedStart(const EdgeCurve& s, EdgeCurve& o);
void RoundCornerClosedEnd(const EdgeCurve& s, EdgeCurve& o);
// Open curves: a free end is dropped when its segment splits.
void RoundCornerOpenStart(const EdgeCurve& s, EdgeCurve& o);
void RoundCornerOpenEnd(const EdgeCurve& s, EdgeCurve& o);
// First level of a closed Edge, whose source begins with the bottom pole and ends with the top
// pole: the two pole segments get no new point. The start writes o[0] and o[1] and sets the
// count to 2, whatever the output held.
void RoundCornerPoleStart(const EdgeCurve& s, EdgeCurve& o);
void RoundCornerPoleEnd(const EdgeCurve& s, EdgeCurve& o);

}  // namespace veskor
