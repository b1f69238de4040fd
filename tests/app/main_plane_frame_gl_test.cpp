// The root plane's frame with the sessions, screens and scene draw stood in: what runs before
// and after a world is ready, in which order, the counters, the texture-name renewal; and the
// GL set-up that reaches the plane tree.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/welcome_screen.h"
#include "app/window_init.h"
#include "app/window_proc.h"
#include "foundation/frame_clock.h"
#include "gfx/texture_names.h"
#include "gfx/view_plane.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

std::string gLog;
std::uint32_t gCompileResult = 1;
int gStarts = 0;

std::string Viewport() {
  GLint v[4];
  glGetIntegerv(GL_VIEWPORT, v);
  return std::to_string(v[0]) + "," + std::to_string(v[1]) + "," + std::to_string(v[2]) + "," +
         std::to_string(v[3]);
}

FrameServices Doubles() {
  return {
      [](const Camera&, World&) { gLog += "attenuate "; },
      [](World&) { gLog += "step "; },
      [](Camera&, std::uint32_t mode, std::uint32_t* polygons) {
        gLog += "draw" + std::to_string(mode) + "@" + Viewport() + " ";
        *polygons = 250000;
      },
      [](World&, Camera&) { gLog += "snapshot "; },
      [] { gLog += "close "; },
      [] { gLog += "language "; LanguageScreenPending = 0; },
      [] { gLog += "interface "; MainInterfacePending = 0; },
      [] {
        gLog += "welcome ";
        WelcomeScreenPending = 0;
        WelcomeCountdown = 1;
        WelcomePanel.ownerCallback = [] { ++gStarts; };
      },
      [](const char* path) {
        gLog += std::string("compile(") + path + ") ";
        CompileRequest = 0;
        return gCompileResult;
      },
      [] { gLog += "render@" + std::to_string(ContextStamp) + " "; },
  };
}

class MainPlaneFrameTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    gFrameServices = Doubles();
    gLog.clear();
    gCompileResult = 1;
    gStarts = 0;
    FullScreenMode = 0;
    WindowedWidth = 300;
    WindowedHeight = 400;
    WorldReady = CompileRequest = SaveViewRequest = WelcomeCountdown = DisplayMode = 0;
    LanguageScreenPending = MainInterfacePending = WelcomeScreenPending = 1;
    ExamineMode = MouseLook = 0;
    SelectedView = -1;
    *ViewCamera = Camera{};
    FrameClockStartAt(0);
    FrameClockTickAt(50'000'000);  // 0.05 s, far from the ring's 0.125: the last counts
  }
  void TearDown() override {
    gFrameServices = DefaultFrameServices();
    test::GlTest::TearDown();
  }
  MainPlane plane_;
};

TEST_F(MainPlaneFrameTest, BeforeAWorldOnlyTheCountersTheBuildersAndACompileRun) {
  CompileRequest = 1;
  gCompileResult = 0;
  PpsValue = 7;
  const std::uint32_t stamp = ContextStamp;
  MainPlaneFrame(plane_);
  EXPECT_EQ(gLog, "language interface welcome compile() ");
  EXPECT_EQ(Viewport(), "0,0,300,400");
  EXPECT_EQ(ContextStamp, stamp);  // a failed compile renews nothing and renders nothing
  EXPECT_FLOAT_EQ(FpsValue, 20.0f);
  EXPECT_EQ(PpsValue, 0.0f);
  gLog.clear();
  MainPlaneFrame(plane_);
  EXPECT_EQ(gLog, "");
}

