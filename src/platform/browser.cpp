#include "platform/browser.h"

#include <SDL.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/message_box.h"

namespace veskor {

namespace {

constexpr const char* kOpener = "xdg-open";

// Reads until the other ends close; true when nothing came (the exec succeeded).
bool PipeStayedEmpty(int fd) {
  char byte;
  for (;;) {
    const ssize_t n = read(fd, &byte, 1);
    if (n == 0) return true;
    if (n > 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace

std::uint32_t FindOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (program == nullptr || program[0] == '\0' || path == nullptr) return 0;
  for (const char* dir = path;;) {
    const char* end = std::strchr(dir, ':');
    const int length = static_cast<int>(end != nullptr ? end - dir : std::strlen(dir));
    char candidate[4096];
    // An empty entry is the current directory.
    const int n = length == 0 ? std::snprintf(candidate, sizeof candidate, "./%s", program)
                              : std::snprintf(candidate, sizeof candidate, "%.*s/%s", length, dir,
                                              program);
    if (n > 0 && static_cast<std::size_t>(n) < sizeof candidate && access(candidate, X_OK) == 0)
      return 1;
    if (end == nullptr) return 0;
    dir = end + 1;
  }
}

std::uint32_t StartDetached(const char* program, const char* argument) {
  // The grandchild runs the program; its exec closes the pipe's write end (close-on-exec),
  // while a failed exec writes a byte first. The child exits at once, so nobody waits for the
  // program and it is the system's to reap.
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return 0;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    const pid_t grandchild = fork();
    if (grandchild == 0) {
      char* const argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
      execvp(program, argv);
      const char failed = 1;
      (void)!write(fds[1], &failed, 1);
      _exit(127);
    }
    _exit(grandchild > 0 ? 0 : 1);
  }
  close(fds[1]);
  int status = 0;
  const bool forked = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                      WEXITSTATUS(status) == 0;
  const bool started = forked && PipeStayedEmpty(fds[0]);
  close(fds[0]);
  return started ? 1 : 0;
}

std::uint32_t OpenInBrowser(const char* address) {
  if (address == nullptr) return 0;
  if (HeadlessRecord("Web page", address)) return 1;
  // SDL's opener reports success even when xdg-open is missing: look for it first.
  if (FindOnPath(kOpener) == 0) return 0;
  if (SDL_OpenURL(address) == 0) return 1;
  return StartDetached(kOpener, address);
}

}  // namespace veskor
