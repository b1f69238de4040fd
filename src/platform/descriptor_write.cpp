#include "platform/descriptor_write.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

namespace veskor {

namespace {

constexpr std::chrono::milliseconds kHoldPoll{10};

std::atomic<FileSyncCall> gSync{::fsync};
std::atomic<FileCutCall> gCut{::ftruncate};

bool Fail(std::string* reason, int error) {
  *reason = std::strerror(error);
  return false;
}

// Takes a POSIX record lock of `type` (F_WRLCK, F_RDLCK) on the whole of the regular file that
// `fd` is open on, waiting while another process holds one that stands in its way, up to
// kReplaceHoldSeconds. Such a lock belongs to the process, so that two processes that share one
// descriptor (two runs started with the same `3<>`) are told apart, as locks of the open file
// description would not be; and the process loses it when it closes any descriptor of the
// file: nothing may open or close the file while it is held. A file system that keeps no locks
// is used as it was without them. False with `*reason` set.
bool TakeFileLock(int fd, short type, std::string* reason) {
  const auto due = std::chrono::steady_clock::now() + std::chrono::seconds(kReplaceHoldSeconds);
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;  // from the start to whatever end the file comes to
  for (;;) {
    if (::fcntl(fd, F_SETLK, &lock) == 0) return true;
    if (errno == EINTR) continue;
    if (errno == EBADF) return Fail(reason, errno);       // not open for the access the lock needs
    if (errno != EACCES && errno != EAGAIN) return true;  // ENOLCK, EINVAL: no locks there
    if (std::chrono::steady_clock::now() >= due) {
      struct flock holder = lock;
      if (::fcntl(fd, F_GETLK, &holder) == 0 && holder.l_type == F_UNLCK) continue;  // let go
      *reason = "another process";
      if (holder.l_pid > 0) *reason += " (pid " + std::to_string(holder.l_pid) + ")";
      *reason +=
          " has held the file for more than " + std::to_string(kReplaceHoldSeconds) + " seconds";
      return false;
    }
    std::this_thread::sleep_for(kHoldPoll);
  }
}

// The write lock of TakeFileLock, let go when the object goes.
class FileHold {
 public:
  FileHold() = default;
  FileHold(const FileHold&) = delete;
  FileHold& operator=(const FileHold&) = delete;
  ~FileHold() {
    if (fd_ < 0) return;
    struct flock lock {};
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    ::fcntl(fd_, F_SETLK, &lock);
  }
  bool Take(int fd, std::string* reason) {
    if (!TakeFileLock(fd, F_WRLCK, reason)) return false;
    fd_ = fd;
    return true;
  }

 private:
  int fd_ = -1;
};

// Whether the regular file that `fd` is open on, now `size` bytes long, may take a text of
// `wanted` bytes written from its start and cut where it ends: a memfd sealed against writing,
// or against the shrinking or growing that the cut would be, and an append-only or immutable
// file refuse it (EPERM, as they would refuse the write or the cut), and are known to before
// the first byte goes in.
bool CanHoldText(int fd, off_t size, std::size_t wanted) {
  const off_t length = static_cast<off_t>(wanted);
  const int seals = ::fcntl(fd, F_GET_SEALS);  // -1 (EINVAL) for a file that takes no seals
  if (seals > 0 && ((seals & (F_SEAL_WRITE | F_SEAL_FUTURE_WRITE)) != 0 ||
                    ((seals & F_SEAL_SHRINK) != 0 && length < size) ||
                    ((seals & F_SEAL_GROW) != 0 && length > size))) {
    errno = EPERM;
    return false;
  }
  int flags = 0;  // the inode's flags, where the file system keeps them
  if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
      (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0) {
    errno = EPERM;
    return false;
  }
  return true;
}

// Gives the holes of `fd`'s file (blocks never written, which read as zeros) that lie before
// `end`, no further than its length, their blocks by writing zeros into them, found with
// SEEK_HOLE and SEEK_DATA: the text stays as it was, and a write over it later needs no new
// room, as a write into a hole would. False with errno set (ENOSPC).
bool FillHoles(int fd, off_t end) {
  static constexpr char kZeros[65536] = {};
  for (off_t at = 0; at < end;) {
    const off_t hole = ::lseek(fd, at, SEEK_HOLE);
    if (hole < 0) return false;
    if (hole >= end) return true;
    const off_t data = ::lseek(fd, hole, SEEK_DATA);  // ENXIO: the hole runs to the file's end
    if (data < 0 && errno != ENXIO) return false;
    at = data < 0 ? end : std::min(data, end);
    if (::lseek(fd, hole, SEEK_SET) != hole) return false;
    for (off_t from = hole; from < at;) {
      const auto n = static_cast<std::size_t>(std::min<off_t>(at - from, sizeof kZeros));
      if (!WriteWhole(fd, std::string_view(kZeros, n))) return false;
      from += static_cast<off_t>(n);
    }
  }
  return true;
}

// Takes the room for `text` written from the start of `fd`'s file, now `size` bytes long, where
// the file system cannot reserve it (EOPNOTSUPP: ext2, ext3, NFS before 4.2): the holes in the
// part of the old file that the text will cover get their blocks, the part of the text that
// lies past the old end is written first, at the old end, and the file is cut back to its old
// length when either does not go in, so that a refusal comes before any byte of the old text
// changes. The rest of the text needs no new room where the file system overwrites in place.
// False with errno set (ENOSPC).
bool TakeRoomWithoutReserving(int fd, off_t size, std::string_view text) {
  const std::size_t old = std::min(static_cast<std::size_t>(size), text.size());
  if (FillHoles(fd, static_cast<off_t>(old)) && ::lseek(fd, size, SEEK_SET) == size &&
      WriteWhole(fd, text.substr(old)))
    return true;
  const int error = errno;
  (void)!::ftruncate(fd, size);
  errno = error;
  return false;
}

// Makes sure that the file system has room for `text` written from the start of `fd`'s file,
// now `size` bytes long, before any of its bytes changes, so that the write cannot stop
// half-way for want of room: reserved without changing the file, or taken by writing where the
// file system cannot reserve. False with errno set (ENOSPC).
bool ReserveRoom(int fd, off_t size, std::string_view text) {
  if (text.empty()) return true;
  while (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(text.size())) != 0) {
    if (errno == EINTR) continue;
    return (errno == EOPNOTSUPP || errno == ENOSYS) && TakeRoomWithoutReserving(fd, size, text);
  }
  return true;
}

// The descriptor `fd` with O_APPEND taken off its open file description while the object lives,
// then given back as it was: an appending descriptor (`>>`) writes from the start so, without
// being emptied first. An append-only file refuses it (EPERM).
class AppendSuspended {
 public:
  explicit AppendSuspended(int fd) : fd_(fd), flags_(::fcntl(fd, F_GETFL)) {
    ok_ =
        flags_ >= 0 && ((flags_ & O_APPEND) == 0 || ::fcntl(fd, F_SETFL, flags_ & ~O_APPEND) == 0);
  }
  AppendSuspended(const AppendSuspended&) = delete;
  AppendSuspended& operator=(const AppendSuspended&) = delete;
  ~AppendSuspended() {
    if (ok_ && (flags_ & O_APPEND) != 0) ::fcntl(fd_, F_SETFL, flags_);
  }
  bool ok() const { return ok_; }

