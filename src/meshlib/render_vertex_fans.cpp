#include "meshlib/render_vertex_fans.h"

#include "foundation/fatal_error.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

// The faces around one vertex in turning order. Fan edge k lies between fan face k and fan
// face k + 1; the last one closes the fan back to face 0, or, on an open fan, is the border
// edge of the last face (face 0 then starts at the other border).
struct Fan {
  NetworkFace* faces[kFanCapacity];
  NetworkEdge* edges[kFanCapacity];
  std::uint32_t corners[kFanCapacity];  // the vertex's corner in each face
  std::uint32_t count;
  bool open;
};

// One step of a walk: a face entered across an edge, with the edge it leaves by.
struct Step {
  NetworkFace* face;
  NetworkEdge* edge;
  std::uint32_t corner;
};

NetworkFace* OtherFace(const NetworkEdge& edge, const NetworkFace* face) {
  return edge.face1 == face ? edge.face2 : edge.face1;
}

bool HasEnd(const NetworkEdge& edge, const NetworkVertex* vertex) {
  return edge.vertexA == vertex || edge.vertexB == vertex;
}

// The face's first edge at the vertex other than `entered`, and the vertex's corner: that
// edge's index when the corner of that index is the vertex, else the next one.
Step Leave(NetworkFace* face, const NetworkEdge* entered, const NetworkVertex* vertex) {
  const std::uint32_t n = face->cornerCount;
  for (std::uint32_t i = 0; i < n && i < kMaxFaceCorners; ++i) {
    NetworkEdge* edge = face->edges[i];
    if (edge == entered || edge == nullptr || !HasEnd(*edge, vertex)) continue;
    return {face, edge, face->vertices[i] == vertex ? i : (i + 1 < n ? i + 1 : 0)};
  }
  FatalError(kAbnormalConnection);
}

// Walks from `first` across its edge, face after face, until the walk meets `stop` (a closed
// fan) or an edge with no further face (a border: returns false). Steps go to `out`.
bool Walk(Step first, const NetworkFace* stop, const NetworkVertex* vertex, Step* out,
          std::uint32_t& count) {
  Step step = first;
  for (;;) {
    NetworkFace* next = OtherFace(*step.edge, step.face);
    if (next == nullptr) return false;
    if (next == stop) return true;
    if (count == kFanCapacity) FatalError(kTooManyFanFaces);
    step = Leave(next, step.edge, vertex);
    out[count++] = step;
  }
}

void WalkFan(NetworkVertex& vertex, NetworkEdge& startEdge, Fan& fan) {
  NetworkFace* face0 = startEdge.face1;
  if (face0 == nullptr || !HasEnd(startEdge, &vertex)) FatalError(kAbnormalConnection);
  std::uint32_t corner0 = kMaxFaceCorners;
  for (std::uint32_t i = 0; i < face0->cornerCount && i < kMaxFaceCorners; ++i) {
    if (face0->vertices[i] == &vertex) {
      corner0 = i;
      break;
    }
  }
  if (corner0 == kMaxFaceCorners) FatalError(kAbnormalConnection);

  Step forward[kFanCapacity];
  std::uint32_t forwardCount = 1;
  forward[0] = {face0, &startEdge, corner0};
  fan.open = !Walk(forward[0], face0, &vertex, forward, forwardCount);
  std::uint32_t backwardCount = 0;
  Step backward[kFanCapacity];
  if (fan.open) {
    // The border stops the walk: the faces behind face 0 come from a walk the other way,
    // leaving face 0 by its other edge at the vertex, up to the other border.
    const Step back0 = Leave(face0, &startEdge, &vertex);
    std::uint32_t walked = 1;
    backward[0] = back0;
    Walk(back0, face0, &vertex, backward, walked);
    // backward[i] (i >= 1) is a face behind face 0; the fan edge after it, towards face 0,
    // is the edge the walk left backward[i - 1] by.
    backwardCount = walked - 1;
    if (backwardCount + forwardCount > kFanCapacity) FatalError(kTooManyFanFaces);
  }
  fan.count = 0;
  for (std::uint32_t i = backwardCount; i >= 1; --i) {
    fan.faces[fan.count] = backward[i].face;
    fan.corners[fan.count] = backward[i].corner;
    fan.edges[fan.count++] = backward[i - 1].edge;
  }
  for (std::uint32_t i = 0; i < forwardCount; ++i) {
    fan.faces[fan.count] = forward[i].face;
    fan.corners[fan.count] = forward[i].corner;
    fan.edges[fan.count++] = forward[i].edge;
  }
}

// The texture coordinates of fan face k at the vertex: fan edge k's, on the face's side, at
// the end that is the vertex.
void FanTexCoords(const Fan& fan, std::uint32_t k, const NetworkVertex* vertex, float& u,
                  float& v) {
  const NetworkEdge& e = *fan.edges[k];
  const bool endA = e.vertexA == vertex;
  if (e.face1 == fan.faces[k]) {
    u = endA ? e.u1A : e.u1B;
    v = endA ? e.v1A : e.v1B;
  } else {
    u = endA ? e.u2A : e.u2B;
    v = endA ? e.v2A : e.v2B;
  }
}

