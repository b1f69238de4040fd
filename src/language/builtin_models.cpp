// The World reset before every parse and the five built-in models every world can call.
#include "language/world.h"

namespace veskor {
namespace {

// Empties a name table, reserving its block the first time.
void ResetNames(NameTable& table, std::uint32_t slots, std::uint32_t storeBytes) {
  if (table.block.base == nullptr) {
    NameTableInit(table, slots, NameStoreBytes(slots, storeBytes));
  } else {
    NameTableClear(table);
  }
}

struct BuiltinModel {
  const char* name;
  std::uint32_t slot;  // in World::builtinModels
  float corner;        // the bottom points are (+-corner, +-corner)
  bool apex;           // the top points meet at (0, 0)
  float fourth;
  float fifth;
};

// In the order they enter the model table.
constexpr BuiltinModel kBuiltinModels[] = {
    {"Sphere", kBuiltinSphere, 1.1165f, false, 0, 0}, {"Cube", kBuiltinCube, 1, false, 31, 31},
    {"Cylinder", kBuiltinCylinder, 1, false, 31, 0},  {"Pyramid", kBuiltinPyramid, 1, true, 31, 31},
    {"Cone", kBuiltinCone, 1, true, 31, 0},
};

// The bottom corners of the four Edges, counter-clockwise from (-1, -1).
constexpr float kCornerSigns[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};

}  // namespace

void WorldClearModels(World& world) {
  LodBoxList* lists = world.lod.lists;
  for (int i = 0; i < 4; ++i) lists[i].count = 0;
  for (std::uint32_t i = 0; i < world.modelCount; ++i) EdgeCurveListFree(world.models[i]);
  for (std::uint32_t i = 0; i < world.objectTransformCount; ++i) {
    TransformNodeInit(world.objectTransforms[i]);
  }
  for (std::uint32_t i = 0; i < world.compositionTransformCount; ++i) {
    TransformNodeInitUnit(world.compositionTransforms[i]);
  }
  for (std::uint32_t i = 0; i < world.heightFieldCount; ++i) {
    HeightFieldRecord& record = world.heightFields[i];
    VertexGridRelease(record.grid);
    record.waterPlaneCount = 0;  // no water plane index of this world reaches the next
  }
  for (std::uint32_t i = 0; i < world.cameraCount; ++i) Texture2DRelease(world.cameraThumbnails[i]);
  for (std::uint32_t i = 0; i < world.snapshotCount; ++i) Texture2DRelease(world.snapshotImages[i]);
  for (std::uint32_t i = 0; i < world.examineCount; ++i) Texture2DRelease(world.examineImages[i]);
  // Every view record starts the next world as a new camera, whatever the last one wrote.
  for (Camera& camera : world.cameras) camera = Camera();
  for (Camera& camera : world.snapshots) camera = Camera();
  world.versionCount = 0;
  ResetNames(world.modelNames, kWorldItemNameSlots, kWorldItemNameBytes);
  ResetNames(world.compositionNames, kWorldItemNameSlots, kWorldItemNameBytes);
  ResetNames(world.heightFieldNames, kWorldItemNameSlots, kWorldItemNameBytes);
  ResetNames(world.cameraNames, kWorldViewNameSlots, kWorldViewNameBytes);
  ResetNames(world.examineNames, kWorldViewNameSlots, kWorldViewNameBytes);
  world.modelCount = 0;
  world.objectTransformCount = 0;
  world.compositionTransformCount = 0;
  world.compositionOperationCount = 0;
  world.compositionElementCount = 0;
  world.compositionCount = 0;
  world.objectCallCount = 0;
  world.objectCount = 0;
  world.sceneInstanceCount = 0;
  world.heightFieldCount = 0;
  world.waterPlaneCount = 0;
  world.planetCount = 0;
  world.infoCount = 0;
  world.cameraCount = 0;
  world.snapshotCount = 0;
  world.examineCount = 0;
  world.soundBankCount = 0;  // the banks keep their samples until they are set up again
  world.lod.focusCount = 0;
  world.lodBlock = 0;
  world.lodMinimum = {0, {0, 0}, {0, 0}, 0, 0};
  world.lodMaximum = {1.0f, {1.0f, 1.0f}, {1.0f, 1.0f}, 1.0f, 1.0f};
}

EdgeCurveList* WorldAddModel(World& world, std::uint32_t n, const char* name) {
  const std::uint32_t index = world.modelCount;
  if (index >= kWorldModelMax || !NameTableInsert(world.modelNames, name, &index)) return nullptr;
  EdgeCurveList& list = world.models[index];
  EdgeCurveListResize(list, n, kEdgeCurveListModel);
  EdgeCurveListAppend(list, n);
  world.modelCount = index + 1;
  return &list;
}

void RegisterBuiltinModels(World& world) {
  for (const BuiltinModel& model : kBuiltinModels) {
    const std::uint32_t index = world.modelCount;
    EdgeCurveList* list = WorldAddModel(world, 4, model.name);
    if (list == nullptr) return;  // a cleared World always has room for them
    for (std::uint32_t e = 0; e < 4; ++e) {
      EdgeCurve& edge = list->curves[e];
      const float x = kCornerSigns[e][0] * model.corner;
      const float y = kCornerSigns[e][1] * model.corner;
      EdgeCurveResize(edge, 2);
      AppendCurvePoint(edge, x, y, -1.0f, model.fourth, model.fifth, kEdgeCurveLevels, 0);
      AppendCurvePoint(edge, model.apex ? 0.0f : x, model.apex ? 0.0f : y, 1.0f, model.fourth,
                       model.fifth, kEdgeCurveLevels, 0);
    }
    // Lengths and boxes as a Model block's Edges get them, so nothing reads undefined values.
    ModelCurveMetrics(*list);
    world.builtinModels[model.slot] = index;
  }
}

}  // namespace veskor
