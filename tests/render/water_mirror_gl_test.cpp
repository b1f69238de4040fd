// The water mirrors and surfaces on the test window, with the compatibility layer on (texture
// shaders: guard band, overlay, offset path) and off (plain path): the mirrored camera against
// a projection computed here, the reflection of a quad standing above the water, the blends of
// the surface passes, the stencil left clear and the GL state left as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "environment/environment_params.h"
#include "environment/sky_passes.h"
#include "environment/sky_model.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/gl_compat/gl_compat.h"
#include "render/fog_texture.h"
#include "render/water_mirror.h"
#include "render/water_surface.h"
#include "support/gl_test_fixture.h"
#include "support/kernel_tables.h"

namespace veskor {
namespace {

constexpr int kSize = test::kGlTestWindowSize;
Portal gPortal;  // large: static storage, as the portal table

struct GlSnapshot {
  GLboolean fog, depth, mask, blend, stencil, tex[4], gen[2];
  GLint unit, projDepth, viewDepth;
  bool operator==(const GlSnapshot&) const = default;
};

GlSnapshot Snapshot() {
  GlSnapshot s{};
  s.fog = glIsEnabled(GL_FOG), s.depth = glIsEnabled(GL_DEPTH_TEST);
  s.blend = glIsEnabled(GL_BLEND), s.stencil = glIsEnabled(GL_STENCIL_TEST);
  glGetBooleanv(GL_DEPTH_WRITEMASK, &s.mask);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &s.unit);
  for (int u = 0; u < 4; ++u) {
    glActiveTexture(GL_TEXTURE0 + u);
    s.tex[u] = glIsEnabled(GL_TEXTURE_2D);
  }
  glActiveTexture(GL_TEXTURE0);
  s.gen[0] = glIsEnabled(GL_TEXTURE_GEN_S), s.gen[1] = glIsEnabled(GL_TEXTURE_GEN_T);
  glActiveTexture(static_cast<GLenum>(s.unit));
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &s.projDepth);
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.viewDepth);
  return s;
}

void SetFloatTexture(FloatTexture2D& t, float r, float g, float b, float a) {
  FloatTexture2DRealloc(t, 4, 1, 1);
  auto* p = static_cast<float*>(t.pixels.data);
  for (int i = 0; i < 4; ++i) p[4 * i] = r, p[4 * i + 1] = g, p[4 * i + 2] = b, p[4 * i + 3] = a;
}

void MakePortal(Portal& p, float x0, float y0, float x1, float y1, float z, float bump) {
  p.corner0[0] = x0, p.corner0[1] = y0, p.corner0[2] = z;
  p.corner1[0] = x1, p.corner1[1] = y1, p.corner1[2] = z;
  p.bumpScale = bump;
  p.colour[0] = 1, p.colour[1] = 0.5f, p.colour[2] = 0.25f, p.colour[3] = 0;
  p.uInset = p.vInset = 0;
  Texture2D& t = p.reflection;
  Texture2DResize(t, 4, kPortalTextureLog2Size, kPortalTextureLog2Size);
  // Nothing drawn into it yet: a block may come back from the heap as an earlier test left it.
  std::memset(t.pixels.data, 0, t.pixels.block.usedBytes);
  Texture2DBind(t, kModeKeepEnvironment, 0);
  MemBlockRelease(t.pixels.block);
  t.pixels.data = nullptr;
  SetFloatTexture(p.readBack[0], 0, 0, 0, 0);
  SetFloatTexture(p.readBack[1], 0, 0, 0, 0.75f);
}

// The look-at projection of a view with roll 0 (right axis horizontal), in NDC.
void Project(const float* eye, const float* dir, double fovy, double aspect, const float* p,
             double* ndc) {
  double d[3] = {dir[0], dir[1], dir[2]};
  const double n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  for (double& v : d) v /= n;
  const double h = std::hypot(d[0], d[1]);
  const double r[3] = {d[1] / h, -d[0] / h, 0};
  const double u[3] = {r[1] * d[2] - r[2] * d[1], r[2] * d[0] - r[0] * d[2],
                       r[0] * d[1] - r[1] * d[0]};
  const double q[3] = {p[0] - eye[0], p[1] - eye[1], p[2] - eye[2]};
  const double depth = q[0] * d[0] + q[1] * d[1] + q[2] * d[2];
  const double t = std::tan(fovy * M_PI / 360);
  ndc[0] = (q[0] * r[0] + q[1] * r[1] + q[2] * r[2]) / (depth * t * aspect);
  ndc[1] = (q[0] * u[0] + q[1] * u[1] + q[2] * u[2]) / (depth * t);
}

