// The sample worlds of examples/ built into a scene, as the render session builds them: each
// parses with the directories of a store from the store writer, and the scene build makes its
// items, portals and planets without an error.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "compile_driver.h"
#include "foundation/search_dirs.h"
#include "geometry/generation_test_support.h"
#include "geometry/geometry_test_support.h"
#include "geometry/item_images.h"
#include "geometry/path_set.h"
#include "geometry/scene_build.h"
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

}  // namespace
}  // namespace veskor::test
