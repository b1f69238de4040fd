// The render path end to end on a world written in the language (data/render_world.wld):
// compiled, set up, built and prepared as the render session runs them, then drawn as the
// main plane's frame draws it, reading the back buffer before any swap. The suite runs with
// the compatibility layer on and off; the preparation runs with multisampling on (off-screen
// buffer) and off (back buffer).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "compile_driver.h"
#include "environment/environment_params.h"
#include "environment/lens_flare.h"
#include "environment/sky_passes.h"
#include "foundation/search_dirs.h"
#include "geometry/item_tables.h"
#include "geometry/path_set.h"
#include "geometry/portal.h"
#include "geometry/scene_build.h"
#include "geometry/scene_build_error.h"
#include "geometry/skin_slot.h"
#include "gfx/texture_names.h"
#include "language/parse_store.h"
#include "language/world.h"
#include "mapengine/fx_frame.h"
#include "platform/random.h"
#include "platform/gl.h"
#include "render/camera_motion.h"
#include "render/environment_capture.h"
#include "render/object_draw.h"
#include "render/render_prepare.h"
#include "render/render_session.h"
#include "render/renderer_globals.h"
#include "render/scene_draw.h"
#include "render/shader_stages.h"
#include "render/water_mirror.h"
#include "render_fixture.h"
#include "support/png_test_images.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

constexpr int kSide = test::kGlTestWindowSize;

struct Frame {
  std::vector<std::uint8_t> rgb, alpha, stencil;
  std::vector<float> depth;
  const std::uint8_t* At(int x, int y) const { return &rgb[3 * (y * kSide + x)]; }
  float Depth(int x, int y) const { return depth[y * kSide + x]; }
};

// The bytes and depths in which two frames differ.
std::size_t Differences(const Frame& a, const Frame& b) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) n += a.rgb[i] != b.rgb[i];
  for (std::size_t i = 0; i < a.depth.size(); ++i)
    n += (a.alpha[i] != b.alpha[i]) + (a.stencil[i] != b.stencil[i]) + (a.depth[i] != b.depth[i]);
  return n;
}

// What the last view's sky dome found (the main view's: its sky comes last in a frame); with
// gDomeEverywhere every dome of the frame shades every pixel, as the dome did before it left
// alone those whose alpha its blend keeps.
bool gDomeEverywhere = false;
std::uint32_t gDomeOpaque = 0, gDomeMarked = 0;
void DomeHook(ScenePass pass, std::uint32_t index, std::uint32_t) {
  if (pass != ScenePass::kSkyLayer || index != 0) return;
  gDomeOpaque = SkyDrawnOpaque;
  gDomeMarked = SkyThroughMarked;
  if (gDomeEverywhere) SkyDrawnOpaque = 0;
}

// The red box as lit: red well above the other two (they stay near 0).
bool Red(const std::uint8_t* p) { return p[0] > 40 && p[0] > 2 * p[1] && p[0] > 2 * p[2]; }
// The water at the box's mirror image: the reflection adds its red over the water's own
// colour (a neutral grey-blue, red below green and blue where nothing red is mirrored).
bool Reddish(const std::uint8_t* p) { return p[0] > p[1] + 12 && p[0] > p[2] + 12; }

// Reddish pixels in the rectangle [x0, x1] x [y0, y1].
int ReddishCount(const Frame& f, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) n += Reddish(f.At(x, y));
  return n;
}

// Pixel row and column of a world point seen by the camera (vertical field of view
// focalAngle, square view of kSide pixels), from the camera's own position and direction.
void Project(const Camera& c, const float* p, float& px, float& py) {
  const float* d = c.direction;
  float right[3] = {d[1], -d[0], 0};
  const float rl = std::hypot(right[0], right[1]);
  right[0] /= rl, right[1] /= rl;
  const float up[3] = {right[1] * d[2] - right[2] * d[1], right[2] * d[0] - right[0] * d[2],
                       right[0] * d[1] - right[1] * d[0]};
  float v[3];
  for (int a = 0; a < 3; ++a) v[a] = p[a] - c.position[a];
  const float z = v[0] * d[0] + v[1] * d[1] + v[2] * d[2];
  const float t = std::tan(c.focalAngle * 3.14159265f / 360.0f);
  px = kSide * 0.5f * (1 + (v[0] * right[0] + v[1] * right[1]) / (z * t));
  py = kSide * 0.5f * (1 + (v[0] * up[0] + v[1] * up[1] + v[2] * up[2]) / (z * t));
}

