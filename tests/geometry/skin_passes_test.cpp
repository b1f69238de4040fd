#include "geometry/skin_passes.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gfx/gl_capabilities.h"

namespace veskor::test {
namespace {

// Boards made up of a texture-unit count and extension bits.
class SkinPassLists : public ::testing::Test {
 protected:
  void SetUp() override {
    savedMask_ = ExtensionMask;
    savedUnits_ = TextureUnitCount;
  }
  void TearDown() override {
    ExtensionMask = savedMask_;
    TextureUnitCount = savedUnits_;
  }
  std::uint32_t savedMask_ = 0, savedUnits_ = 0;
};

TEST_F(SkinPassLists, PassesFollowTheFlagsAndTheBoard) {
  constexpr std::uint32_t kRc = kExtRegisterCombiners2, kSec = kExtSecondaryColor;
  const struct {
    std::uint32_t units, extensions, flags;
    std::vector<std::uint32_t> codes;
  } cases[] = {
      {2, 0, 0, {0, 1}},
      {4, kRc | kSec, 8 | 16 | 2 | 4, {26, 4}},
      {8, kRc | kSec, 4, {0, 1, 5}},
      {4, kRc | kSec, 0, {2}},
      {4, kRc | kSec, 8 | 32, {10}},
      {4, kRc | kSec, 16 | 2, {18, 3}},
      {4, kRc, 8 | 16 | 4, {24, 25, 6}},
      {4, kRc, 2 | 4, {0, 1, 4}},
      {4, kSec, 16 | 2 | 4, {16, 17, 3, 5}},
      {3, kRc | kSec, 8 | 4, {8, 9, 5}},
      {5, kRc | kSec, 2, {0, 1, 3}},
  };
  const auto slot = std::make_unique<SkinSlot>();
  const float matrix[16] = {};
  slot->passArgument = matrix;
  for (const auto& c : cases) {
    TextureUnitCount = c.units;
    ExtensionMask = c.extensions;
    for (SkinPass& p : slot->passes) p = SkinPass{99, matrix + 1};
    BuildSkinPassList(*slot, c.flags);
    EXPECT_EQ(slot->passFlags, c.flags);
    ASSERT_EQ(slot->passCount, c.codes.size()) << c.units << " " << c.flags;
    // Only the last base pass carries the matrix; the others and the extra passes none.
    const std::uint32_t lastBase = c.codes[0] % 8 == 2 ? 0 : 1;
    for (std::uint32_t k = 0; k < slot->passCount; ++k) {
      EXPECT_EQ(slot->passes[k].code, c.codes[k]) << c.units << " " << c.flags << " " << k;
      EXPECT_EQ(slot->passes[k].argument, k == lastBase ? matrix : nullptr) << k;
    }
    EXPECT_EQ(slot->passes[slot->passCount].code, 99u);  // nothing written past the list
  }
}

}  // namespace
}  // namespace veskor::test
