#include "language/world_compile.h"

#include <cstring>

#include "environment/environment_params.h"
#include "language/directive_loop.h"
#include "language/fx_compile.h"
#include "language/fx_registry.h"
#include "language/fx_registry_listing.h"
#include "language/parse_store.h"
#include "language/world.h"

namespace veskor {
namespace {

// The innermost open file's place and message, joined.
void LocatedMessage(const SceneParser& parser, char (&out)[kWorldCompileFailureBytes]) {
  const SceneFile& file = parser.files[parser.depth > 0 ? parser.depth - 1 : 0];
  const std::size_t head = strnlen(file.messageHead, kSceneMessageBytes);
  const std::size_t text = strnlen(file.errorText, kSceneMessageBytes);
  std::memcpy(out, file.messageHead, head);
  std::memcpy(out + head, file.errorText, text);
  out[head + text] = '\0';
}

}  // namespace

std::uint32_t CompileOpenedWorld(SceneParser& parser, const WorldCompileSteps& steps,
                                 char (&failure)[kWorldCompileFailureBytes]) {
  failure[0] = '\0';
  ParseStoreReset(gParseStore);
  ParseStoreSetParam(gParseStore, 9);
  ParseStoreSetGroupCount(gParseStore, 1);
  RegisterBuiltinFunctions();
  ListNodeTable(gFxRegistry);
  EnvironmentDefaults(gWorld.environment);
  if (steps.afterReset != nullptr) steps.afterReset();

  if (ParseSceneDirectives(parser, gParseStore) == 0) {
    LocatedMessage(parser, failure);
    return 0;
  }
  steps.showStatus("> end 'parse' session", 0);
  steps.showStatus("> begin 'compile' session", 0);
  if (steps.beforeCompile != nullptr) steps.beforeCompile();
  // The compile step fails only when its lists are full; the world is then incomplete.
  if (CompileParseStore(gParseStore, gFxRegistry) == 0) {
    std::strcpy(failure, kParseStoreFullMessage);
    return 0;
  }
  steps.showStatus("> end 'compile' session", 0);
  return 1;
}

}  // namespace veskor
