#include "platform/message_box.h"

#include <gtest/gtest.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/child_process.h"
#include "platform/display_loss.h"
#include "platform/file_dialog.h"
#include "platform/given_descriptors.h"
#include "platform/gl_window_internal.h"
#include "platform/process.h"
#include "support/message_capture.h"
#include "support/own_file_system.h"
#include "support/own_x_server.h"
#include "support/refused_call.h"
#include "support/scoped_env.h"
#include "support/stand_in_zenity.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

class MessageBoxTest : public testing::Test {
 protected:
  std::string Log() const { return capture_.Text(); }
  test::MessageCapture capture_;
};

TEST_F(MessageBoxTest, HeadlessBoxesAppendCaptionIconAndText) {
  EXPECT_EQ(ShowMessageBox("Error", "Window Creation Failed !", MessageIcon::kStop,
                           MessageButtons::kOk),
            MessageAnswer::kOk);
  ShowMessageBox("Warning : Init. Sounds", "no sound", MessageIcon::kExclamation,
                 MessageButtons::kOk);
  EXPECT_EQ(Log(),
            "Error [stop] Window Creation Failed !\n"
            "Warning : Init. Sounds [exclamation] no sound\n");
}

// A question is answered yes or no in any case, and yes when the answer is empty or unset; any
// other value is said on stderr, naming it and what it may be, and is no answer, as a box that
// could not be shown. An Ok box answers OK whatever the value.
TEST_F(MessageBoxTest, QuestionsAreAnsweredFromTheScriptedAnswer) {
  const struct { const char* answer; MessageAnswer expected; } cases[] = {
      {"yes", MessageAnswer::kYes},     {"Yes", MessageAnswer::kYes},
      {"YES", MessageAnswer::kYes},     {"no", MessageAnswer::kNo},
      {"No", MessageAnswer::kNo},       {"NO", MessageAnswer::kNo},
      {"nO", MessageAnswer::kNo},       {"n", MessageAnswer::kUnshown},
      {"y", MessageAnswer::kUnshown},   {"ye", MessageAnswer::kUnshown},
      {"yess", MessageAnswer::kUnshown}, {"non", MessageAnswer::kUnshown},
      {" no", MessageAnswer::kUnshown}, {"", MessageAnswer::kYes},
      {nullptr, MessageAnswer::kYes}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("answer '") + (c.answer ? c.answer : "(unset)") + "'");
    test::MessageCapture::Answer(c.answer);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox("Confirmation : ", "Full screen ?", MessageIcon::kQuestion,
                             MessageButtons::kYesNo),
              c.expected);
    EXPECT_EQ(ShowMessageBox("Error", "text", MessageIcon::kStop, MessageButtons::kOk),
              MessageAnswer::kOk);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              c.expected != MessageAnswer::kUnshown
                  ? ""
                  : "veskor: VESKOR_ANSWER=\"" + std::string(c.answer) +
                        "\" is not an answer: it may be yes or no, in any case (unset or empty: "
                        "yes); the question has none\n");
  }
  EXPECT_NE(Log().find("Confirmation :  [question] Full screen ?\n"), std::string::npos);
}

// Whether the thread whose /proc/<pid>/task/<tid>/syscall is `syscall` waits in poll(2) or
// ppoll(2), as a record waits for room in a pipe.
bool WaitsInPoll(const std::string& syscall) {
  const std::string call = test::ReadFileText(syscall);
  return call.rfind("7 ", 0) == 0 || call.rfind("271 ", 0) == 0;
}

