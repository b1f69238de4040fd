#include "platform/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/file_links.h"
#include "platform/file_open.h"
#include "platform/given_descriptors.h"
#include "platform/save_signals.h"

namespace veskor {

namespace {

constexpr time_t kStaleSeconds = 60;
constexpr int kNameAttempts = 100;
constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

void RandomLetters(char* out);
std::atomic<TemporaryLettersCall> gLetters{RandomLetters};
void NoStep(ReplaceStep) {}
std::atomic<ReplaceStepCall> gStep{NoStep};
long FolderNameLimit(const char* folder) { return ::pathconf(folder, _PC_NAME_MAX); }
std::atomic<NameLimitCall> gNameLimit{FolderNameLimit};

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

// The folder as a message names it: "." for a bare name, "/" for the root.
std::string FolderName(const std::string& path) {
  std::string dir = FolderOf(path);
  if (dir.empty()) return ".";
  if (dir.size() > 1) dir.pop_back();
  return dir;
}

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
  *temp = ReplaceTemporaryPrefix(path) + std::string(kReplaceTemporaryLetters, 'X');
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
// of. None is asked for when the temporary has them already: a file system that cannot set an
// owner at all (ENOSYS on FUSE vfat) gives every file the same. False with errno set (EPERM,
// ENOSYS) when the process may not give a file that owner or group.
bool TakeOwnerOf(int fd, const struct stat& old) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  return (st.st_uid == old.st_uid && st.st_gid == old.st_gid) ||
         ::fchown(fd, old.st_uid, old.st_gid) == 0;
}

// Gives the temporary `fd` the permission bits of the file `old` that it replaces. Where the
// file system cannot set a mode at all (ENOSYS, EOPNOTSUPP: FUSE vfat), there is none to keep:
// a temporary that has the file's bits already, as such a file system gives every file, goes
// on. False with errno set when it cannot be given them.
bool TakeModeOf(int fd, const struct stat& old) {
  if (::fchmod(fd, old.st_mode & 07777) == 0) return true;
  const int error = errno;
  struct stat st {};
  if ((error == ENOSYS || error == EOPNOTSUPP) && ::fstat(fd, &st) == 0 &&
      (st.st_mode & 07777) == (old.st_mode & 07777))
    return true;
  errno = error;
  return false;
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
  const std::string prefix = ReplaceTemporaryPrefix(path);
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

// Writes `text` into what `own` holds as it stands, a FIFO or a device: it cannot be replaced,
// and a reader waits on it. With kRefused, what the name reaches is first opened as a place only
// (O_PATH: no wait for a FIFO's reader, no device opened), and written only when that is a
// regular file, reopened through that descriptor; anything else is refused as what it is,
// whatever took the file's place since the name was looked at. A regular file is emptied only
// once it is known to be one the run may write (OwnLinksPath::MayWrite).
bool WriteInPlace(const OwnLinksPath& own, std::string_view text, std::string* reason,
                  NotRegularFile notRegular) {
  const std::string& path = own.held();
  int fd = -1;
  if (notRegular == NotRegularFile::kRefused) {
    const int found = ::open(path.c_str(), O_PATH | O_CLOEXEC | own.NoFollow());
    struct stat st {};
    if (found < 0 || ::fstat(found, &st) != 0) return Fail(reason, errno);
    if (!S_ISREG(st.st_mode) || !own.MayWrite(found, reason)) {
      // a link put in the name's place since its links were looked at: never followed
      if (S_ISLNK(st.st_mode)) Fail(reason, ELOOP);
      else if (!S_ISREG(st.st_mode))
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
    fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | own.NoFollow());
    struct stat st {};
    const bool emptied =
        fd < 0 || (own.MayWrite(fd, reason) && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
                                                ::ftruncate(fd, 0) == 0 || Fail(reason, errno)));
    if (!emptied) {
      ::close(fd);
      return false;
    }
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

// Writes `text` whole into the regular file that `own` holds, where the file cannot be replaced
// by a rename: a mount point (a single file bind-mounted, as a container is given its settings).
// Through a descriptor of it, as WriteWholeThrough writes, within the replace's turn and hold on
// signals: the room first, the old text kept when the new one cannot go in. The file keeps its
// owner, mode and attributes, being the same file. False with `*reason` set.
bool WriteWholeInPlace(const OwnLinksPath& own, std::string_view text, std::string* reason) {
  const std::string& file = own.held();
  // No wait for a reader, were a FIFO put there since; no link followed.
  const int fd = ::open(file.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return Fail(reason, errno);
  struct stat st {};
  bool ok = false;
  if (::fstat(fd, &st) != 0)
    Fail(reason, errno);
  else if (!S_ISREG(st.st_mode))
    RefuseNotRegular(st, fd, file, reason);
  else
    ok = own.MayWrite(fd, reason) && WriteWholeThroughWithinSave(fd, text, reason);
  if (::close(fd) != 0 && ok) ok = Fail(reason, errno);
  return ok;
}

}  // namespace

std::string ReplaceTemporaryPrefix(const std::string& path) {
  const std::string folder = FolderOf(path);
  std::string name = path.substr(folder.size());
  // vfat and exFAT give 1530 (255 characters of up to 6 bytes each) and take 255 characters:
  // no name of more than NAME_MAX bytes is ever counted on.
  long longest = gNameLimit.load()(folder.empty() ? "." : folder.c_str());
  if (longest <= 0 || longest > NAME_MAX) longest = NAME_MAX;
  const std::size_t form = 1 + kReplaceTemporaryTag.size() + kReplaceTemporaryLetters;
  std::size_t cut = static_cast<std::size_t>(longest) > form ? longest - form : 0;
  if (name.size() > cut) {
    // Where the cut falls inside a character of a UTF-8 name, that character goes whole.
    for (int back = 0;
         back < 3 && cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80; ++back)
      --cut;
    name.resize(cut);
  }
  return folder + "." + name + std::string(kReplaceTemporaryTag);
}

TemporaryLettersCall SetReplaceLettersCall(TemporaryLettersCall call) {
  return gLetters.exchange(call);
}

ReplaceStepCall SetReplaceStepCall(ReplaceStepCall call) { return gStep.exchange(call); }

NameLimitCall SetReplaceNameLimitCall(NameLimitCall call) { return gNameLimit.exchange(call); }

bool ReplaceFileWhole(const std::string& path, std::string_view text, std::string* reason,
                      ThroughDescriptor through, NotRegularFile notRegular) {
  if (path.empty()) return Fail(reason, ENOENT);
  // Only the run's user's links and root's are followed; the file is replaced by the name that
  // keeps its folder open (file_links.h).
  OwnLinksPath own;
  if (!own.Follow(path, reason)) return false;
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
    return inPlace ? WriteInPlace(own, text, reason, notRegular)
                   : RefuseNotRegular(st, -1, path, reason);
  }
  // The file itself, at the end of the path's links: it is replaced in its own folder, and a
  // link to it stays a link.
  const std::string& file = own.held();
  struct stat end {};
  const bool endExists = ::lstat(file.c_str(), &end) == 0;
  if (endExists != exists || (exists && (end.st_dev != st.st_dev || end.st_ino != st.st_ino))) {
    // A link that the kernel follows otherwise than its text reads (another process's
    // descriptor under /proc, its file deleted): the file is written where the kernel finds it.
    // Anything else is a name changed since its links were looked at: no link is followed.
    return WriteInPlace(own, text, reason, notRegular);
  }
  // The rename needs only the folder's permission: a file that the user has made read-only
  // stays as it is.
  if (exists && ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0)
    return Fail(reason, errno);
  if (!WithinFileSizeLimit(text.size())) return Fail(reason, EFBIG);
  if (IsAppendOnlyFolder(FolderOf(file))) return Fail(reason, EPERM);
  const SaveTurn turn;
  if (!turn.Taken(reason)) return false;
  bool ok = false, mountPoint = false;
  int failure = 0;
  {
    // From the temporary's making to its rename or removal, so that a signal never leaves it.
    const SignalsDeferred whole;
    std::string temp;
    const int fd = MakeTemporary(file, exists ? 0600 : 0666, &temp);
    if (fd < 0) {
      *reason = "cannot make a file in " + FolderName(own.end()) + ": " + std::strerror(errno);
      return false;
    }
    const auto step = [](ReplaceStep next) {
      gStep.load()(next);
      return true;
    };
    // A new file that a run as root makes in another user's folder is that user's.
    if (!exists && !own.GiveMade(fd, reason)) {
      ::unlink(temp.c_str());
      ::close(fd);
      return false;
    }
    ok = (!exists || TakeOwnerOf(fd, st)) && step(ReplaceStep::kWrite) && WriteWhole(fd, text) &&
         (!exists || (step(ReplaceStep::kMode) && TakeModeOf(fd, st) &&
                      step(ReplaceStep::kAttributes) && TakeAttributesOf(fd, file))) &&
         step(ReplaceStep::kSync) && SyncFile(fd) == 0;
    failure = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
      ok = false;
      failure = errno;
    }
    if (ok && step(ReplaceStep::kRename) && std::rename(temp.c_str(), file.c_str()) != 0) {
      failure = errno;
      // A mount point cannot be renamed over: it is written in place, whole, and the reason
      // is that write's. The temporary goes first, so that its room is there for the text
      // where the file lies on the same disk.
      mountPoint = failure == EBUSY;
      ::unlink(temp.c_str());
      ok = mountPoint && WriteWholeInPlace(own, text, reason);
    } else if (!ok) {
      ::unlink(temp.c_str());
    }
  }
  if (!ok) return !mountPoint && Fail(reason, failure);
  RemoveStaleTemporaries(file);
  return true;
}

}  // namespace veskor
