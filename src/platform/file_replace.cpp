#include "platform/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace veskor {

namespace {

constexpr std::size_t kTemporaryLetters = 6;  // mkstemp's XXXXXX
constexpr time_t kStaleSeconds = 60;

bool WriteAll(int fd, std::string_view s) {
  while (!s.empty()) {
    const ssize_t n = ::write(fd, s.data(), s.size());
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;
      return false;
    }
    s.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The folder of `path` (with its '/', "./" for a bare name) and the prefix of its temporaries'
// names, ".<name>.veskor-tmp-".
void SplitTemporaryName(const std::string& path, std::string* dir, std::string* prefix) {
  const std::size_t slash = path.rfind('/');
  *dir = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
  *prefix = "." + path.substr(slash == std::string::npos ? 0 : slash + 1) +
            std::string(kReplaceTemporaryTag);
}

void RemoveStaleTemporaries(const std::string& path) {
  std::string dir, prefix;
  SplitTemporaryName(path, &dir, &prefix);
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return;
  const time_t before = std::time(nullptr) - kStaleSeconds;
  while (const dirent* e = ::readdir(d)) {
    const std::string_view name = e->d_name;
    if (name.size() != prefix.size() + kTemporaryLetters || !name.starts_with(prefix)) continue;
    bool ours = true;
    for (char c : name.substr(prefix.size()))
      ours = ours && std::isalnum(static_cast<unsigned char>(c));
    struct stat st {};
    const std::string file = dir + std::string(name);
    if (ours && ::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime < before)
      ::unlink(file.c_str());
  }
  ::closedir(d);
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool ReplaceFileWhole(const std::string& path, std::string_view text, std::string* reason) {
  struct stat st {};
  mode_t mode;
  if (::stat(path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else if (errno == ENOENT) {
    mode = NewFileMode();
  } else {
    *reason = std::strerror(errno);
    return false;
  }
  std::string dir, prefix;
  SplitTemporaryName(path, &dir, &prefix);
  std::string temp = dir + prefix + std::string(kTemporaryLetters, 'X');
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    *reason = std::strerror(errno);
    return false;
  }
  bool ok = WriteAll(fd, text) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  int failure = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    failure = errno;
  }
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    failure = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    *reason = std::strerror(failure);
    return false;
  }
  RemoveStaleTemporaries(path);
  return true;
}

}  // namespace veskor