// A messages file that takes no record (a full disk: /dev/full) or that cannot be opened (a
// folder) is said once on stderr, with the file and the reason of the call that failed, before
// any record there; that record and every one after it, from whichever thread, go to stderr,
// none lost, even when the file named could take them again. (Once for the process: in a
// child.) So is a pipe or FIFO that no reader takes the records from, and the run never waits
// on it for long, nor ends by SIGPIPE: a FIFO without a reader (its open fails), a pipe (the
// standard output, as `VESKOR_MESSAGES=/dev/stdout veskor | head -c 20` gives it) whose reader
// has gone (its open does not fail: the write does), a FIFO whose reader left after the first
// record, a full pipe whose reader takes nothing (2 s), and one whose reader leaves while a
// record waits for room. A file given for reading as the standard input (`< secret`), or one
// opened for writing since the start, named as a descriptor of the process's, is not written.
enum class Reader {
  kFile,
  kNone,
  kGone,
  kLeftAfterOne,
  kTakesNothing,
  kLeavesWhileWaiting,
  kGivenForReading,
  kOpenedSince
};
// The refusal of a link of the test's own user (0x7F000000 + its pid).
std::string NotFollowed(const std::string& link) {
  return "the link " + link + " belongs to user " + std::to_string(0x7F000000u + getpid()) +
         ", not to this run's user: it is not followed";
}
TEST(HeadlessBoxes, AMessagesFileThatCannotBeWrittenIsSaidOnceAndTheRecordsGoToStderr) {
  const test::TempDir dir("veskor_messages");
  const std::string file = dir.Path("messages"), err = dir.Path("stderr");
  const std::string fifo = dir.Path("fifo");
  const std::string noRoom = "its reader did not take the record within 2 seconds";
  // A close that fails (as on a file system that writes late, NFS) and a write that takes no
  // byte without failing (as a device may) are made by a filter on the records' descriptors.
  const struct {
    std::string sink, reason;
    int refused = 0, answer = 0;
    Reader reader = Reader::kFile;
  } cases[] = {
      {"/dev/full", "No space left on device"},
      {dir.path(), "Is a directory"},
      {dir.Path("late"), "Input/output error", __NR_close, EIO},
      {dir.Path("none"), "Input/output error", __NR_write, 0},
      {fifo, "No such device or address", 0, 0, Reader::kNone},
      {"/dev/stdout", "Broken pipe", 0, 0, Reader::kGone},
      {fifo, "No such device or address", 0, 0, Reader::kLeftAfterOne},
      {"/dev/stdout", noRoom, 0, 0, Reader::kTakesNothing},
      {"/dev/stdout", "Broken pipe", 0, 0, Reader::kLeavesWhileWaiting},
      {"/dev/stdin", "Bad file descriptor", 0, 0, Reader::kGivenForReading},
      {"/dev/fd/0", "Bad file descriptor", 0, 0, Reader::kGivenForReading},
      {"/proc/self/fd/0", "Bad file descriptor", 0, 0, Reader::kGivenForReading},
      {"/dev/fd/0", "Bad file descriptor", 0, 0, Reader::kOpenedSince},
      {dir.Path("theirs"), NotFollowed(dir.Path("theirs"))},
      {dir.Path("folder/secret"), NotFollowed(dir.Path("folder"))},
      {dir.Path("sticky/secret"), "the file " + dir.Path("sticky/secret") +
                                      " has another name (a hard link), in a folder that every "
                                      "user may change: it is not written"}};
  // Links that a user of the test's own made, to a file of root's: made where the test is root.
  const bool root = geteuid() == 0;
  const std::string secret = dir.Write("secret", "root's");
  const uid_t other = 0x7F000000u + static_cast<uid_t>(getpid());
  if (root) {
    ASSERT_EQ(symlink(secret.c_str(), dir.Path("theirs").c_str()), 0);
    ASSERT_EQ(symlink(dir.path().c_str(), dir.Path("folder").c_str()), 0);
    ASSERT_EQ(lchown(dir.Path("theirs").c_str(), other, other) |
                  lchown(dir.Path("folder").c_str(), other, other),
              0);
    // A hard link of root's file in a folder that every user may change, as /tmp.
    ASSERT_EQ(mkdir(dir.Path("sticky").c_str(), 0700) | chmod(dir.Path("sticky").c_str(), 01777) |
                  link(secret.c_str(), dir.Path("sticky/secret").c_str()),
              0);
  }
  for (const auto& c : cases) {
    if (!root && (c.reason.starts_with("the link") || c.reason.starts_with("the file"))) continue;
    SCOPED_TRACE(c.sink + " " + std::to_string(static_cast<int>(c.reader)));
    std::remove(file.c_str());
    if (c.sink == fifo) {
      ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    }
    const pid_t pid = fork();
    if (pid == 0) {
      const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd < 0 || dup2(fd, STDERR_FILENO) < 0) _exit(90);
      alarm(20);  // a record tried for ever ends the child by SIGALRM
      signal(SIGPIPE, SIG_DFL);  // as a program starts
      close(STDIN_FILENO);  // a messages file opened as descriptor 0 is written as any other
      setenv("VESKOR_MESSAGES", file.c_str(), 1);
      HeadlessRecord("Before", "kept");
      setenv("VESKOR_MESSAGES", c.sink.c_str(), 1);
      if (c.refused != 0 && (!test::RefuseCall(c.refused, 0, 0, c.answer) ||
                             !test::RefuseCall(c.refused, fd + 1, 1 << 30, c.answer)))
        _exit(91);
      int reader = -1;  // the read end of the standard output made a pipe
      if (c.sink == "/dev/stdout") {
        int ends[2];
        if (pipe(ends) != 0 || dup2(ends[1], STDOUT_FILENO) < 0) _exit(92);
        close(ends[1]);
        reader = ends[0];
        if (c.reader == Reader::kGone) close(reader);
        fcntl(STDOUT_FILENO, F_SETFL, O_NONBLOCK);
        const std::string filler(4096, 'f');
        while (c.reader != Reader::kGone &&
               write(STDOUT_FILENO, filler.data(), filler.size()) > 0) {
        }
      }
      if (c.reader == Reader::kGivenForReading && open(secret.c_str(), O_RDONLY) != 0) _exit(94);
      NoteGivenDescriptors();  // the descriptors as the run was started with them
      if (c.reader == Reader::kOpenedSince && open(secret.c_str(), O_WRONLY | O_APPEND) != 0)
        _exit(95);
      if (c.reader == Reader::kLeftAfterOne) {
        reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        HeadlessRecord("First", "read");
        char first[64] = {};
        if (reader < 0 || read(reader, first, sizeof first - 1) < 0 ||
            std::string(first) != "First [none] read\n")
          _exit(93);
        close(reader);
      }
      std::thread leaving;  // closes the reader once the record on this thread waits for room
      if (c.reader == Reader::kLeavesWhileWaiting) {
        const std::string syscall = "/proc/self/task/" + std::to_string(gettid()) + "/syscall";
        leaving = std::thread([syscall, reader] {
          while (!WaitsInPoll(syscall)) {
          }
          close(reader);
        });
      }
      const auto records = [](int first) {
        for (int i = first; i < first + 25; ++i) HeadlessRecord("Status", std::to_string(i).c_str());
      };
      std::atomic<bool> go{false};
      std::vector<std::thread> threads;
      for (int t = 0; t < 8; ++t) {
        // Refused writes would refuse the sanitizers' own too, which a thread's start makes.
        // The first record waits on this thread when its reader leaves.
        if (c.refused == __NR_write || c.reader == Reader::kLeavesWhileWaiting) {
          records(t * 25);
          continue;
        }
        threads.emplace_back([t, &go, &records] {
          while (!go.load()) {
          }
          records(t * 25);
        });
      }
      go.store(true);
      for (std::thread& t : threads) t.join();
      if (leaving.joinable()) leaving.join();
      setenv("VESKOR_MESSAGES", file.c_str(), 1);
      HeadlessRecord("After", "on stderr");
      _exit(0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(test::ReadFileText(file), "Before [none] kept\n");
    const mode_t mask = umask(0);  // a messages file made anew is made as any file the user makes
    umask(mask);
    struct stat made {};
    EXPECT_TRUE(stat(file.c_str(), &made) == 0 && (made.st_mode & 0777) == (0666 & ~mask));
    const std::string said = test::ReadFileText(err);
    const std::string line = "veskor: cannot write the messages file " + c.sink + ": " +
                             c.reason + " (the records go to stderr)\n";
    EXPECT_EQ(said.rfind(line, 0), 0u) << said;
    std::multiset<std::string> records, expected = {"After [none] on stderr"};
    for (int i = 0; i < 200; ++i) expected.insert("Status [none] " + std::to_string(i));
    std::istringstream lines(said.substr(std::min(line.size(), said.size())));
    for (std::string record; std::getline(lines, record);) records.insert(record);
    EXPECT_EQ(records, expected);
    EXPECT_TRUE(said.ends_with("After [none] on stderr\n"));
    std::remove(fifo.c_str());
  }
  EXPECT_EQ(test::ReadFileText(secret), "root's");
  // Given for reading and writing, the standard input takes the records.
  const pid_t given = fork();
  if (given == 0) {
    close(STDIN_FILENO);
    if (open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600) != 0) _exit(90);
    NoteGivenDescriptors();
    setenv("VESKOR_MESSAGES", "/dev/stdin", 1);
    HeadlessRecord("Given", "both ways");
    _exit(0);
  }
  int ended = -1;
  ASSERT_EQ(waitpid(given, &ended, 0), given);
  EXPECT_EQ(ended, 0);
  EXPECT_EQ(test::ReadFileText(file), "Given [none] both ways\n");

  // Made anew by root in another user's folder, the messages file is that user's, in the
  // folder's group; where it cannot be given to them, it is not made, and that is said.
  const std::string users = dir.Path("user's/");
  for (const bool refused : {false, true}) {
    if (!root) break;
    SCOPED_TRACE(refused ? "given" : "not given");
    ASSERT_EQ(mkdir(users.c_str(), 0755) | chown(users.c_str(), other, 4321), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd < 0 || dup2(fd, STDERR_FILENO) < 0) _exit(90);
      if (refused && !test::RefuseCall(__NR_fchown, 0, 1 << 20, EPERM)) _exit(91);
      setenv("VESKOR_MESSAGES", (users + "messages").c_str(), 1);
      HeadlessRecord("Made", "theirs");
      _exit(0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(status, 0);
    struct stat made {};
    const bool there = stat((users + "messages").c_str(), &made) == 0;
    EXPECT_EQ(there, !refused);
    EXPECT_EQ(test::ReadFileText(err),
              refused ? "veskor: cannot write the messages file " + users +
                            "messages: it cannot be given to user " + std::to_string(other) +
                            ", whose folder it is in: Operation not permitted (the records go "
                            "to stderr)\nMade [none] theirs\n"
                      : "");
    if (there) {
      EXPECT_EQ(test::ReadFileText(users + "messages"), "Made [none] theirs\n");
      EXPECT_EQ(made.st_uid, other);
      EXPECT_EQ(made.st_gid, 4321u);
    }
    std::filesystem::remove_all(users);
  }
  std::remove(err.c_str());
}

// On a disk that fills as a record goes in, part of it is taken (the one byte left in the
// page of the file's end) before the write that fails: the reason said is that write's.
int ShortRecordChecks() {
  int err[2];
  const int fd = open("messages", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const std::string old(4095, 'o'), block(4096, 'f');
  if (pipe(err) != 0 || dup2(err[1], STDERR_FILENO) < 0 || fd < 0 ||
      write(fd, old.data(), old.size()) != 4095)
    return 10;
  const int fill = open("fill", O_WRONLY | O_CREAT, 0644);
  while (write(fill, block.data(), block.size()) > 0) {
  }
  setenv("VESKOR_MESSAGES", "messages", 1);
  errno = 0;
  HeadlessRecord("Caption", "text");
  close(err[1]);  // a record said nowhere leaves the pipe empty: its read ends
  close(STDERR_FILENO);
  char said[256] = {};
  return read(err[0], said, sizeof said - 1) > 0 &&
                 std::string(said).starts_with("veskor: cannot write the messages file messages: "
                                               "No space left on device (")
             ? 0
             : 11;
}
TEST(HeadlessBoxes, ARecordThatFillsTheDiskPartWayIsSaidWithTheFailingWritesReason) {
  const test::TempDir dir("veskor_messages");
  const int status =
      test::RunOnFileSystemOfItsOwn(dir.path(), "tmpfs", "size=64k", ShortRecordChecks);
  if (status == test::kNoFileSystemOfItsOwn)
    GTEST_SKIP() << "no small disk of the test's own: not root";
  EXPECT_EQ(status, 0);
}

// A record that a signal interrupts before any of it went (the messages file a pipe of one page
// that its reader has not emptied yet) is written whole and once as the reader reads: the file
// is not said to fail. The signal comes once the record waits for room. The record is of several
// pages, more than the pipe holds, read a little at a time until its thread is done.
std::atomic<bool> gInterrupted{false};
int InterruptedRecordChecks() {
  std::string text;  // three pages and a part, no two of its pieces alike
  for (int i = 0; text.size() < 3 * 4096 + 100; ++i) text += std::to_string(i) + " ";
  int ends[2];
  if (pipe(ends) != 0 || fcntl(ends[1], F_SETPIPE_SZ, 4096) != 4096) return 10;
  const std::string messages = "/proc/self/fd/" + std::to_string(ends[1]);
  setenv("VESKOR_MESSAGES", messages.c_str(), 1);
  NoteGivenDescriptors();
  fcntl(ends[1], F_SETFL, O_NONBLOCK);
  fcntl(ends[0], F_SETFL, O_NONBLOCK);
  const std::string filler(4096, 'f');
  while (write(ends[1], filler.data(), filler.size()) > 0) {
  }
  struct sigaction interrupt {};  // no SA_RESTART: the write ends with EINTR
  interrupt.sa_handler = [](int) { gInterrupted.store(true); };
  sigaction(SIGUSR2, &interrupt, nullptr);
  std::atomic<pid_t> writer{0};
  std::atomic<bool> done{false};
  std::thread recording([&writer, &done, &text] {
    writer.store(gettid());
    HeadlessRecord("Caption", text.c_str());
    done.store(true);
  });
  while (writer.load() == 0) {
  }
  const std::string syscall = "/proc/self/task/" + std::to_string(writer.load()) + "/syscall";
  while (!WaitsInPoll(syscall)) {
  }
  tgkill(getpid(), writer.load(), SIGUSR2);
  while (!gInterrupted.load()) {
  }
  std::string read;
  char chunk[1000];
  for (;;) {
    const bool wasDone = done.load();
    const ssize_t n = ::read(ends[0], chunk, sizeof chunk);
    if (n > 0) read.append(chunk, static_cast<std::size_t>(n));
    if (n <= 0 && wasDone) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  recording.join();
  return read == filler + "Caption [none] " + text + "\n" ? 0 : 12;
}
TEST(HeadlessBoxes, ARecordThatASignalInterruptsIsWrittenWhole) {
  EXPECT_EXIT(_exit(InterruptedRecordChecks()), testing::ExitedWithCode(0), "^$");
}

std::thread::id gShowing;  // the thread that shows the box

// Shown, a box is a zenity of the program's own, answered by its exit status, with the codes
// of OK (Yes) and Cancel (No) that it was asked for, and its Escape code, which zenity ends
// with for Escape and for its window closed by the window manager (No; an Ok box answers OK
// whatever closed it). Any other status, zenity's own 0 and 1 included (it ends 1 when it
// cannot open its display, whatever codes it was asked for), means that zenity could not show
// it, and so does an end by a signal before any answer, its own or one sent from outside (the
// signal named): no answer, the reason and the text on stderr, as when no box can be shown at
// all: no zenity to start, and SDL's box failing too (":4242" has no server: the tests' own
// servers take the lowest free numbers, xvfb-run's from 99, and SDL shows its box on a server
// it reaches). A zenity of ours that cannot be started leaves the box to SDL's.
TEST(ShownBoxes, AreZenitysOfOurOwnAnsweredByTheirStatus) {
  test::StandInZenity zenity("0");
  test::ScopedEnv display("DISPLAY", ":4242"), wayland("WAYLAND_DISPLAY", nullptr);
  const std::string text = "a <b>&amp;</b> \\n text\nline 2";
  const std::string question = "\n--ok-label=Yes\n--cancel-label=No\n";
  const struct {
    MessageButtons buttons;
    MessageIcon icon;
    const char* does;
    MessageAnswer answer;
    std::string kind, options;  // zenity's arguments before and after the text
    const char* why = nullptr;  // the reason said on stderr ("": the text alone, null: nothing)
    bool onPath = true;
    int signal = 0;  // sent to the stand-in from outside once it waits
  } cases[] = {
      {MessageButtons::kYesNo, MessageIcon::kExclamation, "0", MessageAnswer::kYes, "--question",
       "--icon-name=dialog-warning" + question},
      {MessageButtons::kYesNo, MessageIcon::kQuestion, "1", MessageAnswer::kNo, "--question",
       question.substr(1)},
      {MessageButtons::kYesNo, MessageIcon::kQuestion, "esc", MessageAnswer::kNo, "--question",
       question.substr(1)},
      {MessageButtons::kYesNo, MessageIcon::kExclamation, "closed", MessageAnswer::kNo,
       "--question", "--icon-name=dialog-warning" + question},
      {MessageButtons::kYesNo, MessageIcon::kStop, "kill", MessageAnswer::kUnshown, "--question",
       "--icon-name=dialog-error" + question, "zenity was ended by signal 9 (Killed)\n"},
      {MessageButtons::kYesNo, MessageIcon::kQuestion, "wait", MessageAnswer::kUnshown,
       "--question", question.substr(1),
       "zenity was ended by signal 11 (Segmentation fault)\n", true, SIGSEGV},
      {MessageButtons::kYesNo, MessageIcon::kQuestion, "wait", MessageAnswer::kUnshown,
       "--question", question.substr(1), "zenity was ended by signal 6 (Aborted)\n", true,
       SIGABRT},
      {MessageButtons::kYesNo, MessageIcon::kQuestion, "wait", MessageAnswer::kUnshown,
       "--question", question.substr(1), "zenity was ended by signal 9 (Killed)\n", true,
       SIGKILL},
      {MessageButtons::kYesNo, MessageIcon::kQuestion, "wait", MessageAnswer::kUnshown,
       "--question", question.substr(1), "zenity was ended by signal 15 (Terminated)\n", true,
       SIGTERM},
      {MessageButtons::kYesNo, MessageIcon::kInformation, "5", MessageAnswer::kUnshown,
       "--question", "--icon-name=dialog-information" + question,
       "zenity ended with status 5, which is none of its answers\n"},
      {MessageButtons::kYesNo, MessageIcon::kQuestion, "=1", MessageAnswer::kUnshown,
       "--question", question.substr(1),
       "zenity ended with status 1, which is none of its answers\n"},
      {MessageButtons::kYesNo, MessageIcon::kQuestion, "=0", MessageAnswer::kUnshown,
       "--question", question.substr(1),
       "zenity ended with status 0, which is none of its answers\n"},
      {MessageButtons::kOk, MessageIcon::kStop, "0", MessageAnswer::kOk, "--error",
       "--ok-label=OK\n"},
      {MessageButtons::kOk, MessageIcon::kExclamation, "1", MessageAnswer::kOk, "--warning",
       "--ok-label=OK\n"},
      {MessageButtons::kOk, MessageIcon::kInformation, "esc", MessageAnswer::kOk, "--info",
       "--ok-label=OK\n"},
      {MessageButtons::kOk, MessageIcon::kStop, "closed", MessageAnswer::kOk, "--error",
       "--ok-label=OK\n"},
      {MessageButtons::kOk, MessageIcon::kInformation, "kill", MessageAnswer::kUnshown, "--info",
       "--ok-label=OK\n", "zenity was ended by signal 9 (Killed)\n"},
      {MessageButtons::kOk, MessageIcon::kExclamation, "wait", MessageAnswer::kUnshown,
       "--warning", "--ok-label=OK\n", "zenity was ended by signal 15 (Terminated)\n", true,
       SIGTERM},
      {MessageButtons::kOk, MessageIcon::kNone, "255", MessageAnswer::kUnshown, "--info",
       "--ok-label=OK\n", "zenity ended with status 255, which is none of its answers\n"},
      {MessageButtons::kYesNo, MessageIcon::kQuestion, "0", MessageAnswer::kUnshown, "", "",
       "zenity could not be started, and SDL's box failed: ", false},
  };
  // A run started with SIGCHLD ignored (the kernel would reap the box unasked) is answered
  // all the same; so is one whose only display is a Wayland one of a one-letter name.
  const sighandler_t old = signal(SIGCHLD, SIG_IGN);
  EXPECT_EQ(ShowMessageBox("Caption", "text", MessageIcon::kQuestion, MessageButtons::kYesNo),
            MessageAnswer::kYes);
  signal(SIGCHLD, old);
  {  // the codes that the run's own environment names are not zenity's; the rest is its own
    const test::ScopedEnv cancel("ZENITY_CANCEL", "40");
    zenity.Does("1");
    EXPECT_EQ(ShowMessageBox("Caption", "text", MessageIcon::kQuestion, MessageButtons::kYesNo),
              MessageAnswer::kNo);
    EXPECT_NE(("\n" + zenity.Env()).find("\nDISPLAY=:4242\n"), std::string::npos);
    zenity.Does("0");
  }
  {
    const test::ScopedEnv noX("DISPLAY", nullptr), w("WAYLAND_DISPLAY", "w");
    EXPECT_EQ(ShowMessageBox("Caption", "text", MessageIcon::kQuestion, MessageButtons::kYesNo),
              MessageAnswer::kYes);
  }
  // A text one byte too long for zenity's "--text=<text>" argument (128 KiB with its end):
  // our zenity cannot start (E2BIG, said), so SDL's box is tried, whose zenity takes the text as an
  // argument of its own, and shows it (its OK pressed).
  const std::string longest(131072 - sizeof "--text=" + 1, 'x');
  zenity.Does("press:OK");
  testing::internal::CaptureStderr();
  EXPECT_EQ(ShowMessageBox("Caption", longest.c_str(), MessageIcon::kInformation,
                           MessageButtons::kOk),
            MessageAnswer::kOk);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "veskor: cannot start zenity: Argument list too long\n");
  EXPECT_NE(zenity.Args().find("\n--text\n" + longest + "\n"), std::string::npos);
  // With no display named, no box can be shown, SDL's no more than ours: nothing is started
  // (the stand-in that would answer is never run), and the box gives no answer, said.
  {
    const test::ScopedEnv noDisplay("DISPLAY", nullptr);
    zenity.Forget();
    zenity.Does("press:Yes");
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox("Caption", "text", MessageIcon::kNone, MessageButtons::kYesNo),
              MessageAnswer::kUnshown);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "veskor: cannot show the box \"Caption\": no display is named (DISPLAY, "
              "WAYLAND_DISPLAY), and SDL's box gave no answer\nCaption [none] text\n");
    EXPECT_EQ(zenity.Args(), "");
  }
  // SDL's box on a display where no X server answers (our zenity cannot take the text): its X11
  // box cannot be shown, and it runs a zenity of its own (the stand-in), which answers with the
  // label of the button pressed on its output. One that ends without a label (as that zenity
  // ends 1 when it cannot open a display) is taken by SDL for a box closed: nobody saw it, and
  // it gave no answer.
  {
    const struct {
      MessageButtons buttons;
      const char* does;
      MessageAnswer answer;
    } sdl[] = {{MessageButtons::kYesNo, "press:Yes", MessageAnswer::kYes},
               {MessageButtons::kYesNo, "press:No", MessageAnswer::kNo},
               {MessageButtons::kYesNo, "=1", MessageAnswer::kUnshown},
               {MessageButtons::kYesNo, "=0", MessageAnswer::kUnshown},
               {MessageButtons::kOk, "press:OK", MessageAnswer::kOk},
               {MessageButtons::kOk, "=1", MessageAnswer::kUnshown}};
    // Then with the run's end asked for just as the box returns (the check true in the showing
    // thread alone): an answer stands, a box without one is closed by the run's end.
    gShowing = std::this_thread::get_id();
    for (const bool ending : {false, true}) {
      SetChildWaitCheck(ending ? +[] { return std::this_thread::get_id() == gShowing; } : nullptr);
      for (const auto& c : sdl) {
        SCOPED_TRACE(std::string("SDL's box, ") + c.does + (ending ? ", the run ending" : ""));
        zenity.Forget();
        zenity.Does(c.does);
        const bool closed = ending && c.answer == MessageAnswer::kUnshown;
        testing::internal::CaptureStderr();
        EXPECT_EQ(ShowMessageBox("Caption", longest.c_str(), MessageIcon::kNone, c.buttons),
                  closed ? MessageAnswer::kNone : c.answer);
        const std::string unshown = "veskor: cannot show the box \"Caption\": zenity could not be "
                                    "started, and SDL's box gave no answer\n";
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "veskor: cannot start zenity: Argument list too long\n" +
                      (c.answer != MessageAnswer::kUnshown
                           ? ""
                           : (closed ? "" : unshown) + "Caption [none] " + longest + "\n"));
        EXPECT_NE(zenity.Args().find("\n--switch\n"), std::string::npos) << zenity.Args();
      }
    }
    SetChildWaitCheck(nullptr);
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind + " " + c.does + (c.onPath ? "" : ", no zenity"));
    zenity.Forget();
    zenity.Does(c.does);
    test::ScopedEnv path("PATH", c.onPath ? std::getenv("PATH") : zenity.folder().c_str());
    if (!c.onPath) std::remove((zenity.folder() + "zenity").c_str());
    std::thread outside([&zenity, &c] {
      if (const pid_t box = c.signal != 0 ? zenity.WaitForStart() : 0) kill(box, c.signal);
    });
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox("Caption <i>", text.c_str(), c.icon, c.buttons), c.answer);
    const std::string said = testing::internal::GetCapturedStderr();
    outside.join();
    // Each argument whole, as given: no shell split it, no markup or escape is read.
    EXPECT_EQ(zenity.Args(), c.kind.empty() ? ""
                                            : c.kind + "\n--title=Caption <i>\n--text=" + text +
                                                  "\n--no-markup\n" + c.options);
    const std::string record =
        "Caption <i> [" + std::string(MessageIconName(c.icon)) + "] " + text + "\n";
    const std::string line = "veskor: cannot show the box \"Caption <i>\": " +
                             std::string(c.why != nullptr ? c.why : "");
    if (c.why == nullptr) {
      EXPECT_EQ(said, "");
    } else if (c.why[0] == '\0' || line.back() == '\n') {
      EXPECT_EQ(said, (c.why[0] != '\0' ? line : "") + record);
    } else {  // SDL's own reason ends the line
      EXPECT_EQ(said.rfind(line, 0), 0u) << said;
      EXPECT_EQ(said.find('\n'), said.size() - record.size() - 1) << said;
      EXPECT_TRUE(said.ends_with(record)) << said;
    }
  }
}

