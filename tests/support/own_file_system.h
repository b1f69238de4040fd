// A file system of a test's own, for what a test needs of a disk that the machine's own cannot
// give it: a small tmpfs that fills up, a file system without fallocate (ramfs), append-only
// files, one without modes (FUSE vfat). It is mounted in a mount namespace of a forked child, so
// that nothing outside the child sees it and it goes with the child, whatever the child did.
// Root only.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace veskor::test {

// The status of a child that could not have its file system (the suite is not root, or the
// kernel refuses a mount namespace), or whose checks found it without what they need: the test
// skips itself, with that reason.
inline constexpr int kNoFileSystemOfItsOwn = 255;

// Runs `checks` in a forked child, with a fresh file system of `type` ("tmpfs", "ramfs") mounted
// with `options` ("size=64k", "") on the folder `dir` as its working folder. Returns what
// `checks` returned (0 for all well, up to 254; kNoFileSystemOfItsOwn when it lacks what they
// need), kNoFileSystemOfItsOwn when the file system cannot be had, or -1 when the child did
// not end by itself.
int RunOnFileSystemOfItsOwn(const std::string& dir, const char* type, const char* options,
                            const std::function<int()>& checks);

// Runs `checks` as RunOnFileSystemOfItsOwn does, on a FUSE vfat (fusefat, on an image that
// mkfs.vfat makes on a tmpfs of the child's own): a file system that can set no mode, owner or
// extended attribute, and gives every file the same. kNoFileSystemOfItsOwn also where there is
// no /dev/fuse, fusefat or mkfs.vfat (scripts/install-deps installs them). `options` are
// fusefat's: "rw+,uid=<n>,gid=<n>" gives every file that owner and group, as a disk mounted for
// a user.
int RunOnFatFileSystem(const std::string& dir, const std::function<int()>& checks,
                       const std::string& options = "rw+");

// In the checks of RunOnFatFileSystem (and the children they fork), the fusefat process that
// serves its file system; 0 elsewhere.
pid_t FatFileSystemServer();

// Stops that server (SIGSTOP) and waits until it has stopped, so that no call made after this
// one is taken up by it: each call on the file system then waits until the server goes on, or
// the caller is killed. Meant for a moment when no call is under way on it (a call that the
// server had taken up as it stopped would hold its caller past a kill). False when there is no
// server, or it did not stop within seconds.
bool StopFatFileSystemServer();
// Lets it go on (SIGCONT).
void ContinueFatFileSystemServer();

}  // namespace veskor::test
