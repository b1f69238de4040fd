#include "geometry/skin_slot.h"
#include "foundation/static_order.h"

#include <initializer_list>

namespace veskor {

VESKOR_STATIC_STEP(kStaticStepSkinSlots) SkinSlot gSkinSlots[kSkinSlotTableSize];

SkinSlot::SkinSlot() { SkinSlotInit(*this); }
SkinSlot::~SkinSlot() { SkinSlotRelease(*this); }

FloatTexture2D& SkinTexture(SkinTextureSet& set, std::uint32_t k) {
  FloatTexture2D* textures[kSkinTexturesPerSet] = {&set.light, &set.diffuse, &set.emissive,
                                                   &set.specular};
  return *textures[k & 3];
}

void SkinSlotInit(SkinSlot& slot) {
  // The cube and the textures are built by their own constructors.
  for (SkinGridSet& set : slot.gridSets) {
    for (VertexGrid& grid : set.grids) VertexGridInit(grid);
  }
  for (SkinTextureSet& set : slot.textureSets) {
    for (std::uint32_t k = 0; k < kSkinTexturesPerSet; ++k)
      FloatTexture2DSetFormatCode(SkinTexture(set, k));
    for (int c = 0; c < 4; ++c) set.sunColour[c] = set.skyColour[c] = 0;
    set.word = 0;
  }
  TextureCubeSetFormatCode(slot.cube);
  slot.lodReduceW = slot.lodReduceH = slot.levelW = slot.levelH = 0;
  for (float& v : slot.itemData) v = 0;
  slot.matrix = slot.passArgument = nullptr;
  slot.reserved = 0;
  slot.passFlags = 1;
  for (SkinPass& pass : slot.passes) pass = SkinPass{};
  slot.passCount = 0;
}

void SkinSlotRelease(SkinSlot& slot) {
  for (std::uint32_t s = kSkinSetCount; s-- > 0;) {
    for (std::uint32_t k = 0; k < kSkinTexturesPerSet; ++k)
      FloatTexture2DRelease(SkinTexture(slot.textureSets[s], k));
  }
  for (std::uint32_t s = kSkinSetCount; s-- > 0;) {
    for (VertexGrid& grid : slot.gridSets[s].grids) VertexGridRelease(grid);
  }
  TextureCubeRelease(slot.cube);
}

void SizeSkinArrays(SkinSlot& slot, const SkinWork& work, std::uint32_t dw, std::uint32_t dh) {
  for (std::uint32_t s = 0; s < kSkinSetCount; ++s) {
    const Map& first = work.maps[s][0];
    if (first.data == nullptr) continue;
    const std::uint32_t w = first.log2Width + (s == 0 ? dw : 0);
    const std::uint32_t h = first.log2Height + (s == 0 ? dh : 0);
    for (VertexGrid& grid : slot.gridSets[s].grids)
      VertexGridAlloc(grid, static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h));
  }
}

void ReleaseSkinGrids(SkinSlot& slot) {
  for (SkinGridSet& set : slot.gridSets) {
    for (VertexGrid& grid : set.grids) VertexGridRelease(grid);
  }
}

void ReleaseSkinArrays(SkinSlot& slot) {
  for (SkinTextureSet& set : slot.textureSets) {
    for (FloatTexture2D* t : {&set.light, &set.diffuse, &set.specular}) {
      MemBlockRelease(t->pixels.block);
      t->pixels.data = nullptr;
    }
  }
}

}  // namespace veskor
