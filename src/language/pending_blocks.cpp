// Stand-ins for the block parsers still to be written.
// Each answers with its block's syntax error, the text a block parser composes first.
#include "language/lexer.h"
#include "language/scene_blocks.h"

namespace veskor {
namespace {

int BlockSyntaxError(SceneParser& parser, const char* message) {
  SetParseError(parser, message);
  return 0;
}

}  // namespace

int ParseCompositionBlock(SceneParser& parser, ParseStore&) {
  return BlockSyntaxError(parser, "Composition syntax error");
}
int ParseModel(SceneParser& parser, ParseStore&) {
  return BlockSyntaxError(parser, "Model syntax error");
}
int ParseHeightField(SceneParser& parser, ParseStore&) {
  return BlockSyntaxError(parser, "HeightField syntax error");
}
int ParseObject(SceneParser& parser, ParseStore&) {
  return BlockSyntaxError(parser, "Object syntax error");
}

}  // namespace veskor
