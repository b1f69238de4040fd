#include "foundation/data_file_search.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/search_dirs.h"
#include "platform/file_open.h"

namespace veskor {
namespace {

namespace fs = std::filesystem;

// The fixed directories after the world directories, in search order.
constexpr std::uint32_t kFixedSearchOrder[] = {kSearchWorkingDir, kSearchResourceDir,
                                               kSearchImgDir,     kSearchSndDir,
                                               kSearchBinaryDir,  kSearchProductDir};

// The world directories from the last added to the first, then the fixed ones.
template <typename Visit>
void ForEachSearchIndex(Visit&& visit) {
  const std::uint32_t count = std::min(ExtraSearchDirs.count, kExtraSearchDirCapacity);
  for (std::uint32_t i = count; i-- > 0;)
    if (visit(kSearchFirstExtraDir + i)) return;
  for (std::uint32_t index : kFixedSearchOrder)
    if (visit(index)) return;
}

// A file under `path` that the search may take: anything that is there but a directory. A
// FIFO or a device counts, so that its open says what it is rather than the search passing
// over it to another file of the name or calling it missing.
bool IsFileEntry(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path.empty() ? std::string(".") : path, error);
}

bool SameLetters(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(x) != lower(y)) return false;
  }
  return true;
}

// A directory that is not there, or that the user may not list, holds no other spelling of a
// name; any other failure to list it (no descriptor or memory left) leaves that unknown.
bool ListingTellsNothing(const std::error_code& error) {
  const int e = error.value();
  return e == ENOENT || e == ENOTDIR || e == EACCES;
}

// The entry of directory `dir` named `part` ignoring case that is a file (`last`) or a
// directory; the first such name in sorted order, or empty, with `*searchError` set when the
// directory could not be listed (ListingTellsNothing).
std::string MatchIgnoringCase(const std::string& dir, const std::string& part, bool last,
                              int* searchError) {
  std::vector<std::string> matches;
  std::error_code error;
  for (fs::directory_iterator it(dir.empty() ? std::string(".") : dir, error), end;
       !error && it != end; it.increment(error)) {
    std::string entry = it->path().filename().string();
    if (!SameLetters(entry, part)) continue;
    if (last ? IsFileEntry(dir + entry) : IsDirectory(dir + entry)) matches.push_back(entry);
  }
  if (error && !ListingTellsNothing(error)) {
    *searchError = error.value();
    return {};
  }
  if (matches.empty()) return {};
  return *std::min_element(matches.begin(), matches.end());
}

// Whether directory `index` holds `name`: false to go on to the next directory, true to stop,
// with `*found` true when the file opened for reading, else `*failure` saying why. A path that
// does not fit the path buffer is never cut: it is simply not there. A file that disappears
// between the look and the open was not there.
bool LookInDirectory(std::uint32_t index, const char* name, bool* found,
                     DataFileFailure* failure) {
  char path[kSearchDirBytes];
  int searchError = 0;
  if (!MatchDataFileName(SearchPath(index), name, path, sizeof path, &searchError)) {
    if (searchError == 0) return false;
    std::string written = std::string(SearchPath(index)) + name;
    std::replace(written.begin(), written.end(), '\\', '/');
    *failure = {std::move(written), std::strerror(searchError)};
    return true;
  }
  FileOpenFailure why;
  const int fd = OpenRegularFileForReading(path, &why);
  if (fd >= 0) {
    ::close(fd);
    *found = true;
    return true;
  }
  if (why.Missing()) return false;
  *failure = {path, why.Reason()};
  return true;
}

}  // namespace

bool MatchDataFileName(const char* dir, const char* name, char* out, std::size_t outBytes,
                       int* searchError) {
  if (out == nullptr || outBytes == 0) return false;
  out[0] = '\0';
  if (dir == nullptr || name == nullptr) return false;
  int listingError = 0;
  std::string written(name);
  std::replace(written.begin(), written.end(), '\\', '/');
  std::string path = dir + written;
  if (!IsFileEntry(path)) {
    // Part by part: each found exactly, or else ignoring case.
    path = dir;
    std::size_t from = 0;
    while (from <= written.size()) {
      std::size_t to = written.find('/', from);
      const bool last = to == std::string::npos;
      if (last) to = written.size();
      const std::string part = written.substr(from, to - from);
      from = to + 1;
      if (!last && (part.empty() || part == "." || part == "..")) {
        if (part == "..") path += "../";
        continue;
      }
      if (part.empty()) return false;
      std::string found = part;
      if (!(last ? IsFileEntry(path + part) : IsDirectory(path + part))) {
        found = MatchIgnoringCase(path, part, last, &listingError);
        if (found.empty()) {
          if (listingError != 0 && searchError != nullptr) *searchError = listingError;
          return false;
        }
      }
      path += last ? found : found + "/";
    }
  }
  if (path.size() >= outBytes) return false;
  std::memcpy(out, path.c_str(), path.size() + 1);
  return true;
}

std::uint32_t FindDataFile(const char* name, DataFileFailure* failure) {
  DataFileFailure why;
  std::uint32_t found = 0;
  if (name != nullptr) {
    ForEachSearchIndex([&](std::uint32_t index) {
      bool opened = false;
      if (!LookInDirectory(index, name, &opened, &why)) return false;
      if (opened) found = index;
      return true;
    });
  }
  if (failure != nullptr) *failure = std::move(why);
  return found;
}

std::string DataFileFailureText(const char* name, const DataFileFailure& failure) {
  if (failure.path.empty()) {
    return std::string("Cannot find file \"") + (name != nullptr ? name : "") +
           "\" in the search directories: " + SearchedDirectoryList();
  }
  return "Cannot open file \"" + failure.path + "\": " + failure.reason;
}

std::string SearchedDirectoryList() {
  std::string list;
  ForEachSearchIndex([&](std::uint32_t index) {
    const char* dir = SearchPath(index);
    list += list.empty() ? "" : ", ";
    list += dir[0] != '\0' ? dir : "./";
    return false;
  });
  return list;
}

}  // namespace veskor
