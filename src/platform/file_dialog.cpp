#include "platform/file_dialog.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

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

// What the child prints on its standard output, read to its end but kept only up to `limit`
// bytes (one more tells that it did not fit); the child's exit code, or -1 when it did not exit
// or could not be started.
int RunChild(char* const argv[], std::string& out, std::size_t limit) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only async-signal-safe calls here: the parent may run other threads (GL, sound).
    ::dup2(fds[1], STDOUT_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, STDERR_FILENO);  // the toolkit's warnings
    ::execvp(argv[0], argv);
    ::_exit(127);
  }
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    return -1;
  }
  char chunk[512];
  for (;;) {
    const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (out.size() <= limit) out.append(chunk, std::min(static_cast<std::size_t>(n), limit + 1 - out.size()));
  }
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
  if (RunChild(argv, out, pathBytes) != 0) return 0;
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return Answer(out.data(), out.size(), path, pathBytes);
}

}  // namespace veskor
