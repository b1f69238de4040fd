// Skin pass lists and texture modes: how an item's surface is drawn. BuildSkinPassList writes
// the item's draw passes into its SkinSlot from its pass flags and the board's capabilities;
// SetSkinTextureModes sets the sampling modes of its float textures and binds them, which
// uploads them. The render preparation calls both once an item's skin textures are filled; the
// object drawing walks the pass list (the pass codes are shared with it).
#pragma once

#include <cstdint>

#include "geometry/skin_slot.h"

namespace veskor {

// Pass flags: 8 and 16 choose the variant of the base passes, 2 and 4 ask for extra passes.
enum : std::uint32_t {
  kSkinPassExtraA = 2,
  kSkinPassExtraB = 4,
  kSkinPassVariantA = 8,
  kSkinPassVariantB = 16,
};
// SetSkinTextureModes code: only the first texture set, clamped.
inline constexpr std::uint32_t kSkinModesFirstSetOnly = 128;

// A board with exactly four texture units and register combiners 2.
bool SkinCombinerBoard();

// passFlags = flags; the base passes (one on a combiner board with secondary colour, else
// two, the second carrying the slot's passArgument), then the extra passes the flags ask for
// (their argument null). At most four entries.
void BuildSkinPassList(SkinSlot& slot, std::uint32_t flags);

// Code 128: the first texture set with wrap 0. Any other code: the first set with wrap 1
// (repeat across), the second and the third with wrap 0 (clamped).
void SetSkinTextureModes(SkinSlot& slot, std::uint32_t code);
// For textures 0, 1, 3 and 2 of the set, each only when it holds pixels: filter (2: bilinear,
// the others mipmapped), wrap, maximum LOD 3 (not for texture 2), then a bind on the active
// unit with the texture's combine mode.
void SetSkinTextureSetModes(SkinTextureSet& set, std::uint32_t wrap);
// With the texture-LOD extension: the texture's maximum LOD becomes `value`, applied at its
// next bind. Without it nothing changes.
void SetSkinTextureMaxLod(FloatTexture2D& texture, float value);

}  // namespace veskor
