// Frames, rasters and grids for the fx executor tests, built the way the call lists build
// them, and a way to run one executor on them.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "foundation/vm_array.h"
#include "mapengine/fx_frame.h"
#include "mapengine/kernel_table.h"
#include "mapengine/map_pool.h"

namespace veskor::test {

using Field = std::function<float(std::uint32_t i, std::uint32_t j)>;

inline Field Constant(float v) {
  return [v](std::uint32_t, std::uint32_t) { return v; };
}

// Each test runs on a list of its own, current while it runs, swept at its end.
class FxTest : public ::testing::Test {
 public:
  FxTest() {
    InitKernelTable();
    MapListInit(list_);
    MapPoolInit(list_);
  }
  ~FxTest() override {
    for (auto& grid : ownGrids_) VertexGridRelease(*grid);
    MapPoolReleaseAll(list_);
    VmArrayRelease(list_.mapIndices);
    VmArrayRelease(list_.gridIndices);
  }

  // A result frame as binding leaves it: temporary, empty, not live, read `uses` times.
  static FxFrame Result(std::uint16_t uses = 1) {
    FxFrame frame{};
    frame.kind = kFxFrameTemporary;
    frame.useCount = uses;
    return frame;
  }
  // An argument frame: a live temporary with one read outstanding, or a kept value.
  static FxFrame Value(std::uint16_t kind = kFxFrameTemporary) {
    FxFrame frame{};
    frame.kind = kind;
    frame.useCount = frame.refCount = kind == kFxFrameTemporary ? 1 : 0;
    return frame;
  }
  static FxFrame Floats(std::initializer_list<float> values,
                        std::uint16_t kind = kFxFrameTemporary) {
    FxFrame frame = Value(kind);
    for (float v : values) frame.floats[frame.count++] = v;
    return frame;
  }
  static void Add(FxFrame& frame, VertexGrid* grid) { frame.grids[frame.count++] = grid; }
  static void Add(FxFrame& frame, Map* map) { frame.maps[frame.count++] = map; }
  static void Add(FxFrame& frame, float value) { frame.floats[frame.count++] = value; }

  // A pool grid of log2 sizes (w, h) with value f(i, j) at vertex (i, j).
  VertexGrid* Grid(std::uint16_t w, std::uint16_t h, const Field& f) {
    VertexGrid* grid = TakeVertexGridSlot(list_, w, h);
    Fill(grid->data, (1u << w) + 1, (1u << h) + 1, f);
    return grid;
  }
  VertexGrid* Grid(std::uint16_t w, std::uint16_t h, float value) {
    return Grid(w, h, Constant(value));
  }
  // A grid that is no pool record (an item's own grid), released at the end of the test.
  VertexGrid* OwnGrid(std::uint16_t w, std::uint16_t h, const Field& f) {
    ownGrids_.push_back(std::make_unique<VertexGrid>());
    VertexGrid* grid = ownGrids_.back().get();
    VertexGridInit(*grid);
    VertexGridAlloc(*grid, w, h);
    Fill(grid->data, (1u << w) + 1, (1u << h) + 1, f);
    return grid;
  }
  // A pool raster of 2^w x 2^h texels with value f(x, y) at texel (x, y).
  Map* Raster(std::uint16_t w, std::uint16_t h, const Field& f) {
    Map* map = MapPoolAcquire(list_, w, h);
    Fill(map->data, 1u << w, 1u << h, f);
    return map;
  }

  static std::vector<float> Values(const VertexGrid* grid) {
    const std::size_t n =
        ((std::size_t{1} << grid->log2Width) + 1) * ((std::size_t{1} << grid->log2Height) + 1);
    return std::vector<float>(grid->data, grid->data + n);
  }

  // Every vertex (i, j) of the grid, or texel (i, j) of the raster, holds f(i, j).
  static ::testing::AssertionResult Holds(const VertexGrid* grid, const Field& f,
                                          double tolerance = 0.0) {
    if (grid == nullptr) return ::testing::AssertionFailure() << "no grid";
    return Check(grid->data, (1u << grid->log2Width) + 1, (1u << grid->log2Height) + 1, f,
                 tolerance);
  }
  static ::testing::AssertionResult Holds(const Map* map, const Field& f) {
    if (map == nullptr) return ::testing::AssertionFailure() << "no raster";
    return Check(map->data, 1u << map->log2Width, 1u << map->log2Height, f, 0.0);
  }

  // Runs `executor` with `result` as frame 0 and `args` as frames 1 to n.
  static std::uint32_t Run(FxExecutor executor, FxFrame& result,
                           std::initializer_list<FxFrame*> args) {
    FxFrame* frames[16] = {&result};
    std::uint32_t k = 1;
    for (FxFrame* arg : args) frames[k++] = arg;
    FxArgs = frames;
    const std::uint32_t ok = executor();
    FxArgs = nullptr;
    return ok;
  }

  // Runs `executor` on `n` live argument frames that `build` fills. It must fail with the
  // executor's message and leave every argument as it was: unreleased, its count unchanged.
  void ExpectFailure(FxExecutor executor, const std::string& name, int n,
                     const std::function<void(FxFrame* args)>& build, const char* what) {
    SCOPED_TRACE(name + ": " + what);
    FxFrame args[4] = {Value(), Value(), Value(), Value()};
    build(args);
    std::uint16_t counts[4];
    for (int k = 0; k < n; ++k) counts[k] = args[k].count;
    FxFrame r = Result();
    FxFrame* frames[16] = {&r, &args[0], &args[1], &args[2], &args[3]};
    frames[n + 1] = nullptr;
    FxArgs = frames;
    EXPECT_EQ(executor(), 0u);
    FxArgs = nullptr;
    EXPECT_EQ(FxErrorText, "Execution error : '" + name + "'");
    for (int k = 0; k < n; ++k) {
      EXPECT_EQ(args[k].refCount, 1u) << "argument " << k;
      EXPECT_EQ(args[k].count, counts[k]) << "argument " << k;
    }
  }

  MapList list_;

 private:
  static void Fill(float* data, std::uint32_t wide, std::uint32_t high, const Field& f) {
    for (std::uint32_t j = 0; j < high; ++j)
      for (std::uint32_t i = 0; i < wide; ++i) data[j * wide + i] = f(i, j);
  }
  static ::testing::AssertionResult Check(const float* data, std::uint32_t wide,
                                          std::uint32_t high, const Field& f, double tolerance) {
    for (std::uint32_t j = 0; j < high; ++j)
      for (std::uint32_t i = 0; i < wide; ++i) {
        const float got = data[j * wide + i], want = f(i, j);
        if (!(got == want || std::fabs(double{got} - want) <= tolerance))
          return ::testing::AssertionFailure()
                 << "at (" << i << ", " << j << "): " << got << " instead of " << want;
      }
    return ::testing::AssertionSuccess();
  }
  std::vector<std::unique_ptr<VertexGrid>> ownGrids_;
};

}  // namespace veskor::test
