// Scene objects drawn on Mesa and read back: an object of three quads (second, third and main
// range) and a further range, under a world matrix, in every object mode; the contour bands
// from a test image, from the bands made when the image is missing or unreadable, and their
// reload per context generation; the reduced prefix in a portal's view; the triangle counts;
// and after every call the modelview stack, the client arrays and the GL error as before. Then
// the wire box in feedback mode and the draw walk's depth offset and water cut.
#include "render/object_draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "foundation/search_dirs.h"
#include "geometry/item_tables.h"
#include "geometry/skin_slot.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "render/object_passes.h"
#include "render/renderer_globals.h"
#include "render/scene_grid_walks.h"
#include "support/gl_test_fixture.h"
#include "support/message_capture.h"
#include "support/png_test_images.h"
#include "support/temp_dir.h"
#include "support/kernel_tables.h"

namespace veskor {
namespace {

using test::ReadPixel;
using test::Rgba;

constexpr std::uint32_t kRecord = 100, kItem = 200;

// Format 2 (P N s t): quads in object space at x0..x0 + 0.5, y0..y0 + h; z = 100 y so that
// the contour coordinate t = 0.01 z equals y.
std::vector<float> gVertices;
std::vector<std::uint16_t> gIndices;

void AddQuad(float x0, float y0, float h) {
  const float xy[4][2] = {{x0, y0}, {x0 + 0.5f, y0}, {x0 + 0.5f, y0 + h}, {x0, y0 + h}};
  for (const auto& p : xy)
    gVertices.insert(gVertices.end(), {p[0], p[1], 100 * p[1], 0, 0, 1, 0.5f, 0.5f});
}
void AddQuadIndices(std::uint16_t first) {
  for (std::uint16_t i : {0, 1, 2, 0, 2, 3}) gIndices.push_back(std::uint16_t(first + i));
}
BatchRange Range(std::uint32_t firstFloat, std::uint32_t floats, std::uint32_t firstIndex) {
  return {firstFloat, floats, firstIndex, 6, kNoWaterBox, 0, 0, 0};
}

GLint Depth(GLenum which) {
  GLint depth = -1;
  glGetIntegerv(which, &depth);
  return depth;
}

bool Near(const Rgba& p, int r, int g, int b, int tolerance = 3) {
  return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance &&
         std::abs(p.b - b) <= tolerance;
}

PFNGLLOCKARRAYSEXTPROC gDriverLock;
PFNGLUNLOCKARRAYSEXTPROC gDriverUnlock;
std::vector<GLsizei> gLocked;
int gUnlocks;
void APIENTRY CountingLock(GLint first, GLsizei count) {
  gLocked.push_back(first == 0 ? count : -1);
  gDriverLock(first, count);
}
void APIENTRY CountingUnlock() {
  ++gUnlocks;
  gDriverUnlock();
}

// Window pixel of the world point (x, y) under the identity view.
int Px(float v) { return int((v + 1) * 32); }

class ObjectDrawGlTest : public test::GlTest {
 protected:
  test::ScopedKernelTable table_;
  void SetUp() override {
    GlTest::SetUp();
    LoadWglExtensions();
    LoadGlExtensions();
    if (TextureNameTableCount == 0) InitTextureNames();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    gVertices.clear();
    gIndices.clear();
    // Object x: second range at -1.2, third at -0.6, main at 0 (y -0.5..0.5), further range at
    // 0 (y 0.6..0.9); the world matrix moves everything 0.25 along x.
    AddQuad(-1.2f, -0.5f, 1), AddQuad(-0.6f, -0.5f, 1), AddQuad(0, -0.5f, 1);
    AddQuad(0, 0.6f, 0.3f);
    AddQuadIndices(0), AddQuadIndices(4), AddQuadIndices(8), AddQuadIndices(0);
    saved = {gGeometryBatchBuffer.vertices, gGeometryBatchBuffer.indices};
    gGeometryBatchBuffer.vertices = gVertices.data();
    gGeometryBatchBuffer.indices = gIndices.data();
    ItemDrawRecord& r = gBatchItemRecords[kRecord];
    r = ItemDrawRecord{};
    r.capA = Range(0, 96, 0);
    r.capB = Range(32, 32, 6);
    r.mainRanges[0] = Range(0, 96, 12);
    r.mainRanges[1] = Range(96, 32, 18);
    r.rangeCount = 2;
    r.format = 2;
    object = SceneObject{};
    object.firstBatchItem = kRecord;
    object.batchItemCount = 1;
    object.firstItem = kItem;
    object.visible = 1;
    TransformNodeInit(object.transform);
    TransformNodeSetTranslation(object.transform, 0.25f, 0, 0);
    CurrentPortalIndex = -1;
    modelviewDepth = Depth(GL_MODELVIEW_STACK_DEPTH);
  }
  void TearDown() override {
    gGeometryBatchBuffer.vertices = saved.first;
    gGeometryBatchBuffer.indices = saved.second;
    CurrentPortalIndex = -1;
    GlTest::TearDown();
  }

