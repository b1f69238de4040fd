// The view thumbnails with a scene draw stood in that fills the view with a colour made from
// the camera's position: their sizes from both sides of each power of two, their pixels, the
// examine points' and cameras' views, and the bookmarks' limits.
#include "app/view_snapshots.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/main_plane.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_names.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

struct Drawn {
  float position[3], direction[3], depth, focal, roll;
  std::int32_t rect[4];
  std::uint32_t mode;
};
std::vector<Drawn> gDrawn;

// Position components 0..255 are the colour's bytes.
void StubSceneDraw(Camera& c, std::uint32_t mode, std::uint32_t* polygons) {
  Drawn d{{c.position[0], c.position[1], c.position[2]},
          {c.direction[0], c.direction[1], c.direction[2]},
          c.depth, c.focalAngle, c.roll,
          {c.pixelRect[0], c.pixelRect[1], c.pixelRect[2], c.pixelRect[3]}, mode};
  gDrawn.push_back(d);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  glColor3ub(static_cast<GLubyte>(std::lround(c.position[0])),
             static_cast<GLubyte>(std::lround(c.position[1])),
             static_cast<GLubyte>(std::lround(c.position[2])));
  glBegin(GL_QUADS);
  glVertex2f(-1, -1), glVertex2f(1, -1), glVertex2f(1, 1), glVertex2f(-1, 1);
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  *polygons = 2;
}

Camera At(float x, float y, float z) {
  Camera c;
  CameraSetPosition(c, x, y, z);
  CameraSetDirection(c, 0, 1, 0);
  return c;
}

// Every texel of a thumbnail is (r, g, b).
bool AllOf(const Texture2D& t, int r, int g, int b) {
  const auto* p = static_cast<const std::uint8_t*>(t.pixels.data);
  const std::size_t n = std::size_t{1} << (t.pixels.log2Width + t.pixels.log2Height);
  for (std::size_t i = 0; i < n; ++i)
    if (p[3 * i] != r || p[3 * i + 1] != g || p[3 * i + 2] != b) return false;
  return t.pixels.channels == 3;
}

class ViewSnapshotsTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    LoadGlExtensions();
    if (TextureNameTableCount == 0) InitTextureNames();
    gFrameServices.sceneDraw = StubSceneDraw;
    gDrawn.clear();
    gWorld.cameraCount = gWorld.examineCount = gWorld.snapshotCount = 0;
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
  }
  void TearDown() override {
    gFrameServices = DefaultFrameServices();
    gWorld.cameraCount = gWorld.examineCount = gWorld.snapshotCount = 0;
    test::GlTest::TearDown();
  }
};

TEST_F(ViewSnapshotsTest, ThumbnailsAreTheLargestPowerOfTwoThatFitsUpTo128) {
  const struct {
    std::int32_t pixels;
    std::uint32_t log2;
  } sides[] = {{-5, 0}, {0, 0}, {1, 0}, {2, 1}, {3, 1}, {63, 5}, {64, 6},
               {100, 6}, {127, 6}, {128, 7}, {129, 7}, {5000, 7}};
  for (const auto& s : sides) EXPECT_EQ(ThumbnailLog2(s.pixels), s.log2) << s.pixels;

  // Viewports of 0, 1 and 2 pixels: narrow rows packed without padding, so every texel holds
  // the colour (rows padded to 4 bytes would leave the second row's first texel unwritten).
  const struct {
    GLint w, h;
    std::uint32_t log2W, log2H;
  } views[] = {{1, 2, 0, 1}, {2, 1, 1, 0}, {2, 2, 1, 1}, {0, 0, 0, 0}, {3, 5, 1, 2},
               {100, 128, 6, 7}};
  for (const auto& v : views) {
    SCOPED_TRACE(std::to_string(v.w) + " x " + std::to_string(v.h));
    glViewport(0, 0, v.w, v.h);
    Camera c = At(40, 90, 200);
    Texture2D t;
    MakeViewThumbnail(c, t);
    EXPECT_EQ(t.pixels.log2Width * 10 + t.pixels.log2Height, v.log2W * 10 + v.log2H);
    EXPECT_EQ(c.thumbLog2Width * 10 + c.thumbLog2Height, v.log2W * 10 + v.log2H);
    if (v.w <= 64 && v.h <= 64) {
      EXPECT_TRUE(AllOf(t, 40, 90, 200));
    }
    // The viewport and the pack alignment are as they were; the camera has its full view.
    GLint after[4], alignment = 0;
    glGetIntegerv(GL_VIEWPORT, after);
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(after[2] * 1000 + after[3], v.w * 1000 + v.h);
    EXPECT_EQ(alignment, 4);
    EXPECT_EQ(c.windowX0 + c.windowY0 + c.windowX1 * 10 + c.windowY1 * 100, 110.0f);
  }
}

