// The cross-section cut: one point per Edge of a model object's refined Edges at one height,
// and, through the object's SliceTable, the data with which the subdivision refines the cut
// (sweep_path_subdivision.h): one copy of the cut for every slice the cut touches, each with
// that slice's per-Edge sharpness (the bank paths), and one hit for every slice triple the
// cut touches: its three slices, a height weight and a weight path that is 1 at the Edges of
// the triple and 0 at the others. The sweep-path construction cuts every ring of a model
// object here.
#pragma once

#include <cstdint>

#include "geometry/slice_table.h"
#include "gfx/sweep_path.h"
#include "language/edge_curve.h"

namespace veskor {

// Two banks of paths: the subdivision refines the current bank into the other one pass after
// pass, swapping them. Three slices per Edge at most: 16 Edges touch at most 48.
inline constexpr std::uint32_t kBankPathMax = 64;

inline constexpr const char* kCutOutsideSliceTableMessage =
    "Cross-Section Point Outside Its Slice Table !";

struct SubdivisionBanks {
  SweepPath paths[2][kBankPathMax];
  std::uint32_t count;  // paths in use in each bank
  std::uint32_t current;
  std::uint32_t other;
  // The hits, one per touched triple: its three slices as bank path indices (bytes 0 to 2: the
  // slice of the point before, of the point, of the point after), its height weight, and its
  // weight path (x holds the weight of each Edge, one point per Edge).
  std::uint32_t hitCount;
  std::uint32_t hitSlices[kSliceTableEdgeMax];
  float hitFractions[kSliceTableEdgeMax];
  SweepPath weightPaths[kSliceTableEdgeMax];
  ~SubdivisionBanks();
};
extern SubdivisionBanks gSubdivisionBanks;

inline SweepPath* BankPaths(SubdivisionBanks& banks) { return banks.paths[banks.current]; }

// Cuts the Edges of `list` at segment s_e and fraction t_e each into `out` (sized and emptied
// first): x, y and sectionSharpness of the point s_e when |t_e| is below 0.0005 (or it is the
// Edge's last point), else interpolated toward point s_e + 1; pathParam e / n, levelsLeft
// 128.0 (packed, it saturates: the subdivision sets every level before one is read), point
// value `value` (the object set's index), hidden 0. Each point is recorded against the slice
// table, then SectionCutSlices fills gSubdivisionBanks. A list of more than
// kSliceTableEdgeMax Edges (kTooManyObjectEdgesMessage), or of another Edge count than the
// table's, sets the scene build's error and leaves `out` empty.
void SectionCut(const EdgeCurveList& list, const std::uint32_t* segments, const float* fractions,
                SweepPath& out, SliceTable& table, float value);
// Records the cut point of the Edge at the table's cursor, whose refined `param` names the
// nearest input point k = trunc(param + 0.5) (fraction f = param + 0.5 - k): marks the Edge in
// the mask of that point's triple and touches its three slices (numbered in the order
// touched); advances the cursor. A point past its Edge's list, or a 17th Edge, sets the scene
// build's error and records nothing.
void SectionCutRecord(SliceTable& table, float param, float x, float y, float position,
                      float value);
// From the points recorded since the last call: one bank path per touched slice in the current
// bank (the cut's points with that slice's sharpness per Edge, levelsLeft 28.0) and one hit
// per touched triple (its weight path, its slices, the fraction f of the last of its Edges).
// Clears the record for the next cut.
void SectionCutSlices(const SliceTable& table, SubdivisionBanks& banks);

}  // namespace veskor
