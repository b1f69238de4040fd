#include "geometry/height_maps.h"

#include <algorithm>
#include <cmath>

#include "geometry/scaled_transform.h"
#include "geometry/scene_build_error.h"
#include "gfx/vertex_grid_sample.h"
#include "mapengine/kernel_table.h"

namespace veskor {

SceneHeightMaps gSceneHeightMaps;

SceneHeightMaps::~SceneHeightMaps() {
  for (auto& record : records) VertexGridRelease(record->grid);
}

namespace {

// Box (x min, height min, y min, x max, height max, y max) through the matrix, each axis
// ordered.
void TransformedBox(const float* box, const float* matrix, float* out) {
  float p0[4], p1[4];
  gKernelTable.KernelTransformPoint(p0, matrix, box);
  gKernelTable.KernelTransformPoint(p1, matrix, box + 3);
  for (int k = 0; k < 3; ++k) {
    out[k] = std::min(p0[k], p1[k]);
    out[k + 3] = std::max(p0[k], p1[k]);
  }
}

bool Finite(const float* values, int n) {
  for (int k = 0; k < n; ++k)
    if (!std::isfinite(values[k])) return false;
  return true;
}

// Grid index of coordinate q over [lo, lo + extent] with `cells` cells, truncated and kept in
// the grid.
std::uint32_t GridIndex(float q, float lo, float extent, std::uint32_t cells) {
  const float position = (q - lo) / extent * static_cast<float>(cells);
  if (!(position > 0.0f)) return 0;
  return std::min(static_cast<std::uint32_t>(position), cells);
}

void Combine(HeightFieldRecord& a, const HeightFieldRecord& b, const float* bb,
             HeightGridMember member) {
  if (a.grid.data == nullptr || b.grid.data == nullptr) return;
  if (!Finite(a.box, 6) || !Finite(bb, 6)) return;
  const float aw = a.box[3] - a.box[0], ad = a.box[5] - a.box[2], ah = a.box[4] - a.box[1];
  const float bw = bb[3] - bb[0], bd = bb[5] - bb[2], bh = bb[4] - bb[1];
  if (!(aw > 0.0f) || !(ad > 0.0f) || !(ah > 0.0f) || !(bw > 0.0f) || !(bd > 0.0f)) return;
  const float lx = std::max(a.box[0], bb[0]), hx = std::min(a.box[3], bb[3]);
  const float lz = std::max(a.box[2], bb[2]), hz = std::min(a.box[5], bb[5]);
  if (lx > hx || lz > hz) return;

  const std::uint32_t cw = 1u << a.grid.log2Width, ch = 1u << a.grid.log2Height;
  const std::uint32_t i0 = GridIndex(lx, a.box[0], aw, cw), i1 = GridIndex(hx, a.box[0], aw, cw);
  const std::uint32_t j0 = GridIndex(lz, a.box[2], ad, ch), j1 = GridIndex(hz, a.box[2], ad, ch);
  const float u0 = (lx - bb[0]) / bw, u1 = (hx - bb[0]) / bw;
  const float v0 = (lz - bb[2]) / bd, v1 = (hz - bb[2]) / bd;
  const float du = i1 > i0 ? (u1 - u0) / static_cast<float>(i1 - i0) : 0.0f;
  const float dv = j1 > j0 ? (v1 - v0) / static_cast<float>(j1 - j0) : 0.0f;
  const float inverseSpan = 1.0f / ah;
  for (std::uint32_t j = j0; j <= j1; ++j) {
    const float v = v0 + static_cast<float>(j - j0) * dv;
    float* row = VertexGridCell(a.grid, 0, j);
    for (std::uint32_t i = i0; i <= i1; ++i) {
      const float u = u0 + static_cast<float>(i - i0) * du;
      const float hb = VertexGridSample(b.grid, u, v) * bh + bb[1];
      if (!std::isfinite(hb)) continue;
      const float ha = row[i] * ah + a.box[1];
      if (member == kHeightGridMin ? ha > hb : ha < hb) row[i] = (hb - a.box[1]) * inverseSpan;
    }
  }
}

}  // namespace

void SceneHeightMapsReset() {
  gSceneHeightMaps.count = 0;
  gSceneHeightMaps.waterPlanes.clear();
}

HeightFieldRecord* HeightMapAt(World& world, std::uint32_t index) {
  const std::uint32_t own = std::min(world.heightFieldCount, kWorldHeightFieldMax);
  if (index < own) return &world.heightFields[index];
  if (index - own < gSceneHeightMaps.count) return gSceneHeightMaps.records[index - own].get();
  return nullptr;
}

const WaterPlane* WaterPlaneAt(const World& world, std::uint32_t index) {
  const std::uint32_t own = std::min(world.waterPlaneCount, kWorldWaterPlaneMax);
  if (index < own) return &world.waterPlanes[index];
  if (index - own < gSceneHeightMaps.waterPlanes.size())
    return &gSceneHeightMaps.waterPlanes[index - own];
  return nullptr;
}

std::uint32_t HeightMapClone(World& world, std::uint32_t source) {
  const HeightFieldRecord* s = HeightMapAt(world, source);
  if (s == nullptr || s->grid.data == nullptr) {
    SceneBuildFail(kBadHeightMapMessage);
    return kNoHeightMap;
  }
  SceneHeightMaps& maps = gSceneHeightMaps;
  if (maps.count == maps.records.size()) {
    auto record = std::make_unique<HeightFieldRecord>();
    VertexGridInit(record->grid);
    maps.records.push_back(std::move(record));
  }
  HeightFieldRecord& d = *maps.records[maps.count];
  d.waterPlaneCount = 0;
  std::copy(s->box, s->box + 6, d.box);
  d.cellSizeX = s->cellSizeX;
  d.heightSpan = s->heightSpan;
  d.cellSizeY = s->cellSizeY;
  const std::uint16_t w = s->grid.log2Width, h = s->grid.log2Height;
  VertexGridAlloc(d.grid, w, h);  // keeps a block of this size
  d.grid.scaleX = d.grid.scaleZ = d.grid.scaleValue = 1.0f;
  d.grid.offsetX = d.grid.offsetZ = d.grid.offsetValue = 0.0f;
  gKernelTable.GridCopy(static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(h), s->grid.data,
                        d.grid.data);
  return std::min(world.heightFieldCount, kWorldHeightFieldMax) + maps.count++;
}

void HeightMapPrepare(World& world, std::uint32_t a, std::uint32_t b, std::uint16_t t) {
  HeightFieldRecord* destination = HeightMapAt(world, a);
  const HeightFieldRecord* source = HeightMapAt(world, b);
  if (destination == nullptr || source == nullptr) return SceneBuildFail(kBadHeightMapMessage);
  if (t != kNoTransform && t >= std::min<std::uint32_t>(world.compositionTransformCount,
                                                        kWorldCompositionTransformMax))
    return SceneBuildFail(kBadTransformMessage);
  const std::uint32_t n = source->waterPlaneCount;
  if (n > kHeightFieldWaterMax || destination->waterPlaneCount + n > kHeightFieldWaterMax)
    return SceneBuildFail(kTooManyMapWaterPlanesMessage);
  std::uint32_t list[kHeightFieldWaterMax];
  std::copy(source->waterPlanes, source->waterPlanes + n, list);
  for (std::uint32_t k = 0; k < n; ++k)
    if (WaterPlaneAt(world, list[k]) == nullptr) return SceneBuildFail(kBadWaterPlaneMessage);

  TransformNode node = t != kNoTransform ? world.compositionTransforms[t] : TransformNode{};
  const float* matrix = nullptr;
  if (t != kNoTransform) {
    node.identity = 0;
    node.dirty = 1;
    matrix = TransformNodeScaledMatrix(node);
  }
  const std::uint32_t own = std::min(world.waterPlaneCount, kWorldWaterPlaneMax);
  for (std::uint32_t k = 0; k < n; ++k) {
    WaterPlane plane = *WaterPlaneAt(world, list[k]);
    if (matrix != nullptr) {
      // Corners in the height field's axis order: (x, altitude, y).
      const float c0[3] = {plane.x0, plane.altitude, plane.y0};
      const float c1[3] = {plane.x1, plane.altitude, plane.y1};
      float p0[4], p1[4];
      gKernelTable.KernelTransformPoint(p0, matrix, c0);
      gKernelTable.KernelTransformPoint(p1, matrix, c1);
      plane.x0 = std::min(p0[0], p1[0]);
      plane.x1 = std::max(p0[0], p1[0]);
      plane.y0 = std::min(p0[2], p1[2]);
      plane.y1 = std::max(p0[2], p1[2]);
      plane.altitude = p0[1];
    }
    gSceneHeightMaps.waterPlanes.push_back(plane);
    destination->waterPlanes[destination->waterPlaneCount++] =
        own + static_cast<std::uint32_t>(gSceneHeightMaps.waterPlanes.size()) - 1;
  }
}

void HeightMapTransformBox(HeightFieldRecord& map, const float* matrix) {
  float box[6];
  TransformedBox(map.box, matrix, box);
  std::copy(box, box + 6, map.box);
  map.cellSizeX = (box[3] - box[0]) / static_cast<float>(1u << map.grid.log2Width);
  map.heightSpan = box[1] - box[4];
  map.cellSizeY = (box[5] - box[2]) / static_cast<float>(1u << map.grid.log2Height);
}

void HeightGridOp(HeightFieldRecord& a, const HeightFieldRecord& b, HeightGridMember member) {
  Combine(a, b, b.box, member);
}

void HeightGridOpTransformed(HeightFieldRecord& a, const HeightFieldRecord& b, const float* matrix,
                             HeightGridMember member) {
  float box[6];
  TransformedBox(b.box, matrix, box);
  Combine(a, b, box, member);
}

}  // namespace veskor
