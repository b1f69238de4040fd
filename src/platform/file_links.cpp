#include "platform/file_links.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace veskor {

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

}  // namespace veskor
