#include "support/own_file_system.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace veskor::test {

int RunOnFileSystemOfItsOwn(const std::string& dir, const char* type, const char* options,
                            const std::function<int()>& checks) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Private mounts first: the new one must not reach the namespace the suite runs in.
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("veskor-test", dir.c_str(), type, 0, options) != 0 || ::chdir(dir.c_str()) != 0)
      ::_exit(kNoFileSystemOfItsOwn);
    const int result = checks();
    ::_exit(result >= 0 && result <= kNoFileSystemOfItsOwn ? result : kNoFileSystemOfItsOwn - 1);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

namespace {

constexpr auto kMountWait = std::chrono::seconds(5);

pid_t gFatServer = 0;

// Starts the program `argv` (looked for in the system's folders too), its output let go, ended
// should the caller end first. Its pid, or -1.
pid_t Start(const char* const* argv) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    if (null < 0 || ::dup2(null, 1) != 1 || ::dup2(null, 2) != 2) ::_exit(127);
    ::setenv("PATH", "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin", 1);
    ::execvp(argv[0], const_cast<char* const*>(argv));
    ::_exit(127);
  }
  return pid;
}

// Waits for `pid` up to kMountWait, then ends it. Its wait status, or -1 when it was ended.
int Reap(pid_t pid) {
  const auto due = std::chrono::steady_clock::now() + kMountWait;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= due) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status;
}

// Whether a file system other than the working folder's is mounted on `folder`.
bool Mounted(const char* folder) {
  struct stat here {};
  struct stat there {};
  return ::stat(".", &here) == 0 && ::stat(folder, &there) == 0 && here.st_dev != there.st_dev;
}

}  // namespace

pid_t FatFileSystemServer() { return gFatServer; }

bool StopFatFileSystemServer() {
  if (gFatServer <= 0 || ::kill(gFatServer, SIGSTOP) != 0) return false;
  // The state follows the name, in parentheses, in /proc/<pid>/stat: "T" once stopped.
  const std::string stat = "/proc/" + std::to_string(gFatServer) + "/stat";
  const auto due = std::chrono::steady_clock::now() + kMountWait;
  while (std::chrono::steady_clock::now() < due) {
    char text[512] = {};
    std::FILE* f = std::fopen(stat.c_str(), "r");
    const std::size_t n = f != nullptr ? std::fread(text, 1, sizeof text - 1, f) : 0;
    if (f != nullptr) std::fclose(f);
    const char* end = std::strrchr(text, ')');
    if (n > 0 && end != nullptr && end[1] == ' ' && end[2] == 'T') return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

void ContinueFatFileSystemServer() {
  if (gFatServer > 0) ::kill(gFatServer, SIGCONT);
}

int RunOnFatFileSystem(const std::string& dir, const std::function<int()>& checks,
                       const std::string& options) {
  return RunOnFileSystemOfItsOwn(dir, "tmpfs", "size=4m", [&] {
    const char* const format[] = {"mkfs.vfat", "-C", "fat.img", "2048", nullptr};
    const pid_t formatting = ::access("/dev/fuse", R_OK | W_OK) == 0 ? Start(format) : -1;
    if (formatting < 0 || Reap(formatting) != 0 || ::mkdir("fat", 0755) != 0)
      return kNoFileSystemOfItsOwn;
    // In the foreground, single-threaded, as the child's own child: it goes with the mount.
    const char* const serve[] = {"fusefat",       "-f",      "-s",  "-o",
                                 options.c_str(), "fat.img", "fat", nullptr};
    const pid_t server = Start(serve);
    const auto due = std::chrono::steady_clock::now() + kMountWait;
    while (server > 0 && !Mounted("fat") && std::chrono::steady_clock::now() < due &&
           ::waitpid(server, nullptr, WNOHANG) == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int result = kNoFileSystemOfItsOwn;
    if (Mounted("fat") && ::chdir("fat") == 0) {
      gFatServer = server;
      result = checks();
      gFatServer = 0;
      if (::chdir("..") != 0) result = kNoFileSystemOfItsOwn - 1;
    }
    ::umount2("fat", MNT_DETACH);
    if (server > 0) Reap(server);
    return result;
  });
}

}  // namespace veskor::test
