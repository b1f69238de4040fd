#include "platform/file_open.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "support/temp_dir.h"

namespace veskor {
namespace {

// What an open for reading gave: "opened <text>" with the file's text, else "missing: <reason>"
// (the file is not there) or "refused: <reason>".
std::string ReadOutcome(const std::string& path) {
  FileOpenFailure failure;
  std::FILE* stream = OpenRegularStreamForReading(path.c_str(), &failure);
  if (stream == nullptr) return (failure.Missing() ? "missing: " : "refused: ") + failure.Reason();
  const int flags = ::fcntl(::fileno(stream), F_GETFL);
  char text[64] = "";
  const std::size_t n = std::fread(text, 1, sizeof text - 1, stream);
  std::fclose(stream);
  return std::string("opened ") + std::string(text, n) +
         ((flags & O_NONBLOCK) != 0 ? " (still non-blocking)" : "");
}

// Every kind of file in a file's place, reached by its name or through a link: none holds the
// open, whether or not a process holds the FIFO's other end.
TEST(FileOpen, OnlyARegularFileOpensAndEveryOtherKindIsSaidAsWhatItIs) {
  test::TempDir dir("veskor_open");
  dir.Write("plain", "text");
  ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("fifo", dir.Path("to_fifo").c_str()), 0);
  ASSERT_EQ(::symlink("plain", dir.Path("to_plain").c_str()), 0);
  ASSERT_EQ(::symlink("none", dir.Path("dangling").c_str()), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", dir.Path("socket").c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const std::string pipe = "/dev/fd/" + std::to_string(ends[0]);
  const struct {
    std::string path;
    std::string outcome;
    bool writer = false;  // a process holds the FIFO open for writing
  } cases[] = {
      {dir.Path("plain"), "opened text"},
      {dir.Path("to_plain"), "opened text"},
      {dir.Path("none"), "missing: No such file or directory"},
      {dir.Path("dangling"), "missing: No such file or directory"},
      {dir.Path("plain/x"), "missing: Not a directory"},
      {"", "missing: No such file or directory"},
      {dir.Path("fifo"), "refused: it is a FIFO, not a regular file"},
      {dir.Path("fifo"), "refused: it is a FIFO, not a regular file", true},
      {dir.Path("to_fifo"), "refused: it is a FIFO, not a regular file"},
      {dir.Path("socket"), "refused: it is a socket, not a regular file"},
      {dir.path(), "refused: it is a directory, not a regular file"},
      {"/dev/null", "refused: it is a device, not a regular file"},
      {pipe, "refused: it is a pipe, not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + (c.writer ? ", with a writer" : ""));
    int reader = -1, writer = -1;
    if (c.writer) {
      reader = ::open(c.path.c_str(), O_RDONLY | O_NONBLOCK);
      writer = ::open(c.path.c_str(), O_WRONLY);
      ASSERT_GE(writer, 0);
      ::close(reader);
    }
    EXPECT_EQ(ReadOutcome(c.path), c.outcome);
    if (writer >= 0) ::close(writer);
  }
  ::close(sock);
  ::close(ends[0]);
  ::close(ends[1]);
  EXPECT_EQ(ReadOutcome(""), "missing: No such file or directory");
  FileOpenFailure failure;
  EXPECT_EQ(OpenRegularFileForReading(nullptr, &failure), -1);
  EXPECT_EQ(failure.Reason(), "Bad address");
}

// Stand-ins for the open call: a signal that breaks off the first two opens, and a FIFO that
// takes the file's place just before the open, after the caller looked at the name.
int gCalls = 0;
int InterruptedTwice(const char* path, int flags, mode_t mode) {
  if (++gCalls <= 2) {
    errno = EINTR;
    return -1;
  }
  return ::open(path, flags, mode);
}
int SwappedForAFifo(const char* path, int flags, mode_t mode) {
  ++gCalls;
  ::unlink(path);
  if (::mkfifo(path, 0600) != 0) return -1;
  return ::open(path, flags, mode);
}

TEST(FileOpen, AnInterruptedOpenIsMadeAgainAndAFifoPutInPlaceIsRefused) {
  test::TempDir dir("veskor_open");
  const std::string path = dir.Write("plain", "text");
  const FileOpenCall real = SetFileOpenCall(InterruptedTwice);
  gCalls = 0;
  EXPECT_EQ(ReadOutcome(path), "opened text");
  EXPECT_EQ(gCalls, 3);
  SetFileOpenCall(SwappedForAFifo);
  gCalls = 0;
  EXPECT_EQ(ReadOutcome(path), "refused: it is a FIFO, not a regular file");
  EXPECT_EQ(gCalls, 1);
  EXPECT_EQ(SetFileOpenCall(real), SwappedForAFifo);
  EXPECT_EQ(SetFileOpenCall(nullptr), real);  // null puts open(2) back
  EXPECT_EQ(SetFileOpenCall(real), real);
}

// A file that is there and that the process has no descriptor for (its limit lowered to the
// descriptors open), or that the user may not read (an ordinary user's child, the file root's
// and 0600): said with the system's reason, never as missing. In forked children, each failed
// check a bit of the exit status.
TEST(FileOpen, AFileThatIsThereButDoesNotOpenGivesTheSystemsReason) {
  test::TempDir dir("veskor_open");
  dir.Write("plain", "text");
  ASSERT_EQ(::chmod(dir.Path("plain").c_str(), 0600), 0);
  const auto inChild = [&](int (*checks)()) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(dir.path().c_str()) != 0) ::_exit(100);
      ::_exit(checks());
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status)
                                                                             : -1;
  };
  EXPECT_EQ(inChild([] {
              int lowest = 0;
              while (::fcntl(lowest, F_GETFD) >= 0) ++lowest;
              const rlimit limit{static_cast<rlim_t>(lowest), static_cast<rlim_t>(lowest)};
              if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) return 101;
              // Without a descriptor, a name that is not there cannot be told from one that is.
              return (ReadOutcome("plain") == "refused: Too many open files" ? 0 : 1) |
                     (ReadOutcome("none") == "refused: Too many open files" ? 0 : 2);
            }),
            0);
  EXPECT_EQ(inChild([] {
              if (::geteuid() == 0 &&
                  (::chown(".", 65534, 65534) != 0 || ::setgroups(0, nullptr) != 0 ||
                   ::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0))
                return 101;
              return ReadOutcome("plain") == "refused: Permission denied" ? 0 : 1;
            }),
            0);
}

}  // namespace
}  // namespace veskor
