#include "geometry/draw_items.h"

#include <initializer_list>

#include "geometry/scene_build_error.h"
#include "geometry/subdivision_settings.h"
#include "foundation/static_order.h"

namespace veskor {
namespace {

TransformNode MakeIdentity() {
  TransformNode node;
  TransformNodeInit(node);
  return node;
}

// The next free record, or null with the error set.
DrawItem* NextDrawItem() {
  if (SceneBuildFailed()) return nullptr;
  if (gDrawItems.count >= kDrawItemMax) {
    SceneBuildFail(kTooManyDrawItemsMessage);
    return nullptr;
  }
  return &gDrawItems.items[gDrawItems.count];
}

void RegisterOperation(SceneNode& left, SceneNode& right, SceneNode& result, std::uint32_t kind) {
  DrawItem* d = NextDrawItem();
  if (d == nullptr) return;
  ++left.useCount;
  ++right.useCount;
  result.useCount = 0;
  result.kind = kSceneNodeComposed;
  result.registered = 0;
  result.objectIndex = 0;
  result.firstRef = result.refCount = 0;
  result.spare[0] = result.spare[1] = 0;
  result.triangleTotal = result.vertexTotal = 0;
  d->first = &left;
  d->second = &right;
  d->result = &result;
  d->instance = nullptr;
  d->kind = kind;
  ++gDrawItems.count;
}

}  // namespace

DrawItemTable::DrawItemTable() : items{}, count(0) {
  for (DrawItem& d : items) TransformNodeInit(d.transform);
}

VESKOR_STATIC_STEP(kStaticStepDrawItems) DrawItemTable gDrawItems;
VESKOR_STATIC_STEP(kStaticStepTransformGlobal) TransformNode gTransformGlobal = MakeIdentity();

void SetTransformGlobals(const TransformNode& node) {
  gTransformGlobal = node;
  for (SubdivisionSettings* s :
       {&gTerrainGeometryLod, &gTerrainTextureLod, &gObjectGeometryLod, &gObjectTextureLod})
    s->transform = node;
}

void RegisterDrawItemAdd(SceneNode& left, SceneNode& right, SceneNode& result) {
  RegisterOperation(left, right, result, kDrawItemAdd);
}

void RegisterDrawItemSub(SceneNode& left, SceneNode& right, SceneNode& result) {
  RegisterOperation(left, right, result, kDrawItemSub);
}

void RegisterDrawItemLeaf(SceneNode& node, SceneInstance& instance) {
  DrawItem* d = NextDrawItem();
  if (d == nullptr) return;
  if (node.registered == 0) {
    ++node.useCount;
    node.registered = 1;
  }
  instance.firstBatchItem = instance.batchItemCount = instance.firstItem = 0;
  instance.entryCount = 0;
  instance.flags = 1;
  instance.vertexFormat = 25;
  instance.spare = 0;
  instance.shininess = 0;
  instance.coneAngle = 3.1415927f;
  instance.connected = 0;
  for (std::int32_t& n : instance.neighbours) n = -1;
  instance.visible = 1;
  instance.drawMode = 3;
  d->first = &node;
  d->second = d->result = nullptr;
  d->instance = &instance;
  d->transform = gTransformGlobal;
  d->kind = kDrawItemLeaf;
  ++gDrawItems.count;
}

SceneInstance* AddSceneInstance(World& world) {
  if (SceneBuildFailed()) return nullptr;
  if (world.sceneInstanceCount + 1u >= kWorldSceneInstanceMax) {
    SceneBuildFail(kTooManySceneInstancesMessage);
    return nullptr;
  }
  return &world.sceneInstances[++world.sceneInstanceCount];
}

}  // namespace veskor
