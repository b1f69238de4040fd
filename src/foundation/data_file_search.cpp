#include "foundation/data_file_search.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/search_dirs.h"

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

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
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

// The entry of directory `dir` named `part` ignoring case that is a regular file (`last`) or a
// directory; the first such name in sorted order, or empty.
std::string MatchIgnoringCase(const std::string& dir, const std::string& part, bool last) {
  std::vector<std::string> matches;
  std::error_code error;
  for (fs::directory_iterator it(dir.empty() ? std::string(".") : dir, error), end;
       !error && it != end; it.increment(error)) {
    std::string entry = it->path().filename().string();
    if (!SameLetters(entry, part)) continue;
    if (last ? IsRegularFile(dir + entry) : IsDirectory(dir + entry)) matches.push_back(entry);
  }
  if (matches.empty()) return {};
  return *std::min_element(matches.begin(), matches.end());
}

// True when directory `index` holds `name` as a regular file that opens for reading. A path
// that does not fit the path buffer is never cut: it is simply not there. Directories (which
// open for reading on Linux) and other special files do not count, and are never opened.
bool HoldsReadableFile(std::uint32_t index, const char* name) {
  char path[kSearchDirBytes];
  if (!MatchDataFileName(SearchPath(index), name, path, sizeof path)) return false;
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

}  // namespace

bool MatchDataFileName(const char* dir, const char* name, char* out, std::size_t outBytes) {
  if (out == nullptr || outBytes == 0) return false;
  out[0] = '\0';
  if (dir == nullptr || name == nullptr) return false;
  std::string written(name);
  std::replace(written.begin(), written.end(), '\\', '/');
  std::string path = dir + written;
  if (!IsRegularFile(path)) {
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
      if (!(last ? IsRegularFile(path + part) : IsDirectory(path + part))) {
        found = MatchIgnoringCase(path, part, last);
        if (found.empty()) return false;
      }
      path += last ? found : found + "/";
    }
  }
  if (path.size() >= outBytes) return false;
  std::memcpy(out, path.c_str(), path.size() + 1);
  return true;
}

std::uint32_t FindDataFile(const char* name) {
  std::uint32_t found = 0;
  if (name == nullptr) return found;
  ForEachSearchIndex([&](std::uint32_t index) {
    if (HoldsReadableFile(index, name)) found = index;
    return found != 0;
  });
  return found;
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
