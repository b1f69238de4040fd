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

int ParseEnvironment(SceneParser& parser, ParseStore&) {
  return BlockSyntaxError(parser, "Environment syntax error");
}
int ParseCamera(SceneParser& parser, ParseStore&) {
  return BlockSyntaxError(parser, "Camera syntax error");
}
int ParseExamine(SceneParser& parser, ParseStore&) {
  return BlockSyntaxError(parser, "Examine syntax error");
}
int ParsePlanet(SceneParser& parser, ParseStore&) {
  return BlockSyntaxError(parser, "Planet syntax error");
}
int ParseSound(SceneParser& parser, ParseStore&) {
  return BlockSyntaxError(parser, "Sound syntax error");
}
int ParseInfo(SceneParser& parser, ParseStore&) {
  return BlockSyntaxError(parser, "Info syntax error");
}
int ParseLOD(SceneParser& parser, ParseStore&) {
  return BlockSyntaxError(parser, "LOD syntax error");
}
int ParseFocus(SceneParser& parser, ParseStore&) {
  return BlockSyntaxError(parser, "Focus syntax error");
}

}  // namespace veskor
