// The fog planes read back from GL and evaluated at points placed relative to the camera and
// the fog base: depth over far distance in s, height over the fog span in t, the same values
// for a point given in an item's frame with its rigid matrix, and a finite plane at a span of 0.
#include "render/fog_texture.h"

#include <gtest/gtest.h>

#include <cmath>

#include "gfx/fog_floor.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"
#include "support/kernel_tables.h"

namespace veskor {
namespace {

struct Planes {
  double s[4], t[4];
  double S(const float* p) const { return s[0] * p[0] + s[1] * p[1] + s[2] * p[2] + s[3]; }
  double T(const float* p) const { return t[0] * p[0] + t[1] * p[1] + t[2] * p[2] + t[3]; }
};

class FogPlanesGlTest : public test::GlTest {
 protected:
  test::ScopedKernelTable table_;
  void SetUp() override {
    GlTest::SetUp();
    savedFloor = FogFloorHeight;
    CameraSetPosition(camera, 100.0f, -40.0f, 30.0f);
    CameraSetDirection(camera, 0.6f, 0.8f, 0.0f);
    camera.direction[0] = 0.6f, camera.direction[1] = 0.8f;  // exact, whatever the kernel rounds
    camera.depth = 1000.0f;
  }
  void TearDown() override {
    FogFloorHeight = savedFloor;
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    GlTest::TearDown();
  }
  Planes Read(float zstart, float zdistance, const float* matrix, float exp = 2.5f) {
    SetPlanarTexGen(camera, exp, 1.0f, zstart, zdistance, 0.8f, matrix);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_T));
    GLint mode = 0;
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_OBJECT_LINEAR);
    Planes p{};
    glGetTexGendv(GL_S, GL_OBJECT_PLANE, p.s);
    glGetTexGendv(GL_T, GL_OBJECT_PLANE, p.t);
    return p;
  }
  float savedFloor = 0;
  Camera camera;
};

TEST_F(FogPlanesGlTest, DepthAndHeightFractions) {
  FogFloorHeight = -250.0f;  // the defaults: span 0 + 250 + 200
  const Planes p = Read(0.0f, 200.0f, nullptr);
  const float eye[3] = {100, -40, 30};
  const float ahead[3] = {100 + 300, -40 + 400, 30};         // 500 along the view
  const float aside[3] = {100 + 80, -40 - 60, 30 + 17};      // on the eye's plane
  const float base[3] = {-7, 3, -250}, top[3] = {5, 5, 200};  // fog base and base + span
  EXPECT_NEAR(p.S(eye), 0.0, 1e-6);
  EXPECT_NEAR(p.S(ahead), 0.5, 1e-6);
  EXPECT_NEAR(p.S(aside), 0.0, 1e-6);
  EXPECT_NEAR(p.T(base), 0.0, 1e-6);
  EXPECT_NEAR(p.T(top), 1.0, 1e-6);
  EXPECT_NEAR(p.T(eye), 280.0 / 450.0, 1e-6);
  // exp, intensity and zintensity leave the planes alone.
  const Planes q = Read(0.0f, 200.0f, nullptr, 0.0f);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(p.s[k], q.s[k]);
    EXPECT_EQ(p.t[k], q.t[k]);
  }
}

TEST_F(FogPlanesGlTest, ObjectFrameGivesTheWorldValues) {
  FogFloorHeight = -120.0f;
  // World to object: a rotation of 30 degrees about z, then a translation.
  const float c = std::cos(0.5235988f), s = std::sin(0.5235988f);
  const float toObject[16] = {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 250, -75, 12, 1};
  const Planes world = Read(10.0f, 300.0f, nullptr);
  const Planes object = Read(10.0f, 300.0f, toObject);
  const float points[][3] = {{0, 0, 0}, {400, 500, -90}, {-1000, 20, 430}, {100, -40, 30}};
  for (const auto& w : points) {
    const float o[3] = {c * w[0] - s * w[1] + 250, s * w[0] + c * w[1] - 75, w[2] + 12};
    EXPECT_NEAR(object.S(o), world.S(w), 1e-5) << w[0];
    EXPECT_NEAR(object.T(o), world.T(w), 1e-5) << w[0];
  }
}

TEST_F(FogPlanesGlTest, ZeroSpanKeepsAFiniteSignedScale) {
  const struct {
    float floor, zdistance;
    double scale;
  } cases[] = {
      {-250.0f, -250.0f, 1e4},  // zstart - base + zdistance = 0 exactly
      {0.0f, -0.00005f, -1e4},   // just below 0: the sign stays
      {0.0f, 0.0002f, 5e3},      // just past the floor: as given
  };
  for (const auto& c : cases) {
    FogFloorHeight = c.floor;
    const Planes p = Read(0.0f, c.zdistance, nullptr);
    for (double v : p.t) EXPECT_TRUE(std::isfinite(v));
    EXPECT_NEAR(p.t[2], c.scale, std::fabs(c.scale) * 1e-3) << c.zdistance;
  }
}

}  // namespace
}  // namespace veskor
