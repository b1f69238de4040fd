#include <gtest/gtest.h>

#include "geometry/skin_work_maps.h"
#include "render/skin_stages.h"

namespace veskor::test {
namespace {

// A 2 x 2 field of patches, items 0 1 over 2 3, joined along every region border side.
TEST(SkinsConnectStage, AFieldOfFourPatchesGetsItsSeamsAndNeighbourLinks) {
  SceneObject objects[4]{};
  const std::uint32_t savedCount = gItemCount;
  gItemCount = 4;
  for (std::uint32_t i = 0; i < 4; ++i) {
    for (std::int32_t& n : objects[i].neighbours) n = -1;
    gItemTargets[i] = &objects[i];
    SkinMapSetAlloc(gSkinWork.records[i].maps[0], 2, 2);
    for (std::uint32_t j = 0; j < kSkinWorkMapsPerSet; ++j)
      for (std::uint32_t k = 0; k < SkinMapValues(2, 2); ++k)
        gSkinWork.records[i].maps[0][j].data[k] = float(100 * i + j * 10 + k % 7);
  }
  const auto border = [](std::uint32_t side, std::uint32_t a, std::uint32_t b) {
    return SkinConnection{side, a, b, 0, 0, 0, 0, 0, 0, 0, 0};
  };
  const SkinConnection connections[] = {
      border(kBorderLeft, 1, 0),    border(kBorderLeft, 3, 2),   border(kBorderUp, 2, 0),
      border(kBorderUp, 3, 1),      border(kBorderUpLeft, 3, 0), border(kBorderUpRight, 2, 1),
      border(kBorderLeft, 4, 0),    border(kBorderUp, 0, 4)};  // past the item count: skipped
  for (const SkinConnection& c : connections) ConnectItemSkins(c);
  const std::int32_t want[4][4] = {{-1, 1, -1, 2}, {0, -1, -1, 3}, {-1, 3, 0, -1}, {2, -1, 1, -1}};
  for (std::uint32_t i = 0; i < 4; ++i)
    for (std::uint32_t s = 0; s < 4; ++s) EXPECT_EQ(objects[i].neighbours[s], want[i][s]) << i << s;
  // Left seams: A's first column is B's last (the nets are 7 wide: border, 5 samples, border).
  for (const auto& [a, b] : {std::pair{1u, 0u}, {3u, 2u}})
    for (std::uint32_t j = 0; j < kSkinWorkMapsPerSet; ++j)
      for (std::uint32_t r = 2; r <= 4; ++r)
        EXPECT_EQ(gSkinWork.records[a].maps[0][j].data[r * 7 + 1],
                  gSkinWork.records[b].maps[0][j].data[r * 7 + 5])
            << a << " " << j << " " << r;
  for (std::uint32_t i = 0; i < 4; ++i) {
    ReleaseSkinMapSet(gSkinWork.records[i]);
    gItemTargets[i] = nullptr;
  }
  gItemCount = savedCount;
}

}  // namespace
}  // namespace veskor::test
