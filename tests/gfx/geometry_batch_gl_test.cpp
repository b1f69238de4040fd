#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "gfx/batch_test_support.h"
#include "gfx/geometry_batch_draw.h"
#include "gfx/gl_entry_points.h"
#include "gfx/texture_memory.h"
#include "support/fatal_test.h"

namespace veskor::test {
namespace {

constexpr const char* kNoBuffer = "Error : can not allocate geometry buffer";

TEST_F(BatchGlTest, EachFormatWritesItsLayoutAndDisablesTheArrays) {
  TestMesh mesh;
  mesh.AddVertex({1, 2, 3}, 7, 8);
  mesh.normals = {4, 5, 6};
  mesh.texCoords = {7, 8, 9, 10};
  mesh.indices = {65536 + 5, 65536 + 7, 9};
  struct Case {
    std::uint32_t format, floats;
    bool normals;
    std::vector<float> want;
  } cases[] = {
      {1, 6, true, {1, 2, 3, 4, 5, 6}},
      {2, 8, true, {1, 2, 3, 4, 5, 6, 7, 8}},
      {2, 8, false, {1, 2, 3, 1, 0, 0, 7, 8}},
      {3, 10, false, {1, 2, 3, 0, 0, 0, 7, 8, 9, 10}},
      {4, 5, true, {1, 2, 3, 7, 8}},
      {5, 6, true, {1, 2, 3, 7, 8, 9}},
      {6, 7, true, {1, 2, 3, 7, 8, 9, 10}},
      {7, 8, true, {1, 2, 3, 7, 8, 7, 8, 9}},
      {8, 15, true, {}},
      {9, 15, true, {}},  // 9 keeps the last stride
  };
  for (const Case& c : cases) {
    for (GLenum a : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_TEXTURE_COORD_ARRAY})
      glEnableClientState(a);
    mesh.withNormals = c.normals;
    const std::uint32_t before = buffer.floatCount, vertices = buffer.vertexCount;
    SetVertexFormat(buffer, c.format);
    BatchAppendVertices(buffer, mesh.View(), 0, 1);
    BatchAppendVertices(buffer, mesh.View(), 1, 1);  // an empty span appends nothing
    EXPECT_EQ(std::vector<float>(buffer.vertices + before, buffer.vertices + buffer.floatCount),
              c.want)
        << c.format;
    EXPECT_EQ(buffer.vertexCount - vertices, c.want.empty() ? 0u : 1u);
    EXPECT_EQ(buffer.stride, 4 * c.floats);
    for (GLenum a : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_TEXTURE_COORD_ARRAY})
      EXPECT_FALSE(glIsEnabled(a)) << c.format;
  }
  BatchAppendTriangles(buffer, mesh.View(), 0, 1);  // vertex numbers keep their low 16 bits
  EXPECT_EQ(std::vector<std::uint16_t>(buffer.indices, buffer.indices + 3),
            (std::vector<std::uint16_t>{5, 7, 9}));
  EXPECT_EQ(buffer.triangleCount * 10 + buffer.indexCount, 13u);
}

TEST_F(BatchGlTest, AppendingPastTheStagingBlocksIsFatal) {
  TestMesh mesh;
  mesh.AddVertex({0, 0, 0}, 0, 0);
  mesh.AddTriangle(0, 0, 0);
  SetVertexFormat(buffer, 4);
  buffer.floatCount = kBatchStagingVertexBytes / 4 - 5;  // room for exactly one vertex
  buffer.indexCount = kBatchStagingIndexBytes / 2 - 3;   // and one triangle
  BatchAppendVertices(buffer, mesh.View(), 0, 1);
  BatchAppendTriangles(buffer, mesh.View(), 0, 1);
  EXPECT_FATAL(BatchAppendVertices(buffer, mesh.View(), 0, 1),
               "Geometry Buffer Overflow : Too Many Vertices !");
  EXPECT_FATAL(BatchReserveRoom(buffer, 1, 0), "Geometry Buffer Overflow : Too Many Vertices !");
  EXPECT_FATAL(BatchAppendTriangles(buffer, mesh.View(), 0, 1),
               "Geometry Buffer Overflow : Too Many Triangles !");
  GeometryBatchBufferClear(buffer);  // no staging blocks: nothing fits
  EXPECT_FATAL(BatchReserveRoom(buffer, 0, 1), "Geometry Buffer Overflow : Too Many Triangles !");
}