class RenderWorldTest : public test::RenderSessionTest {
 protected:
  void SetUp() override {
    RenderSessionTest::SetUp();
    // The planet's images and the flare and light-ray images, found through the directories.
    auto grey = [](std::uint8_t v) {
      return test::EncodePng(8, 8, 1, [v](std::uint32_t, std::uint32_t, std::uint32_t) { return v; });
    };
    dir.Write("render_planet.png", test::EncodePng(8, 8, 3, [](std::uint32_t, std::uint32_t,
                                                                std::uint32_t c) {
      return std::uint8_t(c == 0 ? 230 : 200);
    }));
    dir.Write("render_planet_mask.png", grey(255));
    for (const char* name : kLensFlareImageNames) dir.Write(name, grey(90));
    dir.Write(kLightRayImageName, grey(60));
    dir.Write(kContourImageName, grey(128));
    ASSERT_TRUE(SetSearchDirs(dir.path().c_str(), dir.path().c_str(), dir.path().c_str(),
                              dir.path().c_str(), dir.path().c_str()));
  }
  void TearDown() override {
    SetSearchDirs("", "", "", "", "");
    MultiSampleMode = 0;
    RenderSessionTest::TearDown();
  }

  // A copy of the test world with what matches each pattern replaced (by default left out).
  std::string WorldWithout(const std::string& pattern) { return WorldWith({{pattern, ""}}); }
  std::string WorldWith(const std::vector<std::pair<std::string, std::string>>& edits) {
    std::string text =
        test::ReadFileText(std::string(VESKOR_SOURCE_DIR) + "tests/render/data/render_world.wld");
    for (const auto& [pattern, by] : edits) text = std::regex_replace(text, std::regex(pattern), by);
    return dir.Write("render_world.wld", text);
  }

  // The render session from the compile to the drawing state; RenderPrepare's result.
  std::uint32_t Session(const std::string& world) {
    for (std::uint32_t i = 0; i < gItemCount; ++i) PathSetFree(gItemPathSets.sets[i]);
    const test::CompileOutcome outcome = test::RunCompileSession(world);
    EXPECT_EQ(outcome.result, 1) << outcome.status;
    if (outcome.result != 1) return 0;
    World& w = gWorld;
    WorldSetExtent(w, -800, -800, -400, 800, 800, 400, 0.5f, 0.5f, 0.5f, 0.5f);
    RenderSessionInit(&w.lod.lists[2], 0.002f, &w.lod.lists[3], 0.002f, &w.lod.lists[0], 0.002f,
                      &w.lod.lists[1], 0.002f, &gParseStore, &w.currentCamera, 0.5f, 0.5f,
                      &Record, 0, 6, 0, 10);
    RecomputeEnvironment();
    LoadLensFlare(kLensFlareImageNames[0], kLensFlareImageNames[1], kLensFlareImageNames[2],
                  kLensFlareTable, kLensFlareTableCount);
    LoadLightRays(kLightRayImageName);
    // The scene build reports through the same callback: a stop index counts the
    // preparation's reports only, unless buildStop asks the build's first report for a stop.
    const int stop = stopAt;
    stopAt = buildStop ? 0 : -1;
    reports.clear();
    const std::uint32_t built = SceneBuild(w);
    stopAt = stop;
    if (buildStop) return built;
    EXPECT_EQ(built, 1u) << gSceneBuildError.message;
    // The language writes no item flags: the box at x 60 asks for an environment cube here.
    reflector = -1;
    for (std::uint32_t i = 0; i < gItemCount; ++i) {
      SceneObject* d = gItemTargets[i];
      if (d != nullptr && d->grid.box[0] > 50 && d->grid.box[1] < 70) {
        d->flags |= 4;
        reflector = static_cast<int>(i);
      }
    }
    reports.clear();
    const std::uint32_t result = RenderPrepare(&w.currentCamera);
    if (result == 1) {
      SetWholeWindowViewport();
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
      glEnable(GL_DEPTH_TEST);
      glDepthFunc(GL_LEQUAL);
      glDepthMask(GL_TRUE);
      glEnable(GL_CULL_FACE);
      glCullFace(GL_FRONT);
      glFrontFace(GL_CCW);
    }
    return result;
  }

