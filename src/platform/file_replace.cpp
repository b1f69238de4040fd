#include "platform/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/file_open.h"

namespace veskor {

namespace {

constexpr time_t kStaleSeconds = 60;
constexpr int kMaxLinks = 40;  // the kernel's own bound on the links of one path
constexpr int kNameAttempts = 100;
constexpr long long kBeyondDescriptors = static_cast<long long>(INT_MAX) + 1;
constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::chrono::milliseconds kHoldPoll{10};

std::atomic<FileSyncCall> gSync{::fsync};
std::atomic<FileCutCall> gCut{::ftruncate};
void RandomLetters(char* out);
std::atomic<TemporaryLettersCall> gLetters{RandomLetters};
void NoStep(ReplaceStep) {}
std::atomic<ReplaceStepCall> gStep{NoStep};

bool Fail(std::string* reason, int error) {
  *reason = std::strerror(error);
  return false;
}

// The refusal of a file that is not a regular one, which `st` tells of, opened as `fd` (or -1):
// a directory as the system refuses its write, anything else as what it is.
bool RefuseNotRegular(const struct stat& st, int fd, const std::string& path, std::string* reason) {
  if (S_ISDIR(st.st_mode)) return Fail(reason, EISDIR);
  const char* kind = fd >= 0 ? OpenedFileKind(fd, st) : FileKindAt(path);
  *reason = NotRegularFileReason(kind != nullptr ? kind : FileKindOf(st, false));
  return false;
}

// Whether a file of `size` bytes may be written under the process's file-size limit
// (RLIMIT_FSIZE, `ulimit -f`): a write past it takes only the bytes below it, then fails (EFBIG),
// and raises SIGXFSZ, which ends the process by default.
bool WithinFileSizeLimit(std::size_t size) {
  struct rlimit limit {};
  return ::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
         size <= limit.rlim_cur;
}

// The turn that saves take between the threads of a run, each waiting for it up to
// kReplaceHoldSeconds: a record lock does not tell the threads of one process apart (the end of
// a run may save from another thread while a write of its loop is under way), and the signals
// that a save holds off are held for one save at a time (SignalsDeferred). Never destroyed: the
// settings saved at the process's end may come after this file's statics would have gone (a
// mutex's destruction does nothing).
class SaveTurn {
 public:
  SaveTurn() : turn_(Lock(), std::chrono::seconds(kReplaceHoldSeconds)) {}
  // False with `*reason` set when another thread's save kept the turn past the wait.
  bool Taken(std::string* reason) const {
    if (turn_.owns_lock()) return true;
    *reason = "another thread's save has gone on for more than " +
              std::to_string(kReplaceHoldSeconds) + " seconds";
    return false;
  }

 private:
  static std::timed_mutex& Lock() {
    static std::timed_mutex& lock = *new std::timed_mutex;
    return lock;
  }
  std::unique_lock<std::timed_mutex> turn_;
};

// The folder of `path` with its '/', "" for a bare name.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The folder as a message names it: "." for a bare name, "/" for the root.
std::string FolderName(const std::string& path) {
  std::string dir = FolderOf(path);
  if (dir.empty()) return ".";
  if (dir.size() > 1) dir.pop_back();
  return dir;
}

// The prefix of the temporaries' names of `path`, ".<name>.veskor-tmp-", with its folder.
std::string TemporaryPrefix(const std::string& path) {
  return FolderOf(path) + "." + path.substr(FolderOf(path).size()) +
         std::string(kReplaceTemporaryTag);
}

// The name that the symbolic link `*path` points to, in its place; a relative link is read from
// the link's own folder. False with errno set.
bool ReadLinkTarget(std::string* path) {
  char target[PATH_MAX];
  const ssize_t n = ::readlink(path->c_str(), target, sizeof target);
  if (n < 0) return false;
  if (static_cast<std::size_t>(n) == sizeof target) {
    errno = ENAMETOOLONG;
    return false;
  }
  const std::string text(target, static_cast<std::size_t>(n));
  *path = text.starts_with('/') ? text : FolderOf(*path) + text;
  return true;
}

// The name at the end of the chain of symbolic links that starts at `path`; it need not exist.
// False with errno set.
bool FollowLinks(std::string path, std::string* end) {
  for (int links = 0;; ++links) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 && errno != ENOENT) return false;
    if (!S_ISLNK(st.st_mode)) {
      *end = path;
      return true;
    }
    if (links == kMaxLinks) {
      errno = ELOOP;
      return false;
    }
    if (!ReadLinkTarget(&path)) return false;
  }
}

