#include "gfx/surface_passes.h"

#include "gfx/item_batching.h"
#include "gfx/vertex_grid_sample.h"
#include "gfx/weld_table.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

constexpr float kBorderLow = 0.0005f;
constexpr float kBorderHigh = 0.9998f;
constexpr float kPositionWeldTolerance = 32.0f;

// The spans of an item, in vertex-block floats: cap A, cap B, the rest of main range 0, then
// every further main range; `visit` (first, end, kind, grids, flag) runs on each.
template <class Visit>
void ForEachSpan(const ItemDrawRecord& record, const SurfaceGrids& capA, const SurfaceGrids& body,
                 const SurfaceGrids& capB, Visit visit) {
  const BatchRange& main = record.mainRanges[0];
  std::uint32_t p = main.firstFloat;
  std::uint32_t bodyKind = kSpanOpenBody;
  if (record.capA.floatCount != 0) {
    visit(p, p + record.capA.floatCount, kSpanCapA, capA, 1u);
    p += record.capA.floatCount;
    bodyKind = kSpanCappedBody;
  }
  if (record.capB.floatCount != 0) {
    // Without body triangles cap B meets cap A directly.
    const std::uint32_t flag = record.rangeCount != 0 && main.indexCount != 0 ? 1 : 0;
    visit(p, p + record.capB.floatCount, kSpanCapB, capB, flag);
    p += record.capB.floatCount;
    bodyKind = kSpanCappedBody;
  }
  visit(p, main.firstFloat + main.floatCount, bodyKind, body, 1u);
  for (std::uint32_t r = 1; r < record.rangeCount && r < 4; ++r) {
    const BatchRange& range = record.mainRanges[r];
    visit(range.firstFloat, range.firstFloat + range.floatCount, bodyKind, body, 1u);
  }
}

// The texture coordinates' place in a vertex: 6 in format 2, 3 in format 4, 0 for others.
std::uint32_t TexCoordSlot(std::uint32_t format) { return format == 2 ? 6 : format == 4 ? 3 : 0; }

void Sample(const SurfaceGrids& grids, float s, float t, float* out) {
  out[0] = VertexGridSample(*grids.x, s, t);
  out[1] = VertexGridSample(*grids.y, s, t);
  out[2] = VertexGridSample(*grids.z, s, t);
}

// Scales to unit length; a zero vector (no direction) stays zero.
void NormalizeOrKeepZero(float* v) {
  if (v[0] * v[0] + v[1] * v[1] + v[2] * v[2] > 0.0f) gKernelTable.KernelNormalize3(v);
}

WeldKey BorderKey(const float* p, float s, float t, std::uint32_t border, std::uint32_t kind,
                  std::uint32_t flag) {
  WeldKey key{p[0], p[1], p[2], 0.0f, 0.0f, CurrentDrawRecord};
  switch (kind) {
    case kSpanOpenBody:
      key.ks = (border & 1) != 0 ? -1.0f : s;
      key.kt = (border & 2) != 0 ? -1.0f : t;
      key.owner = nullptr;
      break;
    case kSpanCapA: key.ks = BorderPerimeterParam(s, t); break;
    case kSpanCapB:
      key.ks = BorderPerimeterParamSwapped(s, t);
      key.kt = flag == 1 ? 1.0f : 0.0f;
      break;
    default:
      key.ks = s;
      key.kt = t;
      break;
  }
  // The far end of the border (s = 1, or a parameter at 1) meets its start at 0.
  if (key.ks > kBorderHigh) key.ks = 0.0f;
  return key;
}

}  // namespace

std::uint32_t UvBorderCode(float s, float t) {
  return (s < kBorderLow || s > kBorderHigh ? 1u : 0u) |
         (t < kBorderLow || t > kBorderHigh ? 2u : 0u);
}

float BorderPerimeterParam(float s, float t) {
  if (s < kBorderLow) return t * 0.25f;
  if (t > kBorderHigh) return (s + 1.0f) * 0.25f;
  if (s <= kBorderHigh) return (1.0f - s) * 0.25f + 0.75f;
  return (1.0f - t) * 0.25f + 0.5f;
}

float BorderPerimeterParamSwapped(float s, float t) { return BorderPerimeterParam(t, s); }

void BatchPositionPass(GeometryBatchBuffer& buffer, const ItemDrawRecord& record,
                       const SurfaceGrids& capA, const SurfaceGrids& body, const SurfaceGrids& capB,
                       const float* toLocal, float* box) {
  SetVertexFormat(buffer, record.format);
  if (record.format != 2 && record.format != 4) return;
  WeldTolerance = kPositionWeldTolerance;
  CurrentDrawRecord = &record;
  ForEachSpan(record, capA, body, capB,
              [&](std::uint32_t first, std::uint32_t end, std::uint32_t kind,
                  const SurfaceGrids& grids, std::uint32_t flag) {
                BatchPositionPassCore(buffer, first, end, kind, grids, toLocal, box, flag);
              });
}

