// The seams between two neighbouring control nets (net layout), B lying before A along the
// seam's axis, so that B's last vertex line and A's first vertex line are the same line of the
// surface. Also between tiles of two nets. One member for both paths.
#include <cstddef>

#include "mapengine/grid_layout_kernels.h"

namespace veskor::plain {

namespace {

using u8 = std::uint8_t;
using u32 = std::uint32_t;

// A net, or one tile of a net: its first border position, the row stride of the whole net and
// the cell counts of the net (tile).
struct NetView {
  float* origin;
  u32 stride;
  u32 cellsWide, cellsHigh;
  float& at(u32 row, u32 column) const { return origin[std::size_t{row} * stride + column]; }
};

NetView WholeNet(float* net, u8 logWide, u8 logHigh) {
  return {net, (1u << logWide) + 3, 1u << logWide, 1u << logHigh};
}

// Tile (tx, ty) of a net cut into 2^tilesWide x 2^tilesHigh tiles.
NetView Tile(float* net, u8 logWide, u8 logHigh, u8 tilesWide, u8 tilesHigh, u32 tx, u32 ty) {
  const u32 wide = 1u << (logWide - tilesWide), high = 1u << (logHigh - tilesHigh);
  const u32 stride = (1u << logWide) + 3;
  return {net + std::size_t{ty} * high * stride + std::size_t{tx} * wide, stride, wide, high};
}

// One line of a net (a row or a column), indexed along the seam.
struct Line {
  float* first;
  std::ptrdiff_t step;
  float& operator[](u32 k) const { return first[k * step]; }
};

Line Column(const NetView& n, u32 column) { return {&n.at(0, column), n.stride}; }
Line Row(const NetView& n, u32 row) { return {&n.at(row, 0), 1}; }

float Mix(float t, float x0, float x1) {
  return static_cast<float>((1.0 - t) * x0 + double{t} * x1);
}

// The finer side of a seam, with k cells to each of the coarser side's `cells`, takes the
// coarser side's shared line and its line beyond the seam, interpolated, as its own shared
// line and border; the coarser side's border takes the finer side's line beyond the seam at
// the coarse vertices.
void Spread(u32 cells, u32 k, Line coarseShared, Line coarseBeyond, Line coarseBorder,
            Line fineShared, Line fineBorder, Line fineBeyond) {
  const float step = 1.0f / static_cast<float>(k);
  u32 q = 1;
  for (u32 r = 1; r <= cells; ++r) {
    coarseBorder[r] = fineBeyond[q];
    float t = 0.0f;
    for (u32 m = 0; m < k; ++m, ++q, t += step) {
      fineShared[q] = Mix(t, coarseShared[r], coarseShared[r + 1]);
      fineBorder[q] = Mix(t, coarseBeyond[r], coarseBeyond[r + 1]);
    }
  }
  const u32 last = cells + 1;
  fineShared[q] = coarseShared[last];
  fineBorder[q] = coarseBeyond[last];
  coarseBorder[last] = fineBeyond[q];
}

// A's border, first and second lines (ab, a1, a2) against B's next-to-last, shared and border
// lines (bl, bs, bb), with cellsA and cellsB cells along the seam. The finer side takes the
// coarser side's lines interpolated; equal sides average their shared lines.
void StitchLines(Line ab, Line a1, Line a2, u32 cellsA, Line bl, Line bs, Line bb, u32 cellsB) {
  if (cellsA == cellsB) {
    for (u32 r = 1; r <= cellsA + 1; ++r) {
      const float m = static_cast<float>(0.5 * (double{bs[r]} + a1[r]));
      a1[r] = m;
      bs[r] = m;
      ab[r] = bl[r];
      bb[r] = a2[r];
    }
  } else if (cellsA < cellsB) {
    Spread(cellsA, cellsB / cellsA, a1, a2, ab, bs, bb, bl);
  } else {
    Spread(cellsB, cellsA / cellsB, bs, bl, bb, a1, ab, a2);
  }
}

// B to the left of A: B's net column cellsWide + 1 is A's net column 1.
void StitchColumns(const NetView& A, const NetView& B) {
  const u32 bw = B.cellsWide;
  StitchLines(Column(A, 0), Column(A, 1), Column(A, 2), A.cellsHigh, Column(B, bw),
              Column(B, bw + 1), Column(B, bw + 2), B.cellsHigh);
}

// B above A: B's net row cellsHigh + 1 is A's net row 1.
void StitchRows(const NetView& A, const NetView& B) {
  const u32 bh = B.cellsHigh;
  StitchLines(Row(A, 0), Row(A, 1), Row(A, 2), A.cellsWide, Row(B, bh), Row(B, bh + 1),
              Row(B, bh + 2), B.cellsWide);
}

// B diagonally before A: each border corner takes the neighbour's vertex one step inside the
// shared corner.
void StitchCorner(const NetView& A, const NetView& B) {
  A.at(0, 0) = B.at(B.cellsHigh, B.cellsWide);
  B.at(B.cellsHigh + 2, B.cellsWide + 2) = A.at(2, 2);
}

// B before A in rows and after A in columns.
void StitchCorner2(const NetView& A, const NetView& B) {
  A.at(0, A.cellsWide + 2) = B.at(B.cellsHigh, 2);
  B.at(B.cellsHigh + 2, 0) = A.at(2, A.cellsWide);
}

}  // namespace

void NetStitchColumns(u8 a, u8 hA, float* netA, u8 b, u8 hB, float* netB) {
  StitchColumns(WholeNet(netA, a, hA), WholeNet(netB, b, hB));
}

void NetStitchRows(u8 a, u8 hA, float* netA, u8 b, u8 hB, float* netB) {
  StitchRows(WholeNet(netA, a, hA), WholeNet(netB, b, hB));
}

void NetStitchCorner(u8 a, u8 hA, float* netA, u8 b, u8 hB, float* netB) {
  StitchCorner(WholeNet(netA, a, hA), WholeNet(netB, b, hB));
}

void NetStitchCorner2(u8 a, u8 hA, float* netA, u8 b, u8 hB, float* netB) {
  StitchCorner2(WholeNet(netA, a, hA), WholeNet(netB, b, hB));
}

void NetStitchColumnsAt(u8 a, u8 hA, u8 la, u8 lhA, u32 tx, u32 ty, float* netA, u8 b, u8 hB,
                        u8 lb, u8 lhB, u32 txB, u32 tyB, float* netB) {
  StitchColumns(Tile(netA, a, hA, la, lhA, tx, ty), Tile(netB, b, hB, lb, lhB, txB, tyB));
}

void NetStitchRowsAt(u8 a, u8 hA, u8 la, u8 lhA, u32 tx, u32 ty, float* netA, u8 b, u8 hB,
                     u8 lb, u8 lhB, u32 txB, u32 tyB, float* netB) {
  StitchRows(Tile(netA, a, hA, la, lhA, tx, ty), Tile(netB, b, hB, lb, lhB, txB, tyB));
}

void NetStitchCornerAt(u8 a, u8 hA, u8 la, u8 lhA, u32 tx, u32 ty, float* netA, u8 b, u8 hB,
                       u8 lb, u8 lhB, u32 txB, u32 tyB, float* netB) {
  StitchCorner(Tile(netA, a, hA, la, lhA, tx, ty), Tile(netB, b, hB, lb, lhB, txB, tyB));
}

void NetStitchCornerAt2(u8 a, u8 hA, u8 la, u8 lhA, u32 tx, u32 ty, float* netA, u8 b, u8 hB,
                        u8 lb, u8 lhB, u32 txB, u32 tyB, float* netB) {
  StitchCorner2(Tile(netA, a, hA, la, lhA, tx, ty), Tile(netB, b, hB, lb, lhB, txB, tyB));
}

}  // namespace veskor::plain
