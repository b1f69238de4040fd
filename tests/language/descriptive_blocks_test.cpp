// The Camera, Examine, Focus, LOD, Info and Planet blocks on world files: what each key writes,
// the defaults of a new record, and the capacity of every table from both sides.
#include "language/descriptive_blocks.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "compile_driver.h"
#include "language/sound_block.h"
#include "language/world.h"
#include "world_text.h"

namespace veskor {
namespace {

using test::RunCompileSession;

class DescriptiveBlocksTest : public ::testing::Test {
 protected:
  std::string Parse(const std::string& text) {
    return RunCompileSession(dir_.Write("w.wld", text)).status;
  }
  test::WorldDir dir_;
};

std::vector<float> V(const float* p, int n) { return std::vector<float>(p, p + n); }

// Within the precision of the SSE reciprocal square root that normalises directions.
void ExpectNear3(const float* v, float x, float y, float z) {
  EXPECT_NEAR(v[0], x, 1e-3f);
  EXPECT_NEAR(v[1], y, 1e-3f);
  EXPECT_NEAR(v[2], z, 1e-3f);
}

TEST_F(DescriptiveBlocksTest, CameraKeysSetTheViewAndItsAxes) {
  ASSERT_EQ(Parse(R"(Camera a { position([1 2 3]) direction([0 0 -2]) depth(0.5) focalAngle(1) }
    Camera b { lookAt([3 0 0]) position([10 0 5]) depth(20000) rollAngle(90) focalAngle(179) }
    Camera c { position([1 1 1]) direction([0 1 1]) lookAt([2 1]) }
    Camera d { }
    Camera e { direction([2e-19 0 0]) }
    Camera f { direction([0 1 -0.2]) }
    Camera g { direction([0 1e30 -2e29]) }
    Camera h { direction([0 1e-30 -2e-31]) }
    Camera i { position([0 -3e38 0]) lookAt([0 3e38 -1.2e38]) }
    Camera j { position([0 0 0]) lookAt([0 1e-38 -2e-39]) }
    Camera k { direction([0 1e-45 0]) direction([1e30]) })"),
            "");
  const World& w = gWorld;
  ASSERT_EQ(w.cameraCount, 11u);
  std::uint32_t index = 9;
  ASSERT_TRUE(NameTableFind(w.cameraNames, "c", index));
  EXPECT_EQ(index, 2u);
  const Camera& a = w.cameras[0];
  EXPECT_EQ(V(a.position, 3), (std::vector<float>{1, 2, 3}));
  ExpectNear3(a.direction, 0, 0, -1);
  EXPECT_EQ(a.depth, 1.0f);
  EXPECT_EQ((std::vector<float>{a.focalAngle, a.fovy}), (std::vector<float>{1, 1}));
  // lookAt before position aims from the new camera's position (0, -4, 0).
  const Camera& b = w.cameras[1];
  ExpectNear3(b.direction, 0.6f, 0.8f, 0);
  ExpectNear3(b.right, 0.8f, -0.6f, 0);  // (d.y, -d.x, 0), and up = right x direction
  ExpectNear3(b.up, 0, 0, 1);
  EXPECT_EQ(V(b.position, 3), (std::vector<float>{10, 0, 5}));
  EXPECT_EQ(b.depth, 12000.0f);
  EXPECT_EQ((std::vector<float>{b.focalAngle, b.fovy}), (std::vector<float>{179, 179}));
  EXPECT_FLOAT_EQ(b.roll, 1.5707963f);
  // Rolled by 90 degrees the look-at up vector is the right axis (0.8, -0.6, 0).
  ExpectNear3(b.rolledUp, 0.8f, -0.6f, 0);
  // A two-component lookAt leaves the third component of the unit direction as it was:
  // (2, 1) - (1, 1) with 0.7071 gives (1, 0, 0.7071), normalised.
  ExpectNear3(w.cameras[2].direction, 0.8165f, 0, 0.5774f);
  const Camera fresh;
  EXPECT_EQ(V(w.cameras[3].position, 3), V(fresh.position, 3));
  EXPECT_EQ(w.cameras[3].depth, fresh.depth);
  EXPECT_EQ(w.cameras[3].mode, kCameraLookAt);
  // Any direction that is not zero gives its view, however short or long: its squared length
  // neither underflows nor overflows (only the zero ones are refused, test data cam_*.wld).
  // (0, 1, -0.2) normalised is (0, 0.98058, -0.19612), right (1, 0, 0), up (0, 0.19612, 0.98058).
  ExpectNear3(w.cameras[4].direction, 1, 0, 0);
  for (std::uint32_t c = 5; c < 10; ++c) {
    const Camera& camera = w.cameras[c];
    ExpectNear3(camera.direction, 0, 0.98058f, -0.19612f);
    ExpectNear3(camera.right, 1, 0, 0);
    ExpectNear3(camera.rolledUp, 0, 0.19612f, 0.98058f);
  }
  // The smallest subnormal and a later x far beyond it: (1e30, 1e-45, 0) is along x.
  ExpectNear3(w.cameras[10].direction, 1, 0, 0);
  ASSERT_EQ(Parse("Camera e { direction([1e-19 0]) }"), "");
  ExpectNear3(gWorld.cameras[0].direction, 1, 0, 0);
}

TEST_F(DescriptiveBlocksTest, ExamineFocusAndLodRecords) {
  ASSERT_EQ(Parse(R"(Examine e1 { position([1 2 3]) radius(4) focalAngle(5) }
    Examine e2 { position(-1) }
    Examine e3 { }
    Examine e4 { radius(1) }
    Focus { BBox { [0 0 0] [1 1 1] } BBox { [-5 -6 -7] [5 6 7] } }
    Focus { BBox { [2 2 2] [2 2 2] } }
    LOD { min(0.1) minTerrain([0.2]) maxObject([0.8 0.9]) maxPortal(1) minCloudLow(0.3) })"),
            "");
  const World& w = gWorld;
  ASSERT_EQ(w.examineCount, 4u);
  const ExamineRecord& e = w.examines[0];
  EXPECT_EQ((std::vector<float>{e.position[0], e.position[1], e.position[2], e.radius, e.yaw,
                                e.pitch, e.focalAngle}),
            (std::vector<float>{1, 2, 3, 4, 0, 0, 5}));
  // Without radius and focal angle a point is seen from 50 away at a new camera's 80 degrees.
  const ExamineRecord& f = w.examines[1];
  EXPECT_EQ((std::vector<float>{f.position[0], f.position[1], f.position[2], f.radius,
                                f.focalAngle}),
            (std::vector<float>{-1, 0, 0, 50, 80}));
  // Every entry is optional: without a position the point is the origin (a fresh record's).
  for (std::uint32_t i : {2u, 3u}) {
    const ExamineRecord& g = w.examines[i];
    EXPECT_EQ((std::vector<float>{g.position[0], g.position[1], g.position[2], g.radius, g.yaw,
                                  g.pitch, g.focalAngle}),
              (std::vector<float>{0, 0, 0, i == 2 ? 50.0f : 1.0f, 0, 0, 80}));
  }
  std::uint32_t index = 9;
  ASSERT_TRUE(NameTableFind(w.examineNames, "e2", index));
  EXPECT_EQ(index, 1u);
  // Two boxes in one block append one, the second.
  ASSERT_EQ(w.lod.focusCount, 2u);
  EXPECT_EQ(V(w.lod.focusBoxes[0], 6), (std::vector<float>{-5, -6, -7, 5, 6, 7}));
  EXPECT_EQ(V(w.lod.focusBoxes[1], 6), (std::vector<float>{2, 2, 2, 2, 2, 2}));
  EXPECT_EQ(w.lodBlock, 1u);
  const LodKeySet& lo = w.lodMinimum;
  const LodKeySet& hi = w.lodMaximum;
  EXPECT_EQ(V(&lo.position, 7), (std::vector<float>{0.1f, 0.2f, 0, 0, 0, 0.3f, 0}));
  EXPECT_EQ(V(&hi.position, 7), (std::vector<float>{1, 1, 1, 0.8f, 0.9f, 1, 1}));
  ASSERT_EQ(Parse(""), "");
  EXPECT_EQ(gWorld.lodBlock, 0u);
}

TEST_F(DescriptiveBlocksTest, InfoAndPlanetRecords) {
  dir_.Write("sub/more.wld", "Info { comment(\"second\") }\n");
  const std::string longest(511, 'x');
  ASSERT_EQ(Parse("Info { title(\"Dunes\") author(\"" + longest +
                  "\") }\n#include \"sub/more.wld\"\n"
                  "Planet { color(\"moon.png\") mask(\"m.png\") direction([0 0.5 1]) angularSize(3)"
                  " saturation(0.5) intensity(2) ringSize(0.4) fadeMinMax([0.1 0.9]) }\n"
                  "Planet { direction([0 0 1]) }"),
            "");
  const World& w = gWorld;
  ASSERT_EQ(w.infoCount, 2u);
  EXPECT_STREQ(w.infos[0].title, "Dunes");
  EXPECT_EQ(w.infos[0].author, longest);
  EXPECT_STREQ(w.infos[0].date, "");
  EXPECT_STREQ(w.infos[0].fileName, "w.wld");
  EXPECT_STREQ(w.infos[1].title, "");
  EXPECT_STREQ(w.infos[1].comment, "second");
  EXPECT_STREQ(w.infos[1].fileName, "more.wld");
  ASSERT_EQ(w.planetCount, 2u);
  const PlanetRecord& p = w.planets[0];
  EXPECT_STREQ(p.colour, "moon.png");
  EXPECT_STREQ(p.mask, "m.png");
  EXPECT_EQ(V(p.direction, 9), (std::vector<float>{0, 0.5f, 1, 3, 0.5f, 2, 0.4f, 0.1f, 0.9f}));
  const PlanetRecord& q = w.planets[1];
  EXPECT_STREQ(q.colour, "");
  EXPECT_EQ(V(q.direction, 9), (std::vector<float>{0, 0, 1, 0, 0, 0, 0.2f, 0, 0}));
  EXPECT_EQ(Parse("Info { title(\"" + longest + "x\") }"),
            "Syntax error file (w.wld) line (1) : String too long");
}

// Each table takes its capacity and refuses one more record, at the line of the refused block.
TEST_F(DescriptiveBlocksTest, TablesTakeTheirCapacityAndRefuseOneMore) {
  const World& w = gWorld;
  const struct {
    const char* block;
    std::uint32_t capacity;
    std::function<std::uint32_t()> count;
    const char* message;
  } cases[] = {
      {"Camera c { }", 32, [&] { return w.cameraCount; }, kTooManyCamerasMessage},
      {"Examine e { }", 32, [&] { return w.examineCount; }, kTooManyExaminesMessage},
      {"Info { }", 32, [&] { return w.infoCount; }, kTooManyInfosMessage},
      {"Planet { }", 8, [&] { return w.planetCount; }, kTooManyPlanetsMessage},
      {"Sound { }", 16, [&] { return w.soundBankCount; }, kTooManySoundBanksMessage},
      // As many focus boxes as the level-of-detail lists hold beside the extent.
      {"Focus { BBox { [0 0 0] [1 1 1] } }", kWorldFocusBoxLimit, [&] { return w.lod.focusCount; },
       kTooManyFocusBoxesMessage},
  };
  for (const auto& c : cases) {
    for (std::uint32_t n : {c.capacity, c.capacity + 1}) {
      std::string text;
      for (std::uint32_t i = 0; i < n; ++i) text += c.block + std::string("\n");
      const std::string refused = "Syntax error file (w.wld) line (" + std::to_string(n) + ") : ";
      EXPECT_EQ(Parse(text), n == c.capacity ? "" : refused + c.message) << c.block;
      EXPECT_EQ(c.count(), c.capacity) << c.block;
    }
  }
}

}  // namespace
}  // namespace veskor