// Sixteen boxes open at once, each on a thread of its own, are all written when the process
// ends without waiting for them; one more open then is shown, and nothing goes astray: it is
// not noted, and answered, its thread comes back (the sixteen that the end wrote wait for the
// end, as the thread of a box open then does).
int OpenChildren() {
  int count = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::istringstream pids(test::ReadFileText(task.path().string() + "/children"));
    for (std::string pid; pids >> pid;) ++count;
  }
  return count;
}
TEST(ShownBoxes, EveryBoxOpenAtTheEndIsWritten) {
  const test::StandInZenity zenity("wait");
  const test::ScopedEnv display("DISPLAY", ":7"), wayland("WAYLAND_DISPLAY", nullptr);
  EXPECT_EXIT(
      {
        std::atomic<int> back{0};
        for (int i = 0; i < 17; ++i) {  // a seventeenth, past the slots, is not noted
          std::thread([&back] {
            if (ShowMessageBox("Open", "box", MessageIcon::kQuestion, MessageButtons::kYesNo) ==
                MessageAnswer::kYes)
              back.fetch_add(1);
          }).detach();
        }
        const auto within20s = [](auto done) {
          for (int i = 0; !done(); ++i) {
            if (i == 2000) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
          return true;
        };
        if (!within20s([] { return OpenChildren() == 17; })) _exit(90);
        WriteOpenBoxRecords();
        zenity.Answer(0);
        if (!within20s([&back] { return back.load() == 1; })) _exit(91);
        if (!within20s([] { return OpenChildren() == 0; })) _exit(92);
        _exit(back.load() == 1 ? 0 : 93);
      },
      testing::ExitedWithCode(0), "^(Open \\[question\\] box\n){16}$");
}

// A child that cannot be forked (the user's process limit reached) is not started, with the
// reason in errno, and leaves no descriptor of the attempt open; a box and the open-file dialog
// say the zenity that could not start, and the box that SDL could not show either.
long OpenDescriptors() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                       std::filesystem::directory_iterator{});
}
// In a child: 0 when a RunChild that cannot fork fails and leaves the descriptors as they were.
int ForkFailureChecks() {
  // The limit binds a user's process, not root's.
  if (geteuid() == 0 &&
      (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0))
    return 10;
  const rlimit none{0, 0};
  if (setrlimit(RLIMIT_NPROC, &none) != 0) return 11;
  const long before = OpenDescriptors();
  char program[] = "true";
  char* const argv[] = {program, nullptr};
  std::string out;
  if (RunChild(argv, &out, 16) != kChildNotStarted || errno != EAGAIN) return 12;
  if (OpenDescriptors() != before) return 13;
  setenv("DISPLAY", ":4242", 1);
  unsetenv("VESKOR_MESSAGES");
  if (ShowMessageBox("Caption", "text", MessageIcon::kNone, MessageButtons::kOk) !=
      MessageAnswer::kUnshown)
    return 14;
  char path[16];
  return RunOpenFileDialog({"Open", "All | *", "/"}, path, sizeof path) == 0 ? 0 : 15;
}
TEST(ChildProcess, OneThatCannotBeForkedLeavesNoDescriptorOpen) {
  const std::string notStarted = "veskor: cannot start zenity: Resource temporarily unavailable\n";
  EXPECT_EXIT(_exit(ForkFailureChecks()), testing::ExitedWithCode(0),
              "^" + notStarted +
                  "veskor: cannot show the box \"Caption\": zenity could not be started, and "
                  "SDL's box could not be started: Resource temporarily unavailable\n"
                  "Caption \\[none\\] text\n" +
                  notStarted + "$");
}

