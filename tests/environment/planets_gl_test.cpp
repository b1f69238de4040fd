// The planets baked and drawn by llvmpipe: the bake of small images with known masks against
// the lighting worked out here in double precision (square and not square images, the day and
// night sides and the terminator, the disc's frame straight overhead and underfoot); the three
// passes read back over a known background with its alpha; the off-screen corner rule; and the
// groups placed on screen against the test's own projection of their directions.
#include "environment/planets.h"
#include "environment_gl_base.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "gfx/gl_capabilities.h"
#include "gfx/texture_names.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

using test::ReadPixel;

struct Texel {
  std::uint8_t r, g, b, a;
};

class PlanetTest : public test::EnvironmentGlBase {
 protected:
  void SetUp() override {
    EnvironmentGlBase::SetUp();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
  }
  void TearDown() override {
    glClearColor(0, 0, 0, 0);
    glDisable(GL_FOG);
    glActiveTexture(GL_TEXTURE0);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    GlTest::TearDown();
  }
  // A planet of 2^w x 2^h colour texels given by `texel`, lit flat: brightness 1, no intensity.
  static void Fill(SceneTexture& p, std::uint32_t w, std::uint32_t h,
                   const std::function<Texel(std::uint32_t, std::uint32_t)>& texel) {
    Texture2DResize(p.colour, 4, w, h);
    auto* out = static_cast<Texel*>(TextureData(p.colour));
    for (std::uint32_t j = 0; j < (1u << h); ++j)
      for (std::uint32_t i = 0; i < (1u << w); ++i) out[(j << w) + i] = texel(i, j);
    p.brightness = 1, p.intensity = 0, p.ringSize = 0.1f, p.fadeNight = 0, p.fadeDay = 1;
    p.angleH = p.angleV = 0;
  }
  static void Direction(SceneTexture& p, double x, double y, double z) {
    const double n = std::sqrt(x * x + y * y + z * z);
    p.direction[0] = float(x / n), p.direction[1] = float(y / n), p.direction[2] = float(z / n);
  }
  // Bakes the planet in a group of its own.
  static void Bake(SceneTexture& p, const float* S) {
    float u[3], d[3], v[3];
    PlanetGroupFrame(p.direction, u, d, v);
    BuildPlanetTextures(p, S, u, d, v);
  }
  // The shading texture as uploaded.
  static std::vector<float> Shading(const SceneTexture& p) {
    std::vector<float> texels(4u << (TextureLog2Width(p.shading) + TextureLog2Height(p.shading)));
    glBindTexture(GL_TEXTURE_2D, TextureNameTable[p.shading.state.slot]);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texels;
  }
};

// The light L = N . -S of texel (i, j) of a W x H disc for the planet's direction d and the
// sun S. With n = -d (towards the viewer), the disc's x runs along the view's right, (-n.y,
// n.x, 0) normalised, and its y along up = n x right. Within 1e-5 of vertical the right is
// (-1, 0, 0), or (1, 0, 0) when n.y < 0; with only n.y that small, (0, 1, 0) or (0, -1, 0) by
// the sign of n.x.
struct Lighting {
  bool inside;
  double L;
};
Lighting LightAt(const float* dir, const float* S, std::uint32_t W, std::uint32_t H,
                 std::uint32_t i, std::uint32_t j) {
  const double n[3] = {-dir[0], -dir[1], -dir[2]};
  double right[3];
  if (std::fabs(n[0]) <= 1e-5) {
    right[0] = n[1] >= 0 ? -1 : 1, right[1] = 0, right[2] = 0;
  } else if (std::fabs(n[1]) <= 1e-5) {
    right[0] = 0, right[1] = n[0] >= 0 ? 1 : -1, right[2] = 0;
  } else {
    const double h = std::hypot(n[0], n[1]);
    right[0] = -n[1] / h, right[1] = n[0] / h, right[2] = 0;
  }
  // up = n x right, which is (-right) x n
  const double up[3] = {n[1] * right[2] - n[2] * right[1], n[2] * right[0] - n[0] * right[2],
                        n[0] * right[1] - n[1] * right[0]};
  const double x = -1 + (2.0 * i + 1) / W, y = -1 + (2.0 * j + 1) / H;
  if (x * x + y * y > 1) return {false, 0};
  const double z = std::sqrt(1 - x * x - y * y);
  double L = 0;
  for (int a = 0; a < 3; ++a) L -= (x * right[a] + y * up[a] + z * n[a]) * S[a];
  return {true, L};
}

