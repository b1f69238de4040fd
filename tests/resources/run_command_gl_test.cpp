// The whole program end to end, started as the README's run command starts it: the start step
// of scripts/run pointed at the tree under test, under the X server with headless message
// boxes, on a fresh store, quitting by itself a few frames after its first world is shown.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/png_reader.h"
#include "platform/display_loss.h"
#include "resources/resource_test_support.h"
#include "support/own_x_server.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

const std::string kStoreKey = "Software\\Dovek software\\veskor";

using test::OwnXServer;

struct RunOutcome {
  int exitCode = -1;
  std::string records;
};

using Environment = std::vector<std::pair<const char*, const char*>>;

// All that comes through the pipe's read end `fd` until its writers have gone; `fd` is closed.
std::string ReadToEnd(int fd) {
  std::string said;
  char chunk[4096];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;)
    said.append(chunk, static_cast<std::size_t>(n));
  close(fd);
  return said;
}

class RunCommand : public ::testing::Test {
 protected:
  void SetUp() override { WriteStore(""); }
  // A fresh store in the folder `sub` of the fixture's (ending with '/'; "" the fixture's own)
  // from the store writer, with the user's folder (BinaryDir) "user/" beside it; `firstLaunch`
  // false as after an earlier run. Its time is set far back, so that a save at the exit shows.
  void WriteStore(const std::string& sub) {
    ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir_.Path(sub))), 0);
    if (!firstLaunch_) {
      std::string store = test::ReadFileText(dir_.Path(sub + "registry"));
      const std::string fresh = "\"FirstLaunch\"=\"TRUE\"";
      const std::size_t at = store.find(fresh);
      ASSERT_NE(at, std::string::npos);
      store.replace(at, fresh.size(), "\"FirstLaunch\"=\"FALSE\"");
      dir_.Write(sub + "registry", store);
    }
    const utimbuf old{946684800, 946684800};  // 2000-01-01
    ASSERT_EQ(utime(dir_.Path(sub + "registry").c_str(), &old), 0);
  }
  // `scripts/run --start <product> <world>` with the automation variables (`env` last, a null
  // value unsetting), its stderr to `errors` when one is named, on the store, messages, capture
  // and data of `folder` (the fixture's when empty), started there; `direct`: the program
  // itself, started as that command ends, so that the run is timed from the program's own
  // start; its descriptor `given` on `opened` when one is named (as `3> opened` opens it), its
  // descriptor 3 closed otherwise. The child's pid, or -1.
  pid_t Launch(const std::string& world, const Environment& env, const std::string& errors = "",
               std::string folder = "", bool direct = false, const std::string& opened = "",
               int given = 3) {
    if (folder.empty()) folder = dir_.path();
    const std::string messages = folder + "messages", shot = folder + "shot.png";
    const std::string script = test::kSourceDir + "scripts/run";
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("VESKOR_REGISTRY", (folder + "registry").c_str(), 1);
      setenv("XDG_DATA_HOME", (folder + "data").c_str(), 1);
      setenv("VESKOR_MESSAGES", messages.c_str(), 1);
      setenv("VESKOR_ANSWER", "yes", 1);
      setenv("VESKOR_AUTOQUIT", "5", 1);
      setenv("VESKOR_CAPTURE", shot.c_str(), 1);
      setenv("ALSOFT_DRIVERS", "null", 1);
      // In sanitizer builds the leak check of a whole run is the Program tests'; here it would
      // only add the leak checker's own failures to stop a loaded machine's threads.
      setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
      for (const auto& [name, value] : env) {
        if (value != nullptr) {
          setenv(name, value, 1);
        } else {
          unsetenv(name);
        }
      }
      if (!errors.empty()) {
        const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, 2) != 2) _exit(95);
      }
      close(3);
      if (!opened.empty()) {
        const int fd = open(opened.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, given) != given) _exit(95);
        if (fd != given) close(fd);
      }
      // Each file mounted on itself, in a mount namespace of the run's own: a mount point, as
      // a file bind-mounted into a container is, and the same file outside.
      if (!mountedOnTheirOwn_.empty() &&
          (unshare(CLONE_NEWNS) != 0 ||
           mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0))
        _exit(92);
      for (const std::string& file : mountedOnTheirOwn_)
        if (mount(file.c_str(), file.c_str(), nullptr, MS_BIND, nullptr) != 0) _exit(92);
      if (chdir(direct ? test::kProductDir.c_str() : folder.c_str()) != 0) _exit(94);
      const rlimit fileSize{fileSizeLimit_, fileSizeLimit_};  // as `ulimit -f` gives it
      if (fileSizeLimit_ != RLIM_INFINITY && setrlimit(RLIMIT_FSIZE, &fileSize) != 0) _exit(93);
      if (direct) {
        execl("./veskor", "./veskor", world.c_str(), nullptr);
      } else {
        execl("/bin/bash", "bash", script.c_str(), "--start", test::kProductDir.c_str(),
              world.c_str(), nullptr);
      }
      _exit(96);
    }
    return pid;
  }
  // Waits up to `tenths` tenths of a second for the child to end: its wait status, or nothing
  // when it was still running (it is then killed and reaped).
  static std::optional<int> AwaitEnd(pid_t pid, int tenths) {
    int status = 0;
    for (int i = 0; i < tenths; ++i) {
      if (waitpid(pid, &status, WNOHANG) == pid) return status;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return std::nullopt;
  }
  // A run with the automation variables that quits by itself; a minute at most.
  RunOutcome Start(const std::string& world, const Environment& env, const std::string& opened = "",
                   int given = 3) {
    RunOutcome run;
    std::filesystem::remove(dir_.Path("messages"));
    const pid_t pid = Launch(world, env, "", "", false, opened, given);
    if (pid <= 0) return run;
    const std::optional<int> status = AwaitEnd(pid, 600);
    if (!status) {
      ADD_FAILURE() << "the run did not quit by itself";
    } else if (WIFEXITED(*status)) {
      run.exitCode = WEXITSTATUS(*status);
    }
    run.records = test::ReadFileText(dir_.Path("messages"));
    return run;
  }
  bool StoreSavedAtExit(const std::string& folder = "") {
    struct stat s {};
    const std::string store = folder.empty() ? dir_.Path("registry") : folder + "registry";
    return stat(store.c_str(), &s) == 0 && s.st_mtime > 946684800;
  }
  std::string Store(const char* name) {
    const auto store = test::ReadStore(test::ReadBytes(dir_.Path("registry")).value_or(""));
    const auto found = store.find(kStoreKey + "|" + name);
    return found == store.end() ? "" : found->second;
  }
  // Checks the records and the capture of a run on the small sample world.
  void ExpectWorldShown(const RunOutcome& run) {
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.records.find("\nError"), std::string::npos) << run.records;
    std::size_t at = 0;
    for (const char* line : {"> begin 'parse' session", "> end 'parse' session",
                             "> begin 'compile' session", "> end 'compile' session",
                             "> begin 'render' session", "> end 'render' session"}) {
      at = run.records.find(line, at);
      ASSERT_NE(at, std::string::npos) << line << "\n" << run.records;
    }
    PngPixels pixels;
    std::uint32_t w = 0, h = 0, channels = 0, rowBytes = 0;
    ASSERT_EQ(LoadPngFile(dir_.Path("shot.png").c_str(), pixels, w, h, channels, rowBytes), 1u);
    ASSERT_EQ(w * 10000 + h, 1024u * 10000 + 768);
    // Rows from the top: the menu bar holds the top 112.
    const auto pixel = [&](std::uint32_t x, std::uint32_t y) {
      const std::uint8_t* p = pixels.get() + y * rowBytes + x * channels;
      return std::vector<int>{p[0], p[1], p[2]};
    };
    // The menu bar's grey-blue where no button lies (between "Setup" and "More").
    for (const auto& [x, y] : {std::pair{600u, 60u}, {700u, 30u}, {800u, 90u}}) {
      const std::vector<int> p = pixel(x, y);
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(p[c], (std::vector<int>{113, 118, 143})[c], 6);
    }
    // The world: not one colour; its top (sky) differs from its bottom (ground or water).
    const std::vector<int> top = pixel(512, 130), bottom = pixel(512, 740);
    int difference = 0;
    for (int c = 0; c < 3; ++c) difference += std::abs(top[c] - bottom[c]);
    EXPECT_GT(difference, 60) << top[0] << "," << top[1] << "," << top[2];
    EXPECT_GT(top[2], top[0] + 50);  // a blue sky
    EXPECT_TRUE(StoreSavedAtExit());
  }
  test::TempDir dir_{"veskor_run"};
  bool firstLaunch_ = false;
  rlim_t fileSizeLimit_ = RLIM_INFINITY;  // the largest file that Launch's run may write
  std::vector<std::string> mountedOnTheirOwn_;  // the files that Launch's run has as mount points
};