// Whether `name` is a number as the kernel writes one: decimal digits, without a leading zero.
bool IsKernelNumber(std::string_view name) {
  return !name.empty() && (name == "0" || name[0] != '0') &&
         name.find_first_not_of("0123456789") == std::string_view::npos;
}

// The number that `digits` write, or kBeyondDescriptors for any past INT_MAX: never wrapped.
long long DescriptorNumber(std::string_view digits) {
  long long n = 0;
  for (const char digit : digits) n = std::min(n * 10 + (digit - '0'), kBeyondDescriptors);
  return n;
}

// Whether `folder` ("" the current one) is a descriptor folder of the process's own, however it
// is named: /proc/<pid>/fd, or /proc/<pid>/task/<tid>/fd of one of its threads (/dev/fd,
// /proc/self/fd, /proc/thread-self/fd and /proc/<tid>/fd lead there).
bool IsOwnDescriptorFolder(const std::string& folder) {
  char real[PATH_MAX];
  if (::realpath(folder.empty() ? "." : folder.c_str(), real) == nullptr) return false;
  std::string_view p = real;
  constexpr std::string_view kProc = "/proc/", kFd = "/fd", kTask = "/task/";
  if (!p.starts_with(kProc) || !p.ends_with(kFd)) return false;
  p = p.substr(kProc.size(), p.size() - kProc.size() - kFd.size());  // <id> or <id>/task/<id>
  std::string_view task = p;
  if (const std::size_t at = p.find(kTask); at != std::string_view::npos) {
    if (!IsKernelNumber(p.substr(0, at))) return false;
    task = p.substr(at + kTask.size());
  }
  // The process's own task folder lists its threads, and only them.
  struct stat st {};
  return IsKernelNumber(task) && ::stat(("/proc/self/task/" + std::string(task)).c_str(), &st) == 0;
}

// The descriptor of the process's own that `path` reaches its file through: /dev/stdout,
// /dev/fd/N, /proc/self/fd/N, /proc/<its pid>/fd/N, or a link to one of them, that is a name in
// the chain of links whose folder is one of the process's descriptor folders. Its number (one
// past INT_MAX for any larger, which no descriptor has), or -1 for any other name.
long long OwnDescriptor(std::string path) {
  for (int links = 0; links <= kMaxLinks; ++links) {
    const std::string dir = FolderOf(path);
    const std::string_view name = std::string_view(path).substr(dir.size());
    if (IsKernelNumber(name) && IsOwnDescriptorFolder(dir)) return DescriptorNumber(name);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || !ReadLinkTarget(&path))
      return -1;
  }
  return -1;
}

// The descriptors open when the process started (those its starter's redirections made) and
// the files they were open on (NoteGivenDescriptors).
struct GivenDescriptor {
  int fd;
  dev_t device;
  ino_t inode;
};
// Never destroyed (a mutex's destruction does nothing): the settings saved at the process's end
// may be written through a descriptor after this file's statics would have gone.
std::mutex gGivenLock;
std::vector<GivenDescriptor>& gGiven = *new std::vector<GivenDescriptor>;

// Whether `fd` is one the process was given at its start, and still on the same file.
bool WasGiven(long long fd) {
  struct stat st {};
  if (fd > INT_MAX || ::fstat(static_cast<int>(fd), &st) != 0) return false;
  const std::lock_guard<std::mutex> lock(gGivenLock);
  return std::any_of(gGiven.begin(), gGiven.end(), [&](const GivenDescriptor& given) {
    return given.fd == fd && given.device == st.st_dev && given.inode == st.st_ino;
  });
}

// Taken as the process starts, before it opens any descriptor of its own.
[[maybe_unused]] const bool gGivenNoted = (NoteGivenDescriptors(), true);

// Six letters or digits, unpredictable enough that the names of two writers do not meet.
void RandomLetters(char* out) {
  unsigned char bytes[kReplaceTemporaryLetters];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    static std::atomic<unsigned long> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    unsigned long mix = static_cast<unsigned long>(now.tv_nsec) ^
                        (static_cast<unsigned long>(::getpid()) << 20) ^ (counter++ * 2654435761u);
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(mix);
      mix = mix * 6364136223846793005ul + 1442695040888963407ul;
      b ^= static_cast<unsigned char>(mix >> 33);
    }
  }
  for (std::size_t i = 0; i < kReplaceTemporaryLetters; ++i)
    out[i] = kLetters[bytes[i] % (sizeof kLetters - 1)];
}