// A byte from 255 q truncated, allowing the neighbour where 255 q lies within `slack` of an
// integer (the GL's and the test's rounding differ there), widened by `spread`, what q may be
// off by.
void ExpectTruncated(int got, double q, double spread, const char* what, std::uint32_t i,
                     std::uint32_t j) {
  const double x = 255 * std::clamp(q, 0.0, 1.0);
  const double slack = 0.03 + 255 * spread;
  const int lo = static_cast<int>(std::floor(x - slack)),
            hi = static_cast<int>(std::floor(x + slack));
  EXPECT_TRUE(got == lo || got == hi)
      << what << " texel " << i << " " << j << ": " << got << " for " << x;
}

TEST_F(PlanetTest, BakeLightsTheDiscAndBuildsTheShadingAlpha) {
  const float S[3] = {-0.36f, 0.48f, -0.8f};  // the sun to the planet's side
  const struct {
    const char* what;
    std::uint32_t w, h;
    float ringSize;
  } cases[] = {{"square", 4, 4, 0.3f},
               {"wide", 4, 2, 0.3f},
               {"tall", 2, 4, 0.3f},
               {"hard terminator", 4, 4, 0}};
  for (const auto& c : cases) {
    SceneTexture p;
    const auto texel = [](std::uint32_t i, std::uint32_t j) {
      return Texel{std::uint8_t(37 * i + 11 * j), std::uint8_t(200 - 9 * i), std::uint8_t(13 * j),
                   std::uint8_t((i * 29 + j * 53) % 256)};
    };
    Fill(p, c.w, c.h, texel);
    p.brightness = 1.6f, p.intensity = 0.3f, p.ringSize = c.ringSize;
    p.fadeNight = 0.2f, p.fadeDay = 0.9f;
    Direction(p, 0.3, 0.8, 0.5);
    Bake(p, S);
    const std::uint32_t W = 1u << c.w, H = 1u << c.h;
    EXPECT_EQ(TextureData(p.shading), nullptr) << c.what;  // uploaded and released
    const auto* colour = static_cast<const Texel*>(TextureData(p.colour));
    const std::vector<float> shading = Shading(p);
    int day = 0, night = 0, across = 0;
    for (std::uint32_t j = 0; j < H; ++j)
      for (std::uint32_t i = 0; i < W; ++i) {
        const Texel t = texel(i, j), got = colour[j * W + i];
        const float* s = &shading[4 * (j * W + i)];
        const Lighting l = LightAt(p.direction, S, W, H, i, j);
        EXPECT_EQ(got.a, t.a);
        EXPECT_EQ(s[0] + s[1] + s[2], 0.0f);
        if (!l.inside) {  // outside the disc: the colour kept, a transparent black shading
          EXPECT_EQ(got.r * 65536 + got.g * 256 + got.b, t.r * 65536 + t.g * 256 + t.b);
          EXPECT_EQ(s[3], 0.0f) << c.what << " " << i << " " << j;
          continue;
        }
        // The disc's axes come from the kernels, unit within kUnitLengthError: L is off by up
        // to that for each of the texel's x and y (both at most 1).
        const double dL = 2 * kUnitLengthError;
        const double a = t.a / 255.0, diffuse = (l.L + 1) / 2;
        const std::uint8_t e[3] = {t.r, t.g, t.b}, out[3] = {got.r, got.g, got.b};
        for (int k = 0; k < 3; ++k) {
          const double scale = (e[k] / 255.0 + a * 0.3) * 1.6;
          ExpectTruncated(out[k], scale * diffuse, scale * dL / 2, c.what, i, j);
        }
        // The terminator's mix M: 1 by day, 0 by night, across the ring linear (a step at its
        // middle when it has no width), anywhere between its values at L - dL and L + dL.
        const auto mix = [&](double L) {
          if (L > c.ringSize) return 1.0;
          if (L < -c.ringSize) return 0.0;
          return c.ringSize > 0 ? (L + c.ringSize) / (2 * c.ringSize) : 0.5;
        };
        if (l.L > c.ringSize) {
          ++day;
        } else if (l.L < -c.ringSize) {
          ++night;
        } else {
          ++across;
        }
        const double low = (0.2 * (1 - mix(l.L - dL)) + 0.9 * mix(l.L - dL)) * (1 - a);
        const double high = (0.2 * (1 - mix(l.L + dL)) + 0.9 * mix(l.L + dL)) * (1 - a);
        EXPECT_GE(s[3], low - 0.6 / 255) << c.what << i << j;
        EXPECT_LE(s[3], high + 0.6 / 255) << c.what << i << j;
      }
    EXPECT_GT(day * night, 0) << c.what;
    // Both textures filtered linearly without mip levels and clamped.
    for (const std::uint32_t slot : {p.colour.state.slot, p.shading.state.slot}) {
      glBindTexture(GL_TEXTURE_2D, TextureNameTable[slot]);
      GLint modes[4];
      glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &modes[0]);
      glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &modes[1]);
      glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &modes[2]);
      glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &modes[3]);
      EXPECT_EQ(modes[0] * 10 + modes[1], GL_LINEAR * 11) << c.what;
      EXPECT_NE(modes[2], GL_REPEAT) << c.what;
      EXPECT_NE(modes[3], GL_REPEAT) << c.what;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    if (c.ringSize > 0) {
      EXPECT_GT(across, 0) << c.what;
    }
  }
}

