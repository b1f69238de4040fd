// The names a file write follows: a path's folder, and the symbolic links on the way from a name
// to the file it reaches. Every write by name (file_replace.h, the session log, the messages
// file, the store writer) and the names of the process's own descriptors (given_descriptors.h)
// use them.
//
// Every file that a run writes by name follows only the links of the run's own user (its
// effective uid) and root's on the way to it (OwnLinksPath): a link that another user made, in
// a folder of the path or at its end, would let that user send the run's write to any file.
#pragma once

#include <sys/stat.h>

#include <string>

namespace veskor {

// The kernel's own bound on the links of one path.
inline constexpr int kMaxLinks = 40;

// The folder of `path` with its '/', "" for a bare name.
std::string FolderOf(const std::string& path);

// The name that the symbolic link `*path` points to, in its place; a relative link is read from
// the link's own folder. False with errno set.
bool ReadLinkTarget(std::string* path);

// Removes `name`, a file or an empty folder (a link at its end not followed), while it still
// names the file of fstat `made`: one that another program put in its place meanwhile stays.
void RemoveIfStill(const std::string& name, const struct stat& made);

// Makes each folder of `path` that is missing, as `mkdir -p` does, following on the way only the
// links that OwnLinksPath follows; each folder made is given to its parent's owner where a run
// as root makes it in another user's folder (GiveToFolderOwner, folder_changers.h), or taken
// away again. False with `*reason` set: OwnLinksPath's refusal, GiveToFolderOwner's, or the
// system's reason of the part that could not be made ("Not a directory" for a file in the way).
bool MakeFolders(const std::string& path, std::string* reason);

// The file that `path` names, its links followed only where they are the run's user's or root's:
// each link met, in a folder of the path or at its end, along chains of links, relative or
// absolute. Nor is a link followed that has another name (a hard link) in a folder that another
// user may change (folder_changers.h). A link that the kernel follows itself (a process's or a
// descriptor's, under /proc, as /dev/stdout and /dev/fd/3 lead to) is followed to what it stands
// for: a folder is walked on from there under the same rule, and the file itself is left to the
// open. The name to write by, held(), keeps the file's folder open (/proc/self/fd/<n>/<name>), so
// that no link put in place of one of its folders since the walk is followed; the file's own name
// is to be opened with O_NOFOLLOW (NoFollow()). An open then never follows a link that was not
// looked at.
class OwnLinksPath {
 public:
  OwnLinksPath() = default;
  OwnLinksPath(const OwnLinksPath&) = delete;
  OwnLinksPath& operator=(const OwnLinksPath&) = delete;
  ~OwnLinksPath();

  // False with `*reason` set: for another user's link, "the link <link> belongs to user <name>
  // (uid <n>), not to this run's user: it is not followed"; for a link or the file itself with
  // another name in a folder that another user may change, MayWriteIn's reason or "the link
  // <link> has another name (a hard link), in a folder that <changers> may change: it is not
  // followed"; else the system's reason (a loop of links past kMaxLinks).
  bool Follow(const std::string& path, std::string* reason);

  // The name that the links reach, none left in it (up to a link that the kernel follows to a
  // file), with the parts that led to a kernel's link as the path gave them.
  const std::string& end() const { return end_; }
  // The name to open or replace by.
  const std::string& held() const { return held_; }
  // O_NOFOLLOW where the name's last part is the file's own, 0 past a kernel's link.
  int NoFollow() const;

  // Whether the file open as `fd`, opened by held(), may be written in place: MayWriteIn for the
  // held folder (true where none is held). Checked once it is open, and before its first change,
  // since another name may have come since the walk.
  bool MayWrite(int fd, std::string* reason) const;
  // GiveToFolderOwner for a file or folder just made by held() (true where no folder is held).
  bool GiveMade(int fd, std::string* reason) const;

 private:
  void Release();

  std::string end_, held_;
  int folder_ = -1;  // the file's folder
  int base_ = -1;    // the folder a kernel's link led to, while a name is opened from it
  bool byKernel_ = false;
};

}  // namespace veskor