  // What every draw leaves: the matrix stacks, no client array on, client unit 0 active.
  void ExpectCleanState(const std::string& what) {
    EXPECT_EQ(Depth(GL_MODELVIEW_STACK_DEPTH), modelviewDepth) << what;
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY)) << what;
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY)) << what;
    EXPECT_EQ(Depth(GL_CLIENT_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB) << what;
    for (GLenum unit = 0; unit < 4; ++unit) {
      glClientActiveTextureARB(GL_TEXTURE0_ARB + unit);
      EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY)) << what << " unit " << unit;
    }
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    EXPECT_EQ(Depth(GL_TEXTURE_STACK_DEPTH), 1) << what;
    EXPECT_EQ(glGetError(), GLenum{GL_NO_ERROR}) << what;
  }

  std::uint32_t Draw(std::uint32_t flags) {
    glClear(GL_COLOR_BUFFER_BIT);
    const std::uint32_t t = DrawSceneObject(object, flags);
    ExpectCleanState("flags " + std::to_string(flags));
    return t;
  }

  // Contour search directories: all five at `dir`.
  static void SearchIn(const std::string& dir) {
    ExtraSearchDirsClear();
    ASSERT_TRUE(SetSearchDirs(dir.c_str(), dir.c_str(), dir.c_str(), dir.c_str(), dir.c_str()));
  }

  std::pair<float*, std::uint16_t*> saved;
  SceneObject object;
  GLint modelviewDepth = 0;
};

// Screen centres of the three quads (after the world matrix) and of the further range.
constexpr float kCapAX = -0.7f, kCapBX = -0.1f, kMainX = 0.5f, kFurtherY = 0.75f;

TEST_F(ObjectDrawGlTest, FlatAndLineColoursPerRange) {
  EXPECT_EQ(Draw(kObjectModeFlat), 8u);
  EXPECT_TRUE(Near(ReadPixel(Px(kCapAX), 32), 102, 102, 255));
  EXPECT_TRUE(Near(ReadPixel(Px(kCapBX), 32), 255, 102, 102));
  EXPECT_TRUE(Near(ReadPixel(Px(kMainX), 32), 255, 255, 255));
  EXPECT_TRUE(Near(ReadPixel(Px(kMainX), Px(kFurtherY)), 255, 255, 255));
  EXPECT_TRUE(Near(ReadPixel(Px(0.9f), 32), 0, 0, 0));  // right of the moved main quad
  EXPECT_TRUE(Near(ReadPixel(Px(-0.97f), 32), 0, 0, 0));

  EXPECT_EQ(Draw(kObjectModeLines), 8u);
  // Lines: each colour on its quad's outline, the insides left alone.
  const struct {
    int x0, x1, r, g, b;
  } regions[] = {{Px(-0.96f), Px(-0.44f), 26, 26, 204},
                 {Px(-0.36f), Px(0.16f), 204, 26, 26},
                 {Px(0.24f), Px(0.76f), 204, 204, 204}};
  for (const auto& reg : regions) {
    int hits = 0;
    for (int x = reg.x0; x <= reg.x1; ++x)
      for (int y = 10; y < 54; ++y) hits += Near(ReadPixel(x, y), reg.r, reg.g, reg.b, 2);
    EXPECT_GT(hits, 20) << reg.r << " " << reg.g << " " << reg.b;
    EXPECT_TRUE(Near(ReadPixel((reg.x0 + reg.x1) / 2 + 3, 26), 0, 0, 0));
  }
  GLint modes[2] = {};
  glGetIntegerv(GL_POLYGON_MODE, modes);
  EXPECT_EQ(modes[0], GL_FILL);
  EXPECT_EQ(modes[1], GL_FILL);
}

