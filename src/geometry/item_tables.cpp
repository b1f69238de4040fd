#include "geometry/item_tables.h"

namespace veskor {

std::uint32_t gItemCount = 0;
SceneInstance* gItemTargets[kItemMax]{};
std::uint32_t gItemBatchIndex[kItemMax]{};
ItemDrawRecord gBatchItemRecords[kItemMax]{};
std::uint32_t gBatchItemCount = 0;
std::uint32_t gGeneratedTriangleTotal = 0;
std::uint32_t gGeneratedVertexTotal = 0;

void ItemTablesReset() {
  gItemCount = gBatchItemCount = 0;
  gGeneratedTriangleTotal = gGeneratedVertexTotal = 0;
}

}  // namespace veskor