TEST_F(MainPlaneFrameTest, TheSceneIsDrawnBelowTheMenuBarInItsDisplayMode) {
  LanguageScreenPending = MainInterfacePending = WelcomeScreenPending = 0;
  WorldReady = 1;
  GLint depthBefore = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
  // The setup slider's third level asks for the nicest filter; without the driver's filter
  // hint the frame must not name it.
  MultiSampleQuality = 1;
  for (std::uint32_t mode : {0u, 1u, 2u}) {
    gLog.clear();
    DisplayMode = mode;
    FrameCounter = 4;
    MainPlaneFrame(plane_);
    const char* sceneMode[] = {"0", "3", "1"};
    EXPECT_EQ(gLog, std::string("attenuate step draw") + sceneMode[mode] +
                        "@0,0,300,288 close ");
    EXPECT_EQ(Viewport(), "0,0,300,400");
    EXPECT_EQ(FrameCounter, 5u);
    EXPECT_FLOAT_EQ(PpsValue, 0.25f * 20);
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR});
  }
  MultiSampleQuality = 0;
  GLint depth = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, depthBefore);
  WindowedHeight = 100;  // lower than the menu bar: an empty scene viewport
  DisplayMode = 0;
  gLog.clear();
  MainPlaneFrame(plane_);
  EXPECT_EQ(gLog, "attenuate step draw0@0,0,300,0 close ");
}

TEST_F(MainPlaneFrameTest, TheFrameSteersTheCameraByTheViewChoice) {
  LanguageScreenPending = MainInterfacePending = WelcomeScreenPending = 0;
  WorldReady = 1;
  gWorld.examineCount = 1;
  gWorld.examines[0].position[0] = gWorld.examines[0].position[2] = 0;
  gWorld.examines[0].position[1] = 10;
  const float t = AverageFrameTime();
  const struct {
    std::uint32_t examine, look;
    std::int32_t view;
    std::uint16_t index;
    float roll;
    std::string state;  // position, direction, roll in degrees
  } cases[] = {
      // Yaw 250 x 0.1244 s x 0.2 = 6.22 degrees: from azimuth -90 around (0, 10, 0) at 10.
      {1, 0, -1, 0, 0, "p 1.08 0.0589 0 d -0.11 0.99 0 r 0"},
      {1, 0, -1, kNoExamine, 0, "p 0 0 0 d 0 1 0 r 0"},
      {1, 1, 2, 0, 12, "p 0 0 0 d 0 1 0 r 12"},           // flying to a view: left alone
      {0, 1, -1, 0, 0,
       "p 0 0 0 d 0.11 0.99 0 r " + std::to_string(static_cast<int>(2500 * t * 0.2f + 0.5f))},
      {0, 0, -1, 0, 12, "p 0 0 0 d 0 1 0 r 7"},
  };
  for (const auto& c : cases) {
    *ViewCamera = Camera{};
    CameraSetPosition(*ViewCamera, 0, 0, 0);
    CameraSetDirection(*ViewCamera, 0, 1, 0);
    ExamineMode = c.examine;
    MouseLook = c.look;
    SelectedView = c.view;
    ExamineIndex = c.index;
    ViewRoll = c.roll;
    ViewCamera->roll = c.roll * 3.14159265f / 180;
    DragOffsetX = 0.2f;
    DragOffsetY = 0;
    MainPlaneFrame(plane_);
    const Camera& cam = *ViewCamera;
    char state[128];
    std::snprintf(state, sizeof state, "p %.3g %.3g %.3g d %.2g %.2g %.2g r %d", cam.position[0] + 0.0,
                  cam.position[1] + 0.0, cam.position[2] + 0.0, cam.direction[0] + 0.0,
                  cam.direction[1] + 0.0, cam.direction[2] + 0.0,
                  static_cast<int>(ViewRoll + 0.5f));
    EXPECT_EQ(state, c.state) << c.examine << c.look << c.view << " " << c.index;
  }
  gWorld.examineCount = 0;
}

TEST_F(MainPlaneFrameTest, TheSaveViewCounterRunsToEightAndClearsItsBox) {
  WorldReady = 1;
  SaveViewRequest = 1;
  SaveViewCheck.checked = 1;
  std::string counts;
  for (int frame = 0; frame < 9; ++frame) {
    MainPlaneFrame(plane_);
    counts += std::to_string(SaveViewRequest);
  }
  EXPECT_EQ(counts, "234567800");
  EXPECT_EQ(SaveViewCheck.checked, 0u);
  EXPECT_EQ(gLog.find("snapshot"), gLog.rfind("snapshot"));  // one snapshot, in the first frame
  EXPECT_NE(gLog.find("snapshot"), std::string::npos);
}