// The compiled-array lock over each binding's vertices, unless the layer serves the vertex
// array range (which it reports when on).
TEST_F(ObjectDrawGlTest, LocksEachBindingUnlessTheVertexArrayRangeIsThere) {
  const char* layer = std::getenv("VESKOR_GL_COMPAT");
  const bool on = layer == nullptr || std::string(layer) != "0";
  EXPECT_EQ(HasExtension(kExtVertexArrayRange) != 0, on);
  gDriverLock = glLockArraysEXT, gDriverUnlock = glUnlockArraysEXT;
  glLockArraysEXT = CountingLock, glUnlockArraysEXT = CountingUnlock;
  // A second record left empty, as a mesh too large to batch leaves it: never locked.
  gBatchItemRecords[kRecord + 1] = ItemDrawRecord{};
  object.batchItemCount = 2;
  for (std::uint32_t mode = 0; mode < 4; ++mode) {
    gLocked.clear();
    gUnlocks = 0;
    Draw(mode);
    if (mode == 0) {  // textured: the main binding only, no pass reaching the further range
      EXPECT_EQ(gLocked, on ? std::vector<GLsizei>{} : std::vector<GLsizei>{12});
      continue;
    }
    // 96 floats of the main binding, 32 of the further range, 8 floats a vertex.
    EXPECT_EQ(gLocked, on ? std::vector<GLsizei>{} : (std::vector<GLsizei>{12, 4})) << mode;
    EXPECT_EQ(gUnlocks, on ? 0 : 2);
  }
  glLockArraysEXT = gDriverLock, glUnlockArraysEXT = gDriverUnlock;
}

TEST_F(ObjectDrawGlTest, ReducedPrefixOnlyInItsPortalsMirroredView) {
  BatchRange& main = gBatchItemRecords[kRecord].mainRanges[0];
  main.waterBox = 1;
  main.above = 1;  // the triangle (x0, y0), (x1, y0), (x1, y1)
  const int lowerRight[2] = {Px(0.7f), Px(-0.4f)}, upperLeft[2] = {Px(0.3f), Px(0.4f)};
  for (std::int32_t portal : {-1, 0, 1, 2}) {
    CurrentPortalIndex = portal;
    EXPECT_EQ(Draw(kObjectModeFlat | kDrawMirrored), 8u) << portal;
    EXPECT_TRUE(Near(ReadPixel(lowerRight[0], lowerRight[1]), 255, 255, 255)) << portal;
    const int want = portal == 1 ? 0 : 255;
    EXPECT_TRUE(Near(ReadPixel(upperLeft[0], upperLeft[1]), want, want, want)) << portal;
    EXPECT_TRUE(Near(ReadPixel(Px(kCapAX), 32), 102, 102, 255)) << portal;
  }
}

TEST_F(ObjectDrawGlTest, CountsInvisibleObjectsAndEmptyModes) {
  ItemDrawRecord& r = gBatchItemRecords[kRecord];
  r.capA.indexCount = 4;
  r.capB.indexCount = 2;  // (4 + 2) / 3 in one division: 2, not 1 + 0
  r.mainRanges[0].indexCount = 0;  // drawn (nothing) and counted 0
  for (std::uint32_t mode = 0; mode < 4; ++mode) EXPECT_EQ(Draw(mode), 4u) << mode;
  r.capA.indexCount = r.capB.indexCount = r.mainRanges[0].indexCount = 6;
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  for (std::uint32_t mode = 4; mode < 8; ++mode) {
    EXPECT_EQ(Draw(mode | 0x30), 0u) << mode;  // arrays off, matrix pushed and popped
    EXPECT_TRUE(Near(ReadPixel(Px(kMainX), 32), 0, 0, 0));
  }
  DrawItemUnmark(object);
  EXPECT_EQ(object.visible, 0u);
  glEnableClientState(GL_VERTEX_ARRAY);
  glPushMatrix();
  const GLint pushed = Depth(GL_MODELVIEW_STACK_DEPTH);
  EXPECT_EQ(DrawSceneObject(object, kObjectModeFlat), 0u);
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));  // untouched
  EXPECT_EQ(Depth(GL_MODELVIEW_STACK_DEPTH), pushed);
  EXPECT_TRUE(Near(ReadPixel(Px(kMainX), 32), 0, 0, 0));
  glPopMatrix();
  glDisableClientState(GL_VERTEX_ARRAY);
  DrawItemMark(object);
  EXPECT_EQ(object.visible, 1u);
  EXPECT_EQ(Draw(kObjectModeFlat), 8u);
  // Without a matrix the object is drawn where it is: the main quad's right part is black.
  object.transform.identity = 1;
  EXPECT_EQ(Draw(kObjectModeFlat), 8u);
  EXPECT_TRUE(Near(ReadPixel(Px(0.6f), 32), 0, 0, 0));
  EXPECT_TRUE(Near(ReadPixel(Px(0.1f), 32), 255, 255, 255));
}

