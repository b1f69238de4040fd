#include "app/compile_session.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/main_interface.h"
#include "app/main_interface_callbacks.h"
#include "app/main_plane.h"
#include "app/program_entry.h"
#include "app/session_status.h"
#include "app/settings.h"
#include "app/welcome_screen.h"
#include "foundation/search_dirs.h"
#include "foundation/session_log.h"
#include "gfx/gl_capabilities.h"
#include "gfx/viewport_rect.h"
#include "gui/text_bitmap.h"
#include "gui/text_markup.h"
#include "language/fx_keywords.h"
#include "language/scene_parser.h"
#include "language/world.h"
#include "language/world_compile.h"
#include "platform/file_dialog.h"
#include "platform/gl.h"
#include "sound/sound_banks.h"

namespace veskor {
namespace {

// Why a command line opens nothing, before "can not open file".
constexpr const char* kCommandLineTooLong =
    "      the command line is too long: %u bytes, where a world path has at most %zu";
// A name of the path past the file system's bound, and its kind, before the name itself.
constexpr const char* kNameTooLong =
    "      the world path is too long: %s has %zu bytes, where a name has at most %u: ";

// A field of `n` characters, terminated or not, copied into `out`, which holds n + 1.
void CopyField(char* out, const char* field, std::size_t n) {
  const std::size_t length = strnlen(field, n);
  std::memcpy(out, field, length);
  out[length] = '\0';
}

// The failure path: nothing stays open and the next frame does not ask again.
std::uint32_t Fail() {
  CompileRequest = 0;
  CloseSceneFiles(gSceneParser);
  return 0;
}

// A failure once the language layer was reset: the previous world's models, grids and tables
// are gone, so it must not be drawn any more. The failure's text, made of the world's names
// and paths, shows as written.
std::uint32_t FailAfterReset(const char* failure) {
  char status[kWorldCompileFailureBytes + 2] = "";
  AppendMarkupLiteral(status, sizeof status, failure);
  ShowStatusLine(status, 1);
  UploadBitmapTexture(StatusText.textBitmap);
  WorldReady = 0;
  return Fail();
}

// Why a world file that is there did not open, on a line of its own before the status: the
// system's reason, or that it is not a regular file. Nothing for a file that is not there.
void SayWhyNotOpened(const char* name) {
  if (gSceneParser.openFailure[0] == '\0') return;
  char text[kScenePathBytes + kSceneMessageBytes + 4];
  std::snprintf(text, sizeof text, "%s: %s", name, gSceneParser.openFailure);
  char line[sizeof text + 32] = "      cannot open ";
  AppendMarkupLiteral(line, sizeof line, text);
  ShowStatusLine(line, 0);
}

// Says the first name of `path` (read as it is opened) that is longer than a name may be: a
// directory's or the file's, with its length, and the name itself. False when there is none.
bool SayNameTooLong(const std::string& path) {
  for (std::size_t from = 0; from <= path.size();) {
    const std::size_t slash = std::min(path.find('/', from), path.size());
    const std::size_t length = slash - from;
    if (length >= kScenePathBytes) {
      char line[kWorldPathBytes + 128];
      std::snprintf(line, sizeof line, kNameTooLong,
                    slash == path.size() ? "its file name" : "a directory name", length,
                    kScenePathBytes - 1);
      AppendMarkupLiteral(line, sizeof line, path.substr(from, length).c_str());
      ShowStatusLine(line, 0);
      return true;
    }
    from = slash + 1;
  }
  return false;
}

bool OpenCommandLineWorld(const char* path) {
  SceneParser& parser = gSceneParser;
  char directory[kSceneDirectoryBytes];
  char name[kScenePathBytes];
  if (WorldPathTooLong != 0) {
    char line[128];
    std::snprintf(line, sizeof line, kCommandLineTooLong, WorldPathTooLong, kWorldPathBytes - 1);
    ShowStatusLine(line, 0);
    ShowStatusLine("can not open file", 1);
    return false;
  }
  // A path that the file system has as it is given opens as given (quotes, '\' and all); any
  // other is read as a world file writes one, surrounding quotes dropped.
  struct stat given {};
  const PathForm form = ::stat(path, &given) == 0 ? PathForm::kGiven : PathForm::kWritten;
  if (SayNameTooLong(ReadPath(path, form)) || !SplitPath(path, directory, name, form)) {
    ShowStatusLine("can not open file", 1);
    return false;
  }
  ExtraSearchDirsClear();
  parser.depth = 1;
  parser.objectCount = 0;
  parser.logCallback = ShowStatusLine;
  const int opened = SceneParserOpenRoot(parser, directory, name, kWorldFileSetup);
  static_assert(sizeof parser.currentDirectory == sizeof parser.files[0].directory);
  CopyField(parser.currentDirectory, parser.files[0].directory, kCurrentDirectoryBytes - 1);
  // Written whether or not the file opened, the name as written (the same line as the
  // language layer's for an include).
  char quoted[kScenePathBytes + 1];
  std::snprintf(quoted, sizeof quoted, "%s>", name);
  char line[kScenePathBytes + 32] = "      parse file <";
  AppendMarkupLiteral(line, sizeof line, quoted);
  parser.logCallback(line, 0);
  if (opened == 0) {
    SayWhyNotOpened(name);
    ShowStatusLine("can not open file", 1);
  }
  return opened != 0;
}

bool OpenChosenWorld() {
  char start[kSearchDirBytes];
  std::snprintf(start, sizeof start, "%s", WorkingDir);
  char chosen[kOpenWorldPathBytes];
  if (RunOpenFileDialog({kOpenWorldTitle, kOpenWorldFilter, start}, chosen, sizeof chosen) == 0) {
    LogWriteText(LogStream(), "file open error");
    ShowStatusLine("compilation aborted", 1);
    return false;
  }
  // The directory keeps its '/'; the file's title follows it.
  char directory[kOpenWorldPathBytes] = "";
  const char* slash = std::strrchr(chosen, '/');
  const char* title = slash != nullptr ? slash + 1 : chosen;
  std::memcpy(directory, chosen, static_cast<std::size_t>(title - chosen));
  directory[title - chosen] = '\0';
  if (OpenSceneFile(gSceneParser, directory, title, ShowStatusLine) == 0) {
    SayWhyNotOpened(title);
    ShowStatusLine("compilation aborted", 1);
    return false;
  }
  return true;
}

// A session log that cannot be written (not opened, a write or its close failed) is said on
// stderr with the system's reason of the call that failed, or as what it is when the log
// refused it (a FIFO), once a run for its path (every compile opens it again), and the session
// goes on without it.
void SayUnwritableLog(const char* path, const char* reason) {
  static char toldPath[kSearchDirBytes + 16] = "";
  if (std::strcmp(path, toldPath) == 0) return;
  std::snprintf(toldPath, sizeof toldPath, "%s", path);
  std::fprintf(stderr,
               "veskor: cannot write the session log %s: %s (the sessions go on without it)\n",
               path, reason);
}

// The session log in BinaryDir.
void OpenSessionLog() {
  char logPath[kSearchDirBytes + 16];
  std::snprintf(logPath, sizeof logPath, "%s%s", BinaryDir, kSessionLogName);
  SessionLogOpen(logPath, SayUnwritableLog);
}

// The session screen under the menu bar, swapped in before the parse.
void ShowSessionScreen() {
  DrawSessionScreen();
  SetViewportRect(gMainPlane, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f,
                  -static_cast<float>(kMenuBarRows));
  gSessionPorts.swapBuffers(gMainPlane);
}

// One of the world's strings (a field of kWorldStringBytes, terminated or not) at (x, y), as
// written, after the markup `style`.
void DrawWorldString(TextBitmap& bitmap, std::uint32_t x, std::uint32_t y, const char* style,
                     const char* string) {
  char field[kWorldStringBytes + 1];
  CopyField(field, string, kWorldStringBytes);
  char text[kWorldStringBytes + 8];
  std::snprintf(text, sizeof text, "%s", style);
  AppendMarkupLiteral(text, sizeof text, field);
  DrawMarkupTextAt(bitmap, x, y, text);
}

// The progress panel names the world: the first Info record's title, author and date.
void NameTheWorld() {
  TextBitmap& bitmap = ProgressPanel.textBitmap;
  ResetTextImage(ProgressPanel);
  SetTextFont(bitmap, "arial");
  SetTextSize(bitmap, 10);
  if (gWorld.infoCount > 0) {
    const InfoRecord& info = gWorld.infos[0];
    DrawWorldString(bitmap, 20, 14, "\\b", info.title);
    SetTextFont(bitmap, "times new roman");
    DrawWorldString(bitmap, 20, 40, "", info.author);
    DrawWorldString(bitmap, 20, 56, "", info.date);
  } else {
    DrawMarkupTextAt(bitmap, 20, 14, "no name");
  }
  UploadBitmapTexture(bitmap);
}

}  // namespace

std::uint32_t CompileSession(const char* path) {
  SceneParser& parser = gSceneParser;
  LogPenLine = kLogFirstLine;
  DrawSessionScreen();
  glFlush();
  HidePlane(InfoPanel);
  ResetTextImage(StatusPanel);
  DrawSessionHeader("\\bcompile");
  ShowPlane(StatusPanel);
  StatusText.contentWidth = StatusText.contentHeight = 0.0f;
  StatusText.scrollX = 0.0f;
  StatusText.scrollY = 100.0f;
  ClearTextBitmap(StatusText.textBitmap, 1);
  CreateTextBitmap(StatusText.textBitmap, &StatusText.textTexture);
  ResetTextFont(StatusText.textBitmap);
  ShowStatusLine("> begin 'parse' session", 0);
  ReadRenderLod();
  OpenSessionLog();
  InitFxKeywords();
  parser.depth = 0;
  parser.objectCount = 0;
  parser.logContext = &gMainPlane;
  parser.logCallback = nullptr;

  const bool commandLine = path[0] != '\0' || WorldPathTooLong != 0;
  if (!(commandLine ? OpenCommandLineWorld(path) : OpenChosenWorld())) return Fail();
  // The table was emptied as the root file opened: its directory always finds room.
  ExtraSearchDirsAdd(parser.currentDirectory);
  HideSetupPanel();
  StopWelcomeAnimations();

  // The reset counts the banks out without silencing them: the endless ones would sound on
  // over the next world.
  StopSoundBanks(gWorld);
  LogTextureFormats();
  // The session screen shows while the world is parsed; the log goes up before the compile.
  const WorldCompileSteps steps{ShowStatusLine, ShowSessionScreen, UploadSessionLog};
  char failure[kWorldCompileFailureBytes];
  if (CompileOpenedWorld(parser, steps, failure) == 0) return FailAfterReset(failure);
  CloseSceneFiles(parser);
  SessionLogClose();

  NameTheWorld();
  ExamineMode = 0;
  SetExamineBox(0);
  return 1;
}

}  // namespace veskor
