// The sample worlds of examples/ built into a scene, as the render session builds them: each
// parses with the directories of a store from the store writer, and the scene build makes its
// items, portals and planets without an error. Then each is prepared with the shell's detail
// settings and every camera and examine point drawn and read back: no view black, the clouds
// and planets the world gives in sight, no view from under the ground, and every item vertex on
// its item's box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/main_plane.h"
#include "compile_driver.h"
#include "environment/environment_params.h"
#include "environment/lens_flare.h"
#include "environment/sky_model.h"
#include "environment/sky_passes.h"
#include "foundation/search_dirs.h"
#include "geometry/generation_test_support.h"
#include "geometry/geometry_test_support.h"
#include "geometry/item_images.h"
#include "geometry/item_tables.h"
#include "geometry/path_set.h"
#include "geometry/scene_build.h"
#include "geometry/scene_build_error.h"
#include "gfx/transform_node.h"
#include "language/parse_store.h"
#include "platform/gl.h"
#include "render/camera_motion.h"
#include "render/render_prepare.h"
#include "render/render_session.h"
#include "render/scene_draw.h"
#include "render_fixture.h"
#include "resources/resource_test_support.h"
#include "support/temp_dir.h"

namespace veskor::test {
namespace {

class SampleWorldBuild : public GenerationGlTest,
                         public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    GenerationGlTest::SetUp();
    ItemImagesReset();
  }
  void TearDown() override {
    for (std::uint32_t i = 0; i < gItemCount; ++i) PathSetFree(gItemPathSets.sets[i]);
    SetSearchDirs("", "", "", "", "");
    GenerationGlTest::TearDown();
  }
};

TEST_P(SampleWorldBuild, BuildsItsItemsAndPlanetsWithoutAnError) {
  TempDir dir("veskor_world_build");
  ASSERT_TRUE(UseWrittenStoreDirs(dir.path()));
  const CompileOutcome outcome = RunCompileSession(kSourceDir + "examples/" + GetParam());
  ASSERT_EQ(outcome.result, 1) << outcome.status;
  FillSessionRanges(gWorld);
  ASSERT_EQ(SceneBuild(gWorld), 1u) << gSceneBuildError.message;
  EXPECT_STREQ(gSceneBuildError.message, "");
  EXPECT_GT(gWorld.sceneInstanceCount, 0u);
  EXPECT_GT(gItemCount, 0u);
  // A scene texture for every Planet block, the scene box a finite, ordered box.
  EXPECT_EQ(gSceneTextures.count, gWorld.planetCount);
  for (int a = 0; a < 3; ++a) {
    EXPECT_TRUE(std::isfinite(gSceneBox.min[a]) && std::isfinite(gSceneBox.max[a])) << a;
    EXPECT_LT(gSceneBox.min[a], gSceneBox.max[a]) << a;
  }
}

INSTANTIATE_TEST_SUITE_P(Examples, SampleWorldBuild,
                         ::testing::Values("lagoon.wld", "highlands.wld", "ruins.wld"));

constexpr int kSide = test::kGlTestWindowSize;

struct Frame {
  std::vector<std::uint8_t> rgb;
  std::vector<float> depth;
  const std::uint8_t* At(int i) const { return &rgb[3 * i]; }
  int Sum(int i) const { return rgb[3 * i] + rgb[3 * i + 1] + rgb[3 * i + 2]; }
};