std::int32_t Round(double v) {
  const auto w = static_cast<std::int32_t>(v);
  return v - w > 0.5 ? w + 1 : w;
}

class WaterGlTest : public test::GlTest {
 protected:
  test::ScopedKernelTable table_;
  void SetUp() override {
    GlTest::SetUp();
    LoadWglExtensions();
    LoadGlExtensions();
    if (TextureNameTableCount == 0) InitTextureNames();
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    savedFog = FogParams;
    savedFloor = FogFloorHeight;
    PortalDetail = 1;
    CameraInit(view, nullptr);
    CameraSetPosition(view, 0, -40, 15);
    CameraSetDirection(view, 0, 1, -0.3f);
    view.focalAngle = 60;
    MakePortal(gPortal, -10, -10, 10, 10, 0, 0.5f);
  }
  void TearDown() override {
    glViewport(0, 0, kSize, kSize);
    FogParams = savedFog;
    FogFloorHeight = savedFloor;
    GlTest::TearDown();
  }
  // The main view's planes, as the frame applies it before the mirrors.
  void PlaceView() {
    CameraApply(view);
    CameraRestore(view);
  }
  FogParameters savedFog{};
  float savedFloor = 0;
  Camera view;
};

TEST_F(WaterGlTest, MirroredCameraAgainstTheRules) {
  const bool shaders = GlCompatEnabled();
  EXPECT_EQ(HasExtension(kExtTextureShader) != 0, shaders);
  struct Case {
    int w, h;
    float detail, depth;
  } cases[] = {{64, 64, 0.5f, 1000}, {1000, 800, 1, 30000}, {1600, 1200, 1, 1000},
               {1024, 1024, 1, 1000}, {1100, 1025, 1, 1000}, {2048, 512, 0.25f, 1000}};
  // The world's fog, which the mirrored view overrides and the copy gives back.
  FogParams = {3.0f, 0.7f, 2.0f, 5.0f, 50.0f, 0.6f};
  FogFloorHeight = -3.0f;
  const FogParameters world = FogParams;
  auto fog = [] {
    const FogParameters& f = FogParams;
    return std::vector<float>{f.exp,          f.intensity, f.zstart,
                              FogFloorHeight, f.zdistance, f.zintensity};
  };
  const std::vector<float> worldFog = {3.0f, 0.7f, 5.0f, -3.0f, 50.0f, 0.6f};
  for (const Case& c : cases) {
    glViewport(0, 0, c.w, c.h);
    view.depth = 1000;
    PlaceView();
    view.depth = c.depth;
    PortalDetail = c.detail;
    view.roll = 0;
    ASSERT_EQ(PortalBeginView(gPortal, &view), 1u) << c.w << " " << gPortal.polygonCount << " " << gPortal.viewScale;
    const Camera& M = gPortal.mirrored;
    EXPECT_FLOAT_EQ(M.position[2], -15.0f);
    // The mirrored direction, normalised by the kernels, within their length error.
    EXPECT_NEAR(M.direction[2], 0.3 / std::sqrt(1.09), kUnitLengthError * 0.3 / std::sqrt(1.09));
    EXPECT_EQ(M.faceVariant, 1u);
    const double far = std::sqrt(40.0 * 40 + 15 * 15) + std::sqrt(800.0) + 0.5 * c.depth;
    EXPECT_NEAR(M.depth, std::min(far, 12000.0), 1e-3);
    double s = c.detail;
    if (static_cast<int>(c.w * s) > 1024 || static_cast<int>(c.h * s) > 1024)
      s = std::min(1024.0 / c.w, 1024.0 / c.h);
    EXPECT_NEAR(gPortal.viewScale, s, 1e-6);
    const int W = Round(c.w * s), H = Round(c.h * s);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], W);
    EXPECT_EQ(vp[3], H);
    const int g = shaders ? 20 : 0;
    EXPECT_EQ(M.guardPixels, g);
    const double half = c.h / 2.0;
    const double fovy = g == 0 ? 60 : 2 * std::atan(std::tan(M_PI / 6) * half / (half - g)) * 180 / M_PI;
    EXPECT_NEAR(M.fovy, fovy, 1e-3);
    double lo[2] = {1, 1}, hi[2] = {-1, -1};
    const float corners[4][3] = {{-10, -10, 0}, {-10, 10, 0}, {10, 10, 0}, {10, -10, 0}};
    for (const auto& p : corners) {
      double ndc[2];
      Project(M.position, M.direction, fovy, static_cast<double>(c.w) / c.h, p, ndc);
      for (int k = 0; k < 2; ++k) lo[k] = std::min(lo[k], ndc[k]), hi[k] = std::max(hi[k], ndc[k]);
    }
    const std::int32_t* r = gPortal.pixelRect;
    EXPECT_NEAR(r[0], Round((std::max(lo[0], -1.0) + 1) / 2 * (W - 1)), 1);
    EXPECT_NEAR(r[1], Round((std::max(lo[1], -1.0) + 1) / 2 * (H - 1)), 1);
    EXPECT_NEAR(r[2], Round((std::min(hi[0], 1.0) + 1) / 2 * (W - 1)), 1);
    EXPECT_NEAR(r[3], std::min(Round((std::min(hi[1], 1.0) + 1) / 2 * (H - 1)) + 1, H - 1), 1);
    // exp 0.5, intensity 1, zstart the altitude (0), base 0.1 below it, zdistance 0.0001,
    // zintensity 0; the distance is not the mirror's.
    EXPECT_EQ(fog(), (std::vector<float>{0.5f, 1.0f, 0.0f, -0.1f, 0.0001f, 0.0f}));
    EXPECT_EQ(FogParams.distance, world.distance);
    PortalCopyTexture(gPortal);
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], c.w);
    EXPECT_EQ(vp[3], c.h);
    EXPECT_EQ(fog(), worldFog);
    EXPECT_EQ(gPortal.mirrored.wholeWindow, 1u);
  }
  // Roll mirrored; far held at 1 for a rectangle of no size under the eye.
  glViewport(0, 0, kSize, kSize);
  PlaceView();
  view.roll = 0.25f;
  view.depth = 0;
  MakePortal(gPortal, 0, -40, 0, -40, 15, 0.5f);
  PortalBeginView(gPortal, &view);
  EXPECT_NEAR(gPortal.mirrored.roll, -0.25f, 1e-6);
  EXPECT_FLOAT_EQ(gPortal.mirrored.depth, 1.0f);
  EXPECT_EQ(fog(), (std::vector<float>{0.5f, 1.0f, 15.0f, 14.9f, 0.0001f, 0.0f}));  // altitude 15
  PortalCopyTexture(gPortal);
  EXPECT_EQ(fog(), worldFog);
}

