#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "meshlib/render_mesh.h"
#include "network_test_support.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

using test::BuildStrip;
using test::kGlTestWindowSize;
using test::ReadPixel;

constexpr std::uint32_t kPositionAsColour = 1 | (1u << kArrayColourShift);

// The driver's capabilities afresh for every test, and the unit square filling the window.
class RenderMeshGlTest : public test::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    LoadWglExtensions();
    LoadGlExtensions();
    ArrayMode = -1;
    MeshTableInit();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }
  void TearDown() override {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    GlTest::TearDown();
  }
};

// A strip of four quads squeezed into the unit square, quads 0-1 of group 0, 2-3 of group 1.
struct Strip {
  MeshNetwork network;
  explicit Strip(float shift = 0) {
    BuildStrip(network, 4, 2, false);
    for (std::uint32_t i = 0; i < network.vertexCount; ++i)
      network.vertices[i].x = network.vertices[i].x / 4 + shift;
  }
};

// Draws the mesh's groups (all, or one) with the position as colour and compares the pixels
// with the gradient it gives: red x, green y in the halves drawn, black elsewhere.
void DrawAndExpect(RenderMesh& mesh, std::int32_t group, std::uint32_t useBuffers, bool left,
                   bool right, const std::string& what) {
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  if (group < 0)
    mesh.DrawMesh(kPositionAsColour, useBuffers);
  else
    mesh.DrawMeshGroup(static_cast<std::uint32_t>(group), kPositionAsColour, useBuffers);
  glDisableClientState(GL_COLOR_ARRAY);
  for (int py = 4; py < kGlTestWindowSize; py += 8) {
    for (int px = 4; px < kGlTestWindowSize; px += 8) {
      const bool drawn = px < kGlTestWindowSize / 2 ? left : right;
      const float x = (float(px) + 0.5f) / kGlTestWindowSize,
                  y = (float(py) + 0.5f) / kGlTestWindowSize;
      const test::Rgba p = ReadPixel(px, py);
      EXPECT_NEAR(p.r, drawn ? 255 * x : 0, 3) << what << " at " << px << "," << py;
      EXPECT_NEAR(p.g, drawn ? 255 * y : 0, 3) << what << " at " << px << "," << py;
      EXPECT_EQ(p.b, 0) << what;
    }
  }
}

void DrawEveryWay(RenderMesh& mesh, const std::string& what) {
  for (std::uint32_t useBuffers : {0u, 1u}) {
    const std::string how = what + (useBuffers ? " from buffers" : " from the mesh");
    DrawAndExpect(mesh, -1, useBuffers, true, true, how);
    DrawAndExpect(mesh, 0, useBuffers, true, false, how + ", group 0");
    DrawAndExpect(mesh, 1, useBuffers, false, true, how + ", group 1");
    DrawAndExpect(mesh, 2, useBuffers, false, false, how + ", no such group");
  }
}

TEST_F(RenderMeshGlTest, ArrayFlagsChooseEachArraysSource) {
  ExtensionMask &= ~(kExtVertexArrayRange | kExtVertexArrayObject | kExtElementArray);
  Strip strip;
  RenderMesh mesh;
  mesh.BuildRenderMesh(strip.network);
  const auto* group1 = static_cast<const std::uint8_t*>(mesh.vertices.elements) +
                       mesh.Group(1).firstVertex * sizeof(RenderVertex);
  const std::uint8_t kUntouched = 0;
  // For each array: enabled, components and byte offset into the group's first vertex (-1:
  // the pointer left as it was).
  struct Array {
    bool on;
    GLint size;
    int offset;
  };
  const struct {
    std::uint32_t flags;
    Array vertex, normal, texture, colour;
  } cases[] = {
      {1 | (4u << kArrayTexCoordShift), {true, 3, 0}, {}, {true, 2, 24}, {}},
      {8 | (2u << kArrayTexCoordShift), {true, 3, 0}, {true, 3, 12}, {true, 3, 12}, {}},
      {(1u << kArrayTexCoordShift) | (2u << kArrayColourShift),
       {},
       {true, 3, 12},  // bit 6 is also a normal bit
       {true, 3, 0},
       {true, 3, 12}},
      {2 | (3u << kArrayTexCoordShift) | (5u << kArrayColourShift),
       {true, 3, 0},
       {true, 3, 12},
       {true, 0, -1},
       {true, 0, -1}},
  };
  for (const auto& c : cases) {
    glTexCoordPointer(4, GL_FLOAT, 0, &kUntouched);
    glColorPointer(4, GL_FLOAT, 0, &kUntouched);
    mesh.DrawMeshGroupState(1, c.flags, 0);
    const struct {
      GLenum array, pointer, size;
      Array want;
    } arrays[] = {
        {GL_VERTEX_ARRAY, GL_VERTEX_ARRAY_POINTER, GL_VERTEX_ARRAY_SIZE, c.vertex},
        {GL_NORMAL_ARRAY, GL_NORMAL_ARRAY_POINTER, 0, c.normal},
        {GL_TEXTURE_COORD_ARRAY, GL_TEXTURE_COORD_ARRAY_POINTER, GL_TEXTURE_COORD_ARRAY_SIZE,
         c.texture},
        {GL_COLOR_ARRAY, GL_COLOR_ARRAY_POINTER, GL_COLOR_ARRAY_SIZE, c.colour},
    };
    for (const auto& a : arrays) {
      const std::string what =
          "flags " + std::to_string(c.flags) + " array " + std::to_string(a.array);
      EXPECT_EQ(glIsEnabled(a.array) == GL_TRUE, a.want.on) << what;
      if (!a.want.on) continue;
      void* pointer = nullptr;
      glGetPointerv(a.pointer, &pointer);
      EXPECT_EQ(pointer, a.want.offset < 0 ? &kUntouched : group1 + a.want.offset) << what;
      GLint size = 3;
      if (a.size != 0) glGetIntegerv(a.size, &size);
      EXPECT_EQ(size, a.want.offset < 0 ? 4 : a.want.size) << what;
    }
    mesh.DrawMeshGroupElements(1, 0);
  }
  for (GLenum array : {GL_NORMAL_ARRAY, GL_TEXTURE_COORD_ARRAY, GL_COLOR_ARRAY})
    glDisableClientState(array);
}

