// RenderMesh: a MeshNetwork made drawable (32-byte render vertices, 16- or 32-bit triangle
// indices, and per network group its range of triangles and vertices), registered in the
// global MeshTable and drawn group by group with vertex arrays in one of three array modes
// chosen once from the extensions found: plain client arrays (locked with compiled vertex
// arrays), one vertex-array-range block shared by every registered mesh, or per-group ATI
// object buffers (with ATI element arrays for the indices when present).
//
// Unlike a table that trusts its callers: the vertex array is sized from the render vertices
// actually made, a full table leaves a mesh unregistered (it then draws from its own arrays),
// a mesh unregisters itself when destroyed, emptying the table detaches the meshes it held,
// and object buffers that fail to appear are freed again.
#pragma once

#include <cstdint>

#include "foundation/vm_array.h"
#include "meshlib/mesh_network.h"
#include "meshlib/render_vertex_fans.h"

namespace veskor {

// One network group's triangles and the vertices they use. After BuildRenderMesh, the
// indices of the group's triangles are relative to its firstVertex.
struct MeshGroupRange {
  std::uint32_t firstTriangle;
  std::uint32_t endTriangle;  // one past the last
  std::uint32_t firstVertex;  // smallest vertex index of the group's triangles
  std::uint32_t endVertex;    // one past the largest
};

// Array flags of the draw calls: which client arrays are enabled and where they read.
inline constexpr std::uint32_t kArrayVertexMask = 0xF;   // any bit: the position at byte 0
inline constexpr std::uint32_t kArrayNormalMask = 0x78;  // any bit: the normal at byte 12
// 4-bit fields: texture coordinates from 1 the position, 2 the normal (3 floats each), 4 u, v;
// colours from 1 the position, 2 the normal. Another non-zero value enables the array only.
inline constexpr std::uint32_t kArrayTexCoordShift = 6;
inline constexpr std::uint32_t kArrayColourShift = 9;

class RenderMesh : public RenderObserver {
 public:
  RenderMesh();
  // Frees the object buffers and unregisters the mesh.
  virtual ~RenderMesh();
  RenderMesh(const RenderMesh&) = delete;
  RenderMesh& operator=(const RenderMesh&) = delete;

  VmArray vertices;  // of float, eight per render vertex; the count is in floats
  VmArray indices;   // three per triangle, u16 or u32; the count is in indices
  std::uint32_t triangleCount;
  std::uint32_t shortIndices;     // 1: u16 indices (also when empty); 0: u32
  std::uint32_t* indices32;       // the index data when shortIndices is 0, else null
  std::uint16_t* indices16;       // the index data when shortIndices is 1, else null
  VmArray groups;                 // of MeshGroupRange, one per network group
  std::int32_t tableIndex;        // slot in MeshTable, -1 while not registered
  std::uint32_t buffersUploaded;  // 1 when every object buffer was made
  VmArray objectBuffers;          // per group: the ATI buffers of its vertices and its indices
  float* varVertices;  // this mesh's vertices in the vertex-array-range block; null before

  // Builds the mesh from the network (converting it, sorting its groups, narrowing the
  // indices to 16 bits when every group's vertex span allows) and registers it. A rebuild
  // frees the previous object buffers and release first.
  void BuildRenderMesh(MeshNetwork& network);
  // Empties the mesh and unregisters it; its object buffers are left (FreeMeshBuffers).
  void ReleaseRenderMesh();
  // ATI mode only: one object buffer per group for its vertices, one for its indices with
  // element arrays; buffersUploaded is 1 only when every buffer was confirmed.
  void UploadMeshBuffers();
  void FreeMeshBuffers();

  // Drawing: the arrays of one group, then its triangles. A group index at or beyond the
  // group count, or a group without triangles, draws nothing.
  void SetArrayObjects(std::uint32_t flags, std::uint32_t group);
  void DrawMeshGroupState(std::uint32_t group, std::uint32_t flags, std::uint32_t useBuffers);
  void DrawMeshGroupElements(std::uint32_t group, std::uint32_t useBuffers);
  void DrawMeshTriangles(const void* indexAddress, std::uint32_t count, std::uint32_t useBuffers);
  void DrawElementArray(std::uint32_t group, std::uint32_t count);
  void DrawMeshGroup(std::uint32_t group, std::uint32_t flags, std::uint32_t useBuffers);
  void DrawMesh(std::uint32_t flags, std::uint32_t useBuffers);

  std::uint32_t GroupCount() const { return groups.count; }
  const MeshGroupRange& Group(std::uint32_t g) const {
    return static_cast<const MeshGroupRange*>(groups.elements)[g];
  }

 private:
  bool arraysLocked_ = false;  // the plain path locked the arrays of the group being drawn
};

inline constexpr std::uint32_t kMeshTableSlots = 32768;

struct RenderMeshTable {
  std::uint32_t varAllocated;  // 1 while varMemory holds a block of wglAllocateMemoryNV
  void* varMemory;
  std::uint32_t varSize;  // bytes
  std::uint32_t varUsed;  // 4-byte words filled
  RenderMesh* meshes[kMeshTableSlots];
  std::uint32_t meshCount;  // slots in use from the start (high-water mark)
  std::uint32_t freeSlots[kMeshTableSlots];
  std::uint32_t freeCount;
  std::uint32_t dirty;  // 1: the vertex-array-range block must be refilled
  std::uint32_t varActive;
};

// The one table, set up by a static constructor and torn down at normal exit.
extern RenderMeshTable MeshTable;

// The array mode, -1 until the first BuildRenderMesh chooses it: low four bits 0 plain arrays,
// 1 NV vertex array range, 2 ATI vertex array objects; bit 4 ATI element arrays.
extern std::int32_t ArrayMode;
inline constexpr std::uint32_t kArrayModePlain = 0;
inline constexpr std::uint32_t kArrayModeRange = 1;
inline constexpr std::uint32_t kArrayModeObjects = 2;
inline constexpr std::uint32_t kArrayModeElements = 16;

void MeshTableInit();
void MeshTableShutdown();
void MeshTableAdd(RenderMesh& mesh);
void ReleaseAllMeshBuffers();
// Refills the vertex-array-range block with every registered mesh's vertices when the table
// changed, and sets the range.
void UpdateVertexArrayRange();

// Enables the client arrays the flags name and points them into the render vertices at
// `first`; disables the others.
void SetVertexArrays(std::uint32_t flags, const float* first);

}  // namespace veskor
