#include "platform/file_links.h"

#include <fcntl.h>
#include <limits.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/folder_changers.h"

namespace veskor {

namespace {

// The parts of a path, from `done` (each a folder that is no link, or a name past the last one
// that is there) and `rest` (still to walk, the next one last).
std::string Joined(bool absolute, const std::vector<std::string>& done,
                   const std::vector<std::string>& rest = {}) {
  std::string path = absolute ? "/" : "";
  const auto add = [&](const std::string& part) {
    if (!path.empty() && path.back() != '/') path += '/';
    path += part;
  };
  for (const std::string& part : done) add(part);
  for (auto it = rest.rbegin(); it != rest.rend(); ++it) add(*it);
  return path.empty() ? "." : path;
}

// Puts the parts of `text` on `rest`, its first part last.
void PushParts(const std::string& text, std::vector<std::string>* rest) {
  std::size_t end = text.size();
  while (end > 0) {
    const std::size_t slash = text.rfind('/', end - 1);
    const std::size_t begin = slash == std::string::npos ? 0 : slash + 1;
    if (end > begin) rest->push_back(text.substr(begin, end - begin));
    if (slash == std::string::npos) break;
    end = slash;
  }
}

// Whether `text`, a path or a link's, names a folder whatever is there: it ends with '/', or its
// last part is "." or "..". A file is never made by such a name.
bool NamesAFolder(const std::string& text) {
  return text.ends_with('/') || text == "." || text == ".." || text.ends_with("/.") ||
         text.ends_with("/..");
}

// Opens `folder`, a name with no link in it, from the folder open as `from` (AT_FDCWD: the
// current one, or the root for an absolute name), as a place only, following no link whatever
// took the place of one of its parts meanwhile (ELOOP).
int OpenFolderWithoutLinks(int from, const std::string& folder) {
  open_how how{};
  how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_NO_SYMLINKS;
  const long fd = ::syscall(SYS_openat2, from, folder.c_str(), &how, sizeof how);
  if (fd >= 0 || errno != ENOSYS) return static_cast<int>(fd);
  return ::openat(from, folder.c_str(),
                  O_PATH | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);  // an old kernel
}

std::string DescriptorPlace(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Whether the link open as `link` (O_PATH) is one of the kernel's own: a process's or a
// descriptor's (/proc/self, /proc/self/cwd, /proc/self/root, /proc/self/fd/N), which the kernel
// follows to what it stands for, whatever its text reads.
bool IsKernelsLink(int link) {
  struct statfs fs {};
  return ::fstatfs(link, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

// The inode of a process file system's root folder, which holds the folders of the processes.
constexpr ino_t kProcRootInode = 1;
// The most folders up from the folder of a link of the kernel's own to that of its process or
// thread: /proc/<pid>/cwd is in it, /proc/<pid>/fd/N and /proc/<pid>/task/<tid>/ns/net one below.
constexpr int kProcessFolderDepth = 1;

// The users of a process or of one of its threads, from the "Tgid" and "Uid" lines of its status:
// the process's id, and its real, effective, saved and file system uids.
struct ProcessUsers {
  long long process = -1;
  uid_t uids[4] = {};
};

// The users of the process whose folder under the kernel's process file system holds the folder
// open as `folder`: /proc/<pid>, or a thread's /proc/<pid>/task/<tid>, the nearest of them up
// from `folder`, read through descriptors of those folders (never by their numbers, which another
// process may have been given since). 1 with `*users` set; 0 where the folder is in no process's
// (the file system's root: /proc/self and /proc/mounts are there); -1 with errno set where the
// status cannot be read (the process has ended).
int UsersOfProcessFolder(int folder, ProcessUsers* users) {
  int at = ::openat(folder, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  int status = -1;
  for (int up = 0; status < 0; ++up) {
    struct stat st {};
    if (at >= 0 && ::fstat(at, &st) == 0 && st.st_ino == kProcRootInode) {
      ::close(at);
      return 0;
    }
    if (at >= 0) status = ::openat(at, "status", O_RDONLY | O_CLOEXEC);
    const int error = errno;
    if (at < 0 || (status < 0 && (error != ENOENT || up == kProcessFolderDepth))) {
      if (at >= 0) ::close(at);
      errno = error;
      return -1;
    }
    const int parent = status < 0 ? ::openat(at, "..", O_PATH | O_DIRECTORY | O_CLOEXEC) : -1;
    ::close(at);
    at = parent;
  }
  // The lines wanted are the first few; the kernel gives a status's start whole in one read.
  char text[1024];
  const ssize_t length = ::read(status, text, sizeof text - 1);
  ::close(status);
  text[length > 0 ? length : 0] = '\0';
  const char* process = std::strstr(text, "\nTgid:");
  const char* uids = std::strstr(text, "\nUid:");
  unsigned long ids[4];
  if (process == nullptr || uids == nullptr ||
      std::sscanf(process, "\nTgid: %lld", &users->process) != 1 ||
      std::sscanf(uids, "\nUid: %lu %lu %lu %lu", &ids[0], &ids[1], &ids[2], &ids[3]) != 4) {
    errno = ESRCH;
    return -1;
  }
  for (int i = 0; i < 4; ++i) users->uids[i] = static_cast<uid_t>(ids[i]);
  return 1;
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

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

void RemoveIfStill(const std::string& name, const struct stat& made) {
  struct stat now {};
  if (::lstat(name.c_str(), &now) == 0 && now.st_dev == made.st_dev && now.st_ino == made.st_ino)
    S_ISDIR(now.st_mode) ? ::rmdir(name.c_str()) : ::unlink(name.c_str());
}

bool MakeFolders(const std::string& path, std::string* reason) {
  std::vector<std::string> parts;
  PushParts(path, &parts);
  std::string prefix = path.starts_with('/') ? "/" : "";
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
    prefix += *part + "/";
    OwnLinksPath own;
    if (!own.Follow(prefix.substr(0, prefix.size() - 1), reason)) return false;
    const std::string& held = own.held();
    struct stat st {};
    // A folder there already is looked at only (a kernel's link at the end followed to its
    // folder): the next part's walk looks at this one's links again.
    if (::mkdir(held.c_str(), 0777) != 0) {
      if (errno == EEXIST && ::stat(held.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
      *reason = std::strerror(errno == EEXIST ? ENOTDIR : errno);
      return false;
    }
    const int made = ::open(held.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (made < 0) {
      *reason = std::strerror(errno);
      return false;
    }
    const bool given = own.GiveMade(made, reason);
    if (!given && ::fstat(made, &st) == 0) RemoveIfStill(held, st);
    ::close(made);
    if (!given) return false;
  }
  return true;
}

OwnLinksPath::~OwnLinksPath() { Release(); }

void OwnLinksPath::Release() {
  if (folder_ >= 0) ::close(folder_);
  if (base_ >= 0) ::close(base_);
  folder_ = base_ = -1;
}

int OwnLinksPath::NoFollow() const { return byKernel_ || end_.ends_with('/') ? 0 : O_NOFOLLOW; }

bool OwnLinksPath::Follow(const std::string& path, std::string* reason) {
  Release();
  byKernel_ = false;
  if (path.empty()) {
    end_ = held_ = path;
    return true;
  }
  bool absolute = path.starts_with('/');
  bool folder = NamesAFolder(path);  // as the name's last part, once its links are followed
  // The parts walked, each a folder that is no link (or a name past the last one that is there),
  // from the root, the current folder, or the folder that a kernel's link led to (base_, which
  // `shownBase` names as the path gave it), and the parts still to walk, the next one last.
  std::vector<std::string> done, rest;
  std::string shownBase;
  PushParts(path, &rest);
  // The name to open a part by, and the name that messages give it.
  const auto under = [](const std::string& base, const std::vector<std::string>& parts,
                        const std::vector<std::string>& more) {
    return parts.empty() && more.empty() ? base : base + "/" + Joined(false, parts, more);
  };
  const auto place = [&](const std::vector<std::string>& parts,
                         const std::vector<std::string>& more = {}) {
    return base_ < 0 ? Joined(absolute, parts, more) : under(DescriptorPlace(base_), parts, more);
  };
  const auto shown = [&](const std::vector<std::string>& parts,
                         const std::vector<std::string>& more = {}) {
    return base_ < 0 ? Joined(absolute, parts, more) : under(shownBase, parts, more);
  };
  // The folder that `parts` name, opened as a place, no link followed on the way.
  const auto folderAt = [&](const std::vector<std::string>& parts) {
    return base_ < 0 ? OpenFolderWithoutLinks(AT_FDCWD, Joined(absolute, parts))
                     : OpenFolderWithoutLinks(base_, Joined(false, parts));
  };
  const uid_t user = ::geteuid();
  for (int links = 0; !rest.empty();) {
    std::string part = std::move(rest.back());
    rest.pop_back();
    if (part == ".") continue;
    if (part == "..") {  // each part done is a folder, no link: its parent is the one before
      if (!done.empty() && done.back() != "..")
        done.pop_back();
      else if (!absolute || base_ >= 0)  // the kernel takes the base's own parent
        done.push_back(part);
      continue;
    }
    done.push_back(std::move(part));
    std::string at = place(done);
    // The link is looked at through a descriptor of its own, so that its owner and its text are
    // those of one link, whatever takes its place meanwhile.
    const int link = ::open(at.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (link < 0 || ::fstat(link, &st) != 0 || !S_ISLNK(st.st_mode)) {
      if (link >= 0) ::close(link);
      // Not there (the write says why, or makes it), or a file past which a folder is asked
      // for (the write says so too): walked no further.
      if (link < 0 || (!S_ISDIR(st.st_mode) && !rest.empty())) break;
      continue;
    }
    // A link of the kernel's own in another process's folder (/proc/<pid>/fd/3, /proc/<pid>/cwd)
    // shows as root's while that process is not dumpable: it is that process's, judged by each
    // of its users, real, effective, saved and file system. Followed, it is walked on from a
    // descriptor of its folder, so that no process given that number since is the one reached:
    // that folder, opened by its number after the link, must hold the very link held (a process
    // that took the number meanwhile has links of its own), else the link's process has ended.
    const bool kernels = IsKernelsLink(link);
    uid_t owner = st.st_uid;
    if (kernels) {
      const std::vector<std::string> up(done.begin(), done.end() - 1);
      const int in = folderAt(up);
      ProcessUsers users;
      const int found = in < 0 ? -1 : UsersOfProcessFolder(in, &users);
      if (found < 0) {
        *reason = std::strerror(errno);
        if (in >= 0) ::close(in);
        ::close(link);
        return false;
      }
      if (found == 0 || users.process == ::getpid()) {
        ::close(in);  // in no process's folder (/proc/self), or in the run's own
      } else {
        const int again = ::openat(in, done.back().c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        struct stat held {};
        const bool same = again >= 0 && ::fstat(again, &held) == 0 && held.st_dev == st.st_dev &&
                          held.st_ino == st.st_ino;
        if (again >= 0) ::close(again);
        if (!same) {
          *reason = std::strerror(ENOENT);
          ::close(in);
          ::close(link);
          return false;
        }
        owner = 0;
        for (const uid_t uid : users.uids)
          if (owner == user || owner == 0) owner = uid;
        shownBase = shown(up);
        if (base_ >= 0) ::close(base_);
        base_ = in;
        done.erase(done.begin(), done.end() - 1);
        at = place(done);
      }
    }
    if (owner != user && owner != 0) {
      ::close(link);
      *reason = "the link " + shown(done) + " belongs to user " + UserName(owner) +
                ", not to this run's user: it is not followed";
      return false;
    }
    if (st.st_nlink > 1) {
      // A link of the run's user or root's with another name: whoever may change its folder
      // may have put it there.
      const std::vector<std::string> up(done.begin(), done.end() - 1);
      const int in = folderAt(up);
      const std::string changers = in >= 0 ? FolderChangers(in) : "every user";
      if (in >= 0) ::close(in);
      if (!changers.empty()) {
        ::close(link);
        *reason = "the link " + shown(done) + " has another name (a hard link), in a folder that " +
                  changers + " may change: it is not followed";
        return false;
      }
    }
    if (++links > kMaxLinks) {
      ::close(link);
      *reason = std::strerror(ELOOP);
      return false;
    }
    if (kernels) {
      // A process's or a descriptor's link: the kernel follows it to what it stands for. A
      // folder is walked on from there under the same rule; the file itself is left to the
      // open, which follows the link to the file the process holds.
      ::close(link);
      const int to = ::open(at.c_str(), O_PATH | O_CLOEXEC);
      struct stat target {};
      if (to < 0 || ::fstat(to, &target) != 0 || !S_ISDIR(target.st_mode)) {
        if (to >= 0) ::close(to);
        byKernel_ = rest.empty();
        break;
      }
      shownBase = shown(done);
      if (base_ >= 0) ::close(base_);
      base_ = to;
      done.clear();
      continue;
    }
    char target[PATH_MAX];
    const ssize_t n = ::readlinkat(link, "", target, sizeof target);
    const int error = n < 0 ? errno : ENAMETOOLONG;
    ::close(link);
    if (n < 0 || static_cast<std::size_t>(n) == sizeof target) {
      *reason = std::strerror(error);
      return false;
    }
    done.pop_back();  // the link, in place of which its target is walked
    if (target[0] == '/') {
      absolute = true;
      done.clear();
      if (base_ >= 0) ::close(base_);
      base_ = -1;
    }
    const std::string text(target, static_cast<std::size_t>(n));
    folder = folder || (rest.empty() && NamesAFolder(text));  // the link was the last part
    PushParts(text, &rest);
  }
  end_ = shown(done, rest);
  held_ = place(done, rest);
  if (folder && !end_.ends_with('/')) {
    end_ += '/';
    held_ += '/';
  }
  if (byKernel_ || end_.ends_with('/') || !rest.empty() || done.empty() || done.back() == "..")
    return true;
  const std::string name = done.back();
  done.pop_back();
  folder_ = folderAt(done);
  if (folder_ < 0) {
    if (errno != ELOOP) return true;  // no folder: the write says why
    *reason = std::strerror(ELOOP);
    return false;
  }
  if (base_ >= 0) ::close(base_);
  base_ = -1;
  const std::string held = DescriptorPlace(folder_);
  if (::access(held.c_str(), F_OK) == 0) held_ = held + "/" + name;
  // The file itself, where it has another name: written only where whoever may change its
  // folder may write it too.
  struct stat st {};
  if (::fstatat(folder_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
    return MayWriteIn(folder_, st, end_, reason);
  return true;
}

bool OwnLinksPath::MayWrite(int fd, std::string* reason) const {
  struct stat st {};
  if (folder_ < 0 || ::fstat(fd, &st) != 0) return true;
  return MayWriteIn(folder_, st, end_, reason);
}

bool OwnLinksPath::GiveMade(int fd, std::string* reason) const {
  return folder_ < 0 || GiveToFolderOwner(fd, folder_, reason);
}

}  // namespace veskor
