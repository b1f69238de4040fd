#include "geometry/scene_build.h"

#include <algorithm>

#include "geometry/draw_items.h"
#include "geometry/height_maps.h"
#include "geometry/item_geometry.h"
#include "geometry/item_images.h"
#include "geometry/portal.h"
#include "geometry/scaled_transform.h"
#include "geometry/scene_build_error.h"
#include "geometry/scene_objects.h"
#include "geometry/terrain_pass.h"
#include "gfx/item_batching.h"
#include "gfx/lod_boxes.h"
#include "language/composition_block.h"
#include "language/fx_call_lists.h"
#include "language/fx_keywords.h"
#include "language/object_block.h"
#include "language/parse_store.h"

namespace veskor {
namespace {

constexpr const char* kBadFxMessage = "Bad Fx Reference !";
constexpr const char* kBadObjectMessage = "Bad Object Record !";
constexpr float kEmptyBox = 1e35f;

// The working storage of one build.
struct BuildState {
  World* world;
  std::uint16_t fxIndex;  // of the object being built
  std::uint32_t vertexFormat;
  std::uint32_t itemCount;
  TransformNode identity;  // axis (0, 0, 1): the transform globals of untransformed passes
  TransformNode unit;      // axis (1, 1, 1): objects registered where they are
  SceneNode objectNodes[kCompositionNodeMax];
  SceneNode resultNodes[kCompositionNodeMax];
  std::uint32_t objectSlots[kCompositionNodeMax][2];
  std::uint32_t resultMaps[kCompositionNodeMax];
};

BuildState& State() {
  static BuildState state;
  return state;
}

// Transform `index` of a table with `count` entries: true with null for none, true with the
// node, or false with the build's error for an index past the table.
bool TransformAt(TransformNode* table, std::uint32_t count, std::uint16_t index,
                 TransformNode*& node) {
  node = nullptr;
  if (index == kNoTransform) return true;
  if (index >= count) {
    SceneBuildFail(kBadTransformMessage);
    return false;
  }
  node = &table[index];
  return true;
}

bool ObjectTransform(World& world, std::uint16_t index, TransformNode*& node) {
  return TransformAt(world.objectTransforms,
                     std::min<std::uint32_t>(world.objectTransformCount, kWorldObjectTransformMax),
                     index, node);
}

bool CompositionTransform(World& world, std::uint16_t index, TransformNode*& node) {
  return TransformAt(
      world.compositionTransforms,
      std::min<std::uint32_t>(world.compositionTransformCount, kWorldCompositionTransformMax),
      index, node);
}

const EdgeCurveList* ModelAt(World& world, std::uint32_t index) {
  if (index < std::min(world.modelCount, kWorldModelMax)) return &world.models[index];
  SceneBuildFail(kBadModelMessage);
  return nullptr;
}

// The model's box (min-max layout) through the matrix (none: as it is).
void ModelBox(const EdgeCurveList& model, const float* matrix, float* out) {
  const float* b = model.box;
  TransformBox(matrix, b[0], b[2], b[4], b[1], b[3], b[5], out);
}

const float* ScaledMatrix(TransformNode* node) {
  return node != nullptr ? TransformNodeScaledMatrix(*node) : nullptr;
}

const float* ElementMatrix(TransformNode* node) {
  return node != nullptr ? TransformNodeMatrix(*node) : nullptr;
}

// The start of a pass under the element's transform.
void BeginPass(BuildState& s, TransformNode* element) {
  SetTransformGlobals(element != nullptr ? *element : s.identity);
  RenderListReset();
}

// The leaf of `node` into the next item record, and the pass carried out.
std::uint32_t FinishPass(BuildState& s, SceneNode& node) {
  SceneInstance* record = AddSceneInstance(*s.world);
  if (record != nullptr) {
    ++s.itemCount;
    RegisterDrawItemLeaf(node, *record);
    record->fxIndex = s.fxIndex;
    record->vertexFormat = s.vertexFormat;
  }
  return SceneBuildFailed() ? 0 : GenerateGeometry();
}

std::uint32_t ModelInstance(BuildState& s, const ObjectCall& call) {
  World& world = *s.world;
  TransformNode* element = nullptr;
  const EdgeCurveList* model = ModelAt(world, call.index);
  if (model == nullptr || !ObjectTransform(world, call.transform, element)) return 0;
  float box[6];
  ModelBox(*model, ElementMatrix(element), box);
  BoxLodDistance(world.lod, box[0], box[1], box[2], box[3], box[4], box[5]);
  BeginPass(s, element);
  TransformNode place = s.unit;
  SceneNode node{};
  RegisterSceneObject(*model, place, node);
  return FinishPass(s, node);
}

// A height field placed by the translation of the element's transform, with a portal for each
// of its water planes, moved by the same translation (the World's planes are not changed).
std::uint32_t HeightFieldInstance(BuildState& s, std::uint32_t mapIndex, TransformNode* element) {
  World& world = *s.world;
  const HeightFieldRecord* map = HeightMapAt(world, mapIndex);
  if (map == nullptr || map->waterPlaneCount > kHeightFieldWaterMax) {
    SceneBuildFail(kBadHeightMapMessage);
    return 0;
  }
  const float t[3] = {element != nullptr ? element->translation[0] : 0.0f,
                      element != nullptr ? element->translation[1] : 0.0f,
                      element != nullptr ? element->translation[2] : 0.0f};
  TransformNode local;
  TransformNodeInit(local);
  local.identity = 0;
  local.dirty = 1;
  local.axis[0] = 1, local.axis[1] = 0, local.axis[2] = 0;
  local.angle = -90.0f;
  std::copy(t, t + 3, local.translation);
  for (std::uint32_t k = 0; k < map->waterPlaneCount; ++k) {
    const WaterPlane* w = WaterPlaneAt(world, map->waterPlanes[k]);
    if (w == nullptr) {
      SceneBuildFail(kBadWaterPlaneMessage);
      return 0;
    }
    const float rect[5] = {w->x0 + t[0], w->y0 + t[1], w->altitude + t[2], w->x1 + t[0],
                           w->y1 + t[1]};
    AddPortal(rect, w->bumpScale, w->opacity[0], w->opacity[1], w->colour[0], w->colour[1],
              w->colour[2]);
  }
  if (SceneBuildFailed()) return 0;
  return GenerateGeometryPass(*map, kHeightFieldTileLevel, kHeightFieldTileLevel, local, world,
                              s.itemCount, s.fxIndex);
}

// The operation records of a composition entry; false with the build's error when they do not
// lie in the table or are more than one pass can hold.
bool EntryRecords(World& world, const SceneBuildRecord& entry) {
  const std::uint32_t count =
      std::min<std::uint32_t>(world.compositionOperationCount, kWorldCompositionOperationMax);
  if (entry.first > entry.end || entry.end > count) {
    SceneBuildFail(kBadCompositionRecordMessage);
    return false;
  }
  if (std::uint32_t{entry.end} - entry.first > kCompositionNodeMax) {
    SceneBuildFail(kTooManyOperandsMessage);
    return false;
  }
  return true;
}

// The map an operand of record r names: a height field, or the result of an earlier record.
std::uint32_t FieldOperand(BuildState& s, const SceneBuildRecord& entry, std::uint32_t r,
                           const ItemReference& operand) {
  World& world = *s.world;
  if (operand.kind == kOperandFieldNode && operand.index >= entry.first &&
      operand.index < entry.first + r)
    return s.resultMaps[operand.index - entry.first];
  if (operand.kind == kOperandHeightField &&
      operand.index < std::min(world.heightFieldCount, kWorldHeightFieldMax))
    return operand.index;
  SceneBuildFail(kBadCompositionRecordMessage);
  return kNoHeightMap;
}

std::uint32_t FieldComposition(BuildState& s, const SceneBuildRecord& entry,
                               TransformNode* element) {
  World& world = *s.world;
  if (!EntryRecords(world, entry)) return 0;
  const std::uint32_t n = entry.end - entry.first;
  if (n == 0) return 1;
  for (std::uint32_t r = 0; r < n; ++r) {
    const CompositionOperation& op = world.compositionOperations[entry.first + r];
    const std::uint32_t left = FieldOperand(s, entry, r, op.first);
    if (left == kNoHeightMap) return 0;
    s.resultMaps[r] = left;
    const std::uint16_t member = op.header.index;
    if (member != kHeightGridMin && member != kHeightGridMax) continue;
    const std::uint32_t right = FieldOperand(s, entry, r, op.second);
    TransformNode *leftNode = nullptr, *rightNode = nullptr;
    if (right == kNoHeightMap || !CompositionTransform(world, op.first.transform, leftNode) ||
        !CompositionTransform(world, op.second.transform, rightNode))
      return 0;
    const std::uint32_t result = HeightMapClone(world, left);
    if (result == kNoHeightMap) return 0;
    s.resultMaps[r] = result;
    if (HeightMapAt(world, left)->waterPlaneCount != 0)
      HeightMapPrepare(world, result, left, op.first.transform);
    if (HeightMapAt(world, right)->waterPlaneCount != 0)
      HeightMapPrepare(world, result, right, op.second.transform);
    if (SceneBuildFailed()) return 0;
    HeightFieldRecord& a = *HeightMapAt(world, result);
    if (leftNode != nullptr) HeightMapTransformBox(a, TransformNodeScaledMatrix(*leftNode));
    const HeightFieldRecord& b = *HeightMapAt(world, right);
    const auto which = static_cast<HeightGridMember>(member);
    if (rightNode != nullptr) {
      HeightGridOpTransformed(a, b, TransformNodeScaledMatrix(*rightNode), which);
    } else {
      HeightGridOp(a, b, which);
    }
  }
  return HeightFieldInstance(s, s.resultMaps[n - 1], element);
}

std::uint32_t ModelEntry(BuildState& s, const SceneBuildRecord& entry, TransformNode* element) {
  World& world = *s.world;
  TransformNode* operand = nullptr;
  const EdgeCurveList* model = ModelAt(world, entry.index);
  if (model == nullptr || !CompositionTransform(world, entry.transform, operand)) return 0;
  float placed[6], box[6];
  ModelBox(*model, ScaledMatrix(operand), placed);
  TransformBox(ElementMatrix(element), placed[0], placed[1], placed[2], placed[3], placed[4],
               placed[5], box);
  BoxLodDistance(world.lod, box[0], box[1], box[2], box[3], box[4], box[5]);
  BeginPass(s, element);
  TransformNode place = s.unit;
  SceneNode node{};
  RegisterSceneObject(*model, operand != nullptr ? *operand : place, node);
  return FinishPass(s, node);
}

std::uint32_t ObjectComposition(BuildState& s, const SceneBuildRecord& entry,
                                TransformNode* element) {
  World& world = *s.world;
  if (!EntryRecords(world, entry)) return 0;
  const std::uint32_t n = entry.end - entry.first;
  if (n == 0) return 1;
  const CompositionOperation* records = &world.compositionOperations[entry.first];

  // The box of every model operand, placed, then through the element's transform.
  float box[6] = {kEmptyBox, kEmptyBox, kEmptyBox, -kEmptyBox, -kEmptyBox, -kEmptyBox};
  std::uint32_t models = 0;
  for (std::uint32_t r = 0; r < n; ++r) {
    for (const ItemReference* operand : {&records[r].first, &records[r].second}) {
      if (operand->kind != kOperandModel) continue;
      TransformNode* node = nullptr;
      const EdgeCurveList* model = ModelAt(world, operand->index);
      if (model == nullptr || !CompositionTransform(world, operand->transform, node)) return 0;
      if (++models > kCompositionNodeMax) {
        SceneBuildFail(kTooManyOperandsMessage);
        return 0;
      }
      float placed[6];
      ModelBox(*model, ScaledMatrix(node), placed);
      for (int k = 0; k < 3; ++k) {
        box[k] = std::min(box[k], placed[k]);
        box[k + 3] = std::max(box[k + 3], placed[k + 3]);
      }
    }
  }
  if (models != 0) {
    float placed[6];
    TransformBox(ElementMatrix(element), box[0], box[1], box[2], box[3], box[4], box[5], placed);
    BoxLodDistance(world.lod, placed[0], placed[1], placed[2], placed[3], placed[4], placed[5]);
  }
  BeginPass(s, element);

  std::uint32_t next = 0;
  for (std::uint32_t r = 0; r < n; ++r) {
    const ItemReference* operands[2] = {&records[r].first, &records[r].second};
    for (std::uint32_t side = 0; side < 2; ++side) {
      if (operands[side]->kind != kOperandModel) continue;
      TransformNode* node = nullptr;
      CompositionTransform(world, operands[side]->transform, node);
      TransformNode place = s.unit;
      s.objectNodes[next] = SceneNode{};
      RegisterSceneObject(world.models[operands[side]->index], node != nullptr ? *node : place,
                          s.objectNodes[next]);
      s.objectSlots[r][side] = next++;
    }
  }
  for (std::uint32_t r = 0; r < n; ++r) {
    SceneNode& result = s.resultNodes[r];
    result = SceneNode{};
    TransformNodeInitUnit(result.transform);
    SceneNode* nodes[2] = {nullptr, nullptr};
    const ItemReference* operands[2] = {&records[r].first, &records[r].second};
    for (std::uint32_t side = 0; side < 2; ++side) {
      const ItemReference& o = *operands[side];
      if (o.kind == kOperandModel) {
        nodes[side] = &s.objectNodes[s.objectSlots[r][side]];
      } else if (o.kind == kOperandObjectNode && o.index >= entry.first &&
                 o.index < entry.first + r) {
        nodes[side] = &s.resultNodes[o.index - entry.first];
      } else {
        SceneBuildFail(kBadCompositionRecordMessage);
        return 0;
      }
    }
    if (records[r].header.index == 0) RegisterDrawItemAdd(*nodes[0], *nodes[1], result);
    if (records[r].header.index == 1) RegisterDrawItemSub(*nodes[0], *nodes[1], result);
  }
  return FinishPass(s, s.resultNodes[n - 1]);
}

std::uint32_t CompositionInstance(BuildState& s, const ObjectCall& call) {
  World& world = *s.world;
  TransformNode* element = nullptr;
  if (!ObjectTransform(world, call.transform, element)) return 0;
  const std::uint32_t compositions =
      std::min<std::uint32_t>(world.compositionCount, kWorldCompositionMax);
  const std::uint32_t elements =
      std::min<std::uint32_t>(world.compositionElementCount, kWorldCompositionElementMax);
  if (call.index >= compositions || world.compositions[call.index].first >
                                        world.compositions[call.index].end ||
      world.compositions[call.index].end > elements) {
    SceneBuildFail(kBadCompositionMessage);
    return 0;
  }
  const SceneBuildRecord& composition = world.compositions[call.index];
  for (std::uint32_t e = composition.first; e < composition.end; ++e) {
    const SceneBuildRecord& entry = world.compositionElements[e];
    std::uint32_t done = 1;
    switch (entry.kind) {
      case kOperandFieldNode: done = FieldComposition(s, entry, element); break;
      case kOperandHeightField: done = HeightFieldInstance(s, entry.index, element); break;
      case kOperandModel: done = ModelEntry(s, entry, element); break;
      case kOperandObjectNode: done = ObjectComposition(s, entry, element); break;
      default: break;  // nothing to build
    }
    if (done == 0) return 0;
  }
  return 1;
}

// The name the World gives what the call places (a model, height field or composition); null
// when it has none.
const char* CallName(const World& world, const ObjectCall& call) {
  const NameTable* names = call.kind == kCallModel         ? &world.modelNames
                           : call.kind == kCallHeightField ? &world.heightFieldNames
                           : call.kind == kCallComposition ? &world.compositionNames
                                                           : nullptr;
  if (names == nullptr) return nullptr;
  for (std::uint32_t k = 0; k < names->count; ++k)
    if (names->entries[k].value == call.index) return names->entries[k].name;
  return nullptr;
}

std::uint32_t BuildObject(BuildState& s, const ObjectRecord& object) {
  World& world = *s.world;
  const std::uint32_t calls =
      std::min<std::uint32_t>(world.objectCallCount, kWorldObjectCallMax);
  if (object.firstCall > object.endCall || object.endCall > calls) {
    SceneBuildFail(kBadObjectMessage);
    return 0;
  }
  if (object.fxIndex != kNoFxDefinition && object.fxIndex >= gParseStore.fxRecords.count) {
    SceneBuildFail(kBadFxMessage);
    return 0;
  }
  s.fxIndex = object.fxIndex;
  s.vertexFormat = VertexFormatFromOutputs(
      gParseStore, object.fxIndex == kNoFxDefinition ? kFxNoDefinition : object.fxIndex);
  for (std::uint32_t c = object.firstCall; c < object.endCall; ++c) {
    const ObjectCall& call = world.objectCalls[c];
    std::uint32_t done = 1;
    SceneBuildSetObject(CallName(world, call));
    if (call.kind == kCallModel) {
      done = ModelInstance(s, call);
    } else if (call.kind == kCallHeightField) {
      TransformNode* element = nullptr;
      done = ObjectTransform(world, call.transform, element)
                 ? HeightFieldInstance(s, call.index < std::min(world.heightFieldCount,
                                                               kWorldHeightFieldMax)
                                              ? call.index
                                              : kNoHeightMap,
                                       element)
                 : 0;
    } else if (call.kind == kCallComposition) {
      done = CompositionInstance(s, call);
    }
    SceneBuildSetObject(nullptr);
    if (done == 0) return 0;
  }
  return 1;
}

}  // namespace

std::uint32_t SceneBuild(World& world) {
  BuildState& s = State();
  s.world = &world;
  s.itemCount = 0;
  world.sceneInstanceCount = 0;
  SceneBuildErrorReset();
  SceneHeightMapsReset();
  for (std::uint32_t d = 0; d < gParseStore.fxRecords.count; ++d)
    for (std::uint32_t k = 2; k <= 6; ++k) MarkUsedFx(gParseStore, d, k);
  TransformNodeInit(s.identity);
  TransformNodeInitUnit(s.unit);

  const std::uint32_t objects = std::min<std::uint32_t>(world.objectCount, kWorldObjectMax);
  for (std::uint32_t o = 0; o < objects; ++o)
    if (BuildObject(s, world.objects[o]) == 0) return 0;

  const std::uint32_t planets = std::min<std::uint32_t>(world.planetCount, kWorldPlanetMax);
  for (std::uint32_t p = 0; p < planets; ++p) {
    const PlanetRecord& r = world.planets[p];
    LoadItemImage(r.colour, r.mask, r.saturation, r.intensity, r.ringSize, r.fadeMinMax[0],
                  r.fadeMinMax[1], r.direction[0], r.direction[1], r.direction[2],
                  r.angularSize);
  }
  return SceneBuildFailed() ? 0 : 1;
}

}  // namespace veskor
