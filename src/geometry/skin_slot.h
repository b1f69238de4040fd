// SkinSlot: the skin record of one item: its environment cube, the three sets of nine grids
// the skin generation samples from the item's cross-sections, the three sets of float textures
// the shading passes make of them, the item's two log2 skin sizes and level reductions, and
// the list of passes the item's surface is drawn with. One global table of 8192 slots by item
// index, shared with the item PathSets and the SkinWork records.
//
// The geometry passes write the level bytes and the render preparation and the object drawing
// read the rest; the renderer is built on the geometry folder, so the table lives here.
#pragma once

#include <cstdint>

#include "geometry/skin_work.h"
#include "gfx/texture_object.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

inline constexpr std::uint32_t kSkinGridsPerSet = 9;
inline constexpr std::uint32_t kSkinTexturesPerSet = 4;
inline constexpr std::uint32_t kSkinPassMax = 8;
inline constexpr std::uint32_t kSkinSlotTableSize = 8192;

// Nine grids of one size: 0, 1, 2, 6, 7 and 8 go through the fx shading; 0 to 5 of the first
// set are matched at the patch borders.
struct SkinGridSet {
  VertexGrid grids[kSkinGridsPerSet];
};

// The four float textures of one grid set, with the two colours the shading keeps between
// them: textures 0 to 3 are the light map, the diffuse, the emissive and the specular texture
// (SkinTexture). Texture 2 is filtered linearly without mipmaps, the others are mipmapped.
struct SkinTextureSet {
  FloatTexture2D light;  // one channel
  float sunColour[4];
  float skyColour[4];
  FloatTexture2D diffuse;
  FloatTexture2D emissive;
  FloatTexture2D specular;
  std::uint32_t word;  // cleared by the environment stage for captured items
};

// Texture k (0 to 3) of a set.
FloatTexture2D& SkinTexture(SkinTextureSet& set, std::uint32_t k);

struct SkinPass {
  std::uint32_t code;
  const float* argument;  // the item's second matrix, or null
};

struct SkinSlot {
  TextureCube cube;  // first: the slot can be handed out as its cube
  SkinGridSet gridSets[kSkinSetCount];
  SkinTextureSet textureSets[kSkinSetCount];
  std::uint8_t lodReduceW;  // written by the render preparation before the grids are made
  std::uint8_t lodReduceH;
  std::uint8_t levelW;  // log2 size of the full-detail skin, written by the geometry passes
  std::uint8_t levelH;
  float itemData[9];          // the item's box and centre
  const float* matrix;        // the item's matrix
  const float* passArgument;  // its second matrix, copied into the passes
  std::uint32_t reserved;
  std::uint32_t passFlags;
  SkinPass passes[kSkinPassMax];
  std::uint32_t passCount;

  SkinSlot();   // SkinSlotInit
  ~SkinSlot();  // SkinSlotRelease
  SkinSlot(const SkinSlot&) = delete;
  SkinSlot& operator=(const SkinSlot&) = delete;
};

// The construction of a fresh slot: the cube and the twelve textures as their types build them
// (no pixels, format code set), the 27 grids empty with scales 1, no pass, reserved 0,
// passFlags 1.
void SkinSlotInit(SkinSlot& slot);
// Releases the texture sets (third to first), the grids (third set to first) and the cube:
// counted texture memory back, names back to the pool while their stamp is current, blocks
// back to the memory manager. Releasing again does nothing more.
void SkinSlotRelease(SkinSlot& slot);

// Sizes the nine grids of grid set k to the log2 sizes of map 0 of the work's set k, for each
// set whose map 0 holds data; the first set's sizes get dw and dh added. A grid of that size
// keeps its block and values; a set whose map 0 is empty keeps its grids.
void SizeSkinArrays(SkinSlot& slot, const SkinWork& work, std::uint32_t dw, std::uint32_t dh);
// Gives the blocks of all 27 grids back and clears their data; their sizes stay.
void ReleaseSkinGrids(SkinSlot& slot);
// Gives back the pixel blocks of textures 0, 1 and 3 of each set (they live on the graphics
// side once bound); texture 2 keeps its pixels.
void ReleaseSkinArrays(SkinSlot& slot);
inline TextureCube& SkinSlotCube(SkinSlot& slot) { return slot.cube; }

extern SkinSlot gSkinSlots[kSkinSlotTableSize];

}  // namespace veskor
