// Drawing render meshes: client arrays, the shared vertex-array-range block, ATI object
// buffers and element arrays.
#include <algorithm>
#include <cstring>

#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "meshlib/render_mesh.h"
#include "platform/gl.h"

namespace veskor {

namespace {

constexpr GLsizei kStride = sizeof(RenderVertex);
constexpr std::uint32_t kFloatsPerVertex = sizeof(RenderVertex) / sizeof(float);

std::uint32_t Mode() {
  return ArrayMode < 0 ? kArrayModePlain : static_cast<std::uint32_t>(ArrayMode) & 0xF;
}
bool ElementArrays() {
  return ArrayMode >= 0 && (static_cast<std::uint32_t>(ArrayMode) & kArrayModeElements) != 0;
}
// The range is used only where the ATI objects are not.
bool RangeUsable() {
  return HasExtension(kExtVertexArrayRange) && !HasExtension(kExtVertexArrayObject);
}

// Enables or disables each client array as the flags say; `point(array, size, byteOffset)`
// points an array whose source the flags name (an enabled array of another source keeps its
// pointer).
template <class Point>
void ApplyArrayFlags(std::uint32_t flags, Point point) {
  auto set = [&](GLenum array, std::uint32_t source, GLint size, std::uint32_t offset) {
    if (source == 0) {
      glDisableClientState(array);
      return;
    }
    glEnableClientState(array);
    if (size != 0) point(array, size, offset);
  };
  set(GL_VERTEX_ARRAY, flags & kArrayVertexMask, 3, 0);
  set(GL_NORMAL_ARRAY, flags & kArrayNormalMask, 3, 12);
  // Sources of the texture coordinates and colours by their 4-bit field: 1 the position, 2
  // the normal, 4 (texture coordinates only) u and v.
  struct Source {
    GLint size;
    std::uint32_t offset;
  };
  static constexpr Source kSources[5] = {{0, 0}, {3, 0}, {3, 12}, {0, 0}, {2, 24}};
  const std::uint32_t texture = (flags >> kArrayTexCoordShift) & 0xF;
  const Source t = texture < 5 ? kSources[texture] : Source{0, 0};
  set(GL_TEXTURE_COORD_ARRAY, texture, t.size, t.offset);
  const std::uint32_t colour = (flags >> kArrayColourShift) & 0xF;
  const Source c = colour < 3 ? kSources[colour] : Source{0, 0};
  set(GL_COLOR_ARRAY, colour, c.size, c.offset);
}

void RangeOff() {
  glDisable(GL_VERTEX_ARRAY);
  if (RangeUsable()) glDisableClientState(GL_VERTEX_ARRAY_RANGE_NV);
  for (GLenum array : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY})
    glDisableClientState(array);
  MeshTable.varActive = 0;
}

void RangeOn() {
  glEnable(GL_VERTEX_ARRAY);
  glVertexArrayRangeNV(static_cast<GLsizei>(MeshTable.varUsed * 4), MeshTable.varMemory);
  glEnableClientState(GL_VERTEX_ARRAY_RANGE_NV);
  MeshTable.varActive = 1;
}

}  // namespace

void SetVertexArrays(std::uint32_t flags, const float* first) {
  ApplyArrayFlags(flags, [first](GLenum array, GLint size, std::uint32_t offset) {
    const float* p = first + offset / sizeof(float);
    switch (array) {
      case GL_VERTEX_ARRAY: glVertexPointer(size, GL_FLOAT, kStride, p); break;
      case GL_NORMAL_ARRAY: glNormalPointer(GL_FLOAT, kStride, p); break;
      case GL_TEXTURE_COORD_ARRAY: glTexCoordPointer(size, GL_FLOAT, kStride, p); break;
      default: glColorPointer(size, GL_FLOAT, kStride, p); break;
    }
  });
}