TEST_F(WaterGlTest, RectangleOutsideTheViewIsNotVisible) {
  const GlSnapshot before = Snapshot();
  const float places[][4] = {{-10, -80, 10, -60}, {200, 0, 220, 20}, {-10, -10, 10, 10}};
  for (const auto& pl : places) {
    MakePortal(gPortal, pl[0], pl[1], pl[2], pl[3], 0, 0.5f);
    PlaceView();
    const std::uint32_t visible = PortalBeginView(gPortal, &view);
    EXPECT_EQ(visible, pl[0] == -10 && pl[1] == -10 ? 1u : 0u) << pl[0];
    EXPECT_EQ(gPortal.visible, visible);
    PortalCopyTexture(gPortal);
    EXPECT_EQ(Snapshot(), before);
  }
}

// The red quad standing on the water at y = 5 seen in the mirror: drawn from the mirrored
// camera, copied, and read back where the projection computed here puts it.
TEST_F(WaterGlTest, ReflectionHoldsTheQuadAtItsMirroredPlace) {
  PortalDetail = 0.5f;
  glClearColor(0, 0, 1, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  PlaceView();
  const GlSnapshot before = Snapshot();
  ASSERT_EQ(PortalBeginView(gPortal, &view), 1u);
  glColor3f(1, 0, 0);
  glBegin(GL_QUADS);
  glVertex3f(-3, 5, 1), glVertex3f(3, 5, 1), glVertex3f(3, 5, 6), glVertex3f(-3, 5, 6);
  glEnd();
  PortalOverlay(gPortal);  // read-back alpha 0: leaves the image alone
  PortalCopyTexture(gPortal);
  EXPECT_EQ(Snapshot(), before);
  std::vector<std::uint8_t> tex(1024 * 1024 * 4);
  glBindTexture(GL_TEXTURE_2D, TextureNameTable[gPortal.reflection.state.slot]);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, tex.data());
  const Camera& M = gPortal.mirrored;
  const float inside[3] = {0, 5, 3.5f}, beside[3] = {8, 5, 0.5f};
  const int side = kSize / 2;
  for (const float* p : {inside, beside}) {
    double ndc[2];
    Project(M.position, M.direction, M.fovy, 1.0, p, ndc);
    const int x = static_cast<int>((ndc[0] + 1) / 2 * side), y = static_cast<int>((ndc[1] + 1) / 2 * side);
    ASSERT_TRUE(x >= 0 && x < side && y >= 0 && y < side) << x << " " << y;
    const std::uint8_t* t = &tex[4 * (y * 1024 + x)];
    if (p == inside) {
      EXPECT_EQ(t[0], 255) << x << " " << y;
      EXPECT_EQ(t[2], 0);
    } else {
      EXPECT_EQ(t[0], 0);
      EXPECT_EQ(t[2], 255);
    }
  }
  // Outside the mirrored view (32 x 32) nothing was copied.
  EXPECT_EQ(tex[4 * (40 * 1024 + 40)], 0);
}