// Each array mode as this driver (with or without the compatibility layer) offers it; the
// other extensions are hidden so that the mode is the one chosen.
struct ModeCase {
  const char* name;
  std::uint32_t needed, hidden;
  std::int32_t mode;
};

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class ArrayModeGlTest : public RenderMeshGlTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ArrayModeGlTest, DrawsTheGradientPerGroup) {
  const ModeCase& c = GetParam();
  if ((ExtensionMask & c.needed) != c.needed)
    GTEST_SKIP() << c.name << " needs extension bits 0x" << std::hex << c.needed
                 << " (the GL compatibility layer provides them)";
  ExtensionMask &= ~c.hidden;
  Strip strip;
  RenderMesh mesh;
  mesh.BuildRenderMesh(strip.network);
  EXPECT_EQ(ArrayMode, c.mode);
  DrawEveryWay(mesh, c.name);
  MeshTableShutdown();
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ArrayModeGlTest,
    ::testing::Values(
        ModeCase{"plain", 0, kExtVertexArrayRange | kExtVertexArrayObject | kExtElementArray, 0},
        ModeCase{"range", kExtVertexArrayRange, kExtVertexArrayObject | kExtElementArray, 1},
        ModeCase{"objects", kExtVertexArrayObject, kExtElementArray, 2},
        ModeCase{"elements", kExtVertexArrayObject | kExtElementArray, 0, 18}),
    [](const auto& param) { return std::string(param.param.name); });

// Stand-ins for the entry points Mesa lacks, so that the range and object-buffer paths run on
// it now: the range over ordinary memory, object buffers as copies read through client arrays.
struct StandIns {
  static inline int allocations = 0, frees = 0;
  static inline bool refuseMemory = false;
  static inline std::map<GLuint, std::vector<std::uint8_t>> buffers;
  static inline GLuint nextBuffer = 1, failingBuffer = 0;
  static inline const void* elements = nullptr;
  static inline GLenum elementType = 0;

  static void* Allocate(GLsizei size, GLfloat, GLfloat, GLfloat) {
    if (refuseMemory) return nullptr;
    ++allocations;
    return std::malloc(std::size_t(size) + 1);
  }
  static void Free(void* p) {
    ++frees;
    std::free(p);
  }
  static void APIENTRY Range(GLsizei, const void*) {}
  static GLuint APIENTRY NewBuffer(GLsizei size, const void* p, GLenum) {
    if (nextBuffer == failingBuffer) return ++nextBuffer, 0;
    const auto* bytes = static_cast<const std::uint8_t*>(p);
    buffers[nextBuffer].assign(bytes, bytes + size);
    return nextBuffer++;
  }
  static GLboolean APIENTRY IsBuffer(GLuint id) { return buffers.count(id) != 0; }
  static void APIENTRY FreeBuffer(GLuint id) { buffers.erase(id); }
  static void APIENTRY ArrayObject(GLenum array, GLint size, GLenum type, GLsizei stride, GLuint id,
                                   GLuint offset) {
    const std::uint8_t* p = buffers.at(id).data() + offset;
    switch (array) {
      case GL_VERTEX_ARRAY: glVertexPointer(size, type, stride, p); break;
      case GL_NORMAL_ARRAY: glNormalPointer(type, stride, p); break;
      case GL_TEXTURE_COORD_ARRAY: glTexCoordPointer(size, type, stride, p); break;
      case GL_COLOR_ARRAY: glColorPointer(size, type, stride, p); break;
      default: elements = p, elementType = type; break;
    }
  }
  static void APIENTRY DrawElements(GLenum mode, GLsizei count) {
    glDrawElements(mode, count, elementType, elements);
  }