class SampleWorldViews : public test::RenderSessionTest,
                         public ::testing::WithParamInterface<const char*> {
 protected:
  void TearDown() override {
    for (std::uint32_t i = 0; i < gItemCount; ++i) PathSetFree(gItemPathSets.sets[i]);
    SetSearchDirs("", "", "", "", "");
    RenderSessionTest::TearDown();
  }
  // The render session's steps with the shell's first-run detail settings (the world's own LOD
  // keys off); RenderPrepare's result.
  std::uint32_t Session(const std::string& world) {
    const test::CompileOutcome outcome = test::RunCompileSession(world);
    EXPECT_EQ(outcome.result, 1) << outcome.status;
    if (outcome.result != 1) return 0;
    World& w = gWorld;
    WorldSetExtent(w, -800, -800, -400, 800, 800, 400, 0.5f, 0.25f, 0.5f, 0.125f);
    RenderSessionInit(&w.lod.lists[2], 0.002f, &w.lod.lists[3], 0.002f, &w.lod.lists[0], 0.002f,
                      &w.lod.lists[1], 0.002f, &gParseStore, &w.currentCamera, 0.75f, 0.0f, nullptr,
                      0, 6, 0, 10);
    RecomputeEnvironment();
    LoadLensFlare(kLensFlareImageNames[0], kLensFlareImageNames[1], kLensFlareImageNames[2],
                  kLensFlareTable, kLensFlareTableCount);
    LoadLightRays(kLightRayImageName);
    EXPECT_EQ(SceneBuild(w), 1u) << gSceneBuildError.message;
    builtBoxes.clear();
    for (std::uint32_t i = 0; i < gItemCount; ++i) {
      const float* b = gItemTargets[i]->grid.box;
      builtBoxes.emplace_back(b, b + 6);
    }
    return RenderPrepare(&w.currentCamera);
  }
  // View `target` (cameras, then examine points) taken at once and drawn as the main plane's
  // frame draws it; the back buffer read before any swap.
  static Frame Draw(std::int32_t target) {
    gWorld.transitionTarget = target;
    gWorld.transitionStep = 0.0f;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SetSceneDepthAndCulling();
    CameraStepWrapper(gWorld);
    SetLoadingViewport();
    Camera& c = gWorld.currentCamera;
    CameraApply(c);
    std::uint32_t polygons = 0;
    SceneDraw(&c, 0, &polygons);
    CameraRestore(c);
    Frame f;
    f.rgb.resize(3 * kSide * kSide);
    f.depth.resize(kSide * kSide);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kSide, kSide, GL_RGB, GL_UNSIGNED_BYTE, f.rgb.data());
    glReadPixels(0, 0, kSide, kSide, GL_DEPTH_COMPONENT, GL_FLOAT, f.depth.data());
    return f;
  }
  // The same view without the high cloud layer's sky passes and the cloud puffs.
  static Frame DrawWithoutClouds(std::int32_t target) {
    const SkyPassList list = gSkyPassList;
    SkyPassList& kept = gSkyPassList;
    kept.count = 0;
    for (std::uint32_t i = 0; i < list.count; ++i) {
      const std::uint32_t code = list.entries[i].code;
      if (code != kSkyPassCloudLayer && code != kSkyPassCloudFourUnits)
        kept.entries[kept.count++] = list.entries[i];
    }
    ShowCloudPuffs = 0;
    Frame f = Draw(target);
    ShowCloudPuffs = 1;
    gSkyPassList = list;
    return f;
  }
  // The same view without the planets.
  static Frame DrawWithoutPlanets(std::int32_t target) {
    const std::uint32_t groups = gPlanetGroups.count;
    gPlanetGroups.count = 0;
    Frame f = Draw(target);
    gPlanetGroups.count = groups;
    return f;
  }
  // The farthest an item vertex lies outside its item's box as the scene build made it (in
  // the object's placement), over the box's largest side. The preparation puts the vertices
  // onto the item's surface and widens the item's own box to what it placed.
  float FarthestVertexOffItsBox() const {
    float worst = 0.0f;
    for (std::uint32_t i = 0; i < gItemCount; ++i) {
      SceneInstance& item = *gItemTargets[i];
      const ItemDrawRecord& record = gBatchItemRecords[gItemBatchIndex[i]];
      const float* box = builtBoxes[i].data();
      const float side = std::max({box[1] - box[0], box[3] - box[2], box[5] - box[4], 1.0f});
      const float* m =
          TransformNodeFlag(item.transform) == 0 ? TransformNodeMatrix(item.transform) : nullptr;
      const std::uint32_t stride = VertexFormatFloats(record.format);
      // Range 0 holds the caps and the body; the further ranges follow it.
      for (std::uint32_t r = 0; stride != 0 && r < record.rangeCount && r < 4; ++r) {
        const BatchRange& range = record.mainRanges[r];
        for (std::uint32_t f = 0; f + stride <= range.floatCount; f += stride) {
          const float* v = BatchVertexBase + range.firstFloat + f;
          for (int a = 0; a < 3; ++a) {
            const float p =
                m == nullptr ? v[a] : m[a] * v[0] + m[4 + a] * v[1] + m[8 + a] * v[2] + m[12 + a];
            worst = std::max(worst, std::max(box[2 * a] - p, p - box[2 * a + 1]) / side);
          }
        }
      }
    }
    return worst;
  }
  // Whether `p` lies under an item surface whose drawn side faces up: the lowest triangle
  // above it (in the object's placement) is clockwise seen from above, as the ground is, so a
  // view from `p` starts inside the ground and sees the surface from behind.
  static bool UnderTheGround(const float* p) {
    float lowest = INFINITY;
    bool facesUp = false;
    for (std::uint32_t i = 0; i < gItemCount; ++i) {
      SceneInstance& item = *gItemTargets[i];
      const ItemDrawRecord& record = gBatchItemRecords[gItemBatchIndex[i]];
      const float* m =
          TransformNodeFlag(item.transform) == 0 ? TransformNodeMatrix(item.transform) : nullptr;
      const std::uint32_t stride = VertexFormatFloats(record.format);
      const float* first = BatchVertexBase + record.mainRanges[0].firstFloat;
      auto at = [&](std::uint16_t index, float* q) {
        const float* v = first + std::size_t{index} * stride;
        for (int a = 0; a < 3; ++a)
          q[a] = m == nullptr ? v[a] : m[a] * v[0] + m[4 + a] * v[1] + m[8 + a] * v[2] + m[12 + a];
      };
      for (std::uint32_t r = 0; stride != 0 && r < record.rangeCount && r < 4; ++r) {
        const BatchRange& range = record.mainRanges[r];
        for (std::uint32_t k = 0; k + 3 <= range.indexCount; k += 3) {
          const std::uint16_t* index = BatchIndexBase + range.firstIndex + k;
          float a[3], b[3], c[3];
          at(index[0], a), at(index[1], b), at(index[2], c);
          // Twice the signed areas, seen from above, of the triangle and of the three it makes
          // with p; p's height on it from the barycentric weights.
          auto cross = [](const float* u, const float* v, const float* w) {
            return (v[0] - u[0]) * (w[1] - u[1]) - (v[1] - u[1]) * (w[0] - u[0]);
          };
          const float area = cross(a, b, c);
          if (std::fabs(area) < 1e-6f) continue;
          const float wa = cross(p, b, c) / area, wb = cross(a, p, c) / area;
          const float wc = 1.0f - wa - wb;
          if (wa < 0 || wb < 0 || wc < 0) continue;
          const float h = wa * a[2] + wb * b[2] + wc * c[2];
          if (h > p[2] && h < lowest) lowest = h, facesUp = area < 0;
        }
      }
    }
    return facesUp;
  }

  test::TempDir dir{"veskor_world_views"};
  std::vector<std::vector<float>> builtBoxes;  // each item's box as the scene build left it
};

