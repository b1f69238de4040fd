// Replacing a file whole, so that no reader ever sees half of it: the text goes into a fresh
// temporary beside the file, is flushed, then renamed over it. The settings store and the camera
// bookmarks write through it.
#pragma once

#include <string>
#include <string_view>

namespace veskor {

// The tag of the temporaries' names: ".<file name>.veskor-tmp-XXXXXX" (six letters or digits),
// hidden and of a form nobody else uses, so that the sweep of stale ones never meets a file the
// program did not make.
inline constexpr std::string_view kReplaceTemporaryTag = ".veskor-tmp-";

// Replaces the file at `path` by `text`, or makes it: an existing file keeps its permission
// bits, a new one gets 0666 less the umask. False with `*reason` set to the system's reason
// when it cannot be done; the temporary is then gone and the file as it was. A success also
// removes the temporaries of `path` that writes killed before their rename left, once they
// have been unchanged for a minute (a younger one may be another writer's, at work now).
bool ReplaceFileWhole(const std::string& path, std::string_view text, std::string* reason);

}  // namespace veskor
