#include "mapengine/fx_executors.h"

#include <gtest/gtest.h>

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
using Builder = std::function<void(FxFrame&, FxFrame&)>;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Integer-valued fields: every result below is exact on both kernel members.
const Field kRamp = [](std::uint32_t i, std::uint32_t j) { return i + 2.0f * j - 3.0f; };
const Field kTwos = [](std::uint32_t i, std::uint32_t j) { return (i + j) % 2 ? 2.0f : 4.0f; };

Field Combine(const std::function<float(float, float)>& f, const Field& a, const Field& b) {
  return [=](std::uint32_t i, std::uint32_t j) { return f(a(i, j), b(i, j)); };
}

std::string Message(const std::string& name) { return "Execution error : '" + name + "'"; }

// An argument was released (a temporary read once is then empty), or left as it was.
void ExpectReleased(const FxFrame& frame) {
  EXPECT_EQ(frame.refCount, 0u);
  EXPECT_EQ(frame.count, 0u);
}
void ExpectKept(const FxFrame& frame, std::uint16_t count) {
  EXPECT_EQ(frame.refCount, 1u);
  EXPECT_EQ(frame.count, count);
}

// Builds both arguments, runs, and checks the failure leaves them as they were.
void ExpectFailure(test::FxTest& t, FxExecutor executor, const std::string& name,
                   const Builder& build, const char* what) {
  SCOPED_TRACE(name + ": " + what);
  FxFrame a = t.Value(), b = t.Value();
  build(a, b);
  const std::uint16_t na = a.count, nb = b.count;
  FxFrame r = t.Result();
  EXPECT_EQ(t.Run(executor, r, {&a, &b}), 0u);
  EXPECT_EQ(FxErrorText, Message(name));
  ExpectKept(a, na);
  ExpectKept(b, nb);
}

struct ElementwiseCase {
  const char* name;
  FxExecutor executor;
  std::function<float(float, float)> f;
  bool floatFirstGrid, floatFirstRaster;
};

const ElementwiseCase kElementwise[] = {
    {"+", FxAdd, [](float x, float y) { return x + y; }, true, true},
    {"-", FxSub, [](float x, float y) { return x - y; }, true, false},
    {"*", FxMul, [](float x, float y) { return x * y; }, true, true},
    {"/", FxDiv, [](float x, float y) { return x / y; }, false, false},
    {"min", FxMin, [](float x, float y) { return x < y ? x : y; }, true, true},
    {"max", FxMax, [](float x, float y) { return x > y ? x : y; }, true, true},
};

TEST_F(FxExecutors, ElementwiseOperatorsPairComponentByComponent) {
  for (const ElementwiseCase& op : kElementwise) {
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
    EXPECT_EQ(FxErrorText, Message(op.name));
    ASSERT_EQ(r.count, 6u);
    EXPECT_EQ(r.refCount, 2u);
    EXPECT_TRUE(Holds(r.grids[0], Combine(op.f, kRamp, kTwos)));
    EXPECT_TRUE(Holds(r.grids[1], Combine(op.f, kRamp, Constant(4.0f))));
    EXPECT_TRUE(Holds(r.maps[2], Combine(op.f, kRamp, kTwos)));
    EXPECT_TRUE(Holds(r.maps[3], Combine(op.f, kRamp, Constant(2.0f))));
    EXPECT_EQ(r.grids[4], nullptr);
    EXPECT_EQ(r.floats[4], op.f(3.0f, 2.0f));
    if (op.floatFirstGrid) {
      EXPECT_TRUE(Holds(r.grids[5], Combine(op.f, Constant(2.0f), kTwos)));
    }
    ExpectReleased(a);
    ExpectReleased(b);

    // A float before a raster: the raster-scalar kernel when the operator commutes.
    FxFrame c = Floats({2.0f}), d = Value();
    Add(d, Raster(2, 1, kTwos));
    FxFrame s = Result();
    ASSERT_EQ(Run(op.executor, s, {&c, &d}), op.floatFirstRaster ? 1u : 0u);
    if (op.floatFirstRaster) {
      EXPECT_TRUE(Holds(s.maps[0], Combine(op.f, Constant(2), kTwos)));
    }
  }
}

