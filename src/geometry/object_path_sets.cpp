#include "geometry/object_path_sets.h"

#include "geometry/path_set.h"
#include "geometry/scene_build_error.h"
#include "geometry/slice_heights.h"
#include "geometry/slice_table.h"
#include "geometry/sweep_path_construction.h"

namespace veskor {

std::uint32_t gObjectPathSetCount = 0;
std::uint32_t gSliceTableCount = 0;
ScratchArray<std::uint32_t> gPathSetRefs;

void ObjectPathSetsReset() {
  gObjectPathSetCount = 0;
  gSliceTableCount = 0;
  gPathSetRefs.Clear();
}

void BuildSliceTable(SceneNode* node) {
  if (node == nullptr || node->useCount == 0 || node->refCount != 0) return;
  if (SceneBuildFailed()) return;
  const std::uint32_t object = node->objectIndex;
  if (object >= gSceneObjects.count) return;
  if (gObjectPathSetCount >= kPathSetTableSize) {
    return SceneBuildFail(kTooManyObjectPathSetsMessage);
  }
  const EdgeCurveList& model = *gSceneObjects.lists[object];
  // A curve set is cut at its own heights and needs no table.
  const bool sliced = model.kind != kEdgeCurveListCurveSet;
  SliceTable* table = nullptr;
  if (sliced) {
    if (gSliceTableCount >= kSliceTableMax) return SceneBuildFail(kTooManySliceTablesMessage);
    table = &gSliceTables.tables[gSliceTableCount];
    if (SliceTableFill(*table, model) == 0) return;
  }
  EdgeCurveList& refined = gRefinedEdgeLists.lists[object];
  const SliceHeightsHalf& heights = SliceHeightsSource();
  BuildSweepPaths(refined, heights.heights, heights.tags, heights.count, table,
                  gObjectPathSets.sets[gObjectPathSetCount],
                  static_cast<float>(gObjectPathSetCount));
  if (SceneBuildFailed()) return;

  node->firstRef = PathSetRefCount();
  node->refCount = 1;
  gPathSetRefs.Append(gObjectPathSetCount);
  if (sliced) ++gSliceTableCount;
  ++gObjectPathSetCount;
  EdgeCurveListFree(refined);
  if (table != nullptr) SliceTableReleaseLists(*table);
}

void ReleaseObjectPathSets(SceneNode* node) {
  if (node == nullptr || node->useCount == 0 || node->refCount == 0) return;
  if (--node->useCount > 0) return;
  for (std::uint32_t k = node->firstRef; k < node->firstRef + node->refCount; ++k) {
    if (k >= PathSetRefCount()) break;
    const std::uint32_t set = gPathSetRefs[k];
    if (set < kPathSetTableSize) PathSetFree(gObjectPathSets.sets[set]);
  }
  node->firstRef = 0;
  node->refCount = 0;
}

}  // namespace veskor
