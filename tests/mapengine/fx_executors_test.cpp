#include "mapengine/fx_executors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "mapengine/fx_executor_table.h"
#include "mapengine/fx_test_support.h"

namespace veskor {
namespace {

using FxExecutors = test::FxTest;
using Field = test::Field;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Integer-valued fields: every result below is exact on both kernel members.
const Field kRamp = [](std::uint32_t i, std::uint32_t j) { return i + 2.0f * j - 3.0f; };
const Field kTwos = [](std::uint32_t i, std::uint32_t j) { return (i + j) % 2 ? 2.0f : 4.0f; };

std::vector<float> Apply(const std::function<float(float, float)>& f, const Field& a,
                         const Field& b, std::uint32_t w, std::uint32_t h) {
  std::vector<float> out;
  for (std::uint32_t j = 0; j <= (1u << h); ++j)
    for (std::uint32_t i = 0; i <= (1u << w); ++i) out.push_back(f(a(i, j), b(i, j)));
  return out;
}

Field Constant(float v) {
  return [v](std::uint32_t, std::uint32_t) { return v; };
}

// An argument was released: a temporary with one read is empty afterwards.
void ExpectReleased(const FxFrame& frame) {
  EXPECT_EQ(frame.refCount, 0u);
  EXPECT_EQ(frame.count, 0u);
}
void ExpectKept(const FxFrame& frame, std::uint16_t count) {
  EXPECT_EQ(frame.refCount, 1u);
  EXPECT_EQ(frame.count, count);
}

struct ElementwiseCase {
  const char* name;
  FxExecutor executor;
  std::function<float(float, float)> f;
  bool floatThenGrid;
  bool floatThenRaster;
};

const ElementwiseCase kElementwise[] = {
    {"+", FxAdd, [](float x, float y) { return x + y; }, true, true},
    {"-", FxSub, [](float x, float y) { return x - y; }, true, false},
    {"*", FxMul, [](float x, float y) { return x * y; }, true, true},
    {"/", FxDiv, [](float x, float y) { return x / y; }, false, false},
    {"min", FxMin, [](float x, float y) { return x < y ? x : y; }, true, true},
    {"max", FxMax, [](float x, float y) { return x > y ? x : y; }, true, true},
};

std::string Message(const char* name) { return std::string("Execution error : '") + name + "'"; }

TEST_F(FxExecutors, ElementwiseOperatorsOnGridsAndFloats) {
  for (const ElementwiseCase& op : kElementwise) {
    SCOPED_TRACE(op.name);
    // Component by component: grid-grid, grid-float, float-grid, float-float.
    FxFrame a = Value(), b = Value();
    Add(a, Grid(2, 1, kRamp));
    Add(a, Grid(2, 1, kRamp));
    Add(a, 2.0f);
    Add(a, 3.0f);
    Add(b, Grid(2, 1, kTwos));
    Add(b, 4.0f);
    Add(b, op.floatThenGrid ? Grid(2, 1, kTwos) : nullptr);
    if (!op.floatThenGrid) b.floats[2] = 8.0f;
    Add(b, 2.0f);
    FxFrame r = Result();
    ASSERT_EQ(Run(op.executor, r, {&a, &b}), 1u);
    EXPECT_EQ(FxErrorText, Message(op.name));
    ASSERT_EQ(r.count, 4u);
    EXPECT_EQ(r.refCount, 1u);
    ASSERT_NE(r.grids[0], nullptr);
    EXPECT_EQ(Values(r.grids[0]), Apply(op.f, kRamp, kTwos, 2, 1));
    ASSERT_NE(r.grids[1], nullptr);
    EXPECT_EQ(Values(r.grids[1]), Apply(op.f, kRamp, Constant(4.0f), 2, 1));
    if (op.floatThenGrid) {
      ASSERT_NE(r.grids[2], nullptr);
      EXPECT_EQ(Values(r.grids[2]), Apply(op.f, Constant(2.0f), kTwos, 2, 1));
    } else {
      EXPECT_EQ(r.grids[2], nullptr);
      EXPECT_EQ(r.floats[2], op.f(2.0f, 8.0f));
    }
    EXPECT_EQ(r.grids[3], nullptr);
    EXPECT_EQ(r.maps[3], nullptr);
    EXPECT_EQ(r.floats[3], op.f(3.0f, 2.0f));
    ExpectReleased(a);
    ExpectReleased(b);
  }
}

TEST_F(FxExecutors, ElementwiseOperatorsOnRasters) {
  const Field ramp = [](std::uint32_t x, std::uint32_t y) { return x - 4.0f * y; };
  for (const ElementwiseCase& op : kElementwise) {
    SCOPED_TRACE(op.name);
    FxFrame a = Value(), b = Value();
    Add(a, Raster(2, 1, ramp));
    Add(a, Raster(2, 1, ramp));
    Add(b, Raster(2, 1, kTwos));
    Add(b, 2.0f);
    FxFrame r = Result();
    ASSERT_EQ(Run(op.executor, r, {&a, &b}), 1u);
    ASSERT_EQ(r.count, 2u);
    ASSERT_NE(r.maps[0], nullptr);
    ASSERT_NE(r.maps[1], nullptr);
    std::vector<float> rr, rs;
    for (std::uint32_t y = 0; y < 2; ++y)
      for (std::uint32_t x = 0; x < 4; ++x) {
        rr.push_back(op.f(ramp(x, y), kTwos(x, y)));
        rs.push_back(op.f(ramp(x, y), 2.0f));
      }
    EXPECT_EQ(Values(r.maps[0]), rr);
    EXPECT_EQ(Values(r.maps[1]), rs);

    // A float first: the raster-scalar kernel for the commutative operators, else a failure
    // that leaves both arguments as they were.
    FxFrame c = Floats({2.0f}), d = Value();
    Add(d, Raster(2, 1, ramp));
    FxFrame s = Result();
    ASSERT_EQ(Run(op.executor, s, {&c, &d}), op.floatThenRaster ? 1u : 0u);
    EXPECT_EQ(FxErrorText, Message(op.name));
    if (op.floatThenRaster) {
      ASSERT_NE(s.maps[0], nullptr);
      std::vector<float> expected;
      for (std::uint32_t y = 0; y < 2; ++y)
        for (std::uint32_t x = 0; x < 4; ++x) expected.push_back(op.f(ramp(x, y), 2.0f));
      EXPECT_EQ(Values(s.maps[0]), expected);
    } else {
      ExpectKept(c, 1);
      ExpectKept(d, 1);
    }
  }
}

TEST_F(FxExecutors, ElementwiseFailuresLeaveTheArguments) {
  struct Case {
    const char* what;
    FxExecutor executor;
    const char* name;
    std::function<void(FxFrame&, FxFrame&)> build;
  };
  const Case cases[] = {
      {"grids of other sizes", FxMul, "*",
       [&](FxFrame& a, FxFrame& b) { Add(a, Grid(2, 1, 1.0f)), Add(b, Grid(1, 2, 1.0f)); }},
      {"rasters of other sizes", FxAdd, "+",
       [&](FxFrame& a, FxFrame& b) { Add(a, Raster(2, 1, kRamp)), Add(b, Raster(2, 2, kRamp)); }},
      {"raster with grid", FxMin, "min",
       [&](FxFrame& a, FxFrame& b) { Add(a, Raster(1, 1, kRamp)), Add(b, Grid(1, 1, 1.0f)); }},
      {"grid with raster", FxMax, "max",
       [&](FxFrame& a, FxFrame& b) { Add(a, Grid(1, 1, 1.0f)), Add(b, Raster(1, 1, kRamp)); }},
      {"float minus raster", FxSub, "-",
       [&](FxFrame& a, FxFrame& b) { Add(a, 1.0f), Add(b, Raster(1, 1, kRamp)); }},
      {"float over grid", FxDiv, "/",
       [&](FxFrame& a, FxFrame& b) { Add(a, 1.0f), Add(b, Grid(1, 1, 2.0f)); }},
      {"late component", FxAdd, "+",
       [&](FxFrame& a, FxFrame& b) {
         Add(a, 1.0f), Add(b, 2.0f);
         Add(a, Grid(1, 1, 1.0f)), Add(b, Grid(2, 1, 1.0f));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FxFrame a = Value(), b = Value();
    c.build(a, b);
    const std::uint16_t na = a.count, nb = b.count;
    FxFrame r = Result();
    EXPECT_EQ(Run(c.executor, r, {&a, &b}), 0u);
    EXPECT_EQ(FxErrorText, Message(c.name));
    ExpectKept(a, na);
    ExpectKept(b, nb);
  }
}

TEST_F(FxExecutors, ElementwiseResultHasTheSmallerCount) {
  FxFrame a = Value();
  for (int i = 0; i < 3; ++i) Add(a, Grid(1, 1, kRamp));
  FxFrame b = Floats({10.0f});
  FxFrame r = Result(2);
  ASSERT_EQ(Run(FxAdd, r, {&a, &b}), 1u);
  EXPECT_EQ(r.count, 1u);
  EXPECT_EQ(r.refCount, 2u);
  EXPECT_EQ(Values(r.grids[0]), Apply(std::plus<float>(), kRamp, Constant(10.0f), 1, 1));
  EXPECT_EQ(r.grids[1], nullptr);
}

TEST_F(FxExecutors, AbsOfGridsAndFloats) {
  FxFrame v = Value();
  Add(v, Grid(1, 2, kRamp));
  Add(v, -3.5f);
  FxFrame r = Result();
  ASSERT_EQ(Run(FxAbs, r, {&v}), 1u);
  ASSERT_EQ(r.count, 2u);
  EXPECT_EQ(Values(r.grids[0]),
            Apply([](float x, float) { return std::fabs(x); }, kRamp, kRamp, 1, 2));
  EXPECT_EQ(r.floats[1], 3.5f);
  ExpectReleased(v);

  FxFrame w = Value();
  Add(w, 1.0f);
  Add(w, Raster(1, 1, kRamp));
  FxFrame s = Result();
  EXPECT_EQ(Run(FxAbs, s, {&w}), 0u);
  EXPECT_STREQ(FxErrorText, "Execution error : 'abs'");
  ExpectKept(w, 2);
}

TEST_F(FxExecutors, RepeatTakesOnePairForAllOrOnePairEach) {
  const Field x = [](std::uint32_t i, std::uint32_t j) { return 0.25f * i - 1.0f * j; };
  auto wrap = [](float v, float lo, float hi) {
    const float r = hi - lo;
    return v - r * std::floor((v - lo) / r);
  };
  for (bool each : {false, true}) {
    SCOPED_TRACE(each ? "one pair each" : "one pair for all");
    FxFrame range = each ? Floats({0, 1, -1, 1, 2, 6}) : Floats({0, 1});
    FxFrame v = Value();
    for (int c = 0; c < 3; ++c) Add(v, Grid(3, 1, x));
    FxFrame r = Result();
    ASSERT_EQ(Run(FxRepeat, r, {&range, &v}), 1u);
    ASSERT_EQ(r.count, 3u);
    for (int c = 0; c < 3; ++c) {
      const float lo = each ? range.floats[2 * c] : 0.0f;
      const float hi = each ? range.floats[2 * c + 1] : 1.0f;
      const std::vector<float> got = Values(r.grids[c]);
      for (std::size_t k = 0; k < got.size(); ++k) {
        const std::uint32_t i = k % 9, j = k / 9;
        EXPECT_NEAR(got[k], wrap(x(i, j), lo, hi), 1e-6) << c << " " << k;
      }
    }
    ExpectReleased(v);
    ExpectKept(range, each ? 6 : 2);  // the range is not released
  }
}

TEST_F(FxExecutors, RepeatAndClampApplyToFloatComponents) {
  struct Case {
    FxExecutor executor;
    float in, lo, hi, out;
  };
  const Case cases[] = {{FxRepeat, 2.25f, 0, 1, 0.25f}, {FxRepeat, -0.25f, 0, 1, 0.75f},
                        {FxRepeat, 7.0f, 2, 6, 3.0f},   {FxClamp, 5.0f, 0, 1, 1.0f},
                        {FxClamp, -1.0f, 0, 1, 0.0f},   {FxClamp, 0.5f, 0, 1, 0.5f},
                        {FxClamp, kNaN, -2, 1, 0.0f}};
  for (const Case& c : cases) {
    FxFrame range = Floats({c.lo, c.hi});
    FxFrame v = Floats({c.in});
    FxFrame r = Result();
    r.floats[0] = -99.0f;  // a stale value must not survive
    ASSERT_EQ(Run(c.executor, r, {&range, &v}), 1u);
    EXPECT_EQ(r.count, 1u);
    EXPECT_EQ(r.floats[0], c.out) << c.in << " in " << c.lo << ".." << c.hi;
  }
}

TEST_F(FxExecutors, ClampCopiesThenClampsGrids) {
  FxFrame range = Floats({-1.0f, 2.0f});
  FxFrame v = Value();
  VertexGrid* g = Grid(2, 2, kRamp);
  Add(v, g);
  const std::vector<float> before = Values(g);
  FxFrame r = Result();
  ASSERT_EQ(Run(FxClamp, r, {&range, &v}), 1u);
  std::vector<float> expected;
  for (float x : before) expected.push_back(x < -1 ? -1 : x > 2 ? 2 : x);
  EXPECT_EQ(Values(r.grids[0]), expected);
}

TEST_F(FxExecutors, RangeOperatorFailures) {
  for (FxExecutor e : {FxRepeat, FxClamp}) {
    const char* name = e == FxRepeat ? "repeat" : "clamp";
    SCOPED_TRACE(name);
    // A raster component.
    FxFrame range = Floats({0, 1});
    FxFrame v = Value();
    Add(v, Raster(1, 1, kRamp));
    FxFrame r = Result();
    EXPECT_EQ(Run(e, r, {&range, &v}), 0u);
    EXPECT_EQ(FxErrorText, Message(name));
    ExpectKept(v, 1);
    // A range of one component has no upper bound.
    FxFrame shortRange = Floats({0});
    FxFrame w = Floats({0.5f});
    FxFrame s = Result();
    EXPECT_EQ(Run(e, s, {&shortRange, &w}), 0u);
    ExpectKept(w, 1);
  }
}

TEST_F(FxExecutors, StepOperatorsOnGrids) {
  const Field x = [](std::uint32_t i, std::uint32_t) { return 0.5f * i; };  // 0 .. 2
  struct Case {
    FxExecutor executor;
    const char* name;
    std::function<float(float)> f;
  };
  const Case cases[] = {
      {FxStep, "step", [](float v) { return v > 1.0f ? 1.0f : 0.0f; }},
      {FxStepLinear, "stepLinear", [](float v) { return std::fmin(std::fmax(v - 1.0f, 0.f), 1.f); }},
      {FxStepSmooth, "stepSmooth",
       [](float v) {
         const float t = std::fmin(std::fmax(v - 1.0f, 0.f), 1.f);
         return (3 - 2 * t) * t * t;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FxFrame edges = Floats({1.0f, 2.0f});
    FxFrame v = Value();
    Add(v, Grid(2, 0, x));
    Add(v, Grid(2, 0, x));
    FxFrame r = Result();
    ASSERT_EQ(Run(c.executor, r, {&edges, &v}), 1u);
    ASSERT_EQ(r.count, 2u);
    for (int k = 0; k < 2; ++k) {
      const std::vector<float> got = Values(r.grids[k]);
      for (std::uint32_t i = 0; i < got.size(); ++i)
        EXPECT_FLOAT_EQ(got[i], c.f(x(i % 5, 0))) << i;
    }
    ExpectReleased(v);
    ExpectKept(edges, 2);
  }
}

TEST_F(FxExecutors, StepOperatorFailures) {
  struct Case {
    FxExecutor executor;
    const char* name;
    std::uint16_t edges;
    int badKind;  // 0: none, 1: a float component, 2: a raster component
  };
  const Case cases[] = {{FxStep, "step", 1, 1},           {FxStepLinear, "stepLinear", 2, 2},
                        {FxStepSmooth, "stepSmooth", 2, 1}, {FxStep, "step", 0, 0},
                        {FxStepLinear, "stepLinear", 1, 0}, {FxStepSmooth, "stepSmooth", 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " edges " + std::to_string(c.edges));
    FxFrame edges = Value();
    for (std::uint16_t i = 0; i < c.edges; ++i) Add(edges, 0.5f * i);
    FxFrame v = Value();
    Add(v, Grid(1, 1, kRamp));
    if (c.badKind == 1) Add(v, 0.5f);
    if (c.badKind == 2) Add(v, Raster(1, 1, kRamp));
    const std::uint16_t n = v.count;
    FxFrame r = Result();
    EXPECT_EQ(Run(c.executor, r, {&edges, &v}), 0u);
    EXPECT_EQ(FxErrorText, Message(c.name));
    ExpectKept(v, n);
  }
}

TEST_F(FxExecutors, SelectCopiesTheIndexedComponents) {
  FxFrame s = Value();
  VertexGrid* g = Grid(1, 1, kRamp);
  Add(s, g);
  Add(s, 5.0f);
  Add(s, 6.0f);
  FxFrame x = Floats({2.0f, 0.0f, 7.0f, -1.5f, -0.5f, kNaN, 3e9f, 1.9f});
  const std::vector<float> values = Values(g);
  FxFrame r = Result();
  ASSERT_EQ(Run(FxSelect, r, {&s, &x}), 1u);
  EXPECT_STREQ(FxErrorText, "Execution error : '[]'");
  // 2 -> 6.0; 0 -> the grid; 7, -1.5, NaN and 3e9 are skipped; -0.5 -> 0; 1.9 -> 5.0.
  ASSERT_EQ(r.count, 4u);
  EXPECT_EQ(r.grids[0], nullptr);
  EXPECT_EQ(r.floats[0], 6.0f);
  ASSERT_NE(r.grids[1], nullptr);
  EXPECT_NE(r.grids[1], g);
  EXPECT_NE(r.grids[2], nullptr);
  EXPECT_NE(r.grids[2], r.grids[1]);
  EXPECT_EQ(Values(r.grids[1]), values);
  EXPECT_EQ(Values(r.grids[2]), values);
  EXPECT_EQ(r.floats[3], 5.0f);
  ExpectReleased(s);
  ExpectReleased(x);
}

TEST_F(FxExecutors, SelectAndGroupsFailWhenTheCopiesWouldNotFitAValue) {
  // Nine copies of a grid: rasters and grids live only in the first eight components.
  FxFrame s = Value();
  Add(s, Grid(1, 1, 1.0f));
  FxFrame x = Value();
  for (int i = 0; i < 9; ++i) Add(x, 0.0f);
  FxFrame r = Result();
  EXPECT_EQ(Run(FxSelect, r, {&s, &x}), 0u);
  EXPECT_STREQ(FxErrorText, "Execution error : '[]'");
  ExpectKept(s, 1);
  ExpectKept(x, 9);

  // Sixteen floats fit.
  FxFrame f = Floats({1.0f, 2.0f});
  FxFrame y = Value();
  for (int i = 0; i < 16; ++i) Add(y, float(i % 2));
  FxFrame q = Result();
  ASSERT_EQ(Run(FxSelect, q, {&f, &y}), 1u);
  EXPECT_EQ(q.count, 16u);
  EXPECT_EQ(q.floats[15], 2.0f);

  // Eight floats then a grid; nine and eight floats (seventeen).
  FxFrame a = Value(), b = Value();
  for (int i = 0; i < 8; ++i) Add(a, 1.0f);
  Add(b, Grid(1, 1, 1.0f));
  FxFrame g = Result();
  EXPECT_EQ(Run(FxGroup2, g, {&a, &b}), 0u);
  EXPECT_STREQ(FxErrorText, "Execution error : 'group2'");
  ExpectKept(a, 8);
  ExpectKept(b, 1);
  FxFrame c = Floats({1, 2, 3, 4, 5, 6, 7, 8, 9}), d = Floats({1, 2, 3, 4, 5, 6, 7, 8});
  FxFrame h = Result();
  EXPECT_EQ(Run(FxGroup2, h, {&c, &d}), 0u);
}

TEST_F(FxExecutors, GroupsConcatenateInArgumentOrder) {
  FxFrame a = Floats({1.0f});
  FxFrame b = Value();
  VertexGrid* g = Grid(2, 1, kRamp);
  Add(b, g);
  Add(b, 2.0f);
  FxFrame c = Floats({3.0f});
  const std::vector<float> values = Values(g);
  FxFrame r = Result();
  ASSERT_EQ(Run(FxGroup3, r, {&a, &b, &c}), 1u);
  EXPECT_STREQ(FxErrorText, "Execution error : 'group3'");
  ASSERT_EQ(r.count, 4u);
  EXPECT_EQ(r.floats[0], 1.0f);
  ASSERT_NE(r.grids[1], nullptr);
  EXPECT_NE(r.grids[1], g);
  EXPECT_EQ(Values(r.grids[1]), values);
  EXPECT_EQ(r.floats[2], 2.0f);
  EXPECT_EQ(r.floats[3], 3.0f);
  for (FxFrame* f : {&a, &b, &c}) ExpectReleased(*f);

  // Eight floats and one grid after a grid fit when the grids land in the first eight.
  FxFrame d = Value(), e = Floats({4, 5, 6}), k = Floats({7, 8}), m = Value();
  Add(d, Grid(1, 1, 1.0f));
  Add(m, Grid(1, 1, 2.0f));
  for (int i = 0; i < 8; ++i) Add(m, float(i));
  FxFrame s = Result();
  ASSERT_EQ(Run(FxGroup4, s, {&d, &e, &k, &m}), 1u);
  EXPECT_EQ(s.count, 15u);
  EXPECT_NE(s.grids[6], nullptr);
  EXPECT_EQ(s.floats[14], 7.0f);
}

TEST_F(FxExecutors, AssignCopiesIntoTheDestinationAndViewsIt) {
  FxFrame d = Value(kFxFrameKept);
  d.useCount = 2;
  VertexGrid* old = Grid(1, 1, 0.0f);
  VertexGrid* own = OwnGrid(1, 1, Constant(9.0f));
  Add(d, old);
  Add(d, 1.0f);
  Add(d, own);
  Add(d, 8.0f);
  FxFrame s = Value();
  VertexGrid* g = Grid(2, 2, kRamp);
  Add(s, g);
  Add(s, Grid(1, 1, 3.0f));
  Add(s, 4.0f);
  const std::uint32_t grids = list_.gridsHeld;
  const std::vector<float> values = Values(g);

  FxFrame r = Result();
  ASSERT_EQ(Run(FxAssign, r, {&d, &s}), 1u);
  ASSERT_EQ(d.count, 3u);
  EXPECT_EQ(d.refCount, 2u);
  ASSERT_NE(d.grids[0], nullptr);
  EXPECT_NE(d.grids[0], g);
  EXPECT_EQ(d.grids[0]->log2Width, 2u);
  EXPECT_EQ(Values(d.grids[0]), values);
  EXPECT_EQ(g->data, nullptr);  // the source was released
  EXPECT_EQ(old->data, nullptr);  // the destination's pool grid went back
  ASSERT_NE(d.grids[1], nullptr);
  EXPECT_EQ(d.grids[2], nullptr);  // an item's own grid is dropped, not given back
  EXPECT_EQ(d.floats[2], 4.0f);
  EXPECT_EQ(own->data[0], 9.0f);
  EXPECT_EQ(d.floats[3], 8.0f);  // beyond the source's count: left as it was
  ExpectReleased(s);
  // Two grids taken, one given back by the assignment, two by the source's release.
  EXPECT_EQ(list_.gridsHeld, grids + 2 - 1 - 2);

  // The result is a view of the destination that no release touches.
  EXPECT_EQ(r.kind, kFxFrameKept);
  EXPECT_EQ(r.refCount, 0u);
  EXPECT_EQ(r.useCount, 0u);
  ASSERT_EQ(r.count, 3u);
  EXPECT_EQ(r.grids[0], d.grids[0]);
  EXPECT_EQ(r.grids[1], d.grids[1]);
  EXPECT_EQ(r.floats[2], 4.0f);
  ReleaseFxFrame(list_, r);
  EXPECT_EQ(r.count, 3u);
  EXPECT_NE(d.grids[0]->data, nullptr);

  // Assigning the view back to its own destination keeps the values whole.
  const std::vector<float> before = Values(d.grids[0]);
  FxFrame again = Result();
  ASSERT_EQ(Run(FxAssign, again, {&d, &r}), 1u);
  EXPECT_EQ(Values(d.grids[0]), before);
  EXPECT_EQ(d.floats[2], 4.0f);
}

TEST_F(FxExecutors, FieldOperatorShapeFailures) {
  struct Case {
    const char* what;
    std::function<void(FxFrame&, FxFrame&)> build;
  };
  const Case cases[] = {
      {"two components", [&](FxFrame& a, FxFrame& b) {
         for (int i = 0; i < 2; ++i) Add(a, Grid(1, 1, 1.0f)), Add(b, 1.0f);
       }},
      {"four components", [&](FxFrame& a, FxFrame& b) {
         for (int i = 0; i < 4; ++i) Add(a, 1.0f), Add(b, 1.0f);
       }},
      {"a raster", [&](FxFrame& a, FxFrame& b) {
         Add(a, Raster(1, 1, kRamp));
         for (int i = 0; i < 2; ++i) Add(a, Grid(1, 1, 1.0f));
         for (int i = 0; i < 3; ++i) Add(b, 1.0f);
       }},
      {"grids and a float", [&](FxFrame& a, FxFrame& b) {
         Add(a, Grid(1, 1, 1.0f)), Add(a, 1.0f), Add(a, Grid(1, 1, 1.0f));
         for (int i = 0; i < 3; ++i) Add(b, 1.0f);
       }},
      {"grids of two sizes", [&](FxFrame& a, FxFrame& b) {
         for (int i = 0; i < 3; ++i) Add(a, Grid(1, 1, 1.0f)), Add(b, Grid(2, 1, 1.0f));
       }},
  };
  for (FxExecutor e : {FxDot, FxCross}) {
    const char* name = e == FxDot ? "dot" : "cross";
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(name) + ": " + c.what);
      FxFrame a = Value(), b = Value();
      c.build(a, b);
      const std::uint16_t na = a.count, nb = b.count;
      FxFrame r = Result();
      EXPECT_EQ(Run(e, r, {&a, &b}), 0u);
      EXPECT_EQ(FxErrorText, Message(name));
      ExpectKept(a, na);
      ExpectKept(b, nb);
    }
  }
}

TEST_F(FxExecutors, DotAndCrossOfFloats) {
  FxFrame a = Floats({1, 2, 3}), b = Floats({4, -5, 6, 99});
  FxFrame r = Result();
  ASSERT_EQ(Run(FxDot, r, {&a, &b}), 1u);
  EXPECT_EQ(r.count, 1u);
  EXPECT_EQ(r.floats[0], 4 - 10 + 18);
  ExpectReleased(a);
  ExpectReleased(b);

  FxFrame c = Floats({1, 2, 3}), d = Floats({4, -5, 6});
  FxFrame s = Result();
  ASSERT_EQ(Run(FxCross, s, {&c, &d}), 1u);
  ASSERT_EQ(s.count, 3u);
  EXPECT_EQ(s.floats[0], 2 * 6 - 3 * -5);
  EXPECT_EQ(s.floats[1], 3 * 4 - 1 * 6);
  EXPECT_EQ(s.floats[2], 1 * -5 - 2 * 4);
}

// Fields of three grids: x = i, y = j, z = i - j, and the constant (4, -5, 6).
struct Fields {
  std::vector<Field> f{[](std::uint32_t i, std::uint32_t) { return float(i); },
                       [](std::uint32_t, std::uint32_t j) { return float(j); },
                       [](std::uint32_t i, std::uint32_t j) { return float(i) - float(j); }};
  float c[3] = {4, -5, 6};
};

TEST_F(FxExecutors, DotOfGridFields) {
  const Fields k;
  auto gridsOf = [&](FxFrame& frame) {
    for (const Field& f : k.f) Add(frame, Grid(2, 1, f));
  };
  FxFrame a = Value(), b = Value(), c = Value(), d = Floats({4, -5, 6}), e = Floats({4, -5, 6});
  gridsOf(a), gridsOf(b), gridsOf(c);
  FxFrame r1 = Result(), r2 = Result(), r3 = Result();
  ASSERT_EQ(Run(FxDot, r1, {&a, &b}), 1u);
  ASSERT_EQ(Run(FxDot, r2, {&c, &d}), 1u);
  FxFrame a2 = Value();
  gridsOf(a2);
  ASSERT_EQ(Run(FxDot, r3, {&e, &a2}), 1u);
  for (std::uint32_t j = 0; j <= 2; ++j)
    for (std::uint32_t i = 0; i <= 4; ++i) {
      const float x = i, y = j, z = x - y;
      const std::uint32_t n = j * 5 + i;
      EXPECT_EQ(r1.grids[0]->data[n], x * x + y * y + z * z);
      EXPECT_EQ(r2.grids[0]->data[n], 4 * x - 5 * y + 6 * z);
      EXPECT_EQ(r3.grids[0]->data[n], 4 * x - 5 * y + 6 * z);
    }
}

TEST_F(FxExecutors, CrossOfGridFieldsInEitherOrder) {
  const Fields k;
  auto gridsOf = [&](FxFrame& frame) {
    for (const Field& f : k.f) Add(frame, Grid(1, 2, f));
  };
  FxFrame a = Value(), b = Value(), c = Floats({4, -5, 6});
  gridsOf(a), gridsOf(b);
  FxFrame grids = Result(), constAfter = Result(), constFirst = Result();
  FxFrame a2 = Value(), a3 = Value(), c2 = Floats({4, -5, 6});
  gridsOf(a2), gridsOf(a3);
  ASSERT_EQ(Run(FxCross, grids, {&a, &b}), 1u);
  ASSERT_EQ(Run(FxCross, constAfter, {&a2, &c}), 1u);
  ASSERT_EQ(Run(FxCross, constFirst, {&c2, &a3}), 1u);
  for (std::uint32_t n = 0; n < 15; ++n) {
    const float x = n % 3, y = n / 3, z = x - y;
    for (int axis = 0; axis < 3; ++axis) EXPECT_EQ(grids.grids[axis]->data[n], 0.0f);
    const float p[3] = {y * 6 - z * -5, z * 4 - x * 6, x * -5 - y * 4};
    for (int axis = 0; axis < 3; ++axis) {
      EXPECT_EQ(constAfter.grids[axis]->data[n], p[axis]) << n << " " << axis;
      EXPECT_EQ(constFirst.grids[axis]->data[n], -p[axis]) << n << " " << axis;
    }
  }
}

TEST_F(FxExecutors, TransformMovesThreeGridsByAMatrix) {
  FxFrame v = Value();
  for (const Field& f : Fields().f) Add(v, Grid(2, 2, f));
  // Column-major: a scale of 2 in x, a swap of y and z, and the translation (1, 2, 3).
  FxFrame m = Floats({2, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 2, 3, 1});
  FxFrame r = Result();
  ASSERT_EQ(Run(FxTransform, r, {&v, &m}), 1u);
  ASSERT_EQ(r.count, 3u);
  for (std::uint32_t n = 0; n < 25; ++n) {
    const float x = n % 5, y = n / 5, z = x - y;
    EXPECT_EQ(r.grids[0]->data[n], 2 * x + 1);
    EXPECT_EQ(r.grids[1]->data[n], z + 2);
    EXPECT_EQ(r.grids[2]->data[n], y + 3);
  }
  ExpectReleased(v);
  ExpectKept(m, 16);  // the matrix is not released
}

TEST_F(FxExecutors, TransformFailures) {
  struct Case {
    const char* what;
    std::uint16_t grids;
    std::uint16_t matrix;
    bool mixedSizes;
  };
  for (const Case c : {Case{"a 12-float matrix", 3, 12, false}, Case{"two grids", 2, 16, false},
                       Case{"four grids", 4, 16, false}, Case{"two sizes", 3, 16, true}}) {
    SCOPED_TRACE(c.what);
    FxFrame v = Value();
    for (std::uint16_t i = 0; i < c.grids; ++i)
      Add(v, Grid(c.mixedSizes && i == 2 ? 2 : 1, 1, 1.0f));
    FxFrame m = Value();
    for (std::uint16_t i = 0; i < c.matrix; ++i) Add(m, 1.0f);
    FxFrame r = Result();
    EXPECT_EQ(Run(FxTransform, r, {&v, &m}), 0u);
    EXPECT_STREQ(FxErrorText, "Execution error : 'transform'");
    ExpectKept(v, c.grids);
  }
}

TEST(FxExecutorTable, RowsFollowTheRegistryOrder) {
  struct Row {
    const char* name;
    FxExecutor executor;
    std::uint32_t arguments;
  };
  const Row rows[kFxExecutorCount] = {
      {"=", FxAssign, 2},        {"select", FxSelect, 2},        {"group2", FxGroup2, 2},
      {"group3", FxGroup3, 3},   {"group4", FxGroup4, 4},        {"access", FxAccess, 2},
      {"load", FxLoad, 1},       {"+", FxAdd, 2},                {"-", FxSub, 2},
      {"*", FxMul, 2},           {"/", FxDiv, 2},                {"dot", FxDot, 2},
      {"cross", FxCross, 2},     {"abs", FxAbs, 1},              {"min", FxMin, 2},
      {"max", FxMax, 2},         {"repeat", FxRepeat, 2},        {"clamp", FxClamp, 2},
      {"step", FxStep, 2},       {"stepLinear", FxStepLinear, 2}, {"stepSmooth", FxStepSmooth, 2},
      {"noise", FxNoise, 1},     {"noiseFrac", FxNoiseFrac, 2},  {"noiseTurb", FxNoiseTurb, 2},
      {"transform", FxTransform, 2}, {nullptr, FxDisplace, 4}};
  for (std::uint32_t k = 0; k < kFxExecutorCount; ++k) {
    const FxExecutorEntry& e = kFxExecutorTable[k];
    SCOPED_TRACE(k);
    if (rows[k].name == nullptr)
      EXPECT_EQ(e.name, nullptr);
    else
      EXPECT_STREQ(e.name, rows[k].name);
    EXPECT_EQ(e.executor, rows[k].executor);
    EXPECT_EQ(e.parameterCount, rows[k].arguments);
    EXPECT_EQ(e.writesFirstArgument, k == 0 || k == 25 ? 1u : 0u);
    EXPECT_EQ(e.result.type, kFxTypeValue);
    EXPECT_EQ(e.result.access, e.writesFirstArgument ? 3u : 1u);
    for (std::uint32_t i = 0; i < e.parameterCount; ++i) {
      EXPECT_EQ(e.parameters[i].type, k == 6 ? kFxTypeString : kFxTypeValue);
      EXPECT_EQ(e.parameters[i].access, i == 0 && e.writesFirstArgument ? 3u : 1u);
    }
  }
}

}  // namespace
}  // namespace veskor