TEST_F(FxExecutors, ElementwiseFailuresLeaveTheArguments) {
  auto grid = [&](FxFrame& f, std::uint16_t w) { Add(f, Grid(w, 1, 1.0f)); };
  auto raster = [&](FxFrame& f, std::uint16_t w) { Add(f, Raster(w, 1, kRamp)); };
  ExpectFailure(*this, FxMul, "*", [&](FxFrame& a, FxFrame& b) { grid(a, 2), grid(b, 1); },
                "grids of other sizes");
  ExpectFailure(*this, FxAdd, "+", [&](FxFrame& a, FxFrame& b) { raster(a, 2), raster(b, 1); },
                "rasters of other sizes");
  ExpectFailure(*this, FxMin, "min", [&](FxFrame& a, FxFrame& b) { raster(a, 1), grid(b, 1); },
                "raster with grid");
  ExpectFailure(*this, FxMax, "max", [&](FxFrame& a, FxFrame& b) { grid(a, 1), raster(b, 1); },
                "grid with raster");
  ExpectFailure(*this, FxSub, "-", [&](FxFrame& a, FxFrame& b) { Add(a, 1.0f), raster(b, 1); },
                "float minus raster");
  ExpectFailure(*this, FxDiv, "/", [&](FxFrame& a, FxFrame& b) { Add(a, 1.0f), grid(b, 1); },
                "float over grid");
  ExpectFailure(
      *this, FxAdd, "+",
      [&](FxFrame& a, FxFrame& b) { Add(a, 1.0f), Add(b, 2.0f), grid(a, 1), grid(b, 2); },
      "a later component");
}

TEST_F(FxExecutors, AbsOfGridsAndFloats) {
  FxFrame v = Value();
  Add(v, Grid(1, 2, kRamp));
  Add(v, -3.5f);
  FxFrame r = Result();
  ASSERT_EQ(Run(FxAbs, r, {&v}), 1u);
  ASSERT_EQ(r.count, 2u);
  const auto abs = [](float x, float) { return std::fabs(x); };
  EXPECT_TRUE(Holds(r.grids[0], Combine(abs, kRamp, kRamp)));
  EXPECT_EQ(r.floats[1], 3.5f);
  ExpectReleased(v);

  FxFrame w = Value();
  Add(w, 1.0f);
  Add(w, Raster(1, 1, kRamp));
  EXPECT_EQ(Run(FxAbs, r, {&w}), 0u);
  EXPECT_EQ(FxErrorText, Message("abs"));
  ExpectKept(w, 2);
}

TEST_F(FxExecutors, RangeOperatorsTakeOnePairForAllOrOnePairEach) {
  const Field x = [](std::uint32_t i, std::uint32_t j) { return 0.75f * i - 1.5f * j; };
  const auto wrap = [](float v, float lo, float hi) {
    return v - (hi - lo) * std::floor((v - lo) / (hi - lo));
  };
  const auto clamp = [](float v, float lo, float hi) { return std::fmin(std::fmax(v, lo), hi); };
  for (FxExecutor e : {FxRepeat, FxClamp}) {
    for (bool each : {false, true}) {
      SCOPED_TRACE(std::string(e == FxRepeat ? "repeat" : "clamp") + (each ? " each" : " all"));
      FxFrame range = each ? Floats({0, 1, -1, 1, 2, 6}) : Floats({0, 1});
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
        if (c < 2)
          EXPECT_TRUE(Holds(r.grids[c], want, 1e-6)) << c;
        else
          EXPECT_NEAR(r.floats[2], want(0, 0), 1e-6);
      }
      ExpectReleased(v);
      ExpectKept(range, each ? 6 : 2);  // the range is not released
    }
  }
  // A NaN is clamped to 0.
  FxFrame range = Floats({-2, 1}), v = Floats({kNaN});
  FxFrame r = Result();
  ASSERT_EQ(Run(FxClamp, r, {&range, &v}), 1u);
  EXPECT_EQ(r.floats[0], 0.0f);
}

