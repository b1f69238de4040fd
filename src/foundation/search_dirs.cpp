#include "foundation/search_dirs.h"

#include <cstring>
#include <string>

#include "foundation/data_file_search.h"

namespace veskor {

char ProductDir[kSearchDirBytes];
char BinaryDir[kSearchDirBytes];
char SystemDir[kSearchDirBytes];
char ResourceDir[kSearchDirBytes];
char WorkingDir[kSearchDirBytes];
char ImgDir[kSearchDirBytes];
char SndDir[kSearchDirBytes];
ExtraSearchDirTable ExtraSearchDirs;

namespace {

// Length of `value` as a directory (with the '/' it may lack), or 0 for a null value.
std::size_t DirLength(const char* value) {
  if (value == nullptr) return 0;
  const std::size_t n = std::strlen(value);
  return (n > 0 && value[n - 1] == '/') ? n : n + 1;
}

void CopyDir(char* dest, const char* value) {
  const std::size_t n = std::strlen(value);
  std::memcpy(dest, value, n);
  std::size_t end = n;
  if (n == 0 || value[n - 1] != '/') dest[end++] = '/';
  dest[end] = '\0';
}

}  // namespace

bool SetSearchDirs(const char* product, const char* binary, const char* system,
                   const char* resource, const char* working, int* refused) {
  const char* values[] = {product, binary, system, resource, working};
  static_assert(kResourceDirLongest + std::char_traits<char>::length("Img/") == kSearchDirLongest);
  for (int i = 0; i < 5; ++i) {
    if (values[i] == nullptr ||
        DirLength(values[i]) > (i == 3 ? kResourceDirLongest : kSearchDirLongest)) {
      if (refused != nullptr) *refused = i;
      return false;
    }
  }

  CopyDir(ProductDir, product);
  CopyDir(BinaryDir, binary);
  CopyDir(SystemDir, system);
  CopyDir(ResourceDir, resource);
  CopyDir(WorkingDir, working);
  std::strcpy(ImgDir, ResourceDir);
  std::strcat(ImgDir, "Img/");
  std::strcpy(SndDir, ResourceDir);
  std::strcat(SndDir, "Snd/");
  return true;
}

void ExtraSearchDirsClear() { ExtraSearchDirs.count = 0; }

bool ExtraSearchDirsAdd(const char* dir) {
  if (dir == nullptr) return false;
  for (std::uint32_t i = 0; i < ExtraSearchDirs.count; ++i) {
    if (std::strcmp(ExtraSearchDirs.dirs[i], dir) == 0) return true;
  }
  const std::size_t n = std::strlen(dir);
  if (ExtraSearchDirs.count >= kExtraSearchDirCapacity || n >= kSearchDirBytes) return false;
  std::memcpy(ExtraSearchDirs.dirs[ExtraSearchDirs.count], dir, n + 1);
  ++ExtraSearchDirs.count;
  return true;
}

const char* SearchPath(std::uint32_t index) {
  switch (index) {
    case kSearchSystemDir: return SystemDir;
    case kSearchProductDir: return ProductDir;
    case kSearchBinaryDir: return BinaryDir;
    case kSearchResourceDir: return ResourceDir;
    case kSearchImgDir: return ImgDir;
    case kSearchSndDir: return SndDir;
    case kSearchWorkingDir: return WorkingDir;
    default: break;
  }
  if (index >= kSearchFirstExtraDir && index - kSearchFirstExtraDir < ExtraSearchDirs.count &&
      index - kSearchFirstExtraDir < kExtraSearchDirCapacity) {
    return ExtraSearchDirs.dirs[index - kSearchFirstExtraDir];
  }
  return ProductDir;
}

bool BuildDirPath(std::uint32_t index, const char* name, char* out, std::size_t outBytes) {
  if (out == nullptr || outBytes == 0) return false;
  out[0] = '\0';
  if (name == nullptr) return false;
  const char* dir = SearchPath(index);
  // A file that is there, written in another case or with '\', is named as it is on disk.
  if (MatchDataFileName(dir, name, out, outBytes)) return true;
  const std::size_t dirLength = std::strlen(dir);
  const std::size_t nameLength = std::strlen(name);
  if (dirLength + nameLength >= outBytes) return false;
  std::memcpy(out, dir, dirLength);
  for (std::size_t i = 0; i <= nameLength; ++i)
    out[dirLength + i] = name[i] == '\\' ? '/' : name[i];
  return true;
}

}  // namespace veskor
