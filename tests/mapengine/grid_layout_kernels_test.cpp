#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "mapengine/grid_arithmetic_kernels.h"
#include "mapengine/kernel_support.h"

namespace veskor {
namespace {

using test::KernelBuffer;
using test::SameValue;
using test::Tables;
using test::Ulp;

using Array = std::vector<float>;

// Row-major array of `wide` columns; at(row, column).
struct Grid2D {
  std::uint32_t wide, high;
  Array values;
  Grid2D(std::uint32_t w, std::uint32_t h, float fill = 0.0f) : wide(w), high(h), values(w * h, fill) {}
  float& at(std::uint32_t row, std::uint32_t column) { return values.at(row * wide + column); }
  float at(std::uint32_t row, std::uint32_t column) const { return values.at(row * wide + column); }
  float* data() { return values.data(); }
};

Grid2D Vertex(std::uint8_t a, std::uint8_t b) { return Grid2D((1u << a) + 1, (1u << b) + 1); }
Grid2D Cells(std::uint8_t a, std::uint8_t b) { return Grid2D((1u << a) + 2, (1u << b) + 2, -99.0f); }
Grid2D Net(std::uint8_t a, std::uint8_t b) { return Grid2D((1u << a) + 3, (1u << b) + 3, -99.0f); }

// A plane over grid positions: exact in float for the small sizes used here.
Grid2D Plane(std::uint32_t wide, std::uint32_t high, float fx, float fy, float c) {
  Grid2D g(wide, high);
  for (std::uint32_t j = 0; j < high; ++j)
    for (std::uint32_t i = 0; i < wide; ++i) g.at(j, i) = c + fx * i + fy * j;
  return g;
}

// --- Plain against SSE -----------------------------------------------------------------------

constexpr std::pair<std::uint8_t, std::uint8_t> kSizes[] = {{0, 0}, {1, 0}, {0, 2}, {2, 1},
                                                            {3, 3}, {4, 2}, {5, 5}};

// A sum of four values times 0.25 or the extrapolation 0.75 (n0 + n1) - 0.25 (f0 + f1) rounds
// at each step in single precision and once in double: a few units of the largest input.
double FewUnits(const KernelBuffer& in) {
  float m = 0.0f;
  for (std::size_t i = 0; i < in.size(); ++i) m = std::max(m, std::fabs(in[i]));
  return 2 * Ulp(2.0 * m);
}

struct LayoutKernel {
  const char* name;
  std::size_t (*inputSize)(std::uint8_t a, std::uint8_t b);
  std::size_t (*outputSize)(std::uint8_t a, std::uint8_t b);
  std::function<void(const KernelTable&, std::uint8_t, std::uint8_t, const float*, float*)> call;
};

std::size_t VertexCount(std::uint8_t a, std::uint8_t b) { return GridValueCount(a, b); }
std::size_t CellCount(std::uint8_t a, std::uint8_t b) { return ((1u << a) + 2) * ((1u << b) + 2); }
std::size_t NetCount(std::uint8_t a, std::uint8_t b) { return ((1u << a) + 3) * ((1u << b) + 3); }
std::size_t FineCount(std::uint8_t a, std::uint8_t b) { return GridValueCount(a + 1, b + 1); }
template <int Ch>
std::size_t MapCount(std::uint8_t a, std::uint8_t b) { return (std::size_t{1} << (a + b)) * Ch; }

TEST(GridLayoutParity, SseMembersMatchThePlainOnes) {
  const LayoutKernel kernels[] = {
      {"GridCellCentres", VertexCount, CellCount,
       [](auto& k, auto a, auto b, auto S, auto D) { k.GridCellCentres(a, b, S, D); }},
      {"GridNetToCells", NetCount, CellCount,
       [](auto& k, auto a, auto b, auto S, auto D) { k.GridNetToCells(a, b, S, D); }},
      {"GridSubdivide2x", VertexCount, FineCount,
       [](auto& k, auto a, auto b, auto S, auto D) { k.GridSubdivide2x(a, b, S, D); }},
      {"GridAverage2x2/1", VertexCount, MapCount<1>,
       [](auto& k, auto a, auto b, auto S, auto D) { k.GridAverage2x2(a, b, S, 1, D); }},
      {"GridAverage2x2/3", VertexCount, MapCount<3>,
       [](auto& k, auto a, auto b, auto S, auto D) { k.GridAverage2x2(a, b, S, 3, D); }},
      {"GridAverage2x2/4", VertexCount, MapCount<4>,
       [](auto& k, auto a, auto b, auto S, auto D) { k.GridAverage2x2(a, b, S, 4, D); }},
  };
  std::mt19937 rng(5);
  for (const LayoutKernel& kernel : kernels) {
    for (auto [a, b] : kSizes) {
      for (bool aligned : {true, false}) {
        KernelBuffer in(kernel.inputSize(a, b), aligned);
        test::FillRandom(in, rng);
        const std::size_t n = kernel.outputSize(a, b);
        KernelBuffer plainOut(n + 1, aligned), sseOut(n + 1, aligned);
        plainOut[n] = sseOut[n] = 42.0f;
        kernel.call(Tables().plain, a, b, in.data(), plainOut.data());
        kernel.call(Tables().sse, a, b, in.data(), sseOut.data());
        const double tolerance = FewUnits(in);
        for (std::size_t i = 0; i < n; ++i)
          ASSERT_TRUE(SameValue(plainOut[i], sseOut[i], tolerance))
              << kernel.name << " a=" << int{a} << " b=" << int{b} << " i=" << i << ": "
              << plainOut[i] << " vs " << sseOut[i];
        EXPECT_EQ(sseOut[n], 42.0f) << kernel.name;
        EXPECT_EQ(plainOut[n], 42.0f) << kernel.name;
      }
    }
  }
}

TEST(GridLayoutParity, TableLookupsMatchThePlainOnes) {
  std::mt19937 rng(9);
  std::uniform_real_distribution<float> coordinate(-0.2f, 1.2f);
  const std::pair<std::uint32_t, std::uint32_t> tables[] = {{1, 1}, {1, 7}, {5, 1}, {2, 2},
                                                            {33, 17}, {1025, 300}};
  for (auto [W, H] : tables) {
    KernelBuffer table(std::size_t{W} * H);
    test::FillRandom(table, rng);
    for (auto [a, b] : kSizes) {
      for (bool aligned : {true, false}) {
        const std::size_t n = GridValueCount(a, b);
        KernelBuffer U(n, aligned), V(n, aligned), plainOut(n, aligned), sseOut(n, aligned);
        for (std::size_t i = 0; i < n; ++i) {
          U[i] = coordinate(rng);
          V[i] = coordinate(rng);
        }
        if (n > 5) {
          U[0] = 1.0f;
          V[1] = std::numeric_limits<float>::quiet_NaN();
        }
        Tables().plain.GridSampleBilinear7(W, H, table.data(), a, b, U.data(), V.data(), plainOut.data());
        Tables().sse.GridSampleBilinear7(W, H, table.data(), a, b, U.data(), V.data(), sseOut.data());
        // The SSE member rounds the table position u * (W - 1) to float, which moves the
        // sample by up to half a unit of that position: allow that much of the steepest step
        // between neighbours, plus a few units of the values.
        const double position = 0.5 * (Ulp(W - 1.0) + Ulp(H - 1.0));
        const double tolerance = position * 2 * 100.0 + 8 * Ulp(100.0);
        for (std::size_t i = 0; i < n; ++i)
          ASSERT_TRUE(SameValue(plainOut[i], sseOut[i], tolerance))
              << W << "x" << H << " a=" << int{a} << " b=" << int{b} << " i=" << i << ": "
              << plainOut[i] << " vs " << sseOut[i];
      }
    }
  }
}

// --- Layouts, on both paths ------------------------------------------------------------------

class GridLayout : public ::testing::TestWithParam<bool> {
 protected:
  const KernelTable& k() const { return GetParam() ? Tables().sse : Tables().plain; }
};

TEST_P(GridLayout, ToNetClampsOrWrapsTheBorderAndFromBorderedTakesTheInteriorBack) {
  const std::uint8_t a = 2, b = 1;
  Grid2D S = Vertex(a, b);
  for (std::size_t i = 0; i < S.values.size(); ++i) S.values[i] = static_cast<float>(i);
  for (bool wrap : {false, true}) {
    Grid2D D = Net(a, b);
    k().GridToNet(a, b, wrap, 0, S.data(), D.data());
    for (std::uint32_t j = 0; j <= 2; ++j) {
      EXPECT_EQ(D.at(j + 1, 0), S.at(j, wrap ? 3 : 0));
      EXPECT_EQ(D.at(j + 1, 6), S.at(j, wrap ? 1 : 4));
      for (std::uint32_t i = 0; i <= 4; ++i) EXPECT_EQ(D.at(j + 1, i + 1), S.at(j, i));
    }
    for (std::uint32_t i = 0; i <= 4; ++i) {
      EXPECT_EQ(D.at(0, i + 1), S.at(0, i));
      EXPECT_EQ(D.at(4, i + 1), S.at(2, i));
    }
    EXPECT_EQ(D.at(0, 0), S.at(0, 0));  // corners are always clamped
    EXPECT_EQ(D.at(0, 6), S.at(0, 4));
    EXPECT_EQ(D.at(4, 0), S.at(2, 0));
    EXPECT_EQ(D.at(4, 6), S.at(2, 4));
    Grid2D back = Vertex(a, b);
    k().GridFromBordered(a, b, D.data(), back.data());
    EXPECT_EQ(back.values, S.values);
  }
  Grid2D D = Net(a, b);
  k().GridToNet(a, b, 0, 1, S.data(), D.data());
  for (std::uint32_t i = 0; i <= 4; ++i) {
    EXPECT_EQ(D.at(0, i + 1), S.at(1, i));  // row H - 1 = 1
    EXPECT_EQ(D.at(4, i + 1), S.at(1, i));  // row 1
  }
  Grid2D copy = Vertex(a, b);
  k().GridCopy(a, b, S.data(), copy.data());
  EXPECT_EQ(copy.values, S.values);
}

TEST_P(GridLayout, ChannelToBorderedCopiesOneChannelAndRepeatsTheEdges) {
  const std::uint8_t a = 2, b = 1;  // 4 x 2 texels of 4 channels
  Array S(4 * 2 * 4);
  for (std::size_t i = 0; i < S.size(); ++i) S[i] = static_cast<float>(i);
  Grid2D D = Cells(a, b);
  k().MapChannelToBordered(4, a, b, S.data() + 1, D.data());  // channel 1
  for (std::uint32_t j = 0; j < 4; ++j)
    for (std::uint32_t i = 0; i < 6; ++i) {
      const std::uint32_t y = std::clamp<std::uint32_t>(j, 1, 2) - 1;
      const std::uint32_t x = std::clamp<std::uint32_t>(i, 1, 4) - 1;
      EXPECT_EQ(D.at(j, i), S[(y * 4 + x) * 4 + 1]) << i << "," << j;
    }
}

TEST_P(GridLayout, CellCentresOfAPlaneContinueThePlaneOnTheBorder) {
  for (auto [a, b] : {std::pair<std::uint8_t, std::uint8_t>{0, 0}, {3, 2}, {5, 3}}) {
    Grid2D S = Plane((1u << a) + 1, (1u << b) + 1, 2.0f, -3.0f, 5.0f);
    Grid2D D = Cells(a, b);
    k().GridCellCentres(a, b, S.data(), D.data());
    for (std::uint32_t j = 0; j < D.high; ++j)
      for (std::uint32_t i = 0; i < D.wide; ++i)
        EXPECT_EQ(D.at(j, i), 5.0f + 2.0f * (i - 0.5f) - 3.0f * (j - 0.5f)) << i << "," << j;
  }
}

TEST_P(GridLayout, NetToCellsAveragesEveryTwoByTwoBlock) {
  const std::uint8_t a = 1, b = 2;
  Grid2D S = Net(a, b);
  for (std::size_t i = 0; i < S.values.size(); ++i) S.values[i] = static_cast<float>(i * i % 7);
  Grid2D D = Cells(a, b);
  k().GridNetToCells(a, b, S.data(), D.data());
  for (std::uint32_t j = 0; j < D.high; ++j)
    for (std::uint32_t i = 0; i < D.wide; ++i)
      EXPECT_EQ(D.at(j, i), 0.25f * (S.at(j, i) + S.at(j, i + 1) + S.at(j + 1, i) + S.at(j + 1, i + 1)));
}

TEST_P(GridLayout, AverageWritesEachTexelChTimes) {
  const std::uint8_t a = 3, b = 1;
  Grid2D S = Plane(9, 3, 1.0f, 8.0f, 0.0f);
  for (std::uint8_t ch : {0, 1, 3, 4}) {
    const std::uint32_t copies = ch > 1 ? ch : 1;
    Array D(8 * 2 * copies + 1, -1.0f);
    k().GridAverage2x2(a, b, S.data(), ch, D.data());
    for (std::uint32_t j = 0; j < 2; ++j)
      for (std::uint32_t i = 0; i < 8; ++i)
        for (std::uint32_t c = 0; c < copies; ++c)
          EXPECT_EQ(D[(j * 8 + i) * copies + c], i + 0.5f + 8.0f * (j + 0.5f));
    EXPECT_EQ(D.back(), -1.0f);
  }
}

TEST_P(GridLayout, SubdivisionHalvesTheSteps) {
  for (auto [a, b] : {std::pair<std::uint8_t, std::uint8_t>{0, 0}, {3, 1}, {4, 4}}) {
    Grid2D S = Plane((1u << a) + 1, (1u << b) + 1, 4.0f, 2.0f, 1.0f);
    Grid2D D = Vertex(a + 1, b + 1);
    k().GridSubdivide2x(a, b, S.data(), D.data());
    for (std::uint32_t j = 0; j < D.high; ++j)
      for (std::uint32_t i = 0; i < D.wide; ++i)
        EXPECT_EQ(D.at(j, i), 1.0f + 2.0f * i + 1.0f * j) << i << "," << j;
  }
}

TEST_P(GridLayout, SummedTablesCountCellsBeforeEachPosition) {
  const std::uint8_t a = 3, b = 2;
  Grid2D ones = Vertex(a, b);
  std::fill(ones.values.begin(), ones.values.end(), 1.0f);
  Grid2D D = Vertex(a, b);
  k().GridSummedArea(a, b, ones.data(), D.data());
  for (std::uint32_t j = 0; j < D.high; ++j)
    for (std::uint32_t i = 0; i < D.wide; ++i) EXPECT_EQ(D.at(j, i), float(i * j));

  // A volume of planes wider than high: the first plane is cleared exactly, nothing past it.
  const std::uint8_t c = 2;
  const std::size_t plane = GridValueCount(a, b), volume = plane * 5;
  Array S(volume, 1.0f), V(volume, -1.0f);
  S[plane * 2 + 9 * 1 + 3] = 3.0f;  // plane 2, row 1, column 3 counts three times
  k().VolumeSummedTable(a, b, c, S.data(), V.data());
  for (std::uint32_t z = 0; z <= 4; ++z)
    for (std::uint32_t j = 0; j <= 4; ++j)
      for (std::uint32_t i = 0; i <= 8; ++i) {
        const bool covers = z > 2 && j > 1 && i > 3;
        EXPECT_EQ(V[z * plane + j * 9 + i], float(i * j * z + (covers ? 2 : 0))) << i << j << z;
      }
}

TEST_P(GridLayout, LookupsClampCoordinatesAndReproduceLinearTables) {
  const std::uint8_t w = 3, h = 2, a = 1, b = 1;
  Grid2D T = Plane(9, 5, 1.0f, 10.0f, 0.0f);  // vertex layout: value = x + 10 y
  Grid2D T2 = Plane(9, 5, -2.0f, 0.0f, 7.0f);
  const Array U = {0.0f, 0.5f, 1.0f, -1.0f, 0.25f, 0.999f, 0.125f, 2.0f, 0.75f};
  const Array V = {0.0f, 0.5f, 1.0f, 0.5f, -3.0f, 0.25f, 0.999f, 0.5f, std::numeric_limits<float>::quiet_NaN()};
  Array D(9), D2(9);
  k().GridSampleBilinear2(w, h, T.data(), T2.data(), a, b, U.data(), V.data(), D.data(), D2.data());
  for (std::size_t n = 0; n < 9; ++n) {
    const float u = std::clamp(U[n], 0.0f, 0.999f);
    const float v = std::isnan(V[n]) ? 0.0f : std::clamp(V[n], 0.0f, 0.999f);
    EXPECT_NEAR(D[n], 8.0f * u + 40.0f * v, 2e-5) << n;
    EXPECT_NEAR(D2[n], 7.0f - 16.0f * u, 2e-5) << n;
  }
  // 1024 cells: a coordinate of 1.0 samples at 0.999 * 1024, short of the last vertex.
  Grid2D wide = Plane(1025, 2, 1.0f, 0.0f, 0.0f);
  const Array one(4, 1.0f), zero(4, 0.0f);
  Array d(4);
  k().GridSampleBilinear(10, 0, wide.data(), 0, 0, one.data(), zero.data(), d.data());
  EXPECT_NEAR(d[0], 0.999 * 1024, 1e-3);
  EXPECT_LT(d[0], 1023.0f);

  // Map tables: positions scale by 2^w - 1; the three-table member applies one set of weights.
  Grid2D M = Plane(8, 4, 3.0f, 1.0f, 0.0f);
  Array D3(9);
  k().GridSampleBilinear6(3, 2, M.data(), M.data(), M.data(), a, b, U.data(), V.data(), D.data(),
                          D2.data(), D3.data());
  for (std::size_t n = 0; n < 9; ++n) {
    const float u = std::clamp(U[n], 0.0f, 0.999f);
    const float v = std::isnan(V[n]) ? 0.0f : std::clamp(V[n], 0.0f, 0.999f);
    EXPECT_NEAR(D[n], 21.0f * u + 3.0f * v, 2e-5) << n;
    EXPECT_EQ(D2[n], D[n]);
    EXPECT_EQ(D3[n], D[n]);
  }
}

TEST_P(GridLayout, LookupsInTablesOneValueWideOrHighStayInsideThem) {
  // Exactly sized tables: a read past them is caught by the address sanitizer.
  const Array U = {1.0f, 0.5f, 0.0f, 0.7f}, V = {1.0f, 0.3f, 0.0f, 0.9f};
  Array D(4);
  const Array single = {6.5f};
  k().GridSampleBilinear4(0, 0, single.data(), 0, 0, U.data(), V.data(), D.data());
  for (float d : D) EXPECT_EQ(d, 6.5f);
  k().GridSampleBilinear7(1, 1, single.data(), 0, 0, U.data(), V.data(), D.data());
  for (float d : D) EXPECT_EQ(d, 6.5f);
  const Array column = {0.0f, 10.0f, 20.0f, 30.0f};  // 1 wide, 4 high
  k().GridSampleBilinear7(1, 4, column.data(), 0, 0, U.data(), V.data(), D.data());
  for (std::size_t n = 0; n < 4; ++n) EXPECT_NEAR(D[n], 30.0f * std::min(V[n], 0.999f), 1e-4);
  const Array row = {0.0f, 2.0f};  // a Map of 2 x 1 texels
  k().GridSampleBilinear5(1, 0, row.data(), row.data(), 0, 0, U.data(), V.data(), D.data(), D.data());
  for (std::size_t n = 0; n < 4; ++n) EXPECT_NEAR(D[n], 2.0f * std::min(U[n], 0.999f), 1e-5);
}

INSTANTIATE_TEST_SUITE_P(PlainAndSse, GridLayout, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Sse" : "Plain"; });

// --- Seams -----------------------------------------------------------------------------------

// Net with value 1000 * tag + 10 * row + column at every position.
Grid2D TaggedNet(std::uint8_t a, std::uint8_t b, int tag) {
  Grid2D n = Net(a, b);
  for (std::uint32_t j = 0; j < n.high; ++j)
    for (std::uint32_t i = 0; i < n.wide; ++i) n.at(j, i) = 1000.0f * tag + 10.0f * j + i;
  return n;
}

TEST(NetStitch, EqualNetsShareAveragedLinesAndTakeTheNeighboursFirstInnerLines) {
  const KernelTable& k = Tables().plain;
  const std::uint8_t a = 2, h = 1, b = 3;
  Grid2D A = TaggedNet(a, h, 1), B = TaggedNet(b, h, 2);
  const Grid2D A0 = A, B0 = B;
  k.NetStitchColumns(a, h, A.data(), b, h, B.data());
  for (std::uint32_t r = 1; r <= 3; ++r) {
    const float m = 0.5f * (B0.values[r * 11 + 9] + A0.values[r * 7 + 1]);
    EXPECT_EQ(A.at(r, 1), m);
    EXPECT_EQ(B.at(r, 9), m);
    EXPECT_EQ(A.at(r, 0), B0.values[r * 11 + 8]);   // B's next-to-last vertex column
    EXPECT_EQ(B.at(r, 10), A0.values[r * 7 + 2]);   // A's second vertex column
  }
  EXPECT_EQ(A.at(0, 0), A0.values[0]);  // border rows untouched
  EXPECT_EQ(A.at(4, 1), A0.values[4 * 7 + 1]);

  // Rows: the same with rows and columns exchanged (B above A, equal widths).
  Grid2D C = TaggedNet(a, 1, 3), E = TaggedNet(a, 2, 4);
  const Grid2D C0 = C, E0 = E;
  k.NetStitchRows(a, 1, C.data(), a, 2, E.data());
  for (std::uint32_t c = 1; c <= 5; ++c) {
    const float m = 0.5f * (E0.values[5 * 7 + c] + C0.values[7 + c]);
    EXPECT_EQ(C.at(1, c), m);
    EXPECT_EQ(E.at(5, c), m);
    EXPECT_EQ(C.at(0, c), E0.values[4 * 7 + c]);
    EXPECT_EQ(E.at(6, c), C0.values[2 * 7 + c]);
  }
}

TEST(NetStitch, TheFinerSideTakesTheCoarserLinesInterpolated) {
  const KernelTable& k = Tables().plain;
  // A coarser: 2 cells along the seam against B's 8.
  Grid2D A = TaggedNet(1, 1, 1), B = TaggedNet(2, 3, 2);
  const Grid2D A0 = A, B0 = B;
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
  const Grid2D C0 = C, E0 = E;
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
  const Grid2D A0 = A, B0 = B;
  k.NetStitchCorner(2, 2, A.data(), 1, 3, B.data());
  EXPECT_EQ(A.at(0, 0), B0.at(8, 2));
  EXPECT_EQ(B.at(10, 4), A0.at(2, 2));
  k.NetStitchCorner2(2, 2, A.data(), 1, 3, B.data());
  EXPECT_EQ(A.at(0, 6), B0.at(8, 2));
  EXPECT_EQ(B.at(10, 0), A0.at(2, 4));

  // Tile (1, 0) of A cut into 2 x 2 tiles of 2 x 2 cells, against the whole of a 2 x 2 net B
  // on its left: the same stitch as between two small nets, inside the big one.
  Grid2D big = TaggedNet(2, 2, 5), left = TaggedNet(1, 1, 6);
  const Grid2D big0 = big, left0 = left;
  k.NetStitchColumnsAt(2, 2, 1, 1, 1, 0, big.data(), 1, 1, 0, 0, 0, 0, left.data());
  for (std::uint32_t r = 1; r <= 3; ++r) {
    const float m = 0.5f * (left0.at(r, 3) + big0.at(r, 3));
    EXPECT_EQ(big.at(r, 3), m);   // tile column 1 is net column 2 + 1
    EXPECT_EQ(left.at(r, 3), m);
    EXPECT_EQ(big.at(r, 2), left0.at(r, 2));
    EXPECT_EQ(left.at(r, 4), big0.at(r, 4));
  }
  EXPECT_EQ(big.at(4, 3), big0.at(4, 3));  // the tile's own rows only
  Grid2D top = TaggedNet(1, 1, 7);
  const Grid2D top0 = top;
  big = big0;
  k.NetStitchRowsAt(2, 2, 1, 1, 0, 1, big.data(), 1, 1, 0, 0, 0, 0, top.data());
  for (std::uint32_t c = 1; c <= 3; ++c) EXPECT_EQ(big.at(3, c), 0.5f * (top0.at(3, c) + big0.at(3, c)));
  big = big0;
  k.NetStitchCornerAt(2, 2, 1, 1, 1, 1, big.data(), 1, 1, 0, 0, 0, 0, top.data());
  EXPECT_EQ(big.at(2, 2), top0.at(2, 2));
  k.NetStitchCornerAt2(2, 2, 1, 1, 0, 1, big.data(), 1, 1, 0, 0, 0, 0, top.data());
  EXPECT_EQ(big.at(2, 4), top0.at(2, 2));
}

}  // namespace
}  // namespace veskor
