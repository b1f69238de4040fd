#include "language/fx_call_lists.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "fx_test_support.h"
#include "language/fx_keywords.h"
#include "mapengine/kernel_table.h"
#include "mapengine/noise_fills.h"
#include "mapengine/noise_generator.h"
#include "support/kernel_tables.h"

namespace veskor {
namespace {

using test::CompileText;
using test::WorldDir;
using Field = std::function<float(std::uint32_t i, std::uint32_t j)>;

constexpr std::uint16_t kLog2 = 3;  // 9 x 9 vertices
constexpr std::uint32_t kWide = 9;

// An item's own grids (no pool records), and the pool's records handed out.
class FxCallLists : public ::testing::Test {
 protected:
  ~FxCallLists() override {
    for (VertexGrid& g : grids_) VertexGridRelease(g);
  }
  VertexGrid* Grid(const Field& f) {
    VertexGrid& g = grids_[used_++];
    VertexGridInit(g);
    VertexGridAlloc(g, kLog2, kLog2);
    for (std::uint32_t j = 0; j < kWide; ++j)
      for (std::uint32_t i = 0; i < kWide; ++i) g.data[j * kWide + i] = f(i, j);
    return &g;
  }
  static std::uint32_t GridsHandedOut() {
    return gMapPools.grids.highWater - gMapPools.grids.freeStack.count;
  }
  static ::testing::AssertionResult Holds(const VertexGrid* g, const Field& f) {
    if (g == nullptr) return ::testing::AssertionFailure() << "no grid";
    for (std::uint32_t j = 0; j < kWide; ++j)
      for (std::uint32_t i = 0; i < kWide; ++i)
        if (std::fabs(g->data[j * kWide + i] - f(i, j)) > 1e-6f)
          return ::testing::AssertionFailure() << "at " << i << ", " << j << ": "
                                               << g->data[j * kWide + i] << " not " << f(i, j);
    return ::testing::AssertionSuccess();
  }
  // Marks the uses the way the scene build does.
  static void MarkEverything() {
    for (std::uint32_t d = 0; d < gParseStore.fxRecords.count; ++d)
      for (std::uint32_t s = 2; s <= 6; ++s) MarkUsedFx(gParseStore, d, s);
  }
  // Fills the frames an item run reads and expects, as the render preparation does.
  static void FeedItem(FxExecContext& item, VertexGrid* const* point, VertexGrid* const* normal) {
    ResetFxFrames(item);
    for (std::uint32_t slot : {0u, 1u}) {
      if (!FxMaskBitA(item, slot)) continue;
      FxFrame* frame = FxFrameAt(item, slot);
      frame->count = 3;
      for (int c = 0; c < 3; ++c) frame->grids[c] = (slot == 0 ? point : normal)[c];
    }
    const std::uint16_t counts[7] = {0, 0, 0, 3, 3, 1, 1};
    for (std::uint32_t slot = 3; slot <= 6; ++slot)
      if (FxMaskBitB(item, slot)) FxFrameAt(item, slot)->count = counts[slot];
  }

