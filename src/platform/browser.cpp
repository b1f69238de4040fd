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
#include "platform/process.h"

namespace veskor {

namespace {

constexpr const char* kOpener = "xdg-open";

// Reads until the other ends close: 0 when nothing came (the exec succeeded), else the errno
// that came of the start that failed.
int StartFailure(int fd) {
  int error = 0;
  std::size_t got = 0;
  while (got < sizeof error) {
    const ssize_t n = read(fd, reinterpret_cast<char*>(&error) + got, sizeof error - got);
    if (n == 0) break;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    got += static_cast<std::size_t>(n);
  }
  return got == 0 ? 0 : got == sizeof error ? error : EIO;
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
  // while a failed exec, or a fork of the child that failed, writes its errno first. The child
  // exits at once, so nobody waits for the program and it is the system's to reap.
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    SayNotStarted(program, errno);
    return 0;
  }
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    const pid_t grandchild = fork();
    if (grandchild == 0) {
      char* const argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
      execvp(program, argv);
    }
    if (grandchild > 0) _exit(0);
    const int error = errno;  // of the exec, or of the fork that failed
    (void)!write(fds[1], &error, sizeof error);
    _exit(127);
  }
  const int forkError = errno;
  close(fds[1]);
  int status = 0;
  int error = child < 0 ? forkError : 0;
  if (child > 0 && (waitpid(child, &status, 0) != child || !WIFEXITED(status))) error = ECHILD;
  if (error == 0) error = StartFailure(fds[0]);
  close(fds[0]);
  if (error != 0) SayNotStarted(program, error);
  return error == 0 ? 1 : 0;
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
