#include "platform/file_dialog.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/child_process.h"
#include "platform/process.h"

namespace veskor {
namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

std::uint32_t Answer(const char* text, std::size_t length, char* path, std::size_t pathBytes) {
  if (length == 0 || length >= pathBytes) return 0;
  std::memcpy(path, text, length);
  path[length] = '\0';
  return 1;
}

}  // namespace

std::uint32_t RunOpenFileDialog(const OpenFileRequest& request, char* path, std::size_t pathBytes) {
  if (pathBytes == 0) return 0;
  path[0] = '\0';
  if (IsSet("VESKOR_MESSAGES")) {
    const char* answer = std::getenv("VESKOR_OPEN_FILE");
    return answer != nullptr ? Answer(answer, std::strlen(answer), path, pathBytes) : 0;
  }
  if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) return 0;

  // zenity's own --timeout hangs with the file picker: it is not used.
  std::string title = std::string("--title=") + request.title;
  std::string filter = std::string("--file-filter=") + request.filter;
  std::string start = std::string("--filename=") + request.startDirectory;
  char program[] = "zenity";
  char selection[] = "--file-selection";
  char* const argv[] = {program, selection, title.data(), filter.data(), start.data(), nullptr};
  std::string out;
  const int status = RunChild(argv, &out, pathBytes);
  // Without zenity the dialog is cancelled, as it is when a quit signal closes it; a zenity that
  // could not be started (no room for a process) is said too.
  if (status == kChildNotStarted && errno != ENOENT) SayNotStarted("zenity", errno);
  if (status != 0) return 0;
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return Answer(out.data(), out.size(), path, pathBytes);
}

}  // namespace veskor