// A child's whole output is read as it comes, however long, and only the limit and one byte
// more are kept: a child that writes more than a pipe holds is not left waiting for a reader.
// An EINTR that an earlier call left in errno is no interruption of the start.
int LongOutputChecks() {
  alarm(20);  // a child or a start left waiting ends the check by SIGALRM
  char shell[] = "sh", command[] = "-c", script[] = "head -c 200000 /dev/zero; echo end";
  char* const argv[] = {shell, command, script, nullptr};
  std::string out;
  errno = EINTR;
  if (RunChild(argv, &out, 16) != 0) return 1;
  return out == std::string(17, '\0') ? 0 : 2;
}
TEST(ChildProcess, ItsWholeOutputIsReadAndTheLimitKept) {
  EXPECT_EXIT(_exit(LongOutputChecks()), testing::ExitedWithCode(0), "");
}

// Leaves its bytes set on the stack below its caller's frame, where a later call's locals lie.
[[gnu::noinline]] void LitterTheStack() {
  volatile unsigned char litter[16384];
  for (auto& byte : litter) byte = 0xFF;
}

// The wait status of a process forked now: 5 when it started with no signal blocked and
// SIGUSR2 at its default action.
int ForkedState() {
  LitterTheStack();
  const pid_t pid = fork();
  if (pid == 0) {
    sigset_t blocked;
    struct sigaction usr2 {};
    sigprocmask(SIG_BLOCK, nullptr, &blocked);
    sigaction(SIGUSR2, nullptr, &usr2);
    _exit(sigisemptyset(&blocked) && usr2.sa_handler == SIG_DFL ? 5 : 6);
  }
  int status = -1;
  waitpid(pid, &status, 0);
  return status;
}

