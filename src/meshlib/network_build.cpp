// Building and editing a MeshNetwork: welded vertices, shared edges, the open face, removals
// that keep the arrays dense, and the bookkeeping passes of a finished network.
#include <cmath>

#include "foundation/fatal_error.h"
#include "mapengine/kernel_table.h"
#include "meshlib/mesh_network.h"
#include "meshlib/network_open_face.h"

namespace veskor {

NetworkOpenFace gNetworkOpenFace{};

namespace {

// Texture coordinates closer than this to a border value lie on it.
constexpr float kBorderTolerance = 0.0005f;
constexpr float kBorderHigh = 0.9998f;

NetworkEdge* FindEdge(MeshNetwork& network, const NetworkVertex* a, const NetworkVertex* b) {
  for (std::uint32_t i = 0; i < network.edgeCount; ++i) {
    NetworkEdge& edge = network.edges[i];
    if ((edge.vertexA == a && edge.vertexB == b) || (edge.vertexA == b && edge.vertexB == a))
      return &edge;
  }
  return nullptr;
}

// The face runs along an edge that exists: it becomes the second side, its coordinates
// stored end for end.
void SetSecondSide(NetworkEdge& edge, const NetworkVertex* a, float uA, float vA, float uB,
                   float vB, NetworkFace* face) {
  edge.face2 = face;
  if (edge.vertexA == a) {
    edge.u2A = uA, edge.v2A = vA, edge.u2B = uB, edge.v2B = vB;
  } else {
    edge.u2A = uB, edge.v2A = vB, edge.u2B = uA, edge.v2B = vA;
  }
}

NetworkEdge* AddFirstSide(MeshNetwork& network, NetworkVertex* a, NetworkVertex* b, float uA,
                          float vA, float uB, float vB, NetworkFace* face, float sharpness) {
  NetworkEdge* edge = network.AddNetworkEdge();
  edge->vertexA = a;
  edge->vertexB = b;
  edge->u1A = uA, edge->v1A = vA, edge->u1B = uB, edge->v1B = vB;
  edge->sharpness = sharpness;
  edge->face1 = face;
  return edge;
}

NetworkEdge* FindOrAddEdge(MeshNetwork& network, NetworkVertex* a, NetworkVertex* b, float uA,
                           float vA, float uB, float vB, NetworkFace* face, float sharpness,
                           bool takeSharpness) {
  if (NetworkEdge* edge = FindEdge(network, a, b)) {
    SetSecondSide(*edge, a, uA, vA, uB, vB, face);
    if (takeSharpness) edge->sharpness = sharpness;
    return edge;
  }
  return AddFirstSide(network, a, b, uA, vA, uB, vB, face, sharpness);
}

// Lowers a pointer that lies above a removed record of its array by one record.
template <class T>
void LowerAbove(T*& p, const T* removed, const T* end) {
  if (p > removed && p < end) --p;
}

bool HeldByAnotherEdge(const MeshNetwork& network, const NetworkVertex* vertex,
                       std::uint32_t skip) {
  for (std::uint32_t i = 0; i < network.edgeCount; ++i) {
    const NetworkEdge& edge = network.edges[i];
    if (i != skip && (edge.vertexA == vertex || edge.vertexB == vertex)) return true;
  }
  return false;
}

void RemoveVertex(MeshNetwork& network, NetworkVertex* vertex) {
  NetworkVertex* end = network.vertices + network.vertexCount;
  for (NetworkVertex* v = vertex + 1; v < end; ++v) CopyNetworkVertex(v[-1], *v);
  --network.vertexCount;
  for (std::uint32_t i = 0; i < network.edgeCount; ++i) {
    LowerAbove(network.edges[i].vertexA, vertex, end);
    LowerAbove(network.edges[i].vertexB, vertex, end);
  }
  for (std::uint32_t f = 0; f < network.faceCount; ++f) {
    NetworkFace& face = network.faces[f];
    for (std::uint32_t i = 0; i < face.cornerCount; ++i) LowerAbove(face.vertices[i], vertex, end);
  }
}

// The group record of a face; a face of a group not in use is a caller's fault.
NetworkGroup& GroupOf(MeshNetwork& network, const NetworkFace& face) {
  if (face.group >= network.groupCount) FatalError(kFaceGroupOutOfRange);
  return network.groups[face.group];
}

float MapCoordinate(float c, float offset, float scale) { return (c + offset) * scale; }

}  // namespace

NetworkVertex* MeshNetwork::FindOrAddNetworkVertex(float x, float y, float z) {
  for (std::uint32_t i = 0; i < vertexCount; ++i) {
    NetworkVertex& v = vertices[i];
    if (std::fabs(v.x - x) < kWeldDistance && std::fabs(v.y - y) < kWeldDistance &&
        std::fabs(v.z - z) < kWeldDistance) {
      ++v.useCount;
      return &v;
    }
  }
  return AddNetworkVertex(x, y, z);
}

NetworkEdge* MeshNetwork::FindOrAddNetworkEdge(NetworkVertex* a, NetworkVertex* b, float uA,
                                               float vA, float uB, float vB, NetworkFace* face,
                                               float sharpness) {
  return FindOrAddEdge(*this, a, b, uA, vA, uB, vB, face, sharpness, false);
}

NetworkEdge* MeshNetwork::FindOrAddNetworkEdgeSharp(NetworkVertex* a, NetworkVertex* b, float uA,
                                                    float vA, float uB, float vB, NetworkFace* face,
                                                    float sharpness) {
  return FindOrAddEdge(*this, a, b, uA, vA, uB, vB, face, sharpness, true);
}

void MeshNetwork::BeginNetworkFace(std::uint16_t group) {
  if (faceCount >= faceCapacity) FatalError(kTooManyFaces);
  faces[faceCount] = NetworkFace{};
  gNetworkOpenFace.openCornerCount = 0;
  gNetworkOpenFace.openGroup = group;
}

void MeshNetwork::AddNetworkFaceCorner(float x, float y, float z, float u, float v, float sharpness,
                                       std::uint32_t overrideSharpness) {
  if (faceCount >= faceCapacity) FatalError(kTooManyFaces);
  NetworkFace& face = faces[faceCount];
  NetworkOpenFace& open = gNetworkOpenFace;
  if (face.cornerCount >= kMaxFaceCorners || open.openCornerCount >= kMaxFaceCorners) return;
  face.vertices[face.cornerCount++] = FindOrAddNetworkVertex(x, y, z);
  const std::uint32_t i = open.openCornerCount++;
  open.cornerU[i] = u;
  open.cornerV[i] = v;
  open.cornerSharpness[i] = sharpness;
  open.cornerOverride[i] = overrideSharpness;
}

void MeshNetwork::CloseNetworkFace() {
  if (faceCount >= faceCapacity) return;
  NetworkFace& face = faces[faceCount];
  const NetworkOpenFace& open = gNetworkOpenFace;
  const std::uint32_t n = face.cornerCount;
  if (n < 3) return;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t j = i + 1 < n ? i + 1 : 0;
    NetworkVertex* a = face.vertices[i];
    NetworkVertex* b = face.vertices[j];
    const float uA = open.cornerU[i], vA = open.cornerV[i];
    const float uB = open.cornerU[j], vB = open.cornerV[j];
    if (NetworkEdge* edge = FindEdge(*this, a, b)) {
      SetSecondSide(*edge, a, uA, vA, uB, vB, &face);
      if (open.cornerOverride[i]) edge->sharpness = open.cornerSharpness[i];
      face.edges[i] = edge;
    } else {
      face.edges[i] = AddFirstSide(*this, a, b, uA, vA, uB, vB, &face, open.cornerSharpness[i]);
    }
  }
  cornerCount += n;
  triangleCount += n - 2;
  face.group = open.openGroup & 0xFF;
  ++faceCount;
}