void BatchPositionPassCore(GeometryBatchBuffer& buffer, std::uint32_t first, std::uint32_t end,
                           std::uint32_t kind, const SurfaceGrids& grids, const float* toLocal,
                           float* box, std::uint32_t flag) {
  const std::uint32_t f = buffer.floatsPerVertex;
  const std::uint32_t slot = TexCoordSlot(buffer.format);
  if (slot == 0) return;
  const KernelTable& k = gKernelTable;
  for (std::uint32_t at = first; at + f <= end; at += f) {
    float* v = buffer.vertices + at;
    const float s = v[slot], t = v[slot + 1];
    float q[3];
    Sample(grids, s, t, q);
    if (toLocal != nullptr)
      k.KernelTransformPoint(v, toLocal, q);
    else
      v[0] = q[0], v[1] = q[1], v[2] = q[2];
    const std::uint32_t border = UvBorderCode(s, t);
    if (border == 0) continue;

    const WeldKey key = BorderKey(v, s, t, border, kind, flag);
    std::uint32_t bucket;
    WeldEntry* entry = nullptr;
    // Cap A registers its rim; the rest welds to what matches, a capped item's keys only to
    // its own entries (the find passes over other items').
    if (kind == kSpanCapA || WeldTableFind(buffer.weldTable, key, &bucket, &entry) == 0) {
      WeldTableInsert(buffer.weldTable, key, &bucket, &entry);
    } else {
      v[0] = entry->key.x, v[1] = entry->key.y, v[2] = entry->key.z;
    }
    // The box is in world space: the sample itself when the vertex went through the matrix.
    const float* p = toLocal != nullptr ? q : v;
    for (int a = 0; a < 3; ++a) {
      box[a] = k.KernelMin(box[a], p[a]);
      box[3 + a] = k.KernelMax(box[3 + a], p[a]);
    }
  }
}

void BatchNormalPass(GeometryBatchBuffer& buffer, const ItemDrawRecord& record,
                     const SurfaceGrids& capA, const SurfaceGrids& body, const SurfaceGrids& capB,
                     const float* toLocal, float scale, const float* box) {
  SetVertexFormat(buffer, record.format);
  if (record.format != 2) return;
  ForEachSpan(
      record, capA, body, capB,
      [&](std::uint32_t first, std::uint32_t end, std::uint32_t, const SurfaceGrids& grids,
          std::uint32_t) { BatchNormalPassCore(buffer, first, end, grids, toLocal, scale, box); });
}

void BatchNormalPassCore(GeometryBatchBuffer& buffer, std::uint32_t first, std::uint32_t end,
                         const SurfaceGrids& grids, const float* toLocal, float scale,
                         const float* box) {
  const KernelTable& k = gKernelTable;
  float local[6];
  TransformBox(toLocal, box[0], box[1], box[2], box[3], box[4], box[5], local);
  const float* lo = local;
  const float* hi = local + 3;
  float centre[3], inverseHalf[3];
  for (int a = 0; a < 3; ++a) {
    centre[a] = (lo[a] + hi[a]) * 0.5f;
    const float half = (hi[a] - lo[a]) * 0.5f;
    inverseHalf[a] = half != 0.0f ? 1.0f / half : 0.0f;  // a flat box has no tilt along that axis
  }
  const std::uint32_t f = buffer.floatsPerVertex;
  for (std::uint32_t at = first; at + f <= end; at += f) {
    float* v = buffer.vertices + at;
    float d[3], a[3];
    for (int c = 0; c < 3; ++c) {
      d[c] = v[c] - centre[c];
      a[c] = (d[c] < 0 ? -d[c] : d[c]) * inverseHalf[c];
    }
    const int axis = (a[0] >= a[1] && a[0] >= a[2]) ? 0 : (a[2] >= a[1] ? 2 : 1);
    const float w = scale * a[axis];
    NormalizeOrKeepZero(d);
    float g[3];
    Sample(grids, v[6], v[7], g);
    if (toLocal != nullptr && (g[0] != 0.0f || g[1] != 0.0f || g[2] != 0.0f))
      k.KernelTransformNormal(g, toLocal, g);
    float* n = v + 3;
    for (int c = 0; c < 3; ++c) n[c] = g[c] + w * d[c];
    NormalizeOrKeepZero(n);
  }
}

}  // namespace veskor
