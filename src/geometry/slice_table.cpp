#include "geometry/slice_table.h"

#include <cmath>

#include "geometry/scene_build_error.h"
#include "geometry/scene_objects.h"
#include "foundation/static_order.h"

namespace veskor {

VESKOR_STATIC_STEP(kStaticStepSliceTables) SliceTableArray gSliceTables{};

SliceTableArray::~SliceTableArray() {
  for (SliceTable& table : tables) SliceTableRelease(table);
}

void SliceTableInit(SliceTable& table) { table = SliceTable{}; }

void SliceTableRelease(SliceTable& table) {
  for (VmArray& list : table.edgeTriples) VmArrayRelease(list);
  VmArrayRelease(table.triples);
  VmArrayRelease(table.slices);
  table.edgeCount = 0;
  table.cursor = 0;
}

void SliceTableReset(SliceTable& table, std::uint32_t edgeCount, std::uint32_t pointTotal) {
  table.edgeCount = edgeCount;
  VmArrayReserve(table.slices, pointTotal * static_cast<std::uint32_t>(sizeof(SliceRecord)));
  VmArrayClear(table.slices);
  VmArrayReserve(table.triples, pointTotal * 4);
  VmArrayClear(table.triples);
}

void SliceTableReserveEdge(SliceTable& table, std::uint32_t e, std::uint32_t pointCount) {
  VmArrayReserve(table.edgeTriples[e], pointCount * 4);
  VmArrayClear(table.edgeTriples[e]);
}

void SliceTableReleaseLists(SliceTable& table) {
  VmArrayRelease(table.slices);
  VmArrayRelease(table.triples);
}

std::uint32_t SliceTableFindHeight(const SliceTable& table, float height) {
  const SliceRecord* slices = SliceTableSlices(table);
  for (std::uint32_t i = 0; i < table.slices.count; ++i) {
    if (slices[i].height == height) return i;
  }
  return table.slices.count;
}

std::uint32_t SliceTableAddTriple(SliceTable& table, std::uint32_t before, std::uint32_t at,
                                  std::uint32_t after) {
  const std::uint32_t key = SliceTriple(before, at, after);
  const std::uint32_t* triples = SliceTableTriples(table);
  for (std::uint32_t i = 0; i < table.triples.count; ++i) {
    if (triples[i] == key) return i;
  }
  VmArrayPush(table.triples, key);
  return table.triples.count - 1;
}

float EdgeSectionSharpnessAt(const EdgeCurve& curve, std::uint32_t i, float t) {
  return (1.0f - t) * curve.sectionSharpness[i] + t * curve.sectionSharpness[i + 1];
}

std::uint32_t SliceTableFill(SliceTable& table, const EdgeCurveList& model) {
  const std::uint32_t n = model.count;
  if (n > kSliceTableEdgeMax) {
    SceneBuildFail(kTooManyObjectEdgesMessage);
    return 0;
  }
  std::uint32_t total = 0;
  for (std::uint32_t e = 0; e < n; ++e) total += model.curves[e].count;
  SliceTableReset(table, n, total);
  if (n == 0 || model.curves[0].count == 0) return 1;

  // Every point is recorded in its Edge's list with the slice that takes it during the merge
  // (comparing heights again afterwards would miss the points merged into a slice of a
  // slightly different height); the lists then trade these for the triples.
  std::uint32_t cursor[kSliceTableEdgeMax] = {};
  for (std::uint32_t e = 0; e < n; ++e) SliceTableReserveEdge(table, e, model.curves[e].count);
  auto append = [&](float height) {
    auto* slice = static_cast<SliceRecord*>(VmArrayAppend(table.slices, 1, sizeof(SliceRecord)));
    *slice = SliceRecord{0, height, {}};
    return slice;
  };

  // Every Edge is taken to start at Edge 0's first height.
  SliceRecord* slice = append(model.curves[0].height[0]);
  for (std::uint32_t e = 0; e < n; ++e) {
    const EdgeCurve& q = model.curves[e];
    if (q.count == 0) continue;
    slice->sharpness[e] = q.sectionSharpness[0];
    slice->edgeMask |= 1u << e;
    VmArrayPush(table.edgeTriples[e], 0);
  }
  for (;;) {
    // The lowest next point; the lower Edge wins a tie.
    bool any = false;
    float candidate = 0;
    for (std::uint32_t e = 0; e < n; ++e) {
      const EdgeCurve& q = model.curves[e];
      if (cursor[e] + 1 >= q.count) continue;
      const float h = q.height[cursor[e] + 1];
      if (!any || h < candidate) candidate = h;
      any = true;
    }
    if (!any) break;
    const std::uint32_t index = table.slices.count;
    if (index >= kSliceTableSliceMax) {
      SceneBuildFail(kTooManySlicesMessage);
      return 0;
    }
    slice = append(candidate);
    for (std::uint32_t e = 0; e < n; ++e) {
      const EdgeCurve& q = model.curves[e];
      if (q.count == 0) continue;
      const std::uint32_t i = cursor[e];
      if (i + 1 >= q.count) {
        slice->sharpness[e] = q.sectionSharpness[i];
      } else if (std::fabs(q.height[i + 1] - candidate) < kSliceMergeTolerance) {
        cursor[e] = i + 1;
        slice->sharpness[e] = q.sectionSharpness[i + 1];
        slice->edgeMask |= 1u << e;
        VmArrayPush(table.edgeTriples[e], index);
      } else {
        const float span = q.height[i + 1] - q.height[i];
        const float t = span != 0 ? (candidate - q.height[i]) / span : 0.0f;
        slice->sharpness[e] = EdgeSectionSharpnessAt(q, i, t);
      }
    }
  }

  for (std::uint32_t e = 0; e < n; ++e) {
    std::uint32_t* list = SliceTableEdgeTriples(table, e);
    const std::uint32_t m = table.edgeTriples[e].count;
    std::uint32_t before = m > 0 ? list[0] : 0;
    for (std::uint32_t j = 0; j < m; ++j) {
      const std::uint32_t at = list[j];
      const std::uint32_t after = j + 1 < m ? list[j + 1] : at;
      list[j] = SliceTableAddTriple(table, before, at, after);
      before = at;
    }
  }
  return 1;
}

}  // namespace veskor
