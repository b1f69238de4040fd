// The names a file write follows: a path's folder, and the symbolic links on the way from a name
// to the file it reaches. Every write by name (file_replace.h, the session log, the messages
// file, the store writer) and the names of the process's own descriptors (given_descriptors.h)
// use them.
//
// Every file that a run writes by name follows only the links of the run's own user (its
// effective uid) and root's on the way to it (OwnLinksPath): a link that another user made, in
// a folder of the path or at its end, would let that user send the run's write to any file.
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

// The file that `path` names, its links followed only where they are the run's user's or root's:
// each link met, in a folder of the path or at its end, along chains of links, relative or
// absolute. A link that the kernel follows itself (one under /proc, as /dev/stdout leads to)
// ends the walk there, to be followed by the open. The name to write by, held(), keeps the
// file's folder open (/proc/self/fd/<n>/<name>), so that no link put in place of one of its
// folders since the walk is followed; the file's own name is to be opened with O_NOFOLLOW
// (NoFollow()). An open then never follows a link that was not looked at.
class OwnLinksPath {
 public:
  OwnLinksPath() = default;
  OwnLinksPath(const OwnLinksPath&) = delete;
  OwnLinksPath& operator=(const OwnLinksPath&) = delete;
  ~OwnLinksPath();

  // False with `*reason` set: for another user's link, "the link <link> belongs to user <name>
  // (uid <n>), not to this run's user: it is not followed"; else the system's reason (a loop of
  // links past kMaxLinks).
  bool Follow(const std::string& path, std::string* reason);

  // The name that the links reach, none left in it (up to a link that the kernel follows).
  const std::string& end() const { return end_; }
  // The name to open or replace by.
  const std::string& held() const { return held_; }
  // O_NOFOLLOW where the name's last part is the file's own, 0 past a kernel's link.
  int NoFollow() const;

 private:
  std::string end_, held_;
  int folder_ = -1;
  bool byKernel_ = false;
};

}  // namespace veskor
