#include "geometry/slice_heights.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "foundation/fatal_error.h"
#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

void Grow(SliceHeightsHalf& half) {
  const std::uint32_t capacity = half.capacity == 0 ? kSliceHeightsInitial : 2 * half.capacity;
  if (capacity > (1u << 27)) FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  const std::uint32_t bytes = capacity * 8;
  MemBlock block{};
  MemBlockReserve(block, bytes);
  auto* base = static_cast<std::uint8_t*>(MemBlockAppend(block, bytes));
  auto* heights = reinterpret_cast<float*>(base);
  auto* tags = reinterpret_cast<std::uint32_t*>(base + capacity * 4);
  if (half.count > 0) {
    std::memcpy(heights, half.heights, half.count * sizeof(float));
    std::memcpy(tags, half.tags, half.count * sizeof(std::uint32_t));
  }
  if (half.block.base != nullptr) MemBlockRelease(half.block);
  half.block = block;
  half.heights = heights;
  half.tags = tags;
  half.capacity = capacity;
}

void Append(SliceHeightsHalf& half, float h, std::uint32_t tag) {
  if (half.count == half.capacity) Grow(half);
  half.heights[half.count] = h;
  half.tags[half.count] = tag;
  ++half.count;
}

// Copies the source from the cursor on, dropping entries within the tolerance (inclusive) of
// the last destination entry; then the destination becomes the source.
void MergeRest(std::uint32_t cursor) {
  SliceHeights& s = gSliceHeights;
  const SliceHeightsHalf& from = s.halves[s.source];
  SliceHeightsHalf& to = s.halves[s.destination];
  for (std::uint32_t i = cursor; i < from.count; ++i) {
    const float h = from.heights[i];
    if (to.count > 0 && std::fabs(h - to.heights[to.count - 1]) <= kSliceHeightTolerance) continue;
    Append(to, h, from.tags[i]);
  }
  std::swap(s.source, s.destination);
  s.halves[s.destination].count = 0;
}

}  // namespace

SliceHeights gSliceHeights{{}, 0, 1};

SliceHeights::~SliceHeights() {
  for (SliceHeightsHalf& half : halves) {
    if (half.block.base != nullptr) MemBlockRelease(half.block);
    half = SliceHeightsHalf{};
  }
}

void SliceHeightsReset() {
  gSliceHeights.halves[0].count = 0;
  gSliceHeights.halves[1].count = 0;
  gSliceHeights.source = 0;
  gSliceHeights.destination = 1;
}

void InsertSliceHeight(float h, std::uint32_t& cursor, std::uint32_t tag) {
  SliceHeights& s = gSliceHeights;
  const SliceHeightsHalf& from = s.halves[s.source];
  SliceHeightsHalf& to = s.halves[s.destination];
  while (cursor < from.count && from.heights[cursor] + kSliceHeightTolerance < h) {
    Append(to, from.heights[cursor], from.tags[cursor]);
    ++cursor;
  }
  if (from.count > 0 && cursor < from.count - 1 &&
      std::fabs(h - from.heights[cursor]) < kSliceHeightTolerance) {
    return;
  }
  Append(to, h, tag);
}

void AddSliceHeights(const EdgeCurveList& refined) {
  float low = 0, high = 0;
  bool any = false;
  for (std::uint32_t c = 0; c < refined.count; ++c) {
    const EdgeCurve& q = refined.curves[c];
    if (q.count == 0) continue;
    const float first = q.height[0], last = q.height[q.count - 1];
    low = any ? gKernelTable.KernelMin(low, first) : first;
    high = any ? gKernelTable.KernelMax(high, last) : last;
    any = true;
  }
  if (!any) return;
  std::uint32_t cursor = 0;
  InsertSliceHeight(low - kSliceHeightMargin, cursor, kSliceTagMargin);
  InsertSliceHeight(high + kSliceHeightMargin, cursor, kSliceTagMargin);
  MergeRest(cursor);
  for (std::uint32_t c = 0; c < refined.count; ++c) {
    const EdgeCurve& q = refined.curves[c];
    if (q.count == 0) continue;
    cursor = 0;
    std::uint32_t i = 0;
    while (i < q.count) {
      const float h = q.height[i];
      InsertSliceHeight(h, cursor, kSliceTagPoint);
      // The Edge's next points at the same height (within the tolerance) add nothing.
      do {
        ++i;
      } while (i < q.count && std::fabs(q.height[i] - h) < kSliceHeightTolerance);
    }
    MergeRest(cursor);
  }
}

}  // namespace veskor
