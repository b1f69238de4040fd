// Edge-curve refinement: turns the coarse EdgeCurveList of a model (or of a curve set) into the
// smooth list, dependent on the level of detail, from which cross-sections are cut. Each level
// splits the segments of every curve and rounds its corners (corner_rounding.h); a per-point
// level of detail, from the point's flatness and its distance to the level-of-detail boxes,
// decides how many levels each part takes. The Edges of a model are closed at two common
// poles, the mean of their first points and the mean of their last points; curve sets are
// refined as open curves. Object registration calls it once for every scene object.
#pragma once

#include <cstdint>

#include "geometry/subdivision_settings.h"
#include "gfx/lod_boxes.h"
#include "language/edge_curve.h"

namespace veskor {

// A pole: x, y, height and the two sharpness values.
struct CurvePole {
  float x, y, height, edgeSharpness, sectionSharpness;
};

// log2(value x scale x size / (distance x distance factor + 1)) of box i of the range's list,
// within the range's minimum and maximum levels.
float CurveLodBoxLevel(const LodRange& range, std::uint32_t i, float size, float distance);
// The largest level that a box of the range's list gives a feature of that size at a point
// already in the boxes' space (its distance to a box less half the size, at least 0); the
// range's minimum level when the range has no box. Cross-sections take their levels from it
// too.
float SweepPathLevel(const LodRange& range, float size, float x, float y, float height);
// SweepPathLevel at the point brought into the boxes' space by the settings' node (unless that
// is the identity).
float CurveLodLevel(SubdivisionSettings& settings, float size, float x, float y, float height);

// One level of an open curve, of a later level of a closed Edge, and the first level of a
// closed Edge (which joins the Edge to the two poles and gives every point its level of
// detail at the Edge's second point). Each sizes the output for s.extra + 2 x s.count points
// and computes its metrics. A source of fewer than three points is copied (an Edge without
// points gives an empty output at the first level).
void RefineOpenCurveLevel(EdgeCurve& s, EdgeCurve& o);
void RefineClosedCurveLevel(EdgeCurve& s, EdgeCurve& o);
void RefineClosedCurveFirstLevel(const EdgeCurve& q, EdgeCurve& o, SubdivisionSettings& settings,
                                 const CurvePole& bottom, const CurvePole& top);

// The poles of a model's Edges: the means of their first and of their last points. Edges
// without points take no part; no Edge with points gives zero poles.
void EdgePoleAverages(const EdgeCurveList& list, CurvePole& bottom, CurvePole& top);
// The poles after a level: each Edge contributes the point at 2^-k of its end segment from the
// end, k the segment's skip depth (the pole mark gives the end point itself).
void RefinedPoleAverages(const EdgeCurveList& list, CurvePole& bottom, CurvePole& top);
// Pulls every Edge's ends 2 - sqrt 2 of the way toward the poles, less as the pole is sharper
// and the end has fewer levels left; keeps the second point above the bottom pole and the last
// but one below the top pole.
void BlendPoles(EdgeCurveList& list, const CurvePole& bottom, const CurvePole& top);
// Edge `index` of the list with the poles added at both ends (the bottom pole takes the first
// point's param, levels and flag, the top pole the last point's), with its metrics.
void AttachPoles(const EdgeCurveList& list, std::uint32_t index, const CurvePole& bottom,
                 const CurvePole& top, EdgeCurve& output);

// Refines the source list by `levels` levels into the destination, which is rebuilt whole:
// its curves, kind, metrics and box. Open curves (kind 1) get their `levels` written in the
// source. A list without curves gives an empty destination.
void RefineEdgeCurves(EdgeCurveList& source, std::uint32_t levels, SubdivisionSettings& settings,
                      EdgeCurveList& destination);

}  // namespace veskor
