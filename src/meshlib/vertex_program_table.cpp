#include "meshlib/vertex_program_table.h"

#include <cstdlib>

#include "gfx/gl_entry_points.h"

namespace veskor {

VertexProgramSet VertexProgramTable;

namespace {

struct VertexProgramTableStartup {
  VertexProgramTableStartup() {
    VertexProgramTableInit();
    std::atexit(VertexProgramTableShutdown);
  }
} gVertexProgramTableStartup;

}  // namespace

void VertexProgramTableInit() { VertexProgramTable = VertexProgramSet{}; }

void VertexProgramTableShutdown() {
  VertexProgramSet& t = VertexProgramTable;
  if (t.programsCreated != 0) {
    for (std::uint32_t i = 0; i < t.userCount; ++i) {
      if (t.users[i] == nullptr) continue;
      t.users[i]->programBinding[0] = t.users[i]->programBinding[1] = -1;
      t.users[i]->mustBind = 1;
      t.users[i] = nullptr;
    }
    if (glDeleteProgramsARB != nullptr) glDeleteProgramsARB(kVertexProgramCount, t.programs);
    t.userCount = 0;
    t.programsCreated = 0;
  }
  VmArrayRelease(t.userBlock);
  t.users = nullptr;
}

}  // namespace veskor