TEST_F(FxExecutors, RangeOperatorFailures) {
  for (FxExecutor e : {FxRepeat, FxClamp}) {
    const char* name = e == FxRepeat ? "repeat" : "clamp";
    ExpectFailure(*this, e, name,
                  [&](FxFrame& a, FxFrame& b) {
                    Add(a, 0.0f), Add(a, 1.0f), Add(b, Raster(1, 1, kRamp));
                  },
                  "a raster");
    // A range of one component has no upper bound.
    ExpectFailure(*this, e, name, [&](FxFrame& a, FxFrame& b) { Add(a, 0.0f), Add(b, 0.5f); },
                  "a short range");
  }
}

TEST_F(FxExecutors, StepOperatorsOnGrids) {
  const Field x = [](std::uint32_t i, std::uint32_t) { return 0.5f * i; };  // 0 .. 2
  const auto t = [](float v) { return std::fmin(std::fmax(v - 1.0f, 0.f), 1.f); };
  struct Case {
    FxExecutor executor;
    std::function<float(float)> f;
  };
  const Case cases[] = {{FxStep, [](float v) { return v > 1.0f ? 1.0f : 0.0f; }},
                        {FxStepLinear, t},
                        {FxStepSmooth, [&](float v) { return (3 - 2 * t(v)) * t(v) * t(v); }}};
  for (const Case& c : cases) {
    FxFrame edges = Floats({1.0f, 2.0f});
    FxFrame v = Value();
    Add(v, Grid(2, 0, x)), Add(v, Grid(2, 0, x));
    FxFrame r = Result();
    ASSERT_EQ(Run(c.executor, r, {&edges, &v}), 1u);
    ASSERT_EQ(r.count, 2u);
    const Field want = [&](std::uint32_t i, std::uint32_t j) { return c.f(x(i, j)); };
    EXPECT_TRUE(Holds(r.grids[0], want, 1e-6));
    EXPECT_TRUE(Holds(r.grids[1], want, 1e-6));
    ExpectReleased(v);
    ExpectKept(edges, 2);
  }
}

TEST_F(FxExecutors, StepOperatorFailures) {
  auto edges = [](FxFrame& e, int n) {
    for (int i = 0; i < n; ++i) Add(e, 0.5f * i);
  };
  ExpectFailure(*this, FxStep, "step",
                [&](FxFrame& e, FxFrame& v) {
                  edges(e, 1), Add(v, Grid(1, 1, kRamp)), Add(v, 0.5f);
                },
                "a float component");
  ExpectFailure(*this, FxStepLinear, "stepLinear",
                [&](FxFrame& e, FxFrame& v) { edges(e, 2), Add(v, Raster(1, 1, kRamp)); },
                "a raster component");
  ExpectFailure(*this, FxStep, "step",
                [&](FxFrame& e, FxFrame& v) { edges(e, 0), Add(v, Grid(1, 1, kRamp)); },
                "no edge");
  ExpectFailure(*this, FxStepSmooth, "stepSmooth",
                [&](FxFrame& e, FxFrame& v) { edges(e, 1), Add(v, Grid(1, 1, kRamp)); },
                "one edge");
}

TEST_F(FxExecutors, SelectCopiesTheIndexedComponents) {
  FxFrame s = Value();
  VertexGrid* g = Grid(1, 1, kRamp);
  Add(s, g), Add(s, 5.0f), Add(s, 6.0f);
  // 2 -> 6.0; 0 -> the grid; 7, -1.5, NaN and 3e9 are skipped; -0.5 -> 0; 1.9 -> 5.0.
  FxFrame x = Floats({2.0f, 0.0f, 7.0f, -1.5f, -0.5f, kNaN, 3e9f, 1.9f});
  FxFrame r = Result();
  ASSERT_EQ(Run(FxSelect, r, {&s, &x}), 1u);
  EXPECT_STREQ(FxErrorText, "Execution error : '[]'");
  ASSERT_EQ(r.count, 4u);
  EXPECT_EQ(r.grids[0], nullptr);
  EXPECT_EQ(r.floats[0], 6.0f);
  EXPECT_NE(r.grids[1], r.grids[2]);  // a copy per index
  EXPECT_TRUE(Holds(r.grids[1], kRamp));
  EXPECT_TRUE(Holds(r.grids[2], kRamp));
  EXPECT_EQ(r.floats[3], 5.0f);
  EXPECT_EQ(g->data, nullptr);  // the source was released
  ExpectReleased(x);
}

