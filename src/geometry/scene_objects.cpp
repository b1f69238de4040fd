#include "geometry/scene_objects.h"

#include <algorithm>
#include <cstring>

#include "geometry/curve_refinement.h"
#include "geometry/draw_items.h"
#include "geometry/scaled_transform.h"
#include "geometry/scene_build_error.h"
#include "geometry/slice_heights.h"
#include "mapengine/kernel_table.h"
#include "foundation/static_order.h"

namespace veskor {
namespace {

// The copies of one member's registrations, between copy and refinement. Emptied after each
// registration, so between calls only the records stay.
struct WorkingList {
  EdgeCurveList list{};
  ~WorkingList() { EdgeCurveListRelease(list); }
};

void MovePoints(EdgeCurveList& list, const float* matrix) {
  for (std::uint32_t c = 0; c < list.count; ++c) {
    EdgeCurve& q = list.curves[c];
    for (std::uint32_t i = 0; i < q.count; ++i) {
      const float p[3] = {q.x[i], q.y[i], q.height[i]};
      float moved[3];
      gKernelTable.KernelTransformPoint(moved, matrix, p);
      q.x[i] = moved[0];
      q.y[i] = moved[1];
      q.height[i] = moved[2];
    }
  }
}

void Register(const EdgeCurveList& list, SubdivisionSettings& settings, TransformNode& node,
              SceneNode& sceneNode, EdgeCurveList& work) {
  if (SceneBuildFailed()) return;
  const std::uint32_t index = gSceneObjects.count;
  if (index >= kSceneObjectMax) return SceneBuildFail(kTooManySceneObjectsMessage);
  if (list.count > kSceneObjectEdgeMax) return SceneBuildFail(kTooManyObjectEdgesMessage);
  gSceneObjects.lists[index] = &list;

  EdgeCurveListResize(work, std::max(list.capacity, list.count), list.kind);
  if (list.count > 0) {
    EdgeCurve* copies = EdgeCurveListAppend(work, list.count);
    for (std::uint32_t c = 0; c < list.count; ++c) EdgeCurveCopy(copies[c], list.curves[c]);
  }
  std::memcpy(work.box, list.box, sizeof work.box);
  if (TransformNodeFlag(node) == 0) MovePoints(work, TransformNodeScaledMatrix(node));

  EdgeCurveList& refined = gRefinedEdgeLists.lists[index];
  RefineEdgeCurves(work, kSceneObjectLevels, settings, refined);
  if (list.kind != kEdgeCurveListCurveSet) AddSliceHeights(refined);

  sceneNode = SceneNode{};
  sceneNode.kind = kSceneNodeObject;
  sceneNode.objectIndex = index;
  sceneNode.transform = node;
  gSceneObjects.count = index + 1;
  EdgeCurveListClear(work);
}

}  // namespace

SceneObjectTable gSceneObjects{};
VESKOR_STATIC_STEP(kStaticStepRefinedEdgeLists) RefinedEdgeListTable gRefinedEdgeLists{};

RefinedEdgeListTable::~RefinedEdgeListTable() {
  for (EdgeCurveList& list : lists) EdgeCurveListRelease(list);
}

void RenderListReset() {
  gSceneObjects.count = 0;
  gDrawItems.count = 0;
  SliceHeightsReset();
}

void RegisterSceneObject(const EdgeCurveList& list, TransformNode& node, SceneNode& sceneNode) {
  static WorkingList work;
  Register(list, gObjectGeometryLod, node, sceneNode, work.list);
}

void RegisterSceneObject(const EdgeCurveList& list, SubdivisionSettings& settings,
                         TransformNode& node, SceneNode& sceneNode) {
  static WorkingList work;
  Register(list, settings, node, sceneNode, work.list);
}

}  // namespace veskor