  explicit StandIns(std::uint32_t bits) {
    ExtensionMask =
        (ExtensionMask & ~(kExtVertexArrayRange | kExtVertexArrayObject | kExtElementArray)) | bits;
    wglAllocateMemoryNV = Allocate;
    wglFreeMemoryNV = Free;
    glVertexArrayRangeNV = Range;
    glNewObjectBufferATI = NewBuffer;
    glIsObjectBufferATI = IsBuffer;
    glFreeObjectBufferATI = FreeBuffer;
    glArrayObjectATI = ArrayObject;
    glDrawElementArrayATI = DrawElements;
    allocations = frees = 0, refuseMemory = false, failingBuffer = 0;
  }
  ~StandIns() {
    while (glGetError() != GL_NO_ERROR) {  // Mesa refuses the range and element-array states
    }
  }
};

TEST_F(RenderMeshGlTest, RangeBlockHoldsEveryRegisteredMeshWithStandIns) {
  StandIns standIns(kExtVertexArrayRange);
  Strip first, second(0.5f);
  RenderMesh a, b;
  a.BuildRenderMesh(first.network);
  b.BuildRenderMesh(second.network);
  EXPECT_EQ(ArrayMode, 1);
  DrawAndExpect(a, -1, 1, true, true, "range");
  const std::uint32_t floats = a.vertices.count;
  EXPECT_TRUE(MeshTable.varAllocated == 1 && MeshTable.varActive == 1 && MeshTable.dirty == 0);
  EXPECT_EQ(MeshTable.varUsed, 2 * floats);
  EXPECT_EQ(MeshTable.varSize, 8 * floats);
  EXPECT_EQ(a.varVertices, static_cast<float*>(MeshTable.varMemory));
  EXPECT_EQ(b.varVertices, a.varVertices + floats);
  EXPECT_EQ(b.varVertices[0], static_cast<const float*>(b.vertices.elements)[0]);
  DrawAndExpect(b, -1, 1, false, true, "second mesh in the range");

  // A release refills the block in place; a larger table takes a new block.
  a.ReleaseRenderMesh();
  DrawAndExpect(b, 0, 1, false, true, "range after a release");
  EXPECT_TRUE(b.varVertices == MeshTable.varMemory && MeshTable.varUsed == floats);
  a.BuildRenderMesh(first.network);
  RenderMesh c;
  c.BuildRenderMesh(first.network);
  DrawEveryWay(a, "range of three");
  EXPECT_TRUE(StandIns::allocations == 2 && StandIns::frees == 1 &&
              MeshTable.varUsed == 3 * floats);
  // Drawing from the mesh switches the range off.
  DrawAndExpect(c, -1, 0, true, true, "own arrays");
  EXPECT_EQ(MeshTable.varActive, 0u);

  // No block: the meshes draw from their own arrays.
  MeshTableShutdown();
  EXPECT_TRUE(StandIns::frees == 2 && MeshTable.varMemory == nullptr && a.tableIndex == -1 &&
              a.varVertices == nullptr);
  StandIns::refuseMemory = true;
  a.BuildRenderMesh(first.network);
  DrawEveryWay(a, "range without memory");
  EXPECT_TRUE(MeshTable.varAllocated == 0 && a.varVertices == nullptr);
}

TEST_F(RenderMeshGlTest, ObjectBuffersPerGroupWithStandIns) {
  for (std::uint32_t bits :
       {std::uint32_t{kExtVertexArrayObject}, kExtVertexArrayObject | kExtElementArray}) {
    StandIns standIns(bits);
    ArrayMode = -1;
    const bool elements = bits & kExtElementArray;
    Strip strip;
    {
      RenderMesh mesh;
      mesh.BuildRenderMesh(strip.network);
      EXPECT_EQ(ArrayMode, elements ? 18 : 2);
      EXPECT_EQ(mesh.buffersUploaded, 1u);
      EXPECT_EQ(StandIns::buffers.size(), elements ? 4u : 2u);
      DrawEveryWay(mesh, elements ? "elements" : "objects");
      mesh.BuildRenderMesh(strip.network);  // the old buffers go first
      EXPECT_EQ(StandIns::buffers.size(), elements ? 4u : 2u);
      // One buffer that does not appear: the others are given back, the mesh draws plainly.
      StandIns::failingBuffer = StandIns::nextBuffer + 1;
      mesh.BuildRenderMesh(strip.network);
      EXPECT_TRUE(mesh.buffersUploaded == 0 && StandIns::buffers.empty());
      DrawEveryWay(mesh, "objects refused");
      StandIns::failingBuffer = 0;
      mesh.UploadMeshBuffers();
      EXPECT_EQ(mesh.buffersUploaded, 1u);
    }  // a mesh frees its buffers as it goes
    EXPECT_TRUE(StandIns::buffers.empty());
  }
}

}  // namespace
}  // namespace veskor