TEST_F(MainPlaneFrameTest, TheWelcomeStartsInTheSixteenthFrameAfterItsScreen) {
  HidePlane(WelcomePanel);
  std::string starts;
  for (int frame = 1; frame <= 20; ++frame) {
    MainPlaneFrame(plane_);
    starts += std::to_string(gStarts);
  }
  EXPECT_EQ(starts, "00000000000000001111");
  EXPECT_EQ(WelcomePanel.hidden, 0u);
  EXPECT_EQ(WelcomeCountdown, 0u);
  WelcomePanel.ownerCallback = nullptr;
}

TEST_F(MainPlaneFrameTest, ASuccessfulCompileRenewsEveryTextureName) {
  InitTextureNames();
  for (std::uint32_t i = 0; i < kTextureNameCount; i += 1000) {
    glBindTexture(GL_TEXTURE_2D, TextureNameTable[i]);  // names in use become textures
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  NextFreshName = 17;
  const std::uint32_t stamp = ContextStamp;
  CompileRequest = 1;
  SessionStartTime = -1;
  MainPlaneFrame(plane_);
  EXPECT_EQ(gLog, "language interface welcome compile() render@" + std::to_string(stamp + 1) +
                      " ");
  EXPECT_EQ(CompileRequest + NextFreshName + TextureNamePool.freed.count, 0u);
  std::set<std::uint32_t> names(TextureNameTable, TextureNameTable + kTextureNameCount);
  EXPECT_EQ(names.size(), kTextureNameCount);
  int textures = 0;
  for (std::uint32_t name : names) textures += glIsTexture(name) ? 1 : 0;
  EXPECT_EQ(textures, 0);  // every name is a fresh one, bound to nothing yet
  EXPECT_GE(SessionStartTime, 0.0f);
  glDeleteTextures(static_cast<GLsizei>(kTextureNameCount), TextureNameTable);
}

// Planes that record the order of their Init.
std::string gInits;
struct RecordingPlane : GuiPlane {
  explicit RecordingPlane(const char* n) : name(n) {}
  void Init() override { gInits += name; }
  const char* name;
};

TEST_F(MainPlaneFrameTest, ActivationAndTheGlSetUpReachThePlaneTree) {
  RecordingPlane back("b"), inner("i"), first("1"), last("2"), front("f");
  back.style = kPlaneBack;
  front.style = kPlaneFront;
  for (GuiPlane* p : {static_cast<GuiPlane*>(&first), static_cast<GuiPlane*>(&back),
                      static_cast<GuiPlane*>(&last), static_cast<GuiPlane*>(&front)})
    AddChildPlane(plane_, *p);
  AddChildPlane(back, inner);
  for (GuiPlane* p : {static_cast<GuiPlane*>(&back), static_cast<GuiPlane*>(&first),
                      static_cast<GuiPlane*>(&last), static_cast<GuiPlane*>(&front)})
    p->enabled = 0;
  FrameCounter = 7;
  gInits.clear();
  InitGlState(plane_);
  EXPECT_EQ(gInits, "bi12f");
  EXPECT_EQ(std::to_string(plane_.style) + " " + std::to_string(plane_.enabled) + " " +
                std::to_string(back.enabled) + std::to_string(first.enabled) +
                std::to_string(last.enabled) + std::to_string(front.enabled) + " " +
                std::to_string(FrameCounter),
            "9 1 1011 0");
  EXPECT_EQ(TextureNameTableCount, kTextureNameCount);
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  EXPECT_EQ(std::to_string(m[0]) + std::to_string(m[5]) + std::to_string(m[12]) +
                std::to_string(m[13]),
            "2.000000-2.000000-1.0000001.000000");  // interface units onto the window, y down
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_CULL_FACE));
  glDeleteTextures(static_cast<GLsizei>(kTextureNameCount), TextureNameTable);
  glLoadIdentity();
}

}  // namespace
}  // namespace veskor
