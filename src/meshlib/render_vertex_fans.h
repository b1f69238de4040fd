// Render vertex fans: each network vertex becomes one render entry where the surface around it
// is smooth and continuous, more where a crease breaks the normal or a texture seam breaks the
// coordinates. Used by the conversion to render arrays (render_arrays.cpp).
//
// Unlike a walk that needs two faces on every edge, a vertex on a border (an open fan) is
// walked from both sides of the border; fans and output arrays are bounded before each write.
#pragma once

#include <cstdint>

#include "meshlib/mesh_network.h"

namespace veskor {

// Eight floats, the layout the graphics card reads: position at byte 0, normal at byte 12,
// texture coordinates at byte 24.
struct RenderVertex {
  float x, y, z;
  float nx, ny, nz;
  float u, v;
};
static_assert(sizeof(RenderVertex) == 32);

struct NormalEntry {
  float nx, ny, nz;
};

// Told of what the conversion makes, without arguments: each render vertex placed (by the fans
// before it is written, by the conversion before it is copied out), each triangle made with
// 16-bit indices, each with 32-bit indices. The render mesh is one; nothing here needs more.
class RenderObserver {
 public:
  virtual void OnRenderVertex() {}
  virtual void OnShortTriangle() {}
  virtual void OnLongTriangle() {}

 protected:
  ~RenderObserver() = default;
};

// Faces one fan can hold.
inline constexpr std::uint32_t kFanCapacity = 80;
// What a face corner holds before the conversion has made its render entry.
inline constexpr std::uint32_t kNoRenderIndex = 0xFFFFFFFFu;

inline constexpr const char* kAbnormalConnection = "Poltan Error : abnormal connection";
inline constexpr const char* kTooMuchNormal = "Poltan Error : too much normal";
inline constexpr const char* kTooMuchVertexes = "Poltan Error : too much vertexes";
inline constexpr const char* kTooManyFanFaces = "Poltan Error : too many faces around a vertex";

// Writes the vertex's normal entries from `counter` on (the counter ends one past the last),
// records each face corner's entry in cornerRenderIndex and marks the vertex emitted (1: one
// entry, 2: several). `startEdge` must have the vertex as an end. A broken fan is fatal
// (kAbnormalConnection), so is a full array (kTooMuchNormal) or a fan over kFanCapacity faces.
void EmitVertexNormals(NormalEntry* normals, std::uint32_t capacity, std::uint32_t& counter,
                       NetworkVertex& vertex, NetworkEdge& startEdge);
// The same with whole render vertices; `notify` (or null) hears of each one before it is
// written. A full array is fatal with kTooMuchVertexes.
void EmitRenderVertices(RenderObserver* notify, RenderVertex* vertices, std::uint32_t capacity,
                        std::uint32_t& counter, NetworkVertex& vertex, NetworkEdge& startEdge);

}  // namespace veskor
