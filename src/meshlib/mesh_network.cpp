#include "meshlib/mesh_network.h"

#include <cstring>
#include <limits>

#include "foundation/fatal_error.h"

namespace veskor {

namespace {

void Allocate(MeshNetwork& network, std::uint32_t v, std::uint32_t e, std::uint32_t f,
              std::uint32_t g, std::uint8_t groupCapacity) {
  if (network.vertices != nullptr) network.ReleaseNetwork();
  const std::uint64_t bytes =
      std::uint64_t{v} * sizeof(NetworkVertex) + std::uint64_t{e} * sizeof(NetworkEdge) +
      std::uint64_t{f} * sizeof(NetworkFace) + std::uint64_t{g} * sizeof(NetworkGroup);
  // No room at all, or more than a block can hold.
  if (bytes == 0 || bytes > std::numeric_limits<std::uint32_t>::max())
    FatalError(kNetworkAllocError);
  const auto size = static_cast<std::uint32_t>(bytes);
  MemBlockReserve(network.block, size);
  auto* room = static_cast<std::uint8_t*>(MemBlockAppend(network.block, size));
  if (room == nullptr) FatalError(kNetworkAllocError);

  network.vertices = reinterpret_cast<NetworkVertex*>(room);
  network.edges = reinterpret_cast<NetworkEdge*>(network.vertices + v);
  network.faces = reinterpret_cast<NetworkFace*>(network.edges + e);
  network.groups = reinterpret_cast<NetworkGroup*>(network.faces + f);
  network.vertexCapacity = v;
  network.edgeCapacity = e;
  network.faceCapacity = f;
  network.groupCapacity = groupCapacity;
  network.level = 0;
  network.vertexCount = network.edgeCount = network.faceCount = 0;
  network.groupCount = 0;
  network.triangleCount = network.cornerCount = 0;
  network.creaseVertexCount = network.seamEdgeCount = 0;
}

}  // namespace

MeshNetwork::MeshNetwork() { std::memset(static_cast<void*>(this), 0, sizeof *this); }

MeshNetwork::~MeshNetwork() { ReleaseNetwork(); }

void MeshNetwork::AllocateNetwork(std::uint32_t v, std::uint32_t e, std::uint32_t f) {
  // The group count is 8-bit: the capacity word keeps the low bits, the block the whole room.
  Allocate(*this, v, e, f, f, static_cast<std::uint8_t>(f));
}

void MeshNetwork::AllocateNetwork(std::uint32_t v, std::uint32_t e, std::uint32_t f,
                                  std::uint8_t g) {
  Allocate(*this, v, e, f, g, g);
}

void MeshNetwork::ReleaseNetwork() {
  MemBlockRelease(block);
  std::memset(static_cast<void*>(this), 0, sizeof *this);
}

void MeshNetwork::GetRenderCounts(std::uint32_t& vertexBound, std::uint32_t& triangles) const {
  vertexBound = seamEdgeCount + 2 * creaseVertexCount + faceCount;
  triangles = triangleCount;
}

std::uint32_t MeshNetwork::GroupRoom() const {
  if (groups == nullptr) return 0;
  const std::uint8_t* end = block.base + block.usedBytes;
  return static_cast<std::uint32_t>((end - reinterpret_cast<const std::uint8_t*>(groups)) /
                                    static_cast<std::ptrdiff_t>(sizeof(NetworkGroup)));
}

NetworkVertex* MeshNetwork::AddNetworkVertex(float x, float y, float z) {
  if (vertexCount >= vertexCapacity) FatalError(kTooManyVertices);
  NetworkVertex* vertex = &vertices[vertexCount++];
  *vertex = NetworkVertex{};
  vertex->x = x;
  vertex->y = y;
  vertex->z = z;
  return vertex;
}

NetworkEdge* MeshNetwork::AddNetworkEdge() {
  if (edgeCount >= edgeCapacity) FatalError(kTooManyEdges);
  NetworkEdge* edge = &edges[edgeCount++];
  *edge = NetworkEdge{};
  return edge;
}

NetworkFace* MeshNetwork::AddNetworkFace() {
  if (faceCount >= faceCapacity) FatalError(kTooManyFaces);
  NetworkFace* face = &faces[faceCount++];
  *face = NetworkFace{};
  return face;
}

NetworkGroup* MeshNetwork::AddNetworkGroup() {
  if (groupCount >= GroupRoom() || groupCount == 255) FatalError(kTooManyGroups);
  NetworkGroup* group = &groups[groupCount++];
  *group = NetworkGroup{};
  return group;
}

void CopyNetworkVertex(NetworkVertex& to, const NetworkVertex& from) { to = from; }

void ResetVertexAttributes(NetworkVertex& vertex) {
  vertex.nx = vertex.ny = vertex.nz = 0.0f;
  vertex.link = nullptr;
  vertex.fixed = vertex.emitted = vertex.useCount = vertex.sharpEdgeCount = 0;
}

void CopyNetworkEdge(NetworkEdge& to, const NetworkEdge& from) { to = from; }

void ClearNetworkEdge(NetworkEdge& edge) {
  edge.vertexA = edge.vertexB = nullptr;
  edge.sharpness = 0.0f;
  edge.flags = 0;
  edge.midpoint = nullptr;
  edge.face1 = edge.face2 = nullptr;
  edge.child1 = edge.child2 = nullptr;
}

void CopyNetworkFace(NetworkFace& to, const NetworkFace& from) {
  for (std::uint32_t i = 0; i < from.cornerCount; ++i) {
    to.vertices[i] = from.vertices[i];
    to.edges[i] = from.edges[i];
  }
  to.cornerCount = from.cornerCount;
  to.flags = from.flags;
  to.nx = from.nx;
  to.ny = from.ny;
  to.nz = from.nz;
  to.facePoint = from.facePoint;
  for (std::uint32_t i = 0; i < from.childCount; ++i) to.children[i] = from.children[i];
  to.childCount = from.childCount;
  to.faceLevel = from.faceLevel;
  to.group = from.group;
}

void CopyNetworkGroup(NetworkGroup& to, const NetworkGroup& from) {
  to.uMin = from.uMin;
  to.vMin = from.vMin;
  to.uMax = from.uMax;
  to.vMax = from.vMax;
  to.minX = from.minX;
  to.minY = from.minY;
  to.minZ = from.minZ;
  to.maxX = from.maxX;
  to.maxY = from.maxY;
  to.maxZ = from.maxZ;
  to.borderV0 = from.borderV0;
  to.borderV1 = from.borderV1;
  to.borderU0 = from.borderU0;
  to.borderU1 = from.borderU1;
  to.extra = from.extra;
}

}  // namespace veskor
