// The network pass between two outlines: face A's corners joined to those of face B, moved by
// a transform, through a tube of quads, and B's moved outline closed by a cap.
#include <algorithm>

#include "mapengine/kernel_table.h"
#include "meshlib/mesh_network.h"
#include "meshlib/network_open_face.h"
#include "meshlib/network_transform.h"

namespace veskor {

namespace {

// Cosines of edge pairs must beat the best so far by this much in the face-to-face form.
constexpr float kAlignMargin = 0.00001f;

// A face's corners in ring order, with its texture coordinates there.
struct Ring {
  std::uint32_t n;
  float p[kMaxFaceCorners][3];
  float u[kMaxFaceCorners];
  float v[kMaxFaceCorners];
};

// In order, or corner 0 followed by corners n - 1 down to 1.
void TakeRing(const NetworkFace& face, std::uint32_t reverse, const NetworkTransform* transform,
              Ring& ring) {
  ring.n = face.cornerCount;
  for (std::uint32_t k = 0; k < ring.n; ++k) {
    const std::uint32_t c = (reverse && k != 0) ? ring.n - k : k;
    const NetworkVertex& vertex = *face.vertices[c];
    const float p[3] = {vertex.x, vertex.y, vertex.z};
    if (transform != nullptr) {
      gKernelTable.KernelTransformPoint(ring.p[k], transform->forward, p);
    } else {
      std::copy(p, p + 3, ring.p[k]);
    }
    FaceCornerTexCoords(face, c, ring.u[k], ring.v[k]);
  }
}

void Centroid(const Ring& ring, float* m) {
  m[0] = m[1] = m[2] = 0.0f;
  for (std::uint32_t k = 0; k < ring.n; ++k)
    for (int a = 0; a < 3; ++a) m[a] += ring.p[k][a];
  for (int a = 0; a < 3; ++a) m[a] /= static_cast<float>(ring.n);
}

float Dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void RingEdge(const Ring& ring, std::uint32_t i, float* e) {
  const float* p = ring.p[i];
  const float* q = ring.p[(i + 1) % ring.n];
  e[0] = q[0] - p[0], e[1] = q[1] - p[1], e[2] = q[2] - p[2];
}

// The pair of edges (i0 of A, j0 of B) that run most nearly the same way.
void Align(const Ring& a, const Ring& b, float margin, std::uint32_t& i0, std::uint32_t& j0) {
  float best = -1.0e35f;
  i0 = j0 = 0;
  for (std::uint32_t i = 0; i < a.n; ++i) {
    float ea[3];
    RingEdge(a, i, ea);
    for (std::uint32_t j = 0; j < b.n; ++j) {
      float eb[3];
      RingEdge(b, j, eb);
      const float cosine =
          Dot(ea, eb) / (gKernelTable.KernelLength3(ea) * gKernelTable.KernelLength3(eb));
      if (cosine > best + margin) best = cosine, i0 = i, j0 = j;
    }
  }
}

// The face's normal, stored in the face and returned.
void StoreFaceNormal(NetworkFace& face, float* normal) {
  FaceNormal(face, normal);
  face.nx = normal[0], face.ny = normal[1], face.nz = normal[2];
}

void AddCorner(MeshNetwork& network, const float* p, float u, float v, float sharpness,
               std::uint32_t overrideSharpness) {
  network.AddNetworkFaceCorner(p[0], p[1], p[2], u, v, sharpness, overrideSharpness);
}

// Side quads of group g + 1 from ring A to ring B, u running 0 to 1 around and v 0 to 1 from
// A to B, then a cap of group g + 2 on ring B; g is the group counter on entry.
std::uint32_t BuildTube(MeshNetwork& network, const Ring& a, const Ring& b, float margin,
                        float sharpA, float sharpB, float sharpSide) {
  std::uint32_t i0, j0;
  Align(a, b, margin, i0, j0);
  const std::uint32_t first = network.faceCount;
  const std::uint32_t n = a.n;
  const std::uint16_t g = gNetworkOpenFace.openGroup & 0xFF;
  const float step = 1.0f / static_cast<float>(n);
  float s = 0.0f;
  for (std::uint32_t k = 0; k < n; ++k) {
    const std::uint32_t ak = (i0 + k) % n, ak1 = (i0 + k + 1) % n;
    const std::uint32_t bk = (j0 + k) % n, bk1 = (j0 + k + 1) % n;
    network.BeginNetworkFace((g + 1) & 0xFF);
    AddCorner(network, a.p[ak], s, 0.0f, sharpA, 1);
    AddCorner(network, a.p[ak1], s + step, 0.0f, sharpSide, 0);
    AddCorner(network, b.p[bk1], s + step, 1.0f, sharpB, 0);
    AddCorner(network, b.p[bk], s, 1.0f, sharpSide, 0);
    network.CloseNetworkFace();
    s += step;
  }
  network.BeginNetworkFace((g + 2) & 0xFF);
  for (std::uint32_t k = 0; k < n; ++k) {
    const std::uint32_t bk = (j0 + k) % n;
    AddCorner(network, b.p[bk], b.u[bk], b.v[bk], sharpB, 0);
  }
  network.CloseNetworkFace();
  return first;
}

}  // namespace

std::uint32_t MeshNetwork::NetworkPass(std::uint32_t faceA, std::uint32_t reverseA, float sharpA,
                                       std::uint32_t faceB, std::uint32_t reverseB, float sharpB,
                                       NetworkTransform& transform, float sharpSide) {
  if (faceA >= faceCount || faceB >= faceCount) return kNoFace;
  if (faces[faceA].cornerCount != faces[faceB].cornerCount) return kNoFace;
  Ring a, b;
  TakeRing(faces[faceA], reverseA, nullptr, a);
  if (transform.dirty) AngleTransformMatrix(transform);
  TakeRing(faces[faceB], reverseB, &transform, b);
  if (!reverseA) RemoveNetworkFace(faceA);
  return BuildTube(*this, a, b, kAlignMargin, sharpA, sharpB, sharpSide);
}

std::uint32_t MeshNetwork::NetworkPass(NetworkFaceRange range, float sharpA, std::uint32_t faceB,
                                       std::uint32_t reverseB, float sharpB,
                                       NetworkTransform& transform, float sharpSide) {
  if (faceB >= faceCount) return kNoFace;
  if (transform.dirty) AngleTransformMatrix(transform);
  Ring a, b;
  TakeRing(faces[faceB], reverseB, &transform, b);
  float target[3];
  Centroid(b, target);

  // The face of the range that looks most directly at B's moved outline.
  std::uint32_t winner = kNoFace;
  float best = -1.0f;
  float winnerNormal[3] = {};
  for (std::uint32_t f = range.first; f < std::min(range.end, faceCount); ++f) {
    NetworkFace& face = faces[f];
    float normal[3];
    StoreFaceNormal(face, normal);
    Ring ring;
    TakeRing(face, 0, nullptr, ring);
    float d[3];
    Centroid(ring, d);
    for (int k = 0; k < 3; ++k) d[k] = target[k] - d[k];
    gKernelTable.KernelNormalize3(d);
    const float facing = Dot(d, normal);
    if (facing > best) {
      best = facing, winner = f;
      std::copy(normal, normal + 3, winnerNormal);
    }
  }
  float normalOfB[3];
  StoreFaceNormal(faces[faceB], normalOfB);
  if (winner == kNoFace || faces[winner].cornerCount != faces[faceB].cornerCount) return kNoFace;

  // A winner turned away from B is replaced by the tube; one turned towards it stays and the
  // tube starts from its reversed ring.
  if (Dot(winnerNormal, normalOfB) <= 0.0f) {
    TakeRing(faces[winner], 0, nullptr, a);
    RemoveNetworkFace(winner);
  } else {
    TakeRing(faces[winner], 1, nullptr, a);
  }
  return BuildTube(*this, a, b, 0.0f, sharpA, sharpB, sharpSide);
}

}  // namespace veskor