// Captured through a descriptor, as `VESKOR_CAPTURE=/dev/fd/3 veskor w.wld 3> shot.png` does,
// or through the standard output, where the store writer says nothing: the file the shell
// opened holds exactly the image. A relative name is the file where the run was started. A
// capture and a store that are files mounted on their own, as a container is given them
// (`docker -v`), are written in place whole (as root), no temporary left.
TEST_F(RunCommand, ShowsTheSmallSampleWorldThenQuits) {
  const struct {
    const char* capture;
    int given;  // the descriptor given on shot.png; 0 none
    bool mounted;
  } cases[] = {{"/dev/fd/3", 3, false},
               {"/dev/stdout", 1, false},
               {"shot.png", 0, false},
               {"shot.png", 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.capture) + (c.mounted ? ", mounted on its own" : ""));
    if (c.mounted && geteuid() != 0) {
      std::printf("no files mounted on their own: not root\n");
      continue;
    }
    std::filesystem::remove(dir_.Path("registry"));
    WriteStore("");
    struct stat opened = {}, written = {};
    std::filesystem::remove(dir_.Path("shot.png"));
    if (c.given != 0 || c.mounted) {
      ASSERT_EQ(stat(dir_.Write("shot.png", "").c_str(), &opened), 0);
    }
    if (c.mounted) mountedOnTheirOwn_ = {dir_.Path("registry"), dir_.Path("shot.png")};
    ExpectWorldShown(Start(test::kSourceDir + "examples/lagoon.wld",
                           {{"VESKOR_CAPTURE", c.capture}},
                           c.given != 0 ? dir_.Path("shot.png") : "", c.given));
    mountedOnTheirOwn_.clear();
    ASSERT_EQ(stat(dir_.Path("shot.png").c_str(), &written), 0);
    if (c.given != 0 || c.mounted) {
      EXPECT_EQ(written.st_ino, opened.st_ino);
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
      EXPECT_EQ(entry.path().filename().string().find(".veskor-tmp-"), std::string::npos)
          << entry.path();
    const std::string png = test::ReadFileText(dir_.Path("shot.png"));
    const std::string signature("\x89PNG\r\n\x1a\n", 8);
    const std::string end("\0\0\0\0IEND\xae\x42\x60\x82", 12);  // an empty IEND chunk
    EXPECT_TRUE(png.starts_with(signature) && png.ends_with(end)) << png.size();
  }
  // The records into the standard output, a FIFO whose reader takes 20 bytes and leaves, as
  // `VESKOR_MESSAGES=/dev/stdout veskor w.wld > fifo` with `head -c 20 fifo` reading it: the
  // messages file that can no longer be written is said once (no reader at the open, or none
  // left at the write), the records go on on stderr, and the run goes on to its capture, its
  // end and its save.
  std::filesystem::remove(dir_.Path("registry"));
  WriteStore("");
  std::filesystem::remove(dir_.Path("shot.png"));
  const std::string fifo = dir_.Path("stdout");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int head = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // never the run's
  ASSERT_GE(head, 0);
  const pid_t pid = Launch(test::kSourceDir + "examples/lagoon.wld",
                           {{"VESKOR_MESSAGES", "/dev/stdout"}}, dir_.Path("stderr"), "", true,
                           fifo, 1);
  ASSERT_GT(pid, 0);
  std::string taken;
  for (int i = 0; i < 600 && taken.size() < 20; ++i) {
    pollfd in{head, POLLIN, 0};
    char chunk[20];
    const ssize_t n = poll(&in, 1, 100) > 0 ? read(head, chunk, 20 - taken.size()) : 0;
    if (n > 0) taken.append(chunk, static_cast<std::size_t>(n));
  }
  close(head);
  const std::optional<int> status = AwaitEnd(pid, 600);
  ASSERT_TRUE(status.has_value()) << "the run did not quit by itself";
  ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
  EXPECT_EQ(WEXITSTATUS(*status), 0);
  EXPECT_EQ(taken, "Log [none] > begin '");
  const std::string errors = test::ReadFileText(dir_.Path("stderr"));
  const std::string line = "veskor: cannot write the messages file /dev/stdout: ";
  const std::size_t at = errors.find(line);
  ASSERT_NE(at, std::string::npos) << errors;
  EXPECT_EQ(errors.find(line, at + 1), std::string::npos) << errors;
  const std::string why = errors.substr(at + line.size(), errors.find('\n', at) - at - line.size());
  EXPECT_TRUE(why == "Broken pipe (the records go to stderr)" ||
              why == "No such device or address (the records go to stderr)")
      << why;
  EXPECT_NE(errors.find("Log [none] > end 'render' session\n", at), std::string::npos) << errors;
  EXPECT_NE(errors.find("Timing [none] first frame", at), std::string::npos) << errors;
  EXPECT_TRUE(test::ReadFileText(dir_.Path("shot.png")).starts_with("\x89PNG\r\n\x1a\n"));
  EXPECT_TRUE(StoreSavedAtExit());
}

