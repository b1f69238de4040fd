// The SceneParser: the stack of open world files (one SceneFile per level of #include), each
// with its own character ring, tokens, lexical tables, line counter and error text. Every
// token operation (lexer.h), value reader and block parser works on the innermost record.
// The compile session opens the root file, runs the directive loop and closes the stack.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "foundation/mem_block.h"

namespace veskor {

inline constexpr std::uint32_t kSceneFileMax = 32;        // files open at once
inline constexpr std::uint32_t kScenePathBytes = 256;     // directory, file name, include name
inline constexpr std::uint32_t kSceneTokenBytes = 4096;   // a token holds at most 4095 chars
inline constexpr std::uint32_t kSceneMessageBytes = 256;  // error text and message head
inline constexpr std::uint32_t kWhitespaceBytes = 64;     // at most 63 whitespace characters
inline constexpr std::uint32_t kSeparatorMax = 32;
inline constexpr std::uint32_t kRegionMax = 8;
inline constexpr std::uint32_t kLexemeBytes = 8;    // separators, openers, closers: 7 chars
inline constexpr std::uint32_t kRingBytes = 8192;   // the character ring of a world file
inline constexpr std::uint32_t kRefillBytes = 128;  // consumed characters between refills
// The directory of an open world file, ending with '/': a world path has at most 511 bytes.
inline constexpr std::uint32_t kSceneDirectoryBytes = 512;
inline constexpr std::uint32_t kCurrentDirectoryBytes = kSceneDirectoryBytes;

// The character buffer of a SceneFile: a ring over one MemBlock. Until the write position
// first wraps, every stored byte also grows the block's used size by one.
struct CharRing {
  MemBlock block;
  std::uint8_t* start;  // first byte of the block
  std::uint8_t* end;    // one past its last byte
  std::uint8_t* readPos;
  std::uint8_t* writePos;
  std::uint32_t count;  // buffered and not yet consumed
  std::uint32_t size;   // capacity, a power of two
  std::uint32_t wrapped;
};

// One open world file.
struct SceneFile {
  SceneFile();
  ~SceneFile();
  SceneFile(const SceneFile&) = delete;
  SceneFile& operator=(const SceneFile&) = delete;

  std::FILE* stream;
  char directory[kSceneDirectoryBytes];  // ends with '/', or empty for the current directory
  char fileName[kScenePathBytes];   // the name the error place text gives
  std::uint32_t fileSize;
  std::uint8_t nextChar;
  std::uint32_t consumedSinceRefill;  // 0..127
  CharRing ring;
  std::uint32_t pendingLength;  // a delimiter that ended the previous token and still waits
  std::uint32_t pendingFlag;
  std::uint32_t closed;
  std::uint32_t endOfFile;
  std::uint32_t line;
  std::uint32_t bytesRefilled;
  std::uint32_t lineStartFlag;
  char token[kSceneTokenBytes];      // the current token
  char nextToken[kSceneTokenBytes];  // the look-ahead
  std::uint32_t nextTokenLength;
  char whitespace[kWhitespaceBytes];
  std::uint32_t whitespaceCount;
  std::uint32_t separatorCount;
  char separators[kSeparatorMax][kLexemeBytes];
  std::uint32_t separatorLengths[kSeparatorMax];
  std::uint32_t regionCount;
  std::int32_t openRegion;  // the region whose closer is awaited, -1 for none
  char regionOpeners[kRegionMax][kLexemeBytes];
  std::uint32_t openerLengths[kRegionMax];
  char regionClosers[kRegionMax][kLexemeBytes];
  std::uint32_t closerLengths[kRegionMax];
  std::uint32_t errorFlag;
  std::uint32_t tokenLine;  // line at which the latest raw read began (the look-ahead's)
  // The lines on which the current token and the look-ahead themselves begin: a located
  // message about one token (a value out of its range) names the first.
  std::uint32_t currentTokenLine;
  std::uint32_t nextTokenLine;
  char messageHead[kSceneMessageBytes];
  char errorText[kSceneMessageBytes];
  // Set when the data itself is faulty (a token too long, a string or comment still open at
  // the end): the lexer's message stands, later messages do not replace it, and the data ends.
  std::uint32_t lexicalError;
  // The open file's identity, against which an include is tested for a cycle.
  std::uint64_t device;
  std::uint64_t inode;
};

// Receives the "parse file" lines of the opens.
using SceneLogCallback = void (*)(const char* text, int mode);

struct SceneParser {
  SceneParser();
  ~SceneParser();
  SceneParser(const SceneParser&) = delete;
  SceneParser& operator=(const SceneParser&) = delete;

