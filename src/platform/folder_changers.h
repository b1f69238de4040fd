// The users who may change a folder besides the run's own user and root, and what a run does in
// such a folder: the link walk (file_links.h) and every write by name that makes or writes a
// file in place (the session log, the messages file, the replace, the store writer) use them.
//
// Whoever may change a folder may put a hard link there to any file of the same file system,
// where the kernel's fs.protected_hardlinks is off: a file that has another name besides this
// one, in such a folder, is written only when each of them may write it too (it is theirs, or
// everybody's to write), and a symbolic link with another name is not followed. A run as root
// that makes a file or a folder in another user's folder (sudo -E keeps the user's HOME) gives
// it to that folder's owner and group, so that nothing is left there that the user cannot write.
#pragma once

#include <sys/stat.h>

#include <string>

namespace veskor {

// Who besides the run's user (its effective uid) and root may change the folder open as
// `folder` (O_PATH will do): "" for nobody, else the words that name them: "every user" (it is
// writable by all, as a sticky /tmp is), "user <name> (uid <n>)" (its owner, or a user its ACL
// lets write), "the users of group <name> (gid <n>)" (its group where it may write, or a group
// its ACL lets write). The first of these that applies.
std::string FolderChangers(int folder);

// Whether the file of fstat `file`, in the folder open as `folder`, may be written by the run: it
// has one name (or none left, or is a folder), or whoever may change the folder may write the
// file too: it is everybody's to write, or its owner is the one user who may change the folder,
// or its group's users may write it and are those who may change the folder. False with
// `*reason` set: "the file <shown> has another name (a hard link), in a folder that <changers>
// may change: it is not written".
bool MayWriteIn(int folder, const struct stat& file, const std::string& shown, std::string* reason);

// Gives `fd`, a file or folder that the run has just made in the folder open as `folder`, to
// that folder's owner and group, where the run is root's and the folder another user's. False
// with `*reason` set when the file system refuses it and the file is not theirs already: "it
// cannot be given to user <name> (uid <n>), whose folder it is in: <the system's reason>"; the
// caller then takes away what it made.
bool GiveToFolderOwner(int fd, int folder, std::string* reason);

// The user `uid` as messages name one: "<name> (uid <n>)", or "<n>" where it has no name.
std::string UserName(uid_t uid);

}  // namespace veskor
