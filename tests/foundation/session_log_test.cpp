#include "foundation/session_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_open.h"
#include "support/refused_call.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

using test::ReadFileText;

// What the log told of its file's failures: "<path>: <reason>" each.
std::vector<std::string> gTold;
void Tell(const char* path, const char* reason) {
  gTold.push_back(std::string(path) + ": " + reason);
}

class SessionLogTest : public testing::Test {
 protected:
  void SetUp() override { gTold.clear(); }
  void TearDown() override { SessionLogClose(); }
  test::TempDir tmp_{"veskor_log"};
  const std::string& dir_ = tmp_.path();
};

TEST_F(SessionLogTest, WritingToAClosedLogDoesNothing) {
  SessionLogInit();
  SessionLog& log = LogStream();
  EXPECT_EQ(&LogWritePointer(LogWriteUnsigned(LogWriteFloat(LogWriteText(log, "x"), 1), 1), 1),
            &log);
  EXPECT_EQ(log.target, nullptr);
  EXPECT_EQ(log.file, nullptr);
}

TEST_F(SessionLogTest, WritersChainAndFormatTheirValues) {
  std::ostringstream out;
  SessionLogSetStream(&out);
  SessionLog& log = LogStream();
  for (float v : {1.5f, 1234567.0f, 123456.0f, 0.0001f, 0.00001f, -2.0f})
    EXPECT_EQ(&LogWriteText(LogWriteFloat(log, v), "|"), &log);
  LogWriteText(LogWriteUnsigned(LogWriteText(LogWriteUnsigned(log, 0), "|"), 4294967295u), "|");
  for (std::uint64_t v : {255ull, 0xDEADBEEFull, 0x7FFF12345678ull})
    LogWriteText(LogWritePointer(log, v), "|");
  LogWriteText(LogWriteText(log, nullptr), "\n");
  EXPECT_EQ(out.str(),
            "1.5|1.23457e+06|123456|0.0001|1e-05|-2|0|4294967295|"
            "0x000000FF|0xDEADBEEF|0x7FFF12345678|\n");
}

TEST_F(SessionLogTest, WritesReachTheFileAtOnceAndOpeningAgainClosesIt) {
  const std::string first = dir_ + "first.log";
  const std::string second = dir_ + "second.log";
  std::ofstream(second) << "old contents";
  EXPECT_EQ(SessionLogOpen(first.c_str()), 0);
  ASSERT_NE(LogStream().file, nullptr);
  EXPECT_EQ(LogStream().target, LogStream().file.get());
  LogWriteText(LogStream(), "one");
  *LogStream().target << '\n';  // a single character, as a stream's own writers put one
  EXPECT_EQ(ReadFileText(first), "one\n");  // flushed, the log still open
  EXPECT_TRUE(LogStream().target->good());
  SessionLogOpen(second.c_str());
  LogWriteText(LogStream(), "two");
  EXPECT_EQ(ReadFileText(first), "one\n");
  EXPECT_EQ(ReadFileText(second), "two");  // truncated
  SessionLogClose();
  EXPECT_EQ(LogStream().target, nullptr);
  EXPECT_EQ(LogStream().file, nullptr);
  LogWriteText(LogStream(), "after");
  EXPECT_EQ(ReadFileText(second), "two");
}