#if !defined(__SANITIZE_ADDRESS__)
// Starts a session with 16 MB of address space left: the 32 MB staging block cannot be had.
void StartWithLittleAddressSpace(GeometryBatchBuffer& buffer, const std::uint32_t* word) {
  long pages = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr || std::fscanf(f, "%ld", &pages) != 1) return;
  const rlim_t limit = static_cast<rlim_t>(pages) * 4096 + (16 << 20);
  const rlimit r{limit, limit};
  setrlimit(RLIMIT_AS, &r);
  GeometryBatchBufferStartSession(buffer, word);
}

TEST_F(BatchGlTest, AFailedStagingAllocationIsReported) {
  GeometryBatchBufferClear(buffer);
  EXPECT_FATAL(StartWithLittleAddressSpace(buffer, &extensionWord), kNoBuffer);
}
#endif

TEST_F(BatchGlTest, TheThirtyThirdWaterBoxIsRefused) {
  for (int k = 0; k < kWaterBoxCapacity; ++k)
    EXPECT_EQ(BatchAddWaterBox(buffer, 0, 0, 1, 1, float(k)), 1u);
  testing::internal::CaptureStderr();
  EXPECT_EQ(BatchAddWaterBox(buffer, 0, 0, 1, 1, 99), 0u);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // the producer reports it
  EXPECT_EQ(buffer.waterBoxCount, kWaterBoxCapacity);
  EXPECT_EQ(buffer.waterBoxes[31].level, 31.0f);
}

// Vertex-array-range memory from the heap, refused for the priorities listed; the size asked.
float gRefusedPriority[2];
GLsizei gAskedBytes;
void* FakeAllocate(GLsizei size, GLfloat, GLfloat, GLfloat priority) {
  gAskedBytes = size;
  if (priority == gRefusedPriority[0] || priority == gRefusedPriority[1]) return nullptr;
  return std::malloc(static_cast<std::size_t>(size) + 1);
}

TEST_F(BatchGlTest, FinalisationTriesRangeMemoryFirstAndKeepsTheContent) {
  const auto saved = ExtensionMask;
  const auto savedAllocate = wglAllocateMemoryNV;
  const auto savedFree = wglFreeMemoryNV;
  wglAllocateMemoryNV = FakeAllocate;
  wglFreeMemoryNV = std::free;
  TestMesh mesh;
  mesh.AddSheet(2, 1, [](float s, float t) { return Point{s, t, 1}; });
  struct Case {
    std::uint32_t extensions;
    float refused[2];
    std::uint32_t kind;
  } cases[] = {{kExtVertexArrayRange, {}, kBatchMemoryVarHigh},
               {kExtVertexArrayRange, {1.0f}, kBatchMemoryVarLow},
               {kExtVertexArrayRange, {1.0f, 0.5f}, kBatchMemoryOrdinary},
               {0, {}, kBatchMemoryOrdinary}};
  for (const Case& c : cases) {
    ExtensionMask = c.extensions;
    gRefusedPriority[0] = c.refused[0], gRefusedPriority[1] = c.refused[1];
    GeometryBatchBufferStartSession(buffer, &extensionWord);
    SetVarMemorySize(0);
    Batch(mesh, 4);
    const std::vector<float> floats(buffer.vertices, buffer.vertices + 30);
    GeometryBatchBufferFinalize(buffer);
    EXPECT_EQ(buffer.memoryKind, c.kind);
    EXPECT_EQ(TextureMemory.varBytes, c.kind == kBatchMemoryVarHigh ? 120u : 0u);
    EXPECT_EQ(buffer.vertexBytes * 100 + buffer.indexBytes, 120 * 100 + 24u);
    EXPECT_EQ(BatchVertexBase, buffer.vertices);
    EXPECT_EQ(std::vector<float>(buffer.vertices, buffer.vertices + 30), floats);
    EXPECT_EQ(buffer.indices[11], mesh.indices[11]);
    // Eight zero bytes of the same memory follow the vertices (after the indices in ordinary
    // memory): a format-5 range read from byte 20 of each vertex reaches that far past its end.
    const auto* tail = reinterpret_cast<const std::uint8_t*>(buffer.vertices + 30);
    if (c.kind == kBatchMemoryOrdinary) {
      EXPECT_EQ(static_cast<void*>(buffer.indices), static_cast<void*>(buffer.vertices + 30));
      EXPECT_EQ(buffer.finalBlock.usedBytes, 120u + 24 + 8);
      tail += 24;
    } else {
      EXPECT_EQ(gAskedBytes, 120 + 8);
    }
    EXPECT_EQ(std::vector<std::uint8_t>(tail, tail + 8), std::vector<std::uint8_t>(8, 0));
    EXPECT_FATAL(GeometryBatchBufferFinalize(buffer), kNoBuffer);
  }
  ExtensionMask = saved;
  wglAllocateMemoryNV = savedAllocate;
  wglFreeMemoryNV = savedFree;
}

