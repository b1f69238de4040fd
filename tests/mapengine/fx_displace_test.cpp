#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "mapengine/fx_executors.h"
#include "mapengine/fx_test_support.h"

namespace veskor {
namespace {

using test::Constant;
using test::Field;

// An item's surface of log2 sizes (w, h): positions (i, j, 0) and normals (0, 0, 1), or
// (1, 0, 0) stale on purpose; the arguments of displace around an amount.
class Displace : public test::FxTest {
 protected:
  void Surface(std::uint16_t w, std::uint16_t h, bool upNormals = true) {
    positions_ = Value(kFxFrameKept);
    normals_ = Value(kFxFrameKept);
    Add(positions_, OwnGrid(w, h, [](std::uint32_t i, std::uint32_t) { return float(i); }));
    Add(positions_, OwnGrid(w, h, [](std::uint32_t, std::uint32_t j) { return float(j); }));
    Add(positions_, OwnGrid(w, h, Constant(0.0f)));
    Add(normals_, OwnGrid(w, h, Constant(upNormals ? 0.0f : 1.0f)));
    Add(normals_, OwnGrid(w, h, Constant(0.0f)));
    Add(normals_, OwnGrid(w, h, Constant(upNormals ? 1.0f : 0.0f)));
    first_ = Floats({0.0f});
  }
  std::uint32_t RunDisplace(FxFrame& amount) {
    result_ = Result();
    return Run(FxDisplace, result_, {&first_, &amount, &positions_, &normals_});
  }
  std::vector<std::vector<float>> Snapshot() {
    std::vector<std::vector<float>> all;
    for (FxFrame* f : {&positions_, &normals_})
      for (int c = 0; c < 3; ++c) all.push_back(Values(f->grids[c]));
    return all;
  }