// A FIFO, with a reader or without, is refused at once (-1) as what it is: its open would wait
// for a reader, and its writes for the reader to take them; also as descriptor 0, where a run
// started with its standard input closed opens it. A log that another program takes away each
// time between the look that found it and its open is tried three times.
TEST_F(SessionLogTest, APathThatDoesNotOpenGivesItsReasonAndDropsEveryWrite) {
  const std::string file = tmp_.Write("plain", "");
  const std::string fifo = dir_ + "fifo.log";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string path;
    int reason;  // -1: refused as a FIFO
    bool reader = false;
    bool noInput = false;
  } cases[] = {{"", ENOENT},
               {"/nonexistent-dir/x.log", ENOENT},
               {file + "/x.log", ENOTDIR},  // a regular file where a directory should be
               {dir_, EISDIR},
               {fifo, -1},
               {fifo, -1, true},
               {fifo, -1, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + (c.reader ? ", with a reader" : "") + (c.noInput ? ", as 0" : ""));
    gTold.clear();
    const int reader = c.reader ? open(fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
    const int input = c.noInput ? dup(0) : -1;
    if (input >= 0) close(0);
    EXPECT_EQ(SessionLogOpen(c.path.c_str(), Tell), c.reason);
    if (input >= 0) {
      ASSERT_EQ(dup2(input, 0), 0);
      close(input);
    }
    if (reader >= 0) close(reader);
    ASSERT_NE(LogStream().file, nullptr);
    EXPECT_EQ(&LogWriteFloat(LogWriteText(LogStream(), "lost"), 2.0f), &LogStream());
    EXPECT_TRUE(LogStream().target->fail());
    SessionLogClose();
    // Told once, at the open, with the open's reason.
    EXPECT_EQ(gTold, std::vector<std::string>{c.path + ": " +
                                              (c.reason > 0 ? std::strerror(c.reason)
                                                            : "it is a FIFO, not a regular file")});
  }
  EXPECT_EQ(ReadFileText(file), "");

  // A log that another program makes just before each open that would make it, and takes away
  // just before each that would open it as it is: tried three times, then given up with the
  // last open's reason.
  static std::string gComing;
  static int gComings;
  for (const int comings : {2, 3}) {
    SCOPED_TRACE(std::to_string(comings) + " times made and taken away");
    gComing = dir_ + "coming.log";
    gComings = comings;
    gTold.clear();
    const FileOpenCall before = SetFileOpenCall([](const char* path, int flags, mode_t mode) {
      const bool coming = std::string_view(path).ends_with("/coming.log");  // by its held name
      if (coming && (flags & O_EXCL) != 0 && gComings > 0) {
        --gComings;
        close(open(path, O_WRONLY | O_CREAT, 0600));
      } else if (coming && (flags & O_CREAT) == 0) {
        unlink(path);
      }
      return open(path, flags, mode);
    });
    EXPECT_EQ(SessionLogOpen(gComing.c_str(), Tell), comings < 3 ? 0 : ENOENT);
    SetFileOpenCall(before);
    LogWriteText(LogStream(), "log");
    SessionLogClose();
    EXPECT_EQ(gTold, comings < 3
                         ? std::vector<std::string>{}
                         : std::vector<std::string>{gComing + ": " + std::strerror(ENOENT)});
    EXPECT_EQ(access(gComing.c_str(), F_OK) == 0 ? ReadFileText(gComing) : "none",
              comings < 3 ? "log" : "none");
    unlink(gComing.c_str());
  }
  EXPECT_EQ(SessionLogOpen(nullptr), EINVAL);
  LogWriteText(LogStream(), "lost");
  SessionLogClose();
  EXPECT_EQ(LogStream().file, nullptr);
}