TEST_F(RunCommand, ShowsTheSmallSampleWorldWithoutTheCompatibilityLayer) {
  ExpectWorldShown(Start(test::kSourceDir + "examples/lagoon.wld", {{"VESKOR_GL_COMPAT", "0"}}));
}

TEST_F(RunCommand, ABrokenWorldIsNamedWhereItIsWrongAndNotRendered) {
  const std::string world = dir_.Write("broken.wld",
                                       "#version \"1.0\"\nInfo { title(\"Broken\") }\n"
                                       "Model m { Edge { [0 0 0] [0 0 1] }\n"
                                       "HeightField h { BBox { [0 0 0] [1 1 1] } }\n");
  // An unattended run tells of the failure by its status, and of a capture missing by its own,
  // which comes first.
  // the capture, the status, what the capture's record says after "cannot write <capture>: "
  const struct {
    std::string capture;
    int status;
    std::string reason;
  } cases[] = {{dir_.Path("shot.png"), 2, ""},
               {"/dev/full", 5, "No space left on device"},
               {"/dev/fd/3", 5, "Bad file descriptor"},  // none given: the run's own are not
               {"/dev/fd/4", 5, "Bad file descriptor"},
               {dir_.Path("none/shot.png"), 5,
                "cannot make a file in " + dir_.Path("none") + ": No such file or directory"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.capture);
    const RunOutcome run = Start(world, {{"VESKOR_CAPTURE", c.capture.c_str()}});
    EXPECT_EQ(run.exitCode, c.status);
    EXPECT_NE(run.records.find("Syntax error file (broken.wld) line (4) : Edge expected"),
              std::string::npos)
        << run.records;
    EXPECT_EQ(run.records.find("> begin 'render' session"), std::string::npos);
    EXPECT_EQ(run.records.find("\nError"), std::string::npos);
    const std::string failed =
        "\nCapture [none] cannot write " + c.capture + ": " + c.reason + "\n";
    EXPECT_EQ(run.records.find(failed) != std::string::npos, !c.reason.empty()) << run.records;
  }
  EXPECT_EQ(test::ReadFileText(dir_.Path("shot.png")).substr(1, 3), "PNG");  // status 2's image
}

// A file size limit (`ulimit -f`) below the run's files fails each write that would pass it, as
// any failed write fails ("File too large"): said where such a failure is said, the file kept
// as it was (the capture not made, the store and the messages file their old text, no temporary
// left), and the run goes on to its usual end. The limit is the store's size, which the store
// just fits, or one byte less; the session log, the capture and the messages file (holding as
// many bytes of earlier records as the limit) are larger. The run's stderr is a pipe, which the
// limit does not hold.
TEST_F(RunCommand, AFileSizeLimitFailsTheWritePastItAndTheRunGoesOn) {
  const std::string world =
      dir_.Write("still.wld", "#version \"1.0\"\nInfo { title(\"Still\") }\n");
  for (const bool past : {false, true}) {
    SCOPED_TRACE(past ? "one byte below the store's size" : "at the store's size");
    const std::string sub = past ? "past/" : "fits/", folder = dir_.Path(sub);
    WriteStore(sub);
    const std::string stored = test::ReadFileText(folder + "registry");
    fileSizeLimit_ = stored.size() - past;
    const std::string earlier = std::string(fileSizeLimit_ - 1, '-') + "\n";
    dir_.Write(sub + "messages", earlier);
    int errors[2];
    ASSERT_EQ(pipe2(errors, O_CLOEXEC), 0);
    const pid_t pid = Launch(world, {}, "/proc/self/fd/" + std::to_string(errors[1]), folder, true);
    fileSizeLimit_ = RLIM_INFINITY;
    close(errors[1]);
    ASSERT_GT(pid, 0);
    const std::optional<int> status = AwaitEnd(pid, 900);
    const std::string said = ReadToEnd(errors[0]);
    EXPECT_EQ(status, std::optional<int>(W_EXITCODE(5, 0))) << said;  // the capture's failure
    const std::string tooLarge = ": File too large";
    for (const std::string& failure :
         {"veskor: cannot write the messages file " + folder + "messages" + tooLarge +
              " (the records go to stderr)\n",
          "veskor: cannot write the session log " + folder + "user/session.log" + tooLarge +
              " (the sessions go on without it)\n",
          "Capture [none] cannot write " + folder + "shot.png" + tooLarge + "\n",
          std::string("> end 'render' session\n")}) {
      EXPECT_NE(said.find(failure), std::string::npos) << said;
    }
    const std::string notSaved =
        "Settings not saved !\n\nCannot write " + folder + "registry :\nFile too large\n";
    EXPECT_EQ(said.find(notSaved) != std::string::npos, past) << said;
    EXPECT_EQ(StoreSavedAtExit(folder), !past);
    if (past) {
      EXPECT_EQ(test::ReadFileText(folder + "registry"), stored);
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "shot.png"));
    EXPECT_EQ(test::ReadFileText(folder + "messages"), earlier);
    for (const std::string& in : {folder, folder + "user/"})
      for (const auto& entry : std::filesystem::directory_iterator(in))
        EXPECT_EQ(entry.path().filename().string().find(".veskor-tmp-"), std::string::npos)
            << entry.path();
  }
}

