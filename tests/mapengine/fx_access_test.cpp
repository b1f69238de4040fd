#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "mapengine/fx_executors.h"
#include "mapengine/fx_test_support.h"

namespace veskor {
namespace {

using Field = test::Field;

class Access : public test::FxTest {
 protected:
  // Coordinates over a grid of log2 sizes (a, b): U = u(i, j), V = v(i, j).
  FxFrame Coords(std::uint16_t a, std::uint16_t b, const Field& u, const Field& v) {
    FxFrame c = Value();
    Add(c, Grid(a, b, u));
    Add(c, Grid(a, b, v));
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
      const float sx = rasters ? 15.0f : 16.0f, sy = rasters ? 31.0f : 32.0f;
      for (std::uint16_t k = 0; k < n; ++k) {
        ASSERT_NE(r.grids[k], nullptr);
        EXPECT_EQ(r.maps[k], nullptr);
        EXPECT_EQ(r.grids[k]->log2Width, 3u);  // the coordinates' size
        EXPECT_EQ(r.grids[k]->log2Height, 2u);
        for (std::uint32_t j = 0; j <= 4; ++j)
          for (std::uint32_t i = 0; i <= 8; ++i) {
            const float x = std::fmin(u(i, j), 0.999f) * sx;
            const float y = std::fmin(v(i, j), 0.999f) * sy;
            EXPECT_NEAR(r.grids[k]->data[j * 9 + i], 3 + 2 * x + 5 * y + 100 * k, 2e-4)
                << i << "," << j;
          }
      }
      EXPECT_EQ(table.count, 0u);  // both released
      EXPECT_EQ(c.count, 0u);
    }
  }
}

TEST_F(Access, CoordinatesAreLimitedToTheTable) {
  // U = V = 0 gives the first texel; negative and NaN coordinates count as 0; U = 1 samples
  // at 0.999, as U = 0.999 does.
  const float nan = std::nanf("");
  const float us[] = {0.0f, -3.0f, nan, 1.0f, 0.999f, 7.0f};
  FxFrame table = Value();
  Add(table, Raster(2, 2, [](std::uint32_t x, std::uint32_t y) { return Plane(x, y); }));
  FxFrame c = Value();
  Add(c, Grid(0, 1, [&](std::uint32_t i, std::uint32_t j) { return us[(j * 2 + i) % 6]; }));
  Add(c, Grid(0, 1, 0.0f));
  FxFrame r = Result();
  ASSERT_EQ(Run(FxAccess, r, {&table, &c}), 1u);
  const float* d = r.grids[0]->data;
  EXPECT_EQ(d[0], Plane(0, 0));
  EXPECT_EQ(d[1], Plane(0, 0));
  EXPECT_EQ(d[2], Plane(0, 0));
  EXPECT_EQ(d[3], d[4]);
  EXPECT_EQ(d[5], d[4]);
  EXPECT_LT(d[3], Plane(3, 0));
}

TEST_F(Access, Failures) {
  struct Case {
    const char* what;
    std::function<void(FxFrame&, FxFrame&)> build;
  };
  const Field one = [](std::uint32_t, std::uint32_t) { return 1.0f; };
  const Case cases[] = {
      {"a raster and a grid", [&](FxFrame& table, FxFrame& c) {
         Add(table, Raster(2, 2, one)), Add(table, Grid(2, 2, one));
         c = Coords(1, 1, one, one);
       }},
      {"grids of two sizes", [&](FxFrame& table, FxFrame& c) {
         Add(table, Grid(2, 2, one)), Add(table, Grid(2, 3, one));
         c = Coords(1, 1, one, one);
       }},
      {"rasters of two sizes", [&](FxFrame& table, FxFrame& c) {
         for (std::uint16_t w : {1, 1, 2}) Add(table, Raster(w, 1, one));
         c = Coords(1, 1, one, one);
       }},
      {"a float table", [&](FxFrame& table, FxFrame& c) {
         Add(table, 0.5f);
         c = Coords(1, 1, one, one);
       }},
      {"an empty table", [&](FxFrame&, FxFrame& c) { c = Coords(1, 1, one, one); }},
      {"four components", [&](FxFrame& table, FxFrame& c) {
         for (int k = 0; k < 4; ++k) Add(table, Grid(1, 1, one));
         c = Coords(1, 1, one, one);
       }},
      {"a raster one texel wide", [&](FxFrame& table, FxFrame& c) {
         Add(table, Raster(0, 3, one));
         c = Coords(1, 1, one, one);
       }},
      {"a raster one texel high", [&](FxFrame& table, FxFrame& c) {
         Add(table, Raster(3, 0, one));
         c = Coords(1, 1, one, one);
       }},
      {"one coordinate", [&](FxFrame& table, FxFrame& c) {
         Add(table, Grid(1, 1, one));
         Add(c, Grid(1, 1, one));
       }},
      {"coordinates of two sizes", [&](FxFrame& table, FxFrame& c) {
         Add(table, Grid(1, 1, one));
         Add(c, Grid(1, 1, one)), Add(c, Grid(1, 2, one));
       }},
      {"a float coordinate", [&](FxFrame& table, FxFrame& c) {
         Add(table, Grid(1, 1, one));
         Add(c, Grid(1, 1, one)), Add(c, 0.5f);
       }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    FxFrame table = Value(), c = Value();
    k.build(table, c);
    const std::uint16_t nt = table.count, nc = c.count;
    FxFrame r = Result();
    EXPECT_EQ(Run(FxAccess, r, {&table, &c}), 0u);
    EXPECT_STREQ(FxErrorText, "Execution error : 'access'");
    EXPECT_EQ(table.count, nt);
    EXPECT_EQ(table.refCount, 1u);
    EXPECT_EQ(c.count, nc);
    EXPECT_EQ(c.refCount, 1u);
  }
}

}  // namespace
}  // namespace veskor
