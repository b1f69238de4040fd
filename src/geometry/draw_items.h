// Draw items: the steps of one generation pass in the order they run: object leaves, each of
// which becomes one scene instance with its items, and the "+" and "-" operations that combine
// two scene nodes into a third. The scene build and the terrain pass register them after the
// pass's scene objects; GenerateGeometry (item_geometry.h) carries them out. Also the transform
// globals: the instance transform of the pass, which every leaf copies and the refinement's
// level-of-detail settings use.
#pragma once

#include <cstdint>

#include "geometry/scene_objects.h"
#include "gfx/transform_node.h"
#include "language/world.h"

namespace veskor {

enum : std::uint32_t { kDrawItemAdd = 1, kDrawItemSub = 2, kDrawItemLeaf = 3 };

struct DrawItem {
  SceneNode* first;         // a leaf's node; an operation's left operand
  SceneNode* second;        // an operation's right operand
  SceneNode* result;        // the node that receives an operation's result
  SceneInstance* instance;  // the record a leaf fills
  TransformNode transform;  // a leaf's copy of the first transform global
  std::uint32_t kind;
};

inline constexpr std::uint32_t kDrawItemMax = 8192;
inline constexpr const char* kTooManyDrawItemsMessage = "Too Many Draw Items !";
inline constexpr const char* kTooManySceneInstancesMessage = "Too Many Scene Instances !";

// The draw items of the current pass; RenderListReset empties the table.
struct DrawItemTable {
  DrawItem items[kDrawItemMax];
  std::uint32_t count;
  DrawItemTable();  // every transform TransformNodeInit
};
extern DrawItemTable gDrawItems;

// The first of the five transform globals; the other four are the nodes of the four
// level-of-detail settings (subdivision_settings.h). All five always hold the same node.
extern TransformNode gTransformGlobal;
void SetTransformGlobals(const TransformNode& node);

// Raises both operands' use counts, makes the result an empty composed node (use count 0, kind
// 2, not registered, object index 0, no entries, totals 0; its transform stays) and appends the
// operation. A full table sets the scene build's error and changes nothing; so does an earlier
// failure.
void RegisterDrawItemAdd(SceneNode& left, SceneNode& right, SceneNode& result);
void RegisterDrawItemSub(SceneNode& left, SceneNode& right, SceneNode& result);
// Raises the node's use count the first time it is registered as a leaf; initialises the
// record (no item, the flags 1, vertex format 25, spare and shininess 0, cone angle pi, not
// connected, no neighbours, visible, draw mode 3) and appends the leaf with a copy of the first
// transform global. Errors as above.
void RegisterDrawItemLeaf(SceneNode& node, SceneInstance& instance);

// The next scene instance record of the World (records count from 1) with the count raised;
// null, with the scene build's error set, when the table is full or the build has failed.
SceneInstance* AddSceneInstance(World& world);

}  // namespace veskor