  // One frame of the main plane: its first step, the camera step, the 3-D viewport, the
  // camera, the scene (with `flags`), the pops; the back buffer read before any swap. With
  // `domeEverywhere` the sky dome shades every pixel.
  Frame DrawFrame(bool domeEverywhere = false, std::uint32_t flags = 0) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glFrontFace(GL_CCW);
    CameraStepWrapper(gWorld);
    SetLoadingViewport();
    Camera& c = gWorld.currentCamera;
    CameraApply(c);
    std::uint32_t polygons = 0;
    gDomeEverywhere = domeEverywhere;
    gDomeOpaque = gDomeMarked = 0;
    SceneDrawPassHook = &DomeHook;
    SceneDraw(&c, flags, &polygons);
    SceneDrawPassHook = nullptr;
    CameraRestore(c);
    Frame f;
    f.rgb.resize(3 * kSide * kSide);
    f.alpha.resize(kSide * kSide);
    f.stencil.resize(kSide * kSide);
    f.depth.resize(kSide * kSide);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kSide, kSide, GL_RGB, GL_UNSIGNED_BYTE, f.rgb.data());
    glReadPixels(0, 0, kSide, kSide, GL_ALPHA, GL_UNSIGNED_BYTE, f.alpha.data());
    glReadPixels(0, 0, kSide, kSide, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, f.stencil.data());
    glReadPixels(0, 0, kSide, kSide, GL_DEPTH_COMPONENT, GL_FLOAT, f.depth.data());
    return f;
  }

  test::TempDir dir{"veskor_render_world"};
  int reflector = -1;
  bool buildStop = false;
};

const char* const kLabels[] = {
    "Scene / Outline View",    "Environment / Moons",      "Environment / Fog",
    "Environment / Sky",       "Environment / Clouds High", "Environment / Clouds Low",
    "Shaders / Skins Generate", "Shaders / Skins Connect",  "Shaders / Render",
    "Shaders / Water",         "Shaders / Environment"};

std::vector<std::string> Labels(const std::vector<test::Report>& reports) {
  std::vector<std::string> labels;
  for (const test::Report& r : reports)
    if (labels.empty() || labels.back() != r.label) labels.push_back(r.label);
  return labels;
}