TEST_F(PlanetTest, DiscFramesOverheadAndUnderfootStayDefined) {
  // A white opaque disc lit flat: each byte is 255 (L + 1) / 2; L tells which side faces the
  // sun. Overhead the disc's x runs along -x and its y along +y; underfoot y runs along -y; a
  // normal with n.y just below 0 turns x round. On the horizon along +x its x runs along +y,
  // along -x along -y.
  const struct {
    double d[3];
    float S[3];
    int sign;  // L = sign x (x or y)
    bool alongX;
  } cases[] = {
      {{0, 0, 1}, {1, 0, 0}, 1, true},     {{0, 0, 1}, {0, 1, 0}, -1, false},
      {{0, 0, -1}, {1, 0, 0}, 1, true},    {{0, 0, -1}, {0, 1, 0}, 1, false},
      {{0, 1e-6, 1}, {1, 0, 0}, -1, true}, {{1e-6, 0, 1}, {0, 1, 0}, -1, false},
      {{1, 0, 0}, {0, 1, 0}, 1, true},     {{-1, 0, 0}, {0, 1, 0}, -1, true},
  };
  for (const auto& c : cases) {
    SceneTexture p;
    Fill(p, 3, 3, [](std::uint32_t, std::uint32_t) { return Texel{255, 255, 255, 0}; });
    Direction(p, c.d[0], c.d[1], c.d[2]);
    Bake(p, c.S);
    const auto* colour = static_cast<const Texel*>(TextureData(p.colour));
    for (std::uint32_t j = 0; j < 8; ++j)
      for (std::uint32_t i = 0; i < 8; ++i) {
        const double x = -1 + (2.0 * i + 1) / 8, y = -1 + (2.0 * j + 1) / 8;
        if (x * x + y * y > 1) continue;
        const double L = c.sign * (c.alongX ? x : y);
        ExpectTruncated(colour[j * 8 + i].r, (L + 1) / 2, 0, "frame", i, j);  // axes exact
      }
  }
}

