#include "platform/file_open.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "support/no_descriptor_left.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

// What an open for reading gave: "opened <text>" with the file's text, else "missing: <reason>"
// (the file is not there) or "refused: <reason>".
std::string ReadOutcome(const char* path) {
  FileOpenFailure failure;
  std::FILE* stream = OpenRegularStreamForReading(path, &failure);
  if (stream == nullptr) return (failure.Missing() ? "missing: " : "refused: ") + failure.Reason();
  const bool nonBlocking = (::fcntl(::fileno(stream), F_GETFL) & O_NONBLOCK) != 0;
  char text[64] = "";
  const std::size_t n = std::fread(text, 1, sizeof text - 1, stream);
  std::fclose(stream);
  return "opened " + std::string(text, n) + (nonBlocking ? " (still non-blocking)" : "");
}

// In place of open(2): a signal breaks off the first two opens,
int gCalls = 0;
int InterruptedTwice(const char* path, int flags, mode_t mode) {
  if (++gCalls <= 2) {
    errno = EINTR;
    return -1;
  }
  return ::open(path, flags, mode);
}
// And one that finds no descriptor left.
int WithNoDescriptorLeft(const char* path, int flags, mode_t mode) {
  const test::NoDescriptorLeft limited;
  return ::open(path, flags, mode);
}

// Every kind of file in a file's place, reached by its name or through a link: none holds the
// open, and an open that a signal breaks off is made again. A file that is there and that the
// process has no descriptor for is said with the system's reason, never as missing (nor can a
// name that is not there be told then).
TEST(FileOpen, OnlyARegularFileOpensAndEveryOtherKindIsSaidAsWhatItIs) {
  test::TempDir dir("veskor_open");
  const std::string plain = dir.Write("plain", "text"), fifo = dir.Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(::symlink("fifo", dir.Path("to_fifo").c_str()), 0);
  ASSERT_EQ(::symlink("plain", dir.Path("to_plain").c_str()), 0);
  sockaddr_un address{AF_UNIX, {}};
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", dir.Path("socket").c_str());
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const std::string refused = "refused: it is ", notRegular = ", not a regular file";
  const struct {
    std::string path;
    std::string outcome;
    FileOpenCall call = nullptr;  // in place of open(2)
  } cases[] = {
      {plain, "opened text"},
      {plain, "opened text", InterruptedTwice},
      {dir.Path("to_plain"), "opened text"},
      {dir.Path("none"), "missing: No such file or directory"},
      {plain + "/x", "missing: Not a directory"},
      {fifo, refused + "a FIFO" + notRegular},
      {dir.Path("to_fifo"), refused + "a FIFO" + notRegular},
      {dir.Path("socket"), refused + "a socket" + notRegular},
      {dir.path(), refused + "a directory" + notRegular},
      {"/dev/null", refused + "a device" + notRegular},
      {"/dev/fd/" + std::to_string(ends[0]), refused + "a pipe" + notRegular},
      {plain, "refused: Too many open files", WithNoDescriptorLeft},
      {dir.Path("none"), "refused: Too many open files", WithNoDescriptorLeft},
  };
  gCalls = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const FileOpenCall real = SetFileOpenCall(c.call);  // null puts open(2) back
    EXPECT_EQ(ReadOutcome(c.path.c_str()), c.outcome);
    EXPECT_EQ(SetFileOpenCall(real), c.call != nullptr ? c.call : real);
  }
  EXPECT_EQ(ReadOutcome(nullptr), "refused: Bad address");
  ::close(sock);
  ::close(ends[0]);
  ::close(ends[1]);
}

}  // namespace
}  // namespace veskor