  SceneFile files[kSceneFileMax];  // index 0 is the root file
  char includeNames[kSceneFileMax][kScenePathBytes];
  std::uint32_t depth;  // records in use; the innermost is files[depth - 1]
  char currentDirectory[kCurrentDirectoryBytes];
  std::uint32_t objectCount;
  std::uint32_t surfaceMark;
  void* logContext;
  SceneLogCallback logCallback;
  // Why the last open of a world file (the root or an include) failed when the file is there:
  // the system's reason ("Too many open files") or that it is not a regular file ("it is a
  // FIFO, not a regular file"). Empty when the file is not there, and after an open.
  char openFailure[kSceneMessageBytes];
};

// The one parser of the program.
extern SceneParser gSceneParser;

// The lexical tables of a file: whitespace characters, separators, and regions (delimited
// stretches: an opener and its closer). The separator, opener and closer strings are given
// as one concatenated text each, cut by their length arrays.
struct LexicalSetup {
  const char* whitespace;
  std::uint32_t whitespaceCount;
  std::uint32_t separatorCount;
  const char* separators;
  const std::uint32_t* separatorLengths;
  std::uint32_t regionCount;
  const char* openers;
  const std::uint32_t* openerLengths;
  const char* closers;
  const std::uint32_t* closerLengths;
};

// World files: blanks, line feeds and tabs; the 17 one-character separators
// "()[]{}+-/*=.,;:!#"; line comments, block comments and strings, in this order.
extern const LexicalSetup kWorldFileSetup;
inline constexpr std::int32_t kLineCommentRegion = 0;
inline constexpr std::int32_t kBlockCommentRegion = 1;
inline constexpr std::int32_t kStringRegion = 2;

inline SceneFile& InnermostFile(SceneParser& parser) { return parser.files[parser.depth - 1]; }

// Opens `path` (relative to `directory`) into record 0 with the given tables; the caller sets
// depth to 1 first. A path that the file system has as it is given (`directory` followed by
// `path`) is opened as given; any other is read as a world file writes it (SplitPath), each part
// found ignoring case where it is not there as written. Result 1, or 0 when the file cannot be
// opened (openFailure saying why when it is there), its path does not fit the record, the
// tables exceed their limits, or the record is already open. A file that is not a regular one
// is refused without waiting on it.
int SceneParserOpenRoot(SceneParser& parser, const char* directory, const char* path,
                        const LexicalSetup& setup);

// The open-file dialog's way in: empties ExtraSearchDirs, opens record 0 with the world-file
// tables, sets currentDirectory and sends the "parse file" line (also when the open failed).
int OpenSceneFile(SceneParser& parser, const char* directory, const char* path,
                  SceneLogCallback logCallback);

// Why an include was refused.
enum class IncludeStatus {
  kOpened,
  kCannotOpen,     // no such file, or it does not open (openFailure says why)
  kTooDeep,        // all 32 records are in use
  kCycle,          // the file is one of those that include it
  kPathTooLong,    // the path does not fit the record
  kSearchDirsFull  // its directory cannot be added to ExtraSearchDirs
};

// Opens `path`, relative to the innermost file's directory, as the new innermost record with
// that file's tables, adds its directory to ExtraSearchDirs and logs its "parse file" line.
// Unlike a failed open of the root, a refused include leaves the depth as it was, so the
// including file stays innermost and the caller places its message there.
IncludeStatus PushIncludeFile(SceneParser& parser, const char* path);

// Closes the innermost record; its parent resumes where it stopped.
void PopIncludeFile(SceneParser& parser);

// Closes an open record and empties it. Result 1, or 0 (errorFlag = 1) when it was not open.
int SceneFileReset(SceneFile& file);

// Resets every record below depth; depth and objectCount 0, currentDirectory empty.
void CloseSceneFiles(SceneParser& parser);

// How a path is read: as a world file writes one (kWritten: one leading double quote skipped,
// cut at the next one, '\' read as '/'), or as the file system takes it (kGiven).
enum class PathForm { kWritten, kGiven };

// The path that `path` names, read in `form`.
std::string ReadPath(const char* path, PathForm form);

// Splits a path, read in `form`, at its last '/': the directory part keeps the '/' and goes into
// `directory`, a buffer of kSceneDirectoryBytes, the rest is the name, into `name`, one of
// kScenePathBytes. Returns false, with both outputs empty, when a part does not fit.
bool SplitPath(const char* path, char* directory, char* name, PathForm form = PathForm::kWritten);

}  // namespace veskor
