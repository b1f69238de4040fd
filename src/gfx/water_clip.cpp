#include "gfx/water_clip.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

enum : std::uint8_t { kAbove = 0, kBelow = 1, kStraddling = 2 };

// Bit 1: at or above the band's floor; bit 0: at or below its ceiling.
std::uint32_t LevelCode(float z, float level) {
  return (z >= level - kWaterBand ? 2u : 0u) | (z <= level + kWaterBand ? 1u : 0u);
}

std::uint8_t* ClassScratch(VmArray& scratch, std::uint32_t triangles) {
  VmArrayReserve(scratch, std::max<std::uint32_t>(triangles, 1));
  scratch.block.usedBytes = 0;
  return static_cast<std::uint8_t*>(MemBlockAppend(scratch.block, triangles));
}

void SwapTriangles(std::uint16_t* tri, std::uint8_t* classes, std::uint32_t a, std::uint32_t b) {
  std::swap_ranges(tri + 3 * std::size_t{a}, tri + 3 * std::size_t{a} + 3,
                   tri + 3 * std::size_t{b});
  std::swap(classes[a], classes[b]);
}

// Reorders the triangles into the three groups by whole-triangle swaps.
void SortGroups(std::uint16_t* tri, std::uint8_t* classes, std::uint32_t above,
                std::uint32_t below) {
  std::uint32_t p1 = above, p2 = above + below;
  for (std::uint32_t i = 0; i < above;) {
    if (classes[i] == kAbove)
      ++i;
    else if (classes[i] == kBelow)
      SwapTriangles(tri, classes, i, p1++);
    else
      SwapTriangles(tri, classes, i, p2++);
  }
  while (p1 < above + below) {
    if (classes[p1] == kBelow)
      ++p1;
    else
      SwapTriangles(tri, classes, p1, p2++);
  }
}

}  // namespace

