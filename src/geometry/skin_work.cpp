#include "geometry/skin_work.h"
#include "foundation/static_order.h"

namespace veskor {

// Zero-filled: every record starts as SkinWorkInit leaves it.
VESKOR_STATIC_STEP(kStaticStepSkinWork) SkinWorkTable gSkinWork{};

SkinWorkTable::~SkinWorkTable() {
  for (std::uint32_t i = kSkinWorkTableSize; i-- > 0;) SkinWorkRelease(records[i]);
}

SkinWork& SkinWorkInit(SkinWork& work) {
  work = SkinWork{};
  return work;
}

void SkinWorkRelease(SkinWork& work) {
  for (std::uint32_t s = kSkinSetCount; s-- > 0;) {
    for (std::uint32_t m = kSkinWorkMapsPerSet; m-- > 0;) {
      Map& map = work.maps[s][m];
      MemBlockRelease(map.block);  // nothing once the memory manager has shut down
      map = Map{};
    }
  }
}

}  // namespace veskor