TEST_F(RenderWorldTest, PreparesAndDrawsSkyTerrainObjectsAndMirror) {
  const std::string world = std::string(VESKOR_SOURCE_DIR) + "tests/render/data/render_world.wld";
  for (const int multisample : {0, 1}) {
    SCOPED_TRACE(multisample);
    MultiSampleMode = static_cast<std::uint32_t>(multisample);
    ASSERT_EQ(Session(world), 1u);
    std::vector<std::string> expected;
    for (const char* l : kLabels)
      if (textureShaders || std::string(l) != "Environment / Clouds Low") expected.push_back(l);
    EXPECT_EQ(Labels(reports), expected);
    float last = 0;
    for (const test::Report& r : reports) {
      EXPECT_GE(r.stage, 0.0f) << r.label;
      EXPECT_LE(r.stage, 1.0f) << r.label;
      EXPECT_GE(r.overall, last) << r.label;
      EXPECT_LE(r.overall, 1.0f) << r.label;
      last = r.overall;
    }
    EXPECT_EQ(FxFailed, 0u);
    ASSERT_GE(reflector, 0);
    ASSERT_EQ(gWorld.cameraCount, 2u);
    // The reflector (item flag 4) keeps the draw mode it was made with (3); every other item
    // leaves "Shaders / Render" with the textured passes (0).
    for (std::uint32_t i = 0; i < gItemCount; ++i)
      EXPECT_EQ(gItemTargets[i]->drawMode, int(i) == reflector ? 3u : 0u) << i;

    const Frame f = DrawFrame();
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
    // The dome shades only the pixels at the far plane and the water's, whose fog lets the
    // sky through; the frame is, bit for bit, the one it draws shading every pixel. So is the
    // frame of a view with time frozen (the environment faces'), with the simpler water pass.
    EXPECT_EQ(gDomeOpaque, 1u);
    EXPECT_EQ(gDomeMarked, 1u);
    EXPECT_EQ(SkyDrawnOpaque + SkyThroughMarked, 0u);  // for the other views and modes
    EXPECT_EQ(Differences(DrawFrame(true), f), 0u);
    const Frame frozen = DrawFrame(false, kSceneTimeFrozen);
    EXPECT_EQ(gDomeOpaque + gDomeMarked, 2u);
    EXPECT_EQ(Differences(DrawFrame(true, kSceneTimeFrozen), frozen), 0u);
    const Camera& c = gWorld.currentCamera;
    const float horizon[3] = {0, 4000, 30};
    float hx, hy;
    Project(c, horizon, hx, hy);
    // Sky above the horizon: depth 1, not the clear colour, blue above red.
    for (int y = int(hy) + 6; y < kSide; y += 3)
      for (int x = 2; x < kSide; x += 12) {
        EXPECT_EQ(f.Depth(x, y), 1.0f) << x << "," << y;
        const std::uint8_t* p = f.At(x, y);
        EXPECT_GT(p[0] + p[1] + p[2], 60) << x << "," << y;
        EXPECT_GT(p[2], p[0]) << x << "," << y;
      }
    // Below it the ground (or the water over it), nearer than the far plane.
    for (int y = 0; y < int(hy) - 4; y += 3)
      for (int x = 2; x < kSide; x += 12) EXPECT_LT(f.Depth(x, y), 1.0f) << x << "," << y;
    // A transition to the second camera: arrives in the frame the distance and step give.
    const Camera target = gWorld.cameras[1];
    double remaining = 0;
    for (int a = 0; a < 3; ++a)
      remaining += double(target.position[a] - c.position[a]) * (target.position[a] - c.position[a]);
    remaining = std::sqrt(remaining);
    int frames = 1;
    while (50.0 / remaining < 0.9998) remaining -= 50.0, ++frames;
    gWorld.transitionTarget = 1;
    gWorld.transitionStep = 50.0f;
    Frame arrived;
    for (int k = 1; k <= frames; ++k) {
      EXPECT_EQ(gWorld.transitionTarget, k < frames + 1 ? 1 : -1);
      arrived = DrawFrame();
    }
    EXPECT_EQ(gWorld.transitionTarget, -1);
    for (int a = 0; a < 3; ++a) {
      EXPECT_EQ(gWorld.currentCamera.position[a], target.position[a]);
      EXPECT_EQ(gWorld.currentCamera.direction[a], target.direction[a]);
    }
    gWorld.currentCamera = target;
    const Frame direct = DrawFrame();
    EXPECT_EQ(Differences(DrawFrame(true), direct), 0u);
    int differ = 0;
    for (std::size_t i = 0; i < direct.rgb.size(); ++i)
      differ += std::abs(int(direct.rgb[i]) - int(arrived.rgb[i])) > 8;
    EXPECT_LT(differ, int(direct.rgb.size()) / 50);

  }
}

