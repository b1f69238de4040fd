// The top-level blocks of a world file: the keyword that opens each, in the order the
// directive loop tests them, and the parser it hands the block to. Every block parser is
// called with its keyword current and returns 1, or 0 with the error text composed.
#pragma once

#include <cstdint>

#include "language/parse_store.h"
#include "language/scene_parser.h"

namespace veskor {

using SceneBlockParser = int (*)(SceneParser& parser, ParseStore& store);

struct SceneBlock {
  const char* keyword;
  SceneBlockParser parse;
};

inline constexpr std::uint32_t kSceneBlockCount = 13;
extern const SceneBlock kSceneBlocks[kSceneBlockCount];

// The fx definition frame and the composition top level.
int ParseSurfaceDefinition(SceneParser& parser, ParseStore& store);
int ParseCompositionBlock(SceneParser& parser, ParseStore& store);
int ParseModel(SceneParser& parser, ParseStore& store);
int ParseHeightField(SceneParser& parser, ParseStore& store);
int ParseEnvironment(SceneParser& parser, ParseStore& store);
int ParseCamera(SceneParser& parser, ParseStore& store);
int ParseExamine(SceneParser& parser, ParseStore& store);
int ParsePlanet(SceneParser& parser, ParseStore& store);
int ParseSound(SceneParser& parser, ParseStore& store);
int ParseInfo(SceneParser& parser, ParseStore& store);
int ParseLOD(SceneParser& parser, ParseStore& store);
int ParseFocus(SceneParser& parser, ParseStore& store);
int ParseObject(SceneParser& parser, ParseStore& store);

}  // namespace veskor
