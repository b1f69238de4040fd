#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "mapengine/fx_executors.h"
#include "mapengine/fx_test_support.h"

namespace veskor {
namespace {

using test::Constant;
using test::Field;

class Access : public test::FxTest {
 protected:
  // Coordinates over a grid of log2 sizes (a, b): U = u(i, j), V = v(i, j).
  FxFrame Coords(std::uint16_t a, std::uint16_t b, const Field& u, const Field& v) {
    FxFrame c = Value();
    Add(c, Grid(a, b, u)), Add(c, Grid(a, b, v));
    return c;
  }
};

// Texel or vertex (x, y) of a plane, exactly representable.
float Plane(std::uint32_t x, std::uint32_t y) { return 3.0f + 2.0f * x + 5.0f * y; }

TEST_F(Access, LinearTablesAreReproducedAtTheCoordinates) {
  // u = i / 8 and v = j / 4 over a (3, 2) grid: coordinates 0 .. 1, the last one limited.
  const Field u = [](std::uint32_t i, std::uint32_t) { return i / 8.0f; };
  const Field v = [](std::uint32_t, std::uint32_t j) { return j / 4.0f; };
  for (bool rasters : {false, true}) {
    for (std::uint16_t n = 1; n <= 3; ++n) {
      SCOPED_TRACE(std::to_string(n) + (rasters ? " rasters" : " grids"));
      FxFrame table = Value();
      for (std::uint16_t k = 0; k < n; ++k) {
        const Field f = [k](std::uint32_t x, std::uint32_t y) { return Plane(x, y) + 100.0f * k; };
        if (rasters)
          Add(table, Raster(4, 5, f));
        else
          Add(table, Grid(4, 5, f));
      }
      FxFrame c = Coords(3, 2, u, v);
      FxFrame r = Result();
      ASSERT_EQ(Run(FxAccess, r, {&table, &c}), 1u);
      EXPECT_STREQ(FxErrorText, "Execution error : 'access'");
      ASSERT_EQ(r.count, n);
      // A raster's texels run from 0 to 2^w - 1, a grid's vertices from 0 to 2^w.
      const float sx = rasters ? 15.0f : 16.0f, sy = rasters ? 31.0f : 32.0f;
      for (std::uint16_t k = 0; k < n; ++k) {
        EXPECT_EQ(r.maps[k], nullptr);
        ASSERT_NE(r.grids[k], nullptr);
        EXPECT_EQ(r.grids[k]->log2Width, 3u);  // the coordinates' size
        EXPECT_EQ(r.grids[k]->log2Height, 2u);
        EXPECT_TRUE(Holds(r.grids[k], [&](std::uint32_t i, std::uint32_t j) {
          const float x = std::fmin(u(i, j), 0.999f) * sx, y = std::fmin(v(i, j), 0.999f) * sy;
          return 3 + 2 * x + 5 * y + 100 * k;
        }, 2e-4));
      }
      EXPECT_EQ(table.count, 0u);  // both released
      EXPECT_EQ(c.count, 0u);
    }
  }
}

TEST_F(Access, CoordinatesAreLimitedToTheTable) {
  // Negative and NaN coordinates count as 0 (the first texel); 1 and more as 0.999.
  const float us[] = {0.0f, -3.0f, std::nanf(""), 1.0f, 0.999f, 7.0f};
  FxFrame table = Value();
  Add(table, Raster(2, 2, [](std::uint32_t x, std::uint32_t y) { return Plane(x, y); }));
  FxFrame c = Coords(0, 1, [&](std::uint32_t i, std::uint32_t j) { return us[j * 2 + i]; },
                     Constant(0.0f));
  FxFrame r = Result();
  ASSERT_EQ(Run(FxAccess, r, {&table, &c}), 1u);
  const float* d = r.grids[0]->data;
  for (int k = 0; k < 3; ++k) EXPECT_EQ(d[k], Plane(0, 0)) << k;
  EXPECT_EQ(d[3], d[4]);
  EXPECT_EQ(d[5], d[4]);
  EXPECT_LT(d[3], Plane(3, 0));
}

TEST_F(Access, FailuresLeaveTheArguments) {
  const Field one = Constant(1.0f);
  const auto grids = [&](FxFrame& t, std::initializer_list<std::uint16_t> widths) {
    for (std::uint16_t w : widths) Add(t, Grid(w, 2, one));
  };
  const auto rasters = [&](FxFrame& t, std::initializer_list<std::uint16_t> widths) {
    for (std::uint16_t w : widths) Add(t, Raster(w, 2, one));
  };
  // The table, then coordinates made of two (1, 1) grids unless the case changes them.
  const std::pair<const char*, std::function<void(FxFrame&, FxFrame&)>> cases[] = {
      {"a raster and a grid", [&](FxFrame& t, FxFrame&) { rasters(t, {2}), grids(t, {2}); }},
      {"grids of two sizes", [&](FxFrame& t, FxFrame&) { grids(t, {2, 3}); }},
      {"rasters of two sizes", [&](FxFrame& t, FxFrame&) { rasters(t, {1, 1, 2}); }},
      {"a float table", [&](FxFrame& t, FxFrame&) { Add(t, 0.5f); }},
      {"an empty table", [&](FxFrame&, FxFrame&) {}},
      {"four components", [&](FxFrame& t, FxFrame&) { grids(t, {1, 1, 1, 1}); }},
      {"a raster one texel wide", [&](FxFrame& t, FxFrame&) { rasters(t, {0}); }},
      {"a raster one texel high", [&](FxFrame& t, FxFrame&) { Add(t, Raster(2, 0, one)); }},
      {"one coordinate", [&](FxFrame& t, FxFrame& c) { grids(t, {1}), c.count = 1; }},
      {"coordinates of two sizes",
       [&](FxFrame& t, FxFrame& c) { grids(t, {1}), c.grids[1] = Grid(2, 1, one); }},
      {"a float coordinate", [&](FxFrame& t, FxFrame& c) { grids(t, {1}), c.grids[1] = nullptr; }},
  };
  for (const auto& [what, build] : cases)
    ExpectFailure(FxAccess, "access", 2, [&](FxFrame* a) {
      a[1] = Coords(1, 1, one, one);
      build(a[0], a[1]);
    }, what);
}

}  // namespace
}  // namespace veskor
