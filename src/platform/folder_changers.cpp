#include "platform/folder_changers.h"

#include <grp.h>
#include <linux/limits.h>
#include <pwd.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace veskor {

namespace {

// The users and groups besides the run's user and root who may change a folder.
struct Changers {
  bool everyone = false;
  std::vector<uid_t> users;
  std::vector<gid_t> groups;
};

// An access ACL as the kernel keeps it in system.posix_acl_access: a 4-byte version (2), then
// entries of a 2-byte tag, 2-byte permissions and a 4-byte id, each little-endian.
constexpr std::uint32_t kAclVersion = 2;
constexpr std::size_t kAclHeader = 4, kAclEntry = 8;
enum AclTag : std::uint16_t {
  kAclUser = 0x02,
  kAclGroupObj = 0x04,
  kAclGroup = 0x08,
  kAclMask = 0x10,
};
constexpr std::uint16_t kAclWrite = 0x02;

std::uint32_t LittleEndian(const unsigned char* bytes, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = size; i-- > 0;) value = value << 8 | bytes[i];
  return value;
}

bool Others(uid_t user) { return user != 0 && user != ::geteuid(); }

// The entries of the access ACL of the folder open as `folder`, in the kernel's order (the
// others' entry last); none where it has none.
struct AclEntry {
  std::uint16_t tag, permissions;
  std::uint32_t id;
};
std::vector<AclEntry> AccessAcl(int folder) {
  const std::string place = "/proc/self/fd/" + std::to_string(folder);
  std::vector<unsigned char> acl(XATTR_SIZE_MAX);  // room for the longest ACL there can be
  const ssize_t n = ::getxattr(place.c_str(), "system.posix_acl_access", acl.data(), acl.size());
  std::vector<AclEntry> entries;
  if (n < static_cast<ssize_t>(kAclHeader) || LittleEndian(acl.data(), 4) != kAclVersion)
    return entries;
  for (std::size_t at = kAclHeader; at + kAclEntry <= static_cast<std::size_t>(n); at += kAclEntry)
    entries.push_back({static_cast<std::uint16_t>(LittleEndian(&acl[at], 2)),
                       static_cast<std::uint16_t>(LittleEndian(&acl[at + 2], 2)),
                       LittleEndian(&acl[at + 4], 4)});
  return entries;
}

// Adds the users and groups that the folder's access ACL lets write (named entries, and its
// owning group's entry, each as its mask lets it); false where the folder has none, its mode
// then telling its group's permission.
bool AddAclChangers(int folder, const struct stat& st, Changers* changers) {
  const std::vector<AclEntry> acl = AccessAcl(folder);
  std::uint16_t mask = 0x07;
  for (const AclEntry& entry : acl)
    if (entry.tag == kAclMask) mask = entry.permissions;
  for (const AclEntry& entry : acl) {
    if ((entry.permissions & mask & kAclWrite) == 0) continue;
    if (entry.tag == kAclUser && Others(entry.id)) changers->users.push_back(entry.id);
    if (entry.tag == kAclGroup) changers->groups.push_back(entry.id);
    if (entry.tag == kAclGroupObj) changers->groups.push_back(st.st_gid);
  }
  return !acl.empty();
}

Changers ChangersOf(int folder) {
  Changers changers;
  struct stat st {};
  if (::fstat(folder, &st) != 0) {
    changers.everyone = true;  // not known: nobody's is trusted
    return changers;
  }
  changers.everyone = (st.st_mode & S_IWOTH) != 0;
  if (Others(st.st_uid)) changers.users.push_back(st.st_uid);
  if (!AddAclChangers(folder, st, &changers) && (st.st_mode & S_IWGRP) != 0)
    changers.groups.push_back(st.st_gid);
  return changers;
}

std::string GroupName(gid_t gid) {
  group entry{}, *found = nullptr;
  char buffer[16384];
  if (::getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
    return std::string(found->gr_name) + " (gid " + std::to_string(gid) + ")";
  return std::to_string(gid);
}

std::string Words(const Changers& changers) {
  if (changers.everyone) return "every user";
  if (!changers.users.empty()) return "user " + UserName(changers.users.front());
  if (!changers.groups.empty()) return "the users of group " + GroupName(changers.groups.front());
  return "";
}

}  // namespace

std::string UserName(uid_t uid) {
  passwd entry{}, *found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
    return std::string(found->pw_name) + " (uid " + std::to_string(uid) + ")";
  return std::to_string(uid);
}

std::string FolderChangers(int folder) { return Words(ChangersOf(folder)); }

bool MayWriteIn(int folder, const struct stat& file, const std::string& shown,
                std::string* reason) {
  if (file.st_nlink <= 1 || S_ISDIR(file.st_mode) || (file.st_mode & S_IWOTH) != 0) return true;
  const Changers changers = ChangersOf(folder);
  bool theirs = !changers.everyone;
  for (const uid_t user : changers.users) theirs = theirs && user == file.st_uid;
  for (const gid_t group : changers.groups)
    theirs = theirs && (file.st_mode & S_IWGRP) != 0 && group == file.st_gid;
  if (theirs) return true;
  *reason = "the file " + shown + " has another name (a hard link), in a folder that " +
            Words(changers) + " may change: it is not written";
  return false;
}

bool GiveToFolderOwner(int fd, int folder, std::string* reason) {
  struct stat place {};
  if (::geteuid() != 0 || ::fstat(folder, &place) != 0 || place.st_uid == 0) return true;
  if (::fchown(fd, place.st_uid, place.st_gid) == 0) return true;
  const int error = errno;
  struct stat made {};
  // A file system that keeps no owners (FUSE vfat) gives every file the same one.
  if (::fstat(fd, &made) == 0 && made.st_uid == place.st_uid && made.st_gid == place.st_gid)
    return true;
  *reason = "it cannot be given to user " + UserName(place.st_uid) +
            ", whose folder it is in: " + std::strerror(error);
  return false;
}

}  // namespace veskor
