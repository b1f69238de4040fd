// The batch range arrays drawn by llvmpipe and read back: puff slices from the finalised
// buffer (in emulated vertex-array-range memory with the compatibility layer on, locked as
// compiled arrays with it off), and the texture coordinate a unit receives, seen through a
// 3-D texture whose colour is the coordinate.
#include "environment/batch_range_arrays.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "environment/puff_meshes.h"
#include "gfx/geometry_batch_draw.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

PFNGLLOCKARRAYSEXTPROC gDriverLock;
PFNGLUNLOCKARRAYSEXTPROC gDriverUnlock;
int gLocks, gUnlocks;
GLsizei gLockedCount;
void APIENTRY CountingLock(GLint first, GLsizei count) {
  ++gLocks, gLockedCount = count;
  gDriverLock(first, count);
}
void APIENTRY CountingUnlock() {
  ++gUnlocks;
  gDriverUnlock();
}

bool CompatLayerOn() {
  const char* v = std::getenv("VESKOR_GL_COMPAT");
  return v == nullptr || std::strcmp(v, "0") != 0;
}

class BatchRangeTest : public test::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    LoadWglExtensions();
    extensionWord = LoadGlExtensions();
    GeometryBatchBufferInit(buffer);
    GeometryBatchBufferStartSession(buffer, &extensionWord);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
  }
  void TearDown() override {
    DisableVertexArrays(buffer);
    GeometryBatchBufferRelease(buffer);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    GlTest::TearDown();
  }
  std::uint32_t extensionWord = 0;
  GeometryBatchBuffer buffer;
};

TEST_F(BatchRangeTest, SlicesDrawFromTheFinalBlockAndLockOnlyWithoutTheRange) {
  // The layer provides the vertex array range; Mesa alone does not.
  EXPECT_EQ(HasExtension(kExtVertexArrayRange) != 0, CompatLayerOn());
  PuffMeshSet set{};
  BuildPuffMeshes(set, buffer);
  GeometryBatchBufferFinalize(buffer);
  EnableVertexArrays(buffer);
  EXPECT_EQ(buffer.memoryKind, CompatLayerOn() ? kBatchMemoryVarHigh : kBatchMemoryOrdinary);
  gDriverLock = glLockArraysEXT, gDriverUnlock = glUnlockArraysEXT;
  glLockArraysEXT = CountingLock, glUnlockArraysEXT = CountingUnlock;
  gLocks = gUnlocks = 0;
  glEnable(GL_CULL_FACE);  // only faces clockwise from the viewer on +z are drawn
  glCullFace(GL_BACK);
  glFrontFace(GL_CW);
  struct Case {
    int lod, slice;
    int inside[2], outside[2];               // pixels, the window spanning -1 .. 1
  } cases[] = {{7, 1, {57, 32}, {62, 32}},   // rim 0.866 (16 segments: 0.849 inside)
               {0, 8, {62, 32}, {63, 63}}};  // rim 0.998
  for (const Case& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT);
    const PuffSliceRange& range = set.slices[c.lod][c.slice];
    DrawBatchRange(buffer, range, 1);
    DrawBatchRange(buffer, set.slices[1][0], 2);  // not a mode of the puff passes: nothing
    EXPECT_EQ(test::ReadPixel(32, 32).r, 255) << c.lod;
    EXPECT_EQ(test::ReadPixel(c.inside[0], c.inside[1]).r, 255) << c.lod;
    EXPECT_EQ(test::ReadPixel(c.outside[0], c.outside[1]).r, 0) << c.lod;
    if (!CompatLayerOn()) {
      EXPECT_EQ(gLockedCount, static_cast<GLsizei>(range.floatCount / 6));
    }
  }
  glLockArraysEXT = gDriverLock, glUnlockArraysEXT = gDriverUnlock;
  glDisable(GL_CULL_FACE);
  glFrontFace(GL_CCW);
  EXPECT_EQ(gLocks, CompatLayerOn() ? 0 : 2);
  EXPECT_EQ(gUnlocks, gLocks);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A 2 x 2 x 2 texture whose linear filter turns a coordinate c in [0.25, 0.75] into the
// colour 2c - 0.5 in each component.
GLuint CoordinateTexture() {
  std::uint8_t texels[8][4];  // texel x + 2y + 4z: (x, y, z, 1)
  for (int k = 0; k < 8; ++k)
    for (int a = 0; a < 4; ++a) texels[k][a] = a == 3 || (k >> a) & 1 ? 255 : 0;
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_3D, name);
  glTexImage3D(GL_TEXTURE_3D, 0, GL_RGBA8, 2, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R})
    glTexParameteri(GL_TEXTURE_3D, wrap, GL_CLAMP_TO_EDGE);
  return name;
}

// Pixel (x, y) of the window, as a position of the view 0 .. 1.
float At(int pixel) { return (static_cast<float>(pixel) + 0.5f) / 64.0f; }

