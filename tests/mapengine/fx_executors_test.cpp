#include "mapengine/fx_executors.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "mapengine/fx_test_support.h"

namespace veskor {
namespace {

using FxExecutors = test::FxTest;
using test::Constant;
using test::Field;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Integer-valued fields: every result below is exact on both kernel members.
const Field kRamp = [](std::uint32_t i, std::uint32_t j) { return i + 2.0f * j - 3.0f; };
const Field kTwos = [](std::uint32_t i, std::uint32_t j) { return (i + j) % 2 ? 2.0f : 4.0f; };
// Three grids x = i, y = j, z = i - j.
const Field kField[3] = {[](std::uint32_t i, std::uint32_t) { return float(i); },
                         [](std::uint32_t, std::uint32_t j) { return float(j); },
                         [](std::uint32_t i, std::uint32_t j) { return float(i) - float(j); }};

Field Combine(const std::function<float(float, float)>& f, const Field& a, const Field& b) {
  return [=](std::uint32_t i, std::uint32_t j) { return f(a(i, j), b(i, j)); };
}

// An argument was released (a temporary read once is then empty), or left live.
void ExpectReleased(const FxFrame& frame) { EXPECT_TRUE(frame.refCount == 0 && frame.count == 0); }
void ExpectKept(const FxFrame& frame) { EXPECT_EQ(frame.refCount, 1u); }

TEST_F(FxExecutors, ElementwiseOperatorsPairComponentByComponent) {
  const struct {
    const char* name;
    FxExecutor executor;
    std::function<float(float, float)> f;
    bool floatFirstGrid, floatFirstRaster;
  } ops[] = {
      {"+", FxAdd, [](float x, float y) { return x + y; }, true, true},
      {"-", FxSub, [](float x, float y) { return x - y; }, true, false},
      {"*", FxMul, [](float x, float y) { return x * y; }, true, true},
      {"/", FxDiv, [](float x, float y) { return x / y; }, false, false},
      {"min", FxMin, [](float x, float y) { return x < y ? x : y; }, true, true},
      {"max", FxMax, [](float x, float y) { return x > y ? x : y; }, true, true},
  };
  for (const auto& op : ops) {
    SCOPED_TRACE(op.name);
    // grid-grid, grid-float, raster-raster, raster-float, float-float, float-grid; the
    // shorter value (a) decides the count.
    FxFrame a = Value(), b = Value();
    Add(a, Grid(2, 1, kRamp)), Add(b, Grid(2, 1, kTwos));
    Add(a, Grid(2, 1, kRamp)), Add(b, 4.0f);
    Add(a, Raster(2, 1, kRamp)), Add(b, Raster(2, 1, kTwos));
    Add(a, Raster(2, 1, kRamp)), Add(b, 2.0f);
    Add(a, 3.0f), Add(b, 2.0f);
    Add(a, 2.0f), Add(b, op.floatFirstGrid ? Grid(2, 1, kTwos) : nullptr);
    Add(b, Grid(2, 1, kTwos));
    FxFrame r = Result(2);
    ASSERT_EQ(Run(op.executor, r, {&a, &b}), 1u);
    EXPECT_EQ(FxErrorText, "Execution error : '" + std::string(op.name) + "'");
    ASSERT_EQ(r.count, 6u);
    EXPECT_EQ(r.refCount, 2u);
    EXPECT_TRUE(Holds(r.grids[0], Combine(op.f, kRamp, kTwos)));
    EXPECT_TRUE(Holds(r.grids[1], Combine(op.f, kRamp, Constant(4.0f))));
    EXPECT_TRUE(Holds(r.maps[2], Combine(op.f, kRamp, kTwos)));
    EXPECT_TRUE(Holds(r.maps[3], Combine(op.f, kRamp, Constant(2.0f))));
    EXPECT_EQ(r.grids[4], nullptr);
    EXPECT_EQ(r.floats[4], op.f(3.0f, 2.0f));
    EXPECT_TRUE(!op.floatFirstGrid || Holds(r.grids[5], Combine(op.f, Constant(2.0f), kTwos)));
    ExpectReleased(a);
    ExpectReleased(b);

    // A float before a raster: the raster-scalar kernel when the operator commutes. Here the
    // second value is the shorter.
    FxFrame c = Floats({2.0f, 5.0f}), d = Value();
    Add(d, Raster(2, 1, kTwos));
    FxFrame s = Result();
    ASSERT_EQ(Run(op.executor, s, {&c, &d}), op.floatFirstRaster ? 1u : 0u);
    EXPECT_TRUE(!op.floatFirstRaster ||
                (s.count == 1 && Holds(s.maps[0], Combine(op.f, Constant(2), kTwos))));
  }
}

TEST_F(FxExecutors, FailuresLeaveTheArguments) {
  using Args = FxFrame*;
  const auto grids = [&](FxFrame& f, int n, std::uint16_t w) {
    for (int i = 0; i < n; ++i) Add(f, Grid(w, 1, 1.0f));
  };
  const auto floats = [](FxFrame& f, int n) {
    for (int i = 0; i < n; ++i) Add(f, 0.0f);
  };
  const auto raster = [&](FxFrame& f, std::uint16_t w) { Add(f, Raster(w, 1, kRamp)); };
  const struct {
    FxExecutor executor;
    const char* name;
    std::function<void(Args)> build;
    const char* what;
  } cases[] = {
      {FxMul, "*", [&](Args a) { grids(a[0], 1, 2), grids(a[1], 1, 1); }, "grids of two sizes"},
      {FxAdd, "+", [&](Args a) { raster(a[0], 2), raster(a[1], 1); }, "rasters of two sizes"},
      {FxMin, "min", [&](Args a) { raster(a[0], 1), grids(a[1], 1, 1); }, "raster with grid"},
      {FxMax, "max", [&](Args a) { grids(a[0], 1, 1), raster(a[1], 1); }, "grid with raster"},
      {FxSub, "-", [&](Args a) { floats(a[0], 1), raster(a[1], 1); }, "float minus raster"},
      {FxDiv, "/", [&](Args a) { floats(a[0], 1), grids(a[1], 1, 1); }, "float over grid"},
      {FxAdd, "+",
       [&](Args a) { floats(a[0], 1), floats(a[1], 1), grids(a[0], 1, 1), grids(a[1], 1, 2); },
       "a later component"},
      {FxAbs, "abs", [&](Args a) { floats(a[0], 1), raster(a[0], 1); }, "a raster"},
      {FxRepeat, "repeat", [&](Args a) { floats(a[0], 2), raster(a[1], 1); }, "a raster"},
      {FxClamp, "clamp", [&](Args a) { floats(a[0], 2), raster(a[1], 1); }, "a raster"},
      // A range of one component has no upper bound.
      {FxRepeat, "repeat", [&](Args a) { floats(a[0], 1), floats(a[1], 1); }, "a short range"},
      {FxClamp, "clamp", [&](Args a) { floats(a[0], 1), floats(a[1], 1); }, "a short range"},
      {FxStep, "step", [&](Args a) { floats(a[0], 1), grids(a[1], 1, 1), floats(a[1], 1); },
       "a float component"},
      {FxStepLinear, "stepLinear", [&](Args a) { floats(a[0], 2), raster(a[1], 1); },
       "a raster component"},
      {FxStep, "step", [&](Args a) { grids(a[1], 1, 1); }, "no edge"},
      {FxStepSmooth, "stepSmooth", [&](Args a) { floats(a[0], 1), grids(a[1], 1, 1); },
       "one edge"},
      // Rasters and grids live only in the first eight components.
      {FxSelect, "[]", [&](Args a) { grids(a[0], 1, 1), floats(a[1], 9); }, "nine grids"},
      {FxGroup2, "group2", [&](Args a) { floats(a[0], 8), grids(a[1], 1, 1); }, "a grid ninth"},
      {FxGroup2, "group2", [&](Args a) { floats(a[0], 8), floats(a[1], 9); }, "17 floats"},
      {FxTransform, "transform", [&](Args a) { grids(a[0], 3, 1), floats(a[1], 12); },
       "12 floats"},
      {FxTransform, "transform", [&](Args a) { grids(a[0], 2, 1), floats(a[1], 16); },
       "two grids"},
      {FxTransform, "transform", [&](Args a) { grids(a[0], 4, 1), floats(a[1], 16); },
       "four grids"},
      {FxTransform, "transform",
       [&](Args a) { grids(a[0], 2, 1), grids(a[0], 1, 2), floats(a[1], 16); }, "two sizes"},
  };
  for (const auto& c : cases) ExpectFailure(c.executor, c.name, 2, c.build, c.what);
  const std::pair<const char*, std::function<void(Args)>> fields[] = {
      {"two components", [&](Args a) { grids(a[0], 2, 1), floats(a[1], 3); }},
      {"four components", [&](Args a) { floats(a[0], 4), floats(a[1], 4); }},
      {"a raster", [&](Args a) { raster(a[0], 1), grids(a[0], 2, 1), floats(a[1], 3); }},
      {"grids and a float",
       [&](Args a) { grids(a[0], 1, 1), floats(a[0], 1), grids(a[0], 1, 1), floats(a[1], 3); }},
      {"grids of two sizes", [&](Args a) { grids(a[0], 3, 1), grids(a[1], 3, 2); }},
  };
  for (const auto& [what, build] : fields) {
    ExpectFailure(FxDot, "dot", 2, build, what);
    ExpectFailure(FxCross, "cross", 2, build, what);
  }
}

TEST_F(FxExecutors, AbsOfGridsAndFloats) {
  FxFrame v = Value();
  Add(v, Grid(1, 2, kRamp)), Add(v, -3.5f);
  FxFrame r = Result();
  ASSERT_EQ(Run(FxAbs, r, {&v}), 1u);
  ASSERT_EQ(r.count, 2u);
  const auto abs = [](float x, float) { return std::fabs(x); };
  EXPECT_TRUE(Holds(r.grids[0], Combine(abs, kRamp, kRamp)));
  EXPECT_EQ(r.floats[1], 3.5f);
  ExpectReleased(v);
}

TEST_F(FxExecutors, RangeOperatorsTakeOnePairForAllOrOnePairEach) {
  const Field x = [](std::uint32_t i, std::uint32_t j) { return 0.75f * i - 1.5f * j; };
  const auto wrap = [](float v, float lo, float hi) {
    return v - (hi - lo) * std::floor((v - lo) / (hi - lo));
  };
  const auto clamp = [](float v, float lo, float hi) { return std::fmin(std::fmax(v, lo), hi); };
  // For three components: 2 to 3 x 2 - 1 floats give a pair each, fewer or more one for all.
  const FxFrame ranges[] = {Floats({0, 1}), Floats({0, 1, -1, 1, 2, 6}),
                            Floats({0, 1, -1, 1, 2, 6, 9, 9}), Floats({0, 1, 5, 5, 5, 5, 5, 5, 5})};
  for (FxExecutor e : {FxRepeat, FxClamp})
    for (FxFrame range : ranges) {
      const bool each = range.count == 6 || range.count == 8;
      SCOPED_TRACE(std::string(e == FxRepeat ? "repeat " : "clamp ") + std::to_string(range.count));
      FxFrame v = Value();
      Add(v, Grid(3, 1, x)), Add(v, Grid(3, 1, x)), Add(v, -2.25f);
      FxFrame r = Result();
      r.floats[2] = -99.0f;  // floats are computed too: no stale value survives
      ASSERT_EQ(Run(e, r, {&range, &v}), 1u);
      ASSERT_EQ(r.count, 3u);
      for (int c = 0; c < 3; ++c) {
        const float lo = range.floats[each ? 2 * c : 0], hi = range.floats[each ? 2 * c + 1 : 1];
        const Field want = [&](std::uint32_t i, std::uint32_t j) {
          const float in = c < 2 ? x(i, j) : -2.25f;
          return e == FxRepeat ? wrap(in, lo, hi) : clamp(in, lo, hi);
        };
        if (c < 2) EXPECT_TRUE(Holds(r.grids[c], want, 1e-6)) << c;
        else EXPECT_NEAR(r.floats[2], want(0, 0), 1e-6);
      }
      ExpectReleased(v);
      EXPECT_EQ(range.refCount, 1u);  // not released
    }
  // A NaN is clamped to 0.
  FxFrame range = Floats({-2, 1}), v = Floats({kNaN}), r = Result();
  ASSERT_EQ(Run(FxClamp, r, {&range, &v}), 1u);
  EXPECT_EQ(r.floats[0], 0.0f);
}

TEST_F(FxExecutors, StepOperatorsOnGrids) {
  const Field x = [](std::uint32_t i, std::uint32_t) { return 0.5f * i; };  // 0 .. 2
  const auto t = [](float v) { return std::fmin(std::fmax(v - 1.0f, 0.f), 1.f); };
  const std::pair<FxExecutor, std::function<float(float)>> cases[] = {
      {FxStep, [](float v) { return v > 1.0f ? 1.0f : 0.0f; }},
      {FxStepLinear, t},
      {FxStepSmooth, [&](float v) { return (3 - 2 * t(v)) * t(v) * t(v); }}};
  for (const auto& [executor, f] : cases) {
    FxFrame edges = Floats({1.0f, 2.0f}), v = Value(), r = Result();
    Add(v, Grid(2, 0, x)), Add(v, Grid(2, 0, x));
    ASSERT_EQ(Run(executor, r, {&edges, &v}), 1u);
    ASSERT_EQ(r.count, 2u);
    const Field want = [&](std::uint32_t i, std::uint32_t j) { return f(x(i, j)); };
    EXPECT_TRUE(Holds(r.grids[0], want, 1e-6) && Holds(r.grids[1], want, 1e-6));
    ExpectReleased(v);
    ExpectKept(edges);
  }
}

TEST_F(FxExecutors, SelectCopiesTheIndexedComponents) {
  FxFrame s = Value();
  VertexGrid* g = Grid(1, 1, kRamp);
  Add(s, g), Add(s, 5.0f), Add(s, 6.0f);
  // 2 -> 6.0; 0 -> the grid; 3 (the count), 7, -1.5, NaN and 3e9 are skipped; -0.5 -> 0;
  // 1.9 -> 5.0.
  FxFrame x = Floats({2.0f, 0.0f, 3.0f, 7.0f, -1.5f, -0.5f, kNaN, 3e9f, 1.9f});
  FxFrame r = Result();
  ASSERT_EQ(Run(FxSelect, r, {&s, &x}), 1u);
  EXPECT_STREQ(FxErrorText, "Execution error : '[]'");
  ASSERT_EQ(r.count, 4u);
  EXPECT_EQ(r.grids[0], nullptr);
  EXPECT_EQ(r.floats[0], 6.0f);
  EXPECT_NE(r.grids[1], r.grids[2]);  // a copy per index
  EXPECT_TRUE(Holds(r.grids[1], kRamp) && Holds(r.grids[2], kRamp));
  EXPECT_EQ(r.floats[3], 5.0f);
  EXPECT_EQ(g->data, nullptr);  // the source was released
  ExpectReleased(x);

  // Sixteen floats fit.
  FxFrame f = Floats({1.0f, 2.0f}), y = Value(), q = Result();
  for (int i = 0; i < 16; ++i) Add(y, float(i % 2));
  ASSERT_EQ(Run(FxSelect, q, {&f, &y}), 1u);
  EXPECT_EQ(q.count, 16u);
  EXPECT_EQ(q.floats[15], 2.0f);
}

TEST_F(FxExecutors, GroupsConcatenateInArgumentOrder) {
  FxFrame a = Floats({1.0f}), b = Value(), c = Floats({3.0f}), r = Result();
  Add(b, Grid(2, 1, kRamp)), Add(b, 2.0f);
  ASSERT_EQ(Run(FxGroup3, r, {&a, &b, &c}), 1u);
  EXPECT_STREQ(FxErrorText, "Execution error : 'group3'");
  ASSERT_EQ(r.count, 4u);
  EXPECT_TRUE(r.floats[0] == 1 && r.floats[2] == 2 && r.floats[3] == 3);
  EXPECT_TRUE(Holds(r.grids[1], kRamp));
  for (FxFrame* f : {&a, &b, &c}) ExpectReleased(*f);

  // Sixteen components, the last grid the eighth, fit.
  FxFrame d = Value(), e = Floats({4, 5, 6}), k = Floats({7, 8, 9}), m = Value(), s = Result();
  Add(d, Grid(1, 1, 1.0f)), Add(m, Grid(1, 1, 2.0f));
  for (int i = 0; i < 8; ++i) Add(m, float(i));
  ASSERT_EQ(Run(FxGroup4, s, {&d, &e, &k, &m}), 1u);
  EXPECT_TRUE(s.count == 16 && s.refCount == 1);
  EXPECT_TRUE(Holds(s.grids[0], Constant(1.0f)) && Holds(s.grids[7], Constant(2.0f)));
  EXPECT_EQ(s.floats[15], 7.0f);
}

TEST_F(FxExecutors, AssignCopiesIntoTheDestinationAndViewsIt) {
  FxFrame d = Value(kFxFrameKept);
  d.useCount = 2;
  VertexGrid* old = Grid(1, 1, 0.0f);
  VertexGrid* own = OwnGrid(1, 1, Constant(9.0f));
  Add(d, old), Add(d, 1.0f), Add(d, own), Add(d, 8.0f);
  FxFrame s = Value();
  Add(s, Grid(2, 2, kRamp)), Add(s, Grid(1, 1, 3.0f)), Add(s, 4.0f);
  const std::uint32_t grids = list_.gridsHeld;

  FxFrame r = Result();
  ASSERT_EQ(Run(FxAssign, r, {&d, &s}), 1u);
  ASSERT_EQ(d.count, 3u);
  EXPECT_EQ(d.refCount, 2u);
  EXPECT_TRUE(Holds(d.grids[0], kRamp) && Holds(d.grids[1], Constant(3.0f)));
  EXPECT_EQ(old->data, nullptr);   // the destination's pool grid went back
  EXPECT_EQ(d.grids[2], nullptr);  // an item's own grid is dropped, not given back
  EXPECT_TRUE(Holds(own, Constant(9.0f)));
  EXPECT_EQ(d.floats[2], 4.0f);
  EXPECT_EQ(d.floats[3], 8.0f);  // beyond the source's count: left as it was
  ExpectReleased(s);
  // Two grids taken, one given back by the assignment, two by the source's release.
  EXPECT_EQ(list_.gridsHeld + 1, grids);

  // The result is a view of the destination that no release touches.
  EXPECT_TRUE(r.kind == kFxFrameKept && r.refCount == 0 && r.useCount == 0);
  ASSERT_EQ(r.count, 3u);
  EXPECT_TRUE(r.grids[0] == d.grids[0] && r.grids[1] == d.grids[1] && r.floats[2] == 4.0f);
  ReleaseFxFrame(list_, r);
  EXPECT_EQ(r.count, 3u);

  // Assigning the view back to its own destination keeps the values whole.
  FxFrame again = Result();
  ASSERT_EQ(Run(FxAssign, again, {&d, &r}), 1u);
  EXPECT_TRUE(Holds(d.grids[0], kRamp));
  EXPECT_EQ(d.floats[2], 4.0f);
}

TEST_F(FxExecutors, DotAndCrossOfGridsAndFloats) {
  const float k[3] = {4, -5, 6};
  // The field, a field crossed with the constant (sign -1: the constant first), the dot
  // products of the field with itself and with the constant.
  const auto at = [](std::uint32_t i, std::uint32_t j) {
    return std::array<float, 3>{kField[0](i, j), kField[1](i, j), kField[2](i, j)};
  };
  const auto crossConst = [&](int c, float sign) -> Field {
    return [=](std::uint32_t i, std::uint32_t j) {
      const auto [x, y, z] = at(i, j);
      const float p[3] = {y * k[2] - z * k[1], z * k[0] - x * k[2], x * k[1] - y * k[0]};
      return sign * p[c];
    };
  };
  const Field dotSelf = [&](std::uint32_t i, std::uint32_t j) {
    const auto [x, y, z] = at(i, j);
    return x * x + y * y + z * z;
  };
  const Field dotConst = [&](std::uint32_t i, std::uint32_t j) {
    const auto [x, y, z] = at(i, j);
    return k[0] * x + k[1] * y + k[2] * z;
  };
  // Operands: the field (f), the constant (c); results of f.f, f.c, c.f, f x f, f x c, c x f.
  const auto run = [&](FxExecutor e, bool firstField, bool secondField) {
    FxFrame a = Value(), b = Value(), r = Result();
    for (auto [frame, field] : {std::pair{&a, firstField}, {&b, secondField}})
      for (int c = 0; c < 3; ++c)
        field ? Add(*frame, Grid(2, 1, kField[c])) : Add(*frame, k[c]);
    EXPECT_EQ(Run(e, r, {&a, &b}), 1u);
    ExpectReleased(a);
    ExpectReleased(b);
    return r;
  };
  EXPECT_TRUE(Holds(run(FxDot, true, true).grids[0], dotSelf));
  EXPECT_TRUE(Holds(run(FxDot, true, false).grids[0], dotConst));
  EXPECT_TRUE(Holds(run(FxDot, false, true).grids[0], dotConst));
  const FxFrame same = run(FxCross, true, true), after = run(FxCross, true, false),
                before = run(FxCross, false, true);
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_TRUE(Holds(same.grids[axis], Constant(0.0f)));
    EXPECT_TRUE(Holds(after.grids[axis], crossConst(axis, 1.0f))) << axis;
    EXPECT_TRUE(Holds(before.grids[axis], crossConst(axis, -1.0f))) << axis;
  }