TEST_F(PlanetTest, ThreePassesReplaceMultiplyAndRaiseTheAlpha) {
  const float G[2] = {0, 0}, U[2] = {1, 0}, V[2] = {0, 1};
  const struct {
    std::uint8_t mask;
    float shade;
    bool fog;
  } cases[] = {{0, 0, false}, {255, 0.3f, true}, {102, 0.3f, false}, {102, 0.8f, true}};
  const double bg[4] = {0.2, 0.4, 0.6, 0.5};
  for (const auto& c : cases) {
    SceneTexture p;
    Fill(p, 2, 2, [&](std::uint32_t, std::uint32_t) { return Texel{255, 128, 0, c.mask}; });
    FloatTexture2DRealloc(p.shading, 4, 2, 2);
    auto* s = static_cast<float*>(TextureData(p.shading));
    for (int k = 0; k < 64; ++k) s[k] = k % 4 == 3 ? c.shade : 0;
    p.angularSize = 0.5f;  // the quad covers pixels 16 to 47
    if (c.fog) glEnable(GL_FOG);
    glClearColor(float(bg[0]), float(bg[1]), float(bg[2]), float(bg[3]));
    glClear(GL_COLOR_BUFFER_BIT);
    GLint stacks[2];
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &stacks[0]);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &stacks[1]);
    DrawPlanet(p, G, U, V);
    const double ta = c.mask / 255.0;
    const double want[4] = {1 * (1 - ta) + bg[0] * ta, 128 / 255.0 * (1 - ta) + bg[1] * ta,
                            bg[2] * ta, std::min(1.0, bg[3] * ta + c.shade)};
    const test::Rgba in = ReadPixel(32, 20), out = ReadPixel(32, 10);
    const std::uint8_t got[4] = {in.r, in.g, in.b, in.a}, under[4] = {out.r, out.g, out.b, out.a};
    for (int k = 0; k < 4; ++k) {
      EXPECT_NEAR(got[k], 255 * want[k], 2.0) << int(c.mask) << " channel " << k;
      EXPECT_NEAR(under[k], 255 * bg[k], 1.0) << "outside the quad, channel " << k;
    }
    // Fog as found; no blending or texturing; writes and matrices as before.
    EXPECT_EQ(glIsEnabled(GL_FOG), c.fog ? GL_TRUE : GL_FALSE);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLboolean masks[5];
    glGetBooleanv(GL_COLOR_WRITEMASK, masks);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &masks[4]);
    for (GLboolean m : masks) EXPECT_TRUE(m);
    GLint after[2], mode = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &after[0]);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &after[1]);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(after[0] * 10 + after[1], stacks[0] * 10 + stacks[1]);
    EXPECT_EQ(mode, GL_MODELVIEW);
    glDisable(GL_FOG);
  }
}

TEST_F(PlanetTest, APlanetWithEveryCornerOffScreenIsNotDrawn) {
  const float U[2] = {1, 0}, V[2] = {0, 1};
  const struct {
    float G[2], size;
    int x, y;  // a pixel the quad covers
    bool drawn;
  } cases[] = {
      {{0.5f, 2}, 1.5f, 32, 60, true},                      // only corner (-1, 0.5) on screen
      {{0, 0}, 1.0f, 32, 32, true},                         // corners on the square's edge
      {{0, 0}, std::nextafter(1.0f, 2.0f), 32, 32, false},  // covering the whole screen
      {{1.5f, 1.5f}, 0.6f, 62, 62, true},                   // one corner at (0.9, 0.9)
      {{1.5f, 1.5f}, 0.4f, 63, 63, false},
      {{-3, 0}, 2.5f, 1, 32, false},
  };
  for (const auto& c : cases) {
    SceneTexture p;
    Fill(p, 1, 1, [](std::uint32_t, std::uint32_t) { return Texel{255, 255, 255, 0}; });
    FloatTexture2DRealloc(p.shading, 4, 1, 1);
    std::fill_n(static_cast<float*>(TextureData(p.shading)), 16, 0.0f);
    p.angularSize = c.size;
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    DrawPlanet(p, c.G, U, V);
    EXPECT_EQ(ReadPixel(c.x, c.y).r, c.drawn ? 255 : 0) << c.G[0] << " " << c.size;
  }
}

// A camera at the origin of 60 degrees in a viewport of 64 x `height`, rolled.
struct View {
  float direction[3];
  float roll;
  int height;
};

