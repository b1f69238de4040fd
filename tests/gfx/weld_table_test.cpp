#include "gfx/weld_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "gfx/geometry_batch_buffer.h"

namespace veskor {
namespace {

WeldKey Key(float x, float y = 0, float z = 0, float ks = 0, float kt = 0) {
  return {x, y, z, ks, kt, nullptr};
}

WeldKey Owned(float x, const ItemDrawRecord* owner) { return {x, 0, 0, 0, 0, owner}; }

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
  const WeldKey a = Key(100, 200, 300, 0.5f, 0.25f);
  const struct {
    WeldKey b;
    std::uint32_t differs;
  } cases[] = {
      {Key(100, 200, 300, 0.5009f, 0.25f), 0},  {Key(100, 200, 300, 0.5011f, 0.25f), 1},
      {Key(100, 200, 300, 0.5f, 0.2491f), 0},   {Key(100, 200, 300, 0.5f, 0.2489f), 1},
      {Key(132, 168, 332, 0.5f, 0.25f), 0},     {Key(132.01f, 200, 300, 0.5f, 0.25f), 1},
      {Key(100, 232.01f, 300, 0.5f, 0.25f), 1}, {Key(100, 200, 267.9f, 0.5f, 0.25f), 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WeldKeyDiffers(a, c.b), c.differs) << c.b.x << " " << c.b.ks << " " << c.b.kt;
    EXPECT_EQ(WeldKeyDiffers(c.b, a), c.differs);
  }
  // |(z + y + x) * 0.1 + (kt + ks) * 64| truncated, modulo 1024; out of range: bucket 0.
  const std::uint32_t hashes[] = {
      WeldKeyHash(a),           WeldKeyHash(Key(10230)), WeldKeyHash(Key(0, 10240)),
      WeldKeyHash(Key(-10000)), WeldKeyHash(Key(NAN)),   WeldKeyHash(Key(1e30f))};
  EXPECT_EQ(std::vector<std::uint32_t>(hashes, hashes + 6),
            (std::vector<std::uint32_t>{108, 1023, 0, 1000, 0, 0}));
}

TEST_F(WeldTableTest, FindSearchesTheBucketAndBothNeighboursWrapping) {
  // x = 10 k hashes to bucket k, 10240 to bucket 0.
  for (const auto& [stored, sought] :
       {std::pair{10230.0f, 10240.0f}, {10240.0f, 10230.0f}, {50.0f, 60.0f}, {50.0f, 40.0f}}) {
    WeldTableReset(table);
    WeldEntry* e = Insert(Key(stored));
    EXPECT_EQ(Find(Key(sought)), e) << stored << " " << sought;
    EXPECT_EQ(Find(Key(2 * sought - stored)), nullptr);  // two buckets away
  }
  // Matches in both neighbours: the bucket before wins, whichever came first; the key's own
  // bucket wins over both. Bucket 0's neighbour before is 1023.
  for (const auto& [before, own, after] :
       {std::array{40.0f, 50.0f, 60.0f}, {10230.0f, 10240.0f, 10250.0f}}) {
    for (const bool beforeFirst : {true, false}) {
      WeldTableReset(table);
      WeldEntry* a = beforeFirst ? Insert(Key(before)) : nullptr;
      Insert(Key(after));
      if (!beforeFirst) a = Insert(Key(before));
      EXPECT_EQ(Find(Key(own)), a) << own << " " << beforeFirst;
      WeldEntry* o = Insert(Key(own));
      EXPECT_EQ(Find(Key(own)), o) << own;
    }
  }
  WeldTableReset(table);
  WeldEntry* first = Insert(Key(5));
  WeldEntry* second = Insert(Key(6));
  EXPECT_EQ(Find(Key(5)), second);  // the later of two matches
  WeldTableReset(table);
  EXPECT_EQ(Find(Key(5)), nullptr);
  EXPECT_EQ(Insert(Key(5)), first);  // the entry block starts again
}

TEST_F(WeldTableTest, AnOwnedKeySeesOnlyItsOwnersEntries) {
  const ItemDrawRecord a{}, b{}, c{};
  WeldEntry* mine = Insert(Owned(50, &a));  // bucket 5
  Insert(Owned(60, &b));                    // bucket 6, twice
  WeldEntry* theirs = Insert(Owned(61, &b));
  // Past both of b's entries in its own bucket to a's in the one before.
  EXPECT_EQ(Find(Owned(61, &a)), mine);
  EXPECT_EQ(Find(Owned(61, &b)), theirs);
  EXPECT_EQ(Find(Owned(61, &c)), nullptr);
  EXPECT_EQ(Find(Key(61)), theirs);  // without an owner: the first match, whoever made it
  WeldEntry* open = Insert(Key(62));
  EXPECT_EQ(Find(Owned(61, &a)), mine);
  EXPECT_EQ(Find(Key(61)), open);
}

TEST_F(WeldTableTest, ALargeWorldGrowsTheTableWithoutMovingEntries) {
  WeldTolerance = 1.0f;  // keys 33 apart never match
  const std::uint32_t n = 4 * kWeldEntryCapacity;
  std::vector<WeldEntry*> entries;
  for (std::uint32_t k = 0; k < n; ++k) entries.push_back(Insert(Key(float(k) * 33)));
  EXPECT_EQ(table.overflowInUse, 2u);
  for (std::uint32_t k = 0; k < n; k += 4099) EXPECT_EQ(Find(Key(float(k) * 33)), entries[k]);
  EXPECT_EQ(entries[n - 1]->key.x, float(n - 1) * 33);
  WeldTableReset(table);
  EXPECT_EQ(Insert(Key(1)), entries[0]);
  EXPECT_EQ(table.overflowInUse, 0u);
}

}  // namespace
}  // namespace veskor