void MeshNetwork::RemoveNetworkEdge(std::uint32_t edgeIndex, NetworkFace* face) {
  if (edgeIndex >= edgeCount) return;
  NetworkEdge& edge = edges[edgeIndex];
  if (edge.face2 != nullptr) {
    if (edge.face1 == face) {
      edge.face1 = edge.face2;
      edge.u1A = edge.u2A, edge.u1B = edge.u2B, edge.v1A = edge.v2A, edge.v1B = edge.v2B;
    }
    edge.face2 = nullptr;
    return;
  }
  // The edge goes, and with it each end that no other edge holds. (Counting welds alone
  // cannot tell: a corner made once and never welded holds two edges of its face.)
  const bool loop = edge.vertexA == edge.vertexB;
  for (int side = 0; side < (loop ? 1 : 2); ++side) {
    NetworkVertex* vertex = side == 0 ? edge.vertexA : edge.vertexB;
    if (vertex == nullptr) continue;
    if (vertex->useCount > 0) --vertex->useCount;
    if (!HeldByAnotherEdge(*this, vertex, edgeIndex)) RemoveVertex(*this, vertex);
  }
  NetworkEdge* end = edges + edgeCount;
  for (NetworkEdge* e = &edge + 1; e < end; ++e) CopyNetworkEdge(e[-1], *e);
  --edgeCount;
  for (std::uint32_t f = 0; f < faceCount; ++f) {
    NetworkFace& other = faces[f];
    for (std::uint32_t i = 0; i < other.cornerCount; ++i) LowerAbove(other.edges[i], &edge, end);
  }
}

