#include "geometry/skin_slot.h"

#include <gtest/gtest.h>

#include <memory>

namespace veskor {
namespace {

// A map record that claims data of the given log2 sizes (SizeSkinArrays reads no texel).
void ClaimMap(Map& map, std::uint16_t w, std::uint16_t h) {
  static float texel;
  map.data = &texel;
  map.log2Width = w;
  map.log2Height = h;
}

TEST(SkinSlot, AFreshSlotHasEmptyGridsNoPassesAndItsCubeFirst) {
  const auto slot = std::make_unique<SkinSlot>();
  EXPECT_EQ(slot->passCount, 0u);
  EXPECT_EQ(slot->passFlags, 1u);
  EXPECT_EQ(slot->reserved, 0u);
  EXPECT_EQ(static_cast<void*>(&SkinSlotCube(*slot)), static_cast<void*>(slot.get()));
  for (const SkinGridSet& set : slot->gridSets) {
    for (const VertexGrid& g : set.grids) {
      EXPECT_EQ(g.data, nullptr);
      EXPECT_EQ(g.scaleX * g.scaleZ * g.scaleValue, 1.0f);
    }
  }
  // Textures 0 to 3 of a set, in the order the shading and the pass modes number them.
  SkinTextureSet& t = slot->textureSets[1];
  const FloatTexture2D* order[] = {&t.light, &t.diffuse, &t.emissive, &t.specular};
  for (std::uint32_t k = 0; k < kSkinTexturesPerSet; ++k) {
    EXPECT_EQ(&SkinTexture(t, k), order[k]);
    EXPECT_EQ(order[k]->pixels.data, nullptr);
    EXPECT_EQ(order[k]->state.valid, 1u);
  }
}

TEST(SkinSlot, SizingFollowsTheWorkMapsAndKeepsGridsOfTheSameSize) {
  const auto slot = std::make_unique<SkinSlot>();
  SkinWork work{};
  ClaimMap(work.maps[0][0], 3, 2);
  ClaimMap(work.maps[1][0], 5, 5);
  VertexGridAlloc(slot->gridSets[2].grids[4], 1, 1);  // set 2 has no map: kept as it is
  SizeSkinArrays(*slot, work, 1, 2);
  const struct {
    std::uint32_t set;
    std::uint16_t w, h;
  } sizes[] = {{0, 4, 4}, {1, 5, 5}};
  for (const auto& s : sizes) {
    for (const VertexGrid& g : slot->gridSets[s.set].grids) {
      ASSERT_NE(g.data, nullptr);
      EXPECT_EQ(g.log2Width, s.w);
      EXPECT_EQ(g.log2Height, s.h);
    }
  }
  EXPECT_EQ(slot->gridSets[2].grids[4].log2Width, 1);
  EXPECT_EQ(slot->gridSets[2].grids[0].data, nullptr);

  VertexGrid& g = slot->gridSets[0].grids[8];
  float* const data = g.data;
  data[7] = 2.5f;
  SizeSkinArrays(*slot, work, 1, 2);
  EXPECT_EQ(g.data, data);
  EXPECT_EQ(data[7], 2.5f);
  SizeSkinArrays(*slot, work, 0, 2);  // another size: a new block
  EXPECT_EQ(g.log2Width, 3);

  ReleaseSkinGrids(*slot);
  ReleaseSkinGrids(*slot);  // twice, and on grids never sized: harmless
  for (const SkinGridSet& set : slot->gridSets) {
    for (const VertexGrid& grid : set.grids) EXPECT_EQ(grid.data, nullptr);
  }
  EXPECT_EQ(g.log2Width, 3);  // the sizes stay
  EXPECT_EQ(g.log2Height, 4);
}

TEST(SkinSlot, ReleasingTheArraysKeepsOnlyTexture2) {
  const auto slot = std::make_unique<SkinSlot>();
  for (SkinTextureSet& set : slot->textureSets) {
    for (std::uint32_t k = 0; k < kSkinTexturesPerSet; ++k)
      FloatTexture2DResize(SkinTexture(set, k), 1, 2, 2);
  }
  ReleaseSkinArrays(*slot);
  for (SkinTextureSet& set : slot->textureSets) {
    for (std::uint32_t k = 0; k < kSkinTexturesPerSet; ++k) {
      const TexturePixels& p = SkinTexture(set, k).pixels;
      EXPECT_EQ(p.data != nullptr, k == 2) << k;
      EXPECT_EQ(p.block.base != nullptr, k == 2) << k;
    }
  }
  TextureCubeResize(slot->cube, 3, 2);
  VertexGridAlloc(slot->gridSets[1].grids[3], 2, 2);
  SkinSlotRelease(*slot);  // then once more by the destructor
  EXPECT_EQ(SkinTexture(slot->textureSets[0], 2).pixels.block.base, nullptr);
  EXPECT_EQ(slot->gridSets[1].grids[3].data, nullptr);
  for (const TexturePixels& face : slot->cube.faces) EXPECT_EQ(face.block.base, nullptr);
}

TEST(SkinWork, ReleaseGivesEveryMapBackAndClearsTheRecord) {
  SkinWork work{};
  for (auto& set : work.maps) {
    for (Map& map : set) {
      MemBlockReserve(map.block, MapBytes(2, 1));
      map.data = static_cast<float*>(MemBlockAppend(map.block, MapBytes(2, 1)));
      map.log2Width = 2;
      map.log2Height = 1;
    }
  }
  work.levelOffsetW = 3;
  SkinWorkRelease(work);
  for (const auto& set : work.maps) {
    for (const Map& map : set) {
      EXPECT_EQ(map.block.base, nullptr);
      EXPECT_EQ(map.data, nullptr);
      EXPECT_EQ(map.log2Width, 0);
    }
  }
  EXPECT_EQ(SkinWorkInit(work).levelOffsetW, 0);
}

}  // namespace
}  // namespace veskor
