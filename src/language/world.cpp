#include "language/world.h"

#include <initializer_list>

#include "mapengine/clamp_float.h"

namespace veskor {

World gWorld;

namespace {

void AppendLodRecord(LodBoxList& list, const float* box, float value) {
  if (list.count >= kLodBoxListCapacity) return;  // focus boxes are held below the room left
  BoxQuerySet(list.records[list.count++], box[0], box[1], box[2], box[3], box[4], box[5], value);
}

}  // namespace

World::World() {
  lodMaximum = {1.0f, {1.0f, 1.0f}, {1.0f, 1.0f}, 1.0f, 1.0f};
  for (EdgeCurveList& list : models) EdgeCurveListInit(list);
  for (TransformNode& node : objectTransforms) TransformNodeInit(node);
  for (TransformNode& node : compositionTransforms) TransformNodeInitUnit(node);
  for (SceneInstance& instance : sceneInstances) TransformNodeInit(instance.transform);
  for (HeightFieldRecord& record : heightFields) {
    VertexGridInit(record.grid);
    for (int i = 3; i < 6; ++i) record.box[i] = 1.0f;
  }
  for (LodBoxList& list : lod.lists) {
    for (LodBoxRecord& record : list.records) record = {0, 1.0f, 0, 1.0f, 0, 1.0f, 0};
  }
}

// The textures and the sound banks release themselves as members.
World::~World() {
  for (EdgeCurveList& list : models) EdgeCurveListFree(list);
  for (HeightFieldRecord& record : heightFields) VertexGridRelease(record.grid);
  for (NameTable* table :
       {&modelNames, &compositionNames, &heightFieldNames, &cameraNames, &examineNames}) {
    NameTableRelease(*table);
  }
}

void WorldInterpolateKeys(const World& world, float t, float* terrainGeometry,
                          float* terrainTexture, float* objectGeometry, float* objectTexture,
                          float* portal, float* cloudLow) {
  const LodKeySet& lo = world.lodMinimum;
  const LodKeySet& hi = world.lodMaximum;
  const float span = hi.position - lo.position;
  const float u = span == 0.0f ? 0.0f : (t - lo.position) / span;
  const auto value = [u](float a, float b) { return ClampFloat(a + (b - a) * u, 0.0f, 1.0f); };
  *terrainGeometry = value(lo.terrain[0], hi.terrain[0]);
  *terrainTexture = value(lo.terrain[1], hi.terrain[1]);
  *objectGeometry = value(lo.object[0], hi.object[0]);
  *objectTexture = value(lo.object[1], hi.object[1]);
  *portal = value(lo.portal, hi.portal);
  *cloudLow = value(lo.cloudLow, hi.cloudLow);
}

void WorldSetExtent(World& world, float x0, float y0, float z0, float x1, float y1, float z1,
                    float a, float b, float c, float d) {
  WorldLodBoxes& lod = world.lod;
  const float extent[6] = {x0, y0, z0, x1, y1, z1};
  for (int i = 0; i < 6; ++i) lod.extent[i] = extent[i];
  lod.detail[0] = a;
  lod.detail[1] = b;
  lod.detail[2] = c;
  lod.detail[3] = d;
  AppendLodRecord(lod.lists[2], extent, c);
  AppendLodRecord(lod.lists[3], extent, d);
  for (std::uint32_t i = 0; i < lod.focusCount; ++i) {
    AppendLodRecord(lod.lists[2], lod.focusBoxes[i], c);
    AppendLodRecord(lod.lists[3], lod.focusBoxes[i], d);
  }
  if (world.cameraCount != 0) {
    world.currentCamera = world.cameras[0];
    CameraApply(world.currentCamera);
    CameraRestore(world.currentCamera);
  }
  world.transitionTarget = -1;
  world.transitionStep = 0.0f;
}

bool FocusBoxAdd(World& world, float x0, float y0, float z0, float x1, float y1, float z1) {
  WorldLodBoxes& lod = world.lod;
  if (lod.focusCount >= kWorldFocusBoxLimit) return false;
  float* box = lod.focusBoxes[lod.focusCount++];
  box[0] = x0;
  box[1] = y0;
  box[2] = z0;
  box[3] = x1;
  box[4] = y1;
  box[5] = z1;
  return true;
}

}  // namespace veskor
