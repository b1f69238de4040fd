#include "geometry/patch_borders.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "foundation/session_log.h"

namespace veskor::test {
namespace {

// Six channel grids of one patch; channel c holds 1000 c + 100 base + 10 y + x.
struct Patch {
  VertexGrid grids[kPatchChannels];
  VertexGrid* list[kPatchChannels];
  Patch(std::uint32_t w, std::uint32_t h, float base) {
    for (std::uint32_t c = 0; c < kPatchChannels; ++c) {
      VertexGridInit(grids[c]);
      VertexGridAlloc(grids[c], std::uint16_t(w), std::uint16_t(h));
      for (std::uint32_t y = 0; y <= (1u << h); ++y)
        for (std::uint32_t x = 0; x <= (1u << w); ++x)
          *VertexGridCell(grids[c], x, y) = Value(c, base, x, y);
      list[c] = &grids[c];
    }
  }
  ~Patch() {
    for (VertexGrid& g : grids) VertexGridRelease(g);
  }
  static float Value(std::uint32_t c, float base, float x, float y) {
    return 1000.0f * float(c) + 100.0f * base + 10.0f * y + x;
  }
  float At(std::uint32_t c, std::uint32_t x, std::uint32_t y) const {
    return *VertexGridCell(grids[c], x, y);
  }
};

class PatchBorders : public ::testing::Test {
 protected:
  void SetUp() override {
    SessionLogSetStream(&log_);
    PatchBorderListInit(list_);
    PatchBorderListReserve(list_, 4, 4096);
  }
  void TearDown() override {
    PatchBorderListRelease(list_);
    SessionLogClose();
  }
  PatchBorderList list_;
  std::ostringstream log_;
};

// Neighbour 1 stores each side; patch 2 stitches the opposite side from it. With m the stored
// size and n its own along the side, sample j is the stored sample j 2^(m - n), or the stored
// edge interpolated when the neighbour is coarser.
TEST_F(PatchBorders, StitchedEdgesFollowTheStoredOppositeEdge) {
  using Copy = std::uint32_t (*)(PatchBorderList&, std::uint32_t, VertexGrid* const*);
  using Stitch = std::uint32_t (*)(const PatchBorderList&, std::uint32_t, VertexGrid* const*);
  const struct {
    Copy copy;
    Stitch stitch;
    bool column;
    bool stitchFirst;  // the stitched edge is the patch's first column or row
  } sides[] = {{CopyPatchBorderColN, StitchPatchCol0, true, true},
               {CopyPatchBorderCol0, StitchPatchColN, true, false},
               {CopyPatchBorderRowN, StitchPatchRow0, false, true},
               {CopyPatchBorderRow0, StitchPatchRowN, false, false}};
  for (const std::uint32_t m : {1u, 2u, 3u}) {  // coarser, equal, finer than n = 2
    for (const auto& side : sides) {
      PatchBorderListReserve(list_, 4, 4096);
      Patch neighbour(m, m, 1), patch(2, 2, 2);
      ASSERT_EQ(side.copy(list_, 1, neighbour.list), 1u);
      EXPECT_EQ(list_.used, 6 * ((1u << m) + 1));
      ASSERT_EQ(side.stitch(list_, 1, patch.list), 1u);
      const std::uint32_t edge = (side.stitchFirst ? 0u : 4u),
                          from = side.stitchFirst ? 1u << m : 0;
      for (std::uint32_t c = 0; c < kPatchChannels; ++c) {
        for (std::uint32_t j = 0; j <= 4; ++j) {
          const float t = float(j) * float(1u << m) / 4.0f;  // along the neighbour's edge
          const float want =
              side.column ? Patch::Value(c, 1, float(from), t) : Patch::Value(c, 1, t, float(from));
          const float got = side.column ? patch.At(c, edge, j) : patch.At(c, j, edge);
          EXPECT_FLOAT_EQ(got, want)
              << m << " " << side.column << side.stitchFirst << " " << c << " " << j;
          // The next line in is the patch's own.
          const std::uint32_t in = side.stitchFirst ? 1 : 3;
          EXPECT_EQ(side.column ? patch.At(c, in, j) : patch.At(c, j, in),
                    side.column ? Patch::Value(c, 2, float(in), float(j))
                                : Patch::Value(c, 2, float(j), float(in)));
        }
      }
    }
  }
}

// The pool holds what the preparation sized: a store that just fits is kept, one float more is
// refused with a log line and leaves the pool and the entry as they were.
TEST_F(PatchBorders, StoresPastThePoolAreRefused) {
  Patch p(2, 1, 0);
  EXPECT_EQ(PatchBorderFloats(2, 1), 6u * 2 * (5 + 3));
  PatchBorderListReserve(list_, 2, 6 * 5 + 6 * 3 - 1);
  EXPECT_EQ(CopyPatchBorderRow0(list_, 0, p.list), 1u);  // 30 floats
  EXPECT_EQ(CopyPatchBorderCol0(list_, 0, p.list), 0u);  // 18 more: one too many
  EXPECT_EQ(list_.used, 30u);
  EXPECT_EQ(list_.entries[0].stored, 1u << kPatchRow0);
  EXPECT_NE(log_.str().find("Patch border : item 0 does not fit the pool"), std::string::npos);
  PatchBorderListReserve(list_, 2, 6 * 5 + 6 * 3);
  EXPECT_EQ(CopyPatchBorderRow0(list_, 0, p.list), 1u);
  EXPECT_EQ(CopyPatchBorderCol0(list_, 0, p.list), 1u);
  EXPECT_EQ(list_.used, list_.capacity);
  // Entries outside the list and grids without data store nothing.
  EXPECT_EQ(CopyPatchBorderRowN(list_, 2, p.list), 0u);
  VertexGridRelease(p.grids[5]);
  EXPECT_EQ(CopyPatchBorderRowN(list_, 1, p.list), 0u);
  EXPECT_EQ(list_.entries[1].stored, 0u);
}

// A neighbour that stored nothing on that side (it had no shading) leaves the edge alone, even
// when it stored other sides.
TEST_F(PatchBorders, SidesTheNeighbourNeverStoredAreLeftAlone) {
  Patch neighbour(2, 2, 1), patch(2, 2, 2);
  ASSERT_EQ(CopyPatchBorderCol0(list_, 3, neighbour.list), 1u);
  EXPECT_EQ(StitchPatchCol0(list_, 3, patch.list), 0u);  // needs its last column
  EXPECT_EQ(StitchPatchRow0(list_, 0, patch.list), 0u);  // a zeroed entry
  EXPECT_EQ(StitchPatchRowN(list_, 4, patch.list), 0u);  // no such entry
  for (std::uint32_t c = 0; c < kPatchChannels; ++c)
    for (std::uint32_t k = 0; k <= 4; ++k) {
      EXPECT_EQ(patch.At(c, 0, k), Patch::Value(c, 2, 0, float(k)));
      EXPECT_EQ(patch.At(c, k, 0), Patch::Value(c, 2, float(k), 0));
      EXPECT_EQ(patch.At(c, k, 4), Patch::Value(c, 2, float(k), 4));
    }
  EXPECT_EQ(StitchPatchColN(list_, 3, patch.list), 1u);
  EXPECT_EQ(patch.At(2, 4, 3), Patch::Value(2, 1, 0, 3));
}

}  // namespace
}  // namespace veskor::test
