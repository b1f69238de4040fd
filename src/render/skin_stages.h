// The per-item work of the three skin stages of the render preparation: generating an item's
// skin grids from its cross-sections and loading them into its skin work maps ("Shaders / Skins
// Generate"), joining the skins along the skin connections and linking neighbouring patches
// ("Shaders / Skins Connect"), and finishing one item: shading, borders, batch passes, light
// maps and skin passes ("Shaders / Render"). The stage drivers (shader_stages.h) walk the items
// and report; these functions do the work.
#pragma once

#include <cstdint>

#include "geometry/item_tables.h"
#include "geometry/path_set.h"
#include "geometry/region_borders.h"
#include "geometry/skin_slot.h"
#include "geometry/patch_borders.h"
#include "gfx/ortho_pass.h"
#include "gfx/pbuffer.h"
#include "language/fx_call_lists.h"

namespace veskor {

// Per item: its PathSet's kind (nonzero for a terrain patch), written by the skins generation.
extern std::uint32_t ItemKind[kItemMax];

// Cross-sections of a path set shorter than this are points.
inline constexpr float kPointSectionLength = 0.0005f;
// Rows move on to the next cross-section once they come this close to it.
inline constexpr float kRowHeightTolerance = 0.0005f;

// Levels of the skin of an item: the log2 sizes of its grid set 1 and the levels its textures
// are finer (the slot's lodReduceW and lodReduceH), and for objects the log2 sides of the two
// caps.
struct SkinLevels {
  std::uint32_t gridW, gridH;
  std::uint32_t extraW, extraH;
  std::uint32_t bottomCap, topCap;
};
// The levels of item set p (patch or object by its kind) with its slot's own sizes for a patch.
SkinLevels ItemSkinLevels(const PathSet& p, const SkinSlot& slot);

// Sizes and fills the slot's grid sets from the path set: grid set 1 (the body, rows blended
// between the cross-sections around them), and for an object the bottom and top caps in grid
// sets 2 and 3 where its end cross-sections ask for them. Writes the slot's level reductions.
void FillItemSkinGrids(const PathSet& p, SkinSlot& slot);
// The whole skins generation of item i: ItemKind, the grids, the path set freed, the grids
// loaded into the item's SkinWork, the grids released.
void GenerateItemSkin(std::uint32_t i);
// Samples a row of the two sample buffer sets holds (grown to the widest row asked so far).
std::uint32_t SkinSampleBufferWidth();

// Joins the skins of the two items of connection c along its side and, for sides 0 (B left
// of A) and 1 (B above A), links them in their scene objects: A's first column (row) has B,
// B's last column (row) has A. A record naming an item outside the item count is skipped.
void ConnectItemSkins(const SkinConnection& c);
// Binds the scene's shared fx calls to the store and runs them once: 1, or 0 when a binding
// or an executor failed (its message in FxErrorText).
std::uint32_t RunSharedFxCalls(FxExecContext& context, ParseStore& store);

// The output slots of a surface definition.
enum : std::uint32_t {
  kFxSlotPoint = 0,
  kFxSlotNormal = 1,
  kFxSlotDiffuse = 3,
  kFxSlotSpecular = 4,
  kFxSlotShininess = 5,
  kFxSlotEmissive = 6,
};
// Item flags of a scene object read here.
enum : std::uint32_t {
  kItemSunLit = 1,         // light maps from a depth view along the sun
  kItemNormals = 4,        // normal pass, environment cube, keeps its draw mode
  kItemCloudShadow = 0x10,  // cloud shadow pass while the low clouds have puffs
};

// What finishing an item needs of its preparation: the item fx context bound to the store,
// the patch borders of the call, the off-screen buffer, the sun's depth view with the window
// it is sized on. Without a store no item is shaded.
struct RenderItemContext {
  FxExecContext* fx;
  ParseStore* store;
  PatchBorderList* borders;
  Pbuffer* pbuffer;
  OrthoPass* shadowCamera;
  ViewPlane* window;
  std::uint32_t skyFlags;  // gathers 8 for every item with the cloud-shadow flag
};

// Finishes item i: its skin maps filtered back into its grids, every grid set with data moved
// into the world with its normals, the fx shading into its textures (with the border copies
// and stitches of a patch), the batch passes, the light maps, the skin passes. 1, or 0 when its
// fx program failed (the message in FxErrorText).
std::uint32_t RenderItem(std::uint32_t i, RenderItemContext& context);

}  // namespace veskor