// Makes a fresh temporary for `path` beside it, opened for writing with `mode` less the umask
// (which the kernel applies: the process's umask is never changed). -1 with errno set when none
// can be made.
int MakeTemporary(const std::string& path, mode_t mode, std::string* temp) {
  *temp = TemporaryPrefix(path) + std::string(kReplaceTemporaryLetters, 'X');
  char* letters = temp->data() + temp->size() - kReplaceTemporaryLetters;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    gLetters.load()(letters);
    const int fd = ::open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Whether `folder` ("" the current one) is append-only (chattr +a), where the file system keeps
// such flags: a file can be made in it, and never unlinked or renamed over another, so that a
// temporary made there could never go.
bool IsAppendOnlyFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int flags = 0;
  const bool appendOnly =
      fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_APPEND_FL) != 0;
  if (fd >= 0) ::close(fd);
  return appendOnly;
}

// Gives the temporary `fd` the owner and group of the file `old` that it replaces, where it was
// made with others (another user's file saved by root, a folder whose set-gid bit gave it the
// folder's group): before its mode is set, which a change of owner may clear the set-id bits
// of. False with errno set (EPERM) when the process may not give a file that owner or group.
bool TakeOwnerOf(int fd, const struct stat& old) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  return (st.st_uid == old.st_uid && st.st_gid == old.st_gid) ||
         ::fchown(fd, old.st_uid, old.st_gid) == 0;
}

// The names of the extended attributes of `file` (its links not followed), each ending with a
// zero byte: none where the file system keeps none. False with errno set.
bool AttributeNames(const std::string& file, std::string* names) {
  for (;;) {
    const ssize_t size = ::llistxattr(file.c_str(), nullptr, 0);
    if (size < 0 && (errno == ENOTSUP || errno == ENOSYS)) {
      names->clear();
      return true;
    }
    if (size < 0) return false;
    names->resize(static_cast<std::size_t>(size));
    if (size == 0) return true;  // asked for with no room, the list's size would come back
    const ssize_t n = ::llistxattr(file.c_str(), names->data(), names->size());
    if (n >= 0) {
      names->resize(static_cast<std::size_t>(n));
      return true;
    }
    if (errno != ERANGE) return false;  // ERANGE: one came meanwhile
  }
}

// The value of the attribute `name` of `file`, or of `fd` when it is 0 or more. False with errno
// set: ENODATA when there is none.
bool AttributeValue(const std::string& file, int fd, const char* name, std::string* value) {
  const auto get = [&](void* to, std::size_t size) {
    return fd >= 0 ? ::fgetxattr(fd, name, to, size) : ::lgetxattr(file.c_str(), name, to, size);
  };
  for (;;) {
    const ssize_t size = get(nullptr, 0);
    if (size < 0) return false;
    value->resize(static_cast<std::size_t>(size));
    if (size == 0) return true;  // as for the names
    const ssize_t n = get(value->data(), value->size());
    if (n >= 0) {
      value->resize(static_cast<std::size_t>(n));
      return true;
    }
    if (errno != ERANGE) return false;
  }
}

// Gives the temporary `fd` the extended attributes of the file `old` that it replaces: its
// access ACL (system.posix_acl_access, which sets the permission bits that its mask and entries
// stand for, as the old file's are), its `user.*` ones, and those of other namespaces that the
// process may read. After the text, whose write may clear some (security.capability), and after
// the mode, whose change rewrites an ACL's mask. A temporary made in a folder with a default ACL
// has an access ACL from it: taken off where the old file had none, the mode then staying as it
// was set. An attribute that the temporary has already, with the same value (an LSM's label),
// is not given again. False with errno set when one cannot be given or taken off: the
// replace is then not done.
bool TakeAttributesOf(int fd, const std::string& old) {
  static constexpr char kAccessAcl[] = "system.posix_acl_access";
  std::string names, value, had;
  if (!AttributeNames(old, &names)) return false;
  bool oldHasAcl = false;
  for (std::size_t at = 0; at < names.size(); at += std::strlen(names.data() + at) + 1) {
    const char* name = names.data() + at;
    oldHasAcl = oldHasAcl || std::strcmp(name, kAccessAcl) == 0;
    if (!AttributeValue(old, -1, name, &value)) {
      if (errno == ENODATA) continue;  // taken off meanwhile
      return false;
    }
    if (AttributeValue(old, fd, name, &had) && had == value) continue;
    if (::fsetxattr(fd, name, value.data(), value.size(), 0) != 0) return false;
  }
  return oldHasAcl || ::fremovexattr(fd, kAccessAcl) == 0 || errno == ENODATA || errno == ENOTSUP ||
         errno == ENOSYS;
}

