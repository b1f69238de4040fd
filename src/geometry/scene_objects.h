// Scene objects: the models of one generation pass registered for cutting. Registration copies
// a model's Edges, moves them into place with the operand's transform, refines them into
// RefinedEdgeLists (one list per object) and merges their heights into the shared
// SliceHeights. The scene build registers the model of an instance, the operands of a
// composition (at most 64) or the tiles of a terrain block, starting every pass with
// RenderListReset.
#pragma once

#include <cstdint>

#include "geometry/subdivision_settings.h"
#include "gfx/transform_node.h"
#include "language/edge_curve.h"

namespace veskor {

inline constexpr std::uint32_t kSceneObjectMax = 8192;
// Edges an object may have: the cross-section tables hold no more per object.
inline constexpr std::uint32_t kSceneObjectEdgeMax = 16;
// Refinement levels of every registered object.
inline constexpr std::uint32_t kSceneObjectLevels = 8;

inline constexpr const char* kTooManySceneObjectsMessage = "Too Many Scene Objects !";
inline constexpr const char* kTooManyObjectEdgesMessage = "Too Many Edges In One Object !";

enum : std::uint32_t { kSceneNodeObject = 1, kSceneNodeComposed = 2 };

// One node of a generation pass: a registered object or the result of a composition. The
// caller owns it; registration fills it, the item geometry fills the run of path-set
// references and the totals.
struct SceneNode {
  std::uint32_t useCount;
  std::uint32_t kind;
  std::uint32_t registered;  // set when a leaf draw item takes the node
  std::uint32_t objectIndex;
  std::uint32_t firstRef;  // the node's run of path-set references
  std::uint32_t refCount;
  std::uint32_t spare[2];
  std::uint32_t triangleTotal;
  std::uint32_t vertexTotal;
  TransformNode transform;  // the node the object was registered with
};

// The lists registered in the current pass, by object index.
struct SceneObjectTable {
  const EdgeCurveList* lists[kSceneObjectMax];
  std::uint32_t count;
};
extern SceneObjectTable gSceneObjects;

// The refined Edges of object n in entry n. Their blocks go back to the memory manager at exit.
struct RefinedEdgeListTable {
  EdgeCurveList lists[kSceneObjectMax];
  ~RefinedEdgeListTable();
};
extern RefinedEdgeListTable gRefinedEdgeLists;

// Starts a pass: no object, no draw item (draw_items.h), both SliceHeights halves empty.
void RenderListReset();

// Registers a list as the next object, refined with the object geometry settings: the Edges
// copied, moved by the node's matrix 1 unless the node is the identity (the node's matrices
// are recomputed first when it is dirty), refined by kSceneObjectLevels levels into the
// object's entry of gRefinedEdgeLists; the heights of a model's list join SliceHeights (a
// curve set is cut at its own heights). The scene node becomes an object node with a copy of
// the transform node. A full object table, a list of more than kSceneObjectEdgeMax Edges or
// an earlier failure sets (or keeps) the scene build's error and registers nothing.
void RegisterSceneObject(const EdgeCurveList& list, TransformNode& node, SceneNode& sceneNode);
// The same for terrain tiles, with the caller's refinement settings.
void RegisterSceneObject(const EdgeCurveList& list, SubdivisionSettings& settings,
                         TransformNode& node, SceneNode& sceneNode);

}  // namespace veskor
