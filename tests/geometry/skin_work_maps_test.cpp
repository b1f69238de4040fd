#include "geometry/skin_work_maps.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

#include "foundation/session_log.h"
#include "support/kernel_tables.h"

namespace veskor::test {
namespace {

class SkinWorkMaps : public ::testing::Test {
 protected:
  void SetUp() override { SessionLogSetStream(&log_); }
  void TearDown() override {
    SessionLogClose();
    for (SkinWork& w : work_) SkinWorkRelease(w);
  }
  // Grid g of a set sized (w, h) holds 100 g + 10 y + x.
  void FillSet(std::uint32_t set, std::uint32_t w, std::uint32_t h) {
    for (std::uint32_t g = 0; g < kSkinGridsPerSet; ++g) {
      VertexGrid& grid = slot_->gridSets[set].grids[g];
      VertexGridAlloc(grid, std::uint16_t(w), std::uint16_t(h));
      for (std::uint32_t y = 0; y <= (1u << h); ++y)
        for (std::uint32_t x = 0; x <= (1u << w); ++x)
          *VertexGridCell(grid, x, y) = float(100 * g + 10 * y + x);
    }
  }
  ScopedKernelTable kernels_;
  std::ostringstream log_;
  std::unique_ptr<SkinSlot> slot_ = std::make_unique<SkinSlot>();
  SkinWork work_[2] = {};
};

TEST_F(SkinWorkMaps, MapsKeepTheirBlockOnlyWhileTheirSizeStays) {
  Map& map = work_[0].maps[2][4];
  SkinMapAlloc(map, 2, 1);
  ASSERT_NE(map.data, nullptr);
  EXPECT_EQ(SkinMapValues(2, 1), 35u);
  map.data[34] = 5.0f;  // the last value of (4 + 3) x (2 + 3)
  float* const data = map.data;
  SkinMapAlloc(map, 2, 1);
  EXPECT_EQ(map.data, data);
  EXPECT_EQ(map.data[34], 5.0f);
  SkinMapAlloc(map, 1, 2);
  EXPECT_EQ(map.log2Width, 1);
  EXPECT_EQ(map.log2Height, 2);
  map.data[34] = 1.0f;
}

// The second set is loaded by its own grid 0 when the first is empty; the maps are the grids
// with a border, grids 6 to 8 going to maps 3 to 5.
TEST_F(SkinWorkMaps, EachGridSetLoadsItsOwnMapSet) {
  slot_->lodReduceW = 2;
  slot_->lodReduceH = 3;
  FillSet(1, 1, 2);
  SkinWork& w = work_[0];
  SkinWorkLoad(w, *slot_, 1, 0);
  EXPECT_EQ(w.levelOffsetW, 2);
  EXPECT_EQ(w.levelOffsetH, 3);
  for (std::uint32_t j = 0; j < kSkinWorkMapsPerSet; ++j) {
    EXPECT_EQ(w.maps[0][j].data, nullptr);
    EXPECT_EQ(w.maps[2][j].data, nullptr);
    const Map& m = w.maps[1][j];
    ASSERT_NE(m.data, nullptr);
    EXPECT_EQ(m.log2Width, 1);
    EXPECT_EQ(m.log2Height, 2);
    const float g = float(100 * (j < 3 ? j : j + 3));
    EXPECT_EQ(m.data[1 * 5 + 1], g);       // vertex (0, 0)
    EXPECT_EQ(m.data[5 * 5 + 3], g + 42);  // vertex (2, 4), the last
    EXPECT_EQ(m.data[0], g);               // a clamped corner
    EXPECT_EQ(m.data[2 * 5 + 0], g + 10);  // the second set never wraps
  }
  float* const block = w.maps[1][5].data;
  SkinWorkLoad(w, *slot_, 1, 0);
  EXPECT_EQ(w.maps[1][5].data, block);  // same sizes: the same blocks
  ReleaseSkinMapSet(w);
  for (const auto& set : w.maps)
    for (const Map& m : set) EXPECT_EQ(m.data, nullptr);
  EXPECT_EQ(w.maps[1][0].log2Height, 2);
}

// The first set wraps across with flag a: its border columns continue the ring.
TEST_F(SkinWorkMaps, AClosedItemsFirstSetWrapsAcross) {
  FillSet(0, 2, 1);
  for (const std::uint32_t a : {0u, 1u}) {
    SkinWorkLoad(work_[0], *slot_, a, 0);
    const Map& m = work_[0].maps[0][1];
    const float g1 = 100;
    EXPECT_EQ(m.data[1 * 7 + 0], g1 + (a ? 3 : 0)) << a;  // left border, row 0
    EXPECT_EQ(m.data[1 * 7 + 6], g1 + (a ? 1 : 4)) << a;  // right border
    EXPECT_EQ(m.data[0 * 7 + 1], g1) << a;                // rows never wrap here
  }
}

struct NetOf {
  Map& m;
  float& operator()(std::uint32_t row, std::uint32_t col) const {
    return m.data[row * ((1u << m.log2Width) + 3) + col];
  }
};

void FillMaps(SkinWork& w, std::uint32_t lw, std::uint32_t lh, float base) {
  SkinMapSetAlloc(w.maps[0], lw, lh);
  for (std::uint32_t j = 0; j < kSkinWorkMapsPerSet; ++j)
    for (std::uint32_t k = 0; k < SkinMapValues(lw, lh); ++k)
      w.maps[0][j].data[k] = base + float(j * 1000 + k * k % 97);
}

// Two equal maps joined along each side code: the shared line is one line in both, each border
// continues into the other map, or, at a corner, each border corner takes the vertex one step
// inside the other map.
TEST_F(SkinWorkMaps, ConnectedMapsShareTheirSeamForEachSideCode) {
  const SkinTile whole{0, 0, 0, 0};
  for (std::uint32_t code = 0; code < 4; ++code) {
    FillMaps(work_[0], 2, 2, 0);
    FillMaps(work_[1], 2, 2, 500);
    SkinsConnect(work_[0], code, work_[1], whole, whole);
    for (std::uint32_t j = 0; j < kSkinWorkMapsPerSet; ++j) {
      const NetOf a{work_[0].maps[0][j]}, b{work_[1].maps[0][j]};
      for (std::uint32_t r = 1; r <= 5 && code < 2; ++r) {
        // code 0: B's last column meets A's first; code 1: B's last row meets A's first.
        const auto A = [&](std::uint32_t k) -> float& { return code == 0 ? a(r, k) : a(k, r); };
        const auto B = [&](std::uint32_t k) -> float& { return code == 0 ? b(r, k) : b(k, r); };
        EXPECT_EQ(A(1), B(5)) << code << " " << j << " " << r;
        EXPECT_EQ(A(0), B(4)) << code << " " << r;
        EXPECT_EQ(B(6), A(2)) << code << " " << r;
      }
      if (code == 2) {
        EXPECT_EQ(a(0, 0), b(4, 4));
        EXPECT_EQ(b(6, 6), a(2, 2));
      } else if (code == 3) {
        EXPECT_EQ(a(0, 6), b(4, 2));
        EXPECT_EQ(b(6, 0), a(2, 4));
      }
    }
  }
}

// A's quarter tile (1, 1), two cells a side, against all of B, four cells: B's shared column
// follows A's, meeting it at every other row, and A's stays as it was.
TEST_F(SkinWorkMaps, ATileOfACoarserMapLeadsTheSeam) {
  FillMaps(work_[0], 2, 2, 0);
  FillMaps(work_[1], 2, 2, 500);
  const NetOf a{work_[0].maps[0][3]}, b{work_[1].maps[0][3]};
  const float a1[3] = {a(3, 3), a(4, 3), a(5, 3)};
  SkinsConnect(work_[0], 0, work_[1], SkinTile{1, 1, 1, 1}, SkinTile{0, 0, 0, 0});
  for (std::uint32_t r = 0; r < 3; ++r) {
    EXPECT_EQ(a(3 + r, 3), a1[r]);
    EXPECT_FLOAT_EQ(b(1 + 2 * r, 5), a1[r]) << r;
  }
  EXPECT_FLOAT_EQ(b(2, 5), 0.5f * (a1[0] + a1[1]));
}

TEST_F(SkinWorkMaps, UnknownCodesEmptyMapsAndStrayTilesLeaveBothMapsAlone) {
  FillMaps(work_[0], 2, 1, 0);
  FillMaps(work_[1], 1, 1, 500);
  const auto snapshot = [&] {
    std::vector<float> v;
    for (SkinWork& w : work_)
      for (const Map& m : w.maps[0])
        v.insert(v.end(), m.data, m.data + SkinMapValues(m.log2Width, m.log2Height));
    return v;
  };
  const std::vector<float> before = snapshot();
  const SkinTile whole{0, 0, 0, 0};
  SkinsConnect(work_[0], 4, work_[1], whole, whole);
  SkinsConnect(work_[0], 0xFFFFFFFFu, work_[1], whole, whole);
  SkinsConnect(work_[0], 0, work_[1], SkinTile{1, 1, 2, 0}, whole);  // column 2 of 2 tiles
  SkinsConnect(work_[0], 1, work_[1], SkinTile{0, 2, 0, 0}, whole);  // 4 tiles in 2 rows
  EXPECT_EQ(snapshot(), before);
  EXPECT_NE(log_.str().find("Skins connect : map 0 empty or its tile outside it"),
            std::string::npos);
  SkinsConnect(work_[0], 0, work_[1], SkinTile{1, 1, 1, 1}, whole);  // just inside: joined
  EXPECT_NE(snapshot(), before);
}

}  // namespace
}  // namespace veskor::test
