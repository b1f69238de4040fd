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

TEST_F(BatchGlTest, SetVertexFormatDisablesTheArraysAndKeepsTheLastKnownStride) {
  const std::uint32_t floats[] = {6, 8, 10, 5, 6, 7, 8, 15, 15};  // code 9 keeps code 8's
  for (std::uint32_t code = 1; code <= 9; ++code) {
    for (GLenum a : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_TEXTURE_COORD_ARRAY})
      glEnableClientState(a);
    SetVertexFormat(buffer, code);
    EXPECT_EQ(buffer.format, code);
    EXPECT_EQ(buffer.floatsPerVertex, floats[code - 1]) << code;
    EXPECT_EQ(buffer.stride, 4 * floats[code - 1]) << code;
    for (GLenum a : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_TEXTURE_COORD_ARRAY})
      EXPECT_FALSE(glIsEnabled(a)) << code;
  }
}

TEST_F(BatchGlTest, AppendsWriteEachFormatsLayout) {
  TestMesh mesh;
  mesh.AddVertex({1, 2, 3}, 7, 8);
  mesh.normals = {4, 5, 6};
  mesh.texCoords = {7, 8, 9, 10};
  struct Case {
    std::uint32_t format;
    bool normals;
    std::vector<float> want;
  } cases[] = {
      {1, true, {1, 2, 3, 4, 5, 6}},
      {2, true, {1, 2, 3, 4, 5, 6, 7, 8}},
      {2, false, {1, 2, 3, 1, 0, 0, 7, 8}},
      {3, false, {1, 2, 3, 0, 0, 0, 7, 8, 9, 10}},
      {4, true, {1, 2, 3, 7, 8}},
      {5, true, {1, 2, 3, 7, 8, 9}},
      {6, true, {1, 2, 3, 7, 8, 9, 10}},
      {7, true, {1, 2, 3, 7, 8, 7, 8, 9}},
      {8, true, {}},
  };
  for (const Case& c : cases) {
    mesh.withNormals = c.normals;
    const std::uint32_t before = buffer.floatCount, vertices = buffer.vertexCount;
    SetVertexFormat(buffer, c.format);
    BatchAppendVertices(buffer, mesh.View(), 0, 1);
    BatchAppendVertices(buffer, mesh.View(), 1, 1);  // an empty span appends nothing
    EXPECT_EQ(std::vector<float>(buffer.vertices + before, buffer.vertices + buffer.floatCount),
              c.want)
        << c.format;
    EXPECT_EQ(buffer.vertexCount - vertices, c.want.empty() ? 0u : 1u);
  }
}

TEST_F(BatchGlTest, TrianglesKeepTheLow16BitsOfTheirVertexNumbers) {
  TestMesh mesh;
  mesh.indices = {65536 + 5, 65536 + 7, 9, 1, 2, 65535};
  BatchAppendTriangles(buffer, mesh.View(), 0, 2);
  EXPECT_EQ(std::vector<std::uint16_t>(buffer.indices, buffer.indices + 6),
            (std::vector<std::uint16_t>{5, 7, 9, 1, 2, 65535}));
  EXPECT_EQ(buffer.triangleCount, 2u);
  EXPECT_EQ(buffer.indexCount, 6u);
}

TEST_F(BatchGlTest, AppendingPastTheStagingBlocksIsFatal) {
  TestMesh mesh;
  mesh.AddVertex({0, 0, 0}, 0, 0);
  mesh.AddTriangle(0, 0, 0);
  SetVertexFormat(buffer, 4);
  buffer.floatCount = kBatchStagingVertexBytes / 4 - 5;  // room for exactly one vertex
  BatchAppendVertices(buffer, mesh.View(), 0, 1);
  EXPECT_FATAL(BatchAppendVertices(buffer, mesh.View(), 0, 1),
               "Geometry Buffer Overflow : Too Many Vertices !");
  EXPECT_FATAL(BatchReserveRoom(buffer, 1, 0), "Geometry Buffer Overflow : Too Many Vertices !");
  buffer.indexCount = kBatchStagingIndexBytes / 2 - 3;
  BatchAppendTriangles(buffer, mesh.View(), 0, 1);
  EXPECT_FATAL(BatchAppendTriangles(buffer, mesh.View(), 0, 1),
               "Geometry Buffer Overflow : Too Many Triangles !");
  GeometryBatchBufferClear(buffer);  // no staging blocks: nothing fits
  EXPECT_FATAL(BatchAppendTriangles(buffer, mesh.View(), 0, 1),
               "Geometry Buffer Overflow : Too Many Triangles !");
}

#if !defined(__SANITIZE_ADDRESS__)
// Starts a session with 16 MB of address space left: the 32 MB staging block cannot be had.
void StartWithLittleAddressSpace(GeometryBatchBuffer& buffer, const std::uint32_t* word) {
  long pages = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
    std::fclose(f);
  }
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
TEST_F(BatchGlTest, TheThirtyThirdWaterBoxIsRefusedWithAWarning) {
  for (int k = 0; k < kWaterBoxCapacity; ++k)
    EXPECT_EQ(BatchAddWaterBox(buffer, 0, 0, 1, 1, float(k)), 1u);
  testing::internal::CaptureStderr();
  EXPECT_EQ(BatchAddWaterBox(buffer, 0, 0, 1, 1, 99), 0u);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Warning [exclamation] Water Plane Ignored : More Than 32 Water Planes !\n");
  EXPECT_EQ(buffer.waterBoxCount, kWaterBoxCapacity);
  EXPECT_EQ(buffer.waterBoxes[31].level, 31.0f);
}