void RenderMesh::SetArrayObjects(std::uint32_t flags, std::uint32_t group) {
  if (buffersUploaded == 0) UploadMeshBuffers();
  if (buffersUploaded == 0 || group >= GroupCount()) return;
  const auto* buffers = static_cast<const std::uint32_t*>(objectBuffers.elements) + 2 * group;
  ApplyArrayFlags(flags, [&](GLenum array, GLint size, std::uint32_t offset) {
    glArrayObjectATI(array, size, GL_FLOAT, kStride, buffers[0], offset);
  });
  if (ElementArrays()) {
    glEnableClientState(GL_ELEMENT_ARRAY_ATI);
    glArrayObjectATI(GL_ELEMENT_ARRAY_ATI, 1, shortIndices ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT, 0,
                     buffers[1], 0);
  } else {
    glDisableClientState(GL_ELEMENT_ARRAY_ATI);
  }
}

void RenderMesh::DrawMeshGroupState(std::uint32_t group, std::uint32_t flags,
                                    std::uint32_t useBuffers) {
  if (group >= GroupCount()) return;
  const MeshGroupRange& range = Group(group);
  if (range.endTriangle <= range.firstTriangle) return;
  const float* first = static_cast<const float*>(vertices.elements) +
                       std::size_t{range.firstVertex} * kFloatsPerVertex;
  auto plain = [&] {
    glEnable(GL_VERTEX_ARRAY);
    SetVertexArrays(flags, first);
    if (HasExtension(kExtCompiledVertexArray)) {
      glLockArraysEXT(0, static_cast<GLsizei>(range.endVertex - range.firstVertex));
      arraysLocked_ = true;
    }
  };
  const std::uint32_t mode = Mode();
  if (mode == kArrayModeObjects) {
    if (buffersUploaded != 0 && useBuffers != 0) {
      glEnable(GL_VERTEX_ARRAY);
      SetArrayObjects(flags, group);
    } else {
      plain();
    }
  } else if (mode == kArrayModeRange && tableIndex != -1) {
    if (useBuffers != 0 && RangeUsable()) UpdateVertexArrayRange();
    if (varVertices != nullptr && useBuffers != 0) {
      SetVertexArrays(flags, varVertices + std::size_t{range.firstVertex} * kFloatsPerVertex);
      return;
    }
    if (MeshTable.varActive != 0) RangeOff();
    plain();
  } else {
    plain();
  }
}

void RenderMesh::DrawMeshGroupElements(std::uint32_t group, std::uint32_t useBuffers) {
  if (group >= GroupCount()) return;
  const MeshGroupRange& range = Group(group);
  const std::uint32_t count = range.endTriangle - range.firstTriangle;
  if (range.endTriangle <= range.firstTriangle) return;
  if (ElementArrays() && Mode() == kArrayModeObjects && buffersUploaded != 0 && useBuffers != 0) {
    DrawElementArray(group, count);
  } else {
    const std::size_t bytes = std::size_t{range.firstTriangle} * 3 * (shortIndices ? 2 : 4);
    DrawMeshTriangles(static_cast<const std::uint8_t*>(indices.elements) + bytes, count,
                      useBuffers);
  }
  glDisable(GL_VERTEX_ARRAY);
}

void RenderMesh::DrawMeshTriangles(const void* indexAddress, std::uint32_t count,
                                   std::uint32_t /*useBuffers*/) {
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(3 * count),
                 shortIndices ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT, indexAddress);
  // Whether the plain path ran (and locked the arrays) is known from the state step.
  if (arraysLocked_) {
    glUnlockArraysEXT();
    arraysLocked_ = false;
  }
}

void RenderMesh::DrawElementArray(std::uint32_t /*group*/, std::uint32_t count) {
  glDrawElementArrayATI(GL_TRIANGLES, static_cast<GLsizei>(3 * count));
}

void RenderMesh::DrawMeshGroup(std::uint32_t group, std::uint32_t flags, std::uint32_t useBuffers) {
  DrawMeshGroupState(group, flags, useBuffers);
  DrawMeshGroupElements(group, useBuffers);
}

void RenderMesh::DrawMesh(std::uint32_t flags, std::uint32_t useBuffers) {
  for (std::uint32_t g = 0; g < GroupCount(); ++g) DrawMeshGroup(g, flags, useBuffers);
}

