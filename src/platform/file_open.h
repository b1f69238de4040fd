// Opening a file by name without ever waiting on it: every open by name for reading (worlds and
// their includes, images, sounds, the interface texts, the window icon) and the session log's
// open for writing. A FIFO's open never waits for its other end, an open that a signal breaks
// off is made again, and what is not a regular file is told as what it is.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <string>

namespace veskor {

// What a file that is not a regular one is: "a directory", "a FIFO" (one with a name in a
// folder), "a pipe" (one reached through a descriptor's name, /dev/fd/3 given by
// `3< <(cat file)`: `onPipeFs`, its file system being the pipes'), "a socket" or "a device" (of
// characters or blocks). nullptr for a regular file.
const char* FileKindOf(const struct stat& st, bool onPipeFs);

// The same for the file that descriptor `fd` is open on, of fstat `st`.
const char* OpenedFileKind(int fd, const struct stat& st);

// The same for the file at `path` (its links followed), found by stat without opening it (the
// open of a FIFO waits for its other end); nullptr also when there is none.
const char* FileKindAt(const std::string& path);

// The words that refuse a file of that kind: "it is a FIFO, not a regular file".
std::string NotRegularFileReason(const char* kind);

// Why an open failed.
struct FileOpenFailure {
  int error = 0;               // the errno of the call that failed; 0 when refused for its kind
  const char* kind = nullptr;  // what the file is, when it was refused as not a regular file

  // The file is not there: no such file, or a part of its path is no directory. Every other
  // failure is of a file that is there (or may be) and could not be opened.
  bool Missing() const;
  // The system's reason ("Too many open files"), or the refusal of its kind ("it is a FIFO,
  // not a regular file").
  std::string Reason() const;
};

// Opens `path` with `flags` (O_NONBLOCK, O_NOCTTY and O_CLOEXEC added, O_NONBLOCK taken off the
// descriptor again once it is open) without waiting: a FIFO's open does not wait for its other
// end, and an open interrupted by a signal (EINTR) is made again. The descriptor with its fstat
// in `*opened`, or -1 with `*failure` (when given) set. A FIFO without a reader (opened for
// writing) or a socket gives ENXIO: its kind is told too. Whatever kind of file it opened is
// the caller's to judge.
int OpenWithoutWaiting(const char* path, int flags, mode_t mode, struct stat* opened,
                       FileOpenFailure* failure = nullptr);

// Opens the regular file `path` for reading, as OpenWithoutWaiting does: a FIFO, a socket, a
// device or a directory in its place is refused (closed at once), its kind in `*failure`,
// whether it was there at the open or put there between a look at the name and the open. The
// descriptor (blocking), with its fstat in `*opened` when given, or -1.
int OpenRegularFileForReading(const char* path, FileOpenFailure* failure = nullptr,
                              struct stat* opened = nullptr);

// The same as a stream ("rb"), or nullptr.
std::FILE* OpenRegularStreamForReading(const char* path, FileOpenFailure* failure = nullptr,
                                       struct stat* opened = nullptr);

// The open call the functions above make, in place of open(2); tests make it fail or change
// the file just before it. Returns the call it replaces.
using FileOpenCall = int (*)(const char* path, int flags, mode_t mode);
FileOpenCall SetFileOpenCall(FileOpenCall call);

}  // namespace veskor
