#include "platform/given_descriptors.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_links.h"

namespace veskor {

namespace {

constexpr long long kBeyondDescriptors = static_cast<long long>(INT_MAX) + 1;

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

// Taken as the process starts, before it opens any descriptor of its own.
[[maybe_unused]] const bool gGivenNoted = (NoteGivenDescriptors(), true);

}  // namespace

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

bool WasGiven(long long fd) {
  struct stat st {};
  if (fd > INT_MAX || ::fstat(static_cast<int>(fd), &st) != 0) return false;
  const std::lock_guard<std::mutex> lock(gGivenLock);
  return std::any_of(gGiven.begin(), gGiven.end(), [&](const GivenDescriptor& given) {
    return given.fd == fd && given.device == st.st_dev && given.inode == st.st_ino;
  });
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

}  // namespace veskor