TEST_F(BatchRangeTest, UnitsReceiveTheAttributeOfTheirKind) {
  glMatrixMode(GL_PROJECTION);
  glOrtho(0, 1, 0, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  constexpr GLenum kUnit = 1;
  glActiveTexture(GL_TEXTURE0 + kUnit);
  const GLuint texture = CoordinateTexture();
  glEnable(GL_TEXTURE_3D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glActiveTexture(GL_TEXTURE0);

  // Draws the range's first `points` vertices as points and returns the coordinate each
  // received, from its pixel's colour.
  const auto seen = [&](const PuffSliceRange& range, std::uint32_t kind, const int(*pixels)[2],
                        int points) {
    glClear(GL_COLOR_BUFFER_BIT);
    BindVertexNormalArrays(buffer, range);
    BindTexCoordArrays(buffer, range, kUnit, kind);
    glDrawArrays(GL_POINTS, 0, points);
    glClientActiveTexture(GL_TEXTURE0 + kUnit);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    std::vector<float> out;
    for (int i = 0; i < points; ++i) {
      const test::Rgba c = test::ReadPixel(pixels[i][0], pixels[i][1]);
      for (const std::uint8_t v : {c.r, c.g, c.b}) out.push_back(v / 510.0f + 0.25f);
    }
    return out;
  };
  const auto expectNear = [](const std::vector<float>& got, const std::vector<float>& want,
                             const char* what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 0.006) << what << i;
  };

  // Format 5 after one vertex of another range: kind 0 is the attribute; kind 6 starts at its
  // third float, so the other two come from the next vertex's position.
  const int pixels[3][2] = {{20, 30}, {40, 22}, {28, 44}};
  const float attributes[3][3] = {{0.3f, 0.4f, 0.5f}, {0.6f, 0.35f, 0.7f}, {0.45f, 0.55f, 0.65f}};
  const float other[3] = {0, 0, 0};
  SetVertexFormat(buffer, 5);
  AppendStreamVertex(buffer, other, other, nullptr, nullptr, nullptr);
  const PuffSliceRange range5{buffer.floatCount, 18, 0, 0};
  for (int i = 0; i < 3; ++i) {
    const float p[3] = {At(pixels[i][0]), At(pixels[i][1]), 0};
    AppendStreamVertex(buffer, p, attributes[i], nullptr, nullptr, nullptr);
  }
  expectNear(seen(range5, 0, pixels, 3), {0.3f, 0.4f, 0.5f, 0.6f, 0.35f, 0.7f, 0.45f, 0.55f, 0.65f},
             "format 5 kind 0");
  expectNear(seen(range5, 6, pixels, 2), {0.5f, At(40), At(22), 0.7f, At(28), At(44)},
             "format 5 kind 6");

  // Format 8: kinds 0 to 3 are its four attributes.
  SetVertexFormat(buffer, 8);
  const PuffSliceRange range8{buffer.floatCount, 30, 0, 0};
  float a[2][4][3];  // vertex, attribute, component
  for (int i = 0; i < 24; ++i) a[i / 12][i / 3 % 4][i % 3] = 0.3f + 0.018f * static_cast<float>(i);
  for (int i = 0; i < 2; ++i) {
    const float p[3] = {At(pixels[i][0]), At(pixels[i][1]), 0};
    AppendStreamVertex(buffer, p, a[i][0], a[i][1], a[i][2], a[i][3]);
  }
  for (std::uint32_t kind = 0; kind < 4; ++kind) {
    std::vector<float> want(a[0][kind], a[0][kind] + 3);
    want.insert(want.end(), a[1][kind], a[1][kind] + 3);
    expectNear(seen(range8, kind, pixels, 2), want, "format 8 kind");
  }
  glActiveTexture(GL_TEXTURE0 + kUnit);
  glDisable(GL_TEXTURE_3D);
  glDeleteTextures(1, &texture);
  glActiveTexture(GL_TEXTURE0);
}

TEST_F(BatchRangeTest, BindingsFollowTheFormatAndLeaveOutTheUnaddressable) {
  float block[64] = {};
  float* const staging = std::exchange(buffer.vertices, block);  // released at the end
  const PuffSliceRange range{4, 15, 0, 0};
  const auto* base = reinterpret_cast<const std::uint8_t*>(block + 4);
  const auto texCoords = [] {
    void* p = nullptr;
    glGetPointerv(GL_TEXTURE_COORD_ARRAY_POINTER, &p);
    return static_cast<const std::uint8_t*>(p);
  };
  const auto clientUnit = [] {
    GLint unit = 0;
    glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &unit);
    return unit;
  };
  for (std::uint32_t format = 1; format <= 8; ++format) {
    SetVertexFormat(buffer, format);
    BindVertexNormalArrays(buffer, range);
    GLint stride = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_STRIDE, &stride);
    EXPECT_EQ(stride, static_cast<GLint>(4 * VertexFormatFloats(format)));
    EXPECT_EQ(glIsEnabled(GL_NORMAL_ARRAY) != 0, format <= 3) << format;
  }
  // Format 8 past its position kind, and codes outside 1..8, change no array and no unit.
  BindTexCoordArrays(buffer, range, 0, 4);
  for (const std::uint32_t kind : {5u, 6u, 100u}) {
    BindTexCoordArrays(buffer, range, 1, kind);
    EXPECT_EQ(texCoords(), base) << kind;
  }
  SetVertexFormat(buffer, 9);  // also disables the arrays
  BindVertexNormalArrays(buffer, range);
  BindTexCoordArrays(buffer, range, 1, 0);
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  EXPECT_EQ(clientUnit(), GL_TEXTURE0);

  // Without multitexture the active client unit gets the array, whatever unit is asked for.
  const std::uint32_t saved = std::exchange(ExtensionMask, ExtensionMask & ~kExtMultitexture);
  SetVertexFormat(buffer, 2);
  BindTexCoordArrays(buffer, range, 3, 6);
  ExtensionMask = saved;
  EXPECT_EQ(clientUnit(), GL_TEXTURE0);
  EXPECT_EQ(texCoords(), base + 24);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  buffer.vertices = staging;
}

}  // namespace
}  // namespace veskor