class PlanetViewTest : public PlanetTest {
 protected:
  void Apply(const View& view) {
    if (applied) CameraRestore(camera);
    applied = true;
    glViewport(0, 0, 64, view.height);
    CameraInit(camera, nullptr);
    CameraSetPosition(camera, 0, 0, 0);
    camera.focalAngle = 60;
    CameraSetDirection(camera, view.direction[0], view.direction[1], view.direction[2]);
    camera.roll = view.roll;
    CameraApplyRoll(camera);
    CameraApply(camera);
    height = view.height;
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  void TearDown() override {
    if (applied) CameraRestore(camera);
    glViewport(0, 0, 64, 64);
    PlanetTest::TearDown();
  }
  // The view's direction moved by `right` and `up` along its rolled axes.
  std::vector<double> Along(double right, double up) const {
    std::vector<double> d(3);
    for (int a = 0; a < 3; ++a)
      d[a] = camera.direction[a] + right * camera.rolledRight[a] + up * camera.rolledUp[a];
    return d;
  }
  // Where a direction projects, in pixels: its offsets along the rolled axes over its depth,
  // by the tangent of half the view angle and the aspect.
  std::vector<double> Project(const std::vector<double>& d) const {
    double x = 0, y = 0, z = 0;
    for (int a = 0; a < 3; ++a) {
      x += d[a] * camera.rolledRight[a], y += d[a] * camera.rolledUp[a];
      z += d[a] * camera.direction[a];
    }
    const double t = std::tan(30 * M_PI / 180), aspect = 64.0 / height;
    return {(x / z / t / aspect + 1) * 32, (y / z / t + 1) * height / 2.0};
  }
  // A planet lit from behind the camera (127 and more in its colour's channel).
  void Planet(SceneTexture& p, const std::vector<double>& d, Texel colour, float size) {
    Fill(p, 1, 1, [&](std::uint32_t, std::uint32_t) { return colour; });
    Direction(p, d[0], d[1], d[2]);
    p.angularSize = size;
  }
  // Bakes the group's members in its frame, the group direction their normalised sum.
  void Prepare(PlanetGroup& g) const {
    double sum[3] = {};
    for (std::uint32_t k = 0; k < g.count; ++k)
      for (int a = 0; a < 3; ++a) sum[a] += g.planets[k]->direction[a];
    const double n = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
    for (int a = 0; a < 3; ++a) g.direction[a] = static_cast<float>(sum[a] / n);
    float u[3], d[3], v[3];
    PlanetGroupFrame(g.direction, u, d, v);
    for (std::uint32_t k = 0; k < g.count; ++k)
      BuildPlanetTextures(*g.planets[k], camera.direction, u, d, v);
  }
  // The centre of the pixels lit in `channel` (0 red, 1 green, 2 blue) and their count.
  static std::vector<double> Centroid(int channel) {
    double x = 0, y = 0, n = 0;
    for (int py = 0; py < 64; ++py)
      for (int px = 0; px < 64; ++px) {
        const test::Rgba p = ReadPixel(px, py);
        if ((channel == 0 ? p.r : channel == 1 ? p.g : p.b) > 100)
          x += px + 0.5, y += py + 0.5, ++n;
      }
    return {n > 0 ? x / n : 0, n > 0 ? y / n : 0, n};
  }
  Camera camera;
  bool applied = false;
  int height = 64;
};

const View kViews[] = {
    {{0, 1, 0.2f}, 0, 64}, {{0.5f, 1, -0.1f}, 0.4f, 64}, {{-0.2f, 1, 0.1f}, -0.3f, 32}};

TEST_F(PlanetViewTest, GroupsStandWhereTheirDirectionsProject) {
  for (const View& view : kViews) {
    Apply(view);
    // A red and a green planet off the view's centre and a blue one behind the camera, each in
    // a group of its own, 7 pixels across.
    SceneTexture planets[3];
    PlanetGroup groups[3]{};
    const std::vector<double> dirs[3] = {Along(-0.3, 0.2), Along(0.25, -0.35), Along(0, 0)};
    const Texel colours[3] = {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}};
    for (int k = 0; k < 3; ++k) {
      Planet(planets[k], dirs[k], colours[k], 6.0f * 64 / static_cast<float>(view.height));
      if (k == 2) {
        for (float& x : planets[k].direction) x = -x;
      }
      groups[k].planets[groups[k].count++] = &planets[k];
      Prepare(groups[k]);
      EXPECT_NEAR(planets[k].angleH, 0, 1e-4);  // at the group's own direction
      EXPECT_NEAR(planets[k].angleV, 0, 1e-4);
      DrawPlanets(groups[k], camera);
    }
    for (int k = 0; k < 2; ++k) {
      const std::vector<double> at = Project(dirs[k]);
      const int px = static_cast<int>(at[0]), py = static_cast<int>(at[1]);
      const auto lit = [&](int dx, int dy) {
        const test::Rgba p = ReadPixel(px + dx, py + dy);
        return (k == 0 ? p.r : p.g) > 100;
      };
      // A disc of 3.5 pixels' radius, as wide as high.
      EXPECT_TRUE(lit(0, 0) && lit(2, 0) && lit(-2, 0) && lit(0, 2) && lit(0, -2))
          << "planet " << k << " roll " << view.roll << " height " << view.height;
      EXPECT_FALSE(lit(6, 0) || lit(-6, 0) || lit(0, 6) || lit(0, -6))
          << k << " " << view.roll << " " << view.height;
    }
    EXPECT_EQ(Centroid(2)[2], 0) << "the group behind";
  }
}