  VertexGrid grids_[8]{};
  int used_ = 0;
};

const Field kX = [](std::uint32_t i, std::uint32_t) { return i / 4.0f - 1.0f; };
const Field kY = [](std::uint32_t, std::uint32_t j) { return j / 4.0f; };
const Field kZ = [](std::uint32_t i, std::uint32_t j) { return (i + j) / 8.0f - 0.5f; };

TEST_F(FxCallLists, SurfaceProgramsRunOnAnItemsGridsAsComputedDirectly) {
  test::ScopedKernelTable table;
  WorldDir dir;
  ASSERT_EQ(CompileText(dir, "Surface shade(k = 0.5) {\n"
                             "  *(point, 100) +(5, 6)\n"  // read by nothing: never bound
                             "  =(diffuse, [*(point[2], k), abs(point[0]), +(normal[2], +(1, 2))])\n"
                             "  =(specular, [0.25 0.5 0.75])\n"
                             "  =(emissive, noise(point[0 1]))\n"
                             "  =(shininess, 8)\n"
                             "}\n"
                             "Surface item() { shade() }")
                .status,
            "");
  ParseStore& store = gParseStore;
  const std::uint32_t item = 1;
  MarkEverything();
  EXPECT_EQ(VertexFormatFromOutputs(store, item), 31u);

  VertexGrid* point[3] = {Grid(kX), Grid(kY), Grid(kZ)};
  VertexGrid* normal[3] = {Grid([](auto, auto) { return 0.0f; }),
                           Grid([](auto, auto) { return 0.0f; }),
                           Grid([](auto, auto) { return 1.0f; })};
  // The noise, computed directly.
  VertexGrid* noise = Grid([](auto, auto) { return 0.0f; });
  NoiseFill2D(gNoiseGenerator.noise2D, *point[0], *point[1], *noise);
  const std::vector<float> noiseValues(noise->data, noise->data + kWide * kWide);
  const std::uint32_t handedOut = GridsHandedOut();
  {
    FxExecContext shared, context;
    ASSERT_EQ(BindFxTables(shared, store), 1u);
    EXPECT_EQ(shared.callCount, 1u);  // +(1, 2), not the unread +(5, 6)
    ResetFxFrames(shared);
    ASSERT_EQ(RunFxCalls(shared), 1u);

    ASSERT_EQ(FxOutputMasks(context, store, item), 1u);
    EXPECT_EQ(context.inputsRead, 0b11u);
    EXPECT_EQ(context.outputsWritten, 0b1111000u);
    // select, *, select, abs, select, +, group3, =, =, select, noise, =, =: the unread product
    // before them is left out, and the results are numbered without it.
    EXPECT_EQ(context.callCount, 13u);
    for (int part = 0; part < 2; ++part) {  // one binding serves each geometry part of an item
      FeedItem(context, point, normal);
      EXPECT_EQ(FxFrameAt(context, 3)->grids[0], nullptr);  // whatever the last run left
      ASSERT_EQ(RunFxCalls(context), 1u) << FxErrorText;
      const FxFrame& diffuse = *FxFrameAt(context, 3);
      ASSERT_EQ(diffuse.count, 3u);
      EXPECT_TRUE(Holds(diffuse.grids[0], [](auto i, auto j) { return kZ(i, j) * 0.5f; }));
      EXPECT_TRUE(Holds(diffuse.grids[1], [](auto i, auto j) { return std::fabs(kX(i, j)); }));
      EXPECT_TRUE(Holds(diffuse.grids[2], [](auto, auto) { return 4.0f; }));
      const FxFrame& specular = *FxFrameAt(context, 4);
      EXPECT_EQ(specular.count, 3u);
      EXPECT_EQ(specular.floats[1], 0.5f);
      EXPECT_TRUE(Holds(FxFrameAt(context, 6)->grids[0],
                        [&](auto i, auto j) { return noiseValues[j * kWide + i]; }));
      FxRecordWords words{};
      SetRecordWords(words, FxFrameAt(context, 5)->floats[0], 0);
      EXPECT_EQ(words.value, 8.0f);
      // The first part leaves diffuse to the sweep and to the next reset.
      for (std::uint32_t slot : {3u, 4u, 5u, 6u})
        if (slot != 3 || part == 1) ReleaseFrameMaps(context, slot);
      ReleaseFrameMaps(context, 0);  // the item's own grids are only forgotten
      EXPECT_EQ(FxFrameAt(context, 0)->count + FxFrameAt(context, 4)->count, 0u);
      ReleaseFxTemporaries(context);
      EXPECT_EQ(GridsHandedOut(), handedOut);
    }
    ReleaseFxTemporaries(shared);
  }
  EXPECT_TRUE(Holds(point[0], kX));
  EXPECT_EQ(GridsHandedOut(), handedOut);
}

TEST_F(FxCallLists, AFailingCallStopsItsListAndEveryTemporaryGoesBack) {
  test::ScopedKernelTable table;
  WorldDir dir;
  // The transform refuses a 3-float matrix; the assignment after it must not run.
  ASSERT_EQ(CompileText(dir, "Surface s() { =(diffuse, transform(point[0 1 2], [1 2 3])) }")
                .status,
            "");
  MarkEverything();
  VertexGrid* point[3] = {Grid(kX), Grid(kY), Grid(kZ)};
  const std::uint32_t handedOut = GridsHandedOut();
  // More failed runs than the pool has records: each must give its copies back.
  for (int run = 0; run < 100; ++run) {
    FxExecContext shared, context;
    ASSERT_EQ(BindFxTables(shared, gParseStore), 1u);
    ASSERT_EQ(FxOutputMasks(context, gParseStore, 0), 1u);
    ASSERT_EQ(context.callCount, 3u);
    FeedItem(context, point, point);
    ASSERT_EQ(RunFxCalls(context), 0u);
    ASSERT_STREQ(FxErrorText, "Execution error : 'transform'");
    ASSERT_EQ(FxFrameAt(context, 3)->grids[0], nullptr);  // no assignment
    ASSERT_EQ(GridsHandedOut(), handedOut + 3);           // the selection's copies
  }
  EXPECT_EQ(GridsHandedOut(), handedOut);
}

// n products of the positions are all alive before the first sum reads them.
TEST_F(FxCallLists, ValuesAliveAtOnceAreBoundedTakesOverARunAreNot) {
  test::ScopedKernelTable table;
  WorldDir dir;
  VertexGrid* point[3] = {Grid(kX), Grid(kY), Grid(kZ)};
  const std::uint32_t handedOut = GridsHandedOut();
  for (int n : {30, 40}) {
    auto product = [](int i) {
      const std::string k = std::to_string(i);
      return "*(point, [" + k + " " + k + " " + k + "])";
    };
    std::string sum = product(n);
    for (int i = n - 1; i >= 1; --i) sum = "+(" + product(i) + ", " + sum + ")";
    ASSERT_EQ(CompileText(dir, "Surface s() { =(diffuse, " + sum + ") }").status, "");
    MarkEverything();
    FxExecContext context;
    ASSERT_EQ(FxOutputMasks(context, gParseStore, 0), 1u);
    FeedItem(context, point, point);
    // 30: 177 grids taken over the run, 90 alive at most. 40: 120 alive would pass 128 - 16.
    ASSERT_EQ(RunFxCalls(context), n == 30 ? 1u : 0u) << FxErrorText;
    if (n == 30) {
      EXPECT_TRUE(Holds(FxFrameAt(context, 3)->grids[2],
                        [](auto i, auto j) { return kZ(i, j) * 465.0f; }));  // 1 + ... + 30
    } else {
      EXPECT_STREQ(FxErrorText, kFxTooManyValues);
    }
  }
  EXPECT_EQ(GridsHandedOut(), handedOut);
}

std::vector<int> gCalled;
template <int N, std::uint32_t R>
std::uint32_t Recorder() {
  gCalled.push_back(N);
  return R;
}

TEST_F(FxCallLists, RunStopsAtTheFirstFailureAndAnEmptyListSucceeds) {
  FxExecContext context;
  FxFrame** const before = FxArgs;
  EXPECT_EQ(RunFxCalls(context), 1u);
  EXPECT_EQ(FxArgs, before);
  const FxExecutor executors[3] = {Recorder<0, 1>, Recorder<1, 0>, Recorder<2, 1>};
  for (std::uint32_t k = 0; k < 3; ++k) context.calls[k] = {k, executors[k], 1, {}};
  context.callCount = 3;
  gCalled.clear();
  EXPECT_EQ(RunFxCalls(context), 0u);
  EXPECT_EQ(gCalled, (std::vector<int>{0, 1}));
}

TEST_F(FxCallLists, VertexFormatFollowsTheAssignedOutputs) {
  WorldDir dir;
  ASSERT_EQ(CompileText(dir, "Surface a() { =(diffuse, 1) }\n"
                             "Surface b() { =(diffuse, 1) =(emissive, 1) }\n"
                             "Surface c() { =(specular, 1) }\n"
                             "Surface d() { =(specular, 1) =(emissive, 1) }")
                .status,
            "");
  const std::uint32_t formats[] = {25, 27, 29, 31, 25};
  for (std::uint32_t d = 0; d < 5; ++d)
    EXPECT_EQ(VertexFormatFromOutputs(gParseStore, d), formats[d]) << d;
  EXPECT_EQ(VertexFormatFromOutputs(gParseStore, kFxNoDefinition), 25u);
}

// Binding refuses what the tables cannot hold, at the limit and not before.
TEST_F(FxCallLists, BindingChecksTheListLengthAndEveryReference) {
  WorldDir dir;
  auto chain = [](const std::string& f, int n, std::string inner) {
    for (int i = 0; i < n; ++i) inner = f + "(" + inner + ")";
    return inner;
  };
  std::string f = "x";
  for (int i = 0; i < 64; ++i) f = "+(" + f + ", 1)";
  const std::string world = "Surface f(x) { " + f + " }\nSurface g(x) { +(x, 1) }\n";
  for (int extra : {0, 1}) {  // 7 x 64 + 63 + 1 calls, and one more
    ASSERT_EQ(CompileText(dir, world + "Surface s() { =(diffuse, " +
                                   chain("f", 7, chain("g", 63 + extra, "point")) + ") }")
                  .status,
              "");
    MarkEverything();
    FxExecContext context;
    EXPECT_EQ(FxOutputMasks(context, gParseStore, 2), extra ? 0u : 1u);
    EXPECT_EQ(context.callCount, 512u);
    if (extra) {
      EXPECT_STREQ(FxErrorText, kFxCallListTooLong);
    }
  }

  // A parameter has no frame: a definition with parameters runs only expanded.
  ASSERT_EQ(CompileText(dir, "Surface s(k) { =(diffuse, *(point, 2)) =(specular, k) }").status,
            "");
  MarkEverything();
  FxExecContext context;
  EXPECT_EQ(FxOutputMasks(context, gParseStore, 0), 0u);
  EXPECT_STREQ(FxErrorText, kFxBadReference);
  // Arguments one past their table are refused, the last entry is not.
  FxTerm* product = RecordListEntries<FxTerm>(gParseStore.surfaceCallArguments, 0);
  FxTerm* assignment = RecordListEntries<FxTerm>(gParseStore.surfaceCallArguments, 1);
  gParseStore.fxRecords.count = 1;
  VmArrayData<FxRecord>(gParseStore.fxRecords)[0].surfaceCallCount = 2;
  const struct {
    FxTerm* term;
    FxTerm value;
    std::uint32_t bound;
  } cases[] = {
      {product + 1, {kFxTermFloat, 0, 1, 1, 0}, 1},
      {product + 1, {kFxTermFloat, 1, 1, 1, 0}, 0},
      {product, {kFxTermOutput, 31, 1, 1, 0}, 1},
      {product, {kFxTermOutput, 32, 1, 1, 0}, 0},
      {product, {kFxTermGlobalInput, 15, 1, 1, 0}, 1},
      {product, {kFxTermGlobalInput, 16, 1, 1, 0}, 0},
      {product, {kFxTermString, 0, 1, 1, 0}, 0},
      {product, {kFxTermConstantCall, 0, 1, 1, 0}, 0},
      {product, {8, 0, 1, 1, 0}, 0},
      {assignment + 1, {kFxTermSurfaceCall, 0, 1, 1, 0}, 1},
      {assignment + 1, {kFxTermSurfaceCall, 1, 1, 1, 0}, 0},  // itself
  };
  for (const auto& c : cases) {
    const FxTerm saved = *c.term;
    *c.term = c.value;
    EXPECT_EQ(FxOutputMasks(context, gParseStore, 0), c.bound) << test::Describe(c.value);
    *c.term = saved;
  }
}

}  // namespace
}  // namespace veskor
