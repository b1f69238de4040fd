// The search for data files by bare name along the search directories: interface images,
// renderer images, and the images, layers and sounds a world names. Also the one matcher of
// file names as worlds write them, used by every loader and by the world parser's includes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veskor {

// Returns the search index of the first directory holding a regular file `name` that opens
// for reading, or 0 when none does. Tried in order: the added world directories from the last
// added to the first, then the working, resource, image, sound, binary and product
// directories. The system directory is not searched. The name is matched as
// MatchDataFileName does; a directory plus name longer than 511 characters is not found there.
std::uint32_t FindDataFile(const char* name);

// The directories FindDataFile searches, in its order, separated by ", " (an empty one, the
// current directory, as "./"): for the message about a file found in none of them.
std::string SearchedDirectoryList();

// Worlds were written on a system where '\' separates directories and letter case does not
// matter. Finds the regular file that `name` (a bare name or a relative path, '\' or '/'
// between its parts) designates in directory `dir` (ending in '/', or empty for the current
// directory) and writes its path, `dir` followed by the matched name, into `out`. Each part of
// the name is matched exactly first; only when that fails, case-insensitively (ASCII letters)
// among the entries of its directory, taking the first in sorted order when several match.
// Returns false, leaving `out` empty, when no file matches or the path does not fit `outBytes`.
bool MatchDataFileName(const char* dir, const char* name, char* out, std::size_t outBytes);

}  // namespace veskor