// The members of a group stand around its screen point along the rolled frame, towards where
// their own directions project, one degree of their offset taking 1 / F of the screen (about
// half the perspective's scale near the centre).
TEST_F(PlanetViewTest, MembersStandAroundTheGroupAlongTheRolledFrame) {
  for (const View& view : kViews) {
    Apply(view);
    const std::vector<double> dirs[2] = {Along(0.3, 0.12), Along(-0.3, -0.12)};
    SceneTexture planets[2];
    PlanetGroup group{};
    Planet(planets[0], dirs[0], {255, 0, 0, 0}, 3);
    Planet(planets[1], dirs[1], {0, 255, 0, 0}, 3);
    group.planets[0] = &planets[0], group.planets[1] = &planets[1], group.count = 2;
    Prepare(group);
    DrawPlanets(group, camera);
    const std::vector<double> red = Centroid(0), green = Centroid(1), target = Project(dirs[0]);
    ASSERT_GT(red[2] * green[2], 0) << view.roll;
    const double mid[2] = {(red[0] + green[0]) / 2, (red[1] + green[1]) / 2};
    const std::vector<double> g = Project(Along(0, 0));
    EXPECT_NEAR(mid[0], g[0], 1.0) << view.roll;
    EXPECT_NEAR(mid[1], g[1], 1.0) << view.roll;
    // The screen frame keeps pixels square: offsets compare in pixels.
    const double drawn[2] = {red[0] - mid[0], red[1] - mid[1]};
    const double wanted[2] = {target[0] - g[0], target[1] - g[1]};
    const double turn = std::atan2(drawn[1], drawn[0]) - std::atan2(wanted[1], wanted[0]);
    EXPECT_NEAR(std::remainder(turn, 2 * M_PI), 0, 0.08) << view.roll;
    // The member's angle from the group's direction, in degrees as the frame measures it.
    const double degrees = std::hypot(0.3, 0.12) / std::sqrt(1 + 0.09 + 0.0144) * 57.29578;
    EXPECT_NEAR(std::hypot(drawn[0], drawn[1]), degrees / 60 * view.height / 2, 1.0) << view.roll;
  }
}

// A planet of 20 degrees at 0.8 of the screen's half width: its height is widened by
// sqrt(1 + (t G.x)^2), t the tangent of half the view angle.
TEST_F(PlanetViewTest, PlanetsWidenTowardsTheScreenEdges) {
  Apply({{0, 1, 0}, 0, 64});
  const double t = std::tan(30 * M_PI / 180);
  const std::vector<double> dir = Along(0.8 * t, 0);
  SceneTexture planet;
  PlanetGroup group{};
  Planet(planet, dir, {255, 0, 0, 0}, 20);
  group.planets[group.count++] = &planet;
  Prepare(group);
  DrawPlanets(group, camera);
  const std::vector<double> at = Project(dir);
  const double gx = at[0] / 32 - 1;
  int rows = 0;
  for (int y = 0; y < 64; ++y) rows += ReadPixel(static_cast<int>(at[0]), y).r > 100;
  EXPECT_NEAR(rows, 2 * 20 * std::sqrt(1 + t * t * gx * gx) / 60 * 32, 1.0);
}

}  // namespace
}  // namespace veskor