TEST_F(FxExecutors, SelectAndGroupsFailWhenTheCopiesWouldNotFitAValue) {
  // Nine copies of a grid: rasters and grids live only in the first eight components.
  ExpectFailure(*this, FxSelect, "[]", [&](FxFrame& s, FxFrame& x) {
    Add(s, Grid(1, 1, 1.0f));
    for (int i = 0; i < 9; ++i) Add(x, 0.0f);
  }, "nine grids");
  ExpectFailure(*this, FxGroup2, "group2", [&](FxFrame& a, FxFrame& b) {
    for (int i = 0; i < 8; ++i) Add(a, 1.0f);
    Add(b, Grid(1, 1, 1.0f));
  }, "a grid ninth");
  ExpectFailure(*this, FxGroup2, "group2", [&](FxFrame& a, FxFrame& b) {
    for (int i = 0; i < 9; ++i) Add(a, 1.0f), Add(b, 1.0f);
  }, "eighteen floats");

  // Sixteen floats fit.
  FxFrame f = Floats({1.0f, 2.0f});
  FxFrame y = Value();
  for (int i = 0; i < 16; ++i) Add(y, float(i % 2));
  FxFrame q = Result();
  ASSERT_EQ(Run(FxSelect, q, {&f, &y}), 1u);
  EXPECT_EQ(q.count, 16u);
  EXPECT_EQ(q.floats[15], 2.0f);
}

TEST_F(FxExecutors, GroupsConcatenateInArgumentOrder) {
  FxFrame a = Floats({1.0f}), b = Value(), c = Floats({3.0f});
  Add(b, Grid(2, 1, kRamp)), Add(b, 2.0f);
  FxFrame r = Result();
  ASSERT_EQ(Run(FxGroup3, r, {&a, &b, &c}), 1u);
  EXPECT_STREQ(FxErrorText, "Execution error : 'group3'");
  ASSERT_EQ(r.count, 4u);
  EXPECT_EQ(r.floats[0], 1.0f);
  EXPECT_TRUE(Holds(r.grids[1], kRamp));
  EXPECT_EQ(r.floats[2], 2.0f);
  EXPECT_EQ(r.floats[3], 3.0f);
  for (FxFrame* f : {&a, &b, &c}) ExpectReleased(*f);

  // Fifteen components whose grids land in the first eight fit.
  FxFrame d = Value(), e = Floats({4, 5, 6}), k = Floats({7, 8}), m = Value();
  Add(d, Grid(1, 1, 1.0f)), Add(m, Grid(1, 1, 2.0f));
  for (int i = 0; i < 8; ++i) Add(m, float(i));
  FxFrame s = Result();
  ASSERT_EQ(Run(FxGroup4, s, {&d, &e, &k, &m}), 1u);
  EXPECT_EQ(s.count, 15u);
  EXPECT_TRUE(Holds(s.grids[6], Constant(2.0f)));
  EXPECT_EQ(s.floats[14], 7.0f);
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
  EXPECT_TRUE(Holds(d.grids[0], kRamp));
  EXPECT_TRUE(Holds(d.grids[1], Constant(3.0f)));
  EXPECT_EQ(old->data, nullptr);   // the destination's pool grid went back
  EXPECT_EQ(d.grids[2], nullptr);  // an item's own grid is dropped, not given back
  EXPECT_TRUE(Holds(own, Constant(9.0f)));
  EXPECT_EQ(d.floats[2], 4.0f);
  EXPECT_EQ(d.floats[3], 8.0f);  // beyond the source's count: left as it was
  ExpectReleased(s);
  // Two grids taken, one given back by the assignment, two by the source's release.
  EXPECT_EQ(list_.gridsHeld + 1, grids);

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

  // Assigning the view back to its own destination keeps the values whole.
  FxFrame again = Result();
  ASSERT_EQ(Run(FxAssign, again, {&d, &r}), 1u);
  EXPECT_TRUE(Holds(d.grids[0], kRamp));
  EXPECT_EQ(d.floats[2], 4.0f);
}