// Each view of each sample world read back at the shell's detail settings (the glare, which
// turns from frame to frame, left out).
TEST_P(SampleWorldViews, EveryViewShowsItsWorld) {
  ASSERT_TRUE(test::UseWrittenStoreDirs(dir.path()));
  ASSERT_EQ(Session(test::kSourceDir + "examples/" + GetParam()), 1u);
  ASSERT_GT(gItemCount, 0u);
  // Every sample world is lit by an afternoon or evening sun: a warm light, its red at least
  // its blue, as the worlds' corrections make the sky model's bluish one.
  EXPECT_GE(SunLightColour[0], SunLightColour[2]);
  // No needle and no lifted lid: every vertex within a twentieth of its item's size of the
  // item's built box (a lid a ninth of its tower's height above the crown would fail this).
  EXPECT_LT(FarthestVertexOffItsBox(), 0.05f);

  const bool clouds = CloudHighParams.present != 0 || CloudLowParams.present != 0;
  const std::int32_t views = gWorld.cameraCount + gWorld.examineCount;
  ASSERT_GT(views, 0);
  int skyPixels = 0, cloudPixels = 0, planetPixels = 0;
  ShowSunFlare = 0;
  for (std::int32_t t = 0; t < views; ++t) {
    SCOPED_TRACE(t);
    const Frame f = Draw(t);
    // Every view starts above the ground it looks at.
    const float* at = gWorld.currentCamera.position;
    EXPECT_FALSE(UnderTheGround(at)) << at[0] << " " << at[1] << " " << at[2];
    // Not black: the mean of r + g + b well above black, and few pixels near black.
    long sum = 0;
    int dark = 0;
    for (int i = 0; i < kSide * kSide; ++i) sum += f.Sum(i), dark += f.Sum(i) < 30;
    EXPECT_GT(sum / (kSide * kSide), 120);
    EXPECT_LT(dark, kSide * kSide / 10);
    // The clouds: the sky pixels (at the far depth) that change without them.
    const Frame bare = DrawWithoutClouds(t);
    for (int i = 0; i < kSide * kSide; ++i) {
      if (f.depth[i] < 1.0f) continue;
      ++skyPixels;
      cloudPixels += std::abs(f.Sum(i) - bare.Sum(i)) > 6;
    }
    // The planets: lit discs, brighter than the sky they cover.
    if (gPlanetGroups.count != 0) {
      const Frame unlit = DrawWithoutPlanets(t);
      for (int i = 0; i < kSide * kSide; ++i) planetPixels += f.Sum(i) > unlit.Sum(i) + 30;
    }
  }
  ShowSunFlare = 1;
  // A world with clouds shows them over a good share of its sky; one without changes nothing.
  EXPECT_GT(cloudPixels, clouds ? skyPixels / 50 : -1) << skyPixels;
  EXPECT_LE(cloudPixels, clouds ? skyPixels : 0);
  // Its moon shows in at least one view: a disc of 3 degrees is 4 pixels or so here.
  EXPECT_GE(planetPixels, gPlanetGroups.count != 0 ? 3 : 0);
}

INSTANTIATE_TEST_SUITE_P(Examples, SampleWorldViews,
                         ::testing::Values("lagoon.wld", "highlands.wld", "ruins.wld"));

}  // namespace
}  // namespace veskor::test
