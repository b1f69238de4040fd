#include "language/name_table.h"

#include <gtest/gtest.h>

#include <string>

namespace veskor {
namespace {

TEST(NameTable, FindsTheFirstEntryOfANameAndRefusesPastItsLimits) {
  NameTable table{};
  NameTableInit(table, 4, 256);
  std::uint32_t position = 99;
  const std::uint32_t values[] = {10, 11, 12, 13};
  EXPECT_FALSE(NameTableFind(table, "", position));
  EXPECT_EQ(position, 0u);
  ASSERT_TRUE(NameTableInsert(table, "a", &values[0]));
  ASSERT_TRUE(NameTableInsert(table, "", &values[1]));  // an empty name is a key like any other
  ASSERT_TRUE(NameTableInsert(table, "a", &values[2]));
  ASSERT_TRUE(NameTableInsert(table, "B", &values[3]));
  const std::uint32_t entryBytes = 4 * sizeof(NameEntry);
  EXPECT_EQ(table.byteCount, entryBytes + 2 + 1 + 2 + 2);
  const struct {
    const char* name;
    bool found;
    std::uint32_t position;
  } finds[] = {{"a", true, 0}, {"", true, 1}, {"B", true, 3}, {"b", false, 4}, {"a ", false, 4}};
  for (const auto& f : finds) {
    EXPECT_EQ(NameTableFind(table, f.name, position), f.found) << f.name;
    EXPECT_EQ(position, f.position) << f.name;
  }
  EXPECT_EQ(table.entries[2].value, 12u);
  EXPECT_FALSE(NameTableInsert(table, "e", &values[0]));  // every slot taken
  EXPECT_EQ(table.count, 4u);

  NameTableClear(table);
  EXPECT_FALSE(NameTableFind(table, "a", position));
  EXPECT_EQ(position, 0u);
  EXPECT_EQ(table.byteCount, entryBytes);
  // The names fill the rest of the 256-byte block exactly; one byte more is refused.
  const std::string fits(256 - entryBytes - 1, 'n');
  ASSERT_TRUE(NameTableInsert(table, fits.c_str(), &values[1]));
  EXPECT_FALSE(NameTableInsert(table, "", &values[2]));
  EXPECT_EQ(table.count, 1u);
  EXPECT_TRUE(NameTableFind(table, fits.c_str(), position));
  EXPECT_EQ(table.entries[0].value, 11u);
  NameTableRelease(table);
  EXPECT_EQ(table.block.base, nullptr);
  EXPECT_FALSE(NameTableInsert(table, "a", &values[0]));
}

}  // namespace
}  // namespace veskor
