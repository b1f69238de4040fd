#include "meshlib/vertex_program_table.h"

#include <gtest/gtest.h>

#include <cstring>

#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

using test::GlTest;

TEST_F(GlTest, VertexProgramTableShutdownDeletesItsProgramsAndUnbindsItsUsers) {
  LoadWglExtensions();
  LoadGlExtensions();
  if (!HasExtension(kExtVertexProgram)) GTEST_SKIP() << "no GL_ARB_vertex_program";
  VertexProgramTableInit();
  VertexProgramSet& t = VertexProgramTable;
  glGenProgramsARB(kVertexProgramCount, t.programs);
  static const char kProgram[] = "!!ARBvp1.0\nMOV result.position, vertex.position;\nEND\n";
  for (GLuint program : {t.programs[0], t.programs[kVertexProgramCount - 1]}) {
    glBindProgramARB(GL_VERTEX_PROGRAM_ARB, program);
    glProgramStringARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB,
                       GLsizei(std::strlen(kProgram)), kProgram);
  }
  glBindProgramARB(GL_VERTEX_PROGRAM_ARB, 0);
  ASSERT_TRUE(glIsProgramARB(t.programs[kVertexProgramCount - 1]));
  t.programsCreated = 1;
  VertexProgramUser a{{int(t.programs[0]), 0}, 0}, b{{1, 2}, 0};
  VmArrayReserve(t.userBlock, 64);
  auto** users = static_cast<VertexProgramUser**>(VmArrayAppend(t.userBlock, 3, sizeof(void*)));
  users[0] = &a, users[1] = nullptr, users[2] = &b;
  t.users = users;
  t.userCount = 3;

  VertexProgramTableShutdown();
  EXPECT_FALSE(glIsProgramARB(t.programs[0]));
  EXPECT_FALSE(glIsProgramARB(t.programs[kVertexProgramCount - 1]));
  for (const VertexProgramUser* u : {&a, &b})
    EXPECT_TRUE(u->programBinding[0] == -1 && u->programBinding[1] == -1 && u->mustBind == 1);
  EXPECT_TRUE(users[0] == nullptr && users[2] == nullptr);
  EXPECT_TRUE(t.programsCreated == 0 && t.userCount == 0 && t.users == nullptr &&
              t.userBlock.elements == nullptr);
}

}  // namespace
}  // namespace veskor