// A run as root on a store whose folder and BinaryDir hold links that another user made (a user
// of the test's own), to files in a folder of root's alone: none is followed. Each write is
// refused where its failures are said, naming the link, its owner and why; the files they point
// to keep their text, and the run goes on to its usual end (status 5: the capture failed).
TEST_F(RunCommand, AnotherUsersLinksAreNotFollowedAndTheRunGoesOn) {
  if (geteuid() != 0) GTEST_SKIP() << "links of another user are made as root";
  const std::string world =
      dir_.Write("still.wld", "#version \"1.0\"\nInfo { title(\"Still\") }\n");
  const std::string folder = dir_.Path("theirs/"), secret = dir_.Path("secret/");
  WriteStore("theirs/");
  ASSERT_EQ(mkdir(secret.c_str(), 0700), 0);
  ASSERT_EQ(rename((folder + "registry").c_str(), (secret + "registry").c_str()), 0);
  const std::string stored = test::ReadFileText(secret + "registry");
  const uid_t other = 0x7F000000u + static_cast<uid_t>(getpid());
  const auto notFollowed = [&](const std::string& link) {
    return "the link " + link + " belongs to user " + std::to_string(other) +
           ", not to this run's user: it is not followed";
  };
  const std::string kept[] = {"log", "messages", "shot.png"};
  for (const std::string& file : kept) dir_.Write("secret/" + file, "root's");
  for (const auto& [name, target] : {std::pair<std::string, std::string>{"registry", "registry"},
                                     {"user/session.log", "log"},
                                     {"messages", "messages"},
                                     {"shot.png", "shot.png"}}) {
    const std::string link = folder + name;
    ASSERT_EQ(symlink((secret + target).c_str(), link.c_str()) | lchown(link.c_str(), other, other),
              0);
  }
  int errors[2];
  ASSERT_EQ(pipe2(errors, O_CLOEXEC), 0);
  const pid_t pid = Launch(world, {}, "/proc/self/fd/" + std::to_string(errors[1]), folder, true);
  close(errors[1]);
  ASSERT_GT(pid, 0);
  const std::optional<int> status = AwaitEnd(pid, 900);
  const std::string said = ReadToEnd(errors[0]);
  EXPECT_EQ(status, std::optional<int>(W_EXITCODE(5, 0))) << said;
  for (const std::string& failure :
       {"veskor: cannot write the messages file " + folder +
            "messages: " + notFollowed(folder + "messages") + " (the records go to stderr)\n",
        "veskor: cannot write the session log " + folder + "user/session.log: " +
            notFollowed(folder + "user/session.log") + " (the sessions go on without it)\n",
        "Capture [none] cannot write " + folder + "shot.png: " + notFollowed(folder + "shot.png") +
            "\n",
        "Settings not saved !\n\nCannot write " + folder + "registry :\n" +
            notFollowed(folder + "registry") + "\n",
        std::string("> end 'render' session\n")}) {
    EXPECT_NE(said.find(failure), std::string::npos) << said;
  }
  EXPECT_EQ(test::ReadFileText(secret + "registry"), stored);
  for (const std::string& file : kept) EXPECT_EQ(test::ReadFileText(secret + file), "root's");
  std::set<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(secret))
    left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"log", "messages", "registry", "shot.png"}));

  // On a store in the other user's folder, as a root run with that user's HOME (sudo -E) has
  // it: the session log and the capture that the run makes there are that user's, in the
  // folder's group, and the store stays theirs. A hard link there to root's file, named through
  // the kernel's link to the run's root, is neither emptied nor written.
  const std::string users = dir_.Path("users/");
  WriteStore("users/");
  for (const std::string& own : {users, users + "user/", users + "registry"})
    ASSERT_EQ(chown(own.c_str(), other, 4321), 0);
  ASSERT_EQ(link((secret + "messages").c_str(), (users + "messages").c_str()), 0);
  const std::string messages = "/proc/self/root" + users + "messages";
  ASSERT_EQ(pipe2(errors, O_CLOEXEC), 0);
  const pid_t run = Launch(world, {{"VESKOR_MESSAGES", messages.c_str()}},
                           "/proc/self/fd/" + std::to_string(errors[1]), users, true);
  close(errors[1]);
  ASSERT_GT(run, 0);
  const std::optional<int> ended = AwaitEnd(run, 900);
  const std::string told = ReadToEnd(errors[0]);
  EXPECT_EQ(ended, std::optional<int>(W_EXITCODE(0, 0))) << told;
  EXPECT_EQ(told.rfind("veskor: cannot write the messages file " + messages + ": the file " +
                           messages + " has another name (a hard link), in a folder that user " +
                           std::to_string(other) +
                           " may change: it is not written (the records "
                           "go to stderr)\n",
                       0),
            0u)
      << told;
  EXPECT_EQ(test::ReadFileText(secret + "messages"), "root's");
  for (const std::string& made :
       {users + "user/session.log", users + "shot.png", users + "registry"}) {
    struct stat st {};
    EXPECT_EQ(stat(made.c_str(), &st), 0) << made;
    EXPECT_EQ(std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid),
              std::to_string(other) + ":4321")
        << made;
  }
  EXPECT_TRUE(StoreSavedAtExit(users));
}