void RemoveStaleTemporaries(const std::string& path) {
  const std::string prefix = TemporaryPrefix(path);
  const std::string dir = FolderOf(path);
  const std::string_view namePrefix = std::string_view(prefix).substr(dir.size());
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return;
  const time_t before = std::time(nullptr) - kStaleSeconds;
  while (const dirent* e = ::readdir(d)) {
    const std::string_view name = e->d_name;
    if (name.size() != namePrefix.size() + kReplaceTemporaryLetters ||
        !name.starts_with(namePrefix))
      continue;
    bool ours = true;
    for (char c : name.substr(namePrefix.size()))
      ours = ours && std::isalnum(static_cast<unsigned char>(c));
    struct stat st {};
    const std::string file = dir + std::string(name);
    if (ours && ::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime < before)
      ::unlink(file.c_str());
  }
  ::closedir(d);
}

// Writes `text` through the open descriptor `fd`, as any output of the process goes: from its
// offset, or at the end when it appends. A regular file is cut where the text ends, unless it is
// appended to, and flushed to the disk. False with `*failure` set to the system's reason.
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
  ok = ok && gSync.load()(fd) == 0;
  *failure = ok ? 0 : errno;
  return ok;
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

// Whether `signal` ends a process by default (terminates it, or dumps its core): all but those
// that stop it or are ignored, and SIGKILL, which nothing can hold.
bool EndsByDefault(int signal) {
  switch (signal) {
    case SIGKILL:
    case SIGSTOP:
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
    case SIGCHLD:
    case SIGCONT:
    case SIGURG:
    case SIGWINCH: return false;
    default: return true;
  }
}

// Whether `signal` is one that the kernel raises in a thread for a fault of its own (si_code
// above 0), which no handler can put off: the faulting instruction cannot go on.
bool IsFault(int signal) {
  return signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL ||
         signal == SIGTRAP || signal == SIGSYS;
}

// The signals held off by SignalsDeferred: whether the hold is on, which came meanwhile, and
// the actions (SIG_DFL) that it stood in for.
std::atomic<bool> gDeferring{false};
std::atomic<bool> gDeferredCame[_NSIG];
struct sigaction gDeferredWere[_NSIG];
bool gDeferred[_NSIG];

// Stands in for the default action of a signal while SignalsDeferred holds: it notes the signal,
// to be sent again once the save is whole. A fault that the kernel raised, or a signal that
// comes as the hold ends, takes its default action at once. Safe in a signal handler.
void OnDeferredSignal(int signal, siginfo_t* info, void*) {
  if ((!IsFault(signal) || info->si_code <= 0) && DeferSentSignalDuringSave(signal)) return;
  struct sigaction end {};
  end.sa_handler = SIG_DFL;
  ::sigaction(signal, &end, nullptr);
  ::raise(signal);  // taken, with its default action, as the handler returns: the end
}

// Holds off, while the object lives, every signal that would end the process by its default
// action (SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, SIGPIPE, real-time signals, a SIGSEGV sent by
// kill, ...), so that a save once begun ends whole; each that came is then sent to the process
// again, and ends it as it would have. A process-directed signal goes to any thread that does
// not block it: so this thread blocks every signal, and each whose action is the default gets
// OnDeferredSignal for the time, wherever it lands. Signals with a handler of the program's
// own (or a sanitizer's), or ignored, are left as they are; a fault that the kernel raises ends
// the process at once (in this thread, blocked, the kernel takes its default action itself).
// One at a time: the saves' turn (SaveTurn) keeps them apart.
class SignalsDeferred {
 public:
  SignalsDeferred() {
    sigset_t all{};
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &mask_);
    for (auto& came : gDeferredCame) came.store(false);
    gDeferring.store(true);
    struct sigaction note {};
    note.sa_sigaction = OnDeferredSignal;
    note.sa_flags = SA_SIGINFO | SA_RESTART;  // other threads' calls go on as they would have
    for (int signal = 1; signal <= SIGRTMAX; ++signal)
      gDeferred[signal] =
          EndsByDefault(signal) && ::sigaction(signal, nullptr, &gDeferredWere[signal]) == 0 &&
          gDeferredWere[signal].sa_handler == SIG_DFL && ::sigaction(signal, &note, nullptr) == 0;
  }
  SignalsDeferred(const SignalsDeferred&) = delete;
  SignalsDeferred& operator=(const SignalsDeferred&) = delete;
  ~SignalsDeferred() {
    gDeferring.store(false);
    for (int signal = 1; signal <= SIGRTMAX; ++signal) {
      struct sigaction now {};
      if (gDeferred[signal] && ::sigaction(signal, nullptr, &now) == 0 &&
          now.sa_sigaction == OnDeferredSignal)  // not one the program has set since
        ::sigaction(signal, &gDeferredWere[signal], nullptr);
    }
    ::pthread_sigmask(SIG_SETMASK, &mask_, nullptr);  // those sent to this thread come now
    for (int signal = 1; signal <= SIGRTMAX; ++signal)
      if (gDeferredCame[signal].load()) ::kill(::getpid(), signal);
  }

 private:
  sigset_t mask_;
};

