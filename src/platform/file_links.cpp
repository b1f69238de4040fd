#include "platform/file_links.h"

#include <fcntl.h>
#include <limits.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

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

// The owner of a link, by name where the system has one.
std::string UserName(uid_t uid) {
  passwd entry{}, *found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
    return std::string(found->pw_name) + " (uid " + std::to_string(uid) + ")";
  return std::to_string(uid);
}

// Opens `folder`, a name with no link in it, as a place only, following no link whatever took
// the place of one of its parts meanwhile (ELOOP).
int OpenFolderWithoutLinks(const std::string& folder) {
  open_how how{};
  how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_NO_SYMLINKS;
  const long fd = ::syscall(SYS_openat2, AT_FDCWD, folder.c_str(), &how, sizeof how);
  if (fd >= 0 || errno != ENOSYS) return static_cast<int>(fd);
  return ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);  // an old kernel
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

OwnLinksPath::~OwnLinksPath() {
  if (folder_ >= 0) ::close(folder_);
}

int OwnLinksPath::NoFollow() const { return byKernel_ || end_.ends_with('/') ? 0 : O_NOFOLLOW; }

bool OwnLinksPath::Follow(const std::string& path, std::string* reason) {
  if (folder_ >= 0) ::close(folder_);
  folder_ = -1;
  byKernel_ = false;
  if (path.empty()) {
    end_ = held_ = path;
    return true;
  }
  bool absolute = path.starts_with('/');
  bool folder = NamesAFolder(path);  // as the name's last part, once its links are followed
  std::vector<std::string> done, rest;
  PushParts(path, &rest);
  const uid_t user = ::geteuid();
  for (int links = 0; !rest.empty();) {
    std::string part = std::move(rest.back());
    rest.pop_back();
    if (part == ".") continue;
    if (part == "..") {  // each part done is a folder, no link: its parent is the one before
      if (!done.empty() && done.back() != "..")
        done.pop_back();
      else if (!absolute)
        done.push_back(part);
      continue;
    }
    done.push_back(std::move(part));
    const std::string at = Joined(absolute, done);
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
    struct statfs fs {};
    char target[PATH_MAX];
    const bool foreign = st.st_uid != user && st.st_uid != 0;
    byKernel_ = !foreign && ::fstatfs(link, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
    const ssize_t n = foreign || byKernel_ || links++ == kMaxLinks
                          ? -1
                          : ::readlinkat(link, "", target, sizeof target);
    const int error = n < 0 ? errno : ENAMETOOLONG;
    ::close(link);
    if (foreign) {
      *reason = "the link " + at + " belongs to user " + UserName(st.st_uid) +
                ", not to this run's user: it is not followed";
      return false;
    }
    if (byKernel_) break;  // a descriptor's or a process's link, the kernel's own: it follows it
    if (n < 0 || static_cast<std::size_t>(n) == sizeof target) {
      *reason = std::strerror(links > kMaxLinks ? ELOOP : error);
      return false;
    }
    done.pop_back();  // the link, in place of which its target is walked
    if (target[0] == '/') {
      absolute = true;
      done.clear();
    }
    const std::string text(target, static_cast<std::size_t>(n));
    folder = folder || (rest.empty() && NamesAFolder(text));  // the link was the last part
    PushParts(text, &rest);
  }
  end_ = Joined(absolute, done, rest);
  if (folder && !end_.ends_with('/')) end_ += '/';
  held_ = end_;
  if (byKernel_ || end_.ends_with('/') || !rest.empty() || done.empty() || done.back() == "..")
    return true;
  const std::string name = done.back();
  done.pop_back();
  folder_ = OpenFolderWithoutLinks(Joined(absolute, done));
  if (folder_ < 0) {
    if (errno != ELOOP) return true;  // no folder: the write says why
    *reason = std::strerror(ELOOP);
    return false;
  }
  const std::string place = "/proc/self/fd/" + std::to_string(folder_);
  if (::access(place.c_str(), F_OK) == 0) held_ = place + "/" + name;
  return true;
}

}  // namespace veskor