 private:
  int fd_, flags_;
  bool ok_ = false;
};

// The whole write of WriteWholeThrough within the save's turn, the signals held from before its
// first byte unless the save holds them already (`signalsHeld`).
bool WriteWholeInTurn(int fd, std::string_view text, std::string* reason, bool signalsHeld) {
  FileHold hold;
  if (!hold.Take(fd, reason)) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !CanHoldText(fd, st.st_size, text.size()))
    return Fail(reason, errno);
  if (!WithinFileSizeLimit(text.size())) return Fail(reason, EFBIG);
  std::optional<SignalsDeferred> whole;  // from before the first byte, until the cut is done
  if (!signalsHeld) whole.emplace();
  const AppendSuspended fromTheStart(fd);  // given back before the hold is let go
  if (!fromTheStart.ok() || !ReserveRoom(fd, st.st_size, text) || ::lseek(fd, 0, SEEK_SET) != 0)
    return Fail(reason, errno);
  int failure = 0;
  return WriteThrough(fd, text, &failure) || Fail(reason, failure);
}

}  // namespace

bool WriteWhole(int fd, std::string_view s) {
  while (!s.empty()) {
    const ssize_t n = ::write(fd, s.data(), s.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;
      return false;
    }
    s.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool WriteWholeHoldingPipe(int fd, std::string_view s) {
  sigset_t pipe, old, pending;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  ::pthread_sigmask(SIG_BLOCK, &pipe, &old);
  sigpending(&pending);
  const bool heldBefore = sigismember(&pending, SIGPIPE) == 1;
  const bool ok = WriteWhole(fd, s);
  const int failure = ok ? 0 : errno;
  if (!ok && failure == EPIPE && !heldBefore) {
    const timespec now{};
    while (::sigtimedwait(&pipe, nullptr, &now) < 0 && errno == EINTR) {
    }
  }
  ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
  errno = failure;
  return ok;
}

bool WriteThrough(int fd, std::string_view text, int* failure) {
  // A reader that has gone ends the write with its reason, not the program with SIGPIPE.
  bool ok = WriteWholeHoldingPipe(fd, text);
  *failure = ok ? 0 : errno;
  struct stat st {};
  if (!ok || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return ok;
  if ((::fcntl(fd, F_GETFL) & O_APPEND) == 0) {
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    ok = end >= 0 && gCut.load()(fd, end) == 0;
  }
  ok = ok && SyncFile(fd) == 0;
  *failure = ok ? 0 : errno;
  return ok;
}

bool WriteWholeThrough(int fd, std::string_view text, std::string* reason) {
  const SaveTurn turn;
  return turn.Taken(reason) && WriteWholeInTurn(fd, text, reason, false);
}

bool WriteWholeThroughWithinSave(int fd, std::string_view text, std::string* reason) {
  return WriteWholeInTurn(fd, text, reason, true);
}

bool WithinFileSizeLimit(std::size_t size) {
  struct rlimit limit {};
  return ::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
         size <= limit.rlim_cur;
}

bool HoldFileForReading(int fd, std::string* reason) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return true;
  return TakeFileLock(fd, F_RDLCK, reason);
}

int SyncFile(int fd) { return gSync.load()(fd); }

FileSyncCall SetReplaceSyncCall(FileSyncCall call) { return gSync.exchange(call); }

FileCutCall SetReplaceCutCall(FileCutCall call) { return gCut.exchange(call); }

}  // namespace veskor