// Writes `text` as the whole of the regular file that `fd` is open on, whatever the descriptor's
// mode (`>`, `<>`, `>>`) or offset. The file is held for this thread from the readying to the
// cut (FileHold against other processes), and everything the write and the cut need is known
// possible before the first byte goes in, so that a write that cannot finish (a full disk, a
// sealed or append-only file, a text past the file-size limit) leaves the old text as it was; a
// signal that would end the process meanwhile waits for the cut (SignalsDeferred). False with
// `*reason` set.
bool WriteWholeThrough(int fd, std::string_view text, std::string* reason) {
  const SaveTurn turn;
  if (!turn.Taken(reason)) return false;
  FileHold hold;
  if (!hold.Take(fd, reason)) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !CanHoldText(fd, st.st_size, text.size()))
    return Fail(reason, errno);
  if (!WithinFileSizeLimit(text.size())) return Fail(reason, EFBIG);
  const SignalsDeferred whole;             // from before the first byte, until the cut is done
  const AppendSuspended fromTheStart(fd);  // given back before the hold is let go
  if (!fromTheStart.ok() || !ReserveRoom(fd, st.st_size, text) || ::lseek(fd, 0, SEEK_SET) != 0)
    return Fail(reason, errno);
  int failure = 0;
  return WriteThrough(fd, text, &failure) || Fail(reason, failure);
}

// Writes `text` into what `path` names as it stands, a FIFO or a device: it cannot be replaced,
// and a reader waits on it. With kRefused, what the name reaches is first opened as a place only
// (O_PATH: no wait for a FIFO's reader, no device opened), and written only when that is a
// regular file, reopened through that descriptor; anything else is refused as what it is,
// whatever took the file's place since the name was looked at.
bool WriteInPlace(const std::string& path, std::string_view text, std::string* reason,
                  NotRegularFile notRegular) {
  int fd = -1;
  if (notRegular == NotRegularFile::kRefused) {
    const int found = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    struct stat st {};
    if (found < 0 || ::fstat(found, &st) != 0) return Fail(reason, errno);
    if (!S_ISREG(st.st_mode)) {
      RefuseNotRegular(st, found, path, reason);
      ::close(found);
      return false;
    }
    fd = ::open(("/proc/self/fd/" + std::to_string(found)).c_str(),
                O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    const int error = errno;
    ::close(found);
    errno = error;
  } else {
    fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
  }
  if (fd < 0) return Fail(reason, errno);
  int failure = 0;
  bool ok = WriteThrough(fd, text, &failure);
  if (::close(fd) != 0 && ok) {
    ok = false;
    failure = errno;
  }
  return ok || Fail(reason, failure);
}

}  // namespace

bool DeferSentSignalDuringSave(int signal) {
  if (signal <= 0 || signal >= _NSIG || !gDeferring.load()) return false;
  // Noted before the hold is looked at again: either the hold's end sees the note, or this
  // sees the hold ended, and the caller ends the process itself.
  gDeferredCame[signal].store(true);
  return gDeferring.load();
}

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

void NoteGivenDescriptors() {
  std::vector<GivenDescriptor> given;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (const dirent* e = ::readdir(d)) {
      const std::string_view name = e->d_name;
      const long long fd = IsKernelNumber(name) ? DescriptorNumber(name) : kBeyondDescriptors;
      struct stat st {};
      if (fd < kBeyondDescriptors && fd != ::dirfd(d) && ::fstat(static_cast<int>(fd), &st) == 0)
        given.push_back({static_cast<int>(fd), st.st_dev, st.st_ino});
    }
    ::closedir(d);
  }
  const std::lock_guard<std::mutex> lock(gGivenLock);
  gGiven = std::move(given);
}