// A library's call forks sixteen processes at the most: the seventeenth would be one that the
// run's end could not close, and ends at once (127) without running the call's code. Each starts
// with no signal blocked and the run's handlers at their default actions, whether the run has
// any handler or not. The run's end is asked at once and then once every kChildPollMs while the
// call lasts, not more often. In a child, whose signal actions and mask are its own.
int gAsked = 0;
int ForkingCallChecks() {
  for (int signal = 1; signal < NSIG; ++signal) ::signal(signal, SIG_DFL);  // a sanitizer's too
  sigset_t usr1;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &usr1, nullptr);
  int status = -1;
  if (RunForkingCall([&status] { return (status = ForkedState()), true; }) != 0 ||
      status != W_EXITCODE(5, 0))
    return 1;
  ::signal(SIGUSR2, [](int) {});
  SetChildWaitCheck([] { return ++gAsked, false; });
  std::vector<int> statuses;
  const auto start = std::chrono::steady_clock::now();
  if (RunForkingCall([&statuses] {
        for (int i = 0; i < 17; ++i) statuses.push_back(ForkedState());
        std::this_thread::sleep_for(std::chrono::milliseconds(10 * kChildPollMs));
        return true;
      }) != 0)
    return 2;
  const auto lasted = std::chrono::steady_clock::now() - start;
  std::vector<int> expected(16, W_EXITCODE(5, 0));
  expected.push_back(W_EXITCODE(127, 0));
  if (statuses != expected) return 3;
  return gAsked >= 1 && gAsked <= lasted / std::chrono::milliseconds(kChildPollMs) + 1 ? 0 : 4;
}
TEST(ChildProcess, AForkingCallStartsSixteenProcessesAtTheMost) {
  EXPECT_EXIT(_exit(ForkingCallChecks()), testing::ExitedWithCode(0), "");
}