TEST_F(BatchGlTest, AnEmptyBufferFinalisesAndASessionThatNeverFinalisedKeepsTheFinalBlock) {
  GeometryBatchBufferFinalize(buffer);
  EXPECT_NE(buffer.vertices, nullptr);
  EXPECT_EQ(buffer.vertexBytes + buffer.indexBytes, 0u);
  GeometryBatchBufferStartSession(buffer, &extensionWord);  // the final block is parked
  EXPECT_EQ(buffer.finalBlock.base, nullptr);
  buffer.finalBlock.sizeClass = 77;  // a marker: the next start must not touch the block
  GeometryBatchBufferStartSession(buffer, &extensionWord);
  EXPECT_EQ(buffer.finalBlock.sizeClass, 77u);
  EXPECT_EQ(buffer.vertexBytes, kBatchStagingVertexBytes);
  buffer.finalBlock.sizeClass = 0;
}

TEST_F(BatchGlTest, TiedRangesDrawOnlyTheirAboveGroupInTheirMirroredView) {
  // Three quads across the window: cap A, main range 0 (its second triangle "below", tied to
  // water box 3) and a further main range bound at its own first float.
  TestMesh mesh;
  for (float x0 : {-1.0f, -0.3f, 0.4f}) {
    const auto first = mesh.VertexCount();
    for (int c = 0; c < 4; ++c)
      mesh.AddVertex({x0 + float(c & 1) * 0.6f, float(c >> 1) * 2 - 1, 0}, 0, 0);
    mesh.AddTriangle(first % 8, first % 8 + 1, first % 8 + 3);
    mesh.AddTriangle(first % 8, first % 8 + 3, first % 8 + 2);
  }
  ItemDrawRecord record{};
  record.format = 1;
  record.rangeCount = 2;
  record.capA = {0, 24, 0, 6, kNoWaterBox, 0, 0, 0};
  record.mainRanges[0] = {0, 48, 6, 6, 3, 1, 1, 0};
  record.mainRanges[1] = {48, 24, 12, 6, kNoWaterBox, 0, 0, 0};
  SetVertexFormat(buffer, 1);
  BatchAppendVertices(buffer, mesh.View(), 0, 12);
  BatchAppendTriangles(buffer, mesh.View(), 0, 6);
  GeometryBatchBufferFinalize(buffer);
  EnableVertexArrays(buffer);
  for (std::int32_t current : {-1, 3, 2}) {
    glClear(GL_COLOR_BUFFER_BIT);
    buffer.currentWaterBox = current;
    BatchDrawItem(buffer, record);
    DisableVertexArrays(buffer);
    for (int q = 0; q < 3; ++q) {  // the lower-right and the upper-left triangle of each quad
      EXPECT_EQ(ReadPixel(18 + q * 22, 4).r, 255) << q << " " << current;
      EXPECT_EQ(ReadPixel(4 + q * 22, 60).r, q == 1 && current == 3 ? 0 : 255) << q << current;
    }
  }
}

}  // namespace
}  // namespace veskor::test
