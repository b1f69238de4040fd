#include "geometry/item_mesh_builder.h"

#include "geometry/cross_section.h"

namespace veskor {

namespace {

template <class Array>
void ReserveEmpty(Array& array, std::uint64_t bytes) {
  MemBlockReserve(array.block, bytes > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(bytes));
  array.block.usedBytes = 0;
  array.pointers[0] = array.pointers[1] = array.block.base;
}

// The view the batch buffer reads follows the arrays.
void Refresh(ItemMeshBuilder& b) {
  b.vertexCount = b.arrays.array1.count;
  b.positions = MeshWorkData<float>(b.arrays.array1);
  b.texCoords = MeshWorkData<float>(b.arrays.array2);
  b.indices = MeshWorkData<std::uint32_t>(b.arrays.array3);
  b.triangleCount = b.arrays.array4.count;
  b.normals = nullptr;
}

void ZeroCounts(ItemWorkArrays& a) {
  a.array1.count = a.array2.count = a.array4.count = a.array5.count = 0;
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

void MeshBuilderInit(ItemMeshBuilder& builder) {
  builder = ItemMeshBuilder{};
  ItemWorkArraysInit(builder.arrays);
}

void MeshBuilderRelease(ItemMeshBuilder& builder) {
  ItemWorkArraysRelease(builder.arrays);
  ZeroCounts(builder.arrays);
  Refresh(builder);
}

void MeshBuilderReset(ItemMeshBuilder& builder, std::uint64_t vertexRoom,
                      std::uint64_t triangleRoom) {
  ItemWorkArrays& a = builder.arrays;
  ReserveEmpty(a.array1, vertexRoom * 3 * sizeof(float));
  ReserveEmpty(a.array2, vertexRoom * 4 * sizeof(float));
  ReserveEmpty(a.array3, triangleRoom * 3 * sizeof(std::uint32_t));
  ReserveEmpty(a.array4, triangleRoom * 2 * sizeof(std::uint32_t));
  a.array5.block.usedBytes = 0;
  a.array5.pointers[1] = a.array5.pointers[0];
  ZeroCounts(a);
  Refresh(builder);
  builder.capVertexA = builder.capVertexB = builder.capTriangleA = builder.capTriangleB = 0;
  builder.ringFirstVertex = 0;
  for (int k = 0; k < 3; ++k) {
    builder.boxMin[k] = kMeshBoundsEmpty;
    builder.boxMax[k] = -kMeshBoundsEmpty;
  }
}

std::uint32_t MeshAddVertex(ItemMeshBuilder& builder, float x, float y, float z) {
  auto* p = static_cast<float*>(MeshWorkAppend(builder.arrays.array1, 3 * sizeof(float)));
  p[0] = x, p[1] = y, p[2] = z;
  for (int a = 0; a < 3; ++a) {
    if (!(builder.boxMin[a] < p[a])) builder.boxMin[a] = p[a];
    if (builder.boxMax[a] <= p[a]) builder.boxMax[a] = p[a];
  }
  ++builder.arrays.array1.count;
  Refresh(builder);
  return builder.vertexCount - 1;
}

std::uint32_t MeshAddAttrib(ItemMeshBuilder& builder, float a, float b, float c, float d) {
  auto* p = static_cast<float*>(MeshWorkAppend(builder.arrays.array2, 4 * sizeof(float)));
  p[0] = a, p[1] = b, p[2] = c, p[3] = d;
  Refresh(builder);
  return builder.arrays.array2.count++;
}

std::uint32_t MeshAddTriangle(ItemMeshBuilder& builder, std::uint32_t i0, std::uint32_t i1,
                              std::uint32_t i2) {
  auto* p =
      static_cast<std::uint32_t*>(MeshWorkAppend(builder.arrays.array3, 3 * sizeof(std::uint32_t)));
  p[0] = i0, p[1] = i1, p[2] = i2;
  ++builder.arrays.array4.count;
  Refresh(builder);
  return builder.triangleCount - 1;
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
