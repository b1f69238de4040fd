// The object path sets of a scene build: the first time an item needs a registered object,
// BuildSliceTable cuts it into its PathSet of rings in gObjectPathSets (through a SliceTable
// of its model's own Edges, unless it is a curve set) and gives its scene node a run of one
// entry in PathSetRefs naming that set; ReleaseObjectPathSets frees the sets of a node when its
// last use is done. The item geometry walk runs both; composed nodes take runs of entries of
// their own. The scene build starts every build with ObjectPathSetsReset.
#pragma once

#include <cstdint>

#include "geometry/scene_objects.h"
#include "geometry/scratch_array.h"

namespace veskor {

inline constexpr const char* kTooManyObjectPathSetsMessage = "Too Many Object Path Sets !";
inline constexpr const char* kTooManySliceTablesMessage = "Too Many Slice Tables !";

// Next free entries of gObjectPathSets and gSliceTables.
extern std::uint32_t gObjectPathSetCount;
extern std::uint32_t gSliceTableCount;
// Indices into gObjectPathSets; a node owns the run from its firstRef, refCount long. It
// grows with the build: composed nodes copy their children's runs.
extern ScratchArray<std::uint32_t> gPathSetRefs;
inline std::uint32_t PathSetRefCount() { return gPathSetRefs.size(); }

// No object set, no slice table, no entry.
void ObjectPathSetsReset();

// Builds the node's object once: nothing for a null node, a node without uses or one that has
// entries already (built, or composed). Otherwise the object's model list (gSceneObjects) is
// taken into the next SliceTable (not for a curve set), its refined Edges are cut by
// BuildSweepPaths into the next object set, the node gets the one new entry naming it, and the
// refined Edges and the table's slices and triples are released. A full object or slice-table
// table, or a failure of the cut, sets the scene build's error; once set, nothing is built.
void BuildSliceTable(SceneNode* node);
// Drops one use of the node; at its last use frees the object sets its entries name and
// clears its run. Nothing for a null node, a node without uses or one without entries.
void ReleaseObjectPathSets(SceneNode* node);

}  // namespace veskor
