#include "platform/file_open.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace veskor {

namespace {

int OpenCall(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

std::atomic<FileOpenCall> gOpen{OpenCall};

bool OnPipeFs(int fd) {
  struct statfs fs {};
  return ::fstatfs(fd, &fs) == 0 && fs.f_type == PIPEFS_MAGIC;
}

}  // namespace

const char* FileKindOf(const struct stat& st, bool onPipeFs) {
  if (S_ISREG(st.st_mode)) return nullptr;
  if (S_ISDIR(st.st_mode)) return "a directory";
  if (S_ISFIFO(st.st_mode)) return onPipeFs ? "a pipe" : "a FIFO";
  return S_ISSOCK(st.st_mode) ? "a socket" : "a device";  // of characters or blocks: none else
}

const char* OpenedFileKind(int fd, const struct stat& st) {
  return FileKindOf(st, S_ISFIFO(st.st_mode) && OnPipeFs(fd));
}

const char* FileKindAt(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return nullptr;
  // The file system tells a pipe (`3< <(cat registry)`, /dev/fd/3) from a FIFO in a folder.
  struct statfs fs {};
  return FileKindOf(st, S_ISFIFO(st.st_mode) && ::statfs(path.c_str(), &fs) == 0 &&
                            fs.f_type == PIPEFS_MAGIC);
}

std::string NotRegularFileReason(const char* kind) {
  return std::string("it is ") + kind + ", not a regular file";
}

bool FileOpenFailure::Missing() const {
  return kind == nullptr && (error == ENOENT || error == ENOTDIR);
}

std::string FileOpenFailure::Reason() const {
  return kind != nullptr ? NotRegularFileReason(kind) : std::strerror(error);
}

int OpenWithoutWaiting(const char* path, int flags, mode_t mode, struct stat* opened,
                       FileOpenFailure* failure) {
  FileOpenFailure why;
  int fd = -1;
  if (path == nullptr) {
    why.error = EFAULT;
  } else {
    const FileOpenCall call = gOpen.load();
    do {
      fd = call(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    why.error = fd < 0 ? errno : 0;
  }
  if (fd >= 0) {
    const int status = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, opened) != 0 || status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
      why.error = errno;
      ::close(fd);
      fd = -1;
    }
  } else if (why.error == ENXIO) {
    // A FIFO that no process reads (opened for writing) or a socket: said as what it is.
    struct stat st {};
    if (::stat(path, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) {
      why.kind = FileKindOf(st, false);
      why.error = 0;
    }
  }
  if (fd < 0 && failure != nullptr) *failure = why;
  return fd;
}

int OpenRegularFileForReading(const char* path, FileOpenFailure* failure, struct stat* opened) {
  struct stat st {};
  const int fd = OpenWithoutWaiting(path, O_RDONLY, 0, &st, failure);
  if (fd < 0) return fd;
  if (S_ISREG(st.st_mode)) {
    if (opened != nullptr) *opened = st;
    return fd;
  }
  if (failure != nullptr) *failure = FileOpenFailure{0, OpenedFileKind(fd, st)};
  ::close(fd);
  return -1;
}

std::FILE* OpenRegularStreamForReading(const char* path, FileOpenFailure* failure,
                                       struct stat* opened) {
  const int fd = OpenRegularFileForReading(path, failure, opened);
  if (fd < 0) return nullptr;
  std::FILE* stream = ::fdopen(fd, "rb");
  if (stream == nullptr) {  // for want of memory
    if (failure != nullptr) *failure = FileOpenFailure{errno, nullptr};
    ::close(fd);
  }
  return stream;
}

FileOpenCall SetFileOpenCall(FileOpenCall call) {
  return gOpen.exchange(call != nullptr ? call : OpenCall);
}

}  // namespace veskor