bool IsSharp(const NetworkEdge& edge) { return edge.sharpness > kSharpEdge; }

// An open fan's closing edge is a border: it parts the last face from face 0 as a sharp edge
// would (and, as a border, it is a seam as well).
bool ClosingIsSharp(const Fan& fan) { return fan.open || IsSharp(*fan.edges[fan.count - 1]); }

// Writes entries for the fan: `write(index, normal, k)` stores entry `index` with that normal
// and fan face k's texture coordinates, after checking the index against the capacity.
template <class Write>
void EmitFan(NetworkVertex& vertex, const Fan& fan, std::uint32_t& counter, Write write) {
  const std::uint32_t m = fan.count;
  auto take = [&](std::uint32_t k, std::uint32_t entry) {
    fan.faces[k]->cornerRenderIndex[fan.corners[k]] = entry;
  };
  if (vertex.sharpEdgeCount < 2) {
    const float normal[3] = {vertex.nx, vertex.ny, vertex.nz};
    const std::uint32_t first = counter;
    std::uint32_t entry = first;
    write(entry, normal, 0);
    take(0, entry);
    vertex.emitted = 1;
    for (std::uint32_t k = 1; k < m; ++k) {
      std::uint32_t use = entry;
      if (IsSeamEdge(*fan.edges[k - 1])) {
        if (k == m - 1 && !IsSeamEdge(*fan.edges[m - 1])) {
          use = first;
        } else {
          write(++entry, normal, k);
          use = entry;
          vertex.emitted = 2;
        }
      }
      take(k, use);
    }
    counter = entry + 1;
    return;
  }

  // Crease or corner: runs of faces between sharp edges, each with its own normal. On a
  // closed fan whose closing edge is not sharp, the last run continues into run 0: it goes
  // in front of run 0's faces so that every member follows its neighbour in the fan.
  std::uint32_t rotate = 0;
  if (!ClosingIsSharp(fan)) {
    for (std::uint32_t k = m - 1; k >= 1 && rotate == 0; --k)
      if (IsSharp(*fan.edges[k - 1])) rotate = k;
  }
  std::uint32_t order[kFanCapacity];
  std::uint32_t runStart[kFanCapacity + 1];
  std::uint32_t runs = 0;
  for (std::uint32_t i = 0; i < m; ++i) {
    order[i] = (rotate + i) % m;
    if (i == 0 || IsSharp(*fan.edges[order[i - 1]])) runStart[runs++] = i;
  }
  runStart[runs] = m;

  for (std::uint32_t r = 0; r < runs; ++r) {
    float normal[3] = {0, 0, 0};
    for (std::uint32_t i = runStart[r]; i < runStart[r + 1]; ++i) {
      const NetworkFace& f = *fan.faces[order[i]];
      normal[0] += f.nx, normal[1] += f.ny, normal[2] += f.nz;
    }
    const float length = gKernelTable.KernelLength3(normal);
    if (length > 0) {
      const float scale = 1.0f / length;
      normal[0] *= scale, normal[1] *= scale, normal[2] *= scale;
    }
    std::uint32_t previous = order[runStart[r]];
    write(counter, normal, previous);
    take(previous, counter);
    vertex.emitted = 2;
    for (std::uint32_t i = runStart[r] + 1; i < runStart[r + 1]; ++i) {
      const std::uint32_t k = order[i];
      if (IsSeamEdge(*fan.edges[previous])) write(++counter, normal, k);
      take(k, counter);
      previous = k;
    }
    ++counter;
  }
}

}  // namespace

void EmitVertexNormals(NormalEntry* normals, std::uint32_t capacity, std::uint32_t& counter,
                       NetworkVertex& vertex, NetworkEdge& startEdge) {
  Fan fan;
  WalkFan(vertex, startEdge, fan);
  EmitFan(vertex, fan, counter, [&](std::uint32_t index, const float* n, std::uint32_t) {
    if (index >= capacity) FatalError(kTooMuchNormal);
    normals[index] = {n[0], n[1], n[2]};
  });
}

void EmitRenderVertices(RenderObserver* notify, RenderVertex* vertices, std::uint32_t capacity,
                        std::uint32_t& counter, NetworkVertex& vertex, NetworkEdge& startEdge) {
  Fan fan;
  WalkFan(vertex, startEdge, fan);
  EmitFan(vertex, fan, counter, [&](std::uint32_t index, const float* n, std::uint32_t k) {
    if (index >= capacity) FatalError(kTooMuchVertexes);
    if (notify != nullptr) notify->OnRenderVertex();
    RenderVertex& out = vertices[index];
    out.x = vertex.x, out.y = vertex.y, out.z = vertex.z;
    out.nx = n[0], out.ny = n[1], out.nz = n[2];
    FanTexCoords(fan, k, &vertex, out.u, out.v);
  });
}

}  // namespace veskor
