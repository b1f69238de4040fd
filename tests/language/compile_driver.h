// Runs a world through the compile session's steps without the shell's screens: the fx
// dictionaries and the parser's bookkeeping reset, the root file opened from a command-line
// path, its directory added to the search directories, then the language layer's own steps,
// which the shell's session runs too (CompileOpenedWorld: the reset, the parse and the compile
// step), and the stack closed. Used by the tests and the world-file fuzzer.
#pragma once

#include <string>
#include <vector>

namespace veskor::test {

struct CompileOutcome {
  int result;                    // 1 when the world was parsed
  std::string status;            // the header's status text: the failure shown
  std::vector<std::string> log;  // the session's log lines, "parse file" lines included
};

// `worldPath` as the command line gives it: optionally in double quotes, directories
// separated by '/' or '\'.
CompileOutcome RunCompileSession(const std::string& worldPath);

}  // namespace veskor::test
