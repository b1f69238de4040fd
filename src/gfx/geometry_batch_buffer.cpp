#include "gfx/geometry_batch_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "foundation/fatal_error.h"
#include "foundation/static_order.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "gfx/texture_memory.h"
#include "platform/gl.h"

namespace veskor {

VESKOR_STATIC_STEP(kStaticStepBatchBuffer) GeometryBatchBuffer gGeometryBatchBuffer{};
float* BatchVertexBase = nullptr;
std::uint16_t* BatchIndexBase = nullptr;
const ItemDrawRecord* CurrentDrawRecord = nullptr;

namespace {

constexpr const char* kAllocationFailed = "Error : can not allocate geometry buffer";

constexpr std::uint32_t kFormatFloats[kVertexFormatCount] = {6, 8, 10, 5, 6, 7, 8, 15};

// The program's buffer lives from the static constructors to the exit handlers.
struct ProgramBuffer {
  ProgramBuffer() { GeometryBatchBufferInit(gGeometryBatchBuffer); }
  ~ProgramBuffer() { GeometryBatchBufferRelease(gGeometryBatchBuffer); }
};
VESKOR_STATIC_STEP(kStaticStepBatchBuffer) ProgramBuffer programBuffer;

void FreeStaging(GeometryBatchBuffer& buffer) {
  std::free(buffer.vertices);
  std::free(buffer.indices);
  buffer.vertices = nullptr;
  buffer.indices = nullptr;
}

void FreeVarMemory(GeometryBatchBuffer& buffer) {
  if (buffer.finalised != 0 && buffer.vertices != nullptr &&
      (buffer.memoryKind == kBatchMemoryVarLow || buffer.memoryKind == kBatchMemoryVarHigh))
    wglFreeMemoryNV(buffer.vertices);
}

void SetBases(const GeometryBatchBuffer& buffer) {
  BatchVertexBase = buffer.vertices;
  BatchIndexBase = buffer.indices;
}

bool VertexRoom(const GeometryBatchBuffer& buffer, std::uint64_t floats) {
  const std::uint64_t capacity = buffer.vertices != nullptr ? buffer.vertexBytes / 4 : 0;
  return buffer.floatCount + floats <= capacity;
}

bool IndexRoom(const GeometryBatchBuffer& buffer, std::uint64_t indices) {
  const std::uint64_t capacity = buffer.indices != nullptr ? buffer.indexBytes / 2 : 0;
  return buffer.indexCount + indices <= capacity;
}

void CheckVertexRoom(const GeometryBatchBuffer& buffer, std::uint64_t floats) {
  if (!VertexRoom(buffer, floats)) FatalError("Geometry Buffer Overflow : Too Many Vertices !");
}

void CheckIndexRoom(const GeometryBatchBuffer& buffer, std::uint64_t indices) {
  if (!IndexRoom(buffer, indices)) FatalError("Geometry Buffer Overflow : Too Many Triangles !");
}

// Bytes handed out from the final block: an empty buffer still gets a block of its own.
void* AppendFinal(MemBlock& block, std::uint32_t bytes) {
  MemBlockReserve(block, std::max<std::uint32_t>(bytes, 4));
  block.usedBytes = 0;
  return MemBlockAppend(block, bytes);
}

}  // namespace

bool BatchVarInUse(const GeometryBatchBuffer& buffer) {
  return buffer.extensionWord != nullptr && (*buffer.extensionWord & kExtVertexArrayRange) != 0;
}

std::uint32_t VertexFormatFloats(std::uint32_t code) {
  return code >= 1 && code <= kVertexFormatCount ? kFormatFloats[code - 1] : 0;
}

void GeometryBatchBufferInit(GeometryBatchBuffer& buffer) {
  buffer = GeometryBatchBuffer{};
  buffer.format = 4;
  buffer.floatsPerVertex = VertexFormatFloats(4);
  buffer.stride = 4 * buffer.floatsPerVertex;
  buffer.currentWaterBox = -1;
  WeldTableInit(buffer.weldTable);
}

void GeometryBatchBufferRelease(GeometryBatchBuffer& buffer) {
  if (BatchVertexBase == buffer.vertices) BatchVertexBase = nullptr, BatchIndexBase = nullptr;
  if (buffer.finalised != 0)
    FreeVarMemory(buffer);
  else
    FreeStaging(buffer);
  buffer.vertices = nullptr;
  buffer.indices = nullptr;
  WeldTableRelease(buffer.weldTable);
  MemBlockRelease(buffer.finalBlock);
  VmArrayRelease(buffer.clipClasses);
}

void GeometryBatchBufferClear(GeometryBatchBuffer& buffer) {
  // No unlock here: every draw unlocks the arrays it locked, and an unlock without a lock is
  // an error in the driver.
  if (buffer.finalised != 0) {
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  if (buffer.vertices != nullptr && buffer.finalised == 0) {
    FreeStaging(buffer);  // the final block stays as it is
  } else {
    FreeVarMemory(buffer);
    MemBlockRelease(buffer.finalBlock);
  }
  buffer.finalised = 0;
  buffer.vertices = nullptr;
  buffer.indices = nullptr;
  buffer.vertexBytes = buffer.indexBytes = 0;  // nothing can be appended until the next start
  buffer.vertexCount = buffer.floatCount = buffer.triangleCount = buffer.indexCount = 0;
  buffer.waterBoxCount = 0;
  buffer.currentWaterBox = -1;
  SetBases(buffer);
}

void GeometryBatchBufferStartSession(GeometryBatchBuffer& buffer,
                                     const std::uint32_t* extensionWord) {
  GeometryBatchBufferClear(buffer);
  buffer.extensionWord = extensionWord;
  WeldTableSize(buffer.weldTable);
  buffer.finalised = 0;
  buffer.memoryKind = kBatchMemoryOrdinary;
  buffer.vertices = static_cast<float*>(std::malloc(kBatchStagingVertexBytes));
  buffer.indices = static_cast<std::uint16_t*>(std::malloc(kBatchStagingIndexBytes));
  if (buffer.vertices == nullptr || buffer.indices == nullptr) {
    FreeStaging(buffer);
    FatalError(kAllocationFailed);
  }
  buffer.vertexBytes = kBatchStagingVertexBytes;
  buffer.indexBytes = kBatchStagingIndexBytes;
  SetBases(buffer);
  GeometryBatchReset(buffer);
}

void GeometryBatchReset(GeometryBatchBuffer& buffer) {
  buffer.vertexCount = buffer.floatCount = buffer.triangleCount = buffer.indexCount = 0;
  buffer.waterBoxCount = 0;
  buffer.currentWaterBox = -1;
  WeldTableReset(buffer.weldTable);
}

void GeometryBatchBufferFinalize(GeometryBatchBuffer& buffer) {
  if (buffer.finalised != 0 || buffer.vertices == nullptr) FatalError(kAllocationFailed);
  float* staging = buffer.vertices;
  std::uint16_t* stagingIndices = buffer.indices;
  buffer.finalised = 1;
  buffer.vertexBytes = 4 * buffer.floatCount;
  buffer.indexBytes = 2 * buffer.indexCount;

  float* vertices = nullptr;
  std::uint16_t* indices = nullptr;
  std::uint8_t* tail = nullptr;
  if (HasExtension(kExtVertexArrayRange)) {
    const auto bytes = static_cast<GLsizei>(buffer.vertexBytes + kBatchVertexTailBytes);
    if ((vertices = static_cast<float*>(wglAllocateMemoryNV(bytes, 0, 0, 1.0f))) != nullptr) {
      buffer.memoryKind = kBatchMemoryVarHigh;
      SetVarMemorySize(buffer.vertexBytes);
    } else if ((vertices = static_cast<float*>(wglAllocateMemoryNV(bytes, 0, 0, 0.5f))) !=
               nullptr) {
      buffer.memoryKind = kBatchMemoryVarLow;
    }
  }
  if (vertices != nullptr) {
    tail = reinterpret_cast<std::uint8_t*>(vertices) + buffer.vertexBytes;
    indices = static_cast<std::uint16_t*>(AppendFinal(buffer.finalBlock, buffer.indexBytes));
  } else {
    buffer.memoryKind = kBatchMemoryOrdinary;
    auto* bytes = static_cast<std::uint8_t*>(AppendFinal(
        buffer.finalBlock, buffer.vertexBytes + buffer.indexBytes + kBatchVertexTailBytes));
    vertices = reinterpret_cast<float*>(bytes);
    if (bytes != nullptr) {
      indices = reinterpret_cast<std::uint16_t*>(bytes + buffer.vertexBytes);
      tail = bytes + buffer.vertexBytes + buffer.indexBytes;
    }
  }
  if (vertices == nullptr || indices == nullptr) FatalError(kAllocationFailed);

  std::memcpy(vertices, staging, buffer.vertexBytes);
  std::memcpy(indices, stagingIndices, buffer.indexBytes);
  std::memset(tail, 0, kBatchVertexTailBytes);
  std::free(staging);
  std::free(stagingIndices);
  buffer.vertices = vertices;
  buffer.indices = indices;
  SetBases(buffer);
}

void SetVertexFormat(GeometryBatchBuffer& buffer, std::uint32_t code) {
  buffer.format = code;
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  if (const std::uint32_t floats = VertexFormatFloats(code); floats != 0) {
    buffer.floatsPerVertex = floats;
    buffer.stride = 4 * floats;
  }
}

void BatchAppendVertices(GeometryBatchBuffer& buffer, const MeshBuilder& mesh, std::uint32_t first,
                         std::uint32_t last) {
  const std::uint32_t format = buffer.format;
  if (first >= last || format < 1 || format > 7) return;
  const std::uint32_t f = buffer.floatsPerVertex;
  CheckVertexRoom(buffer, std::uint64_t{last - first} * f);
  // Without normals, format 2 writes (1, 0, 0), formats 1 and 3 write (0, 0, 0).
  const float noNormal[3] = {format == 2 ? 1.0f : 0.0f, 0.0f, 0.0f};
  for (std::uint32_t i = first; i < last; ++i) {
    float* out = buffer.vertices + buffer.floatCount;
    const float* t = mesh.texCoords + 4 * std::size_t{i};
    std::memcpy(out, mesh.positions + 3 * std::size_t{i}, 3 * sizeof(float));
    out += 3;
    if (format <= 3) {
      std::memcpy(out, mesh.normals != nullptr ? mesh.normals + 3 * std::size_t{i} : noNormal,
                  3 * sizeof(float));
      out += 3;
    }
    switch (format) {
      case 2:
      case 4: std::memcpy(out, t, 2 * sizeof(float)); break;
      case 3:
      case 6: std::memcpy(out, t, 4 * sizeof(float)); break;
      case 5: std::memcpy(out, t, 3 * sizeof(float)); break;
      case 7:
        std::memcpy(out, t, 2 * sizeof(float));
        std::memcpy(out + 2, t, 3 * sizeof(float));
        break;
      default: break;
    }
    ++buffer.vertexCount;
    buffer.floatCount += f;
  }
}

void BatchAppendTriangles(GeometryBatchBuffer& buffer, const MeshBuilder& mesh, std::uint32_t first,
                          std::uint32_t last) {
  if (first >= last) return;
  CheckIndexRoom(buffer, 3 * std::uint64_t{last - first});
  std::uint16_t* out = buffer.indices + buffer.indexCount;
  for (std::size_t k = 3 * std::size_t{first}; k < 3 * std::size_t{last}; ++k)
    *out++ = static_cast<std::uint16_t>(mesh.indices[k]);
  buffer.indexCount += 3 * (last - first);
  buffer.triangleCount += last - first;
}

bool BatchHasRoom(const GeometryBatchBuffer& buffer, std::uint64_t vertices,
                  std::uint64_t triangles) {
  return VertexRoom(buffer, vertices * buffer.floatsPerVertex) && IndexRoom(buffer, 3 * triangles);
}

void BatchReserveRoom(GeometryBatchBuffer& buffer, std::uint32_t vertices,
                      std::uint32_t triangles) {
  CheckVertexRoom(buffer, std::uint64_t{vertices} * buffer.floatsPerVertex);
  CheckIndexRoom(buffer, 3 * std::uint64_t{triangles});
  buffer.vertexCount += vertices;
  buffer.floatCount += vertices * buffer.floatsPerVertex;
  buffer.triangleCount += triangles;
  buffer.indexCount += 3 * triangles;
}

std::uint32_t BatchAddWaterBox(GeometryBatchBuffer& buffer, float x0, float y0, float x1, float y1,
                               float level) {
  if (buffer.waterBoxCount >= kWaterBoxCapacity) return 0;
  buffer.waterBoxes[buffer.waterBoxCount++] = WaterBox{x0, y0, x1, y1, level};
  return 1;
}

std::uint32_t BatchFindBox(const GeometryBatchBuffer& buffer, float minX, float minY, float minZ,
                           float maxX, float maxY, float maxZ, std::int32_t* index) {
  for (std::int32_t k = 0; k < buffer.waterBoxCount; ++k) {
    const WaterBox& b = buffer.waterBoxes[k];
    if (b.x0 < maxX && b.x1 > minX && b.y0 < maxY && b.y1 > minY && b.level < maxZ &&
        b.level > minZ) {
      *index = k;
      return 1;
    }
  }
  *index = buffer.waterBoxCount - 1;
  return 0;
}

}  // namespace veskor
