#include "gfx/lod_boxes.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

float Excess(float p, float lo, float hi) {
  const float above = std::max(0.0f, p - hi);
  const float below = std::max(0.0f, lo - p);
  return above * above + below * below;
}

// Squared gap between a record's box and a min-max box (0 when they touch or overlap).
float GapSquared(const LodBoxRecord& r, float x0, float y0, float z0, float x1, float y1,
                 float z1) {
  auto gap = [](float lo, float hi, float rlo, float rhi) {
    const float g = std::max({0.0f, rlo - hi, lo - rhi});
    return g * g;
  };
  return gap(x0, x1, r.x0, r.x1) + gap(y0, y1, r.y0, r.y1) + gap(z0, z1, r.z0, r.z1);
}

void Widen(LodBoxRecord& r, float x0, float y0, float z0, float x1, float y1, float z1) {
  const KernelTable& k = gKernelTable;
  r.x0 = k.KernelMin(r.x0, x0);
  r.y0 = k.KernelMin(r.y0, y0);
  r.z0 = k.KernelMin(r.z0, z0);
  r.x1 = k.KernelMax(r.x1, x1);
  r.y1 = k.KernelMax(r.y1, y1);
  r.z1 = k.KernelMax(r.z1, z1);
}

std::uint32_t ClampLevel(std::uint32_t level, const LodRange& range) {
  if (level < range.minLevel) level = range.minLevel;
  if (level > range.maxLevel) level = range.maxLevel;
  return level;
}

}  // namespace

float PointBoxDistance(const LodBoxRecord& box, float x, float y, float z) {
  return gKernelTable.KernelSqrt(Excess(x, box.x0, box.x1) + Excess(y, box.y0, box.y1) +
                                 Excess(z, box.z0, box.z1));
}

float LodBoxDistance(const LodBoxList& list, std::uint32_t i, float x, float y, float z) {
  return PointBoxDistance(list.records[i], x, y, z);
}

float ItemBoxDistance(float x, float y, float z, float x0, float y0, float z0, float x1, float y1,
                      float z1) {
  return PointBoxDistance(LodBoxRecord{x0, x1, y0, y1, z0, z1, 0}, x, y, z);
}

float LodBoxListDistance(const LodBoxList& list, float x, float y, float z) {
  float result = 0;
  for (std::uint32_t i = 0; i < list.count; ++i) {
    const float d = LodBoxDistance(list, i, x, y, z);
    if (i == 0 || d >= result) result = d;
  }
  return result;
}

std::uint32_t BoxBoxOverlap(const float* a, const float* b) {
  return a[3] > b[0] && a[0] < b[3] && a[4] > b[1] && a[1] < b[4] && a[5] > b[2] && a[2] < b[5];
}

void BoxQuerySet(LodBoxRecord& record, float x0, float y0, float z0, float x1, float y1, float z1,
                 float value) {
  record = LodBoxRecord{x0, x1, y0, y1, z0, z1, value};
}

std::uint32_t BoxInList(const LodBoxList& list, float x0, float y0, float z0, float x1, float y1,
                        float z1) {
  const float box[6] = {x0, y0, z0, x1, y1, z1};
  for (std::uint32_t i = 0; i < list.count; ++i) {
    const LodBoxRecord& r = list.records[i];
    const float other[6] = {r.x0, r.y0, r.z0, r.x1, r.y1, r.z1};
    if (BoxBoxOverlap(box, other) != 0) return i + 1;
  }
  return 0;
}

void LodBoxListAdd(LodBoxList& list, float x0, float y0, float z0, float x1, float y1, float z1,
                   float value) {
  const std::uint32_t hit = BoxInList(list, x0, y0, z0, x1, y1, z1);
  if (hit != 0 && std::fabs(list.records[hit - 1].value - value) < kLodMergeTolerance) {
    Widen(list.records[hit - 1], x0, y0, z0, x1, y1, z1);
    return;
  }
  if (list.count < kLodBoxListCapacity) {
    BoxQuerySet(list.records[list.count++], x0, y0, z0, x1, y1, z1, value);
    return;
  }
  std::uint32_t target = hit - 1;
  if (hit == 0) {
    float nearest = GapSquared(list.records[0], x0, y0, z0, x1, y1, z1);
    target = 0;
    for (std::uint32_t i = 1; i < list.count; ++i) {
      const float gap = GapSquared(list.records[i], x0, y0, z0, x1, y1, z1);
      if (gap < nearest) nearest = gap, target = i;
    }
  }
  LodBoxRecord& r = list.records[target];
  Widen(r, x0, y0, z0, x1, y1, z1);
  r.value = std::max(r.value, value);
}

std::uint32_t LodLevelFromSize(float f) {
  const std::int32_t biased =
      static_cast<std::int32_t>((std::bit_cast<std::uint32_t>(f) >> 23) & 0xFF);
  const std::int32_t e = std::max(biased - 127, 0);
  const bool up = 0.85f * f > std::ldexp(1.0f, e);
  return static_cast<std::uint32_t>(e) + (up ? 1u : 0u);
}

std::uint32_t LodBoxLevel(const LodRange& range, std::uint32_t i, float size, float distance) {
  const float value = range.list->records[i].value;
  const float f = value * range.scale * size / (distance * range.distanceFactor + 1.0f);
  return ClampLevel(LodLevelFromSize(f), range);
}

std::uint32_t LodLevelForItem(const LodRange& range, float size, float x, float y, float z) {
  std::uint32_t level = range.minLevel;
  for (std::uint32_t i = 0; i < range.list->count; ++i) {
    float d = LodBoxDistance(*range.list, i, x, y, z) - size * 0.5f;
    if (!(d > 0)) d = 0;
    const std::uint32_t li = LodBoxLevel(range, i, size, d);
    if (i == 0 || li > level) level = li;
  }
  return level;
}

std::uint32_t BoxInWorld(const WorldLodBoxes& world, float x0, float y0, float z0, float x1,
                         float y1, float z1) {
  const float box[6] = {x0, y0, z0, x1, y1, z1};
  if (BoxBoxOverlap(box, world.extent) != 0) return 1;
  const std::uint32_t focusCount =
      std::min<std::uint32_t>(world.focusCount, kWorldFocusBoxCapacity);
  for (std::uint32_t i = 0; i < focusCount; ++i) {
    if (BoxBoxOverlap(box, world.focusBoxes[i]) != 0) return 1;
  }
  return 0;
}

void BoxLodDistance(WorldLodBoxes& world, float x0, float y0, float z0, float x1, float y1,
                    float z1) {
  const float a = world.detail[0];
  const float b = world.detail[1];
  float q = 1.0f;
  if (BoxInWorld(world, x0, y0, z0, x1, y1, z1) == 0) {
    const float d =
        LodBoxListDistance(world.lists[2], (x0 + x1) * 0.5f, (y0 + y1) * 0.5f, (z0 + z1) * 0.5f);
    const float* e = world.extent;
    const float m =
        std::max({std::fabs(e[3] - e[0]), std::fabs(e[4] - e[1]), std::fabs(e[5] - e[2])});
    if (m > 0) q = d / m + 1.0f;
  }
  LodBoxListAdd(world.lists[0], x0, y0, z0, x1, y1, z1, q * a);
  LodBoxListAdd(world.lists[1], x0, y0, z0, x1, y1, z1, q * b);
}

}  // namespace veskor