  FxFrame first_{}, positions_{}, normals_{}, result_{};
};

TEST_F(Displace, AZeroAmountKeepsPositionsAndRecomputesNormals) {
  Surface(3, 2, false);
  FxFrame amount = Value();
  VertexGrid* a = Grid(3, 2, 0.0f);
  Add(amount, a);
  // The y grid has a spare companion block, taken instead of room in its own block.
  std::vector<float> spare(10 * 6, -1.0f);
  positions_.grids[1]->companion[0] = spare.data();
  const auto before = Snapshot();
  ASSERT_EQ(RunDisplace(amount), 1u);
  EXPECT_STREQ(FxErrorText, "Execution error : 'displace'");
  // Every position grid keeps its values and has a current cell-centre companion of them.
  EXPECT_TRUE(positions_.grids[1]->companion[1] == spare.data() &&
              positions_.grids[1]->companion[0] == nullptr);
  for (int c = 0; c < 3; ++c) {
    const VertexGrid* g = positions_.grids[c];
    EXPECT_EQ(Values(g), before[c]);
    EXPECT_TRUE(Holds(normals_.grids[c], Constant(c == 2 ? 1.0f : 0.0f), 1e-3)) << c;
    EXPECT_EQ(g->companionValid, 1u);
    std::vector<float> cells(10 * 6);
    gKernelTable.GridCellCentres(3, 2, g->data, cells.data());
    EXPECT_EQ(std::vector<float>(g->companion[1], g->companion[1] + cells.size()), cells);
  }
  // The result views the amount's grid; the first argument and the amount are released.
  EXPECT_TRUE(result_.kind == kFxFrameKept && result_.count == 1);
  EXPECT_TRUE(result_.grids[0] == a && result_.maps[0] == nullptr);
  EXPECT_TRUE(first_.refCount == 0 && amount.refCount == 0);
}

TEST_F(Displace, MovesAlongTheNormalsByTheAmount) {
  Surface(2, 2);
  FxFrame amount = Value();
  Add(amount, Grid(2, 2, [](std::uint32_t i, std::uint32_t) { return 0.5f * i; }));
  ASSERT_EQ(RunDisplace(amount), 1u);
  EXPECT_TRUE(Holds(positions_.grids[2], [](std::uint32_t i, std::uint32_t) { return 0.5f * i; }));
  // The normal of the plane z = x / 2.
  const float k = 1.0f / std::sqrt(1.25f), normal[3] = {-0.5f * k, 0, k};
  for (int c = 0; c < 3; ++c) EXPECT_TRUE(Holds(normals_.grids[c], Constant(normal[c]), 1e-3));
}

TEST_F(Displace, ACoarserAmountIsRefinedAndARasterTurnedIntoVertexValues) {
  Surface(4, 3);
  FxFrame amount = Value();
  VertexGrid* coarse =
      Grid(3, 2, [](std::uint32_t i, std::uint32_t j) { return float((i * 7 + j * 3) % 5); });
  Add(amount, coarse);
  VertexGrid* expected = Grid(4, 3, 0.0f);
  ASSERT_EQ(FxMatchDimensions(*coarse, *expected), 1u);
  ASSERT_EQ(RunDisplace(amount), 1u);
  EXPECT_EQ(Values(positions_.grids[2]), Values(expected));
  EXPECT_EQ(result_.grids[0], coarse);

  // A raster of 2^w x 2^h texels on (2^w + 1) x (2^h + 1) vertices.
  Surface(2, 1);
  FxFrame texels = Value();
  Map* map = Raster(2, 1, [](std::uint32_t x, std::uint32_t y) { return x + 4.0f * y; });
  Add(texels, map);
  std::vector<float> vertices(5 * 3);
  gKernelTable.MapToBordered(2, 1, map->data, 1, vertices.data());
  ASSERT_EQ(RunDisplace(texels), 1u);
  EXPECT_EQ(Values(positions_.grids[2]), vertices);
  EXPECT_EQ(result_.grids[0], nullptr);
  EXPECT_EQ(result_.count, 1u);
}

TEST_F(Displace, FailuresLeavePositionsAndNormalsAndTakeNoGrid) {
  const struct {
    const char* what;
    std::function<void(FxFrame&)> build;
    const char* text = "Execution error : 'displace'";
  } cases[] = {
      {"a finer amount", [&](FxFrame& a) { Add(a, Grid(3, 3, 1.0f)); }},
      {"finer in one direction", [&](FxFrame& a) { Add(a, Grid(1, 3, 1.0f)); }},
      {"a raster of another size", [&](FxFrame& a) { Add(a, Raster(2, 1, Constant(1.0f))); }},
      {"a float amount", [&](FxFrame& a) { Add(a, 1.0f); }},
      {"an empty amount", [&](FxFrame&) {}},
      {"positions of two grids",
       [&](FxFrame& a) { Add(a, Grid(2, 2, 1.0f)), positions_.count = 2; }},
      {"normals of another size",
       [&](FxFrame& a) { Add(a, Grid(2, 2, 1.0f)), normals_.grids[1] = Grid(2, 1, 1.0f); }},
      // Refined into a grid taken for it, which goes back when the refinement refuses.
      {"an amount nine levels coarser",
       [&](FxFrame& a) { Surface(9, 2), Add(a, Grid(0, 2, 1.0f)); },
       "Execution error : cannot adjust dimensions"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Surface(2, 2);
    FxFrame amount = Value();
    c.build(amount);
    const std::uint16_t n = amount.count;
    const std::uint32_t grids = list_.gridsHeld;
    const auto before = Snapshot();
    EXPECT_EQ(RunDisplace(amount), 0u);
    EXPECT_STREQ(FxErrorText, c.text);
    EXPECT_EQ(list_.gridsHeld, grids);
    positions_.count = 3;
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(amount.count, n);
    EXPECT_EQ(amount.refCount, 1u);
    EXPECT_EQ(first_.refCount, 1u);
  }
}

}  // namespace
}  // namespace veskor
