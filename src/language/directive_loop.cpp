#include "language/directive_loop.h"

#include <cstdio>
#include <cstring>

#include "language/lexer.h"
#include "language/scene_blocks.h"
#include "language/value_readers.h"
#include "language/world.h"

namespace veskor {

const SceneBlock kSceneBlocks[kSceneBlockCount] = {
    {"Surface", ParseSurfaceDefinition},
    {"Model", ParseModel},
    {"HeightField", ParseHeightField},
    {"Composition", ParseCompositionBlock},
    {"Environment", ParseEnvironment},
    {"Camera", ParseCamera},
    {"Examine", ParseExamine},
    {"Planet", ParsePlanet},
    {"Sound", ParseSound},
    {"Info", ParseInfo},
    {"LOD", ParseLOD},
    {"Focus", ParseFocus},
    {"Object", ParseObject},
};

namespace {

bool Is(const char* token, const char* text) { return std::strcmp(token, text) == 0; }

// The message of a refused include, placed at the directive's line of the including file; the
// place of a file that does not open names that file, and the message says why when the file
// is there (`why`, else empty).
void ReportInclude(SceneFile& file, IncludeStatus status, const char* path, const char* why,
                   std::uint32_t line) {
  char message[kSceneComposeBytes + kStringRecordBytes];
  switch (status) {
    case IncludeStatus::kTooDeep:
      std::snprintf(message, sizeof message, "Too many nested includes");
      break;
    case IncludeStatus::kCycle:
      std::snprintf(message, sizeof message, "Recursive include \"%s\"", path);
      break;
    case IncludeStatus::kPathTooLong:
      std::snprintf(message, sizeof message, "Path too long");
      break;
    case IncludeStatus::kSearchDirsFull:
      std::snprintf(message, sizeof message, "Too many include directories");
      break;
    default: {
      if (why[0] != '\0') {
        std::snprintf(message, sizeof message, "Cannot open file \"%s\": %s", path, why);
      } else {
        std::snprintf(message, sizeof message, "Cannot open file \"%s\"", path);
      }
      char directory[kSceneDirectoryBytes], name[kScenePathBytes];
      if (SplitPath(path, directory, name)) {
        SetErrorAtPlace(file, name, message, line);
        return;
      }
      break;
    }
  }
  SetErrorAtLine(file, message, line);
}

int ParseDirective(SceneParser& parser, ParseStore& store) {
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t line = file.tokenLine;  // where the directive word begins
  ExpectToken(parser, "#");
  // A directive word with nothing after it fails below with its own message.
  if (TokenEquals(parser, "include")) {
    ReadRawToken(parser);
    StringRecord path;
    if (!ReadString(parser, path)) return 0;
    const IncludeStatus status = PushIncludeFile(parser, path.text);
    if (status != IncludeStatus::kOpened) {
      ReportInclude(file, status, path.text, parser.openFailure, line);
      return 0;
    }
    // On failure the included file stays innermost: its error text is the one shown.
    if (!ParseSceneDirectives(parser, store)) return 0;
    PopIncludeFile(parser);
    NextToken(parser);
    return 1;
  }
  if (TokenEquals(parser, "version")) {
    ReadRawToken(parser);
    return ParseVersionLine(parser, gWorld.versionNumbers, gWorld.versionCount, kWorldVersionMax);
  }
  SetParseError(parser, "Unknown directive");
  return 0;
}

}  // namespace

int ParseSceneDirectives(SceneParser& parser, ParseStore& store) {
  SceneFile& file = InnermostFile(parser);
  std::snprintf(file.messageHead, sizeof file.messageHead, "Syntax error");
  SkipComments(file);
  for (;;) {
    if (SceneDataEnded(file)) {
      if (file.lexicalError) return 0;
      // A word left alone at the very end would otherwise pass unread.
      if (file.token[0] != '\0') {
        SetErrorLocation(file, "Scene component expected");
        return 0;
      }
      return 1;
    }
    if (Is(file.token, "#")) {
      if (!ParseDirective(parser, store)) return 0;
      continue;
    }
    const SceneBlock* block = nullptr;
    for (const SceneBlock& b : kSceneBlocks) {
      if (Is(file.token, b.keyword)) block = &b;
    }
    if (block == nullptr) {
      SetErrorLocation(file, "Scene component expected");
      return 0;
    }
    if (!block->parse(parser, store)) return 0;
  }
}

int ParseVersionLine(SceneParser& parser, std::uint32_t* numbers, std::uint32_t& count,
                     std::uint32_t capacity) {
  SceneFile& file = InnermostFile(parser);
  const std::uint32_t startLine = file.tokenLine;
  const char* kExpected = "Version string expected";
  if (!Is(file.token, "\"")) {
    SetErrorAtLine(file, kExpected, startLine);
    return 0;
  }
  LexRawToken(file);
  char text[kSceneTokenBytes] = "";
  if (!Is(file.token, "\"")) {
    std::memcpy(text, file.token, std::strlen(file.token) + 1);
    LexRawToken(file);
  }
  if (!AcceptToken(file, "\"")) {
    SetErrorAtLine(file, kExpected, startLine);
    return 0;
  }
  count = 0;
  std::uint64_t group = 0;
  bool digits = false;
  for (const char* p = text;; ++p) {
    if (*p >= '0' && *p <= '9') {
      group = group * 10 + static_cast<std::uint64_t>(*p - '0');
      digits = true;
      if (group > UINT32_MAX) {
        SetErrorAtLine(file, kExpected, startLine);
        return 0;
      }
      continue;
    }
    if (*p != '.' && *p != '\0') {
      SetErrorAtLine(file, kExpected, startLine);
      return 0;
    }
    if (*p == '.' || digits) {  // a trailing "." adds nothing
      if (count == capacity) {
        SetErrorAtLine(file, "Too many version numbers", startLine);
        return 0;
      }
      numbers[count++] = static_cast<std::uint32_t>(group);
    }
    if (*p == '\0') break;
    group = 0;
    digits = false;
  }
  SkipComments(file);
  return 1;
}

}  // namespace veskor