TEST_F(WaterGlTest, CopyAtTheViewportEdgeWithAGuardBand) {
  glViewport(0, 0, 1024, 1024);
  glClearColor(0, 1, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  gPortal.visible = 1;
  gPortal.mirrored.guardPixels = 20;
  gPortal.mirrored.wholeWindow = 1;
  const std::int32_t rect[4] = {30, 40, 1023, 1023};
  std::copy(rect, rect + 4, gPortal.pixelRect);
  glMatrixMode(GL_PROJECTION), glPushMatrix(), glMatrixMode(GL_MODELVIEW), glPushMatrix();
  PortalCopyTexture(gPortal);
  EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
  std::vector<std::uint8_t> tex(1024 * 1024 * 4);
  glBindTexture(GL_TEXTURE_2D, TextureNameTable[gPortal.reflection.state.slot]);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, tex.data());
  EXPECT_EQ(tex[4 * (30 * 1024 + 20) + 1], 255);  // inside the window, in the guard band
  EXPECT_EQ(tex[4 * (10 * 1024 + 10) + 1], 0);     // below the band: not copied
}

class WaterSurfaceGlTest : public WaterGlTest {
 protected:
  // A frame as the scene draw leaves it: the mirror drawn with clear colour `mirror`, the
  // main view cleared to kFrame with alpha 0, and an occluder over the left quarter.
  void Frame(const float* mirror) {
    PlaceView();
    ASSERT_EQ(PortalBeginView(gPortal, &view), 1u);
    glClearColor(mirror[0], mirror[1], mirror[2], 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0.2f, 0.4f, 0.6f, 0);
    PortalCopyTexture(gPortal);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    CameraApply(view);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);  // a wall 10 units before the eye, over the left quarter of the view
    glVertex3f(-20, -30, -20), glVertex3f(-3.5f, -30, -20), glVertex3f(-3.5f, -30, 20),
        glVertex3f(-20, -30, 20);
    glEnd();
  }
  std::vector<std::uint8_t> Pixels() {
    std::vector<std::uint8_t> rgba(kSize * kSize * 4);
    glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
  }
  // The water's counts all back to 0; the pixels its fog alpha leaves for the sky dome
  // marked, at (x, y) (water) and not behind the wall, and the mark announced.
  void ExpectStencilLeftForTheDome(int x, int y) {
    std::vector<std::uint8_t> st(kSize * kSize);
    glReadPixels(0, 0, kSize, kSize, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, st.data());
    EXPECT_TRUE(std::all_of(st.begin(), st.end(), [](std::uint8_t v) {
      return (v & ~kSkyThroughStencilBit) == 0;
    }));
    EXPECT_EQ(st[y * kSize + x], kSkyThroughStencilBit);
    EXPECT_EQ(st[y * kSize + 4], 0);
    EXPECT_EQ(SkyThroughMarked, 1u);
    SkyThroughMarked = 0;
  }
};