TEST_F(RenderWorldTest, ObjectItsMirrorImageAndTheEnvironmentCube) {
  const std::string world = std::string(VESKOR_SOURCE_DIR) + "tests/render/data/render_world.wld";
  for (const int multisample : {0, 1}) {
    SCOPED_TRACE(multisample);
    MultiSampleMode = static_cast<std::uint32_t>(multisample);
    ASSERT_EQ(Session(world), 1u);
    ASSERT_GE(reflector, 0);
    const Frame f = DrawFrame();
    const Camera& c = gWorld.currentCamera;
    const float object[3] = {0, 0, 24}, mirror[3] = {0, 0, 2 * 6.0f - 24};
    float ox, oy, mx, my;
    Project(c, object, ox, oy);
    Project(c, mirror, mx, my);
    // The red box where it projects, and its mirror image in the water.
    const int bx = int(ox), by = int(oy), wx = int(mx), wy = int(my);
    EXPECT_TRUE(Red(f.At(bx, by))) << bx << "," << by << ": " << int(f.At(bx, by)[0]) << " "
                                   << int(f.At(bx, by)[1]) << " " << int(f.At(bx, by)[2]);
    EXPECT_GT(ReddishCount(f, wx - 2, wy - 3, wx + 2, wy + 3), 4) << wx << "," << wy;
    const float boxDepth = f.Depth(bx, by);

    // The reflector's cube as captured (the texture holds the split upload's encoding, so the
    // faces are read as the stage read them back): sky in its upper face (+z, the sixth),
    // ground and water in its lower one, every value within [0, 1].
    const TextureCube& cube = SkinSlotCube(gSkinSlots[reflector]);
    ASSERT_TRUE(cube.state.hasSlot);
    auto mean = [&](int face) {
      const TexturePixels& px = cube.faces[face];
      const std::size_t n = std::size_t{1} << (px.log2Width + px.log2Height);
      std::vector<float> m(3, 0.0f);
      if (px.data == nullptr || px.channels != 3) return m;
      const float* d = static_cast<const float*>(px.data);
      for (std::size_t i = 0; i < 3 * n; ++i) {
        EXPECT_TRUE(d[i] >= 0.0f && d[i] <= 1.0f) << face << " " << i << " " << d[i];
        m[i % 3] += d[i] / float(n);
      }
      return m;
    };
    const auto up = mean(5), down = mean(4);
    EXPECT_GT(up[2], up[0]);                                        // blue sky
    EXPECT_GT(up[0] + up[1] + up[2], down[0] + down[1] + down[2] + 0.3f);  // darker below

    // The same world without the red box: no red at its mirror image, farther at its place.
    gWorld.currentCamera = gWorld.cameras[0];
    ASSERT_EQ(Session(WorldWithout(".*red\\(\\) \\}.*")), 1u);
    gWorld.currentCamera = gWorld.cameras[0];
    const Frame bare = DrawFrame();
    EXPECT_EQ(ReddishCount(bare, wx - 2, wy - 3, wx + 2, wy + 3), 0);
    EXPECT_FALSE(Red(bare.At(bx, by)));
    EXPECT_LT(boxDepth, bare.Depth(bx, by));
  }
}

// The water stage's read-back of the portal seen from above, prepared with a fresh context's
// depth function: the red box, widened to 60 x 60 and moved below the water, shows in its
// colour at its place (x 40, y -80 in the portal's square of 620 units: the field's box and
// a margin of 150 around it); standing above the water it does not (the water view walks
// only what reaches below it).
TEST_F(RenderWorldTest, WaterReadBackHoldsWhatIsBelowTheWater) {
  struct Case {
    const char* place;
    bool below;
  } cases[] = {{"[40 -80 2]", true}, {"[40 -80 24]", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.place);
    glDepthFunc(GL_LESS);
    ASSERT_EQ(Session(WorldWith({{"\\[0 0 24\\]", c.place}, {"\\[4 4 6\\]", "[30 30 6]"}})), 1u);
    ASSERT_EQ(gPortalCount, 1u);
    const Portal& q = gPortals[0];
    ASSERT_TRUE(q.readBack[0].state.hasSlot);
    glBindTexture(GL_TEXTURE_2D, TextureNameTable[q.readBack[0].state.slot]);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    ASSERT_GE(w, 16);
    ASSERT_EQ(w, h);  // a square portal, no inset
    std::vector<float> texels(4 * std::size_t(w) * h);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    double n = 0, su = 0, sv = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const float* t = &texels[4 * (std::size_t(y) * w + x)];
        if (t[0] > 0.1f && t[0] > 2 * t[1] && t[0] > 2 * t[2]) n += 1, su += x + 0.5, sv += y + 0.5;
      }
    if (!c.below) {
      EXPECT_EQ(n, 0);
      continue;
    }
    ASSERT_GT(n, 0);
    EXPECT_NEAR(su / n / w, 350.0 / 620, 0.04);
    EXPECT_NEAR(sv / n / h, 230.0 / 620, 0.04);
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});

    // The stage's texel is (1 - portal detail) x 16 + 4 units: over a portal of 310 units,
    // 20 at detail 0 (15.5 texels: 16) and 19.2 at detail 0.05 (16.1 texels: 32).
    gPortals[0].corner1[0] = gPortals[0].corner0[0] + 310;
    gPortals[0].corner1[1] = gPortals[0].corner0[1] + 310;
    for (const auto& [detail, side] : {std::pair{0.0f, 16}, {0.05f, 32}}) {
      PortalDetail = detail;
      ASSERT_EQ(ShadersWaterStage(), 1u);
      glBindTexture(GL_TEXTURE_2D, TextureNameTable[q.readBack[0].state.slot]);
      glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
      glBindTexture(GL_TEXTURE_2D, 0);
      EXPECT_EQ(w, side) << detail;
    }
  }
}