// Light maps per skin texture set: set 0 for the main ranges, 1 and 2 for the second and third.
TEST_F(ObjectDrawGlTest, TexturedModeDrawsEachRangeWithItsSkinSet) {
  SkinSlot& slot = gSkinSlots[kItem];
  const float light[3] = {0.25f, 0.5f, 0.75f};
  const float sun[4] = {0.8f, 0.6f, 0.4f, 1}, sky[4] = {0.1f, 0.2f, 0.05f, 1};
  for (int k = 0; k < 3; ++k) {
    SkinTextureSet& set = slot.textureSets[k];
    FloatTexture2DRealloc(set.light, 1, 1, 1);
    std::fill_n(static_cast<float*>(TextureData(set.light)), 4, light[k]);
    Texture2DSetFilter(set.light, kFilterNearest);
    set.light.state.mode = kModePlain;
    std::copy(sun, sun + 4, set.sunColour);
    std::copy(sky, sky + 4, set.skyColour);
  }
  slot.passCount = 1;
  slot.passes[0] = {0, nullptr};
  const auto want = [&](int k, int c) { return int(std::lround((light[k] * sun[c] + sky[c]) * 255)); };
  for (std::uint32_t mirrored : {0u, kDrawMirrored}) {
    for (GLenum unit = 4; unit-- > 0;) {  // left on by whatever drew before: switched off
      glClientActiveTextureARB(GL_TEXTURE0_ARB + unit);
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    EXPECT_EQ(Draw(kObjectModeTextured | mirrored), 8u);
    const struct {
      float x, y;
      int set;
    } probes[] = {{kCapAX, 0, 1}, {kCapBX, 0, 2}, {kMainX, 0, 0}, {kMainX, kFurtherY, 0}};
    for (const auto& p : probes) {
      const Rgba px = ReadPixel(Px(p.x), Px(p.y));
      EXPECT_TRUE(Near(px, want(p.set, 0), want(p.set, 1), want(p.set, 2)))
          << p.x << " " << p.y << ": " << int(px.r) << " " << int(px.g) << " " << int(px.b);
    }
    EXPECT_EQ(ObjectPassCount, 0u);
  }
  for (int unit = 0; unit < 2; ++unit) {
    glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  }
  glActiveTextureARB(GL_TEXTURE0_ARB);
  SkinSlotRelease(slot);
  SkinSlotInit(slot);
}

// Bands of the test image: rows 0-1 red, 2-3 green, 4-5 blue, 6-7 white (file's top row first).
constexpr int kBandColours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
std::vector<std::uint8_t> BandImage(int shift) {
  return test::EncodePng(1, 8, 3, [shift](std::uint32_t, std::uint32_t y, std::uint32_t c) {
    return std::uint8_t(kBandColours[(y / 2 + shift) % 4][c]);
  });
}

// Rows of the main quad where t = y lies between the centres of a band's two texels.
void ExpectBands(int shift) {
  int checked = 0;
  for (int row = Px(-0.48f); row < Px(0.48f); ++row) {
    const double t = (row + 0.5) / 32 - 1;
    const double w = (t - std::floor(t)) * 8 - 0.5;
    if (w < 0 || int(std::floor(w)) % 2 != 0) continue;
    const int band = (int(std::floor(w)) / 2 + shift) % 4;
    const Rgba p = ReadPixel(Px(0.35f), row);  // on the main quad with or without its matrix
    EXPECT_TRUE(Near(p, kBandColours[band][0], kBandColours[band][1], kBandColours[band][2]))
        << "row " << row << ": " << int(p.r) << " " << int(p.g) << " " << int(p.b);
    ++checked;
  }
  EXPECT_GT(checked, 8);
}

TEST_F(ObjectDrawGlTest, ContoursFromTheImageOncePerContextGeneration) {
  test::TempDir dir("veskor_contour");
  dir.Write(kContourImageName, BandImage(0));
  SearchIn(dir.path());
  ContourStamp = 0;
  test::MessageCapture messages;
  EXPECT_EQ(Draw(kObjectModeContour), 8u);
  EXPECT_EQ(ContourStamp, ContextStamp + 1);
  ExpectBands(0);
  // Without a matrix the plane is (0, 0, 0.01, 0) as well: the same bands where it lies.
  object.transform.identity = 1;
  Draw(kObjectModeContour);
  ExpectBands(0);
  object.transform.identity = 0;
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  // A new image is not read until the rendering context is renewed.
  dir.Write(kContourImageName, BandImage(1));
  Draw(kObjectModeContour);
  ExpectBands(0);
  ++ContextStamp;
  Draw(kObjectModeContour);
  ExpectBands(1);
  --ContextStamp;
  ContourStamp = 0;
  EXPECT_EQ(messages.Text(), "");
}

TEST_F(ObjectDrawGlTest, MissingOrUnreadableContourImageIsReportedAndBandsDrawn) {
  test::TempDir dir("veskor_nocontour");
  SearchIn(dir.path());
  for (const char* content : {static_cast<const char*>(nullptr), "not a picture"}) {
    if (content != nullptr) dir.Write(kContourImageName, std::string_view(content));
    test::MessageCapture messages;
    ContourStamp = 0;
    EXPECT_EQ(Draw(kObjectModeContour), 8u);
    const std::string text = messages.Text();
    EXPECT_NE(text.find("Warning"), std::string::npos) << text;
    EXPECT_NE(text.find(kContourImageName), std::string::npos) << text;
    EXPECT_NE(text.find(dir.path()), std::string::npos) << text;
    EXPECT_NE(text.find(content == nullptr ? "Cannot find" : "Cannot read"), std::string::npos);
    // The bands made in memory: a pale ground crossed by dark lines.
    int ground = 0, line = 0;
    for (int row = Px(-0.48f); row < Px(0.48f); ++row) {
      const Rgba p = ReadPixel(Px(kMainX), row);
      ground += Near(p, 236, 230, 212, 2);
      line += p.r < 180;
    }
    EXPECT_GT(ground, 10);
    EXPECT_GT(line, 0);
    Draw(kObjectModeContour);  // reported once per load
    EXPECT_EQ(messages.Text(), text);
  }
  ContourStamp = 0;
}

TEST_F(ObjectDrawGlTest, WireBoxIsTwelveEdgesInFeedback) {
  std::vector<GLfloat> feedback(1024);
  glFeedbackBuffer(GLsizei(feedback.size()), GL_3D, feedback.data());
  glRenderMode(GL_FEEDBACK);
  WireBox(-0.5f, -0.25f, -0.75f, 0.5f, 0.25f, 0.75f);
  const GLint n = glRenderMode(GL_RENDER);
  std::vector<std::array<float, 6>> edges;
  int vertices = 0;
  for (GLint k = 0; k < n;) {
    const GLint token = GLint(feedback[k]);
    ASSERT_TRUE(token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) << token;
    std::array<float, 6> e;
    for (int v = 0; v < 2; ++v) {
      // Window coordinates of the 64 x 64 view: x, y from 0 to 64, depth from the ortho range.
      const float x = feedback[k + 1 + 3 * v] / 32 - 1, y = feedback[k + 2 + 3 * v] / 32 - 1;
      e[3 * v] = x, e[3 * v + 1] = y, e[3 * v + 2] = feedback[k + 3 + 3 * v];
      EXPECT_NEAR(std::fabs(x), 0.5f, 1e-4f);
      EXPECT_NEAR(std::fabs(y), 0.25f, 1e-4f);
      ++vertices;
    }
    int differ = 0;
    for (int a = 0; a < 3; ++a) differ += std::fabs(e[a] - e[a + 3]) > 1e-5f;
    EXPECT_EQ(differ, 1);  // along one axis: an edge
    if (e[0] + e[1] + e[2] > e[3] + e[4] + e[5]) std::swap_ranges(e.begin(), e.begin() + 3, e.begin() + 3);
    edges.push_back(e);
    k += 7;
  }
  EXPECT_EQ(vertices, 24);
  std::sort(edges.begin(), edges.end());
  EXPECT_EQ(std::unique(edges.begin(), edges.end()), edges.end());  // twelve different edges
  EXPECT_EQ(edges.size(), 12u);
}

struct WalkDraw {
  const SceneObject* object;
  std::uint32_t flags;
  bool offset;
  float units;
};
std::vector<WalkDraw> gWalkDraws;
std::uint32_t RecordWalkDraw(SceneObject& object, std::uint32_t flags) {
  GLfloat units = -1;
  glGetFloatv(GL_POLYGON_OFFSET_UNITS, &units);
  gWalkDraws.push_back({&object, flags, glIsEnabled(GL_POLYGON_OFFSET_FILL) == GL_TRUE, units});
  return 1;
}

TEST_F(ObjectDrawGlTest, DrawWalkDepthOffsetByBoardClassAndWaterCut) {
  SceneGrid grid;
  SceneGridInit(grid);
  SpatialGridInit(grid, nullptr, 8, 8, 0, 0, 0, 8, 8, 8);  // one cell at every level
  std::vector<SceneObject> objects(3);
  const float bottoms[3] = {0, 5, 2};
  const std::uint32_t marks[3] = {1, 0, 1};
  for (int i = 0; i < 3; ++i) {
    SceneObject& o = objects[i];
    o.flags = marks[i];
    const float box[6] = {1, 2, 1, 2, bottoms[i], bottoms[i] + 1};
    std::copy(box, box + 6, o.grid.box);
    ASSERT_EQ(SceneGridRegister(grid, &o.grid, 1, 1, bottoms[i], 2, 2, bottoms[i] + 1), 1u);
  }
  OrthoPass view;
  const float eye[3] = {1.5f, -20, 3}, d[3] = {0, 1, 0};
  for (int a = 0; a < 3; ++a) view.position[a] = eye[a], view.direction[a] = d[a];
  OrthoCameraFrameSteps(view);
  for (int s = 0; s < 4; ++s) {
    const float sign = s % 2 ? 1.0f : -1.0f;
    const float* axis = s < 2 ? view.rolledRight : view.rolledUp;
    for (int a = 0; a < 3; ++a)
      view.sideNormals[s][a] = sign * axis[a], view.sideMidPoints[s][a] = eye[a] + d[a] + 10 * sign * axis[a];
  }
  for (int a = 0; a < 3; ++a) {
    view.nearNormal[a] = -d[a], view.nearPoint[a] = eye[a] + d[a];
    view.farNormal[a] = d[a], view.farPoint[a] = eye[a] + 100 * d[a];
  }
  view.polygonOffset = 384;
  WalkDrawObject = RecordWalkDraw;
  const std::uint32_t savedClass = BoardClass;
  for (std::uint32_t board : {std::uint32_t{kBoardUnknown}, std::uint32_t{kBoardRadeon}, 0x14u}) {
    BoardClass = board;
    gWalkDraws.clear();
    EXPECT_EQ(SceneGridDrawWalk(grid, view, 0x102), 1u);
    ASSERT_EQ(gWalkDraws.size(), 3u);
    const bool offsetOn = (board & 0xF) != kBoardRadeon;
    for (const WalkDraw& w : gWalkDraws) {
      EXPECT_EQ(w.flags, 2u);
      const bool marked = w.object->flags != 0;
      EXPECT_EQ(w.offset, marked && offsetOn) << board;
      if (w.offset) {
        EXPECT_EQ(w.units, 384.0f);
      }
    }
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
  }
  BoardClass = savedClass;
  // The water cut: bottoms strictly below the altitude + 1.
  for (float altitude : {1.0f, 1.001f, -1.0f}) {
    WaterAltitude = altitude;
    gWalkDraws.clear();
    EXPECT_EQ(SceneGridDrawWalk(grid, view, 0x90), 1u);
    std::vector<const SceneObject*> drawn;
    for (const WalkDraw& w : gWalkDraws) {
      drawn.push_back(w.object);
      EXPECT_EQ(w.flags, 0u);
      EXPECT_FALSE(w.offset);
    }
    std::vector<const SceneObject*> want{&objects[0]};
    if (altitude > 1) want.push_back(&objects[2]);
    if (altitude < 0) want.clear();
    std::sort(drawn.begin(), drawn.end());
    EXPECT_EQ(drawn, want) << altitude;
  }
  // The cell display of the ray walk counts the outlined cells for the next walk's ramp.
  Camera camera;
  CameraSetPosition(camera, 1.5f, -20, 3);
  CameraSetDirection(camera, 0, 1, 0);
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  CameraFrustumFromMatrices(camera, identity, identity);
  grid.visitCounter = 0;
  std::uint32_t sum = 0;
  EXPECT_EQ(SceneGridRayWalk(grid, camera, 0x8 | 0x2, &sum), 1u);
  EXPECT_EQ(grid.visitCounter, 1u);
  EXPECT_EQ(sum, 3u);
  SceneGridDrawWalk(grid, view, 0x8);
  WalkDrawObject = DrawSceneObject;
  WaterAltitude = 0;
  SceneGridRelease(grid);
}

}  // namespace
}  // namespace veskor