TEST_F(WaterSurfaceGlTest, BlendOverTheMarkedWater) {
  const bool shaders = GlCompatEnabled();
  const float mirror[3] = {0.8f, 0.6f, 0.4f};
  const int x = kSize / 2, y = kSize * 3 / 8;  // water, not behind the wall
  for (const float fresnel : {0.0f, 1.0f}) {
    for (const bool fogOn : {false, true}) {
      WaterParams.fresnel = fresnel;
      Frame(mirror);
      if (fogOn) glEnable(GL_FOG);
      const GlSnapshot before = Snapshot();
      DrawWaterSurface(gPortal);
      EXPECT_EQ(Snapshot(), before);
      EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
      ExpectStencilLeftForTheDome(x, y);
      glDisable(GL_FOG);
      const std::vector<std::uint8_t> px = Pixels();
      CameraRestore(view);
      // The weight at this row: the corner factors interpolated in screen y.
      const float* r = gPortal.mirrored.guardSpan;
      const double ndcY = (y + 0.5) / kSize * 2 - 1;
      auto F = [&](double Y) {
        double d[3];
        for (int i = 0; i < 3; ++i) d[i] = view.direction[i] + Y * view.rolledUp[i];
        return 1 + fresnel * d[2] / std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
      };
      (void)r;
      const double f = shaders ? F(ndcY) : 1.0;
      const double frame[3] = {0.2, 0.4, 0.6};
      const double colour[3] = {1, 0.5, 0.25};
      const std::uint8_t* p = &px[4 * (y * kSize + x)];
      for (int c = 0; c < 3; ++c) {
        const double want = std::min(1.0, mirror[c] * colour[c] * f + frame[c] * 0.25);
        EXPECT_NEAR(p[c], 255 * want, shaders ? 8 : 3) << "fresnel " << fresnel << " c " << c;
      }
      // Behind the wall: untouched.
      const std::uint8_t* w = &px[4 * (y * kSize + 4)];
      EXPECT_EQ(w[0], 255);
      EXPECT_EQ(w[2], 255);
    }
  }
  WaterParams.fresnel = 1;
}

TEST_F(WaterSurfaceGlTest, InvisibleDrawsNothingAndSimpleGivesTheLitColour) {
  const float mirror[3] = {0.8f, 0.6f, 0.4f};
  Frame(mirror);
  const std::vector<std::uint8_t> start = Pixels();
  gPortal.visible = 0;
  DrawWaterSurface(gPortal);
  DrawWaterSurfaceSimple(gPortal);
  EXPECT_EQ(Pixels(), start);
  EXPECT_EQ(WaterPassBuilt, GlCompatEnabled() ? 1u : 0u);
  gPortal.visible = 1;
  SunLightColour[0] = 1, SunLightColour[1] = 0.8f, SunLightColour[2] = 0.6f;
  SkyAmbientColour[0] = 0.2f, SkyAmbientColour[1] = 0.4f, SkyAmbientColour[2] = 1;
  SunLightScale = 2, SkyAmbientScale = 0.5f;
  const GlSnapshot before = Snapshot();
  DrawWaterSurfaceSimple(gPortal);
  EXPECT_EQ(Snapshot(), before);
  ExpectStencilLeftForTheDome(kSize / 2, kSize * 3 / 8);
  const std::vector<std::uint8_t> px = Pixels();
  CameraRestore(view);
  const double colour[3] = {1, 0.5, 0.25}, frame[3] = {0.2, 0.4, 0.6};
  const double sun[3] = {1, 0.8, 0.6}, sky[3] = {0.2, 0.4, 1};
  const std::uint8_t* p = &px[4 * ((kSize * 3 / 8) * kSize + kSize / 2)];
  for (int c = 0; c < 3; ++c)
    EXPECT_NEAR(p[c], 255 * (colour[c] * (0.1 * 2 * sun[c] + 0.5 * sky[c]) + 0.25 * frame[c]), 2)
        << c;
  // The dome's marks that an earlier water left, here over the whole view, are none of this
  // water's: the same pixels, the wall's too, come out the same.
  for (const bool full : {false, true}) {
    Frame(mirror);
    const std::vector<std::uint8_t> unmarked = Pixels();
    (full ? DrawWaterSurface : DrawWaterSurfaceSimple)(gPortal);
    const std::vector<std::uint8_t> once = Pixels();
    CameraRestore(view);
    Frame(mirror);
    glClearStencil(kSkyThroughStencilBit);
    glClear(GL_STENCIL_BUFFER_BIT);
    glClearStencil(0);
    EXPECT_EQ(Pixels(), unmarked);
    (full ? DrawWaterSurface : DrawWaterSurfaceSimple)(gPortal);
    EXPECT_EQ(Pixels(), once) << full;
    CameraRestore(view);
  }
  SkyThroughMarked = 0;
  SunLightScale = 0.8f, SkyAmbientScale = 0.2f;
}