// Only the run's user's links and root's are followed on the way to the log: another user's, at
// the end, in a folder or second in a chain, is refused and told, its target left as it was.
TEST_F(SessionLogTest, AnotherUsersLinkOnTheWayIsRefusedAndTold) {
  if (geteuid() != 0) GTEST_SKIP() << "links of another user are made as root";
  const std::string secret = tmp_.Write("secret", "root's");
  const uid_t other = 0x7F000000u + static_cast<uid_t>(getpid());
  const struct {
    std::string link, target;
    uid_t owner;
  } links[] = {{"theirs", secret, other},
               {"folder", dir_, other},
               {"chain", "theirs", 0},
               {"root's", "secret", 0}};
  for (const auto& l : links) {
    const std::string at = dir_ + l.link;
    ASSERT_EQ(symlink(l.target.c_str(), at.c_str()) | lchown(at.c_str(), l.owner, l.owner), 0);
  }
  const struct {
    std::string path, refusedAt;  // "": written
  } rows[] = {{"theirs", "theirs"}, {"folder/secret", "folder"}, {"chain", "theirs"},
              {"root's", ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    gTold.clear();
    const std::string path = dir_ + row.path;
    const std::string refusal = "the link " + dir_ + row.refusedAt + " belongs to user " +
                                std::to_string(other) +
                                ", not to this run's user: it is not followed";
    EXPECT_EQ(SessionLogOpen(path.c_str(), Tell), row.refusedAt.empty() ? 0 : -1);
    LogWriteText(LogStream(), "log");
    SessionLogClose();
    EXPECT_EQ(gTold, row.refusedAt.empty() ? std::vector<std::string>{}
                                           : std::vector<std::string>{path + ": " + refusal});
    EXPECT_EQ(ReadFileText(secret), row.refusedAt.empty() ? "log" : "root's");
    tmp_.Write("secret", "root's");
  }

  // In the other user's folder: a hard link to root's file is neither emptied nor written, and a
  // log made there is that user's, in the folder's group, or not made where it cannot be given.
  const std::string users = dir_ + "user's/", hard = users + "hard.log";
  ASSERT_EQ(mkdir(users.c_str(), 0755) | chown(users.c_str(), other, 4321) |
                link(secret.c_str(), hard.c_str()),
            0);
  EXPECT_EQ(SessionLogOpen(hard.c_str(), Tell), -1);
  LogWriteText(LogStream(), "log");
  SessionLogClose();
  // Nor is one put in the log's place after the walk to its folder, just before its open; the
  // log opened as descriptor 0, the standard input closed meanwhile.
  tmp_.Write("user's/race.log", "");
  static std::string gSwapped, gSecret;
  gSwapped = users + "race.log";
  gSecret = secret;
  const int input = dup(STDIN_FILENO);
  ASSERT_GE(input, 0);
  const FileOpenCall before = SetFileOpenCall([](const char* path, int flags, mode_t mode) {
    if (!gSwapped.empty()) {
      unlink(gSwapped.c_str());
      link(gSecret.c_str(), gSwapped.c_str());
      gSwapped.clear();
      close(STDIN_FILENO);
    }
    return open(path, flags, mode);
  });
  EXPECT_EQ(SessionLogOpen((users + "race.log").c_str(), Tell), -1);
  SetFileOpenCall(before);
  LogWriteText(LogStream(), "log");
  SessionLogClose();
  dup2(input, STDIN_FILENO);
  close(input);
  const auto refusal = [&](const std::string& file) {
    return file + ": the file " + file + " has another name (a hard link), in a folder that user " +
           std::to_string(other) + " may change: it is not written";
  };
  EXPECT_EQ(gTold, (std::vector<std::string>{refusal(hard), refusal(users + "race.log")}));
  EXPECT_EQ(ReadFileText(secret), "root's");
  EXPECT_EQ(access((users + "race.log").c_str(), F_OK), 0);  // a name the run did not make
  gTold.clear();
  // A log made there is that user's; one there already, opened as descriptor 0 (the standard
  // input closed just before its open), is written and keeps its owner (root's own too), and no
  // other descriptor is left behind.
  const std::string made = users + "session.log";
  const struct {
    bool there;
    uid_t uid;
    gid_t gid;
  } logs[] = {{false, other, 4321}, {true, other, 4321}, {true, 0, 0}};
  static bool gCloseInput;
  for (const auto& row : logs) {
    SCOPED_TRACE((row.there ? "there already, opened as descriptor 0, of " : "made, for ") +
                 std::to_string(row.uid));
    if (row.there) {
      tmp_.Write("user's/session.log", "old");
      ASSERT_EQ(chown(made.c_str(), row.uid, row.gid), 0);
    }
    const int kept = dup(STDIN_FILENO);
    ASSERT_GE(kept, 0);
    gCloseInput = row.there;  // once: the first open then takes descriptor 0
    const FileOpenCall was = SetFileOpenCall([](const char* path, int flags, mode_t mode) {
      if ((flags & O_CREAT) == 0 && gCloseInput) gCloseInput = close(STDIN_FILENO) != 0;
      return open(path, flags, mode);
    });
    EXPECT_EQ(SessionLogOpen(made.c_str(), Tell), 0);
    SetFileOpenCall(was);
    LogWriteText(LogStream(), "log");
    SessionLogClose();
    if (row.there) {
      EXPECT_EQ(fcntl(STDIN_FILENO, F_GETFD), -1) << "a descriptor left open";
    }
    dup2(kept, STDIN_FILENO);
    close(kept);
    struct stat st {};
    ASSERT_EQ(stat(made.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, row.uid);
    EXPECT_EQ(st.st_gid, row.gid);
    EXPECT_EQ(ReadFileText(made), "log");
    EXPECT_EQ(gTold, std::vector<std::string>{});
    unlink(made.c_str());
  }
  const pid_t pid = fork();
  if (pid == 0) {
    const bool refused = test::RefuseCall(__NR_fchown, 0, 1 << 20, EPERM);
    _exit(refused && SessionLogOpen(made.c_str(), Tell) == -1 &&
                  gTold == std::vector<std::string>{made + ": it cannot be given to user " +
                                                    std::to_string(other) +
                                                    ", whose folder it is in: Operation not "
                                                    "permitted"}
              ? 0
              : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(access(made.c_str(), F_OK) == 0);
}

TEST_F(SessionLogTest, AForeignStreamIsNotOwned) {
  const std::string path = dir_ + "own.log";
  SessionLogOpen(path.c_str());
  std::ostringstream out;
  SessionLogSetStream(&out);  // closes the file first
  EXPECT_EQ(LogStream().file, nullptr);
  EXPECT_EQ(LogStream().target, &out);
  LogWriteText(LogStream(), "foreign");
  SessionLogClose();
  LogWriteText(LogStream(), "dropped");
  EXPECT_EQ(out.str(), "foreign");
  EXPECT_EQ(ReadFileText(path), "");
}

// /dev/full takes no byte: every write fails with ENOSPC, as on a full disk. The first write
// that fails is told with that reason, once; the writes after it and the close tell nothing
// more. Each open tells its own failure.
TEST_F(SessionLogTest, AWriteThatFailsIsToldOnceWithItsReason) {
  const std::vector<std::string> full = {"/dev/full: No space left on device"};
  for (int open = 1; open <= 2; ++open) {
    ASSERT_EQ(SessionLogOpen("/dev/full", Tell), 0);
    EXPECT_EQ(gTold.size(), open - 1u);  // the open succeeds
    // A reason that no call of the log's gave.
    errno = EACCES;
    LogWriteText(LogStream(), "      parse file <w.wld>\n");
    EXPECT_EQ(gTold.size(), std::size_t(open));
    LogWritePointer(LogWriteUnsigned(LogWriteFloat(LogWriteText(LogStream(), "x"), 1), 2), 3);
    EXPECT_TRUE(LogStream().target->bad());
    SessionLogClose();
    EXPECT_EQ(gTold.size(), std::size_t(open));
  }
  EXPECT_EQ(gTold, std::vector<std::string>(2, full[0]));
  // Without a call to tell, the failure is only dropped text.
  ASSERT_EQ(SessionLogOpen("/dev/full"), 0);
  LogWriteText(LogStream(), "lost");
  SessionLogClose();
  EXPECT_EQ(gTold.size(), 2u);
}

// A write that takes no byte is out of room, told so once, even when an earlier call left
// EINTR in errno (no write was interrupted). In a child: 0 when it holds.
int NoByteTakenChecks(const std::string& path) {
  alarm(10);  // a write tried for ever ends the check by SIGALRM
  if (SessionLogOpen(path.c_str(), Tell) != 0) return 1;
  // A descriptor that takes no byte without failing (write returns 0, as a device may).
  const int fd = LogStream().file->descriptor();
  // The refusal outlives the log: the lowest free number below it taken (the link walk's folder
  // had it), so that once the log is closed its number comes back as a pipe's read end, never as
  // the write end of the pipe that the sanitizers' runtime makes to probe memory.
  const int below = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (below < 0 || !test::RefuseCall(__NR_write, fd, fd, 0)) return 2;
  errno = EINTR;
  LogWriteText(LogStream(), "lost");
  const std::vector<std::string> told = gTold;
  SessionLogClose();
  return told == std::vector<std::string>{path + ": No space left on device"} && gTold == told
             ? 0
             : 3;
}
TEST_F(SessionLogTest, AWriteThatTakesNoByteIsOutOfRoom) {
  EXPECT_EXIT(_exit(NoByteTakenChecks(dir_ + "none.log")), testing::ExitedWithCode(0), "");
}

// A close that fails is told with the close's reason: here its descriptor was closed behind
// the log's back, so the close finds none. After a write that failed already, nothing more.
TEST_F(SessionLogTest, ACloseThatFailsIsTold) {
  const std::string path = dir_ + "closed.log";
  const struct {
    bool writeAfter;  // a write after the descriptor went
    std::string told;
  } cases[] = {{false, path + ": Bad file descriptor"}, {true, path + ": Bad file descriptor"}};
  for (const auto& c : cases) {
    gTold.clear();
    ASSERT_EQ(SessionLogOpen(path.c_str(), Tell), 0);
    LogWriteText(LogStream(), "kept\n");
    ASSERT_GE(LogStream().file->descriptor(), 0);
    ASSERT_EQ(::close(LogStream().file->descriptor()), 0);
    EXPECT_EQ(gTold.size(), 0u);
    if (c.writeAfter) {
      LogWriteText(LogStream(), "lost");
      EXPECT_EQ(gTold.size(), 1u);
    }
    errno = 0;
    SessionLogClose();
    EXPECT_EQ(gTold, std::vector<std::string>{c.told}) << c.writeAfter;
    EXPECT_EQ(ReadFileText(path), "kept\n");
  }
  // A close that succeeds tells nothing.
  gTold.clear();
  ASSERT_EQ(SessionLogOpen(path.c_str(), Tell), 0);
  LogWriteText(LogStream(), "fine");
  SessionLogClose();
  EXPECT_EQ(gTold.size(), 0u);
  EXPECT_EQ(ReadFileText(path), "fine");
}

}  // namespace
}  // namespace veskor
