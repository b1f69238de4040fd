// The mesh library's table of ARB vertex programs: up to 128 program names and the records
// bound to them. Built among the static constructors, torn down at normal exit; the teardown
// deletes the programs (when any were made) and tells each bound record to bind again.
#pragma once

#include <cstdint>

#include "foundation/vm_array.h"

namespace veskor {

inline constexpr std::uint32_t kVertexProgramCount = 128;

// What the table knows of a record that uses its programs.
struct VertexProgramUser {
  std::int32_t programBinding[2];  // -1: no program
  std::uint32_t mustBind;          // 1: bind a program again before the next use
};

struct VertexProgramSet {
  std::uint32_t programsCreated;  // 0 until the programs were generated
  std::uint32_t programs[kVertexProgramCount];
  std::uint32_t userCount;
  VmArray userBlock;  // owns the room of `users`
  VertexProgramUser** users;
};

extern VertexProgramSet VertexProgramTable;

// Everything 0.
void VertexProgramTableInit();
// With programs made: every bound record loses its bindings (-1) and must bind again, the 128
// programs are deleted, the users forgotten. In every case the user block is released.
void VertexProgramTableShutdown();

}  // namespace veskor