// Nothing in a product file's place holds the start: a FIFO as the intro music (in a resource
// folder of the test's own) ends it at once, as a file that does not open does (status 1), said
// as what it is. A file that is there and that the run has no descriptor left for is said with
// the system's reason, not as missing: the shim lowers the limit of descriptors to those open
// just as the image that the world's line 14 names opens, however many the run holds then (and
// puts it back after that open: a sanitizer's runtime needs descriptors of its own).
TEST_F(RunCommand, NothingInAFilesPlaceHoldsTheStartAndAFileThatDoesNotOpenSaysWhy) {
  const std::string options = "detect_leaks=0:verify_asan_link_order=0";  // the shim first
  const RunOutcome limited = Start(test::kSourceDir + "examples/lagoon.wld",
                                   {{"LD_PRELOAD", VESKOR_STORE_RACE_SHIM},
                                    {"VESKOR_TEST_NO_DESCRIPTOR_AT", "/lagoon_isle.png"},
                                    {"ASAN_OPTIONS", options.c_str()}});
  EXPECT_EQ(limited.exitCode, 2);
  EXPECT_NE(limited.records.find("Status [none] Syntax error file (lagoon.wld) line (14) : Cannot "
                                 "open file \"lagoon_isle.png\": Too many open files\n"),
            std::string::npos)
      << limited.records;
  const std::string res = dir_.Path("res/"), music = res + "Snd/introveskor.ogg";
  std::string store = test::ReadFileText(dir_.Path("registry"));
  const std::string product = "\"ResourceDir\"=\"" + test::kProductDir + "resources/\"";
  ASSERT_NE(store.find(product), std::string::npos);
  dir_.Write("registry",
             store.replace(store.find(product), product.size(), "\"ResourceDir\"=\"" + res + "\""));
  std::filesystem::create_directories(res + "Snd");
  ASSERT_EQ(mkfifo(music.c_str(), 0600), 0);
  for (const char* sub : {"Txt", "Img"})
    std::filesystem::create_directory_symlink(test::kProductDir + "resources/" + sub, res + sub);
  const RunOutcome fifo = Start(test::kSourceDir + "examples/lagoon.wld", {});
  EXPECT_EQ(fifo.exitCode, 1);
  EXPECT_NE(fifo.records.find("Error [stop] cannot open intro music " + music +
                              ": it is a FIFO, not a regular file\n"),
            std::string::npos)
      << fifo.records;
}

// A command line of the longest a world path may be (511 characters) is kept whole: a missing
// world is said ("can not open file") and the unattended run ends with status 2, as one with a
// name longer than 255 characters does, with its own line naming it, and as one whose folder
// part alone passes 255 characters in shorter names, which is looked for as any world. One
// character more is kept neither cut nor whole: the status lines say its length and the limit,
// and the run ends as for a missing world. The program is started itself (scripts/run refuses a
// world file that is not there).
TEST_F(RunCommand, AWorldPathTooLongToKeepEndsAsAMissingWorldAndSaysItsLength) {
  const std::string notOpened = "Status [none] can not open file\n";
  const std::string folder = dir_.Path("none/"), missing = "Log [none]       parse file <";
  // The folder part filled to 255 characters with its '/', then the file's name.
  const std::string longestFolder = folder + std::string(254 - folder.size(), 'd') + "/";
  const std::string quotedName = std::string(510 - longestFolder.size() - 4, 'w') + ".wld";
  const std::string tooLong =
      "Log [none]       the command line is too long: 512 bytes, where a world path has at "
      "most 511\n";
  const std::string longName(511 - longestFolder.size(), 'w');
  const std::string partTooLong =
      "Log [none]       the world path is too long: its file name has 256 bytes, where a "
      "name has at most 255: " +
      longName + "\n";
  // The same length in é's, said whole: no character of it cut.
  std::string accented;
  while (accented.size() + 2 <= longName.size()) accented += "\xc3\xa9";
  const std::string accentedTooLong =
      partTooLong.substr(0, partTooLong.size() - longName.size() - 1) + accented + "\n";
  std::string deepFolder = folder;  // 333 bytes, in names of 100 at most
  while (deepFolder.size() < 333)
    deepFolder += std::string(std::min(100ul, 332 - deepFolder.size()), 'd') + "/";
  const struct {
    std::string world;
    std::string said;
  } cases[] = {
      {"\"" + longestFolder + quotedName, missing + quotedName + ">\n" + notOpened},
      {longestFolder + longName, partTooLong + notOpened},
      {longestFolder + accented, accentedTooLong + notOpened},
      {deepFolder + "w.wld", missing + "w.wld>\n" + notOpened},
      {longestFolder + std::string(512 - longestFolder.size(), 'w'), tooLong + notOpened},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.world.size());
    std::filesystem::remove(dir_.Path("messages"));
    const pid_t pid = Launch(c.world, {}, dir_.Path("stderr"), "", true);
    ASSERT_GT(pid, 0);
    const std::optional<int> status = AwaitEnd(pid, 600);
    ASSERT_TRUE(status.has_value()) << "the run did not quit by itself";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 2) << *status;
    const std::string records = test::ReadFileText(dir_.Path("messages"));
    EXPECT_NE(records.find("Log [none] > begin 'parse' session\n" + c.said), std::string::npos)
        << records;
    EXPECT_EQ(records.find("> begin 'render' session"), std::string::npos);
  }
}

// Every file and folder under `folder` but the runs' stderr files, with its time and bytes.
std::map<std::string, std::string> Tree(const std::string& folder) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().lexically_relative(folder).string();
    if (entry.path().filename() == "stderr") continue;
    struct stat s {};
    lstat(entry.path().c_str(), &s);
    tree[name] = std::to_string(s.st_mtim.tv_sec) + "." + std::to_string(s.st_mtim.tv_nsec) + " " +
                 (entry.is_regular_file() ? test::ReadFileText(entry.path()) : "(folder)");
  }
  return tree;
}

// The reason in stderr's one line from a run without a display named `name` ("" none); "" when
// stderr holds anything else.
std::string NoDisplayReason(const std::string& errors, const std::string& name) {
  const std::string start =
      std::string("veskor: cannot open the display") + (name.empty() ? "" : " " + name) + ": ";
  if (errors.rfind(start, 0) != 0 || errors.find('\n') != errors.size() - 1) return "";
  return errors.substr(start.size(), errors.size() - start.size() - 1);
}

// A display number that no X server has: none has left its lock or socket there, and servers
// started meanwhile take the lowest free numbers.
std::string DisplayWithoutServer() {
  for (int n = 4200;; ++n) {
    const std::string number = std::to_string(n);
    if (!std::filesystem::exists("/tmp/.X" + number + "-lock") &&
        !std::filesystem::exists("/tmp/.X11-unix/X" + number))
      return ":" + number;
  }
}