// Fields of three grids, x = i, y = j, z = i - j, and the constant (4, -5, 6).
const Field kField[3] = {[](std::uint32_t i, std::uint32_t) { return float(i); },
                         [](std::uint32_t, std::uint32_t j) { return float(j); },
                         [](std::uint32_t i, std::uint32_t j) { return float(i) - float(j); }};

TEST_F(FxExecutors, FieldOperatorShapeFailures) {
  auto grids = [&](FxFrame& f, int n, std::uint16_t w) {
    for (int i = 0; i < n; ++i) Add(f, Grid(w, 1, 1.0f));
  };
  auto floats = [](FxFrame& f, int n) {
    for (int i = 0; i < n; ++i) Add(f, 1.0f);
  };
  const std::pair<const char*, Builder> cases[] = {
      {"two components", [&](FxFrame& a, FxFrame& b) { grids(a, 2, 1), floats(b, 3); }},
      {"four components", [&](FxFrame& a, FxFrame& b) { floats(a, 4), floats(b, 4); }},
      {"a raster", [&](FxFrame& a, FxFrame& b) {
         Add(a, Raster(1, 1, kRamp)), grids(a, 2, 1), floats(b, 3);
       }},
      {"grids and a float", [&](FxFrame& a, FxFrame& b) {
         grids(a, 1, 1), floats(a, 1), grids(a, 1, 1), floats(b, 3);
       }},
      {"grids of two sizes", [&](FxFrame& a, FxFrame& b) { grids(a, 3, 1), grids(b, 3, 2); }},
  };
  for (const auto& [what, build] : cases) {
    ExpectFailure(*this, FxDot, "dot", build, what);
    ExpectFailure(*this, FxCross, "cross", build, what);
  }
}

