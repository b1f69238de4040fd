// Small networks for the mesh library's tests, and a check of a network's structure.
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

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

// A strip of `quads` unit quads along x (y from 0 to 1, z = 0), made record by record so that
// it can be large; each vertex has one texture coordinate (u = x / quads, v = y) on every side,
// so only the border edges are seams. Quads from `split` on are of group 1 (of 2). With
// `tail`, a triangle of the same groups' rule closes the end, adding one vertex.
inline void BuildStrip(MeshNetwork& n, std::uint32_t quads, std::uint32_t split, bool tail) {
  n.AllocateNetwork(2 * (quads + 1) + tail, 3 * quads + 1 + 2 * tail, quads + tail, 2);
  n.AddNetworkGroup();
  n.AddNetworkGroup();
  for (std::uint32_t i = 0; i <= quads; ++i)
    n.AddNetworkVertex(float(i), 0, 0), n.AddNetworkVertex(float(i), 1, 0);
  auto edge = [&](NetworkVertex* a, NetworkVertex* b) {
    NetworkEdge* e = n.AddNetworkEdge();
    e->vertexA = a, e->vertexB = b;
    e->u1A = e->u2A = a->x / float(quads), e->v1A = e->v2A = a->y;
    e->u1B = e->u2B = b->x / float(quads), e->v1B = e->v2B = b->y;
    return e;
  };
  auto face = [&](std::initializer_list<NetworkVertex*> corners,
                  std::initializer_list<NetworkEdge*> edges, std::uint16_t group) {
    NetworkFace* f = n.AddNetworkFace();
    for (NetworkVertex* v : corners) f->vertices[f->cornerCount++] = v;
    int k = 0;
    for (NetworkEdge* e : edges) (e->face1 == nullptr ? e->face1 : e->face2) = f, f->edges[k++] = e;
    f->group = group;
    n.triangleCount += f->cornerCount - 2, n.cornerCount += f->cornerCount;
  };
  auto bottom = [&](std::uint32_t i) { return &n.vertices[2 * i]; };
  auto top = [&](std::uint32_t i) { return &n.vertices[2 * i + 1]; };
  NetworkEdge* side = edge(bottom(0), top(0));
  for (std::uint32_t i = 0; i < quads; ++i) {
    NetworkEdge* next = edge(bottom(i + 1), top(i + 1));
    face({bottom(i), bottom(i + 1), top(i + 1), top(i)},
         {edge(bottom(i), bottom(i + 1)), next, edge(top(i + 1), top(i)), side}, i >= split);
    side = next;
  }
  if (tail) {
    NetworkVertex* end = n.AddNetworkVertex(float(quads) + 1, 0.5f, 0);
    face({bottom(quads), end, top(quads)}, {edge(bottom(quads), end), edge(end, top(quads)), side},
         quads >= split);
  }
  Prepare(n);
}

// A closed surface of 2 x w x h quads: a w x h grid bulging up (z = 1 inside) over one bulging
// down, joined along their border. It has two vertices more than faces.
inline void BuildPillow(MeshNetwork& n, int w, int h) {
  n.AllocateNetwork(2 * w * h + 2, 4 * w * h, 2 * w * h, 1);
  n.AddNetworkGroup();
  for (float side : {1.0f, -1.0f}) {
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) {
        int ring[4][2] = {{i, j}, {i, j + 1}, {i + 1, j + 1}, {i + 1, j}};
        if (side < 0) std::swap(ring[1], ring[3]);
        n.BeginNetworkFace(0);
        for (const auto& p : ring) {
          const bool inside = p[0] > 0 && p[0] < w && p[1] > 0 && p[1] < h;
          n.AddNetworkFaceCorner(float(p[0]), float(p[1]), inside ? side : 0.0f, 0, 0, 0, 0);
        }
        n.CloseNetworkFace();
      }
    }
  }
  Prepare(n);
}

// Every face corner's render entry is its vertex, seen from that face: the vertex position
// and the face's texture coordinates there. Returns what is wrong, or "".
template <class Entry>
std::string CheckCornerEntries(const MeshNetwork& n, const Entry* entries, std::uint32_t count) {
  for (std::uint32_t f = 0; f < n.faceCount; ++f) {
    const NetworkFace& face = n.faces[f];
    for (std::uint32_t i = 0; i < face.cornerCount; ++i) {
      const std::string at = "face " + std::to_string(f) + " corner " + std::to_string(i) + ": ";
      const std::uint32_t k = face.cornerRenderIndex[i];
      if (k >= count) return at + "entry " + std::to_string(k) + " out of range";
      float u, v;
      FaceCornerTexCoords(face, i, u, v);
      const Entry& e = entries[k];
      if (!Near(*face.vertices[i], e.x, e.y, e.z) || e.u != u || e.v != v)
        return at + "entry " + std::to_string(k) + " is another vertex";
    }
  }
  return "";
}

}  // namespace veskor::test
