// SkinWork: the skin maps of one item while its skin is shaded: three sets of six float maps
// (one set per grid set of the item's SkinSlot) and the two level offsets of the first set.
// The render preparation loads them from the skin grids, joins the seams of neighbouring items
// on them, runs the fx programs over them and brings them back into the grids; one record per
// item, by the item index of the item PathSets and SkinSlots.
//
// The renderer is built on the geometry folder and the skin stages of both use these records,
// so the table lives here, below the renderer.
#pragma once

#include <cstdint>

#include "mapengine/map.h"

namespace veskor {

inline constexpr std::uint32_t kSkinSetCount = 3;
inline constexpr std::uint32_t kSkinWorkMapsPerSet = 6;

struct SkinWork {
  Map maps[kSkinSetCount][kSkinWorkMapsPerSet];
  std::uint16_t levelOffsetW;  // added to the first set's log2 sizes (SizeSkinArrays)
  std::uint16_t levelOffsetH;
};

// Every map record empty (no block, null data, sizes 0), offsets 0; returns the record.
SkinWork& SkinWorkInit(SkinWork& work);
// Gives every map's block back, last map first, and clears the records. After the memory
// manager's exit release it leaves the blocks alone.
void SkinWorkRelease(SkinWork& work);

inline constexpr std::uint32_t kSkinWorkTableSize = 8192;
struct SkinWorkTable {
  SkinWork records[kSkinWorkTableSize];
  ~SkinWorkTable();
};
extern SkinWorkTable gSkinWork;

}  // namespace veskor