void RenderMesh::UploadMeshBuffers() {
  if (Mode() != kArrayModeObjects) return;
  FreeMeshBuffers();
  auto* buffers = static_cast<std::uint32_t*>(objectBuffers.elements);
  const std::uint32_t indexBytes = shortIndices ? 2 : 4;
  bool confirmed = true;
  for (std::uint32_t g = 0; g < GroupCount(); ++g) {
    const MeshGroupRange& range = Group(g);
    buffers[2 * g] = buffers[2 * g + 1] = 0;
    if (range.endTriangle <= range.firstTriangle) continue;  // nothing to hold
    const float* first = static_cast<const float*>(vertices.elements) +
                         std::size_t{range.firstVertex} * kFloatsPerVertex;
    buffers[2 * g] = glNewObjectBufferATI(
        static_cast<GLsizei>((range.endVertex - range.firstVertex) * sizeof(RenderVertex)), first,
        GL_STATIC_ATI);
    confirmed = confirmed && glIsObjectBufferATI(buffers[2 * g]);
    if (ElementArrays()) {
      const std::uint32_t count = range.endTriangle - range.firstTriangle;
      buffers[2 * g + 1] =
          glNewObjectBufferATI(static_cast<GLsizei>(3 * count * indexBytes),
                               static_cast<const std::uint8_t*>(indices.elements) +
                                   std::size_t{range.firstTriangle} * 3 * indexBytes,
                               GL_STATIC_ATI);
      confirmed = confirmed && glIsObjectBufferATI(buffers[2 * g + 1]);
    }
  }
  buffersUploaded = 1;
  // A buffer that did not appear: the mesh draws from its own arrays, and the buffers that
  // did appear are given back.
  if (!confirmed) FreeMeshBuffers();
}

void RenderMesh::FreeMeshBuffers() {
  if (Mode() != kArrayModeObjects || buffersUploaded == 0) return;
  auto* buffers = static_cast<std::uint32_t*>(objectBuffers.elements);
  for (std::uint32_t i = 0; i < 2 * GroupCount(); ++i) {
    if (buffers[i] != 0 && glIsObjectBufferATI(buffers[i])) glFreeObjectBufferATI(buffers[i]);
    buffers[i] = 0;
  }
  buffersUploaded = 0;
}

void UpdateVertexArrayRange() {
  RenderMeshTable& t = MeshTable;
  const bool usable = RangeUsable();
  if (t.dirty == 0) {
    if (usable && t.varActive == 0 && t.varMemory != nullptr) RangeOn();
    return;
  }
  if (t.varActive != 0) RangeOff();

  std::uint64_t floats = 0;
  for (std::uint32_t slot = 0; slot < t.meshCount; ++slot)
    if (const RenderMesh* mesh = t.meshes[slot]) floats += mesh->vertices.count;
  if (usable) {
    const std::uint64_t needed = 4 * floats;
    if (t.varAllocated == 0 || t.varSize < needed) {
      if (t.varAllocated != 0) wglFreeMemoryNV(t.varMemory);
      t.varMemory = nullptr;
      t.varSize = needed <= UINT32_MAX ? static_cast<std::uint32_t>(needed) : 0;
      if (needed <= UINT32_MAX)
        t.varMemory = wglAllocateMemoryNV(static_cast<GLsizei>(needed), 0, 0, 1.0f);
      t.varAllocated = t.varMemory != nullptr ? 1 : 0;
    }
  }
  t.varUsed = 0;
  // Without a block the meshes keep no place in it and draw from their own arrays.
  for (std::uint32_t slot = 0; slot < t.meshCount; ++slot) {
    RenderMesh* mesh = t.meshes[slot];
    if (mesh == nullptr) continue;
    if (!usable || t.varAllocated == 0) {
      mesh->varVertices = nullptr;
      continue;
    }
    mesh->varVertices = static_cast<float*>(t.varMemory) + t.varUsed;
    if (mesh->vertices.count != 0)
      std::memcpy(mesh->varVertices, mesh->vertices.elements, mesh->vertices.count * sizeof(float));
    t.varUsed += mesh->vertices.count;
  }
  if (usable && t.varAllocated != 0 && t.varActive == 0) RangeOn();
  t.dirty = 0;
}

}  // namespace veskor