void MeshNetwork::RemoveNetworkFace(std::uint32_t faceIndex) {
  if (faceIndex >= faceCount) return;
  NetworkFace* face = &faces[faceIndex];
  const std::uint32_t n = face->cornerCount;
  for (std::uint32_t i = 0; i < n; ++i)
    RemoveNetworkEdge(static_cast<std::uint32_t>(face->edges[i] - edges), face);
  cornerCount -= n;
  if (n >= 3) triangleCount -= n - 2;
  NetworkFace* end = faces + faceCount;
  for (NetworkFace* f = face + 1; f < end; ++f) CopyNetworkFace(f[-1], *f);
  --faceCount;
  for (std::uint32_t i = 0; i < edgeCount; ++i) {
    LowerAbove(edges[i].face1, face, end);
    LowerAbove(edges[i].face2, face, end);
  }
}

void MeshNetwork::CountCreasesAndSeams() {
  seamEdgeCount = 0;
  for (std::uint32_t i = 0; i < edgeCount; ++i) {
    const NetworkEdge& edge = edges[i];
    if (edge.sharpness > kSharpEdge) {
      ++edge.vertexA->sharpEdgeCount;
      ++edge.vertexB->sharpEdgeCount;
    }
    if (IsSeamEdge(edge)) ++seamEdgeCount;
  }
  creaseVertexCount = 0;
  for (std::uint32_t i = 0; i < vertexCount; ++i)
    if (vertices[i].sharpEdgeCount > 1) ++creaseVertexCount;
}

void MeshNetwork::NormalizeGroupTexCoords() {
  for (std::uint32_t g = 0; g < groupCount; ++g) {
    NetworkGroup& group = groups[g];
    const float du = group.uMax - group.uMin, dv = group.vMax - group.vMin;
    group.uOffset = -group.uMin;
    group.vOffset = -group.vMin;
    // A range of one value has no extent to stretch: it keeps its scale.
    group.uScale = du != 0.0f ? 1.0f / du : 1.0f;
    group.vScale = dv != 0.0f ? 1.0f / dv : 1.0f;
    group.uMin = group.vMin = 0.0f;
    group.uMax = group.vMax = 1.0f;
  }
  for (std::uint32_t i = 0; i < edgeCount; ++i) {
    NetworkEdge& edge = edges[i];
    if (edge.face1 != nullptr) {
      const NetworkGroup& g = GroupOf(*this, *edge.face1);
      edge.u1A = MapCoordinate(edge.u1A, g.uOffset, g.uScale);
      edge.u1B = MapCoordinate(edge.u1B, g.uOffset, g.uScale);
      edge.v1A = MapCoordinate(edge.v1A, g.vOffset, g.vScale);
      edge.v1B = MapCoordinate(edge.v1B, g.vOffset, g.vScale);
    }
    if (edge.face2 != nullptr) {  // a border edge has no second side to map
      const NetworkGroup& g = GroupOf(*this, *edge.face2);
      edge.u2A = MapCoordinate(edge.u2A, g.uOffset, g.uScale);
      edge.u2B = MapCoordinate(edge.u2B, g.uOffset, g.uScale);
      edge.v2A = MapCoordinate(edge.v2A, g.vOffset, g.vScale);
      edge.v2B = MapCoordinate(edge.v2B, g.vOffset, g.vScale);
    }
  }
}