// The environment stage: six time-frozen walks per cube item, as secondary views (0x50, no
// mirrors in them) on boards of class bit 2 and as 0x10 on others; an item is absent from its own cube and drawn
// again after it; a definition without shininess blurs with argument 9, which at the faces'
// size here (2^s, s < 9) leaves them at their captured size, while one with shininess 20
// lowers them.
std::vector<std::uint32_t> gWalkFlags;
// At each direct walk, the visible words of the cube items (by index) as a bit set.
std::vector<std::uint32_t> gWalkVisible;
std::vector<SceneObject*> gCubeItems;
void RecordWalks(ScenePass pass, std::uint32_t, std::uint32_t flags) {
  if (pass != ScenePass::kWalk) return;
  gWalkFlags.push_back(flags);
  if ((flags & 0x20) != 0) return;
  std::uint32_t bits = 0;
  for (std::size_t k = 0; k < gCubeItems.size(); ++k) bits |= (gCubeItems[k]->visible != 0) << k;
  gWalkVisible.push_back(bits);
}

TEST_F(RenderWorldTest, EnvironmentStageFlagsOwnAbsenceAndBlur) {
  ASSERT_EQ(Session(std::string(VESKOR_SOURCE_DIR) + "tests/render/data/render_world.wld"), 1u);
  ASSERT_GE(reflector, 0);
  ASSERT_NE(RenderViewPlane, nullptr);
  // The red box and the grey one (shininess 20) get cubes too.
  int red = -1, grey = -1;
  for (std::uint32_t i = 0; i < gItemCount; ++i) {
    SceneObject* d = gItemTargets[i];
    if (d == nullptr) continue;
    if (d->grid.box[0] > -10 && d->grid.box[1] < 10 && d->grid.box[2] > -10) red = int(i);
    if (d->grid.box[0] < -50) grey = int(i);
  }
  ASSERT_GE(red, 0);
  ASSERT_GE(grey, 0);
  gItemTargets[red]->flags |= 4;
  gItemTargets[grey]->flags |= 4;
  gCubeItems.clear();
  for (std::uint32_t i = 0; i < gItemCount; ++i)
    if (gItemTargets[i] != nullptr && (gItemTargets[i]->flags & 4) != 0)
      gCubeItems.push_back(gItemTargets[i]);
  ASSERT_EQ(gCubeItems.size(), 3u);
  const std::uint32_t board = RenderViewPlane->boardClass;
  for (const std::uint32_t cls : {board | 4u, board & ~4u}) {
    SCOPED_TRACE(cls);
    RenderViewPlane->boardClass = cls;
    gWalkFlags.clear();
    gWalkVisible.clear();
    SceneDrawPassHook = &RecordWalks;
    glDepthFunc(GL_LESS);
    EXPECT_EQ(ShadersEnvironmentStage(), 1u);
    SceneDrawPassHook = nullptr;
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LESS);  // as the stage found it
    // Direct walks: six per cube; the water mirrors' walks (0x70) only in the 0x10 faces.
    int direct = 0, mirrored = 0;
    for (const std::uint32_t f : gWalkFlags) {
      if ((f & 0x20) != 0) {
        ++mirrored;
        EXPECT_EQ(f, 0x70u);
      } else {
        ++direct;
        EXPECT_EQ(f, (cls & 4) != 0 ? 0x50u : 0x10u);
      }
    }
    EXPECT_EQ(direct, 18);
    // Cube k's six walks see every cube item but k; all are visible again afterwards.
    ASSERT_EQ(gWalkVisible.size(), 18u);
    for (std::size_t w = 0; w < 18; ++w) EXPECT_EQ(gWalkVisible[w], 7u & ~(1u << (w / 6))) << w;
    for (const SceneObject* d : gCubeItems) EXPECT_NE(d->visible, 0u);
    if ((cls & 4) != 0) {
      EXPECT_EQ(mirrored, 0);
    } else {
      EXPECT_GT(mirrored, 0);
    }
  }
  RenderViewPlane->boardClass = board;
  EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});

  // No red in the red box's own cube (its walls face away from its centre, so this holds
  // with it too: the walks above check its absence); the faces are read as captured.
  const TextureCube& own = SkinSlotCube(gSkinSlots[red]);
  int redTexels = 0, texels = 0;
  for (const TexturePixels& face : own.faces) {
    ASSERT_NE(face.data, nullptr);
    const float* d = static_cast<const float*>(face.data);
    const int n = 1 << (face.log2Width + face.log2Height);
    texels += n;
    for (int k = 0; k < n; ++k, d += 3) redTexels += d[0] > 0.1f && d[0] > 2 * d[1] && d[0] > 2 * d[2];
  }
  EXPECT_GT(texels, 0);
  EXPECT_EQ(redTexels, 0);
  // Drawn again after its capture.
  const Frame f = DrawFrame();
  float bx, by;
  const float centre[3] = {0, 0, 24};
  Project(gWorld.currentCamera, centre, bx, by);
  EXPECT_TRUE(Red(f.At(int(bx), int(by))));

  // The chrome box (half size 5 at (60, 40)): its box (x and y by hand, z as the scene build
  // placed it in the grid) and its centre in its slot; its cube's maximum level of detail set,
  // as on every board with the level-of-detail extension.
  const float* data = gSkinSlots[reflector].itemData;
  const float* grid = gItemTargets[reflector]->grid.box;  // x0 x1 y0 y1 z0 z1
  const float box[6] = {55, 35, grid[4], 65, 45, grid[5]};
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(data[k], box[k], 0.01f) << k;
  for (int a = 0; a < 3; ++a) EXPECT_NEAR(data[6 + a], (box[a] + box[3 + a]) / 2, 0.01f) << a;
  glBindTexture(GL_TEXTURE_CUBE_MAP, TextureNameTable[SkinSlotCube(gSkinSlots[reflector]).state.slot]);
  GLfloat maxLod = 0;
  glGetTexParameterfv(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAX_LOD, &maxLod);
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  EXPECT_EQ(maxLod, 3.0f);

  // Blur: argument 9 keeps the chrome cube at the captured size; the grey one is lowered.
  const std::uint32_t s = EnvironmentCaptureLog2;
  ASSERT_LT(s, 9u);
  EXPECT_EQ(SkinSlotCube(gSkinSlots[reflector]).faces[0].log2Width, s);
  EXPECT_LT(SkinSlotCube(gSkinSlots[grey]).faces[0].log2Width, s);

  // The argument (1 - shininess) x 9 at faces of 2^3 (the box's own size asks for them):
  // shininess 0.9475 gives 0.4725, which rounds to 0 and only smooths the faces; 1.24 gives
  // -2.16, rounded -2: halved once; 1.46 gives -4.14: halved twice.
  ASSERT_EQ(s, 3u);
  for (const auto& [shininess, log2] : {std::pair{0.9475f, 3u}, {1.24f, 2u}, {1.46f, 1u}}) {
    gItemTargets[reflector]->shininess = shininess;
    ASSERT_EQ(ShadersEnvironmentStage(), 1u);
    EXPECT_EQ(SkinSlotCube(gSkinSlots[reflector]).faces[0].log2Width, log2) << shininess;
  }
}