  // The longer value first, then second: three components are used either way.
  FxFrame s = Floats({1, 2, 3, 99}), t = Floats({4, -5, 6}), u = Floats({1, 2, 3});
  FxFrame v = Floats({4, -5, 6, 99}), fdot = Result(), fcross = Result();
  ASSERT_EQ(Run(FxDot, fdot, {&s, &t}), 1u);
  ASSERT_EQ(Run(FxCross, fcross, {&u, &v}), 1u);
  EXPECT_EQ(fdot.count, 1u);
  EXPECT_EQ(fdot.floats[0], 4 - 10 + 18);
  ASSERT_EQ(fcross.count, 3u);
  EXPECT_EQ(std::vector<float>(fcross.floats, fcross.floats + 3),
            (std::vector<float>{2 * 6 - 3 * -5, 3 * 4 - 1 * 6, 1 * -5 - 2 * 4}));
}

TEST_F(FxExecutors, TransformMovesThreeGridsByAMatrix) {
  FxFrame v = Value();
  for (const Field& f : kField) Add(v, Grid(2, 2, f));
  // Column-major: a scale of 2 in x, a swap of y and z, and the translation (1, 2, 3).
  FxFrame m = Floats({2, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 2, 3, 1}), r = Result();
  ASSERT_EQ(Run(FxTransform, r, {&v, &m}), 1u);
  ASSERT_EQ(r.count, 3u);
  EXPECT_TRUE(Holds(r.grids[0], [](std::uint32_t i, std::uint32_t) { return 2.0f * i + 1; }));
  EXPECT_TRUE(Holds(r.grids[1], [](std::uint32_t i, std::uint32_t j) { return i - float(j) + 2; }));
  EXPECT_TRUE(Holds(r.grids[2], [](std::uint32_t, std::uint32_t j) { return j + 3.0f; }));
  ExpectReleased(v);
  ExpectKept(m);  // the matrix is not released
}

}  // namespace
}  // namespace veskor
