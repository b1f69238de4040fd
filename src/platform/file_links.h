// The names a file write follows: a path's folder, and the chain of symbolic links from a name to
// the file it reaches. The replace by name and the names of the process's own descriptors use
// them (file_replace.h, given_descriptors.h).
#pragma once

#include <string>

namespace veskor {

// The kernel's own bound on the links of one path.
inline constexpr int kMaxLinks = 40;

// The folder of `path` with its '/', "" for a bare name.
std::string FolderOf(const std::string& path);

// The name that the symbolic link `*path` points to, in its place; a relative link is read from
// the link's own folder. False with errno set.
bool ReadLinkTarget(std::string* path);

// The name at the end of the chain of symbolic links that starts at `path`; it need not exist.
// False with errno set (ELOOP past kMaxLinks).
bool FollowLinks(std::string path, std::string* end);

}  // namespace veskor
