// SliceTable: for one model object, the ascending heights at which its Edges have points (the
// slices), the cross-section sharpness of every Edge at every slice, and for every point of
// every Edge the three slices of the point before it, the point itself and the point after
// it. The object path sets fill one table per model object from the model's own Edges; the
// cross-section cut reads it to give each cut point the sharpness of the slices around it.
// The 8192 tables are one static array that lives for the whole run.
#pragma once

#include <cstdint>

#include "foundation/vm_array.h"
#include "language/edge_curve.h"

namespace veskor {

// Edges a table describes: the mask bits, the sharpness arrays and the per-Edge lists.
inline constexpr std::uint32_t kSliceTableEdgeMax = 16;
// Slice indices are 8-bit.
inline constexpr std::uint32_t kSliceTableSliceMax = 256;
inline constexpr std::uint32_t kSliceTableMax = 8192;
// Points of different Edges closer in height than this lie on one slice.
inline constexpr float kSliceMergeTolerance = 0.0005f;

inline constexpr const char* kTooManySlicesMessage = "Too Many Slice Heights In One Object !";

struct SliceRecord {
  std::uint32_t edgeMask;  // bit e: Edge e has a point on the slice
  float height;
  // Edge e's cross-section sharpness at the height: its point's own where it has one there,
  // else interpolated along the Edge (its last point's above its end).
  float sharpness[kSliceTableEdgeMax];
};

// A triple packs three slice indices: byte 0 the point before (the point itself for a first
// point), byte 1 the point, byte 2 the point after (the point itself for a last point).
inline std::uint32_t SliceTriple(std::uint32_t before, std::uint32_t at, std::uint32_t after) {
  return (before & 0xFF) | (at & 0xFF) << 8 | (after & 0xFF) << 16;
}
inline std::uint32_t SliceTripleByte(std::uint32_t triple, std::uint32_t k) {
  return triple >> (8 * k) & 0xFF;
}

struct SliceTable {
  std::uint32_t edgeCount;
  VmArray slices;   // of SliceRecord, ascending
  VmArray triples;  // of distinct u32 triples
  // Per Edge, per point: the index of the point's triple in `triples`.
  VmArray edgeTriples[kSliceTableEdgeMax];
  std::uint32_t cursor;  // the cut's next Edge to record (section_cut.h)
};

inline std::uint32_t SliceTableSliceCount(const SliceTable& t) { return t.slices.count; }
inline SliceRecord* SliceTableSlices(const SliceTable& t) {
  return VmArrayData<SliceRecord>(t.slices);
}
inline std::uint32_t* SliceTableTriples(const SliceTable& t) {
  return VmArrayData<std::uint32_t>(t.triples);
}
inline std::uint32_t* SliceTableEdgeTriples(const SliceTable& t, std::uint32_t e) {
  return VmArrayData<std::uint32_t>(t.edgeTriples[e]);
}

// Edge count 0, every list cleared.
void SliceTableInit(SliceTable& table);
// Releases the Edge lists, then the triples and the slices.
void SliceTableRelease(SliceTable& table);
// Sets the Edge count and empties the slices and the triples with room for `pointTotal` of
// each (a table cannot have more of either than its Edges have points).
void SliceTableReset(SliceTable& table, std::uint32_t edgeCount, std::uint32_t pointTotal);
// Edge list e emptied with room for `pointCount` entries.
void SliceTableReserveEdge(SliceTable& table, std::uint32_t e, std::uint32_t pointCount);
// Parks the blocks of the slices and the triples (the Edge lists keep theirs for the next
// table built here).
void SliceTableReleaseLists(SliceTable& table);
// The first slice whose height equals `height` exactly; the slice count when there is none.
std::uint32_t SliceTableFindHeight(const SliceTable& table, float height);
// The index of the triple in `triples`, appended when it is new.
std::uint32_t SliceTableAddTriple(SliceTable& table, std::uint32_t before, std::uint32_t at,
                                  std::uint32_t after);
// (1 - t) sectionSharpness[i] + t sectionSharpness[i + 1].
float EdgeSectionSharpnessAt(const EdgeCurve& curve, std::uint32_t i, float t);

// Fills the table from a model's own Edges: one slice at Edge 0's first height carrying every
// Edge's first point, then repeatedly one at the lowest next point of any Edge, carrying every
// Edge's next point within kSliceMergeTolerance of it; then every point's triple from the
// slices that took its neighbours and itself. More than kSliceTableSliceMax slices (or more
// than kSliceTableEdgeMax Edges) set the scene build's error and return 0, the table
// unfinished; otherwise 1.
std::uint32_t SliceTableFill(SliceTable& table, const EdgeCurveList& model);

struct SliceTableArray {
  SliceTable tables[kSliceTableMax];
  ~SliceTableArray();
};
extern SliceTableArray gSliceTables;

}  // namespace veskor