// The high clouds are drawn in the frames after the preparation: with the layer made dense,
// most of the sky differs from the sky of the same world without its CloudHigh block, while
// the depths stay the same (the layer writes none).
TEST_F(RenderWorldTest, HighCloudsShowInTheSkyAfterPreparation) {
  auto frameOf = [&](const std::string& world) {
    gWorld.currentCamera = gWorld.cameras[0];
    RandomSeed(1);  // the same low clouds in both
    EXPECT_EQ(Session(world), 1u);
    gWorld.currentCamera = gWorld.cameras[0];
    return DrawFrame();
  };
  const Frame clouded = frameOf(WorldWith({{"coverage\\(0.2\\)", "coverage(0.9)"}}));
  const Frame clear = frameOf(WorldWithout("CloudHigh \\{[^}]*\\}"));
  EXPECT_EQ(clouded.depth, clear.depth);
  int sky = 0, differing = 0;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      if (clear.Depth(x, y) != 1.0f) continue;
      ++sky;
      int d = 0;
      for (int c = 0; c < 3; ++c)
        d = std::max(d, std::abs(int(clouded.At(x, y)[c]) - int(clear.At(x, y)[c])));
      differing += d > 8;
    }
  EXPECT_GT(sky, kSide * kSide / 8);
  EXPECT_GT(differing, sky / 2);
}

