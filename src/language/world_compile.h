// The language layer's part of opening a world, once its root file is open: the parse store
// emptied, the built-in functions and models registered (with the fx table's listing in the
// session log), the environment parameters set to their defaults and bound to the World, then
// the directive loop over the root file and its includes and the compile step. The shell's
// compile session runs it between its own steps (the hooks), and so does every other driver of
// a compile, so that all of them take the same steps in the same order.
#pragma once

#include <cstdint>

#include "language/scene_parser.h"

namespace veskor {

struct WorldCompileSteps {
  SceneLogCallback showStatus;  // the session's lines, mode 0
  void (*afterReset)();         // when set: after the reset, before the parse
  void (*beforeCompile)();      // when set: after the parse's end line, before the compile step
};

inline constexpr std::uint32_t kWorldCompileFailureBytes = 2 * kSceneMessageBytes + 1;

// 1 when the world was parsed and compiled, after the lines "> end 'parse' session", "> begin
// 'compile' session" and "> end 'compile' session". 0 with the failure's text in `failure`:
// the innermost open file's place and message after a parse error, kParseStoreFullMessage when
// the compile step's lists are full. The files stay open either way; the caller closes them.
std::uint32_t CompileOpenedWorld(SceneParser& parser, const WorldCompileSteps& steps,
                                 char (&failure)[kWorldCompileFailureBytes]);

}  // namespace veskor
