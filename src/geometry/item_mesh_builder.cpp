#include "geometry/item_mesh_builder.h"

#include "geometry/cross_section.h"

namespace veskor {

namespace {

void ReserveEmpty(VmArray& array, std::uint64_t bytes) {
  VmArrayReserve(array, bytes > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(bytes));
  VmArrayClear(array);
}

// The view the batch buffer reads follows the arrays.
void Refresh(ItemMeshBuilder& b) {
  b.positions = VmArrayData<float>(b.positionArray);
  b.texCoords = VmArrayData<float>(b.attributeArray);
  b.indices = VmArrayData<std::uint32_t>(b.indexArray);
  b.normals = nullptr;
}

std::uint32_t RingVertex(ItemMeshBuilder& b, const SweepPath& path, std::uint32_t k) {
  return MeshAddVertex(b, path.x[k], path.y[k], path.height);
}

// Where a cap ring point of parameter p lies on the unit square.
void CapSquare(float p, bool top, float* s, float* t) {
  float a, c;  // the bottom cap's (s, t); the top cap's is (t, s)
  if (p <= 0.25f) {
    a = 0, c = 4 * p;
  } else if (p <= 0.5f) {
    a = 4 * (p - 0.25f), c = 1;
  } else if (p <= 0.75f) {
    a = 1, c = 4 * (0.75f - p);
  } else {
    a = 4 * (1 - p), c = 0;
  }
  *s = top ? c : a;
  *t = top ? a : c;
}

// The fan of a cap: centre m, ring point 0, points 1 to n - 1, the closing vertex.
void CapFan(ItemMeshBuilder& b, float x, float y, float z, const SweepPath& path,
            std::uint32_t force, bool top) {
  const std::uint32_t n = path.count;
  if (n == 0) return;
  const std::uint32_t m = MeshAddVertex(b, x, y, z);
  MeshAddAttrib(b, 0.5f, 0.5f, 0, 1);
  std::uint32_t prev = RingVertex(b, path, 0);
  MeshAddAttrib(b, 0, 0, 0, 1);
  if (!top) b.ringFirstVertex = prev;
  bool prevVisible = SweepPathPointVisible(path, 0);
  const auto fan = [&](std::uint32_t v, bool visible) {
    if (force != 0 || prevVisible || visible) {
      if (top) {
        MeshAddTriangle(b, prev, m, v);
      } else {
        MeshAddTriangle(b, prev, v, m);
      }
    }
    prev = v;
    prevVisible = visible;
  };
  for (std::uint32_t k = 1; k < n; ++k) {
    const std::uint32_t v = RingVertex(b, path, k);
    float s, t;
    CapSquare(HalfToFloat(path.packedT[k]), top, &s, &t);
    MeshAddAttrib(b, s, t, 0, 1);
    fan(v, SweepPathPointVisible(path, k));
  }
  const std::uint32_t e = RingVertex(b, path, 0);
  MeshAddAttrib(b, 0, 0, 0, 1);
  fan(e, SweepPathPointVisible(path, 0));
}

}  // namespace

void MeshBuilderInit(ItemMeshBuilder& builder) { builder = ItemMeshBuilder{}; }

void MeshBuilderRelease(ItemMeshBuilder& builder) {
  VmArrayRelease(builder.positionArray);
  VmArrayRelease(builder.attributeArray);
  VmArrayRelease(builder.indexArray);
  VmArrayRelease(builder.triangleRanges);
  VmArrayRelease(builder.auxiliary);
  Refresh(builder);
  builder.vertexCount = builder.attributeCount = builder.triangleCount = 0;
  builder.auxiliaryCount = 0;
}

void MeshBuilderReset(ItemMeshBuilder& builder, std::uint64_t vertexRoom,
                      std::uint64_t triangleRoom) {
  ReserveEmpty(builder.positionArray, vertexRoom * 3 * sizeof(float));
  ReserveEmpty(builder.attributeArray, vertexRoom * 4 * sizeof(float));
  ReserveEmpty(builder.indexArray, triangleRoom * 3 * sizeof(std::uint32_t));
  ReserveEmpty(builder.triangleRanges, triangleRoom * 2 * sizeof(std::uint32_t));
  VmArrayClear(builder.auxiliary);
  Refresh(builder);
  builder.vertexCount = builder.attributeCount = builder.triangleCount = 0;
  builder.auxiliaryCount = 0;
  builder.capVertexA = builder.capVertexB = builder.capTriangleA = builder.capTriangleB = 0;
  builder.ringFirstVertex = 0;
  for (int a = 0; a < 3; ++a) {
    builder.boxMin[a] = kMeshBoundsEmpty;
    builder.boxMax[a] = -kMeshBoundsEmpty;
  }
}

std::uint32_t MeshAddVertex(ItemMeshBuilder& builder, float x, float y, float z) {
  auto* p = static_cast<float*>(VmArrayAppend(builder.positionArray, 1, 3 * sizeof(float)));
  p[0] = x, p[1] = y, p[2] = z;
  for (int a = 0; a < 3; ++a) {
    if (!(builder.boxMin[a] < p[a])) builder.boxMin[a] = p[a];
    if (builder.boxMax[a] <= p[a]) builder.boxMax[a] = p[a];
  }
  Refresh(builder);
  return builder.vertexCount++;
}

std::uint32_t MeshAddAttrib(ItemMeshBuilder& builder, float a, float b, float c, float d) {
  auto* p = static_cast<float*>(VmArrayAppend(builder.attributeArray, 1, 4 * sizeof(float)));
  p[0] = a, p[1] = b, p[2] = c, p[3] = d;
  Refresh(builder);
  return builder.attributeCount++;
}

std::uint32_t MeshAddTriangle(ItemMeshBuilder& builder, std::uint32_t i0, std::uint32_t i1,
                              std::uint32_t i2) {
  auto* p =
      static_cast<std::uint32_t*>(VmArrayAppend(builder.indexArray, 1, 3 * sizeof(std::uint32_t)));
  p[0] = i0, p[1] = i1, p[2] = i2;
  Refresh(builder);
  return builder.triangleCount++;
}

std::uint32_t MeshAddStripTriangle(ItemMeshBuilder& builder, const LodRange&, std::uint32_t i0,
                                   std::uint32_t i1, std::uint32_t i2) {
  return MeshAddTriangle(builder, i0, i1, i2);
}

void MeshAddCapBottom(ItemMeshBuilder& builder, float x, float y, float z, const SweepPath& path,
                      std::uint32_t force) {
  CapFan(builder, x, y, z, path, force, false);
  builder.capTriangleA = builder.capTriangleB = builder.triangleCount;
  builder.capVertexA = builder.capVertexB = builder.vertexCount;
}

void MeshAddCapTop(ItemMeshBuilder& builder, const SweepPath& path, float x, float y, float z,
                   std::uint32_t force) {
  builder.capTriangleA = builder.triangleCount;
  builder.capVertexA = builder.vertexCount;
  CapFan(builder, x, y, z, path, force, true);
  builder.capTriangleB = builder.triangleCount;
  builder.capVertexB = builder.vertexCount;
}

void MeshAddRingVertices(ItemMeshBuilder& builder, const SweepPath& path) {
  if (path.count == 0) return;
  const float v = ProfileV(path);
  builder.ringFirstVertex = RingVertex(builder, path, 0);
  MeshAddAttrib(builder, 0, v, 0, 1);
  for (std::uint32_t k = 1; k < path.count; ++k) {
    RingVertex(builder, path, k);
    MeshAddAttrib(builder, HalfToFloat(path.packedT[k]), v, 0, 1);
  }
  RingVertex(builder, path, 0);
  MeshAddAttrib(builder, 1, v, 0, 1);
}

void MeshAddRing(ItemMeshBuilder& builder, const SweepPath& path) {
  builder.capTriangleB = builder.triangleCount;
  builder.capVertexB = builder.vertexCount;
  MeshAddRingVertices(builder, path);
}

}  // namespace veskor
