#include "foundation/data_file_search.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "foundation/search_dirs.h"

namespace veskor {
namespace {

// True when directory `index` holds `name` as a regular file that opens for reading. A path
// that does not fit the path buffer is never cut: it is simply not there. Directories (which
// open for reading on Linux) and other special files do not count, and are never opened.
bool HoldsReadableFile(std::uint32_t index, const char* name) {
  char path[kSearchDirBytes];
  if (!BuildDirPath(index, name, path, sizeof path)) return false;
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

}  // namespace

std::uint32_t FindDataFile(const char* name) {
  if (name == nullptr) return 0;
  const std::uint32_t count = std::min(ExtraSearchDirs.count, kExtraSearchDirCapacity);
  for (std::uint32_t i = count; i-- > 0;) {
    if (HoldsReadableFile(kSearchFirstExtraDir + i, name)) return kSearchFirstExtraDir + i;
  }
  const std::uint32_t order[] = {kSearchWorkingDir, kSearchResourceDir, kSearchImgDir,
                                 kSearchSndDir,     kSearchBinaryDir,   kSearchProductDir};
  for (std::uint32_t index : order) {
    if (HoldsReadableFile(index, name)) return index;
  }
  return 0;
}

}  // namespace veskor
