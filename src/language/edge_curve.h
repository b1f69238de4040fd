// Edge curves and curve lists: the polylines that models are made of (the Edges of a `Model`
// block and of the built-in models) and the profiles cut from height grids, with the list that
// holds the curves of one model, object or curve set. The World's model table holds one list
// per model; the geometry generator copies, refines and cuts them.
//
// They belong to geometry generation, but the world model holds and fills them, and the
// geometry folder is built on the language folder: kept here, both folders reach them and the
// folder graph stays acyclic.
//
// `height` is the axis along which cross-sections are cut: a model's Edges run from its lowest
// to its highest height, and every cross-section is a polygon in (x, y).
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

namespace veskor {

// Bytes per point: eight float arrays and two byte arrays, all carved from one block.
inline constexpr std::uint32_t kEdgeCurvePointBytes = 8 * sizeof(float) + 2;

// Refinement levels that the producers give every point.
inline constexpr float kEdgeCurveLevels = 28.0f;

struct EdgeCurve {
  MemBlock block;  // holds every per-point array
  float* x;
  float* y;
  float* height;
  float* edgeSharpness;     // crease along the Edge, in refinement levels (0 smooth, 1 sharp)
  float* sectionSharpness;  // crease of the cross-section corner this Edge forms
  float* param;             // position along the Edge in input points: 0, 1, 2, ...
  float* arcLength;         // from the first point, written by EdgeCurveMetrics
  float* levels;            // refinement levels still allowed at the point
  std::int8_t* skipDepth;   // levels the segment from this point was left whole; -1 pole joins
  std::uint8_t* flag;       // copied unchanged by every refinement level
  std::uint32_t capacity;   // points the arrays hold
  std::uint32_t count;      // points in use
  std::uint32_t extra;      // segments the last refinement level left whole
  float length;             // of the closed polygon: last arcLength plus the closing distance
  float box[6];             // min x, max x, min y, max y, min height, max height
};

// Kinds of curve list.
inline constexpr std::uint32_t kEdgeCurveListModel = 0;     // Edges closed at two poles
inline constexpr std::uint32_t kEdgeCurveListCurveSet = 1;  // open profiles of a height grid

struct EdgeCurveList {
  MemBlock block;     // the curve records, one after the other
  EdgeCurve* curves;  // the block's base
  std::uint32_t count;
  std::uint32_t kind;
  std::uint32_t capacity;
  float box[6];  // union of the curve boxes, in the curve box order
};

// A cleared curve: no block, null arrays, capacity, count, extra and length 0. The box is left
// as it is: it is valid only after EdgeCurveMetrics.
void EdgeCurveInit(EdgeCurve& curve);
// Sizes the curve for n points and empties it (count, extra, length 0). The same point count
// keeps the arrays and their contents; another count keeps the block when 34 n bytes fit both
// its reserve and its committed pages, else reserves a new one; the arrays are carved anew.
void EdgeCurveResize(EdgeCurve& curve, std::uint32_t n);
// Sizes the destination for the source's count, copies every array over that many points,
// then count, extra, length and box.
void EdgeCurveCopy(EdgeCurve& destination, const EdgeCurve& source);
// Writes the point at index count (param = that index, skipDepth 0, arcLength untouched) and
// counts it. Returns false, writing nothing, when the curve is full.
bool AppendCurvePoint(EdgeCurve& curve, float x, float y, float height, float edgeSharpness,
                      float sectionSharpness, float levels, std::uint8_t flag);
// arcLength of every point, length and box. A curve without points gets length 0 and a zero box.
void EdgeCurveMetrics(EdgeCurve& curve);
// Parks the curve's block and clears the curve.
void EdgeCurveRelease(EdgeCurve& curve);

// An empty list without a block (the box is left as it is).
void EdgeCurveListInit(EdgeCurveList& list);
// Sets the kind and empties the list for n curves: every curve block is parked, and the list
// block too when it holds fewer than n curves (a new one for n is then reserved).
void EdgeCurveListResize(EdgeCurveList& list, std::uint32_t n, std::uint32_t kind);
// Appends n cleared curves and returns the first. Passing the list block's reserve is fatal
// ("Virtual Memory Error : Required Memory > Reserved Memory ...").
EdgeCurve* EdgeCurveListAppend(EdgeCurveList& list, std::uint32_t n);
// Parks every curve block; count 0, the list block emptied and kept.
void EdgeCurveListClear(EdgeCurveList& list);
// Parks every curve block and the list block; the list is cleared.
void EdgeCurveListFree(EdgeCurveList& list);
inline void EdgeCurveListRelease(EdgeCurveList& list) { EdgeCurveListFree(list); }
// Gives the list a block for `bytes` bytes of curve records (its curves parked first); empty.
void EdgeCurveListReserve(EdgeCurveList& list, std::uint32_t bytes);
// EdgeCurveMetrics on every curve; the list box is the union of theirs (zero for no curves).
void ModelCurveMetrics(EdgeCurveList& list);

}  // namespace veskor
