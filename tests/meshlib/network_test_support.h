// Small networks for the mesh library's tests, and a check of a network's structure.
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "meshlib/mesh_network.h"

namespace veskor::test {

struct Corner {
  float x, y, z, u, v;
  float sharpness = 0.0f;
};

// One face through the open face protocol; corners wound clockwise as seen from the side the
// normal points to.
inline void AddFace(MeshNetwork& n, std::initializer_list<Corner> corners,
                    std::uint16_t group = 0) {
  n.BeginNetworkFace(group);
  for (const Corner& c : corners) n.AddNetworkFaceCorner(c.x, c.y, c.z, c.u, c.v, c.sharpness, 0);
  n.CloseNetworkFace();
}

// The unit cube, six quads of group 0 with normals pointing out, every edge of sharpness s.
inline void BuildCube(MeshNetwork& n, float s = 0.0f) {
  n.AllocateNetwork(8, 12, 6, 1);
  n.AddNetworkGroup();
  static const int kFaces[6][4][3] = {
      {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 0, 1}, {0, 1, 1}, {1, 1, 1}, {1, 0, 1}},
      {{0, 0, 0}, {0, 0, 1}, {1, 0, 1}, {1, 0, 0}}, {{0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}},
      {{0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}}, {{1, 0, 0}, {1, 0, 1}, {1, 1, 1}, {1, 1, 0}}};
  for (const auto& f : kFaces) {
    n.BeginNetworkFace(0);
    for (const auto& p : f)
      n.AddNetworkFaceCorner(float(p[0]), float(p[1]), float(p[2]), 0.0f, 0.0f, s, 0);
    n.CloseNetworkFace();
  }
}

// A w x h grid of unit quads over z = height(x, y), texture coordinates x / w and y / h,
// border edges of sharpness `border`.
template <class Height>
void BuildGrid(MeshNetwork& n, int w, int h, Height height, float border = 0.0f) {
  n.AllocateNetwork((w + 1) * (h + 1), 2 * w * h + w + h, w * h, 1);
  n.AddNetworkGroup();
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      n.BeginNetworkFace(0);
      const int ring[4][2] = {{i, j}, {i, j + 1}, {i + 1, j + 1}, {i + 1, j}};
      for (int k = 0; k < 4; ++k) {
        const int x = ring[k][0], y = ring[k][1], nx = ring[(k + 1) % 4][0],
                  ny = ring[(k + 1) % 4][1];
        const bool onBorder = (x == nx && (x == 0 || x == w)) || (y == ny && (y == 0 || y == h));
        n.AddNetworkFaceCorner(float(x), float(y), height(float(x), float(y)), float(x) / w,
                               float(y) / h, onBorder ? border : 0.0f, 0);
      }
      n.CloseNetworkFace();
    }
  }
}

// Normals and crease counts, as a network needs them before it is subdivided.
inline void Prepare(MeshNetwork& n) {
  n.ComputeNetworkNormals();
  n.CountCreasesAndSeams();
}

inline std::uint32_t CountBorderEdges(const MeshNetwork& n) {
  std::uint32_t borders = 0;
  for (std::uint32_t i = 0; i < n.edgeCount; ++i) borders += n.edges[i].face2 == nullptr;
  return borders;
}

// The structure every network keeps: corners joined by their edges, each edge listing the
// faces that use it, two faces along an edge running it in opposite directions, pointers in
// the network's own arrays, triangles counted. Returns what is wrong, or "".
inline std::string CheckNetwork(const MeshNetwork& n) {
  auto inV = [&](const NetworkVertex* p) {
    return p >= n.vertices && p < n.vertices + n.vertexCount;
  };
  auto inE = [&](const NetworkEdge* p) { return p >= n.edges && p < n.edges + n.edgeCount; };
  auto inF = [&](const NetworkFace* p) { return p >= n.faces && p < n.faces + n.faceCount; };
  auto forward = [](const NetworkFace& f, const NetworkEdge& e) {
    for (int i = 0; i < f.cornerCount; ++i)
      if (f.edges[i] == &e) return f.vertices[i] == e.vertexA;
    return false;
  };
  std::uint32_t triangles = 0;
  for (std::uint32_t k = 0; k < n.faceCount; ++k) {
    const NetworkFace& f = n.faces[k];
    const std::string at = "face " + std::to_string(k) + ": ";
    if (f.cornerCount < 3 || f.cornerCount > kMaxFaceCorners) return at + "corner count";
    triangles += f.cornerCount - 2;
    for (int i = 0; i < f.cornerCount; ++i) {
      const NetworkVertex* a = f.vertices[i];
      const NetworkVertex* b = f.vertices[(i + 1) % f.cornerCount];
      const NetworkEdge* e = f.edges[i];
      if (!inV(a) || !inE(e)) return at + "pointer outside the network";
      if (!((e->vertexA == a && e->vertexB == b) || (e->vertexA == b && e->vertexB == a)))
        return at + "edge " + std::to_string(i) + " does not join its corners";
      if (e->face1 != &f && e->face2 != &f) return at + "edge does not list the face";
    }
  }
  if (triangles != n.triangleCount) return "triangle count";
  for (std::uint32_t k = 0; k < n.edgeCount; ++k) {
    const NetworkEdge& e = n.edges[k];
    const std::string at = "edge " + std::to_string(k) + ": ";
    if (!inV(e.vertexA) || !inV(e.vertexB) || !inF(e.face1)) return at + "pointer outside";
    if (e.face2 != nullptr && (!inF(e.face2) || forward(*e.face1, e) == forward(*e.face2, e)))
      return at + "faces run it the same way";
  }
  return "";
}

inline bool Near(const NetworkVertex& v, float x, float y, float z, float tolerance = 1e-6f) {
  return std::fabs(v.x - x) <= tolerance && std::fabs(v.y - y) <= tolerance &&
         std::fabs(v.z - z) <= tolerance;
}

}  // namespace veskor::test
