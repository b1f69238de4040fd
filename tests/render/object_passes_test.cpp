// The pass list of a record: copied as the skin slot holds it, and in time-frozen views with
// the combined emissive-and-reflection pass turned into the plain emissive one and the
// reflection passes dropped.
#include "render/object_passes.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace veskor {
namespace {

TEST(ObjectPassList, TimeFrozenViewsDropReflections) {
  const float matrix[16] = {};
  const struct {
    std::vector<std::uint32_t> codes, frozen;
  } cases[] = {
      {{2, 4}, {2, 3}},
      {{0, 1, 3, 5}, {0, 1, 3}},
      {{2 | 8 | 0x10, 6}, {2 | 8 | 0x10}},
      {{0 | 8, 1 | 8, 3}, {8, 9, 3}},
      {{4 | 8, 5 | 0x10, 7}, {4 | 8, 5 | 0x10, 7}},  // only whole code words 4, 5, 6 change
      {{}, {}},
      {{0, 1, 3, 5, 0, 1, 3, 5, 6}, {0, 1, 3, 0, 1, 3}},  // a count past 8 is taken as 8
  };
  auto slot = std::make_unique<SkinSlot>();
  for (const auto& c : cases) {
    slot->passCount = static_cast<std::uint32_t>(c.codes.size());
    for (std::uint32_t i = 0; i < c.codes.size() && i < kSkinPassMax; ++i)
      slot->passes[i] = {c.codes[i], i == 0 ? nullptr : matrix};
    for (const std::uint32_t flags : {0u, 0x20u, 0x10u, 0x30u}) {
      ObjectPassListFill(*slot, flags);
      std::vector<std::uint32_t> want = (flags & 0x10) != 0 ? c.frozen : c.codes;
      if (want.size() > kSkinPassMax) want.resize(kSkinPassMax);
      ASSERT_EQ(ObjectPassCount, want.size()) << flags;
      for (std::uint32_t i = 0; i < ObjectPassCount; ++i) EXPECT_EQ(ObjectPassList[i].code, want[i]);
    }
  }
  // The emissive pass made of code 4 keeps the entry's matrix.
  slot->passCount = 2;
  slot->passes[0] = {5, nullptr};
  slot->passes[1] = {4, matrix};
  ObjectPassListFill(*slot, 0x10);
  ASSERT_EQ(ObjectPassCount, 1u);
  EXPECT_EQ(ObjectPassList[0].argument, matrix);
  ObjectPassListClear();
  EXPECT_EQ(ObjectPassCount, 0u);
}

}  // namespace
}  // namespace veskor
