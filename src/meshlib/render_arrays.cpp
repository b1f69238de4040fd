#include "meshlib/render_arrays.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "foundation/fatal_error.h"

namespace veskor {

RenderVertex RenderStaging[kRenderStagingCapacity];
std::uint32_t RenderStagingCount = 0;
std::int32_t RenderRemap[kRenderStagingCapacity];
std::uint16_t TriangleGroups[kTriangleGroupCapacity];

namespace {

bool CornerUnset(const NetworkFace* face, const NetworkVertex* vertex) {
  if (face == nullptr) return true;
  for (std::uint32_t i = 0; i < face->cornerCount && i < kMaxFaceCorners; ++i)
    if (face->vertices[i] == vertex) return face->cornerRenderIndex[i] == kNoRenderIndex;
  return true;  // not a corner of the face: the fan walk reports it
}

// Calls emit(vertex, edge) for each end of each edge whose fan is not made yet: whose vertex
// is not emitted, or whose corner in the edge's first face has no entry. A vertex where
// separate fans meet (faces touching only at it) so gets one call per fan, and a network
// converted before starts afresh.
template <class Emit>
void EmitNetwork(MeshNetwork& network, Emit emit) {
  for (std::uint32_t f = 0; f < network.faceCount; ++f)
    std::fill(std::begin(network.faces[f].cornerRenderIndex),
              std::end(network.faces[f].cornerRenderIndex), kNoRenderIndex);
  for (std::uint32_t i = 0; i < network.edgeCount; ++i) {
    NetworkEdge& edge = network.edges[i];
    for (NetworkVertex* end : {edge.vertexA, edge.vertexB}) {
      if (end == nullptr) FatalError(kAbnormalConnection);
      if (end->emitted == 0 || CornerUnset(edge.face1, end)) emit(*end, edge);
    }
  }
}

std::uint32_t ChooseWidth(std::uint32_t code, std::uint32_t count) {
  if (code == kIndexAuto) return count > kMaxShortIndexVertices ? kIndex32 : kIndex16;
  if (code == kIndex32) return kIndex32;
  if (count > kMaxShortIndexVertices) FatalError(kIndexNotShort);
  return kIndex16;
}

std::uint32_t IndexAt(const void* indices, std::uint32_t i, bool shortIndices) {
  return shortIndices ? static_cast<const std::uint16_t*>(indices)[i]
                      : static_cast<const std::uint32_t*>(indices)[i];
}

void SetIndex(void* indices, std::uint32_t i, std::uint32_t value, bool shortIndices) {
  if (shortIndices)
    static_cast<std::uint16_t*>(indices)[i] = static_cast<std::uint16_t>(value);
  else
    static_cast<std::uint32_t*>(indices)[i] = value;
}

void Convert(MeshNetwork& network, RenderObserver* observer, const RenderVertex* staging,
             std::uint32_t stagingCount, RenderVertex* vertices, std::uint32_t vertexCapacity,
             std::uint32_t& vertexCount, void* indices, std::uint32_t triangleCapacity,
             std::uint32_t& triangleCount, std::uint32_t width) {
  const bool shortIndices = width == kIndex16;
  if (shortIndices && stagingCount > kMaxShortIndexVertices) FatalError(kIndexNotShort);
  const std::uint32_t triangleRoom = std::min(triangleCapacity, kTriangleGroupCapacity);

  // Triangles: (0, 1, 2) of a triangle, (0, 1, 2) and (2, 3, 0) of a quad.
  static constexpr std::uint32_t kCut[2][3] = {{0, 1, 2}, {2, 3, 0}};
  for (std::uint32_t f = 0; f < network.faceCount; ++f) {
    const NetworkFace& face = network.faces[f];
    const std::uint32_t pieces = face.cornerCount == 3 ? 1 : face.cornerCount == 4 ? 2 : 0;
    for (std::uint32_t p = 0; p < pieces; ++p) {
      if (triangleCount >= triangleRoom) FatalError(kTooMuchTriangles);
      if (observer != nullptr && shortIndices) observer->OnShortTriangle();
      if (observer != nullptr && !shortIndices) observer->OnLongTriangle();
      TriangleGroups[triangleCount] = face.group;
      for (std::uint32_t c = 0; c < 3; ++c) {
        const std::uint32_t entry = face.cornerRenderIndex[kCut[p][c]];
        if (entry >= stagingCount) FatalError(kAbnormalConnection);
        SetIndex(indices, 3 * triangleCount + c, entry, shortIndices);
      }
      ++triangleCount;
    }
  }

  SortTrianglesByGroup(network, TriangleGroups, indices, triangleCount, width);

  // Staging vertices go out in the order the sorted triangles first use them.
  std::fill(RenderRemap, RenderRemap + stagingCount, -1);
  for (std::uint32_t i = 0; i < 3 * triangleCount; ++i) {
    const std::uint32_t entry = IndexAt(indices, i, shortIndices);
    if (entry >= stagingCount) FatalError(kAbnormalConnection);
    if (RenderRemap[entry] < 0) {
      if (vertexCount >= vertexCapacity) FatalError(kTooMuchVertexes);
      if (observer != nullptr) observer->OnRenderVertex();
      vertices[vertexCount] = staging[entry];
      RenderRemap[entry] = static_cast<std::int32_t>(vertexCount++);
    }
    SetIndex(indices, i, static_cast<std::uint32_t>(RenderRemap[entry]), shortIndices);
  }
}

}  // namespace

void CountRenderVertices(MeshNetwork& network, std::uint32_t& vertexCount, std::uint32_t& width) {
  RenderStagingCount = 0;
  EmitNetwork(network, [](NetworkVertex& vertex, NetworkEdge& edge) {
    EmitRenderVertices(nullptr, RenderStaging, kRenderStagingCapacity, RenderStagingCount, vertex,
                       edge);
  });
  width = ChooseWidth(width, RenderStagingCount);
  vertexCount = RenderStagingCount;
}

void CheckNetworkVertices(MeshNetwork& network, NormalEntry* normals, std::uint32_t capacity,
                          std::uint32_t& counter) {
  EmitNetwork(network, [&](NetworkVertex& vertex, NetworkEdge& edge) {
    EmitVertexNormals(normals, capacity, counter, vertex, edge);
  });
}

void NetworkToRenderArrays(MeshNetwork& network, RenderObserver* observer, RenderVertex* vertices,
                           std::uint32_t vertexCapacity, std::uint32_t& vertexCount, void* indices,
                           std::uint32_t triangleCapacity, std::uint32_t& triangleCount,
                           std::uint32_t width) {
  Convert(network, observer, RenderStaging, RenderStagingCount, vertices, vertexCapacity,
          vertexCount, indices, triangleCapacity, triangleCount,
          width == kIndex16 ? kIndex16 : kIndex32);
}

void NetworkToRenderArraysDirect(MeshNetwork& network, RenderObserver* observer,
                                 RenderVertex* staging, std::uint32_t stagingCapacity,
                                 std::uint32_t& stagingCount, RenderVertex* vertices,
                                 std::uint32_t vertexCapacity, std::uint32_t& vertexCount,
                                 void* indices, std::uint32_t triangleCapacity,
                                 std::uint32_t& triangleCount, std::uint32_t& width) {
  // The remap array bounds what one conversion can copy.
  const std::uint32_t room = std::min(stagingCapacity, kRenderStagingCapacity);
  EmitNetwork(network, [&](NetworkVertex& vertex, NetworkEdge& edge) {
    EmitRenderVertices(observer, staging, room, stagingCount, vertex, edge);
  });
  width = ChooseWidth(width, stagingCount);
  Convert(network, observer, staging, stagingCount, vertices, vertexCapacity, vertexCount, indices,
          triangleCapacity, triangleCount, width);
}

void SortTrianglesByGroup(MeshNetwork& network, std::uint16_t* groups, void* indices,
                          std::uint32_t triangleCount, std::uint32_t width) {
  if (width != kIndex16 && width != kIndex32) return;
  const bool shortIndices = width == kIndex16;
  std::uint32_t w = 0;
  for (std::uint32_t g = 0; g < network.groupCount; ++g) {
    network.groups[g].firstTriangle = w;
    for (std::uint32_t t = w; t < triangleCount; ++t) {
      if (groups[t] != g) continue;
      if (t != w) {
        std::swap(groups[t], groups[w]);
        for (std::uint32_t c = 0; c < 3; ++c) {
          const std::uint32_t a = IndexAt(indices, 3 * t + c, shortIndices);
          SetIndex(indices, 3 * t + c, IndexAt(indices, 3 * w + c, shortIndices), shortIndices);
          SetIndex(indices, 3 * w + c, a, shortIndices);
        }
      }
      ++w;
    }
    network.groups[g].endTriangle = w;
  }
}

}  // namespace veskor
