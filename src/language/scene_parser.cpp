#include "language/scene_parser.h"

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "foundation/data_file_search.h"
#include "foundation/search_dirs.h"
#include "language/lexer.h"
#include "platform/file_open.h"

namespace veskor {

SceneParser gSceneParser;

namespace {

const std::uint32_t kOneCharLengths[] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
const std::uint32_t kOpenerLengths[] = {2, 2, 1};
const std::uint32_t kCloserLengths[] = {1, 2, 1};

// Copies `text` into a buffer of `bytes`; false, copying nothing, when it does not fit.
bool CopyBounded(char* out, std::size_t bytes, const char* text, std::size_t length) {
  if (length >= bytes) return false;
  std::memcpy(out, text, length);
  out[length] = '\0';
  return true;
}

bool InstallSetup(SceneFile& file, const LexicalSetup& setup) {
  if (setup.whitespaceCount >= kWhitespaceBytes || setup.separatorCount > kSeparatorMax ||
      setup.regionCount > kRegionMax) {
    return false;
  }
  file.whitespaceCount = setup.whitespaceCount;
  std::memcpy(file.whitespace, setup.whitespace, setup.whitespaceCount);
  file.whitespace[setup.whitespaceCount] = '\0';
  const char* text = setup.separators;
  file.separatorCount = setup.separatorCount;
  for (std::uint32_t i = 0; i < setup.separatorCount; ++i) {
    const std::uint32_t n = setup.separatorLengths[i];
    if (n == 0 || !CopyBounded(file.separators[i], kLexemeBytes, text, n)) return false;
    file.separatorLengths[i] = n;
    text += n;
  }
  const char* openers = setup.openers;
  const char* closers = setup.closers;
  file.regionCount = setup.regionCount;
  for (std::uint32_t i = 0; i < setup.regionCount; ++i) {
    const std::uint32_t n = setup.openerLengths[i];
    const std::uint32_t m = setup.closerLengths[i];
    if (n == 0 || m == 0 || !CopyBounded(file.regionOpeners[i], kLexemeBytes, openers, n) ||
        !CopyBounded(file.regionClosers[i], kLexemeBytes, closers, m)) {
      return false;
    }
    file.openerLengths[i] = n;
    file.closerLengths[i] = m;
    openers += n;
    closers += m;
  }
  return true;
}

void CopyTables(SceneFile& file, const SceneFile& from) {
  std::memcpy(file.whitespace, from.whitespace, sizeof file.whitespace);
  file.whitespaceCount = from.whitespaceCount;
  file.separatorCount = from.separatorCount;
  std::memcpy(file.separators, from.separators, sizeof file.separators);
  std::memcpy(file.separatorLengths, from.separatorLengths, sizeof file.separatorLengths);
  file.regionCount = from.regionCount;
  std::memcpy(file.regionOpeners, from.regionOpeners, sizeof file.regionOpeners);
  std::memcpy(file.openerLengths, from.openerLengths, sizeof file.openerLengths);
  std::memcpy(file.regionClosers, from.regionClosers, sizeof file.regionClosers);
  std::memcpy(file.closerLengths, from.closerLengths, sizeof file.closerLengths);
}

// Directory and name of the file that `path` designates relative to `base`: the file as it is
// on disk when one matches (exactly, or else ignoring case), else as written. `*searchError`
// is the errno of a directory on the way that could not be listed for another spelling of it.
bool LocateFile(SceneFile& file, const char* base, const char* path, PathForm form,
                int* searchError) {
  char dirPart[kSceneDirectoryBytes];
  char name[kScenePathBytes];
  if (!SplitPath(path, dirPart, name, form)) return false;
  const char* relativeDir = dirPart[0] == '/' && form == PathForm::kWritten ? dirPart + 1 : dirPart;
  char baseDir[kSceneDirectoryBytes];
  const std::size_t baseLength = std::strlen(base);
  if (!CopyBounded(baseDir, sizeof baseDir, base, baseLength)) return false;
  // An empty base stays empty: the current directory.
  if (baseLength > 0 && baseDir[baseLength - 1] != '/') {
    if (baseLength + 1 >= sizeof baseDir) return false;
    baseDir[baseLength] = '/';
    baseDir[baseLength + 1] = '\0';
  }
  char relative[kSceneDirectoryBytes + kScenePathBytes];
  std::snprintf(relative, sizeof relative, "%s%s", relativeDir, name);
  char found[kSceneDirectoryBytes + kScenePathBytes];
  if (form == PathForm::kWritten &&
      MatchDataFileName(baseDir, relative, found, sizeof found, searchError)) {
    const char* slash = std::strrchr(found, '/');
    const std::size_t split = slash != nullptr ? slash - found + 1 : 0;
    return CopyBounded(file.directory, kSceneDirectoryBytes, found, split) &&
           CopyBounded(file.fileName, kScenePathBytes, found + split, std::strlen(found + split));
  }
  char directory[2 * kSceneDirectoryBytes];
  std::snprintf(directory, sizeof directory, "%s%s", baseDir, relativeDir);
  return CopyBounded(file.directory, kSceneDirectoryBytes, directory, std::strlen(directory)) &&
         CopyBounded(file.fileName, kScenePathBytes, name, std::strlen(name));
}

enum class OpenResult { kOpened, kCannotOpen, kPathTooLong };

// The open steps common to the root and the includes, on a closed record whose lexical
// tables are installed. `why` receives the reason of an open that failed for a file that is
// there, and is emptied otherwise.
OpenResult OpenRecord(SceneFile& file, const char* base, const char* path, PathForm form,
                      char (&why)[kSceneMessageBytes]) {
  why[0] = '\0';
  int searchError = 0;
  if (!LocateFile(file, base, path, form, &searchError)) {
    file.directory[0] = file.fileName[0] = '\0';
    file.errorFlag = 1;
    return OpenResult::kPathTooLong;
  }
  file.token[0] = file.nextToken[0] = '\0';
  char full[kSceneDirectoryBytes + kScenePathBytes];
  std::snprintf(full, sizeof full, "%s%s", file.directory, file.fileName);
  // Neither a FIFO nor anything else but a regular file holds the open, whether it is there
  // from the start or put in the file's place as it opens.
  FileOpenFailure failure;
  struct stat status {};
  std::FILE* stream = OpenRegularStreamForReading(full, &failure, &status);
  if (stream == nullptr) {
    // A directory that could not be listed for another spelling leaves the file unknown.
    if (failure.Missing() && searchError != 0) failure = {searchError, nullptr};
    if (!failure.Missing()) std::snprintf(why, sizeof why, "%s", failure.Reason().c_str());
    file.errorFlag = 1;
    return OpenResult::kCannotOpen;
  }
  file.stream = stream;
  file.device = status.st_dev;
  file.inode = status.st_ino;
  file.fileSize = static_cast<std::uint32_t>(status.st_size);
  file.closed = 0;
  file.line = 1;
  file.lineStartFlag = 1;
  file.bytesRefilled = 0;
  file.nextTokenLength = 0;
  file.pendingFlag = 0;
  file.openRegion = -1;
  file.endOfFile = 0;
  file.errorFlag = 0;
  file.lexicalError = 0;
  file.consumedSinceRefill = 0;
  file.tokenLine = file.currentTokenLine = file.nextTokenLine = 1;
  file.messageHead[0] = file.errorText[0] = '\0';
  FillCharRing(file);
  SkipWhitespace(file);
  LexRawToken(file);
  LexRawToken(file);
  return OpenResult::kOpened;
}

void SendParseFileLine(SceneParser& parser, const char* path) {
  if (parser.logCallback == nullptr) return;
  char line[kScenePathBytes + 64];
  std::snprintf(line, sizeof line, "      parse file <\\%%%s>", path);
  parser.logCallback(line, 0);
}

void SetCurrentDirectory(SceneParser& parser, const char* directory) {
  std::snprintf(parser.currentDirectory, sizeof parser.currentDirectory, "%s", directory);
}

void EmptyRecord(SceneFile& file) {
  if (file.ring.block.base != nullptr) MemBlockRelease(file.ring.block);
  file.ring = CharRing{};
  file.stream = nullptr;
  file.closed = 1;
  file.line = 1;
  file.currentTokenLine = file.nextTokenLine = 0;
  file.errorFlag = 0;
  file.lineStartFlag = 0;
  file.nextTokenLength = 0;
  file.fileSize = 0;
  file.bytesRefilled = 0;
  file.openRegion = -1;
  file.pendingFlag = 0;
  file.consumedSinceRefill = 0;
  file.lexicalError = 0;
  file.device = file.inode = 0;
  file.directory[0] = file.fileName[0] = file.whitespace[0] = '\0';
  file.token[0] = file.nextToken[0] = file.messageHead[0] = file.errorText[0] = '\0';
  file.whitespaceCount = file.separatorCount = file.regionCount = 0;
}

}  // namespace

const LexicalSetup kWorldFileSetup = {
    .whitespace = " \n\t",
    .whitespaceCount = 3,
    .separatorCount = 17,
    .separators = "()[]{}+-/*=.,;:!#",
    .separatorLengths = kOneCharLengths,
    .regionCount = 3,
    .openers = "///*\"",
    .openerLengths = kOpenerLengths,
    .closers = "\n*/\"",
    .closerLengths = kCloserLengths,
};

SceneFile::SceneFile() {
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  closed = 1;
  line = 1;
  openRegion = -1;
}

SceneFile::~SceneFile() {
  if (stream != nullptr) std::fclose(stream);
  stream = nullptr;
  if (ring.block.base != nullptr) MemBlockRelease(ring.block);
}

SceneParser::SceneParser()
    : includeNames{},
      depth(0),
      currentDirectory{},
      objectCount(0),
      surfaceMark(0),
      logContext(nullptr),
      logCallback(nullptr),
      openFailure{} {}

SceneParser::~SceneParser() { CloseSceneFiles(*this); }

int SceneParserOpenRoot(SceneParser& parser, const char* directory, const char* path,
                        const LexicalSetup& setup) {
  SceneFile& file = parser.files[0];
  parser.openFailure[0] = '\0';
  if (directory == nullptr || path == nullptr || !file.closed || !InstallSetup(file, setup)) {
    file.errorFlag = 1;
    return 0;
  }
  struct stat given {};
  const PathForm form = ::stat((std::string(directory) + path).c_str(), &given) == 0
                            ? PathForm::kGiven
                            : PathForm::kWritten;
  return OpenRecord(file, directory, path, form, parser.openFailure) == OpenResult::kOpened ? 1 : 0;
}

int OpenSceneFile(SceneParser& parser, const char* directory, const char* path,
                  SceneLogCallback logCallback) {
  ExtraSearchDirsClear();
  parser.objectCount = 0;
  parser.depth = 1;
  parser.logCallback = logCallback;
  const int result = SceneParserOpenRoot(parser, directory, path, kWorldFileSetup);
  SetCurrentDirectory(parser, parser.files[0].directory);
  SendParseFileLine(parser, path);
  return result;
}

IncludeStatus PushIncludeFile(SceneParser& parser, const char* path) {
  if (parser.depth >= kSceneFileMax) return IncludeStatus::kTooDeep;
  if (!CopyBounded(parser.includeNames[parser.depth], kScenePathBytes, path, std::strlen(path)))
    return IncludeStatus::kPathTooLong;
  SceneFile& parent = parser.files[parser.depth - 1];
  SceneFile& file = parser.files[parser.depth];
  CopyTables(file, parent);
  const OpenResult opened =
      OpenRecord(file, parent.directory, path, PathForm::kWritten, parser.openFailure);
  if (opened != OpenResult::kOpened) {
    EmptyRecord(file);
    return opened == OpenResult::kPathTooLong ? IncludeStatus::kPathTooLong
                                              : IncludeStatus::kCannotOpen;
  }
  for (std::uint32_t i = 0; i < parser.depth; ++i) {
    if (parser.files[i].device == file.device && parser.files[i].inode == file.inode) {
      SceneFileReset(file);
      return IncludeStatus::kCycle;
    }
  }
  if (!ExtraSearchDirsAdd(file.directory)) {
    SceneFileReset(file);
    return IncludeStatus::kSearchDirsFull;
  }
  ++parser.depth;
  SetCurrentDirectory(parser, file.directory);
  SendParseFileLine(parser, path);
  return IncludeStatus::kOpened;
}

void PopIncludeFile(SceneParser& parser) {
  if (parser.depth == 0) return;
  SceneFileReset(parser.files[--parser.depth]);
  SetCurrentDirectory(parser, parser.depth > 0 ? parser.files[parser.depth - 1].directory : "");
}

int SceneFileReset(SceneFile& file) {
  if (file.closed || file.stream == nullptr) {
    file.errorFlag = 1;
    return 0;
  }
  const bool ok = std::fclose(file.stream) == 0;
  EmptyRecord(file);
  if (!ok) file.errorFlag = 1;
  return ok ? 1 : 0;
}

void CloseSceneFiles(SceneParser& parser) {
  for (std::uint32_t i = 0; i < parser.depth && i < kSceneFileMax; ++i) {
    SceneFileReset(parser.files[i]);
  }
  parser.depth = 0;
  parser.objectCount = 0;
  parser.currentDirectory[0] = '\0';
}

std::string ReadPath(const char* path, PathForm form) {
  if (form == PathForm::kGiven) return path;
  if (*path == '"') ++path;
  const char* quote = std::strchr(path, '"');
  std::string read(path, quote != nullptr ? quote - path : std::strlen(path));
  for (char& c : read) {
    if (c == '\\') c = '/';
  }
  return read;
}

bool SplitPath(const char* path, char* directory, char* name, PathForm form) {
  directory[0] = name[0] = '\0';
  const std::string read = ReadPath(path, form);
  const std::size_t slash = read.rfind('/');
  const std::size_t split = slash == std::string::npos ? 0 : slash + 1;
  if (!CopyBounded(directory, kSceneDirectoryBytes, read.data(), split) ||
      !CopyBounded(name, kScenePathBytes, read.data() + split, read.size() - split)) {
    directory[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace veskor