void MeshNetwork::ComputeGroupBounds() {
  for (std::uint32_t g = 0; g < groupCount; ++g)
    groups[g].borderV0 = groups[g].borderV1 = groups[g].borderU0 = groups[g].borderU1 = 0.0f;
  for (std::uint32_t f = 0; f < faceCount; ++f) {
    const NetworkFace& face = faces[f];
    NetworkGroup& group = GroupOf(*this, face);
    const std::uint32_t n = face.cornerCount;
    for (std::uint32_t i = 0; i < n; ++i) {
      const NetworkVertex& p = *face.vertices[i];
      group.minX = std::fmin(group.minX, p.x), group.maxX = std::fmax(group.maxX, p.x);
      group.minY = std::fmin(group.minY, p.y), group.maxY = std::fmax(group.maxY, p.y);
      group.minZ = std::fmin(group.minZ, p.z), group.maxZ = std::fmax(group.maxZ, p.z);
      const NetworkEdge& edge = *face.edges[i];
      if (!IsSeamEdge(edge)) continue;
      const bool second = edge.face1 != &face;
      const float du = second ? edge.u2A - edge.u2B : edge.u1A - edge.u1B;
      const float dv = second ? edge.v2A - edge.v2B : edge.v1A - edge.v1B;
      const NetworkVertex& q = *face.vertices[i + 1 < n ? i + 1 : 0];
      const float dx = q.x - p.x, dy = q.y - p.y, dz = q.z - p.z;
      const float length = gKernelTable.KernelSqrt(dx * dx + dy * dy + dz * dz);
      float u, v;
      FaceCornerTexCoords(face, i, u, v);
      if (std::fabs(dv) < kBorderTolerance) {
        if (v < kBorderTolerance)
          group.borderV0 += length;
        else if (v > kBorderHigh)
          group.borderV1 += length;
      }
      if (std::fabs(du) < kBorderTolerance) {
        if (u < kBorderTolerance)
          group.borderU0 += length;
        else if (u > kBorderHigh)
          group.borderU1 += length;
      }
    }
  }
}

void MeshNetwork::ComputeNetworkNormals() {
  for (std::uint32_t i = 0; i < vertexCount; ++i)
    vertices[i].nx = vertices[i].ny = vertices[i].nz = 0.0f;
  for (std::uint32_t f = 0; f < faceCount; ++f) {
    NetworkFace& face = faces[f];
    float n[3];
    FaceNormal(face, n);
    face.nx = n[0], face.ny = n[1], face.nz = n[2];
    for (std::uint32_t i = 0; i < face.cornerCount; ++i) {
      NetworkVertex& v = *face.vertices[i];
      v.nx += n[0], v.ny += n[1], v.nz += n[2];
    }
  }
  for (std::uint32_t i = 0; i < vertexCount; ++i) {
    NetworkVertex& v = vertices[i];
    float n[3] = {v.nx, v.ny, v.nz};
    gKernelTable.KernelNormalize3(n);
    v.nx = n[0], v.ny = n[1], v.nz = n[2];
  }
}

void FaceNormal(const NetworkFace& face, float* normal) {
  const std::uint32_t n = face.cornerCount;
  normal[0] = normal[1] = normal[2] = 0.0f;
  if (n == 0) return;
  auto edgeVector = [&](std::uint32_t i, float* e) {
    const NetworkVertex& p = *face.vertices[i];
    const NetworkVertex& q = *face.vertices[i + 1 < n ? i + 1 : 0];
    e[0] = q.x - p.x, e[1] = q.y - p.y, e[2] = q.z - p.z;
  };
  float previous[3];
  edgeVector(n - 1, previous);
  for (std::uint32_t i = 0; i < n; ++i) {
    float e[3];
    edgeVector(i, e);
    normal[0] += e[1] * previous[2] - e[2] * previous[1];
    normal[1] += e[2] * previous[0] - e[0] * previous[2];
    normal[2] += e[0] * previous[1] - e[1] * previous[0];
    previous[0] = e[0], previous[1] = e[1], previous[2] = e[2];
  }
  gKernelTable.KernelNormalize3(normal);
}

void FaceCornerTexCoords(const NetworkFace& face, std::uint32_t corner, float& u, float& v) {
  const NetworkEdge& edge = *face.edges[corner];
  const bool second = edge.face1 != &face;
  const bool endA = edge.vertexA == face.vertices[corner];
  if (second) {
    u = endA ? edge.u2A : edge.u2B;
    v = endA ? edge.v2A : edge.v2B;
  } else {
    u = endA ? edge.u1A : edge.u1B;
    v = endA ? edge.v1A : edge.v1B;
  }
}

bool IsSeamEdge(const NetworkEdge& edge) {
  return edge.face2 == nullptr || edge.u1A != edge.u2A || edge.u1B != edge.u2B ||
         edge.v1A != edge.v2A || edge.v1B != edge.v2B;
}

}  // namespace veskor
