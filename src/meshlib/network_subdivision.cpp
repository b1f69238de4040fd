// Subdivision of a MeshNetwork, one level per step, Catmull-Clark with semi-sharp creases. The
// adaptive step leaves flat, regular quads whole and cuts them only where their neighbours
// split the shared edges. Border edges that are not sharp follow the boundary rule: their edge
// point is the midpoint and their ends move as on a crease.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>

#include "foundation/fatal_error.h"
#include "mapengine/kernel_table.h"
#include "meshlib/mesh_network.h"

namespace veskor {

namespace {

constexpr double kDegreesToRadians = 0.017453292;
// Edge point weights of the first level and of edges between two crease vertices.
constexpr float kEdgeEndWeight = 0.20710678f;
constexpr float kEdgeFaceWeight = 0.29289323f;
// Crease vertex: itself and the sum of its two sharp edges' edge points.
constexpr float kCreaseSelfWeight = 0.41421357f;
constexpr float kCreaseEdgeWeight = 0.29289323f;

struct Vec {
  float x, y, z;
};

Vec Position(const NetworkVertex& v) { return {v.x, v.y, v.z}; }
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(Vec a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length(Vec a) {
  const float v[3] = {a.x, a.y, a.z};
  return gKernelTable.KernelLength3(v);
}
void Accumulate(NetworkVertex& v, Vec a) { v.x += a.x, v.y += a.y, v.z += a.z; }
void Place(NetworkVertex& v, Vec a) { v.x = a.x, v.y = a.y, v.z = a.z; }

bool IsFlat(const NetworkFace* face) { return face != nullptr && (face->flags & FaceFlat); }

// Sharp, or a border edge that is not: both bound the surface the same way.
bool IsHardEdge(const NetworkEdge& edge) {
  return edge.sharpness > kSharpEdge || edge.face2 == nullptr;
}

// Allocates the destination for one step and copies the groups into it.
void StartStep(MeshNetwork& s, MeshNetwork& d) {
  if (&s == &d) FatalError(kSameNetwork);
  const std::uint64_t v = std::uint64_t{s.vertexCount} + s.faceCount + s.edgeCount;
  const std::uint64_t e = std::uint64_t{s.cornerCount} + 2 * std::uint64_t{s.edgeCount};
  if (std::max(v, e) > std::numeric_limits<std::uint32_t>::max()) FatalError(kNetworkAllocError);
  d.AllocateNetwork(static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(e), s.cornerCount,
                    s.groupCount);
  d.level = static_cast<std::uint8_t>(s.level + 1);
  for (std::uint32_t g = 0; g < s.groupCount; ++g)
    CopyNetworkGroup(*d.AddNetworkGroup(), s.groups[g]);
}

void ComputeFacePoints(MeshNetwork& s, MeshNetwork& d) {
  for (std::uint32_t f = 0; f < s.faceCount; ++f) {
    NetworkFace& face = s.faces[f];
    Vec sum{0, 0, 0};
    for (std::uint32_t i = 0; i < face.cornerCount; ++i) sum = sum + Position(*face.vertices[i]);
    const Vec p = sum * (1.0f / static_cast<float>(face.cornerCount));
    face.facePoint = d.AddNetworkVertex(p.x, p.y, p.z);
  }
}

void ComputeEdgePoints(MeshNetwork& s, MeshNetwork& d) {
  for (std::uint32_t i = 0; i < s.edgeCount; ++i) {
    NetworkEdge& edge = s.edges[i];
    const NetworkVertex& a = *edge.vertexA;
    const NetworkVertex& b = *edge.vertexB;
    const Vec ends = Position(a) + Position(b);
    Vec p;
    if ((edge.flags & EdgeFlat) || IsHardEdge(edge)) {
      p = ends * 0.5f;
    } else {
      const Vec faces = Position(*edge.face1->facePoint) + Position(*edge.face2->facePoint);
      if (s.level == 0 || (a.sharpEdgeCount == 2 && b.sharpEdgeCount == 2))
        p = ends * kEdgeEndWeight + faces * kEdgeFaceWeight;
      else
        p = (ends + faces) * 0.25f;
    }
    edge.midpoint = d.AddNetworkVertex(p.x, p.y, p.z);
  }
}

void ComputeVertexPoints(MeshNetwork& s, MeshNetwork& d) {
  for (std::uint32_t i = 0; i < s.vertexCount; ++i) {
    NetworkVertex& v = s.vertices[i];
    v.useCount = 0;
    v.link = v.fixed ? d.AddNetworkVertex(v.x, v.y, v.z) : d.AddNetworkVertex(0, 0, 0);
    v.link->fixed = v.fixed;
  }
  // The smooth border edges at each vertex, counted on its new vertex for this pass only (the
  // new vertex's own count is made afterwards from the new edges).
  for (std::uint32_t i = 0; i < s.edgeCount; ++i) {
    const NetworkEdge& edge = s.edges[i];
    if (edge.face2 == nullptr && edge.sharpness <= kSharpEdge) {
      ++edge.vertexA->link->sharpEdgeCount;
      ++edge.vertexB->link->sharpEdgeCount;
    }
  }
  auto hardCount = [](const NetworkVertex& v) { return v.sharpEdgeCount + v.link->sharpEdgeCount; };

  for (std::uint32_t i = 0; i < s.edgeCount; ++i) {
    const NetworkEdge& edge = s.edges[i];
    for (NetworkVertex* v : {edge.vertexA, edge.vertexB}) {
      if (v->fixed) continue;
      if (hardCount(*v) == 2) {
        if (!IsHardEdge(edge)) continue;
        Accumulate(*v->link, Position(*edge.midpoint));
      } else {
        Accumulate(*v->link, Position(v == edge.vertexA ? *edge.vertexB : *edge.vertexA));
      }
      ++v->useCount;
    }
  }
  for (std::uint32_t f = 0; f < s.faceCount; ++f) {
    const NetworkFace& face = s.faces[f];
    for (std::uint32_t i = 0; i < face.cornerCount; ++i) {
      NetworkVertex& v = *face.vertices[i];
      if (!v.fixed && hardCount(v) != 2) Accumulate(*v.link, Position(*face.facePoint));
    }
  }
  for (std::uint32_t i = 0; i < s.vertexCount; ++i) {
    NetworkVertex& v = s.vertices[i];
    if (v.fixed) continue;
    const Vec sum = Position(*v.link);
    const int hard = hardCount(v);
    const float k = v.useCount;
    if (hard == 2) {
      Place(*v.link, Position(v) * kCreaseSelfWeight + sum * kCreaseEdgeWeight);
    } else if (hard < 2 && k > 0) {
      Place(*v.link, Position(v) * ((k - 2.0f) / k) + sum * (1.0f / (k * k)));
    } else {  // a corner, or a vertex on no edge
      Place(*v.link, Position(v));
    }
  }
  for (std::uint32_t i = 0; i < s.vertexCount; ++i) s.vertices[i].link->sharpEdgeCount = 0;
}

// Only triangles and quads have flat rules: a larger face marked flat is split as any other.
void DropFlatMarksOfLargeFaces(MeshNetwork& s) {
  for (std::uint32_t f = 0; f < s.faceCount; ++f)
    if (s.faces[f].cornerCount > 4) s.faces[f].flags &= static_cast<std::uint8_t>(~FaceFlat);
}

// An edge is flat when its faces lie within the angle or it stays sharp to the last level.
void MarkFlatEdges(MeshNetwork& s, float lasting, float threshold) {
  for (std::uint32_t i = 0; i < s.edgeCount; ++i) {
    NetworkEdge& edge = s.edges[i];
    bool flat = edge.sharpness > lasting;
    if (edge.face2 != nullptr) {
      const Vec n1{edge.face1->nx, edge.face1->ny, edge.face1->nz};
      const Vec n2{edge.face2->nx, edge.face2->ny, edge.face2->nz};
      flat = flat || Dot(n1, n2) >= threshold;
    }
    edge.flags = flat ? EdgeFlat : 0;
  }
}

bool Parallel(Vec a, Vec b, float threshold) {
  return Dot(a, b) >= Length(a) * Length(b) * threshold;
}

void MarkFlatFaces(MeshNetwork& s, float lasting, float threshold) {
  for (std::uint32_t f = 0; f < s.faceCount; ++f) {
    NetworkFace& face = s.faces[f];
    bool flat = face.flags & FaceFlat;
    if (!flat && face.cornerCount == 4) {
      flat = true;
      for (std::uint32_t i = 0; i < 4; ++i) {
        const NetworkEdge& edge = *face.edges[i];
        // A crease that relaxes before the last level rules the quad out.
        if (!(edge.flags & EdgeFlat) || (edge.sharpness > kSharpEdge && edge.sharpness < lasting))
          flat = false;
      }
      const Vec p0 = Position(*face.vertices[0]), p1 = Position(*face.vertices[1]);
      const Vec p2 = Position(*face.vertices[2]), p3 = Position(*face.vertices[3]);
      flat = flat && Parallel(p1 - p0, p2 - p3, threshold) && Parallel(p3 - p0, p2 - p1, threshold);
    }
    if (flat) {
      face.flags |= FaceFlat;
      face.facePoint->fixed = 1;
    }
  }
}

// Edges of faces that are split are split too. Around flat faces the new corners and edge
// points that lie off creases keep their places through the next step.
void MarkSplitsAndFixedPoints(MeshNetwork& s) {
  for (std::uint32_t f = 0; f < s.faceCount; ++f) {
    NetworkFace& face = s.faces[f];
    for (std::uint32_t i = 0; i < face.cornerCount; ++i) {
      NetworkEdge& edge = *face.edges[i];
      if (!(face.flags & FaceFlat)) {
        edge.flags |= EdgeSplit;
        continue;
      }
      if (face.vertices[i]->sharpEdgeCount < 2) face.vertices[i]->link->fixed = 1;
      if (edge.vertexA->sharpEdgeCount < 2 && edge.vertexB->sharpEdgeCount < 2)
        edge.midpoint->fixed = 1;
    }
  }
}

void MarkSplitEdgesOfSplitFaces(MeshNetwork& s) {
  for (std::uint32_t f = 0; f < s.faceCount; ++f) {
    NetworkFace& face = s.faces[f];
    if (face.flags & FaceFlat) continue;
    for (std::uint32_t i = 0; i < face.cornerCount; ++i) face.edges[i]->flags |= EdgeSplit;
  }
}

float Average(float a, float b) { return (a + b) * 0.5f; }
float LessOne(float sharpness) { return std::max(sharpness - 1.0f, 0.0f); }

void SplitNetworkEdge(MeshNetwork& d, NetworkEdge& e) {
  NetworkEdge& h1 = *d.AddNetworkEdge();
  NetworkEdge& h2 = *d.AddNetworkEdge();
  e.child1 = &h1;
  e.child2 = &h2;
  h1.vertexA = e.vertexA->link;
  h1.vertexB = h2.vertexA = e.midpoint;
  h2.vertexB = e.vertexB->link;
  const std::uint8_t flags =
      ((e.flags & EdgeFlat) && (IsFlat(e.face1) || IsFlat(e.face2))) ? EdgeFlat : 0;
  h1.flags = h2.flags = flags;
  h1.sharpness = h2.sharpness = LessOne(e.sharpness);
  h1.u1A = e.u1A, h1.v1A = e.v1A, h1.u2A = e.u2A, h1.v2A = e.v2A;
  h2.u1B = e.u1B, h2.v1B = e.v1B, h2.u2B = e.u2B, h2.v2B = e.v2B;
  h1.u1B = h2.u1A = Average(e.u1A, e.u1B);
  h1.v1B = h2.v1A = Average(e.v1A, e.v1B);
  h1.u2B = h2.u2A = Average(e.u2A, e.u2B);
  h1.v2B = h2.v2A = Average(e.v2A, e.v2B);
}

void KeepNetworkEdge(MeshNetwork& d, NetworkEdge& e) {
  NetworkEdge& h = *d.AddNetworkEdge();
  e.child1 = &h;
  e.child2 = nullptr;
  h.vertexA = e.vertexA->link;
  h.vertexB = e.vertexB->link;
  h.flags = e.flags & EdgeFlat;
  h.sharpness = LessOne(e.sharpness);
  h.u1A = e.u1A, h.u1B = e.u1B, h.u2A = e.u2A, h.u2B = e.u2B;
  h.v1A = e.v1A, h.v1B = e.v1B, h.v2A = e.v2A, h.v2B = e.v2B;
}

void SplitOrKeepEdges(MeshNetwork& s, MeshNetwork& d) {
  for (std::uint32_t i = 0; i < s.edgeCount; ++i) {
    NetworkEdge& edge = s.edges[i];
    if (!(edge.flags & EdgeFlat) || (edge.flags & EdgeSplit))
      SplitNetworkEdge(d, edge);
    else
      KeepNetworkEdge(d, edge);
  }
}

// A point of a child face: the new vertex and its texture coordinates on the parent's side.
struct Point {
  NetworkVertex* vertex;
  float u, v;
};

// Makes the faces that replace one parent face.
class ChildFaces {
 public:
  ChildFaces(MeshNetwork& d, NetworkFace& parent) : d_(d), parent_(parent), n_(parent.cornerCount) {
    parent.childCount = 0;
    float su = 0, sv = 0;
    for (std::uint32_t k = 0; k < n_; ++k) {
      FaceCornerTexCoords(parent, k, corner_[k].u, corner_[k].v);
      corner_[k].vertex = parent.vertices[k]->link;
      su += corner_[k].u, sv += corner_[k].v;
    }
    centre_ = {parent.facePoint, su / static_cast<float>(n_), sv / static_cast<float>(n_)};
    for (std::uint32_t k = 0; k < n_; ++k) {
      // The edge point's coordinates as the half from corner k holds them on this side.
      const NetworkEdge& edge = *parent.edges[k];
      const NetworkEdge& half = *Half(k, k);
      const bool second = edge.face1 != &parent;
      const bool midAtB = half.vertexB == edge.midpoint;
      mid_[k].vertex = edge.midpoint;
      mid_[k].u = second ? (midAtB ? half.u2B : half.u2A) : (midAtB ? half.u1B : half.u1A);
      mid_[k].v = second ? (midAtB ? half.v2B : half.v2A) : (midAtB ? half.v1B : half.v1A);
    }
  }

  std::uint32_t n() const { return n_; }
  const Point& C(std::uint32_t k) const { return corner_[k % n_]; }
  const Point& M(std::uint32_t k) const { return mid_[k % n_]; }
  bool Split(std::uint32_t k) const { return parent_.edges[k % n_]->child2 != nullptr; }

  // The part of parent edge k next to corner j (k or k + 1); the whole edge when kept.
  NetworkEdge* Half(std::uint32_t k, std::uint32_t j) const {
    const NetworkEdge& edge = *parent_.edges[k % n_];
    if (edge.child2 == nullptr) return edge.child1;
    return edge.vertexA == parent_.vertices[j % n_] ? edge.child1 : edge.child2;
  }
  NetworkEdge* Whole(std::uint32_t k) const { return parent_.edges[k % n_]->child1; }

  // A new edge inside the parent, with the points' coordinates on both sides.
  NetworkEdge* Inner(const Point& a, const Point& b, std::uint8_t flags) {
    NetworkEdge& e = *d_.AddNetworkEdge();
    e.vertexA = a.vertex;
    e.vertexB = b.vertex;
    e.flags = flags;
    e.u1A = e.u2A = a.u, e.v1A = e.v2A = a.v;
    e.u1B = e.u2B = b.u, e.v1B = e.v2B = b.v;
    return &e;
  }

  void Face(std::initializer_list<Point> points, std::initializer_list<NetworkEdge*> edges,
            std::uint8_t flags, std::uint8_t level) {
    NetworkFace& child = *d_.AddNetworkFace();
    std::uint32_t i = 0;
    for (const Point& p : points) child.vertices[i++] = p.vertex;
    i = 0;
    for (NetworkEdge* e : edges) {
      child.edges[i++] = e;
      (e->face1 == nullptr ? e->face1 : e->face2) = &child;
    }
    child.cornerCount = static_cast<std::uint8_t>(i);
    child.flags = flags;
    child.group = parent_.group;
    child.faceLevel = level;
    d_.triangleCount += i == 3 ? 1 : 2;
    d_.cornerCount += 4;
    parent_.children[parent_.childCount++] = &child;
  }

  // One quad per corner around the face point.
  void Quads(std::uint8_t innerFlags, std::uint8_t faceFlags) {
    NetworkEdge* inner[kMaxFaceCorners];
    for (std::uint32_t k = 0; k < n_; ++k) inner[k] = Inner(centre_, M(k), innerFlags);
    for (std::uint32_t k = 0; k < n_; ++k)
      Face({centre_, M(k), C(k + 1), M(k + 1)},
           {inner[k], Half(k, k + 1), Half(k + 1, k + 1), inner[(k + 1) % n_]}, faceFlags,
           d_.level);
  }

 private:
  MeshNetwork& d_;
  NetworkFace& parent_;
  std::uint32_t n_;
  Point corner_[kMaxFaceCorners];
  Point mid_[kMaxFaceCorners];
  Point centre_;
};

// The flat rules: the face is cut only along the edges its neighbours split.
void SplitFlatTriangle(ChildFaces& c, std::uint8_t flags, std::uint8_t parentLevel,
                       std::uint8_t level) {
  std::uint32_t splits = 0;
  for (std::uint32_t k = 0; k < 3; ++k) splits += c.Split(k);
  auto first = [&](bool split) {
    std::uint32_t k = 0;
    while (c.Split(k) != split) ++k;
    return k;
  };
  if (splits == 0) {
    c.Face({c.C(0), c.C(1), c.C(2)}, {c.Whole(0), c.Whole(1), c.Whole(2)}, flags, parentLevel);
  } else if (splits == 1) {
    const std::uint32_t s = first(true);
    NetworkEdge* e = c.Inner(c.M(s), c.C(s + 2), EdgeFlat);
    c.Face({c.C(s), c.M(s), c.C(s + 2)}, {c.Half(s, s), e, c.Whole(s + 2)}, flags, level);
    c.Face({c.M(s), c.C(s + 1), c.C(s + 2)}, {c.Half(s, s + 1), c.Whole(s + 1), e}, flags, level);
  } else if (splits == 2) {
    const std::uint32_t s = first(false) + 1;
    NetworkEdge* e = c.Inner(c.M(s), c.M(s + 1), EdgeFlat);
    c.Face({c.M(s), c.C(s + 1), c.M(s + 1)}, {c.Half(s, s + 1), c.Half(s + 1, s + 1), e}, flags,
           level);
    c.Face({c.C(s), c.M(s), c.M(s + 1), c.C(s + 2)},
           {c.Half(s, s), e, c.Half(s + 1, s + 2), c.Whole(s + 2)}, flags, level);
  } else {
    NetworkEdge* x[3];  // x[k] joins the edge points on either side of corner k
    for (std::uint32_t k = 0; k < 3; ++k) x[k] = c.Inner(c.M(k), c.M(k + 2), EdgeFlat);
    for (std::uint32_t k = 0; k < 3; ++k)
      c.Face({c.C(k), c.M(k), c.M(k + 2)}, {c.Half(k, k), x[k], c.Half(k + 2, k)}, flags, level);
    c.Face({c.M(0), c.M(1), c.M(2)}, {x[1], x[2], x[0]}, flags, level);
  }
}

void SplitFlatQuad(ChildFaces& c, std::uint8_t flags, std::uint8_t parentLevel,
                   std::uint8_t level) {
  std::uint32_t splits = 0;
  for (std::uint32_t k = 0; k < 4; ++k) splits += c.Split(k);
  if (splits == 0) {
    c.Face({c.C(0), c.C(1), c.C(2), c.C(3)}, {c.Whole(0), c.Whole(1), c.Whole(2), c.Whole(3)},
           flags, parentLevel);
  } else if (splits == 1) {
    std::uint32_t s = 0;
    while (!c.Split(s)) ++s;
    NetworkEdge* e2 = c.Inner(c.M(s), c.C(s + 2), EdgeFlat);
    NetworkEdge* e3 = c.Inner(c.M(s), c.C(s + 3), EdgeFlat);
    c.Face({c.C(s), c.M(s), c.C(s + 3)}, {c.Half(s, s), e3, c.Whole(s + 3)}, flags, level);
    c.Face({c.M(s), c.C(s + 1), c.C(s + 2)}, {c.Half(s, s + 1), c.Whole(s + 1), e2}, flags, level);
    c.Face({c.M(s), c.C(s + 2), c.C(s + 3)}, {e2, c.Whole(s + 2), e3}, flags, level);
  } else if (splits == 2 && c.Split(0) == c.Split(2)) {  // opposite sides
    const std::uint32_t s = c.Split(0) ? 0 : 1;
    NetworkEdge* e = c.Inner(c.M(s), c.M(s + 2), EdgeFlat);
    c.Face({c.C(s), c.M(s), c.M(s + 2), c.C(s + 3)},
           {c.Half(s, s), e, c.Half(s + 2, s + 3), c.Whole(s + 3)}, flags, level);
    c.Face({c.M(s), c.C(s + 1), c.C(s + 2), c.M(s + 2)},
           {c.Half(s, s + 1), c.Whole(s + 1), c.Half(s + 2, s + 2), e}, flags, level);
  } else if (splits == 2) {  // adjacent sides p and p + 1
    std::uint32_t p = 0;
    while (!(c.Split(p) && c.Split(p + 1))) ++p;
    NetworkEdge* mn = c.Inner(c.M(p), c.M(p + 1), EdgeFlat);
    NetworkEdge* n3 = c.Inner(c.M(p + 1), c.C(p + 3), EdgeFlat);
    NetworkEdge* m3 = c.Inner(c.M(p), c.C(p + 3), EdgeFlat);
    c.Face({c.M(p), c.C(p + 1), c.M(p + 1)}, {c.Half(p, p + 1), c.Half(p + 1, p + 1), mn}, flags,
           level);
    c.Face({c.M(p), c.M(p + 1), c.C(p + 3)}, {mn, n3, m3}, flags, level);
    c.Face({c.M(p + 1), c.C(p + 2), c.C(p + 3)}, {c.Half(p + 1, p + 2), c.Whole(p + 2), n3}, flags,
           level);
    c.Face({c.C(p), c.M(p), c.C(p + 3)}, {c.Half(p, p), m3, c.Whole(p + 3)}, flags, level);
  } else if (splits == 3) {
    std::uint32_t u = 0;
    while (c.Split(u)) ++u;
    const Point &m = c.M(u + 1), &n = c.M(u + 2), &p = c.M(u + 3);
    NetworkEdge* mn = c.Inner(m, n, EdgeFlat);
    NetworkEdge* np = c.Inner(n, p, EdgeFlat);
    NetworkEdge* mp = c.Inner(m, p, EdgeFlat);
    c.Face({m, c.C(u + 2), n}, {c.Half(u + 1, u + 2), c.Half(u + 2, u + 2), mn}, flags, level);
    c.Face({n, c.C(u + 3), p}, {c.Half(u + 2, u + 3), c.Half(u + 3, u + 3), np}, flags, level);
    c.Face({m, n, p}, {mn, np, mp}, flags, level);
    c.Face({c.C(u), c.C(u + 1), m, p}, {c.Whole(u), c.Half(u + 1, u + 1), mp, c.Half(u + 3, u)},
           flags, level);
  } else {
    c.Quads(EdgeFlat, flags);
  }
}

void BuildChildFaces(MeshNetwork& s, MeshNetwork& d) {
  for (std::uint32_t f = 0; f < s.faceCount; ++f) {
    NetworkFace& face = s.faces[f];
    ChildFaces children(d, face);
    if (!(face.flags & FaceFlat)) {
      children.Quads(0, face.flags);
      continue;
    }
    const std::uint8_t flags = face.flags & FaceFlat;
    if (face.cornerCount == 3)
      SplitFlatTriangle(children, flags, face.faceLevel, d.level);
    else
      SplitFlatQuad(children, flags, face.faceLevel, d.level);
  }
}

// Moves a pointer into the source's array onto the same record of the destination's; a
// pointer elsewhere (a link into a network derived from the source) has no counterpart.
template <class T>
T* Moved(T* p, const T* from, std::uint32_t count, T* to) {
  const auto a = reinterpret_cast<std::uintptr_t>(p), b = reinterpret_cast<std::uintptr_t>(from);
  if (p == nullptr || a < b || a >= b + std::uintptr_t{count} * sizeof(T)) return nullptr;
  return to + (a - b) / sizeof(T);
}

void CopyNetwork(const MeshNetwork& s, MeshNetwork& d) {
  if (s.groupCount > s.faceCapacity)
    d.AllocateNetwork(s.vertexCapacity, s.edgeCapacity, s.faceCapacity, s.groupCount);
  else
    d.AllocateNetwork(s.vertexCapacity, s.edgeCapacity, s.faceCapacity);
  auto vertex = [&](NetworkVertex* p) { return Moved(p, s.vertices, s.vertexCount, d.vertices); };
  auto edge = [&](NetworkEdge* p) { return Moved(p, s.edges, s.edgeCount, d.edges); };
  auto face = [&](NetworkFace* p) { return Moved(p, s.faces, s.faceCount, d.faces); };
  for (std::uint32_t i = 0; i < s.vertexCount; ++i) {
    NetworkVertex& v = *d.AddNetworkVertex(0, 0, 0);
    CopyNetworkVertex(v, s.vertices[i]);
    v.link = vertex(v.link);
  }
  for (std::uint32_t i = 0; i < s.edgeCount; ++i) {
    NetworkEdge& e = *d.AddNetworkEdge();
    CopyNetworkEdge(e, s.edges[i]);
    e.vertexA = vertex(e.vertexA), e.vertexB = vertex(e.vertexB), e.midpoint = vertex(e.midpoint);
    e.face1 = face(e.face1), e.face2 = face(e.face2);
    e.child1 = edge(e.child1), e.child2 = edge(e.child2);
  }
  for (std::uint32_t i = 0; i < s.faceCount; ++i) {
    NetworkFace& f = *d.AddNetworkFace();
    CopyNetworkFace(f, s.faces[i]);
    for (std::uint32_t k = 0; k < f.cornerCount; ++k)
      f.vertices[k] = vertex(f.vertices[k]), f.edges[k] = edge(f.edges[k]);
    f.facePoint = vertex(f.facePoint);
    for (std::uint32_t k = 0; k < f.childCount; ++k) f.children[k] = face(f.children[k]);
    d.triangleCount += f.cornerCount >= 2 ? f.cornerCount - 2u : 0u;
  }
  for (std::uint32_t g = 0; g < s.groupCount; ++g)
    CopyNetworkGroup(*d.AddNetworkGroup(), s.groups[g]);
  d.cornerCount = s.cornerCount;
  d.level = s.level;
  d.creaseVertexCount = s.creaseVertexCount;
  d.seamEdgeCount = s.seamEdgeCount;
}

void FinishStep(MeshNetwork& s, MeshNetwork& d) {
  SplitOrKeepEdges(s, d);
  BuildChildFaces(s, d);
  d.ComputeNetworkNormals();
  d.CountCreasesAndSeams();
}

}  // namespace

void MeshNetwork::SubdivideNetwork(MeshNetwork& d) {
  StartStep(*this, d);
  ComputeFacePoints(*this, d);
  ComputeEdgePoints(*this, d);
  ComputeVertexPoints(*this, d);
  DropFlatMarksOfLargeFaces(*this);
  // The flags stand as they are, but a face that is split needs its edges split.
  MarkSplitEdgesOfSplitFaces(*this);
  FinishStep(*this, d);
}

void MeshNetwork::SubdivideNetwork(std::uint32_t levels, float threshold, MeshNetwork& d) {
  StartStep(*this, d);
  ComputeFacePoints(*this, d);
  ComputeEdgePoints(*this, d);
  ComputeVertexPoints(*this, d);
  DropFlatMarksOfLargeFaces(*this);
  // Sharpness above this lasts through every remaining step.
  const float lasting = static_cast<float>(levels) - static_cast<float>(level + 1);
  MarkFlatEdges(*this, lasting, threshold);
  MarkFlatFaces(*this, lasting, threshold);
  MarkSplitsAndFixedPoints(*this);
  FinishStep(*this, d);
}

void MeshNetwork::SubdivideNetworkLevels(std::uint32_t levels, float angle, MeshNetwork& d) {
  if (&d == this) FatalError(kSameNetwork);
  const auto threshold = static_cast<float>(std::cos(angle * kDegreesToRadians));
  if (levels == 0) {
    CopyNetwork(*this, d);
    return;
  }
  MeshNetwork t;
  if (levels % 2 == 1) {
    SubdivideNetwork(levels, threshold, d);
    for (std::uint32_t i = 0; i < levels / 2; ++i) {
      d.SubdivideNetwork(levels, threshold, t);
      t.SubdivideNetwork(levels, threshold, d);
    }
  } else {
    SubdivideNetwork(levels, threshold, t);
    for (std::uint32_t i = 0; i < (levels - 1) / 2; ++i) {
      t.SubdivideNetwork(levels, threshold, d);
      d.SubdivideNetwork(levels, threshold, t);
    }
    t.SubdivideNetwork(levels, threshold, d);
  }
}

}  // namespace veskor