TEST_F(ViewSnapshotsTest, AThumbnailIsTheViewCentredInTheWindowAndNothingElse) {
  glViewport(0, 0, 48, 40);  // a 32 x 32 thumbnail, 8 and 4 pixels in
  glClearColor(0, 0, 0, 0);
  Camera c = At(10, 200, 30);
  Texture2D t;
  MakeViewThumbnail(c, t);
  ASSERT_EQ(gDrawn.size(), 1u);
  const Drawn& d = gDrawn[0];
  EXPECT_EQ(std::vector<int>(d.rect, d.rect + 4), (std::vector<int>{8, 4, 32, 32}));
  EXPECT_EQ(d.mode, 0u);
  EXPECT_TRUE(AllOf(t, 10, 200, 30));
  // Cleared again: the next scene is drawn over nothing of the thumbnail.
  const test::Rgba p = test::ReadPixel(20, 20);
  EXPECT_EQ(p.r + p.g + p.b, 0);
  EXPECT_EQ(t.state.dirty, 0u);  // uploaded
}

TEST_F(ViewSnapshotsTest, ExaminePointsThenCamerasEachGetTheirView) {
  glViewport(0, 0, 48, 40);
  World& w = gWorld;
  // Examine points: seen from position + radius x direction of their angles, towards them.
  w.examines[0] = {{100, 20, 30}, 50, 0, 0, 35};                                // from +x
  w.examines[1] = {{10, 100, 30}, 20, static_cast<float>(M_PI / 2), 0, 70};     // from +y
  w.examineCount = 2;
  const float cams[3][3] = {{1, 2, 3}, {40, 50, 60}, {70, 80, 90}};
  for (int i = 0; i < 3; ++i) w.cameras[i] = At(cams[i][0], cams[i][1], cams[i][2]);
  w.cameras[1].depth = 777;
  w.cameraCount = 3;
  w.transitionTarget = 2;
  w.transitionStep = 50;
  CaptureViewSnapshots(w);
  ASSERT_EQ(gDrawn.size(), 5u);
  const struct {
    float position[3], direction[3], depth, focal;
  } want[] = {
      {{150, 20, 30}, {-1, 0, 0}, 5000, 35},
      {{10, 120, 30}, {0, -1, 0}, 5000, 70},
      {{1, 2, 3}, {0, 1, 0}, 1000, 80},
      {{40, 50, 60}, {0, 1, 0}, 777, 80},
      {{70, 80, 90}, {0, 1, 0}, 1000, 80},
  };
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(gDrawn[i].position[k], want[i].position[k], 1e-3f);
      EXPECT_NEAR(gDrawn[i].direction[k], want[i].direction[k], 1e-3f);
    }
    EXPECT_EQ(gDrawn[i].depth, want[i].depth);
    EXPECT_EQ(gDrawn[i].focal, want[i].focal);
    EXPECT_EQ(gDrawn[i].roll, 0.0f);
  }
  EXPECT_TRUE(AllOf(w.examineImages[0], 150, 20, 30));
  EXPECT_TRUE(AllOf(w.examineImages[1], 10, 120, 30));
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(AllOf(w.cameraThumbnails[i], static_cast<int>(cams[i][0]),
                      static_cast<int>(cams[i][1]), static_cast<int>(cams[i][2])));
  EXPECT_EQ(w.cameras[2].thumbLog2Width * 10 + w.cameras[2].thumbLog2Height, 55u);
  EXPECT_TRUE(CameraEquals(w.currentCamera, w.cameras[0]));
  EXPECT_EQ(SelectedView, -1);
  EXPECT_EQ(SelectedViewTransition, 0.0f);

  // Without cameras the view stays at the last examine point.
  w.cameraCount = 0;
  CaptureViewSnapshots(w);
  EXPECT_NEAR(w.currentCamera.position[1], 120, 1e-3f);
  EXPECT_EQ(w.currentCamera.depth, 5000);

  // A point seen from however far or near away, after one seen along -x: the view turns to it
  // (the squared length of the way to it over- or underflows a float).
  for (const float radius : {1e30f, 1e-30f}) {
    SCOPED_TRACE(radius);
    w.examines[1] = {{0, 0, 0}, radius, static_cast<float>(M_PI / 2), 0, 35};  // from +y
    CaptureViewSnapshots(w);
    EXPECT_NEAR(w.currentCamera.position[1], radius, radius * 1e-6f);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(w.currentCamera.direction[k], k == 1 ? -1 : 0, 1e-3f);
  }
}

