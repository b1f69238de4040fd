// Building render meshes and the table that registers them.
#include "meshlib/render_mesh.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "meshlib/render_arrays.h"

namespace veskor {

RenderMeshTable MeshTable;
std::int32_t ArrayMode = -1;

namespace {

struct MeshTableStartup {
  MeshTableStartup() {
    MeshTableInit();
    std::atexit(MeshTableShutdown);
  }
} gMeshTableStartup;

// Leaves every registered mesh unregistered and the table empty.
void DetachMeshes() {
  for (std::uint32_t slot = 0; slot < MeshTable.meshCount; ++slot) {
    if (RenderMesh* mesh = MeshTable.meshes[slot]) {
      mesh->tableIndex = -1;
      mesh->varVertices = nullptr;
    }
    MeshTable.meshes[slot] = nullptr;
  }
  MeshTable.meshCount = 0;
  MeshTable.freeCount = 0;
  MeshTable.dirty = 1;
}

void ChooseArrayMode() {
  if (ArrayMode != -1) return;
  if (HasExtension(kExtVertexArrayObject))
    ArrayMode = static_cast<std::int32_t>(
        kArrayModeObjects | (HasExtension(kExtElementArray) ? kArrayModeElements : 0));
  else
    ArrayMode = static_cast<std::int32_t>(HasExtension(kExtVertexArrayRange) ? kArrayModeRange
                                                                             : kArrayModePlain);
}

}  // namespace

RenderMesh::RenderMesh()
    : vertices{},
      indices{},
      triangleCount(0),
      shortIndices(1),
      indices32(nullptr),
      indices16(nullptr),
      groups{},
      tableIndex(-1),
      buffersUploaded(0),
      objectBuffers{},
      varVertices(nullptr) {}

RenderMesh::~RenderMesh() {
  FreeMeshBuffers();
  ReleaseRenderMesh();
}

void RenderMesh::BuildRenderMesh(MeshNetwork& network) {
  std::uint32_t vertexBound = 0, triangles = 0;
  network.GetRenderCounts(vertexBound, triangles);  // the bound undercounts: the staging
                                                    // count sizes the vertices below
  ChooseArrayMode();
  FreeMeshBuffers();
  ReleaseRenderMesh();

  std::uint32_t staged = 0, width = kIndexAuto;
  CountRenderVertices(network, staged, width);
  shortIndices = width == kIndex16 ? 1 : 0;
  const std::uint32_t indexBytes = shortIndices ? 2 : 4;
  triangles = std::min(triangles, kTriangleGroupCapacity);  // the conversion refuses more
  if (staged > 0) {
    VmArrayReserve(vertices, staged * sizeof(RenderVertex));
    VmArrayAppend(vertices, staged * 8, sizeof(float));
  }
  if (triangles > 0) {
    VmArrayReserve(indices, 3 * triangles * indexBytes);
    VmArrayAppend(indices, 3 * triangles, indexBytes);
  }

  MeshTableAdd(*this);

  std::uint32_t vertexCount = 0;
  triangleCount = 0;
  NetworkToRenderArrays(network, this, static_cast<RenderVertex*>(vertices.elements), staged,
                        vertexCount, indices.elements, triangles, triangleCount, width);
  VmArrayPop(vertices, (staged - vertexCount) * 8, sizeof(float));
  VmArrayPop(indices, 3 * (triangles - triangleCount), indexBytes);

  // Each group's range of triangles and of the vertices they use; its indices become
  // relative to its first vertex.
  const std::uint32_t groupCount = network.groupCount;
  if (groupCount > 0) {
    VmArrayReserve(groups, groupCount * sizeof(MeshGroupRange));
    VmArrayAppend(groups, groupCount, sizeof(MeshGroupRange));
    VmArrayReserve(objectBuffers, groupCount * 2 * sizeof(std::uint32_t));
    std::fill_n(static_cast<std::uint32_t*>(
                    VmArrayAppend(objectBuffers, groupCount, 2 * sizeof(std::uint32_t))),
                2 * groupCount, 0u);
  }
  auto indexAt = [&](std::uint32_t i) -> std::uint32_t {
    return shortIndices ? static_cast<std::uint16_t*>(indices.elements)[i]
                        : static_cast<std::uint32_t*>(indices.elements)[i];
  };
  auto setIndex = [&](std::uint32_t i, std::uint32_t value) {
    if (shortIndices)
      static_cast<std::uint16_t*>(indices.elements)[i] = static_cast<std::uint16_t>(value);
    else
      static_cast<std::uint32_t*>(indices.elements)[i] = value;
  };
  bool narrow = !shortIndices;
  for (std::uint32_t g = 0; g < groupCount; ++g) {
    NetworkGroup& source = network.groups[g];
    MeshGroupRange& range = static_cast<MeshGroupRange*>(groups.elements)[g];
    range = {source.firstTriangle, source.endTriangle, 0, 0};
    if (range.endTriangle > range.firstTriangle) {
      std::uint32_t low = indexAt(3 * range.firstTriangle), high = low;
      for (std::uint32_t i = 3 * range.firstTriangle; i < 3 * range.endTriangle; ++i) {
        low = std::min(low, indexAt(i));
        high = std::max(high, indexAt(i));
      }
      range.firstVertex = low;
      range.endVertex = high + 1;
      for (std::uint32_t i = 3 * range.firstTriangle; i < 3 * range.endTriangle; ++i)
        setIndex(i, indexAt(i) - low);
    }
    source.vertexBase = range.firstVertex;
    source.reserved = range.endVertex;
    if (range.endVertex - range.firstVertex >= kMaxShortIndexVertices) narrow = false;
  }
  if (narrow && triangleCount > 0) {
    auto* wide = static_cast<const std::uint32_t*>(indices.elements);
    auto* shortened = static_cast<std::uint16_t*>(indices.elements);
    for (std::uint32_t i = 0; i < 3 * triangleCount; ++i)
      shortened[i] = static_cast<std::uint16_t>(wide[i]);
    VmArrayClear(indices);  // the same block and data, at half the length
    VmArrayAppend(indices, 3 * triangleCount, sizeof(std::uint16_t));
    shortIndices = 1;
  }
  indices16 = shortIndices ? static_cast<std::uint16_t*>(indices.elements) : nullptr;
  indices32 = shortIndices ? nullptr : static_cast<std::uint32_t*>(indices.elements);

  UploadMeshBuffers();
}

void RenderMesh::ReleaseRenderMesh() {
  VmArrayRelease(groups);
  VmArrayRelease(vertices);
  VmArrayRelease(indices);
  VmArrayRelease(objectBuffers);
  triangleCount = 0;
  shortIndices = 1;
  indices16 = nullptr;
  indices32 = nullptr;
  buffersUploaded = 0;
  varVertices = nullptr;
  if (tableIndex == -1) return;
  const auto slot = static_cast<std::uint32_t>(tableIndex);
  if (slot < MeshTable.meshCount && MeshTable.meshes[slot] == this) {
    MeshTable.meshes[slot] = nullptr;
    if (slot + 1 == MeshTable.meshCount)
      --MeshTable.meshCount;
    else
      MeshTable.freeSlots[MeshTable.freeCount++] = slot;
  }
  tableIndex = -1;
  MeshTable.dirty = 1;
}

void MeshTableInit() {
  MeshTable.varAllocated = 0;
  MeshTable.varMemory = nullptr;
  MeshTable.varSize = MeshTable.varUsed = 0;
  std::fill(std::begin(MeshTable.meshes), std::end(MeshTable.meshes), nullptr);
  MeshTable.meshCount = MeshTable.freeCount = 0;
  std::fill(std::begin(MeshTable.freeSlots), std::end(MeshTable.freeSlots), 0u);
  MeshTable.dirty = 1;
  MeshTable.varActive = 0;
}

void MeshTableShutdown() {
  if (HasExtension(kExtVertexArrayRange) && !HasExtension(kExtVertexArrayObject) &&
      MeshTable.varAllocated == 1)
    wglFreeMemoryNV(MeshTable.varMemory);
  DetachMeshes();
  MeshTable.varMemory = nullptr;
  MeshTable.varSize = MeshTable.varUsed = 0;
  MeshTable.varAllocated = MeshTable.varActive = 0;
}

void MeshTableAdd(RenderMesh& mesh) {
  MeshTable.dirty = 1;
  if (mesh.tableIndex != -1) return;
  std::uint32_t slot;
  if (MeshTable.freeCount != 0)
    slot = MeshTable.freeSlots[--MeshTable.freeCount];
  else if (MeshTable.meshCount < kMeshTableSlots)
    slot = MeshTable.meshCount++;
  else
    return;  // every slot taken: the mesh draws from its own arrays
  MeshTable.meshes[slot] = &mesh;
  mesh.tableIndex = static_cast<std::int32_t>(slot);
}

void ReleaseAllMeshBuffers() {
  for (std::uint32_t slot = 0; slot < MeshTable.meshCount; ++slot)
    if (RenderMesh* mesh = MeshTable.meshes[slot]) mesh->FreeMeshBuffers();
  DetachMeshes();
  MeshTable.varUsed = 0;
}

}  // namespace veskor
