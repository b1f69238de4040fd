// A chain of executors run the way a call list runs them, on a 65 x 65 surface, against the
// same computation done directly with the fills and the kernels.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "mapengine/fx_executors.h"
#include "mapengine/fx_test_support.h"
#include "mapengine/noise_fills.h"
#include "mapengine/noise_generator.h"

namespace veskor {
namespace {

using FxChain = test::FxTest;

struct Call {
  FxExecutor executor;
  std::vector<FxFrame*> frames;  // result first
};

std::uint32_t RunCalls(const std::vector<Call>& calls) {
  for (const Call& call : calls) {
    FxFrame* frames[16] = {};
    for (std::size_t k = 0; k < call.frames.size(); ++k) frames[k] = call.frames[k];
    FxArgs = frames;
    if (call.executor() == 0) return 0;
  }
  return 1;
}

TEST_F(FxChain, NoiseThenArithmeticThenDisplace) {
  constexpr std::uint16_t kLog2 = 6;  // 65 x 65 vertices
  constexpr std::uint32_t kWide = 65, kCount = 65 * 65;
  const test::Field fx = [](std::uint32_t i, std::uint32_t) { return i / 16.0f; };
  const test::Field fy = [](std::uint32_t, std::uint32_t j) { return j / 16.0f; };
  const test::Field zero = test::Constant(0.0f);

  // The renderer's frames: the item's positions and normals (kind 0).
  FxFrame point = Value(kFxFrameKept), normal = Value(kFxFrameKept);
  for (const test::Field& f : {fx, fy, zero}) Add(point, OwnGrid(kLog2, kLog2, f));
  for (float v : {0.0f, 0.0f, 1.0f}) Add(normal, OwnGrid(kLog2, kLog2, test::Constant(v)));
  // Constants, and the results of the calls, each read once.
  FxFrame xy = Floats({0, 1}, kFxFrameKept), half = Floats({0.5f}, kFxFrameKept);
  FxFrame quarter = Floats({0.25f}, kFxFrameKept), first = Floats({0}, kFxFrameKept);
  FxFrame selected = Result(), noise = Result(), scaled = Result(), amount = Result();
  FxFrame displaced = Result();
  const std::uint32_t held = list_.gridsHeld;

  // displace(first, noise(point[0, 1]) * 0.5 + 0.25, point, normal)
  ASSERT_EQ(RunCalls({{FxSelect, {&selected, &point, &xy}},
                      {FxNoise, {&noise, &selected}},
                      {FxMul, {&scaled, &noise, &half}},
                      {FxAdd, {&amount, &scaled, &quarter}},
                      {FxDisplace, {&displaced, &first, &amount, &point, &normal}}}),
            1u);
  // Every temporary went back at its last read.
  EXPECT_EQ(list_.gridsHeld, held);
  for (FxFrame* f : {&selected, &noise, &scaled, &amount})
    EXPECT_TRUE(f->count == 0 && f->refCount == 0);

  // The same directly.
  VertexGrid& x = *OwnGrid(kLog2, kLog2, fx);
  VertexGrid& y = *OwnGrid(kLog2, kLog2, fy);
  VertexGrid& a = *OwnGrid(kLog2, kLog2, zero);
  NoiseFill2D(gNoiseGenerator.noise2D, x, y, a);
  gKernelTable.GridMulScalar(kLog2, kLog2, a.data, 0.5f, a.data);
  gKernelTable.GridAddScalar(kLog2, kLog2, a.data, 0.25f, a.data);
  std::vector<float> p[3] = {Values(&x), Values(&y), std::vector<float>(kCount, 0.0f)};
  const std::vector<float> zeros(kCount, 0.0f), ones(kCount, 1.0f), *n[3] = {&zeros, &zeros, &ones};
  std::vector<float> cells[3], normals[3];
  for (int c = 0; c < 3; ++c) {
    gKernelTable.GridMulAdd(kLog2, kLog2, n[c]->data(), a.data, p[c].data(), p[c].data());
    cells[c].resize(66 * 66);
    gKernelTable.GridCellCentres(kLog2, kLog2, p[c].data(), cells[c].data());
    normals[c].resize(kCount);
  }
  gKernelTable.GridDiagonalNormals(kLog2, kLog2, cells[0].data(), cells[1].data(),
                                   cells[2].data(), normals[0].data(), normals[1].data(),
                                   normals[2].data());

  EXPECT_LT(*std::min_element(p[2].begin(), p[2].end()),  // the noise did move the surface
            *std::max_element(p[2].begin(), p[2].end()));
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(Values(point.grids[c]), p[c]) << c;
    EXPECT_EQ(Values(normal.grids[c]), normals[c]) << c;
  }
  EXPECT_EQ(point.grids[0]->data[kWide + 1], 1.0f / 16.0f);
}

}  // namespace
}  // namespace veskor