bool HoldFileForReading(int fd, std::string* reason) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return true;
  return TakeFileLock(fd, F_RDLCK, reason);
}

FileSyncCall SetReplaceSyncCall(FileSyncCall call) { return gSync.exchange(call); }

FileCutCall SetReplaceCutCall(FileCutCall call) { return gCut.exchange(call); }

TemporaryLettersCall SetReplaceLettersCall(TemporaryLettersCall call) {
  return gLetters.exchange(call);
}

ReplaceStepCall SetReplaceStepCall(ReplaceStepCall call) { return gStep.exchange(call); }

bool ReplaceFileWhole(const std::string& path, std::string_view text, std::string* reason,
                      ThroughDescriptor through, NotRegularFile notRegular) {
  if (path.empty()) return Fail(reason, ENOENT);
  const bool inPlace = notRegular == NotRegularFile::kWrittenInPlace;
  // A file that the process was given open, named through the descriptor (`> out.png` and
  // VESKOR_CAPTURE=/dev/stdout): written in place, whatever its folder allows. Any other
  // descriptor is none of the user's: one the process opened itself (an X connection, a
  // descriptor its starter left closed) is refused as a shell refuses it.
  if (const long long given = OwnDescriptor(path); given >= 0) {
    if (!WasGiven(given)) return Fail(reason, EBADF);
    const int fd = static_cast<int>(given);
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!regular && !inPlace) return RefuseNotRegular(st, fd, path, reason);
    if (through == ThroughDescriptor::kWholeFile && regular)
      return WriteWholeThrough(fd, text, reason);
    int failure = 0;  // a pipe or a device, or a capture: as the descriptor stands
    return WriteThrough(fd, text, &failure) || Fail(reason, failure);
  }
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return Fail(reason, errno);
  if (exists && !S_ISREG(st.st_mode)) {
    return inPlace ? WriteInPlace(path, text, reason, notRegular)
                   : RefuseNotRegular(st, -1, path, reason);
  }
  // The file itself, at the end of the path's links: it is replaced in its own folder, and a
  // link to it stays a link.
  std::string file;
  if (!FollowLinks(path, &file)) return Fail(reason, errno);
  struct stat end {};
  const bool endExists = ::lstat(file.c_str(), &end) == 0;
  if (endExists != exists || (exists && (end.st_dev != st.st_dev || end.st_ino != st.st_ino))) {
    // A link that the kernel follows otherwise than its text reads (another process's
    // descriptor under /proc, its file deleted): the file is written where the kernel finds it.
    return WriteInPlace(path, text, reason, notRegular);
  }
  // The rename needs only the folder's permission: a file that the user has made read-only
  // stays as it is.
  if (exists && ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0)
    return Fail(reason, errno);
  if (!WithinFileSizeLimit(text.size())) return Fail(reason, EFBIG);
  if (IsAppendOnlyFolder(FolderOf(file))) return Fail(reason, EPERM);
  const SaveTurn turn;
  if (!turn.Taken(reason)) return false;
  bool ok = false;
  int failure = 0;
  {
    // From the temporary's making to its rename or removal, so that a signal never leaves it.
    const SignalsDeferred whole;
    std::string temp;
    const int fd = MakeTemporary(file, exists ? 0600 : 0666, &temp);
    if (fd < 0) {
      *reason = "cannot make a file in " + FolderName(file) + ": " + std::strerror(errno);
      return false;
    }
    const auto step = [](ReplaceStep next) {
      gStep.load()(next);
      return true;
    };
    ok = (!exists || TakeOwnerOf(fd, st)) && step(ReplaceStep::kWrite) && WriteWhole(fd, text) &&
         (!exists || (step(ReplaceStep::kMode) && ::fchmod(fd, st.st_mode & 07777) == 0 &&
                      step(ReplaceStep::kAttributes) && TakeAttributesOf(fd, file))) &&
         step(ReplaceStep::kSync) && gSync.load()(fd) == 0;
    failure = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
      ok = false;
      failure = errno;
    }
    if (ok && step(ReplaceStep::kRename) && std::rename(temp.c_str(), file.c_str()) != 0) {
      ok = false;
      failure = errno;
    }
    if (!ok) ::unlink(temp.c_str());
  }
  if (!ok) return Fail(reason, failure);
  RemoveStaleTemporaries(file);
  return true;
}

}  // namespace veskor