TEST_F(FxExecutors, DotAndCrossOfGridsAndFloats) {
  const float k[3] = {4, -5, 6};
  auto field = [&](FxFrame& f) {
    for (const Field& c : kField) Add(f, Grid(2, 1, c));
  };
  auto constant = [&]() { return Floats({k[0], k[1], k[2]}); };
  const Field dotConst = [&](std::uint32_t i, std::uint32_t j) {
    return k[0] * kField[0](i, j) + k[1] * kField[1](i, j) + k[2] * kField[2](i, j);
  };
  // A field crossed with the constant, component c.
  auto crossConst = [&](int c, float sign) -> Field {
    return [=](std::uint32_t i, std::uint32_t j) {
      const float x = kField[0](i, j), y = kField[1](i, j), z = kField[2](i, j);
      const float p[3] = {y * k[2] - z * k[1], z * k[0] - x * k[2], x * k[1] - y * k[0]};
      return sign * p[c];
    };
  };
  FxFrame a = Value(), b = Value(), c = Value(), d = constant(), e = constant(), f = Value();
  field(a), field(b), field(c), field(f);
  FxFrame dot1 = Result(), dot2 = Result(), dot3 = Result();
  ASSERT_EQ(Run(FxDot, dot1, {&a, &b}), 1u);
  ASSERT_EQ(Run(FxDot, dot2, {&c, &d}), 1u);
  ASSERT_EQ(Run(FxDot, dot3, {&e, &f}), 1u);
  EXPECT_TRUE(Holds(dot1.grids[0], [&](std::uint32_t i, std::uint32_t j) {
    const float x = kField[0](i, j), y = kField[1](i, j), z = kField[2](i, j);
    return x * x + y * y + z * z;
  }));
  EXPECT_TRUE(Holds(dot2.grids[0], dotConst));
  EXPECT_TRUE(Holds(dot3.grids[0], dotConst));
  for (FxFrame* x : {&a, &b, &c, &d, &e, &f}) ExpectReleased(*x);

  FxFrame g = Value(), h = Value(), m = Value(), n = constant(), p = constant(), q = Value();
  field(g), field(h), field(m), field(q);
  FxFrame same = Result(), after = Result(), before = Result();
  ASSERT_EQ(Run(FxCross, same, {&g, &h}), 1u);
  ASSERT_EQ(Run(FxCross, after, {&m, &n}), 1u);
  ASSERT_EQ(Run(FxCross, before, {&p, &q}), 1u);
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_TRUE(Holds(same.grids[axis], Constant(0.0f)));
    EXPECT_TRUE(Holds(after.grids[axis], crossConst(axis, 1.0f))) << axis;
    EXPECT_TRUE(Holds(before.grids[axis], crossConst(axis, -1.0f))) << axis;
  }

  FxFrame s = Floats({1, 2, 3}), t = Floats({4, -5, 6, 99}), u = Floats({1, 2, 3});
  FxFrame v = Floats({4, -5, 6});
  FxFrame fdot = Result(), fcross = Result();
  ASSERT_EQ(Run(FxDot, fdot, {&s, &t}), 1u);
  ASSERT_EQ(Run(FxCross, fcross, {&u, &v}), 1u);
  EXPECT_EQ(fdot.count, 1u);
  EXPECT_EQ(fdot.floats[0], 4 - 10 + 18);
  ASSERT_EQ(fcross.count, 3u);
  EXPECT_EQ(fcross.floats[0], 2 * 6 - 3 * -5);
  EXPECT_EQ(fcross.floats[1], 3 * 4 - 1 * 6);
  EXPECT_EQ(fcross.floats[2], 1 * -5 - 2 * 4);
}

TEST_F(FxExecutors, TransformMovesThreeGridsByAMatrix) {
  FxFrame v = Value();
  for (const Field& f : kField) Add(v, Grid(2, 2, f));
  // Column-major: a scale of 2 in x, a swap of y and z, and the translation (1, 2, 3).
  FxFrame m = Floats({2, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 2, 3, 1});
  FxFrame r = Result();
  ASSERT_EQ(Run(FxTransform, r, {&v, &m}), 1u);
  ASSERT_EQ(r.count, 3u);
  EXPECT_TRUE(Holds(r.grids[0], [](std::uint32_t i, std::uint32_t) { return 2.0f * i + 1; }));
  EXPECT_TRUE(Holds(r.grids[1], [](std::uint32_t i, std::uint32_t j) { return i - float(j) + 2; }));
  EXPECT_TRUE(Holds(r.grids[2], [](std::uint32_t, std::uint32_t j) { return j + 3.0f; }));
  ExpectReleased(v);
  ExpectKept(m, 16);  // the matrix is not released

  auto value = [&](FxFrame& f, int n, bool twoSizes) {
    for (int i = 0; i < n; ++i) Add(f, Grid(twoSizes && i == 2 ? 2 : 1, 1, 1.0f));
  };
  auto matrix = [](FxFrame& f, int n) {
    for (int i = 0; i < n; ++i) Add(f, 1.0f);
  };
  ExpectFailure(*this, FxTransform, "transform",
                [&](FxFrame& a, FxFrame& b) { value(a, 3, false), matrix(b, 12); }, "12 floats");
  ExpectFailure(*this, FxTransform, "transform",
                [&](FxFrame& a, FxFrame& b) { value(a, 2, false), matrix(b, 16); }, "two grids");
  ExpectFailure(*this, FxTransform, "transform",
                [&](FxFrame& a, FxFrame& b) { value(a, 3, true), matrix(b, 16); }, "two sizes");
}

}  // namespace
}  // namespace veskor
