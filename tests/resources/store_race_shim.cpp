// Loaded into the store writer and the program by their tests (LD_PRELOAD), to do what another
// program could do between two of their calls:
// - once the directory that VESKOR_TEST_RACE_DIR names is made (by any name), "x\n" is added to the
// file that
//   VESKOR_TEST_RACE_STORE names (made when missing), as another program writing the store at
//   that moment would; and VESKOR_TEST_RACE_LINK is made a link whose text is
//   VESKOR_TEST_RACE_LINK_TO;
// - an open (open or open64, as the caller was built) of the name that VESKOR_TEST_RACE_FIFO
//   gives first finds a FIFO in the file's place, the file moved aside to "<name>.aside"; an
//   open of the name "/dev/fd/<n>" that VESKOR_TEST_RACE_PIPE gives first finds descriptor n on
//   a pipe. With VESKOR_TEST_RACE_BACK set, the file is put back as soon as the open returns,
//   so that only that open met the FIFO or the pipe;
// - an open of a name that ends with VESKOR_TEST_NO_DESCRIPTOR_AT finds no descriptor free, as
//   under a `ulimit -n` just too low for it; the limit is put back as the open returns (so that
//   the run, and a sanitizer's runtime, go on as before);
// - the close of a descriptor whose file's name holds the text of VESKOR_TEST_CLOSE_FAILS (such
//   as ".veskor-tmp-", the program's temporaries) closes it, then fails with EIO, as a network
//   file system's close does for a write it could not make. With VESKOR_TEST_CLOSE_SWAPS set,
//   another program's file holding that text takes the file's name first.
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../support/no_descriptor_left.h"  // by its path: the shim has no include path of ours

namespace {

std::string WithoutEndSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

extern "C" int mkdir(const char* path, mode_t mode) {
  using Mkdir = int (*)(const char*, mode_t);
  static const Mkdir real = reinterpret_cast<Mkdir>(dlsym(RTLD_NEXT, "mkdir"));
  const int made = real(path, mode);
  const char* dir = std::getenv("VESKOR_TEST_RACE_DIR");
  if (made != 0 || dir == nullptr) return made;
  // Made by any name, such as one through a descriptor of its folder (/proc/self/fd/<n>/user).
  char canonical[PATH_MAX];
  if (realpath(path, canonical) == nullptr ||
      WithoutEndSlashes(canonical) != WithoutEndSlashes(dir))
    return made;
  if (const char* store = std::getenv("VESKOR_TEST_RACE_STORE"); store != nullptr) {
    const int fd = open(store, O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (fd >= 0) {
      [[maybe_unused]] const ssize_t n = write(fd, "x\n", 2);
      close(fd);
    }
  }
  const char* link = std::getenv("VESKOR_TEST_RACE_LINK");
  const char* to = std::getenv("VESKOR_TEST_RACE_LINK_TO");
  if (link != nullptr && to != nullptr) {
    [[maybe_unused]] const int linked = symlink(to, link);
  }
  return made;
}

namespace {

using Open = int (*)(const char*, int, ...);

// The open `real` of `path`, after a FIFO or a pipe took the place of the file when `path` is
// a name that the variables give.
int OpenAfterRace(Open real, const char* path, int flags, mode_t mode) {
  const char* fifo = std::getenv("VESKOR_TEST_RACE_FIFO");
  const char* pipeName = std::getenv("VESKOR_TEST_RACE_PIPE");
  const bool back = std::getenv("VESKOR_TEST_RACE_BACK") != nullptr;
  const std::string name = path != nullptr ? path : "";
  if (fifo != nullptr && name == fifo) {
    const std::string aside = name + ".aside";
    std::rename(fifo, aside.c_str());
    mkfifo(fifo, 0600);
    const int fd = real(path, flags, mode);
    if (back) std::rename(aside.c_str(), fifo);
    return fd;
  }
  if (pipeName != nullptr && name == pipeName && name.starts_with("/dev/fd/")) {
    const int given = std::atoi(pipeName + std::strlen("/dev/fd/"));
    const int saved = dup(given);
    int ends[2];
    if (saved < 0 || pipe(ends) != 0) return -1;
    dup2(ends[0], given);
    close(ends[0]);
    close(ends[1]);
    const int fd = real(path, flags, mode);
    if (back) dup2(saved, given);
    close(saved);
    return fd;
  }
  const char* limited = std::getenv("VESKOR_TEST_NO_DESCRIPTOR_AT");
  if (limited == nullptr || !name.ends_with(limited)) return real(path, flags, mode);
  const veskor::test::NoDescriptorLeft none;
  return real(path, flags, mode);
}

// The mode argument, present only when the flags make a file.
mode_t ModeOf(int flags, va_list args) {
  return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
  static const Open real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "open"));
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  return OpenAfterRace(real, path, flags, mode);
}

extern "C" int open64(const char* path, int flags, ...) {
  static const Open real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "open64"));
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  return OpenAfterRace(real, path, flags, mode);
}

extern "C" int close(int fd) {
  using Close = int (*)(int);
  static const Close real = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "close"));
  char name[4096] = "";
  const char* fails = std::getenv("VESKOR_TEST_CLOSE_FAILS");
  if (fails != nullptr) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), name, sizeof name - 1);
    name[n > 0 ? n : 0] = '\0';
  }
  const int closed = real(fd);
  if (closed != 0 || fails == nullptr || std::strstr(name, fails) == nullptr) return closed;
  if (const char* other = std::getenv("VESKOR_TEST_CLOSE_SWAPS"); other != nullptr) {
    const std::string aside = std::string(name) + ".other";
    const int made = open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (made >= 0) {
      [[maybe_unused]] const ssize_t n = write(made, other, std::strlen(other));
      real(made);
      std::rename(aside.c_str(), name);
    }
  }
  errno = EIO;
  return -1;
}
