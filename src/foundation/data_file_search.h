// The search for data files by bare name along the search directories: interface images,
// renderer images, and the images, layers and sounds a world names. Also the one matcher of
// file names as worlds write them, used by every loader and by the world parser's includes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veskor {

// Why FindDataFile gave no directory for a name.
struct DataFileFailure {
  // The file that a directory holds under the name and that did not open, or the name as
  // written in a directory that could not be searched for it; empty when no directory holds
  // the name.
  std::string path;
  // Why: the system's reason ("Too many open files"), or that it is not a regular file ("it is
  // a FIFO, not a regular file"); empty with the path.
  std::string reason;
};

// Returns the search index of the first directory holding a file `name` (anything but a
// directory) when that file opens for reading, or 0. Tried in order: the added world
// directories from the last added to the first, then the working, resource, image, sound,
// binary and product directories. The system directory is not searched. The name is matched
// as MatchDataFileName does; a directory plus name longer than 511 characters is not found
// there. The search ends at the first directory that holds the name: a file there that does
// not open (a FIFO, a device, one the user may not read, or one that the process has no
// descriptor left for) gives 0 with `*failure` (when given) saying why, and no other directory
// is tried; so does a directory that cannot be searched for the name for want of a
// descriptor or memory. The file is opened without waiting (file_open.h) and closed again.
std::uint32_t FindDataFile(const char* name, DataFileFailure* failure = nullptr);

// The message for a name that FindDataFile gave no directory for: "Cannot find file
// "<name>" in the search directories: <list>" when none holds it, else "Cannot open file
// "<path>": <reason>".
std::string DataFileFailureText(const char* name, const DataFileFailure& failure);

// The directories FindDataFile searches, in its order, separated by ", " (an empty one, the
// current directory, as "./"): for the message about a file found in none of them.
std::string SearchedDirectoryList();

// Worlds were written on a system where '\' separates directories and letter case does not
// matter. Finds the file that `name` (a bare name or a relative path, '\' or '/' between its
// parts) designates in directory `dir` (ending in '/', or empty for the current directory) and
// writes its path, `dir` followed by the matched name, into `out`. The file is anything but a
// directory: a FIFO or a device under the name is found, for its open to refuse it as what it
// is. Each part of the name is matched exactly first; only when that fails, case-insensitively
// (ASCII letters) among the entries of its directory, taking the first in sorted order when
// several match. Returns false, leaving `out` empty, when no file matches or the path does not
// fit `outBytes`; also when a directory on the way could not be listed for a reason other than
// its absence or a refused permission (EMFILE, ENOMEM), with that errno in `*searchError`
// (when given; else it is left as it is).
bool MatchDataFileName(const char* dir, const char* name, char* out, std::size_t outBytes,
                       int* searchError = nullptr);

}  // namespace veskor