// A copy of the run that a library's call forked, and that waits alone on a lock that another
// thread held at the fork (as SDL's X11 box may wait in setlocale on the address checker's
// allocator), is killed once it has waited its 2 seconds, and the call goes on: the call's own
// wait for it ends with SIGKILL. A copy that waits longer on anything else is left to its end:
// alone in poll(2) (a box waiting for a person), or on a thread of its own that ends; so is one
// that waits on that lock for a second only.
std::timed_mutex gHeldAtTheFork;
constexpr std::chrono::milliseconds kStuckWait{2000};
int StuckCopyChecks() {
  alarm(30);  // a copy left waiting ends the check by SIGALRM
  enum class Copy { kOnAHeldLock, kInPoll, kOnItsOwnThread, kOnALockForASecond };
  for (const Copy copy : {Copy::kOnAHeldLock, Copy::kInPoll, Copy::kOnItsOwnThread,
                          Copy::kOnALockForASecond}) {
    std::atomic<bool> held{false}, release{false};
    std::thread holder([&held, &release] {
      const std::lock_guard<std::timed_mutex> lock(gHeldAtTheFork);
      held.store(true);
      while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    while (!held.load()) {
    }
    int status = -1;
    CallForkCounts counts;
    const auto start = std::chrono::steady_clock::now();
    const int run = RunForkingCall(
        [copy, &status] {
          const pid_t pid = fork();
          if (pid == 0) {
            if (copy == Copy::kOnAHeldLock) gHeldAtTheFork.lock();
            if (copy == Copy::kInPoll) poll(nullptr, 0, 2 * kStuckWait.count());
            if (copy == Copy::kOnItsOwnThread) {
              std::thread([] { std::this_thread::sleep_for(2 * kStuckWait); }).join();
            }
            if (copy == Copy::kOnALockForASecond && gHeldAtTheFork.try_lock_for(kStuckWait / 2))
              _exit(6);
            _exit(5);
          }
          while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
          }
          return true;
        },
        &counts);
    const auto lasted = std::chrono::steady_clock::now() - start;
    release.store(true);
    holder.join();
    const int row = 10 * (static_cast<int>(copy) + 1);
    if (run != 0 || counts.forked != 1) return row + 1;
    if (copy == Copy::kOnAHeldLock) {
      if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL || counts.stuck != 1) return row + 2;
      if (lasted < kStuckWait) return row + 3;
    } else if (status != W_EXITCODE(5, 0) || counts.stuck != 0) {
      return row + 4;
    }
  }
  return 0;
}
TEST(ChildProcess, ACopyStuckOnALockHeldAtItsForkIsEnded) {
  EXPECT_EXIT(_exit(StuckCopyChecks()), testing::ExitedWithCode(0), "");
}

// A box closed as the run ends is killed and reaped, even when signals keep interrupting the
// wait for its end: here one every 20 microseconds on the waiting thread, from the close on. So
// is the zenity of SDL's box (our zenity cannot take the text, and no X server answers on the
// display named), whose wait a tick ends first: SDL gives up on it, leaving its output's pipe
// open (the test closes it), and nothing else.
std::set<int> Descriptors() {  // of the first 1024, found without opening one
  std::set<int> open;
  for (int fd = 0; fd < 1024; ++fd)
    if (fcntl(fd, F_GETFD) >= 0) open.insert(fd);
  return open;
}
timer_t gTicks;
const test::StandInZenity* gBox = nullptr;
bool CloseUnderTicks() {
  if (gBox->WaitForStart() == 0) return false;
  const itimerspec every{{0, 20000}, {0, 20000}};
  return timer_settime(gTicks, 0, &every, nullptr) == 0;
}
TEST(ShownBoxes, AClosedBoxIsReapedWhileSignalsInterruptTheWait) {
  const test::StandInZenity zenity("wait");
  const test::ScopedEnv display("DISPLAY", ":7"), wayland("WAYLAND_DISPLAY", nullptr);
  struct sigaction tick {}, old {};  // no SA_RESTART: each tick ends a wait with EINTR
  tick.sa_handler = [](int) {};
  sigaction(SIGUSR2, &tick, &old);
  sigevent at{};
  at.sigev_notify = SIGEV_THREAD_ID;
  at.sigev_signo = SIGUSR2;
  at._sigev_un._tid = gettid();
  ASSERT_EQ(timer_create(CLOCK_MONOTONIC, &at, &gTicks), 0);
  gBox = &zenity;
  SetChildWaitCheck(CloseUnderTicks);
  for (int i = 0; i < 20; ++i) {
    const bool sdls = i % 2 == 1;
    SCOPED_TRACE(std::to_string(i) + (sdls ? ", SDL's box" : ""));
    const test::ScopedEnv named("DISPLAY", sdls ? ":4242" : ":7");
    const std::string text = sdls ? std::string(131072 - sizeof "--text=" + 1, 'x') : "text";
    zenity.Forget();
    const std::set<int> before = Descriptors();
    std::atomic<bool> back{false};
    std::thread unclosed([&zenity, &back] {  // a box left open is answered after 20 s
      for (int t = 0; t < 2000 && !back.load(); ++t)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (!back.load()) zenity.Answer(0);
    });
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox("Caption", text.c_str(), MessageIcon::kQuestion,
                             MessageButtons::kYesNo),
              MessageAnswer::kNone);
    back.store(true);
    unclosed.join();
    const itimerspec off{};
    timer_settime(gTicks, 0, &off, nullptr);
    testing::internal::GetCapturedStderr();
    const pid_t box = zenity.WaitForStart();
    ASSERT_NE(box, 0);
    EXPECT_TRUE(test::ProcessGone(box)) << "the box was left unreaped";
    for (const int fd : Descriptors()) {
      struct stat st {};
      if (sdls && !before.contains(fd) && fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) close(fd);
    }
    EXPECT_EQ(Descriptors(), before);
  }
  SetChildWaitCheck(nullptr);
  timer_delete(gTicks);
  sigaction(SIGUSR2, &old, nullptr);
}