void BatchClipPass(GeometryBatchBuffer& buffer, ItemDrawRecord& record, BatchRange& range,
                   float minX, float minY, float minZ, float maxX, float maxY, float maxZ,
                   const float* toWorld, const float* toLocal, std::uint32_t split) {
  const std::uint32_t f = VertexFormatFloats(record.format);
  std::int32_t k;
  if (f == 0 || BatchFindBox(buffer, minX, minY, minZ, maxX, maxY, maxZ, &k) == 0) {
    range.waterBox = kNoWaterBox;
    return;
  }
  const bool cutting = split == 1 && range.waterBox != kNoWaterBox;
  range.waterBox = static_cast<std::uint32_t>(k);
  const float level = buffer.waterBoxes[k].level;

  // Every range's indices count from the item's first vertex.
  const std::uint32_t itemFloat = record.mainRanges[0].firstFloat;
  float* base = buffer.vertices + itemFloat;
  std::uint16_t* tri = buffer.indices + range.firstIndex;
  std::uint32_t roomVertices = cutting ? record.clipRoomVertices : 0;
  std::uint32_t roomTriangles = cutting ? record.clipRoomTriangles : 0;
  std::uint32_t triangles = range.indexCount / 3;
  std::uint8_t* classes = ClassScratch(buffer.clipClasses, triangles + roomTriangles);
  std::uint32_t counts[3] = {0, 0, 0};

  for (std::uint32_t j = 0; j < triangles;) {
    std::uint16_t* t = tri + 3 * std::size_t{j};
    float world[3][3];
    std::uint32_t code[3];
    for (int c = 0; c < 3; ++c) {
      const float* p = base + std::size_t{t[c]} * f;
      if (toWorld != nullptr)
        gKernelTable.KernelTransformPoint(world[c], toWorld, p);
      else
        world[c][0] = p[0], world[c][1] = p[1], world[c][2] = p[2];
      code[c] = LevelCode(world[c][2], level);
    }
    const std::uint32_t g = code[0] & code[1] & code[2];
    std::uint8_t cls = g >= 2 ? kAbove : (g & 1) != 0 ? kBelow : kStraddling;
    std::uint32_t mask = 0;
    for (int e = 0; e < 3; ++e) mask |= (code[e] & code[(e + 1) % 3]) == 0 ? 1u << e : 0u;
    const std::uint32_t newVertices = static_cast<std::uint32_t>(std::popcount(mask));
    const std::uint32_t m = (range.firstFloat + range.floatCount - itemFloat) / f;
    if (cls != kStraddling || newVertices > roomVertices || newVertices > roomTriangles ||
        m + newVertices > kItemVertexLimit) {
      classes[j++] = cls;
      ++counts[cls];
      continue;
    }
    // Cut the crossing edges in the order (0, 1), (1, 2), (2, 0).
    std::uint32_t next = m;
    for (int e = 0; e < 3; ++e) {
      if ((mask & (1u << e)) == 0) continue;
      const int a = e, b = (e + 1) % 3;
      const float s = (level - world[a][2]) / (world[b][2] - world[a][2]);
      const float* va = base + std::size_t{t[a]} * f;
      const float* vb = base + std::size_t{t[b]} * f;
      float* out = base + std::size_t{next++} * f;
      float p[3];
      for (int c = 0; c < 3; ++c) p[c] = (1 - s) * world[a][c] + s * world[b][c];
      for (std::uint32_t c = 3; c < f; ++c) out[c] = (1 - s) * va[c] + s * vb[c];
      if (toLocal != nullptr)
        gKernelTable.KernelTransformPoint(out, toLocal, p);
      else
        out[0] = p[0], out[1] = p[1], out[2] = p[2];
    }
    const auto i0 = t[0], i1 = t[1], i2 = t[2];
    const auto m0 = static_cast<std::uint16_t>(m), m1 = static_cast<std::uint16_t>(m + 1);
    std::uint16_t* added = tri + 3 * std::size_t{triangles};
    auto set = [](std::uint16_t* d, std::uint16_t a, std::uint16_t b, std::uint16_t c) {
      d[0] = a, d[1] = b, d[2] = c;
    };
    switch (mask) {
      case 1: set(t, i0, m0, i2), set(added, m0, i1, i2); break;
      case 2: set(t, i0, i1, m0), set(added, i0, m0, i2); break;
      case 3: set(t, i0, m0, i2), set(added, m0, i1, m1), set(added + 3, m0, m1, i2); break;
      case 4: set(t, i0, i1, m0), set(added, i1, i2, m0); break;
      case 5: set(t, i0, m0, m1), set(added, m0, i1, i2), set(added + 3, m0, i2, m1); break;
      default: set(t, i0, i1, m0), set(added, m0, i2, m1), set(added + 3, m1, i0, m0); break;
    }
    // One cut edge adds one vertex and one triangle, two add two of each.
    roomVertices -= newVertices;
    roomTriangles -= newVertices;
    range.floatCount += f * newVertices;
    range.indexCount += 3 * newVertices;
    triangles = range.indexCount / 3;
  }
  if (cutting) {
    record.clipRoomVertices = roomVertices;
    record.clipRoomTriangles = roomTriangles;
  }
  range.above = counts[kAbove];
  range.below = counts[kBelow];
  range.straddling = counts[kStraddling];
  SortGroups(tri, classes, range.above, range.below);
}

void BatchClipPassA(GeometryBatchBuffer& buffer, ItemDrawRecord& record, float minX, float minY,
                    float minZ, float maxX, float maxY, float maxZ, const float* toWorld,
                    const float* toLocal) {
  BatchClipPass(buffer, record, record.mainRanges[0], minX, minY, minZ, maxX, maxY, maxZ, toWorld,
                toLocal, 1);
}

void BatchClipPassB(GeometryBatchBuffer& buffer, ItemDrawRecord& record, float minX, float minY,
                    float minZ, float maxX, float maxY, float maxZ, const float* toWorld,
                    const float* toLocal) {
  BatchClipPass(buffer, record, record.capA, minX, minY, minZ, maxX, maxY, maxZ, toWorld, toLocal,
                0);
}

void BatchClipPassC(GeometryBatchBuffer& buffer, ItemDrawRecord& record, float minX, float minY,
                    float minZ, float maxX, float maxY, float maxZ, const float* toWorld,
                    const float* toLocal) {
  BatchClipPass(buffer, record, record.capB, minX, minY, minZ, maxX, maxY, maxZ, toWorld, toLocal,
                0);
}

}  // namespace veskor