TEST_F(ViewSnapshotsTest, BookmarksAreNewViewsUpTo32) {
  glViewport(0, 0, 48, 40);
  World& w = gWorld;
  w.cameras[0] = At(5, 6, 7);
  w.cameraCount = 1;
  Camera c = At(5, 6, 7);
  AddViewSnapshot(w, c);  // at a world camera
  EXPECT_EQ(w.snapshotCount, 0u);
  c = At(5, 6, 7.01f);
  c.roll = 0.5f;
  c.depth = 3000;
  c.focalAngle = 33;
  AddViewSnapshot(w, c);
  AddViewSnapshot(w, c);  // not moved
  ASSERT_EQ(w.snapshotCount, 1u);
  const Camera& b = w.snapshots[0];
  EXPECT_NEAR(b.roll, 0.5f, 1e-6f);
  EXPECT_EQ(b.depth, 3000.0f);
  EXPECT_EQ(b.focalAngle, 33.0f);
  EXPECT_EQ(b.mode, kCameraLookAt);
  EXPECT_EQ(b.windowX1 - b.windowX0 + b.windowY1 - b.windowY0, 2.0f);
  EXPECT_EQ(b.imageBounds[0] + b.imageBounds[2], -2.0f);
  EXPECT_TRUE(AllOf(w.snapshotImages[0], 5, 6, 7));
  // The depth within [1, 12000], from both sides.
  const float depths[4][2] = {{0.25f, 1}, {1.5f, 1.5f}, {11999, 11999}, {20000, 12000}};
  for (int i = 0; i < 4; ++i) {
    c.depth = depths[i][0];
    c.position[0] = static_cast<float>(8 - i);
    AddViewSnapshot(w, c);
    EXPECT_EQ(w.snapshots[i + 1].depth, depths[i][1]);
  }
  for (int i = 5; i < 32; ++i) {
    c.position[0] = static_cast<float>(10 + i);
    AddViewSnapshot(w, c);
  }
  EXPECT_EQ(w.snapshotCount, 32u);
  c.position[0] = 100;
  AddViewSnapshot(w, c);  // the 33rd
  EXPECT_EQ(w.snapshotCount, 32u);
  EXPECT_EQ(gDrawn.size(), 32u);
}

}  // namespace
}  // namespace veskor
