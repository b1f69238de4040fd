#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "mapengine/grid_arithmetic_kernels.h"
#include "mapengine/kernel_support.h"

namespace veskor {
namespace {

using test::Tables;
using Array = std::vector<float>;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Row-major array of `wide` columns; at(row, column).
struct Grid2D {
  std::uint32_t wide, high;
  Array values;
  Grid2D(std::uint32_t w, std::uint32_t h, float v = 0) : wide(w), high(h), values(w * h, v) {}
  float& at(std::uint32_t row, std::uint32_t column) { return values.at(row * wide + column); }
  float* data() { return values.data(); }
};
Grid2D Vertex(int a, int b) { return Grid2D((1u << a) + 1, (1u << b) + 1); }
Grid2D Cells(int a, int b) { return Grid2D((1u << a) + 2, (1u << b) + 2, -99.0f); }
Grid2D Net(int a, int b) { return Grid2D((1u << a) + 3, (1u << b) + 3, -99.0f); }

// A plane over grid positions: exact in float for the small sizes used here.
Grid2D Plane(std::uint32_t wide, std::uint32_t high, float fx, float fy, float c) {
  Grid2D g(wide, high);
  for (std::uint32_t j = 0; j < high; ++j)
    for (std::uint32_t i = 0; i < wide; ++i) g.at(j, i) = c + fx * i + fy * j;
  return g;
}

using GridLayout = test::BothPaths;

TEST_P(GridLayout, ToNetClampsOrWrapsTheBorderAndFromBorderedTakesTheInteriorBack) {
  Grid2D S = Vertex(2, 1);  // 5 x 3
  for (std::size_t i = 0; i < S.values.size(); ++i) S.values[i] = static_cast<float>(i);
  for (int wrap : {0, 1, 2}) {  // none, in x, in y
    Grid2D D = Net(2, 1);
    k().GridToNet(2, 1, wrap == 1, wrap == 2, S.data(), D.data());
    for (std::uint32_t j = 0; j <= 4; ++j)
      for (std::uint32_t i = 0; i <= 6; ++i) {
        // Wrapped borders take column 2^a - 1 (row 2^b - 1) and column 1 (row 1); corners
        // are always clamped.
        const bool corner = (i == 0 || i == 6) && (j == 0 || j == 4);
        std::uint32_t x = std::clamp<std::uint32_t>(i, 1, 5) - 1;
        std::uint32_t y = std::clamp<std::uint32_t>(j, 1, 3) - 1;
        if (wrap == 1 && !corner && (i == 0 || i == 6)) x = i == 0 ? 3 : 1;
        if (wrap == 2 && !corner && (j == 0 || j == 4)) y = 1;
        EXPECT_EQ(D.at(j, i), S.at(y, x)) << i << "," << j << " wrap " << wrap;
      }
    Grid2D back = Vertex(2, 1);
    k().GridFromBordered(2, 1, D.data(), back.data());
    EXPECT_EQ(back.values, S.values);
  }
  Grid2D copy = Vertex(2, 1);
  k().GridCopy(2, 1, S.data(), copy.data());
  EXPECT_EQ(copy.values, S.values);
}

TEST_P(GridLayout, ChannelToBorderedCopiesOneChannelAndRepeatsTheEdges) {
  Array S(4 * 2 * 4);  // 4 x 2 texels of 4 channels
  for (std::size_t i = 0; i < S.size(); ++i) S[i] = static_cast<float>(i);
  Grid2D D = Cells(2, 1);
  k().MapChannelToBordered(4, 2, 1, S.data() + 1, D.data());  // channel 1
  for (std::uint32_t j = 0; j < 4; ++j)
    for (std::uint32_t i = 0; i < 6; ++i) {
      const std::uint32_t y = std::clamp<std::uint32_t>(j, 1, 2) - 1;
      const std::uint32_t x = std::clamp<std::uint32_t>(i, 1, 4) - 1;
      EXPECT_EQ(D.at(j, i), S[(y * 4 + x) * 4 + 1]) << i << "," << j;
    }
}

TEST_P(GridLayout, CellCentresOfAPlaneContinueThePlaneOnTheBorder) {
  for (auto [a, b] : {std::pair{0, 0}, {3, 2}, {5, 3}}) {
    Grid2D S = Plane((1u << a) + 1, (1u << b) + 1, 2.0f, -3.0f, 5.0f);
    Grid2D D = Cells(a, b);
    k().GridCellCentres(a, b, S.data(), D.data());
    EXPECT_EQ(D.values, Plane(D.wide, D.high, 2.0f, -3.0f, 5.0f - 1.0f + 1.5f).values);
  }
}

TEST_P(GridLayout, NetToCellsAveragesEveryTwoByTwoBlock) {
  Grid2D S = Net(1, 2);
  for (std::size_t i = 0; i < S.values.size(); ++i) S.values[i] = static_cast<float>(i * i % 7);
  Grid2D D = Cells(1, 2);
  k().GridNetToCells(1, 2, S.data(), D.data());
  for (std::uint32_t j = 0; j < D.high; ++j)
    for (std::uint32_t i = 0; i < D.wide; ++i)
      EXPECT_EQ(D.at(j, i),
                0.25f * (S.at(j, i) + S.at(j, i + 1) + S.at(j + 1, i) + S.at(j + 1, i + 1)));
}

TEST_P(GridLayout, AverageWritesEachTexelChTimes) {
  Grid2D S = Plane(9, 3, 1.0f, 8.0f, 0.0f);  // (3, 1)
  for (std::uint8_t ch : {0, 1, 3, 4}) {
    const std::uint32_t copies = ch > 1 ? ch : 1;
    Array D(8 * 2 * copies + 1, -1.0f), expected;
    k().GridAverage2x2(3, 1, S.data(), ch, D.data());
    for (std::uint32_t t = 0; t < 16; ++t)
      expected.insert(expected.end(), copies, t % 8 + 0.5f + 8.0f * (t / 8 + 0.5f));
    expected.push_back(-1.0f);
    EXPECT_EQ(D, expected) << int{ch};
  }
}

TEST_P(GridLayout, SubdivisionHalvesTheSteps) {
  for (auto [a, b] : {std::pair{0, 0}, {3, 1}, {4, 4}}) {
    Grid2D S = Plane((1u << a) + 1, (1u << b) + 1, 4.0f, 2.0f, 1.0f);
    Grid2D D = Vertex(a + 1, b + 1);
    k().GridSubdivide2x(a, b, S.data(), D.data());
    EXPECT_EQ(D.values, Plane(D.wide, D.high, 2.0f, 1.0f, 1.0f).values);
  }
}

TEST_P(GridLayout, SummedTablesCountCellsBeforeEachPosition) {
  const std::uint8_t a = 3, b = 2;
  Grid2D ones = Vertex(a, b), D = Vertex(a, b);
  std::fill(ones.values.begin(), ones.values.end(), 1.0f);
  k().GridSummedArea(a, b, ones.data(), D.data());
  for (std::uint32_t j = 0; j < D.high; ++j)
    for (std::uint32_t i = 0; i < D.wide; ++i) EXPECT_EQ(D.at(j, i), float(i * j));

  // Three planes of 9 x 2 values, much wider than high: the first plane is cleared exactly,
  // nothing past the volume (the canary).
  const std::size_t plane = GridValueCount(3, 0);
  Array S(plane * 3, 1.0f), V(plane * 3 + 1, -1.0f);
  S[plane * 1 + 3] = 3.0f;  // plane 1, row 0, column 3 counts three times
  k().VolumeSummedTable(3, 0, 1, S.data(), V.data());
  for (std::uint32_t z = 0; z <= 2; ++z)
    for (std::uint32_t j = 0; j <= 1; ++j)
      for (std::uint32_t i = 0; i <= 8; ++i) {
        const bool covers = z > 1 && j > 0 && i > 3;
        EXPECT_EQ(V[z * plane + j * 9 + i], float(i * j * z + (covers ? 2 : 0))) << i << j << z;
      }
  EXPECT_EQ(V.back(), -1.0f);
}

TEST_P(GridLayout, LookupsClampCoordinatesAndReproduceLinearTables) {
  Grid2D T = Plane(9, 5, 1.0f, 10.0f, 0.0f), T2 = Plane(9, 5, -2.0f, 0.0f, 7.0f);  // (3, 2)
  Grid2D M = Plane(8, 4, 3.0f, 1.0f, 0.0f);  // a Map of 8 x 4 texels
  const Array U = {0.0f, 0.5f, 1.0f, -1.0f, 0.25f, 0.999f, 0.125f, 2.0f, 0.75f};
  const Array V = {0.0f, 0.5f, 1.0f, 0.5f, -3.0f, 0.25f, 0.999f, 0.5f, kNaN};
  Array D(9), D2(9), E[3] = {Array(9), Array(9), Array(9)};
  k().GridSampleBilinear2(3, 2, T.data(), T2.data(), 1, 1, U.data(), V.data(), D.data(),
                          D2.data());
  k().GridSampleBilinear6(3, 2, M.data(), M.data(), M.data(), 1, 1, U.data(), V.data(),
                          E[0].data(), E[1].data(), E[2].data());
  for (std::size_t n = 0; n < 9; ++n) {
    const float u = std::clamp(U[n], 0.0f, 0.999f);
    const float v = std::isnan(V[n]) ? 0.0f : std::clamp(V[n], 0.0f, 0.999f);
    EXPECT_NEAR(D[n], 8.0f * u + 40.0f * v, 2e-5) << n;
    EXPECT_NEAR(D2[n], 7.0f - 16.0f * u, 2e-5) << n;
    EXPECT_NEAR(E[0][n], 21.0f * u + 3.0f * v, 2e-5) << n;  // Map positions scale by 2^w - 1
    EXPECT_TRUE(E[1][n] == E[0][n] && E[2][n] == E[0][n]) << n;  // one set of weights
  }
  // 1024 cells: a coordinate of 1.0 samples at 0.999 * 1024, short of the last vertex.
  Grid2D wide = Plane(1025, 2, 1.0f, 0.0f, 0.0f);
  const Array one(4, 1.0f), zero(4, 0.0f);
  k().GridSampleBilinear(10, 0, wide.data(), 0, 0, one.data(), zero.data(), D.data());
  EXPECT_NEAR(D[0], 0.999 * 1024, 1e-3);
  EXPECT_LT(D[0], 1023.0f);
}

TEST_P(GridLayout, LookupsInTablesOneValueWideOrHighStayInsideThem) {
  // Exactly sized tables: a read past them is caught by the address sanitizer.
  const Array U = {1.0f, 0.5f, 0.0f, 0.7f}, V = {1.0f, 0.3f, 0.0f, 0.9f};
  Array D(4);
  const Array single = {6.5f}, column = {0, 10, 20, 30}, row = {0, 2};
  k().GridSampleBilinear4(0, 0, single.data(), 0, 0, U.data(), V.data(), D.data());
  EXPECT_EQ(D, Array(4, 6.5f));
  k().GridSampleBilinear7(1, 1, single.data(), 0, 0, U.data(), V.data(), D.data());
  EXPECT_EQ(D, Array(4, 6.5f));
  k().GridSampleBilinear7(1, 4, column.data(), 0, 0, U.data(), V.data(), D.data());
  for (std::size_t n = 0; n < 4; ++n) EXPECT_NEAR(D[n], 30.0f * std::min(V[n], 0.999f), 1e-4);
  k().GridSampleBilinear5(1, 0, row.data(), row.data(), 0, 0, U.data(), V.data(), D.data(),
                          D.data());  // a Map of 2 x 1 texels
  for (std::size_t n = 0; n < 4; ++n) EXPECT_NEAR(D[n], 2.0f * std::min(U[n], 0.999f), 1e-5);
}

VESKOR_BOTH_PATHS(GridLayout);

// --- Seams (one member for both paths) --------------------------------------------------------

// Net with value 1000 * tag + 10 * row + column at every position.
Grid2D TaggedNet(int a, int b, int tag) {
  return Plane((1u << a) + 3, (1u << b) + 3, 1.0f, 10.0f, 1000.0f * tag);
}

TEST(NetStitch, EqualNetsShareAveragedLinesAndTakeTheNeighboursFirstInnerLines) {
  const KernelTable& k = Tables().plain;
  Grid2D A = TaggedNet(2, 1, 1), B = TaggedNet(3, 1, 2);  // B left of A
  Grid2D A0 = A, B0 = B;
  k.NetStitchColumns(2, 1, A.data(), 3, 1, B.data());
  for (std::uint32_t r = 1; r <= 3; ++r) {
    const float m = 0.5f * (B0.at(r, 9) + A0.at(r, 1));
    EXPECT_EQ(A.at(r, 1), m);
    EXPECT_EQ(B.at(r, 9), m);
    EXPECT_EQ(A.at(r, 0), B0.at(r, 8));   // B's next-to-last vertex column
    EXPECT_EQ(B.at(r, 10), A0.at(r, 2));  // A's second vertex column
  }
  EXPECT_EQ(A.at(0, 0), A0.at(0, 0));  // border rows untouched
  EXPECT_EQ(A.at(4, 1), A0.at(4, 1));

  // Rows: the same with rows and columns exchanged (E above C, equal widths).
  Grid2D C = TaggedNet(2, 1, 3), E = TaggedNet(2, 2, 4);
  Grid2D C0 = C, E0 = E;
  k.NetStitchRows(2, 1, C.data(), 2, 2, E.data());
  for (std::uint32_t c = 1; c <= 5; ++c) {
    const float m = 0.5f * (E0.at(5, c) + C0.at(1, c));
    EXPECT_EQ(C.at(1, c), m);
    EXPECT_EQ(E.at(5, c), m);
    EXPECT_EQ(C.at(0, c), E0.at(4, c));
    EXPECT_EQ(E.at(6, c), C0.at(2, c));
  }
}

TEST(NetStitch, TheFinerSideTakesTheCoarserLinesInterpolated) {
  const KernelTable& k = Tables().plain;
  // A coarser: 2 cells along the seam against B's 8.
  Grid2D A = TaggedNet(1, 1, 1), B = TaggedNet(2, 3, 2);
  Grid2D A0 = A, B0 = B;
  k.NetStitchColumns(1, 1, A.data(), 2, 3, B.data());
  for (std::uint32_t q = 1; q <= 9; ++q) {
    const float t = (q - 1) / 4.0f;  // A rows 1..3 at B rows 1, 5, 9
    EXPECT_FLOAT_EQ(B.at(q, 5), 1000 + 10 * (1 + t) + 1) << q;
    EXPECT_FLOAT_EQ(B.at(q, 6), 1000 + 10 * (1 + t) + 2) << q;
  }
  for (std::uint32_t r = 1; r <= 3; ++r) EXPECT_EQ(A.at(r, 0), B0.at(1 + 4 * (r - 1), 4));
  EXPECT_EQ(A.at(1, 1), A0.at(1, 1));  // the coarse shared line stays

  // B coarser: the mirror image.
  Grid2D C = TaggedNet(1, 2, 3), E = TaggedNet(1, 0, 4);
  Grid2D C0 = C, E0 = E;
  k.NetStitchColumns(1, 2, C.data(), 1, 0, E.data());
  for (std::uint32_t r = 1; r <= 5; ++r) {
    const float t = (r - 1) / 4.0f;  // B rows 1..2 at A rows 1, 5
    EXPECT_FLOAT_EQ(C.at(r, 1), 4000 + 10 * (1 + t) + 3) << r;
    EXPECT_FLOAT_EQ(C.at(r, 0), 4000 + 10 * (1 + t) + 2) << r;
  }
  EXPECT_EQ(E.at(1, 4), C0.at(1, 2));
  EXPECT_EQ(E.at(2, 4), C0.at(5, 2));
  EXPECT_EQ(E.at(1, 3), E0.at(1, 3));
}

TEST(NetStitch, CornersAndTiles) {
  const KernelTable& k = Tables().plain;
  Grid2D A = TaggedNet(2, 2, 1), B = TaggedNet(1, 3, 2);
  Grid2D A0 = A, B0 = B;
  k.NetStitchCorner(2, 2, A.data(), 1, 3, B.data());
  EXPECT_EQ(A.at(0, 0), B0.at(8, 2));
  EXPECT_EQ(B.at(10, 4), A0.at(2, 2));
  k.NetStitchCorner2(2, 2, A.data(), 1, 3, B.data());
  EXPECT_EQ(A.at(0, 6), B0.at(8, 2));
  EXPECT_EQ(B.at(10, 0), A0.at(2, 4));

  // Tile (1, 0) of A cut into 2 x 2 tiles of 2 x 2 cells, against the whole of a 2 x 2 net B
  // on its left: the same stitch as between two small nets, inside the big one.
  Grid2D big = TaggedNet(2, 2, 5), left = TaggedNet(1, 1, 6), top = TaggedNet(1, 1, 7);
  Grid2D big0 = big, left0 = left, top0 = top;
  k.NetStitchColumnsAt(2, 2, 1, 1, 1, 0, big.data(), 1, 1, 0, 0, 0, 0, left.data());
  for (std::uint32_t r = 1; r <= 3; ++r) {
    const float m = 0.5f * (left0.at(r, 3) + big0.at(r, 3));
    EXPECT_EQ(big.at(r, 3), m);  // tile column 1 is net column 2 + 1
    EXPECT_EQ(left.at(r, 3), m);
    EXPECT_EQ(big.at(r, 2), left0.at(r, 2));
    EXPECT_EQ(left.at(r, 4), big0.at(r, 4));
  }
  EXPECT_EQ(big.at(4, 3), big0.at(4, 3));  // the tile's own rows only
  big = big0;
  k.NetStitchRowsAt(2, 2, 1, 1, 0, 1, big.data(), 1, 1, 0, 0, 0, 0, top.data());
  for (std::uint32_t c = 1; c <= 3; ++c)
    EXPECT_EQ(big.at(3, c), 0.5f * (top0.at(3, c) + big0.at(3, c)));
  big = big0;
  k.NetStitchCornerAt(2, 2, 1, 1, 1, 1, big.data(), 1, 1, 0, 0, 0, 0, top.data());
  EXPECT_EQ(big.at(2, 2), top0.at(2, 2));
  k.NetStitchCornerAt2(2, 2, 1, 1, 0, 1, big.data(), 1, 1, 0, 0, 0, 0, top.data());
  EXPECT_EQ(big.at(2, 4), top0.at(2, 2));
}

}  // namespace
}  // namespace veskor
