#include <gtest/gtest.h>

#include <vector>

#include "foundation/block_pool.h"
#include "foundation/static_pool.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::ScopedHeapAreas;

struct Track {
  BlockPoolNode links;
  float value;
};

class BlockPoolTest : public testing::Test {
 protected:
  void SetUp() override {
    BlockPoolInitFor<Track>(pool_);
    MemBlockReserve(pool_.block, 16384);
  }
  // The list from first to last, checking the links back and the last pointer on the way.
  std::vector<BlockPoolNode*> InUse() const {
    std::vector<BlockPoolNode*> v;
    for (BlockPoolNode* n = pool_.first; n != nullptr; n = n->next) {
      EXPECT_EQ(n->previous, v.empty() ? nullptr : v.back());
      v.push_back(n);
    }
    EXPECT_EQ(pool_.last, v.empty() ? nullptr : v.back());
    return v;
  }
  ScopedHeapAreas scoped_;
  BlockPool pool_{};
};

TEST_F(BlockPoolTest, TakesLinkLastAndGiveBackUnlinksAnywhere) {
  BlockPoolNode* a = BlockPoolTake(pool_);
  BlockPoolNode* b = BlockPoolTake(pool_);
  BlockPoolNode* c = BlockPoolTake(pool_);
  BlockPoolNode* d = BlockPoolTake(pool_);
  EXPECT_EQ(InUse(), (std::vector<BlockPoolNode*>{a, b, c, d}));
  EXPECT_EQ(reinterpret_cast<std::uint8_t*>(b) - reinterpret_cast<std::uint8_t*>(a),
            static_cast<std::ptrdiff_t>(sizeof(Track)));
  BlockPoolGiveBack(pool_, c);  // middle
  EXPECT_EQ(InUse(), (std::vector<BlockPoolNode*>{a, b, d}));
  EXPECT_EQ(d->previous, b);
  BlockPoolGiveBack(pool_, a);  // first
  EXPECT_EQ(InUse(), (std::vector<BlockPoolNode*>{b, d}));
  EXPECT_EQ(b->previous, nullptr);
  BlockPoolGiveBack(pool_, d);  // last
  EXPECT_TRUE(InUse() == std::vector<BlockPoolNode*>{b} && pool_.last == b && pool_.count == 1);
  BlockPoolGiveBack(pool_, b);  // the only one
  EXPECT_TRUE(pool_.first == nullptr && pool_.last == nullptr && pool_.count == 0);
  // Given-back elements are taken again, last given first, before new ones are carved.
  for (BlockPoolNode* n : {b, d, a, c}) EXPECT_EQ(BlockPoolTake(pool_), n);
  EXPECT_EQ(reinterpret_cast<Track*>(BlockPoolTake(pool_)), reinterpret_cast<Track*>(a) + 4);
  EXPECT_EQ(pool_.count, 5u);
}

TEST_F(BlockPoolTest, MoveAfterRelinksAnElementInUse) {
  BlockPoolNode* a = BlockPoolTake(pool_);
  BlockPoolNode* b = BlockPoolTake(pool_);
  BlockPoolNode* c = BlockPoolTake(pool_);
  BlockPoolMoveAfter(pool_, c, nullptr);  // last to the front
  EXPECT_EQ(InUse(), (std::vector<BlockPoolNode*>{c, a, b}));
  BlockPoolMoveAfter(pool_, c, b);  // first to the end
  EXPECT_EQ(InUse(), (std::vector<BlockPoolNode*>{a, b, c}));
  BlockPoolMoveAfter(pool_, a, b);  // first into the middle
  EXPECT_EQ(InUse(), (std::vector<BlockPoolNode*>{b, a, c}));
  BlockPoolMoveAfter(pool_, a, nullptr);  // middle to the front
  EXPECT_EQ(InUse(), (std::vector<BlockPoolNode*>{a, b, c}));
  BlockPoolMoveAfter(pool_, a, a->next);  // one step on, after its neighbour
  EXPECT_EQ(InUse(), (std::vector<BlockPoolNode*>{b, a, c}));
  EXPECT_EQ(pool_.count, 3u);
}

TEST_F(BlockPoolTest, ReleaseLeavesThePoolEmptyAndReusable) {
  BlockPoolNode* a = BlockPoolTake(pool_);
  BlockPoolTake(pool_);
  BlockPoolGiveBack(pool_, a);
  BlockPoolRelease(pool_);
  EXPECT_TRUE(!pool_.block.base && !pool_.freeList && !pool_.first && !pool_.last && !pool_.count);
  // Taken again after a new reserve, without stale links into the old block.
  MemBlockReserve(pool_.block, 16384);
  BlockPoolNode* n = BlockPoolTake(pool_);
  EXPECT_TRUE(n == reinterpret_cast<BlockPoolNode*>(pool_.block.base) && !n->previous);
  EXPECT_EQ(pool_.count, 1u);
}

TEST(BlockPoolDeath, TakingPastTheBlockIsFatal) {
  EXPECT_FATAL(
      {
        BlockPool pool{};
        BlockPoolInit(pool, 24);
        MemBlockReserve(pool.block, 64);
        for (int i = 0; i < 3; ++i) BlockPoolTake(pool);
      },
      "Virtual Memory Error : Required Memory > Reserved Memory (48+24>(1<<6))");
}

TEST(StaticPool, TakesCarveInOrderAndReleaseGivesTheBlockBack) {
  ScopedHeapAreas scoped;
  StaticPool pool;
  StaticPoolInit(pool, 4);
  MemBlockReserve(pool.block, 4096);
  auto* a = static_cast<std::uint8_t*>(StaticPoolTake(pool));
  EXPECT_TRUE(a == pool.block.base && StaticPoolTake(pool) == a + 4);
  StaticPoolRelease(pool);
  EXPECT_TRUE(!pool.block.base && scoped.heap().sizeClassLists[12].head->base == a);
}

TEST(StaticPoolDeath, ElementsUnderFourBytesAreFatal) {
  StaticPool pool;
  EXPECT_FATAL(StaticPoolInit(pool, 3), "Virtual Memory Error : Static Size < 4 bytes");
  EXPECT_FATAL(
      {
        StaticPoolInit(pool, 32);
        MemBlockReserve(pool.block, 64);
        for (int i = 0; i < 3; ++i) StaticPoolTake(pool);
      },
      "Virtual Memory Error : Required Memory > Reserved Memory (64+32>(1<<6))");
}

}  // namespace
}  // namespace veskor
