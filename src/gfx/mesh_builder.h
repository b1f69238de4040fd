// MeshBuilder: the item mesh that the scene build hands to the geometry batch buffer. The scene
// build (geometry) sits above the graphics core, so the record is declared here with the fields
// the buffer reads; the geometry code owns the arrays and keeps its own state beside them.
#pragma once

#include <cstdint>

namespace veskor {

struct MeshBuilder {
  std::uint32_t vertexCount;
  const float* positions;  // three per vertex
  const float* normals;    // three per vertex, or null when the mesh has none
  const float* texCoords;  // four per vertex (s, t, r, q)
  std::uint32_t triangleCount;
  const std::uint32_t* indices;  // three vertex numbers per triangle, from vertex 0 of the mesh
  // Vertices [0, capVertexA) are cap A, [capVertexA, capVertexB) cap B, the rest the body;
  // triangles [0, capTriangleA) cap A, [capTriangleA, capTriangleB) cap B, the rest the body.
  std::uint32_t capVertexA, capVertexB;
  std::uint32_t capTriangleA, capTriangleB;
  float boxMin[3];
  float boxMax[3];
};

}  // namespace veskor