// Without a display (none named, or one where no server is: a login without a forwarded
// display; or one whose server refuses the run, for want of the cookie it asks for) and with no
// video driver chosen, or the program's own x11 named, the run says so and ends within seconds
// with its own status, having written nothing: no store, bookmarks, session log, messages or
// capture, in the store's folder, the user's folder (BinaryDir) or the home. The reason is the
// failure's own: where no server is, why its socket cannot be reached; where the server refused
// (after the server's own reason, which xcb writes), the refusal, never the reason of a file that
// xcb did not find on the way (the authority file). A video driver other than x11 that the user
// chose is taken as chosen: SDL's offscreen one runs the whole program unseen.
TEST_F(RunCommand, WithoutADisplayTheRunSaysSoAndWritesNothing) {
  const std::string none = DisplayWithoutServer();
  const std::string noneByTcp = "127.0.0.1" + none, noneByUnix = "unix" + none;
  const OwnXServer server;  // of one screen
  ASSERT_NE(server.display(), "") << "no X server of the test's own";
  const std::string noScreen = server.display() + ".7";
  const test::TempDir authority("veskor_authority");
  ASSERT_TRUE(test::WriteCookieFile(authority.Path("cookie")));
  const OwnXServer asking(authority.Path("cookie"));
  const OwnXServer askingOnItsAbstractSocket(authority.Path("cookie"), {"-nolisten", "unix"});
  ASSERT_NE(asking.display(), "") << "no X server of the test's own";
  ASSERT_NE(askingOnItsAbstractSocket.display(), "") << "no X server of the test's own";
  const std::string noCookie = authority.Path("none");
  ASSERT_EQ(mkdir(dir_.Path("home").c_str(), 0755), 0);
  const struct {
    const char* display;
    const char* reason;
    const char* driver = nullptr;
    const char* authorityFile = nullptr;  // XAUTHORITY; null: unset
  } cases[] = {
      {nullptr, "DISPLAY is not set"},
      {"", "DISPLAY is not set"},
      {none.c_str(), "No such file or directory"},        // the socket's in /tmp/.X11-unix/
      {noneByUnix.c_str(), "No such file or directory"},  // "unix" names that socket, no host
      {noneByTcp.c_str(), "Connection refused"},
      {noScreen.c_str(), "the X server has no such screen"},
      {asking.display().c_str(), "the X server refused the connection", nullptr,
       noCookie.c_str()},
      {askingOnItsAbstractSocket.display().c_str(), "the X server refused the connection",
       nullptr, noCookie.c_str()},
      {nullptr, "DISPLAY is not set", "x11"},
      {none.c_str(), "No such file or directory", "X11"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.display == nullptr ? "(unset)" : c.display) + " " +
                 (c.driver == nullptr ? "" : c.driver));
    const auto before = Tree(dir_.path());
    const pid_t pid = Launch(test::kSourceDir + "examples/lagoon.wld",
                             {{"DISPLAY", c.display},
                              {"SDL_VIDEODRIVER", c.driver},
                              {"XAUTHORITY", c.authorityFile},
                              {"HOME", dir_.Path("home").c_str()},
                              {"XDG_CONFIG_HOME", nullptr},
                              {"XDG_CACHE_HOME", nullptr}},
                             dir_.Path("stderr"), "", true);
    ASSERT_GT(pid, 0);
    const std::optional<int> status = AwaitEnd(pid, 100);
    ASSERT_TRUE(status.has_value()) << "still running after 10 s";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 4);  // docs/exit-status.md: a run without a display
    std::string errors = test::ReadFileText(dir_.Path("stderr"));
    if (c.authorityFile != nullptr) {  // the server's reason first, as xcb writes it
      const std::size_t ours = errors.find("veskor: ");
      ASSERT_NE(ours, std::string::npos) << errors;
      EXPECT_NE(errors.substr(0, ours).find("Authorization required"), std::string::npos)
          << errors;
      errors.erase(0, ours);
    }
    EXPECT_EQ(NoDisplayReason(errors, c.display == nullptr || c.display[0] == '\0' ? "" : c.display),
              c.reason)
        << errors;
    EXPECT_TRUE(Tree(dir_.path()) == before) << "a file was written";
  }
  const RunOutcome chosen = Start(test::kSourceDir + "examples/lagoon.wld",
                                  {{"DISPLAY", nullptr}, {"SDL_VIDEODRIVER", "offscreen"}});
  EXPECT_EQ(chosen.exitCode, 0);
  EXPECT_NE(chosen.records.find("> end 'render' session"), std::string::npos) << chosen.records;
  EXPECT_NE(chosen.records.find("Timing [none] first frame"), std::string::npos);
  EXPECT_TRUE(StoreSavedAtExit());
}