// A box whose zenity another waiter of the run reaped first (one waiting for any child) left
// no answer of its own: its text goes to stderr, and a question is no answer, never a Yes.
bool ReapTheBoxFirst() {
  const pid_t box = gBox->WaitForStart();
  if (box != 0) waitpid(box, nullptr, 0);
  return false;
}
TEST(ShownBoxes, OneReapedElsewhereIsNoAnswer) {
  const test::StandInZenity zenity("0");
  const test::ScopedEnv display("DISPLAY", ":7"), wayland("WAYLAND_DISPLAY", nullptr);
  gBox = &zenity;
  SetChildWaitCheck(ReapTheBoxFirst);
  testing::internal::CaptureStderr();
  EXPECT_EQ(ShowMessageBox("Caption", "text", MessageIcon::kQuestion, MessageButtons::kYesNo),
            MessageAnswer::kNone);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Caption [question] text\n");
  SetChildWaitCheck(nullptr);
}

// A box whose zenity was ended by a signal that reached the run too (a SIGTERM to the process
// group, Ctrl-C), the run's check seeing it only once the box was reaped, was closed by the
// run's end: no answer, its text on stderr, never a box said to be unshown.
int gChecks = 0;
bool SeeTheQuitOnceTheBoxHasEnded() {
  if (++gChecks > 1) return true;  // the run's handler has run
  const pid_t box = gBox->WaitForStart();
  if (box == 0 || kill(box, SIGTERM) != 0) return true;
  const std::string stat = "/proc/" + std::to_string(box) + "/stat";
  for (int i = 0; i < 2000; ++i) {  // until the box has ended, not yet reaped
    const std::string line = test::ReadFileText(stat);
    if (const std::size_t end = line.rfind(") "); end != std::string::npos && line[end + 2] == 'Z')
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}
TEST(ShownBoxes, OneEndedByASignalThatReachedTheRunTooIsClosedByTheRunsEnd) {
  const test::StandInZenity zenity("wait");
  const test::ScopedEnv display("DISPLAY", ":7"), wayland("WAYLAND_DISPLAY", nullptr);
  gBox = &zenity;
  gChecks = 0;
  SetChildWaitCheck(SeeTheQuitOnceTheBoxHasEnded);
  testing::internal::CaptureStderr();
  EXPECT_EQ(ShowMessageBox("Caption", "text", MessageIcon::kQuestion, MessageButtons::kYesNo),
            MessageAnswer::kNone);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Caption [question] text\n");
  EXPECT_EQ(gChecks, 2);
  SetChildWaitCheck(nullptr);
}

// The box's process goes with the process that showed it, however that one ends: killed by
// SIGKILL, or ended at once (QuickExit, as a fatal error ends it) by another of its threads
// while the box is open. The kernel kills the box, which comes here (a subreaper) to be seen.
TEST(ShownBoxes, EndWithTheProcessThatShowedThem) {
  for (const bool quickExit : {false, true}) {
    SCOPED_TRACE(quickExit ? "QuickExit on another thread" : "SIGKILL");
    EXPECT_EXIT(
        {
          if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) _exit(90);
          test::StandInZenity zenity("wait");
          setenv("DISPLAY", ":7", 1);
          const pid_t shower = fork();
          if (shower == 0) {
            if (quickExit) {
              std::thread([&zenity] {
                if (zenity.WaitForStart() != 0) QuickExit(3);
              }).detach();
            }
            ShowMessageBox("Error", "text", MessageIcon::kStop, MessageButtons::kOk);
            _exit(4);
          }
          const pid_t box = zenity.WaitForStart();
          if (box == 0) _exit(91);
          if (!quickExit) kill(shower, SIGKILL);
          waitpid(shower, nullptr, 0);
          for (int i = 0; i < 2000; ++i) {
            int status = 0;
            if (waitpid(box, &status, WNOHANG) == box)
              _exit(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? 0 : 92);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
          kill(box, SIGKILL);
          _exit(93);  // still open after 20 s
        },
        testing::ExitedWithCode(0), "");
  }
}

// Whether a top-level window is shown (mapped) on the X server `display`.
bool WindowShown(const std::string& display) {
  xcb_connection_t* x = xcb_connect(display.c_str(), nullptr);
  bool shown = false;
  if (xcb_connection_has_error(x) == 0) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(x, xcb_query_tree(x, root), nullptr);
    for (int i = 0; tree != nullptr && i < xcb_query_tree_children_length(tree) && !shown; ++i) {
      auto* state = xcb_get_window_attributes_reply(
          x, xcb_get_window_attributes(x, xcb_query_tree_children(tree)[i]), nullptr);
      shown = state != nullptr && state->map_state == XCB_MAP_STATE_VIEWABLE;
      std::free(state);
    }
    std::free(tree);
  }
  xcb_disconnect(x);
  return shown;
}

// In a child (a subreaper, so that a box that outlives its run comes back here): a run shows
// SDL's own box on an X server of its own, and is ended by `signal` once the box is up, or, for
// 0, by the server's end. 0 when the run ended with the raw wait status `expected` and its box
// was gone; the run's stderr is the child's.
int SdlBoxEndChecks(int signal, int expected) {
  alarm(60);
  if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) return 90;
  test::OwnXServer server;
  const pid_t run = server.display().empty() ? -1 : fork();
  if (run == 0) {
    setenv("DISPLAY", server.display().c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("VESKOR_MESSAGES");
    setenv("PATH", "/nonexistent", 1);  // no zenity: SDL's box
    for (const int taken : {SIGTERM, SIGINT, SIGHUP}) ::signal(taken, SIG_DFL);  // as from a shell
    WatchDisplayConnection();
    WatchQuitSignals();
    const MessageAnswer answer =
        ShowMessageBox("Caption", "text", MessageIcon::kQuestion, MessageButtons::kYesNo);
    _exit(answer == MessageAnswer::kNone && TakeQuitSignal() == signal ? 0 : 81);
  }
  if (run < 0) return 91;
  // The box: the child that SDL forks from the run's thread, once a window is shown.
  const std::string task = "/proc/" + std::to_string(run) + "/task/" + std::to_string(run);
  pid_t box = 0;
  bool shown = false;
  for (int i = 0; i < 2000 && !shown; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::istringstream(test::ReadFileText(task + "/children")) >> box;
    shown = box != 0 && WindowShown(server.display());
  }
  if (shown && signal != 0) kill(run, signal);
  if (shown && signal == 0) server.Stop();
  // Each within 20 s: the run reaped here, the box here (come back) or by the run.
  const auto gone = [](pid_t pid, int* status) {
    for (int i = 0; i < 2000; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10)))
      if (waitpid(pid, status, WNOHANG) != 0) return true;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return false;
  };
  int status = -1, boxStatus = 0;
  const bool runGone = gone(run, &status), boxGone = box == 0 || gone(box, &boxStatus);
  return (shown ? 0 : 8) | (runGone && status == expected ? 0 : 1) | (boxGone ? 0 : 2);
}

