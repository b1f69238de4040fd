// The scene build end to end: small worlds parsed through the compile session's calls and
// built into items, portals, height maps and planets, as the render session runs it.
#include "geometry/scene_build.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "compile_driver.h"
#include "foundation/data_file_search.h"
#include "foundation/search_dirs.h"
#include "generation_test_support.h"
#include "geometry/geometry_test_support.h"
#include "geometry/height_maps.h"
#include "geometry/item_images.h"
#include "geometry/path_set.h"
#include "support/png_test_images.h"
#include "support/temp_dir.h"

namespace veskor::test {
namespace {

// A box model: four upright Edges over x -2..2, y -1..1, z 0..1.
constexpr const char* kBlock =
    "Model block { Edge { [-2 -1 0 31 31] [-2 -1 1 31 31] } Edge { [2 -1 0 31 31] [2 -1 1 31 31] }"
    " Edge { [2 1 0 31 31] [2 1 1 31 31] } Edge { [-2 1 0 31 31] [-2 1 1 31 31] } }\n";

// Two fields that touch along y = 0, each with a water plane (rectangles: the box widened by
// 150, altitudes 10 and 5).
constexpr const char* kIsles =
    "HeightField north { BBox { [-100 0 0] [100 200 50] } Layer { fractal(3 [0.01 2 0.8]) }\n"
    "  WaterPlane { altitude(10) bumpScale(0.5) color([0.1 0.2 0.3]) opacity([0.25 0.75]) } }\n"
    "HeightField south { BBox { [-100 -200 0] [100 0 40] } WaterPlane { altitude(5) } }\n"
    "Composition isles { max ( north south ) }\n";

std::uint32_t gReports = 0;
std::int32_t Stop(const char*, float, float) {
  ++gReports;
  return 0;
}

class SceneBuildTest : public GenerationGlTest {
 protected:
  void SetUp() override {
    GenerationGlTest::SetUp();
    ItemImagesReset();
    for (int k = 0; k < 5; ++k) std::memcpy(savedDirs_[k], Dirs()[k], kSearchDirBytes);
  }
  void TearDown() override {
    for (std::uint32_t i = 0; i < gItemCount; ++i) PathSetFree(gItemPathSets.sets[i]);
    TransformNode identity;
    TransformNodeInit(identity);
    SetTransformGlobals(identity);
    SetSearchDirs(savedDirs_[0], savedDirs_[1], savedDirs_[2], savedDirs_[3], savedDirs_[4]);
    gBuildProgress.callback = nullptr;
    GenerationGlTest::TearDown();
  }
  static char* const* Dirs() {
    static char* const dirs[5] = {ProductDir, BinaryDir, SystemDir, ResourceDir, WorkingDir};
    return dirs;
  }
  // Parses the world as the compile session does and sets the extent as the render session.
  void Parse(const std::string& text) {
    const CompileOutcome outcome = RunCompileSession(dir_.Write("world.wld", text));
    ASSERT_EQ(outcome.result, 1) << outcome.status;
    FillSessionRanges(gWorld);
    WorldSetExtent(gWorld, -800, -800, -400, 800, 800, 400, 0.5f, 0.25f, 0.5f, 0.5f);
  }
  std::uint32_t Build(const std::string& text) {
    Parse(text);
    return SceneBuild(gWorld);
  }
  void ExpectBox(const float* box, std::vector<float> expected, float tolerance) {
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(box[k], expected[k], tolerance) << k;
  }
  // Every index of every item below its vertex count, every position finite; the items'
  // records all in the scene grid.
  void ExpectSoundBatch() {
    const GeometryBatchBuffer& b = gGeometryBatchBuffer;
    const std::uint32_t f = b.floatsPerVertex;
    for (std::uint32_t i = 0; i < gItemCount; ++i) {
      const ItemDrawRecord& d = gBatchItemRecords[gItemBatchIndex[i]];
      const std::uint32_t vertices = d.mainRanges[0].floatCount / f;
      for (const BatchRange* r : {&d.mainRanges[0], &d.capA, &d.capB})
        for (std::uint32_t k = r->firstIndex; k < r->firstIndex + r->indexCount; ++k)
          ASSERT_LT(b.indices[k], vertices) << i;
      for (std::uint32_t v = 0; v < vertices; ++v)
        for (std::uint32_t a = 0; a < 3; ++a)
          ASSERT_TRUE(std::isfinite(b.vertices[d.mainRanges[0].firstFloat + v * f + a])) << i;
    }
  }
  std::string Png(const std::string& name, std::uint32_t w, std::uint32_t h, std::uint32_t samples) {
    return dir_.Write(name, EncodePng(w, h, samples, [](std::uint32_t x, std::uint32_t y,
                                                        std::uint32_t c) {
                        return static_cast<std::uint8_t>(40 * x + 10 * y + c);
                      }));
  }
  TempDir dir_{"veskor_scene_build"};
  char savedDirs_[5][kSearchDirBytes];
};

TEST_F(SceneBuildTest, AWorldWithoutObjectsOrPlanetsMakesNothing) {
  EXPECT_EQ(Build("Info { title(\"empty\") } Model block { Edge { [0 0 0] [0 0 1] } }"), 1u);
  EXPECT_EQ(gWorld.sceneInstanceCount, 0u);
  EXPECT_EQ(gItemCount, 0u);
  EXPECT_EQ(gSceneTextures.count, 0u);
  EXPECT_EQ(gSceneBox.min[0], kSceneBoxEmpty);
}

TEST_F(SceneBuildTest, ModelInstancesArePlacedAndEnterTheLevelOfDetailLists) {
  ASSERT_EQ(Build(std::string(kBlock) +
                  "Object { Cube Cube ( [0 0 1 90] [10 0 0] ) block ( [0 20 0] ) }"),
            1u)
      << gSceneBuildError.message;
  ASSERT_EQ(gWorld.sceneInstanceCount, 3u);
  ASSERT_EQ(gItemCount, 3u);
  ExpectBox(gWorld.sceneInstances[1].grid.box, {-1, 1, -1, 1, -1, 1}, 0.01f);
  ExpectBox(gWorld.sceneInstances[2].grid.box, {9, 11, -1, 1, -1, 1}, 0.01f);
  ExpectBox(gWorld.sceneInstances[3].grid.box, {-2, 2, 19, 21, 0, 1}, 0.01f);
  for (std::uint32_t r = 1; r <= 3; ++r) {
    EXPECT_EQ(gWorld.sceneInstances[r].vertexFormat, 25u);
    EXPECT_EQ(gWorld.sceneInstances[r].fxIndex, 0xFFFF);
  }
  // The untransformed Cube's own box with the extent's detail values a and b.
  const LodBoxList& l1 = gWorld.lod.lists[0];
  const LodBoxList& l2 = gWorld.lod.lists[1];
  ASSERT_EQ(l1.count, 3u);
  ASSERT_EQ(l2.count, 3u);
  const LodBoxRecord& r = l1.records[0];
  ExpectBox(&r.x0, {-1, 1, -1, 1, -1, 1}, 1e-5f);
  EXPECT_EQ(r.value, 0.5f);
  EXPECT_EQ(l2.records[0].value, 0.25f);
  EXPECT_EQ(l1.records[2].y0, 19.0f);
  EXPECT_EQ(gSceneGrid.registrations.count, 3u);
  EXPECT_NEAR(gSceneBox.min[0], -2, 0.01f);
  EXPECT_NEAR(gSceneBox.max[1], 21, 0.01f);
  ExpectSoundBatch();
}

TEST_F(SceneBuildTest, CompositionsOfBuiltinsAndModelsRegisterTheirDrawItems) {
  ASSERT_EQ(Build(std::string(kBlock) +
                  "Composition both { + ( Cube Sphere ( [1 1 1] 0 [1.2 0 0] ) ) }\n"
                  "Composition bite { - ( block Sphere ( [1 1 1] 0 [1.5 0 0.5] ) ) block }\n"
                  "Object { both bite ( [0 30 0] ) }"),
            1u)
      << gSceneBuildError.message;
  ASSERT_EQ(gWorld.sceneInstanceCount, 3u);
  const SceneInstance& both = gWorld.sceneInstances[1];
  EXPECT_EQ(both.batchItemCount, 2u);
  EXPECT_EQ(both.entryCount, 2u);
  EXPECT_NEAR(both.grid.box[0], -1, 0.01f);
  EXPECT_GT(both.grid.box[1], 2.1f);  // the placed Sphere's surface, inside its model box
  EXPECT_LT(both.grid.box[1], 2.3165f);
  const SceneInstance& bite = gWorld.sceneInstances[2];
  EXPECT_EQ(bite.batchItemCount, 1u);
  EXPECT_NEAR(bite.grid.box[2], 29, 0.01f);
  EXPECT_NEAR(bite.grid.box[1], 2, 0.01f);  // the bite lies within the block's x range
  ExpectBox(gWorld.sceneInstances[3].grid.box, {-2, 2, 29, 31, 0, 1}, 0.01f);
  EXPECT_EQ(gItemCount, 4u);
  // The model boxes of the union (the Sphere's reaches 1.2 + 1.1165) and of the bite (the
  // Sphere's reaches 1.1165 below y 0), this one moved to y 30.
  const LodBoxList& l1 = gWorld.lod.lists[0];
  ASSERT_GE(l1.count, 2u);
  EXPECT_NEAR(l1.records[0].x1, 2.3165f, 1e-4f);
  EXPECT_NEAR(l1.records[1].y0, 28.8835f, 1e-4f);
  ExpectSoundBatch();
}

// Each instance of the composed field adds portals for both planes at its own translation;
// the World's planes stay as parsed.
TEST_F(SceneBuildTest, AFieldWithTwoWaterPlanesInstancedTwice) {
  ASSERT_EQ(Build(std::string(kIsles) + "Object { isles ( [0 0 -5] ) isles ( [300 0 0] ) }"), 1u)
      << gSceneBuildError.message;
  ASSERT_EQ(gPortalCount, 4u);
  const float expected[4][6] = {{-250, -150, 5, 250, 350, 5},
                                {-250, -350, 0, 250, 150, 0},
                                {50, -150, 10, 550, 350, 10},
                                {50, -350, 5, 550, 150, 5}};
  for (std::uint32_t p = 0; p < 4; ++p)
    for (int k = 0; k < 3; ++k) {
      EXPECT_FLOAT_EQ(gPortals[p].corner0[k], expected[p][k]) << p;
      EXPECT_FLOAT_EQ(gPortals[p].corner1[k], expected[p][k + 3]) << p;
    }
  EXPECT_EQ(gPortals[0].bumpScale, 0.5f);
  EXPECT_EQ(gPortals[0].opacityA2, 0.5f);
  EXPECT_EQ(gPortals[0].opacityB2, 1.5f);
  EXPECT_EQ(gPortals[2].colour[2], 0.3f);
  EXPECT_EQ(gGeometryBatchBuffer.waterBoxCount, 4);
  EXPECT_EQ(gWorld.waterPlanes[0].x0, -250.0f);
  EXPECT_EQ(gWorld.waterPlanes[1].altitude, 5.0f);
  // Fields of 2^5 cells: 8 x 8 tiles a pass, borders between them.
  EXPECT_EQ(gWorld.sceneInstanceCount, 128u);
  EXPECT_EQ(gSceneGrid.registrations.count, 128u);
  EXPECT_EQ(gRegionBorders.size(), 2u * (2 * 7 * 8 + 2 * 7 * 7));
  EXPECT_NEAR(gSceneBox.min[0], -100, 1);
  EXPECT_NEAR(gSceneBox.max[0], 400, 1);
  EXPECT_NEAR(gSceneBox.min[1], 0, 1);
  EXPECT_NEAR(gSceneBox.max[1], 200, 1);
  EXPECT_GE(gSceneBox.min[2], -5 - 1e-3f);
  EXPECT_LE(gSceneBox.max[2], 50 + 1e-3f);
  ExpectSoundBatch();
}

// Flat fields (every value 0), so the combined heights can be worked out by hand: the clone of
// `low` placed 5 up meets `high` scaled 2 along x and placed at x 50, 20 up; then `low` meets
// `high` placed 3 down.
TEST_F(SceneBuildTest, MinAndMaxCompositionsWithTransforms) {
  ASSERT_EQ(Build("HeightField low { BBox { [0 0 0] [100 100 10] } }\n"
                  "HeightField high { BBox { [0 0 0] [100 100 10] } }\n"
                  "Composition c { max ( low ( [1 1 1] [0 0 5] ) high ( [2 1 1] [50 0 20] ) )\n"
                  "                min ( low high ( [1 1 1] [0 0 -3] ) ) }\n"
                  "Object { c }"),
            1u)
      << gSceneBuildError.message;
  ASSERT_EQ(gSceneHeightMaps.count, 2u);
  const HeightFieldRecord& raised = *gSceneHeightMaps.records[0];
  ExpectBox(raised.box, {0, 5, 0, 100, 15, 100}, 0);
  for (std::uint32_t j = 0; j <= 32; ++j)
    for (std::uint32_t i = 0; i <= 32; ++i)
      ASSERT_EQ(raised.grid.data[j * 33 + i], i >= 16 ? 1.5f : 0.0f) << i << " " << j;
  const HeightFieldRecord& lowered = *gSceneHeightMaps.records[1];
  for (std::uint32_t k = 0; k < 33 * 33; ++k) ASSERT_FLOAT_EQ(lowered.grid.data[k], -0.3f) << k;
  EXPECT_EQ(gWorld.heightFields[1].box[4], 10.0f);  // the operand itself is not moved
  EXPECT_EQ(gWorld.sceneInstanceCount, 128u);
  ExpectSoundBatch();
}

// Directions at 0, 20 and -10 degrees: the second joins the first, the third lies within
// 22.5 degrees of the first but 30 from the second and starts a group; (0, 0, 2) becomes
// (0, 0, 1); one at 28 degrees lies within 22.5 of the second but 28 from the first and the
// others' groups: a group of its own. The fourth colour image lies only in the image
// directory.
TEST_F(SceneBuildTest, PlanetsLoadTheirImagesAndFormGroups) {
  TempDir resources("veskor_resources");
  std::filesystem::create_directories(resources.Path("Img"));
  resources.Write("Img/only.png", EncodePng(8, 8, 3, [](auto, auto, auto) { return 9; }));
  ASSERT_TRUE(SetSearchDirs("", "", "", resources.path().c_str(), ""));
  Png("p.png", 8, 8, 3);
  Png("m.png", 8, 8, 1);
  const double r = 3.14159265358979 / 180;
  auto planet = [&](const char* colour, double x, double y, double z) {
    return std::string("Planet { color(\"") + colour + "\") mask(\"m.png\") direction([" +
           std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) +
           "]) saturation(0.25) intensity(2) ringSize(0.1) fadeMinMax([0.3 0.7]) "
           "angularSize(4) }\n";
  };
  ScopedKernels plain(false);
  ASSERT_EQ(Build(planet("p.png", 1, 0, 0) + planet("P.PNG", std::cos(20 * r), std::sin(20 * r), 0) +
                  planet("p.png", std::cos(10 * r), -std::sin(10 * r), 0) +
                  planet("only.png", 0, 0, 2) +
                  planet("p.png", std::cos(28 * r), std::sin(28 * r), 0)),
            1u)
      << gSceneBuildError.message;
  ASSERT_EQ(gSceneTextures.count, 5u);
  ASSERT_EQ(gPlanetGroups.count, 4u);
  const SceneTexture* t = gSceneTextures.textures;
  EXPECT_EQ(gPlanetGroups.groups[0].count, 2u);
  EXPECT_EQ(gPlanetGroups.groups[0].planets[1], &t[1]);
  EXPECT_EQ(gPlanetGroups.groups[1].planets[0], &t[2]);
  EXPECT_EQ(gPlanetGroups.groups[2].planets[0], &t[3]);
  EXPECT_EQ(gPlanetGroups.groups[3].planets[0], &t[4]);
  EXPECT_EQ(t[3].direction[0], 0.0f);
  EXPECT_EQ(t[3].direction[2], 1.0f);
  EXPECT_EQ(t[0].brightness, 1.5f);
  EXPECT_EQ(t[0].intensity, 2.0f);
  EXPECT_EQ(t[0].ringSize, 0.1f);
  EXPECT_EQ(t[0].fadeNight, 0.3f);
  EXPECT_EQ(t[0].fadeDay, 0.7f);
  EXPECT_EQ(t[0].angularSize, 4.0f);
  EXPECT_EQ(TextureLog2Width(t[3].colour), 3u);
  const auto* texels = static_cast<const std::uint8_t*>(TextureData(t[3].colour));
  EXPECT_EQ(texels[0], 9);
  EXPECT_EQ(texels[3], 255 - 0);  // alpha 255 minus the mask's first sample
}

TEST_F(SceneBuildTest, PlanetFailuresSetTheBuildErrorAndNeverEndTheProgram) {
  Png("p.png", 8, 8, 3);
  Png("m.png", 8, 8, 1);
  Png("m4.png", 4, 4, 1);
  auto planet = [](const std::string& colour, const std::string& mask, const char* direction) {
    return "Planet { color(\"" + colour + "\") mask(\"" + mask + "\") direction(" + direction +
           ") }";
  };
  struct Case {
    std::string world;
    std::string message;
  };
  const std::vector<Case> cases = {
      {planet("gone.png", "m.png", "[0 0 1]"),
       "Cannot find file \"gone.png\" in the search directories: "},
      {planet("p.png", "gone.png", "[0 0 1]"),
       "Cannot find file \"gone.png\" in the search directories: "},
      {planet("p.png", "m4.png", "[0 0 1]"),
       "Cannot make a texture of \"" + dir_.Path("p.png") + "\" with the mask \"" +
           dir_.Path("m4.png") + "\""},
      {planet("p.png", "m.png", "[0 0 0]"), kPlanetDirectionMessage},
  };
  for (const Case& c : cases) {
    ItemImagesReset();
    Parse(c.world);
    ASSERT_EQ(SceneBuild(gWorld), 0u) << c.world;
    std::string expected = c.message;
    if (expected.rfind("Cannot find", 0) == 0) expected += SearchedDirectoryList();
    EXPECT_EQ(gSceneBuildError.message, expected);
    EXPECT_EQ(gSceneTextures.count, 0u);
  }
  // Eight scene textures: the eighth planet loads, a ninth sets the error.
  ItemImagesReset();
  Parse(planet("p.png", "m.png", "[0 1 0]"));
  gSceneTextures.count = 7;
  EXPECT_EQ(SceneBuild(gWorld), 1u);
  EXPECT_EQ(gSceneTextures.count, 8u);
  EXPECT_EQ(SceneBuild(gWorld), 0u);
  EXPECT_STREQ(gSceneBuildError.message, kTooManyPlanetsMessage);
}

// Bad references in the World, each set in a parsed world, stop the build with their message.
TEST_F(SceneBuildTest, BadReferencesInTheWorldSetTheBuildError) {
  const std::string world = std::string(kBlock) + kIsles +
                            "Composition both { + ( Cube block ( [1 1 1] 0 [1 0 0] ) ) }\n"
                            "Object { Cube ( [1 2 3] ) }\n";
  struct Case {
    std::string calls;
    void (*corrupt)(World&);
    const char* message;
  };
  const Case cases[] = {
      {"", [](World& w) { w.objectCalls[0].index = 600; }, kBadModelMessage},
      {"", [](World& w) { w.objectCalls[0].transform = 9; }, kBadTransformMessage},
      {"", [](World& w) { w.objects[0].endCall = 60000; }, "Bad Object Record !"},
      {"", [](World& w) { w.objects[0].fxIndex = 7; }, "Bad Fx Reference !"},
      {"Object { north }", [](World& w) { w.objectCalls[1].index = 64; }, kBadHeightMapMessage},
      {"Object { both }", [](World& w) { w.objectCalls[1].index = 9; }, kBadCompositionMessage},
      {"Object { both }", [](World& w) { w.compositionOperations[1].first.kind = 1; },
       kBadCompositionRecordMessage},
      {"Object { both }", [](World& w) { w.compositionOperations[1].second.transform = 7; },
       kBadTransformMessage},
      {"Object { isles }", [](World& w) { w.compositionOperations[0].second.index = 2; },
       kBadCompositionRecordMessage},
      {"Object { isles }", [](World& w) { w.heightFields[0].waterPlanes[0] = 99; },
       kBadWaterPlaneMessage},
  };
  for (const Case& c : cases) {
    Parse(world + c.calls);
    c.corrupt(gWorld);
    EXPECT_EQ(SceneBuild(gWorld), 0u) << c.message;
    EXPECT_STREQ(gSceneBuildError.message, c.message);
  }
}

// A chain of `max` over one field with a water plane: n leaves give the result n planes. 32
// fit the map (and fill the portal table past its 16); 33 do not.
TEST_F(SceneBuildTest, ComposedWaterPlanesGrowPastTheWorldsTablesUpTo32AMap) {
  for (const std::uint32_t leaves : {32u, 33u}) {
    std::string chain = "w";
    for (std::uint32_t k = 1; k < leaves; ++k) chain = "max ( w " + chain + " )";
    Parse("HeightField w { BBox { [0 0 0] [10 10 1] } WaterPlane { altitude(0) } }\n"
          "Composition c { " + chain + " }\nObject { c }");
    gPortalCount = 0;
    gGeometryBatchBuffer.waterBoxCount = 0;
    EXPECT_EQ(SceneBuild(gWorld), 0u);
    EXPECT_STREQ(gSceneBuildError.message, leaves == 32 ? "Too Many Water Planes !"
                                                         : kTooManyMapWaterPlanesMessage);
    if (leaves == 32) {
      EXPECT_EQ(gSceneHeightMaps.records[30]->waterPlaneCount, 32u);
    }
  }
}

// 64 declared fields, the parser's limit, and a composition of two: the clone lies past them.
TEST_F(SceneBuildTest, ClonesLiePastTheWorldsSixtyFourFields) {
  std::string text;
  for (int k = 0; k < 64; ++k)
    text += "HeightField h" + std::to_string(k) + " { BBox { [0 0 0] [10 10 1] } }\n";
  ASSERT_EQ(Build(text + "Composition c { min ( h62 h63 ) }\nObject { c }"), 1u)
      << gSceneBuildError.message;
  EXPECT_EQ(gSceneHeightMaps.count, 1u);
  EXPECT_NE(HeightMapAt(gWorld, 64), nullptr);
  EXPECT_EQ(gWorld.sceneInstanceCount, 64u);
}

// Far from the origin the tiles' heights lie further apart than their cuts' tolerance: a field
// two million units wide (2^7 cells of 15625 a side) is still cut tile by tile, each tile's
// cross-sections rising from its bottom to its top four cells up, no further (the first and the
// last snap to 0.06, the heights in between differ by the floats' steps there).
TEST_F(SceneBuildTest, AFieldMillionsOfUnitsWideIsCutTileByTile) {
  ASSERT_EQ(Build("HeightField f { BBox { [-1000000 -1000000 0] [1000000 1000000 60] }\n"
                  "  Layer { fractal(4 [0.012 2 0.9]) } }\nObject { f }"),
            1u)
      << gSceneBuildError.message;
  ASSERT_EQ(gItemCount, 1024u);
  for (std::uint32_t i = 0; i < gItemCount; ++i) {
    const PathSet& set = gItemPathSets.sets[i];
    ASSERT_GE(set.count, 9u) << i;
    for (std::uint32_t r = 1; r < set.count; ++r)
      ASSERT_GT(set.paths[r].height, set.paths[r - 1].height - 0.1f) << i << " " << r;
    ASSERT_NEAR(set.paths[set.count - 1].height - set.paths[0].height, 4 * 15625, 0.1) << i;
  }
  ExpectBox(&gSceneBox.min[0], {-1e6f, -1e6f, 0, 1e6f, 1e6f, 60}, 15625);
  ExpectSoundBatch();
}

// A field 1e30 high is refined to the finest level everywhere: its tiles pass the batch
// buffer's room, which stops the build with its message before any item would overflow it.
TEST_F(SceneBuildTest, GeometryPastTheBatchBuffersRoomSetsTheBuildError) {
  EXPECT_EQ(Build("HeightField f { BBox { [0 0 0] [100 100 1e30] } Layer { fractal(4 [0.01]) } }\n"
                  "Object { f }"),
            0u);
  EXPECT_STREQ(gSceneBuildError.message, kGeometryBufferFullMessage);
  const GeometryBatchBuffer& b = gGeometryBatchBuffer;
  EXPECT_GT(b.indexCount, b.indexBytes / 4);  // it was half full at least
  EXPECT_TRUE(BatchHasRoom(b, 0, 0));
  ExpectSoundBatch();
}

TEST_F(SceneBuildTest, AStopFromTheCallbackKeepsWhatWasMade) {
  gReports = 0;
  gBuildProgress.callback = Stop;
  EXPECT_EQ(Build("Object { Cube Sphere }"), 0u);
  EXPECT_FALSE(SceneBuildFailed());
  EXPECT_EQ(gWorld.sceneInstanceCount, 1u);
  EXPECT_EQ(gReports, 1u);
}

TEST_F(SceneBuildTest, VertexFormatsFollowTheObjectsFxOutputs) {
  ASSERT_EQ(Build("Surface a() { =(diffuse, 1) }\n"
                  "Surface b() { =(diffuse, 1) =(emissive, 1) }\n"
                  "Surface c() { =(specular, 1) }\n"
                  "Surface d() { =(specular, 1) =(emissive, 1) }\n"
                  "Object { Cube a() } Object { Cube b() } Object { Cube c() }\n"
                  "Object { Cube d() } Object { Cube }"),
            1u)
      << gSceneBuildError.message;
  const std::uint32_t formats[] = {25, 27, 29, 31, 25};
  for (std::uint32_t r = 1; r <= 5; ++r)
    EXPECT_EQ(gWorld.sceneInstances[r].vertexFormat, formats[r - 1]) << r;
  EXPECT_EQ(gWorld.sceneInstances[5].fxIndex, 0xFFFF);
  EXPECT_EQ(gWorld.sceneInstances[1].fxIndex, gWorld.objects[0].fxIndex);
}

}  // namespace
}  // namespace veskor::test