// The display goes away at a moment of the run, from the program's start to after its first
// frame (its X server stopped): each run ends by itself within seconds, saying why, never by
// a signal. Once it had connected it ends with status 3 and the settings saved as at a window
// close (Mesa has no multisample filter hint, so the quality goes back to FASTEST) with the
// store's other values kept, or the store untouched: never half saved or with defaults; after
// its first frame it has connected and saves. A run whose server was gone before its first
// connection is a run without a display: status 4, nothing written. After the first frame, a
// SIGTERM ends a run as a window close does; one whose server stopped answering first ends
// all the same, by the signal, saved (as when the display is lost, or before its window's close
// when the loop still took the signal); one whose server stops
// answering a moment after it (as the window closes, or before the loop took the signal) ends
// by the signal, saved, having said why within the signal's and the end's times of the moment
// the display stopped answering or the signal came (the line's time is the run's own end: the
// system's teardown of the process after it, slow on a loaded machine, has the 20 s that each
// run is given). The runs go side by side.
TEST_F(RunCommand, LosingTheDisplayEndsTheRunWithTheStoreSaved) {
  constexpr int kAfterFirstFrame = -1;
  enum End { kServerGone, kServerFrozenThenTerm, kTerm, kTermThenServerFrozen };  // at the moment
  const std::pair<int, End> moments[] = {  // ms after the start
      {0, kServerGone},   {10, kServerGone},  {20, kServerGone},
      {40, kServerGone},  {70, kServerGone},  {100, kServerGone},
      {200, kServerGone}, {kAfterFirstFrame, kServerGone},
      {kAfterFirstFrame, kServerFrozenThenTerm}, {kAfterFirstFrame, kTerm},
      {kAfterFirstFrame, kTermThenServerFrozen}};
  std::string edited = test::ReadFileText(dir_.Path("registry"));
  for (const auto& [from, to] :
       {std::pair{"\"TerrainTex\"=\"0.125\"", "\"TerrainTex\"=\"0.375\""},
        {"\"MultiSampleQuality\"=\"FASTEST\"", "\"MultiSampleQuality\"=\"NICEST\""}}) {
    const std::size_t at = edited.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    edited.replace(at, std::string(from).size(), to);
  }
  using Clock = std::chrono::steady_clock;
  struct Run {
    int moment;
    End end;
    std::string folder;
    std::unique_ptr<OwnXServer> server;
    std::map<std::string, std::string> tree;
    pid_t pid = -1;
    Clock::time_point start, stop;
    std::chrono::system_clock::time_point lost;  // the display stopped or the signal sent
    bool stopped = false, shown = false;
    std::optional<int> status;  // set once ended; nothing when it had to be killed
    bool ended = false;
  };
  std::vector<Run> runs;
  for (const auto& [moment, end] : moments) {
    Run& run = runs.emplace_back();
    run.moment = moment;
    run.end = end;
    const std::string sub = "run" + std::to_string(runs.size()) + "/";
    WriteStore(sub);
    dir_.Write(sub + "registry", edited);
    run.folder = dir_.Path(sub);
    run.tree = Tree(run.folder);
    run.server = std::make_unique<OwnXServer>();
    ASSERT_NE(run.server->display(), "") << "no X server of the test's own";
  }
  for (Run& run : runs) {
    run.pid = Launch(test::kSourceDir + "examples/lagoon.wld",
                     {{"DISPLAY", run.server->display().c_str()},
                      {"VESKOR_AUTOQUIT", ""},
                      {"VESKOR_CAPTURE", ""}},
                     run.folder + "stderr", run.folder, true);
    run.start = Clock::now();
    ASSERT_GT(run.pid, 0);
  }
  // Each server is stopped at its moment (after the first frame: once the frame is timed, or
  // the run ended before, however long the world takes to prepare on a loaded machine); each
  // run is then given 20 s to end. A run neither shown nor ended within 200 s hangs: killed.
  for (bool waiting = true; waiting;) {
    waiting = false;
    const Clock::time_point now = Clock::now();
    for (Run& run : runs) {
      if (run.ended) continue;
      waiting = true;
      int status = 0;
      const bool over = waitpid(run.pid, &status, WNOHANG) == run.pid;
      if (!run.stopped) {
        run.shown = run.moment == kAfterFirstFrame &&
                    test::ReadFileText(run.folder + "messages").find("Timing [none] first frame") !=
                        std::string::npos;
        const bool due = run.moment == kAfterFirstFrame
                             ? run.shown
                             : now - run.start >= std::chrono::milliseconds(run.moment);
        if (!due && !over) {
          if (now - run.start < std::chrono::seconds(200)) continue;
          kill(run.pid, SIGKILL);  // neither shown nor ended: a run that hangs
          waitpid(run.pid, nullptr, 0);
          run.ended = true;
          continue;
        }
        run.lost = std::chrono::system_clock::now();  // as a file's time is told
        if (run.end == kServerGone) run.server->Stop();
        if (run.end == kServerFrozenThenTerm) run.server->Freeze();
        if (run.end != kServerGone && !over) kill(run.pid, SIGTERM);
        if (run.end == kTermThenServerFrozen) {
          std::this_thread::sleep_for(std::chrono::milliseconds(3));
          run.server->Freeze();
        }
        run.stopped = true;
        run.stop = Clock::now();
      }
      if (over) {
        run.status = status;
        run.ended = true;
      } else if (now - run.stop > std::chrono::seconds(20)) {
        kill(run.pid, SIGKILL);
        waitpid(run.pid, nullptr, 0);
        run.ended = true;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const std::string saved = [&] {
    std::string text = edited;
    const std::string nicest = "\"MultiSampleQuality\"=\"NICEST\"";
    return text.replace(text.find(nicest), nicest.size(), "\"MultiSampleQuality\"=\"FASTEST\"");
  }();
  for (const Run& run : runs) {
    SCOPED_TRACE("ended " + std::to_string(run.moment) + " ms after the start, as " +
                 std::to_string(run.end));
    const std::string errors = test::ReadFileText(run.folder + "stderr");
    ASSERT_TRUE(run.status.has_value())
        << (run.stopped ? "still running 20 s after the display went"
                        : "neither shown nor ended within 200 s");
    if (run.end != kServerGone) {
      ASSERT_TRUE(run.shown) << test::ReadFileText(run.folder + "messages") << errors;
      const bool frozen = run.end != kTerm;
      EXPECT_EQ(WIFSIGNALED(*run.status) ? WTERMSIG(*run.status) : -WEXITSTATUS(*run.status),
                frozen ? SIGTERM : 0);
      const std::string notAnswered =
          "veskor: SIGTERM was not answered within 3 s; the program ends\n";
      if (frozen) {
        // The signal taken first (the loop may run on a while before it waits on the stopped
        // server), then the window's close held; or the signal not taken in time.
        EXPECT_TRUE(errors == std::string(kRunEndOverrunMessage) + "\n" || errors == notAnswered)
            << errors;
        struct stat said {};
        ASSERT_EQ(stat((run.folder + "stderr").c_str(), &said), 0);
        const auto saidAt = std::chrono::system_clock::time_point(
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::seconds(said.st_mtim.tv_sec) +
                std::chrono::nanoseconds(said.st_mtim.tv_nsec)));
        EXPECT_LE(saidAt - run.lost, std::chrono::seconds(kQuitSignalSeconds + kRunEndSeconds + 2));
      } else {
        EXPECT_EQ(errors, "");
      }
      EXPECT_EQ(test::ReadFileText(run.folder + "registry"), saved);
      continue;
    }
    ASSERT_TRUE(WIFEXITED(*run.status)) << "ended by signal " << WTERMSIG(*run.status) << "\n"
                                        << errors;
    const int code = WEXITSTATUS(*run.status);
    const std::string store = test::ReadFileText(run.folder + "registry");
    if (run.moment == kAfterFirstFrame) {
      ASSERT_TRUE(run.shown) << test::ReadFileText(run.folder + "messages") << errors;
      EXPECT_EQ(code, 3);
      EXPECT_EQ(store, saved);
    }
    if (code == 3) {  // docs/exit-status.md: a lost display
      EXPECT_NE(errors.find("veskor: the display was lost; the program ends\n"), std::string::npos)
          << errors;
      EXPECT_TRUE(store == edited || store == saved) << store;
      for (const auto& entry : std::filesystem::directory_iterator(run.folder))
        EXPECT_EQ(entry.path().filename().string().find(".veskor-tmp-"), std::string::npos)
            << entry.path();
    } else {
      EXPECT_EQ(code, 4) << errors;  // no display: its server was gone before the connection
      // Or another server has taken its number meanwhile (a suite run beside this one), and
      // refused the run for want of its cookie, after the line that xcb writes then.
      const std::string xcbs = "Authorization required, but no authorization protocol specified\n";
      const std::string said = errors.rfind(xcbs, 0) == 0 ? errors.substr(xcbs.size()) : errors;
      EXPECT_NE(NoDisplayReason(said, run.server->display()), "") << errors;
      EXPECT_TRUE(Tree(run.folder) == run.tree) << "a file was written";
    }
  }
}

// scripts/run hands the program its variables that name files with the folder where the script
// was started: a relative name becomes that folder's, an absolute one stays; an unset or empty
// one stays unset or empty (no folder alone), and VESKOR_MESSAGES=- stays the standard error.
// The program and the store writer are stand-ins, in a tree of the product's form: the program
// writes what it was given into "given" of its folder.
TEST_F(RunCommand, FileNamesReachTheProgramFromTheFolderTheScriptStartedIn) {
  std::filesystem::create_directories(dir_.Path("standin/product"));
  std::filesystem::create_directories(dir_.Path("standin/tools"));
  std::filesystem::create_directories(dir_.Path("start"));
  dir_.Write("standin/product/veskor", "#!/bin/sh\nenv > given\n");
  dir_.Write("standin/tools/write_settings_store", "#!/bin/sh\nexit 0\n");
  for (const char* name : {"standin/product/veskor", "standin/tools/write_settings_store"})
    ASSERT_EQ(chmod(dir_.Path(name).c_str(), 0755), 0);
  const std::string start = dir_.Path("start");
  const std::string& pwd = start;  // the script's $PWD: no '/' at its end
  const char* const names[] = {"VESKOR_OPEN_FILE", "VESKOR_MESSAGES", "VESKOR_CAPTURE",
                               "VESKOR_REGISTRY"};
  // the variables in the order of `names` (null: unset), and what the program gets (null: unset)
  const struct {
    std::vector<const char*> values;
    std::vector<std::string> given;
  } cases[] = {
      {{"w.wld", "-", "shot.png", "registry"},
       {pwd + "/w.wld", "-", pwd + "/shot.png", pwd + "/registry"}},
      {{"", "", "", ""}, {"", "", "", ""}},
      {{nullptr, nullptr, nullptr, nullptr}, {"(unset)", "(unset)", "(unset)", "(unset)"}},
      {{"sub/w.wld", "m.txt", "/abs/shot.png", "../reg"},
       {pwd + "/sub/w.wld", pwd + "/m.txt", "/abs/shot.png", pwd + "/../reg"}},
      {{"-", "/abs/m.txt", "-", nullptr}, {pwd + "/-", "/abs/m.txt", pwd + "/-", "(unset)"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> env = {"PATH=/usr/bin:/bin", "HOME=" + dir_.path()};
    std::string trace;
    for (std::size_t i = 0; i < std::size(names); ++i) {
      if (c.values[i] != nullptr) env.push_back(std::string(names[i]) + "=" + c.values[i]);
      trace += std::string(names[i]) +
               (c.values[i] != nullptr ? "=" + std::string(c.values[i]) : " unset") + " ";
    }
    SCOPED_TRACE(trace);
    std::filesystem::remove(dir_.Path("standin/product/given"));
    ASSERT_EQ(
        test::RunProgram({"/bin/sh", "-c", "cd \"$1\" && exec bash \"$2\" --start \"$3\" \"$4\"",
                          "sh", start, test::kSourceDir + "scripts/run",
                          dir_.Path("standin/product"), test::kSourceDir + "examples/lagoon.wld"},
                         env),
        0);
    std::map<std::string, std::string> given;
    std::istringstream lines(test::ReadFileText(dir_.Path("standin/product/given")));
    for (std::string line; std::getline(lines, line);)
      if (const std::size_t at = line.find('='); at != std::string::npos)
        given[line.substr(0, at)] = line.substr(at + 1);
    for (std::size_t i = 0; i < std::size(names); ++i)
      EXPECT_EQ(given.contains(names[i]) ? given.at(names[i]) : "(unset)", c.given[i]) << names[i];
  }
}

class FirstLaunch : public RunCommand {
 protected:
  void SetUp() override {
    firstLaunch_ = true;
    RunCommand::SetUp();
  }
};

// Also with the store's and the messages' names relative and no store before the run: the
// store that the run's store writer writes where the run was started is the one read and saved.
TEST_F(FirstLaunch, AnsweredNoEndsAfterTheBoardWarningAndIsOver) {
  for (const bool relative : {false, true}) {
    SCOPED_TRACE(relative ? "relative names" : "absolute names");
    Environment env = {{"VESKOR_ANSWER", "no"}};
    if (relative) {
      std::filesystem::remove(dir_.Path("registry"));
      env.insert(env.end(), {{"VESKOR_REGISTRY", "registry"}, {"VESKOR_MESSAGES", "messages"}});
    }
    const RunOutcome run = Start(test::kSourceDir + "examples/lagoon.wld", env);
    EXPECT_EQ(run.exitCode, 5);  // ended before its capture: the image asked for is missing
    EXPECT_EQ(run.records.rfind("Warning, Errors or visual failures can occur !", 0), 0u)
        << run.records;
    EXPECT_EQ(run.records.find("> begin 'parse' session"), std::string::npos);
    EXPECT_EQ(Store("FirstLaunch"), "FALSE");
  }
}

}  // namespace
}  // namespace veskor
