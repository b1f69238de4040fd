// The camera bookmarks' file: every view snapshot of the world written as a Camera block of
// the world language to "bookmark.wld" in BinaryDir, at the main menu's quit.
#pragma once

#include <cstdint>
#include <string>

namespace veskor {

inline constexpr const char* kBookmarkFileName = "bookmark.wld";

// Without bookmarks does nothing (an existing file stays) and returns 1. Otherwise writes the
// file whole through a fresh temporary beside it renamed over the old one (ReplaceFileWhole);
// returns 1 when it was written. A file that cannot be written leaves the old one as it was and no
// temporary, is told of in a Warning box naming the file and the system's reason (it is
// written as the program quits), and returns 0. So is a FIFO, a socket or a device in the
// file's place, at once ("it is a FIFO, not a regular file"): it is never opened to be written.
std::uint32_t WriteCameraBookmarks();
// The same write without the box, for when none can be shown: false when the file cannot be
// written, with the system's reason in `reason`.
bool WriteCameraBookmarksFile(std::string* reason);
// The file's path: kBookmarkFileName in BinaryDir.
std::string CameraBookmarksPath();

}  // namespace veskor