// A zero answer at each stage label in turn, and at the scene build's first report: the
// session returns 0, a stop is no failure (no message), and the next session builds the same
// items and prepares.
// What one world leaves behind does not reach the next: a world without the red box,
// prepared right after the whole test world, draws the frame it draws when prepared after
// itself: the same depths, and colours alike but for the few texels the clouds' drift and the
// water's phase move between two preparations (about half a percent, even for one world). The
// puffs come from the program's one random sequence, which goes on from world to world: both
// start from the same place in it.
TEST_F(RenderWorldTest, ASecondWorldDrawsAsItDrawsAfterItself) {
  const std::string whole = std::string(VESKOR_SOURCE_DIR) + "tests/render/data/render_world.wld";
  const std::string bare = WorldWithout(".*red\\(\\) \\}.*");
  auto frameOf = [&](const std::string& before) {
    gWorld.currentCamera = gWorld.cameras[0];
    EXPECT_EQ(Session(before), 1u);
    gWorld.currentCamera = gWorld.cameras[0];
    RandomSeed(1);
    EXPECT_EQ(Session(bare), 1u);
    gWorld.currentCamera = gWorld.cameras[0];
    return DrawFrame();
  };
  const Frame afterItself = frameOf(bare), afterWhole = frameOf(whole);
  int differing = 0;
  for (std::size_t i = 0; i < afterItself.rgb.size(); ++i)
    differing += std::abs(int(afterItself.rgb[i]) - int(afterWhole.rgb[i])) > 8;
  EXPECT_LT(differing, int(afterItself.rgb.size() / 50));
  EXPECT_EQ(afterItself.depth, afterWhole.depth);
}

TEST_F(RenderWorldTest, StopAtEachLabelThenNextSessionSucceeds) {
  const std::string world = std::string(VESKOR_SOURCE_DIR) + "tests/render/data/render_world.wld";
  ASSERT_EQ(Session(world), 1u);
  const std::uint32_t items = gItemCount, instances = gWorld.sceneInstanceCount;
  ASSERT_GT(items, 3u);
  std::vector<int> firsts;
  for (std::size_t k = 0; k < reports.size(); ++k)
    if (k == 0 || reports[k].label != reports[k - 1].label) firsts.push_back(int(k));
  for (const int k : firsts) {
    stopAt = k;
    EXPECT_EQ(Session(world), 0u) << k;
    EXPECT_EQ(int(reports.size()), k + 1);
    EXPECT_EQ(FxFailed, 0u);
    stopAt = -1;
  }
  buildStop = true;
  EXPECT_EQ(Session(world), 0u);
  EXPECT_EQ(reports.size(), 1u);
  EXPECT_STREQ(reports[0].label.c_str(), kGenerateStageLabel);
  EXPECT_STREQ(gSceneBuildError.message, "");
  buildStop = false;
  for (int again = 0; again < 2; ++again) {
    ASSERT_EQ(Session(world), 1u);
    EXPECT_EQ(gItemCount, items);
    EXPECT_EQ(gWorld.sceneInstanceCount, instances);
  }
  const Frame f = DrawFrame();
  EXPECT_EQ(f.Depth(kSide / 2, kSide - 2), 1.0f);
  EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
}

}  // namespace
}  // namespace veskor
