// The search directories along which data files are found by bare name, and the search
// indices that name them. The application shell fills them from the settings store at start;
// the compile session and the world parser add the directories of the world files they open.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veskor {

// Every directory is a zero-terminated string in a buffer of this size, ending with '/', so
// a file name is appended to it directly. A path formed from one has at most 511 characters.
inline constexpr std::size_t kSearchDirBytes = 512;
// A world may use files from at most this many distinct directories.
inline constexpr std::uint32_t kExtraSearchDirCapacity = 67;

// Search indices.
inline constexpr std::uint32_t kSearchSystemDir = 1;
inline constexpr std::uint32_t kSearchProductDir = 2;
inline constexpr std::uint32_t kSearchBinaryDir = 3;
inline constexpr std::uint32_t kSearchResourceDir = 4;
inline constexpr std::uint32_t kSearchImgDir = 5;
inline constexpr std::uint32_t kSearchSndDir = 6;
inline constexpr std::uint32_t kSearchWorkingDir = 7;
inline constexpr std::uint32_t kSearchFirstExtraDir = 8;  // 8 + i: entry i of ExtraSearchDirs

extern char ProductDir[kSearchDirBytes];
extern char BinaryDir[kSearchDirBytes];
extern char SystemDir[kSearchDirBytes];
extern char ResourceDir[kSearchDirBytes];
extern char WorkingDir[kSearchDirBytes];
extern char ImgDir[kSearchDirBytes];  // ResourceDir followed by "Img/"
extern char SndDir[kSearchDirBytes];  // ResourceDir followed by "Snd/"

// The directories of the world files opened since the last root world file, in the order
// first opened, each once.
struct ExtraSearchDirTable {
  char dirs[kExtraSearchDirCapacity][kSearchDirBytes];
  std::uint32_t count;
};
extern ExtraSearchDirTable ExtraSearchDirs;

// The longest directory that a buffer holds, its final '/' counted, and the longest resource
// directory, which leaves room for the "Img/" and "Snd/" after it.
inline constexpr std::size_t kSearchDirLongest = kSearchDirBytes - 1;
inline constexpr std::size_t kResourceDirLongest = kSearchDirLongest - 4;

// Fills the five directories from their stored values, appending '/' to a value that does not
// end with one, and derives ImgDir and SndDir from the resource directory. Returns false, and
// changes nothing, when a directory would be longer than it may be (above), with the position
// of the first such value (0 to 4, in the order of the arguments) in `*refused` when it is
// given. An empty value becomes "/", the root: the settings reader refuses one before it gets
// here.
bool SetSearchDirs(const char* product, const char* binary, const char* system,
                   const char* resource, const char* working, int* refused = nullptr);

// Empties ExtraSearchDirs (done when a compile opens its root world file).
void ExtraSearchDirsClear();
// Appends `dir` unless the table already holds the same string. Returns false, adding
// nothing, when the table is full or the string does not fit a directory buffer.
bool ExtraSearchDirsAdd(const char* dir);

// The directory of a search index; an index that names nothing gives ProductDir. A view of
// the directory's buffer, not a copy.
const char* SearchPath(std::uint32_t index);

// Writes the directory of `index` followed by `name` into `out` (`outBytes` long): the path of
// the file as MatchDataFileName finds it when it is there, else the name with '\' read as '/'.
// Returns false, leaving `out` empty, when the path does not fit; FindDataFile never returns an
// index whose path would not fit a buffer of kSearchDirBytes.
bool BuildDirPath(std::uint32_t index, const char* name, char* out,
                  std::size_t outBytes = kSearchDirBytes);

}  // namespace veskor
