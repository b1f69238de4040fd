#include "gfx/item_batching.h"

#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

// The mesh box in world space.
void WorldBox(const MeshBuilder& mesh, const float* matrix, float* lo, float* hi) {
  float box[6];
  TransformBox(matrix, mesh.boxMin[0], mesh.boxMin[1], mesh.boxMin[2], mesh.boxMax[0],
               mesh.boxMax[1], mesh.boxMax[2], box);
  for (int a = 0; a < 3; ++a) lo[a] = box[a], hi[a] = box[a + 3];
}

// Two for every triangle that comes within 1.0 of the level: the most vertices and triangles
// the clip pass can add when it cuts them.
std::uint32_t CrossingRoom(const MeshBuilder& mesh, const float* matrix, float level) {
  std::uint32_t n = 0;
  for (std::uint32_t j = 0; j < mesh.triangleCount; ++j) {
    float lo = 0, hi = 0;
    for (int c = 0; c < 3; ++c) {
      const float* p = mesh.positions + 3 * std::size_t{mesh.indices[3 * std::size_t{j} + c]};
      float q[3] = {p[0], p[1], p[2]};
      if (matrix != nullptr) gKernelTable.KernelTransformPoint(q, matrix, p);
      lo = c == 0 ? q[2] : (q[2] < lo ? q[2] : lo);
      hi = c == 0 ? q[2] : (q[2] > hi ? q[2] : hi);
    }
    if (hi > level - 1.0f && lo < level + 1.0f) n += 2;
  }
  return n;
}

}  // namespace

void TransformBox(const float* matrix, float x0, float y0, float z0, float x1, float y1, float z1,
                  float* out) {
  const float box[6] = {x0, y0, z0, x1, y1, z1};
  for (int a = 0; a < 6; ++a) out[a] = box[a];
  if (matrix == nullptr) return;
  const KernelTable& k = gKernelTable;
  for (int c = 0; c < 8; ++c) {
    const float corner[4] = {box[(c & 1) ? 3 : 0], box[(c & 2) ? 4 : 1], box[(c & 4) ? 5 : 2],
                             1.0f};
    float p[4];
    k.KernelMat4Vec4(p, matrix, corner);
    for (int a = 0; a < 3; ++a) {
      out[a] = c == 0 ? p[a] : k.KernelMin(out[a], p[a]);
      out[a + 3] = c == 0 ? p[a] : k.KernelMax(out[a + 3], p[a]);
    }
  }
}

std::uint32_t BatchAppendItem(GeometryBatchBuffer& buffer, const MeshBuilder& mesh,
                              std::uint32_t format, ItemDrawRecord& record, const float* matrix) {
  record.format = format;
  SetVertexFormat(buffer, format);
  if (mesh.vertexCount > kItemVertexLimit) return 0;
  // The water test comes first: the room the clip pass needs behind the item must fit too.
  float lo[3], hi[3];
  WorldBox(mesh, matrix, lo, hi);
  std::int32_t k;
  const bool water =
      BatchFindBox(buffer, lo[0] - kWaterMarginXY, lo[1] - kWaterMarginXY, lo[2] - kWaterMarginZ,
                   hi[0] + kWaterMarginXY, hi[1] + kWaterMarginXY, hi[2] + kWaterMarginZ, &k) != 0;
  const std::uint32_t room =
      water ? CrossingRoom(mesh, matrix, buffer.waterBoxes[k].level) + kClipRoomExtra : 0;
  if (!BatchHasRoom(buffer, std::uint64_t{mesh.vertexCount} + room,
                    std::uint64_t{mesh.triangleCount} + room))
    return kBatchItemNoRoom;

  const std::uint32_t f = buffer.floatsPerVertex;
  const std::uint32_t firstFloat = buffer.floatCount, firstIndex = buffer.indexCount;
  const std::uint32_t vA = mesh.capVertexA, vB = mesh.capVertexB;
  const std::uint32_t tA = mesh.capTriangleA, tB = mesh.capTriangleB;
  BatchRange& body = record.mainRanges[0];
  record.capA.firstFloat = firstFloat;
  record.capA.floatCount = f * vA;
  record.capA.firstIndex = firstIndex;
  record.capA.indexCount = 3 * tA;
  record.capB.firstFloat = firstFloat + f * vA;
  record.capB.floatCount = f * (vB - vA);
  record.capB.firstIndex = firstIndex + 3 * tA;
  record.capB.indexCount = 3 * (tB - tA);
  body.firstFloat = firstFloat;
  body.firstIndex = firstIndex + 3 * tB;
  body.indexCount = 3 * (mesh.triangleCount - tB);
  record.rangeCount = 1;

  BatchAppendVertices(buffer, mesh, 0, mesh.vertexCount);
  BatchAppendTriangles(buffer, mesh, 0, mesh.triangleCount);
  body.floatCount = buffer.floatCount - firstFloat;
  body.waterBox = kNoWaterBox;
  record.clipRoomVertices = record.clipRoomTriangles = 0;
  if (!water) return 1;
  body.waterBox = static_cast<std::uint32_t>(k);
  BatchReserveRoom(buffer, room, room);
  record.clipRoomVertices = record.clipRoomTriangles = room;
  return 1;
}

}  // namespace veskor
