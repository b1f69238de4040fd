#include "meshlib/vertex_program_table.h"

#include <gtest/gtest.h>

#include <string>

#include "gfx/gl_entry_points.h"
#include "meshlib/text_scramble.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

using test::ReadFileText;
using test::TempDir;

TEST(TextScramble, ShiftsEachCharacterAndBackModulo128) {
  TempDir dir;
  const std::string text =
      std::string("!!ARBvp1.0\r\nMOV result.position, vertex.position;\nEND\x03") + '\x7f';
  const std::string plain = dir.Write("program.txt", text);
  const std::string scrambled = dir.Path("program.bin");
  const struct {
    std::uint32_t shift;
    char first, wrapped;  // what '!' and '\x03' become
  } cases[] = {{0, '!', '\x03'}, {5, 28, 126}, {33, 0, 98}, {127, 34, 4}};
  for (const auto& c : cases) {
    ASSERT_EQ(ScrambleTextFile(plain.c_str(), c.shift, scrambled.c_str()), 1u);
    const std::string bytes = ReadFileText(scrambled);
    ASSERT_EQ(bytes.size(), text.size() - 1);  // "\r\n" read as "\n"
    EXPECT_EQ(bytes[0], c.first);
    EXPECT_EQ(bytes[bytes.size() - 2], c.wrapped);
    // The text comes back with a zero behind it, in a buffer just large enough.
    std::string back(bytes.size() + 1, '#');
    ASSERT_EQ(
        UnscrambleTextFile(scrambled.c_str(), c.shift, back.data(), std::uint32_t(back.size())),
        1u);
    EXPECT_EQ(back,
              std::string("!!ARBvp1.0\nMOV result.position, vertex.position;\nEND\x03\x7f") + '\0');
    // One byte less: refused, the buffer left empty.
    EXPECT_EQ(
        UnscrambleTextFile(scrambled.c_str(), c.shift, back.data(), std::uint32_t(bytes.size())),
        0u);
    EXPECT_EQ(back[0], '\0');
  }
  char buffer[4] = "abc";
  EXPECT_EQ(UnscrambleTextFile(dir.Path("missing").c_str(), 1, buffer, 4), 0u);
  EXPECT_EQ(UnscrambleTextFile(scrambled.c_str(), 1, buffer, 0), 0u);
  EXPECT_EQ(ScrambleTextFile(dir.Path("missing").c_str(), 1, scrambled.c_str()), 0u);
  EXPECT_EQ(ScrambleTextFile(plain.c_str(), 1, dir.path().c_str()), 0u);  // a directory
  const std::string empty = dir.Write("empty.txt", "");
  ASSERT_EQ(ScrambleTextFile(empty.c_str(), 9, scrambled.c_str()), 1u);
  EXPECT_EQ(UnscrambleTextFile(scrambled.c_str(), 9, buffer, 1), 1u);
  EXPECT_EQ(buffer[0], '\0');
}

int deletions = 0;
void APIENTRY CountDeletions(GLsizei, const GLuint*) { ++deletions; }

TEST(VertexProgramTable, ShutdownWithoutProgramsOnlyReleasesTheUserBlock) {
  VertexProgramTableInit();
  VertexProgramUser user{{3, 4}, 0};
  VmArrayReserve(VertexProgramTable.userBlock, 64);
  auto** users = static_cast<VertexProgramUser**>(
      VmArrayAppend(VertexProgramTable.userBlock, 1, sizeof(VertexProgramUser*)));
  users[0] = &user;
  VertexProgramTable.users = users;
  VertexProgramTable.userCount = 1;
  glDeleteProgramsARB = CountDeletions;
  VertexProgramTableShutdown();
  EXPECT_EQ(deletions, 0);
  EXPECT_TRUE(user.programBinding[0] == 3 && user.mustBind == 0);
  EXPECT_TRUE(VertexProgramTable.userBlock.elements == nullptr &&
              VertexProgramTable.userBlock.block.base == nullptr);
  glDeleteProgramsARB = nullptr;
}

}  // namespace
}  // namespace veskor
