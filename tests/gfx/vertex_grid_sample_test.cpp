#include "gfx/vertex_grid_sample.h"

#include <gtest/gtest.h>

#include <cmath>

namespace veskor {
namespace {

// A 2 x 2-cell grid: d[r][k] = 10 r + k.
struct SmallGrid {
  float values[9] = {0, 1, 2, 10, 11, 12, 20, 21, 22};
  VertexGrid grid;
  SmallGrid() {
    VertexGridInit(grid);
    grid.log2Width = grid.log2Height = 1;
    grid.data = values;
  }
};

TEST(VertexGridSample, BorderRowsColumnsAndInterior) {
  SmallGrid g;
  const float nan = std::nanf("");
  struct Case {
    float u, v, want;
  } cases[] = {
      {1, 1, 22},
      {0.5f, 0, 1},
      {0, 0.5f, 10},
      {0.25f, 0, 0.5f},
      {0.25f, 1, 20.5f},
      {1, 0.25f, 7},
      {0.25f, 0.25f, 5.5f},
      {0.75f, 0.5f, 11.5f},
      {0.5f, -3, 1},
      {2, 0.5f, 12},
      {1, 0, 2},
      {-1, -1, 0},
      {3, 0.75f, 17},
      {nan, 0.5f, 10},
      {0.5f, nan, 1},
      {0.99999f, 0.5f, 11.99998f},
      {5, -1, 2},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(VertexGridSample(g.grid, c.u, c.v), c.want, 1e-4f) << c.u << " " << c.v;
  EXPECT_EQ(VertexGridValueCount(g.grid), 9u);
  g.values[3] = INFINITY;  // the value after the bottom row is never read
  EXPECT_EQ(VertexGridSample(g.grid, 1, 0), 2.0f);
}

TEST(VertexGridSample, ScalesAndOffsetsMapTheInputAndTheValue) {
  SmallGrid g;
  g.grid.scaleX = 0.5f, g.grid.offsetX = 0.25f;  // x = 0.5 reads u = 0.5
  g.grid.scaleZ = 2.0f, g.grid.offsetZ = -1.0f;  // z = 1 reads v = 1
  g.grid.scaleValue = 2.0f, g.grid.offsetValue = 1.0f;
  EXPECT_FLOAT_EQ(VertexGridSample(g.grid, 0.5f, 1.0f), 2 * 21 + 1);
  EXPECT_FLOAT_EQ(VertexGridSample(g.grid, 1.5f, 1.0f), 2 * 22 + 1);  // the corner too
  for (float& v : g.values) v = 3;
  EXPECT_FLOAT_EQ(VertexGridSample(g.grid, 0.3f, 0.6f), 7);
}

}  // namespace
}  // namespace veskor