// With no zenity to start, SDL shows its own box in a process that it forks from the run, with
// the run's signal handlers: that process ends with the run all the same. A quit signal closes
// it at once, and the run goes on as at a close (no answer, the box's text on stderr, the
// signal left for the message loop); a signal that ends the run has the kernel end the box; a
// lost display ends the run as such (the box's text and the line, once), and the box with it.
TEST(ShownBoxes, SdlsOwnEndsWithTheRun) {
  const std::string record = "Caption \\[question\\] text\n";
  const struct {
    int signal;  // 0: the X server ends
    int status;
    std::string said;  // on stderr, as a regular expression
  } cases[] = {{SIGTERM, W_EXITCODE(0, 0), record},
               {SIGHUP, SIGHUP, ""},
               {0, W_EXITCODE(kDisplayLostExitStatus, 0), record + kDisplayLostMessage + "\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.signal != 0 ? sigabbrev_np(c.signal) : "the display lost");
    EXPECT_EXIT(_exit(SdlBoxEndChecks(c.signal, c.status)), testing::ExitedWithCode(0),
                "^" + c.said + "$");
  }
}


// SDL's X11 box sets the locale in the copy of the run that it forks: with gHoldTheLocale set,
// the copy waits there on a lock that a thread of the test holds at the fork, as it would on a
// lock of the address checker's allocator (setlocale below stands for the C library's).
std::atomic<bool> gHoldTheLocale{false};
std::mutex gLocaleLock;

// SDL's own box (no zenity to start) whose copy of the run is stuck so before it shows anything
// is ended, and gives no answer, said: the run goes on. (A box left waiting is closed after 30 s
// as at the run's end, and fails the test.)
std::chrono::steady_clock::time_point gDeadline;
bool PastTheDeadline() { return std::chrono::steady_clock::now() > gDeadline; }
TEST(ShownBoxes, SdlsOwnWhoseCopyIsStuckOnALockIsUnshown) {
  const test::ScopedEnv path("PATH", "/nonexistent"), display("DISPLAY", ":4242"),
      wayland("WAYLAND_DISPLAY", nullptr), messages("VESKOR_MESSAGES", nullptr);
  setlocale(LC_ALL, nullptr);  // the C library's own found before any fork
  std::atomic<bool> held{false}, release{false};
  std::thread holder([&held, &release] {
    const std::lock_guard<std::mutex> lock(gLocaleLock);
    held.store(true);
    while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  });
  while (!held.load()) {
  }
  gHoldTheLocale.store(true);
  gDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  SetChildWaitCheck(PastTheDeadline);
  testing::internal::CaptureStderr();
  EXPECT_EQ(ShowMessageBox("Caption", "text", MessageIcon::kQuestion, MessageButtons::kYesNo),
            MessageAnswer::kUnshown);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "veskor: cannot show the box \"Caption\": zenity could not be started, and SDL's box "
            "failed: its process, a copy of the run, waited on a lock held at its fork that "
            "nothing could release, and was ended\nCaption [question] text\n");
  SetChildWaitCheck(nullptr);
  gHoldTheLocale.store(false);
  release.store(true);
  holder.join();
}

// Whether `program` is found along PATH.
bool OnPath(const std::string& program) {
  std::istringstream folders(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "");
  for (std::string folder; std::getline(folders, folder, ':');)
    if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) return true;
  return false;
}

// Runs `sh -c script` with `args` in a process of its own, its output and errors dropped.
pid_t StartScript(const char* script, const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0 || dup2(null, STDOUT_FILENO) < 0 || dup2(null, STDERR_FILENO) < 0) _exit(95);
    std::vector<const char*> argv = {"sh", "-c", script, "sh"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    execv("/bin/sh", const_cast<char* const*>(argv.data()));
    _exit(96);
  }
  return pid;
}

// SDL's own box (no zenity to start) under a window manager (openbox, on an X server of the
// test's own): its window closed by the manager (`wmctrl -c`, which has the manager send it
// WM_DELETE_WINDOW) is a No, and so is Escape (typed through XTest, `xdotool key`, once the
// manager has given the box the focus), each time; Return is a Yes; an Ok box closed by its
// manager answers OK. Nothing is said. The keys and the close come from a process started
// before the box, never a thread of the run as SDL forks its box. (A box left open is closed
// after 30 s as at the run's end, and fails the test.)
TEST(ShownBoxes, SdlsOwnClosedByItsWindowManagerOrEscapedIsANo) {
  for (const char* tool : {"openbox", "wmctrl", "xdotool"})
    if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed: no window manager to test under";
  const test::OwnXServer server;
  ASSERT_NE(server.display(), "") << "no X server of the test's own";
  const test::ScopedEnv display("DISPLAY", server.display().c_str()),
      wayland("WAYLAND_DISPLAY", nullptr), messages("VESKOR_MESSAGES", nullptr);
  const pid_t manager = StartScript("exec openbox", {});
  // The manager is up once it lists the windows that it manages (it names itself before, and
  // may then leave unmanaged a window mapped meanwhile).
  const pid_t up = StartScript(
      "for i in $(seq 400); do wmctrl -l && exit 0; sleep 0.05; done; exit 1", {});
  int status = -1;
  waitpid(up, &status, 0);
  if (status != 0) {
    kill(manager, SIGKILL);
    waitpid(manager, nullptr, 0);
    GTEST_SKIP() << "openbox did not start on the test's own X server";
  }
  const char* const act =
      "for i in $(seq 400); do\n"
      "  box=$(wmctrl -l | grep -F \" $2\" | cut -d' ' -f1)\n"
      "  [ -n \"$box\" ] && [ \"$(xdotool getwindowfocus)\" = \"$(printf %d \"$box\")\" ] && break\n"
      "  sleep 0.05\n"
      "done\n"
      "if [ \"$1\" = close ]; then wmctrl -c \"$2\"; else xdotool key \"$1\"; fi\n";
  const struct {
    const char* action;
    MessageButtons buttons;
    MessageAnswer answer;
  } cases[] = {{"close", MessageButtons::kYesNo, MessageAnswer::kNo},
               {"Escape", MessageButtons::kYesNo, MessageAnswer::kNo},
               {"close", MessageButtons::kYesNo, MessageAnswer::kNo},
               {"Escape", MessageButtons::kYesNo, MessageAnswer::kNo},
               {"Return", MessageButtons::kYesNo, MessageAnswer::kYes},
               {"close", MessageButtons::kOk, MessageAnswer::kOk}};
  const std::string caption = "veskor's own question";
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.action) +
                 (c.buttons == MessageButtons::kOk ? ", an Ok box" : ", a question"));
    const pid_t actor = StartScript(act, {c.action, caption});
    const test::ScopedEnv noZenity("PATH", "/nonexistent");
    gDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    SetChildWaitCheck(PastTheDeadline);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessageBox(caption.c_str(), "text", MessageIcon::kQuestion, c.buttons),
              c.answer);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    SetChildWaitCheck(nullptr);
    kill(actor, SIGKILL);
    waitpid(actor, nullptr, 0);
  }
  kill(manager, SIGTERM);
  waitpid(manager, nullptr, 0);
}

}  // namespace
}  // namespace veskor

// Stands for the C library's setlocale, which it calls, but waits on gLocaleLock first in a
// copy of the run forked by RunForkingCall while gHoldTheLocale is set.
extern "C" char* setlocale(int category, const char* locale) noexcept {
  using Setlocale = char* (*)(int, const char*);
  static const auto real = reinterpret_cast<Setlocale>(dlsym(RTLD_NEXT, "setlocale"));
  if (veskor::gHoldTheLocale.load() && veskor::InForkOfACall()) veskor::gLocaleLock.lock();
  return real(category, locale);
}