TEST_F(WaterGlTest, OverlayDrawsOnlyWithTextureShaders) {
  SetFloatTexture(gPortal.readBack[0], 0.1f, 0.9f, 0.1f, 1);
  SetFloatTexture(gPortal.readBack[1], 0.5f, 0.5f, 0.5f, 0);
  glClearColor(0, 0, 1, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  PlaceView();
  ASSERT_EQ(PortalBeginView(gPortal, &view), 1u);
  const GlSnapshot before = Snapshot();
  PortalOverlay(gPortal);
  EXPECT_EQ(Snapshot(), before);
  const std::int32_t* r = gPortal.pixelRect;
  const test::Rgba p = test::ReadPixel((r[0] + r[2]) / 2, (r[1] + r[3]) / 2);
  PortalCopyTexture(gPortal);
  if (GlCompatEnabled()) {
    EXPECT_GT(p.g, 40);  // the first read-back colour over the blue
    EXPECT_LT(p.b, 250);
  } else {
    EXPECT_EQ(p.g, 0);
    EXPECT_EQ(p.b, 255);
  }
}

// On the offset path the reflection (stripes across u) is displaced by the wave texture: the
// water's image changes with WaterPhase and comes back after 25 units.
TEST_F(WaterSurfaceGlTest, DisplacementMovesWithThePhaseAndRepeats) {
  const float mirror[3] = {0.8f, 0.6f, 0.4f};
  gPortal.bumpScale = 4;
  auto image = [&](float phase) {
    Frame(mirror);
    // Stripes of 4 texels across the reflection.
    std::vector<std::uint8_t> stripes(1024 * 64 * 4);
    for (int i = 0; i < 1024 * 64; ++i)
      for (int c = 0; c < 4; ++c) stripes[4 * i + c] = (i % 1024) / 4 % 2 ? 255 : 0;
    glBindTexture(GL_TEXTURE_2D, TextureNameTable[gPortal.reflection.state.slot]);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1024, 64, GL_RGBA, GL_UNSIGNED_BYTE, stripes.data());
    WaterPhase[0] = phase, WaterPhase[1] = -phase;
    DrawWaterSurface(gPortal);
    std::vector<std::uint8_t> px = Pixels();
    CameraRestore(view);
    return px;
  };
  const std::vector<std::uint8_t> a = image(0), b = image(10), c = image(25);
  WaterPhase[0] = WaterPhase[1] = 0;
  gPortal.bumpScale = 0.5f;
  if (GlCompatEnabled()) {
    EXPECT_NE(a, b);
    int differ = 0;
    for (std::size_t i = 0; i < a.size(); ++i) differ += std::abs(a[i] - c[i]) > 24;
    EXPECT_LT(differ, 40);
  } else {
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
  }
}

// The fog amount over the water comes from the fog texture at the depth of each water pixel,
// whatever coordinates the reflection pass used on unit 0 (wave coordinates with w != 1 on
// the offset path): a ramp of alpha across s checked at points of the water.
TEST_F(WaterSurfaceGlTest, FogAlphaFollowsTheDepthOnBothPaths) {
  const float mirror[3] = {0.8f, 0.6f, 0.4f};
  FloatTexture2DRealloc(FogTexture, 4, 8, 0);
  auto* texels = static_cast<float*>(FogTexture.pixels.data);
  for (int i = 0; i < 256; ++i)
    for (int c = 0; c < 4; ++c) texels[4 * i + c] = c == 3 ? static_cast<float>(i) / 255 : 0;
  view.depth = 100;
  const float points[][3] = {{0, 0, 0}, {-6, -8, 0}, {5, 8, 0}};
  for (const bool simple : {false, true}) {
    Frame(mirror);
    if (simple) DrawWaterSurfaceSimple(gPortal);
    else DrawWaterSurface(gPortal);
    for (const auto& p : points) {
      double ndc[2];
      Project(view.position, view.direction, view.fovy, 1, p, ndc);
      const int x = static_cast<int>((ndc[0] + 1) / 2 * kSize);
      const int y = static_cast<int>((ndc[1] + 1) / 2 * kSize);
      double d[3] = {view.direction[0], view.direction[1], view.direction[2]};
      const double n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
      double depth = 0;
      for (int i = 0; i < 3; ++i) depth += (p[i] - view.position[i]) * d[i] / n;
      const double sCoord = depth / 100;
      EXPECT_NEAR(test::ReadPixel(x, y).a, 255 * (sCoord * 256 - 0.5) / 255, 3)
          << "simple " << simple << " at " << p[0] << ", " << p[1];
    }
    CameraRestore(view);
  }
  view.depth = 1000;
}

}  // namespace
}  // namespace veskor