TEST_F(BatchGlTest, FindBoxTakesTheFirstBoxStrictlyInside) {
  std::int32_t k = 7;
  EXPECT_EQ(BatchFindBox(buffer, -1, -1, -1, 1, 1, 1, &k), 0u);
  EXPECT_EQ(k, -1);
  BatchAddWaterBox(buffer, 0, 0, 10, 10, 5);
  BatchAddWaterBox(buffer, -5, -5, 5, 5, 0);
  struct Case {
    float box[6];
    std::uint32_t found;
    std::int32_t index;
  } cases[] = {
      {{1, 1, 4, 2, 2, 6}, 1, 0},       // both boxes: the first added
      {{-2, -2, -1, -1, -1, 1}, 1, 1},  // only the second
      {{-2, -2, -1, 0, 0, 6}, 1, 1},    // max x = x0 of the first: strict, so the second
      {{-2, -2, 5, 1, 1, 6}, 0, 1},     // min z at the level: no box
      {{10, 1, 4, 11, 2, 6}, 0, 1},     // min x = x1 of the first
  };
  for (const Case& c : cases) {
    const float* b = c.box;
    EXPECT_EQ(BatchFindBox(buffer, b[0], b[1], b[2], b[3], b[4], b[5], &k), c.found);
    EXPECT_EQ(k, c.index);
  }
}

// Vertex-array-range memory from the heap, refused for the priorities in `refused`.
float gRefusedPriority[2];
void* FakeAllocate(GLsizei size, GLfloat, GLfloat, GLfloat priority) {
  for (float p : gRefusedPriority)
    if (p == priority) return nullptr;
  return std::malloc(static_cast<std::size_t>(size) + 1);
}
void FakeFree(void* p) { std::free(p); }

TEST_F(BatchGlTest, FinalisationTriesRangeMemoryFirstAndKeepsTheContent) {
  const auto saved = ExtensionMask;
  const auto savedAllocate = wglAllocateMemoryNV;
  const auto savedFree = wglFreeMemoryNV;
  wglAllocateMemoryNV = FakeAllocate;
  wglFreeMemoryNV = FakeFree;
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
    SetVertexFormat(buffer, 4);
    BatchAppendVertices(buffer, mesh.View(), 0, mesh.VertexCount());
    BatchAppendTriangles(buffer, mesh.View(), 0, 4);
    const std::vector<float> floats(buffer.vertices, buffer.vertices + buffer.floatCount);
    GeometryBatchBufferFinalize(buffer);
    EXPECT_EQ(buffer.memoryKind, c.kind);
    EXPECT_EQ(TextureMemory.varBytes, c.kind == kBatchMemoryVarHigh ? 6 * 5 * 4u : 0u);
    EXPECT_EQ(buffer.vertexBytes, 6 * 5 * 4u);
    EXPECT_EQ(buffer.indexBytes, 12 * 2u);
    EXPECT_EQ(BatchVertexBase, buffer.vertices);
    EXPECT_EQ(std::vector<float>(buffer.vertices, buffer.vertices + 30), floats);
    EXPECT_EQ(buffer.indices[11], mesh.indices[11]);
    if (c.kind == kBatchMemoryOrdinary) {
      EXPECT_EQ(static_cast<void*>(buffer.indices), static_cast<void*>(buffer.vertices + 30));
    }
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

TEST_F(BatchGlTest, DrawingCutsTiedRangesToTheirAboveGroupInTheirMirroredViewOnly) {
  // Three quads across the window, one per range: cap A left, main range 0 middle (its second
  // triangle "below"), a further main range right.
  TestMesh mesh;
  const auto quad = [&](float x0) {
    const auto first = mesh.VertexCount();
    for (int c = 0; c < 4; ++c)
      mesh.AddVertex({x0 + float(c & 1) * 0.6f, float(c >> 1) * 2.0f - 1, 0}, 0, 0);
    mesh.AddTriangle(first, first + 1, first + 3);
    mesh.AddTriangle(first, first + 3, first + 2);
  };
  quad(-1), quad(-0.3f);
  ItemDrawRecord record{};
  SetVertexFormat(buffer, 1);
  record.format = 1;
  record.capA = {0, 24, 0, 6, kNoWaterBox, 0, 0, 0};
  record.mainRanges[0] = {0, 48, 6, 6, 3, 1, 1, 0};
  BatchAppendVertices(buffer, mesh.View(), 0, 8);
  BatchAppendTriangles(buffer, mesh.View(), 0, 4);
  mesh = TestMesh{};
  quad(0.4f);
  record.mainRanges[1] = {48, 24, 12, 6, kNoWaterBox, 0, 0, 0};
  record.rangeCount = 2;
  BatchAppendVertices(buffer, mesh.View(), 0, 4);
  BatchAppendTriangles(buffer, mesh.View(), 0, 2);
  GeometryBatchBufferFinalize(buffer);
  EnableVertexArrays(buffer);

  // Pixels near the lower-right (first triangle) and upper-left (second) corner of each quad.
  for (std::int32_t current : {-1, 3, 2}) {
    glClear(GL_COLOR_BUFFER_BIT);
    buffer.currentWaterBox = current;
    BatchDrawItem(buffer, record);
    DisableVertexArrays(buffer);
    for (int q = 0; q < 3; ++q) {
      const int x0 = 2 + q * 22;
      const bool cut = q == 1 && current == 3;
      EXPECT_EQ(ReadPixel(x0 + 16, 4).r, 255) << q << " " << current;
      EXPECT_EQ(ReadPixel(x0 + 2, 60).r, cut ? 0 : 255) << q << " " << current;
    }
  }
}

}  // namespace
}  // namespace veskor::test
