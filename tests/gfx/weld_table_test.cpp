#include "gfx/weld_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/fatal_test.h"

namespace veskor {
namespace {

class WeldTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WeldTableInit(table);
    WeldTableSize(table);
    WeldTolerance = 32.0f;
  }
  void TearDown() override { WeldTableRelease(table); }
  WeldEntry* Insert(const WeldKey& key) {
    std::uint32_t bucket;
    WeldEntry* entry;
    WeldTableInsert(table, key, &bucket, &entry);
    EXPECT_EQ(bucket, WeldKeyHash(key));
    return entry;
  }
  WeldEntry* Find(const WeldKey& key) {
    std::uint32_t bucket;
    WeldEntry* entry = reinterpret_cast<WeldEntry*>(1);
    const std::uint32_t found = WeldTableFind(table, key, &bucket, &entry);
    EXPECT_EQ(found, entry != nullptr ? 1u : 0u);
    return entry;
  }
  WeldTable table;
};

TEST_F(WeldTableTest, KeysMatchWithinTheirTolerancesBoundsIncluded) {
  const WeldKey a{100, 200, 300, 0.5f, 0.25f, nullptr};
  struct Case {
    WeldKey b;
    std::uint32_t differs;
  } cases[] = {
      {{100, 200, 300, 0.5009f, 0.25f, nullptr}, 0},
      {{100, 200, 300, 0.5011f, 0.25f, nullptr}, 1},
      {{100, 200, 300, 0.5f, 0.2491f, nullptr}, 0},
      {{100, 200, 300, 0.5f, 0.2489f, nullptr}, 1},
      {{132, 168, 332, 0.5f, 0.25f, nullptr}, 0},
      {{132.01f, 200, 300, 0.5f, 0.25f, nullptr}, 1},
      {{100, 232.01f, 300, 0.5f, 0.25f, nullptr}, 1},
      {{100, 200, 267.9f, 0.5f, 0.25f, nullptr}, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WeldKeyDiffers(a, c.b), c.differs) << c.b.x << " " << c.b.ks << " " << c.b.kt;
    EXPECT_EQ(WeldKeyDiffers(c.b, a), c.differs);
  }
  // The hash: |(z + y + x) * 0.1 + (kt + ks) * 64| truncated, modulo 1024.
  EXPECT_EQ(WeldKeyHash(a), 108u);
  EXPECT_EQ(WeldKeyHash(WeldKey{10230, 0, 0, 0, 0, nullptr}), 1023u);
  EXPECT_EQ(WeldKeyHash(WeldKey{0, 10240, 0, 0, 0, nullptr}), 0u);
  EXPECT_EQ(WeldKeyHash(WeldKey{-10000, 0, 0, 0, 0, nullptr}), 1000u);
  EXPECT_EQ(WeldKeyHash(WeldKey{NAN, 0, 0, 0, 0, nullptr}), 0u);
  EXPECT_EQ(WeldKeyHash(WeldKey{1e30f, 0, 0, 0, 0, nullptr}), 0u);
}

TEST_F(WeldTableTest, FindSearchesTheBucketAndBothNeighboursWrapping) {
  // x = 10 k hashes to bucket k; 10240 to 1024 & 1023 = 0.
  for (const auto& [stored, sought] :
       {std::pair{10230.0f, 10240.0f}, {10240.0f, 10230.0f}, {50.0f, 60.0f}, {50.0f, 40.0f}}) {
    WeldTableReset(table);
    WeldEntry* e = Insert({stored, 0, 0, 0, 0, nullptr});
    EXPECT_EQ(Find({sought, 0, 0, 0, 0, nullptr}), e) << stored << " " << sought;
    EXPECT_EQ(Find({2 * sought - stored, 0, 0, 0, 0, nullptr}), nullptr);  // two buckets away
  }
  WeldTableReset(table);
  WeldEntry* first = Insert({5, 0, 0, 0, 0, nullptr});
  WeldEntry* second = Insert({6, 0, 0, 0, 0, nullptr});
  EXPECT_EQ(Find({5, 0, 0, 0, 0, nullptr}), second);  // the later of two matches
  EXPECT_EQ(table.table.buckets.count, kWeldBucketCount);
  WeldTableReset(table);
  EXPECT_EQ(Find({5, 0, 0, 0, 0, nullptr}), nullptr);
  EXPECT_EQ(Insert({5, 0, 0, 0, 0, nullptr}), first);  // the entry block starts again
}

TEST_F(WeldTableTest, ALargeWorldGrowsTheTableWithoutMovingEntries) {
  // Keys 33 apart never match.
  WeldTolerance = 1.0f;
  const std::uint32_t n = 4 * kWeldEntryCapacity;
  std::vector<WeldEntry*> entries;
  for (std::uint32_t k = 0; k < n; ++k)
    entries.push_back(Insert({float(k) * 33, 0, 0, 0, 0, nullptr}));
  EXPECT_EQ(table.overflowInUse, 2u);
  for (std::uint32_t k = 0; k < n; k += 4099)
    EXPECT_EQ(Find({float(k) * 33, 0, 0, 0, 0, nullptr}), entries[k]);
  EXPECT_EQ(entries[n - 1]->key.x, float(n - 1) * 33);
  WeldTableReset(table);
  EXPECT_EQ(Insert({1, 0, 0, 0, 0, nullptr}), entries[0]);
  EXPECT_EQ(table.overflowInUse, 0u);
}

}  // namespace
}  // namespace veskor
